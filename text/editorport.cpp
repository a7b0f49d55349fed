// The editors of text and info pages, as the document layer asks for them,
// and the text document kind's registration.
#include <cstring>

#include "core/memory.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "shell/fonts.h"
#include "text/editwnd.h"
#include "text/find.h"
#include "text/finddlg.h"
#include "text/findfilesdlg.h"
#include "text/textdoc.h"

namespace {

class te_Editors final : public TextEditorPort {
public:
    CTxtEditWnd* Create() override { return new CTxtEditWnd(); }
    void Destroy(CTxtEditWnd* editor) override { delete editor; }
    bool CreateWindow(CTxtEditWnd* editor, CMDIView* parent, int id) override {
        if (!editor || !parent) return false;
        if (editor->Exists()) return true;
        if (auto* view = dynamic_cast<CCTView*>(parent); view && !editor->Document())
            editor->SetDocument(view->GetCTDoc());
        return editor->CreateEditor(parent, id, parent->ClientRect());
    }
    bool HasWindow(CTxtEditWnd* editor) override { return editor && editor->Exists(); }
    long GetTextLength(CTxtEditWnd* editor) override {
        return editor ? static_cast<long>(editor->Buffer().Length()) : 0;
    }
    const char* GetTextBuffer(CTxtEditWnd* editor) override { return editor ? editor->Buffer().Data() : nullptr; }
    char* DuplicateText(CTxtEditWnd* editor) override {
        if (!editor) return nullptr;
        const std::string_view text = editor->Buffer().Text();
        auto* copy = static_cast<char*>(MemAlloc(text.size() + 1));
        if (!copy) return nullptr;
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = 0;
        return copy;
    }
    void SetText(CTxtEditWnd* editor, const char* text) override {
        if (editor) editor->Buffer().SetText(text ? text : "");
    }
    void GetSel(CTxtEditWnd* editor, int32_t* start, int32_t* end) override {
        int64_t s = 0, e = 0;
        if (editor) editor->Buffer().GetSel(&s, &e);
        if (start) *start = static_cast<int32_t>(s);
        if (end) *end = static_cast<int32_t>(e);
    }
    void SetSel(CTxtEditWnd* editor, int32_t start, int32_t end) override {
        if (!editor) return;
        editor->Buffer().SetSel(start, end);
        editor->ScrollCaretIntoView();
    }
    void SetFont(CTxtEditWnd* editor, const FontSpec& font, bool redraw) override {
        if (editor) editor->SetFont(CreateFontFromSpec(font), redraw);
    }
    void SetReadOnly(CTxtEditWnd* editor, bool readOnly) override {
        if (editor) editor->Buffer().SetReadOnly(readOnly);
    }
    void Repaint(CTxtEditWnd* editor) override {
        if (editor && editor->Exists()) editor->Invalidate();
    }
    void Focus(CTxtEditWnd* editor) override {
        if (editor && editor->Exists()) editor->SetFocus();
    }
    bool HasFocus(CTxtEditWnd* editor) override { return editor && editor->Exists() && editor->HasFocus(); }
    void HideScrollBars(CTxtEditWnd*) override {}
    void SelectSpiceStatement(CTxtEditWnd* editor, long position) override {
        if (editor) ::SelectSpiceStatement(*editor, editor->Buffer().LineFromChar(position));
    }
    const char* InfoText() override { return ""; }
    bool RunEditCommand(CTxtEditWnd* editor, int command) override {
        if (!editor) return false;
        switch (command) {
        case viewcmd::EditFind: return FindInTextWindow(editor, nullptr, true) == 6;
        case viewcmd::EditFindAgain: return FindInTextWindow(editor, nullptr, false) == 6;
        case viewcmd::EditReplace: ReplaceInTextWindow(editor, nullptr); return true;
        default: return editor->RunEditCommand(command);
        }
    }
    bool CanUndo(CTxtEditWnd* editor, bool redo) override {
        return editor && (redo ? editor->Buffer().CanRedo() : editor->Buffer().CanUndo());
    }
    bool HasSelection(CTxtEditWnd* editor) override { return editor && editor->Buffer().HasSelection(); }
};

}  // namespace

void InstallTextDocuments() {
    static te_Editors editors;
    InstallTextEditor(&editors);
    RegisterDocumentTemplate(MakeDocumentTemplate<CTxtDoc, CCTFrame, CTxtView>(kDocText));
    RegisterTextSearchSettings();
    RegisterFindInFilesSettings();
}
