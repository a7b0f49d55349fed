// MOSFET levels 1-3: model preparation, instance geometry and series
// conductances, and the per-instance values at the device temperature.
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

#include "compiler/compiled.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/result.h"
#include "devices/families.h"
#include "devices/mosfets.h"
#include "expr/complex.h"
#include "expr/runstate.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr double kMtOxidePermittivity = 3.45314379969e-11;            // 3.9 * eps0, F/m
constexpr double kMtTwoSiliconPermittivity = 2.0718862798139998e-10;  // F/m
constexpr double kMtSiliconPermittivityMicro = 1.0359431399069999e-4;
constexpr double kMtSiliconPermittivity = 1.0359431399069999e-10;
constexpr double kMtIntrinsicConcentration = 1.45e16;  // per m^3
constexpr double kMtHalfPiSiliconPermittivity = 1.627255678934287e-10;
constexpr double kMtStaticFeedbackFactor = 8.15e-22;

// clang-format off
const MessageRow kMtMosMessageRows[] = {
    {kMosMsgNsubBelowNi, "%ENSUB must be >= NI in MOSFET model."},
    {kMosMsgToxNotPositive, "%ETOX must be > 0.0 in the MOSFET model."},
    {kMosMsgLeffNotPositive, "%EThe effective channel length is %g. It must be positive."},
    {kMosMsgWeffNotPositive, "%EThe effective channel width is %g. It must be positive."},
};
// clang-format on

bool mt_Set(double value) { return !IsUnsetValue(value); }

int mt_IntegerLevel(double level) {
    return std::fabs(level) < 1e6 ? static_cast<int>(level) : 0;  // unset and absurd values: no level
}

template <class Fn>
void mt_ForEachMosfet(TemperatureSetup& setup, Fn&& fn) {
    if (!setup.compiled) return;
    for (PoolItem* item = setup.compiled->devices.lists[kListMosfets].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) fn(static_cast<MosfetRecord*>(item));
}

bool mt_HasValues(const MosfetRecord* r) { return r->model && r->model->Values; }

// A model error: shown naming the model, the run's time loop told to stop.
int mt_ReportModel(const ModelRecord* model, int code) {
    std::string rows;
    if (model->QualifiedName) rows = std::string("Model:\t") + model->QualifiedName + "\n";
    return ReportCompilerMessage(nullptr, 1, rows.empty() ? nullptr : rows.c_str(), code);
}

double mt_ClampedExponent(double x) { return std::exp(std::clamp(x, -350.0, 350.0)); }

// The model values of one pass at the device temperature, computed once per model.
struct MosModelAtTemperature {
    double fc = 0.5;  // the forward-bias coefficient itself
    double vt = 0;
    double cj = 0, cjsw = 0;
    double tPhi = 0, tVbi = 0, tVto = 0;
};

