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
    EXPECT_EQ(CommentStart("R1 1 2 ;$TWE x ; c", false), 15u);
    EXPECT_EQ(CommentStart("  * c", true), 2u);
    EXPECT_EQ(CommentStart("  * c", false), std::string_view::npos);
}

}  // namespace
