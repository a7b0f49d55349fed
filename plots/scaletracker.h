// The plot view's mouse in Scale mode and while dragging: a left drag over a
// curve shows a rubber band and zooms the curve's plot group to it when the
// button is released; a right drag moves the plot with the mouse, its ranges
// saved for Undo ("Scale") when the drag starts, so one Undo brings back the
// view from before the whole drag. In Cursor mode a held button makes the
// cursor follow the mouse.
#pragma once

#include <vector>

#include "platform/draw.h"
#include "platform/types.h"
#include "platform/window.h"

class CAPView;

struct ScaleDragState {
    enum Kind { None, ZoomBox, Pan };
    Kind Active = None;
    int Curve = -1;          // the curve the zoom box started on
    platform::Point Start;   // where the button went down
    platform::Point Last;    // the last point seen
    bool BandShown = false;  // the rubber band stands in the overlay
    platform::Rect Band{0, 0, 0, 0};
};

// Each returns true when it took the event.
bool ScaleTrackerMouseDown(CAPView& view, ScaleDragState& drag, platform::MouseButton button, platform::Point p,
                           unsigned keyFlags);
bool ScaleTrackerMouseMove(CAPView& view, ScaleDragState& drag, platform::Point p, unsigned keyFlags);
bool ScaleTrackerMouseUp(CAPView& view, ScaleDragState& drag, platform::MouseButton button, platform::Point p,
                         unsigned keyFlags);
// The marks the drag shows in the overlay (the rubber band), which a repaint
// of the cursors keeps.
std::vector<platform::OverlayMark> ScaleTrackerMarks(const ScaleDragState& drag);
// Drops a drag in progress (capture lost, window closing): the band goes, the
// ranges stay as they are.
void ScaleTrackerCancel(CAPView& view, ScaleDragState& drag);
