#include "expr/devicelist.h"

#include "core/memory.h"
#include "core/port.h"

DeviceList DeviceListTable[kDeviceListCount];
ObjectPool BreakpointEventList;
uint32_t ReferencedQuantityBits = 0;
uint32_t EnergyTotalsRequest = 0;

// clang-format off
const int32_t DeviceListCreationKind[kDeviceListCount] = {
    17, 4,  5,  kDeviceKindBySetup, 0,  44, 0,  33, 46, 47, 0,  0,  48, 0,  kDeviceKindBySetup, 18, 6,
    23, 24, 0,  27,                 21, 40, 0,  0,  0,  7,  8,  0,  0,  13, 15, 28, 0,           16, kDeviceKindBySetup,
    0,  39, 20, 25,                 26, 0,  0,  0,  0,  0,  kDeviceKindBySetup, 0,  0,  0,  45,
};
// clang-format on

static bool dl_Initialised = false;
namespace {

class NoDeviceListLinks final : public DeviceListLinks {
public:
    int ListOfType(int) override { return -1; }
    void ClearPartDeviceLinks() override {}
};

PortSlot<DeviceListLinks, NoDeviceListLinks> dl_links;

}  // namespace

void InitDeviceLists() {
    if (dl_Initialised) return;
    dl_Initialised = true;
    for (DeviceList& list : DeviceListTable) {
        list.pool.Init();
        list.pool.itemSize = sizeof(DeviceRecord);
        list.quantityRefs = 0;
        list.powerRefs = 0;
        list.hasStatefulExpressions = 0;
        list.hasRandomExpressions = 0;
        list.hasStatefulExpressions2 = 0;
    }
    BreakpointEventList.Init();
    BreakpointEventList.itemSize = sizeof(PoolItem);
}

// The lists are set up during static initialisation; registrations from other
// start-up code may run before that, so every entry point makes sure first.
static const bool dl_StartupInit = (InitDeviceLists(), true);

bool SetDeviceListRecordType(int listIndex, size_t recordSize, void (*destroy)(PoolItem*)) {
    InitDeviceLists();
    if (listIndex < 0 || listIndex >= kDeviceListCount || recordSize < sizeof(DeviceRecord)) return false;
    ObjectPool& pool = DeviceListTable[listIndex].pool;
    if (pool.first || pool.count) return false;
    pool.itemSize = recordSize;
    pool.destroy = destroy;
    return true;
}

DeviceListLinks& DeviceLinks() { return dl_links.Get(); }

DeviceListLinks* InstallDeviceListLinks(DeviceListLinks* port) { return dl_links.Install(port); }

DeviceList* FindDeviceList(int componentType, const DeviceRecord* record) {
    if (record && record->type == kDeviceKindBsim4) return &DeviceListTable[kListBsim4Mosfets];
    if (record && record->type == kDeviceKindEkv) return &DeviceListTable[kListEkvMosfets];
    if (componentType == kComponentTypeTline) return &DeviceListTable[kListLossyLines];
    const int index = DeviceLinks().ListOfType(componentType);
    return (index >= 0 && index < kDeviceListCount) ? &DeviceListTable[index] : nullptr;
}

void MarkQuantityReferenced(DeviceRecord* record, int componentType, uint8_t bits) {
    if (record) record->quantityRefs |= bits;
    if (DeviceList* list = FindDeviceList(componentType, record)) list->quantityRefs |= bits;
    ReferencedQuantityBits |= bits;
}

void MarkPowerReferenced(DeviceRecord* record, int componentType, uint8_t bits) {
    if (record) record->powerRefs |= bits;
    if (DeviceList* list = FindDeviceList(componentType, record)) list->powerRefs |= bits;
    ReferencedQuantityBits |= bits;
}

// Applies `change` to both reference bytes of every head and every record.
template <class Change>
static void dl_ForEachReferenceByte(Change change) {
    InitDeviceLists();
    for (DeviceList& list : DeviceListTable) {
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
    ReferencedQuantityBits = 0;
    EnergyTotalsRequest = 0;
}

void ClearDeviceFlags(uint8_t mask) {
    dl_ForEachReferenceByte([mask](uint8_t& byte) { byte &= mask; });
    ReferencedQuantityBits &= mask;
    EnergyTotalsRequest &= mask;
}

void SetDeviceFlags(uint8_t bits) {
    dl_ForEachReferenceByte([bits](uint8_t& byte) { byte |= bits; });
    ReferencedQuantityBits |= bits;
}

void ReleaseDeviceLists() {
    InitDeviceLists();
    for (DeviceList& list : DeviceListTable) list.pool.DeleteAll();
    BreakpointEventList.DeleteAll();
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
