#include "engine/dcsweep.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cmath>

#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "core/messages.h"
#include "core/result.h"
#include "engine/setup.h"
#include "engine/sourcestep.h"
#include "engine/transient.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

const MessageRow kDcSweepMessageRows[] = {
    {kMsgSourceNotFound, "%ESource not found."},   {kMsgMissingParen, "%EMissing ')'."},
    {kMsgFormatError, "%EFormat error."},          {kMsgUnknownModelParam, "%EUnknown model parameter."},
    {kMsgFailedAt, "%EFailed to converge at %g."},
};

constexpr int kMaxRejections = 10;

std::string dc_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

template <typename Record, typename Op>
void dc_ForEach(CompiledCircuit* circuit, int list, Op op) {
    if (!circuit) return;
    for (PoolItem* item = circuit->devices.lists[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        op(static_cast<Record*>(item));
    }
}

// The field that sets a source part's DC level: a SPICE source without a
// waveform drives its DC value, every other source the value its time-0
// update wrote (which the sweep overwrites after that update).
double* dc_SourceLevel(CompiledCircuit* circuit, const SchematicObject* part) {
    double* level = nullptr;
    dc_ForEach<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord* s) {
        if (!level && s->part == part) level = s->functionKind == kFunctionNone ? &s->dcValue : &s->working;
    });
    dc_ForEach<PulseSourceRecord>(circuit, kListPulseSources, [&](PulseSourceRecord* s) {
        if (!level && s->part == part) level = &s->working;
    });
    dc_ForEach<SineSourceRecord>(circuit, kListSineSources, [&](SineSourceRecord* s) {
        if (!level && s->part == part) level = &s->working;
    });
    return level;
}

// Every record of the model whose name the variable names.
template <typename Op>
void dc_ForEachSweptModel(CCTDoc* document, const DcSweepVariable& variable, Op op) {
    CircuitModels* models = document ? GetCircuitModels(document) : nullptr;
    if (!models || variable.ModelType < 0 || variable.ModelType >= kModelTypeCount) return;
    for (PoolItem* item = models->ModelPools[variable.ModelType].first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* model = static_cast<ModelRecord*>(item);
        if (model->QualifiedName && model->Values && strcasecmp(model->QualifiedName, variable.ModelName.c_str()) == 0)
            op(model);
    }
}

bool dc_Close(const DcSweepVariable& v) {
    return std::max(std::fabs(v.Value), std::fabs(v.End)) != 0.0 &&
           std::fabs(v.Value - v.End) <= std::fabs(v.Step) * 0.0001;
}

double dc_Sign(double x) { return x < 0.0 ? -1.0 : 1.0; }

}  // namespace

void RegisterDcSweepMessages() {
    RegisterMessages(kDcSweepMessageRows, static_cast<int>(sizeof kDcSweepMessageRows / sizeof kDcSweepMessageRows[0]));
}

// ---- the sweep variables -----------------------------------------------------------------------

