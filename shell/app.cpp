#include "shell/app.h"
#include "shell/help.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/properties.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/settings.h"
#include "core/startup_registry.h"
#include "platform/controls.h"
#include "platform/frame.h"
#include "platform/profile.h"
#include "shell/colortable.h"
#include "shell/dialogs.h"
#include "shell/document.h"
#include "shell/fonts.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"
#include "shell/report.h"

namespace {

RunStateValues app_runState;
PlatformFlags app_platformFlags;
CSimulatorApp* app_theApp = nullptr;
int app_vScrollWidth = 0;
int app_hScrollHeight = 0;
int app_progressMinimum = 0;

// ---- accelerator tables ----------------------------------------------------------

namespace app_key = platform::key;
constexpr unsigned app_kNone = platform::ModNone;
constexpr unsigned app_kShift = platform::ModShift;
constexpr unsigned app_kCtrl = platform::ModCtrl;
constexpr unsigned app_kAlt = platform::ModAlt;
constexpr unsigned app_kCtrlShift = platform::ModCtrl | platform::ModShift;
constexpr unsigned app_kCtrlAlt = platform::ModCtrl | platform::ModAlt;

struct app_AccelRow {
    int table;
    int command;
    int key;
    unsigned modifiers;
};

// Rows of the tables, grouped by table. Tables 501, 503, 505 and 513 hold the
// keys of the text editor, plot, schematic and 3D views and are filled by them.
constexpr app_AccelRow app_kAccelRows[] = {
    {508, 769, app_key::Tab, app_kNone},
    {508, 768, app_key::Tab, app_kShift},

    {500, 17800, app_key::Function(1), app_kNone},
    {500, 17806, app_key::Function(1), app_kAlt},
    {500, 16068, app_key::Function(2), app_kNone},
    {500, 17216, app_key::Function(3), app_kNone},
    {500, 17153, app_key::Function(3), app_kShift},
    {500, 57652, app_key::Function(4), app_kShift},
    {500, 57650, app_key::Function(5), app_kShift},
    {500, 17308, 'F', app_kCtrlShift},
    {500, 1021, 'Z', app_kAlt},
    {500, 18411, 'P', app_kCtrlShift},
    {500, 18410, 'G', app_kCtrlShift},
    {500, 57601, 'O', app_kCtrl},
    {500, 17213, 'F', app_kCtrl},
    {500, 18431, '0', app_kCtrl},
    {500, 18509, 'I', app_kCtrlShift},
    {500, 16071, app_key::Function(9), app_kNone},
    {500, 18419, app_key::Function(10), app_kAlt},
    {500, 18100, app_key::Function(11), app_kNone},
    {500, 5400, app_key::Function(12), app_kNone},
    {500, 18899, app_key::Function(11), app_kCtrl},

    {515, 1022, 'W', app_kCtrlShift},

    {504, 57634, 'C', app_kCtrl},
    {504, 57634, app_key::Insert, app_kCtrl},
    {504, 57637, 'V', app_kCtrl},
    {504, 57637, app_key::Insert, app_kShift},
    {504, 57643, 'Z', app_kCtrl},
    {504, 57643, app_key::Back, app_kAlt},
    {504, 57632, app_key::Delete, app_kNone},
    {504, 57635, app_key::Delete, app_kShift},
    {504, 57635, 'X', app_kCtrl},
    {504, 57644, 'Y', app_kCtrl},

    {506, 17151, app_key::Function(4), app_kNone},
    {506, 17150, app_key::Function(5), app_kNone},
    {506, 16070, app_key::Space, app_kCtrl},
    {506, 16002, app_key::Function(9), app_kCtrl},
    {506, 17179, app_key::Function(9), app_kAlt},
    {506, 17176, 'W', app_kCtrl},

    {519, 17577, app_key::Function(8), app_kNone},
    {519, 17576, app_key::Function(7), app_kNone},
    {519, 17644, app_key::Enter, app_kNone},

    {507, 17620, '1', app_kAlt},
    {507, 17621, '2', app_kAlt},
    {507, 17622, '3', app_kAlt},
    {507, 17627, '4', app_kAlt},
    {507, 17626, '5', app_kAlt},
    {507, 17250, '6', app_kAlt},
    {507, 17230, '7', app_kAlt},
    {507, 17628, '8', app_kAlt},
    {507, 17623, '1', app_kCtrlAlt},
    {507, 17624, '2', app_kCtrlAlt},
    {507, 17625, '3', app_kCtrlAlt},
    {507, 17541, '1', app_kCtrl},
    {507, 17542, '2', app_kCtrl},
    {507, 17543, '3', app_kCtrl},
    {507, 17544, '4', app_kCtrl},
    {507, 17545, '5', app_kCtrl},
    {507, 17546, '6', app_kCtrl},
    {507, 17547, '7', app_kCtrl},
    {507, 17548, '8', app_kCtrl},
    {507, 17549, '9', app_kCtrl},
    {507, 11400, 'N', app_kCtrl},
    {507, 18506, 'B', app_kCtrlShift},

    {509, 17119, 'R', app_kAlt},
    {509, 17125, 'S', app_kAlt},
    {509, 15678, app_key::Function(10), app_kNone},

    {510, 17672, app_key::Space, app_kNone},
    {510, 57642, 'A', app_kCtrl},
    {510, 17561, 'E', app_kCtrl},
    {510, 17563, 'T', app_kCtrl},

    {516, 769, app_key::Tab, app_kNone},
    {516, 768, app_key::Tab, app_kShift},
    {516, 15678, app_key::Function(10), app_kNone},

    {514, 57607, 'P', app_kCtrl},
    {514, 57603, 'S', app_kCtrl},
    {514, 12506, 'R', app_kCtrlAlt},
    {514, 17504, app_key::Add, app_kCtrl},
    {514, 17505, app_key::Subtract, app_kCtrl},
    {514, 15678, app_key::Function(10), app_kNone},

    {517, 17638, app_key::PageUp, app_kCtrl},
    {517, 17639, app_key::PageDown, app_kCtrl},
    {517, 17670, 'B', app_kCtrl},
    {517, 17669, 'G', app_kCtrl},
    {517, 17567, 'H', app_kCtrl},

    {518, 12333, app_key::Subtract, app_kCtrl},
    {518, 12334, app_key::Add, app_kCtrl},
    {518, 12340, 'O', app_kCtrl},
    {518, 12341, 'N', app_kCtrl},
};

// The seventeen tables in their loading order.
constexpr int app_kAccelTableIds[] = {508, 501, 503, 500, 515, 504, 505, 506, 519,
                                      507, 509, 510, 516, 513, 514, 517, 518};

std::map<int, platform::AcceleratorTable>& app_AccelTables() {
    static std::map<int, platform::AcceleratorTable> tables;
    return tables;
}

bool app_Translate(int tableId, int keyCode, unsigned modifiers) {
    const platform::AcceleratorTable* table = GetAcceleratorTable(tableId);
    CMainFrame* frame = GetMainFrame();
    if (!table || !frame) return false;
    return platform::TranslateAccelerator(*table, *frame, keyCode, modifiers);
}

// ---- auto-save clock -------------------------------------------------------------

// Whole seconds of a monotonic 64-bit clock: it neither wraps nor jumps with
// the wall clock, so the auto-save interval holds however long the program runs.
long long app_MonotonicSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
}
std::function<long long()> app_autoSaveClock = app_MonotonicSeconds;

}  // namespace

