// Plot cursors: the searches of every cursor function, branch changes, the
// interpolated grid, moves that carry a plot group along, and searches that find
// nothing and so leave the cursor alone.
#include "plots/cursors.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/preferences.h"
#include "tests/plots/stored_plot.h"

namespace {

using twtest::Ramp;
using twtest::StoredPlot;

TEST(CursorSearch, FunctionsAlongOneBranch) {
    struct Case {
        const char* name;
        std::vector<double> ys;
        int start, direction, function, expected;
    } cases[] = {
        // Next point, wrapping at both ends of the branch.
        {"right", {0, 1, 2, 3}, 1, kCursorStepRight, kCursorNextDataPoint, 2},
        {"right wraps", {0, 1, 2, 3}, 3, kCursorStepRight, kCursorNextDataPoint, 0},
        {"left wraps", {0, 1, 2, 3}, 0, kCursorStepLeft, kCursorNextDataPoint, 3},
        // A hump and a dip, searched from either side.
        {"peak right", {0, 3, 5, 6, 5, 3, 0}, 0, kCursorStepRight, kCursorPeak, 3},
        {"peak left", {0, 3, 5, 6, 5, 3, 0}, 6, kCursorStepLeft, kCursorPeak, 3},
        {"valley right", {6, 3, 1, 0, 1, 3, 6}, 0, kCursorStepRight, kCursorValley, 3},
        // A trend that lasts to the end returns the end point.
        {"peak on a rising tail", {0, 1, 2, 3, 4, 5}, 2, kCursorStepRight, kCursorPeak, 5},
        {"valley on a falling tail", {5, 4, 3, 2, 1, 0}, 1, kCursorStepRight, kCursorValley, 5},
        // No turn anywhere: Peak becomes High, Valley becomes Low.
        {"peak without maximum", {5, 4, 3, 2, 1, 0}, 3, kCursorStepRight, kCursorPeak, 0},
        {"valley without minimum", {0, 1, 2, 3, 4, 5}, 3, kCursorStepRight, kCursorValley, 0},
        // Falling to the end: the search starts again after the branch's first point.
        {"peak after wrap", {0, 4, 0, 2, 1, 0}, 4, kCursorStepRight, kCursorPeak, 3},
        // The steepest slope lies between points 3 and 4.
        {"inflection", {0, 1, 3, 7, 12, 15, 16, 16.5}, 0, kCursorStepRight, kCursorInflection, 4},
        // The first of equal extremes.
        {"high", {0, 3, 1, 3, 0, -2, 1, -2}, 6, kCursorStepNone, kCursorHigh, 1},
        {"low", {0, 3, 1, 3, 0, -2, 1, -2}, 0, kCursorStepNone, kCursorLow, 5},
        {"global high", {0, 3, 1, 3}, 0, kCursorStepLeft, kCursorGlobalHigh, 1},
        // Peak without a direction and without a branch change is no search.
        {"peak standing still", {0, 3, 0}, 0, kCursorStepNone, kCursorPeak, -1},
        {"interpolated is no point search", {0, 1, 2}, 0, kCursorStepRight, kCursorNextInterpolated, -1},
    };
    for (const Case& c : cases) {
        StoredPlot plot;
        plot.AddRun(Ramp(static_cast<int>(c.ys.size())), c.ys);
        EXPECT_EQ(FindCursorPoint(plot.doc, c.start, c.direction, 0, c.function), c.expected) << c.name;
    }
}

TEST(CursorSearch, StepsStayFromTrackFromAndNeedCursorModeAndABranch) {
    StoredPlot plot;
    plot.AddRun(Ramp(6), Ramp(6));
    plot.curve().TrackFrom = 2;
    EXPECT_EQ(FindCursorPoint(plot.doc, 5, kCursorStepRight, 0, kCursorNextDataPoint), 2);
    EXPECT_EQ(FindCursorPoint(plot.doc, 2, kCursorStepLeft, 0, kCursorNextDataPoint), 5);
    EXPECT_EQ(FindCursorPoint(plot.doc, 99, kCursorStepRight, 0, kCursorNextDataPoint), -1);
    plot.doc.modeCommand = kPlotModeSelect;
    EXPECT_EQ(FindCursorPoint(plot.doc, 3, kCursorStepRight, 0, kCursorNextDataPoint), -1);
}

TEST(CursorSearch, BranchChangesKeepXAndWrap) {
    StoredPlot plot;
    plot.AddRun({0, 1, 2, 3, 4}, {0, 0, 0, 0, 0});  // points 0-4
    plot.AddRun({0, 2, 4, 6}, {1, 1, 1, 1});        // points 5-8
    plot.AddRun({2, 3}, {2, 2});                    // points 9-10
    struct Case {
        int start, direction, expected;
    } cases[] = {
        {3, kCursorBranchNext, 6},      // X 3 lies halfway between 2 and 4: the earlier point
        {4, kCursorBranchNext, 7},      // an exact X
        {0, kCursorBranchPrevious, 9},  // below branch 2's X: its first point; branch 0 wraps to the last
        {8, kCursorBranchNext, 10},     // above: its last point
        {10, kCursorBranchNext, 3},     // the last branch wraps to branch 0
        {1, kCursorBranchNext, 5},      // X 1 lies nearer 0 than 2
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindCursorPoint(plot.doc, c.start, c.direction, 0, kCursorNextDataPoint), c.expected) << c.start;
    // High and Peak on the branch reached.
    EXPECT_EQ(FindCursorPoint(plot.doc, 3, kCursorBranchNext, 0, kCursorHigh), 5);
    EXPECT_EQ(FindCursorPoint(plot.doc, 3, kCursorBranchNext, 0, kCursorGlobalHigh), 9);
}

TEST(CursorSearch, NextInterpolatedGrid) {
    struct Case {
        double low, high;
        bool linear, minor;
        double x;
        int direction;
        double expected;
    } cases[] = {
        {0, 5, true, false, 1.0, kCursorStepRight, 1.1},
        {0, 5, true, false, 1.04, kCursorStepLeft, 0.9},  // onto the grid, then a step
        {0, 100, true, false, 37.2, kCursorStepRight, 38},
        {0, 1, true, false, 0.5, kCursorStepLeft, 0.49},
        {0, 1, true, false, 0.5, kCursorBranchNext, 0.5},
        {1, 1000, false, false, 20, kCursorStepRight, 100},
        {1, 1000, false, true, 20, kCursorStepRight, 30},
        {1, 1000, false, false, 20, kCursorStepLeft, 10},
        {1, 1000, false, false, 100, kCursorStepRight, 1000},  // a value equal to X is passed over
        {1, 1000, false, false, 15, kCursorBranchNext, 100},
        {3, 1000, false, false, 0.5, kCursorStepLeft, 1},  // nothing below: the first value not below
    };
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.RangeLow[kAxisX] = c.low;
        curve.RangeHigh[kAxisX] = c.high;
        curve.AxisLinear[kAxisX] = c.linear ? 1 : 0;
        EXPECT_NEAR(NextInterpolatedX(curve, c.x, c.direction, c.minor), c.expected, 1e-9)
            << c.low << ".." << c.high << " x " << c.x;
    }
}

