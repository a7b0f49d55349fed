#include <gtest/gtest.h>

#include "core/memory.h"
#include "core/port.h"
#include "expr/devicelist.h"

namespace {

// The release callback has no context of its own, so each record carries the
// count its release adds to.
struct DltRecord : DeviceRecord {
    char* text;
    int* released;
};

void dlt_DestroyRecord(PoolItem* item) {
    auto* record = static_cast<DltRecord*>(item);
    if (record->released) ++*record->released;
    FreeString(&record->text);
}

// Component types of the fixture: 2 resistor, 40 MOSFET, 15 Tline (listed with
// the ideal lines to show that the lossy-line rule wins), 99 a type without list.
int dlt_ListOfType(int type) {
    switch (type) {
    case 2: return kListResistors;
    case 40: return kListMosfets;
    case kComponentTypeTline: return kListIdealLines;
    default: return -1;
    }
}

class DltLinks final : public DeviceListLinks {
public:
    int ListOfType(int type) override { return dlt_ListOfType(type); }
    void ClearPartDeviceLinks() override { ++linksCleared; }

    int linksCleared = 0;
};

class DevList : public ::testing::Test {
protected:
    void TearDown() override {
        ReleaseDeviceLists();
        for (int i = 0; i < kDeviceListCount; ++i) SetDeviceListRecordType(i, sizeof(DeviceRecord), nullptr);
        ResetDeviceFlags();
    }
    int released = 0;
    DltLinks links;
    ScopedPort<DeviceListLinks> linksPort{InstallDeviceListLinks, &links};

