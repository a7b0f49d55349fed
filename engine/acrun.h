// The AC analysis: the bias point (solved with the operating-point machinery
// of the transient analysis, or kept when nothing that affects it changed),
// one complex matrix built per bias point, and the frequency sweep that loads,
// factors and solves it at every frequency and hands each solution to the
// run's host.
//
// Everything a run changes lives in its SimulatorState and AcRun; what belongs
// to the layers above the engine (set-up at temperature, Monte Carlo values,
// curves, plot and output) is reached through the AcHost passed to the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/acload.h"
#include "engine/noise.h"
#include "engine/transient.h"

// The Frequency Step option.
enum AcStepKindCode : int32_t {
    kAcStepAuto = 0,
    kAcStepLinear = 1,
    kAcStepLog = 2,
    kAcStepList = 3,
};

// Message ids of the run.
enum AcMessage : int {
    kMsgAcLogZeroLimit = 13577,      // "%EThe high limit and low limit must be non-zero when using log stepping."
    kMsgAcBadRange = 13578,          // "%EThe high limit must be < 1e30. The low limit must > 0. The high ..."
    kMsgAcEmptyList = 13579,         // "%EThe frequency list is empty."
    kMsgAcDroppedCases = 13580,      // "%d of %d Monte Carlo cases were left out: their bias point did not converge."
    kMsgAcBiasNotConverged = 14191,  // "%EFailed to converge during dc operating point."
};

// What the analysis control hands a run: the evaluated limits and settings.
struct AcLimits {
    int32_t stepKind = kAcStepLog;
    // The numbers of the Frequency Range: the first is the high limit, the
    // second the low one; `rangeCount` says how many were given (other than
    // two runs a single frequency).
    double high = 1e8;
    double low = 1e6;
    int32_t rangeCount = 2;
    std::vector<double> list;  // the frequencies of a List sweep, in any order
    int32_t points = 51;       // Number of Points (over the whole range)
    double maxChangePercent = 5.0;
    int32_t optionFlags = 0x78;  // 0x40: iterate the bias point
    int32_t stateVariables = kStatesZero;
    // The runs: every temperature, and per temperature `runsPerTemperature`
    // stepping or Monte Carlo cases.
    std::vector<double> temperatures = {27.0};
    int32_t runsPerTemperature = 1;
    bool monteCarlo = false;
    bool steppingActive = false;
    // Frequencies near which a Log sweep takes fine steps (0: none).
    double focus1 = 0.0, focus2 = 0.0;
    // Noise mode: the transposed system excited at the output pair.
    bool noise = false;
    int32_t noiseInput1 = 0, noiseInput2 = 0;
    int32_t noiseOutput1 = 0, noiseOutput2 = 0;
};

// The quantities of one AC analysis and of its present run.
struct AcRun {
    // The sweep.
    double Frequency = 0.0;
    double Omega = 0.0;
    double Fmin = 0.0, Fmax = 0.0;
    int32_t StepKind = kAcStepLog;
    int32_t PointCount = 0;
    double GridStep = 0.0;
    double AutoStep = 0.0, AutoStepStart = 0.0;
    double MaxChange = 0.0, LowChange = 0.0;
    double EndTolerance = 0.0;
    double Range = 0.0;
    double PreviousFrequency = 0.0, EarlierFrequency = 0.0;
    double Focus1 = 0.0, Focus2 = 0.0;
    std::vector<double> List;
    size_t ListIndex = 0;
    // The Auto step control.
    double CurveY = 0.0, PreviousCurveY = 0.0, PreviousCurveX = 0.0, Slope = 0.0, PreviousSlope = 0.0;
    int32_t AcceptedCount = -2, RejectCount = 0;
    bool PointRejected = false, HavePreviousPoint = false;

