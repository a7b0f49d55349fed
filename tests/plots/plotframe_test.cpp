// Frames, grids, scales and legends: the grid and scale values of linear and
// logarithmic axes, the layout of plot groups, and whole frames rendered into
// an image (grid lines where the transform puts them) and onto a PDF page.
#include "plots/plotframe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/print.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int kGrid = 1;  // any colour but the white background

std::vector<double> Values(const std::vector<GridValue>& lines) {
    std::vector<double> v;
    for (const GridValue& line : lines) v.push_back(line.Value);
    return v;
}

PlotCurve FrameCurve(int plotNumber, const char* y) {
    PlotCurve c;
    c.UseFlags = kCurveDrawn;
    c.PlotNumber = plotNumber;
    c.ExprText[kAxisX] = "T";
    c.ExprText[kAxisY] = y;
    for (int axis = kAxisX; axis <= kAxisY; ++axis) {
        c.ScaleFactorText[axis] = "None";
        c.UnitsText[axis] = "None";
    }
    c.RangeLow[kAxisX] = 0;
    c.RangeHigh[kAxisX] = 10;
    c.GridStep[kAxisX] = 2;
    c.RangeLow[kAxisY] = -2.5;
    c.RangeHigh[kAxisY] = 7;
    c.GridStep[kAxisY] = 2;
    c.Style.textColor = 4;
    return c;
}

// Drawing picks colours from the program's colour table.
class PlotFrameRender : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GetProgramPalette()) CreateProgramPalette();
        InitColorTable();
    }
};

PlotViewInfo FrameView(int width, int height) {
    PlotViewInfo view;
    view.DrawArea = {0, 0, width, height};
    view.GridColor = kGrid;
    view.GridPattern = 0;  // solid, so every pixel of a line is checked
    view.Title = "Transient Analysis";
    return view;
}

TEST(PlotGrid, LinearGridLines) {
    EXPECT_EQ(Values(LinearGridValues(-2.5, 7, 2, 0, 5, false, 500)), (std::vector<double>{-2, 0, 2, 4, 6}));
    EXPECT_EQ(Values(LinearGridValues(7, -2.5, 2, 0, 5, false, 500)), (std::vector<double>{-2, 0, 2, 4, 6}));
    // Without a step, or by divisions: equal parts of the range.
    EXPECT_EQ(Values(LinearGridValues(0, 10, 0, 0, 4, false, 500)), (std::vector<double>{0, 2.5, 5, 7.5, 10}));
    EXPECT_EQ(Values(LinearGridValues(0, 10, 3, 0, 2, true, 500)), (std::vector<double>{0, 5, 10}));
    // Bold at multiples of the bold step.
    std::vector<double> bold;
    for (const GridValue& line : LinearGridValues(-10, 30, 2, 10, 5, false, 500))
        if (line.Bold) bold.push_back(line.Value);
    EXPECT_EQ(bold, (std::vector<double>{-10, 0, 10, 20, 30}));
    // More than ten lines a pixel: no grid at all; never more than 20001 lines.
    EXPECT_TRUE(LinearGridValues(0, 100, 0.01, 0, 5, false, 100).empty());
    EXPECT_EQ(LinearGridValues(0, 1e9, 1, 0, 5, false, 1 << 30).size(), 20001u);
}

TEST(PlotGrid, LinearScaleLabelsIncludeTheEnds) {
    std::vector<double> values;
    std::vector<bool> ends;
    for (const ScaleValue& v : LinearScaleValues(-2.5, 7, 2, 20000)) {
        values.push_back(v.Value);
        ends.push_back(v.End);
    }
    EXPECT_EQ(values, (std::vector<double>{-2.5, -2, 0, 2, 4, 6, 7}));
    EXPECT_EQ(ends, (std::vector<bool>{true, false, false, false, false, false, true}));
    EXPECT_EQ(LinearScaleValues(0, 4, 2, 20000).size(), 3u);  // ends on multiples: no extra labels
    EXPECT_TRUE(LinearScaleValues(0, 1e6, 1, 101).empty());   // too many multiples, ends on multiples
}

