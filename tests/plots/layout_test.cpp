// Plot layout and the screen transform: packing of plot numbers, the axis
// transforms with their degenerate ranges and limits, digital bands, ranges,
// readout and label texts.
#include "plots/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "expr/symbols.h"
#include "plots/g2ddoc.h"
#include "tests/support/test_reporter.h"

namespace {

PlotCurve PlottedCurve(int plotNumber) {
    PlotCurve c;
    c.UseFlags = kCurveDrawn;
    c.PlotNumber = plotNumber;
    return c;
}

// A curve whose axis maps [low, high] onto a 100-unit plot at 0..100.
PlotCurveArray OneAxisCurve(int axis, bool linear, double low, double high) {
    PlotCurveArray curves;
    curves.push_back(PlottedCurve(1));
    curves[0].AxisLinear[axis] = linear ? 1 : 0;
    curves[0].RangeLow[axis] = low;
    curves[0].RangeHigh[axis] = high;
    SetAxisTransform(curves, 0, axis, 100, axis == kAxisX ? 100 : 0, 10);
    return curves;
}

TEST(PlotLayout, PackPlotNumbersClosesGapsAndKeepsOrder) {
    struct Case {
        std::vector<int> numbers;  // 0: not plotted
        std::vector<int> packed;
        std::vector<int> indexInPlot;
    };
    const Case cases[] = {
        {{2, 5, 9}, {1, 2, 3}, {0, 0, 0}},  {{9, 2, 9, 5}, {3, 1, 3, 2}, {0, 0, 1, 0}},
        {{0, 3, 3}, {0, 1, 1}, {10, 0, 1}}, {{1}, {1}, {0}},  // nothing above: the packing ends
        {{0, 0}, {0, 0}, {10, 11}},
    };
    for (const Case& c : cases) {
        PlotCurveArray curves;
        for (int n : c.numbers) curves.push_back(n ? PlottedCurve(n) : PlotCurve());
        PackPlotNumbers(curves);
        for (size_t i = 0; i < curves.size(); ++i) {
            EXPECT_EQ(curves[i].PlotNumber, c.packed[i]) << "curve " << i;
            EXPECT_EQ(curves[i].IndexInPlot, c.indexInPlot[i]) << "curve " << i;
        }
    }
}

TEST(PlotLayout, PlotDigitalMarksAllSomeOrNone) {
    PlotCurveArray curves;
    for (int n : {1, 1, 2, 2, 3}) curves.push_back(PlottedCurve(n));
    curves[0].IsDigital = curves[1].IsDigital = 1;  // group 1 all digital
    curves[2].IsDigital = 1;                        // group 2 mixed
    ComputePlotDigital(curves);
    EXPECT_EQ(curves[0].PlotDigital, 1);
    EXPECT_EQ(curves[1].PlotDigital, 1);
    EXPECT_EQ(curves[2].PlotDigital, 2);
    EXPECT_EQ(curves[3].PlotDigital, 2);
    EXPECT_EQ(curves[4].PlotDigital, 0);
}

TEST(PlotLayout, LinearAndLogTransformsPutTheHighEndAtTheOrigin) {
    struct Case {
        int axis;
        bool linear;
        double low, high;
        double value;
        int device;
    };
    const Case cases[] = {
        {kAxisX, true, -2.5, 7.5, -2.5, 0}, {kAxisX, true, -2.5, 7.5, 7.5, 100}, {kAxisX, true, -2.5, 7.5, 0, 25},
        {kAxisY, true, 0, 10, 10, 0},       {kAxisY, true, 0, 10, 2, 80},        {kAxisX, false, 1, 1000, 10, 33},
        {kAxisY, false, 1, 1e4, 100, 50},   {kAxisX, true, 3, 3, 0.5, 50},        // degenerate: 0..1
        {kAxisY, false, 0, 0, 1e-4, 0},     {kAxisY, false, 0, 0, 1e-9, 100},     // 1e-9..1e-4
        {kAxisY, false, 0, 0, 1e-6, 40},    {kAxisY, false, -5, 100, 1e-3, 100},  // lo = hi * 1e-5
    };
    for (const Case& c : cases) {
        const PlotCurveArray curves = OneAxisCurve(c.axis, c.linear, c.low, c.high);
        EXPECT_EQ(curves[0].ToDevice(c.axis, c.value), c.device) << c.low << ".." << c.high << " at " << c.value;
        EXPECT_NEAR(curves[0].FromDevice(c.axis, c.device), c.value, std::fabs(c.value) * 0.05 + 1e-12);
    }
    const PlotCurveArray logZero = OneAxisCurve(kAxisY, false, 0, 0);
    EXPECT_DOUBLE_EQ(logZero[0].RangeSpan[kAxisY], 1e-4 - 1e-9);
}

TEST(PlotLayout, DeviceCoordinatesStayInsideTheIntegerRange) {
    const PlotCurveArray curves = OneAxisCurve(kAxisX, true, 0, 1);
    const PlotCurve& c = curves[0];
    EXPECT_EQ(c.ToDevice(kAxisX, 1e300), 2147482647);
    EXPECT_EQ(c.ToDevice(kAxisX, -1e300), -2147482648);
    EXPECT_EQ(c.ToDeviceInt(kAxisX, 1e300), 2147483647);
    EXPECT_EQ(c.ToDeviceInt(kAxisX, -1e300), -2147483647 - 1);
    EXPECT_EQ(c.ToDevice(kAxisX, std::nan("")), 2147482647);  // off the plot, never undefined
    EXPECT_EQ(c.ToDevice(kAxisX, 0.005), 1);                  // 0.5 rounds away from zero
    EXPECT_EQ(c.ToDevice(kAxisX, -0.005), -1);
    // Zero on a log axis maps to the offset; negatives floor at 1e-50.
    const PlotCurveArray log = OneAxisCurve(kAxisX, false, 1, 10);
    EXPECT_EQ(log[0].ToDevice(kAxisX, 0), log[0].ToDevice(kAxisX, 1));
    EXPECT_EQ(log[0].ToDevice(kAxisX, -3), log[0].ToDevice(kAxisX, 1e-50));
}

TEST(PlotLayout, DigitalCurvesTakeBandsFromTheTop) {
    PlotCurveArray curves;
    for (int i = 0; i < 2; ++i) {
        curves.push_back(PlottedCurve(1));
        curves[i].IsDigital = 1;
        curves[i].RangeHigh[kAxisY] = 20;
        curves[i].PlotHeight = 200;
    }
    for (int i = 0; i < 2; ++i) SetAxisTransform(curves, i, kAxisY, 200, 0, 10);
    // Ten bands of 20 units; the first curve takes the top one.
    EXPECT_EQ(DigitalBandCount(curves, 0, 10), 10);
    EXPECT_EQ(curves[0].DigitalLowY, 19);
    EXPECT_EQ(curves[0].DigitalHighY, 9);
    EXPECT_EQ(curves[1].DigitalLowY, 39);
    EXPECT_EQ(curves[1].DigitalHighY, 29);
    // Level lines: 0 and R low, X after 0 low, others high.
    const PlotCurve& c = curves[0];
    EXPECT_EQ(c.ToDeviceInt(kAxisY, 0, 3), c.DigitalLowY);
    EXPECT_EQ(c.ToDeviceInt(kAxisY, 1, 3), c.DigitalLowY);
    EXPECT_EQ(c.ToDeviceInt(kAxisY, 3, 0), c.DigitalHighY);
    EXPECT_EQ(c.ToDeviceInt(kAxisY, 4, 0), c.DigitalLowY);
    EXPECT_EQ(c.ToDeviceInt(kAxisY, 4, 3), c.DigitalHighY);
    EXPECT_EQ(c.StateOrDevice(kAxisY, 3), 3);
    EXPECT_EQ(c.StateOrDevice(kAxisY, 600), 57);
    // A low plot gets fewer bands, never fewer than its digital curves.
    curves[0].PlotHeight = 50;
    EXPECT_EQ(DigitalBandCount(curves, 0, 10), 5);
    curves[0].PlotHeight = 5;
    EXPECT_EQ(DigitalBandCount(curves, 0, 10), 2);
}

TEST(PlotLayout, AxisRangesAreCheckedAndOrdered) {
    struct Case {
        bool linear;
        double low, high;
        bool accepted;
    };
    const Case cases[] = {
        {true, 0, 5, true},   {true, -1e49, 1e49, true}, {true, 1e-60, 1, false},  {true, 1, 1e51, false},
        {false, 0, 5, false}, {false, -1, 5, false},     {false, 1e-3, 1e3, true},
    };
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.AxisLinear[kAxisY] = c.linear ? 1 : 0;
        curve.RangeLow[kAxisY] = 7;
        EXPECT_EQ(SetAxisRange(curve, kAxisY, c.low, c.high), c.accepted) << c.low << ".." << c.high;
        EXPECT_EQ(curve.RangeLow[kAxisY], c.accepted ? c.low : 7);
    }
    PlotCurve curve;
    curve.RangeLow[kAxisX] = 5;
    curve.RangeHigh[kAxisX] = 1;
    OrderAxisRange(true, curve, kAxisX);
    EXPECT_EQ(curve.RangeLow[kAxisX], 1);
    OrderAxisRange(false, curve, kAxisX);
    EXPECT_EQ(curve.RangeLow[kAxisX], 5);
}

