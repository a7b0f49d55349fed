// The transmission-line and switch set-ups.
#include <cctype>
#include <cstring>
#include <string>

#include "compiler/compiled.h"
#include "compiler/depsources.h"
#include "compiler/scanner.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/devicelist.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr int kLnMsgIllegalSwitch = 10835;
constexpr int kLnMsgIllegalLine = 10859;
constexpr int kLnMsgZeroLine = 10867;
constexpr int kLnMsgSmallDelay = 10892;

// clang-format off
const MessageRow kLnMessageRows[] = {
    {10835, "%EIllegal switch VALUE attribute %s."},
    {10859, "%EIllegal transmission line model parameters. Format is '<Z0=value> <[TD=val2] | [F=freq[NL=nlen]]>'."},
    {10867, "%EIllegal transmission line model parameters. NL and TL must  not be zero if TD is not defined."},
    {10892, "%ETD must be greater than 1e-16."},
};
// clang-format on

constexpr int kLnModelTypeTrn = 7;
constexpr int kLnSlotIdealFlag = 21;
enum LineParameter : int { kLnZo = 0, kLnTd = 1, kLnF = 2, kLnNl = 3 };
constexpr double kLnMinimumDelay = 1e-16;

int ln_Fail(SchematicObject* part, int id, const char* argument = "") {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, id, argument, "");
}

bool ln_ModelGiven(const ModelRecord* model, int index) {
    return model && model->Given && model->Given[index] && model->Values && !IsUnsetValue(model->Values[index]);
}
double ln_ModelValue(const ModelRecord* model, int index) {
    return model && model->Values ? model->Values[index] : kUnsetValue;
}

template <class T>
T* ln_AddRecord(int list) {
    T* record = DeviceLists()[list].pool.AddNewConstructed<T>(DeviceListCreationKind[list]);
    if (!record) ReportCompileOutOfMemory();
    return record;
}

struct ln_Given {
    double value;
    int32_t given;
};

// The line's impedance and delay from its own fields, else its model's. The
// values stay the line's own: lines that share one model keep theirs.
int ln_LineParameters(SchematicObject* part, IdealLineRecord* line) {
    const ModelRecord* model = line->model;
    auto pick = [&](int32_t given, double value, int index) { return given ? value : ln_ModelValue(model, index); };
    const double z0 = pick(line->z0Given, line->z0, kLnZo);
    double td = pick(line->tdGiven, line->td, kLnTd);
    const double f = pick(line->frequencyGiven, line->frequency, kLnF);
    const double nl = pick(line->normalLengthGiven, line->normalLength, kLnNl);
    if (IsUnsetValue(z0)) return ln_Fail(part, kLnMsgIllegalLine);
    if (IsUnsetValue(td)) {
        if (IsUnsetValue(f)) return ln_Fail(part, kLnMsgIllegalLine);
        if (f == 0.0 || IsUnsetValue(nl) || nl == 0.0) return ln_Fail(part, kLnMsgZeroLine);
        td = nl / f;
    }
    // A delay that is zero or negative (given, from the model, or from NL and
    // F) would leave the line without a time step to run on.
    if (!(td > kLnMinimumDelay)) return ln_Fail(part, kLnMsgSmallDelay);
    line->impedance = z0;
    line->delay = td;
    return 0;
}

// The word is the beginning of one of the lossy line's keywords.
bool ln_IsLossyKeyword(const std::string& word) {
    if (word.empty()) return false;
    for (const char* keyword : {"LEN", "R", "L", "G", "C"}) {
        if (word.size() <= std::strlen(keyword) && std::strncmp(keyword, word.c_str(), word.size()) == 0) return true;
    }
    return false;
}

}  // namespace

