// The expression compiler's front end: parsing, special argument forms,
// conditional rewriting and postfix conversion, seen through the tokens a
// compile produces and the messages it reports.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/memory.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/complex.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"
#include "tests/support/test_reporter.h"

namespace {

// A circuit of analog nodes 0..5 (named by their numbers, plus OUT = 5) and
// digital nodes A and B.
int pt_FindNode(const char* name, int, int kind) {
    if (kind == 1) {
        if (std::strcmp(name, "A") == 0) return 1;
        if (std::strcmp(name, "B") == 0) return 2;
        return -1;
    }
    if (std::strcmp(name, "OUT") == 0) return 5;
    if (std::strlen(name) == 1 && name[0] >= '0' && name[0] <= '9') return name[0] - '0';
    return -1;
}
int pt_NodeCount(int kind) { return kind == 1 ? 2 : 5; }
int pt_BindVoltageOfPart(ExprCompiler* ctx, const DeviceQuantityCall* call, double* voltage);
bool pt_IsInductor(const char* part, int, uint32_t mask);

// The test circuit; binding part quantities and knowing inductors are switched
// on by the tests that need them.
class pt_Circuit final : public CircuitWithoutDevices {
public:
    int FindNodeNumber(const char* name, int scope, int kind) override { return pt_FindNode(name, scope, kind); }
    int NodeCount(int kind) override { return pt_NodeCount(kind); }
    int16_t* DigitalNodeState(int node) override { return &digitalStates[node]; }
    bool PartMatchesMask(const char* part, int scope, uint32_t mask) override {
        return knowsInductors && pt_IsInductor(part, scope, mask);
    }
    int BindDeviceQuantity(ExprCompiler* ctx, const DeviceQuantityCall* call) override {
        return bindsParts ? pt_BindVoltageOfPart(ctx, call, &resistorVoltage)
                          : CircuitWithoutDevices::BindDeviceQuantity(ctx, call);
    }
    bool bindsParts = false;
    bool knowsInductors = false;
    int16_t digitalStates[8] = {};
    // The voltage of R1 that bound quantities read.
    double resistorVoltage = 0.0;
};

class ExprParserTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterExprMessages();
        BuildSymbolIndexes();
        ResetRunState();
        SetAnalysisKind(0);
        gSolver.RealSolution = solution;
        gSolver.realCount = 16;
        ClearLastMessage();
        ClearPendingMessage();
    }
    void TearDown() override { ResetRunState(); }

    // Compiles quietly; the message id (or the unreported result) comes back.
    int Compile(const char* text, int32_t analysisMask = kMaskTransient, int32_t symbolMask = kSymbolMaskAnalog) {
        ExprCompiler ctx;
        ctx.Init(text, &expr, analysisMask, symbolMask);
        ctx.quiet = 1;
        ctx.callerVarCount = callerCount;
        ctx.callerVarNames = callerCount ? callerNames : nullptr;
        ctx.callerVarMasks = callerCount ? callerMasks : nullptr;
        ctx.callerVarSlots = useSlots ? callerSlots : nullptr;
        ClearLastMessage();
        int result = CompileExpression(&ctx);
        return result == kResultPending ? LastMessageId() : result;
    }
    std::string Tokens() {
        char buffer[1000];
        return FormatExpressionTokens(&expr, buffer, sizeof buffer);
    }
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (ExprToken* t = expr.FirstToken(); t; t = t->Next()) codes.push_back(t->code);
        return codes;
    }
    void SetCallers(std::vector<std::pair<const char*, int32_t>> vars, bool slots) {
        for (int i = 0; i < callerCount; ++i) FreeString(&callerNames[i]);
        callerCount = static_cast<int>(vars.size());
        for (int i = 0; i < callerCount; ++i) {
            callerNames[i] = nullptr;
            if (vars[i].first) SetString(&callerNames[i], vars[i].first);
            callerMasks[i] = vars[i].second;
            callerSlots[i] = 0.0;
        }
        useSlots = slots;
    }
    ~ExprParserTest() override {
        for (int i = 0; i < callerCount; ++i) FreeString(&callerNames[i]);
    }

    double solution[16] = {};
    CompiledExpression expr;
    pt_Circuit circuit;
    ScopedPort<ExprCircuit> circuitPort{InstallCompileCircuit, &circuit};
    int callerCount = 0;
    char* callerNames[4] = {};
    int32_t callerMasks[4] = {};
    double callerSlots[4] = {};
    bool useSlots = false;
};

