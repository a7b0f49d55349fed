// Circuit-or-text documents: the common base of circuits (CCirDoc) and SPICE
// text files. Such a document is a set of pages (document/pages.h) with the
// list of drawn schematic objects, the list of grid texts, the circuit's own
// component definitions and the tables the compiler reads from its text.
//
// Schematic objects and grid texts are pool records: made zeroed by
// NewSchematicObject / NewGridText, never constructed, released through their
// destroy callbacks (DestroySchematicObject, DestroyGridTextObject).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/dialect.h"
#include "core/fontspec.h"
#include "core/pool.h"
#include "core/properties.h"
#include "core/recentlist.h"
#include "document/component_defs.h"
#include "document/iodoc.h"
#include "document/nodelabels.h"
#include "document/pages.h"
#include "shell/preferences.h"

struct AnalysisSettings;
struct ComponentDef;
struct ComponentLibrary;
struct PinBox;
class CCTView;

// Pool item types of the two lists.
constexpr int32_t kPoolSchematicObject = 1;
constexpr int32_t kPoolGridText = 2;

// SchematicObject::objectKind; drawing skips an object of kind -1.
constexpr int16_t kObjectHidden = -1;
constexpr int16_t kObjectComponent = 0;
constexpr int16_t kObjectWire = 1;
constexpr int16_t kObjectGraphic = 2;

// SchematicObject::state bits.
constexpr uint8_t kObjectSelected = 0x01;
constexpr uint8_t kObjectHighlighted = 0x20;  // on a path the digital path window shows
constexpr uint8_t kObjectMark = 0x40;         // scratch mark of node numbering

// SchematicObject::styleFlags bits named here (the circuit file lists the rest).
constexpr uint16_t kWireDigital = 0x0001;  // on a wire: carries a digital signal
constexpr uint16_t kShowPinText = 0x8000;  // on a component

// An object a schematic record owns and deletes with itself.
struct SchematicOwnedObject {
    virtual ~SchematicOwnedObject() = default;
};

// A component, wire or graphic object on a schematic page. Components use the
// first point as their position; wires and graphics both points.
struct SchematicObject : PoolItem {
    // style
    uint8_t lineWeight;        // 1 at creation
    uint8_t linePattern;       // 0
    uint8_t borderColor;       // 74 = none; a component's colour
    uint8_t fillColor;         // 74
    uint8_t fillPattern;       // 10
    uint8_t state;             // kObjectSelected, kObjectHighlighted, kObjectMark
    int16_t objectKind;        // kObjectComponent, kObjectWire, kObjectGraphic
    int32_t x1, y1, x2, y2;    // schematic grid units
    ComponentDef* definition;  // components only; not owned
    uint16_t styleFlags;
    int16_t graphicType;    // 1-15 for graphic objects
    uint8_t showCurrent;    // 1 at creation
    uint8_t showPower;      // 1
    uint8_t showCondition;  // 1
    uint8_t showPackagePins;
    uint8_t showPinMarkers;
    int16_t orientation;  // 0-7: bits 0-1 quarter turns, bit 2 mirror
    // The node of a wire (its first end). Files keep it in the orientation
    // field; in memory it has a field of its own.
    int32_t wireNode;
    SchematicOwnedObject* ownedObject;
    int32_t page;  // -1 for objects the compiler adds
    int32_t pinCount;
    int32_t* pinNodes;      // one node per pin, owned (MemAlloc)
    int16_t level;          // source-file table entry; 1 for the document's own objects
    uint8_t flag;           // 1 at creation
    PinBox* pinBox;         // own pin table of an automatic macro box, owned (MemAlloc)
    int32_t dialect;        // kSpiceDialectNone at creation
    ObjectPool attributes;  // PartAttribute records
    char* ownedText;        // heap text
    // Words the schematic view and the compiler keep per object.
    int32_t viewWords[8];
    int32_t compilerWords[4];
    void* compilerData;

    bool IsComponent() const { return objectKind == kObjectComponent; }
    bool IsWire() const { return objectKind == kObjectWire; }
    bool IsSelected() const { return (state & kObjectSelected) != 0; }
    // Deletes the " SLIDER_ORG " attribute (standard id 45) when there is one.
    void RemoveSliderOrigin();
    // Places the attribute texts of a component around it by its definition's
    // label anchors (document/parts.cpp).
    void LayoutAttributeTexts();
};

