// Operating points of SPICE texts with bipolar, JFET and GaAsFET lines and
// arbitrary model values: a compile that succeeds is set up at 27 degrees,
// iterated a little, and then loaded once in every iteration mode and phase.
// Every load must stamp exactly the entries its reserve made.
#include <cstdint>
#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "devices/loads.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/integrate.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

namespace {

void fz_Loads(SimulatorState& state) {
    state.Formula.TimeStep = 1e-9;
    state.Formula.PreviousSteps[0] = 1e-9;
    state.Formula.PreviousSteps[1] = 2e-9;
    ComputeIntegrationCoefficients(state.Formula);
    for (int analysis : {kLoadOperatingPoint, kLoadTransient})
        for (int phase : {kPhaseDc, kPhaseTransient})
            for (int mode : {kModeInitJunction, kModeInitFix, kModeFloat, kModeInitSmallSignal, kModeInitTransient,
                             kModeInitPredictor}) {
                state.IterationMode = mode;
                state.AnalysisPhase = phase;
                state.LoadAnalysis = analysis;
                state.UseInitialConditions = mode == kModeInitTransient;
                if (LoadAllDevices(state, nullptr) != 0) return;
                if (state.Cursor.Position() != state.Entries()->Size()) __builtin_trap();
            }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n");
    static const bool installed = (InstallDeviceLoads(), true);
    (void)installed;
    if (size > 4096) return 0;
    const std::string text = fuzz::AsText(data, size);
    const std::string path = fuzz::ScratchDir() + "/deck.ckt";
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument(path.c_str(), text.c_str());
    if (!document) return 0;
    SetAnalysisKind(2);
    {
        SimulatorState state;
        if (RunCircuitCompiler(document.get(), 1) == 0) {
            CompiledCircuit* compiled = FindCompiledCircuit(document.get());
            TemperatureSetup setup = MakeTemperatureSetup(document.get());
            if (compiled && SetupModelsAtTemperature(setup, 27.0) == 0 &&
                SetupInstancesAtTemperature(setup, 27.0) == 0 &&
                AttachCircuit(state, compiled, *GetCircuitOptions(document.get())) == 0 &&
                BuildAnalysisMatrix(state, nullptr, true, state.DcPair) == 0 && state.Entries()) {
                state.MatrixBuilt = 1;
                state.AnalysisPhase = kPhaseDc;
                state.LoadAnalysis = kLoadOperatingPoint;
                state.OperatingPointActive = 1;
                state.IterationMode = kModeInitJunction;
                NewtonIterate(state, nullptr, 20, state.Options.gmin);
                fz_Loads(state);
            }
        }
        ReleaseCompiledCircuit(state, document.get());
    }
    ResetFloatingPointState();
    ClearCompileArrays(document.get(), kClearAllCompileArrays);
    ReleaseSpiceReader(document.get());
    ReleaseDefineTable(document.get());
    CurrentRunContext().circuitDocument = nullptr;
    document.reset();
    SetAnalysisKind(-1);
    ClearDotPaths();
    ClearCompileErrorLocation();
    ClearPendingMessage();
    return 0;
}
