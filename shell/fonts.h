// Font records turned into fonts, font selection while drawing many texts, and
// font heights between points and logical units.
//
// The record itself (FontSpec) and the face table live in core/fontspec.h; text
// measurement is part of CDrawContext (shell/drawcontext.h).
#pragma once

#include <cstdint>

#include "core/fontspec.h"
#include "platform/draw.h"

class CDrawContext;
namespace platform {
class Window;
}

// FontSpec::style bits.
constexpr uint8_t kFontUnderline = 0x01;
constexpr uint8_t kFontItalic = 0x02;
constexpr uint8_t kFontBold = 0x04;
constexpr uint8_t kFontStrikeout = 0x08;
constexpr uint8_t kFontRotate90 = 0x10;
constexpr uint8_t kFontRotate270 = 0x20;
constexpr uint8_t kFontRotate180 = 0x40;

// Extra pitch bits of AttachFontFromSpec: text pages ask for a fixed-pitch face.
constexpr int kFontFixedPitch = 1;

// A height of 0 becomes the table's default height, or 12 when that is 0 too.
void FontSpecToLogFont(const FontSpec& spec, platform::FontDesc& out);
// Bold only for weight 700 exactly; 180-degree text is not mapped back. The
// colour is left as it is.
void LogFontToFontSpec(FontSpec& spec, const platform::FontDesc& font);
void AttachFontFromSpec(platform::FontDesc& font, const FontSpec& spec, int extraPitchBits);
platform::FontDesc CreateFontFromSpec(const FontSpec& spec);
// For a record whose height is in tenths of a point: the height becomes
// -(height x the device's pixels per inch / 720), rounded.
void CreateFontForDevice(platform::FontDesc& font, const FontSpec& spec, const CDrawContext& dc);
// The font selected in the context (the default font without a surface).
platform::FontDesc GetCurrentFontObject(const CDrawContext& dc);

// Keeps one font selected while many texts are drawn: selecting a record with
// the same height, face and style again does nothing.
class FontSelector {
public:
    void Select(CDrawContext& dc, const FontSpec& spec);
    // Puts the font back that was selected before the first Select.
    void Release(CDrawContext& dc);
    bool IsActive() const { return active_; }

    int16_t height = 0;
    uint16_t face = 0;
    uint8_t style = 0;
    uint8_t color = 0;

private:
    bool active_ = false;
    platform::FontDesc previous_;
    platform::FontDesc created_;
};

// Between points and logical heights on the screen (pixels per inch of the
// main window's display, 96 without one), rounded to the nearest. A positive
// height is a cell height and is returned unchanged.
int PointsToLogicalHeight(int points);
int LogicalHeightToPoints(int height);
// The cell height of the desktop's message font, from which start-up derives
// the default font height.
int SystemFontHeight();

// Lets the user change a font record's face, height and style (the rotation
// and the colour stay). 1 when the user pressed OK, else 0.
int ShowFontDialog(platform::Window* parent, FontSpec& spec, unsigned options);
