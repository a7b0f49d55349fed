// Analysis statements of SPICE text read into the analysis limits, the output
// statements into curve rows and watch lists, and the .TR time-step table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/analysisstmts.h"
#include "compiler/outputstmts.h"
#include "compiler/statements.h"
#include "compiler/stmtstate.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompStatementsTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        text_ = std::make_unique<CCTDoc>(2);
        context_.document = text_.get();
    }
    void TearDown() override {
        ReleaseDefineTable(text_.get());
        text_.reset();
        SetupFixture::TearDown();
    }
    // Runs a handler on a copy of the statement; the ids shown are in shown_.
    int Run(StatementHandler handler, const char* statement) {
        std::string copy = statement;
        shown_.clear();
        return handler(context_, copy.data());
    }
    AnalysisKindSettings& Kind(int kind) { return *AnalysisKindOf(text_.get(), kind); }
    static std::string Text(const char* text) { return text ? text : "<null>"; }
    StatementState& State() { return *GetStatementState(text_.get()); }

    std::unique_ptr<CCTDoc> text_;
    SpiceStatementContext context_;
};

TEST_F(CompStatementsTest, AnalysisStatementsFillTheLimitsOfTheirKind) {
    struct Check {
        int kind;
        int slot;
        const char* text;
    };
    struct Case {
        const char* statement;
        StatementHandler handler;
        std::vector<Check> checks;
    };
    const Case cases[] = {
        {".TRAN 1N 100N", ReadTranStatement, {{0, kTranRange, "100N"}, {0, kTranPoints, "101"}}},
        {".TRAN 1N 100N 10N 1P", ReadTranStatement, {{0, kTranRange, "100N,10N"}, {0, kTranMaxStep, "1P"}}},
        {".TRAN 2N 100N 0", ReadTranStatement, {{0, kTranRange, "100N"}, {0, kTranPoints, "51"}}},
        {".AC DEC 10 1 1MEG", ReadAcStatement, {{1, kAcRange, "1MEG,1"}, {1, kAcPoints, "61"}}},
        {".AC OCT 10 1 1024", ReadAcStatement, {{1, kAcPoints, "101"}}},
        {".AC LIN 101 1K 101K", ReadAcStatement, {{1, kAcRange, "101K,1K"}, {1, kAcPoints, "101"}}},
        {".AC DEC 10 0 1K", ReadAcStatement, {{1, kAcRange, "1K,0"}, {1, kAcPoints, "<null>"}}},
        {".DC V1 0 5 0.1", ReadDcStatement, {{2, kDcRange1, "5,0,0.1"}, {2, kDcName1, "V1"}, {2, kDcPoints, "51"}}},
        {".DC VIN -2 2 0.1", ReadDcStatement, {{2, kDcPoints, "41"}}},
        {".DC VIN 0 1 0.3", ReadDcStatement, {{2, kDcPoints, "4"}}},
        {".DC V1 0 5 0.1 V2 0 1 0.5",
         ReadDcStatement,
         {{2, kDcRange1, "5,0,0.1"}, {2, kDcRange2, "1,0,0.5"}, {2, kDcName2, "V2"}}},
        {".DC NPN QN(BF) 50 150 10", ReadDcStatement, {{2, kDcName1, "NPN QN(BF)"}, {2, kDcRange1, "150,50,10"}}},
        {".DC PARAM X LIST 1, 2 3", ReadDcStatement, {{2, kDcName1, "PARAM X"}, {2, kDcRange1, "1,2,3"}}},
        {".DC DEC I1 1 1K 10", ReadDcStatement, {{2, kDcRange1, "1K,1,1.258925411794167"}}},
        {".NOISE V(5,6) V1 10", ReadNoiseStatement, {{1, kAcNoiseOutput, "5,6"}, {1, kAcNoiseInput, "V1"}}},
        {".NOISE V([OUT]) VIN", ReadNoiseStatement, {{1, kAcNoiseOutput, "OUT"}, {1, kAcNoiseInput, "VIN"}}},
        {".TEMP 27 50 -40",
         ReadTempStatement,
         {{0, kTranTemperature, "27,50,-40"}, {1, kAcTemperature, "27,50,-40"}, {2, kDcTemperature, "27,50,-40"}}},
    };
    for (const Case& c : cases) {
        BeginAnalysisStatements(text_.get());
        ASSERT_EQ(Run(c.handler, c.statement), 0) << c.statement;
        for (const Check& check : c.checks)
            EXPECT_EQ(Text(Kind(check.kind).limits[check.slot]), check.text) << c.statement;
    }
    BeginAnalysisStatements(text_.get());
    Run(ReadAcStatement, ".AC LIN 10 1 1K");
    EXPECT_EQ(Kind(1).sweepType, kSweepLinear);
    Run(ReadDcStatement, ".DC V1 LIST 1 2 V2 0 1 0.5");
    EXPECT_EQ(Kind(2).sweepType, kSweepList);
    EXPECT_EQ(Kind(2).sweep2Type, kSweepLinear);
    Run(ReadTempStatement, ".TEMP 0");
    EXPECT_EQ(Kind(1).temperatureType, 1);
}

