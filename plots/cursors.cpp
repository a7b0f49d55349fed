#include "plots/cursors.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/numout.h"
#include "core/services.h"
#include "shell/preferences.h"

namespace {

// The document's store as the interpolation reads it.
class cu_Source final : public CurvePointSource {
public:
    explicit cu_Source(CANDoc& doc) : doc_(doc) {}
    double Value(int column, int index) override { return doc_.GetValue(column, index); }
    std::string DigitalText(const NumericCurve&, double) override { return {}; }

private:
    CANDoc& doc_;
};

bool cu_Complex(const PlotCurve& c) { return c.PlotType == kPlotPolar || c.PlotType == kPlotSmith; }

bool cu_ValidCurve(const CANDoc& doc, int curve) { return curve >= 0 && curve < doc.CurveCount(); }

// Branches the curve records bounds for.
int cu_RunCount(const CANDoc& doc, const PlotCurve& c) {
    const size_t n = std::min({static_cast<size_t>(std::max(doc.Runs.Count, 0)), c.RunFirst.size(), c.RunLast.size()});
    return static_cast<int>(n);
}

int cu_First(const PlotCurve& c, int run) { return c.RunFirst[static_cast<size_t>(run)]; }
int cu_Last(const PlotCurve& c, int run) { return c.RunLast[static_cast<size_t>(run)]; }

int cu_WrapRun(int run, int count) {
    if (count <= 0) return -1;
    return ((run % count) + count) % count;
}

// Log flags of InterpolateAtX: 1 the search column, 2 the value column.
int cu_LogFlags(bool searchLog, bool valueLog) { return (searchLog ? 1 : 0) | (valueLog ? 2 : 0); }

char cu_StateLetter(double value) {
    const uint64_t state = value > 0 ? static_cast<uint64_t>(value) : 0;
    return kDigitalStateLetters[state & 7];
}

struct cu_Search {
    CANDoc& doc;
    const PlotCurve& curve;
    int xColumn, yColumn;

    double X(int i) { return doc.GetValue(xColumn, i); }
    double Y(int i) { return doc.GetValue(yColumn, i); }

    // Next Simulation Data Point: a step along the branch (wrapping at its
    // ends), or the nearer point at the same X on a neighbouring branch.
    int NextDataPoint(int p, int run, int step, int branchStep) {
        const int count = cu_RunCount(doc, curve);
        if (branchStep != 0) {
            const int target = cu_WrapRun(run + branchStep, count);
            if (target < 0) return -1;
            const int first = cu_First(curve, target), last = cu_Last(curve, target);
            if (last < first) return -1;
            const double v = X(p);
            for (int i = first; i < last; ++i) {
                const double a = X(i), b = X(i + 1);
                if ((a <= v && v <= b) || (b <= v && v <= a)) return std::fabs(b - v) < std::fabs(a - v) ? i + 1 : i;
            }
            return v < X(first) ? first : last;
        }
        const int first = cu_First(curve, run), last = cu_Last(curve, run);
        const int low = std::min(first + std::max(curve.TrackFrom, 0), last);
        int r = p + step;
        if (r > last) r = low;
        if (r < low) r = last;
        return r;
    }

    // The first point with the largest (high) or smallest Y of [first, last].
    int Extreme(int first, int last, bool high) {
        if (last < first) return -1;
        int best = first;
        double value = Y(first);
        for (int i = first + 1; i <= last; ++i) {
            const double y = Y(i);
            if (high ? y > value : y < value) {
                value = y;
                best = i;
            }
        }
        return best;
    }

    // Peak, Valley and Inflection: the next turn of the trend in the
    // direction, wrapping once round the branch back to p.
    int Turn(int p, int run, int step, int function) {
        const int first = cu_First(curve, run), last = cu_Last(curve, run);
        const bool peakLike = function == kCursorPeak || function == kCursorInflection;
        const int compareFrom = function == kCursorInflection ? 3 : 2;
        int i = p, prev = -1, count = 0, trend = 0;  // trend: 1 rising, -1 falling
        double prevF = 0;
        bool wrapped = false;
        for (;;) {
            double f = 0;
            if (function == kCursorInflection) {
                if (prev >= 0) {
                    const double dx = X(prev) - X(i);
                    f = dx == 0 ? 0 : std::fabs((Y(prev) - Y(i)) / dx);
                }
            } else {
                f = Y(i);
            }
            ++count;
            if (count >= compareFrom) {
                if (f < prevF) {
                    if (trend == 1 && peakLike) return prev;
                    trend = -1;
                } else if (f > prevF) {
                    if (trend == -1 && function == kCursorValley) return prev;
                    trend = 1;
                }
            }
            prevF = f;
            prev = i;
            if (wrapped && i == p) break;
            i += step;
            if (i > last || i < first) {
                if (wrapped) break;  // a start the wrapped scan cannot meet again
                const int end = i - step;
                if (trend == -1 && function == kCursorValley) return end;
                if (trend == 1 && peakLike) return end;
                wrapped = true;
                i = step > 0 ? first + 1 : last - 1;
                if (i > last || i < first) break;
                prev = -1;
                count = 0;
                trend = 0;
            }
        }
        if (function == kCursorInflection) return p;
        return Extreme(first, last, function == kCursorPeak);
    }
};

}  // namespace

