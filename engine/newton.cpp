#include "engine/newton.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/elements.h"
#include "engine/sparse.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/stateful.h"

namespace {

DeviceKindLoads* gRowLoads[kDeviceLoadRowCount + 1] = {};

// The device lists each row loads, for telling whether a row without loads
// has devices it would leave out (-1 ends a row). The MOSFET levels 4, 5 and 8
// share the LEVEL 1-3 list, and the .IC row reads the initial conditions.
struct ng_RowLists {
    int row;
    int lists[4];
};
const ng_RowLists kRowLists[] = {
    {kRowDiodes, {kListDiodes, -1}},
    {kRowLossyLines, {kListLossyLines, -1}},
    {kRowLinearDependentSources, {kListDependentSources, -1}},
    {kRowPolySources, {kListPolySources, -1}},
    {kRowLaplaceSources, {kListLaplaceSources, -1}},
    {kRowLaplaceTableSources, {kListLaplaceTableSources, -1}},
    {kRowFunctionSources, {kListFunctionSources, -1}},
    {kRowTimers, {kListTimers, -1}},
    {kRowSampleHolds, {kListSampleHolds, -1}},
    {kRowTableSources, {kListTableSources, -1}},
    {kRowBipolars, {kListBipolars, -1}},
    {kRowOpamps, {kListOpamps, -1}},
    {kRowMosfets, {kListMosfets, -1}},
    {kRowBsim4, {kListBsim4Mosfets, -1}},
    {kRowEkv, {kListEkvMosfets, -1}},
    {kRowJfets, {kListJfets, -1}},
    {kRowGaasfets, {kListGaasfets, -1}},
    {kRowIdealLines, {kListIdealLines, -1}},
    {kRowIndependentSources, {kListSpiceSources, kListSineSources, kListPulseSources, kListUserSources}},
    {kRowDigitalOutputs, {kListDigitalOutputs, -1}},
    {kRowResistors, {kListResistors, -1}},
    {kRowSSwitches, {kListSSwitches, -1}},
    {kRowWSwitches, {kListWSwitches, -1}},
    {kRowSwitches, {kListSwitches, -1}},
    {kRowInductors, {kListInductors, kListInductorCouplings, kListTransformerCouplings, -1}},
    {kRowCapacitors, {kListCapacitors, -1}},
    {kRowAnalogToDigital, {kListInterfaces, -1}},
    {kRowAdcs, {kListAdcs, -1}},
    {kRowDacs, {kListDacs, -1}},
};

bool ng_RowHasDevices(const SimulatorState& state, int row) {
    if (row == kRowInitialConditions) return state.InitialConditionTable && !state.InitialConditionTable->empty();
    if (!state.Circuit) return false;
    for (const ng_RowLists& entry : kRowLists) {
        if (entry.row != row) continue;
        for (int list : entry.lists) {
            if (list < 0) break;
            if (state.Circuit->devices.lists[list].pool.count > 0) return true;
        }
    }
    return false;
}

// The loads of a row; null with `result` 15090 when its devices have none.
DeviceKindLoads* ng_Loads(const SimulatorState& state, int row, int& result) {
    result = kOk;
    DeviceKindLoads* loads = gRowLoads[row];
    if (!loads && ng_RowHasDevices(state, row)) result = kResultNotBuilt;
    return loads;
}

// The A/D and D/A converters load only while an operating point is iterated.
bool ng_RowLoadsNow(const SimulatorState& state, int row) {
    if (row == kRowAdcs || row == kRowDacs) return state.OperatingPointActive != 0;
    return true;
}

// The rows whose loads are the engine's own elements.
bool ng_IsBuiltIn(int row) {
    return row == kRowIndependentSources || row == kRowResistors || row == kRowInductors || row == kRowCapacitors ||
           row == kRowSSwitches || row == kRowWSwitches || row == kRowSwitches || row == kRowInitialConditions;
}

int ng_ReserveBuiltIn(SimulatorState& state, int row) {
    if (!state.Circuit) return kOk;
    switch (row) {
    case kRowIndependentSources: return ReserveIndependentSources(state);
    case kRowResistors: return ReserveResistors(state, state.ElementMemory);
    case kRowInductors: return ReserveInductors(state);
    case kRowCapacitors: return ReserveCapacitors(state, state.ElementMemory);
    case kRowSSwitches: return ReserveVoltageSwitches(state);
    case kRowWSwitches: return ReserveCurrentSwitches(state);
    case kRowSwitches: return ReserveSwitches(state);
    case kRowInitialConditions: return ReserveInitialConditions(state);
    default: return kOk;
    }
}

int ng_LoadBuiltIn(SimulatorState& state, int row) {
    if (!state.Circuit) return kOk;
    switch (row) {
    case kRowIndependentSources: LoadIndependentSources(state); return kOk;
    case kRowResistors: return LoadResistors(state, state.ElementMemory);
    case kRowInductors: return LoadInductors(state);
    case kRowCapacitors: return LoadCapacitors(state, state.ElementMemory);
    case kRowSSwitches: return LoadVoltageSwitches(state);
    case kRowWSwitches: return LoadCurrentSwitches(state);
    case kRowSwitches: return LoadSwitches(state);
    case kRowInitialConditions: LoadInitialConditions(state); return kOk;
    default: return kOk;
    }
}

void ng_ResetLoad(SimulatorState& state, bool keepValues) {
    static const EntryList kNoEntries;
    const EntryList* list = state.Entries();
    ResetLoad(list ? *list : kNoEntries, state.Cursor, state.Rhs.data(), state.Rhs.size(), keepValues);
}

void ng_SetLoadFlags(SimulatorState& state) {
    const int mode = state.IterationMode;
    state.UseSolutionVoltages = !((state.AnalysisPhase == kPhaseDc && mode == kModeInitJunction) ||
                                  (state.UseInitialConditions && mode == kModeInitTransient));
    state.ChargeTermsActive = state.AnalysisPhase == kPhaseTransient || state.AnalysisPhase == kPhaseAcBias;
    state.InitialConditionPoint = state.LoadAnalysis == kLoadTransient && state.UseInitialConditions;
    state.StoreSmallSignal =
        state.AnalysisPhase == kPhaseTransient || state.LoadAnalysis == kLoadTransient || mode == kModeInitSmallSignal;
    state.InitialConditionLoad = mode == kModeInitTransient && state.UseInitialConditions;
    state.TransientStartLoad = mode == kModeInitTransient || mode == kModeInitPredictor;
    state.ComputeCharges = state.ChargeTermsActive || state.InitialConditionPoint || mode == kModeInitSmallSignal;
    state.DigitalStepRatioLimit = 1.0;
    state.LoadAborted = 0;
}

// Every device computes its currents and powers for one load: the reference
// flags of the circuit's device lists get the solver's bit, and lose it after.
class ng_DeviceOutputs {
public:
    ng_DeviceOutputs(SimulatorState& state, bool wanted) {
        if (!wanted || !state.Circuit) return;
        scope_.emplace(state.Circuit->devices);
        SetDeviceFlags(kRefSolver);
    }
    ~ng_DeviceOutputs() {
        if (scope_) ClearDeviceFlags(kRefDeviceExpressions | kRefDisplay);
    }
    ng_DeviceOutputs(const ng_DeviceOutputs&) = delete;
    ng_DeviceOutputs& operator=(const ng_DeviceOutputs&) = delete;

private:
    std::optional<DeviceListScope> scope_;
};

bool ng_AtRunEnd(const SimulatorState& state) { return state.Tmax > 0 && state.Time >= 0.99999999 * state.Tmax; }

bool ng_WantsOutputs(SimulatorState& state, IterationHost* context) {
    return context && context->WantsFinalDeviceOutputs(state);
}

void ng_Poll(SimulatorState& state, IterationHost* context) {
    if (context) context->PollRunKeys(state, 6);
}

bool ng_StopKey(SimulatorState& state) {
    if (state.LastRunKey != 27 && !state.StopRequested) return false;
    state.StopRequested = 1;
    return true;
}

int ng_SettleDigital(SimulatorState& state, IterationHost* context) {
    if (!state.DigitalOnly && !state.DigitalSettlePending) return kOk;
    return context ? context->SettleDigital(state) : kResultNotBuilt;
}

}  // namespace

