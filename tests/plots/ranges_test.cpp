// Automatic axis ranges: nice ranges, the ranges the analysis fixes, fitting a
// document's curves and writing fitted ranges back into the curve rows.
#include "plots/ranges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "core/memory.h"
#include "document/cfanalysis.h"
#include "plots/store.h"

namespace {

struct NiceCase {
    int divisions;
    double high, low;
    double newHigh, newLow, step;
};

class NiceRangeCases : public ::testing::TestWithParam<NiceCase> {};

TEST_P(NiceRangeCases, FitsTheDataWithANiceStep) {
    const NiceCase& c = GetParam();
    double high = -99, low = -99, step = -99;
    ASSERT_EQ(NiceRange(c.divisions, c.high, c.low, &high, &low, &step), 0);
    // A step is a table entry times a power of ten, rounded once.
    EXPECT_DOUBLE_EQ(high, c.newHigh);
    EXPECT_DOUBLE_EQ(low, c.newLow);
    EXPECT_DOUBLE_EQ(step, c.step);
}

INSTANTIATE_TEST_SUITE_P(Table, NiceRangeCases,
                         ::testing::Values(NiceCase{5, 7.3, 2.1, 9, 1.5, 1.5},        // top division left empty
                                           NiceCase{5, -2.1, -7.3, 0, -7.5, 1.5},     // mirrored
                                           NiceCase{5, 2.1, 7.3, 1.5, 9, 1.5},        // reversed stays reversed
                                           NiceCase{5, 0, 0, 1.25, 0, 0.25},          // 0..0 works on 0..1
                                           NiceCase{5, 4, 4, 4.5, 4, 0.1},            // 4..4 works on 4..4.4
                                           NiceCase{5, 0.6, 0, 0.75, 0, 0.15},        // 12 is taken despite rounding
                                           NiceCase{10, 1e-3, 0, 1.2e-3, 0, 1.2e-4},  // small values
                                           NiceCase{5, 4.9e9, -3e9, 7.5e9, -5e9, 2.5e9}));

TEST(NiceRange, FewerThanTwoDivisionsCountAsTwo) {
    double h2, l2, s2, h, l, s;
    ASSERT_EQ(NiceRange(2, 7.3, 2.1, &h2, &l2, &s2), 0);
    for (int divisions : {1, 0, -3}) {
        ASSERT_EQ(NiceRange(divisions, 7.3, 2.1, &h, &l, &s), 0);
        EXPECT_EQ(h, h2);
        EXPECT_EQ(l, l2);
        EXPECT_EQ(s, s2);
    }
}

TEST(NiceRange, RangesThatAreNotFiniteHaveNoNiceRange) {
    double high = 5, low = 6, step = 7;
    EXPECT_EQ(NiceRange(5, INFINITY, 0, &high, &low, &step), -1);
    EXPECT_EQ(NiceRange(5, NAN, 0, &high, &low, &step), -1);
    EXPECT_EQ(high, 5);
    EXPECT_EQ(low, 6);
}

// A curve row of the running kind, its range texts as given.
std::unique_ptr<CurveRow> Row(const char* xRange, const char* yRange, const char* x = "T") {
    auto row = std::make_unique<CurveRow>();
    SetString(&row->xRange, xRange);
    SetString(&row->yRange, yRange);
    SetString(&row->xExpression, x);
    return row;
}

TEST(AnalysisRanges, TheAnalysisFixesTimeFrequencyAndSweepAxes) {
    AnalysisKindSettings rows;
    rows.curves.push_back(Row("Auto", "Auto", "dcinput1"));
    rows.curves.push_back(Row("Auto", "Auto", "v(V1)"));
    rows.curves.push_back(Row("Auto", "Auto", "v(2)"));
    AnalysisRanges analysis;
    analysis.Tmin = 1e-6, analysis.Tmax = 5e-6;
    analysis.FLow = 10, analysis.FHigh = 1e6;
    analysis.DcLow = -2, analysis.DcHigh = 3, analysis.DcInputName = "V1";
    analysis.Rows = &rows;
    analysis.Divisions[kAxisX] = 4;

    PlotCurve curve;
    curve.SingleVar[kAxisX] = 'T';
    analysis.Kind = 0;
    EXPECT_EQ(SetDefaultRange(curve, kAxisX, 4, analysis), 1);
    EXPECT_EQ(curve.AutoRange[kAxisX], kRangeFitRun);
    EXPECT_EQ(curve.RangeLow[kAxisX], 1e-6);
    EXPECT_EQ(curve.RangeHigh[kAxisX], 5e-6);
    EXPECT_DOUBLE_EQ(curve.GridStep[kAxisX], 1e-6);

    curve.SingleVar[kAxisX] = 'F';
    curve.AxisLinear[kAxisX] = 0;
    analysis.Kind = 1;
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisX, analysis), 1);
    EXPECT_EQ(curve.RangeHigh[kAxisX], 1e6);
    analysis.FrequencyList = {300, 20, 7000};
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisX, analysis), 1);
    EXPECT_EQ(curve.RangeLow[kAxisX], 20);
    EXPECT_EQ(curve.RangeHigh[kAxisX], 7000);
    analysis.FrequencyList = {0, 100};  // a log axis never starts at 0
    SetRangeFromAnalysis(curve, kAxisX, analysis);
    EXPECT_EQ(curve.RangeLow[kAxisX], 1e-9);

    // DC: the X text names the first swept input, or DCINPUT1, without regard to case.
    analysis.Kind = 2;
    curve = PlotCurve();
    for (int row : {0, 1}) {
        curve.RowIndex = row;
        EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisX, analysis), 1) << row;
        EXPECT_EQ(curve.RangeLow[kAxisX], -2);
        EXPECT_EQ(curve.RangeHigh[kAxisX], 3);
    }
    curve.RowIndex = 2;
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisX, analysis), 0);
    curve.RowIndex = -1;  // no row
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisX, analysis), 0);
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisY, analysis), 0);

    // Otherwise the defaults: -10..10 linear, 1..10 logarithmic.
    curve = PlotCurve();
    EXPECT_EQ(SetDefaultRange(curve, kAxisY, 4, analysis), 0);
    EXPECT_EQ(curve.RangeLow[kAxisY], -10);
    EXPECT_EQ(curve.RangeHigh[kAxisY], 10);
    EXPECT_EQ(curve.GridStep[kAxisY], 5);
    curve.AxisLinear[kAxisY] = 0;
    EXPECT_EQ(SetDefaultRange(curve, kAxisY, 4, analysis), 0);
    EXPECT_EQ(curve.RangeLow[kAxisY], 1);
    EXPECT_EQ(curve.GridStep[kAxisY], 0);

    // A polar curve is fixed once it holds a point; its range is left alone.
    curve = PlotCurve();
    curve.PlotType = kPlotPolar;
    curve.RangeLow[kAxisY] = 7;
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisY, analysis), 0);
    curve.PointIndex = 0;
    EXPECT_EQ(SetRangeFromAnalysis(curve, kAxisY, analysis), 1);
    EXPECT_EQ(curve.RangeLow[kAxisY], 7);
}

