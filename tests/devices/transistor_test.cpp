// The bipolar, JFET and GaAsFET loads on compiled decks: operating points of
// a biased stage, a two-stage amplifier and a JFET source follower against
// hand analysis and an independent simulator's figures, channel currents
// against their equations, and the entries each load stamps against those
// its reserve made, in every iteration mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
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
#include "document/nodelabels.h"
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

class TransistorLoadTest : public DeckOperatingPointFixture {
};

std::string Format(const char* format, double a, double b) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

TEST_F(TransistorLoadTest, BiasedStageSatisfiesTheTransistorEquations) {
    // Reference figures of the same deck from an independent SPICE simulator.
    ASSERT_EQ(OperatingPoint("CE stage\nV1 VCC 0 12\nR1 VCC B 47K\nR2 B 0 10K\nRC VCC C 4.7K\nRE E 0 1K\n"
                             "Q1 C B E QN\n.MODEL QN NPN (IS=1E-14 BF=100 VAF=100)\n.OP\n"),
              0)
        << LastMessageText();
    const double vb = V("B"), vc = V("C"), ve = V("E");
    EXPECT_NEAR(vb, 1.999923, 2e-4);
    EXPECT_NEAR(vc, 5.769303, 6e-4);
    EXPECT_NEAR(ve, 1.338455, 2e-4);

    // Kirchhoff at every node with the Gummel-Poon currents of these voltages.
    const double vbe = vb - ve, vbc = vb - vc;
    const double ibe = 1e-14 * (std::exp(vbe / kVt27) - 1.0);
    const double ibc = 1e-14 * (std::exp(vbc / kVt27) - 1.0);
    const double qb = 1.0 / (1.0 - vbc / 100.0);
    const double ic = (ibe - ibc) / qb - ibc;
    const double ib = ibe / 100.0 + ibc;
    EXPECT_NEAR((12.0 - vc) / 4.7e3, ic, 1e-4 * ic);
    EXPECT_NEAR((12.0 - vb) / 47e3 - vb / 10e3, ib, 1e-4 * ib);
    EXPECT_NEAR(ve / 1e3, ic + ib, 1e-4 * ic);
    const BipolarRecord* q = Records<BipolarRecord>(kListBipolars)[0];
    // The stored state is that of the last load, within the iteration's tolerance.
    EXPECT_NEAR(q->ic, ic, 1e-3 * ic);
    EXPECT_NEAR(q->ib, ib, 1e-3 * ib);
    EXPECT_NEAR(q->vbe, vbe, 1e-4);

    // A collector-current failure is reported with the prediction it
    // recorded and the transistor's present current.
    FailureRecord failure;
    failure.device = q;
    failure.kind = 15;
    failure.value = 1e-3;
    char line[160];
    std::snprintf(line, sizeof line, "BJT Q1 failed collector current test cchat=1.000000e-03 ic=%.6e\n", q->ic);
    EXPECT_EQ(FormatConvergenceFailure(state_, document_.get(), failure), line);
}

TEST_F(TransistorLoadTest, TwoStageAmplifierMatchesTheReferenceSimulator) {
    // NPN stage with series resistances, leakage and high injection, direct
    // coupled into a PNP stage; figures of an independent SPICE simulator.
    ASSERT_EQ(OperatingPoint("Two stage\nV1 VCC 0 12\nR1 VCC B1 100K\nR2 B1 0 20K\nRC1 VCC C1 10K\nRE1 E1 0 1.5K\n"
                             "Q1 C1 B1 E1 QN\nRE2 VCC E2 4.7K\nQ2 C2 C1 E2 QP\nRC2 C2 0 1K\n"
                             ".MODEL QN NPN (IS=2E-15 BF=150 VAF=80 IKF=20M ISE=1E-14 NE=1.5 RB=100 RBM=20 RC=5 "
                             "RE=0.5 BR=3 CJE=1P CJC=1P TF=0.3N)\n"
                             ".MODEL QP PNP (IS=5E-15 BF=80 VAF=60 NF=1.01 RB=50 RC=10 RE=1 ISC=1E-13)\n.OP\n"),
              0)
        << LastMessageText();
    const struct {
        const char* node;
        double volts;
    } expected[] = {
        {"B1", 1.901100}, {"C1", 4.179564}, {"E1", 1.208874}, {"E2", 4.871190}, {"C2", 1.498830},
    };
    for (const auto& e : expected) EXPECT_NEAR(V(e.node), e.volts, 1e-3 * e.volts) << e.node;
    const auto transistors = Records<BipolarRecord>(kListBipolars);
    ASSERT_EQ(transistors.size(), 2u);
    // Both stages conduct in the forward active region; the PNP's junctions
    // read positive in its own polarity.
    for (const BipolarRecord* q : transistors) {
        EXPECT_GT(q->vbe, 0.5);
        EXPECT_LT(q->vbc, 0.0);
    }
}

