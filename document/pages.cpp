// Pages of circuit and text documents: the page table, adding, deleting,
// moving and renaming pages, the page lookups, and the tab strip.
#include "document/pages.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/port.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "document/docmessages.h"
#include "document/nodes.h"
#include "platform/app.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/dialogs.h"
#include "shell/fonts.h"
#include "shell/report.h"

namespace {

class pg_NoTextEditor final : public TextEditorPort {
public:
    CTxtEditWnd* Create() override { return nullptr; }
    void Destroy(CTxtEditWnd*) override {}
    bool CreateWindow(CTxtEditWnd*, CMDIView*, int) override { return false; }
    bool HasWindow(CTxtEditWnd*) override { return false; }
    long GetTextLength(CTxtEditWnd*) override { return 0; }
    const char* GetTextBuffer(CTxtEditWnd*) override { return nullptr; }
    char* DuplicateText(CTxtEditWnd*) override { return nullptr; }
    void SetText(CTxtEditWnd*, const char*) override {}
    void GetSel(CTxtEditWnd*, int32_t*, int32_t*) override {}
    void SetSel(CTxtEditWnd*, int32_t, int32_t) override {}
    void SetFont(CTxtEditWnd*, const FontSpec&, bool) override {}
    void SetReadOnly(CTxtEditWnd*, bool) override {}
    void Repaint(CTxtEditWnd*) override {}
    void Focus(CTxtEditWnd*) override {}
    bool HasFocus(CTxtEditWnd*) override { return false; }
    void HideScrollBars(CTxtEditWnd*) override {}
    void SelectSpiceStatement(CTxtEditWnd*, long) override {}
    const char* InfoText() override { return ""; }
    bool RunEditCommand(CTxtEditWnd*, int) override { return false; }
    bool CanUndo(CTxtEditWnd*, bool) override { return false; }
    bool HasSelection(CTxtEditWnd*) override { return false; }
};

PortSlot<TextEditorPort, pg_NoTextEditor> pg_textEditor;

}  // namespace

TextEditorPort& TextEditor() { return pg_textEditor.Get(); }
TextEditorPort* InstallTextEditor(TextEditorPort* port) { return pg_textEditor.Install(port); }

namespace {

CTxtEditWnd* pg_NewEditor() { return TextEditor().Create(); }

void pg_DestroyEditor(CTxtEditWnd*& editor) {
    if (editor) TextEditor().Destroy(editor);
    editor = nullptr;
}

void pg_InitRecord(PageRecord* p) {
    std::memset(static_cast<void*>(p), 0, sizeof *p);
    for (double& s : p->scale) s = 1.0;
    p->print = 1;
}

// A name cut to the page-name limit without splitting a UTF-8 character.
std::string pg_CutName(const char* name) {
    std::string s = name ? name : "";
    if (s.size() <= static_cast<size_t>(kPageNameMax)) return s;
    size_t n = kPageNameMax;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

bool pg_AnalysisActive() { return RunState().activeAnalysis != -1; }

// Remaps every page index of the document's objects and grid texts.
template <class F>
void pg_RemapObjectPages(CCTDoc* doc, F map) {
    for (PoolItem* i = doc->objects.first; i; i = i->next) {
        auto* o = static_cast<SchematicObject*>(i);
        if (o->type != kPoolItemDead) o->page = map(o->page);
    }
    for (PoolItem* i = doc->gridTexts.first; i; i = i->next) {
        auto* g = static_cast<GridTextObject*>(i);
        if (g->type != kPoolItemDead) g->page = map(g->page);
    }
}

template <class F>
void pg_RemapPanes(CCTDoc* doc, F map) {
    for (int32_t& p : doc->paneCurrentPage) p = map(p);
    if (doc->activeSchematicPage >= 0) doc->activeSchematicPage = map(doc->activeSchematicPage);
    if (doc->activeTextPage >= 0) doc->activeTextPage = map(doc->activeTextPage);
}

void pg_LayoutPaneBars(CCTDoc* doc) {
    CCTView* view = doc->MainCTView();
    if (view) SchematicView().LayoutPaneBars(view);
}

bool pg_PaneVisible(CCTView* view, int pane) { return SchematicView().IsPaneVisible(view, pane); }

}  // namespace

// ---- records ---------------------------------------------------------------------------------

void FreePageRecord(PageRecord* page) {
    if (!page) return;
    FreeString(&page->name);
    FreeString(&page->copiedText);
    FreeString(&page->storedText);
    pg_DestroyEditor(page->editor);
    std::memset(static_cast<void*>(page), 0, sizeof *page);
}

bool CopyPageRecord(PageRecord* target, const PageRecord& source) {
    *target = source;
    target->editor = nullptr;
    target->name = nullptr;
    target->copiedText = nullptr;
    target->storedText = nullptr;
    target->copiedSelStart = target->copiedSelEnd = 0;
    if (!SetString(&target->name, source.name ? source.name : "")) return false;
    if (source.kind == kPageSchematic) return true;
    if (source.editor) {
        target->copiedText = TextEditor().DuplicateText(source.editor);
        TextEditor().GetSel(source.editor, &target->copiedSelStart, &target->copiedSelEnd);
    } else {
        const char* text = source.copiedText ? source.copiedText : source.storedText;
        target->copiedText = DuplicateString(text ? text : "");
        target->copiedSelStart = source.copiedSelStart;
        target->copiedSelEnd = source.copiedSelEnd;
    }
    if (!target->copiedText) {
        FreeString(&target->name);
        return false;
    }
    return true;
}

// ---- the page table ---------------------------------------------------------------------------

int CCTDoc::SetPageCount(int count) {
    if (count < 0) return 0;
    if (count == pageCount) return 0;
    for (int i = count; i < pageCount; ++i) FreePageRecord(&pages[i]);
    if (count == 0) {
        MemFree(pages);
        pages = nullptr;
        pageCount = 0;
        return 0;
    }
    auto* table = static_cast<PageRecord*>(MemAlloc(sizeof(PageRecord) * static_cast<size_t>(count)));
    if (!table) return kResultNoMemory;
    const int keep = std::min(count, pageCount);
    if (keep > 0) std::memcpy(static_cast<void*>(table), pages, sizeof(PageRecord) * static_cast<size_t>(keep));
    for (int i = keep; i < count; ++i) {
        pg_InitRecord(&table[i]);
        table[i].name = SharedEmptyString();
    }
    MemFree(pages);
    pages = table;
    pageCount = count;
    return 0;
}

void CCTDoc::FreePages() {
    for (int i = 0; i < pageCount; ++i) FreePageRecord(&pages[i]);
    MemFree(pages);
    pages = nullptr;
    pageCount = 0;
}

const char* CCTDoc::GetPageName(int index) const {
    const PageRecord* p = Page(index);
    return p && p->name ? p->name : "";
}

int CCTDoc::FindPageByName(const char* name) const {
    if (!name) return -1;
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].name && strcasecmp(pages[i].name, name) == 0) return i;
    return -1;
}

