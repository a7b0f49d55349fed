#include "analysis/exprmenus.h"

#include <memory>
#include <string>

#include "analysis/limitsmenus.h"
#include "analysis/start.h"
#include "document/ctdoc.h"
#include "shell/document.h"
#include "shell/exprfield.h"

namespace {

// The menu's choices stay with the field's popup.
struct em_Choices final : CMenu2::BuilderData {
    ExpressionMenu menu;
};

void em_CopyMenu(platform::Menu& from, platform::Menu& to) {
    for (int i = 0; i < from.ItemCount(); ++i) {
        const platform::Menu::ItemInfo item = from.ItemAt(i);
        if (item.separator) {
            to.AddSeparator();
        } else if (item.popup) {
            em_CopyMenu(*from.PopupAt(i), to.AddPopup(item.text));
        } else {
            to.AddItem(item.id, item.text);
            if (!item.enabled) to.EnableItem(item.id, false);
        }
    }
}

// The field counts characters; the texts are UTF-8.
size_t em_ByteOffset(const std::string& text, int characters) {
    size_t i = 0;
    for (int n = 0; i < text.size() && n < characters;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        i = std::min(text.size(), i + length);
        n += length == 4 ? 2 : 1;
    }
    return i;
}

int em_Characters(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
    return n;
}

class em_Menus final : public ExpressionMenuPort {
public:
    int BuildExpressionMenu(CMenu2& menu) override {
        CCTDoc* document = nullptr;
        int kind = 0;
        if (OpenAnalysis* analysis = CurrentAnalysis()) {
            document = analysis->document;
            kind = analysis->kind;
        } else {
            document = dynamic_cast<CCTDoc*>(CurrentRunContext().circuitDocument);
        }
        auto choices = std::make_unique<em_Choices>();
        choices->menu.Build(CollectExpressionMenuSource(document, kind), true);
        menu.Clear();
        em_CopyMenu(choices->menu.Menu(), menu);
        menu.builderData = std::move(choices);
        return 0;
    }

    bool HandleExpressionMenuCommand(platform::ControlPanel& parent, int command, CExprRichEdit& field, CMenu2& menu,
                                     const std::string& x) override {
        const auto* choices = dynamic_cast<const em_Choices*>(menu.builderData.get());
        if (!choices || field.HookPanel() != &parent) return false;
        const int id = field.HookId();
        ExpressionMenuChoice choice = choices->menu.Choice(command);
        switch (choice.action) {
        case ExpressionMenuChoice::kNone: return false;
        case ExpressionMenuChoice::kExpand: {
            CExpandDlg expand(parent.GetText(id));
            if (expand.DoModal() == platform::dlgid::Ok) parent.UserSetText(id, expand.Text());
            parent.FocusControl(id);
            return true;
        }
        case ExpressionMenuChoice::kList: {
            CListChoiceDlg list(choice.text, choice.list);
            if (list.DoModal() != platform::dlgid::Ok || list.Chosen().empty()) return true;
            choice = ExpressionMenuChoice{ExpressionMenuChoice::kInsert, list.Chosen(), 0, {}};
            break;
        }
        default: break;
        }
        const std::string text = parent.GetText(id);
        int start = 0, end = 0;
        parent.GetTextSelection(id, &start, &end);
        const size_t a = em_ByteOffset(text, start), b = em_ByteOffset(text, end);
        const std::string changed = ApplyExpressionChoice(choice, text, static_cast<int>(a), static_cast<int>(b), x);
        parent.UserSetText(id, changed);
        // The caret follows what went in; a wrapped text is selected whole.
        if (choice.action == ExpressionMenuChoice::kFunction) {
            parent.SelectText(id, 0, -1);
        } else {
            const int caret = em_Characters(changed) - em_Characters(text.substr(b));
            parent.SelectText(id, caret, caret);
        }
        parent.FocusControl(id);
        return true;
    }
};
em_Menus em_menus;

}  // namespace

void InstallExpressionFieldMenus() { InstallExpressionMenus(&em_menus); }
