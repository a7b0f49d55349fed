#include "compiler/behavsetup.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <set>

#include "compiler/compiled.h"
#include "compiler/options.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"
#include "expr/derivative.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"
#include "shell/document.h"

namespace {

enum BehaviouralMessage : int {
    kBsMsgTableSyntax = 10833,
    kBsMsgTableCharacter = 10857,
    kBsMsgTableBraces = 10868,
    kBsMsgUnknownKeyword = 10844,
    kBsMsgTwoMagnitudes = 10845,
    kBsMsgTwoPhases = 10846,
    kBsMsgMixedRealImag = 10850,
    kBsMsgSampleOrPeriod = 10864,
    kBsMsgMissingClock = 10893,
    kBsMsgMissingInput = 10894,
    kBsMsgExpecting = 11900,
    kBsMsgTooFewRows = 10858,
    kBsMsgBadPeriod = 10857 + 30,  // 10887
};

// clang-format off
const MessageRow kBsMessageRows[] = {
    {10833, "%ESyntax in table source."},
    {10844, "%EUnknown keyword %s."},
    {10845, "%EOnly one of the magnitude keywords MAG, DB, or R_I may be used in a Laplace Table source."},
    {10846, "%EOnly one of the phase keywords DEG or RAD, may be used in a Laplace Table source."},
    {10850, "%ECan't mix R_I with other keywords."},
    {10857, "%E%s '%c' in table source."},
    {10858, "%EA table source needs at least two rows."},
    {10864, "%EEither SAMPLE EXPR or PERIOD must be specified."},
    {10868, "%EExpressions within table sources must be enclosed in braces {}."},
    {10887, "%EPERIOD must be greater than zero."},
    {10893, "%EMissing value for 'CLOCK FREQUENCY'."},
    {10894, "%EMissing value for 'INPUTEXPR'."},
};
// clang-format on

constexpr int kBsTypeIofV = 26;
constexpr int kBsTypeNfi = 35;
constexpr int kBsTypeNfv = 37;
constexpr int kBsAttrKeyword = 34;
constexpr int kBsAttrInputExpr = 38;
constexpr int kBsAttrSampleExpr = 39;
constexpr int kBsAttrPeriod = 40;
constexpr int kBsAttrTimerInput = 80;
constexpr int kBsAttrNoiseExpression = 58;
constexpr int kBsAttrDerivative = 86;
constexpr int kBsAttrElapsedScale = 81;  // then INCREMENT, INITIAL, MIN, MAX

int bs_Fail(SchematicObject* part, int id, const char* a1 = "", const char* a2 = "") {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, id, a1, a2);
}

template <class Record>
Record* bs_NewRecord(int list, int* status) {
    auto* record = DeviceLists()[list].pool.AddNewConstructed<Record>(
        DeviceListCreationKind[list] < 0 ? 0 : DeviceListCreationKind[list]);
    if (!record) {
        ReportCompileOutOfMemory();
        *status = kResultShown;
    }
    return record;
}

int bs_PrimaryAttribute(int componentType, int slot) {
    const ComponentType* row = GetComponentType(componentType);
    return row ? row->attributeIds[slot] : 0;
}

bool bs_IdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$';
}

std::string bs_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

void RegisterBehaviouralSetupMessages() {
    RegisterMessages(kBsMessageRows, static_cast<int>(sizeof kBsMessageRows / sizeof kBsMessageRows[0]));
}

void RegisterBehaviouralDeviceRecords() {
    RegisterDeviceRecordType<FunctionSourceRecord>(kListFunctionSources);
    RegisterDeviceRecordType<TableSourceRecord>(kListTableSources);
    RegisterDeviceRecordType<LaplaceSourceRecord>(kListLaplaceSources);
    RegisterDeviceRecordType<LaplaceSourceRecord>(kListLaplaceTableSources);
    RegisterDeviceRecordType<SampleHoldRecord>(kListSampleHolds);
    RegisterDeviceRecordType<TimerRecord>(kListTimers);
}

// ---- function sources ---------------------------------------------------------------------

