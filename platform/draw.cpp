// DrawSurface over QPainter, and the conversions between our drawing types and Qt's.
#include "platform/draw.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QRegion>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

#include "platform/draw_qt.h"
#include "platform/image.h"

namespace platform {

namespace {

// Device pixels are whole numbers: logical coordinates are rounded after
// mapping, and kept far enough inside the int range that sums of them (sizes,
// pen offsets) cannot overflow.
int draw_Round(double v) {
    constexpr double kLimit = 1 << 29;
    if (!(v > -kLimit)) return -(1 << 29);  // also NaN
    if (v > kLimit) return 1 << 29;
    return static_cast<int>(std::lround(v));
}

Color draw_ToMono(Color c) {
    int lum = (RedOf(c) * 30 + GreenOf(c) * 59 + BlueOf(c) * 11) / 100;
    return lum >= 128 ? MakeColor(255, 255, 255) : MakeColor(0, 0, 0);
}

// On/off lengths in pen widths of the built-in styles. A one-pixel pen uses the
// long pixel pattern so that dots and dashes stay visible at screen scale.
std::vector<double> draw_StyleDashes(PenStyle style, bool thin) {
    switch (style) {
    case PenStyle::Dash: return thin ? std::vector<double>{18, 6} : std::vector<double>{3, 1};
    case PenStyle::Dot: return thin ? std::vector<double>{3, 3} : std::vector<double>{1, 1};
    case PenStyle::DashDot: return thin ? std::vector<double>{9, 6, 3, 6} : std::vector<double>{3, 1, 1, 1};
    case PenStyle::DashDotDot:
        return thin ? std::vector<double>{9, 3, 3, 3, 3, 3} : std::vector<double>{3, 1, 1, 1, 1, 1};
    default: return {};
    }
}

Qt::BrushStyle draw_HatchToQt(HatchStyle h) {
    switch (h) {
    case HatchStyle::Horizontal: return Qt::HorPattern;
    case HatchStyle::Vertical: return Qt::VerPattern;
    case HatchStyle::DownwardDiagonal: return Qt::FDiagPattern;
    case HatchStyle::UpwardDiagonal: return Qt::BDiagPattern;
    case HatchStyle::Cross: return Qt::CrossPattern;
    case HatchStyle::DiagonalCross: return Qt::DiagCrossPattern;
    }
    return Qt::HorPattern;
}

// Text as Qt wants it; line breaks in CR LF, CR or LF form become LF.
QString draw_NormaliseBreaks(const QString& s) {
    QString out = s;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QChar('\r'), QChar('\n'));
    return out;
}

struct DrawSurfaceState {
    PenDesc pen;
    BrushDesc brush;
    FontDesc font;
    Color textColor = MakeColor(0, 0, 0);
    Color bkColor = MakeColor(255, 255, 255);
    BackgroundMode bkMode = BackgroundMode::Opaque;
    unsigned align = TextAlign::Left | TextAlign::Top;
    FillMode fillMode = FillMode::Alternate;
    MapMode mapMode = MapMode::Pixels;
    Point windowOrg;
    Point viewportOrg;
    Size windowExt{1, 1};
    Size viewportExt{1, 1};
    Point current;
    bool hasClip = false;
    QRegion clip;  // device pixels
};

class DrawQtSurface final : public DrawSurface {
public:
    using DrawSurface::DeviceToLogical;
    using DrawSurface::FillRect;
    using DrawSurface::LineTo;
    using DrawSurface::LogicalToDevice;
    using DrawSurface::MoveTo;
    DrawQtSurface(QPainter& painter, SurfaceKind kind, int ppiX, int ppiY, Size deviceSize, bool mono, QImage* image)
        : DrawQtSurface(&painter, nullptr, kind, ppiX, ppiY, deviceSize, mono, image) {}
    // Owns the painter (already begun on its device) and ends it with the surface.
    DrawQtSurface(std::unique_ptr<QPainter> painter, SurfaceKind kind, int ppiX, int ppiY, Size deviceSize, bool mono,
                  QImage* image)
        : DrawQtSurface(nullptr, std::move(painter), kind, ppiX, ppiY, deviceSize, mono, image) {}
    DrawQtSurface(QPainter* external, std::unique_ptr<QPainter> owned, SurfaceKind kind, int ppiX, int ppiY,
                  Size deviceSize, bool mono, QImage* image)
        : owned_(std::move(owned)),
          p_(external ? *external : *owned_),
          kind_(kind),
          ppiX_(std::max(1, ppiX)),
          ppiY_(std::max(1, ppiY)),
          deviceSize_(deviceSize),
          mono_(mono),
          image_(image) {
        // Only what differs is changed: on a picture every change is recorded and
        // replayed, and a replayed reset would undo the target's own settings.
        p_.save();
        if (!p_.transform().isIdentity()) p_.resetTransform();
        if (p_.hasClipping()) p_.setClipping(false);
        if (p_.testRenderHint(QPainter::Antialiasing)) p_.setRenderHint(QPainter::Antialiasing, false);
        if (p_.testRenderHint(QPainter::SmoothPixmapTransform))
            p_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        if (p_.testRenderHint(QPainter::TextAntialiasing) == mono_)
            p_.setRenderHint(QPainter::TextAntialiasing, !mono_);
        if (p_.compositionMode() != QPainter::CompositionMode_SourceOver)
            p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        s_.font = DefaultFont();
        MarkDirty();
    }
    ~DrawQtSurface() override { p_.restore(); }

