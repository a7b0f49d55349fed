#include "shell/document.h"

#include <map>
#include <utility>

#include "core/cmdline.h"
#include "core/memory.h"
#include "platform/app.h"
#include "platform/keys.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"
#include "shell/mainframe.h"

using platform::MainFrame;
using platform::MdiChild;
using platform::Placement;
using platform::Rect;

bool gColorOutput = false;

namespace {

std::map<int, DocumentTemplate>& doc_Templates() {
    static std::map<int, DocumentTemplate> templates;
    return templates;
}

CDoc* doc_initialCircuit = nullptr;

// An analysis is active and its document is computing: windows then keep the
// layout the run gave them.
bool doc_AnalysisRunInProgress() {
    const RunStateValues& run = RunState();
    return run.activeAnalysis != -1 && run.running;
}

// Drawing on the screen or into a picture (not on paper).
bool doc_ScreenLike(const CDrawContext* dc) {
    if (!dc) return true;
    return dc->technology == platform::kTechRasterDisplay || dc->technology == platform::kTechPicture;
}

bool doc_HasFixedPage(const CDoc* doc) { return doc && (doc->fixedPage || doc->fixedPageRect); }

// Moves an edge pair back inside 0..extent: left by what sticks out at the far
// end (the low edge not going below 0), then cut to the extent when still wider.
void doc_FitSpan(int& low, int& high, int extent) {
    if (high > extent) {
        int shift = high - extent;
        if (shift > low) shift = low > 0 ? low : 0;
        low -= shift;
        high -= shift;
    }
    if (high - low > extent) high = low + extent;
}

}  // namespace

// ---- undo entries ----------------------------------------------------------------------

void DestroyUndoEntry(PoolItem* item) {
    auto* entry = static_cast<UndoEntry*>(item);
    if (entry) FreeString(&entry->label);
}

// ---- the document ------------------------------------------------------------------------

CDoc::CDoc(int documentKind) : kind(documentKind) {
    backgroundStyle.color = kFirstSystemColorRow;
    selectStyle.color = kColorBlack;
    undoPool.Init();
    undoPool.itemSize = sizeof(UndoEntry);
    undoPool.ReleasesWith<&DestroyUndoEntry>();
}

CDoc::~CDoc() {
    // A document deleted without OnCloseDocument must not stay reachable.
    DocumentList().RemoveDocument(this);
    if (doc_initialCircuit == this) doc_initialCircuit = nullptr;
    RunContext& rc = CurrentRunContext();
    if (rc.circuitDocument == this) rc.circuitDocument = nullptr;
    if (rc.analysisDocument == this) rc.analysisDocument = nullptr;
    for (CMDIView* view : views_) view->document_ = nullptr;
    if (mainView && mainView->document_ == this) mainView->document_ = nullptr;
    ClearUndo();
}

void CDoc::SetTitle(const char* title) {
    if (!title) title = "";
    CopyTextBounded(pathName, title, sizeof pathName);
    if (CMDIFrame* f = MainFrameWindow()) f->SetTitle(pathName);
}

bool CDoc::CanCloseFrame(CMDIFrame* /*frame*/) { return true; }

int CDoc::QueryClose(int* /*answer*/, int /*changedCount*/) { return CanCloseFrame(MainFrameWindow()) ? 0 : 1; }

void CDoc::OnCloseDocument() {
    if (closing_) return;
    closing_ = true;
    if (doc_initialCircuit == this) doc_initialCircuit = nullptr;
    DocumentList().RemoveDocument(this);
    RunContext& rc = CurrentRunContext();
    if (rc.circuitDocument == this) rc.circuitDocument = nullptr;
    if (rc.analysisDocument == this) rc.analysisDocument = nullptr;
    // Taking the windows away; each view's destroy step leaves views_.
    const std::vector<CMDIView*> views = views_;
    for (CMDIView* view : views) {
        if (view->frame)
            view->frame->Destroy();
        else
            view->Destroy();
    }
    for (CMDIView* view : views_) view->document_ = nullptr;  // views that had no window
    views_.clear();
    mainView = nullptr;
    if (autoDelete) delete this;
}

