#include "analysis/limits.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "analysis/limitsdlg.h"
#include "compiler/defines.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/properties.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "shell/report.h"

namespace {

const LimitField kTransientFields[] = {
    {"TRange", "Time Range", "1u"}, {"TStep", "Maximum Time Step", "0"},  {"NPts", "Number of Points", "51"},
    {"Temp", "Temperature", "27"},  {"RetraceRuns", "Retrace Runs", "1"},
};
const LimitField kAcFields[] = {
    {"FRange", "Frequency Range", "1E8,1Meg"}, {"NPts", "Number of Points", "51"}, {"Temp", "Temperature", "27"},
    {"MaxChng", "Maximum Change %", "5"},      {"NInput", "Noise Input", "NONE"},  {"NOutput", "Noise Output", "2"},
};
const LimitField kDcFields[] = {
    {"I2Range", "Variable 2 Range", ""},        {"I2", "Variable 2 Name", ""},
    {"I1Range", "Variable 1 Range", "10,0,.5"}, {"I1", "Variable 1 Name", ""},
    {"NPts", "Number of Points", "51"},         {"Temp", "Temperature", "27"},
    {"MaxChng", "Maximum Change %", "5"},
};
const LimitField kDistortionFields[] = {
    {"F0", "Fundamental Frequency", "10Khz"},
    {"ISource", "Input Source Name", ""},
    {"ISourceAmp", "Input Source Amplitude", "1mV"},
    {"OutExpr", "Output Expression", ""},
    {"Temp", "Temperature", "27"},
    {"Cycles", "Simulation Cycles", "5"},
    {"TStep", "Maximum Time Step", ".1u"},
};
constexpr int kDistortionOutput = 3;

bool li_Empty(const char* text) { return !text || !*text; }

// A text field set to a copy of `text`; false when out of memory.
bool li_Set(char** field, const char* text) { return SetString(field, text) != nullptr; }

int li_errorField = -1;
bool li_errorReported = false;

// Splits at the first comma outside parentheses: the part before it, and
// `rest` after it (false when there is no comma).
std::string li_SplitFirst(const std::string& text, std::string* rest, bool* hadComma) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
        else if (c == ',' && depth == 0) {
            *rest = text.substr(i + 1);
            *hadComma = true;
            return text.substr(0, i);
        }
    }
    rest->clear();
    *hadComma = false;
    return text;
}

bool li_IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

double li_Evaluate(const std::string& text, int* error) {
    *error = 0;
    return EvaluateNumericText(text.c_str(), error, 0);
}

}  // namespace

int LimitFieldCount(int kind) {
    switch (kind) {
    case 0: return 5;
    case 1: return 6;
    case 2: return 7;
    case 3: return 7;
    default: return 0;
    }
}

const LimitField* LimitFields(int kind) {
    switch (kind) {
    case 0: return kTransientFields;
    case 1: return kAcFields;
    case 2: return kDcFields;
    case 3: return kDistortionFields;
    default: return nullptr;
    }
}

int PointsFieldIndex(int kind) {
    static const int kIndex[] = {2, 1, 4, -1};
    return kind >= 0 && kind < 4 ? kIndex[kind] : -1;
}

int TemperatureFieldIndex(int kind) {
    static const int kIndex[] = {3, 2, 5, 4};
    return kind >= 0 && kind < 4 ? kIndex[kind] : -1;
}

int FillDefaultLimitTexts(AnalysisKindSettings& settings, int kind, const std::string& firstNode) {
    const LimitField* fields = LimitFields(kind);
    int changed = 0;
    for (int i = 0; i < LimitFieldCount(kind); ++i) {
        if (!li_Empty(settings.limits[i])) continue;
        std::string text = fields[i].defaultText;
        if (kind == 3 && i == kDistortionOutput) text = "V(" + (firstNode.empty() ? std::string("1") : firstNode) + ")";
        if (text.empty()) continue;
        if (!li_Set(&settings.limits[i], text.c_str())) return kResultNoMemory;
        changed = 1;
    }
    return changed;
}

void ClearLimitTexts(AnalysisKindSettings& settings, int kind) {
    for (int i = 0; i < LimitFieldCount(kind); ++i) ResetString(&settings.limits[i]);
}

NodeNamePicker::NodeNamePicker(std::vector<std::string> names, int step)
    : names_(std::move(names)), step_(step < 1 ? 1 : step) {}

std::string NodeNamePicker::Next() {
    const int count = static_cast<int>(names_.size());
    for (;;) {
        const int node = counter_ / step_;  // zero-based
        if (node >= count) {
            if (!firstPass_) return "";
            firstPass_ = false;
            counter_ = 0;
            continue;
        }
        const std::string& name = names_[static_cast<size_t>(node)];
        const bool named = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
        if (named == firstPass_) {
            ++counter_;
            return named ? name : std::to_string(node + 1);
        }
        counter_ = (node + 1) * step_;
    }
}

bool IsActiveCurveRow(const CurveRow& row) {
    return std::isdigit(static_cast<unsigned char>(row.plotGroup)) || (row.options & kOutputFlag);
}

int NextFreeCurveId(const AnalysisKindSettings& settings) {
    for (int id = 1;; ++id) {
        bool used = false;
        for (const auto& row : settings.curves)
            if (row && row->aliasId == id) used = true;
        if (!used) return id;
    }
}

void DeleteCurveRow(AnalysisKindSettings& settings, int index) {
    if (index < 0 || index >= static_cast<int>(settings.curves.size())) return;
    settings.curves.erase(settings.curves.begin() + index);
}

