#include "compiler/opampsetup.h"

#include <cmath>
#include <initializer_list>

#include "compiler/compiled.h"
#include "compiler/depsources.h"
#include "compiler/diodes.h"
#include "compiler/options.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "compiler/transistors.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "models/modeltypes.h"

namespace {

constexpr double kOsPi = 3.141592653589793;
constexpr double kOsTwoPi = 6.283185307179586;
constexpr double kOsDegree = 0.017453292519943295;
// Component types of the input pair and kinds of the polynomial sources.
constexpr int kOsTypePjfet = 24;
constexpr int kOsG = 50;  // voltage-controlled current
constexpr int kOsF = 51;  // current-controlled current
constexpr int kOsE = 52;  // voltage-controlled voltage
constexpr int kOsH = 53;  // current-controlled voltage

// clang-format off
const MessageRow kOsMessageRows[] = {
    {kMsgOpampBadType, "%EIn the OPAMP '%s', TYPE must be 1 (NPN), 2 (PNP) or 3 (JFET)."},
    {kMsgOpampBadPhaseMargin, "%EIn the OPAMP '%s', PM must be above 0 and below 90 degrees."},
};
// clang-format on

int os_Refuse(SchematicObject* part, int id) {
    RecordPartLocation(part);
    const char* name = GetAttributeText(part, kAttrPart);
    return ReportCompilerMessage(part, PartScope(part), nullptr, id, name ? name : "");
}

class os_NoValues final : public OpampValuesPort {
public:
    int Compute(const ModelRecord&, double, double, OpampElementValues*) override { return kResultNotBuilt; }
};
os_NoValues os_noValues;
OpampValuesPort* os_values = nullptr;

// The bipolar value slots after the parameters that the input pair's models
// start from (the critical voltages of the two junctions).
constexpr int kOsBipolarCriticalForward = 65;
constexpr int kOsBipolarCriticalReverse = 66;

// A polynomial source of the macromodel with its coefficients p0, p1, ...
PolySourceRecord* os_Controlled(SourceRecord* firstControl, int plus, int minus, int kind, int dimension,
                                std::initializer_list<double> coefficients, int* status) {
    PolySourceRecord* record = AddControlledSourceRecord(firstControl, plus, minus, kind, dimension,
                                                         static_cast<int>(coefficients.size()) - 1, 1.0, status);
    if (!record) return nullptr;
    size_t slot = 1;
    for (double c : coefficients)
        if (slot < record->coefficients.size()) record->coefficients[slot++] = c;
    return record;
}

}  // namespace

OpampValuesPort& OpampValues() { return os_values ? *os_values : os_noValues; }

OpampValuesPort* InstallOpampValues(OpampValuesPort* port) {
    OpampValuesPort* previous = os_values;
    os_values = port;
    return previous;
}

