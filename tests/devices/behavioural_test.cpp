// Behavioural sources from deck to engine: function sources with IF and TABLE
// and their derivatives, table sources at chosen inputs, Laplace formula and
// table sources at the operating point and in a step response against the RC
// low-pass they model, the Laplace table's interpolation, and the convolution
// grid of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "compiler/behavsetup.h"
#include "compiler/compiled.h"
#include "compiler/devexpr.h"
#include "compiler/setupservices.h"
#include "core/report_port.h"
#include "devices/behavioural.h"
#include "engine/acrun.h"
#include "engine/transient.h"
#include "tests/devices/deck_fixture.h"

namespace {

using BehaviouralOperatingPoint = DeckOperatingPointFixture;

// Each output is a formula of V(IN) = 2 V: IF picks its branch, TABLE
// interpolates, products linearise through the numeric derivatives.
TEST_F(BehaviouralOperatingPoint, FunctionSourcesGiveTheirFormulaValues) {
    ASSERT_EQ(OperatingPoint("F\nV1 IN 0 2\nR1 IN 0 1K\n"
                             "E1 A 0 VALUE={IF(V(IN)>1, 3*V(IN), -1)}\nR2 A 0 1K\n"
                             "E2 B 0 VALUE={IF(V(IN)>5, 3*V(IN), -1)}\nR3 B 0 1K\n"
                             "G1 0 C VALUE={TABLE(V(IN), 0,0, 1,10, 3,30)}\nR4 C 0 1\n"
                             "B1 D 0 V=V(IN)*V(IN)+V(A)\nR5 D 0 1K\n"
                             "E3 E 0 VALUE={V(E2OUT)*0+4}\nR6 E 0 1K\nR7 E2OUT 0 1K\n"
                             ".END\n"),
              0)
        << LastMessageText();
    struct Case {
        const char* node;
        double value;
    } cases[] = {{"A", 6.0}, {"B", -1.0}, {"C", 20.0}, {"D", 10.0}, {"E", 4.0}};
    for (const Case& c : cases) EXPECT_NEAR(V(c.node), c.value, 1e-6) << c.node;
}

// A formula that reads another source's current is solved with it; the
// derivative of a nonlinear formula brings Newton to the root.
TEST_F(BehaviouralOperatingPoint, FunctionSourcesReadCurrentsAndSolveNonlinearLoops) {
    ASSERT_EQ(OperatingPoint("F\nV1 IN 0 3\nR1 IN 0 1K\n"
                             "G1 0 A VALUE={2*I(V1)}\nR2 A 0 1K\n"
                             // V(B) = 10 - V(B)^2: the root 2.7015...
                             "E1 B 0 VALUE={10-V(B)*V(B)}\n.END\n"),
              0)
        << LastMessageText();
    EXPECT_NEAR(V("A"), 2.0 * -3e-3 * 1e3, 1e-6);
    EXPECT_NEAR(V("B"), (-1.0 + std::sqrt(41.0)) / 2.0, 1e-6);
}

// Each partial derivative is taken with the other entries at their own
// values: a perturbation is undone before the next one.
TEST_F(BehaviouralOperatingPoint, NumericDerivativesPerturbOneEntryAtATime) {
    ASSERT_EQ(OperatingPoint("D\n.OPTIONS NUMERIC_DERIVATIVE\nVA A 0 2\nVB B 0 3\nVZ Z 0 0\n"
                             "E1 P 0 VALUE={V(A)*V(B)+5*V(Z)}\nR1 P 0 1K\n.END\n"),
              0)
        << LastMessageText();
    EXPECT_NEAR(V("P"), 6.0, 1e-9);
    const std::vector<FunctionSourceRecord*> sources = Records<FunctionSourceRecord>(kListFunctionSources);
    ASSERT_EQ(sources.size(), 1u);
    struct Case {
        const char* node;
        double derivative;
    } cases[] = {{"A", 3.0}, {"B", 2.0}, {"Z", 5.0}};
    ASSERT_EQ(sources[0]->dependencies.size(), 3u);
    for (const Case& c : cases) {
        const int32_t slot = FindNodeNumber(document_.get(), c.node, -1, -1);
        bool found = false;
        for (const FunctionDependency& d : sources[0]->dependencies) {
            if (d.slot != slot) continue;
            found = true;
            EXPECT_NEAR(d.derivative, c.derivative, 1e-5 * c.derivative) << c.node;
        }
        EXPECT_TRUE(found) << c.node;
    }
    // The formulas' copy of the solution holds the solution itself again.
    for (size_t i = 1; i < state_.Solution.size(); ++i) EXPECT_EQ(compiled_->solution[i], state_.Solution[i]) << i;
}

TEST_F(BehaviouralOperatingPoint, TableSourcesInterpolateAndHoldTheirEnds) {
    ASSERT_EQ(OperatingPoint("T\nVA A 0 -1\nVB B 0 0.5\nVC C 0 1.5\nVD D 0 5\n"
                             "E1 OA 0 TABLE={V(A)} (0,0) (1,2) (2,3)\n"
                             "E2 OB 0 TABLE={V(B)} (0,0) (1,2) (2,3)\n"
                             "E3 OC 0 TABLE={V(C)} (2,3) (0,0) (1,2)\n"
                             "G4 0 OD TABLE={V(D)} (0,0) (1,2) (2,3)\n"
                             "R1 OA 0 1K\nR2 OB 0 1K\nR3 OC 0 1K\nR4 OD 0 1\n.END\n"),
              0)
        << LastMessageText();
    struct Case {
        const char* node;
        double value;
    } cases[] = {{"OA", 0.0}, {"OB", 1.0}, {"OC", 2.5}, {"OD", 3.0}};
    // Beyond the ends the slope is GMIN: a few picovolts at most.
    for (const Case& c : cases) EXPECT_NEAR(V(c.node), c.value, 1e-9) << c.node;
}

// At DC a Laplace source is the real part of H near zero; a table source
// takes its first row's value.
TEST_F(BehaviouralOperatingPoint, LaplaceSourcesAtTheOperatingPoint) {
    ASSERT_EQ(OperatingPoint("L\nV1 IN 0 2\nR1 IN 0 1K\n"
                             "E1 A 0 LAPLACE={V(IN)} {10/(1+S*1m)}\nR2 A 0 1K\n"
                             "G1 0 B LAPLACE={V(IN)*2} {0.5*(1+S)/(2+S)}\nR3 B 0 1\n"
                             "E2 C 0 FREQ={V(IN)} (0,20,0) (1k,0,-90)\nR4 C 0 1K\n"
                             "E3 D 0 FREQ={V(IN)} R_I (10,-3,7) (1k,0,-90)\nR5 D 0 1K\n.END\n"),
              0)
        << LastMessageText();
    struct Case {
        const char* node;
        double value;
    } cases[] = {{"A", 20.0}, {"B", 1.0}, {"C", 20.0}, {"D", -6.0}};
    for (const Case& c : cases) EXPECT_NEAR(V(c.node), c.value, 1e-6) << c.node;
}

// ---- compile-time refusals and the Laplace table -----------------------------------------------

class BehaviouralCompile : public DeckOperatingPointFixture {
protected:
    // The compile result and the last message's id.
    int Compile(const std::string& deck) {
        Release();
        library_.emplace(dir_);
        SetAnalysisKind(2);
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ClearLastMessage();
        const int rc = RunCircuitCompiler(document_.get(), 1);
        compiled_ = FindCompiledCircuit(document_.get());
        return rc;
    }
};

TEST_F(BehaviouralCompile, RefusalsNameTheirFault) {
    struct Case {
        const char* line;
        int message;  // 0: compiles
    } cases[] = {
        {"E1 A 0 FREQ={V(IN)} R_I DEG (0,1,0) (1k,1,0)", 10850},
        {"E1 A 0 FREQ={V(IN)} DB MAG (0,1,0) (1k,1,0)", 10845},
        {"E1 A 0 FREQ={V(IN)} DEG RAD (0,1,0) (1k,1,0)", 10846},
        {"E1 A 0 FREQ={V(IN)} (0,1,0)", 10858},
        {"E1 A 0 FREQ={V(IN)} (0,1) (1k,1)", 10833},
        {"E1 A 0 TABLE={V(IN)} (0,0) x (1,1)", 10857},
        {"E1 A 0 TABLE={V(IN)} (0,0) (1,2*V(IN))", 10868},
        {"E1 A 0 TABLE={V(IN)} (0,0) (1,{2*3})", 0},
        {"E1 A 0 LAPLACE={V(IN)} {10}", 10869},
        {"E1 A 0 LAPLACE={V(IN)} {S*V(IN)}", 10870},
        {"E1 A 0 VALUE={SDT 1}", 11900},
        {"E1 A 0 VALUE={SDT(V(IN)}", 11900},
        {"E1 A 0 VALUE={2*SDT(V(IN))+DDT(V(IN))}", 0},
    };
    for (const Case& c : cases) {
        const std::string deck = std::string("R\nV1 IN 0 1\nR1 IN 0 1K\n") + c.line + "\nR2 A 0 1K\n.END\n";
        const int rc = Compile(deck);
        if (c.message == 0) {
            EXPECT_EQ(rc, 0) << c.line << ": " << LastMessageText();
        } else {
            EXPECT_NE(rc, 0) << c.line;
            EXPECT_EQ(LastMessageId(), c.message) << c.line << ": " << LastMessageText();
        }
    }
}

// SDT and DDT are matched as whole identifiers only; each call becomes its
// own pair of named nodes and the value reads the output one.
TEST_F(BehaviouralCompile, IntegralsAndDerivativesExpandIntoCircuits) {
    std::string untouched = "MYSDT(1)+X.SDT(2)+SDTX+DDT_(3)";
    EXPECT_EQ(ExpandIntegralsAndDerivatives(untouched, nullptr), 0);
    EXPECT_EQ(untouched, "MYSDT(1)+X.SDT(2)+SDTX+DDT_(3)");
    ASSERT_EQ(Compile("X\nV1 IN 0 1\nR1 IN 0 1K\nE1 A 0 VALUE={2*SDT(V(IN))+DDT(V(IN))}\nR2 A 0 1K\n.END\n"), 0)
        << LastMessageText();
    // E1 and the NFV on each input node, and the NFI charging the integrator.
    EXPECT_EQ(Records<FunctionSourceRecord>(kListFunctionSources).size(), 4u);
    EXPECT_EQ(Records<CapacitorRecord>(kListCapacitors).size(), 1u);
    EXPECT_EQ(Records<InductorRecord>(kListInductors).size(), 1u);
    EXPECT_EQ(Records<LinearDependentRecord>(kListDependentSources).size(), 1u);
    for (const char* node : {"E1_In", "E1_Out", "E1_In_1", "E1_Out_1"})
        EXPECT_GT(FindNodeNumber(document_.get(), node, -1, -1), 0) << node;
}

TEST(LaplaceTable, PhaseIsInterpolatedThroughTheShorterTurn) {
    LaplaceSourceRecord record{};
    record.magnitudeFormat = kLaplaceMag;
    record.phaseFormat = kLaplaceDeg;
    // Rows as the set-up stores them: the ends repeated.
    record.table = {1e3, 1, 170, 1e3, 1, 170, 2e3, 2, -170, 2e3, 2, -170};
    record.rowCount = 4;
    const double middle = std::sqrt(1e3 * 2e3);
    ASSERT_EQ(LaplaceTableSegment(record, middle), 2);
    EXPECT_NEAR(InterpolateLaplaceTable(record, middle, 2, 2), 180.0, 1e-9);
    EXPECT_NEAR(InterpolateLaplaceTable(record, middle, 2, 1), 1.5, 1e-9);
    const std::complex<double> value = LaplaceTableValue(record, middle, 2);
    EXPECT_NEAR(value.real(), -1.5, 1e-9);
    EXPECT_NEAR(value.imag(), 0.0, 1e-9);
    // Outside the given rows the end rows hold.
    EXPECT_NEAR(LaplaceTableValue(record, 10.0, LaplaceTableSegment(record, 10.0)).real(), -0.98480775, 1e-7);
    EXPECT_NEAR(LaplaceTableValue(record, 1e6, LaplaceTableSegment(record, 1e6)).real(), -1.96961551, 1e-7);
    // DB: 20 dB is 10; R_I passes the columns through.
    record.magnitudeFormat = kLaplaceDb;
    record.table = {1, 20, 90, 1, 20, 90, 10, 20, 90, 10, 20, 90};
    EXPECT_NEAR(LaplaceTableValue(record, 3.0, 2).imag(), 10.0, 1e-9);
    record.magnitudeFormat = kLaplaceRealImag;
    EXPECT_NEAR(LaplaceTableValue(record, 3.0, 2).real(), 20.0, 1e-12);
    EXPECT_NEAR(LaplaceTableValue(record, 3.0, 2).imag(), 90.0, 1e-12);
}

TEST(LaplaceGrid, PointCountFollowsTheToleranceAndTheStep) {
    struct Case {
        double reltol, range, step;
        int32_t points;
    } cases[] = {
        {1e-3, 1e-3, 20e-6, 512},   // 50 steps: the tolerance's 512
        {1e-3, 1e-3, 1e-6, 1024},   // 1000 steps
        {1e-2, 1e-3, 20e-6, 256},   // 2^(2+6)
        {1e-1, 1e-3, 20e-6, 128},   // 2^7 is below the floor of 128
        {1e-3, 1.0, 1e-9, 262144},  // the ceiling
    };
    for (const Case& c : cases) EXPECT_EQ(LaplacePointCount(c.reltol, c.range, c.step), c.points) << c.step;
    EXPECT_DOUBLE_EQ(2.0 * 1e-3 / LaplacePointCount(1e-3, 1e-3, 20e-6), 3.90625e-6);
}

TEST(LaplaceGrid, ImpulseResponseOfAFirstOrderLowPass) {
    // H = 1/(1+s tau): h(t) = exp(-t/tau)/tau.
    const double tau = 1e-4, tmax = 1e-3;
    const int32_t n = 4096;
    std::vector<double> h;
    auto sampler = [&](double f, std::complex<double>* value) {
        const std::complex<double> s(6.5 / tmax, 2.0 * 3.141592653589793 * f);
        *value = 1.0 / (1.0 + s * tau);
        return 0;
    };
    ASSERT_EQ(LaplaceImpulseResponse(n, tmax, 6.5 / tmax, sampler, &h), 0);
    const double dt = 2.0 * tmax / n;
    // The band limit rounds the jump at t = 0 off over the first samples.
    for (int i : {20, 100, 400, 1000}) {
        const double t = i * dt;
        EXPECT_NEAR(h[static_cast<size_t>(i)] * tau, std::exp(-t / tau), i < 100 ? 1e-2 : 2e-3) << t;
    }
}

// ---- transient runs -------------------------------------------------------------------------------------

class RecordingHost : public TransientHost {
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
        std::vector<double> values;
        for (int32_t node : nodes) values.push_back(state.Solution[static_cast<size_t>(node)]);
        points.push_back(values);
        return 0;
    }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    bool Confirm(int, double) override { return true; }
    std::vector<int32_t> nodes;
    std::vector<double> times;
    std::vector<std::vector<double>> points;
    std::vector<int> errors;
};

