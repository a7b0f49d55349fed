#include "shell/mainframe.h"

#include <cstring>
#include <ctime>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/result.h"
#include "core/settings.h"
#include "platform/app.h"
#include "shell/app.h"
#include "shell/cleanup.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/filetypes.h"
#include "shell/menus.h"
#include "shell/messages.h"
#include "shell/newdoc.h"
#include "shell/pathsdlg.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "shell/smalldlgs.h"
#include "shell/statsdlg.h"

namespace {

CMainFrame* mf_mainFrame = nullptr;

// The Dynamic DC analysis kind and the Graphic mode command.
constexpr int mf_kDynamicDcKind = 5;
constexpr int mf_kModeGraphic = 17586;

// Width templates of the panes, used when the string table lacks them.
struct mf_PaneTemplate {
    int id;
    const char* text;
};
constexpr mf_PaneTemplate mf_kPaneTemplates[] = {
    {kPaneRunState, "XXXXXXXXXXXXXXXXX"},
    {kPaneProgress, "100%"},
    {kPaneMessage, "    "},
    {kPaneTrack, "LnXXXXXX"},
    {kPaneClock, "Clock"},
};

std::string mf_PaneWidthText(int id) {
    if (const char* text = GetMessageText(id)) return text;
    for (const mf_PaneTemplate& t : mf_kPaneTemplates)
        if (t.id == id) return t.text;
    return std::string();
}

// Removes every "&" and cuts the text at its first tab.
void mf_CleanRunStateText(char* text) {
    char* out = text;
    for (const char* p = text; *p && *p != '\t'; ++p)
        if (*p != '&') *out++ = *p;
    *out = 0;
}

bool mf_IsListed(CDoc* doc) {
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d == doc) return true;
    return false;
}

}  // namespace

CMainFrame* GetMainFrame() { return mf_mainFrame; }
void SetMainFrame(CMainFrame* frame) { mf_mainFrame = frame; }

bool InAnalysisMode() {
    const RunContext& context = CurrentRunContext();
    CMainFrame* frame = GetMainFrame();
    return RunState().activeAnalysis != -1 && context.circuitDocument && context.analysisView &&
           !(frame && frame->dynamicMode);
}

int CountChangedDocuments() {
    int count = 0;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d->fileBacked && d->IsModified()) ++count;
    return count;
}

void HideOtherDocumentWindows(platform::Window* view) {
    if (CMainFrame* frame = GetMainFrame()) frame->ApplyToAllDocuments(kApplyHideOthers, view);
}

// ---- construction and the window --------------------------------------------------

CMainFrame::CMainFrame() : menu_(std::make_unique<platform::Menu>()) {}

CMainFrame::~CMainFrame() {
    // The window goes before the menu it shows, and lets go of it.
    Destroy();
    SetMenu(nullptr);
    if (mf_mainFrame == this) mf_mainFrame = nullptr;
}

