#include "analysis/limitsdlg.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "analysis/limits.h"
#include "analysis/limitsmenus.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/session.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/properties.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "platform/app.h"
#include "platform/keys.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"

namespace {

CAnalysisLimitsDlg* ld_active = nullptr;
// The last dialog made; a dialog closed by its own Close button is freed at
// the next open or close.
std::unique_ptr<CAnalysisLimitsDlg> ld_owner;
platform::Rect ld_rect;

const char* const kTitles[] = {"Transient Analysis Limits", "AC Analysis Limits", "DC Analysis Limits",
                               "Distortion Analysis Limits"};
const unsigned kTemplates[] = {16072, 16073, 16074, 277};
const char* const kHeaderTitles[] = {"P", "X Expression", "Y Expression", "X Range", "Y Range", ">"};
// Default column widths in dialog units (each plus one pixel).
const int kDefaultWidths[] = {12, 46, 77, 55, 55};
constexpr int kMinColumnWidth = 12;
constexpr int kColumnMenuFirst = 4000;
constexpr int kScrollWidth = 16;
constexpr int kMinHeaderFitWidth = 14;

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

// Limit fields that are combos: DC Variable 2 and 1 names, AC Noise Input,
// the distortion input source.
bool ld_IsComboField(int kind, int index) {
    return (kind == 2 && (index == 1 || index == 3)) || (kind == 1 && index == 4) || (kind == 3 && index == 1);
}

platform::DialogDesc ld_Description(int kind) {
    using platform::ControlDesc;
    using platform::ControlKind;
    using platform::style::Editable;
    using platform::style::Hidden;
    platform::DialogDesc desc;
    desc.caption = kTitles[kind];
    const LimitField* fields = LimitFields(kind);
    const int count = LimitFieldCount(kind);
    for (int i = 0; i < count; ++i) {
        const int y = 7 + i * 14;
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, fields[i].label, 7, y + 2, 90, 8, 0});
        if (ld_IsComboField(kind, i))
            desc.controls.push_back(
                ControlDesc{ControlKind::ComboBox, kIdLimitField + i, "", 100, y, 110, 80, Editable});
        else
            desc.controls.push_back(ControlDesc{ControlKind::Edit, kIdLimitField + i, "", 100, y, 110, 12, 0});
    }
    int x = 218, y = 7;
    auto list = [&](int id, const char* label) {
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, label, x, y + 2, 78, 8, 0});
        desc.controls.push_back(ControlDesc{ControlKind::ComboBox, id, "", x + 80, y, 70, 60, 0});
        y += 14;
    };
    list(kIdRunOptions, "&Run Options");
    if (kind != 2) list(kIdStateVariables, "&State Variables");
    if (kind == 1) list(kIdSweepMethod, "Frequency Step");
    if (kind == 2) {
        list(kIdSweepMethod, "Variable 1 Method");
        list(kIdSweep2Method, "Variable 2 Method");
        list(kIdModelParameter1, "Variable 1 Parameter");
        list(kIdModelParameter2, "Variable 2 Parameter");
    }
    list(kIdTemperatureMethod, "Temperature");
    if (kind == 3) list(kIdAmplitudeMethod, "Amplitude");
    if (kind != 2) {
        desc.controls.push_back(
            ControlDesc{ControlKind::CheckBox, kIdOperatingPoint, "Operating Point", x, y, 100, 10, 0});
        y += 12;
    }
    if (kind == 0 || kind == 3) {
        desc.controls.push_back(
            ControlDesc{ControlKind::CheckBox, kIdOperatingPointOnly, "Operating Point Only", x, y, 100, 10, 0});
        y += 12;
    }
    desc.controls.push_back(
        ControlDesc{ControlKind::CheckBox, kIdAutoScaleRanges, "Auto Scale Ranges", x, y, 100, 10, 0});
    y += 12;
    const struct {
        int id;
        const char* text;
    } kButtons[] = {{kIdLimitsRun, "Run"},
                    {kIdLimitsAdd, "&Add"},
                    {kIdLimitsDelete, "&Delete"},
                    {kIdLimitsExpand, "Expand..."},
                    {kIdLimitsStepping, "Stepping..."},
                    {kIdLimitsProperties, "Properties..."},
                    {9, "&Help..."}};
    int by = 7;
    for (const auto& b : kButtons) {
        desc.controls.push_back(ControlDesc{ControlKind::Button, b.id, b.text, 376, by, 56, 14, 0});
        by += 16;
    }
    // The grid; Relayout places it in pixels.
    const int top = std::max({7 + count * 14, y, by}) + 4;
    for (int item = 0; item < 6; ++item)
        desc.controls.push_back(ControlDesc{ControlKind::Button, LimitsHeaderId(item), kHeaderTitles[item], 7, top, 20,
                                            10, platform::style::NoTabStop});
    for (int line = 0; line < kLimitsGridLines; ++line) {
        for (int b = 0; b < (kind == 1 ? 5 : 4); ++b)
            desc.controls.push_back(ControlDesc{ControlKind::OwnerButton, LimitsStripId(line, b), "", 0, top + 12, 4,
                                                10, Hidden | platform::style::NoTabStop});
        for (int c = 0; c < 5; ++c)
            desc.controls.push_back(ControlDesc{c == 2 ? ControlKind::RichEdit : ControlKind::Edit,
                                                LimitsCellId(line, c), "", 7, top + 12, 20, 10, Hidden});
    }
    desc.controls.push_back(ControlDesc{ControlKind::ScrollBar, kIdLimitsScroll, "", 400, top + 12, 8, 40,
                                        platform::style::Vertical | Hidden});
    desc.cx = 440;
    desc.cy = top + 12;
    return desc;
}

