// A transient run of an RC ladder of 2,000 sections (1k, 1p each) driven by a
// 1 V step from empty capacitors, over 10 us: wall time, accepted and rejected
// points and Newton iterations of one run.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/setup.h"
#include "engine/transient.h"

namespace {

std::string RcLadder(int sections) {
    std::string deck = "rc ladder\nV1 1 0 DC 1\n";
    for (int k = 1; k <= sections; ++k) {
        const std::string a = std::to_string(k), b = std::to_string(k + 1);
        deck += "R" + a + " " + a + " " + b + " 1K\n";
        deck += "C" + a + " " + b + " 0 1P\n";
    }
    return deck + ".END\n";
}

class CountingHost : public TransientHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState&, TransientRun&) override {
        ++points;
        return 0;
    }
    void ReportRunError(int, double) override {}
    bool Confirm(int, double) override { return true; }
    long points = 0;
};

void BM_RcLadderTransient(benchmark::State& state) {
    benchsupport::StartCompiler();
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument("", RcLadder(static_cast<int>(state.range(0))).c_str());
    if (CompileCircuit(document.get(), 1)) {
        state.SkipWithError("the deck did not compile");
        return;
    }
    CompiledCircuit* compiled = FindCompiledCircuit(document.get());
    for (PoolItem* item = compiled->devices[kListResistors].pool.first; item; item = item->next)
        static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
    for (PoolItem* item = compiled->devices[kListCapacitors].pool.first; item; item = item->next) {
        static_cast<CapacitorRecord*>(item)->temperatureFactor = 1.0;
        static_cast<CapacitorRecord*>(item)->constantCapacitance = 1;
    }
    TransientLimits limits;
    limits.tmax = 10e-6;
    limits.optionFlags = 0;  // from empty capacitors, no operating point
    double accepted = 0, rejected = 0, iterations = 0, stored = 0;
    for (auto _ : state) {
        SimulatorState sim;
        AttachCircuit(sim, compiled, *GetCircuitOptions(document.get()));
        TransientRun run;
        CountingHost host;
        if (RunTransient(sim, run, limits, host)) {
            state.SkipWithError("the run failed");
            break;
        }
        accepted = run.AcceptedPoints;
        rejected = run.RejectedPoints;
        iterations = sim.TotalIterations;
        stored = static_cast<double>(host.points);
        FreeAnalysisMatrices(sim);
    }
    state.counters["accepted"] = accepted;
    state.counters["rejected"] = rejected;
    state.counters["iterations"] = iterations;
    state.counters["stored"] = stored;
    ReleaseDefineTable(document.get());
}

BENCHMARK(BM_RcLadderTransient)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
