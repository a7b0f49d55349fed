// The DC sweep: an operating point for every combination of two sweep
// variables. Variable 1 is the inner sweep (one branch per pass), variable 2
// the optional outer one (one branch per value). Each point is solved by
// Newton iteration from the previous point's solution, with power-supply
// stepping as its only fall-back; a point that fails both is skipped and the
// sweep goes on.
//
// The run works on its SimulatorState and DcSweepRun; curves, plot, set-up at
// temperature and everything else above the engine is reached through the
// DcSweepHost passed to the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/newton.h"

class CCTDoc;

// What a sweep variable changes.
enum DcVariableKind : int32_t {
    kDcVariableNone = 0,
    kDcVariableParam = 1,   // a symbolic parameter
    kDcVariableTemp = 2,    // the run temperature
    kDcVariableModel = 3,   // one parameter of a model
    kDcVariableSource = 4,  // an independent source's DC level
};

// How a sweep variable moves. For variable 2, Auto means "no variable".
enum DcSweepMethodKind : int32_t {
    kDcMethodAuto = 0,
    kDcMethodLinear = 1,
    kDcMethodLog = 2,
    kDcMethodList = 3,
};

// Message ids of the sweep variables.
enum DcSweepMessage : int {
    kMsgSourceNotFound = 13530,     // "%ESource not found."
    kMsgMissingParen = 13582,       // "%EMissing ')'."
    kMsgFormatError = 13583,        // "%EFormat error."
    kMsgUnknownModelParam = 13584,  // "%EUnknown model parameter."
    kMsgDcLogSameSign = 13585,      // "%EIn log stepping, from and to must have the same sign."
    kMsgDcLogBadStep = 13586,       // "%EIn log stepping, step can not be 0.0 or 1.0 and must be positive."
    kMsgDcLogZeroEnd = 13587,       // "%EIn log stepping, from or to can not be 0.0."
    kMsgFailedAt = 14192,           // "%EFailed to converge at %g."
};

// One sweep variable: what it writes, how it moves and where it is.
struct DcSweepVariable {
    int32_t Kind = kDcVariableNone;
    int32_t Method = kDcMethodAuto;
    std::string Name;          // the part, parameter or model text, upper case
    double* Target = nullptr;  // where the value is written; null: nothing (or the host's set-up does it)
    double Start = 0.0;
    double End = 0.0;
    double Step = 0.0;       // after defaulting and clamping (Auto: the largest increment)
    double Increment = 0.0;  // the present increment (Log: a factor)
    double Value = 0.0;
    std::vector<double> ListValues;
    int32_t ListIndex = 0;
    // A model parameter: the model's name, the parameter's index and the model type.
    std::string ModelName;
    int32_t ParamIndex = -1;
    int32_t ModelType = -1;
};

// One DC sweep analysis and its present pass.
struct DcSweepRun {
    DcSweepVariable Variables[2];  // [0] variable 1, [1] variable 2
    // Written by a TEMP variable; read by the host's set-up of a point.
    double RunTemperature = 27.0;
    // The Auto step control's largest change of the first curve per point, as
    // a fraction of that curve's Y span ("Maximum Change %" / 100).
    double MaxChangeFraction = 0.05;

    // Filled by the run.
    int32_t NeedsSetup = 0;        // a variable is PARAM, TEMP or a model parameter
    int32_t TemperatureSwept = 0;  // a variable is TEMP
    int32_t AcceptedPoints = 0;
    int32_t TotalIterations = 0;
    int32_t SkippedPoints = 0;  // points where Newton and source stepping both failed
    int32_t Branches = 0;       // variable-2 passes started
    int32_t PassPoints = 0;     // accepted points of the present pass
    double MaxChange = 0.0;     // of the present pass
    double MinIncrement = 0.0;  // of the present pass
};

// What a DC sweep needs of the layers above the engine. Passed per run.
class DcSweepHost : public IterationHost {
public:
    // The model and instance set-up of a point whose variables need it (PARAM,
    // TEMP, a model parameter): the variables' values are in place (TEMP in
    // run.RunTemperature). 0 or an error that ends the run.
    virtual int SetupDcPoint(SimulatorState& state, DcSweepRun& run) = 0;
    // A new branch starts (variable 2 at run.Variables[1].Value). 0 or an error.
    virtual int StartBranch(SimulatorState& state, DcSweepRun& run) = 0;
    // The Y span of the first plotted curve, for the Auto step control.
    virtual double FirstCurveSpan(const SimulatorState& state, const DcSweepRun& run) = 0;
    // Evaluates the curves at the solved point; `firstY` takes the first
    // curve's Y. 0, or an error that ends the run.
    virtual int EvaluateDcPoint(SimulatorState& state, DcSweepRun& run, double& firstY) = 0;
    // The point is accepted (stored, plotted). 0 or an error that ends the pass.
    virtual int AcceptDcPoint(SimulatorState& state, DcSweepRun& run) = 0;
    // A branch ended: 0 to go on, non-zero to stop the run after it.
    virtual int EndBranch(SimulatorState& state, DcSweepRun& run) = 0;
    // Shows a run error (14192 with variable 1's value).
    virtual void ReportRunError(int messageId, double value) = 0;
};

// ---- the sweep variables -----------------------------------------------------------------------

// Resolves a variable's name text (upper-cased) into its kind and target: "TEMP",
// "PARAM name" (the host substitutes the value; no target), "TYPE model(param)"
// for a model parameter, or the name of an independent source of the compiled
// circuit. 0 or 13530, 13582, 13583, 13584.
int ResolveDcSweepVariable(CCTDoc* document, const char* text, DcSweepRun& run, int index);

// The default step when none was given: Log: the factor spanning the range in
// ten steps; otherwise 2 % (variable 1) or 10 % (variable 2) of the range.
void SetDefaultSweepStep(DcSweepVariable& variable, int index);
// Log only: 0, or 13586, 13587, 13585.
int CheckLogSweep(const DcSweepVariable& variable);
// Linear and Log: the step limited to the range and pointed toward the end.
void ClampDcStep(DcSweepVariable& variable);
// 0, or 13587 for a Log range that cannot be stepped; Increment takes Step.
int CheckSweepRange(DcSweepVariable& variable);
void StartSweepVariable(DcSweepVariable& variable);
void AdvanceSweepVariable(DcSweepVariable& variable);
void ClampSweepToEnd(DcSweepVariable& variable);
bool HasMoreSweepPoints(const DcSweepVariable& variable);

// Reads a variable's range (end, start, step) or list, defaults and checks
// it: 0 or a range error (13585-13587, 13281 for an empty list).
int SetSweepRange(DcSweepVariable& variable, int index, double end, double start, double step);
int SetSweepList(DcSweepVariable& variable, std::vector<double> values);

// Writes every variable's value where it acts: through its target, or into
// each record of its model. For a host's set-up of a point, after the model
// values were restored.
void ApplyDcSweepValues(CCTDoc* document, DcSweepRun& run);

// ---- the run -----------------------------------------------------------------------------------

// Runs the sweep on a state attached to a compiled, set-up circuit. Variable 1
// must be resolved and ranged; variable 2 too unless its Kind is None (then
// exactly one pass is made with the value 0). 0; 15055 when a failure was
// shown; 15056 when stopped by the user; or another message id.
int RunDcSweep(SimulatorState& state, DcSweepRun& run, DcSweepHost& host);

// Registers the DC sweep's message texts.
void RegisterDcSweepMessages();
