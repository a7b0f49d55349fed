// The overlay layer of transient marks drawn over a window's content.
#include <QPainter>

#include <algorithm>

#include "platform/draw.h"
#include "platform/draw_qt.h"

namespace platform {

namespace {

Rect ovl_MarkBounds(const OverlayMark& m) {
    if (m.points.empty()) return Rect{};
    Rect b{m.points[0].x, m.points[0].y, m.points[0].x, m.points[0].y};
    for (const Point& p : m.points) {
        b.left = std::min(b.left, p.x);
        b.top = std::min(b.top, p.y);
        b.right = std::max(b.right, p.x);
        b.bottom = std::max(b.bottom, p.y);
    }
    // Room for the pen on every side and for the exclusive right/bottom edges.
    int pad = (m.invert ? 1 : std::max(1, m.pen.width)) + 1;
    return Rect{b.left - pad, b.top - pad, b.right + pad, b.bottom + pad};
}

Rect ovl_Union(const Rect& a, const Rect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

OverlayMark ovl_TwoPointMark(OverlayMark::Shape shape, Point a, Point b, bool invert) {
    OverlayMark m;
    m.shape = shape;
    m.points = {a, b};
    m.invert = invert;
    return m;
}

// Two corners as the device rectangle a Rectangle call would cover.
QRect ovl_BoxOf(const OverlayMark& m) {
    int l = std::min(m.points[0].x, m.points[1].x), r = std::max(m.points[0].x, m.points[1].x);
    int t = std::min(m.points[0].y, m.points[1].y), b = std::max(m.points[0].y, m.points[1].y);
    return QRect(l, t, r - l, b - t);
}

void ovl_PaintQt(QPainter& p, const OverlayMark& m) {
    QPen pen;
    if (m.invert) {
        // Difference with white inverts what lies below, as the classic
        // exclusive-or marks did, without touching the content itself.
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        pen = QPen(Qt::white, 0);
    } else {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (m.pen.style == PenStyle::Null) return;
        pen = QPen(ToQColor(m.pen.color), std::max(0, m.pen.width));
    }
    pen.setCapStyle(Qt::FlatCap);
    if (m.shape == OverlayMark::Shape::FocusRect) pen.setDashPattern({1, 1});
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (m.shape) {
    case OverlayMark::Shape::Line:
    case OverlayMark::Shape::Polyline: {
        QPolygon poly;
        for (const Point& pt : m.points) poly << QPoint(pt.x, pt.y);
        p.drawPolyline(poly);
        break;
    }
    case OverlayMark::Shape::Rectangle:
    case OverlayMark::Shape::FocusRect:
    case OverlayMark::Shape::Ellipse: {
        if (m.points.size() < 2) return;
        QRect box = ovl_BoxOf(m);
        if (box.width() < 1 || box.height() < 1) return;
        QRectF f(box.x(), box.y(), box.width() - 1, box.height() - 1);
        if (m.shape == OverlayMark::Shape::Ellipse)
            p.drawEllipse(f);
        else
            p.drawRect(f);
        break;
    }
    case OverlayMark::Shape::TextBox: break;  // drawn through the surface
    }
}

// Through the surface on every kind of surface: the text needs its fonts.
void ovl_PaintTextBox(DrawSurface& s, const OverlayMark& m) {
    if (m.points.size() < 2) return;
    QRect b = ovl_BoxOf(m);
    Rect r{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
    const Color ink = m.pen.style == PenStyle::Null ? m.fill : m.pen.color;
    s.FrameRect(r, BrushDesc::Solid(ink));
    Rect inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    if (inside.right > inside.left && inside.bottom > inside.top) s.FillRect(inside, m.fill);
    if (m.text.empty()) return;
    s.SetFont(m.font);
    s.SetTextColor(ink);
    s.SetBackgroundColor(m.fill);
    s.SetBackgroundMode(BackgroundMode::Transparent);
    s.DrawTextBox(m.text, inside, TextBox::Center | TextBox::VCenter | TextBox::SingleLine | TextBox::NoClip);
}

// Surfaces not made by this layer get plain pen drawing.
void ovl_PaintPortable(DrawSurface& s, const OverlayMark& m) {
    PenDesc pen = m.invert ? PenDesc::Solid(MakeColor(0, 0, 0)) : m.pen;
    if (m.shape == OverlayMark::Shape::FocusRect) {
        pen.style = PenStyle::Custom;
        pen.dashes = {1, 1};
    }
    s.SetPen(pen);
    s.SetBrush(BrushDesc::Null());
    if (m.shape == OverlayMark::Shape::Line || m.shape == OverlayMark::Shape::Polyline) {
        s.Polyline(m.points.data(), static_cast<int>(m.points.size()));
    } else if (m.points.size() >= 2) {
        QRect b = ovl_BoxOf(m);
        Rect r{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
        if (m.shape == OverlayMark::Shape::Ellipse)
            s.Ellipse(r);
        else
            s.Rectangle(r);
    }
}

}  // namespace

bool OverlayLayer::Toggle(const OverlayMark& mark) {
    auto it = std::find(marks_.begin(), marks_.end(), mark);
    bool shown = it == marks_.end();
    if (shown)
        marks_.push_back(mark);
    else
        marks_.erase(it);
    Notify(ovl_MarkBounds(mark));
    return shown;
}

bool OverlayLayer::ToggleRect(const Rect& r, bool invert) {
    return Toggle(
        ovl_TwoPointMark(OverlayMark::Shape::Rectangle, Point{r.left, r.top}, Point{r.right, r.bottom}, invert));
}

bool OverlayLayer::ToggleLine(Point a, Point b, bool invert) {
    return Toggle(ovl_TwoPointMark(OverlayMark::Shape::Line, a, b, invert));
}

bool OverlayLayer::ToggleEllipse(const Rect& r, bool invert) {
    return Toggle(
        ovl_TwoPointMark(OverlayMark::Shape::Ellipse, Point{r.left, r.top}, Point{r.right, r.bottom}, invert));
}

bool OverlayLayer::ToggleFocusRect(const Rect& r) {
    return Toggle(
        ovl_TwoPointMark(OverlayMark::Shape::FocusRect, Point{r.left, r.top}, Point{r.right, r.bottom}, true));
}

bool OverlayLayer::ToggleTextBox(const Rect& r, std::string_view text, const FontDesc& font, Color textColor,
                                 Color fill) {
    OverlayMark m =
        ovl_TwoPointMark(OverlayMark::Shape::TextBox, Point{r.left, r.top}, Point{r.right, r.bottom}, false);
    m.pen = PenDesc::Solid(textColor);
    m.text = std::string(text);
    m.font = font;
    m.fill = fill;
    return Toggle(m);
}

void OverlayLayer::Clear() {
    if (marks_.empty()) return;
    Rect dirty = Bounds();
    marks_.clear();
    Notify(dirty);
}

Rect OverlayLayer::Bounds() const {
    Rect b;
    for (const OverlayMark& m : marks_) b = ovl_Union(b, ovl_MarkBounds(m));
    return b;
}

void OverlayLayer::Paint(DrawSurface& surface) const {
    if (marks_.empty()) return;
    surface.SaveState();
    surface.SetMapMode(MapMode::Pixels);
    surface.SetWindowOrg(Point{});
    surface.SetViewportOrg(Point{});
    QPainter* p = PainterOf(surface);
    for (const OverlayMark& m : marks_) {
        if (m.shape == OverlayMark::Shape::TextBox) {
            ovl_PaintTextBox(surface, m);
        } else if (p) {
            p->save();
            p->resetTransform();
            p->setRenderHint(QPainter::Antialiasing, false);
            ovl_PaintQt(*p, m);
            p->restore();
            MarkPainterUsed(surface);
        } else {
            ovl_PaintPortable(surface, m);
        }
    }
    surface.RestoreState();
}

void OverlayLayer::Notify(const Rect& dirty) const {
    if (changed_ && !dirty.IsEmpty()) changed_(dirty);
}

}  // namespace platform