class BehaviouralTransient : public DeckOperatingPointFixture {
protected:
    int Run(const std::string& deck, std::vector<const char*> nodes, const TransientLimits& limits) {
        SetAnalysisKind(0);
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return -1;
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        EXPECT_EQ(SetupModelsAtTemperature(setup, 27.0), 0) << LastMessageText();
        EXPECT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0) << LastMessageText();
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        for (const char* node : nodes) host_.nodes.push_back(FindNodeNumber(document_.get(), node, -1, -1));
        return RunTransient(state_, run_, limits, host_);
    }
    TransientRun run_;
    RecordingHost host_;
};

// A sample-and-hold between OUT and ground sampling V(IN) every 100 us,
// made directly in the compiled deck (no deck line makes one): between
// samples OUT holds the input of the last multiple of the period.
TEST_F(BehaviouralTransient, SampleAndHoldHoldsItsLastSample) {
    SetAnalysisKind(0);
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "SH\nV1 IN 0 SIN(0 1 1K)\nR1 IN 0 1K\nR2 OUT 0 1K\nR3 OUT 0 1K\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    auto* hold = compiled_->devices[kListSampleHolds].pool.AddNewConstructed<SampleHoldRecord>(0);
    ASSERT_NE(hold, nullptr);
    hold->outPlus = FindNodeNumber(document_.get(), "OUT", -1, -1);
    hold->period = 100e-6;
    hold->branch = ++compiled_->unknownCount;
    for (std::vector<double>* vector : {&compiled_->solution, &compiled_->previousIterate, &compiled_->lastAccepted,
                                        &compiled_->beforeLastAccepted, &compiled_->rightHandSide})
        vector->assign(static_cast<size_t>(compiled_->unknownCount) + 3, 0.0);
    AddTextItem("V(IN)", &hold->input);
    int status = 0;
    CompileDeviceExpression(document_.get(), &hold->input, 0, nullptr, &status, nullptr, 0);
    ASSERT_EQ(status, 0) << LastMessageText();
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    host_.nodes = {FindNodeNumber(document_.get(), "IN", -1, -1), hold->outPlus};
    TransientLimits limits;
    limits.tmax = 1e-3;
    limits.maxTimeStep = 10e-6;
    ASSERT_EQ(RunTransient(state_, run_, limits, host_), 0) << LastMessageText();
    int between = 0;
    for (size_t i = 0; i < host_.times.size(); ++i) {
        const double t = host_.times[i];
        const double periods = t / 100e-6;
        const double last = std::floor(periods + 1e-6);
        if (periods - last < 0.01 || periods - last > 0.99) continue;
        ++between;
        // The first period holds the sample of the run's first time point.
        const double held = last == 0.0 ? host_.points[1][0] : std::sin(2.0 * 3.141592653589793 * 1e3 * last * 100e-6);
        EXPECT_NEAR(host_.points[i][1], held, 1e-6) << t;
    }
    EXPECT_GT(between, 50);
    // Every multiple of the period is a time point of the run.
    for (int n = 1; n <= 10; ++n)
        EXPECT_TRUE(std::any_of(host_.times.begin(), host_.times.end(), [&](double t) {
            return std::fabs(t - n * 100e-6) < 1e-12;
        })) << n;
}

