// Graphic objects drawn over a plot into an image: point and dimension tags
// with their texts where their values lie, objects limited to their plot
// group, objects whose curve went kept out of sight, and the window-relative
// and pinned coordinates of objects without a curve.
#include "plots/plotobjects.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/memory.h"
#include "core/properties.h"
#include "document/cfanalysis.h"
#include "tests/plots/drawfixture.h"

namespace {

using twtest::PlotDrawFixture;

constexpr int pot_kTagColor = 4;
constexpr int pot_kBlack = 0;
constexpr DeviceRect pot_kPlot{40, 20, 300, 200};

PlotObject& pot_Add(CAPDoc& doc, int type, int curve, double x1, double y1, double x2, double y2) {
    PlotObject* o = doc.NewGraphicObject();
    o->type = type;
    o->plot = curve;
    o->plot2 = curve;
    o->style.color = pot_kTagColor;
    o->style.pattern = 0;
    o->corners[0] = x1;
    o->corners[1] = y1;
    o->corners[2] = x2;
    o->corners[3] = y2;
    return *o;
}

PlotObjectFrame pot_Frame(const PlotDrawFixture& f) {
    PlotObjectFrame frame;
    frame.DrawArea = platform::Rect{0, 0, f.image.Width(), f.image.Height()};
    return frame;
}

// Pixels that are not the white background inside the rectangle: text.
int pot_Inked(const PlotDrawFixture& f, const platform::Rect& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += f.image.PixelAt(x, y) != platform::MakeColor(255, 255, 255);
    return n;
}

// Pixels of the colour within `grow` of the point.
bool pot_Near(const PlotDrawFixture& f, platform::Point p, int color, int grow = 1) {
    return f.Count(color, p.x - grow, p.y - grow, p.x + grow + 1, p.y + grow + 1) > 0;
}

TEST(PlotObjects, TagsShowTheirValuesWhereTheCurvePointsLie) {
    PlotDrawFixture f;
    f.Clear();
    const int c = f.AddCurve(pot_kPlot, 0, 10, 0, 10);
    const PlotCurve& curve = f.doc.Curves[0];
    // A point tag at (5, 5) whose text stands up and right at (7, 8).
    PlotObject& point = pot_Add(f.doc, kObjTag, c, 5, 5, 7, 8);
    // A horizontal dimension from x = 2 to x = 8 with its line at y = 1, and a
    // vertical one from y = 2 to y = 9 with its line at x = 9.5.
    PlotObject& across = pot_Add(f.doc, kObjMeasureH, c, 2, 3, 8, 3);
    across.measure = 1;
    across.flags = kMarkFilledTriangle;
    PlotObject& upright = pot_Add(f.doc, kObjMeasureV, c, 1, 2, 1, 9);
    upright.measure = 9.5;
    const PlotObjectFrame frame = pot_Frame(f);
    DrawPlotObjects(*f.dc, f.doc, frame, -1);

    TagGeometry g;
    ASSERT_TRUE(GetTagGeometry(*f.dc, f.doc.Curves, frame, point, &g));
    const platform::Point at{curve.ToDevice(kAxisX, 5), curve.ToDevice(kAxisY, 5)};
    const platform::Point anchor{curve.ToDevice(kAxisX, 7), curve.ToDevice(kAxisY, 8)};
    EXPECT_EQ(g.LineEnds[0], at);
    EXPECT_EQ(g.LineEnds[1], anchor);
    // The leader runs from the point to the text's corner.
    EXPECT_TRUE(pot_Near(f, platform::Point{(at.x + anchor.x) / 2, (at.y + anchor.y) / 2}, pot_kTagColor));
    // The text box stands right of and above its anchor, the text inside it,
    // nothing of it on the far side of the anchor.
    EXPECT_EQ(g.TextBox.left, anchor.x);
    EXPECT_EQ(g.TextBox.bottom, anchor.y);
    // (The line under the text is left out of the box looked at.)
    EXPECT_GT(pot_Inked(f, platform::Rect{g.TextBox.left, g.TextBox.top, g.TextBox.right, g.TextBox.bottom - 1}), 10);
    const int width = g.TextBox.right - g.TextBox.left;
    EXPECT_EQ(pot_Inked(f, platform::Rect{anchor.x - width, g.TextBox.top, anchor.x - 1, g.TextBox.bottom - 1}), 0);
    EXPECT_EQ(PointTagText(f.doc.Curves, point),
              curve.FormatAxisValue(kAxisX, 5) + "," + curve.FormatAxisValue(kAxisY, 5));

    // The horizontal dimension: its line at y = 1 from x = 2 to x = 8 with
    // arrow heads at both ends, the difference 6 centred on it.
    ASSERT_TRUE(GetTagGeometry(*f.dc, f.doc.Curves, frame, across, &g));
    const int lineY = curve.ToDevice(kAxisY, 1);
    const int x2 = curve.ToDevice(kAxisX, 2), x8 = curve.ToDevice(kAxisX, 8);
    EXPECT_EQ(RangeTagText(f.doc.Curves, across), curve.FormatAxisValue(kAxisX, 6));
    EXPECT_TRUE(pot_Near(f, platform::Point{x2 + 12, lineY}, pot_kTagColor, 0));
    EXPECT_TRUE(pot_Near(f, platform::Point{x8 - 12, lineY}, pot_kTagColor, 0));
    // A filled head: pixels above and below the line right at its end.
    EXPECT_TRUE(pot_Near(f, platform::Point{x2 + 6, lineY - 2}, pot_kTagColor, 0));
    EXPECT_TRUE(pot_Near(f, platform::Point{x2 + 6, lineY + 2}, pot_kTagColor, 0));
    EXPECT_LT(std::abs((g.TextBox.left + g.TextBox.right) / 2 - (x2 + x8) / 2), 2);
    EXPECT_GT(pot_Inked(f, platform::Rect{g.TextBox.left, g.TextBox.top, g.TextBox.right, g.TextBox.bottom}), 10);
    // Its dotted leaders run down from the points at y = 3 to the line.
    const int y3 = curve.ToDevice(kAxisY, 3);
    EXPECT_GT(f.Count(pot_kTagColor, x2, y3, x2 + 1, lineY), 3);

    // The vertical dimension: its line at x = 9.5, the text between y = 2 and 9.
    ASSERT_TRUE(GetTagGeometry(*f.dc, f.doc.Curves, frame, upright, &g));
    const int lineX = curve.ToDevice(kAxisX, 9.5);
    EXPECT_TRUE(pot_Near(f, platform::Point{lineX, curve.ToDevice(kAxisY, 9) + 3}, pot_kTagColor, 0));
    EXPECT_EQ((g.TextBox.top + g.TextBox.bottom) / 2, (curve.ToDevice(kAxisY, 2) + curve.ToDevice(kAxisY, 9)) / 2);
    EXPECT_EQ(RangeTagText(f.doc.Curves, upright), curve.FormatAxisValue(kAxisY, 7));
}

TEST(PlotObjects, EachPlotGroupDrawsOnlyItsOwnObjects) {
    PlotDrawFixture f;
    const int top = f.AddCurve(DeviceRect{20, 10, 300, 100}, 0, 10, 0, 10);
    const int bottom = f.AddCurve(DeviceRect{20, 120, 300, 210}, 0, 10, 0, 10);
    f.doc.Curves[static_cast<size_t>(bottom)].PlotNumber = 2;
    // A rectangle over each plot, and a tag whose curve a new run dropped
    // (its identifier kept, its index gone).
    pot_Add(f.doc, kObjRectangle, top, 2, 8, 8, 2).style.fillColor = 12;
    pot_Add(f.doc, kObjRectangle, bottom, 2, 8, 8, 2).style.fillColor = 9;
    PlotObject& orphan = pot_Add(f.doc, kObjTag, -1, 3000, 3000, 6000, 6000);
    orphan.alias1 = 7;
    orphan.style.fillColor = 10;
    struct Case {
        int group;
        bool top, bottom;
    };
    for (const Case& k : {Case{1, true, false}, Case{2, false, true}, Case{-1, true, true}}) {
        SCOPED_TRACE(k.group);
        f.Clear();
        DrawPlotObjects(*f.dc, f.doc, pot_Frame(f), k.group);
        EXPECT_EQ(f.Count(12, 0, 0, 320, 220) > 0, k.top);
        EXPECT_EQ(f.Count(9, 0, 0, 320, 220) > 0, k.bottom);
        // Inside its own plot only.
        EXPECT_EQ(f.Count(12, 0, 110, 320, 220), 0);
        EXPECT_EQ(f.Count(9, 0, 0, 320, 110), 0);
        EXPECT_EQ(f.Count(pot_kBlack, 0, 0, 320, 220), 0);
    }
    // A hidden curve hides its objects.
    f.doc.Curves[static_cast<size_t>(top)].Hidden = 1;
    f.Clear();
    DrawPlotObjects(*f.dc, f.doc, pot_Frame(f), -1);
    EXPECT_EQ(f.Count(12, 0, 0, 320, 220), 0);
    EXPECT_GT(f.Count(9, 0, 0, 320, 220), 0);
}

TEST(PlotObjects, ObjectsWithoutACurveUseWindowUnitsAndPinnedVerticesLieOffThePlot) {
    PlotDrawFixture f;
    const int c = f.AddCurve(pot_kPlot, 0, 10, 0, 10);
    PlotObjectFrame frame = pot_Frame(f);
    // Window-relative: 5000 is the middle whatever the size.
    EXPECT_EQ(PlotPointToScreen(f.doc.Curves, frame, -1, 5000, 5000), (platform::Point{160, 110}));
    frame.DrawArea.right = 640;
    EXPECT_EQ(PlotToScreen(f.doc.Curves, frame, -1, 5000, kAxisX), 320);
    EXPECT_NEAR(ScreenToPlot(f.doc.Curves, frame, -1, 320, kAxisX), 5000, 1e-9);

    struct Case {
        int modeX, modeY;
        bool reversedX;
        platform::Point expected;
    };
    const Case cases[] = {
        {1, 0, false, {-100, 0}}, {2, 0, false, {740, 0}},  {1, 0, true, {740, 0}},
        {0, 1, false, {0, 320}},  {0, 2, false, {0, -100}},
    };
    for (const Case& k : cases) {
        PlotCurve& curve = f.doc.Curves[static_cast<size_t>(c)];
        curve.RangeLow[kAxisX] = k.reversedX ? 10 : 0;
        curve.RangeHigh[kAxisX] = k.reversedX ? 0 : 10;
        PlotVertex v;
        v.modeX = k.modeX;
        v.modeY = k.modeY;
        const platform::Point p = PolygonVertexToScreen(f.doc.Curves, frame, c, v);
        if (k.modeX) {
            EXPECT_EQ(p.x, k.expected.x);
        }
        if (k.modeY) {
            EXPECT_EQ(p.y, k.expected.y);
        }
    }
    // A text that begins with "=" shows the value of its formula, or itself
    // when the formula does not evaluate.
    PlotObject& text = pot_Add(f.doc, kObjText, -1, 100, 100, 0, 0);
    struct Shown {
        const char* text;
        const char* shown;
    };
    for (const Shown& k : {Shown{"=2*3", "6"}, Shown{"=2*(", "=2*("}, Shown{"plain", "plain"}, Shown{"=", "="}}) {
        SetString(&text.text, k.text);
        EXPECT_EQ(PlotObjectText(text), k.shown);
    }
    // A zero-length line still gets its mark.
    f.Clear();
    f.dc->SelectPen(pot_kTagColor);
    DrawArrowHead(*f.dc, platform::Point{100, 100}, platform::Point{100, 100}, kMarkFilledTriangle, 5);
    EXPECT_GT(f.Count(pot_kTagColor, 85, 90, 105, 110), 10);
}

}  // namespace
