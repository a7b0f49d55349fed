#include "analysis/limitsdlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/limitsmenus.h"
#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "platform/app.h"
#include "platform/keys.h"
#include "shell/document.h"
#include "shell/preferences.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class NoWindows : public AnalysisWindowPort {
public:
    int OpenAnalysisWindow(CCTDoc*, int) override { return 0; }
    void CloseAnalysisWindow(CCTDoc*) override {}
};

// Menus answered by the test: the id `choose` picks (0 none).
class ScriptedMenus : public LimitsMenuTracker {
public:
    int Track(platform::Menu& menu, platform::Point) override {
        ++shown;
        return choose ? choose(menu) : 0;
    }
    std::function<int(platform::Menu&)> choose;
    int shown = 0;
};

// The id of the first item with that text anywhere in the menu; 0 none.
int FindItem(platform::Menu& menu, const std::string& text) {
    for (int i = 0; i < menu.ItemCount(); ++i) {
        const platform::Menu::ItemInfo item = menu.ItemAt(i);
        if (item.popup) {
            if (int id = FindItem(*menu.PopupAt(i), text)) return id;
        } else if (item.text == text) {
            return item.id;
        }
    }
    return 0;
}

class LimitsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        previousWindows_ = InstallAnalysisWindows(&windows_);
        previousMenus_ = InstallLimitsMenuTracker(&menus_);
    }
    void TearDown() override {
        if (document_) {
            ExitAnalysis(document_.get(), true);
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        InstallLimitsMenuTracker(previousMenus_);
        InstallAnalysisWindows(previousWindows_);
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        library_.reset();
    }
    // Starts the kind's analysis of the deck; the dialog it opens.
    CAnalysisLimitsDlg* Open(const std::string& deck, int kind) {
        document_ = MakeSpiceTextDocument(dir_.File("amp.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunAnalysis(document_.get(), kind), 0) << LastMessageText();
        return ActiveLimitsDialog();
    }
    AnalysisKindSettings& Kind(int kind) { return CircuitAnalysisSettings(document_.get())->kinds[kind]; }
    // Gives the kind `count` rows, "v(<i>)" in plot groups 1 and 2 alternately.
    void MakeRows(int kind, int count) {
        AnalysisKindSettings& k = Kind(kind);
        k.curves.clear();
        for (int i = 0; i < count; ++i) {
            k.curves.push_back(std::make_unique<CurveRow>());
            CurveRow& row = *k.curves.back();
            row.plotGroup = i % 2 ? '2' : '1';
            SetString(&row.xExpression, "T");
            SetString(&row.yExpression, ("v(" + std::to_string(i) + ")").c_str());
            SetString(&row.xRange, "Auto");
            SetString(&row.yRange, "Auto");
        }
        // The dialog shows what the limits now hold, as a refresh does.
        if (CAnalysisLimitsDlg* d = ActiveLimitsDialog()) d->FillFields();
    }

    twtest::TempDir dir_{"tw_limits_dialog"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    NoWindows windows_;
    AnalysisWindowPort* previousWindows_ = nullptr;
    ScriptedMenus menus_;
    LimitsMenuTracker* previousMenus_ = nullptr;
    std::unique_ptr<CCTDoc> document_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code() >= 0 ? r.code() : LastMessageId());
        return 0;
    }};
};

const char* const kDeck = "deck\nV1 IN 0 DC 1 AC 1\nR1 IN OUT 1k\nR2 OUT 0 1k\n.END\n";

