// Documents, their views and child frames, and the list of open documents.
//
// Every window that shows a document is an MDI child frame (CMDIFrame) holding
// one view (CMDIView) of one document (CDoc). Each of the three carries the
// integer kind of its document. Documents are made by the template of their
// kind, get their window through CDoc::OpenFrame, which also puts them on the
// document list, and leave the list in CDoc::OnCloseDocument.
//
// Ownership: the frame and the view are deleted by the window layer after their
// windows are gone; a document deletes itself at the end of OnCloseDocument.
// Destroying the last window of a document (for instance when the main frame
// goes) closes the document. Code that reaches a document must test its main view
// for null: some documents never get a window.
//
// Commands go from the main frame to the active child's view, then to the
// view's document (platform/command.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/fontspec.h"
#include "core/pool.h"
#include "core/properties.h"
#include "platform/command.h"
#include "platform/frame.h"
#include "platform/types.h"
#include "platform/window.h"
#include "shell/drawcontext.h"

class CMDIFrame;
class CMDIView;

// ---- document kinds -------------------------------------------------------------

constexpr int kDocKindNone = -1;
constexpr int kDocCircuit = 1;
constexpr int kDocText = 2;
constexpr int kDocLibrary = 3;
constexpr int kDocModel = 4;         // names and file filters only; never a window
constexpr int kDocAnalysisPlot = 5;  // made with each circuit
constexpr int kDocMonteCarlo = 6;
constexpr int kDoc3DPlot = 7;
constexpr int kDocThumbnail = 8;
constexpr int kDocFilter = 9;
constexpr int kDocCurvePlot = 10;
constexpr int kDocWatch = 11;
constexpr int kDocPerformance = 12;
constexpr int kDocFFT = 13;

// True for the kinds CreateDocumentOfKind makes (1, 2, 3, 6, 7, 11, 12, 13).
bool IsCreatableDocumentKind(int kind);

// CDoc::flags bits.
constexpr uint32_t kDocFlagCircuitOrText = 0x80;
constexpr uint32_t kDocFlagPlotObjects = 0x100;  // views hold movable graphic objects over plots
constexpr uint32_t kDocFlagRightDrag = 0x400;    // plot documents that allow right-button dragging

// Commands every document view handles.
namespace viewcmd {
constexpr int FileClose = 57602;
constexpr int FileSave = 57603;
constexpr int FilePrint = 57607;
constexpr int FilePrintPreview = 57609;
constexpr int EditClear = 57632;
constexpr int EditCopy = 57634;
constexpr int EditCut = 57635;
constexpr int EditPaste = 57637;
constexpr int EditSelectAll = 57642;
constexpr int EditUndo = 57643;
constexpr int EditRedo = 57644;
constexpr int EditFind = 17213;          // Edit > Find... (Ctrl+F)
constexpr int EditFindAgainKey = 17216;  // F3: repeats the last find unless an analysis is active
constexpr int EditFindAgain = 17217;     // Edit > Repeat Last Find
constexpr int EditReplace = 17218;       // Edit > Replace...
constexpr int Properties = 15678;        // Edit > Change > Properties... (F10)
constexpr int ModeSelect = 17561;        // first of the mouse modes
constexpr int ModeLast = 17588;          // Polygon
}  // namespace viewcmd

constexpr size_t kPathNameSize = 260;

// ---- undo entries ------------------------------------------------------------------

// The base part of an undo entry (pool item type 41). Documents that keep more
// per entry extend the record and set the pool's item size and destroy callback.
constexpr int32_t kUndoEntryType = 41;
struct UndoEntry : PoolItem {
    PoolItem* object;  // the object a kind-7 entry concerns
    int32_t kind;
    int32_t selectBox[4];  // the document's select box (left, top, right, bottom) for kind-12 entries
    int32_t spare[2];
    char* label;  // heap text of the Undo and Redo menu entries
};
// Frees what the base part owns (the label).
void DestroyUndoEntry(PoolItem* item);

// ---- the document ------------------------------------------------------------------

