#include "compiler/spicedevices.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr int kSdMsgMissingNodes = 10908;
constexpr int kSdMsgExpecting = 11900;
constexpr int kSdAttrInductors = 21;
constexpr int kSdAttrCoupling = 22;
// Component types of the generic device letters without a name of their own.
constexpr int kSdTypeNjfet = 25;
constexpr int kSdTypeNpn4 = 36;
constexpr int kSdTypePnp4 = 38;
constexpr int kSdTypeFIofI = 51;
constexpr int kSdTypeVSwitch = 115;

bool sd_IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }

const char* sd_SkipBlanks(const char* p) {
    while (sd_IsBlank(*p)) ++p;
    return p;
}

// The next item of a device line: a braced or parenthesised group whole, a
// bracketed node name, a run of word characters, or one other mark. Empty at
// the end of the statement.
std::string sd_NextItem(const char*& cursor) {
    const char* p = sd_SkipBlanks(cursor);
    const char* start = p;
    if (*p == '{' || *p == '(') {
        p = SkipBracketGroup(p, *p, *p == '{' ? '}' : ')');
    } else if (*p == '[') {
        while (*p && !sd_IsBlank(*p) && *p != ']') ++p;
        if (*p == ']') ++p;
    } else if (IsSpiceWordChar(*p)) {
        while (IsSpiceWordChar(*p)) ++p;
    } else if (*p) {
        ++p;
    }
    cursor = p;
    return std::string(start, p);
}

bool sd_IsWordOrGroup(const std::string& item) { return !item.empty() && (IsSpiceWordChar(item[0]) || item[0] == '{'); }

std::string sd_Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A message about a part shows the statement the part comes from.
int sd_PartMessage(SpiceStatementContext& context, SchematicObject* part, int id, const char* argument) {
    SpiceReaderState* reader = GetSpiceReader(context.document);
    const char* statement = reader ? reader->statement.c_str() : "";
    return ReportSpiceStatementMessage(context, statement, id, argument, part);
}

bool sd_NameOutsideIndexAlphabet(const std::string& name) {
    for (char c : name)
        if (NameAlphabetIndex(c) < 0) return true;
    return false;
}

// Up to `count` node words at the cursor; a mark that cannot be a node ends
// them early (the cursor stays before it).
std::vector<std::string> sd_ReadNodeWords(const char*& cursor, int count) {
    std::vector<std::string> words;
    for (int pin = 0; pin < count; ++pin) {
        const char* before = cursor;
        std::string word = sd_NextItem(cursor);
        if (word.empty() || (!IsSpiceWordChar(word[0]) && word[0] != '[')) {
            cursor = before;
            break;
        }
        words.push_back(std::move(word));
    }
    return words;
}

// The part of a device line with its name and node words already read; a
// missing node is reported after the part is made, naming it.
int sd_MakePartWithNodes(SpiceStatementContext& context, const std::string& name, const std::vector<std::string>& nodes,
                         int componentType, int nodeCount, SchematicObject** out) {
    SchematicObject* part = nullptr;
    int rc = CreateSpicePart(context, name, componentType, &part);
    if (rc) return rc;
    for (int pin = 0; pin < nodeCount; ++pin) {
        rc = AssignPinNode(context, part, pin < static_cast<int>(nodes.size()) ? nodes[static_cast<size_t>(pin)] : "",
                           pin);
        if (rc) return rc;
    }
    *out = part;
    return 0;
}

// The name, the part and its nodes of a device line; `cursor` ends after the
// last node word.
int sd_ReadPartAndNodes(SpiceStatementContext& context, const char* statement, int componentType, int nodeCount,
                        const char*& cursor, SchematicObject** out) {
    cursor = statement;
    const std::string name = sd_NextItem(cursor);
    const std::vector<std::string> nodes = sd_ReadNodeWords(cursor, nodeCount);
    return sd_MakePartWithNodes(context, name, nodes, componentType, nodeCount, out);
}