    static DeviceRecord* Add(int list) {
        return DeviceLists()[list].pool.AddNewAs<DeviceRecord>(DeviceListCreationKind[list]);
    }
};

TEST_F(DevList, ListsStartEmptyWithTheirCreationKinds) {
    for (const DeviceList& list : DeviceLists()) {
        EXPECT_EQ(list.pool.first, nullptr);
        EXPECT_EQ(list.pool.count, 0);
        EXPECT_EQ(list.pool.itemSize, sizeof(DeviceRecord));
        EXPECT_EQ(list.quantityRefs, 0);
        EXPECT_EQ(list.hasStatefulExpressions, 0);
    }
    const struct {
        int list;
        int32_t kind;
    } kinds[] = {{kListResistors, 17},
                 {kListCapacitors, 4},
                 {kListBsim4Mosfets, '.'},
                 {kListEkvMosfets, '/'},
                 {kListSpiceSources, 8},
                 {kListTimers, 45},
                 {kListDiodes, kDeviceKindBySetup},
                 {kListDcMotors, kDeviceKindBySetup},
                 {kListLossyLines, 28}};
    for (const auto& c : kinds) EXPECT_EQ(DeviceListCreationKind[c.list], c.kind) << c.list;
}

TEST_F(DevList, FindDeviceList) {
    DeviceRecord* bsim = Add(kListBsim4Mosfets);
    DeviceRecord* ekv = Add(kListEkvMosfets);
    DeviceRecord* mos = Add(kListMosfets);
    const struct {
        int type;
        const DeviceRecord* record;
        const DeviceList* expected;
    } cases[] = {
        {40, bsim, &DeviceLists()[kListBsim4Mosfets]},  // the record's kind wins over the type
        {40, ekv, &DeviceLists()[kListEkvMosfets]},    {40, mos, &DeviceLists()[kListMosfets]},
        {40, nullptr, &DeviceLists()[kListMosfets]},   {kComponentTypeTline, nullptr, &DeviceLists()[kListLossyLines]},
        {2, nullptr, &DeviceLists()[kListResistors]},  {99, nullptr, nullptr},
    };
    for (const auto& c : cases) EXPECT_EQ(FindDeviceList(c.type, c.record), c.expected) << c.type;
    InstallDeviceListLinks(nullptr);
    EXPECT_EQ(FindDeviceList(2, nullptr), nullptr);
    EXPECT_EQ(FindDeviceList(40, bsim), &DeviceLists()[kListBsim4Mosfets]);
}

TEST_F(DevList, ReferenceBits) {
    DeviceRecord* r1 = Add(kListResistors);
    DeviceRecord* r2 = Add(kListResistors);
    DeviceRecord* m1 = Add(kListMosfets);
    DeviceList& resistors = DeviceLists()[kListResistors];
    DeviceList& mosfets = DeviceLists()[kListMosfets];

    MarkQuantityReferenced(r1, 2, kRefDeviceExpressions);
    EXPECT_EQ(r1->quantityRefs, kRefDeviceExpressions);
    EXPECT_EQ(r2->quantityRefs, 0);
    EXPECT_EQ(resistors.quantityRefs, kRefDeviceExpressions);
    EXPECT_EQ(DeviceLists().referencedQuantityBits, 1u);

    MarkPowerReferenced(m1, 40, kRefDisplay);
    EXPECT_EQ(m1->powerRefs, kRefDisplay);
    EXPECT_EQ(mosfets.powerRefs, kRefDisplay);
    EXPECT_EQ(DeviceLists().referencedQuantityBits, 3u);  // power references count too ...
    EXPECT_EQ(DeviceLists().energyTotalsRequest, 0u);     // ... but request no energy totals

    // The solver's own bit comes and goes without touching the expressions' bits.
    DeviceLists().energyTotalsRequest = kRefDisplay | kRefSolver;
    SetDeviceFlags(kRefSolver);
    for (DeviceRecord* r : {r1, r2, m1}) EXPECT_TRUE(r->quantityRefs & kRefSolver);
    EXPECT_TRUE(DeviceLists()[kListTimers].powerRefs & kRefSolver);
    EXPECT_EQ(DeviceLists().referencedQuantityBits, 7u);
    ClearDeviceFlags(kRefDeviceExpressions | kRefDisplay);
    EXPECT_EQ(r1->quantityRefs, kRefDeviceExpressions);
    EXPECT_EQ(r2->quantityRefs, 0);
    EXPECT_EQ(m1->powerRefs, kRefDisplay);
    EXPECT_EQ(m1->quantityRefs, 0);
    EXPECT_EQ(resistors.quantityRefs, kRefDeviceExpressions);
    EXPECT_EQ(DeviceLists()[kListTimers].powerRefs, 0);
    EXPECT_EQ(DeviceLists().referencedQuantityBits, 3u);
    EXPECT_EQ(DeviceLists().energyTotalsRequest, static_cast<uint32_t>(kRefDisplay));

    // The plot preparation keeps only the device expressions' bit.
    ClearDeviceFlags(kRefDeviceExpressions);
    EXPECT_EQ(m1->powerRefs, 0);
    EXPECT_EQ(r1->quantityRefs, kRefDeviceExpressions);

    ResetDeviceFlags();
    EXPECT_EQ(r1->quantityRefs, 0);
    EXPECT_EQ(resistors.quantityRefs, 0);
    EXPECT_EQ(DeviceLists().referencedQuantityBits, 0u);
    EXPECT_EQ(DeviceLists().energyTotalsRequest, 0u);
}

TEST_F(DevList, ReleaseRunsEachRecordsReleaseAndClearsPartLinks) {
    ASSERT_TRUE(SetDeviceListRecordType(kListTimers, sizeof(DltRecord), &PoolRecordOf<DltRecord, &dlt_DestroyRecord>::Instance()));
    for (const char* text : {"a", "b", "c"}) {
        auto* record = DeviceLists()[kListTimers].pool.AddNewAs<DltRecord>(45);
        ASSERT_NE(record, nullptr);
        SetString(&record->text, text);
        record->released = &released;
    }
    Add(kListResistors);
    DeviceLists().breakpoints.AddNew(0);
    // A list that holds records can no longer change its record type.
    EXPECT_FALSE(SetDeviceListRecordType(kListTimers, sizeof(DltRecord), nullptr));

    ReleaseDeviceLists();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(links.linksCleared, 1);
    for (const DeviceList& list : DeviceLists()) EXPECT_EQ(list.pool.count, 0);
    EXPECT_EQ(DeviceLists().breakpoints.first, nullptr);

    // Empty lists: only the parts' links are cleared.
    ReleaseDeviceLists();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(links.linksCleared, 2);
}

TEST_F(DevList, RecordTypeRegistrationIsChecked) {
    EXPECT_FALSE(SetDeviceListRecordType(-1, sizeof(DltRecord), nullptr));
    EXPECT_FALSE(SetDeviceListRecordType(kDeviceListCount, sizeof(DltRecord), nullptr));
    EXPECT_FALSE(SetDeviceListRecordType(kListResistors, sizeof(PoolItem), nullptr));  // smaller than the header
    EXPECT_TRUE(SetDeviceListRecordType(kListResistors, sizeof(DltRecord), nullptr));
    EXPECT_EQ(DeviceLists()[kListResistors].pool.itemSize, sizeof(DltRecord));
    // A circuit's set made afterwards takes the registration.
    DeviceListSet later;
    EXPECT_EQ(later[kListResistors].pool.itemSize, sizeof(DltRecord));
}

TEST_F(DevList, EachCircuitWorksOnItsOwnSet) {
    Add(kListResistors);
    DeviceListSet other;
    {
        DeviceListScope scope(other);
        EXPECT_EQ(DeviceLists()[kListResistors].pool.count, 0);
        Add(kListResistors);
        Add(kListResistors);
        MarkQuantityReferenced(nullptr, 2, kRefDisplay);
        EXPECT_EQ(DeviceLists().referencedQuantityBits, static_cast<uint32_t>(kRefDisplay));
    }
    EXPECT_EQ(DeviceLists()[kListResistors].pool.count, 1);
    EXPECT_EQ(other[kListResistors].pool.count, 2);
    EXPECT_EQ(DeviceLists().referencedQuantityBits, 0u);
}

TEST_F(DevList, ReleaseNameList) {
    DeviceNameList names = {};
    names.count = 2;
    names.names = static_cast<char**>(MemAllocZero(2 * sizeof(char*)));
    ASSERT_NE(names.names, nullptr);
    SetString(&names.names[0], "IN1");
    SetString(&names.names[1], "IN2");
    SetString(&names.text1, "first");
    SetString(&names.text2, "second");
    ReleaseDeviceNameList(&names);
    EXPECT_EQ(names.count, 0);
    EXPECT_EQ(names.names, nullptr);
    EXPECT_EQ(names.text1, nullptr);
    EXPECT_EQ(names.text2, nullptr);
    ReleaseDeviceNameList(&names);  // already empty
    ReleaseDeviceNameList(nullptr);
}

}  // namespace