MosModelAtTemperature mt_PrepareModel(const TemperatureSetup& setup, ModelRecord* model) {
    double* v = model->Values;
    MosModelAtTemperature out;
    const double pol = MosPolarity(model);
    // The FC slot holds FC * PB since the model pass; the coefficient itself is
    // recovered before PB moves to its temperature value.
    out.fc = v[kMpPb] > 0 ? std::min(v[kMpFc] / v[kMpPb], 0.95) : 0.0;

    if (IsUnsetValue(v[kMpTMeasured])) v[kMpTMeasured] = setup.Options().tnom;
    const double tdev = ResolveModelTemperature(setup, model, kMpTMeasured);
    v[kMpTdev] = tdev;
    const double tk = tdev + kKelvinOffset;
    const double tnk = v[kMpTMeasured] + kKelvinOffset;

    const auto pbFactor = [](double kelvin, double& fact, double& vt, double& eg) {
        fact = kelvin / kReferenceTemperature;
        vt = ThermalVoltageAt(kelvin);
        eg = SiliconEnergyGap(kelvin);
        return -2.0 * vt *
               (1.5 * std::log(fact) + kElectronCharge * (1.345444239894147e20 - eg / (2.0 * kBoltzmann * kelvin)));
    };
    double fact1, vtnom, egfet1, fact2, vt, egfet;
    const double pbfact1 = pbFactor(tnk, fact1, vtnom, egfet1);
    const double pbfact = pbFactor(tk, fact2, vt, egfet);
    const double ratio = tk / tnk;
    const double ratio15 = ratio * std::sqrt(ratio);
    v[kMpKp] /= ratio15;
    v[kMpUo] /= ratio15;

    const double phi = v[kMpPhi];
    const double phio = (phi - pbfact1) / fact1;
    out.tPhi = fact2 * phio + pbfact;
    out.tVbi = v[kMpVto] - pol * v[kMpGamma] * GuardedSqrtPhi(setup, model, phi, tk) +
               0.5 * (egfet1 - egfet + pol * (out.tPhi - phi));
    out.tVto = out.tVbi + pol * v[kMpGamma] * GuardedSqrtPhi(setup, model, out.tPhi, tk);
    v[kMpVt] = vt;
    out.vt = vt;

    const double currentFactor = mt_ClampedExponent(egfet1 / vtnom - egfet / vt);
    v[kMpIs] *= currentFactor;
    v[kMpJs] *= currentFactor;

    const double pb = v[kMpPb];
    const double pbo = (pb - pbfact1) / fact1;
    const double mj = v[kMpMj];
    const double capfact = 1.0 / (1.0 + mj * (4e-4 * (tnk - kReferenceTemperature) - (pb - pbo) / pbo));
    v[kMpCbd] *= capfact;
    v[kMpCbs] *= capfact;
    out.cj = v[kMpCj] * capfact;
    v[kMpPb] = fact2 * pbo + pbfact;
    const double factor = 1.0 + mj * (4e-4 * (tk - kReferenceTemperature) - (v[kMpPb] - pbo) / pbo);
    v[kMpCbd] *= factor;
    v[kMpCbs] *= factor;
    out.cj *= factor;

    const double pbsw = v[kMpPbsw];
    const double pbosw = (pbsw - pbfact1) / fact1;
    const double mjsw = v[kMpMjsw];
    out.cjsw = v[kMpCjsw] / (1.0 + mjsw * (4e-4 * (tnk - kReferenceTemperature) - (pbsw - pbosw) / pbosw));
    v[kMpPbsw] = fact2 * pbosw + pbfact;
    out.cjsw *= 1.0 + mjsw * (4e-4 * (tk - kReferenceTemperature) - (v[kMpPbsw] - pbosw) / pbosw);
    return out;
}

// f2, f3, f4 of one junction: the charge above FC * PB continues the
// depletion charge with matching value and slope.
void mt_JunctionPolynomial(double cz, double czsw, double mj, double mjsw, double pb, double fc, double* f) {
    const double arg = 1.0 - fc;
    const double sarg = mt_ClampedExponent(-mj * std::log(arg));
    const double sargsw = mt_ClampedExponent(-mjsw * std::log(arg));
    const double dc = fc * pb;
    f[0] = (cz * (1.0 - fc * (1.0 + mj)) * sarg + czsw * (1.0 - fc * (1.0 + mjsw)) * sargsw) / arg;
    f[1] = (cz * mj * sarg + czsw * mjsw * sargsw) / (arg * pb);
    f[2] = cz * pb * (1.0 - arg * sarg) / (1.0 - mj) + czsw * pb * (1.0 - arg * sargsw) / (1.0 - mjsw) -
           0.5 * f[1] * dc * dc - dc * f[0];
}

}  // namespace

void RegisterMosfetMessages() {
    RegisterMessages(kMtMosMessageRows, static_cast<int>(sizeof(kMtMosMessageRows) / sizeof(kMtMosMessageRows[0])));
}

double MosPolarity(const ModelRecord* model) {
    const double slot = model->Values[kMpPolarity];
    if (slot == 1.0 || slot == -1.0) return slot;
    return model->ModelType == kModelPmos ? -1.0 : 1.0;
}

// ---- model pass --------------------------------------------------------------------------------