struct PtErrorCase {
    const char* text;
    int id;
};

TEST_F(ExprParserTest, SyntaxErrorsGiveTheirIds) {
    const std::vector<PtErrorCase> cases = {
        {"FOO+1", 10402},
        {"T+", 10403},
        {"T*/T", 10403},
        {"1.2.3", 10404},
        {"1E", 10404},
        {"1E300", 10404},
        {"T)", 10405},
        {"(T", 10406},
        {"T T", 10407},
        {"", 10410},
        {"   ", 10410},
        {"SIN", 10417},
        {"V((1))", 10418},
        {"ATAN2(1)", 10419},
        {"SIN(1,2)", 10420},
        {"V(9)", 10408},
        {"T ? 1", 10440},
        {"T : 1", 10441},
        {"TABLE(T,1,2,3)", 10430},
        {"LAST(T,T)", 10439},
        {"LAST(T,-1)", 10439},
        {"RNDI(0)", 10445},
        {"LAST(T,1000001)", 10447},
        {"LAST(T,2147483647)", 10447},
        {"LAST(T,1E30)", 10447},
    };
    for (const PtErrorCase& c : cases) {
        EXPECT_EQ(Compile(c.text), c.id) << c.text;
    }
}

TEST_F(ExprParserTest, ReportedMessageCarriesTheText) {
    EXPECT_EQ(Compile("2+FOO"), 10402);
    EXPECT_STREQ(LastMessageText(), "%EUnknown identifier 'FOO' in '2+FOO'.");
    // Quiet compiles leave the message pending and return 15060.
    ExprCompiler ctx;
    ctx.Init("T+", &expr, kMaskTransient, kSymbolMaskAnalog);
    ctx.quiet = 1;
    EXPECT_EQ(CompileExpression(&ctx), kResultPending);
    EXPECT_EQ(PendingCode(), 10403);
    // Shown otherwise: 15055.
    ctx.Init("T+", &expr, kMaskTransient, kSymbolMaskAnalog);
    EXPECT_EQ(CompileExpression(&ctx), kResultShown);
}

struct PtTokenCase {
    const char* text;
    const char* tokens;
};

TEST_F(ExprParserTest, CompilesToTokensInEvaluationOrder) {
    const std::vector<PtTokenCase> cases = {
        {"T+2*T", "T 2 T * +"},
        {"{T+1}*2", "T 1 + 2 *"},
        {"-T", "T -"},
        {"+T", "T"},
        {"T*-T", "T T - *"},
        {"-T**2", "T 2 ** -"},
        {"T**-T", "T T - **"},
        {"V(1,2)", "V(1) V(2) -"},
        {"V(OUT)", "V(OUT)"},
        {"T ? 1 : 2", "T 1 2 IF"},
        {"T ? 1 : T ? 2 : 3", "T 1 T 2 3 IF IF"},
        {"T>1 ? T+1 : 3+T", "T 1 > T 1 + 3 T + IF"},
        {"(T==1)^(T==1)", "T 1 == T 1 == ^"},
        {"T^2", "T 2 ^"},
        {"5!", "5 !"},
        {"5!=3", "5 3 !="},
        {"M(T)", "T M"},
        {"T*+T", "T T *"},
        {"SIN(T,)", ""},
    };
    for (const PtTokenCase& c : cases) {
        int r = Compile(c.text);
        if (!c.tokens[0]) {
            EXPECT_NE(r, 0) << c.text;
            continue;
        }
        ASSERT_EQ(r, 0) << c.text << " " << LastMessageText();
        EXPECT_EQ(Tokens(), c.tokens) << c.text;
    }
}

TEST_F(ExprParserTest, NumbersWithSuffixesAndUnits) {
    struct Case {
        const char* text;
        double value;
    };
    const std::vector<Case> cases = {
        {"4K7", 4700}, {"10pF", 1e-11}, {"1MEG", 1e6}, {"1M", 1e-3}, {"1E299", 1e299}, {"2.5E-3", 2.5e-3}, {".5", 0.5},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Compile(c.text), 0) << c.text;
        ASSERT_EQ(expr.TokenCount(), 1) << c.text;
        EXPECT_EQ(expr.FirstToken()->code, kOperandConstant);
        EXPECT_DOUBLE_EQ(expr.FirstToken()->operand.value, c.value) << c.text;
    }
}