void CMainFrame::BuildMainMenu() {
    platform::Menu& menu = *menu_;
    menu.Clear();
    // One menu bar serves every window kind. The File menu ends with the
    // recent files and Exit, and the Windows menu with the open windows; both
    // lists are rebuilt each time their pop-up opens.
    platform::Menu& file = menu.AddPopup("&File");
    file.AddItem(kCmdFileNew, "&New...\tCtrl+N");
    file.AddItem(kCmdFileOpen, "&Open...\tCtrl+O");
    file.AddItem(viewcmd::FileClose, "&Close\tCtrl+F4");
    file.AddSeparator();
    file.AddItem(viewcmd::FileSave, "&Save\tCtrl+S");
    file.AddItem(kCmdFileSaveAs, "Save &As...");
    file.AddSeparator();
    file.AddItem(kCmdFilePaths, "&Paths...");
    file.AddItem(kCmdFileCleanup, "Clean&up...");
    file.AddSeparator();
    UpdateRecentFilesMenu(file);
    file.SetAboutToShow([](platform::Menu& popup) { UpdateRecentFilesMenu(popup); });
    platform::Menu& edit = menu.AddPopup("&Edit");
    edit.AddItem(viewcmd::EditUndo, "Can't Undo\tCtrl+Z");
    edit.AddItem(viewcmd::EditRedo, "Can't Redo\tCtrl+Y");
    edit.AddSeparator();
    edit.AddItem(viewcmd::EditCut, "Cu&t\tCtrl+X");
    edit.AddItem(viewcmd::EditCopy, "&Copy\tCtrl+C");
    edit.AddItem(viewcmd::EditPaste, "&Paste\tCtrl+V");
    edit.AddItem(viewcmd::EditClear, "Clea&r\tDel");
    edit.AddItem(viewcmd::EditSelectAll, "Select &All\tCtrl+A");
    edit.AddSeparator();
    edit.AddItem(viewcmd::EditFind, "&Find...\tCtrl+F");
    edit.AddItem(viewcmd::EditFindAgain, "Repeat &Last Find\tF3");
    edit.AddItem(viewcmd::EditReplace, "R&eplace...");
    edit.AddItem(kCmdEditFindInFiles, "Find in F&iles...");
    menu.AddPopup("&Component");
    platform::Menu& windows = menu.AddPopup("&Windows");
    windows.AddItem(kCmdWindowsMaximize, "&Maximize");
    windows.AddItem(kCmdWindowsOverlap, "&Overlap");
    windows.SetAboutToShow([](platform::Menu& popup) { UpdateWindowsMenu(popup); });
    platform::Menu& options = menu.AddPopup("&Options");
    options.AddItem(kCmdStatusBar, "&Status Bar");
    options.AddItem(kCmdGlobalSettingsDialog, "&Global Settings...\tCtrl+Shift+G");
    options.AddItem(kCmdUserDefinitions, "&User Definitions");
    platform::Menu& analysis = menu.AddPopup("&Analysis");
    analysis.AddItem(kCmdTransient, "&Transient...\tAlt+1");
    analysis.AddItem(kCmdTransient + 1, "&AC...\tAlt+2");
    analysis.AddItem(kCmdTransient + 2, "&DC...\tAlt+3");
    analysis.AddItem(kCmdDistortion, "D&istortion...\tAlt+8");
    analysis.AddItem(kCmdTransferFunctionDialog, "Transfer &Function...\tAlt+7");
    analysis.AddItem(kCmdSensitivityDialog, "&Sensitivity...\tAlt+6");
    analysis.AddItem(kCmdStateVariables, "State Variables Editor...\tF12");
    menu.AddPopup("&Design");
    menu.AddPopup("&Model");
    platform::Menu& help = menu.AddPopup("&Help");
    help.AddItem(kCmdStatistics, "&Statistics...\tAlt+Z");
}

bool CMainFrame::LoadFrame() {
    if (Exists()) return false;
    BuildMainMenu();
    if (!Create(MainTitleText())) return false;
    SetMenu(menu_.get());
    return true;
}

// ---- status bar --------------------------------------------------------------------------

bool CMainFrame::CreateMainStatusBar(bool visible) {
    statusBar_.AttachToMainFrame(*this);
    statusBarCreated_ = true;
    statusBar_.ApplyFont();
    if (!SetMainIndicators()) {
        statusBarCreated_ = false;
        return false;
    }
    ShowStatusBar(visible);
    UpdateClockTimer();
    ClockTick();
    Prefs().statusBarVisible = visible ? 1 : 0;
    UpdateRunStateText();
    return true;
}

bool CMainFrame::SetMainIndicators() {
    if (!statusBarCreated_) return false;
    const Preferences& prefs = Prefs();
    std::vector<platform::StatusPane> panes;
    auto add = [&](int id, bool stretch) {
        platform::StatusPane pane;
        pane.id = id;
        pane.widthTemplate = mf_PaneWidthText(id);
        pane.stretch = stretch;
        panes.push_back(pane);
    };
    add(kPaneRunState, false);
    if (progress_) add(kPaneProgress, false);
    add(kPaneMessage, true);
    if (prefs.statusBarTrack) add(kPaneTrack, false);
    if (prefs.statusBarShowTime) add(kPaneClock, false);
    SetStatusPanes(panes);
    if (StatusPaneCount() != static_cast<int>(panes.size())) return false;
    for (const platform::StatusPane& pane : panes) SetPaneText(pane.id, "");
    statusBar_.runStateId = -1;
    statusBar_.messageId = -1;
    return true;
}

