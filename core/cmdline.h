// The command line, the process-wide start-up state and the program defaults.
//
// Start-up hands the command line to ProcessCommandLine, which sets up the core
// services in a fixed order, reads the command line (files to open with an
// optional analysis, or a batch file with its switches), loads tarn.dat and the
// libraries and opens the named files.
//
// The start-up sequence runs the steps that subsystems built on top of the core
// added to the program's start-up registry (core/startup_registry.h), each at
// its phase; a subsystem that is not built has added none.
#pragma once

#include <cstddef>

// ---- process-wide start-up state ---------------------------------------------

struct StartupState {
    // 0 interactive; in batch use the run mode: 8, or 1 with "/R", or 2 with "/S".
    int batchMode = 0;
    // Full path of the batch file (heap string) or null.
    char* batchFile = nullptr;
    bool saveAfterBatch = false;  // "/SAVE"
    bool printCircuit = false;    // "/PC" or "/P"
    bool printAnalysis = false;   // "/PA" or "/P"
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
    // The command line named files to open (whether or not they opened): no
    // empty circuit window is opened then.
    bool filesNamed = false;
};

StartupState& Startup();

inline int BatchMode() { return Startup().batchMode; }
inline bool DemoPlaying() { return Startup().demoPlaying; }
inline void SetDemoPlaying(bool on) { Startup().demoPlaying = on; }

// ---- opening documents ------------------------------------------------------------

// How start-up and the shell open a named file as a document (document layer).
// The null object knows no document kind and opens nothing.
class DocumentOpenerPort {
public:
    virtual ~DocumentOpenerPort() = default;
    // The document kind of a path (may complete the path in its buffer of
    // `size` bytes); -1 when it is no file of a known kind.
    virtual int ResolveDocumentExtension(char* path, size_t size, int mode, int kind) = 0;
    // Opens the file as a document of that kind: 0 or a result code
    // (kResultNotBuilt without a document layer).
    virtual int OpenFileOfKind(const char* path, int kind) = 0;
};
DocumentOpenerPort& DocumentOpener();
DocumentOpenerPort* InstallDocumentOpener(DocumentOpenerPort* port);

// Resolves the kind of a named file and opens it: 0 or the opener's result code.
int OpenNamedFile(const char* name);

// ---- the command line ----------------------------------------------------------

// Result of ProcessCommandLine: go on with the message loop, or end the process
// with kExitFailure.
constexpr int kStartupContinue = -1;
constexpr int kExitFailure = 1;

// The start-up sequence. Never ends the process itself: returns kStartupContinue,
// or kExitFailure after a bad command line or when the component libraries cannot
// be loaded (the message has been reported and the main window closed).
int ProcessCommandLine(const char* commandLine);

// Sets every persistent setting to its default; `withPaths` also the search
// paths. The core's own defaults come first (paths, the recent components),
// then every subsystem's defaults step (StartupPhase::kDefaults).
void ResetProgramDefaults(bool withPaths);

// The default page header and footer of printed schematics, at position 2, for
// the printing's defaults step. The footer holds the two characters "\" and "n"
// between $user and $company.
constexpr int kDefaultPrintPosition = 2;
constexpr const char* kDefaultPrintHeader = "$|Page $Page";
constexpr const char* kDefaultPrintFooter = "$<$user\\n$company";

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
// token of `rest` as a document of the kind its extension gives; a name
// relative to the current folder that is there opens from there.
void OpenCommandLineFiles(const char* firstName, char* rest);

// Frees the batch file path, the settings path and the program directory texts.
void FreeStartupStrings();
// FreeStartupStrings and every start-up value back to its initial state (the
// installed registry and ports are left alone).
void ResetStartupState();

// Joins argv[1..] into one command line, quoting arguments that contain blanks.
// Returns a heap string (MemFree).
char* JoinCommandLine(int argc, const char* const* argv);
