// Symbolic differentiation: the printed derivatives of the calculator, the
// compiled derivatives checked against finite differences, and DER in formulas.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/dialect.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/derivative.h"
#include "expr/evaluate.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"
#include "tests/support/test_reporter.h"

namespace {

class DerivativeTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterExprMessages();
        BuildSymbolIndexes();
        ResetRunState();
        previous_ = InstallDerivatives(nullptr);
        InstallSymbolicDerivatives();
        ClearLastMessage();
        ClearPendingMessage();
    }
    void TearDown() override {
        InstallDerivatives(previous_);
        for (char*& name : names_) FreeString(&name);
        ResetRunState();
    }

    // Compiles a text in which X (and any other free name) is a variable of
    // its own: 0, or the id of the message the compile reported.
    int Compile(CompiledExpression* target, const char* text) {
        ExprCompiler ctx;
        ctx.Init(text, target, kMaskOutsideRun, kSymbolMaskAnalog);
        ctx.callerVarCount = 4;
        ctx.callerVarNames = names_;
        ctx.callerVarMasks = masks_;
        ctx.callerVarSlots = slots_;
        ClearLastMessage();
        const int rc = CompileExpression(&ctx);
        return rc == kResultShown ? LastMessageId() : rc;
    }
    // The slot X was bound to.
    double* X() {
        for (int i = 0; i < 4; ++i)
            if (names_[i] && std::string(names_[i]) == "X") return &slots_[i];
        return nullptr;
    }
    double Value(CompiledExpression* expr) {
        ComplexNumber v{0.0, 0.0};
        EXPECT_EQ(EvaluateExpression(expr, &v), 0);
        return v.re;
    }

    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
    ExprDerivatives* previous_ = nullptr;
    char* names_[4] = {};
    int32_t masks_[4] = {-1, -1, -1, -1};
    double slots_[4] = {};
};

std::string Derivative(const char* text, const char* variable, std::string* chosen = nullptr) {
    std::string name = variable;
    std::string result;
    EXPECT_EQ(DifferentiateExpression(text, &name, &result, kSpiceDialectPSpice), 0) << text;
    if (chosen) *chosen = name;
    return result;
}

