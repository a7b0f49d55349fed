// The thumbnail plot: an overview of the source's current plot group drawn
// from the source's own data, the rectangle of the source's visible part, the
// ranges it sets back on the source, and where its window opens.
#include "plots/thumbnail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "shell/document.h"
#include "tests/plots/drawfixture.h"

namespace {

using twtest::PlotDrawFixture;

constexpr int tht_kRed = 12, tht_kBlue = 9, tht_kGreen = 10, tht_kMarker = 13;

// A source whose window shows X 0.25..0.5 and Y -0.5..0.5 of a sine of
// amplitude 1 over X 0..1; a second curve of the group, and one of another
// group. The thumbnail image is 200 x 100.
class ThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override {
        source.doc.AnalysisKind = 0;
        for (int color : {tht_kRed, tht_kGreen, tht_kBlue}) {
            source.AddCurve(DeviceRect{0, 0, 400, 200}, 0.25, 0.5, -0.5, 0.5, color);
            PlotCurve& c = source.doc.Curves.back();
            c.DataMin[kAxisX] = 0, c.DataMax[kAxisX] = 1;
            c.DataMin[kAxisY] = -1, c.DataMax[kAxisY] = 1;
        }
        source.doc.Curves[2].PlotNumber = 2;
        source.PrepareStore();
        source.StartRun();
        for (int i = 0; i <= 2000; ++i) {
            const double t = i / 2000.0;
            source.AddPoint(0, t, std::sin(2 * std::numbers::pi * t));
            source.AddPoint(1, t, 0.75);
            source.AddPoint(2, t, -0.5);
        }
        saved = CurrentRunContext().analysisDocument;
        CurrentRunContext().analysisDocument = &source.doc;
        thumb.MarkerColor = tht_kMarker;
    }
    void TearDown() override { CurrentRunContext().analysisDocument = saved; }

    PlotDrawFixture source{400, 200};
    PlotDrawFixture image{200, 100};
    CThumbDoc thumb;
    CDoc* saved = nullptr;
    const platform::Rect area{0, 0, 200, 100};
};

TEST_F(ThumbnailTest, DrawsTheCurvesOfTheGroupFromTheSourcesData) {
    ASSERT_EQ(DrawThumbnail(*image.dc, thumb, source.doc, area), 0);
    ASSERT_EQ(thumb.CurveCount(), 2);
    EXPECT_EQ(thumb.Title, source.doc.Curves[0].ExprText[kAxisY]);
    // All data with a margin of 10 source pixels: X -0.00625..1.00625, Y -1.05..1.05.
    EXPECT_NEAR(thumb.Curves[0].RangeLow[kAxisX], -0.00625, 1e-9);
    EXPECT_NEAR(thumb.Curves[0].RangeHigh[kAxisY], 1.05, 1e-9);
    // The crest and trough lie 2.4 rows inside the top and bottom.
    EXPECT_GT(image.Count(tht_kRed, 45, 0, 56, 5), 0);
    EXPECT_GT(image.Count(tht_kRed, 145, 95, 156, 100), 0);
    EXPECT_GT(image.Count(tht_kGreen, 10, 13, 190, 16), 170);  // row 14.3
    EXPECT_EQ(image.Count(tht_kBlue, 0, 0, 200, 100), 0);  // another group
    // The source's view: X 0.25..0.5 and Y -0.5..0.5 in the overview.
    const platform::Rect r = thumb.GetSourceViewRect(area);
    EXPECT_EQ(r.left, 51);
    EXPECT_EQ(r.right, 100);
    EXPECT_TRUE(image.Is(r.left, (r.top + r.bottom) / 2, tht_kMarker));
    EXPECT_TRUE(image.Is(r.right, (r.top + r.bottom) / 2, tht_kMarker));

    // The values are the source's own: a change there shows at the next drawing.
    const platform::Image first = image.image;
    for (int i = 0; i <= 2000; ++i)
        source.doc.SetValue(source.doc.Curves[1].DataColumn[kSlotY], source.doc.Curves[1].RunFirst[0] + i, -0.25);
    image.Clear();
    DrawThumbnail(*image.dc, thumb, source.doc, area);
    EXPECT_GT(image.Count(tht_kGreen, 10, 61, 190, 63), 170);  // row 61.9
    EXPECT_GT(image.image.CountDifferences(first), 300);
    // Outside a drawing nothing is read through the source.
    EXPECT_EQ(thumb.GetValue(source.doc.Curves[1].DataColumn[kSlotY], 5), 0);
}

