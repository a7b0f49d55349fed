// .OPTIONS statements: values, flags, MAXTIMESTEP, METHOD, bounds, errors,
// unknown names, the two passes and writing a value back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/options.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/pages.h"
#include "document/parts.h"
#include "expr/runvars.h"
#include "models/modelstmt.h"
#include "shell/document.h"

namespace {

class CompOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GlobalSettings;
        GlobalSettings = GlobalSettingValues();
        options_ = GetCircuitOptions(&doc_);
        ASSERT_NE(options_, nullptr);
        ClearLastMessage();
    }
    void TearDown() override {
        ReleaseDefineTable(&doc_);
        GlobalSettings = saved_;
    }
    int Parse(const char* text, int fullMode = 1) { return ParseOptionsStatement(&doc_, text, fullMode, nullptr); }

    GlobalSettingValues saved_;
    CCirDoc doc_;
    CircuitOptions* options_ = nullptr;
    // The document's compile notes.
    CompileNoteList& Notes() { return GetCircuitModels(&doc_)->Notes; }
};

TEST_F(CompOptionsTest, ValuesAndFlagsAreSetAndMarked) {
    options_->settings.reltol = 5e-3;
    ASSERT_EQ(Parse("RELTOL=1m ITL4=50 NOOUTMSG"), 0);
    EXPECT_DOUBLE_EQ(options_->settings.reltol, 1e-3);
    EXPECT_EQ(options_->settings.itl4, 50);
    EXPECT_EQ(options_->settings.nooutmsg, 1);
    int marked = 0;
    for (int i = 0; i < kOptionCount; ++i) marked += options_->setByStatement[i];
    EXPECT_EQ(marked, 3);
    EXPECT_EQ(options_->setByStatement[FindOptionRow("reltol")], 1);
    EXPECT_EQ(options_->setByStatement[FindOptionRow("ITL4")], 1);
    EXPECT_EQ(options_->setByStatement[FindOptionRow("NOOUTMSG")], 1);

    ASSERT_EQ(Parse("gmin = 1n itl1=100.6 NOOUTMSG=0 acct list"), 0);
    EXPECT_DOUBLE_EQ(options_->settings.gmin, 1e-9);
    EXPECT_EQ(options_->settings.itl1, 101);  // to the nearest integer
    EXPECT_EQ(options_->settings.nooutmsg, 0);
    EXPECT_EQ(Notes().Count, 0);  // ACCT and LIST are accepted silently
}

TEST_F(CompOptionsTest, OutOfRangeValuesAreClampedToTheRowBounds) {
    struct Case {
        const char* text;
        const char* keyword;
        double expected;
    };
    const std::vector<Case> cases = {
        {"RELTOL=5", "RELTOL", 1},     {"RELTOL=-1", "RELTOL", 1e-50},    {"ITL4=0", "ITL4", 1},
        {"WIDTH=5000", "WIDTH", 1000}, {"DIGIOLVL=9", "DIGIOLVL", 5},     {"TNOM=-40", "TNOM", 0},
        {"SEED=-5", "SEED", -1},       {"ITL1=1e12", "ITL1", 2147483647}, {"LONE=-2", "LONE", -2},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Parse(c.text), 0) << c.text;
        EXPECT_DOUBLE_EQ(options_->RowValue(FindOptionRow(c.keyword)), c.expected) << c.text;
    }
}

TEST_F(CompOptionsTest, MaxTimeStepKeepsTheSmallestPositiveValueAndMethodIsChecked) {
    ASSERT_EQ(Parse("MAXTIMESTEP=1u"), 0);
    ASSERT_EQ(Parse("MAXTIMESTEP=10n", 0), 0);  // read in every pass
    ASSERT_EQ(Parse("MAXTIMESTEP=1m MAXTIMESTEP=0 MAXTIMESTEP=-1"), 0);
    EXPECT_DOUBLE_EQ(options_->maxTimeStep, 10e-9);
    ASSERT_EQ(Parse("method=gear"), 0);
    EXPECT_EQ(options_->method, 0);
    EXPECT_EQ(options_->methodSetByOptions, 1);
    EXPECT_EQ(Parse("METHOD=EULER"), kResultShown);
    EXPECT_EQ(LastMessageId(), 11895);
    ASSERT_EQ(Parse("NUMDGT=8"), 0);  // ignored in a schematic circuit
    EXPECT_EQ(options_->numDigits, -1);
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
    options_->settings.itl4 = 10;
    EXPECT_EQ(Parse("ITL4=40 ABSTOL"), kResultShown);
    EXPECT_EQ(options_->settings.itl4, 40);  // items before the failing one stay set
}

