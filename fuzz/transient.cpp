// A transient run of an arbitrary SPICE text with the device loads and source
// waveforms that are built: the set-up at 27 degrees, the breakpoints of its
// sources, the operating point with its fall-backs, and the time loop from 0
// to 1 us. A run ends with a
// result code, never a hang: the keyboard poll presses Esc after a bound on
// iterations, and the stored points are counted against the run's own limit.
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
#include "engine/setup.h"
#include "engine/transient.h"
#include "expr/runstate.h"
#include "fuzz/bounded_host.h"
#include "fuzz/deck_run.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

namespace {

class BoundedHost : public fuzz::BoundedRunHost<TransientHost> {
public:
    int AcceptTimePoint(SimulatorState& state, TransientRun& run) override {
        // Points are stored in time order, inside the run's range.
        if (state.Time < last || state.Time < run.Tmin || state.Time > run.Tmax * (1 + 1e-9)) __builtin_trap();
        last = state.Time;
        return ++points > 100000 ? int{kResultStopped} : int{kOk};
    }
    // A run that begins again at its start keeps its order from there.
    void RunRestarting(SimulatorState&, TransientRun& run) override { last = run.Tmin; }
    void ReportRunError(int, double) override {}
    bool Confirm(int, double) override { return false; }
    long points = 0;
    double last = 0.0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n.MODEL RLIB RES (R=2)\n");
    InstallDeviceLoads();
    if (size > 4096) return 0;
    fuzz::RunCompiledDeck(fuzz::AsText(data, size), 0, [size](CCTDoc*, CompiledCircuit*, SimulatorState& state) {
        TransientRun run;
        BoundedHost host;
        TransientLimits limits;
        limits.optionFlags = size % 2 ? 0x78 : 0;
        RunTransient(state, run, limits, host);
    });
    return 0;
}
