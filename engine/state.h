// The simulator state of one analog run: the equation vectors, the installed
// matrix with its entry list and cursor, the charge states, the iteration mode
// and counters, the analysis flags, time and step with the integration
// formula, the non-convergence records and the power totals.
//
// Every engine operation and every device load works on the state it is
// given, never on a process-wide one, so two circuits simulate side by side
// and stepped or Monte Carlo runs can each own a state on their own thread.
// A state belongs to one compiled circuit; it is neither copied nor moved
// (the installed-pair pointer and the entry cursors point into it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/elements.h"
#include "engine/integrate.h"
#include "engine/stamps.h"
#include "expr/complex.h"
#include "expr/runvars.h"

struct CircuitOptions;
struct CompiledCircuit;
struct InitialConditionEntry;

// How the devices start their evaluation in the present iteration.
enum IterationModeKind : int32_t {
    kModeFloat = 1,            // from the present solution
    kModeInitJunction = 2,     // junctions from their critical voltages
    kModeInitFix = 3,          // as InitJunction, except devices marked off
    kModeInitSmallSignal = 4,  // one load that stores small-signal values
    kModeInitTransient = 5,    // first load of a transient
    kModeInitPredictor = 6,    // a new time point, voltages predicted
};

// What is being iterated.
enum AnalysisPhaseKind : int32_t {
    kPhaseMatrixBuild = 0,  // an AC run building its matrix
    kPhaseDc = 1,           // operating points, DC sweep points, a transient's bias point
    kPhaseTransient = 2,    // a transient time step
    kPhaseAcBias = 3,       // the bias point of an AC run that does not iterate it
};

// Which analysis the loads serve.
enum LoadAnalysisKind : int32_t {
    kLoadOperatingPoint = 1,  // also the bias point of AC
    kLoadTransient = 2,       // including its operating point
    kLoadDcSweep = 3,
};

// The kind of the present time point.
enum StepKindCode : int32_t {
    kStepAnalog = 0,
    kStepDigitalDue = 1,
    kStepDigitalDone = 2,
    kStepExpressionBreak = 4,
};

// A matrix with the entry list of its reserved positions. The list's `matrix`
// is the one held here once the matrix exists.
struct MatrixPair {
    std::unique_ptr<SparseMatrix> matrix;
    EntryList entries;
};

struct SimulatorState {
    SimulatorState();
    // Frees both matrix pairs.
    ~SimulatorState();
    SimulatorState(const SimulatorState&) = delete;
    SimulatorState& operator=(const SimulatorState&) = delete;

    // ---- the circuit and its options
    CompiledCircuit* Circuit = nullptr;
    // The option values the engine and the loads read (GMIN, RELTOL ... ITL4):
    // the circuit's own copy, taken when the state is attached.
    GlobalSettingValues Options;
    double Tmax = 0.0;  // TMAX of the running analysis (0: none)

    // ---- equations and vectors: one entry per equation number, entry 0 (ground) held at 0
    int32_t NodeCount = 0;                 // nodes 1..NodeCount; then branches and internal unknowns
    int32_t MatrixSize = 0;                // equations of the installed matrix; 0: nothing to load
    std::vector<double> Solution;          // the present Newton iterate
    std::vector<double> PreviousSolution;  // the iterate before (the node test compares the two)
    std::vector<double> LastSolution;      // the last accepted point (source stepping: last good step)
    std::vector<double> OlderSolution;     // the accepted point before that
    std::vector<ComplexNumber> AcSolution;
    std::vector<double> Rhs;  // zeroed before each load, filled by the loads
    size_t SolutionLength() const { return Solution.size(); }

    // ---- matrices: the DC and the transient pair, and the installed one the
    // loads reserve and stamp through
    MatrixPair DcPair;
    MatrixPair TransientPair;
    MatrixPair* Installed = nullptr;
    EntryCursor Cursor;
    int32_t MatrixBuilt = 0;  // 0: the next load reserves the structure first
    SparseMatrix* Matrix() const { return Installed ? Installed->matrix.get() : nullptr; }
    EntryList* Entries() const { return Installed ? &Installed->entries : nullptr; }

