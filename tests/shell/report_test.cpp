// Message reporting: what ReportMessage shows (caption, text, buttons, icon,
// rows, beep) and returns for each kind of call, where it routes instead of a
// box (suppressed codes, warnings off, the batch log), timed warnings, the
// "Don't warn me anymore." flag, user texts that look like printf
// conversions, and help.tw8 read against damaged files.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/result.h"
#include "core/stringarray.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/frame.h"
#include "shell/batchlog.h"
#include "shell/document.h"
#include "shell/messages.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

namespace dlgid = platform::dlgid;

// Message texts of the tests (ids far from the program's own).
constexpr int kRptPlainCode = 91001;
constexpr int kRptWarningCode = 91002;
constexpr int kRptSubjectCode = 91003;
const MessageRow kRptRows[] = {
    {kRptPlainCode, "Delete the selected objects?"},
    {kRptWarningCode, "%WNode %d is floating."},
    {kRptSubjectCode, "%EUnknown model '%s'."},
};

// What the box showed, taken by the modal answerer.
struct rpt_Seen {
    int shown = 0;
    std::string caption;
    std::string text;
    std::vector<int> buttons;
    std::vector<std::string> buttonTexts;
    MessageIcon icon = MessageIcon::None;
    unsigned beep = 0;
    std::string rowList;
    bool rowsVisible = false;
    bool checkVisible = false;
    bool helpAvailable = false;
    int timerMs = 0;
    int syntaxId = 0;
};

// A placed component as the reporter's services see it.
struct rpt_Part {
    int level;
    const char* part;
};

// Stand-ins for the subsystems the reporter asks: each answer is the test's
// choice, an unset one answers as the null objects do.
struct rpt_Services : MessageLogs, MessageObjects, MessageSourceFiles {
    std::function<bool()> sensitivityLogOpen;
    std::function<void(const char*, const char*)> writeSensitivityLogLine;
    std::function<bool(platform::Window*, const char*, const char*)> writeNumericOutputMessage;
    std::function<bool()> parameterCheckOpen;
    std::function<void(const char*)> writeParameterCheckLine;
    std::function<int(const SchematicObject*)> componentSourceIndex;
    std::function<const char*(const SchematicObject*)> componentPartValue;
    std::function<int(const NetlistLine*)> textLineSourceIndex;
    std::function<const char*(const NetlistLine*)> textLineText;
    std::function<const char*(const NetlistLine*)> textLineFileName;
    std::function<void(const SchematicObject*, const NetlistLine*)> showErrorSource;
    std::function<bool(int, const char**, const char**)> sourceFileEntry;

    bool SensitivityLogOpen() override { return sensitivityLogOpen && sensitivityLogOpen(); }
    void WriteSensitivityLogLine(const char* caption, const char* text) override {
        if (writeSensitivityLogLine) writeSensitivityLogLine(caption, text);
    }
    bool WriteNumericOutputMessage(platform::Window* parent, const char* caption, const char* text) override {
        return writeNumericOutputMessage && writeNumericOutputMessage(parent, caption, text);
    }
    bool ParameterCheckOpen() override { return parameterCheckOpen && parameterCheckOpen(); }
    void WriteParameterCheckLine(const char* line) override {
        if (writeParameterCheckLine) writeParameterCheckLine(line);
    }
    std::optional<int> ComponentSourceIndex(const SchematicObject* c) override {
        if (!componentSourceIndex) return std::nullopt;
        return componentSourceIndex(c);
    }
    const char* ComponentPartValue(const SchematicObject* c) override {
        return componentPartValue ? componentPartValue(c) : nullptr;
    }
    std::optional<int> TextLineSourceIndex(const NetlistLine* l) override {
        if (!textLineSourceIndex) return std::nullopt;
        return textLineSourceIndex(l);
    }
    const char* TextLineText(const NetlistLine* l) override { return textLineText ? textLineText(l) : nullptr; }
    const char* TextLineFileName(const NetlistLine* l) override {
        return textLineFileName ? textLineFileName(l) : nullptr;
    }
    void ShowErrorSource(const SchematicObject* c, const NetlistLine* l) override {
        if (showErrorSource) showErrorSource(c, l);
    }
    bool SourceEntry(int index, const char** instance, const char** file) override {
        return sourceFileEntry && sourceFileEntry(index, instance, file);
    }
};

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        RegisterMessages(kRptRows, 3);
        Prefs().sound = 0;
        Prefs().warningTime = 3.0;
        Reporting() = ReportSwitches{};
        InstallReportLogs(&services_);
        InstallReportObjects(&services_);
        InstallReportSourceFiles(&services_);
        Startup().batchMode = 0;
        ClearPendingMessage();
    }
    void TearDown() override {
        Reporting() = ReportSwitches{};
        InstallReportLogs(nullptr);
        InstallReportObjects(nullptr);
        InstallReportSourceFiles(nullptr);
        Startup().batchMode = 0;
        SetBatchLog(nullptr);
        Prefs().warningTime = 3.0;
        SetProgramDirectory(savedProgramDir_.c_str());
    }

    // Runs `call` with an answerer that records the box and answers `answer`
    // (after `act` had its turn with the box).
    int Run(const std::function<int()>& call, int answer, const std::function<void(CMessageBoxDlg&)>& act = nullptr) {
        platform::ScopedModalAnswerer scoped([&](platform::ModalRequest& r) -> int {
            auto* box = dynamic_cast<CMessageBoxDlg*>(&r);
            if (!box) return dlgid::Failed;
            ++seen.shown;
            seen.caption = box->Title();
            seen.text = box->GetText(kMsgBoxText);
            seen.buttons = box->Buttons();
            seen.buttonTexts.clear();
            for (int id : seen.buttons) seen.buttonTexts.push_back(box->GetText(id));
            seen.icon = box->Icon();
            seen.beep = box->Record().beep;
            seen.rowList = box->RowListText();
            seen.rowsVisible = box->IsControlVisible(kMsgBoxRows);
            seen.checkVisible = box->IsControlVisible(kMsgBoxWarnAgain);
            seen.helpAvailable = box->HelpAvailable();
            seen.timerMs = box->TimerInterval();
            seen.syntaxId = box->SyntaxHelpId();
            if (act) act(*box);
            return answer;
        });
        return call();
    }

    rpt_Seen seen;
    rpt_Services services_;
    std::string savedProgramDir_ = ProgramDirectory();
};