CMDIView* CDoc::OpenFrame(const char* title) {
    const DocumentTemplate* t = FindDocumentTemplate(kind);
    MainFrame* host = GetDocumentHost();
    if (!t || !t->createFrame || !t->createView || !host) return nullptr;

    std::unique_ptr<CMDIFrame> frame = t->createFrame();
    if (!frame) return nullptr;
    if (frame->kind == kDocKindNone) frame->kind = kind;
    if (!frame->Create(*host, title ? title : pathName)) return nullptr;

    std::unique_ptr<CMDIView> view = t->createView();
    if (!view) {
        frame->Destroy();
        return nullptr;
    }
    if (view->kind == kDocKindNone) view->kind = kind;
    view->document_ = this;
    view->frame = frame.get();
    if (!view->Create(frame.get(), Rect{})) {
        view->document_ = nullptr;
        frame->Destroy();
        return nullptr;
    }
    frame->SetView(view.get());
    frame->view = view.get();
    // Setting the view shows the child frame; it stays hidden until its
    // caller decides how it opens.
    if (frame->IsVisible()) frame->Show(platform::show::Hide);
    // From here the window layer owns both objects.
    frame->SetAutoDelete(true);
    view->SetAutoDelete(true);
    CMDIFrame* f = frame.release();
    CMDIView* v = view.release();

    DocumentList().AddDocument(this);
    views_.push_back(v);
    mainView = v;
    v->frame = f;
    if (title) SetTitle(title);
    v->OnInitialUpdate();
    return v;
}

CMDIFrame* CDoc::MainFrameWindow() const { return mainView ? mainView->frame : nullptr; }

void CDoc::CopyPathName(char* out, size_t size) const {
    if (out && size) CopyTextBounded(out, pathName, size);
}

void CDoc::ClearUndo() {
    undoPool.DeleteAll();
    currentUndo = nullptr;
}

void CDoc::ReleaseUndoMemory() {
    // A suspended history may be in the middle of a step that holds entries.
    if (undoSuspended) return;
    if (undoPool.count <= 2) {
        ClearUndo();
        return;
    }
    // Keep the entry the next Undo (or, with none current, Redo) would use, so
    // the current pointer never dangles.
    PoolItem* keep = currentUndo ? static_cast<PoolItem*>(currentUndo) : undoPool.first;
    for (PoolItem* p = undoPool.first; p;) p = (p == keep) ? p->next : undoPool.Delete(p);
}

int CDoc::PushUndo(int undoKind, const char* label) {
    if (undoSuspended) return undoSuspended;
    if (!mainView) return 0;
    if (DemoPlaying() && currentUndo) {
        // Playback keeps the steps before the current one: a demo may step back.
        while (undoPool.last && undoPool.last != currentUndo) undoPool.Delete(undoPool.last);
    } else {
        ClearUndo();
    }
    auto* entry = static_cast<UndoEntry*>(undoPool.AddNew(kUndoEntryType));
    currentUndo = entry;
    if (!entry) return 0;
    entry->kind = undoKind;
    entry->object = nullptr;
    return SetString(&entry->label, label ? label : "") ? 1 : 0;
}

void CDoc::PushUndoWithSelection(const char* label) {
    if (undoSuspended) return;
    if (!PushUndo(12, label) || !currentUndo) return;
    currentUndo->selectBox[0] = selectBox.left;
    currentUndo->selectBox[1] = selectBox.top;
    currentUndo->selectBox[2] = selectBox.right;
    currentUndo->selectBox[3] = selectBox.bottom;
}

void CDoc::SwapUndoState() {
    OnObjectsChanged();
    if (UndoEntry* entry = currentUndo) {
        const platform::Rect held{entry->selectBox[0], entry->selectBox[1], entry->selectBox[2], entry->selectBox[3]};
        entry->selectBox[0] = selectBox.left;
        entry->selectBox[1] = selectBox.top;
        entry->selectBox[2] = selectBox.right;
        entry->selectBox[3] = selectBox.bottom;
        selectBox = held;
    }
    if (mainView) mainView->Redraw(0x10438);
}