int SetupLossyLine(ModelRecord* model) {
    SchematicObject* part = CurrentSetupPart;
    auto* line = ln_AddRecord<LossyLineRecord>(kListLossyLines);
    if (!line) return kResultShown;
    line->model = model;
    line->part = part;
    line->ordinal = DeviceLists()[kListLossyLines].pool.count;
    const std::string value = GetAttributeText(part, kAttrValue);
    size_t at = value.find_first_not_of(" \t\r\n");
    if (at == std::string::npos) at = value.size();
    const size_t end = value.find_first_of(" \t\r\n=", at);
    std::string word = value.substr(at, end == std::string::npos ? std::string::npos : end - at);
    for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string rest = value.substr(at);
    if (!word.empty() && !ln_IsLossyKeyword(word)) {
        // A leading bare number is the line's length.
        int error = 0;
        const double length = EvaluateNumericText(value.c_str() + at, &error, 0);
        if (!error) {
            line->len = length;
            line->lenGiven = 1;
        }
        rest = end == std::string::npos ? std::string() : value.substr(end);
    }
    int rc = 0;
    if (rest.find_first_not_of(" \t\r\n") != std::string::npos) {
        ln_Given len{}, r{}, l{}, g{}, c{};
        rc = ScanStatement(part, "<[LEN=%t][R=%t][L=%t][G=%t][C=%t]>", rest.c_str(), &len, &r, &l, &g, &c);
        if (!rc) {
            if (len.given) {
                line->len = len.value;
                line->lenGiven = 1;
            }
            line->r = r.value;
            line->rGiven = r.given;
            line->l = l.value;
            line->lGiven = l.given;
            line->g = g.value;
            line->gGiven = g.given;
            line->c = c.value;
            line->cGiven = c.given;
        }
    }
    if (model->Values && model->ModelType == kLnModelTypeTrn) model->Values[kLnSlotIdealFlag] = 0.0;
    if (rc) return rc;
    line->pos1 = PartPin(part, 0);
    line->neg1 = PartPin(part, 1);
    line->pos2 = PartPin(part, 2);
    line->neg2 = PartPin(part, 3);
    return RegisterPartName(line, kTypeTline, model, nullptr, part);
}

void RegisterLineAndSwitchMessages() {
    RegisterMessages(kLnMessageRows, static_cast<int>(sizeof(kLnMessageRows) / sizeof(kLnMessageRows[0])));
}

int SetupIdealLine() {
    SchematicObject* part = CurrentSetupPart;
    CCTDoc* document = CurrentCircuitDocument();
    ModelRecord* model = nullptr;
    if (*GetAttributeText(part, kAttrModel)) {
        model = FindPartModelRecord(document, part);
        if (!model) return kResultShown;
    } else {
        model = DefaultModelRecord(document, kLnModelTypeTrn);
        if (!model) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
    }
    const std::string value = GetAttributeText(part, kAttrValue);
    const bool bothImpedanceForms = value.find("ZO") != std::string::npos && value.find("Z0") != std::string::npos;
    bool ideal = false;
    for (int index : {kLnZo, kLnTd, kLnF, kLnNl}) ideal = ideal || ln_ModelGiven(model, index);
    ideal = ideal || KeywordIsAssigned(value.c_str(), "F") || KeywordIsAssigned(value.c_str(), "TD") ||
            KeywordIsAssigned(value.c_str(), "NL");
    if (bothImpedanceForms || !ideal) return SetupLossyLine(model);

    auto* line = ln_AddRecord<IdealLineRecord>(kListIdealLines);
    if (!line) return kResultShown;
    line->model = model;
    line->part = part;
    if (!value.empty()) {
        const bool letterO = value.find("ZO") != std::string::npos;
        ln_Given z0{}, td{}, f{}, nl{};
        int rc = 0;
        if (value.find("TD") != std::string::npos) {
            rc = ScanStatement(part, letterO ? "<[ZO=%t][TD=%t]>" : "<[Z0=%t][TD=%t]>", value.c_str(), &z0, &td);
        } else {
            rc = ScanStatement(part, letterO ? "<[ZO=%t][F=%t][NL=%t]>" : "<[Z0=%t][F=%t][NL=%t]>", value.c_str(), &z0,
                               &f, &nl);
        }
        if (rc) return rc;
        line->z0 = z0.value;
        line->z0Given = z0.given;
        line->td = td.value;
        line->tdGiven = td.given;
        line->frequency = f.value;
        line->frequencyGiven = f.given;
        line->normalLength = nl.value;
        line->normalLengthGiven = nl.given;
        if (td.given && !(td.value > kLnMinimumDelay)) return ln_Fail(part, kLnMsgSmallDelay);
    }
    if (model->Values && model->ModelType == kLnModelTypeTrn) model->Values[kLnSlotIdealFlag] = 1.0;
    int rc = ln_LineParameters(part, line);
    if (rc) return rc;
    // Port A is pins 1 (plus) and 2, port B pins 3 (plus) and 4.
    line->portAPlus = PartPin(part, 0);
    line->portAMinus = PartPin(part, 1);
    line->portBPlus = PartPin(part, 2);
    line->portBMinus = PartPin(part, 3);
    line->internalA = NewInternalNode();
    line->internalB = NewInternalNode();
    return RegisterPartName(line, kTypeTline, model, nullptr, part);
}

