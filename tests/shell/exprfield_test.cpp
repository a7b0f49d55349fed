// Expression fields: brackets coloured by depth, read back from the field's
// format runs and from its pixels; the right button's report and menu.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/result.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "shell/colortable.h"
#include "shell/exprfield.h"
#include "tests/support/test_reporter.h"

namespace {

using platform::CharFormat;
using platform::ControlDesc;
using platform::ControlKind;
using platform::Notify;

constexpr int kField = 101;
constexpr int kPlain = 102;

platform::DialogDesc ef_Desc() {
    platform::DialogDesc d;
    d.caption = "Expression";
    d.cx = 240;
    d.cy = 80;
    d.controls = {ControlDesc{ControlKind::RichEdit, kField, "", 5, 5, 230, 30, 0},
                  ControlDesc{ControlKind::Edit, kPlain, "", 5, 45, 100, 12, 0}};
    return d;
}

// A dialog that records what its controls tell it.
class ef_Dialog : public platform::Dialog {
public:
    ef_Dialog() : platform::Dialog(ef_Desc()) {}
    void OnControl(int id, Notify what) override { seen.push_back({id, what}); }
    std::vector<std::pair<int, Notify>> seen;
};

class ExprField : public ::testing::Test {
protected:
    void SetUp() override {
        InitColorTable();
        ASSERT_TRUE(dlg.CreateModeless());
        platform::Application::Instance()->PumpEvents();
    }
    void TearDown() override { dlg.DestroyDialog(); }

    // The format of every character, as the field reports its runs.
    std::vector<CharFormat> Formats() const {
        std::vector<CharFormat> out(static_cast<size_t>(dlg.TextLength(kField)));
        for (const platform::FormatRun& run : dlg.GetFormatRuns(kField))
            for (int i = run.start; i < run.start + run.length && i < static_cast<int>(out.size()); ++i)
                out[static_cast<size_t>(i)] = run.format;
        return out;
    }
    static CharFormat Bracket(int row) {
        CharFormat f;
        f.autoColor = false;
        f.bold = true;
        f.color = GetColorRow(row)->color;
        return f;
    }

