// .WARNING statements of a schematic: every input line is read as one, the
// conditions compile, a point is evaluated and the boxes are shown and cleared.
#include <cstdint>
#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/warnings.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size > 2048) return 0;
    const std::string text = fuzz::AsText(data, size);
    auto document = std::make_unique<CCirDoc>();
    CurrentRunContext().circuitDocument = document.get();
    if (GetCompiledCircuit(document.get()) && InitRootScopes(document.get()) == 0) {
        StatementSource source{kSourceTextLine, 1, 0, 0};
        size_t from = 0;
        while (from <= text.size()) {
            size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            ParseWarningStatement(document.get(), text.substr(from, end - from).c_str(), source);
            from = end + 1;
        }
        const int previousKind = gSolver.AnalysisKind;
        gSolver.AnalysisKind = 0;
        if (CompileWarningExpressions(document.get(), 0) == 0) {
            ClearWarningMarks(document.get());
            RunVars.time = 1e-3;
            EvaluateWarnings(document.get());
            ReportWarnings(document.get(), 0);
            ClearWarningMarks(document.get());
        }
        gSolver.AnalysisKind = previousKind;
        RunVars.time = 0;
        PruneWarningStyles(document.get());
    }
    ReleaseDefineTable(document.get());
    CurrentRunContext().circuitDocument = nullptr;
    document.reset();
    ClearPendingMessage();
    return 0;
}