TEST_F(ExprParserTest, NormalizeSignsCollapsesSignPairsAndBlanks) {
    struct Case {
        const char* in;
        const char* out;
    };
    const std::vector<Case> cases = {
        {"A - -B", "A +B"}, {"2*- -3", "2*+3"}, {"  A   +  B  ", "A + B"}, {"A-+-B", "A+B"}, {"", ""},
    };
    for (const Case& c : cases) {
        char buffer[64];
        CopyTextBounded(buffer, c.in, sizeof buffer);
        NormalizeSigns(buffer);
        EXPECT_STREQ(buffer, c.out) << c.in;
    }
}

TEST_F(ExprParserTest, NodeOperandsPointIntoTheSolutionOrTheComplexNodes) {
    ASSERT_EQ(Compile("V(3)"), 0);
    ASSERT_EQ(expr.TokenCount(), 1);
    EXPECT_EQ(expr.FirstToken()->code, kOperandDouble);
    EXPECT_EQ(expr.FirstToken()->operand.doublePtr, &solution[3]);
    EXPECT_EQ(expr.FirstToken()->pushes, 1);

    SetAnalysisKind(1);
    ASSERT_EQ(Compile("V(3)", kMaskAc), 0);
    EXPECT_EQ(expr.FirstToken()->code, kOperandComplexNode);
    EXPECT_EQ(expr.FirstToken()->operand.index, 3);

    // A node beyond the solution vector reads a scratch value, never past it.
    SetAnalysisKind(0);
    gSolver.realCount = 2;
    ASSERT_EQ(Compile("V(3)"), 0);
    EXPECT_NE(expr.FirstToken()->operand.doublePtr, &solution[3]);
}

TEST_F(ExprParserTest, UnitsOfTheOutermostLevelThatNamesOne) {
    struct Case {
        const char* text;
        uint32_t units;
    };
    // Functions that keep their argument's unit (RE, MAG ...) pass it up;
    // others make the unit unknown (all bits).
    const std::vector<Case> cases = {{"V(1)", 0x1}, {"RE(V(1))", 0x1}, {"V(1)*2", 0x3ffff}, {"T", 0x800}};
    for (const Case& c : cases) {
        ASSERT_EQ(Compile(c.text), 0) << c.text;
        EXPECT_EQ(expr.outerUnits[0], c.units) << c.text;
    }
    // The energy totals become running integrals of the power totals.
    ASSERT_EQ(Compile("EGT"), 0);
    EXPECT_EQ(Tokens(), "EGT T STARTVAR 0.0 0.0 0.0 0.0 0.0 0.0 SUM");
    EXPECT_NE(expr.flags & 0x200000u, 0u);
}

TEST_F(ExprParserTest, SymbolsUsedOutsideTheirContextAreRejected) {
    EXPECT_EQ(Compile("DCMIN"), 10428);   // not in transient analysis
    EXPECT_EQ(Compile("INOISE"), 10425);  // plot curves only
    EXPECT_EQ(Compile("T", kMaskOutsideRun), 10432);
    EXPECT_EQ(Compile("TRN_LH"), 10436);
    EXPECT_EQ(Compile("SIN(TRN_LH)"), 10422);
    EXPECT_STREQ(LastMessageText(),
                 "%ECan't use 'TRN_LH' in function 'SIN' on arg. no. '1'\nfor expression SIN(TRN_LH).");
    SetAnalysisKind(-1);
    EXPECT_EQ(Compile("EGT", kMaskOutsideRun), 807);
}

TEST_F(ExprParserTest, DeviceQuantitiesWithoutTheDeviceLayerFailCleanly) {
    EXPECT_EQ(Compile("V(R1)"), 10412);
    EXPECT_STREQ(LastMessageText(), "%ECan't find label 'R1' in V(...)");
    EXPECT_EQ(Compile("I(1)"), 10416);
    EXPECT_EQ(Compile("I(1,2)"), 10413);
    EXPECT_EQ(Compile("DER(T,T)"), 10432);
}

