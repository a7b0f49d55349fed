// Services that the core calls in subsystems built on top of it.
//
// The core may not depend on later subsystems, so each such call goes through a
// hook that the owning subsystem installs at start-up. An unset hook means the
// owning subsystem is not built yet; callers then skip that step.
#pragma once

struct CoreHooks {
    // Main frame status message pane (shell).
    void (*setStatusText)(const char* text) = nullptr;
    // Releases every document's undo memory but the newest entry (shell).
    void (*releaseUndoMemory)() = nullptr;
    // Screen size in pixels (platform).
    void (*getScreenSize)(int* width, int* height) = nullptr;
    // Reads a text from the profile file (platform); returns false when absent.
    bool (*readProfileString)(const char* section, const char* key, char* out, int size) = nullptr;
    // Evaluates a parameter text (expression language): 0 or a result code.
    // `dependsOn` (may be null) receives the evaluator's two words that tell
    // whether the value depends on run-time quantities.
    int (*evaluateParameterText)(const char* text, double* value, unsigned dependsOn[2]) = nullptr;
    // Status bar (shell): whether it is shown; a text in one of its panes.
    bool (*isStatusBarShown)() = nullptr;
    void (*setPaneText)(int paneId, const char* text) = nullptr;
    // Progress control of long runs over the status bar's message pane (shell).
    bool (*createProgressControl)(void* frame) = nullptr;
    void (*placeProgressControl)() = nullptr;
    void (*setProgressRange)(int minimum, int maximum) = nullptr;
    void (*setProgressPosition)(int position) = nullptr;
    // The netlist reader's blank skipper: advances over white space and, with
    // `spice`, also over ";" comments and line ends followed by "+" continuation
    // or "*" comment lines (compiler). Unset, line splitting in SPICE mode skips
    // white space only.
    const char* (*skipSpiceBlanks)(const char* cursor, bool spice) = nullptr;
    // The report line width, the WIDTH simulation option (analysis control).
    // Unset, reports centre on 80 columns.
    int (*reportWidth)() = nullptr;
    // The ".PATH" statement of the netlist reader: true when the text is one, with
    // its kind (0 data, 1 library, 2 picture) and its folder list (a heap string
    // the caller frees). Unset, no text counts as a .PATH statement.
    bool (*parseDotPathStatement)(const char* text, int* kind, char** folders) = nullptr;
};

CoreHooks& Hooks();