int ExpandIntegralsAndDerivatives(std::string& text, SchematicObject* part) {
    for (;;) {
        // The next SDT or DDT standing as a whole identifier.
        size_t at = std::string::npos;
        bool integral = false;
        for (size_t i = 0; i + 3 <= text.size(); ++i) {
            const bool sdt = (text[i] == 'S' || text[i] == 's');
            const bool ddt = (text[i] == 'D' || text[i] == 'd');
            if (!sdt && !ddt) continue;
            if (std::toupper(static_cast<unsigned char>(text[i + 1])) != 'D' ||
                std::toupper(static_cast<unsigned char>(text[i + 2])) != 'T')
                continue;
            if (i > 0 && bs_IdentifierChar(text[i - 1])) continue;
            if (i + 3 < text.size() && bs_IdentifierChar(text[i + 3])) continue;
            at = i;
            integral = sdt;
            break;
        }
        if (at == std::string::npos) return 0;
        size_t open = at + 3;
        while (open < text.size() && (text[open] == ' ' || text[open] == '\t')) ++open;
        if (open >= text.size() || text[open] != '(') return bs_Fail(part, kBsMsgExpecting, "(");
        int depth = 0;
        size_t close = std::string::npos;
        for (size_t i = open; i < text.size(); ++i) {
            if (text[i] == '(') ++depth;
            if (text[i] == ')' && --depth == 0) {
                close = i;
                break;
            }
        }
        if (close == std::string::npos) return bs_Fail(part, kBsMsgExpecting, ")");
        const std::string argument = text.substr(open + 1, close - open - 1);

        const int input = NewInternalNode();
        int rc = NameInternalNode(part, "_In", input);
        if (rc) return rc;
        const int output = NewInternalNode();
        rc = NameInternalNode(part, "_Out", output);
        if (rc) return rc;
        CCTDoc* document = CurrentCircuitDocument();
        const std::string inputName = InternalNodeName(document, input);
        const std::string outputName = InternalNodeName(document, output);
        text = text.substr(0, at) + "V(" + outputName + ")" + text.substr(close + 1);

        int status = 0;
        if (!NewFunctionSource(kBsTypeNfv, input, 0, argument, &status)) return status;
        if (integral) {
            // The capacitor integrates the input voltage from time 0 on; (T>0)
            // keeps the operating point free of the integral.
            if (!NewFunctionSource(kBsTypeNfi, 0, output, "V(" + inputName + ")*(T>0)", &status)) return status;
            if (!AddCapacitorDevice(output, 0, 1.0, &status)) return status;
            CompiledCircuit* compiled = GetCompiledCircuit(document);
            if (!AddResistorDevice(0, output, compiled ? compiled->maxResistance : 1e12, 0, &status)) return status;
        } else {
            // A unit current into a 1 H inductor: its voltage is the derivative.
            auto* gain = bs_NewRecord<LinearDependentRecord>(kListDependentSources, &status);
            if (!gain) return status;
            gain->part = part;
            gain->controlPlus = input;
            gain->controlMinus = 0;
            gain->outPlus = 0;
            gain->outMinus = output;
            gain->componentType = kBsTypeIofV;
            gain->gain = 1.0;
            if (!AddInductorDevice(1.0, 0, output, &status)) return status;
        }
    }
}

FunctionSourceRecord* NewFunctionSource(int componentType, int node1, int node2, const std::string& text, int* status) {
    auto* record = bs_NewRecord<FunctionSourceRecord>(kListFunctionSources, status);
    if (!record) return nullptr;
    record->part = CurrentSetupPart;
    record->outPlus = node1;
    record->outMinus = node2;
    record->componentType = componentType;
    std::string expanded = text;
    if (int rc = ExpandIntegralsAndDerivatives(expanded, CurrentSetupPart)) {
        *status = rc;
        return nullptr;
    }
    if (bs_Trim(expanded).empty()) expanded = "0";
    AddTextItem(expanded.c_str(), &record->value);
    return record;
}

