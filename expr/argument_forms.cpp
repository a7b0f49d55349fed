// Special argument forms: the functions whose arguments are not compiled as
// plain arguments followed by their operator (index variables, bodies, default
// arguments, rewrites into other functions, the digital CASE).

#include <cstdio>
#include <cstring>

#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"

namespace {

int sf_Reported(const ExprCompiler* ctx) { return ctx->quiet ? kResultPending : kResultShown; }

const char* sf_Name(const ExprParser* p) {
    const ExprSymbol* row = SymbolRow(p->frames[p->level].row);
    return row && row->name[0] ? row->name : "";
}

// Appends a default argument: the call's ')' becomes a comma, the constant and
// a new ')' follow.
int sf_AppendDefault(ExprCompiler* ctx, double value, const char* text) {
    ReplaceLastLexemeByComma(ctx);
    LastLexeme(ctx)->argCount = 1;
    int r = AddConstantLexeme(ctx, value, text);
    if (r) return r;
    LastLexeme(ctx)->argCount = 1;
    if ((r = AddCloseParen(ctx))) return r;
    LastLexeme(ctx)->argCount = 1;
    return 0;
}

// The running analysis's independent variable as the lexemes make it.
double* sf_IndependentVariable(bool forceTime) {
    int kind = gSolver.AnalysisKind;
    if (!forceTime && kind == 1) return &RunVars.frequency;
    if (!forceTime && kind == 2) return &RunVars.dcInput1;
    return &RunVars.time;
}

// True when the lexeme before the call's ')' is a plain constant and the one
// before it `before` (a comma, or the call's '(').
bool sf_LastArgumentIsConstant(ExprCompiler* ctx, int before, double* value) {
    int n = ctx->lexemeCount;
    if (n < 2) return false;
    const ExprLexeme& constant = ctx->lexemes[n - 1];
    const ExprLexeme& separator = ctx->lexemes[n - 2];
    if (constant.code != kOperandConstant || separator.code != before) return false;
    *value = constant.value.value;
    return true;
}

int sf_AppendLexemeBody(ExprCompiler* ctx, int body, const char* text) {
    int r = AddLexeme(ctx, kTokBody, kLexOperand, text ? text : "");
    if (!r) LastLexeme(ctx)->value.index = body;
    return r;
}

int sf_PerformanceOpening(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    char* copy = nullptr;
    CompiledExpression curve;
    char* cursor = p->text + p->pos;
    int r = CompileArgumentText(p->text, &cursor, &curve, 0, ctx->indexNameOwner, &copy, kMaskPlotCurve, true, ctx);
    p->pos = static_cast<int>(cursor - p->text);
    const char* argument = copy ? copy : "";
    if (!r) {
        char name[100] = "";
        int bound = PlotBinding().BindCurveReference(&curve, kTokCurveReference, name, sizeof name);
        ExprToken* only = curve.FirstToken();
        if (bound) {
            r = ReportCompileError(ctx, bound, argument, p->Source());
        } else if (!only || only->Next() || only->code != kTokCurveReference) {
            r = ReportCompileError(ctx, 10435, argument, p->Source());
        } else if (p->Frame().functionCode == kTokPhaseMargin) {
            int check = PlotBinding().CheckPhaseMarginCurve(&curve);
            if (check == 10438) {
                r = ReportCompileError(ctx, 10438, argument, p->Source());
            } else if (check) {
                r = check == kResultShown || check == kResultPending ? check : ReportCompileErrorNoText(ctx, check);
            }
        }
        if (!r) {
            r = AddLexeme(ctx, kTokCurveReference, kLexOperand, argument);
            if (!r) LastLexeme(ctx)->value = only->operand;
            p->Frame().argFlags = kArgExpression;
            p->operandExpected = false;
        }
    }
    FreeString(&copy);
    return r;
}

}  // namespace

bool IsLastCaseArgument(ExprParser* p) {
    int caseLevel = -1;
    for (int l = p->level; l > 0; --l) {
        if (p->frames[l].functionCode == kTokCase) {
            caseLevel = p->frames[l].parenLevel;
            break;
        }
    }
    if (caseLevel < 0) return false;
    int count = p->depth;
    for (int pos = p->pos; pos < p->length; ++pos) {
        char c = p->text[pos];
        if (c == '(') {
            ++count;
        } else if (c == ')') {
            if (count == caseLevel) return true;
            --count;
        } else if (c == ',' && count == caseLevel) {
            return false;
        }
    }
    return true;
}

