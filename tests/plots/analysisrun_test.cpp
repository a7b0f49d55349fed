// A transient analysis run through the 2D analysis document: its accepted
// points land in the curves of the limits rows, its numeric output gets the
// curve table, its fitted ranges follow the data, and the analysis closes
// cleanly so that another circuit's analysis opens after it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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
#include "plots/g2ddoc.h"
#include "plots/plotwindows.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// A 1 V step into R1 C1 (1 ms): v(out) = 1 - exp(-t / 1ms) after the step.
const char* const kRcDeck =
    "RC step\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN OUT 1K\nC1 OUT 0 1U\n"
    ".TRAN 0.1M 5M\n.PRINT TRAN V(OUT)\n.END\n";

class AnalysisRun : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        InstallPlotWindows();
    }
    void TearDown() override {
        for (auto& document : documents_) Release(document.get());
        documents_.clear();
        InstallAnalysisWindows(nullptr);
        InstallAnalysisDocuments(nullptr);
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        library_.reset();
    }
    void Release(CCTDoc* document) {
        ExitAnalysis(document, true);
        ReleaseSpiceReader(document);
        ReleaseDefineTable(document);
    }
    CCTDoc* Load(const char* name, const char* text) {
        documents_.push_back(MakeSpiceTextDocument(dir_.File(name).c_str(), text));
        return documents_.back().get();
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    twtest::TempDir dir_{"tw_plots_run"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    std::vector<std::unique_ptr<CCTDoc>> documents_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code());
        return 0;
    }};
};

TEST_F(AnalysisRun, ATransientStoresItsPointsWritesItsTableAndClosesForTheNextCircuit) {
    CCTDoc* rc = Load("rc.ckt", kRcDeck);
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    ASSERT_EQ(RunOpenAnalysis(rc), 0) << (shown_.empty() ? 0 : shown_[0]);
    EXPECT_TRUE(shown_.empty());

    CG2DDoc* plot = AnalysisDocumentOf(rc);
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(CurrentRunContext().analysisDocument, plot);
    ASSERT_GE(plot->CurveCount(), 1);
    const PlotCurve& out = plot->Curves[0];
    EXPECT_EQ(out.ExprText[kAxisY], "V(OUT)");
    EXPECT_EQ(out.UseFlags, kCurveDrawn | kCurveListed);
    ASSERT_EQ(plot->Runs.Count, 1);
    const int first = out.RunFirst[0], last = out.RunLast[0];
    ASSERT_GT(last - first, 20);
    int checked = 0;
    for (int i = first; i <= last; ++i) {
        const double t = plot->GetValue(out.DataColumn[kSlotX], i);
        const double v = plot->GetValue(out.DataColumn[kSlotY], i);
        EXPECT_NEAR(v, 1 - std::exp(-t / 1e-3), 5e-3) << "t=" << t;
        checked += t > 0.5e-3;
    }
    EXPECT_GT(checked, 10);
    EXPECT_NEAR(plot->GetValue(out.DataColumn[kSlotX], last), 5e-3, 1e-12);

    // The fitted Y range follows the data; X spans the run.
    EXPECT_EQ(out.AutoRange[kAxisY], kRangeFitRun);
    EXPECT_NEAR(out.RangeLow[kAxisY], 0, 1e-6);
    EXPECT_NEAR(out.RangeHigh[kAxisY], 1 - std::exp(-5.0), 5e-3);
    EXPECT_NEAR(out.RangeHigh[kAxisX], 5e-3, 1e-12);

    // The numeric output carries the table of the printed curve: a heading and
    // one row per point of the limits.
    const std::string output = Read(dir_.File("rc.TNO"));
    const size_t heading = output.find("V(OUT)");
    ASSERT_NE(heading, std::string::npos) << output;
    std::istringstream rows(output.substr(heading));
    std::string line;
    std::vector<std::pair<double, double>> table;
    while (std::getline(rows, line)) {
        double t = 0, v = 0;
        char suffixT = 0;
        if (std::sscanf(line.c_str(), " %lf%c %lf", &t, &suffixT, &v) == 3) table.push_back({t, v});
    }
    EXPECT_GE(table.size(), 40u) << output;

    CloseAnalysis(rc);
    EXPECT_EQ(CurrentAnalysis(), nullptr);
    EXPECT_EQ(plot->CurveCount(), 0);

    // Another circuit's analysis opens and runs after it.
    CCTDoc* divider = Load("divider.ckt", "divider\nV1 A 0 2\nR1 A B 1K\nR2 B 0 1K\n.TRAN 1U 10U\n.END\n");
    ASSERT_EQ(RunAnalysis(divider, 0), 0);
    ASSERT_EQ(RunOpenAnalysis(divider), 0);
    CG2DDoc* second = AnalysisDocumentOf(divider);
    ASSERT_NE(second, plot);
    ASSERT_GE(second->CurveCount(), 1);
    const PlotCurve& b = second->Curves[0];
    ASSERT_TRUE(b.HasPoint());
    EXPECT_NEAR(second->GetValue(b.DataColumn[kSlotY], b.PointIndex),
                second->Curves[0].ExprText[kAxisY] == "v(A)" ? 2 : 1, 1e-9);
    CloseAnalysis(divider);
    EXPECT_TRUE(shown_.empty());
}

}  // namespace