    // ---- charge states, four slots per block
    std::vector<double> StateValues;
    std::vector<double> StateDerivatives;
    int32_t StateCount = 0;
    int32_t SimpleStateSlots = 0;  // slots of the capacitors and the other simple kinds
    // A view of the two vectors for the integration routines.
    StateVectors States() {
        return StateVectors{StateValues.empty() ? nullptr : StateValues.data(),
                            StateDerivatives.empty() ? nullptr : StateDerivatives.data(), StateCount};
    }

    // ---- iteration control
    int32_t IterationMode = kModeInitJunction;  // IterationModeKind
    int32_t IterationCount = 0;                 // iterations of the last NewtonIterate
    int32_t TotalIterations = 0;
    int32_t NonConvergedCount = 0;  // failures of the present iteration; 0: converged
    int32_t IterationLimitReached = 0;
    int32_t BypassAllowed = 0;
    int32_t LoadAborted = 0;    // a load asked to stop (its message shown)
    int32_t StopRequested = 0;  // the user stopped the run
    int32_t RunStopRequest = 0;
    char LastRunKey = 0;  // 27 = Esc
    double SourceScale = 1.0;
    int32_t SourceSteppingActive = 0;
    int32_t GminSteppingActive = 0;
    int32_t StatusTextEnabled = 1;
    int32_t RunCount = 0;

    // ---- analysis selection
    int32_t AnalysisPhase = kPhaseDc;            // AnalysisPhaseKind
    int32_t LoadAnalysis = kLoadOperatingPoint;  // LoadAnalysisKind
    int32_t UseInitialConditions = 0;
    int32_t OperatingPointActive = 0;
    int32_t AcDoOperatingPoint = 1;
    int32_t OperatingPointHeld = 0;
    int32_t DcSweepRunning = 0;
    int32_t DigitalOnly = 0;
    int32_t DigitalSettlePending = 0;
    int32_t StepKind = kStepAnalog;  // StepKindCode
    uint32_t CurrentTick = 0;
    int32_t HasNodeset = 0;
    int32_t HasInitialConditions = 0;
    const std::vector<InitialConditionEntry>* InitialConditionTable = nullptr;

    // ---- flags set at the start of every load
    int32_t UseSolutionVoltages = 0;
    int32_t ChargeTermsActive = 0;
    int32_t InitialConditionPoint = 0;
    int32_t StoreSmallSignal = 0;
    int32_t InitialConditionLoad = 0;
    int32_t TransientStartLoad = 0;
    int32_t ComputeCharges = 0;

    // ---- time and integration
    double Time = 0.0;
    double PreviousTime = 0.0;
    double MaxTimeStep = 0.0;
    IntegrationFormula Formula;  // method, order, TimeStep, PreviousSteps, coefficients
    double StepRatio = 1.0;
    double StepRatioPlusOne = 2.0;
    double StepRatioLimit = 1.0;
    double DigitalStepRatioLimit = 1e30;
    // The most the next step may grow (or the least it must shrink to) for
    // the magnetic cores, set by every load that solves them.
    double CoreStepFactor = 1e30;
    double Tick = 1.0;             // seconds per breakpoint tick
    double ConvolutionStep = 1.0;  // lossy-line convolution step

    // ---- tolerance copies taken when a matrix is built
    double AbsTolCopy = 0.0;
    double RelTolCopy = 0.0;
    double VnTolCopy = 0.0;
    double RelTolMilli = 0.0;
    double SourceRelTol = 0.0;

    // ---- what the built-in element loads keep between loads
    ElementLoadMemory ElementMemory;

    // ---- non-convergence records and power totals
    FailureLog Failures;  // FailureRecords, FailureRecordCount, FailureTime
    PowerTotals Power;
};

// Binds a state to a compiled circuit (numbered): the circuit's options and
// integration method are copied, and the equation and charge-state vectors are made, zeroed, one
// entry per equation number. 0, or 15002 when they cannot be allocated (the
// state then holds no vectors).
int AttachCircuit(SimulatorState& state, CompiledCircuit* circuit, const CircuitOptions& options);

// Publishes the state's present solution to what expressions read (the
// run-state record of the expression layer, whose analysis kind the run sets);
// `iterating` tells them a Newton iteration runs on it.
void PublishRunState(const SimulatorState& state, bool iterating);
// Withdraws the state's vectors from the run-state record (when they are the
// ones it shows), so nothing reads them after they are freed.
void WithdrawRunState(const SimulatorState& state);
