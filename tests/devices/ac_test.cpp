// AC runs of whole decks with the real device loads: filter responses against
// their closed forms, transistor stages against the gain their own operating
// point predicts, and the run's handling of bad ranges, singular matrices and
// bias points that never converge.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "compiler/devexpr.h"
#include "core/result.h"
#include "devices/acloads.h"
#include "engine/acrun.h"
#include "shell/preferences.h"
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
    // A flat step-control curve when asked for: every point at the same height.
    bool StepControlPoint(const AcRun& run, double& x, double& y, double& height, bool& outside) override {
        x = run.Frequency * 1e-3;
        y = 50.0;
        height = 100.0;
        outside = false;
        return flatCurve;
    }
    bool WantsDeviceResults(const SimulatorState&) override { return results; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }

    TemperatureSetup* setup = nullptr;
    bool results = false;
    bool flatCurve = false;
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
    // Compiles the deck and attaches the state: false when it did not compile.
    bool Compile(const std::string& deck) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return false;
        setup_ = MakeTemperatureSetup(document_.get());
        host_.setup = &setup_;
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        return true;
    }
    // Compiles the deck and runs the AC analysis with `limits`.
    int Run(const std::string& deck, const AcLimits& limits) {
        if (!Compile(deck)) return -1;
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

// An Auto sweep over a flat curve doubles its step after every accepted
// point (from the second on) and lands its last point on the high limit.
TEST_F(AcRunTest, AutoSweepDoublesItsStepOverAFlatCurve) {
    host_.flatCurve = true;
    AcLimits limits = Sweep(kAcStepAuto, 1e5, 1e3, 51);
    ASSERT_EQ(Run(kRcDeck, limits), 0);
    // The first step is the smaller of 5 % of the range and a tenth of the low limit.
    const std::vector<double> first(host_.frequencies.begin(), host_.frequencies.begin() + 5);
    EXPECT_EQ(first, (std::vector<double>{1000.0, 1100.0, 1300.0, 1700.0, 2500.0}));
    EXPECT_EQ(host_.frequencies.back(), 1e5);
    EXPECT_EQ(host_.frequencies.size(), 11u);
}

// A kind of the AC order without AC loads fails the run loudly instead of
// dropping out of the small-signal circuit.
TEST_F(AcRunTest, AKindWithoutAcLoadsFailsTheRun) {
    InstallAcKindLoads(kRowDiodes, nullptr);
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3};
    const int result = Run("d\nV1 in 0 DC 5 AC 1\nR1 in a 1k\nD1 a 0 DM\n.model DM D(IS=1e-14)\n.end\n", limits);
    InstallAcKindLoads(kRowDiodes, &DiodeAcLoads());
    EXPECT_EQ(result, kResultNotBuilt);
    EXPECT_TRUE(host_.points.empty());
}

// A capacitor with an AC value expression takes its value at every point and
// makes the point solve again until two solutions agree: a value that does
// not depend on the solution settles after the second solve.
TEST_F(AcRunTest, AcValueExpressionReplacesTheValueAndIterates) {
    const double corner = 1.0 / (2.0 * M_PI * 1e3 * 2e-6);
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {corner, 3.0 * corner};
    ASSERT_TRUE(Compile("rc\nV1 in 0 DC 0 AC 1\nR1 in out 1k\nC1 out 0 1u\n.end\n"));
    CapacitorRecord* c = Records<CapacitorRecord>(kListCapacitors).at(0);
    c->frequency.pendingText = "2u";
    int status = 0;
    CompileDeviceExpression(document_.get(), &c->frequency, 0, nullptr, &status, nullptr, 2);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(RunAc(state_, run_, limits, host_), 0);
    ASSERT_EQ(host_.points.size(), 2u);
    EXPECT_NEAR(Db(At(0, "out")), -3.0103, 1e-3);
    EXPECT_EQ(run_.Solves, 4);
}

