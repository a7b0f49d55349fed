#include "compiler/diodes.h"

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/devicetail.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/devicelist.h"
#include "models/modelstmt.h"

namespace {

constexpr int kDiMsgAreaNotPositive = 10840;
constexpr int kDiModelRs = 11;  // RS of the D model type

const MessageRow kDiMessageRows[] = {
    {kDiMsgAreaNotPositive, "%EArea must be positive."},
};

}  // namespace

void RegisterDiodeSetupMessages() {
    RegisterMessages(kDiMessageRows, static_cast<int>(sizeof(kDiMessageRows) / sizeof(kDiMessageRows[0])));
}

DiodeRecord* SetupDiode(int anode, int cathode, const char* valueText, int modelType, ModelRecord* model, int* status) {
    // A diode shorted on itself carries no current: it drops out of the circuit.
    if (anode == cathode) return nullptr;
    SchematicObject* part = CurrentSetupPart;
    DeviceList& list = DeviceLists()[kListDiodes];
    auto* record = list.pool.AddNewConstructed<DiodeRecord>(DeviceListCreationKind[kListDiodes]);
    if (!record) {
        ReportCompileOutOfMemory();
        *status = kResultShown;
        return nullptr;
    }
    CCTDoc* document = CurrentCircuitDocument();
    if (!model) model = modelType == -1 ? FindPartModelRecord(document, part) : DefaultModelRecord(document, modelType);
    if (!model) {
        *status = kResultShown;
        return record;
    }
    record->model = model;
    record->icGiven = DeviceTailHasIc(valueText) ? 1 : 0;
    *status = ScanDeviceTail(part, &record->area, &record->ic, nullptr, &record->off, valueText);
    record->cathode = cathode;
    record->ordinal = list.pool.count;
    if (modelType == -1 && *status == 0) *status = RegisterPartName(record, kTypeDiode, model, nullptr, part);
    if (record->area == 0) {
        RecordPartLocation(part);
        *status = ReportCompilerMessage(part, PartScope(part), nullptr, kDiMsgAreaNotPositive);
        record->internalAnode = anode;
    } else {
        const double rs = model->Values ? model->Values[kDiModelRs] : 0.0;
        record->internalAnode = MakeNamedInternalNode(rs / record->area, anode, "_Pside");
    }
    record->anode = anode;
    return record;
}

int SetupDiodePart(SchematicObject* part) {
    int error = 0;
    char* text = SubstitutePartValue(CurrentCircuitDocument(), part, &error);
    if (error) {
        FreeString(&text);
        return error;
    }
    int status = 0;
    SetupDiode(PartPin(part, 0), PartPin(part, 1), text ? text : "", -1, nullptr, &status);
    FreeString(&text);
    return status;
}
