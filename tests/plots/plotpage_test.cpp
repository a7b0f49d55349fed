// The plot page base: variable names, the axis choice lists and the refusal
// of one variable on both axes, the case lists (performance "All", Monte
// Carlo cases, the temperature list), the panel controls a variable on an
// axis disables, the title's Auto box with store and restore, the curve
// choice list and the Get button; the run state the document answers and
// the step value texts.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "platform/app.h"
#include "plots/andoc.h"
#include "plots/g2ddoc.h"
#include "plots/plotpage.h"
#include "shell/document.h"
#include "tests/support/test_reporter.h"

namespace {

namespace dlgid = platform::dlgid;
using platform::ControlKind;

constexpr int kXCombo = 14620, kSecondCombo = 14621, kZCombo = 14622, kCurveCombo = 14630;

platform::DialogDesc ppt_Desc() {
    platform::DialogDesc d;
    d.caption = "Plot";
    d.cx = 320;
    d.cy = 260;
    d.controls = {
        {ControlKind::Edit, plotpage::TitleEdit, "", 6, 6, 200, 12, 0},
        {ControlKind::CheckBox, plotpage::AutoTitleBox, "Auto", 210, 6, 40, 12, 0},
        {ControlKind::ComboBox, kXCombo, "", 6, 22, 90, 80, 0},
        {ControlKind::ComboBox, kSecondCombo, "", 100, 22, 90, 80, 0},
        {ControlKind::ComboBox, kZCombo, "", 194, 22, 90, 80, 0},
        {ControlKind::ComboBox, kCurveCombo, "", 6, 38, 90, 80, 0},
        {ControlKind::Static, plotpage::TemperatureLabel, "Temperature", 6, 54, 60, 8, 0},
        {ControlKind::ComboBox, plotpage::TemperatureCombo, "", 70, 54, 60, 80, 0},
        {ControlKind::Button, plotpage::GetButton, "Get", 6, 240, 30, 14, 0},
        {ControlKind::Edit, plotpage::ExpressionEdit, "", 40, 240, 200, 12, 0},
    };
    for (int i = 0; i < plotpage::PanelControlCount; ++i) {
        const int y = 70 + (i % 10) * 16, x = i < 10 ? 6 : 160;
        d.controls.push_back({ControlKind::Static, plotpage::PanelLabelFirst + i, "", x, y, 60, 8, 0});
        d.controls.push_back({ControlKind::ComboBox, plotpage::PanelComboFirst + i, "", x + 64, y, 80, 80, 0});
    }
    return d;
}

class ppt_Page : public CPlotPage {
public:
    explicit ppt_Page(CANDoc* document) : CPlotPage(15700u, 0, document) {
        SetDescription(ppt_Desc());
        SetVariableCombos(kXCombo, kSecondCombo, kZCombo);
    }
    bool OnInitDialog() override {
        const bool focus = CPlotPage::OnInitDialog();
        InitTitle();
        return focus;
    }
    int expressionChanges = 0;
    std::vector<std::string> Items(int id) const {
        std::vector<std::string> items;
        for (int i = 0; i < Count(id); ++i) items.push_back(GetItemText(id, i));
        return items;
    }
    std::vector<intptr_t> Data(int id) const {
        std::vector<intptr_t> data;
        for (int i = 0; i < Count(id); ++i) data.push_back(GetItemData(id, i));
        return data;
    }

protected:
    std::string AutomaticTitle() override { return "circuit: V(1)"; }
    void OnExpressionChanged() override { ++expressionChanges; }
};

class ppt_RunState final : public PlotRunStatePort {
public:
    PlotRunState state;
    int ReadRunState(PlotRunState& out) override {
        out = state;
        return 0;
    }
};

class ppt_Selector final : public PerformanceFunctionSelector {
public:
    std::string text;
    int calls = 0;
    int GetPerformanceFunction(CPropertyPage2&, std::string& chosen) override {
        ++calls;
        chosen = text;
        return 0;
    }
};

class PlotPage : public ::testing::Test {
protected:
    void SetUp() override { InstallPlotRunStates(&fake_); }
    void TearDown() override {
        InstallPlotRunStates(nullptr);
        InstallPerformanceFunctions(nullptr);
    }

