// Conditional rewriting, argument preparation, the operand check and the
// conversion of the lexeme array into tokens in evaluation order.

#include <cstring>

#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/symbols.h"

namespace {

constexpr int kPostfixStackSize = 150;
constexpr int kCaretStackSize = 200;

int pf_Code(const ExprCompiler* ctx, int i) { return ctx->lexemes[i].code; }

// Index of the ')' that closes the '(' at `open`, or -1.
int pf_MatchingClose(const ExprCompiler* ctx, int open) {
    int n = ctx->lexemeCount;
    int depth = 0;
    for (int i = open; i < n; ++i) {
        int code = pf_Code(ctx, i);
        if (code == kTokOpenParen) {
            ++depth;
        } else if (code == kTokCloseParen) {
            if (--depth == 0) return i;
        }
    }
    return -1;
}

int pf_InsertLexeme(ExprCompiler* ctx, int index, int code, int cls, const char* text) {
    int r = InsertLexemeAt(ctx, index);
    if (r) return r;
    ExprLexeme& lexeme = ctx->lexemes[index];
    lexeme.code = code;
    lexeme.cls = cls;
    lexeme.text.Set(text);
    return 0;
}

void pf_MakeComma(ExprLexeme& lexeme) {
    lexeme.code = kTokComma;
    lexeme.cls = kLexComma;
    std::memset(&lexeme.value, 0, sizeof lexeme.value);
    lexeme.text.Set(",");
}

bool pf_IsHistoryCode(int code) {
    return code == kTokDel || code == kTokPh || code == kTokSum || code == kTokAvg || code == kTokGd ||
           code == kTokRms || code == kTokLast;
}

// The history depth of the call whose function lexeme is at `at`.
int pf_CallDepth(const ExprCompiler* ctx, int at) {
    int open = at + 1;
    if (open >= ctx->lexemeCount || pf_Code(ctx, open) != kTokOpenParen) return 1;
    int close = pf_MatchingClose(ctx, open);
    if (close < 0) close = ctx->lexemeCount;
    int nested = 0;
    for (int k = open + 1; k < close; ++k) {
        if (pf_IsHistoryCode(pf_Code(ctx, k)) && ctx->lexemes[k].cls == kLexFunction) {
            int d = pf_CallDepth(ctx, k);
            if (d > nested) nested = d;
        }
    }
    int own = 1;
    if (pf_Code(ctx, at) == kTokLast && close - 3 > open && pf_Code(ctx, close - 3) == kOperandConstant) {
        int n = ClampToInt(ctx->lexemes[close - 3].value.value);
        own = n > 0 ? n : 0;
    }
    long total = static_cast<long>(nested) + own;
    return total > 0x7fffffff ? 0x7fffffff : static_cast<int>(total);
}

bool pf_IsOperatorClass(int cls) { return cls == kLexComma || (cls >= 1 && cls <= 13); }

}  // namespace

// ---- c ? a : b into IF(c, a, b) ---------------------------------------------------------

