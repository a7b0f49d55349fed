#include "expr/evaluate.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#if defined(__x86_64__) && defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "core/messages.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/runstate.h"
#include "expr/runtime_ops.h"
#include "expr/services.h"
#include "expr/stateful.h"
#include "expr/symbols.h"

namespace {

constexpr int32_t kEvDialectSpice3 = 19603;
constexpr double kEvTwoPi = 6.283185307179586;
constexpr double kEvFourPi = 12.566370614359172;
constexpr uint32_t kEvFullStrength = 0x1F8;
constexpr double kEvLog10OfE = 0.43429448190325176;
// Nested evaluations (array elements, bodies) each push at least one value, so
// the value stack bounds them; this bounds the C++ recursion on its own too.
constexpr int kEvMaxDepth = kValueStackSize + 16;
// The floating-point error numbers of the unit's status bits.
constexpr int kEvMathInvalid = 129;
constexpr int kEvMathDenormal = 130;
constexpr int kEvMathZeroDivide = 131;
constexpr int kEvMathOverflow = 132;
constexpr int kEvMathUnderflow = 133;

// ---- digital values ----------------------------------------------------------------

// The bits of a digital state held in a value (0 for a value that is none).
inline uint32_t ev_StateBits(double state) {
    return (state >= 0.0 && state < 65536.0) ? static_cast<uint32_t>(state) : 0u;
}

// The level of a digital state; a state without strength counts as X.
inline uint32_t ev_Level(double state) {
    uint32_t s = ev_StateBits(state);
    if ((s & kEvFullStrength) == 0) return 4;
    return s & 7;
}

// The standard four-valued logic over "0RF1XZ?", used while the digital
// simulator has not installed its own tables. R and F behave as the level they
// move to where the other operand decides nothing.
uint32_t ev_DefaultNot(uint32_t a) {
    switch (a) {
    case 0: return 3;
    case 1: return 2;
    case 2: return 1;
    case 3: return 0;
    default: return 4;
    }
}
uint32_t ev_DefaultAnd(uint32_t a, uint32_t b) {
    if (a == 0 || b == 0) return 0;
    if (a == 3) return (b <= 3) ? b : 4;
    if (b == 3) return (a <= 3) ? a : 4;
    if (a == b && (a == 1 || a == 2)) return a;
    return 4;
}
uint32_t ev_DefaultOr(uint32_t a, uint32_t b) {
    if (a == 3 || b == 3) return 3;
    if (a == 0) return (b <= 3) ? b : 4;
    if (b == 0) return (a <= 3) ? a : 4;
    if (a == b && (a == 1 || a == 2)) return a;
    return 4;
}
uint32_t ev_DefaultXor(uint32_t a, uint32_t b) {
    if ((a == 0 || a == 3) && (b == 0 || b == 3)) return (a == b) ? 0 : 3;
    return 4;
}

double ev_DigitalNot(double t) {
    uint32_t a = ev_Level(t);
    uint32_t r = gSolver.notTable ? gSolver.notTable[a] : ev_DefaultNot(a);
    return static_cast<double>(r | kEvFullStrength);
}

// op: 0 AND, 1 OR, 2 XOR.
double ev_DigitalBinary(double x, double y, int op) {
    uint32_t a = ev_Level(x);
    uint32_t b = ev_Level(y);
    const uint16_t* table = op == 0 ? gSolver.andTable : op == 1 ? gSolver.orTable : gSolver.xorTable;
    uint32_t r;
    if (table) {
        r = table[a * 8 + b];
    } else {
        r = op == 0 ? ev_DefaultAnd(a, b) : op == 1 ? ev_DefaultOr(a, b) : ev_DefaultXor(a, b);
    }
    return static_cast<double>(r | kEvFullStrength);
}

// ---- small helpers ----------------------------------------------------------------

inline bool ev_IsSpice3(const CompiledExpression* e) { return e->dialect == kEvDialectSpice3; }

inline void ev_SetReal(ValueStackEntry& entry, double x) {
    entry.value.re = x;
    entry.value.im = 0.0;
}

// The real power of the ** operator: a negative base with a non-integral
// exponent gives 0.
inline double ev_RealPower(double base, double exponent) {
    if (base >= 0.0 || IsIntegerValue(exponent)) return GuardedPow(base, exponent);
    return 0.0;
}

// The node value: the real solution while the Newton iteration runs on it,
// else the complex point value. Nodes outside the vectors read 0.
inline ComplexNumber ev_NodeValue(int32_t node) {
    if (gSolver.SolverIterating) {
        if (gSolver.RealSolution && node >= 0 && node < gSolver.realCount) return {gSolver.RealSolution[node], 0.0};
        return {0.0, 0.0};
    }
    if (gSolver.ComplexPointValues && node >= 0 && node < gSolver.complexCount) return gSolver.ComplexPointValues[node];
    return {0.0, 0.0};
}

// The compared value of a comparison in the expression's dialect.
inline double ev_Truth(const CompiledExpression* e, bool condition) {
    if (ev_IsSpice3(e)) return condition ? GlobalSettings.lone : GlobalSettings.lzero;
    return condition ? 1.0 : 0.0;
}

// Evaluates a body of the expression (SERIES, PROD, DER) with the owner's run
// phase, so that stateful functions inside it follow the owner's run.
int ev_EvaluateBody(CompiledExpression* owner, CompiledExpression* body, ComplexNumber* value) {
    int32_t saved[4] = {body->phaseReset, body->phaseUpdate, body->phaseRunStart, body->phaseInitial};
    body->phaseReset = owner->phaseReset;
    body->phaseUpdate = owner->phaseUpdate;
    body->phaseRunStart = owner->phaseRunStart;
    body->phaseInitial = owner->phaseInitial;
    int code = EvaluateExpression(body, value, nullptr);
    body->phaseReset = saved[0];
    body->phaseUpdate = saved[1];
    body->phaseRunStart = saved[2];
    body->phaseInitial = saved[3];
    return code;
}

CompiledExpression* ev_BodyOfEntry(CompiledExpression* e, const ValueStackEntry& entry) {
    double index = entry.value.re;
    if (!(index >= 0.0) || index >= e->bodyCount || !e->bodies) return nullptr;
    return e->bodies[static_cast<int>(index)];
}

// TABLE: `args` points at x; count is the number of arguments (x and the pairs).
double ev_TableLookup(const ValueStackEntry* args, int count) {
    double x = args[0].value.re;
    int pairs = (count - 1) / 2;
    double smallestX = 0.0, smallestY = 0.0, largestX = 0.0, largestY = 0.0;
    for (int i = 0; i < pairs; ++i) {
        double xi = args[1 + 2 * i].value.re;
        double yi = args[2 + 2 * i].value.re;
        if (i == 0 || xi < smallestX) {
            smallestX = xi;
            smallestY = yi;
        }
        if (i == 0 || xi > largestX) {
            largestX = xi;
            largestY = yi;
        }
        if (i > 0) {
            double x0 = args[2 * i - 1].value.re;
            double y0 = args[2 * i].value.re;
            if ((x0 <= x && x <= xi) || (xi <= x && x <= x0)) return InterpolateLinearValue(x, x0, y0, xi, yi);
        }
    }
    return x < smallestX ? smallestY : largestY;
}

// BIN and friends: the n digital states from args[0] (most significant) on.
double ev_DigitalBits(const ValueStackEntry* args, int n) {
    double value = 0.0;
    for (int i = 0; i < n; ++i) value = value * 2.0 + (ev_Level(args[i].value.re) != 0 ? 1.0 : 0.0);
    return value;
}

// JN and YN: entries n, x, k.
void ev_BesselN(ValueStackEntry* args, bool secondKind) {
    double orderValue = std::trunc(args[0].value.re);
    int order = 0;
    if (orderValue > 100000.0) {
        order = 100000;
    } else if (orderValue < -100000.0) {
        order = -100000;
    } else if (orderValue == orderValue) {
        order = static_cast<int>(orderValue);
    }
    ComplexNumber x = args[1].value;
    double k = args[2].value.re;
    ComplexNumber result;
    if (x.im == 0.0 && k == -10.0) {
        double xr = x.re;
        if (secondKind && xr < 1e-15) xr = 1e-15;
        double v;
        if (order < 1) {
            v = secondKind ? ::y0(xr) : ::j0(xr);
        } else if (order == 1) {
            v = secondKind ? ::y1(xr) : ::j1(xr);
        } else {
            v = secondKind ? ::yn(order, xr) : ::jn(order, xr);
        }
        result = {v, 0.0};
    } else {
        int terms = std::fabs(k) <= 80.0 ? static_cast<int>(std::fabs(k)) : 80;
        if (secondKind) {
            ComplexBesselY(order, x, terms, &result);
        } else {
            ComplexBesselJ(order, x, terms, &result);
        }
    }
    args[0].value = result;
    args[0].isDigital = 0;
}

// J0, J1, Y0, Y1.
void ev_Bessel01(ValueStackEntry& t, int order, bool secondKind) {
    if (t.value.im != 0.0) {
        ComplexNumber z = t.value;
        if (secondKind) {
            ComplexBesselY(order, z, 10, &t.value);
        } else {
            ComplexBesselJ(order, z, 10, &t.value);
        }
        return;
    }
    double x = t.value.re;
    if (secondKind) {
        if (x < 1e-15) x = 1e-15;
        t.value.re = order == 0 ? ::y0(x) : ::y1(x);
    } else {
        t.value.re = order == 0 ? ::j0(x) : ::j1(x);
    }
}

void ev_ApplyComplexFunction(int code, ComplexNumber& z) {
    switch (code) {
    case kTokSin: ComplexSin(z); break;
    case kTokCos: ComplexCos(z); break;
    case kTokTan: ComplexTan(z); break;
    case kTokCot: ComplexCot(z); break;
    case kTokSec: ComplexSec(z); break;
    case kTokCsc: ComplexCsc(z); break;
    case kTokAsin: ComplexAsin(z); break;
    case kTokAcos: ComplexAcos(z); break;
    case kTokAtan: ComplexAtan(z); break;
    case kTokAcot: ComplexAcot(z); break;
    case kTokAsec: ComplexAsec(z); break;
    case kTokAcsc: ComplexAcsc(z); break;
    case kTokSinh: ComplexSinh(z); break;
    case kTokCosh: ComplexCosh(z); break;
    case kTokTanh: ComplexTanh(z); break;
    case kTokCoth: ComplexCoth(z); break;
    case kTokSech: ComplexSech(z); break;
    case kTokCsch: ComplexCsch(z); break;
    case kTokAsinh: ComplexAsinh(z); break;
    case kTokAcosh: ComplexAcosh(z); break;
    case kTokAtanh: ComplexAtanh(z); break;
    case kTokAcoth: ComplexAcoth(z); break;
    case kTokAsech: ComplexAsech(z); break;
    default: ComplexAcsch(z); break;
    }
}

// The core quantities of the inductor named by the part-reference token before
// `token`; false when there is none or its state cannot be read.
bool ev_CoreQuantity(const ExprToken* token, ValueStackEntry& entry) {
    const ExprToken* part = token->Prev();
    if (!part || part->code != kTokPartReference) return false;
    const InductorCoreState* core = DeviceRecords().InductorCore(part->operand.pointer);
    if (!core) return false;
    double v;
    switch (token->code) {
    case kTokCoreB: v = (core->HI + core->M) * kEvFourPi / 1000.0; break;
    case kTokCoreH: v = core->H * kEvFourPi / 1000.0; break;
    case kTokBsi: v = (core->HI + core->M) * kEvFourPi * 1e-7; break;
    case kTokHsi: v = core->H; break;
    case kTokCoreM: v = core->M; break;
    case kTokCoreManl: v = core->MANL; break;
    case kTokCoreMan: v = core->MAN; break;
    case kTokCoreMl: v = core->ML; break;
    case kTokCoreHl: v = core->HL; break;
    case kTokCoreDmdh: v = core->DMDH; break;
    case kTokCoreHi: v = core->HI; break;
    default: v = core->HIL; break;
    }
    ev_SetReal(entry, v);
    return true;
}

// SERIES (product false) and PROD: entries slot, start, end, body.
int ev_SeriesOrProduct(CompiledExpression* e, ValueStackEntry* args, bool product) {
    double* slot = static_cast<double*>(args[0].ref);
    CompiledExpression* body = ev_BodyOfEntry(e, args[3]);
    if (!slot || !body) return kEvalUnknownToken;
    double start = std::trunc(args[1].value.re);
    double end = std::trunc(args[2].value.re);
    if (end > 10000000.0) end = 10000000.0;
    ComplexNumber acc = product ? ComplexNumber{1.0, 0.0} : ComplexNumber{0.0, 0.0};
    int code = 0;
    const long termCost = std::max<long>(1, body->tokens.count);
    EvaluationContext& ctx = CurrentEvaluationContext();
    for (double a = start; a <= end; a += 1.0) {
        ctx.seriesWorkLeft -= termCost;
        if (ctx.seriesWorkLeft < 0) {
            SetPendingMessage(kMsgSeriesTooLong, kSeriesWorkBudget);
            code = kResultPending;
            break;
        }
        *slot = a;
        ComplexNumber v;
        code = ev_EvaluateBody(e, body, &v);
        if (code) break;
        if (product) {
            acc.Multiply(v);
        } else {
            acc.Add(v);
        }
    }
    args[0].value = acc;
    args[0].isDigital = 0;
    args[0].ref = nullptr;
    return code;
}

// The floating-point error number of the first fault the status words show:
// zero divide, overflow, underflow, invalid operation, denormal operand; 0 when
// none (inexact results do not count). Read after every evaluation, so on
// x86-64 both units' words (SSE for double arithmetic, x87 for the library
// routines that use it) are read directly rather than through fetestexcept.
int ev_RaisedMathError() {
#if defined(__x86_64__) && defined(__SSE2__)
    unsigned short x87;
    __asm__ volatile("fnstsw %0" : "=m"(x87));
    const unsigned status = _mm_getcsr() | x87;  // the same bit for the same fault
    if (status & 0x04) return kEvMathZeroDivide;
    if (status & 0x08) return kEvMathOverflow;
    if (status & 0x10) return kEvMathUnderflow;
    if (status & 0x01) return kEvMathInvalid;
    if (status & 0x02) return kEvMathDenormal;
    return 0;
#else
    const int raised = std::fetestexcept(FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW | FE_INVALID);
    if (raised & FE_DIVBYZERO) return kEvMathZeroDivide;
    if (raised & FE_OVERFLOW) return kEvMathOverflow;
    if (raised & FE_UNDERFLOW) return kEvMathUnderflow;
    if (raised & FE_INVALID) return kEvMathInvalid;
    return 0;
#endif
}

// Clears the fault flags of both units (the denormal flag too, which the
// standard set does not name).
void ev_ClearMathStatus() {
    std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__x86_64__) && defined(__SSE2__)
    _mm_setcsr(_mm_getcsr() & ~0x3Fu);
    __asm__ volatile("fnclex");
#endif
}

