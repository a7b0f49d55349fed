// The main frame: the program's one top-level window, an MDI frame with the
// menu bar (menu 128), the status bar and all document windows. It routes
// commands before the views, answers cursor and menu prompts, and runs the
// ordered shutdown: the quit question, the save questions, tarn.dat.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/frame.h"
#include "platform/menu.h"
#include "shell/statusbar.h"

// Command ids the main frame handles itself.
constexpr int kCmdExit = 12513;       // File > Exit
constexpr int kCmdStatusBar = 18432;  // Options > Status Bar
constexpr int kCmdRecentFileFirst = 18600;
constexpr int kCmdRecentFileLast = 18619;
constexpr int kCmdFirstComponent = 32000;
constexpr int kCmdFileNew = 11400;   // File > New... (Ctrl+N)
constexpr int kCmdFileOpen = 57601;  // File > Open... (Ctrl+O)
constexpr int kCmdFileSaveAs = 57604;
constexpr int kCmdFilePaths = 11100;       // File > Paths...
constexpr int kCmdFileCleanup = 296;       // File > Cleanup...
constexpr int kCmdEditFindInFiles = 1800;  // Edit > Find in Files...
constexpr int kCmdWindowsOverlap = 17304;
constexpr int kCmdWindowsMaximize = 17305;
constexpr int kCmdUserDefinitions = 18412;  // Options > User Definitions
constexpr int kCmdStatistics = 1021;        // Help > Statistics... (Alt+Z)
constexpr int kCmdTransient = 17620;        // Analysis > Transient... (Alt+1), AC, DC follow
constexpr int kCmdStateVariables = 5400;    // Analysis > State Variables Editor... (F12)
constexpr int kCmdDistortion = 17628;
// Entries whose commands analysis control carries out and enables.
constexpr int kCmdTransferFunctionDialog = 17230;  // Analysis > Transfer Function... (Alt+7)
constexpr int kCmdSensitivityDialog = 17250;       // Analysis > Sensitivity... (Alt+6)
constexpr int kCmdGlobalSettingsDialog = 18410;    // Options > Global Settings... (Ctrl+Shift+G)
// The title: the product name and its version.
constexpr const char* kProductTitle = "Tarnwick";
constexpr const char* kProductVersion = "8.0.1.0";

// Flags of CMainFrame::ApplyToAllDocuments.
enum ApplyFlags : unsigned {
    kApplyInvalidate = 0x0001,
    kApplyShowFrame = 0x0002,
    kApplyHideOthers = 0x0004,
    kApplyMarkChanged = 0x0008,
    kApplyClose = 0x0010,
    kApplyRefresh = 0x0040,
    kApplyCloseClass8 = 0x0200,
    kApplyCloseClass16 = 0x0400,
    kApplyCloseClass32 = 0x0800,
    kApplyRedrawNow = 0x1000,
};

class CMainFrame : public platform::MainFrame {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Makes the window with menu 128 and the product title (hidden until
    // shown). False when the window cannot be made.
    bool LoadFrame();
    // The main menu (menu 128) and its pop-ups by position: 0 File,
    // 1 Edit, 2 Component, 3 Windows, 4 Options, 5 Analysis, 6 Design,
    // 7 Model, 8 Help.
    platform::Menu& MainMenu() { return *menu_; }
    // The target set with SetNextCommandTarget, where the chain ends whether
    // or not a window is active.
    platform::CommandTarget* TailCommandTarget() { return platform::CommandTarget::NextCommandTarget(); }

    // --- status bar
    // Creates the main status bar, visible or hidden; false when its panes
    // cannot be set.
    bool CreateMainStatusBar(bool visible);
    bool SetMainIndicators();
    void RestoreTrackPaneWidth();
    void SetPaneTextFitted(int paneId, const char* text);
    void SetStatusText(const char* text);
    // Shows the prompt of an id in the message pane; returns the id shown
    // before (-1 without a bar).
    int SetStatusTextById(int id);
    // The message pane's text (empty when the bar is hidden or missing),
    // cut to length - 1 bytes.
    void GetStatusText(char* buffer, int length) const;
    int SetRunStateText(const char* text);
    int SetRunStateTextById(int id);
    void UpdateRunStateText();
    void ToggleStatusBar();
    void UpdateClockTimer();
    bool IsClockRunning() const { return clockRunning_; }
    // One clock tick: the clock pane shows the local time.
    void ClockTick();
    // Shows a prompt; while the bar exists the menu and cursor prompts land here.
    CStatusBar2& StatusBar() { return statusBar_; }
    bool HasStatusBar() const { return statusBarCreated_; }
    // How often the message pane was written (repeated prompts by id are not).
    int StatusRepaintCount() const { return statusRepaints_; }

    // --- progress over the message pane
    void BeginProgress(int maximum);
    void EndProgress();

    // --- life cycle
    // Start-up placement: the stored placement when there is one (true),
    // otherwise exactly the desktop's work area (false).
    bool PlaceAtStart();
    // Closes as the close box does; `askQuit` false skips the quit question
    // (console runs have nobody to ask). True when the window has gone.
    bool CloseFrame(bool askQuit = true);
    // Result of writing tarn.dat when the window was destroyed (-1: not yet).
    int settingsSaveResult = -1;
    // Restores the frame when minimised, activates it and brings it to the top.
    void RestoreAndActivate();
    // Opens each file as a document of the kind its name gives, as files
    // dropped on the frame are (circuits and models not under an analysis).
    void OpenFiles(const std::vector<std::string>& paths);
    // Applies flag-selected actions to every document with a view.
    void ApplyToAllDocuments(unsigned flags, platform::Window* except = nullptr);
    // Menu selection of an item (0 for pop-ups and separators): its prompt.
    // The window layer does not report menu highlights yet; callers that
    // learn of one call it.
    void OnMenuSelect(int id);
    // The cursor is over the frame or one of its bars: the prompt is reset.
    void OnCursorPrompt();
    // Idle work: saves the changed documents once "AutoSaveMin" minutes have
    // passed since the last auto-save (held back during runs and dialogs).
    void CheckAutoSave();
    // Seconds of the monotonic clock at the last auto-save (0 at start).
    long long lastAutoSaveSeconds = 0;

    // Dynamic AC/DC flag and its two words (owned by analysis control).
    int dynamicMode = 0;
    int dynamicWords[2] = {0, 0};
    // Document of the Watch window (owned by analysis control).
    void* watchDocument = nullptr;

    // --- command routing
    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;

protected:
    void OnTimer(int id) override;
    bool OnClose() override;
    void OnDestroy() override;
    void OnSetFocus() override;
    void OnDropFiles(const std::vector<std::string>& paths, platform::Point p) override;

private:
    void BuildMainMenu();

    std::unique_ptr<platform::Menu> menu_;
    CStatusBar2 statusBar_;
    bool statusBarCreated_ = false;
    bool clockRunning_ = false;
    bool progress_ = false;
    int statusRepaints_ = 0;
    bool askQuit_ = true;
};

// The main frame while it exists (null before start-up made it and after
// its window was destroyed).
CMainFrame* GetMainFrame();
void SetMainFrame(CMainFrame* frame);

// True when an analysis is active, the current circuit and its analysis view
// exist and the Dynamic AC/DC mode is off.
bool InAnalysisMode();
// The number of file-backed documents with unsaved changes.
int CountChangedDocuments();
// ApplyToAllDocuments with kApplyHideOthers and the view's window.
void HideOtherDocumentWindows(platform::Window* view);
