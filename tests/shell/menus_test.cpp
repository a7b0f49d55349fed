// The main menu's run-time lists (recent files, document windows), the
// states of the frame's commands under the run state, the list-selection
// dialog and the combo-box helpers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "shell/app.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/menus.h"
#include "shell/messages.h"
#include "shell/numfmtdlg.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "shell/smalldlgs.h"
#include "tests/support/test_reporter.h"

namespace {

std::vector<std::string> mu_test_Texts(platform::Menu& menu) {
    std::vector<std::string> texts;
    for (int i = 0; i < menu.ItemCount(); ++i) {
        const platform::Menu::ItemInfo item = menu.ItemAt(i);
        texts.push_back(item.separator ? "-" : item.text + "#" + std::to_string(item.id));
    }
    return texts;
}

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        InstallMessageReporter();
        InitRecentLists();
        frame_ = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame_->LoadFrame());
        SetMainFrame(frame_.get());
    }
    void TearDown() override {
        CloseAllDocuments();
        ClearDocumentTemplates();
        frame_.reset();
        SetMainFrame(nullptr);
        RunState() = RunStateValues{};
        FreeRecentLists();
    }
    bool Enabled(int id) {
        platform::CommandState state(id, true);
        frame_->RouteUpdateCommand(state);
        return state.Enabled();
    }
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MenusTest, FileMenuEndsWithTheNonEmptyRecentFilesAndExit) {
    platform::Menu& file = *frame_->MainMenu().PopupAt(0);
    const int fixed = file.ItemCount() - 1;  // Exit alone at start
    file.PrepareToShow();
    EXPECT_EQ(file.ItemAt(file.ItemCount() - 1).id, kCmdExit);
    EXPECT_EQ(file.ItemCount(), fixed + 1);

    // Entry 0 empty: the second entry is numbered 1 and keeps its own id.
    const char* prefix = RecentFiles().KeyPrefix();
    RecentFiles().ReadKey((std::string(prefix) + "1").c_str(), "");
    RecentFiles().ReadKey((std::string(prefix) + "2").c_str(), "/d/b.cir");
    file.PrepareToShow();
    file.PrepareToShow();  // rebuilt, not appended twice
    std::vector<std::string> tail = mu_test_Texts(file);
    tail.erase(tail.begin(), tail.begin() + fixed);
    EXPECT_EQ(tail, (std::vector<std::string>{"&1 /d/b.cir#18601", "-", "E&xit\tAlt+F4#12513"}));

    RecentFiles().ReadKey((std::string(prefix) + "2").c_str(), "");
    file.PrepareToShow();
    EXPECT_EQ(file.ItemCount(), fixed + 1);
}

TEST_F(MenusTest, WindowsMenuListsNineWindowsThenMoreWindows) {
    RegisterDocumentTemplate(MakeDocumentTemplate<CDoc, CMDIFrame, CMDIView>(kDocText));
    platform::Application::Instance()->SetMainWindow(frame_.get());
    frame_->Show(platform::show::Normal);
    std::vector<CDoc*> docs;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "/w/doc" + std::to_string(i) + ".txt";
        CDoc* doc = CreateDocumentOfKind(kDocText, name.c_str());
        ASSERT_NE(doc, nullptr);
        doc->MainView()->ShowFrame(platform::show::Normal);
        docs.push_back(doc);
    }
    platform::Menu& windows = *frame_->MainMenu().PopupAt(3);
    const int fixed = windows.ItemCount();
    windows.PrepareToShow();
    windows.PrepareToShow();
    ASSERT_EQ(windows.ItemCount(), fixed + 11);
    EXPECT_TRUE(windows.ItemAt(fixed).separator);
    EXPECT_EQ(windows.ItemAt(fixed + 1).text.substr(0, 3), "&1 ");
    EXPECT_EQ(windows.ItemAt(fixed + 9).id, kCmdWindowLast);
    EXPECT_EQ(windows.ItemAt(fixed + 10).id, kCmdMoreWindows);

    // An entry activates the window it names and is checked while active.
    CDoc* named = DocumentOfWindowEntry(windows, kCmdWindowFirst + 4);
    ASSERT_NE(named, nullptr);
    EXPECT_TRUE(frame_->RouteCommand(kCmdWindowFirst + 4));
    platform::Application::Instance()->PumpEvents();
    EXPECT_EQ(GetActiveDocument(), named);
    platform::CommandState state(kCmdWindowFirst + 4, true);
    frame_->RouteUpdateCommand(state);
    EXPECT_TRUE(state.Checked());

    // With one window left the list is a separator and one entry.
    for (size_t i = 1; i < docs.size(); ++i) docs[i]->OnCloseDocument();
    windows.PrepareToShow();
    EXPECT_EQ(windows.ItemCount(), fixed + 2);
    platform::Application::Instance()->SetMainWindow(nullptr);
}

