// The transient analysis: the run driver (limits into run quantities, the
// breakpoint list, device states, the operating point with its fall-backs and
// the Convergence Assist restarts, then the time loop) and SolveTransient,
// which carries out one phase of a run: the operating point (Newton, power
// supply stepping, Gmin stepping) or the variable-step time loop.
//
// Everything a run changes lives in its SimulatorState and TransientRun; what
// belongs to layers above the engine (curves, plot, save file, questions to the
// user) is reached through the TransientHost passed to the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/breakpoints.h"
#include "engine/newton.h"

// The State Variables option of a run.
enum StateVariablesModeKind : int32_t {
    kStatesZero = 0,
    kStatesRead = 1,
    kStatesLeave = 2,
    kStatesRetrace = 3,
};

// Option-flag bits of the transient analysis.
constexpr int32_t kTransientOperatingPoint = 0x40;
constexpr int32_t kTransientOperatingPointOnly = 0x80;

// What the analysis control hands a run: the evaluated limit fields and the
// settings of the running analysis.
struct TransientLimits {
    double tmax = 1e-6;
    double tmin = 0.0;
    double maxTimeStep = 0.0;  // 0: 2 % of the time range
    int32_t points = 51;       // Number of Points
    int32_t optionFlags = 0x78;
    int32_t stateVariables = kStatesZero;
    double optionMaxTimeStep = 0.0;  // .OPTIONS MAXTIMESTEP; 0 not set
    std::string stateVariablesFile;  // read in the mode Read (StateVariablesFileName)
};

// The quantities of one transient analysis and of its present run.
struct TransientRun {
    double Tmax = 0.0;
    double Tmin = 0.0;
    double TimeRange = 0.0;
    double MinTimeStep = 0.0;
    double PointSpacing = 0.0;
    int32_t PointCount = 0;
    int32_t StateVariablesMode = kStatesZero;
    std::string StateVariablesFile;
    int32_t OperatingPointRequested = 0;
    int32_t OperatingPointOnly = 0;
    int32_t RunCount = 0;
    int32_t HasConvolutionSources = 0;
    int32_t ConvolutionPoints = 0;

    // Convergence Assist
    int32_t RetryPhase = 0;
    int32_t RetryFromPresentState = 0;
    int32_t OptionsRelaxed = 0;
    int32_t RelaxLevel = 0;

    // The time loop
    int32_t AcceptedPoints = 0;
    int32_t RejectedPoints = 0;
    int32_t TimeLoopAbort = 0;
    int32_t MatrixReorderRequest = 0;
    int32_t KeepFailureRecords = 0;
    int32_t GminSolves = 0;  // Newton calls of the last Gmin stepping

    // Every accepted time, kept while lossy lines need it.
    std::vector<double> TimePointHistory;
    int32_t TimePointIndex = -1;
    int32_t TimePointIncrement = 10;
    double TimePointSpacing = 1.0;

    BreakpointList Breakpoints;
    double PreviousRunTmax = 0.0;
    double PreviousRunTick = 0.0;
};

// What a transient run needs of the layers above the engine. Passed per run.
class TransientHost : public IterationHost {
public:
    // Evaluates, saves and plots the point at state.Time: 0 or an error that
    // ends the run.
    virtual int AcceptTimePoint(SimulatorState& state, TransientRun& run) = 0;
    // A failed attempt is given up and the run begins again at its start time:
    // the points accepted so far belong to the abandoned attempt, and the next
    // accepted point is earlier than the last one.
    virtual void RunRestarting(SimulatorState&, TransientRun&) {}
    // Shows a run error (13542, 14190, 15051, 13545 ...) with the time it
    // happened at.
    virtual void ReportRunError(int messageId, double time) = 0;
    // Asks a Yes/No question (13544, 13546) with its number: true for Yes.
    virtual bool Confirm(int messageId, double value) = 0;
};

// The time-dependent sources of the device models, installed once at
// start-up by their owner. Without an owner a circuit with a time-dependent
// source fails with 15090; a circuit of DC sources needs none.
class TimeSourceServices {
public:
    virtual ~TimeSourceServices() = default;
    // Every time-dependent source's value at state.Time of a run that started
    // at `startTime` (tables and triggers count from it): 0 or an error.
    virtual int EvaluateTimeSources(SimulatorState& state, double startTime) = 0;
    // The largest step the sources allow (a large value when none limits it).
    virtual double SourceStepLimit(const SimulatorState& state) = 0;
    // Fixes the time lists of the PWL and NOISE sources for a run from
    // `startTime` to state.Tmax: 0 or an error.
    virtual int PrepareListSources(SimulatorState& state, double startTime) = 0;
};
void InstallTimeSources(TimeSourceServices* services);
// The time-dependent sources at state.Time of a run that starts at 0, their
// time lists fixed first when `prepare` (for state.Tmax): what the operating
// points of a DC sweep drive. 0 or an error (15090 without an owner when the
// circuit has such sources).
int EvaluateTimeSourcesAtStart(SimulatorState& state, bool prepare);

