// Drawing surfaces: one interface for everything the program draws on.
//
// A DrawSurface is the same whether it paints a window, a memory image, a PDF
// or printer page, or records a picture for later replay. Coordinates passed in
// are logical units, turned into device pixels by the surface's mapping (window
// and viewport origins and extents); sizes passed to pens and fonts are logical
// too. Drawing state (pen, brush, font, colours, modes) lives in the surface and
// every setter hands back the value it replaced, so callers can select an object
// for a while and put the previous one back.
//
// Rendering is aliased (no anti-aliasing) and device coordinates are rounded to
// whole pixels, so the same calls give the same pixels on every raster surface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

class Image;

// What the surface draws on.
enum class SurfaceKind { Widget, Image, Pdf, Printer, Picture };

// Device technology codes as the program's drawing code compares them.
constexpr int kTechPlotter = 0;
constexpr int kTechRasterDisplay = 1;
constexpr int kTechRasterPrinter = 2;
constexpr int kTechPicture = 5;

// ---------------------------------------------------------------------------
// Pens
enum class PenStyle {
    Solid,
    Dash,
    Dot,
    DashDot,
    DashDotDot,
    Null,    // draws nothing
    Custom,  // PenDesc::dashes gives the on/off lengths
};
enum class PenCap { Round, Square, Flat };
enum class PenJoin { Round, Bevel, Miter };

struct PenDesc {
    PenStyle style = PenStyle::Solid;
    // Logical units; 0 always draws one device pixel wide whatever the mapping.
    int width = 0;
    Color color = MakeColor(0, 0, 0);
    PenCap cap = PenCap::Round;
    PenJoin join = PenJoin::Round;
    // On/off lengths in logical units for PenStyle::Custom, starting with "on".
    std::vector<int> dashes;

    static PenDesc Solid(Color c, int width = 0) {
        PenDesc p;
        p.color = c;
        p.width = width;
        return p;
    }
    static PenDesc Null() {
        PenDesc p;
        p.style = PenStyle::Null;
        return p;
    }
    bool operator==(const PenDesc&) const = default;
};

// ---------------------------------------------------------------------------
// Brushes
enum class BrushStyle { Solid, Null, Hatch, Pattern };
// Hatches, numbered as the program stores them.
enum class HatchStyle {
    Horizontal = 0,        // -----
    Vertical = 1,          // |||||
    DownwardDiagonal = 2,  // \\\\\ (falls from left to right)
    UpwardDiagonal = 3,    // ///// (rises from left to right)
    Cross = 4,             // +++++
    DiagonalCross = 5,     // xxxxx
};

struct BrushDesc {
    BrushStyle style = BrushStyle::Solid;
    Color color = MakeColor(255, 255, 255);
    HatchStyle hatch = HatchStyle::Horizontal;
    // BrushStyle::Pattern: an 8 x 8 tile, one byte per row, bit 7 the leftmost
    // pixel; set bits take `color`, clear bits the background colour.
    uint8_t pattern[8] = {};

    static BrushDesc Solid(Color c) {
        BrushDesc b;
        b.color = c;
        return b;
    }
    static BrushDesc Null() {
        BrushDesc b;
        b.style = BrushStyle::Null;
        return b;
    }
    static BrushDesc Hatched(HatchStyle h, Color c) {
        BrushDesc b;
        b.style = BrushStyle::Hatch;
        b.hatch = h;
        b.color = c;
        return b;
    }
    bool operator==(const BrushDesc&) const = default;
};

// ---------------------------------------------------------------------------
// Fonts
struct FontDesc {
    std::string face;  // empty: the default face
    // Logical units: negative = character (em) height, positive = cell height
    // (ascent + descent), 0 = the default font's height.
    int height = 0;
    int weight = 400;  // 100..900; 700 is bold
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    int escapement = 0;       // text direction, tenths of a degree counter-clockwise
    bool fixedPitch = false;  // a hint for when the face is missing

    bool IsBold() const { return weight >= 600; }
    bool operator==(const FontDesc&) const = default;
};

// Sizes in logical units of the surface that measured them.
struct TextMetrics {
    int height = 0;  // ascent + descent
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;  // height less the character (em) height
    int externalLeading = 0;  // recommended space between lines
    int averageCharWidth = 0;
    int maxCharWidth = 0;
};

// The system's default font for messages and controls: its height is negative
// (character height) in pixels of a 96-per-inch display.
FontDesc DefaultFont();

