// The distortion analysis through the 2D analysis document: a sine input into
// a square-law stage runs five periods of the fundamental, and the last
// period's harmonics land in the harmonic rows; decks and limits that cannot
// make a distortion run are refused with their message before any point.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/distortion.h"
#include "expr/runstate.h"
#include "plots/g2ddoc.h"
#include "plots/labels.h"
#include "plots/plotwindows.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/plots/runfixture.h"
#include "tests/support/test_reporter.h"

namespace {

// OUT = IN + 0.1 IN^2 with IN = sin(wt): 0.05 DC, 1 at F and 0.05 at 2F.
constexpr const char* kSquareLaw = "square law\nV1 IN 0 SIN(0 1 10K)\nE1 OUT 0 POLY(1) IN 0 0 1 0.1\n.END\n";

class DistortionRun : public twtest::AnalysisRunTest {
protected:
    DistortionRun() : AnalysisRunTest("tw_plots_distortion") {}
    // Opens the distortion analysis of the deck; `start` is what the start answers.
    CCTDoc* Open(const char* name, const char* deck, int start = 0) {
        CCTDoc* doc = Load(name, deck);
        EXPECT_EQ(RunAnalysis(doc, kDistortionKind), start);
        return doc;
    }
    static AnalysisKindSettings& Limits(CCTDoc* doc) { return AnalysisRunTest::Limits(doc, kDistortionKind); }
    static void SetLimits(CCTDoc* doc, const char* amplitude) {
        AnalysisKindSettings& limits = Limits(doc);
        const char* texts[kDistFieldCount] = {"10K", "V1", amplitude, "V(OUT)", "27", "5", "0.1u"};
        for (int i = 0; i < kDistFieldCount; ++i) SetString(&limits.limits[i], texts[i]);
    }
    // The stored (X, Y) points of the first run of the curve of limits row `row`.
    static std::vector<std::pair<double, double>> Points(CCTDoc* doc, int row) {
        CG2DDoc* plot = AnalysisDocumentOf(doc);
        std::vector<std::pair<double, double>> points;
        for (const PlotCurve& c : plot->Curves) {
            if (c.RowIndex != row) continue;
            for (int i = c.RunFirst.at(0); i <= c.RunLast.at(0); ++i)
                points.push_back({plot->GetValue(c.DataColumn[kSlotX], i), plot->GetValue(c.DataColumn[kSlotY], i)});
        }
        return points;
    }
};

TEST_F(DistortionRun, FivePeriodsOfASquareLawGiveItsSecondHarmonic) {
    CCTDoc* doc = Open("square.ckt", kSquareLaw);
    SetLimits(doc, "1");
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    EXPECT_EQ(shown_, std::vector<int>());
    EXPECT_DOUBLE_EQ(RunVars.tmax, 500e-6);

    // The waveform row holds the whole run, from 0 to TMAX.
    const auto wave = Points(doc, 3);
    ASSERT_GT(wave.size(), 100u);
    EXPECT_EQ(wave.front().first, 0.0);
    EXPECT_NEAR(wave.back().first, 500e-6, 1e-15);

    const HarmonicFigures& figures = AnalysisDocumentOf(doc)->DistortionFigures;
    ASSERT_EQ(figures.amplitude.size(), 11u);
    EXPECT_NEAR(figures.amplitude[0], 0.05, 1e-3);
    EXPECT_NEAR(figures.amplitude[1], 1.0, 1e-3);
    EXPECT_NEAR(figures.amplitude[2], 0.05, 1e-3);
    EXPECT_NEAR(figures.individual[2], 5.0, 0.05);
    EXPECT_NEAR(figures.cumulative[10], 5.0, 0.05);
    for (int h = 3; h <= 10; ++h) EXPECT_LT(figures.amplitude[static_cast<size_t>(h)], 1e-3) << h;

    // Each plotted row is captioned once, also after a second run.
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    std::vector<std::string> captions;
    for (const auto& object : AnalysisDocumentOf(doc)->Objects)
        if (object->type == kPlotLabelObject && object->text) captions.push_back(object->text);
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Amplitude of V(OUT) vs Frequency", "Percent Distortion of V(OUT) vs Frequency",
                                        "Sampled Waveform  V(OUT) vs T"}));

    // The plotted harmonic rows are the Fourier curves of the last period:
    // 1024 bins by the fundamental, each harmonic at its frequency; the
    // cumulative row has no plot and no curve.
    EXPECT_TRUE(Points(doc, 2).empty());
    const auto amplitude = Points(doc, 0);
    const auto individual = Points(doc, 1);
    ASSERT_EQ(amplitude.size(), 1024u);
    ASSERT_EQ(individual.size(), 1024u);
    for (size_t h = 0; h <= 10; ++h) {
        EXPECT_NEAR(amplitude[h].first, 1e4 * static_cast<double>(h), 1e-6) << h;
        EXPECT_NEAR(individual[h].first, 1e4 * static_cast<double>(h), 1e-6) << h;
        EXPECT_NEAR(amplitude[h].second, figures.amplitude[h], 1e-3) << h;
        // Distortion is counted above the fundamental only.
        if (h >= 2) {
            EXPECT_NEAR(individual[h].second, figures.individual[h], 0.05) << h;
        }
    }
    EXPECT_NEAR(amplitude[2].second, 0.05, 1e-3);
    EXPECT_NEAR(individual[2].second, 5.0, 0.05);
    EXPECT_EQ(individual[1].second, 0.0);
}

TEST_F(DistortionRun, RefusesWhatCannotMakeADistortionRun) {
    // Without a sine source the analysis does not start.
    Open("dc.ckt", "no sine\nV1 IN 0 DC 1\nR1 IN 0 1K\n.END\n", kMsgNoSineSource);
    EXPECT_EQ(shown_, std::vector<int>{kMsgNoSineSource});

    // A linear amplitude sweep with a zero step never ends: refused against
    // its field before any point.
    shown_.clear();
    CCTDoc* doc = Open("square.ckt", kSquareLaw);
    SetLimits(doc, "2,1,0");
    Limits(doc).ampMethod = kDistAmplitudeLinear;
    EXPECT_EQ(RunOpenAnalysis(doc), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{kMsgDistortionIllegalStep});
    EXPECT_TRUE(Points(doc, 3).empty());
}

}  // namespace
