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

// The magnetic state of a core: present, accepted and previous-iteration
// values (the device models solve it; see devices/magcore.h).
struct MagneticCoreState {
    double anhysteretic = 0.0, acceptedAnhysteretic = 0.0;
    double magnetization = 0.0, acceptedMagnetization = 0.0;
    double field = 0.0, acceptedField = 0.0;                // H inside the core
    double appliedField = 0.0, acceptedAppliedField = 0.0;  // N I / l of all windings
    double slope = 0.0, acceptedSlope = 0.0;                // dM/dH
    double chordSlope = 0.0, acceptedChordSlope = 0.0;
    double lastMagnetization = 0.0;  // of the previous iteration
};

// K: the inductors it couples are found from its INDUCTORS attribute after the
// set-up loop. With a core model they are windings on `core`, their values
// numbers of turns.
struct InductorCouplingRecord : DeviceRecord {
    ModelRecord* model;  // core model, or null
    DeviceExpression coupling;
    std::vector<InductorRecord*> inductors;
    MagneticCoreState core;
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
    // The line gave a DC value: operating points and DC sweeps bias from it
    // rather than from the waveform's start.
    int32_t dcGiven = 0;
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
    // PWL and NOISE: the expanded table of a transient run (times scaled and
    // ascending, values evaluated and scaled) and the trigger's latch.
    std::vector<double> tableTimes;
    std::vector<double> tableValues;
    double triggerTime;
    int32_t triggered;
};

struct PulseSourceRecord : DeviceRecord {
    ModelRecord* model;  // PUL
    int32_t node1, node2;
    int32_t branch;
    double working;  // the value at the present analysis point
    double current;  // through the source, filled while quantityRefs or powerRefs is set
};

struct SineSourceRecord : DeviceRecord {
    ModelRecord* model;  // SIN
    int32_t node1, node2;
    int32_t internalNode;  // after the series resistance, or node 1
    int32_t branch;
    double working;  // the value at the present analysis point
    double current;  // through the source, filled while quantityRefs or powerRefs is set
};

struct UserSourceRecord : DeviceRecord {
    int32_t node1, node2;
    std::string fileName;
    std::string expression;
    int32_t repeat;
    int32_t branch;
};

// ---- dependent sources, lines and switches -----------------------------------------------------

// One controlling quantity of a polynomial source: a node pair (voltage
// control) or a voltage source whose branch current controls (current
// control; `negative` is then 0).
struct PolyInput {
    double value = 0.0;    // the value the present load used
    double initial = 0.0;  // used while junctions are initialised
    int32_t positive = 0;  // node, or 0 while a controlling source is named
    int32_t negative = 0;
    double gain = 0.0;                // partial derivative of the present load
    std::string sourceName;           // current control: the controlling source's name
    const int32_t* branch = nullptr;  // current control: the controlling source's branch field
};

// A polynomial E, F, G or H source (the SPICE letters, plain gain or POLY(n)).
struct PolySourceRecord : DeviceRecord {
    int32_t outPlus, outMinus;
    double lastOutput;
    int32_t sourceKind;  // 50 G, 51 F, 52 E, 53 H
    int32_t branch;      // output branch (E and H)
    // Coefficients p0, p1 ... from slot 1 on (slot 0 stays 0).
    std::vector<double> coefficients;
    int32_t coefficientCount;
    // Inputs from slot 1 on.
    std::vector<PolyInput> inputs;
    int32_t inputCount;
    int32_t scope;
    double pinCurrent;
};

// A linear dependent source of a schematic (IofV, IofI, VofV, VofI: component
// types 26 to 29). Its control kind is the type minus 26.
struct LinearDependentRecord : DeviceRecord {
    int32_t controlPlus, controlMinus;
    int32_t outPlus, outMinus;
    int32_t componentType;
    double second;  // the second VALUE number
    double gain;
    int32_t third;   // the third VALUE number, as an integer
    int32_t branch;  // first branch: the sensing branch (IofI, VofI) or the output (VofV)
};

