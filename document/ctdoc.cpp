// Circuit-or-text documents: the object records, the document's life, the run
// context, text fonts of the text pages, the view with its tab strips, and
// SourceLocation.
#include "document/ctdoc.h"
#include "document/undo.h"
#include "platform/clipboard.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/attributes.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/docmessages.h"
#include "platform/app.h"
#include "shell/app.h"
#include "shell/mainframe.h"
#include "shell/report.h"

// ---- ports ---------------------------------------------------------------------------------

namespace {

class ct_NoSchematicView final : public SchematicViewPort {
public:
    int ActivePane(CCTView* view) override {
        const CCTDoc* doc = view ? view->GetCTDoc() : nullptr;
        return doc ? doc->activePane : 0;
    }
    void LayoutPaneBars(CCTView*) override {}
    bool IsPaneVisible(CCTView*, int pane) override { return pane == 0; }
    void RefreshPane(CCTView*, int) override {}
    void ScrollPageToPoint(CCTView*, int, int, int, bool) override {}
    void RedrawPage(CMDIView*, int) override {}
    void RefreshPaneTabs(CMDIView*) override {}
    void UpdateViews(CCirDoc* document) override {
        if (CMDIView* view = document ? document->MainView() : nullptr) view->Invalidate();
    }
};

class ct_NoSchematicEditor final : public SchematicEditorPort {
public:
    void Rewire(CDoc*, int) override {}
    void HideCrossHair() override {}
    void ShowCrossHair(CMDIView*) override {}
    bool TrackNewPart(CMDIView*, SchematicObject*) override { return true; }
    int EditAttributes(CMDIView*, SchematicObject*) override { return 1; }
    bool FirstLedColor(const char**, int*) override { return false; }
    void PopUndo(CCirDoc*, bool) override {}
};

class ct_NoAnalysisDocuments final : public AnalysisDocumentPort {
public:
    // A document opens without analysis windows until they exist.
    bool AttachAnalysisDocument(CCTDoc*) override { return true; }
    void ForEachAnalysisText(CCirDoc*, const std::function<void(char**)>&) override {}
};

class ct_NoCompiledState final : public CompiledStatePort {
public:
    void ReleaseDefineTable(CCTDoc*) override {}
    void ReleaseModelStatements(CCTDoc*) override {}
};

PortSlot<SchematicViewPort, ct_NoSchematicView> ct_schematicView;
PortSlot<SchematicEditorPort, ct_NoSchematicEditor> ct_schematicEditor;
PortSlot<AnalysisDocumentPort, ct_NoAnalysisDocuments> ct_analysisDocuments;
PortSlot<CompiledStatePort, ct_NoCompiledState> ct_compiledState;

}  // namespace

SchematicViewPort& SchematicView() { return ct_schematicView.Get(); }
SchematicViewPort* InstallSchematicView(SchematicViewPort* port) { return ct_schematicView.Install(port); }
SchematicEditorPort& SchematicEditor() { return ct_schematicEditor.Get(); }
SchematicEditorPort* InstallSchematicEditor(SchematicEditorPort* port) { return ct_schematicEditor.Install(port); }
AnalysisDocumentPort& AnalysisDocuments() { return ct_analysisDocuments.Get(); }
AnalysisDocumentPort* InstallAnalysisDocuments(AnalysisDocumentPort* port) {
    return ct_analysisDocuments.Install(port);
}
CompiledStatePort& CompiledState() { return ct_compiledState.Get(); }
CompiledStatePort* InstallCompiledState(CompiledStatePort* port) { return ct_compiledState.Install(port); }

// ---- records -----------------------------------------------------------------------------

void DestroySchematicObject(PoolItem* item) {
    auto* o = static_cast<SchematicObject*>(item);
    if (!o) return;
    MemFree(o->pinBox);
    o->pinBox = nullptr;
    MemFree(o->pinNodes);
    o->pinNodes = nullptr;
    o->pinCount = 0;
    delete o->ownedObject;
    o->ownedObject = nullptr;
    FreeString(&o->ownedText);
    o->attributes.DeleteAll();
}

void DestroyGridTextObject(PoolItem* item) {
    auto* g = static_cast<GridTextObject*>(item);
    if (!g) return;
    FreeString(&g->text);
    FreeString(&g->formulaResult);
    FreeString(&g->thirdText);
}

void SchematicObject::RemoveSliderOrigin() {
    constexpr int kSliderOriginId = 45;  // " SLIDER_ORG "
    DeleteAttribute(this, kSliderOriginId);
}

