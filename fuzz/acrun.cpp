// An AC run of an arbitrary SPICE text with the device loads that are built:
// the set-up at 27 degrees, the bias point with its fall-backs, the complex
// matrix and a short log sweep. A run ends with a result code, never a hang:
// the keyboard poll presses Esc after a bound, and every accepted point must
// lie inside the swept range, in ascending order. Every fifth input runs in
// noise mode: the noise values must be numbers, the output noise positive.
#include <cmath>
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
#include "engine/acrun.h"
#include "engine/setup.h"
#include "expr/runstate.h"
#include "expr/stateful.h"
#include "fuzz/bounded_host.h"
#include "fuzz/deck_run.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

namespace {

class BoundedAcHost : public fuzz::BoundedRunHost<AcHost> {
public:
    int PrepareRun(SimulatorState&, AcRun&, double, int32_t) override { return 0; }
    int AcceptAcPoint(SimulatorState& state, AcRun& run) override {
        if (run.Frequency < last || run.Frequency < run.Fmin || run.Frequency > run.Fmax) __builtin_trap();
        // A solved point holds numbers only.
        for (const ComplexNumber& v : state.AcSolution)
            if (!std::isfinite(v.re) || !std::isfinite(v.im)) __builtin_trap();
        if (noise) {
            const double output = EvaluateNoise(0), input = EvaluateNoise(1);
            if (!(output > 0.0) || !std::isfinite(output) || !(input >= 0.0) || !std::isfinite(input)) __builtin_trap();
        }
        last = run.Frequency;
        return ++points > 1000 ? int{kResultStopped} : int{kOk};
    }
    bool StepControlPoint(const AcRun&, double&, double&, double&, bool&) override { return false; }
    bool WantsDeviceResults(const SimulatorState&) override { return results; }
    void ReportRunError(int, double) override {}
    long points = 0;
    double last = 0.0;
    bool results = false;
    bool noise = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n.MODEL RLIB RES (R=2)\n");
    InstallDeviceLoads();
    if (size > 4096) return 0;
    fuzz::RunCompiledDeck(fuzz::AsText(data, size), 1,
                          [size](CCTDoc*, CompiledCircuit* compiled, SimulatorState& state) {
                              AcRun run;
                              BoundedAcHost host;
                              host.results = size % 3 == 0;
                              AcLimits limits;
                              limits.stepKind = kAcStepLog;
                              limits.high = 1e9;
                              limits.low = 1.0;
                              limits.points = 10;
                              limits.optionFlags = size % 2 ? 0x78 : 0;
                              if (size % 5 == 0 && compiled->analogNodeCount >= 1) {
                                  host.noise = limits.noise = true;
                                  limits.noiseOutput1 = compiled->analogNodeCount;
                                  limits.noiseInput1 = 1;
                              }
                              RunAc(state, run, limits, host);
                          });
    return 0;
}
