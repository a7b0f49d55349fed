// Statements per second of a full compile of generated SPICE decks: a resistor
// grid and an RC ladder, at 20,000 and 200,000 elements, so that a compile that
// grows faster than the deck shows at once; and the define substitution of a
// call that inserts itself, which must stop at its bounds without going
// quadratic.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/messages.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/messages.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "models/modeltypes.h"
#include "platform/app.h"

namespace {

using benchsupport::ResistorGrid;
using benchsupport::StartCompiler;

// A ladder of series resistors and shunt capacitors driven by a pulse.
std::string RcLadder(int elements) {
    std::string deck = "rc ladder\nV1 1 0 PULSE(0 1 0 1N 1N 1U 2U)\n";
    for (int i = 1; i <= elements / 2; ++i) {
        deck += "R" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " 100\n";
        deck += "C" + std::to_string(i) + " " + std::to_string(i + 1) + " 0 1P\n";
    }
    deck += ".TRAN 1N 10U\n.END\n";
    return deck;
}

void CompileDeck(benchmark::State& state, const std::string& deck) {
    StartCompiler();
    for (auto _ : state) {
        std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument("", deck.c_str());
        const int rc = CompileCircuit(document.get(), 1);
        if (rc) {
            state.SkipWithError(("the deck did not compile: " + std::string(LastMessageText())).c_str());
            break;
        }
        ClearCompileArrays(document.get(), 0x3ff);
        ReleaseDefineTable(document.get());
    }
    state.counters["statements/s"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CompileResistorGrid(benchmark::State& state) {
    CompileDeck(state, ResistorGrid(static_cast<int>(state.range(0))));
}
void BM_CompileRcLadder(benchmark::State& state) { CompileDeck(state, RcLadder(static_cast<int>(state.range(0)))); }

BENCHMARK(BM_CompileResistorGrid)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileRcLadder)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// A define that inserts itself with more text each time: substitution stops at
// its bounds (10881) and must stay far below a second.
void BM_SelfInsertingDefine(benchmark::State& state) {
    StartCompiler();
    DefineTable table;
    table.Init(nullptr);
    InitRootScopes(&table, "/tmp/a.cir", 1);
    StatementSource source{kSourceTextLine, 1, 0, 0};
    const std::string statement = ".define K(X) K(" + std::string(30, 'Y') + " X)," + std::string(60, 'Y');
    ParseDefineStatement(&table, statement.c_str(), source, kDotDefine);
    for (auto _ : state) {
        char* out = nullptr;
        benchmark::DoNotOptimize(SubstituteDefines(&table, &out, 1, "K(2)", 0, kMarkersToParentheses));
        FreeString(&out);
        ClearPendingMessage();
    }
}
BENCHMARK(BM_SelfInsertingDefine)->Unit(benchmark::kMillisecond);

}  // namespace
