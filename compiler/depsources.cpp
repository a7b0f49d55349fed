#include "compiler/depsources.h"

#include <algorithm>

#include <cctype>
#include <cstring>
#include <string>

#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/setupservices.h"
#include "compiler/spicedevices.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "expr/devicelist.h"

namespace {

enum DepMessage : int {
    kDsMsgBadControlNode = 10791,
    kDsMsgTooManyDimensions = 10792,
    kDsMsgMissingControlNode = 10793,
    kDsMsgBadLabel = 10794,
    kDsMsgTooManyCoefficients = 10795,
    kDsMsgBracesRequired = 10798,
    kDsMsgSourceNotFound = 10799,
    kDsMsgChebyshev = 10902,
    kDsMsgExpecting = 11900,
    kDsMsgExtraText = 11903,
};

// clang-format off
const MessageRow kDsMessageRows[] = {
    {10791, "%EBad controlling node '%s' in source."},
    {10792, "%EToo many dimensions in source."},
    {10793, "%EMissing controlling node in source."},
    {10794, "%EBad label or too few labels in source."},
    {10795, "%EToo many coefficients in source."},
    {10798, "%EExpressions used in poly coefficients require curly brackets '{' '}'."},
    {10902, "%ETarnwick does not support CHEBYSHEV."},
};
// clang-format on

constexpr int kDsTypeIofV = 26;
constexpr int kDsTypeVofI = 29;
constexpr int kDsTypeNfi = 35;
constexpr int kDsTypeNfv = 37;
constexpr int kDsTypeGIofV = 50;
constexpr int kDsTypeFIofI = 51;
constexpr int kDsTypeEVofV = 52;
constexpr int kDsTypeHVofI = 53;
constexpr int kDsMaxDimension = 99;
constexpr int kDsMaxCoefficients = 100;
constexpr int kDsAttrKeyword = 34;
constexpr int kDsAttrRef = 27;

bool ds_IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }
const char* ds_SkipBlanks(const char* p) {
    while (ds_IsBlank(*p)) ++p;
    return p;
}

// ---- device-line items ----------------------------------------------------------------

bool ds_IsNodeWord(const std::string& item) { return !item.empty() && (IsSpiceWordChar(item[0]) || item[0] == '['); }

int ds_LineMessage(SpiceStatementContext& context, SchematicObject* part, int id, const char* argument) {
    SpiceReaderState* reader = GetSpiceReader(context.document);
    const char* statement = reader ? reader->statement.c_str() : "";
    return ReportSpiceStatementMessage(context, statement, id, argument, part);
}

// The name and `count` node words of a line; `cursor` ends after them.
struct ds_LineHead {
    std::string name;
    std::string nodes[4];
};
void ds_ReadHead(const char* statement, int count, const char*& cursor, ds_LineHead* head) {
    cursor = statement;
    head->name = NextDeviceLineItem(cursor);
    for (int i = 0; i < count; ++i) {
        const char* before = cursor;
        std::string word = NextDeviceLineItem(cursor);
        if (!ds_IsNodeWord(word)) {
            cursor = before;
            word.clear();
        }
        head->nodes[i] = word;
    }
}

// Makes the part and binds the head's first `count` nodes to its pins.
int ds_MakePart(SpiceStatementContext& context, const ds_LineHead& head, int type, int count, SchematicObject** out) {
    int rc = CreateSpicePart(context, head.name, type, out);
    if (rc) return rc;
    for (int pin = 0; pin < count; ++pin) {
        rc = AssignPinNode(context, *out, head.nodes[pin], pin);
        if (rc) return rc;
    }
    return 0;
}

// "=" after a keyword; the cursor passes it.
int ds_ExpectEquals(SpiceStatementContext& context, SchematicObject* part, const char*& cursor) {
    const char* p = ds_SkipBlanks(cursor);
    if (*p != '=') return ds_LineMessage(context, part, kDsMsgExpecting, "=");
    cursor = p + 1;
    return 0;
}