int CCTDoc::GetFirstTextPage() const {
    if (kind == kDocText) return 0;
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageText) return i;
    return -1;
}

int CCTDoc::FindTextPageByName(const char* name) const {
    if (kind == kDocText) return 0;
    if (!name) return -1;
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageText && pages[i].name && std::strcmp(pages[i].name, name) == 0) return i;
    return -1;
}

int CCTDoc::GetFirstInfoPage() const {
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageInfo) return i;
    return -1;
}

int CCTDoc::GetSubcktPageIndex() const {
    const int i = FindTextPageByName("Subckt");
    return i >= 0 ? i : GetFirstTextPage();
}

int CCTDoc::GetTextPageIndex() const {
    const int i = FindTextPageByName("Text");
    return i >= 0 ? i : GetFirstTextPage();
}

int CCTDoc::GetModelsPageIndex() const {
    int i = FindTextPageByName("Models");
    if (i < 0) i = FindTextPageByName("Text");
    return i >= 0 ? i : GetFirstTextPage();
}

CTxtEditWnd* CCTDoc::GetTextPageEditor() const {
    const PageRecord* p = Page(GetTextPageIndex());
    return p ? p->editor : nullptr;
}

int CCTDoc::GetPanePageIndex(int pane) const { return pane >= 0 && pane < kMaxPanes ? paneCurrentPage[pane] : -1; }

int CCTDoc::GetPanePageKind(int pane) const { return PageKind(GetPanePageIndex(pane)); }

CTxtEditWnd* CCTDoc::GetVisibleTextEditor() const {
    if (kind == kDocText) {
        const PageRecord* p = Page(paneCurrentPage[0]);
        return p ? p->editor : nullptr;
    }
    CCTView* view = MainCTView();
    for (int pane = 0; pane < paneCount && pane < kMaxPanes; ++pane) {
        if (view && !pg_PaneVisible(view, pane)) continue;
        const PageRecord* p = Page(paneCurrentPage[pane]);
        if (p && p->kind != kPageSchematic) return p->editor;
    }
    return nullptr;
}

void CCTDoc::SetActivePage(int index) {
    const int k = PageKind(index);
    if (k < 0) return;
    if (k == kPageSchematic)
        activeSchematicPage = index;
    else
        activeTextPage = index;
}

bool CCTDoc::CreatePageEditor(int index) {
    PageRecord* p = Page(index);
    if (!p || p->kind == kPageSchematic) return false;
    if (!p->editor) p->editor = pg_NewEditor();
    CCTView* view = MainCTView();
    if (!p->editor || !view) return false;
    TextEditorPort& ed = TextEditor();
    if (!ed.CreateWindow(p->editor, view, kPageEditorIdBase + index)) return false;
    ed.SetFont(p->editor, textPageFont, false);
    if (p->kind == kPageInfo) ed.SetText(p->editor, ed.InfoText());
    return true;
}

// ---- adding, deleting, moving, renaming ------------------------------------------------------

int CCTDoc::AppendPage(int pageKind, const char* name) {
    const int index = pageCount;
    if (pageCount >= kMaxPageCount || SetPageCount(pageCount + 1)) return -1;
    PageRecord& p = pages[index];
    p.kind = pageKind;
    const std::string cut = pg_CutName(name);
    SetString(&p.name, cut.c_str());
    if (pageKind != kPageSchematic) {
        p.print = 0;
        p.editor = pg_NewEditor();
        if (mainView) CreatePageEditor(index);
    }
    FitTabStripSizes();
    return index;
}

