// Whole curves drawn from the store into an image: the pixels of known curves,
// the per-run cache, the pieces of long polylines, the order of cursor
// branches, progress texts, and the helpers that shape the cache.
#include "plots/curvedraw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "plots/g2ddoc.h"
#include "shell/preferences.h"
#include "tests/plots/drawfixture.h"

namespace {

using twtest::PlotDrawFixture;

constexpr int cdt_kRed = 12;
constexpr DeviceRect cdt_kPlot{10, 10, 310, 210};

class RecordingStatusBar : public StatusBarPort {
public:
    void SetStatusText(const char* text) override { texts.emplace_back(text); }
    bool IsShown() override { return true; }
    void SetPaneText(int, const char*) override {}
    std::string StatusText() override { return "Ready"; }
    std::vector<std::string> texts;
};

class ScopedStatusBar {
public:
    explicit ScopedStatusBar(StatusBarPort* port) : previous_(InstallStatusBar(port)) {}
    ~ScopedStatusBar() { InstallStatusBar(previous_); }

private:
    StatusBarPort* previous_;
};

// A sine of amplitude 0.5 over one period, Y -1..1 over the plot's 200 rows:
// its crests lie on row 60, its troughs on row 160, and it crosses row 110.
TEST(CurveDrawing, SineCrossesKnownRowsAndRedrawsFromItsCache) {
    PlotDrawFixture f;
    const int c = f.AddCurve(cdt_kPlot, 0, 1, -1, 1, cdt_kRed);
    f.PrepareStore();
    f.StartRun();
    constexpr int kPoints = 20000;
    for (int i = 0; i < kPoints; ++i) {
        const double t = i / double(kPoints - 1);
        f.AddPoint(c, t, 0.5 * std::sin(2 * std::numbers::pi * t));
    }
    ASSERT_EQ(PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false), 0);

    EXPECT_TRUE(f.Is(85, 60, cdt_kRed));    // crest at t = 0.25
    EXPECT_TRUE(f.Is(235, 160, cdt_kRed));  // trough at t = 0.75
    EXPECT_TRUE(f.Is(160, 110, cdt_kRed));  // zero at t = 0.5
    EXPECT_EQ(f.Count(cdt_kRed, 0, 0, 320, 60), 0);
    EXPECT_EQ(f.Count(cdt_kRed, 0, 161, 320, 220), 0);
    // No gaps: every column of the plot holds the curve.
    for (int x = 10; x <= 310; ++x) EXPECT_GT(f.Count(cdt_kRed, x, 60, x + 1, 161), 0) << "column " << x;

    const std::vector<DeviceXY>& cache = f.doc.Curves[0].RunTables[0].Polyline;
    ASSERT_FALSE(cache.empty());
    EXPECT_LE(cache.size(), 4u * 301u);  // bounded by the columns, not by the 20000 points
    const platform::Image first = f.image;
    f.Clear();
    PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false);
    EXPECT_EQ(f.image.CountDifferences(first), 0);
    // Without run tables (as while a run goes on) nothing is kept, and the
    // same pixels are drawn.
    f.doc.Curves[0].RunTables.clear();
    f.Clear();
    PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false);
    EXPECT_EQ(f.image.CountDifferences(first), 0);
}

TEST(CurveDrawing, CacheHoldsOnlyWhatTheScreenNeeds) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> points;  // in plot pixels from the plot's left-bottom corner
        std::vector<DeviceXY> expected;
    };
    std::vector<std::pair<double, double>> straight, single{{50, 50}}, wide;
    for (int i = 0; i < 10000; ++i) straight.emplace_back(i * 0.03, 100);
    // A zigzag far beyond the sides on both ends: only the last point before
    // the left edge and the first after the right edge stay, cut to the keep
    // area (the plot grown by its size on every side).
    for (int i = 0; i <= 10; ++i) wide.emplace_back(i * 1000 - 5000, 100 + (i % 2) * 10);
    const Case cases[] = {
        {"straight line", straight, {{10, 110}, {310, 110}}},
        {"single point", single, {{60, 160}}},
        {"far sides", wide, {{-290, 103}, {10, 100}, {610, 106}}},
    };
    for (const Case& k : cases) {
        PlotDrawFixture f;
        const int c = f.AddCurve(cdt_kPlot, 0, 300, 0, 200, cdt_kRed);
        f.PrepareStore();
        f.StartRun();
        for (auto [x, y] : k.points) f.AddPoint(c, x, y);
        PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false);
        const std::vector<DeviceXY>& cache = f.doc.Curves[0].RunTables[0].Polyline;
        ASSERT_EQ(cache.size(), k.expected.size()) << k.name;
        for (size_t i = 0; i < cache.size(); ++i) {
            EXPECT_EQ(cache[i].x, k.expected[i].x) << k.name << " " << i;
            EXPECT_EQ(cache[i].y, k.expected[i].y) << k.name << " " << i;
        }
        if (k.points.size() == 1) {
            EXPECT_EQ(f.Count(cdt_kRed, 0, 0, 320, 220), 1) << k.name;
        }
    }
}

