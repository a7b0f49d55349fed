// Tests of the command line: switches of both forms, tokens, fatal errors and
// the order of the start-up sequence where it matters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/settings.h"
#include "core/startup_registry.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

struct CmdLineCalls {
    std::vector<std::string> opened;
    std::vector<int> reportedCodes;
    std::vector<std::string> reportedTexts;
    int windowClosed = 0;
    int componentResult = 0;
    int shapeResult = 0;
    std::string footer;
    std::vector<std::string> ranSteps;
};

// The document layer and the main window as start-up sees them.
class CmdLineDesktop final : public DocumentOpenerPort, public MainWindowPort {
public:
    explicit CmdLineDesktop(CmdLineCalls& calls) : calls_(calls) {}
    int ResolveDocumentExtension(char*, size_t, int, int) override { return -1; }
    int OpenFileOfKind(const char* path, int) override {
        calls_.opened.push_back(path);
        return 0;
    }
    void CloseMainWindow() override { ++calls_.windowClosed; }

private:
    CmdLineCalls& calls_;
};

class CmdLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        savedSteps_ = StartupSteps();
        Restart();
        InitRecentLists();

        reporter_.emplace([this](const MessageRequest& request) {
            calls_.reportedCodes.push_back(request.code());
            calls_.reportedTexts.push_back(ScopedTestReporter::TextArg(request));
            return static_cast<int>(kResultShown);
        });
        InstallDocumentOpener(&desktop_);
        InstallMainWindow(&desktop_);
        StartupRegistry& steps = StartupSteps();
        steps.Clear();
        steps.Add(
            StartupPhase::kLibraries, "shape libraries", [this] { return calls_.shapeResult; },
            StartupFailure::kReport);
        steps.Add(
            StartupPhase::kLibraries, "component libraries", [this] { return calls_.componentResult; },
            StartupFailure::kFatal);
        steps.Add(StartupPhase::kDefaults, "print header and footer", [this] {
            calls_.footer = kDefaultPrintFooter;
            return 0;
        });
    }
    void TearDown() override {
        ResetStartupState();
        SetHomeDirectory(nullptr);
        FreeRecentLists();
        ClearPathGroups();
        for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, "");
        reporter_.reset();
        StartupSteps() = savedSteps_;
        InstallDocumentOpener(nullptr);
        InstallMainWindow(nullptr);
    }

    // A fresh process state whose home (where tarn.dat lives) is the test folder.
    void Restart() {
        ResetStartupState();
        SetHomeDirectory(dir_.c_str());
    }

    twtest::TempDir dir_{"tw_cmdline"};
    CmdLineCalls calls_;
    CmdLineDesktop desktop_{calls_};
    std::optional<ScopedTestReporter> reporter_;
    StartupRegistry savedSteps_;
};

TEST_F(CmdLineTest, BatchFormSetsModeFlagsAndFileAndOpensNothing) {
    struct Case {
        const char* line;
        int mode;
        bool save, printCircuit, printAnalysis;
    };
    const Case cases[] = {
        {"@batch.txt /SAVE /P", 8, true, true, true}, {"@batch.txt /save /pc", 8, true, true, false},
        {"@batch.txt /PA /S", 2, false, false, true}, {"@batch.txt /R", 1, false, false, false},
        {"  @batch.txt  ", 8, false, false, false},
    };
    for (const Case& c : cases) {
        Restart();
        calls_.opened.clear();
        ASSERT_EQ(ProcessCommandLine(c.line), kStartupContinue) << c.line;
        const StartupState& state = Startup();
        EXPECT_EQ(state.batchMode, c.mode) << c.line;
        EXPECT_EQ(state.saveAfterBatch, c.save) << c.line;
        EXPECT_EQ(state.printCircuit, c.printCircuit) << c.line;
        EXPECT_EQ(state.printAnalysis, c.printAnalysis) << c.line;
        EXPECT_EQ(state.requestedAnalysis, -1) << c.line;
        ASSERT_NE(state.batchFile, nullptr) << c.line;
        // A bare batch file name is taken from the program directory.
        EXPECT_EQ(std::string(state.batchFile), std::string(ProgramDirectory()) + "/batch.txt") << c.line;
        EXPECT_TRUE(calls_.opened.empty()) << c.line;
        EXPECT_EQ(std::string(state.settingsPath), dir_.File("tarn.dat"));
    }
    Restart();
    ASSERT_EQ(ProcessCommandLine("@/srv/jobs/night.txt"), kStartupContinue);
    EXPECT_STREQ(Startup().batchFile, "/srv/jobs/night.txt");
}

