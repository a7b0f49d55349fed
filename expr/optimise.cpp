// The expression optimiser: constant folding after every compile, and shared
// pieces for long expressions that repeat costly sub-expressions.

#include <cfenv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/memory.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/complex.h"
#include "expr/evaluate.h"
#include "expr/symbols.h"

namespace {

bool op_IsConstant(const ExprToken* t) { return t && t->code == kOperandConstant; }
const char* op_Text(const ExprToken* t) { return t->text.text() ? t->text.text() : ""; }

// Folds one unary function of a constant; false when it does not fold.
bool op_FoldUnary(int code, double x, double* result) {
    switch (code) {
    case kTokSqrt: *result = std::sqrt(std::fabs(x)); return true;
    case kTokUnaryMinus: *result = -x; return true;
    case kTokExp: *result = ClampedExp(x); return true;
    case kTokLog: *result = LogFloored(std::fabs(x), false); return true;
    case kTokLn:
        if (!(x > 0.0)) return false;
        *result = std::log(x);
        return true;
    default: return false;
    }
}

bool op_FoldBinary(int code, double a, double b, double* result) {
    switch (code) {
    case kTokPow: *result = (a >= 0.0 || IsIntegerValue(b)) ? GuardedPow(a, b) : 0.0; return true;
    case kTokMultiply: *result = a * b; return true;
    case kTokDivide:
        // A division by an exact zero gives what the evaluator gives for it.
        *result = b == 0.0 ? a * kComplexHuge : a / b;
        return true;
    case kTokPlus: *result = a + b; return true;
    case kTokMinus: *result = a - b; return true;
    default: return false;
    }
}

bool op_IsOperandToken(int code) {
    return code == kOperandDouble || code == kOperandComplex || code == kOperandConstant || code == kOperandDevice ||
           code == kOperandInt || code == kOperandComplexNode;
}

bool op_IsUnaryToken(int code) {
    return code == kTokLn || code == kTokExp || code == kTokLog || code == kTokSqrt || code == kTokTilde ||
           code == kTokUnaryMinus || (code >= kTokSinh && code <= kTokTanh) || code == kTokSech;
}

bool op_IsBinaryToken(int code) {
    return code == kTokPow || (code >= kTokAnd && code <= kTokEqual) || (code >= kTokMultiply && code <= kTokMinus) ||
           code == kTokMax;
}

int op_RunLength(const ExprToken* first, const ExprToken* last) {
    int n = 1;
    for (const ExprToken* t = first; t && t != last; t = t->Next()) ++n;
    return n;
}

bool op_SameToken(const ExprToken* a, const ExprToken* b) {
    return a->code == b->code && a->pushes == b->pushes &&
           std::memcmp(&a->operand, &b->operand, sizeof a->operand) == 0;
}

bool op_SameRun(const ExprToken* a, const ExprToken* b, int length) {
    for (int i = 0; i < length; ++i, a = a->Next(), b = b->Next()) {
        if (!a || !b || !op_SameToken(a, b)) return false;
    }
    return true;
}

bool op_InRun(const ExprToken* t, const ExprToken* first, int length) {
    for (int i = 0; i < length && first; ++i, first = first->Next())
        if (first == t) return true;
    return false;
}

// Replaces the run of `length` tokens from `first` by one operand reading the
// piece's result; returns that operand.
ExprToken* op_ReplaceRun(CompiledExpression* expr, ExprToken* first, int length, CompiledExpression* piece) {
    ExprToken* next = first->Next();
    for (int i = 1; i < length && next; ++i) next = static_cast<ExprToken*>(expr->tokens.Delete(next));
    first->code = kOperandComplex;
    first->pushes = 1;
    std::memset(&first->operand, 0, sizeof first->operand);
    first->operand.complexPtr = piece->resultSlot;
    first->argCount = 0;
    first->isDigitalLevel = 0;
    first->text.Format("OptPtr%" PRIxPTR, reinterpret_cast<uintptr_t>(piece->resultSlot));
    return first;
}

}  // namespace