TEST_F(DerivativeTest, PrintedDerivativesFollowTheRulesAndSimplifications) {
    struct Case {
        const char* text;
        const char* variable;
        const char* expected;
    } cases[] = {
        {"X*X", "X", "X+X"},
        {"3*X", "X", "3"},
        {"X/X", "X", "0"},
        {"5", "X", "0"},
        {"SIN(X)", "X", "COS(X)"},
        {"COS(X)", "X", "-(SIN(X))"},
        {"X**3", "X", "3*X^2"},
        {"LN(X)", "X", "1/X"},
        {"EXP(2*X)", "X", "EXP(2*X)*2"},
        {"ABS(X)", "x", "(X>=0)-(X<0)"},
        {"X*X/(A+B)", "X", "(X+X)/(A+B)"},
        {"X*X", "Y", "0"},
        {"MIN(X,Y)", "Y", "Y<X"},
        {"X>1 AND Y", "X", "0"},
        {"(X-Y)*(X+Y)", "X", "X+Y+(X-Y)"},
        {"X-Y*Y", "Y", "-(Y+Y)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Derivative(c.text, c.variable), c.expected) << c.text;
}

TEST_F(DerivativeTest, VariablesAreChosenOrRefusedByName) {
    std::string chosen;
    SetAnalysisKind(0);  // the time is a variable of a transient run
    EXPECT_EQ(Derivative("T*T", "", &chosen), "T+T");
    EXPECT_EQ(chosen, "T");
    EXPECT_EQ(Derivative("X*X", "2*X"), "'2*X' is not a valid differentiation variable.");
    EXPECT_EQ(Derivative("3+4", ""), "Can't find a valid differentiation variable.");
    EXPECT_EQ(Derivative("TABLE(X,0,0,1,1)+X", "X"), "Can't find the derivative of TABLE.");
    EXPECT_EQ(Derivative("SERIES(N,1,3,N*X)", "X"), "Can't find the derivative of SERIES.");
    // A text that does not compile keeps its compile result and gives no text.
    std::string name = "X", result = "old";
    EXPECT_NE(DifferentiateExpression("X*(", &name, &result, kSpiceDialectPSpice), 0);
    EXPECT_EQ(result, "");
}

// Every rule checked against a central difference of the formula itself.
TEST_F(DerivativeTest, CompiledDerivativesMatchFiniteDifferences) {
    struct Case {
        const char* text;
        double at;
        int dialect;
    } cases[] = {
        {"X*X*X-2*X", -1.3, kSpiceDialectPSpice},
        {"SIN(X)*EXP(X)/(1+X*X)", 0.7, kSpiceDialectPSpice},
        {"LN(X)+LOG(X)+SQRT(X)", 2.5, kSpiceDialectPSpice},
        {"TAN(X)+COT(X)+SEC(X)+CSC(X)", 0.6, kSpiceDialectPSpice},
        {"ASIN(X)+ACOS(X)+ATAN(X)+ACOT(X)", 0.4, kSpiceDialectPSpice},
        {"ASEC(X)+ACSC(X)+ACOSH(X)+ACOTH(X)", 1.7, kSpiceDialectPSpice},
        {"SINH(X)+COSH(X)+TANH(X)+COTH(X)+SECH(X)+CSCH(X)", 0.8, kSpiceDialectPSpice},
        {"ASINH(X)+ATANH(X)+ASECH(X)+ACSCH(X)", 0.3, kSpiceDialectPSpice},
        {"ABS(X-1)*X", 0.2, kSpiceDialectPSpice},
        {"IF(X>1, X*X, 2*X)", 1.5, kSpiceDialectPSpice},
        {"IF(X>1, X*X, 2*X)", 0.5, kSpiceDialectPSpice},
        {"IF(X-1, X*X, 3*X)", 0.5, kSpiceDialectPSpice},  // a negative condition takes the first branch
        {"IF(X, X*X, 3*X)", 1.2, kSpiceDialect3},         // SPICE3 compares with LTHRESH 1.5
        {"MIN(X*X, 2)+MAX(X, 0.5*X)", 1.1, kSpiceDialectPSpice},
        {"LIMIT(X*X, 0, 2)", 1.2, kSpiceDialectPSpice},
        {"ATAN2(X, 2)+ATAN2(1, X)", -0.6, kSpiceDialectPSpice},
        {"PWR(X, 3)+PWRS(X, 2)", -1.4, kSpiceDialectPSpice},
        {"X**X+POW(2, X)", 1.3, kSpiceDialectPSpice},
        {"-(X*3)+(X>0)", 0.9, kSpiceDialectPSpice},
    };
    for (const Case& c : cases) {
        for (char*& name : names_) FreeString(&name);
        CompiledExpression f, df;
        f.dialect = c.dialect;
        ASSERT_EQ(Compile(&f, c.text), 0) << c.text;
        double* x = X();
        ASSERT_NE(x, nullptr) << c.text;
        ASSERT_EQ(DifferentiateCompiled(&f, &df, reinterpret_cast<uintptr_t>(x), c.dialect), 0) << c.text;
        ASSERT_GT(df.TokenCount(), 0) << c.text;
        EXPECT_EQ(df.dialect, c.dialect);
        const double h = 1e-6;
        *x = c.at + h;
        const double up = Value(&f);
        *x = c.at - h;
        const double down = Value(&f);
        *x = c.at;
        const double expected = (up - down) / (2 * h);
        EXPECT_NEAR(Value(&df), expected, 1e-5 * (1 + std::fabs(expected))) << c.text;
    }
}

TEST_F(DerivativeTest, FormulasWithoutDerivativeGiveAnEmptyResult) {
    for (const char* text : {"TABLE(X,0,0,1,1)", "X+J0(X)", "PROD(N,1,3,N*X)"}) {
        for (char*& name : names_) FreeString(&name);
        CompiledExpression f, df;
        ASSERT_EQ(Compile(&f, text), 0) << text;
        EXPECT_NE(FindNonDifferentiable(&f), nullptr) << text;
        EXPECT_EQ(DifferentiateCompiled(&f, &df, 1, kSpiceDialectPSpice), 0) << text;
        EXPECT_EQ(df.TokenCount(), 0) << text;
    }
}

TEST_F(DerivativeTest, DerInFormulasEvaluatesTheDerivative) {
    struct Case {
        const char* text;
        double at;
        double expected;
    } cases[] = {
        {"DER(X*X*X, X)", 2.0, 12.0},
        {"1+DER(SIN(X), X)*2", 0.0, 3.0},
        {"DER(DER(X*X*X, X), X)", 2.0, 12.0},
        {"DER(X*X, X)+DER(3*X, X)", 1.5, 6.0},
    };
    for (const Case& c : cases) {
        for (char*& name : names_) FreeString(&name);
        CompiledExpression f;
        ASSERT_EQ(Compile(&f, c.text), 0) << c.text << " " << LastMessageText();
        ASSERT_NE(X(), nullptr);
        *X() = c.at;
        EXPECT_NEAR(Value(&f), c.expected, 1e-12) << c.text;
    }
    CompiledExpression f;
    EXPECT_EQ(Compile(&f, "DER(X*X, 2*X)"), 10437);
    EXPECT_EQ(Compile(&f, "DER(TABLE(X,0,0,1,1), X)"), 10448);
    EXPECT_NE(std::string(LastMessageText()).find("Can't find the derivative of TABLE"), std::string::npos)
        << LastMessageText();
}

TEST_F(DerivativeTest, DeepAndRepetitiveTextsStayBounded) {
    // Nested LIMITs repeat their operand three times a level: the written
    // derivative would grow as 3^n, and is refused instead.
    std::string text = "X";
    for (int i = 0; i < 16; ++i) text = "LIMIT(" + text + "*" + text.substr(0, 0) + "X,0,1)";
    std::string name = "X", result;
    EXPECT_EQ(DifferentiateExpression(text.c_str(), &name, &result, kSpiceDialectPSpice), 0);
    EXPECT_FALSE(result.empty());
    std::string sum = "X";
    for (int i = 0; i < 3000; ++i) sum += "+X";
    EXPECT_EQ(DifferentiateExpression(sum.c_str(), &name, &result, kSpiceDialectPSpice), 0);
    EXPECT_FALSE(result.empty());
}

}  // namespace
