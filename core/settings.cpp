// The settings file tarn.dat: the section table, [Main], loading and saving, and
// the older flat layout.
#include "core/settings.h"

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/chars.h"
#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/fontspec.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/recentlist.h"
#include "core/report_port.h"
#include "core/result.h"

namespace {

constexpr int32_t kSettingsVersion = 8 << 16;             // 8.00
constexpr int32_t kSettingsFlatVersion = (5 << 16) | 30;  // 5.30
// Counts of the flat layout are small (5, 10, 55 when written); anything far
// beyond them is a damaged file, not a reason to loop for ever.
constexpr int32_t kSettingsFlatMaxCount = 1000;

const char* const kSettingsSectionNames[kSettingsSectionCount] = {
    "Main",
    "Global Settings",
    "Preferences",
    "Optimizer Settings",
    "Palettes",
    "Printer",
    "Tool Windows",
    "Component Palette",
    "Main Toolbar",
    "Cir Default ToolBar",
    "Txt Default ToolBar",
    "LBR Default ToolBar",
    "G2D Default ToolBar",
    "G3D Default ToolBar",
    "PFM Default ToolBar",
    "MCL Default ToolBar",
    "Tool Bitmaps",
    "Last Loaded Files",
    "Last Used Components",
    "Last Used Calculator Expressions",
    "Last Used Schematic Search Text",
    "Last Used Text Area Search Text",
    "Last Used Text Area Replace Text",
    "Component Files",
    "Shape Files",
    "Package Files",
    "Probe",
    "Tip",
    "AttSettings",
    "FindInFile",
    "Analog LED Types",
    "Master Style",
    "IBIS",
    "Path Groups",
};

struct SettingsRegistry {
    SettingsSectionRoutine routines[kSettingsSectionCount] = {};
    SettingsRegistry() { Reset(); }
    void Reset() {
        for (auto& routine : routines) routine = nullptr;
        routines[0] = SerializeSettingsMain;
        routines[17] = SerializeLastLoadedFiles;
        routines[33] = SerializePathGroups;
    }
};

SettingsRegistry& st_Registry() {
    static SettingsRegistry registry;
    return registry;
}

struct SettingsMainState {
    bool screenChanged = false;
    bool sectionRead[kSettingsSectionCount] = {};
};

SettingsMainState& st_MainState() {
    static SettingsMainState state;
    return state;
}

class NullShellSettings final : public ShellSettingsPort {
public:
    void UnpackOperationalOptions(unsigned) override {}
    void SetInertialCancellation(bool) override {}
    void ClearSavedPlacement() override {}
};

class NullFlatLayoutRecords final : public FlatLayoutRecordsPort {
public:
    int ReadOldGlobalSettings(TextFile&) override { return kResultNotBuilt; }
    void SetTitleBlockText(int, const char*) override {}
};

PortSlot<ShellSettingsPort, NullShellSettings> st_shellSettings;
PortSlot<FlatLayoutRecordsPort, NullFlatLayoutRecords> st_flatRecords;

char st_UserName[kProfileNameSize];
char st_CompanyName[kProfileNameSize];
// Set once a failed save has been reported; cleared by the next good save.
bool st_SaveFailureReported = false;

// The row routine of the dispatcher: the registered routine, or for a section no
// subsystem serves yet, its header alone when writing and its lines skipped when
// reading.
int st_DispatchRow(SectionFile& file, void* object) {
    int row = static_cast<int>(reinterpret_cast<intptr_t>(object));
    SettingsSectionRoutine routine = st_Registry().routines[row];
    if (file.IsReading()) st_MainState().sectionRead[row] = true;
    if (routine) return routine(file);
    if (!file.IsReading()) return file.error;
    while (file.ReadLongEntry() == 1) {}
    return file.error;
}

void st_CurrentScreen(int* width, int* height) {
    *width = 0;
    *height = 0;
    Screen().GetScreenSize(width, height);
}

void st_ReadProfileName(const char* key, char* out) {
    out[0] = 0;
    if (!ProfileFile().ReadProfileString("Tarnwick", key, out, kProfileNameSize)) out[0] = 0;
    out[kProfileNameSize - 1] = 0;
}

// Empties the recent-files slots but keeps the list's size, so that opening
// files still records them after a damaged file was discarded.
void st_EmptyRecentFiles() {
    RecentList& list = RecentFiles();
    int count = list.Count();
    list.Clear();
    list.Resize(count);
}

int st_ReadFlatCount(SectionFile& file, int32_t& count) {
    count = 0;
    int result = file.SerializeCount(count);
    if (result) return result;
    if (count < 0 || count > kSettingsFlatMaxCount) {
        SetPendingText(file.path);
        return file.error = kResultBadFormat;
    }
    return 0;
}

}  // namespace

