// Device lists: the compiled circuit's device instances, one object pool per
// device kind, with the reference bookkeeping the expression language needs
// (which records expressions read, and whether a list carries expressions that
// keep state or draw random values).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/pool.h"
#include "expr/complex.h"

struct SchematicObject;  // the part a record was made for (circuit document)

// Reference bits: who reads a record's quantities or power.
enum : uint8_t {
    kRefDeviceExpressions = 1,  // expressions compiled with the circuit
    kRefDisplay = 2,            // plot curves, watch, breakpoints, formula texts
    kRefSolver = 4,             // the solver's own reports around single solves
};

// The common header of every device record. A kind's record type derives from
// it and adds plain fields (records live in zeroed pool memory, never
// constructed). PoolItem::type holds the kind given at creation.
struct DeviceRecord : PoolItem {
    SchematicObject* part;
    double powerRating;
    uint8_t quantityRefs;  // consumers of the record's currents, voltages ...
    uint8_t powerRefs;     // consumers of its power or energy
    // Dissipated, stored and generated power (kPowerDissipated ...), filled by
    // the device load while powerRefs is set: the DC and transient set, and
    // the AC set.
    ComplexNumber power[3];
    ComplexNumber acPower[3];
};
enum DevicePowerIndex : int { kPowerDissipated = 0, kPowerStored = 1, kPowerGenerated = 2 };

struct DeviceList {
    ObjectPool pool;
    uint8_t quantityRefs;  // union of the records' bits
    uint8_t powerRefs;
    int32_t hasStatefulExpressions;   // a record owns an expression that keeps state
    int32_t hasRandomExpressions;     // a record owns an expression with random values
    int32_t hasStatefulExpressions2;  // sample-and-hold: the same of the second expression
};

// The lists, in the order of every walk over all of them.
enum DeviceListIndex : int {
    kListResistors = 0,
    kListCapacitors = 1,
    kListInductors = 2,
    kListDiodes = 3,
    kListSineSources = 4,
    kListTransformerCouplings = 5,
    kListBipolars = 6,
    kListMosfets = 7,
    kListBsim4Mosfets = 8,
    kListEkvMosfets = 9,
    kListJfets = 10,
    kListOpamps = 11,
    kListNPorts = 12,
    kListPulseSources = 13,
    kListDependentSources = 14,
    kListLaplaceSources = 15,
    kListFunctionSources = 16,
    kListTableSources = 17,
    kListLaplaceTableSources = 18,
    kListSwitches = 19,
    kListIdealLines = 20,
    kListUserSources = 21,
    kListInductorCouplings = 22,
    kListGaasfets = 23,
    kListSSwitches = 24,
    kListWSwitches = 25,
    kListPolySources = 26,
    kListSpiceSources = 27,
    kListDigitalOutputs = 28,
    kListDigitalInputs = 29,
    kListLogicExp = 30,
    kListPinDelay = 31,
    kListLossyLines = 32,
    kListFlipFlops = 33,
    kListConstraints = 34,
    kListSevenSegments = 35,
    kListDigitalLeds = 36,
    kListSampleHolds = 37,
    kListInterfaces = 38,
    kListAdcs = 39,
    kListDacs = 40,
    kListTrafficLights = 41,
    kListMeters = 42,
    kListBars = 43,
    kListRelays = 44,
    kListAnalogLeds = 45,
    kListDcMotors = 46,
    kListSpstSwitches = 47,
    kListSpdtSwitches = 48,
    kListDpstSwitches = 49,
    kListTimers = 50,
};
constexpr int kDeviceListCount = 51;

// Record kinds with fixed meanings for the lookup.
constexpr int32_t kDeviceKindBsim4 = 46;  // '.'
constexpr int32_t kDeviceKindEkv = 47;    // '/'
constexpr int kComponentTypeTline = 15;   // looked up in the lossy-line list

// The kind each list's records are created with; kDeviceKindBySetup where the
// set-up chooses it.
constexpr int32_t kDeviceKindBySetup = -2;
extern const int32_t DeviceListCreationKind[kDeviceListCount];

