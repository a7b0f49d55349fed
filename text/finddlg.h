// The Find and Replace dialogs of text windows. Both search the focused text
// editor of a view with the program-wide search text, replace text and
// whole-word switch (text/find.h).
#pragma once

#include <string>

#include "shell/dialogs.h"

class CTxtEditWnd;
class CCTView;

namespace finddlg {
constexpr unsigned FindDialog = 17214;     // "Search"
constexpr unsigned ReplaceDialog = 17218;  // "Replace"
constexpr int SearchCombo = 115;
constexpr int ReplaceCombo = 117;  // Replace dialog only
constexpr int WholeWord = 5706;
constexpr int Status = 1318;  // Replace dialog only
constexpr int FindNext = 5730;
constexpr int Replace = 5731;
constexpr int ReplaceAll = 5732;
}  // namespace finddlg

// Serves both dialogs; every search goes to `editor`.
class CReplaceDlg : public CDialog2 {
public:
    CReplaceDlg(CTxtEditWnd* editor, bool replaceDialog, platform::Window* parent);

    bool IsReplaceDialog() const { return replace_; }
    CTxtEditWnd* Editor() const { return editor_; }

    // One find (replace null) or replace step with the program-wide switch:
    // kFindFound or kFindNotFound.
    int FindReplace(const std::string& s, const std::string* r, bool report);
    // Replaces every match as one undo step and shows the count in the status text.
    int ReplaceAll(const std::string& s, const std::string& r);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnControl(int id, platform::Notify what) override;

private:
    // Reads both texts and the switch into the program-wide settings and
    // refills the combo lists.
    void TakeTexts();
    void FillCombo(int id, bool searchList);
    void UpdateButtons();

    CTxtEditWnd* editor_;
    bool replace_;
};

// Find (force set: Ctrl+F) and Repeat Last Find (F3) of a text editor: with a
// search text and without force the next match is selected at once; else the
// Find dialog runs, filled with the editor's selection. kFindFound,
// kFindNotFound, or 0 when the dialog was cancelled or there is no editor.
int FindInTextWindow(CTxtEditWnd* editor, platform::Window* parent, bool force);
// The Replace dialog over the editor, its selection as the search text.
void ReplaceInTextWindow(CTxtEditWnd* editor, platform::Window* parent);
// The same for the focused text editor of a view (nothing when no text page has the focus).
int FindInTextWindow(CCTView* view, bool force);
void ReplaceInTextWindow(CCTView* view);