// ---- CCTDoc ----------------------------------------------------------------------------------

namespace {

int ct_ScrollStep() {
    const int step = VScrollWidth();
    return step > 0 ? step : 16;
}

}  // namespace

CCTDoc::CCTDoc(int kind) : CIODoc(kind) {
    objects.Init();
    objects.Holds<SchematicObject, &DestroySchematicObject>();
    gridTexts.Init();
    gridTexts.Holds<GridTextObject, &DestroyGridTextObject>();
    UseCircuitUndoEntries(*this);
    for (ObjectList& l : paneLists) l.Init();
    filterRecent.Resize(20);
    defaultObject = Prefs().objectDefaults;
    dialect = Prefs().spiceType;
    ClearBox();
    flags |= kDocFlagCircuitOrText;
    SetDirty(0);
    for (int32_t& size : paneTabSize) size = 20 * ct_ScrollStep();
    // A text document's pages; circuits put their own four in place.
    AppendPage(kPageText, "Text");
    AppendPage(kPageInfo, "Info");
}

CCTDoc::~CCTDoc() {
    // A document deleted without being closed still takes its analysis document along.
    if (CDoc* analysis = analysisDocument) {
        analysisDocument = nullptr;
        analysis->OnCloseDocument();
    }
    if (defineTable) CompiledState().ReleaseDefineTable(this);
    if (modelStatements) CompiledState().ReleaseModelStatements(this);
    FreeAnalysisSettings(this);
    FreeObjectLists();
}

void CCTDoc::FreeObjectLists() {
    // Bit 0x02: the lists were handed to another document.
    if (!(flags & 0x02)) {
        objects.DeleteAll();
        gridTexts.DeleteAll();
    }
    FreePages();
}

void CCTDoc::OnCloseDocument() {
    if (IsClosing()) return;
    if (CDoc* analysis = analysisDocument) {
        analysisDocument = nullptr;
        analysis->OnCloseDocument();
    }
    CIODoc::OnCloseDocument();
}

void CCTDoc::SetTitle(const char* title) {
    CIODoc::SetTitle(title);
    fileName[0] = 0;  // GetFileName appends
    GetFileName(fileName, pathName);
}

void CCTDoc::MakeCurrent() {
    RunContext& rc = CurrentRunContext();
    rc.circuitDocument = this;
    rc.circuitView = mainView;
    rc.analysisDocument = analysisDocument;
    rc.analysisView = analysisDocument ? analysisDocument->MainView() : nullptr;
}

CCTDoc* CurrentCircuitDocument() { return dynamic_cast<CCTDoc*>(CurrentRunContext().circuitDocument); }

void CCTDoc::MarkDirty() {
    SetDirty(1);
    contentChanged = 1;
}

long CCTDoc::GetPageTextLength(int page) {
    const PageRecord* p = Page(page);
    if (!p) return 0;
    if (p->storedText) return static_cast<long>(std::strlen(p->storedText));
    if (p->editor) return TextEditor().GetTextLength(p->editor);  // with or without its window
    return 0;
}

GridTextObject* CCTDoc::NewGridText() {
    auto* g = gridTexts.AddNewConstructed<GridTextObject>(kPoolGridText);
    if (!g) return nullptr;
    g->node = -1;
    g->scope = 1;
    g->fillPattern = 10;
    g->linePattern = 0;
    g->borderColor = kColorNone;
    g->fillColor = kColorNone;
    g->lineWeight = 1;
    return g;
}

SchematicObject* CCTDoc::NewSchematicObject() {
    auto* o = objects.AddNewConstructed<SchematicObject>(kPoolSchematicObject);
    if (!o) return nullptr;
    InitAttributeList(&o->attributes);
    o->level = 1;
    o->fillPattern = 10;
    o->linePattern = 0;
    o->flag = 1;
    o->dialect = kSpiceDialectNone;
    return o;
}

void CCTDoc::ApplyTextFont(const FontSpec* font, int redraw) {
    if (font) textPageFont = *font;
    if (!mainView) return;
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind != kPageSchematic && pages[i].editor)
            TextEditor().SetFont(pages[i].editor, textPageFont, redraw != 0);
}

void CCTDoc::SetTextPagesReadOnly(int readOnly) {
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageText && pages[i].editor) TextEditor().SetReadOnly(pages[i].editor, readOnly != 0);
}

void CCTDoc::RepaintTextPages() {
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageText && pages[i].editor) TextEditor().Repaint(pages[i].editor);
}

CCTView* CCTDoc::MainCTView() const { return dynamic_cast<CCTView*>(mainView); }

