// File > Paths: editing the data, library and picture path settings, the
// named path groups, browsing for folders, and writing the settings into the
// active circuit as ".PATH" statements.
#pragma once

#include <string>
#include <vector>

#include "core/paths.h"
#include "shell/dialogs.h"

// Control ids.
constexpr int kPathsTemplate = 11100;
constexpr int kPathsDataEdit = 11108;
constexpr int kPathsLibraryEdit = 11109;
constexpr int kPathsPictureEdit = 11111;
constexpr int kPathsBrowseData = 1653;  // 1654 library, 1655 picture
constexpr int kPathsGroupList = 1446;
constexpr int kPathsAdd = 1708;
constexpr int kPathsUpdate = 1709;
constexpr int kPathsDelete = 1710;
constexpr int kPathsDotPath = 1711;
constexpr int kDotPathTemplate = 327;
constexpr int kDotPathDataCheck = 1714;  // 1715 library, 1716 picture

// Writes ".PATH" statements into the circuit the analyses act on; the
// document layer installs it. Until then there is no circuit to write into.
class DotPathWriterPort {
public:
    virtual ~DotPathWriterPort() = default;
    // `checked` kinds get `statements[kind]` (".PATH DATA ..."); 0, or the
    // code of what failed; kResultNotBuilt without a circuit layer.
    virtual int WriteDotPaths(const bool checked[3], const std::string statements[3]) = 0;
};
DotPathWriterPort& DotPathWriter();
DotPathWriterPort* InstallDotPathWriter(DotPathWriterPort* port);

class CPathsDlg : public CDialog2 {
public:
    explicit CPathsDlg(platform::Window* parent = nullptr);

    // 0 when every folder of the edit's ";"-list exists; otherwise reports
    // "The path '%s' does not exist." with the first missing one, focuses the
    // edit and returns 1.
    int ValidatePathEdit(int controlId);
    // The kind's edit text (0 data, 1 library, 2 picture), trimmed.
    std::string GetEditPathText(int kind) const;
    void FillGroupList(int selectIndex);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnControl(int id, platform::Notify what) override;

private:
    void OnGroupSelected();
    void OnAdd();
    void OnUpdate();
    void OnDelete();
    void OnBrowse(int kind);
    void OnDotPath();
    int ValidateAll();

    std::string savedPaths_[3];
    std::vector<PathGroup> savedGroups_;
};

// The ".Path" choice of kinds; all three checked at first. 1 after OK.
class CPathDotPathDlg : public CDialog2 {
public:
    explicit CPathDotPathDlg(platform::Window* parent = nullptr);
    bool checked[3] = {true, true, true};
    bool OnInitDialog() override;
    void OnOK() override;
};

// A chosen folder put into a ";"-list in place of the selection [start, end):
// the text before it loses trailing blanks and gets a ";", the text after it
// loses leading blanks and gets a ";" in front; *folderStart receives where
// the folder begins in the result.
std::string SpliceFolderIntoList(const std::string& text, int start, int end, const std::string& folder,
                                 int* folderStart);

// Command 11100.
void OnFilePaths(platform::Window* parent);
