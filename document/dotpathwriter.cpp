#include "document/dotpathwriter.h"

#include "core/dotpath.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "shell/app.h"
#include "shell/pathsdlg.h"

namespace {

// The text of a text page: its editor's, or the stored text of a page that
// has no editor.
std::string dw_PageText(PageRecord& page) {
    if (page.editor) {
        // The buffer may run on past the text (an end sentinel): its length counts.
        const char* text = TextEditor().GetTextBuffer(page.editor);
        const long length = TextEditor().GetTextLength(page.editor);
        return text && length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
    }
    return page.storedText ? page.storedText : "";
}

int dw_SetPageText(PageRecord& page, const std::string& text) {
    if (page.editor) {
        TextEditor().SetText(page.editor, text.c_str());
        TextEditor().SetSel(page.editor, 0, 0);
        return 0;
    }
    return SetString(&page.storedText, text.c_str()) ? 0 : kResultNoMemory;
}

class dw_Writer final : public DotPathWriterPort {
public:
    int WriteDotPaths(const bool checked[3], const std::string statements[3]) override {
        auto* document = dynamic_cast<CCTDoc*>(GetTopCircuitDocument());
        if (!document) return 0;
        return WriteDotPathStatements(document, checked, statements);
    }
};

}  // namespace

int WriteDotPathStatements(CCTDoc* document, const bool checked[3], const std::string statements[3]) {
    if (!document) return 0;
    document->PushUndoWithSelection(".Path");
    // The text edits below are part of that one step.
    ++document->undoSuspended;
    DotPathRewrite rewrite;
    for (int kind = 0; kind < 3; ++kind) rewrite.checked[kind] = checked[kind];
    int result = 0;
    bool changed = false;

    for (PoolItem* item = document->gridTexts.first; item;) {
        auto* grid = static_cast<GridTextObject*>(item);
        item = item->next;
        if (grid->type == kPoolItemDead) continue;
        const int kind = DotPathStatementKind(grid->text);
        if (kind < 0) continue;
        const DotPathAction action = DecideDotPath(rewrite, kind);
        if (action == DotPathAction::Delete) {
            document->gridTexts.Delete(grid);
            changed = true;
        } else if (action == DotPathAction::Replace) {
            if (!SetString(&grid->text, statements[kind].c_str())) result = kResultNoMemory;
            changed = true;
        }
    }

    for (int i = 0; i < document->PageCount(); ++i) {
        PageRecord* page = document->Page(i);
        if (!page || page->kind != kPageText) continue;
        std::string text = dw_PageText(*page);
        if (text.empty()) continue;
        if (RemoveDotPathStatements(text, rewrite) == 0) continue;
        if (int rc = dw_SetPageText(*page, text)) result = rc;
        changed = true;
    }

    const int target = document->GetTextPageIndex();
    if (PageRecord* page = document->Page(target)) {
        std::string text = dw_PageText(*page);
        bool appended = false;
        for (int kind = 0; kind < 3; ++kind) {
            if (!rewrite.checked[kind] || rewrite.written[kind]) continue;
            if (!text.empty() && text.back() != '\n') text += "\r\n";
            text += statements[kind] + "\r\n";
            rewrite.written[kind] = true;
            appended = true;
        }
        if (appended) {
            if (int rc = dw_SetPageText(*page, text)) result = rc;
            changed = true;
        }
    }

    if (changed) document->MarkDirty();
    if (document->MainView()) document->MainView()->Invalidate();
    --document->undoSuspended;
    return result;
}

void InstallDotPathWriterOfCircuits() {
    static dw_Writer writer;
    InstallDotPathWriter(&writer);
}