// One departing-wave record of an ideal line: the waves leaving each end, at
// the time they reach the other end.
struct LineHistoryRecord {
    double time = 0.0;
    double waveFromA = 0.0;
    double waveFromB = 0.0;
};

// A lossless transmission line: each port a resistance Z0 from its plus pin to
// an internal node and a delayed source from there to its minus pin.
struct IdealLineRecord : DeviceRecord {
    ModelRecord* model;  // TRN
    int32_t portAMinus, portAPlus, portBMinus, portBPlus;
    int32_t internalA, internalB;
    int32_t branchA, branchB;
    double delay;  // TD (given, or NL / F)
    double impedance;
    // The value fields as given on the part.
    double z0;
    int32_t z0Given;
    double td;
    int32_t tdGiven;
    double frequency;
    int32_t frequencyGiven;
    double normalLength;
    int32_t normalLengthGiven;
    double waveIntoA, waveIntoB;
    double lastWaveA, lastSlopeA, lastWaveB, lastSlopeB;
    std::vector<LineHistoryRecord> history;  // ascending time
    double pinCurrentA, pinCurrentB;
    double powerStored;
};

// The working values of a lossy line, derived at the set-up from its
// resolved R, L, G, C and LEN (the line's own, else its model's) and updated
// by the transient (the first coefficients, the delay index and the
// interpolation weights at the delayed time).
struct LossyLineValues {
    double td = 0.0;  // sqrt(L C) LEN for RLC and LC lines
    double r = 0.0, l = 0.0, g = 0.0, c = 0.0, len = 0.0;
    double slopeRelTol = 1.0, slopeAbsTol = 1.0;
    double selfFirstCoeff = 0.0, transferFirstCoeff = 0.0, crossFirstCoeff = 0.0;
    double impedance = 0.0, admittance = 0.0;
    double alpha = 0.0, beta = 0.0, attenuation = 0.0;
    double cOverR = 0.0, rcLenSquared = 0.0;
    double selfIntegral = 0.0, transferIntegral = 0.0, crossIntegral = 0.0;
    double coshLength = 0.0, rSinhLength = 0.0, gSinhLength = 0.0;
    int32_t delayIndex = 0;
    double compactRelTol = 0.0, chopRelTol = 0.0, compactAbsTol = 0.0;
    double safeStepLimit = 0.0;
    int32_t lossyCase = 0;  // 37 RLC, 38 RC, 39 RG, 40 LC; 41 RL and 0 rejected
    double quadWeight[3] = {};
    double linWeight[2] = {};
    int32_t late = 0;  // the present time lies beyond the delay
    int32_t delayedIndex = -1;
};

// A lossy transmission line: ports Pos1/Neg1 and Pos2/Neg2, a branch current
// each (entering at the plus pin). The values, coefficient sequences and port
// histories belong to the line, so lines that share a model keep their own.
struct LossyLineRecord : DeviceRecord {
    ModelRecord* model;  // TRN
    int32_t ordinal;
    // The value fields as given on the part.
    double r, l, g, c, len;
    int32_t rGiven, lGiven, gGiven, cGiven, lenGiven;
    int32_t pos1, neg1, pos2, neg2;
    int32_t branch1, branch2;
    LossyLineValues values;
    double linePower, lineCurrent1, lineCurrent2;
    double source1, source2;
    double startVoltage1, startCurrent1, startVoltage2, startCurrent2;
    // Entry i belongs to the i-th accepted time of the run (times[i]).
    std::vector<double> times;
    std::vector<double> voltage1History, current1History, voltage2History, current2History;
    std::vector<double> selfCoeffs, transferCoeffs, crossCoeffs;
};