TEST(PlotLayout, GridDivisionsFollowDecadesAndLineHeight) {
    PlotCurveArray curves;
    curves.push_back(PlottedCurve(1));
    PlotLayout layout;
    layout.LineHeight = 20;
    layout.GridDivisions[kAxisX] = 8;
    layout.GridDivisions[kAxisY] = 10;
    PlotCurve& c = curves[0];
    c.PlotRect = {0, 0, 300, 99};
    EXPECT_EQ(GridDivisionCount(curves, layout, 0, kAxisX), 8);
    EXPECT_EQ(GridDivisionCount(curves, layout, 0, kAxisY), 5);  // 100 / 20
    c.AxisLinear[kAxisX] = 0;
    c.RangeLow[kAxisX] = 1;
    c.RangeHigh[kAxisX] = 1000;
    EXPECT_EQ(GridDivisionCount(curves, layout, 0, kAxisX), 3);
    c.RangeLow[kAxisX] = 0;
    EXPECT_EQ(GridDivisionCount(curves, layout, 0, kAxisX), 1);
    c.PlotRect = {0, 0, 300, 5};
    EXPECT_EQ(GridDivisionCount(curves, layout, 0, kAxisY), 1);
}

TEST(PlotLayout, ScaleFactorTextsChooseTheSuffix) {
    struct Case {
        const char* factor;
        double scale;
        char letter;
    };
    // "None", and an empty text that reads as it, keep the range's own scale.
    const Case cases[] = {{"M", 1e3, 'm'},  {"m", 1e3, 'm'},      {"MEG", 1e-6, 'M'}, {"k", 1e-3, 'k'},
                          {"u", 1e6, 'u'},  {"None", 1e-3, 'K'}, {"", 1e-3, 'K'}};
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.RangeHigh[kAxisY] = 5000;
        curve.ScaleFactorText[kAxisY] = c.factor;
        curve.ApplyScaleFactor(kAxisY);
        EXPECT_DOUBLE_EQ(curve.ScaleFormat[kAxisY].scale, c.scale) << c.factor;
        EXPECT_EQ(curve.ScaleFormat[kAxisY].scaleLetter, c.letter) << c.factor;
        EXPECT_EQ(curve.ValueFormat[kAxisY].scaleLetter, c.letter) << c.factor;
    }
    // "Auto" keeps the engineering scale of the range.
    PlotCurve curve;
    curve.RangeHigh[kAxisX] = 2e-3;
    curve.ScaleFactorText[kAxisX] = "Auto";
    curve.ApplyScaleFactor(kAxisX);
    EXPECT_EQ(curve.ScaleFormat[kAxisX].scaleLetter, 'm');
}

