// The expression evaluator: runs a compiled expression's tokens on the value
// stack of the thread's evaluation context and yields a complex value.
//
// Errors never throw: an evaluation leaves a pending result code, returns it and
// yields the value (1, 0). Callers decide whether to report the pending message.
#pragma once

#include <cstdint>

#include "expr/complex.h"

struct CompiledExpression;
struct FFTOperandStore;

// The value stack holds kValueStackSize entries; entry 0 is never used, so one
// chain of nested evaluations may push at most kValueStackSize - 1 values.
constexpr int kValueStackSize = 1050;

// Result codes of the evaluator besides 0 and the codes of the run-time operators.
enum EvaluatorCode : int {
    kEvalUnknownToken = 1,      // a token code the evaluator does not know
    kEvalMathPending = 15061,   // a floating-point message is pending
    kEvalMathDetected = 15071,  // a floating-point exception not yet made a message
    kMsgFloatingPoint = 15003,  // "%EFloating point '%s'."
    kMsgArrayBounds = 10443,    // "%EAn attempt was made to access the array variable %s outside its bounds."
    kMsgStackOverflow = 10444,  // "%EA stack overflow occurred in an array variable. ..."
    kMsgSeriesTooLong = 10446,  // "%ESERIES and PROD may sum at most %ld terms in one evaluation, ..."
};

// Performance functions and the spectrum stage's operand stores are reached
// through the ports of expr/services.h.

// The work one evaluation may spend in SERIES and PROD terms, nested and
// successive ones together: a term costs the tokens of its body, so that at most
// this many terms of a one-token body (and fewer of a longer one) are taken.
constexpr long kSeriesWorkBudget = 10000000;

// The evaluator's own words of a compiled expression (CompiledExpression::evaluatorWords).
enum EvaluatorWord : int {
    kWordPerformanceArgument = 0,  // read by performance-argument tokens
    kWordZeroDivide = 1,           // 1 after a real division by exact zero in the last evaluation
    kWordHoldExtremes = 2,         // while set, MINR and MAXR keep their committed extreme
};

// Evaluates `expr` into `result` (null: for the side effects only, as the run
// phase notifications do). `store` is the expression's operand store of the
// spectrum functions, or null. Returns 0 or the pending result code.
int EvaluateExpression(CompiledExpression* expr, ComplexNumber* result, FFTOperandStore* store = nullptr);

// The evaluation's pending code after turning a detected floating-point
// exception into the pending message 15003; the context's pending code is 0 afterwards.
int CheckMathError();
// Resets the floating-point unit and clears the current context's pending codes.
void ResetFloatingPointState();

// A math-error report of the run-time library: kind 1 domain, 2 singularity,
// 3 overflow, 4 underflow, 5 total and 6 partial loss of significance.
struct MathLibraryError {
    int kind;
    const char* name;
    double arg1;
    double arg2;
    double retval;
};
// Makes 15003 pending with "%s(%g) %s" (or "%s(%g,%g) %s" for atan2, fmod and
// pow), sets retval to 1.0 and the pending code to 15061; returns 1 (handled).
int ReportMathLibraryError(MathLibraryError* error);

// True when x lies in the signed 32-bit range and equals its truncation.
bool IsIntegerValue(double x);
// The real parts when both values are real, else the two moduli.
void MagnitudesForCompare(const ComplexNumber& a, const ComplexNumber& b, double* outA, double* outB);

// One entry of the value stack. Some operands push a reference rather than a
// number: a body or history index in the real part, or the address of a state
// cell or an index variable's slot in `ref`; the operator that consumes the
// entry knows which. `ref` is null for every other entry.
struct ValueStackEntry {
    int32_t isDigital;  // 1: a digital state (level in bits 0-2, strength in 3-8)
    ComplexNumber value;
    void* ref;
};

// What a running evaluation mutates: the value stack, its top, the nesting depth
// and the pending codes. Evaluations nested inside one another share one
// context (an inner evaluation pushes above the outer one's entries); separate
// contexts evaluate independently, so threads never share one.
struct EvaluationContext {
    ValueStackEntry stack[kValueStackSize] = {};
    int32_t top = 0;              // highest entry in use; 0 when idle
    int32_t depth = 0;            // nesting depth of running evaluations
    int32_t error = 0;            // pending code of the running evaluation
    int32_t mathErrorNumber = 0;  // the floating-point fault behind kEvalMathDetected
    // The SERIES/PROD work the outermost evaluation may still spend, nested and
    // successive sums together (a start far below the end, sums inside sums or
    // long bodies would otherwise run for hours); used up, the sum stops with 10446.
    long seriesWorkLeft = 0;
};

// The context this thread evaluates in: the one an EvaluationScope installed,
// else the thread's own (made on first use).
EvaluationContext& CurrentEvaluationContext();

// Makes `context` the current one of this thread for the scope's lifetime (a
// run phase that keeps its own stack, a worker evaluating a copy of a circuit).
class EvaluationScope {
public:
    explicit EvaluationScope(EvaluationContext& context);
    ~EvaluationScope();
    EvaluationScope(const EvaluationScope&) = delete;
    EvaluationScope& operator=(const EvaluationScope&) = delete;

private:
    EvaluationContext* previous_;
};
