// Open Definition on a line of a SPICE text window: the include, the library
// text or the called subcircuit opens at its place; what cannot be opened is
// said, never waited for.
#include "text/opendef.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory.h"
#include "core/paths.h"
#include "core/result.h"
#include "platform/app.h"
#include "platform/frame.h"
#include "shell/dialogs.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"
#include "text/editwnd.h"
#include "text/textdoc.h"

namespace {

class OpenDefinitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = platform::Application::Instance();
        ASSERT_TRUE(host_.Create("Tarnwick", platform::Rect{0, 0, 800, 600}));
        app_->SetMainWindow(&host_);
        host_.Show(platform::show::Normal);
        // The library path holds only an empty default library.
        savedLibraryPath_ = GetPathSetting(kPathLibrary);
        dir_.Write("NOM.LIB", "* nothing\n");
        SetPathSetting(kPathLibrary, dir_.c_str());
        dir_.Write("PARTS.INC", "* parts\n.MODEL DX D(IS=1E-14)\n");
        dir_.Write("mylib.lib", "* library\n.MODEL QX NPN(BF=100)\n");
        // Names as users write them: beside the deck, in any case.
        deck_ =
            "Open definition\n"
            ".INCLUDE \"parts.inc\"\n"
            ".LIB mylib.lib\n"
            "x1 in out filt PARAMS: G=2 ; the filter\n"
            "+ H=3\n"
            "V1 in 0 1\n"
            "R2 out 0 1K\n"
            ".SUBCKT FILT a b PARAMS: G=1 H=1\n"
            "R1 a b 1K\n"
            ".ENDS\n"
            ".END\n";
        dir_.Write("main.ckt", deck_);
    }
    void TearDown() override {
        CloseAllDocuments();
        app_->PumpEvents();
        host_.Destroy();
        app_->SetMainWindow(nullptr);
        SetPathSetting(kPathLibrary, savedLibraryPath_.c_str());
    }
    static CDoc* FindOpen(const std::string& path) {
        for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
            if (path == d->PathName()) return d;
        return nullptr;
    }
    platform::Application* app_ = nullptr;
    platform::MainFrame host_;
    twtest::TempDir dir_{"opendef_test"};
    std::string deck_;
    std::string savedLibraryPath_;
};

TEST_F(OpenDefinitionTest, StatementAtTheCaretOpensItsDefinition) {
    const struct {
        int line;
        const char* opens;    // the file shown afterwards
        const char* caretAt;  // the main deck's text the caret goes to ("" not checked)
    } cases[] = {
        {1, "PARTS.INC", ""},
        {2, "mylib.lib", ""},
        {3, "main.ckt", ".SUBCKT FILT"},  // comment and PARAMS: cut off, name in any case
        {4, "main.ckt", ".SUBCKT FILT"},  // a continuation stands for its statement's first line
    };
    std::vector<int> shown;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        return 0;
    });
    for (const auto& c : cases) {
        int code = -1;
        CTxtDoc* main = OpenTextFile(dir_.File("main.ckt").c_str(), 0, &code);
        ASSERT_NE(main, nullptr);
        ASSERT_NE(main->Editor(), nullptr);
        TextBuffer& buffer = main->Editor()->Buffer();
        buffer.SetSel(buffer.LineIndex(c.line) + 2, buffer.LineIndex(c.line) + 2);
        ASSERT_TRUE(main->Editor()->RunEditCommand(editcmd::OpenDefinition));
        CDoc* opened = FindOpen(dir_.File(c.opens));
        ASSERT_NE(opened, nullptr) << "line " << c.line;
        if (c.caretAt[0]) {
            EXPECT_EQ(opened, main);
            EXPECT_EQ(buffer.Caret(), static_cast<int64_t>(std::string(buffer.Text()).find(c.caretAt))) << c.line;
        }
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(OpenDefinitionTest, MissingIncludeIsReportedAndNothingOpens) {
    std::vector<int> shown;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        return 0;
    });
    dir_.Write("broken.ckt", "Broken\nR1 1 0 1K\nV1 1 0 1\n.INCLUDE missing.inc\n.END\n");
    int code = -1;
    CTxtDoc* broken = OpenTextFile(dir_.File("broken.ckt").c_str(), 0, &code);
    ASSERT_NE(broken, nullptr);
    EXPECT_NE(OpenDefinitionOfLine(broken, broken->Editor(), 3), 0);
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(FirstDocument()->NextDocument(), nullptr);
    // Lines that define nothing open nothing.
    shown.clear();
    CTxtDoc* main = OpenTextFile(dir_.File("main.ckt").c_str(), 0, &code);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(OpenDefinitionOfText(main, "R2 out 0 1K", true), 0);
    EXPECT_EQ(OpenDefinitionOfLine(main, main->Editor(), 99), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(OpenDefinitionTest, GridTextStatementsOpenTheirFileAndGiveTheirHelpTopic) {
    struct Help final : ContextHelpPort {
        void OpenContextHelp(platform::Window*, unsigned id) override { ids.push_back(id); }
        std::vector<unsigned> ids;
    };
    ScopedTestReporter quiet;
    int code = -1;
    CTxtDoc* main = OpenTextFile(dir_.File("main.ckt").c_str(), 0, &code);
    ASSERT_NE(main, nullptr);
    GridTextObject* include = main->NewGridText();
    ASSERT_NE(include, nullptr);
    SetString(&include->text, ".include parts.inc");
    EXPECT_EQ(OpenDefinitionOfObject(main, include), 0);
    EXPECT_NE(FindOpen(dir_.File("PARTS.INC")), nullptr);

    Help help;
    ContextHelpPort* previous = InstallContextHelp(&help);
    GridTextObject* tran = main->NewGridText();
    SetString(&tran->text, "  .TRAN 1n 100n");
    HelpForObject(main, tran);
    SetString(&tran->text, "R1 1 0 1K");  // not a dot command: no help
    HelpForObject(main, tran);
    InstallContextHelp(previous);
    EXPECT_EQ(help.ids, std::vector<unsigned>{7006u});
}

}  // namespace
