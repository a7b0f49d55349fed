// The part set-up loop: dispatch by component type, skipped parts, progress,
// registration of names and rated powers, internal node names.
#include <gtest/gtest.h>

#include <string>

#include "compiler/setupservices.h"
#include "core/desktop.h"
#include "core/result.h"
#include "models/modeltypes.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompSetupTest : public SetupFixture {};

TEST_F(CompSetupTest, EachTypeIsSetUpPassedOverOrStopsTheLoopNamingThePart) {
    struct Case {
        int type;
        int result;
        int message;  // the one message shown, 0 none
        int list;     // the list that gets one record, -1 none
        bool ground;
    };
    const Case cases[] = {
        {kTypeResistor, 0, 0, kListResistors, false},
        {kTypeBattery, 0, 0, kListSpiceSources, false},
        {129 /* ANALOG STATE */, 0, 0, kListSpiceSources, true},
        {kTypeGround, 0, 0, -1, true},
        {kTypeJumper, 0, 0, -1, false},
        {kTypeAnd, 0, 0, -1, false},  // digital parts wait for the digital set-up
        {136 /* N-port */, kResultShown, kResultNotBuilt, -1, false},
        {kTypeSubckt, 0, 0, -1, false},                // expanded before the set-up
        {kTypeOpamp, kResultShown, 10834, -1, false},  // no OPA model of that name
        {kTypeTimer, kResultShown, 10894, -1, false},  // no INPUTEXPR
    };
    for (const Case& c : cases) {
        Reset();
        SchematicObject* part = AddPart(c.type, "X1", "1", {1, 2});
        EXPECT_EQ(Process(), c.result) << c.type;
        EXPECT_EQ(shown_, c.message ? std::vector<int>{c.message} : std::vector<int>{}) << c.type;
        EXPECT_EQ(compiled_->groundSeen, c.ground) << c.type;
        for (int list = 0; list < kDeviceListCount; ++list)
            EXPECT_EQ(DeviceLists()[list].pool.count, list == c.list ? 1 : 0) << c.type << " list " << list;
        if (c.list >= 0) {
            EXPECT_EQ(compiled_->FindLink(part)->record->part, part) << c.type;
        }
    }
}

TEST_F(CompSetupTest, TheFirstFailureEndsTheLoopAndSkippedPartsGetNothing) {
    SchematicObject* skipped = AddPart(kTypeResistor, "R1", "1k", {1, 2});
    skipped->compilerWords[kPartSkipWord] = 1;
    skipped->state |= kObjectHighlighted;
    AddPart(kTypeResistor, "R2", "1k", {1, 2});
    AddPart(kTypeDiode, "D1", "", {1, 2});
    AddPart(kTypeResistor, "R3", "1k", {1, 2});
    EXPECT_EQ(Process(), kResultShown);
    EXPECT_EQ(compiled_->FindLink(skipped), nullptr);
    EXPECT_EQ(skipped->state & kObjectHighlighted, 0);
    ASSERT_EQ(Records<ResistorRecord>(kListResistors).size(), 1u);
    EXPECT_EQ(compiled_->FindLink(Records<ResistorRecord>(kListResistors)[0]->part)->qualifiedName, "R2");
    EXPECT_EQ(doc_->build.typeCounts.Count(kTypeResistor), 1);
}

class CountingStatusBar : public StatusBarPort {
public:
    void SetStatusText(const char*) override { ++texts; }
    bool IsShown() override { return true; }
    void SetPaneText(int, const char*) override {}
    int texts = 0;
};

TEST_F(CompSetupTest, LongPartListsShowProgressEveryHundredth) {
    for (int count : {1000, 1001}) {
        Reset();
        for (int i = 0; i < count; ++i) AddPart(kTypeGround, nullptr, nullptr, {0});
        CountingStatusBar bar;
        StatusBarPort* previous = InstallStatusBar(&bar);
        EXPECT_EQ(Process(), 0);
        InstallStatusBar(previous);
        EXPECT_EQ(bar.texts, count == 1000 ? 0 : 100) << count;
    }
}

TEST_F(CompSetupTest, RegistrationNamesThePartAndRatesItsPower) {
    struct Case {
        const char* name;
        const char* power;
        int kind;
        int result;
        double rating;
    };
    const Case cases[] = {
        {"R1", "", kTypeResistor, 0, 0.1},          {"D1", "", kTypeDiode, 0, 1.0},
        {"R2", "2*0.5", kTypeResistor, 0, 1.0},     {"", "", kTypeResistor, kResultShown, 0},
        {"R1", "", kTypeResistor, kResultShown, 0},  // a second R1 in the same scope
    };
    for (const Case& c : cases) {
        SchematicObject* part = AddPart(kTypeResistor, c.name, "1", {1, 2});
        if (*c.power) SetAttribute(doc_.get(), part, kAttrPower, c.power);
        int status = 0;
        ResistorRecord* record = AddResistorDevice(1, 2, 1.0, 1, &status);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(RegisterPartName(record, c.kind, nullptr, &record->working, part), c.result) << c.name;
        if (c.result) continue;
        EXPECT_DOUBLE_EQ(record->powerRating, c.rating) << c.name;
        const PartLink* link = compiled_->FindLink(part);
        EXPECT_EQ(link->record, record);
        EXPECT_EQ(link->value, &record->working);
        EXPECT_EQ(link->deviceKind, c.kind);
        EXPECT_EQ(GetCompileSession(doc_.get())->parts.Find(c.name), part);
    }
}