// The device lists of one compiled circuit, with its breakpoint and digital
// event list and the reference bits of its expressions. A compile session owns
// one; a DeviceListScope makes it the set this thread's compiles, loads and
// evaluations work on, so two circuits compile and run side by side.
struct DeviceListSet {
    // Every list empty, with the record types registered so far.
    DeviceListSet();
    // Deletes every record.
    ~DeviceListSet();
    DeviceListSet(const DeviceListSet&) = delete;
    DeviceListSet& operator=(const DeviceListSet&) = delete;

    DeviceList& operator[](int index) { return lists[index]; }
    DeviceList* begin() { return lists; }
    DeviceList* end() { return lists + kDeviceListCount; }

    DeviceList lists[kDeviceListCount];
    // The time-ordered breakpoint and digital event list; released with the
    // device lists. Its record type (BreakpointEvent) belongs to the solver,
    // which sets the pool's itemSize.
    ObjectPool breakpoints;
    // The union of every reference bit set since the last reset.
    uint32_t referencedQuantityBits = 0;
    // The reference bits of the expressions that read the energy totals.
    uint32_t energyTotalsRequest = 0;
};

// The set this thread works on: the one the innermost DeviceListScope made
// current, else the thread's own (made on first use).
DeviceListSet& DeviceLists();

class DeviceListScope {
public:
    explicit DeviceListScope(DeviceListSet& set);
    ~DeviceListScope();
    DeviceListScope(const DeviceListScope&) = delete;
    DeviceListScope& operator=(const DeviceListScope&) = delete;

private:
    DeviceListSet* previous_;
};

// The owner of a device kind registers its record size (at least
// sizeof(DeviceRecord)) and the record type that releases what a record owns
// (it must not free the record) and constructs records that need it; null for
// plain records. Sets made afterwards use it; the current set takes
// it too. False for a bad index or size, or when the current set's list already
// holds records.
bool SetDeviceListRecordType(int listIndex, size_t recordSize, const PoolRecordType* type);
template <class T>
bool RegisterDeviceRecordType(int listIndex) {
    static_assert(std::is_base_of_v<DeviceRecord, T>, "a device record begins with the common header");
    return SetDeviceListRecordType(listIndex, sizeof(T), &PoolRecordOf<T>::Instance());
}

// What the device lists need of the component types and the parts: the
// component library layer owns the type table, the circuit document layer the
// parts. Null object: no type has a list, no part holds a link.
class DeviceListLinks {
public:
    virtual ~DeviceListLinks() = default;
    // The device-list index of a component type, -1 for none.
    virtual int ListOfType(int componentType) = 0;
    // Clears the device-record link of every part of the current circuit document.
    virtual void ClearPartDeviceLinks() = 0;
};
DeviceListLinks& DeviceLinks();
// Installs the port (nullptr: the null object); returns the previous one.
DeviceListLinks* InstallDeviceListLinks(DeviceListLinks* port);

// The list of a component type; a record of kind 46 or 47 belongs to the BSIM4
// or EKV list whatever the type, and a Tline to the lossy-line list. Null when
// the type has no list (or no resolver is installed).
DeviceList* FindDeviceList(int componentType, const DeviceRecord* record);
// ORs the bits into the record, its list and the set's referencedQuantityBits.
void MarkQuantityReferenced(DeviceRecord* record, int componentType, uint8_t bits);
void MarkPowerReferenced(DeviceRecord* record, int componentType, uint8_t bits);
// Both reference bytes of every head and record to 0, and the two words.
void ResetDeviceFlags();
// ANDs the mask into both bytes of every head and record and the two words.
void ClearDeviceFlags(uint8_t mask);
// ORs the bits into both bytes of every head and record and into
// the set's referencedQuantityBits.
void SetDeviceFlags(uint8_t bits);
// Deletes every record of every list and of the event list, then clears the
// parts' device-record links.
void ReleaseDeviceLists();

// A name list owned by some digital records: a count, two texts and an array of
// that many texts, all heap strings.
struct DeviceNameList {
    int32_t count;
    char* text1;
    char* text2;
    char** names;
};
// Frees every text of the array, sets the count to 0, frees the two texts and
// the array. A null list is ignored.
void ReleaseDeviceNameList(DeviceNameList* list);