int ConvertConditionalOperator(ExprCompiler* ctx) {
    for (;;) {
        int n = ctx->lexemeCount;
        int q = -1;
        bool colon = false;
        for (int i = 0; i < n; ++i) {
            if (pf_Code(ctx, i) == kTokQuestion && q < 0) q = i;
            if (pf_Code(ctx, i) == kTokColon) colon = true;
        }
        if (q < 0) return colon ? 10441 : 0;
        pf_MakeComma(ctx->lexemes[q]);

        // The condition extends left to the nearest enclosing '(' or separator.
        int start = 0;
        int count = 0;
        for (int i = q - 1; i >= 0; --i) {
            int code = pf_Code(ctx, i);
            if (code == kTokOpenParen) ++count;
            if (code == kTokCloseParen) --count;
            if (count == 1 || (count == 0 && (code == kTokColon || code == kTokComma))) {
                start = i + 1;
                break;
            }
        }
        int r = pf_InsertLexeme(ctx, start, kTokIf, kLexFunction, "IF");
        if (!r) r = pf_InsertLexeme(ctx, start + 1, kTokOpenParen, kLexParen, "(");
        if (r) return r;
        q += 2;
        n = ctx->lexemeCount;

        // The ':' of this '?'.
        int c = -1;
        int nested = 0;
        count = 0;
        for (int i = q + 1; i < n; ++i) {
            int code = pf_Code(ctx, i);
            if (code == kTokOpenParen)
                ++count;
            else if (code == kTokCloseParen && --count < 0)
                break;
            else if (code == kTokQuestion)
                ++nested;
            else if (code == kTokColon) {
                if (nested == 0 && count == 0) {
                    c = i;
                    break;
                }
                if (nested > 0) --nested;
            }
        }
        if (c < 0) return 10440;
        pf_MakeComma(ctx->lexemes[c]);

        // The false branch extends right as far as possible.
        int end = n;
        nested = 0;
        count = 0;
        for (int i = c + 1; i < n; ++i) {
            int code = pf_Code(ctx, i);
            if (code == kTokOpenParen) {
                ++count;
            } else if (code == kTokCloseParen) {
                if (--count < 0) {
                    end = i;
                    break;
                }
            } else if (code == kTokQuestion) {
                ++nested;
            } else if (count == 0 && code == kTokColon) {
                if (nested == 0) {
                    end = i;
                    break;
                }
                --nested;
            } else if (count == 0 && code == kTokComma && nested == 0) {
                end = i;
                break;
            }
        }
        if ((r = pf_InsertLexeme(ctx, end, kTokCloseParen, kLexParen, ")"))) return r;
    }
}

// ---- argument preparation -------------------------------------------------------------

int ComputeHistoryDepth(ExprCompiler* ctx, int start) {
    if (start > 0) return pf_CallDepth(ctx, start);
    int deepest = 0;
    for (int i = 0; i < ctx->lexemeCount; ++i) {
        if (pf_IsHistoryCode(pf_Code(ctx, i)) && ctx->lexemes[i].cls == kLexFunction) {
            int d = pf_CallDepth(ctx, i);
            if (d > deepest) deepest = d;
        }
    }
    return deepest;
}

int PrepareFunctionArguments(ExprCompiler* ctx) {
    CompiledExpression* target = ctx->target;
    if (ctx->state && (target->flags & kExprFlagSpectrum)) {
        struct Recode {
            int from;
            int to;
        };
        static const Recode recodes[] = {{kTokRe, 61}, {kTokIm, 62}, {kTokMag, 63}, {kTokPh, 64}, {kTokRms, 67}};
        for (int i = 0; i < ctx->lexemeCount; ++i) {
            for (const Recode& rc : recodes) {
                if (pf_Code(ctx, i) != rc.from || ctx->lexemes[i].cls != kLexFunction) continue;
                int close = pf_MatchingClose(ctx, i + 1);
                if (close < 0) close = ctx->lexemeCount;
                for (int k = i + 1; k < close; ++k) {
                    int code = pf_Code(ctx, k);
                    if (code >= kTokHarm && code <= kTokNormMax) {
                        ctx->lexemes[i].code = rc.to;
                        break;
                    }
                }
            }
        }
    }
    target->historyDepth = ComputeHistoryDepth(ctx, 0);

    // The state cells of stateful functions follow their real arguments.
    for (int i = 0; i < ctx->lexemeCount; ++i) {
        if (ctx->lexemes[i].cls != kLexFunction) continue;
        const ExprSymbol* row = SymbolForCode(pf_Code(ctx, i));
        if (!row || row->stateCells <= 0) continue;
        if (i + 1 >= ctx->lexemeCount || pf_Code(ctx, i + 1) != kTokOpenParen) return 0;
        int close = pf_MatchingClose(ctx, i + 1);
        if (close < 0) return 0;
        for (int cell = 0; cell < row->stateCells; ++cell) {
            int r = pf_InsertLexeme(ctx, close, kTokComma, kLexComma, ",");
            if (!r) r = pf_InsertLexeme(ctx, close + 1, kOperandStateCell, kLexOperand, "0.0");
            if (r) return r;
            ctx->lexemes[close].argCount = 1;
            ctx->lexemes[close + 1].argCount = 1;
            close += 2;
        }
    }
    return 0;
}

