// Analysis > Sensitivity...: how up to ten output expressions of the
// operating point change when one input variable (a part's value or a model
// parameter) rises by 0.1 %. One input fills the dialog's table; several are
// written as a report next to the circuit file and shown in a text window.
#pragma once

#include <string>
#include <vector>

#include "engine/sensitivity.h"
#include "shell/dialogs.h"

class CCTDoc;

constexpr unsigned kSensitivityTemplate = 17250;
enum SensitivityControl : int {
    kIdSensTable = 17251,
    kIdSensComponent = 17252,
    kIdSensModel = 17253,
    kIdSensSymbolic = 17254,
    kIdSensCalculate = 17255,
    kIdSensOne = 17256,
    kIdSensMultiple = 17257,
    kIdSensParamOne = 17258,
    kIdSensAllOn = 17259,
    kIdSensDefault = 17260,
    kIdSensAllOff = 17261,
    kIdSensNames = 17262,
    kIdSensParamMultiple = 17263,
    kIdSensClose = 23,
};
// Parameter types of the name list.
constexpr int kSensComponent = 8, kSensModel = 4, kSensSymbolic = 32;

// What the dialog keeps between its openings on one circuit.
struct SensitivitySettings {
    std::string outputs[kSensitivityOutputs];
    int paramType = kSensComponent;
    bool multiple = false;
    std::vector<SensitivityInput> inputs;  // the selected input variables
};

class CSensitivityDlg : public CDialog2 {
public:
    CSensitivityDlg(CCTDoc* document, SensitivitySettings& settings);

    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify notification) override;
    // Closing keeps the outputs in the settings.
    void OnCancel() override;

    // The calculation of the selected inputs: the table (One) or the report
    // (Multiple). 0, or the code that stopped it (reported).
    int Calculate();
    // The path of the last report written, "" when none.
    const std::string& ReportPath() const { return reportPath_; }

private:
    void FillNames();
    void FillParameters();
    void SyncSelection();
    void ShowMode();
    int ParameterList() const { return settings_.multiple ? kIdSensParamMultiple : kIdSensParamOne; }

    CCTDoc* document_;
    SensitivitySettings& settings_;
    std::vector<std::string> names_;
    std::string reportPath_;
};

// The steppable names of a parameter type: part names with a value
// (Component) or "TYPE name" of the circuit's models (Model); the circuit is
// compiled for the look-up and released again.
std::vector<std::string> ListSensitivityNames(CCTDoc* document, int paramType);
// The parameters of a name: "Value" for a part, the model type's parameter
// names for a model.
std::vector<std::string> ListSensitivityParameters(const std::string& name);

// The command on the topmost circuit window (nothing without one).
void SensitivityCommand(CCTDoc* document);
