// AC noise runs of whole decks: output and input-referred noise against hand
// analysis of the thermal, shot and flicker laws, and against the values an
// independent simulator gives for the same decks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/result.h"
#include "devices/noise.h"
#include "engine/acrun.h"
#include "engine/noise.h"
#include "expr/stateful.h"
#include "tests/devices/deck_fixture.h"

namespace {

constexpr double kK = 1.3806226e-23;
constexpr double kRoomKelvin = 300.15;

class NoiseHost : public AcHost {
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
        if (int rc = SetupModelsAtTemperature(*setup, temperature)) return rc;
        return SetupInstancesAtTemperature(*setup, temperature);
    }
    int AcceptAcPoint(SimulatorState&, AcRun& run) override {
        frequencies.push_back(run.Frequency);
        onoise.push_back(EvaluateNoise(0));
        inoise.push_back(EvaluateNoise(1));
        sources.push_back(run.Noise.Count());
        return 0;
    }
    bool StepControlPoint(const AcRun&, double&, double&, double&, bool&) override { return false; }
    bool WantsDeviceResults(const SimulatorState&) override { return false; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }

    TemperatureSetup* setup = nullptr;
    std::vector<double> frequencies, onoise, inoise;
    std::vector<size_t> sources;
    std::vector<int> errors;
};

class NoiseRunTest : public DeckOperatingPointFixture {
protected:
    void SetUp() override {
        DeckOperatingPointFixture::SetUp();
        SetAnalysisKind(1);
    }
    // Compiles the deck and runs a noise sweep over `frequencies` with the
    // output at node `out` and the Noise Input source between `in+` and `in-`.
    int Run(const std::string& deck, const char* out, const char* inPlus, const char* inMinus,
            std::vector<double> frequencies, double temperature = 27.0) {
        host_ = NoiseHost();
        run_.ResetRun();
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return -1;
        setup_ = MakeTemperatureSetup(document_.get());
        host_.setup = &setup_;
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        AcLimits limits;
        limits.stepKind = kAcStepList;
        limits.list = std::move(frequencies);
        limits.noise = true;
        limits.temperatures = {temperature};
        limits.noiseOutput1 = Node(out);
        limits.noiseInput1 = Node(inPlus);
        limits.noiseInput2 = Node(inMinus);
        return RunAc(state_, run_, limits, host_);
    }
    int Node(const char* name) {
        if (std::string(name) == "0") return 0;
        const int n = FindNodeNumber(document_.get(), name, -1, -1);
        EXPECT_GT(n, 0) << name;
        return n;
    }
    // Restarts between the decks of one test.
    void Next() {
        Restart();
        SetAnalysisKind(1);
    }

    TemperatureSetup setup_;
    NoiseHost host_;
    AcRun run_;
};

double Thermal(double kelvin, double ohms) { return std::sqrt(4.0 * kK * kelvin * ohms); }

