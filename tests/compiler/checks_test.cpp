// Numbering of unknowns, the topology and DC-path checks, device expressions
// and the binding of device quantities, on small circuits set up by hand.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "compiler/dcpath.h"
#include "compiler/devexpr.h"
#include "compiler/numbering.h"
#include "compiler/options.h"
#include "compiler/setupservices.h"
#include "compiler/topology.h"
#include "core/result.h"
#include "expr/evaluate.h"
#include "models/modeltypes.h"
#include "shell/app.h"
#include "shell/preferences.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompChecksTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        savedAddPaths_ = Prefs().addDcPathToGround;
        savedWarning_ = Prefs().dcPathWarning;
        SetAnalysisKind(0);
        ClearCompileErrorLocation();
    }
    void TearDown() override {
        Prefs().addDcPathToGround = savedAddPaths_;
        Prefs().dcPathWarning = savedWarning_;
        RunState().dynamicAnalysis = -1;
        ClearCompileErrorLocation();
        SetupFixture::TearDown();
    }
    SchematicObject* V(const char* name, int a, int b, const char* value = "5") {
        return AddPart(kTypeVSpice, name, value, {a, b});
    }
    SchematicObject* R(const char* name, int a, int b, const char* value = "1k") {
        return AddPart(kTypeResistor, name, value, {a, b});
    }
    SchematicObject* C(const char* name, int a, int b) { return AddPart(kTypeCapacitor, name, "1u", {a, b}); }
    SchematicObject* L(const char* name, int a, int b) { return AddPart(kTypeInductor, name, "1m", {a, b}); }
    SchematicObject* I(const char* name, int a, int b) { return AddPart(kTypeISpice, name, "1m", {a, b}); }

    // Set-up, numbering and the first vector group, as the compile runs them.
    int Build() {
        int rc = Process();
        if (rc) return rc;
        NumberSimulatorObjects(compiled_);
        return AllocateSolutionVectors(compiled_, kFirstVectorGroup);
    }
    // The id of each message shown by a step.
    template <class F>
    std::vector<int> Shown(F step, int expected) {
        shown_.clear();
        EXPECT_EQ(step(), expected);
        return shown_;
    }
    int Compile(DeviceExpression& expression, const char* text, int setupPass = 0, int complexCurrents = 0) {
        expression.pendingText = text;
        int status = 0;
        CompileDeviceExpression(doc_.get(), &expression, complexCurrents, nullptr, &status, nullptr, setupPass);
        return status;
    }
    double Evaluate(DeviceExpression& expression) {
        ComplexNumber value{0, 0};
        EXPECT_EQ(EvaluateExpression(&expression.compiled, &value), 0);
        return value.re;
    }

    int savedAddPaths_ = 0;
    int savedWarning_ = 1;
    std::string Text() const { return LastMessageText(); }
};

TEST_F(CompChecksTest, UnknownsAreNodesThenInductorsThenSourceBranches) {
    // An RC ladder, a V-R-L loop, and a network of current sources and resistors.
    auto rc = [this] {
        V("V1", 1, 0);
        R("R1", 1, 2);
        C("C1", 2, 0);
        R("R2", 2, 3);
        C("C2", 3, 0);
    };
    auto vrl = [this] {
        V("V1", 1, 0);
        R("R1", 1, 2);
        L("L1", 2, 0);
    };
    auto ir = [this] {
        I("I1", 0, 1);
        R("R1", 1, 2);
        R("R2", 2, 0);
    };
    struct Row {
        const char* name;
        std::function<void()> build;
        int nodes, unknowns, states;
    };
    const Row rows[] = {{"rc ladder", rc, 3, 4, 2}, {"v-r-l", vrl, 2, 4, 1}, {"current sources", ir, 2, 2, 0}};
    for (const Row& row : rows) {
        Reset();
        SetAnalysisKind(0);
        row.build();
        ASSERT_EQ(Build(), 0) << row.name;
        EXPECT_EQ(compiled_->analogNodeCount, row.nodes) << row.name;
        EXPECT_EQ(compiled_->unknownCount, row.unknowns) << row.name;
        EXPECT_EQ(compiled_->solution.size(), static_cast<size_t>(row.unknowns) + 3) << row.name;
        EXPECT_EQ(compiled_->states[0].size(), static_cast<size_t>(4 * row.states)) << row.name;
        // Numbering again gives the same numbers; an AC run sizes for 2N.
        EXPECT_EQ(NumberSimulatorObjects(compiled_), row.unknowns) << row.name;
        SetAnalysisKind(1);
        ASSERT_EQ(AllocateSolutionVectors(compiled_, kSecondVectorGroup), 0);
        EXPECT_EQ(compiled_->rightHandSide.size(), static_cast<size_t>(2 * row.unknowns) + 3) << row.name;
    }
}