// A plotted curve of group `group` with the data extremes of its Y axis, fitted to the run's data.
PlotCurve DataCurve(int group, double yMin, double yMax, int row = -1) {
    PlotCurve curve;
    curve.PlotNumber = group;
    curve.UseFlags = kCurveDrawn;
    curve.PointIndex = 10;
    curve.RowIndex = row;
    curve.AutoRange[kAxisY] = kRangeFitRun;
    curve.DataMin[kAxisY] = yMin;
    curve.DataMax[kAxisY] = yMax;
    // The X axis is fitted too, so Y is fitted from all the data.
    curve.AutoRange[kAxisX] = kRangeFitRun;
    curve.DataMin[kAxisX] = 0;
    curve.DataMax[kAxisX] = 10;
    return curve;
}

TEST(DataRanges, ConstantDataIsWidenedAroundItsValue) {
    struct Case {
        double value, low, high;
    } cases[] = {{0, -1, 1}, {3, 1.5, 6}, {-3, -6, -1.5}};
    for (const Case& c : cases) {
        PlotCurveArray curves;
        curves.push_back(DataCurve(1, c.value, c.value));
        ComputeDataRanges(curves, FitContext{});
        EXPECT_EQ(curves[0].RangeLow[kAxisY], c.low) << c.value;
        EXPECT_EQ(curves[0].RangeHigh[kAxisY], c.high) << c.value;
    }
}

