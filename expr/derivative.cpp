#include "expr/derivative.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include "core/dialect.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"

namespace {

// Reported when DER's body holds something without a derivative.
constexpr int kMsgNoDerivative = 10448;

// Bounds that keep a pathological text from exhausting the stack or memory:
// the tree walks recurse once per nesting level, and a derivative written out
// repeats shared operands.
constexpr int kDvMaxSourceTokens = 4000;
constexpr size_t kDvMaxNodes = 2000000;
constexpr uint64_t kDvMaxWrittenTokens = 200000;
constexpr size_t kDvMaxText = 65536;

enum dv_Kind { kDvConstant, kDvVariable, kDvBody, kDvUnary, kDvBinary, kDvOpaque };

// One node of the expression tree. Nodes are shared where a rule uses an
// operand twice; they are never changed once built.
struct dv_Node {
    int kind = kDvConstant;
    int code = 0;
    double value = 0.0;
    uintptr_t identity = 0;            // variables
    const ExprToken* token = nullptr;  // source token (variables, operators, opaque end)
    const ExprToken* first = nullptr;  // first source token of the subtree; null when not copyable
    dv_Node* child[3] = {nullptr, nullptr, nullptr};
    int childCount = 0;
    bool callForm = false;  // binary written NAME(a,b)
    uint64_t size = 1;      // tokens when written out (saturating)
    dv_Node* derivative = nullptr;
};

bool dv_IsVariableCode(int code) {
    return code == kOperandDouble || code == kOperandComplex || code == kOperandDevice || code == kOperandInt ||
           code == kOperandComplexNode;
}

const char* dv_TokenText(const ExprToken* t) { return t && t->text.text() ? t->text.text() : ""; }

bool dv_IsPowerText(const char* text) { return std::strcmp(text, "^") == 0 || std::strncmp(text, "**", 2) == 0; }

bool dv_IsComparison(int code) {
    return (code >= kTokLess && code <= kTokEqual) || (code >= kTokLessPlain && code <= kTokLessEqualPlain);
}

// Codes whose tokens read state or storage of their own expression, and so
// cannot be carried into another one.
bool dv_ReadsOwnStorage(int code) {
    if (code == kTokStateCell || code == kTokPerformanceArg || code == kTokCurveReference || code == kTokLast ||
        code == kTokDelay || code == kTokProd || code == kTokIndexVariable)
        return true;
    const ExprSymbol* row = code >= 0 && code < kTokenCodeCount ? SymbolForCode(code) : nullptr;
    return row && row->stateCells > 0;
}

bool dv_WithoutDerivative(int code) {
    return code == kTokSeries || code == kTokTable || (code >= kTokRiseTime && code <= kTokPhaseMargin) ||
           (code >= kTokJ0 && code <= kTokYn);
}

uint64_t dv_AddSize(uint64_t a, uint64_t b) {
    const uint64_t sum = a + b;
    return sum > (uint64_t{1} << 50) ? (uint64_t{1} << 50) : sum;
}

class Differentiator {
public:
    Differentiator(uintptr_t variable, int dialect, double threshold)
        : variable_(variable), dialect_(dialect), threshold_(threshold) {}

    int error = 0;                       // 15002
    const ExprToken* refused = nullptr;  // the token the tree could not take

    // Builds the tree of an expression's token list; null when it cannot.
    dv_Node* BuildTree(const CompiledExpression* owner, int depth);
    dv_Node* Derive(dv_Node* n);
    // Writes the subtree as tokens: false when memory runs out.
    bool Write(const dv_Node* n, CompiledExpression* out);
    void Print(const dv_Node* n, std::string* out);

private:
    dv_Node* New() {
        if (nodes_.size() >= kDvMaxNodes) {
            error = kResultNoMemory;
            return nullptr;
        }
        try {
            nodes_.emplace_back();
        } catch (const std::bad_alloc&) {
            error = kResultNoMemory;
            return nullptr;
        }
        return &nodes_.back();
    }
    dv_Node* Const(double v) {
        dv_Node* n = New();
        if (n) n->value = v;
        return n;
    }
    dv_Node* Op(int code, dv_Node* a, dv_Node* b = nullptr, bool callForm = false) {
        if (!a) return nullptr;
        dv_Node* n = New();
        if (!n) return nullptr;
        n->kind = b ? kDvBinary : kDvUnary;
        n->code = code;
        n->child[0] = a;
        n->child[1] = b;
        n->childCount = b ? 2 : 1;
        n->callForm = callForm;
        n->size = dv_AddSize(1, dv_AddSize(a->size, b ? b->size : 0));
        n->first = a->first && (!b || b->first) ? a->first : nullptr;
        return n;
    }
    static bool IsConst(const dv_Node* n, double v) { return n && n->kind == kDvConstant && n->value == v; }