// ---- text zoom ------------------------------------------------------------------------------

int ZoomTextHeight(int height, bool zoomIn) {
    const bool negative = height < 0;
    int h = negative ? -height : height;
    if (zoomIn) {
        if (h < 72) ++h;
    } else if (h > 2) {
        --h;
    }
    return negative ? -h : h;
}

// ---- the view -----------------------------------------------------------------------------

namespace {
constexpr int ct_kCmdZoomIn = 17504;
constexpr int ct_kCmdZoomOut = 17505;
}  // namespace

CCTView::CCTView(int kind) : CIOView(kind) {}

CCTView::~CCTView() {
    for (CCirTabs*& t : tabs_) {
        delete t;
        t = nullptr;
    }
}

CCTDoc* CCTView::GetCTDoc() const { return dynamic_cast<CCTDoc*>(GetDocument()); }

void CCTView::OnCreate() {
    CCTDoc* doc = GetCTDoc();
    if (!doc) return;
    doc->mainView = this;
    for (int i = 0; i < doc->pageCount; ++i) {
        if (doc->pages[i].kind == kPageSchematic) continue;
        doc->CreatePageEditor(i);
        if (doc->pages[i].editor) TextEditor().HideScrollBars(doc->pages[i].editor);
    }
    // The schematic view lays the strips out under their panes; until then each
    // starts at its pane's strip size.
    const int height = HScrollHeight() > 0 ? HScrollHeight() : 16;
    for (int pane = 0; pane < doc->paneCount && pane < kMaxPanes; ++pane) {
        auto* strip = new CCirTabs(doc, pane);
        const platform::Rect rect{0, 0, std::max(4 * height, static_cast<int>(doc->paneTabSize[pane])), height};
        if (!strip->Create(this, rect, "", platform::StyleVisible)) {
            delete strip;
            continue;
        }
        tabs_[pane] = strip;
    }
}

void CCTView::OnDestroy() {
    for (CCirTabs* t : tabs_)
        if (t) t->Destroy();
    CIOView::OnDestroy();
}

void CCTView::InvalidateTabStrip(int pane) {
    if (CCirTabs* t = TabStrip(pane); t && t->Exists()) t->Invalidate();
}

void CCTView::InvalidateTabStrips() {
    for (int pane = 0; pane < kMaxPanes; ++pane) InvalidateTabStrip(pane);
}

int CCTView::GetActivePane() { return SchematicView().ActivePane(this); }

PageRecord* CCTView::GetPanePage(int pane) {
    CCTDoc* doc = GetCTDoc();
    if (!doc || pane < 0 || pane >= kMaxPanes) return nullptr;
    return doc->Page(doc->paneCurrentPage[pane]);
}

int CCTView::GetFocusedTextPage() {
    CCTDoc* doc = GetCTDoc();
    if (!doc) return -1;
    for (int i = 0; i < doc->pageCount; ++i)
        if (doc->pages[i].kind != kPageSchematic && doc->pages[i].editor && TextEditor().HasFocus(doc->pages[i].editor))
            return i;
    return -1;
}

CTxtEditWnd* CCTView::GetFocusedTextEditor() {
    CCTDoc* doc = GetCTDoc();
    const int page = GetFocusedTextPage();
    return doc && page >= 0 ? doc->pages[page].editor : nullptr;
}

char* CCTView::GetSelectedText() {
    CTxtEditWnd* editor = GetFocusedTextEditor();
    if (!editor) return nullptr;
    int32_t start = 0, end = 0;
    TextEditor().GetSel(editor, &start, &end);
    const char* text = TextEditor().GetTextBuffer(editor);
    if (!text || end <= start) return DuplicateString("");
    const long length = static_cast<long>(std::strlen(text));
    start = static_cast<int32_t>(std::min<long>(start, length));
    end = static_cast<int32_t>(std::min<long>(end, length));
    return DuplicatePrefix(text + start, end - start);
}

void CCTView::ZoomText(int command) {
    CCTDoc* doc = GetCTDoc();
    if (!doc) return;
    const int height = ZoomTextHeight(doc->textPageFont.height, command == ct_kCmdZoomIn);
    if (height == doc->textPageFont.height) return;
    doc->PushUndo(0, "Font Change");
    FontSpec font = doc->textPageFont;
    font.height = static_cast<int16_t>(height);
    doc->ApplyTextFont(&font, 1);
    doc->MarkDirty();
}