TEST_F(CmdLineTest, InteractiveFormOpensFilesAndRequestsTheAnalysis) {
    struct Case {
        const char* line;
        int analysis;
        std::vector<std::string> opened;
    };
    const Case cases[] = {
        {"amp.cir /A", 1, {"amp.cir"}},
        {"/t amp.cir", 0, {"amp.cir"}},
        {"\"my amp.cir\" /D", 2, {"my amp.cir"}},
        {"/D /A /T a.cir", 2, {"a.cir"}},  // the last of /T, /A, /D wins
        {"/home/ann/Amp.CIR \"/home/ann/two words.txt\" b.cir",
         -1,
         {"/home/ann/Amp.CIR", "/home/ann/two words.txt", "b.cir"}},
        {"", -1, {}},
    };
    for (const Case& c : cases) {
        Restart();
        calls_.opened.clear();
        ASSERT_EQ(ProcessCommandLine(c.line), kStartupContinue) << c.line;
        EXPECT_EQ(Startup().batchMode, 0) << c.line;
        EXPECT_EQ(Startup().batchFile, nullptr) << c.line;
        EXPECT_EQ(Startup().requestedAnalysis, c.analysis) << c.line;
        EXPECT_EQ(calls_.opened, c.opened) << c.line;
    }
}

TEST_F(CmdLineTest, UnknownOrMisplacedSwitchEndsWithMessage10150AndStatus1) {
    struct Case {
        const char* line;
        const char* rest;
    };
    const Case cases[] = {
        {"/X", "/X"},
        {"amp.cir /x", "/x"},
        {"@batch.txt /T", "/T"},  // no analysis switches in the batch form
        {"@batch.txt /SAVE /Q", "/Q"},
        {"amp.cir /SAVE", "/SAVE"},  // no batch switches in the interactive form
        {"@", "@"},                  // no batch file name
    };
    for (const Case& c : cases) {
        Restart();
        calls_ = CmdLineCalls{};
        EXPECT_EQ(ProcessCommandLine(c.line), kExitFailure) << c.line;
        EXPECT_EQ(calls_.reportedCodes, std::vector<int>{10150}) << c.line;
        ASSERT_EQ(calls_.reportedTexts.size(), 1u);
        EXPECT_EQ(calls_.reportedTexts[0], c.rest) << c.line;
        EXPECT_EQ(calls_.windowClosed, 1) << c.line;
        EXPECT_TRUE(Startup().noSave) << c.line;
        EXPECT_TRUE(calls_.opened.empty()) << c.line;
    }
}

TEST_F(CmdLineTest, ComponentLibraryFailureIsFatalShapeLibraryFailureIsNot) {
    calls_.shapeResult = 15022;
    EXPECT_EQ(ProcessCommandLine("a.cir"), kStartupContinue);
    EXPECT_EQ(calls_.reportedCodes, std::vector<int>{15022});
    EXPECT_EQ(calls_.opened, std::vector<std::string>{"a.cir"});
    EXPECT_FALSE(Startup().noSave);

    Restart();
    calls_ = CmdLineCalls{};
    calls_.componentResult = 15009;
    EXPECT_EQ(ProcessCommandLine("a.cir"), kExitFailure);
    EXPECT_EQ(calls_.reportedCodes, std::vector<int>{15009});
    EXPECT_TRUE(calls_.opened.empty());
    EXPECT_TRUE(Startup().noSave);
    EXPECT_EQ(Startup().fatalCode, 15009);
    EXPECT_EQ(SaveSettingsFile(), 0);  // nothing is written after a fatal start
}

