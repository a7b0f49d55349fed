// .WARNING statements: reading, firing during a run, the boxes on the
// schematic and the styles the circuit file keeps.

#include "compiler/warnings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "tests/support/tempdir.h"

namespace {

class WarningsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallCircuitDocument();
        InstallWarningSection();
        ASSERT_NE(GetCompiledCircuit(&doc_), nullptr);
        previousKind_ = gSolver.AnalysisKind;
        gSolver.AnalysisKind = 0;
    }
    void TearDown() override {
        gSolver.AnalysisKind = previousKind_;
        RunVars.time = 0;
        ReleaseDefineTable(&doc_);
    }

    int Parse(const char* text) {
        StatementSource source{kSourceTextLine, 1, 0, 0};
        return ParseWarningStatement(&doc_, text, source);
    }
    CircuitWarnings& Warnings() { return *GetCircuitWarnings(&doc_); }

    // Runs the time points through the warnings as a transient would.
    void Run(const std::vector<double>& times) {
        ClearWarningMarks(&doc_);
        for (double t : times) {
            RunVars.time = t;
            ASSERT_EQ(EvaluateWarnings(&doc_), 0);
        }
        ReportWarnings(&doc_, 0);
    }
    std::vector<GridTextObject*> Boxes() {
        std::vector<GridTextObject*> boxes;
        for (PoolItem* item = doc_.gridTexts.first; item; item = item->next) {
            auto* g = static_cast<GridTextObject*>(item);
            if (item->type >= 0 && (g->flags & kGridTextWarningBox)) boxes.push_back(g);
        }
        return boxes;
    }

    CCirDoc doc_;
    int previousKind_ = -1;
};

TEST_F(WarningsTest, StatementsAreReadIntoTitleMessageConditionAndReport) {
    struct Case {
        const char* text;
        int result;
        int message;  // shown message id, 0 none
        const char* title;
        const char* body;
        const char* condition;
        const char* report;
    };
    const Case cases[] = {
        {".WARNING \"Overheat\" T>1m", 0, 0, "", "Overheat", "T>1m", ""},
        {".warning \"Limits\", \"Too hot\\nCheck R1\", T>1m, 2*T", 0, 0, "Limits", "Too hot\r\nCheck R1", "T>1m",
         "2*T"},
        {".WARNING \"m\" MAX(T,{1,2})>2 , T", 0, 0, "", "m", "MAX(T,{1,2})>2", "T"},
        {".WARNING Overheat T>1", kResultShown, kMsgMissingQuotes, nullptr, nullptr, nullptr, nullptr},
        {".WARNING \"Overheat T>1", kResultShown, kMsgMissingQuotes, nullptr, nullptr, nullptr, nullptr},
        {".WARNING \"Overheat\"  ", kResultShown, kMsgMissingExpression, nullptr, nullptr, nullptr, nullptr},
        {".WARNINGS \"x\" T>1", 0, 0, nullptr, nullptr, nullptr, nullptr},
        {".PARAM X=1", 0, 0, nullptr, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        FreeWarningRecords(&doc_);
        ClearLastMessage();
        EXPECT_EQ(Parse(c.text), c.result) << c.text;
        EXPECT_EQ(LastMessageId(), c.message) << c.text;
        if (!c.title) continue;
        ASSERT_EQ(Warnings().records.size(), 1u) << c.text;
        const WarningRecord& r = *Warnings().records[0];
        EXPECT_EQ(r.title, c.title) << c.text;
        EXPECT_EQ(r.message, c.body) << c.text;
        EXPECT_EQ(r.condition.pendingText, c.condition) << c.text;
        EXPECT_EQ(r.report.pendingText, c.report) << c.text;
        EXPECT_EQ(r.reportText, c.report) << c.text;
    }
    FreeWarningRecords(&doc_);
    EXPECT_EQ(Parse(".WARNINGS \"x\" T>1"), 0);
    EXPECT_TRUE(Warnings().records.empty());
}

TEST_F(WarningsTest, AWarningFiresOnceAndShowsOneBoxPerTitle) {
    ASSERT_EQ(Parse(".WARNING \"Overheat\" T>1m"), 0);
    ASSERT_EQ(Parse(".WARNING \"Limits\", \"Too hot\\nCheck R1\" T>=2m, 2*T"), 0);
    ASSERT_EQ(Parse(".WARNING \"Limits\", \"Late\" T>3m"), 0);
    ASSERT_EQ(Parse(".WARNING \"Never\" T>1"), 0);
    ASSERT_EQ(CompileWarningExpressions(&doc_, 0), 0);

    Run({0, 0.5e-3, 1.5e-3, 2e-3, 2.5e-3, 3.5e-3, 4e-3});
    const auto& records = Warnings().records;
    EXPECT_TRUE(records[0]->fired);
    EXPECT_DOUBLE_EQ(records[0]->reportedValue, 1.5e-3);  // the first point past the limit, not a later one
    EXPECT_DOUBLE_EQ(records[1]->reportedValue, 4e-3);    // the report expression at the moment it fired
    EXPECT_FALSE(records[3]->fired);

    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    std::vector<std::string> texts;
    for (GridTextObject* box : boxes) texts.push_back(box->text);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"Limits\r\nToo hot\r\nCheck R1 at 2*T=4m\r\nLate at T=3.5m",
                                               "Warning:\r\nOverheat at T=1.5m"}));

    // The user moves a box; the next run takes it away and puts it back there.
    GridTextObject* limits = boxes[0]->text[0] == 'L' ? boxes[0] : boxes[1];
    limits->x = 40;
    limits->y = 50;
    Run({0, 1e-3});
    EXPECT_TRUE(Boxes().empty());  // nothing fired: the old boxes are gone
    Run({0, 5e-3});
    boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (GridTextObject* box : boxes) {
        if (box->text[0] != 'L') continue;
        EXPECT_EQ(box->x, 40);
        EXPECT_EQ(box->y, 50);
    }
}