void InstallDeviceKindLoads(int row, DeviceKindLoads* loads) {
    if (row >= 1 && row <= kDeviceLoadRowCount) gRowLoads[row] = loads;
}

int ReserveAllDeviceEntries(SimulatorState& state) {
    if (state.MatrixSize == 0) return kOk;
    ng_ResetLoad(state, true);
    for (int row = 1; row <= kDeviceLoadRowCount; ++row) {
        int result = kOk;
        if (ng_IsBuiltIn(row)) {
            if ((result = ng_ReserveBuiltIn(state, row))) return result;
            continue;
        }
        DeviceKindLoads* loads = ng_Loads(state, row, result);
        if (result) return result;
        if (loads && (result = loads->Reserve(state))) return result;
    }
    return kOk;
}

int LoadAllDevices(SimulatorState& state, IterationHost* context) {
    (void)context;
    if (state.MatrixSize == 0) return kOk;
    ClearPowerTotals(state.Power);
    // Random values that change at fixed intervals are due at the first load
    // of a time point or of an operating point.
    if (state.MatrixBuilt && (state.IterationMode == kModeInitPredictor || state.IterationMode == kModeInitTransient ||
                              (state.OperatingPointActive == 1 && state.IterationCount == 0)))
        RefreshIntervalRandomValues();
    ng_SetLoadFlags(state);
    if (!state.MatrixBuilt) {
        if (!state.Matrix()) return kResultNotBuilt;
        if (int result = ReserveAllDeviceEntries(state)) return result;
    }
    ng_ResetLoad(state, !state.MatrixBuilt);
    // Only the load's own floating-point faults count: a status left raised
    // by whatever ran before it on this thread is stale (every producer checks
    // its own) and would otherwise be blamed on the circuit.
    std::feclearexcept(FE_ALL_EXCEPT);
    for (int row = 1; row <= kDeviceLoadRowCount; ++row) {
        int result = kOk;
        if (ng_IsBuiltIn(row)) {
            if ((result = ng_LoadBuiltIn(state, row))) return result;
            continue;
        }
        DeviceKindLoads* loads = ng_Loads(state, row, result);
        if (result) return result;
        if (loads && ng_RowLoadsNow(state, row) && (result = loads->Load(state))) return result;
        if (row == kRowBipolars && state.LoadAborted) return kResultShown;
    }
    return CheckMathError();
}

