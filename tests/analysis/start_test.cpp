#include "analysis/start.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/limitsdlg.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "shell/app.h"
#include "shell/document.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// The analysis window of the plot windows, recorded.
class RecordingWindows : public AnalysisWindowPort {
public:
    int OpenAnalysisWindow(CCTDoc* document, int kind) override {
        opened.push_back(kind);
        // What the Analysis Limits dialog shows when it opens.
        AnalysisKindSettings& limits = CircuitAnalysisSettings(document)->kinds[kind];
        range = limits.limits[0] ? limits.limits[0] : "";
        points = limits.limits[PointsFieldIndex(kind)] ? limits.limits[PointsFieldIndex(kind)] : "";
        for (const auto& row : limits.curves) rows.push_back(row->yExpression ? row->yExpression : "");
        return 0;
    }
    void CloseAnalysisWindow(CCTDoc*) override { ++closed; }
    std::vector<int> opened;
    int closed = 0;
    std::string range, points;
    std::vector<std::string> rows;
};

class AnalysisStart : public ::testing::Test {
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
    CCTDoc* Load(const char* text, bool numericOutput) {
        document_ = MakeSpiceTextDocument(dir_.File("amp.ckt").c_str(), text);
        AnalysisSettings* settings = EnsureAnalysisSettings(document_.get());
        for (AnalysisKindSettings& kind : settings->kinds) kind.numOutWrite[kIncludeNumericOutput] = numericOutput;
        return document_.get();
    }