bool sd_AllDigits(const std::string& word) {
    if (word.empty()) return false;
    for (char c : word)
        if (c < '0' || c > '9') return false;
    return true;
}

// The component type and node count of a generic device letter; false for
// letters that are not generic devices.
bool sd_GenericDeviceType(char letter, int* type, int* nodeCount) {
    struct Row {
        char letter;
        int type;
        int nodes;
    };
    static constexpr Row kRows[] = {
        {'D', kTypeDiode, 2},   {'F', kSdTypeFIofI, 2}, {'H', kTypeHVofI, 2}, {'I', kTypeISpice, 2},
        {'J', kSdTypeNjfet, 3}, {'M', kTypeNmos, 4},    {'Q', kTypeNpn, 3},   {'S', kSdTypeVSwitch, 4},
        {'V', kTypeVSpice, 2},  {'Z', kTypeGaAsFet, 3},
    };
    for (const Row& row : kRows)
        if (row.letter == letter) {
            *type = row.type;
            *nodeCount = row.nodes;
            return true;
        }
    return false;
}

// A SPICE line cannot tell an N from a P device: these types wait for their
// model after the read.
bool sd_PolarityFromModel(int type) {
    return type == kTypeNpn || type == kTypeNmos || type == kSdTypeNjfet || type == kSdTypeNpn4;
}

}  // namespace

std::string NextDeviceLineItem(const char*& cursor) { return sd_NextItem(cursor); }

// ---- definitions and parts ---------------------------------------------------------------------------

ComponentDef* GetComponentDefForType(CCTDoc* document, int componentType) {
    SpiceReaderState* reader = GetSpiceReader(document);
    const ComponentType* row = GetComponentType(componentType);
    if (!reader || !row) return nullptr;
    for (const std::unique_ptr<ComponentDef>& definition : reader->definitions)
        if (definition->type == componentType) return definition.get();
    auto definition = std::make_unique<ComponentDef>();
    definition->type = componentType;
    definition->mask |= kDefPurgeMark;
    const std::string name = std::string(row->prefix) + std::to_string(reader->definitionCounter++) + "$";
    definition->SetName(name.c_str());
    if (row->pinCount > 0 && definition->ResizePins(row->pinCount)) return nullptr;
    reader->definitions.push_back(std::move(definition));
    return reader->definitions.back().get();
}

int CreateSpicePart(SpiceStatementContext& context, const std::string& name, int componentType, SchematicObject** out) {
    *out = nullptr;
    CCTDoc* document = context.document;
    SpiceReaderState* reader = GetSpiceReader(document);
    if (!reader) return kResultNoMemory;
    ComponentDef* definition = GetComponentDefForType(document, componentType);
    if (!definition) return kResultNoMemory;
    SchematicObject* part = document->NewSchematicObject();
    if (!part) return kResultNoMemory;
    part->objectKind = kObjectComponent;
    part->definition = definition;
    part->page = context.page;
    part->level = static_cast<int16_t>(context.scope);
    part->dialect = context.dialect;
    const int pins = definition->pinCount > 0 ? definition->pinCount : 0;
    part->pinNodes = static_cast<int32_t*>(MemAllocZero(sizeof(int32_t) * static_cast<size_t>(pins + 1)));
    if (!part->pinNodes) return kResultNoMemory;
    part->pinCount = pins;
    if (!SetAttribute(document, part, kAttrPart, name.c_str())) return kResultNoMemory;
    if (sd_PolarityFromModel(componentType)) reader->partPolarityPending = true;
    *out = part;
    return 0;
}

// ---- nodes -------------------------------------------------------------------------------------------

