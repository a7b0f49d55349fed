// Small dialogs and control helpers many dialogs share: the list-selection
// dialog, the one-field name dialog, and one-line operations on list boxes and
// combo boxes addressed by control id.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/pool.h"
#include "shell/dialogs.h"

class CDoc;

// ---- the list-selection dialog ------------------------------------------------------------

constexpr int kListSelectTemplate = 12208;
constexpr int kListSelectList = 109;
constexpr int kCmdListSelectAll = 1422;

// CListSelectDlg::flags bits.
constexpr unsigned kListSelectReportPositions = 0x01;  // selection holds positions in the caller's array
constexpr unsigned kListSelectTwoColumns = 0x02;       // one tab stop for "name\tvalue" texts
constexpr unsigned kListSelectSorted = 0x04;           // the list sorts its items

// Chooses some of the caller's texts. The caller fills the fields, runs it
// and reads the selection; all such dialogs share one remembered position.
class CListSelectDlg : public CDialog2 {
public:
    explicit CListSelectDlg(platform::Window* parent = nullptr, unsigned templateId = kListSelectTemplate);
    ~CListSelectDlg() override;

    std::string title;
    std::vector<std::string> items;
    int initialSelection = 0;  // -1 none
    bool selectAll = false;
    unsigned flags = 0;

    // After OK: the chosen list positions, or with kListSelectReportPositions
    // the positions in `items`. The count is 0 and the array null when none
    // (or when the array could not be had: the dialog then reports 15002 and
    // answers Cancel instead of handing back a selection it does not have).
    int selectionCount = 0;
    int32_t* selection = nullptr;

    int DoModal();
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id) override;

private:
    bool noMemory_ = false;
};

// "More Windows...": every document window in a list; the chosen one comes to
// the front. The document, or null when cancelled.
CDoc* ChooseDocumentWindow(platform::Window* parent);

// The windows of an analysis-window list by title (the shared list dialog
// with the caption); the chosen ones close, the last chosen first. The number
// closed.
int ChooseWindowsToDelete(ObjectList& windows, const char* caption, platform::Window* parent);

// ---- the name dialog --------------------------------------------------------------------

// One text edited in place (a group name, a page name): template 326,
// caption "Name", prompt "Enter Name", edit 116; the whole text is selected
// when it opens. 1 with `text` changed after OK, 2 when cancelled.
constexpr int kNameDlgTemplate = 326;
constexpr int kNameDlgEdit = 116;
int RunNameDialog(platform::Window* parent, std::string& text);

// ---- list and combo helpers (numbers are 1-based positions) ----------------------------------

// Selects item number - 1; when there is none the first item; -1 clears.
void ComboSetSelNumber(platform::ControlPanel& panel, int id, int number);
// The selected position + 1, or -1.
int ComboGetSelNumber(const platform::ControlPanel& panel, int id);
// Adds the text with its data; the new index.
int ComboAddItem(platform::ControlPanel& panel, int id, const std::string& text, intptr_t data);
// Item data of the selection, or -1.
intptr_t ComboGetSelData(const platform::ControlPanel& panel, int id);
// Selects the item whose text is exactly `text`; its index or -1.
int ComboSelectString(platform::ControlPanel& panel, int id, const std::string& text);
// Adds "1" .. "n" and, when number is not negative, selects as ComboSetSelNumber.
void ComboFillNumbers(platform::ControlPanel& panel, int id, int n, int number);
// Empties the control and adds the texts in order with their positions as data;
// selects `selected` (-1 none).
void FillComboBox(platform::ControlPanel& panel, int id, const std::vector<std::string>& texts, int selected);
// The selected item's text ("" when none); returns its index or -1.
int ListBoxGetSelText(const platform::ControlPanel& panel, int id, std::string* text);
// The first selected row of a list view, or -1.
int ListViewGetFirstSelected(const platform::ControlPanel& panel, int id);

void RegisterSmallDialogMessages();
