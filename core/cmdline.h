// The command line, the process-wide start-up state and the program defaults.
//
// Start-up hands the command line to ProcessCommandLine, which sets up the core
// services in a fixed order, reads the command line (files to open with an
// optional analysis, or a batch file with its switches), loads tarn.dat and the
// libraries and opens the named files.
//
// The start-up sequence calls services of subsystems built on top of the core.
// The core may not depend on them, so they reach it through the StartupServices
// table, which the program fills before calling ProcessCommandLine. An unset
// entry means its subsystem is not built yet: that step is skipped.
#pragma once

#include <cstddef>

struct ComponentDef;
class TextFile;

// ---- process-wide start-up state ---------------------------------------------

struct StartupState {
    // 0 interactive; in batch use the run mode: 8, or 1 with "/R", or 2 with "/S".
    int batchMode = 0;
    // Full path of the batch file (heap string) or null.
    char* batchFile = nullptr;
    bool saveAfterBatch = false;   // "/SAVE"
    bool printCircuit = false;     // "/PC" or "/P"
    bool printAnalysis = false;    // "/PA" or "/P"
    // -1 none, 0 transient ("/T"), 1 AC ("/A"), 2 DC ("/D").
    int requestedAnalysis = -1;
    // Full path of tarn.dat (heap string) or null before start-up set it.
    char* settingsPath = nullptr;
    // Set after a fatal start-up error: SaveSettingsFile then writes nothing.
    bool noSave = false;
    // Set while the demo player plays a demonstration (owned by the demo player):
    // no remembered dialog positions, no save questions, no settings saving, the
    // whole undo history kept, no recent-file records.
    bool demoPlaying = false;
    // Whether the status bar is shown when the main frame creates it.
    bool statusBarAtStart = true;
    // Default font height (a negative logical height) and the vertical step
    // between a component's attribute texts, both derived from the system font.
    int defaultFontHeight = 0;
    int attributeTextStep = 0;
    // The first fatal code reported at start-up (0 none), for whoever ends the process.
    int fatalCode = 0;
};

StartupState& Startup();

inline int BatchMode() { return Startup().batchMode; }
inline bool DemoPlaying() { return Startup().demoPlaying; }
inline void SetDemoPlaying(bool on) { Startup().demoPlaying = on; }

// ---- services of later subsystems ---------------------------------------------

struct StartupServices {
    // Netlist reader and expression language set-up.
    void (*buildDeviceStatementTables)() = nullptr;
    void (*resetFloatingPointState)() = nullptr;
    // Window-layer geometry and fonts (shell).
    void (*initToolBarGeometry)() = nullptr;
    void (*initPalettes)() = nullptr;
    int (*systemFontHeight)() = nullptr;              // logical height of the system font
    int (*pointsToLogicalHeight)(int points) = nullptr;
    // Models and translator defaults.
    void (*initModelParamTables)() = nullptr;
    void (*resetTranslatorDefaults)() = nullptr;
    // Libraries (component and shape libraries).
    int (*loadShapeLibraries)() = nullptr;            // reports each failure itself
    int (*loadComponentLibraries)() = nullptr;        // non-zero is fatal
    int (*loadPackageFile)() = nullptr;               // result ignored
    ComponentDef* (*selectStartComponent)() = nullptr;
    void (*clearRecentComponents)() = nullptr;
    // Palette buttons, menus, random generator (shell).
    void (*bindPaletteButtonsToComponents)() = nullptr;
    unsigned (*setRandomSeed)(unsigned seed) = nullptr;
    void (*rebuildComponentMenu)() = nullptr;
    // Opening files: the document kind of a path (may complete the path in its
    // buffer of `size` bytes; -1 no file of a known kind) and the opened document.
    int (*resolveDocumentExtension)(char* path, size_t size, int mode, int kind) = nullptr;
    void* (*openFileOfKind)(const char* path, int kind) = nullptr;
    // Graphic-object defaults (schematic editor): called with 0xffff at start-up.
    int (*getObjectKindSetting)(int index) = nullptr;
    // Closes the main window after a fatal start-up error (shell).
    void (*closeMainWindow)() = nullptr;

