// The graphic objects of an analysis plot drawn over its curves: texts and
// curve labels, point tags with their value callouts, horizontal and vertical
// dimension tags, polygons and the simple figures (lines with end marks,
// rectangles, ellipses, diamonds, arcs, pies and braces).
//
// Objects keep plot coordinates: a corner belongs to a curve and follows that
// curve's zoom and pan through its screen transform; an object of no curve
// (index -1) is placed in window-relative units of 1/10000 of the drawing area.
// The drawing reads the objects and never changes them, so a redraw cannot
// alter what the circuit file stores.
#pragma once

#include <string>
#include <vector>

#include "platform/draw.h"
#include "plots/curve.h"

class CANDoc;
class CAPView;
class CDrawContext;
struct PlotObject;
struct PlotVertex;

// Figure kinds of plot objects (the circuit file's "Object" names).
enum PlotObjectKind : int {
    kObjLine = 1,
    kObjEllipse = 2,
    kObjRectangle = 3,
    kObjDiamond = 4,
    kObjArc = 5,
    kObjPie = 6,
    kObjMeasureV = 7,  // vertical dimension tag
    kObjTag = 8,       // point tag
    kObjMeasureH = 9,  // horizontal dimension tag
    kObjPicture = 10,
    kObjPoly = 11,
    kObjText = 12,
    kObjLeftBrace = 13,
    kObjRightBrace = 14,
    kObjBraces = 15,
};

// Bits of GraphicStyle::spare of a plot object.
constexpr uint8_t kPlotObjectSelected = 0x01;
constexpr uint8_t kPlotObjectHidden = 0x02;  // its curve no longer exists

// Line-end marks in PlotObject::flags: the low nibble marks the second point,
// the high nibble (the same forms shifted by 12 bits) the first.
constexpr unsigned kMarkFilledTriangle = 0x0001;
constexpr unsigned kMarkOpenV = 0x0002;
constexpr unsigned kMarkCircle = 0x0004;
constexpr unsigned kMarkDiamond = 0x0008;
constexpr unsigned kShapeRounded = 0x0002;  // rectangles

// What the drawing needs of the view that draws.
struct PlotObjectFrame {
    platform::Rect DrawArea{0, 0, 0, 0};  // window-relative objects live here
    double TextScale = 1;                 // fonts and end marks grow with it
    int SelectColor = 12;                 // colour of selected objects
    int PlotBackground = 15;              // behind objects of a curve
    int WindowBackground = 15;            // behind window-relative objects
    // 1 selected only, 2 unselected only, 3 all.
    int Filter = 3;
};

// ---- coordinates

// A plot value of `axis` on the screen through the curve's transform, or in
// window-relative units (value x size x 0.0001 from the area's corner) for a
// curve index of -1 or beyond the curves.
int PlotToScreen(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve, double value, int axis);
double ScreenToPlot(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve, int screen, int axis);
platform::Point PlotPointToScreen(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve, double x,
                                  double y);
// A polygon vertex; a MIN or MAX pin lies 100 pixels off the drawing area on
// the side of its axis end (mirrored on reversed axes).
platform::Point PolygonVertexToScreen(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve,
                                      const PlotVertex& vertex);

// ---- texts

// What a text object shows: its text, or for a text beginning with "=" the
// value of the formula after it (the text as typed when that fails).
std::string PlotObjectText(const PlotObject& object);

// A point tag's "x,y" in the curve's value formats.
std::string PointTagText(const PlotCurveArray& curves, const PlotObject& tag);
// A dimension tag's measured difference: |y1 - y2| for a vertical one, |x1 - x2|
// for a horizontal one, in that axis's value format.
std::string RangeTagText(const PlotCurveArray& curves, const PlotObject& tag);

// ---- the drawing

// One line-end mark at `to`, oriented from `from` to `to`; `marks` holds the
// form in its low nibble (or the high one). A zero-length segment still draws.
void DrawArrowHead(CDrawContext& dc, platform::Point from, platform::Point to, unsigned marks, int size);

// The screen parts of a drawn tag, for tests and hit tests.
struct TagGeometry {
    platform::Point Points[2];           // the tagged curve point(s)
    platform::Rect TextBox{0, 0, 0, 0};  // the value text
    platform::Point LineEnds[2];         // point tag: leader to the text corner; dimension: the dimension line
};
// Where a tag (kinds 7, 8, 9) is drawn; false for other kinds or curves gone.
bool GetTagGeometry(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& tag,
                    TagGeometry* out);

// Draws the document's objects (group -1: all; else only the objects of that
// plot group's curves) over the plot: unselected ones first, selected ones on
// top. Objects of hidden or unplotted curves are left out; objects of a curve
// are clipped to its plot rectangle. Nothing while a run adds points.
void DrawPlotObjects(CDrawContext& dc, CANDoc& doc, const PlotObjectFrame& frame, int group);

// The view's frame for the drawing: draw area, text scale, colours.
PlotObjectFrame MakePlotObjectFrame(CAPView& view, CDrawContext& dc);
// DrawPlotObjects for a plot view.
void DrawPlotGraphics(CAPView& view, CDrawContext& dc, int group);