// The node words of an input {V(n1)} or {V(n1,n2)}, when the group has that form.
bool ds_SimpleVoltageInput(const std::string& group, std::string* n1, std::string* n2) {
    std::string inner;
    for (char c : group)
        if (!ds_IsBlank(c)) inner += c;
    if (inner.size() < 6 || inner.compare(0, 3, "{V(") != 0 || inner.compare(inner.size() - 2, 2, ")}") != 0)
        return false;
    const std::string args = inner.substr(3, inner.size() - 5);
    const size_t comma = args.find(',');
    *n1 = args.substr(0, comma);
    *n2 = comma == std::string::npos ? "0" : args.substr(comma + 1);
    auto plain = [](const std::string& word) {
        if (word.empty()) return false;
        for (char c : word)
            if (!IsSpiceWordChar(c)) return false;
        return true;
    };
    return plain(*n1) && plain(*n2) && n2->find(',') == std::string::npos;
}

// The TABLE, LAPLACE and FREQ forms: the input expression binds the control
// pins, directly or through an auxiliary VALUE source.
int ds_ReadInputForm(SpiceStatementContext& context, SchematicObject* part, const std::string& name, bool freq,
                     const char*& cursor) {
    int rc = ds_ExpectEquals(context, part, cursor);
    if (rc) return rc;
    const char* p = ds_SkipBlanks(cursor);
    if (*p != '{') return ds_LineMessage(context, part, kDsMsgExpecting, "{");
    bool unclosed = false;
    const char* end = SkipBracketGroup(p, '{', '}', &unclosed);
    if (unclosed) return ds_LineMessage(context, part, kDsMsgExpecting, "}");
    const std::string group(p, end);
    cursor = end;
    std::string n1, n2;
    if (ds_SimpleVoltageInput(group, &n1, &n2)) {
        rc = AssignPinNode(context, part, n1, 2);
        if (!rc) rc = AssignPinNode(context, part, n2, 3);
        if (rc) return rc;
    } else {
        SchematicObject* auxiliary = nullptr;
        rc = CreateSpicePart(context, "E_$$" + name + "$$", kDsTypeNfv, &auxiliary);
        if (rc) return rc;
        SetAttribute(context.document, auxiliary, kAttrValue, group.substr(1, group.size() - 2).c_str());
        int node = 0;
        rc = AssignNode(context, name + "$ $", &node);
        if (rc) return rc;
        auxiliary->pinNodes[0] = node;
        auxiliary->pinNodes[1] = 0;
        part->pinNodes[2] = node;
        part->pinNodes[3] = 0;
    }
    if (freq) {
        static const char* const kFormats[] = {"MAG", "DB", "DEG", "RAD", "R_I"};
        std::string keywords;
        for (;;) {
            const char* before = cursor;
            const std::string word = NextDeviceLineItem(cursor);
            bool known = false;
            for (const char* format : kFormats) known = known || word == format;
            if (!known) {
                cursor = before;
                break;
            }
            keywords += word;
            keywords += ' ';
        }
        if (!keywords.empty()) keywords.pop_back();
        SetAttribute(context.document, part, kDsAttrKeyword, keywords.c_str());
    }
    return 0;
}

// An E or G line of the given output letter ('E' voltage, 'G' current).
int ds_ReadDependentLine(SpiceStatementContext& context, const char* statement, bool voltage) {
    const char* cursor = nullptr;
    ds_LineHead head;
    ds_ReadHead(statement, 2, cursor, &head);
    const char* afterNodes = cursor;
    const std::string keyword = NextDeviceLineItem(cursor);
    if (keyword == "CHEBYSHEV") return ds_LineMessage(context, nullptr, kDsMsgChebyshev, nullptr);
    int type = voltage ? kDsTypeEVofV : kDsTypeGIofV;
    if (keyword == "VALUE") type = voltage ? kDsTypeNfv : kDsTypeNfi;
    if (keyword == "TABLE") type = voltage ? 41 : 39;
    if (keyword == "LAPLACE") type = voltage ? 33 : 31;
    if (keyword == "FREQ") type = voltage ? 45 : 43;
    SchematicObject* part = nullptr;
    int rc = ds_MakePart(context, head, type, 2, &part);
    if (rc) return rc;
    if (type == kDsTypeEVofV || type == kDsTypeGIofV) {
        SetDeviceValueText(context.document, part, afterNodes, type);
        return 0;
    }
    if (type == kDsTypeNfv || type == kDsTypeNfi) {
        rc = ds_ExpectEquals(context, part, cursor);
        if (rc) return rc;
        // A value that is one braced group is its expression.
        const char* start = ds_SkipBlanks(cursor);
        bool unclosed = false;
        const char* end = *start == '{' ? SkipBracketGroup(start, '{', '}', &unclosed) : start;
        if (end != start && !unclosed && !*ds_SkipBlanks(end)) {
            const std::string inner(start + 1, end - 1);
            SetDeviceValueText(context.document, part, inner.c_str(), type);
            return 0;
        }
    } else {
        rc = ds_ReadInputForm(context, part, head.name, keyword == "FREQ", cursor);
        if (rc) return rc;
    }
    SetDeviceValueText(context.document, part, cursor, type);
    return 0;
}

}  // namespace