bool CDoc::RunUndoStep(UndoEntry& entry) {
    switch (entry.kind) {
    case 7:
        UndoObjectChange(entry.object);
        OnObjectsChanged();
        if (mainView) mainView->Redraw(0x30438);
        return true;
    case 12: SwapUndoState(); return true;
    default: return false;
    }
}

void CDoc::PopUndo(bool undoFirst) {
    if (undoSuspended || !currentUndo) return;
    UndoEntry* entry = currentUndo;
    auto* previous = static_cast<UndoEntry*>(entry->prev);
    if (undoFirst) UndoDocument(this);
    currentUndo = previous;
    undoPool.Delete(entry);
}

namespace {

// The entry the next Undo (redo false) or Redo would run; null when none.
UndoEntry* doc_NextUndoEntry(const CDoc* document, bool redo) {
    if (!document) return nullptr;
    if (!redo) return document->currentUndo;
    PoolItem* next = document->currentUndo ? document->currentUndo->next : document->undoPool.first;
    return static_cast<UndoEntry*>(next);
}

}  // namespace

void UndoRedo(CDoc* document, int flag) {
    if (!document || !document->UndoAllowed()) return;
    if (flag == 0) {
        UndoEntry* next = doc_NextUndoEntry(document, true);
        if (!next) return;
        document->currentUndo = next;
    }
    UndoEntry* entry = document->currentUndo;
    if (!entry) return;
    const bool ran = document->RunUndoStep(*entry);
    // A step the document could not take leaves the history where it was.
    if (!ran) {
        if (flag == 0) document->currentUndo = static_cast<UndoEntry*>(entry->prev);
        return;
    }
    if (flag == 1) document->currentUndo = static_cast<UndoEntry*>(entry->prev);
}

void UndoDocument(CDoc* document) { UndoRedo(document, 1); }

std::string UndoMenuText(const CDoc* document, bool redo, bool* enabled) {
    const UndoEntry* entry = doc_NextUndoEntry(document, redo);
    const bool on = entry && entry->kind != 0 && document->UndoAllowed();
    if (enabled) *enabled = on;
    std::string text;
    if (on) {
        text = std::string(redo ? "&Redo " : "&Undo ") + (entry->label ? entry->label : "");
        if (text.size() > 90) text.resize(90);
        text += redo ? "\tCtrl+Y" : "\tCtrl+Z";
    } else {
        text = redo ? "Can't Redo\tCtrl+Y" : "Can't Undo\tCtrl+Z";
    }
    return text;
}

CDoc* CDoc::NextDocument() const { return DocumentOfNode(documentLink.next); }
CDoc* CDoc::PreviousDocument() const { return DocumentOfNode(documentLink.prev); }

// ---- the view ----------------------------------------------------------------------------

CMDIView::CMDIView(int documentKind) : kind(documentKind) {}

CMDIView::~CMDIView() {
    Destroy();
    DetachFromDocument();
}

// Leaves the document's view list; true when the document has no view left.
bool CMDIView::DetachFromDocument() {
    CDoc* doc = document_;
    document_ = nullptr;
    if (!doc) return false;
    std::erase(doc->views_, this);
    if (doc->mainView == this) doc->mainView = nullptr;
    return doc->views_.empty();
}

void CMDIView::MaximizeFrame() {
    Placement p;
    GetFramePlacement(&p);
    p.showCode = platform::show::Maximized;
    ApplyFramePlacement(p);
}

void CMDIView::SetMode(int command) {
    CDoc* doc = GetDocument();
    if (!doc) return;
    if (command != doc->modeCommand && doc->modeCommand != viewcmd::ModeSelect)
        doc->previousModeCommand = doc->modeCommand;
    doc->modeCommand = command;
    if (CMainFrame* main = GetMainFrame()) main->UpdateRunStateText();
}

int CMDIView::GetBackgroundColor(CDrawContext* dc) {
    CDoc* doc = GetDocument();
    if (!doc) return kColorWhite;
    return UsesColorOutput(dc) ? doc->backgroundStyle.color : kColorWhite;
}

void CMDIView::UpdateShowProperties(platform::CommandState& state) {
    if (state.FromMenu()) state.Enable(true);
}