int SetupOpampMacromodel(CCTDoc* document, int p1, int p2, int p3, int p4, int p5, OpampRecord* record) {
    RunVars.vt = 0.0259;
    int n[16] = {};
    for (int i = 1; i <= 15; ++i) n[i] = NewInternalNode();
    const CircuitOptions* options = GetCircuitOptions(document);
    const double gmin = options ? options->settings.gmin : GlobalSettings.gmin;
    OpampElementValues values;
    if (int id = OpampValues().Compute(*record->model, 27.0, gmin, &values)) return id;
    const double* v = values.v;
    const int type = static_cast<int>(std::trunc(ModelParameter(record->model, "TYPE")));
    const int collectorSupply = type == 1 ? p5 : p3;
    const int tailSupply = type == 1 ? p3 : p5;
    const int componentType = type == 1 ? kTypeNpn : type == 2 ? kTypePnp : kOsTypePjfet;
    const int modelType = type == 1 ? kModelNpn : type == 2 ? kModelPnp : kModelPjf;

    int status = 0;
    record->tail = AddSourceDevice(n[5], tailSupply, kSourceCurrent, v[kOpIee], &status);
    SourceRecord* vs1 = AddSourceDevice(n[6], 0, kSourceVoltage, 0.0, &status);
    record->vc = AddSourceDevice(p5, n[11], kSourceVoltage, v[kOpVc], &status);
    record->ve = AddSourceDevice(n[12], p3, kSourceVoltage, v[kOpVe], &status);
    record->vlp = AddSourceDevice(n[14], 0, kSourceVoltage, std::fabs(v[kOpVlim1]), &status);
    record->vln = AddSourceDevice(0, n[15], kSourceVoltage, std::fabs(v[kOpVlim2]), &status);
    SourceRecord* vs2 = AddSourceDevice(n[8], n[10], kSourceVoltage, 0.0, &status);
    if (status) return status;

    record->f1 =
        os_Controlled(vs1, n[8], n[9], kOsF, 5, {0, v[kOpGb1], v[kOpGb2], v[kOpGb3], v[kOpGb3], v[kOpGb2]}, &status);
    if (!record->f1) return kResultShown;
    SourceRecord* others[] = {record->vc, record->ve, record->vlp, record->vln};
    for (int i = 0; i < 4; ++i) record->f1->inputs[i + 2].branch = &others[i]->branch;
    PolySourceRecord* e1 = os_Controlled(nullptr, n[9], 0, kOsE, 2, {0, 0.5, 0.5}, &status);
    if (!e1) return kResultShown;
    e1->inputs[1].positive = p5;
    e1->inputs[2].positive = p3;
    if (!os_Controlled(vs2, n[13], 0, kOsH, 1, {0, 1000}, &status)) return kResultShown;
    record->gcm = os_Controlled(nullptr, 0, n[7], kOsG, 1, {0, v[kOpGcm]}, &status);
    if (!record->gcm) return kResultShown;
    record->gcm->inputs[1].positive = n[5];
    record->ga = os_Controlled(nullptr, n[7], 0, kOsG, 1, {0, v[kOpGa]}, &status);
    if (!record->ga) return kResultShown;
    record->ga->inputs[1].positive = n[1];
    record->ga->inputs[1].negative = n[2];

    // Any later element that fails leaves the result failed, but the rest is still made.
    int result = 0;
    auto keep = [&result](int rc) {
        if (rc && !result) result = rc;
    };
    auto capacitor = [&](int a, int b, double value) {
        int rc = 0;
        CapacitorRecord* c = AddCapacitorDevice(a, b, value, &rc);
        keep(rc);
        return c;
    };
    auto resistor = [&](int a, int b, double value) {
        int rc = 0;
        ResistorRecord* r = AddResistorDevice(a, b, value, 0, &rc);
        keep(rc);
        return r;
    };
    record->c1 = capacitor(n[1], n[2], v[kOpC1]);
    record->ce = capacitor(n[5], n[9], v[kOpCe]);
    record->c2 = capacitor(n[7], n[8], v[kOpC2]);
    record->rc1 = resistor(collectorSupply, n[1], v[kOpRc1]);
    record->rc2 = resistor(collectorSupply, n[2], v[kOpRc2]);
    record->re1 = resistor(n[3], n[5], v[kOpRe1]);
    record->re2 = resistor(n[4], n[5], v[kOpRe2]);
    record->re = resistor(n[5], n[9], v[kOpRee]);
    record->rp = resistor(p5, p3, v[kOpRp]);
    record->r2 = resistor(n[7], n[6], v[kOpR2]);
    record->ro2 = resistor(n[8], n[9], v[kOpRo2]);
    record->routac = resistor(n[10], p4, v[kOpRo1]);

    int rc = 0;
    record->d5 = SetupDiode(p3, p5, "", kModelDiode, nullptr, &rc);
    keep(rc);
    // With both supplies on one node there is nothing for the clamps to clamp to.
    if (record->d5) {
        ModelRecord* shared = record->d5->model;
        rc = 0;
        record->d3 = SetupDiode(p4, n[11], "", kModelDiode, shared, &rc);
        keep(rc);
        rc = 0;
        record->d4 = SetupDiode(n[12], p4, "", kModelDiode, shared, &rc);
        keep(rc);
        rc = 0;
        SetupDiode(n[13], n[14], "", kModelDiode, shared, &rc);
        keep(rc);
        rc = 0;
        SetupDiode(n[15], n[13], "", kModelDiode, shared, &rc);
        keep(rc);
    }

    if (type == 3) {
        rc = 0;
        record->j1 = SetupJfet(p2, n[1], n[3], modelType, componentType, "", &rc);
        keep(rc);
        rc = 0;
        record->j2 = SetupJfet(p1, n[2], n[4], modelType, componentType, "", &rc);
        keep(rc);
        for (JfetRecord* j : {record->j1, record->j2})
            if (j) SetModelParameter(j->model, "BETA", v[kOpBeta1]);
    } else {
        rc = 0;
        record->q1 = SetupBipolar(p2, n[3], n[1], 0, "", modelType, componentType, &rc);
        keep(rc);
        rc = 0;
        record->q2 = SetupBipolar(p1, n[4], n[2], 0, "", modelType, componentType, &rc);
        keep(rc);
        if (record->q1) SetModelParameter(record->q1->model, "BF", v[kOpBeta1]);
        if (record->q2) {
            SetModelParameter(record->q2->model, "BF", v[kOpBeta2]);
            SetModelParameter(record->q2->model, "IS", v[kOpQ2Is]);
        }
        for (BipolarRecord* q : {record->q1, record->q2}) {
            if (!q || !q->model || !q->model->Values) continue;
            q->model->Values[kOsBipolarCriticalForward] = 0.7;
            q->model->Values[kOsBipolarCriticalReverse] = 0.7;
        }
    }
    return result;
}

