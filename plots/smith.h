// Smith charts and polar grids: a plot group of polar or Smith curves is drawn
// in the circle the plot layout fixes (PolarCenter, PolarRadius, PolarMax).
// The Smith chart shows circles of constant normalised resistance and arcs of
// constant normalised reactance; the polar grid ten rings and six diameters.
// The cursors reuse the circle geometry.
#pragma once

#include <string>
#include <vector>

#include "plots/curve.h"

class CANDoc;
class CDrawContext;
struct PlotViewInfo;

// The normalised resistances of the Smith chart's circles and the reactances of
// its arcs (each drawn for +x and -x).
extern const double kSmithResistances[7];
extern const double kSmithReactances[8];

// The bounding box of the constant-resistance circle r.
DeviceRect ResistanceCircleRect(const PlotCurve& curve, double r);
// The constant-reactance circle x: its bounding box, and the ends of the arc
// drawn inside the chart, counterclockwise from Start to End. Rim is the end on
// the chart's rim.
struct ReactanceArcGeometry {
    DeviceRect Box;
    DeviceXY Start, End, Rim;
};
ReactanceArcGeometry ReactanceArc(const PlotCurve& curve, double x);
// The chart circle's bounding box.
DeviceRect ChartCircleRect(const PlotCurve& curve);

// The texts of the Smith labels: the resistance circles' in list order, then
// the arcs' for +x and for -x; each "%g" of the value times the Smith scale.
std::vector<std::string> SmithCircleLabels(const PlotCurve& curve);
std::vector<std::string> SmithArcLabels(const PlotCurve& curve);
// The polar ring labels k x 0.1 in the Y scale format, for k = 1..10; only the
// odd rings when a tenth of the radius is narrower than `textWidth100` (the
// width of "100"), the others then empty.
std::vector<std::string> PolarRingLabels(const PlotCurve& curve, int textWidth100);

// The value at the rim of a polar curve: the largest magnitude of the last run
// that has a non-zero one (1 when none); while `runFinished` the stored value.
// Smith and rectangular curves: 1.
double ComputePolarMax(CANDoc& doc, int curve, bool runFinished);

// Paints the inside of the chart in the background colour: only for the first
// curve of its group, on a raster display, and not while drawing for output.
void FillChartBackground(CDrawContext& dc, const PlotCurve& curve, const DeviceRect& ellipse, const PlotViewInfo& view,
                         bool drawingForOutput);
// The grids with their labels, in the context's current pen, brush and font.
void DrawSmithChart(CDrawContext& dc, const PlotCurve& curve, const PlotViewInfo& view, bool drawingForOutput = false);
void DrawPolarGrid(CDrawContext& dc, const PlotCurve& curve, const PlotViewInfo& view, bool drawingForOutput = false);

// Before a layout: every polar curve's PolarMax (kept while `runFinished`).
void PrepareComplexPlanes(CANDoc& doc, bool runFinished);
// After the frames: the grid of every polar or Smith plot group.
void DrawComplexPlaneGrids(CDrawContext& dc, const CANDoc& doc, const PlotViewInfo& view, bool drawingForOutput);