// A resistor driven by a current: its noise voltage is sqrt(4kTR), scaled by
// NM and taken at the model's own temperature; resistors the compiler adds,
// NM = 0 and a circuit without noise give the floor of 1e-25 V per root Hz.
TEST_F(NoiseRunTest, ResistorNoiseFollowsItsTemperatureAndMultiplier) {
    struct Case {
        const char* resistor;
        double expected;
    };
    const Case cases[] = {
        {"R1 out 0 1k\n", Thermal(kRoomKelvin, 1e3)},
        {"R1 out 0 1k RM\n.model RM RES(NM=3)\n", 3.0 * Thermal(kRoomKelvin, 1e3)},
        {"R1 out 0 1k RM\n.model RM RES(NM=0)\n", 1e-25},
        {"R1 out 0 1k RM\n.model RM RES(T_ABS=100)\n", Thermal(373.15, 1e3)},
        {"R1 out 0 1k RM\n.model RM RES(T_REL_GLOBAL=-27)\n", Thermal(273.15, 1e3)},
        // A closed switch noises as its on resistance.
        {"S1 out 0 c 0 SM\nVC c 0 DC 5\n.model SM VSWITCH(RON=1k ROFF=1e9 VON=1 VOFF=0)\n", Thermal(kRoomKelvin, 1e3)},
    };
    for (const Case& c : cases) {
        Next();
        const std::string deck = std::string("r\nI1 0 out DC 0 AC 1\n") + c.resistor + ".end\n";
        ASSERT_EQ(Run(deck, "out", "0", "out", {1e3, 0.0}), 0) << c.resistor;
        for (double onoise : host_.onoise) EXPECT_NEAR(onoise, c.expected, 1e-6 * c.expected) << c.resistor;
    }
    // A resistor without a temperature of its own noises at the run's.
    Next();
    ASSERT_EQ(Run("r\nI1 0 out DC 0 AC 1\nR1 out 0 1k\n.end\n", "out", "0", "out", {1e3}, 100.0), 0);
    EXPECT_NEAR(host_.onoise[0], Thermal(373.15, 1e3), 1e-6 * Thermal(373.15, 1e3));
    // The plain 1 kohm resistor at 27 degrees, and its input-referred noise
    // current through the 1 kohm transfer impedance.
    Next();
    ASSERT_EQ(Run("r\nI1 0 out DC 0 AC 1\nR1 out 0 1k\n.end\n", "out", "0", "out", {1e3}), 0);
    EXPECT_NEAR(host_.onoise[0], 4.0713e-9, 1e-4 * 4.07e-9);
    EXPECT_NEAR(host_.inoise[0], host_.onoise[0] / 1e3, 1e-9 * host_.inoise[0]);
}

// INOISE divides ONOISE by the gain from the Noise Input source alone: an AC
// current source elsewhere in the circuit adds to the excitation but not to
// the gain. E1 amplifies the divider's node by 10: gain 5, and the noise of
// R1 || R2 amplified by 10 at the output (the ideal output shorts RL's).
TEST_F(NoiseRunTest, InputNoiseIsOutputNoiseOverTheInputSourcesGain) {
    // The input's own AC magnitude does not matter, nor whether it has one.
    // A current input drives 1 mohm: its gain is 5 times that impedance.
    struct Case {
        const char* input;
        double gain;
    };
    const double onoise = 10.0 * Thermal(kRoomKelvin, 500.0);
    const Case cases[] = {{"V1 in 0 DC 0 AC 2", 5.0},
                          {"V1 in 0 DC 1", 5.0},
                          {"I1 0 in DC 0 AC 3m\nRI in 0 1e-3", 5.0 * (1e-3 * 2e3 / (2e3 + 1e-3))}};
    for (const auto& [input, gain] : cases) {
        Next();
        const std::string deck = std::string("amp\n") + input +
                                 "\nR1 in a 1k\nR2 a 0 1k\nE1 out 0 a 0 10\nRL out 0 10k\nI2 0 a DC 0 AC 1m\n.end\n";
        ASSERT_EQ(Run(deck, "out", "in", "0", {10.0, 1e4}), 0) << input;
        for (size_t k = 0; k < 2; ++k) {
            EXPECT_NEAR(host_.onoise[k], onoise, 1e-6 * onoise) << input;
            EXPECT_NEAR(host_.inoise[k], onoise / gain, 1e-6 * onoise / gain) << input;
        }
    }
}

