// The state-variables file reader: an arbitrary file read into a state whose
// shape (solution length, charge blocks) the input's first two bytes choose,
// both through the file and from the image in memory, with pending events
// going into a run's breakpoint list.
#include <cstdint>
#include <string>

#include "engine/state.h"
#include "engine/statefile.h"
#include "engine/transient.h"
#include "fuzz/fuzz_support.h"

namespace {

void Shape(SimulatorState& state, uint8_t solution, uint8_t blocks) {
    const size_t n = 1 + solution % 8;
    for (std::vector<double>* v :
         {&state.Solution, &state.PreviousSolution, &state.LastSolution, &state.OlderSolution, &state.Rhs})
        v->assign(n, 0.0);
    state.StateCount = blocks % 3;
    state.StateValues.assign(static_cast<size_t>(state.StateCount) * kStateSlotsPerBlock, 0.0);
    state.StateDerivatives.assign(static_cast<size_t>(state.StateCount) * kStateSlotsPerBlock, 0.0);
    state.Tick = 1e-15;
    state.MaxTimeStep = 1e-8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    SimulatorState state;
    Shape(state, data[0], data[1]);
    TransientRun run;
    run.Tmax = 1e-6;
    data += 2;
    size -= 2;
    ApplyStateVariablesImage(state, &run, data, size);
    const std::string path = fuzz::WriteScratchFile("state.TOP", data, size);
    SaveStateVariables(state, &run, false, path);
    return 0;
}