TEST_F(CompSetupTest, InternalNodesGetUniqueNamesOnlyWhenAResistanceSeparatesThem) {
    SchematicObject* part = AddPart(kTypeResistor, "Q1", "1", {1, 2});
    CurrentSetupPart = part;
    const int before = compiled_->analogNodeCount;
    EXPECT_EQ(MakeNamedInternalNode(0.0, 2, "_base"), 2);
    EXPECT_EQ(compiled_->analogNodeCount, before);
    const int first = MakeNamedInternalNode(10.0, 2, "_base");
    const int second = MakeNamedInternalNode(10.0, 2, "_base");
    EXPECT_EQ(first, before + 1);
    EXPECT_EQ(second, before + 2);
    EXPECT_EQ(InternalNodeName(doc_.get(), first), "Q1_base");
    EXPECT_EQ(InternalNodeName(doc_.get(), second), "Q1_base_1");
    const int entry = GetCompileSession(doc_.get())->nodes.Find("Q1_BASE_1");
    ASSERT_GE(entry, 0);
    EXPECT_EQ(doc_->build.nodeNames.at(entry).node, second);
}

TEST_F(CompSetupTest, ModelsByAttributeOrByDefault) {
    Model(".MODEL S1 SIN (RS=5)");
    SchematicObject* part = AddPart(kTypeSineSource, "V1", nullptr, {1, 0});
    SetAttribute(doc_.get(), part, kAttrModel, "S1");
    EXPECT_DOUBLE_EQ(ModelParameter(FindPartModelRecord(doc_.get(), part), "RS"), 5);
    EXPECT_DOUBLE_EQ(ModelParameter(DefaultModelRecord(doc_.get(), kModelSine), "RS"), 0.001);
    EXPECT_EQ(FindPartAttributeModel(doc_.get(), part, kAttrModel, nullptr), 0);
    SetAttribute(doc_.get(), part, kAttrModel, "S2");
    EXPECT_EQ(FindPartAttributeModel(doc_.get(), part, kAttrModel, nullptr), -1);
    EXPECT_TRUE(shown_.empty());  // a missing model is the caller's to report
    EXPECT_EQ(FindPartModelRecord(doc_.get(), part), nullptr);
    EXPECT_EQ(shown_, std::vector<int>{10834});
}

TEST_F(CompSetupTest, DiodesTakeModelAreaOffAndInitialVoltage) {
    Model(".MODEL DR D (IS=1E-14 RS=10)");
    Model(".MODEL DZ D (IS=1E-14)");
    struct Case {
        const char* model;
        const char* value;
        std::vector<int> pins;
        int result;
        std::vector<int> shown;
        bool record;
        double area;
        int off;
        int icGiven;
        double ic;
        bool internalAnode;  // a named node inside the series resistance
    } cases[] = {
        {"DR", "2", {1, 2}, 0, {}, true, 2.0, 0, 0, 0.0, true},
        {"DZ", "OFF IC=0.6", {1, 2}, 0, {}, true, 1.0, 1, 1, 0.6, false},
        {"DR", "-1", {1, 0}, 0, {}, true, -1.0, 0, 0, 0.0, true},  // a negative area is accepted
        {"DR", "0", {1, 2}, kResultShown, {10840}, true, 0.0, 0, 0, 0.0, false},
        {"DR", "", {2, 2}, 0, {}, false, 0, 0, 0, 0, false},  // shorted on itself: dropped
        {"NONE", "", {1, 2}, kResultShown, {10834}, false, 0, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        Reset();
        Model(".MODEL DR D (IS=1E-14 RS=10)");
        Model(".MODEL DZ D (IS=1E-14)");
        SchematicObject* part = AddPart(kTypeDiode, "D1", c.value, c.pins);
        SetAttribute(doc_.get(), part, kAttrModel, c.model);
        const int nodesBefore = compiled_->analogNodeCount;
        EXPECT_EQ(Process(), c.result) << c.model << " " << c.value;
        EXPECT_EQ(shown_, c.shown) << c.model << " " << c.value;
        const auto records = Records<DiodeRecord>(kListDiodes);
        if (!c.record) {
            if (c.result == 0) {
                EXPECT_TRUE(records.empty());
            }
            continue;
        }
        ASSERT_EQ(records.size(), 1u);
        const DiodeRecord* d = records[0];
        EXPECT_EQ(d->anode, c.pins[0]);
        EXPECT_EQ(d->cathode, c.pins[1]);
        EXPECT_EQ(d->ordinal, 1);
        EXPECT_DOUBLE_EQ(d->area, c.area);
        EXPECT_EQ(d->off, c.off);
        EXPECT_EQ(d->icGiven, c.icGiven);
        EXPECT_DOUBLE_EQ(d->ic, c.ic);
        if (c.internalAnode) {
            EXPECT_EQ(d->internalAnode, nodesBefore + 1);
            EXPECT_EQ(InternalNodeName(doc_.get(), d->internalAnode), "D1_Pside");
        } else {
            EXPECT_EQ(d->internalAnode, d->anode);
        }
        if (c.result == 0) {
            EXPECT_EQ(compiled_->FindLink(part)->record, d);
            EXPECT_DOUBLE_EQ(d->powerRating, 1.0);
        }
    }
}

}  // namespace
