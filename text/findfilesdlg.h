// The Find in Files dialog: runs the folder search of text/findfiles.h,
// lists the files that hold a match, and opens the selected one at its match.
#pragma once

#include "platform/command.h"
#include "shell/mainframe.h"

#include <string>
#include <vector>

#include "core/recentlist.h"
#include "shell/dialogs.h"
#include "text/findfiles.h"

class CDoc;

namespace findfilesdlg {
constexpr unsigned Dialog = 1800;  // also the main window's command
constexpr int FieldText = 1802;    // the Search Fields radio buttons run 1802-1806 (FindField)
constexpr int FieldAttribute = 1806;
constexpr int TextCombo = 1807;
constexpr int DefinitionCombo = 1808;
constexpr int TypesCombo = 1809;
constexpr int Results = 1810;
constexpr int LookInCombo = 1812;
constexpr int Subfolders = 1813;
constexpr int Find = 1612;
constexpr int Stop = 1614;
constexpr int Status = 1615;
}  // namespace findfilesdlg

// What the dialog keeps between runs; all but the subfolder switch live in the
// settings file's "FindInFile" section.
struct FindInFilesSettings {
    FindField field = FindField::kText;
    int definition = -1;  // component type row; -1 none chosen
    RecentList types;     // "Types_", 20 entries
    RecentList texts;     // "Text_"
    RecentList folders;   // "Paths_"
    bool subfolders = false;

    FindInFilesSettings();
};
FindInFilesSettings& FindInFilesState();
// Back to the state at program start (empty lists, text search).
void ResetFindInFilesState();
// Serves the "FindInFile" section of the settings file.
void RegisterFindInFilesSettings();

class CFindInFilesDlg : public CDialog2 {
public:
    explicit CFindInFilesDlg(platform::Window* parent);
    ~CFindInFilesDlg() override;

    // The Find button: searches and fills the result list.
    void Search();
    // Shows entry `index` of the last search in `document`.
    void ShowMatch(CDoc* document, const FindInFilesEntry& entry);

    bool Running() const { return running_; }
    const FindInFilesResult& LastResult() const { return result_; }
    // The document the dialog opened for the selected entry (null when none).
    CDoc* OpenedDocument() const { return opened_; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnDialogKey(int key, unsigned modifiers) override;
    void OnControl(int id, platform::Notify what) override;

private:
    void UpdateEnabling();
    void EnableForSearch(bool running);
    void FillCombo(int id, const RecentList& list);
    void SelectResult();
    void CloseOpened();

    FindInFilesResult result_;
    bool running_ = false;
    bool stop_ = false;
    bool selecting_ = false;
    CDoc* opened_ = nullptr;
};

// Edit > Find in Files: runs the dialog modally.
int FindInFilesCommand(platform::Window* parent);

// The main window's text commands (Edit > Find in Files...), asked after the
// analysis commands in the main frame's command chain.
class TextCommandTarget final : public platform::CommandTarget {
public:
    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;
};
TextCommandTarget& TextCommands();
// The command id of Edit > Find in Files...
constexpr int kCmdFindInFiles = kCmdEditFindInFiles;
