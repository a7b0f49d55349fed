// Tests of the main frame: its menu bar, the status-bar panes and texts, the
// clock timer, and the close sequence (quit question, deferred close while a
// simulation runs, tarn.dat written when the window goes).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/properties.h"
#include "core/recentlist.h"
#include "platform/dialog.h"
#include "shell/app.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        InstallMessageReporter();
        ResetAllPreferences();
        // Values only start-up sets: the status bar's defaults.
        Prefs().statusBarTrack = 1;
        Prefs().statusBarShowTime = 0;
        frame_ = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame_->LoadFrame());
        SetMainFrame(frame_.get());
    }
    void TearDown() override {
        frame_.reset();
        SetMainFrame(nullptr);
        RunState() = RunStateValues{};
        ResetAllPreferences();
        // The preference reset leaves the status bar alone; give later tests its start-up values.
        Prefs().statusBarTrack = 1;
        Prefs().statusBarShowTime = 0;
        Startup().batchMode = 0;
        Startup().fatalCode = 0;
    }
    std::vector<int> PaneIds() const {
        std::vector<int> ids;
        for (int i = 0; i < frame_->StatusPaneCount(); ++i) ids.push_back(frame_->StatusPaneId(i));
        return ids;
    }

    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrameTest, MenuBarHasTheNineTopLevelMenus) {
    const std::vector<std::string> expected = {"&File",     "&Edit",   "&Component", "&Windows", "&Options",
                                               "&Analysis", "&Design", "&Model",     "&Help"};
    EXPECT_EQ(frame_->MenuBarTitles(), expected);
    EXPECT_EQ(frame_->Title(), "Tarnwick 8.0.1.0");
    EXPECT_TRUE(frame_->MainMenu().HasItem(kCmdExit));
}

TEST_F(MainFrameTest, PanesFollowTheTrackClockAndProgressSettings) {
    struct Case {
        int track;
        int clock;
        bool progress;
        std::vector<int> panes;
    };
    const std::vector<Case> cases = {
        {0, 0, false, {kPaneRunState, kPaneMessage}},
        {1, 0, false, {kPaneRunState, kPaneMessage, kPaneTrack}},
        {0, 1, false, {kPaneRunState, kPaneMessage, kPaneClock}},
        {1, 1, false, {kPaneRunState, kPaneMessage, kPaneTrack, kPaneClock}},
        {1, 1, true, {kPaneRunState, kPaneProgress, kPaneMessage, kPaneTrack, kPaneClock}},
    };
    for (const Case& c : cases) {
        Prefs().statusBarTrack = c.track;
        Prefs().statusBarShowTime = c.clock;
        ASSERT_TRUE(frame_->CreateMainStatusBar(true));
        if (c.progress) frame_->BeginProgress(100);
        EXPECT_EQ(PaneIds(), c.panes) << "track " << c.track << " clock " << c.clock;
        frame_->EndProgress();
    }
    // The clock pane shows the time at once.
    const std::string clock = frame_->PaneText(kPaneClock);
    EXPECT_TRUE(clock.find(" AM ") != std::string::npos || clock.find(" PM ") != std::string::npos) << clock;
}

TEST_F(MainFrameTest, ClockTimerRunsOnceAndStops) {
    ASSERT_TRUE(frame_->CreateMainStatusBar(true));
    EXPECT_FALSE(frame_->HasTimer(kClockTimerId));
    Prefs().statusBarShowTime = 1;
    frame_->UpdateClockTimer();
    frame_->UpdateClockTimer();
    EXPECT_TRUE(frame_->HasTimer(kClockTimerId));
    EXPECT_TRUE(frame_->IsClockRunning());
    Prefs().statusBarShowTime = 0;
    frame_->UpdateClockTimer();
    EXPECT_FALSE(frame_->HasTimer(kClockTimerId));
    EXPECT_FALSE(frame_->IsClockRunning());
}

