// K couplings from deck to stamp: the mutual element sqrt(L1 L2) k a0 in both
// off-diagonal places, a negative coupled inductance refused by the compile,
// and windings on a core: the core's inductance and its hysteresis loss.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/report_port.h"
#include "core/result.h"
#include "engine/setup.h"
#include "engine/statefile.h"
#include "engine/transient.h"
#include "tests/devices/deck_fixture.h"

namespace {

class CouplingStampTest : public DeckOperatingPointFixture {
protected:
    // Compiles the deck and loads it once into the transient matrix with a0 = 1e9.
    void LoadTransient(const std::string& deck) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
        ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
        ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        state_.AnalysisPhase = kPhaseTransient;
        state_.LoadAnalysis = kLoadTransient;
        state_.ChargeTermsActive = 1;
        state_.IterationMode = kModeFloat;
        state_.Formula.IntegrationMethod = kIntegrationGear;
        state_.Formula.IntegrationOrder = 1;
        state_.Formula.TimeStep = 1e-9;
        state_.Formula.PreviousSteps[0] = 1e-9;
        ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
        ASSERT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.TransientPair), 0) << LastMessageText();
        state_.MatrixBuilt = 1;
        ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
    }
};

TEST_F(CouplingStampTest, MutualElementIsTheGeometricMeanTimesKTimesA0) {
    struct Case {
        const char* l1;
        const char* l2;
        const char* k;
        double mutual;
    } cases[] = {
        {"1M", "4M", "0.5", 1e-3},  // sqrt(1e-3 * 4e-3) * 0.5
        {"1U", "1U", "1", 1e-6},
        {"2M", "8M", "-0.25", -1e-3},
    };
    for (const Case& c : cases) {
        Restart();
        LoadTransient(std::string("K\nV1 A 0 1\nR0 A C 10\nL1 C 0 ") + c.l1 + "\nL2 B 0 " + c.l2 +
                      "\nR1 B 0 1K\nK1 L1 L2 " + c.k + "\n.END\n");
        const std::vector<InductorRecord*> inductors = Records<InductorRecord>(kListInductors);
        ASSERT_EQ(inductors.size(), 2u);
        const int32_t b1 = inductors[0]->branch, b2 = inductors[1]->branch;
        SparseMatrix* m = state_.Matrix();
        EXPECT_NEAR(m->GetElement(b1, b2)->Real, -1e9 * c.mutual, 1e-9 * std::fabs(1e9 * c.mutual)) << c.k;
        EXPECT_NEAR(m->GetElement(b2, b1)->Real, -1e9 * c.mutual, 1e-9 * std::fabs(1e9 * c.mutual)) << c.k;
    }
}

TEST_F(CouplingStampTest, NegativeInductanceInAPairIsRefused) {
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "K\nV1 A 0 1\nR0 A C 10\nL1 C 0 1M\nL2 B 0 -4M\nR1 B 0 1K\nK1 L1 L2 0.5\n.END\n");
    EXPECT_NE(RunCircuitCompiler(document_.get(), 1), 0);
    EXPECT_EQ(LastMessageId(), 10807) << LastMessageText();
}

// A winding on an unmagnetised core: its value is its turns and its
// inductance mu0 N^2 A / l, not the value in henries.
TEST_F(CouplingStampTest, CoredWindingTakesTheCoresInductance) {
    LoadTransient("K\nV1 A 0 1\nR0 A C 10\nL1 C 0 100\nK1 L1 1 KMOD\n.MODEL KMOD CORE (AREA=1 PATH=5)\n.END\n");
    const std::vector<InductorRecord*> inductors = Records<InductorRecord>(kListInductors);
    ASSERT_EQ(inductors.size(), 1u);
    const double inductance = 1.2566370614359173e-6 * 100.0 * 100.0 * 1e-4 / 0.05;
    const int32_t b = inductors[0]->branch;
    EXPECT_NEAR(state_.Matrix()->GetElement(b, b)->Real, -1e9 * inductance, 1e-6 * 1e9 * inductance);
}