platform::Rect ld_WorkArea() {
    platform::Rect area = GetWorkArea();
    if (area.right - area.left <= 0 || area.bottom - area.top <= 0) area = platform::Rect{0, 0, 1024, 768};
    return area;
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

CAnalysisLimitsDlg::~CAnalysisLimitsDlg() {
    if (ld_active == this) ld_active = nullptr;
}

AnalysisKindSettings* CAnalysisLimitsDlg::Settings() const {
    AnalysisSettings* settings = CircuitAnalysisSettings(document_);
    return settings ? &settings->kinds[kind_] : nullptr;
}

int CAnalysisLimitsDlg::FitHeaderWidth() const {
    return std::max(kMinHeaderFitWidth, NaturalSize(LimitsHeaderId(5)).cx);
}

int CAnalysisLimitsDlg::RowCount() const {
    const AnalysisKindSettings* s = Settings();
    return s ? static_cast<int>(s->curves.size()) : 0;
}

bool CAnalysisLimitsDlg::OnInitDialog() {
    const bool firstPlacement = ld_rect.Width() <= 0 || ld_rect.Height() <= 0;
    CDialog2::OnInitDialog();
    for (int line = 0; line < kLimitsGridLines; ++line) expressionCells_[line].Attach(*this, LimitsCellId(line, 2));
    for (const char* option : {"Normal", "Save", "Retrieve"}) Add(kIdRunOptions, option);
    if (kind_ != 2) {
        std::vector<const char*> modes = {"Zero", "Read"};
        CompiledCircuit* compiled = FindCompiledCircuit(document_);
        // Lossy lines cannot leave their state for the next run.
        if (!compiled || !compiled->devices[kListLossyLines].pool.first) {
            modes.push_back("Leave");
            if (kind_ == 0) modes.push_back("Retrace");
        }
        for (const char* m : modes) Add(kIdStateVariables, m);
    }
    if (kind_ == 1 || kind_ == 2)
        for (const char* m : {"Auto", "Linear", "Log", "List"}) Add(kIdSweepMethod, m);
    if (kind_ == 2)
        for (const char* m : {"None", "Linear", "Log", "List"}) Add(kIdSweep2Method, m);
    for (const char* method : {"Linear", "List", "Log"}) Add(kIdTemperatureMethod, method);
    if (kind_ == 3)
        for (const char* method : {"Linear", "List", "Log"}) Add(kIdAmplitudeMethod, method);

    // The source and model names the name fields offer.
    if (CompiledCircuit* compiled = FindCompiledCircuit(document_)) {
        std::vector<std::string> sources;
        for (int list : {kListSpiceSources, kListSineSources, kListPulseSources, kListUserSources}) {
            for (PoolItem* item = compiled->devices[list].pool.first; item; item = item->next) {
                const PartLink* link = compiled->FindLink(static_cast<DeviceRecord*>(item)->part);
                if (link && !link->qualifiedName.empty()) sources.push_back(link->qualifiedName);
            }
        }
        if (kind_ == 3)
            for (const std::string& s : sources) Add(kIdLimitField + 1, s);
        if (kind_ == 1) {
            Add(kIdLimitField + 4, "None");
            for (const std::string& s : sources) Add(kIdLimitField + 4, s);
        }
        if (kind_ == 2) {
            // TEMP, the sources, every model as "<type> <name>" and every .PARAM.
            std::vector<std::string> names = {"TEMP"};
            names.insert(names.end(), sources.begin(), sources.end());
            if (CircuitModels* models = GetCircuitModels(document_)) {
                for (int row = 0; row < models->ModelStatements.Count; ++row) {
                    const ModelStatement* statement = models->ModelStatements.At(row);
                    const ModelTypeInfo* type = statement ? GetModelTypeInfo(statement->Type) : nullptr;
                    if (type && type->Keyword && statement->Name)
                        names.push_back(std::string(type->Keyword) + " " + statement->Name);
                }
            }
            if (DefineTable* defines = GetDefineTable(document_)) {
                for (int scope = 0; scope <= defines->highestScope; ++scope)
                    for (int i = 0; i < defines->EntryCount(scope); ++i)
                        if (const DefineEntry* entry = defines->Entry(scope, i);
                            entry && entry->kind == 13 && entry->name)
                            names.push_back(std::string("PARAM ") + entry->name);
            }
            for (int field : {1, 3})
                for (const std::string& n : names) Add(kIdLimitField + field, n);
        }
    }
    for (int line = 0; line < kLimitsGridLines; ++line) SetLimitText(LimitsCellId(line, 0), 1);

    // The layout of the kind: stored widths and lines, else the defaults.
    AnalysisKindSettings* s = Settings();
    const platform::Rect area = ld_WorkArea();
    pitch_ = std::max(8, ControlLineHeight(kIdLimitField) * 3 / 2 + 2);
    gridTop_ = GetItemRect(LimitsHeaderId(0)).top;
    maxLines_ = std::clamp((area.bottom - area.top - gridTop_ - 2 * pitch_ - 60) / pitch_, 2, kLimitsGridLines);
    bool stored = s && s->monitor[0] > 0;
    for (int c = 0; c < 5 && stored; ++c) stored = s->monitor[c + 1] >= 1;
    if (stored) {
        for (int c = 0; c < 5; ++c) widths_[c] = s->monitor[c + 1];
        shownLines_ = s->monitor[0];
    } else {
        for (int c = 0; c < 5; ++c) widths_[c] = DialogUnitsToPixelsX(kDefaultWidths[c]) + 1;
        int used = 2 + StripButtons() * pitch_ / 2 + 2 + FitHeaderWidth() + kScrollWidth + 14;
        for (int w : widths_) used += w;
        const int spare = std::min((area.right - area.left - used) / 2, 200);
        if (spare > 0) {
            widths_[1] += spare / 3;
            widths_[2] += spare - spare / 3;
        }
        shownLines_ = RowCount();
    }
    shownLines_ = std::clamp(shownLines_, 1, maxLines_);
    topRow_ = 0;
    FollowStatusBar();
    if (kind_ == 2 && s) {
        FillModelParameters(kIdModelParameter1, ld_Text(s->limits[3]));
        FillModelParameters(kIdModelParameter2, ld_Text(s->limits[1]));
    }
    FillFields();
    if (kind_ == 1) {
        // A choice of "Zero" means there is no state to start from.
        if (s && s->stateVariable == 0) s->optionWord |= 0x40;
    }
    ApplyEnabling();
    FocusControl(kIdLimitField);
    if (firstPlacement) PlaceFirstTime();
    initialised_ = true;
    return false;
}

// With no remembered place the dialog sits centred across the work area just
// below the main window's menu and tool bars, so the plot under it stays seen.
void CAnalysisLimitsDlg::PlaceFirstTime() {
    const platform::Rect area = ld_WorkArea();
    const platform::Rect now = WindowRect();
    int top = area.top;
    if (CMainFrame* frame = GetMainFrame(); frame && frame->Exists()) {
        const platform::Rect client = frame->MdiClientRect();
        top = frame->ClientToScreen(platform::Point{client.left, client.top}).y;
    }
    const int width = now.Width(), height = now.Height();
    const int left = std::max(area.left, area.left + (area.Width() - width) / 2);
    top = std::max(0, std::min(top, area.bottom - height));
    Move(platform::Rect{left, top, left + width, top + height}, false);
}

void CAnalysisLimitsDlg::Relayout() {
    const int stripWidth = 2 + StripButtons() * (pitch_ / 2) + 2;
    int x = stripWidth;
    const int lineHeight = pitch_ - 2;
    for (int c = 0; c < 5; ++c) {
        MoveControl(LimitsHeaderId(c), platform::Rect{x, gridTop_, x + widths_[c], gridTop_ + lineHeight});
        for (int line = 0; line < kLimitsGridLines; ++line) {
            const int y = gridTop_ + pitch_ * (line + 1);
            MoveControl(LimitsCellId(line, c), platform::Rect{x, y, x + widths_[c], y + lineHeight});
        }
        x += widths_[c];
    }
    MoveControl(LimitsHeaderId(5), platform::Rect{x, gridTop_, x + FitHeaderWidth(), gridTop_ + lineHeight});
    for (int line = 0; line < kLimitsGridLines; ++line) {
        const int y = gridTop_ + pitch_ * (line + 1);
        for (int b = 0; b < StripButtons(); ++b) {
            const int bx = 2 + b * (pitch_ / 2);
            MoveControl(LimitsStripId(line, b), platform::Rect{bx, y, bx + pitch_ / 2, y + lineHeight});
        }
    }
    const int gridBottom = gridTop_ + pitch_ * (shownLines_ + 1);
    MoveControl(kIdLimitsScroll,
                platform::Rect{x + FitHeaderWidth(), gridTop_ + pitch_, x + FitHeaderWidth() + kScrollWidth, gridBottom});
    const int minimumWidth = DialogUnitsToPixelsX(Description().cx);
    SetPanelSize(platform::Size{std::max(minimumWidth, x + FitHeaderWidth() + kScrollWidth + 7), gridBottom + 7});
}

void CAnalysisLimitsDlg::FillFields() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    for (int i = 0; i < LimitFieldCount(kind_); ++i) SetText(kIdLimitField + i, ld_Text(s->limits[i]));
    SetSel(kIdRunOptions, std::clamp(s->runOption, 0, 2));
    if (kind_ != 2) SetSel(kIdStateVariables, std::clamp(s->stateVariable, 0, Count(kIdStateVariables) - 1));
    if (kind_ == 1 || kind_ == 2) SetSel(kIdSweepMethod, std::clamp(s->sweepType, 0, 3));
    if (kind_ == 2) SetSel(kIdSweep2Method, std::clamp(s->sweep2Type, 0, 3));
    if (kind_ == 3) SetSel(kIdAmplitudeMethod, std::clamp(s->ampMethod, 0, 2));
    SetSel(kIdTemperatureMethod, std::clamp(s->temperatureType, 0, 2));
    if (kind_ != 2) SetCheck(kIdOperatingPoint, (s->optionWord & 0x40) ? 1 : 0);
    if (kind_ == 0 || kind_ == 3) SetCheck(kIdOperatingPointOnly, (s->optionWord & 0x80) ? 1 : 0);
    SetCheck(kIdAutoScaleRanges, (s->optionWord & 0x8000) ? 1 : 0);

    const int rows = RowCount();
    shownLines_ = std::clamp(shownLines_, 1, std::min(maxLines_, kLimitsGridLines));
    topRow_ = std::clamp(topRow_, 0, std::max(0, rows - shownLines_));
    for (int line = 0; line < kLimitsGridLines; ++line) {
        const int row = topRow_ + line;
        const bool shown = line < shownLines_ && row < rows;
        for (int c = 0; c < 5; ++c) ShowControl(LimitsCellId(line, c), shown);
        for (int b = 0; b < StripButtons(); ++b) ShowControl(LimitsStripId(line, b), shown);
        if (!shown) continue;
        const CurveRow& r = *s->curves[static_cast<size_t>(row)];
        SetText(LimitsCellId(line, 0), r.plotGroup ? std::string(1, r.plotGroup) : std::string());
        SetText(LimitsCellId(line, 1), ld_Text(r.xExpression));
        SetText(LimitsCellId(line, 2), ld_Text(r.yExpression));
        SetText(LimitsCellId(line, 3), RangeCellText(r.xRange, r.gridX, r.boldX));
        SetText(LimitsCellId(line, 4), RangeCellText(r.yRange, r.gridY, r.boldY));
        // Distortion rows have fixed expressions; polar and Smith charts no X.
        EnableControl(LimitsCellId(line, 1), kind_ != 3 && r.chartType == 0);
        EnableControl(LimitsCellId(line, 2), kind_ != 3);
        EnableControl(LimitsCellId(line, 3), r.chartType == 0);
        EnableControl(LimitsCellId(line, 4), r.chartType == 0);
        for (int b = 0; b < StripButtons(); ++b) Redraw(LimitsStripId(line, b));
    }
    ShowControl(kIdLimitsScroll, rows > shownLines_);
    SetRange(kIdLimitsScroll, 0, std::max(0, rows - shownLines_));
    SetPageSize(kIdLimitsScroll, shownLines_);
    SetPos(kIdLimitsScroll, topRow_);
    s->monitor[0] = shownLines_;
    for (int c = 0; c < 5; ++c) s->monitor[c + 1] = widths_[c];
    Relayout();
    ApplyEnabling();
}