// Frees the pin box, the pin nodes, the owned object, the owned text and the
// attribute list (the pool's destroy callback).
void DestroySchematicObject(PoolItem* item);

// GridTextObject::flags bits.
constexpr uint8_t kGridTextIsFlag = 0x01;     // a named place marker ("Flag")
constexpr uint8_t kGridTextNamesNode = 0x02;  // a one-word text naming the node it touches
constexpr uint8_t kGridTextNotSaved = 0x08;   // never written to the file
constexpr uint8_t kGridTextBannerAC = 0x10;
constexpr uint8_t kGridTextBannerDC = 0x20;
constexpr uint8_t kGridTextBannerTF = 0x40;
constexpr uint8_t kGridTextWarningBox = 0x80;  // a box showing the fired user warnings of a run

// Grid text on a schematic page.
struct GridTextObject : PoolItem {
    uint8_t lineWeight;   // 1
    uint8_t linePattern;  // 0
    uint8_t borderColor;  // 74
    uint8_t fillColor;    // 74
    uint8_t fillPattern;  // 10
    uint8_t state;        // bit 0 selected
    int32_t page;
    char* text;
    char* formulaResult;  // kept beside a text that starts with "="
    char* thirdText;
    int32_t x, y;
    int32_t node;  // of a node-naming text after numbering; -1 otherwise
    FontSpec font;
    uint8_t flags;  // kGridTextIsFlag ...
    int16_t scope;  // compile scope of a statement: 0 the global include file, 1 (at creation) the circuit
    int32_t line;   // a statement read from a text: its first line there

    bool IsSelected() const { return (state & kObjectSelected) != 0; }
    // Sets or clears kGridTextNamesNode from the text (document/parts.cpp).
    void UpdateNodeNameFlag();
};

// Frees the three texts (the pool's destroy callback).
void DestroyGridTextObject(PoolItem* item);

// One entry of the source-file table: a subcircuit, macro or include file
// opened for a compile.
struct SourceFileEntry {
    std::string fileName;
    CDoc* document = nullptr;           // the hidden document holding the file, or null
    std::string instanceName;           // the call whose expansion the entry serves
    SchematicObject* caller = nullptr;  // the calling component
    int32_t textPosition = 0;           // of the definition
    int32_t page = 0;
};

// A place to show the user: an object, a grid text or a position in a text page.
constexpr int32_t kLocationObject = 1;
constexpr int32_t kLocationGridText = 2;
constexpr int32_t kLocationText = 3;

struct SourceLocation {
    int32_t kind = 0;
    SchematicObject* object = nullptr;
    GridTextObject* gridText = nullptr;
    int32_t position = 0;      // character position in a text page
    CDoc* document = nullptr;  // null when only the file is known
    char path[kPathNameSize] = {};
    int32_t openFlags = 0;
    int32_t lineSwitch = 0;  // set: caret to the line; clear: select the statement
    int32_t paneSwitch = 0;  // set: show in the active pane and centre
    int32_t page = 0;        // text page index

    // Brings the place into view, then clears the record.
    void Show();
};

class CCirDoc;

// ---- ports of the subsystems built above this layer ---------------------------------------

// The schematic view's panes and drawing. Until the schematic editor installs
// its view, a view's active pane is the document's, only pane 0 shows, pane
// operations do nothing and a renaming repaints the main view.
class SchematicViewPort {
public:
    virtual ~SchematicViewPort() = default;
    virtual int ActivePane(CCTView* view) = 0;
    virtual void LayoutPaneBars(CCTView* view) = 0;
    virtual bool IsPaneVisible(CCTView* view, int pane) = 0;
    virtual void RefreshPane(CCTView* view, int pane) = 0;
    virtual void ScrollPageToPoint(CCTView* view, int page, int x, int y, bool centre) = 0;
    // After numbering: one schematic page, and the page tabs of the panes.
    virtual void RedrawPage(CMDIView* view, int page) = 0;
    virtual void RefreshPaneTabs(CMDIView* view) = 0;
    // After a renaming: every view of the circuit.
    virtual void UpdateViews(CCirDoc* document) = 0;
};
SchematicViewPort& SchematicView();
// Returns the view installed before; nullptr restores the null object.
SchematicViewPort* InstallSchematicView(SchematicViewPort* port);

