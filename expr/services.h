// What the expression language needs of the subsystems that own circuits,
// devices, plots and analyses: small interfaces the owners implement and the
// composition root installs. Until an owner is built its interface answers
// through a null object that keeps the behaviour of a circuit without it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "expr/complex.h"

struct CompiledExpression;
struct DeviceQuantityCall;
struct DeviceRecord;
struct ExprCompiler;
struct FFTOperandStore;
struct InductorCoreState;

// ---- compiling ---------------------------------------------------------------------------

// The circuit an expression is compiled against: node and part names, user
// arrays, model parameters and device quantities. Null object: a circuit
// without nodes, parts, arrays or devices.
class ExprCircuit {
public:
    virtual ~ExprCircuit() = default;
    // The node number of a name in a scope (kind 1 digital), -1 when none.
    virtual int FindNodeNumber(const char* name, int scope, int kind) = 0;
    // The analog (kind 0) or digital (kind 1) node count.
    virtual int NodeCount(int kind) = 0;
    // The state of a digital node, null while none exists.
    virtual int16_t* DigitalNodeState(int node) = 0;
    // The index of a user array of that name and scope, -1.
    virtual int FindUserArray(const char* name, int scope) = 0;
    // "PART.PARAM": 0 and the value's address (with the reciprocal flag), 1 when
    // the part or its model is missing (the word stays unresolved), 2 when only
    // the parameter is missing.
    virtual int FindModelParameter(const char* part, const char* param, int scope, double** value,
                                   bool* reciprocal) = 0;
    // Whether a part of that name exists whose kind shares a bit with the mask.
    virtual bool PartMatchesMask(const char* part, int scope, uint32_t deviceMask) = 0;
    // Rewrites the lexemes of a device-quantity call: 0 or a reported result.
    // The null object binds what needs no device (BindQuantityWithoutDevices).
    virtual int BindDeviceQuantity(ExprCompiler* ctx, const DeviceQuantityCall* call) = 0;
};
// A circuit without nodes, parts, arrays or devices: the port's null object, and
// the base of circuits that know only some of these.
class CircuitWithoutDevices : public ExprCircuit {
public:
    int FindNodeNumber(const char*, int, int) override { return -1; }
    int NodeCount(int) override { return 0; }
    int16_t* DigitalNodeState(int) override { return nullptr; }
    int FindUserArray(const char*, int) override { return -1; }
    int FindModelParameter(const char*, const char*, int, double**, bool*) override { return 1; }
    bool PartMatchesMask(const char*, int, uint32_t) override { return false; }
    int BindDeviceQuantity(ExprCompiler* ctx, const DeviceQuantityCall* call) override;
};
ExprCircuit& CompileCircuit();
// Installs the port (nullptr: the null object); returns the previous one.
ExprCircuit* InstallCompileCircuit(ExprCircuit* port);

// The plotted curves performance functions and run-variable checks refer to,
// and the analysis window compile messages are parented to.
class ExprPlotBinding {
public:
    virtual ~ExprPlotBinding() = default;
    // Binds a compiled body to a plotted curve with the code (516 or 517): 0,
    // 13781 (textOut names the variable) or 15002. Null object: 10435.
    virtual int BindCurveReference(CompiledExpression* body, int code, char* textOut, size_t size) = 0;
    // 0, or 13781 when a token reads a node voltage, T, TEMP, F or a complex
    // node. Null object: CheckRunVariablesOfTokens.
    virtual int CheckRunVariables(CompiledExpression* expr, char* textOut, size_t size) = 0;
    // PHASE_MARGIN: 0 when the bound curve is plotted over F with a DB or PH Y
    // expression and its companion curve is plotted; 10438, or a result already
    // reported (15055). Null object: 0.
    virtual int CheckPhaseMarginCurve(CompiledExpression* body) = 0;
    // Opens the Analysis Limits dialog of the current analysis window; the
    // dialog to parent messages to, or null (the null object).
    virtual void* OpenLimitsDialog() = 0;
};
ExprPlotBinding& PlotBinding();
ExprPlotBinding* InstallPlotBinding(ExprPlotBinding* port);

// Symbolic differentiation for DER.
class ExprDerivatives {
public:
    virtual ~ExprDerivatives() = default;
    // Whether DER can be compiled at all (the null object: no, 10432).
    virtual bool CanDifferentiate() const = 0;
    // Differentiates a body in place with respect to a variable given as a
    // one-token expression; 10437 when it is not a single variable.
    virtual int Differentiate(ExprCompiler* ctx, CompiledExpression* body, CompiledExpression* variable) = 0;
};
ExprDerivatives& Derivatives();
ExprDerivatives* InstallDerivatives(ExprDerivatives* port);