TEST_F(MenusTest, OverlapPutsTheAnalysisWindowOverItsCircuit) {
    RegisterDocumentTemplate(MakeDocumentTemplate<CDoc, CMDIFrame, CMDIView>(kDocText));
    platform::Application::Instance()->SetMainWindow(frame_.get());
    frame_->Show(platform::show::Normal);
    CDoc* circuit = CreateDocumentOfKind(kDocText, "/w/amp.ckt");
    CDoc* analysis = CreateDocumentOfKind(kDocText, "/w/amp.ckt Transient");
    ASSERT_TRUE(circuit && analysis);
    circuit->MainView()->ShowFrameMaximized();
    analysis->MainView()->ShowFrame(platform::show::Normal);
    EXPECT_FALSE(Enabled(kCmdWindowsOverlap));
    RunState().activeAnalysis = 0;
    CurrentRunContext() = RunContext{circuit, circuit->MainView(), analysis, analysis->MainView()};
    ASSERT_TRUE(Enabled(kCmdWindowsOverlap));
    EXPECT_TRUE(frame_->RouteCommand(kCmdWindowsOverlap));
    platform::Application::Instance()->PumpEvents();
    const platform::Rect client = frame_->MdiClientRect();
    const int w = client.Width(), h = client.Height();
    EXPECT_EQ(circuit->MainFrameWindow()->WindowRect().Width(), w);
    const platform::Rect front = analysis->MainFrameWindow()->WindowRect();
    EXPECT_EQ(front.Width(), w / 2);
    EXPECT_EQ(front.Height(), h / 2);
    ClearRunContext();
    platform::Application::Instance()->SetMainWindow(nullptr);
}

TEST_F(MenusTest, CommandStatesFollowTheRunState) {
    const int lock = 0;
    const struct {
        const char* state;
        void (*set)(RunStateValues&, const int*);
        bool fileNew, paths, exitOn;
    } cases[] = {
        {"idle", [](RunStateValues&, const int*) {}, true, true, true},
        {"running", [](RunStateValues& r, const int*) { r.activeAnalysis = 0, r.running = true; }, true, false, true},
        {"paused", [](RunStateValues& r, const int*) { r.activeAnalysis = 1, r.paused = true; }, true, false, true},
        {"menu lock", [](RunStateValues& r, const int* l) { r.menuLock = const_cast<int*>(l); }, false, false, false},
    };
    for (const auto& c : cases) {
        RunState() = RunStateValues{};
        c.set(RunState(), &lock);
        // Without the analysis window (InAnalysisMode false) New stays on
        // during a run; only the lock takes it away.
        EXPECT_EQ(Enabled(kCmdFileNew), c.fileNew) << c.state;
        EXPECT_EQ(Enabled(kCmdFileOpen), c.fileNew) << c.state;
        EXPECT_EQ(Enabled(kCmdFilePaths), c.paths) << c.state;
        EXPECT_EQ(Enabled(kCmdFileCleanup), c.paths) << c.state;
        EXPECT_EQ(Enabled(kCmdExit), c.exitOn) << c.state;
        EXPECT_EQ(Enabled(18600), c.state == std::string("idle")) << c.state;
    }
    RunState() = RunStateValues{};
    // No document window: the view commands are grey and Undo says so.
    EXPECT_FALSE(Enabled(viewcmd::FileSave));
    EXPECT_FALSE(Enabled(viewcmd::FileClose));
    platform::CommandState undo(viewcmd::EditUndo, true);
    frame_->RouteUpdateCommand(undo);
    EXPECT_FALSE(undo.Enabled());
    EXPECT_EQ(undo.Text(), "Can't Undo\tCtrl+Z");
}

// ---- the list-selection dialog -------------------------------------------------------------

TEST(ListSelectDlg, SortedListReportsCallerPositionsOrListPositions) {
    for (const bool callerPositions : {true, false}) {
        CListSelectDlg dialog;
        dialog.title = "Delete 3D Window";
        dialog.items = {"gamma", "alpha", "beta"};
        dialog.flags = kListSelectSorted | (callerPositions ? kListSelectReportPositions : 0u);
        dialog.initialSelection = -1;
        platform::ScopedModalAnswerer answerer([](platform::ModalRequest& request) {
            auto& d = dynamic_cast<CListSelectDlg&>(request);
            EXPECT_EQ(d.GetItemText(kListSelectList, 0), "alpha");
            d.SetItemSelected(kListSelectList, 0, true);  // alpha
            d.SetItemSelected(kListSelectList, 2, true);  // gamma
            return platform::dlgid::Ok;
        });
        ASSERT_EQ(dialog.DoModal(), platform::dlgid::Ok);
        ASSERT_EQ(dialog.selectionCount, 2);
        const std::vector<int> got(dialog.selection, dialog.selection + 2);
        EXPECT_EQ(got, callerPositions ? std::vector<int>({1, 0}) : std::vector<int>({0, 2}));
    }
}

