// The shell's file commands driven through the real main window: File > New
// by kind, File > Open of several files each opening by its kind (the text
// kind through the opener the start-up installs), the recent files, the
// start-up window that a first opened file replaces, and undo and redo of a
// circuit edit through the shared Edit commands.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/cirdoc.h"
#include "document/docopen.h"
#include "document/pages.h"
#include "platform/app.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "platform/keys.h"
#include "shell/app.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "shell/newdoc.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"
#include "text/editwnd.h"
#include "text/findfilesdlg.h"
#include "text/textdoc.h"

namespace {

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        LoadAcceleratorTables();
        InitRecentLists();
        SetPathSetting(kPathData, dir_.Path().c_str());
        app_ = platform::Application::Instance();
        frame_ = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame_->LoadFrame());
        SetMainFrame(frame_.get());
        app_->SetMainWindow(frame_.get());
        frame_->Show(platform::show::Normal);
    }
    void TearDown() override {
        CloseAllDocuments();
        app_->PumpEvents();
        SetInitialCircuitDocument(nullptr);
        app_->SetMainWindow(nullptr);
        frame_.reset();
        SetMainFrame(nullptr);
        SetPathSetting(kPathData, nullptr);
        FreeRecentLists();
        RunState() = RunStateValues{};
    }
    // A saved, empty circuit file at the path.
    void WriteCircuit(const std::string& path) {
        int result = 0;
        CDoc* doc = NewDocumentOfKind(kDocCircuit, &result);
        ASSERT_NE(doc, nullptr);
        ASSERT_EQ(dynamic_cast<CCirDoc*>(doc)->SaveToFile(path.c_str()), 0);
        doc->OnCloseDocument();
    }
    std::vector<std::string> OpenPaths() const {
        std::vector<std::string> paths;
        for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
            if (d->MainView()) paths.push_back(std::to_string(d->Kind()) + " " + d->PathName());
        return paths;
    }
    bool Enabled(int id, std::string* text = nullptr) {
        platform::CommandState state(id, true);
        frame_->RouteUpdateCommand(state);
        if (text) *text = state.Text();
        return state.Enabled();
    }

    platform::Application* app_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    twtest::TempDir dir_{"fo_test"};
};

TEST_F(FileCommandsTest, FileNewMakesACircuitOrATextWindowAndRemembersTheChoice) {
    SetRememberedNewDocumentChoice(kNewDocSchematic);  // as at program start
    std::vector<int> offered;
    int choose = kNewDocSchematic;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto* dialog = dynamic_cast<CNewDocumentDlg*>(&request);
        if (!dialog) return platform::dlgid::Cancel;
        offered.push_back(dialog->GetCheckedRadio(kNewDocSchematic, kNewDocLibrary));
        if (choose == 0) return platform::dlgid::Cancel;
        // A click on the picture beside a choice checks it.
        dialog->OnControl(kNewDocPictureFirst + (choose - kNewDocSchematic), platform::Notify::Clicked);
        return platform::dlgid::Ok;
    });
    // Ctrl+N, the menu entry, and the command itself.
    EXPECT_TRUE(TranslateAppAccelerators('N', platform::ModCtrl));
    choose = kNewDocText;
    frame_->MainMenu().PopupAt(0)->PrepareToShow();
    EXPECT_TRUE(frame_->MainMenu().Choose(kCmdFileNew));
    choose = 0;
    EXPECT_TRUE(frame_->RouteCommand(kCmdFileNew));
    EXPECT_EQ(offered, (std::vector<int>{kNewDocSchematic, kNewDocSchematic, kNewDocText}));

    std::vector<int> kinds;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d->MainView()) kinds.push_back(d->Kind());
    EXPECT_EQ(kinds, (std::vector<int>{kDocCircuit, kDocText}));
    CTxtDoc* text = nullptr;
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (!text) text = dynamic_cast<CTxtDoc*>(d);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text->PathName()).find(".ckt"), std::string::npos);
    EXPECT_NE(text->Editor(), nullptr);
}

