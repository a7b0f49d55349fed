#include "shell/drawcontext.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "shell/colortable.h"

using platform::BrushDesc;
using platform::Color;
using platform::PenDesc;
using platform::Point;
using platform::Rect;

namespace {

Rect& dc_PictureClip() {
    static Rect clip;
    return clip;
}

// Coordinates beyond this overflowed the 16-bit drawing of older systems; the
// limit is kept for drawings that ask for it.
constexpr int dc_kCoordinateLimit = 32757;

// Moves the ends of a-b that lie outside lo..hi on the axis `along` onto the
// limits; for lines the other coordinate follows along the line. False when the
// whole line lies outside on that axis.
bool dc_ClipAxis(Point& a, Point& b, bool alongX, int lo, int hi, bool rectangle) {
    auto major = [alongX](Point& p) -> int& { return alongX ? p.x : p.y; };
    auto minor = [alongX](Point& p) -> int& { return alongX ? p.y : p.x; };
    bool swapped = major(a) > major(b);
    if (swapped) std::swap(a, b);
    if (major(b) < lo || major(a) > hi) {
        if (swapped) std::swap(a, b);
        return false;
    }
    int64_t span = int64_t(major(b)) - major(a);
    int64_t rise = int64_t(minor(b)) - minor(a);
    if (major(a) < lo) {
        if (!rectangle) minor(a) = static_cast<int>(minor(a) + rise * (lo - major(a)) / span);
        major(a) = lo;
    }
    if (major(b) > hi) {
        if (!rectangle) minor(b) = static_cast<int>(minor(b) - rise * (int64_t(major(b)) - hi) / span);
        major(b) = hi;
    }
    if (swapped) std::swap(a, b);
    return true;
}

}  // namespace

// ---- construction and colours ---------------------------------------------------------

CDrawContext::CDrawContext(platform::DrawSurface* s) : surface(s) {
    if (!surface) return;
    technology = surface->Technology();
    monochrome = surface->IsMonochrome() ? 1 : 0;
    paletteDevice = surface->UsesPalette() ? 1 : 0;
}

Color CDrawContext::GetColorValue(int index) const {
    const ColorTableRow* row = GetColorRow(index);
    if (!row) return platform::MakeColor(0, 0, 0);
    return paletteDevice ? row->paletteColor : row->color;
}

BrushDesc CDrawContext::GetBrushObject(int index) const {
    const ColorTableRow* row = GetColorRow(index);
    if (!row) return GetNullBrush();
    return paletteDevice ? row->paletteBrush : row->brush;
}

PenDesc CDrawContext::GetPenObject(int index) const {
    const ColorTableRow* row = GetColorRow(index);
    if (!row) return GetNullPen();
    return paletteDevice ? row->palettePen : row->pen;
}

BrushDesc CDrawContext::SelectBrush(int index) { return SelectBrushHandle(GetBrushObject(index)); }

BrushDesc CDrawContext::SelectBrushHandle(const BrushDesc& brush) {
    return surface ? surface->SetBrush(brush) : BrushDesc::Null();
}

PenDesc CDrawContext::SelectPen(int index) { return SelectPenHandle(GetPenObject(index)); }

PenDesc CDrawContext::SelectPenHandle(const PenDesc& pen) { return surface ? surface->SetPen(pen) : PenDesc::Null(); }

Color CDrawContext::SetTextColorIndex(int index) { return surface ? surface->SetTextColor(GetColorValue(index)) : 0; }

Color CDrawContext::SetBkColorIndex(int index) {
    return surface ? surface->SetBackgroundColor(GetColorValue(index)) : 0;
}

void CDrawContext::RealizeProgramPalette() {
    // Every surface here takes plain RGB: there is no palette to select.
}

// ---- clipping ---------------------------------------------------------------------------

void SetPictureClipRect(const Rect& r) { dc_PictureClip() = r; }
Rect GetPictureClipRect() { return dc_PictureClip(); }

void CDrawContext::SetClipRect(const Rect& r) {
    if (surface) surface->SetClipRect(r);
}

void CDrawContext::ResetClip() {
    if (IsPicture()) dc_PictureClip() = Rect{};
    // A picture's own clip goes too: what was clipped before must not stay
    // clipped after the caller asked for no clip.
    if (surface) surface->ResetClip();
}

int ClipLineToDevice(const CDrawContext& dc, Point& a, Point& b, bool rectangle, bool force) {
    int xlo = 0, ylo = 0, xhi = dc_kCoordinateLimit, yhi = dc_kCoordinateLimit;
    const Rect& clip = dc_PictureClip();
    if (dc.IsPicture() && clip.left != clip.right) {
        xlo = std::min(clip.left, clip.right);
        xhi = std::max(clip.left, clip.right);
        ylo = std::min(clip.top, clip.bottom);
        yhi = std::max(clip.top, clip.bottom);
    } else if (!force) {
        return 1;
    }
    // Both axes are tested before anything moves, so a line that misses is
    // left as it was.
    Point ca = a, cb = b;
    if (!dc_ClipAxis(ca, cb, true, xlo, xhi, rectangle)) return 0;
    // A line that passes beside a corner lies wholly above or below once its
    // x span is cut: the y test then finds it outside.
    if (!dc_ClipAxis(ca, cb, false, ylo, yhi, rectangle)) return 0;
    a = ca;
    b = cb;
    return 1;
}

// ---- drawing ---------------------------------------------------------------------------