int CursorColumn(const PlotCurve& curve, int axis) {
    return curve.DataColumn[cu_Complex(curve) ? kSlotXRealValue + axis : axis];
}

int CursorPoint(const CANDoc& doc, int curve, int cursor) {
    if (!cu_ValidCurve(doc, curve) || cursor < 0 || cursor > 1) return -1;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    const int run = c.CursorRun[cursor];
    if (run < 0 || run >= cu_RunCount(doc, c)) return -1;
    return cu_First(c, run) + c.CursorOffset[cursor];
}

int SetCursorRun(CANDoc& doc, int curve, int cursor, int point) {
    if (!cu_ValidCurve(doc, curve) || cursor < 0 || cursor > 1) return -1;
    PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    const int run = FindRunOfPoint(point, c, doc.Runs);
    if (run < 0) return -1;
    c.CursorRun[cursor] = run;
    c.CursorOffset[cursor] = point - cu_First(c, run);
    return run;
}

void FollowNewestPoint(CANDoc& doc, int curve, int runPointIndex) {
    if (doc.modeCommand != kPlotModeCursor || !cu_ValidCurve(doc, curve)) return;
    PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    if (!c.HasPoint()) return;
    if (runPointIndex == c.TrackFrom) doc.MoveCursor(curve, 0, c.PointIndex);
    if (SetCursorRun(doc, curve, 1, c.PointIndex) < 0) return;
    doc.ActiveCursor = 1;
    c.CursorX[1] = c.Value[kAxisX];
    c.CursorY[1] = c.Value[kAxisY];
}

int FindCursorPoint(CANDoc& doc, int start, int direction, int curve, int function) {
    if (doc.modeCommand != kPlotModeCursor || !cu_ValidCurve(doc, curve)) return -1;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    int run = FindRunOfPoint(start, c, doc.Runs);
    if (run < 0) return -1;
    int step = direction == kCursorStepLeft ? -1 : direction == kCursorStepRight ? 1 : 0;
    const int branchStep = direction == kCursorBranchNext ? 1 : direction == kCursorBranchPrevious ? -1 : 0;
    cu_Search search{doc, c, CursorColumn(c, kAxisX), CursorColumn(c, kAxisY)};
    int p = start;
    switch (function) {
    case kCursorNextDataPoint: return search.NextDataPoint(p, run, step, branchStep);
    case kCursorPeak:
    case kCursorValley:
    case kCursorInflection:
        if (step == 0) {
            if (branchStep == 0) return -1;
            p = search.NextDataPoint(p, run, 0, branchStep);
            if (p < 0) return -1;
            run = FindRunOfPoint(p, c, doc.Runs);
            p = std::max(p - 1, cu_First(c, run));
            step = 1;
        }
        return search.Turn(p, run, step, function);
    case kCursorHigh:
    case kCursorLow:
        if (branchStep != 0) {
            p = search.NextDataPoint(p, run, 0, branchStep);
            if (p < 0) return -1;
            run = FindRunOfPoint(p, c, doc.Runs);
        }
        return search.Extreme(cu_First(c, run), cu_Last(c, run), function == kCursorHigh);
    case kCursorGlobalHigh:
    case kCursorGlobalLow: return search.Extreme(std::max(c.TrackFrom, 0), c.PointIndex, function == kCursorGlobalHigh);
    default: return -1;
    }
}