int CCTDoc::InsertPage(int index, int pageKind, const char* name, int withUndo) {
    if (kind != kDocCircuit || pg_AnalysisActive()) return -1;
    index = std::clamp(index, 0, pageCount);
    CCTView* view = MainCTView();
    int pane = -1;
    if (withUndo) {
        PushUndoWithSelection("Add Page");
        if (view) {
            pane = view->GetActivePane();
            if (pane >= 0 && pane < kMaxPanes) activePane = pane;
        }
    }
    const int oldCount = pageCount;
    if (SetPageCount(oldCount + 1)) {
        ReportMessage(Message(kResultNoMemory));
        return -1;
    }
    if (index < oldCount)
        std::memmove(static_cast<void*>(&pages[index + 1]), &pages[index],
                     sizeof(PageRecord) * static_cast<size_t>(oldCount - index));
    const auto shift = [index](int32_t p) { return p >= index ? p + 1 : p; };
    pg_RemapObjectPages(this, shift);
    pg_RemapPanes(this, shift);
    if (pane >= 0 && pane < kMaxPanes) paneCurrentPage[pane] = index;

    PageRecord& rec = pages[index];
    pg_InitRecord(&rec);
    rec.kind = pageKind;
    rec.print = pageKind == kPageSchematic ? 1 : 0;
    SetActivePage(index);
    if (pageKind != kPageSchematic) {
        rec.editor = pg_NewEditor();
        if (view) CreatePageEditor(index);
    }
    if (name) {
        const std::string cut = pg_CutName(name);
        SetString(&rec.name, cut.c_str());
    } else if (pageKind == kPageInfo) {
        SetString(&rec.name, "Info");
    } else {
        const char* stem = pageKind == kPageSchematic ? "Page" : "Text";
        char buffer[64];
        for (int n = pageCount;; ++n) {
            FormatBounded(buffer, sizeof buffer, "%s %d", stem, n);
            if (!PageNameExists(buffer)) break;
        }
        SetString(&rec.name, buffer);
    }
    if (!rec.name) rec.name = SharedEmptyString();

    if (FitTabStripSizes()) pg_LayoutPaneBars(this);
    OnObjectsChanged();
    if (view) {
        view->ScrollTabIntoView(index);
        pg_LayoutPaneBars(this);
        view->Redraw(1064);
        view->Invalidate();
    }
    return index;
}

int CCTDoc::DeletePage(int index) {
    if (index < 0 || index >= pageCount) return 0;
    if (pageCount <= 1) {
        // A document without pages has nothing for its panes to show.
        ReportMessage(Message(kMsgKeepOnePage));
        return 0;
    }
    bool occupied = false;
    for (PoolItem* i = objects.first; i && !occupied; i = i->next)
        if (i->type != kPoolItemDead && static_cast<SchematicObject*>(i)->page == index) occupied = true;
    for (PoolItem* i = gridTexts.first; i && !occupied; i = i->next)
        if (i->type != kPoolItemDead && static_cast<GridTextObject*>(i)->page == index) occupied = true;
    if (occupied) {
        const int answer = ReportMessage(
            Message(kMsgPageNotEmpty).Style(mbstyle::YesNo | mbstyle::IconExclamation).Args(GetPageName(index)));
        if (answer != platform::dlgid::Yes) return 0;
        for (PoolItem* i = objects.first; i;) {
            PoolItem* next = i->next;
            if (i->type != kPoolItemDead && static_cast<SchematicObject*>(i)->page == index) objects.Delete(i);
            i = next;
        }
        for (PoolItem* i = gridTexts.first; i;) {
            PoolItem* next = i->next;
            if (i->type != kPoolItemDead && static_cast<GridTextObject*>(i)->page == index) gridTexts.Delete(i);
            i = next;
        }
    }
    const auto down = [index](int32_t p) { return p > index ? p - 1 : p; };
    pg_RemapObjectPages(this, down);
    FreePageRecord(&pages[index]);
    if (index + 1 < pageCount)
        std::memmove(static_cast<void*>(&pages[index]), &pages[index + 1],
                     sizeof(PageRecord) * static_cast<size_t>(pageCount - index - 1));
    std::memset(static_cast<void*>(&pages[pageCount - 1]), 0, sizeof(PageRecord));
    --pageCount;
    pg_RemapPanes(this, down);
    if (activeSchematicPage >= pageCount) activeSchematicPage = -1;
    if (activeTextPage >= pageCount) activeTextPage = -1;
    return 1;
}

void CCTDoc::AfterPagesRemoved() {
    OnObjectsChanged();
    if (auto* circuit = dynamic_cast<CCirDoc*>(this)) RenumberNodesIfChanged(circuit, 0);
    for (int32_t& p : paneCurrentPage)
        if (p > pageCount - 1) p = pageCount - 1;
    pg_LayoutPaneBars(this);
    if (CCTView* view = MainCTView()) {
        const int pane = view->GetActivePane();
        const PageRecord* p = Page(GetPanePageIndex(pane));
        if (p && p->kind != kPageSchematic && p->editor) TextEditor().Focus(p->editor);
        view->Invalidate();
    }
}