// The Switch part: kind 1 time, 2 voltage, 3 current controlled.
struct SwitchRecord : DeviceRecord {
    int32_t nodes[4];  // pins 4, 3 (the switched pair), 1, 2 (the control)
    int32_t switchKind;
    double level1, level2;
    double onConductance, offConductance;
    InductorRecord* controllingInductor;  // current-controlled switches
    // Written by the load: 2 on, 3 off; the state of the previous load; the
    // resistance of this load; current and power when output is wanted.
    int32_t state, previousState;
    double resistance;
    double current, power;
};

// What the load of a smooth switch (S or W) keeps: the constants its set-up
// at temperature derives from the model, and the state of the last load.
struct SmoothSwitchState {
    double logMidResistance;    // ln sqrt(RON * ROFF)
    double logResistanceRatio;  // ln(RON / ROFF)
    double controlMidpoint;     // (ON + OFF) / 2
    int32_t state;              // 2 on, 3 off, 8 in transition
    int32_t previousState;
    double resistance;  // of the previous load
    double current, power;
};

// The S switch (VSWITCH model, nodes pins 1 to 4).
struct VoltageSwitchRecord : DeviceRecord {
    ModelRecord* model;
    int32_t nodes[4];  // the switched pair, then the control pair
    SmoothSwitchState sw;
};

// The W switch (ISWITCH model); its controlling voltage source is found after
// the set-up.
struct CurrentSwitchRecord : DeviceRecord {
    ModelRecord* model;
    int32_t node1, node2;
    DeviceRecord* controllingSource;
    const int32_t* controllingBranch;
    SmoothSwitchState sw;
};

// ---- bipolar transistors, JFETs and GaAsFETs -------------------------------------------------
// The primed nodes sit behind the model's series resistances; each is its
// external node when that resistance is zero. The remaining fields are the
// state the loads keep between iterations and time points, and the values the
// set-up at temperature prepares per instance.
struct BipolarRecord : DeviceRecord {
    ModelRecord* model;
    int32_t modelKind;  // the model's type: 2 NPN, 15 PNP, 38 LPNP
    int32_t emitterPrime, collectorPrime, basePrime;
    int32_t substrate;  // 0 for three-pin parts
    int32_t emitter, collector, base;
    double polarity;  // +1 NPN, -1 PNP
    int32_t off;
    double area;
    int32_t icGiven;
    double icVbe, icVce;
    int32_t ordinal;
    int32_t condition;  // SAT, ON, OFF, HOT ... of the last load with power terms
    // Per instance at the run temperature.
    double nfVt, nrVt, forwardCutoff, reverseCutoff;
    double nsVt, substrateCutoff, substrateCriticalVoltage;
    double neVt, ncVt;
    double areaIs, areaIse, areaIsc, areaIss, areaIrb;
    double areaInverseIkf, areaInverseIkr;
    double areaGc, areaGe;  // collector and emitter series conductances
    // Stored state.
    double vbe, vbc, vcs;
    double ib, ic, isub;
    double gpi, gmu, gm, go, gx, geqcb, gcsTotal, geqbx, gsub;
    double capbe, capbc, capcs, capbx;
    double pinBase, pinEmitter, pinCollector, pinSubstrate;
};

struct JfetRecord : DeviceRecord {
    ModelRecord* model;
    int32_t gate, drain, source;
    int32_t drainPrime, sourcePrime;
    double polarity;  // +1 NJF, -1 PJF
    int32_t ordinal;
    int32_t off;
    double area;
    int32_t icGiven;
    double icVds, icVgs;
    int32_t condition;
    double vgs, vgd;
    double cg, cd, cgd;
    double ggs, ggd, gm, gds;
    double capgs, capgd;
    double pinGate, pinDrain, pinSource;
};

struct GaasfetRecord : DeviceRecord {
    ModelRecord* model;
    int32_t gate, drain, source;
    int32_t gatePrime, drainPrime, sourcePrime;
    double polarity;  // always +1
    int32_t ordinal;
    double area;
    int32_t off;
    int32_t icGiven;
    double icVds, icVgs;
    int32_t condition;
    double vgs, vgd;
    double cg, cd, cgd;
    double ggs, ggd, gm, gds;
    double capgs, capgd, capds;
    double pinGate, pinDrain, pinSource;
};

