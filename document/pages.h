// Pages of circuit and text documents, and the page tab strip under each pane.
//
// A document's pages are a table of PageRecords: schematic pages hold the drawn
// objects (every object and grid text carries its page index), text pages SPICE
// text, info pages the program's info text. The page operations themselves are
// members of CCTDoc (document/ctdoc.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/window.h"

class CCTDoc;
class CDoc;
class CMDIView;
class CTxtEditWnd;
struct FontSpec;

constexpr int kPageSchematic = 0;
constexpr int kPageText = 1;
constexpr int kPageInfo = 2;

constexpr int kMaxPanes = 4;
// More pages than any drawing needs; a file naming a page beyond it is refused
// rather than made to allocate (and save) that many pages.
constexpr int kMaxPageCount = 1000;
constexpr int kPageNameMax = 40;        // a page name is kept to this many characters
constexpr int kPageEditorIdBase = 101;  // editor window id = 101 + page index
constexpr int kTabStripIdBase = 12363;  // tab strip id = 12363 + pane

// Page commands.
namespace pagecmd {
constexpr int AddPage = 12200;  // also Add Schematic Page of the tab strip
constexpr int AddTextPage = 12201;
constexpr int AddInfoPage = 12202;
constexpr int DeletePage = 12208;
constexpr int RenamePage = 12209;
}  // namespace pagecmd

// One page. A plain record: the table and undo copies are copied bytewise, and
// the owned pointers (editor, name, texts) are handed over or duplicated
// explicitly.
struct PageRecord {
    int32_t kind;         // kPageSchematic, kPageText, kPageInfo
    CTxtEditWnd* editor;  // text and info pages; owned
    int32_t scrollX[kMaxPanes];
    int32_t scrollY[kMaxPanes];
    double scale[kMaxPanes];  // 1.0 for a new page
    int32_t grid[2];
    int32_t words[4];
    char* name;               // heap text
    int32_t printPreview[4];  // one per analysis kind
    int32_t printPreviewMore;
    double printRange[4][4];  // one block per analysis kind
    int32_t print;            // printed: 1 for new schematic pages
    char* copiedText;         // undo copies only: the editor's text
    int32_t copiedSelStart;
    int32_t copiedSelEnd;
    char* storedText;  // text of a page without an editor (hidden circuits)
    int32_t spare;
};

// Frees what a record owns (name, texts; the editor is destroyed) and zeroes it.
void FreePageRecord(PageRecord* page);
// Copies a record for an undo snapshot: name duplicated, the editor's text and
// selection (or the stored text) copied, no editor. False when out of memory.
bool CopyPageRecord(PageRecord* target, const PageRecord& source);

// ---- the text editor of text and info pages ------------------------------------------

// The text editor window belongs to the text documents, built after this
// layer. Until it is installed pages get no editor (Create answers null) and
// keep their text in the record's stored text, so nothing is lost; the other
// operations are only asked of an editor Create made.
class TextEditorPort {
public:
    virtual ~TextEditorPort() = default;
    virtual CTxtEditWnd* Create() = 0;
    virtual void Destroy(CTxtEditWnd* editor) = 0;
    // Creates the editor's window as a child of the view; false on failure.
    virtual bool CreateWindow(CTxtEditWnd* editor, CMDIView* parent, int id) = 0;
    virtual bool HasWindow(CTxtEditWnd* editor) = 0;
    virtual long GetTextLength(CTxtEditWnd* editor) = 0;
    // The whole text, valid until it changes.
    virtual const char* GetTextBuffer(CTxtEditWnd* editor) = 0;
    // A heap copy of the whole text (free with FreeString).
    virtual char* DuplicateText(CTxtEditWnd* editor) = 0;
    virtual void SetText(CTxtEditWnd* editor, const char* text) = 0;
    virtual void GetSel(CTxtEditWnd* editor, int32_t* start, int32_t* end) = 0;
    virtual void SetSel(CTxtEditWnd* editor, int32_t start, int32_t end) = 0;
    virtual void SetFont(CTxtEditWnd* editor, const FontSpec& font, bool redraw) = 0;
    virtual void SetReadOnly(CTxtEditWnd* editor, bool readOnly) = 0;
    virtual void Repaint(CTxtEditWnd* editor) = 0;
    virtual void Focus(CTxtEditWnd* editor) = 0;
    virtual bool HasFocus(CTxtEditWnd* editor) = 0;
    virtual void HideScrollBars(CTxtEditWnd* editor) = 0;
    // Selects the SPICE statement at a character position.
    virtual void SelectSpiceStatement(CTxtEditWnd* editor, long position) = 0;
    // The program's info text for info pages.
    virtual const char* InfoText() = 0;
    // The shared Edit commands (Cut, Copy, Paste, Clear, Select All, Undo,
    // Redo) on the editor; false when it took none.
    virtual bool RunEditCommand(CTxtEditWnd* editor, int command) = 0;
    // Whether the editor's own history has a step to undo (or redo).
    virtual bool CanUndo(CTxtEditWnd* editor, bool redo) = 0;
    virtual bool HasSelection(CTxtEditWnd* editor) = 0;
};
TextEditorPort& TextEditor();
// Returns the editor installed before; nullptr restores the null object.
TextEditorPort* InstallTextEditor(TextEditorPort* port);

// ---- the page tab strip ---------------------------------------------------------------

// The strip under one pane: scroll buttons on the left, the page tabs, a size
// grip on the right. Its window id is 12363 + pane.
class CCirTabs : public platform::Window {
public:
    CCirTabs(CCTDoc* document, int pane);
    ~CCirTabs() override;

    int Pane() const { return pane_; }
    CCTDoc* Document() const { return document_; }

    // Geometry, in strip coordinates (h = client height).
    static int ScrollButtonX(int h, int button);  // button 1-4
    static int TabsLeft(int h) { return 4 * h - 4; }
    // The page whose tab is under x, or -1.
    int HitTest(int x, int y) const;
    // Width of a page's tab (its name in the bold font, plus 2).
    int TabWidth(int page) const;
    // Total width of the tabs from `firstTab` on, with the scroll buttons.
    int NeededWidth(int firstTab) const;

protected:
    void OnPaint(platform::DrawSurface& surface, const platform::Rect& update) override;
    void OnMouseDown(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnMouseMove(platform::Point p, unsigned keyFlags) override;
    void OnMouseUp(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnDoubleClick(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;

private:
    void RunContextMenu(platform::Point p, int pressedPage);

    CCTDoc* document_;
    int pane_;
};

// The strips' window class is registered at start-up and unregistered at exit.
bool RegisterTabStripClass();
void UnregisterTabStripClass();