void CMainFrame::RestoreTrackPaneWidth() {
    if (!statusBarCreated_ || !Prefs().statusBarTrack || !IsStatusBarVisible()) return;
    SetPaneWidth(kPaneTrack, RememberedTrackWidth());
}

void CMainFrame::SetPaneTextFitted(int paneId, const char* text) {
    if (!statusBarCreated_ || statusBar_.IsLocked()) return;
    statusBar_.FitPaneToText(paneId, text);
    SetPaneText(paneId, text ? text : "");
}

void CMainFrame::SetStatusText(const char* text) {
    if (!statusBarCreated_ || !IsStatusBarVisible() || statusBar_.IsLocked()) return;
    std::string shown = text ? text : "";
    size_t end = shown.find_first_of("\r\n");
    if (end != std::string::npos) shown.resize(end);
    SetPaneText(kPaneMessage, shown);
    statusBar_.messageId = -1;
    ++statusRepaints_;
}

int CMainFrame::SetStatusTextById(int id) {
    if (!Exists() || !statusBarCreated_) return -1;
    const int previous = statusBar_.messageId;
    if (IsStatusBarVisible() && id != statusBar_.messageId) {
        char text[kPromptTextSize];
        PromptTextForId(id, text, sizeof text);
        SetStatusText(text);
        statusBar_.messageId = id;
    }
    return previous;
}

void CMainFrame::GetStatusText(char* buffer, int length) const {
    if (!buffer || length <= 0) return;
    buffer[0] = 0;
    if (!statusBarCreated_ || !IsStatusBarVisible()) return;
    CopyTextBounded(buffer, PaneText(kPaneMessage).c_str(), static_cast<size_t>(length));
}

int CMainFrame::SetRunStateText(const char* text) {
    const int previous = statusBar_.runStateId;
    if (!statusBarCreated_ || !IsStatusBarVisible() || statusBar_.IsLocked()) return previous;
    SetPaneTextFitted(kPaneRunState, text);
    statusBar_.runStateId = -1;
    return previous;
}

int CMainFrame::SetRunStateTextById(int id) {
    const int previous = statusBar_.runStateId;
    if (id == -1) {
        UpdateRunStateText();
        return previous;
    }
    if (id != statusBar_.runStateId) {
        char text[kPromptTextSize];
        CopyTextBounded(text, GetMessageText(id) ? GetMessageText(id) : "", sizeof text);
        SetRunStateText(text);
        statusBar_.runStateId = id;
    }
    return previous;
}

void CMainFrame::UpdateRunStateText() {
    char text[kPromptTextSize] = {};
    const RunStateValues& run = RunState();
    CDoc* doc = GetActiveDocument();
    if (dynamicMode) {
        CopyTextBounded(text, run.dynamicAnalysis == mf_kDynamicDcKind ? "DC Operating point" : "Dynamic AC",
                        sizeof text);
    } else if (!doc) {
        text[0] = 0;
    } else if (doc->Kind() == kDocAnalysisPlot && run.running && !run.paused) {
        if (!run.probeMode) {
            SetRunStateTextById(kMsgWait);
            return;
        }
        CopyTextBounded(text, "Wait. Writing Probe Data File.", sizeof text);
    } else if (doc->Kind() == kDocLibrary) {
        CopyTextBounded(text, "Edit", sizeof text);
    } else if (doc->modeCommand == mf_kModeGraphic) {
        CopyTextBounded(text, "Graphic", sizeof text);
    } else {
        // The tip after the mode's prompt, up to its first "(".
        const char* whole = doc->modeCommand ? GetMessageText(doc->modeCommand) : nullptr;
        const char* tip = whole ? std::strchr(whole, '\n') : nullptr;
        CopyTextBounded(text, tip ? tip + 1 : "", sizeof text);
        if (char* paren = std::strchr(text, '(')) *paren = 0;
    }
    if (text[0]) mf_CleanRunStateText(text);
    SetRunStateText(text);
}