// The schematic editor's work on a circuit. Until it is installed wires are
// left as they are, a new part is accepted where it was put, there is no LED
// colour table and no undo entry to drop.
class SchematicEditorPort {
public:
    virtual ~SchematicEditorPort() = default;
    // Keeps wires split where pins and wire ends touch.
    virtual void Rewire(CDoc* circuit, int request) = 0;
    // The cross-hair around dragging a new part.
    virtual void HideCrossHair() = 0;
    virtual void ShowCrossHair(CMDIView* view) = 0;
    // Drags the new part with the mouse in the circuit's view (null when it
    // has none); false when the user abandoned the drag.
    virtual bool TrackNewPart(CMDIView* view, SchematicObject* component) = 0;
    // The component's attribute dialog; 1 OK, 2 cancelled.
    virtual int EditAttributes(CMDIView* view, SchematicObject* component) = 0;
    // The first entry of the analog LED colour table (its colour text and its
    // index); false when the table is empty.
    virtual bool FirstLedColor(const char** text, int* index) = 0;
    // Drops the document's current undo entry, applying it first when asked.
    virtual void PopUndo(CCirDoc* document, bool undoFirst) = 0;
};
SchematicEditorPort& SchematicEditor();
SchematicEditorPort* InstallSchematicEditor(SchematicEditorPort* port);

// The analysis windows and their settings. Until they are installed a
// document has no hidden analysis document and no analysis texts.
class AnalysisDocumentPort {
public:
    virtual ~AnalysisDocumentPort() = default;
    // Creates the hidden analysis document of a circuit or text document,
    // which is created and closed with it, and stores it in
    // analysisDocument; false when it could not be made.
    virtual bool AttachAnalysisDocument(CCTDoc* document) = 0;
    // Calls `visit` with every expression text of the circuit's analysis
    // limits, plot windows and stepping settings (heap texts the visitor may
    // replace).
    virtual void ForEachAnalysisText(CCirDoc* document, const std::function<void(char** text)>& visit) = 0;
};
AnalysisDocumentPort& AnalysisDocuments();
AnalysisDocumentPort* InstallAnalysisDocuments(AnalysisDocumentPort* port);

// What the compiler and the models hang on a document and release when it
// goes away. Without a compiler nothing is ever hung there.
class CompiledStatePort {
public:
    virtual ~CompiledStatePort() = default;
    virtual void ReleaseDefineTable(CCTDoc* document) = 0;
    virtual void ReleaseModelStatements(CCTDoc* document) = 0;
};
CompiledStatePort& CompiledState();
CompiledStatePort* InstallCompiledState(CompiledStatePort* port);

// State of the build of a circuit (node numbering and the compiler).
struct CircuitBuildState {
    // The highest node number of the last numbering (the node labels and the
    // compiler read it; CCirDoc::lastGeometricNode is the highest one given
    // by geometry alone).
    int32_t highestNode = 0;
    int32_t nodeLabelEntries = 0;
    int32_t nodeCounter = 0;
    int32_t deviceCounter = 0;
    int32_t serialCount = 0;
    std::string missingHiddenNode;  // the last hidden pin without a node
    SchematicObject* missingHiddenComponent = nullptr;
    int32_t forceNewRun[4] = {};  // one per analysis kind
    ComponentTypeCounts typeCounts;
    std::vector<NodeNameEntry> nodeNames;  // the compiled node names (document/nodelabels.h)
};

class CCTDoc : public CIODoc {
public:
    explicit CCTDoc(int kind = kDocKindNone);
    ~CCTDoc() override;

    // ---- undo (document/undo.cpp): entries keep the text-page font, and the
    // held copy of one changed object
    void PushUndoWithSelection(const char* label) override;
    void SwapUndoState() override;
    void BeginObjectChange(PoolItem* object, const char* label) override;
    void UndoObjectChange(PoolItem* object) override;
    bool RunUndoStep(UndoEntry& entry) override;
    bool UndoAllowed() const override;

