#include "compiler/opampsetup.h"

#include <cmath>

#include "compiler/compiled.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"

namespace {

constexpr double kOsPi = 3.141592653589793;
constexpr double kOsTwoPi = 6.283185307179586;
constexpr double kOsDegree = 0.017453292519943295;

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

}  // namespace

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
        // Its diodes, transistors and controlled sources come with the
        // semiconductor and dependent-source set-ups.
        RecordPartLocation(part);
        return ReportCompilerMessage(part, PartScope(part), nullptr, kResultNotBuilt);
    }
    return RegisterPartName(record, kTypeOpamp, model, nullptr, part);
}