int SetupFunctionSource(int componentType) {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string value = SubstitutedAttribute(part, kAttrValue, false, &error);
    if (error) return error;
    int status = 0;
    FunctionSourceRecord* record = NewFunctionSource(componentType, PartPin(part, 0), PartPin(part, 1), value, &status);
    if (!record) return status;
    // Only a current output can carry a noise current between its terminals.
    if (gSolver.AnalysisKind == 1 && componentType == kBsTypeNfi) {
        std::string noise = SubstitutedAttribute(part, kBsAttrNoiseExpression, false, &error);
        if (error) return error;
        if (!bs_Trim(noise).empty()) record->noise.pendingText = std::move(noise);
    }
    if (int rc = AddAcFrequencyExpression(part, &record->acValue)) return rc;
    return RegisterPartName(record, componentType, nullptr, nullptr, part);
}

// ---- Laplace sources ------------------------------------------------------------------------

std::string SubstituteZDomain(const std::string& text, const std::string& clock) {
    static const char kSeparators[] = " ,=()[]<>{}^~*/+-='!|&";
    auto separator = [](char c) { return std::strchr(kSeparators, c) != nullptr && c != 0; };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool z = text[i] == 'Z' || text[i] == 'z';
        const bool before = i == 0 || separator(text[i - 1]);
        const bool after = i + 1 == text.size() || separator(text[i + 1]);
        if (z && before && after)
            out += "(EXP(S/(" + clock + ")))";
        else
            out += text[i];
    }
    return out;
}

namespace {

void bs_Nodes(SchematicObject* part, int32_t* inPlus, int32_t* inMinus, int32_t* outPlus, int32_t* outMinus) {
    *inPlus = PartPin(part, 2);
    *inMinus = PartPin(part, 3);
    *outPlus = PartPin(part, 0);
    *outMinus = PartPin(part, 1);
}

}  // namespace

int SetupLaplaceSource(int sourceType, bool zDomain) {
    SchematicObject* part = CurrentSetupPart;
    const int partType = zDomain ? sourceType + 100 : sourceType;
    int error = 0;
    std::string text = SubstitutedAttribute(part, bs_PrimaryAttribute(partType, 0), false, &error);
    if (error) return error;
    if (zDomain) {
        const std::string clock = bs_Trim(SubstitutedAttribute(part, bs_PrimaryAttribute(partType, 1), false, &error));
        if (error) return error;
        if (clock.empty()) return bs_Fail(part, kBsMsgMissingClock);
        text = SubstituteZDomain(text, clock);
    }
    int status = 0;
    auto* record = bs_NewRecord<LaplaceSourceRecord>(kListLaplaceSources, &status);
    if (!record) return status;
    AddTextItem(text.c_str(), &record->transfer);
    bs_Nodes(part, &record->inPlus, &record->inMinus, &record->outPlus, &record->outMinus);
    record->componentType = sourceType;
    return RegisterPartName(record, sourceType, nullptr, nullptr, part);
}

// ---- tables -----------------------------------------------------------------------------------

int ReadTablePairs(const std::string& text, int columns, std::vector<double>* values, char* bad) {
    values->clear();
    size_t i = 0;
    auto skip = [&]() {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' || text[i] == ','))
            ++i;
    };
    for (;;) {
        skip();
        if (i >= text.size()) break;
        if (text[i] != '(') {
            *bad = text[i];
            return kBsMsgTableCharacter;
        }
        ++i;
        // The row's fields up to its ')': separated by commas or blanks, a
        // braced field is an expression.
        int field = 0;
        for (;;) {
            while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
            if (i >= text.size()) return kBsMsgTableSyntax;
            if (text[i] == ')') {
                ++i;
                break;
            }
            std::string item;
            bool braced = false;
            if (text[i] == '{') {
                bool unclosed = false;
                const char* start = text.c_str() + i;
                const char* end = SkipBracketGroup(start, '{', '}', &unclosed);
                if (unclosed) return kBsMsgTableSyntax;
                item = std::string(start + 1, end - 1);
                i += static_cast<size_t>(end - start);
                braced = true;
            } else {
                const size_t start = i;
                while (i < text.size() && text[i] != ',' && text[i] != ')' && text[i] != ' ' && text[i] != '\t') {
                    if (text[i] == '(' || text[i] == '{') {
                        *bad = text[i];
                        return kBsMsgTableBraces;
                    }
                    ++i;
                }
                item = text.substr(start, i - start);
            }
            if (field >= columns) return kBsMsgTableSyntax;
            int status = 0;
            const double value = EvaluateFieldValue(item.c_str(), &status);
            if (status) return braced ? status : kBsMsgTableBraces;
            values->push_back(value);
            ++field;
        }
        if (field != columns) return kBsMsgTableSyntax;
    }
    return 0;
}

