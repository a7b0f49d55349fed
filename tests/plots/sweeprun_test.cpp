// AC and DC sweeps run through the 2D analysis document: the frequencies and
// sweep values land in the curves of the limits rows, the response matches
// the circuit, each run lists its curve table, and bad limits are refused
// with their field's message before any point is computed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
#include "core/properties.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "plots/g2ddoc.h"
#include "plots/plotwindows.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/plots/runfixture.h"
#include "tests/support/test_reporter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class SweepRun : public twtest::AnalysisRunTest {
protected:
    SweepRun() : AnalysisRunTest("tw_plots_sweep") {}
    // Opens the analysis of `kind` on the deck with one curve row (X, Y, both
    // axes linear, listed in the numeric output) in place of the defaults.
    CCTDoc* Open(const char* name, const char* deck, int kind, const char* x, const char* y) {
        CCTDoc* doc = Load(name, deck);
        EXPECT_EQ(RunAnalysis(doc, kind), 0);
        SetSingleCurveRow(doc, kind, x, y);
        return doc;
    }
    // The stored (X, Y) points of run `run` of the first curve.
    static std::vector<std::pair<double, double>> Points(CCTDoc* doc, int run) {
        CG2DDoc* plot = AnalysisDocumentOf(doc);
        const PlotCurve& c = plot->Curves.at(0);
        std::vector<std::pair<double, double>> points;
        for (int i = c.RunFirst.at(static_cast<size_t>(run)); i <= c.RunLast.at(static_cast<size_t>(run)); ++i)
            points.push_back({plot->GetValue(c.DataColumn[kSlotX], i), plot->GetValue(c.DataColumn[kSlotY], i)});
        return points;
    }
    static std::string Read(const std::string& path) { return twtest::ReadWholeFile(path); }
};

// R = 1k and C = 1 / (2 pi 1k 10 MHz): the corner lies at 10 MHz, which the
// Log sweep of 51 points from 1 MHz to 100 MHz meets at its 26th point.
TEST_F(SweepRun, AnAcLogSweepStoresItsFrequenciesAndTheResponse) {
    const double c = 1.0 / (2 * kPi * 1e3 * 1e7);
    char deck[128];
    std::snprintf(deck, sizeof deck, "rc\nV1 IN 0 DC 0 AC 1\nR1 IN OUT 1K\nC1 OUT 0 %.17g\n.END\n", c);
    CCTDoc* doc = Open("rc.ckt", deck, 1, "F", "MAG(V(OUT))");
    AnalysisKindSettings& limits = Limits(doc, 1);
    SetString(&limits.limits[0], "1E8,1Meg");
    SetString(&limits.limits[1], "51");
    limits.sweepType = 2;
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    EXPECT_TRUE(shown_.empty());

    const auto points = Points(doc, 0);
    ASSERT_EQ(points.size(), 51u);
    EXPECT_DOUBLE_EQ(points.front().first, 1e6);
    EXPECT_EQ(points.back().first, 1e8);
    const double corner = 1.0 / (2 * kPi * 1e3 * c);
    EXPECT_NEAR(points[25].first, corner, 1e-6 * corner);
    EXPECT_NEAR(points[25].second, 1 / std::sqrt(2.0), 1e-6);
    for (size_t k = 1; k < points.size(); ++k) {
        EXPECT_NEAR(points[k].first / points[k - 1].first, std::pow(100.0, 1.0 / 50), 1e-9);
        const double ratio = points[k].first / corner;
        EXPECT_NEAR(points[k].second, 1 / std::sqrt(1 + ratio * ratio), 1e-9) << points[k].first;
    }

    // The run's curve table is in the numeric output.
    const std::string output = Read(dir_.File("rc.ANO"));
    EXPECT_NE(output.find("MAG(V(OUT))"), std::string::npos) << output;

    // A second run on the same bias point sweeps again and stores the same.
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    EXPECT_FALSE(CurrentAnalysis()->acRun.OperatingPointSolved);
    EXPECT_EQ(Points(doc, 0), points);
}

