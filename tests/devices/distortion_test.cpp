// Distortion runs: the set-up of the run length, FFT window and curve rows
// from the limit texts, the forcing of the input source, and the harmonic
// figures of a stage with a known polynomial transfer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "engine/distortion.h"
#include "engine/transient.h"
#include "tests/devices/deck_fixture.h"

namespace {

class WaveformHost : public TransientHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState& state, TransientRun&) override {
        times.push_back(state.Time);
        values.push_back(state.Solution[static_cast<size_t>(node)]);
        return 0;
    }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    bool Confirm(int, double) override { return true; }
    int32_t node = 0;
    std::vector<double> times, values;
    std::vector<int> errors;
};

class DistortionTest : public DeckOperatingPointFixture {
protected:
    AnalysisKindSettings& Kind() { return settings_.kinds[kDistortionKind]; }
    void SetField(int field, const char* text) { SetString(&Kind().limits[field], text); }
    std::string Field(int field) { return Kind().limits[field] ? Kind().limits[field] : ""; }
    static std::string Text(const char* text) { return text ? text : ""; }

    AnalysisSettings settings_;
};

TEST_F(DistortionTest, RunLengthAndFftWindowCoverWholePeriods) {
    struct Case {
        const char* fundamental;
        const char* cycles;
        double frequency;
        int32_t periods;
        const char* fftLow;
        bool changed;
    };
    const Case cases[] = {
        {"10kHz", "5", 1e4, 5, "0.0004", false}, {"10k", "2.7", 1e4, 2, "0.0001", false},  // the count is truncated
        {"", "3", 1e4, 3, "0.0002", true},                                                 // no fundamental: 10Khz
        {"0", "0.5", 1e4, 5, "0.0004", true},  // both replaced by their defaults
        {"1Meg", "bad(", 1e6, 5, "4e-06", true},
    };
    for (const Case& c : cases) {
        SetField(kDistFundamental, c.fundamental);
        SetField(kDistCycles, c.cycles);
        SetField(kDistOutput, "V(OUT)");
        DistortionRunPlan plan;
        ASSERT_EQ(SetUpDistortionRun(Kind(), true, plan), 0) << c.fundamental << " " << c.cycles;
        EXPECT_DOUBLE_EQ(plan.fundamental, c.frequency) << c.fundamental;
        EXPECT_EQ(plan.cycles, c.periods) << c.cycles;
        EXPECT_DOUBLE_EQ(plan.tmax, c.periods / c.frequency);
        EXPECT_DOUBLE_EQ(plan.fftLow, (c.periods - 1) / c.frequency);
        EXPECT_EQ(plan.fieldsChanged, c.changed);
        EXPECT_EQ(Text(Kind().fft.min), c.fftLow);
        EXPECT_EQ(Text(Kind().fft.max), "TMAX");
        EXPECT_EQ(Text(Kind().fft.points), "1024");
        if (c.changed && c.frequency == 1e4) {
            EXPECT_EQ(Field(kDistFundamental), "10Khz");
        }
        const TransientLimits limits = DistortionTransientLimits(plan);
        EXPECT_EQ(limits.tmin, 0.0);
        EXPECT_EQ(limits.tmax, plan.tmax);
        EXPECT_EQ(limits.points, 1024);
    }
    EXPECT_EQ(Field(kDistCycles), "5");
}