// ---- operand check ----------------------------------------------------------------------

int CheckOperandsAndOperators(ExprCompiler* ctx) {
    const char* source = ctx->text ? ctx->text : "";
    const int n = ctx->lexemeCount;
    if (n <= 0) return ReportCompileError(ctx, 10403, source);
    int operands = 0;
    int operators = 0;
    int expected = 1;
    int opens = 0;
    int closes = 0;
    bool lastWasSign = false;
    for (int i = 0; i < n; ++i) {
        ExprLexeme& lexeme = ctx->lexemes[i];
        const int cls = lexeme.cls;
        bool sign = false;
        if (cls == kLexOperand) {
            ++operands;
        } else if (cls == kLexFunction) {
            // Counted by their parentheses.
        } else if (cls == kLexParen) {
            if (lexeme.code == kTokOpenParen)
                ++opens;
            else
                ++closes;
        } else if (!(cls == kLexUnary && i != n - 1)) {
            ++operators;
            ++expected;
        }
        if (pf_IsOperatorClass(cls) && i + 1 < n && pf_Code(ctx, i + 1) == kTokCloseParen)
            return ReportCompileError(ctx, 10403, source);
        if (closes > opens) return ReportCompileError(ctx, 10405, source);
        if (operands > expected) return ReportCompileError(ctx, 10407, source);
        if (operands < operators) {
            // An operator where an operand belongs: only a minus sign may stand there.
            --operators;
            --expected;
            if (lexeme.code != kTokMinus || lastWasSign) return ReportCompileError(ctx, 10403, source);
            lexeme.code = kTokUnaryMinus;
            lexeme.cls = kLexUnary;
            lexeme.text.Set("-");
            sign = true;
        }
        lastWasSign = sign;
    }
    if (operands == operators) return ReportCompileError(ctx, 10403, source);
    if (opens != closes) return ReportCompileError(ctx, 10406, source);
    return 0;
}

// ---- postfix conversion ------------------------------------------------------------------

void ResolveCaretOperators(ExprCompiler* ctx) {
    if ((ctx->target->flags & kExprFlagDigitalLevel) || (ctx->symbolMask & 0xa8)) return;
    int kinds[kCaretStackSize];
    int level = 0;
    kinds[0] = 0;
    for (int i = 0; i < ctx->lexemeCount; ++i) {
        ExprLexeme& lexeme = ctx->lexemes[i];
        const int code = lexeme.code;
        if (code == kTokOpenParen) {
            // Deeper nesting than the stack holds fails in the conversion.
            if (level + 1 >= kCaretStackSize) return;
            kinds[++level] = 0;
        } else if (code == kTokCloseParen) {
            int kind = kinds[level];
            if (level > 0) --level;
            if (kinds[level] == 0) kinds[level] = kind;
        } else if (code == kOperandDigitalNode || code == kOperandLevel5 || lexeme.cls == 8 || lexeme.cls == 9) {
            kinds[level] = 1;
        } else if (code == kOperandConstant) {
        } else if (code == kTokCaret) {
            if (kinds[level] != 1) {
                lexeme.code = kTokPow;
                lexeme.cls = kLexPower;
            } else {
                kinds[level] = 2;
            }
        } else {
            kinds[level] = 2;
        }
    }
}

namespace {

ExprToken* pf_Emit(ExprCompiler* ctx, const ExprLexeme& lexeme, bool* failed) {
    if (lexeme.code == kTokComma) return nullptr;
    ExprToken* token = AppendToken(ctx->target);
    if (!token) {
        *failed = true;
        return nullptr;
    }
    token->code = static_cast<int16_t>(lexeme.code);
    token->operand = lexeme.value;
    token->text.Set(lexeme.text.text());
    token->argCount = lexeme.argCount;
    return token;
}

}  // namespace

