#include "shell/smalldlgs.h"

#include "core/memory.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "platform/dialog.h"
#include "shell/document.h"
#include "shell/mainframe.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;

platform::Point sd_listPosition{-1, -1};
platform::Point sd_namePosition{-1, -1};

const MessageRow kSmallDialogMessages[] = {
    {kCmdListSelectAll, "Selects every item of the list.\nSelect all"},
    {kNameDlgEdit, "Enter Name"},
};

platform::DialogDesc sd_ListDescription(unsigned flags) {
    platform::DialogDesc desc;
    desc.cx = 200;
    desc.cy = 150;
    desc.controls.push_back(
        ControlDesc{ControlKind::ListBox, kListSelectList, "", 7, 7, 186, 112,
                    platform::style::MultiSelect | ((flags & kListSelectSorted) ? platform::style::Sorted : 0u)});
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 7, 127, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Cancel, "Cancel", 75, 127, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Help, "&Help...", 143, 127, 50, 14, 0});
    return desc;
}

class NameDialog : public CDialog2 {
public:
    NameDialog(platform::Window* parent, std::string& text)
        : CDialog2(kNameDlgTemplate, &sd_namePosition, parent), text_(text) {
        platform::DialogDesc desc;
        desc.caption = "Name";
        desc.cx = 180;
        desc.cy = 60;
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, "Enter Name", 7, 7, 166, 8, 0});
        desc.controls.push_back(ControlDesc{ControlKind::Edit, kNameDlgEdit, "", 7, 18, 166, 12, 0});
        desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 40, 38, 45, 14, 0});
        desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Cancel, "Cancel", 95, 38, 45, 14, 0});
        SetDescription(std::move(desc));
    }
    bool OnInitDialog() override {
        CDialog2::OnInitDialog();
        SetText(kNameDlgEdit, text_);
        FocusControl(kNameDlgEdit);
        SelectText(kNameDlgEdit, 0, -1);
        return false;
    }
    void OnOK() override {
        text_ = GetText(kNameDlgEdit);
        CDialog2::OnOK();
    }

private:
    std::string& text_;
};

}  // namespace

// ---- CListSelectDlg ----------------------------------------------------------------------------

CListSelectDlg::CListSelectDlg(platform::Window* parent, unsigned templateId)
    : CDialog2(templateId, &sd_listPosition, parent) {}

CListSelectDlg::~CListSelectDlg() { MemFree(selection); }

int CListSelectDlg::DoModal() {
    SetDescription(sd_ListDescription(flags));
    MemFree(selection);
    selection = nullptr;
    selectionCount = 0;
    noMemory_ = false;
    const int result = CDialog2::DoModal();
    if (!noMemory_) return result;
    Reporter().Report(Message(kResultNoMemory));
    return platform::dlgid::Cancel;
}

bool CListSelectDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    Reset(kListSelectList);
    for (size_t i = 0; i < items.size(); ++i) {
        const int at = Add(kListSelectList, items[i]);
        SetItemData(kListSelectList, at, static_cast<intptr_t>(i));
    }
    if (selectAll) {
        for (int i = 0; i < Count(kListSelectList); ++i) SetItemSelected(kListSelectList, i, true);
    } else if (initialSelection >= 0 && initialSelection < Count(kListSelectList)) {
        SetItemSelected(kListSelectList, initialSelection, true);
    }
    if (!title.empty()) SetTitle(title);
    if (flags & kListSelectTwoColumns) {
        const int width = GetItemRect(kListSelectList).Width();
        const int base = BaseUnits().cx > 0 ? BaseUnits().cx : 1;
        SetTabStops(kListSelectList, 2 * width / base);
    }
    return true;
}

void CListSelectDlg::OnOK() {
    const std::vector<int> chosen = GetSelectedItems(kListSelectList);
    MemFree(selection);
    selection = nullptr;
    selectionCount = 0;
    if (!chosen.empty()) {
        selection = static_cast<int32_t*>(MemAllocZero(chosen.size() * sizeof(int32_t)));
        if (!selection) {
            noMemory_ = true;
            EndDialogSavingRect(platform::dlgid::Cancel);
            return;
        }
        selectionCount = static_cast<int>(chosen.size());
        for (int i = 0; i < selectionCount; ++i)
            selection[i] = (flags & kListSelectReportPositions)
                               ? static_cast<int32_t>(GetItemData(kListSelectList, chosen[i]))
                               : static_cast<int32_t>(chosen[i]);
    }
    EndDialogSavingRect(platform::dlgid::Ok);
}

bool CListSelectDlg::OnCommand(int id) {
    if (id == kCmdListSelectAll) {
        for (int i = 0; i < Count(kListSelectList); ++i) SetItemSelected(kListSelectList, i, true);
        return true;
    }
    return CDialog2::OnCommand(id);
}