void CCTDoc::MovePage(int source, int target) {
    if (target == source || source < 0 || source >= pageCount) return;
    target = std::clamp(target, 0, pageCount);
    PushUndoWithSelection("Move Page");
    const PageRecord saved = pages[source];
    int to;
    if (source < target) {
        to = target - 1;
        if (to > source)
            std::memmove(static_cast<void*>(&pages[source]), &pages[source + 1],
                         sizeof(PageRecord) * static_cast<size_t>(to - source));
    } else {
        to = target;
        std::memmove(static_cast<void*>(&pages[to + 1]), &pages[to],
                     sizeof(PageRecord) * static_cast<size_t>(source - to));
    }
    pages[to] = saved;
    const auto map = [source, to](int32_t p) {
        if (p == source) return to;
        if (source < to && p > source && p <= to) return p - 1;
        if (source > to && p >= to && p < source) return p + 1;
        return p;
    };
    pg_RemapObjectPages(this, map);
    pg_RemapPanes(this, map);
    if (CCTView* view = MainCTView()) view->InvalidateTabStrips();
    OnObjectsChanged();
}

int CCTDoc::SetPageName(int index, const char* name) {
    PageRecord* p = Page(index);
    if (!p || !name) return 0;
    // The stored name is the cut one, so the cut name is the one that must be unique.
    const std::string cut = pg_CutName(name);
    const char* old = p->name ? p->name : "";
    if (strcasecmp(cut.c_str(), old) != 0) {
        const int other = FindPageByName(cut.c_str());
        if (other >= 0 && other != index) {
            ReportMessage(Message(kMsgPageNameTaken));
            return kMsgPageNameTaken;
        }
    }
    MarkDirty();
    SetString(&p->name, cut.c_str());
    if (CCTView* view = MainCTView()) view->InvalidateTabStrips();
    return 0;
}

namespace {

constexpr int kPgNameEdit = 1001;
constexpr int kPgPageList = 1002;

class pg_RenameDialog : public CDialog2 {
public:
    pg_RenameDialog(platform::Window* parent, const char* name)
        : CDialog2(pagecmd::RenamePage, nullptr, parent), name_(name ? name : "") {
        platform::DialogDesc d;
        d.caption = "Rename Page";
        d.cx = 200;
        d.cy = 48;
        d.controls.push_back({platform::ControlKind::Edit, kPgNameEdit, "", 7, 7, 186, 14, 0});
        d.controls.push_back({platform::ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 88, 27, 50, 14, 0});
        d.controls.push_back({platform::ControlKind::Button, platform::dlgid::Cancel, "Cancel", 143, 27, 50, 14, 0});
        SetDescription(d);
    }
    bool OnInitDialog() override {
        CDialog2::OnInitDialog();
        SetLimitText(kPgNameEdit, 128);
        SetText(kPgNameEdit, name_);
        SelectText(kPgNameEdit, 0, -1);
        return true;
    }
    void OnOK() override {
        name_ = GetText(kPgNameEdit);
        CDialog2::OnOK();
    }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

class pg_DeletePagesDialog : public CDialog2 {
public:
    pg_DeletePagesDialog(platform::Window* parent, CCTDoc* doc, int preselected)
        : CDialog2(pagecmd::DeletePage, nullptr, parent), doc_(doc), preselected_(preselected) {
        platform::DialogDesc d;
        d.caption = "Delete Page";
        d.cx = 160;
        d.cy = 120;
        d.controls.push_back(
            {platform::ControlKind::ListBox, kPgPageList, "", 7, 7, 146, 86, platform::style::MultiSelect});
        d.controls.push_back({platform::ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 48, 99, 50, 14, 0});
        d.controls.push_back({platform::ControlKind::Button, platform::dlgid::Cancel, "Cancel", 103, 99, 50, 14, 0});
        SetDescription(d);
    }
    bool OnInitDialog() override {
        CDialog2::OnInitDialog();
        for (int i = 0; i < doc_->PageCount(); ++i) Add(kPgPageList, doc_->GetPageName(i));
        if (preselected_ >= 0) SetItemSelected(kPgPageList, preselected_, true);
        return true;
    }
    void OnOK() override {
        chosen_ = GetSelectedItems(kPgPageList);
        if (static_cast<int>(chosen_.size()) >= doc_->PageCount()) {
            ReportMessage(Message(kMsgKeepOnePage));
            FocusControl(kPgPageList);
            chosen_.clear();
            return;
        }
        CDialog2::OnOK();
    }
    const std::vector<int>& Chosen() const { return chosen_; }

private:
    CCTDoc* doc_;
    int preselected_;
    std::vector<int> chosen_;
};

}  // namespace

int CCTDoc::RenamePage(int index) {
    if (pg_AnalysisActive() || !Page(index)) return 0;
    pg_RenameDialog dialog(mainView, GetPageName(index));
    if (dialog.DoModal() != platform::dlgid::Ok) return 0;
    const std::string& name = dialog.Name();
    if (name.empty() || name == GetPageName(index)) return 0;
    PushUndoWithSelection("Rename Page");
    return SetPageName(index, name.c_str()) == 0 ? 1 : 0;
}

// Edit > Delete Page... of a circuit view: pages chosen from a list.
int DeletePagesCommand(CCTDoc* doc) {
    if (!doc) return 0;
    CCTView* view = doc->MainCTView();
    const int pane = view ? view->GetActivePane() : 0;
    pg_DeletePagesDialog dialog(doc->MainView(), doc, doc->GetPanePageIndex(pane));
    if (dialog.DoModal() != platform::dlgid::Ok || dialog.Chosen().empty()) return 0;
    doc->PushUndoWithSelection("Delete Page");
    int deleted = 0;
    const std::vector<int>& chosen = dialog.Chosen();
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        if (doc->DeletePage(*it)) {
            doc->AfterPagesRemoved();
            ++deleted;
        }
    }
    return deleted;
}

