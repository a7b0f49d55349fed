// Subcircuit expansion at scale: a deck that calls one 20-element subcircuit
// 1,000 to 10,000 times is read and expanded in time proportional to the
// calls (the instances/s counter stays flat when it does). The part set-up
// that follows is measured by the compile benchmarks.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/spicereader.h"
#include "compiler/subckt.h"
#include "compiler/support.h"
#include "core/report_port.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"

namespace {

// Ten series resistors and ten shunt capacitors between IN and OUT.
std::string CalledDeck(int instances) {
    std::string deck = "instances\n.SUBCKT CELL IN OUT PARAMS: R=100\n";
    for (int i = 1; i <= 10; ++i) {
        const std::string a = i == 1 ? "IN" : "N" + std::to_string(i - 1);
        const std::string b = i == 10 ? "OUT" : "N" + std::to_string(i);
        deck += "R" + std::to_string(i) + " " + a + " " + b + " {R}\n";
        deck += "C" + std::to_string(i) + " " + b + " 0 1P\n";
    }
    deck += ".ENDS\nV1 1 0 1\n";
    for (int i = 1; i <= instances; ++i)
        deck += "X" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " CELL\n";
    deck += "R0 " + std::to_string(instances + 1) + " 0 1K\n.END\n";
    return deck;
}

void BM_ExpandSubcircuitInstances(benchmark::State& state) {
    benchsupport::StartCompiler();
    const std::string deck = CalledDeck(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument("", deck.c_str());
        int rc = BeginCircuitCompile(document.get(), 0, 0);
        if (!rc) rc = ReadSpiceText(document.get());
        if (!rc) rc = ProcessSubcircuits(document.get());
        if (rc) {
            state.SkipWithError(("the deck did not compile: " + std::string(LastMessageText())).c_str());
            break;
        }
        ClearCompileArrays(document.get(), 0x3ff);
        ReleaseCompiledCircuit(document.get());
        ReleaseSpiceReader(document.get());
        ReleaseDefineTable(document.get());
    }
    state.counters["instances/s"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ExpandSubcircuitInstances)->Arg(1000)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