TEST(PlotGrid, LogGridLines) {
    struct Case {
        double low, high;
        bool minor, minor25;
        std::vector<double> lines;
    };
    const Case cases[] = {
        {1, 1000, false, true, {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}},
        {1, 1000, true, true, {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}},
        {1, 1000, false, false, {1, 10, 100, 1000}},
        {1, 30, true, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30}},
        {0.3, 20, false, false, {0.3, 1, 10, 20}},  // below the range only counts
        {0.01, 0.1, false, false, {0.01, 0.1}},     // decimal steps land on the decade
        {0, -5, false, false, {}},
    };
    for (const Case& c : cases) {
        const std::vector<double> lines = LogGridValues(c.low, c.high, c.minor, c.minor25);
        ASSERT_EQ(lines.size(), c.lines.size()) << c.low << ".." << c.high;
        for (size_t i = 0; i < lines.size(); ++i) EXPECT_DOUBLE_EQ(lines[i], c.lines[i]) << c.low << ".." << c.high;
    }
    EXPECT_LT(LogScaleSequence(1e-300, 1e300).size(), 10000u);
}

TEST(PlotGrid, TitleShortensTemperatureAndSplits) {
    platform::Image image(400, 100);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    const std::string title = "Circuit one Temperature=27 Case=1 Stepping R1=100";
    const int full = dc.GetTextWidth(title.c_str());
    EXPECT_EQ(FitTitle(dc, title, "", full, 1), std::vector<std::string>{title});
    const std::vector<std::string> shortened = FitTitle(dc, title, "", full - 1, 1);
    EXPECT_EQ(shortened, std::vector<std::string>{"Circuit one Temp=27 Case=1 Stepping R1=100"});
    const std::vector<std::string> split = FitTitle(dc, title, "", full / 3, 2);
    EXPECT_EQ(split, (std::vector<std::string>{"Circuit one Temp=27 Case=1", "Stepping R1=100"}));
}

// The X scale numbers a plot draws, in the default format "3" and scale
// factor "None": distinct, with the letter of the range's engineering scale
// (each value's own on a log axis), and none cut at the window's edges.
TEST_F(PlotFrameRender, ScaleLabelsAreDistinctAndInsideTheWindow) {
    struct Case {
        double low, high, step;
        bool linear;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {0, 1e-3, 0.2e-3, true, {"0.000m", "0.200m", "0.400m", "0.600m", "0.800m", "1.000m"}},
        {0, 100e-9, 20e-9, true, {"0.000n", "20.000n", "40.000n", "60.000n", "80.000n", "100.000n"}},
        // A range end a rounding off the grid (a run's last time point) adds no digits.
        {0, 100e-9 * (1 - 1e-15), 20e-9, true, {"0.000n", "20.000n", "40.000n", "60.000n", "80.000n", "100.000n"}},
        {1e-9 * 1e-12, 100e-9, 20e-9, true, {"0.000n", "20.000n", "40.000n", "60.000n", "80.000n", "100.000n"}},
        {1e3, 100e3, 0, false, {"1.000K", "10.000K", "100.000K"}},
        {1, 1e6, 0, false, {"1.000", "10.000", "100.000", "1.000K", "10.000K", "100.000K", "1.000M"}},
        {-2, 2, 0, true, {"-2.000", "-1.200", "-0.400", "0.400", "1.200", "2.000"}},  // by divisions
        // Nanovolts around 10 V: the low end, then the multiples of the step,
        // with the digits that tell them apart.
        {9.99575 - 9e-9, 9.99575 + 6e-9, 3e-9, true,
         {"9.995749991", "9.995749992", "9.995749995", "9.995749998", "9.995750001", "9.995750004"}},
    };
    platform::Image image(700, 300);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    const PlotViewInfo view = FrameView(700, 300);
    for (const Case& c : cases) {
        PlotCurveArray curves;
        curves.push_back(FrameCurve(1, "V(1)"));
        PlotCurve& curve = curves[0];
        curve.ScaleFactorText[kAxisX].clear();  // as a .PRINT row leaves it
        curve.AxisLinear[kAxisX] = c.linear;
        curve.RangeLow[kAxisX] = c.low;
        curve.RangeHigh[kAxisX] = c.high;
        curve.GridStep[kAxisX] = c.step;
        PlotLayout layout;
        ASSERT_EQ(LayoutPlot(dc, curves, layout, view, 0), 0);
        std::vector<std::string> texts;
        for (const ScaleLabel& label : PlaceScaleLabels(dc, curves, 0, kAxisX, layout, view)) {
            texts.push_back(label.Text);
            EXPECT_GE(label.Rect.left, curve.PlotRect.left - layout.CharWidth / 2) << label.Text;
            EXPECT_LE(label.Rect.right, view.DrawArea.right) << label.Text;
            EXPECT_GE(label.Rect.right - label.Rect.left, dc.GetTextWidth(label.Text.c_str())) << label.Text;
        }
        EXPECT_EQ(texts, c.labels) << c.low << ".." << c.high;
    }
}

