#include "shell/pathsdlg.h"

#include <algorithm>

#include "core/dotpath.h"
#include "core/report_port.h"
#include "core/result.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "shell/smalldlgs.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;

platform::Point pd_position{-1, -1};
platform::Point pd_dotPathPosition{-1, -1};

constexpr int kEdits[3] = {kPathsDataEdit, kPathsLibraryEdit, kPathsPictureEdit};
const char* const kBrowseTitles[3] = {"Data Path", "Library Path", "Picture Path"};

class NullDotPathWriter final : public DotPathWriterPort {
public:
    int WriteDotPaths(const bool[3], const std::string[3]) override { return kResultNotBuilt; }
};
NullDotPathWriter pd_nullWriter;
DotPathWriterPort* pd_writer = &pd_nullWriter;

std::string pd_Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

platform::DialogDesc pd_Description() {
    platform::DialogDesc desc;
    desc.caption = "Path";
    desc.cx = 320;
    desc.cy = 196;
    const char* labels[3] = {"Data", "Model library and include files (*.lib,*.lbr,*.mac,*.res,*.ind,*.cap;*.mdl)",
                             "Picture (*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.tif)"};
    int y = 7;
    for (int kind = 0; kind < 3; ++kind) {
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, labels[kind], 7, y, 290, 8, 0});
        desc.controls.push_back(ControlDesc{ControlKind::Edit, kEdits[kind], "", 7, y + 10, 286, 12, 0});
        desc.controls.push_back(
            ControlDesc{ControlKind::Button, kPathsBrowseData + kind, "...", 296, y + 10, 17, 12, 0});
        y += 28;
    }
    desc.controls.push_back(ControlDesc{ControlKind::GroupBox, -1, "Preferred Paths", 7, y, 306, 72, 0});
    desc.controls.push_back(ControlDesc{ControlKind::ListBox, kPathsGroupList, "", 13, y + 11, 230, 56, 0});
    const struct {
        int id;
        const char* text;
    } groupButtons[] = {
        {kPathsAdd, "Add"}, {kPathsUpdate, "Update"}, {kPathsDelete, "Delete"}, {kPathsDotPath, ".Path..."}};
    int by = y + 11;
    for (const auto& b : groupButtons) {
        desc.controls.push_back(ControlDesc{ControlKind::Button, b.id, b.text, 250, by, 56, 13, 0});
        by += 14;
    }
    y += 80;
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 120, y, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Cancel, "Cancel", 180, y, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Help, "Help...", 240, y, 50, 14, 0});
    return desc;
}

}  // namespace

DotPathWriterPort& DotPathWriter() { return *pd_writer; }
DotPathWriterPort* InstallDotPathWriter(DotPathWriterPort* port) {
    DotPathWriterPort* previous = pd_writer == &pd_nullWriter ? nullptr : pd_writer;
    pd_writer = port ? port : &pd_nullWriter;
    return previous;
}

std::string SpliceFolderIntoList(const std::string& text, int start, int end, const std::string& folder,
                                 int* folderStart) {
    const size_t size = text.size();
    const size_t s = std::min(static_cast<size_t>(std::max(start, 0)), size);
    const size_t e = std::min(std::max(static_cast<size_t>(std::max(end, 0)), s), size);
    std::string left = text.substr(0, s);
    while (!left.empty() && (left.back() == ' ' || left.back() == '\t')) left.pop_back();
    if (!left.empty() && left.back() != ';') left += ';';
    std::string right = text.substr(e);
    const size_t firstKept = right.find_first_not_of(" \t");
    right = firstKept == std::string::npos ? std::string() : right.substr(firstKept);
    if (!right.empty() && right.front() != ';') right.insert(right.begin(), ';');
    if (folderStart) *folderStart = static_cast<int>(left.size());
    return left + folder + right;
}

// ---- CPathsDlg ------------------------------------------------------------------------------------

CPathsDlg::CPathsDlg(platform::Window* parent) : CDialog2(kPathsTemplate, &pd_position, parent) {
    SetDescription(pd_Description());
}