TEST(PlotLayout, AxisLabelsCarryTheUnit) {
    struct Case {
        const char* factor;
        const char* units;
        bool digital;
        const char* label;
    };
    const Case cases[] =
        {
            {"None", "V", false, "V(OUT) (V)"}, {"k", "Ohm", false, "V(OUT) (kOhm)"},
            {"None", "None", false, "V(OUT)"},  {"MEG", "Hz", false, "V(OUT) (MEGHz)"},
            {"k", "Auto", true, "V(OUT)"},  // a digital Y has no prefix, Auto no unit
        };
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.ExprText[kAxisY] = "V(OUT)";
        curve.ScaleFactorText[kAxisY] = c.factor;
        curve.UnitsText[kAxisY] = c.units;
        curve.IsDigital = c.digital;
        BuildAxisLabel(curve, kAxisY);
        EXPECT_EQ(curve.AxisTitle[kAxisY], c.label);
    }
}

// "Auto" units name the unit of the expression's outermost level that has
// one; arithmetic that mixes units, or no expression, leaves the unit out.
TEST(PlotLayout, AutoUnitsFollowTheExpression) {
    struct Case {
        uint32_t units, extra;
        const char* factor;
        const char* unitsText;
        double high;
        const char* label;
    };
    const Case cases[] = {
        {kUnitTime, 0, "None", "Auto", 1e-3, "X (Secs)"},
        {kUnitTime, 0, "Auto", "Auto", 1e-3, "X (mSecs)"},
        {kUnitFrequency, 0, "Auto", "", 1e6, "X (MEGHz)"},  // empty units read as "Auto"
        {kUnitPower, 0, "", "", 1e-3, "X (W)"},
        {kUnitVoltage, kExtraPartOfValue, "None", "Auto", 1, "X (V)"},  // RE, MAG ... keep the unit
        {0, kExtraTesla, "None", "Auto", 1, "X (Tesla)"},
        {0x3ffff, 0x30, "None", "Auto", 1, "X"},  // V(1)*I(R1): no unit
        {kUnitVoltage, 0, "None", "None", 1, "X"},
        {kUnitVoltage, 0, "k", "Ohm", 1, "X (kOhm)"},
    };
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.ExprText[kAxisX] = "X";
        curve.Expr[kAxisX] = std::make_unique<CompiledExpression>();
        curve.Expr[kAxisX]->outerUnits[0] = c.units;
        curve.Expr[kAxisX]->outerUnits[1] = c.extra;
        curve.ScaleFactorText[kAxisX] = c.factor;
        curve.UnitsText[kAxisX] = c.unitsText;
        curve.RangeHigh[kAxisX] = c.high;
        curve.ApplyScaleFactor(kAxisX);
        BuildAxisLabel(curve, kAxisX);
        EXPECT_EQ(curve.AxisTitle[kAxisX], c.label) << c.label;
    }
    PlotCurve bare;
    bare.ExprText[kAxisY] = "Y";
    bare.ApplyScaleFactor(kAxisY);
    BuildAxisLabel(bare, kAxisY);
    EXPECT_EQ(bare.AxisUnit[kAxisY], -1);
    EXPECT_EQ(bare.AxisTitle[kAxisY], "Y");
}