// ---- what the box shows --------------------------------------------------------------

TEST_F(ReportTest, BoxesShowCaptionButtonsIconAndReturnTheButton) {
    struct Case {
        const char* name;
        std::function<int()> call;
        int answer;
        const char* caption;
        std::vector<int> buttons;
        MessageIcon icon;
        unsigned beep;
        int result;
    };
    const std::vector<Case> cases = {
        {"error code with a parent",
         [] { return ReportMessageLetters("PE", (platform::Window*)nullptr, 15002); },
         dlgid::Ok,
         "TW8 Error",
         {1},
         MessageIcon::Hand,
         16,
         1},
        {"warning code",
         [] { return ReportMessageLetters("E", kRptWarningCode, 4); },
         dlgid::Ok,
         "TW8 Warning",
         {1},
         MessageIcon::Exclamation,
         16,
         1},
        {"question: Yes",
         [] { return ReportMessageLetters("SE", 4u, kRptPlainCode); },
         dlgid::Yes,
         "Tarnwick",
         {6, 7},
         MessageIcon::Question,
         0,
         6},
        {"question: No",
         [] { return ReportMessageLetters("SE", 4u, kRptPlainCode); },
         dlgid::No,
         "Tarnwick",
         {6, 7},
         MessageIcon::Question,
         0,
         7},
        {"Esc without a Cancel button",
         [] { return ReportMessageLetters("E", 15002); },
         dlgid::Cancel,
         "TW8 Error",
         {1},
         MessageIcon::Hand,
         16,
         2},
        {"five buttons",
         [] { return ReportMessageLetters("SE", 0x26u, kRptPlainCode); },
         32,
         "Tarnwick",
         {6, 32, 7, 33, 2},
         MessageIcon::Question,
         0,
         32},
        {"abort, retry, ignore",
         [] { return ReportMessageLetters("SE", 0x32u, kRptPlainCode); },
         dlgid::Ignore,
         "Tarnwick",
         {3, 4, 5},
         MessageIcon::Exclamation,
         0,
         5},
        {"information icon, OK and Cancel",
         [] { return ReportMessageLetters("SE", 0x41u, kRptPlainCode); },
         dlgid::Cancel,
         "Tarnwick",
         {1, 2},
         MessageIcon::Asterisk,
         0,
         2},
        {"program icon",
         [] { return ReportMessageLetters("SE", 0x80u, kRptPlainCode); },
         dlgid::Ok,
         "Tarnwick",
         {1},
         MessageIcon::Program,
         0,
         1},
        {"caller's format, no class",
         [] { return ReportMessageLetters("F", "Plain %d", 3); },
         dlgid::Ok,
         "Tarnwick",
         {1},
         MessageIcon::None,
         0,
         1},
        {"caller's format as a warning",
         [] { return ReportMessageLetters("sF", 'W', "Careful"); },
         dlgid::Ok,
         "TW8 Warning",
         {1},
         MessageIcon::Exclamation,
         16,
         1},
        {"caption given, cut to 29",
         [] { return ReportMessageLetters("BE", "A caption longer than thirty characters", 15002); },
         dlgid::Ok,
         "A caption longer than thirty ",
         {1},
         MessageIcon::Hand,
         16,
         1},
        {"syntax button",
         [] { return ReportMessageLetters("E", 13258); },
         dlgid::Ok,
         "Tarnwick",
         {1, 34},
         MessageIcon::None,
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = rpt_Seen{};
        EXPECT_EQ(c.result, Run(c.call, c.answer));
        EXPECT_EQ(1, seen.shown);
        EXPECT_EQ(c.caption, seen.caption);
        EXPECT_EQ(c.buttons, seen.buttons);
        EXPECT_EQ(c.icon, seen.icon);
        EXPECT_EQ(c.beep, seen.beep);
        EXPECT_EQ(0, Dialogs().modalDepth);
        EXPECT_EQ(nullptr, Dialogs().currentDialog);
    }
    seen = rpt_Seen{};
    Run([] { return ReportMessageLetters("SE", 6u, kRptPlainCode); }, dlgid::Ok);
    EXPECT_EQ((std::vector<std::string>{"&Yes", "Yes to &All", "&No", "No to All", "&Cancel"}), seen.buttonTexts);
}

TEST_F(ReportTest, NothingIsShownForSilentCodesTimedWarningsAtZeroAndWarningsOff) {
    struct Case {
        const char* name;
        std::function<int()> call;
        double warningTime;
        bool warningsOff;
    };
    const std::vector<Case> cases = {
        {"already shown", [] { return ReportMessageLetters("E", 15055); }, 3, false},
        {"no failure", [] { return ReportMessageLetters("E", 0); }, 3, false},
        {"shown too", [] { return ReportMessageLetters("E", 15056); }, 3, false},
        {"timed warning at Warning Time 0", [] { return ReportMessageLetters("wE", kRptWarningCode, 1); }, 0, false},
        {"warning while warnings are off", [] { return ReportMessageLetters("E", kRptWarningCode, 1); }, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = rpt_Seen{};
        Prefs().warningTime = c.warningTime;
        Reporting().warningsOff = c.warningsOff;
        EXPECT_EQ(0, Run(c.call, dlgid::Ok));
        EXPECT_EQ(0, seen.shown);
    }
    // Errors still show while warnings are off.
    Reporting().warningsOff = true;
    seen = rpt_Seen{};
    EXPECT_EQ(1, Run([] { return ReportMessageLetters("E", 15002); }, dlgid::Ok));
    EXPECT_EQ(1, seen.shown);
}

// ---- texts and detail rows --------------------------------------------------------------

TEST_F(ReportTest, UserTextIsNeverAFormat) {
    struct Case {
        const char* name;
        std::function<int()> call;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"argument of a code's text", [] { return ReportMessageLetters("E", kRptSubjectCode, "Q%s%n%d"); },
         "Unknown model 'Q%s%n%d'.\n"},
        {"pending text of a subject message",
         [] {
             SetPendingText("/tmp/100%s%n.cir");
             return ReportMessageLetters("E", 15022);
         },
         "File not found '/tmp/100%s%n.cir'.\n"},
        {"caller's format with a user argument", [] { return ReportMessageLetters("F", "Name: %s", "50%%s"); },
         "Name: 50%%s\n"},
        {"the core's port", [] { return ShellReporter().Report(Message(kRptSubjectCode).Args("%s%p%n")); },
         "Unknown model '%s%p%n'.\n"},
        {"a text argument missing", [] { return ReportMessage(Message(kRptSubjectCode)); }, "Unknown model ''.\n"},
        {"a text for a number stays as written", [] { return ReportMessage(Message(kRptWarningCode).Args("x")); },
         "Node %d is floating.\n"},
        {"a code without text", [] { return ReportMessageLetters("E", 91999); }, "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = rpt_Seen{};
        Run(c.call, dlgid::Ok);
        EXPECT_EQ(1, seen.shown);
        EXPECT_EQ(c.text, seen.text);
    }
}

TEST_F(ReportTest, ComponentAndFileRows) {
    // Source entry 1 is the circuit itself; entry 3 the expansion of X1.
    services_.componentSourceIndex = [](const SchematicObject* c) {
        return reinterpret_cast<const rpt_Part*>(c)->level;
    };
    services_.componentPartValue = [](const SchematicObject* c) { return reinterpret_cast<const rpt_Part*>(c)->part; };
    bool haveTable = false;
    services_.sourceFileEntry = [&haveTable](int index, const char** instance, const char** file) {
        if (!haveTable || index < 1 || index > 3) return false;
        *instance = index == 3 ? "X1" : "";
        *file = index == 3 ? "/lib/amp.mac" : "/work/top.cir";
        return true;
    };
    int sourcesShown = 0;
    services_.showErrorSource = [&sourcesShown](const SchematicObject*, const NetlistLine*) { ++sourcesShown; };

    rpt_Part own{1, "R1"}, expanded{3, "R1"}, noPart{1, nullptr};
    auto* ownPart = reinterpret_cast<const SchematicObject*>(&own);
    auto* expandedPart = reinterpret_cast<const SchematicObject*>(&expanded);
    auto* unnamed = reinterpret_cast<const SchematicObject*>(&noPart);
    struct Case {
        const char* name;
        bool table;
        std::function<int()> call;
        const char* text;
        int sources;
    };
    const std::vector<Case> cases = {
        {"no source table", false, [&] { return ReportMessageLetters("NE", ownPart, 15002); },
         "Insufficient memory.\nPart:\tR1", 1},
        {"the circuit's own part", true, [&] { return ReportMessageLetters("NE", ownPart, 15002); },
         "Insufficient memory.\nPart:\tR1\nFile:\t/work/top.cir", 1},
        {"a part of a subcircuit", true, [&] { return ReportMessageLetters("NE", expandedPart, 15002); },
         "Insufficient memory.\nPart:\tX1.R1\nFile:\t/lib/amp.mac", 1},
        {"a part without PART", false, [&] { return ReportMessageLetters("NE", unnamed, 15002); },
         "Insufficient memory.\n", 1},
        {"a warning does not show the part", false,
         [&] { return ReportMessageLetters("NE", ownPart, kRptWarningCode, 2); }, "Node 2 is floating.\nPart:\tR1", 0},
        {"file already listed", true, [&] { return ReportMessageLetters("nMLE", "File:", "/work/top.cir", 1, 15002); },
         "Insufficient memory.\n\nFile:\t/work/top.cir", 0},
        {"other case is another file", true,
         [&] { return ReportMessageLetters("nMLE", "file:", "/WORK/TOP.CIR", 1, 15002); },
         "Insufficient memory.\n\nfile:\t/WORK/TOP.CIR\nFile:\t/work/top.cir", 0},
        {"a text row", false, [&] { return ReportMessageLetters("tE", "R1 1 2 1k", 15002); },
         "Insufficient memory.\nText:\tR1 1 2 1k", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = rpt_Seen{};
        haveTable = c.table;
        sourcesShown = 0;
        Run(c.call, dlgid::Ok);
        EXPECT_EQ(c.text, seen.text);
        EXPECT_EQ(c.sources, sourcesShown);
    }
}

TEST_F(ReportTest, RowsGoToTheListOrTheTextAndAreBounded) {
    const std::string v60(60, 'v'), v61(61, 'w');
    struct Case {
        const char* name;
        std::function<int()> call;
        const char* text;
        const char* rowList;
    };
    const std::vector<Case> cases = {
        {"row in the list", [] { return ReportMessageLetters("EM", 15002, "Model:", "QX"); }, "Insufficient memory.\n",
         "Model:\tQX"},
        {"n appends it", [] { return ReportMessageLetters("nEM", 15002, "Model:", "QX"); },
         "Insufficient memory.\n\nModel:\tQX", ""},
        {"label only", [] { return ReportMessageLetters("Em", 15002, "Check the model."); }, "Insufficient memory.\n",
         "Check the model."},
        {"empty rows are not taken", [] { return ReportMessageLetters("EMm", 15002, "", "", ""); },
         "Insufficient memory.\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = rpt_Seen{};
        Run(c.call, dlgid::Ok);
        EXPECT_EQ(c.text, seen.text);
        EXPECT_EQ(c.rowList, seen.rowList);
        EXPECT_EQ(*c.rowList != 0, seen.rowsVisible);
    }

    // Appended values show 60 characters; longer ones are cut and marked.
    seen = rpt_Seen{};
    Run([&] { return ReportMessageLetters("nEMM", 15002, "A:", v60.c_str(), "B:", v61.c_str()); }, dlgid::Ok);
    EXPECT_EQ("Insufficient memory.\n\nA:\t" + v60 + "\nB:\t" + v61.substr(0, 60) + "...", seen.text);

    // More rows than the record holds: the rest are dropped, their arguments
    // still taken (the code after them is read correctly).
    seen = rpt_Seen{};
    Run(
        [] {
            return ReportMessageLetters("MMMMMMMMMMMMMMMMMMMMMMMME", "1", "", "2", "", "3", "", "4", "", "5", "", "6",
                                        "", "7", "", "8", "", "9", "", "10", "", "11", "", "12", "", "13", "", "14", "",
                                        "15", "", "16", "", "17", "", "18", "", "19", "", "20", "", "21", "", "22", "",
                                        "23", "", "24", "", 15002);
        },
        dlgid::Ok);
    EXPECT_EQ("TW8 Error", seen.caption);
    EXPECT_EQ(19, std::count(seen.rowList.begin(), seen.rowList.end(), '\n') + 1);
    EXPECT_EQ(0u, seen.rowList.find("1\n2\n"));
    EXPECT_NE(std::string::npos, seen.rowList.find("\n19"));
    EXPECT_EQ(std::string::npos, seen.rowList.find("20"));

    // A string list adds rows while at most 16 are in use.
    StringArray list;
    ASSERT_EQ(0, list.Init());
    for (int i = 0; i < 20; ++i) {
        std::string line = "line " + std::to_string(i);
        list.SetEntry(i, line.c_str(), static_cast<int>(line.size()));
    }
    seen = rpt_Seen{};
    Run([&] { return ReportMessageLetters("MlE", "First:", "x", &list, 15002); }, dlgid::Ok);
    EXPECT_EQ(17, std::count(seen.rowList.begin(), seen.rowList.end(), '\n') + 1);

    // A long row line in the list is cut to 199 characters.
    const std::string longValue(400, 'z');
    seen = rpt_Seen{};
    Run([&] { return ReportMessageLetters("EM", 15002, "Long:", longValue.c_str()); }, dlgid::Ok);
    EXPECT_EQ(199u, seen.rowList.size());
}

// ---- where messages go ----------------------------------------------------------------------

TEST_F(ReportTest, BatchModeWritesTheLogAndShowsNothing) {
    char path[] = "/tmp/rpt_logXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* log = fdopen(fd, "w+b");
    ASSERT_NE(nullptr, log);
    SetBatchLog(log);
    Startup().batchMode = 8;
    EXPECT_EQ(0, Run([] { return ReportMessageLetters("EM", 15002, "Model:", "QX"); }, dlgid::Ok));
    EXPECT_EQ(0, Run([] { return ReportMessageLetters("SE", 4u, kRptPlainCode); }, dlgid::Yes));
    EXPECT_EQ(0, seen.shown);
    std::fclose(log);
    SetBatchLog(nullptr);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    EXPECT_EQ(
        "TW8 Error \r\n\tInsufficient memory.\r\n\tModel:\tQX\r\n"
        "Tarnwick \r\n\tDelete the selected objects?\r\n",
        text.str());
}

TEST_F(ReportTest, OtherDestinationsTakeTheMessage) {
    std::vector<std::string> lines;
    bool checkOpen = false, numericOutput = false;
    services_.sensitivityLogOpen = [] { return true; };
    services_.writeSensitivityLogLine = [&lines](const char* caption, const char* text) {
        lines.push_back(std::string("sens ") + caption + "|" + text);
    };
    services_.parameterCheckOpen = [&checkOpen] { return checkOpen; };
    services_.writeParameterCheckLine = [&lines](const char* line) { lines.push_back(std::string("check ") + line); };
    services_.writeNumericOutputMessage = [&lines, &numericOutput](platform::Window*, const char* caption,
                                                                   const char*) {
        lines.push_back(std::string("numeric ") + caption);
        return numericOutput;
    };

    checkOpen = true;
    numericOutput = false;
    EXPECT_EQ(0, Run([] { return ReportMessageLetters("EM", 15002, "Model:", "QX"); }, dlgid::Ok));
    EXPECT_EQ((std::vector<std::string>{"sens TW8 Error|Insufficient memory.\n\nModel:\tQX",
                                        "check \tInsufficient memory.\n", "check \t\n", "check \tModel:\tQX\n"}),
              lines);

    // The transient report switch sends it to the analysis document's output.
    lines.clear();
    Reporting().transientReport = true;
    numericOutput = true;
    EXPECT_EQ(0, Run([] { return ReportMessageLetters("E", 15002); }, dlgid::Ok));
    EXPECT_EQ((std::vector<std::string>{"sens TW8 Error|Insufficient memory.\n", "numeric TW8 Error"}), lines);
    EXPECT_EQ(0, seen.shown);
}

// ---- the box's own behaviour ------------------------------------------------------------------

TEST_F(ReportTest, TimedWarningClosesItselfAsOk) {
    Prefs().warningTime = 2;
    EXPECT_EQ(1, Run([] { return ReportMessageLetters("wE", kRptWarningCode, 1); }, dlgid::Failed,
                     [](CMessageBoxDlg& box) {
                         EXPECT_TRUE(box.HasTimer(kMsgBoxTimer));
                         box.OnTimer(kMsgBoxTimer);
                     }));
    EXPECT_EQ(2000, seen.timerMs);

    // The real timer, briefly.
    Prefs().warningTime = 0.05;
    int result = Run(
        [] { return ReportMessageLetters("wE", kRptWarningCode, 1); }, dlgid::Cancel,
        [](CMessageBoxDlg& box) { platform::Application::Instance()->RunUntil([&] { return box.HasEnded(); }, 5000); });
    EXPECT_EQ(1, result);
}

TEST_F(ReportTest, DontWarnAgainFlagFollowsTheCheckBox) {
    for (int ticked : {0, 1}) {
        SCOPED_TRACE(ticked);
        int flag = -1;
        seen = rpt_Seen{};
        EXPECT_EQ(6, Run([&] { return ReportMessageLetters("SCE", 0x24u, &flag, kMsgQuitQuestion); }, dlgid::Yes,
                         [&](CMessageBoxDlg& box) { box.SetCheck(kMsgBoxWarnAgain, ticked); }));
        EXPECT_TRUE(seen.checkVisible);
        EXPECT_EQ("Quit Tarnwick?\n", seen.text);
        EXPECT_EQ(ticked ? 0 : 1, flag);
    }
    seen = rpt_Seen{};
    Run([] { return ReportMessageLetters("E", 15002); }, dlgid::Ok);
    EXPECT_FALSE(seen.checkVisible);
}

TEST_F(ReportTest, OffsetsMoveTheBoxAndSoundGovernsTheBeep) {
    ScopedTestReporter counter;
    Prefs().sound = 1;
    auto leftOf = [&](const std::function<int()>& call) {
        int left = 0;
        Run(call, dlgid::Ok, [&](CMessageBoxDlg& box) { left = box.WindowRect().left; });
        return left;
    };
    int centred = leftOf([] { return ReportMessageLetters("E", 15002); });
    int moved = leftOf([] { return ReportMessageLetters("OE", 50, 0, 15002); });
    int pushed = leftOf([] { return ReportMessageLetters("OE", -1000, 0, 15002); });
    const platform::Rect work = platform::Application::Instance()->Metrics().workArea;
    EXPECT_EQ(centred + work.Width() / 4, moved);
    EXPECT_EQ(work.left, pushed);  // kept on the screen
    EXPECT_EQ(3, counter.beeps);
    leftOf([] { return ReportMessageLetters("SE", 4u, kRptPlainCode); });  // no class: no beep
    EXPECT_EQ(3, counter.beeps);
    Prefs().sound = 0;
    leftOf([] { return ReportMessageLetters("E", 15002); });
    EXPECT_EQ(3, counter.beeps);
}

TEST_F(ReportTest, LoadersMarkTheClassPrefix) {
    char buffer[64];
    EXPECT_STREQ("#EInsufficient memory.", LoadMessageText(buffer, 15002, sizeof buffer));
    EXPECT_STREQ("Tarnwick", LoadMessageText(buffer, kMsgProgramName, sizeof buffer));
    EXPECT_EQ(22, LoadStringText(buffer, 15002, sizeof buffer));
    EXPECT_STREQ("%EInsufficient memory.", buffer);
    EXPECT_EQ(4, LoadStringText(buffer, 15002, 5));
    EXPECT_STREQ("", LoadMessageText(buffer, 91999, sizeof buffer));
    EXPECT_STREQ("#WNode %d is floating.", LoadMessageTextShared(kRptWarningCode));
}

// ---- views and frames --------------------------------------------------------------------

class ReportViewTest : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        app_ = platform::Application::Instance();
        ASSERT_TRUE(host_.Create("Tarnwick", platform::Rect{0, 0, 900, 700}));
        previousMain_ = app_->MainWindow();
        app_->SetMainWindow(&host_);
        for (int kind : {kDocCircuit, kDocMonteCarlo})
            RegisterDocumentTemplate(MakeDocumentTemplate<CDoc, CMDIFrame, CMDIView>(kind));
    }
    void TearDown() override {
        ClearRunContext();
        host_.Destroy();
        CloseAllDocuments();
        ClearDocumentTemplates();
        app_->SetMainWindow(previousMain_);
        app_->PumpEvents();
        ReportTest::TearDown();
    }
    platform::Application* app_ = nullptr;
    platform::Window* previousMain_ = nullptr;
    platform::MainFrame host_;
};

TEST_F(ReportViewTest, ViewsAndFramesNameTheirDocumentsFile) {
    CDoc* circuit = CreateDocumentOfKind(kDocCircuit, "/home/u/amp.cir");
    CDoc* plot = CreateDocumentOfKind(kDocMonteCarlo, "Histogram");
    ASSERT_NE(nullptr, circuit);
    ASSERT_NE(nullptr, plot);
    CMDIView* circuitView = circuit->MainView();
    CMDIView* plotView = plot->MainView();
    struct Case {
        const char* name;
        std::function<int()> call;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"circuit view", [&] { return ReportMessageLetters("dE", circuitView, 15002); },
         "Insufficient memory.\n\nFile:\t/home/u/amp.cir"},
        {"circuit frame", [&] { return ReportMessageLetters("pE", circuitView->frame, 15002); },
         "Insufficient memory.\n\nFile:\t/home/u/amp.cir"},
        {"plot view of its own", [&] { return ReportMessageLetters("dE", plotView, 15002); }, "Insufficient memory.\n"},
        {"plot view over a circuit",
         [&] {
             plot->flags |= kDocFlagPlotObjects;
             plot->owner = circuit;
             return ReportMessageLetters("dE", plotView, 15002);
         },
         "Insufficient memory.\n\nFile:\t/home/u/amp.cir"},
        {"no view", [&] { return ReportMessageLetters("dE", (CMDIView*)nullptr, 15002); }, "Insufficient memory.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen = rpt_Seen{};
        Run(c.call, dlgid::Ok);
        EXPECT_EQ(c.text, seen.text);
    }

    // In a batch run the log names the current circuit for its windows.
    char path[] = "/tmp/rpt_vlogXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* log = fdopen(fd, "w+b");
    SetBatchLog(log);
    MessageReporter* previousReporter = IsReporterInstalled() ? &Reporter() : nullptr;
    InstallMessageReporter();
    CurrentRunContext().circuitDocument = circuit;
    CurrentRunContext().circuitView = circuitView;
    Startup().batchMode = 8;
    ReportMessageLetters("dE", circuitView, 15002);
    ReportMessageLetters("E", 15002);
    InstallReporter(previousReporter);
    std::fclose(log);
    SetBatchLog(nullptr);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    EXPECT_EQ(
        "TW8 Error /home/u/amp.cir\r\n\tInsufficient memory.\r\n\tFile:\t/home/u/amp.cir\r\n"
        "TW8 Error \r\n\tInsufficient memory.\r\n",
        text.str());
}

// ---- help.tw8 -----------------------------------------------------------------------------------

void rpt_Put32(std::string& out, int32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
}

// A help file with the given index rows (offset, id) and texts appended in order.
std::string rpt_HelpFile(int32_t count, const std::vector<std::pair<int32_t, int32_t>>& index,
                         const std::string& tail) {
    std::string out;
    rpt_Put32(out, count);
    for (auto [offset, id] : index) {
        rpt_Put32(out, offset);
        rpt_Put32(out, id);
    }
    return out + tail;
}

std::string rpt_Counted(int32_t length, const std::string& text) {
    std::string out;
    rpt_Put32(out, length);
    return out + text;
}

class ReportHelpTest : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        ASSERT_TRUE(dir_.Valid());
        path_ = dir_.File("help.tw8");
    }
    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes; }
    twtest::TempDir dir_{"rpt_help"};
    std::string path_;
};

