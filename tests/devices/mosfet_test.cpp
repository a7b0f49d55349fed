// MOSFETs of levels 1-3 on compiled decks: the drain current of each level in
// cut-off, linear and saturation against the level's equations, conductances
// that are the derivatives of the current, CMOS inverters against their hand
// solution, the 32 reserved entries every load stamps, and the model and
// instance checks of the set-up.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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
#include "devices/mosfets.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "document/spicedoc.h"
#include "engine/integrate.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "engine/state.h"
#include "expr/runstate.h"
#include "models/modelstmt.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class MosfetTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(2);
    }
    void TearDown() override {
        Release();
        library_.reset();
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    void Release() {
        if (!document_) return;
        ReleaseCompiledCircuit(state_, document_.get());
        ReleaseSpiceReader(document_.get());
        ReleaseDefineTable(document_.get());
        document_.reset();
    }

    // Compiles the deck and runs the set-up at 27 degrees: 0 or the first failure.
    int Prepare(const std::string& text) {
        Release();
        shown_.clear();
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        if (int rc = RunCircuitCompiler(document_.get(), 1)) return rc;
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return -1;
        for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
            static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
        setup_ = MakeTemperatureSetup(document_.get());
        if (int rc = SetupModelsAtTemperature(setup_, 27.0)) return rc;
        const double temperature = 27.0;
        return SetupInstancesAtTemperature(setup_, temperature);
    }
    // Prepare, then the operating point by Newton iteration.
    int Solve(const std::string& text, int loadAnalysis = kLoadOperatingPoint) {
        if (int rc = Prepare(text)) return rc;
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        if (int rc = BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair)) return rc;
        state_.MatrixBuilt = 1;
        state_.AnalysisPhase = kPhaseDc;
        state_.LoadAnalysis = loadAnalysis;
        state_.OperatingPointActive = 1;
        state_.IterationMode = kModeInitJunction;
        return NewtonIterate(state_, nullptr, 200, state_.Options.gmin);
    }
    std::vector<MosfetRecord*> Mosfets() {
        std::vector<MosfetRecord*> out;
        for (PoolItem* item = compiled_->devices[kListMosfets].pool.first; item; item = item->next)
            out.push_back(static_cast<MosfetRecord*>(item));
        return out;
    }
    double Node(const char* name) {
        const int node = FindNodeNumber(document_.get(), name, -1, -1);
        return node > 0 ? state_.Solution[static_cast<size_t>(node)] : 0.0;
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    CompiledCircuit* compiled_ = nullptr;
    SimulatorState state_;
    TemperatureSetup setup_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& request) {
        (void)request;
        shown_.push_back(LastMessageId());
        return 0;
    }};
};

// ---- the levels' equations, written out for the tests ----------------------------------

constexpr double kCoxDefault = 3.45314379969e-11 / 1e-7;  // TOX 1e-7 for levels 2 and 3

// Level 1 (Shichman-Hodges) with the bulk at the source.
double Level1Current(double kp, double wl, double vto, double lambda, double vgs, double vds) {
    const double vgst = vgs - vto;
    if (vgst <= 0) return 0;
    const double beta = kp * wl * (1 + lambda * vds);
    return vgst <= vds ? 0.5 * beta * vgst * vgst : beta * vds * (vgst - 0.5 * vds);
}

// Level 2 without short- and narrow-channel terms, mobility degradation and VMAX.
double Level2Current(double kp, double wl, double vto, double gamma, double phi, double lambda, double vgs, double vds,
                     double vbs) {
    const double vbin = vto - gamma * std::sqrt(phi);
    const double vth = vbin + gamma * std::sqrt(phi - vbs);
    if (vgs <= vth) return 0;
    const double a = vgs - vbin;
    const double b = phi - vbs;
    const double u = (std::sqrt(gamma * gamma + 4 * (a + b)) - gamma) / 2;
    const double vdsat = u * u - b;
    const double v = std::min(vds, vdsat);
    const double f = (a - v / 2) * v - 2.0 / 3.0 * gamma * (std::pow(v + b, 1.5) - std::pow(b, 1.5));
    return kp * wl * f / (1 - lambda * vds);
}