void RegisterDependentSourceMessages() {
    RegisterMessages(kDsMessageRows, static_cast<int>(sizeof(kDsMessageRows) / sizeof(kDsMessageRows[0])));
    RegisterLineAndSwitchMessages();
}

void RegisterDependentDeviceRecords() {
    RegisterDeviceRecordType<PolySourceRecord>(kListPolySources);
    RegisterDeviceRecordType<LinearDependentRecord>(kListDependentSources);
    RegisterDeviceRecordType<IdealLineRecord>(kListIdealLines);
    RegisterDeviceRecordType<LossyLineRecord>(kListLossyLines);
    RegisterDeviceRecordType<SwitchRecord>(kListSwitches);
    RegisterDeviceRecordType<VoltageSwitchRecord>(kListSSwitches);
    RegisterDeviceRecordType<CurrentSwitchRecord>(kListWSwitches);
}

// ---- device lines -----------------------------------------------------------------------------

int ReadDependentSourceLine(SpiceStatementContext& context, char* statement) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*ds_SkipBlanks(statement))));
    return ds_ReadDependentLine(context, statement, letter == 'E');
}

int ReadBLine(SpiceStatementContext& context, char* statement) {
    const char* cursor = nullptr;
    ds_LineHead head;
    ds_ReadHead(statement, 2, cursor, &head);
    const std::string third = NextDeviceLineItem(cursor);
    const char* afterThird = ds_SkipBlanks(cursor);
    const bool behavioural = (third == "I" || third == "V") && *afterThird == '=';
    if (context.dialect == kSpiceDialectAmbiguous) {
        // The first B line decides the dialect of its whole source.
        context.dialect = behavioural ? kSpiceDialect3 : kSpiceDialectPSpice;
        if (SpiceReaderState* reader = GetSpiceReader(context.document))
            if (SpiceSource* source = reader->Current()) source->file.spiceDialect = context.dialect;
    }
    if (context.dialect != kSpiceDialect3 || !behavioural) {
        // A GaAsFET, read like Z: drain, gate, source, the model, the value text.
        ds_ReadHead(statement, 3, cursor, &head);
        SchematicObject* part = nullptr;
        const int rc = ds_MakePart(context, head, kTypeGaAsFet, 3, &part);
        if (rc) return rc;
        const char* before = cursor;
        const std::string model = NextDeviceLineItem(cursor);
        if (!model.empty() && (IsSpiceWordChar(model[0]) || model[0] == '{'))
            SetAttribute(context.document, part, kAttrModel, model.c_str());
        else
            cursor = before;
        SetDeviceValueText(context.document, part, cursor, kTypeGaAsFet);
        return 0;
    }
    std::string expression = ds_SkipBlanks(afterThird + 1);
    while (!expression.empty() && ds_IsBlank(expression.back())) expression.pop_back();
    std::string rewritten = head.name + " " + head.nodes[0] + " " + head.nodes[1] + " VALUE={" + expression + "}";
    return ds_ReadDependentLine(context, rewritten.c_str(), third == "V");
}