// The source 1/(1+s*tau) driven by a step follows the RC network it models,
// and the run's convolution grid is the one its tolerance and range give.
TEST_F(BehaviouralTransient, LaplaceLowPassMatchesItsRcNetwork) {
    TransientLimits limits;
    limits.tmax = 5e-3;
    limits.maxTimeStep = 2e-6;
    ASSERT_EQ(Run("RC\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN RC 1K\nC1 RC 0 1U\n"
                  "E1 LP 0 LAPLACE={V(IN)} {1/(1+S*1m)}\nR2 LP 0 1K\n.END\n",
                  {"RC", "LP"}, limits),
              0)
        << LastMessageText();
    EXPECT_EQ(run_.ConvolutionPoints, 4096);
    EXPECT_DOUBLE_EQ(state_.ConvolutionStep, 2.0 * 5e-3 / 4096);
    ASSERT_GT(host_.times.size(), 100u);
    double worst = 0.0;
    for (size_t i = 0; i < host_.times.size(); ++i) {
        const double t = host_.times[i];
        const double exact = t > 0.0 ? 1.0 - std::exp(-t / 1e-3) : 0.0;
        EXPECT_NEAR(host_.points[i][0], exact, 5e-3) << t;
        worst = std::max(worst, std::fabs(host_.points[i][1] - host_.points[i][0]));
    }
    EXPECT_LT(worst, 5e-3);
    EXPECT_NEAR(host_.points.back()[1], 1.0 - std::exp(-5.0), 5e-3);
}