// ---------------------------------------------------------------------------
// Stock objects
enum class StockPen { Black, White, Null };
enum class StockBrush { White, LightGray, Gray, DarkGray, Black, Null };
enum class StockFont { System, FixedSystem, Gui };
PenDesc GetStockPen(StockPen which);
BrushDesc GetStockBrush(StockBrush which);
FontDesc GetStockFont(StockFont which);

// ---------------------------------------------------------------------------
// Modes
enum class BackgroundMode { Transparent = 1, Opaque = 2 };
enum class FillMode { Alternate = 1, Winding = 2 };

// Mapping modes, numbered as the program stores them. The fixed modes (2..6)
// measure in physical units with y growing upwards.
enum class MapMode {
    Pixels = 1,       // one logical unit = one device pixel, y down
    LoMetric = 2,     // 0.1 mm
    HiMetric = 3,     // 0.01 mm
    LoEnglish = 4,    // 0.01 inch
    HiEnglish = 5,    // 0.001 inch
    Twips = 6,        // 1/1440 inch
    Isotropic = 7,    // window/viewport extents, equal scale on both axes
    Anisotropic = 8,  // window/viewport extents as given
};

// Alignment of TextOut's reference point: one horizontal or'd with one vertical.
namespace TextAlign {
constexpr unsigned Left = 0;
constexpr unsigned Right = 2;
constexpr unsigned Center = 6;
constexpr unsigned Top = 0;
constexpr unsigned Bottom = 8;
constexpr unsigned Baseline = 24;
constexpr unsigned HorizontalMask = 6;
constexpr unsigned VerticalMask = 24;
}  // namespace TextAlign

// Flags of DrawTextBox.
namespace TextBox {
constexpr unsigned Left = 0;
constexpr unsigned Center = 1;
constexpr unsigned Right = 2;
constexpr unsigned VCenter = 4;  // with SingleLine
constexpr unsigned Bottom = 8;   // with SingleLine
constexpr unsigned WordBreak = 0x10;
constexpr unsigned SingleLine = 0x20;
constexpr unsigned ExpandTabs = 0x40;
constexpr unsigned NoClip = 0x100;
constexpr unsigned CalcRect = 0x400;  // only measure: the rectangle's size is set
}  // namespace TextBox

// ---------------------------------------------------------------------------
// The surface
//
// Rect arguments cover pixels left..right-1 and top..bottom-1 after mapping
// (right and bottom exclusive). Lines leave out their last point so that
// joined segments do not paint the corner twice.
class DrawSurface {
public:
    virtual ~DrawSurface() = default;
    DrawSurface(const DrawSurface&) = delete;
    DrawSurface& operator=(const DrawSurface&) = delete;

    // --- What the device is
    virtual SurfaceKind Kind() const = 0;
    virtual int Technology() const = 0;     // kTech...
    virtual bool IsMonochrome() const = 0;  // colours drawn as black or white
    virtual bool UsesPalette() const = 0;   // always false on this platform
    bool IsPicture() const { return Kind() == SurfaceKind::Picture; }
    bool IsPrinter() const { return Kind() == SurfaceKind::Printer || Kind() == SurfaceKind::Pdf; }
    virtual int PixelsPerInchX() const = 0;  // 96 on screen and images
    virtual int PixelsPerInchY() const = 0;
    virtual Size DeviceSize() const = 0;  // pixels (of a page: the printable area)

    // --- State
    virtual PenDesc SetPen(const PenDesc& pen) = 0;
    virtual PenDesc GetPen() const = 0;
    virtual BrushDesc SetBrush(const BrushDesc& brush) = 0;
    virtual BrushDesc GetBrush() const = 0;
    virtual FontDesc SetFont(const FontDesc& font) = 0;
    virtual FontDesc GetFont() const = 0;
    virtual Color SetTextColor(Color c) = 0;
    virtual Color GetTextColor() const = 0;
    virtual Color SetBackgroundColor(Color c) = 0;  // opaque text, hatch and dash gaps
    virtual Color GetBackgroundColor() const = 0;
    virtual BackgroundMode SetBackgroundMode(BackgroundMode mode) = 0;
    virtual BackgroundMode GetBackgroundMode() const = 0;
    virtual unsigned SetTextAlign(unsigned align) = 0;  // TextAlign flags
    virtual unsigned GetTextAlign() const = 0;
    virtual FillMode SetFillMode(FillMode mode) = 0;
    virtual FillMode GetFillMode() const = 0;
    // Saves everything settable here (state, mapping, clip, current position).
    virtual void SaveState() = 0;
    // False when there is no saved state.
    virtual bool RestoreState() = 0;

