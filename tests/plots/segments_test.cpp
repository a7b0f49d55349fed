// Single curve segments drawn into an image: the shapes of digital levels, bus
// boxes and their values, token shapes and spacing, bars on log axes, and the
// point-by-point drawing of a run.
#include "plots/segments.h"

#include <gtest/gtest.h>

#include "core/services.h"
#include "expr/compiled.h"
#include "tests/plots/drawfixture.h"

namespace {

using twtest::PlotDrawFixture;

constexpr int sgt_kRed = 12;
constexpr DeviceRect sgt_kPlot{10, 10, 310, 210};

// State codes: level index with a non-zero strength.
constexpr int32_t sgt_kStrong = 8;
constexpr int32_t k0 = 0 | sgt_kStrong, kR = 1 | sgt_kStrong, kF = 2 | sgt_kStrong, k1 = 3 | sgt_kStrong,
                  kX = 4 | sgt_kStrong, kUnknown = 6 | sgt_kStrong;

TEST(CurveSegments, StateLevelCharacters) {
    EXPECT_EQ(StateLevelChar(k0), '0');
    EXPECT_EQ(StateLevelChar(k1), '1');
    EXPECT_EQ(StateLevelChar(kUnknown), '?');
    EXPECT_EQ(StateLevelChar(3), 'Z');  // a '1' without strength
}

// A digital band with its high level on row 30 and its low level on row 50
// (b = 20), the interval from x 20 to x 80.
TEST(CurveSegments, DigitalLevelShapes) {
    constexpr int L = 50, H = 30, x0 = 20, x1 = 80;
    struct Pixel {
        int x, y;
        bool set;
    };
    struct Case {
        const char* name;
        int32_t from, to;
        std::vector<Pixel> pixels;
    };
    const Case cases[] = {
        {"0 to 1", k0, k1, {{50, L, true}, {50, H, false}, {x1, 40, true}, {x1, H, true}}},
        {"1 to 0", k1, k0, {{50, H, true}, {50, L, false}, {x1, 40, true}, {x1, L - 1, true}}},
        {"0 to 0", k0, k0, {{50, L, true}, {x1, 40, false}}},
        // v = min(b - 2, x1 - x0 - 1) = 18: the top starts at x0 + 18.
        {"rising", kR, k1, {{50, H + 1, true}, {x0 + 2, H + 1, false}, {x0 + 2, L - 1, true}, {x1 - 2, L - 1, false}}},
        {"falling",
         kF,
         k0,
         {{x0 + 2, H + 1, true}, {x1 - 2, H + 1, false}, {x1 - 2, L - 1, true}, {x0 + 2, L - 1, false}}},
        {"unknown", kUnknown, k1, {{50, H, false}, {50, L, false}, {50, 40, false}}},
    };
    for (const Case& k : cases) {
        PlotDrawFixture f;
        const int c = f.AddCurve(sgt_kPlot, 0, 1, 0, 1, sgt_kRed);
        f.doc.Curves[0].IsDigital = 1;
        f.doc.Curves[0].DigitalLowY = L;
        f.doc.Curves[0].DigitalHighY = H;
        CurvePainter painter(*f.dc, f.doc, f.view);
        painter.SelectCurvePen(c, 0);
        painter.DrawCurveSegment(x0, k.from, x1, k.to, c, true, false, 0);
        painter.ReleaseCurvePen();
        for (const Pixel& p : k.pixels)
            EXPECT_EQ(f.Is(p.x, p.y, sgt_kRed), p.set) << k.name << " at " << p.x << "," << p.y;
    }
}

// 'X' is a hatched box; a state without strength is 'Z': the same box with a
// line through its middle.
TEST(CurveSegments, UnknownAndFloatingLevelsAreHatchedBoxes) {
    constexpr int L = 50, H = 30, x0 = 20, x1 = 80;
    for (int32_t state : {kX, int32_t{5}}) {
        PlotDrawFixture f;
        const int c = f.AddCurve(sgt_kPlot, 0, 1, 0, 1, sgt_kRed);
        f.doc.Curves[0].IsDigital = 1;
        f.doc.Curves[0].DigitalLowY = L;
        f.doc.Curves[0].DigitalHighY = H;
        CurvePainter painter(*f.dc, f.doc, f.view);
        painter.SelectCurvePen(c, 0);
        painter.DrawCurveSegment(x0, state, x1, k1, c, true, false, 0);
        painter.ReleaseCurvePen();
        const int inside = f.Count(sgt_kRed, x0 + 2, H + 3, x1 - 2, L - 2);
        const int area = (x1 - 2 - x0 - 2) * (L - 2 - H - 3);
        EXPECT_GT(inside, area / 10) << state;  // visibly hatched
        EXPECT_LT(inside, area) << state;       // not filled solid
        const int middle = H + 1 + (L - H - 2) / 2;
        EXPECT_EQ(f.Count(sgt_kRed, x0, middle, x1, middle + 1) == x1 - x0, state == 5) << state;
        EXPECT_EQ(f.Count(sgt_kRed, 0, 0, 320, H + 1), 0) << state;
        EXPECT_EQ(f.Count(sgt_kRed, 0, L + 1, 320, 220), 0) << state;
    }
}

// The value is centred in its box and, when wider than the box, left out: it
// would spill over the box's ends.
TEST(CurveSegments, BusValueIsWrittenOnlyWhenItFits) {
    for (int width : {200, 6}) {
        PlotDrawFixture f;
        const int c = f.AddCurve(sgt_kPlot, 0, 1, 0, 1, sgt_kRed);
        PlotCurve& curve = f.doc.Curves[0];
        curve.IsDigital = 1;
        curve.DigitalLowY = 60;
        curve.DigitalHighY = 30;
        curve.DigitalFormat = 16;
        curve.Expr[kAxisY] = std::make_unique<CompiledExpression>();
        curve.Expr[kAxisY]->flags = kRadixHex;
        CurvePainter painter(*f.dc, f.doc, f.view);
        painter.SelectCurvePen(c, 0);
        const int middle = painter.DrawBusSegment(40, 0xBEEF, 40 + width, c, true);
        painter.ReleaseCurvePen();
        EXPECT_EQ(middle, 31 + (59 - 31) / 2);
        EXPECT_TRUE(f.Is(40, middle, sgt_kRed)) << width;
        EXPECT_TRUE(f.Is(40 + width / 2, 31, sgt_kRed)) << width;
        EXPECT_TRUE(f.Is(40 + width / 2, 59, sgt_kRed)) << width;
        const int right = 40 + width;
        if (width == 200) {  // between the slants: only the text
            EXPECT_GT(f.Count(sgt_kRed, 40 + 28 + 2, 33, right - 28 - 2, 58), 20);
        } else {
            EXPECT_EQ(f.Count(sgt_kRed, 0, 0, 40, 220), 0);
            EXPECT_EQ(f.Count(sgt_kRed, right + 1, 0, 320, 220), 0);
        }
    }
}

TEST(CurveSegments, TokenShapeFollowsThePositionInThePlotGroup) {
    struct Case {
        int indexInPlot;
        bool digital;
        bool drawn;
    };
    const Case cases[] = {{0, false, false}, {1, false, true}, {8, false, false}, {9, false, true}, {1, true, false}};
    for (const Case& k : cases) {
        PlotDrawFixture f;
        const int c = f.AddCurve(sgt_kPlot, 0, 1, 0, 1, sgt_kRed);
        f.doc.Curves[0].IndexInPlot = k.indexInPlot;
        f.doc.Curves[0].IsDigital = k.digital;
        CurvePainter painter(*f.dc, f.doc, f.view);
        painter.DrawToken(4, c, DeviceXY{100, 100});
        // A filled square of half-size 2 (min(300, 200) / 160 = 1, at least 2).
        EXPECT_EQ(f.Count(sgt_kRed, 98, 98, 103, 103), k.drawn ? 25 : 0) << k.indexInPlot;
        EXPECT_EQ(f.Count(sgt_kRed, 0, 0, 320, 220), k.drawn ? 25 : 0) << k.indexInPlot;
    }
}

TEST(CurveSegments, TokensAlongACurveAreSpaced) {
    PlotDrawFixture f;
    const int c = f.AddCurve(sgt_kPlot, 0, 1, 0, 1, sgt_kRed);
    f.doc.Curves[0].IndexInPlot = 3;  // plus sign
    CurvePainter painter(*f.dc, f.doc, f.view);
    painter.DrawToken(1, c, DeviceXY{});
    EXPECT_EQ(f.doc.Curves[0].LastTokenPoint.x, 10);
    // 4 * (300 / 80) = 12 pixels at least between tokens.
    const struct {
        int x;
        int lastAfter;
    } steps[] = {{22, 10}, {23, 23}, {35, 23}, {36, 36}, {400, 36}};
    for (const auto& s : steps) {
        painter.DrawToken(3, c, DeviceXY{s.x, 100});
        EXPECT_EQ(f.doc.Curves[0].LastTokenPoint.x, s.lastAfter) << s.x;
    }
}

TEST(CurveSegments, PopsicleBarsReachTheBaseline) {
    for (int linear : {1, 0}) {
        PlotDrawFixture f;
        const int c = f.AddCurve(sgt_kPlot, 0, 1, -1, 1, sgt_kRed);
        PlotCurve& curve = f.doc.Curves[0];
        curve.Style.curveStyle = kCurvePopsicle;
        if (!linear) {  // 0.01 .. 100 over the plot's 200 rows
            curve.AxisLinear[kAxisY] = 0;
            curve.RangeLow[kAxisY] = 0.01;
            curve.RangeHigh[kAxisY] = 100;
            PlotDrawFixture::MapAxes(f.doc.Curves, c);
        }
        CurvePainter painter(*f.dc, f.doc, f.view);
        painter.SelectCurvePen(c, 0);
        painter.DrawCurveSegment(0, 0, 100, 40, c, true, false, 0);
        painter.DrawCurveSegment(0, 0, 400, 40, c, true, false, 0);  // beyond the plot: no bar
        painter.ReleaseCurvePen();
        const int baseline = linear ? 110 : 210;
        EXPECT_EQ(f.Count(sgt_kRed, 100, 0, 101, 220), baseline - 40) << linear;
        EXPECT_EQ(f.Count(sgt_kRed, 0, 0, 320, 220), baseline - 40) << linear;
    }
}

// During a run each new point draws its segment from the previous one; a
// point that did not move is drawn only at the start of a run.
TEST(CurveSegments, NewSegmentsFollowTheRun) {
    PlotDrawFixture f;
    const int c = f.AddCurve(sgt_kPlot, 0, 1, 0, 1, sgt_kRed);
    PlotCurve& curve = f.doc.Curves[0];
    f.doc.Runs.Count = 1;
    CurvePainter painter(*f.dc, f.doc, f.view);
    const struct {
        int point;
        DeviceXY at;
        int pixels;  // red pixels after the step
    } steps[] = {{0, {50, 50}, 0}, {1, {60, 50}, 10}, {2, {60, 50}, 11}, {3, {60, 50}, 11}, {4, {40, 50}, 20}};
    for (const auto& s : steps) {
        f.doc.Point.RunPointIndex = s.point;
        curve.DevicePoint = s.at;
        painter.DrawNewSegment(c, false);
        EXPECT_EQ(f.Count(sgt_kRed, 0, 0, 320, 220), s.pixels) << s.point;
        EXPECT_EQ(curve.PrevDevicePoint.x, s.at.x);
    }
    EXPECT_EQ(curve.XReversed, 1);
}

}  // namespace
