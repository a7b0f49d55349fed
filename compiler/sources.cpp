#include "compiler/sources.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/modelstmt.h"

// clang-format off
const TransientFunction TransientFunctionTable[kTransientFunctionCount] = {
    {"",         "None",     kFunctionNone,     0},
    {"PULSE",    "Pulse",    kFunctionPulse,    7},
    {"SIN",      "Sin",      kFunctionSin,      6},
    {"EXP",      "Exp",      kFunctionExp,      6},
    {"PWL",      "PWL",      kFunctionPwl,      -1},
    {"SFFM",     "SFFM",     kFunctionSffm,     5},
    {"NOISE",    "Noise",    kFunctionNoise,    5},
    {"GAUSSIAN", "Gaussian", kFunctionGaussian, 4},
};
// clang-format on

namespace {

// A count or repeat value as an int: NaN gives 0, the rest is held in range.
int32_t so_ToInt(double value) {
    if (value != value) return 0;
    return static_cast<int32_t>(std::clamp(value, -2147483647.0, 2147483647.0));
}

enum : int {
    kSoMsgPwlMissingValue = 10621,
    kSoMsgNeedTwoValues = 10622,
    kSoMsgStimulusNotSupported = 10623,
    kSoMsgPwlMissingFor = 10624,
    kSoMsgPwlExpectingFor = 10625,
    kSoMsgPwlEndBeforeRepeat = 10626,
    kSoMsgPwlMissingEnd = 10627,
    kSoMsgPwlFileNotSupported = 10628,
    kSoMsgPwlMissingTimeScale = 10629,
    kSoMsgPwlMissingValueScale = 10630,
    kSoMsgPwlEmptyRepeat = 10632,
    kSoMsgPwlZeroTimeScale = 10633,
    kSoMsgWidthPositive = 10634,
    kSoMsgIllegalValue = 10635,
    kSoMsgAlreadyDc = 10839,
    kSoMsgIllegalUse = 11852,
    kSoMsgExpectingToFollow = 11901,
    kSoMsgExtraText = 11903,
    kSoMsgDistortionInputUnused = 11960,
};

constexpr int kSoAttrRepeat = 88;

struct SoToken {
    std::string text;
    int position;  // offset in the parsed text
};

bool so_IsSeparator(char c) { return c == ' ' || (c >= 9 && c <= 13) || c == ',' || c == '=' || c == '(' || c == ')'; }

// Blanks, commas, "=", "(" and ")" separate tokens; a token that begins with
// "{" runs to its matching "}" whatever it holds.
std::vector<SoToken> so_Tokenize(const std::string& text) {
    std::vector<SoToken> tokens;
    size_t i = 0;
    while (i < text.size()) {
        if (so_IsSeparator(text[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        if (text[i] == '{') {
            i = static_cast<size_t>(SkipBracketGroup(text.c_str() + i, '{', '}') - text.c_str());
        } else {
            while (i < text.size() && !so_IsSeparator(text[i])) ++i;
        }
        tokens.push_back({text.substr(start, i - start), static_cast<int>(start)});
    }
    return tokens;
}

bool so_Is(const std::string& token, const char* word) { return strcasecmp(token.c_str(), word) == 0; }

// A keyword that ends a waveform's parameter list.
bool so_EndsParameters(const std::string& token) {
    return so_Is(token, "AC") || so_Is(token, "DC") || so_Is(token, "DISTOF1") || so_Is(token, "DISTOF2");
}

class SoStimulusParser {
public:
    SoStimulusParser(SourceRecord* record, const std::string& text, bool report, StimulusPositions* positions,
                     SchematicObject* part)
        : record_(record), report_(report), positions_(positions), part_(part), tokens_(so_Tokenize(text)) {}

    int Parse();

private:
    // Shows the message (when reporting) and gives 15055.
    int Fail(int id, const char* a = "", const char* b = "", const char* rows = nullptr) {
        if (report_) {
            RecordPartLocation(part_);
            ReportCompilerMessage(part_, PartScope(part_), rows, id, a, b);
        }
        return kResultShown;
    }
    bool More() const { return next_ < tokens_.size(); }
    bool IsValidValue(const std::string& token) const {
        return !token.empty() && (token[0] == '{' || IsValidParameterText(token.c_str()));
    }
    int Evaluate(const std::string& token, double* out);
    // Offers the current token as a LOT or DEV tolerance; *consumed tells
    // whether it (and its amount) were taken.
    int Tolerance(bool* consumed);
    int Dc(int tokenPosition, const std::string& token);
    int Parameters(const TransientFunction& function);
    int Pwl(const SoToken& keyword);
    double FieldValue(int field) const { return field == kSourceFieldDc ? record_->dcValue : record_->values[field]; }
    void SetField(int field, double value) {
        if (positions_) return;
        record_->values[field] = value;
        if (field == kSourceFieldDc) {
            record_->dcValue = value;
            record_->dcGiven = 1;
        }
    }

    SourceRecord* record_;
    bool report_;
    StimulusPositions* positions_;
    SchematicObject* part_;
    std::vector<SoToken> tokens_;
    size_t next_ = 0;
    int pending_ = -1;
    bool dcSeen_ = false;
    bool functionGiven_ = false;
    int result_ = 0;
};

int SoStimulusParser::Evaluate(const std::string& token, double* out) {
    if (positions_) return 0;
    std::string text = token;
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
    int status = 0;
    double value = EvaluateFieldValue(text.c_str(), &status);
    if (status) return Fail(status, token.c_str());
    *out = value;
    return 0;
}

int SoStimulusParser::Tolerance(bool* consumed) {
    *consumed = false;
    const std::string& token = tokens_[next_].text;
    ToleranceKeyword keyword;
    if (!ParseToleranceKeyword(token.c_str(), &keyword)) return 0;
    *consumed = true;
    ++next_;
    if (*keyword.rest) return Fail(kSoMsgExtraText, keyword.rest);
    if (pending_ < 0) return Fail(kSoMsgIllegalUse, token.c_str());
    if (!More()) return Fail(kSoMsgExpectingToFollow, "<value>", token.c_str());
    const std::string& amount = tokens_[next_++].text;
    if (positions_) return 0;
    int rc = record_->tolerances[pending_].Set(FieldValue(pending_), amount.c_str(), keyword.isLot, keyword.digits,
                                               keyword.distribution);
    if (rc) {
        const char* label = keyword.isLot ? "Lot" : "Dev";
        const std::string rows = std::string(label) + " #:\t" + keyword.digits + "\n";
        return Fail(rc, label, "", rows.c_str());
    }
    return 0;
}

int SoStimulusParser::Dc(int tokenPosition, const std::string& token) {
    if (dcSeen_) return Fail(kSoMsgAlreadyDc);
    double value = 0;
    int rc = Evaluate(token, &value);
    if (rc) return rc;
    if (positions_) positions_->dc = tokenPosition;
    SetField(kSourceFieldDc, value);
    pending_ = kSourceFieldDc;
    dcSeen_ = true;
    return 0;
}

int SoStimulusParser::Parameters(const TransientFunction& function) {
    const std::string& keyword = tokens_[next_ - 1].text;
    int given = 0;
    for (int i = 0; i < function.parameterCount && More(); ++i) {
        const SoToken& token = tokens_[next_];
        if (!positions_ && !IsValidValue(token.text)) return Fail(kSoMsgExtraText, token.text.c_str());
        double value = 0;
        int rc = Evaluate(token.text, &value);
        if (rc) return rc;
        if (positions_) positions_->parameters[i] = token.position;
        SetField(i, value);
        if (!positions_) record_->lastParameter = i;
        pending_ = i;
        ++given;
        ++next_;
        bool consumed = true;
        while (More() && consumed) {
            rc = Tolerance(&consumed);
            if (rc) return rc;
        }
        if (More() && so_EndsParameters(tokens_[next_].text)) break;
    }
    if (given == function.parameterCount && More() && !so_EndsParameters(tokens_[next_].text))
        return Fail(kSoMsgExtraText, tokens_[next_].text.c_str());
    if (given < 2 && function.kind != kFunctionNoise) return Fail(kSoMsgNeedTwoValues, keyword.c_str());
    return 0;
}

int SoStimulusParser::Pwl(const SoToken& keyword) {
    if (positions_) {
        positions_->pwlStart = More() ? tokens_[next_].position : keyword.position + 3;
        return 0;
    }
    std::vector<PwlEntry> entries;
    int depth = 0, deepest = 0;
    bool emptyRepeat = false;  // found when the list is complete (it was read once already)
    std::string trigger;
    while (More()) {
        const std::string token = tokens_[next_++].text;
        if (so_Is(token, "TIME_SCALE_FACTOR")) {
            if (!More()) return Fail(kSoMsgPwlMissingTimeScale);
            int rc = Evaluate(tokens_[next_++].text, &record_->timeScale);
            if (rc) return rc;
            if (record_->timeScale == 0) return Fail(kSoMsgPwlZeroTimeScale);
        } else if (so_Is(token, "VALUE_SCALE_FACTOR")) {
            if (!More()) return Fail(kSoMsgPwlMissingValueScale);
            int rc = Evaluate(tokens_[next_++].text, &record_->valueScale);
            if (rc) return rc;
        } else if (so_Is(token, "TRIGGER")) {
            if (More()) trigger = tokens_[next_++].text;
        } else if (so_Is(token, "NOBRKPNTS")) {
            record_->noBreakpoints = 1;
        } else if (so_Is(token, "REPEAT")) {
            deepest = std::max(deepest, ++depth);
            PwlEntry entry;
            entry.kind = kPwlRepeat;
            if (More() && so_Is(tokens_[next_].text, "FOR")) {
                ++next_;
                if (!More() || !IsValidValue(tokens_[next_].text)) return Fail(kSoMsgPwlMissingFor);
                double count = 0;
                int rc = Evaluate(tokens_[next_++].text, &count);
                if (rc) return rc;
                entry.repeatCount = so_ToInt(count);
                entry.number = entry.repeatCount;
            } else if (More() && so_Is(tokens_[next_].text, "FOREVER")) {
                ++next_;
                entry.repeatCount = -1;
            } else {
                return Fail(kSoMsgPwlExpectingFor);
            }
            entries.push_back(std::move(entry));
        } else if (so_Is(token, "ENDREPEAT")) {
            if (--depth < 0) return Fail(kSoMsgPwlEndBeforeRepeat);
            if (!entries.empty() && entries.back().kind == kPwlRepeat) emptyRepeat = true;
            PwlEntry entry;
            entry.kind = kPwlEndRepeat;
            entries.push_back(std::move(entry));
        } else if (so_Is(token, "FILE")) {
            Fail(kSoMsgPwlFileNotSupported);
            result_ = kResultShown;
            if (More()) ++next_;
        } else {
            if (!IsValidValue(token)) return Fail(kSoMsgIllegalValue, token.c_str());
            PwlEntry entry;
            int rc = Evaluate(token, &entry.number);
            if (rc) return rc;
            if (!More() || !IsValidValue(tokens_[next_].text)) return Fail(kSoMsgPwlMissingValue);
            entry.value = tokens_[next_++].text;
            entries.push_back(std::move(entry));
        }
    }
    if (depth > 0) return Fail(kSoMsgPwlMissingEnd);
    if (emptyRepeat) return Fail(kSoMsgPwlEmptyRepeat);
    record_->pwl = std::move(entries);
    record_->repeatDepth = deepest;
    record_->repeatCounters.assign(deepest, 0);
    record_->repeatStarts.assign(deepest, 0);
    record_->repeatTimes.assign(deepest, 0.0);
    if (trigger.size() >= 2 && trigger.front() == '{' && trigger.back() == '}')
        trigger = trigger.substr(1, trigger.size() - 2);
    if (!trigger.empty()) AddTextItem(trigger.c_str(), &record_->trigger);
    return 0;
}

int SoStimulusParser::Parse() {
    int rc = 0;
    const TransientFunction* function = nullptr;
    while (More() && !rc) {
        bool consumed = false;
        rc = Tolerance(&consumed);
        if (rc || consumed) continue;
        const int previous = pending_;
        pending_ = -1;
        const SoToken& token = tokens_[next_++];
        if (so_Is(token.text, "DC")) {
            if (dcSeen_) {
                rc = Fail(kSoMsgAlreadyDc);
            } else if (!More()) {
                rc = Fail(kSoMsgExpectingToFollow, "<value>", "DC");
            } else {
                const SoToken& value = tokens_[next_++];
                rc = Dc(value.position, value.text);
            }
        } else if (IsValidValue(token.text)) {
            if (previous == kSourceFieldAcMagnitude) {
                double value = 0;
                rc = Evaluate(token.text, &value);
                if (!rc) {
                    if (positions_) positions_->acPhase = token.position;
                    SetField(kSourceFieldAcPhase, value);
                    pending_ = kSourceFieldAcPhase;
                }
            } else {
                rc = Dc(token.position, token.text);
            }
        } else if (so_Is(token.text, "AC")) {
            if (!More()) {
                rc = Fail(kSoMsgExpectingToFollow, "<value>", "AC");
            } else {
                const SoToken& value = tokens_[next_++];
                double magnitude = 0;
                rc = Evaluate(value.text, &magnitude);
                if (!rc) {
                    if (positions_) positions_->acMagnitude = value.position;
                    SetField(kSourceFieldAcMagnitude, magnitude);
                    pending_ = kSourceFieldAcMagnitude;
                }
            }
        } else if (so_Is(token.text, "DISTOF1") || so_Is(token.text, "DISTOF2")) {
            // A distortion input (magnitude, then phase) of a SPICE3 deck:
            // accepted, its values read past, and the user told they do nothing.
            for (int field = 0; field < 2 && More() && IsValidValue(tokens_[next_].text); ++field) ++next_;
            if (report_ && !positions_)
                ReportCompilerMessage(part_, PartScope(part_), nullptr, kSoMsgDistortionInputUnused,
                                      token.text.c_str());
        } else if (so_Is(token.text, "STIMULUS")) {
            Fail(kSoMsgStimulusNotSupported);
            result_ = kResultShown;
            if (More()) ++next_;
        } else {
            const TransientFunction* named = nullptr;
            for (const TransientFunction& row : TransientFunctionTable)
                if (*row.keyword && so_Is(token.text, row.keyword)) named = &row;
            if (!named || function) {
                rc = Fail(kSoMsgExtraText, token.text.c_str());
            } else {
                function = named;
                if (!positions_) record_->functionKind = named->kind;
                if (named->kind == kFunctionPwl) {
                    rc = Pwl(token);
                    break;
                }
                rc = Parameters(*named);
            }
        }
    }
    if (positions_) return rc;
    record_->values[kSourceFieldDc] = record_->dcValue;
    std::copy(std::begin(record_->values), std::end(record_->values), std::begin(record_->nominal));
    if (!rc && !result_ && function && function->kind == kFunctionGaussian && !(record_->values[2] > 0))
        rc = Fail(kSoMsgWidthPositive, function->keyword);
    return rc ? rc : result_;
}

}  // namespace

int ParseStimulus(SourceRecord* record, const char* text, bool report, StimulusPositions* positions,
                  SchematicObject* part) {
    if (!record && !positions) return 0;
    SoStimulusParser parser(record, text ? text : "", report, positions, part);
    return parser.Parse();
}

int SetupSpiceSource(int node1, int node2, int sourceKind, SchematicObject* part, const char* valueText) {
    int status = 0;
    SourceRecord* record = AddSourceDevice(node1, node2, sourceKind, 0.0, &status);
    if (!record) return status;
    int rc = RegisterPartName(record, sourceKind, nullptr, &record->working, part);
    if (rc) return rc;
    return ParseStimulus(record, valueText, true, nullptr, part);
}

namespace {

template <class Record>
Record* so_AddRecord(int list) {
    auto* record = DeviceLists()[list].pool.AddNewConstructed<Record>(DeviceListCreationKind[list]);
    if (!record) ReportCompileOutOfMemory();
    return record;
}

}  // namespace

int SetupPulseSource() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = so_AddRecord<PulseSourceRecord>(kListPulseSources);
    if (!record) return kResultShown;
    record->model = FindPartModelRecord(CurrentCircuitDocument(), part);
    if (!record->model) return kResultShown;
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    return RegisterPartName(record, kTypePulseSource, record->model, nullptr, part);
}

int SetupSineSource() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = so_AddRecord<SineSourceRecord>(kListSineSources);
    if (!record) return kResultShown;
    record->model = FindPartModelRecord(CurrentCircuitDocument(), part);
    if (!record->model) return kResultShown;
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    record->internalNode = record->node1;
    const double rs = ModelParameter(record->model, "RS");
    if (rs != 0) {
        record->internalNode = MakeNamedInternalNode(rs, record->node1, "_plus");
        int status = 0;
        if (!AddResistorDevice(record->node1, record->internalNode, rs, 0, &status)) return status;
    }
    return RegisterPartName(record, kTypeSineSource, record->model, nullptr, part);
}

int SetupUserSource() {
    SchematicObject* part = CurrentSetupPart;
    auto* record = so_AddRecord<UserSourceRecord>(kListUserSources);
    if (!record) return kResultShown;
    record->node1 = PartPin(part, 0);
    record->node2 = PartPin(part, 1);
    int error = 0;
    record->fileName = SubstitutedAttribute(part, kAttrFile, false, &error);
    if (error) return error;
    record->expression = SubstitutedAttribute(part, kAttrExpression, true, &error);
    if (error) return error;
    if (*GetAttributeText(part, kSoAttrRepeat)) {
        int status = 0;
        const double repeat = EvaluatePartAttribute(part, kSoAttrRepeat, &status);
        if (status) return status;
        record->repeat = so_ToInt(std::round(repeat));  // halves away from zero
    }
    return RegisterPartName(record, kTypeUserSource, nullptr, nullptr, part);
}
