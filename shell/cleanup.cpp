#include "shell/cleanup.h"

#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/paths.h"
#include "platform/dialog.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;

const char* const kCleanupKindTexts[] = {
    "TNO Transient numeric output",
    "ANO AC numeric output",
    "DNO DC numeric output",
    "TMC Transient Monte Carlo statistics",
    "AMC AC Monte Carlo statistics",
    "DMC DC Monte Carlo statistics",
    "TSA Transient save analysis simulation",
    "ASA AC save analysis simulation",
    "DSA DC save analysis simulation",
    "INX index file",
    "BOM Bill of Materials",
    "SEN Sensitivity output file",
    "SVV State variables editor",
    "WNO Distortion numeric output",
    "WSA Distortion save analysis simulation",
    "OPT model optimize",
    "???_BAK backup files",
};
constexpr int kCleanupKindTotal = static_cast<int>(sizeof kCleanupKindTexts / sizeof kCleanupKindTexts[0]);
constexpr int kSearchedPathKinds[] = {kPathData, kPathLibrary, kPathIndex};

platform::Point cl_position{-1, -1};

std::string cl_Extension(const std::string& kindText) { return kindText.substr(0, kindText.find(' ')); }

platform::DialogDesc cl_Description() {
    platform::DialogDesc desc;
    desc.caption = "Clean Up";
    desc.cx = 360;
    desc.cy = 200;
    desc.controls.push_back(
        ControlDesc{ControlKind::ListBox, kCleanupKinds, "", 7, 7, 130, 160, platform::style::MultiSelect});
    desc.controls.push_back(ControlDesc{ControlKind::Static, kCleanupSummary, "", 145, 7, 208, 10, 0});
    desc.controls.push_back(
        ControlDesc{ControlKind::ListView, kCleanupFiles, "", 145, 20, 208, 147, platform::style::MultiSelect});
    const struct {
        int id;
        const char* text;
    } buttons[] = {{kCleanupSelectAll, "Select All"},
                   {kCleanupDelete, "Delete"},
                   {platform::dlgid::Close, "&Close"},
                   {platform::dlgid::Help, "&Help.."}};
    int x = 7;
    for (const auto& b : buttons) {
        desc.controls.push_back(ControlDesc{ControlKind::Button, b.id, b.text, x, 178, 60, 14, 0});
        x += 66;
    }
    return desc;
}

}  // namespace

int CleanupKindCount() { return kCleanupKindTotal; }
const char* CleanupKindText(int index) {
    return index >= 0 && index < kCleanupKindTotal ? kCleanupKindTexts[index] : nullptr;
}

int64_t SumFileSizes(const std::vector<std::string>& sizes) {
    int64_t total = 0;
    for (const std::string& size : sizes) {
        if (size.empty()) continue;
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(size.c_str(), &end, 10);
        if (errno || end == size.c_str() || value < 0) continue;
        total += value;
    }
    return total;
}

CCleanupDlg::CCleanupDlg() : CDialog2(kCleanupTemplate, &cl_position, nullptr) { SetDescription(cl_Description()); }

int CCleanupDlg::ListFiles(const std::string& directory, const std::string& extension, bool probe) {
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    if (error) return 0;
    const std::string pattern = "*." + extension;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file(error) || fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        if (probe) return 1;
        const std::string path = entry.path().string();
        const int row = Add(kCleanupFiles, path);
        struct stat status {};
        if (stat(path.c_str(), &status) == 0) SetCellText(kCleanupFiles, row, 1, std::to_string(status.st_size));
    }
    return 0;
}

int CCleanupDlg::SearchKinds(const std::vector<int>& kinds, bool probe) {
    std::vector<std::string> visited;
    for (int pathKind : kSearchedPathKinds) {
        char directory[kPathSize];
        for (int index = 0; GetPathListEntry(pathKind, directory, index); ++index) {
            bool seen = false;
            for (const std::string& v : visited) seen = seen || strcasecmp(v.c_str(), directory) == 0;
            if (seen) continue;
            visited.emplace_back(directory);
            for (int kind : kinds) {
                const std::string text = probe ? std::string(CleanupKindText(kind) ? CleanupKindText(kind) : "")
                                               : GetItemText(kCleanupKinds, kind);
                const std::string extension = cl_Extension(text);
                if (extension.empty()) continue;
                if (pathKind == kPathIndex && strcasecmp(extension.c_str(), "inx") != 0) continue;
                if (ListFiles(directory, extension, probe) && probe) return 1;
            }
        }
    }
    return 0;
}

void CCleanupDlg::RefreshFiles() {
    Reset(kCleanupFiles);
    const std::vector<int> selected = GetSelectedItems(kCleanupKinds);
    if (!selected.empty()) SearchKinds(selected, false);
    UpdateSummary();
}

void CCleanupDlg::UpdateSummary() {
    const std::vector<int> rows = GetSelectedItems(kCleanupFiles);
    std::vector<std::string> sizes;
    for (int row : rows) sizes.push_back(GetCellText(kCleanupFiles, row, 1));
    char text[96];
    std::snprintf(text, sizeof text, "Files selected=%d Total size=%" PRId64, static_cast<int>(rows.size()),
                  SumFileSizes(sizes));
    SetText(kCleanupSummary, text);
}

bool CCleanupDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    for (int kind = 0; kind < kCleanupKindTotal; ++kind)
        if (SearchKinds({kind}, true)) Add(kCleanupKinds, kCleanupKindTexts[kind]);
    const int width = GetItemRect(kCleanupFiles).Width();
    AddColumn(kCleanupFiles, "Name", width * 2 / 3);
    AddColumn(kCleanupFiles, "Size", width / 3);
    UpdateSummary();
    return true;
}

void CCleanupDlg::OnControl(int id, platform::Notify what) {
    if (id == kCleanupKinds && what == platform::Notify::SelChanged) {
        RefreshFiles();
        return;
    }
    if (id == kCleanupFiles && what == platform::Notify::SelChanged) {
        UpdateSummary();
        return;
    }
    if (what == platform::Notify::Clicked && id == kCleanupSelectAll) {
        for (int i = 0; i < Count(kCleanupKinds); ++i) SetItemSelected(kCleanupKinds, i, true);
        RefreshFiles();
        for (int i = 0; i < Count(kCleanupFiles); ++i) SetItemSelected(kCleanupFiles, i, true);
        UpdateSummary();
        return;
    }
    if (what == platform::Notify::Clicked && id == kCleanupDelete) {
        // Deleted without asking; a file that cannot go simply stays listed.
        for (int row : GetSelectedItems(kCleanupFiles)) {
            std::error_code error;
            std::filesystem::remove(GetItemText(kCleanupFiles, row), error);
        }
        RefreshFiles();
        return;
    }
    if (what == platform::Notify::Clicked && id == platform::dlgid::Close) {
        EndDialogSavingRect(platform::dlgid::Close);
        return;
    }
    CDialog2::OnControl(id, what);
}

void OnFileCleanup(platform::Window* parent) {
    CCleanupDlg dialog;
    dialog.SetParentWindow(parent);
    dialog.DoModal();
}
