// MOSFETs of levels 1 to 3: the model preparation and the per-instance values
// of the set-up at temperature, and the channel equations of the three levels
// that the load evaluates.
#pragma once

#include "devices/temperature.h"

struct ModelRecord;
struct MosfetRecord;

// Parameter and derived-slot indices of the level 1-3 model table.
enum MosParam : int {
    kMpLevel = 0,
    kMpVto = 1,
    kMpKp = 2,
    kMpL = 3,
    kMpW = 4,
    kMpGamma = 5,
    kMpPhi = 6,
    kMpLambda = 7,  // LEVEL 3: 2 eps_si / (q NSUB) after the conversion
    kMpRd = 8,
    kMpRs = 9,
    kMpCbd = 10,
    kMpCbs = 11,
    kMpIs = 12,
    kMpPb = 13,
    kMpCgso = 14,
    kMpCgdo = 15,
    kMpCgbo = 16,
    kMpRsh = 17,
    kMpCj = 18,
    kMpMj = 19,
    kMpCjsw = 20,
    kMpMjsw = 21,
    kMpJs = 22,
    kMpTox = 23,  // the oxide capacitance per area after the conversion
    kMpNsub = 24,
    kMpNss = 25,
    kMpNfs = 26,
    kMpTpg = 27,
    kMpXj = 28,
    kMpLd = 29,
    kMpWd = 30,
    kMpUo = 31,
    kMpUcrit = 32,  // LEVEL 3: THETA
    kMpUexp = 33,   // LEVEL 3: the static feedback factor
    kMpUtra = 34,   // LEVEL 3: KAPPA
    kMpVmax = 35,
    kMpNeff = 36,
    kMpXqc = 37,
    kMpAf = 39,
    kMpFc = 40,     // FC * PB after the conversion
    kMpDelta = 41,  // LEVEL 3: the narrow-width factor
    kMpTheta = 42,
    kMpEta = 43,
    kMpKappa = 44,
    kMpRg = 45,
    kMpRb = 46,
    kMpRds = 47,
    kMpJssw = 48,
    kMpN = 49,
    kMpPbsw = 50,
    kMpTt = 51,
    kMpTMeasured = 54,
    kMpTdev = 58,
    kMpVt = 59,
    kMpPolarity = 60,
    kMpBuiltIn = 61,
    kMpDepletionWidth = 62,
};

// Messages of the MOSFET set-up.
enum MosMessage : int {
    kMosMsgNsubBelowNi = 13661,     // "%ENSUB must be >= NI in MOSFET model."
    kMosMsgToxNotPositive = 13662,  // "%ETOX must be > 0.0 in the MOSFET model."
    kMosMsgLeffNotPositive = 14548,
    kMosMsgWeffNotPositive = 14549,
};
void RegisterMosfetMessages();

// +1 for an n-channel model, -1 for a p-channel one.
double MosPolarity(const ModelRecord* model);

// ---- model pass (each over the NMOS models, then the PMOS models) -------------------------
// Process-based defaults: 0, or 15055 when a model of the type had an error
// (each shown; the other models are still processed).
int SetupMosModels(TemperatureSetup& setup, int modelType, double temperature);
void PrepareMosModelCaps(TemperatureSetup& setup, int modelType);
void ConvertMosModelUnits(TemperatureSetup& setup, int modelType);
// Every MOSFET's working geometry from its instance text, the model and the options.
void DefaultMosGeometry(TemperatureSetup& setup);

// ---- instance pass -------------------------------------------------------------------------------
// The multiplier and the four series conductances of every MOSFET.
void SetupMosSeriesConductances(TemperatureSetup& setup);
// Levels 1-3 at their device temperature: 0, or 15055 after a channel length
// or width that is not positive was reported (no later instance is set up).
int SetupMosAtTemperature(TemperatureSetup& setup);

// ---- channel equations ---------------------------------------------------------------------------

// What one evaluation of the channel gives, in the n-channel sense and the
// normal mode (vds >= 0).
struct MosChannel {
    double current = 0;
    double gm = 0, gds = 0, gmbs = 0;
    double von = 0, vdsat = 0;
    int condition = 3;
};
// The drain current of the record's level at vbs, vgs, vds (vds >= 0) from the
// values the set-up at temperature left in the record and its model.
MosChannel EvaluateMosChannel(const MosfetRecord& record, double vbs, double vgs, double vds);

// The Meyer half capacitances (gate-source, gate-drain, gate-bulk).
struct MeyerHalves {
    double gs, gd, gb;
};
MeyerHalves MeyerCapacitances(double vgs, double vgd, double von, double vdsat, double phi, double cox);

// ---- engine row ------------------------------------------------------------------------------------

class DeviceKindLoads;
// The reserve (32 entries per device) and the load of the MOSFET row.
DeviceKindLoads* MosfetKindLoads();
