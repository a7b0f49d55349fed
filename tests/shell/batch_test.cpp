// Batch runs: lines cleaned and parsed into jobs, jobs run through the
// installed analyses, and the log's lines and totals.
#include "shell/batch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "shell/document.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

TEST(BatchLines, CleaningAndSwitches) {
    struct Case {
        const char* raw;
        bool job;
        const char* name;
        bool t, a, d;
        int runMode;
        const char* rest;
    };
    const Case cases[] = {
        {"rc.ckt /t /A ; both analyses", true, "rc.ckt", true, true, false, 8, ""},
        {"\trc.ckt\t/d /s\t", true, "rc.ckt", false, false, true, 2, ""},
        {"rc.ckt\t/T\t/A", true, "rc.ckt", true, true, false, 8, ""},
        {"\"my amp.cir\" /R /T /TOSPICE", true, "my amp.cir", true, false, false, 1, ""},
        {"* a comment /T", false, "", false, false, false, 8, ""},
        {":label /T", false, "", false, false, false, 8, ""},
        {"rc.ckt", false, "rc.ckt", false, false, false, 8, ""},
        {"rc.ckt /T /X", true, "rc.ckt", true, false, false, 8, "/X"},
        {"buffer.ibs", true, "buffer.ibs", false, false, false, 8, ""},
        {"/home/ann/amp.cir /T", true, "/home/ann/amp.cir", true, false, false, 8, ""},
    };
    for (const Case& c : cases) {
        BatchLine line;
        EXPECT_EQ(ParseBatchSwitches(CleanBatchLine(c.raw), false, &line), c.job) << c.raw;
        EXPECT_EQ(line.name, c.name) << c.raw;
        EXPECT_EQ(line.transient, c.t) << c.raw;
        EXPECT_EQ(line.ac, c.a) << c.raw;
        EXPECT_EQ(line.dc, c.d) << c.raw;
        EXPECT_EQ(line.runMode, c.runMode) << c.raw;
        EXPECT_EQ(line.rest, c.rest) << c.raw;
    }
    BatchLine line;
    EXPECT_TRUE(ParseBatchSwitches("RC.CKT", true, &line)) << "/SAVE makes any named file a job";
    for (const char* none : {"", "LABEL DONE", "goto done"})
        EXPECT_FALSE(ParseBatchSwitches(none, true, &line)) << "no file named: '" << none << "'";
    EXPECT_EQ(BatchLogName("/tmp/ABCDEFGHIJKLMNO.CKT"), "ABCDEFGHIJKL.CKT");
}

// Opens a plain document for every job and reports fixed counters.
class FakeJobs : public BatchJobsPort {
public:
    CDoc* OpenJob(const char* path, int) override {
        opened.push_back(path);
        return new CDoc();
    }
    void CloseJob(CDoc* document) override { delete document; }
    int RunAnalysis(CDoc*, int analysis, BatchRunFigures* figures) override {
        runs.push_back(analysis);
        modes.push_back(Startup().batchMode);
        figures->analogNodes = 3;
        figures->iterations = 120;
        figures->rejected = 2;
        figures->solutions = 60;
        figures->runSeconds = 0.25;
        return 0;
    }
    void PrintCircuit(CDoc*) override {}
    void PrintAnalysis(CDoc*) override {}
    void CloseAnalysis(CDoc*) override {}
    int SaveDocument(CDoc*) override { return 0; }
    int TranslateIbis(const char*) override { return 0; }
    bool EscapePressed() override { return ++polls > escapeAfter; }

    int polls = 0;
    int escapeAfter = 1 << 30;
    std::vector<std::string> opened;
    std::vector<int> runs, modes;
};

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = InstallBatchJobs(&jobs_); }
    void TearDown() override {
        InstallBatchJobs(previous_);
        Startup().batchMode = 0;
    }
    std::string Run(const std::string& batchText) {
        const std::string path = dir_.Path() + "/jobs.bat";
        std::ofstream(path, std::ios::binary) << batchText;
        Startup().batchMode = 8;
        BatchRun run;
        EXPECT_EQ(run.Start(path.c_str(), nullptr), 0);
        EXPECT_EQ(run.Run(), 0);
        run.End();
        std::ifstream in(run.LogPath(), std::ios::binary);
        std::stringstream log;
        log << in.rdbuf();
        return log.str();
    }

    twtest::TempDir dir_{"batch"};
    FakeJobs jobs_;
    BatchJobsPort* previous_ = nullptr;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& request) {
        shown_.push_back(request.code());
        return 0;
    }};
};

TEST_F(BatchRunTest, JobsRunInOrderAndTheLogCountsThem) {
    const std::string log =
        Run("rc.ckt /T /A ; both\n"
            "* nothing here\n"
            "other.ckt\n"
            "bad.ckt /T /X\n"
            "goto END\n"
            "skipped.ckt /T\n"
            "Label END\n"
            "longbasename123.ckt /D /S\n");
    EXPECT_EQ(jobs_.opened, (std::vector<std::string>{"rc.ckt", "bad.ckt", "longbasename123.ckt"}));
    EXPECT_EQ(jobs_.runs, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(jobs_.modes, (std::vector<int>{8, 8, 2}));  // /S holds for its line's runs only
    // Messages of a batch go into its log, never into a box.
    EXPECT_TRUE(shown_.empty());
    EXPECT_NE(log.find("Error in command line '/X'."), std::string::npos) << log;
    EXPECT_NE(log.find("Circuit               Analog       Total   Rejected      Total        Run\n"),
              std::string::npos);
    EXPECT_NE(log.find("rc.ckt             /T      3         120          2         60      0.250\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("rc.ckt             /A"), std::string::npos);
    EXPECT_NE(log.find("longbasename.ckt   /D"), std::string::npos);
    EXPECT_NE(log.find("other.ckt          Did not specify what to run.\n"), std::string::npos);
    EXPECT_EQ(log.find("skipped"), std::string::npos);
    EXPECT_EQ(log.find("goto"), std::string::npos);
    EXPECT_NE(log.find("Total run time     1 sec\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Total Circuits 3\nTotal Simulations 3\n"), std::string::npos) << log;
}

TEST_F(BatchRunTest, AMissingLabelEndsTheBatch) {
    const std::string log = Run("GOTO NOWHERE\nrc.ckt /T\n");
    EXPECT_TRUE(jobs_.runs.empty());
    EXPECT_NE(log.find("Can't Find LABEL NOWHERE"), std::string::npos) << log;
    EXPECT_NE(log.find("Total Circuits 0\n"), std::string::npos);
}

TEST_F(BatchRunTest, EscEndsALoopOfGotos) {
    jobs_.escapeAfter = 5;
    const std::string log = Run("LABEL A\nGOTO A\n");
    EXPECT_GT(jobs_.polls, 5);
    EXPECT_NE(log.find("Total Simulations 0\n"), std::string::npos);
}

}  // namespace
