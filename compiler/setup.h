// The part set-up loop: every analog part of the flattened circuit becomes its
// device records, internal nodes and registered name. It runs once per full
// compile, after subcircuit expansion and the node-connection check and before
// the coupled-inductor set-up, the numbering of unknowns and the device
// expression pass.
#pragma once

#include <cstdint>

#include "document/ctdoc.h"

// A part whose skip mark is set is passed over by the set-up (the mark lives in
// the first of the part's compiler words).
constexpr int kPartSkipWord = 0;
inline bool IsPartSkipped(const SchematicObject* part) { return part->compilerWords[kPartSkipWord] != 0; }

// What the loop does with a component type.
enum class PartSetupKind : int {
    None,          // no device: passed over
    Ground,        // no device; the circuit has a ground reference
    NotBuilt,      // its set-up does not exist yet: the compile stops naming the part
    SpiceVoltage,  // Battery, VSpice: a voltage source read from VALUE
    SpiceCurrent,  // ISpice, Isource
    AnalogState,   // a voltage source from pin 1 to ground, and a ground reference
    Resistor,
    Capacitor,
    Inductor,
    Coupling,
    Transformer,
    PulseSource,
    SineSource,
    UserSource,
    PolySource,       // G, F, E, H with a gain or POLY(n) (types 50-53)
    LinearDependent,  // IofV, IofI, VofV, VofI (types 26-29)
    TransmissionLine,
    Switch,
    VoltageSwitch,  // S
    CurrentSwitch,  // W
    Bipolar,        // three- and four-pin NPN and PNP
    Jfet,
    GaAsFet,
    Mosfet,  // NMOS, PMOS
    Diode,
    Subcircuit,  // expanded before the set-up: only its name is registered
    Opamp,
    SevenSegment,
    DigitalLed,
    TrafficLight,
    AnalogBar,
    Meter,
    Relay,
    SpstSwitch,
    SpdtSwitch,
    DpstSwitch,
    AnalogLed,
    Motor,
    FunctionSource,  // NFI, NFV
    LaplaceSource,   // LFIofV .. LFVofI
    ZLaplaceSource,  // their Z-domain forms
    TableSource,     // NTIofV .. NTVofI
    LaplaceTable,    // LTIofV .. LTVofI
    SampleHold,
    Timer,
};
PartSetupKind SetupKindOfType(int componentType);

// Sets every part of the document up in list order, into the document's
// compiled circuit (the loop makes the document the run context's circuit and
// its device list set current while it runs). Digital parts are left to the
// digital set-up. The first failure ends the loop: 0, or 15055 after a message.
int ProcessComponents(CCTDoc* document);

// The set-up's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterPartSetupMessages();