int AssignNode(SpiceStatementContext& context, const std::string& word, int* node) {
    CCTDoc* document = context.document;
    CompileSession* session = GetCompileSession(document);
    SpiceReaderState* reader = GetSpiceReader(document);
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!session || !reader || !compiled) return kResultNoMemory;
    std::string name = word;
    if (!name.empty() && name[0] == '[') {
        if (name.back() != ']') return sd_PartMessage(context, nullptr, kSdMsgExpecting, "]");
        name = name.substr(1, name.size() - 2);
    }
    std::vector<NodeNameEntry>& names = document->build.nodeNames;
    if (names.empty()) {
        names.push_back({"0", 0, -1, 1});
        if (int rc = session->nodes.Insert("0", 0)) return rc;
    }
    if (name == "0") {
        compiled->groundSeen = true;
        *node = 0;
        return 0;
    }
    const std::string upper = sd_Upper(name);
    const bool global = upper.compare(0, 3, "$G_") == 0 || upper == "$D_HI" || upper == "$D_LO" || upper == "$D_X";
    std::string qualified = upper;
    if (!global) {
        char* text = QualifyName(&session->defines, name.c_str(), context.scope);
        if (!text) return kResultNoMemory;
        qualified = text;
        FreeString(&text);
    }
    if (upper != "$D_NC") {
        int index = session->nodes.Find(qualified.c_str());
        if (index < 0 && sd_NameOutsideIndexAlphabet(qualified))
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i].name == qualified) index = static_cast<int>(i);
        if (index >= 0 && static_cast<size_t>(index) < names.size()) {
            *node = names[static_cast<size_t>(index)].node;
            return 0;
        }
    }
    const int number = ++reader->largestNode;
    names.push_back({qualified, number, static_cast<int16_t>(global ? 1 : context.scope), 0});
    if (int rc = session->nodes.Insert(qualified.c_str(), static_cast<int>(names.size() - 1))) return rc;
    if (number > compiled->analogNodeCount) compiled->analogNodeCount = number;
    if (number > document->build.highestNode) document->build.highestNode = number;
    *node = number;
    return 0;
}

int AssignPinNode(SpiceStatementContext& context, SchematicObject* part, const std::string& word, int pin) {
    if (word.empty()) {
        const char* name = GetAttributeText(part, kAttrPart);
        return sd_PartMessage(context, part, kSdMsgMissingNodes, name);
    }
    int node = 0;
    const int rc = AssignNode(context, word, &node);
    if (rc) return rc;
    if (pin >= 0 && pin < part->pinCount) part->pinNodes[pin] = node;
    return 0;
}

// ---- value texts ------------------------------------------------------------------------------------

void SetDeviceValueText(CCTDoc* document, SchematicObject* part, const char* rest, int componentType) {
    const ComponentType* row = GetComponentType(componentType);
    const int attribute = row && row->attributeIds[0] ? row->attributeIds[0] : kAttrValue;
    const char* p = sd_SkipBlanks(rest ? rest : "");
    std::string value;
    const bool spice3 = part->dialect == kSpiceDialect3;
    for (const char* c = p; *c; ++c) {
        if (*c == '^') {
            value += "**";
            continue;
        }
        if (!spice3 && CompareNoCaseN(c, "LOG", 3) == 0) {
            const char before = c == p ? 0 : c[-1];
            const char* after = sd_SkipBlanks(c + 3);
            if (*after == '(' && !std::isalnum(static_cast<unsigned char>(before)) && before != '_') {
                value += "LN";
                c += 2;
                continue;
            }
        }
        value += *c;
    }
    SetAttribute(document, part, attribute, value.c_str());
}

// ---- letter handlers ---------------------------------------------------------------------------------