namespace {

// Find, Repeat Last Find (the menu entry and F3) and Replace.
bool ct_IsSearchCommand(int id) {
    return id == viewcmd::EditFind || id == viewcmd::EditFindAgainKey || id == viewcmd::EditFindAgain ||
           id == viewcmd::EditReplace;
}

bool ct_IsEditCommand(int id) {
    switch (id) {
    case viewcmd::EditCut:
    case viewcmd::EditCopy:
    case viewcmd::EditPaste:
    case viewcmd::EditClear:
    case viewcmd::EditSelectAll:
    case viewcmd::EditUndo:
    case viewcmd::EditRedo: return true;
    default: return false;
    }
}

}  // namespace

CTxtEditWnd* CCTView::TextModeEditor() const {
    const CCTDoc* doc = GetCTDoc();
    if (!doc || (doc->flags & kDocFlagPlotObjects)) return nullptr;
    CTxtEditWnd* editor = doc->GetVisibleTextEditor();
    if (!editor) return nullptr;
    // A text window always edits its text; a circuit only while the text
    // page has the focus.
    if (kind == kDocText || TextEditor().HasFocus(editor)) return editor;
    return nullptr;
}

bool CCTView::OnCommand(int id) {
    if (id == ct_kCmdZoomIn || id == ct_kCmdZoomOut) {
        ZoomText(id);
        return true;
    }
    if (ct_IsSearchCommand(id) && !(id == viewcmd::EditFindAgainKey && InAnalysisMode())) {
        if (CTxtEditWnd* editor = TextModeEditor()) {
            if (id == viewcmd::EditReplace && !TextEditAllowed()) return true;
            TextEditor().RunEditCommand(editor, id == viewcmd::EditFindAgainKey ? viewcmd::EditFindAgain : id);
            TextEditor().Focus(editor);
            return true;
        }
    }
    if (ct_IsEditCommand(id)) {
        if (CTxtEditWnd* editor = TextModeEditor()) {
            const bool changes = id != viewcmd::EditCopy && id != viewcmd::EditSelectAll;
            if (changes && !TextEditAllowed()) return true;
            TextEditor().RunEditCommand(editor, id);
            TextEditor().Focus(editor);
            return true;
        }
    }
    return CIOView::OnCommand(id);
}

bool CCTView::OnUpdateCommand(platform::CommandState& state) {
    const int id = state.Id();
    if (ct_IsSearchCommand(id) && TextModeEditor()) {
        state.Enable(id != viewcmd::EditReplace || (TextEditAllowed() && !InAnalysisMode()));
        return true;
    }
    if (id == ct_kCmdZoomIn || id == ct_kCmdZoomOut) {
        state.Enable(true);
        return true;
    }
    if (ct_IsEditCommand(id)) {
        if (CTxtEditWnd* editor = TextModeEditor()) {
            TextEditorPort& ed = TextEditor();
            switch (id) {
            case viewcmd::EditUndo:
            case viewcmd::EditRedo: {
                const bool redo = id == viewcmd::EditRedo;
                const bool on = ed.CanUndo(editor, redo) && TextEditAllowed();
                state.Enable(on);
                state.SetText(on ? (redo ? "&Redo Typing\tCtrl+Y" : "&Undo Typing\tCtrl+Z")
                                 : (redo ? "Can't Redo\tCtrl+Y" : "Can't Undo\tCtrl+Z"));
                return true;
            }
            case viewcmd::EditPaste: state.Enable(TextEditAllowed() && platform::clipboard::HasText()); return true;
            case viewcmd::EditSelectAll: state.Enable(ed.GetTextLength(editor) > 0); return true;
            case viewcmd::EditCopy: state.Enable(ed.HasSelection(editor)); return true;
            default: state.Enable(ed.HasSelection(editor) && TextEditAllowed()); return true;
            }
        }
    }
    return CIOView::OnUpdateCommand(state);
}

// ---- SourceLocation ------------------------------------------------------------------------