TEST_F(FileCommandsTest, FileOpenOpensEachFileByItsKind) {
    const std::string circuit = dir_.Path() + "/amp.cir";
    WriteCircuit(circuit);
    const std::string deck = dir_.Write("rc.ckt", "RC\r\nR1 1 0 1k\r\n");
    const std::string notes = dir_.Write("notes.txt", "hello\r\n");
    const std::string models = dir_.Write("parts.lbr", "binary");
    std::vector<int> shown;
    std::string shownText;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        shownText = ScopedTestReporter::TextArg(r);
        return platform::dlgid::Ok;
    });
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto* dialog = dynamic_cast<platform::FileDialog*>(&request);
        if (!dialog) return platform::dlgid::Cancel;
        EXPECT_EQ(dialog->GetMode(), platform::FileDialog::Mode::OpenMultiple);
        dialog->SetPaths({circuit, deck, notes, models});
        return platform::dlgid::Ok;
    });
    EXPECT_TRUE(TranslateAppAccelerators('O', platform::ModCtrl));
    EXPECT_EQ(OpenPaths(), (std::vector<std::string>{"1 " + circuit, "2 " + deck, "2 " + notes}));
    auto* text = dynamic_cast<CTxtDoc*>(FindDocumentByPath(notes.c_str()));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(text->Editor(), nullptr);
    // The model library's window is not part of this program yet: it says so.
    EXPECT_EQ(shown, std::vector<int>{kMsgKindNotAvailable});
    EXPECT_EQ(shownText, models);
    // Opened files head the recent list.
    EXPECT_STREQ(RecentFiles().Text(0), notes.c_str());
}

TEST_F(FileCommandsTest, RecentFilesReopenAndAMissingOneIsReported) {
    const std::string circuit = dir_.Path() + "/amp.cir";
    WriteCircuit(circuit);
    const std::string notes = dir_.Write("notes.txt", "hello\r\n");
    RecentFiles().Add(circuit.c_str());
    RecentFiles().Add(notes.c_str());
    std::vector<int> shown;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        return platform::dlgid::Ok;
    });
    EXPECT_TRUE(frame_->RouteCommand(kCmdRecentFileFirst + 1));
    EXPECT_TRUE(frame_->RouteCommand(kCmdRecentFileFirst + 1));  // the circuit now heads the list: the text
    EXPECT_TRUE(frame_->RouteCommand(kCmdRecentFileFirst));
    EXPECT_EQ(OpenPaths().size(), 2u);
    EXPECT_TRUE(shown.empty());

    CloseAllDocuments();
    std::filesystem::remove(notes);
    const int entry = std::string(RecentFiles().Text(0)) == notes ? 0 : 1;
    EXPECT_TRUE(frame_->RouteCommand(kCmdRecentFileFirst + entry));
    EXPECT_EQ(shown, std::vector<int>{kResultFileNotFound});
    EXPECT_TRUE(OpenPaths().empty());
}

TEST_F(FileCommandsTest, TheStartUpWindowGivesWayWhileUntouched) {
    const std::string circuit = dir_.Path() + "/amp.cir";
    WriteCircuit(circuit);
    for (const bool touched : {false, true}) {
        CloseAllDocuments();
        CDoc* initial = OpenNewCircuitWindow();
        ASSERT_NE(initial, nullptr);
        SetInitialCircuitDocument(initial);
        if (touched) dynamic_cast<CCTDoc*>(initial)->NewGridText();
        int result = -1;
        ASSERT_NE(OpenFileOfKind(circuit.c_str(), kDocCircuit, &result), nullptr);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(OpenPaths().size(), touched ? 2u : 1u) << touched;
        EXPECT_EQ(GetInitialCircuitDocument() != nullptr, touched);
    }
}

