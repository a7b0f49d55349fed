// Statements per second of a full compile of generated SPICE decks: a resistor
// grid and an RC ladder, at 20,000 and 200,000 elements, so that a compile that
// grows faster than the deck shows at once; and the define substitution of a
// call that inserts itself, which must stop at its bounds without going
// quadratic.
#include <benchmark/benchmark.h>

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

void StartCompiler() {
    static std::unique_ptr<platform::Application> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        auto made = std::make_unique<platform::Application>();
        RegisterExprMessages();
        BuildSymbolIndexes();
        RegisterModelMessages();
        InitModelParamTables();
        RegisterCompilerMessages();
        InstallDocumentTextSource();
        InstallModelLibraryServices();
        InstallCompilerServices();
        // The decks name no library, but every compile searches the master
        // library: a scratch copy keeps the index files out of the tree.
        char folder[] = "/tmp/tw_bench_XXXXXX";
        if (mkdtemp(folder)) {
            std::string command = std::string("cp -r '" TW_SOURCE_DIR "/data/library' '") + folder + "/'";
            if (std::system(command.c_str()) == 0)
                SetPathSetting(kPathLibrary, (std::string(folder) + "/library").c_str());
        }
        return made;
    }();
}

// A square grid of resistors between numbered nodes, fed by one source; about
// `elements` resistors.
std::string ResistorGrid(int elements) {
    int side = 2;
    while (2 * side * (side - 1) < elements) ++side;
    std::string deck = "resistor grid\nV1 1 0 DC 1\n";
    int count = 0;
    auto node = [side](int row, int column) { return row * side + column + 1; };
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column) {
            if (column + 1 < side)
                deck += "R" + std::to_string(++count) + " " + std::to_string(node(row, column)) + " " +
                        std::to_string(node(row, column + 1)) + " 1K\n";
            if (row + 1 < side)
                deck += "R" + std::to_string(++count) + " " + std::to_string(node(row, column)) + " " +
                        std::to_string(node(row + 1, column)) + " 1K\n";
        }
    deck += "RG " + std::to_string(node(side - 1, side - 1)) + " 0 1K\n.OP\n.END\n";
    return deck;
}

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