TEST_F(LimitsDialog, ThirtyRowsScrollAndEditsGoBackToTheRowsTheyWereTypedIn) {
    CAnalysisLimitsDlg* d = Open(kDeck, 0);
    ASSERT_NE(d, nullptr);
    MakeRows(0, 30);
    d->SetShownLines(10);
    ASSERT_EQ(d->ShownLines(), std::min(10, d->MaxLines()));
    const int shown = d->ShownLines();
    EXPECT_TRUE(d->IsControlVisible(kIdLimitsScroll));
    EXPECT_EQ(d->GetRangeHigh(kIdLimitsScroll), 30 - shown);
    EXPECT_FALSE(d->IsControlVisible(LimitsCellId(shown, 2)));

    d->ScrollTo(99);
    EXPECT_EQ(d->TopRow(), 30 - shown);
    EXPECT_EQ(d->GetText(LimitsCellId(0, 2)), "v(" + std::to_string(30 - shown) + ")");
    // A cell typed into while scrolled goes into its own row, stored before the grid moves.
    d->SetText(LimitsCellId(shown - 1, 2), " v(OUT)*2 ");
    d->ScrollTo(0);
    EXPECT_STREQ(Kind(0).curves[29]->yExpression, "v(OUT)*2");
    EXPECT_EQ(d->GetText(LimitsCellId(0, 2)), "v(0)");
    EXPECT_TRUE(d->Changed());

    // Up and Down wrap from the last row to the first; Page Down moves a page.
    d->FocusCell(29, 2);
    EXPECT_EQ(d->TopRow(), 30 - shown);
    EXPECT_TRUE(d->OnDialogKey(platform::key::Down, platform::ModNone));
    EXPECT_EQ(d->FocusedRow(), 0);
    EXPECT_EQ(d->TopRow(), 0);
    EXPECT_TRUE(d->OnDialogKey(platform::key::PageDown, platform::ModNone));
    EXPECT_EQ(d->FocusedRow(), shown);
    EXPECT_EQ(d->TopRow(), 1);
    EXPECT_TRUE(d->OnDialogKey(platform::key::Up, platform::ModNone));
    EXPECT_EQ(d->FocusedRow(), shown - 1);
    EXPECT_EQ(d->FocusedColumn(), 2);

    // An error in a row's cell brings that row into view; Alt+R goes to the run options.
    d->FocusError(2, 4, -1);
    EXPECT_EQ(d->FocusedRow(), 4);
    EXPECT_EQ(d->FocusedColumn(), 0);
    EXPECT_LE(d->TopRow(), 4);
    // A limit field in error during a run is focused as it is reported.
    ResetLimitErrors();
    ReportLimitFieldError(0, 2, 13281, "x");
    EXPECT_EQ(d->FocusedRow(), -1);
    EXPECT_EQ(shown_.back(), 13281);
    ResetLimitErrors();
    EXPECT_TRUE(d->OnDialogKey(platform::key::LetterA + ('R' - 'A'), platform::ModAlt));

    // The limits go back to the circuit when the analysis ends.
    CloseAnalysis(document_.get());
    EXPECT_EQ(ActiveLimitsDialog(), nullptr);
    EXPECT_EQ(Kind(0).monitor[0], shown);
}

TEST_F(LimitsDialog, StyleButtonsChangeTheirRowOrItsPlotGroup) {
    CAnalysisLimitsDlg* d = Open(kDeck, 1);
    ASSERT_NE(d, nullptr);
    MakeRows(1, 4);
    d->SetShownLines(4);
    AnalysisKindSettings& ac = Kind(1);
    // X log on a row of group 1 changes every row of group 1 and none of group 2.
    d->UserClick(LimitsStripId(2, kStripLogX));
    EXPECT_TRUE(ac.curves[0]->options & kOutputLinearX);
    EXPECT_TRUE(ac.curves[2]->options & kOutputLinearX);
    EXPECT_FALSE(ac.curves[1]->options & kOutputLinearX);
    d->ClickStyleButton(1, kStripLogY);
    EXPECT_TRUE(ac.curves[3]->options & kOutputLinearY);
    EXPECT_FALSE(ac.curves[0]->options & kOutputLinearY);

    // Numeric output is the row's own and enables Number of Points.
    EXPECT_FALSE(d->IsControlEnabled(kIdLimitField + PointsFieldIndex(1)) && ac.sweepType == 0);
    d->ClickStyleButton(3, kStripNumeric);
    EXPECT_EQ(ac.curves[3]->options & kOutputFlag, kOutputFlag);
    EXPECT_TRUE(d->IsControlEnabled(kIdLimitField + PointsFieldIndex(1)));

    menus_.choose = [](platform::Menu&) { return kColorMenuFirst + 12; };
    d->ClickStyleButton(0, kStripColor);
    EXPECT_EQ(ac.curves[0]->display.lineColor, 12);
    EXPECT_EQ(ac.curves[0]->display.textColor, 12);

    // The AC chart type cycles and spreads over the plot group; a polar row has no X.
    d->ClickStyleButton(1, kStripChart);
    EXPECT_EQ(ac.curves[1]->chartType, 1);
    EXPECT_EQ(ac.curves[3]->chartType, 1);
    EXPECT_EQ(ac.curves[0]->chartType, 0);
    EXPECT_FALSE(d->IsControlEnabled(LimitsCellId(1, 1)));
    EXPECT_TRUE(d->IsControlEnabled(LimitsCellId(0, 1)));
    d->ClickStyleButton(1, kStripChart);
    d->ClickStyleButton(1, kStripChart);
    EXPECT_EQ(ac.curves[3]->chartType, 0);
    EXPECT_TRUE(d->Changed());
}