// A run that starts after 0 begins in the operating point's steady state:
// the history before its start carries the operating-point input.
TEST_F(BehaviouralTransient, LateStartKeepsTheOperatingPoint) {
    TransientLimits limits;
    limits.tmin = 0.5e-3;
    limits.tmax = 1e-3;
    ASSERT_EQ(
        Run("T\nV1 IN 0 1\nR1 IN 0 1K\nE1 LP 0 LAPLACE={V(IN)} {1/(1+S*100u)}\nR2 LP 0 1K\n.END\n", {"LP"}, limits), 0)
        << LastMessageText();
    ASSERT_GT(host_.points.size(), 10u);
    for (size_t i = 0; i < host_.points.size(); ++i) EXPECT_NEAR(host_.points[i][0], 1.0, 2e-3) << host_.times[i];
}

// Without an operating point a current-output source starts from no output
// (it has no branch to read) and its input's step then comes through.
TEST_F(BehaviouralTransient, CurrentOutputStartsFromZeroWithoutAnOperatingPoint) {
    TransientLimits limits;
    limits.tmax = 5e-3;
    limits.maxTimeStep = 2e-6;
    limits.optionFlags = 0x38;  // no operating point
    ASSERT_EQ(
        Run("U\nV1 IN 0 1\nR1 IN 0 1K\nG1 0 OUT LAPLACE={V(IN)} {1m/(1+S*1m)}\nR2 OUT 0 1K\n.END\n", {"OUT"}, limits),
        0)
        << LastMessageText();
    ASSERT_GT(host_.points.size(), 100u);
    for (size_t i = 0; i < host_.points.size(); ++i) {
        const double t = host_.times[i];
        EXPECT_NEAR(host_.points[i][0], 1.0 - std::exp(-t / 1e-3), 5e-3) << t;
    }
}

