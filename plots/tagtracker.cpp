#include "plots/tagtracker.h"

#include <algorithm>
#include <cmath>

#include "document/cfanalysis.h"
#include "plots/anview.h"
#include "plots/apdoc.h"
#include "plots/apview.h"
#include "plots/tagcommands.h"
#include "shell/preferences.h"

namespace {

constexpr int tt_KindVertical = 7;
constexpr int tt_KindPoint = 8;
constexpr int tt_KindHorizontal = 9;
// How far the band of a dimension stands off the pressed point, so that it
// does not hide the curve it measures.
constexpr int tt_BandOffset = 10;

platform::OverlayMark tt_BandMark(platform::Point a, platform::Point b) {
    platform::OverlayMark m;
    m.shape = platform::OverlayMark::Shape::Line;
    m.points = {a, b};
    m.invert = true;
    return m;
}

void tt_HideBand(CAPView& view, TagDragState& drag) {
    if (!drag.BandShown) return;
    drag.BandShown = false;
    const platform::OverlayMark band = tt_BandMark(drag.Start, drag.BandEnd);
    const std::vector<platform::OverlayMark>& marks = view.Overlay().Marks();
    if (std::find(marks.begin(), marks.end(), band) != marks.end()) view.Overlay().Toggle(band);
}

void tt_ShowBand(CAPView& view, TagDragState& drag, platform::Point to) {
    tt_HideBand(view, drag);
    drag.BandEnd = to;
    if (to == drag.Start) return;
    drag.BandShown = view.Overlay().Toggle(tt_BandMark(drag.Start, to));
}

void tt_End(CAPView& view, TagDragState& drag) {
    tt_HideBand(view, drag);
    drag.Kind = 0;
    drag.Curve = -1;
    if (view.HasCapture()) view.ReleaseCapture();
}

// The squared distance from p to the segment a-b and where its foot lies
// along it (0 at a, 1 at b).
double tt_SegmentDistance(double px, double py, double ax, double ay, double bx, double by, double* t) {
    const double dx = bx - ax, dy = by - ay;
    const double length = dx * dx + dy * dy;
    double along = 0;
    if (length > 0) along = std::clamp(((px - ax) * dx + (py - ay) * dy) / length, 0.0, 1.0);
    *t = along;
    const double fx = ax + along * dx - px, fy = ay + along * dy - py;
    return fx * fx + fy * fy;
}

}  // namespace

int TagKindOfMode(int modeCommand) {
    switch (modeCommand) {
    case kCmdModeHorizontalTag: return tt_KindHorizontal;
    case kCmdModeVerticalTag: return tt_KindVertical;
    case kCmdModeTag: return tt_KindPoint;
    default: return 0;
    }
}

NearestCurvePoint FindNearestCurvePoint(CAPDoc& doc, platform::Point p, int curve, bool onlyThis) {
    NearestCurvePoint best;
    if (curve < 0 || curve >= doc.CurveCount()) return best;
    const int group = doc.Curves[static_cast<size_t>(curve)].PlotNumber;
    double bestDistance = 1e20;
    const int last = std::min(doc.PlottedCount, doc.CurveCount());
    for (int i = 0; i < last; ++i) {
        if (onlyThis ? i != curve : doc.Curves[static_cast<size_t>(i)].PlotNumber != group) continue;
        const PlotCurve& c = doc.Curves[static_cast<size_t>(i)];
        if (!c.IsShown() || !c.HasPoint()) continue;
        for (size_t run = 0; run < c.RunFirst.size() && run < c.RunLast.size(); ++run) {
            double prevX = 0, prevY = 0, prevSx = 0, prevSy = 0;
            for (int q = c.RunFirst[run]; q <= c.RunLast[run]; ++q) {
                const double x = doc.GetValue(c.DataColumn[kSlotX], q);
                const double y = doc.GetValue(c.DataColumn[kSlotY], q);
                const double sx = c.ToDevice(kAxisX, x), sy = c.ToDevice(kAxisY, y);
                if (q == c.RunFirst[run]) {
                    prevX = x, prevY = y, prevSx = sx, prevSy = sy;
                }
                double t = 0;
                const double d = tt_SegmentDistance(p.x, p.y, prevSx, prevSy, sx, sy, &t);
                // On equal distances the earlier curve and segment win.
                if (d < bestDistance) {
                    bestDistance = d;
                    best.Curve = i;
                    best.X = prevX + t * (x - prevX);
                    best.Y = prevY + t * (y - prevY);
                }
                prevX = x, prevY = y, prevSx = sx, prevSy = sy;
            }
        }
    }
    return best;
}