TEST_F(CompChecksTest, InductorsComeBeforeSourcesAndCurrentSourcesTakeNone) {
    V("V1", 1, 0);
    L("L1", 1, 2);
    I("I1", 2, 0);
    L("L2", 2, 0);
    ASSERT_EQ(Build(), 0);
    auto inductors = Records<InductorRecord>(kListInductors);
    auto sources = Records<SourceRecord>(kListSpiceSources);
    EXPECT_EQ(inductors[0]->branch, 3);
    EXPECT_EQ(inductors[1]->branch, 4);
    EXPECT_EQ(sources[0]->branch, 5);  // V1
    EXPECT_EQ(sources[1]->branch, 0);  // I1
    EXPECT_EQ(compiled_->unknownCount, 5);
}

TEST_F(CompChecksTest, VoltageLoops) {
    struct Row {
        const char* name;
        std::function<void()> build;
        bool skipInductors;
        int message;
        const char* culprit;  // the part shown with the loop
    };
    const Row rows[] = {
        {"two sources in parallel", [this] { V("V1", 1, 0), V("V2", 1, 0, "3"), R("R1", 1, 0); }, false, 10853, "V2"},
        {"inductor across a source", [this] { V("V1", 1, 0), L("L1", 1, 0); }, false, 10853, "V1"},
        {".SKIP_L_LOOP", [this] { V("V1", 1, 0), L("L1", 1, 0); }, true, 0, nullptr},
        {"chain of sources", [this] { V("V1", 1, 0), V("V2", 2, 1), V("V3", 3, 2), R("R1", 3, 0); }, false, 0, nullptr},
        {"loop away from ground", [this] { V("V1", 1, 0), V("V2", 2, 1), V("V3", 2, 1), R("R1", 2, 0); }, false, 10853,
         "V3"},
        {"shorted source", [this] { V("V1", 1, 1), R("R1", 1, 0); }, false, 10853, "V1"},
    };
    for (const Row& row : rows) {
        Reset();
        SetAnalysisKind(0);
        row.build();
        compiled_->skipInductorLoopCheck = row.skipInductors;
        ASSERT_EQ(Build(), 0) << row.name;
        auto shown = Shown([&] { return CheckVoltageLoops(doc_.get(), compiled_->analogNodeCount); },
                           row.message ? kResultShown : 0);
        EXPECT_EQ(shown, row.message ? std::vector<int>{row.message} : std::vector<int>{}) << row.name;
        if (row.culprit) {
            ASSERT_EQ(CompileErrorLocation().kind, kLocationObject) << row.name;
            EXPECT_EQ(Attribute(CompileErrorLocation().object, kAttrPart), row.culprit) << row.name;
        }
    }
}

TEST_F(CompChecksTest, NodeConnections) {
    struct Row {
        const char* name;
        std::function<void()> build;
        int floatingCheck;
        int message;
    };
    const Row rows[] = {
        {"resistor with a dangling end", [this] { V("V1", 1, 0), R("R1", 1, 2); }, 1, 10842},
        {"preference off", [this] { V("V1", 1, 0), R("R1", 1, 2); }, 0, 0},
        {"source with a dangling end", [this] { V("V1", 1, 0), R("R1", 1, 0), V("V2", 1, 2); }, 1, 0},
        {"O device alone, preference off",
         [this] {
             R("R1", 1, 0), AddPart(kTypeO, "O1", "", {1, 2, 0});
         },
         0, 10855},
        {"connected", [this] { V("V1", 1, 0), R("R1", 1, 0); }, 1, 0},
    };
    for (const Row& row : rows) {
        Reset();
        row.build();
        auto shown =
            Shown([&] { return CheckNodeConnections(doc_.get(), row.floatingCheck); }, row.message ? kResultShown : 0);
        EXPECT_EQ(shown, row.message ? std::vector<int>{row.message} : std::vector<int>{}) << row.name;
        if (row.message == 10842) {
            EXPECT_NE(Text().find("node 2"), std::string::npos) << Text();
            EXPECT_EQ(Attribute(CompileErrorLocation().object, kAttrPart), "R1");
        }
    }
}