TEST_F(MainFrameTest, PromptsByIdRepaintOnlyWhenTheIdChanges) {
    ASSERT_TRUE(frame_->CreateMainStatusBar(true));
    EXPECT_EQ(frame_->SetStatusTextById(17680), -1);
    EXPECT_EQ(frame_->PaneText(kPaneMessage), "The Status Bar");
    const int repaints = frame_->StatusRepaintCount();
    EXPECT_EQ(frame_->SetStatusTextById(17680), 17680);
    EXPECT_EQ(frame_->StatusRepaintCount(), repaints);

    // A text set directly forgets the id: the same id shows again.
    frame_->SetStatusText("Copy & Paste\nsecond line");
    EXPECT_EQ(frame_->PaneText(kPaneMessage), "Copy & Paste");
    char buffer[5];
    frame_->GetStatusText(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Copy");
    EXPECT_EQ(frame_->SetStatusTextById(17680), -1);
    EXPECT_GT(frame_->StatusRepaintCount(), repaints + 1);

    // A hidden bar takes no texts and reads as empty.
    frame_->ToggleStatusBar();
    EXPECT_EQ(Prefs().statusBarVisible, 0);
    frame_->SetStatusText("hidden");
    frame_->GetStatusText(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
}

TEST_F(MainFrameTest, StatusBarCommandTogglesAndIsChecked) {
    ASSERT_TRUE(frame_->CreateMainStatusBar(true));
    platform::CommandState state(kCmdStatusBar, true);
    ASSERT_TRUE(frame_->RouteUpdateCommand(state));
    EXPECT_TRUE(state.Checked());
    EXPECT_TRUE(frame_->RouteCommand(kCmdStatusBar));
    EXPECT_FALSE(frame_->IsStatusBarVisible());
    platform::CommandState after(kCmdStatusBar, true);
    frame_->RouteUpdateCommand(after);
    EXPECT_FALSE(after.Checked());
}

TEST_F(MainFrameTest, RunStateTextFollowsTheDynamicMode) {
    ASSERT_TRUE(frame_->CreateMainStatusBar(true));
    frame_->UpdateRunStateText();
    EXPECT_EQ(frame_->PaneText(kPaneRunState), "");
    frame_->dynamicMode = 1;
    RunState().dynamicAnalysis = 5;
    frame_->UpdateRunStateText();
    EXPECT_EQ(frame_->PaneText(kPaneRunState), "DC Operating point");
    RunState().dynamicAnalysis = 4;
    frame_->UpdateRunStateText();
    EXPECT_EQ(frame_->PaneText(kPaneRunState), "Dynamic AC");
    // Panes only widen while texts change.
    const int width = frame_->PaneWidth(kPaneRunState);
    frame_->SetRunStateText("");
    EXPECT_EQ(frame_->PaneWidth(kPaneRunState), width);
}

// The quit question: which answer closes, and when it is not asked.
TEST_F(MainFrameTest, QuitQuestionDecidesTheClose) {
    ASSERT_TRUE(frame_->CreateMainStatusBar(true));
    int asked = 0;
    int answer = platform::dlgid::No;
    std::string text;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        ++asked;
        if (auto* box = dynamic_cast<CMessageBoxDlg*>(&request)) text = box->Record().text;
        return answer;
    });
    EXPECT_FALSE(frame_->CloseFrame());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(text.rfind("Quit Tarnwick?", 0), 0u) << text;
    EXPECT_TRUE(frame_->Exists());

    // Batch runs and a switched-off warning close without asking.
    Startup().batchMode = 8;
    EXPECT_TRUE(frame_->CloseFrame());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(frame_->Exists());
    EXPECT_EQ(GetMainFrame(), nullptr);
}

// Records the save questions of a close of all windows; the first answer is
// Yes to All, which the frame must hand on to the next document.
class mf_ChangedDoc : public CDoc {
public:
    explicit mf_ChangedDoc(std::vector<std::pair<int, int>>& questions) : questions_(questions) {
        fileBacked = 1;
        SetModifiedFlag(true);
    }
    int QueryClose(int* answer, int changedCount) override {
        questions_.push_back({*answer, changedCount});
        if (*answer == 0) *answer = 32;
        return 0;
    }

private:
    std::vector<std::pair<int, int>>& questions_;
};

TEST_F(MainFrameTest, ClosingAllWindowsAsksUnderOneSaveMode) {
    platform::Application::Instance()->SetMainWindow(frame_.get());
    std::vector<std::pair<int, int>> closeQuestions;
    DocumentTemplate changed;
    changed.kind = kDocCircuit;
    changed.createDocument = [&closeQuestions] { return std::unique_ptr<CDoc>(new mf_ChangedDoc(closeQuestions)); };
    changed.createFrame = [] { return std::make_unique<CMDIFrame>(); };
    changed.createView = [] { return std::make_unique<CMDIView>(); };
    RegisterDocumentTemplate(changed);
    ASSERT_NE(CreateDocumentOfKind(kDocCircuit, "/tmp/a.cir"), nullptr);
    ASSERT_NE(CreateDocumentOfKind(kDocCircuit, "/tmp/b.cir"), nullptr);
    Startup().batchMode = 8;  // no quit question
    EXPECT_TRUE(frame_->CloseFrame());
    const std::vector<std::pair<int, int>> expected = {{0, 2}, {32, 2}};
    EXPECT_EQ(closeQuestions, expected);
    ClearDocumentTemplates();
    platform::Application::Instance()->SetMainWindow(nullptr);
    platform::Application::Instance()->PumpEvents();
}