// Level 2 with VMAX and NSUB but no LAMBDA: the saturation voltage where the
// carriers reach VMAX, F(V) = xv F'(V), and beyond it the pinched-off length
// xd (sqrt(xlv^2 + vds - vdsat) - xlv) taken off the channel.
double Level2VmaxCurrent(double kp, double wl, double l, double vto, double gamma, double phi, double nsub, double vmax,
                         double vgs, double vds, double vbs) {
    const double uo = 600e-4;
    const double vbin = vto - gamma * std::sqrt(phi);
    if (vgs <= vbin + gamma * std::sqrt(phi - vbs)) return 0;
    const double a = vgs - vbin;
    const double b = phi - vbs;
    const auto f = [&](double v) {
        return (a - v / 2) * v - 2.0 / 3.0 * gamma * (std::pow(v + b, 1.5) - std::pow(b, 1.5));
    };
    const auto slope = [&](double v) { return a - v - gamma * std::sqrt(v + b); };
    const double xv = vmax * l / uo;
    const double u = (std::sqrt(gamma * gamma + 4 * (a + b)) - gamma) / 2;
    double lo = 0, hi = u * u - b;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (f(mid) - xv * slope(mid) < 0 ? lo : hi) = mid;
    }
    const double vdsat = 0.5 * (lo + hi);
    if (vds <= vdsat) return kp * wl * f(vds);
    const double xd = std::sqrt(2 * 11.7 * 8.854214871e-12 / (1.6021918e-19 * nsub * 1e6));
    const double xlv = vmax * xd / (2 * uo);
    const double dl = xd * (std::sqrt(xlv * xlv + vds - vdsat) - xlv);
    return kp * wl * f(vdsat) / (1 - dl / l);
}

// Level 3 without NSUB (no short-channel or pinch-off length terms), VMAX or NFS.
double Level3Current(double kp, double wl, double l, double vto, double gamma, double phi, double theta, double eta,
                     double vgs, double vds, double vbs) {
    const double sq = std::sqrt(phi - vbs);
    const double sigma = eta * 8.15e-22 / (kCoxDefault * l * l * l);
    const double vth = vto - gamma * std::sqrt(phi) - sigma * vds + gamma * sq;
    if (vgs <= vth) return 0;
    const double fb = 1 + gamma / (4 * sq);
    const double vdsat = (vgs - vth) / fb;
    const double v = std::min(vds, vdsat);
    return kp * wl / (1 + theta * (vgs - vth)) * (vgs - vth - fb / 2 * v) * v;
}

std::string FixedBiasDeck(const std::string& model, double vgs, double vds, double vbs) {
    return "Bias\nVD D 0 " + std::to_string(vds) + "\nVG G 0 " + std::to_string(vgs) + "\nVB B 0 " +
           std::to_string(vbs) + "\nM1 D G 0 B NM L=2U W=20U\n.MODEL NM NMOS (" + model + ")\n.END\n";
}