// The seams to the device layer, the curve binder and differentiation: what
// a service installed there receives and what the compile makes of its answer.
int pt_BindVoltageOfPart(ExprCompiler* ctx, const DeviceQuantityCall* call, double* voltage) {
    if (!call->partName) return 0;  // a node voltage is bound already
    if (std::strcmp(call->partName, "R1") != 0) return ReportCompileError(ctx, 10412, call->partName, "V");
    ExprLexeme& placeholder = ctx->lexemes[call->firstLexeme + 1];
    placeholder.value.doublePtr = voltage;
    return 0;
}

bool pt_IsInductor(const char* part, int, uint32_t mask) { return (mask & 0x4) && std::strcmp(part, "L1") == 0; }

int pt_BindCurve(CompiledExpression* body, int code, char*, size_t) {
    while (body->TokenCount() > 1) body->tokens.Delete(body->tokens.last);
    if (body->TokenCount() == 0) return 10435;
    body->FirstToken()->code = static_cast<int16_t>(code);
    body->FirstToken()->operand.index = 7;
    return 0;
}

int pt_Differentiate(ExprCompiler*, CompiledExpression*, CompiledExpression* variable) {
    return variable->TokenCount() == 1 ? 0 : 10437;
}

TEST_F(ExprParserTest, ServicesOfLaterLayersPlugIn) {
    circuit.bindsParts = true;
    ASSERT_EQ(Compile("V(R1)*2"), 0);
    EXPECT_EQ(expr.FirstToken()->operand.doublePtr, &circuit.resistorVoltage);
    EXPECT_EQ(Tokens(), "V(R1) 2 *");

    // M of an inductor is the core magnetisation; of anything else the magnitude.
    circuit.knowsInductors = true;
    EXPECT_EQ(Compile("M(L1)"), 10412);
    EXPECT_EQ(Compile("M(T)"), 0);

    struct Derivatives final : ExprDerivatives {
        bool CanDifferentiate() const override { return true; }
        int Differentiate(ExprCompiler* ctx, CompiledExpression* body, CompiledExpression* variable) override {
            return pt_Differentiate(ctx, body, variable);
        }
    } derivatives;
    ScopedPort<ExprDerivatives> derivativesPort(InstallDerivatives, &derivatives);
    ASSERT_EQ(Compile("DER(T*T,T)"), 0);
    EXPECT_EQ(Tokens(), "DER(T*T,T) DER");
    EXPECT_EQ(expr.LastToken()->argCount, 1);
    EXPECT_EQ(Compile("DER(T*T,T+1)"), 10437);

    struct Curves final : ExprPlotBinding {
        int BindCurveReference(CompiledExpression* body, int code, char* text, size_t size) override {
            return pt_BindCurve(body, code, text, size);
        }
        int CheckRunVariables(CompiledExpression* expr, char* text, size_t size) override {
            return CheckRunVariablesOfTokens(expr, text, size);
        }
        int CheckPhaseMarginCurve(CompiledExpression*) override { return 0; }
        void* OpenLimitsDialog() override { return nullptr; }
    } curves;
    ScopedPort<ExprPlotBinding> curvesPort(InstallPlotBinding, &curves);
    ASSERT_EQ(Compile("PEAK(V(1),1,2)", kMaskWholeRun | kMaskTransient), 0) << LastMessageText();
    EXPECT_EQ(Codes(), (std::vector<int>{kTokCurveReference, kTokBody, kOperandConstant, kTokPeak}));
    EXPECT_EQ(expr.FirstToken()->operand.index, 7);
    ASSERT_EQ(expr.bodyCount, 1);
    EXPECT_EQ(expr.bodies[0]->FirstToken()->code, kTokPerformanceArg);
}

TEST_F(ExprParserTest, ImportedWaveformsTakeTheCallersCellsInOrder) {
    ComplexNumber cells[2] = {};
    ComplexNumber* records[2] = {&cells[0], &cells[1]};
    ExprCompiler ctx;
    ctx.Init("IMPORT+CURVEY", &expr, kMaskTransient | kMaskPlotCurve, kSymbolMaskAnalog);
    ctx.quiet = 1;
    ctx.imports = records;
    ctx.importCapacity = 2;
    ASSERT_EQ(CompileExpression(&ctx), 0) << LastMessageText();
    EXPECT_EQ(expr.FirstToken()->operand.complexPtr, &cells[0]);
    EXPECT_EQ(expr.FirstToken()->Next()->operand.complexPtr, &cells[1]);
    // One token more than the caller has records for is refused, not read past.
    ctx.Init("IMPORT+CURVEY+IMP", &expr, kMaskTransient | kMaskPlotCurve, kSymbolMaskAnalog);
    ctx.quiet = 1;
    ctx.imports = records;
    ctx.importCapacity = 2;
    EXPECT_EQ(CompileExpression(&ctx), kResultPending);
    EXPECT_EQ(LastMessageId(), 10432);
}