void CMDIView::KeyDown(int key, int /*repeat*/, unsigned /*flags*/) {
    if (key == platform::key::Escape) SetMode(viewcmd::ModeSelect);
}

void CMDIView::ActivateFrame() {
    if (MainFrame* main = GetDocumentHost()) {
        if (main->IsMinimized())
            main->Show(platform::show::Restore);
        else if (main->IsVisible())
            main->Show(platform::show::Show);  // raises and activates it
    }
    if (frame) frame->Activate();
}

bool CMDIView::ShowFrame(int showCode) { return frame ? frame->Show(showCode) : false; }

int CMDIView::ShowFrameMaximized() {
    if (!frame) return 0;
    if (doc_AnalysisRunInProgress()) {
        FitFrameToClient(frame);
        frame->Show(platform::show::Normal);
        return 3;
    }
    const bool wasVisible = frame->Show(platform::show::Maximized);
    frame->Activate();
    return wasVisible ? 1 : 0;
}

void CMDIView::GetFramePlacement(Placement* out) const {
    if (!out) return;
    *out = Placement{};
    if (!frame) return;
    *out = frame->GetPlacement();
    // A new window opens the way the zoomed one is shown.
    if (MainFrame* host = frame->Frame()) {
        MdiChild* active = host->ActiveChild();
        if (active && active != frame && active->IsMaximized()) *out = active->GetPlacement();
    }
}

void CMDIView::ApplyFramePlacement(const Placement& placement) {
    if (!frame) return;
    if (placement.length == 0) {
        ShowFrameMaximized();
        return;
    }
    Placement p = placement;
    if (p.normal.left != p.normal.right) {
        if (MainFrame* host = frame->Frame()) {
            const Rect client = host->MdiClientRect();
            doc_FitSpan(p.normal.left, p.normal.right, client.Width());
            doc_FitSpan(p.normal.top, p.normal.bottom, client.Height());
        }
    }
    if (p.flags & platform::kPlacementRestoreToMaximized) {
        p.showCode = platform::show::Maximized;
        frame->Show(platform::show::Maximized);
        p.maxPosition = frame->GetPlacement().maxPosition;
    }
    frame->SetPlacement(p);
    if (frame->IsVisible()) frame->Activate();
}

bool CMDIView::IsOtherChildMaximized() const {
    if (!frame) return false;
    MainFrame* host = frame->Frame();
    MdiChild* active = host ? host->ActiveChild() : nullptr;
    return active && active != frame && active->IsMaximized();
}

void CMDIView::CloseFrameNow() {
    if (frame) frame->Close();
}

void CMDIView::PostCloseFrame(CMDIView* view) {
    if (!view || !view->frame) return;
    if (platform::Application* app = platform::Application::Instance()) app->PostClose(view->frame);
}

void CMDIView::GetDrawArea(CDrawContext* dc, Rect* out) const {
    if (!out) return;
    const CDoc* doc = GetDocument();
    if (doc && doc->fixedPageRect) {
        *out = *doc->fixedPageRect;
        return;
    }
    if (dc && dc->surface && (dc->technology == platform::kTechRasterPrinter || dc->surface->IsPrinter())) {
        const platform::Size size = dc->surface->DeviceSize();
        *out = Rect{0, 0, size.cx, size.cy};
        return;
    }
    *out = Exists() ? ClientRect() : Rect{};
}

void CMDIView::GetDrawSize(CDrawContext* dc, int* width, int* height) const {
    Rect area;
    GetDrawArea(dc, &area);
    if (width) *width = area.Width();
    if (height) *height = area.Height();
}

bool CMDIView::UsesColorOutput(CDrawContext* dc) const {
    if (doc_ScreenLike(dc) && !doc_HasFixedPage(GetDocument())) return true;
    return gColorOutput;
}

int CMDIView::MapColorForMonochrome(CDrawContext* dc, int* colorIndex) const {
    if (!dc || !colorIndex || dc->technology == platform::kTechRasterDisplay || !dc->monochrome) return 0;
    if (*colorIndex == kColorNone) return 1;
    int mapped = kColorBlack;
    if (gColorOutput) {
        // A black window background prints as white paper, so black lines turn white.
        const ColorTableRow* window = GetColorRow(kRowWindow);
        const ColorTableRow* black = GetColorRow(kColorBlack);
        if (window && black && window->color == black->color) mapped = kColorWhite;
    }
    *colorIndex = mapped;
    return 1;
}