TEST_F(PlotFrameRender, RowsPairComplexPlanePlots) {
    platform::Image image(800, 600);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    struct Case {
        std::vector<int> types;  // per group
        std::vector<bool> sameRowAsPrevious;
    };
    const Case cases[] = {
        {{kPlotPolar, kPlotPolar, kPlotRectangular}, {false, true, false}},
        {{kPlotPolar, kPlotSmith, kPlotPolar}, {false, true, false}},
        {{kPlotRectangular, kPlotRectangular}, {false, false}},
    };
    for (const Case& c : cases) {
        PlotCurveArray curves;
        for (size_t g = 0; g < c.types.size(); ++g) {
            curves.push_back(FrameCurve(int(g) + 1, "V(1)"));
            curves.back().PlotType = c.types[g];
        }
        PlotLayout layout;
        const PlotViewInfo view = FrameView(800, 600);
        ASSERT_EQ(LayoutPlot(dc, curves, layout, view), 0);
        for (size_t g = 1; g < curves.size(); ++g) {
            const bool same = curves[g].CellRect.top == curves[g - 1].CellRect.top;
            EXPECT_EQ(same, c.sameRowAsPrevious[g]) << "group " << g + 1;
            if (same) {
                EXPECT_GE(curves[g].PlotRect.left, curves[g - 1].PlotRect.right);
            }
        }
        for (const PlotCurve& curve : curves) {
            EXPECT_GE(curve.PlotRect.left, 0);
            EXPECT_LE(curve.PlotRect.right, 800);
            EXPECT_LT(curve.PlotRect.bottom, 600);
            if (curve.PlotType != kPlotRectangular) {
                EXPECT_EQ(curve.ClipRegion.Kind, CurveClipRegion::Ellipse);
                EXPECT_EQ(curve.ToDevice(kAxisX, 0), curve.PolarCenter.x);
            }
        }
        // A rectangular group alone in its row spans the width.
        if (c.types.back() == kPlotRectangular && c.types.front() != kPlotRectangular) {
            EXPECT_GT(curves.back().PlotRect.right, 600);
        }
    }
}

// Where a grid line across `axis` at value v lies, and whether the image has
// the grid colour along it (sampled inside the plot between other lines).
bool GridColourAt(const platform::Image& image, const PlotCurve& c, int axis, int position, platform::Color grid) {
    int hits = 0, samples = 0;
    const int from = axis == kAxisX ? c.PlotRect.top + 2 : c.PlotRect.left + 2;
    const int to = axis == kAxisX ? c.PlotRect.bottom - 2 : c.PlotRect.right - 2;
    for (int s = from; s < to; s += 7) {
        ++samples;
        const platform::Color pixel = axis == kAxisX ? image.PixelAt(position, s) : image.PixelAt(s, position);
        if (pixel == grid) ++hits;
    }
    return samples > 0 && hits * 10 >= samples * 8;
}

