// Sweep value lists: the temperatures (or distortion input amplitudes) an
// analysis is repeated over, built from one limit field and the kind's sweep
// method before the runs, then handed out one pass at a time.
#pragma once

#include <cstddef>
#include <vector>

class CCTDoc;

enum SweepMethod : int { kSweepMethodLinear = 0, kSweepMethodList = 1, kSweepMethodLog = 2 };

// Message ids of the range checks.
enum SweepMessage : int {
    kMsgIllegalStep = 13281,      // "%EIllegal Step value."
    kMsgLogSameSign = 13585,      // "%EIn log stepping, from and to must have the same sign."
    kMsgLogBadStep = 13586,       // "%EIn log stepping, step can not be 0.0 or 1.0 and must be positive."
    kMsgLogZeroEndpoint = 13587,  // "%EIn log stepping, from or to can not be 0.0."
};

// Counts stop here: more values than this are never made.
constexpr int kMaxSweepValues = 1001;

// Linear: the step takes the sign of to - from and at most its size. Log: a
// factor above 1 towards a larger magnitude, below 1 towards a smaller one,
// limited to to / from; a non-positive factor is returned unchanged.
double NormalizeStep(bool log, double from, double to, double step);
// 0, or 13586 (bad factor), 13587 (a zero end), 13585 (ends of both signs).
int CheckLogStep(double from, double to, double step);
// The number of values from `from` to `to` (the last clamped to `to`), at most
// kMaxSweepValues.
int CountLinearSteps(double from, double to, double step);
int CountLogSteps(double from, double to, double step);

// The sweep of one analysis: its values and the next one to hand out.
class SweepList {
public:
    // Builds the list from limit field `index` of `kind` by `method`. Errors are
    // reported as limits-field errors (once per run) and leave the list empty;
    // the result is 0 or the code.
    int Build(CCTDoc* document, int kind, int index, int method, bool dynamicSingleValue = false);
    // Builds from a text directly (no define substitution); same result.
    int BuildFromText(const char* text, int method);

    void Reset() { index_ = 0; }
    bool HasMore() const { return index_ < values_.size(); }
    // The next value; call only while HasMore().
    double Next() { return values_[index_++]; }

    const std::vector<double>& values() const { return values_; }
    bool Multiple() const { return values_.size() > 1; }
    double to = 0, from = 0, step = 0;  // the evaluated range of the last build

private:
    std::vector<double> values_;
    size_t index_ = 0;
};

// The range of a limit text: one value gives from = to, fewer than three a
// step of to - from; then the step is normalised. 0 or the evaluator's code.
int EvaluateSweepRange(const char* text, int method, double* to, double* from, double* step);

// The value of the current pass (temperature, or distortion input amplitude).
extern double CurrentSweepValue;