bool CMDIView::ShowsText() const {
    if (!frame) return false;
    return kind == kDocText || (kind == kDocCircuit && ActivePaneShowsTextPage());
}

bool CMDIView::TextEditAllowed() const {
    if (!ShowsText()) return false;
    if (RunState().activeAnalysis == -1) return true;
    return kind == kDocText && CurrentRunContext().circuitView != this;
}

int CMDIView::OnRButtonUp(unsigned keyFlags) {
    if (!(keyFlags & (platform::MouseLeft | platform::MouseRight)) && HasCapture()) ReleaseCapture();
    const int wasDragging = rightDrag;
    rightDrag = 0;
    return wasDragging;
}

bool CMDIView::OnCommand(int id) {
    switch (id) {
    case viewcmd::FileClose:
        if (frame && GetDocumentHost()) frame->Close();
        return true;
    case viewcmd::FileSave: return true;  // file views save
    case viewcmd::FilePrint: Print(); return true;
    case viewcmd::EditCut: Cut(1); return true;
    case viewcmd::EditCopy: Copy(); return true;
    case viewcmd::EditPaste: Paste(); return true;
    case viewcmd::EditClear: {
        platform::WaitCursor wait;
        Clear();
        return true;
    }
    case viewcmd::EditSelectAll: SelectAll(); return true;
    case viewcmd::EditUndo: UndoRedo(document_, 1); return true;
    case viewcmd::EditRedo: UndoRedo(document_, 0); return true;
    case viewcmd::Properties: ShowProperties(); return true;
    default: return false;
    }
}

bool CMDIView::OnUpdateCommand(platform::CommandState& state) {
    switch (state.Id()) {
    case viewcmd::FileClose: state.Enable(true); return true;
    case viewcmd::FilePrint: {
        const RunStateValues& run = RunState();
        const CMainFrame* main = GetMainFrame();
        const bool computing = run.running && !run.paused && !(main && main->dynamicMode);
        state.Enable(kind != kDocLibrary && !run.menuLock && !computing);
        return true;
    }
    case viewcmd::Properties: UpdateShowProperties(state); return true;
    case viewcmd::EditUndo:
    case viewcmd::EditRedo: {
        bool enabled = false;
        state.SetText(UndoMenuText(document_, state.Id() == viewcmd::EditRedo, &enabled));
        // The current circuit's own window keeps its history while an analysis
        // holds it.
        if (InAnalysisMode() && CurrentRunContext().circuitView == this) enabled = false;
        state.Enable(enabled);
        return true;
    }
    default: return false;
    }
}

platform::CommandTarget* CDoc::NextCommandTarget() {
    if (platform::CommandTarget* next = platform::CommandTarget::NextCommandTarget()) return next;
    CMainFrame* frame = GetMainFrame();
    return frame ? frame->TailCommandTarget() : nullptr;
}

platform::CommandTarget* CMDIView::NextCommandTarget() {
    if (document_) return document_;
    return Window::NextCommandTarget();
}

CDrawContext CMDIView::GetDrawContext() const { return CDrawContext(painting_); }

CDrawContext CMDIView::GetPaletteDrawContext() const {
    CDrawContext dc(painting_);
    if (dc.surface) dc.RealizeProgramPalette();
    return dc;
}

void CMDIView::OnPaint(platform::DrawSurface& surface, const Rect& update) {
    updateRect = update;
    painting_ = &surface;
    // Views erase their own background, in the document's background colour.
    CDrawContext dc(&surface);
    const int background = GetBackgroundColor(&dc);
    if (GetColorRow(background)) surface.FillRect(ClientRect(), dc.GetBrushObject(background));
    OnDraw(surface);
    painting_ = nullptr;
}

void CMDIView::OnKeyDown(int key, bool repeat, unsigned modifiers) { KeyDown(key, repeat ? 1 : 0, modifiers); }