int ReadTransmissionLineLine(SpiceStatementContext& context, char* statement) {
    const char* cursor = nullptr;
    ds_LineHead head;
    ds_ReadHead(statement, 4, cursor, &head);
    SchematicObject* part = nullptr;
    int rc = ds_MakePart(context, head, kTypeTline, 4, &part);
    if (rc) return rc;
    const char* p = cursor;
    const std::string word = NextDeviceLineItem(p);
    if (!word.empty() && IsSpiceWordChar(word[0]) && *ds_SkipBlanks(p) != '=') {
        SetAttribute(context.document, part, kAttrModel, word.c_str());
        cursor = p;
    }
    SetDeviceValueText(context.document, part, cursor, kTypeTline);
    return 0;
}

int ReadCurrentSwitchLine(SpiceStatementContext& context, char* statement) {
    const char* cursor = nullptr;
    ds_LineHead head;
    ds_ReadHead(statement, 2, cursor, &head);
    SchematicObject* part = nullptr;
    int rc = ds_MakePart(context, head, 116, 2, &part);
    if (rc) return rc;
    const std::string source = NextDeviceLineItem(cursor);
    SetAttribute(context.document, part, kDsAttrRef, source.c_str());
    const std::string model = NextDeviceLineItem(cursor);
    SetAttribute(context.document, part, kAttrModel, model.c_str());
    const char* rest = ds_SkipBlanks(cursor);
    if (*rest) return ds_LineMessage(context, part, kDsMsgExtraText, rest);
    return 0;
}

// ---- polynomial sources -------------------------------------------------------------------------

namespace {

constexpr const char* kDsSeparators = " ,()";

bool ds_IsSeparator(char c) { return c && (std::strchr(kDsSeparators, c) || ds_IsBlank(c)); }
void ds_SkipSeparators(const char*& p) {
    while (ds_IsSeparator(*p)) ++p;
}

// One name of a control list: the characters up to a separator.
std::string ds_ReadControlName(const char*& p) {
    ds_SkipSeparators(p);
    const char* start = p;
    while (*p && !ds_IsSeparator(*p)) ++p;
    std::string name(start, p);
    ds_SkipSeparators(p);
    return name;
}

int ds_PartFail(SchematicObject* part, int id, const char* argument) {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, id, argument ? argument : "", "");
}

// An unbraced coefficient must be a plain number: signs, digits and '.', an
// optional exponent, then a suffix of letters, digits or '_'.
bool ds_IsPlainNumber(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && text[i] == '+') ++i;
    if (i < text.size() && text[i] == '-') ++i;
    const size_t digits = i;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.')) ++i;
    if (i == digits) return false;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) i = j;
    }
    for (; i < text.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(text[i])) && text[i] != '_') return false;
    return true;
}

}  // namespace

