// Curve labels: the data-point list, the points of every run at an X, the
// automatic and user locations of branch labels, the command states, and the
// labels drawn where their points lie.
#include "plots/labels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory.h"
#include "document/cfanalysis.h"
#include "platform/dialog.h"
#include "platform/image.h"
#include "plots/g2ddoc.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"
#include "tests/support/test_reporter.h"

namespace {

// One rectangular curve with `runs` runs over x = 0..10: run r holds
// y = r * (5 - |x - 5|), so the runs spread most at x = 5.
void FillRuns(CG2DDoc& document, int runs) {
    document.Curves.resize(1);
    PlotCurve& curve = document.Curves[0];
    curve.UseFlags = kCurveDrawn;
    curve.PlotNumber = 1;
    curve.CurveId = 7;
    document.PlottedCount = 1;
    StoreLayout layout;
    layout.RunsExpected = runs;
    document.Store.Prepare(document.Curves, document.Runs, layout);
    document.Store.Begin();
    int point = 0;
    for (int r = 0; r < runs; ++r) {
        document.Store.StartRun(document.Curves, document.Runs, RunRecord{});
        for (int x = 0; x <= 10; ++x, ++point) {
            ASSERT_TRUE(document.Store.NextPointIndex(curve, document.Runs));
            document.Store.SetValue(curve.DataColumn[kSlotX], point, x);
            document.Store.SetValue(curve.DataColumn[kSlotY], point, r * (5 - std::abs(x - 5)));
        }
    }
    curve.DataMin[kAxisX] = 0;
    curve.DataMax[kAxisX] = 10;
    curve.RangeHigh[kAxisX] = 10;
    curve.RangeHigh[kAxisY] = 10;
    curve.PlotRect = {0, 0, 100, 100};
    SetAxisTransform(document.Curves, 0, kAxisX, 100, 100, 10);
    SetAxisTransform(document.Curves, 0, kAxisY, 100, 0, 10);
}

TEST(CurveLabels, SplitFirstItemTrimsAndKeepsTheRest) {
    struct Case {
        const char* list;
        const char* item;
        const char* rest;
    };
    const Case cases[] = {
        {" 1u , 2u", "1u", " 2u"}, {",3u", "", "3u"}, {"4u", "4u", ""}, {"", "", ""}, {"5,", "5", ""}};
    for (const Case& c : cases) {
        std::string list = c.list;
        EXPECT_EQ(SplitFirstItem(list), c.item) << c.list;
        EXPECT_EQ(list, c.rest) << c.list;
    }
}

TEST(CurveLabels, DataPointListLabelsEveryRun) {
    CG2DDoc document;
    FillRuns(document, 3);
    ASSERT_EQ(BuildDataPointLabels(document, 0, "1u, 2u,\t, 3u"), 0);
    EXPECT_EQ(document.Curves[0].LabelCount, 3);
    EXPECT_EQ(document.Curves[0].LabelTexts, (std::vector<std::string>{"1u", "2u", "3u"}));

    ASSERT_EQ(BuildDataPointLabels(document, 0, "2,\r\n7.5"), 0);
    const PlotCurve& c = document.Curves[0];
    ASSERT_EQ(c.LabelCount, 2);
    ASSERT_EQ(c.LabelPoints.size(), 3u);
    for (int run = 0; run < 3; ++run) {
        EXPECT_DOUBLE_EQ(c.LabelPoints[size_t(run)][0].X, 2);
        EXPECT_DOUBLE_EQ(c.LabelPoints[size_t(run)][0].Y, 2.0 * run);
        EXPECT_DOUBLE_EQ(c.LabelPoints[size_t(run)][1].Y, 2.5 * run);  // interpolated
    }
    ASSERT_EQ(BuildDataPointLabels(document, 0, ""), 0);
    EXPECT_EQ(document.Curves[0].LabelCount, 0);
}

TEST(CurveLabels, ABadItemIsReportedAndStillLabelled) {
    CG2DDoc document;
    FillRuns(document, 2);
    int reported = 0;
    ScopedTestReporter reporter([&](const MessageRequest&) {
        ++reported;
        return 0;
    });
    ASSERT_EQ(BuildDataPointLabels(document, 0, "3, 1+"), 0);
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(document.Curves[0].LabelCount, 2);
}

TEST(CurveLabels, AutomaticLocationIsWhereTheRunsSpreadMost) {
    CG2DDoc document;
    FillRuns(document, 3);
    double x = -1;
    ASSERT_TRUE(FindBranchLabelX(document, 0, &x));
    EXPECT_DOUBLE_EQ(x, 5);
    // Only points inside the plot count; equal spreads go to the later point.
    document.Curves[0].RangeHigh[kAxisX] = 3;
    SetAxisTransform(document.Curves, 0, kAxisX, 100, 100, 10);
    ASSERT_TRUE(FindBranchLabelX(document, 0, &x));
    EXPECT_DOUBLE_EQ(x, 3);
    document.Curves[0].RangeLow[kAxisX] = 20;
    document.Curves[0].RangeHigh[kAxisX] = 30;
    SetAxisTransform(document.Curves, 0, kAxisX, 100, 100, 10);
    EXPECT_FALSE(FindBranchLabelX(document, 0, &x));
}

TEST(CurveLabels, StoredPointsMapThroughTheTransform) {
    CG2DDoc document;
    FillRuns(document, 2);
    const PlotCurve& c = document.Curves[0];
    const int point = c.RunFirst[1] + 5;  // run 1 at x = 5: y = 5
    EXPECT_EQ(StoredPointToDevice(document, 0, kAxisX, point), 50);
    EXPECT_EQ(StoredPointToDevice(document, 0, kAxisY, point), c.ToDevice(kAxisY, 5));
}

TEST(CurveLabels, UserLocationIsKeptToTheData) {
    CG2DDoc document;
    FillRuns(document, 2);
    EXPECT_DOUBLE_EQ(UserBranchLabelX(document, 0, "4"), 4);
    EXPECT_DOUBLE_EQ(UserBranchLabelX(document, 0, "25"), 10);
    EXPECT_DOUBLE_EQ(UserBranchLabelX(document, 0, "-3"), 0);
}

TEST(CurveLabels, BranchLabelsBecomePlotLabelObjects) {
    CG2DDoc document;
    FillRuns(document, 3);
    EXPECT_TRUE(CanLabelBranches(document));
    ASSERT_EQ(LabelBranches(document, 0, false, "8"), 3);
    ASSERT_EQ(document.Objects.size(), 3u);
    for (int run = 0; run < 3; ++run) {
        const PlotObject& label = *document.Objects[size_t(run)];
        EXPECT_EQ(label.type, kPlotLabelObject);
        EXPECT_EQ(label.alias1, 7);
        EXPECT_DOUBLE_EQ(label.corners[0], 8);
        EXPECT_DOUBLE_EQ(label.corners[1], 2.0 * run);
        ASSERT_NE(label.text, nullptr);
        EXPECT_STRNE(label.text, "");
    }
    EXPECT_EQ(document.CurrentRun, 0);
}

TEST(CurveLabels, CommandStates) {
    CG2DDoc document;
    FillRuns(document, 1);
    EXPECT_FALSE(CanLabelBranches(document));  // a single run
    EXPECT_TRUE(CanLabelDataPoints(document, kViewKindAnalysis2D));
    EXPECT_FALSE(CanLabelDataPoints(document, kViewKindPerformance));
    document.Run.Running = 1;
    EXPECT_FALSE(CanLabelDataPoints(document, kViewKindAnalysis2D));
    EXPECT_EQ(LabelDataPointsMenuText(0), "Label Time Points");
    EXPECT_EQ(LabelDataPointsMenuText(1), "Label Frequency Points");
    EXPECT_EQ(LabelDataPointsMenuText(2), "Label Input Sweep Points");
}

TEST(CurveLabels, LabelsDrawAtTheirPoints) {
    if (!GetProgramPalette()) CreateProgramPalette();
    InitColorTable();
    CG2DDoc document;
    FillRuns(document, 2);
    document.Curves[0].Style.textColor = 4;
    ASSERT_EQ(BuildDataPointLabels(document, 0, "5"), 0);
    platform::Image image(120, 120);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    PlotLayout layout;
    layout.LineHeight = 14;
    DrawDataPointLabels(dc, document.Curves, 0, layout, PlotViewInfo());
    const platform::Color color = dc.GetColorValue(4);
    const PlotCurve& c = document.Curves[0];
    // Run 1 peaks at (5, 5): the middle of the plot; run 0 lies on the bottom edge.
    EXPECT_EQ(image.PixelAt(c.ToDevice(kAxisX, 5), c.ToDevice(kAxisY, 5)), color);
    EXPECT_EQ(image.PixelAt(c.ToDevice(kAxisX, 5), 100), dc.GetColorValue(kColorWhite));  // clipped to the plot
}

TEST(CurveLabels, LabelPointsDialogStoresTheListAndItsState) {
    CurveRow row;
    SetString(&row.dataPoints, "1u,2u");
    row.showDataPoints = 0;
    struct Case {
        const char* typed;  // null: nothing typed
        int radio;          // 0: as the typing left it
        const char* list;
        int on;
    };
    const Case cases[] = {{"5u, 6u", 0, "5u, 6u", 1}, {nullptr, kIdPointsOff, "5u, 6u", 0}};
    for (const Case& c : cases) {
        CLabelPointsDlg dialog(nullptr, &row);
        platform::ScopedModalAnswerer answerer([&](platform::ModalRequest&) {
            if (c.typed) {
                dialog.SetText(kIdPointsList, c.typed);
                dialog.OnControl(kIdPointsList, platform::Notify::TextChanged);
            }
            if (c.radio) dialog.CheckRadio(kIdPointsOn, kIdPointsOff, c.radio);
            return platform::dlgid::Ok;
        });
        ASSERT_EQ(dialog.DoModal(), 1);
        EXPECT_STREQ(row.dataPoints, c.list);  // Off keeps the list
        EXPECT_EQ(row.showDataPoints, c.on);
    }
}

TEST(CurveLabels, LabelBranchesDialogRemembersTheChoiceNotTheX) {
    CLabelBranchesDlg::ResetChoice();
    CG2DDoc document;
    FillRuns(document, 2);
    std::string shownX = "?";
    int shownChoice = 0;
    auto run = [&](const char* typed) {
        platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
            auto& dialog = dynamic_cast<CLabelBranchesDlg&>(request);
            shownX = dialog.GetText(kIdBranchesX);
            shownChoice = dialog.GetCheckedRadio(kIdBranchesAuto, kIdBranchesUser);
            if (typed) {
                dialog.SetText(kIdBranchesX, typed);
                dialog.OnControl(kIdBranchesX, platform::Notify::TextChanged);
            }
            return platform::dlgid::Ok;
        });
        return LabelBranchesCommand(document);
    };
    EXPECT_EQ(run("7"), 2);
    EXPECT_EQ(shownChoice, kIdBranchesAuto);
    EXPECT_DOUBLE_EQ(document.Objects.back()->corners[0], 7);
    EXPECT_EQ(run(nullptr), 2);  // the user choice again, with the X field empty
    EXPECT_EQ(shownChoice, kIdBranchesUser);
    EXPECT_EQ(shownX, "");
    CLabelBranchesDlg::ResetChoice();
}

}  // namespace