int FindLevel(CANDoc& doc, int curve, double level, int slot, int startOffset, int run, double* out) {
    if (!cu_ValidCurve(doc, curve) || slot < 0 || slot >= kCurveColumnSlots) return -1;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    if (run < 0 || run >= cu_RunCount(doc, c)) return -1;
    const int first = cu_First(c, run), last = cu_Last(c, run);
    if (last < first) return -1;
    const int column = c.DataColumn[slot];
    const bool digital = c.IsDigital && slot == kSlotY;
    const char levelLetter = cu_StateLetter(level);
    auto matches = [&](int j) {
        if (digital) return cu_StateLetter(doc.GetValue(column, j)) == levelLetter;
        const double a = doc.GetValue(column, j), b = doc.GetValue(column, j + 1);
        return (a <= level && level <= b) || (a > level && level >= b);
    };
    const int start = first + std::clamp(startOffset, 0, last - first);
    int found = -1;
    for (int j = start; j < last && found < 0; ++j)
        if (matches(j)) found = j;
    for (int j = first; j < start && found < 0; ++j)
        if (matches(j)) found = j;
    if (found < 0) return -1;
    const int xSlot = cu_Complex(c) && slot >= kSlotXRealValue ? kSlotXRealValue : kSlotX;
    const int xColumn = c.DataColumn[xSlot];
    if (slot == xSlot) {
        *out = level;
    } else if (digital) {
        *out = doc.GetValue(xColumn, found);
    } else {
        cu_Source source(doc);
        InterpolateAtX(source, out, level, false, column, xColumn, found + 1, found,
                       cu_LogFlags(!c.AxisLinear[kAxisY], !c.AxisLinear[kAxisX]));
    }
    return found;
}

int InterpolateCurveAtX(CANDoc& doc, int curve, double x, int start, double* y) {
    if (!cu_ValidCurve(doc, curve)) return -1;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    int run = FindRunOfPoint(start, c, doc.Runs);
    const int yColumn = CursorColumn(c, kAxisY);
    if (run < 0) {
        *y = doc.GetValue(yColumn, start);
        return start;
    }
    cu_Source source(doc);
    return InterpolateAtX(source, y, x, c.IsDigital != 0, CursorColumn(c, kAxisX), yColumn, cu_Last(c, run), start,
                          cu_LogFlags(!c.AxisLinear[kAxisX], !c.AxisLinear[kAxisY]));
}

double NextInterpolatedX(const PlotCurve& curve, double x, int direction, bool minorLogGrids) {
    const double low = std::min(curve.RangeLow[kAxisX], curve.RangeHigh[kAxisX]);
    const double high = std::max(curve.RangeLow[kAxisX], curve.RangeHigh[kAxisX]);
    const int step = direction == kCursorStepLeft ? -1 : direction == kCursorStepRight ? 1 : 0;
    if (curve.AxisLinear[kAxisX]) {
        if (!(high > low)) return x;
        const double l = std::log10(high - low);
        const double e = l > 0 ? std::ceil(l) : std::floor(l);
        const double grid = std::pow(10.0, e) * 0.01;
        // Whole steps are counted as integers so that repeated moves do not drift.
        const double k = std::round(x / grid) + step;
        return k * grid;
    }
    if (!(low > 0) || !(high > 0)) return x;
    const double top = high * 1.000001;
    std::optional<double> lastBelow, firstNotBelow, firstAbove;
    for (int e = static_cast<int>(std::floor(std::log10(low))); e < 400; ++e) {
        const double decade = std::pow(10.0, e);
        if (decade > top) break;
        for (int m = 1; m <= 9; ++m) {
            const double v = m * decade;
            if (v > top) break;
            const double next = (m + 1) * decade;
            const bool counted = m == 1 || next > top || minorLogGrids;
            if (!counted) continue;
            if (v < x) lastBelow = v;
            if (v >= x && !firstNotBelow) firstNotBelow = v;
            if (v > x && !firstAbove) firstAbove = v;
        }
    }
    std::optional<double> chosen;
    if (step > 0) {
        chosen = firstAbove;
    } else if (step < 0) {
        chosen = lastBelow ? lastBelow : firstNotBelow;
    } else {
        chosen = firstNotBelow;
    }
    return chosen ? *chosen : x;
}

// ---- moving --------------------------------------------------------------------------------

