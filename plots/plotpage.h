// The base of the "Plot" pages of the plot windows' property sheets: the
// title with its Auto box, the choice of the temperature, Monte Carlo case
// and stepped-parameter value to show, the variables laid along the X (and Z)
// axes, a curve choice list and the performance-function expression with its
// Get button. A page keeps its selections in a PlotSource.
//
// Derived pages give the dialog description (with the control ids below)
// and name their variable combo boxes with SetVariableCombos.
#pragma once

#include <cstdint>
#include <string>

#include "plots/plotrunstate.h"
#include "plots/plotsource.h"
#include "shell/dialogs.h"

class CANDoc;

namespace plotpage {
constexpr int TitleEdit = 20300;
constexpr int AutoTitleBox = 20301;
constexpr int TemperatureLabel = 20500;
constexpr int TemperatureCombo = 20501;
constexpr int PanelLabelFirst = 20502;  // 20502 - 20521: names of panels 0-19
constexpr int PanelComboFirst = 20522;  // 20522 - 20541: value choices of panels 0-19
constexpr int GetButton = 20555;
constexpr int ExpressionEdit = 20556;
constexpr int PanelControlCount = 20;
constexpr int TitleLimit = 100;  // characters of a stored title
}  // namespace plotpage

// Registers the prompts of the page's controls.
void RegisterPlotPageMessages();

// The performance-function selector belongs to the performance windows, which
// install it at start-up. It puts the chosen function's text into `chosen` and
// returns 0, or returns non-zero when nothing was chosen (kResultNotBuilt
// until it is installed).
class PerformanceFunctionSelector {
public:
    virtual ~PerformanceFunctionSelector() = default;
    virtual int GetPerformanceFunction(CPropertyPage2& page, std::string& chosen) = 0;
};
PerformanceFunctionSelector& PerformanceFunctions();
// Installs the selector; null restores the null object. Returns the previous one.
PerformanceFunctionSelector* InstallPerformanceFunctions(PerformanceFunctionSelector* selector);

// The name of a variable code: "Temperature" (1), "Case" (3), a stepping
// panel's display name (1000 + i; for the distortion analysis 1020 is "Input
// Source Amplitude"); empty for any other code.
void FormatPlotVariableName(int code, std::string& out);
void FormatPlotVariableName(const PlotRunState& state, int code, std::string& out);
// 1 when a stepping panel from 10 up of the running kind is enabled; 0
// without an analysis document or when stepping runs with all variables
// stepped together.
int AnyHighSteppingPanel();
int AnyHighSteppingPanel(const PlotRunState& state);

class CPlotPage : public CPropertyPage2 {
public:
    // `document` is the window's document, whose title the page edits; a
    // performance document (kind 12) adds "All" to the case lists.
    CPlotPage(unsigned templateId, int captionId, CANDoc* document);
    ~CPlotPage() override;

    // ---- title
    void InitTitle();
    void StoreTitle();
    void RestoreTitle();
    void OnAutoTitle();

    // ---- case choices
    // True when the page has the temperature combo (20501).
    bool AttachTemperatureCombo() const;
    void FillTemperatureCombo(int32_t selectedCase);
    void FillCaseCombos(const PlotSource& source);
    void ReadTemperatureChoice(int32_t& selectedCase);
    // 1 when any case changed, else 0.
    int ReadCaseChoices(PlotSource& source);

    // ---- axis choices
    void FillAxisChoiceCombos(int32_t xCode, int32_t zCode, bool withZ);
    // -1 (nothing changed) when X and Z name the same variable; else 1 when
    // anything changed, 0 when nothing did.
    int StoreAxisChoices(PlotSource& source, bool withZ);
    void UpdateSteppedControls(bool disable, int32_t xCode, int32_t zCode);
    void UpdateTemperatureControls(bool disable, bool xIsTemperature, bool zIsTemperature);
    void UpdateChoiceControls(bool disable, bool withZ);

    // ---- curve choice
    // Fills `comboId` with the Y expressions of the plotted curve rows of the
    // running kind (fromRows) or of the first `count` curves of `document`,
    // and selects `text` (without regard to case), else `defaultIndex`, else
    // the first entry. Each entry's data is its row or curve index.
    void FillCurveCombo(int comboId, CANDoc* document, const std::string& text, int defaultIndex, int count,
                        bool fromRows);

    // ---- performance function
    void OnGetPerformanceFunction();
    void OnSteppedChoice(int comboId);
    void OnExpressionEdited();
    void ReadPerformanceText(std::string& out) const;
    void ReadPerformanceExpression(PlotSource& source) const;
    void ShowPerformanceExpression(const PlotSource& source);

    void OnControl(int id, platform::Notify what) override;

    // The selected variable code of a variable combo; -1 when none is selected.
    int32_t SelectedCode(int comboId) const;
    bool IsPerformancePage() const;
    CANDoc* Document() const { return document_; }

    // ---- fields
    std::string Title;
    std::string SavedTitle;
    int32_t AutoTitle = 0;
    int32_t SavedAutoTitle = 0;
    int32_t KeepTemperature = 0;
    int32_t PanelCount = plotpage::PanelControlCount;
    int32_t SettingText = 0;

protected:
    // The combo ids of the X variable, the second choice and the Z variable
    // (0: the page has none).
    void SetVariableCombos(int xCombo, int secondCombo, int zCombo);
    // The automatic title of the page; the base's is the document's own.
    virtual std::string AutomaticTitle();
    // The expression field was edited; the base does nothing.
    virtual void OnExpressionChanged() {}

private:
    void ShowAutomaticTitle();
    bool TemperatureChoiceShown(const PlotRunState& state) const;
    void FillVariableList(int comboId, const PlotRunState& state);
    void SelectCode(int comboId, int32_t code, int previousIndex, bool lastWhenNone);
    void FillPanelCombo(int panel, const PlotRunState& state, int32_t selectedCase);
    void FillMonteCarloCombo(const PlotRunState& state, int32_t selectedCase);
    void SelectCase(int comboId, int32_t selectedCase);

    CANDoc* document_ = nullptr;
    int xCombo_ = 0, secondCombo_ = 0, zCombo_ = 0;
    bool titleAttached_ = false;
};