// In noise mode the transposed system is excited at the output node: for
// the reciprocal RC the solution there is minus the output impedance, the
// ordinary excitation is kept aside, and the input source sets the scale.
TEST_F(AcRunTest, NoiseModeSolvesTheTransposedSystemFromTheOutput) {
    ASSERT_TRUE(Compile(kRcDeck));
    const int out = Node("out"), in = Node("in");
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3};
    limits.noise = true;
    limits.noiseOutput1 = out;
    limits.noiseInput1 = in;
    ASSERT_EQ(RunAc(state_, run_, limits, host_), 0);
    const Complex z = 1.0 / (1.0 / 1e3 + Complex(0.0, 2.0 * M_PI * 1e3 * 1e-6));
    EXPECT_LT(std::abs(At(0, "out") + z), 1e-9 * std::abs(z));
    EXPECT_EQ(run_.NoiseInputScale, 1.0);
    double excitation = 0.0;
    for (double x : run_.Excitation) excitation += std::fabs(x);
    EXPECT_EQ(excitation, 1.0);
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

// Transistor and diode stages whose capacitances, series resistances and
// excess phase all matter at the frequencies checked, against the values an
// independent simulator gives for the same decks (within 0.1 %).
TEST_F(AcRunTest, SemiconductorStagesAgreeWithAnIndependentSimulator) {
    struct Case {
        const char* deck;
        const char* node;
        double frequency;
        Complex expected;
    };
    const Case cases[] = {
        {"bjt\nVCC vcc 0 DC 12\nV1 in 0 DC 1.0 AC 1\nRS in b 100\nRC vcc c 2k\nQ1 c b e 0 QN\nRE e 0 100\n"
         ".model QN NPN(IS=1e-14 BF=120 VAF=60 RB=50 RBM=10 IRB=1m RC=5 RE=1 CJE=2p CJC=1p CJS=1p TF=0.3n XTF=2 "
         "VTF=3 ITF=10m VAR=20 PTF=20 XCJC=0.5)\n.end\n",
         "c", 1e8, Complex(0.2929085, 5.795895)},
        {"bjt\nVCC vcc 0 DC 12\nV1 in 0 DC 1.0 AC 1\nRS in b 100\nRC vcc c 2k\nQ1 c b e 0 QN\nRE e 0 100\n"
         ".model QN NPN(IS=1e-14 BF=120 VAF=60 RB=50 RBM=10 IRB=1m RC=5 RE=1 CJE=2p CJC=1p CJS=1p TF=0.3n XTF=2 "
         "VTF=3 ITF=10m VAR=20 PTF=20 XCJC=0.5)\n.end\n",
         "c", 1e7, Complex(-16.2790, 5.282082)},
        {"jfet\nVDD dd 0 DC 10\nV1 g 0 DC -0.5 AC 1\nRD dd d 2k\nJ1 d g 0 JM\n"
         ".model JM NJF(VTO=-2 BETA=1m LAMBDA=0.01 RD=10 RS=10 CGS=2p CGD=1p)\n.end\n",
         "d", 1e7, Complex(-5.77455, 0.3184129)},
        {"diode\nV2 in 0 DC 2 AC 1\nR1 in a 1k\nD1 a 0 DM\n.model DM D(IS=1e-14 RS=5 CJO=20p TT=10n)\n.end\n", "a", 1e7,
         Complex(0.01817538, -0.00865658)},
    };
    for (const Case& c : cases) {
        Restart();
        SetAnalysisKind(1);
        host_ = RecordingAcHost();
        run_.ResetRun();
        AcLimits limits;
        limits.stepKind = kAcStepList;
        limits.list = {c.frequency};
        ASSERT_EQ(Run(c.deck, limits), 0) << c.deck;
        const Complex v = At(0, c.node);
        EXPECT_LT(std::abs(v - c.expected), 1e-3 * std::abs(c.expected)) << c.deck << " got " << v;
    }
}

// A linear circuit driven by one source of DC value 1 and AC magnitude 1
// solves near 0 Hz to its operating point: every small-signal stamp has the
// sign and size of the DC load's.
TEST_F(AcRunTest, LinearKindsNearZeroHertzReproduceTheOperatingPoint) {
    const char* const deck =
        "linear\nV1 in 0 DC 1 AC 1\nR1 in 0 1k\nE1 e 0 in 0 2\nRE e x 1k\nL1 x 0 1m\nG1 0 g in 0 1m\n"
        "RG g 0 1k\nC1 g 0 1u\nF1 0 f V1 3\nRF f 0 1k\nH1 h 0 V1 100\nRH h 0 1k\nI1 0 h DC 2m AC 2m\n"
        "E2 p 0 POLY(2) in 0 e 0 0 1 0.5\nRP p 0 1k\nT1 p 0 q 0 Z0=50 TD=1n\nRQ q 0 75\n.end\n";
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {0.0};
    ASSERT_EQ(Run(deck, limits), 0);
    ASSERT_EQ(host_.points.size(), 1u);
    for (int32_t k = 1; k <= state_.MatrixSize; ++k) {
        const ComplexNumber v = host_.points[0][static_cast<size_t>(k)];
        const double dc = state_.Solution[static_cast<size_t>(k)];
        EXPECT_NEAR(v.re, dc, 1e-6 * (1.0 + std::fabs(dc))) << "unknown " << k;
        EXPECT_NEAR(v.im, 0.0, 1e-6 * (1.0 + std::fabs(dc))) << "unknown " << k;
    }
}