    // The simplifying constructors of the rules.
    dv_Node* Mul(dv_Node* a, dv_Node* b) {
        if (!a || !b) return nullptr;
        if (IsConst(a, 0.0) || IsConst(b, 0.0)) return Const(0.0);
        if (IsConst(a, 1.0)) return b;
        if (IsConst(b, 1.0)) return a;
        return Op(kTokMultiply, a, b);
    }
    dv_Node* Add(dv_Node* a, dv_Node* b) {
        if (!a || !b) return nullptr;
        if (IsConst(a, 0.0)) return b;
        if (IsConst(b, 0.0)) return a;
        return Op(kTokPlus, a, b);
    }
    dv_Node* Sub(dv_Node* a, dv_Node* b) {
        if (!a || !b) return nullptr;
        if (IsConst(b, 0.0)) return a;
        if (IsConst(a, 0.0)) return Op(kTokUnaryMinus, b);
        return Op(kTokMinus, a, b);
    }
    // A zero numerator stays zero, so that a quotient rule with a constant
    // denominator does not leave 0/v^2 behind.
    dv_Node* Div(dv_Node* a, dv_Node* b) {
        if (!a || !b) return nullptr;
        if (IsConst(a, 0.0)) return Const(0.0);
        if (IsConst(b, 1.0)) return a;
        return Op(kTokDivide, a, b);
    }
    dv_Node* Neg(dv_Node* a) { return a ? Op(kTokUnaryMinus, a) : nullptr; }
    dv_Node* Pow(dv_Node* a, dv_Node* b) { return a && b ? Op(kTokPow, a, b) : nullptr; }
    dv_Node* Pow(dv_Node* a, double e) { return Pow(a, Const(e)); }
    dv_Node* Fn(int code, dv_Node* a) { return a ? Op(code, a) : nullptr; }
    dv_Node* Fn2(int code, dv_Node* a, dv_Node* b) { return a && b ? Op(code, a, b, true) : nullptr; }
    dv_Node* Cmp(int code, dv_Node* a, dv_Node* b) { return a && b ? Op(code, a, b) : nullptr; }

    dv_Node* DeriveUnary(dv_Node* n);
    dv_Node* DeriveBinary(dv_Node* n);
    dv_Node* FromToken(const ExprToken* t, std::vector<dv_Node*>& stack, const CompiledExpression* owner, int depth);
    bool Pop(std::vector<dv_Node*>& stack, int count, dv_Node** out) {
        if (static_cast<int>(stack.size()) < count) return false;
        for (int i = 0; i < count; ++i)
            out[i] = stack[stack.size() - static_cast<size_t>(count) + static_cast<size_t>(i)];
        stack.resize(stack.size() - static_cast<size_t>(count));
        return true;
    }
    bool EmitToken(CompiledExpression* out, int code, const char* text, double value);

