#include "plots/plotpage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/messages.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "plots/andoc.h"
#include "shell/document.h"

namespace {

constexpr MessageRow kPlotPageMessageRows[] = {
    {plotpage::TitleEdit, "Title field"},
    {plotpage::AutoTitleBox, "Automatically creates the title."},
    {plotpage::TemperatureCombo, "Temperature choice."},
    {plotpage::PanelComboFirst + 0, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 1, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 2, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 3, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 4, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 5, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 6, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 7, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 8, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 9, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 10, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 11, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 12, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 13, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 14, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 15, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 16, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 17, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 18, "Stepped parameter choice."},
    {plotpage::PanelComboFirst + 19, "Stepped parameter choice."},
    {plotpage::GetButton, "Performance function selector."},
    {plotpage::ExpressionEdit, "Performance function expression."},
};

class pp_NoPerformanceFunctions final : public PerformanceFunctionSelector {
public:
    int GetPerformanceFunction(CPropertyPage2&, std::string&) override { return kResultNotBuilt; }
};
pp_NoPerformanceFunctions pp_noSelector;
PerformanceFunctionSelector* pp_selector = &pp_noSelector;

// The byte offset of character `chars` of a UTF-8 text (edits count characters).
size_t pp_ByteOffset(const std::string& text, int chars) {
    size_t at = 0;
    for (int n = 0; at < text.size() && n < chars; ++n) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    }
    return at;
}

int pp_CharCount(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string pp_Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool pp_IsPanelCombo(int id) {
    return id >= plotpage::PanelComboFirst && id < plotpage::PanelComboFirst + plotpage::PanelControlCount;
}

}  // namespace

void RegisterPlotPageMessages() {
    RegisterMessages(kPlotPageMessageRows,
                     static_cast<int>(sizeof kPlotPageMessageRows / sizeof kPlotPageMessageRows[0]));
}

PerformanceFunctionSelector& PerformanceFunctions() { return *pp_selector; }

PerformanceFunctionSelector* InstallPerformanceFunctions(PerformanceFunctionSelector* selector) {
    PerformanceFunctionSelector* previous = pp_selector;
    pp_selector = selector ? selector : &pp_noSelector;
    return previous == &pp_noSelector ? nullptr : previous;
}

void FormatPlotVariableName(const PlotRunState& state, int code, std::string& out) {
    out.clear();
    if (code == kVarTemperature)
        out = "Temperature";
    else if (code == kVarCase)
        out = "Case";
    else if (code == kVarStepBase + 20 && state.runningKind == kDistortionAnalysisKind)
        out = "Input Source Amplitude";
    else if (code >= kVarStepBase && code <= kVarStepBase + 20)
        out = FormatStepName(state, code - kVarStepBase);
}

void FormatPlotVariableName(int code, std::string& out) { FormatPlotVariableName(CurrentPlotRunState(), code, out); }

int AnyHighSteppingPanel(const PlotRunState& state) {
    if (!state.analysisDocument) return 0;
    if (state.stepping && state.simultaneous) return 0;
    for (int i = 10; i < kSourcePanelCount; ++i)
        if (state.panels[i].enabled) return 1;
    return 0;
}

int AnyHighSteppingPanel() { return AnyHighSteppingPanel(CurrentPlotRunState()); }

// ---- the page -------------------------------------------------------------------------------

CPlotPage::CPlotPage(unsigned templateId, int captionId, CANDoc* document)
    : CPropertyPage2(templateId, captionId), document_(document) {}

CPlotPage::~CPlotPage() = default;

void CPlotPage::SetVariableCombos(int xCombo, int secondCombo, int zCombo) {
    xCombo_ = xCombo;
    secondCombo_ = secondCombo;
    zCombo_ = zCombo;
}

bool CPlotPage::IsPerformancePage() const { return document_ && document_->Kind() == kDocPerformance; }

int32_t CPlotPage::SelectedCode(int comboId) const {
    const int index = GetSel(comboId);
    if (index < 0) return kVarNone;
    return static_cast<int32_t>(GetItemData(comboId, index));
}