// A matched ideal line passes its input on delayed: the phase turns by
// -w TD and the magnitude stays.
TEST_F(AcRunTest, MatchedIdealLineDelaysThePhase) {
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {125e6};
    ASSERT_EQ(Run("line\nV1 s 0 DC 0 AC 1\nRS s in 50\nT1 in 0 out 0 Z0=50 TD=1n\nRL out 0 50\n.end\n", limits), 0);
    EXPECT_NEAR(std::abs(At(0, "in")), 0.5, 1e-9);
    EXPECT_NEAR(std::abs(At(0, "out")), 0.5, 1e-9);
    EXPECT_NEAR(Degrees(At(0, "out")) - Degrees(At(0, "in")), -45.0, 1e-6);
}

// With the result pass on, every kind's complex power terms balance: the
// generated power equals the dissipated plus the stored (the sum of V x I
// over the branches of a network is zero), which holds only when every
// branch's current and sign are right.
TEST_F(AcRunTest, DevicePowerTermsBalanceAtEveryFrequency) {
    const char* const decks[] = {
        "rlc\nV1 in 0 DC 1 AC 1 30\nR1 in a 1k\nL1 a b 1m\nC1 b 0 1u\nI1 0 b DC 0 AC 0.5\nL2 b 0 2m\n"
        "K1 L1 L2 0.5\n.end\n",
        "bjt\nVCC vcc 0 DC 12\nV1 in 0 DC 0.75 AC 1\nRS in b 100\nRC vcc c 4.7k\nQ1 c b e 0 QN\nRE e 0 10\n"
        ".model QN NPN(IS=1e-14 BF=120 VAF=60 RB=50 RBM=10 IRB=1m RC=5 RE=1 CJE=2p CJC=1p CJS=1p TF=0.3n XTF=2 VTF=3 "
        "ITF=10m VAR=20 "
        "PTF=20 XCJC=0.5)\n.end\n",
        "diode and jfet\nV1 in 0 DC 2 AC 1\nR1 in a 1k\nD1 a 0 DM\nVDD dd 0 DC 10\nRD dd d 2k\n"
        "J1 d a 0 JM\n.model DM D(IS=1e-14 RS=5 CJO=2p TT=1n)\n"
        ".model JM NJF(VTO=-2 BETA=1m LAMBDA=0.01 RD=10 RS=10 CGS=2p CGD=1p)\n.end\n",
        "mos\nVDD vdd 0 DC 10\nV1 g 0 DC 2 AC 1\nRD vdd d 10k\nM1 d g s 0 NM L=2u W=20u\nRS s 0 100\n"
        ".model NM NMOS(LEVEL=1 VTO=0.8 KP=50u LAMBDA=0.02 RD=20 RS=20 CGSO=1n CGDO=1n CBD=10f CBS=10f)\n.end\n",
        "gaasfet\nVDD dd 0 DC 5\nV1 g 0 DC -0.5 AC 1\nRD dd d 500\nB1 d g 0 GM\n"
        ".model GM GASFET(LEVEL=2 VTO=-2 BETA=10m ALPHA=2 LAMBDA=0.05 RG=5 RD=2 RS=2 CGS=1p CGD=0.2p CDS=0.1p)\n"
        ".end\n",
        "controlled\nV1 in 0 DC 1 AC 1\nR1 in 0 1k\nE1 e 0 in 0 2\nRE e 0 1k\nG1 0 g in 0 1m\nRG g 0 1k\n"
        "F1 0 f V1 3\nRF f 0 1k\nH1 h 0 V1 100\nRH h 0 1k\nE2 p 0 POLY(2) in 0 e 0 0 1 0.5 0.1\nRP p 0 1k\n.end\n",
    };
    for (const char* deck : decks) {
        Restart();
        SetAnalysisKind(1);
        host_ = RecordingAcHost();
        run_.ResetRun();
        host_.results = true;
        AcLimits limits;
        limits.stepKind = kAcStepList;
        limits.list = {1e3, 3e6};
        ASSERT_EQ(Run(deck, limits), 0) << deck;
        const PowerTotals& p = state_.Power;
        const double scale = std::hypot(p.PowerGenerated, p.PowerGeneratedAlt);
        EXPECT_GT(scale, 0.0) << deck;
        EXPECT_NEAR(p.PowerGenerated, p.PowerDissipated + p.PowerStored, 1e-9 * scale) << deck;
        EXPECT_NEAR(p.PowerGeneratedAlt, p.PowerDissipatedAlt + p.PowerStoredAlt, 1e-9 * scale) << deck;
    }
}