TEST_F(CmdLineTest, FindCommandLineSwitchMatchesWholeSwitchWordsOnly) {
    struct Case {
        const char* line;
        const char* sw;
        int position;
        const char* after;
    };
    const Case cases[] = {
        {"/PC", "/P", -1, "/PC"},
        {"/PC /P", "/P", 4, "/PC"},
        {"a.cir /save ", "/SAVE", 6, "a.cir"},
        {"/home/p/x.cir", "/P", -1, "/home/p/x.cir"},  // a path, not a switch
        {"\"/P\"", "/P", -1, "\"/P\""},                // quoted: a name
        {" /S ", "/S", 1, ""},
    };
    for (const Case& c : cases) {
        char line[100];
        strcpy(line, c.line);
        EXPECT_EQ(FindCommandLineSwitch(line, c.sw), c.position) << c.line;
        EXPECT_STREQ(line, c.after) << c.line;
    }
    char line[] = "/a /A";
    EXPECT_EQ(FindSwitchLetter(line, 'A'), 0);
    EXPECT_STREQ(line, "/A");
}

TEST_F(CmdLineTest, TakeCommandLineTokenStepsOverSwitchesAndKeepsQuotedBlanks) {
    char line[] = " /A \"my file.cir\"  b.cir /T ";
    char token[64];
    TakeCommandLineToken(line, token, sizeof token);
    EXPECT_STREQ(token, "my file.cir");
    TakeCommandLineToken(line, token, sizeof token);
    EXPECT_STREQ(token, "b.cir");
    TakeCommandLineToken(line, token, sizeof token);
    EXPECT_STREQ(token, "");
    EXPECT_STREQ(line, "/A    /T");

    char open[] = "x.cir \"unterminated name";
    TakeCommandLineToken(open, token, sizeof token);
    TakeCommandLineToken(open, token, sizeof token);
    EXPECT_STREQ(token, "unterminated name");
    EXPECT_STREQ(open, "");

    char longLine[] = "abcdefghijklmnop";
    TakeCommandLineToken(longLine, token, 5);
    EXPECT_STREQ(token, "abcd");  // cut to the buffer, never past it
}

TEST_F(CmdLineTest, JoinedArgumentsKeepBlanksInsideQuotes) {
    const char* argv[] = {"tarnwick", "my amp.cir", "/A", "", "@jobs.txt"};
    char* line = JoinCommandLine(5, argv);
    EXPECT_STREQ(line, "\"my amp.cir\" /A @jobs.txt");
    MemFree(line);
}

TEST_F(CmdLineTest, ProgramDefaultsGiveThePrintFooterWithALiteralBackslashN) {
    ResetProgramDefaults(false);
    EXPECT_EQ(calls_.footer, "$<$user\\n$company");
    EXPECT_TRUE(Startup().statusBarAtStart);
}

}  // namespace

namespace {

// Each phase's steps run at their place in the sequence: tables and numbers
// before the command line is read, libraries after tarn.dat, the files after
// the components and before the last phase.
TEST_F(CmdLineTest, StartUpRunsEachPhaseAtItsPlaceInTheSequence) {
    std::vector<std::string>& ran = calls_.ranSteps;
    auto record = [this](const char* name) {
        return [this, name] {
            calls_.ranSteps.push_back(std::string(name) + (Startup().settingsPath ? " +settings" : "") +
                                      (calls_.opened.empty() ? "" : " +files"));
            return 0;
        };
    };
    StartupRegistry& steps = StartupSteps();
    steps.Clear();
    // Registered in subsystem order, not in phase order.
    steps.Add(StartupPhase::kAfterFiles, "after files", record("after files"));
    steps.Add(StartupPhase::kComponents, "components", record("components"));
    steps.Add(StartupPhase::kLibraries, "libraries", record("libraries"));
    steps.Add(StartupPhase::kModels, "models", record("models"));
    steps.Add(StartupPhase::kWindows, "windows", record("windows"));
    steps.Add(StartupPhase::kNumbers, "numbers", record("numbers"));
    steps.Add(StartupPhase::kTables, "tables", record("tables"));
    steps.Add(StartupPhase::kDefaults, "defaults", record("defaults"));
    steps.Add(StartupPhase::kApplication, "application", record("application"));
    steps.Add(StartupPhase::kShutdown, "shutdown", record("shutdown"));

    EXPECT_EQ(ProcessCommandLine("a.cir"), kStartupContinue);
    // Reading tarn.dat sets the program defaults first, and again when the file
    // cannot be read (here it is missing).
    EXPECT_EQ(ran, (std::vector<std::string>{"tables", "numbers", "windows", "models", "defaults +settings",
                                             "defaults +settings", "libraries +settings", "components +settings",
                                             "after files +settings +files"}));
}

}  // namespace