    twtest::TempDir dir_{"tw_analysis_start"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    RecordingWindows windows_;
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

TEST_F(AnalysisStart, ATransientStartOpensTheWindowWithDefaultLimitsAndItsCloseRemovesAnEmptyOutput) {
    CCTDoc* doc = Load("deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", true);
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    EXPECT_EQ(windows_.opened, (std::vector<int>{0}));
    EXPECT_EQ(windows_.range, "1u");
    EXPECT_EQ(windows_.points, "51");
    ASSERT_FALSE(windows_.rows.empty());
    EXPECT_EQ(windows_.rows[0], "v(IN)");
    EXPECT_EQ(RunningAnalysisKind(), 0);
    EXPECT_EQ(RunState().activeAnalysis, 0);
    CAnalysisLimitsDlg* limits = ActiveLimitsDialog();
    ASSERT_NE(limits, nullptr);
    EXPECT_EQ(limits->GetText(kIdLimitField + 0), "1u");
    EXPECT_EQ(limits->GetText(kIdLimitField + 2), "51");
    EXPECT_EQ(limits->GetText(LimitsCellId(0, 1)), "T");
    EXPECT_EQ(limits->GetText(LimitsCellId(0, 2)), "v(IN)");
    EXPECT_EQ(limits->GetText(LimitsCellId(0, 4)), "Auto");
    ASSERT_NE(CurrentAnalysis(), nullptr);
    EXPECT_GT(CurrentAnalysis()->engine.MatrixSize, 0);
    const std::string output = dir_.File("amp.TNO");
    EXPECT_EQ(CurrentAnalysis()->numericOutput.Path(), output);
    EXPECT_EQ(CheckFileExists(output.c_str()), 0);
    EXPECT_FALSE(CurrentAnalysis()->numericOutput.IsOpen());

    CloseAnalysis(doc);
    EXPECT_EQ(windows_.closed, 1);
    EXPECT_EQ(ActiveLimitsDialog(), nullptr);
    EXPECT_EQ(RunningAnalysisKind(), -1);
    EXPECT_EQ(RunState().activeAnalysis, -1);
    EXPECT_EQ(CurrentAnalysis(), nullptr);
    EXPECT_EQ(CurrentRunContext().circuitDocument, nullptr);
    EXPECT_NE(CheckFileExists(output.c_str()), 0);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(AnalysisStart, FailedStartsEndTheAnalysisAndReportWhy) {
    struct Case {
        const char* deck;
        int kind;
        int code;
        bool installWindows;
    } cases[] = {
        {"deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", 3, kMsgNoSineSource, true},
        {"deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", 0, kResultNotBuilt, false},
        {"deck\nV1 1 2 1\nR1 1 2 1K\n.END\n", 0, -1, true},
    };
    for (const Case& c : cases) {
        if (document_) {
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        shown_.clear();
        InstallAnalysisWindows(c.installWindows ? &windows_ : nullptr);
        CCTDoc* doc = Load(c.deck, true);
        const int rc = RunAnalysis(doc, c.kind);
        EXPECT_NE(rc, 0) << c.deck;
        if (c.code > 0)
            EXPECT_EQ(shown_, (std::vector<int>{c.code})) << c.deck << (texts_.empty() ? "" : texts_[0]);
        else
            EXPECT_FALSE(shown_.empty());
        EXPECT_EQ(RunningAnalysisKind(), -1);
        EXPECT_EQ(CurrentAnalysis(), nullptr);
        EXPECT_EQ(CurrentRunContext().circuitDocument, nullptr);
    }
}

TEST_F(AnalysisStart, AnAnalysisInPlaceOpensNoWindowAndSetsItsAnalysisValue) {
    CCTDoc* doc = Load("deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", false);
    AnalysisStartMode mode;
    mode.inPlace = true;
    ASSERT_EQ(RunAnalysis(doc, 0, mode), 0) << LastMessageText();
    EXPECT_EQ(RunVars.analysis, 5);
    EXPECT_TRUE(windows_.opened.empty());
    ExitAnalysis(doc, true);
    mode.transferFunction = true;
    ASSERT_EQ(RunAnalysis(doc, 1, mode), 0) << LastMessageText();
    EXPECT_EQ(RunVars.analysis, 6);
    EXPECT_EQ(CheckFileExists(dir_.File("amp.ANO").c_str()) == 0, false);
}

}  // namespace

namespace {

TEST_F(AnalysisStart, AMessageOfAnAnalysisWithoutNumericOutputCreatesTheFileWithItsHeader) {
    CCTDoc* doc = Load("deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", false);
    AnalysisKindSettings& tran = CircuitAnalysisSettings(doc)->kinds[0];
    tran.numOutWrite[kIncludeAnalysisLimits] = 1;
    SetString(&tran.numOutHeaders[1], "Amplifier");
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    const std::string output = dir_.File("amp.TNO");
    EXPECT_NE(CheckFileExists(output.c_str()), 0);
    ASSERT_TRUE(RouteMessageToNumericOutput("Warning:", "R1 is hot"));
    const std::string text = twtest::ReadWholeFile(output);
    EXPECT_EQ(text.rfind(std::string(80, '*') + "\r\n*** Amplifier", 0), 0u) << text;
    EXPECT_NE(text.find("\r\nLimits\r\n======\r\nTime Range           1u\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Warning: R1 is hot\r\n"), std::string::npos);
    ExitAnalysis(doc, false);
    EXPECT_EQ(CheckFileExists(output.c_str()), 0);
    EXPECT_FALSE(RouteMessageToNumericOutput("Warning:", "after the end"));
}

}  // namespace

namespace {

TEST_F(AnalysisStart, TheLimitsDialogStoresWhatIsTypedAndAddsAndDeletesRows) {
    CCTDoc* doc = Load("deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", false);
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    CAnalysisLimitsDlg* d = ActiveLimitsDialog();
    ASSERT_NE(d, nullptr);
    AnalysisKindSettings& tran = CircuitAnalysisSettings(doc)->kinds[0];
    const size_t rows = tran.curves.size();
    d->SetText(kIdLimitField + 0, "  5u ");
    d->SetText(LimitsCellId(0, 0), "12");
    d->SetText(LimitsCellId(0, 4), "10, 0 , 2,10");
    d->PressButton(platform::dlgid::Ok);
    EXPECT_STREQ(tran.limits[0], "5u");
    EXPECT_EQ(tran.curves[0]->plotGroup, '1');
    EXPECT_STREQ(tran.curves[0]->yRange, "10,0");
    EXPECT_STREQ(tran.curves[0]->gridY, "2");
    EXPECT_STREQ(tran.curves[0]->boldY, "10");
    EXPECT_EQ(d->GetText(LimitsCellId(0, 4)), "10,0,2,10");
    EXPECT_TRUE(d->Changed());

    d->PressButton(kIdLimitsAdd);
    ASSERT_EQ(tran.curves.size(), rows + 1);
    EXPECT_STREQ(tran.curves.back()->yRange, "Auto");
    while (tran.curves.size() > 1) d->PressButton(kIdLimitsDelete);
    d->PressButton(kIdLimitsDelete);
    EXPECT_EQ(tran.curves.size(), 1u);
    CloseAnalysis(doc);
    EXPECT_EQ(ActiveLimitsDialog(), nullptr);
}

TEST(RangeCells, ShowTheRangeWithItsGridSpacings) {
    EXPECT_EQ(RangeCellText("Auto", "", ""), "Auto");
    EXPECT_EQ(RangeCellText("10", "2", ""), "10,0,2");
    EXPECT_EQ(RangeCellText("10,1", "2", "5"), "10,1,2,5");
}

}  // namespace

namespace {

TEST_F(AnalysisStart, TheOperatingPointListsNodesAndInductorCurrentsOfTheSolution) {
    CCTDoc* doc = Load("deck\nV1 IN 0 1\nR1 IN OUT 1k\nL1 OUT 0 1m\n.END\n", false);
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    const CompiledCircuit* compiled = FindCompiledCircuit(doc);
    ASSERT_NE(compiled, nullptr);
    std::vector<double> solution(static_cast<size_t>(compiled->unknownCount) + 3);
    for (size_t i = 1; i < solution.size(); ++i) solution[i] = static_cast<double>(i);
    const OperatingPointData op = CollectOperatingPoint(doc, solution);
    ASSERT_EQ(op.nodeNames.size(), 2u);
    EXPECT_EQ(op.nodeVoltages, (std::vector<double>{1, 2}));
    EXPECT_TRUE((op.nodeNames == std::vector<std::string>{"IN", "OUT"}) ||
                (op.nodeNames == std::vector<std::string>{"OUT", "IN"}));
    ASSERT_EQ(op.inductorNames, (std::vector<std::string>{"L1"}));
    EXPECT_GT(op.inductorCurrents[0], 2);
}

}  // namespace

namespace {

TEST_F(AnalysisStart, CompileWarningsGoIntoTheNumericOutputAtTheStartAndTheUserIsTold) {
    CCTDoc* doc =
        Load("deck\nV1 IN 0 1\nR1 IN 0 1k\nD1 IN 0 DM\n.MODEL DM D (IS=1E-14 FOO=2)\n.OPTIONS BAR=1\n.END\n", true);
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    EXPECT_EQ(shown_, (std::vector<int>{kMsgCheckNumericOutput}));
    const std::string text = twtest::ReadWholeFile(dir_.File("amp.TNO"));
    EXPECT_NE(text.find("\r\nWarnings\r\n========\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Warning unknown parameter FOO in model DM.\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Warning unknown .options parameter BAR.\r\n"), std::string::npos) << text;
    EXPECT_NE(ActiveLimitsDialog(), nullptr);

    // A clean circuit says nothing.
    CloseAnalysis(doc);
    shown_.clear();
    ReleaseSpiceReader(document_.get());
    ReleaseDefineTable(document_.get());
    doc = Load("deck\nV1 IN 0 1\nR1 IN 0 1k\n.END\n", true);
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    EXPECT_TRUE(shown_.empty());
}

}  // namespace

namespace {

std::string PageText(CCTDoc* doc) {
    char* stored = CopyTextPageText(doc, 0);
    std::string text = stored ? stored : "";
    FreeString(&stored);
    return text;
}

// A SPICE text's statements are the stored form of its limits: only limits the
// user changed may rewrite them. A run alone leaves the text byte for byte and
// the document unmodified, whatever order and form the statements had.
TEST_F(AnalysisStart, ClosingAnAnalysisRewritesTheTextOnlyForChangedLimits) {
    const char* decks[] = {
        "deck\n.TEMP 27 85\nV1 IN 0 1\n.PRINT TRAN V(IN)\nR1 IN 0 1k\n.TRAN 1n 100n\n.END\n",
        "deck\r\n.tran 1n 100n\r\nV1 IN 0 1\r\nR1 IN 0 1k\r\n.PLOT TRAN V(IN) 0,5\r\n.END\r\n",
        "deck\nV1 IN 0 1\nR1 IN 0 1k\n.STEP V1 1 2 1\n.END",
    };
    for (const char* deck : decks) {
        for (int kind = 0; kind <= 2; ++kind) {
            if (document_) {
                ReleaseSpiceReader(document_.get());
                ReleaseDefineTable(document_.get());
            }
            CCTDoc* doc = Load(deck, false);
            ASSERT_EQ(RunAnalysis(doc, kind), 0) << deck << LastMessageText();
            ASSERT_NE(ActiveLimitsDialog(), nullptr);
            ActiveLimitsDialog()->PressButton(platform::dlgid::Ok);
            CloseAnalysis(doc);
            EXPECT_EQ(PageText(doc), deck) << kind;
            EXPECT_FALSE(doc->IsModified()) << deck << kind;
        }
    }
    // A changed limit writes the statements of the analysis again.
    CCTDoc* doc = document_.get();
    ASSERT_EQ(RunAnalysis(doc, 0), 0) << LastMessageText();
    ActiveLimitsDialog()->SetText(kIdLimitField + 0, "5u");
    ActiveLimitsDialog()->PressButton(platform::dlgid::Ok);
    CloseAnalysis(doc);
    EXPECT_NE(PageText(doc).find(".TRAN 100N 5u"), std::string::npos) << PageText(doc);
    EXPECT_TRUE(doc->IsModified());
}

}  // namespace