bool CPathsDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    FillGroupList(-1);
    savedGroups_.clear();
    for (int i = 0; i < PathGroupCount(); ++i) savedGroups_.push_back(*GetPathGroup(i));
    for (int kind = 0; kind < 3; ++kind) {
        savedPaths_[kind] = GetPathSetting(kind);
        SetText(kEdits[kind], savedPaths_[kind]);
    }
    return true;
}

int CPathsDlg::ValidatePathEdit(int controlId) {
    const std::string list = GetText(controlId);
    char missing[kPathSize] = "";
    if (FindFirstMissingDir(list.c_str(), missing) == 0 && missing[0]) {
        Reporter().Report(FormattedMessage("The path '%s' does not exist.").Args(missing));
        FocusControl(controlId);
        return 1;
    }
    return 0;
}

int CPathsDlg::ValidateAll() {
    // Each edit reports its own missing folder; the last failing one keeps the focus.
    int failed = 0;
    for (int id : kEdits) failed |= ValidatePathEdit(id);
    return failed;
}

std::string CPathsDlg::GetEditPathText(int kind) const {
    return kind >= 0 && kind < 3 ? pd_Trim(GetText(kEdits[kind])) : std::string();
}

void CPathsDlg::FillGroupList(int selectIndex) {
    Reset(kPathsGroupList);
    int selected = -1;
    for (int i = 0; i < PathGroupCount(); ++i) {
        const int at = Add(kPathsGroupList, GetPathGroup(i)->name);
        SetItemData(kPathsGroupList, at, i);
        if (i == selectIndex) selected = at;
    }
    SetSel(kPathsGroupList, selected);
    EnableControl(kPathsUpdate, selected >= 0);
}

void CPathsDlg::OnOK() {
    if (ValidateAll()) return;
    for (int kind = 0; kind < 3; ++kind) SetPathSetting(kind, GetText(kEdits[kind]).c_str());
    CDialog2::OnOK();
}

void CPathsDlg::OnCancel() {
    for (int kind = 0; kind < 3; ++kind) SetPathSetting(kind, savedPaths_[kind].c_str());
    ClearPathGroups();
    for (const PathGroup& group : savedGroups_) AddPathGroup(group);
    CDialog2::OnCancel();
}

void CPathsDlg::OnControl(int id, platform::Notify what) {
    if (id == kPathsGroupList && what == platform::Notify::SelChanged) {
        OnGroupSelected();
        return;
    }
    if (what == platform::Notify::Clicked) {
        switch (id) {
        case kPathsAdd: OnAdd(); return;
        case kPathsUpdate: OnUpdate(); return;
        case kPathsDelete: OnDelete(); return;
        case kPathsDotPath: OnDotPath(); return;
        case kPathsBrowseData:
        case kPathsBrowseData + 1:
        case kPathsBrowseData + 2: OnBrowse(id - kPathsBrowseData); return;
        default: break;
        }
    }
    CDialog2::OnControl(id, what);
}

void CPathsDlg::OnGroupSelected() {
    const int sel = GetSel(kPathsGroupList);
    EnableControl(kPathsUpdate, sel >= 0);
    if (sel < 0) return;
    const PathGroup* group = GetPathGroup(static_cast<int>(GetItemData(kPathsGroupList, sel)));
    if (!group) return;
    SetText(kPathsDataEdit, group->data);
    SetText(kPathsLibraryEdit, group->library);
    SetText(kPathsPictureEdit, group->picture);
}

void CPathsDlg::OnAdd() {
    if (ValidateAll()) return;
    PathGroup group;
    group.name = "Name";
    group.data = GetEditPathText(0);
    group.library = GetEditPathText(1);
    group.picture = GetEditPathText(2);
    if (RunNameDialog(this, group.name) != 1) return;
    const int index = AddPathGroup(group);
    FillGroupList(index >= 0 ? index : PathGroupCount() - 1);
}

