// The editor window off-screen: typed keys reach the buffer, and the picture
// shows comments and brackets in their colours.
#include "text/editwnd.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/app.h"
#include "platform/image.h"
#include "platform/keys.h"
#include "shell/colortable.h"
#include "tests/support/tempdir.h"
#include "text/find.h"

namespace {

using platform::MakeColor;

bool EwHasColor(const platform::Image& image, platform::Color c, int y0, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < image.Width(); ++x)
            if ((image.PixelAt(x, y) & 0xFFFFFF) == (c & 0xFFFFFF)) return true;
    return false;
}

TEST(EditWindowTest, TypedTextShowsCommentAndBracketColours) {
    platform::Application& app = *platform::Application::Instance();
    CTxtEditWnd editor;
    const platform::Color comment = MakeColor(0, 128, 0);
    editor.SetColors(MakeColor(0, 0, 0), comment, MakeColor(255, 255, 255));
    platform::FontDesc font;
    font.face = "DejaVu Sans Mono";
    font.height = -16;
    editor.SetFont(font, false);
    ASSERT_TRUE(editor.CreateEditor(nullptr, 101, platform::Rect{0, 0, 480, 160}));
    editor.SetFocus();
    app.PostKeyDown(&editor, 'E');
    app.PostText(&editor, "1 (a(b)) ; gain\r* x");
    app.PostKeyDown(&editor, platform::key::Back);
    app.PostKeyDown(&editor, platform::key::Back);
    app.PumpEvents();
    EXPECT_EQ(std::string(editor.Buffer().Text()), "e1 (a(b)) ; gain\r\n*");
    editor.Buffer().TypeChar(' ');
    editor.Buffer().SetSel(0, 0);

    twtest::TempDir dir{"ew_test"};
    const std::string png = dir.Path() + "/editor.png";
    ASSERT_TRUE(editor.SaveImage(png));
    platform::Image shot;
    ASSERT_TRUE(shot.Load(png));
    const int rowHeight = editor.Buffer().GetLineCount() > 0 ? shot.Height() / std::max(1, editor.Rows()) : 0;
    ASSERT_GT(rowHeight, 0);
    EXPECT_TRUE(EwHasColor(shot, comment, 0, 24));
    EXPECT_TRUE(EwHasColor(shot, MakeColor(0, 0, 0), 0, 24));
    for (int depth : {1, 2}) {
        const ColorTableRow* row = GetColorRow(depth);
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(EwHasColor(shot, row->color, 0, 24)) << "bracket depth " << depth;
    }
    // F3 repeats the last search.
    TextSearch().SetSearch("GAIN");
    app.PostKeyDown(&editor, platform::key::Function(3));
    app.PumpEvents();
    EXPECT_EQ(editor.Buffer().GetSelectedText(), "gain");
    editor.Destroy();
}

TEST(EditWindowTest, BracketRowsFollowNestingDepth) {
    std::vector<int> rows;
    BracketColorRows("a*(b+(c))", &rows);
    EXPECT_EQ(rows, (std::vector<int>{-1, -1, 1, -1, -1, 2, -1, 2, 1}));
    BracketColorRows(")(", &rows);
    EXPECT_EQ(rows, (std::vector<int>{-1, -1}));
    std::string nested(12, '(');
    BracketColorRows(nested, &rows);
    EXPECT_EQ(rows.back(), 0);  // the twelfth depth wraps to row 0
}

// Where a row's comment starts, for the editor (';' only) and for printing
// (also a '*' before any other non-blank).
TEST(EditWindowTest, CommentStartsByTheRulesOfEditorAndPrinting) {
    constexpr size_t npos = std::string_view::npos;
    const struct {
        std::string_view row;
        size_t editor;
        size_t printing;
    } cases[] = {
        {"; whole line", 0, 0},
        {"R1 1 2 1k ; load", 10, 10},
        {"R1 1 2 ;$TWE x ; c", 15, 15},  // the extension tag is no comment
        {";$TWE only", npos, npos},
        {";$TW short", 0, 0},
        {"* title line", npos, 0},
        {"  \t* indented star", npos, 3},
        {"R1 * 2", npos, npos},  // a '*' after text is an operator
        {"*;", 1, 0},
        {"", npos, npos},
        {"V1 IN 0 PULSE(0 5)", npos, npos},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommentStart(c.row, false), c.editor) << c.row;
        EXPECT_EQ(CommentStart(c.row, true), c.printing) << c.row;
    }
}

