// Operating points per second of a compiled resistor grid: the matrix set-up
// (one reserving load, the pre-ordering and the first ordered factorization)
// and a Newton iteration that reuses the order, at 2,000 and 20,000 resistors.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/messages.h"
#include "compiler/options.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/newton.h"
#include "engine/setup.h"
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
        char folder[] = "/tmp/tw_bench_XXXXXX";
        if (mkdtemp(folder)) {
            std::string command = std::string("cp -r '" TW_SOURCE_DIR "/data/library' '") + folder + "/'";
            if (std::system(command.c_str()) == 0)
                SetPathSetting(kPathLibrary, (std::string(folder) + "/library").c_str());
        }
        return made;
    }();
}

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
    deck += "RG " + std::to_string(node(side - 1, side - 1)) + " 0 1K\n.END\n";
    return deck;
}

struct CompiledGrid {
    std::unique_ptr<CCTDoc> document;
    CompiledCircuit* compiled = nullptr;
};

bool CompileGrid(CompiledGrid& grid, int elements) {
    StartCompiler();
    grid.document = MakeSpiceTextDocument("", ResistorGrid(elements).c_str());
    if (CompileCircuit(grid.document.get(), 1)) return false;
    grid.compiled = FindCompiledCircuit(grid.document.get());
    for (PoolItem* item = grid.compiled->devices[kListResistors].pool.first; item; item = item->next)
        static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
    return true;
}

void Prepare(SimulatorState& state) {
    state.AnalysisPhase = kPhaseDc;
    state.LoadAnalysis = kLoadOperatingPoint;
    state.OperatingPointActive = 1;
    state.IterationMode = kModeInitJunction;
}

void BM_BuildMatrixAndSolve(benchmark::State& state) {
    CompiledGrid grid;
    if (!CompileGrid(grid, static_cast<int>(state.range(0)))) {
        state.SkipWithError("the deck did not compile");
        return;
    }
    for (auto _ : state) {
        SimulatorState sim;
        AttachCircuit(sim, grid.compiled, *GetCircuitOptions(grid.document.get()));
        if (BuildAnalysisMatrix(sim, nullptr, true, sim.DcPair)) {
            state.SkipWithError("the matrix was not built");
            break;
        }
        sim.MatrixBuilt = 1;
        Prepare(sim);
        if (NewtonIterate(sim, nullptr, sim.Options.itl1, sim.Options.gmin)) {
            state.SkipWithError("no operating point");
            break;
        }
    }
    ReleaseDefineTable(grid.document.get());
}

void BM_NewtonIterateReusingOrder(benchmark::State& state) {
    CompiledGrid grid;
    if (!CompileGrid(grid, static_cast<int>(state.range(0)))) {
        state.SkipWithError("the deck did not compile");
        return;
    }
    SimulatorState sim;
    AttachCircuit(sim, grid.compiled, *GetCircuitOptions(grid.document.get()));
    BuildAnalysisMatrix(sim, nullptr, true, sim.DcPair);
    sim.MatrixBuilt = 1;
    // The first iteration orders the matrix; the measured ones reuse the order.
    Prepare(sim);
    NewtonIterate(sim, nullptr, sim.Options.itl1, sim.Options.gmin);
    for (auto _ : state) {
        Prepare(sim);
        if (NewtonIterate(sim, nullptr, sim.Options.itl1, sim.Options.gmin)) {
            state.SkipWithError("no operating point");
            break;
        }
    }
    ReleaseCompiledCircuit(sim, grid.document.get());
    ReleaseDefineTable(grid.document.get());
}

BENCHMARK(BM_BuildMatrixAndSolve)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewtonIterateReusingOrder)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