int SetupMosModels(TemperatureSetup& setup, int modelType, double temperature) {
    const double tk = temperature + kKelvinOffset;
    const double eg = SiliconEnergyGap(tk);
    int result = 0;
    ForEachModelOfType(setup, modelType, [&](ModelRecord* model) {
        double* v = model->Values;
        const double pol = MosPolarity(model);
        const double n = mt_Set(v[kMpNsub]) ? v[kMpNsub] * 1e6 : 0.0;
        if (v[kMpTox] == 0) v[kMpTox] = kUnsetValue;
        if (!mt_Set(v[kMpLevel]) || v[kMpLevel] == 0) v[kMpLevel] = 1;
        if (!mt_Set(v[kMpTox]) && mt_IntegerLevel(v[kMpLevel]) > 1) v[kMpTox] = 1e-7;
        if (mt_Set(v[kMpTox])) {
            if (v[kMpTox] <= 0) {
                v[kMpTox] = 1;
                mt_ReportModel(model, kMosMsgToxNotPositive);
                result = kResultShown;
            }
            const double cox = kMtOxidePermittivity / v[kMpTox];
            if (!mt_Set(v[kMpKp])) {
                if (!mt_Set(v[kMpUo])) v[kMpUo] = 600;
                v[kMpKp] = cox * v[kMpUo] * 1e-4;
            }
            if (mt_Set(v[kMpNsub]) && n > kMtIntrinsicConcentration) {
                if (!mt_Set(v[kMpPhi])) {
                    if (!mt_Set(v[kMpTMeasured])) v[kMpTMeasured] = setup.Options().tnom;
                    const double vtm = ThermalVoltageAt(v[kMpTMeasured] + kKelvinOffset);
                    v[kMpPhi] = std::max(2.0 * vtm * std::log(n / kMtIntrinsicConcentration), 0.1);
                }
                if (!mt_Set(v[kMpTpg])) v[kMpTpg] = 1;
                const double wkf = v[kMpTpg] == 0 ? 3.2 : 3.25 + eg / 2.0 - eg * v[kMpTpg] * pol / 2.0;
                const double wkfs = wkf - (eg / 2.0 + pol * v[kMpPhi] / 2.0 + 3.25);
                if (!mt_Set(v[kMpGamma]))
                    v[kMpGamma] = std::sqrt(kElectronCharge * n * kMtTwoSiliconPermittivity) / cox;
                if (!mt_Set(v[kMpVto])) {
                    if (!mt_Set(v[kMpNss])) v[kMpNss] = 0;
                    const double vfb = wkfs - v[kMpNss] / cox * kElectronCharge * 1e4;
                    v[kMpVto] = (GuardedSqrtPhi(setup, model, v[kMpPhi], tk) * v[kMpGamma] + v[kMpPhi]) * pol + vfb;
                }
                v[kMpDepletionWidth] = std::sqrt(kMtTwoSiliconPermittivity / (kElectronCharge * n));
            } else if (mt_Set(v[kMpNsub]) && v[kMpNsub] != 0) {
                v[kMpNsub] = 0;
                mt_ReportModel(model, kMosMsgNsubBelowNi);
                result = kResultShown;
            }
        }
        if (mt_IntegerLevel(v[kMpLevel]) == 3) {
            if (!mt_Set(v[kMpKappa]) || v[kMpKappa] == 0) v[kMpKappa] = 0.2;
            v[kMpLambda] = 0;
            v[kMpUcrit] = 0;
            v[kMpUexp] = 0;
        }
        for (const auto& [index, value] : {std::pair{kMpGamma, 0.0},
                                           {kMpTox, 0.0},
                                           {kMpKp, 2e-5},
                                           {kMpVto, 0.0},
                                           {kMpPhi, 0.6},
                                           {kMpUo, 600.0},
                                           {kMpNsub, 0.0},
                                           {kMpTpg, 1.0}})
            if (!mt_Set(v[index])) v[index] = value;
    });
    return result;
}

void PrepareMosModelCaps(TemperatureSetup& setup, int modelType) {
    ForEachModelOfType(setup, modelType, [&](ModelRecord* model) {
        double* v = model->Values;
        v[kMpAf] = std::max(v[kMpAf], 0.1);
        v[kMpFc] = std::min(v[kMpFc], 0.95);
        // The junction charges divide by 1 - MJ and 1 - MJSW.
        v[kMpMj] = ClampGrading(v[kMpMj]);
        v[kMpMjsw] = ClampGrading(v[kMpMjsw]);
        if (v[kMpNsub] > 0 && v[kMpCbs] <= 0 && v[kMpCj] <= 0 && v[kMpPb] > 0)
            v[kMpCj] = std::sqrt(kElectronCharge * v[kMpNsub] * kMtSiliconPermittivityMicro / (2.0 * v[kMpPb]));
        if (v[kMpLevel] != 2) v[kMpXqc] = 1;
    });
}