// ---- title

std::string CPlotPage::AutomaticTitle() {
    if (!document_) return std::string();
    return document_->FormatTitle(1).value_or(std::string());
}

void CPlotPage::ShowAutomaticTitle() {
    SetText(plotpage::TitleEdit, AutomaticTitle());
    SetReadOnly(plotpage::TitleEdit, true);
}

void CPlotPage::InitTitle() {
    Title = SavedTitle = document_ ? document_->Title : std::string();
    AutoTitle = SavedAutoTitle = document_ ? document_->AutoTitle : 0;
    titleAttached_ = true;
    if (AutoTitle) {
        ShowAutomaticTitle();
    } else {
        SetReadOnly(plotpage::TitleEdit, false);
        SetText(plotpage::TitleEdit, Title);
    }
    SetCheck(plotpage::AutoTitleBox, AutoTitle ? 1 : 0);
}

void CPlotPage::StoreTitle() {
    // A page whose title was never shown has nothing to store: its empty
    // edit would wipe the document's title.
    if (!document_ || !titleAttached_) return;
    const std::string text = GetText(plotpage::TitleEdit);
    Title = text.substr(0, pp_ByteOffset(text, plotpage::TitleLimit));
    document_->AutoTitle = AutoTitle;
    document_->Title = Title;
}

void CPlotPage::RestoreTitle() {
    if (!document_ || !titleAttached_) return;
    document_->AutoTitle = SavedAutoTitle;
    document_->Title = SavedTitle;
}

void CPlotPage::OnAutoTitle() {
    AutoTitle = GetCheck(plotpage::AutoTitleBox) ? 1 : 0;
    if (AutoTitle)
        ShowAutomaticTitle();
    else
        SetReadOnly(plotpage::TitleEdit, false);
    OnControlChanged();
}

// ---- case choices

bool CPlotPage::AttachTemperatureCombo() const { return HasControl(plotpage::TemperatureCombo); }

bool CPlotPage::TemperatureChoiceShown(const PlotRunState& state) const {
    return state.temperatureList && (state.stepping || state.monteCarlo || KeepTemperature);
}

void CPlotPage::SelectCase(int comboId, int32_t selectedCase) {
    const int count = Count(comboId);
    if (count <= 0) return;
    const int lead = IsPerformancePage() ? 1 : 0;
    int index = selectedCase == AllCases ? 0 : selectedCase + lead;
    if (index < 0 || index >= count) index = std::min(lead, count - 1);
    SetSel(comboId, index);
}

void CPlotPage::FillTemperatureCombo(int32_t selectedCase) {
    const PlotRunState state = CurrentPlotRunState();
    Reset(plotpage::TemperatureCombo);
    if (!TemperatureChoiceShown(state)) return;
    if (IsPerformancePage()) SetItemData(plotpage::TemperatureCombo, Add(plotpage::TemperatureCombo, "All"), AllCases);
    const int perTemperature = std::max(1, state.runsPerTemperature);
    int32_t temperatureCase = 0;
    for (int run = 0; run < state.RunCount(); run += perTemperature, ++temperatureCase)
        SetItemData(plotpage::TemperatureCombo, Add(plotpage::TemperatureCombo, pp_Number(state.Run(run)->Temperature)),
                    temperatureCase);
    SelectCase(plotpage::TemperatureCombo, selectedCase);
}

void CPlotPage::FillPanelCombo(int panel, const PlotRunState& state, int32_t selectedCase) {
    const int combo = plotpage::PanelComboFirst + panel;
    SetText(plotpage::PanelLabelFirst + panel, FormatStepName(state, panel));
    Reset(combo);
    if (IsPerformancePage()) SetItemData(combo, Add(combo, "All"), AllCases);
    const StepPanelState& p = state.panels[panel];
    const int stride = std::max(1, p.stride);
    int32_t value = 0;
    for (int run = 0; run < state.RunCount() && value < p.valueCount; run += stride, ++value)
        SetItemData(combo, Add(combo, FormatStepValue(state, panel, run)), value);
    SelectCase(combo, selectedCase);
}