namespace {

// Reads the rows, sorted by their first column, with the first and last
// given rows repeated at the ends. A table needs two rows.
int bs_ReadTable(SchematicObject* part, const std::string& text, int columns, std::vector<double>* rows) {
    std::vector<double> given;
    char bad = '?';
    const int rc = ReadTablePairs(text, columns, &given, &bad);
    if (rc == kBsMsgTableCharacter) {
        const char character[2] = {bad, 0};
        return bs_Fail(part, rc, "Unexpected", character);
    }
    if (rc) return bs_Fail(part, rc);
    const size_t count = given.size() / static_cast<size_t>(columns);
    if (count < 2) return bs_Fail(part, kBsMsgTooFewRows);
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return given[a * static_cast<size_t>(columns)] < given[b * static_cast<size_t>(columns)];
    });
    rows->clear();
    auto append = [&](size_t row) {
        for (int c = 0; c < columns; ++c)
            rows->push_back(given[row * static_cast<size_t>(columns) + static_cast<size_t>(c)]);
    };
    append(order.front());
    for (size_t row : order) append(row);
    append(order.back());
    return 0;
}

}  // namespace

int SetupTableSource(int componentType) {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string text = SubstitutedAttribute(part, bs_PrimaryAttribute(componentType, 0), false, &error);
    if (error) return error;
    int status = 0;
    auto* record = bs_NewRecord<TableSourceRecord>(kListTableSources, &status);
    if (!record) return status;
    bs_Nodes(part, &record->inPlus, &record->inMinus, &record->outPlus, &record->outMinus);
    record->componentType = componentType;
    std::vector<double> rows;
    if (int rc = bs_ReadTable(part, text, 2, &rows)) return rc;
    for (size_t i = 0; i + 1 < rows.size(); i += 2) {
        record->inputs.push_back(rows[i]);
        record->outputs.push_back(rows[i + 1]);
    }
    record->segment = record->acceptedSegment = 1;
    return RegisterPartName(record, componentType, nullptr, nullptr, part);
}

int SetupLaplaceTable(int componentType) {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string keywords = SubstitutedAttribute(part, kBsAttrKeyword, false, &error);
    if (error) return error;
    const std::string text = SubstitutedAttribute(part, bs_PrimaryAttribute(componentType, 0), false, &error);
    if (error) return error;
    int magnitude = -1, phase = -1;
    static const char* const kKeywords[] = {"MAG", "DB", "DEG", "RAD", "R_I"};
    size_t i = 0;
    while (i < keywords.size()) {
        while (i < keywords.size() && (keywords[i] == ' ' || keywords[i] == ',' || keywords[i] == '\t')) ++i;
        const size_t start = i;
        while (i < keywords.size() && keywords[i] != ' ' && keywords[i] != ',' && keywords[i] != '\t') ++i;
        if (start == i) break;
        std::string word = keywords.substr(start, i - start);
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        int index = -1;
        for (int k = 0; k < 5; ++k)
            if (word == kKeywords[k]) index = k;
        if (index < 0) return bs_Fail(part, kBsMsgUnknownKeyword, word.c_str());
        if (index == kLaplaceDeg || index == kLaplaceRad) {
            if (phase >= 0) return bs_Fail(part, kBsMsgTwoPhases);
            phase = index;
        } else {
            if (magnitude >= 0) return bs_Fail(part, kBsMsgTwoMagnitudes);
            magnitude = index;
        }
    }
    if (magnitude == kLaplaceRealImag && phase >= 0) return bs_Fail(part, kBsMsgMixedRealImag);
    int status = 0;
    auto* record = bs_NewRecord<LaplaceSourceRecord>(kListLaplaceTableSources, &status);
    if (!record) return status;
    record->magnitudeFormat = magnitude < 0 ? kLaplaceDb : magnitude;
    record->phaseFormat = phase < 0 ? kLaplaceDeg : phase;
    bs_Nodes(part, &record->inPlus, &record->inMinus, &record->outPlus, &record->outMinus);
    record->componentType = componentType;
    if (int rc = bs_ReadTable(part, text, 3, &record->table)) return rc;
    record->rowCount = static_cast<int32_t>(record->table.size() / 3);
    return RegisterPartName(record, componentType, nullptr, nullptr, part);
}

