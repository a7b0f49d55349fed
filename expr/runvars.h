// Process-wide values that expressions read by name: the run variables (time,
// frequency, sweep ranges ...), the global simulation settings and the circuit's
// energy and power totals. The symbol table points at these storages; the
// analysis drivers, the Global Settings table and the solver fill them.
#pragma once

#include <cstdint>

#include "expr/complex.h"

// Run variables, set by the analysis drivers (owned by analysis control; only
// the storage lives here so that expressions can bind to it).
struct RunVariables {
    double analysis = -1;  // ANALYSIS: the current analysis kind as a double
    double dcInput1 = 0;   // DCINPUT1: value of the first DC sweep variable
    double tmin = 0;       // TMIN, TMAX: transient start and end time
    double tmax = 0;
    double fmin = 0;  // FMIN, FMAX: AC start and end frequency
    double fmax = 0;
    double dcmin = 0;  // DCMIN, DCMAX: DC sweep start and end
    double dcmax = 0;
    double dt = 0;            // DT: the current time step
    double vt = 0.025864186;  // VT: thermal voltage (at 27 degrees until a run sets it)
    double temp = 27;         // TEMP: analysis temperature in degrees Celsius
    double time = 0;          // T, TIME: the current time
    double frequency = 0;     // F, FREQUENCY: the current frequency
};
extern RunVariables RunVars;

// Storage of the 41 global simulation settings, with their defaults. The
// Global Settings table (analysis control) parses and clamps into these fields;
// expressions read the ones the symbol table names.
struct GlobalSettingValues {
    double abstol = 1e-12;
    double chgtol = 1e-14;
    double defad = 0;
    double defas = 0;
    double defl = 100e-6;
    double defw = 100e-6;
    double digdrvf = 2;
    double digdrvz = 20e3;
    int32_t digerrdefault = 20;
    int32_t digerrlimit = 0;
    double digfreq = 10e9;
    int32_t diginitstate = 0;
    int32_t digiolvl = 2;
    int32_t digmntymx = 2;
    double digmntyscale = 0.4;
    double digovrdrv = 3;
    double digtymxscale = 1.6;
    double gmin = 1e-12;
    int32_t itl1 = 100;
    int32_t itl2 = 50;
    int32_t itl4 = 10;
    int32_t nooutmsg = 0;
    double pivrel = 1e-3;
    double pivtol = 1e-13;
    double reltol = 1e-3;
    double sd = 2.58;
    int32_t seed = 0;
    double tnom = 27;
    double trtol = 7;
    int32_t trytocompact = 0;
    double vntol = 1e-6;
    int32_t width = 80;
    int32_t privatedigital = 0;
    int32_t privateanalog = 1;
    int32_t performM = 2;
    double rmin = 1e-6;
    double rNodeGnd = 1e12;
    int32_t numericDerivative = 0;
    double lthresh = 1.5;
    double lone = 3.5;
    double lzero = 0.3;
};
extern GlobalSettingValues GlobalSettings;

// The circuit's totals of generated, dissipated and stored power, accumulated
// by the solver while a power-reference bit is set. EGT/PGT read `generated`,
// EDT/PDT `dissipated`, EST/PST `stored`.
struct CircuitTotals {
    ComplexNumber generated = {0, 0};
    ComplexNumber dissipated = {0, 0};
    ComplexNumber stored = {0, 0};
};
extern CircuitTotals CircuitPowerTotals;
