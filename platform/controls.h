// Controls of dialogs and property pages: their kinds, style bits, the compact
// description a panel is built from, and the notifications they send.
//
// Controls are addressed by integer id inside their panel, as the program's
// dialogs have always addressed them. Positions in a description are dialog
// units (a quarter of the dialog font's average character width across, an
// eighth of its height down), so dialogs laid out as fixed tables keep their
// proportions with any font.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/image.h"
#include "platform/types.h"

namespace platform {

enum class ControlKind : uint8_t {
    Static,         // one or more lines of text; never takes the focus
    GroupBox,       // frame with a caption around other controls
    Button,         // push button
    DefaultButton,  // push button pressed by Enter
    CheckBox,
    RadioButton,  // groups run from a control with the Group style to the next one
    Edit,         // single or multi-line text field
    ListBox,      // single/multi-select list, optionally with check boxes
    ComboBox,     // drop-down list or editable combo
    Spin,         // up/down arrows that step a number in a buddy edit
    Tab,          // a row of tabs (the panel below is the caller's business)
    Tree,         // tree of items with text and data
    ListView,     // report-mode list: columns, rows, cell texts
    ScrollBar,
    OwnerButton,  // push button drawn by the panel's OnDrawItem
    ColorSwatch,  // push button that shows a colour
    Progress,     // progress bar
    RichText,     // read-only text with coloured and bold runs
    RichEdit,     // editable text whose characters carry colour and bold; typing and pasting give plain text;
                  // without MultiLine, Enter and the Up/Down/Page keys go to the panel
    Icon,         // a standard icon (see StandardIcon)
};

// Style bits. Bits 0-7 apply to every kind; from bit 8 up their meaning
// depends on the kind, so the same bit is reused between kinds.
namespace style {
constexpr uint32_t Disabled = 1u << 0;   // created disabled
constexpr uint32_t Hidden = 1u << 1;     // created hidden
constexpr uint32_t Group = 1u << 2;      // first control of a radio group
constexpr uint32_t NoTabStop = 1u << 3;  // left out of Tab key order
constexpr uint32_t Border = 1u << 4;     // sunken frame (statics, icons)
// Static (long lines wrap at word breaks unless NoWrap)
constexpr uint32_t Center = 1u << 8;
constexpr uint32_t Right = 1u << 9;
constexpr uint32_t NoPrefix = 1u << 11;  // "&" is shown as it is, not as a mnemonic
// Edit
constexpr uint32_t MultiLine = 1u << 8;
constexpr uint32_t ReadOnly = 1u << 9;
constexpr uint32_t Password = 1u << 10;
constexpr uint32_t Number = 1u << 11;      // accepts digits only (and a leading minus)
constexpr uint32_t WantReturn = 1u << 12;  // Enter makes a new line instead of pressing the default button
constexpr uint32_t NoWrap = 1u << 13;      // multi-line edits and statics: no word wrap
// ListBox
constexpr uint32_t MultiSelect = 1u << 8;  // extended selection (Shift/Ctrl)
constexpr uint32_t CheckList = 1u << 9;    // every item carries a check box
constexpr uint32_t Sorted = 1u << 10;      // Add inserts in alphabetical order (also ComboBox)
constexpr uint32_t OwnerDraw = 1u << 11;   // items drawn by OnDrawItem (also ComboBox)
// ComboBox
constexpr uint32_t Editable = 1u << 8;  // an edit field plus a drop-down; without it a drop-down list
// ScrollBar, Spin
constexpr uint32_t Vertical = 1u << 8;  // scroll bars are horizontal without it; spins are vertical always
// Spin
constexpr uint32_t AutoBuddy = 1u << 9;  // the buddy edit is the control just before the spin in the description
}  // namespace style

// One control of a panel. Width and height of 0 take the control's natural size.
struct ControlDesc {
    ControlKind kind = ControlKind::Static;
    int id = 0;                        // 0 (or -1) for statics and frames that are never addressed
    std::string text;                  // caption, initial text; "&" marks the mnemonic for buttons and statics
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    uint32_t styles = 0;               // style:: bits
};

// A whole panel: dialog caption, its size in dialog units and its controls.
struct DialogDesc {
    std::string caption;
    int cx = 0, cy = 0;    // client size in dialog units
    std::string fontFace;  // empty: the system's dialog font
    int fontPoints = 0;    // 0: the system's dialog font size
    std::vector<ControlDesc> controls;
};

// What a control tells its panel; routed to OnControl(id, notification).
enum class Notify : uint8_t {
    Clicked,        // buttons, check boxes, radios, swatches; Enter/Esc route to ids 1/2
    DoubleClicked,  // list box, list view, tree items; buttons double clicked
    TextChanged,    // edit text (a spin's buddy too), editable combo text
    SelChanged,     // list, combo, tab, tree, list view selection; scroll bar and spin position
    FocusIn,
    FocusOut,
    CheckChanged,  // a check-list item's box toggled; that item becomes the selected one (GetSel)
    DropDown,      // a combo's list opens (fill late lists here)
    RightButton,   // a field that reports its right button (expression fields' 0x700); sent by its hook
};

enum class StandardIcon : uint8_t { None, Error, Warning, Information, Question, Application };

// Handle of a tree item; 0 is the (invisible) root.
using TreeItem = intptr_t;

// What an owner-drawn control or item asks OnDrawItem to paint.
struct DrawItemInfo {
    int id = 0;     // control id
    int item = -1;  // list/combo item index; -1 for buttons and an empty combo
    Rect rect;      // in the surface's coordinates
    bool selected = false;
    bool focused = false;
    bool disabled = false;
    bool pressed = false;  // owner-drawn buttons
    DrawSurface* surface = nullptr;
};

enum class ColumnAlign : uint8_t { Left, Center, Right };

class PromptStrip;  // platform/dialog.h
class ControlPanel;

// The character format of a run of a rich edit: colour and weight. An
// automatic colour is the control's ordinary text colour.
struct CharFormat {
    bool autoColor = true;
    Color color = 0;  // when !autoColor
    bool bold = false;
    bool operator==(const CharFormat& o) const {
        return autoColor == o.autoColor && bold == o.bold && (autoColor || color == o.color);
    }
};
struct FormatRun {
    int start = 0, length = 0;  // characters
    CharFormat format;
};

// A control's own reaction to what happens to it, ahead of its panel: what a
// control class that handles its own notifications attaches to one control.
// The attachment ends when either side goes.
class ControlHook {
public:
    ControlHook() = default;
    virtual ~ControlHook();
    ControlHook(const ControlHook&) = delete;
    ControlHook& operator=(const ControlHook&) = delete;

