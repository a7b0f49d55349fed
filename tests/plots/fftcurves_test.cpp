// Fourier curves of a transient run through the 2D analysis document: the
// operand samples of the run are resampled over the FFT window and the
// curve's points replaced by the operator's results when the run ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
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
#include "expr/fft.h"
#include "expr/runstate.h"
#include "plots/g2ddoc.h"
#include "plots/plotwindows.h"
#include "tests/plots/runfixture.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// Four periods of a 2 V, 1 kHz sine over a resistor.
constexpr const char* kSineDeck = "sine\nV1 IN 0 SIN(0 2 1K)\nR1 IN 0 1K\n.TRAN 10U 4M 0 10U\n.END\n";

class FourierCurves : public twtest::AnalysisRunTest {
protected:
    FourierCurves() : AnalysisRunTest("tw_plots_fft") {}
    // The sine deck's transient with the curve rows (X, Y) plotted in groups 1, 2 ...
    CCTDoc* Open(const std::vector<std::pair<const char*, const char*>>& rows, const char* points) {
        CCTDoc* doc = Load("sine.ckt", kSineDeck);
        EXPECT_EQ(RunAnalysis(doc, 0), 0);
        SetCurveRows(doc, 0, rows);
        AnalysisKindSettings& limits = Limits(doc, 0);
        SetString(&limits.fft.min, "0");
        SetString(&limits.fft.max, "TMAX");
        SetString(&limits.fft.points, points);
        return doc;
    }
    // The stored points of curve `index` in its first run.
    static std::vector<std::pair<double, double>> Points(CCTDoc* doc, int index) {
        CG2DDoc* plot = AnalysisDocumentOf(doc);
        const PlotCurve& c = plot->Curves.at(static_cast<size_t>(index));
        std::vector<std::pair<double, double>> points;
        for (int i = c.RunFirst.at(0); i <= c.RunLast.at(0); ++i)
            points.push_back({plot->GetValue(c.DataColumn[kSlotX], i), plot->GetValue(c.DataColumn[kSlotY], i)});
        return points;
    }
};

TEST_F(FourierCurves, HarmonicsOfAVoltageReplaceTheRunsPoints) {
    CCTDoc* doc = Open({{"F", "HARM(V(IN))"}, {"T", "V(IN)"}, {"T", "2*RE(FFTS(V(IN)))+1"}}, "1024");
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    EXPECT_EQ(shown_, std::vector<int>());

    // 1024 bins, df = 1 / 4 ms: the sine's 2 V at bin 4.
    const auto harm = Points(doc, 0);
    ASSERT_EQ(harm.size(), 1024u);
    for (size_t k = 0; k < 12; ++k) {
        EXPECT_NEAR(harm[k].first, 250.0 * static_cast<double>(k), 1e-9) << k;
        EXPECT_NEAR(harm[k].second, k == 4 ? 2.0 : 0.0, 0.01) << k;
    }
    const PlotCurve& c = AnalysisDocumentOf(doc)->Curves[0];
    EXPECT_NEAR(c.DataMax[kAxisY], 2.0, 0.01);
    EXPECT_EQ(c.DataMin[kAxisX], 0.0);

    // The waveform keeps the run's own points from 0 to TMAX.
    const auto wave = Points(doc, 1);
    ASSERT_GT(wave.size(), 100u);
    EXPECT_NE(wave.size(), 1024u);
    EXPECT_EQ(wave.front().first, 0.0);
    EXPECT_NEAR(wave.back().first, 4e-3, 1e-12);

    // Arithmetic around an operator is applied to its result, plotted over
    // the time grid: the scaled sine term sits in the imaginary part, so the
    // real part is 1 everywhere but at the DC bin.
    const auto scaled = Points(doc, 2);
    ASSERT_EQ(scaled.size(), 1024u);
    EXPECT_NEAR(scaled[3].first, 3 * 4e-3 / 1024, 1e-15);
    EXPECT_NEAR(scaled[4].second, 1.0, 0.02);
}

TEST_F(FourierCurves, AWholeCurveNormalisationKeepsTheRunsOwnPoints) {
    CCTDoc* doc = Open({{"T", "NORMMAX(V(IN))"}, {"T", "V(IN)"}}, "1024");
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);
    const auto norm = Points(doc, 0);
    const auto wave = Points(doc, 1);
    ASSERT_EQ(norm.size(), wave.size());
    double peak = 0;
    for (const auto& p : wave) peak = std::max(peak, p.second);
    ASSERT_GT(peak, 1.9);
    for (size_t i = 0; i < wave.size(); ++i) {
        EXPECT_DOUBLE_EQ(norm[i].first, wave[i].first) << i;
        EXPECT_NEAR(norm[i].second, wave[i].second / peak, 1e-12) << i;
    }
}

TEST_F(FourierCurves, APointCountThatIsNoPowerOfTwoStopsTheRunWithItsMessage) {
    CCTDoc* doc = Open({{"F", "HARM(V(IN))"}}, "1000");
    EXPECT_EQ(RunOpenAnalysis(doc), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{kMsgFftPointCount});
}

}  // namespace
