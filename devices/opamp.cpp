#include "devices/opamp.h"
#include "devices/mosfets.h"

#include <strings.h>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "compiler/compiled.h"
#include "compiler/setupservices.h"
#include "core/messages.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "devices/waveforms.h"
#include "document/attributes.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

enum OpampParam : int {
    kOaLevel = 0,
    kOaType = 1,
    kOaC = 2,
    kOaA = 3,
    kOaRoutAc = 4,
    kOaRoutDc = 5,
    kOaVoff = 6,
    kOaIoff = 7,
    kOaSrp = 8,
    kOaSrn = 9,
    kOaIbias = 10,
    kOaVee = 11,
    kOaVcc = 12,
    kOaVps = 13,
    kOaVns = 14,
    kOaCmrr = 15,
    kOaGbw = 16,
    kOaPm = 17,
    kOaPd = 18,
    kOaIosc = 19,
};

constexpr double kPi = std::numbers::pi;
constexpr double kNpnDefaultIs = 1e-16;
constexpr int kNpnIsIndex = 0;

// clang-format off
const MessageRow kDeviceMessageRows[] = {
    {15015, "%EThe OPAMP '%s', has a negative value for C2."},
    {15016, "%EIn the OPAMP '%s', Ibias must be > Ioff/2."},
    {15017, "%EIn the OPAMP '%s', SRP must be > 4*PI*gbw*VT."},
    {15018, "%EIn the OPAMP '%s', ZoDC must be greater than ZoAC."},
    {15019, "%EIn the OPAMP '%s', which has NPN inputs, SRP >= SRN."},
    {15020, "%EIn the OPAMP '%s', which has PNP inputs, SRN >= SRP."},
    {15027, "%EIn the OPAMP '%s', SRN must be > 4*PI*gbw*VT."},
    {15028, "%EIn the OPAMP '%s', Vcc must be >= VPS."},
    {15029, "%EIn the OPAMP '%s', Vee must be <= VNS."},
    {15050, "%EIn the OPAMP '%s', PD must be larger than %s."},
};
// clang-format on

// LEVEL and TYPE are truncated to integers; values far outside any meaning
// become 0 (no representation) rather than an undefined conversion.
int TruncatedSelector(double value) {
    const double truncated = std::trunc(value);
    return truncated >= -1000 && truncated <= 1000 ? static_cast<int>(truncated) : 0;
}

}  // namespace

void RegisterDeviceMessages() {
    RegisterMessages(kDeviceMessageRows, static_cast<int>(sizeof(kDeviceMessageRows) / sizeof(kDeviceMessageRows[0])));
    RegisterMosfetMessages();
    RegisterWaveformMessages();
}