TEST_F(LimitsDialog, ColumnMenusFillTheFocusedCellOrTheSelectedColumn) {
    CAnalysisLimitsDlg* d = Open(kDeck, 1);
    ASSERT_NE(d, nullptr);
    MakeRows(1, 3);
    SetString(&Kind(1).curves[1]->xRange, "1Meg,1k");
    d->FillFields();
    d->SetShownLines(3);
    // The X Range header of an AC analysis offers its fixed entries, then the rows' others once.
    std::vector<std::string> offered;
    menus_.choose = [&offered](platform::Menu& menu) {
        for (int i = 0; i < menu.ItemCount(); ++i) offered.push_back(menu.ItemAt(i).text);
        return FindItem(menu, "FMAX,FMIN");
    };
    d->UserClick(LimitsHeaderId(3));
    EXPECT_EQ(offered, (std::vector<std::string>{"Auto", "AutoAlways", "FMAX,FMIN", "1Meg,1k"}));
    for (const auto& row : Kind(1).curves) EXPECT_STREQ(row->xRange, "FMAX,FMIN");
    // The column stays selected: Expand then edits it in every row.
    EXPECT_EQ(d->SelectedColumn(), 3);
    {
        platform::ScopedModalAnswerer answerer([](platform::ModalRequest& request) {
            dynamic_cast<CExpandDlg&>(request).SetText(kIdExpandText, "1Meg,\n10");
            return platform::dlgid::Ok;
        });
        d->PressButton(kIdLimitsExpand);
    }
    for (const auto& row : Kind(1).curves) EXPECT_STREQ(row->xRange, "1Meg,10");
    EXPECT_EQ(d->SelectedColumn(), -1);

    // "3" from the P header puts every row in plot group 3; "None" in a focused cell empties it.
    menus_.choose = [](platform::Menu& menu) { return FindItem(menu, "3"); };
    d->ClickHeader(0);
    for (const auto& row : Kind(1).curves) EXPECT_EQ(row->plotGroup, '3');
    d->FocusCell(2, 0);
    d->ColumnMenuChoice(0, "None");
    EXPECT_EQ(d->GetText(LimitsCellId(2, 0)), "");
    EXPECT_EQ(Kind(1).curves[2]->plotGroup, 0);
    EXPECT_EQ(Kind(1).curves[1]->plotGroup, '3');
}