// The math-error text of an error number: the string table's entry 14971 + n.
const char* ev_MathErrorText(int number) {
    if (number >= 129 && number <= 139) {
        const char* text = GetMessageText(14971 + number);
        if (text) return text;
    }
    return "math error";
}

}  // namespace

// ---- public helpers ------------------------------------------------------------------

bool IsIntegerValue(double x) { return x >= -2147483648.0 && x <= 2147483647.0 && x == std::trunc(x); }

void MagnitudesForCompare(const ComplexNumber& a, const ComplexNumber& b, double* outA, double* outB) {
    if (a.im == 0.0 && b.im == 0.0) {
        *outA = a.re;
        *outB = b.re;
    } else {
        *outA = std::sqrt(a.re * a.re + a.im * a.im);
        *outB = std::sqrt(b.re * b.re + b.im * b.im);
    }
}

void ResetFloatingPointState() {
    EvaluationContext& ctx = CurrentEvaluationContext();
    ev_ClearMathStatus();
    ctx.error = 0;
    ctx.mathErrorNumber = 0;
}

int CheckMathError() {
    EvaluationContext& ctx = CurrentEvaluationContext();
    if (ctx.error == 0) {
        int number = ev_RaisedMathError();
        if (number) {
            ctx.mathErrorNumber = number;
            ev_ClearMathStatus();
            ctx.error = kEvalMathDetected;
        }
    }
    int code = ctx.error;
    if (code == kEvalMathDetected) {
        ev_ClearMathStatus();
        SetPendingMessage(kMsgFloatingPoint, ev_MathErrorText(ctx.mathErrorNumber));
        ev_ClearMathStatus();
        ctx.mathErrorNumber = 0;
        code = kEvalMathPending;
    }
    ctx.error = 0;
    return code;
}