    // The painter with this surface's clip in force, for direct use.
    QPainter& Painter() {
        ApplyClip();
        return p_;
    }
    // After someone else used the painter directly.
    void MarkDirty() {
        penDirty_ = brushDirty_ = fontDirty_ = bkDirty_ = clipDirty_ = true;
        fontCacheValid_ = false;
    }

    // --- device
    SurfaceKind Kind() const override { return kind_; }
    int Technology() const override {
        switch (kind_) {
        case SurfaceKind::Pdf:
        case SurfaceKind::Printer: return kTechRasterPrinter;
        case SurfaceKind::Picture: return kTechPicture;
        default: return kTechRasterDisplay;
        }
    }
    bool IsMonochrome() const override { return mono_; }
    bool UsesPalette() const override { return false; }
    int PixelsPerInchX() const override { return ppiX_; }
    int PixelsPerInchY() const override { return ppiY_; }
    Size DeviceSize() const override { return deviceSize_; }

    // --- state
    PenDesc SetPen(const PenDesc& pen) override {
        PenDesc old = s_.pen;
        s_.pen = pen;
        penDirty_ = true;
        return old;
    }
    PenDesc GetPen() const override { return s_.pen; }
    BrushDesc SetBrush(const BrushDesc& brush) override {
        BrushDesc old = s_.brush;
        s_.brush = brush;
        brushDirty_ = true;
        return old;
    }
    BrushDesc GetBrush() const override { return s_.brush; }
    FontDesc SetFont(const FontDesc& font) override {
        FontDesc old = s_.font;
        s_.font = font;
        fontDirty_ = true;
        fontCacheValid_ = false;
        return old;
    }
    FontDesc GetFont() const override { return s_.font; }
    Color SetTextColor(Color c) override {
        Color old = s_.textColor;
        s_.textColor = c;
        return old;
    }
    Color GetTextColor() const override { return s_.textColor; }
    Color SetBackgroundColor(Color c) override {
        Color old = s_.bkColor;
        s_.bkColor = c;
        bkDirty_ = brushDirty_ = true;
        return old;
    }
    Color GetBackgroundColor() const override { return s_.bkColor; }
    BackgroundMode SetBackgroundMode(BackgroundMode mode) override {
        BackgroundMode old = s_.bkMode;
        s_.bkMode = mode;
        bkDirty_ = true;
        return old;
    }
    BackgroundMode GetBackgroundMode() const override { return s_.bkMode; }
    unsigned SetTextAlign(unsigned align) override {
        unsigned old = s_.align;
        s_.align = align;
        return old;
    }
    unsigned GetTextAlign() const override { return s_.align; }
    FillMode SetFillMode(FillMode mode) override {
        FillMode old = s_.fillMode;
        s_.fillMode = mode;
        return old;
    }
    FillMode GetFillMode() const override { return s_.fillMode; }
    void SaveState() override { saved_.push_back(s_); }
    bool RestoreState() override {
        if (saved_.empty()) return false;
        s_ = saved_.back();
        saved_.pop_back();
        MarkDirty();
        return true;
    }

    // --- mapping
    MapMode SetMapMode(MapMode mode) override {
        MapMode old = s_.mapMode;
        s_.mapMode = mode;
        int upi = 0;
        switch (mode) {
        case MapMode::Pixels:
            s_.windowExt = Size{1, 1};
            s_.viewportExt = Size{1, 1};
            break;
        case MapMode::LoMetric: upi = 254; break;
        case MapMode::HiMetric: upi = 2540; break;
        case MapMode::LoEnglish: upi = 100; break;
        case MapMode::HiEnglish: upi = 1000; break;
        case MapMode::Twips: upi = 1440; break;
        case MapMode::Isotropic: AdjustIsotropic(); break;
        case MapMode::Anisotropic: break;
        }
        if (upi) {
            s_.windowExt = Size{upi, upi};
            s_.viewportExt = Size{ppiX_, -ppiY_};
        }
        MappingChanged();
        return old;
    }
    MapMode GetMapMode() const override { return s_.mapMode; }
    Point SetWindowOrg(Point org) override {
        Point old = s_.windowOrg;
        s_.windowOrg = org;
        return old;
    }
    Point GetWindowOrg() const override { return s_.windowOrg; }
    Point SetViewportOrg(Point org) override {
        Point old = s_.viewportOrg;
        s_.viewportOrg = org;
        return old;
    }
    Point GetViewportOrg() const override { return s_.viewportOrg; }
    Size SetWindowExt(Size ext) override {
        Size old = s_.windowExt;
        if (!ScalableMode() || ext.cx == 0 || ext.cy == 0) return old;
        s_.windowExt = ext;
        if (s_.mapMode == MapMode::Isotropic) AdjustIsotropic();
        MappingChanged();
        return old;
    }
    Size GetWindowExt() const override { return s_.windowExt; }
    Size SetViewportExt(Size ext) override {
        Size old = s_.viewportExt;
        if (!ScalableMode() || ext.cx == 0 || ext.cy == 0) return old;
        s_.viewportExt = ext;
        if (s_.mapMode == MapMode::Isotropic) AdjustIsotropic();
        MappingChanged();
        return old;
    }
    Size GetViewportExt() const override { return s_.viewportExt; }
    Point LogicalToDevice(Point p) const override {
        return Point{draw_Round(double(p.x - s_.windowOrg.x) * s_.viewportExt.cx / s_.windowExt.cx) + s_.viewportOrg.x,
                     draw_Round(double(p.y - s_.windowOrg.y) * s_.viewportExt.cy / s_.windowExt.cy) + s_.viewportOrg.y};
    }
    Point DeviceToLogical(Point p) const override {
        return Point{draw_Round(double(p.x - s_.viewportOrg.x) * s_.windowExt.cx / s_.viewportExt.cx) + s_.windowOrg.x,
                     draw_Round(double(p.y - s_.viewportOrg.y) * s_.windowExt.cy / s_.viewportExt.cy) + s_.windowOrg.y};
    }