void CMainFrame::ToggleStatusBar() {
    if (!statusBarCreated_) return;
    const bool visible = !IsStatusBarVisible();
    Prefs().statusBarVisible = visible ? 1 : 0;
    ShowStatusBar(visible);
    UpdateRunStateText();
}

void CMainFrame::UpdateClockTimer() {
    const bool wanted = Prefs().statusBarShowTime != 0;
    if (wanted && !clockRunning_)
        SetTimer(kClockTimerId, kClockPeriodMs);
    else if (!wanted && clockRunning_)
        KillTimer(kClockTimerId);
    clockRunning_ = wanted;
}

void CMainFrame::ClockTick() {
    if (!Prefs().statusBarShowTime) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string text = FormatClockText(local.tm_hour, local.tm_min);
    if (!statusBarCreated_ || statusBar_.IsLocked()) return;
    statusBar_.FitPaneToText(kPaneClock, text.c_str());
    SetPaneText(kPaneClock, text);
}

void CMainFrame::OnTimer(int id) {
    if (id == kClockTimerId) ClockTick();
}

// ---- progress ------------------------------------------------------------------------------

void CMainFrame::BeginProgress(int maximum) {
    if (!progress_) {
        progress_ = true;
        SetMainIndicators();
    }
    platform::MainFrame::BeginProgress(kPaneMessage, maximum);
}

void CMainFrame::EndProgress() {
    if (!progress_) return;
    platform::MainFrame::EndProgress();
    progress_ = false;
    SetMainIndicators();
    ClockTick();
}

// ---- prompts ---------------------------------------------------------------------------------

void CMainFrame::OnMenuSelect(int id) {
    if (Prefs().statusBarVisible) SetStatusTextById(id);
}

void CMainFrame::OnCursorPrompt() {
    if (Prefs().statusBarVisible) SetStatusTextById(0);
}

// ---- life cycle ------------------------------------------------------------------------------

void CMainFrame::RestoreAndActivate() {
    if (!Exists()) return;
    if (IsMinimized()) Show(platform::show::Restore);
    Show(platform::show::Show);
    SetFocus();
}

void CMainFrame::ApplyToAllDocuments(unsigned flags, platform::Window* except) {
    // Closing a document may close others that depend on it, so the walk
    // takes its documents first and skips those that have gone meanwhile.
    std::vector<CDoc*> docs;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d->MainView() && d->MainView()->Exists()) docs.push_back(d);
    for (CDoc* doc : docs) {
        if (!mf_IsListed(doc) || !doc->MainView()) continue;
        CMDIView* view = doc->MainView();
        if ((flags & kApplyCloseClass8) && (doc->flags & 8)) {
            doc->OnCloseDocument();
            continue;
        }
        if ((flags & kApplyCloseClass16) && (doc->flags & 16)) {
            doc->OnCloseDocument();
            continue;
        }
        if ((flags & kApplyCloseClass32) && (doc->flags & 32)) {
            doc->OnCloseDocument();
            continue;
        }
        if (flags & kApplyClose) {
            doc->OnCloseDocument();
            continue;
        }
        if ((flags & kApplyMarkChanged) && doc->Kind() == kDocCircuit) doc->SetModifiedFlag(true);
        if ((flags & kApplyRefresh) && doc->Kind() == kDocCircuit) view->Redraw(0x00020438);
        if (flags & kApplyInvalidate) view->Invalidate();
        if ((flags & kApplyRedrawNow) && (!except || except == view)) view->Update();
        if (flags & kApplyShowFrame) view->ShowFrame(platform::show::Show);
        if ((flags & kApplyHideOthers) && view != except) view->ShowFrame(platform::show::Hide);
    }
}

