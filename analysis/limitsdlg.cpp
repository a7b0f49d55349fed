#include "analysis/limitsdlg.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "analysis/limits.h"
#include "analysis/limitsmenus.h"
#include "core/memory.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"

namespace {

CAnalysisLimitsDlg* ld_active = nullptr;
// The last dialog made; a dialog closed by its own Close button is freed at
// the next open or close.
std::unique_ptr<CAnalysisLimitsDlg> ld_owner;
platform::Rect ld_rect;

const char* const kTitles[] = {"Transient Analysis Limits", "AC Analysis Limits", "DC Analysis Limits",
                               "Distortion Analysis Limits"};
const unsigned kTemplates[] = {16072, 16073, 16074, 277};

std::string ld_Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

const char* ld_Text(const char* text) { return text ? text : ""; }

// Stores `text` into a heap-string field when it differs; true when it did.
bool ld_Store(char** field, const std::string& text, bool* failed) {
    if (text == ld_Text(*field)) return false;
    if (!SetString(field, text.c_str())) *failed = true;
    return true;
}

platform::DialogDesc ld_Description(int kind) {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = kTitles[kind];
    const LimitField* fields = LimitFields(kind);
    const int count = LimitFieldCount(kind);
    for (int i = 0; i < count; ++i) {
        const int y = 7 + i * 14;
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, fields[i].label, 7, y + 2, 90, 8, 0});
        desc.controls.push_back(ControlDesc{ControlKind::Edit, kIdLimitField + i, "", 100, y, 110, 12, 0});
    }
    int x = 220;
    desc.controls.push_back(ControlDesc{ControlKind::Static, -1, "&Run Options", x, 9, 60, 8, 0});
    desc.controls.push_back(ControlDesc{ControlKind::ComboBox, kIdRunOptions, "", x + 62, 7, 70, 60, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Static, -1, "Temperature", x, 25, 60, 8, 0});
    desc.controls.push_back(ControlDesc{ControlKind::ComboBox, kIdTemperatureMethod, "", x + 62, 23, 70, 60, 0});
    if (kind != 2)
        desc.controls.push_back(
            ControlDesc{ControlKind::CheckBox, kIdOperatingPoint, "Operating Point", x, 41, 100, 10, 0});
    if (kind == 0 || kind == 3)
        desc.controls.push_back(
            ControlDesc{ControlKind::CheckBox, kIdOperatingPointOnly, "Operating Point Only", x, 53, 100, 10, 0});
    desc.controls.push_back(
        ControlDesc{ControlKind::CheckBox, kIdAutoScaleRanges, "Auto Scale Ranges", x, 65, 100, 10, 0});
    const struct {
        int id;
        const char* text;
    } kButtons[] = {{kIdLimitsRun, "Run"},
                    {kIdLimitsAdd, "&Add"},
                    {kIdLimitsDelete, "&Delete"},
                    {kIdLimitsExpand, "Expand..."},
                    {9, "&Help..."}};
    int bx = 350;
    for (const auto& b : kButtons) {
        desc.controls.push_back(ControlDesc{ControlKind::Button, b.id, b.text, bx, 7, 36, 14, 0});
        bx += 38;
    }
    // The curve grid.
    const int top = 7 + std::max(count, 5) * 14 + 4;
    static const char* const kHeads[] = {"P", "X Expression", "Y Expression", "X Range", "Y Range"};
    static const int kWidths[] = {12, 100, 160, 80, 80};
    int cx = 7;
    for (int c = 0; c < 5; ++c) {
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, kHeads[c], cx, top, kWidths[c], 8, 0});
        cx += kWidths[c] + 2;
    }
    for (int line = 0; line < kLimitsGridLines; ++line) {
        cx = 7;
        for (int c = 0; c < 5; ++c) {
            desc.controls.push_back(ControlDesc{ControlKind::Edit, LimitsCellId(line, c), "", cx, top + 10 + line * 12,
                                                kWidths[c], 12, platform::style::Hidden});
            cx += kWidths[c] + 2;
        }
    }
    desc.cx = std::max(cx + 7, 540);
    desc.cy = top + 10 + kLimitsGridLines * 12 + 7;
    return desc;
}

}  // namespace

std::string RangeCellText(const char* range, const char* grid, const char* bold) {
    std::string text = ld_Text(range);
    const std::string g = ld_Text(grid), b = ld_Text(bold);
    if (g.empty() && b.empty()) return text;
    if (text.find(',') == std::string::npos) text += ",0";
    text += "," + g;
    if (!b.empty()) text += "," + b;
    return text;
}