    // --- clipping
    void SetClipRect(const Rect& r) override { SetClip(QRegion(DevRect(r))); }
    void SetClipRegion(const std::vector<Rect>& rects) override {
        QRegion region;
        for (const Rect& r : rects) region += QRegion(DevRect(r));
        SetClip(region);
    }
    void IntersectClipRect(const Rect& r) override {
        QRegion rect(DevRect(r));
        SetClip(s_.hasClip ? s_.clip.intersected(rect) : rect);
    }
    void ExcludeClipRect(const Rect& r) override {
        QRegion base = s_.hasClip ? s_.clip : QRegion(0, 0, deviceSize_.cx, deviceSize_.cy);
        SetClip(base.subtracted(QRegion(DevRect(r))));
    }
    void ResetClip() override {
        s_.hasClip = false;
        s_.clip = QRegion();
        clipDirty_ = true;
    }
    bool HasClip() const override { return s_.hasClip; }
    Rect GetClipBox() const override {
        QRect b = s_.hasClip ? s_.clip.boundingRect() : QRect(0, 0, deviceSize_.cx, deviceSize_.cy);
        if (b.isEmpty()) return Rect{};
        return DeviceToLogical(Rect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()});
    }

    // --- lines and shapes
    Point MoveTo(Point p) override {
        Point old = s_.current;
        s_.current = p;
        return old;
    }
    Point GetCurrentPosition() const override { return s_.current; }
    void LineTo(Point p) override {
        Point a = LogicalToDevice(s_.current);
        Point b = LogicalToDevice(p);
        s_.current = p;
        if (!PreparePen()) return;
        if (DevicePenWidth() <= 1) {
            QPolygon ends;
            ends << QPoint(a.x, a.y) << QPoint(b.x, b.y);
            ThinPolyline(ends);
            return;
        }
        p_.drawLine(QPoint(a.x, a.y), QPoint(b.x, b.y));
    }
    void Polyline(const Point* points, int count) override {
        if (!points || count < 2 || !PreparePen()) return;
        QPolygon poly = DevPolygon(points, count);
        if (DevicePenWidth() <= 1)
            ThinPolyline(poly);
        else
            p_.drawPolyline(poly);
    }
    void Polygon(const Point* points, int count) override {
        if (!points || count < 2) return;
        PrepareShape();
        p_.drawPolygon(DevPolygon(points, count), QtFillRule());
    }
    void PolyPolygon(const Point* points, int pointCount, const int* counts, int polygons) override {
        if (!points || !counts || polygons <= 0) return;
        long long total = 0;
        for (int i = 0; i < polygons; ++i) {
            if (counts[i] < 0) return;
            total += counts[i];
        }
        if (total > pointCount) return;
        QPainterPath path;
        path.setFillRule(QtFillRule());
        const Point* cursor = points;
        for (int i = 0; i < polygons; ++i) {
            if (counts[i] >= 2) {
                QPolygon poly = DevPolygon(cursor, counts[i]);
                poly << poly.first();
                path.addPolygon(QPolygonF(poly));
            }
            cursor += counts[i];
        }
        PrepareShape();
        p_.drawPath(path);
    }
    void Rectangle(const Rect& r) override {
        PrepareShape();
        p_.drawRect(ShapeRect(r));
    }
    void RoundRect(const Rect& r, int ellipseWidth, int ellipseHeight) override {
        PrepareShape();
        double rx = std::abs(ellipseWidth * ScaleX()) / 2.0;
        double ry = std::abs(ellipseHeight * ScaleY()) / 2.0;
        p_.drawRoundedRect(ShapeRect(r), rx, ry, Qt::AbsoluteSize);
    }
    void Ellipse(const Rect& r) override {
        PrepareShape();
        // As a path: a recorded picture keeps ellipses as paths, and the direct
        // ellipse rasteriser would place some pixels differently.
        QPainterPath path;
        path.addEllipse(ShapeRect(r));
        p_.drawPath(path);
    }
    void Arc(const Rect& r, Point start, Point end) override { ArcShape(0, r, start, end); }
    void Pie(const Rect& r, Point start, Point end) override { ArcShape(1, r, start, end); }
    void Chord(const Rect& r, Point start, Point end) override { ArcShape(2, r, start, end); }
    void PolyBezier(const Point* points, int count) override {
        if (!points || count < 4 || !PreparePen()) return;
        QPolygon poly = DevPolygon(points, count);
        QPainterPath path(poly[0]);
        for (int i = 1; i + 2 < count; i += 3) path.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
        p_.setBrush(Qt::NoBrush);
        brushDirty_ = true;
        p_.drawPath(path);
    }
    void SetPixel(Point p, Color c) override {
        ApplyClip();
        Point d = LogicalToDevice(p);
        p_.fillRect(QRect(d.x, d.y, 1, 1), QtColor(c));
    }
    bool GetPixel(Point p, Color* c) const override {
        if (!image_) return false;
        Point d = LogicalToDevice(p);
        if (d.x < 0 || d.y < 0 || d.x >= image_->width() || d.y >= image_->height()) return false;
        if (s_.hasClip && !s_.clip.contains(QPoint(d.x, d.y))) return false;
        if (c) *c = FromQColor(QColor(image_->pixel(d.x, d.y)));
        return true;
    }
    void FillRect(const Rect& r, const BrushDesc& brush) override {
        ApplyClip();
        ApplyBackground();
        p_.setPen(Qt::NoPen);
        p_.setBrush(QtBrush(brush));
        penDirty_ = brushDirty_ = true;
        QRect d = DevRect(r);
        p_.drawRect(QRectF(d.x(), d.y(), d.width(), d.height()));
    }
    void FrameRect(const Rect& r, const BrushDesc& brush) override {
        QRect d = DevRect(r);
        if (d.isEmpty() || brush.style == BrushStyle::Null) return;
        ApplyClip();
        ApplyBackground();
        QBrush b = QtBrush(brush);
        p_.fillRect(QRect(d.left(), d.top(), d.width(), 1), b);
        p_.fillRect(QRect(d.left(), d.bottom(), d.width(), 1), b);
        p_.fillRect(QRect(d.left(), d.top(), 1, d.height()), b);
        p_.fillRect(QRect(d.right(), d.top(), 1, d.height()), b);
    }
    void DrawImage(const Rect& dest, const Image& image, const Rect& src) override {
        const QImage& img = ImageData(image);
        if (img.isNull()) return;
        ApplyClip();
        QRect s = src.IsEmpty() ? img.rect() : QRect(src.left, src.top, src.Width(), src.Height());
        QRect d = DevRect(dest);
        if (d.isEmpty() || s.isEmpty()) return;
        if (mono_) {
            QImage mono = img.copy(s).convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
            p_.drawImage(d, mono.convertToFormat(QImage::Format_RGB32));
        } else {
            p_.drawImage(d, img, s);
        }
    }