int FillDefaultCurveRows(AnalysisKindSettings& settings, int kind, const std::vector<std::string>& analog,
                         const std::vector<std::string>& digital, bool keepRows, bool forceAutoRanges) {
    const char* xDefault = kind == 2 ? "DCINPUT1" : kind == 1 ? "F" : "T";
    NodeNamePicker analogPicker(analog, kind == 1 ? 2 : 1);
    NodeNamePicker digitalPicker(digital, 1);
    int changed = 0;
    bool nodesLeft = true;
    for (size_t i = 0; i < settings.curves.size(); ++i) {
        CurveRow& row = *settings.curves[i];
        if (!IsActiveCurveRow(row)) continue;
        if (!keepRows && li_Empty(row.yExpression)) {
            if (!nodesLeft) {
                row.plotGroup = 0;
                changed = 1;
                continue;
            }
            std::string y;
            std::string node = analogPicker.Next();
            if (!node.empty()) {
                if (kind == 1)
                    y = (i % 2 == 0 ? "db(v(" : "ph(v(") + node + "))";
                else
                    y = "v(" + node + ")";
            } else {
                node = digitalPicker.Next();
                if (!node.empty() && kind != 1) y = "d(" + node + ")";
            }
            if (node.empty()) {
                // No node of either kind is left: this row and every later
                // empty one stay unplotted.
                nodesLeft = false;
                row.plotGroup = 0;
                changed = 1;
                continue;
            }
            if (!y.empty()) {
                if (!li_Set(&row.yExpression, y.c_str())) return kResultNoMemory;
                changed = 1;
            }
        }
        if (!keepRows && li_Empty(row.xExpression)) {
            if (!li_Set(&row.xExpression, xDefault)) return kResultNoMemory;
            changed = 1;
        }
        if (row.aliasId <= 0) {
            row.aliasId = NextFreeCurveId(settings);
            changed = 1;
        }
        for (char** range : {&row.xRange, &row.yRange}) {
            if (li_Empty(*range) || (forceAutoRanges && std::strcmp(*range, "Auto") != 0)) {
                if (!li_Set(range, "Auto")) return kResultNoMemory;
                changed = 1;
            }
        }
    }
    return changed;
}

std::string GetLimitText(CCTDoc* document, int kind, int index, int* status) {
    if (status) *status = 0;
    if (index < 0 || index >= LimitFieldCount(kind)) return "";
    AnalysisSettings* settings = CircuitAnalysisSettings(document);
    const char* text = settings ? settings->kinds[kind].limits[index] : nullptr;
    if (li_Empty(text)) return "";
    DefineTable* table = document ? GetDefineTable(document) : nullptr;
    if (!table) return text;
    char* substituted = nullptr;
    int rc = SubstituteDefines(table, &substituted, 1, text, 0, kMarkersToParentheses);
    if (!rc && !substituted) rc = kResultNoMemory;
    std::string result = substituted ? substituted : "";
    FreeString(&substituted);
    if (status) *status = rc;
    return rc ? std::string() : result;
}

int ParseLimitValues(const char* text, LimitValues* out, bool wantFrom, bool wantStep) {
    *out = LimitValues();
    const std::string whole = text ? text : "";
    std::string rest;
    bool comma = false;
    const std::string first = wantFrom ? li_SplitFirst(whole, &rest, &comma) : whole;
    int error = 0;
    out->to = li_Evaluate(first, &error);
    if (error) return error;
    out->count = 1;
    if (!wantFrom) return 0;
    std::string stepText;
    const std::string second = wantStep ? li_SplitFirst(rest, &stepText, &comma) : rest;
    if (!li_IsBlank(second)) {
        out->from = li_Evaluate(second, &error);
        if (error) return error;
        ++out->count;
    }
    if (!wantStep || li_IsBlank(stepText)) return 0;
    out->step = li_Evaluate(stepText, &error);
    if (error) return error;
    ++out->count;
    return 0;
}

void ReportLimitFieldError(int kind, int index, int code, const char* text) {
    if (li_errorReported) return;
    li_errorReported = true;
    li_errorField = kind * 100 + index;
    const LimitField* fields = LimitFields(kind);
    const char* label = fields && index >= 0 && index < LimitFieldCount(kind) ? fields[index].label : "";
    std::string context = std::string("Limit:\t") + label + "\nText:\t" + (text ? text : "") + "\n";
    // The field at fault gets the focus in the open Analysis Limits dialog.
    if (CAnalysisLimitsDlg* dialog = ActiveLimitsDialog(); dialog && dialog->AnalysisKind() == kind)
        dialog->FocusError(1, index, 0);
    if (code == kResultShown) return;
    Reporter().Report(Message(code).Context(context.c_str()));
}

bool LimitErrorReported() { return li_errorReported; }

void ResetLimitErrors() {
    li_errorReported = false;
    li_errorField = -1;
}

int LastLimitErrorField() { return li_errorField; }

int GetLimitValues(CCTDoc* document, int kind, int index, LimitValues* out) {
    *out = LimitValues();
    if (li_errorReported) return 0;
    int status = 0;
    const std::string text = GetLimitText(document, kind, index, &status);
    if (!status) status = ParseLimitValues(text.c_str(), out);
    if (status) {
        *out = LimitValues();
        ReportLimitFieldError(kind, index, status, text.c_str());
    }
    return status;
}

int GetLimitCount(CCTDoc* document, int kind, int index) {
    LimitValues values;
    if (GetLimitValues(document, kind, index, &values)) return 5;
    return std::max(5, ClampToInt(values.to));
}
