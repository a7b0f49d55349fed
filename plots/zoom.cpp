#include "plots/zoom.h"

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "document/cfanalysis.h"
#include "expr/symbols.h"
#include "plots/cursors.h"
#include "plots/docranges.h"
#include "plots/g2ddoc.h"
#include "plots/layout.h"
#include "plots/ranges.h"
#include "plots/tagcommands.h"

namespace {

bool zm_Valid(const CANDoc& doc, int curve) { return curve >= 0 && curve < doc.CurveCount(); }

PlotCurve& zm_Curve(CANDoc& doc, int curve) { return doc.Curves[static_cast<size_t>(curve)]; }

bool zm_MagnitudeAllowed(double v, bool linear) {
    const double m = std::fabs(v);
    if (m == 0) return linear;
    return m > 1e-50 && m < 1e50;
}

// Writes a range without the zoom check: scrolling, dragging and aligning only
// keep a log axis's low end positive.
void zm_WriteRange(PlotCurve& c, int axis, double low, double high) {
    c.RangeLow[axis] = low;
    c.RangeHigh[axis] = high;
    c.RangeSpan[axis] = high - low;
}

bool zm_SameTokens(const CompiledExpression* a, const CompiledExpression* b) {
    if (!a || !b) return false;
    const ExprToken* ta = a->FirstToken();
    const ExprToken* tb = b->FirstToken();
    for (; ta && tb; ta = ta->Next(), tb = tb->Next()) {
        if (ta->code != tb->code) return false;
        const char* sa = ta->text.text();
        const char* sb = tb->text.text();
        if (strcasecmp(sa ? sa : "", sb ? sb : "") != 0) return false;
    }
    return ta == nullptr && tb == nullptr;
}

void zm_FreeTables(CANDoc& doc, const std::vector<int>& curves) {
    for (int i : curves) zm_Curve(doc, i).FreeRunTables();
}

// A range pair in the direction the axis had.
void zm_Order(double& low, double& high, bool ascending) {
    if ((low < high) != ascending) std::swap(low, high);
}

}  // namespace

std::vector<int> PlotGroupCurves(const CANDoc& doc, int curve) {
    std::vector<int> group;
    if (!zm_Valid(doc, curve)) return group;
    const int number = doc.Curves[static_cast<size_t>(curve)].PlotNumber;
    if (number == 0) return {curve};
    const int limit = std::min(std::max(doc.PlottedCount, curve + 1), doc.CurveCount());
    for (int i = 0; i < limit; ++i)
        if (doc.Curves[static_cast<size_t>(i)].PlotNumber == number) group.push_back(i);
    return group;
}

bool AxisRangeAllowed(double low, double high, bool linear) {
    if (!std::isfinite(low) || !std::isfinite(high)) return false;
    if (!linear && (low <= 0 || high <= 0)) return false;
    return zm_MagnitudeAllowed(low, linear) && zm_MagnitudeAllowed(high, linear);
}

bool SetCheckedRange(PlotCurve& curve, int axis, double low, double high) {
    if (!AxisRangeAllowed(low, high, curve.AxisLinear[axis] != 0) || !SetAxisRange(curve, axis, low, high))
        return false;
    // The next zoom steps by the new span.
    curve.RangeSpan[axis] = high - low;
    return true;
}

std::vector<int> ZoomPlotGroup(CANDoc& doc, int curve, bool zoomIn, const ScaleSwitches& switches) {
    std::vector<int> changed;
    for (int i : PlotGroupCurves(doc, curve)) {
        PlotCurve& c = zm_Curve(doc, i);
        bool any = false;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (!switches.Axis[a] || (a == kAxisY && c.IsDigital)) continue;
            const double span = c.RangeSpan[a];
            const double low = zoomIn ? c.RangeLow[a] + span / 4 : c.RangeLow[a] - span / 2;
            const double high = zoomIn ? c.RangeHigh[a] - span / 4 : c.RangeHigh[a] + span / 2;
            if (!SetCheckedRange(c, a, low, high)) break;  // a refused pair ends this curve's changes
            c.ApplyScaleFactor(a);
            any = true;
        }
        if (any) changed.push_back(i);
    }
    zm_FreeTables(doc, changed);
    return changed;
}