void CAnalysisLimitsDlg::ApplyEnabling() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    auto field = [](int index) { return kIdLimitField + index; };
    if (kind_ == 1) {
        EnableControl(kIdOperatingPoint, s->stateVariable != 0);
        EnableControl(field(3), s->sweepType == 0);
    }
    if (kind_ == 0) {
        CompiledCircuit* compiled = FindCompiledCircuit(document_);
        const bool lossy = compiled && compiled->devices[kListLossyLines].pool.first;
        EnableControl(field(4), s->stateVariable == 3 && !lossy);
    }
    if (kind_ == 2) {
        EnableControl(field(6), s->sweepType == 0);
        const bool second = s->sweep2Type != 0;
        EnableControl(field(0), second);
        EnableControl(field(1), second);
        const std::string name1 = ld_Trim(GetText(field(3))), name2 = ld_Trim(GetText(field(1)));
        auto isTemp = [](const std::string& n) { return n.size() == 4 && CompareNoCase(n.c_str(), "TEMP") == 0; };
        EnableControl(field(5), !isTemp(name1) && !(second && isTemp(name2)));
        // A model parameter list only for a name of the form "<type> <model>".
        EnableControl(kIdModelParameter1, name1.find(' ') != std::string::npos);
        EnableControl(kIdModelParameter2, second && name2.find(' ') != std::string::npos);
    }
    const int points = PointsFieldIndex(kind_);
    if (points >= 0) {
        bool numeric = kind_ == 1 && s->sweepType != 0;
        for (const auto& row : s->curves)
            if (IsActiveCurveRow(*row) && (row->options & kOutputFlag)) numeric = true;
        EnableControl(field(points), numeric);
    }
    const bool inCell = FocusedRow() >= 0;
    EnableControl(kIdLimitsExpand, inCell && FocusedColumn() >= 1);
    EnableControl(kIdLimitsDelete, inCell && kind_ != 3);
    if (kind_ == 3) EnableControl(kIdLimitsAdd, inCell);
}

