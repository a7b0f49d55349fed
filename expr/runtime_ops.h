// The operators of the stateful and special functions, called by the evaluator
// with the value-stack entries of their arguments (`args[0]` the first argument,
// the state cells and history references after the real arguments). Each leaves
// its result in args[0]; the evaluator drops the other entries.
//
// State advances only in the phase evaluations of a run (reset, accept, initial,
// breakpoint set-up); an ordinary evaluation reads the state committed at the
// last accepted point and records tentative values only, so evaluations at
// points that are later rejected leave no trace.
#pragma once

#include <cstdint>

#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/evaluate.h"

// SUM(y, x, start, c1..c6); 0 or 1 when a cell entry is not a state cell.
int EvaluateRunningIntegral(CompiledExpression* expr, ValueStackEntry* args);
// DEL(y, c1, c2).
int EvaluateDifference(CompiledExpression* expr, ValueStackEntry* args);
// LAST(y, n, history): 0, 1 (bad history reference) or 15002.
int EvaluateLast(CompiledExpression* expr, ValueStackEntry* args);
// DELAY(y, d, time history, value history): 0, 1 (bad history reference) or 15002.
int EvaluateDelay(CompiledExpression* expr, ValueStackEntry* args);
// PH(z, c1, c2), GD(z, c1..c5), AVG and RMS(y, start, c1..c3), MINR and
// MAXR(y, c1, c2): 0 or 1 when a cell entry is not a state cell.
int EvaluatePhase(CompiledExpression* expr, ValueStackEntry* args);
int EvaluateGroupDelay(CompiledExpression* expr, ValueStackEntry* args);
int EvaluateRunningAverage(CompiledExpression* expr, ValueStackEntry* args, bool rms);
int EvaluateRunningExtreme(CompiledExpression* expr, ValueStackEntry* args, bool maximum);
// Element `element` of user array `array` of the current circuit into result:
// 0, 10443 (outside a circuit or out of bounds, result 0) or the element's code.
int EvaluateArrayElement(int element, int array, ComplexNumber* result);
// A performance function whose last stack entry is *topEntry (`available`
// entries of this evaluation end there): its m entries (curve reference, body,
// m - 2 numeric arguments) are replaced by the value; *consumed receives m.
// 0 or a result code.
int EvaluatePerformanceOperator(CompiledExpression* expr, ValueStackEntry* topEntry, int available, int functionCode,
                                int* consumed);

// 1 for n < 0, else n! with n limited to 170.
double Factorial(double n);
// The phase of z in degrees, moved by a multiple of 360 (up to 57600) toward
// `previous` when unwrapping is on and they differ by more than 180 degrees.
ComplexNumber UnwrapPhase(const ComplexNumber& z, double previous, int unwrapSetting);
// Commits the running extremes of every MINR/MAXR of the expression.
void UpdateRunningExtremes(CompiledExpression* expr);
// Adds the RNDI tokens of the expression to the interval random list (and their
// breakpoints in a transient run): 0 or 15002 when a breakpoint cannot be added.
int CollectIntervalRandomTokens(CompiledExpression* expr);
// The interval random list: allocated for `count` tokens (0 or 15002).
int AllocateIntervalRandomList(int count);

// The linear interpolation of analysis control: y0 + (y1 - y0)(x - x0)/(x1 - x0),
// the mean of y0 and y1 when x1 equals x0.
double InterpolateLinearValue(double x, double x0, double y0, double x1, double y1);

// The history a history-reference entry names, or null when the entry does not
// name one of the expression's histories.
HistoryBuffer* HistoryOfEntry(CompiledExpression* expr, const ValueStackEntry& entry);
