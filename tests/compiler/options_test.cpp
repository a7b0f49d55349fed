// .OPTIONS statements: values, flags, MAXTIMESTEP, METHOD, bounds, errors,
// unknown names, the two passes and writing a value back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/options.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "expr/runvars.h"
#include "models/modelstmt.h"
#include "shell/document.h"

namespace {

class CompOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GlobalSettings;
        GlobalSettings = GlobalSettingValues();
        ClearOptionGivenMarks();
        MaxTimeStepOption = 0;
        NumDigitsOption = -1;
        ActiveMethod = 1;
        CompileNotes.Clear();
        ClearLastMessage();
    }
    void TearDown() override {
        GlobalSettings = saved_;
        ClearOptionGivenMarks();
        CompileNotes.Clear();
    }
    int Parse(const char* text, int fullMode = 1) { return ParseOptionsStatement(&doc_, text, fullMode, nullptr); }

    GlobalSettingValues saved_;
    CCirDoc doc_;
};

TEST_F(CompOptionsTest, ValuesAndFlagsAreSetAndMarked) {
    GlobalSettings.reltol = 5e-3;
    ASSERT_EQ(Parse("RELTOL=1m ITL4=50 NOOUTMSG"), 0);
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 1e-3);
    EXPECT_EQ(GlobalSettings.itl4, 50);
    EXPECT_EQ(GlobalSettings.nooutmsg, 1);
    int marked = 0;
    for (int i = 0; i < kOptionCount; ++i) marked += OptionSetByStatement[i];
    EXPECT_EQ(marked, 3);
    EXPECT_EQ(OptionSetByStatement[FindOptionRow("reltol")], 1);
    EXPECT_EQ(OptionSetByStatement[FindOptionRow("ITL4")], 1);
    EXPECT_EQ(OptionSetByStatement[FindOptionRow("NOOUTMSG")], 1);

    ASSERT_EQ(Parse("gmin = 1n itl1=100.6 NOOUTMSG=0 acct list"), 0);
    EXPECT_DOUBLE_EQ(GlobalSettings.gmin, 1e-9);
    EXPECT_EQ(GlobalSettings.itl1, 101);          // to the nearest integer
    EXPECT_EQ(GlobalSettings.nooutmsg, 0);
    EXPECT_EQ(CompileNotes.Count, 0);             // ACCT and LIST are accepted silently
}

TEST_F(CompOptionsTest, OutOfRangeValuesAreClampedToTheRowBounds) {
    struct Case {
        const char* text;
        const char* keyword;
        double expected;
    };
    const std::vector<Case> cases = {
        {"RELTOL=5", "RELTOL", 1},         {"RELTOL=-1", "RELTOL", 1e-50},  {"ITL4=0", "ITL4", 1},
        {"WIDTH=5000", "WIDTH", 1000},     {"DIGIOLVL=9", "DIGIOLVL", 5},   {"TNOM=-40", "TNOM", 0},
        {"SEED=-5", "SEED", -1},           {"ITL1=1e12", "ITL1", 2147483647}, {"LONE=-2", "LONE", -2},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Parse(c.text), 0) << c.text;
        const OptionRow& row = OptionsTable[FindOptionRow(c.keyword)];
        const double value = row.type == kOptionDouble ? *static_cast<double*>(row.storage)
                                                       : *static_cast<int32_t*>(row.storage);
        EXPECT_DOUBLE_EQ(value, c.expected) << c.text;
    }
}

TEST_F(CompOptionsTest, MaxTimeStepKeepsTheSmallestPositiveValueAndMethodIsChecked) {
    ASSERT_EQ(Parse("MAXTIMESTEP=1u"), 0);
    ASSERT_EQ(Parse("MAXTIMESTEP=10n", 0), 0);    // read in every pass
    ASSERT_EQ(Parse("MAXTIMESTEP=1m MAXTIMESTEP=0 MAXTIMESTEP=-1"), 0);
    EXPECT_DOUBLE_EQ(MaxTimeStepOption, 10e-9);
    ASSERT_EQ(Parse("method=gear"), 0);
    EXPECT_EQ(ActiveMethod, 0);
    EXPECT_EQ(MethodSetByOptions, 1);
    EXPECT_EQ(Parse("METHOD=EULER"), kResultShown);
    EXPECT_EQ(LastMessageId(), 11895);
    ASSERT_EQ(Parse("NUMDGT=8"), 0);               // ignored in a schematic circuit
    EXPECT_EQ(NumDigitsOption, -1);
}