void CAnalysisLimitsDlg::FillModelParameters(int list, const std::string& name) {
    // "<type> <model>(<parameter>)": the numeric parameters of the type, the
    // named one selected (else the one chosen before, else the first).
    const std::string base = ld_Trim(name.substr(0, name.find('(')));
    const size_t blank = base.find(' ');
    std::string parameter;
    if (const size_t open = name.find('('); open != std::string::npos)
        parameter = ld_Trim(name.substr(open + 1, name.find(')', open) - open - 1));
    const std::string keyword = blank == std::string::npos ? "" : base.substr(0, blank);
    const int type = keyword.empty() || keyword == "PARAM" ? -1 : FindModelTypeByName(keyword.c_str());
    std::vector<std::string> names;
    if (const ModelTypeInfo* info = GetModelTypeInfo(type))
        for (int p = 0; p < info->ParamCount; ++p)
            if (info->Params[p].Kind == kParamNumber) names.push_back(info->Params[p].Name);
    // Refilled only when the type changed, so the user's choice stays.
    bool same = Count(list) == static_cast<int>(names.size());
    for (int i = 0; same && i < Count(list); ++i) same = GetItemText(list, i) == names[static_cast<size_t>(i)];
    const int previous = GetSel(list);
    if (!same) {
        Reset(list);
        for (const std::string& n : names) Add(list, n);
    }
    int sel = parameter.empty() ? -1 : FindItem(list, parameter);
    if (sel < 0) sel = same && previous >= 0 ? previous : (names.empty() ? -1 : 0);
    SetSel(list, sel);
}

void CAnalysisLimitsDlg::StoreLine(int line, bool* changed, bool* failed) {
    AnalysisKindSettings* s = Settings();
    const int row = topRow_ + line;
    if (!s || line >= shownLines_ || row >= RowCount()) return;
    CurveRow& r = *s->curves[static_cast<size_t>(row)];
    const std::string p = ld_Trim(GetText(LimitsCellId(line, 0)));
    const char group = p.empty() ? 0 : p[0];
    *changed |= group != r.plotGroup;
    r.plotGroup = group;
    *changed |= ld_Store(&r.xExpression, ld_Trim(GetText(LimitsCellId(line, 1)).substr(0, 500)), failed);
    *changed |= ld_Store(&r.yExpression, ld_Trim(GetText(LimitsCellId(line, 2)).substr(0, 500)), failed);
    const std::string x = GetText(LimitsCellId(line, 3)), y = GetText(LimitsCellId(line, 4));
    if (x != RangeCellText(r.xRange, r.gridX, r.boldX)) {
        *failed |= !StoreRangeCellText(x.substr(0, 500), &r.xRange, &r.gridX, &r.boldX);
        *changed = true;
    }
    if (y != RangeCellText(r.yRange, r.gridY, r.boldY)) {
        *failed |= !StoreRangeCellText(y.substr(0, 500), &r.yRange, &r.gridY, &r.boldY);
        *changed = true;
    }
}

void CAnalysisLimitsDlg::StoreCells() {
    bool changed = false, failed = false;
    for (int line = 0; line < shownLines_; ++line) StoreLine(line, &changed, &failed);
    if (failed) Reporter().Report(Message(kResultNoMemory));
    if (changed) MarkChanged();
}

void CAnalysisLimitsDlg::StoreFields() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    bool changed = false, failed = false;
    for (int i = 0; i < LimitFieldCount(kind_); ++i) {
        std::string text = ld_Trim(GetText(kIdLimitField + i));
        // A DC variable that names a model carries its parameter in parentheses.
        if (kind_ == 2 && (i == 1 || i == 3)) {
            // A variable that names a model carries its parameter in parentheses.
            const int list = i == 3 ? kIdModelParameter1 : kIdModelParameter2;
            const std::string base = ld_Trim(text.substr(0, text.find('(')));
            if (base.find(' ') != std::string::npos && base.compare(0, 6, "PARAM ") != 0) {
                FillModelParameters(list, base);
                const int sel = GetSel(list);
                if (sel >= 0) text = base + "(" + GetItemText(list, sel) + ")";
            }
        }
        // A changed limit makes the saved run of the kind stale: the next Run runs anew.
        if (ld_Store(&s->limits[i], text, &failed)) {
            changed = true;
            if (document_) document_->build.forceNewRun[kind_] = 1;
        }
    }
    const int runOption = std::max(GetSel(kIdRunOptions), 0);
    const int method = std::max(GetSel(kIdTemperatureMethod), 0);
    int word = s->optionWord;
    if (kind_ != 2) word = GetCheck(kIdOperatingPoint) ? (word | 0x40) : (word & ~0x40);
    if (kind_ == 0 || kind_ == 3) word = GetCheck(kIdOperatingPointOnly) ? (word | 0x80) : (word & ~0x80);
    word = GetCheck(kIdAutoScaleRanges) ? (word | 0x8000) : (word & ~0x8000);
    if (kind_ == 1 && s->stateVariable == 0) word |= 0x40;
    changed |= runOption != s->runOption || method != s->temperatureType || word != s->optionWord;
    s->runOption = runOption;
    s->temperatureType = method;
    s->optionWord = word;
    auto storeList = [&](int id, int32_t& field) {
        if (!HasControl(id)) return;
        const int sel = GetSel(id);
        if (sel >= 0 && sel != field) {
            field = sel;
            changed = true;
        }
    };
    storeList(kIdStateVariables, s->stateVariable);
    storeList(kIdSweepMethod, s->sweepType);
    storeList(kIdSweep2Method, s->sweep2Type);
    storeList(kIdAmplitudeMethod, s->ampMethod);
    for (int line = 0; line < shownLines_; ++line) StoreLine(line, &changed, &failed);
    if (failed) Reporter().Report(Message(kResultNoMemory));
    if (changed) {
        MarkChanged();
        FillFields();
    }
}

