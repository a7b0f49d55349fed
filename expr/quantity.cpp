#include "expr/quantity.h"

#include <cstdio>

#include "expr/compiler_internal.h"
#include "expr/runstate.h"
#include "expr/symbols.h"

namespace {

// What a set-up trial compile binds node operands to: its tokens are thrown
// away, so any slot will do, but never an address outside the solution.
double eq_scratchSlot = 0.0;

int eq_AppendOperand(ExprCompiler* ctx, int code, const char* text) { return AddLexeme(ctx, code, kLexOperand, text); }

}  // namespace

void RemoveQuantityCall(ExprCompiler* ctx, const DeviceQuantityCall& call) {
    int first = call.firstLexeme;
    // Quantities that do not take two nodes keep their function lexeme in
    // front of the '(' (VBE, IB, PD ...); it goes with the call.
    if (call.row && !(call.row->kindFlags & kArgTwoNodes) && first > 0) {
        const ExprLexeme& before = ctx->lexemes[first - 1];
        if (before.code == call.row->code && before.cls == kLexFunction) --first;
    }
    if (first < 0) return;
    while (ctx->lexemeCount >= first) RemoveLexemeAt(ctx, ctx->lexemeCount);
}

int AppendQuantityOpen(ExprCompiler* ctx) { return AddOpenParen(ctx); }
int AppendQuantityClose(ExprCompiler* ctx) { return AddCloseParen(ctx); }
int AppendQuantityMinus(ExprCompiler* ctx) { return AddLexeme(ctx, kTokMinus, 10, "-"); }
int AppendQuantityDivide(ExprCompiler* ctx) { return AddLexeme(ctx, kTokDivide, 11, "/"); }

int AppendQuantityUnaryMinus(ExprCompiler* ctx) {
    int r = AddLexeme(ctx, kTokUnaryMinus, kLexUnary, "-");
    if (!r) LastLexeme(ctx)->argCount = 1;
    return r;
}

int AppendUnknownOperand(ExprCompiler* ctx, int unknown, const char* text) {
    if (gSolver.AnalysisKind == 1) {
        int r = eq_AppendOperand(ctx, kOperandComplexNode, text);
        if (!r) LastLexeme(ctx)->value.index = unknown;
        return r;
    }
    int r = eq_AppendOperand(ctx, kOperandDouble, text);
    if (r) return r;
    double* slot = &eq_scratchSlot;
    if (ctx->setupPass != 1 && gSolver.RealSolution && unknown >= 0 && unknown < gSolver.realCount)
        slot = gSolver.RealSolution + unknown;
    LastLexeme(ctx)->value.doublePtr = slot;
    return 0;
}

int AppendFieldOperand(ExprCompiler* ctx, double* field, const char* text) {
    int r = eq_AppendOperand(ctx, kOperandDouble, text);
    if (!r) LastLexeme(ctx)->value.doublePtr = field;
    return r;
}

int AppendComplexFieldOperand(ExprCompiler* ctx, ComplexNumber* field, const char* text) {
    int r = eq_AppendOperand(ctx, kOperandComplex, text);
    if (!r) LastLexeme(ctx)->value.complexPtr = field;
    return r;
}

int AppendRunningIntegral(ExprCompiler* ctx, ComplexNumber* power, const char* text) {
    auto counted = [ctx](int r) {
        if (!r) LastLexeme(ctx)->argCount = 1;
        return r;
    };
    int r = counted(AddLexeme(ctx, kTokSum, kLexFunction, "SUM"));
    if (!r) r = counted(AddOpenParen(ctx));
    if (!r) r = counted(AppendComplexFieldOperand(ctx, power, text));
    if (!r) r = counted(AddLexeme(ctx, kTokComma, kLexComma, ","));
    if (!r) r = counted(AddIndependentVariableLexeme(ctx, true));
    if (!r) r = counted(AddLexeme(ctx, kTokComma, kLexComma, ","));
    if (!r) r = counted(AddStartValueLexeme(ctx));
    if (!r) r = counted(AddCloseParen(ctx));
    if (!r) ctx->target->flags |= kExprFlagRunningIntegral;
    return r;
}

int SetVoltageDifferenceLexemes(ExprCompiler* ctx, const DeviceQuantityCall& call, int nodeA, const char* nameA,
                                int nodeB, const char* nameB) {
    char text[300];
    RemoveQuantityCall(ctx, call);
    int r = AppendQuantityOpen(ctx);
    std::snprintf(text, sizeof text, "V(%s)", nameA ? nameA : "");
    if (!r) r = AppendUnknownOperand(ctx, nodeA, text);
    if (!r && nodeB >= 0) {
        std::snprintf(text, sizeof text, "V(%s)", nameB ? nameB : "");
        r = AppendQuantityMinus(ctx);
        if (!r) r = AppendUnknownOperand(ctx, nodeB, text);
    }
    if (!r) r = AppendQuantityClose(ctx);
    return r;
}
