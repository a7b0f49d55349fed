// Display and animated parts: the ordinary records each builds and the
// attribute values that choose them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "compiler/compiled.h"
#include "compiler/options.h"
#include "core/result.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class DisplayPartsTest : public SetupFixture {
protected:
    SchematicObject* Part(int type, const char* name, std::vector<int> pins,
                          std::initializer_list<std::pair<int, const char*>> attributes) {
        SchematicObject* part = AddPart(type, name, nullptr, pins);
        for (const auto& [id, text] : attributes) SetAttribute(doc_.get(), part, id, text);
        return part;
    }
    // The resistor between the two nodes (either way round), or null.
    ResistorRecord* Between(int a, int b) {
        for (ResistorRecord* r : Records<ResistorRecord>(kListResistors))
            if ((r->node1 == a && r->node2 == b) || (r->node1 == b && r->node2 == a)) return r;
        return nullptr;
    }
    double NodeToGround() { return GetCircuitOptions(doc_.get())->settings.rNodeGnd; }
};

TEST_F(DisplayPartsTest, SwitchContactsFollowTheirState) {
    // SPST closed: pin 1, a sensor, 1 ohm to pin 2, and the middle tied to ground.
    Part(137, "S1", {1, 2}, {{61, "CLOSED"}, {69, "1"}, {70, "1e9"}});
    const int middle = compiled_->analogNodeCount + 1;
    ASSERT_EQ(Process(), 0) << LastMessageText();
    ASSERT_NE(Between(middle, 2), nullptr);
    EXPECT_EQ(Between(middle, 2)->nominal, 1.0);
    ASSERT_NE(Between(middle, 0), nullptr);
    EXPECT_EQ(Between(middle, 0)->nominal, NodeToGround());
    const SourceRecord* sensor = Records<SourceRecord>(kListSpiceSources)[0];
    EXPECT_EQ(sensor->node1, 1);
    EXPECT_EQ(sensor->node2, middle);
    EXPECT_EQ(sensor->dcValue, 0.0);

    // SPDT: UP closes pin 1 to the common pin, anything else pin 2.
    for (const char* state : {"UP", "DOWN", ""}) {
        Reset();
        Part(138, "S2", {1, 2, 3}, {{61, state}, {69, "2"}, {70, "1e6"}});
        const int a = compiled_->analogNodeCount + 1, b = a + 1, c = a + 2;
        ASSERT_EQ(Process(), 0) << state << LastMessageText();
        const bool up = std::string(state) == "UP";
        EXPECT_EQ(Between(a, c)->nominal, up ? 2.0 : 1e6) << state;
        EXPECT_EQ(Between(b, c)->nominal, up ? 1e6 : 2.0) << state;
        EXPECT_EQ(Records<SourceRecord>(kListSpiceSources).size(), 3u);
    }
}

TEST_F(DisplayPartsTest, MetersMeasureAsAmmeterOrVoltmeter) {
    struct Case {
        const char* ampsOrVolts;
        const char* inputResistance;
        double expected;  // 0: 1/GMIN
    };
    const Case cases[] = {{"AMPS", "", 0.001}, {"VOLTS", "", 0}, {"VOLTS", "10MEG", 1e7}};
    for (const Case& c : cases) {
        Reset();
        Part(142, "M1", {1, 2},
             {{72, c.ampsOrVolts}, {89, c.inputResistance}, {64, "10"}, {65, "-10"}, {74, "m"}, {75, "On"}});
        const int sense = compiled_->analogNodeCount + 1;
        ASSERT_EQ(Process(), 0) << c.ampsOrVolts << LastMessageText();
        ASSERT_NE(Between(sense, 2), nullptr);
        EXPECT_EQ(Between(sense, 2)->nominal, c.expected ? c.expected : compiled_->maxResistance) << c.ampsOrVolts;
        const BarMeterRecord* meter = Records<BarMeterRecord>(kListMeters)[0];
        EXPECT_EQ(meter->high, 10.0);
        EXPECT_EQ(meter->low, -10.0);
        EXPECT_EQ(meter->scale, "M");  // upper case, as every substituted text: milli
        EXPECT_EQ(meter->autoscale, 1);
    }
    Reset();
    Part(142, "M1", {1, 2}, {{74, "xyz"}});
    EXPECT_EQ(Process(), kResultShown);
    EXPECT_FALSE(shown_.empty());
}