void CAnalysisLimitsDlg::MarkChanged() {
    changed_ = true;
    if (document_) document_->MarkDirty();
}

void CAnalysisLimitsDlg::ScrollTo(int row) {
    StoreCells();
    const int focusedRow = FocusedRow(), column = FocusedColumn();
    topRow_ = std::clamp(row, 0, std::max(0, RowCount() - shownLines_));
    FillFields();
    // The focused cell keeps its row when that row is still shown.
    if (focusedRow >= topRow_ && focusedRow < topRow_ + shownLines_)
        focusedCell_ = LimitsCellId(focusedRow - topRow_, column);
}

void CAnalysisLimitsDlg::FocusCell(int row, int column) {
    const int rows = RowCount();
    if (rows == 0) return;
    row = std::clamp(row, 0, rows - 1);
    column = std::clamp(column, 0, 4);
    if (row < topRow_)
        ScrollTo(row);
    else if (row >= topRow_ + shownLines_)
        ScrollTo(row - shownLines_ + 1);
    focusedCell_ = LimitsCellId(row - topRow_, column);
    selectedColumn_ = -1;
    FocusControl(focusedCell_);
    ApplyEnabling();
}

int CAnalysisLimitsDlg::FocusedRow() const {
    if (focusedCell_ < LimitsCellId(0, 0) || focusedCell_ >= LimitsCellId(kLimitsGridLines, 0)) return -1;
    if (focusedCell_ % 100 > 4) return -1;
    return topRow_ + focusedCell_ / 100 - 3;
}

int CAnalysisLimitsDlg::FocusedColumn() const { return FocusedRow() >= 0 ? focusedCell_ % 100 : -1; }

void CAnalysisLimitsDlg::FocusError(int area, int index, int column) {
    if (area == 1 && index >= 1 && index < LimitFieldCount(kind_)) {
        focusedCell_ = kIdLimitField + index;
        FocusControl(focusedCell_);
    } else if (area == 2) {
        FocusCell(index, column < 0 ? 0 : column);
    }
}

void CAnalysisLimitsDlg::SetShownLines(int lines) {
    StoreCells();
    shownLines_ = std::clamp(lines, 1, std::max(1, std::min({RowCount(), maxLines_, kLimitsGridLines})));
    FillFields();
}

void CAnalysisLimitsDlg::OnSize(int width, int height) {
    CDialog2::OnSize(width, height);
    // Sizes reported while the window is being built are not the user's.
    if (resizing_ || !initialised_ || !IsBuilt() || pitch_ <= 0) return;
    resizing_ = true;
    const int fixed = 2 + StripButtons() * (pitch_ / 2) + 2 + FitHeaderWidth() + kScrollWidth + 7;
    int total = 0;
    for (int w : widths_) total += w;
    const int room = std::max(width, DialogUnitsToPixelsX(Description().cx)) - fixed;
    if (total > room) {
        // The widest column gives way, again and again, down to 50 pixels.
        for (int guard = 0; guard < 20 && total > room; ++guard) {
            int widest = 0;
            for (int c = 1; c < 5; ++c)
                if (widths_[c] > widths_[widest]) widest = c;
            const int give = std::min(total - room, widths_[widest] - 50);
            if (give <= 0) break;
            widths_[widest] -= give;
            total -= give;
        }
    } else if (total < room) {
        widths_[2] += room - total;
    }
    SetShownLines((height - Prompt().ExtraHeight() - gridTop_ - pitch_ - 7) / pitch_);
    resizing_ = false;
}

void CAnalysisLimitsDlg::SetColumnWidth(int column, int pixels) {
    if (column < 0 || column > 4) return;
    pixels = std::max(pixels, kMinColumnWidth);
    if (column < 4) {
        // The next column gives or takes the difference, down to its minimum.
        const int available = widths_[column] + widths_[column + 1] - kMinColumnWidth;
        pixels = std::min(pixels, available);
        widths_[column + 1] += widths_[column] - pixels;
    }
    widths_[column] = pixels;
    StoreCells();
    FillFields();
}

void CAnalysisLimitsDlg::FitColumnsToContents() {
    StoreCells();
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    const int extra = MeasureText(LimitsCellId(0, 1), "X").cx;
    for (int c = 1; c < 5; ++c) {
        int width = MeasureText(LimitsHeaderId(c), kHeaderTitles[c]).cx;
        for (const auto& row : s->curves) {
            const std::string text = c == 1   ? ld_Text(row->xExpression)
                                     : c == 2 ? ld_Text(row->yExpression)
                                     : c == 3 ? RangeCellText(row->xRange, row->gridX, row->boldX)
                                              : RangeCellText(row->yRange, row->gridY, row->boldY);
            width = std::max(width, MeasureText(LimitsCellId(0, c), text).cx);
        }
        widths_[c] = width + extra;
    }
    // Too wide for the work area: X Expression, X Range, Y Range, then Y
    // Expression give way towards their titles.
    const platform::Rect area = ld_WorkArea();
    int total = 2 + StripButtons() * (pitch_ / 2) + 2 + FitHeaderWidth() + kScrollWidth + 7;
    for (int w : widths_) total += w;
    for (int c : {1, 3, 4, 2}) {
        const int over = total - (area.right - area.left);
        if (over <= 0) break;
        const int title = MeasureText(LimitsHeaderId(c), kHeaderTitles[c]).cx + extra;
        const int give = std::min(over, std::max(0, widths_[c] - title));
        widths_[c] -= give;
        total -= give;
    }
    FillFields();
}