void CCTDoc::ResetPanesForPage(int index) {
    if (PageKind(index) == kPageSchematic || PageKind(index) < 0) return;
    int firstSchematic = -1;
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageSchematic) {
            firstSchematic = i;
            break;
        }
    CCTView* view = MainCTView();
    for (int pane = 0; pane < kMaxPanes; ++pane) {
        if (paneCurrentPage[pane] != index) continue;
        paneCurrentPage[pane] = firstSchematic;
        if (view) view->InvalidateTabStrip(pane);
    }
}

int CCTDoc::FitTabStripSizes() {
    CCTView* view = MainCTView();
    if (!view) return 0;
    int changed = 0;
    for (int pane = 0; pane < paneCount && pane < kMaxPanes; ++pane) {
        CCirTabs* strip = view->TabStrip(pane);
        if (!strip || !strip->Exists() || !pg_PaneVisible(view, pane)) continue;
        const platform::Rect r = strip->WindowRect();
        const int width = strip->NeededWidth(paneFirstTab[pane]);
        if (width > r.left && width < r.right && width != paneTabSize[pane]) {
            paneTabSize[pane] = width;
            changed = 1;
        }
    }
    return changed;
}

void CCTDoc::SwapPageTable(PageRecord** table, int32_t* count) {
    if (!table || !count) return;
    PageRecord* other = pages;
    const int otherCount = pageCount;
    pages = *table;
    pageCount = *count;
    *table = other;
    *count = otherCount;
    // The editors stay with the live table: each live text or info page takes
    // an editor of the other table (or a new one) and gets the copied text.
    TextEditorPort& ed = TextEditor();
    int from = 0;
    for (int i = 0; i < pageCount; ++i) {
        PageRecord& p = pages[i];
        if (p.kind == kPageSchematic) continue;
        CTxtEditWnd* editor = nullptr;
        for (; from < otherCount && !editor; ++from) {
            if (other[from].kind != kPageSchematic && other[from].editor) {
                editor = other[from].editor;
                other[from].editor = nullptr;
            }
        }
        if (!editor) {
            editor = pg_NewEditor();
            if (editor && mainView) {
                ed.CreateWindow(editor, mainView, kPageEditorIdBase + i);
                ed.HideScrollBars(editor);
            }
        }
        p.editor = editor;
        if (editor) {
            ed.SetText(editor, p.copiedText ? p.copiedText : "");
            ed.SetSel(editor, p.copiedSelStart, p.copiedSelEnd);
        } else if (p.copiedText && !p.storedText) {
            // Without an editor the page keeps its text in the record.
            p.storedText = p.copiedText;
            p.copiedText = nullptr;
        }
    }
    for (int j = 0; j < otherCount; ++j) pg_DestroyEditor(other[j].editor);
}

// ---- the view's page operations ---------------------------------------------------------------

void CCTView::ShowPage(int index) {
    CCTDoc* doc = GetCTDoc();
    if (!doc || !doc->Page(index)) return;
    for (int pane = 0; pane < doc->paneCount && pane < kMaxPanes; ++pane)
        if (doc->paneCurrentPage[pane] == index && pg_PaneVisible(this, pane)) return;
    if (doc->Kind() == kDocCircuit) doc->ResetPanesForPage(index);
    const int pane = std::clamp(GetActivePane(), 0, kMaxPanes - 1);
    doc->paneCurrentPage[pane] = index;
    ScrollTabIntoView(index);
    pg_LayoutPaneBars(doc);
    InvalidateTabStrip(pane);
    Invalidate();
}

void CCTView::ShowPageInPane(int pane, int index) {
    CCTDoc* doc = GetCTDoc();
    if (!doc || pane < 0 || pane >= kMaxPanes) return;
    if (doc->paneCurrentPage[pane] == index) return;
    if (doc->Kind() == kDocCircuit) doc->ResetPanesForPage(index);
    if (doc->Page(index)) {
        doc->paneCurrentPage[pane] = index;
        doc->SetActivePage(index);
    }
    pg_LayoutPaneBars(doc);
    InvalidateTabStrip(pane);
    if (doc->Kind() == kDocCircuit) SchematicView().RefreshPane(this, pane);
    Invalidate();
    const PageRecord* p = doc->Page(index);
    if (p && p->kind != kPageSchematic && p->editor) TextEditor().Focus(p->editor);
}