TEST_F(MosfetTest, DrainCurrentOfEachLevelInEachRegion) {
    const std::string level1 = "LEVEL=1 VTO=0.8 KP=50U LAMBDA=0.02";
    const std::string level2 = "LEVEL=2 VTO=0.8 KP=50U GAMMA=0.4 PHI=0.7 LAMBDA=0.02";
    const std::string level3 = "LEVEL=3 VTO=0.8 KP=50U GAMMA=0.4 PHI=0.7 THETA=0.1 ETA=0.5";
    const std::string level2vmax = "LEVEL=2 VTO=0.8 KP=50U GAMMA=0.4 PHI=0.7 NSUB=1E16 VMAX=5E4";
    struct Case {
        const std::string* model;
        double vgs, vds, vbs;
        int condition;
        std::function<double(double, double, double)> expected;
    } cases[] = {
        {&level1, 0.5, 2.0, 0.0, 3,
         [](double g, double d, double) { return Level1Current(50e-6, 10, 0.8, 0.02, g, d); }},
        {&level1, 3.0, 0.5, 0.0, 6,
         [](double g, double d, double) { return Level1Current(50e-6, 10, 0.8, 0.02, g, d); }},
        {&level1, 2.0, 3.0, 0.0, 1,
         [](double g, double d, double) { return Level1Current(50e-6, 10, 0.8, 0.02, g, d); }},
        {&level2, 0.9, 2.0, -1.0, 3,
         [](double g, double d, double b) { return Level2Current(50e-6, 10, 0.8, 0.4, 0.7, 0.02, g, d, b); }},
        {&level2, 3.0, 0.4, -1.0, 6,
         [](double g, double d, double b) { return Level2Current(50e-6, 10, 0.8, 0.4, 0.7, 0.02, g, d, b); }},
        {&level2, 2.0, 3.0, -1.0, 1,
         [](double g, double d, double b) { return Level2Current(50e-6, 10, 0.8, 0.4, 0.7, 0.02, g, d, b); }},
        {&level2vmax, 3.0, 4.0, -1.0, 1,
         [](double g, double d, double b) {
             return Level2VmaxCurrent(50e-6, 10, 2e-6, 0.8, 0.4, 0.7, 1e16, 5e4, g, d, b);
         }},
        {&level3, 0.5, 2.0, -1.0, 3,
         [](double g, double d, double b) { return Level3Current(50e-6, 10, 2e-6, 0.8, 0.4, 0.7, 0.1, 0.5, g, d, b); }},
        {&level3, 3.0, 0.4, -1.0, 6,
         [](double g, double d, double b) { return Level3Current(50e-6, 10, 2e-6, 0.8, 0.4, 0.7, 0.1, 0.5, g, d, b); }},
        {&level3, 2.0, 3.0, -1.0, 1,
         [](double g, double d, double b) { return Level3Current(50e-6, 10, 2e-6, 0.8, 0.4, 0.7, 0.1, 0.5, g, d, b); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.model + " vgs=" + std::to_string(c.vgs) + " vds=" + std::to_string(c.vds));
        ASSERT_EQ(Solve(FixedBiasDeck(*c.model, c.vgs, c.vds, c.vbs)), 0) << LastMessageText();
        ASSERT_EQ(Mosfets().size(), 1u);
        const MosfetRecord& m = *Mosfets()[0];
        const double expected = c.expected(c.vgs, c.vds, c.vbs);
        EXPECT_NEAR(m.cd + m.cbd, expected, 1e-9 * std::fabs(expected) + 1e-15);
        EXPECT_EQ(m.condition, c.condition);
        if (expected > 0) {
            EXPECT_GT(expected, 1e-6);  // the case is on, not a leak
        }

        // The stamped conductances are the derivatives of the current.
        const double h = 1e-6;
        const auto at = [&](double vbs, double vgs, double vds) {
            return EvaluateMosChannel(m, vbs, vgs, vds).current;
        };
        const MosChannel here = EvaluateMosChannel(m, c.vbs, c.vgs, c.vds);
        const double tol = 1e-5 * std::fabs(expected) + 1e-12;
        EXPECT_NEAR(here.gm, (at(c.vbs, c.vgs + h, c.vds) - at(c.vbs, c.vgs - h, c.vds)) / (2 * h), tol);
        EXPECT_NEAR(here.gds, (at(c.vbs, c.vgs, c.vds + h) - at(c.vbs, c.vgs, c.vds - h)) / (2 * h), tol);
        EXPECT_NEAR(here.gmbs, (at(c.vbs + h, c.vgs, c.vds) - at(c.vbs - h, c.vgs, c.vds)) / (2 * h), tol);
    }
}

// Solves I_n(vout) = I_p(vout) by bisection.
double HandInverter(const std::function<double(double)>& nmos, const std::function<double(double)>& pmos, double vdd) {
    double lo = 0, hi = vdd;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (nmos(mid) - pmos(mid) < 0 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

TEST_F(MosfetTest, CmosInvertersMatchTheirHandSolution) {
    const double vdd = 5.0, vin = 2.2;
    struct Case {
        const char* nmodel;
        const char* pmodel;
        std::function<double(double)> nmos, pmos;
    } cases[] = {
        {"LEVEL=1 VTO=1 KP=40U LAMBDA=0.05", "LEVEL=1 VTO=-1 KP=15U LAMBDA=0.03",
         [&](double vout) { return Level1Current(40e-6, 5, 1, 0.05, vin, vout); },
         [&](double vout) { return Level1Current(15e-6, 10, 1, 0.03, vdd - vin, vdd - vout); }},
        {"LEVEL=3 VTO=1 KP=40U GAMMA=0.5 PHI=0.7 THETA=0.05 ETA=0.2",
         "LEVEL=3 VTO=-1 KP=15U GAMMA=0.4 PHI=0.7 THETA=0.1",
         [&](double vout) { return Level3Current(40e-6, 5, 2e-6, 1, 0.5, 0.7, 0.05, 0.2, vin, vout, 0); },
         [&](double vout) { return Level3Current(15e-6, 10, 2e-6, 1, 0.4, 0.7, 0.1, 0, vdd - vin, vdd - vout, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nmodel);
        const std::string deck = std::string("Inverter\nVDD VDD 0 5\nVIN IN 0 2.2\n") +
                                 "MP OUT IN VDD VDD PM L=2U W=20U\nMN OUT IN 0 0 NM L=2U W=10U\n.MODEL NM NMOS (" +
                                 c.nmodel + ")\n.MODEL PM PMOS (" + c.pmodel + ")\n.END\n";
        ASSERT_EQ(Solve(deck), 0) << LastMessageText();
        const double vout = HandInverter(c.nmos, c.pmos, vdd);
        EXPECT_GT(vout, 0.2);
        EXPECT_LT(vout, 4.8);
        EXPECT_NEAR(Node("OUT"), vout, 1e-4);
        // The supply delivers the channel current (and the junction leaks).
        const MosfetRecord* n = Mosfets()[1];
        EXPECT_NEAR(n->id, c.nmos(vout), 1e-4 * c.nmos(vout) + 1e-10);
        EXPECT_EQ(n->condition, 1);
    }
}

TEST_F(MosfetTest, ASteadyInverterKeepsItsOperatingPointThroughTimeSteps) {
    const std::string deck =
        "Steady\nVDD VDD 0 5\nVIN IN 0 2.2\nMP OUT IN VDD VDD PM L=2U W=20U AD=40P AS=40P PD=24U PS=24U\n"
        "MN OUT IN 0 0 NM L=2U W=10U AD=20P AS=20P PD=14U PS=14U\nCL OUT 0 10F\n"
        ".MODEL NM NMOS (LEVEL=1 VTO=1 KP=40U LAMBDA=0.05 TOX=20N CJ=2E-4 CJSW=1E-9 CGSO=2N CGDO=2N CGBO=1N)\n"
        ".MODEL PM PMOS (LEVEL=3 VTO=-1 KP=15U TOX=20N CJ=3E-4 CGSO=2N CGDO=2N TT=1N)\n.END\n";
    ASSERT_EQ(Solve(deck, kLoadTransient), 0) << LastMessageText();
    const double vout = Node("OUT");
    state_.AnalysisPhase = kPhaseTransient;
    state_.OperatingPointActive = 0;
    state_.Formula.IntegrationOrder = 1;
    double time = 0;
    for (int point = 0; point < 4; ++point) {
        SwapSolutionVectors(state_);
        ShiftStateHistory(state_.States());
        if (point == 1) FillStateHistory(state_.States());
        state_.PreviousTime = time;
        time += 1e-9;
        state_.Time = time;
        state_.Formula.TimeStep = 1e-9;
        state_.Formula.PreviousSteps[0] = state_.Formula.PreviousSteps[1] = 1e-9;
        ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
        state_.IterationMode = point == 0 ? kModeInitTransient : kModeInitPredictor;
        ASSERT_EQ(NewtonIterate(state_, nullptr, 50, state_.Options.gmin), 0) << point;
        EXPECT_NEAR(Node("OUT"), vout, 1e-6) << point;
    }
    // The gate and junction capacitances took part.
    EXPECT_GT(Mosfets()[1]->capgs, 0);
    EXPECT_GT(Mosfets()[1]->capbd, 0);
}

TEST_F(MosfetTest, EveryLoadStampsExactlyItsThirtyTwoReservedEntries) {
    for (const char* resistances : {"", " RD=10 RS=5 RG=2 RB=1", " RSH=20"}) {
        SCOPED_TRACE(resistances);
        const std::string deck = std::string("Entries\nVD D 0 3\nVG G 0 2\nM1 D G 0 0 NM L=2U W=20U NRD=2 NRG=1\n") +
                                 "M2 D G 0 0 NM L=2U W=20U OFF\n.MODEL NM NMOS (VTO=1 KP=50U CJ=1E-4 CGSO=1N" +
                                 resistances + ")\n.END\n";
        ASSERT_EQ(Solve(deck), 0) << LastMessageText();
        // The MOSFET row alone reserves 32 entries per device.
        EntryList& entries = *state_.Entries();
        const std::vector<MatrixElement*> all = entries.items;
        entries.Clear();
        ASSERT_EQ(MosfetKindLoads()->Reserve(state_), 0);
        EXPECT_EQ(entries.Size(), 64u);
        entries.items = all;
        // A full load walks the whole list.
        ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
        EXPECT_EQ(state_.Cursor.Position(), state_.Entries()->Size());
    }
    // Internal nodes: one per nonzero resistance (RSH with the default NRD and NRS of 1).
    EXPECT_EQ(Mosfets()[0]->drainPrime != Mosfets()[0]->drain, true);
    EXPECT_EQ(Mosfets()[0]->sourcePrime != Mosfets()[0]->source, true);
    EXPECT_EQ(Mosfets()[1]->gatePrime, Mosfets()[1]->gate);  // NRG 0
}

TEST_F(MosfetTest, ModelAndInstanceErrorsStopTheSetUp) {
    struct Case {
        const char* line;
        int result;
        std::vector<int> shown;
    } cases[] = {
        {"M1 D G 0 0 NM L=2U W=20U\n.MODEL NM NMOS (TOX=1E-7 NSUB=1E10)", kResultShown, {13661}},
        {"M1 D G 0 0 NM L=2U W=20U\n.MODEL NM NMOS (LD=1.5U)", kResultShown, {14548}},
        {"M1 D G 0 0 NM L=2U W=2U\n.MODEL NM NMOS (WD=1U)", kResultShown, {14549}},
        {"M1 D G 0 0 NM L=2U W=2U\n.MODEL NM NMOS (LEVEL=8)", kResultShown, {kResultNotBuilt}},
        {"M1 D G 0 0 NM L=2U W=2U\n.MODEL NM NMOS (TOX=0 NSUB=0)", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Prepare(std::string("Errors\nVD D 0 3\nVG G 0 2\n") + c.line + "\n.END\n"), c.result);
        EXPECT_EQ(shown_, c.shown) << LastMessageText();
    }
}

TEST_F(MosfetTest, InstanceTextsFillTheRecord) {
    ASSERT_EQ(Prepare("Texts\nVD D 0 3\nM1 D D 0 0 NM M=0 OFF IC=1,2,3\nM2 D D 0 0 NM M=3 NRD=4 NRS=0 L=3U\n"
                      ".MODEL NM NMOS (VTO=1 L=7U)\n.END\n"),
              0)
        << LastMessageText();
    const MosfetRecord& m1 = *Mosfets()[0];
    EXPECT_EQ(m1.M, 1.0);  // M of 0 or below is one device
    EXPECT_EQ(m1.NRD, 1.0);
    EXPECT_EQ(m1.NRS, 1.0);
    EXPECT_EQ(m1.off, 1);
    EXPECT_EQ(m1.icGiven, 1);
    EXPECT_EQ(m1.icVds, 1.0);
    EXPECT_EQ(m1.icVgs, 2.0);
    EXPECT_EQ(m1.icVbs, 3.0);
    EXPECT_NEAR(m1.L.value, 7e-6, 1e-18);  // the model's L when the text gives none
    const MosfetRecord& m2 = *Mosfets()[1];
    EXPECT_EQ(m2.NRD, 4.0);
    EXPECT_EQ(m2.NRS, 0.0);
    EXPECT_EQ(m2.L.given, 1);
    EXPECT_NEAR(m2.L.value, 3e-6, 1e-18);
    EXPECT_NEAR(m2.W.value, 3 * 100e-6, 1e-15);  // DEFW, times M
    // A second set-up starts from the text again: M does not compound.
    SetupModelsAtTemperature(setup_, 27.0);
    const double temperature = 27.0;
    SetupInstancesAtTemperature(setup_, temperature);
    EXPECT_NEAR(m2.W.value, 3 * 100e-6, 1e-15);
}

TEST_F(MosfetTest, SetUpDerivesProcessValuesGeometryAndJunctions) {
    ASSERT_EQ(Prepare("Derived\nVD D 0 3\nM1 D D 0 0 N2 L=2U W=20U M=2 NRD=5\nM2 D D 0 0 NS\n"
                      ".MODEL N2 NMOS (LEVEL=2 RSH=10 PB=0.8 FC=0.5 CJ=1E-4 MJ=1)\n"
                      ".MODEL NS NMOS (NSUB=1E15 TOX=1E-7 PB=2 FC=0.5)\n"
                      ".OPTIONS DEFW=50U DEFL=5U\n.END\n"),
              0)
        << LastMessageText();
    const MosfetRecord& m1 = *Mosfets()[0];
    const double* v1 = m1.model->Values;
    EXPECT_NEAR(v1[kMpTox], 3.45314379969e-11 / 1e-7, 1e-12);  // LEVEL 2 alone: TOX 1e-7, as Cox
    EXPECT_NEAR(v1[kMpKp], 3.45314379969e-4 * 600 * 1e-4, 1e-12);
    EXPECT_NEAR(m1.W.value, 40e-6, 1e-15);  // M doubles the width, not the length
    EXPECT_NEAR(m1.L.value, 2e-6, 1e-15);
    EXPECT_NEAR(m1.drainConductance, 2.0 / 50.0, 1e-12);  // RSH 10 over 5 squares, times M
    EXPECT_NEAR(m1.sourceConductance, 2.0 / 10.0, 1e-12);
    // FC and FC*PB stay apart: the threshold is FC * PB, and a grading of 1
    // is kept off the pole of the charge.
    EXPECT_NEAR(m1.derived[kMosDepletionThreshold], 0.4, 1e-12);
    EXPECT_NEAR(v1[kMpMj], 0.999, 0);
    EXPECT_TRUE(std::isfinite(m1.derived[kMosF4s]));

    const MosfetRecord& m2 = *Mosfets()[1];
    const double* v2 = m2.model->Values;
    EXPECT_NEAR(v2[kMpPhi], 2 * 0.025864 * std::log(1e21 / 1.45e16), 1e-3);
    EXPECT_NEAR(v2[kMpGamma], 0.5276, 1e-4);
    EXPECT_NEAR(v2[kMpFc], 0.999, 0);  // PB 2 and FC 0.5: FC*PB held below 1
    EXPECT_NEAR(m2.derived[kMosDepletionThreshold], 0.999, 1e-12);
    EXPECT_NEAR(m2.W.value, 50e-6, 1e-15);  // the options' defaults
    EXPECT_NEAR(m2.L.value, 5e-6, 1e-15);
}

TEST_F(MosfetTest, ARebuildOfConvertedModelsConvertsNothingTwice) {
    ASSERT_EQ(Prepare("Rebuild\nVD D 0 3\nM1 D D 0 0 N2 L=2U W=20U\nM2 D D 0 0 N3 L=2U W=20U\n"
                      ".MODEL N2 NMOS (LEVEL=2 NSUB=1E15 TOX=20N RD=10 UCRIT=2E4 PB=0.7 FC=0.6 NFS=1E11)\n"
                      ".MODEL N3 NMOS (LEVEL=3 NSUB=1E16 TOX=20N DELTA=1 ETA=0.5 RS=5)\n.END\n"),
              0)
        << LastMessageText();
    std::vector<std::vector<double>> before;
    for (MosfetRecord* m : Mosfets()) before.emplace_back(m->model->Values, m->model->Values + kMpDepletionWidth + 1);
    setup_.modelValuesConverted = true;
    ASSERT_EQ(SetupModelsAtTemperature(setup_, 27.0), 0);
    const double temperature = 27.0;
    ASSERT_EQ(SetupInstancesAtTemperature(setup_, temperature), 0);
    for (size_t i = 0; i < before.size(); ++i)
        for (int slot = 0; slot <= kMpDepletionWidth; ++slot)
            EXPECT_NEAR(Mosfets()[i]->model->Values[slot], before[i][static_cast<size_t>(slot)],
                        1e-9 * std::fabs(before[i][static_cast<size_t>(slot)]))
                << "model " << i << " slot " << slot;
}

}  // namespace
