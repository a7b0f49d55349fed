// The per-family steps of the set-up at temperature (devices/temperature.h),
// each over the circuit's model records of its types in pool order, and the
// per-model forms they apply, which tests and the instance set-ups call too.
#pragma once

#include "devices/temperature.h"

struct BipolarRecord;
struct ModelRecord;

// Calls fn(record) for every live model record of the type that has values.
template <class Fn>
void ForEachModelOfType(TemperatureSetup& setup, int type, Fn&& fn);

// ---- passive elements, switches and pulse timing ------------------------------------

// Temperature factors of capacitors, inductors and resistors, in that order.
int SetupPassiveTemperature(TemperatureSetup& setup);
// Gives every pulse source's model a small edge where it has none, then checks
// its times: 0 or 15055 after the check's message.
int PreparePulseModels(TemperatureSetup& setup);
// Per model: widens a missing rise or fall time; returns nothing.
void WidenPulseModelEdges(double* values);
// SPICE PULSE sources with no rise or fall time get a thousandth of the period.
void DefaultSpicePulseEdges(TemperatureSetup& setup);

// The three constants of a smooth switch from its model (VSWITCH or ISWITCH).
struct SwitchConstants {
    double logMidResistance;    // ln sqrt(RON * ROFF)
    double logResistanceRatio;  // ln(RON / ROFF)
    double controlMidpoint;     // (ON + OFF) / 2
};
SwitchConstants ComputeSwitchConstants(const double* switchModelValues);

// ---- diodes --------------------------------------------------------------------------

void ClampDiodeModel(double* values);
void PrepareDiodeModel(const TemperatureSetup& setup, double* values);
void SetupDiodeModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model);
void ClampDiodeModels(TemperatureSetup& setup);
void PrepareDiodeModels(TemperatureSetup& setup);
void SetupDiodeModelsAtTemperature(TemperatureSetup& setup);

// ---- bipolar transistors ---------------------------------------------------------------

void ClampBjtModel(const TemperatureSetup& setup, double* values);
void ScaleBjtLeakageCurrent(double* values);
void PrepareBjtModel(const TemperatureSetup& setup, double* values);
void SetupBjtModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model);
void ClampBjtModels(TemperatureSetup& setup);
void ScaleBjtLeakageCurrents(TemperatureSetup& setup);
void PrepareBjtModels(TemperatureSetup& setup);
void SetupBjtModelsAtTemperature(TemperatureSetup& setup);

// The area-scaled values of one bipolar instance, from its model after the
// instance pass.
struct BjtInstanceValues {
    double NfVt, NrVt;
    double ForwardCutoff, ReverseCutoff;
    double NsVt, SubstrateCutoff, SubstrateCriticalVoltage;
    double NeVt, NcVt;
    double AreaIS, AreaISE, AreaISC, AreaISS, AreaIRB;
    double AreaInverseIKF, AreaInverseIKR;
    double AreaGRC, AreaGRE;
};
BjtInstanceValues ComputeBjtInstanceValues(const double* modelValues, double area);
// Stores those values in the instance (nothing without model values).
void SetupBjtInstance(BipolarRecord* record);
// Every bipolar instance of the compiled circuit, in list order.
void SetupBjtInstances(TemperatureSetup& setup);

// ---- JFETs and GaAsFETs ------------------------------------------------------------------

void ClampJfetModel(const TemperatureSetup& setup, double* values);
void PrepareJfetModel(const TemperatureSetup& setup, double* values);
void SetupJfetModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model);
void ClampGaasfetModel(double* values);
void PrepareGaasfetModel(const TemperatureSetup& setup, double* values);
void SetupGaasfetModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model);
void ClampJfetModels(TemperatureSetup& setup);
void PrepareJfetModels(TemperatureSetup& setup);
void SetupJfetModelsAtTemperature(TemperatureSetup& setup);
void ClampGaasfetModels(TemperatureSetup& setup);
void PrepareGaasfetModels(TemperatureSetup& setup);
void SetupGaasfetModelsAtTemperature(TemperatureSetup& setup);

// ---- template definition -------------------------------------------------------------------

#include "models/modelstmt.h"

template <class Fn>
void ForEachModelOfType(TemperatureSetup& setup, int type, Fn&& fn) {
    if (!setup.models || !IsModelTypeRow(type)) return;
    for (PoolItem* item = setup.models->ModelPools[type].first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<ModelRecord*>(item);
        if (record->Values && record->ModelType == type) fn(record);
    }
}
