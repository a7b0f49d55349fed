#include "plots/plotobjects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "compiler/support.h"
#include "core/numbers.h"
#include "core/properties.h"
#include "document/cfanalysis.h"
#include "plots/andoc.h"
#include "plots/apdoc.h"
#include "plots/apview.h"
#include "plots/layout.h"
#include "shell/drawcontext.h"
#include "shell/fonts.h"

namespace {

using platform::Point;
using platform::Rect;

constexpr int po_Offscreen = 100;  // how far MIN and MAX vertices lie off the area
// Screen coordinates are kept within this distance of the origin: far enough
// off any drawing for clipping to drop the rest, near enough that the sums
// and midpoints of the drawing cannot overflow.
constexpr double po_ScreenLimit = 1.0e6;

int po_Screen(double v) {
    if (!(v == v)) return 0;  // a NaN value has no place: the origin
    return static_cast<int>(std::clamp(v, -po_ScreenLimit, po_ScreenLimit));
}

bool po_HasCurve(const PlotCurveArray& curves, int curve) {
    return curve >= 0 && curve < static_cast<int>(curves.size());
}

bool po_IsMeasure(int kind) { return kind == kObjMeasureV || kind == kObjMeasureH; }

// The curve of the second corner: measure marks keep their own, every other
// kind shares the first.
int po_SecondCurve(const PlotObject& o) { return po_IsMeasure(o.type) && o.plot2 >= 0 ? o.plot2 : o.plot; }

int po_Round(double v) { return po_Screen(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5)); }

Rect po_Normalized(Point a, Point b) {
    return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The colour an object is drawn in: the selection colour when selected, and a
// colour that would vanish on its background inverted.
int po_Color(int color, bool selected, int background, const PlotObjectFrame& frame) {
    if (color == kColorNone) return color;
    if (selected) return frame.SelectColor;
    return color == background ? color ^ 15 : color;
}

// Tags are open figures: one stored without a line colour still shows, in
// the default outline colour new open figures get.
int po_TagLineColor(const PlotObject& o) { return o.style.color == kColorNone ? 4 : o.style.color; }

platform::FontDesc po_ScaledFont(const FontSpec& spec, double scale) {
    platform::FontDesc font;
    FontSpecToLogFont(spec, font);
    // A stored height beyond any screen is kept to a page's height.
    int height = static_cast<int>(std::clamp(font.height * scale, -1000.0, 1000.0));
    if (std::abs(height) < 10) height = -10;
    font.height = height;
    return font;
}

// Pen and brush of a figure's style for one draw; put back when it goes.
class FigureStyle {
public:
    FigureStyle(CDrawContext& dc, int lineColor, int fillColor, int width, int pattern, bool filled)
        : dc_(dc), path_(&dc) {
        platform::DrawSurface* s = dc.surface;
        oldPen_ = s->GetPen();
        oldBrush_ = s->GetBrush();
        if (!filled || fillColor == kColorNone)
            s->SetBrush(platform::BrushDesc::Null());
        else
            s->SetBrush(dc.GetBrushObject(fillColor));
        if (lineColor == kColorNone) {
            s->SetPen(platform::PenDesc::Null());
        } else {
            platform::PenDesc pen;
            // Line patterns above the dash-dot family are stored for solid lines.
            MakeStyledPenFromIndex(pen, path_, 0, std::max(width, 1), pattern > 9 ? 0 : pattern, lineColor);
            if (width <= 1) pen.width = 0;
            s->SetPen(pen);
        }
    }
    ~FigureStyle() {
        dc_.surface->SetPen(oldPen_);
        dc_.surface->SetBrush(oldBrush_);
    }
    FigureStyle(const FigureStyle&) = delete;
    FigureStyle& operator=(const FigureStyle&) = delete;

    // A line in the pen's pattern.
    void Line(Point a, Point b) {
        path_.MoveTo(a.x, a.y);
        path_.LineTo(b.x, b.y);
    }
    void Polyline(const std::vector<Point>& points) {
        if (points.empty()) return;
        path_.MoveTo(points[0].x, points[0].y);
        for (size_t i = 1; i < points.size(); ++i) path_.LineTo(points[i].x, points[i].y);
    }

private:
    CDrawContext& dc_;
    LinePath path_;
    platform::PenDesc oldPen_;
    platform::BrushDesc oldBrush_;
};

// A brace in the rectangle: two cubic halves meeting at the middle point of
// the facing side.
void po_Brace(CDrawContext& dc, const Rect& r, bool leftFacing) {
    const int mid = (r.top + r.bottom) / 2;
    const int outer = leftFacing ? r.right : r.left;
    const int inner = leftFacing ? r.left : r.right;
    const int centre = (r.left + r.right) / 2;
    const Point upper[4] = {{outer, r.top}, {centre, r.top}, {centre, mid}, {inner, mid}};
    const Point lower[4] = {{inner, mid}, {centre, mid}, {centre, r.bottom}, {outer, r.bottom}};
    dc.surface->PolyBezier(upper, 4);
    dc.surface->PolyBezier(lower, 4);
}

// The dotted pen of tag leaders.
platform::PenDesc po_DottedPen(CDrawContext& dc, int color) {
    platform::PenDesc pen = dc.GetPenObject(color);
    pen.style = platform::PenStyle::Dot;
    pen.width = 0;
    return pen;
}

// Text of a tag: in the tag's font (its colour, else the line colour).
void po_TagText(CDrawContext& dc, const std::string& text, Rect box, int color) {
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    dc.SetTextColorIndex(color);
    dc.DrawTextAligned(text, box,
                       platform::TextBox::Center | platform::TextBox::VCenter | platform::TextBox::SingleLine |
                           platform::TextBox::NoClip);
}

}  // namespace

