// Find and replace in an editor, and the selection of a SPICE statement.
#include "text/find.h"

#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "tests/support/test_reporter.h"
#include "text/editwnd.h"

namespace {

std::string FdText(CTxtEditWnd& e) { return std::string(e.Buffer().Text()); }

TEST(FindTest, WholeWordMatchesOnlyWholeNames) {
    struct Case {
        const char* text;
        int64_t found;
    } cases[] = {
        {"R10 1 2", -1}, {"XR1 1 2", -1}, {"R1_A 1", -1}, {"R1 1 2", 0}, {"C1 R1,2", 3}, {"x r1", 2}, {"R10 R1", 4},
    };
    for (const Case& c : cases) EXPECT_EQ(FindMatch(c.text, "R1", 0, true), c.found) << c.text;
    EXPECT_EQ(FindMatch("R10", "r1", 0, false), 0);  // case and word ignored
}

TEST(FindTest, FindNextMovesOnAndWrapsAround) {
    ScopedTestReporter reporter;
    CTxtEditWnd e;
    e.Buffer().SetText("v1 1 0\r\nr1 1 2\r\nR2 2 0 R1");
    int64_t s = 0, en = 0;
    ASSERT_EQ(FindReplace(e, "r1", nullptr, true, true), kFindFound);
    e.Buffer().GetSel(&s, &en);
    EXPECT_EQ(s, 8);
    EXPECT_EQ(en, 10);
    ASSERT_EQ(FindReplace(e, "r1", nullptr, true, true), kFindFound);
    e.Buffer().GetSel(&s, nullptr);
    EXPECT_EQ(s, 23);
    ASSERT_EQ(FindReplace(e, "r1", nullptr, true, true), kFindFound);  // wraps to the first
    e.Buffer().GetSel(&s, nullptr);
    EXPECT_EQ(s, 8);
    EXPECT_EQ(FindReplace(e, "q9", nullptr, true, false), kFindNotFound);
    EXPECT_EQ(reporter.beeps, 1);
    // Replace: the first press selects, the next replaces and selects the next match.
    e.Buffer().SetSel(0, 0);
    const std::string r = "RX";
    FindReplace(e, "r1", &r, true, true);
    EXPECT_EQ(FdText(e), "v1 1 0\r\nr1 1 2\r\nR2 2 0 R1");
    FindReplace(e, "r1", &r, true, true);
    EXPECT_EQ(FdText(e), "v1 1 0\r\nRX 1 2\r\nR2 2 0 R1");
    e.Buffer().GetSel(&s, nullptr);
    EXPECT_EQ(s, 23);
}

TEST(FindTest, ReplaceAllIsOneUndoStepAndReportsItsCount) {
    CTxtEditWnd e;
    e.Buffer().SetText("aXa");
    std::string status;
    EXPECT_EQ(ReplaceAll(e, "a", "bb", false, &status), 2);
    EXPECT_EQ(FdText(e), "bbXbb");
    EXPECT_EQ(status, "2 occurrences changed.");
    e.Buffer().Undo();
    EXPECT_EQ(FdText(e), "aXa");
    EXPECT_EQ(ReplaceAll(e, "zz", "y", false, &status), 0);
    EXPECT_EQ(status, "0 occurrences changed.");
    EXPECT_EQ(FdText(e), "aXa");
}

TEST(FindTest, SearchTextsAreCutTo255Bytes) {
    TextSearchSettings& s = TextSearch();
    s.SetSearch(std::string(300, 'q'));
    EXPECT_EQ(s.search.size(), kSearchTextMax);
    EXPECT_STREQ(s.searchList.Text(0), s.search.c_str());
    // The lists live in the settings file.
    for (const char* section : {"Last Used Text Area Search Text", "Last Used Text Area Replace Text"})
        EXPECT_NE(SettingsSectionRoutineAt(FindSettingsSection(section)), nullptr) << section;
}

TEST(FindTest, SelectSpiceStatementCoversItsContinuationLines) {
    CTxtEditWnd e;
    e.Buffer().SetText("+ 1 2\r\n* note\r\nQ1 c b e\r\n+ QN\r\n* mid\r\n+ AREA=2\r\nR1 1 0 1k");
    struct Case {
        int64_t line;
        const char* selected;
    } cases[] = {
        {0, "+ 1 2"},  // continuations at the very top reach line 0
        {2, "Q1 c b e\r\n+ QN\r\n* mid\r\n+ AREA=2"},
        {3, "Q1 c b e\r\n+ QN\r\n* mid\r\n+ AREA=2"},
        {5, "Q1 c b e\r\n+ QN\r\n* mid\r\n+ AREA=2"},
        {6, "R1 1 0 1k"},
    };
    for (const Case& c : cases) {
        SelectSpiceStatement(e, c.line);
        EXPECT_EQ(e.Buffer().GetSelectedText(), c.selected) << c.line;
    }
}

}  // namespace