    // --- text
    void TextOut(Point p, std::string_view text) override {
        if (text.empty()) return;
        QString s = ToQString(text);
        PrepareText();
        const QFont& f = CurrentQFont();
        QFontMetricsF fm(f);
        double w = fm.horizontalAdvance(s);
        double dx = 0;
        switch (s_.align & TextAlign::HorizontalMask) {
        case TextAlign::Center: dx = -w / 2; break;
        case TextAlign::Right: dx = -w; break;
        default: break;
        }
        double dy = 0;
        switch (s_.align & TextAlign::VerticalMask) {
        case TextAlign::Baseline: dy = 0; break;
        case TextAlign::Bottom: dy = -fm.descent(); break;
        default: dy = fm.ascent(); break;
        }
        Point d = LogicalToDevice(p);
        p_.save();
        p_.translate(d.x, d.y);
        if (s_.font.escapement % 3600 != 0) p_.rotate(-s_.font.escapement / 10.0);
        p_.drawText(QPointF(std::round(dx), std::round(dy)), s);
        p_.restore();
    }
    int DrawTextBox(std::string_view text, Rect& r, unsigned flags) override {
        QString s = ToQString(text);
        int qflags = 0;
        if (flags & TextBox::Right)
            qflags |= Qt::AlignRight;
        else if (flags & TextBox::Center)
            qflags |= Qt::AlignHCenter;
        else
            qflags |= Qt::AlignLeft;
        if (flags & TextBox::SingleLine) {
            qflags |= Qt::TextSingleLine;
            if (flags & TextBox::Bottom)
                qflags |= Qt::AlignBottom;
            else if (flags & TextBox::VCenter)
                qflags |= Qt::AlignVCenter;
            else
                qflags |= Qt::AlignTop;
            s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
            s.replace(QChar('\r'), QChar(' '));
            s.replace(QChar('\n'), QChar(' '));
        } else {
            qflags |= Qt::AlignTop;
            s = draw_NormaliseBreaks(s);
        }
        if (flags & TextBox::WordBreak) qflags |= Qt::TextWordWrap;
        if (flags & TextBox::ExpandTabs) qflags |= Qt::TextExpandTabs;
        if (flags & TextBox::NoClip) qflags |= Qt::TextDontClip;
        QRect d = DevRect(r);
        const QFont& f = CurrentQFont();
        if (flags & TextBox::CalcRect) {
            QFontMetrics fm(f);
            // Without word breaks the width is unbounded, as when measuring a label.
            QRect limit(0, 0, (flags & TextBox::WordBreak) ? std::max(1, d.width()) : 1 << 20, 1 << 20);
            QRect b = s.isEmpty() ? QRect() : fm.boundingRect(limit, qflags & ~Qt::AlignVertical_Mask, s);
            int w = draw_Round(b.width() / std::abs(ScaleX()));
            int h = draw_Round(b.height() / std::abs(ScaleY()));
            if (r.right >= r.left)
                r.right = r.left + w;
            else
                r.right = r.left - w;
            if (ScaleY() > 0)
                r.bottom = r.top + h;
            else
                r.bottom = r.top - h;
            return h;
        }
        if (s.isEmpty()) return 0;
        PrepareText();
        QRectF bounds;
        p_.drawText(QRectF(d), qflags, s, &bounds);
        return draw_Round(bounds.height() / std::abs(ScaleY()));
    }
    Size GetTextExtent(std::string_view text) const override {
        const QFont& f = CurrentQFont();
        QFontMetrics fm(f);
        int w = text.empty() ? 0 : fm.horizontalAdvance(ToQString(text));
        return Size{draw_Round(w / std::abs(ScaleX())), draw_Round(fm.height() / std::abs(ScaleY()))};
    }
    TextMetrics GetTextMetrics() const override {
        const QFont& f = CurrentQFont();
        QFontMetrics fm(f);
        double sx = std::abs(ScaleX()), sy = std::abs(ScaleY());
        TextMetrics m;
        m.ascent = draw_Round(fm.ascent() / sy);
        m.descent = draw_Round(fm.descent() / sy);
        m.height = m.ascent + m.descent;
        int em = f.pixelSize() > 0 ? f.pixelSize() : fm.ascent() + fm.descent();
        m.internalLeading = std::max(0, draw_Round((fm.ascent() + fm.descent() - em) / sy));
        m.externalLeading = std::max(0, draw_Round(fm.leading() / sy));
        m.averageCharWidth = draw_Round(fm.averageCharWidth() / sx);
        m.maxCharWidth = draw_Round(fm.maxWidth() / sx);
        return m;
    }