    ControlPanel* HookPanel() const { return panel_; }
    int HookId() const { return id_; }
    // The text of an edit or rich edit changed, by the user or by code
    // (formatting alone is no change).
    virtual void OnHookTextChanged() {}
    // The right button went down on a rich edit, which has taken the focus;
    // `screen` is the pointer. The control's default handling follows.
    virtual void OnHookRightButton(Point screen) { (void)screen; }

private:
    friend class ControlPanel;
    ControlPanel* panel_ = nullptr;
    int id_ = 0;
};

// Flags of ControlPanel::MeasureText.
namespace measure {
constexpr unsigned WordBreak = 1;   // wrap at the given width
constexpr unsigned ExpandTabs = 2;  // tabs to the control's tab stops (8 characters otherwise)
constexpr unsigned NoPrefix = 4;    // "&" counts as a character
}  // namespace measure

// A panel of controls built from a DialogDesc and addressed by control id: the
// client area of a Dialog, or a PropertyPage. Every by-id operation on an id
// that does not exist, or on a control of a kind it does not fit, does nothing
// and returns the empty value (0, "", -1, false); so does every operation
// before the panel is built.
//
// Notifications come from the user only: setting a value from code does not
// call OnControl, so filling a dialog in OnInitDialog never marks it changed.
// The User* operations act as the user would (tests and the demo player).
class ControlPanel {
public:
    ControlPanel();
    explicit ControlPanel(DialogDesc desc);
    virtual ~ControlPanel();
    ControlPanel(const ControlPanel&) = delete;
    ControlPanel& operator=(const ControlPanel&) = delete;

    // --- Description and building
    // Takes effect at the next building (DoModal, CreateModeless, page creation).
    void SetDescription(DialogDesc desc);
    const DialogDesc& Description() const;
    bool IsBuilt() const;
    // Adds a control to a built panel: dialog units, or pixels of the panel.
    bool AddControl(const ControlDesc& desc);
    bool AddControlPixels(const ControlDesc& desc, const Rect& pixels);
    bool RemoveControl(int id);

    // --- Enumeration
    bool HasControl(int id) const;
    ControlKind KindOf(int id) const;  // Static for an unknown id (check HasControl)
    uint32_t StylesOf(int id) const;
    std::vector<int> ControlIds() const;  // in creation (tab) order; ids 0 and -1 left out