int ConvertToPostfix(ExprCompiler* ctx) {
    ResolveCaretOperators(ctx);
    CompiledExpression* target = ctx->target;
    int stack[kPostfixStackSize];
    int top = 0;
    bool failed = false;
    for (int i = 0; i < ctx->lexemeCount && !failed; ++i) {
        const ExprLexeme& lexeme = ctx->lexemes[i];
        if (lexeme.code == kTokCloseParen) {
            while (top > 0 && pf_Code(ctx, stack[top - 1]) != kTokOpenParen)
                pf_Emit(ctx, ctx->lexemes[stack[--top]], &failed);
            if (top > 0) --top;
            continue;
        }
        if (lexeme.code != kTokOpenParen) {
            const int c = lexeme.cls;
            while (top > 0) {
                const ExprLexeme& onTop = ctx->lexemes[stack[top - 1]];
                const int t = onTop.cls;
                if (t == kLexPower && lexeme.code == kTokUnaryMinus) break;
                if (t == kLexUnary && c == kLexUnary) break;
                if (onTop.code == kTokOpenParen) break;
                if (t >= c) {
                    pf_Emit(ctx, onTop, &failed);
                    --top;
                } else {
                    break;
                }
            }
            if (lexeme.code == kTokQuestion || lexeme.code == kTokColon) {
                pf_Emit(ctx, lexeme, &failed);
                continue;
            }
        }
        if (top >= kPostfixStackSize - 1) return ReportCompileErrorNoText(ctx, 10431);
        stack[top++] = i;
    }
    while (top > 0 && !failed) pf_Emit(ctx, ctx->lexemes[stack[--top]], &failed);
    if (failed) return kResultNoMemory;

    // Two-state values may only be compared with each other.
    int twoState = 0;
    for (ExprToken* t = target->FirstToken(); t; t = t->Next()) {
        if (t->code == kOperandCallerVar2 || t->code == kOperandLevel2) {
            if (t->code == kOperandLevel2) t->code = kOperandLevel5;
            if (++twoState > 2) return ReportCompileErrorNoText(ctx, 10424);
        } else if (twoState > 0) {
            if (t->code == kTokTilde) {
                t->code = kTokDigitalNot;
            } else if ((t->code == kTokEqual || t->code == kTokNotEqual) && twoState == 2) {
                twoState = 0;
            } else {
                return ReportCompileErrorNoText(ctx, 10424);
            }
        }
    }
    for (ExprToken* t = target->FirstToken(); t; t = t->Next()) {
        t->pushes = IsOperandCode(t->code) ? 1 : 0;
        t->isDigitalLevel = (t->code == kOperandLevel5 || t->code == kOperandDigitalNode) ? 1 : 0;
    }
    return 0;
}

int CountStatefulTokens(ExprCompiler* ctx) {
    CompiledExpression* target = ctx->target;
    CompiledExpressionState* state = ctx->state;
    if (!state || !((target->flags & kExprFlagSpectrum) || (target->flags2 & 0x40))) return 0;
    int pushing = 0;
    bool spectrum = false;
    for (ExprToken* t = target->FirstToken(); t; t = t->Next()) {
        if (t->pushes) ++pushing;
        if (t->code >= kTokHarm && t->code <= kTokNormMax) spectrum = true;
    }
    if (!spectrum) target->flags &= ~kExprFlagSpectrum;
    if (!(target->flags & kExprFlagSpectrum) && !(target->flags2 & 0x40)) return 0;
    state->pushCount = pushing;
    if (!(ctx->analysisMask & kMaskNoState)) {
        MemFree(state->tokenValues);
        state->tokenValues = static_cast<int32_t*>(MemAllocZero(static_cast<size_t>(pushing + 1) * sizeof(int32_t)));
        if (!state->tokenValues) return ReportCompileErrorNoText(ctx, kResultNoMemory);
    }
    return 0;
}