TEST_F(LimitsDialog, TheExpressionMenuInsertsWrapsAndListsLongGroups) {
    std::string deck = "deck\nV1 N1 0 1\n";
    for (int i = 1; i < 25; ++i)
        deck += "R" + std::to_string(i) + " N" + std::to_string(i) + " N" + std::to_string(i + 1) + " 1k\n";
    deck += "R25 N25 0 1k\n.END\n";
    CAnalysisLimitsDlg* d = Open(deck, 0);
    ASSERT_NE(d, nullptr);
    MakeRows(0, 2);
    SetString(&Kind(0).curves[0]->yExpression, "");
    d->FillFields();
    d->SetShownLines(2);

    // SUM around an empty cell of a row plotted against T.
    d->FocusCell(0, 2);
    menus_.choose = [](platform::Menu& menu) { return FindItem(menu, "SUM"); };
    d->OpenExpressionMenu(platform::Point{0, 0});
    EXPECT_STREQ(Kind(0).curves[0]->yExpression, "SUM(?,T)");

    // 25 nodes are one "Node Voltages..." item whose list offers them all.
    int listed = 0;
    platform::ScopedModalAnswerer answerer([&listed](platform::ModalRequest& request) {
        auto& list = dynamic_cast<CListChoiceDlg&>(request);
        listed = list.Count(kIdListChoice);
        list.SetSel(kIdListChoice, list.FindItem(kIdListChoice, "V(N7)"));
        return platform::dlgid::Ok;
    });
    bool single = false;
    menus_.choose = [&single](platform::Menu& menu) {
        single = FindItem(menu, "Node Voltages...") == kIdListNodeVoltages;
        return kIdListNodeVoltages;
    };
    d->FocusCell(1, 2);
    d->SetText(LimitsCellId(1, 2), "");
    d->OpenExpressionMenu(platform::Point{0, 0});
    EXPECT_TRUE(single);
    EXPECT_EQ(listed, 25);
    EXPECT_STREQ(Kind(0).curves[1]->yExpression, "V(N7)");

    // An operator goes in with a blank on each side.
    menus_.choose = [](platform::Menu& menu) { return FindItem(menu, "+"); };
    d->OpenExpressionMenu(platform::Point{0, 0});
    EXPECT_STREQ(Kind(0).curves[1]->yExpression, "V(N7) +");

    // From the Y Expression header a function wraps each row's own text.
    menus_.choose = [](platform::Menu& menu) { return FindItem(menu, "ABS"); };
    d->ClickHeader(2);
    EXPECT_STREQ(Kind(0).curves[0]->yExpression, "ABS(SUM(?,T))");
    EXPECT_STREQ(Kind(0).curves[1]->yExpression, "ABS(V(N7) +)");
}

TEST_F(LimitsDialog, YExpressionCellsColourBracketsAndOpenTheMenuOnTheRightButton) {
    CAnalysisLimitsDlg* d = Open(kDeck, 0);
    ASSERT_NE(d, nullptr);
    MakeRows(0, 2);
    d->SetShownLines(2);
    const int cell = LimitsCellId(0, 2);
    ASSERT_EQ(d->KindOf(cell), platform::ControlKind::RichEdit);
    d->UserSetText(cell, "abs(v(OUT))");
    const std::vector<platform::FormatRun> runs = d->GetFormatRuns(cell);
    int boldBrackets = 0;
    for (const platform::FormatRun& run : runs)
        if (run.format.bold) boldBrackets += run.length;
    EXPECT_EQ(boldBrackets, 4);

    menus_.choose = [](platform::Menu& menu) { return FindItem(menu, "PI"); };
    const int before = menus_.shown;
    d->UserRightButton(cell);
    EXPECT_EQ(menus_.shown, before + 1);
    EXPECT_STREQ(Kind(0).curves[0]->yExpression, "abs(v(OUT))PI");
}

