// The editor's buffer without a window: edits, lines, selection, undo and the
// clipboard.
#include "text/textbuffer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/clipboard.h"
#include "tests/support/test_reporter.h"

namespace {

std::string TbText(const TextBuffer& b) { return std::string(b.Text()); }

void TbType(TextBuffer& b, const std::string& keys) {
    for (char c : keys) b.TypeChar(static_cast<unsigned char>(c));
}

TEST(TextBufferTest, EmptyBufferHoldsOnlyTheSentinel) {
    TextBuffer b;
    EXPECT_EQ(b.Length(), 0);
    EXPECT_EQ(b.GetLineCount(), 1);
    EXPECT_EQ(b.GetLine(0), "");
    EXPECT_STREQ(b.Data(), "\r\n");
    EXPECT_EQ(b.CharAt(0), 0);
}

TEST(TextBufferTest, TypingBuildsLinesAndUndoRedoActsOnTheLastEntry) {
    ScopedTestReporter reporter;
    TextBuffer b;
    TbType(b, "ab\rc");
    EXPECT_EQ(TbText(b), "ab\r\nc");
    EXPECT_EQ(b.GetLineCount(), 2);
    // a, b and the line end joined one entry; c started a new one that replaced it.
    ASSERT_EQ(b.Undo(), 1);
    EXPECT_EQ(TbText(b), "ab\r\n");
    EXPECT_EQ(b.Undo(), 0);  // nothing older is kept
    EXPECT_EQ(reporter.beeps, 1);
    ASSERT_EQ(b.ApplyUndoEntry(), 1);  // applying again redoes
    EXPECT_EQ(TbText(b), "ab\r\nc");
    EXPECT_EQ(b.Caret(), 5);

    // Backspace at the start of a line joins the lines, and its undo restores CR LF.
    b.SetSel(4, 4);
    b.TypeChar(8);
    EXPECT_EQ(TbText(b), "abc");
    b.Undo();
    EXPECT_EQ(TbText(b), "ab\r\nc");
    // Repeated Delete at one place forms one entry.
    b.SetSel(0, 0);
    b.TypeChar(1);
    b.TypeChar(1);
    EXPECT_EQ(TbText(b), "\r\nc");
    b.Undo();
    EXPECT_EQ(TbText(b), "ab\r\nc");
}

TEST(TextBufferTest, CharAndLineQueriesCheckTheirRange) {
    TextBuffer b;
    b.SetText("R1 1 2\r\n\tC1 2 0\r\nend");
    const int64_t n = b.Length();
    EXPECT_EQ(b.CharAt(0), 'R');
    EXPECT_EQ(b.CharAt(n - 1), 'd');
    EXPECT_EQ(b.CharAt(n), 0);
    EXPECT_EQ(b.CharAt(-1), 0);
    struct Case {
        int64_t offset, line;
    } lines[] = {{0, 0}, {7, 0}, {8, 1}, {n, 2}, {n + 1, -1}};
    for (const Case& c : lines) EXPECT_EQ(b.LineFromChar(c.offset), c.line) << c.offset;
    EXPECT_EQ(b.LineIndex(1), 8);
    EXPECT_EQ(b.LineIndex(2), 17);
    EXPECT_EQ(b.LineIndex(3), -1);
    EXPECT_EQ(b.LineIndex(-5), -1);
    b.BuildLineIndex();
    EXPECT_EQ(b.LineIndex(2), 17);
    EXPECT_EQ(b.LineIndex(3), -1);  // the snapshot checks its range too
    b.FreeLineIndex();
    EXPECT_EQ(b.LineLength(8), 7);
    EXPECT_EQ(b.LineLength(-1), 0);
    EXPECT_EQ(b.GetLine(1), "\tC1 2 0");
    EXPECT_EQ(b.ColumnOf(9), 3);  // the TAB fills three columns
    char small[4];
    EXPECT_EQ(b.GetLine(0, small, sizeof small), 3);
    EXPECT_STREQ(small, "R1 ");
    EXPECT_EQ(b.GetLine(7, small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

TEST(TextBufferTest, LineEndsAreKeptAsCrLf) {
    TextBuffer b;
    b.SetText("a\rb\nc\r\n");  // a lone CR is blanked; an LF alone gains its CR
    EXPECT_EQ(TbText(b), "a b\r\nc\r\n");
    EXPECT_EQ(b.GetLineCount(), 3);
    b.SetSel(1, 1);
    b.ReplaceSel("x\ny");
    EXPECT_EQ(TbText(b), "ax\r\ny b\r\nc\r\n");
    b.Undo();
    EXPECT_EQ(TbText(b), "a b\r\nc\r\n");
    // Deleting half of a line end leaves no lone byte behind.
    b.SetSel(4, 6);
    b.ReplaceSel("");
    EXPECT_EQ(TbText(b), "a b \r\n");
    EXPECT_EQ(b.GetLineCount(), 2);
}

TEST(TextBufferTest, PasteOverSelectionIsOneUndoStep) {
    TextBuffer b;
    b.SetText("R1 1 2 1k");
    ASSERT_TRUE(platform::clipboard::SetText("10k"));
    b.SetSel(7, 9);
    EXPECT_EQ(b.GetSelectedText(), "1k");
    b.Paste();
    EXPECT_EQ(TbText(b), "R1 1 2 10k");
    b.Undo();
    EXPECT_EQ(TbText(b), "R1 1 2 1k");
    b.Redo();
    EXPECT_EQ(TbText(b), "R1 1 2 10k");

    // Copy and Cut put the selection on the clipboard; Cut deletes it.
    b.SetSel(0, 2);
    b.Cut();
    EXPECT_EQ(platform::clipboard::GetText(), "R1");
    EXPECT_EQ(TbText(b), " 1 2 10k");
    // Cut line takes the caret's whole line with its line end.
    b.SetText("one\r\ntwo\r\n");
    b.SetSel(1, 1);
    b.CutLine();
    EXPECT_EQ(platform::clipboard::GetText(), "one\r\n");
    EXPECT_EQ(TbText(b), "two\r\n");
}

TEST(TextBufferTest, CaseCommandsAndReplaceWholeTextUndoAsSnapshots) {
    TextBuffer b;
    b.SetText("v1 In 0 dc 1");
    b.SetSel(0, 5);
    b.ChangeCase(true);
    EXPECT_EQ(TbText(b), "V1 IN 0 dc 1");
    b.SetSel(0, -1);
    b.ChangeCase(false);
    EXPECT_EQ(TbText(b), "v1 in 0 dc 1");
    ASSERT_NE(b.UndoEntry(), nullptr);
    EXPECT_EQ(b.UndoEntry()->label, "Lower case");
    b.Undo();
    EXPECT_EQ(TbText(b), "V1 IN 0 dc 1");
    b.Redo();
    EXPECT_EQ(TbText(b), "v1 in 0 dc 1");
}

TEST(TextBufferTest, ReadOnlyRefusesEveryChange) {
    ScopedTestReporter reporter;
    TextBuffer b;
    b.SetText("abc");
    b.SetReadOnly(true);
    b.SetSel(0, 1);
    EXPECT_FALSE(b.TypeChar('x'));
    b.ReplaceSel("y");
    b.ChangeCase(true);
    b.DeleteToEndOfLine();
    EXPECT_EQ(TbText(b), "abc");
}

TEST(TextBufferTest, CaretMovesByWordsLinesParagraphsAndBrackets) {
    TextBuffer b;
    b.SetText("a(b[c]d)\r\nx\r\n\r\npara one\r\n\tpara two\r\n\r\nend");
    using M = TextBuffer::Move;
    b.SetSel(1, 1);
    EXPECT_TRUE(b.MatchBracket());
    EXPECT_EQ(b.Caret(), 7);
    EXPECT_TRUE(b.MatchBracket());
    EXPECT_EQ(b.Caret(), 1);
    b.SetText("f(x");
    b.SetSel(1, 1);
    EXPECT_FALSE(b.MatchBracket());  // no partner: the caret stays
    EXPECT_EQ(b.Caret(), 1);

    b.SetText("a(b[c]d)\r\nx\r\n\r\npara one\r\n\tpara two\r\n\r\nend");
    const int64_t para = b.LineIndex(3);
    b.SetSel(para + 2, para + 2);
    b.MoveCaret(M::kParagraphDown, false, false);
    EXPECT_EQ(b.Caret(), b.LineIndex(5));
    b.MoveCaret(M::kParagraphUp, false, false);
    EXPECT_EQ(b.Caret(), b.LineIndex(2));
    b.MoveCaret(M::kParagraphUp, false, false);
    EXPECT_EQ(b.Caret(), 0);
    // Down keeps the column through a TAB-indented line.
    b.SetSel(para + 4, para + 4);
    b.MoveCaret(M::kDown, false, false);
    EXPECT_EQ(b.ColumnOf(b.Caret()), 4);
    b.MoveCaret(M::kEnd, true, false);
    EXPECT_EQ(b.GetSelectedText(), "ara two");
    b.SetSel(para, para);
    b.MoveCaret(M::kRight, false, true);
    EXPECT_EQ(b.Caret(), para + 5);
    b.MoveCaret(M::kLeft, false, true);
    EXPECT_EQ(b.Caret(), para);
}

TEST(TextBufferTest, DeleteLineKeepsTheCaretInTheText) {
    TextBuffer b;
    b.SetText("l0\r\nl1\r\nl2");
    b.SetSel(9, 9);
    b.BuildLineIndex();
    b.DeleteLine(2);
    b.DeleteLine(1);
    b.FreeLineIndex();
    EXPECT_EQ(TbText(b), "l0");
    EXPECT_LE(b.Caret(), b.Length());
    EXPECT_EQ(b.GetLineCount(), 1);
}

}  // namespace