// ---- coordinates

int PlotToScreen(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve, double value, int axis) {
    if (po_HasCurve(curves, curve)) return po_Screen(curves[static_cast<size_t>(curve)].ToDevice(axis, value));
    const Rect& a = frame.DrawArea;
    const int size = axis == kAxisX ? a.right - a.left : a.bottom - a.top;
    const int origin = axis == kAxisX ? a.left : a.top;
    return po_Screen(origin + std::trunc(value * size * 0.0001));
}

double ScreenToPlot(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve, int screen, int axis) {
    if (po_HasCurve(curves, curve)) return curves[static_cast<size_t>(curve)].FromDevice(axis, screen);
    const Rect& a = frame.DrawArea;
    const int size = axis == kAxisX ? a.right - a.left : a.bottom - a.top;
    const int origin = axis == kAxisX ? a.left : a.top;
    return size > 0 ? (screen - origin) * 10000.0 / size : 0;
}

Point PlotPointToScreen(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve, double x, double y) {
    return Point{PlotToScreen(curves, frame, curve, x, kAxisX), PlotToScreen(curves, frame, curve, y, kAxisY)};
}

Point PolygonVertexToScreen(const PlotCurveArray& curves, const PlotObjectFrame& frame, int curve,
                            const PlotVertex& v) {
    const Rect& a = frame.DrawArea;
    // A reversed axis runs from high to low on the screen.
    bool reversedX = false, reversedY = false;
    if (po_HasCurve(curves, curve)) {
        const PlotCurve& c = curves[static_cast<size_t>(curve)];
        reversedX = c.RangeHigh[kAxisX] < c.RangeLow[kAxisX];
        reversedY = c.RangeHigh[kAxisY] < c.RangeLow[kAxisY];
    }
    Point p = PlotPointToScreen(curves, frame, curve, v.x, v.y);
    const int left = -po_Offscreen, right = a.right + po_Offscreen;
    const int top = -po_Offscreen, bottom = a.bottom + po_Offscreen;
    if (v.modeX == 1) p.x = reversedX ? right : left;
    if (v.modeX == 2) p.x = reversedX ? left : right;
    if (v.modeY == 1) p.y = reversedY ? top : bottom;
    if (v.modeY == 2) p.y = reversedY ? bottom : top;
    return p;
}