int ResolveDcSweepVariable(CCTDoc* document, const char* text, DcSweepRun& run, int index) {
    DcSweepVariable& v = run.Variables[index];
    v.Kind = kDcVariableNone;
    v.Target = nullptr;
    std::string upper = text ? text : "";
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    std::string first = upper, argument;
    bool hasArgument = false;
    if (const size_t open = upper.find('('); open != std::string::npos) {
        const size_t close = upper.find(')', open);
        if (close == std::string::npos) return kMsgMissingParen;
        argument = dc_Trim(upper.substr(open + 1, close - open - 1));
        first = upper.substr(0, open);
        hasArgument = true;
    }
    first = dc_Trim(first);
    std::string word = first, second;
    if (const size_t blank = first.find_first_of(" \t"); blank != std::string::npos) {
        word = dc_Trim(first.substr(0, blank));
        second = dc_Trim(first.substr(blank));
    }

    if (word == "PARAM") {
        // The compile substitutes the value for the parameter: no target here.
        if (second.empty() || hasArgument) return kMsgFormatError;
        v.Name = second;
        v.Kind = kDcVariableParam;
        return kOk;
    }
    if (word == "TEMP") {
        if (!second.empty() || hasArgument) return kMsgFormatError;
        v.Name = word;
        v.Kind = kDcVariableTemp;
        v.Target = &run.RunTemperature;
        return kOk;
    }
    if (!second.empty() && hasArgument) {
        const int type = FindModelTypeByName(word.c_str());
        if (type < 0) return kMsgFormatError;
        DcSweepVariable probe;
        probe.ModelType = type;
        probe.ModelName = second;
        bool found = false;
        dc_ForEachSweptModel(document, probe, [&](ModelRecord*) { found = true; });
        if (!found) return kMsgFormatError;
        const int parameter = FindModelParamIndex(type, argument.c_str());
        if (parameter < 0) return kMsgUnknownModelParam;
        v.Name = upper;
        v.ModelName = second;
        v.ModelType = type;
        v.ParamIndex = parameter;
        v.Kind = kDcVariableModel;
        return kOk;
    }
    if (!second.empty() || hasArgument || word.empty()) return kMsgFormatError;
    CompiledCircuit* circuit = document ? FindCompiledCircuit(document) : nullptr;
    const SchematicObject* part = circuit ? FindPart(word.c_str(), -1) : nullptr;
    double* level = part ? dc_SourceLevel(circuit, part) : nullptr;
    if (!level) return kMsgSourceNotFound;
    v.Name = word;
    v.Target = level;
    v.Kind = kDcVariableSource;
    return kOk;
}

void SetDefaultSweepStep(DcSweepVariable& v, int index) {
    if (v.Method == kDcMethodList) return;
    if (v.Step == 0.0) {
        if (v.Method == kDcMethodLog) {
            v.Step = std::pow(2.7182818284, 0.1 * std::log(v.End / v.Start));
        } else {
            v.Step = (v.End - v.Start) * (index == 0 ? 0.02 : 0.1);
        }
    }
    v.Increment = v.Step;
}

int CheckLogSweep(const DcSweepVariable& v) {
    if (v.Method != kDcMethodLog) return kOk;
    if (!(v.Step > 0.0) || v.Step == 1.0) return kMsgDcLogBadStep;
    if (v.Start == 0.0 || v.End == 0.0) return kMsgDcLogZeroEnd;
    if ((v.Start < 0.0) != (v.End < 0.0)) return kMsgDcLogSameSign;
    return kOk;
}

void ClampDcStep(DcSweepVariable& v) {
    if (v.Method == kDcMethodLinear) {
        const double size = std::min(std::fabs(v.Step), std::fabs(v.End - v.Start));
        v.Step = v.End <= v.Start ? -size : size;
    } else if (v.Method == kDcMethodLog && v.Start != 0.0) {
        const double ratio = v.End / v.Start;
        double factor = v.Step;
        if (factor > 1.0 && std::fabs(v.Start) > std::fabs(v.End)) factor = 1.0 / factor;
        if (factor < 1.0 && std::fabs(v.Start) < std::fabs(v.End)) factor = 1.0 / factor;
        if ((factor > 1.0 && factor > ratio) || (factor < 1.0 && factor < ratio)) factor = ratio;
        v.Step = factor;
    } else {
        return;
    }
    v.Increment = v.Step;
}

int CheckSweepRange(DcSweepVariable& v) {
    if (v.Method == kDcMethodLog && (v.Start == 0.0 || !(v.End / v.Start > 0.0))) return kMsgDcLogZeroEnd;
    v.Increment = v.Step;
    return kOk;
}

void StartSweepVariable(DcSweepVariable& v) {
    switch (v.Method) {
    case kDcMethodAuto:
        v.Increment = v.Step * 0.01;
        v.Value = v.Start - v.Increment;
        break;
    case kDcMethodLinear: v.Value = v.Start - v.Increment; break;
    case kDcMethodLog: v.Value = v.Start / v.Increment; break;
    default:
        v.Increment = v.Step;
        v.Value = v.Start;
        break;
    }
}

void AdvanceSweepVariable(DcSweepVariable& v) {
    switch (v.Method) {
    case kDcMethodLog: v.Value *= v.Increment; break;
    case kDcMethodList:
        if (v.ListIndex >= 0 && static_cast<size_t>(v.ListIndex) < v.ListValues.size())
            v.Value = v.ListValues[static_cast<size_t>(v.ListIndex)];
        break;
    default: v.Value += v.Increment; break;
    }
}

