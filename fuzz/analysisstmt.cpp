// Analysis, output and initial-condition statements of SPICE text: every
// input line is a statement handed to the handler its keyword names, for the
// analysis kind the first byte picks; then the rows are merged, the stored
// initial conditions applied, and the limits written back into the text.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "compiler/analysisstmts.h"
#include "compiler/initconds.h"
#include "compiler/limitwriter.h"
#include "compiler/outputstmts.h"
#include "compiler/session.h"
#include "compiler/statements.h"
#include "core/chars.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"

namespace {

StatementHandler HandlerOf(const std::string& keyword) {
    static const struct {
        const char* keyword;
        StatementHandler handler;
    } kHandlers[] = {
        {".TRAN", ReadTranStatement},   {".AC", ReadAcStatement},           {".DC", ReadDcStatement},
        {".NOISE", ReadNoiseStatement}, {".TF", ReadTfStatement},           {".SENS", ReadSensStatement},
        {".TEMP", ReadTempStatement},   {".STEP", ReadStepStatement},       {".TR", ReadTrStatementText},
        {".PRINT", ReadPrintStatement}, {".PLOT", ReadPrintStatement},      {".WATCH", ReadWatchStatement},
        {".IC", ReadIcStatement},       {".NODESET", ReadNodesetStatement},
    };
    for (const auto& row : kHandlers)
        if (keyword == row.keyword) return row.handler;
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size < 1 || size > 4096) return 0;
    SetAnalysisKind(data[0] % 4);
    const std::string text = fuzz::AsText(data + 1, size - 1);
    {
        auto document = std::make_unique<CCirDoc>();
        document->build.nodeNames = {{"0", 0, 1, 0}, {"1", 1, 1, 0}, {"OUT", 2, 1, 0}, {"Q", 3, 1, 1}};
        SpiceStatementContext context;
        context.document = document.get();
        BeginAnalysisStatements(document.get());
        ClearTimeStepTable(document.get());
        ReadInitialConditions(document.get(), nullptr, kInitialClear, 1);
        size_t from = 0;
        int lines = 0;
        while (from < text.size() && lines++ < 64) {
            size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(from, end - from);
            from = end + 1;
            for (char& c : line) c = UpperChar(c);
            const std::string keyword = line.substr(0, line.find_first_of(" \t("));
            if (StatementHandler handler = HandlerOf(keyword)) handler(context, line.data());
        }
        MergeCurveRows(document.get());
        AddDefaultCurveRows(document.get());
        FinishAnalysisStatements(document.get(), (data[0] & 4) != 0);
        ReadInitialConditions(document.get(), nullptr, kInitialApply, 1);
        for (int kind = 0; kind < 4; ++kind) RewriteAnalysisStatements(document.get(), text, kind);
        MaxTimeStepAt(document.get(), 1e-9);
        ReleaseDefineTable(document.get());
    }
    SetAnalysisKind(-1);
    ClearPendingMessage();
    return 0;
}
