// Text documents in windows: opening a file, and a report shown (and shown
// again) through CloseAndShow.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/textfile.h"
#include "platform/app.h"
#include "platform/frame.h"
#include "platform/print.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"
#include "text/editwnd.h"
#include "text/textdoc.h"

namespace {

class TextWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = platform::Application::Instance();
        ASSERT_TRUE(host_.Create("Tarnwick", platform::Rect{0, 0, 800, 600}));
        app_->SetMainWindow(&host_);
        host_.Show(platform::show::Normal);
    }
    void TearDown() override {
        CloseAllDocuments();
        app_->PumpEvents();
        host_.Destroy();
        app_->SetMainWindow(nullptr);
    }
    platform::Application* app_ = nullptr;
    platform::MainFrame host_;
    twtest::TempDir dir_{"txw_test"};
};

TEST_F(TextWindowTest, OpenedFileShowsInItsEditorWindow) {
    const std::string path = dir_.Path() + "/deck.ckt";
    std::ofstream(path, std::ios::binary) << "T\r\nR1 1 0 1k\r\n;$SpiceType=PSPICE\r\n";
    int code = -1;
    CTxtDoc* doc = OpenTextFile(path.c_str(), 0, &code);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(code, 0);
    ASSERT_NE(doc->Editor(), nullptr);
    EXPECT_TRUE(doc->Editor()->Exists());
    EXPECT_EQ(std::string(doc->Editor()->Buffer().Text()), "T\r\nR1 1 0 1k\r\n");
    EXPECT_EQ(doc->dialect, kSpiceDialectPSpice);
    // The text page's editor fills the view from its corner; the Info page's
    // editor does not lie over the first lines.
    CMDIView* shown = doc->MainView();
    ASSERT_NE(shown, nullptr);
    app_->PumpEvents();
    EXPECT_EQ(doc->Editor()->WindowRect(), shown->ClientRect());
    EXPECT_TRUE(doc->Editor()->IsVisible());
    for (int i = 0; i < doc->PageCount(); ++i) {
        const CTxtEditWnd* other = doc->Page(i)->editor;
        if (other && other != doc->Editor()) {
            EXPECT_FALSE(other->IsVisible()) << "page " << i;
        }
    }
    EXPECT_EQ(doc->untitled, 0);
    // Typing marks the document changed; opening the path again finds it.
    doc->Editor()->Buffer().TypeChar('x');
    EXPECT_TRUE(doc->IsDirty());
    EXPECT_EQ(OpenTextFile(path.c_str(), 0, &code), doc);

    // Printing without a printer writes the pages beside the file.
    auto* view = dynamic_cast<CTxtView*>(doc->MainView());
    ASSERT_NE(view, nullptr);
    if (platform::ListPrinters().empty()) {
        EXPECT_EQ(view->PrintText(), 1);
        EXPECT_TRUE(std::ifstream(dir_.Path() + "/deck.pdf").good());
    }
    // Revert drops the change without a question.
    CIODoc* reverted = doc->ReloadFromFile();
    ASSERT_NE(reverted, nullptr);
    auto* again = dynamic_cast<CTxtDoc*>(reverted);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::string(again->Editor()->Buffer().Text()), "T\r\nR1 1 0 1k\r\n");
    EXPECT_FALSE(again->IsDirty());

    int missing = 0;
    ScopedTestReporter quiet;
    EXPECT_EQ(OpenTextFile((dir_.Path() + "/none.ckt").c_str(), kOpenTextNoReport, &missing), nullptr);
    EXPECT_EQ(missing, 15022);
}

TEST_F(TextWindowTest, ReportShownTwiceReusesItsWindow) {
    const std::string path = dir_.Path() + "/report.out";
    TextFile first;
    ASSERT_EQ(first.CreateText(path.c_str()), 0);
    first.PutText("first run\n");
    auto* doc = dynamic_cast<CTxtDoc*>(CloseAndShow(first, false, true));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(std::string(doc->Editor()->Buffer().Text()), "first run\r\n");
    TextFile second;
    ASSERT_EQ(second.CreateText(path.c_str()), 0);
    second.PutText("second run\n");
    EXPECT_EQ(CloseAndShow(second, true, true), doc);
    EXPECT_EQ(std::string(doc->Editor()->Buffer().Text()), "second run\r\n");
}

}  // namespace
