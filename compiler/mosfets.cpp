#include "compiler/mosfets.h"

#include <cctype>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

const MessageRow kMoMessageRows[] = {
    {kMsgSimilarModels, "%EMissing model statement '%s' L=%g W=%g. Found Similar Matches."},
};

constexpr char kMosInstanceTemplate[] =
    "<[M=%g][L=%t][W=%t][AD=%g][AS=%g][PD=%g][PS=%g][NRD=%g][NRS=%g][NRB=%g][NRG=%g][OFF%d][IC=%g[,%g[,%g]]]>";

// Parameter indices of the level 1-3 model table.
constexpr int kMosLevel = 0;
constexpr int kMosRd = 8;
constexpr int kMosRs = 9;
constexpr int kMosRsh = 17;
constexpr int kMosRg = 45;
constexpr int kMosRb = 46;
constexpr int kMosPolaritySlot = 60;

std::string mo_Take(char* text) {
    std::string result = text ? text : "";
    FreeString(&text);
    return result;
}

bool mo_IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The value of "L=" or "W=" in an instance text: the letter at the start or
// after white space, then white space or "=", one value field after "=".
bool mo_FindGeometry(const std::string& text, char letter, int scope, double* value) {
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != letter || (at > 0 && !mo_IsBlank(text[at - 1]))) continue;
        size_t next = at + 1;
        if (next < text.size() && !mo_IsBlank(text[next]) && text[next] != '=') continue;
        while (next < text.size() && mo_IsBlank(text[next])) ++next;
        if (next >= text.size() || text[next] != '=') continue;
        ++next;
        char* field = nullptr;
        ScanValueField(text.c_str() + next, scope, &field, true, false);
        const std::string copy = mo_Take(field);
        if (copy.empty()) return false;
        int error = 0;
        *value = EvaluateNumericText(copy.c_str(), &error, 0);
        return error == 0;
    }
    return false;
}

// The statement row of the part's model: a binned variant when the instance
// text gives L and W and one covers them, else the MODEL name itself (a
// missing model is reported). -1 after a report.
int mo_FindModelRow(CCTDoc* document, SchematicObject* part, const std::string& valueText) {
    const ComponentType* row = GetComponentType(part->definition->type);
    const int type = row ? row->modelType : -1;
    int error = 0;
    const std::string name = SubstitutedAttribute(part, kAttrModel, false, &error);
    if (error) {
        if (error != kResultShown && error != kResultPending)
            ReportCompilerMessage(part, PartScope(part), nullptr, error, "", "");
        return -1;
    }
    CircuitModels* models = GetCircuitModels(document);
    double l = 0, w = 0;
    if (mo_FindGeometry(valueText, 'L', PartScope(part), &l) && mo_FindGeometry(valueText, 'W', PartScope(part), &w)) {
        std::vector<std::string> similar;
        const int binned = FindPartBinnedModel(models, type, PartScope(part), name.c_str(), l, w, &similar);
        if (binned >= 0) return binned;
        ListBinnedVariantsInScope(models, type, PartScope(part), name.c_str(), &similar);
        if (!similar.empty()) {
            // Bins of that name exist but none holds this L and W: the name
            // itself may still be a model; otherwise the bins are listed.
            bool reported = false;
            const int row = FindModelByName(models, type, PartScope(part), name.c_str(), &reported);
            if (row >= 0 || reported) return row;
            std::string rows;
            for (const std::string& line : similar) rows += line + "\t\n";
            RecordPartLocation(part);
            ReportCompilerMessage(part, PartScope(part), rows.c_str(), kMsgSimilarModels, name.c_str(), l, w);
            return -1;
        }
    }
    return FindPartModelByName(models, type, PartScope(part), name.c_str());
}

bool mo_IsBuiltLevel(int modelType) { return modelType == kModelNmos || modelType == kModelPmos; }

// A new unnamed node when a resistance separates the terminal, else the pin's node.
int mo_InternalNode(const double* values, int resistance, double squares, int pinNode) {
    const bool separate = values[resistance] != 0 || values[kMosRsh] * squares != 0;
    return separate ? NewInternalNode() : pinNode;
}

}  // namespace

