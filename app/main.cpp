// The program's entry point.
//
// The window layer is not built yet, so the program runs as a console program:
// it starts up as the windowed program will (command line, settings, libraries),
// prints what it read, and ends as closing the main window will, by writing
// tarn.dat. Nothing waits for input, so it runs the same with and without a display.
#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/startup_stubs.h"
#include "compiler/startup_stubs.h"
#include "core/cmdline.h"
#include "core/hooks.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/settings.h"
#include "engine/startup_stubs.h"
#include "expr/startup_stubs.h"
#include "ibis/settings.h"
#include "library/startup_stubs.h"
#include "models/startup_stubs.h"
#include "multirun/startup_stubs.h"
#include "schematic/startup_stubs.h"
#include "shell/colortable.h"
#include "shell/fonts.h"
#include "shell/preferences.h"
#include "shell/startup_stubs.h"
#include "text/startup_stubs.h"

namespace {

// The files the command line asked to open, in order.
constexpr int kMainMaxFiles = 64;
char* main_filesToOpen[kMainMaxFiles];
int main_fileCount = 0;

// Until the message box exists, messages go to the standard error stream. The
// text fills the message's "%s" places; it is never used as a format.
int main_ReportMessage(const char*, int code, const char* text) {
    if (code == 0 || code == kResultShown) return code;
    const char* message = GetMessageText(code);
    const char* title = "";
    if (message && message[0] == '%' && (message[1] == 'E' || message[1] == 'W')) {
        title = message[1] == 'E' ? "Error: " : "Warning: ";
        message += 2;
    }
    std::string line;
    if (!message) {
        line = "message " + std::to_string(code);
        if (text && *text) line += std::string(" (") + text + ")";
    }
    for (const char* p = message; p && *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            line += text ? text : "";
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            line += '%';
            ++p;
        } else {
            line += *p;
        }
    }
    fprintf(stderr, "%s%s\n", title, line.c_str());
    return kResultShown;
}

void* main_OpenFileOfKind(const char* path, int kind) {
    if (main_fileCount < kMainMaxFiles) main_filesToOpen[main_fileCount++] = DuplicateString(path);
    return OpenFileOfKind(path, kind);
}

void main_InstallServices() {
    Hooks().reportMessage = main_ReportMessage;

    StartupServices& s = Services();
    s.buildDeviceStatementTables = BuildDeviceStatementTables;
    s.resetFloatingPointState = ResetFloatingPointState;
    s.initToolBarGeometry = InitToolBarGeometry;
    s.initPalettes = InitPalettes;
    s.systemFontHeight = SystemFontHeight;
    s.pointsToLogicalHeight = PointsToLogicalHeight;
    s.initModelParamTables = InitModelParamTables;
    s.resetTranslatorDefaults = ResetTranslatorDefaults;
    s.loadShapeLibraries = LoadShapeLibraries;
    s.loadComponentLibraries = LoadComponentLibraries;
    s.loadPackageFile = LoadPackageFile;
    s.selectStartComponent = SelectStartComponent;
    s.clearRecentComponents = ClearRecentComponents;
    s.bindPaletteButtonsToComponents = BindPaletteButtonsToComponents;
    s.setRandomSeed = SetRandomSeed;
    s.rebuildComponentMenu = RebuildComponentMenu;
    s.resolveDocumentExtension = ResolveDocumentExtension;
    s.openFileOfKind = main_OpenFileOfKind;
    s.getObjectKindSetting = GetObjectKindSetting;

    s.resetGlobalSettings = ResetGlobalSettings;
    s.resetPaletteButtons = ResetPaletteButtons;
    s.resetPaletteNames = ResetPaletteNames;
    s.resetDefaultVisibility = ResetDefaultVisibility;
    s.setPrintHeaderFooter = SetPrintPageHeaderFooter;
    s.resetAllPreferences = ResetAllPreferences;
    s.resetTitleBlock = ResetTitleBlock;
    s.resetSimulatorDefaults = ResetSimulatorDefaults;
    s.resetOptimizerDefaults = ResetOptimizerDefaults;
    s.resetAttributeDefaults = ResetAttributeDefaults;
    s.resetLedColors = ResetLedColors;
    s.setDefaultTextStyles = SetDefaultTextStyles;

    // The old global-settings record of the flat layout has no reader yet, so
    // the flat layout is read only up to it.
    s.unpackOperationalOptions = UnpackOperationalOptions;
    s.setInertialCancellation = SetInertialCancellation;
    s.setTitleBlockText = SetTitleBlockText;
    s.clearSavedPlacement = ClearSavedPlacement;

    InstallPreferences();
    RegisterSettingsSection("IBIS", SerializeIbisSettings);
}