class CDoc : public platform::CommandTarget, public ListNode {
public:
    explicit CDoc(int kind = kDocKindNone);
    ~CDoc() override;

    // After the document, the commands the main frame's chain ends in (the
    // later layers' commands), so that they are reached with a window active.
    platform::CommandTarget* NextCommandTarget() override;

    // ---- the framework's document operations
    // Stores the title as the path name first, then shows it on the frame.
    virtual void SetTitle(const char* title);
    // Leaves the initial-circuit slot and the document list, takes the window
    // away and deletes the document (unless autoDelete is off). Runs once;
    // do not use the document afterwards.
    virtual void OnCloseDocument();
    virtual bool IsModified() const { return modified_; }
    virtual void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    // Asked before the document's frame closes; false keeps it open.
    virtual bool CanCloseFrame(CMDIFrame* frame);
    // Asked for each document when all windows close: `answer` carries the
    // choice made for an earlier document (the save mode, 0 to ask) and
    // receives this one's; `changedCount` is the number of changed documents,
    // so that more than one offers Yes to All and No to All. 1 stops the close.
    // The base asks the single-window question.
    virtual int QueryClose(int* answer, int changedCount);

    // ---- own operations, in slot order (the base does nothing)
    // After an edit changed the objects (reorder, move, clear, paste).
    virtual void OnObjectsChanged() {}
    // 2 moves the selected objects to the front, 1 to the back.
    virtual void ReorderSelected(int /*where*/) {}
    // Nonzero when something moved.
    virtual int MoveSelected(int /*dx*/, int /*dy*/, int /*reserved*/, int /*flags*/, int /*commit*/) { return 0; }
    // Number of selected objects of the kinds in the mask; the last one found.
    virtual int CountSelected(int /*kindMask*/, PoolItem** /*last*/) { return 0; }
    // Selects (1) or deselects (0) every object of the kinds in the mask.
    virtual int SelectObjects(int /*kindMask*/, int /*on*/) { return 0; }
    // ---- undo (see UndoRedo below)
    // Starts an entry of the kind with a menu label: outside demo playback the
    // history is emptied first (one step); during playback only the redo tail
    // goes. The undo-suspended value while suspended; 0 without a main view
    // or when the entry or its label cannot be had; else nonzero.
    virtual int PushUndo(int kind, const char* label);
    // A whole-document step (kind 12): the entry keeps the select box, and
    // documents with more state snapshot it.
    virtual void PushUndoWithSelection(const char* label);
    // Undo and redo of a kind-12 entry: the state held by the entry and the
    // document's are exchanged, so the same entry serves both ways.
    virtual void SwapUndoState();
    virtual void UndoObjectChange(PoolItem* /*object*/) {}
    virtual void BeginObjectChange(PoolItem* /*object*/, const char* /*label*/) {}
    // Runs the step of an entry (a swap); false when this document cannot
    // undo entries of that kind.
    virtual bool RunUndoStep(UndoEntry& entry);
    // Whether undo steps may run now (circuits refuse during an analysis).
    virtual bool UndoAllowed() const { return true; }
    // Drops the current entry, applying it first when asked; the entry before
    // it becomes current.
    void PopUndo(bool undoFirst);

    // ---- window
    // Asks the template of the document's kind for a frame and view, puts the
    // document on the list (once), makes the view its main view, sets the
    // title when one is given and sends the view its initial update. The
    // frame stays hidden. Null when no template, host or frame is there.
    CMDIView* OpenFrame(const char* title);
    CMDIView* MainView() const { return mainView; }
    CMDIFrame* MainFrameWindow() const;

    // ---- path name and select box
    // Copies the path name into `out` (at most size - 1 characters).
    void CopyPathName(char* out, size_t size) const;
    const char* PathName() const { return pathName; }
    void ClearBox() { selectBox = platform::Rect{-1, -1, -1, -1}; }
    void SetBox(int left, int top, int right, int bottom) { selectBox = platform::Rect{left, top, right, bottom}; }
    bool IsBoxEmpty() const { return selectBox.left == -1; }