    // Logical rectangle to device pixels left..right-1, top..bottom-1.
    QRect DevRect(const Rect& r) const {
        Rect d = DrawSurface::LogicalToDevice(r);
        return QRect(d.left, d.top, std::max(0, d.Width()), std::max(0, d.Height()));
    }

private:
    bool ScalableMode() const { return s_.mapMode == MapMode::Isotropic || s_.mapMode == MapMode::Anisotropic; }
    double ScaleX() const { return double(s_.viewportExt.cx) / s_.windowExt.cx; }
    double ScaleY() const { return double(s_.viewportExt.cy) / s_.windowExt.cy; }
    void MappingChanged() {
        penDirty_ = fontDirty_ = true;
        fontCacheValid_ = false;
    }
    // Equal physical length per logical unit on both axes: the axis with the
    // larger scale gives way.
    void AdjustIsotropic() {
        Size& we = s_.windowExt;
        Size& ve = s_.viewportExt;
        double xs = std::abs(double(ve.cx) / we.cx) / ppiX_;
        double ys = std::abs(double(ve.cy) / we.cy) / ppiY_;
        if (xs < ys) {
            int v = std::max(1, draw_Round(std::abs(double(we.cy)) * xs * ppiY_));
            ve.cy = ve.cy < 0 ? -v : v;
        } else if (ys < xs) {
            int v = std::max(1, draw_Round(std::abs(double(we.cx)) * ys * ppiX_));
            ve.cx = ve.cx < 0 ? -v : v;
        }
    }
    void SetClip(const QRegion& region) {
        s_.hasClip = true;
        s_.clip = region;
        clipDirty_ = true;
    }
    void ApplyClip() {
        if (!clipDirty_) return;
        clipDirty_ = false;
        if (s_.hasClip)
            p_.setClipRegion(s_.clip);
        else if (p_.hasClipping())
            p_.setClipping(false);
    }
    QColor QtColor(Color c) const { return ToQColor(mono_ ? draw_ToMono(c) : c); }
    Qt::FillRule QtFillRule() const { return s_.fillMode == FillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill; }
    int DevicePenWidth() const {
        if (s_.pen.width <= 0) return 0;
        return std::max(1, draw_Round(s_.pen.width * std::abs(ScaleX())));
    }
    QPen QtPen() const {
        const PenDesc& pd = s_.pen;
        if (pd.style == PenStyle::Null) return QPen(Qt::NoPen);
        int w = DevicePenWidth();
        QPen pen(QtColor(pd.color));
        pen.setWidth(w);
        bool thin = w <= 1;
        // A one-pixel line ends short of its last point; wide pens take their caps.
        if (thin)
            pen.setCapStyle(Qt::FlatCap);
        else
            pen.setCapStyle(pd.cap == PenCap::Flat     ? Qt::FlatCap
                            : pd.cap == PenCap::Square ? Qt::SquareCap
                                                       : Qt::RoundCap);
        pen.setJoinStyle(pd.join == PenJoin::Miter   ? Qt::MiterJoin
                         : pd.join == PenJoin::Bevel ? Qt::BevelJoin
                                                     : Qt::RoundJoin);
        std::vector<double> dashes = PenDashes(w);
        if (!dashes.empty()) pen.setDashPattern(QList<qreal>(dashes.begin(), dashes.end()));
        return pen;
    }
    // Dash and gap lengths of the current pen in units of its device width (pixels
    // for thin pens); empty for a solid pen.
    std::vector<double> PenDashes(int deviceWidth) const {
        const PenDesc& pd = s_.pen;
        if (pd.style != PenStyle::Custom) return draw_StyleDashes(pd.style, deviceWidth <= 1);
        std::vector<double> dashes;
        double unit = std::max(1, deviceWidth);
        for (int len : pd.dashes) dashes.push_back(std::max(0.0, len * std::abs(ScaleX())) / unit);
        if (dashes.size() % 2) {
            std::vector<double> twice = dashes;
            dashes.insert(dashes.end(), twice.begin(), twice.end());
        }
        double total = 0;
        for (double d : dashes) total += d;
        if (total <= 0) dashes.clear();
        return dashes;
    }
    // One-pixel lines are rasterised here rather than by the toolkit, whose aliased
    // lines keep the last point and drop the first when drawn leftward or upward.
    // The program relies on "first point in, last point out" in every direction, so
    // that lines meeting end to end neither overlap nor leave a gap, and dashes run
    // on round the corners of a polyline.
    void ThinPolyline(const QPolygon& poly) {
        const std::vector<double> dashes = PenDashes(1);
        QPolygon on, off;
        size_t dash = 0;
        double run = 0;
        for (int i = 0; i + 1 < poly.size(); ++i) {
            int x = poly[i].x(), y = poly[i].y();
            const int x1 = poly[i + 1].x(), y1 = poly[i + 1].y();
            const int dx = std::abs(x1 - x), sx = x < x1 ? 1 : -1;
            const int dy = -std::abs(y1 - y), sy = y < y1 ? 1 : -1;
            int err = dx + dy;
            while (x != x1 || y != y1) {
                (dashes.empty() || dash % 2 == 0 ? on : off) << QPoint(x, y);
                if (!dashes.empty() && ++run >= dashes[dash]) {
                    run = 0;
                    dash = (dash + 1) % dashes.size();
                }
                const int e2 = 2 * err;
                if (e2 >= dy) {
                    err += dy;
                    x += sx;
                }
                if (e2 <= dx) {
                    err += dx;
                    y += sy;
                }
            }
        }
        QPen dot(QtColor(s_.pen.color));
        dot.setWidth(1);
        dot.setCapStyle(Qt::SquareCap);
        p_.setPen(dot);
        if (!on.isEmpty()) p_.drawPoints(on);
        if (!off.isEmpty() && s_.bkMode == BackgroundMode::Opaque) {
            dot.setColor(QtColor(s_.bkColor));
            p_.setPen(dot);
            p_.drawPoints(off);
        }
        penDirty_ = true;
    }
    QBrush QtBrush(const BrushDesc& bd) const {
        switch (bd.style) {
        case BrushStyle::Null: return QBrush(Qt::NoBrush);
        case BrushStyle::Solid: return QBrush(QtColor(bd.color));
        case BrushStyle::Hatch: return QBrush(QtColor(bd.color), draw_HatchToQt(bd.hatch));
        case BrushStyle::Pattern: {
            QImage tile(8, 8, QImage::Format_RGB32);
            QRgb on = QtColor(bd.color).rgb(), off = QtColor(s_.bkColor).rgb();
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) tile.setPixel(x, y, (bd.pattern[y] & (0x80 >> x)) ? on : off);
            return QBrush(tile);
        }
        }
        return QBrush(Qt::NoBrush);
    }
    void ApplyBackground() {
        if (!bkDirty_) return;
        bkDirty_ = false;
        p_.setBackgroundMode(s_.bkMode == BackgroundMode::Opaque ? Qt::OpaqueMode : Qt::TransparentMode);
        p_.setBackground(QBrush(QtColor(s_.bkColor)));
    }
    // False when the pen draws nothing.
    bool PreparePen() {
        ApplyClip();
        ApplyBackground();
        if (penDirty_) {
            p_.setPen(QtPen());
            penDirty_ = false;
        }
        return s_.pen.style != PenStyle::Null;
    }
    void PrepareShape() {
        PreparePen();
        if (brushDirty_) {
            p_.setBrush(QtBrush(s_.brush));
            brushDirty_ = false;
        }
    }
    void PrepareText() {
        ApplyClip();
        ApplyBackground();
        p_.setPen(QPen(QtColor(s_.textColor)));
        penDirty_ = true;
        if (fontDirty_) {
            p_.setFont(CurrentQFont());
            fontDirty_ = false;
        }
    }
    const QFont& CurrentQFont() const {
        if (!fontCacheValid_) {
            FontDesc fd = s_.font;
            if (fd.height == 0) {
                // The default height is in pixels of a 96-per-inch screen.
                int h = DefaultFont().height;
                fd.height = draw_Round(h * double(ppiY_) / 96.0 / std::abs(ScaleY()));
                if (fd.height == 0) fd.height = -1;
            }
            fontCache_ = ToQFont(fd, std::abs(ScaleY()));
            if (mono_) fontCache_.setStyleStrategy(QFont::NoAntialias);
            fontCacheValid_ = true;
        }
        return fontCache_;
    }
    // Outlined shapes cover left..right-1: the pen's centre line runs one pixel
    // inside the right and bottom edges; without a pen the fill reaches them.
    QRectF ShapeRect(const Rect& r) const {
        QRect d = DevRect(r);
        if (s_.pen.style == PenStyle::Null) return QRectF(d.x(), d.y(), d.width(), d.height());
        return QRectF(d.x(), d.y(), std::max(0, d.width() - 1), std::max(0, d.height() - 1));
    }
    QPolygon DevPolygon(const Point* points, int count) const {
        QPolygon poly(count);
        for (int i = 0; i < count; ++i) {
            Point d = LogicalToDevice(points[i]);
            poly[i] = QPoint(d.x, d.y);
        }
        return poly;
    }
    // kind 0 arc, 1 pie, 2 chord.
    void ArcShape(int kind, const Rect& r, Point start, Point end) {
        QRectF box = ShapeRect(r);
        if (box.width() <= 0 || box.height() <= 0) return;
        QPointF c = box.center();
        Point ds = LogicalToDevice(start), de = LogicalToDevice(end);
        // Angles of the rays on the unit circle the ellipse is stretched from,
        // counter-clockwise as seen on the device (y grows downwards).
        auto angle = [&](Point p) {
            double dx = (p.x - c.x()) / (box.width() / 2);
            double dy = -(p.y - c.y()) / (box.height() / 2);
            if (dx == 0 && dy == 0) return 0.0;
            return std::atan2(dy, dx) * 180.0 / M_PI;
        };
        double a0 = angle(ds), a1 = angle(de);
        double span = a1 - a0;
        while (span <= 0) span += 360.0;
        while (span > 360.0) span -= 360.0;
        int qa = draw_Round(a0 * 16), qs = draw_Round(span * 16);
        if (kind == 0) {
            if (!PreparePen()) return;
            p_.drawArc(box, qa, qs);
        } else {
            PrepareShape();
            if (kind == 1)
                p_.drawPie(box, qa, qs);
            else
                p_.drawChord(box, qa, qs);
        }
    }

    std::unique_ptr<QPainter> owned_;
    QPainter& p_;
    SurfaceKind kind_;
    int ppiX_, ppiY_;
    Size deviceSize_;
    bool mono_;
    QImage* image_;
    DrawSurfaceState s_;
    std::vector<DrawSurfaceState> saved_;
    bool penDirty_ = true, brushDirty_ = true, fontDirty_ = true, bkDirty_ = true, clipDirty_ = true;
    mutable bool fontCacheValid_ = false;
    mutable QFont fontCache_;
};