    // --- Geometry (pixels, panel client coordinates)
    // Dialog units to pixels with the panel's font (x by the average character
    // width / 4, y by the font height / 8).
    Rect MapDialogRect(const Rect& dialogUnits) const;
    int DialogUnitsToPixelsX(int x) const;
    int DialogUnitsToPixelsY(int y) const;
    int PixelsToDialogUnitsX(int px) const;
    int PixelsToDialogUnitsY(int px) const;
    Size BaseUnits() const;          // average character width, font height (pixels)
    Rect GetItemRect(int id) const;  // empty when the control does not exist
    void MoveControl(int id, const Rect& pixels);
    Size PanelSize() const;  // the panel's client size in pixels
    // The room the control needs to show the whole of its text or value (a
    // combo its current item) in its own font; empty for an unknown id.
    Size NaturalSize(int id) const;
    // What keeps a person from reading the built panel, one line each: a shown
    // control whose text or value is cut off, one that covers another shown
    // control, or one that reaches outside the panel. Empty when all reads well.
    std::vector<std::string> LayoutFaults() const;

    // --- Fonts and text measurement
    FontDesc PanelFont() const;
    void SetControlFont(int id, const FontDesc& font);  // height in pixels (negative: character height)
    FontDesc GetControlFont(int id) const;
    int ControlLineHeight(int id) const;  // one line of the control's font
    // Size of `text` in the control's font; width 0 measures without wrapping.
    Size MeasureText(int id, const std::string& text, int width = 0, unsigned flags = 0) const;
    void SetTabStops(int id, int dialogUnits);  // multi-line edits: one tab stop every so many units

    // --- State
    void EnableControl(int id, bool enable = true);
    bool IsControlEnabled(int id) const;
    void ShowControl(int id, bool show = true);
    bool IsControlVisible(int id) const;  // the control's own visibility flag
    void FocusControl(int id);
    int FocusedId() const;  // 0 when no control of the panel has the focus
    void SetReadOnly(int id, bool readOnly = true);

    // --- Texts and numbers
    // Edits, statics, buttons, group boxes, editable combos (their edit text),
    // drop-down combos (selects the item with that text), rich text (plain).
    void SetText(int id, const std::string& text);
    std::string GetText(int id) const;
    void SetInt(int id, int value);
    // The text as a signed decimal number (blanks around allowed); 0 and
    // *ok = false when it is not one or out of range.
    int GetInt(int id, bool* ok = nullptr) const;
    void SetLimitText(int id, int maxChars);
    void SelectText(int id, int start, int end);  // edits; end -1 selects to the end
    // An edit's selection in characters; start == end is the caret alone.
    void GetTextSelection(int id, int* start, int* end) const;

    // --- Check boxes and radio buttons (0 clear, 1 ticked)
    void SetCheck(int id, int state);
    int GetCheck(int id) const;
    // Ticks `id` and clears the other radio buttons with ids first..last.
    void CheckRadio(int first, int last, int id);
    int GetCheckedRadio(int first, int last) const;  // 0 when none is ticked

    // --- Lists: list boxes, combo boxes, tab controls and list-view rows
    void Reset(int id);                                      // removes every item (tree items too)
    int Add(int id, const std::string& text);                // index of the new item; sorted lists insert in order
    int Insert(int id, int index, const std::string& text);  // index -1 appends
    bool Delete(int id, int index);
    int Count(int id) const;
    std::string GetItemText(int id, int index) const;
    void SetItemText(int id, int index, const std::string& text);
    int FindItem(int id, const std::string& text, bool exact = true) const;  // without regard to case; -1 none
    // Single selection: selects `index` alone (-1 clears). Multi-select lists:
    // GetSel is the focused (caret) item.
    void SetSel(int id, int index);
    int GetSel(int id) const;
    void SetItemSelected(int id, int index, bool selected);  // multi-select
    bool IsItemSelected(int id, int index) const;
    std::vector<int> GetSelectedItems(int id) const;  // ascending
    void SetItemData(int id, int index, intptr_t data);
    intptr_t GetItemData(int id, int index) const;
    void SetItemChecked(int id, int index, bool checked);  // check lists
    bool IsItemChecked(int id, int index) const;

