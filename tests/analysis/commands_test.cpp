#include "analysis/commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/limitsdlg.h"
#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "shell/document.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class OpenedWindows : public AnalysisWindowPort {
public:
    int OpenAnalysisWindow(CCTDoc*, int kind) override {
        opened.push_back(kind);
        return 0;
    }
    void CloseAnalysisWindow(CCTDoc*) override {}
    std::vector<int> opened;
};

class AnalysisMenuCommands : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        previous_ = InstallAnalysisWindows(&windows_);
    }
    void TearDown() override {
        if (document_) {
            ExitAnalysis(document_.get(), true);
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        InstallAnalysisWindows(previous_);
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        library_.reset();
    }

    twtest::TempDir dir_{"tw_analysis_commands"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    OpenedWindows windows_;
    AnalysisWindowPort* previous_ = nullptr;
    std::unique_ptr<CCTDoc> document_;
    std::vector<int> shown_;
    std::vector<std::string> texts_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code() >= 0 ? r.code() : LastMessageId());
        texts_.push_back(LastMessageText());
        return 0;
    }};
};

TEST_F(AnalysisMenuCommands, EachStartCommandRunsItsKindOnTheTopCircuitOnceAtATime) {
    document_ = MakeSpiceTextDocument(dir_.File("amp.ckt").c_str(), "deck\nV1 IN 0 DC 1 AC 1\nR1 IN 0 1k\n.END\n");
    CCTDoc* doc = document_.get();
    const struct { int id, kind; } commands[] = {{kCmdAnalysisTransient, 0}, {kCmdAnalysisAc, 1}, {kCmdAnalysisDc, 2}};
    for (const auto& c : commands) {
        ASSERT_EQ(RunAnalysisCommand(c.id, doc), 0) << c.id;
        EXPECT_EQ(RunningAnalysisKind(), c.kind);
        EXPECT_EQ(CircuitAnalysisSettings(doc)->kinds[c.kind].present, 1);
        ASSERT_NE(ActiveLimitsDialog(), nullptr);
        EXPECT_EQ(ActiveLimitsDialog()->AnalysisKind(), c.kind);
        // A second start while one is open is refused and leaves it running.
        EXPECT_EQ(RunAnalysisCommand(kCmdAnalysisDc, doc), kResultNotBuilt);
        EXPECT_EQ(RunningAnalysisKind(), c.kind);
        CloseAnalysis(doc);
    }
    EXPECT_EQ(windows_.opened, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(shown_.empty()) << (texts_.empty() ? "" : texts_[0]);

    // Distortion needs a sine source; without a circuit window nothing starts.
    EXPECT_EQ(RunAnalysisCommand(kCmdAnalysisDistortion, doc), kMsgNoSineSource);
    EXPECT_EQ(shown_, (std::vector<int>{kMsgNoSineSource}));
    EXPECT_EQ(RunAnalysisCommand(kCmdAnalysisTransient, nullptr), kResultNotBuilt);
    EXPECT_EQ(RunningAnalysisKind(), -1);
}

TEST_F(AnalysisMenuCommands, TheTargetAnswersItsIdsOnly) {
    platform::CommandState start(kCmdAnalysisTransient);
    EXPECT_TRUE(AnalysisCommands().OnUpdateCommand(start));
    EXPECT_FALSE(start.Enabled());  // no circuit window
    platform::CommandState limits(kCmdAnalysisLimits);
    EXPECT_TRUE(AnalysisCommands().OnUpdateCommand(limits));
    EXPECT_FALSE(limits.Enabled());
    platform::CommandState other(12345);
    EXPECT_FALSE(AnalysisCommands().OnUpdateCommand(other));
    EXPECT_FALSE(AnalysisCommands().OnCommand(12345));
    EXPECT_TRUE(AnalysisCommands().OnCommand(kCmdAnalysisTransient));
    EXPECT_EQ(RunningAnalysisKind(), -1);
}

}  // namespace