TEST_F(ReportHelpTest, OffsetsLengthsAndCountsAreCheckedAgainstTheFileSize) {
    // Two entries; texts start after the index at byte 20.
    const std::string texts = rpt_Counted(5, "Hello") + rpt_Counted(3, "Bye");
    struct Case {
        const char* name;
        std::string file;
        int topic;
        const char* text;  // null: not found
    };
    const std::vector<Case> cases = {
        {"first topic", rpt_HelpFile(2, {{20, 15002}, {29, 15007}}, texts), 15002, "Hello"},
        {"second topic", rpt_HelpFile(2, {{20, 15002}, {29, 15007}}, texts), 15007, "Bye"},
        {"missing topic", rpt_HelpFile(2, {{20, 15002}, {29, 15007}}, texts), 15009, nullptr},
        {"count beyond the file", rpt_HelpFile(1000000, {{20, 15002}, {29, 15007}}, texts), 15007, "Bye"},
        {"negative count", rpt_HelpFile(-3, {{20, 15002}}, texts), 15002, nullptr},
        {"offset past the end", rpt_HelpFile(1, {{5000, 15002}}, texts), 15002, nullptr},
        {"negative offset", rpt_HelpFile(1, {{-8, 15002}}, texts), 15002, nullptr},
        {"length past the end", rpt_HelpFile(1, {{12, 15002}}, rpt_Counted(100, "short")), 15002, nullptr},
        {"negative length", rpt_HelpFile(1, {{12, 15002}}, rpt_Counted(-1, "x")), 15002, nullptr},
        {"empty text", rpt_HelpFile(1, {{12, 15002}}, rpt_Counted(0, "")), 15002, ""},
        {"truncated count", std::string("\x01\x00", 2), 15002, nullptr},
        {"empty file", std::string(), 15002, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.file);
        char* text = ReadHelpTextFrom(path_.c_str(), c.topic, nullptr);
        int exists = -1;
        EXPECT_EQ(nullptr, ReadHelpTextFrom(path_.c_str(), c.topic, &exists));
        if (c.text) {
            ASSERT_NE(nullptr, text);
            EXPECT_STREQ(c.text, text);
            EXPECT_EQ(1, exists);
        } else {
            EXPECT_EQ(nullptr, text);
            EXPECT_EQ(0, exists);
        }
        MemFree(text);
    }
    int exists = -1;
    EXPECT_EQ(nullptr, ReadHelpTextFrom(dir_.File("none.tw8").c_str(), 15002, &exists));
    EXPECT_EQ(0, exists);
}