bool CMainFrame::PlaceAtStart() {
    const WindowPlacement& stored = Prefs().mainWindowPlacement;
    const platform::Rect work = GetWorkArea();
    const platform::Placement placement = ToPlatformPlacement(stored);
    // A placement wholly off the desktop (a screen that is gone) would hide
    // the window; it then covers the work area as if none were stored.
    if (stored.length != 0 && (work.IsEmpty() || RectsOverlap(placement.normal, work))) {
        SetPlacement(placement);
        return true;
    }
    if (!work.IsEmpty()) Move(work, false);
    return false;
}

bool CMainFrame::CloseFrame(bool askQuit) {
    askQuit_ = askQuit;
    const bool closed = Close();
    askQuit_ = true;
    return closed;
}

bool CMainFrame::OnClose() {
    RunStateValues& run = RunState();
    if (run.menuLock) return false;
    // A running simulation stops first; the close comes back once it has.
    if (run.running || run.paused) {
        run.paused = false;
        run.stopRequest = true;
        if (platform::Application* app = platform::Application::Instance()) {
            app->PostKeyDown(this, platform::key::Escape);
            app->PostClose(this);
        }
        return false;
    }
    if (askQuit_ && !BatchMode() && !Startup().fatalCode && Prefs().quitWarning) {
        const int answer = ReportMessage(
            Message(kMsgQuitQuestion).Style(mbstyle::YesNo | mbstyle::IconQuestion).WarnAgain(&Prefs().quitWarning));
        if (answer != platform::dlgid::Yes) return false;
    }

    // Every document with a window, in list order, under one save mode: with
    // several changed documents the question offers Yes to All and No to All.
    // A cancelled question keeps the rest open (those closed so far stay closed).
    const int changed = CountChangedDocuments();
    int saveMode = 0;
    std::vector<CDoc*> docs;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d->MainView()) docs.push_back(d);
    for (CDoc* doc : docs) {
        if (!mf_IsListed(doc) || !doc->MainView()) continue;
        if (doc->fileBacked && doc->QueryClose(&saveMode, changed) != 0) return false;
        doc->OnCloseDocument();
    }

    if (clockRunning_) KillTimer(kClockTimerId);
    clockRunning_ = false;
    return true;
}

void CMainFrame::OnDestroy() {
    platform::Placement placement = GetPlacement();
    placement.length = platform::kPlacementLength;
    Prefs().mainWindowPlacement = FromPlatformPlacement(placement);
    settingsSaveResult = SaveSettingsFile();
    // The message loop ends with the main window. Outside the loop there is
    // nothing to end, and a quit request would cut short every later wait.
    if (CSimulatorApp* theApp = TheApp(); theApp && theApp->InMessageLoop())
        if (platform::Application* app = platform::Application::Instance()) app->Quit(0);
    if (clockRunning_) KillTimer(kClockTimerId);
    clockRunning_ = false;
    FreeColorTable();
    FreeProgramPalette();
    if (mf_mainFrame == this) mf_mainFrame = nullptr;
    if (CSimulatorApp* theApp = TheApp(); theApp && theApp->mainFrame == this) theApp->mainFrame = nullptr;
    ClearPendingMessage();
}

void CMainFrame::OnSetFocus() {
    if (platform::MdiChild* child = ActiveChild()) {
        if (platform::Window* view = child->View()) view->SetFocus();
    }
}

void CMainFrame::OnDropFiles(const std::vector<std::string>& paths, platform::Point) {
    RestoreAndActivate();
    OpenFiles(paths);
}

void CMainFrame::OpenFiles(const std::vector<std::string>& paths) {
    DocumentOpenerPort& opener = DocumentOpener();
    for (const std::string& name : paths) {
        char path[kPathNameSize];
        CopyTextBounded(path, name.c_str(), sizeof path);
        const int kind = opener.ResolveDocumentExtension(path, sizeof path, 1, -2);
        if (kind == -1) continue;
        // Circuits and models are not opened under a running analysis.
        if ((kind == kDocCircuit || kind == kDocLibrary || kind == kDocModel) && RunState().activeAnalysis != -1)
            continue;
        opener.OpenFileOfKind(path, kind);
    }
}

// ---- commands ----------------------------------------------------------------------------------

