// Diode models at temperature. Diode instances keep no temperature values of
// their own: everything lives in the model, shared by all its diodes.
#include <algorithm>
#include <cmath>

#include "devices/families.h"
#include "models/modelstmt.h"

namespace {

enum DiodeParam : int {
    kDLevel = 0,
    kDIs = 1,
    kDN = 2,
    kDIsr = 3,
    kDNr = 4,
    kDIkf = 5,
    kDBv = 6,
    kDIbv = 7,
    kDRs = 11,
    kDCjo = 13,
    kDVj = 14,
    kDM = 15,
    kDFc = 16,
    kDEg = 17,
    kDXti = 18,
    kDTikf = 19,
    kDTbv1 = 20,
    kDTbv2 = 21,
    kDTrs1 = 22,
    kDTrs2 = 23,
    kDAf = 25,
    kDTMeasured = 27,
    // derived slots
    kDTdev = 31,
    kDVt = 32,
    kDCapV = 33,
    kDCapS = 34,
    kDCapQ = 35,
    kDVcrit = 36,
};

}  // namespace

void ClampDiodeModel(double* values) {
    values[kDM] = ClampGrading(values[kDM]);
    values[kDAf] = std::max(values[kDAf], 0.1);
    values[kDFc] = std::min(values[kDFc], 0.95);
}

void PrepareDiodeModel(const TemperatureSetup& setup, double* values) {
    DepletionCapCoefficients(values, values[kDFc], values[kDVj], values[kDM], kDFc, kDCapV, kDCapS, kDCapQ);
    if (values[kDLevel] != 1.0 || values[kDBv] == 0) return;

    // Fits the breakdown voltage so that the breakdown branch passes IBV at BV.
    const GlobalSettingValues& options = setup.Options();
    if (IsUnsetValue(values[kDTMeasured])) values[kDTMeasured] = options.tnom;
    const double vt = ThermalVoltageAt(values[kDTMeasured] + kKelvinOffset);
    const double is = values[kDIs];
    const double bv = values[kDBv];
    const double ibv = values[kDIbv];
    const double gmin = options.gmin;
    // A zero or negative IS has no logarithm: the fit keeps the stated BV.
    if (is <= 0) return;
    if (is * bv / vt > ibv || ibv - gmin * bv <= 0) return;
    const double tol = options.reltol * ibv + options.abstol;
    const double a = bv - ibv * values[kDRs];
    double x = a - vt * std::log((ibv - gmin * bv) / is);
    for (int i = 0; i < 26; ++i) {
        const double c = ibv - gmin * x;
        if (c <= 0) break;
        x = a - vt * std::log(c / is);
        const double e = std::clamp((bv - x) / vt, -350.0, 350.0);
        if (std::fabs(is * std::exp(e) + gmin * x - ibv) <= tol) break;
    }
    values[kDBv] = x;
}

void SetupDiodeModelAtTemperature(const TemperatureSetup& setup, ModelRecord* model) {
    double* values = model->Values;
    const double tdev = ResolveModelTemperature(setup, model, kDTMeasured);
    values[kDTdev] = tdev;
    const double vjBefore = values[kDVj];
    const JunctionTemperature t =
        UpdateJunctionForTemperature(values, kDVj, kDCjo, values[kDM], tdev, values[kDTMeasured]);
    values[kDVt] = t.vt;
    values[kDIs] *= SaturationCurrentFactor(t.ratio, values[kDN], t.vt, values[kDEg], values[kDXti]);
    if (vjBefore > 0) {
        const double r = values[kDVj] / vjBefore;
        values[kDFc] *= r;
        values[kDCapS] /= r;
        values[kDCapQ] *= r;
    }
    values[kDVcrit] = CriticalVoltage(values[kDN] * t.vt, values[kDIs]);
    values[kDBv] *= 1.0 + values[kDTbv1] * t.delta + values[kDTbv2] * t.deltaSq;
    values[kDIkf] *= 1.0 + values[kDTikf] * t.delta;
    values[kDIsr] *= SaturationCurrentFactor(t.ratio, values[kDNr], t.vt, values[kDEg], values[kDXti]);
    values[kDRs] *= 1.0 + values[kDTrs1] * t.delta + values[kDTrs2] * t.deltaSq;
    const double rmin = setup.Options().rmin;
    if (values[kDRs] != 0 && values[kDRs] <= rmin) values[kDRs] = rmin;
}

void ClampDiodeModels(TemperatureSetup& setup) {
    ForEachModelOfType(setup, kModelDiode, [](ModelRecord* m) { ClampDiodeModel(m->Values); });
}

void PrepareDiodeModels(TemperatureSetup& setup) {
    ForEachModelOfType(setup, kModelDiode, [&](ModelRecord* m) { PrepareDiodeModel(setup, m->Values); });
}

void SetupDiodeModelsAtTemperature(TemperatureSetup& setup) {
    ForEachModelOfType(setup, kModelDiode, [&](ModelRecord* m) { SetupDiodeModelAtTemperature(setup, m); });
}
