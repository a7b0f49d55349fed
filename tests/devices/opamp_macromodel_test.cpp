// The level-3 OPAMP: the compile expands it into its macromodel elements, the
// set-up at temperature writes their values, and the whole amplifier solves:
// a voltage follower follows its input.
#include <gtest/gtest.h>

#include <cmath>

#include "compiler/compiled.h"
#include "compiler/depsources.h"
#include "compiler/numbering.h"
#include "compiler/opampsetup.h"
#include "compiler/options.h"
#include "compiler/setupservices.h"
#include "core/result.h"
#include "devices/opamp.h"
#include "devices/temperature.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "engine/state.h"
#include "expr/runvars.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class OpampMacromodelTest : public SetupFixture {
protected:
    // An opamp with pins NC+ 1, NC- 2, VEE 3, VO 4, VCC 5 unless given.
    SchematicObject* Opamp(const char* model, std::vector<int> pins = {1, 2, 3, 4, 5}) {
        Model(model);
        SchematicObject* part = AddPart(kTypeOpamp, "U1", nullptr, pins);
        SetAttribute(doc_.get(), part, kAttrModel, "OA");
        return part;
    }
    template <class T>
    size_t Count(int list) {
        return Records<T>(list).size();
    }
};

TEST_F(OpampMacromodelTest, EachInputTypeBuildsItsElements) {
    struct Case {
        const char* model;
        int bipolars, jfets;
        int collectorSupply, tailSupply;
        double tailSign;
    };
    const Case cases[] = {
        {".MODEL OA OPA (LEVEL=3 TYPE=1)", 2, 0, 5, 3, 1},
        {".MODEL OA OPA (LEVEL=3 TYPE=2)", 2, 0, 3, 5, -1},
        {".MODEL OA OPA (LEVEL=3 TYPE=3)", 0, 2, 3, 5, -1},
    };
    for (const Case& c : cases) {
        Reset();
        Opamp(c.model);
        const int nodes = compiled_->analogNodeCount;
        ASSERT_EQ(Process(), 0) << c.model << LastMessageText();
        EXPECT_EQ(compiled_->analogNodeCount, nodes + 15) << c.model;
        EXPECT_EQ(Count<SourceRecord>(kListSpiceSources), 7u) << c.model;
        EXPECT_EQ(Count<PolySourceRecord>(kListPolySources), 5u) << c.model;
        EXPECT_EQ(Count<CapacitorRecord>(kListCapacitors), 3u) << c.model;
        EXPECT_EQ(Count<ResistorRecord>(kListResistors), 9u) << c.model;
        EXPECT_EQ(Count<DiodeRecord>(kListDiodes), 5u) << c.model;
        EXPECT_EQ(Count<BipolarRecord>(kListBipolars), static_cast<size_t>(c.bipolars)) << c.model;
        EXPECT_EQ(Count<JfetRecord>(kListJfets), static_cast<size_t>(c.jfets)) << c.model;
        const OpampRecord* opamp = Records<OpampRecord>(kListOpamps)[0];
        EXPECT_EQ(opamp->rc1->node1, c.collectorSupply) << c.model;
        EXPECT_EQ(opamp->rc2->node1, c.collectorSupply) << c.model;
        EXPECT_EQ(opamp->tail->node1, nodes + 5) << c.model;
        EXPECT_EQ(opamp->tail->node2, c.tailSupply) << c.model;
        EXPECT_EQ(opamp->tail->dcValue > 0 ? 1 : -1, c.tailSign) << c.model;
        if (c.jfets) {
            EXPECT_NE(opamp->j1->model, opamp->j2->model) << "each input device has its own model";
        }
        if (c.bipolars) {
            EXPECT_NE(opamp->q1->model, opamp->q2->model);
            EXPECT_NEAR(opamp->q1->model->Values[0], 1e-16, 1e-30);  // Q1 keeps the default IS
            EXPECT_GT(opamp->q2->model->Values[0], 1e-16);           // Q2's carries the offset
        }
        EXPECT_EQ(opamp->d3->model, opamp->d5->model) << "the clamps share the supply diode's model";
        EXPECT_DOUBLE_EQ(RunVars.vt, 0.0259);
    }
}

