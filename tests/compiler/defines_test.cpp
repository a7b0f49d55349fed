// Define table: statements into entries, substitution with its parentheses
// modes, function-like defines, recursion, scopes and tolerances.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "shell/preferences.h"
#include "tests/models/fake_library_index.h"
#include "tests/support/tempdir.h"

namespace {

class CompDefinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedParentheses_ = Prefs().addParenthesesToDefine;
        Prefs().addParenthesesToDefine = 0;
        table_.Init(nullptr);
        ASSERT_EQ(InitRootScopes(&table_, "/tmp/amp.cir", 1), 0);
        ClearLastMessage();
    }
    void TearDown() override { Prefs().addParenthesesToDefine = savedParentheses_; }

    int Define(const char* text, int scope = 1, int keyword = kDotDefine) {
        StatementSource source{kSourceTextLine, scope, 0, 0};
        return ParseDefineStatement(&table_, text, source, keyword);
    }
    // The substituted text, or "#<message id>" when it failed.
    std::string Substitute(const char* text, int scope = 1, int literal = 0, int mode = kMarkersToParentheses) {
        char* out = nullptr;
        int rc = SubstituteDefines(&table_, &out, scope, text, literal, mode);
        std::string result = rc ? "#" + std::to_string(LastMessageId()) : std::string(out ? out : "");
        FreeString(&out);
        return result;
    }

    DefineTable table_;
    int savedParentheses_ = 0;
};

TEST_F(CompDefinesTest, SubstitutesDefinesByTheRulesOfEachKindAndPlace) {
    ASSERT_EQ(Define(".define R1 1k"), 0);
    ASSERT_EQ(Define(".define F(X,Y) X*Y+X"), 0);
    ASSERT_EQ(Define(".define K() 7"), 0);
    ASSERT_EQ(Define(".param P 5", 1, kDotParam), 0);
    struct Case {
        const char* text;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"R1*2", "1K*2"},
        {"F(2,3)", "2*3+2"},
        {"F(R1, 4)/2", "1K*4+1K/2"},
        {"K()+1", "7+1"},
        {"V(R1)+SIN(R1)", "V(R1)+SIN(1K)"},  // node and device-quantity arguments stay names
        {"{P*2}+P", "{5*2}+P"},              // a .PARAM only inside braces
        {"\"r1\" R1", "\"r1\" 1K"},          // quoted text keeps its case and its words
        {"r1x+r1", "R1X+1K"},                // whole words only
        {"F(2)", "#10884"},
        {"F", "#10880"},
        {"F(2,3", "#11900"},
    };
    for (const Case& c : cases) EXPECT_EQ(Substitute(c.text), c.expected) << c.text;
    // Digital texts switch "/" off as a word separator.
    SetSlashDelimiter(false);
    EXPECT_EQ(Substitute("R1/2"), "R1/2");
    SetSlashDelimiter(true);
    EXPECT_EQ(Substitute("R1/2"), "1K/2");
}

TEST_F(CompDefinesTest, ParenthesesFollowThePreferenceAndTheMarkerMode) {
    ASSERT_EQ(Define(".define G 1+2"), 0);
    ASSERT_EQ(Define(".define H 4"), 0);
    ASSERT_EQ(Define(".define F(X,Y) X*Y+X"), 0);
    struct Case {
        int preference;
        const char* text;
        int mode;
        int literal;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {1, "G*3", kMarkersToParentheses, 0, "(1+2)*3"},
        {1, "G*3", kMarkersRemove, 0, "1+2*3"},
        {1, "G*3", kMarkersKeep, 0,
         "\x02"
         "1+2\x01*3"},
        {1, "H*3", kMarkersToParentheses, 0, "4*3"},  // a simple value is never framed
        {1, "F(2,3)*2", kMarkersToParentheses, 0, "(2*3+2)*2"},
        {0, "G*3", kMarkersToParentheses, 0, "1+2*3"},
        {0, "G*3", kMarkersKeep, 1, "1+2*3"},
    };
    for (const Case& c : cases) {
        Prefs().addParenthesesToDefine = c.preference;
        EXPECT_EQ(Substitute(c.text, 1, c.literal, c.mode), c.expected) << c.text << " mode " << c.mode;
    }
}

