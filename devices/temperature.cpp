#include "devices/temperature.h"

#include <algorithm>
#include <cmath>

#include "compiler/options.h"
#include "compiler/session.h"
#include "devices/families.h"
#include "devices/mosfets.h"
#include "devices/opamp.h"
#include "engine/lossyline.h"
#include "expr/complex.h"
#include "expr/evaluate.h"
#include "models/modelstmt.h"

double SiliconEnergyGap(double kelvin) { return 1.16 - 7.02e-4 * kelvin * kelvin / (kelvin + 1108.0); }

TemperatureSetup MakeTemperatureSetup(CCTDoc* document) {
    TemperatureSetup setup;
    if (!document) return setup;
    if (CompileSession* session = FindCompileSession(document)) {
        setup.compiled = session->compiled.get();
        setup.options = &session->options.settings;
    }
    setup.models = GetCircuitModels(document);
    return setup;
}

int SetupModelsAtTemperature(TemperatureSetup& setup, double temperature) {
    // The status check at the end of the instance pass covers this set-up only.
    ResetFloatingPointState();
    setup.runTemperature = temperature;
    setup.ThermalVoltage = ThermalVoltageAt(temperature + kKelvinOffset);
    for (int type : {kModelNmos, kModelPmos})
        if (int rc = SetupMosModels(setup, type, temperature)) return rc;
    // Before the diode and transistor models are prepared: a level-3 opamp
    // writes the models of its input pair.
    if (int rc = SetupOpampInstances(setup, temperature)) return rc;
    ClampDiodeModels(setup);
    ClampBjtModels(setup);
    ClampJfetModels(setup);
    ClampGaasfetModels(setup);
    PrepareMosModelCaps(setup, kModelNmos);
    PrepareMosModelCaps(setup, kModelPmos);
    ScaleBjtLeakageCurrents(setup);
    PrepareDiodeModels(setup);
    PrepareBjtModels(setup);
    PrepareJfetModels(setup);
    if (int rc = PreparePulseModels(setup)) return rc;
    DefaultSpicePulseEdges(setup);
    PrepareGaasfetModels(setup);
    ConvertMosModelUnits(setup, kModelNmos);
    ConvertMosModelUnits(setup, kModelPmos);
    DefaultMosGeometry(setup);
    if (setup.compiled) return SetupLossyLineModels(*setup.compiled, setup.Options());
    return 0;
}

int SetupInstancesAtTemperature(TemperatureSetup& setup, const double& temperature) {
    setup.runTemperature = temperature;
    setup.AbsoluteTemperature = temperature + kKelvinOffset;
    const double rmin = setup.Options().rmin;
    setup.MaxConductance = rmin > 0 ? 1.0 / rmin : 1e50;
    if (int rc = SetupPassiveTemperature(setup)) return rc;
    SetupDiodeModelsAtTemperature(setup);
    SetupBjtModelsAtTemperature(setup);
    SetupBjtInstances(setup);
    SetupJfetModelsAtTemperature(setup);
    SetupGaasfetModelsAtTemperature(setup);
    SetupMosSeriesConductances(setup);
    if (int rc = SetupMosAtTemperature(setup)) return rc;
    if (setup.compiled) {
        if (int rc = SetupLossyLineInstances(*setup.compiled)) return rc;
    }
    return CheckMathError();
}

// ---- shared operations -----------------------------------------------------------------

double ResolveModelTemperature(const TemperatureSetup& setup, ModelRecord* model, int tMeasuredIndex) {
    double* values = model->Values;
    if (IsUnsetValue(values[tMeasuredIndex])) values[tMeasuredIndex] = setup.Options().tnom;
    const double tAbs = values[tMeasuredIndex + 1];
    if (!IsUnsetValue(tAbs)) return tAbs;
    const double tRelGlobal = values[tMeasuredIndex + 2];
    if (!IsUnsetValue(tRelGlobal)) return setup.runTemperature + tRelGlobal;
    // A relative local temperature counts only against a parent that fixes its
    // own absolute temperature; anything else keeps the run temperature.
    if (setup.models && model->Given && model->Given[tMeasuredIndex + 3]) {
        const ModelStatement* statement = setup.models->ModelStatements.At(model->StatementRow);
        const ModelRecord* parent = statement ? statement->AkoBase : nullptr;
        if (parent && parent->Values && parent->Given && parent->Given[tMeasuredIndex + 1])
            return parent->Values[tMeasuredIndex + 1] + values[tMeasuredIndex + 3];
    }
    return setup.runTemperature;
}

