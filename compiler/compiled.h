// The compiled circuit: what a full compile of one circuit document builds for
// the analysis engine — its device lists and device records, node and unknown
// counts, solution vectors and charge states, and the link from every set-up
// part to the record made for it. A compile session owns one; it lives from the
// build step of a run until the run releases it, and a failed compile releases
// it at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/devicelist.h"
#include "models/modelstmt.h"

class CCTDoc;
struct SchematicObject;

// ---- device expressions -------------------------------------------------------------------

// A value text of a device record that is compiled after the set-up, once
// every part and node exists (and evaluated at run time).
struct DeviceExpression {
    CompiledExpression compiled;
    std::string pendingText;  // the text still to compile; empty: none
    bool HasText() const { return !pendingText.empty(); }
};

// ---- device records -----------------------------------------------------------------------
// Records are made through their list's pool (RegisterCompilerDeviceRecords
// registers the layouts) and constructed in zeroed storage. `branch` is the
// number of the record's first branch-current unknown, 0 when it has none.

struct ResistorRecord : DeviceRecord {
    ModelRecord* model;
    int32_t node1, node2;
    double initialValue;  // value at creation
    DeviceExpression value;
    DeviceExpression frequency;  // AC runs only (FREQ)
    double working;              // the part's principal value
    double nominal;
    int32_t noise;  // 1 for a resistor part, 0 for one the compiler adds
    double tc1;
    int32_t tc1Given;
    double tc2;
    int32_t tc2Given;
    double temperatureFactor;  // multiplies the value in the load; set up at each run temperature
};

struct CapacitorRecord : DeviceRecord {
    ModelRecord* model;
    int32_t node1, node2;
    double initialValue;
    DeviceExpression value;
    DeviceExpression frequency;
    double working;
    double nominal;
    double ic;  // initial voltage
    int32_t icGiven;
    int32_t index;  // capacitor count at creation
    // The current into the first terminal, filled by the device load while
    // quantityRefs is set (the AC set in AC runs).
    double current;
    ComplexNumber acCurrent;
    // Temperature coefficients (the part's own when given, else the model's)
    // and the factor they give at the run temperature.
    double tc1;
    int32_t tc1Given;
    double tc2;
    int32_t tc2Given;
    double temperatureFactor;
    int32_t constantCapacitance;  // no voltage coefficients
};

struct TransformerCouplingRecord;

struct InductorRecord : DeviceRecord {
    ModelRecord* model;
    int32_t node1, node2;
    double initialValue;
    DeviceExpression value;
    DeviceExpression frequency;
    double working;
    double nominal;
    double ic;  // initial current
    int32_t icGiven;
    int32_t index;                        // inductor count at creation
    TransformerCouplingRecord* coupling;  // of a transformer that uses it
    int32_t branch;
    double tc1;
    int32_t tc1Given;
    double tc2;
    int32_t tc2Given;
    double temperatureFactor;
    int32_t inductorFlag;  // 0 only when both current coefficients are nonzero
};

// K: the inductors it couples are found from its INDUCTORS attribute after the
// set-up loop.
struct InductorCouplingRecord : DeviceRecord {
    ModelRecord* model;  // core model, or null
    DeviceExpression coupling;
    std::vector<InductorRecord*> inductors;
};

// A transformer's winding pair (and the inductor pairs of a K coupling).
struct TransformerCouplingRecord : DeviceRecord {
    InductorRecord* primary;
    InductorRecord* secondary;
    double coupling;
    std::unique_ptr<DeviceExpression[]> expressions;
    int32_t expressionCount;
};

// One entry of a PWL list.
enum PwlEntryKind : int32_t { kPwlRepeat = 1, kPwlEndRepeat = 2, kPwlPoint = 3 };
struct PwlEntry {
    int32_t kind = kPwlPoint;
    double number = 0.0;      // a point's time; a REPEAT FOR count; 0 for FOREVER
    std::string value;        // a point's value text, evaluated at run time
    int32_t repeatCount = 0;  // FOR count, -1 FOREVER
};

enum SourceKind : int32_t { kSourceCurrent = 11, kSourceVoltage = 30 };
enum SourceFunction : int32_t {
    kFunctionNone = 0,
    kFunctionPulse = 1,
    kFunctionSin = 2,
    kFunctionExp = 3,
    kFunctionPwl = 4,
    kFunctionSffm = 5,
    kFunctionNoise = 6,
    kFunctionGaussian = 7,
};
// Value field numbers: 0-6 the transient function's parameters, then these.
constexpr int kSourceFieldDc = 7;
constexpr int kSourceFieldAcMagnitude = 8;
constexpr int kSourceFieldAcPhase = 9;
constexpr int kSourceFieldCount = 10;