void CCTView::ScrollTabIntoView(int index) {
    CCTDoc* doc = GetCTDoc();
    if (!doc) return;
    const int pane = std::clamp(GetActivePane(), 0, kMaxPanes - 1);
    int32_t& first = doc->paneFirstTab[pane];
    if (index < first) {
        first = index;
        return;
    }
    CCirTabs* strip = TabStrip(pane);
    if (!strip || !strip->Exists()) return;
    const int right = strip->ClientRect().right - 5;
    const int h = strip->ClientRect().bottom;
    while (first < index) {
        int x = CCirTabs::TabsLeft(h);
        const int d = (h - 2) / 2;
        for (int i = first; i <= index; ++i) x += d + strip->TabWidth(i);
        if (x + d <= right) break;
        ++first;
    }
}

// ---- the tab strip ---------------------------------------------------------------------------

namespace {

// Shared state of the strips: one strip is operated at a time.
struct pg_StripState {
    int pressedPage = -1;
    int dropPosition = -1;
    int heldButton = 0;
    int buttonState[5] = {0, 1, 1, 1, 1};
    bool gripDrag = false;
    int gripLastX = 0;
    int insertIndex = 0;
};
pg_StripState pg_strip;

platform::FontDesc pg_TabFont(int h, bool bold) {
    FontSpec spec;
    spec.height = static_cast<int16_t>(std::max(1, h - 2));
    spec.face = static_cast<uint16_t>(FindOrAddFontFace("Arial"));
    spec.style = bold ? 0x04 : 0;
    return CreateFontFromSpec(spec);
}

platform::Color pg_RowColor(int index) {
    const ColorTableRow* row = GetColorRow(index);
    return row ? row->color : platform::MakeColor(192, 192, 192);
}

}  // namespace

CCirTabs::CCirTabs(CCTDoc* document, int pane) : document_(document), pane_(pane) {}

CCirTabs::~CCirTabs() { Destroy(); }

int CCirTabs::ScrollButtonX(int h, int button) { return (h - 1) * (button - 1) - 1; }

int CCirTabs::TabWidth(int page) const {
    if (!document_ || !document_->Page(page)) return 0;
    const int h = std::max(2, ClientRect().bottom);
    platform::Image image(1, 1);
    std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(image);
    if (!surface) return 2;
    surface->SetFont(pg_TabFont(h, true));
    return surface->GetTextExtent(document_->GetPageName(page)).cx + 2;
}

int CCirTabs::NeededWidth(int firstTab) const {
    if (!document_) return 0;
    const int h = std::max(2, ClientRect().bottom);
    const int d = (h - 2) / 2;
    int x = TabsLeft(h);
    for (int i = std::max(0, firstTab); i < document_->PageCount(); ++i) x += d + TabWidth(i);
    return x + h - 2 - d + 5;
}

int CCirTabs::HitTest(int x, int y) const {
    if (!document_) return -1;
    const platform::Rect client = ClientRect();
    const int h = client.bottom;
    if (x < TabsLeft(h) || x > client.right - 5) return -1;
    const int d = (h - 2) / 2;
    const int first = std::max(0, document_->paneFirstTab[pane_]);
    const int active = document_->paneCurrentPage[pane_];
    // Tab i starting at `start` is (start, 0), (start + d, h - 2),
    // (start + d + w, h - 2), (start + w + h - 2, 0): wide at the top line.
    auto contains = [&](int page, int start) {
        if (y < 0 || y > h - 2) return false;
        const int w = TabWidth(page);
        const int span = std::max(1, h - 2);
        const int left = start + d * y / span;
        const int right = start + w + h - 2 - (h - 2 - d) * y / span;
        return x >= left && x <= right;
    };
    int start = TabsLeft(h);
    int hit = -1;
    std::vector<std::pair<int, int>> starts;
    for (int i = first; i < document_->PageCount(); ++i) {
        starts.emplace_back(i, start);
        start += d + TabWidth(i);
    }
    for (size_t k = 0; k < starts.size(); ++k) {
        if (!contains(starts[k].first, starts[k].second)) continue;
        if (starts[k].first == active) return active;
        const bool nextHas = k + 1 < starts.size() && contains(starts[k + 1].first, starts[k + 1].second);
        if (!nextHas) return starts[k].first;
        if (hit < 0) hit = starts[k].first;
    }
    return hit;
}