// An Auto sweep adapts its step to the first curve (headless, to its axis
// ranges): it ends exactly on the high limit and never goes back.
TEST_F(SweepRun, AnAcAutoSweepFollowsTheFirstCurveToTheHighLimit) {
    CCTDoc* doc =
        Open("auto.ckt", "rc\nV1 IN 0 DC 0 AC 1\nR1 IN OUT 1K\nC1 OUT 0 15.9P\n.END\n", 1, "F", "MAG(V(OUT))");
    AnalysisKindSettings& limits = Limits(doc, 1);
    SetString(&limits.limits[0], "1E8,1Meg");
    limits.sweepType = 0;
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    const auto points = Points(doc, 0);
    ASSERT_GT(points.size(), 10u) << points.size();
    EXPECT_LT(points.size(), 2000u);
    EXPECT_DOUBLE_EQ(points.front().first, 1e6);
    EXPECT_EQ(points.back().first, 1e8);
    for (size_t k = 1; k < points.size(); ++k) EXPECT_GT(points[k].first, points[k - 1].first);
}

// The default range "10,0,.5" sweeps V1 from 0 to 10 in 21 points; a second
// variable makes one run per value, each with its own branch of the divider.
TEST_F(SweepRun, ADcSweepStoresEveryPointAndOneRunPerSecondValue) {
    CCTDoc* doc =
        Open("div.ckt", "div\nV1 IN 0 0\nV2 B 0 0\nR1 IN OUT 1K\nR2 OUT B 1K\n.END\n", 2, "DCINPUT1", "V(OUT)");
    AnalysisKindSettings& limits = Limits(doc, 2);
    SetString(&limits.limits[2], "10,0,.5");
    SetString(&limits.limits[3], "V1");
    limits.sweepType = 1;
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    auto points = Points(doc, 0);
    ASSERT_EQ(points.size(), 21u);
    for (size_t k = 0; k < points.size(); ++k) {
        EXPECT_NEAR(points[k].first, 0.5 * static_cast<double>(k), 1e-12);
        EXPECT_NEAR(points[k].second, points[k].first / 2, 1e-9);
    }
    EXPECT_NE(Read(dir_.File("div.DNO")).find("V(OUT)"), std::string::npos);

    SetString(&limits.limits[0], "2,0,1");
    SetString(&limits.limits[1], "V2");
    limits.sweep2Type = 1;
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    const CG2DDoc* plot = AnalysisDocumentOf(doc);
    ASSERT_EQ(plot->Runs.Count, 3);
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(plot->Runs.Records[static_cast<size_t>(run)].Sweep2Value, run);
        points = Points(doc, run);
        ASSERT_EQ(points.size(), 21u) << run;
        EXPECT_NEAR(points.back().second, (10.0 + run) / 2, 1e-9) << run;
    }
}