    // Program defaults (ResetProgramDefaults), in its order.
    void (*resetGlobalSettings)(int flag) = nullptr;
    void (*resetPaletteButtons)() = nullptr;
    void (*resetPaletteNames)() = nullptr;
    void (*resetDefaultVisibility)() = nullptr;
    void (*setPrintHeaderFooter)(int position, const char* header, const char* footer) = nullptr;
    void (*resetAllPreferences)() = nullptr;
    void (*resetTitleBlock)() = nullptr;
    void (*resetSimulatorDefaults)() = nullptr;
    void (*resetOptimizerDefaults)() = nullptr;
    void (*resetAttributeDefaults)(int set, int flag) = nullptr;
    void (*resetLedColors)() = nullptr;
    void (*setDefaultTextStyles)() = nullptr;

    // The older flat settings layout.
    int (*readOldGlobalSettings)(TextFile& file) = nullptr;   // non-zero stops the reading
    void (*unpackOperationalOptions)(unsigned word) = nullptr;
    void (*setInertialCancellation)(bool on) = nullptr;
    void (*setTitleBlockText)(int index, const char* text) = nullptr;
    // After a read whose [Main] screen size differs from the current screen:
    // forget the main window's saved placement.
    void (*clearSavedPlacement)() = nullptr;
};

StartupServices& Services();

// ---- the command line ----------------------------------------------------------

// Result of ProcessCommandLine: go on with the message loop, or end the process
// with kExitFailure.
constexpr int kStartupContinue = -1;
constexpr int kExitFailure = 1;

// The start-up sequence. Never ends the process itself: returns kStartupContinue,
// or kExitFailure after a bad command line or when the component libraries cannot
// be loaded (the message has been reported and the main window closed).
int ProcessCommandLine(const char* commandLine);

// Sets every persistent setting to its default; `withPaths` also the search paths.
void ResetProgramDefaults(bool withPaths);

// The line is a list of blank-separated words; double quotes group blanks into a
// word and are not part of it. A switch is an unquoted word that begins with "/"
// and holds no further "/" and no "." ("/SAVE", "/t"); a word that begins with
// "/" and holds either is a full path ("/home/ann/amp.cir"), since "/" separates
// folders here. Switches compare without case; names keep their case.

// Takes the next file-name token out of `line` into `token` (size bytes): blanks
// are skipped; a quoted token is taken without its quotes (an unterminated quote
// takes the rest of the line); switches are stepped over and left in the line.
// The line is trimmed afterwards. An empty token means none is left.
void TakeCommandLineToken(char* line, char* token, size_t size);
// Finds the switch (e.g. "/SAVE") as a whole word in `line`, compared without
// case; removes it and returns its position, or -1. The line is trimmed afterwards.
int FindCommandLineSwitch(char* line, const char* sw);
// FindCommandLineSwitch with "/" followed by the letter.
int FindSwitchLetter(char* line, char letter);

// Marks the start-up as failed (no-save flag, fatalCode), reports the code with the
// text (option letters "E") and closes the main window. Returns kExitFailure, the
// exit status for the caller to end the process with.
int ReportFatalAndExit(int code, const char* text);

// In interactive use (no batch file) opens the first name and then every further
// token of `rest` as a document of the kind its extension gives.
void OpenCommandLineFiles(const char* firstName, char* rest);

// Frees the batch file path, the settings path and the program directory texts.
void FreeStartupStrings();
// FreeStartupStrings and every start-up value back to its initial state (the
// services table is left alone).
void ResetStartupState();

// Joins argv[1..] into one command line, quoting arguments that contain blanks.
// Returns a heap string (MemFree).
char* JoinCommandLine(int argc, const char* const* argv);
