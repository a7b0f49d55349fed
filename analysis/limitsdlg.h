// The Analysis Limits dialog: the modeless window beside the analysis plot in
// which the user edits the limits of the running kind — its limit fields, run
// options and temperature method — and the curve grid, five cells (P, X and Y
// expression, X and Y range) per curve row.
#pragma once

#include <string>

#include "shell/dialogs.h"

class CCTDoc;
struct AnalysisKindSettings;

enum AnalysisLimitsControl : int {
    kIdLimitField = 17131,  // + field index
    kIdLimitsRun = 17106,
    kIdLimitsAdd = 17107,
    kIdLimitsDelete = 17108,
    kIdLimitsExpand = 17109,
    kIdRunOptions = 17112,
    kIdOperatingPoint = 17115,
    kIdOperatingPointOnly = 17116,
    kIdAutoScaleRanges = 17105,
    kIdTemperatureMethod = 17118,
};
// The grid's cells: (line + 3) * 100 + column, column 0 P ... 4 Y Range.
constexpr int kLimitsGridLines = 30;
constexpr int LimitsCellId(int line, int column) { return (line + 3) * 100 + column; }

// A range cell's text: the range alone, or with its grid and bold grid
// spacings ("10,0,2,10"); a range without a comma gets ",0" before them.
std::string RangeCellText(const char* range, const char* grid, const char* bold);
// Splits a range cell's text at commas outside parentheses: the first two
// parts (trimmed) are the range, the third the grid and the fourth the bold
// grid spacing. False when out of memory.
bool StoreRangeCellText(const std::string& text, char** range, char** grid, char** bold);

class CAnalysisLimitsDlg : public CDialog2 {
public:
    CAnalysisLimitsDlg(CCTDoc* document, int kind);

    bool OnInitDialog() override;
    // Enter never closes the dialog: what was typed is stored.
    void OnOK() override;
    // Close: what was typed is stored and the dialog goes.
    void OnCancel() override;
    void OnControl(int id, platform::Notify notification) override;

    // The limit texts and the shown curve rows into the controls.
    void FillFields();
    // The controls into the limits; marks the circuit changed when anything did.
    void StoreFields();
    int AnalysisKind() const { return kind_; }
    CCTDoc* Document() const { return document_; }
    bool Changed() const { return changed_; }

private:
    AnalysisKindSettings* Settings() const;
    void ShowLines();
    int FocusedRow() const;

    CCTDoc* document_;
    int kind_;
    bool changed_ = false;
    int focusedCell_ = -1;
};

// Opens the dialog of the kind for the circuit, or brings the open one to the
// front. 0, or a result code when it cannot be made.
int OpenLimitsDialog(CCTDoc* document, int kind);
// Closes the open dialog (storing what was typed), if any.
void CloseLimitsDialog();
CAnalysisLimitsDlg* ActiveLimitsDialog();
