// File > Cleanup: the work files analyses and editors leave behind (numeric
// output, Monte Carlo statistics, save files, index files, backups), found
// in the data, library and index folders, listed with their sizes and
// deleted on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/dialogs.h"

constexpr int kCleanupTemplate = 296;
constexpr int kCleanupKinds = 297;
constexpr int kCleanupSummary = 1590;
constexpr int kCleanupFiles = 1589;
constexpr int kCleanupSelectAll = 1558;
constexpr int kCleanupDelete = 1561;

// The 17 generated-file kinds: the extension, a blank, the description.
int CleanupKindCount();
const char* CleanupKindText(int index);

// The total of a list of decimal sizes; texts that are no number count 0.
// Summed in 64 bits: work files of several gigabytes add up correctly.
int64_t SumFileSizes(const std::vector<std::string>& sizes);

class CCleanupDlg : public CDialog2 {
public:
    CCleanupDlg();

    // Files of the extension in the folder ("*.<extension>", the extension
    // may hold wildcards): with `probe`, 1 at the first one found; otherwise
    // each is added to the file list with its size. 0 otherwise.
    int ListFiles(const std::string& directory, const std::string& extension, bool probe);
    // The kinds' files in the data, library and index folders (each folder
    // once; index folders only for "inx"). With `probe` the extensions come
    // from the kind table and the first file found ends the search with 1.
    int SearchKinds(const std::vector<int>& kinds, bool probe);
    void RefreshFiles();
    // "Files selected=%d Total size=%lld" for the selected files.
    void UpdateSummary();

    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify what) override;
};

// Command 296.
void OnFileCleanup(platform::Window* parent);