TEST_F(CompOptionsTest, BadItemsStopTheStatementWithTheirMessage) {
    struct Case {
        const char* text;
        int message;
    };
    const std::vector<Case> cases = {
        {"RELTOL 1m", 11901},
        {"RELTOL=", 11896},
        {"RELTOL=X", 11897},
        {"RELTOL=1e999", 11897},
    };
    for (const Case& c : cases) {
        ClearLastMessage();
        EXPECT_EQ(Parse(c.text), kResultShown) << c.text;
        EXPECT_EQ(LastMessageId(), c.message) << c.text;
    }
    GlobalSettings.itl4 = 10;
    EXPECT_EQ(Parse("ITL4=40 ABSTOL"), kResultShown);
    EXPECT_EQ(GlobalSettings.itl4, 40);           // items before the failing one stay set
}

TEST_F(CompOptionsTest, UnknownNamesAndTheSecondPassBecomeCompileNotes) {
    ASSERT_EQ(Parse("FOO=3 BAR"), 0);
    ASSERT_EQ(Parse("RELTOL=2m", 0), 0);           // subcircuit bodies: Global Settings are unknown
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 1e-3);
    ASSERT_EQ(CompileNotes.Count, 3);
    EXPECT_STREQ(CompileNotes.Entries[0].Text, "FOO");
    EXPECT_STREQ(CompileNotes.Entries[1].Text, "BAR");
    EXPECT_STREQ(CompileNotes.Entries[2].Text, "RELTOL");
    EXPECT_EQ(CompileNotes.Entries[2].Kind, kNoteUnknownOption);
}

TEST_F(CompOptionsTest, StatementsOfTheCircuitAreReadWithDefinesSubstituted) {
    CurrentRunContext().circuitDocument = &doc_;
    DefineTable* table = GetDefineTable(&doc_);
    ASSERT_EQ(InitRootScopes(&doc_), 0);
    StatementSource source{kSourceTextLine, 1, 0, 0};
    ASSERT_EQ(ParseDefineStatement(table, ".define TOL 1m", source, kDotDefine), 0);
    GridTextObject* statement = doc_.NewGridText();
    SetString(&statement->text, ".opt RELTOL={TOL * 2} ITL4=25");
    ASSERT_EQ(ApplyOptionsStatements(&doc_, 1), 0);
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 2e-3);
    EXPECT_EQ(GlobalSettings.itl4, 25);
    ReleaseDefineTable(&doc_);
    CurrentRunContext().circuitDocument = nullptr;
}

std::vector<std::string> compopt_appended;
void compopt_Append(CCTDoc*, const char* line) { compopt_appended.push_back(line); }

TEST_F(CompOptionsTest, WritingBackReplacesTheValueOrAppendsALine) {
    struct Case {
        const char* statement;
        const char* keyword;
        const char* value;
        const char* expected;   // null: not replaced
    };
    const std::vector<Case> cases = {
        {".OPTIONS ITL4=10 RELTOL=1m", "ITL4", "40", ".OPTIONS ITL4=40 RELTOL=1m"},
        {".options reltol = 1m itl4=10", "RELTOL", "0.002", ".options reltol = 0.002 itl4=10"},
        {".OPT ITL1=3", "ITL1", "5", ".OPT ITL1=5"},
        {".OPTIONS MYITL4=10", "ITL4", "40", nullptr},
        {".MODEL ITL4=10", "ITL4", "40", nullptr},
    };
    for (const Case& c : cases) {
        char* replaced = ReplaceOptionValue(c.statement, c.keyword, c.value);
        if (c.expected) EXPECT_STREQ(replaced, c.expected) << c.statement;
        else EXPECT_EQ(replaced, nullptr) << c.statement;
        FreeString(&replaced);
    }

    OptionsHooks().appendTextLine = compopt_Append;
    compopt_appended.clear();
    GridTextObject* statement = doc_.NewGridText();
    SetString(&statement->text, ".OPTIONS ITL4=10");
    GlobalSettings.itl4 = 40;
    GlobalSettings.gmin = 1e-9;
    WriteOptionsLine(&doc_, &GlobalSettings.itl4);
    EXPECT_STREQ(statement->text, ".OPTIONS ITL4=40");
    EXPECT_TRUE(compopt_appended.empty());
    WriteOptionsLine(&doc_, &GlobalSettings.gmin);
    ASSERT_EQ(compopt_appended.size(), 1u);
    EXPECT_EQ(compopt_appended[0], ".OPTIONS GMIN=1e-09");
    OptionsHooks().appendTextLine = nullptr;
}

}  // namespace