TEST_F(WarningsTest, StylesOfUsedTitlesSurviveSaveAndOpen) {
    ASSERT_EQ(Parse(".WARNING \"A\", \"m\" T>1"), 0);
    ASSERT_EQ(Parse(".WARNING \"B\", \"m\" T>1"), 0);
    ASSERT_EQ(Warnings().styles.size(), 2u);
    EXPECT_EQ(Warnings().styles[1].y, 15);  // stacked below the first
    Warnings().styles[0].x = 7;
    Warnings().styles[0].style.fillColor = 3;

    // A title no statement uses any more loses its entry at the end of a compile.
    FreeWarningRecords(&doc_);
    ASSERT_EQ(Parse(".WARNING \"A\", \"m\" T>1"), 0);
    PruneWarningStyles(&doc_);
    EXPECT_EQ(Warnings().styles[1].title, "");

    twtest::TempDir dir("warnings");
    const std::string path = dir.Path() + "/w.cir";
    ASSERT_EQ(SaveCircuitFile(&doc_, path.c_str(), kCirVersion801), 0);
    std::ifstream in(path, std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    EXPECT_NE(saved.str().find("[Warning]\r\nTitle=A\r\nGrid=7,13\r\n"), std::string::npos) << saved.str();
    EXPECT_EQ(saved.str().find("Title=B"), std::string::npos);

    CCirDoc copy;
    CircuitFile file;
    file.loadFlags = kLoadHidden | kLoadSilent;
    ASSERT_EQ(ReadCircuitFile(&copy, file, path.c_str(), true), 0);
    file.Close();
    CircuitWarnings* read = GetCircuitWarnings(&copy);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->styles.size(), 1u);
    EXPECT_EQ(read->styles[0].title, "A");
    EXPECT_EQ(read->styles[0].x, 7);
    EXPECT_EQ(read->styles[0].y, 13);
    EXPECT_EQ(read->styles[0].style.fillColor, 3);
    ReleaseDefineTable(&copy);
}

}  // namespace
