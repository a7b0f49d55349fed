// The command line, the start-up sequence and the program defaults.
#include "core/cmdline.h"

#include <unistd.h>
#include <cfenv>
#include <cstdlib>
#include <cstring>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/fontspec.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/recentlist.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/startup_registry.h"

namespace {

constexpr int kCmdLineErrorMessage = 10150;  // "%EError in command line '%s'."
constexpr size_t kCmdTokenSize = 4096;

bool cl_IsBlank(char c) { return c == ' ' || c == '\t'; }

// The end of the word that starts at `start`: the first blank outside double quotes.
size_t cl_WordEnd(const char* line, size_t start) {
    bool quoted = false;
    size_t i = start;
    for (; line[i]; ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (!quoted && cl_IsBlank(line[i]))
            break;
    }
    return i;
}

bool cl_IsSwitchWord(const char* line, size_t start, size_t end) {
    if (line[start] != '/') return false;
    for (size_t i = start + 1; i < end; ++i)
        if (line[i] == '/' || line[i] == '.' || line[i] == '"') return false;
    return true;
}

void cl_TrimLine(char* line) {
    size_t length = strlen(line);
    while (length > 0 && cl_IsBlank(line[length - 1])) line[--length] = 0;
    size_t lead = 0;
    while (lead < length && cl_IsBlank(line[lead])) ++lead;
    if (lead) memmove(line, line + lead, length - lead + 1);
}

void cl_RemoveRange(char* line, size_t start, size_t end) { memmove(line + start, line + end, strlen(line + end) + 1); }

bool cl_HasSwitchWord(const char* line) {
    size_t i = 0;
    while (line[i]) {
        if (cl_IsBlank(line[i])) {
            ++i;
            continue;
        }
        size_t end = cl_WordEnd(line, i);
        if (cl_IsSwitchWord(line, i, end)) return true;
        i = end;
    }
    return false;
}

// Reports a failed step with the pending text as its subject, unless it was shown.
void cl_ReportStepFailure(int code) {
    if (code != kResultShown) Reporter().Report(Message(code).Args(PendingText()));
}

// A command line's name relative to the current folder, when a file of that name
// is there, becomes a full path; any other name is left to the document's search
// along its kind's folders.
void cl_OpenCommandLineFile(const char* name) {
    if (!name || !*name) return;
    Startup().filesNamed = true;
    char path[kPathSize];
    char folder[kPathSize];
    if (name[0] != '/' && access(name, F_OK) == 0 && getcwd(folder, sizeof folder)) {
        FormatBounded(path, sizeof path, "%s/%s", folder, name);
        OpenNamedFile(path);
    } else {
        OpenNamedFile(name);
    }
}

class NullDocumentOpener final : public DocumentOpenerPort {
public:
    int ResolveDocumentExtension(char*, size_t, int, int) override { return -1; }
    int OpenFileOfKind(const char*, int) override { return kResultNotBuilt; }
};

PortSlot<DocumentOpenerPort, NullDocumentOpener> cl_opener;

}  // namespace

StartupState& Startup() {
    static StartupState state;
    return state;
}

DocumentOpenerPort& DocumentOpener() { return cl_opener.Get(); }
DocumentOpenerPort* InstallDocumentOpener(DocumentOpenerPort* port) { return cl_opener.Install(port); }

int OpenNamedFile(const char* name) {
    if (!name || !*name) return kOk;
    char path[kPathSize];
    CopyTextBounded(path, name, sizeof path);
    DocumentOpenerPort& opener = DocumentOpener();
    const int kind = opener.ResolveDocumentExtension(path, sizeof path, 1, -2);
    return opener.OpenFileOfKind(path, kind);
}

// ---- tokens and switches ----------------------------------------------------------

void TakeCommandLineToken(char* line, char* token, size_t size) {
    if (size > 0) token[0] = 0;
    size_t i = 0;
    while (line[i]) {
        if (cl_IsBlank(line[i])) {
            ++i;
            continue;
        }
        size_t end = cl_WordEnd(line, i);
        if (cl_IsSwitchWord(line, i, end)) {
            i = end;
            continue;
        }
        size_t out = 0;
        for (size_t k = i; k < end; ++k) {
            if (line[k] == '"') continue;
            if (out + 1 < size) token[out++] = line[k];
        }
        if (size > 0) token[out] = 0;
        cl_RemoveRange(line, i, end);
        break;
    }
    cl_TrimLine(line);
}

int FindCommandLineSwitch(char* line, const char* sw) {
    size_t length = strlen(sw);
    size_t i = 0;
    while (line[i]) {
        if (cl_IsBlank(line[i])) {
            ++i;
            continue;
        }
        size_t end = cl_WordEnd(line, i);
        if (cl_IsSwitchWord(line, i, end) && end - i == length && CompareNoCaseN(line + i, sw, length) == 0) {
            cl_RemoveRange(line, i, end);
            cl_TrimLine(line);
            return static_cast<int>(i);
        }
        i = end;
    }
    cl_TrimLine(line);
    return -1;
}

int FindSwitchLetter(char* line, char letter) {
    char sw[3] = {'/', letter, 0};
    return FindCommandLineSwitch(line, sw);
}

// ---- start-up -----------------------------------------------------------------------