TEST_F(ReportHelpTest, HelpButtonUnfoldsTheTopicText) {
    const std::string topic = "Close other programs.\r\n";
    Write(rpt_HelpFile(1, {{12, 15002}}, rpt_Counted(static_cast<int32_t>(topic.size()), topic)));
    SetProgramDirectory(dir_.c_str());
    std::string helpText;
    bool unfolded = false, folded = false;
    int grewBy = 0;
    Run([] { return ReportMessageLetters("E", 15002); }, dlgid::Ok,
        [&](CMessageBoxDlg& box) {
            platform::Rect before = box.WindowRect();
            box.PressButton(kMsgButtonHelp);
            unfolded = box.HelpUnfolded() && box.IsControlVisible(kMsgBoxHelpText);
            helpText = box.GetText(kMsgBoxHelpText);
            grewBy = box.WindowRect().Height() - before.Height();
            box.PressButton(kMsgButtonHelp);
            folded = !box.HelpUnfolded() && !box.IsControlVisible(kMsgBoxHelpText) &&
                     box.WindowRect().Height() == before.Height();
        });
    EXPECT_TRUE(seen.helpAvailable);
    EXPECT_EQ((std::vector<int>{1, 21}), seen.buttons);
    EXPECT_TRUE(unfolded);
    EXPECT_NE(std::string::npos, helpText.find("Close other programs."));
    EXPECT_GT(grewBy, 6);
    EXPECT_TRUE(folded);

    // A message without a topic has no Help button.
    seen = rpt_Seen{};
    Run([] { return ReportMessageLetters("E", 15007); }, dlgid::Ok);
    EXPECT_FALSE(seen.helpAvailable);
    EXPECT_EQ((std::vector<int>{1}), seen.buttons);
}