TEST_F(ExprParserTest, CaseBecomesConditionValuePairs) {
    SetCallers({{"A", 1}}, false);
    ASSERT_EQ(Compile("CASE(CHANGED(A,0), DELAY(1,2,3), DELAY(4,5,6))", kMaskTransient, 0x80), 0) << LastMessageText();
    EXPECT_EQ(Tokens(), "A 0 CHANGED 1 2 3 IFTHEN 4 5 6 DEFAULT");
    EXPECT_EQ(expr.FirstToken()->Next()->Next()->Next()->code, kOperandDelayConstant);
    // Constant arguments may be written as expressions.
    ASSERT_EQ(Compile("CASE(CHANGED(A,2*3), DELAY(1,2,COS(0)), DELAY(4,5,6))", kMaskTransient, 0x80), 0);
    EXPECT_EQ(Tokens(), "A 2*3 CHANGED 1 2 COS(0) IFTHEN 4 5 6 DEFAULT");
    EXPECT_EQ(expr.FirstToken()->Next()->operand.value, 6.0);
    EXPECT_EQ(expr.FirstToken()->Next()->Next()->Next()->Next()->Next()->operand.value, 1.0);
    // Without a default the last value stands where the default belongs.
    EXPECT_EQ(Compile("CASE(CHANGED(A,0), DELAY(1,2,3))", kMaskTransient, 0x80), 10422);
    EXPECT_EQ(
        Compile("CASE(CHANGED(A,0),CASE(CHANGED(A,0),DELAY(1,2,3),DELAY(1,2,3)),DELAY(4,5,6))", kMaskTransient, 0x80),
        10423);
}

TEST_F(ExprParserTest, CallerVariables) {
    SetCallers({{"X", kSymbolMaskAnalog}, {nullptr, kSymbolMaskAnalog}}, true);
    ASSERT_EQ(Compile("X*2"), 0);
    EXPECT_EQ(expr.FirstToken()->operand.doublePtr, &callerSlots[0]);
    // A word nothing binds takes a free slot in texts evaluated outside a run.
    ASSERT_EQ(Compile("X+Y", kMaskOutsideRun), 0);
    EXPECT_STREQ(callerNames[1], "Y");
    EXPECT_EQ(expr.FirstToken()->Next()->operand.doublePtr, &callerSlots[1]);
}

TEST_F(ExprParserTest, TwoStateValuesAreOnlyCompared) {
    SetCallers({{"A", 1}, {"B", 1}}, false);
    ASSERT_EQ(Compile("A == B", kMaskTransient, 0x21), 0) << LastMessageText();
    EXPECT_EQ(Codes(), (std::vector<int>{kOperandCallerVar2, kOperandCallerVar2, kTokEqual}));
    EXPECT_EQ(Compile("A & B", kMaskTransient, 0x21), 10424);
}

TEST_F(ExprParserTest, TwoStateAndFiveStateConflictIsReported) {
    // CHANGED is a two-state symbol, D a five-state one: the text mixes them.
    SetCallers({{"A", 1}}, false);
    for (const char* text : {"CHANGED(A,0) & D(B)", "D(B) & CHANGED(A,0)"}) {
        EXPECT_EQ(Compile(text, kMaskTransient, 0x60), 10429) << text;
        EXPECT_STREQ(LastMessageText(), "%ECan't Mix '2 State' '5 State' .") << text;
        EXPECT_EQ(expr.TokenCount(), 0) << text;
    }
    // Each alone compiles in full.
    ASSERT_EQ(Compile("D(B) & D(A)", kMaskTransient, 0x60), 0);
    EXPECT_EQ(Tokens(), "D(B) D(A) &");  // D reads the node's state itself
}