void CAnalysisLimitsDlg::ClickStyleButton(int row, int button) {
    AnalysisKindSettings* s = Settings();
    if (!s || row < 0 || row >= RowCount()) return;
    StoreCells();
    CurveRow& r = *s->curves[static_cast<size_t>(row)];
    switch (button) {
    case kStripLogX:
    case kStripLogY: {
        // Every row of the same plot group shares the axis.
        const uint16_t bit = button == kStripLogX ? kOutputLinearX : kOutputLinearY;
        const bool on = !(r.options & bit);
        for (auto& other : s->curves)
            if (other.get() == &r || (r.plotGroup && other->plotGroup == r.plotGroup))
                other->options = on ? (other->options | bit) : (other->options & ~bit);
        break;
    }
    case kStripColor: {
        platform::Menu menu;
        for (int n = 0; n < kPaletteColorCount; ++n) menu.AddItem(kColorMenuFirst + n, "Color " + std::to_string(n));
        const int id = LimitsMenus().Track(menu, platform::Point{0, 0});
        if (id < kColorMenuFirst || id >= kColorMenuFirst + kPaletteColorCount) return;
        r.display.lineColor = r.display.textColor = id - kColorMenuFirst;
        break;
    }
    case kStripNumeric: r.options ^= kOutputFlag; break;
    case kStripChart: {
        if (kind_ != 1) return;
        r.chartType = (r.chartType + 1) % 3;
        if (r.plotGroup)
            for (auto& other : s->curves)
                if (other->plotGroup == r.plotGroup) other->chartType = r.chartType;
        break;
    }
    default: return;
    }
    MarkChanged();
    FillFields();
}

void CAnalysisLimitsDlg::ClickHeader(int item) {
    if (item == 5) {
        FitColumnsToContents();
        return;
    }
    if (item < 0 || item > 4) return;
    StoreCells();
    selectedColumn_ = item;
    const platform::Rect rect = GetItemRect(LimitsHeaderId(item));
    const platform::Point at = ClientToScreen(platform::Point{rect.left, rect.bottom});
    if (item == 2) {
        OpenExpressionMenu(at);
        return;
    }
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    const std::vector<std::string> entries = ColumnMenuEntries(*s, kind_, item);
    platform::Menu menu;
    for (size_t i = 0; i < entries.size(); ++i) menu.AddItem(kColumnMenuFirst + static_cast<int>(i), entries[i]);
    const int id = LimitsMenus().Track(menu, at);
    const int index = id - kColumnMenuFirst;
    // The column stays selected for Expand until a cell takes the focus.
    if (index >= 0 && index < static_cast<int>(entries.size()))
        ColumnMenuChoice(item, entries[static_cast<size_t>(index)]);
}

void CAnalysisLimitsDlg::ColumnMenuChoice(int column, const std::string& text) {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    const std::string choice = text.substr(0, 49);
    if (selectedColumn_ == column) {
        StoreCells();
        if (!ApplyColumnChoice(*s, column, choice)) Reporter().Report(Message(kResultNoMemory));
        MarkChanged();
        FillFields();
        return;
    }
    if (FocusedRow() < 0) return;
    const int cell = LimitsCellId(FocusedRow() - topRow_, column);
    SetText(cell, column == 0 && choice == "None" ? "" : choice);
    StoreCells();
    focusedCell_ = cell;
    FocusControl(cell);
}

void CAnalysisLimitsDlg::OpenExpressionMenu(platform::Point screen) {
    StoreCells();
    expressionMenu_.Build(CollectExpressionMenuSource(document_, kind_), true);
    const int id = LimitsMenus().Track(expressionMenu_.Menu(), screen);
    if (id) ExpressionMenuCommand(id);
    selectedColumn_ = -1;
}

void CAnalysisLimitsDlg::ExpressionMenuCommand(int id) {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    ExpressionMenuChoice choice = expressionMenu_.Choice(id);
    if (choice.action == ExpressionMenuChoice::kNone) return;
    if (choice.action == ExpressionMenuChoice::kExpand) {
        Expand();
        return;
    }
    if (choice.action == ExpressionMenuChoice::kList) {
        CListChoiceDlg list(choice.text, choice.list);
        if (list.DoModal() != platform::dlgid::Ok || list.Chosen().empty()) return;
        choice = ExpressionMenuChoice{ExpressionMenuChoice::kInsert, list.Chosen(), 0, {}};
    }
    StoreCells();
    if (selectedColumn_ == 2 && !s->curves.empty()) {
        // The first row takes the choice; the others follow it, or wrap their
        // own text in a chosen function.
        CurveRow& first = *s->curves[0];
        const std::string firstText =
            ApplyExpressionChoice(choice, ld_Text(first.yExpression), -1, -1, ld_Text(first.xExpression));
        bool failed = false;
        for (auto& row : s->curves) {
            std::string text = firstText;
            if (row.get() != &first && choice.action == ExpressionMenuChoice::kFunction && ld_Text(row->xExpression)[0])
                text = ApplyExpressionChoice(choice, ld_Text(row->yExpression), -1, -1, ld_Text(row->xExpression));
            ld_Store(&row->yExpression, text, &failed);
        }
        if (failed) Reporter().Report(Message(kResultNoMemory));
        selectedColumn_ = -1;
        MarkChanged();
        FillFields();
        return;
    }
    const int row = FocusedRow();
    if (row < 0) return;
    const int line = row - topRow_;
    const int cell = LimitsCellId(line, FocusedColumn());
    const std::string text = GetText(cell);
    // Without a selection the item goes in at the end of the text.
    const int end = static_cast<int>(text.size());
    SetText(cell, ApplyExpressionChoice(choice, text, end, end, GetText(LimitsCellId(line, 1))));
    StoreCells();
    FocusControl(cell);
}