    uintptr_t variable_;
    int dialect_;
    double threshold_;
    std::deque<dv_Node> nodes_;
};

dv_Node* Differentiator::FromToken(const ExprToken* t, std::vector<dv_Node*>& stack, const CompiledExpression* owner,
                                   int depth) {
    int code = t->code;
    dv_Node* args[3] = {nullptr, nullptr, nullptr};
    // DER inside the formula: its body already holds the derivative, and
    // stands in its place.
    if (code == kTokDer) {
        if (!Pop(stack, 1, args) || args[0]->kind != kDvBody || depth >= 4) return nullptr;
        const int index = static_cast<int>(args[0]->value);
        if (index < 0 || index >= owner->bodyCount || !owner->bodies[index] || owner->bodies[index]->sharedCount)
            return nullptr;
        dv_Node* root = BuildTree(owner->bodies[index], depth + 1);
        if (!root) return nullptr;
        // Its tokens are not in this list: the subtree cannot be copied as a run.
        dv_Node* copy = New();
        if (!copy) return nullptr;
        *copy = *root;
        copy->first = nullptr;
        return copy;
    }
    if (dv_IsVariableCode(code)) {
        dv_Node* n = New();
        if (!n) return nullptr;
        n->kind = kDvVariable;
        n->code = code;
        n->identity = DerivativeVariableIdentity(t);
        n->token = n->first = t;
        return n;
    }
    if (code == kOperandConstant || code == kTokBody) {
        dv_Node* n = New();
        if (!n) return nullptr;
        n->kind = code == kTokBody ? kDvBody : kDvConstant;
        n->value = code == kTokBody ? static_cast<double>(t->operand.index) : t->operand.value;
        n->token = n->first = t;
        if (code == kTokBody) n->first = nullptr;
        return n;
    }
    if (code == kTokGeneratedDivide) code = kTokDivide;
    const int maxArgs = GetSymbolMaxArgs(code);
    int arity = 0;
    bool opaque = false;
    if (code == kTokNot || code == kTokTilde || code == kTokUnaryMinus) {
        arity = 1;
    } else if (code == kTokBase) {
        arity = maxArgs >= 1 ? 1 : 0;
        opaque = true;
    } else if (IsOperatorCode(code) || (t->pushes == 0 && maxArgs == 2)) {
        arity = 2;
    } else if (t->pushes == 0 && maxArgs == 3) {
        arity = 3;
        opaque = code != kTokIf && code != kTokLimit;
    } else if (t->pushes == 0 && maxArgs > 3) {
        return nullptr;
    } else if (t->pushes == 0) {
        arity = 1;
    } else {
        opaque = true;  // a value of its own: a leaf
    }
    if (!Pop(stack, arity, args)) return nullptr;
    if (code == kTokIf) {
        // IF(b, z1, z2) as the sum of both branches weighted by the test the
        // evaluator makes, so that the product and sum rules apply.
        dv_Node *yes, *no;
        if (dialect_ == kSpiceDialect3) {
            yes = Cmp(kTokGreaterPlain, args[0], Const(threshold_));
            no = Cmp(kTokLessEqualPlain, args[0], Const(threshold_));
        } else {
            yes = Cmp(kTokNotEqual, args[0], Const(0.0));
            no = Cmp(kTokEqual, args[0], Const(0.0));
        }
        dv_Node* n = Add(Mul(yes, args[1]), Mul(no, args[2]));
        if (n && n->kind != kDvConstant)
            n->first = args[0]->first && args[1]->first && args[2]->first ? args[0]->first : nullptr;
        return n;
    }
    if (code == kTokLimit) {
        dv_Node *x = args[0], *lo = args[1], *hi = args[2];
        dv_Node* inside = Mul(Mul(Cmp(kTokGreaterEqualPlain, x, lo), Cmp(kTokLessEqualPlain, x, hi)), x);
        dv_Node* n = Add(Add(inside, Mul(Cmp(kTokLessPlain, x, lo), lo)), Mul(Cmp(kTokGreaterPlain, x, hi), hi));
        if (n && n->kind != kDvConstant) n->first = x->first && lo->first && hi->first ? x->first : nullptr;
        return n;
    }
    dv_Node* n = New();
    if (!n) return nullptr;
    n->code = code;
    n->token = t;
    n->childCount = arity;
    n->size = 1;
    n->first = t;
    for (int i = 0; i < arity; ++i) {
        n->child[i] = args[i];
        n->size = dv_AddSize(n->size, args[i]->size);
    }
    if (arity) n->first = args[0]->first;
    for (int i = 0; i < arity; ++i)
        if (!args[i]->first) n->first = nullptr;
    if (opaque) {
        n->kind = kDvOpaque;
        // Written back as the run of source tokens it came from.
        if (!n->first) return nullptr;
        return n;
    }
    n->kind = arity == 1 ? kDvUnary : kDvBinary;
    if (arity == 2) n->callForm = !IsOperatorCode(code) || (code == kTokPow && !dv_IsPowerText(dv_TokenText(t)));
    return n;
}

dv_Node* Differentiator::BuildTree(const CompiledExpression* owner, int depth) {
    if (!owner || owner->TokenCount() > kDvMaxSourceTokens) return nullptr;
    std::vector<dv_Node*> stack;
    for (const ExprToken* t = owner->FirstToken(); t; t = t->Next()) {
        if (dv_ReadsOwnStorage(t->code) || dv_WithoutDerivative(t->code)) {
            refused = t;
            return nullptr;
        }
        dv_Node* n = FromToken(t, stack, owner, depth);
        if (!n) {
            if (!refused) refused = t;
            return nullptr;
        }
        try {
            stack.push_back(n);
        } catch (const std::bad_alloc&) {
            error = kResultNoMemory;
            return nullptr;
        }
    }
    if (stack.size() != 1 || stack[0]->kind == kDvBody) return nullptr;
    return stack[0];
}

dv_Node* Differentiator::DeriveUnary(dv_Node* n) {
    dv_Node* u = n->child[0];
    dv_Node* du = Derive(u);
    if (!du) return nullptr;
    if (IsConst(du, 0.0)) return du;
    switch (n->code) {
    case kTokRe:
    case kTokIm:
    case kTokMag:
    case kTokPh:
    case kTokGd:
    case kTokDb:
    case kTokSgn:
    case kTokTilde:
    case kTokStp:
    case kTokImpulse:
    case kTokFact:
    case kTokNot: return Const(0.0);
    case kTokLn: return Div(du, u);
    case kTokExp: return Mul(Fn(kTokExp, u), du);
    case kTokAbs: return Mul(Sub(Cmp(kTokGreaterEqualPlain, u, Const(0.0)), Cmp(kTokLessPlain, u, Const(0.0))), du);
    case kTokLog: return Mul(Div(du, u), Const(0.4342944819032518));
    case kTokSqrt: return Mul(du, Div(Const(0.5), Pow(u, 0.5)));
    case kTokUnaryMinus: return Neg(du);
    case kTokSin: return Mul(Fn(kTokCos, u), du);
    case kTokCos: return Neg(Mul(Fn(kTokSin, u), du));
    case kTokTan: return Mul(Pow(Fn(kTokSec, u), 2.0), du);
    case kTokCot: return Neg(Mul(Pow(Fn(kTokCsc, u), 2.0), du));
    case kTokSec: return Mul(Mul(Fn(kTokTan, u), Fn(kTokSec, u)), du);
    case kTokCsc: return Mul(Neg(Mul(Fn(kTokCot, u), Fn(kTokCsc, u))), du);
    case kTokAsin: return Mul(du, Div(Const(1.0), Pow(Sub(Const(1.0), Pow(u, 2.0)), 0.5)));
    case kTokAcos: return Mul(du, Div(Const(-1.0), Pow(Sub(Const(1.0), Pow(u, 2.0)), 0.5)));
    case kTokAtan: return Mul(du, Div(Const(1.0), Add(Const(1.0), Pow(u, 2.0))));
    case kTokAcot: return Mul(du, Div(Const(-1.0), Add(Const(1.0), Pow(u, 2.0))));
    case kTokAsec: return Mul(du, Div(Const(1.0), Mul(u, Pow(Sub(Pow(u, 2.0), Const(1.0)), 0.5))));
    case kTokAcsc: return Mul(du, Div(Const(-1.0), Mul(u, Pow(Sub(Pow(u, 2.0), Const(1.0)), 0.5))));
    case kTokSinh: return Mul(Fn(kTokCosh, u), du);
    case kTokCosh: return Mul(Fn(kTokSinh, u), du);
    case kTokTanh: return Mul(Pow(Fn(kTokSech, u), 2.0), du);
    case kTokCoth: return Mul(Const(-1.0), Mul(Pow(Fn(kTokCsch, u), 2.0), du));
    case kTokSech: return Mul(Const(-1.0), Mul(du, Mul(Fn(kTokSech, u), Fn(kTokTanh, u))));
    case kTokCsch: return Mul(Const(-1.0), Mul(du, Mul(Fn(kTokCsch, u), Fn(kTokCoth, u))));
    case kTokAsinh: return Mul(du, Div(Const(1.0), Pow(Add(Pow(u, 2.0), Const(1.0)), 0.5)));
    case kTokAcosh: return Mul(du, Div(Const(1.0), Pow(Sub(Pow(u, 2.0), Const(1.0)), 0.5)));
    case kTokAtanh: return Mul(du, Div(Const(1.0), Sub(Const(1.0), Pow(u, 2.0))));
    case kTokAcoth: return Mul(du, Div(Const(-1.0), Sub(Pow(u, 2.0), Const(1.0))));
    case kTokAsech: return Mul(du, Div(Const(-1.0), Mul(u, Pow(Sub(Const(1.0), Pow(u, 2.0)), 0.5))));
    case kTokAcsch: return Mul(du, Div(Const(-1.0), Mul(u, Pow(Add(Const(1.0), Pow(u, 2.0)), 0.5))));
    default: return du;
    }
}

dv_Node* Differentiator::DeriveBinary(dv_Node* n) {
    dv_Node* u = n->child[0];
    dv_Node* v = n->child[1];
    const int code = n->code;
    // Tests and logic are flat almost everywhere: their operands need no derivative.
    if (dv_IsComparison(code) || code == kTokAnd || code == kTokOr || code == kTokNand || code == kTokNor ||
        code == kTokAmpersand || code == kTokCaret || code == kTokBar || code == kTokDiv || code == kTokNot ||
        code == kTokXor)
        return Const(0.0);
    dv_Node* du = Derive(u);
    if (!du) return nullptr;
    if (code == kTokMod) return du;
    dv_Node* dv = Derive(v);
    if (!dv) return nullptr;
    switch (code) {
    case kTokPlus: return Add(du, dv);
    case kTokMinus: return Sub(du, dv);
    case kTokMultiply: return Add(Mul(du, v), Mul(u, dv));
    case kTokDivide:
        if (u->kind == kDvVariable && v->kind == kDvVariable && u->identity == v->identity) return Const(0.0);
        return Sub(Div(du, v), Div(Mul(u, dv), Pow(v, 2.0)));
    case kTokPow:
    case kTokPwr:
    case kTokPwrs: {
        dv_Node* lowered = v->kind == kDvConstant ? Const(v->value - 1.0) : Sub(v, Const(1.0));
        if (code == kTokPow) return Add(Mul(Mul(du, v), Pow(u, lowered)), Mul(Mul(Pow(u, v), Fn(kTokLn, u)), dv));
        // PWR is |u|^v and PWRS sgn(u)|u|^v: each one's slope in u is v times
        // the other one at v - 1, and both grow with v by LN|u|.
        const int slope = code == kTokPwr ? kTokPwrs : kTokPwr;
        return Add(Mul(Mul(du, v), Fn2(slope, u, lowered)), Mul(Mul(Fn2(code, u, v), Fn(kTokLn, Fn(kTokAbs, u))), dv));
    }
    case kTokMin: return Add(Mul(Cmp(kTokLessPlain, u, v), du), Mul(Cmp(kTokLessPlain, v, u), dv));
    case kTokMax: return Add(Mul(Cmp(kTokGreaterPlain, u, v), du), Mul(Cmp(kTokGreaterPlain, v, u), dv));
    case kTokAtan2:
        // ATAN2(u, v) is the angle of (v, u).
        return Div(Sub(Mul(v, du), Mul(u, dv)), Add(Pow(u, 2.0), Pow(v, 2.0)));
    default: return dv;
    }
}

dv_Node* Differentiator::Derive(dv_Node* n) {
    if (!n) return nullptr;
    if (n->derivative) return n->derivative;
    dv_Node* d = nullptr;
    switch (n->kind) {
    case kDvVariable: d = Const(n->identity == variable_ && variable_ != 0 ? 1.0 : 0.0); break;
    case kDvUnary: d = DeriveUnary(n); break;
    case kDvBinary: d = DeriveBinary(n); break;
    default: d = Const(0.0); break;
    }
    n->derivative = d;
    return d;
}

bool Differentiator::EmitToken(CompiledExpression* out, int code, const char* text, double value) {
    ExprToken* t = AppendToken(out);
    if (!t) return false;
    t->code = static_cast<int16_t>(code);
    t->pushes = static_cast<int16_t>(code >= 0 && code < kTokenCodeCount ? OperandCodeSet[code] : 0);
    std::memset(&t->operand, 0, sizeof t->operand);
    if (code == kOperandConstant) {
        t->pushes = 1;
        t->operand.value = value;
    }
    t->argCount = 0;
    t->isDigitalLevel = 0;
    t->text.Set(text);
    return true;
}

bool Differentiator::Write(const dv_Node* n, CompiledExpression* out) {
    switch (n->kind) {
    case kDvConstant: {
        char text[40];
        std::snprintf(text, sizeof text, "%.16G", n->value);
        return EmitToken(out, kOperandConstant, text, n->value);
    }
    case kDvVariable: {
        ExprToken* t = AppendToken(out);
        if (!t) return false;
        t->CopyFrom(*n->token);
        return true;
    }
    case kDvOpaque:
        for (const ExprToken* s = n->first; s; s = s->Next()) {
            ExprToken* t = AppendToken(out);
            if (!t) return false;
            t->CopyFrom(*s);
            if (s == n->token) break;
        }
        return true;
    case kDvBody: return false;
    default: break;
    }
    for (int i = 0; i < n->childCount; ++i)
        if (!Write(n->child[i], out)) return false;
    if (n->token) {
        ExprToken* t = AppendToken(out);
        if (!t) return false;
        t->CopyFrom(*n->token);
        return true;
    }
    const char* name = n->code == kTokPow ? "^" : GetSymbolNameByCode(n->code);
    return EmitToken(out, n->code, name ? name : "", 0.0);
}

int dv_Precedence(const dv_Node* n) {
    if (n->kind == kDvUnary) return 6;
    if (n->kind != kDvBinary || n->callForm) return 7;
    const int code = n->code;
    if (code == kTokAnd || dv_IsComparison(code)) return 1;
    if (code == kTokPlus || code == kTokMinus) return 2;
    if (code == kTokMultiply || code == kTokDivide || code == kTokGeneratedDivide) return 3;
    return 4;
}

std::string dv_VariableName(const ExprToken* t) {
    if (t && t->text.text() && t->text.text()[0]) return t->text.text();
    const char* name = t ? FindVariableNameByStorage(t->operand.pointer) : nullptr;
    return name ? name : "BadVar";
}

void Differentiator::Print(const dv_Node* n, std::string* out) {
    if (out->size() > kDvMaxText) return;
    switch (n->kind) {
    case kDvConstant: {
        char text[40];
        std::snprintf(text, sizeof text, "%.16g", n->value);
        *out += text;
        return;
    }
    case kDvVariable: *out += dv_VariableName(n->token); return;
    case kDvBody:
    case kDvOpaque:
        if (!n->childCount) {
            *out += dv_TokenText(n->token);
            return;
        }
        break;
    default: break;
    }
    const char* symbol = n->code == kTokGeneratedDivide ? "/" : GetSymbolNameByCode(n->code);
    std::string name = symbol ? symbol : "";
    if (n->code == kTokPow && !n->callForm) name = n->token ? dv_TokenText(n->token) : "^";
    if (n->kind != kDvBinary || n->callForm) {
        *out += name + "(";
        for (int i = 0; i < n->childCount; ++i) {
            if (i) *out += ",";
            Print(n->child[i], out);
        }
        *out += ")";
        return;
    }
    const int own = dv_Precedence(n);
    const dv_Node* left = n->child[0];
    const dv_Node* right = n->child[1];
    const bool leftParen = left->kind == kDvBinary && dv_Precedence(left) < own;
    const bool rightParen = right->kind == kDvBinary && dv_Precedence(right) <= own;
    if (leftParen) *out += "(";
    Print(left, out);
    if (leftParen) *out += ")";
    const bool word = !name.empty() && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    *out += word ? " " + name + " " : name;
    if (rightParen) *out += "(";
    Print(right, out);
    if (rightParen) *out += ")";
}

int dv_FormatMessage(int id, const char* argument, std::string* out) {
    const char* format = GetMessageText(id);
    std::string text = format ? format : "";
    if (text.rfind("%E", 0) == 0) text.erase(0, 2);
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument ? argument : "");
    *out = text;
    return 0;
}

