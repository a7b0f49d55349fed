// Plot layout and the screen transform of the analysis plot windows.
//
// A window shows its curves in up to nine plot groups, one per plot number.
// After the curves of a run are built they are prepared for display (plot
// numbers packed, digital mixes, shared ranges, scale factors); every full
// redraw then lays the groups out in the view's draw area from the plot font's
// metrics and the widths of the scale labels, and sets the screen transform of
// every curve axis (PlotCurve::ToDevice and friends in plots/curve.h).
//
// The view that draws (the plot window, a print or an export) describes itself
// in a PlotViewInfo; the per-document results live in a PlotLayout the
// document keeps. Rectangles are in the logical units of the drawing context,
// right and bottom exclusive as in platform::Rect.
#pragma once

#include <cstdint>
#include <string>

#include "core/fontspec.h"
#include "expr/complex.h"
#include "platform/types.h"
#include "plots/curve.h"

class CANDoc;
class CAPDoc;
class CDrawContext;

// The most plot groups a window shows.
constexpr int kMaxPlotGroups = 9;
// Device coordinates ToDevice keeps within (1000 inside the 32-bit limits).
constexpr int32_t kDeviceLimitHigh = 2147482647;
constexpr int32_t kDeviceLimitLow = -2147482648;

// View kinds the layout tells apart.
constexpr int kViewKindAnalysis2D = 5;
constexpr int kViewKindThumbnail = 8;
constexpr int kViewKindPerformance = 12;

// Messages of the plot-group checks.
enum PlotLayoutMessage : int {
    kMsgLogLinearMix = 13802,    // "%EWaveforms in the same graph must have the same log/linear option."
    kMsgPlotTypeMix = 13804,     // "%EWaveforms in same graph must have the same Plot Type."
    kMsgDifferentXExpr = 13807,  // "%EDifferent X expressions for the same graph."
};
void RegisterPlotLayoutMessages();

// What a layout leaves in its document.
struct PlotLayout {
    int32_t PlotGroupCount = 0;  // highest plot number in use
    int32_t CharWidth = 0;       // maximum character width of the plot font
    int32_t LineHeight = 0;      // text height plus external leading
    int32_t ScaleAreaWidth = 0;  // left margin for the Y scales
    int32_t TitleLines = 2;      // lines above the plots: title lines plus one free line
    int32_t GridDivisions[2] = {5, 5};
    FontSpec Font;         // the document's plot font
    FontSpec WorkingFont;  // its copy, made smaller when the grid is too dense
};

// View option bits of an analysis kind (CANDoc::ViewOptions) the plot reads.
constexpr int32_t kViewRuler = 0x2;
constexpr int32_t kViewHorizontalGrids = 0x8;  // grid lines across the X axis
constexpr int32_t kViewVerticalGrids = 0x10;   // grid lines across the Y axis
constexpr int32_t kViewMinorLogGrids = 0x20;
constexpr int32_t kViewBaseline = 0x10000;

// What the layout and the frame drawing need to know of the view, the device
// it draws on and the document's plot options.
struct PlotViewInfo {
    platform::Rect DrawArea{0, 0, 0, 0};
    int ViewKind = kViewKindAnalysis2D;
    int DocumentKind = kViewKindAnalysis2D;
    bool CursorMode = false;  // the view's mode is Cursor (17577)
    bool Tokens = false;      // the Tokens view option
    int ProbeMode = 0;        // the probe mode (0 none; 1 and 3 show no legends)
    // Width of one cursor readout column (0: the width of 17 digits).
    int CursorColumnWidth = 0;
    bool Display = true;  // a screen (also print preview); false for printers and pictures
    // The document's clip rectangle is set (partial redraws): nothing is erased.
    bool ClipRectSet = false;
    // The document title (CANDoc::FormatTitle), empty for none, and the date
    // and time stamp beside it (empty for none).
    std::string Title;
    std::string Stamp;
    // "Left" and "Right" as the cursor headings show them.
    std::string LeftText = "Left", RightText = "Right";
    int CurrentCurve = 0;

    // ---- grids and scales
    int32_t ViewOptions = kViewHorizontalGrids | kViewVerticalGrids | kViewMinorLogGrids;
    bool PlusMark = false;
    bool MinorLogGrids25 = false;  // minor log grid lines only at 2 and 5 times a decade
    bool LabelAllMinorGrids = false;
    bool GridByDivisions = false;  // linear grids by division count, ignoring the steps
    bool SameYScales = false;
    // ---- colours (colour indexes) and pens
    int GridColor = 0;
    int BackgroundColor = 15;
    int BaselineColor = 12;
    int TextColor = 0;  // the general text colour
    int GridWidth = 1;
    int GridPattern = 2;  // line pattern of the normal grid lines (2 dotted)
    bool MonochromePrint = false;
};