void CAnalysisLimitsDlg::Expand() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    StoreCells();
    const int column = selectedColumn_ >= 1 ? selectedColumn_ : FocusedColumn();
    if (column < 1) return;
    const int row = FocusedRow() >= 0 ? FocusedRow() : 0;
    if (row >= RowCount()) return;
    const int cell = LimitsCellId(row - topRow_, column);
    const bool shown = row >= topRow_ && row < topRow_ + shownLines_;
    CExpandDlg expand(shown ? GetText(cell) : "");
    const bool columnWide = selectedColumn_ >= 1;
    selectedColumn_ = -1;
    if (expand.DoModal() != platform::dlgid::Ok) return;
    if (columnWide) {
        if (!ApplyColumnChoice(*s, column, expand.Text())) Reporter().Report(Message(kResultNoMemory));
        MarkChanged();
        FillFields();
    } else if (shown) {
        SetText(cell, expand.Text());
        StoreCells();
        FillFields();
    }
    if (shown) FocusControl(cell);
}

void CAnalysisLimitsDlg::AddRow() {
    AnalysisKindSettings* s = Settings();
    if (!s) return;
    StoreFields();
    const int rows = RowCount();
    const int after = FocusedRow() >= 0 ? FocusedRow() : rows - 1;
    const int column = std::max(FocusedColumn(), 0);
    auto row = std::make_unique<CurveRow>();
    const int index = after + 1;
    if (after >= 0) {
        // A copy of the row before it that keeps only its output and log options.
        const CurveRow& before = *s->curves[static_cast<size_t>(after)];
        row->plotGroup = before.plotGroup;
        SetString(&row->xExpression, ld_Text(before.xExpression));
        SetString(&row->yExpression, ld_Text(before.yExpression));
        SetString(&row->xRange, ld_Text(before.xRange));
        SetString(&row->yRange, ld_Text(before.yRange));
        row->options = before.options & (kOutputFlag | kOutputLinearX | kOutputLinearY);
        row->chartType = before.chartType;
    } else {
        row->plotGroup = '1';
    }
    SetDefaultCurveStyle(*row, index);
    row->aliasId = NextFreeCurveId(*s);
    if (!ld_Text(row->xRange)[0]) SetString(&row->xRange, "Auto");
    if (!ld_Text(row->yRange)[0]) SetString(&row->yRange, "Auto");
    s->curves.insert(s->curves.begin() + index, std::move(row));
    if (shownLines_ == rows && shownLines_ < std::min(maxLines_, kLimitsGridLines)) ++shownLines_;
    MarkChanged();
    FillFields();
    FocusCell(index, column);
}

void CAnalysisLimitsDlg::DeleteRow() {
    AnalysisKindSettings* s = Settings();
    if (!s || RowCount() <= 1) return;
    StoreFields();
    const int row = FocusedRow() >= 0 ? FocusedRow() : RowCount() - 1;
    const int column = std::max(FocusedColumn(), 0);
    DeleteCurveRow(*s, row);
    shownLines_ = std::min(shownLines_, RowCount());
    MarkChanged();
    FillFields();
    FocusCell(std::min(row, RowCount() - 1), column);
}

void CAnalysisLimitsDlg::PostToMainWindow(int command) {
    // What the main window does not know is not built yet; say so plainly.
    CMainFrame* frame = GetMainFrame();
    if (!frame || !frame->RouteCommand(command)) Reporter().Report(Message(kResultNotBuilt));
}

void CAnalysisLimitsDlg::MoveFocus(int rows, bool wrap) {
    const int row = FocusedRow();
    if (row < 0) return;
    const int count = RowCount();
    int target = row + rows;
    if (wrap)
        target = (target % count + count) % count;
    else
        target = std::clamp(target, 0, count - 1);
    FocusCell(target, FocusedColumn());
}

void CAnalysisLimitsDlg::MoveFieldFocus(int id, int step) {
    const int count = LimitFieldCount(kind_);
    int index = id - kIdLimitField;
    for (int tries = 0; tries < count; ++tries) {
        index = (index + step + count) % count;
        if (HasControl(kIdLimitField + index)) break;
    }
    focusedCell_ = kIdLimitField + index;
    FocusControl(focusedCell_);
    ApplyEnabling();
}

bool CAnalysisLimitsDlg::OnDialogKey(int key, unsigned modifiers) {
    using namespace platform;
    if (modifiers == ModAlt && key == key::LetterA + ('R' - 'A')) {
        FocusControl(kIdRunOptions);
        return true;
    }
    if (modifiers == ModAlt && key == key::LetterA + ('S' - 'A')) {
        if (HasControl(kIdStateVariables)) FocusControl(kIdStateVariables);
        return true;
    }
    if (modifiers == ModNone && key == key::F10) {
        PostToMainWindow(kCmdPlotProperties);
        return true;
    }
    if (modifiers == ModNone) {
        const int focused = FocusedId();
        const bool inField = focused >= kIdLimitField && focused < kIdLimitField + LimitFieldCount(kind_);
        if (focused >= LimitsCellId(0, 0) && focused < LimitsCellId(kLimitsGridLines, 0) && focused % 100 <= 4)
            focusedCell_ = focused;
        if (FocusedRow() >= 0 && !inField) {
            switch (key) {
            case key::Up: MoveFocus(-1, true); return true;
            case key::Down: MoveFocus(1, true); return true;
            case key::PageUp: MoveFocus(-shownLines_, false); return true;
            case key::PageDown: MoveFocus(shownLines_, false); return true;
            default: break;
            }
        }
        if (inField) {
            StoreFields();
            switch (key) {
            case key::Up:
            case key::PageUp: MoveFieldFocus(focused, -1); return true;
            case key::Down:
            case key::PageDown:
            case key::Enter: MoveFieldFocus(focused, 1); return true;
            default: break;
            }
        }
    }
    return CDialog2::OnDialogKey(key, modifiers);
}