// ---- MOSFETs ----------------------------------------------------------------------------------
// Levels 1-3 and BSIM1-3 share the MOSFET list; the level tells the loads apart.

// An instance value and whether the instance text gave it (the scanner's %t slot).
struct GivenValue {
    double value;
    int32_t given;
};

// The per-instance work area of levels 1-3, filled by the set-up at temperature.
enum MosDerivedIndex : int {
    kMosCgsHalf = 0,  // Meyer half capacitances: present, then at the previous time point
    kMosCgsHalfPrevious,
    kMosCgdHalf,
    kMosCgdHalfPrevious,
    kMosCgbHalf,
    kMosCgbHalfPrevious,
    kMosF2d,  // forward-bias extension of the drain junction charge
    kMosF3d,
    kMosF4d,
    kMosF2s,  // ... and of the source junction
    kMosF3s,
    kMosF4s,
    kMosDepletionThreshold,  // FC * PB at temperature
    kMosBuiltIn,             // tVbi
    kMosSurfacePotential,    // tPhi
    kMosOxideCap,            // Cox * Weff * Leff
    kMosBeta,                // KP(T) * Weff / Leff
    kMosDerivedCount
};

struct MosfetRecord : DeviceRecord {
    ModelRecord* model;
    int32_t gate, drain, source, bulk;  // external nodes
    // Inside the series resistances; the external node when there is none.
    int32_t gatePrime, drainPrime, sourcePrime, bulkPrime;
    int32_t extraNode;  // BSIM3 with NQSMOD 1; else 0
    int32_t level;
    GivenValue L, W;  // working geometry (the set-up at temperature restores it from the nominal copies)
    int32_t ordinal;
    double AD, AS, PD, PS, NRD, NRS, NRG;
    double M;
    GivenValue nominalL, nominalW;  // as the instance text gave them
    double nominalAD, nominalAS, nominalPD, nominalPS;
    int32_t off;
    int32_t icGiven;
    double icVds, icVgs, icVbs;  // IC=vds,vgs,vbs
    double NRB;
    double workingFactor;
    std::vector<double> derived;  // MosDerivedIndex, kMosDerivedCount values

    // Set up at temperature; read and kept by the load (n-channel sense).
    int32_t condition;  // 1 SAT, 3 OFF, 4 HOT, 6 LIN, 7 WEAK
    double drainConductance, sourceConductance, gateConductance, bulkConductance;
    double weff, leff;
    double tVto;
    double vt, nvt;
    double sourceVcrit, drainVcrit;
    double sourceSatCur, drainSatCur;
    double cbdZero, cbsZero, cbdSidewall, cbsSidewall;
    double overlapCapGs, overlapCapGd, overlapCapGb;
    double mode;  // +1 normal, -1 drain and source interchanged
    double vdsat, von;
    double vbs, vgs, vds, vbd;
    double vgsPrevious, vbsPrevious, vdsPrevious;  // at the last accepted time point
    double vgsOlder, vbsOlder, vdsOlder;           // at the one before
    double cd, cbs, cbd;
    double ig, id, is, ib;  // terminal currents
    double gm, gds, gmbs, gbd, gbs;
    double capgs, capgd, capgb, capbd, capbs;
    int32_t reversalHold;
    double powerDissipated, powerStored;
    double historyTime;  // the accepted time the histories were last shifted at
    int32_t historyValid;
};

