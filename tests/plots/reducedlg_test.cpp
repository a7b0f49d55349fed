// The Data Point Reduction dialog and the excessive-points warning: what they
// show, what OK stores, and the reduction "Now" makes.
#include "plots/reducedlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/cfanalysis.h"
#include "platform/dialog.h"
#include "plots/g2ddoc.h"
#include "plots/reduce.h"
#include "shell/preferences.h"

namespace {

// A 2D document whose one analog curve holds one run of `points` points.
void Fill(CG2DDoc& document, int points) {
    document.Curves.resize(1);
    document.Curves[0].UseFlags = kCurveDrawn;
    StoreLayout layout;
    document.Store.Prepare(document.Curves, document.Runs, layout);
    document.Store.Begin();
    document.Store.StartRun(document.Curves, document.Runs, RunRecord{});
    PlotCurve& curve = document.Curves[0];
    for (int i = 0; i < points; ++i) {
        ASSERT_TRUE(document.Store.NextPointIndex(curve, document.Runs));
        document.Store.SetValue(curve.DataColumn[kSlotY], i, i);
    }
}

// Runs a dialog with `edit` acting on it, then presses `answer`.
void Answer(std::function<void(CDataPointReductionDlg&)> edit, int answer, std::function<void()> run) {
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        edit(dynamic_cast<CDataPointReductionDlg&>(request));
        return answer;
    });
    run();
}

TEST(ReductionDialog, NowThinsTheStoredPointsAndKeepsTheDisplayStrideForLaterRuns) {
    CG2DDoc document;
    Fill(document, 100);
    AnalysisKindSettings settings;
    settings.reduceDisplay = 2;
    settings.reduceSave = 7;
    bool saveEnabledWithNow = true;
    Answer(
        [&](CDataPointReductionDlg& d) {
            EXPECT_EQ(d.GetCheckedRadio(kIdWhenNow, kIdWhenRunTime), kIdWhenNow);
            EXPECT_EQ(d.GetText(kIdDisplayEvery), "2nd");
            EXPECT_EQ(d.GetText(kIdSaveEvery), "7th");
            EXPECT_EQ(d.Count(kIdDisplayEvery), 21);
            saveEnabledWithNow = d.IsControlEnabled(kIdSaveEvery);
            d.SetText(kIdDisplayEvery, "10th");
            d.SetText(kIdSaveEvery, "3rd");
        },
        platform::dlgid::Ok, [&] { ReduceDataPointsCommand(document, settings); });
    EXPECT_FALSE(saveEnabledWithNow);
    EXPECT_EQ(document.Curves[0].PointIndex, 10);  // 0, 10 ... 90 and the run's last point 99
    EXPECT_EQ(document.Store.GetValue(document.Curves[0].DataColumn[kSlotY], 10), 99);
    EXPECT_EQ(settings.reduceDisplay, 2);
    EXPECT_EQ(settings.reduceSave, 3);
}

TEST(ReductionDialog, RunTimeOnlyStoresTheStrides) {
    CG2DDoc document;  // no curves: "Now" cannot be chosen
    AnalysisKindSettings settings;
    settings.reduceDisplay = 37;  // not in the list: typed into the combo
    bool nowEnabled = true, saveEnabled = false;
    Answer(
        [&](CDataPointReductionDlg& d) {
            EXPECT_EQ(d.GetText(kIdDisplayEvery), "37th");
            EXPECT_EQ(d.GetCheckedRadio(kIdWhenNow, kIdWhenRunTime), kIdWhenRunTime);
            nowEnabled = d.IsControlEnabled(kIdWhenNow);
            saveEnabled = d.IsControlEnabled(kIdSaveEvery);
            d.SetText(kIdDisplayEvery, "5th");
            d.SetText(kIdSaveEvery, "junk");
        },
        platform::dlgid::Ok, [&] { ReduceDataPointsCommand(document, settings); });
    EXPECT_FALSE(nowEnabled);
    EXPECT_TRUE(saveEnabled);
    EXPECT_EQ(settings.reduceDisplay, 5);
    EXPECT_EQ(settings.reduceSave, 1);  // no number: every point
}

TEST(ReductionDialog, StrideTexts) {
    struct Case {
        const char* text;
        int n;
    } cases[] = {{"1st", 1}, {"15th", 15}, {" 1000th", 1000},          {"0th", 1},
                 {"", 1},    {"-3", 1},    {"99999999999", 2147483647}};
    for (const Case& c : cases) EXPECT_EQ(ParseStrideText(c.text), c.n) << c.text;
}

TEST(ExcessivePoints, TheWarningProposesAStrideAndCanTurnItselfOff) {
    CG2DDoc document;
    Fill(document, 2500001);
    const int32_t savedWarning = Prefs().dataPointsWarning;
    Prefs().dataPointsWarning = 1;
    std::string message, proposed;
    // "1st" reduces nothing.
    Answer(
        [&](CDataPointReductionDlg& d) {
            message = d.GetText(kIdExcessiveMessage);
            proposed = d.GetText(kIdDisplayEvery);
            d.SetText(kIdDisplayEvery, "1st");
        },
        platform::dlgid::Ok, [&] { EXPECT_EQ(CheckExcessiveDataPoints(document), 0); });
    EXPECT_EQ(message, "There are 2,500,000 data points.");
    EXPECT_EQ(proposed, "2nd");
    EXPECT_EQ(document.Curves[0].PointIndex, 2500000);
    // The proposal taken, and no warnings any more.
    Answer([&](CDataPointReductionDlg& d) { d.SetCheck(kIdDontWarnAgain, 1); }, platform::dlgid::Ok,
           [&] { EXPECT_EQ(CheckExcessiveDataPoints(document), 1); });
    EXPECT_EQ(document.Curves[0].PointIndex, 1250000);
    EXPECT_EQ(Prefs().dataPointsWarning, 0);
    EXPECT_EQ(CheckExcessiveDataPoints(document), 0);  // the warning is off: no dialog
    Prefs().dataPointsWarning = savedWarning;
}

}  // namespace