TEST_F(OpampMacromodelTest, SuppliesOnOneNodeMakeNoDiodes) {
    Opamp(".MODEL OA OPA (LEVEL=3 TYPE=1)", {1, 2, 3, 4, 3});
    ASSERT_EQ(Process(), 0) << LastMessageText();
    EXPECT_EQ(Count<DiodeRecord>(kListDiodes), 0u);
    EXPECT_EQ(Count<ResistorRecord>(kListResistors), 9u);
}

TEST_F(OpampMacromodelTest, AFailedCheckNamesThePartAndMakesNothing) {
    Opamp(".MODEL OA OPA (LEVEL=3 IBIAS=1E-9 IOFF=2E-9)");
    EXPECT_EQ(Process(), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{kMsgOpampIbias});
    EXPECT_NE(std::string(LastMessageText()).find("'U1'"), std::string::npos) << LastMessageText();
    EXPECT_EQ(Count<ResistorRecord>(kListResistors), 0u);
    EXPECT_EQ(Count<SourceRecord>(kListSpiceSources), 0u);
}

// The amplifier as a whole, from +-15 V supplies: a follower follows its
// input and is linear; open loop, the output runs into its swing limit.
TEST_F(OpampMacromodelTest, AFollowerFollowsAndAnOpenLoopSaturates) {
    struct Case {
        std::vector<int> pins;  // NC+, NC-, VEE, VO, VCC
        double expected, tolerance;
        int32_t stateCode;
    };
    const Case cases[] = {
        // The output sits the model's 1 mV input offset above the input; the
        // gain of 200000 adds only microvolts of follower error.
        {{1, 2, 3, 2, 4}, 1.001, 5e-5, 6},
        // NC- grounded: the output clamps near VPS = 13 V.
        {{1, 0, 3, 2, 4}, 13.0, 0.8, 1},
    };
    for (const Case& c : cases) {
        Reset();
        Opamp(".MODEL OA OPA (LEVEL=3 TYPE=1)", c.pins);
        int status = 0;
        ASSERT_NE(AddSourceDevice(1, 0, kSourceVoltage, 1.0, &status), nullptr);
        ASSERT_NE(AddSourceDevice(3, 0, kSourceVoltage, -15.0, &status), nullptr);
        ASSERT_NE(AddSourceDevice(4, 0, kSourceVoltage, 15.0, &status), nullptr);
        ASSERT_EQ(Process(), 0) << LastMessageText();
        Records<OpampRecord>(kListOpamps)[0]->quantityRefs = 1;
        ASSERT_EQ(ResolveControllingSources(), 0);
        NumberSimulatorObjects(compiled_);
        ASSERT_EQ(AllocateSolutionVectors(compiled_, kFirstVectorGroup), 0);
        ASSERT_EQ(AllocateSolutionVectors(compiled_, kSecondVectorGroup), 0);

        TemperatureSetup setup = MakeTemperatureSetup(doc_.get());
        ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0) << LastMessageText();
        ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0) << LastMessageText();
        SimulatorState state;
        ASSERT_EQ(AttachCircuit(state, compiled_, *GetCircuitOptions(doc_.get())), 0);
        ASSERT_EQ(BuildAnalysisMatrix(state, nullptr, true, state.DcPair), 0);
        state.MatrixBuilt = 1;
        state.AnalysisPhase = kPhaseDc;
        state.LoadAnalysis = kLoadOperatingPoint;
        state.OperatingPointActive = 1;
        state.IterationMode = kModeInitJunction;
        ASSERT_EQ(NewtonIterate(state, nullptr, 200, state.Options.gmin), 0);
        EXPECT_NEAR(state.Solution[2], c.expected, c.tolerance);
        EXPECT_EQ(Records<OpampRecord>(kListOpamps)[0]->stateCode, c.stateCode);
        ReleaseCompiledCircuit(state, doc_.get());
    }
}

}  // namespace
