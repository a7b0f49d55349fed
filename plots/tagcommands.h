// Turning the cursors into permanent tags on the plot: a point tag at the left
// or right cursor of the current curve, and a dimension from the left cursor
// to the right one, horizontal or vertical. Each addition is one Undo step
// ("Add Tag", "Add MeasureH", "Add MeasureV") that takes the tag away again.
#pragma once

#include <cstdint>

#include "platform/command.h"
#include "platform/menu.h"

class CAPDoc;
class CAPView;
struct PlotObject;
struct UndoEntry;

constexpr int32_t kCmdTagLeftCursor = 17184;   // Ctrl+L
constexpr int32_t kCmdTagRightCursor = 17185;  // Ctrl+R
constexpr int32_t kCmdTagHorizontal = 17186;   // Shift+Ctrl+H
constexpr int32_t kCmdTagVertical = 17187;     // Shift+Ctrl+V
constexpr int32_t kUndoAddTag = 14;

// Adds a tag object (kind 7 vertical dimension, 8 point tag, 9 horizontal
// dimension) of a curve after saving the undo step "Add %s" with the kind's
// name; the caller fills in its values. Null for another kind, a curve out of
// range or when memory ran out.
PlotObject* AddTagObject(CAPView& view, int kind, int curve);

// A point tag (object kind 8) for the current curve at a cursor (0 left, 1
// right): anchored at the cursor's X and Y, its text box 20 pixels right of the
// point for the left cursor, 60 left of it for the right one, 40 pixels above.
// Null (nothing added) without a current curve holding points.
PlotObject* TagCursor(CAPView& view, int cursor);
// A dimension from the left cursor's point to the right one's: kind 9 for
// Tag Horizontal, 7 for Tag Vertical; null for other commands or without a
// current curve holding points.
PlotObject* TagCursorSpan(CAPView& view, int command);

// The four Tag commands: true when the id is one of them (handled).
bool HandleTagCommand(CAPView& view, int id);
// Enabled in Cursor mode on a current curve with points, no run busy.
bool UpdateTagCommand(CAPView& view, platform::CommandState& state);
// Undo and redo of an addition: the tag leaves the plot and comes back.
bool RunTagUndoStep(CAPDoc& doc, UndoEntry& entry);