TEST_F(DisplayPartsTest, EachRelayGetsItsOwnContactModel) {
    for (const char* name : {"K1", "K2"})
        Part(144, name, {1, 2, 3, 4},
             {{66, "10m"}, {67, "50m"}, {68, "30m"}, {69, "0.1"}, {70, "1e8"}, {91, "100"}, {92, "yes"}});
    ASSERT_EQ(Process(), 0) << LastMessageText();
    const auto relays = Records<RelayRecord>(kListRelays);
    ASSERT_EQ(relays.size(), 2u);
    EXPECT_STREQ(relays[0]->contact->model->QualifiedName, "$$$_$$$_WW_$_$_$1");
    EXPECT_STREQ(relays[1]->contact->model->QualifiedName, "$$$_$$$_WW_$_$_$2");
    EXPECT_EQ(relays[0]->bidirectional, 1);
    EXPECT_EQ(relays[0]->coil->nominal, 10e-3);
    // The contact is switched by the coil's current, sensed in series with it.
    EXPECT_EQ(relays[0]->contact->controllingBranch, &relays[0]->coilSensor->branch);
    EXPECT_EQ(relays[0]->contact->node2, 2);
    EXPECT_EQ(relays[0]->coilSensor->node1, 3);
}

TEST_F(DisplayPartsTest, TrafficLightsSenseEachLamp) {
    Part(140, "L1", {1, 2, 3}, {{62, "1.5"}});
    ASSERT_EQ(Process(), 0) << LastMessageText();
    const TrafficLightRecord* light = Records<TrafficLightRecord>(kListTrafficLights)[0];
    EXPECT_EQ(light->turnOnVoltage, 1.5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(light->sensors[i]->node1, i + 1);
        EXPECT_EQ(light->lamps[i]->node1, light->sensors[i]->node2);
        EXPECT_EQ(light->lamps[i]->node2, 0);
    }
}

TEST_F(DisplayPartsTest, AnAnalogLedLightsAtItsColoursForwardVoltage) {
    Part(141, "D1", {1, 2}, {{76, "Red,2,0.02"}});
    ASSERT_EQ(Process(), 0) << LastMessageText();
    const AnalogLedRecord* led = Records<AnalogLedRecord>(kListAnalogLeds)[0];
    EXPECT_DOUBLE_EQ(led->lightingVoltage, 2.002);
    EXPECT_EQ(led->forwardCurrent, 0.02);
    ASSERT_NE(led->diode, nullptr);
    EXPECT_NEAR(led->diode->model->Values[1] / (0.02 / std::exp(2 / 0.025864)), 1.0, 1e-5);  // IS
    EXPECT_EQ(led->diode->cathode, 2);
    EXPECT_EQ(led->sensor->node1, 1);
    EXPECT_EQ(led->sensor->node2, led->diode->anode);

    Reset();
    Part(141, "D1", {1, 2}, {{76, "Red,abc,0.02"}});
    EXPECT_EQ(Process(), kResultShown);
    EXPECT_FALSE(shown_.empty());
}

TEST_F(DisplayPartsTest, AMotorsSpeedFollowsItsArmatureVoltage) {
    Part(145, "M1", {3, 4, 5}, {{71, "10"}, {78, "2"}, {79, "1m"}});
    ASSERT_EQ(Process(), 0) << LastMessageText();
    const DcMotorRecord* motor = Records<DcMotorRecord>(kListDcMotors)[0];
    ASSERT_NE(motor->speed, nullptr);
    EXPECT_EQ(motor->speed->value.pendingText, "V(3,4)*10");
    EXPECT_EQ(motor->speed->outPlus, 5);
    EXPECT_EQ(motor->armatureResistor->nominal, 2.0);
    EXPECT_EQ(motor->armatureInductor->nominal, 1e-3);
    EXPECT_EQ(motor->armatureInductor->node2, 4);
}

}  // namespace