void ClampSweepToEnd(DcSweepVariable& v) {
    if (v.Method == kDcMethodList) return;
    v.Value = v.End > v.Start ? std::min(v.Value, v.End) : std::max(v.Value, v.End);
}

bool HasMoreSweepPoints(const DcSweepVariable& v) {
    if (v.Method == kDcMethodList) return v.ListIndex >= 0 && static_cast<size_t>(v.ListIndex) < v.ListValues.size();
    if (dc_Close(v)) return false;
    if (v.Method == kDcMethodLog) {
        const double ratio = v.Value / v.End;
        return (std::fabs(v.Start) < std::fabs(v.End) && std::fabs(ratio) < 1.0) ||
               (std::fabs(v.Start) >= std::fabs(v.End) && std::fabs(ratio) > 1.0);
    }
    return (v.End > v.Start && v.Value < v.End) || (v.End <= v.Start && v.Value > v.End);
}

int SetSweepRange(DcSweepVariable& v, int index, double end, double start, double step) {
    if (!std::isfinite(end) || !std::isfinite(start) || !std::isfinite(step)) return kMsgFormatError;
    v.End = end;
    v.Start = start;
    v.Step = step;
    if (v.Method == kDcMethodLog && (start == 0.0 || end == 0.0)) return kMsgDcLogZeroEnd;
    SetDefaultSweepStep(v, index);
    if (int result = CheckLogSweep(v)) return result;
    ClampDcStep(v);
    return kOk;
}

int SetSweepList(DcSweepVariable& v, std::vector<double> values) {
    if (values.empty()) return 13281;  // "%EIllegal Step value."
    v.ListValues = std::move(values);
    v.ListIndex = 0;
    v.Start = v.ListValues.front();
    v.End = v.ListValues.back();
    v.Step = v.Increment = 0.0;
    return kOk;
}

void ApplyDcSweepValues(CCTDoc* document, DcSweepRun& run) {
    for (DcSweepVariable& v : run.Variables) {
        if (v.Kind == kDcVariableModel) {
            dc_ForEachSweptModel(document, v, [&](ModelRecord* model) { model->Values[v.ParamIndex] = v.Value; });
        } else if (v.Target) {
            *v.Target = v.Value;
        }
    }
}

// ---- the run -----------------------------------------------------------------------------------