RunStateValues& RunState() { return app_runState; }

bool ModalDialogUp() {
    if (Dialogs().modalDepth > 0) return true;
    platform::Application* app = platform::Application::Instance();
    return app && app->ModalDepth() > 0;
}

const PlatformFlags& GetPlatformFlags() { return app_platformFlags; }

CSimulatorApp* TheApp() { return app_theApp; }

// ---- accelerators ------------------------------------------------------------------

void LoadAcceleratorTables() {
    auto& tables = app_AccelTables();
    tables.clear();
    for (int id : app_kAccelTableIds) tables[id] = platform::AcceleratorTable{};
    for (const app_AccelRow& row : app_kAccelRows) tables[row.table].Add(row.key, row.modifiers, row.command);
}

const platform::AcceleratorTable* GetAcceleratorTable(int id) {
    auto& tables = app_AccelTables();
    auto it = tables.find(id);
    return it == tables.end() ? nullptr : &it->second;
}

bool TranslateAppAccelerators(int keyCode, unsigned modifiers) {
    if (app_Translate(515, keyCode, modifiers)) return true;
    if (ModalDialogUp()) return false;
    const RunStateValues& run = RunState();
    if (run.activeAnalysis == -1) {
        if (app_Translate(507, keyCode, modifiers)) return true;
    } else {
        CMainFrame* frame = GetMainFrame();
        if (frame && !frame->dynamicMode && app_Translate(506, keyCode, modifiers)) return true;
    }
    return app_Translate(500, keyCode, modifiers);
}