TEST(DataRanges, WindowExtremesServeAnAxisWhoseOtherAxisIsFixed) {
    PlotCurveArray curves;
    curves.push_back(DataCurve(1, -5, 5));
    curves[0].AutoRange[kAxisX] = kRangeFixed;
    curves[0].WindowMin = -1, curves[0].WindowMax = 2;
    curves[0].RangeLow[kAxisX] = 0, curves[0].RangeHigh[kAxisX] = 3;
    FitContext context;
    context.RunActive = true;  // X is not refitted while a run is active
    ComputeDataRanges(curves, context);
    EXPECT_EQ(curves[0].RangeLow[kAxisY], -1);
    EXPECT_EQ(curves[0].RangeHigh[kAxisY], 2);
    EXPECT_EQ(curves[0].RangeHigh[kAxisX], 3);
}

TEST(DataRanges, FftCurvesFitTheirHarmonicsWithoutTheDcPointUnlessAsked) {
    DataPointStore store;
    PlotCurveArray curves(1);
    RunLog runs;
    store.Prepare(curves, runs, StoreLayout{});
    store.Begin();
    store.StartRun(curves, runs, RunRecord{});
    PlotCurve& curve = curves[0];
    const double magnitudes[] = {50, 4, 2, 3, 9, 1, 1, 1, 1, 1};
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(store.NextPointIndex(curve, runs));
        store.SetValue(curve.DataColumn[kSlotX], i, 1000.0 * i);
        store.SetValue(curve.DataColumn[kSlotY], i, magnitudes[i]);
    }
    curve.Expr[kAxisY] = std::make_unique<CompiledExpression>();
    curve.Expr[kAxisY]->flags = kExprFlagSpectrum;
    curve.SingleVar[kAxisX] = 'F';
    curve.UseFlags = kCurveDrawn;
    curve.PlotNumber = 1;
    curve.AutoRange[kAxisX] = curve.AutoRange[kAxisY] = kRangeFitRun;
    FitContext context;
    context.Store = &store;
    context.Runs = &runs;
    context.FftHarmonics = 3;
    ComputeDataRanges(curves, context);
    EXPECT_EQ(curve.RangeLow[kAxisY], 0);  // a linear magnitude axis starts at 0
    EXPECT_EQ(curve.RangeHigh[kAxisY], 4);
    EXPECT_EQ(curve.RangeLow[kAxisX], 1000);
    EXPECT_EQ(curve.RangeHigh[kAxisX], 3000);
    context.FftIncludeDC = true;
    ComputeDataRanges(curves, context);
    EXPECT_EQ(curve.RangeHigh[kAxisY], 50);
    EXPECT_EQ(curve.RangeLow[kAxisX], 0);
}