// A LEVEL 1 common-source stage without capacitances: the output noise is
// (4kT/RD + channel) |Zout|^2 with Zout = 1 / (1/RD + gds), the channel the
// thermal 8/3 kT gm plus the flicker law of the model's NLEV.
TEST_F(NoiseRunTest, CommonSourceStageNoiseFollowsTheNoiseLevel) {
    constexpr double kCox = 3.45314379969e-11 / 1e-7;
    constexpr double kLeff = 2e-6, kWeff = 20e-6;
    struct Case {
        const char* noise;  // model parameters
        int nlev;
        double frequency;
    };
    const Case cases[] = {
        {"KF=1e-25 AF=1.2", 2, 1e3},  // NLEV unset counts as 2
        {"KF=1e-25 AF=1.2 NLEV=0", 0, 1e3},
        {"KF=1e-25 AF=1.2 NLEV=1", 1, 1e3},
        {"KF=1e-25 AF=1.2 NLEV=2", 2, 1e3},
        {"KF=1e-25 AF=1.2 NLEV=2", 2, 0.0},  // flicker at 1e-6 Hz
        {"KF=1e-25 AF=1 NLEV=3 GDSNOI=2", 3, 1e2},
        {"KF=1e-25 AF=1 NLEV=3 GDSNOI=2 VTO=0.05", 3, 1e2},  // linear region: alpha > 0
    };
    for (const Case& c : cases) {
        Next();
        const std::string deck = std::string(
                                     "cs\nVDD vdd 0 DC 10\nV1 g 0 DC 2 AC 1\nRD vdd d 10k\nM1 d g 0 0 NM L=2u W=20u\n"
                                     ".model NM NMOS(LEVEL=1 VTO=0.8 KP=50u LAMBDA=0.02 TOX=1e-7 ") +
                                 c.noise + ")\n.end\n";
        ASSERT_EQ(Run(deck, "d", "g", "0", {c.frequency}), 0) << c.noise;
        const MosfetRecord& m = *Records<MosfetRecord>(kListMosfets).at(0);
        const double kt = kK * kRoomKelvin;
        const double f = c.frequency > 0.0 ? c.frequency : 1e-6;
        const double af = c.nlev == 3 ? 1.0 : 1.2;
        double thermal = 8.0 / 3.0 * kt * m.gm;
        if (c.nlev == 3) {
            const double vdsat = m.vgs - m.von;
            const double alpha = m.vds > vdsat ? 0.0 : 1.0 - m.vds / vdsat;
            thermal = 8.0 / 3.0 * kt * vdsat * 50e-6 * kWeff / kLeff * (1 + alpha + alpha * alpha) / (1 + alpha) * 2.0;
        }
        const double id = m.cd + m.cbd;
        const double flicker[] = {1e-25 * std::pow(id, af) / (kCox * kLeff * kLeff * f),
                                  1e-25 * std::pow(id, af) / (kCox * kWeff * kLeff * f),
                                  1e-25 * m.gm * m.gm / (kCox * kWeff * kLeff * std::pow(f, af)),
                                  1e-25 * m.gm * m.gm / (kCox * kWeff * kLeff * f)};
        const double zout = 1.0 / (1e-4 + m.gds);
        const double expected = std::sqrt(4.0 * kt / 1e4 + thermal + flicker[c.nlev]) * zout;
        EXPECT_NEAR(host_.onoise[0], expected, 1e-6 * expected) << c.noise;
        EXPECT_NEAR(host_.inoise[0], expected / (m.gm * zout), 1e-6 * expected) << c.noise;
        EXPECT_EQ(host_.sources[0], 2u) << c.noise;  // RD and the channel: no series resistances
    }
}