// A zigzag of 5000 corners: the cache is drawn in pieces of 4096 points that
// join without a gap, and the last point is drawn too.
TEST(CurveDrawing, LongPolylineIsDrawnInJoinedPieces) {
    PlotDrawFixture f(5040, 40);
    const int c = f.AddCurve(DeviceRect{10, 10, 5010, 30}, 0, 5000, 0, 20, cdt_kRed);
    f.PrepareStore();
    f.StartRun();
    for (int i = 0; i < 5000; ++i) f.AddPoint(c, i, (i % 2) * 20);
    PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false);
    ASSERT_EQ(f.doc.Curves[0].RunTables[0].Polyline.size(), 5000u);
    // Each steep segment fills about half of the rows of both its columns.
    for (int x = 10; x < 5009; ++x) ASSERT_GE(f.Count(cdt_kRed, x, 10, x + 1, 31), 10) << "column " << x;
    EXPECT_TRUE(f.Is(5009, 10, cdt_kRed));  // the last point
}

// Three runs of one line coloured by run; the current curve's cursors are on
// runs 0 and 1. Without the cursor order run 2 ends on top.
TEST(CurveDrawing, CursorBranchesAreDrawnLastOnTop) {
    PlotDrawFixture f;
    const int c = f.AddCurve(cdt_kPlot, 0, 300, 0, 200, cdt_kRed);
    f.doc.Curves[0].Style.rainbow = 1;
    f.doc.Curves[0].CursorRun[0] = 1;
    f.doc.Curves[0].CursorRun[1] = 0;
    f.PrepareStore(3);
    for (int r = 0; r < 3; ++r) {
        f.StartRun();
        for (int i = 0; i <= 300; i += 10) f.AddPoint(c, i, 100);
    }
    const int32_t saved = Prefs().selectCurveColor;
    Prefs().selectCurveColor = 1;
    PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 2, 0, 0, false);
    EXPECT_TRUE(f.Is(150, 110, 2));
    f.Clear();
    PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 2, 0, 0, true);
    EXPECT_TRUE(f.Is(150, 110, 2));  // only run 2 drawn
    f.doc.Curves[0].FreeRunTables();
    f.doc.Curves[0].CursorRun[1] = 2;
    f.Clear();
    PlotAllCurves(*f.dc, f.doc, f.view, -1);
    EXPECT_TRUE(f.Is(150, 110, 1));  // the first cursor's branch last
    f.doc.Curves[0].CursorRun[0] = 0;
    f.Clear();
    PlotAllCurves(*f.dc, f.doc, f.view, -1);
    EXPECT_TRUE(f.Is(150, 110, cdt_kRed));  // run 0 in the style's colour
    Prefs().selectCurveColor = saved;
}

TEST(CurveDrawing, ProgressIsShownOnlyForLongCurves) {
    for (int points : {100001, 200001}) {
        PlotDrawFixture f;
        const int c = f.AddCurve(cdt_kPlot, 0, 1, 0, 1, cdt_kRed);
        f.doc.Curves[0].ExprText[kAxisY] = "V(OUT)";
        f.PrepareStore();
        f.StartRun();
        for (int i = 0; i < points; ++i) f.AddPoint(c, i / double(points), (i % 7) / 7.0);
        RecordingStatusBar bar;
        ScopedStatusBar scope(&bar);
        PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false);
        ASSERT_GE(bar.texts.size(), 2u);
        EXPECT_EQ(bar.texts.front(), "Press Esc to stop plotting.");
        EXPECT_EQ(bar.texts.back(), "Ready");
        int progress = 0;
        for (const std::string& t : bar.texts)
            progress += t.rfind("Plotting data points for graph V(OUT) ", 0) == 0 &&
                        t.find("% complete. Press Esc to stop plotting.") != std::string::npos;
        if (points > 200000) {
            EXPECT_GE(progress, 10) << points;
            EXPECT_LE(progress, 25) << points;
        } else {
            EXPECT_EQ(progress, 0) << points;
        }
    }
}

