#include "expr/runtime_ops.h"

#include <cmath>
#include <cstring>

#include "core/memory.h"
#include "core/result.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/stateful.h"
#include "expr/symbols.h"

namespace {

// A DELAY history grows by this many points at a time.
constexpr int kRoDelayGrowth = 250;
// At most this many RNDI breakpoints per token, so that a tiny interval over a
// long run cannot loop for ever.
constexpr long kRoMaxIntervalBreakpoints = 10000000;

inline ComplexNumber* ro_Cell(const ValueStackEntry& entry) { return static_cast<ComplexNumber*>(entry.ref); }

// True when every entry from first to first + n - 1 is a state cell.
inline bool ro_HasCells(const ValueStackEntry* first, int n) {
    for (int i = 0; i < n; ++i)
        if (!first[i].ref) return false;
    return true;
}

// The phase evaluations of breakpoint set-up and history storing concern DELAY
// only: the other stateful operators pass their value through untouched.
inline bool ro_IsDelayPhase(const CompiledExpression* e) { return e->phaseRunStart || e->phaseInitial; }

inline int ro_HistoryIndex(const ValueStackEntry& entry) { return static_cast<int>(entry.value.re); }

// The interval random list of the current run.
ExprToken** ro_intervalTokens = nullptr;
int ro_intervalCount = 0;
int ro_intervalCapacity = 0;

// The interval of an RNDI token: the constant argument before it; 0 when none.
double ro_RndiInterval(const ExprToken* token) {
    const ExprToken* argument = token->Prev();
    if (argument && argument->code == kTokConstant) return argument->operand.value;
    return 0.0;
}

}  // namespace