// Four rows: HARM, IHD and THD against F up to the tenth harmonic, and the
// waveform against T; the THD row is not drawn. Kept ranges stay unless the
// dialog asks for them anew.
TEST_F(DistortionTest, CurveRowsPlotTheHarmonicsOfTheOutput) {
    SetField(kDistFundamental, "1k");
    SetField(kDistCycles, "5");
    SetField(kDistOutput, "V(OUT)");
    DistortionRunPlan plan;
    ASSERT_EQ(SetUpDistortionRun(Kind(), true, plan), 0);
    ASSERT_EQ(Kind().curves.size(), 4u);
    const char* const ys[] = {"HARM(V(OUT))", "IHD(HARM(V(OUT)),1000)", "THD(HARM(V(OUT)),1000)", "V(OUT)"};
    const char* const xs[] = {"F", "F", "F", "T"};
    const char* const ranges[] = {"10000", "10000", "10000", "TMAX"};
    const char groups[] = {'1', '2', 0, '4'};
    for (size_t i = 0; i < 4; ++i) {
        const CurveRow& row = *Kind().curves[i];
        EXPECT_EQ(Text(row.yExpression), ys[i]);
        EXPECT_EQ(Text(row.xExpression), xs[i]);
        EXPECT_EQ(Text(row.xRange), ranges[i]);
        EXPECT_EQ(Text(row.yRange), "AUTO");
        EXPECT_EQ(row.plotGroup, groups[i]);
        EXPECT_EQ(row.options, 192);
    }
    SetString(&Kind().curves[0]->xRange, "5000");
    SetField(kDistFundamental, "2k");
    ASSERT_EQ(SetUpDistortionRun(Kind(), true, plan), 0);
    EXPECT_EQ(Text(Kind().curves[0]->xRange), "5000");
    EXPECT_EQ(Text(Kind().curves[1]->yExpression), "IHD(HARM(V(OUT)),2000)");
    ASSERT_EQ(SetUpDistortionRun(Kind(), false, plan), 0);
    EXPECT_EQ(Text(Kind().curves[0]->xRange), "20000");
    EXPECT_EQ(DistortionCaption(Kind(), 0), "Amplitude of V(OUT) vs Frequency");
    EXPECT_EQ(DistortionCaption(Kind(), 3), "Sampled Waveform  V(OUT) vs T");
}

// A SPICE sine source is forced to the fundamental (its offset, phase and
// damping cleared) and its amplitude stepped; other parts and bad amplitude
// texts leave the circuit as it was.
TEST_F(DistortionTest, InputSourceIsForcedToTheFundamental) {
    ASSERT_EQ(OperatingPoint("d\nV1 in 0 SIN(0.5 1 1k 0 1e3 30)\nR1 in 0 1k\n.end\n"), 0);
    SourceRecord* v1 = Records<SourceRecord>(kListSpiceSources).at(0);
    SetField(kDistFundamental, "10k");
    struct Case {
        const char* name;
        const char* amplitude;
        int32_t method;
        bool forced;
        int message;
    };
    const Case cases[] = {
        {"R1", "1", kDistAmplitudeList, false, 0},
        {"V1", "1,0.5,0", kDistAmplitudeLinear, false, kMsgDistortionIllegalStep},
        {"V1", "1,0.1,2", kDistAmplitudeLog, true, 0},
        {"v1", "0.1,0.2", kDistAmplitudeList, true, 0},
    };
    for (const Case& c : cases) {
        SetField(kDistInputSource, c.name);
        SetField(kDistAmplitude, c.amplitude);
        Kind().ampMethod = c.method;
        DistortionAmplitudeStep step;
        int message = -1;
        const int rc = SetUpDistortionInput(Kind(), *compiled_, step, message);
        EXPECT_EQ(rc, c.message ? kResultShown : kOk) << c.name << c.amplitude;
        EXPECT_EQ(message, c.message) << c.name << c.amplitude;
        EXPECT_EQ(step.enabled, c.forced) << c.name << c.amplitude;
        EXPECT_EQ(v1->values[2], c.forced ? 1e4 : 1e3) << c.name << c.amplitude;
        if (c.forced) {
            EXPECT_EQ(step.parameter, "sin.va");
            EXPECT_EQ(v1->values[0], 0.0);
            EXPECT_EQ(v1->values[4], 0.0);
            EXPECT_EQ(v1->values[5], 0.0);
            EXPECT_EQ(v1->values[1], 1.0);  // the stepping sets the amplitude
        }
    }
    EXPECT_TRUE(CircuitHasDistortionInputSource(*compiled_));
    EXPECT_FALSE(IsDistortionInputSource(*compiled_, "R1"));
}