int ComputeOpampParameters(const double* m, double temperature, double gmin, const double* q1ModelValues,
                           OpampElementValues* out) {
    double* v = out->v;
    const int type = TruncatedSelector(m[kOaType]);
    const double vt = (temperature + kKelvinOffset) / kElectronCharge * kBoltzmann;
    v[kOpR2] = 100000.0;
    v[kOpC2] = m[kOaC];
    const double rc = 1.0 / (2.0 * kPi * m[kOaGbw] * m[kOaC]);
    v[kOpRc1] = v[kOpRc2] = rc;
    v[kOpC1] = std::tan((90.0 - m[kOaPm]) * kPi / 180.0) * m[kOaC] * 0.5;
    v[kOpGa] = 1.0 / rc;

    const double ib = std::fabs(m[kOaIbias]);
    const double io = std::fabs(m[kOaIoff]) * 0.5;
    if (ib <= io) return kMsgOpampIbias;

    double iee = 0;
    if (type == 1 || type == 2) {
        const double ic = m[kOaC] * std::fabs(type == 1 ? m[kOaSrp] : m[kOaSrn]) / 2.0;
        const double otherSlew = std::fabs(type == 1 ? m[kOaSrn] : m[kOaSrp]);
        double ce = 2.0 * ic / otherSlew - m[kOaC];
        if (ce == 0) ce = 1e-19;
        // A zero opposite slew rate would give an unbounded Ce.
        if (!std::isfinite(ce)) return type == 1 ? kMsgOpampNpnSlew : kMsgOpampPnpSlew;
        v[kOpCe] = ce;
        if (ce < 0) return type == 1 ? kMsgOpampNpnSlew : kMsgOpampPnpSlew;
        const double beta1 = ic / (ib + io);
        const double beta2 = ic / (ib - io);
        v[kOpBeta1] = beta1;
        v[kOpBeta2] = beta2;
        iee = ic * ((beta2 + 1.0) / beta2 + (beta1 + 1.0) / beta1);
        v[kOpIee] = iee;
        // Also refuses a zero slew rate (Ic = 0), whose Vt/Ic is infinite.
        if (!(rc - vt / ic > 0)) return type == 1 ? kMsgOpampSrpGbw : kMsgOpampSrnGbw;
        const double s = beta2 + beta1;
        v[kOpRe1] = v[kOpRe2] = (rc - vt / ic) * s / (s + 2.0);
        v[kOpRee] = 200.0 / iee;
    } else if (type == 3) {
        iee = std::fabs(m[kOaSrn]) * m[kOaC];
        v[kOpIee] = iee;
        double ce = iee / std::fabs(m[kOaSrp]) - m[kOaC];
        if (ce == 0) ce = 1e-19;
        // A zero slew rate gives no tail current or an unbounded Ce: refused
        // like a slew-rate order the input pair cannot meet.
        if (!std::isfinite(ce) || iee == 0) return kMsgOpampPnpSlew;
        v[kOpCe] = ce;
        if (ce < 0) return kMsgOpampPnpSlew;
        v[kOpRe1] = v[kOpRe2] = 1.0;
        v[kOpRee] = 200.0 / iee;
        v[kOpBeta1] = v[kOpBeta2] = (1.0 / rc) * (1.0 / rc) * 0.5 / iee;
    }

    int result = 0;
    const double pmin = (std::fabs(m[kOaVee]) + std::fabs(m[kOaVcc])) * std::fabs(v[kOpIee]);
    if (m[kOaPd] - pmin > 0) {
        const double span = m[kOaVcc] - m[kOaVee];
        v[kOpRp] = span * span / (m[kOaPd] - pmin);
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%g", pmin);
        SetSecondPendingText(text);
        v[kOpRp] = 1.0 / gmin;
        result = kMsgOpampPd;
    }
    if (m[kOaRoutDc] <= m[kOaRoutAc]) return kMsgOpampZo;

    v[kOpRo2] = m[kOaRoutDc] - m[kOaRoutAc];
    // The output resistor must never reach the matrix as 0 ohm.
    v[kOpRo1] = m[kOaRoutAc];
    v[kOpGcm] = 1.0 / (m[kOaCmrr] * rc);
    const double g = rc / (m[kOaRoutDc] - m[kOaRoutAc]) * m[kOaA];
    v[kOpGb1] = v[kOpGb3] = g;
    v[kOpGb2] = -g;
    v[kOpVlim1] = v[kOpVlim2] = 1000.0 * m[kOaIosc];
    v[kOpVc] = m[kOaVcc] - m[kOaVps];
    v[kOpVe] = m[kOaVns] - m[kOaVee];
    if (m[kOaVee] > m[kOaVns]) return kMsgOpampVee;
    if (m[kOaVcc] < m[kOaVps]) return kMsgOpampVcc;

    if (type == 1 || type == 2)
        v[kOpQ2Is] = (m[kOaVoff] / vt + 1.0) * (q1ModelValues ? q1ModelValues[kNpnIsIndex] : kNpnDefaultIs);
    if (type == 2 || type == 3) v[kOpIee] = -v[kOpIee];
    return result;
}