TEST_F(ExprParserTest, NestingLimits) {
    std::string calls;
    for (int i = 0; i < 19; ++i) calls += "SIN(";
    calls += "T";
    calls += std::string(19, ')');
    EXPECT_EQ(Compile(calls.c_str()), 0);
    EXPECT_EQ(Compile(("SIN(" + calls + ")").c_str()), 10409);

    std::string parens = std::string(150, '(') + "T" + std::string(150, ')');
    EXPECT_EQ(Compile(parens.c_str()), 10431);
    std::string fewer = std::string(140, '(') + "T" + std::string(140, ')');
    EXPECT_EQ(Compile(fewer.c_str()), 0);

    // Bodies compile nested; the fourth nested body exceeds the compile depth.
    const char* three = "SERIES(N,1,2,SERIES(NN,1,2,SERIES(K,1,2,N*NN*K)))";
    EXPECT_EQ(Compile(three), 0) << LastMessageText();
    EXPECT_EQ(Compile("SERIES(N,1,2,SERIES(NN,1,2,SERIES(K,1,2,SERIES(KK,1,2,KK))))"), 10409);
    CompiledExpression other;
    ExprCompiler ctx;
    ctx.Init("T+1", &other, kMaskTransient, kSymbolMaskAnalog);
    EXPECT_EQ(CompileExpression(&ctx), 0);
}

TEST_F(ExprParserTest, SeriesBodyBindsTheIndexVariable) {
    ASSERT_EQ(Compile("SERIES(N,1,10,N*N)"), 0);
    EXPECT_EQ(Tokens(), "N 1 10 N*N SERIES");
    ASSERT_EQ(expr.bodyCount, 1);
    CompiledExpression& body = *expr.bodies[0];
    ASSERT_EQ(body.TokenCount(), 3);
    EXPECT_EQ(body.FirstToken()->operand.doublePtr, expr.FirstToken()->operand.doublePtr);
    EXPECT_EQ(body.FirstToken()->operand.doublePtr, &expr.indexSlots[0]);
    EXPECT_EQ(expr.indexNameCount, 0);  // the name left scope with the call
    EXPECT_EQ(Compile("SERIES(N,1,10,N)+N"), 10402);
    EXPECT_EQ(Compile("SERIES(T,1,10,1)"), 10433);
}

TEST_F(ExprParserTest, DefaultAndHiddenArguments) {
    const std::vector<PtTokenCase> cases = {
        {"THD(T)", "T -1.0 THD"},
        {"FS(T)", "T 0 1G FS"},
        {"RES(T,2)", "T 2 1 RES"},
        {"TABLE(T,1,2,3,4)", "T 1 2 3 4 5 TABLE"},
        {"JN(1,T)", "1 T -10 JN"},
        {"SUM(T,T)", "T T STARTVAR 0.0 0.0 0.0 0.0 0.0 0.0 SUM"},
        {"SUM(T,TEMP)", "T TEMP 0.0 0.0 0.0 0.0 0.0 0.0 0.0 SUM"},
        {"SDT(V(1))", "V(1) T STARTVAR 0.0 0.0 0.0 0.0 0.0 0.0 SDT"},
        {"DDT(T)", "T 0.0 0.0 DDT T 0.0 0.0 DEL /"},
        {"LAST(T,3)", "T 3 HIST LAST"},
        {"DELAY(T,1N)", "T 1N HIST HIST DELAY"},
    };
    // Plot curve expressions, where the FFT and calculus functions belong.
    const int32_t curve = kMaskTransient | kMaskPlotCurve;
    for (const PtTokenCase& c : cases) {
        ASSERT_EQ(Compile(c.text, curve), 0) << c.text << " " << LastMessageText();
        EXPECT_EQ(Tokens(), c.tokens) << c.text;
    }
    ASSERT_EQ(Compile("SDT(V(1))", curve), 0);
    EXPECT_EQ(expr.LastToken()->code, kTokSum);
    ASSERT_EQ(Compile("LAST(T,3)"), 0);
    ASSERT_EQ(expr.historyCount, 1);
    EXPECT_EQ(expr.histories[0].capacity, 3);
    EXPECT_EQ(expr.historyDepth, 3);
    ASSERT_EQ(Compile("LAST(T,0)"), 0);
    EXPECT_EQ(expr.histories[0].capacity, 0);
    // The largest history LAST may ask for is allocated at once; one more is refused.
    ASSERT_EQ(Compile("LAST(T,1000000)"), 0);
    EXPECT_EQ(expr.histories[0].capacity, 1000000);
    EXPECT_EQ(Compile("LAST(T,1000001)"), 10447);
    EXPECT_STREQ(LastMessageText(), "%ELast(expr,n) n may be at most 1000000.");
}

