// The analysis limits of a circuit: the limit texts of each analysis kind with
// their circuit-file keys, labels and defaults, and their evaluation into
// numbers ("To[,From[,Step]]") for the analysis drivers. The texts themselves
// live in the circuit's AnalysisSettings (document/cfanalysis.h).
#pragma once

#include <string>
#include <vector>

class CCTDoc;
struct AnalysisKindSettings;
struct CurveRow;

struct LimitField {
    const char* key;          // circuit-file key
    const char* label;        // the field's name in the dialog and the numeric output
    const char* defaultText;  // "" for none
};

// The fields of an analysis kind (0 transient ... 3 distortion): 5, 6, 7 and 7;
// 0 and null for other kinds.
int LimitFieldCount(int kind);
const LimitField* LimitFields(int kind);
// The index of the "Number of Points" field: 2 transient, 1 AC, 4 DC; -1 else.
int PointsFieldIndex(int kind);
// Indexes of the temperature field: 3, 2, 5, 4.
int TemperatureFieldIndex(int kind);

// Fills every empty limit text of the kind with its default; a distortion
// output expression becomes "V(<firstNode>)", or "V(1)" when firstNode is
// empty. 1 when a text changed, 0 when none did, 15002 out of memory.
int FillDefaultLimitTexts(AnalysisKindSettings& settings, int kind, const std::string& firstNode);
// Every limit text of the kind back to the shared empty text.
void ClearLimitTexts(AnalysisKindSettings& settings, int kind);

// The node names offered to the default Y expressions of the curve rows, in
// node-number order: first the nodes whose name does not begin with a digit
// (when a node has several, the last entered wins), then the nodes without
// such a name, under their number. `step` 2 offers each node twice.
class NodeNamePicker {
public:
    // names[i] holds the name of node i + 1 ("" for none).
    NodeNamePicker(std::vector<std::string> names, int step);
    // The next name, or "" when every node was handed out.
    std::string Next();

private:
    std::vector<std::string> names_;
    int step_;
    int counter_ = 0;
    bool firstPass_ = true;
};

// Fills the curve rows of a kind with defaults: empty Y expressions of active
// rows take a node from `analog` (AC: "db(v(n))" on even rows, "ph(v(n))" on
// odd ones; else "v(n)"), then from `digital` ("d(n)"; nothing for AC); rows
// left without a node lose their plot group. Empty X expressions take the
// kind's X variable, missing curve ids the next free one, empty ranges "Auto"
// (every range with forceAutoRanges). With keepRows only ids and ranges are
// filled. 1 when anything changed, 0 when nothing did, 15002 out of memory.
int FillDefaultCurveRows(AnalysisKindSettings& settings, int kind, const std::vector<std::string>& analog,
                         const std::vector<std::string>& digital, bool keepRows, bool forceAutoRanges);
// A row becomes a plot curve or a numeric-output column.
bool IsActiveCurveRow(const CurveRow& row);
// The smallest positive id no row of the kind uses.
int NextFreeCurveId(const AnalysisKindSettings& settings);
// Removes row `index` (nothing for a bad index).
void DeleteCurveRow(AnalysisKindSettings& settings, int index);

// The limit text of a field with the circuit's defines substituted (the text
// as typed when the circuit has no define table); "" for a bad field.
// 0, 15002 or the substitution's result in *status (may be null).
std::string GetLimitText(CCTDoc* document, int kind, int index, int* status = nullptr);

struct LimitValues {
    double to = 0, from = 0, step = 0;
    int count = 0;  // values given: 1 To, 2 From, 3 Step
};
// Evaluates "To[,From[,Step]]" (splits at commas outside parentheses); an
// empty From or Step is 0 and not counted. wantFrom/wantStep false read only
// what precedes. 0 or the evaluator's result code.
int ParseLimitValues(const char* text, LimitValues* out, bool wantFrom = true, bool wantStep = true);
// GetLimitText and ParseLimitValues of a field; an error is reported once per
// run naming the field and its text (see ReportLimitFieldError).
int GetLimitValues(CCTDoc* document, int kind, int index, LimitValues* out);
// The field as a count: 5 on error, else the value saturated to an int and
// raised to at least 5.
int GetLimitCount(CCTDoc* document, int kind, int index);

// Reports a limits-field error (message `code`) once per run: the field label
// and its text go with it. Whether an error was reported since the last
// ResetLimitErrors.
void ReportLimitFieldError(int kind, int index, int code, const char* text);
bool LimitErrorReported();
void ResetLimitErrors();
// The field of the last reported error (kind * 100 + index) or -1: the Analysis
// Limits dialog focuses it.
int LastLimitErrorField();