int ReadValueDeviceLine(SpiceStatementContext& context, char* statement) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*sd_SkipBlanks(statement))));
    const int type = letter == 'R' ? kTypeResistor : letter == 'C' ? kTypeCapacitor : kTypeInductor;
    const char* cursor = nullptr;
    SchematicObject* part = nullptr;
    int rc = sd_ReadPartAndNodes(context, statement, type, 2, cursor, &part);
    if (rc) return rc;
    const char* rest = sd_SkipBlanks(cursor);
    // "R1 1 2 R=1K", "C1 1 0 C=1N": the value named by the device's own
    // letter (or its long name) is the value.
    for (const char* keyword : {letter == 'R' ? "RESISTANCE" : letter == 'C' ? "CAPACITANCE" : "INDUCTANCE",
                                letter == 'R' ? "R" : letter == 'C' ? "C" : "L"}) {
        const size_t n = std::strlen(keyword);
        if (CompareNoCaseN(rest, keyword, n) != 0) continue;
        const char* after = sd_SkipBlanks(rest + n);
        if (*after != '=') continue;
        rest = sd_SkipBlanks(after + 1);
        break;
    }
    // SPICE3 writes the value before an optional model; the set-up sorts them out.
    if (part->dialect == kSpiceDialect3 || part->dialect == kSpiceDialectAmbiguous) {
        std::string value = rest;
        while (!value.empty() && sd_IsBlank(value.back())) value.pop_back();
        SetAttribute(context.document, part, kAttrValue, value.c_str());
        return 0;
    }
    const char* p = rest;
    const std::string first = sd_NextItem(p);
    const char* afterFirst = p;
    if (sd_IsWordOrGroup(first) && *sd_SkipBlanks(afterFirst) != '=') {
        const char* q = afterFirst;
        const std::string second = sd_NextItem(q);
        if (sd_IsWordOrGroup(second) && *sd_SkipBlanks(q) != '=') {
            SetAttribute(context.document, part, kAttrModel, first.c_str());
            SetDeviceValueText(context.document, part, afterFirst, type);
            return 0;
        }
    }
    SetDeviceValueText(context.document, part, rest, type);
    return 0;
}

int ReadSourceLine(SpiceStatementContext& context, char* statement) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*sd_SkipBlanks(statement))));
    const int type = letter == 'V' ? kTypeVSpice : kTypeISpice;
    const char* cursor = nullptr;
    SchematicObject* part = nullptr;
    const int rc = sd_ReadPartAndNodes(context, statement, type, 2, cursor, &part);
    if (rc) return rc;
    SetDeviceValueText(context.document, part, cursor, type);
    return 0;
}

int ReadCouplingLine(SpiceStatementContext& context, char* statement) {
    const char* cursor = nullptr;
    SchematicObject* part = nullptr;
    const int rc = sd_ReadPartAndNodes(context, statement, kTypeK, 0, cursor, &part);
    if (rc) return rc;
    std::string inductors;
    for (;;) {
        const char* before = cursor;
        const std::string word = sd_NextItem(cursor);
        if (word.empty() || word[0] != 'L' || !IsSpiceWordChar(word[0])) {
            cursor = before;
            break;
        }
        inductors += word;
        inductors += ' ';
    }
    while (!inductors.empty() && inductors.back() == ' ') inductors.pop_back();
    SetAttribute(context.document, part, kSdAttrInductors, inductors.c_str());
    const std::string coupling = sd_NextItem(cursor);
    SetAttribute(context.document, part, kSdAttrCoupling, coupling.c_str());
    const std::string model = sd_NextItem(cursor);
    if (!model.empty()) SetAttribute(context.document, part, kAttrModel, model.c_str());
    return 0;
}

int ReadGenericDeviceLine(SpiceStatementContext& context, char* statement) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*sd_SkipBlanks(statement))));
    int type = 0;
    int nodeCount = 0;
    if (!sd_GenericDeviceType(letter, &type, &nodeCount)) return ReadUnsupportedDeviceLine(context, statement);
    const char* cursor = statement;
    const std::string name = sd_NextItem(cursor);
    std::vector<std::string> nodes = sd_ReadNodeWords(cursor, nodeCount);
    if (type == kTypeNpn && nodes.size() == 3) {
        // A bracketed node, or a number with the model still to come, is the substrate.
        const char* before = cursor;
        const std::string item = sd_NextItem(cursor);
        const bool bracketed = item.size() > 2 && item.front() == '[' && item.back() == ']';
        if (bracketed || (sd_AllDigits(item) && *sd_SkipBlanks(cursor))) {
            type = kSdTypeNpn4;
            nodeCount = 4;
            nodes.push_back(item);
        } else {
            cursor = before;
        }
    }
    SchematicObject* part = nullptr;
    int rc = sd_MakePartWithNodes(context, name, nodes, type, nodeCount, &part);
    if (rc) return rc;
    const ComponentType* row = GetComponentType(type);
    if (row && row->modelType != -1 && !(row->digitalFlags & kDigPassiveValue)) {
        const char* before = cursor;
        const std::string model = sd_NextItem(cursor);
        if (sd_IsWordOrGroup(model))
            SetAttribute(context.document, part, kAttrModel, model.c_str());
        else
            cursor = before;
    }
    SetDeviceValueText(context.document, part, cursor, type);
    return 0;
}