TEST_F(CompStatementsTest, TranUicAndOperatingPointOptions) {
    for (const char* statement : {".TRAN 1N 100N UIC", ".TRAN 1N 100N 0 UIC", ".TRAN 1N 100N 0 10P UIC"}) {
        BeginAnalysisStatements(text_.get());
        EXPECT_NE(Kind(0).optionWord & kRunOperatingPoint, 0);
        ASSERT_EQ(Run(ReadTranStatement, statement), 0);
        EXPECT_TRUE(UseInitialConditionsRequested(text_.get())) << statement;
        EXPECT_EQ(Kind(0).optionWord & (kRunOperatingPoint | kRunOperatingPointOnly), 0) << statement;
    }
    BeginAnalysisStatements(text_.get());
    EXPECT_FALSE(UseInitialConditionsRequested(text_.get()));
    FinishAnalysisStatements(text_.get(), true);
    EXPECT_NE(Kind(0).optionWord & kRunOperatingPointOnly, 0);
    Kind(0).optionWord = 0;
    Run(ReadTranStatement, ".TRAN 1N 100N");
    FinishAnalysisStatements(text_.get(), true);
    EXPECT_EQ(Kind(0).optionWord & kRunOperatingPointOnly, 0);
    EXPECT_EQ(Run(ReadTranStatement, ".TRAN 1N"), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10941});
}

TEST_F(CompStatementsTest, StepRecordsOfTheCurrentKind) {
    SetAnalysisKind(0);
    BeginAnalysisStatements(text_.get());
    ASSERT_EQ(Run(ReadStepStatement, ".STEP RES RLOAD(R) 1K 10K 1K"), 0);
    ASSERT_EQ(Run(ReadStepStatement, ".STEP PARAM X LIST 1 2  3"), 0);
    ASSERT_EQ(Run(ReadStepStatement, ".STEP DEC R1 1 1K 10 ;$TWE R"), 0);
    ASSERT_EQ(Run(ReadStepStatement, ".STEP TEMP 0 100 25"), 0);
    const StepVariable* steps = Kind(0).steps;
    EXPECT_EQ(steps[0].flags, kStepOn | kStepLinear | kStepModel);
    EXPECT_EQ(Text(steps[0].texts[0]), "RES RLOAD");
    EXPECT_EQ(Text(steps[0].texts[1]), "R");
    EXPECT_EQ(Text(steps[0].texts[4]), "1K");
    EXPECT_EQ(steps[1].flags, kStepOn | kStepSymbolic | kStepList);
    EXPECT_EQ(Text(steps[1].texts[0]), "X");
    EXPECT_EQ(Text(steps[1].texts[2]), "1,2,3");
    EXPECT_EQ(steps[2].flags, kStepOn | kStepLog | kStepComponent);
    EXPECT_EQ(Text(steps[2].texts[1]), "R");
    EXPECT_EQ(Text(steps[2].texts[4]), "1.258925411794167");
    EXPECT_EQ(steps[3].flags, kStepOn | kStepLinear);
    EXPECT_EQ(Text(steps[3].texts[2]), "0");
    // All twenty in use: a further statement is ignored.
    for (int i = 4; i < kStepRecordCount; ++i) Run(ReadStepStatement, ".STEP R1 1 2 1");
    EXPECT_EQ(Run(ReadStepStatement, ".STEP R9 1 2 1"), 0);
    EXPECT_EQ(Text(steps[kStepRecordCount - 1].texts[0]), "R1");
}

