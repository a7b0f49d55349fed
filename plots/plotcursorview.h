// The plot view's cursor keys, cursor functions, mouse clicks and wheel, and
// its range commands (zoom, scroll, restore, normalize, current curve, Auto
// Scale, Align Cursors), routed to the document operations of plots/cursors.h
// and plots/zoom.h. The cursors are shown in the window's overlay layer, so
// moving one leaves the plot under it untouched.
#pragma once

#include <optional>

#include "platform/menu.h"
#include "platform/window.h"
#include "plots/cursors.h"

class CAPView;
class CDrawContext;

// Commands of the plot view's keys and menus handled here.
constexpr int32_t kCmdCursorKeyFirst = 760;  // 760-767: arrows, Shift+arrows
constexpr int32_t kCmdCursorKeyLast = 767;

// The plot view's keys: the arrows and Shift+arrows move the cursors,
// Ctrl+arrows scroll, Alt+Home and Alt+End choose Top and Bottom, Ctrl+L and
// Ctrl+R tag a cursor, Shift+Ctrl+H and Shift+Ctrl+V tag the span between them.
const platform::AcceleratorTable& PlotCursorKeys();
// Every key of a plot view, its own first: the cursor keys above, then the edit
// keys of the analysis views (504), their mode keys F7, F8 and Enter (519) and
// the keys of every document view (514: Ctrl+keypad +/- zoom, Ctrl+P, ...).
// Tables not loaded yet are left out.
platform::AcceleratorTable PlotViewKeys();

// Moves cursors through the view: the document places them and the overlay
// shows them where they now stand.
class ViewCursorPlacer final : public CursorPlacer {
public:
    explicit ViewCursorPlacer(CAPView& view) : view_(view) {}
    int Place(int curve, int cursor, int point, std::optional<double> x) override;

private:
    CAPView& view_;
};

// Brings the overlay in line with the cursors: the marks of every plot group in
// Cursor mode, none otherwise. Nothing changes (and nothing is repainted) when
// the marks are already shown.
void ShowCursorOverlay(CAPView& view);
// Printers, PDF pages and print previews have no overlay: there the cursors
// and the tracker boxes are drawn once, plainly, over the plot.
void DrawCursorsOnPaper(CAPView& view, CDrawContext& dc);

// True when the command is one of the above and was handled.
bool HandlePlotViewCommand(CAPView& view, int id);
// The state of those commands; false for other commands.
bool UpdatePlotViewCommand(CAPView& view, platform::CommandState& state);
// A click in Cursor mode on the current curve places the left (left button,
// alone or with the right) or the right cursor at the clicked X. True when a
// cursor moved.
bool PlotViewCursorClick(CAPView& view, platform::MouseButton button, platform::Point p, unsigned mouseFlags);
// Ctrl with the wheel zooms (in for a negative delta); true when handled.
bool PlotViewWheel(CAPView& view, int delta, unsigned mouseFlags);

// The zoom box released in Scale mode: the group of `curve` shows the range
// between the two corners (corner2 limited to the plot). True when a range changed.
bool PlotViewZoomToRect(CAPView& view, int curve, platform::Point corner1, platform::Point corner2);
// Dragging the plot from one point to another: the group under `from` moves
// with it. False (nothing changed) when no curve lies under `from`, it is a
// complex-plane curve, or the points are the same.
bool PlotViewPan(CAPView& view, platform::Point from, platform::Point to);