int ReportMathLibraryError(MathLibraryError* error) {
    static const char* const kKinds[] = {
        "Domain error",          "Argument singularity",       "Overflow range error",
        "Underflow range error", "Total loss of significance", "Partial loss of significance"};
    const char* kind = (error->kind >= 1 && error->kind <= 6) ? kKinds[error->kind - 1] : "";
    const char* name = error->name ? error->name : "";
    char text[200];
    if (std::strcmp(name, "atan2") == 0 || std::strcmp(name, "fmod") == 0 || std::strcmp(name, "pow") == 0) {
        std::snprintf(text, sizeof text, "%s(%g,%g) %s", name, error->arg1, error->arg2, kind);
    } else {
        std::snprintf(text, sizeof text, "%s(%g) %s", name, error->arg1, kind);
    }
    SetPendingMessage(kMsgFloatingPoint, text);
    error->retval = 1.0;
    EvaluationContext& ctx = CurrentEvaluationContext();
    ctx.error = kEvalMathPending;
    return 1;
}

// ---- the evaluation context ----------------------------------------------------------

namespace {

// The installed context of this thread (null: the thread's own).
thread_local EvaluationContext* ev_installedContext = nullptr;

}  // namespace

EvaluationContext& CurrentEvaluationContext() {
    if (ev_installedContext) return *ev_installedContext;
    // Made on first use so that threads that never evaluate pay nothing.
    thread_local std::unique_ptr<EvaluationContext> own = std::make_unique<EvaluationContext>();
    return *own;
}

