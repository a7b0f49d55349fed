// JFET (NJF, PJF) and GaAsFET models at temperature. Both families keep every
// temperature value in the model; their instances read them from there.
#include <algorithm>
#include <cmath>

#include "devices/families.h"
#include "models/modelstmt.h"

namespace {

enum JfetParam : int {
    kJVto = 0,
    kJBeta = 1,
    kJIs = 3,
    kJRd = 4,
    kJRs = 5,
    kJCgd = 6,
    kJCgs = 7,
    kJM = 8,
    kJPb = 9,
    kJFc = 10,
    kJVtotc = 11,
    kJBetatce = 12,
    kJXti = 13,
    kJAf = 15,
    kJTMeasured = 16,
    kJTdev = 20,
    kJVt = 21,
    kJCapV = 22,
    kJCapS = 23,
    kJCapQ = 24,
    kJVcrit = 25,
};

enum GaasfetParam : int {
    kGVto = 1,
    kGBeta = 3,
    kGRg = 10,
    kGRd = 11,
    kGRs = 12,
    kGIs = 13,
    kGN = 14,
    kGM = 15,
    kGVbi = 16,
    kGCgd = 17,
    kGCgs = 18,
    kGFc = 20,
    kGEg = 23,
    kGXti = 24,
    kGVtotc = 25,
    kGBetatce = 26,
    kGTrg1 = 27,
    kGTrd1 = 28,
    kGTrs1 = 29,
    kGAf = 31,
    kGTMeasured = 32,
    kGTdev = 36,
    kGVt = 37,
    kGCapV = 38,
    kGCapS = 39,
    kGCapQ = 40,
    kGVcrit = 41,
};

// The capacitance update of both gate junctions against one nominal potential:
// the potential ends at its temperature value, each capacitance is scaled once.
JunctionTemperature UpdateGateJunctions(double* values, int pb, int cgd, int cgs, double grading, double tdev,
                                        double tnom) {
    const double nominal = values[pb];
    UpdateJunctionForTemperature(values, pb, cgd, grading, tdev, tnom);
    values[pb] = nominal;
    return UpdateJunctionForTemperature(values, pb, cgs, grading, tdev, tnom);
}

void RescaleGate(double* values, double before, double after, int slotA, int slotS, int slotQ) {
    if (before <= 0) return;
    const double r = after / before;
    values[slotA] *= r;
    values[slotS] /= r;
    values[slotQ] *= r;
}

void ScaleBetaAndThreshold(double* values, int beta, int betatce, int vto, int vtotc, double delta) {
    if (values[betatce] != 0) values[beta] *= std::pow(1.01, values[betatce] * delta);
    if (values[vtotc] != 0) values[vto] += values[vtotc] * delta;
}

constexpr int kJfetTypes[] = {kModelNjf, kModelPjf};

}  // namespace

// ---- JFET ------------------------------------------------------------------------------------

void ClampJfetModel(const TemperatureSetup& setup, double* values) {
    if (IsUnsetValue(values[kJTMeasured])) values[kJTMeasured] = setup.Options().tnom;
    // The gate charge of the load divides by 1 - M, as it does for diodes and
    // bipolar junctions.
    values[kJM] = ClampGrading(values[kJM]);
    values[kJAf] = std::max(values[kJAf], 0.1);
    values[kJFc] = std::min(values[kJFc], 0.95);
}

void PrepareJfetModel(const TemperatureSetup& setup, double* values) {
    if (!setup.modelValuesConverted) {
        const double rmin = setup.Options().rmin;
        values[kJRd] = ResistanceToConductance(values[kJRd], rmin);
        values[kJRs] = ResistanceToConductance(values[kJRs], rmin);
    }
    DepletionCapCoefficients(values, values[kJFc], values[kJPb], 0.5, kJFc, kJCapV, kJCapS, kJCapQ);
}

void SetupJfetModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model) {
    double* values = model->Values;
    const double tdev = ResolveModelTemperature(setup, model, kJTMeasured);
    values[kJTdev] = tdev;
    const double pbBefore = values[kJPb];
    const JunctionTemperature t =
        UpdateGateJunctions(values, kJPb, kJCgd, kJCgs, values[kJM], tdev, values[kJTMeasured]);
    ScaleBetaAndThreshold(values, kJBeta, kJBetatce, kJVto, kJVtotc, t.delta);
    values[kJVt] = t.vt;
    values[kJIs] *= SaturationCurrentFactor(t.ratio, 1.0, t.vt, 1.11, values[kJXti]);
    RescaleGate(values, pbBefore, values[kJPb], kJFc, kJCapS, kJCapQ);
    values[kJVcrit] = CriticalVoltage(t.vt, values[kJIs]);
    values[kJRd] = ClampConductance(setup, values[kJRd]);
    values[kJRs] = ClampConductance(setup, values[kJRs]);
}

void ClampJfetModels(TemperatureSetup& setup) {
    for (int type : kJfetTypes)
        ForEachModelOfType(setup, type, [&](ModelRecord* m) { ClampJfetModel(setup, m->Values); });
}

void PrepareJfetModels(TemperatureSetup& setup) {
    for (int type : kJfetTypes)
        ForEachModelOfType(setup, type, [&](ModelRecord* m) { PrepareJfetModel(setup, m->Values); });
}

void SetupJfetModelsAtTemperature(TemperatureSetup& setup) {
    for (int type : kJfetTypes)
        ForEachModelOfType(setup, type, [&](ModelRecord* m) { SetupJfetModelAtTemperature(setup, m); });
}

// ---- GaAsFET -----------------------------------------------------------------------------------

void ClampGaasfetModel(double* values) {
    values[kGM] = ClampGrading(values[kGM]);
    values[kGAf] = std::max(values[kGAf], 0.1);
    values[kGFc] = std::min(values[kGFc], 0.95);
}

void PrepareGaasfetModel(const TemperatureSetup& setup, double* values) {
    if (!setup.modelValuesConverted) {
        const double rmin = setup.Options().rmin;
        for (int index : {kGRd, kGRs, kGRg}) values[index] = ResistanceToConductance(values[index], rmin);
    }
    DepletionCapCoefficients(values, values[kGFc], values[kGVbi], 0.5, kGFc, kGCapV, kGCapS, kGCapQ);
}

void SetupGaasfetModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model) {
    double* values = model->Values;
    const double tdev = ResolveModelTemperature(setup, model, kGTMeasured);
    values[kGTdev] = tdev;
    const double vbiBefore = values[kGVbi];
    const JunctionTemperature t =
        UpdateGateJunctions(values, kGVbi, kGCgd, kGCgs, values[kGM], tdev, values[kGTMeasured]);
    values[kGVt] = t.vt;
    values[kGIs] *= SaturationCurrentFactor(t.ratio, values[kGN], t.vt, values[kGEg], values[kGXti]);
    RescaleGate(values, vbiBefore, values[kGVbi], kGFc, kGCapS, kGCapQ);
    values[kGVcrit] = CriticalVoltage(t.vt, values[kGIs]);
    ScaleBetaAndThreshold(values, kGBeta, kGBetatce, kGVto, kGVtotc, t.delta);
    // A temperature factor at or below zero would make the conductance infinite
    // or negative; such a series resistance is left at its nominal value.
    const auto scale = [&](int slot, int tc) {
        const double factor = 1.0 + values[tc] * t.delta;
        if (factor > 0) values[slot] /= factor;
        values[slot] = ClampConductance(setup, values[slot]);
    };
    scale(kGRd, kGTrd1);
    scale(kGRs, kGTrs1);
    scale(kGRg, kGTrg1);
}

void ClampGaasfetModels(TemperatureSetup& setup) {
    ForEachModelOfType(setup, kModelGasfet, [](ModelRecord* m) { ClampGaasfetModel(m->Values); });
}

void PrepareGaasfetModels(TemperatureSetup& setup) {
    ForEachModelOfType(setup, kModelGasfet, [&](ModelRecord* m) { PrepareGaasfetModel(setup, m->Values); });
}

void SetupGaasfetModelsAtTemperature(TemperatureSetup& setup) {
    ForEachModelOfType(setup, kModelGasfet, [&](ModelRecord* m) { SetupGaasfetModelAtTemperature(setup, m); });
}