// ---- sample-and-hold ----------------------------------------------------------------------------

int SetupSampleHold() {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string input = SubstitutedAttribute(part, kBsAttrInputExpr, false, &error);
    if (error) return error;
    const std::string sample = bs_Trim(SubstitutedAttribute(part, kBsAttrSampleExpr, false, &error));
    if (error) return error;
    const std::string periodText = bs_Trim(SubstitutedAttribute(part, kBsAttrPeriod, true, &error));
    if (error) return error;
    if (sample.empty() && periodText.empty()) return bs_Fail(part, kBsMsgSampleOrPeriod);
    double period = 0.0;
    if (!periodText.empty()) {
        int status = 0;
        period = EvaluateFieldValue(periodText.c_str(), &status);
        if (status) return bs_Fail(part, status, periodText.c_str());
        // A sampling period must advance time; without a sample formula the
        // load would divide by it.
        if (sample.empty() && !(period > 0.0)) return bs_Fail(part, kBsMsgBadPeriod);
    }
    int status = 0;
    auto* record = bs_NewRecord<SampleHoldRecord>(kListSampleHolds, &status);
    if (!record) return status;
    record->outPlus = PartPin(part, 0);
    record->outMinus = PartPin(part, 1);
    record->period = period;
    AddTextItem(bs_Trim(input).empty() ? "0" : input.c_str(), &record->input);
    if (!sample.empty()) AddTextItem(sample.c_str(), &record->sample);
    return RegisterPartName(record, kTypeSampleAndHold, nullptr, nullptr, part);
}

// ---- timer ----------------------------------------------------------------------------------------------

int SetupTimer() {
    SchematicObject* part = CurrentSetupPart;
    int error = 0;
    const std::string input = bs_Trim(SubstitutedAttribute(part, kBsAttrTimerInput, false, &error));
    if (error) return error;
    if (input.empty()) return bs_Fail(part, kBsMsgMissingInput);
    // ELAPSED_SCALE, INCREMENT, INITIAL, MIN, MAX; an empty one takes the
    // value that leaves the count unscaled and unclamped.
    const double defaults[5] = {1.0, 1.0, 0.0, -1e300, 1e300};
    double values[5];
    for (int i = 0; i < 5; ++i) {
        const std::string text = bs_Trim(SubstitutedAttribute(part, kBsAttrElapsedScale + i, true, &error));
        if (error) return error;
        values[i] = defaults[i];
        if (text.empty()) continue;
        int status = 0;
        values[i] = EvaluateFieldValue(text.c_str(), &status);
        if (status) return bs_Fail(part, status, text.c_str());
    }
    int status = 0;
    auto* record = bs_NewRecord<TimerRecord>(kListTimers, &status);
    if (!record) return status;
    for (int pin = 0; pin < 4; ++pin) record->nodes[pin] = PartPin(part, pin);
    for (int i = 0; i < 3; ++i) {
        record->outputs[i] = AddSourceDevice(record->nodes[i], 0, kSourceVoltage, 0.0, &status);
        if (!record->outputs[i]) return status;
        record->outputs[i]->part = part;
    }
    record->elapsedScale = values[0];
    record->increment = values[1];
    record->initial = values[2];
    record->minimum = values[3];
    record->maximum = values[4];
    record->count = record->initial;
    AddTextItem(input.c_str(), &record->input);
    return RegisterPartName(record, kTypeTimer, nullptr, nullptr, part);
}

// ---- dependencies -------------------------------------------------------------------------------