TEST_F(LimitsDialog, ExpandRowsAndTheButtonsOfOtherWindows) {
    CAnalysisLimitsDlg* d = Open(kDeck, 0);
    ASSERT_NE(d, nullptr);
    MakeRows(0, 1);
    d->SetShownLines(1);
    d->FillFields();
    // Expand joins a pasted two-line text into the cell.
    platform::ScopedModalAnswerer answerer([](platform::ModalRequest& request) {
        auto& expand = dynamic_cast<CExpandDlg&>(request);
        expand.SetText(kIdExpandText, "v(IN)+\r\nv(OUT)");
        return platform::dlgid::Ok;
    });
    d->FocusCell(0, 2);
    d->PressButton(kIdLimitsExpand);
    EXPECT_STREQ(Kind(0).curves[0]->yExpression, "v(IN)+ v(OUT)");

    // Adding rows at the end grows the shown lines up to the most that fit.
    for (int i = 0; i < 40; ++i) d->PressButton(kIdLimitsAdd);
    EXPECT_EQ(Kind(0).curves.size(), 41u);
    EXPECT_EQ(d->ShownLines(), d->MaxLines());
    EXPECT_EQ(d->FocusedRow(), 40);
    EXPECT_EQ(d->TopRow(), 41 - d->ShownLines());
    EXPECT_STREQ(Kind(0).curves[40]->yRange, "Auto");

    // Stepping and Properties belong to windows that are not built here: said so.
    shown_.clear();
    d->PressButton(kIdLimitsStepping);
    d->PressButton(kIdLimitsProperties);
    EXPECT_EQ(shown_, (std::vector<int>{kResultNotBuilt, kResultNotBuilt}));

    // A divider drag moves width between neighbours; ">" fits the texts.
    const int x = d->ColumnWidth(1), y = d->ColumnWidth(2);
    d->SetColumnWidth(1, x + 30);
    EXPECT_EQ(d->ColumnWidth(1), x + 30);
    EXPECT_EQ(d->ColumnWidth(2), y - 30);
    d->SetColumnWidth(1, 1);
    EXPECT_EQ(d->ColumnWidth(1), 12);
    d->ClickHeader(5);
    EXPECT_GT(d->ColumnWidth(2), d->ColumnWidth(0));
}

}  // namespace

namespace {

TEST_F(LimitsDialog, DcVariablesNameSourcesModelParametersAndTemperature) {
    CAnalysisLimitsDlg* d =
        Open("deck\n.PARAM RV=1k\nV1 IN 0 1\nR1 IN OUT {RV}\nD1 OUT 0 DM\n.MODEL DM D (IS=1E-14)\n.END\n", 2);
    ASSERT_NE(d, nullptr);
    const int name1 = kIdLimitField + 3;
    for (const char* entry : {"TEMP", "V1", "D DM", "PARAM RV"}) EXPECT_GE(d->FindItem(name1, entry), 0) << entry;

    // A model's variable takes one of the model type's numeric parameters.
    d->UserSelect(name1, d->FindItem(name1, "D DM"));
    EXPECT_TRUE(d->IsControlEnabled(kIdModelParameter1));
    ASSERT_GE(d->FindItem(kIdModelParameter1, "IS"), 0);
    d->UserSelect(kIdModelParameter1, d->FindItem(kIdModelParameter1, "N"));
    EXPECT_STREQ(Kind(2).limits[3], "D DM(N)");
    EXPECT_EQ(document_->build.forceNewRun[2], 1);

    // Sweeping TEMP leaves no temperature to set; a source has no parameter list.
    d->UserSelect(name1, d->FindItem(name1, "TEMP"));
    EXPECT_STREQ(Kind(2).limits[3], "TEMP");
    EXPECT_FALSE(d->IsControlEnabled(kIdLimitField + 5));
    EXPECT_FALSE(d->IsControlEnabled(kIdModelParameter1));
    d->UserSelect(name1, d->FindItem(name1, "V1"));
    EXPECT_TRUE(d->IsControlEnabled(kIdLimitField + 5));
    // Variable 2 waits for a method other than None.
    EXPECT_FALSE(d->IsControlEnabled(kIdLimitField + 1));
    d->UserSelect(kIdSweep2Method, 1);
    EXPECT_EQ(Kind(2).sweep2Type, 1);
    EXPECT_TRUE(d->IsControlEnabled(kIdLimitField + 1));
    // Prompts of the grid and the fields.
    EXPECT_EQ(d->PromptIdOf(LimitsCellId(3, 2)), 17128);
    EXPECT_EQ(d->PromptIdOf(LimitsStripId(0, kStripColor)), 19552);
    EXPECT_EQ(d->PromptIdOf(kIdLimitField + 2), 19542);
}

}  // namespace