JunctionTemperature UpdateJunctionForTemperature(double* values, int pbIndex, int cjIndex, double grading, double tdev,
                                                 double tnom) {
    JunctionTemperature result;
    const double tk = tdev + kKelvinOffset;
    const double tnk = tnom + kKelvinOffset;
    result.delta = tdev - tnom;
    result.deltaSq = result.delta * result.delta;

    const double vtn = ThermalVoltageAt(tnk);
    const double f1 = tnk / kReferenceTemperature;
    const double pbfact1 = -3.0 * vtn * std::log(f1) + SiliconEnergyGap(tnk) - 1.1150877 * f1;
    const double pb = values[pbIndex];
    const double pbo = (pb - pbfact1) / f1;
    const double gmaold = pb / pbo - 1.0;
    double cj = values[cjIndex] / (1.0 + grading * (4e-4 * (tnk - kReferenceTemperature) - gmaold));

    result.vt = ThermalVoltageAt(tk);
    const double f2 = tk / kReferenceTemperature;
    const double pbfact = -3.0 * result.vt * std::log(f2) + SiliconEnergyGap(tk) - 1.1150877 * f2;
    double pbT = pbfact + f2 * pbo;
    if (pbT < 0) pbT = 0.001;
    values[pbIndex] = pbT;
    cj *= 1.0 + grading * (4e-4 * (tk - kReferenceTemperature) - (pbT / pbo - 1.0));
    values[cjIndex] = cj;
    result.ratio = tk / tnk;
    result.logRatio = std::log(result.ratio);
    return result;
}

double SaturationCurrentFactor(double ratio, double emission, double vt, double energyGap, double xti) {
    if (ratio == 1.0) return 1.0;
    const double n = emission < 0.01 ? 0.01 : emission;
    const double x = std::clamp(xti / n, -500.0, 500.0);
    const double factor = std::pow(ratio, x) * ClampedExp((ratio - 1.0) * energyGap / (n * vt));
    return std::clamp(factor, 1e-50, 1e50);
}

double CriticalVoltage(double nvt, double saturationCurrent) {
    const double is = saturationCurrent <= 0 ? 1e-6 : saturationCurrent;
    const double r = nvt / (std::sqrt(2.0) * is);
    return r > 1.0 ? nvt * std::log(r) : 0.1;
}

void DepletionCapCoefficients(double* values, double fc, double pb, double grading, int slotA, int slotV, int slotS,
                              int slotQ) {
    const double pbp = std::max(pb, 1e-50);
    const double e = grading == 1.0 ? 1e-50 : std::max(1e-50, 1.0 - grading);
    const double o = std::pow(1.0 - fc, -(1.0 + grading));
    const double v = o * (1.0 - fc * (1.0 + grading));
    const double s = o * grading / pbp;
    // (1 - (1-FC)^e) / e through expm1: with e near zero the plain form rounds
    // the numerator to 0 and loses the logarithmic charge of a grading of 1.
    const double lead = -std::expm1(e * std::log1p(-fc)) / e;
    const double threshold = fc * pbp;
    values[slotA] = threshold;
    values[slotV] = v;
    values[slotS] = s;
    values[slotQ] = pbp * lead - 0.5 * s * threshold * threshold - threshold * v;
}

double GuardedSqrtPhi(const TemperatureSetup& setup, const ModelRecord* model, double phi, double kelvin) {
    if (phi > 0) return std::sqrt(phi);
    if (phi < 0 && setup.models) {
        CompileNoteList& notes = setup.models->Notes;
        bool noted = false;
        for (int i = 0; i < notes.Count && !noted; ++i)
            noted = notes.Entries[i].Kind == kNoteNegativePhi && notes.Entries[i].Row == model->StatementRow;
        if (!noted) {
            if (CompileNote* note = AddDiagnosticEntry(setup.models)) {
                note->Kind = kNoteNegativePhi;
                note->Row = model->StatementRow;
                note->Value = kelvin - kKelvinOffset;
            }
        }
    }
    return 0.001;
}

double ClampGrading(double grading) { return grading > 0.999 && grading < 1.001 ? 0.999 : grading; }

double ResistanceToConductance(double resistance, double rmin) {
    if (resistance == 0) return 0;
    const double limited = std::max(resistance, rmin);
    // Without RMIN a negative resistance would divide by zero: it becomes the
    // largest conductance instead.
    return limited > 0 ? 1.0 / limited : 1e50;
}

double ClampConductance(const TemperatureSetup& setup, double conductance) {
    if (conductance == 0) return 0;
    return std::min(conductance, setup.MaxConductance);
}