    // ---- undo memory
    // Empties the undo pool and forgets the current entry.
    void ClearUndo();
    // Trims the history for the allocator's release step: two entries or
    // fewer are all dropped; otherwise only the current entry (the first one
    // when none is current) is kept. Nothing while undo is suspended.
    void ReleaseUndoMemory();

    int Kind() const { return kind; }
    // The neighbours on the document list (null at the ends or when unlisted).
    CDoc* NextDocument() const;
    CDoc* PreviousDocument() const;
    bool IsClosing() const { return closing_; }

    void CloseFromList() override { OnCloseDocument(); }

    // ---- fields
    // Window styles from the item styles of the document's kind.
    FontSpec backgroundStyle;  // colour: the windows' background (64 at construction)
    FontSpec selectStyle;      // colour of selected objects (0 at construction)
    FontSpec textStyle;        // window text font of plot documents
    FontSpec selectBoxStyle;
    int32_t viewState[11] = {};
    CMDIView* mainView = nullptr;
    int32_t kind = kDocKindNone;
    int32_t fileBacked = 0;                    // the close and save-all walks ask only these
    int32_t modeCommand = 0;                   // current mouse mode (viewcmd::ModeSelect ...)
    int32_t previousModeCommand = 0;           // last mode other than Select
    platform::Rect selectBox{-1, -1, -1, -1};  // document coordinates; left -1: no box
    uint32_t flags = 0;
    char pathName[kPathNameSize] = {};
    ObjectPool undoPool;
    UndoEntry* currentUndo = nullptr;
    int32_t undoSuspended = 0;  // no entry is started or dropped while set
    // Print layout: with fixedPageRect set the document draws into that page
    // rectangle instead of the window; either set makes drawing follow the
    // colour-output setting.
    void* fixedPage = nullptr;
    const platform::Rect* fixedPageRect = nullptr;
    // The circuit document this one depends on (analysis and dependent windows).
    CDoc* owner = nullptr;
    // Deleted by OnCloseDocument (the framework's rule for documents on the heap).
    bool autoDelete = true;

private:
    friend class CMDIView;
    // Every view of the document (the main view among them); the document
    // closes when the last one goes.
    std::vector<CMDIView*> views_;
    bool modified_ = false;
    bool closing_ = false;
};

// ---- the view ------------------------------------------------------------------------

class CMDIView : public platform::Window {
public:
    explicit CMDIView(int kind = kDocKindNone);
    ~CMDIView() override;

    CDoc* GetDocument() const { return document_; }

    // ---- the framework's view operations
    // Once, after the view is the document's main view and the title is set.
    virtual void OnInitialUpdate() {}
    // Draws the document; the base draws nothing.
    virtual void OnDraw(platform::DrawSurface& /*surface*/) {}

    // ---- own operations, in slot order
    // Shows the frame maximized through its placement.
    virtual void MaximizeFrame();
    // Switches the mouse mode.
    virtual void SetMode(int command);
    // Repaints the parts the flag bits choose (defined by the derived views).
    virtual void Redraw(uint32_t /*flags*/) {}
    // Nonzero when a bounding rectangle of the selected objects was found.
    virtual int GetSelectionBounds(CDrawContext* /*dc*/, platform::Rect* /*out*/, int /*reserved*/, int /*flags*/,
                                   int /*page*/) {
        return 0;
    }
    // Colour index of the background: the document's on a display or picture
    // without a fixed page, or when colour output is on; else white (15).
    virtual int GetBackgroundColor(CDrawContext* dc);
    // Nonzero when a graphic object was added.
    virtual int AddGraphicObject(int /*color*/, int /*shape*/, int /*variant*/, const platform::Rect& /*rect*/,
                                 int /*value*/) {
        return 0;
    }
    // The object under a point.
    virtual PoolItem* HitTest(PoolItem** /*object*/, int* /*part*/, platform::Point /*point*/, int /*mode*/,
                              int* /*extra*/) {
        return nullptr;
    }
    virtual void Cut(int /*flag*/) {}
    virtual void Copy() {}
    virtual void Paste() {}
    virtual void Clear() {}
    virtual void SelectAll() {}
    virtual void MoveSelectionBy(int /*dx*/, int /*dy*/, int /*flag*/) {}
    virtual void ShowProperties() {}
    // Enables the command's menu entry when the state is asked for a menu.
    virtual void UpdateShowProperties(platform::CommandState& state);
    virtual void Print() {}
    // Esc returns the view to Select mode.
    virtual void KeyDown(int key, int repeat, unsigned flags);

