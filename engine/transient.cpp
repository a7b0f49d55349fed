#include "engine/transient.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "compiler/stmtstate.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/result.h"
#include "engine/lossyline.h"
#include "engine/setup.h"
#include "engine/sourcestep.h"
#include "engine/sparse.h"
#include "engine/statefile.h"
#include "expr/runstate.h"
#include "shell/preferences.h"

namespace {

constexpr int kRunMessage = kRunMessageLog | kRunMessageStatus;
constexpr int kMsgIllegalTimeRange = 13545;
constexpr int kMsgManyPulsePeriods = 13544;
constexpr int kMsgManyTimeSteps = 13546;
constexpr int kResultStepTooSmall = 13542;
constexpr double kTimeStepsWarning = 1e7;

const MessageRow kTransientMessageRows[] = {
    {kMsgIllegalTimeRange, "%EIllegal time range."},
    {kMsgManyPulsePeriods,
     "%WThis run will require %g periods of at least one Pulse source!\nPlease check the time range.\nDo you wish "
     "to continue?"},
    {kMsgManyTimeSteps,
     "%WThe time range and maximum time step specified will require more than 10,000,000 time steps.\nDo you wish "
     "to continue?"},
};

TimeSourceServices* gTimeSources = nullptr;
TransientDeviceEvents* gDeviceEvents = nullptr;
DelayLineServices* gDelayLines = nullptr;

int tr_Count(const SimulatorState& state, int list) {
    return state.Circuit ? state.Circuit->devices.lists[list].pool.count : 0;
}

template <typename Record, typename Op>
void tr_ForEach(SimulatorState& state, int list, Op op) {
    if (!state.Circuit) return;
    for (PoolItem* item = state.Circuit->devices.lists[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        op(static_cast<Record*>(item));
    }
}

bool tr_HasTimeSources(SimulatorState& state) {
    if (tr_Count(state, kListPulseSources) || tr_Count(state, kListSineSources) || tr_Count(state, kListUserSources))
        return true;
    bool found = false;
    tr_ForEach<SourceRecord>(state, kListSpiceSources, [&](SourceRecord* s) {
        if (s->functionKind != kFunctionNone) found = true;
    });
    return found;
}

int tr_EvaluateTimeSources(SimulatorState& state, const TransientRun& run) {
    if (gTimeSources) return gTimeSources->EvaluateTimeSources(state, run.Tmin);
    return tr_HasTimeSources(state) ? kResultNotBuilt : int{kOk};
}

int tr_PrepareListSources(SimulatorState& state, const TransientRun& run) {
    if (gTimeSources) return gTimeSources->PrepareListSources(state, run.Tmin);
    return tr_HasTimeSources(state) ? kResultNotBuilt : int{kOk};
}

double tr_SourceStepLimit(const SimulatorState& state) {
    return gTimeSources ? gTimeSources->SourceStepLimit(state) : 1e300;
}

bool tr_Failed(int result) { return result == kResultNotConverged || result == kResultSingular; }

bool tr_ContinuesStates(const TransientRun& run) {
    return run.StateVariablesMode == kStatesRead ||
           ((run.StateVariablesMode == kStatesLeave || run.StateVariablesMode == kStatesRetrace) && run.RunCount > 0);
}

void tr_SetAllSteps(IntegrationFormula& formula, double step) {
    for (double& previous : formula.PreviousSteps) previous = step;
}

void tr_Install(SimulatorState& state, MatrixPair& pair) {
    state.Installed = &pair;
    state.Cursor = EntryCursor();
}

// The delay lines' histories run only in the time loop of a circuit that has such lines.
bool tr_HasDelayLines(const SimulatorState& state) { return tr_Count(state, kListIdealLines) > 0; }

// Time points are kept only while lossy lines read them back.
bool tr_KeepsTimePoints(const SimulatorState& state) { return tr_Count(state, kListLossyLines) > 0; }

}  // namespace

void InstallTimeSources(TimeSourceServices* services) { gTimeSources = services; }
void InstallTransientDeviceEvents(TransientDeviceEvents* events) { gDeviceEvents = events; }
void InstallDelayLines(DelayLineServices* services) { gDelayLines = services; }

int EvaluateTimeSourcesAtStart(SimulatorState& state, bool prepare) {
    if (!gTimeSources) return tr_HasTimeSources(state) ? kResultNotBuilt : int{kOk};
    if (prepare) {
        if (int result = gTimeSources->PrepareListSources(state, 0.0)) return result;
    }
    return gTimeSources->EvaluateTimeSources(state, 0.0);
}

void RegisterTransientMessages() {
    RegisterMessages(kTransientMessageRows,
                     static_cast<int>(sizeof kTransientMessageRows / sizeof kTransientMessageRows[0]));
}

// ---- time-point history -----------------------------------------------------------------------

int StartTimePointHistory(TransientRun& run, double pointSpacing, double maxTimeStep) {
    double s = std::max(pointSpacing, maxTimeStep);
    if (!(s > 0.0)) s = 1.0;
    run.TimePointSpacing = s;
    run.TimePointIncrement = 10;
    run.TimePointIndex = -1;
    // Sized from the span actually run: a late start time would otherwise
    // reserve room for the part of the axis before it.
    const int32_t capacity = std::clamp(ClampedStepCount(run.TimeRange / s + 0.5), 0, (1 << 22) - 1) + 1;
    try {
        std::vector<double>().swap(run.TimePointHistory);
        run.TimePointHistory.reserve(static_cast<size_t>(capacity));
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    return kOk;
}

int NoteTimePoint(TransientRun& run, double time) {
    ++run.TimePointIndex;
    try {
        if (run.TimePointHistory.size() == run.TimePointHistory.capacity()) {
            const int32_t more =
                std::max(ClampedStepCount((run.Tmax - time) / run.TimePointSpacing + 0.5), run.TimePointIncrement);
            run.TimePointHistory.reserve(run.TimePointHistory.size() + static_cast<size_t>(std::max(more, 1)));
            run.TimePointIncrement = ClampedStepCount(run.TimePointIncrement * 1.4);
        }
        run.TimePointHistory.push_back(time);
    } catch (const std::bad_alloc&) {
        --run.TimePointIndex;
        return kResultNoMemory;
    }
    return kOk;
}

// ---- run state --------------------------------------------------------------------------------

int InitializeDeviceStates(SimulatorState& state, TransientRun& run) {
    if (run.StateVariablesMode != kStatesLeave && run.StateVariablesMode != kStatesRetrace) {
        for (std::vector<double>* vector :
             {&state.Solution, &state.LastSolution, &state.OlderSolution, &state.PreviousSolution})
            std::fill(vector->begin(), vector->end(), 0.0);
        ClearStateVectors(state.States());
        state.Formula.TimeStep = state.MaxTimeStep / 2;
        tr_SetAllSteps(state.Formula, state.Formula.TimeStep);
    }
    return kOk;
}

int InitializeRunState(SimulatorState& state, TransientRun& run) {
    if (int result = InitializeDeviceStates(state, run)) return result;
    if (run.StateVariablesMode == kStatesRead) {
        if (run.StateVariablesFile.empty()) return kResultNoFileName;
        if (int result = SaveStateVariables(state, &run, false, run.StateVariablesFile)) return result;
    }
    if (run.RunCount == 0) ApplyInitialConditions(state);
    return kOk;
}

void ApplyInitialConditions(SimulatorState& state) {
    const size_t size = state.Solution.size();
    auto at = [&](int32_t index) { return index > 0 && static_cast<size_t>(index) < size; };
    if (state.InitialConditionTable) {
        for (const InitialConditionEntry& entry : *state.InitialConditionTable) {
            if (entry.kind == 'V' && entry.source != kFromNodeSet && at(entry.node1)) {
                for (std::vector<double>* vector :
                     {&state.OlderSolution, &state.LastSolution, &state.PreviousSolution, &state.Solution})
                    (*vector)[static_cast<size_t>(entry.node1)] = entry.value;
            } else if (entry.kind == 'I' && entry.inductor && !entry.inductor->icGiven) {
                entry.inductor->ic = entry.value;
                entry.inductor->icGiven = 1;
            }
        }
    }
    auto voltage = [&](int32_t node) { return at(node) ? state.Solution[static_cast<size_t>(node)] : 0.0; };
    tr_ForEach<CapacitorRecord>(state, kListCapacitors, [&](CapacitorRecord* c) {
        if (!c->icGiven) c->ic = voltage(c->node1) - voltage(c->node2);
    });
    tr_ForEach<InductorRecord>(state, kListInductors, [&](InductorRecord* l) {
        if (!at(l->branch)) return;
        if (l->icGiven) {
            state.Solution[static_cast<size_t>(l->branch)] = l->ic;
        } else {
            l->ic = state.Solution[static_cast<size_t>(l->branch)];
        }
    });
}

void RestoreLastAcceptedPoint(SimulatorState& state) {
    state.Solution = state.LastSolution;
    state.PreviousSolution = state.LastSolution;
}

void RelaxOptions(SimulatorState& state, TransientRun& run) {
    GlobalSettingValues& options = state.Options;
    if (run.OptionsRelaxed) options.itl4 = 50;
    if (run.RetryPhase == 1) {
        options.itl1 = 500;
        run.RelaxLevel = 1;
    } else if (run.RetryPhase == 2) {
        options.pivrel = 1.0;
        options.itl1 = 250;
        options.gmin = 1e-9;
        run.RelaxLevel = 2;
    }
}

// ---- breakpoints of a run -----------------------------------------------------------------------

namespace {

// Stores a default for a parameter the statement did not give.
void tr_Default(SourceRecord* s, int index, double value) {
    if (index > s->lastParameter) s->values[index] = value;
}

int tr_PulseBreakpoints(SimulatorState& state, TransientRun& run, TransientHost& host, SourceRecord* s, bool& asked) {
    double* v = s->values;
    tr_Default(s, 2, run.PointSpacing);
    tr_Default(s, 3, run.PointSpacing);
    tr_Default(s, 4, run.PointSpacing);
    tr_Default(s, 5, run.Tmax);
    tr_Default(s, 6, run.Tmax);
    v[6] = std::max(v[6], v[3] + v[4] + v[5]);
    const double period = v[6];
    if (!asked && period > 0.0 && run.TimeRange / period > 1e6) {
        asked = true;
        if (!host.Confirm(kMsgManyPulsePeriods, run.TimeRange / period)) return kResultStopped;
    }
    const double corners[7] = {v[0], v[1], v[2], v[2] + v[3], v[2] + v[3] + v[5], v[2] + v[3] + v[5] + v[4], period};
    // Corners of periods shorter than the merge window cannot be told apart:
    // such a pulse marks its first period only (later periods would merely
    // crawl along in sub-tick increments, for ever when the period vanishes
    // against the start time).
    const bool repeats = period >= kMergeTicks * state.Tick;
    double start = 0.0;
    uint32_t lastTick = 0;
    do {
        host.PollRunKeys(state, 6);
        if (state.LastRunKey == 27) return kResultStopped;
        if (int result = AddPulseCorners(run.Breakpoints, state.Tick, corners, start, 0, 0, lastTick)) return result;
    } while (lastTick <= kEndTick && repeats);
    return kOk;
}

}  // namespace

int SetupTransientBreakpoints(SimulatorState& state, TransientRun& run, TransientHost& host) {
    BreakpointList& list = run.Breakpoints;
    const double tick = state.Tick;
    list.BeginFill();
    int result = kOk;
    if (run.StateVariablesMode == kStatesRetrace && run.RunCount > 0) {
        // Events beyond the previous run's end are carried into this run.
        BreakpointList::Events old;
        old.swap(list.All());
        list.Clear();
        list.BeginFill();
        for (const BreakpointEvent& e : old) {
            const double t = e.time * run.PreviousRunTick + run.Tmin - run.PreviousRunTmax;
            if (t > run.PreviousRunTmax && std::fabs(t - run.PreviousRunTmax) / run.PreviousRunTmax > 1e-14) {
                if ((result = list.Add(TicksDown(t, tick), e.levelA, e.levelB, e.kind, e.node, e.pin, e.newState)))
                    break;
            }
        }
    } else if (run.StateVariablesMode == kStatesLeave) {
        // The records move to the new time origin; those already passed go.
        const uint32_t shift = TicksDown(run.PreviousRunTmax, tick);
        BreakpointList::Events& events = list.All();
        events.remove_if([shift](const BreakpointEvent& e) { return e.time < shift; });
        for (BreakpointEvent& e : events) e.time -= shift;
    } else {
        list.Clear();
        list.BeginFill();
    }
    run.PreviousRunTmax = run.Tmax;
    run.PreviousRunTick = tick;
    if (!result) result = list.Add(list.StartTick, 0, 0, kBreakAnalog);
    if (!result) result = list.Add(kEndTick, 0, 0, kBreakAnalog);
    if (!result && tr_HasTimeSources(state)) result = tr_PrepareListSources(state, run);
    bool asked = false;
    if (!result) {
        tr_ForEach<SourceRecord>(state, kListSpiceSources, [&](SourceRecord* s) {
            if (result) return;
            double* v = s->values;
            switch (s->functionKind) {
            case kFunctionPulse: result = tr_PulseBreakpoints(state, run, host, s, asked); break;
            case kFunctionSin:
                tr_Default(s, 2, 1.0 / run.Tmax);
                result = list.Add(TicksDown(v[3], tick), 0, 0, kBreakAnalog);
                break;
            case kFunctionExp:
                tr_Default(s, 2, 0.0);
                tr_Default(s, 3, run.PointSpacing);
                tr_Default(s, 4, v[2] + run.PointSpacing);
                tr_Default(s, 5, run.PointSpacing);
                result = list.Add(TicksDown(v[2], tick), 0, 0, kBreakAnalog);
                if (!result) result = list.Add(TicksDown(v[4], tick), 0, 0, kBreakAnalog);
                break;
            case kFunctionPwl:
            case kFunctionNoise: result = AddListBreakpoints(list, tick, *s); break;
            case kFunctionSffm:
                tr_Default(s, 2, 1.0 / run.Tmax);
                tr_Default(s, 3, 1.0 / run.Tmax);
                break;
            case kFunctionGaussian: tr_Default(s, 3, run.Tmax); break;
            default: break;
            }
        });
    }
    if (!result && gDeviceEvents) result = gDeviceEvents->AddBreakpoints(state, run);
    list.EndFill();
    return result;
}

// ---- one phase of a run ------------------------------------------------------------------------

namespace {

// Gmin stepping: a conductance to ground on every diagonal, lowered a decade
// group at a time from GMIN x 1e10 down to GMIN; 5 steps, then 10.
int tr_GminStepping(SimulatorState& state, TransientRun& run, TransientHost& host) {
    int result = InitializeRunState(state, run);
    if (result) return result;
    state.IterationMode = kModeInitJunction;
    state.GminSteppingActive = 1;
    run.GminSolves = 0;
    const double gmin = state.Options.gmin;
    const int itl1 = state.Options.itl1;
    int32_t iterations = 0;
    for (int steps = 5;; steps *= 2) {
        if (steps > 10) {
            WriteRunMessage(kRunMessage, "Phase %d: Gmin stepping failed.\n", run.RetryPhase);
            break;
        }
        WriteRunMessage(kRunMessage, "Phase %d: Trying %i steps in Gmin.\n", run.RetryPhase, steps);
        const double factor = std::pow(10.0, 10.0 / steps);
        if ((result = InitializeRunState(state, run))) {
            WriteRunMessage(kRunMessage, "Phase %d: Gmin stepping failed.\n", run.RetryPhase);
            break;
        }
        bool converged = true;
        for (int k = 0; k <= steps; ++k) {
            // The last solve is made with GMIN itself, not a rounded product.
            const double g = k == steps ? gmin : gmin * std::pow(factor, steps - k);
            state.NonConvergedCount = 1;
            result = NewtonIterate(state, &host, itl1, g);
            ++run.GminSolves;
            iterations += state.IterationCount;
            WriteRunMessage(kRunMessage,
                            result ? "Phase %d: Gmin=%3.6g failed. %g\n" : "Phase %d: Gmin=%3.6g converged. %g\n",
                            run.RetryPhase, g, gmin);
            if (result) {
                converged = false;
                break;
            }
        }
        if (converged) {
            WriteRunMessage(kRunMessage, "Phase %d: Gmin stepping succeeded.\n", run.RetryPhase);
            break;
        }
        if (!tr_Failed(result)) break;
    }
    state.TotalIterations += iterations;
    state.GminSteppingActive = 0;
    return result;
}

int tr_OperatingPoint(SimulatorState& state, TransientRun& run, TransientHost& host) {
    state.Time = run.Tmin;
    state.CurrentTick = TicksUp(run.Tmin, state.Tick);
    state.Formula.Ag0 = state.Formula.Ag1 = 0.0;
    if (int result = tr_EvaluateTimeSources(state, run)) return result;
    state.IterationMode = (tr_ContinuesStates(run) || run.RetryFromPresentState) ? kModeFloat : kModeInitJunction;
    if (state.Circuit && state.Circuit->loadOperatingPoint) {
        // .LOADOP: the iteration starts from the stored state.
        state.IterationMode = kModeFloat;
        if (run.StateVariablesFile.empty()) return kResultNoFileName;
        if (int result = SaveStateVariables(state, &run, false, run.StateVariablesFile)) return result;
    }
    int result = NewtonIterate(state, &host, state.Options.itl1, state.Options.gmin);
    state.TotalIterations = state.IterationCount;
    if (tr_Failed(result)) {
        int init = InitializeRunState(state, run);
        if (init == kOk) {
            WriteRunMessage(kRunMessage, "Phase %d: Trying power supply stepping.\n", run.RetryPhase);
            state.IterationMode = kModeInitJunction;
            result = SourceStepping(state, &host, state.Options.itl1);
            WriteRunMessage(
                kRunMessage,
                result ? "Phase %d: Power supply stepping failed.\n" : "Phase %d: Power supply stepping succeeded\n",
                run.RetryPhase);
        }
    }
    if (tr_Failed(result) && Prefs().gminStepping) {
        WriteRunMessage(kRunMessage, "Phase %d: Trying Gmin stepping.\n", run.RetryPhase);
        result = tr_GminStepping(state, run, host);
    }
    if (tr_Failed(result) && Prefs().convergenceAssist) {
        ++run.RetryPhase;
        if (run.RetryPhase == 1) {
            run.RetryFromPresentState = 1;
            return result;
        }
        if (run.RetryPhase == 2) {
            RelaxOptions(state, run);
            return result;
        }
    }
    if (result) return result;
    if (state.OperatingPointActive) {
        // One more load keeps the operating-point and small-signal values.
        state.IterationMode = kModeInitSmallSignal;
        if ((result = LoadWithDeviceOutputs(state, &host))) return result;
    }
    if (run.OperatingPointOnly) {
        // Twice, so that the single point draws as a line.
        for (int i = 0; i < 2 && !result; ++i) result = host.AcceptTimePoint(state, run);
    }
    return result;
}

// The step the charges allow. An estimate that is not a number (a charge
// that overflowed) would be taken for an acceptance and then carry the time
// itself off to NaN: it asks for a much shorter step instead.
double tr_TruncationStep(SimulatorState& state) {
    const auto count = [&](int list) { return state.Circuit ? state.Circuit->devices.lists[list].pool.count : 0; };
    const double step =
        TruncationTimeStep(state.Formula, state.Options, state.States(), state.SimpleStateSlots / kStateSlotsPerBlock,
                           state.MaxTimeStep, true, count(kListBipolars), count(kListMosfets));
    double limited = std::isfinite(step) ? step : 0.125 * state.Formula.TimeStep;
    // The lossy lines' delays, safe steps and convolution error bound it as well.
    if (count(kListLossyLines) > 0) LimitLossyLineStep(state, limited);
    return limited;
}

// A device's growth limit is a factor above 1 of the present step; the value
// of 1 the loads start from imposes none (it would freeze the step forever).
double tr_GrowthLimit(double estimate, double limit, double step) {
    return limit > 1.0 ? std::min(estimate, limit * step) : estimate;
}

// The step was cut (or stretched by up to 1 %) to end exactly on the head
// record. A stretched step ends beyond PreviousTime + base and would
// otherwise count as having left the breakpoint behind unreached.
bool tr_EndsOnHead(const SimulatorState& state, const BreakpointList& list) {
    if (!list.Reached || list.Empty() || list.Head()->time != state.CurrentTick) return false;
    return std::fabs(state.Time + state.Formula.TimeStep - list.Head()->time * state.Tick) <= state.Tick;
}

// An analog breakpoint the time already passed can never be landed on: the
// cut towards it would point backwards, and the step after it would shrink
// to nothing, accepting the same time again and again.
void tr_DropPassedBreakpoints(const SimulatorState& state, BreakpointList& list) {
    const uint32_t now = TicksDown(state.Time, state.Tick);
    while (!list.Empty() && list.Head()->kind == kBreakAnalog && list.Head()->time < now &&
           list.Head()->time < kEndTick)
        list.RemoveFirst();
}

int tr_TimeLoop(SimulatorState& state, TransientRun& run, TransientHost& host) {
    IntegrationFormula& f = state.Formula;
    BreakpointList& list = run.Breakpoints;
    const bool analog = state.MatrixSize > 0;
    const bool keepTimes = tr_KeepsTimePoints(state);
    const double itlFirst = state.Options.itl1;

    // Start point.
    state.IterationMode = kModeInitSmallSignal;
    if (int result = LoadAllDevices(state, &host)) return result;
    const bool delayLines = tr_HasDelayLines(state);
    if (delayLines) {
        if (!gDelayLines) return kResultNotBuilt;
        if (int result = gDelayLines->StartDelayLines(state, run.Tmin, state.MaxTimeStep)) return result;
    }
    if (tr_ContinuesStates(run)) {
        state.IterationMode = kModeInitPredictor;
        f.IntegrationOrder = 2;
    } else {
        f.TimeStep = state.MaxTimeStep;
        state.IterationMode = kModeInitTransient;
        f.IntegrationOrder = 1;
        tr_SetAllSteps(f, f.TimeStep);
    }
    list.Reached = true;
    run.AcceptedPoints = 0;
    double proposed = f.TimeStep;
    list.SavedStep = state.MaxTimeStep;
    state.PreviousTime = run.Tmin;
    run.RejectedPoints = 0;
    state.TotalIterations = 0;
    state.Time = run.Tmin;
    if (tr_HasTimeSources(state)) {
        if (int result = tr_PrepareListSources(state, run)) return result;
    }

    double base = f.TimeStep;
    bool retry = false;
    bool nextOnly = false;  // after a rejection the loop goes straight to the next try
    for (;;) {
        if (!nextOnly) {
            const bool analogPoint = state.StepKind == kStepAnalog || state.StepKind == kStepDigitalDone;
            if (keepTimes && analogPoint) {
                if (int result = NoteTimePoint(run, state.Time)) return result;
                if (int result = AcceptLossyLines(state, run)) return result;
            }
            const bool last = !(!list.Empty() && state.CurrentTick < kEndTick - 1);
            if (gDeviceEvents && analogPoint) gDeviceEvents->PointAccepted(state, run);
            if (!(run.AcceptedPoints <= 0 && state.UseInitialConditions) && (analogPoint || last)) {
                if (int result = host.AcceptTimePoint(state, run)) return result;
            }
            if (delayLines && analogPoint) {
                if (int result = gDelayLines->AcceptDelayLines(state)) return result;
            }
            proposed = std::min(proposed, state.MaxTimeStep);
            if (analogPoint && analog) {
                SwapSolutionVectors(state);
                ShiftStateHistory(state.States());
                for (int i = 5; i >= 0; --i) f.PreviousSteps[i + 1] = f.PreviousSteps[i];
                f.PreviousSteps[0] = proposed;
                state.PreviousTime = state.Time;
                base = proposed;
            }
            f.TimeStep = proposed;
            if (last) return kOk;
            if (list.Reached) {
                if (analogPoint) f.IntegrationOrder = 1;
                const uint32_t passed = list.Head()->time;
                while (!list.Empty() && list.Head()->time == passed) list.RemoveFirst();
                tr_DropPassedBreakpoints(state, list);
                if (list.Empty() || state.CurrentTick >= kEndTick - 1) return kOk;
                if (!(run.AcceptedPoints == 0 && run.StateVariablesMode == kStatesRead)) {
                    if (analogPoint && list.Head()->kind == kBreakAnalog) {
                        // The step after a corner starts small so that the
                        // waveform's change is resolved.
                        const double gap = list.Head()->time * state.Tick - state.Time;
                        const double d = std::min(0.1 * std::min(list.SavedStep, gap), state.MaxTimeStep);
                        if (f.TimeStep > d) f.TimeStep = d <= run.MinTimeStep ? run.MinTimeStep : d;
                    }
                    if (run.AcceptedPoints == 0) f.TimeStep *= 0.1;
                    f.TimeStep = std::min(f.TimeStep, state.MaxTimeStep);
                    f.PreviousSteps[0] = base = f.TimeStep;
                }
            }
            ClipStepToBreakpoint(state, list, run.MinTimeStep);
            if (state.StepKind == kStepDigitalDone) state.StepKind = kStepAnalog;
        }
        nextOnly = false;

        // Next point.
        if (f.PreviousSteps[1] == 0.0) f.PreviousSteps[1] = f.TimeStep;
        state.StepRatio = f.TimeStep / f.PreviousSteps[1];
        state.StepRatioPlusOne = state.StepRatio + 1.0;
        f.TimeStep = std::min(f.TimeStep, state.MaxTimeStep);
        auto headKind = [&]() -> int32_t {
            return list.Reached && !list.Empty() ? list.Head()->kind : int32_t{kStepAnalog};
        };
        if (state.Time + f.TimeStep <= state.PreviousTime + base || tr_EndsOnHead(state, list)) {
            state.StepKind = headKind();
        } else {
            list.Reached = false;
            state.StepKind = kStepAnalog;
        }
        if (!retry && state.StepKind == kStepAnalog) {
            f.TimeStep = base;
            state.Time = state.PreviousTime;
            ClipStepToBreakpoint(state, list, run.MinTimeStep);
            state.StepKind = state.Time + f.TimeStep <= state.PreviousTime + base || tr_EndsOnHead(state, list)
                                 ? headKind()
                                 : int32_t{kStepAnalog};
            f.PreviousSteps[0] = f.TimeStep;
        }
        // Whatever limited the step last, the run never steps past its end.
        if (state.Time + f.TimeStep > run.Tmax && run.Tmax - state.Time > run.MinTimeStep) {
            const bool current = f.PreviousSteps[0] == f.TimeStep;
            f.TimeStep = run.Tmax - state.Time;
            if (current) f.PreviousSteps[0] = f.TimeStep;
            state.StepRatio = f.TimeStep / f.PreviousSteps[1];
            state.StepRatioPlusOne = state.StepRatio + 1.0;
        }
        state.Time += f.TimeStep;
        if (!list.Reached) state.CurrentTick = TicksUp(state.Time, state.Tick);
        if (int result = tr_EvaluateTimeSources(state, run)) return result;
        if (run.TimeLoopAbort) return kOk;
        if (delayLines) gDelayLines->PrepareDelayLines(state);
        int limit = state.Options.itl4;
        if (analog) {
            if (state.StepKind == kStepAnalog) ComputeIntegrationCoefficients(f);
            if (state.IterationMode != kModeInitTransient) state.IterationMode = kModeInitPredictor;
            if (run.AcceptedPoints == 0 && state.UseInitialConditions) limit = static_cast<int>(itlFirst);
        }
        if (int result = NewtonIterate(state, &host, limit, state.Options.gmin)) {
            if (result == kResultPending2) run.MatrixReorderRequest = 1;
            return result;
        }
        if (state.LastRunKey == 27) return kOk;
        proposed = f.TimeStep;

        // Acceptance.
        if (state.StepKind == kStepDigitalDue || state.StepKind == kStepExpressionBreak) {
            retry = false;
            continue;
        }
        state.TotalIterations += state.IterationCount;
        ++run.AcceptedPoints;
        if (run.AcceptedPoints == 1) FillStateHistory(state.States());
        if (run.HasConvolutionSources && run.AcceptedPoints > 1) f.IntegrationOrder = 2;
        retry = true;
        bool reject = false;
        double estimate = proposed;
        if (state.IterationLimitReached) {
            f.IntegrationOrder = 1;
            state.IterationLimitReached = 0;
            state.Time = state.PreviousTime;
            f.TimeStep *= run.HasConvolutionSources ? 0.5 : 0.125;
            reject = true;
        } else if (run.AcceptedPoints == 1) {
            retry = false;
        } else {
            estimate = tr_TruncationStep(state);
            estimate = tr_GrowthLimit(estimate, state.StepRatioLimit, f.TimeStep);
            estimate = tr_GrowthLimit(estimate, state.DigitalStepRatioLimit, f.TimeStep);
            if (estimate < 0.9 * f.TimeStep) {
                state.Time = state.PreviousTime;
                f.TimeStep = estimate;
                reject = true;
            } else {
                // A core whose magnetisation moved far in this step holds the
                // next one back, without costing the point it accepted.
                proposed = std::min(estimate, state.CoreStepFactor * f.TimeStep);
            }
        }
        if (reject) {
            // A rejected point is no accepted point.
            --run.AcceptedPoints;
            f.PreviousSteps[0] = f.TimeStep;
            ++run.RejectedPoints;
            list.Reached = false;
            RestoreLastAcceptedPoint(state);
            if (gDeviceEvents) gDeviceEvents->PointRejected(state);
            ClipStepToBreakpoint(state, list, run.MinTimeStep);
            base = f.TimeStep;
            if (f.TimeStep >= run.MinTimeStep) {
                nextOnly = true;
                continue;
            }
            state.Time = state.PreviousTime = state.Time + f.TimeStep;
            if (Prefs().convergenceAssist && !run.OptionsRelaxed) {
                run.OptionsRelaxed = 1;
                RelaxOptions(state, run);
                return kResultStepTooSmall;
            }
            host.ReportRunError(kResultStepTooSmall, state.Time);
            WriteRunMessage(kRunMessage, "Transient analysis failed with a time step too small error at T=%g\n",
                            state.Time);
            run.KeepFailureRecords = 1;
            run.TimeLoopAbort = 1;
            return kResultShown;
        }
        // Order check: the second order stays only where it allows a longer step.
        if (f.IntegrationOrder == 1 && run.AcceptedPoints > 1) {
            f.IntegrationOrder = 2;
            const double second = tr_TruncationStep(state);
            if (second <= 1.05 * f.TimeStep) f.IntegrationOrder = 1;
            proposed = second;
        }
    }
}

}  // namespace

int SolveTransient(SimulatorState& state, TransientRun& run, TransientHost& host) {
    run.KeepFailureRecords = 0;
    state.Formula.IntegrationOrder = 1;
    state.StepRatio = state.StepRatioPlusOne = 1.0;
    state.StepKind = kStepAnalog;
    state.DigitalSettlePending = state.OperatingPointActive && state.DigitalOnly;
    run.AcceptedPoints = run.RejectedPoints = 0;
    state.TotalIterations = 0;
    state.SourceScale = 1.0;
    int result = kOk;
    if (tr_KeepsTimePoints(state)) result = StartTimePointHistory(run, run.PointSpacing, state.MaxTimeStep);
    if (!result) {
        if (state.AnalysisPhase == kPhaseTransient) {
            result = tr_TimeLoop(state, run, host);
            if (gDelayLines && tr_HasDelayLines(state)) gDelayLines->ReleaseDelayLines(state);
            if (tr_KeepsTimePoints(state)) ReleaseLossyLineHistory(*state.Circuit);
        } else {
            result = tr_OperatingPoint(state, run, host);
        }
    }
    if (tr_Failed(result)) run.KeepFailureRecords = 1;
    if (!run.KeepFailureRecords) state.Failures.Clear();
    return result;
}

// ---- the run driver ------------------------------------------------------------------------------

namespace {

// The convolution grid of the Laplace and other convolution sources: a power
// of two between 128 and 262144 points over twice the time range.
int32_t tr_ConvolutionPoints(double reltol, double timeRange, double maxTimeStep) {
    const int32_t least = ClampedStepCount(std::pow(2.0, std::log10(1.0 / reltol) + 6.0) + 0.01);
    const int32_t steps = std::min(ClampedStepCount(timeRange / maxTimeStep), 262144);
    const int32_t wanted = std::max(least, steps);
    int32_t points = 128;
    while (points < wanted && points < 262144) points *= 2;
    return points;
}

struct tr_SavedOptions {
    int32_t itl1;
    double gmin;
    double pivrel;
};

void tr_RestoreOptions(SimulatorState& state, const tr_SavedOptions& saved) {
    state.Options.itl1 = saved.itl1;
    state.Options.gmin = saved.gmin;
    state.Options.pivrel = saved.pivrel;
}

int tr_Finish(SimulatorState& state, TransientHost& host, int result) {
    if (result == kResultNotConverged) {
        host.ReportRunError(kResultNotConverged, state.Time);
        return kResultShown;
    }
    return result;
}

}  // namespace

int RunTransient(SimulatorState& state, TransientRun& run, const TransientLimits& limits, TransientHost& host) {
    const tr_SavedOptions saved{state.Options.itl1, state.Options.gmin, state.Options.pivrel};
    std::vector<double>().swap(run.TimePointHistory);
    run.TimePointIndex = -1;
    std::fill(state.Rhs.begin(), state.Rhs.end(), 0.0);
    run.OptionsRelaxed = 0;

    // Which states the run starts from and whether it solves an operating point.
    run.StateVariablesMode = limits.stateVariables;
    run.StateVariablesFile = limits.stateVariablesFile;
    if (tr_KeepsTimePoints(state) &&
        (run.StateVariablesMode == kStatesLeave || run.StateVariablesMode == kStatesRetrace))
        run.StateVariablesMode = kStatesZero;
    run.OperatingPointRequested = run.OperatingPointOnly = 0;
    if (!(run.StateVariablesMode == kStatesRetrace && run.RunCount > 0)) {
        if (limits.optionFlags & kTransientOperatingPoint) run.OperatingPointRequested = 1;
        if (limits.optionFlags & kTransientOperatingPointOnly) run.OperatingPointRequested = run.OperatingPointOnly = 1;
    }
    run.HasConvolutionSources = tr_Count(state, kListLaplaceSources) + tr_Count(state, kListLaplaceTableSources) > 0;

    double tmax = limits.tmax;
    double tmin = limits.tmin;
    if (run.StateVariablesMode == kStatesRetrace) {
        const double range = tmax - tmin;
        if (run.RunCount > 0) {
            tmin = run.Tmax;
            tmax = run.Tmax + range;
        }
    } else if (run.StateVariablesMode != kStatesLeave) {
        run.RunCount = 0;
    }
    // Tested for numbers first: an ordered comparison with NaN raises the
    // invalid-operation flag, which the next load would report as its own fault.
    if (!std::isfinite(tmax) || !std::isfinite(tmin) || !(tmax > 0.0 && tmin >= 0.0 && tmin < tmax)) {
        host.ReportRunError(kMsgIllegalTimeRange, 0.0);
        return kResultShown;
    }
    run.Tmax = tmax;
    run.Tmin = tmin;
    state.Tmax = tmax;
    state.Tick = tmax * 1e-9;
    gSolver.DigitalTick = state.Tick;
    run.Breakpoints.StartTick = TicksDown(tmin, state.Tick);

    run.TimeRange = tmax - tmin;
    run.PointCount = std::max(limits.points, 2);
    // A step that is not a positive number counts as not given.
    auto given = [](double step) { return std::isfinite(step) && step > 0.0; };
    double maxStep = given(limits.maxTimeStep) ? limits.maxTimeStep : 0.0;
    if (given(limits.optionMaxTimeStep) && (maxStep == 0.0 || limits.optionMaxTimeStep < maxStep))
        maxStep = limits.optionMaxTimeStep;
    if (maxStep == 0.0) maxStep = 0.02 * run.TimeRange;
    state.MaxTimeStep = maxStep;
    state.Formula.TimeStep = maxStep / 2;
    if (tmax / maxStep >= kTimeStepsWarning && !run.OperatingPointOnly && Prefs().timeRangeWarning) {
        if (!host.Confirm(kMsgManyTimeSteps, tmax / maxStep)) return kResultStopped;
    }
    run.ConvolutionPoints = tr_ConvolutionPoints(state.Options.reltol, run.TimeRange, maxStep);
    state.ConvolutionStep = 2.0 * tmax / run.ConvolutionPoints;
    if (run.HasConvolutionSources) state.MaxTimeStep = std::min(state.MaxTimeStep, state.ConvolutionStep);
    run.PointSpacing = run.TimeRange / (run.PointCount - 1);

    if (gDeviceEvents) {
        if (int result = gDeviceEvents->RunStarting(state, run)) return tr_Finish(state, host, result);
    }
    if (int result = InitializeDeviceStates(state, run)) return tr_Finish(state, host, result);
    run.RetryPhase = 0;
    run.RelaxLevel = 0;
    run.RetryFromPresentState = 0;
    bool dcReleased = false;

    int result = kOk;
    for (bool restart = true; restart;) {
        restart = false;
        // Run start, also where a failed run begins again.
        state.OperatingPointActive = run.OperatingPointRequested;
        if (state.StateCount == 0 && !tr_KeepsTimePoints(state))
            state.MaxTimeStep = std::min(state.MaxTimeStep, run.PointSpacing);
        state.MaxTimeStep = std::min(state.MaxTimeStep, tr_SourceStepLimit(state));
        run.MinTimeStep = 1e-18 * state.MaxTimeStep;
        state.Time = run.Tmin;
        if ((result = SetupTransientBreakpoints(state, run, host))) break;
        run.TimeLoopAbort = 0;
        state.RunStopRequest = 0;
        state.Formula.TimeStep = std::min(state.Formula.TimeStep, state.MaxTimeStep);
        tr_SetAllSteps(state.Formula, state.MaxTimeStep);
        state.IterationLimitReached = 0;
        state.Formula.IntegrationOrder = 1;
        state.AnalysisPhase = kPhaseDc;
        state.LoadAnalysis = kLoadTransient;
        state.UseInitialConditions = !state.OperatingPointActive;
        if ((result = InitializeRunState(state, run))) break;
        host.PollRunKeys(state, 6);
        state.MatrixBuilt = 0;
        if (!state.DcPair.matrix) {
            WriteRunMessage(kRunMessageLog, "Preparing the DC analysis matrix.\n");
            if ((result = BuildAnalysisMatrix(state, &host, false, state.DcPair))) break;
        }
        tr_Install(state, state.DcPair);
        state.MatrixBuilt = 1;
        state.OperatingPointActive = run.OperatingPointRequested;

        WriteRunMessage(kRunMessage, "Phase %d: Operating point\n", run.RetryPhase);
        result = SolveTransient(state, run, host);
        if (result == kResultStepTooSmall) {
            host.RunRestarting(state, run);
            restart = true;
            continue;
        }
        if (tr_Failed(result)) {
            // A matrix ordered for the failed point is ordered anew once.
            if (!dcReleased) {
                FreeMatrixPair(state, state.DcPair);
                dcReleased = true;
            }
            if (Prefs().convergenceAssist && run.RetryPhase >= 1 && run.RetryPhase <= 2) {
                run.RetryFromPresentState = run.RetryPhase <= 1;
                host.RunRestarting(state, run);
                restart = true;
                continue;
            }
            if ((result = InitializeRunState(state, run))) break;
            WriteRunMessage(kRunMessage,
                            "Phase %d: Operating point failed. Trying transient analysis with zero initial "
                            "conditions.\n",
                            run.RetryPhase);
            result = kOk;
        } else if (result) {
            tr_RestoreOptions(state, saved);
            run.RelaxLevel = 0;
            break;
        }
        if (run.OperatingPointOnly) {
            WriteRunMessage(kRunMessage, "Transient analysis completed.\n");
            break;
        }

        // The time loop.
        state.OperatingPointActive = 0;
        state.AnalysisPhase = kPhaseTransient;
        state.MatrixBuilt = 0;
        if (!state.TransientPair.matrix) {
            WriteRunMessage(kRunMessageLog, "Preparing the transient analysis matrix.\n");
            if ((result = BuildAnalysisMatrix(state, &host, false, state.TransientPair))) break;
        }
        tr_Install(state, state.TransientPair);
        state.MatrixBuilt = 1;
        host.ShowStatus("Running Transient Analysis.");
        run.MatrixReorderRequest = 0;
        WriteRunMessage(kRunMessage, "Starting transient analysis.\n");
        bool reordered = false;
        for (;;) {
            result = SolveTransient(state, run, host);
            if (result == kOk) {
                WriteRunMessage(kRunMessage, "Transient analysis completed.\n");
            } else if (result == kResultStepTooSmall) {
                WriteRunMessage(kRunMessage, "Transient analysis failed at T=%g. Restarting at T=0.\n", state.Time);
                host.RunRestarting(state, run);
                restart = true;
            } else if (!reordered && run.MatrixReorderRequest && state.TransientPair.matrix) {
                reordered = true;
                state.TransientPair.matrix->NeedsOrdering = 1;
                WriteRunMessage(kRunMessage,
                                "Transient analysis failed at T=%g. Reordering AC matrix and restarting at T=0.\n",
                                state.Time);
                host.RunRestarting(state, run);
                continue;
            } else if (result == kResultSingular) {
                host.ReportRunError(kResultSingular, state.Time);
                result = kResultShown;
            }
            break;
        }
    }
    if (result == kOk || result == kResultStopped) ++run.RunCount;
    return tr_Finish(state, host, result);
}