// ---- texts

std::string PlotObjectText(const PlotObject& object) {
    if (!object.text) return std::string();
    std::string text = object.text;
    if (text.size() < 2 || text[0] != '=') return text;
    // A formula of at most 500 characters, evaluated in the circuit's context.
    const std::string formula = text.substr(1, 500);
    int error = 0;
    const double value = EvaluateNumericText(formula.c_str(), &error, 0);
    if (error) return text;
    char shown[64];
    FormatNumber(shown, sizeof shown, value, 6, 'G', kNumStripExponent);
    return shown;
}

std::string PointTagText(const PlotCurveArray& curves, const PlotObject& tag) {
    if (!po_HasCurve(curves, tag.plot)) return std::string();
    const PlotCurve& c = curves[static_cast<size_t>(tag.plot)];
    return c.FormatAxisValue(kAxisX, tag.corners[0]) + "," + c.FormatAxisValue(kAxisY, tag.corners[1]);
}

std::string RangeTagText(const PlotCurveArray& curves, const PlotObject& tag) {
    if (!po_HasCurve(curves, tag.plot)) return std::string();
    const PlotCurve& c = curves[static_cast<size_t>(tag.plot)];
    if (tag.type == kObjMeasureV) return c.FormatAxisValue(kAxisY, std::fabs(tag.corners[1] - tag.corners[3]));
    return c.FormatAxisValue(kAxisX, std::fabs(tag.corners[0] - tag.corners[2]));
}

// ---- marks

void DrawArrowHead(CDrawContext& dc, Point from, Point to, unsigned marks, int size) {
    if (!dc.surface || size <= 0) return;
    const unsigned form = (marks & 0x000F) ? (marks & 0x000F) : ((marks >> 12) & 0x000F);
    if (!form) return;
    const double b = size;
    const double length =
        (form & kMarkDiamond) && !(form & (kMarkFilledTriangle | kMarkOpenV | kMarkCircle)) ? b : 2 * b;
    double dx = to.x - from.x, dy = to.y - from.y;
    double d = std::hypot(dx, dy);
    if (d == 0) {
        // A segment without a direction points its mark to the right.
        dx = 1;
        dy = 0;
        d = 1;
    }
    const double ux = dx / d, uy = dy / d;
    const double bx = to.x - length * ux, by = to.y - length * uy;
    const Point c1{po_Round(bx - b * uy), po_Round(by + b * ux)};
    const Point c2{po_Round(bx + b * uy), po_Round(by - b * ux)};
    platform::DrawSurface& s = *dc.surface;
    if (form & kMarkFilledTriangle) {
        const Point tri[3] = {to, c1, c2};
        const platform::BrushDesc old = s.SetBrush(platform::BrushDesc::Solid(s.GetPen().color));
        s.Polygon(tri, 3);
        s.SetBrush(old);
    } else if (form & kMarkOpenV) {
        s.MoveTo(c1);
        s.LineTo(to);
        s.LineTo(c2);
    } else if (form & kMarkCircle) {
        const int cx = static_cast<int>(to.x - b * ux), cy = static_cast<int>(to.y - b * uy);
        s.Ellipse(Rect{cx - size, cy - size, cx + size + 1, cy + size + 1});
    } else if (form & kMarkDiamond) {
        const Point fourth{c1.x + c2.x - to.x, c1.y + c2.y - to.y};
        const Point diamond[4] = {c1, fourth, c2, to};
        s.Polygon(diamond, 4);
    }
}

// ---- tags

