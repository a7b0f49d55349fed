// The Find in Files and text search sections of the settings file: the input
// is tarn.dat as LoadSettings reads it, then the sections are written back
// and read again; the kept search state is reset after each input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"
#include "text/find.h"
#include "text/findfilesdlg.h"

namespace {

void fif_Reset() {
    FindInFilesSettings& s = FindInFilesState();
    s.field = FindField::kText;
    s.definition = -1;
    for (RecentList* list : {&s.types, &s.texts, &s.folders}) list->Clear();
    TextSearch().searchList.Clear();
    TextSearch().replaceList.Clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratchFile("tarn.dat", data, size);
    ResetSettingsSections();
    ResetStartupState();
    SetProgramDirectory(fuzz::ScratchDir().c_str());
    InitRecentLists();
    RegisterFindInFilesSettings();
    RegisterTextSearchSettings();
    SetString(&Startup().settingsPath, path.c_str());
    LoadSettings();
    if (FindInFilesState().field < FindField::kText || FindInFilesState().field > FindField::kAttribute) abort();
    const std::string out = fuzz::ScratchDir() + "/tarn_out.dat";
    SetString(&Startup().settingsPath, out.c_str());
    SaveSettingsFile();
    fif_Reset();
    SetString(&Startup().settingsPath, out.c_str());
    LoadSettings();

    fif_Reset();
    ResetSettingsSections();
    ResetStartupState();
    FreeRecentLists();
    return 0;
}
