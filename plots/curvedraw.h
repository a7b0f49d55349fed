// Drawing whole curves from the stored data points, run by run: on a repaint,
// a rescale, a printout, a copy to the clipboard or at the end of a run.
//
// A long run holds millions of points, so the drawing is bounded by the screen,
// not by the data: collinear device points collapse into one segment, the
// points of one pixel column into at most four, and points far outside the
// plot are cut away. The result is kept per run (PlotCurve::RunTables) and the
// next redraw of an unchanged plot draws from it. While an analysis runs
// nothing is kept, since the data still grows.
//
// Drawing can be stopped with Esc (AnalysisRunFlags::AbortRequested) and shows
// its progress in the status bar for curves of more than 100000 points.
#pragma once

#include <vector>

#include "plots/segments.h"

// The polylines of polar and Smith plots are drawn by their grids' owner.
class ComplexPlaneRuns {
public:
    virtual ~ComplexPlaneRuns() = default;
    virtual void DrawPolarRun(CurvePainter& painter, int curve, int run) = 0;
    virtual void DrawSmithRun(CurvePainter& painter, int curve, int run) = 0;
};
// Installs the drawer (null: none); returns the one installed before.
ComplexPlaneRuns* InstallComplexPlaneRuns(ComplexPlaneRuns* runs);

// Polyline calls take at most this many points.
constexpr int kPolylinePieceSize = 4096;

// Draws runs firstRun..lastRun of curves firstCurve..lastCurve; plotNumber -1
// takes every plot group, otherwise only curves of that plot number.
// skipCursorRuns leaves out the two runs of the current curve that its cursors
// are on. 0, or kResultNotBuilt when a polar or Smith run found no drawer.
int PlotDataPoints(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view, int plotNumber, int firstRun, int lastRun,
                   int firstCurve, int lastCurve, bool skipCursorRuns);

// Every run of every plotted curve. With several runs in a 2D analysis view
// and the "Select Curve Color" preference on, the current curve's two cursor
// branches are drawn last, over the other branches.
int PlotAllCurves(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view, int plotNumber);

// Appends the point unless it equals the last one stored or lies outside rect
// (edges included); true when appended.
bool AppendPointIfNew(std::vector<DeviceXY>& buffer, DeviceXY point, const DeviceRect& rect);

// The points of one pixel column become its first point, its lowest and
// highest point in the order they came, and its last point: a one-pixel line
// through them covers the same pixels.
void SqueezePixelColumns(std::vector<DeviceXY>& points);