TEST_F(CompDefinesTest, RecursiveDefinesEndWithTooComplexInsteadOfLooping) {
    ASSERT_EQ(Define(".define A B"), 0);
    ASSERT_EQ(Define(".define B A"), 0);
    EXPECT_EQ(PrepareScopeDefines(&table_, 1), kResultShown);
    EXPECT_EQ(LastMessageId(), 10881);

    DefineTable self;
    self.Init(nullptr);
    ASSERT_EQ(InitRootScopes(&self, "/tmp/a.cir", 1), 0);
    StatementSource source{kSourceTextLine, 1, 0, 0};
    ASSERT_EQ(ParseDefineStatement(&self, ".define A A+1", source, kDotDefine), 0);
    EXPECT_EQ(PrepareScopeDefines(&self, 1), 0);
    EXPECT_STREQ(self.Entry(1, 0)->value, "A+1");  // stored unchanged by pre-expansion
    char* out = nullptr;
    EXPECT_EQ(SubstituteDefines(&self, &out, 1, "A", 0, kMarkersToParentheses), kResultShown);
    EXPECT_EQ(LastMessageId(), 10881);
    FreeString(&out);
}

// A function-like define that re-inserts its own call with text after it grows
// the text by that much on every insertion: the substitution costs the text it
// inserts (it once cost that times the insertions, 24 s for the first one) and
// stops at the insertion, length or inserted-text bound with 10881.
TEST_F(CompDefinesTest, SelfInsertingCallStopsAtTheBounds) {
    const std::string tail(100, 'X');
    struct Case {
        std::string statement;
        std::string text;
    };
    const std::vector<Case> cases = {
        {".define K(X) K(X) " + tail, "K(1)"},                      // grows by its tail on every insertion
        {".define K(X) K(X)" + tail, "K(1)"},                       // the tail joins the word after the call
        {".define K(X) K(X+X)", "K(1)"},                            // the argument doubles
        {".define K(X) K(X)", "K(1) " + std::string(200000, 'Y')},  // a long text after the call
        {".define K(X) " + tail + " K(X)", "K(1)"},                 // the text before the call grows
        // The argument passes on with more text: every replacement is longer than
        // the last, so the text inserted grows far beyond the final text.
        {".define K(X) K(" + std::string(30, 'Y') + " X)," + std::string(60, 'Y'), "K(2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        DefineTable self;
        self.Init(nullptr);
        ASSERT_EQ(InitRootScopes(&self, "/tmp/a.cir", 1), 0);
        StatementSource source{kSourceTextLine, 1, 0, 0};
        ASSERT_EQ(ParseDefineStatement(&self, c.statement.c_str(), source, kDotDefine), 0);
        char* out = nullptr;
        EXPECT_EQ(SubstituteDefines(&self, &out, 1, c.text.c_str(), 0, kMarkersToParentheses), kResultShown);
        EXPECT_EQ(LastMessageId(), 10881);
        FreeString(&out);
    }
}

// Replacements are scanned again together with the text after them, as one
// text: a call may take its parentheses from what follows the define, and a
// replacement joins the word that follows it.
TEST_F(CompDefinesTest, ReplacementsAreRescannedWithTheTextAfterThem) {
    ASSERT_EQ(Define(".define G(X) X+1"), 0);
    ASSERT_EQ(Define(".define F G"), 0);
    ASSERT_EQ(Define(".define PASS(X) X"), 0);
    ASSERT_EQ(Define(".define AB 7"), 0);
    struct Pair {
        const char* text;
        const char* expected;
    };
    const std::vector<Pair> cases = {
        {"F(2)*3", "2+1*3"}, {"PASS(A)B", "7"}, {"PASS(A)B+F(PASS(AB))", "7+7+1"}, {"\"F(2)\" F(2)", "\"F(2)\" 2+1"},
        {"F(2", "#11900"},   {"G", "#10880"},
    };
    for (const Pair& p : cases) EXPECT_EQ(Substitute(p.text), p.expected) << p.text;
}

TEST_F(CompDefinesTest, GrowthAndIdentifierLengthHaveNoFixedLimit) {
    // Argument names far beyond any fixed work buffer are compared whole.
    const std::string arg(120, 'Q');
    const std::string other = arg + "Z";
    const std::string statement = ".define LONGF(" + arg + ") " + arg + "*2+" + other;
    ASSERT_EQ(Define(statement.c_str()), 0);
    EXPECT_EQ(Substitute("LONGF(3)"), "3*2+" + other);

    // A substitution that would grow past the bound is refused with a message.
    const std::string big = ".define BIG " + std::string(20000, '7');
    ASSERT_EQ(Define(big.c_str()), 0);
    std::string many;
    for (int i = 0; i < 100; ++i) many += "BIG+";
    EXPECT_EQ(Substitute(many.c_str()), "#10881");
}

TEST_F(CompDefinesTest, StatementErrorsAreRefusedWithTheirMessage) {
    ASSERT_EQ(Define(".define R1 1k"), 0);
    struct Case {
        const char* text;
        int keyword;
        int expected;
    };
    const std::vector<Case> cases = {
        {".define R1 2k", kDotDefine, 10885},         {".define", kDotDefine, 10882},
        {".define 1X 2", kDotDefine, 19893},          {".param TIME 3", kDotParam, 10889},
        {".define {LOT=5% RV 1k", kDotDefine, 10890}, {".define F(X 1", kDotDefine, 11900},
        {".define F(X,2Y) X", kDotDefine, 10886},
    };
    for (const Case& c : cases) {
        ClearLastMessage();
        EXPECT_EQ(Define(c.text, 1, c.keyword), kResultShown) << c.text;
        EXPECT_EQ(LastMessageId(), c.expected) << c.text;
    }
    EXPECT_EQ(Define(".define PI 3"), 0);  // PI may be redefined
    EXPECT_EQ(Define(".model X D"), 0);    // not this statement: nothing happens
    EXPECT_EQ(table_.count, 3);            // R1, PI and the nameless entry of the refused argument
}

TEST_F(CompDefinesTest, ScopesQualifyNamesAndDottedNamesReachInstanceScopes) {
    ASSERT_EQ(NameInstanceScope(&table_, 2, 1, "x1"), 0);
    ASSERT_EQ(NameInstanceScope(&table_, 3, 2, "X2"), 0);
    ASSERT_EQ(Define(".define RL 50", 2), 0);
    ASSERT_EQ(Define(".define TOP 9", 1), 0);
    ASSERT_EQ(Define(".param GP 3", 1, kDotParam), 0);

    char* q = QualifyName(&table_, "r1", 3);
    EXPECT_STREQ(q, "X1.X2.R1");
    FreeString(&q);
    q = QualifyName(&table_, "r1", 0);
    EXPECT_STREQ(q, "'TARNINC'.R1");
    FreeString(&q);

    EXPECT_EQ(Substitute("X1.RL+RL"), "50+RL");
    EXPECT_EQ(Substitute("RL", 2), "50");
    EXPECT_EQ(Substitute("TOP", 2), "TOP");   // a top-level .DEFINE stays out of instances
    EXPECT_EQ(Substitute("{GP}", 3), "{3}");  // a top-level .PARAM is seen everywhere
    DefineEntry* gp = FindDefineByName(nullptr, "GP");
    EXPECT_EQ(gp, nullptr);  // no document: nothing to find
    EXPECT_EQ(table_.FindInScope(0, "gp"), 0);
    EXPECT_EQ(table_.Entry(0, 0)->promoted, 1);
}

TEST_F(CompDefinesTest, TolerancesTakeTheirNominalValue) {
    ASSERT_EQ(Define(".define {LOT=5%} RV 1k"), 0);
    ASSERT_EQ(PrepareScopeDefines(&table_, 1), 0);
    const DefineEntry* rv = table_.FindEntry("RV", 1);
    ASSERT_NE(rv, nullptr);
    EXPECT_DOUBLE_EQ(rv->tolerance.Lot, 50.0);

    DefineTable other;
    other.Init(nullptr);
    ASSERT_EQ(InitRootScopes(&other, "/tmp/b.cir", 1), 0);
    StatementSource source{kSourceTextLine, 1, 0, 0};
    ASSERT_EQ(ParseDefineStatement(&other, ".define {LOT=5%} RV {X}", source, kDotDefine), 0);
    EXPECT_EQ(PrepareScopeDefines(&other, 1), kResultShown);
    EXPECT_EQ(LastMessageId(), 19892);
}

TEST_F(CompDefinesTest, ArgumentListsSplitAtTopLevelCommas) {
    struct Case {
        const char* text;
        int count;
        std::vector<std::string> pieces;
    };
    const std::vector<Case> cases = {
        {"A, B =2)", 2, {"A", "B=2"}},
        {"F(1,2), 3)  ", 2, {"F(1,2)", "3"}},
        {")", 0, {}},
        {" , )", 2, {"", ""}},
        {"A) junk", -1, {}},
        {"A, B", -1, {}},
    };
    for (const Case& c : cases) {
        char** pieces = nullptr;
        int error = 0;
        int n = SplitArgumentList(&pieces, c.text, &error);
        EXPECT_EQ(n, c.count) << c.text;
        for (int i = 0; i < n && i < static_cast<int>(c.pieces.size()); ++i) EXPECT_EQ(pieces[i], c.pieces[i]);
        if (n > 0) FreeArgumentList(pieces, n);
    }
}

TEST_F(CompDefinesTest, SimpleValuesAreRecognised) {
    struct Case {
        const char* value;
        int simple;
    };
    const std::vector<Case> cases = {
        {"1K", 1},  {"-1.5E-3MEG", 1}, {"(1+2)", 1}, {"{X*2}", 1}, {"\"text\"", 1},
        {"1+2", 0}, {"(1)+(2)", 0},    {"X", 0},     {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSimpleDefineValue(c.value), c.simple) << c.value;
}

}  // namespace

// A document that goes away takes its define table and model statements with it
// (the leak checker of the test build fails this test otherwise).
TEST(CompDefinesRelease, ClosingADocumentReleasesItsDefinesAndModels) {
    auto* doc = new CCirDoc;
    ASSERT_NE(GetDefineTable(doc), nullptr);
    doc->modelStatements = CreateCircuitModels(doc);
    ASSERT_NE(doc->modelStatements, nullptr);
    delete doc;
}

// Library defines load on demand: the first braced word of a compile reads the
// .PARAM and .FUNC statements of the circuit's libraries into the global scope.
TEST(CompLibraryDefines, FirstBracedWordLoadsTheLibraryParameters) {
    twtest::TempDir scratch("libdefines_test");
    ASSERT_TRUE(scratch.Valid());
    const std::string& dir = scratch.Path();
    const std::string savedLibraryPath = GetPathSetting(kPathLibrary);
    SetPathSetting(kPathLibrary, dir.c_str());
    const std::string library = dir + "/amps.lib";
    const std::string text = "* amplifiers\r\n.PARAM GAIN=42\r\n.FUNC TWICE(X) {2*X}\r\n";
    std::ofstream(library, std::ios::binary) << text;
    std::ofstream(dir + "/NOM.LIB") << "* master\r\n";

    auto counted = [](std::string& out, const std::string& value) {
        int16_t n = static_cast<int16_t>(value.size());
        out.append(reinterpret_cast<const char*>(&n), 2);
        out += value;
    };
    auto i32 = [](std::string& out, int32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    // The index names one text library and the places of its statements; the
    // index files are not built yet, so the test hands it over.
    FakeLibraryIndex indexFiles;
    ScopedPort<LibraryIndexes> indexPort(InstallLibraryIndexes, &indexFiles);
    std::string& index = indexFiles.contents;
    i32(index, 5);
    index += static_cast<char>(kIndexTextFile);
    i32(index, 0);
    counted(index, library);
    index += '\0';
    for (const char* statement : {".PARAM", ".FUNC"}) {
        index += static_cast<char>(kIndexParameters);
        i32(index, static_cast<int32_t>(text.find(statement)));
        i32(index, statement[1] == 'P' ? 2 : 3);
    }

    CCirDoc doc;
    DefineTable* table = GetDefineTable(&doc);
    ASSERT_EQ(InitRootScopes(&doc), 0);
    doc.modelStatements = CreateCircuitModels(&doc);
    ASSERT_EQ(AddLibraryFile(static_cast<CircuitModels*>(doc.modelStatements), "NOM.LIB", 0, nullptr, false), 0);

    char* out = nullptr;
    ASSERT_EQ(SubstituteDefines(table, &out, 1, "GAIN", 0, kMarkersToParentheses), 0);
    EXPECT_STREQ(out, "GAIN");  // outside braces nothing is loaded
    EXPECT_EQ(table->count, 0);
    ASSERT_EQ(SubstituteDefines(table, &out, 1, "{GAIN+TWICE(3)}", 0, kMarkersToParentheses), 0);
    EXPECT_STREQ(out, "{42+{2*3}}");
    EXPECT_EQ(table->count, 2);
    ASSERT_EQ(SubstituteDefines(table, &out, 1, "{GAIN}", 0, kMarkersToParentheses), 0);
    EXPECT_EQ(table->count, 2);  // once per compile
    FreeString(&out);
    ReleaseDefineTable(&doc);
    SetPathSetting(kPathLibrary, savedLibraryPath.c_str());
}