// ---- auto-save ----------------------------------------------------------------------

bool AutoSaveDue(long long nowSeconds, long long lastSeconds, int minutes) {
    return (nowSeconds - lastSeconds) / 60 >= minutes;
}

void SetAutoSaveClock(std::function<long long()> clock) {
    app_autoSaveClock = clock ? std::move(clock) : app_MonotonicSeconds;
}

long long AutoSaveClockSeconds() { return app_autoSaveClock(); }

void UpdateStatusReadouts() {
    CMainFrame* frame = GetMainFrame();
    if (!frame || !frame->HasStatusBar() || !Prefs().statusBarTrack) return;
    if (frame->StatusPaneIndex(kPaneTrack) < 0) return;
    // No window kind gives a readout yet (schematic, text and plot views
    // describe what is under the mouse); the pane is kept empty.
    if (!frame->PaneText(kPaneTrack).empty()) frame->SetPaneText(kPaneTrack, "");
}

void AutoSaveDocuments() {
    std::vector<CDoc*> docs;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d->fileBacked && d->MainView() && d->IsModified()) docs.push_back(d);
    for (CDoc* doc : docs) {
        if (!IsOpenDocument(doc) || !doc->MainView()) continue;
        // File > Save of the document's view: saves to its path, or asks for a
        // name when it has none.
        doc->MainView()->RouteCommand(viewcmd::FileSave);
    }
}

void CMainFrame::CheckAutoSave() {
    const RunStateValues& run = RunState();
    const Preferences& prefs = Prefs();
    if (DemoPlaying() || ModalDialogUp() || (run.running && !run.paused) || !prefs.autoSaveEvery ||
        run.activeAnalysis != -1)
        return;
    const long long now = AutoSaveClockSeconds();
    if (!AutoSaveDue(now, lastAutoSaveSeconds, prefs.autoSaveMinutes)) return;
    AutoSaveDocuments();
    lastAutoSaveSeconds = now;
}

// ---- small shared utilities ---------------------------------------------------------

CMDIFrame* FindTopDocumentFrame() {
    CMainFrame* frame = GetMainFrame();
    if (!frame) return nullptr;
    for (platform::MdiChild* child : frame->Children()) {
        auto* docFrame = dynamic_cast<CMDIFrame*>(child);
        if (docFrame && (docFrame->kind == kDocCircuit || docFrame->kind == kDocText)) return docFrame;
    }
    return nullptr;
}

CDoc* GetTopCircuitDocument() {
    CMDIFrame* frame = FindTopDocumentFrame();
    return frame ? frame->GetDocument() : nullptr;
}

CMDIView* GetTopCircuitView() {
    CMDIFrame* frame = FindTopDocumentFrame();
    return frame ? frame->view : nullptr;
}

bool IsOpenDocument(const CDoc* document) {
    if (!document) return false;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d == document) return true;
    return false;
}

platform::Rect ConfineRectToClient(const platform::Rect& rect) {
    CMainFrame* frame = GetMainFrame();
    if (!frame) return rect;
    const platform::Rect client = frame->MdiClientRect();
    const int width = client.Width();
    const int height = client.Height();
    platform::Rect r = rect;
    if (r.right > width) {
        r.left -= r.right - width;
        r.right = width;
    }
    if (r.bottom > height) {
        r.top -= r.bottom - height;
        r.bottom = height;
    }
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.Width() > width) r.right = r.left + width;
    if (r.Height() > height) r.bottom = r.top + height;
    return r;
}

void RedrawMainWindow() {
    CMainFrame* frame = GetMainFrame();
    if (!frame) return;
    frame->Invalidate();
    frame->Update();
    for (platform::MdiChild* child : frame->Children()) {
        child->Invalidate();
        if (platform::Window* view = child->View()) view->Invalidate();
    }
}

platform::Rect GetWorkArea() {
    platform::Application* app = platform::Application::Instance();
    return app ? app->Metrics().workArea : platform::Rect{};
}

bool RectsOverlap(const platform::Rect& a, const platform::Rect& b) {
    const int left = a.left > b.left ? a.left : b.left;
    const int right = a.right < b.right ? a.right : b.right;
    const int top = a.top > b.top ? a.top : b.top;
    const int bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return left < right && top < bottom;
}

