#include "compiler/passives.h"

#include <strings.h>

#include <string>

#include "compiler/compiled.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/dialect.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/modeltypes.h"

namespace {

constexpr int kPsAttrCoupling = 22;
constexpr int kPsMsgMissingCoupling = 10806;
constexpr int kPsMsgUnknownIdentifier = 10847;
constexpr int kPsMsgExpectingToFollow = 11901;

bool ps_IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }
const char* ps_SkipBlanks(const char* text) {
    while (ps_IsBlank(*text)) ++text;
    return text;
}

// One SPICE word of a value text: a braced group taken whole, else the
// characters up to white space or "=".
std::string ps_ReadWord(const char*& cursor) {
    const char* start = cursor;
    if (*cursor == '{') {
        cursor = SkipBracketGroup(cursor, '{', '}');
    } else {
        while (*cursor && !ps_IsBlank(*cursor) && *cursor != '=') ++cursor;
    }
    return std::string(start, cursor);
}

int ps_Fail(SchematicObject* part, int id, const char* a = "", const char* b = "") {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, id, a, b);
}

// Evaluates a number field; shows the evaluator's code with the part.
int ps_Evaluate(SchematicObject* part, const std::string& text, double* out) {
    int status = 0;
    double value = EvaluateFieldValue(text.c_str(), &status);
    if (status) return ps_Fail(part, status, text.c_str());
    *out = value;
    return 0;
}

void ps_SetText(SchematicObject* part, int id, const std::string& text) {
    SetAttribute(CurrentCircuitDocument(), part, id, text.c_str());
}

int ps_ModelFor(SchematicObject* part, DeviceRecord* record, ModelRecord** model) {
    (void)record;
    *model = nullptr;
    if (!*GetAttributeText(part, kAttrModel)) return 0;
    *model = FindPartModelRecord(CurrentCircuitDocument(), part);
    return *model ? 0 : kResultShown;
}

}  // namespace

int ResolveSpiceValueAndModel(SchematicObject* part, int* status) {
    CCTDoc* document = CurrentCircuitDocument();
    auto find = [&](const std::string& word) {
        ps_SetText(part, kAttrModel, word);
        return FindPartAttributeModel(document, part, kAttrModel, status);
    };
    const bool spice3 = part->dialect == kSpiceDialect3;
    if (spice3 || part->dialect == kSpiceDialectAmbiguous) {
        const std::string value = GetAttributeText(part, kAttrValue);
        const char* cursor = ps_SkipBlanks(value.c_str());
        std::string word1 = ps_ReadWord(cursor), word2;
        const char* rest;
        cursor = ps_SkipBlanks(cursor);
        if (*cursor == '=') {
            word1.clear();
            rest = value.c_str();
        } else {
            const char* afterWord1 = cursor;
            word2 = ps_ReadWord(cursor);
            cursor = ps_SkipBlanks(cursor);
            if (*cursor == '=') {
                word2.clear();
                rest = afterWord1;
            } else {
                rest = cursor;
            }
        }
        rest = ps_SkipBlanks(rest);
        int m1 = -1, m2 = -1;
        if (spice3 && !word1.empty() && !word2.empty()) {
            m2 = find(word2);
        } else {
            if (!word1.empty()) m1 = find(word1);
            if (!word2.empty() && m1 < 0) m2 = find(word2);
        }
        std::string model, newValue;
        if (m1 >= 0) {
            model = word1;
            newValue = (word2.empty() ? "0" : word2) + " " + rest;
        } else if (m2 >= 0) {
            part->dialect = kSpiceDialect3;
            model = word2;
            newValue = word1 + " " + rest;
        } else if (word2.empty()) {
            if (part->dialect == kSpiceDialectAmbiguous && word1.empty()) part->dialect = kSpiceDialect3;
            newValue = (word1.empty() ? "0" : word1) + " " + rest;
        } else if (part->dialect != kSpiceDialect3 && document->dialect != kSpiceDialect3) {
            model = word1;
            newValue = word2 + " " + rest;
        } else {
            model = word2;
            newValue = word1 + " " + rest;
        }
        ps_SetText(part, kAttrModel, model);
        ps_SetText(part, kAttrValue, newValue);
    }
    if (part->dialect == kSpiceDialect3 && !*GetAttributeText(part, kAttrValue)) ps_SetText(part, kAttrValue, "0");

    const std::string model = GetAttributeText(part, kAttrModel);
    if (model.empty()) return -1;
    int lookup = 0;
    int row = FindPartAttributeModel(document, part, kAttrModel, &lookup);
    if (lookup) {
        *status = kResultShown;
        return -1;
    }
    if (row >= 0) return row;
    const std::string value = GetAttributeText(part, kAttrValue);
    const char* cursor = ps_SkipBlanks(value.c_str());
    ps_ReadWord(cursor);
    const bool valueTakesName =
        value.find_first_not_of(" \t\r\n") == std::string::npos || *ps_SkipBlanks(cursor) == '=';
    if ((part->dialect == kSpiceDialect3 || part->dialect == kSpiceDialectAmbiguous) && valueTakesName) {
        ps_SetText(part, kAttrValue, model + " " + value);
        ps_SetText(part, kAttrModel, "");
        return -1;
    }
    // Reports the missing model, naming it.
    if (!FindPartModelRecord(document, part)) *status = kResultShown;
    return -1;
}