std::vector<int> ScrollPlotGroup(CANDoc& doc, int curve, int command, const ScaleSwitches& switches) {
    std::vector<int> changed;
    const int axis = command == kCmdScrollLeft || command == kCmdScrollRight ? kAxisX : kAxisY;
    if (command < kCmdScrollLeft || command > kCmdScrollDown || !switches.Axis[axis]) return changed;
    const double sign = command == kCmdScrollRight || command == kCmdScrollUp ? 1.0 : -1.0;
    for (int i : PlotGroupCurves(doc, curve)) {
        PlotCurve& c = zm_Curve(doc, i);
        if (c.PlotType != kPlotRectangular) continue;
        double low = c.RangeLow[axis], high = c.RangeHigh[axis];
        if (c.AxisLinear[axis]) {
            const double shift = sign * c.RangeSpan[axis] / 10;
            low += shift;
            high += shift;
        } else {
            const double divisor = sign > 0 ? 0.1 : 10.0;
            low /= divisor;
            high /= divisor;
            if (!(low > 0)) continue;
        }
        zm_WriteRange(c, axis, low, high);
        changed.push_back(i);
    }
    zm_FreeTables(doc, changed);
    return changed;
}

std::vector<int> ZoomGroupToValues(CANDoc& doc, int curve, const std::vector<CornerValues>& corners,
                                   const ScaleSwitches& switches) {
    std::vector<int> changed;
    const std::vector<int> group = PlotGroupCurves(doc, curve);
    for (size_t k = 0; k < group.size() && k < corners.size(); ++k) {
        PlotCurve& c = zm_Curve(doc, group[k]);
        const CornerValues& v = corners[k];
        if (v.First[kAxisX] == v.Second[kAxisX]) continue;
        if (v.First[kAxisY] == v.Second[kAxisY] && !c.IsDigital) continue;
        bool any = false;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (!switches.Axis[a] || (a == kAxisY && c.IsDigital)) continue;
            double low = v.First[a], high = v.Second[a];
            zm_Order(low, high, c.RangeLow[a] < c.RangeHigh[a]);
            if (!SetCheckedRange(c, a, low, high)) break;
            c.ApplyScaleFactor(a);
            any = true;
        }
        if (any) changed.push_back(group[k]);
    }
    zm_FreeTables(doc, changed);
    return changed;
}

std::vector<int> PanGroupByValues(CANDoc& doc, int curve, const std::vector<CornerValues>& values,
                                  const ScaleSwitches& switches) {
    std::vector<int> changed;
    const std::vector<int> group = PlotGroupCurves(doc, curve);
    for (size_t k = 0; k < group.size() && k < values.size(); ++k) {
        PlotCurve& c = zm_Curve(doc, group[k]);
        bool any = false;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (!switches.Axis[a] || (a == kAxisY && c.IsDigital)) continue;
            const double vf = values[k].First[a], vt = values[k].Second[a];
            double low = c.RangeLow[a], high = c.RangeHigh[a];
            if (c.AxisLinear[a]) {
                low -= vt - vf;
                high -= vt - vf;
            } else {
                if (vf == 0) continue;
                const double factor = vt / vf;
                if (!(factor > 0)) continue;
                low /= factor;
                high /= factor;
                if (!(std::min(low, high) > 0)) continue;
            }
            if (low == c.RangeLow[a] && high == c.RangeHigh[a]) continue;
            zm_WriteRange(c, a, low, high);
            any = true;
        }
        if (any) changed.push_back(group[k]);
    }
    zm_FreeTables(doc, changed);
    return changed;
}

std::vector<int> AlignXScales(CANDoc& doc, int curve) {
    std::vector<int> firsts;
    if (!zm_Valid(doc, curve)) return firsts;
    const PlotCurve& source = zm_Curve(doc, curve);
    const int limit = std::min(doc.PlottedCount, doc.CurveCount());
    for (int i = 0; i < limit; ++i) {
        PlotCurve& c = zm_Curve(doc, i);
        if (c.PlotNumber == 0 || c.PlotNumber == source.PlotNumber) continue;
        if (!zm_SameTokens(c.Expr[kAxisX].get(), source.Expr[kAxisX].get())) continue;
        if (c.RangeLow[kAxisX] == source.RangeLow[kAxisX] && c.RangeHigh[kAxisX] == source.RangeHigh[kAxisX]) continue;
        zm_WriteRange(c, kAxisX, source.RangeLow[kAxisX], source.RangeHigh[kAxisX]);
        c.FreeRunTables();
        const int first = PlotGroupCurves(doc, i).front();
        if (std::find(firsts.begin(), firsts.end(), first) == firsts.end()) firsts.push_back(first);
    }
    return firsts;
}