void RefreshScrollMetrics() {
    platform::Application* app = platform::Application::Instance();
    if (!app) return;
    const platform::SystemMetrics metrics = app->Metrics();
    app_vScrollWidth = metrics.vScrollWidth;
    app_hScrollHeight = metrics.hScrollHeight;
}

int VScrollWidth() { return app_vScrollWidth; }
int HScrollHeight() { return app_hScrollHeight; }

std::string MainTitleText() { return std::string(kProductTitle) + " " + kProductVersion; }

void SetMainTitle() {
    if (CMainFrame* frame = GetMainFrame()) frame->SetTitle(MainTitleText());
}

platform::Rect GetDlgItemClientRect(const platform::ControlPanel& dialog, int controlId) {
    return dialog.GetItemRect(controlId);
}

void OpenRecentFile(int commandId) {
    if (commandId < kCmdRecentFileFirst || commandId > kCmdRecentFileLast) return;
    const char* entry = RecentFiles().Text(commandId - kCmdRecentFileFirst);
    if (!entry || !*entry) return;
    OpenNamedFile(entry);
}

unsigned GetMouseKeyFlags(unsigned flags) { return flags; }

bool IsAltDown() { return platform::Window::IsKeyDown(platform::key::Alt); }

// ---- the application -------------------------------------------------------------------

namespace {

// The main frame as the core sees it: its status bar, the progress control
// over it, and closing it.
class AppFramePorts final : public StatusBarPort, public ProgressPort, public MainWindowPort {
public:
    void SetStatusText(const char* text) override {
        if (CMainFrame* frame = GetMainFrame()) frame->SetStatusText(text);
    }
    bool IsShown() override {
        CMainFrame* frame = GetMainFrame();
        return frame && frame->HasStatusBar() && frame->IsStatusBarVisible();
    }
    void SetPaneText(int paneId, const char* text) override {
        if (CMainFrame* frame = GetMainFrame()) frame->SetPaneTextFitted(paneId, text);
    }
    std::string StatusText() override {
        char text[256] = "";
        if (CMainFrame* frame = GetMainFrame()) frame->GetStatusText(text, sizeof text);
        return text;
    }

    bool HasControl() override { return true; }
    bool CreateControl(void*) override {
        CMainFrame* frame = GetMainFrame();
        if (!frame || !frame->HasStatusBar()) return false;
        frame->BeginProgress(100);
        return true;
    }
    void SetRange(int minimum, int maximum) override {
        if (CMainFrame* frame = GetMainFrame()) frame->BeginProgress(maximum - minimum);
        app_progressMinimum = minimum;
    }
    void SetPosition(int position) override {
        if (CMainFrame* frame = GetMainFrame()) frame->SetProgress(position - app_progressMinimum);
    }

    void CloseMainWindow() override {
        if (CMainFrame* frame = GetMainFrame()) frame->Destroy();
    }
};
AppFramePorts app_framePorts;

void app_InstallFramePorts(bool on) {
    InstallStatusBar(on ? &app_framePorts : nullptr);
    InstallProgress(on ? &app_framePorts : nullptr);
    InstallMainWindow(on ? &app_framePorts : nullptr);
}

// The system font's metrics, for start-up's default font height.
class AppFontMetrics final : public FontMetricsPort {
public:
    int SystemFontHeight() override { return ::SystemFontHeight(); }
    int PointsToLogicalHeight(int points) override { return ::PointsToLogicalHeight(points); }
};
AppFontMetrics app_fontMetrics;

// The preference switches and placement of tarn.dat's readers.
class AppShellSettings final : public ShellSettingsPort {
public:
    void UnpackOperationalOptions(unsigned word) override { ::UnpackOperationalOptions(word); }
    void SetInertialCancellation(bool on) override { ::SetInertialCancellation(on); }
    void ClearSavedPlacement() override { ::ClearSavedPlacement(); }
};
AppShellSettings app_shellSettings;

class NullStartupRequests final : public StartupRequestsPort {
public:
    CDoc* OpenNewCircuitWindow() override { return nullptr; }
    int StartAnalysis(CDoc*, int) override { return kResultNotBuilt; }
    void ShowTipOfTheDay() override {}
};
PortSlot<StartupRequestsPort, NullStartupRequests> app_requests;

// Start-up sets the desktop flags once; on Linux there is one platform family
// and no keyboard type selects another character set.
void app_DetectPlatform() {
    app_platformFlags.isNT = 1;
    app_platformFlags.is9x = 0;
    app_platformFlags.keyboardType = 4;
}

}  // namespace