TEST_F(ExprParserTest, AnalogDelayAlwaysGetsItsHistories) {
    // A computed delay must not leave the operator without its histories.
    for (const char* text : {"DELAY(T,1N)", "DELAY(T,T*2)", "DELAY(T,-1)"}) {
        ASSERT_EQ(Compile(text), 0) << text;
        EXPECT_EQ(expr.historyCount, 2) << text;
        ExprToken* last = expr.LastToken();
        ASSERT_EQ(last->code, kTokDelay);
        EXPECT_EQ(last->Prev()->code, kTokCurveReference);
        EXPECT_EQ(last->Prev()->operand.index, 1);
        EXPECT_EQ(last->Prev()->Prev()->code, kTokCurveReference);
        EXPECT_EQ(last->Prev()->Prev()->operand.index, 0);
    }
}

TEST_F(ExprParserTest, RecompilingGivesTheSameTokensAndKeepsTheDialect) {
    ASSERT_EQ(Compile("SIN(T)*2+V(1)"), 0);
    std::string first = Tokens();
    expr.dialect = 19603;
    ASSERT_EQ(Compile("SIN(T)*2+V(1)"), 0);
    EXPECT_EQ(Tokens(), first);
    FreeExpression(&expr);
    EXPECT_EQ(expr.dialect, 19603);
    EXPECT_EQ(expr.TokenCount(), 0);
}

TEST_F(ExprParserTest, LongTextsUseChunkedTokenStorage) {
    const char* twenty = "T+T+T+T+T+T+T+T+T+T1";  // 20 characters
    ExprCompiler ctx;
    ctx.Init(twenty, &expr, kMaskTransient, kSymbolMaskAnalog);
    EXPECT_EQ(expr.tokens.chunked, 0);
    ctx.Init("T+T+T+T+T+T+T+T+T+T+T", &expr, kMaskTransient, kSymbolMaskAnalog);
    EXPECT_EQ(expr.tokens.chunked, 1);
    EXPECT_EQ(expr.tokens.chunkSize, 1000);
    EXPECT_EQ(CompileExpression(&ctx), 0);
    EXPECT_EQ(expr.TokenCount(), 21);
}

TEST_F(ExprParserTest, WholeRunTextsMayNotReadRunVariables) {
    CompiledExpression whole;
    ScopedTestReporter reporter;
    EXPECT_EQ(CompileExpressionText(&whole, "V(1)", nullptr, -1), kResultShown);
    EXPECT_EQ(LastMessageId(), 13781);
    EXPECT_STREQ(LastMessageText(), "%ECan't use 'V(1)' variable in 'V(1)'.");
    EXPECT_EQ(CompileExpressionText(&whole, "2 - -3", nullptr, -1), 0);
    EXPECT_EQ(whole.FirstToken()->operand.value, 5.0);
}

// Each thread compiles with its own lexeme arrays: two threads compiling nested
// expressions at once get the tokens a single compile gives.
TEST_F(ExprParserTest, TwoThreadsCompileAtOnce) {
    const char* const texts[2] = {"SIN(V(1)*2)+MAX(V(2),V(3))*(1+2*T)", "IF(V(OUT)>1,SQRT(V(4)),-V(5))/(3+T)"};
    std::string expected[2];
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(Compile(texts[k]), 0) << texts[k];
        expected[k] = Tokens();
    }
    int wrong[2] = {0, 0};
    auto run = [&](int k) {
        for (int round = 0; round < 300; ++round) {
            CompiledExpression e;
            ExprCompiler ctx;
            ctx.Init(texts[k], &e, kMaskTransient, kSymbolMaskAnalog);
            ctx.quiet = 1;
            char buffer[1000];
            if (CompileExpression(&ctx) != 0 || expected[k] != FormatExpressionTokens(&e, buffer, sizeof buffer))
                ++wrong[k];
        }
    };
    std::thread first(run, 0);
    std::thread second(run, 1);
    first.join();
    second.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

}  // namespace