TEST_F(PlotFrameRender, GridLinesLieWhereTheTransformPutsThem) {
    platform::Image image(640, 480);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    PlotCurveArray curves;
    curves.push_back(FrameCurve(1, "V(OUT)"));
    curves.push_back(FrameCurve(2, "I(R1)"));
    curves[1].AxisLinear[kAxisY] = 0;
    curves[1].RangeLow[kAxisY] = 1;
    curves[1].RangeHigh[kAxisY] = 1000;
    PlotLayout layout;
    PlotViewInfo view = FrameView(640, 480);
    view.MinorLogGrids25 = true;
    ASSERT_EQ(DrawPlotFrame(dc, curves, layout, view), 0);
    const platform::Color grid = dc.GetColorValue(kGrid);
    const platform::Color white = dc.GetColorValue(kColorWhite);

    const PlotCurve& linear = curves[0];
    ASSERT_GT(linear.PlotWidth, 200);
    for (double x : {2.0, 4.0, 6.0, 8.0})
        EXPECT_TRUE(GridColourAt(image, linear, kAxisX, linear.ToDevice(kAxisX, x), grid)) << "x " << x;
    for (double y : {-2.0, 0.0, 2.0, 4.0, 6.0})
        EXPECT_TRUE(GridColourAt(image, linear, kAxisY, linear.ToDevice(kAxisY, y), grid)) << "y " << y;
    // Between the lines the plot stays empty.
    EXPECT_FALSE(GridColourAt(image, linear, kAxisX, linear.ToDevice(kAxisX, 3), grid));
    EXPECT_FALSE(GridColourAt(image, linear, kAxisY, linear.ToDevice(kAxisY, 1), grid));
    // The frame.
    EXPECT_EQ(image.PixelAt(linear.PlotRect.left, (linear.PlotRect.top + linear.PlotRect.bottom) / 2), grid);
    EXPECT_EQ(image.PixelAt(linear.PlotRect.right, (linear.PlotRect.top + linear.PlotRect.bottom) / 2), grid);

    const PlotCurve& log = curves[1];
    EXPECT_GT(log.PlotRect.top, linear.PlotRect.bottom);
    for (double y : {2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0})
        EXPECT_TRUE(GridColourAt(image, log, kAxisY, log.ToDevice(kAxisY, y), grid)) << "log y " << y;
    EXPECT_FALSE(GridColourAt(image, log, kAxisY, log.ToDevice(kAxisY, 3), grid));

    // Scale numbers left of the plot, the legend and the X label below it.
    auto inked = [&](int left, int top, int right, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (image.PixelAt(x, y) != white) return true;
        return false;
    };
    EXPECT_GT(layout.ScaleAreaWidth, 0);
    EXPECT_TRUE(inked(0, linear.PlotRect.top, linear.PlotRect.left - 1, linear.PlotRect.bottom));
    EXPECT_TRUE(inked(linear.LegendX, linear.LegendY, linear.PlotRect.right, linear.LegendY + layout.LineHeight));
    EXPECT_TRUE(inked(linear.PlotRect.left, linear.XLabelY, linear.PlotRect.right, linear.XLabelY + layout.LineHeight));
    EXPECT_GT(linear.XLabelY, linear.LegendY);
    EXPECT_TRUE(inked(linear.PlotRect.left, 0, linear.PlotRect.right, linear.PlotRect.top));  // the title
}

// The share of samples along a grid line that have the grid colour.
double GridShare(const platform::Image& image, int axis, int position, platform::Color grid, int from, int to) {
    int hits = 0;
    for (int s = from; s < to; ++s)
        if ((axis == kAxisX ? image.PixelAt(position, s) : image.PixelAt(s, position)) == grid) ++hits;
    return to > from ? double(hits) / (to - from) : 0;
}

