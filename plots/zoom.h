// What the plot view changes of the shown ranges without rerunning the
// analysis: zoom in and out, a zoom box, scrolling by a tenth of the range,
// dragging the plot, keeping the X scales of plot groups the same, restoring
// the scales of the last fitting, normalizing a curve, and choosing the current
// curve. These act on the document's curves; the view redraws the groups they
// report as changed.
#pragma once

#include <cstdint>
#include <vector>

#include "plots/apdoc.h"

class CursorPlacer;

// Commands of the plot view.
constexpr int32_t kCmdZoomIn = 17504;
constexpr int32_t kCmdZoomOut = 17505;
constexpr int32_t kCmdScrollLeft = 17634;   // Ctrl+Left
constexpr int32_t kCmdScrollRight = 17635;  // Ctrl+Right
constexpr int32_t kCmdScrollUp = 17636;     // Ctrl+Up
constexpr int32_t kCmdScrollDown = 17637;   // Ctrl+Down
constexpr int32_t kCmdRestoreLimitScales = 17632;
constexpr int32_t kCmdNormalizeAtCursor = 17268;
constexpr int32_t kCmdNormalizeAtMinimum = 17269;
constexpr int32_t kCmdNormalizeAtMaximum = 17270;
constexpr int32_t kCmdPreviousCurve = 768;  // Shift+Tab
constexpr int32_t kCmdNextCurve = 769;      // Tab
constexpr int32_t kCmdAutoScale = 17168;
constexpr int32_t kCmdAlignCursors = 17188;

// Which axes the range commands may change ("Enable X Scaling", "Enable Y
// Scaling"), and whether plot groups that share an X expression keep one X range.
struct ScaleSwitches {
    bool Axis[2] = {true, true};
    bool KeepXScalesSame = false;
};

// The plotted curves of the plot group of `curve` (the curve itself when it is
// in no group).
std::vector<int> PlotGroupCurves(const CANDoc& doc, int curve);
// Whether a range may be shown: the ends' magnitudes strictly between 1e-50 and
// 1e50 (0 allowed on a linear axis), both ends positive on a log axis.
bool AxisRangeAllowed(double low, double high, bool linear);
// Sets an axis range through the check above (the span follows); false, the
// range unchanged, when it is refused.
bool SetCheckedRange(PlotCurve& curve, int axis, double low, double high);

// Zoom in (a quarter of the span off each end) or out (half the span added to
// each end) on the group of `curve`, for the enabled axes (never the Y of a
// digital curve). The curves changed.
std::vector<int> ZoomPlotGroup(CANDoc& doc, int curve, bool zoomIn, const ScaleSwitches& switches);
// Ctrl+arrow: a tenth of the span along the axis, or a decade on a log axis
// (as long as its low end stays positive), on every rectangular curve of the
// group. The curves changed; none when the axis is not enabled.
std::vector<int> ScrollPlotGroup(CANDoc& doc, int curve, int command, const ScaleSwitches& switches);
// The zoom box: each curve of the group takes the range between the values
// at the two corners (`corner1`/`corner2` per curve and axis, as the screen
// transform gives them), in the axis's earlier direction. Curves whose corner
// values agree in X (or in Y, for analog curves) are left alone.
struct CornerValues {
    double First[2] = {};
    double Second[2] = {};
};
std::vector<int> ZoomGroupToValues(CANDoc& doc, int curve, const std::vector<CornerValues>& corners,
                                   const ScaleSwitches& switches);
// Dragging: each enabled axis of the group moves by the value difference
// between `from` and `to` (a factor on a log axis, as long as the low end
// stays positive). `values` holds per group curve the values at from and to.
std::vector<int> PanGroupByValues(CANDoc& doc, int curve, const std::vector<CornerValues>& values,
                                  const ScaleSwitches& switches);
// Every curve of another group whose X expression is the same as the curve's
// takes its X range. The first curve of each group changed.
std::vector<int> AlignXScales(CANDoc& doc, int curve);
// Before zoom in and out, a zoom box and a right-button drag: an undo entry
// "Scale" holding the ranges of every plotted curve (nothing while the document
// suppresses undo). Undoing swaps them with the curves' ranges, so redo swaps back.
void SaveScaleUndo(CAPDoc& doc);
constexpr int32_t kUndoScale = 13;

// The ranges and grid steps of the last fitting come back; true when any did.
bool RestoreLimitScales(CANDoc& doc);

// Normalizing the current curve by a command: at the active cursor's Y, at its
// smallest or at its largest stored Y. A curve normalized by another command is
// first restored; choosing the same command again restores it. Digital curves
// and a factor of 0 change nothing. True when the stored values changed; the
// cursors are then placed again to show the new values.
bool NormalizeByCommand(CANDoc& doc, CursorPlacer& placer, int command);
// Divides (or, for a curve whose Y uses DB, subtracts) every stored Y of the
// current curve by the factor, or undoes the curve's normalization. Only the
// curve's own Y column is written. True when values changed.
bool NormalizeCurve(CANDoc& doc, int command, double factor);
// Whether the expression uses the DB function.
bool ExpressionUsesDb(const CompiledExpression* expr);

// Tab and Shift+Tab: the curve after (before) the current one, wrapping round;
// -1 without curves.
int NeighbourCurve(const CANDoc& doc, bool next);

class CG2DDoc;
// The switches of the kind the document shows (its window settings).
ScaleSwitches ScaleSwitchesOf(CG2DDoc& doc);