bool RestoreLimitScales(CANDoc& doc) {
    bool changed = false;
    for (PlotCurve& c : doc.Curves) {
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (c.RangeLow[a] == c.PrevRangeLow[a] && c.RangeHigh[a] == c.PrevRangeHigh[a] &&
                c.GridStep[a] == c.PrevGridStep[a] && c.MinorStep[a] == c.PrevMinorStep[a])
                continue;
            zm_WriteRange(c, a, c.PrevRangeLow[a], c.PrevRangeHigh[a]);
            c.GridStep[a] = c.PrevGridStep[a];
            c.MinorStep[a] = c.PrevMinorStep[a];
            c.ApplyScaleFactor(a);
            changed = true;
        }
    }
    if (changed)
        for (PlotCurve& c : doc.Curves) c.FreeRunTables();
    return changed;
}

// ---- scale undo ----------------------------------------------------------------------------

void SaveScaleUndo(CAPDoc& doc) {
    if (doc.undoSuspended || !doc.PushUndo(kUndoScale, "Scale") || !doc.currentUndo) return;
    doc.ScaleUndoEntry = doc.currentUndo;
    doc.ScaleUndoRanges.clear();
    const int count = std::min(doc.PlottedCount, doc.CurveCount());
    for (int i = 0; i < count; ++i) {
        const PlotCurve& c = zm_Curve(doc, i);
        doc.ScaleUndoRanges.push_back(
            {c.RangeLow[kAxisX], c.RangeLow[kAxisY], c.RangeHigh[kAxisX], c.RangeHigh[kAxisY]});
    }
}

bool CAPDoc::RunUndoStep(UndoEntry& entry) {
    if (entry.kind == kUndoAddTag) return RunTagUndoStep(*this, entry);
    if (entry.kind != kUndoScale) return CANDoc::RunUndoStep(entry);
    // Only the entry whose ranges are held; curves added since have none.
    if (&entry != ScaleUndoEntry) return false;
    const size_t count = std::min(ScaleUndoRanges.size(), static_cast<size_t>(CurveCount()));
    for (size_t i = 0; i < count; ++i) {
        PlotCurve& c = Curves[i];
        std::array<double, 4>& held = ScaleUndoRanges[i];
        std::swap(held[0], c.RangeLow[kAxisX]);
        std::swap(held[1], c.RangeLow[kAxisY]);
        std::swap(held[2], c.RangeHigh[kAxisX]);
        std::swap(held[3], c.RangeHigh[kAxisY]);
        for (int a = kAxisX; a <= kAxisY; ++a) {
            c.RangeSpan[a] = c.RangeHigh[a] - c.RangeLow[a];
            c.ApplyScaleFactor(a);
        }
        c.FreeRunTables();
    }
    if (mainView) mainView->Invalidate();
    return true;
}

// ---- normalizing ---------------------------------------------------------------------------

bool ExpressionUsesDb(const CompiledExpression* expr) {
    if (!expr) return false;
    for (const ExprToken* t = expr->FirstToken(); t != nullptr; t = t->Next())
        if (t->code == kTokDb) return true;
    return false;
}

