// The optimiser: constant folding in every compile and shared pieces for long
// expressions.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/port.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"

namespace {

int ot_FindNode(const char* name, int, int kind) {
    if (kind == 0 && name[0] >= '0' && name[0] <= '7' && !name[1]) return name[0] - '0';
    return -1;
}
int ot_NodeCount(int) { return 7; }

// Analog nodes 0..7 named by their numbers.
class ot_Circuit final : public CircuitWithoutDevices {
public:
    int FindNodeNumber(const char* name, int scope, int kind) override { return ot_FindNode(name, scope, kind); }
    int NodeCount(int kind) override { return ot_NodeCount(kind); }
};

class ExprOptimiseTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterExprMessages();
        BuildSymbolIndexes();
        ResetRunState();
        SetAnalysisKind(0);
        gSolver.RealSolution = solution;
        gSolver.realCount = 8;
        ClearPendingMessage();
    }
    void TearDown() override { ResetRunState(); }
    int Compile(const char* text) {
        ExprCompiler ctx;
        ctx.Init(text, &expr, kMaskTransient, kSymbolMaskAnalog);
        ctx.quiet = 1;
        return CompileExpression(&ctx);
    }

    double solution[8] = {};
    CompiledExpression expr;
    ot_Circuit circuit;
    ScopedPort<ExprCircuit> circuitPort{InstallCompileCircuit, &circuit};
};

TEST_F(ExprOptimiseTest, ConstantOperationsFold) {
    struct Case {
        const char* text;
        double value;
        const char* printed;
    };
    const std::vector<Case> cases = {
        {"2*3+4", 10.0, "((2*3)+4)"},
        {"2*PI*1K", 2 * M_PI * 1000, "((2*PI)*1K)"},
        {"-(4)", -4.0, "-4"},
        {"SQRT(-4)", 2.0, "SQRT(-4)"},
        {"(-8)**(1/3)", 0.0, "(-8**(1/3))"},
        {"(-2)**3", -8.0, "(-2**3)"},
        {"2**-1", 0.5, "(2**-1)"},
        {"EXP(1000)", std::exp(350.0), "EXP(1000)"},
        {"LOG(100)", 2.0, "LOG(100)"},
        {"LOG10(0)", -50.0, "LOG10(0)"},
        {"LN(1)", 0.0, "LN(1)"},
        {"10-4-3", 3.0, "((10-4)-3)"},
        {"1/0", 1e50, "(1/0)"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Compile(c.text), 0) << c.text;
        ASSERT_EQ(expr.TokenCount(), 1) << c.text;
        ExprToken* t = expr.FirstToken();
        EXPECT_EQ(t->code, kOperandConstant) << c.text;
        EXPECT_DOUBLE_EQ(t->operand.value, c.value) << c.text;
        char printed[100];
        EXPECT_STREQ(FormatExpressionTokens(&expr, printed, sizeof printed), c.printed) << c.text;
    }
}

TEST_F(ExprOptimiseTest, FoldingLeavesWhatCannotFold) {
    struct Case {
        const char* text;
        int tokens;
    };
    const std::vector<Case> cases = {
        {"LN(0)", 2},   // no logarithm of zero at compile time
        {"T*2*3", 5},   // left to right: (T*2)*3
        {"2*3*T", 3},   // (2*3)*T
        {"SIN(1)", 2},  // only the listed functions fold
        {"5", 1},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Compile(c.text), 0) << c.text;
        EXPECT_EQ(expr.TokenCount(), c.tokens) << c.text;
    }
}

TEST_F(ExprOptimiseTest, OverflowWhileFoldingIsAMathError) {
    EXPECT_EQ(Compile("1E200*1E200"), kResultPending2);
    EXPECT_EQ(PendingCode(), 15003);
    ClearPendingMessage();
    // The next compile is not blamed for it.
    EXPECT_EQ(Compile("2*3"), 0);
}

// Builds "EXP(V(1)*2)+EXP(V(1)*2)" followed by `terms` further "+T" terms.
std::string ot_RepeatedText(int terms) {
    std::string text = "EXP(V(1)*2)+EXP(V(1)*2)";
    for (int i = 0; i < terms; ++i) text += "+T";
    return text;
}

TEST_F(ExprOptimiseTest, RepeatedCostlyRunsBecomeOneSharedPiece) {
    ASSERT_EQ(Compile(ot_RepeatedText(25).c_str()), 0);
    ASSERT_EQ(expr.TokenCount(), 59);
    ASSERT_EQ(ExtractSharedPieces(&expr, 0), 0);
    ASSERT_EQ(expr.sharedCount, 1);
    CompiledExpression& piece = *expr.shared[0];
    ASSERT_NE(piece.resultSlot, nullptr);
    EXPECT_EQ(piece.TokenCount(), 4);
    EXPECT_EQ(piece.LastToken()->code, kTokExp);
    EXPECT_EQ(expr.TokenCount(), 59 - 6);
    int readers = 0;
    for (ExprToken* t = expr.FirstToken(); t; t = t->Next()) {
        if (t->code == kOperandComplex && t->operand.complexPtr == piece.resultSlot) {
            ++readers;
            EXPECT_EQ(t->pushes, 1);
            EXPECT_EQ(std::string(t->text.text()).rfind("OptPtr", 0), 0u);
        }
    }
    EXPECT_EQ(readers, 2);
    FreeExpression(&expr);
    EXPECT_EQ(expr.sharedCount, 0);
    EXPECT_EQ(expr.shared, nullptr);
}

TEST_F(ExprOptimiseTest, ShortListsAreNotSplit) {
    ASSERT_EQ(Compile(ot_RepeatedText(20).c_str()), 0);
    ASSERT_EQ(expr.TokenCount(), 49);
    EXPECT_EQ(ExtractSharedPieces(&expr, 0), 0);
    EXPECT_EQ(expr.sharedCount, 0);
    EXPECT_EQ(expr.TokenCount(), 49);
}

}  // namespace
