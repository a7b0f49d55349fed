#include "text/finddlg.h"

#include "document/ctdoc.h"
#include "platform/app.h"
#include "text/editwnd.h"
#include "text/find.h"

using platform::ControlKind;
using platform::dlgid::Cancel;
using platform::dlgid::Help;
using platform::dlgid::Ok;

namespace {

platform::DialogDesc fdd_FindDesc() {
    platform::DialogDesc d;
    d.caption = "Search";
    d.cx = 250;
    d.cy = 62;
    d.controls = {
        {ControlKind::Static, 0, "Fi&nd what:", 7, 9, 45, 8, 0},
        {ControlKind::ComboBox, finddlg::SearchCombo, "", 55, 7, 128, 80, platform::style::Editable},
        {ControlKind::CheckBox, finddlg::WholeWord, "Whole &Word", 7, 28, 80, 10, 0},
        {ControlKind::DefaultButton, Ok, "OK", 193, 7, 50, 14, 0},
        {ControlKind::Button, Cancel, "Cancel", 193, 24, 50, 14, 0},
        {ControlKind::Button, Help, "Help", 193, 41, 50, 14, 0},
    };
    return d;
}

platform::DialogDesc fdd_ReplaceDesc() {
    platform::DialogDesc d;
    d.caption = "Replace";
    d.cx = 260;
    d.cy = 96;
    d.controls = {
        {ControlKind::Static, 0, "Fi&nd what:", 7, 9, 45, 8, 0},
        {ControlKind::ComboBox, finddlg::SearchCombo, "", 55, 7, 138, 80, platform::style::Editable},
        {ControlKind::Static, 0, "Re&place with:", 7, 27, 45, 8, 0},
        {ControlKind::ComboBox, finddlg::ReplaceCombo, "", 55, 25, 138, 80, platform::style::Editable},
        {ControlKind::CheckBox, finddlg::WholeWord, "Whole &Word", 7, 45, 80, 10, 0},
        {ControlKind::Static, finddlg::Status, "", 7, 62, 186, 10, platform::style::NoPrefix},
        {ControlKind::DefaultButton, finddlg::FindNext, "&Find Next", 203, 7, 50, 14, 0},
        {ControlKind::Button, finddlg::Replace, "&Replace", 203, 24, 50, 14, 0},
        {ControlKind::Button, finddlg::ReplaceAll, "Replace &All", 203, 41, 50, 14, 0},
        {ControlKind::Button, Cancel, "Close", 203, 58, 50, 14, 0},
        {ControlKind::Button, Help, "Help", 203, 75, 50, 14, 0},
    };
    return d;
}

// The dialogs open where they were last closed.
platform::Point fdd_findPosition{-1, -1};
platform::Point fdd_replacePosition{-1, -1};

// The editor's selection as the new search text; nothing without a selection.
void fdd_TakeSelection(CTxtEditWnd& editor) {
    const std::string selected = editor.Buffer().GetSelectedText();
    if (!selected.empty()) TextSearch().SetSearch(selected);
}

void fdd_Refocus(CTxtEditWnd* editor) {
    if (editor && editor->Exists()) editor->SetFocus();
}

}  // namespace

CReplaceDlg::CReplaceDlg(CTxtEditWnd* editor, bool replaceDialog, platform::Window* parent)
    : CDialog2(replaceDialog ? finddlg::ReplaceDialog : finddlg::FindDialog,
               replaceDialog ? &fdd_replacePosition : &fdd_findPosition, parent),
      editor_(editor),
      replace_(replaceDialog) {
    SetDescription(replaceDialog ? fdd_ReplaceDesc() : fdd_FindDesc());
}

int CReplaceDlg::FindReplace(const std::string& s, const std::string* r, bool report) {
    if (!editor_) return kFindNotFound;
    return ::FindReplace(*editor_, s, r, report, TextSearch().wholeWord);
}

int CReplaceDlg::ReplaceAll(const std::string& s, const std::string& r) {
    std::string status = "0 occurrences changed.";
    int count = 0;
    if (editor_) {
        platform::WaitCursor wait;
        count = ::ReplaceAll(*editor_, s, r, TextSearch().wholeWord, &status);
    }
    SetText(finddlg::Status, status);
    return count;
}

