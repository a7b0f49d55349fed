#include "compiler/transistors.h"

#include <string>

#include "compiler/compiled.h"
#include "compiler/devicetail.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "shell/document.h"

namespace {

constexpr int kMsgAreaNotPositive = 10840;

constexpr int kTypeNpn4 = 36;
constexpr int kTypePnp4 = 38;
constexpr int kTypeNjfet = 25;

// The tail's IC values (the bipolar's VBE, VCE; a FET's VDS, VGS).
int tr_ScanTail(SchematicObject* part, const char* text, double* area, int32_t* off, double* icFirst,
                double* icSecond) {
    return ScanDeviceTail(part, area, icFirst, icSecond, off, text ? text : "");
}

int32_t tr_IcMark(const char* text) { return text && DeviceTailHasIc(text) ? 1 : 0; }

int tr_AreaFailure(SchematicObject* part) {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, kMsgAreaNotPositive);
}

// The model of a bipolar or JFET part: the part's own (modelType -1, a
// missing one reported) or the default of the type.
ModelRecord* tr_FindModel(SchematicObject* part, int modelType) {
    CCTDoc* document = CurrentCircuitDocument();
    if (modelType == -1) return FindPartModelRecord(document, part);
    return DefaultModelRecord(document, modelType);
}

template <class Record>
Record* tr_AddRecord(int list) {
    auto* record = DeviceLists()[list].pool.AddNewConstructed<Record>(DeviceListCreationKind[list]);
    if (!record) ReportCompileOutOfMemory();
    return record;
}

int32_t tr_ListCount(int list) { return DeviceLists()[list].pool.count; }

}  // namespace

BipolarRecord* SetupBipolar(int base, int emitter, int collector, int substrate, const char* valueText, int modelType,
                            int componentType, int* status) {
    SchematicObject* part = CurrentSetupPart;
    auto* record = tr_AddRecord<BipolarRecord>(kListBipolars);
    if (!record) {
        *status = kResultShown;
        return nullptr;
    }
    record->part = part;
    // A PNP part may name an NPN model; its polarity still comes from the part.
    ModelRecord* model =
        modelType == -1 ? FindBipolarModelRecord(CurrentCircuitDocument(), part) : tr_FindModel(part, modelType);
    if (!model) {
        *status = kResultShown;
        return record;
    }
    record->model = model;
    record->modelKind = modelType == -1 ? model->ModelType : modelType;
    record->ordinal = tr_ListCount(kListBipolars);
    record->basePrime = MakeNamedInternalNode(ModelParameter(model, "RB"), base, "_base");
    record->emitterPrime = MakeNamedInternalNode(ModelParameter(model, "RE"), emitter, "_emitter");
    record->collectorPrime = MakeNamedInternalNode(ModelParameter(model, "RC"), collector, "_collector");
    record->collector = collector;
    record->base = base;
    record->emitter = emitter;
    const bool fourPins = componentType == kTypeNpn4 || componentType == kTypePnp4;
    record->substrate = fourPins ? substrate : 0;
    record->polarity = componentType == kTypeNpn || componentType == kTypeNpn4 ? 1.0 : -1.0;
    record->icGiven = tr_IcMark(valueText);
    *status = tr_ScanTail(part, valueText, &record->area, &record->off, &record->icVbe, &record->icVce);
    if (*status) return record;
    if (record->area == 0) {
        *status = tr_AreaFailure(part);
        return record;
    }
    if (modelType == -1) *status = RegisterPartName(record, componentType, model, nullptr, part);
    return record;
}

JfetRecord* SetupJfet(int gate, int drain, int source, int modelType, int componentType, const char* valueText,
                      int* status) {
    SchematicObject* part = CurrentSetupPart;
    auto* record = tr_AddRecord<JfetRecord>(kListJfets);
    if (!record) {
        *status = kResultShown;
        return nullptr;
    }
    record->part = part;
    ModelRecord* model = tr_FindModel(part, modelType);
    if (!model) {
        *status = kResultShown;
        return record;
    }
    record->model = model;
    record->ordinal = tr_ListCount(kListJfets);
    record->icGiven = tr_IcMark(valueText);
    *status = tr_ScanTail(part, valueText, &record->area, &record->off, &record->icVds, &record->icVgs);
    // An area of 0 fails the part but the record is still filled, so that
    // whatever reads it later finds its nodes.
    if (!*status && record->area == 0) *status = tr_AreaFailure(part);
    record->drainPrime = ModelParameter(model, "RD") != 0 ? NewInternalNode() : drain;
    record->sourcePrime = ModelParameter(model, "RS") != 0 ? NewInternalNode() : source;
    record->gate = gate;
    record->drain = drain;
    record->source = source;
    record->polarity = componentType == kTypeNjfet ? 1.0 : -1.0;
    if (!*status && modelType == -1) *status = RegisterPartName(record, componentType, model, nullptr, part);
    return record;
}

int SetupGaAsFet() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = tr_AddRecord<GaasfetRecord>(kListGaasfets);
    if (!record) return kResultShown;
    record->part = part;
    ModelRecord* model = FindPartModelRecord(CurrentCircuitDocument(), part);
    if (!model) return kResultShown;
    record->model = model;
    record->ordinal = tr_ListCount(kListGaasfets);
    record->area = 1.0;
    const int drain = PartPin(part, 0);
    const int gate = PartPin(part, 1);
    const int source = PartPin(part, 2);
    record->gatePrime = ModelParameter(model, "RG") != 0 ? NewInternalNode() : gate;
    record->drainPrime = ModelParameter(model, "RD") != 0 ? NewInternalNode() : drain;
    record->sourcePrime = ModelParameter(model, "RS") != 0 ? NewInternalNode() : source;
    record->source = source;
    record->gate = gate;
    record->drain = drain;
    const std::string text = GetAttributeText(part, kAttrValue);
    record->icGiven = tr_IcMark(text.c_str());
    if (int rc = tr_ScanTail(part, text.c_str(), &record->area, &record->off, &record->icVds, &record->icVgs))
        return rc;
    if (record->area == 0) return tr_AreaFailure(part);
    record->polarity = 1.0;
    return RegisterPartName(record, kTypeGaAsFet, model, nullptr, part);
}
