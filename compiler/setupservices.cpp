#include "compiler/setupservices.h"

#include <cstring>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr int kSsMsgMustSpecifyPartName = 10841;

CompiledCircuit* ss_Compiled() { return GetCompiledCircuit(CurrentCircuitDocument()); }

template <class T>
T* ss_AddRecord(int list, int* status) {
    T* record = DeviceLists()[list].pool.AddNewConstructed<T>(DeviceListCreationKind[list]);
    if (!record) {
        ReportCompileOutOfMemory();
        if (status) *status = kResultShown;
    }
    return record;
}

int ss_ModelTypeOf(const SchematicObject* part) {
    const ComponentType* row = part && part->definition ? GetComponentType(part->definition->type) : nullptr;
    return row ? row->modelType : -1;
}

// The text with its heap copy released.
std::string ss_Take(char* text) {
    std::string result = text ? text : "";
    FreeString(&text);
    return result;
}

}  // namespace

// ---- records the compiler adds -----------------------------------------------------------------

ResistorRecord* AddResistorDevice(int node1, int node2, double value, int noise, int* status) {
    auto* record = ss_AddRecord<ResistorRecord>(kListResistors, status);
    if (!record) return nullptr;
    record->node1 = node1;
    record->node2 = node2;
    record->initialValue = record->working = record->nominal = value;
    record->noise = noise;
    return record;
}

CapacitorRecord* AddCapacitorDevice(int node1, int node2, double value, int* status) {
    auto* record = ss_AddRecord<CapacitorRecord>(kListCapacitors, status);
    if (!record) return nullptr;
    record->node1 = node1;
    record->node2 = node2;
    record->initialValue = record->working = record->nominal = value;
    if (CompiledCircuit* compiled = ss_Compiled()) record->index = compiled->capacitorCount++;
    return record;
}

SourceRecord* AddSourceDevice(int node1, int node2, int sourceKind, double value, int* status) {
    auto* record = ss_AddRecord<SourceRecord>(kListSpiceSources, status);
    if (!record) return nullptr;
    record->node1 = node1;
    record->node2 = node2;
    record->sourceKind = sourceKind;
    record->dcValue = record->working = value;
    record->values[kSourceFieldDc] = record->nominal[kSourceFieldDc] = value;
    for (ToleranceSpec& tolerance : record->tolerances) tolerance.Init();
    record->lastParameter = -1;
    record->timeScale = record->valueScale = 1.0;
    return record;
}

InductorRecord* AddInductorDevice(double value, int node1, int node2, int* status) {
    auto* record = ss_AddRecord<InductorRecord>(kListInductors, status);
    if (!record) return nullptr;
    record->node1 = node1;
    record->node2 = node2;
    record->initialValue = record->working = record->nominal = value;
    if (CompiledCircuit* compiled = ss_Compiled()) record->index = compiled->inductorCount++;
    return record;
}

int AddTextItem(const char* text, DeviceExpression* expression) {
    if (!expression) return kResultNoMemory;
    expression->pendingText = text ? text : "";
    return 0;
}

// ---- registration --------------------------------------------------------------------------------

int RegisterPartName(DeviceRecord* record, int kind, ModelRecord* model, double* value, SchematicObject* part) {
    CCTDoc* document = CurrentCircuitDocument();
    CompileSession* session = GetCompileSession(document);
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!part || !session || !compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    PartLink& link = compiled->partLinks[part];
    if (record) {
        record->part = part;
        link.record = record;
    }
    const std::string name = ss_Take(GetAttributeTextUpper(part, kAttrPart));
    if (name.empty()) {
        RecordPartLocation(part);
        return ReportCompilerMessage(part, PartScope(part), nullptr, kSsMsgMustSpecifyPartName);
    }
    if (CheckPartName(document, name.c_str(), PartScope(part),
                      kCheckDuplicate | kCheckCharacters | kCheckReport | kCheckNoReserved, part))
        return kResultShown;
    link.model = model;
    link.value = value;
    link.deviceKind = kind;
    link.qualifiedName = ss_Take(GetQualifiedPartName(part));
    if (link.qualifiedName.empty()) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    int rc = session->parts.Insert(link.qualifiedName.c_str(), part);
    if (rc || !record) return rc;

    const char* power = GetAttributeText(part, kAttrPower);
    if (*power) {
        int error = 0;
        record->powerRating = EvaluateNumericText(power, &error, 0);
        if (error) {
            RecordPartLocation(part);
            return ReportCompilerMessage(part, PartScope(part), nullptr, error, power, "");
        }
    } else {
        record->powerRating = kind == kTypeDiode ? 1.0 : 0.1;
    }
    return 0;
}

// ---- pins, models, nodes -----------------------------------------------------------------------

int PartPin(const SchematicObject* part, int index) {
    if (!part || !part->pinNodes || index < 0 || index >= part->pinCount) return 0;
    return part->pinNodes[index];
}

void LoadPartPins(const SchematicObject* part, int pins[4]) {
    for (int i = 0; i < 4; ++i) pins[i] = PartPin(part, i);
}

int FindPartAttributeModel(CCTDoc* document, SchematicObject* part, int attributeId, int* status) {
    int error = 0;
    const std::string text = SubstitutedAttribute(part, attributeId, false, &error);
    if (error) {
        if (error != kResultShown && error != kResultPending)
            ReportCompilerMessage(part, PartScope(part), nullptr, error, "", "");
        if (status) *status = kResultShown;
        return -1;
    }
    if (text.empty()) return -1;
    bool reported = false;
    int row =
        FindModelByName(GetCircuitModels(document), ss_ModelTypeOf(part), PartScope(part), text.c_str(), &reported);
    if (reported && status) *status = kResultShown;
    return row;
}