bool GetTagGeometry(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& o,
                    TagGeometry* out) {
    if (!out || !dc.surface || (o.type != kObjMeasureV && o.type != kObjTag && o.type != kObjMeasureH)) return false;
    if (!po_HasCurve(curves, o.plot)) return false;
    const platform::FontDesc oldFont = dc.surface->SetFont(po_ScaledFont(o.font, frame.TextScale));
    TagGeometry g;
    g.Points[0] = PlotPointToScreen(curves, frame, o.plot, o.corners[0], o.corners[1]);
    if (o.type == kObjTag) {
        const std::string text = PointTagText(curves, o);
        const Point anchor = PlotPointToScreen(curves, frame, o.plot, o.corners[2], o.corners[3]);
        const platform::Size extent = dc.surface->GetTextExtent(text);
        const int w = extent.cx + 4, h = extent.cy + 2;
        // The text stands away from the point: right of the anchor when the
        // anchor is right of the point, above it when it is above the point.
        const int left = anchor.x >= g.Points[0].x ? anchor.x : anchor.x - w;
        const int top = anchor.y <= g.Points[0].y ? anchor.y - h : anchor.y;
        g.Points[1] = g.Points[0];
        g.TextBox = Rect{left, top, left + w, top + h};
        g.LineEnds[0] = g.Points[0];
        g.LineEnds[1] = anchor;
    } else {
        g.Points[1] = PlotPointToScreen(curves, frame, po_SecondCurve(o), o.corners[2], o.corners[3]);
        const std::string text = RangeTagText(curves, o);
        const platform::Size extent = dc.surface->GetTextExtent(text);
        if (o.type == kObjMeasureV) {
            const int u = PlotToScreen(curves, frame, o.plot, o.measure, kAxisX);
            const int mid = (g.Points[0].y + g.Points[1].y) / 2;
            g.LineEnds[0] = Point{u, g.Points[0].y};
            g.LineEnds[1] = Point{u, g.Points[1].y};
            g.TextBox = Rect{u - extent.cx / 2 - 2, mid - extent.cy / 2, u + (extent.cx + 1) / 2 + 2,
                             mid + (extent.cy + 1) / 2};
        } else {
            const int v = PlotToScreen(curves, frame, o.plot, o.measure, kAxisY);
            const int mid = (g.Points[0].x + g.Points[1].x) / 2;
            g.LineEnds[0] = Point{g.Points[0].x, v};
            g.LineEnds[1] = Point{g.Points[1].x, v};
            g.TextBox = Rect{mid - extent.cx / 2 - 2, v - extent.cy / 2, mid + (extent.cx + 1) / 2 + 2,
                             v + (extent.cy + 1) / 2};
        }
    }
    dc.surface->SetFont(oldFont);
    *out = g;
    return true;
}

