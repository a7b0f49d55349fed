// The diode load on compiled decks: forward and reverse operating points
// against hand-worked junction equations, a bridge rectifier, and the entries
// the load stamps against those its reserve made, in every iteration mode.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/convreport.h"
#include "engine/integrate.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"
#include "tests/devices/deck_fixture.h"

namespace {

const double kVt27 = ThermalVoltageAt(300.15);

class DiodeLoadTest : public DeckOperatingPointFixture {
protected:
    std::vector<DiodeRecord*> Diodes() { return Records<DiodeRecord>(kListDiodes); }
};

// The junction voltage at which IS*area*(exp(v/(N*Vt)) - 1) carries the current.
double JunctionVoltage(double current, double is, double n, double area) {
    return n * kVt27 * std::log(current / (is * area) + 1.0);
}

TEST_F(DiodeLoadTest, OperatingPointsFollowTheJunctionEquations) {
    struct Case {
        const char* model;
        const char* tail;
        double current;  // into the anode
        double expected;
    } cases[] = {
        {"IS=1E-14", "", 1e-3, JunctionVoltage(1e-3, 1e-14, 1, 1)},  // about 0.655 V
        {"IS=1E-14 N=2", "", 1e-3, JunctionVoltage(1e-3, 1e-14, 2, 1)},
        {"IS=1E-14 RS=10", "", 1e-3, JunctionVoltage(1e-3, 1e-14, 1, 1) + 10 * 1e-3},
        {"IS=1E-14 RS=10", "2", 1e-3, JunctionVoltage(1e-3, 1e-14, 1, 2) + 5 * 1e-3},
        {"IS=2.52N N=1.752 RS=0.568", "", 1e-3, JunctionVoltage(1e-3, 2.52e-9, 1.752, 1) + 0.568e-3},
        // The breakdown fit puts IBV at exactly BV.
        {"IS=1E-14 BV=5.1 IBV=1M", "", -1e-3, -5.1},
        {"LEVEL=2 IS=1E-14 IKF=1M", "", 1e-3, 0.0},  // checked below against the knee equation
    };
    for (const Case& c : cases) {
        ASSERT_EQ(OperatingPoint("T\nI1 0 A DC " + std::to_string(c.current) + "\nD1 A 0 DM " + c.tail +
                                 "\n.MODEL DM D (" + c.model + ")\n.OP\n"),
                  0)
            << c.model;
        const double v = V("A");
        if (c.expected != 0.0) {
            EXPECT_NEAR(v, c.expected, 1e-5) << c.model;
        } else {
            // IS*(e-1)*sqrt(IKF/(IKF+IS*(e-1))) = I.
            const double inrm = 1e-14 * (std::exp(v / kVt27) - 1.0);
            EXPECT_NEAR(inrm * std::sqrt(1e-3 / (1e-3 + inrm)), 1e-3, 1e-8) << c.model;
        }
        ASSERT_EQ(Diodes().size(), 1u);
        // The stored current is that of the last load, within the iteration's tolerance.
        EXPECT_NEAR(Diodes()[0]->id, c.current, 1e-3 * std::fabs(c.current)) << c.model;
        Release();
        SetUp();
    }
}

TEST_F(DiodeLoadTest, ReverseBiasCarriesSaturationAndGminCurrents) {
    ASSERT_EQ(OperatingPoint("T\nV1 A 0 DC -1\nD1 A 0 DM\n.MODEL DM D (IS=1E-14)\n.OP\n"), 0);
    const DiodeRecord* d = Diodes()[0];
    const double gmin = state_.Options.gmin;
    EXPECT_DOUBLE_EQ(d->vd, -1.0);
    EXPECT_NEAR(d->id, -1e-14 - gmin, 1e-24);
    EXPECT_NEAR(d->gd, d->id / d->vd, 1e-24);
}

TEST_F(DiodeLoadTest, BridgeRectifierMatchesHandAnalysis) {
    ASSERT_EQ(OperatingPoint("Bridge\nV1 P 0 DC 10\n"
                             "D1 P OUTP DM\nD2 0 OUTP DM\nD3 OUTN P DM\nD4 OUTN 0 DM\n"
                             "RL OUTP OUTN 1K\n.MODEL DM D (IS=1E-14)\n.OP\n"),
              0)
        << LastMessageText();
    // D1 and D4 conduct the load current; D2 and D3 block.
    double current = 8e-3;
    for (int i = 0; i < 50; ++i) current = (10.0 - 2.0 * JunctionVoltage(current, 1e-14, 1, 1)) / 1000.0;
    const double vd = JunctionVoltage(current, 1e-14, 1, 1);
    EXPECT_NEAR(V("OUTP"), 10.0 - vd, 1e-4);
    EXPECT_NEAR(V("OUTN"), vd, 1e-4);
    EXPECT_NEAR((V("OUTP") - V("OUTN")) / 1000.0, current, 1e-7);
    const auto diodes = Diodes();
    ASSERT_EQ(diodes.size(), 4u);
    for (const DiodeRecord* blocking : {diodes[1], diodes[2]}) {
        EXPECT_LT(blocking->vd, -9.0);
        EXPECT_LT(std::fabs(blocking->id), 1e-10);
    }
}

TEST_F(DiodeLoadTest, EveryModeStampsExactlyTheReservedEntries) {
    // RS gives the first diode eight entries, the second four; the resistor four.
    ASSERT_EQ(OperatingPoint("T\nI1 0 A DC 1M\nD1 A 0 DR\nD2 A B DZ OFF\nR1 B 0 1K\n"
                             ".MODEL DR D (IS=1E-14 RS=10 CJO=1P TT=1N)\n.MODEL DZ D (IS=1E-14 CJO=2P)\n.OP\n"),
              0)
        << LastMessageText();
    EXPECT_EQ(state_.Entries()->Size(), 16u);
    // The small-signal load keeps the capacitance of the bias point (the
    // transit-time term TT*gd dominates the conducting diode's) and changes
    // nothing else.
    const double vd = Diodes()[0]->vd;
    state_.IterationMode = kModeInitSmallSignal;
    ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
    const double cd = 1e-9 * 1e-3 / kVt27;
    EXPECT_NEAR(Diodes()[0]->cd, cd, 0.1 * cd);
    EXPECT_GT(Diodes()[1]->cd, 2e-12);
    EXPECT_EQ(Diodes()[0]->vd, vd);
    for (int mode :
         {kModeInitJunction, kModeInitFix, kModeFloat, kModeInitSmallSignal, kModeInitTransient, kModeInitPredictor}) {
        for (int phase : {kPhaseDc, kPhaseTransient}) {
            state_.IterationMode = mode;
            state_.AnalysisPhase = phase;
            ASSERT_EQ(LoadAllDevices(state_, nullptr), 0) << mode;
            EXPECT_EQ(state_.Cursor.Position(), state_.Entries()->Size()) << "mode " << mode << " phase " << phase;
        }
    }
}

TEST_F(DiodeLoadTest, FailedTestsAreRecordedWithTheDiodeName) {
    ASSERT_EQ(OperatingPoint("T\nI1 0 A DC 1M\nD1 A 0 DM\n.MODEL DM D (IS=1E-14)\n.OP\n"), 0);
    // The first load of a transient takes the stored voltage without a test of
    // it: the junction counts as not converged.
    state_.IterationMode = kModeInitTransient;
    state_.NonConvergedCount = 0;
    state_.Failures.Clear();
    ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
    EXPECT_EQ(state_.NonConvergedCount, 1);
    ASSERT_EQ(state_.Failures.count, 1);
    EXPECT_EQ(FormatConvergenceFailure(state_, document_.get(), state_.Failures.records[0]),
              "Diode D1 failed pn junction test.\n");
    DiodeRecord* d = Diodes()[0];
    d->idOut = 1e-3;
    const FailureRecord current{d, 0, 7, 1.5e-3};
    EXPECT_EQ(FormatConvergenceFailure(state_, document_.get(), current),
              "Diode D1 failed cdhat=1.500000e-03 id=1.000000e-03\n");
}

TEST_F(DiodeLoadTest, AStepOfTheJunctionVoltageDrivesTheDepletionCharge) {
    // Reverse biased: the depletion charge 2*CJO*VJ*(1 - sqrt(1 - v/VJ)) for M = 0.5.
    ASSERT_EQ(OperatingPoint("T\nV1 A 0 DC -1\nD1 A 0 DM\n.MODEL DM D (IS=1E-14 CJO=1P VJ=1 M=0.5)\n.OP\n"), 0);
    // The accepted point at -1 V becomes the history; one backward-Euler step to -2 V.
    state_.AnalysisPhase = kPhaseTransient;
    state_.LoadAnalysis = kLoadTransient;
    state_.OperatingPointActive = 0;
    state_.IterationMode = kModeFloat;
    state_.BypassAllowed = 0;
    ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
    ShiftStateHistory(state_.States());
    auto* source = static_cast<SourceRecord*>(compiled_->devices[kListSpiceSources].pool.first);
    source->dcValue = -2.0;
    state_.Formula.IntegrationMethod = kIntegrationTrapezoidal;
    state_.Formula.IntegrationOrder = 1;
    state_.Formula.TimeStep = 1e-9;
    ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
    state_.IterationMode = kModeInitPredictor;  // a new time point
    ASSERT_EQ(NewtonIterate(state_, nullptr, 50, state_.Options.gmin), 0);
    auto charge = [](double v) { return 2e-12 * (1.0 - std::sqrt(1.0 - v)); };
    const double expected = (charge(-2.0) - charge(-1.0)) / 1e-9;  // about -0.636 mA
    EXPECT_NEAR(Diodes()[0]->id, expected, 1e-3 * std::fabs(expected));
    EXPECT_NEAR(Diodes()[0]->cd, 1e-12 / std::sqrt(3.0), 1e-16);
}

}  // namespace