TEST_F(CompStatementsTest, TimeStepTable) {
    struct Case {
        const char* statement;
        int message;
    };
    const Case cases[] = {
        {".TR 1N 10N, 2N 20N", 0}, {".TR", 10941},
        {".TR 1N", 10941},         {".TR 1N 10N 2N", 10941},
        {".TR 1N -1N", 10944},     {".TR 1N 10N 2N 20N 3N 15N", 10942},
        {".TR 0 10N", 10943},      {".TR 1N NOPE", -1 /* the evaluation's own message */},
    };
    for (const Case& c : cases) {
        ClearTimeStepTable(text_.get());
        EXPECT_EQ(Run(ReadTrStatementText, c.statement), c.message ? kResultShown : 0) << c.statement;
        if (c.message < 0)
            EXPECT_EQ(shown_.size(), 1u) << c.statement;
        else
            EXPECT_EQ(shown_, c.message ? std::vector<int>{c.message} : std::vector<int>{}) << c.statement;
    }
    ClearTimeStepTable(text_.get());
    ASSERT_EQ(Run(ReadTrStatementText, ".TR 1N 10N 2N 20N"), 0);
    EXPECT_DOUBLE_EQ(MaxTimeStepAt(text_.get(), 5e-9), 1e-9);
    EXPECT_DOUBLE_EQ(MaxTimeStepAt(text_.get(), 15e-9), 2e-9);
    EXPECT_EQ(MaxTimeStepAt(text_.get(), 25e-9), 0);
    EXPECT_EQ(Run(ReadTrStatementText, ".TR 1N 10N"), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10940});
}

TEST_F(CompStatementsTest, TransferFunctionAndSensitivityOutputs) {
    BeginAnalysisStatements(text_.get());
    ASSERT_EQ(Run(ReadTfStatement, ".TF V(OUT) VIN"), 0);
    ASSERT_EQ(Run(ReadTfStatement, ".TF I(VOUT)"), 0);
    EXPECT_EQ(State().transferInput, "VIN");
    EXPECT_EQ(State().transferOutputs, (std::vector<std::string>{"I(VOUT)", "V(OUT)"}));
    ASSERT_EQ(Run(ReadSensStatement, ".SENS V(1) V(2)  I(VIN)"), 0);
    std::string many = ".SENS";
    for (int i = 0; i < 12; ++i) many += " V(" + std::to_string(i) + ")";
    ASSERT_EQ(Run(ReadSensStatement, many.c_str()), 0);
    EXPECT_EQ(State().sensitivityOutputs[2], "I(VIN)");
    EXPECT_EQ(State().sensitivityOutputs[3], "V(0)");
    EXPECT_EQ(State().sensitivityOutputs[kSensitivitySlots - 1], "V(6)");
}

