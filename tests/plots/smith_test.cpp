// Smith chart and polar grid geometry, labels and the polar scale.
#include "plots/smith.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/image.h"
#include "plots/layout.h"
#include "shell/drawcontext.h"
#include "tests/plots/stored_plot.h"

namespace {

// A chart of radius 100 around (200, 200), transformed as the layout does.
PlotCurve Chart(int type, double smithScale = 1) {
    PlotCurve c;
    c.PlotType = type;
    c.PolarCenter = {200, 200};
    c.PolarRadius = 100;
    c.PolarMax = 1;
    c.DeviceOffset[kAxisX] = 200;
    c.DeviceOffset[kAxisY] = 200;
    c.DeviceScale[kAxisX] = 100;
    c.DeviceScale[kAxisY] = -100;
    c.SmithScale = smithScale;
    return c;
}

TEST(SmithChart, LabelsScaleWithTheSmithScale) {
    const PlotCurve c = Chart(kPlotSmith, 50);
    EXPECT_EQ(SmithCircleLabels(c), (std::vector<std::string>{"0", "10", "25", "50", "100", "250", "500"}));
    EXPECT_EQ(SmithArcLabels(c), (std::vector<std::string>{"10", "25", "50", "100", "150", "200", "250", "500", "-10",
                                                           "-25", "-50", "-100", "-150", "-200", "-250", "-500"}));
}

TEST(SmithChart, CirclesAndArcsMeetTheChartWhereTheyShould) {
    const PlotCurve c = Chart(kPlotSmith);
    const DeviceRect outer = ResistanceCircleRect(c, 0);
    const DeviceRect chart = ChartCircleRect(c);
    EXPECT_EQ(outer.left, chart.left);
    EXPECT_EQ(outer.top, chart.top);
    EXPECT_EQ(outer.right, chart.right);
    EXPECT_EQ(outer.bottom, chart.bottom);
    const DeviceRect unit = ResistanceCircleRect(c, 1);
    EXPECT_EQ(unit.left, 200);   // through the centre
    EXPECT_EQ(unit.right, 300);  // touching the right end
    EXPECT_EQ(unit.top, 150);

    const ReactanceArcGeometry up = ReactanceArc(c, 1);
    EXPECT_NEAR(up.Rim.x, 200, 1);
    EXPECT_NEAR(up.Rim.y, 100, 1);  // the top of the chart
    EXPECT_EQ(up.Start.x, up.Rim.x);
    EXPECT_EQ(up.End.x, 298);
    EXPECT_EQ(up.Box.bottom, 0);  // the circle of radius 100 above the real axis
    const ReactanceArcGeometry down = ReactanceArc(c, -1);
    EXPECT_NEAR(down.Rim.y, 300, 1);
    EXPECT_EQ(down.End.x, down.Rim.x);
    EXPECT_EQ(down.Box.bottom, 400);
}

TEST(PolarGrid, RingLabelsThinOutOnASmallRadius) {
    PlotCurve c = Chart(kPlotPolar);
    c.PolarMax = 10;
    const std::vector<std::string> wide = PolarRingLabels(c, 5);
    ASSERT_EQ(wide.size(), 10u);
    for (const std::string& text : wide) EXPECT_FALSE(text.empty());
    const std::vector<std::string> narrow = PolarRingLabels(c, 20);
    for (size_t k = 0; k < narrow.size(); ++k) EXPECT_EQ(narrow[k].empty(), k % 2 == 1) << k;
}

TEST(PolarGrid, MaxFollowsTheLastRunsLargestMagnitude) {
    twtest::StoredPlot plot(1, true);
    plot.curve().PlotType = kPlotPolar;
    auto run = [&](const std::vector<std::pair<double, double>>& points) {
        plot.doc.StartRun(RunRecord{});
        for (const auto& [re, im] : points) {
            plot.doc.Store.NextPointIndex(plot.curve(), plot.doc.Runs);
            plot.doc.SetValue(plot.curve().DataColumn[kSlotYRealPart], plot.curve().PointIndex, re);
            plot.doc.SetValue(plot.curve().DataColumn[kSlotYImagPart], plot.curve().PointIndex, im);
        }
    };
    run({{0, 0}, {0, 0}});
    EXPECT_EQ(ComputePolarMax(plot.doc, 0, false), 1);  // all zero: the rim stays 1
    run({{3, 4}, {6, 8}, {1, 0}});
    run({{0, 0}, {0, 2}, {0, -3}});
    EXPECT_EQ(ComputePolarMax(plot.doc, 0, false), 3);
    plot.curve().PolarMax = 7;
    EXPECT_EQ(ComputePolarMax(plot.doc, 0, true), 7);  // a finished run keeps its scale
    plot.curve().PlotType = kPlotSmith;
    EXPECT_EQ(ComputePolarMax(plot.doc, 0, false), 1);
}

TEST(SmithChart, DrawsItsCirclesOnAnImage) {
    platform::Image image(400, 400);
    const platform::Color white = image.PixelAt(250, 150);
    // Whether anything was drawn next to a point.
    auto marked = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (image.PixelAt(x + dx, y + dy) != white) return true;
        return false;
    };
    {
        std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(image);
        CDrawContext dc(surface.get());
        DrawSmithChart(dc, Chart(kPlotSmith), PlotViewInfo{});
    }
    EXPECT_TRUE(marked(250, 150));   // the top of the r = 1 circle
    EXPECT_TRUE(marked(200, 100));   // the top of the chart
    EXPECT_FALSE(marked(160, 130));  // inside the chart, between the lines
}

}  // namespace
