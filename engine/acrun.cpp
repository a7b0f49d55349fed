#include "engine/acrun.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "core/messages.h"
#include "core/result.h"
#include "engine/setup.h"
#include "engine/sparse.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "shell/preferences.h"

namespace {

constexpr double kArTwoPi = 6.283185307179586;
constexpr double kArBuildOmega = 1000.0;  // rad/s of the load that builds the matrix

const MessageRow kAcMessageRows[] = {
    {kMsgAcLogZeroLimit, "%EThe high limit and low limit must be non-zero when using log stepping."},
    {kMsgAcBadRange, "%EThe high limit must be < 1e30. The low limit must > 0. The high must be greater than the low."},
    {kMsgAcEmptyList, "%EThe frequency list is empty."},
    {kMsgAcDroppedCases, "%g Monte Carlo cases were left out: their bias point did not converge."},
    {kMsgAcBiasNotConverged, "%EFailed to converge during dc operating point."},
};

// The operating point of the bias runs on the transient driver, whose host
// is this run's host; no time point is ever accepted by it.
class ar_BiasHost final : public TransientHost {
public:
    explicit ar_BiasHost(AcHost& host) : host_(host) {}
    void PollRunKeys(SimulatorState& state, int every) override { host_.PollRunKeys(state, every); }
    void ShowStatus(const char* text) override { host_.ShowStatus(text); }
    bool WantsFinalDeviceOutputs(const SimulatorState& state) override { return host_.WantsFinalDeviceOutputs(state); }
    int SettleDigital(SimulatorState& state) override { return host_.SettleDigital(state); }
    int ProcessDigitalEvents(SimulatorState& state, bool& changed) override {
        return host_.ProcessDigitalEvents(state, changed);
    }
    int AcceptTimePoint(SimulatorState&, TransientRun&) override { return kOk; }
    void ReportRunError(int messageId, double time) override { host_.ReportRunError(messageId, time); }
    bool Confirm(int, double) override { return false; }

private:
    AcHost& host_;
};

int ar_Count(const SimulatorState& state, int list) {
    return state.Circuit ? state.Circuit->devices.lists[list].pool.count : 0;
}

bool ar_Failed(int result) { return result == kResultNotConverged || result == kResultSingular; }

// The option values the convergence fall-backs and a singular complex matrix
// may change during a run; the run gives them back at its end.
struct ar_SavedOptions {
    int32_t itl1;
    double gmin;
    double pivrel;
};

void ar_Publish(SimulatorState& state, const AcRun& run) {
    RunVars.frequency = run.Frequency;
    gSolver.ComplexPointValues = state.AcSolution.data();
    gSolver.complexCount = static_cast<int32_t>(state.AcSolution.size());
}

void ar_Withdraw(const SimulatorState& state, const AcRun& run) {
    if (gSolver.ComplexPointValues == state.AcSolution.data()) {
        gSolver.ComplexPointValues = nullptr;
        gSolver.complexCount = 0;
    }
    if (gSolver.NoiseSources.inputPairs == run.NoiseGainPair) gSolver.NoiseSources = NoiseSourceTable{};
}

// The noise sources of the solved point and what INOISE divides by: the
// adjoint solution weighed with a unit excitation of the Noise Input source
// gives the transfer from that source to the output. (Dividing by the
// source's own AC magnitude instead would make a source without one an
// infinite gain's divisor.)
void ar_PublishNoise(const SimulatorState& state, AcRun& run) {
    ComplexNumber transfer{0.0, 0.0};
    for (const auto& [row, value] : run.NoiseInputRows) {
        if (row <= 0 || static_cast<size_t>(row) >= state.AcSolution.size()) continue;
        ComplexNumber product = value;
        product.Multiply(state.AcSolution[static_cast<size_t>(row)]);
        transfer.Add(product);
    }
    run.NoiseGainPair[0] = transfer;
    run.NoiseGainPair[1] = ComplexNumber{1.0, 0.0};
    NoiseSourceTable& table = gSolver.NoiseSources;
    table.sources = run.Noise.sources.data();
    table.count = static_cast<int32_t>(run.Noise.Count());
    table.solution = state.AcSolution.data();
    table.nodeCount = static_cast<int32_t>(state.AcSolution.size());
    table.inputPairs = run.NoiseGainPair;
    table.inputPairCount = 1;
    table.inputAmplitude = 1.0;
}

// The interleaved solution into the state's complex vector (what expressions read).
void ar_CopySolution(SimulatorState& state, const std::vector<double>& solution) {
    const size_t count = std::min(state.AcSolution.size(), solution.size() / 2);
    for (size_t k = 0; k < count; ++k) state.AcSolution[k] = ComplexNumber{solution[2 * k], solution[2 * k + 1]};
}

int ar_SizeVectors(SimulatorState& state, AcRun& run) {
    const size_t doubles = 2 * (static_cast<size_t>(state.MatrixSize) + 1);
    try {
        for (std::vector<double>* vector : {&run.Rhs, &run.Solution, &run.LastSolution}) vector->assign(doubles, 0.0);
        if (state.AcSolution.size() < static_cast<size_t>(state.MatrixSize) + 1)
            state.AcSolution.resize(static_cast<size_t>(state.MatrixSize) + 1);
        std::fill(state.AcSolution.begin(), state.AcSolution.end(), ComplexNumber{0.0, 0.0});
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    return kOk;
}

AcStamps ar_Stamps(SimulatorState& state, AcRun& run, const AcLimits& limits) {
    AcStamps stamps(state, run.Rhs, run.Solution);
    stamps.noiseActive = limits.noise;
    stamps.noiseInputNode1 = limits.noiseInput1;
    stamps.noiseInputNode2 = limits.noiseInput2 == limits.noiseInput1 ? 0 : limits.noiseInput2;
    return stamps;
}

int ar_Load(AcStamps& stamps, AcRun& run, const AcLimits& limits) {
    const int32_t out2 = limits.noiseOutput2 == limits.noiseOutput1 ? 0 : limits.noiseOutput2;
    const int result = LoadAcDevices(stamps, limits.noiseOutput1, out2, &run.Excitation);
    run.NoiseInputScale = stamps.noiseInputScale;
    run.NoiseInputRows = stamps.noiseInputRows;
    return result;
}

// The complex matrix of the present bias point: created in the second slot,
// its entries made by one load at 1000 rad/s, then pre-ordered.
int ar_BuildMatrix(SimulatorState& state, AcRun& run, const AcLimits& limits) {
    FreeMatrixPair(state, state.TransientPair);
    MatrixPair& pair = state.TransientPair;
    if (int result = SparseMatrix::Create(pair.matrix, state.Options.pivrel, state.Options.pivtol, state.MatrixSize))
        return result;
    pair.entries.Clear();
    pair.entries.matrix = pair.matrix.get();
    state.Installed = &pair;
    state.Cursor = EntryCursor();
    AcStamps stamps = ar_Stamps(state, run, limits);
    stamps.reservePass = true;
    stamps.omega = kArBuildOmega;
    stamps.frequency = kArBuildOmega / kArTwoPi;
    if (int result = ar_Load(stamps, run, limits)) return result;
    return pair.matrix->PreorderTwins();
}

// Releases both matrices and forgets the bias point.
void ar_Abort(SimulatorState& state, AcRun& run) {
    FreeAnalysisMatrices(state);
    run.OperatingPointValid = run.BiasInPlace = false;
    run.LastNoiseInput1 = run.LastNoiseInput2 = -2;
    state.LastRunKey = 27;
    run.StopRequested = true;
}

// The Auto step control: after a point, whether it is accepted, and the next
// step. Returns true when the point is rejected.
bool ar_StepControl(AcRun& run, AcHost& host, bool& outside) {
    run.PointRejected = false;
    outside = false;
    double x = 0.0, y = 0.0, height = 0.0;
    const bool curve = run.StepKind == kAcStepAuto && host.StepControlPoint(run, x, y, height, outside);
    if (!curve) {
        x = 0.0;
        return false;
    }
    if (!run.HavePreviousPoint) {
        run.CurveY = y;
        run.PreviousCurveX = x;
        return false;
    }
    run.CurveY = y;
    const double dy = run.CurveY - run.PreviousCurveY;
    const double a = height > 0.0 ? std::fabs(dy) / height : 0.0;
    double dx = x - run.PreviousCurveX;
    if (dx == 0.0) dx = 1.0;
    run.Slope = std::fabs(std::atan(dy / dx) * 58.0);
    if (run.Slope < 0.01) run.Slope = 0.0;
    const double b = std::fabs(run.Slope - run.PreviousSlope) / 90.0;
    const double m = run.MaxChange;
    run.PreviousCurveX = x;
    if (a < 0.4 * m || b < 0.4 * m || run.AcceptedCount < 0) {
        run.AutoStep *= 2.0;
        run.RejectCount = 0;
        return false;
    }
    if (a > m && b > m) {
        if (++run.RejectCount > 20) {
            run.RejectCount = 0;
            return false;
        }
        if (run.AutoStep / (run.Frequency + 1e-6) <= 1e-10) return false;
        run.Frequency = run.PreviousFrequency;
        run.AutoStep *= 0.5;
        run.PointRejected = true;
        return true;
    }
    run.RejectCount = 0;
    return false;
}

// Solves the present frequency: load, factor, solve, and while a device's AC
// value depends on the solution, again until two solutions agree. 0, 14190
// when they never agree, or the load's or the factorization's error (after
// which the caller aborts the run: `loadOrSolve`).
int ar_SolvePoint(SimulatorState& state, AcRun& run, const AcLimits& limits, AcHost& host, bool& loadOrSolve) {
    loadOrSolve = false;
    const int32_t unknowns = state.MatrixSize;
    const int itl4 = std::max<int32_t>(state.Options.itl4, 1);
    for (int iteration = 1;; ++iteration) {
        AcStamps stamps = ar_Stamps(state, run, limits);
        stamps.omega = run.Omega;
        stamps.frequency = run.Frequency;
        int result = ar_Load(stamps, run, limits);
        SparseMatrix* matrix = state.Matrix();
        if (result == kOk && !matrix) result = kResultNotBuilt;
        if (result == kOk) result = matrix->FactorComplex();
        if (result == kResultSingular && !run.PivotRetrySpent) {
            run.PivotRetrySpent = true;
            state.Options.pivrel = 1.0;
            result = ar_BuildMatrix(state, run, limits);
            if (result == kOk) result = ar_Load(stamps, run, limits);
            matrix = state.Matrix();
            if (result == kOk) result = matrix->FactorComplex();
        }
        if (result == kOk) result = matrix->Solve(run.Rhs.data(), run.Solution.data());
        if (result != kOk) {
            loadOrSolve = true;
            return result;
        }
        ++run.Solves;
        run.Solution[0] = run.Solution[1] = 0.0;
        // A response that decays below the smallest double (a long ladder at
        // a high frequency) underflows harmlessly; the status it leaves must
        // not be blamed on later work. A value that is not a number comes
        // from a matrix that is singular in all but its rounding.
        for (double x : run.Solution)
            if (!std::isfinite(x)) {
                ResetFloatingPointState();
                loadOrSolve = true;
                return kResultSingular;
            }
        ResetFloatingPointState();
        ar_CopySolution(state, run.Solution);
        if (host.WantsDeviceResults(state)) {
            if ((result = ComputeAcDeviceResults(stamps))) return result;
            CircuitPowerTotals.dissipated = {state.Power.PowerDissipated, state.Power.PowerDissipatedAlt};
            CircuitPowerTotals.stored = {state.Power.PowerStored, state.Power.PowerStoredAlt};
            CircuitPowerTotals.generated = {state.Power.PowerGenerated, state.Power.PowerGeneratedAlt};
        }
        if (!stamps.iterationRequested) return kOk;
        // The unknown that moved is reported by its number, not by the index
        // of its real or imaginary part.
        state.NonConvergedCount = 0;
        state.Failures.Clear();
        for (int32_t k = 1; k <= unknowns; ++k) {
            const size_t i = 2 * static_cast<size_t>(k);
            if (VoltageDiverged(state.Options, state.NonConvergedCount, run.Solution[i], run.LastSolution[i]) ||
                VoltageDiverged(state.Options, state.NonConvergedCount, run.Solution[i + 1], run.LastSolution[i + 1])) {
                RecordNodeFailure(state.Failures, k, std::hypot(run.Solution[i], run.Solution[i + 1]), run.Frequency);
                break;
            }
        }
        if (state.NonConvergedCount == 0) return kOk;
        run.LastSolution = run.Solution;
        if (iteration >= itl4) return kResultNotConverged;
    }
}

// One sweep over the frequencies on the present bias point.
int ar_Sweep(SimulatorState& state, AcRun& run, const AcLimits& limits, AcHost& host) {
    state.RunStopRequest = 0;
    BeginAcSweep(run);
    run.HavePreviousPoint = false;
    host.ShowStatus("Running AC Analysis.");
    for (;;) {
        NextAcFrequency(run);
        ClearPowerTotals(state.Power);
        if (state.RunStopRequest) break;
        ar_Publish(state, run);
        bool loadOrSolve = false;
        int result = ar_SolvePoint(state, run, limits, host, loadOrSolve);
        if (result) {
            if (loadOrSolve) ar_Abort(state, run);
            return result;
        }
        if (limits.noise) {
            if ((result = BuildNoiseSources(state, run.Noise, true, run.Frequency, run.Temperature))) return result;
            ar_PublishNoise(state, run);
        }
        ++run.TotalIterations;
        bool outside = false;
        if (!ar_StepControl(run, host, outside)) {
            ++run.AcceptedPoints;
            if ((result = host.AcceptAcPoint(state, run))) return result;
            if (outside) run.AcceptedCount = -2;
            run.PreviousCurveY = run.CurveY;
            run.PreviousSlope = run.Slope;
            run.EarlierFrequency = run.PreviousFrequency;
            run.PreviousFrequency = run.Frequency;
            ++run.AcceptedCount;
            run.HavePreviousPoint = true;
        }
        host.PollRunKeys(state, 6);
        if (state.LastRunKey == 27 || state.StopRequested) {
            run.StopRequested = true;
            return kResultStopped;
        }
        if (!run.PointRejected) ++run.ListIndex;
        if (!HasMoreAcFrequencies(run)) break;
    }
    return kOk;
}

}  // namespace

void AcRun::ResetRun() {
    LastBiasTemperature = -1e30;
    LastNoiseInput1 = LastNoiseInput2 = -1;
    LastNoiseActive = -1;
    LastRunCount = -1;
    LastSteppingActive = false;
    BiasInPlace = false;
    OperatingPointValid = false;
}

void RegisterAcMessages() {
    RegisterMessages(kAcMessageRows, static_cast<int>(sizeof kAcMessageRows / sizeof kAcMessageRows[0]));
}

// ---- the sweep ------------------------------------------------------------------------------------

int SetUpAcSweep(AcRun& run, const AcLimits& limits) {
    run.ListIndex = 0;
    run.StepKind = limits.stepKind;
    run.Focus1 = limits.focus1;
    run.Focus2 = limits.focus2;
    if (run.StepKind == kAcStepList) {
        // An empty list has no frequency to start from: refused here rather
        // than left to a sweep that could never advance.
        if (limits.list.empty()) return kMsgAcEmptyList;
        for (double f : limits.list)
            if (!std::isfinite(f) || f < 0.0) return kMsgAcBadRange;
        run.List = limits.list;
        std::sort(run.List.begin(), run.List.end());
        run.Fmin = run.List.front();
        run.Fmax = run.List.back();
        run.PointCount = static_cast<int32_t>(run.List.size());
    } else {
        if (run.StepKind != kAcStepAuto && run.StepKind != kAcStepLinear && run.StepKind != kAcStepLog)
            return kMsgAcBadRange;
        run.Fmax = limits.high;
        run.Fmin = limits.low;
        if (!std::isfinite(run.Fmax) || !std::isfinite(run.Fmin)) return kMsgAcBadRange;
        if (run.StepKind == kAcStepLog && limits.rangeCount == 2 && (run.Fmin == 0.0 || run.Fmax == 0.0)) {
            // A quiet run skips the message, but a log sweep from 0 can never
            // advance: it is refused all the same.
            return kMsgAcLogZeroLimit;
        }
        if (limits.rangeCount != 2) {
            run.PointCount = 1;
            run.Fmin = run.Fmax;
            run.StepKind = kAcStepAuto;
        } else {
            run.PointCount = std::max(limits.points, 5);
        }
        if (run.Fmin < 0.0 || run.Fmax >= 1e30) return kMsgAcBadRange;
    }
    run.EndTolerance = 1e-10 * run.Fmax;
    if (run.Fmax < run.Fmin) return kMsgAcBadRange;
    run.Range = run.Fmax - run.Fmin;
    run.MaxChange = limits.maxChangePercent * 0.01;
    if (!(run.MaxChange > 0.0)) run.MaxChange = 1.0;
    run.LowChange = 0.4 * run.MaxChange;
    switch (run.StepKind) {
    case kAcStepAuto:
        run.AutoStepStart = run.MaxChange * (run.Range != 0.0 ? run.Range : run.Fmax);
        if (run.Fmin > 0.0) run.AutoStepStart = std::min(run.AutoStepStart, 0.1 * run.Fmin);
        // A single point at 0 Hz has no step to take.
        if (!(run.AutoStepStart > 0.0)) run.AutoStepStart = 1.0;
        break;
    case kAcStepLinear:
        if (run.PointCount <= 1) run.PointCount = 51;
        run.GridStep = run.Range / (run.PointCount - 1);
        break;
    case kAcStepLog:
        if (run.PointCount <= 1) run.PointCount = 10;
        run.GridStep = run.Fmin != 0.0 ? std::pow(run.Fmax / run.Fmin, 1.0 / (run.PointCount - 1)) : 1.0;
        break;
    default: break;
    }
    RunVars.fmin = run.Fmin;
    RunVars.fmax = run.Fmax;
    return kOk;
}

void NextAcFrequency(AcRun& run) {
    switch (run.StepKind) {
    case kAcStepAuto: run.Frequency = run.PreviousFrequency + run.AutoStep; break;
    case kAcStepLinear: run.Frequency = run.PreviousFrequency + run.GridStep; break;
    case kAcStepLog: {
        double ratio = run.GridStep;
        for (double focus : {run.Focus1, run.Focus2}) {
            if (focus > 0.0 && run.Fmin != 0.0) {
                const double near = run.Frequency / focus;
                if (near > 0.99 && near < 1.01) ratio = std::min(ratio, std::pow(run.Fmax / run.Fmin, 0.0002));
            }
        }
        run.Frequency = run.PreviousFrequency * ratio;
        break;
    }
    default: run.Frequency = run.ListIndex < run.List.size() ? run.List[run.ListIndex] : run.Fmax; break;
    }
    if (run.StepKind != kAcStepList && run.Frequency > run.Fmax) run.Frequency = run.Fmax;
    run.Omega = run.Frequency > 0.0 ? kArTwoPi * run.Frequency : kArTwoPi * 1e-6;
}

void BeginAcSweep(AcRun& run) {
    run.ListIndex = 0;
    run.EarlierFrequency = run.PreviousFrequency;
    // One step before the low limit, so that the first step lands on it.
    switch (run.StepKind) {
    case kAcStepAuto: run.PreviousFrequency = run.Fmin - run.AutoStep; break;
    case kAcStepLinear: run.PreviousFrequency = run.Fmin - run.GridStep; break;
    case kAcStepLog:
        if (run.GridStep > 0.0) run.PreviousFrequency = run.Fmin / run.GridStep;
        break;
    default: run.PreviousFrequency = run.List.empty() ? 0.0 : run.List.front(); break;
    }
    run.HavePreviousPoint = false;
}

bool HasMoreAcFrequencies(const AcRun& run) {
    if (run.StepKind == kAcStepList) return run.ListIndex < run.List.size();
    return std::fabs(run.Frequency - run.Fmax) > run.EndTolerance;
}

// ---- the bias point -------------------------------------------------------------------------------

int SolveAcOperatingPoint(SimulatorState& state, AcRun& run, const AcLimits& limits, AcHost& host, double temperature) {
    const bool temperatureChanged = std::fabs(temperature - run.LastBiasTemperature) > 0.001;
    TransientRun& bias = run.Bias;
    bias.RetryFromPresentState = 0;
    bias.RetryPhase = 0;
    bias.Tmin = 0.0;
    bias.Tmax = 1.0;
    bias.StateVariablesMode = limits.stateVariables;
    bias.OperatingPointOnly = 0;
    ar_BiasHost biasHost(host);
    const int32_t runs = limits.runsPerTemperature;
    int result = kOk;
    for (;;) {
        const bool newBias = runs > 1 || limits.steppingActive || run.LastSteppingActive || runs != run.LastRunCount;
        run.LastRunCount = runs;
        run.LastSteppingActive = limits.steppingActive;
        const bool sameNoise =
            !limits.noise || (limits.noiseInput1 == run.LastNoiseInput1 && limits.noiseInput2 == run.LastNoiseInput2);
        if (run.OperatingPointValid && !newBias && !temperatureChanged && sameNoise &&
            run.LastNoiseActive == static_cast<int32_t>(limits.noise) && run.BiasInPlace) {
            run.OperatingPointSolved = false;
            return kOk;
        }
        run.OperatingPointSolved = true;
        state.OperatingPointHeld = 0;
        FreeAnalysisMatrices(state);
        const bool iterate =
            (limits.optionFlags & kTransientOperatingPoint) != 0 || ar_Count(state, kListLossyLines) > 0;
        state.AcDoOperatingPoint = iterate;
        run.OperatingPointValid = run.BiasInPlace = false;
        state.OperatingPointActive = iterate;
        state.AnalysisPhase = kPhaseDc;
        state.LoadAnalysis = kLoadOperatingPoint;
        state.Formula.Ag0 = state.Formula.Ag1 = 0.0;
        if ((result = BuildAnalysisMatrix(state, &host, limits.stateVariables == kStatesZero, state.DcPair))) break;
        state.MatrixBuilt = 1;
        state.MaxTimeStep = 2000.0;
        if ((result = InitializeRunState(state, bias))) break;
        state.Formula.TimeStep = 1000.0;
        state.OperatingPointActive = iterate;
        if (state.MatrixSize == 0) break;
        if (iterate) {
            result = SolveTransient(state, bias, biasHost);
        } else {
            // Without the bias point the devices are linearised where they
            // start, by one load that stores their small-signal values.
            state.IterationMode = kModeInitSmallSignal;
            result = LoadAllDevices(state, &host);
        }
        // Convergence Assist: the operating point has advanced its retry
        // phase; the first retry starts from the present state, the second
        // (with relaxed options) from zero, and then the failure stands.
        if (!ar_Failed(result) || !Prefs().convergenceAssist) break;
        if (bias.RetryPhase == 1) {
            bias.RetryFromPresentState = 1;
        } else if (bias.RetryPhase == 2) {
            bias.RetryFromPresentState = 0;
        } else {
            break;
        }
    }
    state.OperatingPointActive = 0;
    run.OperatingPointValid = result == kOk;
    run.LastBiasTemperature = temperature;
    run.LastNoiseActive = limits.noise;
    run.LastNoiseInput1 = limits.noiseInput1;
    run.LastNoiseInput2 = limits.noiseInput2;
    state.OperatingPointHeld = 1;
    return result;
}

// ---- the run --------------------------------------------------------------------------------------

int RunAc(SimulatorState& state, AcRun& run, const AcLimits& limits, AcHost& host) {
    const ar_SavedOptions saved{state.Options.itl1, state.Options.gmin, state.Options.pivrel};
    run.CompletedRuns = run.DroppedCases = run.AcceptedPoints = run.TotalIterations = run.Solves = 0;
    run.PivotRetrySpent = false;
    run.StopRequested = false;
    state.Time = 0.0;
    state.StopRequested = 0;
    // A floating-point status left by earlier work is not this run's fault.
    ResetFloatingPointState();
    state.LastRunKey = 0;

    if (int message = SetUpAcSweep(run, limits)) {
        host.ReportRunError(message, 0.0);
        return kResultShown;
    }

    const std::vector<double> fallback{27.0};
    const std::vector<double>& temperatures = limits.temperatures.empty() ? fallback : limits.temperatures;
    const int32_t runs = std::max<int32_t>(limits.runsPerTemperature, 1);
    int32_t cases = 0;
    int result = kOk;
    for (size_t t = 0; t < temperatures.size() && result == kOk && !run.StopRequested; ++t) {
        for (int32_t number = 1; number <= runs && result == kOk && !run.StopRequested; ++number) {
            run.RunNumber = number;
            run.Temperature = temperatures[t];
            ++cases;
            if ((result = host.PrepareRun(state, run, temperatures[t], number))) break;
            run.AutoStep = run.AutoStepStart;
            run.AcceptedCount = -2;
            run.RejectCount = 0;
            run.PreviousFrequency = 0.0;
            run.PreviousCurveX = 0.0;
            run.Frequency = 1e-6;
            RunVars.frequency = run.Frequency;
            result = SolveAcOperatingPoint(state, run, limits, host, temperatures[t]);
            if (result == kResultNotConverged && limits.monteCarlo) {
                // The case is left out and counted; the sequence goes on with
                // the next case instead of drawing this one again and again.
                ++run.DroppedCases;
                result = kOk;
                continue;
            }
            if (result) {
                ar_Abort(state, run);
                break;
            }
            if (state.MatrixSize == 0) {
                ++run.CompletedRuns;
                continue;
            }
            if ((result = ar_SizeVectors(state, run))) break;
            if (!state.TransientPair.matrix) {
                if ((result = ar_BuildMatrix(state, run, limits))) {
                    ar_Abort(state, run);
                    break;
                }
            }
            state.Installed = &state.TransientPair;
            state.Cursor = EntryCursor();
            run.BiasInPlace = true;
            if ((result = AllocateNoiseSources(state, run.Noise, limits.noise))) {
                ar_Abort(state, run);
                break;
            }
            run.LastSolution.assign(run.LastSolution.size(), 0.0);
            result = ar_Sweep(state, run, limits, host);
            if (result == kOk || result == kResultStopped) ++run.CompletedRuns;
        }
    }
    ar_Withdraw(state, run);
    state.Options.itl1 = saved.itl1;
    state.Options.gmin = saved.gmin;
    state.Options.pivrel = saved.pivrel;
    if (run.DroppedCases > 0) {
        host.ReportRunError(kMsgAcDroppedCases, run.DroppedCases);
        // Nothing was swept: the bias point is the failure of the run.
        if (result == kOk && run.DroppedCases == cases) result = kResultNotConverged;
    }
    if (result == kResultNotConverged) {
        host.ReportRunError(kMsgAcBiasNotConverged, 0.0);
        result = kResultShown;
    }
    return result;
}
