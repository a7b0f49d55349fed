#include "analysis/globalsettingsdlg.h"

#include "analysis/globalsettings.h"
#include "compiler/options.h"
#include "compiler/session.h"
#include "core/settings.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "shell/app.h"

namespace {

platform::Point gs_position{-1, -1};

// The options of the circuit whose analysis is open, or null.
const CircuitOptions* gsd_OpenCircuitOptions() {
    if (gSolver.AnalysisKind == -1) return nullptr;
    const CompileSession* session = FindCompileSession(CurrentCircuitDocument());
    return session ? &session->options : nullptr;
}

platform::DialogDesc gsd_Description() {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = "Global Settings";
    constexpr int kRowsPerColumn = 21, kRowHeight = 13, kColumnWidth = 150;
    for (int i = 0; i < kOptionCount; ++i) {
        const int x = 7 + (i / kRowsPerColumn) * kColumnWidth;
        const int y = 7 + (i % kRowsPerColumn) * kRowHeight;
        const int id = OptionRowInfos[i].id;
        if (OptionsTable[i].type == kOptionFlag) {
            desc.controls.push_back(ControlDesc{ControlKind::CheckBox, id, OptionsTable[i].keyword, x, y, 130, 10, 0});
        } else {
            desc.controls.push_back(ControlDesc{ControlKind::Static, -1, OptionsTable[i].keyword, x, y + 2, 80, 8, 0});
            desc.controls.push_back(ControlDesc{ControlKind::Edit, id, "", x + 82, y, 60, 12, 0});
        }
    }
    const int bottom = 7 + 21 * kRowHeight + 4;
    desc.controls.push_back(ControlDesc{ControlKind::GroupBox, -1, "METHOD", 7, bottom, 140, 26, 0});
    desc.controls.push_back(
        ControlDesc{ControlKind::RadioButton, kIdMethodGear, "GEAR", 14, bottom + 11, 50, 10, platform::style::Group});
    desc.controls.push_back(
        ControlDesc{ControlKind::RadioButton, kIdMethodTrap, "TRAPEZOIDAL", 70, bottom + 11, 70, 10, 0});
    const int buttons = bottom + 32;
    // Each button as wide as its text needs, in one row across the dialog.
    const struct {
        int id;
        const char* text;
        int width;
    } kButtons[] = {{1, "&OK", 40},
                    {2, "&Cancel", 40},
                    {kIdStandardDefault, "Standard &Default", 66},
                    {kIdPowerDefault, "&Power Default", 56},
                    {kIdWriteOptions, ".Options", 44},
                    {9, "&Help...", 40}};
    int x = 7;
    for (const auto& b : kButtons) {
        desc.controls.push_back(ControlDesc{b.id == 1 ? ControlKind::DefaultButton : ControlKind::Button, b.id, b.text,
                                            x, buttons, b.width, 14, 0});
        x += b.width + 2;
    }
    desc.cx = 2 * kColumnWidth + 7;
    desc.cy = buttons + 21;
    return desc;
}

}  // namespace

CGlobalSettingsDlg::CGlobalSettingsDlg() : CDialog2(kGlobalSettingsTemplate, &gs_position, nullptr) {
    SetDescription(gsd_Description());
}

bool CGlobalSettingsDlg::RowEditable(int row) {
    if (gSolver.AnalysisKind == -1) return true;
    if (!OptionRowInfos[row].live) return false;
    const CircuitOptions* options = gsd_OpenCircuitOptions();
    return !(options && options->setByStatement[row]);
}

bool CGlobalSettingsDlg::MethodEditable() {
    const CircuitOptions* options = gsd_OpenCircuitOptions();
    return !(options && options->methodSetByOptions);
}

void CGlobalSettingsDlg::SetOptionControl(int row, const char* text) {
    const int id = OptionRowInfos[row].id;
    if (OptionsTable[row].type == kOptionFlag) {
        SetCheck(id, text[0] != '0' ? 1 : 0);
    } else if (GetText(id) != text) {
        SetText(id, text);
    }
}

void CGlobalSettingsDlg::SetDefaultOptionControls(bool power) {
    for (int i = 0; i < kOptionCount; ++i)
        SetOptionControl(i, power ? OptionRowInfos[i].powerDefaultText : OptionRowInfos[i].defaultText);
    CheckRadio(kIdMethodGear, kIdMethodTrap, power ? kIdMethodGear : kIdMethodTrap);
}

bool CGlobalSettingsDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    const GlobalSettingsState& state = GlobalSettingTexts();
    const bool open = gSolver.AnalysisKind != -1;
    for (int i = 0; i < kOptionCount; ++i) {
        if (OptionsTable[i].type != kOptionFlag)
            SetLimitText(OptionRowInfos[i].id, static_cast<int>(kOptionTextLength));
        SetOptionControl(i, state.texts[i].c_str());
        if (open && !RowEditable(i)) EnableControl(OptionRowInfos[i].id, false);
    }
    if (open) {
        EnableControl(kIdStandardDefault, false);
        EnableControl(kIdPowerDefault, false);
    }
    EnableControl(kIdWriteOptions, GetTopCircuitDocument() != nullptr);
    CheckRadio(kIdMethodGear, kIdMethodTrap, state.dialogMethod ? kIdMethodTrap : kIdMethodGear);
    if (open && !MethodEditable()) {
        EnableControl(kIdMethodGear, false);
        EnableControl(kIdMethodTrap, false);
    }
    return true;
}

void CGlobalSettingsDlg::OnOK() {
    for (int i = 0; i < kOptionCount; ++i) {
        if (!RowEditable(i)) continue;
        const int id = OptionRowInfos[i].id;
        if (OptionsTable[i].type == kOptionFlag)
            SetOptionText(i, GetCheck(id) ? "1" : "0");
        else
            SetOptionText(i, GetText(id).c_str());
    }
    if (gSolver.AnalysisKind == -1 || MethodEditable())
        GlobalSettingTexts().dialogMethod = GetCheck(kIdMethodGear) ? 0 : 1;
    ApplyGlobalSettings(false);
    CDialog2::OnOK();
}

void CGlobalSettingsDlg::OnControl(int id, platform::Notify notification) {
    if (notification == platform::Notify::Clicked) {
        switch (id) {
        case kIdStandardDefault: SetDefaultOptionControls(false); return;
        case kIdPowerDefault: SetDefaultOptionControls(true); return;
        case kIdWriteOptions: WriteOptionsToCircuit(dynamic_cast<CCTDoc*>(GetTopCircuitDocument())); return;
        default: break;
        }
    }
    CDialog2::OnControl(id, notification);
}

void GlobalSettingsCommand() {
    {
        CGlobalSettingsDlg dialog;
        dialog.DoModal();
    }
    SaveSettingsFile();
}
