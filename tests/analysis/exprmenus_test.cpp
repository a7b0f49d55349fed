// The expression menu behind the program's expression fields: built from the
// current circuit, a choice typed into the field at its selection.
#include "analysis/exprmenus.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/app.h"
#include "platform/dialog.h"
#include "shell/exprfield.h"

namespace {

constexpr int kField = 100;

int em_FindId(platform::Menu& menu, const std::string& text) {
    for (int i = 0; i < menu.ItemCount(); ++i) {
        const platform::Menu::ItemInfo item = menu.ItemAt(i);
        if (item.popup) {
            if (int id = em_FindId(*menu.PopupAt(i), text)) return id;
        } else if (item.text == text) {
            return item.id;
        }
    }
    return 0;
}

// A field whose menu "chooses" the item with a given text.
struct em_Field : CExprRichEditMenu {
    int TrackMenu(CMenu2& menu, platform::Point) override {
        chosenId = em_FindId(menu, choose);
        return chosenId;
    }
    std::string choose;
    int chosenId = 0;
};

TEST(ExpressionFieldMenu, ChoicesGoInAtTheSelectionOrWrapTheText) {
    InstallExpressionFieldMenus();
    platform::DialogDesc desc;
    desc.caption = "Field";
    desc.cx = 200;
    desc.cy = 40;
    desc.controls = {platform::ControlDesc{platform::ControlKind::RichEdit, kField, "", 5, 5, 190, 20, 0}};
    platform::Dialog dlg(desc);
    ASSERT_TRUE(dlg.CreateModeless());
    em_Field field;
    ASSERT_TRUE(field.Attach(dlg, kField));

    const struct {
        const char* text;
        int start, end;
        const char* choose;
        const char* result;
        int caret;  // -1: the whole text selected
    } cases[] = {
        {"2*", 2, 2, "TIME", "2*TIME", 6},
        {"a+x+b", 2, 3, "PI", "a+PI+b", 4},
        {"a", 1, 1, "*", "a * ", 4},
        {"a+PI", 0, 0, "ABS", "ABS(a+PI)", -1},
    };
    for (const auto& c : cases) {
        dlg.SetText(kField, c.text);
        dlg.SelectText(kField, c.start, c.end);
        field.choose = c.choose;
        dlg.UserRightButton(kField);
        ASSERT_NE(field.chosenId, 0) << c.choose;
        EXPECT_EQ(dlg.GetText(kField), c.result);
        int start = 0, end = 0;
        dlg.GetTextSelection(kField, &start, &end);
        if (c.caret < 0) {
            EXPECT_EQ(end - start, static_cast<int>(std::string(c.result).size())) << c.result;
        } else {
            EXPECT_EQ(start, c.caret) << c.result;
            EXPECT_EQ(end, c.caret) << c.result;
        }
    }
    EXPECT_NE(em_FindId(field.Popup(), "&Expand..."), 0);
    // An id the menu does not have is left to others.
    EXPECT_FALSE(field.OnMenuCommand(1));
    dlg.DestroyDialog();
    InstallExpressionMenus(nullptr);
}

}  // namespace