void CAnalysisLimitsDlg::OnDrawItem(platform::DrawItemInfo& item) {
    if (!item.surface) return;
    AnalysisKindSettings* s = Settings();
    const int line = item.id / 100 - 3, button = item.id % 100 - 10;
    const int row = topRow_ + line;
    if (!s || button < 0 || row < 0 || row >= RowCount()) return CDialog2::OnDrawItem(item);
    const CurveRow& r = *s->curves[static_cast<size_t>(row)];
    item.surface->FillRect(item.rect, GetPaletteColor(kColorWhite, true));
    std::string glyph;
    switch (button) {
    case kStripLogX: glyph = (r.options & kOutputLinearX) ? "x" : "X"; break;
    case kStripLogY: glyph = (r.options & kOutputLinearY) ? "y" : "Y"; break;
    case kStripColor:
        item.surface->FillRect(
            platform::Rect{item.rect.left + 1, item.rect.top + 2, item.rect.right - 1, item.rect.bottom - 2},
            GetPaletteColor(r.display.lineColor, true));
        return;
    case kStripNumeric: glyph = (r.options & kOutputFlag) ? "#" : "."; break;
    case kStripChart: glyph = r.chartType == 0 ? "R" : r.chartType == 1 ? "P" : "S"; break;
    default: return;
    }
    item.surface->TextOut(platform::Point{item.rect.left + 1, item.rect.top}, glyph);
}

int CAnalysisLimitsDlg::PromptIdOf(int id) const {
    if (id >= LimitsHeaderId(0) && id <= LimitsHeaderId(4)) return 17126 + (id - LimitsHeaderId(0));
    if (id == LimitsHeaderId(5)) return 17121;
    if (id >= LimitsCellId(0, 0) && id < LimitsCellId(kLimitsGridLines, 0)) {
        const int column = id % 100;
        if (column <= 4) return 17126 + column;
        if (column >= 10 && column < 15) return 19550 + column - 10;
    }
    if (id >= kIdLimitField && id < kIdLimitField + LimitFieldCount(kind_)) {
        static const int kBases[] = {19520, 19530, 19540, 19560};
        return kBases[kind_] + id - kIdLimitField;
    }
    return id;
}

void CAnalysisLimitsDlg::OnPrompt(int id) { CDialog2::OnPrompt(PromptIdOf(id)); }

void CAnalysisLimitsDlg::OnOK() {
    // Enter moves on as the Down key does.
    const int focused = FocusedId();
    StoreFields();
    if (focused >= kIdLimitField && focused < kIdLimitField + LimitFieldCount(kind_))
        MoveFieldFocus(focused, 1);
    else if (FocusedRow() >= 0)
        MoveFocus(1, true);
}

void CAnalysisLimitsDlg::OnCancel() {
    StoreFields();
    if (ld_active == this) ld_active = nullptr;
    CloseModeless();
}

void CAnalysisLimitsDlg::OnControl(int id, platform::Notify notification) {
    using platform::Notify;
    const bool cell = id >= LimitsCellId(0, 0) && id < LimitsCellId(kLimitsGridLines, 0) && id % 100 <= 4;
    const bool field = id >= kIdLimitField && id < kIdLimitField + LimitFieldCount(kind_);
    if (notification == Notify::FocusIn && (cell || field)) {
        focusedCell_ = id;
        selectedColumn_ = -1;
        ApplyEnabling();
    }
    if (notification == Notify::RightButton && cell && id % 100 == 2) {
        // The cell has the focus; the menu opens below it.
        focusedCell_ = id;
        selectedColumn_ = -1;
        const platform::Rect rect = GetItemRect(id);
        OpenExpressionMenu(ClientToScreen(platform::Point{rect.left, rect.bottom}));
        return;
    }
    if (notification == Notify::FocusOut && (cell || field)) StoreFields();
    if (notification == Notify::SelChanged) {
        if (id == kIdLimitsScroll) {
            ScrollTo(GetPos(kIdLimitsScroll));
            return;
        }
        if (id == kIdRunOptions || id == kIdStateVariables || id == kIdSweepMethod || id == kIdSweep2Method ||
            id == kIdTemperatureMethod || id == kIdAmplitudeMethod || id == kIdModelParameter1 ||
            id == kIdModelParameter2 || field) {
            if (kind_ == 2 && (id == kIdLimitField + 1 || id == kIdLimitField + 3))
                FillModelParameters(id == kIdLimitField + 3 ? kIdModelParameter1 : kIdModelParameter2, GetText(id));
            StoreFields();
            ApplyEnabling();
            return;
        }
    }
    if (notification != Notify::Clicked) return CDialog2::OnControl(id, notification);
    if (id >= LimitsHeaderId(0) && id <= LimitsHeaderId(5)) return ClickHeader(id - LimitsHeaderId(0));
    if (id >= LimitsStripId(0, 0) && id < LimitsCellId(kLimitsGridLines, 0) && id % 100 >= 10 && id % 100 < 15)
        return ClickStyleButton(topRow_ + id / 100 - 3, id % 100 - 10);
    switch (id) {
    case kIdOperatingPoint:
    case kIdOperatingPointOnly:
    case kIdAutoScaleRanges: StoreFields(); return;
    case kIdLimitsAdd: AddRow(); return;
    case kIdLimitsDelete: DeleteRow(); return;
    case kIdLimitsExpand: Expand(); return;
    case kIdLimitsRun:
        StoreFields();
        PostToMainWindow(kCmdLimitsRun);
        return;
    case kIdLimitsStepping: PostToMainWindow(kCmdStepping); return;
    case kIdLimitsProperties: PostToMainWindow(kCmdPlotProperties); return;
    default: CDialog2::OnControl(id, notification);
    }
}

void CAnalysisLimitsDlg::FollowStatusBar() {
    if (Prefs().statusBarVisible)
        Prompt().Attach(1, 1);
    else
        Prompt().Hide();
}

void CAnalysisLimitsDlg::FitToWorkArea() {
    const platform::Rect area = ld_WorkArea();
    maxLines_ = std::clamp((area.bottom - area.top - gridTop_ - 2 * pitch_ - 60 - Prompt().ExtraHeight()) / pitch_, 2,
                           kLimitsGridLines);
    SetShownLines(std::min(shownLines_, maxLines_));
}

void LimitsWindowPromptBar() {
    if (ld_active) ld_active->FollowStatusBar();
}

void LimitsWindowFit() {
    if (ld_active) ld_active->FitToWorkArea();
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