bool NormalizeCurve(CANDoc& doc, int command, double factor) {
    if (!zm_Valid(doc, doc.CurrentCurve)) return false;
    PlotCurve& c = zm_Curve(doc, doc.CurrentCurve);
    if (c.IsDigital) return false;
    if (c.NormalizeFactor == 0) {
        c.NormalizeBySubtract = ExpressionUsesDb(c.Expr[kAxisY].get()) ? 1 : 0;
        c.NormalizeFactor = factor;
        c.NormalizeCommand = command;
    } else {
        factor = c.NormalizeBySubtract ? -c.NormalizeFactor : 1 / c.NormalizeFactor;
        c.NormalizeFactor = 0;
        c.NormalizeCommand = 0;
    }
    if (factor == 0 || !std::isfinite(factor)) return false;
    const int column = c.DataColumn[kSlotY];
    // The shared column holds the analysis variable of every curve: never rewritten.
    if (column == kSharedColumn) return false;
    c.DataMax[kAxisY] = kNoDataMax;
    c.DataMin[kAxisY] = kNoDataMin;
    for (int i = 0; i <= c.PointIndex; ++i) {
        double v = doc.GetValue(column, i);
        v = c.NormalizeBySubtract ? v - factor : v / factor;
        doc.SetValue(column, i, v);
        c.DataMax[kAxisY] = std::max(c.DataMax[kAxisY], v);
        c.DataMin[kAxisY] = std::min(c.DataMin[kAxisY], v);
    }
    return true;
}

bool NormalizeByCommand(CANDoc& doc, CursorPlacer& placer, int command) {
    if (!zm_Valid(doc, doc.CurrentCurve)) return false;
    PlotCurve& c = zm_Curve(doc, doc.CurrentCurve);
    if (c.IsDigital) return false;
    bool changed = false;
    const int active = doc.ActiveCursor == 1 ? 1 : 0;
    if (c.NormalizeFactor != 0 && c.NormalizeCommand != command) {
        changed = NormalizeCurve(doc, 0, 1.0);  // restores the data; the factor is ignored
        // The cursor's Y is read again from the restored data, so that the
        // cursor's point becomes 1 and not the quotient of two normalizations.
        const int point = CursorPoint(doc, doc.CurrentCurve, active);
        if (changed && command == kCmdNormalizeAtCursor && point >= 0)
            placer.Place(doc.CurrentCurve, active, point, c.CursorX[active]);
    }
    double factor = 0;
    if (c.NormalizeFactor == 0) {
        if (command == kCmdNormalizeAtCursor) {
            factor = c.CursorY[active];
        } else {
            const bool maximum = command == kCmdNormalizeAtMaximum;
            double best = maximum ? -1e200 : 1e200;
            for (int i = 0; i <= c.PointIndex; ++i) {
                const double v = doc.GetValue(c.DataColumn[kSlotY], i);
                best = maximum ? std::max(best, v) : std::min(best, v);
            }
            factor = c.PointIndex >= 0 ? best : 0;
        }
        if (factor == 0) return changed;
    }
    changed = NormalizeCurve(doc, command, factor) || changed;
    if (!changed) return false;
    // The cursors show the new values: the active one first.
    const int curve = doc.CurrentCurve;
    for (int cursor : {active, 1 - active}) {
        const int point = CursorPoint(doc, curve, cursor);
        if (point >= 0) placer.Place(curve, cursor, point, c.CursorX[cursor]);
    }
    if (auto* g2d = dynamic_cast<CG2DDoc*>(&doc)) {
        const int both[2] = {1, 1};
        FitRangesNow(g2d->Curves, FitContextOf(*g2d), g2d->CurrentCurve, both, false);
    }
    c.FreeRunTables();
    return true;
}

int NeighbourCurve(const CANDoc& doc, bool next) {
    const int count = doc.PlottedCount > 0 ? std::min(doc.PlottedCount, doc.CurveCount()) : doc.CurveCount();
    if (count <= 0) return -1;
    const int current = std::clamp(doc.CurrentCurve, 0, count - 1);
    return next ? (current + 1) % count : (current + count - 1) % count;
}

ScaleSwitches ScaleSwitchesOf(CG2DDoc& doc) {
    ScaleSwitches s;
    const int kind = doc.RunningKind >= 0 ? doc.RunningKind : doc.AnalysisKind;
    if (const AnalysisKindSettings* settings = kind >= 0 && kind < kPlotKindCount ? doc.KindSettings(kind) : nullptr) {
        s.Axis[kAxisX] = settings->window.enableXScaling != 0;
        s.Axis[kAxisY] = settings->window.enableYScaling != 0;
        s.KeepXScalesSame = settings->window.keepXScales != 0;
    }
    return s;
}