std::vector<platform::OverlayMark> TagTrackerMarks(const TagDragState& drag) {
    if (!drag.BandShown) return {};
    return {tt_BandMark(drag.Start, drag.BandEnd)};
}

bool TagTrackerMouseDown(CAPView& view, TagDragState& drag, platform::MouseButton button, platform::Point p,
                         unsigned keyFlags) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc || button != platform::MouseButton::Left || drag.Kind != 0) return false;
    const int kind = TagKindOfMode(doc->modeCommand);
    // Shift or Ctrl make a press select, whatever the mode.
    if (!kind || (keyFlags & (platform::MouseShift | platform::MouseControl))) return false;
    const int curve = doc->CurveAtPoint(p.x, p.y);
    // A tag needs a curve to stand on: a press elsewhere does nothing.
    if (curve < 0) return true;
    drag.Kind = kind;
    drag.Curve = curve;
    drag.Press = p;
    drag.Start = p;
    if (kind == tt_KindHorizontal) drag.Start.y += tt_BandOffset;
    if (kind == tt_KindVertical) drag.Start.x += tt_BandOffset;
    drag.BandShown = false;
    drag.BandEnd = drag.Start;
    view.SetCapture();
    return true;
}

bool TagTrackerMouseMove(CAPView& view, TagDragState& drag, platform::Point p, unsigned /*keyFlags*/) {
    if (drag.Kind == 0) return false;
    if (p != drag.BandEnd) tt_ShowBand(view, drag, p);
    return true;
}

namespace {

PlotObject* tt_AddTag(CAPView& view, const TagDragState& ended, platform::Point p) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc || ended.Curve >= doc->CurveCount()) return nullptr;
    doc->LastButtonUp[0] = p.x;
    doc->LastButtonUp[1] = p.y;
    // The first point stands on the curve nearest to the press.
    NearestCurvePoint first = FindNearestCurvePoint(*doc, ended.Press, ended.Curve, false);
    if (first.Curve < 0) {
        const PlotCurve& c = doc->Curves[static_cast<size_t>(ended.Curve)];
        first.Curve = ended.Curve;
        first.X = c.FromDevice(kAxisX, ended.Press.x);
        first.Y = c.FromDevice(kAxisY, ended.Press.y);
    }
    const PlotCurve& c = doc->Curves[static_cast<size_t>(first.Curve)];
    if (ended.Kind == tt_KindPoint) {
        PlotObject* tag = AddTagObject(view, tt_KindPoint, first.Curve);
        if (!tag) return nullptr;
        tag->corners[0] = first.X;
        tag->corners[1] = first.Y;
        // The text stands where the button was released.
        tag->corners[2] = c.FromDevice(kAxisX, p.x);
        tag->corners[3] = c.FromDevice(kAxisY, p.y);
        return tag;
    }
    // The dimension line stands midway across the band; its second point is
    // the curve point of the plot group nearest to the release.
    NearestCurvePoint second = FindNearestCurvePoint(*doc, p, first.Curve, false);
    if (second.Curve < 0) {
        second.Curve = first.Curve;
        second.X = c.FromDevice(kAxisX, p.x);
        second.Y = c.FromDevice(kAxisY, p.y);
    }
    PlotObject* tag = AddTagObject(view, ended.Kind, first.Curve);
    if (!tag) return nullptr;
    const PlotCurve& other = doc->Curves[static_cast<size_t>(second.Curve)];
    tag->plot2 = second.Curve;
    tag->alias2 = other.CurveId;
    tag->corners[0] = first.X;
    tag->corners[1] = first.Y;
    tag->corners[2] = second.X;
    tag->corners[3] = second.Y;
    if (ended.Kind == tt_KindHorizontal)
        tag->measure = c.FromDevice(kAxisY, (ended.Start.y + p.y) / 2.0);
    else
        tag->measure = c.FromDevice(kAxisX, (ended.Start.x + p.x) / 2.0);
    return tag;
}

}  // namespace

PlotObject* TagTrackerMouseUp(CAPView& view, TagDragState& drag, platform::MouseButton button, platform::Point p,
                              unsigned /*keyFlags*/) {
    if (drag.Kind == 0 || button != platform::MouseButton::Left) return nullptr;
    const TagDragState ended = drag;
    tt_End(view, drag);
    PlotObject* tag = tt_AddTag(view, ended, p);
    // The preference to go back to Select mode after each new object.
    if (Prefs().selectMode) view.SetMode(viewcmd::ModeSelect);
    return tag;
}

void TagTrackerCancel(CAPView& view, TagDragState& drag) {
    if (drag.Kind != 0) tt_End(view, drag);
}
