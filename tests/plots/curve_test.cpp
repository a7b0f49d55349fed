// The plot curve record: value texts, display copies that share nothing they
// must not, and the curve array's helpers.
#include "plots/curve.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(PlotCurve, AxisValueTexts) {
    PlotCurve curve;
    curve.AxisLinear[kAxisY] = 0;
    EXPECT_EQ(curve.FormatAxisValue(kAxisY, 1e-50), "-INF");  // what replaces zero on a log axis
    EXPECT_NE(curve.FormatAxisValue(kAxisX, 1e-50), "-INF");
    // Polar and Smith readouts are engineering numbers.
    curve.PlotType = kPlotPolar;
    EXPECT_EQ(curve.FormatAxisValue(kAxisX, 1500), "1.500K");
    curve.PlotType = kPlotRectangular;
    // A digital Y shows its state, not a number.
    curve.IsDigital = 1;
    EXPECT_EQ(curve.FormatAxisValue(kAxisY, 3), "1");
    EXPECT_EQ(curve.FormatAxisValue(kAxisY, 0), "0");
    EXPECT_EQ(curve.FormatAxisValue(kAxisY, -2), "0");
}

TEST(PlotCurve, DisplayCopySharesNoExpressionRunsOrState) {
    PlotCurve source;
    source.ExprText[kAxisY] = "V(OUT)";
    source.UnitsText[kAxisY] = "V";
    source.SmithScaleText = "2";
    source.SmithScale = 2;
    source.RangeHigh[kAxisY] = 5;
    source.PointIndex = 41;
    source.Selection.Title = "out";
    source.Expr[kAxisY] = std::make_unique<CompiledExpression>();
    source.RunFirst = {0, 20};
    source.RunLast = {19, 41};
    source.RunTables.resize(2);
    source.RunTables[1].Polyline.push_back({1, 2});

    PlotCurve copy;
    copy.ExprText[kAxisX] = "stale";
    copy.CopyFrom(source);
    EXPECT_EQ(copy.ExprText[kAxisY], "V(OUT)");
    EXPECT_EQ(copy.ExprText[kAxisX], "");
    EXPECT_EQ(copy.UnitsText[kAxisY], "V");
    EXPECT_EQ(copy.SmithScaleText, "2");
    EXPECT_EQ(copy.RangeHigh[kAxisY], 5);
    EXPECT_EQ(copy.PointIndex, 41);
    EXPECT_EQ(copy.Selection.Title, "out");
    EXPECT_EQ(copy.Expr[kAxisY], nullptr);
    EXPECT_TRUE(copy.RunFirst.empty());
    EXPECT_TRUE(copy.RunTables.empty());
    EXPECT_EQ(copy.EvalState, nullptr);
    // The source keeps what it owns.
    EXPECT_NE(source.Expr[kAxisY], nullptr);
    EXPECT_EQ(source.RunTables[1].Polyline.size(), 1u);

    source.FreeRunTables();
    EXPECT_EQ(source.RunTables.size(), 2u);
    EXPECT_TRUE(source.RunTables[1].Polyline.empty());
    source.Destroy();
    EXPECT_EQ(source.Expr[kAxisY], nullptr);
    EXPECT_EQ(source.PointIndex, -1);
    EXPECT_EQ(source.ExprText[kAxisY], "");
}

TEST(PlotCurve, SmithScaleFallsBackToOneUnlessPositive) {
    struct Case {
        const char* text;
        const char* keptText;
        double scale;
    } cases[] = {{"2.5", "2.5", 2.5}, {"50m", "50m", 0.05}, {"-1", "1", 1},
                 {"0", "1", 1},       {"", "1", 1},         {"((", "1", 1}};
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.SmithScaleText = c.text;
        curve.ParseSmithScale();
        EXPECT_EQ(curve.SmithScaleText, c.keptText) << c.text;
        EXPECT_DOUBLE_EQ(curve.SmithScale, c.scale) << c.text;
    }
}

TEST(PlotCurve, ExtremesAndTheCurveArray) {
    PlotCurveArray curves(3);
    curves[0].UseFlags = kCurveDrawn | kCurveListed;
    curves[1].UseFlags = kCurveDrawn;
    curves[2].UseFlags = kCurveListed;  // listed only: after the plotted ones
    EXPECT_EQ(CountPlotted(curves), 2);
    EXPECT_FALSE(CurvesHaveData(curves, 2));
    for (PlotCurve& curve : curves) curve.PointIndex = 7;
    EXPECT_TRUE(CurvesHaveData(curves, 2));
    EXPECT_FALSE(CurvesHaveData(curves, 0));
    ResetPointIndices(curves, 2);
    EXPECT_EQ(curves[1].PointIndex, -1);
    EXPECT_EQ(curves[2].PointIndex, 7);

    curves[0].DataMax[kAxisY] = 3;
    curves[0].WindowMin = -3;
    curves[0].ResetRanges();
    EXPECT_EQ(curves[0].DataMax[kAxisY], kNoDataMax);
    EXPECT_EQ(curves[0].DataMin[kAxisX], kNoDataMin);
    EXPECT_EQ(curves[0].WindowMin, kNoDataMin);
    EXPECT_TRUE(curves[0].IsShown());
    curves[0].Hidden = 99;
    EXPECT_TRUE(curves[0].IsShown());
    curves[0].Hidden = 1;
    EXPECT_FALSE(curves[0].IsShown());
}

}  // namespace