TEST_F(FileCommandsTest, CircuitEditUndoesAndRedoesThroughTheEditCommands) {
    int result = 0;
    auto* circuit = dynamic_cast<CCirDoc*>(NewDocumentOfKind(kDocCircuit, &result));
    ASSERT_NE(circuit, nullptr);
    circuit->MainView()->ActivateFrame();
    app_->PumpEvents();
    ASSERT_EQ(GetActiveDocument(), circuit);
    std::string text;
    EXPECT_FALSE(Enabled(viewcmd::EditUndo, &text));
    EXPECT_EQ(text, "Can't Undo\tCtrl+Z");

    // Two edits in a row keep one step: Undo takes back the second only.
    circuit->PushUndoWithSelection("Add");
    circuit->NewGridText();
    circuit->PushUndoWithSelection("Add");
    GridTextObject* second = circuit->NewGridText();
    ASSERT_EQ(SetString(&second->text, "VOUT") != nullptr, true);
    EXPECT_TRUE(Enabled(viewcmd::EditUndo, &text));
    EXPECT_EQ(text, "&Undo Add\tCtrl+Z");
    EXPECT_FALSE(Enabled(viewcmd::EditRedo, &text));

    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditUndo));
    EXPECT_EQ(circuit->gridTexts.count, 1);
    EXPECT_FALSE(Enabled(viewcmd::EditUndo));
    EXPECT_TRUE(Enabled(viewcmd::EditRedo, &text));
    EXPECT_EQ(text, "&Redo Add\tCtrl+Y");
    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditUndo));  // nothing left: nothing happens
    EXPECT_EQ(circuit->gridTexts.count, 1);

    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditRedo));
    ASSERT_EQ(circuit->gridTexts.count, 2);
    EXPECT_STREQ(static_cast<GridTextObject*>(circuit->gridTexts.last)->text, "VOUT");

    // During an analysis the circuit keeps its history.
    RunState().activeAnalysis = 0;
    EXPECT_FALSE(Enabled(viewcmd::EditUndo));
    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditUndo));
    EXPECT_EQ(circuit->gridTexts.count, 2);
}

TEST_F(FileCommandsTest, ObjectChangeUndoSwapsTheRecordBack) {
    int result = 0;
    auto* circuit = dynamic_cast<CCirDoc*>(NewDocumentOfKind(kDocCircuit, &result));
    ASSERT_NE(circuit, nullptr);
    GridTextObject* label = circuit->NewGridText();
    ASSERT_NE(SetString(&label->text, "IN"), nullptr);
    label->x = 10;
    circuit->BeginObjectChange(label, "Text change");
    ASSERT_NE(SetString(&label->text, "OUT"), nullptr);
    label->x = 50;
    UndoRedo(circuit, 1);
    EXPECT_STREQ(label->text, "IN");
    EXPECT_EQ(label->x, 10);
    EXPECT_EQ(circuit->gridTexts.first, label);  // still the live record in its list
    UndoRedo(circuit, 0);
    EXPECT_STREQ(label->text, "OUT");
    EXPECT_EQ(label->x, 50);
}

TEST_F(FileCommandsTest, SaveAsKeepsACircuitExtension) {
    int result = 0;
    auto* circuit = dynamic_cast<CCirDoc*>(NewDocumentOfKind(kDocCircuit, &result));
    ASSERT_NE(circuit, nullptr);
    std::vector<std::string> answers = {dir_.Path() + "/amp.txt", dir_.Path() + "/amp"};
    size_t asked = 0;
    std::vector<std::string> warnings;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        warnings.push_back(ScopedTestReporter::TextArg(r));
        return platform::dlgid::Ok;
    });
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto* dialog = dynamic_cast<platform::FileDialog*>(&request);
        if (!dialog || asked >= answers.size()) return platform::dlgid::Cancel;
        dialog->SetPaths({answers[asked++]});
        return platform::dlgid::Ok;
    });
    EXPECT_EQ(circuit->SaveAs(), 0);
    EXPECT_EQ(warnings, std::vector<std::string>{"'CIR' or 'MAC'"});
    EXPECT_EQ(std::string(circuit->PathName()), dir_.Path() + "/amp.CIR");
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() + "/amp.CIR"));
}

