#include "plots/scaletracker.h"

#include <algorithm>

#include "plots/anview.h"
#include "plots/apdoc.h"
#include "plots/apview.h"
#include "plots/plotcursorview.h"
#include "plots/zoom.h"

namespace {

platform::Rect st_Band(platform::Point a, platform::Point b) {
    return platform::Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

platform::OverlayMark st_BandMark(const platform::Rect& r) {
    platform::OverlayMark m;
    m.shape = platform::OverlayMark::Shape::Rectangle;
    m.points = {platform::Point{r.left, r.top}, platform::Point{r.right, r.bottom}};
    m.invert = true;
    return m;
}

// The band is taken away only while the overlay still holds it.
void st_HideBand(CAPView& view, ScaleDragState& drag) {
    if (!drag.BandShown) return;
    drag.BandShown = false;
    const platform::OverlayMark band = st_BandMark(drag.Band);
    const std::vector<platform::OverlayMark>& marks = view.Overlay().Marks();
    if (std::find(marks.begin(), marks.end(), band) != marks.end()) view.Overlay().Toggle(band);
}

void st_ShowBand(CAPView& view, ScaleDragState& drag, platform::Point to) {
    st_HideBand(view, drag);
    drag.Band = st_Band(drag.Start, to);
    if (drag.Band.IsEmpty()) return;
    drag.BandShown = view.Overlay().Toggle(st_BandMark(drag.Band));
}

void st_End(CAPView& view, ScaleDragState& drag) {
    st_HideBand(view, drag);
    drag.Active = ScaleDragState::None;
    drag.Curve = -1;
    view.rightDrag = 0;
    if (view.HasCapture()) view.ReleaseCapture();
}

}  // namespace

std::vector<platform::OverlayMark> ScaleTrackerMarks(const ScaleDragState& drag) {
    if (!drag.BandShown) return {};
    return {st_BandMark(drag.Band)};
}

bool ScaleTrackerMouseDown(CAPView& view, ScaleDragState& drag, platform::MouseButton button, platform::Point p,
                           unsigned /*keyFlags*/) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc || doc->PlottedCount == 0 || drag.Active != ScaleDragState::None) return false;
    const int curve = doc->CurveAtPoint(p.x, p.y);
    if (button == platform::MouseButton::Left && doc->modeCommand == kCmdModeScale) {
        doc->ScaleCurve = curve;
        if (curve < 0) return false;
        drag.Active = ScaleDragState::ZoomBox;
        drag.Curve = curve;
    } else if (button == platform::MouseButton::Right) {
        // A right drag over no curve has nothing to move; the undo entry is
        // made only for a drag that can change the ranges.
        if (curve < 0) return false;
        SaveScaleUndo(*doc);
        drag.Active = ScaleDragState::Pan;
        view.rightDrag = 1;
    } else {
        return false;
    }
    drag.Start = drag.Last = p;
    drag.BandShown = false;
    view.SetCapture();
    return true;
}

bool ScaleTrackerMouseMove(CAPView& view, ScaleDragState& drag, platform::Point p, unsigned keyFlags) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc) return false;
    switch (drag.Active) {
    case ScaleDragState::ZoomBox:
        if (p != drag.Last) st_ShowBand(view, drag, p);
        drag.Last = p;
        return true;
    case ScaleDragState::Pan:
        if ((keyFlags & platform::MouseRight) && p != drag.Last) {
            PlotViewPan(view, drag.Last, p);
            drag.Last = p;
        }
        return true;
    case ScaleDragState::None: break;
    }
    // In Cursor mode the cursor of the held button follows the mouse.
    if (doc->modeCommand == kCmdModeCursor && (keyFlags & (platform::MouseLeft | platform::MouseRight))) {
        const platform::MouseButton button =
            (keyFlags & platform::MouseLeft) ? platform::MouseButton::Left : platform::MouseButton::Right;
        return PlotViewCursorClick(view, button, p, keyFlags);
    }
    return false;
}

bool ScaleTrackerMouseUp(CAPView& view, ScaleDragState& drag, platform::MouseButton button, platform::Point p,
                         unsigned /*keyFlags*/) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc) {
        ScaleTrackerCancel(view, drag);
        return false;
    }
    if (drag.Active == ScaleDragState::ZoomBox && button == platform::MouseButton::Left) {
        const int curve = drag.Curve;
        const platform::Point start = drag.Start;
        st_End(view, drag);
        doc->LastButtonUp[0] = p.x;
        doc->LastButtonUp[1] = p.y;
        if (curve < doc->CurveCount()) PlotViewZoomToRect(view, curve, start, p);
        return true;
    }
    if (drag.Active == ScaleDragState::Pan && button == platform::MouseButton::Right) {
        if (p != drag.Last) PlotViewPan(view, drag.Last, p);
        st_End(view, drag);
        return true;
    }
    return false;
}

void ScaleTrackerCancel(CAPView& view, ScaleDragState& drag) {
    if (drag.Active != ScaleDragState::None) st_End(view, drag);
}