// Copies the tokens of one expression after those of another (emptied first).
int dv_ReplaceTokens(CompiledExpression* target, const CompiledExpression* tokens) {
    for (const ExprToken* s = tokens->FirstToken(); s; s = s->Next()) {
        ExprToken* t = AppendToken(target);
        if (!t) return kResultNoMemory;
        t->CopyFrom(*s);
    }
    return 0;
}

// Writes the derivative's tokens into `out` without folding them: 0 with no
// tokens when the source cannot be differentiated.
int dv_DeriveTokens(const CompiledExpression* source, CompiledExpression* out, uintptr_t variable, int dialect,
                    double threshold, const ExprToken** refused) {
    if (refused) *refused = nullptr;
    if (const ExprToken* t = FindNonDifferentiable(source)) {
        if (refused) *refused = t;
        return 0;
    }
    Differentiator d(variable, dialect, threshold);
    dv_Node* root = d.BuildTree(source, 0);
    dv_Node* derivative = root ? d.Derive(root) : nullptr;
    if (d.error) return d.error;
    if (!derivative || derivative->size > kDvMaxWrittenTokens) {
        if (refused) *refused = d.refused;
        return 0;
    }
    if (!d.Write(derivative, out)) {
        FreeExpression(out);
        return kResultNoMemory;
    }
    return 0;
}