int ApplyOpeningRules(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    const ExprSymbol* row = SymbolRow(frame.row);
    if (!row) return 0;
    int r = 0;
    switch (frame.functionCode) {
    case kTokSeries:
    case kTokProd: frame.argFlags = kArgIndexVariable; return 0;
    case kTokDer: {
        // The derivative needs the differentiation service.
        if (!Derivatives().CanDifferentiate()) return ReportCompileError(ctx, 10432, row->name, p->Source());
        int body = AddBody(ctx);
        if (body < 0) return sf_Reported(ctx);
        char* copy = nullptr;
        r = CompileBodyArgument(p, &p->pos, body, 0, false, &copy);
        if (!r) r = sf_AppendLexemeBody(ctx, body, copy);
        FreeString(&copy);
        p->operandExpected = false;
        return r;
    }
    case kTokDifa: frame.argFlags = kArgExpression; return 0;
    case kTokDifd: frame.argFlags = 0x840; return 0;
    case kTokChanged:
    case kTokChangedLH:
    case kTokChangedHL: frame.argFlags = kArgDigital1; return 0;
    case kTokCase:
        if ((r = AddLexeme(ctx, kTokIfThen, kLexFunction, "IFTHEN"))) return r;
        if ((r = AddOpenParen(ctx))) return r;
        frame.argFlags = 0x269;
        return 0;
    default: break;
    }
    if (row->unitFlags & kUnitPerformance) return sf_PerformanceOpening(p);
    return 0;
}

int ApplyCommaRules(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    const ExprSymbol* row = SymbolRow(frame.row);
    if (!row) return 0;
    const int index = frame.argIndex;
    int r = 0;
    switch (frame.functionCode) {
    case kTokSeries:
    case kTokProd:
        frame.argFlags = kArgExpression;
        if (index == 3) {
            int body = AddBody(ctx);
            if (body < 0) return sf_Reported(ctx);
            char* copy = nullptr;
            r = CompileBodyArgument(p, &p->pos, body, kSymbolMaskSeriesBody, false, &copy);
            if (!r) r = sf_AppendLexemeBody(ctx, body, copy);
            FreeString(&copy);
            p->operandExpected = false;
        }
        return r;
    case kTokDer: {
        if (index != 1) return 0;
        CompiledExpression variable;
        char* copy = nullptr;
        char* cursor = p->text + p->pos;
        r = CompileArgumentText(p->text, &cursor, &variable, 0, ctx->indexNameOwner, &copy, 0, false, ctx);
        p->pos = static_cast<int>(cursor - p->text);
        int n = ctx->lexemeCount;
        // The lexemes are: DER ( body ,
        ExprLexeme* bodyLexeme = n >= 1 ? &ctx->lexemes[n - 1] : nullptr;
        if (!r && (!bodyLexeme || bodyLexeme->code != kTokBody)) r = ReportCompileErrorNoText(ctx, 10437);
        if (!r) {
            CompiledExpression* body = ctx->target->bodies[bodyLexeme->value.index];
            r = Derivatives().Differentiate(ctx, body, &variable);
            if (r == 10437) r = ReportCompileErrorNoText(ctx, 10437);
        }
        if (!r) {
            if (frame.funcLexeme >= 0) ctx->lexemes[frame.funcLexeme].argCount = 1;
            char text[400];
            std::snprintf(text, sizeof text, "DER(%s,%s)", bodyLexeme->text.text() ? bodyLexeme->text.text() : "",
                          copy ? copy : "");
            bodyLexeme->text.Set(text);
            RemoveLexemeAt(ctx, n);
            p->operandExpected = false;
        }
        FreeString(&copy);
        return r;
    }
    case kTokDifa:
    case kTokDifd:
        if (index == 3) frame.argFlags = kArgNumberOnly;
        return 0;
    case kTokChanged:
    case kTokChangedLH:
    case kTokChangedHL: frame.argFlags = 0x804; return 0;
    case kTokCase:
        if (index % 2 == 1) {
            frame.argFlags = kArgDigital80;
            return 0;
        }
        frame.argFlags = 0x269;
        // The pair ends before the comma; the next pair opens after it.
        LastLexeme(ctx)->code = kTokCloseParen;
        LastLexeme(ctx)->cls = kLexParen;
        LastLexeme(ctx)->text.Set(")");
        if ((r = AddLexeme(ctx, kTokComma, kLexComma, ","))) return r;
        if ((r = AddLexeme(ctx, kTokIfThen, kLexFunction, "IFTHEN"))) return r;
        return AddOpenParen(ctx);
    case kTokSdt:
    case kTokSdFunction:
        if (index == 1) {
            if ((r = AddIndependentVariableLexeme(ctx, frame.functionCode == kTokSdt))) return r;
            LastLexeme(ctx)->argCount = 1;
            if ((r = AddLexeme(ctx, kTokComma, kLexComma, ","))) return r;
            LastLexeme(ctx)->argCount = 1;
            frame.argFlags = kArgStartValue;
        }
        return 0;
    case kTokRms:
    case kTokAvg:
        if (index == 1) frame.argFlags = kArgStartValue;
        return 0;
    case kTokSum:
        if (index == 2) frame.argFlags = kArgStartValue;
        return 0;
    default: break;
    }
    if ((row->unitFlags & kUnitPerformance) && index == 1) {
        int body = AddBody(ctx);
        if (body < 0) return sf_Reported(ctx);
        char* copy = nullptr;
        r = CompilePlotArgument(p, &p->pos, body, kTokPerformanceArg, 0, ctx->analysisMask, true, &copy);
        if (!r) r = sf_AppendLexemeBody(ctx, body, copy);
        FreeString(&copy);
        p->operandExpected = false;
    }
    return r;
}

