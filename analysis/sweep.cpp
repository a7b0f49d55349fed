#include "analysis/sweep.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/limits.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/result.h"

double CurrentSweepValue = 0;

namespace {

bool sw_Reached(double v, double to) {
    return std::fabs(v - to) / std::max({std::fabs(v), std::fabs(to), 1e-50}) < 1e-6;
}

}  // namespace

double NormalizeStep(bool log, double from, double to, double step) {
    if (log && step <= 0) return step;
    double s = std::fabs(step);
    if (!log) {
        const double d = to - from;
        return d > 0 ? std::min(s, d) : -std::min(s, std::fabs(d));
    }
    if (std::fabs(from) > std::fabs(to)) {
        if (s > 1) s = 1 / s;
        if (from != 0 && s < to / from) return to / from;
        return s;
    }
    if (std::fabs(from) < std::fabs(to)) {
        if (s < 1) s = 1 / s;
        if (from != 0 && s > to / from) return to / from;
        return s;
    }
    return s;
}

int CheckLogStep(double from, double to, double step) {
    if (step == 1 || step <= 0) return kMsgLogBadStep;
    if (from == 0 || to == 0) return kMsgLogZeroEndpoint;
    if ((from < 0) != (to < 0)) return kMsgLogSameSign;
    return 0;
}

int CountLinearSteps(double from, double to, double step) {
    double v = from;
    int n = 0;
    while (n < kMaxSweepValues) {
        ++n;
        if ((step > 0 && v > to) || (step <= 0 && v < to)) break;
        if (sw_Reached(v, to)) break;
        v += step;
    }
    return n;
}

int CountLogSteps(double from, double to, double step) {
    double v = from;
    int n = 0;
    while (n < kMaxSweepValues) {
        ++n;
        if ((step > 1 && std::fabs(v) > std::fabs(to)) || (step <= 1 && std::fabs(v) < std::fabs(to))) break;
        if (sw_Reached(v, to)) break;
        v *= step;
    }
    return n;
}

int EvaluateSweepRange(const char* text, int method, double* to, double* from, double* step) {
    LimitValues values;
    const int err = ParseLimitValues(text, &values);
    *to = values.to;
    *from = values.from;
    *step = values.step;
    if (values.count == 1) *from = *to;
    if (values.count < 3) *step = *to - *from;
    *step = NormalizeStep(method == kSweepMethodLog, *from, *to, *step);
    return err;
}

int SweepList::BuildFromText(const char* text, int method) {
    values_.clear();
    index_ = 0;
    if (method != kSweepMethodLinear && method != kSweepMethodLog) {
        // One value per comma item outside parentheses; empty items are
        // skipped and the first item in error empties the list.
        const std::string whole = text ? text : "";
        std::string item;
        int depth = 0;
        for (size_t i = 0; i <= whole.size(); ++i) {
            const char c = i < whole.size() ? whole[i] : ',';
            if (c == '(') ++depth;
            if (c == ')' && depth > 0) --depth;
            if (c != ',' || depth > 0) {
                item += c;
                continue;
            }
            if (item.find_first_not_of(" \t") != std::string::npos) {
                int error = 0;
                const double v = EvaluateNumericText(item.c_str(), &error, 0);
                if (error) {
                    values_.clear();
                    return error;
                }
                values_.push_back(v);
            }
            item.clear();
        }
        return 0;
    }
    int err = EvaluateSweepRange(text, method, &to, &from, &step);
    if (err) return err;
    int n = 0;
    if (method == kSweepMethodLinear) {
        if (step == 0 && to != from) return kMsgIllegalStep;
        n = CountLinearSteps(from, to, step);
    } else {
        err = CheckLogStep(from, to, step);
        if (err) return err;
        n = CountLogSteps(from, to, step);
    }
    values_.reserve(static_cast<size_t>(n));
    double v = from;
    for (int i = 0; i < n; ++i) {
        values_.push_back(v);
        if (method == kSweepMethodLinear) {
            v += step;
            if ((step > 0 && v > to) || (step <= 0 && v < to)) v = to;
        } else {
            v *= step;
            if ((step > 1 && std::fabs(v) > std::fabs(to)) || (step <= 1 && std::fabs(v) < std::fabs(to))) v = to;
        }
    }
    return 0;
}

int SweepList::Build(CCTDoc* document, int kind, int index, int method, bool dynamicSingleValue) {
    values_.clear();
    index_ = 0;
    int status = 0;
    const std::string text = GetLimitText(document, kind, index, &status);
    if (!status) status = BuildFromText(text.c_str(), method);
    if (status) {
        values_.clear();
        ReportLimitFieldError(kind, index, status, text.c_str());
        return status;
    }
    const bool list = method != kSweepMethodLinear && method != kSweepMethodLog;
    if (list && dynamicSingleValue && values_.size() > 1) values_.resize(1);
    return 0;
}
