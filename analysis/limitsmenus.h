// What the curve grid of the Analysis Limits dialog offers besides typing: the
// usual values of each column, wrapping a cell's text in a function, and the
// Expand dialog that edits one cell's text at full size.
#pragma once

#include <string>
#include <vector>

#include "shell/dialogs.h"

struct AnalysisKindSettings;

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
