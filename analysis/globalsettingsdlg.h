// Options > Global Settings...: the modal dialog over the option texts, with
// the integration method, the two sets of defaults and the ".Options" button
// that writes the settings into the topmost circuit.
#pragma once

#include "shell/dialogs.h"

constexpr unsigned kGlobalSettingsTemplate = 18410;
enum GlobalSettingsControl : int {
    kIdMethodGear = 5636,
    kIdMethodTrap = 5637,
    kIdStandardDefault = 5647,
    kIdPowerDefault = 5648,
    kIdWriteOptions = 5649,
};

class CGlobalSettingsDlg : public CDialog2 {
public:
    CGlobalSettingsDlg();

    bool OnInitDialog() override;
    void OnOK() override;
    void OnControl(int id, platform::Notify notification) override;

    // Whether a row may be edited now: every row while no analysis is open;
    // else only live rows the open circuit's .OPTIONS did not set.
    static bool RowEditable(int row);
    static bool MethodEditable();

private:
    void SetOptionControl(int row, const char* text);
    void SetDefaultOptionControls(bool power);
};

// The command: runs the dialog, then writes tarn.dat (after OK or Cancel).
void GlobalSettingsCommand();