int CANDoc::MoveCursor(int curve, int cursor, int point, std::optional<double> xValue) {
    if (!cu_ValidCurve(*this, curve) || cursor < 0 || cursor > 1) return -1;
    PlotCurve& r = Curves[static_cast<size_t>(curve)];
    const int run = FindRunOfPoint(point, r, Runs);
    if (run < 0) return -1;
    const double x = xValue ? *xValue : GetValue(CursorColumn(r, kAxisX), point);
    SetCursorRun(*this, curve, cursor, point);
    CurrentRun = run;
    const bool align = Prefs().alignCursors != 0;
    const bool rComplex = cu_Complex(r);
    cu_Source source(*this);
    int result = point;
    const int limit = std::min(std::max(PlottedCount, curve + 1), CurveCount());
    for (int i = 0; i < limit; ++i) {
        PlotCurve& c = Curves[static_cast<size_t>(i)];
        if (i != curve) {
            if (c.PlotNumber == 0) continue;
            if (!align && c.PlotNumber != r.PlotNumber) continue;
        }
        const bool iComplex = cu_Complex(c);
        double xi = x;
        if (i != curve && rComplex != iComplex) {
            // A curve of the other kind stands where r's X column has the value X.
            InterpolateAtX(source, &xi, x, false, CursorColumn(r, kAxisX), CursorColumn(c, kAxisX), cu_Last(r, run),
                           point, cu_LogFlags(!r.AxisLinear[kAxisX], !c.AxisLinear[kAxisX]));
            if (iComplex) c.CursorAux[cursor] = x;
        }
        const int yColumn = CursorColumn(c, kAxisY);
        double y = 0;
        int q = 0;
        if (c.PointIndex <= 0) {
            y = GetValue(yColumn, 0);
            if (iComplex) c.CursorAux[cursor] = GetValue(kSharedColumn, 0);
        } else {
            const int start = i == curve && !r.IsDigital ? point : RunStartOfPoint(r, Runs, point);
            q = InterpolateCurveAtX(*this, i, xi, start, &y);
            if (iComplex && rComplex) {
                const int cRun = FindRunOfPoint(start, c, Runs);
                if (cRun >= 0)
                    InterpolateAtX(source, &c.CursorAux[cursor], xi, false, CursorColumn(c, kAxisX), kSharedColumn,
                                   cu_Last(c, cRun), start, cu_LogFlags(!c.AxisLinear[kAxisX], false));
            }
            bool clamped = false;
            // Extremes are known once a point was tracked.
            if (!c.IsDigital && c.DataMax[kAxisX] >= c.DataMin[kAxisX]) {
                if (xi > c.DataMax[kAxisX] && c.XMaxPoint <= c.PointIndex) {
                    xi = c.DataMax[kAxisX];
                    q = c.XMaxPoint;
                    clamped = true;
                } else if (xi < c.DataMin[kAxisX] && c.XMinPoint <= c.PointIndex) {
                    xi = c.DataMin[kAxisX];
                    q = c.XMinPoint;
                    clamped = true;
                }
            }
            if (clamped || c.IsDigital) y = GetValue(yColumn, q);
        }
        c.CursorX[cursor] = xi;
        c.CursorY[cursor] = y;
        SetCursorRun(*this, i, cursor, q);
        result = q;
    }
    return result;
}

int DocumentCursorPlacer::Place(int curve, int cursor, int point, std::optional<double> x) {
    return doc_.MoveCursor(curve, cursor, point, x);
}

bool MoveCursorToValue(CANDoc& doc, CursorPlacer& placer, int curve, double value, int cursor, int slot,
                       int startOffset, int run) {
    double x = 0;
    const int j = FindLevel(doc, curve, value, slot, startOffset, run, &x);
    if (j < 0) return false;
    return placer.Place(curve, cursor, j, x) >= 0;
}

namespace {

// Top and Bottom: the branch with the highest or lowest Y at the cursor's X.
bool cu_MoveToExtremeBranch(CANDoc& doc, CursorPlacer& placer, int curve, int cursor, bool top) {
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    const int xSlot = cu_Complex(c) ? kSlotXRealValue : kSlotX;
    const double x = c.CursorX[cursor];
    int best = -1, bestPoint = -1;
    double bestY = 0;
    for (int run = 0; run < cu_RunCount(doc, c); ++run) {
        double crossing = 0, y = 0;
        const int j = FindLevel(doc, curve, x, xSlot, 0, run, &crossing);
        if (j < 0) continue;
        InterpolateCurveAtX(doc, curve, x, j, &y);
        if (best < 0 || (top ? y > bestY : y < bestY)) {
            best = run;
            bestY = y;
            bestPoint = j;
        }
    }
    if (best < 0) return false;
    const int offset = std::max(bestPoint - 5 - cu_First(c, best), 0);
    return MoveCursorToValue(doc, placer, curve, x, cursor, xSlot, offset, best);
}

}  // namespace