void CDrawContext::DrawLineOrRect(int x1, int y1, int x2, int y2, bool rectangle) {
    if (!surface) return;
    Point a{x1, y1}, b{x2, y2};
    if (!ClipLineToDevice(*this, a, b, rectangle, false)) return;
    if (rectangle) {
        surface->Rectangle(Rect{a.x, a.y, b.x, b.y});
    } else {
        surface->MoveTo(a);
        surface->LineTo(b);
    }
}

int CDrawContext::DrawTextAligned(std::string_view text, Rect& r, unsigned flags) {
    if (!surface) return 0;
    // Measuring draws nothing, so pictures can do it as any surface does.
    if (!IsPicture() || (flags & platform::TextBox::CalcRect)) return surface->DrawTextBox(text, r, flags);
    platform::Size extent = surface->GetTextExtent(text);
    int x = r.left;
    int y = r.top;
    if (flags & platform::TextBox::Center)
        x = r.left + (r.Width() - extent.cx) / 2;
    else if (flags & platform::TextBox::Right)
        x = r.right - extent.cx;
    if (flags & platform::TextBox::VCenter) y = r.top + (r.Height() - extent.cy) / 2;
    unsigned align = surface->SetTextAlign(platform::TextAlign::Left | platform::TextAlign::Top);
    platform::BackgroundMode mode = surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    surface->TextOut(Point{x, y}, text);
    surface->SetBackgroundMode(mode);
    surface->SetTextAlign(align);
    return extent.cy;
}

void UnionRectWithRect(Rect& r, const Rect& other) {
    r.left = std::min({r.left, other.left, other.right});
    r.top = std::min({r.top, other.top, other.bottom});
    r.right = std::max({r.right, other.left, other.right});
    r.bottom = std::max({r.bottom, other.top, other.bottom});
}

// ---- styled lines ------------------------------------------------------------------------

int BuildDashPattern(int* lengths, unsigned flags, int width, int pattern) {
    if (pattern <= 0) return 0;
    // A hairline draws one pixel wide, and its dashes scale from that.
    int w = std::max(width, 1);
    bool round = (flags & 0xFF) != 0;
    int dash = round ? 2 * w : 3 * w;
    int dot = round ? 1 : w;
    int gap = round ? 2 * w : w;
    int dashGap = gap;
    if (pattern >= 6) {
        dot *= 3;
        dash *= 6;
        gap *= 3;
        if (pattern == 6) dashGap *= 6;
    }
    int n = 0;
    switch (pattern) {
    case 1:
    case 6:
        lengths[n++] = dash;
        lengths[n++] = dashGap;
        return n;
    case 2:
    case 7:
        lengths[n++] = dot;
        lengths[n++] = gap;
        return n;
    default: break;
    }
    int dots = pattern == 3 || pattern == 8 ? 1 : pattern == 4 || pattern == 9 ? 2 : 3;
    lengths[n++] = dash;
    lengths[n++] = gap;
    for (int i = 0; i < dots; ++i) {
        lengths[n++] = dot;
        lengths[n++] = gap;
    }
    return n;
}

void MakeStyledPen(PenDesc& pen, LinePath& path, unsigned flags, int width, int pattern, Color color) {
    int lengths[kMaxDashLengths];
    int count = BuildDashPattern(lengths, flags, width, pattern);
    path.SetPattern(lengths, count);
    pen = PenDesc::Solid(color, width);
    bool round = (flags & 0xFF) != 0;
    pen.cap = round ? platform::PenCap::Round : platform::PenCap::Flat;
    pen.join = round ? platform::PenJoin::Round : platform::PenJoin::Miter;
}

void MakeStyledPenFromIndex(PenDesc& pen, LinePath& path, unsigned flags, int width, int pattern, int colorIndex) {
    Color color = 0;
    if (path.dc) {
        color = path.dc->GetColorValue(colorIndex);
    } else if (const ColorTableRow* row = GetColorRow(colorIndex)) {
        color = row->color;
    }
    MakeStyledPen(pen, path, flags, width, pattern, color);
}

void LinePath::SetPattern(const int* values, int n) {
    lengths.clear();
    if (values && n > 0)
        for (int i = 0; i < n; ++i) lengths.push_back(std::max(values[i], 1));
    count = static_cast<int>(lengths.size());
    segment = 0;
    left = count ? lengths[0] : 0;
}

void LinePath::MoveTo(int px, int py) {
    segment = 0;
    left = count ? lengths[0] : 0;
    x = px;
    y = py;
    if (dc && dc->surface) dc->surface->MoveTo(Point{px, py});
}

void LinePath::LineTo(int ex, int ey) {
    platform::DrawSurface* s = dc ? dc->surface : nullptr;
    if (count == 0) {
        x = ex;
        y = ey;
        if (s) s->LineTo(Point{ex, ey});
        return;
    }
    int dx = ex - x, dy = ey - y;
    int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    int ax = std::abs(dx), ay = std::abs(dy);
    bool xMajor = ax >= ay;
    int steps = xMajor ? ax : ay;
    int shorter = xMajor ? ay : ax;
    int error = steps;
    for (int i = 0; i < steps; ++i) {
        error -= 2 * shorter;
        if (error < 0) {
            error += 2 * steps;
            if (xMajor)
                y += sy;
            else
                x += sx;
        }
        if (xMajor)
            x += sx;
        else
            y += sy;
        if (--left > 0) continue;
        segment = (segment + 1) % count;
        left = lengths[segment];
        if (!s) continue;
        if (segment & 1)
            s->LineTo(Point{x, y});  // a dash ended here
        else
            s->MoveTo(Point{x, y});  // a gap ended here
    }
    x = ex;
    y = ey;
    if (s && (segment & 1) == 0)
        s->LineTo(Point{ex, ey});
    else if (s)
        s->MoveTo(Point{ex, ey});
}