    // --- Report-mode list views (rows are the list items above)
    int AddColumn(int id, const std::string& title, int widthPixels, ColumnAlign align = ColumnAlign::Left);
    int ColumnCount(int id) const;
    void SetCellText(int id, int row, int column, const std::string& text);
    std::string GetCellText(int id, int row, int column) const;

    // --- Trees
    TreeItem TreeInsert(int id, TreeItem parent, const std::string& text, intptr_t data = 0);
    bool TreeDelete(int id, TreeItem item);
    std::string TreeText(int id, TreeItem item) const;
    void TreeSetText(int id, TreeItem item, const std::string& text);
    intptr_t TreeData(int id, TreeItem item) const;
    TreeItem TreeParent(int id, TreeItem item) const;
    std::vector<TreeItem> TreeChildren(int id, TreeItem item) const;  // 0: the top-level items
    void TreeExpand(int id, TreeItem item, bool expand = true);
    bool TreeIsExpanded(int id, TreeItem item) const;
    void TreeSelect(int id, TreeItem item);  // 0 clears
    TreeItem TreeSelection(int id) const;

    // --- Ranges and positions: spin buttons, scroll bars, progress bars
    void SetRange(int id, int low, int high);
    int GetRangeLow(int id) const;
    int GetRangeHigh(int id) const;
    // Spin: also writes the number into its buddy edit.
    void SetPos(int id, int pos);
    // Spin: the buddy's number when it parses, clamped to the range.
    int GetPos(int id) const;
    void SetPageSize(int id, int page);  // scroll bars
    void SetBuddy(int spinId, int editId);

    // --- Rich edits (selection and text as for edits: SelectText, GetTextSelection, SetText)
    int TextLength(int id) const;  // characters of an edit or rich edit
    // Formats characters [start, end) (end -1: to the end).
    void SetCharFormat(int id, int start, int end, const CharFormat& format);
    // The text's runs of equal format, in order, covering every character.
    std::vector<FormatRun> GetFormatRuns(int id) const;
    // Off: changes are not painted; on: painted again, once.
    void SetRedraw(int id, bool on);
    // Lines wrap at the control's width, or never (multi-line edits, rich edits).
    void SetLineWrap(int id, bool wrap);
    // Edits and rich edits: the caret scrolled into view.
    void ScrollCaretIntoView(int id);
    // What the control looks like now (a null image for no control).
    Image GrabControl(int id) const;
    // Attaches a hook to a control (null detaches); a hook serves one control.
    // False when there is no such control.
    bool SetControlHook(int id, ControlHook* hook);
    // Routes a notification to OnControl as the control itself would.
    void NotifyParent(int id, Notify what);

    // --- Colour swatches, rich text, icons, buttons
    void SetColor(int id, Color color);
    Color GetColor(int id) const;
    void AppendRichText(int id, const std::string& text, Color color, bool bold = false);
    void SetIcon(int id, StandardIcon icon);
    static Size StandardIconSize();  // 32 x 32
    void SetDefaultButton(int id);   // 0: none
    int DefaultButton() const;
    void Redraw(int id);                     // owner-drawn controls paint again
    void SetItemHeight(int id, int pixels);  // owner-drawn list and combo items

    // --- Acting as the user: change, then notify as a real action would.
    // Buttons are clicked (check boxes toggle, radios tick and clear their group).
    void UserClick(int id);
    void UserSetText(int id, const std::string& text);
    void UserSelect(int id, int index);  // lists, combos, tabs, list views
    void UserDoubleClick(int id, int index = -1);
    void UserToggleItemCheck(int id, int index);
    // A right button press (and release) in the middle of the control.
    void UserRightButton(int id);

    // --- Prompts: the strip that shows this panel's control prompts
    void LinkPromptStrip(PromptStrip* strip);
    PromptStrip* LinkedPromptStrip() const;

    // --- Overridables
    // A control's notification (user actions only). Clicks on ids 1 and 2
    // never get here in a Dialog: they call OnOK and OnCancel.
    virtual void OnControl(int id, Notify what);
    // Owner-drawn buttons and list/combo items; the default fills the rect.
    virtual void OnDrawItem(DrawItemInfo& item);
    // The pointer went over a control, or a control got the focus (id 0: the
    // panel's own background). The default shows the prompt for the id on the
    // linked prompt strip.
    virtual void OnPrompt(int id);

    struct Impl;
    Impl* panelImpl() const { return impl_.get(); }

protected:
    // Clicks of buttons: the default calls OnControl. Dialog routes 1/2 to OnOK/OnCancel.
    virtual void OnButtonClicked(int id);

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
