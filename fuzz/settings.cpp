// The settings file tarn.dat: the input is the file LoadSettings reads (sections
// whose owners are not built are skipped, as at a start-up without them), then
// the settings are written back; every setting is reset afterwards.
#include <cstdint>
#include <string>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratchFile("tarn.dat", data, size);
    ResetSettingsSections();
    ResetStartupState();
    SetProgramDirectory(fuzz::ScratchDir().c_str());
    InitRecentLists();
    SetString(&Startup().settingsPath, path.c_str());

    LoadSettings();
    SetString(&Startup().settingsPath, (fuzz::ScratchDir() + "/tarn_out.dat").c_str());
    SaveSettingsFile();

    ResetSettingsSections();
    ResetStartupState();
    FreeRecentLists();
    ClearPathGroups();
    for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, "");
    return 0;
}
