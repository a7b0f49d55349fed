// .MODEL text: each line of the input is a statement of one circuit; every
// statement that parsed is resolved (through its AKO chain) into a record, and
// the record is written back as a statement and its values as texts.
#include <cstdint>
#include <string>

#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/messages.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    fuzz::StartModelLayer();
    const std::string text = fuzz::AsText(data, size);
    CircuitModels* models = CreateCircuitModels(nullptr);
    if (!models) return 0;
    ClearLastMessage();
    ClearPendingMessage();
    gSolver.AnalysisKind = -1;

    size_t from = 0;
    int lines = 0;
    while (from < text.size() && lines++ < 64) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        StatementSource source{kSourceTextLine, 1, 0, 0};
        ParseModelStatement(models, text.substr(from, end - from).c_str(), source, 0, "");
        from = end + 1;
    }
    for (int row = 0; row < models->ModelStatements.Count; ++row) {
        ModelRecord* record = ResolveAko(models, -1, row, (row & 1) != 0, false);
        if (!record) continue;
        const int type = record->ModelType;
        const int count = ModelParamCount(type);
        char buffer[80];
        for (int i = 0; i < count; ++i) FormatModelParamText(buffer, sizeof buffer, record->Values, i, type);
        char* written =
            WriteModelStatement(type, kWriteContinuation, record->Values, count,
                                record->QualifiedName ? record->QualifiedName : "M", record->Given, record->Texts);
        FreeString(&written);
    }
    DestroyCircuitModels(models);
    ClearPendingMessage();
    return 0;
}