void RegisterOpampSetupMessages() {
    RegisterMessages(kOsMessageRows, static_cast<int>(sizeof(kOsMessageRows) / sizeof(kOsMessageRows[0])));
}

OpampLevel2Values ComputeOpampLevel2(double gain, double gbw, double phaseMargin, double resistance) {
    OpampLevel2Values values;
    const double p1 = gbw / gain;
    const double theta = kOsPi - std::atan(gbw / p1) - phaseMargin * kOsDegree;
    const double p2 = gbw / std::tan(theta);
    values.c1 = 1.0 / (kOsTwoPi * p1 * resistance);
    values.c2 = 1.0 / (kOsTwoPi * p2 * resistance);
    values.transconductance = std::pow(gain, 0.3333333333333333) / resistance;
    return values;
}

int SetupOpamp(SchematicObject* part) {
    CCTDoc* document = CurrentCircuitDocument();
    // A part whose model is missing leaves no record behind.
    ModelRecord* model = FindPartModelRecord(document, part);
    if (!model) return kResultShown;
    auto* record = DeviceLists()[kListOpamps].pool.AddNewConstructed<OpampRecord>(DeviceListCreationKind[kListOpamps]);
    if (!record) {
        ReportCompileOutOfMemory();
        return kResultNoMemory;
    }
    record->part = part;
    record->model = model;
    record->plus = PartPin(part, 0);
    record->minus = PartPin(part, 1);
    record->vee = PartPin(part, 2);
    record->output = PartPin(part, 3);
    record->vcc = PartPin(part, 4);
    const int level = static_cast<int>(std::trunc(ModelParameter(model, "LEVEL")));
    const int type = static_cast<int>(std::trunc(ModelParameter(model, "TYPE")));
    const double gain = ModelParameter(model, "A");
    const double resistance = ModelParameter(model, "ROUTAC") + ModelParameter(model, "ROUTDC");
    record->level = level;
    int status = 0;
    if (level == 1) {
        record->rc1 = AddResistorDevice(record->output, 0, resistance, 0, &status);
        if (status) return status;
        record->transconductance = gain / resistance;
    } else if (level == 2) {
        const double margin = ModelParameter(model, "PM");
        // Outside (0, 90) the second pole lands at a negative frequency and the
        // stages would be built with a negative capacitance.
        if (!(margin > 0 && margin < 90)) return os_Refuse(part, kMsgOpampBadPhaseMargin);
        const OpampLevel2Values values = ComputeOpampLevel2(gain, ModelParameter(model, "GBW"), margin, resistance);
        record->stage1 = NewInternalNode();
        record->stage2 = NewInternalNode();
        record->c1 = AddCapacitorDevice(0, record->stage1, values.c1, &status);
        if (!status) record->ce = AddCapacitorDevice(0, record->stage2, values.c2, &status);
        if (!status) record->rc1 = AddResistorDevice(record->stage1, 0, resistance, 0, &status);
        if (!status) record->rc2 = AddResistorDevice(record->stage2, 0, resistance, 0, &status);
        if (!status) record->re1 = AddResistorDevice(record->output, 0, resistance, 0, &status);
        if (status) return status;
        record->transconductance = values.transconductance;
    } else if (level == 3) {
        // The macromodel's input pair has no meaning for any other TYPE.
        if (type < 1 || type > 3) return os_Refuse(part, kMsgOpampBadType);
        const int id = SetupOpampMacromodel(document, record->plus, record->minus, record->vee, record->output,
                                            record->vcc, record);
        if (id) {
            if (id == kResultShown) return kResultShown;
            RecordPartLocation(part);
            const char* name = GetAttributeText(part, kAttrPart);
            SetPendingText(name ? name : "");
            return ReportCompilerMessage(part, PartScope(part), nullptr, id, name ? name : "", SecondPendingText());
        }
    }
    return RegisterPartName(record, kTypeOpamp, model, nullptr, part);
}
