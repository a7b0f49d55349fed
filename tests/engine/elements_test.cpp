// The built-in element loads on a compiled deck: the matrix and right-hand side
// they stamp equal a hand-written modified-nodal-analysis system at a DC point
// and at a transient step, the DC system solves to the hand-computed bias, and
// .IC / .NODESET values tie their nodes only while they are due.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/spicereader.h"
#include "compiler/stmtstate.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/elements.h"
#include "engine/sparse.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/runstate.h"
#include "shell/preferences.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

template <class Record>
Record* First(CompiledCircuit* compiled, int list) {
    for (PoolItem* item = compiled->devices[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) return static_cast<Record*>(item);
    return nullptr;
}

class ElementsTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
    }
    void TearDown() override {
        library_.reset();
        if (document_) {
            ReleaseSpiceReader(document_.get());
            ReleaseCompiledCircuit(document_.get());
            ReleaseDefineTable(document_.get());
        }
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }

    // Compiles the deck and binds a state with a DC matrix to it; the set-up
    // at temperature is not part of these tests, so the factors are 1.
    void Build(const std::string& text) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        ASSERT_NE(compiled_, nullptr);
        for (int list : {kListResistors, kListCapacitors, kListInductors}) {
            for (PoolItem* item = compiled_->devices[list].pool.first; item; item = item->next) {
                if (list == kListResistors) static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
                if (list == kListCapacitors) {
                    static_cast<CapacitorRecord*>(item)->temperatureFactor = 1.0;
                    static_cast<CapacitorRecord*>(item)->constantCapacitance = 1;
                }
                if (list == kListInductors) static_cast<InductorRecord*>(item)->temperatureFactor = 1.0;
            }
        }
        state_.Circuit = compiled_;
        state_.NodeCount = compiled_->analogNodeCount;
        const size_t equations = static_cast<size_t>(compiled_->unknownCount) + 1;
        state_.Solution.assign(equations, 0.0);
        state_.Rhs.assign(equations, 0.0);
        state_.StateCount = compiled_->capacitorCount + compiled_->inductorCount;
        state_.StateValues.assign(4 * static_cast<size_t>(state_.StateCount), 0.0);
        state_.StateDerivatives.assign(4 * static_cast<size_t>(state_.StateCount), 0.0);
        ASSERT_EQ(SparseMatrix::Create(state_.DcPair.matrix), 0);
        state_.DcPair.entries.matrix = state_.DcPair.matrix.get();
        state_.Installed = &state_.DcPair;
    }

    void ReserveAll() {
        ASSERT_EQ(ReserveIndependentSources(state_), 0);
        ASSERT_EQ(ReserveResistors(state_, memory_), 0);
        ASSERT_EQ(ReserveInductors(state_), 0);
        ASSERT_EQ(ReserveCapacitors(state_, memory_), 0);
        ASSERT_EQ(ReserveInitialConditions(state_), 0);
    }
    void LoadAll() {
        ResetLoad(*state_.Entries(), state_.Cursor, state_.Rhs.data(), state_.Rhs.size(), false);
        LoadIndependentSources(state_);
        ASSERT_EQ(LoadResistors(state_, memory_), 0);
        ASSERT_EQ(LoadInductors(state_), 0);
        ASSERT_EQ(LoadCapacitors(state_, memory_), 0);
        LoadInitialConditions(state_);
        // Every load stamped exactly what it reserved.
        EXPECT_EQ(state_.Cursor.Position(), state_.Entries()->Size());
    }

    // The stamped matrix must equal `expected` (dense, by equation number).
    void ExpectMatrix(const std::vector<std::vector<double>>& expected) {
        const int32_t n = compiled_->unknownCount;
        for (int32_t r = 1; r <= n; ++r) {
            for (int32_t c = 1; c <= n; ++c) {
                EXPECT_NEAR(state_.Matrix()->GetElement(r, c)->Real, expected[r][c],
                            1e-12 * (1 + std::fabs(expected[r][c])))
                    << "(" << r << ", " << c << ")";
            }
        }
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    CompiledCircuit* compiled_ = nullptr;
    SimulatorState state_;
    ElementLoadMemory memory_;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};

const char* const kDeck =
    "LOADS\n"
    "V1 A 0 2\n"
    "R1 A B 1K\n"
    "C1 B 0 1N\n"
    "L1 B C 1U\n"
    "R2 C 0 500\n"
    "I1 0 C 1M\n"
    ".OP\n"
    ".END\n";

struct Unknowns {
    int32_t a, b, c, inductor, source;
};