namespace {

void dc_Install(SimulatorState& state) {
    state.Installed = &state.DcPair;
    state.Cursor = EntryCursor();
    state.MatrixBuilt = 1;
}

int dc_EnsureMatrix(SimulatorState& state, DcSweepHost& host) {
    if (!state.DcPair.matrix) {
        state.MatrixBuilt = 0;
        if (int result = BuildAnalysisMatrix(state, &host, false, state.DcPair)) return result;
    }
    dc_Install(state);
    return kOk;
}

// The values of a point go where the loads read them: sources directly, the
// others through the host's set-up.
int dc_PreparePoint(SimulatorState& state, DcSweepRun& run, DcSweepHost& host) {
    if (!run.NeedsSetup) {
        for (DcSweepVariable& v : run.Variables)
            if (v.Target) *v.Target = v.Value;
        return kOk;
    }
    return host.SetupDcPoint(state, run);
}

// The accepted point becomes the history the next point's prediction reads:
// the solution vectors rotate, and the loads that keep their own history per
// accepted point see a new point by PreviousTime (Time itself stays 0 for the
// sources). The first point of a pass has nothing behind it: both history
// slots take it, so its successor is predicted flat rather than from zero.
void dc_ShiftHistory(SimulatorState& state, DcSweepRun& run) {
    SwapSolutionVectors(state);
    if (run.PassPoints == 0) state.OlderSolution = state.Solution;
    state.PreviousTime = static_cast<double>(run.AcceptedPoints);
    IntegrationFormula& f = state.Formula;
    for (int k = 6; k > 0; --k) f.PreviousSteps[k] = f.PreviousSteps[k - 1];
    f.PreviousSteps[0] = f.TimeStep = run.Variables[0].Increment != 0.0 ? run.Variables[0].Increment : 1.0;
}

bool dc_Failed(int result) { return result == kResultNotConverged || result == kResultSingular; }

// One pass of variable 1: 0, or the code that ends the run.
int dc_Pass(SimulatorState& state, DcSweepRun& run, DcSweepHost& host) {
    DcSweepVariable& v1 = run.Variables[0];
    const bool autoStep = v1.Method == kDcMethodAuto;
    const int itl2 = state.Options.itl2;
    double lastY = 0.0;
    int rejections = 0;
    int result = kOk;
    for (;;) {
        const double remembered = v1.Value;
        state.SourceScale = 1.0;
        AdvanceSweepVariable(v1);
        if (v1.Method == kDcMethodList) ++v1.ListIndex;
        if ((result = EvaluateTimeSourcesAtStart(state, false))) return result;
        ClampSweepToEnd(v1);
        if ((result = dc_PreparePoint(state, run, host))) return result;
        if ((result = dc_EnsureMatrix(state, host))) return result;
        if (state.IterationMode != kModeInitJunction) state.IterationMode = kModeInitPredictor;
        const double previousStep = state.Formula.PreviousSteps[1];
        state.StepRatio = previousStep != 0.0 ? state.Formula.TimeStep / previousStep : 1.0;
        state.StepRatioPlusOne = state.StepRatio + 1.0;
        state.Failures.Clear();
        result = NewtonIterate(state, &host, itl2, state.Options.gmin);
        if (result == kResultNotConverged) {
            state.IterationMode = kModeInitJunction;
            result = SourceStepping(state, &host, itl2);
        }
        bool skipped = false;
        bool redo = false;
        double y = 0.0;
        if (dc_Failed(result)) {
            // Both failed: a gap in the branch. The next point starts again
            // from the last good solution.
            skipped = true;
            ++run.SkippedPoints;
            state.Solution = state.LastSolution;
            state.PreviousSolution = state.LastSolution;
            state.IterationMode = kModeInitJunction;
            result = kOk;
        } else if (result) {
            return result;
        } else {
            run.TotalIterations += state.IterationCount;
            host.PollRunKeys(state, 6);
            if ((result = host.EvaluateDcPoint(state, run, y))) return result;
            if (autoStep && run.PassPoints >= 2 && state.RunStopRequest == 0) {
                double d = y - lastY;
                if (std::fabs(d) < 1e-20) d = dc_Sign(v1.Step) * 1e-20;
                double r = std::fabs(run.MaxChange / d + 1e-20);
                const bool shrink = r<0.8, grow = r> 1.2;
                r = std::clamp(r, 0.01, 2.0);
                if (shrink && rejections < kMaxRejections && std::fabs(v1.Increment) >= run.MinIncrement) {
                    redo = true;
                    ++rejections;
                    v1.Value = remembered;
                    v1.Increment *= r;
                    if (std::fabs(v1.Increment) < run.MinIncrement) v1.Increment = dc_Sign(v1.Step) * run.MinIncrement;
                    RestoreLastAcceptedPoint(state);
                } else if (grow && run.PassPoints > 2) {
                    v1.Increment *= r;
                    if (std::fabs(v1.Increment) > std::fabs(v1.Step))
                        v1.Increment = dc_Sign(v1.Increment) * std::fabs(v1.Step);
                }
            }
        }
        if (!skipped && !redo && state.RunStopRequest == 0) {
            rejections = 0;
            ++run.AcceptedPoints;
            dc_ShiftHistory(state, run);
            if ((result = host.AcceptDcPoint(state, run))) return result;
            lastY = y;
            ++run.PassPoints;
        }
        if (state.LastRunKey == 27 || state.StopRequested) return kOk;
        if (state.RunStopRequest) return kOk;
        if (!redo && !HasMoreSweepPoints(v1)) return kOk;
    }
}

}  // namespace