void ConvertMosModelUnits(TemperatureSetup& setup, int modelType) {
    ForEachModelOfType(setup, modelType, [&](ModelRecord* model) {
        double* v = model->Values;
        if (!setup.modelValuesConverted) {
            const double rmin = setup.Options().rmin;
            for (int index : {kMpRds, kMpRg, kMpRd, kMpRs, kMpRb, kMpRsh})
                v[index] = ResistanceToConductance(v[index], rmin);
        }
        if (v[kMpNeff] == 0) v[kMpNeff] = 1;
        v[kMpNsub] *= 1e6;
        v[kMpNss] *= 1e4;
        v[kMpNfs] *= 1e4;
        const double n = v[kMpNsub];
        if (v[kMpTox] != 0) v[kMpTox] = kMtOxidePermittivity / v[kMpTox];
        const double cox = v[kMpTox];
        v[kMpUo] *= 1e-4;
        const double level = v[kMpLevel];
        if (level == 2 && (!mt_Set(v[kMpUcrit]) || v[kMpUcrit] == 0)) v[kMpUcrit] = 1e4;
        if (level != 3) {
            v[kMpUcrit] *= 100;
        } else {
            v[kMpUtra] = v[kMpKappa];
            v[kMpUcrit] = v[kMpTheta];
            v[kMpDelta] = cox != 0 ? v[kMpDelta] / cox * kMtHalfPiSiliconPermittivity : 0.0;
            v[kMpUexp] = cox != 0 ? v[kMpEta] / cox * kMtStaticFeedbackFactor : 0.0;
            if (n > 0) v[kMpLambda] = kMtTwoSiliconPermittivity / (kElectronCharge * n);
        }
        v[kMpFc] = v[kMpPb] * v[kMpFc];
        if (v[kMpFc] >= 1) v[kMpFc] = 0.999;
        v[kMpBuiltIn] = v[kMpVto] - GuardedSqrtPhi(setup, model, v[kMpPhi], 0.0) * MosPolarity(model) * v[kMpGamma];
        if (cox != 0 && level != 3) v[kMpUcrit] = v[kMpUcrit] / cox * kMtSiliconPermittivity;
        if (v[kMpIs] <= 0) v[kMpIs] = 1e-14;
    });
}

void DefaultMosGeometry(TemperatureSetup& setup) {
    const GlobalSettingValues& options = setup.Options();
    mt_ForEachMosfet(setup, [&](MosfetRecord* r) {
        r->L = r->nominalL;
        r->W = r->nominalW;
        r->AD = r->nominalAD;
        r->AS = r->nominalAS;
        r->PD = r->nominalPD;
        r->PS = r->nominalPS;
        if (r->level > 3 || !mt_HasValues(r)) return;
        const double* v = r->model->Values;
        if (!r->W.given) r->W.value = 0;
        if (r->W.value == 0) r->W.value = v[kMpW] != 0 ? v[kMpW] : options.defw;
        if (!r->L.given) r->L.value = 0;
        if (r->L.value == 0) r->L.value = v[kMpL] != 0 ? v[kMpL] : options.defl;
        if (r->AD == 0) r->AD = options.defad;
        if (r->AS == 0) r->AS = options.defas;
        if (r->NRD < 0) r->NRD = 1;
        if (r->NRS < 0) r->NRS = 1;
    });
}

// ---- instance pass --------------------------------------------------------------------------------

void SetupMosSeriesConductances(TemperatureSetup& setup) {
    mt_ForEachMosfet(setup, [&](MosfetRecord* r) {
        if (!mt_HasValues(r)) return;
        const double m = r->M;
        if (m != 1) {
            r->W.value *= m;
            r->AD *= m;
            r->AS *= m;
            r->PD *= m;
            r->PS *= m;
        }
        if (r->level > 3) return;  // the BSIM tables keep their conductances elsewhere
        double* v = r->model->Values;
        for (int index : {kMpRg, kMpRds, kMpRd, kMpRs, kMpRb}) v[index] = ClampConductance(setup, v[index]);
        const auto series = [&](int resistance, double squares) {
            if (v[resistance] > 0) return m * v[resistance];
            return squares > 0 ? m * v[kMpRsh] / squares : 0.0;
        };
        r->drainConductance = series(kMpRd, r->NRD);
        r->sourceConductance = series(kMpRs, r->NRS);
        r->gateConductance = series(kMpRg, r->NRG);
        r->bulkConductance = series(kMpRb, r->NRB);
    });
}

