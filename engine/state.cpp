#include "engine/state.h"

#include <new>

#include "compiler/compiled.h"
#include "compiler/options.h"
#include "core/result.h"
#include "engine/sparse.h"
#include "expr/runstate.h"

SimulatorState::SimulatorState() = default;

SimulatorState::~SimulatorState() {
    WithdrawRunState(*this);
    // The entry lists point into their matrices: forget them first.
    for (MatrixPair* pair : {&DcPair, &TransientPair}) {
        pair->entries.Clear();
        pair->entries.matrix = nullptr;
        SparseMatrix::Destroy(pair->matrix);
    }
}

int AttachCircuit(SimulatorState& state, CompiledCircuit* circuit, const CircuitOptions& options) {
    WithdrawRunState(state);
    state.Circuit = circuit;
    state.Options = options.settings;
    state.Formula.IntegrationMethod = options.method;
    state.NodeCount = circuit ? circuit->analogNodeCount : 0;
    const size_t equations = circuit ? static_cast<size_t>(circuit->unknownCount) + 1 : 1;
    // Capacitors and inductors, then the semiconductors' charge blocks in the
    // layout their loads index: diodes 1, JFETs 2, GaAsFETs 3, bipolars 5 and
    // every item of the MOSFET list 7 blocks.
    const auto count = [&](int list) { return static_cast<size_t>(circuit->devices.lists[list].pool.count); };
    const size_t blocks = circuit ? static_cast<size_t>(circuit->capacitorCount + circuit->inductorCount) +
                                        count(kListDiodes) + 2 * count(kListJfets) + 3 * count(kListGaasfets) +
                                        5 * count(kListBipolars) + 7 * count(kListMosfets)
                                  : 0;
    try {
        for (std::vector<double>* vector :
             {&state.Solution, &state.PreviousSolution, &state.LastSolution, &state.OlderSolution, &state.Rhs})
            vector->assign(equations, 0.0);
        state.AcSolution.assign(equations, ComplexNumber{0.0, 0.0});
        state.StateValues.assign(blocks * kStateSlotsPerBlock, 0.0);
        state.StateDerivatives.assign(blocks * kStateSlotsPerBlock, 0.0);
    } catch (const std::bad_alloc&) {
        for (std::vector<double>* vector :
             {&state.Solution, &state.PreviousSolution, &state.LastSolution, &state.OlderSolution, &state.Rhs,
              &state.StateValues, &state.StateDerivatives})
            std::vector<double>().swap(*vector);
        std::vector<ComplexNumber>().swap(state.AcSolution);
        state.StateCount = 0;
        return kResultNoMemory;
    }
    state.StateCount = static_cast<int32_t>(blocks);
    return kOk;
}

void PublishRunState(const SimulatorState& state, bool iterating) {
    gSolver.RealSolution = const_cast<double*>(state.Solution.data());
    gSolver.realCount = static_cast<int32_t>(state.Solution.size());
    gSolver.SolverIterating = iterating ? 1 : 0;
    gSolver.DigitalTick = state.Tick;
}

void WithdrawRunState(const SimulatorState& state) {
    if (state.Solution.empty() || gSolver.RealSolution != state.Solution.data()) return;
    gSolver.RealSolution = nullptr;
    gSolver.realCount = 0;
    gSolver.SolverIterating = 0;
}