void CPathsDlg::OnUpdate() {
    const int sel = GetSel(kPathsGroupList);
    if (sel < 0) return;
    const int index = static_cast<int>(GetItemData(kPathsGroupList, sel));
    const PathGroup* old = GetPathGroup(index);
    if (!old || ValidateAll()) return;
    PathGroup group = *old;
    if (RunNameDialog(this, group.name) != 1) return;
    group.data = GetEditPathText(0);
    group.library = GetEditPathText(1);
    group.picture = GetEditPathText(2);
    SetPathGroup(index, group);
    FillGroupList(index);
}

void CPathsDlg::OnDelete() {
    const int sel = GetSel(kPathsGroupList);
    if (sel < 0) return;
    RemovePathGroup(static_cast<int>(GetItemData(kPathsGroupList, sel)));
    FillGroupList(-1);
}

void CPathsDlg::OnBrowse(int kind) {
    const int edit = kEdits[kind];
    const std::string text = GetText(edit);
    int start = 0, end = 0;
    GetTextSelection(edit, &start, &end);
    // The first search folder as the edit now has it is where the browser starts.
    const std::string kept = GetPathSetting(kind);
    SetPathSetting(kind, text.c_str());
    char first[kPathSize];
    GetFirstSearchDir(first, kind);
    SetPathSetting(kind, kept.c_str());
    platform::FolderDialog browser;
    browser.SetTitle(kBrowseTitles[kind]);
    browser.SetInitialFolder(first);
    if (browser.DoModal(this) != platform::dlgid::Ok) return;
    int folderStart = 0;
    SetText(edit, SpliceFolderIntoList(text, start, end, browser.Folder(), &folderStart));
    FocusControl(edit);
    SelectText(edit, folderStart, folderStart + static_cast<int>(browser.Folder().size()));
}

void CPathsDlg::OnDotPath() {
    CPathDotPathDlg choice(this);
    if (choice.DoModal() != platform::dlgid::Ok) return;
    std::string statements[3];
    for (int kind = 0; kind < 3; ++kind) statements[kind] = FormatDotPathStatement(kind, GetEditPathText(kind).c_str());
    const int result = DotPathWriter().WriteDotPaths(choice.checked, statements);
    if (result && result != kResultShown) Reporter().Report(Message(result));
}

// ---- CPathDotPathDlg ------------------------------------------------------------------------------

CPathDotPathDlg::CPathDotPathDlg(platform::Window* parent) : CDialog2(kDotPathTemplate, &pd_dotPathPosition, parent) {
    platform::DialogDesc desc;
    desc.caption = ".Path";
    desc.cx = 200;
    desc.cy = 100;
    desc.controls.push_back(ControlDesc{ControlKind::Static, -1,
                                        "This adds new or replaces existing .PATH commands of the selected type.", 7, 7,
                                        186, 18, 0});
    desc.controls.push_back(ControlDesc{ControlKind::GroupBox, -1, "Path Groups:", 7, 28, 120, 50, 0});
    const char* names[3] = {"Data", "Library", "Picture"};
    for (int kind = 0; kind < 3; ++kind)
        desc.controls.push_back(
            ControlDesc{ControlKind::CheckBox, kDotPathDataCheck + kind, names[kind], 14, 39 + 12 * kind, 100, 10, 0});
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 140, 30, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Cancel, "Cancel", 140, 48, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Help, "&Help...", 140, 66, 50, 14, 0});
    SetDescription(std::move(desc));
}

bool CPathDotPathDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    for (int kind = 0; kind < 3; ++kind) SetCheck(kDotPathDataCheck + kind, 1);
    return true;
}

void CPathDotPathDlg::OnOK() {
    for (int kind = 0; kind < 3; ++kind) checked[kind] = GetCheck(kDotPathDataCheck + kind) != 0;
    CDialog2::OnOK();
}

void OnFilePaths(platform::Window* parent) {
    CPathsDlg dialog(parent);
    dialog.DoModal();
}