int ComputeOpampStageValues(const double* m, OpampStageValues* out) {
    *out = OpampStageValues{};
    const int level = TruncatedSelector(m[kOaLevel]);
    const double rout = m[kOaRoutAc] + m[kOaRoutDc];
    if (level == 1) {
        out->transconductance = m[kOaA] / rout;
        return 0;
    }
    if (level != 2) return 0;
    const double fp1 = m[kOaGbw] / m[kOaA];
    out->cp1 = 1.0 / (2.0 * kPi * fp1 * rout);
    const double fp2 = m[kOaGbw] / std::tan(kPi - std::atan(m[kOaGbw] / fp1) - m[kOaPm] * kPi / 180.0);
    out->cp2 = 1.0 / (2.0 * kPi * fp2 * rout);
    out->rout = rout;
    out->transconductance = std::pow(m[kOaA], 0.3333333333333) / rout;
    return out->cp2 > 0 && std::isfinite(out->cp2) ? 0 : kMsgOpampNegativeC2;
}

namespace {

// The table default of a numeric parameter of the model's type.
double op_Default(const ModelRecord* model, const char* name) {
    for (int i = 0; model && i < ModelParamCount(model->ModelType); ++i) {
        const ModelParamInfo* info = GetModelParamInfo(model->ModelType, i);
        if (info && info->Kind == kParamNumber && strcasecmp(info->Name, name) == 0) return info->Default.number;
    }
    return 0;
}

// Copies the four temperature parameters of the OPAMP model into a model of
// one of its elements.
void op_CopyTemperatures(const ModelRecord* opamp, ModelRecord* element) {
    if (!opamp || !element || !opamp->Values || !element->Values) return;
    const ModelTypeInfo* from = GetModelTypeInfo(opamp->ModelType);
    const ModelTypeInfo* to = GetModelTypeInfo(element->ModelType);
    if (!from || !to || !from->TempParamIndex || !to->TempParamIndex) return;
    for (int i = 0; i < 4; ++i) element->Values[to->TempParamIndex + i] = opamp->Values[from->TempParamIndex + i];
}

void op_SetResistor(ResistorRecord* r, double value) {
    if (r) r->initialValue = r->working = r->nominal = value;
}
void op_SetCapacitor(CapacitorRecord* c, double value) {
    if (c) c->initialValue = c->working = c->nominal = value;
}
void op_SetSource(SourceRecord* source, double value) {
    if (!source) return;
    source->dcValue = source->working = value;
    source->values[kSourceFieldDc] = source->nominal[kSourceFieldDc] = value;
}

int op_SetupBoyle(TemperatureSetup& setup, OpampRecord& record, double temperature) {
    ModelRecord* model = record.model;
    const double* q1Values = record.q1 && record.q1->model ? record.q1->model->Values : nullptr;
    OpampElementValues values;
    if (int id = ComputeOpampParameters(model->Values, temperature, setup.Options().gmin, q1Values, &values)) return id;
    const double* v = values.v;
    op_SetSource(record.tail, v[kOpIee]);
    op_SetSource(record.vc, v[kOpVc]);
    op_SetSource(record.ve, v[kOpVe]);
    op_SetSource(record.vlp, std::fabs(v[kOpVlim1]));
    op_SetSource(record.vln, std::fabs(v[kOpVlim2]));
    if (record.f1 && record.f1->coefficients.size() >= 7) {
        const double gb[] = {v[kOpGb1], v[kOpGb2], v[kOpGb3], v[kOpGb3], v[kOpGb2]};
        for (int i = 0; i < 5; ++i) record.f1->coefficients[2 + i] = gb[i];
    }
    if (record.gcm && record.gcm->coefficients.size() > 2) record.gcm->coefficients[2] = v[kOpGcm];
    if (record.ga && record.ga->coefficients.size() > 2) record.ga->coefficients[2] = v[kOpGa];
    op_SetCapacitor(record.c1, v[kOpC1]);
    op_SetCapacitor(record.ce, v[kOpCe]);
    op_SetCapacitor(record.c2, v[kOpC2]);
    op_SetResistor(record.rc1, v[kOpRc1]);
    op_SetResistor(record.rc2, v[kOpRc2]);
    op_SetResistor(record.re1, v[kOpRe1]);
    op_SetResistor(record.re2, v[kOpRe2]);
    op_SetResistor(record.re, v[kOpRee]);
    op_SetResistor(record.rp, v[kOpRp]);
    op_SetResistor(record.r2, v[kOpR2]);
    op_SetResistor(record.ro2, v[kOpRo2]);
    op_SetResistor(record.routac, v[kOpRo1]);

    const ModelTypeInfo* info = GetModelTypeInfo(model->ModelType);
    if (info && info->TempParamIndex && IsUnsetValue(model->Values[info->TempParamIndex]))
        model->Values[info->TempParamIndex] = setup.Options().tnom;
    if (record.d5) op_CopyTemperatures(model, record.d5->model);
    const int type = TruncatedSelector(model->Values[kOaType]);
    if (type == 1 || type == 2) {
        if (record.q1) SetModelParameter(record.q1->model, "BF", v[kOpBeta1]);
        if (record.q2) {
            SetModelParameter(record.q2->model, "BF", v[kOpBeta2]);
            SetModelParameter(record.q2->model, "IS", v[kOpQ2Is]);
            op_CopyTemperatures(model, record.q2->model);
        }
    } else if (type == 3) {
        const double* m = model->Values;
        if (record.j1) {
            SetModelParameter(record.j1->model, "BETA", v[kOpBeta1]);
            SetModelParameter(record.j1->model, "IS", (m[kOaIoff] * 0.5 + m[kOaIbias]) * 0.5);
            op_CopyTemperatures(model, record.j1->model);
        }
        if (record.j2) {
            SetModelParameter(record.j2->model, "BETA", v[kOpBeta2]);
            // From the table default each time: a repeated set-up must not add the
            // offset again.
            SetModelParameter(record.j2->model, "VTO", op_Default(record.j2->model, "VTO") + m[kOaVoff]);
            SetModelParameter(record.j2->model, "IS", (m[kOaIbias] - m[kOaIoff] * 0.5) * 0.5);
            op_CopyTemperatures(model, record.j2->model);
        }
    }
    return 0;
}

class op_ValuesFromModels final : public OpampValuesPort {
public:
    int Compute(const ModelRecord& model, double temperature, double gmin, OpampElementValues* out) override {
        return model.Values ? ComputeOpampParameters(model.Values, temperature, gmin, nullptr, out) : kResultNotBuilt;
    }
};

}  // namespace