StartupRequestsPort& StartupRequests() { return app_requests.Get(); }
StartupRequestsPort* InstallStartupRequests(StartupRequestsPort* port) { return app_requests.Install(port); }

void RegisterShellStartup(StartupRegistry& registry) {
    registry.Add(StartupPhase::kWindows, "shell: palettes", [] {
        InitPalettes();
        return 0;
    });
    registry.Add(StartupPhase::kDefaults, "shell: preferences", [] {
        ResetAllPreferences();
        return 0;
    });
}

void InstallShellServices() {
    InstallMessageReporter();
    InstallPreferences();
    InstallUndoMemoryRelief();
    InstallFontMetrics(&app_fontMetrics);
    InstallShellSettings(&app_shellSettings);
    RegisterShellStartup(StartupSteps());
}

CSimulatorApp::CSimulatorApp() { app_theApp = this; }

CSimulatorApp::~CSimulatorApp() {
    if (frame_ || profile_ || instance_) ExitInstance();
    if (app_theApp == this) app_theApp = nullptr;
}

int CSimulatorApp::GetWaitCursorCount() const {
    platform::Application* app = platform::Application::Instance();
    return app ? app->WaitCursorCount() : 0;
}

bool IsBatchCommandLine(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '"') ++p;
    return *p == '@';
}

std::vector<std::string> NamedFilesOfCommandLine(const char* commandLine, const std::string& directory) {
    std::vector<std::string> files;
    if (!commandLine || IsBatchCommandLine(commandLine)) return files;
    std::string line(commandLine);
    line.push_back(0);
    char token[kPathSize];
    for (;;) {
        TakeCommandLineToken(line.data(), token, sizeof token);
        if (!*token) break;
        std::filesystem::path path(token);
        if (path.is_relative() && !directory.empty()) path = std::filesystem::path(directory) / path;
        files.push_back(path.lexically_normal().string());
    }
    return files;
}

bool CSimulatorApp::CheckRunningInstance(const char* commandLine) {
    handedOver_ = 0;
    // A batch run neither hands over nor listens: many may run at once.
    if (instanceName.empty() || IsBatchCommandLine(commandLine)) return true;
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    const std::vector<std::string> files = NamedFilesOfCommandLine(commandLine, error ? std::string() : here.string());
    instance_ = std::make_unique<platform::SingleInstance>(instanceName);
    if (instance_->Claim(files)) {
        instance_->SetFilesHandler([this](const std::vector<std::string>& handed) {
            pendingFiles_.insert(pendingFiles_.end(), handed.begin(), handed.end());
        });
        return true;
    }
    instance_.reset();
    handedOver_ = static_cast<int>(files.size());
    return false;
}

void CSimulatorApp::OpenHandedOverFiles() {
    CMainFrame* frame = GetMainFrame();
    if (!frame || pendingFiles_.empty() || ModalDialogUp() || RunState().running) return;
    const std::vector<std::string> files = std::move(pendingFiles_);
    pendingFiles_.clear();
    frame->OpenFiles(files);
}

bool CSimulatorApp::LoadStartupTables(const char* commandLine) {
    LoadAcceleratorTables();
    const int status = ProcessCommandLine(commandLine ? commandLine : "");
    if (status != kStartupContinue) {
        exitCode_ = status;
        return false;
    }
    return true;
}

