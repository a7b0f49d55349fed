// The cursor marks over rectangular, polar and Smith plots, the tracker boxes
// and the readout headings.
#include "plots/cursordisplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/plots/stored_plot.h"

namespace {

using Shape = platform::OverlayMark::Shape;

// A plot at (10, 10)-(210, 110): X 0..100 over 200 pixels, Y 0..100 over 100.
void Rectangular(PlotCurve& c) {
    c.PlotRect = {10, 10, 210, 110};
    c.DeviceScale[kAxisX] = 2;
    c.DeviceOffset[kAxisX] = 10;
    c.DeviceScale[kAxisY] = -1;
    c.DeviceOffset[kAxisY] = 110;
}

// A chart of radius 100 around (200, 200).
void Chart(PlotCurve& c, int type) {
    c.PlotType = type;
    c.PlotRect = {100, 100, 300, 300};
    c.PolarCenter = {200, 200};
    c.PolarRadius = 100;
    c.PolarMax = 1;
    c.DeviceOffset[kAxisX] = c.DeviceOffset[kAxisY] = 200;
    c.DeviceScale[kAxisX] = 100;
    c.DeviceScale[kAxisY] = -100;
}

std::vector<Shape> Shapes(const std::vector<platform::OverlayMark>& marks) {
    std::vector<Shape> shapes;
    for (const auto& m : marks) shapes.push_back(m.shape);
    return shapes;
}

TEST(CursorDisplay, RectangularLinesBoxesAndTheSecondLine) {
    twtest::StoredPlot plot(2);
    Rectangular(plot.curve(0));
    Rectangular(plot.curve(1));
    plot.curve(0).CursorX[0] = 50;
    plot.curve(0).CursorY[0] = 40;
    plot.curve(0).CursorX[1] = 150;  // beyond the plot: no line, no box
    plot.curve(0).CursorY[1] = 40;
    CursorMarkOptions options;
    std::vector<platform::OverlayMark> marks = CursorMarks(plot.doc, 0, options);
    ASSERT_EQ(Shapes(marks), (std::vector<Shape>{Shape::Line, Shape::Rectangle}));
    EXPECT_EQ(marks[0].points, (std::vector<platform::Point>{{110, 10}, {110, 110}}));
    EXPECT_EQ(marks[0].pen.style, platform::PenStyle::Dot);
    // The left cursor's box: half size 3 + 1, one more pixel left and top, two right and bottom.
    EXPECT_EQ(marks[1].points, (std::vector<platform::Point>{{105, 65}, {116, 76}}));
    options.HorizontalCursor = true;
    marks = CursorMarks(plot.doc, 0, options);
    // The right cursor's Y is inside the plot: its second line shows though its X does not.
    ASSERT_EQ(Shapes(marks), (std::vector<Shape>{Shape::Line, Shape::Line, Shape::Rectangle, Shape::Line}));
    EXPECT_EQ(marks[1].points, (std::vector<platform::Point>{{10, 70}, {210, 70}}));
    EXPECT_EQ(marks[3].pen.style, platform::PenStyle::Dash);
    // Showing the marks twice leaves nothing behind.
    platform::OverlayLayer overlay;
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& m : marks) overlay.Toggle(m);
    EXPECT_TRUE(overlay.IsEmpty());
    // Another curve of the group draws the current curve's cursors; on paper the box is smaller.
    plot.doc.CurrentCurve = 1;
    plot.curve(1).CursorX[0] = 25;
    options.RasterDisplay = false;
    marks = CursorMarks(plot.doc, 0, options);
    ASSERT_FALSE(marks.empty());
    EXPECT_EQ(marks[0].points[0].x, 60);
}