ShellSettingsPort& ShellSettings() { return st_shellSettings.Get(); }
ShellSettingsPort* InstallShellSettings(ShellSettingsPort* port) { return st_shellSettings.Install(port); }
FlatLayoutRecordsPort& FlatLayoutRecords() { return st_flatRecords.Get(); }
FlatLayoutRecordsPort* InstallFlatLayoutRecords(FlatLayoutRecordsPort* port) { return st_flatRecords.Install(port); }
bool HasFlatLayoutRecords() { return st_flatRecords.Installed(); }

// ---- the section table ------------------------------------------------------------

const char* SettingsSectionName(int index) {
    if (index < 0 || index >= kSettingsSectionCount) return nullptr;
    return kSettingsSectionNames[index];
}

int FindSettingsSection(const char* name) {
    if (!name) return -1;
    for (int i = 0; i < kSettingsSectionCount; ++i)
        if (CompareNoCase(kSettingsSectionNames[i], name) == 0) return i;
    return -1;
}

bool RegisterSettingsSection(const char* name, SettingsSectionRoutine routine) {
    int row = FindSettingsSection(name);
    if (row < 0) return false;
    st_Registry().routines[row] = routine;
    return true;
}

SettingsSectionRoutine SettingsSectionRoutineAt(int index) {
    if (index < 0 || index >= kSettingsSectionCount) return nullptr;
    return st_Registry().routines[index];
}

void ResetSettingsSections() { st_Registry().Reset(); }

bool SettingsSectionWasRead(int index) {
    if (index < 0 || index >= kSettingsSectionCount) return false;
    return st_MainState().sectionRead[index];
}

// ---- [Main] -------------------------------------------------------------------------

int SerializeSettingsMain(SectionFile& file) {
    int width = 0;
    int height = 0;
    st_CurrentScreen(&width, &height);
    if (file.IsWriting()) {
        file.WriteMainHeader("TARN.DAT", file.targetVersion);
        file.WriteKey("TARNDATA", GetPathSetting(kPathData));
        file.WriteKey("ModelLibPath", GetPathSetting(kPathLibrary));
        file.WriteKey("PicturePath", GetPathSetting(kPathPicture));
        char screen[40];
        FormatBounded(screen, sizeof screen, "%d,%d", width, height);
        return file.WriteKey("Screen", screen);
    }

    st_MainState().screenChanged = false;
    bool validType = false;
    char line[1000];
    char key[100];
    char value[kPathSize * 4];
    while (file.ReadEntry(line, sizeof line) == 1) {
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        if (strcmp(key, "FILETYPE") == 0) {
            validType = CompareNoCase(value, "TARN.DAT") == 0 || CompareNoCase(value, "TW5.DAT") == 0;
        } else if (strcmp(key, "VERSION") == 0) {
            file.targetVersion = ParseVersionText(value);
        } else if (strcmp(key, "TARNDATA") == 0 || strcmp(key, "TW5DATA") == 0) {
            ForwardSlashes(value);
            SetPathSetting(kPathData, value);
        } else if (strcmp(key, "MODELLIBPATH") == 0) {
            ForwardSlashes(value);
            SetPathSetting(kPathLibrary, value);
        } else if (strcmp(key, "PICTUREPATH") == 0) {
            ForwardSlashes(value);
            SetPathSetting(kPathPicture, value);
        } else if (strcmp(key, "SCREEN") == 0) {
            int storedWidth = 0;
            int storedHeight = 0;
            if (sscanf(value, "%d,%d", &storedWidth, &storedHeight) != 2) storedWidth = storedHeight = -1;
            st_MainState().screenChanged = storedWidth != width || storedHeight != height;
        }
    }
    if (file.error) return file.error;
    if (!validType) {
        SetPendingText(file.path);
        return kResultBadFormat;
    }
    return 0;
}

bool SettingsScreenChanged() { return st_MainState().screenChanged; }

// ---- the whole file ------------------------------------------------------------------

int SettingsFile::SerializeAll() {
    SectionHandler table[kSettingsSectionCount];
    for (int i = 0; i < kSettingsSectionCount; ++i)
        table[i] = SectionHandler{kSettingsSectionNames[i], st_DispatchRow,
                                  reinterpret_cast<void*>(static_cast<intptr_t>(i)), 0};
    targetVersion = kSettingsVersion;

    int result = 0;
    bool flat = false;
    if (IsReading()) {
        st_MainState() = SettingsMainState{};
        char first[100];
        first[0] = 0;
        ReadToken(first, sizeof first);
        if (strcmp(first, "5.3") == 0 || strcmp(first, "5.30") == 0) {
            flat = true;
            targetVersion = kSettingsFlatVersion;
            result = ReadFlatLayout();
        } else {
            // Not the flat layout: read the file again from its start.
            error = 0;
            Seek(0);
            lineCounter = 0;
            currentSection[0] = 0;
        }
    }
    if (!flat) {
        result = ReadSectionTable(table, kSettingsSectionCount);
        if (result == 0 && IsReading() && st_MainState().screenChanged) ShellSettings().ClearSavedPlacement();
    }
    int closed = Close();
    return result ? result : closed;
}