// A second run at the same temperature keeps the bias point and only
// sweeps; a changed temperature solves it again.
TEST_F(AcRunTest, RepeatedRunKeepsItsBiasPoint) {
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3};
    const char* deck = "d\nV1 in 0 DC 5 AC 1\nR1 in a 1k\nD1 a 0 DM\n.model DM D(IS=1e-14 CJO=1p)\n.end\n";
    ASSERT_EQ(Run(deck, limits), 0);
    EXPECT_TRUE(run_.OperatingPointSolved);
    const Complex first = At(0, "a");
    ASSERT_EQ(RunAc(state_, run_, limits, host_), 0);
    EXPECT_FALSE(run_.OperatingPointSolved);
    EXPECT_NEAR(std::abs(At(1, "a") - first), 0.0, 1e-12);
    limits.temperatures = {60.0};
    ASSERT_EQ(RunAc(state_, run_, limits, host_), 0);
    EXPECT_TRUE(run_.OperatingPointSolved);
    // A hotter diode conducts more at the same current: its small-signal
    // resistance (kT/q / I) grows, and with it the share of the AC input.
    EXPECT_GT(std::abs(At(2, "a")), std::abs(first));
}

// A Monte Carlo case whose bias point fails is counted and left out; the
// sequence goes on and ends rather than drawing the case for ever.
TEST_F(AcRunTest, MonteCarloCasesWithoutBiasPointAreCountedAndSkipped) {
    const int32_t assist = Prefs().convergenceAssist, gmin = Prefs().gminStepping;
    Prefs().convergenceAssist = 0;
    Prefs().gminStepping = 0;
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3};
    limits.monteCarlo = true;
    limits.runsPerTemperature = 3;
    const int result =
        Run("d\nV1 in 0 DC 50 AC 1\nR1 in a 1\nD1 a 0 DM\n.model DM D(IS=1e-14)\n.OPTIONS ITL1=2\n.end\n", limits);
    Prefs().convergenceAssist = assist;
    Prefs().gminStepping = gmin;
    EXPECT_EQ(result, kResultShown);
    EXPECT_EQ(host_.runs, 3);
    EXPECT_EQ(run_.DroppedCases, 3);
    EXPECT_TRUE(host_.points.empty());
    EXPECT_EQ(host_.errors, (std::vector<int>{kMsgAcDroppedCases, kMsgAcBiasNotConverged}));
}

// A complex matrix that stays singular after the strict re-ordering ends the
// run with the factorization's error, and the PIVREL the retry raised is the
// circuit's own again afterwards.
TEST_F(AcRunTest, SingularComplexMatrixRestoresThePivotThreshold) {
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {1e3 / (2.0 * M_PI)};
    const int result = Run("s\nV1 in 0 DC 1 AC 1\nL1 in b 1m\nC1 b 0 1m\n.OPTIONS PIVREL=1e-2\n.end\n", limits);
    // At 1000 rad/s the series L and C cancel: the source drives a short.
    EXPECT_EQ(result, 15051);
    EXPECT_TRUE(run_.PivotRetrySpent);
    EXPECT_EQ(state_.Options.pivrel, 1e-2);
    EXPECT_TRUE(host_.points.empty());
    // The aborted run forgets its bias point and both matrices.
    EXPECT_FALSE(run_.OperatingPointValid);
    EXPECT_EQ(state_.TransientPair.matrix, nullptr);
}

}  // namespace