TEST_F(CompOptionsTest, UnknownNamesAndTheSecondPassBecomeCompileNotes) {
    ASSERT_EQ(Parse("FOO=3 BAR"), 0);
    ASSERT_EQ(Parse("RELTOL=2m", 0), 0);  // subcircuit bodies: Global Settings are unknown
    EXPECT_DOUBLE_EQ(options_->settings.reltol, 1e-3);
    ASSERT_EQ(Notes().Count, 3);
    EXPECT_STREQ(Notes().Entries[0].Text, "FOO");
    EXPECT_STREQ(Notes().Entries[1].Text, "BAR");
    EXPECT_STREQ(Notes().Entries[2].Text, "RELTOL");
    EXPECT_EQ(Notes().Entries[2].Kind, kNoteUnknownOption);
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
    EXPECT_DOUBLE_EQ(options_->settings.reltol, 2e-3);
    EXPECT_EQ(options_->settings.itl4, 25);
    ReleaseDefineTable(&doc_);
    CurrentRunContext().circuitDocument = nullptr;
}

TEST_F(CompOptionsTest, WritingBackReplacesTheValueOrAppendsALine) {
    struct Case {
        const char* statement;
        const char* keyword;
        const char* value;
        const char* expected;  // null: not replaced
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
        if (c.expected)
            EXPECT_STREQ(replaced, c.expected) << c.statement;
        else
            EXPECT_EQ(replaced, nullptr) << c.statement;
        FreeString(&replaced);
    }

    // A placed statement and a text-page line naming the option are rewritten;
    // an option no statement names is appended to the text page.
    GridTextObject* statement = doc_.NewGridText();
    SetString(&statement->text, ".OPTIONS ITL4=10");
    const int page = doc_.GetTextPageIndex() >= 0 ? doc_.GetTextPageIndex() : doc_.AppendPage(kPageText, "Text");
    ASSERT_GE(page, 0);
    StoreTextPageText(&doc_, page, "* options\r\n.options itl4=10 reltol=1m\r\nR1 1 2 1k");
    options_->settings.itl4 = 40;
    options_->settings.gmin = 1e-9;
    WriteOptionsLine(&doc_, FindOptionRow("ITL4"));
    EXPECT_STREQ(statement->text, ".OPTIONS ITL4=40");
    char* text = CopyTextPageText(&doc_, page);
    EXPECT_STREQ(text, "* options\r\n.options itl4=40 reltol=1m\r\nR1 1 2 1k");
    FreeString(&text);
    WriteOptionsLine(&doc_, FindOptionRow("GMIN"));
    text = CopyTextPageText(&doc_, page);
    EXPECT_STREQ(text, "* options\r\n.options itl4=40 reltol=1m\r\nR1 1 2 1k\r\n.OPTIONS GMIN=1e-09\r\n");
    FreeString(&text);
    EXPECT_EQ(GlobalSettings.itl4, GlobalSettingValues().itl4);  // the user's defaults are not touched

    // A circuit without a text page gets one for the appended line.
    CCirDoc bare;
    while (bare.GetTextPageIndex() >= 0) ASSERT_EQ(bare.DeletePage(bare.GetTextPageIndex()), 1);
    GetCircuitOptions(&bare)->settings.itl1 = 7;
    WriteOptionsLine(&bare, FindOptionRow("ITL1"));
    const int made = bare.GetTextPageIndex();
    ASSERT_GE(made, 0);
    text = CopyTextPageText(&bare, made);
    EXPECT_STREQ(text, ".OPTIONS ITL1=7\r\n");
    FreeString(&text);
    ReleaseDefineTable(&bare);
}