int ReportFatalAndExit(int code, const char* text) {
    StartupState& state = Startup();
    state.noSave = true;
    if (!state.fatalCode) state.fatalCode = code;
    if (code != kResultShown) Reporter().Report(Message(code).Args(text ? text : ""));
    MainWindow().CloseMainWindow();
    return kExitFailure;
}

void OpenCommandLineFiles(const char* firstName, char* rest) {
    if (Startup().batchFile) return;
    cl_OpenCommandLineFile(firstName);
    if (!rest) return;
    char token[kCmdTokenSize];
    for (;;) {
        TakeCommandLineToken(rest, token, sizeof token);
        if (!token[0]) break;
        cl_OpenCommandLineFile(token);
    }
}

int ProcessCommandLine(const char* commandLine) {
    StartupState& state = Startup();
    const StartupRegistry& steps = StartupSteps();

    BuildCharClassTables();
    BuildSuffixLetters();
    steps.Run(StartupPhase::kTables);

    char* line = DuplicateString(commandLine ? commandLine : "");
    if (!line) return ReportFatalAndExit(kResultNoMemory, "");
    std::feclearexcept(FE_ALL_EXCEPT);
    steps.Run(StartupPhase::kNumbers);
    InitProgramDirectory();
    cl_TrimLine(line);

    state.batchMode = 0;
    char token[kCmdTokenSize];
    TakeCommandLineToken(line, token, sizeof token);

    if (token[0] == '@') {
        state.saveAfterBatch = FindCommandLineSwitch(line, "/SAVE") >= 0;
        state.printCircuit = FindCommandLineSwitch(line, "/PC") >= 0;
        state.printAnalysis = FindCommandLineSwitch(line, "/PA") >= 0;
        if (FindCommandLineSwitch(line, "/P") >= 0) state.printCircuit = state.printAnalysis = true;
        if (FindSwitchLetter(line, 'S') >= 0)
            state.batchMode = 2;
        else if (FindSwitchLetter(line, 'R') >= 0)
            state.batchMode = 1;
        else
            state.batchMode = 8;

        char name[kPathSize];
        CopyTextBounded(name, token + 1, sizeof name);
        TrimSpaces(name);
        int result = name[0] ? MakeFullPath(name, kPathProgram) : kCmdLineErrorMessage;
        if (result) {
            int code = ReportFatalAndExit(result, result == kCmdLineErrorMessage ? token : name);
            MemFree(line);
            return code;
        }
        SetString(&state.batchFile, name);
        token[0] = 0;
    } else {
        if (FindSwitchLetter(line, 'T') >= 0) state.requestedAnalysis = 0;
        if (FindSwitchLetter(line, 'A') >= 0) state.requestedAnalysis = 1;
        if (FindSwitchLetter(line, 'D') >= 0) state.requestedAnalysis = 2;
    }

    if (cl_HasSwitchWord(line)) {
        int code = ReportFatalAndExit(kCmdLineErrorMessage, line);
        MemFree(line);
        return code;
    }

    steps.Run(StartupPhase::kWindows);
    if (const int systemHeight = FontMetrics().SystemFontHeight()) {
        int height = FontMetrics().PointsToLogicalHeight(systemHeight * 7 / 10);
        state.defaultFontHeight = height;
        state.attributeTextStep = abs(height);
        SetDefaultFontHeight(height);
    }

    steps.Run(StartupPhase::kModels);

    char settingsPath[kPathSize];
    MakeHomePath(settingsPath, "tarn.dat");
    SetString(&state.settingsPath, settingsPath);
    LoadSettings();

    // Shape libraries report their failures and start-up goes on; component
    // libraries that cannot be loaded end it.
    if (int result = steps.Run(StartupPhase::kLibraries, cl_ReportStepFailure)) {
        int code = ReportFatalAndExit(result, PendingText());
        MemFree(line);
        return code;
    }
    steps.Run(StartupPhase::kComponents, cl_ReportStepFailure);

    OpenCommandLineFiles(token, line);
    steps.Run(StartupPhase::kAfterFiles);
    MemFree(line);
    return kStartupContinue;
}

// ---- program defaults ------------------------------------------------------------

void ResetProgramDefaults(bool withPaths) {
    if (withPaths) ResetDefaultPaths(true);
    ClearRecentComponents();
    StartupSteps().Run(StartupPhase::kDefaults);
    Startup().statusBarAtStart = true;
}

// ---- strings -------------------------------------------------------------------------

void FreeStartupStrings() {
    StartupState& state = Startup();
    FreeString(&state.batchFile);
    FreeString(&state.settingsPath);
    FreeProgramDirectory();
}

void ResetStartupState() {
    FreeStartupStrings();
    Startup() = StartupState{};
}

char* JoinCommandLine(int argc, const char* const* argv) {
    char* line = DuplicateString("");
    for (int i = 1; i < argc && line; ++i) {
        const char* argument = argv[i];
        if (!argument || !*argument) continue;
        if (line[0]) AppendString(&line, " ");
        bool quote = strpbrk(argument, " \t") != nullptr;
        if (quote) AppendString(&line, "\"");
        AppendString(&line, argument);
        if (quote) AppendString(&line, "\"");
    }
    return line;
}
