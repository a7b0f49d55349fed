// The Analysis Limits dialog: the modeless window beside the analysis plot in
// which the user edits the limits of the running kind — its limit fields, run
// options and sweep methods — and the curve grid: a scrolling table of curve
// rows, five cells (P, X and Y expression, X and Y range) and a strip of style
// buttons per shown line, under a header whose items select a column and
// open its menu.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "analysis/limitsmenus.h"
#include "shell/dialogs.h"
#include "shell/exprfield.h"

class CCTDoc;
struct AnalysisKindSettings;

enum AnalysisLimitsControl : int {
    kIdLimitField = 17131,  // + field index
    kIdLimitsRun = 17106,
    kIdLimitsAdd = 17107,
    kIdLimitsDelete = 17108,
    kIdLimitsExpand = 17109,
    kIdLimitsStepping = 17110,
    kIdLimitsProperties = 15678,
    kIdLimitsScroll = 17111,
    kIdRunOptions = 17112,
    kIdStateVariables = 17113,
    kIdSweepMethod = 17114,  // AC frequency sweep, DC Variable 1
    kIdOperatingPoint = 17115,
    kIdOperatingPointOnly = 17116,
    kIdSweep2Method = 17117,  // DC Variable 2
    kIdTemperatureMethod = 17118,
    kIdFocusRunOptions = 17119,  // Alt+R
    kIdAmplitudeMethod = 17120,
    kIdFocusStateVariables = 17125,  // Alt+S
    kIdAutoScaleRanges = 17105,
    kIdModelParameter1 = 17144,
    kIdModelParameter2 = 17145,
    kIdLimitsHeader = 16605,  // header item i (0 P ... 4 Y Range, 5 ">"): 16606 + i
};
// Commands the dialog posts to the main window.
constexpr int kCmdLimitsRun = 16068;
constexpr int kCmdStepping = 18100;
constexpr int kCmdPlotProperties = 15678;

// The grid owns 30 lines of five cells: (line + 3) * 100 + column, column
// 0 P ... 4 Y Range; the style buttons of a line are (line + 3) * 100 + 10 + b.
constexpr int kLimitsGridLines = 30;
constexpr int LimitsCellId(int line, int column) { return (line + 3) * 100 + column; }
constexpr int LimitsHeaderId(int item) { return kIdLimitsHeader + 1 + item; }
enum LimitsStripButton : int { kStripLogX = 0, kStripLogY, kStripColor, kStripNumeric, kStripChart };
constexpr int LimitsStripId(int line, int button) { return (line + 3) * 100 + 10 + button; }
constexpr int kColorMenuFirst = 19800;  // 64 colours

// A range cell's text: the range alone, or with its grid and bold grid
// spacings ("10,0,2,10"); a range without a comma gets ",0" before them.
std::string RangeCellText(const char* range, const char* grid, const char* bold);
// Splits a range cell's text at commas outside parentheses: the first two
// parts (trimmed) are the range, the third the grid and the fourth the bold
// grid spacing. False when out of memory.
bool StoreRangeCellText(const std::string& text, char** range, char** grid, char** bold);

// A Y Expression cell of the grid: its brackets coloured by depth, its right
// button opening the expression menu through the dialog.
class CLimitsRichEdit : public CExprRichEditNotify {};

class CAnalysisLimitsDlg : public CDialog2 {
public:
    CAnalysisLimitsDlg(CCTDoc* document, int kind);
    ~CAnalysisLimitsDlg() override;

    bool OnInitDialog() override;
    // Enter never closes the dialog: what was typed is stored and the focus
    // moves as the Down key moves it.
    void OnOK() override;
    // Close: what was typed is stored and the dialog goes.
    void OnCancel() override;
    void OnControl(int id, platform::Notify notification) override;
    bool OnDialogKey(int key, unsigned modifiers) override;
    void OnDrawItem(platform::DrawItemInfo& item) override;
    // Resizing keeps a whole number of lines; a narrow window narrows the
    // widest column (not below 50 pixels), spare width goes to Y Expression.
    void OnSize(int width, int height) override;
    // The prompt bar shown or hidden by the status-bar preference; the lines
    // that fit the work area computed again.
    void FollowStatusBar();
    void FitToWorkArea();
    // The prompt of a grid cell, header item, style button or limit field.
    void OnPrompt(int id) override;
    // The prompt id shown for a control (0: its own).
    int PromptIdOf(int id) const;

