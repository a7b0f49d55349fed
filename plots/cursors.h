// The two cursors of every plot curve in Cursor mode: where they stand (a
// branch, an offset into it and the X and Y shown), and the rules by which the
// keys, a chosen cursor function, a level search or the end of a run move them.
// The cursors of one plot group (of all groups with Align Cursors) move together
// to the same X.
//
// Every search here answers -1 when it finds nothing, and every move then
// leaves the cursor where it is.
#pragma once

#include <cstdint>
#include <optional>

#include "plots/andoc.h"
#include "plots/layout.h"

// Modes of a plot window (the document's modeCommand).
constexpr int32_t kPlotModeSelect = 17561;
constexpr int32_t kPlotModeCursor = 17577;

// Direction codes of the cursor keys; kCursorStepRight (761) is in andoc.h.
constexpr int32_t kCursorStepNone = 0;
constexpr int32_t kCursorStepLeft = 760;
constexpr int32_t kCursorBranchNext = 762;
constexpr int32_t kCursorBranchPrevious = 763;
// Shift with an arrow: the same directions for the right cursor.
constexpr int32_t kCursorShiftLeft = 764;
constexpr int32_t kCursorShiftBranchPrevious = 767;

// Cursor functions (CANDoc::CursorFunction); kCursorNextDataPoint (18670) is in andoc.h.
constexpr int32_t kCursorNextInterpolated = 18671;
constexpr int32_t kCursorPeak = 18672;
constexpr int32_t kCursorValley = 18673;
constexpr int32_t kCursorHigh = 18674;
constexpr int32_t kCursorLow = 18675;
constexpr int32_t kCursorInflection = 18676;
constexpr int32_t kCursorGlobalHigh = 18677;
constexpr int32_t kCursorGlobalLow = 18678;
constexpr int32_t kCursorBottom = 18685;
constexpr int32_t kCursorTop = 18686;

// The store column a cursor reads for an axis: the curve's X or Y column, or
// for polar and Smith curves the real-value columns that take their place.
int CursorColumn(const PlotCurve& curve, int axis);
// The cursor's point: the first point of its branch plus its offset; -1 when
// the cursor stands on no branch of the curve.
int CursorPoint(const CANDoc& doc, int curve, int cursor);
// The cursor's branch and offset from a point: the branch found, or -1 (the
// cursor unchanged) when the point belongs to no branch.
int SetCursorRun(CANDoc& doc, int curve, int cursor, int point);
// In Cursor mode while a run adds points, the cursors follow the run: the left
// one takes the run's first drawn point (`runPointIndex` reaching the curve's
// TrackFrom), the right one the newest point, with the newest value, and it
// becomes the active cursor.
void FollowNewestPoint(CANDoc& doc, int curve, int runPointIndex);

// The point a cursor function reaches from `start` in a direction; -1 when
// there is none (outside Cursor mode, a start on no branch, an empty branch,
// Next Interpolated Data Point and Top/Bottom, which are no point searches).
int FindCursorPoint(CANDoc& doc, int start, int direction, int curve, int function);
// The first pair of points (j, j + 1) of a branch between which the store
// column of slot `slot` crosses `level`, scanning from the offset to the end
// and then from the branch's start; for a digital Y the point whose state
// letter is the level's. *out receives the X of the crossing (the level itself
// on the X column). -1 when nothing crosses.
int FindLevel(CANDoc& doc, int curve, double level, int slot, int startOffset, int run, double* out);
// The curve's Y at X from point `start` to the end of its branch (linear or log
// per axis; a digital curve holds its state). The point of the interval used.
int InterpolateCurveAtX(CANDoc& doc, int curve, double x, int start, double* y);
// The cursor X that Next Interpolated Data Point moves to from `x`: a step of
// the axis's decimal grid on a linear X axis, the next counted grid value of a
// log X axis. Up and down keep the grid value.
double NextInterpolatedX(const PlotCurve& curve, double x, int direction, bool minorLogGrids);

// Where the cursors go: the document places them (CANDoc::MoveCursor); a view
// also erases and redraws them around the move.
class CursorPlacer {
public:
    virtual ~CursorPlacer() = default;
    virtual int Place(int curve, int cursor, int point, std::optional<double> x) = 0;
};
// Places the cursors in the document alone.
class DocumentCursorPlacer final : public CursorPlacer {
public:
    explicit DocumentCursorPlacer(CANDoc& doc) : doc_(doc) {}
    int Place(int curve, int cursor, int point, std::optional<double> x) override;

private:
    CANDoc& doc_;
};

// Moves a cursor of the current curve by a cursor function; false (nothing
// moved) outside Cursor mode or when the function finds no point.
bool MoveCursorByMode(CANDoc& doc, CursorPlacer& placer, int cursor, int direction, int function);
// The key entry: with Keep Cursors on Same Branch a branch change (or no
// direction) first takes the other cursor along; then the cursor moves by the
// document's function and becomes the active one.
void CursorKey(CANDoc& doc, CursorPlacer& placer, int direction, int cursor);
// A command id of the cursor keys (760-767) as its direction and cursor.
bool CursorKeyCommand(int command, int* direction, int* cursor);
// Chooses a cursor function from the menu: Cursor mode on, the function stored
// and applied at once to the active cursor.
void ChooseCursorFunction(CANDoc& doc, CursorPlacer& placer, int function);
// A level search for `value` on the column of slot `slot` in a branch from an
// offset, then the move there; true when found.
bool MoveCursorToValue(CANDoc& doc, CursorPlacer& placer, int curve, double value, int cursor, int slot,
                       int startOffset, int run);
// After a run: both cursors of the first curve of every plot group go to the
// start and to the end of the first branch (an FFT curve's to the ends of its
// X range in the last branch).
void RestoreCursorPositions(CANDoc& doc, CursorPlacer& placer);
// Align Cursors switched on: the cursors of every group go to the X of the
// current curve's cursors.
void AlignAllCursors(CANDoc& doc, CursorPlacer& placer);