TEST(CursorDisplay, CirclesOnPolarAndSmithChartsStayInside) {
    twtest::StoredPlot plot;
    struct Case {
        int type;
        double x, y;
        bool drawn;
        std::vector<platform::Point> box;
    } cases[] = {
        {kPlotPolar, 0.3, 0.4, true, {{150, 150}, {250, 250}}},  // radius 50 through the point
        {kPlotPolar, 0.9, 0.9, false, {}},                       // outside the plot circle
        {kPlotSmith, 0, 0, true, {{200, 150}, {300, 250}}},      // the centre: the r = 1 circle
        {kPlotSmith, -0.9, 0.3, true, {}},
        {kPlotSmith, -3, 0, false, {}},  // a negative resistance: wider than the chart
    };
    for (const Case& c : cases) {
        Chart(plot.curve(), c.type);
        plot.curve().CursorX[0] = c.x;
        plot.curve().CursorY[0] = c.y;
        plot.curve().CursorX[1] = 2;  // off the plot
        std::vector<platform::OverlayMark> marks = CursorMarks(plot.doc, 0, CursorMarkOptions{});
        const bool circle = !marks.empty() && marks[0].shape == Shape::Ellipse;
        EXPECT_EQ(circle, c.drawn) << c.type << " " << c.x;
        if (circle && !c.box.empty()) {
            EXPECT_EQ(marks[0].points, c.box) << c.type << " " << c.x;
        }
    }
    // The second line on a Smith chart is the reactance arc through the point, inside the chart.
    Chart(plot.curve(), kPlotSmith);
    plot.curve().CursorX[0] = 0;
    plot.curve().CursorY[0] = 0.5;
    CursorMarkOptions options;
    options.HorizontalCursor = true;
    const std::vector<platform::OverlayMark> marks = CursorMarks(plot.doc, 0, options);
    ASSERT_GE(marks.size(), 2u);
    EXPECT_EQ(marks[1].shape, Shape::Polyline);
    for (const platform::Point& p : marks[1].points) EXPECT_LE(std::hypot(p.x - 200, p.y - 200), 101.5);
}

TEST(CursorDisplay, TrackerBoxesStayInsideThePlot) {
    twtest::StoredPlot plot;
    Rectangular(plot.curve());
    plot.curve().CursorX[0] = 98;  // near the right edge
    plot.curve().CursorY[0] = 2;   // near the bottom
    for (int kind = 0; kind < 3; ++kind) {
        const TrackerBox box = TrackerBoxOf(plot.doc, 0, 0, kind, 40, 12);
        EXPECT_FALSE(box.Text.empty());
        EXPECT_LE(box.Box.right, 210) << kind;
        EXPECT_GE(box.Box.left, 10) << kind;
        EXPECT_LE(box.Box.bottom, 110) << kind;
        EXPECT_EQ(box.Box.right - box.Box.left, 46) << kind;
        EXPECT_EQ(box.Box.bottom - box.Box.top, 14) << kind;
    }
    EXPECT_EQ(TrackerText(plot.curve(), 0, 2), TrackerText(plot.curve(), 0, 0) + "," + TrackerText(plot.curve(), 0, 1));
}

TEST(CursorDisplay, HeadingsAndColumnsByPlotType) {
    PlotCurve c;
    c.PlotRect = {0, 0, 700, 100};
    EXPECT_EQ(CursorHeadings(c), (std::vector<std::string>{"Left", "Right", "Delta", "Slope"}));
    EXPECT_EQ(CursorColumnWidth(c), 140);
    c.PlotType = kPlotSmith;
    EXPECT_EQ(CursorHeadings(c)[2], "Z Left");
    EXPECT_EQ(CursorColumnWidth(c), 100);
    c.PlotType = kPlotPolar;
    EXPECT_EQ(CursorHeadings(c)[5], "Mag/Ang Right");
}

TEST(CursorDisplay, ReadoutRowsOfTheMovedGroupOrOfAll) {
    twtest::StoredPlot plot(3);
    plot.curve(2).PlotNumber = 2;
    for (int i = 0; i < 3; ++i) {
        plot.curve(i).CellRect = {0, 100 * i, 300, 100 * i + 90};
        plot.curve(i).LegendY = 100 * i + 5;
        plot.curve(i).XLabelY = 100 * i + 80;
    }
    // The group's two Y rows and its X row; with all groups the other group's too.
    const std::vector<DeviceRect> rows = ReadoutRows(plot.doc, 1, false, 12);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].top, 5);
    EXPECT_EQ(rows[0].bottom, 17);
    EXPECT_EQ(rows[0].right, 300);
    EXPECT_EQ(ReadoutRows(plot.doc, 1, true, 12).size(), 4u);
}

}  // namespace