int ApplyClosingRules(ExprParser* p, int count) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    const ExprSymbol* row = SymbolRow(frame.row);
    if (!row) return 0;
    int r = 0;
    const int code = frame.functionCode;
    switch (code) {
    case kTokSeries:
    case kTokProd: {
        CompiledExpression* owner = ctx->indexNameOwner ? ctx->indexNameOwner : ctx->target;
        RemoveIndexName(ctx, owner->indexNameCount - 1);
        return 0;
    }
    case kTokDifa:
    case kTokDifd: return count == 2 ? sf_AppendDefault(ctx, 0.0, "0.0") : 0;
    case kTokCase: {
        // CASE(c1, v1, ..., default): an even count has no default.
        if (count % 2 == 0) return ReportCompileError(ctx, 10419, sf_Name(p));
        if ((r = AddCloseParen(ctx))) return r;
        for (int i = ctx->lexemeCount; i >= 0; --i) {
            if (ctx->lexemes[i].code == kTokIfThen) {
                ctx->lexemes[i].code = kTokDefault;
                ctx->lexemes[i].text.Set("DEFAULT");
                break;
            }
        }
        p->caseOpen = false;
        return 0;
    }
    case kTokSdt:
    case kTokSdFunction:
    case kTokSum:
    case kTokRms:
    case kTokAvg: {
        int effective = count;
        int maxArgs = row->maxArgs;
        if (code == kTokSdt || code == kTokSdFunction) {
            // These become SUM(y, x, start): the variable of integration was
            // inserted at the first comma, or is inserted now.
            if (count == 1) {
                ReplaceLastLexemeByComma(ctx);
                LastLexeme(ctx)->argCount = 1;
                if ((r = AddIndependentVariableLexeme(ctx, code == kTokSdt))) return r;
                LastLexeme(ctx)->argCount = 1;
                if ((r = AddCloseParen(ctx))) return r;
                LastLexeme(ctx)->argCount = 1;
            }
            effective = count + 1;
            const ExprSymbol* sum = SymbolForCode(kTokSum);
            maxArgs = sum ? sum->maxArgs : 3;
        }
        if (effective != maxArgs - 1) return 0;
        bool startValue = true;
        if (code == kTokSum) {
            int n = ctx->lexemeCount;
            const ExprLexeme* variable = n >= 2 ? &ctx->lexemes[n - 1] : nullptr;
            startValue = variable && variable->code == kOperandDouble &&
                         variable->value.doublePtr == sf_IndependentVariable(false) &&
                         ctx->lexemes[n - 2].code == kTokComma;
        }
        ReplaceLastLexemeByComma(ctx);
        LastLexeme(ctx)->argCount = 1;
        r = startValue ? AddStartValueLexeme(ctx) : AddConstantLexeme(ctx, 0.0, "0.0");
        if (r) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddCloseParen(ctx))) return r;
        LastLexeme(ctx)->argCount = 1;
        return 0;
    }
    case kTokDdt:
    case kTokDd: {
        // (DDT(y)/DEL(x)): the opening '(' was appended before the function.
        struct Piece {
            int code;
            int cls;
            const char* text;
        };
        const Piece pieces[] = {{kTokDivide, 11, "/"}, {kTokDel, kLexFunction, "DEL"}, {kTokOpenParen, kLexParen, "("}};
        for (const Piece& piece : pieces) {
            if ((r = AddLexeme(ctx, piece.code, piece.cls, piece.text))) return r;
            LastLexeme(ctx)->argCount = 1;
        }
        if ((r = AddIndependentVariableLexeme(ctx, code == kTokDdt))) return r;
        LastLexeme(ctx)->argCount = 1;
        for (int i = 0; i < 2; ++i) {
            if ((r = AddCloseParen(ctx))) return r;
            LastLexeme(ctx)->argCount = 1;
        }
        return 0;
    }
    case kTokFs:
    case kTokRes:
        if (count >= 3) return 0;
        if (count == 1 && (r = sf_AppendDefault(ctx, 0.0, "0"))) return r;
        return code == kTokRes ? sf_AppendDefault(ctx, 1.0, "1") : sf_AppendDefault(ctx, 1e9, "1G");
    case kTokThd:
    case kTokIhd: return count == 1 ? sf_AppendDefault(ctx, -1.0, "-1.0") : 0;
    case kTokJn:
    case kTokYn: return count == 2 ? sf_AppendDefault(ctx, -10.0, "-10") : 0;
    case kTokTable:
    case kTokBase: {
        if (code == kTokTable && count % 2 == 0) return ReportCompileErrorNoText(ctx, 10430);
        char text[16];
        std::snprintf(text, sizeof text, "%d", count);
        return sf_AppendDefault(ctx, count, text);
    }
    case kTokLast: {
        double n = 0.0;
        if (!sf_LastArgumentIsConstant(ctx, kTokComma, &n) || n < 0.0) return 10439;
        // The history is sized from n at once, so n is bounded before anything is
        // allocated (a million points back is far beyond any run's needs).
        constexpr int kLastHistoryLimit = 1000000;
        if (n > kLastHistoryLimit) {
            char limit[16];
            std::snprintf(limit, sizeof limit, "%d", kLastHistoryLimit);
            return ReportCompileErrorWithText(ctx, 10447, limit);
        }
        ReplaceLastLexemeByComma(ctx);
        int history = AddHistory(ctx);
        if (history < 0) return sf_Reported(ctx);
        if ((r = AddLexeme(ctx, kTokCurveReference, kLexOperand, "HIST"))) return r;
        LastLexeme(ctx)->value.index = history;
        if ((r = AddCloseParen(ctx))) return r;
        int entries = ClampToInt(n);
        if (entries > 0 && GrowHistory(ctx->target, history, entries))
            return ReportCompileErrorNoText(ctx, kResultNoMemory);
        return 0;
    }
    case kTokDelay: {
        // Both histories are appended whatever the delay argument is, so that
        // the operator always finds them after its two arguments (a delay that
        // is computed works from the same stored points as a constant one).
        ReplaceLastLexemeByComma(ctx);
        for (int i = 0; i < 2; ++i) {
            int history = AddHistory(ctx);
            if (history < 0) return sf_Reported(ctx);
            if (i == 1 && (r = AddLexeme(ctx, kTokComma, kLexComma, ","))) return r;
            if ((r = AddLexeme(ctx, kTokCurveReference, kLexOperand, "HIST"))) return r;
            LastLexeme(ctx)->value.index = history;
        }
        return AddCloseParen(ctx);
    }
    case kTokRndi: {
        double interval = 0.0;
        if (!sf_LastArgumentIsConstant(ctx, kTokOpenParen, &interval) || !(interval > 0.0))
            return ReportCompileErrorNoText(ctx, 10445);
        return 0;
    }
    default: return 0;
    }
}