TEST(ListSelectDlg, SelectionWithoutMemoryReportsAndCancels) {
    std::vector<int> codes;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        codes.push_back(r.code());
        return platform::dlgid::Ok;
    });
    CListSelectDlg dialog;
    dialog.items = {"a", "b"};
    dialog.selectAll = true;
    platform::ScopedModalAnswerer answerer([](platform::ModalRequest&) {
        // The selection array is the next allocation.
        SetAllocFailureAfter(0);
        return platform::dlgid::Ok;
    });
    const int result = dialog.DoModal();
    SetAllocFailureAfter(-1);
    EXPECT_EQ(result, platform::dlgid::Cancel);
    EXPECT_EQ(dialog.selectionCount, 0);
    EXPECT_EQ(dialog.selection, nullptr);
    EXPECT_EQ(codes, std::vector<int>{kResultNoMemory});
}

TEST(ComboHelpers, NumbersSelectionAndFilling) {
    platform::Dialog panel(platform::DialogDesc{
        "combo", 100, 60, "", 0, {platform::ControlDesc{platform::ControlKind::ComboBox, 50, "", 5, 5, 80, 60, 0}}});
    ASSERT_TRUE(panel.CreateModeless());
    ComboFillNumbers(panel, 50, 3, 9);  // beyond the items: the first one
    EXPECT_EQ(ComboGetSelNumber(panel, 50), 1);
    ComboSetSelNumber(panel, 50, 3);
    EXPECT_EQ(panel.GetItemText(50, panel.GetSel(50)), "3");
    ComboSetSelNumber(panel, 50, -1);
    EXPECT_EQ(ComboGetSelNumber(panel, 50), -1);
    EXPECT_EQ(ComboGetSelData(panel, 50), -1);

    FillComboBox(panel, 50, {"Linear", "Log", "List"}, 1);
    EXPECT_EQ(panel.Count(50), 3);
    EXPECT_EQ(ComboGetSelData(panel, 50), 1);
    EXPECT_EQ(ComboSelectString(panel, 50, "List"), 2);
    EXPECT_EQ(ComboSelectString(panel, 50, "list"), -1);
    std::string text;
    EXPECT_EQ(ListBoxGetSelText(panel, 50, &text), 2);
    EXPECT_EQ(text, "List");
    panel.DestroyDialog();
}

TEST(ListSelectDlg, ChosenAnalysisWindowsCloseLastChosenFirst) {
    struct Window : CDoc {
        Window(const char* title, std::vector<std::string>* closed) : closed_(closed) { SetTitle(title); }
        void OnCloseDocument() override {
            closed_->push_back(PathName());
            delete this;
        }
        std::vector<std::string>* closed_;
    };
    std::vector<std::string> closed;
    ObjectList windows;
    windows.Init();
    for (const char* title : {"3D 1", "3D 2", "3D 3"}) windows.AddWindow(new Window(title, &closed));
    platform::ScopedModalAnswerer answerer([](platform::ModalRequest& request) {
        auto& d = dynamic_cast<CListSelectDlg&>(request);
        EXPECT_EQ(d.GetItemText(kListSelectList, 1), "3D 2");
        d.SetItemSelected(kListSelectList, 0, true);
        d.SetItemSelected(kListSelectList, 2, true);
        return platform::dlgid::Ok;
    });
    EXPECT_EQ(ChooseWindowsToDelete(windows, "Delete 3D Window", nullptr), 2);
    EXPECT_EQ(closed, (std::vector<std::string>{"3D 3", "3D 1"}));
    ASSERT_EQ(windows.count, 1);
    windows.DeleteAllWindows();
}

TEST(NumberFormatDlg, StylesDigitsAndTheSample) {
    const struct {
        const char* opened;
        int radio;           // the user's choice, 0 none
        const char* digits;  // typed, null none
        const char* stored;
        bool changed;
    } cases[] = {
        {"5E", 0, nullptr, "5E", false},
        {"3", kFormatDecimal, "4", "4F", true},
        {"2G", kFormatEngineering, "40", "16", true},  // digits clamp at 16
        {"4F", kFormatScientific, nullptr, "4E", true},
    };
    for (const auto& c : cases) {
        std::string spec = c.opened;
        std::string sample;
        platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
            auto& d = dynamic_cast<CNumberFormatDlg&>(request);
            if (c.radio) d.UserClick(c.radio);
            if (c.digits) d.UserSetText(kFormatDigitsEdit, c.digits);
            sample = d.GetText(kFormatSample);
            return platform::dlgid::Ok;
        });
        CNumberFormatDlg dialog(spec);
        EXPECT_EQ(dialog.DoModal(), platform::dlgid::Ok) << c.opened;
        EXPECT_EQ(spec, c.stored) << c.opened;
        EXPECT_EQ(dialog.changed, c.changed) << c.opened;
        EXPECT_FALSE(sample.empty()) << c.opened;
    }
}

}  // namespace