TEST_F(PlotFrameRender, BoldDottedRulerAndPlusMarkGrids) {
    platform::Image image(500, 400);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    PlotCurveArray curves;
    curves.push_back(FrameCurve(1, "V(OUT)"));
    curves[0].RangeLow[kAxisX] = -10;
    curves[0].RangeHigh[kAxisX] = 30;
    curves[0].MinorStep[kAxisX] = 10;
    PlotLayout layout;
    PlotViewInfo view = FrameView(500, 400);
    view.GridPattern = 2;
    ASSERT_EQ(DrawPlotFrame(dc, curves, layout, view), 0);
    const platform::Color grid = dc.GetColorValue(kGrid);
    const PlotCurve& c = curves[0];
    const int top = c.PlotRect.top + 1, bottom = c.PlotRect.bottom;
    // Multiples of the bold step are solid, the others dotted.
    EXPECT_EQ(GridShare(image, kAxisX, c.ToDevice(kAxisX, 10), grid, top, bottom), 1.0);
    const double dotted = GridShare(image, kAxisX, c.ToDevice(kAxisX, 12), grid, top, bottom);
    EXPECT_GT(dotted, 0.2);
    EXPECT_LT(dotted, 0.9);

    // Ruler: ticks a twentieth of the smaller side long at both ends.
    image.Fill(dc.GetColorValue(kColorWhite));
    view.GridPattern = 0;
    view.ViewOptions |= kViewRuler;
    ASSERT_EQ(DrawPlotFrame(dc, curves, layout, view), 0);
    const int y = c.ToDevice(kAxisY, 2);
    const int m = std::min(c.PlotWidth, c.PlotHeight) / 20;
    EXPECT_EQ(GridShare(image, kAxisY, y, grid, c.PlotRect.left + 1, c.PlotRect.left + 1 + m), 1.0);
    EXPECT_EQ(GridShare(image, kAxisY, y, grid, c.PlotRect.right - m, c.PlotRect.right), 1.0);
    EXPECT_EQ(image.PixelAt((c.PlotRect.left + c.PlotRect.right) / 2 + 3, y), dc.GetColorValue(kColorWhite));

    // Plus Mark with one grid option: small circles at the crossings, no lines.
    image.Fill(dc.GetColorValue(kColorWhite));
    view.ViewOptions = kViewHorizontalGrids;
    view.PlusMark = true;
    ASSERT_EQ(DrawPlotFrame(dc, curves, layout, view), 0);
    const int x = c.ToDevice(kAxisX, 10);
    int marked = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) marked += image.PixelAt(x + dx, y + dy) == grid;
    EXPECT_GT(marked, 0);
    EXPECT_EQ(image.PixelAt(x, (y + c.ToDevice(kAxisY, 4)) / 2), dc.GetColorValue(kColorWhite));
    EXPECT_EQ(image.PixelAt((x + c.ToDevice(kAxisX, 12)) / 2, y), dc.GetColorValue(kColorWhite));
}