int LoadWithDeviceOutputs(SimulatorState& state, IterationHost* context) {
    const bool wanted = ng_WantsOutputs(state, context) && (ng_AtRunEnd(state) || state.StopRequested);
    ng_DeviceOutputs outputs(state, wanted);
    return LoadAllDevices(state, context);
}

int FactorAndSolve(SimulatorState& state, std::vector<double>& solution, double gmin) {
    SparseMatrix* matrix = state.Matrix();
    if (!matrix) return kOk;
    int result = matrix->FactorReal(state.GminSteppingActive ? gmin : 0.0);
    if (result == kOk) result = matrix->Solve(state.Rhs.data(), solution.data());
    if (!solution.empty()) solution[0] = 0.0;
    return result;
}

void SwapSolutionVectors(SimulatorState& state) {
    state.LastSolution.swap(state.OlderSolution);
    state.LastSolution = state.Solution;
    state.PreviousSolution = state.Solution;
}

namespace {

// One pass of the analog iteration (steps 3 and 4): 0 converged (or a single
// load was all that was asked), else the code that ended it.
int ng_Iterate(SimulatorState& state, IterationHost* context, int iterationLimit, double gmin) {
    bool nodesetPass = false;
    for (;;) {
        if (ng_StopKey(state)) return kResultStopped;

        int result;
        {
            const bool wanted = ng_WantsOutputs(state, context) && ng_AtRunEnd(state);
            ng_DeviceOutputs outputs(state, wanted);
            result = LoadAllDevices(state, context);
        }
        if (result) return result;

        if (state.OperatingPointActive) {
            if (context && !state.SourceSteppingActive && state.StatusTextEnabled && !state.DcSweepRunning) {
                char text[64];
                std::snprintf(text, sizeof text, "Operating point, iteration %d", state.IterationCount);
                context->ShowStatus(text);
            }
            if ((result = ng_SettleDigital(state, context))) return result;
        }

        if (state.AnalysisPhase == kPhaseDc && state.LoadAnalysis == kLoadTransient && state.UseInitialConditions)
            return kOk;

        ++state.IterationCount;

        switch (state.IterationMode) {
        case kModeFloat:
            if (state.AnalysisPhase == kPhaseDc && state.HasNodeset) {
                if (nodesetPass) state.NonConvergedCount = 1;
                nodesetPass = false;
            }
            if (state.NonConvergedCount == 0 && (state.AnalysisPhase == kPhaseTransient ||
                                                 state.LoadAnalysis == kLoadDcSweep || state.IterationCount > 2))
                return kOk;
            break;
        case kModeInitJunction:
            state.IterationMode = state.NonConvergedCount ? kModeInitFix : kModeFloat;
            nodesetPass = true;
            break;
        case kModeInitFix:
            if (state.NonConvergedCount == 0) state.IterationMode = kModeFloat;
            nodesetPass = true;
            break;
        default: state.IterationMode = kModeFloat; break;
        }

        if (state.AnalysisPhase == kPhaseMatrixBuild && !state.AcDoOperatingPoint) return kOk;

        if (state.IterationCount >= iterationLimit) {
            state.IterationLimitReached = 1;
            return state.AnalysisPhase == kPhaseDc ? int{kResultNotConverged} : int{kOk};
        }

        if ((result = FactorAndSolve(state, state.Solution, gmin))) return result;

        const bool devicesConverged = state.NonConvergedCount == 0;
        state.NonConvergedCount = 0;
        // A node that fails is kept in the records for the next load, so a
        // report after the iteration limit can name it.
        state.Failures.Clear();
        if (devicesConverged && state.IterationCount != 1) {
            const int32_t last = std::min<int32_t>(state.NodeCount, static_cast<int32_t>(state.Solution.size()) - 1);
            for (int32_t node = 1; node <= last; ++node) {
                if (VoltageDiverged(state.Options, state.NonConvergedCount, state.Solution[node],
                                    state.PreviousSolution[node])) {
                    RecordNodeFailure(state.Failures, node, state.PreviousSolution[node], state.Time);
                    break;
                }
            }
        }

        state.PreviousSolution = state.Solution;

        ng_Poll(state, context);
        if (ng_StopKey(state)) return kResultStopped;
    }
}

}  // namespace