namespace {

// The model types that can serve a part read as an N-type device.
std::vector<int> sd_FittingModelTypes(int componentType) {
    switch (componentType) {
    case kTypeNpn:
    case kSdTypeNpn4: return {kModelNpn, kModelPnp, kModelLpnp};
    case kSdTypeNjfet: return {kModelNjf, kModelPjf};
    case kTypeNmos: return {kModelNmos, kModelPmos};
    default: return {};
    }
}

// The type the part becomes for its model statement's type.
int sd_TypeForModel(int partType, int modelType) {
    const ModelTypeInfo* info = GetModelTypeInfo(modelType);
    const int representative = info ? info->ComponentTypeIndex : 0;
    if (partType == kSdTypeNpn4) return representative == kTypeNpn ? kSdTypeNpn4 : kSdTypePnp4;
    return representative > 0 ? representative : partType;
}

// The part's statement among the circuit's .MODEL statements visible from
// its scope, of a fitting type; -1 when none.
int sd_MatchingStatement(CircuitModels* models, int partType, int scope, const char* name) {
    for (int type : sd_FittingModelTypes(partType)) {
        const int row = models->ModelStatements.FindInScope(type, scope, name);
        if (row >= 0) return row;
    }
    return -1;
}

}  // namespace

int ResolvePartPolarities(CCTDoc* document, int fromScope) {
    CircuitModels* models = GetCircuitModels(document);
    if (!models) return kResultNoMemory;
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        // Parts of subcircuit bodies too, each looked up from its own scope: a
        // PMOS or PNP inside a .SUBCKT is P-type as much as one outside.
        const int scope = part->level;
        if (!part->IsComponent() || !part->definition || scope < fromScope) continue;
        const int type = part->definition->type;
        if (!sd_PolarityFromModel(type) || !HasModelType(type)) continue;
        const std::string name = sd_Upper(GetAttributeText(part, kAttrModel));
        if (name.empty()) continue;
        int row = sd_MatchingStatement(models, type, scope, name.c_str());
        if (row < 0) {
            // A library model of the P type comes into the circuit's statements;
            // anything else leaves the part N-type for its set-up to find.
            const int pType = type == kTypeNmos ? kModelPmos : type == kSdTypeNjfet ? kModelPjf : kModelPnp;
            bool reported = false;
            if (FindModelByName(models, pType, scope, name.c_str(), &reported) < 0) {
                if (reported) return kResultShown;
                continue;
            }
            row = sd_MatchingStatement(models, type, scope, name.c_str());
            if (row < 0) continue;
        }
        const ModelStatement* statement = models->ModelStatements.At(row);
        if (!statement) continue;
        const int newType = sd_TypeForModel(type, statement->Type);
        if (newType == type) continue;
        ComponentDef* definition = GetComponentDefForType(document, newType);
        if (!definition) return kResultNoMemory;
        part->definition = definition;
    }
    return 0;
}

int ReadUnsupportedDeviceLine(SpiceStatementContext& context, char* statement) {
    const char* cursor = statement;
    const std::string name = sd_NextItem(cursor);
    return ReportSpiceStatementMessage(context, statement, kResultNotBuilt, name.c_str());
}