    // The limit texts and the shown curve rows into the controls.
    void FillFields();
    // The controls into the limits; marks the circuit changed when anything did.
    void StoreFields();
    int AnalysisKind() const { return kind_; }
    CCTDoc* Document() const { return document_; }
    bool Changed() const { return changed_; }

    // --- the grid
    int TopRow() const { return topRow_; }
    int ShownLines() const { return shownLines_; }
    int MaxLines() const { return maxLines_; }
    int LinePitch() const { return pitch_; }
    int ColumnWidth(int column) const { return widths_[column]; }
    // Shows the rows from `row` on (within 0 and rows - shown lines).
    void ScrollTo(int row);
    // Puts the focus on a row's cell, scrolling so that the row is shown.
    void FocusCell(int row, int column);
    // The row and column of the focused cell; -1 when no cell has the focus.
    int FocusedRow() const;
    int FocusedColumn() const;
    // The focus on what an error refers to: area 1 limit field `index` (from 1
    // on), area 2 the cell of row `index` and `column` (-1 the P cell).
    void FocusError(int area, int index, int column);
    // Resizing: the number of shown lines (1 to the row count, at most 30).
    void SetShownLines(int lines);
    // End of a header divider drag: the column's new width (at least 12
    // pixels); the next column gives or takes the difference.
    void SetColumnWidth(int column, int pixels);
    // The ">" header item: each text column as wide as its widest text.
    void FitColumnsToContents();

    // --- the style strip and the menus
    // The left button on a row's style button.
    void ClickStyleButton(int row, int button);
    // A header item: ">" fits the columns; another selects its column and
    // opens its menu (the Y Expression header the expression menu).
    void ClickHeader(int item);
    int SelectedColumn() const { return selectedColumn_; }
    // A column menu choice (4000 up) for the focused cell or the selected column.
    void ColumnMenuChoice(int column, const std::string& text);
    // An expression menu choice for the focused cell, or for every row when
    // the Y Expression header is selected.
    void ExpressionMenuCommand(int id);
    // The expression menu of the focused cell at a point (the cells' right button).
    void OpenExpressionMenu(platform::Point screen);
    ExpressionMenu& ExpressionMenuOf() { return expressionMenu_; }
    // The Expand dialog for the focused cell or the selected column.
    void Expand();

private:
    void PlaceFirstTime();
    AnalysisKindSettings* Settings() const;
    int RowCount() const;
    void Relayout();
    void ApplyEnabling();
    void StoreCells();
    void StoreLine(int line, bool* changed, bool* failed);
    void MarkChanged();
    void PostToMainWindow(int command);
    void MoveFocus(int rows, bool wrap);
    void MoveFieldFocus(int id, int step);
    void AddRow();
    void DeleteRow();
    int StripButtons() const { return kind_ == 1 ? 5 : 4; }
    // The ">" header item: as wide as its text needs in the dialog's font.
    int FitHeaderWidth() const;
    void FillModelParameters(int list, const std::string& name);

    CCTDoc* document_;
    int kind_;
    bool changed_ = false;
    int focusedCell_ = -1;
    int selectedColumn_ = -1;
    int topRow_ = 0;
    int shownLines_ = 1;
    int maxLines_ = 30;
    int pitch_ = 20;
    int gridTop_ = 0;
    int widths_[5] = {};
    bool resizing_ = false;
    bool initialised_ = false;
    ExpressionMenu expressionMenu_;
    std::array<CLimitsRichEdit, kLimitsGridLines> expressionCells_;
};

// After Options > Status Bar: the open dialog's prompt bar follows the main
// status bar (one pane, one line), and its lines are fitted to the work area
// again. Nothing without an open dialog.
void LimitsWindowPromptBar();
void LimitsWindowFit();

// Opens the dialog of the kind for the circuit, or brings the open one to the
// front. 0, or a result code when it cannot be made.
int OpenLimitsDialog(CCTDoc* document, int kind);
// Closes the open dialog (storing what was typed), if any.
void CloseLimitsDialog();
CAnalysisLimitsDlg* ActiveLimitsDialog();
