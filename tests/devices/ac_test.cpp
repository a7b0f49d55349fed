// AC runs of whole decks with the real device loads: filter responses against
// their closed forms, transistor stages against the gain their own operating
// point predicts, and the run's handling of bad ranges, singular matrices and
// bias points that never converge.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "devices/acloads.h"
#include "engine/acrun.h"
#include "tests/devices/deck_fixture.h"

namespace {

using Complex = std::complex<double>;

class RecordingAcHost : public AcHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int PrepareRun(SimulatorState&, AcRun&, double temperature, int32_t) override {
        ++runs;
        if (!setup) return 0;
        if (int rc = SetupModelsAtTemperature(*setup, temperature)) return rc;
        return SetupInstancesAtTemperature(*setup, temperature);
    }
    int AcceptAcPoint(SimulatorState& state, AcRun& run) override {
        frequencies.push_back(run.Frequency);
        points.push_back(state.AcSolution);
        return 0;
    }
    bool StepControlPoint(const AcRun&, double&, double&, double&, bool&) override { return false; }
    bool WantsDeviceResults(const SimulatorState&) override { return results; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }

    TemperatureSetup* setup = nullptr;
    bool results = false;
    int runs = 0;
    std::vector<double> frequencies;
    std::vector<std::vector<ComplexNumber>> points;
    std::vector<int> errors;
};

class AcRunTest : public DeckOperatingPointFixture {
protected:
    void SetUp() override {
        DeckOperatingPointFixture::SetUp();
        SetAnalysisKind(1);
    }
    // Compiles the deck and runs the AC analysis with `limits`.
    int Run(const std::string& deck, const AcLimits& limits) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return -1;
        setup_ = MakeTemperatureSetup(document_.get());
        host_.setup = &setup_;
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        return RunAc(state_, run_, limits, host_);
    }
    static AcLimits Sweep(int kind, double high, double low, int points) {
        AcLimits limits;
        limits.stepKind = kind;
        limits.high = high;
        limits.low = low;
        limits.points = points;
        return limits;
    }
    int Node(const char* name) { return FindNodeNumber(document_.get(), name, -1, -1); }
    Complex At(size_t point, const char* node) {
        const int n = Node(node);
        EXPECT_GT(n, 0) << node;
        const ComplexNumber v = host_.points.at(point)[static_cast<size_t>(n)];
        return Complex(v.re, v.im);
    }
    static double Db(Complex v) { return 20.0 * std::log10(std::abs(v)); }
    static double Degrees(Complex v) { return std::arg(v) * 180.0 / M_PI; }

    TemperatureSetup setup_;
    RecordingAcHost host_;
    AcRun run_;
};

// R = 1k, C = 1u: the corner lies at 159.155 Hz.
const char* const kRcDeck =
    "rc low-pass\n"
    "V1 in 0 DC 0 AC 1\n"
    "R1 in out 1k\n"
    "C1 out 0 1u\n"
    ".end\n";

TEST_F(AcRunTest, RcLowPassCornerAndRollOff) {
    const double corner = 1.0 / (2.0 * M_PI * 1e3 * 1e-6);
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {100.0 * corner, corner, 10.0 * corner};
    ASSERT_EQ(Run(kRcDeck, limits), 0);
    ASSERT_EQ(host_.frequencies.size(), 3u);
    EXPECT_NEAR(host_.frequencies[0], corner, 1e-9);
    EXPECT_NEAR(Db(At(0, "out")), -3.0103, 1e-3);
    EXPECT_NEAR(Degrees(At(0, "out")), -45.0, 1e-6);
    // Above the corner the closed form, and so close to 20 dB per decade.
    for (size_t k : {1u, 2u}) {
        const double ratio = host_.frequencies[k] / corner;
        EXPECT_NEAR(Db(At(k, "out")), -10.0 * std::log10(1.0 + ratio * ratio), 1e-9);
    }
    EXPECT_NEAR(Db(At(1, "out")) - Db(At(2, "out")), 20.0, 0.05);
}