TEST(CursorMoves, NextInterpolatedStepsTenthsOnZeroToFive) {
    StoredPlot plot;
    plot.AddRun(Ramp(6), {0, 10, 20, 30, 40, 50});
    plot.curve().RangeLow[kAxisX] = 0;
    plot.curve().RangeHigh[kAxisX] = 5;
    DocumentCursorPlacer placer(plot.doc);
    plot.doc.MoveCursor(0, 0, 1);
    for (int k = 1; k <= 3; ++k)
        ASSERT_TRUE(MoveCursorByMode(plot.doc, placer, 0, kCursorStepRight, kCursorNextInterpolated));
    EXPECT_NEAR(plot.curve().CursorX[0], 1.3, 1e-9);
    EXPECT_NEAR(plot.curve().CursorY[0], 13, 1e-9);
    EXPECT_EQ(CursorPoint(plot.doc, 0, 0), 1);
}

TEST(CursorMoves, GroupFollowsToTheSameXAndClampsToItsData) {
    StoredPlot plot(2);
    plot.AddRun({0, 1, 2, 3, 4}, {{0, 10, 20, 30, 40}, {5, 5, 7, 9, 9}});
    // The second curve's data end at X 3.
    plot.curve(1).DataMax[kAxisX] = 3;
    plot.curve(1).XMaxPoint = 3;
    ASSERT_EQ(plot.doc.MoveCursor(0, 1, 1, 1.5), 1);
    EXPECT_EQ(plot.curve(0).CursorX[1], 1.5);
    EXPECT_DOUBLE_EQ(plot.curve(0).CursorY[1], 15);
    EXPECT_EQ(plot.curve(1).CursorX[1], 1.5);
    EXPECT_DOUBLE_EQ(plot.curve(1).CursorY[1], 6);
    plot.doc.MoveCursor(0, 1, 4);
    EXPECT_EQ(plot.curve(1).CursorX[1], 3);
    EXPECT_EQ(plot.curve(1).CursorY[1], 9);
    EXPECT_EQ(CursorPoint(plot.doc, 1, 1), 3);
    // A curve of another group stays unless Align Cursors is on.
    StoredPlot two(2);
    two.curve(1).PlotNumber = 2;
    two.AddRun({0, 1, 2}, {{0, 1, 2}, {0, 2, 4}});
    two.doc.MoveCursor(0, 0, 2);
    EXPECT_EQ(two.curve(1).CursorX[0], 0);
    Prefs().alignCursors = 1;
    two.doc.MoveCursor(0, 0, 2);
    Prefs().alignCursors = 0;
    EXPECT_EQ(two.curve(1).CursorX[0], 2);
    EXPECT_EQ(two.curve(1).CursorY[0], 4);
}