void CCirTabs::OnPaint(platform::DrawSurface& surface, const platform::Rect& /*update*/) {
    const platform::Rect client = ClientRect();
    const int h = client.bottom;
    surface.FillRect(client, pg_RowColor(kRowButtonFace2));
    surface.SetPen(platform::PenDesc::Solid(platform::MakeColor(0, 0, 0)));
    surface.Line(0, h - 1, client.right, h - 1);
    // Scroll buttons: first, previous, next, last.
    for (int b = 1; b <= 4; ++b) {
        const int x = ScrollButtonX(h, b);
        const platform::Rect r{x, 0, x + h, h};
        surface.FillRect(r, pg_RowColor(kRowButtonFace));
        surface.FrameRect(r, platform::BrushDesc::Solid(platform::MakeColor(0, 0, 0)));
        const int cx = x + h / 2 + (pg_strip.buttonState[b] == 2 ? 1 : 0);
        const int cy = h / 2 + (pg_strip.buttonState[b] == 2 ? 1 : 0);
        const int s = std::max(2, h / 4);
        platform::Point tri[3];
        if (b <= 2) {
            tri[0] = {cx - s / 2, cy};
            tri[1] = {cx + s / 2, cy - s};
            tri[2] = {cx + s / 2, cy + s};
        } else {
            tri[0] = {cx + s / 2, cy};
            tri[1] = {cx - s / 2, cy - s};
            tri[2] = {cx - s / 2, cy + s};
        }
        surface.SetBrush(platform::BrushDesc::Solid(platform::MakeColor(0, 0, 0)));
        surface.Polygon(tri, 3);
        if (b == 1) surface.Line(cx - s / 2 - 1, cy - s, cx - s / 2 - 1, cy + s + 1);
        if (b == 4) surface.Line(cx + s / 2 + 1, cy - s, cx + s / 2 + 1, cy + s + 1);
    }
    if (!document_) return;
    const int d = (h - 2) / 2;
    const int active = document_->paneCurrentPage[pane_];
    surface.SaveState();
    surface.IntersectClipRect(platform::Rect{TabsLeft(h), 0, client.right - 5, h});
    auto drawTab = [&](int page, int x, bool isActive) {
        const int w = TabWidth(page);
        platform::Point poly[4] = {{x, 0}, {x + d, h - 2}, {x + d + w, h - 2}, {x + w + h - 2, 0}};
        int fillIndex = kRowButtonFace2;
        if (isActive)
            fillIndex = document_->PageKind(page) == kPageSchematic ? kRowWindow : document_->textBackgroundColor.color;
        const platform::Color fill = pg_RowColor(fillIndex);
        surface.SetBrush(platform::BrushDesc::Solid(fill));
        surface.SetPen(platform::PenDesc::Solid(platform::MakeColor(0, 0, 0)));
        surface.Polygon(poly, 4);
        platform::Color text = pg_RowColor(kRowButtonText2);
        if (text == fill) text = fill == pg_RowColor(0) ? pg_RowColor(15) : pg_RowColor(0);
        surface.SetFont(pg_TabFont(h, isActive));
        surface.SetTextColor(text);
        surface.SetBackgroundMode(platform::BackgroundMode::Transparent);
        platform::Rect tr{x + d, 0, x + d + w, h - 2};
        surface.DrawTextBox(document_->GetPageName(page), tr,
                            platform::TextBox::Center | platform::TextBox::VCenter | platform::TextBox::SingleLine);
    };
    const int first = std::max(0, document_->paneFirstTab[pane_]);
    int x = TabsLeft(h);
    int activeX = -1;
    for (int i = first; i < document_->PageCount(); ++i) {
        if (i == active)
            activeX = x;
        else
            drawTab(i, x, false);
        x += d + TabWidth(i);
    }
    if (activeX >= 0) drawTab(active, activeX, true);
    if (pg_strip.dropPosition >= 0 && pg_strip.pressedPage >= 0 && HasCapture()) {
        int mx = TabsLeft(h);
        for (int i = first; i < pg_strip.dropPosition && i < document_->PageCount(); ++i) mx += d + TabWidth(i);
        surface.FillRect(platform::Rect{mx, h - 6, mx + 4, h - 2}, platform::MakeColor(0, 0, 0));
    }
    surface.RestoreState();
    // Size grip.
    static const int kGripColors[4] = {kRowButtonHighlight, kRowButtonShadow, kRowWindowFrame, kRowButtonFace};
    for (int i = 0; i < 4; ++i) {
        surface.SetPen(platform::PenDesc::Solid(pg_RowColor(kGripColors[i])));
        surface.Line(client.right - 5 + i, 0, client.right - 5 + i, h);
    }
}

void CCirTabs::OnMouseDown(platform::MouseButton button, platform::Point p, unsigned /*keyFlags*/) {
    if (!document_) return;
    document_->activePane = pane_;
    const platform::Rect client = ClientRect();
    const int h = client.bottom;
    if (p.x >= client.right - 5) {
        pg_strip.gripDrag = true;
        pg_strip.gripLastX = p.x;
        SetCapture();
        return;
    }
    if (p.x < TabsLeft(h)) {
        for (int b = 1; b <= 4; ++b) {
            const int x = ScrollButtonX(h, b);
            if (p.x >= x && p.x < x + h) {
                pg_strip.heldButton = b;
                pg_strip.buttonState[b] = 2;
                SetCapture();
                Invalidate();
                return;
            }
        }
        return;
    }
    const int page = HitTest(p.x, p.y);
    pg_strip.pressedPage = page;
    pg_strip.dropPosition = -1;
    if (page >= 0) {
        auto* view = dynamic_cast<CCTView*>(Parent());
        int32_t& first = document_->paneFirstTab[pane_];
        if (page < first) first = page;
        if (view && document_->paneCurrentPage[pane_] != page) view->ShowPageInPane(pane_, page);
        document_->SetActivePage(page);
        if (button == platform::MouseButton::Left) SetCapture();
        Invalidate();
    }
    if (button == platform::MouseButton::Right) RunContextMenu(p, page);
}