TEST_F(CompChecksTest, DcPathToGround) {
    struct Row {
        const char* name;
        std::function<void()> build;
        int addPaths;  // 2: the preference off, but a dynamic DC run
        int result;
        int message;
        const char* named;  // the node list of the message
        int resistorsAdded;
    };
    auto capacitorNode = [this] { V("V1", 1, 0), R("R1", 1, 2), C("C1", 2, 3), C("C2", 3, 0); };
    auto twelve = [this] {
        V("V1", 1, 0), R("R0", 1, 0);
        for (int n = 2; n <= 13; ++n) C(("C" + std::to_string(n)).c_str(), n, 0);
    };
    const Row rows[] = {
        {"capacitor only", capacitorNode, 0, kResultShown, 10856, "Node 3 has", 0},
        {"capacitor only, tied", capacitorNode, 1, 0, 10861, "Node 3 has", 1},
        {"current source", [this] { I("I1", 0, 1), C("C1", 1, 0); }, 0, kResultShown, 10856, "Node 1 has", 0},
        {"voltage source", [this] { V("V1", 1, 0), C("C1", 1, 0); }, 0, 0, 0, "", 0},
        {"inductor path", [this] { V("V1", 1, 0), C("C1", 1, 2), L("L1", 2, 0); }, 0, 0, 0, "", 0},
        {"twelve nodes", twelve, 0, kResultShown, 10863, "Nodes 2, 3, 4, 5, 6, 7, 8, 9, 10 have", 0},
        {"twelve nodes, tied", twelve, 1, 0, 10862, "Nodes 2, 3, 4, 5, 6, 7, 8, 9, 10 have", 12},
        {"dynamic DC mode ties silently", capacitorNode, 2, 0, 0, "", 1},
    };
    for (const Row& row : rows) {
        Reset();
        SetAnalysisKind(0);
        Prefs().addDcPathToGround = row.addPaths == 1;
        RunState().dynamicAnalysis = row.addPaths == 2 ? 2 : -1;
        Prefs().dcPathWarning = 1;
        GetCircuitOptions(doc_.get())->settings.rNodeGnd = 5e9;
        row.build();
        ASSERT_EQ(Build(), 0) << row.name;
        const size_t before = Records<ResistorRecord>(kListResistors).size();
        auto shown = Shown([&] { return BuildNodeAdjacency(doc_.get(), compiled_->analogNodeCount); }, row.result);
        EXPECT_EQ(shown, row.message ? std::vector<int>{row.message} : std::vector<int>{}) << row.name;
        if (row.message) {
            EXPECT_NE(Text().find(row.named), std::string::npos) << Text();
        }
        if (row.result) {
            ASSERT_EQ(CompileErrorLocation().kind, kLocationObject) << row.name;
            EXPECT_EQ(CompileErrorLocation().object->definition->type,
                      row.message == 10856 && row.named[5] == '1' ? kTypeISpice : kTypeCapacitor)
                << row.name;
        }
        auto resistors = Records<ResistorRecord>(kListResistors);
        ASSERT_EQ(resistors.size(), before + row.resistorsAdded) << row.name;
        if (row.resistorsAdded) {
            EXPECT_EQ(resistors.back()->node1, 0);
            EXPECT_DOUBLE_EQ(resistors.back()->working, 5e9);
            // Tied, the circuit passes the check.
            EXPECT_EQ(BuildNodeAdjacency(doc_.get(), compiled_->analogNodeCount), 0) << row.name;
        }
    }
}

