// Tests of the status-bar prompts: the text shown for a command or control id,
// the clock text, and the prompt bar of dialogs (its lines and its height).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/messages.h"
#include "core/recentlist.h"
#include "platform/dialog.h"
#include "shell/app.h"
#include "shell/messages.h"
#include "shell/statusbar.h"

namespace {

class StatusBarPrompt : public ::testing::Test {
protected:
    void SetUp() override { RegisterShellMessages(); }
    void TearDown() override { RunState() = RunStateValues{}; }
};

TEST_F(StatusBarPrompt, IdsMapToTheirTexts) {
    struct Case {
        int id;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {2, "Closes this dialog box without saving any changes you have made."},
        {1, "Closes this dialog box and saves any changes you have made."},
        {12321, "Saves all changes you have made without closing this Dialog box."},
        {9, "Invokes the help topic."},  // cut at its line break
        {19869, "Navy"},                 // 19865-19880 name the colour id - 65
        {19934, "Navy"},                 // 19930-19945: id - 130
        {19804, "Navy"},
        {19815, "White"},
        {19816, "User defined color"},
        {19863, "User defined color"},
        {19900, "User defined color"},
        {19993, "User defined color"},
        {14607, "Lets you select an existing 3D window."},
        {14582, "Lets you select an existing Performance window."},
        {14661, "Lets you select an existing FFT window."},
        {17375, "Lets you select an existing Monte Carlo histogram."},
        {16057, "Displays voltage curves."},
        {16058, "Displays current curves."},
        {16059, "Displays power curves."},
        {16061, "Sets current as X-axis variable."},
        {16062, "Sets power as X-axis variable."},
        {17680, "The Status Bar"},
        {424242, ""},  // no text of its own
    };
    for (const Case& c : cases) EXPECT_EQ(PromptTextForId(c.id), c.expected) << "id " << c.id;
}

TEST_F(StatusBarPrompt, SystemCommandsUseTheSystemPrompts) {
    // The close command 0xF060 takes the text of 61184 + 6.
    const char* close = GetMessageText(61190);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(PromptTextForId(0xF060), close);
    EXPECT_EQ(PromptTextForId(0xF061), close);
}

TEST_F(StatusBarPrompt, RecentFilesPromptTheirPath) {
    InitRecentLists();
    RecentList& recent = RecentFiles();
    recent.Add("/home/ann/amp.cir");
    EXPECT_EQ(PromptTextForId(18600), "Load /home/ann/amp.cir");
    EXPECT_EQ(PromptTextForId(18605), "");  // an empty entry prompts nothing
    FreeRecentLists();
}

TEST_F(StatusBarPrompt, SecondProbeNodeIsAskedForWhateverTheId) {
    RunState().probeFirstNode = "OUT";
    EXPECT_EQ(PromptTextForId(2), "First node is OUT. Click again for the second node.");
}

TEST_F(StatusBarPrompt, BufferIsBoundedAndTerminated) {
    char small[8];
    PromptTextForId(2, small, sizeof small);
    EXPECT_STREQ(small, "Closes ");
}

TEST(StatusBarClock, TwelveHourTextWithBlanksAround) {
    struct Case {
        int hour;
        int minute;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0, 5, " 12:05 AM "},   {12, 0, " 12:00 PM "},  {13, 7, " 1:07 PM "},
        {11, 59, " 11:59 AM "}, {23, 30, " 11:30 PM "}, {9, 0, " 9:00 AM "},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatClockText(c.hour, c.minute), c.expected);
}

class StatusBarDialog : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        static const MessageRow rows[] = {{7001, "First line of the prompt\nsecond line"}};
        RegisterMessages(rows, 1);
        platform::DialogDesc desc;
        desc.caption = "Prompt test";
        desc.cx = 160;
        desc.cy = 80;
        dialog_ = std::make_unique<platform::Dialog>(desc);
        ASSERT_TRUE(dialog_->CreateModeless());
    }
    void TearDown() override { dialog_.reset(); }

    std::unique_ptr<platform::Dialog> dialog_;
};

TEST_F(StatusBarDialog, PromptLinesFollowTheBar) {
    CStatusBar2 oneLine;
    oneLine.AttachToDialogDefault(*dialog_);
    oneLine.ShowPromptById(7001);
    EXPECT_EQ(oneLine.PromptText(), "First line of the prompt");

    oneLine.HideInDialog();
    CStatusBar2 twoLines;
    twoLines.AttachToDialog(*dialog_, 1, 2, true);
    twoLines.ShowPromptById(7001);
    EXPECT_EQ(twoLines.PromptText(), "First line of the prompt\nsecond line");
}

TEST_F(StatusBarDialog, HidingGivesBackTheHeightItAdded) {
    const int before = dialog_->WindowRect().Height();
    CStatusBar2 bar;
    bar.AttachToDialogDefault(*dialog_);
    ASSERT_TRUE(bar.IsAttached());
    EXPECT_GT(bar.ExtraHeight(), 0);
    EXPECT_EQ(dialog_->WindowRect().Height(), before + bar.ExtraHeight());
    bar.HideInDialog();
    EXPECT_FALSE(bar.IsAttached());
    EXPECT_EQ(dialog_->WindowRect().Height(), before);
    // A hidden bar shows no prompts; attaching again shows it without a new bar.
    bar.ShowPrompt("ignored");
    EXPECT_EQ(bar.PromptText(), "");
    bar.AttachToDialogDefault(*dialog_);
    bar.ShowPrompt("A & B");
    EXPECT_EQ(bar.PromptText(), "A & B");
}

}  // namespace