// A junction diode. The load keeps the last evaluation (vd, id, gd, cd) for
// bypass, prediction and the numeric output.
struct DiodeRecord : DeviceRecord {
    ModelRecord* model;
    int32_t anode, cathode;
    int32_t internalAnode;  // inside the series resistance; the anode when RS is 0
    int32_t off;
    int32_t ordinal;  // diode count at creation (1 first)
    double area;
    int32_t icGiven;  // the instance text mentions IC
    double ic;        // initial junction voltage
    double vd, id, idOut, gd, cd;
    int32_t condition;  // 2 on, 3 off, 4 hot, 5 zener (of the last load with power terms)
    double pinCurrent;  // into the anode
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
    // Level 3: the macromodel's elements that the set-up at temperature writes
    // again (c1, ce, rc1, rc2 and re1 above are its C1, CE, RC1, RC2, RE1).
    SourceRecord *tail, *vc, *ve, *vlp, *vln;
    PolySourceRecord *f1, *gcm, *ga;
    CapacitorRecord* c2;
    ResistorRecord *re2, *re, *rp, *r2, *ro2, *routac;
    JfetRecord *j1, *j2;
    DiodeRecord* d5;  // between the supplies; D3 and D4 share its model
    BipolarRecord *q1, *q2;
    DiodeRecord *d3, *d4;
    int32_t stateCode;  // 6 linear, 1 saturated (level 3: at a swing limit)
};

// ---- display and animated parts --------------------------------------------------------------
// The records the schematic's animation reads; the electrical behaviour is in
// the ordinary records they link (zero-volt sensors measure the currents).

struct SevenSegmentRecord : DeviceRecord {
    int32_t nodes[7];
};

struct DigitalLedRecord : DeviceRecord {
    int32_t node;
};

struct TrafficLightRecord : DeviceRecord {
    int32_t nodes[3];
    double turnOnVoltage;
    ResistorRecord* lamps[3];
    SourceRecord* sensors[3];
};

// The analog bar and the meter.
struct BarMeterRecord : DeviceRecord {
    int32_t node1, node2;
    double low, high;
    SourceRecord* sensor;
    // The meter's display: its scale suffix and whether it scales itself.
    std::string scale;
    int32_t autoscale;
};

struct RelayRecord : DeviceRecord {
    int32_t coil1, coil2;        // pins 3 and 4
    int32_t contact1, contact2;  // pins 1 and 2
    InductorRecord* coil;
    CurrentSwitchRecord* contact;
    SourceRecord* contactSensor;
    SourceRecord* coilSensor;
    double lin, ion, ioff, ron, roff, rin;
    int32_t bidirectional;
};

struct AnalogLedRecord : DeviceRecord {
    int32_t node1, node2;
    double lightingVoltage;  // 1.001 x VF
    double forwardCurrent;   // IF
    ResistorRecord* toGround[2];
    SourceRecord* sensor;
    DiodeRecord* diode;
};

struct FunctionSourceRecord;
// A DC motor: its armature in series with a sensor, and the speed output a
// function source drives from the armature voltage.
struct DcMotorRecord : DeviceRecord {
    int32_t nodes[3];
    ResistorRecord* armatureResistor;
    InductorRecord* armatureInductor;
    FunctionSourceRecord* speed;
    SourceRecord* sensor;
    double speedFactor;  // revolutions per second per volt
};

// SPST, SPDT and DPST switches: their contact resistors and sensors.
struct AnimatedSwitchRecord : DeviceRecord {
    int32_t nodes[4];
    ResistorRecord* contacts[2];
    SourceRecord* sensors[3];
};

// ---- behavioural sources: function, table, Laplace and sample-and-hold ------------------------

// One node voltage or branch current a function source's formula reads, with
// the partial derivative its load stamps.
struct FunctionDependency {
    int32_t slot = 0;  // equation number
    double derivative = 0.0;
    double rawDerivative = 0.0;
    double lastDerivative = 0.0;
    // The formula's partial derivative by this unknown; null when the source
    // takes its derivatives by perturbation.
    std::unique_ptr<CompiledExpression> derivativeFormula;
};