TEST_F(TransistorLoadTest, ConditionFollowsTheBiasAndTheRatedPower) {
    struct Case {
        double vbe, vce;
        int condition;
    } cases[] = {
        {0.7, 5.0, 6},    // forward active
        {0.7, 0.1, 1},    // saturated
        {0.3, 5.0, 3},    // off
        {0.75, 10.0, 4},  // about 0.4 W, above the rated 0.1 W
    };
    for (const Case& c : cases) {
        const std::string deck = Format("Bias\nVB B 0 %g\nVC C 0 %g\nQ1 C B 0 QN\n", c.vbe, c.vce) +
                                 ".MODEL QN NPN (IS=1E-14 BF=100)\n.OP\n";
        ASSERT_EQ(OperatingPoint(deck), 0) << deck << LastMessageText();
        BipolarRecord* q = Records<BipolarRecord>(kListBipolars)[0];
        q->powerRefs = 1;
        state_.BypassAllowed = 0;  // a bypassed load keeps its earlier power terms
        ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
        EXPECT_EQ(q->condition, c.condition) << deck;
        const double ic = 1e-14 * std::exp(c.vbe / kVt27);
        if (c.condition == 6) {
            // Dissipation: the transport current over vce plus the base current over vbe.
            EXPECT_NEAR(q->power[kPowerDissipated].re, ic * c.vce + ic / 100.0 * c.vbe, 1e-3 * ic * c.vce);
            EXPECT_DOUBLE_EQ(state_.Power.PowerDissipated, q->power[kPowerDissipated].re);
        }
        Restart();
    }
}

// A FET's drain current for fixed gate-source and drain-source voltages
// (gate and drain sources against a grounded source).
struct FetCase {
    const char* model;
    const char* tail;
    double vgs, vds;
    double expected;  // drain current
    int condition;
};

TEST_F(TransistorLoadTest, JfetDrainCurrentsFollowShichmanHodges) {
    const double beta = 1e-3, lambda = 0.02;
    auto sat = [&](double vgst, double vds, double area) { return area * beta * (1 + lambda * vds) * vgst * vgst; };
    auto lin = [&](double vgst, double vds) { return beta * (1 + lambda * vds) * vds * (2 * vgst - vds); };
    const FetCase cases[] = {
        {"NJF", "", -1.0, 10.0, sat(1.0, 10.0, 1), 1},
        {"NJF", "3", -1.0, 10.0, sat(1.0, 10.0, 3), 1},
        {"NJF", "", 0.0, 0.5, lin(2.0, 0.5), 6},
        {"NJF", "", -2.5, 10.0, 0.0, 3},
        // Drain below source: the junctions swap and the current reverses.
        {"NJF", "", -5.0, -5.0, -beta * (1 + lambda * 5.0) * 2.0 * 2.0, 1},
        {"NJF", "", -1.5, -1.0, -beta * (1 + lambda * 1.0) * 1.0 * (2 * 1.5 - 1.0), 6},
        {"PJF", "", 1.0, -10.0, -sat(1.0, 10.0, 1), 1},
    };
    for (const FetCase& c : cases) {
        const std::string deck = "JFET\nVD D 0 " + std::to_string(c.vds) + "\nVG G 0 " + std::to_string(c.vgs) +
                                 "\nJ1 D G 0 JM " + c.tail + "\n.MODEL JM " + c.model +
                                 " (VTO=-2 BETA=1M LAMBDA=0.02 IS=1E-14)\n.OP\n";
        ASSERT_EQ(OperatingPoint(deck), 0) << deck << LastMessageText();
        const JfetRecord* j = Records<JfetRecord>(kListJfets)[0];
        // The stored drain current carries the gate-drain leakage too (picoamps).
        EXPECT_NEAR(j->cd * j->polarity, c.expected, 1e-9 + 1e-9 * std::fabs(c.expected)) << deck;
        EXPECT_EQ(j->condition, c.condition) << deck;
        Restart();
    }
}