TEST_F(CompChecksTest, DeviceExpressionsCompileAfterNumbering) {
    Define(".define X 5");
    V("V1", 1, 0);
    SchematicObject* r1 = R("R1", 1, 2, "{2*X}");
    R("R2", 2, 0, "1k");
    R("R3", 2, 0, "1k+V(1)*TIME");
    R("R4", 2, 0, "MINR(V(1))");
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(ProcessDeviceExpressions(doc_.get(), 0), 0);
    EXPECT_TRUE(shown_.empty()) << Text();
    auto resistors = Records<ResistorRecord>(kListResistors);
    EXPECT_EQ(resistors[0]->value.compiled.TokenCount(), 0);
    EXPECT_DOUBLE_EQ(resistors[0]->working, 10.0);
    EXPECT_EQ(compiled_->FindLink(r1)->value, &resistors[0]->working);
    EXPECT_DOUBLE_EQ(resistors[1]->working, 1000.0);
    EXPECT_GT(resistors[2]->value.compiled.TokenCount(), 0);
    // The expression reads the solution the numbering sized.
    compiled_->solution[1] = 2.0;
    RunVars.time = 3.0;
    ComplexNumber value{0, 0};
    ASSERT_EQ(EvaluateExpression(&resistors[2]->value.compiled, &value), 0);
    EXPECT_DOUBLE_EQ(value.re, 1006.0);
    RunVars.time = 0.0;
    EXPECT_EQ(compiled_->devices[kListResistors].hasStatefulExpressions, 1);

    // A failing text stops the pass; the later ones are dropped.
    Reset();
    SetAnalysisKind(0);
    V("V1", 1, 0);
    SchematicObject* bad = R("R1", 1, 0, "1k+NOSUCH");
    R("R2", 1, 0, "2k+V(1)");
    ASSERT_EQ(Build(), 0);
    shown_.clear();
    EXPECT_EQ(ProcessDeviceExpressions(doc_.get(), 0), kResultShown);
    EXPECT_EQ(shown_.size(), 1u);
    EXPECT_EQ(CompileErrorLocation().object, bad);
    EXPECT_FALSE(Records<ResistorRecord>(kListResistors)[1]->value.HasText());
    EXPECT_EQ(Records<ResistorRecord>(kListResistors)[1]->value.compiled.TokenCount(), 0);
}

TEST_F(CompChecksTest, QuantitiesOfPartsAndNodePairs) {
    V("V1", 1, 0);
    R("R1", 1, 2, "1k");
    R("R2", 2, 0, "2k");
    C("C1", 2, 3);
    L("L1", 3, 0);
    R("R3", 4, 0);
    R("R4", 4, 0);
    ASSERT_EQ(Build(), 0);
    ASSERT_EQ(ProcessDeviceExpressions(doc_.get(), 0), 0);
    std::vector<double>& s = compiled_->solution;
    s[1] = 5.0, s[2] = 2.0, s[3] = 0.5;
    const int l1 = Records<InductorRecord>(kListInductors)[0]->branch;
    const int v1 = Records<SourceRecord>(kListSpiceSources)[0]->branch;
    s[l1] = 0.25, s[v1] = -0.003;
    Records<ResistorRecord>(kListResistors)[0]->power[kPowerDissipated] = {0.5, 0};
    Records<SourceRecord>(kListSpiceSources)[0]->power[kPowerGenerated] = {0.015, 0};
    struct Row {
        const char* text;
        int message;
        double value;
    };
    const Row rows[] = {
        {"V(R1)", 0, 3.0},    {"V(C1)", 0, 1.5},     {"V(2)", 0, 2.0},     {"I(R1)", 0, 0.003},
        {"I(1,2)", 0, 0.003}, {"I(2,1)", 0, -0.003}, {"I(L1)", 0, 0.25},   {"I(V1)", 0, -0.003},
        {"R(R2)", 0, 2000.0}, {"L(L1)", 0, 1e-3},    {"C(3,2)", 0, 1e-6},  {"I(4,0)", 10414, 0},
        {"I(1,4)", 10413, 0}, {"I(XYZ)", 10412, 0},  {"IB(R1)", 10416, 0}, {"I(2)", 10416, 0},
        {"R(C1)", 10416, 0},  {"PD(R1)", 0, 0.5},    {"PG(V1)", 0, 0.015}, {"Q(C1)", kResultNotBuilt, 0},
    };
    for (const Row& row : rows) {
        DeviceExpression e;
        shown_.clear();
        EXPECT_EQ(Compile(e, row.text, 2), row.message ? kResultShown : 0) << row.text;
        EXPECT_EQ(shown_, row.message ? std::vector<int>{row.message} : std::vector<int>{}) << row.text;
        if (!row.message) {
            EXPECT_NEAR(Evaluate(e), row.value, 1e-12) << row.text;
        }
    }
}

TEST_F(CompChecksTest, EnergyIsTheRunningIntegralOfPower) {
    V("V1", 1, 0);
    R("R1", 1, 0);
    ASSERT_EQ(Build(), 0);
    DeviceExpression e;
    ASSERT_EQ(Compile(e, "ED(R1)", 2), 0);
    EXPECT_NE(e.compiled.flags & kExprFlagRunningIntegral, 0u);
    char text[200];
    EXPECT_NE(std::string(FormatExpressionTokens(&e.compiled, text, sizeof text)).find("PD(R1)"), std::string::npos)
        << text;
    ResistorRecord* r1 = Records<ResistorRecord>(kListResistors)[0];
    EXPECT_NE(r1->powerRefs & kRefDeviceExpressions, 0);
    EXPECT_EQ(r1->quantityRefs, 0);
}

