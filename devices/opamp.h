// OPAMP element values: the data-sheet parameters of an OPA model turned into
// the element values of its representation at a temperature. LEVEL 1 is one
// transconductance with an output resistance, LEVEL 2 a three-stage amplifier
// with two poles, LEVEL 3 the Boyle macromodel with an NPN, PNP or P-channel
// JFET input pair. The OPAMP expansion builds the elements; these functions
// give their values (also to the writer of OPAMP subcircuit text).
#pragma once

#include "compiler/opampsetup.h"

// Message ids of the OPAMP parameter checks; '%s' names the part (the pending
// text), 15050's second '%s' the minimum power (the second pending text).
enum OpampMessage : int {
    kMsgOpampNegativeC2 = 15015,
    kMsgOpampIbias = 15016,
    kMsgOpampSrpGbw = 15017,
    kMsgOpampZo = 15018,
    kMsgOpampNpnSlew = 15019,
    kMsgOpampPnpSlew = 15020,
    kMsgOpampSrnGbw = 15027,
    kMsgOpampVcc = 15028,
    kMsgOpampVee = 15029,
    kMsgOpampPd = 15050,
};

// Registers the texts of the device set-up messages (start-up).
void RegisterDeviceMessages();

// The LEVEL 3 element values of an OPA model's values at `temperature` deg C.
// `q1ModelValues` is the NPN/PNP model of the input device Q1, or null when the
// instance has none yet. Returns 0; 15050 with every value filled (Rp then
// 1/GMIN and the minimum power as the second pending text); or another message
// id with the values partly filled.
int ComputeOpampParameters(const double* opampModel, double temperature, double gmin, const double* q1ModelValues,
                           OpampElementValues* out);

// The values of the simpler representations.
struct OpampStageValues {
    double transconductance = 0;  // LEVEL 1 and 2
    double cp1 = 0, cp2 = 0;      // LEVEL 2: the two pole capacitors (C1, Ce)
    double rout = 0;              // LEVEL 2: the stage resistors Rc1, Rc2, Re1
};
// LEVEL 1 and 2 of an OPA model: 0, or 15015 when the second pole capacitor is
// not positive (the values stay filled). Other levels leave everything 0.
int ComputeOpampStageValues(const double* opampModel, OpampStageValues* out);

// The set-up of every OPAMP instance at the run temperature: the stage values
// of levels 1 and 2, and for level 3 the macromodel's element values written
// into the elements the compile made (and the input pair's models). 0, or the
// failing check's id with the part's name as the pending text.
struct TemperatureSetup;
struct OpampRecord;
int SetupOpampInstances(TemperatureSetup& setup, double temperature);
int SetupOpampInstance(TemperatureSetup& setup, OpampRecord& record, double temperature);

// Gives the compiler's level-3 expansion its element values (start-up;
// InstallDeviceLoads calls it).
void InstallOpampValueComputation();

// The engine load of OPAMP levels 1 and 2 (installed by InstallDeviceLoads).
class DeviceKindLoads;
DeviceKindLoads& OpampStageLoads();