int ParseDependentSource(SchematicObject* part, const std::string& text) {
    const int kind = part->definition->type;
    auto* record = DeviceLists()[kListPolySources].pool.AddNewConstructed<PolySourceRecord>(
        DeviceListCreationKind[kListPolySources]);
    if (!record) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    record->part = part;
    record->sourceKind = kind;
    record->scope = PartScope(part);
    record->outPlus = PartPin(part, 0);
    record->outMinus = PartPin(part, 1);
    record->lastOutput = 0.0;
    const char* name = GetAttributeText(part, kAttrPart);

    std::string trimmed = text;
    const size_t first = trimmed.find_first_not_of(" \t\r\n");
    trimmed = first == std::string::npos ? "" : trimmed.substr(first);
    const char* p = trimmed.c_str();
    int dimension = 1;
    if (std::strncmp(p, "POLY", 4) == 0) {
        p += 4;
        ds_SkipSeparators(p);
        const char* digits = p;
        while (std::isdigit(static_cast<unsigned char>(*p)) || *p == '.') ++p;
        const bool ended = !*p || ds_IsBlank(*p) || *p == ')' || *p == ',';
        const std::string number(digits, p);
        // Digits alone: a long run of them must not overflow the conversion.
        dimension = number.empty() || number.size() > 3 ? 0 : std::atoi(number.c_str());
        if (!ended || dimension < 1 || dimension > kDsMaxDimension)
            return ds_PartFail(part, kDsMsgTooManyDimensions, name);
    }
    ds_SkipSeparators(p);
    record->inputCount = dimension;
    record->inputs.resize(static_cast<size_t>(dimension) + 1);

    const bool voltageControl = kind == kDsTypeGIofV || kind == kDsTypeEVofV;
    CCTDoc* document = CurrentCircuitDocument();
    for (int i = 1; i <= dimension; ++i) {
        PolyInput& input = record->inputs[static_cast<size_t>(i)];
        if (voltageControl) {
            const std::string plus = ds_ReadControlName(p);
            const std::string minus = ds_ReadControlName(p);
            input.positive = plus.empty() ? -1 : FindNodeNumber(document, plus.c_str(), record->scope, -1);
            input.negative = minus.empty() ? -1 : FindNodeNumber(document, minus.c_str(), record->scope, -1);
            if (input.positive < 0 || input.negative < 0) {
                const std::string& bad = input.positive < 0 ? plus : minus;
                if (bad.empty()) return ds_PartFail(part, kDsMsgMissingControlNode, name);
                return ds_PartFail(part, kDsMsgBadControlNode, bad.c_str());
            }
        } else {
            const std::string source = ds_ReadControlName(p);
            if (source.empty() || source[0] != 'V') return ds_PartFail(part, kDsMsgBadLabel, name);
            for (char c : source)
                if (!IsSpiceWordChar(c)) return ds_PartFail(part, kDsMsgBadLabel, name);
            input.sourceName = source;
        }
    }

    std::vector<double> coefficients;
    for (;;) {
        p = ds_SkipBlanks(p);
        if (!*p || std::strncmp(p, "IC", 2) == 0) break;
        if (*p == ')') {
            ++p;
            break;
        }
        if (*p == ',') p = ds_SkipBlanks(p + 1);
        if (!*p) break;
        char* field = nullptr;
        const int length = ScanValueField(p, record->scope, &field, false, false);
        if (!field) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
        std::string value = field;
        FreeString(&field);
        const size_t start = value.find_first_not_of(" \t\r\n");
        value = start == std::string::npos ? "" : value.substr(start);
        if (length <= 0 || value.empty()) break;
        p += length;
        if (value[0] != '{' && !ds_IsPlainNumber(value)) return ds_PartFail(part, kDsMsgBracesRequired, name);
        if (coefficients.size() >= static_cast<size_t>(kDsMaxCoefficients))
            return ds_PartFail(part, kDsMsgTooManyCoefficients, name);
        int error = 0;
        const double number = EvaluateNumericText(value.c_str(), &error, 0);
        if (error) return ds_PartFail(part, error, value.c_str());
        coefficients.push_back(number);
    }
    if (coefficients.size() == 1) coefficients.insert(coefficients.begin(), 0.0);
    record->coefficientCount = static_cast<int32_t>(coefficients.size());
    record->coefficients.assign(coefficients.size() + 2, 0.0);
    for (size_t i = 0; i < coefficients.size(); ++i) record->coefficients[i + 1] = coefficients[i];

    ds_SkipSeparators(p);
    if (*p) return ReportExtraText(part, p);
    return RegisterPartName(record, kind, nullptr, nullptr, part);
}

PolySourceRecord* AddControlledSourceRecord(SourceRecord* firstControl, int outPlus, int outMinus, int kind,
                                            int dimension, int lastCoefficient, double startOutput, int* status) {
    constexpr int kControls = 5;
    constexpr int kCoefficientSlots = 7;
    auto* record = DeviceLists()[kListPolySources].pool.AddNewConstructed<PolySourceRecord>(
        DeviceListCreationKind[kListPolySources]);
    if (!record) {
        ReportCompileOutOfMemory();
        if (status) *status = kResultShown;
        return nullptr;
    }
    record->part = CurrentSetupPart;
    record->scope = CurrentSetupPart ? PartScope(CurrentSetupPart) : 1;
    record->outPlus = outPlus;
    record->outMinus = outMinus;
    record->sourceKind = kind;
    record->inputCount = dimension < 0 ? 0 : dimension > kControls ? kControls : dimension;
    record->inputs.resize(kControls + 1);
    record->coefficients.assign(kCoefficientSlots, 0.0);
    record->coefficientCount =
        lastCoefficient + 1 > kCoefficientSlots - 1 ? kCoefficientSlots - 1 : lastCoefficient + 1;
    record->lastOutput = startOutput;
    if (firstControl) record->inputs[1].branch = &firstControl->branch;
    return record;
}

