// The simulation save file reader: an arbitrary file opened for Retrieve
// against a state whose equation count, charge blocks and analysis letter the
// input's first two bytes choose, then read record by record to its end.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/savefile.h"
#include "engine/state.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    SimulatorState state;
    state.MatrixSize = data[0] % 8;
    state.Solution.assign(static_cast<size_t>(state.MatrixSize) + 1, 0.0);
    state.StateCount = data[1] % 3;
    state.StateValues.assign(static_cast<size_t>(state.StateCount) * kStateSlotsPerBlock, 0.0);
    state.StateDerivatives.assign(static_cast<size_t>(state.StateCount) * kStateSlotsPerBlock, 0.0);
    SaveFileRequest request;
    request.analysisLetter = "TADW"[(data[1] >> 2) & 3];
    request.runOption = kRunRetrieve;
    request.probe = (data[1] & 16) != 0;
    request.path = fuzz::WriteScratchFile("run.TSA", data + 2, size - 2);
    SimulationSaveFile save;
    if (save.Open(state, request) != 0) return 0;
    std::vector<double> solution(state.Solution.size(), 0.0);
    int32_t counter = 0;
    double time = 0.0, step = 0.0;
    state.RunStopRequest = 0;
    while (!state.RunStopRequest && counter < 100000) save.ReadPoint(state, counter, time, step, solution);
    save.Close();
    return 0;
}
