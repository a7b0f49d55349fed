// The application object: start-up in its fixed order, the single-instance
// check, the key filter that switches accelerator tables by run state, idle
// work (status readouts, the timed auto-save) and the final clean-up.
#pragma once

#include <functional>

#include <memory>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/menu.h"
#include "platform/types.h"

class CDoc;
class CMainFrame;
class StartupRegistry;
class CMDIFrame;
class CMDIView;

namespace platform {
class ControlPanel;
class MdiChild;
class Profile;
class SingleInstance;
class Window;
}  // namespace platform

// ---- run state ---------------------------------------------------------------

// The run-state values that the key filter, idle work, the close sequence and
// the command states read. Analysis control sets them; until it exists they
// stay at "nothing runs".
struct RunStateValues {
    int activeAnalysis = -1;   // -1 none, 0 transient, 1 AC, 2 DC, 3 distortion
    int dynamicAnalysis = -1;  // the Dynamic mode's kind, -1 none
    bool running = false;      // a simulation runs
    bool paused = false;
    bool stopRequest = false;
    // The digital path window while it holds the menu lock (null: unlocked).
    void* menuLock = nullptr;
    // The current analysis document is in probe mode.
    bool probeMode = false;
    // The first node of a two-node probe while the second is awaited (null: none).
    const char* probeFirstNode = nullptr;
};
RunStateValues& RunState();

// True while one of the program's modal dialogs, sheets or message boxes is up
// (the modeless dialog that takes keyboard navigation is Dialogs().modelessDialog,
// shell/dialogs.h).
bool ModalDialogUp();

// ---- accelerators --------------------------------------------------------------

// The seventeen accelerator tables by resource id (500 to 519); null for an id
// that is none of them. Built by LoadAcceleratorTables.
const platform::AcceleratorTable* GetAcceleratorTable(int id);
void LoadAcceleratorTables();
// The application's tables (515 first; 507 or 506 by run state; 500 last)
// for a key; true when one of them had it (its command was routed from the
// main frame).
bool TranslateAppAccelerators(int key, unsigned modifiers);

// ---- idle work ------------------------------------------------------------------

// The track pane's readout of the active window (caret line and column, plot
// values); empty when no window gives one.
void UpdateStatusReadouts();
// Saves every file-backed document with a window and unsaved changes (an
// untitled one through File > Save, which asks for a name).
void AutoSaveDocuments();
// Whether the auto-save interval has passed: whole minutes since the last
// save, both times in seconds of a monotonic clock.
bool AutoSaveDue(long long nowSeconds, long long lastSeconds, int minutes);
// The clock of the auto-save (seconds); tests replace it (null restores it).
void SetAutoSaveClock(std::function<long long()> clock);
long long AutoSaveClockSeconds();

// ---- the application ---------------------------------------------------------

// ---- a second start ----------------------------------------------------------------

// The files a command line names, as full paths (relative names are taken
// from `directory`), in order; none for a batch command line ("@file"),
// whose run never involves a running instance.
std::vector<std::string> NamedFilesOfCommandLine(const char* commandLine, const std::string& directory);
// Whether the command line starts a batch run.
bool IsBatchCommandLine(const char* commandLine);

struct PlatformFlags {
    int isNT = 0;
    int is9x = 0;
    int keyboardType = 0;
};
const PlatformFlags& GetPlatformFlags();

class CSimulatorApp {
public:
    CSimulatorApp();
    ~CSimulatorApp();
    CSimulatorApp(const CSimulatorApp&) = delete;
    CSimulatorApp& operator=(const CSimulatorApp&) = delete;

    // The start-up sequence over an existing platform::Application. True to
    // run the message loop; false when the process is to end at once (another
    // instance runs, a step failed, or a batch run has finished). The exit
    // status for that case is ExitCode().
    bool InitInstance(const char* commandLine);
    // The message loop until the main frame has gone; its exit code.
    int Run();
    // Final clean-up; returns the exit code.
    int ExitInstance();
    int ExitCode() const { return exitCode_; }
    // True while Run is in the message loop (the main frame's destruction
    // then ends it).
    bool InMessageLoop() const { return inLoop_; }
    // True when start-up ended because another instance runs (it was asked
    // to come to the front).
    bool OtherInstanceFound() const { return otherInstance_; }
    // How many files this start handed to the running instance.
    int HandedOverFiles() const { return handedOver_; }
    // Opens the files a later start handed over (at the next idle time, or
    // now when called directly); those not opened yet wait in a queue.
    void OpenHandedOverFiles();

