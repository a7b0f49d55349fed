// What the curve grid of the Analysis Limits dialog offers besides typing: the
// usual values of each column, wrapping a cell's text in a function, and the
// Expand dialog that edits one cell's text at full size.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/menu.h"
#include "shell/dialogs.h"

class CCTDoc;
struct AnalysisKindSettings;

// ---- the expression menu ----------------------------------------------------------------------

// Command ids of the expression menu.
enum ExpressionMenuIds : int {
    kIdLimitsExpandCommand = 17109,
    kIdListDeviceGroupFirst = 205,  // 205-215 device groups, 216-217 further groups
    kIdListNodeVoltages = 218,
    kIdListDigitalStates = 219,
    kIdFunctionFirst = 3400,  // 3400-3499 functions
    kIdVariableFirst = 3500,  // variables, constants, symbolics, then operators and curves
};
// The device quantity groups, in menu order, with their submenu titles.
struct DeviceQuantityGroup {
    int group;
    const char* title;
};
extern const DeviceQuantityGroup kDeviceQuantityGroups[11];

// What an expression menu offers for one analysis kind of a circuit.
struct ExpressionMenuSource {
    int kind = 0;
    std::vector<std::string> analogNodes, digitalNodes;
    // Entries of each device quantity group ("V(R1)"), by group number.
    std::unordered_map<int, std::vector<std::string>> deviceGroups;
    struct SymbolGroup {
        std::string title;
        std::vector<std::string> items;
    };
    std::vector<SymbolGroup> symbolics;
    std::vector<std::string> curveX, curveY;  // the waveform files' curves
};
// The nodes, device quantities and symbols of the circuit's compiled form.
ExpressionMenuSource CollectExpressionMenuSource(CCTDoc* document, int kind);

// What choosing an item of the expression menu asks for.
struct ExpressionMenuChoice {
    enum Action { kNone, kExpand, kInsert, kOperator, kFunction, kList } action = kNone;
    std::string text;               // kInsert/kOperator: the item; kFunction: its name; kList: the caption
    int argumentCount = 0;          // kFunction
    std::vector<std::string> list;  // kList: the entries of the list dialog
};

// The right-button menu of expression fields: variables, constants,
// symbolics, functions, operators and curves. A group of more than 20
// entries becomes one "..." item that opens the list dialog.
class ExpressionMenu {
public:
    void Build(const ExpressionMenuSource& source, bool withExpand);
    platform::Menu& Menu() { return menu_; }
    ExpressionMenuChoice Choice(int id) const;
    int FirstOperatorId() const { return firstOperator_; }
    int FirstCurveId() const { return firstCurve_; }
    int EndCurveId() const { return endCurve_; }

private:
    platform::Menu menu_;
    std::unordered_map<int, ExpressionMenuChoice> choices_;
    int firstOperator_ = 0, firstCurve_ = 0, endCurve_ = 0;
};

// Applies a choice to a text: an item replaces the selection [start, end) of
// `text` (the whole text when start is -1), an operator goes in with a blank
// on each side, a function wraps the whole text (SUM with `x`).
std::string ApplyExpressionChoice(const ExpressionMenuChoice& choice, const std::string& text, int start, int end,
                                  const std::string& x);

// The list dialog of a "..." item: OK gives the selected line.
constexpr unsigned kListChoiceTemplate = 218;
constexpr int kIdListChoice = 109;
class CListChoiceDlg : public CDialog2 {
public:
    CListChoiceDlg(const std::string& caption, std::vector<std::string> entries);
    bool OnInitDialog() override;
    void OnOK() override;
    const std::string& Chosen() const { return chosen_; }

private:
    std::vector<std::string> entries_;
    std::string chosen_;
};

// Where the limits dialog's menus are shown; tests and batch runs answer
// them. The default shows the menu at the point and returns the chosen id (0
// none).
class LimitsMenuTracker {
public:
    virtual ~LimitsMenuTracker() = default;
    virtual int Track(platform::Menu& menu, platform::Point screen) = 0;
};
LimitsMenuTracker& LimitsMenus();
// Installs the tracker (null: the default); returns the previous one.
LimitsMenuTracker* InstallLimitsMenuTracker(LimitsMenuTracker* tracker);

// The entries of a column's menu (0 P, 1 X Expression, 3 X Range, 4 Y Range):
// its fixed entries, then each distinct text of the kind's rows (not empty,
// not equal without case to an earlier one or to a fixed entry). Column 2
// (Y Expression) has no column menu.
std::vector<std::string> ColumnMenuEntries(const AnalysisKindSettings& settings, int kind, int column);
// A column menu choice for every row (a header column selected): "None" in
// the P column empties it; range columns take the text as the range.
// False when out of memory.
bool ApplyColumnChoice(AnalysisKindSettings& settings, int column, const std::string& choice);
// The cell text wrapped in a function of `argumentCount` arguments: SUM takes
// the row's X expression as its second argument, CS and COH take f, CC takes
// t, others get "?" for each further argument; an empty text becomes "?".
std::string WrapInFunction(const std::string& name, const std::string& text, const std::string& x, int argumentCount);

// The Expand dialog: a large edit for one cell's text. OK gives the text with
// its line breaks turned into blanks.
constexpr unsigned kExpandTemplate = 3103;
constexpr int kIdExpandText = 115;
class CExpandDlg : public CDialog2 {
public:
    explicit CExpandDlg(const std::string& text);
    bool OnInitDialog() override;
    void OnOK() override;
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
// Each line break (CR, LF or a CR LF pair) becomes one blank.
std::string JoinExpandedLines(const std::string& text);
