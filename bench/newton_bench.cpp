// Operating points per second of a compiled resistor grid: the matrix set-up
// (one reserving load, the pre-ordering and the first ordered factorization)
// and a Newton iteration that reuses the order, at 2,000 and 20,000 resistors.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

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

using benchsupport::ResistorGrid;
using benchsupport::StartCompiler;

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