// The editor colours ';' comments only: a '*' line keeps the text colour on
// screen, while the ';' part of the next row takes the comment colour.
TEST(EditWindowTest, PaintedRowsColourSemicolonCommentsOnly) {
    CTxtEditWnd editor;
    const platform::Color text = MakeColor(0, 0, 0), comment = MakeColor(0, 160, 0);
    editor.SetColors(text, comment, MakeColor(255, 255, 255));
    platform::FontDesc font;
    font.face = "DejaVu Sans Mono";
    font.height = -16;
    editor.SetFont(font, false);
    ASSERT_TRUE(editor.CreateEditor(nullptr, 101, platform::Rect{0, 0, 400, 120}));
    editor.Buffer().SetText("* star line\r\nR1 1 2 ; load\r\n");
    twtest::TempDir dir{"ew_paint"};
    const std::string png = dir.Path() + "/rows.png";
    ASSERT_TRUE(editor.SaveImage(png));
    platform::Image shot;
    ASSERT_TRUE(shot.Load(png));
    const int rowHeight = shot.Height() / std::max(1, editor.Rows());
    // The first row's band stops short of the next row's glyphs.
    EXPECT_TRUE(EwHasColor(shot, text, 0, rowHeight - 3));
    EXPECT_FALSE(EwHasColor(shot, comment, 0, rowHeight - 3)) << "a '*' line is drawn as text";
    EXPECT_TRUE(EwHasColor(shot, comment, rowHeight, 2 * rowHeight));
    editor.Destroy();
}

// A numbered text of `lines` lines, line i holding `width(i)` characters.
template <class Width>
std::string EwLines(int lines, Width width) {
    std::string out;
    for (int i = 0; i < lines; ++i) {
        std::string line = "L" + std::to_string(i) + " ";
        line.resize(std::max<size_t>(line.size(), static_cast<size_t>(width(i))), 'x');
        out += line + "\r\n";
    }
    return out;
}

class EditScrollTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::FontDesc font;
        font.face = "DejaVu Sans Mono";
        font.height = -14;
        editor_.SetFont(font, false);
        ASSERT_TRUE(editor_.CreateEditor(nullptr, 101, platform::Rect{0, 0, 480, 240}));
    }
    void TearDown() override { editor_.Destroy(); }
    platform::ScrollState Bar(platform::ScrollBar bar) const { return editor_.GetScrollState(bar); }
    int64_t CaretLine() const { return editor_.Buffer().LineFromChar(editor_.Buffer().Caret()); }
    CTxtEditWnd editor_;
};

TEST_F(EditScrollTest, BarsShowAsTheTextNeedsThem) {
    using platform::ScrollBar;
    editor_.Buffer().SetText("short\r\ntext\r\n");
    EXPECT_FALSE(editor_.IsScrollBarShown(ScrollBar::Vertical));
    EXPECT_FALSE(editor_.IsScrollBarShown(ScrollBar::Horizontal));
    const int fullRows = editor_.Rows();

    editor_.Buffer().SetText(EwLines(200, [](int) { return 10; }));
    EXPECT_TRUE(editor_.IsScrollBarShown(ScrollBar::Vertical));
    EXPECT_FALSE(editor_.IsScrollBarShown(ScrollBar::Horizontal));
    EXPECT_EQ(Bar(ScrollBar::Vertical), (platform::ScrollState{0, 201, editor_.Rows(), 0}));
    // The bar takes its width from the grid, not from the first rows.
    EXPECT_LT(editor_.ClientRect().right, 480);
    EXPECT_EQ(editor_.Rows(), fullRows);

    editor_.Buffer().SetText(EwLines(200, [](int i) { return i == 150 ? 300 : 10; }));
    EXPECT_TRUE(editor_.IsScrollBarShown(ScrollBar::Horizontal));
    EXPECT_EQ(Bar(ScrollBar::Horizontal).max, 302);
    EXPECT_EQ(Bar(ScrollBar::Horizontal).page, editor_.Cols());
    EXPECT_LT(editor_.ClientRect().bottom, 240);
    EXPECT_LE(editor_.Rows(), fullRows);

    // Removing the long line takes the horizontal bar away again.
    editor_.Buffer().SetSel(editor_.Buffer().LineIndex(150), editor_.Buffer().LineIndex(151));
    editor_.Buffer().ReplaceSel("");
    EXPECT_FALSE(editor_.IsScrollBarShown(ScrollBar::Horizontal));
    EXPECT_EQ(editor_.ClientRect().bottom, 240);
    EXPECT_EQ(editor_.Rows(), fullRows);

    // Beyond 32767 lines one bar position stands for several lines.
    editor_.Buffer().SetText(EwLines(40000, [](int) { return 4; }));
    EXPECT_EQ(editor_.ScrollFactor(), 2);
    EXPECT_EQ(Bar(ScrollBar::Vertical).max, 40001 / 2);
    editor_.VScroll(platform::ScrollCode::Thumb, 10000);
    EXPECT_EQ(editor_.GetFirstVisibleLine(), 20000);
    EXPECT_EQ(Bar(ScrollBar::Vertical).pos, 10000);
}