TEST_F(TransistorLoadTest, GaasfetDrainCurrentsFollowTheirLevelsEquations) {
    const double beta = 0.01, vto = -2.0, alpha = 2.0, lambda = 0.05, b = 0.3;
    const double vgst = 1.0;  // vgs = -1
    auto cubic = [&](double vds) {
        const double a = 1.0 - alpha * vds / 3.0;
        return vds < 3.0 / alpha ? 1.0 - a * a * a : 1.0;
    };
    auto statz = [&](double vds) { return beta * (1 + lambda * vds) * vgst * vgst / (1 + b * vgst) * cubic(vds); };
    auto triquint = [&](double vds) {
        const double gamma = 0.1, delta = 0.2, q = 2.2;
        const double e = -1.0 - (vto - gamma * vds);
        const double id0 = beta * std::pow(e, q) * cubic(vds);
        return id0 / (1 + delta * vds * id0);
    };
    const char* common = "VTO=-2 BETA=10M ALPHA=2 LAMBDA=0.05 B=0.3 GAMMA=0.1 DELTA=0.2 Q=2.2 IS=1E-14";
    const FetCase cases[] = {
        {"1", "", -1.0, 5.0, beta * (1 + lambda * 5.0) * vgst * vgst * std::tanh(alpha * 5.0), 2},
        {"1", "2", -1.0, 0.2, 2 * beta * (1 + lambda * 0.2) * vgst * vgst * std::tanh(alpha * 0.2), 2},
        {"1", "", -3.0, 5.0, 0.0, 3},
        {"2", "", -1.0, 5.0, statz(5.0), 1},
        {"2", "", -1.0, 0.5, statz(0.5), 6},
        {"3", "", -1.0, 5.0, triquint(5.0), 1},
        {"3", "", -1.0, 0.5, triquint(0.5), 6},
    };
    for (const FetCase& c : cases) {
        const std::string deck = "GaAsFET\nVD D 0 " + std::to_string(c.vds) + "\nVG G 0 " + std::to_string(c.vgs) +
                                 "\nZ1 D G 0 ZM " + c.tail + "\n.MODEL ZM GASFET (LEVEL=" + c.model + " " + common +
                                 ")\n.OP\n";
        ASSERT_EQ(OperatingPoint(deck), 0) << deck << LastMessageText();
        const GaasfetRecord* z = Records<GaasfetRecord>(kListGaasfets)[0];
        EXPECT_NEAR(z->cd, c.expected, 1e-9 + 1e-9 * std::fabs(c.expected)) << deck;
        EXPECT_EQ(z->condition, c.condition) << deck;
        Restart();
    }
}

TEST_F(TransistorLoadTest, JfetSourceFollowerSettlesWhereGateSourceAndDrainCurrentAgree) {
    ASSERT_EQ(OperatingPoint("Source follower\nVDD D 0 15\nRG G 0 1MEG\nJ1 D G S JN\nRS S 0 2K\n"
                             ".MODEL JN NJF (VTO=-2 BETA=1M LAMBDA=0.01 IS=1E-14 RD=10 RS=10)\n.OP\n"),
              0)
        << LastMessageText();
    // Hand analysis: id = BETA (1 + LAMBDA vds) (vgs - VTO)^2 with vgs = vg -
    // id (2K + 10) and vds = 15 - id (2K + 20), by bisection on id. The gate
    // sits a little above ground: GMIN and IS leak through both reverse
    // junctions into RG.
    const double vg = V("G");
    const double gmin = state_.Options.gmin;
    auto excess = [&](double id) {
        const double vgs = vg - id * 2010.0;
        const double vds = 15.0 - id * 2020.0;
        return 1e-3 * (1 + 0.01 * vds) * (vgs + 2.0) * (vgs + 2.0) - id;
    };
    double lo = 0.0, hi = 1e-3;  // above 1 mA the gate would be below pinch-off
    for (int i = 0; i < 100; ++i) {
        const double mid = 0.5 * (lo + hi);
        (excess(mid) > 0 ? lo : hi) = mid;
    }
    const double id = 0.5 * (lo + hi);
    EXPECT_NEAR(vg, 1e6 * (gmin * (15.0 - 10.0 * id - vg + 2010.0 * id - vg) + 2 * 1e-14), 1e-10);
    EXPECT_NEAR(V("S"), id * 2000.0, 1e-6);
    EXPECT_NEAR(V("S"), 1.251898, 1e-3 * 1.251898);  // the reference simulator's figure
    JfetRecord* j = Records<JfetRecord>(kListJfets)[0];
    EXPECT_EQ(j->condition, 1);

    // At the converged point a JFET takes the bypass even where the engine
    // allows none: its power terms are not recomputed.
    j->powerRefs = 1;
    state_.BypassAllowed = 0;
    state_.IterationMode = kModeFloat;
    ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
    EXPECT_EQ(j->power[kPowerDissipated].re, 0.0);
    // A predicted point never bypasses.
    state_.IterationMode = kModeInitPredictor;
    state_.LastSolution = state_.Solution;
    state_.OlderSolution = state_.Solution;
    ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
    EXPECT_NEAR(j->power[kPowerDissipated].re, id * (15.0 - id * 2020.0), 1e-3 * id * 15.0);
}