namespace {

TEST_F(LimitsDialog, ResizingKeepsWholeLinesAndGivesWidthToTheColumns) {
    CAnalysisLimitsDlg* d = Open(kDeck, 0);
    ASSERT_NE(d, nullptr);
    MakeRows(0, 8);
    d->SetShownLines(8);
    // The window's own layout, once shown, keeps the lines it was given.
    platform::Application::Instance()->PumpEvents();
    EXPECT_EQ(d->ShownLines(), std::min(8, d->MaxLines()));
    d->SetShownLines(2);
    const platform::Rect cell = d->GetItemRect(LimitsCellId(0, 2));
    const int top = cell.top - d->LinePitch();  // the header's top
    const int pitch = d->LinePitch();
    // Five and a half lines of height show five lines.
    d->OnSize(2000, top + pitch * 6 + pitch / 2 + 7);
    EXPECT_EQ(d->ShownLines(), std::min(5, d->MaxLines()));
    // More lines than rows are never shown.
    d->OnSize(2000, top + pitch * 40);
    EXPECT_EQ(d->ShownLines(), std::min(8, d->MaxLines()));
    // A wide window gives its spare width to Y Expression; a narrow one takes
    // it from the widest column, never below 50 pixels.
    const int y = d->ColumnWidth(2);
    d->OnSize(4000, top + pitch * 3 + 7);
    EXPECT_GT(d->ColumnWidth(2), y);
    int before[5], sumBefore = 0, sumAfter = 0;
    for (int c = 0; c < 5; ++c) sumBefore += before[c] = d->ColumnWidth(c);
    d->OnSize(10, top + pitch * 3 + 7);
    for (int c = 1; c < 5; ++c) EXPECT_GE(d->ColumnWidth(c), std::min(50, before[c])) << c;
    for (int c = 0; c < 5; ++c) sumAfter += d->ColumnWidth(c);
    EXPECT_LT(sumAfter, sumBefore);
}

}  // namespace

namespace {

TEST_F(LimitsDialog, ThePromptBarFollowsTheMainStatusBar) {
    const int saved = Prefs().statusBarVisible;
    Prefs().statusBarVisible = 0;
    CAnalysisLimitsDlg* d = Open(kDeck, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->PromptBar().IsAttached());
    Prefs().statusBarVisible = 1;
    LimitsWindowPromptBar();
    EXPECT_TRUE(d->PromptBar().IsAttached());
    LimitsWindowFit();
    EXPECT_LE(d->ShownLines(), d->MaxLines());
    Prefs().statusBarVisible = 0;
    LimitsWindowPromptBar();
    EXPECT_FALSE(d->PromptBar().IsAttached());
    Prefs().statusBarVisible = saved;
}

}  // namespace

namespace {

// On the toolkit's real font every shown control of each kind's dialog shows
// its whole text or value and covers no other: a combo box's description
// height is its dropped list, the box itself one line. The DC variable's name
// comes from the deck's .DC statement.
TEST_F(LimitsDialog, EveryKindReadsWellAndDcShowsTheDeckVariable) {
    const std::string deck =
        "deck\nV1 IN 0 DC 1 AC 1 SIN 0 1 1k\nR1 IN OUT 1k\nR2 OUT 0 1k\n.TRAN 1N 100N\n.DC V1 0 5 0.1\n.END\n";
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        CAnalysisLimitsDlg* d = Open(deck, kind);
        ASSERT_NE(d, nullptr);
        platform::Application::Instance()->PumpEvents();
        EXPECT_EQ(d->LayoutFaults(), std::vector<std::string>());
        EXPECT_LT(d->GetItemRect(kIdRunOptions).Height(), d->DialogUnitsToPixelsY(14));
        if (kind == 2) {
            EXPECT_EQ(d->GetText(kIdLimitField + 3), "V1");
            EXPECT_EQ(d->GetText(kIdLimitField + 2), "5,0,0.1");
        }
        ExitAnalysis(document_.get(), true);
        ReleaseSpiceReader(document_.get());
        ReleaseDefineTable(document_.get());
        document_.reset();
        ClearRunContext();
        SetAnalysisKind(-1);
    }
}

}  // namespace