void CPlotPage::FillMonteCarloCombo(const PlotRunState& state, int32_t selectedCase) {
    SetText(plotpage::PanelLabelFirst, "Case");
    Reset(plotpage::PanelComboFirst);
    if (IsPerformancePage()) SetItemData(plotpage::PanelComboFirst, Add(plotpage::PanelComboFirst, "All"), AllCases);
    for (int32_t c = 0; c < state.monteCarloCases; ++c)
        SetItemData(plotpage::PanelComboFirst, Add(plotpage::PanelComboFirst, std::to_string(c + 1)), c);
    SelectCase(plotpage::PanelComboFirst, selectedCase);
}

void CPlotPage::FillCaseCombos(const PlotSource& source) {
    FillTemperatureCombo(source.TemperatureCase);
    const PlotRunState state = CurrentPlotRunState();
    const int panels = std::clamp(PanelCount, 0, plotpage::PanelControlCount);
    for (int i = 0; i < panels; ++i) {
        if (state.monteCarlo && i == 0)
            FillMonteCarloCombo(state, source.MonteCarloCase);
        else if (state.PanelStepping(i))
            FillPanelCombo(i, state, source.StepCase[i]);
        else
            Reset(plotpage::PanelComboFirst + i);
    }
}

void CPlotPage::ReadTemperatureChoice(int32_t& selectedCase) {
    const PlotRunState state = CurrentPlotRunState();
    selectedCase = 0;
    if (!TemperatureChoiceShown(state)) return;
    const int index = GetSel(plotpage::TemperatureCombo);
    if (index >= 0) selectedCase = static_cast<int32_t>(GetItemData(plotpage::TemperatureCombo, index));
}

int CPlotPage::ReadCaseChoices(PlotSource& source) {
    const PlotRunState state = CurrentPlotRunState();
    bool changed = false;
    auto take = [&changed](int32_t& field, int32_t value) {
        if (field != value) changed = true;
        field = value;
    };
    auto selected = [this](int combo) {
        const int index = GetSel(combo);
        return index < 0 ? 0 : static_cast<int32_t>(GetItemData(combo, index));
    };
    int32_t temperatureCase = 0;
    ReadTemperatureChoice(temperatureCase);
    take(source.TemperatureCase, temperatureCase);
    take(source.MonteCarloCase, state.monteCarlo ? selected(plotpage::PanelComboFirst) : 0);
    const int panels = std::clamp(PanelCount, 0, plotpage::PanelControlCount);
    for (int i = 0; i < panels; ++i)
        take(source.StepCase[i], state.PanelStepping(i) ? selected(plotpage::PanelComboFirst + i) : 0);
    return changed ? 1 : 0;
}

// ---- axis choices

void CPlotPage::FillVariableList(int comboId, const PlotRunState& state) {
    std::string name;
    auto add = [&](int32_t code) {
        FormatPlotVariableName(state, code, name);
        SetItemData(comboId, Add(comboId, name), code);
    };
    if (state.temperatureList) add(kVarTemperature);
    if (state.monteCarlo) add(kVarCase);
    const int last = state.runningKind == kDistortionAnalysisKind ? 20 : 19;
    for (int i = 0; i <= last; ++i)
        if (state.PanelStepping(i)) add(kVarStepBase + i);
}

void CPlotPage::SelectCode(int comboId, int32_t code, int previousIndex, bool lastWhenNone) {
    const int count = Count(comboId);
    if (count <= 0) return;
    for (int i = 0; i < count; ++i)
        if (GetItemData(comboId, i) == code) {
            SetSel(comboId, i);
            return;
        }
    int index = previousIndex;
    if (index < 0 && lastWhenNone) index = count - 1;
    SetSel(comboId, index >= 0 && index < count ? index : 0);
}