TEST_F(TransistorLoadTest, EveryModeStampsExactlyTheReservedEntries) {
    // Series resistances on one device of each kind, none on the other; a
    // four-pin lateral PNP; charges, transit time and excess phase.
    ASSERT_EQ(OperatingPoint("Mixed\nV1 VCC 0 10\nR1 VCC B 100K\nRC VCC C 2K\n"
                             "Q1 C B 0 QR\nQ2 C B 0 [SUB] QL OFF\nRS SUB 0 1K\n"
                             "J1 VCC C S1 JR\nRJ S1 0 5K\nJ2 VCC 0 S2 JP\nRJ2 S2 0 5K\n"
                             "Z1 VCC 0 S3 ZR\nRZ S3 0 1K\nZ2 VCC 0 S4 Z3\nRZ2 S4 0 1K\n"
                             ".MODEL QR NPN (RB=100 RE=1 RC=10 CJE=1P CJC=1P CJS=1P TF=1N PTF=20 XTF=1 VTF=2 "
                             "ITF=10M TR=10N IRB=1M)\n"
                             ".MODEL QL LPNP (ISS=1E-15 CJS=2P)\n"
                             ".MODEL JR NJF (RD=10 RS=10 CGS=1P CGD=1P)\n.MODEL JP NJF\n"
                             ".MODEL ZR GASFET (LEVEL=2 RG=1 RD=1 RS=1 CGS=1P CGD=1P CDS=0.1P)\n"
                             ".MODEL Z3 GASFET (LEVEL=3 CGS=1P CGD=1P)\n.OP\n"),
              0)
        << LastMessageText();
    // 7 resistors and the source: 7 * 4 + 4; bipolars 23 and 17, JFETs 15 and
    // 9, GaAsFETs 18 and 9.
    EXPECT_EQ(state_.Entries()->Size(), 32u + 23 + 17 + 15 + 9 + 18 + 9);
    for (auto* q : Records<BipolarRecord>(kListBipolars)) q->powerRefs = q->quantityRefs = 1;
    for (auto* j : Records<JfetRecord>(kListJfets)) j->powerRefs = j->quantityRefs = 1;
    for (auto* z : Records<GaasfetRecord>(kListGaasfets)) z->powerRefs = z->quantityRefs = 1;
    state_.Formula.TimeStep = 1e-9;
    state_.Formula.PreviousSteps[0] = 1e-9;
    state_.Formula.PreviousSteps[1] = 1e-9;
    ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
    for (int analysis : {kLoadOperatingPoint, kLoadTransient}) {
        for (int phase : {kPhaseDc, kPhaseTransient}) {
            for (int mode : {kModeInitJunction, kModeInitFix, kModeFloat, kModeInitSmallSignal, kModeInitTransient,
                             kModeInitPredictor}) {
                state_.IterationMode = mode;
                state_.AnalysisPhase = phase;
                state_.LoadAnalysis = analysis;
                ASSERT_EQ(LoadAllDevices(state_, nullptr), 0) << mode;
                EXPECT_EQ(state_.Cursor.Position(), state_.Entries()->Size())
                    << "mode " << mode << " phase " << phase << " analysis " << analysis;
            }
        }
    }
    // The loads stayed finite and the power terms are filled.
    for (const BipolarRecord* q : Records<BipolarRecord>(kListBipolars)) {
        EXPECT_TRUE(std::isfinite(q->ic) && std::isfinite(q->ib) && std::isfinite(q->gm));
        EXPECT_TRUE(std::isfinite(q->power[kPowerDissipated].re));
    }
}

}  // namespace
