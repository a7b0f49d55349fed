// The Format dialog of display number formats ("3", "5E", "2F", "4G"), and
// the digits edit-and-spin pair it shares with property pages.
#pragma once

#include <string>

#include "shell/dialogs.h"

constexpr int kNumberFormatTemplate = 454;
constexpr int kFormatScientific = 5801;
constexpr int kFormatEngineering = 5802;
constexpr int kFormatDecimal = 5803;
constexpr int kFormatDefault = 5804;
constexpr int kFormatDigitsEdit = 5805;
constexpr int kFormatDigitsSpin = 5806;
constexpr int kFormatSample = 1217;

// The radio buttons, digits edit and spin of a format on a panel; their ids
// are the Format dialog's plus an offset.
class CDigitsSpinEdit {
public:
    // Makes the edit the spin's buddy, range 0 to 16, and shows the format.
    void Attach(platform::ControlPanel& panel, const std::string& spec, int idOffset = 0);
    // Selects the style button of the format and shows its digits.
    void ShowSpec(const std::string& spec);
    // The format the controls show: the digits clamped to 0..16 (written back
    // into the edit unless only looked at), the style letter of the selected
    // button.
    std::string ReadSpec(bool writeBack = true);
    // Reads the format into `spec`; true when it changed.
    bool StoreIfChanged(std::string& spec);

private:
    platform::ControlPanel* panel_ = nullptr;
    int offset_ = 0;
};

class CNumberFormatDlg : public CDialog2 {
public:
    // Edits the format text `spec` in place.
    CNumberFormatDlg(std::string& spec, platform::Window* parent = nullptr);
    // Set by OK when the format was changed.
    bool changed = false;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnControl(int id, platform::Notify what) override;
    // The sample value written with the edited spec.
    void RefreshSample();

private:
    std::string& spec_;
    std::string opened_;
    CDigitsSpinEdit digits_;
};