    // --- Mapping between logical and device units
    virtual MapMode SetMapMode(MapMode mode) = 0;
    virtual MapMode GetMapMode() const = 0;
    virtual Point SetWindowOrg(Point org) = 0;
    virtual Point GetWindowOrg() const = 0;
    virtual Point SetViewportOrg(Point org) = 0;
    virtual Point GetViewportOrg() const = 0;
    // Extents apply only in the Isotropic and Anisotropic modes; an extent of 0
    // is refused (the previous one is kept). Isotropic mode shrinks the viewport
    // extent on one axis so that a logical unit is as long on both axes.
    virtual Size SetWindowExt(Size ext) = 0;
    virtual Size GetWindowExt() const = 0;
    virtual Size SetViewportExt(Size ext) = 0;
    virtual Size GetViewportExt() const = 0;
    virtual Point LogicalToDevice(Point p) const = 0;
    virtual Point DeviceToLogical(Point p) const = 0;
    void LogicalToDevice(Point* points, int count) const {
        for (int i = 0; i < count; ++i) points[i] = LogicalToDevice(points[i]);
    }
    void DeviceToLogical(Point* points, int count) const {
        for (int i = 0; i < count; ++i) points[i] = DeviceToLogical(points[i]);
    }
    // Both corners mapped, then put in order (a flipped y axis swaps top and bottom).
    Rect LogicalToDevice(const Rect& r) const;
    Rect DeviceToLogical(const Rect& r) const;

    // --- Clipping (rectangles in logical units)
    virtual void SetClipRect(const Rect& r) = 0;
    // The union of the rectangles; an empty list clips everything away.
    virtual void SetClipRegion(const std::vector<Rect>& rects) = 0;
    virtual void IntersectClipRect(const Rect& r) = 0;
    virtual void ExcludeClipRect(const Rect& r) = 0;
    virtual void ResetClip() = 0;
    virtual bool HasClip() const = 0;
    // The bounds of what can be drawn: the clip's bounds, or the whole device.
    virtual Rect GetClipBox() const = 0;

    // --- Lines and shapes
    virtual Point MoveTo(Point p) = 0;  // returns the previous current position
    virtual Point GetCurrentPosition() const = 0;
    virtual void LineTo(Point p) = 0;  // with the pen; the position moves to p
    void MoveTo(int x, int y) { MoveTo(Point{x, y}); }
    void LineTo(int x, int y) { LineTo(Point{x, y}); }
    void Line(int x1, int y1, int x2, int y2) {
        MoveTo(x1, y1);
        LineTo(x2, y2);
    }
    virtual void Polyline(const Point* points, int count) = 0;
    // Filled with the brush, outlined with the pen.
    virtual void Polygon(const Point* points, int count) = 0;
    // Several polygons filled as one shape (holes by the fill mode): `counts`
    // gives each polygon's number of points, taken in turn from `points`
    // (`pointCount` in all; nothing is drawn when the counts ask for more).
    virtual void PolyPolygon(const Point* points, int pointCount, const int* counts, int polygons) = 0;
    virtual void Rectangle(const Rect& r) = 0;
    virtual void RoundRect(const Rect& r, int ellipseWidth, int ellipseHeight) = 0;
    virtual void Ellipse(const Rect& r) = 0;
    // Arcs of the ellipse inscribed in r, going counter-clockwise (as seen on
    // the device) from the ray through `start` to the ray through `end`; equal
    // rays give the full ellipse. Pie closes to the centre, Chord with a chord.
    virtual void Arc(const Rect& r, Point start, Point end) = 0;
    virtual void Pie(const Rect& r, Point start, Point end) = 0;
    virtual void Chord(const Rect& r, Point start, Point end) = 0;
    // Cubic Béziers: a start point followed by three points per curve.
    virtual void PolyBezier(const Point* points, int count) = 0;
    virtual void SetPixel(Point p, Color c) = 0;
    // The colour of an image surface's pixel; on other surfaces nothing can be
    // read and the result is false.
    virtual bool GetPixel(Point p, Color* c) const = 0;
    // Fills with the brush (or a colour) without an outline.
    virtual void FillRect(const Rect& r, const BrushDesc& brush) = 0;
    void FillRect(const Rect& r, Color c) { FillRect(r, BrushDesc::Solid(c)); }
    // A one-pixel outline in the brush's colour.
    virtual void FrameRect(const Rect& r, const BrushDesc& brush) = 0;
    // Draws `src` (pixels of the image; empty = the whole image) into `dest`
    // (logical units), scaled when the sizes differ.
    virtual void DrawImage(const Rect& dest, const Image& image, const Rect& src = Rect{}) = 0;

