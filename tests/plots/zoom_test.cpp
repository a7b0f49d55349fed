// The range commands of the plot view: zoom, scroll, zoom box, drag, same X
// scales, restored limits, normalizing and the choice of the current curve.
#include "plots/zoom.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "expr/compiled.h"
#include "tests/plots/stored_plot.h"

namespace {

using twtest::Ramp;
using twtest::StoredPlot;

void SetRange(PlotCurve& c, int axis, double low, double high, bool linear = true) {
    c.RangeLow[axis] = low;
    c.RangeHigh[axis] = high;
    c.RangeSpan[axis] = high - low;
    c.AxisLinear[axis] = linear ? 1 : 0;
}

std::unique_ptr<CompiledExpression> Compiled(const char* text) {
    auto expr = std::make_unique<CompiledExpression>();
    EXPECT_EQ(CompileExpressionTextOutsideRun(expr.get(), text, nullptr), 0) << text;
    return expr;
}

TEST(PlotZoom, InAndOutOnTheEnabledAxesOfTheGroup) {
    StoredPlot plot(3);
    plot.curve(1).IsDigital = 1;
    plot.curve(2).PlotNumber = 2;  // another group
    for (int i = 0; i < 3; ++i) {
        SetRange(plot.curve(i), kAxisX, 0, 100);
        SetRange(plot.curve(i), kAxisY, -10, 10);
    }
    ScaleSwitches switches;
    EXPECT_EQ(ZoomPlotGroup(plot.doc, 0, true, switches), (std::vector<int>{0, 1}));
    EXPECT_EQ(plot.curve(0).RangeLow[kAxisX], 25);
    EXPECT_EQ(plot.curve(0).RangeHigh[kAxisX], 75);
    EXPECT_EQ(plot.curve(0).RangeLow[kAxisY], -5);
    EXPECT_EQ(plot.curve(1).RangeHigh[kAxisX], 75);
    EXPECT_EQ(plot.curve(1).RangeLow[kAxisY], -10);  // a digital Y stays
    EXPECT_EQ(plot.curve(2).RangeHigh[kAxisX], 100);
    ZoomPlotGroup(plot.doc, 0, false, switches);
    EXPECT_EQ(plot.curve(0).RangeLow[kAxisX], 0);
    EXPECT_EQ(plot.curve(0).RangeHigh[kAxisX], 100);
    // Only the enabled axis changes.
    switches.Axis[kAxisX] = false;
    ZoomPlotGroup(plot.doc, 0, true, switches);
    EXPECT_EQ(plot.curve(0).RangeHigh[kAxisX], 100);
    EXPECT_EQ(plot.curve(0).RangeHigh[kAxisY], 5);
}

TEST(PlotZoom, RefusedRangesLeaveTheCurve) {
    struct Case {
        double low, high;
        bool linear;
        bool zoomIn;
    } cases[] = {
        {1, 10, false, false},        // zooming out would cross zero on a log axis
        {-4e49, 6e49, true, false},   // an end beyond 1e50
        {-2e-50, 2e-50, true, true},  // ends of magnitude 1e-50
    };
    for (const Case& c : cases) {
        StoredPlot plot;
        SetRange(plot.curve(), kAxisX, c.low, c.high, c.linear);
        SetRange(plot.curve(), kAxisY, 0, 1);
        EXPECT_TRUE(ZoomPlotGroup(plot.doc, 0, c.zoomIn, ScaleSwitches{}).empty()) << c.low;
        EXPECT_EQ(plot.curve().RangeLow[kAxisX], c.low);
        EXPECT_EQ(plot.curve().RangeHigh[kAxisX], c.high);
        EXPECT_EQ(plot.curve().RangeHigh[kAxisY], 1) << "the refused X ends the curve's changes";
    }
    EXPECT_TRUE(AxisRangeAllowed(0, 5, true));
    EXPECT_FALSE(AxisRangeAllowed(0, 5, false));
}

TEST(PlotZoom, ScrollingByATenthOrADecade) {
    struct Case {
        int command;
        bool linear;
        double low, high, newLow, newHigh;
    } cases[] = {
        {kCmdScrollRight, false, 1, 1000, 10, 10000}, {kCmdScrollLeft, false, 1, 1000, 0.1, 100},
        {kCmdScrollLeft, true, 0, 100, -10, 90},      {kCmdScrollRight, true, 0, 100, 10, 110},
        {kCmdScrollUp, true, 0, 100, 10, 110},        {kCmdScrollDown, false, 10, 1000, 1, 100},
    };
    for (const Case& c : cases) {
        StoredPlot plot;
        const int axis = c.command == kCmdScrollLeft || c.command == kCmdScrollRight ? kAxisX : kAxisY;
        SetRange(plot.curve(), axis, c.low, c.high, c.linear);
        EXPECT_EQ(ScrollPlotGroup(plot.doc, 0, c.command, ScaleSwitches{}).size(), 1u);
        EXPECT_NEAR(plot.curve().RangeLow[axis], c.newLow, 1e-9 * c.newHigh) << c.command;
        EXPECT_NEAR(plot.curve().RangeHigh[axis], c.newHigh, 1e-9 * c.newHigh) << c.command;
    }
    // A disabled axis does not move.
    StoredPlot plot;
    SetRange(plot.curve(), kAxisX, 0, 100);
    ScaleSwitches off;
    off.Axis[kAxisX] = false;
    EXPECT_TRUE(ScrollPlotGroup(plot.doc, 0, kCmdScrollRight, off).empty());
    EXPECT_EQ(plot.curve().RangeLow[kAxisX], 0);
}

TEST(PlotZoom, BoxAndDragKeepDirectionAndPositiveLogEnds) {
    StoredPlot plot;
    SetRange(plot.curve(), kAxisX, 100, 0);  // a reversed X axis stays reversed
    SetRange(plot.curve(), kAxisY, 1, 1000, false);
    CornerValues box;
    box.First[kAxisX] = 20;
    box.Second[kAxisX] = 60;
    box.First[kAxisY] = 100;
    box.Second[kAxisY] = 10;
    EXPECT_EQ(ZoomGroupToValues(plot.doc, 0, {box}, ScaleSwitches{}).size(), 1u);
    EXPECT_EQ(plot.curve().RangeLow[kAxisX], 60);
    EXPECT_EQ(plot.curve().RangeHigh[kAxisX], 20);
    EXPECT_EQ(plot.curve().RangeLow[kAxisY], 10);
    EXPECT_EQ(plot.curve().RangeHigh[kAxisY], 100);
    // A box without height changes nothing on an analog curve.
    box.Second[kAxisY] = 100;
    EXPECT_TRUE(ZoomGroupToValues(plot.doc, 0, {box}, ScaleSwitches{}).empty());

    CornerValues drag;
    drag.First[kAxisX] = 30;
    drag.Second[kAxisX] = 40;
    drag.First[kAxisY] = 20;
    drag.Second[kAxisY] = 40;
    PanGroupByValues(plot.doc, 0, {drag}, ScaleSwitches{});
    EXPECT_EQ(plot.curve().RangeLow[kAxisX], 50);
    EXPECT_EQ(plot.curve().RangeHigh[kAxisX], 10);
    EXPECT_EQ(plot.curve().RangeLow[kAxisY], 5);
    EXPECT_EQ(plot.curve().RangeHigh[kAxisY], 50);
    drag.First[kAxisY] = 0;  // no factor can be taken: the log axis stays
    PanGroupByValues(plot.doc, 0, {drag}, ScaleSwitches{});
    EXPECT_EQ(plot.curve().RangeLow[kAxisY], 5);
}

TEST(PlotZoom, SameXScalesAndRestoredLimits) {
    StoredPlot plot(3);
    plot.curve(1).PlotNumber = 2;
    plot.curve(2).PlotNumber = 3;
    plot.curve(0).Expr[kAxisX] = Compiled("2+3");
    plot.curve(1).Expr[kAxisX] = Compiled("2 + 3");
    plot.curve(2).Expr[kAxisX] = Compiled("2*3");
    for (int i = 0; i < 3; ++i) {
        SetRange(plot.curve(i), kAxisX, 0, 100);
        plot.curve(i).PrevRangeHigh[kAxisX] = 100;
    }
    ZoomPlotGroup(plot.doc, 0, true, ScaleSwitches{});
    EXPECT_EQ(AlignXScales(plot.doc, 0), std::vector<int>{1});
    EXPECT_EQ(plot.curve(1).RangeLow[kAxisX], 25);
    EXPECT_EQ(plot.curve(2).RangeLow[kAxisX], 0);

    EXPECT_TRUE(RestoreLimitScales(plot.doc));
    EXPECT_EQ(plot.curve(0).RangeLow[kAxisX], 0);
    EXPECT_EQ(plot.curve(1).RangeHigh[kAxisX], 100);
    EXPECT_FALSE(RestoreLimitScales(plot.doc));
}

TEST(PlotNormalize, AtMaximumDividesAndTheSameCommandRestores) {
    StoredPlot plot;
    plot.AddRun(Ramp(5, 10), {1, 4, 2, -2, 3});
    DocumentCursorPlacer placer(plot.doc);
    plot.doc.MoveCursor(0, 0, 2);
    const std::vector<double> xs = Ramp(5, 10);
    auto values = [&] {
        std::vector<double> v;
        for (int i = 0; i < 5; ++i) v.push_back(plot.Y(i));
        return v;
    };
    ASSERT_TRUE(NormalizeByCommand(plot.doc, placer, kCmdNormalizeAtMaximum));
    EXPECT_EQ(values(), (std::vector<double>{0.25, 1, 0.5, -0.5, 0.75}));
    EXPECT_EQ(plot.curve().DataMax[kAxisY], 1);
    EXPECT_EQ(plot.curve().CursorY[0], 0.5);  // the readout shows the new value
    // Normalizing at the cursor first restores, then divides by the cursor's Y.
    ASSERT_TRUE(NormalizeByCommand(plot.doc, placer, kCmdNormalizeAtCursor));
    EXPECT_EQ(values(), (std::vector<double>{0.5, 2, 1, -1, 1.5}));
    ASSERT_TRUE(NormalizeByCommand(plot.doc, placer, kCmdNormalizeAtCursor));
    EXPECT_EQ(values(), (std::vector<double>{1, 4, 2, -2, 3}));
    EXPECT_EQ(plot.curve().NormalizeFactor, 0);
    // The shared column of the analysis variable is never written.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(plot.doc.GetValue(kSharedColumn, i), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(plot.doc.GetValue(plot.curve().DataColumn[kSlotX], i), xs[i]);
}

TEST(PlotNormalize, DecibelsSubtractAndDigitalOrZeroChangeNothing) {
    StoredPlot plot;
    plot.AddRun(Ramp(3), {-3, 6, 0});
    plot.curve().Expr[kAxisY] = Compiled("DB(2)");
    DocumentCursorPlacer placer(plot.doc);
    ASSERT_TRUE(NormalizeByCommand(plot.doc, placer, kCmdNormalizeAtMaximum));
    EXPECT_EQ(plot.Y(0), -9);
    EXPECT_EQ(plot.Y(2), -6);
    NormalizeByCommand(plot.doc, placer, kCmdNormalizeAtMaximum);

    StoredPlot zero;
    zero.AddRun(Ramp(3), {0, 0, 0});
    DocumentCursorPlacer zeroPlacer(zero.doc);
    EXPECT_FALSE(NormalizeByCommand(zero.doc, zeroPlacer, kCmdNormalizeAtMaximum));
    EXPECT_EQ(zero.curve().NormalizeFactor, 0);
    StoredPlot digital;
    digital.AddRun(Ramp(3), {3, 3, 0});
    digital.curve().IsDigital = 1;
    DocumentCursorPlacer digitalPlacer(digital.doc);
    EXPECT_FALSE(NormalizeByCommand(digital.doc, digitalPlacer, kCmdNormalizeAtMaximum));
    EXPECT_EQ(digital.Y(0), 3);
}

TEST(PlotCurrentCurve, TabAndShiftTabWrap) {
    StoredPlot plot(3);
    plot.doc.CurrentCurve = 2;
    EXPECT_EQ(NeighbourCurve(plot.doc, true), 0);
    EXPECT_EQ(NeighbourCurve(plot.doc, false), 1);
    plot.doc.CurrentCurve = 0;
    EXPECT_EQ(NeighbourCurve(plot.doc, false), 2);
    StoredPlot none(0);
    EXPECT_EQ(NeighbourCurve(none.doc, true), -1);
}

}  // namespace