class SymbolicDerivatives final : public ExprDerivatives {
public:
    bool CanDifferentiate() const override { return true; }
    int Differentiate(ExprCompiler* ctx, CompiledExpression* body, CompiledExpression* variable) override {
        uintptr_t identity = 0;
        int significant = 0;
        for (const ExprToken* t = variable ? variable->FirstToken() : nullptr; t; t = t->Next()) {
            if (t->argCount != 0) continue;
            ++significant;
            identity = DerivativeVariableIdentity(t);
        }
        if (significant != 1 || identity == 0) return 10437;
        CompiledExpression derivative;
        const ExprToken* refused = nullptr;
        int rc = dv_DeriveTokens(body, &derivative, identity, body->dialect, GlobalSettings.lthresh, &refused);
        if (rc) return rc;
        if (!derivative.TokenCount()) {
            std::string name = refused ? dv_TokenText(refused) : "";
            if (refused && refused->code >= 0 && refused->code < kTokenCodeCount &&
                GetSymbolNameByCode(refused->code) && !dv_IsVariableCode(refused->code) &&
                refused->code != kOperandConstant)
                name = GetSymbolNameByCode(refused->code);
            if (name.empty()) name = "DER";
            return ReportCompileError(ctx, kMsgNoDerivative, name.c_str());
        }
        const uint32_t flags = body->flags, flags2 = body->flags2, domain = body->domain;
        FreeExpression(body);
        body->flags = flags;
        body->flags2 = flags2;
        body->domain = domain;
        if ((rc = dv_ReplaceTokens(body, &derivative))) return rc;
        if ((rc = FoldConstants(body))) return rc;
        return ExtractSharedPieces(body, 0);
    }
};