int SettingsFile::ReadFlatLayout() {
    char dataPath[1000];
    dataPath[0] = 0;
    int result = SerializeText(dataPath, sizeof dataPath, 0);
    if (result) return result;
    TrimWhitespace(dataPath);
    ForwardSlashes(dataPath);
    SetPathSetting(kPathData, dataPath);

    // The rest of the record needs the owner of the old global-settings record to
    // know where it ends; without it the reading stops here.
    if (!HasFlatLayoutRecords()) return 0;
    result = FlatLayoutRecords().ReadOldGlobalSettings(*this);
    if (result) return result;

    int32_t count = 0;
    if ((result = st_ReadFlatCount(*this, count))) return result;
    for (int i = 0; i < count; ++i) {
        FontSpec font;
        if ((result = SerializeFontRecord(font))) return result;
    }

    int32_t switches = 0;
    if ((result = SerializeInt(switches, 0))) return result;
    ShellSettings().UnpackOperationalOptions(static_cast<unsigned>(switches) & 0xFFFF);
    ShellSettings().SetInertialCancellation(true);

    if ((result = st_ReadFlatCount(*this, count))) return result;
    for (int i = 0; i < count; ++i) {
        char* text = nullptr;
        result = SerializeString(&text, 0);
        if (result == 0 && i < 5) FlatLayoutRecords().SetTitleBlockText(i, text);
        FreeString(&text);
        if (result) return result;
    }

    if ((result = st_ReadFlatCount(*this, count))) return result;
    for (int i = 0; i < count; ++i) {
        int32_t a = 0, b = 0, x = 0, y = 0;
        if ((result = SerializeInt(a, 0)) || (result = SerializeInt(b, 0)) ||
            (result = SerializePoint(x, y, kRecordEndLine)))
            return result;
    }

    int32_t statusBar = 1;
    if ((result = SerializeInt(statusBar, kRecordEndLine))) return result;
    Startup().statusBarAtStart = statusBar != 0;

    if ((result = st_ReadFlatCount(*this, count))) return result;
    RecentList& recent = RecentFiles();
    recent.Resize(10);
    for (int i = 0; i < count; ++i) {
        char* text = nullptr;
        result = SerializeMultilineText(&text);
        if (result == 0 && i < 10 && text && *text) {
            char key[48];
            FormatBounded(key, sizeof key, "%s%d", recent.KeyPrefix(), i + 1);
            recent.ReadKey(key, text);
        }
        FreeString(&text);
        // The last record may end the file without a line end.
        if (result == kResultReadError && i == count - 1) result = error = 0;
        if (result) return result;
    }
    return 0;
}

// ---- loading and saving ------------------------------------------------------------

int LoadSettings() {
    ResetProgramDefaults(true);
    st_ReadProfileName("UserName", st_UserName);
    st_ReadProfileName("CompanyName", st_CompanyName);

    const char* path = Startup().settingsPath;
    int result = kResultNoFileName;
    if (path && *path) {
        SettingsFile file;
        result = file.OpenText(path);
        if (result == 0) result = file.SerializeAll();
    }
    if (result) {
        // A damaged file is discarded as a whole.
        ResetProgramDefaults(true);
        st_EmptyRecentFiles();
    } else {
        ResetDefaultPaths(false);
    }
    return result;
}

int SaveSettingsFile() {
    const StartupState& state = Startup();
    if (state.demoPlaying || state.noSave || !state.settingsPath || !*state.settingsPath) return 0;

    char* temporary = nullptr;
    FormatString(&temporary, "%s.tmp", state.settingsPath);
    if (!temporary) return kResultNoMemory;

    SettingsFile file;
    int result = file.CreateText(temporary);
    if (result == 0) {
        result = file.SerializeAll();
        if (result == 0 && rename(temporary, state.settingsPath) != 0) result = ErrnoToResult();
    }
    if (result) unlink(temporary);
    FreeString(&temporary);

    if (result == 0) {
        st_SaveFailureReported = false;
    } else if (!st_SaveFailureReported) {
        st_SaveFailureReported = true;
        SetPendingText(state.settingsPath);
        Reporter().Report(Message(kResultWriteError).Args(state.settingsPath));
    }
    return result;
}

char* UserName() { return st_UserName; }
char* CompanyName() { return st_CompanyName; }