// The same stages and a bipolar and a diode stage against the noise an
// independent simulator gives for the same decks. Its LEVEL 1 flicker law
// divides by Cox squared: NLEV 1 with KF over Cox is the same law.
TEST_F(NoiseRunTest, StagesAgreeWithAnIndependentSimulator) {
    struct Case {
        const char* deck;
        const char* out;
        const char* input;
        double frequency;
        double onoise, inoise;  // 0: not compared
        double tolerance = 1e-4;
    };
    const char* const bjt =
        "bjt\nVCC vcc 0 DC 12\nV1 in 0 DC 1.0 AC 1\nRS in b 100\nRC vcc c 2k\nQ1 c b e 0 QN\nRE e 0 100\n"
        "VD vd 0 DC 2\nR1 vd a 1k\nD1 a 0 DM\n.model QN NPN(IS=1e-14 BF=120 VAF=60 RB=50 RC=5 RE=1)\n"
        ".model DM D(IS=1e-14 RS=5)\n.end\n";
    const Case cases[] = {
        {"cs\nVDD vdd 0 DC 10\nV1 g 0 DC 2 AC 1\nRD vdd d 10k\nM1 d g 0 0 NM L=2u W=20u\n"
         ".model NM NMOS(LEVEL=1 VTO=0.8 KP=50u LAMBDA=0.02 TOX=1e-7)\n.end\n",
         "d", "g", 1e3, 2.810875e-08, 4.486407e-09},
        {"cs\nVDD vdd 0 DC 10\nV1 g 0 DC 2 AC 1\nRD vdd d 10k\nM1 d g 0 0 NM L=2u W=20u\n"
         ".model NM NMOS(LEVEL=1 VTO=0.8 KP=50u LAMBDA=0.02 TOX=1e-7 NLEV=1 KF=2.895910e-22 AF=1.3)\n.end\n",
         "d", "g", 1e3, 2.654596e-04, 4.236971e-05},
        {bjt, "c", "in", 1e4, 3.920699e-08, 2.202561e-09},
        {"jfet\nVDD dd 0 DC 10\nV1 g 0 DC -0.5 AC 1\nRD dd d 2k\nJ1 d g 0 JM\n"
         ".model JM NJF(VTO=-2 BETA=1m LAMBDA=0.01 RD=10 RS=10 KF=1e-16 AF=1.1)\n.end\n",
         "d", "g", 1e2, 6.698459e-08, 1.157048e-08},
        // The simulator's thermal voltage differs in the fifth digit, and the
        // diode's bias current with it.
        {bjt, "a", "in", 1e4, 4.918236e-10, 0.0, 1e-3},
    };
    for (const Case& c : cases) {
        Next();
        ASSERT_EQ(Run(c.deck, c.out, c.input, "0", {c.frequency}), 0) << c.deck;
        EXPECT_NEAR(host_.onoise[0], c.onoise, c.tolerance * c.onoise) << c.deck << c.out;
        if (c.inoise > 0.0) {
            EXPECT_NEAR(host_.inoise[0], c.inoise, c.tolerance * c.inoise) << c.deck << c.out;
        }
    }
}

// Outside noise mode the list is neither sized nor built; inside, a kind
// with devices but no installed sources fails the run instead of dropping
// its noise.
TEST_F(NoiseRunTest, ListIsOnlyBuiltInNoiseModeAndEveryNoisyKindNeedsItsSources) {
    NoiseSourceList list;
    list.sources.push_back({1.0, 1, 0});
    EXPECT_EQ(AllocateNoiseSources(state_, list, false), 0);
    EXPECT_FALSE(list.allocated);
    EXPECT_EQ(BuildNoiseSources(state_, list, false, 1e3, 27.0), 0);
    EXPECT_EQ(list.Count(), 1u);

    InstallNoiseKindSources(kRowDiodes, nullptr);
    const int result =
        Run("d\nV1 in 0 DC 2 AC 1\nR1 in a 1k\nD1 a 0 DM\n.model DM D(IS=1e-14)\n.end\n", "a", "in", "0", {1e3});
    InstallNoiseKindSources(kRowDiodes, &DiodeNoiseSources());
    EXPECT_EQ(result, kResultNotBuilt);
    EXPECT_TRUE(host_.onoise.empty());
    // A diode without series resistance adds its junction source only.
    Next();
    ASSERT_EQ(Run("d\nV1 in 0 DC 2 AC 1\nR1 in a 1k\nD1 a 0 DM\n.model DM D(IS=1e-14)\n.end\n", "a", "in", "0", {1e3}),
              0);
    EXPECT_EQ(host_.sources[0], 2u);
    EXPECT_EQ(run_.Noise.capacity, 4u);
}

}  // namespace