TEST(CurveDrawing, NothingIsDrawnInProbeModesOneAndThree) {
    for (int mode : {0, 1, 2, 3}) {
        PlotDrawFixture f;
        CG2DDoc doc;
        doc.AnalysisKind = 0;
        doc.Curves.emplace_back();
        PlotCurve& c = doc.Curves[0];
        c.UseFlags = kCurveDrawn;
        c.PlotNumber = 1;
        c.PlotRect = cdt_kPlot;
        c.Style.lineColor = cdt_kRed;
        c.RangeHigh[kAxisX] = 300;
        c.RangeHigh[kAxisY] = 200;
        PlotDrawFixture::MapAxes(doc.Curves, 0);
        doc.PlottedCount = 1;
        doc.Store.Prepare(doc.Curves, doc.Runs, StoreLayout{});
        doc.Store.Begin();
        doc.StartRun(RunRecord{});
        for (int i = 0; i < 2; ++i) {
            doc.Store.NextPointIndex(c, doc.Runs);
            doc.Store.SetValue(c.DataColumn[kSlotX], c.PointIndex, i * 100);
            doc.Store.SetValue(c.DataColumn[kSlotY], c.PointIndex, 50);
        }
        doc.ProbeMode = mode;
        PlotDataPoints(*f.dc, doc, f.view, -1, 0, 0, 0, 0, false);
        EXPECT_EQ(f.Count(cdt_kRed, 0, 0, 320, 220) > 0, mode == 0 || mode == 2) << mode;
    }
}

// Digital and "Popsicle" curves are never cached: each stored point draws its
// own level step or bar.
TEST(CurveDrawing, DigitalAndBarCurvesAreDrawnPointByPoint) {
    constexpr int32_t k0 = 8, k1 = 11;  // '0' and '1' with strength
    struct Pixel {
        int x, y;
        bool set;
    };
    struct Case {
        const char* name;
        bool digital;
        std::vector<std::pair<double, double>> points;
        std::vector<Pixel> pixels;
    };
    const Case cases[] = {
        {"digital",
         true,
         {{0, k0}, {100, k1}, {200, k0}, {300, k0}},
         {{60, 150, true}, {60, 130, false}, {110, 140, true}, {160, 130, true}, {160, 150, false}, {260, 150, true}}},
        {"bars",
         false,
         {{40, 150}, {140, 50}},
         {{50, 100, true}, {50, 61, true}, {150, 165, true}, {150, 156, false}, {148, 158, true}, {100, 150, false}}},
    };
    for (const Case& k : cases) {
        PlotDrawFixture f;
        const int c = f.AddCurve(cdt_kPlot, 0, 300, 0, 200, cdt_kRed);
        PlotCurve& curve = f.doc.Curves[0];
        curve.IsDigital = k.digital;
        curve.Style.curveStyle = k.digital ? kCurveNormal : kCurvePopsicle;
        curve.DigitalLowY = 150;
        curve.DigitalHighY = 130;
        f.PrepareStore();
        f.StartRun();
        for (auto [x, y] : k.points) f.AddPoint(c, x, y);
        PlotDataPoints(*f.dc, f.doc, f.view, -1, 0, 0, 0, 0, false);
        EXPECT_TRUE(f.doc.Curves[0].RunTables[0].Polyline.empty()) << k.name;
        for (const Pixel& p : k.pixels)
            EXPECT_EQ(f.Is(p.x, p.y, cdt_kRed), p.set) << k.name << " " << p.x << "," << p.y;
    }
}

TEST(CurveDrawing, AppendPointIfNewKeepsNewPointsInsideTheRectangle) {
    const DeviceRect r{0, 0, 10, 10};
    std::vector<DeviceXY> buffer;
    struct Step {
        DeviceXY point;
        bool appended;
    };
    const Step steps[] = {{{5, 5}, true},   {{5, 5}, false},  {{10, 10}, true},
                          {{11, 5}, false}, {{5, -1}, false}, {{5, 5}, true}};
    for (const Step& s : steps) EXPECT_EQ(AppendPointIfNew(buffer, s.point, r), s.appended);
    EXPECT_EQ(buffer.size(), 3u);
}

TEST(CurveDrawing, SqueezeKeepsEachColumnsEndsAndExtremesInOrder) {
    struct Case {
        std::vector<DeviceXY> in, out;
    };
    const Case cases[] = {
        {{{1, 5}, {1, 9}, {1, 2}, {1, 7}, {1, 4}, {2, 0}}, {{1, 5}, {1, 9}, {1, 2}, {1, 4}, {2, 0}}},
        {{{1, 5}, {1, 2}, {1, 9}}, {{1, 5}, {1, 2}, {1, 9}}},
        {{{1, 1}, {2, 2}, {3, 3}}, {{1, 1}, {2, 2}, {3, 3}}},
        {{{4, 3}, {4, 3}, {4, 3}}, {{4, 3}}},
    };
    for (const Case& k : cases) {
        std::vector<DeviceXY> points = k.in;
        SqueezePixelColumns(points);
        ASSERT_EQ(points.size(), k.out.size());
        for (size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(points[i].x, k.out[i].x);
            EXPECT_EQ(points[i].y, k.out[i].y);
        }
    }
}

}  // namespace