bool StoreRangeCellText(const std::string& text, char** range, char** grid, char** bold) {
    std::vector<std::string> parts(1);
    int depth = 0;
    for (char c : text) {
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (c == ',' && depth == 0 && parts.size() < 4) {
            parts.emplace_back();
            continue;
        }
        parts.back() += c;
    }
    parts.resize(4);
    for (std::string& p : parts) p = ld_Trim(p);
    std::string r = parts[0];
    if (!parts[1].empty()) r += "," + parts[1];
    bool failed = false;
    ld_Store(range, r, &failed);
    ld_Store(grid, parts[2], &failed);
    ld_Store(bold, parts[3], &failed);
    return !failed;
}

CAnalysisLimitsDlg::CAnalysisLimitsDlg(CCTDoc* document, int kind)
    : CDialog2(kTemplates[kind], nullptr, &ld_rect), document_(document), kind_(kind) {
    SetDescription(ld_Description(kind));
}

AnalysisKindSettings* CAnalysisLimitsDlg::Settings() const {
    AnalysisSettings* settings = CircuitAnalysisSettings(document_);
    return settings ? &settings->kinds[kind_] : nullptr;
}

bool CAnalysisLimitsDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    for (const char* option : {"Normal", "Save", "Retrieve"}) Add(kIdRunOptions, option);
    for (const char* method : {"Linear", "List", "Log"}) Add(kIdTemperatureMethod, method);
    for (int line = 0; line < kLimitsGridLines; ++line) SetLimitText(LimitsCellId(line, 0), 1);
    FillFields();
    return true;
}

void CAnalysisLimitsDlg::ShowLines() {
    AnalysisKindSettings* s = Settings();
    const int rows = s ? static_cast<int>(s->curves.size()) : 0;
    for (int line = 0; line < kLimitsGridLines; ++line)
        for (int c = 0; c < 5; ++c) ShowControl(LimitsCellId(line, c), line < rows);
}

void CAnalysisLimitsDlg::FillFields() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    for (int i = 0; i < LimitFieldCount(kind_); ++i) SetText(kIdLimitField + i, ld_Text(s->limits[i]));
    SetSel(kIdRunOptions, std::clamp(s->runOption, 0, 2));
    SetSel(kIdTemperatureMethod, std::clamp(s->temperatureType, 0, 2));
    if (kind_ != 2) SetCheck(kIdOperatingPoint, (s->optionWord & 0x40) ? 1 : 0);
    if (kind_ == 0 || kind_ == 3) SetCheck(kIdOperatingPointOnly, (s->optionWord & 0x80) ? 1 : 0);
    SetCheck(kIdAutoScaleRanges, (s->optionWord & 0x8000) ? 1 : 0);
    const int rows = std::min(static_cast<int>(s->curves.size()), kLimitsGridLines);
    for (int line = 0; line < rows; ++line) {
        const CurveRow& row = *s->curves[static_cast<size_t>(line)];
        SetText(LimitsCellId(line, 0), row.plotGroup ? std::string(1, row.plotGroup) : std::string());
        SetText(LimitsCellId(line, 1), ld_Text(row.xExpression));
        SetText(LimitsCellId(line, 2), ld_Text(row.yExpression));
        SetText(LimitsCellId(line, 3), RangeCellText(row.xRange, row.gridX, row.boldX));
        SetText(LimitsCellId(line, 4), RangeCellText(row.yRange, row.gridY, row.boldY));
    }
    ShowLines();
}

void CAnalysisLimitsDlg::StoreFields() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    bool changed = false, failed = false;
    for (int i = 0; i < LimitFieldCount(kind_); ++i)
        changed |= ld_Store(&s->limits[i], ld_Trim(GetText(kIdLimitField + i)), &failed);
    const int runOption = std::max(GetSel(kIdRunOptions), 0);
    const int method = std::max(GetSel(kIdTemperatureMethod), 0);
    int word = s->optionWord;
    if (kind_ != 2) word = GetCheck(kIdOperatingPoint) ? (word | 0x40) : (word & ~0x40);
    if (kind_ == 0 || kind_ == 3) word = GetCheck(kIdOperatingPointOnly) ? (word | 0x80) : (word & ~0x80);
    word = GetCheck(kIdAutoScaleRanges) ? (word | 0x8000) : (word & ~0x8000);
    changed |= runOption != s->runOption || method != s->temperatureType || word != s->optionWord;
    s->runOption = runOption;
    s->temperatureType = method;
    s->optionWord = word;
    const int rows = std::min(static_cast<int>(s->curves.size()), kLimitsGridLines);
    for (int line = 0; line < rows; ++line) {
        CurveRow& row = *s->curves[static_cast<size_t>(line)];
        const std::string p = ld_Trim(GetText(LimitsCellId(line, 0)));
        const char group = p.empty() ? 0 : p[0];
        changed |= group != row.plotGroup;
        row.plotGroup = group;
        changed |= ld_Store(&row.xExpression, ld_Trim(GetText(LimitsCellId(line, 1))), &failed);
        changed |= ld_Store(&row.yExpression, ld_Trim(GetText(LimitsCellId(line, 2))), &failed);
        const std::string x = GetText(LimitsCellId(line, 3)), y = GetText(LimitsCellId(line, 4));
        if (x != RangeCellText(row.xRange, row.gridX, row.boldX)) {
            StoreRangeCellText(x, &row.xRange, &row.gridX, &row.boldX);
            changed = true;
        }
        if (y != RangeCellText(row.yRange, row.gridY, row.boldY)) {
            StoreRangeCellText(y, &row.yRange, &row.gridY, &row.boldY);
            changed = true;
        }
    }
    if (changed) {
        changed_ = true;
        document_->MarkDirty();
        FillFields();
    }
}