EvaluationScope::EvaluationScope(EvaluationContext& context) : previous_(ev_installedContext) {
    ev_installedContext = &context;
}

EvaluationScope::~EvaluationScope() { ev_installedContext = previous_; }

// ---- the evaluator -------------------------------------------------------------------

int EvaluateExpression(CompiledExpression* e, ComplexNumber* result, FFTOperandStore* store) {
    EvaluationContext& ctx = CurrentEvaluationContext();
    if (ctx.depth >= kEvMaxDepth) {
        SetPendingMessage(kMsgStackOverflow);
        if (result) *result = {1.0, 0.0};
        return kResultPending;
    }
    ctx.depth += 1;
    if (ctx.depth == 1) {
        ctx.top = 0;
        ctx.seriesWorkLeft = kSeriesWorkBudget;
    }
    const int start = ctx.top;

    // Shared pieces first; a failing piece fails the owner.
    int err = 0;
    for (int i = 0; i < e->sharedCount && err == 0; ++i) {
        CompiledExpression* piece = e->shared[i];
        if (!piece || !piece->resultSlot) continue;
        err = EvaluateExpression(piece, piece->resultSlot, store);
    }

    bool storeMode = result && store && ((e->flags & kExprFlagSpectrum) || (e->flags2 & kExtraWholeRunNorm)) &&
                     SpectrumStore().Active();
    ExprToken* first = e->FirstToken();

    // A single operand needs no stack.
    if (err == 0 && !storeMode && result && first && !first->Next()) {
        bool done = true;
        switch (first->code) {
        case kTokDoubleOperand:
            if (first->operand.doublePtr) {
                *result = {*first->operand.doublePtr, 0.0};
            } else {
                done = false;
            }
            break;
        case kTokIntOperand:
            if (first->operand.intPtr) {
                *result = {static_cast<double>(*first->operand.intPtr), 0.0};
            } else {
                done = false;
            }
            break;
        case kTokDigitalNode:
            if (first->operand.digitalState) {
                *result = {static_cast<double>(static_cast<uint16_t>(*first->operand.digitalState)), 0.0};
            } else {
                done = false;
            }
            break;
        case kTokComplexOperand:
            if (first->operand.complexPtr) {
                *result = *first->operand.complexPtr;
            } else {
                done = false;
            }
            break;
        case kTokConstant: *result = {first->operand.value, 0.0}; break;
        case kTokNode: *result = ev_NodeValue(first->operand.index); break;
        default: done = false; break;
        }
        if (done) {
            ctx.top = start;
            ctx.depth -= 1;
            return 0;
        }
    }

    e->evaluatorWords[kWordZeroDivide] = 0;
    bool resolvePass = false;
    if (storeMode && err == 0) err = SpectrumStore().Prepare(store, &resolvePass);
    const bool runPass = storeMode && !resolvePass;

    ValueStackEntry* const stack = ctx.stack;
    int top = start;
    int pushCount = 0;
    bool endedByFft = false;

    for (ExprToken* t = err ? nullptr : first; t; t = t->Next()) {
        const int code = t->code;
        if (t->pushes) {
            if (top + 1 >= kValueStackSize) {
                SetPendingMessage(kMsgStackOverflow);
                err = kResultPending;
                break;
            }
            ++top;
            stack[top].isDigital = t->isDigitalLevel;
            stack[top].value.im = 0.0;
            stack[top].ref = nullptr;
        }
        if (storeMode) SpectrumStore().CountToken(store);

        ValueStackEntry& T = stack[top];
        // Operators whose operands are missing (a malformed list) fail instead
        // of reading the caller's entries.
#define EV_NEED(n)               \
    if (top - start < (n)) {     \
        err = kEvalUnknownToken; \
        break;                   \
    }
        // Complex mode: the top entry, or the one below it when it belongs to
        // this evaluation, has an imaginary part. Only the operators that have
        // a separate complex path ask.
#define EV_COMPLEX_MODE() (T.value.im != 0.0 || (top - 1 > start && stack[top - 1].value.im != 0.0))

        switch (code) {
        // ---- operands ----
        case kTokDigitalLiteral:
            T.value.re = static_cast<double>(static_cast<uint32_t>(t->operand.index) | kEvFullStrength);
            break;
        case kTokDigitalNode:
            if (!t->operand.digitalState) {
                err = kEvalUnknownToken;
                break;
            }
            T.value.re = static_cast<double>(static_cast<uint16_t>(*t->operand.digitalState));
            break;
        case kTokDoubleOperand:
            if (!t->operand.doublePtr) {
                err = kEvalUnknownToken;
                break;
            }
            T.value.re = *t->operand.doublePtr;
            break;
        case kTokComplexOperand:
            if (!t->operand.complexPtr) {
                err = kEvalUnknownToken;
                break;
            }
            T.value = *t->operand.complexPtr;
            break;
        case kTokConstant: T.value.re = t->operand.value; break;
        case kTokPartReference: T.value.re = 0.0; break;
        case kTokStateCell:
            if (resolvePass) {
                T.ref = SpectrumStore().Slot(store, pushCount);
                if (!T.ref) err = kEvalUnknownToken;
            } else {
                T.ref = t->operand.cell;
            }
            T.value.re = 0.0;
            break;
        case kTokIntOperand:
            if (!t->operand.intPtr) {
                err = kEvalUnknownToken;
                break;
            }
            T.value.re = static_cast<double>(*t->operand.intPtr);
            break;
        case kTokS:
            T.value.re = gSolver.AnalysisKind == 0 ? gSolver.LaplaceSigma : 0.0;
            T.value.im = kEvTwoPi * RunVars.frequency;
            break;
        case kTokInoise: T.value.re = EvaluateNoise(1); break;
        case kTokOnoise: T.value.re = EvaluateNoise(0); break;
        case kTokRnd:
            T.value.re = (gSolver.SolverIterating && gSolver.AnalysisKind != -1) ? 1.0 : t->operand.value;
            break;
        case kTokNode: T.value = ev_NodeValue(t->operand.index); break;
        case kTokJ: T.value = {0.0, 1.0}; break;
        case kTokRndr:
        case kTokRndc: T.value.re = t->operand.value; break;
        case kTokPerformanceArg:
            if (!Performance().ArgumentValue(t->operand.index, e->evaluatorWords[kWordPerformanceArgument],
                                             &T.value.re))
                err = kEvalUnknownToken;
            break;
        case kTokCurveReference:
        case kTokBody: T.value.re = static_cast<double>(t->operand.index); break;
        case kTokIndexVariable:
            T.ref = t->operand.doublePtr;
            T.value.re = t->operand.doublePtr ? *t->operand.doublePtr : 0.0;
            break;

        // ---- core quantities ----
        case kTokCoreB:
        case kTokCoreH:
        case kTokBsi:
        case kTokHsi:
        case kTokCoreM:
        case kTokCoreManl:
        case kTokCoreMan:
        case kTokCoreMl:
        case kTokCoreHl:
        case kTokCoreDmdh:
        case kTokCoreHi:
        case kTokCoreHil:
            EV_NEED(1);
            if (!ev_CoreQuantity(t, T)) err = kEvalUnknownToken;
            break;

        // ---- complex parts ----
        case kTokRe:
            EV_NEED(1);
            T.value.im = 0.0;
            break;
        case kTokIm:
            EV_NEED(1);
            ev_SetReal(T, T.value.im);
            break;
        case kTokMag:
        case kTokAbs:
            EV_NEED(1);
            ev_SetReal(T, T.value.Magnitude());
            break;
        case kTokPh:
            EV_NEED(3);
            top -= 2;
            err = EvaluatePhase(e, &stack[top]);
            break;
        case kTokGd:
            EV_NEED(6);
            top -= 5;
            err = EvaluateGroupDelay(e, &stack[top]);
            break;

        // ---- running functions ----
        case kTokSum:
            EV_NEED(9);
            top -= 8;
            err = EvaluateRunningIntegral(e, &stack[top]);
            break;
        case kTokDel:
            EV_NEED(3);
            top -= 2;
            err = EvaluateDifference(e, &stack[top]);
            break;
        case kTokRms:
        case kTokAvg:
            EV_NEED(5);
            top -= 4;
            err = EvaluateRunningAverage(e, &stack[top], code == kTokRms);
            break;
        case kTokMinR:
        case kTokMaxR:
            EV_NEED(3);
            top -= 2;
            err = EvaluateRunningExtreme(e, &stack[top], code == kTokMaxR);
            break;
        case kTokLast:
            EV_NEED(3);
            top -= 2;
            err = EvaluateLast(e, &stack[top]);
            break;
        case kTokDelay: {
            // The operator reads its two histories from the two entries
            // below it only when the compiler gave it history tokens; a
            // call without them cannot be evaluated.
            const ExprToken* hv = t->Prev();
            const ExprToken* ht = hv ? hv->Prev() : nullptr;
            if (!hv || !ht || hv->code != kTokCurveReference || ht->code != kTokCurveReference) {
                err = kEvalUnknownToken;
                break;
            }
            EV_NEED(4);
            top -= 3;
            err = EvaluateDelay(e, &stack[top]);
            break;
        }

        // ---- spectrum functions ----
        case kTokHarm:
        case kTokFft:
        case kTokFfts:
        case kTokFs:
        case kTokIft:
        case kTokIfts:
        case kTokConj:
        case kTokRes:
        case kTokCmul:
        case kTokCs:
        case kTokCc:
        case kTokAs:
        case kTokAc:
        case kTokCoh:
        case 61:
        case 62:
        case 63:
        case 64:
        case 67:
        case kTokThd:
        case kTokIhd:
        case kTokNorm:
        case kTokNormMin:
        case kTokNormMax:
            if (resolvePass) {
                SpectrumStore().EndResolve(store, code);
                endedByFft = true;
            }
            break;

        // ---- arithmetic ----
        case kTokPow: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            if (EV_COMPLEX_MODE()) {
                ComplexNumber base = B.value;
                ComplexPowReal(B.value, base, T.value.re);
            } else {
                ev_SetReal(B, ev_RealPower(B.value.re, T.value.re));
            }
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokMod: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            if (T.value.re == 0.0) {
                ctx.mathErrorNumber = kEvMathInvalid;
                err = kEvalMathDetected;
            } else {
                ev_SetReal(B, std::fmod(B.value.re, T.value.re));
                B.isDigital = 0;
            }
            --top;
            break;
        }
        case kTokDiv: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            double q;
            if (T.value.re == 0.0) {
                q = B.value.re * kComplexHuge;
                e->evaluatorWords[kWordZeroDivide] = 1;
            } else {
                q = B.value.re / T.value.re;
            }
            ev_SetReal(B, std::trunc(q));
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokLn:
            EV_NEED(1);
            ComplexLog(T.value);
            break;
        case kTokExp:
            EV_NEED(1);
            if (T.value.im != 0.0) {
                ComplexNumber z = T.value;
                ComplexExp(T.value, z);
            } else {
                T.value.re = ClampedExp(T.value.re);
            }
            break;
        case kTokNot:
            EV_NEED(1);
            T.value.re = T.value.re == 0.0 ? 1.0 : 0.0;
            break;
        case kTokLog:
            EV_NEED(1);
            if (T.value.im != 0.0) {
                double m = T.value.Magnitude();
                double angle = SafeAtan2(T.value.im, T.value.re);
                T.value = {LogFloored(m, false), angle * kEvLog10OfE};
            } else {
                T.value.re = LogFloored(std::fabs(T.value.re), false);
            }
            break;
        case kTokDb:
            EV_NEED(1);
            ev_SetReal(T, T.value.MagnitudeDb());
            break;
        case kTokSqrt:
            EV_NEED(1);
            if (EV_COMPLEX_MODE()) {
                ComplexNumber z = T.value;
                ComplexSqrt(T.value, z);
            } else {
                T.value.re = std::sqrt(std::fabs(T.value.re));
            }
            break;
        case kTokSgn:
            EV_NEED(1);
            T.value.re = Signum(T.value.re);
            break;

        // ---- logic and comparisons ----
        case kTokAnd:
        case kTokOr:
        case kTokNand:
        case kTokNor:
        case kTokXor: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            double a, b;
            MagnitudesForCompare(B.value, T.value, &a, &b);
            bool x = a != 0.0, y = b != 0.0, r;
            switch (code) {
            case kTokAnd: r = x && y; break;
            case kTokOr: r = x || y; break;
            case kTokNand: r = !(x && y); break;
            case kTokNor: r = !(x || y); break;
            default: r = x != y; break;
            }
            ev_SetReal(B, r ? 1.0 : 0.0);
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokLess:
        case kTokGreater:
        case kTokGreaterEqual:
        case kTokLessEqual:
        case kTokLessPlain:
        case kTokGreaterPlain:
        case kTokGreaterEqualPlain:
        case kTokLessEqualPlain:
        case kTokNotEqual:
        case kTokEqual: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            double a, b;
            MagnitudesForCompare(B.value, T.value, &a, &b);
            bool r;
            switch (code) {
            case kTokLess:
            case kTokLessPlain: r = a < b; break;
            case kTokGreater:
            case kTokGreaterPlain: r = a > b; break;
            case kTokGreaterEqual:
            case kTokGreaterEqualPlain: r = a >= b; break;
            case kTokLessEqual:
            case kTokLessEqualPlain: r = a <= b; break;
            case kTokNotEqual: r = a != b; break;
            default: r = a == b; break;
            }
            double v = (code >= kTokLess && code <= kTokLessEqual) ? ev_Truth(e, r) : (r ? 1.0 : 0.0);
            ev_SetReal(B, v);
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokMultiply:
        case kTokDivide:
        case kTokPlus:
        case kTokMinus: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            if (EV_COMPLEX_MODE()) {
                switch (code) {
                case kTokMultiply: B.value.Multiply(T.value); break;
                case kTokDivide: B.value.Divide(T.value); break;
                case kTokPlus: B.value.Add(T.value); break;
                default: B.value.Subtract(T.value); break;
                }
            } else {
                double a = B.value.re, b = T.value.re;
                switch (code) {
                case kTokMultiply: a *= b; break;
                case kTokDivide:
                    if (b == 0.0) {
                        a *= kComplexHuge;
                        e->evaluatorWords[kWordZeroDivide] = 1;
                    } else {
                        a /= b;
                    }
                    break;
                case kTokPlus: a += b; break;
                default: a -= b; break;
                }
                ev_SetReal(B, a);
            }
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokTilde:
            EV_NEED(1);
            if (T.isDigital) {
                T.value.re = ev_DigitalNot(T.value.re);
            } else if (ev_IsSpice3(e)) {
                T.value.re = T.value.re <= GlobalSettings.lthresh ? GlobalSettings.lone : GlobalSettings.lzero;
            } else {
                T.value.re = T.value.re == 0.0 ? 1.0 : 0.0;
            }
            break;
        case kTokAmpersand:
        case kTokBar:
        case kTokCaret: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            if (B.isDigital && T.isDigital) {
                int op = code == kTokAmpersand ? 0 : code == kTokBar ? 1 : 2;
                ev_SetReal(B, ev_DigitalBinary(B.value.re, T.value.re, op));
                B.isDigital = 1;
            } else if (code == kTokCaret) {
                if (EV_COMPLEX_MODE()) {
                    ComplexNumber base = B.value;
                    ComplexPowReal(B.value, base, T.value.re);
                } else {
                    ev_SetReal(B, ev_RealPower(B.value.re, T.value.re));
                }
                B.isDigital = 0;
            } else {
                double a, b;
                MagnitudesForCompare(B.value, T.value, &a, &b);
                bool both = code == kTokAmpersand;
                double v;
                if (ev_IsSpice3(e)) {
                    double th = GlobalSettings.lthresh;
                    bool r = both ? (a > th && b > th) : (a > th || b > th);
                    v = r ? GlobalSettings.lone : GlobalSettings.lzero;
                } else {
                    bool r = both ? (a != 0.0 && b != 0.0) : (a != 0.0 || b != 0.0);
                    v = r ? 1.0 : 0.0;
                }
                ev_SetReal(B, v);
                B.isDigital = 0;
            }
            --top;
            break;
        }
        case kTokGeneratedDivide: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            if (T.value.re == 0.0 && T.value.im == 0.0) {
                B.value = {0.0, 0.0};
            } else {
                B.value.Divide(T.value);
            }
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokUnaryMinus:
            EV_NEED(1);
            T.value.re = -T.value.re;
            if (T.value.im != 0.0) T.value.im = -T.value.im;
            break;

        // ---- digital functions ----
        case kTokBase: {
            EV_NEED(1);
            double nd = T.value.re;
            if (!(nd >= 1.0) || nd > top - start - 1) {
                err = kEvalUnknownToken;
                break;
            }
            int n = static_cast<int>(nd);
            ValueStackEntry& first = stack[top - n];
            ev_SetReal(first, ev_DigitalBits(&first, n));
            first.isDigital = 0;
            top -= n;
            break;
        }
        case kTokDifa: {
            EV_NEED(3);
            ValueStackEntry* a = &stack[top - 2];
            double diff;
            if (a[0].value.im == 0.0 && a[1].value.im == 0.0) {
                diff = std::fabs(a[0].value.re - a[1].value.re);
            } else {
                diff = std::fabs(a[0].value.Magnitude() - a[1].value.Magnitude());
            }
            ev_SetReal(a[0], diff > a[2].value.re ? 1.0 : 0.0);
            a[0].isDigital = 0;
            top -= 2;
            break;
        }
        case kTokDifd: {
            EV_NEED(3);
            ValueStackEntry* a = &stack[top - 2];
            uint32_t sa = ev_StateBits(a[0].value.re);
            uint32_t sb = ev_StateBits(a[1].value.re);
            uint32_t la = sa & 7, lb = sb & 7;
            bool same =
                la == lb || ((sa & kEvFullStrength) == 0 && lb == 5) || ((sb & kEvFullStrength) == 0 && la == 5);
            ev_SetReal(a[0], same ? 504.0 : 507.0);
            a[0].isDigital = 1;
            top -= 2;
            break;
        }

        // ---- run-time sources ----
        case kTokStp:
            EV_NEED(1);
            ev_SetReal(T, (gSolver.AnalysisKind == 0 && RunVars.time >= T.value.re) ? 1.0 : 0.0);
            break;
        case kTokImpulse:
            EV_NEED(1);
            ev_SetReal(T, gSolver.AnalysisKind == 0 ? ImpulseValue(T.value.re, RunVars.time) : 0.0);
            break;
        case kTokRndi:
            EV_NEED(1);
            ev_SetReal(T, t->operand.value);
            break;

        // ---- two- and three-argument functions ----
        case kTokAtan2: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            ev_SetReal(B, std::atan2(B.value.re, T.value.re));
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokMin:
        case kTokMax: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            if (code == kTokMin) {
                if (T.value.re < B.value.re) B.value.re = T.value.re;
                if (T.value.im < B.value.im) B.value.im = T.value.im;
            } else {
                if (T.value.re > B.value.re) B.value.re = T.value.re;
                if (T.value.im > B.value.im) B.value.im = T.value.im;
            }
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokIf: {
            EV_NEED(3);
            ValueStackEntry* a = &stack[top - 2];
            bool c = ev_IsSpice3(e) ? a[0].value.re > GlobalSettings.lthresh : a[0].value.re != 0.0;
            a[0].value = c ? a[1].value : a[2].value;
            a[0].isDigital = c ? a[1].isDigital : a[2].isDigital;
            top -= 2;
            break;
        }
        case kTokLimit: {
            EV_NEED(3);
            ValueStackEntry* a = &stack[top - 2];
            double lo = std::fmin(a[1].value.re, a[2].value.re), hi = std::fmax(a[1].value.re, a[2].value.re);
            double loI = std::fmin(a[1].value.im, a[2].value.im), hiI = std::fmax(a[1].value.im, a[2].value.im);
            a[0].value.re = a[0].value.re < lo ? lo : (a[0].value.re > hi ? hi : a[0].value.re);
            a[0].value.im = a[0].value.im < loI ? loI : (a[0].value.im > hiI ? hiI : a[0].value.im);
            a[0].isDigital = 0;
            top -= 2;
            break;
        }
        case kTokPwr:
        case kTokPwrs: {
            EV_NEED(2);
            ValueStackEntry& B = stack[top - 1];
            double b = B.value.re, x = T.value.re, v;
            if (code == kTokPwr) {
                v = GuardedPow(std::fabs(b), x);
            } else {
                v = b > 0.0 ? std::pow(b, x) : -GuardedPow(-b, x);
            }
            ev_SetReal(B, v);
            B.isDigital = 0;
            --top;
            break;
        }
        case kTokTable: {
            EV_NEED(1);
            double nd = T.value.re;
            if (!(nd >= 3.0) || nd > top - start - 1 || std::fmod(nd, 2.0) != 1.0) {
                err = kEvalUnknownToken;
                break;
            }
            int n = static_cast<int>(nd);
            ValueStackEntry& x = stack[top - n];
            ev_SetReal(x, ev_TableLookup(&x, n));
            x.isDigital = 0;
            top -= n;
            break;
        }
        case kTokDer: {
            EV_NEED(1);
            CompiledExpression* body = ev_BodyOfEntry(e, T);
            if (!body) {
                err = kEvalUnknownToken;
                break;
            }
            ctx.top = top;
            ComplexNumber v;
            err = ev_EvaluateBody(e, body, &v);
            T.value = v;
            T.isDigital = 0;
            break;
        }
        case kTokSeries:
        case kTokProd:
            EV_NEED(4);
            top -= 3;
            ctx.top = top;
            err = ev_SeriesOrProduct(e, &stack[top], code == kTokProd);
            break;
        case kTokFact:
            EV_NEED(1);
            ev_SetReal(T, Factorial(std::trunc(T.value.re)));
            break;
        case kTokJ0:
            EV_NEED(1);
            ev_Bessel01(T, 0, false);
            break;
        case kTokJ1:
            EV_NEED(1);
            ev_Bessel01(T, 1, false);
            break;
        case kTokY0:
            EV_NEED(1);
            ev_Bessel01(T, 0, true);
            break;
        case kTokY1:
            EV_NEED(1);
            ev_Bessel01(T, 1, true);
            break;
        case kTokJn:
        case kTokYn:
            EV_NEED(3);
            top -= 2;
            ev_BesselN(&stack[top], code == kTokYn);
            break;
        case kTokSin:
        case kTokCos:
        case kTokTan:
        case kTokCot:
        case kTokSec:
        case kTokCsc:
        case kTokAsin:
        case kTokAcos:
        case kTokAtan:
        case kTokAcot:
        case kTokAsec:
        case kTokAcsc:
        case kTokSinh:
        case kTokCosh:
        case kTokTanh:
        case kTokCoth:
        case kTokSech:
        case kTokCsch:
        case kTokAsinh:
        case kTokAcosh:
        case kTokAtanh:
        case kTokAcoth:
        case kTokAsech:
        case kTokAcsch:
            EV_NEED(1);
            ev_ApplyComplexFunction(code, T.value);
            break;

        // ---- services of other parts ----
        case kTokArrayElement: {
            EV_NEED(1);
            int element = static_cast<int>(std::fmax(std::fmin(std::trunc(T.value.re), 2147483647.0), -2147483648.0));
            ctx.top = top;
            ComplexNumber v;
            int code2 = EvaluateArrayElement(element, t->operand.index, &v);
            T.value = v;
            T.isDigital = 0;
            if (code2 != 0 && code2 != kResultShown && code2 != kResultPending && code2 != kResultPending2) {
                SetPendingMessage(code2, t->text.text() ? t->text.text() : "");
                code2 = kResultPending;
            }
            err = code2;
            break;
        }
        case kTokStoredOperand: {
            EV_NEED(1);
            ComplexNumber* cell = storeMode ? SpectrumStore().Slot(store, t->operand.index) : nullptr;
            if (!cell) {
                err = kEvalUnknownToken;
                break;
            }
            T.value = *cell;
            break;
        }
        default:
            if (code >= kTokRiseTime && code <= kTokPhaseMargin) {
                ctx.top = top;
                int consumed = 0;
                err = EvaluatePerformanceOperator(e, &stack[top], top - start, code, &consumed);
                if (err == 0) top -= consumed - 1;
                break;
            }
            err = kEvalUnknownToken;
            break;
        }
