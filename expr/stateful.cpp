#include "expr/stateful.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/pool.h"
#include "core/result.h"
#include "core/services.h"
#include "expr/compiled.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/runtime_ops.h"
#include "expr/services.h"
#include "expr/symbols.h"

double RunStart = 0.0;
double RunEnd = 0.0;
double RunX = 0.0;
uint32_t RandomSeed = 1;

namespace {

constexpr double kSfPi = 3.141592653589793;
constexpr double kSfEulerGamma = 0.5772;  // four digits, as the Bessel series always used

// The device lists whose expressions the run phases reach, in their order.
constexpr int kSfStatefulLists[] = {kListResistors, kListCapacitors, kListInductors, kListLaplaceSources,
                                    kListFunctionSources};
// The lists of random and breakpoint-bearing expressions, in their order.
constexpr int kSfRandomLists[] = {kListFunctionSources, kListLaplaceSources, kListResistors, kListCapacitors,
                                  kListInductors};

// Calls fn for expression `which` of every live record of a list; stops at the
// first non-zero result and returns it.
template <class Fn>
int sf_ForEachRecordExpression(int list, int which, Fn fn) {
    for (PoolItem* item = DeviceLists()[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        CompiledExpression* expr = DeviceRecords().RecordExpression(list, static_cast<DeviceRecord*>(item), which);
        if (!expr) continue;
        int code = fn(expr);
        if (code) return code;
    }
    return 0;
}

// Calls fn for the X and Y expression of every plot curve.
template <class Fn>
int sf_ForEachCurveExpression(AnalysisExpressions* document, Fn fn) {
    if (!document || !document->curves) return 0;
    for (int i = 0; i < document->curveCount; ++i) {
        CompiledExpression* pair[2] = {document->curves[i].x, document->curves[i].y};
        for (CompiledExpression* expr : pair) {
            if (!expr) continue;
            int code = fn(expr);
            if (code) return code;
        }
    }
    return 0;
}

// Adds a transient breakpoint at a time in seconds: 0, or 15002 when the
// breakpoint list refuses it. Nothing to do while no breakpoint list exists.
int sf_AddBreakpointAt(double time) {
    if (!Breakpoints().Collecting() || !(gSolver.DigitalTick > 0.0)) return 0;
    double ticks = time / gSolver.DigitalTick;
    if (!(ticks >= -9e18 && ticks <= 9e18)) return 0;
    return Breakpoints().Add(static_cast<int64_t>(ticks), 0) ? 0 : kResultNoMemory;
}

// The value of a constant operand token (codes 4, 7, 11); false for others.
bool sf_ConstantOperand(const ExprToken* t, double* value) {
    if (!t) return false;
    switch (t->code) {
    case kTokConstant: *value = t->operand.value; return true;
    case kTokDoubleOperand:
        if (!t->operand.doublePtr) return false;
        *value = *t->operand.doublePtr;
        return true;
    case kTokIntOperand:
        if (!t->operand.intPtr) return false;
        *value = *t->operand.intPtr;
        return true;
    default: return false;
    }
}

void sf_RedrawTokens(CompiledExpression* expr, int code, uint32_t bit) {
    if (!(expr->flags2 & bit)) return;
    for (ExprToken* t = expr->FirstToken(); t; t = t->Next())
        if (t->code == code) t->operand.value = NextRandom();
}

int sf_CountTokens(const CompiledExpression* expr, int code) {
    int n = 0;
    for (ExprToken* t = expr->FirstToken(); t; t = t->Next())
        if (t->code == code) ++n;
    return n;
}

// The factorial ratio k!/(k-1)! of the Bessel series, whose factorials stop at 170!.
inline double sf_FactorialStep(int k) { return (k >= 1 && k <= 170) ? static_cast<double>(k) : 1.0; }

// True when a series term ends the summation: too large, or non-zero and tiny.
inline bool sf_TermEndsSeries(const ComplexNumber& term) {
    double r = std::fabs(term.re), i = std::fabs(term.im);
    return r > 1e300 || i > 1e300 || (r != 0.0 && r < 1e-300) || (i != 0.0 && i < 1e-300);
}

// Sum over k = 0..K of sign^k * weight(k) * w^(2k) * first, first the k = 0
// term; each term follows from the one before through w^2 / (k (n + k)) with
// the factorials of the series (stopping at 170!).
template <class Weight>
ComplexNumber sf_BesselSeries(int n, const ComplexNumber& w, ComplexNumber first, int terms, bool alternate,
                              Weight weight) {
    ComplexNumber w2 = w;
    w2.Multiply(w);
    const double w2Magnitude = w2.Magnitude();
    ComplexNumber sum = {0.0, 0.0};
    ComplexNumber term = first;  // without its weight
    for (int k = 0; k <= terms; ++k) {
        if (k > 0) {
            double divisor = sf_FactorialStep(k) * sf_FactorialStep(n + k);
            // Stop before a step that would overflow rather than raise the flag.
            if (term.Magnitude() * (w2Magnitude / divisor) > 1e300) break;
            term.Multiply(w2);
            term.Scale((alternate ? -1.0 : 1.0) / divisor);
        }
        ComplexNumber weighted = term;
        weighted.Scale(weight(k));
        if (sf_TermEndsSeries(weighted)) break;
        sum.Add(weighted);
    }
    return sum;
}

}  // namespace

// ---- run variables -------------------------------------------------------------------

void SelectRunVariable() {
    switch (gSolver.AnalysisKind) {
    case 0:
    case 3:
        RunStart = RunVars.tmin;
        RunEnd = RunVars.tmax;
        RunX = RunVars.time;
        break;
    case 1:
        RunStart = RunVars.fmin;
        RunEnd = RunVars.fmax;
        RunX = RunVars.frequency;
        break;
    case 2:
        RunStart = RunVars.dcmin;
        RunEnd = RunVars.dcmax;
        RunX = RunVars.dcInput1;
        break;
    default: break;
    }
}

double* RunStartVariable() {
    switch (gSolver.AnalysisKind) {
    case 0:
    case 3: return &RunVars.tmin;
    case 1: return &RunVars.fmin;
    case 2: return &RunVars.dcmin;
    default: return nullptr;
    }
}

// ---- random values -------------------------------------------------------------------

double NextRandom() {
    RandomSeed = RandomSeed * 214013u + 2531011u;
    return static_cast<double>((RandomSeed >> 16) & 0x7FFFu) * (1.0 / 32767.0);
}

uint32_t SeedRandom(int32_t seed) {
    uint32_t previous = RandomSeed;
    if (seed > 0) {
        RandomSeed = static_cast<uint32_t>(seed);
    } else {
        RandomSeed = static_cast<uint32_t>(static_cast<uint64_t>(GetSeconds() * 1000.0));
    }
    return previous;
}

void RedrawRandomValues(AnalysisExpressions* document, int code) {
    const uint32_t bit = code == kTokRnd ? kExtraRandomOnRequest : kExtraRandomPerRun;
    sf_ForEachCurveExpression(document, [&](CompiledExpression* expr) {
        sf_RedrawTokens(expr, code, bit);
        return 0;
    });
    for (int list : kSfRandomLists) {
        if (!DeviceLists()[list].hasRandomExpressions) continue;
        sf_ForEachRecordExpression(list, 0, [&](CompiledExpression* expr) {
            sf_RedrawTokens(expr, code, bit);
            return 0;
        });
    }
}

void ScanRandomFlags(AnalysisExpressions* document) {
    for (int list : kSfRandomLists) {
        int found = sf_ForEachRecordExpression(list, 0, [](CompiledExpression* expr) {
            return (expr->flags2 & (kExtraRandomPerRun | kExtraRandomOnRequest)) ? 1 : 0;
        });
        DeviceLists()[list].hasRandomExpressions = found ? 1 : 0;
    }
    // RNDC values are drawn once per run like RNDR ones.
    RedrawRandomValues(document, kTokRndr);
    RedrawRandomValues(document, kTokRndc);
    RedrawRandomValues(document, kTokRnd);
}

int PrepareIntervalRandoms(AnalysisExpressions* document) {
    int count = 0;
    auto counter = [&](CompiledExpression* expr) {
        if (expr->flags2 & kExtraRandomPerRun) count += sf_CountTokens(expr, kTokRndi);
        return 0;
    };
    sf_ForEachCurveExpression(document, counter);
    for (int list : kSfRandomLists) sf_ForEachRecordExpression(list, 0, counter);
    int code = AllocateIntervalRandomList(count);
    if (code || count == 0) return code;
    auto collector = [](CompiledExpression* expr) { return CollectIntervalRandomTokens(expr); };
    code = sf_ForEachCurveExpression(document, collector);
    for (int list : kSfRandomLists) {
        if (code) break;
        code = sf_ForEachRecordExpression(list, 0, collector);
    }
    return code;
}

// ---- run phases ----------------------------------------------------------------------

int NotifyExpressionOfRunPhase(CompiledExpression* expr, int phase) {
    if (!expr) return 0;
    int code = 0;
    if (phase == kPhaseInitial || phase == kPhaseRunStart) {
        if (!(expr->flags2 & kExtraAnalogDelay)) return 0;
        int32_t& word = phase == kPhaseInitial ? expr->phaseInitial : expr->phaseRunStart;
        word = 1;
        code = EvaluateExpression(expr, nullptr, nullptr);
        word = 0;
    } else if (phase == kPhaseReset || phase == kPhaseAccept) {
        // An analog DELAY keeps its stored points in histories that the reset
        // of every run must empty, though its symbol carries no stateful unit bit.
        if (!(expr->flags & kUnitStateful) && !(expr->flags2 & kExtraAnalogDelay)) return 0;
        expr->phaseUpdate = 1;
        expr->phaseReset = phase == kPhaseReset ? 1 : 0;
        code = EvaluateExpression(expr, nullptr, nullptr);
        expr->phaseUpdate = 0;
        expr->phaseReset = 0;
    }
    return code;
}

int UpdateStatefulExpressions(AnalysisExpressions* document, int phase) {
    int first = 0;
    auto notify = [&](CompiledExpression* expr) {
        int code = NotifyExpressionOfRunPhase(expr, phase);
        if (code && !first) first = code;
        return 0;
    };
    sf_ForEachCurveExpression(document, notify);
    for (int list : kSfStatefulLists)
        if (DeviceLists()[list].hasStatefulExpressions) sf_ForEachRecordExpression(list, 0, notify);
    if (DeviceLists()[kListSampleHolds].hasStatefulExpressions) {
        sf_ForEachRecordExpression(kListSampleHolds, 0, notify);
        if (DeviceLists()[kListSampleHolds].hasStatefulExpressions2)
            sf_ForEachRecordExpression(kListSampleHolds, 1, notify);
    }
    if (DeviceLists()[kListTimers].hasStatefulExpressions) sf_ForEachRecordExpression(kListTimers, 0, notify);
    if (phase == kPhaseRunStart) Breakpoints().ResetDelayBreakpointKinds();
    return first;
}

void UpdateAllRunningExtremes(AnalysisExpressions* document) {
    auto commit = [](CompiledExpression* expr) {
        if (expr->flags2 & kExtraRunningExtreme) UpdateRunningExtremes(expr);
        return 0;
    };
    sf_ForEachCurveExpression(document, commit);
    if (DeviceLists()[kListFunctionSources].hasStatefulExpressions)
        sf_ForEachRecordExpression(kListFunctionSources, 0, commit);
    if (DeviceLists()[kListSampleHolds].hasStatefulExpressions) {
        sf_ForEachRecordExpression(kListSampleHolds, 0, commit);
        if (DeviceLists()[kListSampleHolds].hasStatefulExpressions2)
            sf_ForEachRecordExpression(kListSampleHolds, 1, commit);
    }
}

// ---- breakpoints -----------------------------------------------------------------------

double ImpulseValue(double a, double t) {
    const double width = a == 0.0 ? 1e9 : 1.0 / a;
    const double rise = width * 1e-4;
    if (t < 0.0) return 0.0;
    if (t < rise) return a * t / rise;
    if (t <= rise + width) return a;
    if (t < 2.0 * rise + width) return a * (2.0 * rise + width - t) / rise;
    return 0.0;
}

int AddImpulseBreakpoints(CompiledExpression* expr) {
    if (!expr || !(expr->flags & (kUnitStp | kUnitImpulse))) return 0;
    for (ExprToken* t = expr->FirstToken(); t; t = t->Next()) {
        if (t->code != kTokStp && t->code != kTokImpulse) continue;
        double value;
        if (!sf_ConstantOperand(t->Prev(), &value)) continue;
        int code;
        if (t->code == kTokStp) {
            code = sf_AddBreakpointAt(value);
        } else {
            const double width = value == 0.0 ? 1e9 : 1.0 / value;
            const double rise = width * 1e-4;
            code = sf_AddBreakpointAt(rise);
            if (!code) code = sf_AddBreakpointAt(width + rise);
            if (!code) code = sf_AddBreakpointAt(width + 2.0 * rise);
        }
        if (code) return code;
    }
    return 0;
}

int SetupExpressionBreakpoints(AnalysisExpressions* document) {
    if (gSolver.AnalysisKind != 0) return 0;
    auto add = [](CompiledExpression* expr) { return AddImpulseBreakpoints(expr); };
    int code = sf_ForEachCurveExpression(document, add);
    for (int list : kSfRandomLists) {
        if (code) break;
        code = sf_ForEachRecordExpression(list, 0, add);
    }
    return code;
}

// ---- noise -------------------------------------------------------------------------------

double EvaluateNoise(int input) {
    const NoiseSourceTable& noise = gSolver.NoiseSources;
    auto nodeValue = [&](int node) -> ComplexNumber {
        if (node <= 0 || !noise.solution || node >= noise.nodeCount) return {0.0, 0.0};
        return noise.solution[node];
    };
    double sum = 0.0;
    for (int i = 0; noise.sources && i < noise.count; ++i) {
        const NoiseSourceEntry& source = noise.sources[i];
        ComplexNumber v = nodeValue(source.nodePlus);
        v.Subtract(nodeValue(source.nodeMinus));
        v.Scale(source.weight);
        sum += v.re * v.re + v.im * v.im;
    }
    if (!(sum > 0.0)) sum = 1e-50;
    double output = std::sqrt(sum);
    if (!input) return output;
    double gain = 0.0;
    for (int i = 0; noise.inputPairs && i < noise.inputPairCount; ++i) {
        ComplexNumber product = noise.inputPairs[2 * i];
        product.Multiply(noise.inputPairs[2 * i + 1]);
        gain += product.Magnitude();
    }
    gain /= noise.inputAmplitude == 0.0 ? 1.0 : noise.inputAmplitude;
    if (gain == 0.0) gain = 1e-30;
    return output / gain;
}

// ---- Bessel series ---------------------------------------------------------------------------

void ComplexBesselJ(int n, const ComplexNumber& z, int terms, ComplexNumber* result) {
    if (terms > 80) terms = 80;
    if (terms < 0) terms = 0;
    if (n > 1000 || n < -1000) {
        *result = {0.0, 0.0};
        return;
    }
    // J_n(z) = z^n * sum (-1)^i z^(2i) / (2^(n+2i) i! (n+i)!)
    const ComplexNumber half = {z.re * 0.5, z.im * 0.5};
    ComplexNumber first = {std::ldexp(1.0, -n) / Factorial(n), 0.0};
    ComplexNumber sum = sf_BesselSeries(n, half, first, terms, true, [](int) { return 1.0; });
    ComplexNumber zn;
    ComplexPowReal(zn, z, n);
    zn.Multiply(sum);
    *result = zn;
}

void ComplexBesselY(int n, const ComplexNumber& z, int terms, ComplexNumber* result) {
    if (terms > 80) terms = 80;
    if (terms < 0) terms = 0;
    if (n > 1000 || n < 0) {
        *result = {0.0, 0.0};
        return;
    }
    const ComplexNumber half = {z.re * 0.5, z.im * 0.5};
    // (2/pi) J_n(z) (ln(z/2) + gamma)
    ComplexNumber j;
    ComplexBesselJ(n, z, terms, &j);
    ComplexNumber logHalf = half;
    ComplexLog(logHalf);
    logHalf.re += kSfEulerGamma;
    ComplexNumber y = j;
    y.Multiply(logHalf);
    y.Scale(2.0 / kSfPi);
    // - (1/pi) sum_{k<n} ((n-k-1)!/k!) (z/2)^(2k-n)
    for (int k = 0; k < n; ++k) {
        ComplexNumber p;
        ComplexPowReal(p, half, 2.0 * k - n);
        p.Scale(Factorial(n - k - 1) / Factorial(k) / kSfPi);
        y.Subtract(p);
    }
    // - (1/pi) sum_k (-1)^k (H_k + H_(n+k)) (z/2)^(2k+n) / (k! (n+k)!)
    double harmonicN = 0.0;
    for (int m = 1; m <= n; ++m) harmonicN += 1.0 / m;
    ComplexNumber first;
    ComplexPowReal(first, half, n);
    first.Scale(1.0 / Factorial(n));
    double hk = 0.0, hnk = harmonicN;
    int lastK = -1;
    ComplexNumber tail = sf_BesselSeries(n, half, first, terms, true, [&](int k) {
        // the harmonic numbers of k and n + k, kept up to date as k rises
        while (lastK < k) {
            ++lastK;
            if (lastK > 0) {
                hk += 1.0 / lastK;
                hnk += 1.0 / (n + lastK);
            }
        }
        return hk + hnk;
    });
    tail.Scale(1.0 / kSfPi);
    y.Subtract(tail);
    *result = y;
}

// ---- digital differences -----------------------------------------------------------------

namespace {

inline int sf_DifferenceLevel(double value) {
    return (value >= 0.0 && value < 65536.0) ? static_cast<int>(static_cast<uint32_t>(value) & 7u) : 0;
}

}  // namespace

int ThinDifferencePoints(DifferencePoints* points, bool* thinned) {
    int kept = 0;
    bool hasLast = points->hasLastKept;
    double lastX = points->lastKeptX, lastY = points->lastKeptY;
    for (int i = 0; i < points->count; ++i) {
        const double x = points->x[i], y = points->y[i];
        const bool keep = !hasLast || sf_DifferenceLevel(y) != sf_DifferenceLevel(lastY) ||
                          std::fabs(x - lastX) >= points->resolution;
        if (!keep) {
            *thinned = true;
            continue;
        }
        points->x[kept] = x;
        points->y[kept] = y;
        ++kept;
        hasLast = true;
        lastX = x;
        lastY = y;
    }
    return kept;
}

int WriteDifferenceErrors(const double* x, const double* y, int count, bool digitalStates, const char* circuit,
                          const char* xName, const char* curveText, void (*writeLine)(const char* line, void* context),
                          void* context, int* linesLeft) {
    int written = 0;
    for (int i = 0; i<count&& * linesLeft> 0 && writeLine; ++i) {
        const bool difference = digitalStates ? sf_DifferenceLevel(y[i]) == 3 : y[i] == 1.0;
        if (!difference) continue;
        char line[600];
        std::snprintf(line, sizeof line, "%s At %s = %g, %s generated an error.\r\n", circuit ? circuit : "",
                      xName ? xName : "", x[i], curveText ? curveText : "");
        writeLine(line, context);
        --*linesLeft;
        ++written;
    }
    return written;
}
