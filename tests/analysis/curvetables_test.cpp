#include "analysis/curvetables.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "tests/support/tempdir.h"

namespace {

// Four stored points of a run: X 0..3 us, Y 0, 1, 2, 3 V.
class Ramp : public CurvePointSource {
public:
    double Value(int column, int index) override { return column == 0 ? index * 1e-6 : index; }
    std::string DigitalText(const NumericCurve&, double) override { return "1"; }
};

TEST(CurveTables, FftCurvesAreTheFftFamilyAgainstTheirKindsVariable) {
    const struct {
        const char* x;
        const char* y;
        int kind;
        bool fft;
    } cases[] = {
        {"F", "mag(FFT(v(1)))", 0, true}, {" f ", "IFT(v(1))", 0, true}, {"T", "FFT(v(1))", 0, false},
        {"T", "IFT(v(2))", 1, true},      {"F", "v(1)", 0, false},       {"F", "fftx(v(1))", 0, false},
        {"F", "HARM(v(1))", 2, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsFftCurve(c.x, c.y, c.kind), c.fft) << c.x << " " << c.y << " " << c.kind;
}

class CurveTableRuns : public ::testing::Test {
protected:
    void SetUp() override {
        document_ = MakeSpiceTextDocument(dir_.File("amp.ckt").c_str(), "deck\nR1 1 0 1\n.END\n");
        settings_ = EnsureAnalysisSettings(document_.get());
    }
    void TearDown() override { ReleaseDefineTable(document_.get()); }
    void Limit(int kind, int field, const char* text) { SetString(&settings_->kinds[kind].limits[field], text); }

    twtest::TempDir dir_{"tw_curve_tables"};
    std::unique_ptr<CCTDoc> document_;
    AnalysisSettings* settings_ = nullptr;
};

TEST_F(CurveTableRuns, TheXRangeOfEachKind) {
    Limit(0, 0, "3u,1u");
    Limit(1, 0, "1Meg,1k");
    Limit(2, 2, "10,-2,0.5");
    const struct {
        int kind;
        int sweepType;
        double start, end;
    } cases[] = {{0, 0, 1e-6, 3e-6}, {1, 0, 1e3, 1e6}, {2, 0, -2, 10}};
    for (const auto& c : cases) {
        settings_->kinds[c.kind].sweepType = c.sweepType;
        AnalysisXRange range;
        ASSERT_EQ(GetAnalysisXRange(document_.get(), c.kind, &range), 0) << c.kind;
        EXPECT_DOUBLE_EQ(range.start, c.start) << c.kind;
        EXPECT_DOUBLE_EQ(range.end, c.end) << c.kind;
    }
    // A frequency list gives its lowest and highest entries.
    settings_->kinds[1].sweepType = 3;
    Limit(1, 0, "5k,100,2Meg,7k");
    AnalysisXRange range;
    ASSERT_EQ(GetAnalysisXRange(document_.get(), 1, &range), 0);
    EXPECT_DOUBLE_EQ(range.start, 100);
    EXPECT_DOUBLE_EQ(range.end, 2e6);
}

TEST_F(CurveTableRuns, TheTablesFollowTheKindsSwitches) {
    Limit(0, 0, "3u");
    AnalysisKindSettings& tran = settings_->kinds[0];
    OpenAnalysis analysis(document_.get(), 0);
    NumericOutput& out = analysis.numericOutput;
    out.SetPath(dir_.File("amp.TNO"));
    out.settings = &tran;
    std::vector<NumericCurve> curves(1);
    curves[0].xExpression = "T";
    curves[0].yExpression = "v(1)";
    curves[0].yColumn = 1;
    curves[0].lastIndex = 3;
    curves[0].scaleFactorX = curves[0].scaleFactorY = "None";
    ChooseCurvePrintColumns(curves);
    Ramp ramp;
    const struct {
        bool numeric, waveforms, inPlace;
        bool written;
    } cases[] = {
        {true, true, false, true}, {false, true, false, false}, {true, false, false, false}, {true, true, true, false}};
    for (const auto& c : cases) {
        tran.numOutWrite[kIncludeNumericOutput] = c.numeric;
        tran.numOutWrite[kIncludeWaveformValues] = c.waveforms;
        analysis.mode.inPlace = c.inPlace;
        ASSERT_EQ(out.Begin(true), 0);
        out.curveOutputWanted = true;
        EXPECT_EQ(WriteCurveNumericOutput(analysis, ramp, curves, 4), 0);
        out.Close();
        const std::string text = twtest::ReadWholeFile(dir_.File("amp.TNO"));
        // Four rows sampled at 0, 1, 2 and 3 us: the ramp's own values.
        EXPECT_EQ(text.find("3.000") != std::string::npos, c.written) << text;
    }
}

}  // namespace