    ef_Dialog dlg;
};

TEST_F(ExprField, BracketsTakeTheColourOfTheirDepth) {
    CExprRichEdit field;
    ASSERT_TRUE(field.Attach(dlg, kField));
    ASSERT_TRUE(InitExprRichEdit(field));
    const std::string twelve = std::string(12, '(') + "x" + std::string(12, ')');
    const struct {
        std::string text;
        std::vector<std::pair<int, int>> coloured;  // character, colour row
    } cases[] = {
        {"a*(b+(c))", {{2, 1}, {5, 2}, {7, 2}, {8, 1}}},
        {")(", {}},                                       // the depth goes to -1 and back to 0
        {"(a))(((b)", {{0, 1}, {2, 1}, {5, 1}, {6, 2}, {8, 2}}},  // a stray ")" leaves the next "(" at depth 0
        {twelve, {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        // Typing recolours through the field's own change handling.
        dlg.UserSetText(kField, c.text);
        const std::vector<CharFormat> formats = Formats();
        ASSERT_EQ(formats.size(), c.text.size()) << c.text;
        std::vector<CharFormat> expected(c.text.size());
        for (const auto& [at, row] : c.coloured) expected[static_cast<size_t>(at)] = Bracket(row);
        if (c.text == twelve)
            for (int d = 1; d <= 12; ++d) {
                expected[static_cast<size_t>(d - 1)] = Bracket(d % 12);
                expected[static_cast<size_t>(25 - d)] = Bracket(d % 12);
            }
        for (size_t i = 0; i < formats.size(); ++i) EXPECT_TRUE(formats[i] == expected[i]) << c.text << " at " << i;
    }
    EXPECT_TRUE(dlg.GetFormatRuns(kField).empty());  // the empty field has nothing to format
}

TEST_F(ExprField, RecolouringKeepsTheSelectionAndCodeChangesRecolourToo) {
    CExprRichEdit field;
    ASSERT_TRUE(field.Attach(dlg, kField));
    dlg.SetText(kField, "f(x)+g(y)");
    dlg.SelectText(kField, 2, 3);
    field.ColorBrackets();
    int start = -1, end = -1;
    dlg.GetTextSelection(kField, &start, &end);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(end, 3);
    EXPECT_TRUE(Formats()[1] == Bracket(1));
    // Text set by code is recoloured, but the dialog hears only of user changes.
    dlg.seen.clear();
    dlg.SetText(kField, "((z))");
    EXPECT_TRUE(Formats()[1] == Bracket(2));
    EXPECT_TRUE(dlg.seen.empty());
    dlg.UserSetText(kField, "(w)");
    ASSERT_EQ(dlg.seen.size(), 1u);
    EXPECT_EQ(dlg.seen[0].second, Notify::TextChanged);
}

TEST_F(ExprField, ColouredBracketShowsOnScreen) {
    CExprRichEdit field;
    ASSERT_TRUE(field.Attach(dlg, kField));
    dlg.SetControlFont(kField, platform::FontDesc{"", -28});
    dlg.UserSetText(kField, "((((((");
    platform::Application::Instance()->PumpEvents();
    const platform::Image image = dlg.GrabControl(kField);
    ASSERT_FALSE(image.IsNull());
    // Depth 4 is colour row 4; some pixel of the field must show it.
    const platform::Color wanted = GetColorRow(4)->color;
    ASSERT_NE(wanted, GetColorRow(0)->color);
    long long hits = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) hits += image.PixelAt(x, y) == wanted;
    EXPECT_GT(hits, 3);
}

TEST_F(ExprField, RightButtonIsReportedToTheDialog) {
    CExprRichEditNotify field;
    ASSERT_TRUE(field.Attach(dlg, kField));
    dlg.FocusControl(kPlain);
    dlg.seen.clear();
    dlg.UserRightButton(kField);
    platform::Application::Instance()->PumpEvents();
    EXPECT_EQ(dlg.FocusedId(), kField);
    bool reported = false;
    for (const auto& [id, what] : dlg.seen) reported |= id == kField && what == Notify::RightButton;
    EXPECT_TRUE(reported);
    // A plain expression field keeps its right button to itself.
    CExprRichEdit plain;
    ASSERT_TRUE(plain.Attach(dlg, kField));  // takes the control over
    EXPECT_EQ(field.HookPanel(), nullptr);
    dlg.seen.clear();
    dlg.UserRightButton(kField);
    for (const auto& [id, what] : dlg.seen) EXPECT_NE(what, Notify::RightButton);
}

TEST_F(ExprField, MenuFieldAsksTheAnalysisLayerAndTypesTheChoice) {
    struct Menus : ExpressionMenuPort {
        int BuildExpressionMenu(CMenu2& menu) override {
            ++builds;
            menu.AddItem(7, "V(OUT)");
            return 0;
        }
        bool HandleExpressionMenuCommand(platform::ControlPanel& parent, int command, CExprRichEdit& field,
                                         CMenu2& menu, const std::string& x) override {
            EXPECT_EQ(field.HookPanel(), &parent);
            EXPECT_EQ(x, "?");
            parent.UserSetText(field.HookId(), parent.GetText(field.HookId()) + menu.ItemText(command));
            return true;
        }
        int builds = 0;
    };
    struct Field : CExprRichEditMenu {
        int TrackMenu(CMenu2& menu, platform::Point) override { return menu.ItemAt(0).id; }
    };
    {
        // Without the analysis layer the menu cannot be made: said so, nothing else happens.
        std::vector<int> codes;
        ScopedTestReporter reporter([&](const MessageRequest& r) {
            codes.push_back(r.code());
            return 0;
        });
        Field field;
        ASSERT_TRUE(field.Attach(dlg, kField));
        dlg.UserRightButton(kField);
        EXPECT_EQ(codes, std::vector<int>{kResultNotBuilt});
        EXPECT_TRUE(field.Popup().IsEmpty());
    }
    Menus menus;
    ExpressionMenuPort* previous = InstallExpressionMenus(&menus);
    Field field;
    ASSERT_TRUE(field.Attach(dlg, kField));
    dlg.SetText(kField, "2*");
    dlg.UserRightButton(kField);
    dlg.UserRightButton(kField);
    EXPECT_EQ(menus.builds, 1);  // built once per field
    EXPECT_EQ(dlg.GetText(kField), "2*V(OUT)V(OUT)");
    InstallExpressionMenus(previous);
}

TEST_F(ExprField, EditGoesWithItsObjectAndSelectAllSelectsEverything) {
    {
        CEdit2 edit;
        ASSERT_TRUE(edit.Create(dlg, ControlDesc{ControlKind::Edit, 120, "cell", 5, 60, 50, 12, 0}));
        SelectAllEditText(dlg, 120);
        int start = -1, end = -1;
        dlg.GetTextSelection(120, &start, &end);
        EXPECT_EQ(start, 0);
        EXPECT_EQ(end, 4);
    }
    EXPECT_FALSE(dlg.HasControl(120));
    dlg.SetText(kField, "a+b");
    SelectAllRichEditText(dlg, kField);
    int start = -1, end = -1;
    dlg.GetTextSelection(kField, &start, &end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 3);
    // A field that outlives its dialog's controls is simply detached.
    CExprRichEdit field;
    ASSERT_TRUE(field.Attach(dlg, kField));
    dlg.DestroyDialog();
    EXPECT_EQ(field.HookPanel(), nullptr);
}

}  // namespace