Unknowns Find(CompiledCircuit* compiled) {
    auto* r1 = First<ResistorRecord>(compiled, kListResistors);
    auto* l1 = First<InductorRecord>(compiled, kListInductors);
    SourceRecord* v1 = nullptr;
    for (PoolItem* item = compiled->devices[kListSpiceSources].pool.first; item; item = item->next) {
        auto* source = static_cast<SourceRecord*>(item);
        if (source->sourceKind == kSourceVoltage) v1 = source;
    }
    return Unknowns{r1->node1, r1->node2, l1->node2, l1->branch, v1 ? v1->branch : 0};
}

TEST_F(ElementsTest, DcStampsMatchTheHandWrittenSystemAndSolve) {
    Build(kDeck);
    ASSERT_EQ(compiled_->unknownCount, 5);
    const Unknowns u = Find(compiled_);
    ASSERT_GT(u.source, 0);
    state_.AnalysisPhase = kPhaseDc;
    state_.ChargeTermsActive = 0;
    state_.UseSolutionVoltages = 1;
    state_.IterationMode = kModeFloat;
    ReserveAll();
    LoadAll();

    std::vector<std::vector<double>> m(6, std::vector<double>(6, 0.0));
    const double g1 = 1e-3, g2 = 2e-3;
    m[u.a][u.a] += g1;
    m[u.a][u.b] -= g1;
    m[u.b][u.a] -= g1;
    m[u.b][u.b] += g1;
    m[u.c][u.c] += g2;
    m[u.inductor][u.b] = 1;  // V(B) - V(C) = 0 at DC
    m[u.inductor][u.c] = -1;
    m[u.b][u.inductor] = 1;
    m[u.c][u.inductor] = -1;
    m[u.source][u.a] = 1;
    m[u.a][u.source] = 1;
    ExpectMatrix(m);
    std::vector<double> rhs(6, 0.0);
    rhs[u.source] = 2.0;
    rhs[u.c] = 1e-3;  // I1 drives its current from ground into C
    for (int i = 1; i <= 5; ++i) EXPECT_NEAR(state_.Rhs[i], rhs[i], 1e-15) << i;

    // (2 - v) / 1k + 1m = v / 500 gives v = 1 at both ends of the inductor.
    ASSERT_EQ(state_.Matrix()->FactorReal(), 0);
    std::vector<double> solution(6, 0.0);
    ASSERT_EQ(state_.Matrix()->Solve(state_.Rhs.data(), solution.data()), 0);
    EXPECT_NEAR(solution[u.a], 2.0, 1e-12);
    EXPECT_NEAR(solution[u.b], 1.0, 1e-12);
    EXPECT_NEAR(solution[u.c], 1.0, 1e-12);
    EXPECT_NEAR(solution[u.inductor], 1e-3, 1e-15);  // 1 mA from B to C
}

TEST_F(ElementsTest, TransientStampsCarryTheCompanionModels) {
    Build(kDeck);
    const Unknowns u = Find(compiled_);
    state_.AnalysisPhase = kPhaseTransient;
    state_.ChargeTermsActive = 1;
    state_.UseSolutionVoltages = 1;
    state_.IterationMode = kModeFloat;
    state_.Formula.IntegrationMethod = kIntegrationTrapezoidal;
    state_.Formula.IntegrationOrder = 1;
    state_.Formula.TimeStep = 1e-9;
    ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
    ReserveAll();

    // The capacitor (block 0) at 0.5 V after 0.2 nC; the inductor (block 1)
    // at 2 mA after a flux of 1 nWb.
    state_.Solution[u.b] = 0.5;
    state_.Solution[u.inductor] = 2e-3;
    state_.StateValues[1] = 0.2e-9;
    state_.StateValues[4 + 1] = 1e-9;
    LoadAll();

    std::vector<std::vector<double>> m(6, std::vector<double>(6, 0.0));
    const double g1 = 1e-3, g2 = 2e-3, gc = 1e-9 / 1e-9, gl = 1e-6 / 1e-9;
    m[u.a][u.a] += g1;
    m[u.a][u.b] -= g1;
    m[u.b][u.a] -= g1;
    m[u.b][u.b] += g1 + gc;
    m[u.c][u.c] += g2;
    m[u.inductor][u.b] = 1;
    m[u.inductor][u.c] = -1;
    m[u.b][u.inductor] = 1;
    m[u.c][u.inductor] = -1;
    m[u.inductor][u.inductor] = -gl;
    m[u.source][u.a] = 1;
    m[u.a][u.source] = 1;
    ExpectMatrix(m);
    // Capacitor: current (0.5n - 0.2n) / 1n = 0.3 A, ceq = 0.3 - 0.5 = -0.2.
    // Inductor: dflux/dt = (2n - 1n) / 1n = 1 V, ceq = 1 - 1000 * 2m = -1.
    EXPECT_NEAR(state_.StateDerivatives[0], 0.3, 1e-12);
    EXPECT_NEAR(state_.Rhs[u.b], 0.2, 1e-12);
    EXPECT_NEAR(state_.Rhs[u.inductor], -1.0, 1e-12);
    EXPECT_NEAR(state_.Rhs[u.c], 1e-3, 1e-15);
    EXPECT_NEAR(state_.Rhs[u.source], 2.0, 1e-15);
}