ModelRecord* FindPartModelRecord(CCTDoc* document, SchematicObject* part) {
    int error = 0;
    const std::string text = SubstitutedAttribute(part, kAttrModel, false, &error);
    if (error) return nullptr;
    CircuitModels* models = GetCircuitModels(document);
    int row = FindPartModelByName(models, ss_ModelTypeOf(part), PartScope(part), text.c_str());
    return row < 0 ? nullptr : FindModel(models, row);
}

ModelRecord* FindBipolarModelRecord(CCTDoc* document, SchematicObject* part) {
    const int type = ss_ModelTypeOf(part);
    if (type == kModelPnp || type == kModelLpnp) {
        int error = 0;
        std::string name = SubstitutedAttribute(part, kAttrModel, false, &error);
        if (error) return nullptr;
        if (!name.empty()) name = TrimWhitespace(&name[0]);
        CircuitModels* models = GetCircuitModels(document);
        bool reported = false;
        int row = FindModelByName(models, type, PartScope(part), name.c_str(), &reported);
        if (row < 0 && !reported) row = FindModelByName(models, kModelNpn, PartScope(part), name.c_str(), &reported);
        if (reported) return nullptr;
        if (row >= 0) return FindModel(models, row);
    }
    // Nothing under either type: the ordinary lookup reports the part's own.
    return FindPartModelRecord(document, part);
}

ModelRecord* DefaultModelRecord(CCTDoc* document, int modelType) {
    return ResolveAko(GetCircuitModels(document), modelType, -1, false, true);
}

namespace {

// The index of a named numeric parameter of the model's type, -1 when none.
int ss_ParameterIndex(const ModelRecord* model, const char* name) {
    if (!model || !model->Values) return -1;
    for (int i = 0; i < ModelParamCount(model->ModelType); ++i) {
        const ModelParamInfo* info = GetModelParamInfo(model->ModelType, i);
        if (info && info->Kind == kParamNumber && strcasecmp(info->Name, name) == 0) return i;
    }
    return -1;
}

}  // namespace

double ModelParameter(const ModelRecord* model, const char* name) {
    const int index = ss_ParameterIndex(model, name);
    return index < 0 ? 0 : model->Values[index];
}

bool SetModelParameter(ModelRecord* model, const char* name, double value) {
    const int index = ss_ParameterIndex(model, name);
    if (index < 0) return false;
    model->Values[index] = value;
    if (model->Nominal) model->Nominal[index] = value;
    return true;
}

int NewInternalNode() {
    CompiledCircuit* compiled = ss_Compiled();
    return compiled ? ++compiled->analogNodeCount : 0;
}

int NameInternalNode(SchematicObject* part, const char* suffix, int node) {
    CCTDoc* document = CurrentCircuitDocument();
    CompileSession* session = GetCompileSession(document);
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!session || !compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const std::string base = std::string(GetAttributeText(part, kAttrPart)) + suffix;
    auto qualify = [&](const std::string& name) {
        return ss_Take(QualifyName(&session->defines, name.c_str(), PartScope(part)));
    };
    std::string name = base;
    std::string qualified = qualify(name);
    for (int n = 1; session->nodes.Find(qualified.c_str()) >= 0; ++n) {
        name = base + "_" + std::to_string(n);
        qualified = qualify(name);
    }
    // The index maps a name to its entry of the document's node-name table.
    std::vector<NodeNameEntry>& table = document->build.nodeNames;
    table.push_back({qualified, node, static_cast<int16_t>(PartScope(part)), 0});
    int rc = session->nodes.Insert(qualified.c_str(), static_cast<int>(table.size() - 1));
    if (rc) return rc;
    compiled->internalNodeNames[node] = name;
    return 0;
}

int MakeNamedInternalNode(double value, int defaultNode, const char* suffix) {
    if (value == 0) return defaultNode;
    int node = NewInternalNode();
    NameInternalNode(CurrentSetupPart, suffix, node);
    return node;
}

std::string InternalNodeName(CCTDoc* document, int node) {
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return "";
    auto it = compiled->internalNodeNames.find(node);
    return it == compiled->internalNodeNames.end() ? "" : it->second;
}

// ---- texts -----------------------------------------------------------------------------------------

std::string SubstitutedAttribute(SchematicObject* part, int attributeId, bool numeric, int* error) {
    DefineTable* table = GetDefineTable(CurrentCircuitDocument());
    int rc = 0;
    std::string text = ss_Take(SubstituteAttribute(table, part, attributeId, &rc, numeric));
    if (error) *error = rc;
    return rc ? std::string() : text;
}

int AddAcFrequencyExpression(SchematicObject* part, DeviceExpression* expression) {
    if (gSolver.AnalysisKind != 1 || !*GetAttributeText(part, kAttrFreq)) return 0;
    int error = 0;
    const std::string text = SubstitutedAttribute(part, kAttrFreq, true, &error);
    if (error) return error;
    if (!text.empty()) expression->pendingText = text;
    return 0;
}

int ReportExtraText(SchematicObject* part, const char* text) {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, 11903, text);
}
