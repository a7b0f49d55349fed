// Transient runs: an RC ladder of 2,000 sections (1k, 1p each) driven by a
// 1 V step from empty capacitors over 10 us, and a 51-stage CMOS ring
// oscillator (level-1 models) over 50 ns: wall time, accepted and rejected
// points and Newton iterations of one run.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "devices/loads.h"
#include "devices/opamp.h"
#include "devices/temperature.h"
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

// Stage k drives node k + 1; the last drives node 1. Node 1 starts low.
std::string RingOscillator(int stages) {
    std::string deck =
        "ring\nVDD VDD 0 DC 3.3\n"
        ".MODEL NM NMOS (LEVEL=1 VTO=0.7 KP=110U GAMMA=0.4 LAMBDA=0.04 PHI=0.7 CGSO=0.3N CGDO=0.3N CJ=0.5M)\n"
        ".MODEL PM PMOS (LEVEL=1 VTO=-0.7 KP=50U GAMMA=0.4 LAMBDA=0.05 PHI=0.7 CGSO=0.3N CGDO=0.3N CJ=0.5M)\n";
    for (int k = 1; k <= stages; ++k) {
        const std::string in = std::to_string(k), out = std::to_string(k == stages ? 1 : k + 1);
        deck += "MP" + in + " " + out + " " + in + " VDD VDD PM W=2U L=0.5U AD=2P AS=2P\n";
        deck += "MN" + in + " " + out + " " + in + " 0 0 NM W=1U L=0.5U AD=1P AS=1P\n";
        deck += "CL" + in + " " + out + " 0 10F\n";
    }
    return deck + ".IC V(1)=0\n.END\n";
}

void BM_RingOscillatorTransient(benchmark::State& state) {
    benchsupport::StartCompiler();
    static const bool devices = [] {
        RegisterDeviceMessages();
        InstallDeviceLoads();
        return true;
    }();
    (void)devices;
    std::unique_ptr<CCTDoc> document =
        MakeSpiceTextDocument("", RingOscillator(static_cast<int>(state.range(0))).c_str());
    if (CompileCircuit(document.get(), 1)) {
        state.SkipWithError("the deck did not compile");
        return;
    }
    CompiledCircuit* compiled = FindCompiledCircuit(document.get());
    TransientLimits limits;
    limits.tmax = 50e-9;
    limits.optionFlags = 0;  // from the initial conditions
    double accepted = 0, rejected = 0, iterations = 0;
    for (auto _ : state) {
        TemperatureSetup setup = MakeTemperatureSetup(document.get());
        if (SetupModelsAtTemperature(setup, 27.0) || SetupInstancesAtTemperature(setup, 27.0)) {
            state.SkipWithError("the set-up failed");
            break;
        }
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
        FreeAnalysisMatrices(sim);
    }
    state.counters["accepted"] = accepted;
    state.counters["rejected"] = rejected;
    state.counters["iterations"] = iterations;
    ReleaseDefineTable(document.get());
}

BENCHMARK(BM_RingOscillatorTransient)->Arg(51)->Unit(benchmark::kMillisecond);

}  // namespace