TEST(PlotLayout, ComplexReadouts) {
    PlotCurve curve;
    ParseFormatSpec(&curve.ValueFormat[kAxisY], "3");
    curve.SmithScale = 50;
    curve.PlotType = kPlotSmith;
    EXPECT_EQ(FormatComplexValue(curve, {0, 0}, true), "50.000+0.000j");
    EXPECT_EQ(FormatComplexValue(curve, {0.5, -0.25}, false), "500.000m-250.000mj");
    // z = 1 divides by 1e-20 instead of zero.
    EXPECT_EQ(FormatComplexValue(curve, {1, 0}, true).back(), 'j');
    curve.PlotType = kPlotPolar;
    EXPECT_EQ(FormatComplexValue(curve, {0, 2}, true), "2.000 90.000\xB0");
}

TEST(PlotLayout, PreparedCurvesShareFittedRangesAndDigitalBands) {
    PlotCurveArray curves;
    for (int n : {3, 3, 3}) curves.push_back(PlottedCurve(n));
    curves[0].RangeLow[kAxisY] = -1;
    curves[0].RangeHigh[kAxisY] = 4;
    curves[1].AutoRange[kAxisY] = kRangeFitRun;  // takes the range of the fixed curve
    curves[2].IsDigital = 1;
    int32_t stop = 0;
    PrepareCurveLayout(curves, false, &stop);
    EXPECT_EQ(curves[0].PlotNumber, 1);
    EXPECT_EQ(curves[1].RangeLow[kAxisY], -1);
    EXPECT_EQ(curves[1].RangeHigh[kAxisY], 4);
    EXPECT_EQ(curves[2].RangeHigh[kAxisY], 20);
    EXPECT_EQ(curves[2].PlotDigital, 2);
    EXPECT_EQ(curves[0].PrevRangeHigh[kAxisY], 4);
}

TEST(PlotLayout, PlotGroupChecksReportTheFirstMismatch) {
    struct Case {
        int plotType, linearY;
        const char* x;
        int code;
    };
    const Case cases[] = {
        {kPlotRectangular, 1, "T", 0},
        {kPlotPolar, 1, "T", kMsgPlotTypeMix},
        {kPlotRectangular, 0, "T", kMsgLogLinearMix},
        {kPlotRectangular, 1, "V(1)", kMsgDifferentXExpr},
    };
    for (const Case& c : cases) {
        CG2DDoc document;
        for (int i = 0; i < 3; ++i) {
            document.Curves.push_back(PlottedCurve(1));
            document.Curves.back().ExprText[kAxisX] = "T";
        }
        PlotCurve& odd = document.Curves[2];
        odd.PlotType = c.plotType;
        odd.AxisLinear[kAxisY] = c.linearY;
        odd.ExprText[kAxisX] = c.x;
        std::vector<int> shown;
        ScopedTestReporter reporter([&](const MessageRequest& request) {
            shown.push_back(request.code());
            return 0;
        });
        EXPECT_EQ(CheckPlotGroups(document), c.code);
        EXPECT_EQ(shown.size(), c.code ? 1u : 0u);
        EXPECT_EQ(document.Run.StopFlag, c.code ? 1 : 0);
    }
}

}  // namespace