namespace {

// Commands a document view answers before the frame's own rule applies.
bool mf_ViewFirst(int id) {
    switch (id) {
    case viewcmd::FileSave:
    case kCmdFileSaveAs:
    case viewcmd::EditUndo:
    case viewcmd::EditRedo:
    case viewcmd::EditCut:
    case viewcmd::EditCopy:
    case viewcmd::EditPaste:
    case viewcmd::EditClear:
    case viewcmd::EditSelectAll: return true;
    default: return false;
    }
}

// The pop-up of the menu bar that holds the item. The Windows menu is not
// always the fourth: an analysis replaces some of the pop-ups before it.
platform::Menu* mf_PopupHolding(platform::Menu& bar, int id) {
    for (int pos = 0; pos < bar.ItemCount(); ++pos)
        if (platform::Menu* popup = bar.PopupAt(pos); popup && popup->HasItem(id)) return popup;
    return nullptr;
}

// "A": an analysis is active with its windows and no Dynamic mode.
bool mf_A() { return InAnalysisMode(); }
bool mf_N() { return RunState().activeAnalysis == -1; }
bool mf_L() { return RunState().menuLock != nullptr; }
bool mf_RunningOrPaused() { return RunState().running || RunState().paused; }

bool mf_ActiveViewIsCircuit() {
    CMDIView* view = GetActiveView();
    return view && view->kind == kDocCircuit;
}

// Options > User Definitions: the include file every circuit reads, opened as
// a text window; when it does not exist yet an empty window of its name is
// made so that saving writes it.
void mf_OpenUserDefinitions() {
    char path[kPathSize];
    MakeProgramPath(path, "TARN.INC");
    if (CheckFileExists(path) == 0) {
        DocumentOpener().OpenFileOfKind(path, kDocText);
        return;
    }
    int result = 0;
    CDoc* document = NewDocuments().NewDocumentWindow(kDocText, &result);
    if (!document) {
        if (result && result != kResultShown) Reporter().Report(Message(result));
        return;
    }
    document->SetTitle(path);
}

// Windows > Overlap: the analysis window and its circuit side by side, the
// one in front (the analysis unless the circuit is preferred) in the upper
// right quarter over the other, which fills the client area.
void mf_OverlapWindows() {
    const RunContext& run = CurrentRunContext();
    CMDIFrame* analysis = run.analysisView ? run.analysisView->frame : nullptr;
    CMDIFrame* circuit = run.circuitView ? run.circuitView->frame : nullptr;
    if (!analysis || !circuit) return;
    const bool probe = RunState().probeMode;
    if (!probe) {
        analysis->Show(platform::show::Restore);
        circuit->Show(platform::show::Restore);
    }
    const bool analysisInFront = Prefs().analysisOnTop != 0;
    CMDIFrame* front = analysisInFront ? analysis : circuit;
    CMDIFrame* other = analysisInFront ? circuit : analysis;
    if (!probe && front->view) front->view->ActivateFrame();
    FitFrameToClient(other);
    MoveFrameToUpperRight(front);
}

}  // namespace

