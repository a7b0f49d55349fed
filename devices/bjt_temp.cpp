// Bipolar transistor models at temperature (NPN, PNP and LPNP share one
// parameter table). The temperature values live in the model; the
// area-scaled instance values are computed from them.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "compiler/compiled.h"
#include "devices/families.h"
#include "models/modelstmt.h"

namespace {

enum BjtParam : int {
    kBIs = 0,
    kBBf = 1,
    kBNf = 2,
    kBVaf = 3,
    kBIkf = 4,
    kBIse = 5,
    kBNe = 6,
    kBBr = 7,
    kBNr = 8,
    kBVar = 9,
    kBIkr = 10,
    kBIsc = 11,
    kBNc = 12,
    kBIss = 14,
    kBNs = 15,
    kBRe = 16,
    kBRb = 17,
    kBRbm = 18,
    kBIrb = 19,
    kBRc = 20,
    kBCje = 21,
    kBVje = 22,
    kBMje = 23,
    kBCjc = 24,
    kBVjc = 25,
    kBMjc = 26,
    kBXcjc = 27,
    kBMjs = 30,
    kBFc = 31,
    kBTf = 32,
    kBVtf = 34,
    kBPtf = 36,
    kBEg = 38,
    kBXtb = 39,
    kBXti = 40,
    kBTre1 = 41,
    kBTre2 = 42,
    kBTrb1 = 43,
    kBTrb2 = 44,
    kBTrm1 = 45,
    kBTrm2 = 46,
    kBTrc1 = 47,
    kBTrc2 = 48,
    kBAf = 50,
    kBTMeasured = 51,
    // derived slots
    kBTdev = 55,
    kBVt = 56,
    kBBeV = 58,
    kBBeS = 59,
    kBBeQ = 60,
    kBBcA = 61,
    kBBcV = 62,
    kBBcS = 63,
    kBBcQ = 64,
    kBVcritForward = 65,
    kBVcritReverse = 66,
};

constexpr int kBjtTypes[] = {kModelNpn, kModelPnp, kModelLpnp};

double Reciprocal(double value) { return value != 0 ? 1.0 / value : 0.0; }

// Rescales a junction's forward-bias coefficients after its potential moved
// from `before` to `after`.
void RescaleJunction(double* values, double before, double after, int slotA, int slotS, int slotQ) {
    if (before <= 0) return;
    const double r = after / before;
    values[slotA] *= r;
    values[slotS] /= r;
    values[slotQ] *= r;
}

}  // namespace

void ClampBjtModel(const TemperatureSetup& setup, double* values) {
    if (IsUnsetValue(values[kBTMeasured])) values[kBTMeasured] = setup.Options().tnom;
    values[kBMje] = ClampGrading(values[kBMje]);
    values[kBMjc] = ClampGrading(values[kBMjc]);
    values[kBMjs] = ClampGrading(values[kBMjs]);
    values[kBXcjc] = std::min(values[kBXcjc], 1.0);
    values[kBAf] = std::max(values[kBAf], 0.1);
    values[kBFc] = std::min(values[kBFc], 0.95);
    if (values[kBRbm] == 0) values[kBRbm] = values[kBRb];
    if (values[kBRb] < values[kBRbm]) values[kBRbm] = values[kBRb];
}

void ScaleBjtLeakageCurrent(double* values) {
    // Values of 1 and above are written as multiples of IS.
    if (values[kBIse] >= 1) values[kBIse] *= values[kBIs];
    if (values[kBIsc] >= 1) values[kBIsc] *= values[kBIs];
}

void PrepareBjtModel(const TemperatureSetup& setup, double* values) {
    if (!setup.modelValuesConverted) {
        for (int index : {kBVaf, kBVar, kBIkf, kBIkr}) values[index] = Reciprocal(values[index]);
        const double rmin = setup.Options().rmin;
        values[kBRe] = ResistanceToConductance(values[kBRe], rmin);
        values[kBRc] = ResistanceToConductance(values[kBRc], rmin);
    }
    if (values[kBVtf] != 0) values[kBVtf] = 0.6944444444444444 / values[kBVtf];
    values[kBPtf] = values[kBTf] == 0 ? 0.0 : values[kBPtf] * std::numbers::pi / 180.0 * values[kBTf];
    const double fc = values[kBFc];
    DepletionCapCoefficients(values, fc, values[kBVje], values[kBMje], kBFc, kBBeV, kBBeS, kBBeQ);
    DepletionCapCoefficients(values, fc, values[kBVjc], values[kBMjc], kBBcA, kBBcV, kBBcS, kBBcQ);
}

void SetupBjtModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model) {
    double* values = model->Values;
    const double tdev = ResolveModelTemperature(setup, model, kBTMeasured);
    const double tnom = values[kBTMeasured];
    values[kBTdev] = tdev;

    const double vjeBefore = values[kBVje];
    const JunctionTemperature t = UpdateJunctionForTemperature(values, kBVje, kBCje, values[kBMje], tdev, tnom);
    values[kBVt] = t.vt;
    values[kBIs] *= SaturationCurrentFactor(t.ratio, 1.0, t.vt, values[kBEg], values[kBXti]);
    const double beta = std::pow(t.ratio, values[kBXtb]);
    values[kBBf] *= beta;
    values[kBBr] *= beta;
    values[kBIse] *= SaturationCurrentFactor(t.ratio, values[kBNe], t.vt, values[kBEg], values[kBXti]);
    values[kBIsc] *= SaturationCurrentFactor(t.ratio, values[kBNc], t.vt, values[kBEg], values[kBXti]);
    values[kBIss] *= SaturationCurrentFactor(t.ratio, values[kBNs], t.vt, values[kBEg], values[kBXti]);
    RescaleJunction(values, vjeBefore, values[kBVje], kBFc, kBBeS, kBBeQ);

    const double vjcBefore = values[kBVjc];
    UpdateJunctionForTemperature(values, kBVjc, kBCjc, values[kBMjc], tdev, tnom);
    RescaleJunction(values, vjcBefore, values[kBVjc], kBBcA, kBBcS, kBBcQ);

    values[kBVcritForward] = CriticalVoltage(values[kBNf] * t.vt, values[kBIs]);
    values[kBVcritReverse] = CriticalVoltage(values[kBNr] * t.vt, values[kBIs]);

    values[kBRb] *= 1.0 + values[kBTrb1] * t.delta + values[kBTrb2] * t.deltaSq;
    values[kBRbm] *= 1.0 + values[kBTrm1] * t.delta + values[kBTrm2] * t.deltaSq;
    // A temperature factor at or below zero would make the conductance infinite
    // or negative; such a series resistance keeps its nominal value.
    const auto scaleConductance = [&](int slot, double factor) {
        if (factor > 0) values[slot] /= factor;
    };
    scaleConductance(kBRe, 1.0 + values[kBTre1] * t.delta + values[kBTre2] * t.deltaSq);
    scaleConductance(kBRc, 1.0 + values[kBTrc1] * t.delta + values[kBTrc2] * t.deltaSq);
    const double rmin = setup.Options().rmin;
    for (int index : {kBRb, kBRbm})
        if (values[index] != 0 && values[index] <= rmin) values[index] = rmin;
    values[kBRe] = ClampConductance(setup, values[kBRe]);
    values[kBRc] = ClampConductance(setup, values[kBRc]);
}

BjtInstanceValues ComputeBjtInstanceValues(const double* values, double area) {
    const double vt = values[kBVt];
    BjtInstanceValues v{};
    v.NfVt = values[kBNf] * vt;
    v.NrVt = values[kBNr] * vt;
    v.ForwardCutoff = -5.0 * v.NfVt;
    v.ReverseCutoff = -5.0 * v.NrVt;
    v.NsVt = values[kBNs] * vt;
    v.SubstrateCutoff = -5.0 * v.NsVt;
    v.SubstrateCriticalVoltage = CriticalVoltage(v.NsVt, values[kBIss]);
    v.NeVt = values[kBNe] * vt;
    v.NcVt = values[kBNc] * vt;
    v.AreaIS = area * values[kBIs];
    v.AreaISE = area * values[kBIse];
    v.AreaISC = area * values[kBIsc];
    v.AreaISS = area * values[kBIss];
    v.AreaIRB = area * values[kBIrb];
    // A zero area would turn the absent roll-off (0) into a division by zero.
    v.AreaInverseIKF = area != 0 ? values[kBIkf] / area : 0.0;
    v.AreaInverseIKR = area != 0 ? values[kBIkr] / area : 0.0;
    v.AreaGRC = area * values[kBRc];
    v.AreaGRE = area * values[kBRe];
    return v;
}

void ClampBjtModels(TemperatureSetup& setup) {
    for (int type : kBjtTypes)
        ForEachModelOfType(setup, type, [&](ModelRecord* m) { ClampBjtModel(setup, m->Values); });
}

void ScaleBjtLeakageCurrents(TemperatureSetup& setup) {
    for (int type : kBjtTypes)
        ForEachModelOfType(setup, type, [](ModelRecord* m) { ScaleBjtLeakageCurrent(m->Values); });
}

void PrepareBjtModels(TemperatureSetup& setup) {
    for (int type : kBjtTypes)
        ForEachModelOfType(setup, type, [&](ModelRecord* m) { PrepareBjtModel(setup, m->Values); });
}

void SetupBjtModelsAtTemperature(TemperatureSetup& setup) {
    for (int type : kBjtTypes)
        ForEachModelOfType(setup, type, [&](ModelRecord* m) { SetupBjtModelAtTemperature(setup, m); });
}

void SetupBjtInstance(BipolarRecord* record) {
    if (!record->model || !record->model->Values) return;
    const BjtInstanceValues v = ComputeBjtInstanceValues(record->model->Values, record->area);
    record->nfVt = v.NfVt;
    record->nrVt = v.NrVt;
    record->forwardCutoff = v.ForwardCutoff;
    record->reverseCutoff = v.ReverseCutoff;
    record->nsVt = v.NsVt;
    record->substrateCutoff = v.SubstrateCutoff;
    record->substrateCriticalVoltage = v.SubstrateCriticalVoltage;
    record->neVt = v.NeVt;
    record->ncVt = v.NcVt;
    record->areaIs = v.AreaIS;
    record->areaIse = v.AreaISE;
    record->areaIsc = v.AreaISC;
    record->areaIss = v.AreaISS;
    record->areaIrb = v.AreaIRB;
    record->areaInverseIkf = v.AreaInverseIKF;
    record->areaInverseIkr = v.AreaInverseIKR;
    record->areaGc = v.AreaGRC;
    record->areaGe = v.AreaGRE;
}

void SetupBjtInstances(TemperatureSetup& setup) {
    if (!setup.compiled) return;
    for (PoolItem* item = setup.compiled->devices[kListBipolars].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) SetupBjtInstance(static_cast<BipolarRecord*>(item));
}