// An independent SPICE-style source (Battery, VSpice, ISpice, Isource,
// ANALOG STATE).
struct SourceRecord : DeviceRecord {
    int32_t node1, node2;
    int32_t sourceKind;    // SourceKind
    int32_t functionKind;  // SourceFunction
    double dcValue;
    double working;  // the value the loads use
    ToleranceSpec tolerances[kSourceFieldCount];
    double nominal[kSourceFieldCount];
    int32_t lastParameter;  // index of the last transient parameter given, -1 none
    double values[kSourceFieldCount];
    double timeScale;   // TIME_SCALE_FACTOR, 1 unless given
    double valueScale;  // VALUE_SCALE_FACTOR
    DeviceExpression trigger;
    int32_t repeatDepth;
    std::vector<int32_t> repeatCounters;  // run-time state of nested repeats
    std::vector<int32_t> repeatStarts;
    std::vector<double> repeatTimes;
    std::vector<PwlEntry> pwl;
    int32_t noBreakpoints;
    int32_t branch;
    // A current source's current, filled by the device load while
    // quantityRefs is set (the AC set in AC runs).
    double current;
    ComplexNumber acCurrent;
    // A current meter (a zero-volt source the compiler adds): the node field
    // of the device pin it measures; null for every other source.
    const int32_t* meteredSlot;
};

struct PulseSourceRecord : DeviceRecord {
    ModelRecord* model;  // PUL
    int32_t node1, node2;
    int32_t branch;
};

struct SineSourceRecord : DeviceRecord {
    ModelRecord* model;  // SIN
    int32_t node1, node2;
    int32_t internalNode;  // after the series resistance, or node 1
    int32_t branch;
};

struct UserSourceRecord : DeviceRecord {
    int32_t node1, node2;
    std::string fileName;
    std::string expression;
    int32_t repeat;
    int32_t branch;
};

// An OPAMP part. Levels 1 and 2 keep their transconductance stages here (the
// device load drives stage 1 from V(plus) - V(minus), each later stage from
// the one before, the last into the output); their resistors and capacitors
// are ordinary records linked below.
struct OpampRecord : DeviceRecord {
    ModelRecord* model;
    int32_t plus, minus, vcc, vee;  // pins NC+, NC-, VCC, VEE
    int32_t stage1, stage2;         // level 2's internal stage nodes, else 0
    int32_t output;                 // pin VO
    double transconductance;
    int32_t level;
    CapacitorRecord* c1;  // level 2: the first pole
    CapacitorRecord* ce;  // level 2: the second pole
    ResistorRecord* rc1;  // level 1: the output load; level 2: stage 1's load
    ResistorRecord* rc2;  // level 2: stage 2's load
    ResistorRecord* re1;  // level 2: the output load
};

// Registers the layouts above with their device lists (start-up; again is harmless).
void RegisterCompilerDeviceRecords();

// ---- the link of a part to what its set-up made ---------------------------------------------

struct PartLink {
    DeviceRecord* record = nullptr;  // null for parts that keep none
    int32_t listIndex = -1;
    int32_t deviceKind = 0;
    ModelRecord* model = nullptr;
    double* value = nullptr;  // the record's principal value, or null
    std::string qualifiedName;
};

// ---- the compiled circuit --------------------------------------------------------------------

struct CompiledCircuit {
    DeviceListSet devices;

    int32_t analogNodeCount = 0;       // nodes 1..count; internal nodes raise it
    int32_t totalNodeCount = 0;        // analog and digital
    int32_t savedAnalogNodeCount = 0;  // the counts right after subcircuit expansion
    int32_t savedTotalNodeCount = 0;
    int32_t inductorCount = 0;
    int32_t capacitorCount = 0;
    int32_t unknownCount = 0;  // N
    bool noAnalogNodes = false;

    bool groundSeen = false;
    double maxResistance = 1e12;  // 1/GMIN: resistors the compiler adds
    bool loadOperatingPoint = false;
    bool skipInductorLoopCheck = false;

    // First group (after numbering): N + 3 doubles each (2N + 3 in AC runs).
    std::vector<double> solution;
    std::vector<double> acVector;
    std::vector<double> previousIterate;
    // Charge states: two arrays of 4 values per state.
    std::vector<double> states[2];
    // Second group (after the checks, unless a transfer-function or
    // sensitivity request is armed).
    std::vector<double> lastAccepted;
    std::vector<double> beforeLastAccepted;
    std::vector<double> rightHandSide;

    std::unordered_map<const SchematicObject*, PartLink> partLinks;
    // The names the set-ups gave their internal nodes, by node number.
    std::unordered_map<int32_t, std::string> internalNodeNames;

    PartLink* FindLink(const SchematicObject* part) {
        auto it = partLinks.find(part);
        return it == partLinks.end() ? nullptr : &it->second;
    }
};

// The compiled circuit of a document: made empty on first use (null for a null
// document). It belongs to the document's compile session.
CompiledCircuit* GetCompiledCircuit(CCTDoc* document);
// The one when it exists, else null.
CompiledCircuit* FindCompiledCircuit(const CCTDoc* document);
// Frees every record, vector and link of the document's compiled circuit; the
// parts lose their links. Harmless when there is none.
void ReleaseCompiledCircuit(CCTDoc* document);