TEST_F(ElementsTest, AZeroResistorLoadsAsRminAndSourcesScale) {
    Build("Z\nV1 A 0 4\nR1 A 0 0\n.OP\n.END\n");
    const Unknowns u{First<ResistorRecord>(compiled_, kListResistors)->node1, 0, 0, 0, 0};
    ReserveAll();
    state_.SourceScale = 0.25;
    LoadAll();
    EXPECT_NEAR(state_.Matrix()->GetElement(u.a, u.a)->Real, 1.0 / state_.Options.rmin, 1e-3);
    int32_t branch = compiled_->analogNodeCount + 1;
    EXPECT_EQ(state_.Rhs[branch], 1.0);
}

// A .NODESET value ties its node only in the junction and fix iterations of
// the first operating point; an .IC value in every DC iteration unless the
// run starts from initial conditions.
TEST_F(ElementsTest, InitialConditionsTieTheirNodesOnlyWhileDue) {
    Build("N\nV1 A 0 1\nR1 A B 1K\nR2 B 0 1K\n.OP\n.END\n");
    const int32_t b = First<ResistorRecord>(compiled_, kListResistors)->node2;
    std::vector<InitialConditionEntry> table(1);
    table[0].kind = 'V';
    table[0].value = 0.7;
    table[0].node1 = b;
    state_.InitialConditionTable = &table;
    ReserveAll();

    struct Case {
        int32_t nodeset, ic, useIc, phase, mode, iterations;
        bool active;
    };
    const Case cases[] = {
        {1, 0, 0, kPhaseDc, kModeInitJunction, 0, true},  {1, 0, 0, kPhaseDc, kModeInitFix, 0, true},
        {1, 0, 0, kPhaseDc, kModeFloat, 0, false},        {1, 0, 0, kPhaseDc, kModeInitJunction, 3, false},
        {0, 1, 0, kPhaseDc, kModeFloat, 9, true},         {0, 1, 1, kPhaseDc, kModeFloat, 9, false},
        {0, 1, 0, kPhaseTransient, kModeFloat, 9, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        state_.HasNodeset = c.nodeset;
        state_.HasInitialConditions = c.ic;
        state_.UseInitialConditions = c.useIc;
        state_.AnalysisPhase = c.phase;
        state_.IterationMode = c.mode;
        state_.TotalIterations = c.iterations;
        state_.LoadAnalysis = kLoadOperatingPoint;
        LoadAll();
        const double g = c.active ? 1e6 : 1e-20;
        EXPECT_NEAR(state_.Matrix()->GetElement(b, b)->Real, 2e-3 + g, 1e-9);
        EXPECT_NEAR(state_.Rhs[b], c.active ? 0.7e6 : 0.0, 1e-6);
    }
}

// Coupled inductors: each flux takes M times the other current, and the
// branch rows carry -Ag0 M on each other's currents.
TEST_F(ElementsTest, CoupledInductorsShareTheirFlux) {
    Build("K\nV1 A 0 1\nR0 A C 10\nL1 C 0 1U\nL2 B 0 4U\nR1 B 0 1K\nK1 L1 L2 0.5\n.OP\n.END\n");
    InductorRecord* l1 = nullptr;
    InductorRecord* l2 = nullptr;
    for (PoolItem* item = compiled_->devices[kListInductors].pool.first; item; item = item->next) {
        auto* l = static_cast<InductorRecord*>(item);
        (l1 == nullptr ? l1 : l2) = l;
    }
    ASSERT_NE(l2, nullptr);
    if (l1->node1 == l2->node1) std::swap(l1, l2);
    // The compiler resolves a K statement's inductors; a coupling left
    // without them refuses to reserve rather than couple nothing.
    auto* k = First<InductorCouplingRecord>(compiled_, kListInductorCouplings);
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->inductors.size(), 2u);
    EXPECT_TRUE((k->inductors[0] == l1 && k->inductors[1] == l2) || (k->inductors[0] == l2 && k->inductors[1] == l1));
    k->inductors.clear();
    EXPECT_EQ(ReserveInductors(state_), kResultNotBuilt);
    state_.DcPair.entries.Clear();
    k->inductors = {l1, l2};
    state_.AnalysisPhase = kPhaseTransient;
    state_.ChargeTermsActive = 1;
    state_.UseSolutionVoltages = 1;
    state_.IterationMode = kModeFloat;
    state_.Formula.IntegrationMethod = kIntegrationGear;
    state_.Formula.IntegrationOrder = 1;
    state_.Formula.TimeStep = 1e-9;
    state_.Formula.PreviousSteps[0] = 1e-9;
    ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
    ReserveAll();
    state_.Solution[l1->branch] = 1e-3;
    state_.Solution[l2->branch] = 2e-3;
    LoadAll();

    const double mutual = 0.5 * std::sqrt(1e-6 * 4e-6);  // 1 uH
    SparseMatrix* m = state_.Matrix();
    EXPECT_NEAR(m->GetElement(l1->branch, l2->branch)->Real, -1e9 * mutual, 1e-9);
    EXPECT_NEAR(m->GetElement(l2->branch, l1->branch)->Real, -1e9 * mutual, 1e-9);
    EXPECT_NEAR(m->GetElement(l1->branch, l1->branch)->Real, -1e9 * (l1->working == 1e-6 ? 1e-6 : 4e-6), 1e-6);
    // Flux of L1: L1 i1 + M i2; the companion current is its derivative minus
    // Ag0 times the flux, 0 from a zero history.
    const int32_t b1 = InductorStateBlock(state_, compiled_->devices[kListInductors].pool.first == l1 ? 0 : 1);
    EXPECT_NEAR(state_.StateValues[4 * b1], l1->working * 1e-3 + mutual * 2e-3, 1e-18);
    EXPECT_NEAR(state_.Rhs[l1->branch], 0.0, 1e-12);
}