int FoldConstants(CompiledExpression* expr) {
    if (!expr || expr->TokenCount() <= 1) return 0;
    // Only what the folding itself raises counts.
    std::feclearexcept(FE_ALL_EXCEPT);
    char text[400];
    ExprToken* t = expr->FirstToken();
    while (t) {
        ExprToken* p1 = t->Prev();
        ExprToken* p2 = p1 ? p1->Prev() : nullptr;
        double value = 0.0;
        if (op_IsConstant(p1) && op_FoldUnary(t->code, p1->operand.value, &value)) {
            if (t->code == kTokUnaryMinus) {
                std::snprintf(text, sizeof text, "%s%s", op_Text(t), op_Text(p1));
            } else {
                std::snprintf(text, sizeof text, "%s(%s)", op_Text(t), op_Text(p1));
            }
            p1->operand.value = value;
            p1->text.Set(text);
            expr->tokens.Delete(t);
            t = p1->Next();
            continue;
        }
        if (op_IsConstant(p1) && op_IsConstant(p2) &&
            op_FoldBinary(t->code, p2->operand.value, p1->operand.value, &value)) {
            std::snprintf(text, sizeof text, "(%s%s%s)", op_Text(p2), op_Text(t), op_Text(p1));
            p2->operand.value = value;
            p2->text.Set(text);
            expr->tokens.Delete(t);
            expr->tokens.Delete(p1);
            t = p2->Next();
            continue;
        }
        t = t->Next();
    }
    return CheckMathError();
}

ExprToken* FindOperandStart(ExprToken* token) {
    ExprToken* t = token ? token->Prev() : nullptr;
    if (!t) return nullptr;
    if (op_IsOperandToken(t->code)) return t;
    if (op_IsUnaryToken(t->code)) return FindOperandStart(t);
    if (op_IsBinaryToken(t->code)) {
        ExprToken* right = FindOperandStart(t);
        return right ? FindOperandStart(right) : nullptr;
    }
    return nullptr;
}

CompiledExpression* AddSharedPiece(CompiledExpression* expr, int length) {
    void* block = expr->shared;
    size_t oldSize = static_cast<size_t>(expr->sharedCount) * sizeof(CompiledExpression*);
    if (!ResizeZeroed(&block, oldSize + sizeof(CompiledExpression*), oldSize)) return nullptr;
    expr->shared = static_cast<CompiledExpression**>(block);
    void* storage = MemAlloc(sizeof(CompiledExpression));
    if (!storage) return nullptr;
    auto* piece = new (storage) CompiledExpression();
    piece->resultSlot = static_cast<ComplexNumber*>(MemAllocZero(sizeof(ComplexNumber)));
    if (!piece->resultSlot) {
        piece->~CompiledExpression();
        MemFree(storage);
        return nullptr;
    }
    piece->dialect = expr->dialect;
    if (expr->tokens.chunked) piece->tokens.EnablePooling(length);
    expr->shared[expr->sharedCount++] = piece;
    return piece;
}

int ExtractSharedPieces(CompiledExpression* expr, int depth) {
    if (!expr) return 0;
    const int count = expr->TokenCount();
    if (count < 50) return 0;
    ExprToken* t = expr->LastToken();
    while (t) {
        const int code = t->code;
        bool costly = code == kTokSqrt || code == kTokTanh || code == kTokPow || code == kTokExp;
        bool product = count > 30 && (code == kTokMultiply || code == kTokDivide);
        ExprToken* start = nullptr;
        if (costly || product) start = FindOperandStart(t);
        if (start && (code == kTokPow || product)) start = FindOperandStart(start);
        int length = start ? op_RunLength(start, t) : 0;
        if (!start || (product && length <= 10)) {
            t = t->Prev();
            continue;
        }
        // Every other occurrence of the same run.
        ExprToken* found[64];
        int foundCount = 0;
        for (ExprToken* s = expr->FirstToken(); s && foundCount < 64; s = s->Next()) {
            if (op_InRun(s, start, length)) continue;
            bool overlaps = false;
            for (int f = 0; f < foundCount && !overlaps; ++f) overlaps = op_InRun(s, found[f], length);
            ExprToken* q = s;
            for (int i = 0; q && i < length && !overlaps; ++i, q = q->Next()) overlaps = q == start;
            if (overlaps || !op_SameRun(s, start, length)) continue;
            found[foundCount++] = s;
        }
        if (!foundCount) {
            t = t->Prev();
            continue;
        }
        CompiledExpression* piece = AddSharedPiece(expr, length);
        if (!piece) return kResultNoMemory;
        ExprToken* source = start;
        for (int i = 0; i < length; ++i, source = source->Next()) {
            ExprToken* copy = AppendToken(piece);
            if (!copy) return kResultNoMemory;
            copy->CopyFrom(*source);
        }
        for (int f = 0; f < foundCount; ++f) op_ReplaceRun(expr, found[f], length, piece);
        t = op_ReplaceRun(expr, start, length, piece)->Prev();
    }
    for (int i = 0; i < expr->sharedCount; ++i) {
        int r = ExtractSharedPieces(expr->shared[i], depth + 1);
        if (r) return r;
    }
    return CheckMathError();
}