    // --- Text (UTF-8; bytes that are not UTF-8 are read as Latin-1)
    // At the reference point by the text alignment, along the font's escapement.
    virtual void TextOut(Point p, std::string_view text) = 0;
    // In a rectangle by TextBox flags. The result is the height of the text;
    // with TextBox::CalcRect nothing is drawn and r's right and bottom edges are
    // set to fit the text.
    virtual int DrawTextBox(std::string_view text, Rect& r, unsigned flags) = 0;
    // Measurement with the current font, in logical units; identical on every
    // surface of the same resolution (pictures and pages measure too).
    virtual Size GetTextExtent(std::string_view text) const = 0;
    virtual TextMetrics GetTextMetrics() const = 0;
    // Height plus external leading: the step from one line to the next.
    int LineHeight() const {
        TextMetrics m = GetTextMetrics();
        return m.height + m.externalLeading;
    }

protected:
    DrawSurface() = default;
};

// A surface over a memory image; the image must outlive the surface and should
// not be touched otherwise while the surface exists. A monochrome image (see
// Image) draws every colour as black or white.
std::unique_ptr<DrawSurface> CreateImageSurface(Image& image);

// Paints through a fresh off-screen window of the given size, as a window's
// paint event does, and returns what the window shows. Used to capture a view's
// picture without the screen.
Image RenderOffscreenWindow(Size size, const std::function<void(DrawSurface&)>& paint);

// ---------------------------------------------------------------------------
// Recorded pictures: drawing kept as commands, replayed onto any surface.
class Picture {
public:
    Picture();
    ~Picture();
    Picture(Picture&&) noexcept;
    Picture& operator=(Picture&&) noexcept;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Starts recording (discarding earlier content) and returns the surface to
    // draw on; it stays valid until End. `bounds` is the device-size frame the
    // picture claims (empty: the bounds of what is drawn).
    DrawSurface& Begin(Size bounds = Size{});
    void End();
    bool IsRecording() const;
    bool IsEmpty() const;
    // Device-unit frame of the picture.
    Rect Bounds() const;
    // Replays 1:1 with the picture's origin at the target's device origin.
    void Play(DrawSurface& target) const;
    // Replays scaled so that Bounds() fills `dest` (logical units of the target).
    void Play(DrawSurface& target, const Rect& dest) const;
    // The toolkit's own picture format; false with nothing written or read.
    bool Save(const std::string& path) const;
    bool Load(const std::string& path);

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// Overlay: transient marks (rubber bands, drag outlines, cross-hair cursors)
// kept in a layer the window draws over its content after every paint. Marks
// toggle: showing the same mark a second time removes it, so code written for
// "draw twice to erase" works unchanged, and removing marks never disturbs the
// content under them.
struct OverlayMark {
    enum class Shape { Line, Rectangle, Ellipse, Polyline, FocusRect, TextBox };
    Shape shape = Shape::Rectangle;
    std::vector<Point> points;  // device pixels: Line/Polyline vertices, or 2 corners
    PenDesc pen;                // ignored when `invert`
    // Inverts what lies under it (visible on every background), like the
    // classic exclusive-or rubber band.
    bool invert = true;
    // TextBox (2 corners, never inverted): framed in pen.color, filled with
    // `fill` one pixel in, `text` centred in pen.color with `font` (its sizes
    // in device pixels).
    std::string text;
    FontDesc font;
    Color fill = MakeColor(255, 255, 255);
    bool operator==(const OverlayMark&) const = default;
};

class OverlayLayer {
public:
    // Called with the device rectangle that must be repainted after a change.
    using ChangedFn = std::function<void(const Rect& dirty)>;
    void SetChangedCallback(ChangedFn fn) { changed_ = std::move(fn); }

    // Adds the mark, or removes it when an equal one is shown. True when shown.
    bool Toggle(const OverlayMark& mark);
    bool ToggleRect(const Rect& r, bool invert = true);
    bool ToggleLine(Point a, Point b, bool invert = true);
    bool ToggleEllipse(const Rect& r, bool invert = true);
    bool ToggleFocusRect(const Rect& r);
    bool ToggleTextBox(const Rect& r, std::string_view text, const FontDesc& font, Color textColor, Color fill);
    void Clear();
    bool IsEmpty() const { return marks_.empty(); }
    const std::vector<OverlayMark>& Marks() const { return marks_; }
    // Device rectangle covering every mark (empty when none).
    Rect Bounds() const;
    // Draws the marks on a surface holding the content (device units).
    void Paint(DrawSurface& surface) const;

private:
    void Notify(const Rect& dirty) const;
    std::vector<OverlayMark> marks_;
    ChangedFn changed_;
};

}  // namespace platform