void CReplaceDlg::FillCombo(int id, bool searchList) {
    const TextSearchSettings& settings = TextSearch();
    const RecentList& list = searchList ? settings.searchList : settings.replaceList;
    Reset(id);
    for (int i = 0; i < list.Count(); ++i)
        if (const char* text = list.Text(i); text && *text) Add(id, text);
    const std::string& current = searchList ? settings.search : settings.replace;
    if (!current.empty())
        SetText(id, current);
    else if (Count(id) > 0)
        SetText(id, GetItemText(id, 0));
}

bool CReplaceDlg::OnInitDialog() {
    const bool focus = CDialog2::OnInitDialog();
    SetLimitText(finddlg::SearchCombo, static_cast<int>(kSearchTextMax));
    FillCombo(finddlg::SearchCombo, true);
    SetCheck(finddlg::WholeWord, TextSearch().wholeWord ? 1 : 0);
    if (replace_) {
        SetLimitText(finddlg::ReplaceCombo, static_cast<int>(kSearchTextMax));
        FillCombo(finddlg::ReplaceCombo, false);
        UpdateButtons();
    }
    return focus;
}

void CReplaceDlg::UpdateButtons() {
    const bool any = !GetText(finddlg::SearchCombo).empty();
    EnableControl(finddlg::FindNext, any);
    EnableControl(finddlg::Replace, any);
}

void CReplaceDlg::TakeTexts() {
    TextSearchSettings& settings = TextSearch();
    // Read both before refilling either: a refill resets the combo's text.
    const std::string search = GetText(finddlg::SearchCombo);
    const std::string replace = GetText(finddlg::ReplaceCombo);
    settings.wholeWord = GetCheck(finddlg::WholeWord) != 0;
    settings.SetSearch(search);
    if (replace_) {
        settings.SetReplace(replace);
        FillCombo(finddlg::SearchCombo, true);
        FillCombo(finddlg::ReplaceCombo, false);
    }
}

void CReplaceDlg::OnOK() {
    if (replace_) {  // Enter in the Replace dialog is Find Next
        OnControl(finddlg::FindNext, platform::Notify::Clicked);
        return;
    }
    TakeTexts();
    CDialog2::OnOK();
}

void CReplaceDlg::OnControl(int id, platform::Notify what) {
    if (id == finddlg::SearchCombo && (what == platform::Notify::TextChanged || what == platform::Notify::SelChanged)) {
        if (replace_) UpdateButtons();
        return;
    }
    if (what != platform::Notify::Clicked) return;
    switch (id) {
    case Help: OnHelp(); return;
    case finddlg::FindNext:
    case finddlg::Replace: {
        if (!replace_ || !IsControlEnabled(id)) return;
        TakeTexts();
        const TextSearchSettings& settings = TextSearch();
        if (id == finddlg::Replace)
            FindReplace(settings.search, &settings.replace, true);
        else
            FindReplace(settings.search, nullptr, true);
        return;
    }
    case finddlg::ReplaceAll:
        if (!replace_) return;
        TakeTexts();
        ReplaceAll(TextSearch().search, TextSearch().replace);
        return;
    default: return;
    }
}

int FindInTextWindow(CTxtEditWnd* editor, platform::Window* parent, bool force) {
    if (!editor) return 0;
    CReplaceDlg dialog(editor, false, parent);
    int result = 0;
    if (!force && !TextSearch().search.empty()) {
        result = dialog.FindReplace(TextSearch().search, nullptr, true);
    } else {
        fdd_TakeSelection(*editor);
        if (dialog.DoModal() == Ok) result = dialog.FindReplace(TextSearch().search, nullptr, true);
    }
    fdd_Refocus(editor);
    return result;
}

void ReplaceInTextWindow(CTxtEditWnd* editor, platform::Window* parent) {
    if (!editor) return;
    // The selection, or nothing, is what the user means to replace.
    TextSearch().search = editor->Buffer().GetSelectedText().substr(0, kSearchTextMax);
    if (!TextSearch().search.empty()) TextSearch().searchList.Add(TextSearch().search.c_str());
    CReplaceDlg dialog(editor, true, parent);
    dialog.DoModal();
    fdd_Refocus(editor);
}

int FindInTextWindow(CCTView* view, bool force) {
    return view ? FindInTextWindow(view->GetFocusedTextEditor(), view, force) : 0;
}

void ReplaceInTextWindow(CCTView* view) {
    if (view) ReplaceInTextWindow(view->GetFocusedTextEditor(), view);
}