// A capacitor with a voltage coefficient stores the integral of its
// capacitance, and its companion current is taken about the present voltage;
// at a DC point no capacitor drives a current, whatever its history.
TEST_F(ElementsTest, VoltageDependentCapacitorAndDcPoint) {
    Build("C\nV1 A 0 1\nR1 A B 1K\nC1 B 0 1N\n.OP\n.END\n");
    auto* c = First<CapacitorRecord>(compiled_, kListCapacitors);
    std::vector<double> values = {1.0, 0.1, 0.0};
    ModelRecord model{};
    model.Values = values.data();
    c->model = &model;
    c->constantCapacitance = 0;
    const int32_t b = c->node1;
    ReserveAll();

    state_.AnalysisPhase = kPhaseTransient;
    state_.ChargeTermsActive = 1;
    state_.UseSolutionVoltages = 1;
    state_.IterationMode = kModeFloat;
    state_.Formula.IntegrationMethod = kIntegrationGear;
    state_.Formula.IntegrationOrder = 1;
    state_.Formula.TimeStep = 1e-9;
    state_.Formula.PreviousSteps[0] = 1e-9;
    ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
    state_.Solution[b] = 2.0;
    LoadAll();
    const double c0 = c->working;
    const double q = c0 * 2.0 * (1.0 + 0.1 * 2.0 / 2.0);
    const double cap = c0 * (1.0 + 0.1 * 2.0);
    EXPECT_NEAR(state_.StateValues[0], q, 1e-21);
    EXPECT_NEAR(state_.Matrix()->GetElement(b, b)->Real, 1e-3 + 1e9 * cap, 1e-6);
    // ceq = dq/dt - geq v, drawn out of node B.
    EXPECT_NEAR(state_.Rhs[b], -(1e9 * q - 1e9 * cap * 2.0), 1e-9);

    // A DC point with a history that would return a current under the
    // trapezoidal rule: the capacitor stays open.
    state_.AnalysisPhase = kPhaseDc;
    state_.ChargeTermsActive = 0;
    state_.Formula.IntegrationMethod = kIntegrationTrapezoidal;
    state_.Formula.IntegrationOrder = 2;
    ASSERT_TRUE(ComputeIntegrationCoefficients(state_.Formula));
    state_.StateDerivatives[1] = 5.0;
    LoadAll();
    EXPECT_EQ(state_.Rhs[b], 0.0);
    EXPECT_NEAR(state_.Matrix()->GetElement(b, b)->Real, 1e-3, 1e-15);
    c->model = nullptr;
}

}  // namespace