void SourceLocation::Show() {
    platform::WaitCursor wait;
    if (document) {
        bool listed = false;
        for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
            if (d == document) listed = true;
        if (listed) {
            if (document->MainView()) document->MainView()->ActivateFrame();
        } else if (kind == kLocationText) {
            document = nullptr;  // the file is opened again below
        } else {
            kind = 0;  // the object went with its document
        }
    }
    if (kind && !document && path[0]) {
        document = OpenCircuitDocument(path, uint32_t(openFlags | 0x400), nullptr);
        if (!document) {
            *this = SourceLocation();
            return;
        }
    }
    auto* doc = dynamic_cast<CCTDoc*>(document);
    CCTView* view = doc ? doc->MainCTView() : nullptr;
    if ((kind == kLocationObject || kind == kLocationGridText) && doc && view && doc->Kind() == kDocCircuit) {
        int x = 0, y = 0, objectPage = 0;
        if (kind == kLocationObject && object) {
            x = object->x1, y = object->y1, objectPage = object->page;
        } else if (gridText) {
            x = gridText->x, y = gridText->y, objectPage = gridText->page;
        }
        if (paneSwitch) {
            const int pane = view->GetActivePane();
            view->ShowPageInPane(pane, objectPage);
            view->ScrollTabIntoView(objectPage);
        } else {
            view->ShowPage(objectPage);
        }
        SchematicView().ScrollPageToPoint(view, objectPage, x, y, paneSwitch != 0);
        doc->SelectObjects(11, 0);
        if (kind == kLocationObject && object) object->state ^= kObjectSelected;
        if (kind == kLocationGridText && gridText) gridText->state ^= kObjectSelected;
        view->Invalidate();
        view->Update();
    } else if (kind == kLocationText && doc) {
        const int textPage = doc->Kind() == kDocText ? 0 : page;
        if (view && doc->Kind() == kDocCircuit) view->ShowPage(textPage);
        if (const PageRecord* p = doc->Page(textPage); p && p->editor) {
            TextEditor().Focus(p->editor);
            if (lineSwitch)
                TextEditor().SetSel(p->editor, position, position);
            else
                TextEditor().SelectSpiceStatement(p->editor, position);
        }
    }
    *this = SourceLocation();
}

// ---- what the core asks about open documents ----------------------------------------------

namespace {

class ct_DocumentTextSource : public TextSourceProvider {
public:
    CDoc* FindSourceDocument(const char* path) override {
        if (CCTDoc* current = path ? CurrentCircuitDocument() : nullptr) {
            const std::vector<SourceFileEntry>& files = current->sourceFiles;
            for (size_t i = 1; i < files.size(); ++i)
                if (files[i].document && files[i].fileName == path) return files[i].document;
        }
        return FindDocumentByPath(path);
    }
    CDoc* FindDocumentByPath(const char* path) override {
        if (!path) return nullptr;
        for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
            if (d->MainView() && std::strcmp(d->PathName(), path) == 0) return d;
        return nullptr;
    }
    int GetTextPageIndex(CDoc* document) override {
        auto* doc = dynamic_cast<CCTDoc*>(document);
        return doc ? doc->GetTextPageIndex() : -1;
    }
    bool GetPageText(CDoc* document, int page, PageText* out) override {
        auto* doc = dynamic_cast<CCTDoc*>(document);
        const PageRecord* p = doc ? doc->Page(page) : nullptr;
        if (!p || !out || p->kind == kPageSchematic) return false;
        *out = PageText();
        if (p->editor && !p->storedText) {
            // The editor's buffer runs on past the text (its line-end sentinel).
            out->text = TextEditor().GetTextBuffer(p->editor);
            out->editor = p->editor;
            out->length = out->text ? TextEditor().GetTextLength(p->editor) : 0;
        } else {
            out->text = p->storedText ? p->storedText : "";
            out->length = static_cast<long>(std::strlen(out->text));
        }
        if (!out->text) out->text = "";
        int lines = 1;
        for (long i = 0; i < out->length; ++i)
            if (out->text[i] == '\n') ++lines;
        out->lineCount = lines;
        return true;
    }
    int LineFromChar(CDoc* document, int page, long position) override {
        PageText text;
        if (!GetPageText(document, page, &text)) return 0;
        int line = 0;
        for (long i = 0; i < position && i < text.length; ++i)
            if (text.text[i] == '\n') ++line;
        return line;
    }
    int CheckPathNotOpenElsewhere(void* window, const char* path) override {
        if (!path) return 0;
        for (CDoc* d = FirstDocument(); d; d = d->NextDocument()) {
            if (!d->MainView() || std::strcmp(d->PathName(), path) != 0) continue;
            if (static_cast<void*>(d->MainView()) == window || static_cast<void*>(d->MainFrameWindow()) == window)
                continue;
            ReportMessage(Message(kMsgFileNameInUse).Args(path));
            return kResultShown;
        }
        return 0;
    }
    void ReloadOpenTextDocument(const char* /*path*/) override {
        // Not yet built: text documents reload their text themselves.
    }
};

}  // namespace

void InstallDocumentTextSource() {
    static ct_DocumentTextSource source;
    SetTextSourceProvider(&source);
}