    // ---- virtual operations added here
    // Length of a page's text: stored text, else the editor's; 0 otherwise.
    virtual long GetPageTextLength(int page);
    // A new grid text at the end of the list with the defaults; null when out
    // of memory.
    virtual GridTextObject* NewGridText();
    // A new schematic object at the end of the list with the defaults; null
    // when out of memory.
    virtual SchematicObject* NewSchematicObject();

    // ---- document operations
    void OnCloseDocument() override;
    void SetTitle(const char* title) override;

    // Sets the run context (current circuit, its view, its analysis document
    // and view) from this document.
    void MakeCurrent();
    // SetDirty(1) and content changed.
    void MarkDirty();
    // Takes the font (null: keep) as the text-page font and hands it to the
    // editors of every text and info page.
    void ApplyTextFont(const FontSpec* font, int redraw);
    void SetTextPagesReadOnly(int readOnly);
    void RepaintTextPages();

    // ---- pages (document/pages.cpp)
    // Resizes the table; new records are zeroed with an empty name, print 1
    // and scales 1.0. 15002 when out of memory (table unchanged); a negative
    // count does nothing.
    int SetPageCount(int count);
    int PageCount() const { return pageCount; }
    PageRecord* Page(int index) { return index >= 0 && index < pageCount ? &pages[index] : nullptr; }
    const PageRecord* Page(int index) const { return index >= 0 && index < pageCount ? &pages[index] : nullptr; }
    int PageKind(int index) const { return index >= 0 && index < pageCount ? pages[index].kind : -1; }
    const char* GetPageName(int index) const;
    // Index of a page by name, without case; -1 when none.
    int FindPageByName(const char* name) const;
    bool PageNameExists(const char* name) const { return FindPageByName(name) >= 0; }
    int GetFirstTextPage() const;
    int FindTextPageByName(const char* name) const;  // exact case
    int GetFirstInfoPage() const;
    int GetSubcktPageIndex() const;
    int GetTextPageIndex() const;
    int GetModelsPageIndex() const;
    CTxtEditWnd* GetTextPageEditor() const;
    int GetPanePageIndex(int pane) const;
    int GetPanePageKind(int pane) const;
    CTxtEditWnd* GetVisibleTextEditor() const;
    // Remembers the page as the active text or schematic page by its kind.
    void SetActivePage(int index);
    // Creates the window of a text or info page's editor in the document's view.
    bool CreatePageEditor(int index);

    // Inserts a page of the kind at the index (circuits; refused while an
    // analysis is active); null name: a fresh "Page n" / "Text n" / "Info".
    // The index, or -1 (15002 reported when out of memory).
    int InsertPage(int index, int kind, const char* name, int withUndo);
    // Appends a page (file readers); the new index, or -1 out of memory.
    int AppendPage(int kind, const char* name);
    // Deletes a page and, after asking, its objects; 1 when deleted.
    int DeletePage(int index);
    // Moves page s to the drop position t and remaps every page index.
    void MovePage(int source, int target);
    // Asks for a new name (dialog 12209); 1 when renamed.
    int RenamePage(int index);
    // Stores a new name for a page: cut to 40 characters, then refused with
    // 13515 (returned) when another page already has it. 0 when stored.
    int SetPageName(int index, const char* name);
    void FreePages();
    void AfterPagesRemoved();
    // Text and info page: every pane showing it goes to the first schematic page.
    void ResetPanesForPage(int index);
    // 1 when a pane's strip size changed.
    int FitTabStripSizes();
    // Exchanges the live page table with an undo copy (count and records).
    void SwapPageTable(PageRecord** table, int32_t* count);

    CCTView* MainCTView() const;