    // Key pre-translation (true: consumed) and idle work (true: more wanted).
    bool PreTranslateKey(const platform::KeyEvent& event);
    bool OnIdle(int count);

    CMainFrame* mainFrame = nullptr;
    int newShell = 0;
    int classRegistered = 0;

    // The name under which the single instance listens; tests use their own.
    // Empty: no single-instance check (off-screen runs have no desktop to share).
    std::string instanceName = "tw8demo";

    int GetWaitCursorCount() const;

private:
    bool CheckRunningInstance(const char* commandLine);
    bool LoadStartupTables(const char* commandLine);

    std::unique_ptr<platform::SingleInstance> instance_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<platform::Profile> profile_;
    int exitCode_ = 0;
    bool inLoop_ = false;
    bool otherInstance_ = false;
    int handedOver_ = 0;
    std::vector<std::string> pendingFiles_;
};

// The application object (made by main or by a test).
CSimulatorApp* TheApp();

// What the end of an interactive start-up asks of subsystems built after the
// shell. The null object opens no window, starts nothing and shows no tip.
class StartupRequestsPort {
public:
    virtual ~StartupRequestsPort() = default;
    // Opens a new empty circuit window (when the command line opened none);
    // its document, or null.
    virtual CDoc* OpenNewCircuitWindow() = 0;
    // Starts the analysis of that kind (0 transient, 1 AC, 2 DC) on a circuit
    // that the command line asked for: 0 or a result code (kResultNotBuilt
    // without analysis control).
    virtual int StartAnalysis(CDoc* circuitDocument, int kind) = 0;
    // The Tip of the Day, when its "Show" setting is on.
    virtual void ShowTipOfTheDay() = 0;
};
StartupRequestsPort& StartupRequests();
StartupRequestsPort* InstallStartupRequests(StartupRequestsPort* port);

// Adds the shell's start-up steps to the registry: the palettes (with the
// window geometry) and the preferences' defaults.
void RegisterShellStartup(StartupRegistry& registry);

// Installs what the shell serves to the core and to start-up: the string
// table and message reporter, the [Preferences] section, the memory relief, the
// font metrics and the settings' shell entries, and the shell's start-up steps
// (a registry that has them already keeps them once). InitInstance runs it
// before the command line.
void InstallShellServices();

// ---- small shared utilities ------------------------------------------------

// The topmost circuit or text frame of the MDI area, its document and view.
CMDIFrame* FindTopDocumentFrame();
CDoc* GetTopCircuitDocument();
CMDIView* GetTopCircuitView();
// True when the document is on the document list.
bool IsOpenDocument(const CDoc* document);
// Moves a window rectangle up/left to end inside the MDI client, clips its
// left/top at 0 and shrinks it to the client size when larger.
platform::Rect ConfineRectToClient(const platform::Rect& rect);
void RedrawMainWindow();
platform::Rect GetWorkArea();
bool RectsOverlap(const platform::Rect& a, const platform::Rect& b);
void RefreshScrollMetrics();
int VScrollWidth();
int HScrollHeight();
// Sets the main frame's title to the product name and version.
void SetMainTitle();
std::string MainTitleText();
// A dialog control's rectangle in the dialog's client coordinates; empty when
// the dialog has no such control.
platform::Rect GetDlgItemClientRect(const platform::ControlPanel& dialog, int controlId);
// The recent-file commands 18600-18619: opens that entry of the recent files
// by its document kind. An empty entry does nothing.
void OpenRecentFile(int commandId);
// The mouse key flags now (demo playback will substitute its own).
unsigned GetMouseKeyFlags(unsigned flags);
bool IsAltDown();
