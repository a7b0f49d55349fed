// Function sources linearised with the symbolic derivatives of their formulas:
// the derivative mode each source gets, and the same operating points and
// transients as with derivatives by perturbation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "compiler/behavsetup.h"
#include "compiler/compiled.h"
#include "document/attributes.h"
#include "engine/transient.h"
#include "tests/devices/deck_fixture.h"

namespace {

constexpr const char* kNumeric = ".OPTIONS NUMERIC_DERIVATIVE\n";

// Nonlinear function sources of every dependency kind: a node voltage in an
// exponential, a square, a product of two nodes and a branch current.
constexpr const char* kLoads =
    "V1 IN 0 {SUPPLY}\nR1 IN A 1K\nG1 A 0 VALUE={1m*(EXP(V(A))-1)}\n"
    "R2 IN B 1K\nG2 B 0 VALUE={(V(B)+5)^2*1m}\n"
    "R3 IN C 2K\nE1 D 0 VALUE={V(C)*V(A)+LIMIT(V(B),0,1)}\nR4 D 0 1K\nR5 C 0 2K\n"
    "VS IN F 0\nR6 F 0 500\nG3 0 E VALUE={2*I(VS)*SIN(V(IN)/5)}\nR7 E 0 1K\n";

const char* const kNodes[] = {"A", "B", "C", "D", "E"};

std::string Deck(const char* supply, bool numeric, const char* extra = "", const char* loads = kLoads) {
    std::string deck = std::string("F\n") + (numeric ? kNumeric : "") + loads + extra + ".END\n";
    const size_t at = deck.find("{SUPPLY}");
    deck.replace(at, 8, supply);
    return deck;
}

using FunctionSourceDerivatives = DeckOperatingPointFixture;

TEST_F(FunctionSourceDerivatives, AlgebraicAndNumericOperatingPointsAgree) {
    std::vector<double> numeric;
    ASSERT_EQ(OperatingPoint(Deck("3", true)), 0) << LastMessageText();
    for (const char* node : kNodes) numeric.push_back(V(node));
    for (FunctionSourceRecord* s : Records<FunctionSourceRecord>(kListFunctionSources)) {
        EXPECT_EQ(s->numericDerivatives, 1);
        for (const FunctionDependency& d : s->dependencies) EXPECT_EQ(d.derivativeFormula, nullptr);
    }
    Restart();
    ASSERT_EQ(OperatingPoint(Deck("3", false)), 0) << LastMessageText();
    for (size_t i = 0; i < numeric.size(); ++i)
        EXPECT_NEAR(V(kNodes[i]), numeric[i], 1e-6 * (1 + std::fabs(numeric[i]))) << kNodes[i];
    // The stamped slopes are the formulas' own: d((V(B)+5)^2*1m)/dV(B) = 2m*(V(B)+5).
    for (FunctionSourceRecord* s : Records<FunctionSourceRecord>(kListFunctionSources)) {
        EXPECT_EQ(s->numericDerivatives, 0);
        for (const FunctionDependency& d : s->dependencies) ASSERT_NE(d.derivativeFormula, nullptr);
    }
    const FunctionSourceRecord* square = Records<FunctionSourceRecord>(kListFunctionSources)[1];
    ASSERT_EQ(square->dependencies.size(), 1u);
    EXPECT_NEAR(square->dependencies[0].derivative, 2e-3 * (V("B") + 5), 1e-12);
}

TEST_F(FunctionSourceDerivatives, ModeFollowsOptionAttributeAndFormula) {
    ASSERT_EQ(OperatingPoint(Deck("2", false, "G4 0 H VALUE={TABLE(V(A),0,0,5,5)}\nR8 H 0 1K\n")), 0)
        << LastMessageText();
    std::vector<FunctionSourceRecord*> sources = Records<FunctionSourceRecord>(kListFunctionSources);
    ASSERT_EQ(sources.size(), 5u);
    // TABLE has no derivative: that source is perturbed, the others are not.
    EXPECT_EQ(sources[0]->numericDerivatives, 0);
    EXPECT_EQ(sources[4]->numericDerivatives, 1);
    EXPECT_NEAR(V("H"), 1000 * V("A"), 1e-9 * V("H"));

    FunctionSourceRecord* s = sources[0];
    ASSERT_NE(s->part, nullptr);
    struct Case {
        const char* attribute;
        int option;
        int mode;
    } cases[] = {{"", 0, 0}, {"", 1, 1}, {"numeric", 0, 1}, {" Algebraic ", 1, 0}, {"other", 1, 1}};
    for (const Case& c : cases) {
        SetAttribute(document_.get(), s->part, "DERIVATIVE", c.attribute);
        EXPECT_EQ(FunctionSourceDerivativeMode(*s, c.option), c.mode) << c.attribute << " " << c.option;
    }
    EXPECT_EQ(FunctionSourceDerivativeMode(*sources[4], 0), 1);
}

class FunctionSourceTransient : public DeckOperatingPointFixture {
protected:
    struct Host : TransientHost {
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
        void ReportRunError(int, double) override {}
        bool Confirm(int, double) override { return true; }
        std::vector<int32_t> nodes;
        std::vector<double> times;
        std::vector<std::vector<double>> points;
    };
    // The run's curves of kNodes, interpolated at `at`.
    std::vector<std::vector<double>> Run(const std::string& deck, const std::vector<double>& at) {
        SetAnalysisKind(0);
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return {};
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        EXPECT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
        EXPECT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        Host host;
        for (const char* node : kNodes) host.nodes.push_back(FindNodeNumber(document_.get(), node, -1, -1));
        TransientRun run;
        TransientLimits limits;
        limits.tmax = 2e-3;
        limits.maxTimeStep = 2e-5;
        EXPECT_EQ(RunTransient(state_, run, limits, host), 0) << LastMessageText() << " at " << state_.Time;
        std::vector<std::vector<double>> curves(host.nodes.size());
        for (double t : at) {
            const size_t i =
                static_cast<size_t>(std::lower_bound(host.times.begin(), host.times.end(), t) - host.times.begin());
            if (i == 0 || i >= host.times.size()) continue;
            const double f = (t - host.times[i - 1]) / (host.times[i] - host.times[i - 1]);
            for (size_t n = 0; n < curves.size(); ++n)
                curves[n].push_back(host.points[i - 1][n] + f * (host.points[i][n] - host.points[i - 1][n]));
        }
        return curves;
    }
};

TEST_F(FunctionSourceTransient, AlgebraicAndNumericRunsAgree) {
    std::vector<double> at;
    for (int i = 1; i < 40; ++i) at.push_back(i * 5e-5);
    // Smooth formulas only: LIMIT's corners make both runs shrink their steps alike.
    std::string loads = kLoads;
    loads.replace(loads.find("LIMIT(V(B),0,1)"), 15, "V(B)*V(B)");
    const auto numeric = Run(Deck("SIN(1 2 1K)", true, "", loads.c_str()), at);
    Restart();
    const auto algebraic = Run(Deck("SIN(1 2 1K)", false, "", loads.c_str()), at);
    ASSERT_EQ(numeric.size(), algebraic.size());
    for (size_t n = 0; n < numeric.size(); ++n) {
        ASSERT_EQ(numeric[n].size(), at.size() - 0) << kNodes[n];
        ASSERT_EQ(algebraic[n].size(), numeric[n].size());
        for (size_t i = 0; i < numeric[n].size(); ++i)
            EXPECT_NEAR(algebraic[n][i], numeric[n][i], 2e-3 * (1 + std::fabs(numeric[n][i])))
                << kNodes[n] << " " << at[i];
    }
}

}  // namespace