const char* main_YesNo(bool flag) { return flag ? "yes" : "no"; }

const char* main_AnalysisName(int analysis) {
    switch (analysis) {
    case 0: return "transient";
    case 1: return "AC";
    case 2: return "DC";
    default: return "none";
    }
}

void main_PrintState(const char* commandLine) {
    const StartupState& state = Startup();
    printf("Command line:        %s\n", commandLine);
    printf("Batch mode:          %d\n", state.batchMode);
    printf("Batch file:          %s\n", state.batchFile ? state.batchFile : "(none)");
    printf("Save after batch:    %s\n", main_YesNo(state.saveAfterBatch));
    printf("Print circuit:       %s\n", main_YesNo(state.printCircuit));
    printf("Print analysis:      %s\n", main_YesNo(state.printAnalysis));
    printf("Requested analysis:  %s\n", main_AnalysisName(state.requestedAnalysis));
    printf("Files to open:      %s\n", main_fileCount ? "" : " (none)");
    for (int i = 0; i < main_fileCount; ++i) printf("  %s\n", main_filesToOpen[i]);
    printf("Settings file:       %s\n", state.settingsPath ? state.settingsPath : "(none)");
    printf("Data path:           %s\n", GetPathSetting(kPathData));
    printf("Library path:        %s\n", GetPathSetting(kPathLibrary));
    printf("Picture path:        %s\n", GetPathSetting(kPathPicture));
    printf("User, company:       \"%s\", \"%s\"\n", UserName(), CompanyName());

    std::string served, skipped;
    int skippedCount = 0;
    for (int i = 0; i < kSettingsSectionCount; ++i) {
        if (!SettingsSectionWasRead(i)) continue;
        std::string name = std::string(" [") + SettingsSectionName(i) + "]";
        if (SettingsSectionRoutineAt(i)) {
            served += name;
        } else {
            size_t lineStart = skipped.rfind('\n');
            size_t lineLength = skipped.size() - (lineStart == std::string::npos ? 0 : lineStart);
            if (skippedCount && lineLength + name.size() > 90) skipped += "\n ";
            skipped += name;
            ++skippedCount;
        }
    }
    printf("Sections read:      %s\n", served.empty() ? " (none)" : served.c_str());
    if (skippedCount)
        printf("Sections skipped:    %d, their subsystems are not built yet:\n %s\n", skippedCount,
               skipped.c_str());

    const RecentList& recent = RecentFiles();
    printf("Recent files:       %s\n", recent.Count() ? "" : " (none)");
    for (int i = 0; i < recent.Count(); ++i)
        if (recent.Text(i) && *recent.Text(i)) printf("  %d %s\n", i + 1, recent.Text(i));
}

void main_Shutdown() {
    for (int i = 0; i < main_fileCount; ++i) MemFree(main_filesToOpen[i]);
    main_fileCount = 0;
    FreeRecentLists();
    ClearPathGroups();
    for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, nullptr);
    FreeStartupStrings();
}

}  // namespace

int main(int argc, char** argv) {
    main_InstallServices();
    InitRecentLists();

    char* commandLine = JoinCommandLine(argc, argv);
    if (!commandLine) {
        fprintf(stderr, "Error: Insufficient memory.\n");
        return 1;
    }
    int status = ProcessCommandLine(commandLine);
    main_PrintState(commandLine);
    MemFree(commandLine);
    if (status != kStartupContinue) {
        printf("Start-up failed: exit status %d\n", status);
        main_Shutdown();
        return status;
    }

    // As closing the main window does: the settings go back to tarn.dat.
    int saved = SaveSettingsFile();
    printf("Settings saved:      %s\n", saved == 0 ? "yes" : "failed");
    main_Shutdown();
    return 0;
}