    // ---- fields, in order
    CDoc* analysisDocument = nullptr;
    ObjectPool objects;                            // SchematicObject
    ObjectPool gridTexts;                          // GridTextObject
    ComponentLibrary* localDefinitions = nullptr;  // Not yet built (component libraries)
    char fileName[kPathNameSize] = {};             // the path name without its folder
    ObjectDefaults defaultObject;                  // style of new graphic objects
    FontSpec textPageFont;                         // its colour is the text colour
    FontSpec textCommentColor;
    FontSpec textBackgroundColor;
    ObjectList paneLists[4 * kMaxPanes];  // display lists of the schematic view
    CircuitBuildState build;
    WindowPlacement analysisPlacement;
    WindowPlacement probePlacement;
    platform::Rect drawRects[2];
    int32_t analysisFlags[4] = {};
    int32_t lastAnalysisKind = -1;
    int32_t stimulusIndex = -1;
    void* libraryFiles = nullptr;  // Not yet built (model libraries)
    int32_t pageCount = 0;
    PageRecord* pages = nullptr;  // MemAlloc'd table
    int32_t paneCurrentPage[kMaxPanes] = {};
    int32_t paneCount = 0;
    int32_t paneFirstTab[kMaxPanes] = {};
    int32_t paneTabSize[kMaxPanes] = {};
    int32_t activePane = 0;
    void* bomSettings = nullptr;     // Not yet built (bill of materials)
    RecentList filterRecent;         // the filter designer's recent list (20 entries)
    void* filterSettings = nullptr;  // Not yet built (filter designer)
    int32_t sensitivityCount = 8;
    int32_t compilerState[4] = {};
    void* defineTable = nullptr;      // Not yet built (compiler)
    void* modelStatements = nullptr;  // Not yet built (models)
    int32_t arrayCount = 0;
    void* arrays = nullptr;    // Not yet built (compiler)
    void* warnings = nullptr;  // Not yet built (compiler)
    std::vector<SourceFileEntry> sourceFiles;
    void* nodeJoins = nullptr;  // Not yet built (compiler)
    int32_t nodeJoinCount = 0;
    int32_t dialect = 0;  // of the text; the program default at construction
    // Circuits: the remembered schematic and text pages (-1 none).
    int32_t activeSchematicPage = -1;
    int32_t activeTextPage = -1;
    // The analysis limits (document/cfanalysis.h): what a circuit file stores,
    // and what the statements of a SPICE text read into; freed with the document.
    AnalysisSettings* analysisSettings = nullptr;

protected:
    // Releases both object lists and the page table (destructor, reload).
    void FreeObjectLists();
};

// The run context's circuit document as a circuit-or-text document.
CCTDoc* CurrentCircuitDocument();
// Installs the document layer's answers to the core's questions about open
// documents and their page texts (core/textfile.h).
void InstallDocumentTextSource();
// Edit > Delete Page... of a circuit view: deletes the pages chosen in a list;
// the number deleted.
int DeletePagesCommand(CCTDoc* document);

// Views of circuit and text documents: one tab strip and scroll-bar pair per pane.
class CCTView : public CIOView {
public:
    explicit CCTView(int kind = kDocKindNone);
    ~CCTView() override;

    CCTDoc* GetCTDoc() const;
    CCirTabs* TabStrip(int pane) const { return pane >= 0 && pane < kMaxPanes ? tabs_[pane] : nullptr; }
    void InvalidateTabStrip(int pane);
    void InvalidateTabStrips();

    // Shows a page in the active pane (nothing when a visible pane shows it).
    void ShowPage(int index);
    void ShowPageInPane(int pane, int index);
    void ScrollTabIntoView(int index);
    PageRecord* GetPanePage(int pane);
    int GetActivePane();
    int GetFocusedTextPage();
    CTxtEditWnd* GetFocusedTextEditor();
    // A heap copy (FreeString) of the selected text of the focused text or
    // info page; "" when it has no selection; null when no editor has the focus.
    char* GetSelectedText();
    // Windows > Zoom-In (17504) / Zoom-Out (17505) of text pages.
    void ZoomText(int command);
    // The editor the shared Edit commands work on: a text window's text, or
    // a circuit's text page while it has the focus; null otherwise.
    CTxtEditWnd* TextModeEditor() const;
    // Smallest x and y of the selected objects and grid texts on the active
    // pane's page; (30000, 30000) when none (document/parts.cpp).
    void GetSelectionOrigin(platform::Point* out);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;

protected:
    void OnCreate() override;
    void OnDestroy() override;

private:
    CCirTabs* tabs_[kMaxPanes] = {};
};

class CCTFrame : public CIOFrame {
public:
    explicit CCTFrame(int kind = kDocKindNone) : CIOFrame(kind) {}
};

// The text zoom of a font height: Zoom-Out takes 1 from an absolute height
// above 2, Zoom-In adds 1 to one below 72; the sign stays.
int ZoomTextHeight(int height, bool zoomIn);