void RegisterMosfetSetupMessages() {
    RegisterMessages(kMoMessageRows, static_cast<int>(sizeof(kMoMessageRows) / sizeof(kMoMessageRows[0])));
}

int ScanMosInstance(MosfetRecord* record, const char* text) {
    SchematicObject* part = CurrentSetupPart;
    record->icGiven = text && std::string(text).find("IC") != std::string::npos ? 1 : 0;
    record->L.given = 0;
    record->W.given = 0;
    const int rc =
        ScanStatement(part, kMosInstanceTemplate, text ? text : "", &record->M, &record->L, &record->W, &record->AD,
                      &record->AS, &record->PD, &record->PS, &record->NRD, &record->NRS, &record->NRB, &record->NRG,
                      &record->off, &record->icVds, &record->icVgs, &record->icVbs);
    if (rc && part) RecordPartLocation(part);
    record->nominalL = record->L;
    record->nominalW = record->W;
    record->nominalAD = record->AD;
    record->nominalAS = record->AS;
    record->nominalPD = record->PD;
    record->nominalPS = record->PS;
    return rc;
}

int MosLevelStep(int componentType, MosfetRecord* record) {
    const double* values = record->model->Values;
    const double level = values[kMosLevel];
    record->level = IsUnsetValue(level) || !(std::fabs(level) < 1e6) ? 1 : static_cast<int32_t>(level);
    try {
        record->derived.assign(kMosDerivedCount, 0.0);
    } catch (const std::bad_alloc&) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const SchematicObject* part = CurrentSetupPart;
    record->gatePrime = mo_InternalNode(values, kMosRg, record->NRG, PartPin(part, 1));
    record->drainPrime = mo_InternalNode(values, kMosRd, record->NRD, PartPin(part, 0));
    record->sourcePrime = mo_InternalNode(values, kMosRs, record->NRS, PartPin(part, 2));
    record->bulkPrime = mo_InternalNode(values, kMosRb, record->NRB, PartPin(part, 3));
    record->model->Values[kMosPolaritySlot] = componentType == kTypeNmos ? 1.0 : -1.0;
    return 0;
}

int SetupMosfet(int componentType) {
    SchematicObject* part = CurrentSetupPart;
    CCTDoc* document = CurrentCircuitDocument();
    int error = 0;
    const std::string valueText = mo_Take(SubstitutePartValue(document, part, &error));
    if (error) return error;
    const int row = mo_FindModelRow(document, part, valueText);
    ModelRecord* model = row < 0 ? nullptr : FindModel(GetCircuitModels(document), row);
    if (!model || !model->Values) return kResultShown;
    // BSIM and EKV MOSFETs have no loads in this build: the compile stops
    // naming the part rather than running without it.
    if (!mo_IsBuiltLevel(model->ModelType)) {
        RecordPartLocation(part);
        return ReportCompilerMessage(part, PartScope(part), nullptr, kResultNotBuilt);
    }

    auto* record =
        DeviceLists()[kListMosfets].pool.AddNewConstructed<MosfetRecord>(DeviceListCreationKind[kListMosfets]);
    if (!record) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    record->ordinal = DeviceLists()[kListMosfets].pool.count;
    record->model = model;
    record->NRD = -1.0;
    record->NRS = -1.0;
    if (int rc = ScanMosInstance(record, valueText.c_str())) return rc;
    if (record->NRD < 0) record->NRD = 1.0;
    if (record->NRS < 0) record->NRS = 1.0;
    if (record->M <= 0) record->M = 1.0;
    if (int rc = MosLevelStep(componentType, record)) return rc;
    record->gate = PartPin(part, 1);
    record->drain = PartPin(part, 0);
    record->source = PartPin(part, 2);
    record->bulk = PartPin(part, 3);
    record->workingFactor = 1.0;
    record->mode = 1.0;
    return RegisterPartName(record, componentType, model, nullptr, part);
}