TEST(PlotGroups, CurvesOfAGroupShareTheWidestRangeAndTheLargestStep) {
    PlotCurveArray curves;
    curves.push_back(DataCurve(1, 0, 0));
    curves.push_back(DataCurve(1, 0, 0));
    curves.push_back(DataCurve(2, 0, 0));
    curves[0].RangeLow[kAxisY] = 0, curves[0].RangeHigh[kAxisY] = 5, curves[0].GridStep[kAxisY] = 1;
    curves[1].RangeLow[kAxisY] = 3, curves[1].RangeHigh[kAxisY] = -2, curves[1].GridStep[kAxisY] = 2;
    curves[2].RangeLow[kAxisY] = 100, curves[2].RangeHigh[kAxisY] = 200;
    UnifyRanges(curves, false);  // Y is shared only when asked
    EXPECT_EQ(curves[1].RangeLow[kAxisY], 3);
    UnifyRanges(curves, true);
    for (int i : {0, 1}) {
        EXPECT_EQ(curves[static_cast<size_t>(i)].RangeLow[kAxisY], -2) << i;
        EXPECT_EQ(curves[static_cast<size_t>(i)].RangeHigh[kAxisY], 5) << i;
        EXPECT_EQ(curves[static_cast<size_t>(i)].GridStep[kAxisY], 2) << i;
    }
    EXPECT_EQ(curves[2].RangeLow[kAxisY], 100);

    // A curve shown in milli units shares the range in its own units.
    curves[1].ScaleFactorText[kAxisY] = "m";
    curves[1].RangeLow[kAxisY] = 0.001, curves[1].RangeHigh[kAxisY] = 0.009;
    UnifyPlotRanges(curves, kAxisY, kAxisY);
    EXPECT_EQ(curves[0].RangeHigh[kAxisY], 9);
    EXPECT_DOUBLE_EQ(curves[1].RangeHigh[kAxisY], 0.009);
    EXPECT_DOUBLE_EQ(curves[1].RangeLow[kAxisY], -0.002);
}

TEST(PlotGroups, YScaleOwners) {
    PlotCurveArray curves;
    for (int i = 0; i < 4; ++i) curves.push_back(DataCurve(1, 0, 0));
    for (int i = 0; i < 4; ++i) {
        curves[static_cast<size_t>(i)].IndexInPlot = i;
        curves[static_cast<size_t>(i)].RangeHigh[kAxisY] = 5;
    }
    curves[2].RangeHigh[kAxisY] = 6;  // its own range: its own scale
    curves[3].IsDigital = 1;
    AssignYScaleOwners(curves, false);
    EXPECT_EQ(curves[0].DrawsYScale, 1);
    EXPECT_EQ(curves[1].DrawsYScale, 0);
    EXPECT_EQ(curves[2].DrawsYScale, 1);
    EXPECT_EQ(curves[3].DrawsYScale, 0);
    AssignYScaleOwners(curves, true);
    EXPECT_EQ(curves[2].DrawsYScale, 0);
}

TEST(AutoScale, FittedRangesAreWrittenBackUnlessTheRowSaysAutoAlways) {
    AnalysisKindSettings rows;
    rows.curves.push_back(Row("Auto", "Auto"));
    rows.curves.push_back(Row("Auto", "autoalways"));
    rows.curves.push_back(Row("Auto", "Auto"));
    PlotCurveArray curves;
    curves.push_back(DataCurve(1, -1.7, 9.3, 0));
    curves.push_back(DataCurve(2, 0.2, 7.9, 1));
    curves.push_back(DataCurve(3, 3, 700, 2));
    curves[2].AxisLinear[kAxisY] = 0;
    FitContext context;
    context.Rows = &rows;
    context.GridDivisions[kAxisX] = context.GridDivisions[kAxisY] = 5;
    ASSERT_EQ(FitRangesAfterRun(curves, context, false), 1);
    EXPECT_EQ(curves[0].RangeLow[kAxisY], -4);
    EXPECT_EQ(curves[0].RangeHigh[kAxisY], 16);
    EXPECT_EQ(std::string(rows.curves[0]->yRange), "16,-4");
    EXPECT_EQ(std::string(rows.curves[0]->gridY), "4");
    EXPECT_EQ(std::string(rows.curves[0]->xRange), "12.5");  // a low of 0 is not written
    EXPECT_EQ(std::string(rows.curves[1]->yRange), "autoalways");
    // The log axis is fitted in decades: 10^0 .. 10^3.75 around 3 .. 700.
    EXPECT_NEAR(std::log10(curves[2].RangeLow[kAxisY]), 0, 1e-12);
    EXPECT_NEAR(std::log10(curves[2].RangeHigh[kAxisY]), 3.75, 1e-12);
    for (const PlotCurve& curve : curves) EXPECT_EQ(curve.AutoRange[kAxisY], kRangeFixed);
    // The same fitting again changes nothing.
    for (PlotCurve& curve : curves) curve.AutoRange[kAxisX] = curve.AutoRange[kAxisY] = kRangeFitRun;
    EXPECT_EQ(FitRangesAfterRun(curves, context, false), 0);
    EXPECT_EQ(FitRangesAfterRun(curves, context, true), 1);

    // Nothing is fitted while a shown curve holds no point, nor after a failed run.
    curves[1].PointIndex = -1;
    EXPECT_FALSE(AllCurvesHaveData(curves));
    EXPECT_EQ(FitRangesAfterRun(curves, context, true), 0);
    curves[1].PointIndex = 3;
    context.RunFailed = true;
    EXPECT_EQ(FitRangesAfterRun(curves, context, true), 0);
}