int NewtonIterate(SimulatorState& state, IterationHost* context, int iterationLimit, double gmin) {
    // The arithmetic checks of the loads are about this solve: a fault that
    // earlier work left raised must not end it.
    ResetFloatingPointState();
    // Expressions evaluated by the loads read the iterate.
    PublishRunState(state, true);
    state.BypassAllowed =
        !(state.IterationMode == kModeInitPredictor || (!state.OperatingPointActive && state.IterationCount < 2));
    int result = kOk;
    for (;;) {
        if (state.DigitalOnly) {
            if (state.DigitalSettlePending) result = ng_SettleDigital(state, context);
            if (!result) {
                ng_Poll(state, context);
                if (ng_StopKey(state)) result = kResultStopped;
            }
        } else if (!(state.StepKind != kStepAnalog && state.StepKind != kStepDigitalDone &&
                     !state.OperatingPointActive)) {
            state.IterationCount = 0;
            state.IterationLimitReached = 0;
            state.NonConvergedCount = 0;
            state.Failures.Clear();
            ng_Poll(state, context);
            result = ng_StopKey(state) ? int{kResultStopped} : ng_Iterate(state, context, iterationLimit, gmin);
        }

        if (state.StepKind != kStepDigitalDue) break;
        if (!context) {
            result = kResultNotBuilt;  // digital events need the digital kernel
            break;
        }
        bool changed = false;
        result = context->ProcessDigitalEvents(state, changed);
        if (result || !changed) break;
        if (state.Time - state.PreviousTime < state.Formula.TimeStep)
            state.Formula.TimeStep = state.Time - state.PreviousTime;
        ComputeIntegrationCoefficients(state.Formula);
        state.StepKind = kStepDigitalDone;
    }
    if (result == kOk) result = CheckMathError();
    PublishRunState(state, false);
    return result;
}