class CoreTransient : public DeckOperatingPointFixture {
protected:
    struct Host : public TransientHost {
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
            in.push_back(state.Solution[static_cast<size_t>(nodeIn)]);
            winding.push_back(state.Solution[static_cast<size_t>(nodeWinding)]);
            coreFactors.push_back(state.CoreStepFactor);
            return 0;
        }
        void ReportRunError(int, double) override {}
        bool Confirm(int, double) override { return true; }
        int32_t nodeIn = 0, nodeWinding = 0;
        std::vector<double> times, in, winding, coreFactors;
    };
};

// A winding driven by a sine through a resistor: over a whole period the core
// takes energy (its hysteresis loss); without pinning (K = 0) it is a lossless
// inductor and gives back what it took.
TEST_F(CoreTransient, SineDrivenWindingLosesEnergyToHysteresis) {
    double energies[2] = {0.0, 0.0};
    const char* pinning[2] = {"25", "0"};
    for (int run = 0; run < 2; ++run) {
        Restart();
        SetAnalysisKind(0);
        const std::string deck = std::string("C\nV1 IN 0 SIN(0 1 50)\nR1 IN A 10\nL1 A 0 100\nK1 L1 1 KMOD\n") +
                                 ".MODEL KMOD CORE (AREA=1 PATH=10 MS=4E5 A=25 C=0.001 K=" + pinning[run] + ")\n.END\n";
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
        ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
        ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        Host host;
        host.nodeIn = FindNodeNumber(document_.get(), "IN", -1, -1);
        host.nodeWinding = FindNodeNumber(document_.get(), "A", -1, -1);
        TransientLimits limits;
        limits.tmax = 40e-3;
        limits.maxTimeStep = 50e-6;
        TransientRun transient;
        ASSERT_EQ(RunTransient(state_, transient, limits, host), 0) << LastMessageText();
        ASSERT_GT(host.times.size(), 200u);
        EXPECT_NEAR(host.times.back(), 40e-3, 1e-12);
        // Energy into the winding over the second period.
        double peak = 0.0;
        for (size_t i = 1; i < host.times.size(); ++i) {
            if (host.times[i] <= 20e-3) continue;
            const double dt = host.times[i] - host.times[i - 1];
            const double i0 = (host.in[i - 1] - host.winding[i - 1]) / 10.0;
            const double i1 = (host.in[i] - host.winding[i]) / 10.0;
            energies[run] += 0.5 * dt * (host.winding[i - 1] * i0 + host.winding[i] * i1);
            peak = std::max(peak, std::fabs(i1));
        }
        EXPECT_GT(peak, 1e-3) << pinning[run];
    }
    EXPECT_GT(energies[0], 1e-5);  // about 0.17 mJ per cycle
    EXPECT_LT(std::fabs(energies[1]), 0.05 * energies[0]);
}

}  // namespace

