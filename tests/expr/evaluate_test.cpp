#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "core/result.h"
#include "expr/compiled.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/symbols.h"
#include "tests/expr/evaluator_fixture.h"

namespace {

class EvaluateTest : public EvaluatorTestBase {
protected:
    // Evaluates a postfix word list; the result code goes to *code.
    ComplexNumber Eval(const char* rpn, int* code = nullptr, int32_t dialect = kSpiceDialectAmbiguous) {
        CompiledExpression e;
        e.dialect = dialect;
        EvBuild(e, rpn, vars);
        ComplexNumber r = {-99.0, -99.0};
        int c = EvaluateExpression(&e, &r, nullptr);
        if (code) *code = c;
        lastZeroDivide = e.evaluatorWords[kWordZeroDivide];
        return r;
    }
    // Compiles an expression text outside a run, quietly; false (with the
    // pending text in the failure) when it does not compile.
    static bool Compile(const char* text, CompiledExpression& e) {
        ExprCompiler ctx;
        ctx.Init(text, &e, kMaskOutsideRun, kSymbolMaskAnalog);
        ctx.quiet = 1;
        const int code = CompileExpression(&ctx);
        EXPECT_EQ(code, 0) << text << ": " << PendingText();
        ClearPendingMessage();
        return code == 0;
    }
    double vars[4] = {0, 0, 0, 0};
    int lastZeroDivide = 0;
};

struct EvalValueCase {
    const char* rpn;
    double re;
    double im;
};

void ExpectValue(const EvalValueCase& c, const ComplexNumber& r, int code) {
    double tolerance = 1e-9 * (std::fabs(c.re) > 1.0 ? std::fabs(c.re) : 1.0);
    EXPECT_EQ(code, 0) << c.rpn;
    EXPECT_NEAR(r.re, c.re, tolerance) << c.rpn;
    EXPECT_NEAR(r.im, c.im, 1e-9) << c.rpn;
}

// One or more cases for every function family of the symbol table, and the
// operators, against values worked out by hand.
TEST_F(EvaluateTest, FunctionFamiliesGiveHandComputedValues) {
    const double pi = 3.141592653589793;
    const EvalValueCase cases[] = {
        // arithmetic and the integer operators
        {"7 2 DIV", 3, 0},
        {"-7 2 DIV", -3, 0},
        {"7 2 MOD", 1, 0},
        {"2 0.5 **", std::sqrt(2.0), 0},
        {"-8 1 3 / **", 0, 0},
        {"-8 3 **", -512, 0},
        {"2 3 ^", 8, 0},
        {"5 NEG", -5, 0},
        {"1 J + NEG", -1, -1},
        {"6 3 #109", 2, 0},
        {"1 0 #109", 0, 0},
        // complex parts
        {"J", 0, 1},
        {"3 4 J * + MAG", 5, 0},
        {"3 4 J * + RE", 3, 0},
        {"3 4 J * + IM", 4, 0},
        {"3 4 J * + DB", 20 * std::log10(5.0), 0},
        {"-3 ABS", 3, 0},
        // logarithms, powers, roots
        {"-100 LOG", 2, 0},
        {"100 LOG10", 2, 0},
        {"1 EXP LN", 1, 0},
        {"1000 EXP", std::exp(350.0), 0},
        {"-4 SQRT", 2, 0},
        {"-4 0.001 J * + SQRT", 0.00024999999804687506, 2.0000000156249995},
        {"-2 2 PWR", 4, 0},
        {"-2 2 PWRS", -4, 0},
        {"2 3 POW", 8, 0},
        // trigonometric and hyperbolic
        {"0.5 SIN", std::sin(0.5), 0},
        {"1 ATAN", pi / 4, 0},
        {"1 1 ATAN2", pi / 4, 0},
        {"0 COT", 1e50, 0},
        {"1 SINH", std::sinh(1.0), 0},
        {"0.5 TANH", std::tanh(0.5), 0},
        {"1 ACOSH", 0, 0},
        // Bessel: the run-time functions for real arguments, the series otherwise
        {"1 J0", 0.7651976865579666, 0},
        {"1 J1", 0.4400505857449335, 0},
        {"1 Y0", 0.08825696421567696, 0},
        {"1 Y1", -0.7812128213002887, 0},
        {"2 1 -10 JN", 0.1149034849319005, 0},
        {"J J0", 1.2660658777520082, 0},  // J0(i) = I0(1)
        // series
        {"5 FACT", 120, 0},
        {"171 FACT", 7.257415615307999e306, 0},
        {"-3 FACT", 1, 0},
        // miscellaneous and boolean functions
        {"-2 SGN", -1, 0},
        {"0 SGN", 0, 0},
        {"5 3 1 LIMIT", 3, 0},
        {"0 5 6 IF", 6, 0},
        {"2 5 6 IF", 5, 0},
        {"1 5 J * + 2 3 J * + MIN", 1, 3},
        {"1 5 J * + 2 3 J * + MAX", 2, 5},
        {"1.5 1 10 2 20 5 TABLE", 15, 0},
        {"5 1 10 2 20 5 TABLE", 20, 0},
        {"0 1 10 2 20 5 TABLE", 10, 0},
        {"2.5 3 30 1 10 2 20 7 TABLE", 25, 0},
        // logic and comparisons (magnitudes once a value is complex)
        {"1 0 AND", 0, 0},
        {"1 0 OR", 1, 0},
        {"1 1 NAND", 0, 0},
        {"0 0 NOR", 1, 0},
        {"1 1 XOR", 0, 0},
        {"0 NOT", 1, 0},
        {"2 3 <", 1, 0},
        {"2 3 >=", 0, 0},
        {"2 2 ==", 1, 0},
        {"2 3 !=", 1, 0},
        {"1 J + 1 >", 1, 0},
        {"0 ~", 1, 0},
        {"2 0 &", 0, 0},
        {"2 0 |", 1, 0},
        // digital values: states with full strength
        {"'1 '0 &", 504, 0},
        {"'1 '0 |", 507, 0},
        {"'1 ~", 504, 0},
        {"'1 '1 ^", 504, 0},
        {"'1 '0 '1 3 BIN", 5, 0},
        {"'X '0 '0 3 BIN", 4, 0},
        {"1 1.5 0.2 DIFA", 1, 0},
        {"1 1.1 0.2 DIFA", 0, 0},
        {"'1 '0 0 DIFD", 507, 0},
        {"'1 '1 0 DIFD", 504, 0},
    };
    for (const EvalValueCase& c : cases) {
        int code = -1;
        ComplexNumber r = Eval(c.rpn, &code);
        ExpectValue(c, r, code);
    }
}

// The same values through the compiler: the texts a user writes.
TEST_F(EvaluateTest, CompiledTextsEvaluate) {
    struct Case {
        const char* text;
        int code;
        double re;
        double im;
    } cases[] = {
        {"TABLE(1.5,1,10,2,20)", 0, 15, 0},
        {"7 DIV 2", 0, 3, 0},
        {"-7 DIV 2", 0, -3, 0},
        {"1/0", 0, 1e50, 0},
        {"SERIES(n,1,4,n)", 0, 10, 0},
        {"PROD(n,1,4,n)", 0, 24, 0},
        {"SERIES(k,1,3,SERIES(m,1,k,m))", 0, 10, 0},  // 1 + 3 + 6
        {"MIN(1+5*J,2+3*J)", 0, 1, 3},
        {"(1+J) > 1", 0, 1, 0},
        {"LOG(-100)", 0, 2, 0},
        {"2 ? 5 : 6", 0, 5, 0},
        {"5 MOD 0", 15061, 1, 0},
    };
    for (const Case& c : cases) {
        CompiledExpression e;
        ASSERT_TRUE(Compile(c.text, e));
        ComplexNumber r;
        EXPECT_EQ(EvaluateExpression(&e, &r, nullptr), c.code) << c.text;
        EXPECT_DOUBLE_EQ(r.re, c.re) << c.text;
        EXPECT_DOUBLE_EQ(r.im, c.im) << c.text;
    }
    EXPECT_EQ(PendingCode(), 15003);
    EXPECT_STREQ(PendingText(), "%EFloating point 'invalid operation'.");
}

TEST_F(EvaluateTest, SeriesProductAndDerivativeEvaluateTheirBodies) {
    struct Case {
        const char* outer;
        const char* body;
        double value;
    } cases[] = {
        {"I0 1 4 B0 SERIES", "@0", 10},  // SERIES(n,1,4,n)
        {"I0 1 4 B0 PROD", "@0", 24},    // PROD(n,1,4,n)
        {"I0 3 1 B0 SERIES", "@0", 0},   // an empty range
        {"B0 DER", "2 3 *", 6},          // the body is the derivative already
    };
    for (const Case& c : cases) {
        CompiledExpression e;
        CompiledExpression* body = EvAddBody(e);
        EvBuild(*body, c.body, vars);
        EvBuild(e, c.outer, vars);
        ComplexNumber r;
        EXPECT_EQ(EvaluateExpression(&e, &r, nullptr), 0) << c.outer;
        EXPECT_EQ(r.re, c.value) << c.outer;
        EXPECT_EQ(CurrentEvaluationContext().top, 0);
    }
}

// SERIES and PROD share one budget of work per evaluation: a start so far
// below the end that counting up never moves, sums nested inside sums or one
// after another, or long bodies stop with a message instead of running for
// hours; what fits the budget still sums.
TEST_F(EvaluateTest, SeriesWorkIsBoundedPerEvaluation) {
    struct Case {
        const char* text;
        int code;
        double re;
    } cases[] = {
        {"SERIES(n,-1E200,0,n)", kResultPending, 1},
        {"PROD(a,1,1E4,1+SERIES(b,1,1E4,0))", kResultPending, 1},
        {"SERIES(a,1,6E6,1)+SERIES(b,1,6E6,1)", kResultPending, 1},  // successive sums share it too
        {"SERIES(a,1,1E7,1)", 0, 1E7},                               // a one-token body: all the terms
        {"SERIES(a,1,4E6,a-a)", kResultPending, 1},                  // three tokens a term: fewer
        {"SERIES(a,1,3E6,a-a)", 0, 0},
        {"SERIES(a,1,100,SERIES(b,1,100,1))", 0, 10000},
    };
    for (const Case& c : cases) {
        CompiledExpression e;
        ASSERT_TRUE(Compile(c.text, e));
        ComplexNumber r;
        EXPECT_EQ(EvaluateExpression(&e, &r, nullptr), c.code) << c.text;
        EXPECT_EQ(r.re, c.re) << c.text;
        EXPECT_EQ(CurrentEvaluationContext().top, 0) << c.text;
        if (c.code) {
            EXPECT_EQ(PendingCode(), kMsgSeriesTooLong) << c.text;
            EXPECT_STREQ(PendingText(),
                         "%ESERIES and PROD may sum at most 10000000 terms in one evaluation, fewer when their bodies "
                         "are long.");
        }
        // The budget belongs to one evaluation: the next one has all of it again.
        ClearPendingMessage();
        CompiledExpression small;
        ASSERT_TRUE(Compile("SERIES(n,1,4,n)", small));
        EXPECT_EQ(EvaluateExpression(&small, &r, nullptr), 0);
        EXPECT_EQ(r.re, 10);
    }
}

TEST_F(EvaluateTest, Spice3DialectUsesLogicLevels) {
    const EvalValueCase cases[] = {
        {"1 J + 1 >", 3.5, 0},                      // LONE
        {"1 2 >", 0.3, 0},                          // LZERO
        {"1 2 #608", 1, 0},                         // generated comparisons stay 1 and 0
        {"2 2 ==", 1, 0},      {"2 5 6 IF", 5, 0},  // 2 is above LTHRESH 1.5
        {"1 5 6 IF", 6, 0},    {"2 ~", 0.3, 0},    {"1 ~", 3.5, 0},
        {"2 2 &", 3.5, 0},     {"1 2 &", 0.3, 0},  {"1 2 |", 3.5, 0},
    };
    for (const EvalValueCase& c : cases) {
        int code = -1;
        ComplexNumber r = Eval(c.rpn, &code, 19603);
        ExpectValue(c, r, code);
    }
}

TEST_F(EvaluateTest, DivisionByZeroIsGuardedAndFlagged) {
    int code = -1;
    ComplexNumber r = Eval("1 0 /", &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(r.re, 1e50);
    EXPECT_EQ(lastZeroDivide, 1);
    r = Eval("7 0 DIV", &code);
    EXPECT_DOUBLE_EQ(r.re, 7e50);
    EXPECT_EQ(lastZeroDivide, 1);
    Eval("1 2 /", &code);
    EXPECT_EQ(lastZeroDivide, 0);
}

struct EvalErrorCase {
    const char* rpn;
    int code;
    int pendingId;        // 0: nothing pending
    const char* pending;  // the pending text, or null
};

TEST_F(EvaluateTest, FailuresLeavePendingMessagesAndValueOne) {
    const EvalErrorCase cases[] = {
        {"5 0 MOD", 15061, 15003, "%EFloating point 'invalid operation'."},
        {"1e300 1e300 *", 15061, 15003, "%EFloating point 'overflow'."},
        {"1 #2", kEvalUnknownToken, 0, nullptr},           // a code the evaluator does not know
        {"+", kEvalUnknownToken, 0, nullptr},              // an operator without operands
        {"1 2 3 4 TABLE", kEvalUnknownToken, 0, nullptr},  // an even argument count
    };
    for (const EvalErrorCase& c : cases) {
        ClearPendingMessage();
        int code = -1;
        ComplexNumber r = Eval(c.rpn, &code);
        EXPECT_EQ(code, c.code) << c.rpn;
        EXPECT_EQ(r.re, 1.0) << c.rpn;
        EXPECT_EQ(r.im, 0.0) << c.rpn;
        EXPECT_EQ(PendingCode(), c.pendingId) << c.rpn;
        if (c.pending) {
            EXPECT_STREQ(PendingText(), c.pending) << c.rpn;
        }
        EXPECT_EQ(CurrentEvaluationContext().error, 0);
        EXPECT_EQ(CurrentEvaluationContext().top, 0);
    }
}

TEST_F(EvaluateTest, OperatorWithoutOperandsLeavesCallerEntriesAlone) {
    // A nested evaluation must not consume the entries of the evaluation that
    // called it.
    CompiledExpression inner;
    EvBuild(inner, "NEG");
    CurrentEvaluationContext().stack[1].value = {42.0, 0.0};
    CurrentEvaluationContext().top = 1;
    CurrentEvaluationContext().depth = 1;
    ComplexNumber r;
    EXPECT_EQ(EvaluateExpression(&inner, &r, nullptr), kEvalUnknownToken);
    EXPECT_EQ(CurrentEvaluationContext().stack[1].value.re, 42.0);
    EXPECT_EQ(CurrentEvaluationContext().top, 1);
    CurrentEvaluationContext().depth = 0;
    CurrentEvaluationContext().top = 0;
}

TEST_F(EvaluateTest, StackOverflowIsAnErrorNotAWritePastTheStack) {
    for (int pushes : {kValueStackSize - 1, kValueStackSize}) {
        std::string rpn;
        for (int i = 0; i < pushes; ++i) rpn += "1 ";
        for (int i = 1; i < pushes; ++i) rpn += "+ ";
        ClearPendingMessage();
        int code = -1;
        ComplexNumber r = Eval(rpn.c_str(), &code);
        if (pushes < kValueStackSize) {
            EXPECT_EQ(code, 0);
            EXPECT_EQ(r.re, pushes);
        } else {
            EXPECT_EQ(code, kResultPending);
            EXPECT_EQ(PendingCode(), 10444);
            EXPECT_EQ(r.re, 1.0);
        }
        EXPECT_EQ(CurrentEvaluationContext().top, 0);
    }
}

TEST_F(EvaluateTest, ArrayElementsAreBoundsCheckedAndSelfReferenceStops) {
    // Array A has one element: element 0 reads A(0) itself plus 1.
    CompiledExpression element;
    EvBuild(element, "0 #604 1 +");
    CompiledExpression* elements[] = {&element};
    UserArrayView arrays[] = {{"A", 1, elements}};
    gSolver.userArrays = arrays;
    gSolver.userArrayCount = 1;
    struct Case {
        const char* rpn;
        int code;
        int pendingId;
    } cases[] = {
        {"0 #604", kResultPending, 10444},  // self-reference
        {"1 #604", kResultPending, 10443},  // index equal to the element count
        {"-1 #604", kResultPending, 10443},
    };
    for (const Case& c : cases) {
        ClearPendingMessage();
        CompiledExpression e;
        EvBuild(e, c.rpn);
        e.LastToken()->text.Set("A");
        ComplexNumber r;
        EXPECT_EQ(EvaluateExpression(&e, &r, nullptr), c.code) << c.rpn;
        EXPECT_EQ(PendingCode(), c.pendingId) << c.rpn;
        EXPECT_EQ(r.re, 1.0) << c.rpn;
        EXPECT_EQ(CurrentEvaluationContext().top, 0);
        EXPECT_EQ(CurrentEvaluationContext().depth, 0);
    }
    EXPECT_STREQ(PendingText(), "%EAn attempt was made to access the array variable A outside its bounds.");
    gSolver.userArrays = nullptr;
    gSolver.userArrayCount = 0;
}

TEST_F(EvaluateTest, SingleOperandsTakeTheFastPath) {
    double solution[3] = {0.0, 1.5, -2.0};
    ComplexNumber points[3] = {{0, 0}, {0.5, 0.25}, {3, -1}};
    int32_t integer = 17;
    ComplexNumber total = {2.0, -3.0};
    gSolver.RealSolution = solution;
    gSolver.realCount = 3;
    gSolver.ComplexPointValues = points;
    gSolver.complexCount = 3;
    vars[0] = 4.25;

    CompiledExpression intExpr;
    EvAppendToken(intExpr, kTokIntOperand)->operand.intPtr = &integer;
    CompiledExpression complexExpr;
    EvAppendToken(complexExpr, kTokComplexOperand)->operand.complexPtr = &total;
    ComplexNumber r;
    EXPECT_EQ(EvaluateExpression(&intExpr, &r, nullptr), 0);
    EXPECT_EQ(r.re, 17.0);
    EXPECT_EQ(EvaluateExpression(&complexExpr, &r, nullptr), 0);
    EXPECT_EQ(r.im, -3.0);

    const EvalValueCase cases[] = {{"2.5", 2.5, 0}, {"@0", 4.25, 0}, {"N2", 3, -1}, {"N7", 0, 0}};
    for (const EvalValueCase& c : cases) {
        int code = -1;
        ComplexNumber r = Eval(c.rpn, &code);
        ExpectValue(c, r, code);
    }
    gSolver.SolverIterating = 1;  // the Newton iteration reads the real solution
    int code = -1;
    EXPECT_EQ(Eval("N2", &code).re, -2.0);
    EXPECT_EQ(Eval("N1 N2 +", &code).re, -0.5);
}

TEST_F(EvaluateTest, ComplexFrequencyAndRandomOperands) {
    RunVars.frequency = 1.0 / 6.283185307179586;
    gSolver.LaplaceSigma = -0.5;
    SetAnalysisKind(1);
    ComplexNumber r = Eval("S");
    EXPECT_EQ(r.re, 0.0);
    EXPECT_NEAR(r.im, 1.0, 1e-15);
    SetAnalysisKind(0);
    EXPECT_EQ(Eval("S").re, -0.5);

    CompiledExpression e;
    EvAppendToken(e, kTokRnd)->operand.value = 0.25;
    EvAppendToken(e, kTokConstant)->operand.value = 1.0;
    EvAppendToken(e, kTokMultiply);
    EvaluateExpression(&e, &r, nullptr);
    EXPECT_EQ(r.re, 0.25);
    gSolver.SolverIterating = 1;  // RND is 1 while the solver iterates
    EvaluateExpression(&e, &r, nullptr);
    EXPECT_EQ(r.re, 1.0);
}

// Each thread evaluates in its own context: a deep expression that keeps most
// of the value stack busy gives its own value on two threads at once (a shared
// stack mixes the two evaluations' entries).
TEST_F(EvaluateTest, TwoThreadsEvaluateAtOnceEachOnItsOwnStack) {
    constexpr int kPushes = 400;
    double vars[2][4] = {{1, 0, 0, 0}, {-3, 0, 0, 0}};
    CompiledExpression expressions[2];
    for (int k = 0; k < 2; ++k) {
        std::string rpn;
        for (int i = 0; i < kPushes; ++i) rpn += "@0 ";
        for (int i = 1; i < kPushes; ++i) rpn += "+ ";
        EvBuild(expressions[k], rpn.c_str(), vars[k]);
    }
    int wrong[2] = {0, 0};
    auto run = [&](int k) {
        for (int round = 0; round < 3000; ++round) {
            ComplexNumber r;
            const int code = EvaluateExpression(&expressions[k], &r, nullptr);
            if (code != 0 || r.re != kPushes * vars[k][0] || CurrentEvaluationContext().top != 0) ++wrong[k];
        }
    };
    std::thread first(run, 0);
    std::thread second(run, 1);
    first.join();
    second.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

// A context installed for a scope takes the evaluations and leaves the
// thread's own context as it was; the thread's context comes back afterwards.
TEST_F(EvaluateTest, InstalledContextTakesEvaluationsForItsScope) {
    EvaluationContext& own = CurrentEvaluationContext();
    own.stack[1].value = {42.0, 0.0};
    own.top = 1;
    own.depth = 1;
    {
        auto other = std::make_unique<EvaluationContext>();
        EvaluationScope scope(*other);
        EXPECT_EQ(&CurrentEvaluationContext(), other.get());
        int code = -1;
        EXPECT_EQ(Eval("1 2 +", &code).re, 3.0);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(other->top, 0);
        EXPECT_EQ(other->depth, 0);
    }
    EXPECT_EQ(&CurrentEvaluationContext(), &own);
    EXPECT_EQ(own.stack[1].value.re, 42.0);
    EXPECT_EQ(own.top, 1);
    own.top = 0;
    own.depth = 0;
}

}  // namespace
