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

// Coordinates handed to the surface stay within this distance of the origin;
// transforms give values up to the 32-bit limits, which no device draws.
constexpr int32_t sg_kDrawLimit = 1 << 24;
// Recorded pictures keep the coordinate range of the devices they replay on.
constexpr DeviceRect sg_kPictureBox{0, 0, 32757, 32757};

bool sg_Drawable(int x, int y) {
    return std::abs(int64_t{x}) <= sg_kDrawLimit && std::abs(int64_t{y}) <= sg_kDrawLimit;
}

// Marks and tokens are never larger than this half-size.
constexpr int sg_kMaxMarkSize = 256;

int sg_Width(const DeviceRect& r) { return r.right - r.left; }
int sg_Height(const DeviceRect& r) { return r.bottom - r.top; }
int sg_MinSide(const DeviceRect& r) { return std::min(sg_Width(r), sg_Height(r)); }

}  // namespace

char StateLevelChar(int32_t state) {
    if ((state & kStateStrengthMask) == 0) return 'Z';
    return kDigitalStateLetters[state & kStateLevelMask];
}

void SetCurveClip(CDrawContext& dc, const DeviceRect& rect, int plotType) {
    const platform::Rect r{rect.left, rect.top, rect.right + 1, rect.bottom + 1};
    if (dc.IsPicture()) {
        SetPictureClipRect(r);
        return;
    }
    if (!dc.surface) return;
    // A region of more rows than any device has would only cost time.
    if (plotType == kPlotRectangular || r.Height() > (1 << 16)) {
        dc.surface->SetClipRect(r);
        return;
    }
    // The inscribed ellipse as one strip per pixel row.
    std::vector<platform::Rect> rows;
    const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    const double a = r.Width() / 2.0, b = r.Height() / 2.0;
    for (int y = r.top; y < r.bottom && a > 0 && b > 0; ++y) {
        const double t = (y + 0.5 - cy) / b;
        if (t * t >= 1) continue;
        const double half = a * std::sqrt(1 - t * t);
        const int left = static_cast<int>(std::lround(cx - half)), right = static_cast<int>(std::lround(cx + half));
        if (right > left) rows.push_back(platform::Rect{left, y, right, y + 1});
    }
    dc.surface->SetClipRegion(rows);
}

void SelectClipRegion(CDrawContext& dc, const CurveClipRegion& region) {
    if (region.Kind == CurveClipRegion::None) {
        dc.ResetClip();
        return;
    }
    // The region's right and bottom are exclusive already.
    const DeviceRect& b = region.Bounds;
    SetCurveClip(dc, DeviceRect{b.left, b.top, b.right - 1, b.bottom - 1},
                 region.Kind == CurveClipRegion::Ellipse ? kPlotPolar : kPlotRectangular);
}

bool ClipSegmentToRect(DeviceXY& a, DeviceXY& b, const DeviceRect& r) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {double(a.x) - r.left, double(r.right) - a.x, double(a.y) - r.top, double(r.bottom) - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const DeviceXY from = a;
    if (t1 < 1) b = DeviceXY{int32_t(std::lround(from.x + t1 * dx)), int32_t(std::lround(from.y + t1 * dy))};
    if (t0 > 0) a = DeviceXY{int32_t(std::lround(from.x + t0 * dx)), int32_t(std::lround(from.y + t0 * dy))};
    return true;
}

// ---- the pen ---------------------------------------------------------------------------------

CurvePen::CurvePen(CDrawContext& dc, int colorIndex, int width, int pattern)
    : dc_(dc), path_(&dc), width_(std::max(width, 1)) {
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
    if (view_.ViewKind == kViewKindAnalysis2D && view_.CursorMode && doc_.Runs.Count > 1 && Prefs().selectCurveColor &&
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
    if (!dc_.surface) return;
    // Only the part that can show is handed on: surfaces step lines pixel by
    // pixel, and a transform's far-off points would cost seconds each.
    DeviceRect box = sg_kPictureBox;
    if (!dc_.IsPicture()) {
        const Rect clip = dc_.surface->GetClipBox();
        if (clip.IsEmpty()) return;
        const int margin = 2 + std::max(0, pen_ ? pen_->Width() : 0);
        box = DeviceRect{clip.left - margin, clip.top - margin, clip.right + margin, clip.bottom + margin};
    }
    if (x0 < box.left || x0 > box.right || x1 < box.left || x1 > box.right || y0 < box.top || y0 > box.bottom ||
        y1 < box.top || y1 > box.bottom) {
        DeviceXY a{x0, y0}, b{x1, y1};
        if (!ClipSegmentToRect(a, b, box)) return;
        x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
    }
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
    const int64_t lo = std::max<int64_t>(int64_t{c.PlotRect.left} - 4 * int64_t{b}, -sg_kDrawLimit);
    const int64_t hi = std::min<int64_t>(int64_t{c.PlotRect.right} + 4 * int64_t{b}, sg_kDrawLimit);
    if (lo > hi || !sg_Drawable(0, L) || !sg_Drawable(0, H)) return;
    x0 = static_cast<int>(std::clamp<int64_t>(x0, lo, hi));
    x1 = static_cast<int>(std::clamp<int64_t>(x1, lo, hi));
    if (!drawLine) previous = state;
    if (c.ExprFlags(kAxisY) & kRadixMask) {
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
    if (!sg_Drawable(x0, c.DigitalHighY) || !sg_Drawable(x1, c.DigitalLowY)) return c.DigitalHighY;
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
    const int baseline = c.AxisLinear[kAxisY] ? c.ToDevice(kAxisY, 0.0) : c.PlotRect.bottom;
    Line(x, std::max(y, sg_kBarTop), x, baseline);
}

void CurvePainter::DrawDataPointMarker(int curve, int x, int y, int run) {
    const PlotCurve& c = Curve(curve);
    const int width = c.Style.lineWidth;
    int m = width / 2;
    if (!OnDisplay()) m = sg_MinSide(c.PlotRect) / 120 + (width > 1 ? width : 0);
    // A hairline's mark of half-size 0 would not show at all.
    m = std::clamp(m, 2, sg_kMaxMarkSize);
    if (!sg_Drawable(x, y) || x < c.PlotRect.left - (m + 2) || x > c.PlotRect.right + (m + 2) ||
        y < c.PlotRect.top - (m + 4) || y > c.PlotRect.bottom + (m + 4))
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
        if (std::abs(int64_t{point.x} - c.LastTokenPoint.x) <= 4 * (sg_Width(r) / 80)) return;
    }
    if (!sg_Drawable(point.x, point.y)) return;
    int s = sg_MinSide(c.PlotRect) / 160 + (c.Style.lineWidth > 1 ? c.Style.lineWidth : 0);
    s = std::clamp(s, 2, sg_kMaxMarkSize);
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
    if (suppressed) {
        c.PrevDevicePoint = c.DevicePoint;
        return;
    }
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
        if (draw && !c.IsDigital && c.Style.curveStyle == kCurveNormal && point > c.TrackFrom && sg_Drawable(x1, y1)) {
            x1 += 1;
            y1 += 1;
        }
    }
    if (draw) {
        const int run = doc_.Runs.Count - 1;
        SelectClipRegion(dc_, c.ClipRegion);
        SelectCurvePen(curve, run);
        DrawCurveSegment(x0, y0, x1, y1, curve, point > c.TrackFrom, point >= c.TrackFrom, run);
        ReleaseCurvePen();
        if (ViewOption(kViewTokens)) DrawToken(3, curve, DeviceXY{x0, y0});
        dc_.ResetClip();
    }
    c.PrevDevicePoint = c.DevicePoint;
}
