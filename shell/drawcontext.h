// The drawing context: a small wrapper made on the stack for each drawing over
// a drawing surface (window, image, page or recorded picture). It picks pens,
// brushes and colours by colour index from the colour table, knows what kind of
// device it draws on and hides the differences between them.
//
// Dashed lines are stepped in software by LinePath, so dash lengths scale with
// the line width and the dash phase runs on across the corners of a polyline,
// the same on every device.
#pragma once

#include <string_view>
#include <vector>

#include "platform/draw.h"
#include "platform/types.h"

class CDrawContext {
public:
    // A null surface leaves every flag 0; drawing through it does nothing and
    // measuring gives 0.
    explicit CDrawContext(platform::DrawSurface* surface);

    platform::DrawSurface* surface = nullptr;
    int technology = 0;     // platform::kTech...; a recorded picture is kTechPicture (5)
    int monochrome = 0;     // 1 when the device shows only black and white
    int paletteDevice = 0;  // nonzero when colours go through the program palette
    int reserved = 0;

    bool IsPicture() const { return technology == platform::kTechPicture; }

    // --- Colours, pens and brushes by colour index. Indexes outside the table
    // (such as 74, no colour) give black, the null pen and the null brush.
    platform::Color GetColorValue(int index) const;
    platform::BrushDesc GetBrushObject(int index) const;
    platform::PenDesc GetPenObject(int index) const;
    // Each Select hands back what it replaced (null objects without a surface).
    platform::BrushDesc SelectBrush(int index);
    platform::BrushDesc SelectBrushHandle(const platform::BrushDesc& brush);
    platform::PenDesc SelectPen(int index);
    platform::PenDesc SelectPenHandle(const platform::PenDesc& pen);
    platform::Color SetTextColorIndex(int index);
    platform::Color SetBkColorIndex(int index);
    // The program palette on palette devices (none on this platform: nothing).
    void RealizeProgramPalette();

    // --- Clipping and drawing (logical units)
    void SetClipRect(const platform::Rect& r);
    // Also empties the recorded picture clip rectangle when drawing a picture.
    void ResetClip();
    // A line (MoveTo, LineTo) or a rectangle (current pen and brush), clipped
    // by ClipLineToDevice first.
    void DrawLineOrRect(int x1, int y1, int x2, int y2, bool rectangle);
    // Text in a rectangle by platform::TextBox flags. Recorded pictures place
    // the text themselves for Center, Right and VCenter and write it in
    // transparent mode, so a replay does not depend on the replaying surface's
    // text layout. Returns the text's height.
    int DrawTextAligned(std::string_view text, platform::Rect& r, unsigned flags);

    // --- Text measurement with the selected font (logical units)
    // 0 for a null or empty text.
    int GetTextWidth(const char* text) const;
    // False (and zeros) without a surface.
    bool GetTextMetrics(platform::TextMetrics& out) const;
    // Height plus external leading.
    int GetLineHeight() const;
    // The block of lines of `text` (broken at CR, a CR LF pair counting once,
    // when it has any CR, else at LF) from r's left-top corner: r's bottom
    // becomes top + lineHeight x lines, its right edge left + the widest line
    // (+5 with more than one line). lineHeight 0 means the font's height. The
    // result is lineHeight x lines; a null text gives an empty rectangle and 0.
    int MeasureTextBlock(const char* text, platform::Rect& r, int lineHeight) const;
    // The rectangle a text drawn at r's left-top corner with the rotation bits
    // of a font style (0x10 90, 0x20 270, 0x40 180 degrees) covers.
    void GetRotatedTextRect(const char* text, int style, platform::Rect& r) const;
};

// The clip rectangle that plot export records for a picture being drawn (empty
// when none); while it is set, lines drawn into pictures are clipped to it.
void SetPictureClipRect(const platform::Rect& r);
platform::Rect GetPictureClipRect();

// Clips a line (or the corners of a rectangle, which are only clamped) to the
// limits 0..32757, or to the recorded picture clip rectangle when one is set on
// a picture. Clipping is on only for such pictures or when forced; otherwise the
// result is 1 with nothing changed. Returns 0 when the line lies wholly outside.
int ClipLineToDevice(const CDrawContext& dc, platform::Point& a, platform::Point& b, bool rectangle, bool force);

// Grows r to cover the corners of `other` as well.
void UnionRectWithRect(platform::Rect& r, const platform::Rect& other);

// ---------------------------------------------------------------------------
// Styled lines

// The most lengths BuildDashPattern produces.
constexpr int kMaxDashLengths = 8;

class LinePath {
public:
    explicit LinePath(CDrawContext* dc) : dc(dc) {}
    // On/off lengths starting with a dash; count 0 (or no lengths) draws solid.
    // Lengths below 1 count as 1.
    void SetPattern(const int* lengths, int count);
    // Restarts the pattern at the point.
    void MoveTo(int x, int y);
    // Dashes continue where the previous segment left off.
    void LineTo(int x, int y);

    CDrawContext* dc = nullptr;
    int segment = 0;  // index of the current dash or gap
    int count = 0;    // 0: solid
    int left = 0;     // length left in the current segment
    std::vector<int> lengths;
    int x = 0;
    int y = 0;
};

// Dash and gap lengths of a line pattern (0 solid, 1 dash, 2 dot, 3 dash-dot,
// 4 dash-dot-dot, 5 and up dash-dot-dot-dot; 6 to 9 the long variants) for a
// line of width `width`; round caps (nonzero low byte of `flags`) shorten dots
// and lengthen gaps. Writes at most kMaxDashLengths values; returns the count.
int BuildDashPattern(int* lengths, unsigned flags, int width, int pattern);
// A solid pen of the width and colour, round or flat-capped by the flags, with
// the pattern set on the path; draw through the path to get the dashes.
void MakeStyledPen(platform::PenDesc& pen, LinePath& path, unsigned flags, int width, int pattern,
                   platform::Color color);
void MakeStyledPenFromIndex(platform::PenDesc& pen, LinePath& path, unsigned flags, int width, int pattern,
                            int colorIndex);