    // The bias point and what it was solved for.
    double LastBiasTemperature = -1e30;
    bool OperatingPointValid = false;
    bool BiasInPlace = false;
    bool OperatingPointSolved = false;
    int32_t LastRunCount = -1;
    bool LastSteppingActive = false;
    int32_t LastNoiseActive = -1;
    int32_t LastNoiseInput1 = -1, LastNoiseInput2 = -1;
    TransientRun Bias;  // the operating point's run quantities

    // The runs.
    double Temperature = 27.0;  // of the present run, degrees Celsius
    int32_t RunNumber = 0;
    int32_t CompletedRuns = 0;
    int32_t DroppedCases = 0;  // Monte Carlo cases left out for a bias point that failed
    int32_t AcceptedPoints = 0;
    int32_t TotalIterations = 0;
    int32_t Solves = 0;  // complex solves of the run (an AC value expression makes a point solve again)
    bool PivotRetrySpent = false;
    bool StopRequested = false;

    // The complex vectors (unknown k at 2k and 2k + 1), and the noise mode's
    // saved ordinary excitation.
    std::vector<double> Rhs;
    std::vector<double> Solution;
    std::vector<double> LastSolution;
    std::vector<double> Excitation;
    double NoiseInputScale = 0.0;
    // Noise mode: the Noise Input source's rows with a unit excitation, the
    // noise sources of the present frequency, and the gain INOISE divides by
    // as the pair (sum of unit excitation times adjoint solution over those
    // rows, 1), whatever AC magnitude the source has.
    std::vector<std::pair<int32_t, ComplexNumber>> NoiseInputRows;
    NoiseSourceList Noise;
    ComplexNumber NoiseGainPair[2] = {{0.0, 0.0}, {1.0, 0.0}};

    // Forgets the bias point, so the next run solves it again.
    void ResetRun();
};

// What an AC run needs of the layers above the engine. Passed per run.
class AcHost : public IterationHost {
public:
    // Before each run: the models and instances at `temperature` and the
    // stepping or Monte Carlo values of case `runNumber` (from 1). 0 or an
    // error that ends the analysis.
    virtual int PrepareRun(SimulatorState& state, AcRun& run, double temperature, int32_t runNumber) = 0;
    // The point at run.Frequency is solved (state.AcSolution holds it, by
    // unknown): evaluate, store and plot it. 0 or an error that ends the run.
    virtual int AcceptAcPoint(SimulatorState& state, AcRun& run) = 0;
    // The newest point of the Auto step-control curve in device coordinates,
    // the height of its plot area and whether the point lies outside it; false
    // when there is no such curve.
    virtual bool StepControlPoint(const AcRun& run, double& x, double& y, double& plotHeight, bool& outside) = 0;
    // True when an expression reads device currents or powers: the result
    // pass then runs after each solution.
    virtual bool WantsDeviceResults(const SimulatorState& state) = 0;
    // Shows a run error with its value (13577, 13578, 13579, 13580, 14191 ...).
    virtual void ReportRunError(int messageId, double value) = 0;
};

// Reads the frequency range and sets the sweep up: 0 or the id of the
// message to show (13577, 13578, 13579: an empty list).
int SetUpAcSweep(AcRun& run, const AcLimits& limits);
// Places the sweep one step before its first frequency (run.AutoStep holds
// the first step of an Auto sweep).
void BeginAcSweep(AcRun& run);
// The next frequency of the sweep (run.Frequency, run.Omega).
void NextAcFrequency(AcRun& run);
bool HasMoreAcFrequencies(const AcRun& run);

// The bias point at `temperature`: 0, or the error of the operating point
// (14190 when it did not converge).
int SolveAcOperatingPoint(SimulatorState& state, AcRun& run, const AcLimits& limits, AcHost& host, double temperature);

// Runs the AC analysis: 0, 15055 when the failure was already shown, 15056
// when the user stopped, or another message id. The option PIVREL that a
// singular matrix raised is restored at the end.
int RunAc(SimulatorState& state, AcRun& run, const AcLimits& limits, AcHost& host);

// Registers the AC analysis's message texts.
void RegisterAcMessages();