bool MoveCursorByMode(CANDoc& doc, CursorPlacer& placer, int cursor, int direction, int function) {
    if (doc.modeCommand != kPlotModeCursor || cursor < 0 || cursor > 1) return false;
    const int curve = doc.CurrentCurve;
    if (!cu_ValidCurve(doc, curve)) return false;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    if (function == kCursorTop || function == kCursorBottom)
        return cu_MoveToExtremeBranch(doc, placer, curve, cursor, function == kCursorTop);
    if (function == kCursorNextInterpolated) {
        int run = c.CursorRun[cursor];
        const int count = cu_RunCount(doc, c);
        if (run < 0 || run >= count) return false;
        if (direction == kCursorBranchNext) run = cu_WrapRun(run + 1, count);
        if (direction == kCursorBranchPrevious) run = cu_WrapRun(run - 1, count);
        const int kind = doc.AnalysisKind;
        const bool minor = kind >= 0 && kind < kAnalysisKindCount && (doc.ViewOptions[kind] & kViewMinorLogGrids);
        const double x = NextInterpolatedX(c, c.CursorX[cursor], direction, minor);
        return MoveCursorToValue(doc, placer, curve, x, cursor, cu_Complex(c) ? kSlotXRealValue : kSlotX,
                                 c.CursorOffset[cursor], run);
    }
    const int p = CursorPoint(doc, curve, cursor);
    if (p < 0) return false;
    const int q = FindCursorPoint(doc, p, direction, curve, function);
    if (q < 0) return false;
    return placer.Place(curve, cursor, q, std::nullopt) >= 0;
}

void CursorKey(CANDoc& doc, CursorPlacer& placer, int direction, int cursor) {
    if (doc.modeCommand != kPlotModeCursor || cursor < 0 || cursor > 1) return;
    const int function = doc.CursorFunction;
    if (direction != kCursorStepNone) doc.CursorStep = direction;
    const bool branchMove =
        direction == kCursorStepNone || direction == kCursorBranchNext || direction == kCursorBranchPrevious;
    if (Prefs().keepCursorsOnSameBranch && branchMove && function != kCursorTop && function != kCursorBottom)
        MoveCursorByMode(doc, placer, 1 - cursor, direction, kCursorNextDataPoint);
    MoveCursorByMode(doc, placer, cursor, direction, function);
    doc.ActiveCursor = cursor;
}

bool CursorKeyCommand(int command, int* direction, int* cursor) {
    if (command >= kCursorStepLeft && command <= kCursorBranchPrevious) {
        *direction = command;
        *cursor = 0;
        return true;
    }
    if (command >= kCursorShiftLeft && command <= kCursorShiftBranchPrevious) {
        *direction = command - (kCursorShiftLeft - kCursorStepLeft);
        *cursor = 1;
        return true;
    }
    return false;
}

void ChooseCursorFunction(CANDoc& doc, CursorPlacer& placer, int function) {
    doc.modeCommand = kPlotModeCursor;
    doc.CursorFunction = function;
    const bool noDirection = function == kCursorTop || function == kCursorBottom;
    MoveCursorByMode(doc, placer, doc.ActiveCursor, noDirection ? kCursorStepNone : doc.CursorStep, function);
}

void RestoreCursorPositions(CANDoc& doc, CursorPlacer& placer) {
    for (int i = 0; i < std::min(doc.PlottedCount, doc.CurveCount()); ++i) {
        const PlotCurve& c = doc.Curves[static_cast<size_t>(i)];
        if (c.IndexInPlot != 0 || c.PlotNumber == 0) continue;
        const int count = cu_RunCount(doc, c);
        if (count == 0) continue;
        if (c.IsFftCurve()) {
            const int xSlot = cu_Complex(c) ? kSlotXRealValue : kSlotX;
            MoveCursorToValue(doc, placer, i, c.RangeLow[kAxisX], 0, xSlot, 0, count - 1);
            MoveCursorToValue(doc, placer, i, c.RangeHigh[kAxisX], 1, xSlot, 0, count - 1);
            continue;
        }
        const int first = cu_First(c, 0), last = cu_Last(c, 0);
        if (last < first) continue;
        placer.Place(i, 0, std::min(first + std::max(c.TrackFrom, 0), last), std::nullopt);
        placer.Place(i, 1, last, std::nullopt);
    }
}

void AlignAllCursors(CANDoc& doc, CursorPlacer& placer) {
    if (!cu_ValidCurve(doc, 0)) return;
    const int active = doc.ActiveCursor;
    for (int cursor = 0; cursor < 2; ++cursor) {
        const int point = CursorPoint(doc, doc.CurrentCurve, cursor);
        if (point >= 0) placer.Place(0, cursor, point, std::nullopt);
    }
    doc.ActiveCursor = active;
}