TEST(AutoScale, DuringARunTheAxesStayAutomaticAndXIsNotRefitted) {
    PlotCurveArray curves;
    curves.push_back(DataCurve(1, 0, 3));
    curves[0].RangeLow[kAxisX] = 0, curves[0].RangeHigh[kAxisX] = 1;
    FitContext context;
    context.RunActive = true;
    FitRangesAfterRun(curves, context, false);
    EXPECT_EQ(curves[0].AutoRange[kAxisY], kRangeFitRun);
    EXPECT_EQ(curves[0].RangeHigh[kAxisY], 3.75);
    // X kept its range, but the final pass of the fitting tidies it too.
    EXPECT_EQ(curves[0].RangeHigh[kAxisX], 1.25);
}

TEST(AutoScale, AutoScaleNowKeepsAReversedAxisReversed) {
    PlotCurveArray curves;
    curves.push_back(DataCurve(1, 1, 4));
    curves.push_back(DataCurve(2, 1, 4));
    for (PlotCurve& curve : curves) curve.AutoRange[kAxisY] = kRangeFixed;
    curves[0].RangeLow[kAxisY] = 9, curves[0].RangeHigh[kAxisY] = 0;  // reversed
    curves[1].RangeLow[kAxisY] = 0, curves[1].RangeHigh[kAxisY] = 9;
    const int scale[2] = {0, 1};
    FitRangesNow(curves, FitContext{}, 0, scale, false);
    EXPECT_DOUBLE_EQ(curves[0].RangeLow[kAxisY], 4.8);
    EXPECT_DOUBLE_EQ(curves[0].RangeHigh[kAxisY], 0.8);
    EXPECT_EQ(curves[0].AutoRange[kAxisY], kRangeFixed);
    EXPECT_EQ(curves[1].RangeHigh[kAxisY], 9);  // another group
}

TEST(AutoScale, RefitsDuringTheFirstRunComeOnceAtAQuarterAndOnceAtHalf) {
    int quarter = 0, half = 0;
    EXPECT_FALSE(RescaleDue(1, false, 0.2, &quarter, &half));
    EXPECT_TRUE(RescaleDue(1, false, 0.3, &quarter, &half));
    EXPECT_FALSE(RescaleDue(1, false, 0.4, &quarter, &half));
    EXPECT_FALSE(RescaleDue(2, false, 0.6, &quarter, &half));
    EXPECT_FALSE(RescaleDue(1, true, 0.6, &quarter, &half));
    EXPECT_TRUE(RescaleDue(1, false, 0.6, &quarter, &half));
    EXPECT_FALSE(RescaleDue(1, false, 0.9, &quarter, &half));
}

TEST(AutoScale, RangeTexts) {
    EXPECT_EQ(FormatRangeText(10, -2), "10,-2");
    EXPECT_EQ(FormatRangeText(10, 0), "10");
    EXPECT_EQ(FormatRangeText(0.5, -1e-5), ".5,-1e-5");
    EXPECT_EQ(FormatRangeText(1234567, 0), "1.23457e6");
}

}  // namespace
