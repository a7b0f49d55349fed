// An AC sweep of 200 frequencies (log, 1 kHz to 1 GHz) over an RC ladder of
// 2,000 sections (1k, 1p each): wall time of one run including its bias point,
// and the time per frequency.
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
#include "engine/acrun.h"
#include "engine/setup.h"
#include "expr/runstate.h"

namespace {

std::string AcLadder(int sections) {
    std::string deck = "rc ladder\nV1 1 0 DC 0 AC 1\n";
    for (int k = 1; k <= sections; ++k) {
        const std::string a = std::to_string(k), b = std::to_string(k + 1);
        deck += "R" + a + " " + a + " " + b + " 1K\n";
        deck += "C" + a + " " + b + " 0 1P\n";
    }
    return deck + ".END\n";
}

class CountingAcHost : public AcHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int PrepareRun(SimulatorState&, AcRun&, double, int32_t) override { return 0; }
    int AcceptAcPoint(SimulatorState&, AcRun&) override {
        ++points;
        return 0;
    }
    bool StepControlPoint(const AcRun&, double&, double&, double&, bool&) override { return false; }
    bool WantsDeviceResults(const SimulatorState&) override { return false; }
    void ReportRunError(int, double) override {}
    long points = 0;
};

void BM_RcLadderAc(benchmark::State& state) {
    benchsupport::StartCompiler();
    SetAnalysisKind(1);
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument("", AcLadder(static_cast<int>(state.range(0))).c_str());
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
    AcLimits limits;
    limits.stepKind = kAcStepLog;
    limits.high = 1e9;
    limits.low = 1e3;
    limits.points = 200;
    double points = 0;
    for (auto _ : state) {
        SimulatorState sim;
        AttachCircuit(sim, compiled, *GetCircuitOptions(document.get()));
        AcRun run;
        CountingAcHost host;
        if (const int result = RunAc(sim, run, limits, host)) {
            state.SkipWithError(("the run failed with " + std::to_string(result)).c_str());
            break;
        }
        points = static_cast<double>(host.points);
        FreeAnalysisMatrices(sim);
    }
    state.counters["frequencies"] = points;
    state.counters["per_frequency"] =
        benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    ReleaseDefineTable(document.get());
    SetAnalysisKind(-1);
}

BENCHMARK(BM_RcLadderAc)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
