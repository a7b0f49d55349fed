// ".PATH" statements written into a circuit: telling their kind, and taking
// the statements a rewrite replaces or drops out of a text page.
#include <gtest/gtest.h>

#include <string>

#include "core/dotpath.h"

namespace {

TEST(DotPath, StatementKindsAndTexts) {
    const struct {
        const char* text;
        int kind;
    } cases[] = {
        {".PATH DATA /a;/b", 0}, {"  .path lib /l", 1},
        {".Path LIBRARY", 1},    {".PATH\tPIC /p", 2},
        {".PATH PICTURE", 2},    {".PATH DATUM /a", -1},
        {".PATHS DATA", -1},     {"* .PATH DATA", -1},
        {".PATH", -1},           {"", -1},
        {nullptr, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(DotPathStatementKind(c.text), c.kind) << (c.text ? c.text : "null");
    EXPECT_EQ(FormatDotPathStatement(1, "/x;/y"), ".PATH LIBRARY /x;/y");
    EXPECT_EQ(FormatDotPathStatement(3, "/x"), "");
}

TEST(DotPath, OnlyTheFirstStatementOfAWrittenKindIsReplaced) {
    DotPathRewrite rewrite;
    rewrite.checked[0] = true;
    EXPECT_EQ(DecideDotPath(rewrite, 0), DotPathAction::Replace);
    EXPECT_EQ(DecideDotPath(rewrite, 0), DotPathAction::Delete);
    EXPECT_EQ(DecideDotPath(rewrite, 1), DotPathAction::Keep);
    EXPECT_EQ(DecideDotPath(rewrite, 2), DotPathAction::Keep);
}

TEST(DotPath, TextPageStatementsGoWholeWithTheirContinuations) {
    DotPathRewrite rewrite;
    rewrite.checked[0] = true;
    std::string text =
        "TITLE\r\n.PATH DATA /a\r\n+;/b\r\n* kept comment\r\n+;/c\r\nR1 1 0 1k\r\n.PATH LIB /l\r\n+ /m\r\n"
        ".path data /z\n.END";
    EXPECT_EQ(RemoveDotPathStatements(text, rewrite), 4);
    EXPECT_EQ(text, "TITLE\r\n* kept comment\r\nR1 1 0 1k\r\n.PATH LIB /l\r\n+ /m\r\n.END");
    // The replaced kind is to be appended at the end.
    EXPECT_FALSE(rewrite.written[0]);
}

TEST(DotPath, ManyStatementsLeaveNoOrphanContinuationLines) {
    DotPathRewrite rewrite;
    rewrite.checked[1] = true;
    // A continuation line with no statement before it is not one's to take.
    std::string text = "+ orphan before\n";
    for (int i = 0; i < 150; ++i) text += ".PATH LIBRARY /l" + std::to_string(i) + "\n+;/more\n";
    text += "V1 1 0 1\n";
    EXPECT_EQ(RemoveDotPathStatements(text, rewrite), 300);
    EXPECT_EQ(text, "+ orphan before\nV1 1 0 1\n");
    std::string untouched = "R1 1 0 1\n";
    EXPECT_EQ(RemoveDotPathStatements(untouched, rewrite), 0);
}

}  // namespace