TEST_F(MainFrameTest, YesClosesAndWritesTheSettings) {
    twtest::TempDir folder("tw_mainframe");
    ASSERT_TRUE(folder.Valid());
    const std::string path = folder.File("tarn.dat");
    SetString(&Startup().settingsPath, path.c_str());
    platform::ScopedModalAnswerer answerer([](platform::ModalRequest&) { return platform::dlgid::Yes; });
    EXPECT_TRUE(frame_->CloseFrame());
    EXPECT_EQ(frame_->settingsSaveResult, 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(Prefs().mainWindowPlacement.length, 44);
    FreeString(&Startup().settingsPath);
}

TEST_F(MainFrameTest, StoredPlacementIsUsedWhenItIsOnTheDesktop) {
    const platform::Rect work = GetWorkArea();
    ASSERT_FALSE(work.IsEmpty());
    WindowPlacement& stored = Prefs().mainWindowPlacement;
    stored = WindowPlacement{};
    EXPECT_FALSE(frame_->PlaceAtStart());
    EXPECT_EQ(frame_->WindowRect(), work);

    stored.length = 44;
    stored.showCmd = platform::show::Normal;
    stored.left = work.left + 10;
    stored.top = work.top + 20;
    stored.right = work.left + 410;
    stored.bottom = work.top + 320;
    EXPECT_TRUE(frame_->PlaceAtStart());
    EXPECT_EQ(frame_->WindowRect(), (platform::Rect{stored.left, stored.top, stored.right, stored.bottom}));

    // Far off every screen: the work area instead.
    stored.left = work.right + 5000;
    stored.right = stored.left + 400;
    EXPECT_FALSE(frame_->PlaceAtStart());
    EXPECT_EQ(frame_->WindowRect(), work);
}

TEST_F(MainFrameTest, CloseWaitsForARunningSimulation) {
    RunState().running = true;
    RunState().paused = true;
    EXPECT_FALSE(frame_->CloseFrame(false));
    EXPECT_TRUE(frame_->Exists());
    EXPECT_TRUE(RunState().stopRequest);
    EXPECT_FALSE(RunState().paused);
    // The menu lock refuses the close outright.
    RunState() = RunStateValues{};
    int lock = 0;
    RunState().menuLock = &lock;
    EXPECT_FALSE(frame_->CloseFrame(false));
    RunState().menuLock = nullptr;
    EXPECT_TRUE(frame_->CloseFrame(false));
}

// ---- opening files: recent-file commands and dropped files ----------------------------

class mf_test_Opener final : public DocumentOpenerPort {
public:
    int ResolveDocumentExtension(char* path, size_t, int, int) override {
        const std::string p = path;
        if (p.size() > 4 && p.compare(p.size() - 4, 4, ".cir") == 0) return 1;
        if (p.size() > 4 && p.compare(p.size() - 4, 4, ".txt") == 0) return 2;
        return -1;
    }
    int OpenFileOfKind(const char* path, int kind) override {
        opened.push_back(std::to_string(kind) + " " + path);
        return 0;
    }

    std::vector<std::string> opened;
};

class mf_test_DropFrame : public CMainFrame {
public:
    using CMainFrame::OnDropFiles;
};

TEST(MainFrameFiles, RecentEntriesAndDropsOpenByKind) {
    mf_test_Opener opener;
    InstallDocumentOpener(&opener);
    InitRecentLists();
    RecentFiles().Add("/home/ann/b.txt");
    RecentFiles().Add("/home/ann/a.cir");
    mf_test_DropFrame frame;
    ASSERT_TRUE(frame.LoadFrame());

    opener.opened.clear();
    EXPECT_TRUE(frame.RouteCommand(18601));
    EXPECT_TRUE(frame.RouteCommand(18610));  // an empty entry does nothing
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"2 /home/ann/b.txt"}));

    // During an analysis the commands are grey and dropped circuits stay shut.
    RunState().activeAnalysis = 1;
    platform::CommandState state(18600, true);
    frame.RouteUpdateCommand(state);
    EXPECT_FALSE(state.Enabled());
    opener.opened.clear();
    frame.OnDropFiles({"/x/amp.cir", "/x/notes.txt", "/x/picture.xyz"}, platform::Point{});
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"2 /x/notes.txt"}));
    RunState().activeAnalysis = -1;
    opener.opened.clear();
    frame.OnDropFiles({"/x/amp.cir"}, platform::Point{});
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"1 /x/amp.cir"}));

    FreeRecentLists();
    InstallDocumentOpener(nullptr);
}

}  // namespace

namespace {
// The built analysis dialogs and Global Settings have their menu entries.
TEST_F(MainFrameTest, TransferFunctionSensitivityAndGlobalSettingsAreInTheMenus) {
    platform::Menu& bar = frame_->MainMenu();
    const struct {
        int popup;
        int id;
        const char* text;
    } entries[] = {{5, kCmdTransferFunctionDialog, "Transfer &Function...\tAlt+7"},
                   {5, kCmdSensitivityDialog, "&Sensitivity...\tAlt+6"},
                   {4, kCmdGlobalSettingsDialog, "&Global Settings...\tCtrl+Shift+G"}};
    for (const auto& e : entries) {
        ASSERT_NE(bar.PopupAt(e.popup), nullptr);
        EXPECT_EQ(bar.PopupAt(e.popup)->ItemText(e.id), e.text);
    }
}
}  // namespace
