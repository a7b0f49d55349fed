// The plot view's mouse in the three tag modes (Horizontal Tag, Vertical Tag,
// Tag): a press over a curve's plot starts a rubber band in the overlay, from
// the pressed point (10 pixels lower for a horizontal dimension, 10 pixels
// right for a vertical one) to the mouse; the release adds the tag to the
// document as one Undo step ("Add MeasureH", "Add MeasureV", "Add Tag"), its
// points snapped to the nearest curve points of the plot group.
#pragma once

#include <vector>

#include "platform/draw.h"
#include "platform/types.h"
#include "platform/window.h"

class CAPDoc;
class CAPView;
struct PlotObject;

struct TagDragState {
    int Kind = 0;            // 7, 8 or 9 while a drag runs, else 0
    int Curve = -1;          // the curve under the press
    platform::Point Start;   // the band's first point (the press, offset)
    platform::Point Press;   // where the button went down
    bool BandShown = false;  // the band stands in the overlay
    platform::Point BandEnd;
};

// The tag kind a mode command draws (17581 -> 9, 17582 -> 7, 17583 -> 8), 0
// for other commands.
int TagKindOfMode(int modeCommand);

// The stored point of the curves of `curve`'s plot group (of `curve` alone
// with onlyThis) nearest to a device point, interpolated along the segment
// nearest to it; the curve it lies on, or -1 when no curve has points.
struct NearestCurvePoint {
    int Curve = -1;
    double X = 0, Y = 0;
};
NearestCurvePoint FindNearestCurvePoint(CAPDoc& doc, platform::Point p, int curve, bool onlyThis);

// Each returns true when it took the event.
bool TagTrackerMouseDown(CAPView& view, TagDragState& drag, platform::MouseButton button, platform::Point p,
                         unsigned keyFlags);
bool TagTrackerMouseMove(CAPView& view, TagDragState& drag, platform::Point p, unsigned keyFlags);
// The new tag, or null when no drag ended here.
PlotObject* TagTrackerMouseUp(CAPView& view, TagDragState& drag, platform::MouseButton button, platform::Point p,
                              unsigned keyFlags);
// The band the drag shows, which a repaint of the cursors keeps.
std::vector<platform::OverlayMark> TagTrackerMarks(const TagDragState& drag);
// Drops a drag in progress: the band goes, nothing is added.
void TagTrackerCancel(CAPView& view, TagDragState& drag);