TEST_F(FileCommandsTest, PageStepsUndoWithTheirObjectsAndTexts) {
    int result = 0;
    auto* circuit = dynamic_cast<CCirDoc*>(NewDocumentOfKind(kDocCircuit, &result));
    ASSERT_NE(circuit, nullptr);
    const int pages = circuit->PageCount();
    const int textPage = circuit->GetTextPageIndex();
    ASSERT_NE(circuit->Page(textPage)->editor, nullptr);
    TextEditor().SetText(circuit->Page(textPage)->editor, ".PARAM R=1k");
    ASSERT_GE(circuit->InsertPage(pages, kPageSchematic, "Second", 1), 0);
    GridTextObject* label = circuit->NewGridText();
    label->page = pages;
    ASSERT_EQ(circuit->PageCount(), pages + 1);

    UndoRedo(circuit, 1);
    EXPECT_EQ(circuit->PageCount(), pages);
    EXPECT_EQ(circuit->gridTexts.count, 0);
    EXPECT_EQ(circuit->FindPageByName("Second"), -1);
    // The text page keeps its words and an editor through the swap.
    ASSERT_NE(circuit->Page(textPage)->editor, nullptr);
    EXPECT_EQ(std::string(TextEditor().GetTextBuffer(circuit->Page(textPage)->editor), 11), ".PARAM R=1k");

    UndoRedo(circuit, 0);
    EXPECT_EQ(circuit->PageCount(), pages + 1);
    EXPECT_EQ(circuit->FindPageByName("Second"), pages);
    EXPECT_EQ(circuit->gridTexts.count, 1);
    ASSERT_NE(circuit->Page(textPage)->editor, nullptr);
    EXPECT_EQ(std::string(TextEditor().GetTextBuffer(circuit->Page(textPage)->editor), 11), ".PARAM R=1k");
}

TEST_F(FileCommandsTest, TypingInATextWindowUndoesThroughTheEditCommands) {
    const std::string notes = dir_.Write("notes.txt", "abc\r\n");
    int result = 0;
    auto* text = dynamic_cast<CTxtDoc*>(OpenFileOfKind(notes.c_str(), kDocText, &result));
    ASSERT_NE(text, nullptr);
    text->MainView()->ActivateFrame();
    app_->PumpEvents();
    ASSERT_EQ(GetActiveDocument(), text);
    std::string label;
    EXPECT_FALSE(Enabled(viewcmd::EditUndo, &label));
    EXPECT_EQ(label, "Can't Undo\tCtrl+Z");
    EXPECT_FALSE(Enabled(viewcmd::EditCut));

    text->Editor()->Buffer().TypeChar('x');
    EXPECT_TRUE(Enabled(viewcmd::EditUndo, &label));
    EXPECT_EQ(label, "&Undo Typing\tCtrl+Z");
    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditUndo));
    EXPECT_EQ(std::string(text->Editor()->Buffer().Text()), "abc\r\n");
    EXPECT_TRUE(Enabled(viewcmd::EditRedo));
    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditRedo));
    EXPECT_EQ(std::string(text->Editor()->Buffer().Text()), "xabc\r\n");

    // Select All and Clear through the menu commands.
    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditSelectAll));
    EXPECT_TRUE(Enabled(viewcmd::EditClear));
    EXPECT_TRUE(frame_->RouteCommand(viewcmd::EditClear));
    EXPECT_EQ(std::string(text->Editor()->Buffer().Text()), "");
}

}  // namespace

namespace {

// Edit > Find, F3 and Replace reach a text window's editor through the main
// frame; Find in Files is a main-window command.
TEST_F(FileCommandsTest, SearchCommandsReachTheTextWindowsEditor) {
    int result = 0;
    auto* text = dynamic_cast<CCTDoc*>(NewDocumentOfKind(kDocText, &result));
    ASSERT_NE(text, nullptr);
    text->MainView()->ActivateFrame();
    app_->PumpEvents();
    ASSERT_EQ(GetActiveDocument(), text);
    frame_->SetNextCommandTarget(&TextCommands());  // as the program's chain ends
    std::vector<int> dialogs;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        if (auto* dialog = dynamic_cast<CDialog2*>(&request)) dialogs.push_back(static_cast<int>(dialog->HelpId()));
        return platform::dlgid::Cancel;
    });
    for (int id : {viewcmd::EditFind, viewcmd::EditReplace, kCmdEditFindInFiles}) {
        EXPECT_TRUE(Enabled(id)) << id;
        EXPECT_TRUE(frame_->RouteCommand(id)) << id;
    }
    EXPECT_EQ(dialogs, (std::vector<int>{17214, 17218, 1800}));
}

}  // namespace