int RunDcSweep(SimulatorState& state, DcSweepRun& run, DcSweepHost& host) {
    DcSweepVariable& v1 = run.Variables[0];
    DcSweepVariable& v2 = run.Variables[1];
    if (v2.Kind == kDcVariableNone) {
        v2.Method = kDcMethodAuto;
        v2.Start = v2.End = 0.0;
        v2.Target = nullptr;
        v2.Increment = v2.Step = 1.0;
    }
    auto needsSetup = [](const DcSweepVariable& v) {
        return v.Kind == kDcVariableParam || v.Kind == kDcVariableTemp || v.Kind == kDcVariableModel;
    };
    run.TemperatureSwept = v1.Kind == kDcVariableTemp || v2.Kind == kDcVariableTemp;
    run.NeedsSetup = needsSetup(v1) || needsSetup(v2);
    run.AcceptedPoints = run.TotalIterations = run.SkippedPoints = run.Branches = 0;

    state.Time = 0.0;
    state.PreviousTime = 0.0;
    state.Formula.IntegrationOrder = 1;
    state.AnalysisPhase = kPhaseDc;
    state.LoadAnalysis = kLoadDcSweep;
    state.UseInitialConditions = 0;
    state.Formula.TimeStep = 1.0;
    state.DcSweepRunning = 1;
    state.StopRequested = 0;
    state.LastRunKey = 0;
    state.Tmax = 1.0;
    int result = EvaluateTimeSourcesAtStart(state, true);
    if (!result) {
        // Charges carry no current in a DC sweep.
        ComputeIntegrationCoefficients(state.Formula);
        state.Formula.Ag0 = state.Formula.Ag1 = 0.0;
        if (CheckSweepRange(v1) || (v2.Kind != kDcVariableNone && CheckSweepRange(v2))) result = kMsgDcLogZeroEnd;
    }
    if (!result) result = dc_EnsureMatrix(state, host);

    // Variable 2: one pass per value; without it one pass at 0.
    if (!result) {
        StartSweepVariable(v2);
        v2.ListIndex = 0;
    }
    bool stop = false;
    while (!result && !stop) {
        AdvanceSweepVariable(v2);
        if (v2.Method == kDcMethodList) ++v2.ListIndex;
        ClampSweepToEnd(v2);
        if (v2.Kind == kDcVariableNone) v2.Value = 0.0;
        if ((result = EvaluateTimeSourcesAtStart(state, false))) break;
        if ((v1.Method == kDcMethodAuto || v1.Method == kDcMethodLinear) && v1.Start > v1.End)
            v1.Step = -std::fabs(v1.Step);
        v1.Increment = v1.Step;
        v1.ListIndex = 0;
        StartSweepVariable(v1);
        if (v1.Method == kDcMethodList) v1.Value = v1.Start;
        ++run.Branches;
        if ((result = host.StartBranch(state, run))) break;
        run.MinIncrement = std::fabs(v1.Increment) * 1e-9;
        run.MaxChange = std::fabs(host.FirstCurveSpan(state, run)) * run.MaxChangeFraction;
        run.PassPoints = 0;
        state.OperatingPointActive = 1;
        state.DigitalSettlePending = state.DigitalOnly;
        state.RunStopRequest = 0;
        state.IterationMode = kModeInitJunction;
        state.Formula.TimeStep = v1.Increment != 0.0 ? v1.Increment : 1.0;
        for (double& step : state.Formula.PreviousSteps) step = state.Formula.TimeStep;
        // Every branch starts from nothing, as the first did.
        for (std::vector<double>* vector :
             {&state.Solution, &state.LastSolution, &state.OlderSolution, &state.PreviousSolution})
            std::fill(vector->begin(), vector->end(), 0.0);
        ClearStateVectors(state.States());

        result = dc_Pass(state, run, host);
        if (state.LastRunKey == 27) {
            stop = true;
            if (!result) result = kResultStopped;
        }
        state.LastRunKey = 0;
        if (result) break;
        if (host.EndBranch(state, run)) {
            result = kResultShown;
            break;
        }
        if (state.RunStopRequest || state.StopRequested) break;
        if (!HasMoreSweepPoints(v2) || v2.Kind == kDcVariableNone) break;
    }
    state.DcSweepRunning = 0;
    state.PreviousTime = 0.0;
    if (result == kResultNotConverged) {
        host.ReportRunError(kMsgFailedAt, v1.Value);
        result = kResultShown;
    }
    return result;
}
