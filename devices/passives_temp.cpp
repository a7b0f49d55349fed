// Passive elements, switches and pulse timing at temperature: the factors the
// element loads multiply their nominal values with, the constants of the smooth
// switches, and a small finite edge for pulses that have none.
#include <cmath>

#include "compiler/compiled.h"
#include "devices/families.h"
#include "models/modelstmt.h"

namespace {

// Indices shared by the CAP, IND and RES rows.
constexpr int kPassiveTMeasured = 5;
enum CapParam : int { kCapVc1 = 1, kCapVc2 = 2, kCapTc1 = 3, kCapTc2 = 4 };
enum IndParam : int { kIndIl1 = 1, kIndIl2 = 2, kIndTc1 = 3, kIndTc2 = 4 };
enum ResParam : int { kResTc1 = 1, kResTc2 = 2, kResTce = 3 };
enum PulseParam : int { kP1 = 2, kP2 = 3, kP3 = 4, kP4 = 5, kP5 = 6 };
enum SpicePulseField : int { kSpiceTr = 3, kSpiceTf = 4, kSpicePer = 6 };

template <class Record, class Fn>
void ForEachDevice(TemperatureSetup& setup, int list, Fn&& fn) {
    if (!setup.compiled) return;
    for (PoolItem* item = setup.compiled->devices.lists[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) fn(static_cast<Record*>(item));
}

double ZeroIfUnset(double* slot) {
    if (IsUnsetValue(*slot)) *slot = 0.0;
    return *slot;
}

bool HasModelValues(const ModelRecord* model) { return model && model->Values; }

// Steps shared by capacitors, inductors and resistors with a model: the model's
// coefficients where the part gives none, and the polynomial factor. Returns ΔT.
template <class Record>
double ApplyModelCoefficients(TemperatureSetup& setup, Record* record, int tc1Index, int tc2Index) {
    ModelRecord* model = record->model;
    const double tdev = ResolveModelTemperature(setup, model, kPassiveTMeasured);
    const double delta = tdev - model->Values[kPassiveTMeasured];
    const double modelTc1 = ZeroIfUnset(&model->Values[tc1Index]);
    const double modelTc2 = ZeroIfUnset(&model->Values[tc2Index]);
    if (!record->tc1Given) record->tc1 = modelTc1;
    if (!record->tc2Given) record->tc2 = modelTc2;
    record->temperatureFactor = 1.0 + record->tc1 * delta + record->tc2 * delta * delta;
    return delta;
}

void SetupCapacitor(TemperatureSetup& setup, CapacitorRecord* record) {
    if (!HasModelValues(record->model)) {
        record->temperatureFactor = 1.0;
        record->tc1 = record->tc2 = 0.0;
        record->constantCapacitance = 1;
        return;
    }
    ApplyModelCoefficients(setup, record, kCapTc1, kCapTc2);
    double* values = record->model->Values;
    const double vc1 = ZeroIfUnset(&values[kCapVc1]);
    const double vc2 = ZeroIfUnset(&values[kCapVc2]);
    record->constantCapacitance = vc1 == 0 && vc2 == 0 ? 1 : 0;
}

void SetupInductor(TemperatureSetup& setup, InductorRecord* record) {
    if (!HasModelValues(record->model)) {
        record->temperatureFactor = 1.0;
        record->tc1 = record->tc2 = 0.0;
        record->inductorFlag = 1;
        return;
    }
    ApplyModelCoefficients(setup, record, kIndTc1, kIndTc2);
    double* values = record->model->Values;
    const double il1 = ZeroIfUnset(&values[kIndIl1]);
    const double il2 = ZeroIfUnset(&values[kIndIl2]);
    record->inductorFlag = il1 == 0 || il2 == 0 ? 1 : 0;
}

void SetupResistor(TemperatureSetup& setup, ResistorRecord* record) {
    if (!HasModelValues(record->model)) {
        const double delta = setup.runTemperature - setup.Options().tnom;
        record->temperatureFactor = 1.0;
        if (record->tc1Given) record->temperatureFactor += record->tc1 * delta;
        if (record->tc2Given) record->temperatureFactor += record->tc2 * delta * delta;
        return;
    }
    const double delta = ApplyModelCoefficients(setup, record, kResTc1, kResTc2);
    // An exponential coefficient (percent per degree) wins over the model's
    // polynomial ones, not over the part's own.
    const double tce = ZeroIfUnset(&record->model->Values[kResTce]);
    if (!record->tc1Given && !record->tc2Given && tce != 0) record->temperatureFactor = std::pow(1.01, tce * delta);
}

double EdgeOf(double period) {
    const double edge = period * 0.001;
    return edge == 0 ? 1e-9 : edge;
}

}  // namespace

int SetupPassiveTemperature(TemperatureSetup& setup) {
    ForEachDevice<CapacitorRecord>(setup, kListCapacitors, [&](CapacitorRecord* r) { SetupCapacitor(setup, r); });
    ForEachDevice<InductorRecord>(setup, kListInductors, [&](InductorRecord* r) { SetupInductor(setup, r); });
    ForEachDevice<ResistorRecord>(setup, kListResistors, [&](ResistorRecord* r) { SetupResistor(setup, r); });
    const auto smooth = [](const ModelRecord* model, SmoothSwitchState& sw) {
        if (!HasModelValues(model)) return;
        const SwitchConstants k = ComputeSwitchConstants(model->Values);
        sw.logMidResistance = k.logMidResistance;
        sw.logResistanceRatio = k.logResistanceRatio;
        sw.controlMidpoint = k.controlMidpoint;
    };
    ForEachDevice<VoltageSwitchRecord>(setup, kListSSwitches, [&](VoltageSwitchRecord* r) { smooth(r->model, r->sw); });
    ForEachDevice<CurrentSwitchRecord>(setup, kListWSwitches, [&](CurrentSwitchRecord* r) { smooth(r->model, r->sw); });
    return 0;
}

void WidenPulseModelEdges(double* values) {
    const double edge = EdgeOf(values[kP5]);
    if (values[kP1] == values[kP2] && values[kP2] + edge <= values[kP3]) values[kP2] += edge;
    if (values[kP3] == values[kP4] && values[kP3] - edge >= values[kP2]) values[kP3] -= edge;
}

int PreparePulseModels(TemperatureSetup& setup) {
    int result = 0;
    ForEachDevice<PulseSourceRecord>(setup, kListPulseSources, [&](PulseSourceRecord* r) {
        if (result || !HasModelValues(r->model)) return;
        WidenPulseModelEdges(r->model->Values);
        result = CheckPulseModel(setup.models, r->model);
    });
    return result;
}

void DefaultSpicePulseEdges(TemperatureSetup& setup) {
    ForEachDevice<SourceRecord>(setup, kListSpiceSources, [](SourceRecord* r) {
        if (r->functionKind != kFunctionPulse) return;
        const double edge = EdgeOf(r->values[kSpicePer]);
        if (r->values[kSpiceTr] == 0) r->values[kSpiceTr] = edge;
        if (r->values[kSpiceTf] == 0) r->values[kSpiceTf] = edge;
    });
}

SwitchConstants ComputeSwitchConstants(const double* values) {
    const double ron = values[0];
    const double roff = values[1];
    return {std::log(std::sqrt(ron * roff)), std::log(ron / roff), (values[2] + values[3]) / 2.0};
}