// A model parameter or the temperature as variable 1: every point sets the
// models up again from their statements with the swept value in place.
TEST_F(SweepRun, ADcSweepOfAModelParameterOrTheTemperatureSetsEveryPointUp) {
    struct Case {
        const char* name;
        const char* range;
        double first, last;  // V(OUT) at the ends
    } cases[] = {
        // R1 = 1k x R: the divider's output falls from 0.5 to 1/3.
        {"RES RM(R)", "2,1,.25", 0.5, 1.0 / 3},
        // R1 = 1k (1 + 0.01 (T - 27)): at 127 degrees it is 2k.
        {"TEMP", "127,27,25", 0.5, 1.0 / 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCTDoc* doc =
            Open("model.ckt", "model\nV1 IN 0 1\nR1 IN OUT 1K RM\nR2 OUT 0 1K\n.MODEL RM RES(R=1 TC1=0.01)\n.END\n", 2,
                 "DCINPUT1", "V(OUT)");
        AnalysisKindSettings& limits = Limits(doc, 2);
        SetString(&limits.limits[2], c.range);
        SetString(&limits.limits[3], c.name);
        limits.sweepType = 1;
        ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
        const auto points = Points(doc, 0);
        ASSERT_EQ(points.size(), 5u);
        EXPECT_NEAR(points.front().second, c.first, 1e-9);
        EXPECT_NEAR(points.back().second, c.last, 1e-9);
        ExitAnalysis(doc, true);
    }
}

// Limits that cannot be swept stop the analysis with their message before the
// first point; the curves go with it.
TEST_F(SweepRun, BadLimitsAreRefusedWithTheirMessage) {
    struct Case {
        const char* what;
        int kind;
        int field;
        const char* text;
        int method;
        int message;
    } cases[] = {
        {"a Log sweep from 0 Hz", 1, 0, "1E8,0", 2, 13577},
        {"a frequency list without a value", 1, 0, " ", 3, -1},
        {"a part that is not a source", 2, 3, "R1", 1, 13530},
        {"a symbolic parameter", 2, 3, "PARAM RV", 1, 13588},
        {"a Log sweep through 0", 2, 2, "10,0", 2, 13587},
        {"an unclosed model parameter", 2, 3, "D DX(IS", 1, 13582},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCTDoc* doc =
            Open("bad.ckt", "bad\nV1 IN 0 1 AC 1\nR1 IN 0 1K\n.END\n", c.kind, c.kind == 1 ? "F" : "DCINPUT1", "V(IN)");
        AnalysisKindSettings& limits = Limits(doc, c.kind);
        if (c.kind == 2) SetString(&limits.limits[3], "V1");
        SetString(&limits.limits[c.field], c.text);
        limits.sweepType = c.method;
        // A second Run shows the message again.
        for (int run = 0; run < 2; ++run) {
            shown_.clear();
            EXPECT_EQ(RunOpenAnalysis(doc), kResultShown);
            if (c.message > 0)
                EXPECT_EQ(shown_, std::vector<int>{c.message});
            else
                EXPECT_EQ(shown_.size(), 1u);
            EXPECT_EQ(AnalysisDocumentOf(doc)->Runs.Count, 0);
        }
        ExitAnalysis(doc, true);
    }
}

}  // namespace

namespace {

// A curve of ONOISE makes the AC run a noise run: a 1k/1k divider's output
// noise is the thermal noise of the two resistors in parallel. Noise cannot
// share a run with other curves, and its input must name a source.
TEST_F(SweepRun, NoiseCurvesMakeANoiseRunOfTheirOwn) {
    const char* deck = "divider\nV1 IN 0 DC 0 AC 1\nR1 IN OUT 1K\nR2 OUT 0 1K\n.END\n";
    CCTDoc* doc = Open("noise.ckt", deck, 1, "F", "ONOISE");
    AnalysisKindSettings& limits = Limits(doc, 1);
    SetString(&limits.limits[0], "1E4,1K");
    SetString(&limits.limits[1], "5");
    limits.sweepType = 2;
    SetString(&limits.limits[4], "V1");
    SetString(&limits.limits[5], "OUT");
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    EXPECT_TRUE(shown_.empty());
    const double expected = std::sqrt(4 * 1.3806226e-23 * 300.15 * 500.0);
    const auto points = Points(doc, 0);
    ASSERT_EQ(points.size(), 5u);
    for (const auto& point : points) EXPECT_NEAR(point.second, expected, 1e-3 * expected) << point.first;

    struct Case {
        const char* y;
        const char* input;
        const char* output;
        int message;
    } const cases[] = {
        {"ONOISE+V(OUT)", "V1", "OUT", 13575},
        {"ONOISE", "NONE", "OUT", 13530},
        {"ONOISE", "V1", "NOWHERE", 13561},
    };
    for (const Case& c : cases) {
        SetString(&limits.curves[0]->yExpression, c.y);
        SetString(&limits.limits[4], c.input);
        SetString(&limits.limits[5], c.output);
        shown_.clear();
        EXPECT_NE(RunOpenAnalysis(doc), 0) << c.y;
        EXPECT_NE(std::find(shown_.begin(), shown_.end(), c.message), shown_.end()) << c.y << " " << c.input;
    }
}

}  // namespace