bool CMainFrame::OnCommand(int id) {
    id &= 0xFFFF;
    if (id >= kCmdRecentFileFirst && id <= kCmdRecentFileLast) {
        OpenRecentFile(id);
        return true;
    }
    if (mf_ViewFirst(id)) {
        CMDIView* view = GetActiveView();
        return view && view->RouteCommand(id);
    }
    if (id >= kCmdWindowFirst && id <= kCmdWindowLast) {
        platform::Menu* windows = mf_PopupHolding(*menu_, id);
        CDoc* document = windows ? DocumentOfWindowEntry(*windows, id) : nullptr;
        if (document && document->MainView()) document->MainView()->ActivateFrame();
        return true;
    }
    switch (id) {
    case kCmdExit:
        if (platform::Application* app = platform::Application::Instance()) app->PostClose(this);
        return true;
    case kCmdStatusBar: ToggleStatusBar(); return true;
    case kCmdFileNew:
        if (!mf_A() && !mf_L()) OnFileNew(this);
        return true;
    case kCmdFileOpen:
        if (!mf_A() && !mf_L()) OpenFilesDialog(this);
        return true;
    case viewcmd::FileClose:
        if (CMDIView* view = GetActiveView()) CMDIView::PostCloseFrame(view);
        return true;
    case kCmdWindowsMaximize:
        if (CMDIFrame* child = GetActiveChildFrame()) {
            if (RunState().activeAnalysis != -1 && RunState().probeMode)
                FitFrameToClient(child);
            else
                child->Maximize();
        }
        return true;
    case kCmdMoreWindows: ChooseDocumentWindow(this); return true;
    case kCmdStatistics: OnStatistics(this); return true;
    case kCmdWindowsOverlap:
        if (mf_A()) mf_OverlapWindows();
        return true;
    case kCmdFilePaths:
        if (!mf_L() && !mf_RunningOrPaused()) OnFilePaths(this);
        return true;
    case kCmdFileCleanup:
        if (!mf_L() && !mf_RunningOrPaused()) OnFileCleanup(this);
        return true;
    case kCmdUserDefinitions:
        if (!mf_L() && !mf_A()) mf_OpenUserDefinitions();
        return true;
    case kCmdTransient:
    case kCmdTransient + 1:
    case kCmdTransient + 2:
    case kCmdDistortion: {
        // A running analysis keeps its own window's Run; nothing starts here.
        CDoc* circuit = GetTopCircuitDocument();
        if (mf_N() && circuit) {
            SaveSettingsFile();
            const int kind = id == kCmdDistortion ? 3 : id - kCmdTransient;
            const int result = StartupRequests().StartAnalysis(circuit, kind);
            if (result && result != kResultShown) Reporter().Report(Message(result));
        }
        return true;
    }
    default: return false;
    }
}

bool CMainFrame::OnUpdateCommand(platform::CommandState& state) {
    const int id = state.Id();
    if (id >= kCmdRecentFileFirst && id <= kCmdRecentFileLast) {
        state.Enable(mf_N() && !mf_L());
        return true;
    }
    if (mf_ViewFirst(id)) {
        CMDIView* view = GetActiveView();
        if (view && view->RouteUpdateCommand(state)) return true;
        if (id == viewcmd::EditUndo) state.SetText("Can't Undo\tCtrl+Z");
        if (id == viewcmd::EditRedo) state.SetText("Can't Redo\tCtrl+Y");
        state.Enable(false);
        return true;
    }
    if (id >= kCmdWindowFirst && id <= kCmdWindowLast) {
        platform::Menu* windows = mf_PopupHolding(*menu_, id);
        CDoc* document = windows ? DocumentOfWindowEntry(*windows, id) : nullptr;
        state.Enable(true);
        state.Check(document && document == GetActiveDocument());
        return true;
    }
    switch (id) {
    case kCmdExit: state.Enable(!mf_L()); return true;
    case kCmdStatusBar:
        state.Enable(true);
        state.Check(Prefs().statusBarVisible != 0);
        return true;
    case kCmdFileNew:
    case kCmdFileOpen: state.Enable(!mf_A() && !mf_L()); return true;
    case kCmdFilePaths:
    case kCmdFileCleanup: state.Enable(!mf_L() && !mf_RunningOrPaused()); return true;
    case viewcmd::FileClose:
        state.Enable(GetActiveView() && !mf_L() && !(mf_A() && mf_ActiveViewIsCircuit()));
        return true;
    case kCmdWindowsMaximize: state.Enable(GetActiveView() != nullptr); return true;
    case kCmdWindowsOverlap: state.Enable(mf_A()); return true;
    case kCmdMoreWindows:
    case kCmdStatistics: state.Enable(true); return true;
    case kCmdUserDefinitions: state.Enable(!mf_L() && !mf_A()); return true;
    case kCmdTransient:
    case kCmdTransient + 1:
    case kCmdTransient + 2:
    case kCmdDistortion: state.Enable(FindTopDocumentFrame() != nullptr); return true;
    default: return false;
    }
}