TEST(CursorMoves, SearchesThatFindNothingLeaveTheCursor) {
    StoredPlot plot;
    plot.AddRun(Ramp(4), {0, 1, 2, 3});
    plot.AddRun({}, std::vector<double>{});  // a run that stored no point
    DocumentCursorPlacer placer(plot.doc);
    plot.doc.MoveCursor(0, 0, 2);
    const double x = plot.curve().CursorX[0];
    // The branch reached is empty; a point outside every branch; a level never crossed.
    EXPECT_FALSE(MoveCursorByMode(plot.doc, placer, 0, kCursorBranchNext, kCursorNextDataPoint));
    EXPECT_EQ(plot.doc.MoveCursor(0, 0, 57), -1);
    EXPECT_FALSE(MoveCursorToValue(plot.doc, placer, 0, 99, 0, kSlotY, 0, 0));
    // A cursor on no branch is not read.
    plot.curve().CursorRun[1] = -1;
    EXPECT_FALSE(MoveCursorByMode(plot.doc, placer, 1, kCursorStepRight, kCursorNextDataPoint));
    EXPECT_EQ(CursorPoint(plot.doc, 0, 0), 2);
    EXPECT_EQ(plot.curve().CursorX[0], x);
    EXPECT_EQ(plot.curve().CursorRun[1], -1);
}

TEST(CursorMoves, LevelSearchWrapsFromItsOffsetAndInterpolatesX) {
    StoredPlot plot;
    plot.AddRun(Ramp(7), {0, 2, 4, 2, 0, 2, 4});
    double x = 0;
    EXPECT_EQ(FindLevel(plot.doc, 0, 3, kSlotY, 0, 0, &x), 1);
    EXPECT_DOUBLE_EQ(x, 1.5);
    EXPECT_EQ(FindLevel(plot.doc, 0, 3, kSlotY, 2, 0, &x), 2);  // falling through 3
    EXPECT_DOUBLE_EQ(x, 2.5);
    EXPECT_EQ(FindLevel(plot.doc, 0, 3, kSlotY, 5, 0, &x), 5);
    EXPECT_EQ(FindLevel(plot.doc, 0, 3, kSlotY, 6, 0, &x), 1);  // wrapped to the start
    EXPECT_EQ(FindLevel(plot.doc, 0, 4.5, kSlotX, 0, 0, &x), 4);
    EXPECT_EQ(x, 4.5);
}