// Each circuit keeps the options its own statements set, and the user's global
// settings stay the defaults both start from.
TEST_F(CompOptionsTest, TwoCircuitsKeepTheirOwnOptionsAndTheGlobalSettingsStay) {
    GlobalSettings.reltol = 4e-3;
    CCirDoc first;
    CCirDoc second;
    CCirDoc plain;
    GridTextObject* firstStatement = first.NewGridText();
    SetString(&firstStatement->text, ".OPTIONS RELTOL=1m FOO=2");
    SetString(&second.NewGridText()->text, ".OPTIONS RELTOL=2m ITL4=30");
    for (CCirDoc* doc : {&first, &second, &plain}) {
        ASSERT_EQ(InitRootScopes(doc), 0);
        ASSERT_EQ(ApplyOptionsStatements(doc, 1), 0);
        ASSERT_EQ(ApplyOptionsStatements(doc, 0), 0);
    }
    EXPECT_DOUBLE_EQ(GetCircuitOptions(&first)->settings.reltol, 1e-3);
    EXPECT_DOUBLE_EQ(GetCircuitOptions(&second)->settings.reltol, 2e-3);
    EXPECT_EQ(GetCircuitOptions(&second)->settings.itl4, 30);
    EXPECT_EQ(GetCircuitOptions(&first)->settings.itl4, GlobalSettings.itl4);
    EXPECT_DOUBLE_EQ(GetCircuitOptions(&plain)->settings.reltol, 4e-3);  // the user's default
    CCirDoc fresh;                                                       // no compile yet
    EXPECT_DOUBLE_EQ(GetCircuitOptions(&fresh)->settings.reltol, 4e-3);
    ReleaseDefineTable(&fresh);
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 4e-3);
    EXPECT_EQ(GlobalSettings.itl4, GlobalSettingValues().itl4);
    // Each circuit lists its own unknown names.
    ASSERT_EQ(GetCircuitModels(&first)->Notes.Count, 1);
    EXPECT_STREQ(GetCircuitModels(&first)->Notes.Entries[0].Text, "FOO");
    EXPECT_EQ(GetCircuitModels(&second)->Notes.Count, 0);

    // A statement removed since the last compile leaves nothing behind.
    SetString(&firstStatement->text, "* no options");
    ASSERT_EQ(ApplyOptionsStatements(&first, 1), 0);
    EXPECT_DOUBLE_EQ(GetCircuitOptions(&first)->settings.reltol, 4e-3);
    EXPECT_EQ(GetCircuitOptions(&first)->setByStatement[FindOptionRow("RELTOL")], 0);
    for (CCirDoc* doc : {&first, &second, &plain}) ReleaseDefineTable(doc);
}

// The first pass reads the global include file (scope 0), the placed
// statements and the text pages; the second pass reads the bodies of the other
// scopes, where only MAXTIMESTEP counts.
TEST_F(CompOptionsTest, BothPassesReadEverySourceOfStatements) {
    const std::filesystem::path include =
        std::filesystem::temp_directory_path() / ("tw_options_" + std::to_string(::getpid()) + ".inc");
    {
        std::ofstream file(include, std::ios::binary);
        file << "* global include\r\n.OPTIONS GMIN=1n\r\n.options MAXTIMESTEP=1u\r\n";
    }
    ASSERT_EQ(InitRootScopes(&doc_), 0);
    DefineTable* table = GetDefineTable(&doc_);
    GetScope(table, 0)->path = include.string();
    SetString(&doc_.NewGridText()->text, ".OPTIONS RELTOL=3m");
    const int page = doc_.GetTextPageIndex() >= 0 ? doc_.GetTextPageIndex() : doc_.AppendPage(kPageText, "Text");
    ASSERT_GE(page, 0);
    StoreTextPageText(&doc_, page, "R1 1 0 1k\r\n  .opt ITL1=77\r\n.END");

    CCirDoc body;
    SetString(&body.NewGridText()->text, ".OPTIONS MAXTIMESTEP=10n ABSTOL=1p");
    ASSERT_EQ(EnsureScopes(table, 2), 0);
    GetScope(table, 2)->document = &body;

    ASSERT_EQ(ApplyOptionsStatements(&doc_, 1), 0);
    EXPECT_DOUBLE_EQ(options_->settings.gmin, 1e-9);
    EXPECT_DOUBLE_EQ(options_->settings.reltol, 3e-3);
    EXPECT_EQ(options_->settings.itl1, 77);
    EXPECT_DOUBLE_EQ(options_->maxTimeStep, 1e-6);
    EXPECT_EQ(Notes().Count, 0);

    ASSERT_EQ(ApplyOptionsStatements(&doc_, 0), 0);
    EXPECT_DOUBLE_EQ(options_->maxTimeStep, 10e-9);
    EXPECT_DOUBLE_EQ(options_->settings.abstol, GlobalSettingValues().abstol);
    ASSERT_EQ(Notes().Count, 1);
    EXPECT_STREQ(Notes().Entries[0].Text, "ABSTOL");
    std::filesystem::remove(include);
}

}  // namespace
