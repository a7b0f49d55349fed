#include "expr/devicelist.h"

#include "core/memory.h"
#include "core/port.h"

// clang-format off
const int32_t DeviceListCreationKind[kDeviceListCount] = {
    17, 4,  5,  kDeviceKindBySetup, 0,  44, 0,  33, 46, 47, 0,  0,  48, 0,  kDeviceKindBySetup, 18, 6,
    23, 24, 0,  27,                 21, 40, 0,  0,  0,  7,  8,  0,  0,  13, 15, 28, 0,           16, kDeviceKindBySetup,
    0,  39, 20, 25,                 26, 0,  0,  0,  0,  0,  kDeviceKindBySetup, 0,  0,  0,  45,
};
// clang-format on

namespace {

class NoDeviceListLinks final : public DeviceListLinks {
public:
    int ListOfType(int) override { return -1; }
    void ClearPartDeviceLinks() override {}
};

PortSlot<DeviceListLinks, NoDeviceListLinks> dl_links;

}  // namespace

namespace {

struct RecordType {
    size_t size = sizeof(DeviceRecord);
    const PoolRecordType* type = nullptr;
};

// Record layouts are fixed per kind for the whole program; only the records
// themselves belong to a circuit.
RecordType dl_recordTypes[kDeviceListCount];

thread_local DeviceListSet* dl_current = nullptr;

}  // namespace

DeviceListSet::DeviceListSet() {
    for (int i = 0; i < kDeviceListCount; ++i) {
        DeviceList& list = lists[i];
        list.pool.Init();
        list.pool.itemSize = dl_recordTypes[i].size;
        list.pool.recordType = dl_recordTypes[i].type;
        list.quantityRefs = 0;
        list.powerRefs = 0;
        list.hasStatefulExpressions = 0;
        list.hasRandomExpressions = 0;
        list.hasStatefulExpressions2 = 0;
    }
    breakpoints.Init();
    breakpoints.itemSize = sizeof(PoolItem);
}

DeviceListSet::~DeviceListSet() {
    for (DeviceList& list : lists) list.pool.DeleteAll();
    breakpoints.DeleteAll();
}

DeviceListSet& DeviceLists() {
    if (dl_current) return *dl_current;
    thread_local DeviceListSet own;
    return own;
}

DeviceListScope::DeviceListScope(DeviceListSet& set) : previous_(dl_current) { dl_current = &set; }

DeviceListScope::~DeviceListScope() { dl_current = previous_; }

bool SetDeviceListRecordType(int listIndex, size_t recordSize, const PoolRecordType* type) {
    if (listIndex < 0 || listIndex >= kDeviceListCount || recordSize < sizeof(DeviceRecord)) return false;
    ObjectPool& pool = DeviceLists()[listIndex].pool;
    if (pool.first || pool.count) return false;
    dl_recordTypes[listIndex] = {recordSize, type};
    pool.itemSize = recordSize;
    pool.recordType = type;
    return true;
}

DeviceListLinks& DeviceLinks() { return dl_links.Get(); }

DeviceListLinks* InstallDeviceListLinks(DeviceListLinks* port) { return dl_links.Install(port); }

DeviceList* FindDeviceList(int componentType, const DeviceRecord* record) {
    if (record && record->type == kDeviceKindBsim4) return &DeviceLists()[kListBsim4Mosfets];
    if (record && record->type == kDeviceKindEkv) return &DeviceLists()[kListEkvMosfets];
    if (componentType == kComponentTypeTline) return &DeviceLists()[kListLossyLines];
    const int index = DeviceLinks().ListOfType(componentType);
    return (index >= 0 && index < kDeviceListCount) ? &DeviceLists()[index] : nullptr;
}

void MarkQuantityReferenced(DeviceRecord* record, int componentType, uint8_t bits) {
    if (record) record->quantityRefs |= bits;
    if (DeviceList* list = FindDeviceList(componentType, record)) list->quantityRefs |= bits;
    DeviceLists().referencedQuantityBits |= bits;
}

void MarkPowerReferenced(DeviceRecord* record, int componentType, uint8_t bits) {
    if (record) record->powerRefs |= bits;
    if (DeviceList* list = FindDeviceList(componentType, record)) list->powerRefs |= bits;
    DeviceLists().referencedQuantityBits |= bits;
}

// Applies `change` to both reference bytes of every head and every record.
template <class Change>
static void dl_ForEachReferenceByte(Change change) {
    for (DeviceList& list : DeviceLists()) {
        change(list.quantityRefs);
        change(list.powerRefs);
        for (PoolItem* item = list.pool.first; item; item = item->next) {
            auto* record = static_cast<DeviceRecord*>(item);
            change(record->quantityRefs);
            change(record->powerRefs);
        }
    }
}

void ResetDeviceFlags() {
    dl_ForEachReferenceByte([](uint8_t& byte) { byte = 0; });
    DeviceLists().referencedQuantityBits = 0;
    DeviceLists().energyTotalsRequest = 0;
}

void ClearDeviceFlags(uint8_t mask) {
    dl_ForEachReferenceByte([mask](uint8_t& byte) { byte &= mask; });
    DeviceLists().referencedQuantityBits &= mask;
    DeviceLists().energyTotalsRequest &= mask;
}

void SetDeviceFlags(uint8_t bits) {
    dl_ForEachReferenceByte([bits](uint8_t& byte) { byte |= bits; });
    DeviceLists().referencedQuantityBits |= bits;
}

void ReleaseDeviceLists() {
    DeviceListSet& set = DeviceLists();
    for (DeviceList& list : set) list.pool.DeleteAll();
    set.breakpoints.DeleteAll();
    DeviceLinks().ClearPartDeviceLinks();
}

void ReleaseDeviceNameList(DeviceNameList* list) {
    if (!list) return;
    if (list->names) {
        for (int32_t i = 0; i < list->count; ++i) FreeString(&list->names[i]);
    }
    list->count = 0;
    FreeString(&list->text1);
    FreeString(&list->text2);
    MemFree(list->names);
    list->names = nullptr;
}