const MessageRow kDerivativeMessageRows[] = {
    {kMsgNoDerivative, "%ECan't find the derivative of %s."},
};

}  // namespace

uintptr_t DerivativeVariableIdentity(const ExprToken* token) {
    if (!token || !dv_IsVariableCode(token->code)) return 0;
    if (token->code == kOperandComplexNode)
        // Node numbers are not addresses: keep them apart from every slot.
        return (static_cast<uintptr_t>(static_cast<uint32_t>(token->operand.index)) << 1) | 1u;
    return reinterpret_cast<uintptr_t>(token->operand.pointer);
}

const ExprToken* FindNonDifferentiable(const CompiledExpression* expr) {
    if (!expr) return nullptr;
    for (const ExprToken* t = expr->FirstToken(); t; t = t->Next())
        if (dv_WithoutDerivative(t->code)) return t;
    for (const ExprToken* t = expr->FirstToken(); t; t = t->Next()) {
        if (dv_ReadsOwnStorage(t->code)) return t;
        // A body is carried into the derivative only by a DER that reads it.
        if (t->code == kTokBody && (!t->Next() || t->Next()->code != kTokDer)) return t->Next() ? t->Next() : t;
    }
    return nullptr;
}

int DifferentiateCompiled(const CompiledExpression* source, CompiledExpression* result, uintptr_t variable, int dialect,
                          double logicThreshold) {
    if (!result) return 0;
    FreeExpression(result);
    if (!source) return 0;
    result->dialect = source->dialect;
    int rc = dv_DeriveTokens(source, result, variable, dialect, logicThreshold, nullptr);
    if (rc || !result->TokenCount()) return rc;
    result->flags = source->flags;
    result->flags2 = source->flags2;
    result->domain = source->domain;
    if ((rc = FoldConstants(result))) return rc;
    return ExtractSharedPieces(result, 0);
}