void CMDIView::OnMouseUp(platform::MouseButton button, platform::Point /*p*/, unsigned keyFlags) {
    if (button == platform::MouseButton::Right) OnRButtonUp(keyFlags);
}

void CMDIView::OnDestroy() {
    RunContext& rc = CurrentRunContext();
    if (rc.analysisView == this) rc.analysisView = nullptr;
    if (rc.circuitView == this) rc.circuitView = nullptr;
    if (frame && frame->view == this) frame->view = nullptr;
    CDoc* doc = document_;
    // A document that loses its last window is closed, as when its frame closes.
    if (DetachFromDocument() && !doc->IsClosing()) doc->OnCloseDocument();
}

// ---- the child frame -----------------------------------------------------------------------

CMDIFrame::CMDIFrame(int documentKind) : kind(documentKind) {}

CMDIFrame::~CMDIFrame() = default;

CDoc* CMDIFrame::GetDocument() const { return view ? view->GetDocument() : nullptr; }

bool CMDIFrame::OnClose() {
    // The digital path window holds the documents open.
    if (RunState().menuLock) return false;
    CDoc* doc = GetDocument();
    if (doc && !doc->IsClosing()) {
        if (!doc->CanCloseFrame(this)) return false;
        doc->OnCloseDocument();
    }
    return true;
}

void CMDIFrame::OnSize(int /*width*/, int /*height*/) { Invalidate(); }

void CMDIFrame::OnActivate(bool active) {
    if (!active) return;
    if (CMainFrame* main = GetMainFrame()) main->UpdateRunStateText();
}

// ---- templates and creation ------------------------------------------------------------------

bool IsCreatableDocumentKind(int kind) {
    switch (kind) {
    case kDocCircuit:
    case kDocText:
    case kDocLibrary:
    case kDocMonteCarlo:
    case kDoc3DPlot:
    case kDocWatch:
    case kDocPerformance:
    case kDocFFT: return true;
    default: return false;
    }
}

void RegisterDocumentTemplate(DocumentTemplate t) {
    const int kind = t.kind;
    doc_Templates()[kind] = std::move(t);
}

const DocumentTemplate* FindDocumentTemplate(int kind) {
    auto& templates = doc_Templates();
    auto it = templates.find(kind);
    return it == templates.end() ? nullptr : &it->second;
}

void ClearDocumentTemplates() { doc_Templates().clear(); }

CDoc* CreateDocumentOfKind(int kind, const char* title) {
    if (!IsCreatableDocumentKind(kind)) return nullptr;
    const DocumentTemplate* t = FindDocumentTemplate(kind);
    if (!t || !t->createDocument) return nullptr;
    std::unique_ptr<CDoc> made = t->createDocument();
    if (!made) return nullptr;
    CDoc* doc = made.release();
    doc->autoDelete = true;
    if (doc->kind == kDocKindNone) doc->kind = kind;
    if ((kind == kDocCircuit || kind == kDocText) && t->prepareDocument && !t->prepareDocument(*doc)) {
        doc->OnCloseDocument();
        return nullptr;
    }
    if (!doc->OpenFrame(title)) {
        doc->OnCloseDocument();
        return nullptr;
    }
    return doc;
}

CDoc* CreateDependentDocument(int kind, const char* title) {
    CDoc* doc = CreateDocumentOfKind(kind, title);
    if (doc) doc->owner = CurrentRunContext().circuitDocument;
    return doc;
}

// ---- the document list ----------------------------------------------------------------------

ObjectList& DocumentList() {
    static ObjectList list;
    return list;
}

CDoc* DocumentOfNode(ListNode* node) { return node ? static_cast<CDoc*>(node) : nullptr; }

CDoc* FirstDocument() { return DocumentOfNode(DocumentList().first); }

void CloseAllDocuments() {
    while (CDoc* doc = FirstDocument()) {
        doc->OnCloseDocument();
        // An override that kept it listed must not stall the walk.
        if (FirstDocument() == doc) DocumentList().RemoveDocument(doc);
    }
}

void ReleaseUndoMemory() {
    for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument()) doc->ReleaseUndoMemory();
}