TEST_F(PlotFrameRender, LegendReadoutsShowTheNewestValueOrTheCursors) {
    platform::Image image(640, 300);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    const platform::Color white = dc.GetColorValue(kColorWhite);
    auto inked = [&](int left, int top, int right, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (image.PixelAt(x, y) != white) return true;
        return false;
    };
    struct Case {
        bool cursorMode;
        int plotType;
        int fields;  // cursor readout fields
    };
    for (const Case& k :
         {Case{false, kPlotRectangular, 0}, Case{true, kPlotRectangular, 4}, Case{true, kPlotPolar, 6}}) {
        image.Fill(white);
        PlotCurveArray curves;
        curves.push_back(FrameCurve(1, "V(OUT)"));
        curves[0].PlotType = k.plotType;
        curves[0].Value[kAxisY] = 3.25;
        curves[0].CursorY[0] = 1;
        curves[0].CursorY[1] = 2;
        PlotLayout layout;
        PlotViewInfo view = FrameView(640, 300);
        view.CursorMode = k.cursorMode;
        view.CursorColumnWidth = 60;
        ASSERT_EQ(LayoutPlot(dc, curves, layout, view), 0);
        const PlotCurve& c = curves[0];
        const int L = layout.LineHeight;
        RedrawScales(dc, curves, layout, view, true, -1);
        if (!k.cursorMode) {
            const int left = c.LegendX + c.AxisTitleWidth[kAxisY];
            EXPECT_TRUE(inked(left, c.LegendY, left + dc.GetTextWidth("0") * 17, c.LegendY + L));
            continue;
        }
        // Left, right, their difference and the slope (rectangular), or per cursor its
        // frequency and two complex forms, a column each after the first.
        const int first = c.PlotRect.left + 61;
        for (int field = 0; field < k.fields; ++field)
            EXPECT_TRUE(inked(first + 60 * field, c.LegendY, first + 60 * field + 60, c.LegendY + L))
                << "field " << field;
        EXPECT_FALSE(inked(first + 60 * k.fields, c.LegendY, first + 60 * k.fields + 60, c.LegendY + L));
    }
}

TEST(PlotFrameColours, CurveColoursStayApartFromTheBackgroundAndText) {
    struct Case {
        int text, line;
        int fixedText, fixedLine;
        bool changed;
    };
    // Background 15, general text 0.
    const Case cases[] = {{4, 9, 4, 9, false}, {0, 9, 15, 9, true}, {4, 15, 4, 0, true}, {0, 15, 15, 0, true}};
    for (const Case& c : cases) {
        PlotCurve curve;
        curve.Style.textColor = c.text;
        curve.Style.lineColor = c.line;
        PlotViewInfo view;
        EXPECT_EQ(FixCurveContrast(curve, view), c.changed);
        EXPECT_EQ(curve.Style.textColor, c.fixedText);
        EXPECT_EQ(curve.Style.lineColor, c.fixedLine);
    }
}

TEST_F(PlotFrameRender, FramesRenderOntoAPdfPage) {
    twtest::TempDir dir("plotframe");
    ASSERT_TRUE(dir.Valid());
    const std::string path = dir.File("plot.pdf");
    platform::PdfDocument pdf;
    platform::PageSetup setup;
    setup.pixelsPerInch = 300;
    ASSERT_TRUE(pdf.Open(path, setup)) << pdf.ErrorText();
    CDrawContext dc(&pdf.Page());
    PlotCurveArray curves;
    curves.push_back(FrameCurve(1, "V(OUT)"));
    PlotLayout layout;
    const platform::Size size = pdf.Page().DeviceSize();
    PlotViewInfo view = FrameView(size.cx, size.cy / 2);
    view.Display = false;
    ASSERT_EQ(DrawPlotFrame(dc, curves, layout, view), 0);
    EXPECT_GT(curves[0].PlotWidth, size.cx / 2);
    // Text scaled to the page: a line is about as tall on paper as on screen.
    EXPECT_GT(layout.LineHeight, 30);
    ASSERT_TRUE(pdf.End()) << pdf.ErrorText();
    std::ifstream in(path, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
}

TEST_F(PlotFrameRender, DenseGridsShrinkTheFont) {
    platform::Image image(300, 90);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    PlotCurveArray curves;
    curves.push_back(FrameCurve(1, "V(OUT)"));
    PlotLayout layout;
    layout.Font.height = -20;
    layout.GridDivisions[kAxisY] = 10;
    ASSERT_EQ(LayoutPlot(dc, curves, layout, FrameView(300, 90)), 0);
    EXPECT_GT(layout.WorkingFont.height, -20);
    EXPECT_LE(std::abs(layout.WorkingFont.height), 20);
    EXPECT_EQ(layout.Font.height, -20);  // the document's font stays
}

}  // namespace
