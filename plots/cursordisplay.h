// How the cursors show over a plot: a line per cursor (a circle on polar plots,
// a constant-resistance circle on Smith charts), an optional second line, a
// small box at the current curve's cursor point, the tracker boxes with the
// cursor's values, and the headings of the cursor readout columns.
//
// On screen the marks live in the window's overlay layer, so showing the same
// marks again removes them and the plot under them is never redrawn; printers
// and print previews get them drawn plainly in colour 0.
#pragma once

#include <string>
#include <vector>

#include "platform/draw.h"
#include "plots/curve.h"

class CANDoc;
class CAPDoc;
class CDrawContext;

// The device point of a curve's cursor: X from the curve's cursor X, Y from
// the current curve's cursor Y (the level line for a digital current curve).
DeviceXY CursorDevicePoint(const CANDoc& doc, int curve, int cursor);

// What the marks of one plot group depend on besides the document.
struct CursorMarkOptions {
    bool HorizontalCursor = false;  // View > Horizontal Cursor
    bool RasterDisplay = true;      // the screen and print previews (box half size 3)
};

// The marks of both cursors of the plot group of `curve`, drawn for the
// current curve when it belongs to the group, else for `curve`: the cursor
// lines, the second lines, and on the current curve's group the boxes at the
// cursor points. The left cursor's marks are dotted, the right one's dashed.
std::vector<platform::OverlayMark> CursorMarks(const CAPDoc& doc, int curve, const CursorMarkOptions& options);
// Draws marks plainly (printers and print previews) in the given colour.
void DrawCursorMarks(CDrawContext& dc, const std::vector<platform::OverlayMark>& marks, platform::Color color);

// A tracker box: 0 the X intercept on the plot's bottom edge, 1 the Y
// intercept on its left edge, 2 both values beside the cursor point.
struct TrackerBox {
    std::string Text;
    DeviceRect Box;
};
// The box of a kind for a cursor of a curve, measured with `textWidth` and
// `textHeight` of its text and kept inside the plot rectangle.
TrackerBox TrackerBoxOf(const CANDoc& doc, int curve, int cursor, int kind, int textWidth, int textHeight);
// The text alone: X, Y, or "X,Y" in the curve's value formats (at most 100 characters).
std::string TrackerText(const PlotCurve& curve, int cursor, int kind);

// How the tracker boxes look: the tracker font scaled for the view (its
// colour frames the box and writes the text) and the fill colour.
struct TrackerLook {
    platform::FontDesc Font;
    platform::Color Ink = platform::MakeColor(0, 0, 0);
    platform::Color Fill = platform::MakeColor(255, 255, 255);
};
struct TrackerOptions {
    bool Cursor = false;     // Trackers > Cursor: both values beside each cursor point
    bool Intercept = false;  // Trackers > Intercept: X on the bottom edge, Y on the left (rectangular plots)
    TrackerLook Look;
};
// The tracker boxes of both cursors of the current curve, as text-box marks,
// their texts measured on `measure` in the look's font.
std::vector<platform::OverlayMark> TrackerMarks(const CANDoc& doc, const TrackerOptions& options,
                                                platform::DrawSurface& measure);
// Draws text-box marks plainly (printers and print previews) in the surface's mapping.
void DrawTrackerMarks(CDrawContext& dc, const std::vector<platform::OverlayMark>& marks);

// The headings above a plot group's cursor readout: "Left", "Right", "Delta",
// "Slope" for rectangular plots; the six complex-plane headings otherwise.
std::vector<std::string> CursorHeadings(const PlotCurve& curve);
// Draws the headings above the readout of every plot group in Cursor mode,
// right-aligned over the readout fields of `columnWidth` each, one label line
// above the group's first legend entry.
void DrawCursorHeadings(CDrawContext& dc, const CANDoc& doc, int lineHeight, int columnWidth);
// The rectangles of the legend rows of the plot group of `curve` (every group
// when `all`), where the cursor readouts stand.
std::vector<DeviceRect> ReadoutRows(const CANDoc& doc, int curve, bool all, int lineHeight);

// The width of one readout column: a fifth of the plot width on rectangular
// plots, a seventh on polar and Smith plots.
int CursorColumnWidth(const PlotCurve& curve);