    // Circuit views answer whether the page in their active pane is a text page.
    virtual bool ActivePaneShowsTextPage() const { return false; }

    // ---- frame operations
    void ActivateFrame();
    bool ShowFrame(int showCode);
    // 0 without a frame; 3 when an analysis run only let the frame fill the
    // client area; else whether the frame was visible before.
    int ShowFrameMaximized();
    // The frame's placement, or the active zoomed child's when that is another.
    void GetFramePlacement(platform::Placement* out) const;
    void ApplyFramePlacement(const platform::Placement& placement);
    bool IsOtherChildMaximized() const;
    void CloseFrameNow();
    // Posts a close request to the view's frame; a null view is allowed.
    static void PostCloseFrame(CMDIView* view);

    // ---- drawing
    void GetDrawArea(CDrawContext* dc, platform::Rect* out) const;
    void GetDrawSize(CDrawContext* dc, int* width, int* height) const;
    bool UsesColorOutput(CDrawContext* dc) const;
    // Colours on monochrome devices; 1 when the index was mapped.
    int MapColorForMonochrome(CDrawContext* dc, int* colorIndex) const;
    // A context over the surface of the paint in progress. Windows are drawn
    // only while they paint: outside OnPaint the context has no surface (every
    // flag 0, drawing does nothing); call Invalidate and Update instead.
    CDrawContext GetDrawContext() const;
    // The same, with the program palette realized when there is a surface.
    CDrawContext GetPaletteDrawContext() const;

    // ---- text
    bool ShowsText() const;
    bool TextEditAllowed() const;

    // Right button released: releases the capture when no button is still
    // down; returns the right-drag flag and clears it.
    int OnRButtonUp(unsigned keyFlags);

    // Commands of every document view; then the document.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;
    platform::CommandTarget* NextCommandTarget() override;

    // ---- fields
    CMDIFrame* frame = nullptr;
    int32_t kind = kDocKindNone;
    int32_t mouseState = 0;
    int32_t tracker[5] = {};
    int32_t rightDrag = 0;
    platform::Point pressPoint;
    platform::Rect updateRect;  // the part being repainted
    int32_t viewWords[8] = {};

protected:
    void OnPaint(platform::DrawSurface& surface, const platform::Rect& update) override;
    void OnKeyDown(int key, bool repeat, unsigned modifiers) override;
    void OnMouseUp(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnDestroy() override;

private:
    friend class CDoc;
    bool DetachFromDocument();
    CDoc* document_ = nullptr;
    platform::DrawSurface* painting_ = nullptr;
};

// ---- the child frame ------------------------------------------------------------------

class CMDIFrame : public platform::MdiChild {
public:
    explicit CMDIFrame(int kind = kDocKindNone);
    ~CMDIFrame() override;

    CDoc* GetDocument() const;