// What the device kinds with run state of their own (sampled, convolved or
// hysteretic devices) need of a transient run besides their loads, installed
// once at start-up by their owner. Without one a run goes on without them.
class TransientDeviceEvents {
public:
    virtual ~TransientDeviceEvents() = default;
    // Before the run's device states are initialised (state.Tmax and
    // state.ConvolutionStep set): clears what an earlier run left. 0 or an error.
    virtual int RunStarting(SimulatorState& state, const TransientRun& run) = 0;
    // While the run fills its breakpoint list: 0 or the Add error.
    virtual int AddBreakpoints(SimulatorState& state, TransientRun& run) = 0;
    // A point (the start point included) was accepted, with Solution holding it.
    virtual void PointAccepted(SimulatorState& state, const TransientRun& run) = 0;
    // A step was rejected: back to the last accepted point.
    virtual void PointRejected(SimulatorState& state) = 0;
};
void InstallTransientDeviceEvents(TransientDeviceEvents* events);
// The histories of the device models' delay lines (the ideal transmission
// lines), installed once at start-up by their owner. Without an owner the
// time loop of a circuit with such lines fails with 15090.
class DelayLineServices {
public:
    virtual ~DelayLineServices() = default;
    // Start of a time loop, Solution holding the start point: forgets what an
    // earlier loop left, records the first departing waves at `startTime` and
    // lowers `maxTimeStep` to what the delays allow. 0 or 15002.
    virtual int StartDelayLines(SimulatorState& state, double startTime, double& maxTimeStep) = 0;
    // Before the loads of every try of a time point: the waves arriving at state.Time.
    virtual void PrepareDelayLines(SimulatorState& state) = 0;
    // After every accepted analog point (Solution holding it). 0 or 15002.
    virtual int AcceptDelayLines(SimulatorState& state) = 0;
    // End of a time loop: the histories are freed.
    virtual void ReleaseDelayLines(SimulatorState& state) = 0;
};
void InstallDelayLines(DelayLineServices* services);

// Runs the transient analysis: 0, 15055 when the failure was already shown,
// 15056 when the user stopped, or another message id.
int RunTransient(SimulatorState& state, TransientRun& run, const TransientLimits& limits, TransientHost& host);

// One phase of a run (state.AnalysisPhase 1: the operating point, 2: the time
// loop): 0, 13542 (step too small, options relaxed: restart the run), 14190,
// 15051, 15055, 15002 or an error of the devices or the host.
int SolveTransient(SimulatorState& state, TransientRun& run, TransientHost& host);

// Zeroes the solution, the charge states and the step history (unless the
// states are carried over from the previous run).
int InitializeDeviceStates(SimulatorState& state, TransientRun& run);
// InitializeDeviceStates, then on the first run the initial conditions.
int InitializeRunState(SimulatorState& state, TransientRun& run);
// Puts the .IC values into the solution vectors and gives every capacitor
// and inductor without an initial value its value from the solution.
void ApplyInitialConditions(SimulatorState& state);
// The present solution back to the last accepted point.
void RestoreLastAcceptedPoint(SimulatorState& state);
// Convergence Assist: looser options for a retry.
void RelaxOptions(SimulatorState& state, TransientRun& run);
// Fills the list for a run: its ends and the corners of every source. 0, 15056
// when the user declined a run of too many pulse periods, or an Add error.
int SetupTransientBreakpoints(SimulatorState& state, TransientRun& run, TransientHost& host);

// The history of accepted times: StartTimePointHistory sizes it for the
// run's time range at the larger of the point spacing and the maximum step;
// NoteTimePoint appends a time, growing the room as the run goes on. 0 or 15002.
int StartTimePointHistory(TransientRun& run, double pointSpacing, double maxTimeStep);
int NoteTimePoint(TransientRun& run, double time);

// Registers the transient analysis's message texts.
void RegisterTransientMessages();