namespace {

// The text box's fill, when the object has a fill colour.
void po_FillBox(CDrawContext& dc, const Rect& box, int fillColor) {
    if (fillColor == kColorNone) return;
    dc.surface->FillRect(box, dc.GetColorValue(fillColor));
}

int po_MarkSize(const PlotObject& o, const PlotObjectFrame& frame) {
    return std::max(1, static_cast<int>(frame.TextScale * (o.style.width + 4)));
}

void po_DrawPointTag(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& o,
                     bool selected, int background) {
    TagGeometry g;
    if (!GetTagGeometry(dc, curves, frame, o, &g)) return;
    platform::DrawSurface& s = *dc.surface;
    const int line = po_Color(po_TagLineColor(o), selected, background, frame);
    const int textColor = po_Color(o.font.color == kColorNone ? line : o.font.color, selected, background, frame);
    const platform::FontDesc oldFont = s.SetFont(po_ScaledFont(o.font, frame.TextScale));
    po_FillBox(dc, g.TextBox, o.style.fillColor);
    const platform::PenDesc oldPen = s.SetPen(dc.GetPenObject(line));
    // The leader from the point to the text's corner, and the line under
    // (or over) the text through that corner.
    s.MoveTo(g.LineEnds[0]);
    s.LineTo(g.LineEnds[1]);
    const int rule = g.TextBox.top < g.LineEnds[1].y ? g.TextBox.bottom : g.TextBox.top;
    s.MoveTo(g.TextBox.left, rule);
    s.LineTo(g.TextBox.right, rule);
    if (o.flags & 0xF00F) DrawArrowHead(dc, g.LineEnds[1], g.LineEnds[0], o.flags, po_MarkSize(o, frame));
    s.SetPen(oldPen);
    po_TagText(dc, PointTagText(curves, o), g.TextBox, textColor);
    s.SetFont(oldFont);
}

// Moves `from` toward `to` by `length` along the axis they differ on.
Point po_Toward(Point from, Point to, int length) {
    if (from.x == to.x) return Point{from.x, from.y + (to.y > from.y ? length : -length)};
    return Point{from.x + (to.x > from.x ? length : -length), from.y};
}

void po_DrawRangeTag(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& o,
                     bool selected, int background) {
    TagGeometry g;
    if (!GetTagGeometry(dc, curves, frame, o, &g)) return;
    platform::DrawSurface& s = *dc.surface;
    const int line = po_Color(po_TagLineColor(o), selected, background, frame);
    const int textColor = po_Color(o.font.color == kColorNone ? line : o.font.color, selected, background, frame);
    const platform::FontDesc oldFont = s.SetFont(po_ScaledFont(o.font, frame.TextScale));
    // Dotted leaders from the two points to the dimension line.
    const platform::PenDesc oldPen = s.SetPen(po_DottedPen(dc, line));
    for (int i = 0; i < 2; ++i) {
        s.MoveTo(g.Points[i]);
        s.LineTo(g.LineEnds[i]);
    }
    // The dimension line in two pieces, from each end toward the other,
    // leaving the middle to the text.
    s.SetPen(dc.GetPenObject(line));
    const bool vertical = o.type == kObjMeasureV;
    const int span =
        vertical ? std::abs(g.LineEnds[0].y - g.LineEnds[1].y) : std::abs(g.LineEnds[0].x - g.LineEnds[1].x);
    const int room = vertical ? g.TextBox.bottom - g.TextBox.top : g.TextBox.right - g.TextBox.left;
    const int piece = std::max(0, (span - room) / 2 - 2);
    for (int i = 0; i < 2; ++i) {
        const Point end = g.LineEnds[i], other = g.LineEnds[1 - i];
        if (piece > 0) {
            s.MoveTo(end);
            s.LineTo(po_Toward(end, other, piece));
        }
        if (o.flags & 0x000F) DrawArrowHead(dc, other, end, o.flags & 0x000F, po_MarkSize(o, frame));
    }
    s.SetPen(oldPen);
    po_FillBox(dc, g.TextBox, o.style.fillColor);
    po_TagText(dc, RangeTagText(curves, o), g.TextBox, textColor);
    s.SetFont(oldFont);
}

// Text stored with the file's line-break byte breaks lines there.
std::string po_TextLines(const std::string& text) {
    std::string t = text;
    std::replace(t.begin(), t.end(), '\xFE', '\n');
    return t;
}

void po_DrawText(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& o,
                 bool selected, int background) {
    if (!o.text || !o.text[0]) return;
    platform::DrawSurface& s = *dc.surface;
    const std::string text = po_TextLines(PlotObjectText(o));
    const Point at = PlotPointToScreen(curves, frame, o.plot, o.corners[0], o.corners[1]);
    const platform::FontDesc oldFont = s.SetFont(po_ScaledFont(o.font, frame.TextScale));
    const int fontColor = o.font.color == kColorNone ? 0 : o.font.color;
    const int textColor = po_Color(fontColor, selected, background, frame);
    const int border = po_Color(o.style.color, selected, background, frame);
    const int fill = o.style.fillColor;
    const platform::BackgroundMode oldMode = s.SetBackgroundMode(platform::BackgroundMode::Transparent);
    dc.SetTextColorIndex(textColor);
    if (o.font.style & 0x70) {
        Rect box{at.x, at.y, at.x, at.y};
        dc.GetRotatedTextRect(text.c_str(), o.font.style, box);
        const Rect frameBox = po_Normalized(Point{box.left, box.top}, Point{box.right, box.bottom});
        po_FillBox(dc, frameBox, fill);
        if (border != kColorNone) dc.surface->FrameRect(frameBox, dc.GetBrushObject(border));
        const unsigned oldAlign = s.SetTextAlign(platform::TextAlign::Left | platform::TextAlign::Top);
        s.TextOut(at, text);
        s.SetTextAlign(oldAlign);
    } else {
        // The text hangs one line below its point.
        Rect box{at.x, at.y, at.x, at.y};
        const int height = dc.MeasureTextBlock(text.c_str(), box, 0);
        box.top += height;
        box.bottom += height;
        const Rect frameBox{box.left - 2, box.top, box.right + 2, box.bottom};
        po_FillBox(dc, frameBox, fill);
        if (border != kColorNone) dc.surface->FrameRect(frameBox, dc.GetBrushObject(border));
        dc.DrawTextAligned(text, box, platform::TextBox::Left | platform::TextBox::NoClip);
    }
    s.SetBackgroundMode(oldMode);
    s.SetFont(oldFont);
}

void po_DrawPolygon(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& o,
                    bool selected, int background) {
    if (o.vertices.empty()) return;
    std::vector<Point> points;
    points.reserve(o.vertices.size() + 1);
    for (const PlotVertex& v : o.vertices) points.push_back(PolygonVertexToScreen(curves, frame, o.plot, v));
    const int line = po_Color(o.style.color, selected, background, frame);
    const int fill = o.style.fillColor == kColorNone ? kColorNone : selected ? frame.SelectColor : o.style.fillColor;
    FigureStyle style(dc, line, fill, o.style.width, o.style.pattern, true);
    if (fill != kColorNone) {
        dc.surface->Polygon(points.data(), static_cast<int>(points.size()));
    } else {
        style.Polyline(points);
    }
}

void po_DrawFigure(CDrawContext& dc, const PlotCurveArray& curves, const PlotObjectFrame& frame, const PlotObject& o,
                   bool selected, int background) {
    const Point a = PlotPointToScreen(curves, frame, o.plot, o.corners[0], o.corners[1]);
    const Point b = PlotPointToScreen(curves, frame, po_SecondCurve(o), o.corners[2], o.corners[3]);
    const int line = po_Color(o.style.color, selected, background, frame);
    const int fill = o.style.fillColor == kColorNone ? kColorNone : selected ? frame.SelectColor : o.style.fillColor;
    platform::DrawSurface& s = *dc.surface;
    const Rect r = po_Normalized(a, b);
    const Rect box{r.left, r.top, r.right + 1, r.bottom + 1};
    FigureStyle style(dc, line, fill, o.style.width, o.style.pattern, o.type != kObjLine && o.type != kObjArc);
    switch (o.type) {
    case kObjLine: {
        style.Line(a, b);
        if ((o.flags & 0xF00F) && line != kColorNone) {
            const platform::PenDesc old = s.SetPen(dc.GetPenObject(line));
            const int size = po_MarkSize(o, frame);
            if (o.flags & 0x000F) DrawArrowHead(dc, a, b, o.flags & 0x000F, size);
            if (o.flags & 0xF000) DrawArrowHead(dc, b, a, o.flags & 0xF000, size);
            s.SetPen(old);
        }
        break;
    }
    case kObjEllipse: s.Ellipse(box); break;
    case kObjRectangle:
        if (o.flags & kShapeRounded)
            s.RoundRect(box, 24, 24);
        else
            s.Rectangle(box);
        break;
    case kObjDiamond: {
        const int mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
        const Point diamond[4] = {{mx, r.top}, {r.right, my}, {mx, r.bottom}, {r.left, my}};
        s.Polygon(diamond, 4);
        break;
    }
    case kObjArc:
    case kObjPie: {
        // A quarter of the ellipse through both points, centred level with
        // the first point and in line with the second.
        const int ax = std::abs(b.x - a.x), ay = std::abs(b.y - a.y);
        const Point centre{b.x, a.y};
        const int grow = o.type == kObjPie ? 1 : 0;
        const Rect ellipse{centre.x - ax, centre.y - ay, centre.x + ax + grow, centre.y + ay + grow};
        if (o.type == kObjArc)
            s.Arc(ellipse, b, a);
        else
            s.Pie(ellipse, b, a);
        break;
    }
    case kObjLeftBrace: po_Brace(dc, r, true); break;
    case kObjRightBrace: po_Brace(dc, r, false); break;
    case kObjBraces: {
        const int d = std::min((r.right - r.left) / 2, (r.bottom - r.top) / 4);
        po_Brace(dc, Rect{r.left, r.top, r.left + d, r.bottom}, true);
        po_Brace(dc, Rect{r.right - d, r.top, r.right, r.bottom}, false);
        break;
    }
    default: break;
    }
}

// The objects a pass draws: drawn ones of a shown, plotted curve (or of no
// curve) in the group asked for.
bool po_Drawable(const CANDoc& doc, const PlotObject& o, int group) {
    if (o.type <= 0 || (o.style.spare & kPlotObjectHidden)) return false;
    if (o.plot < 0) {
        // A tag whose curve went stays out of sight until the curve returns.
        if (o.alias1 != 0) return false;
        return group == -1;
    }
    if (o.plot >= std::min(doc.PlottedCount, doc.CurveCount())) return false;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(o.plot)];
    if (!c.IsShown() || c.PlotNumber == 0) return false;
    if (po_IsMeasure(o.type) && o.plot2 >= doc.CurveCount()) return false;
    return group == -1 || c.PlotNumber == group;
}

}  // namespace