int SetupOpampInstance(TemperatureSetup& setup, OpampRecord& record, double temperature) {
    if (!record.model || !record.model->Values) return 0;
    const double* m = record.model->Values;
    const int level = TruncatedSelector(m[kOaLevel]);
    if (level == 1 || level == 2) {
        OpampStageValues values;
        const int rc = ComputeOpampStageValues(m, &values);
        if (level == 2) {
            op_SetCapacitor(record.c1, values.cp1);
            op_SetCapacitor(record.ce, values.cp2);
            op_SetResistor(record.rc1, values.rout);
            op_SetResistor(record.rc2, values.rout);
            op_SetResistor(record.re1, values.rout);
        }
        record.transconductance = values.transconductance;
        return rc;
    }
    if (level == 3) return op_SetupBoyle(setup, record, temperature);
    return 0;
}

int SetupOpampInstances(TemperatureSetup& setup, double temperature) {
    if (!setup.compiled) return 0;
    for (PoolItem* item = setup.compiled->devices[kListOpamps].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto& record = *static_cast<OpampRecord*>(item);
        if (int id = SetupOpampInstance(setup, record, temperature)) {
            const char* name = record.part ? GetAttributeText(record.part, kAttrPart) : nullptr;
            SetPendingText(name ? name : "");
            return id;
        }
    }
    return 0;
}

void InstallOpampValueComputation() {
    static op_ValuesFromModels values;
    InstallOpampValues(&values);
}