int CAnalysisLimitsDlg::FocusedRow() const { return focusedCell_ >= 300 ? focusedCell_ / 100 - 3 : -1; }

void CAnalysisLimitsDlg::OnOK() { StoreFields(); }

void CAnalysisLimitsDlg::OnCancel() {
    StoreFields();
    if (ld_active == this) ld_active = nullptr;
    CloseModeless();
}

void CAnalysisLimitsDlg::OnControl(int id, platform::Notify notification) {
    if (notification == platform::Notify::FocusIn && id >= kIdLimitField && id < LimitsCellId(kLimitsGridLines, 0))
        focusedCell_ = id;
    if (notification == platform::Notify::FocusOut) StoreFields();
    if (notification != platform::Notify::Clicked) return CDialog2::OnControl(id, notification);
    AnalysisKindSettings* s = Settings();
    switch (id) {
    case kIdLimitsAdd: {
        if (!s || static_cast<int>(s->curves.size()) >= kLimitsGridLines) return;
        StoreFields();
        const int after = FocusedRow() >= 0 ? FocusedRow() : static_cast<int>(s->curves.size()) - 1;
        auto row = std::make_unique<CurveRow>();
        if (after >= 0) {
            const CurveRow& before = *s->curves[static_cast<size_t>(after)];
            row->plotGroup = before.plotGroup;
            row->options = before.options & (kOutputFlag | kOutputLinearX | kOutputLinearY);
        } else {
            row->plotGroup = '1';
        }
        row->aliasId = NextFreeCurveId(*s);
        SetString(&row->xRange, "Auto");
        SetString(&row->yRange, "Auto");
        s->curves.insert(s->curves.begin() + (after + 1), std::move(row));
        changed_ = true;
        document_->MarkDirty();
        FillFields();
        return;
    }
    case kIdLimitsDelete: {
        if (!s || s->curves.size() <= 1) return;
        StoreFields();
        const int row = FocusedRow() >= 0 ? FocusedRow() : static_cast<int>(s->curves.size()) - 1;
        DeleteCurveRow(*s, row);
        changed_ = true;
        document_->MarkDirty();
        FillFields();
        return;
    }
    case kIdLimitsExpand: {
        // The focused cell (columns 1 to 4) is edited at full size.
        if (focusedCell_ < 300 || focusedCell_ % 100 == 0) return;
        const int cell = focusedCell_;
        CExpandDlg expand(GetText(cell));
        if (expand.DoModal() != platform::dlgid::Ok) return;
        SetText(cell, expand.Text());
        StoreFields();
        return;
    }
    case kIdLimitsRun: StoreFields(); return;
    default: CDialog2::OnControl(id, notification);
    }
}

int OpenLimitsDialog(CCTDoc* document, int kind) {
    if (!document || kind < 0 || kind > 3) return 0;
    if (ld_active) {
        if (ld_active->Document() == document && ld_active->AnalysisKind() == kind) {
            ld_active->FillFields();
            return 0;
        }
        CloseLimitsDialog();
    }
    ld_owner.reset();
    auto dialog = std::make_unique<CAnalysisLimitsDlg>(document, kind);
    if (!dialog->CreateModeless()) return kResultNoMemory;
    ld_active = dialog.get();
    ld_owner = std::move(dialog);
    return 0;
}

void CloseLimitsDialog() {
    if (ld_active) ld_active->OnCancel();
    ld_owner.reset();
}

CAnalysisLimitsDlg* ActiveLimitsDialog() { return ld_active; }