TEST_F(ThumbnailTest, LettingGoLeavesTheSourceIntact) {
    DrawThumbnail(*image.dc, thumb, source.doc, area);
    thumb.ReleaseSharedCurves();
    EXPECT_EQ(thumb.CurveCount(), 0);
    EXPECT_EQ(thumb.Source(), nullptr);
    ASSERT_EQ(source.doc.CurveCount(), 3);
    EXPECT_EQ(source.doc.Curves[0].RangeLow[kAxisX], 0.25);
    EXPECT_EQ(source.doc.Curves[1].PointIndex, 2000);
    EXPECT_EQ(source.doc.GetValue(source.doc.Curves[1].DataColumn[kSlotY], source.doc.Curves[1].PointIndex), 0.75);
}

// Each axis follows its own switch; a drag keeps the spans; a reversed axis
// stays reversed.
TEST_F(ThumbnailTest, ViewRectangleSetsTheSourceRanges) {
    struct Case {
        const char* name;
        int enableX, enableY;
        bool moveOnly;
        bool reversedX;
        double xLow, xHigh, yLow, yHigh;
    };
    // Overview device x 0..200 is X -0.00625..1.00625 (0.0050625 per pixel);
    // y 0..100 is Y 1.05..-1.05 (0.021 per pixel).
    const double x20 = -0.00625 + 20 * 0.0050625, x120 = -0.00625 + 120 * 0.0050625;
    const double y80 = 1.05 - 80 * 0.021, y30 = 1.05 - 30 * 0.021;
    const Case cases[] = {
        {"zoom both", 1, 1, false, false, x20, x120, y80, y30},
        {"zoom X only", 1, 0, false, false, x20, x120, -0.5, 0.5},
        {"zoom Y only", 0, 1, false, false, 0.25, 0.5, y80, y30},
        {"drag", 1, 1, true, false, x20, x20 + 0.25, y80, y80 + 1},
        {"zoom reversed X", 1, 1, false, true, x120, x20, y80, y30},
    };
    for (const Case& k : cases) {
        thumb.EnableScaling[kAxisX] = k.enableX;
        thumb.EnableScaling[kAxisY] = k.enableY;
        for (int i = 0; i < 2; ++i) {
            PlotCurve& c = source.doc.Curves[static_cast<size_t>(i)];
            c.RangeLow[kAxisX] = k.reversedX ? 0.5 : 0.25;
            c.RangeHigh[kAxisX] = k.reversedX ? 0.25 : 0.5;
            c.RangeLow[kAxisY] = -0.5, c.RangeHigh[kAxisY] = 0.5;
        }
        image.Clear();
        DrawThumbnail(*image.dc, thumb, source.doc, area);
        thumb.ApplySourceViewRect(platform::Point{20, 80}, platform::Point{120, 30}, k.moveOnly);
        for (int i = 0; i < 2; ++i) {
            const PlotCurve& c = source.doc.Curves[static_cast<size_t>(i)];
            EXPECT_NEAR(c.RangeLow[kAxisX], k.xLow, 1e-9) << k.name;
            EXPECT_NEAR(c.RangeHigh[kAxisX], k.xHigh, 1e-9) << k.name;
            EXPECT_NEAR(c.RangeLow[kAxisY], k.yLow, 1e-9) << k.name;
            EXPECT_NEAR(c.RangeHigh[kAxisY], k.yHigh, 1e-9) << k.name;
        }
        EXPECT_EQ(source.doc.Curves[2].RangeLow[kAxisX], 0.25) << k.name;  // another group
    }
}

TEST(ThumbnailWindow, OpensWhereItWasOrAtTheTopRight) {
    const platform::Rect work{0, 0, 1600, 900};
    const platform::Size size{240, 180};
    EXPECT_EQ(ThumbnailWindowRect(platform::Rect{}, work, size), (platform::Rect{1360, 0, 1600, 180}));
    const platform::Rect stored{100, 200, 400, 420};
    EXPECT_EQ(ThumbnailWindowRect(stored, work, size), stored);
}

}  // namespace