namespace {

class UndoMemoryRelief final : public MemoryReliefPort {
public:
    void ReleaseUndoMemory() override { ::ReleaseUndoMemory(); }
};
UndoMemoryRelief doc_undoRelief;

}  // namespace

void InstallUndoMemoryRelief() { InstallMemoryRelief(&doc_undoRelief); }

// ---- active window --------------------------------------------------------------------------

MainFrame* GetDocumentHost() {
    platform::Application* app = platform::Application::Instance();
    if (!app) return nullptr;
    auto* host = dynamic_cast<MainFrame*>(app->MainWindow());
    return host && host->Exists() ? host : nullptr;
}

CMDIFrame* GetActiveChildFrame() {
    MainFrame* host = GetDocumentHost();
    if (!host) return nullptr;
    if (doc_AnalysisRunInProgress()) return dynamic_cast<CMDIFrame*>(host->ActiveChild());
    for (MdiChild* child : host->Children()) {
        for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument()) {
            CMDIFrame* f = doc->MainFrameWindow();
            if (f && f == child) return f;
        }
    }
    return nullptr;
}

CMDIView* GetActiveView() {
    CMDIFrame* f = GetActiveChildFrame();
    return f ? f->view : nullptr;
}

CDoc* GetActiveDocument() {
    CMDIView* v = GetActiveView();
    return v ? v->GetDocument() : nullptr;
}

CMDIFrame* FindViewOfFrameWindow(const platform::Window* window) {
    if (!window) return nullptr;
    for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument()) {
        CMDIFrame* f = doc->MainFrameWindow();
        if (f && f == window) return f;
    }
    return nullptr;
}

void CloseWindowIfRunning(platform::Window* window) {
    if (window && window->Exists() && GetDocumentHost()) window->Close();
}

void FitFrameToClient(MdiChild* frame) {
    MainFrame* host = frame ? frame->Frame() : nullptr;
    if (!host) return;
    if (frame->IsMinimized()) frame->Show(platform::show::Restore);
    const Rect client = host->MdiClientRect();
    frame->Move(Rect{0, 0, client.Width(), client.Height()}, true);
}

void MoveFrameToUpperRight(MdiChild* frame) {
    MainFrame* host = frame ? frame->Frame() : nullptr;
    if (!host) return;
    if (frame->IsMinimized()) frame->Show(platform::show::Restore);
    const Rect client = host->MdiClientRect();
    const int halfWidth = client.Width() / 2;
    const int halfHeight = client.Height() / 2;
    frame->Move(Rect{halfWidth, 0, halfWidth + halfWidth, halfHeight}, true);
}

// ---- shared state ----------------------------------------------------------------------------

RunContext& CurrentRunContext() {
    static RunContext context;
    return context;
}

void ClearRunContext() { CurrentRunContext() = RunContext{}; }

CDoc* GetInitialCircuitDocument() { return doc_initialCircuit; }
void SetInitialCircuitDocument(CDoc* document) { doc_initialCircuit = document; }

platform::Placement ToPlatformPlacement(const WindowPlacement& stored) {
    platform::Placement p;
    p.length = stored.length;
    p.flags = static_cast<unsigned>(stored.flags);
    p.showCode = stored.showCmd;
    p.minPosition = platform::Point{stored.minX, stored.minY};
    p.maxPosition = platform::Point{stored.maxX, stored.maxY};
    p.normal = platform::Rect{stored.left, stored.top, stored.right, stored.bottom};
    return p;
}

WindowPlacement FromPlatformPlacement(const platform::Placement& placement) {
    WindowPlacement stored;
    stored.length = placement.length;
    stored.flags = static_cast<int32_t>(placement.flags);
    stored.showCmd = placement.showCode;
    stored.minX = placement.minPosition.x;
    stored.minY = placement.minPosition.y;
    stored.maxX = placement.maxPosition.x;
    stored.maxY = placement.maxPosition.y;
    stored.left = placement.normal.left;
    stored.top = placement.normal.top;
    stored.right = placement.normal.right;
    stored.bottom = placement.normal.bottom;
    return stored;
}