bool CSimulatorApp::InitInstance(const char* commandLine) {
    platform::Application* app = platform::Application::Instance();
    exitCode_ = 0;
    if (!app) {
        exitCode_ = kExitFailure;
        return false;
    }
    StartupSteps().Run(StartupPhase::kApplication);
    otherInstance_ = false;
    if (!CheckRunningInstance(commandLine)) {
        otherInstance_ = true;
        return false;
    }
    app_DetectPlatform();
    classRegistered = 1;

    // The profile keeps the user and company names beside tarn.dat.
    if (!*ProgramDirectory()) InitProgramDirectory();
    SetHelpFilePath();
    char profilePath[kPathSize];
    MakeHomePath(profilePath, "TW8DEMO.INI");
    profile_ = std::make_unique<platform::Profile>(profilePath);
    platform::SetAppProfile(profile_.get());

    frame_ = std::make_unique<CMainFrame>();
    mainFrame = frame_.get();
    SetMainFrame(mainFrame);
    Prefs().useBitmapsInMenus = 0;
    if (!mainFrame->LoadFrame()) {
        exitCode_ = kExitFailure;
        return false;
    }
    SetMainTitle();
    newShell = 1;
    RefreshScrollMetrics();
    app->SetMainWindow(mainFrame);
    app_InstallFramePorts(true);
    app->SetKeyHook([this](const platform::KeyEvent& event) { return PreTranslateKey(event); });
    app->SetIdleHandler([this](int count) { return OnIdle(count); });

    InstallShellServices();
    if (!LoadStartupTables(commandLine)) return false;
    // A fatal start-up step closes the window itself.
    if (!GetMainFrame()) {
        if (!exitCode_) exitCode_ = kExitFailure;
        return false;
    }

    const bool placed = mainFrame->PlaceAtStart();

    if (!mainFrame->CreateMainStatusBar(Startup().statusBarAtStart)) {
        exitCode_ = kExitFailure;
        return false;
    }
    if (!placed) mainFrame->Show(platform::show::Maximized);
    mainFrame->Update();

    // The batch run itself comes with the batch runner; a batch start ends
    // the process after it.
    if (!GetMainFrame()) return false;
    if (BatchMode()) return false;

    mainFrame->AcceptDroppedFiles(true);
    if (!mainFrame->ActiveChild() && !Startup().filesNamed) {
        if (CDoc* doc = StartupRequests().OpenNewCircuitWindow()) {
            SetInitialCircuitDocument(doc);
            if (doc->MainView()) doc->MainView()->ShowFrameMaximized();
        }
    }
    if (CMDIFrame* top = FindTopDocumentFrame()) top->Update();

    const int requested = Startup().requestedAnalysis;
    if (requested >= 0 && requested <= 2) {
        if (CDoc* circuit = GetTopCircuitDocument()) {
            // An analysis that cannot start says why instead of leaving the request unanswered.
            const int code = StartupRequests().StartAnalysis(circuit, requested);
            if (code == 0)
                OnIdle(-1);
            else if (code != kResultShown)
                ReportMessage(Message(code).Args(PendingText()));
        }
    } else {
        StartupRequests().ShowTipOfTheDay();
    }
    return true;
}

int CSimulatorApp::Run() {
    platform::Application* app = platform::Application::Instance();
    if (!app || !GetMainFrame()) return exitCode_;
    inLoop_ = true;
    exitCode_ = app->Run();
    inLoop_ = false;
    return exitCode_;
}

int CSimulatorApp::ExitInstance() {
    // A start that ends without the message loop (a batch run, a console run
    // or a failed step) closes the window as the user's close would: the
    // settings go back to tarn.dat unless start-up failed.
    if (frame_ && frame_->Exists()) frame_->Destroy();
    if (platform::Application* app = platform::Application::Instance()) {
        app->SetKeyHook(nullptr);
        app->SetIdleHandler(nullptr);
        if (app->MainWindow() == frame_.get()) app->SetMainWindow(nullptr);
    }
    app_InstallFramePorts(false);
    classRegistered = 0;
    StartupSteps().Run(StartupPhase::kShutdown);
    frame_.reset();
    mainFrame = nullptr;
    if (platform::AppProfile() == profile_.get()) platform::SetAppProfile(nullptr);
    profile_.reset();
    instance_.reset();
    return exitCode_;
}

bool CSimulatorApp::PreTranslateKey(const platform::KeyEvent& event) {
    platform::Application* app = platform::Application::Instance();
    if (Dialogs().modelessDialog) {
        if (TranslateAppAccelerators(event.key, event.modifiers)) return true;
        return app && app->TranslateWindowAccelerators(event);
    }
    if (app && app->TranslateWindowAccelerators(event)) return true;
    // The MDI keys (Ctrl+F4, Ctrl+F6) are not for a modal dialog's owner.
    if (CMainFrame* frame = GetMainFrame(); frame && !ModalDialogUp() && frame->TranslateMdiKey(event)) return true;
    return TranslateAppAccelerators(event.key, event.modifiers);
}

bool CSimulatorApp::OnIdle(int) {
    OpenHandedOverFiles();
    UpdateStatusReadouts();
    if (CMainFrame* frame = GetMainFrame()) frame->CheckAutoSave();
    return false;
}