void DrawPlotObjects(CDrawContext& dc, CANDoc& doc, const PlotObjectFrame& frame, int group) {
    if (!dc.surface || doc.Objects.empty()) return;
    if (const auto* plot = dynamic_cast<const CAPDoc*>(&doc); plot && plot->Run.Running && !plot->Run.Paused) return;
    const PlotCurveArray& curves = doc.Curves;
    platform::DrawSurface& s = *dc.surface;
    for (int sweep = 0; sweep < 2; ++sweep) {
        const bool selectedSweep = sweep == 1;
        if (!(frame.Filter & (selectedSweep ? 1 : 2))) continue;
        for (const std::unique_ptr<PlotObject>& holder : doc.Objects) {
            if (!holder) continue;
            const PlotObject& o = *holder;
            const bool selected = (o.style.spare & kPlotObjectSelected) != 0;
            if (selected != selectedSweep || !po_Drawable(doc, o, group)) continue;
            s.SaveState();
            int background = frame.WindowBackground;
            if (o.plot >= 0) {
                const DeviceRect& r = curves[static_cast<size_t>(o.plot)].PlotRect;
                s.IntersectClipRect(Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1});
                background = frame.PlotBackground;
            }
            switch (o.type) {
            case kObjMeasureV:
            case kObjMeasureH: po_DrawRangeTag(dc, curves, frame, o, selected, background); break;
            case kObjTag: po_DrawPointTag(dc, curves, frame, o, selected, background); break;
            case kObjText: po_DrawText(dc, curves, frame, o, selected, background); break;
            case kObjPoly: po_DrawPolygon(dc, curves, frame, o, selected, background); break;
            case kObjPicture: break;  // pictures have no source on a plot
            default: po_DrawFigure(dc, curves, frame, o, selected, background); break;
            }
            s.RestoreState();
        }
    }
}

PlotObjectFrame MakePlotObjectFrame(CAPView& view, CDrawContext& dc) {
    PlotObjectFrame frame;
    view.GetDrawArea(&dc, &frame.DrawArea);
    frame.TextScale = view.GetTextScale(dc, nullptr);
    frame.WindowBackground = view.GetBackgroundColor(&dc);
    frame.PlotBackground = view.MakeViewInfo(dc).BackgroundColor;
    if (const PlotWindowSettings* settings = PlotSettingsOf(view.PlotDocument()))
        frame.SelectColor = settings->selectColor;
    return frame;
}

void DrawPlotGraphics(CAPView& view, CDrawContext& dc, int group) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc || !view.DrawsObjects()) return;
    DrawPlotObjects(dc, *doc, MakePlotObjectFrame(view, dc), group);
}