int SetupPolySource() {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string value = SubstitutedAttribute(part, kAttrValue, true, &error);
    if (error) return error;
    return ParseDependentSource(part, value);
}

int ResolveControllingSources() {
    CCTDoc* document = CurrentCircuitDocument();
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) return 0;
    for (PoolItem* item = compiled->devices[kListPolySources].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<PolySourceRecord*>(item);
        if (record->sourceKind != kDsTypeFIofI && record->sourceKind != kDsTypeHVofI) continue;
        // Only the inputs in use: a macromodel's record keeps room for more.
        const size_t used = std::min(record->inputs.size(), static_cast<size_t>(record->inputCount) + 1);
        for (size_t i = 1; i < used; ++i) {
            PolyInput& input = record->inputs[i];
            if (input.branch) continue;
            SchematicObject* source = FindPart(input.sourceName.c_str(), record->scope);
            PartLink* link = source ? compiled->FindLink(source) : nullptr;
            // Only a voltage source has a branch current to sense; a current
            // source named here would read nothing.
            SourceRecord* voltage = nullptr;
            if (link && link->record && source->definition &&
                (source->definition->type == kTypeVSpice || source->definition->type == kTypeBattery)) {
                auto* candidate = static_cast<SourceRecord*>(link->record);
                if (candidate->sourceKind == kSourceVoltage) voltage = candidate;
            }
            if (!voltage) return ds_PartFail(record->part, kDsMsgSourceNotFound, input.sourceName.c_str());
            input.branch = &voltage->branch;
        }
    }
    return 0;
}

// ---- linear dependent sources -------------------------------------------------------------------

int EvaluateValueFields(const std::string& text, int count, double* values) {
    for (int i = 0; i < count; ++i) values[i] = 0.0;
    size_t start = 0;
    int depth = 0;
    int field = 0;
    for (size_t i = 0; i <= text.size() && field < count; ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (c == '(' || c == '{') ++depth;
        if (c == ')' || c == '}') --depth;
        if (c != ',' || (depth > 0 && i < text.size())) continue;
        std::string item = text.substr(start, i - start);
        const size_t first = item.find_first_not_of(" \t\r\n");
        if (first != std::string::npos) {
            int status = 0;
            values[field] = EvaluateFieldValue(item.substr(first).c_str(), &status);
            if (status) return status;
        }
        ++field;
        start = i + 1;
    }
    return 0;
}

int SetupLinearTransducer(int componentType) {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string value = SubstitutedAttribute(part, kAttrValue, true, &error);
    if (error) return error;
    double fields[3];
    const int code = EvaluateValueFields(value, 3, fields);
    if (code) {
        const std::string rows = "Value:\t" + value + "\n";
        RecordPartLocation(part);
        return ReportCompilerMessage(part, PartScope(part), rows.c_str(), code, value.c_str(), "");
    }
    const double gain = fields[0], second = fields[1], third = fields[2];
    auto* record = DeviceLists()[kListDependentSources].pool.AddNewConstructed<LinearDependentRecord>(0);
    if (!record) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const int rc = RegisterPartName(record, componentType, nullptr, &record->gain, part);
    record->controlPlus = PartPin(part, 2);
    record->controlMinus = PartPin(part, 3);
    record->outPlus = PartPin(part, 0);
    record->outMinus = PartPin(part, 1);
    record->componentType = componentType;
    record->second = second;
    record->gain = gain;
    // Saturating conversion: values beyond the int range clamp to its ends.
    record->third = third >= 2147483647.0    ? 2147483647
                    : third <= -2147483648.0 ? -2147483647 - 1
                                             : static_cast<int32_t>(third);
    return rc;
}

static_assert(kDsTypeVofI - kDsTypeIofV == 3, "linear kinds 26 to 29");