TEST_F(BehaviouralTransient, DefaultStepGivesTheToleranceGrid) {
    TransientLimits limits;
    limits.tmax = 1e-3;
    ASSERT_EQ(Run("G\nV1 IN 0 1\nR1 IN 0 1K\nE1 LP 0 LAPLACE={V(IN)} {1/(1+S*1m)}\nR2 LP 0 1K\n.END\n", {"LP"}, limits),
              0)
        << LastMessageText();
    EXPECT_EQ(run_.ConvolutionPoints, 512);
    EXPECT_DOUBLE_EQ(state_.ConvolutionStep, 3.90625e-6);
    EXPECT_LE(state_.MaxTimeStep, 3.90625e-6);
    // A constant input leaves the output at its operating point.
    for (const std::vector<double>& point : host_.points) EXPECT_NEAR(point[0], 1.0, 1e-6);
}

// ---- AC -------------------------------------------------------------------------------------------------

class ListAcHost : public AcHost {
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
    int AcceptAcPoint(SimulatorState& state, AcRun&) override {
        points.push_back(state.AcSolution);
        return 0;
    }
    bool StepControlPoint(const AcRun&, double&, double&, double&, bool&) override { return false; }
    bool WantsDeviceResults(const SimulatorState&) override { return true; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    TemperatureSetup* setup = nullptr;
    std::vector<std::vector<ComplexNumber>> points;
    std::vector<int> errors;
};

// In AC a Laplace source is its transfer function at the analysis frequency,
// a table source its interpolated row, a function source its derivative.
TEST_F(BehaviouralOperatingPoint, AcResponsesFollowTheTransferFunctions) {
    SetAnalysisKind(1);
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                      "AC\nV1 IN 0 DC 1 AC 1\nR1 IN 0 1K\n"
                                      "E1 LP 0 LAPLACE={V(IN)} {1/(1+S*1m)}\nR2 LP 0 1K\n"
                                      "E2 T 0 FREQ={V(IN)} MAG DEG (100,1,0) (1k,10,-90)\nR3 T 0 1K\n"
                                      "E3 F 0 VALUE={V(IN)*V(IN)*3}\nR4 F 0 1K\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    TemperatureSetup setup = MakeTemperatureSetup(document_.get());
    ListAcHost host;
    host.setup = &setup;
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    const double corner = 1.0 / (2.0 * 3.141592653589793 * 1e-3);
    AcLimits limits;
    limits.stepKind = kAcStepList;
    limits.list = {corner};
    AcRun run;
    ASSERT_EQ(RunAc(state_, run, limits, host), 0) << LastMessageText();
    ASSERT_EQ(host.points.size(), 1u);
    auto at = [&](const char* node) {
        const ComplexNumber v = host.points[0][static_cast<size_t>(FindNodeNumber(document_.get(), node, -1, -1))];
        return std::complex<double>(v.re, v.im);
    };
    EXPECT_NEAR(std::abs(at("LP")), std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(std::arg(at("LP")) * 180.0 / 3.141592653589793, -45.0, 1e-6);
    // 159 Hz lies at log-fraction 0.2018 between the rows.
    const double fraction = std::log10(corner / 100.0);
    EXPECT_NEAR(std::abs(at("T")), 1.0 + 9.0 * fraction, 1e-6);
    EXPECT_NEAR(std::arg(at("T")) * 180.0 / 3.141592653589793, -90.0 * fraction, 1e-6);
    EXPECT_NEAR(std::abs(at("F")), 6.0, 1e-4);
}

}  // namespace