void CCirTabs::OnMouseMove(platform::Point p, unsigned keyFlags) {
    if (!document_) return;
    const platform::Rect client = ClientRect();
    const int h = client.bottom;
    SetCursorShape(p.x >= client.right - 5 ? platform::CursorShape::SizeWE : platform::CursorShape::Arrow);
    if (pg_strip.heldButton) {
        const int x = ScrollButtonX(h, pg_strip.heldButton);
        const int state = p.x >= x && p.x < x + h && p.y >= 0 && p.y < h ? 2 : 1;
        if (state != pg_strip.buttonState[pg_strip.heldButton]) {
            pg_strip.buttonState[pg_strip.heldButton] = state;
            Invalidate();
        }
        return;
    }
    if (pg_strip.gripDrag) {
        int32_t& size = document_->paneTabSize[pane_];
        size = std::max(4 * h, size + p.x - pg_strip.gripLastX);
        pg_strip.gripLastX = p.x;
        pg_LayoutPaneBars(document_);
        return;
    }
    if (pg_strip.pressedPage >= 0 && HasCapture() && (keyFlags & (platform::MouseLeft | platform::MouseRight))) {
        int drop;
        if (p.x < TabsLeft(h)) {
            drop = 0;
        } else {
            drop = HitTest(p.x, p.y);
            if (drop < 0) drop = document_->PageCount();
        }
        if (drop != pg_strip.dropPosition) {
            pg_strip.dropPosition = drop;
            Invalidate();
        }
    }
}

void CCirTabs::OnMouseUp(platform::MouseButton /*button*/, platform::Point /*p*/, unsigned /*keyFlags*/) {
    if (!document_) return;
    int32_t& first = document_->paneFirstTab[pane_];
    const int count = document_->PageCount();
    // The first tab from which every remaining tab fits.
    int last = std::max(0, count - 1);
    const int right = ClientRect().right;
    while (last > 0 && NeededWidth(last - 1) <= right) --last;
    if (pg_strip.gripDrag) {
        pg_strip.gripDrag = false;
        ReleaseCapture();
        while (first > 0 && NeededWidth(first - 1) <= right) --first;
        first = std::clamp(first, 0, std::max(0, count - 1));
        if (auto* view = dynamic_cast<CCTView*>(Parent())) view->ScrollTabIntoView(document_->paneCurrentPage[pane_]);
        Invalidate();
        return;
    }
    if (pg_strip.heldButton) {
        const int b = pg_strip.heldButton;
        if (pg_strip.buttonState[b] == 2) {
            switch (b) {
            case 1: first = 0; break;
            case 2: first = std::max(0, first - 1); break;
            case 3: first = std::max(0, first + 1); break;
            default: first = last; break;
            }
            first = std::min(first, last);
        }
        pg_strip.buttonState[b] = 1;
        pg_strip.heldButton = 0;
        ReleaseCapture();
        Invalidate();
        return;
    }
    if (HasCapture()) {
        ReleaseCapture();
        Invalidate();
        if (document_->Kind() == kDocCircuit && pg_strip.dropPosition >= 0 && pg_strip.pressedPage >= 0)
            document_->MovePage(pg_strip.pressedPage, pg_strip.dropPosition);
        pg_strip.dropPosition = -1;
    }
}

void CCirTabs::OnDoubleClick(platform::MouseButton /*button*/, platform::Point p, unsigned /*keyFlags*/) {
    if (!document_) return;
    const int page = HitTest(p.x, p.y);
    if (page >= 0 && document_->PageKind(page) != kPageInfo) document_->RenamePage(page);
}

void CCirTabs::RunContextMenu(platform::Point p, int pressedPage) {
    if (!document_ || document_->Kind() != kDocCircuit || pg_AnalysisActive()) return;
    if (pressedPage >= 0) {
        pg_strip.insertIndex = document_->PageCount();
    } else {
        int x = p.x;
        int hit = -1;
        while (x > 3 && hit < 0) {
            x -= 3;
            hit = HitTest(x, p.y);
        }
        pg_strip.insertIndex = hit >= 0 ? hit + 1 : 0;
    }
    platform::Menu menu;
    menu.AddItem(pagecmd::AddPage, "Add Schematic Page");
    menu.AddItem(pagecmd::AddTextPage, "Add Text Page");
    if (document_->GetFirstInfoPage() < 0) menu.AddItem(pagecmd::AddInfoPage, "Add Info Page");
    if (pressedPage >= 0) {
        menu.AddSeparator();
        if (document_->PageCount() > 1) {
            char text[128];
            FormatBounded(text, sizeof text, "Delete '%s'", document_->GetPageName(pressedPage));
            menu.AddItem(pagecmd::DeletePage, text);
        }
        menu.AddItem(pagecmd::RenamePage, "Rename...");
    }
    const int command = menu.TrackPopup(ClientToScreen(platform::Point{p.x + 4, p.y - 5}));
    switch (command) {
    case pagecmd::AddPage:
    case pagecmd::AddTextPage:
    case pagecmd::AddInfoPage:
        document_->InsertPage(pg_strip.insertIndex, command - pagecmd::AddPage, nullptr, 1);
        break;
    case pagecmd::DeletePage:
        document_->PushUndoWithSelection("Delete Page");
        if (document_->DeletePage(pressedPage)) document_->AfterPagesRemoved();
        break;
    case pagecmd::RenamePage: document_->RenamePage(pressedPage); break;
    default: break;
    }
}

// ---- the window class ------------------------------------------------------------------------

namespace {
bool pg_classRegistered = false;
}

bool RegisterTabStripClass() {
    pg_classRegistered = true;
    return true;
}

void UnregisterTabStripClass() { pg_classRegistered = false; }