// The current circuit's defines, put into expression texts before they are
// compiled.
class ExprDefineSubstitution {
public:
    virtual ~ExprDefineSubstitution() = default;
    // A heap copy of the text with the defines of the scope put in (scope -1:
    // the current one): 0, or 15002. Null object: the text copied.
    virtual int SubstituteDefines(const char* text, int scope, char** out) = 0;
};
ExprDefineSubstitution& ExpressionDefines();
ExprDefineSubstitution* InstallExpressionDefines(ExprDefineSubstitution* port);

// ---- evaluating --------------------------------------------------------------------------

// Performance windows: the functions over plotted curves. Null object: every
// performance token fails the evaluation as an unknown token does.
class ExprPerformance {
public:
    virtual ~ExprPerformance() = default;
    // The number of stack entries m of a performance function (curve
    // reference, body, m - 2 numeric arguments); below 2: none.
    virtual int ArgumentCount(int functionCode) = 0;
    // The function's value on the referenced curve: 0 or a result code.
    virtual int Evaluate(int functionCode, int curveReference, CompiledExpression* body, const double* args,
                         int argCount, double* result) = 0;
    // The value of a performance-argument token (curve n/2, side n%2) for the
    // expression's performance argument; false when there is none.
    virtual bool ArgumentValue(int curveReference, int performanceArgument, double* value) = 0;
};
ExprPerformance& Performance();
ExprPerformance* InstallPerformance(ExprPerformance* port);

// The spectrum stage's operand store (FFT operators) and the point storage of
// the plot document. Null object: no store (expressions evaluate directly) and
// every point counts as stored.
class ExprSpectrumStore {
public:
    virtual ~ExprSpectrumStore() = default;
    // Whether operand stores are kept at all.
    virtual bool Active() const = 0;
    // Grows the store and chooses the sample (resolvePass: a resolve pass after
    // the run): 0 or a result code.
    virtual int Prepare(FFTOperandStore* store, bool* resolvePass) = 0;
    // The cell of operand slot k at the current sample; null when none.
    virtual ComplexNumber* Slot(FFTOperandStore* store, int slot) = 0;
    // Counts a consumed token.
    virtual void CountToken(FFTOperandStore* store) = 0;
    // Records the operator that ends a resolve pass.
    virtual void EndResolve(FFTOperandStore* store, int operatorCode) = 0;
    // Records the stack position of a finished resolve pass.
    virtual void StagePosition(FFTOperandStore* store, int position) = 0;
    // Moves a run pass to the next sample.
    virtual void AdvanceSample(FFTOperandStore* store) = 0;
    // Whether the current transient point is stored by the plot document.
    virtual bool IsPointStored() = 0;
};
ExprSpectrumStore& SpectrumStore();
ExprSpectrumStore* InstallSpectrumStore(ExprSpectrumStore* port);

// The transient breakpoint list of the running analysis. Null object: no list,
// nothing is collected.
class ExprBreakpoints {
public:
    virtual ~ExprBreakpoints() = default;
    // Whether breakpoints are collected at all.
    virtual bool Collecting() const = 0;
    // Adds a breakpoint at a time in ticks; false when the list refuses it.
    virtual bool Add(int64_t ticks, int kind) = 0;
    // The breakpoint set-up of a delay: breakpoints every delay d after the start.
    virtual void AddDelayBreakpoints(double delay) = 0;
    // Sets the kind of every breakpoint record of kind 4 back to 0.
    virtual void ResetDelayBreakpointKinds() = 0;
};
ExprBreakpoints& Breakpoints();
ExprBreakpoints* InstallBreakpoints(ExprBreakpoints* port);

// What expressions read of device records (the owner of their layouts).
// Null object: records without expressions or core state.
class ExprDeviceRecords {
public:
    virtual ~ExprDeviceRecords() = default;
    // The compiled expression of a device record: `which` 0 its (first) value
    // expression, 1 its second one (sample-and-hold); null when it has none.
    virtual CompiledExpression* RecordExpression(int listIndex, DeviceRecord* record, int which) = 0;
    // The core state of an inductor device record; null when it has none.
    virtual const InductorCoreState* InductorCore(const void* deviceRecord) = 0;
};
ExprDeviceRecords& DeviceRecords();
ExprDeviceRecords* InstallDeviceRecords(ExprDeviceRecords* port);