// ---- the typed front -------------------------------------------------------------------------

// A wrong argument does not compile: each field takes its own type, and the
// printf arguments take only what a message text can print.
template <class T>
concept rpt_PrintArg = requires(MessageRequest r, T v) {
    r.Args(v);
};
template <class T>
concept rpt_ParentArg = requires(MessageRequest r, T v) {
    r.Parent(v);
};
template <class T>
concept rpt_CodeArg = requires(T v) {
    Message(v);
};
template <class T>
concept rpt_TextArg = requires(MessageRequest r, T v) {
    r.Text(v);
};
static_assert(rpt_PrintArg<int> && rpt_PrintArg<unsigned> && rpt_PrintArg<long> && rpt_PrintArg<double> &&
              rpt_PrintArg<const char*> && rpt_PrintArg<std::string> && rpt_PrintArg<char>);
static_assert(!rpt_PrintArg<platform::Window*> && !rpt_PrintArg<int*> && !rpt_PrintArg<const SchematicObject*>);
static_assert(rpt_ParentArg<platform::Window*> && !rpt_ParentArg<int> && !rpt_ParentArg<const char*>);
static_assert(rpt_CodeArg<int> && !rpt_CodeArg<const char*> && !rpt_CodeArg<platform::Window*> && !rpt_CodeArg<double>);
static_assert(!rpt_TextArg<int> && !rpt_TextArg<platform::Window*>);