// ---- preparing the curves of a run

// For a = 1..9: when no plotted curve uses plot number a, every plotted curve
// with a higher number is lowered by one. IndexInPlot becomes the order within
// the plot group (array index + 10 for curves without a plot number).
void PackPlotNumbers(PlotCurveArray& curves);
// PlotDigital of every curve: per plot number 1 all digital, 0 none, 2 mixed.
void ComputePlotDigital(PlotCurveArray& curves);
// Scale factors of X then Y of every plotted or listed curve, then the ranges
// and grid steps saved as the Prev* values; stops when *stopFlag is set.
void ApplyScaleFactors(PlotCurveArray& curves, const int32_t* stopFlag = nullptr);
// Everything above in order, with the shared ranges of fitted axes, digital
// ranges 0..20, the plot groups' common ranges and the Y scale owners.
void PrepareCurveLayout(PlotCurveArray& curves, bool sameYScales, const int32_t* stopFlag = nullptr);

// ---- axis transform and ranges

// The transform of one axis: the high end of the range lies at `origin`
// (PlotRect.right for X, PlotRect.top for Y), `extent` device units from the
// low end. Degenerate ranges are widened and non-positive log ends replaced.
// On the Y axis of a digital curve also its band (DigitalLowY, DigitalHighY).
void SetAxisTransform(PlotCurveArray& curves, int curve, int axis, int extent, int origin, int lineHeight);
// Bands of a digital plot group: 10, or fewer when a band would be lower than
// a text line; at least the number of digital curves of the group. 10 for
// analog curves.
int DigitalBandCount(const PlotCurveArray& curves, int curve, int lineHeight);
// Grid divisions of an axis (decades on logarithmic axes), at least 1.
int GridDivisionCount(const PlotCurveArray& curves, const PlotLayout& layout, int curve, int axis);
// ToDeviceInt of the value a curve stores for the axis at a point.
int32_t StoredPointToDevice(CANDoc& document, int curve, int axis, int point);
// Takes the pair when it is usable on the axis (log: both > 0; magnitudes
// within 1e-50..1e50, 0 allowed on linear axes).
bool SetAxisRange(PlotCurve& curve, int axis, double low, double high);
// Swaps the ends so that they run ascending or descending.
void OrderAxisRange(bool ascending, PlotCurve& curve, int axis);

// ---- texts

// "%s (%s)" of the expression and the unit text, or the expression alone;
// AxisTitle[axis] takes it.
void BuildAxisLabel(PlotCurve& curve, int axis);
// The unit text of an axis: the scale prefix and the unit name.
std::string AxisUnitText(const PlotCurve& curve, int axis);
// A complex value as a readout: (re, im), or with polarForm the polar form
// (magnitude and degrees) of a polar plot or the impedance of a Smith chart's
// reflection coefficient.
std::string FormatComplexValue(const PlotCurve& curve, const ComplexNumber& z, bool polarForm);

// The first curve of each plot group sets the plot type, log/linear choice
// and X expression the others must share; the first difference is reported
// through the document (which ends the run). 0 or the message id.
int CheckPlotGroups(CAPDoc& document);

// ---- the layout

// Replaces the context's font by the working plot font (reset: the working
// copy is first set back to the document's font).
void CreatePlotFont(CDrawContext& dc, PlotLayout& layout, bool reset);
// The left margin the Y scales need; sets every curve's ScaleLabelWidth.
int MeasureScaleArea(CDrawContext& dc, PlotCurveArray& curves, PlotLayout& layout, const PlotViewInfo& view);
// Lays the plot groups out in view.DrawArea: PlotRect, CellRect, legend and
// label positions, transforms and clip regions of every curve. 0, or 1 when a
// nested layout (with a smaller font for a too dense grid) failed. The
// context's font is left as it was.
int LayoutPlot(CDrawContext& dc, PlotCurveArray& curves, PlotLayout& layout, const PlotViewInfo& view, int depth = 0);

// The bounds of the plot group `group` (1..9): the PlotRect of its first
// curve; an empty rectangle when no plotted curve has that number.
DeviceRect PlotGroupRect(const PlotCurveArray& curves, int group);