// NFI (35) and NFV (37): the output is the value of a formula of circuit
// quantities, linearised at every load.
struct FunctionSourceRecord : DeviceRecord {
    int32_t outPlus, outMinus;
    int32_t componentType;
    int32_t branch;  // NFV's output branch
    DeviceExpression value;
    DeviceExpression acValue;  // FREQ, AC runs only
    double presentValue;
    double lastValue;
    double pinCurrent;
    std::vector<FunctionDependency> dependencies;  // ascending slots
    int32_t numericDerivatives;                    // 1 by perturbation, 0 from the derivative formulas
    // AC runs only: the noise current density of an NFI (A per root hertz)
    // and the unknowns the FREQ formula reads (ascending), with the formula's
    // value at the last AC load.
    DeviceExpression noise;
    std::vector<int32_t> acDependencies;
    ComplexNumber acOutput{0.0, 0.0};
};

// The table sources NTIofV .. NTVofI (39 to 42): a piecewise-linear function of
// one controlling voltage or current. The table's first and last given pairs
// are repeated at its ends.
struct TableSourceRecord : DeviceRecord {
    int32_t inPlus, inMinus, outPlus, outMinus;
    int32_t componentType;
    int32_t branch;  // as the linear dependent sources of the same control kind
    std::vector<double> inputs, outputs;
    int32_t segment, acceptedSegment;
    double lastOutput, lastInput, acceptedInput, slope;
    double pinCurrent;
};

// Magnitude and phase formats of a Laplace table.
enum LaplaceTableFormat : int32_t {
    kLaplaceMag = 0,
    kLaplaceDb = 1,
    kLaplaceDeg = 2,
    kLaplaceRad = 3,
    kLaplaceRealImag = 4
};

// Laplace sources: a formula in S (LFIofV .. LFVofI, 31 to 34, the z-domain
// forms compiled to them) or a frequency table (LTIofV .. LTVofI, 43 to 46).
// The per-run impulse response and input history belong to the transient run
// that made them.
struct LaplaceSourceRecord : DeviceRecord {
    int32_t inPlus, inMinus, outPlus, outMinus;
    int32_t componentType;
    int32_t branch;
    DeviceExpression transfer;  // formula sources
    // Table sources: rows of (frequency, magnitude or real, phase or imaginary),
    // ascending, the first and last given rows repeated at the ends.
    std::vector<double> table;
    int32_t rowCount;
    int32_t magnitudeFormat, phaseFormat;
    double lastOutput, lastInput, baseInput, baseOutput;
    double pinCurrent;
    std::vector<double> impulse;  // N + 2 samples of the impulse response
    std::vector<double> history;  // N + 2 slots: input times dt at sample positions
    double runStart;              // TMIN of the run the two belong to
    int32_t historyPrimed;        // the slots before TMIN hold the operating-point input
};

// SAMPLE_AND_HOLD: a voltage source holding the last sample of its input formula.
struct SampleHoldRecord : DeviceRecord {
    int32_t outPlus, outMinus;
    int32_t branch;
    double heldValue, savedHeldValue;
    double period;  // 0: sampled by the sample formula
    DeviceExpression input;
    DeviceExpression sample;  // empty when PERIOD is used
    double pinCurrent;
    int32_t acceptedPoints;  // of the running transient, at the last accepted point
};

// Timer: counts rising crossings of its input formula through 1 and drives
// three internal DC sources to ground (pins 1 to 3): the elapsed time since the
// last count (scaled), the count, and the time of the last count.
struct TimerRecord : DeviceRecord {
    int32_t nodes[4];  // outputs 1 to 3, the reset pin
    double count;
    int32_t armed;
    double increment, initial, minimum, maximum;
    SourceRecord* outputs[3];  // elapsed, count, last-count time
    double elapsedScale;
    DeviceExpression input;
};

// Registers the layouts above with their device lists (start-up; again is harmless).
void RegisterCompilerDeviceRecords();
// The same for the behavioural sources (compiler/behavsetup.cpp).
void RegisterBehaviouralDeviceRecords();
// The same for the dependent sources, lines and switches (compiler/depsources.cpp).
void RegisterDependentDeviceRecords();

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