TEST_F(CompStatementsTest, PrintAndPlotItemsBecomeCurveRows) {
    struct Case {
        const char* statement;
        const char* y;
    };
    const Case items[] = {
        {".PRINT AC VDB(OUT)", "DB(V(OUT))"}, {".PRINT AC IR(V1)", "RE(I(V1))"},
        {".PRINT AC VM(2,4)", "MAG(V(2,4))"}, {".PRINT NOISE ONOISE(DB)", "DB(ONOISE)"},
        {".PRINT AC V([OUT])", "V(OUT)"},     {".PRINT AC IG(Q1)", "IG(Q1)"},
        {".PRINT AC VCE(Q1)", "VCE(Q1)"},
    };
    SetAnalysisKind(1);
    for (const Case& c : items) {
        BeginAnalysisStatements(text_.get());
        ASSERT_EQ(Run(ReadPrintStatement, c.statement), 0) << c.statement;
        ASSERT_EQ(Kind(1).curves.size(), 1u) << c.statement;
        EXPECT_EQ(Text(Kind(1).curves[0]->yExpression), c.y) << c.statement;
        EXPECT_EQ(Text(Kind(1).curves[0]->xExpression), "F");
    }
    // Equal rows merge; AC rows take the Y scale flag only.
    BeginAnalysisStatements(text_.get());
    Run(ReadPrintStatement, ".PRINT AC VDB(OUT)");
    Run(ReadPrintStatement, ".PRINT AC VDB(OUT)");
    Run(ReadPrintStatement, ".PRINT TRAN V(9)");
    MergeCurveRows(text_.get());
    ASSERT_EQ(Kind(1).curves.size(), 1u);
    EXPECT_EQ(Kind(1).curves[0]->options, kRowPrinted | kRowScaleY);
    EXPECT_TRUE(Kind(0).curves.empty());

    SetAnalysisKind(0);
    BeginAnalysisStatements(text_.get());
    ASSERT_EQ(Run(ReadPrintStatement, ".PLOT TRAN V(1) V(2) (0,5)"), 0);
    ASSERT_EQ(Run(ReadPrintStatement, ".PLOT TRAN V(3) -1 1"), 0);
    ASSERT_EQ(Run(ReadPrintStatement, ".PRINT TRAN I(R1)"), 0);
    MergeCurveRows(text_.get());
    const auto& rows = Kind(0).curves;
    ASSERT_EQ(rows.size(), 4u);
    const char plots[] = {'1', '1', '2', 0};
    const char* ranges[] = {"5,0", "5,0", "1,-1", ""};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->plotGroup, plots[i]) << i;
        EXPECT_EQ(Text(rows[i]->yRange), ranges[i]) << i;
        EXPECT_EQ(rows[i]->options & kRowFromPlot, 0);
        EXPECT_NE(rows[i]->options & kRowScaleX, 0);
    }
}

TEST_F(CompStatementsTest, PlotRangeReachesEveryItemOfALongStatement) {
    SetAnalysisKind(0);
    BeginAnalysisStatements(text_.get());
    std::string statement = ".PLOT TRAN";
    for (int i = 0; i < 120; ++i) statement += " V(" + std::to_string(i) + ")";
    ASSERT_EQ(Run(ReadPrintStatement, (statement + " (-1,1)").c_str()), 0);
    ASSERT_EQ(Kind(0).curves.size(), 120u);
    for (const auto& row : Kind(0).curves) EXPECT_EQ(Text(row->yRange), "1,-1");
}

TEST_F(CompStatementsTest, OutputStatementErrorsAndDefaultRows) {
    SetAnalysisKind(0);
    BeginAnalysisStatements(text_.get());
    EXPECT_EQ(Run(ReadPrintStatement, ".PRINT DISTO HD2"), 0);
    EXPECT_EQ(shown_, std::vector<int>{10911});
    EXPECT_EQ(Run(ReadPrintStatement, ".PRINT FOO V(1)"), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10917});
    EXPECT_EQ(Run(ReadWatchStatement, ".WATCH FOO V(1)"), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10917});
    EXPECT_EQ(Run(ReadWatchStatement, ".WATCH TRAN V(1) @"), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10950});
    AddDefaultCurveRows(text_.get());
    const auto& rows = Kind(0).curves;
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : rows) {
        EXPECT_EQ(row->plotGroup, '1');
        EXPECT_EQ(row->options, kRowScaleX | kRowScaleY);
    }
    AddDefaultCurveRows(text_.get());
    EXPECT_EQ(rows.size(), 3u);
}

TEST_F(CompStatementsTest, WatchDropsLimitPairs) {
    SetAnalysisKind(0);
    BeginAnalysisStatements(text_.get());
    ASSERT_EQ(Run(ReadWatchStatement, ".WATCH TRAN V(1) (0,5) I(R1) 0,5 V(2)*2"), 0);
    ASSERT_EQ(Run(ReadWatchStatement, ".WATCH AC V(7)"), 0);
    EXPECT_EQ(Kind(0).watch, (std::vector<std::string>{"V(1)", "I(R1)", "V(2)*2"}));
    EXPECT_TRUE(Kind(1).watch.empty());
}

}  // namespace
