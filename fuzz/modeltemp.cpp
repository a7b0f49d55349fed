// .MODEL text set up at temperature: each line of the input is a statement of
// one circuit; every statement that resolves into a record is brought through
// the model pass and the instance pass at a few run temperatures, the first
// byte choosing the options the set-up reads.
#include <cstdint>
#include <string>

#include "core/result.h"
#include "devices/opamp.h"
#include "devices/temperature.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    fuzz::StartModelLayer();
    const uint8_t selector = data[0];
    const std::string text = fuzz::AsText(data + 1, size - 1);
    CircuitModels* models = CreateCircuitModels(nullptr);
    if (!models) return 0;
    ClearPendingMessage();
    gSolver.AnalysisKind = -1;

    size_t from = 0;
    int lines = 0;
    while (from < text.size() && lines++ < 32) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        StatementSource source{kSourceTextLine, 1, 0, 0};
        ParseModelStatement(models, text.substr(from, end - from).c_str(), source, 0, "");
        from = end + 1;
    }
    for (int row = 0; row < models->ModelStatements.Count; ++row) ResolveAko(models, -1, row, false, false);

    GlobalSettingValues options;
    options.rmin = (selector & 1) ? 0.0 : 1e-6;
    options.tnom = (selector & 2) ? -40.0 : 27.0;
    TemperatureSetup setup;
    setup.models = models;
    setup.options = &options;
    for (double temperature : {27.0, -55.0, 150.0}) {
        if (SetupModelsAtTemperature(setup, temperature)) break;
        SetupInstancesAtTemperature(setup, temperature);
        setup.modelValuesConverted = true;
    }
    // The OPAMP values of every OPA record.
    for (PoolItem* item = models->ModelPools[kModelOpamp].first; item; item = item->next) {
        auto* record = static_cast<ModelRecord*>(item);
        if (!record->Values) continue;
        OpampElementValues values;
        ComputeOpampParameters(record->Values, 27.0, 1e-12, nullptr, &values);
        OpampStageValues stage;
        ComputeOpampStageValues(record->Values, &stage);
    }
    ResetFloatingPointState();
    DestroyCircuitModels(models);
    ClearPendingMessage();
    return 0;
}
