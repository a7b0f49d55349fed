// K couplings from deck to stamp: the mutual element sqrt(L1 L2) k a0 in both
// off-diagonal places, a negative coupled inductance refused by the compile,
// and a cored K refused by the engine until windings on cores load.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/report_port.h"
#include "core/result.h"
#include "engine/setup.h"
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

TEST_F(CouplingStampTest, CoredCouplingIsRefusedRatherThanLoadedAsPlainInductors) {
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "K\nV1 A 0 1\nR0 A C 10\nL1 C 0 10\nL2 B 0 20\nR1 B 0 1K\n"
                                      "K1 L1 L2 1 KMOD\n.MODEL KMOD CORE (AREA=1 PATH=5)\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    EXPECT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair), kResultNotBuilt);
}

}  // namespace
