// Compile support: dot keywords, value fields, statement normalising, numeric
// fields and attributes, and the run message log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "shell/document.h"
#include "tests/support/test_reporter.h"

namespace {

TEST(CompSupport, DotKeywordsMatchWholeWordsAndFollowTheirSynonyms) {
    struct Case {
        const char* text;
        int index;
        int length;
        int exactLength;
    };
    const std::vector<Case> cases = {
        {".INCLUDE lib.inc", kDotInclude, 8, 8},
        {".inc lib.inc", kDotInclude, 4, 0},
        {".OPT RELTOL=1m", kDotOptions, 4, 4},
        {".FUNC F(X) X", kDotParam, 5, 5},
        {".PARAMETERS(A=1)", kDotParameters, 11, 11},
        {".PARAMETERS(A=1)", kDotParam, 0, 0},
        {".MODELX D", kDotModel, 0, 0},
        {".model(D)", kDotModel, 6, 0},
        {".IC\tV(1)=2", kDotIc, 3, 3},
        {".NODESET", kDotNodeset, 8, 8},
        {".DEFINE", kDotIc, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchDotKeyword(c.text, c.index), c.length) << c.text;
        EXPECT_EQ(MatchDotKeywordExact(c.text, c.index), c.exactLength) << c.text;
    }
    EXPECT_EQ(KeywordIsAssigned("L=1u W =2u", "W"), 1);
    EXPECT_EQ(KeywordIsAssigned("LW=1u", "W"), 0);
    EXPECT_EQ(KeywordIsAssigned("W 2u", "W"), 0);
}

TEST(CompSupport, ValueFieldsAreMeasuredAsOneOperandOrJoinedExpression) {
    struct Case {
        const char* text;
        bool join;
        int length;
        const char* copy;
    };
    const std::vector<Case> cases = {
        {"1.5E-3MEG rest", false, 9, "1.5E-3MEG"},
        {"{a+b} 2", false, 5, "{a+b}"},
        {"  -5 6", false, 4, "  -5"},
        {"SIN(1,2) z", false, 8, "SIN(1,2)"},
        {"x+y", true, 3, "x+y"},
        {"x+y", false, 1, "x"},
        {"x + y * 2)", true, 9, "x + y * 2"},
        {"(1+(2)", false, 6, "(1+(2)"},  // an unclosed group ends at the end of the text
        {"", false, 0, ""},
    };
    for (const Case& c : cases) {
        char* copy = nullptr;
        EXPECT_EQ(ScanValueField(c.text, 1, &copy, c.join, false), c.length) << c.text;
        ASSERT_NE(copy, nullptr);
        EXPECT_STREQ(copy, c.copy) << c.text;
        FreeString(&copy);
    }
}

TEST(CompSupport, NormalisingBlanksCommentsAndContinuations) {
    struct Case {
        const char* text;
        bool keepLines;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"R1 1 2 10 ; load", false, "R1 1 2 10       "},
        {"*comment\nR1\t1", false, "         R1 1"},
        {"R1 1\n+ 2", false, "R1 1   2"},
        {"R1 1 ;$TWE MORE", false, "R1 1 ;$TWE MORE"},
        {"R1 1\n+ 2 ; c", true, "R1 1\n+ 2 ; c"},
        {"*c\n*d\nX", true, "  \n  \nX"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        NormalizeStatementText(text.data(), text.size(), c.keepLines);
        EXPECT_EQ(text, c.expected) << c.text;
    }
    char breaks[] = "A\r\nB\nC";
    EXPECT_STREQ(ReplaceLineBreaks(breaks), "A  B C");
}

TEST(CompSupport, NumericFieldsAndPartAttributesEvaluate) {
    struct Case {
        const char* text;
        int valid;
        double value;
    };
    const std::vector<Case> cases = {
        {"1K", 1, 1000}, {"2*3+2", 1, 8}, {"4K7", 1, 4700}, {"1+", 0, 0}, {"", 0, 0},
    };
    for (const Case& c : cases) {
        int status = 0;
        EXPECT_DOUBLE_EQ(EvaluateFieldValue(c.text, &status), c.value) << c.text;
        EXPECT_EQ(status == 0, c.valid == 1) << c.text;
        EXPECT_EQ(IsValidParameterText(c.text), c.valid) << c.text;
    }

    CCirDoc doc;
    CurrentRunContext().circuitDocument = &doc;
    DefineTable* table = GetDefineTable(&doc);
    ASSERT_EQ(InitRootScopes(&doc), 0);
    StatementSource source{kSourceTextLine, 1, 0, 0};
    ASSERT_EQ(ParseDefineStatement(table, ".define RL 2k", source, kDotDefine), 0);
    // A call of a function define is one field, whatever the length of its name.
    const std::string longName(120, 'Q');
    ASSERT_EQ(ParseDefineStatement(table, (".define " + longName + "(X) X*2").c_str(), source, kDotDefine), 0);
    EXPECT_EQ(ScanValueField((longName + " (1) z").c_str(), 1, nullptr, false, false), 124);
    SchematicObject* part = doc.NewSchematicObject();
    SetAttribute(&doc, part, kAttrPart, "R1");
    SetAttribute(&doc, part, kAttrValue, "RL*2");
    int status = 0;
    EXPECT_DOUBLE_EQ(EvaluatePartAttribute(part, kAttrValue, &status), 4000);
    EXPECT_EQ(status, 0);
    SetAttribute(&doc, part, kAttrValue, "RL*");
    ClearLastMessage();
    EXPECT_EQ(EvaluatePartAttribute(part, kAttrValue, &status), 0);
    EXPECT_EQ(status, kResultShown);
    EXPECT_NE(LastMessageId(), 0);
    ClearLastMessage();
    EXPECT_EQ(EvaluatePartAttribute(part, kAttrValue, &status), 0);  // status already set: nothing shown
    EXPECT_EQ(LastMessageId(), 0);
    ReleaseDefineTable(&doc);
    CurrentRunContext().circuitDocument = nullptr;
}

TEST(CompSupport, ClearingCompileArraysReleasesWhatTheFlagsName) {
    CCirDoc doc;
    DefineTable* table = GetDefineTable(&doc);
    ASSERT_EQ(InitRootScopes(&doc), 0);
    const std::string longValue(3000, 'k');
    ASSERT_EQ(AddFormattedDefine(table, "N", "%d*%s", 3, longValue.c_str()), 0);
    EXPECT_EQ(std::string(table->FindEntry("N", 1)->value), "3*" + std::string(3000, 'K'));
    SchematicObject* part = doc.NewSchematicObject();
    CompileSession* session = GetCompileSession(&doc);
    ASSERT_EQ(session->parts.Insert("R10", part), 0);

    ClearCompileArrays(&doc, 0);
    EXPECT_EQ(table->count, 1);
    EXPECT_EQ(session->parts.Find("R10"), part);
    ClearCompileArrays(&doc, kClearDefines);
    EXPECT_EQ(table->count, 0);
    EXPECT_EQ(table->highestScope, 1);  // the scopes stay for later substitutions
    ClearCompileArrays(&doc, kClearJoinedText | kClearHierarchy);
    EXPECT_EQ(session->parts.Find("R10"), nullptr);
    EXPECT_EQ(table->highestScope, -1);
    ReleaseDefineTable(&doc);
}

TEST(CompSupport, RunMessagesOfAnyLengthGoToTheLog) {
    ClearRunLog();
    const std::string longNames(5000, 'N');
    WriteRunMessage(kRunMessageLog, "Nodes: %s", longNames.c_str());
    WriteRunMessage(kRunMessageStatus, "not logged");
    WriteRunMessage(kRunMessageLog, "%d done", 2);
    EXPECT_EQ(std::string(RunMessageLog()), "    Nodes: " + longNames + "\r\n    2 done\r\n");
    ClearRunLog();
    EXPECT_STREQ(RunMessageLog(), "");
}

}  // namespace

// A system error (a file that is not there) reaches the reporter as itself,
// so that its words come from the system and name the file, never empty.
TEST(CompSupport, SystemErrorsAreReportedWithTheFileTheyConcern) {
    std::vector<int> codes;
    std::string subject;
    ScopedTestReporter reporter([&](const MessageRequest& request) {
        codes.push_back(request.code());
        subject = PendingText();
        return 0;
    });
    SetPendingText("NOM.LIB");
    EXPECT_EQ(ReportCompilerMessage(nullptr, 1, nullptr, kResultNoSuchFile), kResultShown);
    EXPECT_EQ(codes, std::vector<int>{kResultNoSuchFile});
    EXPECT_EQ(subject, "NOM.LIB");
}
