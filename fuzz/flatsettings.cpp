// The older flat layout of tarn.dat with the records analysis control owns: the
// input is the settings file LoadSettings reads with the old global-settings
// and title-block owners installed; every setting is reset afterwards.
#include <cstdint>
#include <string>

#include "analysis/globalsettings.h"
#include "analysis/logs.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/settings.h"
#include "document/cirdoc.h"
#include "expr/runvars.h"
#include "fuzz/fuzz_support.h"
#include "shell/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    static AnalysisFlatLayoutRecords records;
    const GlobalSettingValues savedValues = GlobalSettings;
    const FormatSpec savedTag = Prefs().tagFormat, savedVoltage = Prefs().nodeVoltageFormat;
    const int32_t savedRecalc = Prefs().nodeRecalc;
    const std::string path = fuzz::WriteScratchFile("tarn.dat", data, size);
    ResetSettingsSections();
    ResetStartupState();
    SetProgramDirectory(fuzz::ScratchDir().c_str());
    InitRecentLists();
    InstallFlatLayoutRecords(&records);
    SetString(&Startup().settingsPath, path.c_str());

    LoadSettings();

    InstallFlatLayoutRecords(nullptr);
    ResetSettingsSections();
    ResetStartupState();
    FreeRecentLists();
    ClearPathGroups();
    for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, "");
    TitleBlockSettings empty;
    StoreDefaultTitleBlock(empty);
    ResetOptionTexts(true);
    GlobalSettings = savedValues;
    Prefs().tagFormat = savedTag;
    Prefs().nodeVoltageFormat = savedVoltage;
    Prefs().nodeRecalc = savedRecalc;
    return 0;
}
