// Builds compiled expressions for the evaluator tests from a postfix word list,
// so that each case names exactly the tokens the evaluator sees (no parser or
// constant folding in between).
//
// Words: a number is a constant; "@k" reads the double vars[k]; "I<k>" is an
// index-variable slot at vars[k]; "CELL" a state cell; "H<k>" history k;
// "B<k>" body k; "N<k>" the node value of node k; "'0" "'1" "'X" ... a digital
// level literal; "NEG" the unary minus; "#<code>" a raw token code; any other
// word is the code of the first symbol-table row with that name.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>
#include <string>

#include "core/memory.h"
#include "core/result.h"
#include "core/services.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/evaluate.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/stateful.h"
#include "expr/symbols.h"

inline ExprToken* EvAppendToken(CompiledExpression& e, int code) {
    ExprToken* t = AppendToken(&e);
    t->code = static_cast<int16_t>(code);
    t->pushes = (code >= 0 && code < kTokenCodeCount) ? OperandCodeSet[code] : 0;
    t->isDigitalLevel = (code == kTokDigitalLiteral || code == kTokDigitalNode) ? 1 : 0;
    t->argCount = 1;
    return t;
}

// Makes sure history `index` exists (empty).
inline void EvEnsureHistory(CompiledExpression& e, int index) {
    if (index < e.historyCount) return;
    void* block = e.histories;
    size_t oldSize = sizeof(HistoryBuffer) * static_cast<size_t>(e.historyCount);
    ASSERT_NE(ResizeZeroed(&block, sizeof(HistoryBuffer) * static_cast<size_t>(index + 1), oldSize), nullptr);
    e.histories = static_cast<HistoryBuffer*>(block);
    e.historyCount = index + 1;
}

// Appends a new empty body and returns it.
inline CompiledExpression* EvAddBody(CompiledExpression& e) {
    void* block = e.bodies;
    size_t oldSize = sizeof(CompiledExpression*) * static_cast<size_t>(e.bodyCount);
    EXPECT_NE(ResizeZeroed(&block, oldSize + sizeof(CompiledExpression*), oldSize), nullptr);
    e.bodies = static_cast<CompiledExpression**>(block);
    auto* body = new (MemAlloc(sizeof(CompiledExpression))) CompiledExpression();
    e.bodies[e.bodyCount++] = body;
    return body;
}

// Appends the words of `rpn` to e; vars backs "@k" and "I<k>".
inline void EvBuild(CompiledExpression& e, const char* rpn, double* vars = nullptr) {
    std::istringstream words(rpn);
    std::string w;
    while (words >> w) {
        char* end = nullptr;
        double number = std::strtod(w.c_str(), &end);
        if (end && *end == 0 && end != w.c_str()) {
            EvAppendToken(e, kTokConstant)->operand.value = number;
        } else if (w[0] == '@' || w[0] == 'I') {
            bool slot = w[0] == 'I' && w.size() > 1 && std::isdigit(static_cast<unsigned char>(w[1]));
            if (w[0] == 'I' && !slot) {
                int row = FindSymbolRow(w.c_str());
                ASSERT_GE(row, 0) << w;
                EvAppendToken(e, ExprSymbolTable[row].code);
                e.flags |= ExprSymbolTable[row].unitFlags;
                e.flags2 |= ExprSymbolTable[row].extraFlags;
                continue;
            }
            ASSERT_NE(vars, nullptr);
            EvAppendToken(e, slot ? kTokIndexVariable : kTokDoubleOperand)->operand.doublePtr =
                &vars[std::atoi(w.c_str() + 1)];
        } else if (w == "CELL") {
            EvAppendToken(e, kTokStateCell);
        } else if (w == "NEG") {
            EvAppendToken(e, kTokUnaryMinus);
        } else if (w[0] == '\'' && w.size() == 2) {
            EvAppendToken(e, kTokDigitalLiteral)->operand.index = DigitalStateIndex(w[1]);
        } else if (w[0] == '#') {
            EvAppendToken(e, std::atoi(w.c_str() + 1));
        } else if ((w[0] == 'H' || w[0] == 'B' || w[0] == 'N') && w.size() > 1 &&
                   std::isdigit(static_cast<unsigned char>(w[1]))) {
            int k = std::atoi(w.c_str() + 1);
            int code = w[0] == 'H' ? kTokCurveReference : w[0] == 'B' ? kTokBody : kTokNode;
            if (w[0] == 'H') EvEnsureHistory(e, k);
            EvAppendToken(e, code)->operand.index = k;
        } else {
            int row = FindSymbolRow(w.c_str());
            ASSERT_GE(row, 0) << w;
            const ExprSymbol& symbol = ExprSymbolTable[row];
            // As the compiler does: a global variable reads its storage, and
            // every symbol adds its unit and extra flags to the expression's.
            if (symbol.kindFlags & kKindGlobalDouble) {
                EvAppendToken(e, kTokDoubleOperand)->operand.doublePtr = static_cast<double*>(symbol.storage);
            } else {
                EvAppendToken(e, symbol.code);
            }
            e.flags |= symbol.unitFlags;
            e.flags2 |= symbol.extraFlags;
        }
    }
}

// The evaluator's process-wide state back to a clean start for every test.
class EvaluatorTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterExprMessages();
        BuildSymbolIndexes();
        ResetRunState();
        ResetFloatingPointState();
        ClearPendingMessage();
    }
    void TearDown() override {
        ResetRunState();
        ResetFloatingPointState();
        ClearPendingMessage();
    }
};
