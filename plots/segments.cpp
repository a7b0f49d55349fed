#include "plots/segments.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "core/services.h"
#include "plots/g2ddoc.h"
#include "shell/preferences.h"

using platform::BrushDesc;
using platform::PenDesc;
using platform::Point;
using platform::Rect;

namespace {

constexpr int sg_kTokenShapes = 8;
// Popsicle bars start no higher than this device Y.
constexpr int sg_kBarTop = -100;

int sg_Width(const DeviceRect& r) { return r.right - r.left; }
int sg_Height(const DeviceRect& r) { return r.bottom - r.top; }
int sg_MinSide(const DeviceRect& r) { return std::min(sg_Width(r), sg_Height(r)); }

}  // namespace

int32_t CurveDeviceValue(const PlotCurve& c, int axis, double v) {
    double d;
    if (c.AxisLinear[axis])
        d = v * c.DeviceScale[axis] + c.DeviceOffset[axis];
    else if (v == 0)
        d = c.DeviceOffset[axis];
    else
        d = std::log10(std::max(std::fabs(v), 1e-50)) * c.DeviceScale[axis] + c.DeviceOffset[axis];
    if (!(d < 2147483647.0)) return std::numeric_limits<int32_t>::max();
    if (!(d > -2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::lround(d));
}

char StateLevelChar(int32_t state) {
    if ((state & kStateStrengthMask) == 0) return 'Z';
    return kDigitalStateLetters[state & kStateLevelMask];
}

// ---- the pen ---------------------------------------------------------------------------------

CurvePen::CurvePen(CDrawContext& dc, int colorIndex, int width, int pattern) : dc_(dc), path_(&dc) {
    if (width <= 1 && pattern == 0) {
        previous_ = dc_.SelectPen(colorIndex);
        return;
    }
    PenDesc pen;
    MakeStyledPenFromIndex(pen, path_, 0, std::max(width, 1), pattern, colorIndex);
    previous_ = dc_.SelectPenHandle(pen);
}

CurvePen::~CurvePen() { dc_.SelectPenHandle(previous_); }

void CurvePen::Line(int x0, int y0, int x1, int y1) {
    if (!Patterned()) {
        dc_.DrawLineOrRect(x0, y0, x1, y1, false);
        return;
    }
    Point a{x0, y0}, b{x1, y1};
    if (!ClipLineToDevice(dc_, a, b, false, false)) return;
    path_.MoveTo(a.x, a.y);
    path_.LineTo(b.x, b.y);
}

void CurvePen::Polyline(const Point* points, int count) {
    if (count <= 0 || !dc_.surface) return;
    if (!Patterned()) {
        dc_.surface->Polyline(points, count);
        return;
    }
    // The dashes run on across the corners.
    path_.MoveTo(points[0].x, points[0].y);
    for (int i = 1; i < count; ++i) path_.LineTo(points[i].x, points[i].y);
}

// ---- the painter -----------------------------------------------------------------------------

CurvePainter::CurvePainter(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view)
    : dc_(dc), doc_(doc), view_(view) {}

bool CurvePainter::ViewOption(int32_t bit) const {
    const int kind = doc_.AnalysisKind;
    if (kind < 0 || kind >= kAnalysisKindCount) return false;
    return (doc_.ViewOptions[kind] & bit) != 0;
}

int CurvePainter::BackgroundColorIndex() const { return dc_.monochrome ? kColorWhite : view_.BackgroundColor; }

int CurvePainter::CurveColor(int curve, int run) const {
    const PlotCurve& c = doc_.Curves[static_cast<size_t>(curve)];
    int color = c.Style.lineColor;
    if (c.Style.rainbow && run > 0) color = run % kPaletteColorCount;
    if (view_.ViewKind == kDocAnalysisPlot && view_.CursorMode && doc_.Runs.Count > 1 && Prefs().selectCurveColor &&
        curve == doc_.CurrentCurve) {
        // The branches that carry the cursors show the cursors' colours.
        if (run == c.CursorRun[0])
            color = view_.CursorColor[0];
        else if (run == c.CursorRun[1])
            color = view_.CursorColor[1];
    }
    if (view_.View) view_.View->MapColorForMonochrome(&dc_, &color);
    return color;
}

void CurvePainter::SelectCurvePen(int curve, int run) {
    pen_.reset();
    const PlotCurve& c = doc_.Curves[static_cast<size_t>(curve)];
    pen_ = std::make_unique<CurvePen>(dc_, CurveColor(curve, run), c.Style.lineWidth, c.Style.pattern & 0xFF);
}

void CurvePainter::ReleaseCurvePen() { pen_.reset(); }

void CurvePainter::Line(int x0, int y0, int x1, int y1) {
    if (pen_)
        pen_->Line(x0, y0, x1, y1);
    else
        dc_.DrawLineOrRect(x0, y0, x1, y1, false);
}

void CurvePainter::Polyline(const DeviceXY* points, int count) {
    if (count <= 0 || !dc_.surface) return;
    std::vector<Point> p(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) p[static_cast<size_t>(i)] = Point{points[i].x, points[i].y};
    if (pen_)
        pen_->Polyline(p.data(), count);
    else
        dc_.surface->Polyline(p.data(), count);
}

void CurvePainter::FillBox(const Rect& r, int outlineColor, const BrushDesc& brush) {
    const PenDesc pen = dc_.SelectPen(outlineColor);
    const BrushDesc old = dc_.SelectBrushHandle(brush);
    dc_.DrawLineOrRect(r.left, r.top, r.right, r.bottom, true);
    dc_.SelectBrushHandle(old);
    dc_.SelectPenHandle(pen);
}

void CurvePainter::DrawCurveSegment(int x0, int y0, int x1, int y1, int curve, bool drawLine, bool drawMarker,
                                    int run) {
    PlotCurve& c = Curve(curve);
    if (c.IsDigital) {
        DrawDigitalSegment(x0, y0, x1, y1, curve, drawLine);
    } else if (c.Style.curveStyle == kCurvePopsicle) {
        DrawBar(x1, y1, curve);
    } else if (drawLine) {
        Line(x0, y0, x1, y1);
    }
    if (drawMarker && ViewOption(kViewDataPoints)) DrawDataPointMarker(curve, x1, y1, run);
}

void CurvePainter::DrawDigitalSegment(int x0, int32_t previous, int x1, int32_t state, int curve, bool drawLine) {
    const PlotCurve& c = Curve(curve);
    const int L = c.DigitalLowY, H = c.DigitalHighY;
    const int b = L - H;
    // Ends far outside the plot would overflow the drawing: four band heights
    // beyond either edge look the same.
    const int lo = c.PlotRect.left - 4 * b, hi = c.PlotRect.right + 4 * b;
    x0 = std::clamp(x0, lo, hi);
    x1 = std::clamp(x1, lo, hi);
    if (!drawLine) previous = state;
    if (c.ExprFlags(kAxisY) & kBusDisplayFlags) {
        DrawBusSegment(x0, previous, x1, curve, true);
        return;
    }
    const char from = StateLevelChar(previous);
    const char to = StateLevelChar(state);
    const int v = std::min(b - 2, x1 - x0 - 1);
    switch (from) {
    case '0':
        Line(x0, L, x1, L);
        if (to == '1') Line(x1, H, x1, L);
        break;
    case '1':
        Line(x0, H, x1, H);
        if (to == '0') Line(x1, L, x1, H);
        break;
    case 'R':
        Line(x0 + v, H + 1, x1, H + 1);
        Line(x1, H + 1, x1 - v, L - 1);
        Line(x1 - v, L - 1, x0, L - 1);
        Line(x0, L - 1, x0 + v, H + 1);
        break;
    case 'F':
        Line(x0, H + 1, x1 - v, H + 1);
        Line(x1 - v, H + 1, x1, L - 1);
        Line(x1, L - 1, x0 + v, L - 1);
        Line(x0 + v, L - 1, x0, H + 1);
        break;
    case 'X':
    case 'Z': {
        const int color = CurveColor(curve, doc_.Runs.Count - 1);
        FillBox(Rect{x0, H + 1, x1 + 1, L}, color,
                BrushDesc::Hatched(platform::HatchStyle::DiagonalCross, dc_.GetColorValue(color)));
        if (from == 'Z') {
            const int middle = H + 1 + (b - 2) / 2;
            Line(x0, middle, x1, middle);
        }
        break;
    }
    default: break;  // '?': unknown, nothing to show
    }
}

int CurvePainter::DrawBusSegment(int x0, int32_t state, int x1, int curve, bool draw) {
    const PlotCurve& c = Curve(curve);
    const int t = c.DigitalHighY + 1, u = c.DigitalLowY - 1;
    const int m = t + (u - t) / 2;
    int d = std::min(u - t, x1 - x0 - 1);
    if (2 * d > x1 - x0) d = (x1 - x0) / 2 - 1;  // the slants would cross
    if (d < 0 || !draw) return m;
    Line(x0, m, x0 + d, t);
    Line(x0 + d, t, x1 - d, t);
    Line(x1 - d, t, x1, m);
    Line(x0, m, x0 + d, u);
    Line(x0 + d, u, x1 - d, u);
    Line(x1 - d, u, x1, m);

    char text[80];
    FormatRadixValue(c.ExprFlags(kAxisY), text, sizeof text, static_cast<uint32_t>(state), c.DigitalFormat);
    if (dc_.GetTextWidth(text) > x1 - x0 || !dc_.surface) return m;
    const platform::BackgroundMode mode = dc_.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    const platform::Color textColor = dc_.SetTextColorIndex(CurveColor(curve, doc_.Runs.Count - 1));
    Rect box{x0 + 1, t, x1 + 1, u};
    box.left = std::max(box.left, c.PlotRect.left);
    box.right = std::min(box.right, c.PlotRect.right);
    if (box.right > box.left)
        dc_.DrawTextAligned(text, box,
                            platform::TextBox::Center | platform::TextBox::VCenter | platform::TextBox::SingleLine |
                                platform::TextBox::NoClip);
    dc_.surface->SetTextColor(textColor);
    dc_.surface->SetBackgroundMode(mode);
    return m;
}

void CurvePainter::DrawBar(int x, int y, int curve) {
    const PlotCurve& c = Curve(curve);
    const int m = std::max(2, sg_MinSide(c.PlotRect) / 160);
    if (x < c.PlotRect.left - (m + 5) || x > c.PlotRect.right + (m + 5)) return;
    const int baseline = c.AxisLinear[kAxisY] ? CurveDeviceValue(c, kAxisY, 0.0) : c.PlotRect.bottom;
    Line(x, std::max(y, sg_kBarTop), x, baseline);
}

void CurvePainter::DrawDataPointMarker(int curve, int x, int y, int run) {
    const PlotCurve& c = Curve(curve);
    const int width = c.Style.lineWidth;
    int m = width / 2;
    if (!OnDisplay()) m = sg_MinSide(c.PlotRect) / 120 + (width > 1 ? width : 0);
    // A hairline's mark of half-size 0 would not show at all.
    m = std::max(m, 2);
    if (x < c.PlotRect.left - (m + 2) || x > c.PlotRect.right + (m + 2) || y < c.PlotRect.top - (m + 4) ||
        y > c.PlotRect.bottom + (m + 4))
        return;
    const int color = CurveColor(curve, run);
    const int fill = (c.Style.pointStyle == 1 || c.Style.pointStyle == 3) ? color : BackgroundColorIndex();
    const PenDesc pen = dc_.SelectPen(color);
    const BrushDesc brush = dc_.SelectBrush(fill);
    const Rect r{x - m, y - m, x + m + 1, y + m + 1};
    if (dc_.surface) {
        if (c.Style.pointStyle == 0 || c.Style.pointStyle == 1)
            dc_.surface->Ellipse(r);
        else
            dc_.DrawLineOrRect(r.left, r.top, r.right, r.bottom, true);
    }
    dc_.SelectBrushHandle(brush);
    dc_.SelectPenHandle(pen);
}

void CurvePainter::DrawToken(int mode, int curve, DeviceXY point) {
    if (mode == 1) {
        for (PlotCurve& c : doc_.Curves) c.LastTokenPoint = DeviceXY{c.PlotRect.left, c.PlotRect.top};
        return;
    }
    PlotCurve& c = Curve(curve);
    if (c.IndexInPlot == 0 || c.IsDigital) return;
    if (mode == 3) {
        const DeviceRect& r = c.PlotRect;
        if (point.x < r.left || point.x > r.right || point.y < r.top || point.y > r.bottom) return;
        if (std::abs(point.x - c.LastTokenPoint.x) <= 4 * (sg_Width(r) / 80)) return;
    }
    int s = sg_MinSide(c.PlotRect) / 160 + (c.Style.lineWidth > 1 ? c.Style.lineWidth : 0);
    s = std::max(s, 2);
    const int x = point.x, y = point.y;
    const int color = CurveColor(curve, doc_.Runs.Count - 1);
    const int shape = (c.IndexInPlot - 1) % sg_kTokenShapes;
    const Rect square{x - s, y - s, x + s + 1, y + s + 1};
    switch (shape) {
    case 0: FillBox(square, color, dc_.GetBrushObject(color)); break;
    case 1: FillBox(square, BackgroundColorIndex(), dc_.GetBrushObject(color)); break;
    case 2:
        Line(x - s, y, x + s + 1, y);
        Line(x, y - s, x, y + s + 1);
        break;
    case 3:
        Line(x - s, y - s, x + s + 1, y + s + 1);
        Line(x + s, y - s, x - s - 1, y + s + 1);
        break;
    case 4:
        Line(x - s, y + s, x + s, y + s);
        Line(x + s, y + s, x, y - s);
        Line(x, y - s, x - s, y + s);
        break;
    case 5:
        Line(x - s, y, x, y - s);
        Line(x, y - s, x + s, y);
        Line(x + s, y, x, y + s);
        Line(x, y + s, x - s, y);
        break;
    case 6:
        Line(x - s, y, x + s + 1, y);
        Line(x, y - s, x, y + s + 1);
        Line(x - s, y - s, x + s + 1, y + s + 1);
        Line(x + s, y - s, x - s - 1, y + s + 1);
        break;
    default: break;  // the eighth curve of a group goes without
    }
    c.LastTokenPoint = point;
}

void CurvePainter::DrawNewSegment(int curve, bool force) {
    PlotCurve& c = Curve(curve);
    CG2DDoc* analysis = dynamic_cast<CG2DDoc*>(&doc_);
    const int point = doc_.Point.RunPointIndex;
    const bool suppressed = (analysis && analysis->PlotSuppressed) || doc_.NoDrawing || c.PlotType == kPlotPolar ||
                            !(c.UseFlags & kCurveDrawn);
    if (suppressed) return;
    bool draw = point >= 1 || ViewOption(kViewDataPoints);
    int x0 = c.PrevDevicePoint.x, y0 = c.PrevDevicePoint.y;
    int x1 = c.DevicePoint.x, y1 = c.DevicePoint.y;
    if (draw) {
        if (force && c.IsDigital) y0 = y1;
        if (!c.IsDigital && x0 > x1) c.XReversed = 1;
        if (analysis && analysis->ProbeMode) draw = false;
    }
    if (draw && x1 == x0 && y1 == y0) {
        // A point that did not move is not drawn again after the start of a run.
        draw = point <= 2 || force;
        if (draw && !c.IsDigital && c.Style.curveStyle == kCurveNormal && point > c.TrackFrom) {
            x1 += 1;
            y1 += 1;
        }
    }
    if (draw) {
        const int run = doc_.Runs.Count - 1;
        dc_.SetClipRect(Rect{c.PlotRect.left, c.PlotRect.top, c.PlotRect.right + 1, c.PlotRect.bottom + 1});
        SelectCurvePen(curve, run);
        DrawCurveSegment(x0, y0, x1, y1, curve, point > c.TrackFrom, point >= c.TrackFrom, run);
        ReleaseCurvePen();
        if (ViewOption(kViewTokens)) DrawToken(3, curve, DeviceXY{x0, y0});
        dc_.ResetClip();
    }
    c.PrevDevicePoint = c.DevicePoint;
}