// A window that hands its paint event to a callback: the widget paint path of
// RenderOffscreenWindow.
class DrawCallbackWidget final : public QWidget {
public:
    explicit DrawCallbackWidget(const std::function<void(DrawSurface&)>& paint) : paint_(paint) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::white);
        setPalette(pal);
        setAutoFillBackground(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        auto surface = CreateWidgetSurface(painter, *this);
        if (paint_) paint_(*surface);
    }

private:
    const std::function<void(DrawSurface&)>& paint_;
};

}  // namespace

// ---------------------------------------------------------------------------
Rect DrawSurface::LogicalToDevice(const Rect& r) const {
    Point a = LogicalToDevice(Point{r.left, r.top});
    Point b = LogicalToDevice(Point{r.right, r.bottom});
    return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

Rect DrawSurface::DeviceToLogical(const Rect& r) const {
    Point a = DeviceToLogical(Point{r.left, r.top});
    Point b = DeviceToLogical(Point{r.right, r.bottom});
    return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

std::unique_ptr<DrawSurface> CreatePainterSurface(QPainter& painter, SurfaceKind kind, int ppiX, int ppiY,
                                                  Size deviceSize, bool monochrome) {
    return std::make_unique<DrawQtSurface>(painter, kind, ppiX, ppiY, deviceSize, monochrome, nullptr);
}

std::unique_ptr<DrawSurface> CreateWidgetSurface(QPainter& painter, QWidget& widget) {
    return std::make_unique<DrawQtSurface>(painter, SurfaceKind::Widget, widget.logicalDpiX(), widget.logicalDpiY(),
                                           Size{widget.width(), widget.height()}, false, nullptr);
}

QPainter* PainterOf(DrawSurface& surface) {
    auto* qs = dynamic_cast<DrawQtSurface*>(&surface);
    return qs ? &qs->Painter() : nullptr;
}

void MarkPainterUsed(DrawSurface& surface) {
    if (auto* qs = dynamic_cast<DrawQtSurface*>(&surface)) qs->MarkDirty();
}

QRect DeviceRectOf(DrawSurface& surface, const Rect& r) {
    if (auto* qs = dynamic_cast<DrawQtSurface*>(&surface)) return qs->DevRect(r);
    Rect d = surface.LogicalToDevice(r);
    return QRect(d.left, d.top, d.Width(), d.Height());
}

std::unique_ptr<DrawSurface> CreateImageSurface(Image& image) {
    if (image.IsNull()) return nullptr;
    QImage& data = ImageData(image);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&data)) return nullptr;
    return std::make_unique<DrawQtSurface>(std::move(painter), SurfaceKind::Image, image.PixelsPerInch(),
                                           image.PixelsPerInch(), image.GetSize(), image.IsMonochrome(), &data);
}