TEST_F(CompChecksTest, CurrentMeterOfACapacitorPin) {
    V("V1", 1, 0);
    R("R1", 1, 2);
    C("C1", 2, 0);
    ASSERT_EQ(Process(), 0);
    // The trial compiles before numbering: one meter, however often it is read.
    DeviceExpression trial;
    ASSERT_EQ(Compile(trial, "I(C1)*2", 1), 0);
    ASSERT_EQ(Compile(trial, "I(C1)+1", 1), 0);
    EXPECT_EQ(compiled_->analogNodeCount, 3);
    auto sources = Records<SourceRecord>(kListSpiceSources);
    ASSERT_EQ(sources.size(), 2u);
    CapacitorRecord* c1 = Records<CapacitorRecord>(kListCapacitors)[0];
    SourceRecord* meter = sources[1];
    EXPECT_EQ(meter->meteredSlot, &c1->node1);
    EXPECT_EQ(meter->node1, 2);
    EXPECT_EQ(meter->node2, 3);
    EXPECT_DOUBLE_EQ(meter->working, 0.0);
    EXPECT_EQ(c1->node1, 3);
    EXPECT_EQ(NumberSimulatorObjects(compiled_), 5);  // 3 nodes, V1 and the meter
    ASSERT_EQ(AllocateSolutionVectors(compiled_, kFirstVectorGroup), 0);
    EXPECT_EQ(CheckVoltageLoops(doc_.get(), compiled_->analogNodeCount), 0);
    EXPECT_EQ(BuildNodeAdjacency(doc_.get(), compiled_->analogNodeCount), 0);  // the meter node hangs on node 2

    // After numbering the current reads the meter's branch.
    DeviceExpression bound;
    ASSERT_EQ(Compile(bound, "I(C1)*2", 2), 0);
    compiled_->solution[meter->branch] = 0.125;
    EXPECT_DOUBLE_EQ(Evaluate(bound), 0.25);
    EXPECT_EQ(Records<SourceRecord>(kListSpiceSources).size(), 2u);
    EXPECT_NE(meter->quantityRefs, 0);
}

}  // namespace

namespace {

TEST_F(CompChecksTest, WarningsAndCoreTurns) {
    // A part named like a node is only a warning.
    V("V1", 1, 0);
    R("OUT", 1, 0);
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Shown([&] { return CheckPartNodeNames(doc_.get()); }, 0), std::vector<int>{});
    doc_->build.nodeNames.push_back({"OUT", 1, 1, 0});
    EXPECT_EQ(Shown([&] { return CheckPartNodeNames(doc_.get()); }, 0), std::vector<int>{10866});

    // AC runs: every source without AC magnitude is warned about, once one has it not.
    SetAnalysisKind(1);
    Prefs().acSignalWarning = 1;
    EXPECT_EQ(Shown(
                  [&] {
                      WarnZeroAcMagnitudes(doc_.get());
                      return 0;
                  },
                  0),
              std::vector<int>{11891});
    Records<SourceRecord>(kListSpiceSources)[0]->values[kSourceFieldAcMagnitude] = 1.0;
    EXPECT_EQ(Shown(
                  [&] {
                      WarnZeroAcMagnitudes(doc_.get());
                      return 0;
                  },
                  0),
              std::vector<int>{});

    // The windings of a coupling on a core count turns.
    Reset();
    SetAnalysisKind(0);
    L("L1", 1, 0);
    L("L2", 1, 0);
    ASSERT_EQ(Process(), 0);
    auto* k = DeviceLists()[kListInductorCouplings].pool.AddNewConstructed<InductorCouplingRecord>(
        DeviceListCreationKind[kListInductorCouplings]);
    ASSERT_NE(k, nullptr);
    auto inductors = Records<InductorRecord>(kListInductors);
    k->inductors = {inductors[0], inductors[1]};
    inductors[0]->working = 20.0;
    inductors[1]->working = 0.5;
    EXPECT_EQ(Shown([&] { return CheckTransformerTurns(doc_.get()); }, 0), std::vector<int>{});  // no core
    k->model = DefaultModelRecord(doc_.get(), kModelCore);
    ASSERT_NE(k->model, nullptr);
    EXPECT_EQ(Shown([&] { return CheckTransformerTurns(doc_.get()); }, kResultShown), std::vector<int>{10848});
    EXPECT_EQ(CompileErrorLocation().object, inductors[1]->part);
}

}  // namespace