int SetupSwitch() {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string value = SubstitutedAttribute(part, kAttrValue, true, &error);
    if (error) return error;
    const char kind = value.empty() ? 0 : value[0];
    const int switchKind = kind == 'T' ? 1 : kind == 'V' ? 2 : kind == 'I' ? 3 : 0;
    if (!switchKind) return ln_Fail(part, kLnMsgIllegalSwitch, value.c_str());
    std::string rest = value.substr(1);
    const size_t first = rest.find_first_not_of(" \t\r\n");
    rest = first == std::string::npos ? "" : rest.substr(first, rest.find_last_not_of(" \t\r\n") - first + 1);
    double fields[5];
    const int code = EvaluateValueFields(rest, 5, fields);
    if (code) return ln_Fail(part, code, value.c_str());
    const double level1 = fields[1];
    const bool secondLevel = value.size() > 2 && value.find(',', 2) != std::string::npos;
    const double level2 = secondLevel ? fields[2] : 1e30;
    double on = fields[3], off = fields[4];
    if (level1 == level2) return ln_Fail(part, kLnMsgIllegalSwitch, value.c_str());
    auto* record = ln_AddRecord<SwitchRecord>(kListSwitches);
    if (!record) return kResultShown;
    // The switch keeps no registered name: it is linked to its part directly.
    record->part = part;
    if (CompiledCircuit* compiled = GetCompiledCircuit(CurrentCircuitDocument())) {
        PartLink& link = compiled->partLinks[part];
        link.record = record;
        link.listIndex = kListSwitches;
        link.deviceKind = kTypeSwitch;
    }
    record->nodes[0] = PartPin(part, 3);
    record->nodes[1] = PartPin(part, 2);
    record->nodes[2] = PartPin(part, 0);
    record->nodes[3] = PartPin(part, 1);
    record->switchKind = switchKind;
    record->level1 = level1;
    record->level2 = level2;
    if (on == 0.0) on = 0.001;
    if (off == 0.0) off = 1e9;
    record->onConductance = 1.0 / on;
    record->offConductance = 1.0 / off;
    return 0;
}

int SetupVoltageSwitch() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = ln_AddRecord<VoltageSwitchRecord>(kListSSwitches);
    if (!record) return kResultShown;
    for (int i = 0; i < 4; ++i) record->nodes[i] = PartPin(part, i);
    record->model = FindPartModelRecord(CurrentCircuitDocument(), part);
    if (!record->model) return kResultShown;
    return RegisterPartName(record, 115, record->model, nullptr, part);
}

int SetupCurrentSwitch() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = ln_AddRecord<CurrentSwitchRecord>(kListWSwitches);
    if (!record) return kResultShown;
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    record->model = FindPartModelRecord(CurrentCircuitDocument(), part);
    if (!record->model) return kResultShown;
    return RegisterPartName(record, 116, record->model, nullptr, part);
}