QColor ToQColor(Color c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

Color FromQColor(const QColor& c) { return MakeColor(c.red(), c.green(), c.blue()); }

QString ToQString(std::string_view text) {
    if (text.empty()) return QString();
    QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = decoder(bytes);
    if (decoder.hasError()) return QString::fromLatin1(bytes);
    return s;
}

QFont ToQFont(const FontDesc& fd, double pixelsPerLogical) {
    QFont f;
    if (!fd.face.empty()) f.setFamilies(QStringList{ToQString(fd.face)});
    f.setStyleHint(fd.fixedPitch ? QFont::Monospace : QFont::AnyStyle);
    f.setFixedPitch(fd.fixedPitch);
    f.setWeight(static_cast<QFont::Weight>(std::clamp(fd.weight, 1, 1000)));
    f.setItalic(fd.italic);
    f.setUnderline(fd.underline);
    f.setStrikeOut(fd.strikeout);
    double px = 0;
    if (fd.height < 0) {
        px = -fd.height * pixelsPerLogical;
    } else if (fd.height > 0) {
        // A cell height: find the character height whose ascent + descent fills it.
        QFont probe = f;
        probe.setPixelSize(100);
        QFontMetricsF m(probe);
        double cell = m.ascent() + m.descent();
        px = cell > 0 ? fd.height * pixelsPerLogical * 100.0 / cell : fd.height * pixelsPerLogical;
    } else {
        px = 12 * pixelsPerLogical;
    }
    f.setPixelSize(std::max(1, draw_Round(px)));
    return f;
}

FontDesc FromQFont(const QFont& f) {
    FontDesc fd;
    QStringList families = f.families();
    fd.face = (families.isEmpty() ? f.family() : families.first()).toStdString();
    if (f.pixelSize() > 0)
        fd.height = -f.pixelSize();
    else
        fd.height = -std::max(1, draw_Round(f.pointSizeF() * 96.0 / 72.0));
    fd.weight = f.weight();
    fd.italic = f.italic();
    fd.underline = f.underline();
    fd.strikeout = f.strikeOut();
    fd.fixedPitch = f.fixedPitch();
    return fd;
}

FontDesc DefaultFont() {
    if (!qGuiApp) {
        FontDesc fd;
        fd.height = -12;
        return fd;
    }
    return FromQFont(QGuiApplication::font());
}

PenDesc GetStockPen(StockPen which) {
    switch (which) {
    case StockPen::White: return PenDesc::Solid(MakeColor(255, 255, 255));
    case StockPen::Null: return PenDesc::Null();
    default: return PenDesc::Solid(MakeColor(0, 0, 0));
    }
}

BrushDesc GetStockBrush(StockBrush which) {
    switch (which) {
    case StockBrush::White: return BrushDesc::Solid(MakeColor(255, 255, 255));
    case StockBrush::LightGray: return BrushDesc::Solid(MakeColor(192, 192, 192));
    case StockBrush::Gray: return BrushDesc::Solid(MakeColor(128, 128, 128));
    case StockBrush::DarkGray: return BrushDesc::Solid(MakeColor(64, 64, 64));
    case StockBrush::Black: return BrushDesc::Solid(MakeColor(0, 0, 0));
    default: return BrushDesc::Null();
    }
}

FontDesc GetStockFont(StockFont which) {
    if (which == StockFont::System || !qGuiApp) {
        FontDesc fd = DefaultFont();
        if (which == StockFont::FixedSystem) {
            fd.face = "Monospace";
            fd.fixedPitch = true;
        }
        return fd;
    }
    FontDesc fd = FromQFont(QFontDatabase::systemFont(which == StockFont::FixedSystem ? QFontDatabase::FixedFont
                                                                                      : QFontDatabase::GeneralFont));
    if (which == StockFont::FixedSystem) fd.fixedPitch = true;
    return fd;
}

Image RenderOffscreenWindow(Size size, const std::function<void(DrawSurface&)>& paint) {
    if (size.cx <= 0 || size.cy <= 0 || !qobject_cast<QApplication*>(QCoreApplication::instance())) return Image();
    DrawCallbackWidget widget(paint);
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.resize(size.cx, size.cy);
    QPixmap pixmap = widget.grab();
    return ImageFromQImage(pixmap.toImage());
}

}  // namespace platform