    int32_t kind = kDocKindNone;
    CMDIView* view = nullptr;

protected:
    // Refused while the menu lock is set; otherwise the document decides
    // (CanCloseFrame) and is closed with its window.
    bool OnClose() override;
    void OnSize(int width, int height) override;
    // Activation refreshes the main frame's run-state text.
    void OnActivate(bool active) override;
};

// ---- templates and creation -----------------------------------------------------------

// How documents of one kind and their windows are made. Start-up registers one
// per kind whose classes exist.
struct DocumentTemplate {
    int kind = kDocKindNone;
    std::function<std::unique_ptr<CDoc>()> createDocument;
    std::function<std::unique_ptr<CMDIFrame>()> createFrame;
    std::function<std::unique_ptr<CMDIView>()> createView;
    // Circuit and text kinds: makes the document's hidden analysis document
    // and links the two; false when it cannot be made. May be empty.
    std::function<bool(CDoc&)> prepareDocument;
};

template <class Doc, class Frame, class View>
DocumentTemplate MakeDocumentTemplate(int kind) {
    DocumentTemplate t;
    t.kind = kind;
    t.createDocument = [] { return std::unique_ptr<CDoc>(new Doc()); };
    t.createFrame = [] { return std::unique_ptr<CMDIFrame>(new Frame()); };
    t.createView = [] { return std::unique_ptr<CMDIView>(new View()); };
    return t;
}

// Adds the template, replacing one of the same kind.
void RegisterDocumentTemplate(DocumentTemplate t);
// Null when the kind has none.
const DocumentTemplate* FindDocumentTemplate(int kind);
void ClearDocumentTemplates();

// A new document of the kind with its (hidden) window; null for kinds that
// are not created this way, a missing template, or any failure (the half-made
// document is closed). No message is shown.
CDoc* CreateDocumentOfKind(int kind, const char* title);

// The placement record that settings and circuit files store, and the window
// layer's placement, converted field by field both ways.
platform::Placement ToPlatformPlacement(const WindowPlacement& stored);
WindowPlacement FromPlatformPlacement(const platform::Placement& placement);
// The same, owned by the current circuit document.
CDoc* CreateDependentDocument(int kind, const char* title);

// ---- the document list ----------------------------------------------------------------

// The list of open documents (owns nothing), chained through documentLink.
ObjectList& DocumentList();
CDoc* FirstDocument();
// The document of a list node (null for null).
CDoc* DocumentOfNode(ListNode* node);
// Closes every listed document (start-up failures, exit, tests).
void CloseAllDocuments();

// Edit > Undo (flag 1) and Edit > Redo (flag 0) of a document: the step of
// the current entry (undo) or of the one after it (redo); each step is a swap.
void UndoRedo(CDoc* document, int flag);
void UndoDocument(CDoc* document);
// The menu texts of Edit > Undo and Redo for a document: "&Undo <label>\tCtrl+Z"
// when there is a step, "Can't Undo\tCtrl+Z" otherwise; *enabled tells which.
std::string UndoMenuText(const CDoc* document, bool redo, bool* enabled);

// Releases the undo memory of every listed document (the allocator's release
// step); installed as the core's memory relief by InstallUndoMemoryRelief.
void ReleaseUndoMemory();
void InstallUndoMemoryRelief();

// ---- active window --------------------------------------------------------------------

// The MDI frame that hosts document windows: the application's main window.
platform::MainFrame* GetDocumentHost();
// The topmost child frame that belongs to a listed document; during an analysis
// run, the active child as the platform reports it.
CMDIFrame* GetActiveChildFrame();
CMDIView* GetActiveView();
CDoc* GetActiveDocument();
// The frame of a listed document whose frame window is `window`; null if none.
CMDIFrame* FindViewOfFrameWindow(const platform::Window* window);
// Closes a window that exists while the main frame exists.
void CloseWindowIfRunning(platform::Window* window);
// Restore when minimized, then fill the MDI client area / its upper right quarter.
void FitFrameToClient(platform::MdiChild* frame);
void MoveFrameToUpperRight(platform::MdiChild* frame);

// ---- shared state read by documents ----------------------------------------------------

// The circuit the analyses, probes and netlist commands act on, with its view
// and its analysis document and view; set when a circuit or text window
// becomes current, cleared together.
struct RunContext {
    CDoc* circuitDocument = nullptr;
    CMDIView* circuitView = nullptr;
    CDoc* analysisDocument = nullptr;
    CMDIView* analysisView = nullptr;
};
RunContext& CurrentRunContext();
void ClearRunContext();

// The document of the empty circuit window opened at start-up (null when none
// or once it has closed).
CDoc* GetInitialCircuitDocument();
void SetInitialCircuitDocument(CDoc* document);

// The main frame's colour-output setting: printing follows the documents'
// colours (true) or prints on white (false).
extern bool gColorOutput;