namespace {

void bs_CollectSlots(const CompiledExpression& expression, const double* base, size_t size, std::set<int32_t>* slots) {
    for (const ExprToken* token = expression.FirstToken(); token; token = token->Next()) {
        if (token->code != kOperandDouble || !token->operand.doublePtr) continue;
        const double* p = token->operand.doublePtr;
        if (p > base && p < base + size) slots->insert(static_cast<int32_t>(p - base));
    }
    for (int i = 0; i < expression.bodyCount; ++i)
        if (expression.bodies[i]) bs_CollectSlots(*expression.bodies[i], base, size, slots);
    for (int i = 0; i < expression.sharedCount; ++i)
        if (expression.shared[i]) bs_CollectSlots(*expression.shared[i], base, size, slots);
}

// The unknowns an AC formula reads from the complex solution.
void bs_CollectUnknowns(const CompiledExpression& expression, std::set<int32_t>* unknowns) {
    for (const ExprToken* token = expression.FirstToken(); token; token = token->Next())
        if (token->code == kOperandComplexNode && token->operand.index > 0) unknowns->insert(token->operand.index);
    for (int i = 0; i < expression.bodyCount; ++i)
        if (expression.bodies[i]) bs_CollectUnknowns(*expression.bodies[i], unknowns);
    for (int i = 0; i < expression.sharedCount; ++i)
        if (expression.shared[i]) bs_CollectUnknowns(*expression.shared[i], unknowns);
}

}  // namespace

int FunctionSourceDerivativeMode(const FunctionSourceRecord& source, int numericOption) {
    int mode = numericOption ? 1 : 0;
    if (source.part && (source.componentType == kBsTypeNfi || source.componentType == kBsTypeNfv)) {
        const std::string text = bs_Trim(GetAttributeText(source.part, kBsAttrDerivative));
        if (CompareNoCase(text.c_str(), "ALGEBRAIC") == 0)
            mode = 0;
        else if (CompareNoCase(text.c_str(), "NUMERIC") == 0)
            mode = 1;
    }
    const CompiledExpression& value = source.value.compiled;
    if ((value.flags & kExprFlagRunningIntegral) || FindNonDifferentiable(&value)) mode = 1;
    return mode;
}

namespace {

// The partial derivatives of one source's formula: 0, or 15002. A formula the
// differentiator gives up on (or whose derivative cannot be folded) is
// perturbed instead.
int bs_BuildDerivativeFormulas(FunctionSourceRecord* source, double* base, const GlobalSettingValues& settings) {
    if (source->numericDerivatives) return 0;
    for (FunctionDependency& dependency : source->dependencies) {
        dependency.derivativeFormula = std::make_unique<CompiledExpression>();
        const int rc = DifferentiateCompiled(&source->value.compiled, dependency.derivativeFormula.get(),
                                             reinterpret_cast<uintptr_t>(base + dependency.slot),
                                             source->value.compiled.dialect, settings.lthresh);
        if (rc == kResultNoMemory) return rc;
        if (rc || !dependency.derivativeFormula->TokenCount()) {
            source->numericDerivatives = 1;
            break;
        }
    }
    if (source->numericDerivatives)
        for (FunctionDependency& dependency : source->dependencies) dependency.derivativeFormula.reset();
    return 0;
}

}  // namespace

int BuildFunctionSourceDependencies(CompiledCircuit* compiled) {
    if (!compiled) return 0;
    double* base = compiled->solution.data();
    const size_t size = compiled->solution.size();
    const CircuitOptions* options = GetCircuitOptions(CurrentCircuitDocument());
    const GlobalSettingValues& settings = options ? options->settings : GlobalSettings;
    try {
        for (PoolItem* item = compiled->devices[kListFunctionSources].pool.first; item; item = item->next) {
            if (item->type == kPoolItemDead) continue;
            auto* source = static_cast<FunctionSourceRecord*>(item);
            std::set<int32_t> slots;
            if (base) bs_CollectSlots(source->value.compiled, base, size, &slots);
            source->dependencies.clear();
            for (int32_t slot : slots) {
                FunctionDependency dependency;
                dependency.slot = slot;
                source->dependencies.push_back(std::move(dependency));
            }
            source->numericDerivatives = FunctionSourceDerivativeMode(*source, settings.numericDerivative);
            if (base)
                if (int rc = bs_BuildDerivativeFormulas(source, base, settings)) return rc;
            std::set<int32_t> acSlots;
            bs_CollectUnknowns(source->acValue.compiled, &acSlots);
            source->acDependencies.assign(acSlots.begin(), acSlots.end());
        }
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    return 0;
}