void CPlotPage::FillAxisChoiceCombos(int32_t xCode, int32_t zCode, bool withZ) {
    const PlotRunState state = CurrentPlotRunState();
    if (xCombo_) {
        const int previous = GetSel(xCombo_);
        Reset(xCombo_);
        bool variables = true;
        if (withZ && secondCombo_) {
            const int32_t choice = SelectedCode(secondCombo_);
            if (choice != kVarChoiceVariables) {
                variables = false;
                const int curve = std::max(0, choice - kVarChoiceCurveBase);
                const CANDoc* analysis = state.analysisDocument;
                if (analysis && curve < analysis->CurveCount())
                    SetItemData(xCombo_, Add(xCombo_, analysis->Curves[static_cast<size_t>(curve)].ExprText[kAxisX]),
                                kVarSourceX);
            }
        }
        if (variables) FillVariableList(xCombo_, state);
        SelectCode(xCombo_, xCode, previous, false);
    }
    if (withZ && zCombo_) {
        const int previous = GetSel(zCombo_);
        Reset(zCombo_);
        FillVariableList(zCombo_, state);
        SelectCode(zCombo_, zCode, previous, true);
    }
}

int CPlotPage::StoreAxisChoices(PlotSource& source, bool withZ) {
    const int32_t x = xCombo_ ? SelectedCode(xCombo_) : source.XVariable;
    const int32_t z = withZ && zCombo_ ? SelectedCode(zCombo_) : source.ZVariable;
    // Two empty choices are no variable at all, not the same one.
    if (withZ && x == z && x != kVarNone) return -1;
    const PlotSource before = source;
    source.XVariable = x;
    if (withZ) source.ZVariable = z;
    ReadCaseChoices(source);
    auto clearAxisCase = [&source](int32_t code) {
        if (code == kVarTemperature)
            source.TemperatureCase = 0;
        else if (code == kVarCase)
            source.MonteCarloCase = 0;
        else if (code >= kVarStepBase && code < kVarStepBase + kSourcePanelCount)
            source.StepCase[code - kVarStepBase] = 0;
    };
    clearAxisCase(x);
    if (withZ) clearAxisCase(z);
    const bool changed =
        before.XVariable != source.XVariable || before.ZVariable != source.ZVariable ||
        before.TemperatureCase != source.TemperatureCase || before.MonteCarloCase != source.MonteCarloCase ||
        !std::equal(std::begin(before.StepCase), std::end(before.StepCase), std::begin(source.StepCase));
    return changed ? 1 : 0;
}

void CPlotPage::UpdateSteppedControls(bool disable, int32_t xCode, int32_t zCode) {
    const PlotRunState state = CurrentPlotRunState();
    const bool axisTakesCase = xCode == kVarCase || zCode == kVarCase || xCode >= kVarStepBase || zCode >= kVarStepBase;
    const int panels = std::clamp(PanelCount, 0, plotpage::PanelControlCount);
    for (int i = 0; i < panels; ++i) {
        const bool shown = state.PanelStepping(i) || (state.monteCarlo && i == 0);
        bool enable = shown && !disable;
        if (enable && state.monteCarlo)
            enable = i == 0 && !axisTakesCase;
        else if (enable)
            enable = xCode != kVarStepBase + i && zCode != kVarStepBase + i;
        for (int id : {plotpage::PanelLabelFirst + i, plotpage::PanelComboFirst + i}) {
            ShowControl(id, shown && !disable);
            EnableControl(id, enable);
        }
    }
}

void CPlotPage::UpdateTemperatureControls(bool disable, bool xIsTemperature, bool zIsTemperature) {
    const PlotRunState state = CurrentPlotRunState();
    const bool enable = !disable && state.temperatureList && !xIsTemperature && !zIsTemperature;
    for (int id : {plotpage::TemperatureLabel, plotpage::TemperatureCombo}) {
        ShowControl(id, !disable);
        EnableControl(id, enable);
    }
}

void CPlotPage::UpdateChoiceControls(bool disable, bool withZ) {
    const int32_t x = xCombo_ ? SelectedCode(xCombo_) : kVarNone;
    const int32_t z = withZ && zCombo_ ? SelectedCode(zCombo_) : kVarNone;
    UpdateSteppedControls(disable, x, z);
    UpdateTemperatureControls(disable, x == kVarTemperature, z == kVarTemperature);
}