int ParsePassiveValue(int kind, DeviceRecord* record, const PassiveValueFields& fields, ModelRecord* model) {
    SchematicObject* part = CurrentSetupPart;
    const ComponentType* type = GetComponentType(kind);
    int error = 0;
    const std::string text = SubstitutedAttribute(part, type ? type->attributeIds[0] : kAttrValue, true, &error);
    if (error) return error;
    int rc = RegisterPartName(record, kind, model, fields.principal, part);
    if (rc) return rc;

    const char* cursor = ps_SkipBlanks(text.c_str());
    char* field = nullptr;
    const int length = ScanValueField(cursor, PartScope(part), &field, true, false);
    if (!field) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    std::string valueText = field;
    FreeString(&field);
    AddTextItem(valueText.c_str(), fields.value);
    rc = AddAcFrequencyExpression(part, fields.frequency);
    if (rc) return rc;

    cursor = ps_SkipBlanks(cursor + length);
    const char* wordStart = cursor;
    while (*cursor && !ps_IsBlank(*cursor) && *cursor != '=') ++cursor;
    const std::string word(wordStart, cursor);
    if (fields.icGiven) *fields.icGiven = 0;
    if (word.empty()) return 0;
    cursor = ps_SkipBlanks(cursor);

    if (kind == kTypeResistor) {
        if (strcasecmp(word.c_str(), "TC") != 0) return ps_Fail(part, kPsMsgUnknownIdentifier, word.c_str());
        if (*cursor != '=') return ps_Fail(part, kPsMsgExpectingToFollow, "=", "TC");
        cursor = ps_SkipBlanks(cursor + 1);
        const int tcLength = ScanValueField(cursor, PartScope(part), nullptr, true, false);
        rc = ps_Evaluate(part, std::string(cursor, tcLength), fields.tc1);
        if (rc) return rc;
        *fields.tc1Given = 1;
        cursor = ps_SkipBlanks(cursor + tcLength);
        if (!*cursor) return 0;
        if (*cursor != ',') return ps_Fail(part, kPsMsgUnknownIdentifier, cursor);
        rc = ps_Evaluate(part, ps_SkipBlanks(cursor + 1), fields.tc2);
        if (rc) return rc;
        *fields.tc2Given = 1;
        return 0;
    }
    if ((kind == kTypeInductor || kind == kTypeCapacitor) && strcasecmp(word.c_str(), "IC") == 0) {
        if (*cursor != '=') return ps_Fail(part, kPsMsgExpectingToFollow, "=", "IC");
        *fields.icGiven = 1;
        return ps_Evaluate(part, ps_SkipBlanks(cursor + 1), fields.ic);
    }
    return ps_Fail(part, kPsMsgUnknownIdentifier, word.c_str());
}

namespace {

// Steps shared by resistors, capacitors and inductors once the record exists.
template <class Record>
int ps_FinishPassive(int kind, Record* record, SchematicObject* part, PassiveValueFields fields) {
    int status = 0;
    ResolveSpiceValueAndModel(part, &status);
    if (status) return status;
    ModelRecord* model = nullptr;
    int rc = ps_ModelFor(part, record, &model);
    if (rc) return rc;
    record->model = model;
    fields.value = &record->value;
    fields.frequency = &record->frequency;
    fields.principal = &record->working;
    return ParsePassiveValue(kind, record, fields, model);
}

}  // namespace

int SetupResistor() {
    SchematicObject* part = CurrentSetupPart;
    int status = 0;
    ResistorRecord* record = AddResistorDevice(PartPin(part, 0), PartPin(part, 1), 0.5, 1, &status);
    if (!record) return status;
    record->tc1 = record->tc2 = kUnsetValue;
    PassiveValueFields fields;
    fields.tc1 = &record->tc1;
    fields.tc1Given = &record->tc1Given;
    fields.tc2 = &record->tc2;
    fields.tc2Given = &record->tc2Given;
    return ps_FinishPassive(kTypeResistor, record, part, fields);
}