namespace {

// A winding with IC = 1 mA at a start from initial conditions carries 1 mA
// at the first point. Without pinning (K = 0) the core stays unmagnetised,
// so the winding is the air-core inductance mu0 N^2 A / l and the current
// decays through the resistor as exp(-t R / L).
TEST_F(CoreTransient, WindingInitialCurrentStartsTheRun) {
    SetAnalysisKind(0);
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "C\nV1 IN 0 0\nR1 IN A 10\nL1 A 0 100 IC=1m\nK1 L1 1 KMOD\n"
                                      ".MODEL KMOD CORE (AREA=1 PATH=10 K=0)\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    TemperatureSetup setup = MakeTemperatureSetup(document_.get());
    ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
    ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    Host host;
    host.nodeIn = FindNodeNumber(document_.get(), "IN", -1, -1);
    host.nodeWinding = FindNodeNumber(document_.get(), "A", -1, -1);
    TransientLimits limits;
    limits.tmax = 2e-6;
    limits.maxTimeStep = 2e-8;
    limits.optionFlags &= ~kTransientOperatingPoint;
    TransientRun transient;
    ASSERT_EQ(RunTransient(state_, transient, limits, host), 0) << LastMessageText();
    ASSERT_GT(host.times.size(), 20u);
    EXPECT_LT(host.times[0], 1e-9);
    const double tau = 1.2566370614359173e-6 * 100.0 * 100.0 * 1e-4 / 0.1 / 10.0;
    for (size_t i = 0; i < host.times.size(); ++i) {
        const double current = (host.in[i] - host.winding[i]) / 10.0;
        EXPECT_NEAR(current, 1e-3 * std::exp(-host.times[i] / tau), 2e-5) << host.times[i];
    }
}

// A core whose magnetisation moves fast holds the next step to the factor
// its last load allowed (0.01 of MS per step at RELTOL = 1m), however much
// the charges would let it grow.
TEST_F(CoreTransient, CoreLimitsTheGrowthOfTheNextStep) {
    SetAnalysisKind(0);
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "C\nV1 IN 0 SIN(0 10 50)\nR1 IN A 10\nL1 A 0 100\nK1 L1 1 KMOD\n"
                                      ".MODEL KMOD CORE (AREA=1 PATH=10 MS=4E5 A=25 C=0.001 K=25)\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    TemperatureSetup setup = MakeTemperatureSetup(document_.get());
    ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
    ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    Host host;
    host.nodeIn = FindNodeNumber(document_.get(), "IN", -1, -1);
    host.nodeWinding = FindNodeNumber(document_.get(), "A", -1, -1);
    TransientLimits limits;
    limits.tmax = 20e-3;
    limits.maxTimeStep = 1e-3;
    TransientRun transient;
    ASSERT_EQ(RunTransient(state_, transient, limits, host), 0) << LastMessageText();
    ASSERT_GT(host.times.size(), 10u);
    size_t limiting = 0;
    for (size_t i = 1; i + 1 < host.times.size(); ++i) {
        const double step = host.times[i] - host.times[i - 1];
        const double next = host.times[i + 1] - host.times[i];
        // A step stretched onto a breakpoint may exceed its limit by 1 %.
        EXPECT_LE(next, 1.02 * host.coreFactors[i] * step) << host.times[i];
        if (host.coreFactors[i] < 2.0) ++limiting;
    }
    EXPECT_GT(limiting, 0u);
}

// The state-variables file carries each core's accepted state: a core
// cleared after the run is restored from the image, present values alike;
// a circuit with one core more or less no longer fits the image.
TEST_F(CoreTransient, StateVariablesFileCarriesTheCoreState) {
    SetAnalysisKind(0);
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "C\nV1 IN 0 SIN(0 1 50)\nR1 IN A 10\nL1 A 0 100\nK1 L1 1 KMOD\n"
                                      ".MODEL KMOD CORE (AREA=1 PATH=10 MS=4E5 A=25 C=0.001 K=25)\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    TemperatureSetup setup = MakeTemperatureSetup(document_.get());
    ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
    ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    Host host;
    host.nodeIn = FindNodeNumber(document_.get(), "IN", -1, -1);
    host.nodeWinding = FindNodeNumber(document_.get(), "A", -1, -1);
    TransientLimits limits;
    limits.tmax = 4e-3;
    TransientRun transient;
    ASSERT_EQ(RunTransient(state_, transient, limits, host), 0) << LastMessageText();
    auto couplings = Records<InductorCouplingRecord>(kListInductorCouplings);
    ASSERT_EQ(couplings.size(), 1u);
    MagneticCoreState& core = couplings[0]->core;
    const MagneticCoreState written = core;
    ASSERT_NE(written.acceptedMagnetization, 0.0);
    std::vector<unsigned char> image;
    ASSERT_EQ(BuildStateVariablesImage(state_, &transient, image), 0);

    core = MagneticCoreState{};
    ASSERT_EQ(ApplyStateVariablesImage(state_, &transient, image.data(), image.size()), 0);
    const struct {
        const char* what;
        double read, present, expected;
    } fields[] = {
        {"anhysteretic", core.anhysteretic, core.acceptedAnhysteretic, written.anhysteretic},
        {"applied field", core.acceptedAppliedField, core.appliedField, written.acceptedAppliedField},
        {"field", core.acceptedField, core.field, written.acceptedField},
        {"magnetisation", core.acceptedMagnetization, core.magnetization, written.acceptedMagnetization},
        {"slope", core.acceptedSlope, core.slope, written.acceptedSlope},
        {"chord slope", core.acceptedChordSlope, core.chordSlope, written.acceptedChordSlope},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(f.read, f.expected) << f.what;
        EXPECT_EQ(f.present, f.expected) << f.what;
    }
    couplings[0]->model = nullptr;  // the same circuit without its core
    EXPECT_EQ(ApplyStateVariablesImage(state_, &transient, image.data(), image.size()), 13659);
}

}  // namespace
