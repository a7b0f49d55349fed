#include "engine/setup.h"

#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "compiler/numbering.h"
#include "core/result.h"
#include "engine/sparse.h"

namespace {

int su_CountList(const CompiledCircuit* circuit, int list) {
    return circuit ? circuit->devices.lists[list].pool.count : 0;
}

// The vectors hold at least one entry per equation.
int su_SizeVectors(SimulatorState& state, size_t equations) {
    if (state.Solution.size() >= equations) return kOk;
    try {
        for (std::vector<double>* vector :
             {&state.Solution, &state.PreviousSolution, &state.LastSolution, &state.OlderSolution, &state.Rhs})
            vector->resize(equations, 0.0);
        state.AcSolution.resize(equations, ComplexNumber{0.0, 0.0});
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    return kOk;
}

}  // namespace

int BuildAnalysisMatrix(SimulatorState& state, IterationHost* context, bool clearSolutions, MatrixPair& pair) {
    const GlobalSettingValues& options = state.Options;
    state.OperatingPointHeld = 0;
    state.SourceRelTol = 0.08 * std::pow(2.0, std::log10(options.reltol));
    state.AbsTolCopy = options.abstol;
    state.RelTolCopy = options.reltol;
    state.VnTolCopy = options.vntol;
    state.RelTolMilli = options.reltol * 0.001;
    state.DigitalStepRatioLimit = 1e30;
    state.CoreStepFactor = 1e30;
    state.LoadAborted = 0;
    state.StepRatioLimit = 1.0;
    for (double* value : {&state.Tick, &state.ConvolutionStep, &state.Formula.PreviousSteps[1], &state.Tmax})
        if (*value <= 0) *value = 1.0;
    state.StepRatio = 1.0;
    state.StepRatioPlusOne = 2.0;
    state.Time = 0.0;
    state.IterationMode = kModeInitTransient;

    CompiledCircuit* circuit = state.Circuit;
    state.MatrixSize = circuit ? NumberSimulatorObjects(circuit) : 0;
    state.NodeCount = circuit ? circuit->analogNodeCount : 0;
    if (int result = su_SizeVectors(state, static_cast<size_t>(state.MatrixSize) + 1)) return result;
    state.SimpleStateSlots = 4 * (su_CountList(circuit, kListDiodes) + 2 * su_CountList(circuit, kListJfets) +
                                  3 * su_CountList(circuit, kListGaasfets) + su_CountList(circuit, kListInductors) +
                                  su_CountList(circuit, kListCapacitors));

    state.Installed = &pair;
    if (state.Formula.TimeStep == 0) state.Formula.TimeStep = 1.0;

    if (state.NodeCount == 0) {
        state.OperatingPointActive = 0;
        return kOk;
    }
    if (!pair.matrix) {
        if (int result = SparseMatrix::Create(pair.matrix, options.pivrel, options.pivtol, state.MatrixSize))
            return result;
    }
    // The list is rebuilt from the start; the matrix keeps the elements it has.
    pair.entries.Clear();
    pair.entries.matrix = pair.matrix.get();

    if (clearSolutions) {
        for (std::vector<double>* vector :
             {&state.Solution, &state.LastSolution, &state.OlderSolution, &state.PreviousSolution})
            std::fill(vector->begin(), vector->end(), 0.0);
        state.RunCount = 0;
    }

    state.MatrixBuilt = 0;
    const int result = LoadWithDeviceOutputs(state, context);
    if (result == kOk) {
        // A failed pre-ordering leaves the new matrix in its pair, which
        // destroys it with the other pair or with the state.
        if (int preorder = pair.matrix->PreorderTwins()) return preorder;
    }
    return result;
}

void FreeMatrixPair(SimulatorState& state, MatrixPair& pair) {
    if (state.Installed == &pair) {
        state.Installed = nullptr;
        state.Cursor = EntryCursor();
    }
    pair.entries.Clear();
    pair.entries.matrix = nullptr;
    SparseMatrix::Destroy(pair.matrix);
}

void FreeAnalysisMatrices(SimulatorState& state) {
    FreeMatrixPair(state, state.DcPair);
    FreeMatrixPair(state, state.TransientPair);
}

void ReleaseCompiledCircuit(SimulatorState& state, CCTDoc* document) {
    FreeAnalysisMatrices(state);
    WithdrawRunState(state);
    for (std::vector<double>* vector : {&state.Solution, &state.PreviousSolution, &state.LastSolution,
                                        &state.OlderSolution, &state.Rhs, &state.StateValues, &state.StateDerivatives})
        std::vector<double>().swap(*vector);
    std::vector<ComplexNumber>().swap(state.AcSolution);
    state.StateCount = 0;
    state.MatrixSize = 0;
    state.NodeCount = 0;
    state.MatrixBuilt = 0;
    state.Circuit = nullptr;
    ReleaseCompiledCircuit(document);
}