    PlotRunState& state() { return fake_.state; }

    // Runs at temperatures 27 and 50, each stepping panel 0 over three
    // resistor values (list items) and panel 1 over two values.
    void SteppingRuns(bool simultaneous = false) {
        PlotRunState& s = state();
        s.analysisDocument = &analysis_;
        s.runningKind = 0;
        s.temperatureList = true;
        s.stepping = true;
        s.simultaneous = simultaneous;
        s.runsPerTemperature = 6;
        s.panels[0] = StepPanelState{true, kStepList, "R1", "Value", {"1k", "2k", "5k"}, 3, 2};
        s.panels[1] = StepPanelState{true, kStepLinear, "C1", "Value", {}, 2, 1};
        runs_.Records.clear();
        for (double t : {27.0, 50.0})
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 2; ++b) {
                    RunRecord r;
                    r.Temperature = t;
                    r.StepIndex[0] = a;
                    r.StepValue[0] = a;
                    r.StepValue[1] = 1e-9 * (b + 1);
                    runs_.Records.push_back(r);
                }
        runs_.Count = static_cast<int32_t>(runs_.Records.size());
        s.runs = &runs_;
    }

    void MonteCarloRuns(int cases) {
        PlotRunState& s = state();
        s.analysisDocument = &analysis_;
        s.runningKind = 0;
        s.monteCarlo = true;
        s.monteCarloCases = cases;
    }

    // Runs the page on a sheet; `body` acts as the user.
    int Run(ppt_Page& page, const std::function<void()>& body, int answer = dlgid::Ok) {
        CPropertySheet2 sheet("Properties", nullptr, nullptr, nullptr);
        sheet.AddPage(&page);
        platform::ScopedModalAnswerer scoped([&](platform::ModalRequest&) {
            body();
            return answer;
        });
        return sheet.DoModal();
    }

    ppt_RunState fake_;
    RunLog runs_;
    CANDoc analysis_{kDocAnalysisPlot};
};