#undef EV_NEED
#undef EV_COMPLEX_MODE
        if (err) break;
        if (runPass && t->pushes) {
            ComplexNumber* cell = SpectrumStore().Slot(store, pushCount);
            if (cell) *cell = (code == kTokStateCell) ? *static_cast<ComplexNumber*>(stack[top].ref) : stack[top].value;
        }
        if (t->pushes) ++pushCount;
        if (endedByFft) break;
    }

    if (err) ev_ClearMathStatus();

    if (result) {
        if (err) {
            *result = {1.0, 0.0};
        } else if (resolvePass) {
            for (int i = start + 1; i <= top; ++i) {
                ComplexNumber* cell = SpectrumStore().Slot(store, i - start - 1);
                if (cell) *cell = stack[i].value;
            }
            *result = top > start ? stack[top].value : ComplexNumber{0.0, 0.0};
            SpectrumStore().StagePosition(store, top - start - 1);
        } else if (runPass) {
            *result = {0.0, 0.0};
            bool stored = gSolver.AnalysisKind != 0 || SpectrumStore().IsPointStored();
            if (stored) SpectrumStore().AdvanceSample(store);
        } else {
            *result = top > start ? stack[top].value : ComplexNumber{0.0, 0.0};
        }
    }

    ctx.top = start;
    ctx.depth -= 1;
    if (err == 0) err = ctx.error;
    ctx.error = err;
    int code = CheckMathError();
    // A floating-point fault found only now fails the evaluation like any other.
    if (code && result) *result = {1.0, 0.0};
    return code;
}
