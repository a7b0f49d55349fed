// Set-up of a compiled circuit's models and devices at a run temperature.
//
// Before every run the values the device loads read are brought to the run
// temperature in two passes: the model pass (defaults that depend on other
// values, unit conversions, clamps, values independent of any instance) and
// the instance pass (the temperature laws and the per-instance values). Both
// change model values in place, once per model record and pass; analysis
// control restores the statement values before each further run, so nothing
// accumulates over a temperature list or a stepping series.
//
// Everything a set-up reads or writes belongs to its TemperatureSetup: the
// circuit's model records and device lists, its options, and the three values
// the loads read afterwards. Two circuits set up side by side share nothing.
#pragma once

#include <cstdint>

#include "expr/runvars.h"

class CCTDoc;
struct CircuitModels;
struct CompiledCircuit;
struct ModelRecord;

// Physical constants of every temperature law, exactly as the laws use them.
constexpr double kBoltzmann = 1.3806226e-23;
constexpr double kElectronCharge = 1.6021918e-19;
constexpr double kKelvinOffset = 273.15;
constexpr double kReferenceTemperature = 300.15;  // kelvin

// Thermal voltage k*T/q at T kelvin.
constexpr double ThermalVoltageAt(double kelvin) { return kelvin * kBoltzmann / kElectronCharge; }
// Energy gap of silicon (eV) at T kelvin.
double SiliconEnergyGap(double kelvin);

// A compile note kind of the set-up: a temperature-adjusted PHI (or junction
// potential) went negative; Row is the model statement, Value the temperature
// in degrees Celsius.
constexpr int32_t kNoteNegativePhi = 9;

struct TemperatureSetup {
    CircuitModels* models = nullptr;      // the circuit's model records; null: none
    CompiledCircuit* compiled = nullptr;  // the device lists; null: model records only
    // The options the circuit runs with (TNOM, RMIN, GMIN, RELTOL, ABSTOL);
    // null reads the global settings.
    const GlobalSettingValues* options = nullptr;
    // Set by the rebuild after a stepped change around the model pass: the
    // resistance slots already hold conductances and are not converted again.
    bool modelValuesConverted = false;
    // Set while an AC run holds its operating point: a repeated set-up keeps
    // each MOSFET's operating mode.
    bool operatingPointHeld = false;

    // Written by the passes.
    double runTemperature = 27.0;         // degrees Celsius, of the pass under way
    double ThermalVoltage = 0.025864186;  // at the run temperature (model pass)
    double AbsoluteTemperature = 300.15;  // run temperature in kelvin (instance pass)
    double MaxConductance = 1e50;         // 1/RMIN, the ceiling of series conductances

    const GlobalSettingValues& Options() const { return options ? *options : GlobalSettings; }
};

// A set-up over the document's compiled circuit, model records and options
// (any of them null when the document has none yet).
TemperatureSetup MakeTemperatureSetup(CCTDoc* document);

// The model pass at T degrees Celsius: 0, or a message id (15055 once shown;
// kResultPending with the part name as pending text for an OPAMP fault).
int SetupModelsAtTemperature(TemperatureSetup& setup, double temperature);
// The instance pass: 0, or a message id; an arithmetic fault anywhere in the
// pass ends it with the floating-point message pending.
int SetupInstancesAtTemperature(TemperatureSetup& setup, const double& temperature);

// ---- operations shared by the families ---------------------------------------------------

// Resolves the model's nominal temperature (an unset T_MEASURED becomes the
// TNOM option and stays in the model) and returns its device temperature (deg C):
// T_ABS when set, else run temperature + T_REL_GLOBAL when set, else the AKO
// parent's T_ABS + T_REL_LOCAL when both are written in their statements,
// else the run temperature. `tMeasuredIndex` is the index of T_MEASURED.
double ResolveModelTemperature(const TemperatureSetup& setup, ModelRecord* model, int tMeasuredIndex);

// What the junction update returns besides the two slots it rewrites.
struct JunctionTemperature {
    double vt;        // thermal voltage at Tdev
    double ratio;     // Tdev / Tnom in kelvin
    double logRatio;  // ln(ratio)
    double delta;     // Tdev - Tnom
    double deltaSq;   // delta squared
};
// Brings the junction potential values[pbIndex] and the zero-bias capacitance
// values[cjIndex] (grading `grading`) from tnom to tdev (both deg C).
JunctionTemperature UpdateJunctionForTemperature(double* values, int pbIndex, int cjIndex, double grading, double tdev,
                                                 double tnom);

// The multiplier of a saturation current at the kelvin ratio Tdev/Tnom.
double SaturationCurrentFactor(double ratio, double emission, double vt, double energyGap, double xti);

// The junction voltage above which the loads limit the step.
double CriticalVoltage(double nvt, double saturationCurrent);

// Writes the coefficients of the forward-bias extension of a depletion
// capacitance: slot A (the caller's FC slot) <- FC*PB, V, S and Q. A grading of
// 1 keeps the logarithmic limit of the charge instead of losing it.
void DepletionCapCoefficients(double* values, double fc, double pb, double grading, int slotA, int slotV, int slotS,
                              int slotQ);

// The square root of PHI; 0.001 for PHI <= 0, and a negative PHI leaves one
// note per model statement in the circuit's compile notes.
double GuardedSqrtPhi(const TemperatureSetup& setup, const ModelRecord* model, double phi, double kelvin);

// Grading coefficients within 0.001 of 1 make the depletion charge divide by
// zero: they become 0.999.
double ClampGrading(double grading);

// A nonzero resistance as a conductance (1/max(R, RMIN)); zero stays zero.
double ResistanceToConductance(double resistance, double rmin);
// A nonzero conductance limited to the setup's MaxConductance.
double ClampConductance(const TemperatureSetup& setup, double conductance);
