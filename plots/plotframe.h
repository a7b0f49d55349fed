// Everything of an analysis plot that is not a curve: the frame of each plot
// group, its grid lines (with the Ruler, Plus Mark and Baseline variants), the
// scale numbers of linear and logarithmic axes, the axis labels and legend
// entries with their value readouts, and the title.
//
// Drawing goes through a CDrawContext only, so the same calls paint a window,
// an image or a page. The positions come from the layout (plots/layout.h),
// which must have run for the same context.
#pragma once

#include <string>
#include <vector>

#include "plots/layout.h"

class CDrawContext;
class CG2DDoc;

// ---- the values of grids and scales

struct GridValue {
    double Value = 0;
    bool Bold = false;
};
// The grid lines of a linear axis. Without a step, or by divisions: the low
// end and `divisions` equal parts. With a step: the multiples of the step in
// the range, bold on multiples of `minorStep`; none when more than ten lines
// would fall on one of `axisPixels` pixels, at most 20000.
std::vector<GridValue> LinearGridValues(double low, double high, double step, double minorStep, int divisions,
                                        bool byDivisions, int axisPixels);

// One value of the 1, 2, ... 9, 10, 20 ... sequence of a logarithmic axis.
struct LogScaleValue {
    double Value = 0;
    int Counter = 1;      // 1 at each decade, then 2, 3, ...
    bool Decade = false;  // a new decade, or the last value of the range
    bool Below = false;   // below the range: counted, never drawn
};
// From the decade of `low` up to `high`; empty for a range that is not
// positive and finite.
std::vector<LogScaleValue> LogScaleSequence(double low, double high);
// The values that get a log grid line: every decade; every value with Minor
// Log Grids; only those at 2 and 5 times a decade with Minor Log Grids 2 5;
// without either, at least the first value.
std::vector<double> LogGridValues(double low, double high, bool minorLogGrids, bool minorLog25);
// A labelled value of a linear scale; End marks a range end that is no
// multiple of the step.
struct ScaleValue {
    double Value = 0;
    bool End = false;
};
// The labelled values of a linear scale with a step, in ascending order: the
// low end when it is no multiple of the step, the multiples within the range
// (none when there would be more than maxCount), the high end when it is none.
std::vector<ScaleValue> LinearScaleValues(double low, double high, double step, int maxCount);

// ---- drawing

// A scale label's text: the value in the axis's scale format. Under the scale
// factor "None" the number carries its suffix letter (each value its own on a
// logarithmic axis); otherwise the axis title carries the prefix.
std::string ScaleLabelText(const PlotCurve& curve, int axis, double value);
// The labels a scale draws, in drawing order, and where: a Y label that would
// overlap the one before it is left out, and so are log labels that give way
// to others. None for complex-plane curves. The layout must have run.
struct ScaleLabel {
    std::string Text;
    platform::Rect Rect{0, 0, 0, 0};
};
std::vector<ScaleLabel> PlaceScaleLabels(const CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis,
                                         const PlotLayout& layout, const PlotViewInfo& view);
// Scales of one axis of a curve: draws them (or only measures with draw
// false) and returns the widest label.
int DrawLinearScale(CDrawContext& dc, PlotCurveArray& curves, int curve, int axis, bool draw, const PlotLayout& layout,
                    const PlotViewInfo& view);
int DrawLogScale(CDrawContext& dc, PlotCurveArray& curves, int curve, int axis, bool draw, const PlotLayout& layout,
                 const PlotViewInfo& view);
// The number of Y scales of the curve's group drawn before it.
int YScaleSlot(const PlotCurveArray& curves, int curve);

// Frames and grids of one plot group (-1: all).
void DrawPlotGroup(CDrawContext& dc, PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                   int group);
// Scales of one curve: the X scale for the first curve of its group, the Y
// scale when the curve draws one; the scale areas erased first on a display.
void DrawCurveScales(CDrawContext& dc, PlotCurveArray& curves, int curve, const PlotLayout& layout,
                     const PlotViewInfo& view);
// The Y legend entry or the X label of a curve; with values also the newest
// value (outside Cursor mode) or the cursor readouts.
void DrawLegendEntry(CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis, bool withValues,
                     const PlotLayout& layout, const PlotViewInfo& view);
// Per curve of the group (-1: all): its scales, its Y entry and its X label.
void DrawGroupLegends(CDrawContext& dc, PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                      int group);
// Frames and grids, then scales and legends.
void DrawScalesAndTitles(CDrawContext& dc, PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                         int group);
// The text of a slope cell of the cursor readout: the change of the numerator
// axis over the denominator axis between the two cursors (method 0 plain,
// 1 per octave, 2 per decade; any other method an empty text), "INF" when the
// denominator vanishes.
std::string SlopeCellText(const PlotCurve& curve, int denominatorAxis, int numeratorAxis, int method);
// Only the legend entries (with or without readouts) of the group (-1: all).
void RedrawScales(CDrawContext& dc, const PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                  bool withValues, int group);
// The title (and stamp) above the first plot.
void DrawTitle(CDrawContext& dc, const PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view);
// How the title is set in a width: "Temperature" shortened to "Temp" when it
// does not fit, then split at the blank after the first '=' past the middle
// when two lines are allowed and it still does not fit. One or two lines.
std::vector<std::string> FitTitle(const CDrawContext& dc, std::string title, const std::string& stamp, int width,
                                  int titleLines);
// A curve colour equal to the background, or a second style colour equal to
// the general text colour, becomes its XOR 15; true when one changed (a 2D
// analysis document then stores the style in the curve's row).
bool FixCurveContrast(PlotCurve& curve, const PlotViewInfo& view);
// The same for every plotted curve of a 2D analysis document, the changed
// colours written back into the curves' rows.
void FixCurveContrasts(CG2DDoc& document, const PlotViewInfo& view);
// The colour of a curve's texts: its curve colour, XOR 15 when that is the background.
int CurveTextColor(const PlotCurve& curve, const PlotViewInfo& view);

// Everything but the curves, cursors and graphic objects, in the order the
// window draws them: layout, background outside the frames (full redraws on a
// display), frames and grids, scales and legends, title. 0, or 1 when the
// layout failed.
int DrawPlotFrame(CDrawContext& dc, PlotCurveArray& curves, PlotLayout& layout, const PlotViewInfo& view);