int SetupCapacitor() {
    SchematicObject* part = CurrentSetupPart;
    int status = 0;
    CapacitorRecord* record = AddCapacitorDevice(PartPin(part, 0), PartPin(part, 1), 1.0, &status);
    if (!record) return status;
    PassiveValueFields fields;
    fields.ic = &record->ic;
    fields.icGiven = &record->icGiven;
    return ps_FinishPassive(kTypeCapacitor, record, part, fields);
}

int SetupInductor() {
    SchematicObject* part = CurrentSetupPart;
    int status = 0;
    InductorRecord* record = AddInductorDevice(0.0, PartPin(part, 0), PartPin(part, 1), &status);
    if (!record) return status;
    record->part = part;
    PassiveValueFields fields;
    fields.ic = &record->ic;
    fields.icGiven = &record->icGiven;
    return ps_FinishPassive(kTypeInductor, record, part, fields);
}

int SetupCoupling() {
    SchematicObject* part = CurrentSetupPart;
    int status = 0;
    auto* record = DeviceLists()[kListInductorCouplings].pool.AddNewConstructed<InductorCouplingRecord>(
        DeviceListCreationKind[kListInductorCouplings]);
    if (!record) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    int error = 0;
    const std::string coupling = SubstitutedAttribute(part, kPsAttrCoupling, true, &error);
    if (error) return error;
    if (coupling.empty()) return ps_Fail(part, kPsMsgMissingCoupling);
    AddTextItem(coupling.c_str(), &record->coupling);
    ModelRecord* model = nullptr;
    status = ps_ModelFor(part, record, &model);
    if (status) return status;
    record->model = model;
    return RegisterPartName(record, kTypeK, model, nullptr, part);
}

namespace {

// Splits at the first comma outside parentheses: the field before it (trimmed)
// and, in *rest, the text after it ("" when there is no comma).
std::string ps_SplitField(const std::string& text, std::string* rest) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')') --depth;
        if (text[i] == ',' && depth <= 0) {
            *rest = text.substr(i + 1);
            return text.substr(0, i);
        }
    }
    rest->clear();
    return text;
}

std::string ps_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

int SetupTransformer() {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string value = SubstitutedAttribute(part, kAttrValue, true, &error);
    if (error) return error;
    const std::string rows = "Value:\t" + value + "\n";
    auto fail = [&](int id) {
        RecordPartLocation(part);
        return ReportCompilerMessage(part, PartScope(part), rows.c_str(), id, value.c_str());
    };
    std::string rest;
    const std::string first = ps_Trim(ps_SplitField(value, &rest));
    std::string afterSecond;
    const std::string second = ps_Trim(ps_SplitField(rest, &afterSecond));
    const std::string coupling = ps_Trim(afterSecond);
    double l1 = 0, l2 = 0;
    if (first.empty()) return fail(kResultMissingParam);
    int status = 0;
    l1 = EvaluateFieldValue(first.c_str(), &status);
    if (status) return fail(status);
    if (second.empty()) return fail(kResultMissingParam);
    l2 = EvaluateFieldValue(second.c_str(), &status);
    if (status) return fail(status);
    if (coupling.empty()) return fail(kResultMissingParam);

    InductorRecord* primary = AddInductorDevice(l1, PartPin(part, 2), PartPin(part, 3), &status);
    if (!primary) return status;
    InductorRecord* secondary = AddInductorDevice(l2, PartPin(part, 0), PartPin(part, 1), &status);
    if (!secondary) return status;
    auto* record = DeviceLists()[kListTransformerCouplings].pool.AddNewConstructed<TransformerCouplingRecord>(
        DeviceListCreationKind[kListTransformerCouplings]);
    if (!record) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    record->expressions = std::make_unique<DeviceExpression[]>(1);
    AddTextItem(coupling.c_str(), &record->expressions[0]);
    record->expressionCount = 1;
    record->primary = primary;
    record->secondary = secondary;
    record->coupling = 0.0;
    primary->coupling = secondary->coupling = record;
    CompiledCircuit* compiled = GetCompiledCircuit(CurrentCircuitDocument());
    if (!AddResistorDevice(PartPin(part, 2), PartPin(part, 0), compiled ? compiled->maxResistance : 1e12, 0, &status))
        return status;
    return RegisterPartName(record, kTypeTransformer, nullptr, nullptr, part);
}