int SetupMosAtTemperature(TemperatureSetup& setup) {
    std::unordered_map<const ModelRecord*, MosModelAtTemperature> prepared;
    const bool acRun = gSolver.AnalysisKind == 1;
    int result = 0;
    mt_ForEachMosfet(setup, [&](MosfetRecord* r) {
        if (result || r->level > 3 || !mt_HasValues(r) || r->derived.size() < kMosDerivedCount) return;
        auto found = prepared.find(r->model);
        if (found == prepared.end()) found = prepared.emplace(r->model, mt_PrepareModel(setup, r->model)).first;
        const MosModelAtTemperature& t = found->second;
        const double* v = r->model->Values;
        double* d = r->derived.data();

        r->weff = r->W.value - 2.0 * r->M * v[kMpWd];
        r->leff = r->L.value - 2.0 * v[kMpLd];
        // A channel without length or width would divide by zero in every
        // load: the set-up stops here, naming the part.
        if (!(r->weff > 0) || !(r->leff > 0)) {
            const bool width = !(r->weff > 0);
            SchematicObject* part = r->part;
            ReportCompilerMessage(part, part ? PartScope(part) : 1, nullptr,
                                  width ? kMosMsgWeffNotPositive : kMosMsgLeffNotPositive, width ? r->weff : r->leff);
            result = kResultShown;
            return;
        }

        r->tVto = t.tVto;
        r->vt = t.vt;
        r->nvt = v[kMpN] * t.vt;
        d[kMosBuiltIn] = t.tVbi;
        d[kMosSurfacePotential] = t.tPhi;
        const double pb = v[kMpPb];
        d[kMosDepletionThreshold] = t.fc * pb;

        const bool areaCurrents = v[kMpJs] != 0 && r->AD != 0 && r->AS != 0;
        r->drainVcrit = CriticalVoltage(t.vt, areaCurrents ? v[kMpJs] * r->AD : v[kMpIs]);
        r->sourceVcrit = CriticalVoltage(t.vt, areaCurrents ? v[kMpJs] * r->AS : v[kMpIs]);

        r->cbdZero = v[kMpCbd] != 0 ? v[kMpCbd] : t.cj * r->AD;
        r->cbsZero = v[kMpCbs] != 0 ? v[kMpCbs] : t.cj * r->AS;
        r->cbdSidewall = t.cjsw * r->PD;
        r->cbsSidewall = t.cjsw * r->PS;
        mt_JunctionPolynomial(r->cbdZero, r->cbdSidewall, v[kMpMj], v[kMpMjsw], pb, t.fc, d + kMosF2d);
        mt_JunctionPolynomial(r->cbsZero, r->cbsSidewall, v[kMpMj], v[kMpMjsw], pb, t.fc, d + kMosF2s);

        if (areaCurrents) {
            r->drainSatCur = v[kMpJs] * r->AD;
            r->sourceSatCur = v[kMpJs] * r->AS;
            if (v[kMpJssw] != 0) {
                r->drainSatCur += v[kMpJssw] * r->PD;
                r->sourceSatCur += v[kMpJssw] * r->PS;
            }
        } else {
            r->drainSatCur = v[kMpIs];
            r->sourceSatCur = v[kMpIs];
        }

        r->overlapCapGs = r->weff * v[kMpCgso];
        r->overlapCapGd = r->weff * v[kMpCgdo];
        r->overlapCapGb = v[kMpCgbo] * r->leff;
        d[kMosOxideCap] = v[kMpTox] * r->weff * r->leff;
        d[kMosBeta] = r->weff / r->leff * v[kMpKp];

        if (!setup.operatingPointHeld) r->mode = 1.0;
        r->vbsOlder = r->vgsOlder = r->vdsOlder = 0;
        if (!acRun)
            for (int i = kMosCgsHalf; i <= kMosCgbHalfPrevious; ++i) d[i] = 1e-12;
        r->historyValid = 0;
        r->reversalHold = 0;
    });
    return result;
}