namespace {

constexpr int kDvFreeNames = 20;

// The free names of a calculator text: up to 20 names that bind to nothing
// become variables with a slot each.
struct dv_FreeNames {
    char* names[kDvFreeNames] = {};
    int32_t masks[kDvFreeNames];
    double slots[kDvFreeNames] = {};
    dv_FreeNames() {
        for (int32_t& m : masks) m = -1;
    }
    ~dv_FreeNames() {
        for (char*& n : names) FreeString(&n);
    }
    dv_FreeNames(const dv_FreeNames&) = delete;
    dv_FreeNames& operator=(const dv_FreeNames&) = delete;
    void Attach(ExprCompiler& ctx) {
        ctx.callerVarCount = kDvFreeNames;
        ctx.callerVarNames = names;
        ctx.callerVarMasks = masks;
        ctx.callerVarSlots = slots;
    }
};

int32_t dv_AnalysisMask() { return gSolver.AnalysisKind >= 0 ? (1 << gSolver.AnalysisKind) : kMaskOutsideRun; }

bool dv_SameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

}  // namespace

int DifferentiateExpression(const char* text, std::string* variableName, std::string* result, int dialect) {
    std::string empty;
    std::string& out = result ? *result : empty;
    out.clear();
    std::string name = variableName ? *variableName : "";
    std::vector<char> copy(text ? text : "", (text ? text : "") + (text ? std::strlen(text) : 0));
    copy.push_back('\0');
    NormalizeSigns(copy.data());

    CompiledExpression expr;
    expr.dialect = dialect;
    dv_FreeNames free;
    ExprCompiler ctx;
    ctx.Init(copy.data(), &expr, dv_AnalysisMask(), kSymbolMaskAnalog);
    free.Attach(ctx);
    const int compiled = CompileExpression(&ctx);
    if (compiled) return compiled;

    if (const ExprToken* t = FindNonDifferentiable(&expr)) {
        const char* shown = dv_TokenText(t);
        if (!shown[0] && GetSymbolNameByCode(t->code)) shown = GetSymbolNameByCode(t->code);
        dv_FormatMessage(kMsgNoDerivative, shown, &out);
        return 0;
    }

    if (name.empty()) {
        for (const ExprToken* t = expr.FirstToken(); t; t = t->Next()) {
            if (t->argCount != 0 || !dv_IsVariableCode(t->code)) continue;
            name = dv_VariableName(t);
            break;
        }
        if (variableName) *variableName = name;
    }

    uintptr_t identity = 0;
    for (int i = 0; i < kDvFreeNames && !name.empty(); ++i) {
        if (free.names[i] && dv_SameName(free.names[i], name.c_str())) {
            identity = reinterpret_cast<uintptr_t>(&free.slots[i]);
            break;
        }
    }
    if (!identity && !name.empty()) {
        std::vector<char> nameCopy(name.begin(), name.end());
        nameCopy.push_back('\0');
        // A name the text does not use is a free name of its own: the
        // derivative by it is 0.
        CompiledExpression alone;
        dv_FreeNames nameSlots;
        ExprCompiler nameCtx;
        nameCtx.Init(nameCopy.data(), &alone, dv_AnalysisMask(), kSymbolMaskAnalog);
        nameSlots.Attach(nameCtx);
        nameCtx.quiet = 1;
        if (CompileExpression(&nameCtx) == 0) {
            int significant = 0;
            uintptr_t found = 0;
            for (const ExprToken* t = alone.FirstToken(); t; t = t->Next()) {
                if (t->argCount != 0) continue;
                ++significant;
                found = DerivativeVariableIdentity(t);
            }
            if (significant == 1) identity = found;
        } else {
            // The name is refused by the text below, not by the compile's message.
            ClearPendingMessage();
        }
    }
    if (!identity) {
        if (name.empty())
            out = "Can't find a valid differentiation variable.";
        else
            out = "'" + name + "' is not a valid differentiation variable.";
        return 0;
    }

    Differentiator d(identity, dialect, GlobalSettings.lthresh);
    dv_Node* root = d.BuildTree(&expr, 0);
    dv_Node* derivative = root ? d.Derive(root) : nullptr;
    if (d.error) return d.error;
    if (!derivative) {
        const char* shown = d.refused ? dv_TokenText(d.refused) : copy.data();
        dv_FormatMessage(kMsgNoDerivative, shown, &out);
        return 0;
    }
    d.Print(derivative, &out);
    return 0;
}

void InstallSymbolicDerivatives() {
    static SymbolicDerivatives service;
    InstallDerivatives(&service);
}

void RegisterDerivativeMessages() {
    RegisterMessages(kDerivativeMessageRows,
                     static_cast<int>(sizeof(kDerivativeMessageRows) / sizeof(kDerivativeMessageRows[0])));
}
