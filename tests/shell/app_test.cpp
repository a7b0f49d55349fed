// Tests of the application: a whole start-up off-screen (main frame, menu bar,
// status bar, a picture of the window, tarn.dat on close), the single
// instance, failed starts, the accelerator filter and the timed auto-save.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "shell/app.h"
#include "shell/dialogs.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"
#include "tests/support/tempdir.h"

namespace {

std::string app_test_InstanceName() { return "tw8demo-test-" + std::to_string(getpid()); }

// A start-up in a fresh home folder; every test leaves the process as it found it.
class AppStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.Valid());
        SetHomeDirectory(home_.c_str());
    }
    void TearDown() override {
        app_.reset();
        ResetStartupState();
        SetHomeDirectory(nullptr);
        ResetAllPreferences();
    }
    std::string HomeFile(const char* name) const { return home_.Path() + "/" + name; }

    twtest::TempDir home_{"tw_app"};
    std::unique_ptr<CSimulatorApp> app_ = std::make_unique<CSimulatorApp>();
};

TEST_F(AppStartTest, StartsShowsTheFrameAndClosesSavingSettings) {
    app_->instanceName = app_test_InstanceName();
    ASSERT_TRUE(app_->InitInstance(""));
    CMainFrame* frame = GetMainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame, app_->mainFrame);
    EXPECT_TRUE(frame->IsVisible());
    EXPECT_EQ(frame->Title(), "Tarnwick 8.0.1.0");
    EXPECT_EQ(platform::Application::Instance()->MainWindow(), frame);

    const std::vector<std::string> menus = {"&File",     "&Edit",   "&Component", "&Windows", "&Options",
                                            "&Analysis", "&Design", "&Model",     "&Help"};
    EXPECT_EQ(frame->MenuBarTitles(), menus);
    // Defaults: the track pane on, the clock off.
    ASSERT_EQ(frame->StatusPaneCount(), 3);
    EXPECT_EQ(frame->StatusPaneId(0), kPaneRunState);
    EXPECT_EQ(frame->StatusPaneId(1), kPaneMessage);
    EXPECT_EQ(frame->StatusPaneId(2), kPaneTrack);
    EXPECT_TRUE(frame->IsStatusBarVisible());

    const std::string picture = HomeFile("frame.png");
    ASSERT_TRUE(frame->SaveImage(picture));
    std::ifstream png(picture, std::ios::binary);
    char signature[8] = {};
    png.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");

    EXPECT_TRUE(frame->CloseFrame(false));
    EXPECT_EQ(GetMainFrame(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(HomeFile("tarn.dat")));
    EXPECT_EQ(app_->ExitInstance(), 0);
}

