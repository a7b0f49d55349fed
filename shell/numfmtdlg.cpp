#include "shell/numfmtdlg.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "core/memory.h"
#include "core/numbers.h"
#include "platform/dialog.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;

constexpr double kSampleValue = 123456.123456789;
constexpr int kMaxDigits = 16;
platform::Point nf_position{-1, -1};

int nf_Digits(const std::string& spec) { return std::atoi(spec.c_str()); }

std::string nf_Normalized(const std::string& text) {
    FormatSpec spec;
    CopyTextBounded(spec.text, text.c_str(), sizeof spec.text);
    NormalizeFormatSpec(&spec);
    return spec.text;
}

}  // namespace

void CDigitsSpinEdit::Attach(platform::ControlPanel& panel, const std::string& spec, int idOffset) {
    panel_ = &panel;
    offset_ = idOffset;
    panel.SetBuddy(kFormatDigitsSpin + offset_, kFormatDigitsEdit + offset_);
    panel.SetRange(kFormatDigitsSpin + offset_, 0, kMaxDigits);
    ShowSpec(spec);
}

void CDigitsSpinEdit::ShowSpec(const std::string& spec) {
    if (!panel_) return;
    int radio = kFormatEngineering;
    if (spec.find_first_of("Ee") != std::string::npos)
        radio = kFormatScientific;
    else if (spec.find_first_of("Gg") != std::string::npos)
        radio = kFormatDefault;
    else if (spec.find_first_of("Ff") != std::string::npos)
        radio = kFormatDecimal;
    panel_->CheckRadio(kFormatScientific + offset_, kFormatDefault + offset_, radio + offset_);
    panel_->SetPos(kFormatDigitsSpin + offset_, std::clamp(nf_Digits(spec), 0, kMaxDigits));
    panel_->SetInt(kFormatDigitsEdit + offset_, std::clamp(nf_Digits(spec), 0, kMaxDigits));
}

std::string CDigitsSpinEdit::ReadSpec(bool writeBack) {
    if (!panel_) return "";
    bool ok = false;
    int digits = panel_->GetInt(kFormatDigitsEdit + offset_, &ok);
    if (!ok) digits = 0;
    const int clamped = std::clamp(digits, 0, kMaxDigits);
    if (writeBack && (clamped != digits || !ok)) panel_->SetInt(kFormatDigitsEdit + offset_, clamped);
    const int radio = panel_->GetCheckedRadio(kFormatScientific + offset_, kFormatDefault + offset_) - offset_;
    std::string spec = std::to_string(clamped);
    if (radio == kFormatScientific) spec += 'E';
    if (radio == kFormatDecimal) spec += 'F';
    if (radio == kFormatDefault) spec += 'G';
    return nf_Normalized(spec);
}

bool CDigitsSpinEdit::StoreIfChanged(std::string& spec) {
    const std::string read = ReadSpec();
    const bool changed = read != spec;
    spec = read;
    return changed;
}

CNumberFormatDlg::CNumberFormatDlg(std::string& spec, platform::Window* parent)
    : CDialog2(kNumberFormatTemplate, &nf_position, parent), spec_(spec), opened_(spec) {
    platform::DialogDesc desc;
    desc.caption = "Format";
    desc.cx = 180;
    desc.cy = 110;
    const struct {
        int id;
        const char* text;
    } radios[] = {{kFormatScientific, "Scientific"},
                  {kFormatEngineering, "Engineering"},
                  {kFormatDecimal, "Decimal"},
                  {kFormatDefault, "Default"}};
    int y = 7;
    for (const auto& r : radios) {
        desc.controls.push_back(ControlDesc{ControlKind::RadioButton, r.id, r.text, 7, y, 70, 10,
                                            r.id == kFormatScientific ? platform::style::Group : 0u});
        y += 13;
    }
    desc.controls.push_back(ControlDesc{ControlKind::Static, -1, "Digits", 85, 9, 30, 8, 0});
    desc.controls.push_back(
        ControlDesc{ControlKind::Edit, kFormatDigitsEdit, "", 115, 7, 30, 12, platform::style::Number});
    desc.controls.push_back(ControlDesc{ControlKind::Spin, kFormatDigitsSpin, "Spin1", 145, 7, 10, 12, 0});
    desc.controls.push_back(ControlDesc{ControlKind::GroupBox, -1, "Sample", 7, 62, 166, 24, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Static, kFormatSample, "", 14, 72, 150, 10, 0});
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 40, 91, 45, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Cancel, "Cancel", 95, 91, 45, 14, 0});
    SetDescription(std::move(desc));
}

bool CNumberFormatDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    digits_.Attach(*this, spec_);
    RefreshSample();
    return true;
}

void CNumberFormatDlg::RefreshSample() {
    FormatSpec spec;
    // Typing is not interrupted: the edit keeps what the user typed so far.
    ParseFormatSpec(&spec, digits_.ReadSpec(false).c_str());
    char buffer[50];
    FormatNumber(buffer, sizeof buffer, kSampleValue, spec.digits, static_cast<char>(spec.style), 1);
    SetText(kFormatSample, buffer);
}

void CNumberFormatDlg::OnOK() {
    digits_.StoreIfChanged(spec_);
    changed = spec_ != opened_;
    CDialog2::OnOK();
}

void CNumberFormatDlg::OnControl(int id, platform::Notify what) {
    if ((id == kFormatDigitsEdit && what == platform::Notify::TextChanged) ||
        (id >= kFormatScientific && id <= kFormatDefault && what == platform::Notify::Clicked)) {
        RefreshSample();
        return;
    }
    CDialog2::OnControl(id, what);
}