TEST(CursorMoves, KeysTopBottomAndRestore) {
    StoredPlot plot;
    plot.AddRun(Ramp(5), {0, 1, 2, 3, 4});
    plot.AddRun(Ramp(5), {0, 2, 4, 6, 8});
    plot.AddRun(Ramp(5), {0, -1, -2, -3, -4});
    plot.curve().TrackFrom = 1;
    DocumentCursorPlacer placer(plot.doc);
    RestoreCursorPositions(plot.doc, placer);
    EXPECT_EQ(CursorPoint(plot.doc, 0, 0), 1);
    EXPECT_EQ(CursorPoint(plot.doc, 0, 1), 4);

    // Shift+Up moves the right cursor to the next branch at the same X.
    int direction = 0, cursor = 0;
    ASSERT_TRUE(CursorKeyCommand(766, &direction, &cursor));
    EXPECT_EQ(direction, kCursorBranchNext);
    EXPECT_EQ(cursor, 1);
    CursorKey(plot.doc, placer, direction, cursor);
    EXPECT_EQ(plot.curve().CursorRun[1], 1);
    EXPECT_EQ(plot.curve().CursorY[1], 8);
    EXPECT_EQ(plot.doc.ActiveCursor, 1);
    EXPECT_EQ(plot.curve().CursorRun[0], 0);
    // With Keep Cursors on Same Branch the other cursor comes along.
    Prefs().keepCursorsOnSameBranch = 1;
    CursorKey(plot.doc, placer, kCursorBranchPrevious, 1);
    Prefs().keepCursorsOnSameBranch = 0;
    EXPECT_EQ(plot.curve().CursorRun[1], 0);
    EXPECT_EQ(plot.curve().CursorRun[0], 2);

    // Bottom and Top pick the branch with the lowest and highest Y at the cursor's X.
    plot.doc.MoveCursor(0, 0, 2);
    plot.doc.ActiveCursor = 0;
    ChooseCursorFunction(plot.doc, placer, kCursorBottom);
    EXPECT_EQ(plot.curve().CursorRun[0], 2);
    EXPECT_EQ(plot.curve().CursorY[0], -2);
    ChooseCursorFunction(plot.doc, placer, kCursorTop);
    EXPECT_EQ(plot.curve().CursorRun[0], 1);
    EXPECT_EQ(plot.curve().CursorY[0], 4);
    EXPECT_EQ(plot.doc.CursorFunction, kCursorTop);
}

}  // namespace

namespace {

// Points arriving one by one in a second run: the right cursor stays on the
// newest, the left one takes the run's first drawn point; outside Cursor mode
// nothing moves.
TEST(CursorMoves, CursorsFollowTheNewestPointOfARun) {
    for (const int mode : {kPlotModeCursor, kPlotModeSelect}) {
        SCOPED_TRACE(mode);
        twtest::StoredPlot plot;
        plot.AddRun(Ramp(4), Ramp(4, 2));
        PlotCurve& c = plot.curve();
        c.TrackFrom = 1;
        plot.doc.modeCommand = mode;
        plot.doc.ActiveCursor = 0;
        const int left = CursorPoint(plot.doc, 0, 0), right = CursorPoint(plot.doc, 0, 1);
        plot.doc.StartRun(RunRecord{});
        for (int k = 0; k < 3; ++k) {
            plot.doc.Store.NextPointIndex(c, plot.doc.Runs);
            c.Value[kAxisX] = 10.0 + k;
            c.Value[kAxisY] = -k;
            plot.doc.SetValue(c.DataColumn[kSlotX], c.PointIndex, c.Value[kAxisX]);
            plot.doc.SetValue(c.DataColumn[kSlotY], c.PointIndex, c.Value[kAxisY]);
            plot.doc.Point.RunPointIndex = k;
            plot.doc.TrackMinMax(0);
            FollowNewestPoint(plot.doc, 0, k);
            if (mode != kPlotModeCursor) continue;
            EXPECT_EQ(CursorPoint(plot.doc, 0, 1), c.PointIndex);
            EXPECT_EQ(c.CursorRun[1], 1);
            EXPECT_EQ(c.CursorX[1], 10.0 + k);
            EXPECT_EQ(c.CursorY[1], -k);
            EXPECT_EQ(plot.doc.ActiveCursor, 1);
            EXPECT_EQ(CursorPoint(plot.doc, 0, 0), k == 0 ? left : c.PointIndex - (k - 1));
        }
        if (mode != kPlotModeCursor) {
            EXPECT_EQ(CursorPoint(plot.doc, 0, 0), left);
            EXPECT_EQ(CursorPoint(plot.doc, 0, 1), right);
            EXPECT_EQ(plot.doc.ActiveCursor, 0);
        }
    }
}

}  // namespace