// A parallel RLC driven by a current: the voltage peaks at R where the
// inductor and the capacitor cancel.
TEST_F(AcRunTest, LcTankPeaksAtResonance) {
    const double resonance = 1.0 / (2.0 * M_PI * std::sqrt(1e-3 * 1e-6));
    AcLimits limits = Sweep(kAcStepLog, 4.0 * resonance, 0.25 * resonance, 41);
    ASSERT_EQ(Run("tank\nI1 0 t DC 0 AC 1\nR1 t 0 10k\nL1 t 0 1m\nC1 t 0 1u\n.end\n", limits), 0);
    ASSERT_EQ(host_.frequencies.size(), 41u);
    size_t peak = 0;
    for (size_t k = 1; k < host_.frequencies.size(); ++k)
        if (std::abs(At(k, "t")) > std::abs(At(peak, "t"))) peak = k;
    // The grid is symmetric in log f about the resonance, whose point is the middle one.
    EXPECT_EQ(peak, 20u);
    EXPECT_NEAR(host_.frequencies[peak], resonance, 1e-6 * resonance);
    EXPECT_NEAR(std::abs(At(peak, "t")), 1e4, 1e-3);
    EXPECT_NEAR(Degrees(At(peak, "t")), 0.0, 1e-3);
    EXPECT_LT(std::abs(At(0, "t")), 0.05 * 1e4);
    EXPECT_LT(std::abs(At(40, "t")), 0.05 * 1e4);
}

// The mid-band gain of a common-emitter stage is what its operating point
// predicts, -(gm - gmu) / (1/Rc + go + gmu); the same deck gives -156.467 at
// 1 kHz in an independent simulator.
TEST_F(AcRunTest, CommonEmitterGainFollowsItsOperatingPoint) {
    const std::string deck =
        "ce stage\nVCC vcc 0 DC 12\nV1 b 0 DC 0.65 AC 1\nRC vcc c 4.7k\nQ1 c b 0 QN\n"
        ".model QN NPN(IS=1e-14 BF=120 VAF=60 CJE=2p CJC=1p TF=0.3n)\n.end\n";
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3, 1e7};
    ASSERT_EQ(Run(deck, limits), 0);
    const auto q = Records<BipolarRecord>(kListBipolars);
    ASSERT_EQ(q.size(), 1u);
    const double predicted = -(q[0]->gm - q[0]->gmu) / (1.0 / 4.7e3 + q[0]->go + q[0]->gmu);
    const Complex gain = At(0, "c");
    EXPECT_NEAR(gain.real(), predicted, 1e-4 * std::fabs(predicted));
    EXPECT_NEAR(gain.real(), -156.467, 1e-3 * 156.467);
    // At 10 MHz the junction capacitances turn the phase (independent simulator: 172.65 degrees).
    EXPECT_NEAR(Degrees(At(1, "c")), 172.65, 0.2);
}

// A LEVEL 1 common-source stage: -gm / (1/Rd + gds) (independent simulator: -6.26532).
TEST_F(AcRunTest, CommonSourceGainFollowsItsOperatingPoint) {
    const std::string deck =
        "cs stage\nVDD vdd 0 DC 10\nV1 g 0 DC 2 AC 1\nRD vdd d 10k\nM1 d g 0 0 NM L=2u W=20u\n"
        ".model NM NMOS(LEVEL=1 VTO=0.8 KP=50u LAMBDA=0.02 CGSO=1n CGDO=1n CBD=10f CBS=10f)\n.end\n";
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3, 1e7};
    ASSERT_EQ(Run(deck, limits), 0);
    const auto m = Records<MosfetRecord>(kListMosfets);
    ASSERT_EQ(m.size(), 1u);
    const double predicted = -m[0]->gm / (1.0 / 1e4 + m[0]->gds);
    const Complex gain = At(0, "d");
    EXPECT_NEAR(gain.real(), predicted, 1e-4 * std::fabs(predicted));
    EXPECT_NEAR(gain.real(), -6.26532, 1e-3 * 6.26532);
    // The gate-drain overlap feeds forward at 10 MHz (independent simulator: 0.09777 imaginary).
    EXPECT_NEAR(At(1, "d").imag(), 0.09777152, 1e-3 * 0.09777);
}

}  // namespace