CDoc* ChooseDocumentWindow(platform::Window* parent) {
    std::vector<CDoc*> documents;
    CListSelectDlg dialog(parent);
    dialog.title = "Select Window";
    for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument()) {
        if (!doc->MainView()) continue;
        documents.push_back(doc);
        dialog.items.push_back(doc->PathName());
    }
    dialog.flags = kListSelectReportPositions;
    CDoc* active = GetActiveDocument();
    dialog.initialSelection = -1;
    for (size_t i = 0; i < documents.size(); ++i)
        if (documents[i] == active) dialog.initialSelection = static_cast<int>(i);
    if (dialog.DoModal() != platform::dlgid::Ok || dialog.selectionCount < 1) return nullptr;
    const int index = dialog.selection[0];
    if (index < 0 || index >= static_cast<int>(documents.size())) return nullptr;
    CDoc* chosen = documents[index];
    // The list was taken before the dialog ran; the window may have gone since.
    for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument()) {
        if (doc != chosen) continue;
        if (doc->MainView()) doc->MainView()->ActivateFrame();
        return doc;
    }
    return nullptr;
}

int ChooseWindowsToDelete(ObjectList& windows, const char* caption, platform::Window* parent) {
    std::vector<CDoc*> documents;
    CListSelectDlg dialog(parent);
    dialog.title = caption ? caption : "";
    dialog.initialSelection = -1;
    dialog.flags = kListSelectReportPositions;
    for (ListNode* node = windows.first; node; node = node->windowLink.next) {
        auto* document = dynamic_cast<CDoc*>(node);
        if (!document) continue;
        documents.push_back(document);
        dialog.items.push_back(document->PathName());
    }
    if (dialog.DoModal() != platform::dlgid::Ok) return 0;
    int closed = 0;
    for (int i = dialog.selectionCount - 1; i >= 0; --i) {
        const int index = dialog.selection[i];
        if (index < 0 || index >= static_cast<int>(documents.size())) continue;
        // Closing one window may take others of the list with it.
        if (!windows.ContainsWindow(documents[index])) continue;
        windows.RemoveWindow(documents[index]);
        documents[index]->OnCloseDocument();
        ++closed;
    }
    return closed;
}

int RunNameDialog(platform::Window* parent, std::string& text) {
    NameDialog dialog(parent, text);
    return dialog.DoModal() == platform::dlgid::Ok ? 1 : 2;
}

// ---- list and combo helpers ----------------------------------------------------------------------

void ComboSetSelNumber(platform::ControlPanel& panel, int id, int number) {
    if (number == -1) {
        panel.SetSel(id, -1);
        return;
    }
    if (number >= 1 && number <= panel.Count(id))
        panel.SetSel(id, number - 1);
    else
        panel.SetSel(id, panel.Count(id) > 0 ? 0 : -1);
}

int ComboGetSelNumber(const platform::ControlPanel& panel, int id) {
    const int sel = panel.GetSel(id);
    return sel < 0 ? -1 : sel + 1;
}

int ComboAddItem(platform::ControlPanel& panel, int id, const std::string& text, intptr_t data) {
    const int at = panel.Add(id, text);
    if (at >= 0) panel.SetItemData(id, at, data);
    return at;
}

intptr_t ComboGetSelData(const platform::ControlPanel& panel, int id) {
    const int sel = panel.GetSel(id);
    return sel < 0 ? -1 : panel.GetItemData(id, sel);
}

int ComboSelectString(platform::ControlPanel& panel, int id, const std::string& text) {
    for (int i = 0; i < panel.Count(id); ++i) {
        if (panel.GetItemText(id, i) != text) continue;
        panel.SetSel(id, i);
        return i;
    }
    return -1;
}

void ComboFillNumbers(platform::ControlPanel& panel, int id, int n, int number) {
    for (int i = 1; i <= n; ++i) panel.Add(id, std::to_string(i));
    if (number >= 0) ComboSetSelNumber(panel, id, number);
}

void FillComboBox(platform::ControlPanel& panel, int id, const std::vector<std::string>& texts, int selected) {
    panel.Reset(id);
    for (size_t i = 0; i < texts.size(); ++i) ComboAddItem(panel, id, texts[i], static_cast<intptr_t>(i));
    panel.SetSel(id, selected >= 0 && selected < panel.Count(id) ? selected : -1);
}

int ListBoxGetSelText(const platform::ControlPanel& panel, int id, std::string* text) {
    const int sel = panel.GetSel(id);
    if (text) *text = sel < 0 ? std::string() : panel.GetItemText(id, sel);
    return sel;
}

int ListViewGetFirstSelected(const platform::ControlPanel& panel, int id) {
    const std::vector<int> rows = panel.GetSelectedItems(id);
    return rows.empty() ? -1 : rows.front();
}

void RegisterSmallDialogMessages() {
    RegisterMessages(kSmallDialogMessages,
                     static_cast<int>(sizeof kSmallDialogMessages / sizeof kSmallDialogMessages[0]));
}
