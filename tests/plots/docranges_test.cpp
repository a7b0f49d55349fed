// A 2D analysis document's automatic ranges: its run state decides what is
// fitted, and Auto Scale fits the current curve's group.
#include "plots/docranges.h"

#include <gtest/gtest.h>

#include "plots/g2ddoc.h"

namespace {

void AddCurve(CG2DDoc& document, int group, double yMin, double yMax) {
    PlotCurve& curve = document.Curves.emplace_back();
    curve.PlotNumber = group;
    curve.UseFlags = kCurveDrawn;
    curve.PointIndex = 5;
    curve.AutoRange[kAxisX] = curve.AutoRange[kAxisY] = kRangeFitRun;
    curve.DataMin[kAxisX] = 0, curve.DataMax[kAxisX] = 1;
    curve.DataMin[kAxisY] = yMin, curve.DataMax[kAxisY] = yMax;
}

TEST(DocumentRanges, TheRunStateDecidesWhatIsFitted) {
    CG2DDoc document;
    AddCurve(document, 1, 2.1, 7.3);
    const FitContext context = FitContextOf(document);
    EXPECT_EQ(context.Store, &document.Store);
    EXPECT_EQ(context.Runs, &document.Runs);

    document.Run.RunFailed = 1;
    EXPECT_EQ(AutoScaleDocument(document, true), 0);
    document.Run.RunFailed = 0;
    document.Run.Running = 1;  // during a run X stays and the axes stay automatic
    EXPECT_EQ(AutoScaleDocument(document, false), 1);
    EXPECT_EQ(document.Curves[0].RangeLow[kAxisY], 1.5);
    EXPECT_EQ(document.Curves[0].RangeHigh[kAxisY], 9);
    EXPECT_EQ(document.Curves[0].AutoRange[kAxisY], kRangeFitRun);
    document.Run.Running = 0;
    EXPECT_EQ(AutoScaleDocument(document, false), 1);  // after the run X is fitted too
    EXPECT_EQ(document.Curves[0].RangeHigh[kAxisX], 1.25);
    EXPECT_EQ(document.Curves[0].AutoRange[kAxisY], kRangeFixed);
    EXPECT_EQ(AutoScaleDocument(document, false), 0);  // fixed now: nothing changes
}

TEST(DocumentRanges, AutoScaleNowFitsTheCurrentCurvesGroup) {
    CG2DDoc document;
    AddCurve(document, 1, 2.1, 7.3);
    AddCurve(document, 2, 2.1, 7.3);
    for (PlotCurve& curve : document.Curves) {
        curve.AutoRange[kAxisX] = curve.AutoRange[kAxisY] = kRangeFixed;
        curve.RangeLow[kAxisY] = 0, curve.RangeHigh[kAxisY] = 100;
    }
    document.CurrentCurve = 1;
    AutoScaleDocumentNow(document, false);
    EXPECT_EQ(document.Curves[0].RangeHigh[kAxisY], 100);
    EXPECT_EQ(document.Curves[1].RangeLow[kAxisY], 1.5);
    EXPECT_EQ(document.Curves[1].RangeHigh[kAxisY], 9);
}

}  // namespace
