// The DC analyses of an arbitrary SPICE text with names typed by the user: the
// first line of the input is a DC sweep variable ("V1", "TEMP", "D DX(IS)"
// ...), the second an output expression and the third an input source for the
// transfer function; the rest is the deck. A short sweep of the variable and
// the transfer function run on the compiled deck; every run ends with a
// result code (the keyboard poll presses Esc after a bound on iterations).
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
#include "engine/dcsweep.h"
#include "engine/setup.h"
#include "engine/transfer.h"
#include "expr/runstate.h"
#include "fuzz/bounded_host.h"
#include "fuzz/deck_run.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

namespace {

class BoundedHost : public fuzz::BoundedRunHost<DcSweepHost> {
public:
    int SetupDcPoint(SimulatorState&, DcSweepRun& run) override {
        ApplyDcSweepValues(document, run);
        return 0;
    }
    int StartBranch(SimulatorState&, DcSweepRun&) override { return 0; }
    double FirstCurveSpan(const SimulatorState&, const DcSweepRun&) override { return 1.0; }
    int EvaluateDcPoint(SimulatorState& state, DcSweepRun&, double& firstY) override {
        firstY = state.Solution.size() > 1 ? state.Solution[1] : 0.0;
        return 0;
    }
    int AcceptDcPoint(SimulatorState&, DcSweepRun&) override { return ++points > 10000 ? int{kResultStopped} : 0; }
    int EndBranch(SimulatorState&, DcSweepRun&) override { return 0; }
    void ReportRunError(int, double) override {}
    CCTDoc* document = nullptr;
    long points = 0;
};

class QuietHost : public fuzz::BoundedRunHost<TransientHost> {
public:
    int AcceptTimePoint(SimulatorState&, TransientRun&) override { return 0; }
    void ReportRunError(int, double) override {}
    bool Confirm(int, double) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n.MODEL RLIB RES (R=2)\n");
    InstallDeviceLoads();
    if (size > 4096) return 0;
    std::string text = fuzz::AsText(data, size);
    const std::string variable = fuzz::TakeLine(text);
    const std::string output = fuzz::TakeLine(text);
    const std::string input = fuzz::TakeLine(text);
    fuzz::RunCompiledDeck(text, 2, [&](CCTDoc* document, CompiledCircuit*, SimulatorState& state) {
        DcSweepRun run;
        run.Variables[0].Method = static_cast<int>(size % 4);
        if (ResolveDcSweepVariable(document, variable.c_str(), run, 0) == 0 &&
            (run.Variables[0].Method == kDcMethodList ? SetSweepList(run.Variables[0], {0.5, -1.0, 2.0})
                                                      : SetSweepRange(run.Variables[0], 0, 2.0, 0.5, 0.0)) == 0) {
            BoundedHost host;
            host.document = document;
            RunDcSweep(state, run, host);
        }
        QuietHost quiet;
        TransferResult result;
        ComputeTransferFunction(state, document, output.c_str(), input.c_str(), quiet, result);
    });
    return 0;
}