TEST_F(PlotPage, VariableNamesByCode) {
    state().panels[0] = StepPanelState{true, kStepLinear, "R1", "Value", {}, 3, 1};
    state().panels[5] = StepPanelState{true, kStepSymbolic, "GAIN", "", {}, 2, 1};
    struct Case {
        int kind, code;
        const char* name;
    };
    const std::vector<Case> cases = {
        {0, 1, "Temperature"},
        {0, 3, "Case"},
        {0, 1000, "R1 Value"},
        {0, 1005, "GAIN"},
        {3, 1020, "Input Source Amplitude"},
        {0, 1020, ""},
        {0, 2, ""},
        {0, -1, ""},
        {0, 999, ""},
        {3, 1021, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        state().runningKind = c.kind;
        std::string name = "stale";
        FormatPlotVariableName(c.code, name);
        EXPECT_EQ(c.name, name);
    }
}

TEST_F(PlotPage, HighSteppingPanelsNeedADocumentAndSeparateStepping) {
    struct Case {
        const char* name;
        bool document, stepping, simultaneous;
        int panel;
        int expected;
    };
    const std::vector<Case> cases = {
        {"panel 12 enabled", true, true, false, 12, 1},    {"panel 20 enabled", true, false, false, 20, 1},
        {"only a low panel", true, true, false, 9, 0},     {"no analysis document", false, true, false, 12, 0},
        {"all stepped together", true, true, true, 12, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state() = PlotRunState{};
        state().analysisDocument = c.document ? &analysis_ : nullptr;
        state().stepping = c.stepping;
        state().simultaneous = c.simultaneous;
        state().panels[c.panel].enabled = true;
        EXPECT_EQ(c.expected, AnyHighSteppingPanel());
    }
}

TEST_F(PlotPage, SameVariableOnBothAxesIsRefusedAndAxisCasesAreReset) {
    SteppingRuns();
    ppt_Page page(nullptr);
    PlotSource source;
    source.XVariable = 1;
    source.ZVariable = 1000;
    source.TemperatureCase = 1;
    source.StepCase[0] = 2;
    source.StepCase[1] = 1;
    std::vector<std::string> xItems;
    int refused = 0, stored = 0;
    PlotSource kept, after;
    bool tempEnabled = true, panel0Enabled = true, panel1Enabled = false;
    Run(page, [&] {
        page.Add(kSecondCombo, "Variables");
        page.SetItemData(kSecondCombo, 0, kVarChoiceVariables);
        page.SetSel(kSecondCombo, 0);
        page.FillAxisChoiceCombos(source.XVariable, source.ZVariable, true);
        page.FillCaseCombos(source);
        xItems = page.Items(kXCombo);
        page.UserSelect(kZCombo, 0);  // Temperature, as X
        refused = page.StoreAxisChoices(source, true);
        kept = source;
        page.UserSelect(kZCombo, 1);  // R1 Value
        stored = page.StoreAxisChoices(source, true);
        after = source;
        page.UpdateChoiceControls(false, true);
        tempEnabled = page.IsControlEnabled(plotpage::TemperatureCombo);
        panel0Enabled = page.IsControlEnabled(plotpage::PanelComboFirst);
        panel1Enabled = page.IsControlEnabled(plotpage::PanelComboFirst + 1);
    });
    EXPECT_EQ((std::vector<std::string>{"Temperature", "R1 Value", "C1 Value"}), xItems);
    EXPECT_EQ(-1, refused);
    EXPECT_EQ(1000, kept.ZVariable);
    EXPECT_EQ(1, kept.TemperatureCase);
    EXPECT_EQ(2, kept.StepCase[0]);
    EXPECT_EQ(1, stored);
    EXPECT_EQ(1, after.XVariable);
    EXPECT_EQ(1000, after.ZVariable);
    EXPECT_EQ(0, after.TemperatureCase);  // temperature lies along X
    EXPECT_EQ(0, after.StepCase[0]);      // panel 0 lies along Z
    EXPECT_EQ(1, after.StepCase[1]);
    EXPECT_FALSE(tempEnabled);
    EXPECT_FALSE(panel0Enabled);
    EXPECT_TRUE(panel1Enabled);
}

TEST_F(PlotPage, SecondChoiceOfACurveListsItsXAlone) {
    SteppingRuns();
    analysis_.Curves.resize(2);
    analysis_.Curves[0].ExprText[kAxisX] = "T";
    analysis_.Curves[1].ExprText[kAxisX] = "F";
    ppt_Page page(nullptr);
    std::vector<std::string> items, zItems;
    std::vector<intptr_t> data;
    int zSelected = -1;
    Run(page, [&] {
        page.Add(kSecondCombo, "V(2)");
        page.SetItemData(kSecondCombo, 0, kVarChoiceCurveBase + 1);
        page.SetSel(kSecondCombo, 0);
        page.FillAxisChoiceCombos(kVarSourceX, 1234, true);
        items = page.Items(kXCombo);
        data = page.Data(kXCombo);
        zItems = page.Items(kZCombo);
        zSelected = page.GetSel(kZCombo);
    });
    EXPECT_EQ((std::vector<std::string>{"F"}), items);
    EXPECT_EQ((std::vector<intptr_t>{kVarSourceX}), data);
    EXPECT_EQ(3u, zItems.size());
    EXPECT_EQ(2, zSelected);  // no entry has the code and none was selected: the last
}

TEST_F(PlotPage, PerformancePageListsStartWithAll) {
    SteppingRuns();
    CANDoc performance(kDocPerformance);
    ppt_Page page(&performance);
    PlotSource source;
    source.TemperatureCase = AllCases;
    source.StepCase[0] = 1;
    source.StepCase[1] = 7;  // no such case: the first real entry
    std::vector<std::string> temps, panel0, panel1;
    int tempSel = -1, panel0Sel = -1, panel1Sel = -1, changed = -1;
    std::string label0;
    PlotSource read = source;
    Run(page, [&] {
        page.FillCaseCombos(source);
        temps = page.Items(plotpage::TemperatureCombo);
        panel0 = page.Items(plotpage::PanelComboFirst);
        panel1 = page.Items(plotpage::PanelComboFirst + 1);
        label0 = page.GetText(plotpage::PanelLabelFirst);
        tempSel = page.GetSel(plotpage::TemperatureCombo);
        panel0Sel = page.GetSel(plotpage::PanelComboFirst);
        panel1Sel = page.GetSel(plotpage::PanelComboFirst + 1);
        page.UserSelect(plotpage::PanelComboFirst, 0);
        changed = page.ReadCaseChoices(read);
    });
    EXPECT_EQ((std::vector<std::string>{"All", "27", "50"}), temps);
    EXPECT_EQ((std::vector<std::string>{"All", "1k", "2k", "5k"}), panel0);
    EXPECT_EQ((std::vector<std::string>{"All", "1e-09", "2e-09"}), panel1);
    EXPECT_EQ("R1 Value", label0);
    EXPECT_EQ(0, tempSel);
    EXPECT_EQ(2, panel0Sel);
    EXPECT_EQ(1, panel1Sel);
    EXPECT_EQ(1, changed);
    EXPECT_EQ(AllCases, read.TemperatureCase);
    EXPECT_EQ(AllCases, read.StepCase[0]);
    EXPECT_EQ(0, read.StepCase[1]);
}

TEST_F(PlotPage, WithoutATemperatureListTheTemperatureChoiceStaysOff) {
    MonteCarloRuns(3);
    ppt_Page page(nullptr);
    page.KeepTemperature = 1;
    PlotSource source;
    source.TemperatureCase = 2;
    int count = -1, changed = -1;
    bool enabled = true, visible = false;
    Run(page, [&] {
        page.FillCaseCombos(source);
        count = page.Count(plotpage::TemperatureCombo);
        page.UpdateChoiceControls(false, false);
        enabled =
            page.IsControlEnabled(plotpage::TemperatureCombo) || page.IsControlEnabled(plotpage::TemperatureLabel);
        visible = page.IsControlVisible(plotpage::TemperatureCombo);
        changed = page.ReadCaseChoices(source);
    });
    EXPECT_EQ(0, count);
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(visible);
    EXPECT_EQ(1, changed);
    EXPECT_EQ(0, source.TemperatureCase);
}

TEST_F(PlotPage, MonteCarloCasesFillTheFirstPanelUnderCase) {
    MonteCarloRuns(4);
    ppt_Page page(nullptr);
    PlotSource source;
    source.MonteCarloCase = 2;
    std::vector<std::string> cases, xItems;
    std::string label;
    int selected = -1;
    bool shown0 = false, shown1 = true, enabledFree = false, enabledOnAxis = true;
    int32_t readCase = -1;
    Run(page, [&] {
        page.FillCaseCombos(source);
        page.FillAxisChoiceCombos(kVarCase, kVarNone, false);
        xItems = page.Items(kXCombo);
        cases = page.Items(plotpage::PanelComboFirst);
        label = page.GetText(plotpage::PanelLabelFirst);
        selected = page.GetSel(plotpage::PanelComboFirst);
        page.UpdateSteppedControls(false, kVarNone, kVarNone);
        shown0 = page.IsControlVisible(plotpage::PanelComboFirst);
        shown1 = page.IsControlVisible(plotpage::PanelComboFirst + 1);
        enabledFree = page.IsControlEnabled(plotpage::PanelComboFirst);
        page.UserSelect(plotpage::PanelComboFirst, 3);
        PlotSource read;
        page.ReadCaseChoices(read);
        readCase = read.MonteCarloCase;
        page.UpdateChoiceControls(false, false);  // X is "Case"
        enabledOnAxis = page.IsControlEnabled(plotpage::PanelComboFirst);
    });
    EXPECT_EQ((std::vector<std::string>{"Case"}), xItems);
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4"}), cases);
    EXPECT_EQ("Case", label);
    EXPECT_EQ(2, selected);
    EXPECT_TRUE(shown0);
    EXPECT_FALSE(shown1);
    EXPECT_TRUE(enabledFree);
    EXPECT_FALSE(enabledOnAxis);
    EXPECT_EQ(3, readCase);
}

TEST_F(PlotPage, SimultaneousSteppingCopiesTheChoiceToEveryPanel) {
    SteppingRuns(true);
    ppt_Page page(nullptr);
    int other = -1;
    bool modified = false;
    Run(page, [&] {
        page.FillCaseCombos(PlotSource{});
        page.UserSelect(plotpage::PanelComboFirst + 1, 1);
        other = page.GetSel(plotpage::PanelComboFirst);
        modified = page.IsModified();
    });
    EXPECT_EQ(1, other);
    EXPECT_TRUE(modified);
}

TEST_F(PlotPage, AutoTitleStoreAndRestore) {
    CANDoc document(kDocAnalysisPlot);
    document.Title = "My plot";
    document.AutoTitle = 0;
    ppt_Page page(&document);
    std::string shown, automatic;
    bool lockedAfterAuto = false;
    Run(page, [&] {
        shown = page.GetText(plotpage::TitleEdit);
        page.UserClick(plotpage::AutoTitleBox);
        automatic = page.GetText(plotpage::TitleEdit);
        lockedAfterAuto = page.IsModified() && page.AutoTitle == 1;
        page.StoreTitle();
    });
    EXPECT_EQ("My plot", shown);
    EXPECT_EQ("circuit: V(1)", automatic);
    EXPECT_TRUE(lockedAfterAuto);
    EXPECT_EQ(1, document.AutoTitle);
    EXPECT_EQ("circuit: V(1)", document.Title);
    page.RestoreTitle();
    EXPECT_EQ(0, document.AutoTitle);
    EXPECT_EQ("My plot", document.Title);

    // A title typed past its limit is stored cut to 100 characters.
    ppt_Page second(&document);
    Run(second, [&] {
        second.UserSetText(plotpage::TitleEdit, std::string(150, 'x'));
        second.StoreTitle();
    });
    EXPECT_EQ(std::string(100, 'x'), document.Title);
}

TEST_F(PlotPage, TitleOfAPageNeverShownIsLeftAlone) {
    CANDoc document(kDocAnalysisPlot);
    document.Title = "Kept";
    ppt_Page page(&document);
    page.StoreTitle();
    page.RestoreTitle();
    EXPECT_EQ("Kept", document.Title);
}

TEST_F(PlotPage, CurveChoiceFromRowsOrCurves) {
    AnalysisKindSettings settings;
    const std::vector<std::pair<char, const char*>> rows = {{'1', "V(1)"}, {'1', ""}, {0, "V(3)"}, {'2', "I(R1)"}};
    for (const auto& [group, y] : rows) {
        auto row = std::make_unique<CurveRow>();
        row->plotGroup = group;
        row->yExpression = DuplicateString(y);
        settings.curves.push_back(std::move(row));
    }
    state().settings = &settings;
    analysis_.Curves.resize(3);
    for (int i = 0; i < 3; ++i) analysis_.Curves[static_cast<size_t>(i)].ExprText[kAxisY] = std::string(1, 'a' + i);
    ppt_Page page(nullptr);
    struct Case {
        const char* name;
        bool fromRows;
        const char* text;
        int defaultIndex;
        std::vector<std::string> items;
        int selected;
        intptr_t data;
    };
    const std::vector<Case> cases = {
        {"rows, text found in any case", true, "i(r1)", 0, {"V(1)", "I(R1)"}, 1, 3},
        {"rows, text missing: default", true, "V(9)", 1, {"V(1)", "I(R1)"}, 1, 3},
        {"curves, bad default: first", false, "z", 5, {"a", "b"}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> items;
        int selected = -1;
        intptr_t data = -1;
        Run(page, [&] {
            page.FillCurveCombo(kCurveCombo, &analysis_, c.text, c.defaultIndex, 2, c.fromRows);
            items = page.Items(kCurveCombo);
            selected = page.GetSel(kCurveCombo);
            data = page.GetItemData(kCurveCombo, selected);
        });
        EXPECT_EQ(c.items, items);
        EXPECT_EQ(c.selected, selected);
        EXPECT_EQ(c.data, data);
    }
}

TEST_F(PlotPage, GetReplacesTheSelectionOrDoesNothingWithoutSelector) {
    int reports = 0;
    ScopedTestReporter reporter([&](const MessageRequest&) { return ++reports, 0; });
    struct Case {
        const char* name;
        bool installed;
        const char* expected;
        int changes;
    };
    const std::vector<Case> cases = {
        {"no selector yet", false, "A+B", 0},
        {"chosen text replaces the selection", true, "A+Rise_Time(v(1),1,1,.1,.9)", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ppt_Selector selector;
        selector.text = "Rise_Time(v(1),1,1,.1,.9)";
        InstallPerformanceFunctions(c.installed ? &selector : nullptr);
        ppt_Page page(nullptr);
        PlotSource source;
        source.Expression = "A+B";
        std::string text;
        bool modified = true;
        int focused = 0, changes = -1;
        Run(page, [&] {
            page.ShowPerformanceExpression(source);
            page.SelectText(plotpage::ExpressionEdit, 2, 3);
            page.UserClick(plotpage::GetButton);
            platform::Application::Instance()->PumpEvents();
            page.ReadPerformanceText(text);
            modified = page.IsModified();
            focused = page.FocusedId();
            changes = page.expressionChanges;
        });
        EXPECT_EQ(c.expected, text);
        EXPECT_EQ(c.changes, changes);  // the page's own write is no edit
        EXPECT_EQ(c.installed, modified);
        if (c.installed) {
            EXPECT_EQ(plotpage::ExpressionEdit, focused);
        }
    }
    EXPECT_EQ(0, reports);
}

TEST(PlotRunStates, DocumentAnswersWithSteppingAndMonteCarloOff) {
    CG2DDoc document;
    document.RunningKind = 1;
    document.Temperatures = {27, 50};
    document.Runs.Records.resize(2);
    document.Runs.Count = 2;
    CDoc* before = CurrentRunContext().analysisDocument;
    CurrentRunContext().analysisDocument = &document;
    const PlotRunState state = CurrentPlotRunState();
    CurrentRunContext().analysisDocument = before;
    EXPECT_EQ(&document, state.analysisDocument);
    EXPECT_EQ(1, state.runningKind);
    EXPECT_TRUE(state.temperatureList);
    EXPECT_FALSE(state.stepping);
    EXPECT_FALSE(state.monteCarlo);
    EXPECT_EQ(2, state.RunCount());
    EXPECT_EQ(nullptr, CurrentPlotRunState().analysisDocument);  // no analysis document: an empty state
}

TEST(PlotRunStates, StepValueTextsByMethod) {
    RunLog runs;
    runs.Records.resize(1);
    runs.Records[0].StepValue[2] = 4.7e3;
    runs.Records[0].StepIndex[2] = 1;
    runs.Count = 1;
    PlotRunState state;
    state.runs = &runs;
    state.panels[2].listItems = {"1k", "4k7"};
    struct Case {
        int32_t flags;
        int run;
        const char* text;
    };
    const std::vector<Case> cases = {
        {kStepList, 0, "4k7"},
        {kStepList | kStepLinear, 0, "4700"},  // read as linear
        {kStepLog, 0, "4700"},
        {kStepList, 1, ""},  // no such run
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        state.panels[2].flags = c.flags;
        EXPECT_EQ(c.text, FormatStepValue(state, 2, c.run));
    }
    state.panels[2].listItems = {"1k"};  // an index past the list shows the value
    state.panels[2].flags = kStepList;
    EXPECT_EQ("4700", FormatStepValue(state, 2, 0));
}

}  // namespace