// Everything a box shows and holds, to compare a letter call with its typed one.
struct rpt_Snapshot {
    int result = 0;
    rpt_Seen seen;
    const platform::Window* parent = nullptr;
    std::string fileName;
    int offsetX = 0;
    int offsetY = 0;
    unsigned style = 0;
    int left = 0;
    int warnAgain = -1;
    int sources = 0;
};

TEST_F(ReportViewTest, EachTypedFieldReachesTheRecordAsItsLetterDid) {
    CDoc* circuit = CreateDocumentOfKind(kDocCircuit, "/home/u/amp.cir");
    ASSERT_NE(nullptr, circuit);
    CMDIView* view = circuit->MainView();
    ASSERT_NE(nullptr, view);

    rpt_Part part{3, "R1"};
    auto* component = reinterpret_cast<const SchematicObject*>(&part);
    struct rpt_Line {
        int level;
        const char* text;
    } lineData{1, "R1 1 2 1k"};
    auto* line = reinterpret_cast<const NetlistLine*>(&lineData);
    services_.componentSourceIndex = [](const SchematicObject* c) {
        return reinterpret_cast<const rpt_Part*>(c)->level;
    };
    services_.componentPartValue = [](const SchematicObject* c) { return reinterpret_cast<const rpt_Part*>(c)->part; };
    services_.textLineSourceIndex = [](const NetlistLine* l) { return reinterpret_cast<const rpt_Line*>(l)->level; };
    services_.textLineText = [](const NetlistLine* l) { return reinterpret_cast<const rpt_Line*>(l)->text; };
    services_.textLineFileName = [](const NetlistLine*) { return "/work/net.cir"; };
    services_.sourceFileEntry = [](int index, const char** instance, const char** file) {
        if (index < 1 || index > 3) return false;
        *instance = index == 3 ? "X1" : "";
        *file = index == 3 ? "/lib/amp.mac" : "/work/top.cir";
        return true;
    };
    int sourcesShown = 0;
    services_.showErrorSource = [&sourcesShown](const SchematicObject*, const NetlistLine*) { ++sourcesShown; };
    StringArray list;
    ASSERT_EQ(0, list.Init());
    list.SetEntry(0, "first", 5);
    list.SetEntry(2, "third", 5);
    int flag = -1;

    auto snap = [&](const std::function<int()>& call) {
        rpt_Snapshot s;
        seen = rpt_Seen{};
        flag = -1;
        sourcesShown = 0;
        s.result = Run(call, dlgid::Ok, [&](CMessageBoxDlg& box) {
            s.parent = box.Record().parent;
            s.fileName = box.Record().fileName;
            s.offsetX = box.Record().offsetX;
            s.offsetY = box.Record().offsetY;
            s.style = box.Record().style;
            s.left = box.WindowRect().left;
        });
        s.seen = seen;
        s.warnAgain = flag;
        s.sources = sourcesShown;
        return s;
    };
    struct Case {
        const char* name;
        std::function<int()> letters;
        std::function<int()> typed;
    };
    const std::vector<Case> cases = {
        {"E", [] { return ReportMessageLetters("E", 15002); }, [] { return ReportMessage(Message(15002)); }},
        {"E with an int", [] { return ReportMessageLetters("E", kRptWarningCode, 4); },
         [] { return ReportMessage(Message(kRptWarningCode).Args(4)); }},
        {"E with a text", [] { return ReportMessageLetters("E", kRptSubjectCode, "Q1"); },
         [] { return ReportMessage(Message(kRptSubjectCode).Args("Q1")); }},
        {"F with every argument type",
         [] {
             return ReportMessageLetters("F", "%u %ld %.3f %s %x %c %5d|%-4s|", 7u, -5L, 2.5, "x", 255u, 'k', 42, "ab");
         },
         [] {
             return ReportMessage(
                 FormattedMessage("%u %ld %.3f %s %x %c %5d|%-4s|").Args(7u, -5L, 2.5, "x", 255u, 'k', 42, "ab"));
         }},
        {"A", [] { return ReportMessageLetters("AE", 15002); },
         [] { return ReportMessage(Message(15002).ActiveParent()); }},
        {"B", [] { return ReportMessageLetters("BE", "Own caption", 15002); },
         [] { return ReportMessage(Message(15002).Caption("Own caption")); }},
        {"C", [&] { return ReportMessageLetters("CSE", &flag, 4u, kRptPlainCode); },
         [&] { return ReportMessage(Message(kRptPlainCode).WarnAgain(&flag).Style(4u)); }},
        {"D", [&] { return ReportMessageLetters("DE", static_cast<platform::Window*>(&host_), 15002); },
         [&] { return ReportMessage(Message(15002).Parent(&host_)); }},
        {"P", [&] { return ReportMessageLetters("PE", static_cast<platform::Window*>(view), 15002); },
         [&] { return ReportMessage(Message(15002).Parent(view)); }},
        {"L", [] { return ReportMessageLetters("LE", 3, 15002); },
         [] { return ReportMessage(Message(15002).Source(3)); }},
        {"M", [] { return ReportMessageLetters("EM", 15002, "Model:", "QX"); },
         [] { return ReportMessage(Message(15002).Row("Model:", "QX")); }},
        {"m", [] { return ReportMessageLetters("Em", 15002, "Check it."); },
         [] { return ReportMessage(Message(15002).Row("Check it.")); }},
        {"l", [&] { return ReportMessageLetters("lE", &list, 15002); },
         [&] { return ReportMessage(Message(15002).Rows(&list)); }},
        {"n", [] { return ReportMessageLetters("nEM", 15002, "Model:", "QX"); },
         [] { return ReportMessage(Message(15002).AppendRows().Row("Model:", "QX")); }},
        {"N", [&] { return ReportMessageLetters("NE", component, 15002); },
         [&] { return ReportMessage(Message(15002).Component(component)); }},
        {"O", [] { return ReportMessageLetters("OE", 50, -20, 15002); },
         [] { return ReportMessage(Message(15002).Offset(50, -20)); }},
        {"S", [] { return ReportMessageLetters("SE", 0x26u, kRptPlainCode); },
         [] { return ReportMessage(Message(kRptPlainCode).Style(0x26u)); }},
        {"T", [&] { return ReportMessageLetters("TE", line, 15002); },
         [&] { return ReportMessage(Message(15002).Line(line)); }},
        {"d", [&] { return ReportMessageLetters("dE", view, 15002); },
         [&] { return ReportMessage(Message(15002).View(view)); }},
        {"p", [&] { return ReportMessageLetters("pE", view->frame, 15002); },
         [&] { return ReportMessage(Message(15002).Frame(view->frame)); }},
        {"s", [] { return ReportMessageLetters("sF", 'W', "Careful %d", 3); },
         [] { return ReportMessage(FormattedMessage("Careful %d").Class('W').Args(3)); }},
        {"t", [] { return ReportMessageLetters("tE", "R1 1 2 1k", 15002); },
         [] { return ReportMessage(Message(15002).Text("R1 1 2 1k")); }},
        {"w", [] { return ReportMessageLetters("wE", kRptWarningCode, 1); },
         [] { return ReportMessage(Message(kRptWarningCode).Timed().Args(1)); }},
        {"through the core's port", [] { return ReportMessageLetters("SE", 4u, kRptPlainCode); },
         [] { return ShellReporter().Report(Message(kRptPlainCode).Style(4u)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const rpt_Snapshot a = snap(c.letters);
        const rpt_Snapshot b = snap(c.typed);
        EXPECT_EQ(1, a.seen.shown);
        EXPECT_EQ(a.seen.shown, b.seen.shown);
        EXPECT_EQ(a.result, b.result);
        EXPECT_EQ(a.seen.caption, b.seen.caption);
        EXPECT_EQ(a.seen.text, b.seen.text);
        EXPECT_EQ(a.seen.buttons, b.seen.buttons);
        EXPECT_EQ(a.seen.icon, b.seen.icon);
        EXPECT_EQ(a.seen.beep, b.seen.beep);
        EXPECT_EQ(a.seen.rowList, b.seen.rowList);
        EXPECT_EQ(a.seen.rowsVisible, b.seen.rowsVisible);
        EXPECT_EQ(a.seen.checkVisible, b.seen.checkVisible);
        EXPECT_EQ(a.seen.timerMs, b.seen.timerMs);
        EXPECT_EQ(a.parent, b.parent);
        EXPECT_EQ(a.fileName, b.fileName);
        EXPECT_EQ(a.offsetX, b.offsetX);
        EXPECT_EQ(a.offsetY, b.offsetY);
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(a.left, b.left);
        EXPECT_EQ(a.warnAgain, b.warnAgain);
        EXPECT_EQ(a.sources, b.sources);
    }

    // The snapshots are not all alike: the fields do reach the box.
    EXPECT_EQ("Insufficient memory.\nPart:\tX1.R1\nFile:\t/lib/amp.mac", snap(cases[14].typed).seen.text);
    EXPECT_EQ("Insufficient memory.\nText:\tR1 1 2 1k\nFile:\t/work/net.cir", snap(cases[17].typed).seen.text);
    EXPECT_EQ("7 -5 2.500 x ff k    42|ab  |\n", snap(cases[3].typed).seen.text);
    EXPECT_EQ("Own caption", snap(cases[5].typed).seen.caption);
    EXPECT_EQ(1, snap(cases[6].typed).warnAgain);
}

}  // namespace