TEST_F(EditScrollTest, ScrollingMovesTheViewAndTheCaretKeepsItsCell) {
    using platform::ScrollBar;
    using platform::ScrollCode;
    editor_.Buffer().SetText(EwLines(200, [](int i) { return i % 10 == 0 ? 200 : 20; }));
    const int rows = editor_.Rows();
    ASSERT_GT(rows, 3);
    // The caret on the third row, fifth column, with a selection.
    editor_.Buffer().SetSel(editor_.Buffer().LineIndex(2) + 2, editor_.Buffer().LineIndex(2) + 4);

    const struct {
        ScrollCode code;
        int thumb;
        int64_t top;
    } steps[] = {
        {ScrollCode::LineDown, 0, 1}, {ScrollCode::PageDown, 0, 1 + rows}, {ScrollCode::LineUp, 0, rows},
        {ScrollCode::Thumb, 120, 120}, {ScrollCode::PageUp, 0, 120 - rows}, {ScrollCode::Thumb, 0, 0},
        {ScrollCode::LineUp, 0, 0},    {ScrollCode::Bottom, 0, 200},        {ScrollCode::LineDown, 0, 200},
    };
    for (const auto& s : steps) {
        // Through the bar, as the user clicks or drags it.
        editor_.UserScroll(ScrollBar::Vertical, s.code, s.thumb);
        EXPECT_EQ(editor_.GetFirstVisibleLine(), s.top) << static_cast<int>(s.code);
        // The thumb stops where the last page starts.
        EXPECT_EQ(Bar(ScrollBar::Vertical).pos, std::min<int64_t>(s.top, 202 - rows)) << static_cast<int>(s.code);
        EXPECT_FALSE(editor_.Buffer().HasSelection());
        // The caret's cell stays on the third row (the last line below the text).
        EXPECT_EQ(CaretLine(), std::min<int64_t>(s.top + 2, 200)) << static_cast<int>(s.code);
    }
    // Below the view the caret took the last line's cell; back on the
    // third row it rides along again.
    EXPECT_EQ(CaretLine(), 200);
    editor_.VScroll(ScrollCode::Thumb, 0);
    editor_.Buffer().SetSel(editor_.Buffer().LineIndex(2) + 4, editor_.Buffer().LineIndex(2) + 4);
    editor_.VScroll(ScrollCode::Thumb, 50);
    EXPECT_EQ(CaretLine(), 52);
    EXPECT_EQ(editor_.Buffer().ColumnOf(editor_.Buffer().Caret()), 4);

    // Sideways within 0 ... widest line - columns.
    const int64_t right = editor_.WidestLine() - editor_.Cols();
    ASSERT_GT(right, 0);
    editor_.UserScroll(ScrollBar::Horizontal, ScrollCode::LineDown);
    EXPECT_EQ(editor_.HorizontalScroll(), 1);
    editor_.UserScroll(ScrollBar::Horizontal, ScrollCode::PageDown);
    EXPECT_EQ(editor_.HorizontalScroll(), std::min<int64_t>(right, 1 + editor_.Cols()));
    editor_.UserScroll(ScrollBar::Horizontal, ScrollCode::Bottom);
    EXPECT_EQ(editor_.HorizontalScroll(), right);
    EXPECT_EQ(Bar(ScrollBar::Horizontal).pos, right);
    editor_.UserScroll(ScrollBar::Horizontal, ScrollCode::Top);
    EXPECT_EQ(editor_.HorizontalScroll(), 0);

    // Top: caret and view to the start.
    editor_.VScroll(ScrollCode::Thumb, 80);
    editor_.UserScroll(ScrollBar::Vertical, ScrollCode::Top);
    EXPECT_EQ(editor_.GetFirstVisibleLine(), 0);
    EXPECT_EQ(editor_.Buffer().Caret(), 0);

    // A text that shrinks under the view leaves no empty view behind.
    editor_.VScroll(ScrollCode::Thumb, 190);
    editor_.Buffer().SelectAll();
    editor_.Buffer().ReplaceSel("one\r\ntwo");
    EXPECT_LE(editor_.GetFirstVisibleLine(), 1);
}

}  // namespace