TEST_F(AppStartTest, SecondStartHandsItsFilesToTheFirstAndEnds) {
    platform::SingleInstance first(app_test_InstanceName());
    std::vector<std::string> handed;
    first.SetActivateHandler([] {});
    first.SetFilesHandler([&handed](const std::vector<std::string>& files) { handed = files; });
    ASSERT_TRUE(first.Claim());
    app_->instanceName = app_test_InstanceName();
    EXPECT_FALSE(app_->InitInstance("amp.cir /T \"my dir/b.ckt\" /home/ann/c.cir"));
    EXPECT_TRUE(app_->OtherInstanceFound());
    EXPECT_EQ(app_->HandedOverFiles(), 3);
    EXPECT_EQ(app_->ExitCode(), 0);
    EXPECT_EQ(GetMainFrame(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(HomeFile("tarn.dat")));
    ASSERT_TRUE(platform::Application::Instance()->RunUntil([&handed] { return !handed.empty(); }, 5000));
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(handed, (std::vector<std::string>{here + "/amp.cir", here + "/my dir/b.ckt", "/home/ann/c.cir"}));
}

TEST(AppCommandLineTest, NamedFilesAreFullPathsAndBatchLinesNameNone) {
    struct Case {
        const char* line;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"", {}},
        {"/T", {}},
        {"amp.cir", {"/work/amp.cir"}},
        {"../lib/x.cir /A ./y.ckt", {"/lib/x.cir", "/work/y.ckt"}},
        {"\"a b/c.cir\"", {"/work/a b/c.cir"}},
        {"@batch.txt amp.cir", {}},
        {"  \"@batch file.txt\"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(NamedFilesOfCommandLine(c.line, "/work"), c.files) << c.line;
    EXPECT_TRUE(IsBatchCommandLine(" @b.txt /S"));
    EXPECT_FALSE(IsBatchCommandLine("b@x.cir"));
}

TEST_F(AppStartTest, BadCommandLineEndsWithStatusOneAndWritesNothing) {
    app_->instanceName.clear();
    platform::ScopedModalAnswerer answerer([](platform::ModalRequest&) { return platform::dlgid::Ok; });
    EXPECT_FALSE(app_->InitInstance("amp.cir /X"));
    EXPECT_EQ(app_->ExitInstance(), kExitFailure);
    EXPECT_EQ(GetMainFrame(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(HomeFile("tarn.dat")));
}

TEST_F(AppStartTest, BatchStartEndsAfterStartUpAndSavesSettings) {
    const std::string batch = HomeFile("batch.txt");
    std::ofstream(batch) << "amp.cir /T\r\n";
    // A batch run beside an interactive one neither hands over nor listens.
    platform::SingleInstance interactive(app_test_InstanceName());
    int asked = 0;
    interactive.SetActivateHandler([&asked] { ++asked; });
    ASSERT_TRUE(interactive.Claim());
    app_->instanceName = app_test_InstanceName();
    EXPECT_FALSE(app_->InitInstance(("@" + batch).c_str()));
    EXPECT_FALSE(app_->OtherInstanceFound());
    EXPECT_EQ(BatchMode(), 8);
    platform::Application::Instance()->PumpEvents();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(app_->ExitInstance(), 0);
    EXPECT_TRUE(std::filesystem::exists(HomeFile("tarn.dat")));
}

// ---- accelerator filter ------------------------------------------------------------

class app_test_RecordingFrame : public CMainFrame {
public:
    bool OnCommand(int id) override {
        commands.push_back(id);
        return true;
    }
    std::vector<int> commands;
};

class AppAccelerators : public ::testing::Test {
protected:
    void SetUp() override {
        LoadAcceleratorTables();
        ASSERT_TRUE(frame_.LoadFrame());
        SetMainFrame(&frame_);
    }
    void TearDown() override {
        SetMainFrame(nullptr);
        RunState() = RunStateValues{};
        Dialogs().modalDepth = 0;
    }
    // The command the filter routed for the key, 0 for none.
    int Routed(int keyCode, unsigned modifiers) {
        frame_.commands.clear();
        const bool translated = TranslateAppAccelerators(keyCode, modifiers);
        EXPECT_EQ(translated, !frame_.commands.empty());
        return frame_.commands.empty() ? 0 : frame_.commands.back();
    }

    app_test_RecordingFrame frame_;
};

TEST_F(AppAccelerators, TablesSwitchWithTheRunState) {
    using platform::ModAlt;
    using platform::ModCtrl;
    using platform::ModShift;
    namespace key = platform::key;
    struct Case {
        const char* state;
        int activeAnalysis;
        int dynamic;
        int modal;
        int key;
        unsigned modifiers;
        int command;
    };
    const std::vector<Case> cases = {
        {"idle: Alt+1 of 507", -1, 0, 0, '1', ModAlt, 17620},
        {"idle: Ctrl+N of 507", -1, 0, 0, 'N', ModCtrl, 11400},
        {"idle: F2 of 500", -1, 0, 0, key::Function(2), 0, 16068},
        {"idle: F4 is the analysis table's", -1, 0, 0, key::Function(4), 0, 0},
        {"analysis: F4 of 506", 0, 0, 0, key::Function(4), 0, 17151},
        {"analysis: Alt+1 does nothing", 0, 0, 0, '1', ModAlt, 0},
        {"dynamic: F5 does nothing", 1, 1, 0, key::Function(5), 0, 0},
        {"dynamic: F2 still works", 1, 1, 0, key::Function(2), 0, 16068},
        {"modal: only 515", -1, 0, 1, key::Function(2), 0, 0},
        {"modal: Ctrl+Shift+W of 515", -1, 0, 1, 'W', ModCtrl | ModShift, 1022},
        {"view tables are not the filter's", -1, 0, 0, 'S', ModCtrl, 0},
    };
    for (const Case& c : cases) {
        RunState().activeAnalysis = c.activeAnalysis;
        frame_.dynamicMode = c.dynamic;
        Dialogs().modalDepth = c.modal;
        EXPECT_EQ(Routed(c.key, c.modifiers), c.command) << c.state;
    }
}

TEST_F(AppAccelerators, SeventeenTablesAreLoaded) {
    const std::vector<std::pair<int, int>> sizes = {{500, 20}, {515, 1}, {504, 10}, {506, 6}, {507, 22},
                                                    {514, 6},  {517, 5}, {518, 4},  {508, 2}, {501, 0}};
    for (const auto& [id, size] : sizes) {
        ASSERT_NE(GetAcceleratorTable(id), nullptr) << id;
        EXPECT_EQ(GetAcceleratorTable(id)->Size(), size) << id;
    }
    int tables = 0;
    for (int id = 500; id <= 519; ++id) tables += GetAcceleratorTable(id) != nullptr;
    EXPECT_EQ(tables, 17);
}

// ---- auto-save ---------------------------------------------------------------------------

TEST(AppAutoSave, IntervalHoldsPastThe32BitMillisecondWrap) {
    // 2^32 ms is about 49.7 days; the clock here is in seconds of 64 bits.
    const long long wrap = 4294967LL;
    struct Case {
        long long now;
        long long last;
        int minutes;
        bool due;
    };
    const std::vector<Case> cases = {
        {600, 0, 10, true},
        {599, 0, 10, false},
        {wrap + 300, wrap - 300, 10, true},
        {wrap + 200, wrap - 300, 10, false},
        {100LL * 86400, 100LL * 86400 - 59, 1, false},
        {100LL * 86400, 100LL * 86400, 0, true},
    };
    for (const Case& c : cases) EXPECT_EQ(AutoSaveDue(c.now, c.last, c.minutes), c.due) << c.now << " " << c.last;
}

class app_test_TextDoc : public CDoc {
public:
    app_test_TextDoc() : CDoc(kDocText) {}
};

class app_test_SavingView : public CMDIView {
public:
    app_test_SavingView() : CMDIView(kDocText) {}
    bool OnCommand(int id) override {
        if (id != viewcmd::FileSave) return CMDIView::OnCommand(id);
        ++saves;
        if (GetDocument()) GetDocument()->SetModifiedFlag(false);
        return true;
    }
    int saves = 0;
};

class AppAutoSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.LoadFrame());
        SetMainFrame(&frame_);
        platform::Application::Instance()->SetMainWindow(&frame_);
        RegisterDocumentTemplate(MakeDocumentTemplate<app_test_TextDoc, CMDIFrame, app_test_SavingView>(kDocText));
        doc_ = CreateDocumentOfKind(kDocText, "notes.txt");
        ASSERT_NE(doc_, nullptr);
        ASSERT_NE(doc_->MainView(), nullptr);
        doc_->fileBacked = 1;
        SetAutoSaveClock([this] { return clock_; });
    }
    void TearDown() override {
        CloseAllDocuments();
        ClearDocumentTemplates();
        platform::Application::Instance()->SetMainWindow(nullptr);
        SetMainFrame(nullptr);
        SetAutoSaveClock(nullptr);
        RunState() = RunStateValues{};
        ResetAllPreferences();
    }

    // How often the document's view was asked to save.
    int Saves() const { return static_cast<const app_test_SavingView*>(doc_->MainView())->saves; }

    CMainFrame frame_;
    CDoc* doc_ = nullptr;
    long long clock_ = 0;  // seconds, as the auto-save reads them
};

TEST_F(AppAutoSaveTest, SavesChangedDocumentsWhenTheIntervalHasPassed) {
    Prefs().autoSaveEvery = 1;
    Prefs().autoSaveMinutes = 10;
    clock_ = 5000000;  // past the point where a 32-bit tick count wraps
    doc_->SetModifiedFlag(true);
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 1);
    EXPECT_EQ(frame_.lastAutoSaveSeconds, 5000000);

    doc_->SetModifiedFlag(true);
    clock_ += 9 * 60;
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 1);
    clock_ += 60;
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 2);

    // Unchanged documents are left alone; nothing saves during an analysis.
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 2);
    Prefs().autoSaveMinutes = 0;
    doc_->SetModifiedFlag(true);
    RunState().activeAnalysis = 0;
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 2);
    RunState().activeAnalysis = -1;
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 3);
}

TEST_F(AppAutoSaveTest, OffMeansNeverSaved) {
    Prefs().autoSaveEvery = 0;
    Prefs().autoSaveMinutes = 0;
    doc_->SetModifiedFlag(true);
    frame_.CheckAutoSave();
    EXPECT_EQ(Saves(), 0);
}

}  // namespace
