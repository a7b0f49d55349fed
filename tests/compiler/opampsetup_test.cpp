// OPAMP set-up: level 1 is one stage into a load resistor, level 2 three
// stages whose poles come from GBW and PM, and model values that would build a
// meaningless amplifier are refused naming the part.
#include <gtest/gtest.h>

#include "compiler/opampsetup.h"
#include "core/result.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class OpampSetupTest : public SetupFixture {
protected:
    SchematicObject* Opamp(const char* model) {
        Model(model);
        SchematicObject* part = AddPart(kTypeOpamp, "U1", nullptr, {1, 2, 3, 4, 5});
        SetAttribute(doc_.get(), part, kAttrModel, "OA");
        return part;
    }
};

TEST_F(OpampSetupTest, LevelOneIsOneStageIntoTheOutputLoad) {
    Opamp(".MODEL OA OPA (LEVEL=1 A=200000 ROUTAC=75 ROUTDC=125)");
    const int nodes = compiled_->analogNodeCount;
    ASSERT_EQ(Process(), 0) << LastMessageText();
    const auto opamps = Records<OpampRecord>(kListOpamps);
    const auto resistors = Records<ResistorRecord>(kListResistors);
    ASSERT_EQ(opamps.size(), 1u);
    ASSERT_EQ(resistors.size(), 1u);
    EXPECT_DOUBLE_EQ(opamps[0]->transconductance, 1000.0);
    EXPECT_EQ(resistors[0]->nominal, 200.0);
    EXPECT_EQ(resistors[0]->node1, 4);  // VO
    EXPECT_EQ(resistors[0]->node2, 0);
    EXPECT_EQ(opamps[0]->plus, 1);
    EXPECT_EQ(opamps[0]->minus, 2);
    EXPECT_EQ(opamps[0]->vee, 3);
    EXPECT_EQ(opamps[0]->vcc, 5);
    EXPECT_EQ(compiled_->analogNodeCount, nodes) << "no internal nodes";
}

TEST_F(OpampSetupTest, LevelTwoPlacesItsPolesFromGainBandwidthAndPhaseMargin) {
    Opamp(".MODEL OA OPA (LEVEL=2 A=200000 ROUTAC=75 ROUTDC=125 GBW=1E6 PM=60)");
    const int nodes = compiled_->analogNodeCount;
    ASSERT_EQ(Process(), 0) << LastMessageText();
    const auto opamps = Records<OpampRecord>(kListOpamps);
    const auto capacitors = Records<CapacitorRecord>(kListCapacitors);
    ASSERT_EQ(opamps.size(), 1u);
    ASSERT_EQ(capacitors.size(), 2u);
    EXPECT_EQ(Records<ResistorRecord>(kListResistors).size(), 3u);
    EXPECT_NEAR(capacitors[0]->nominal, 1.591549e-4, 1e-10);
    EXPECT_NEAR(capacitors[1]->nominal, 4.594461e-10, 1e-16);
    EXPECT_NEAR(opamps[0]->transconductance, 0.2924018, 1e-7);
    EXPECT_EQ(opamps[0]->stage1, nodes + 1);
    EXPECT_EQ(opamps[0]->stage2, nodes + 2);
    EXPECT_EQ(compiled_->analogNodeCount, nodes + 2);
}

// A phase margin outside (0, 90) degrees or a level-3 input type other than
// 1 to 3 would build a negative pole or no input pair: refused, no record.
TEST_F(OpampSetupTest, MeaninglessModelValuesAreRefused) {
    struct Case {
        const char* model;
        int message;
    };
    const Case cases[] = {
        {".MODEL OA OPA (LEVEL=2 PM=90)", kMsgOpampBadPhaseMargin},
        {".MODEL OA OPA (LEVEL=2 PM=0)", kMsgOpampBadPhaseMargin},
        {".MODEL OA OPA (LEVEL=2 PM=-30)", kMsgOpampBadPhaseMargin},
        {".MODEL OA OPA (LEVEL=3 TYPE=4)", kMsgOpampBadType},
        {".MODEL OA OPA (LEVEL=3 TYPE=0)", kMsgOpampBadType},
    };
    for (const Case& c : cases) {
        Reset();
        Opamp(c.model);
        EXPECT_EQ(Process(), kResultShown) << c.model;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.model;
        EXPECT_EQ(Records<CapacitorRecord>(kListCapacitors).size(), 0u) << c.model;
        EXPECT_TRUE(compiled_->partLinks.empty() || !compiled_->partLinks.begin()->second.record) << c.model;
    }
}

}  // namespace
