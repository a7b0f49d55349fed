// Drawing one piece of a curve between two device points: analog lines,
// "Popsicle" bars, data-point markers, the tokens that tell the curves of one
// plot group apart, digital waveforms with their level shapes, and bus values.
//
// Everything here draws through a CDrawContext for a document and the settings
// of the view it is drawn for, so a plot can be drawn into an image, a page or
// a picture without a window. The full redraw of stored curves (curvedraw.h),
// the point-by-point drawing during a run and the thumbnail share it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/draw.h"
#include "plots/apdoc.h"
#include "plots/layout.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/drawcontext.h"

// CANDoc::ViewOptions bits that drawing reads.
constexpr int32_t kViewDataPoints = 1;
constexpr int32_t kViewTokens = 4;

// Curve kinds (CurveStyle::curveStyle).
constexpr int32_t kCurveNormal = 0;
constexpr int32_t kCurvePopsicle = 1;

// Strength bits of a digital state code; a state without strength shows as 'Z'.
constexpr int32_t kStateLevelMask = 0x7;
constexpr int32_t kStateStrengthMask = 0x1F8;

// What a drawing needs to know of the view it draws for. A view fills this
// from its own state; drawing without a window keeps the defaults.
struct CurveDrawView {
    // Maps colours on monochrome devices; none: colours stay as they are.
    const CMDIView* View = nullptr;
    int32_t ViewKind = kViewKindAnalysis2D;
    // The view is in Cursor mode: the current curve's cursor branches take the
    // cursor colours.
    int32_t CursorMode = 0;
    int32_t CursorColor[2] = {9, 12};  // left, right
    // The document's background colour index (fills of open markers and tokens).
    int32_t BackgroundColor = kColorWhite;
    // A right-button drag of the view is in progress: no wait cursor.
    int32_t RightDrag = 0;
};

// Clips drawing to a curve's plot area: the rectangle, or its inscribed
// ellipse for polar and Smith plots. On a recorded picture the rectangle
// becomes the picture clip rectangle that line clipping uses.
void SetCurveClip(CDrawContext& dc, const DeviceRect& rect, int plotType);
// The same for a clip region the layout made (none: the clip is removed).
void SelectClipRegion(CDrawContext& dc, const CurveClipRegion& region);

// Cuts a segment to a rectangle (edges included); false when it misses.
bool ClipSegmentToRect(DeviceXY& a, DeviceXY& b, const DeviceRect& r);

// The level character of a digital state code: "0RF1XZ?" by its low three
// bits; a state whose strength bits are all 0 is 'Z'.
char StateLevelChar(int32_t state);

// The pen of a curve while it is drawn: a stock pen for solid hairlines, else a
// pen of the style's width, whose dashes are stepped along its path.
class CurvePen {
public:
    CurvePen(CDrawContext& dc, int colorIndex, int width, int pattern);
    ~CurvePen();  // the previous pen is selected again
    CurvePen(const CurvePen&) = delete;
    CurvePen& operator=(const CurvePen&) = delete;

    void Line(int x0, int y0, int x1, int y1);
    void Polyline(const platform::Point* points, int count);
    bool Patterned() const { return path_.count > 0; }
    int Width() const { return width_; }

private:
    CDrawContext& dc_;
    LinePath path_;
    int width_ = 1;
    platform::PenDesc previous_;
};

// The drawing operations of one drawing of a document's curves.
class CurvePainter {
public:
    CurvePainter(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view);

    // The colour index of a curve's run.
    int CurveColor(int curve, int run) const;
    // A pen for the run; the painter draws lines through it until it is
    // released (the previous pen comes back).
    void SelectCurvePen(int curve, int run);
    void ReleaseCurvePen();

    // One segment: a line, a bar, or a digital interval from state y0 to y1.
    void DrawCurveSegment(int x0, int y0, int x1, int y1, int curve, bool drawLine, bool drawMarker, int run);
    // One bus interval of a state; returns the middle Y of the box.
    int DrawBusSegment(int x0, int32_t state, int x1, int curve, bool draw);
    void DrawBar(int x, int y, int curve);
    void DrawDataPointMarker(int curve, int x, int y, int run);
    // Mode 1 resets every curve's token spacing; mode 3 draws a spaced token
    // inside the plot; mode 4 draws wherever the point lies.
    void DrawToken(int mode, int curve, DeviceXY point);
    // During a run: the segment from a curve's previous to its newest device
    // point (the previous point then follows, drawn or not).
    void DrawNewSegment(int curve, bool force);

    // Lines and polylines with the selected curve pen (or the surface's pen).
    void Line(int x0, int y0, int x1, int y1);
    void Polyline(const DeviceXY* points, int count);

    bool ViewOption(int32_t bit) const;
    bool OnDisplay() const { return dc_.technology == platform::kTechRasterDisplay; }
    CDrawContext& dc() { return dc_; }
    CAPDoc& doc() { return doc_; }
    const CurveDrawView& view() const { return view_; }

private:
    PlotCurve& Curve(int index) { return doc_.Curves[static_cast<size_t>(index)]; }
    int BackgroundColorIndex() const;
    void DrawDigitalSegment(int x0, int32_t previous, int x1, int32_t state, int curve, bool drawLine);
    void FillBox(const platform::Rect& r, int outlineColor, const platform::BrushDesc& brush);

    CDrawContext& dc_;
    CAPDoc& doc_;
    const CurveDrawView& view_;
    std::unique_ptr<CurvePen> pen_;
};