double InterpolateLinearValue(double x, double x0, double y0, double x1, double y1) {
    if (x1 == x0) return (y0 + y1) * 0.5;
    return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

HistoryBuffer* HistoryOfEntry(CompiledExpression* expr, const ValueStackEntry& entry) {
    double index = entry.value.re;
    if (!expr->histories || !(index >= 0.0) || index >= expr->historyCount) return nullptr;
    return &expr->histories[static_cast<int>(index)];
}

// ---- SUM and DEL --------------------------------------------------------------------

int EvaluateRunningIntegral(CompiledExpression* e, ValueStackEntry* a) {
    if (!ro_HasCells(a + 3, 6)) return kEvalUnknownToken;
    if (ro_IsDelayPhase(e)) return 0;
    ComplexNumber* tentativeX = ro_Cell(a[3]);
    ComplexNumber* committedX = ro_Cell(a[4]);
    ComplexNumber* tentativeY = ro_Cell(a[5]);
    ComplexNumber* committedY = ro_Cell(a[6]);
    ComplexNumber* tentativeSum = ro_Cell(a[7]);
    ComplexNumber* committedSum = ro_Cell(a[8]);
    const ComplexNumber y = a[0].value;
    const double x = a[1].value.re;
    const double start = a[2].value.re;
    if (e->phaseUpdate) {
        if (e->phaseReset || x <= start) {
            *tentativeX = *committedX = {x, 0.0};
            *tentativeY = *committedY = y;
            *tentativeSum = *committedSum = {0.0, 0.0};
        } else {
            *committedX = *tentativeX;
            *committedY = *tentativeY;
            *committedSum = *tentativeSum;
        }
        return 0;
    }
    a[0].isDigital = 0;
    if (x <= start) {
        a[0].value = {0.0, 0.0};
        return 0;
    }
    // The integral begins at the start: a last accepted point before it
    // contributes no area below the start.
    const double dx = x - (committedX->re < start ? start : committedX->re);
    ComplexNumber sum = {committedSum->re + dx * (y.re + committedY->re) * 0.5,
                         committedSum->im + dx * (y.im + committedY->im) * 0.5};
    *tentativeY = y;
    *tentativeSum = sum;
    *tentativeX = {x, 0.0};
    a[0].value = sum;
    return 0;
}

int EvaluateDifference(CompiledExpression* e, ValueStackEntry* a) {
    if (!ro_HasCells(a + 1, 2)) return kEvalUnknownToken;
    if (ro_IsDelayPhase(e)) return 0;
    ComplexNumber* tentative = ro_Cell(a[1]);
    ComplexNumber* committed = ro_Cell(a[2]);
    if (e->phaseUpdate) {
        if (e->phaseReset) {
            *committed = {1.0, 0.0};
        } else {
            *committed = *tentative;
        }
        return 0;
    }
    *tentative = a[0].value;
    a[0].value.Subtract(*committed);
    a[0].isDigital = 0;
    return 0;
}

// ---- LAST ------------------------------------------------------------------------------
//
// The history holds the n values of the last n accepted points, oldest first,
// then the tentative value of the current point and a mark that it is pending.
// Only an accepted point moves the history on; evaluations at points the
// solver rejects or iterates over replace the tentative value only.

int EvaluateLast(CompiledExpression* e, ValueStackEntry* a) {
    const double nd = std::trunc(a[1].value.re);
    if (!(nd > 0.0)) return 0;  // LAST(y, 0) is y
    if (ro_IsDelayPhase(e)) return 0;
    HistoryBuffer* h = HistoryOfEntry(e, a[2]);
    if (!h || nd > 1e8) return kEvalUnknownToken;
    const int n = static_cast<int>(nd);
    const int needed = n + 2;
    const int index = ro_HistoryIndex(a[2]);
    if (h->capacity < needed || !h->entries) {
        if (GrowHistory(e, index, needed) != 0) return kResultNoMemory;
        h = &e->histories[index];
    }
    ComplexNumber* entries = h->entries;
    if (e->phaseUpdate) {
        if (e->phaseReset) {
            std::memset(static_cast<void*>(entries), 0, sizeof(ComplexNumber) * needed);
        } else if (entries[n + 1].re != 0.0) {
            std::memmove(static_cast<void*>(entries), entries + 1, sizeof(ComplexNumber) * n);
            entries[n + 1] = {0.0, 0.0};
        }
        return 0;
    }
    entries[n] = a[0].value;
    entries[n + 1] = {1.0, 0.0};
    a[0].value = entries[0];
    a[0].isDigital = 0;
    return 0;
}

// ---- DELAY -----------------------------------------------------------------------------
//
// Time history: entry 0 holds the number of stored points (real part) and the
// search position (imaginary part); entries 1..count the stored times. Value
// history: entry 0 the most recent value of the argument, entries 1..count the
// values at the stored times.

namespace {

int ro_GrowDelayHistories(CompiledExpression* e, int timeIndex, int valueIndex, int capacity) {
    if (GrowHistory(e, timeIndex, capacity) != 0) return kResultNoMemory;
    if (GrowHistory(e, valueIndex, capacity) != 0) return kResultNoMemory;
    return 0;
}

}  // namespace

int EvaluateDelay(CompiledExpression* e, ValueStackEntry* a) {
    if (!HistoryOfEntry(e, a[2]) || !HistoryOfEntry(e, a[3])) return kEvalUnknownToken;
    const int timeIndex = ro_HistoryIndex(a[2]);
    const int valueIndex = ro_HistoryIndex(a[3]);
    if (timeIndex == valueIndex) return kEvalUnknownToken;
    double d = a[1].value.re;
    if (!(d >= 0.0)) d = 0.0;  // a signal cannot be read from the future
    const double now = RunVars.time;

    if (e->phaseRunStart) {
        Breakpoints().AddDelayBreakpoints(d);
        return 0;
    }
    if (e->phaseUpdate) {
        if (e->phaseReset) {
            FreeHistory(e, timeIndex);
            FreeHistory(e, valueIndex);
        }
        return 0;
    }
    HistoryBuffer* times = &e->histories[timeIndex];
    HistoryBuffer* values = &e->histories[valueIndex];
    if (e->phaseInitial) {
        if (!times->entries || !values->entries) return 0;  // nothing evaluated since the reset
        int count = static_cast<int>(times->entries[0].re);
        if (count + 1 >= times->capacity || count + 1 >= values->capacity) {
            int capacity = (times->capacity > values->capacity ? times->capacity : values->capacity) + kRoDelayGrowth;
            if (ro_GrowDelayHistories(e, timeIndex, valueIndex, capacity) != 0) return kResultNoMemory;
            times = &e->histories[timeIndex];
            values = &e->histories[valueIndex];
        }
        times->entries[count + 1] = {now, 0.0};
        values->entries[count + 1] = values->entries[0];
        times->entries[0].re = count + 1;
        return 0;
    }

    if (!times->entries || !values->entries || times->capacity < 1 || values->capacity < 1) {
        if (ro_GrowDelayHistories(e, timeIndex, valueIndex, kRoDelayGrowth) != 0) return kResultNoMemory;
        times = &e->histories[timeIndex];
        values = &e->histories[valueIndex];
    }
    const ComplexNumber y = a[0].value;
    const double t = now - d;
    const ComplexNumber* tv = times->entries;
    const ComplexNumber* vv = values->entries;
    const int count = static_cast<int>(tv[0].re);
    ComplexNumber result = y;
    int position = static_cast<int>(tv[0].im);
    if (count >= 1) {
        if (position < 1) position = 1;
        if (position > count) position = count;
        // The search position is where the last evaluation found its time; an
        // evaluation at an earlier time (after the solver rejected a step)
        // searches back from there rather than giving up.
        while (position > 1 && t < tv[position].re) --position;
        bool found = false;
        int i = position;
        for (; i < count; ++i) {
            if (t < tv[i].re) break;
            if (t <= tv[i + 1].re) {
                result = {InterpolateLinearValue(t, tv[i].re, vv[i].re, tv[i + 1].re, vv[i + 1].re), 0.0};
                position = i;
                found = true;
                break;
            }
        }
        if (!found) {
            if (i >= count && count >= 2 && t >= tv[count].re) {
                result = {InterpolateLinearValue(t, tv[count].re, vv[count].re, now, y.re), 0.0};
                position = count;
            } else {
                result = vv[1];
            }
        }
    }
    values->entries[0] = y;
    times->entries[0].im = position < 1 ? 1 : position;
    a[0].value = result;
    a[0].isDigital = 0;
    return 0;
}

// ---- PH and GD -------------------------------------------------------------------------

ComplexNumber UnwrapPhase(const ComplexNumber& z, double previous, int unwrapSetting) {
    double phase = z.PhaseDegrees();
    double diff = previous - phase;
    if (unwrapSetting && std::fabs(diff) > 180.0) {
        // The multiple of 360 that brings the phase nearest the previous one; of
        // two equally near, the smaller shift.
        double turns = std::ceil(std::fabs(diff) / 360.0 - 0.5);
        if (turns < 1.0) turns = 1.0;
        if (turns > 160.0) turns = 160.0;
        phase += diff > 0.0 ? 360.0 * turns : -360.0 * turns;
    }
    return {phase, 0.0};
}

int EvaluatePhase(CompiledExpression* e, ValueStackEntry* a) {
    if (!ro_HasCells(a + 1, 2)) return kEvalUnknownToken;
    if (ro_IsDelayPhase(e)) return 0;
    ComplexNumber* current = ro_Cell(a[1]);
    ComplexNumber* previous = ro_Cell(a[2]);
    if (e->phaseUpdate) {
        if (e->phaseReset) {
            *previous = {1.0, 0.0};
        } else {
            *previous = *current;
        }
        return 0;
    }
    ComplexNumber v = UnwrapPhase(a[0].value, previous->re, PhaseUnwrapSetting);
    *current = v;
    a[0].value = v;
    a[0].isDigital = 0;
    return 0;
}

int EvaluateGroupDelay(CompiledExpression* e, ValueStackEntry* a) {
    if (!ro_HasCells(a + 1, 5)) return kEvalUnknownToken;
    if (ro_IsDelayPhase(e)) return 0;
    ComplexNumber* phase = ro_Cell(a[1]);
    ComplexNumber* previousPhase = ro_Cell(a[2]);
    ComplexNumber* delay = ro_Cell(a[3]);
    ComplexNumber* previousDelay = ro_Cell(a[4]);
    ComplexNumber* olderDelay = ro_Cell(a[5]);
    if (e->phaseUpdate) {
        if (e->phaseReset) {
            *previousPhase = {1.0, 0.0};
            *previousDelay = {1.0, 0.0};
            *olderDelay = {1.0, 0.0};
        } else {
            *previousPhase = *phase;
            *olderDelay = *previousDelay;
            *previousDelay = *delay;
        }
        return 0;
    }
    a[0].isDigital = 0;
    const double f = RunVars.frequency;
    const double fPrevious = gSolver.PreviousFrequencies[0];
    const double df = f - fPrevious;
    if (df == 0.0) {
        a[0].value = {1e-50, 0.0};
        return 0;
    }
    const double p = UnwrapPhase(a[0].value, previousPhase->re, PhaseUnwrapSetting).re;
    double gd = -(p - previousPhase->re) * (3.141592653589793 / 180.0) / df / 6.283185307179586;
    const double c4 = previousDelay->re;
    if (PhaseUnwrapSetting > 2 && gd != 0.0 && c4 != 0.0 && std::fabs(gd) > 5.0 * std::fabs(c4)) {
        double dfPrevious = fPrevious - gSolver.PreviousFrequencies[1];
        if (dfPrevious != 0.0) gd = c4 + (c4 - olderDelay->re) * df / dfPrevious;
    }
    *delay = {gd, 0.0};
    *phase = {p, 0.0};
    a[0].value = {gd, 0.0};
    return 0;
}

// ---- AVG, RMS, MINR and MAXR ----------------------------------------------------------

int EvaluateRunningAverage(CompiledExpression* e, ValueStackEntry* a, bool rms) {
    if (!ro_HasCells(a + 2, 3)) return kEvalUnknownToken;
    if (ro_IsDelayPhase(e)) return 0;
    ComplexNumber* lastX = ro_Cell(a[2]);
    ComplexNumber* tentative = ro_Cell(a[3]);
    ComplexNumber* committed = ro_Cell(a[4]);
    SelectRunVariable();
    const double x = RunX;
    const double start = a[1].value.re;
    const bool upward = RunStart < RunEnd;
    const bool past = upward ? x > start : x < start;
    if (e->phaseUpdate) {
        *lastX = {x, 0.0};
        if (!e->phaseReset && past) {
            *committed = *tentative;
        } else {
            *committed = {0.0, 0.0};
        }
        return 0;
    }
    ComplexNumber v = {0.0, 0.0};
    if (past) {
        // The committed part runs from the start to the last accepted point; a
        // last point still before the start contributes nothing, so the
        // current value covers the whole span from the start.
        const bool lastPast = upward ? lastX->re > start : lastX->re < start;
        const double span = x - start;
        const double before = lastPast ? lastX->re - start : 0.0;
        const double step = span - before;
        const ComplexNumber y = a[0].value;
        if (rms) {
            double re = (before * committed->re * committed->re + step * y.re * y.re) / span;
            double im = (before * committed->im * committed->im + step * y.im * y.im) / span;
            v = {std::sqrt(re > 0.0 ? re : 0.0), std::sqrt(im > 0.0 ? im : 0.0)};
        } else {
            v = {(before * committed->re + step * y.re) / span, (before * committed->im + step * y.im) / span};
        }
    }
    *tentative = v;
    a[0].value = v;
    a[0].isDigital = 0;
    return 0;
}

int EvaluateRunningExtreme(CompiledExpression* e, ValueStackEntry* a, bool maximum) {
    if (!ro_HasCells(a + 1, 2)) return kEvalUnknownToken;
    if (ro_IsDelayPhase(e)) return 0;
    ComplexNumber* latest = ro_Cell(a[1]);
    ComplexNumber* extreme = ro_Cell(a[2]);
    if (e->phaseUpdate) {
        if (e->phaseReset) latest->re = extreme->re = maximum ? -1e200 : 1e200;
        return 0;
    }
    const double v = a[0].value.SignedMagnitude();
    const bool beyond = maximum ? v > extreme->re : v < extreme->re;
    const double r = (beyond && !e->evaluatorWords[kWordHoldExtremes]) ? v : extreme->re;
    *latest = {r, 0.0};
    a[0].value = {r, 0.0};
    a[0].isDigital = 0;
    return 0;
}

void UpdateRunningExtremes(CompiledExpression* expr) {
    if (!expr) return;
    for (ExprToken* t = expr->FirstToken(); t; t = t->Next()) {
        if (t->code != kTokMinR && t->code != kTokMaxR) continue;
        ExprToken* extremeToken = t->Prev();
        ExprToken* latestToken = extremeToken ? extremeToken->Prev() : nullptr;
        if (!latestToken || extremeToken->code != kTokStateCell || latestToken->code != kTokStateCell) continue;
        double* extreme = &extremeToken->operand.cell[0];
        double latest = latestToken->operand.cell[0];
        if (t->code == kTokMinR ? latest < *extreme : latest > *extreme) *extreme = latest;
    }
}

// ---- arrays and performance functions --------------------------------------------------

int EvaluateArrayElement(int element, int array, ComplexNumber* result) {
    const UserArrayView* arrays = gSolver.userArrays;
    if (!arrays || array < 0 || array >= gSolver.userArrayCount || element < 0 ||
        element >= arrays[array].elementCount || !arrays[array].elements || !arrays[array].elements[element]) {
        *result = {0.0, 0.0};
        return kMsgArrayBounds;
    }
    return EvaluateExpression(arrays[array].elements[element], result, nullptr);
}

int EvaluatePerformanceOperator(CompiledExpression* e, ValueStackEntry* topEntry, int available, int functionCode,
                                int* consumed) {
    const int m = Performance().ArgumentCount(functionCode);
    if (m < 2 || m > available || m > 16) return kEvalUnknownToken;
    ValueStackEntry* args = topEntry - (m - 1);
    double index = args[1].value.re;
    if (!e->bodies || !(index >= 0.0) || index >= e->bodyCount) return kEvalUnknownToken;
    double numbers[16];
    for (int i = 2; i < m; ++i) numbers[i - 2] = args[i].value.re;
    double value = 0.0;
    const double reference = args[0].value.re;
    if (!(reference >= 0.0 && reference < 2147483647.0)) return kEvalUnknownToken;
    int code = Performance().Evaluate(functionCode, static_cast<int>(reference), e->bodies[static_cast<int>(index)],
                                      numbers, m - 2, &value);
    if (code) return code;
    args[0].value = {value, 0.0};
    args[0].isDigital = 0;
    args[0].ref = nullptr;
    *consumed = m;
    return 0;
}

double Factorial(double n) {
    if (!(n >= 0.0)) return 1.0;
    int k = n > 170.0 ? 170 : static_cast<int>(n);
    double product = 1.0;
    for (int i = 2; i <= k; ++i) product *= i;
    return product;
}

// ---- RNDI ------------------------------------------------------------------------------

int AllocateIntervalRandomList(int count) {
    FreeIntervalRandomList();
    if (count <= 0) return 0;
    ro_intervalTokens = static_cast<ExprToken**>(MemAllocZero(sizeof(ExprToken*) * static_cast<size_t>(count)));
    if (!ro_intervalTokens) return kResultNoMemory;
    ro_intervalCapacity = count;
    return 0;
}

int CollectIntervalRandomTokens(CompiledExpression* expr) {
    if (!expr || !(expr->flags2 & kExtraRandomPerRun)) return 0;
    for (ExprToken* t = expr->FirstToken(); t; t = t->Next()) {
        if (t->code != kTokRndi) continue;
        if (ro_intervalCount < ro_intervalCapacity) ro_intervalTokens[ro_intervalCount++] = t;
        const double interval = ro_RndiInterval(t);
        if (gSolver.AnalysisKind != 0 || !(interval > 0.0) || !Breakpoints().Collecting() ||
            !(gSolver.DigitalTick > 0.0))
            continue;
        for (long k = 0; k < kRoMaxIntervalBreakpoints; ++k) {
            double time = RunVars.tmin + static_cast<double>(k) * interval;
            if (time > RunVars.tmax) break;
            double ticks = time / gSolver.DigitalTick;
            if (!(ticks >= -9e18 && ticks <= 9e18)) break;
            if (!Breakpoints().Add(static_cast<int64_t>(ticks), 0)) break;
        }
    }
    return 0;
}

void RefreshIntervalRandomValues() {
    const double now = RunVars.time;
    for (int i = 0; i < ro_intervalCount; ++i) {
        ExprToken* t = ro_intervalTokens[i];
        const double interval = ro_RndiInterval(t);
        if (!(interval > 0.0)) continue;
        const double phase = std::fmod(now, interval);
        if (phase < 1e-14 || phase > interval - 1e-14) t->operand.value = NextRandom();
    }
}

void FreeIntervalRandomList() {
    MemFree(ro_intervalTokens);
    ro_intervalTokens = nullptr;
    ro_intervalCount = 0;
    ro_intervalCapacity = 0;
}