// ---- curve choice

void CPlotPage::FillCurveCombo(int comboId, CANDoc* document, const std::string& text, int defaultIndex, int count,
                               bool fromRows) {
    Reset(comboId);
    if (fromRows) {
        const PlotRunState state = CurrentPlotRunState();
        if (state.settings) {
            int row = 0;
            for (const auto& r : state.settings->curves) {
                if (r && std::isdigit(static_cast<unsigned char>(r->plotGroup)) && r->yExpression && *r->yExpression)
                    SetItemData(comboId, Add(comboId, r->yExpression), row);
                ++row;
            }
        }
    } else if (document) {
        const int curves = std::min(count, document->CurveCount());
        for (int i = 0; i < curves; ++i)
            SetItemData(comboId, Add(comboId, document->Curves[static_cast<size_t>(i)].ExprText[kAxisY]), i);
    }
    const int entries = Count(comboId);
    if (entries <= 0) return;
    int index = text.empty() ? -1 : FindItem(comboId, text, true);
    if (index < 0) index = defaultIndex >= 0 && defaultIndex < entries ? defaultIndex : 0;
    SetSel(comboId, index);
}

// ---- performance function

void CPlotPage::OnGetPerformanceFunction() {
    std::string chosen;
    if (PerformanceFunctions().GetPerformanceFunction(*this, chosen) != 0 || chosen.empty()) return;
    std::string text = GetText(plotpage::ExpressionEdit);
    int start = 0, end = 0;
    GetTextSelection(plotpage::ExpressionEdit, &start, &end);
    if (start > end) std::swap(start, end);
    const size_t from = pp_ByteOffset(text, start);
    const size_t to = pp_ByteOffset(text, end);
    text.replace(from, to - from, chosen);
    SetText(plotpage::ExpressionEdit, text);
    const int caret = pp_CharCount(text.substr(0, from)) + pp_CharCount(chosen);
    SelectText(plotpage::ExpressionEdit, caret, caret);
    FocusControl(plotpage::ExpressionEdit);
    OnControlChanged();
    // The text is the user's choice, as if typed: the page hears of it.
    OnExpressionEdited();
}

void CPlotPage::OnSteppedChoice(int comboId) {
    const PlotRunState state = CurrentPlotRunState();
    if (state.simultaneous) {
        const int index = GetSel(comboId);
        const int panels = std::clamp(PanelCount, 0, plotpage::PanelControlCount);
        for (int i = 0; i < panels && index >= 0; ++i) {
            const int combo = plotpage::PanelComboFirst + i;
            if (combo != comboId && state.PanelStepping(i) && index < Count(combo)) SetSel(combo, index);
        }
    }
    OnControlChanged();
}

void CPlotPage::OnExpressionEdited() {
    if (!SettingText) OnExpressionChanged();
}

void CPlotPage::ReadPerformanceText(std::string& out) const { out = GetText(plotpage::ExpressionEdit); }

void CPlotPage::ReadPerformanceExpression(PlotSource& source) const {
    source.Expression = GetText(plotpage::ExpressionEdit);
}

void CPlotPage::ShowPerformanceExpression(const PlotSource& source) {
    if (GetText(plotpage::ExpressionEdit) == source.Expression) return;
    SettingText = 1;
    SetText(plotpage::ExpressionEdit, source.Expression);
    SettingText = 0;
}

void CPlotPage::OnControl(int id, platform::Notify what) {
    using platform::Notify;
    if (id == plotpage::AutoTitleBox && what == Notify::Clicked)
        OnAutoTitle();
    else if (id == plotpage::GetButton && what == Notify::Clicked)
        OnGetPerformanceFunction();
    else if (pp_IsPanelCombo(id) && what == Notify::SelChanged)
        OnSteppedChoice(id);
    else if (id == plotpage::ExpressionEdit && (what == Notify::TextChanged || what == Notify::FocusOut))
        OnExpressionEdited();
    CPropertyPage2::OnControl(id, what);
}