// E1 = v + 0.5 v^2 + 0.2 v^3 driven by A sin: the fundamental A + 0.15 A^3,
// the second harmonic 0.25 A^2, the third 0.05 A^3; the source starts at 1
// kHz with an offset and is forced to the 10 kHz fundamental.
TEST_F(DistortionTest, PolynomialStageGivesItsHarmonicFigures) {
    ASSERT_EQ(OperatingPoint("poly\nV1 in 0 SIN(0.3 0.1 1k 0 0 45)\nE1 out 0 POLY(1) in 0 0 1 0.5 0.2\n"
                             "R1 out 0 1k\n.end\n"),
              0);
    SetField(kDistFundamental, "10k");
    SetField(kDistCycles, "5");
    SetField(kDistOutput, "V(OUT)");
    SetField(kDistInputSource, "V1");
    SetField(kDistAmplitude, "0.1");
    SetField(kDistMaxStep, "0.1u");
    Kind().ampMethod = kDistAmplitudeList;
    DistortionRunPlan plan;
    ASSERT_EQ(SetUpDistortionRun(Kind(), true, plan), 0);
    DistortionAmplitudeStep step;
    int message = 0;
    ASSERT_EQ(SetUpDistortionInput(Kind(), *compiled_, step, message), 0);
    ASSERT_TRUE(step.enabled);

    SetAnalysisKind(3);
    WaveformHost host;
    host.node = FindNodeNumber(document_.get(), "out", -1, -1);
    TransientRun run;
    ASSERT_EQ(RunTransient(state_, run, DistortionTransientLimits(plan), host), 0);
    EXPECT_NEAR(host.times.back(), 500e-6, 1e-12);
    const HarmonicFigures figures = ComputeHarmonicFigures(host.times, host.values, plan.fftLow, plan.tmax, 5);
    const double a = 0.1;
    const double h1 = a + 0.15 * a * a * a, h2 = 0.25 * a * a, h3 = 0.05 * a * a * a;
    EXPECT_NEAR(figures.amplitude[0], 0.25 * a * a, 1e-5);
    EXPECT_NEAR(figures.amplitude[1], h1, 1e-4 * h1);
    EXPECT_NEAR(figures.amplitude[2], h2, 1e-3 * h2);
    EXPECT_NEAR(figures.amplitude[3], h3, 2e-2 * h3);
    EXPECT_LT(figures.amplitude[4], 1e-3 * h3);
    EXPECT_NEAR(figures.individual[2], 100.0 * h2 / h1, 1e-3 * 100.0 * h2 / h1);
    const double thd = 100.0 * std::hypot(h2, h3) / h1;
    EXPECT_NEAR(figures.cumulative[3], thd, 1e-3 * thd);
    EXPECT_NEAR(figures.cumulative[5], figures.cumulative[3], 1e-3 * thd);
}

// Anti-parallel diodes clip a 2 V sine symmetrically: the odd harmonics
// carry the distortion, the even ones vanish.
TEST_F(DistortionTest, SymmetricClipperHasOnlyOddHarmonics) {
    ASSERT_EQ(OperatingPoint("clip\nV1 in 0 SIN(0 2 1k)\nR1 in out 1k\nD1 out 0 DM\nD2 0 out DM\n"
                             ".model DM D(IS=1e-14)\n.end\n"),
              0);
    SetField(kDistFundamental, "10k");
    SetField(kDistCycles, "3");
    SetField(kDistInputSource, "V1");
    SetField(kDistAmplitude, "2");
    SetField(kDistMaxStep, "0.1u");
    DistortionRunPlan plan;
    ASSERT_EQ(SetUpDistortionRun(Kind(), true, plan), 0);
    DistortionAmplitudeStep step;
    int message = 0;
    ASSERT_EQ(SetUpDistortionInput(Kind(), *compiled_, step, message), 0);
    SetAnalysisKind(3);
    WaveformHost host;
    host.node = FindNodeNumber(document_.get(), "out", -1, -1);
    TransientRun run;
    ASSERT_EQ(RunTransient(state_, run, DistortionTransientLimits(plan), host), 0);
    const HarmonicFigures figures = ComputeHarmonicFigures(host.times, host.values, plan.fftLow, plan.tmax, 5);
    EXPECT_LT(figures.amplitude[1], 1.0);  // clipped near a diode drop
    EXPECT_GT(figures.individual[3], 5.0);
    for (size_t even : {2u, 4u}) EXPECT_LT(figures.amplitude[even], 1e-2 * figures.amplitude[3]) << even;
    EXPECT_GT(figures.cumulative[5], figures.individual[3]);
}

}  // namespace
