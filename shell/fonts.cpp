#include "shell/fonts.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/app.h"
#include "platform/commondlg.h"
#include "platform/image.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"

using platform::FontDesc;
using platform::Rect;

namespace {

// a * b / c rounded to the nearest, halves away from zero; 0 for c == 0.
int fn_MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    int64_t product = int64_t(a) * b;
    bool negative = (product < 0) != (c < 0);
    int64_t magnitude = (std::llabs(product) + std::llabs(int64_t(c)) / 2) / std::llabs(int64_t(c));
    int64_t result = negative ? -magnitude : magnitude;
    if (result > INT_MAX) return INT_MAX;
    if (result < INT_MIN) return INT_MIN;
    return static_cast<int>(result);
}

int fn_ScreenPixelsPerInchY() {
    platform::Application* app = platform::Application::Instance();
    int dpi = app ? app->Metrics().logicalDpiY : 96;
    return dpi > 0 ? dpi : 96;
}

int16_t fn_ClampHeight(int height) {
    if (height > INT16_MAX) return INT16_MAX;
    if (height < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(height);
}

}  // namespace

// ---- records and fonts -----------------------------------------------------------------

void FontSpecToLogFont(const FontSpec& spec, FontDesc& out) {
    out = FontDesc{};
    out.weight = (spec.style & kFontBold) ? 700 : 400;
    out.italic = (spec.style & kFontItalic) != 0;
    out.underline = (spec.style & kFontUnderline) != 0;
    out.strikeout = (spec.style & kFontStrikeout) != 0;
    if (spec.style & kFontRotate90) out.escapement = 900;
    if (spec.style & kFontRotate270) out.escapement = 2700;
    if (spec.style & kFontRotate180) out.escapement = 1800;
    out.face = FontFaceName(spec.face);
    out.height = spec.height ? spec.height : DefaultFontHeight() ? DefaultFontHeight() : 12;
}

void LogFontToFontSpec(FontSpec& spec, const FontDesc& font) {
    uint8_t style = font.weight == 700 ? kFontBold : 0;
    if (font.underline) style |= kFontUnderline;
    if (font.italic) style |= kFontItalic;
    if (font.strikeout) style |= kFontStrikeout;
    if (font.escapement == 900) style |= kFontRotate90;
    if (font.escapement == 2700) style |= kFontRotate270;
    spec.style = style;
    spec.height = fn_ClampHeight(font.height);
    spec.face = static_cast<uint16_t>(FindOrAddFontFace(font.face.c_str()));
}

void AttachFontFromSpec(FontDesc& font, const FontSpec& spec, int extraPitchBits) {
    FontSpecToLogFont(spec, font);
    if (extraPitchBits & kFontFixedPitch) font.fixedPitch = true;
}

FontDesc CreateFontFromSpec(const FontSpec& spec) {
    FontDesc font;
    AttachFontFromSpec(font, spec, 0);
    return font;
}

void CreateFontForDevice(FontDesc& font, const FontSpec& spec, const CDrawContext& dc) {
    FontSpecToLogFont(spec, font);
    int dpi = dc.surface ? dc.surface->PixelsPerInchY() : 96;
    font.height = -fn_MulDiv(font.height, dpi, 720);
}

FontDesc GetCurrentFontObject(const CDrawContext& dc) {
    return dc.surface ? dc.surface->GetFont() : platform::DefaultFont();
}

void FontSelector::Select(CDrawContext& dc, const FontSpec& spec) {
    if (!dc.surface) return;
    if (active_ && spec.height == height && spec.face == face && spec.style == style) return;
    if (active_) dc.surface->SetFont(previous_);
    created_ = CreateFontFromSpec(spec);
    previous_ = dc.surface->SetFont(created_);
    active_ = true;
    height = spec.height;
    face = spec.face;
    style = spec.style;
    color = spec.color;
}

void FontSelector::Release(CDrawContext& dc) {
    if (!active_) return;
    if (dc.surface) dc.surface->SetFont(previous_);
    active_ = false;
}

// ---- heights ---------------------------------------------------------------------------------

int PointsToLogicalHeight(int points) { return -fn_MulDiv(points, fn_ScreenPixelsPerInchY(), 72); }

int LogicalHeightToPoints(int height) {
    if (height >= 0) return height;
    return fn_MulDiv(-height, 72, fn_ScreenPixelsPerInchY());
}

int SystemFontHeight() {
    // Measured, because the desktop states its font by character height while
    // the default text height derives from the cell height.
    if (!platform::Application::Instance()) return 16;
    platform::Image image(1, 1);
    auto surface = platform::CreateImageSurface(image);
    if (!surface) return 16;
    surface->SetFont(platform::DefaultFont());
    int height = surface->GetTextMetrics().height;
    return height > 0 ? height : 16;
}

int ShowFontDialog(platform::Window* parent, FontSpec& spec, unsigned /*options*/) {
    platform::FontDialog dialog(CreateFontFromSpec(spec));
    if (const ColorTableRow* row = GetColorRow(spec.color)) dialog.SetColor(row->color);
    if (dialog.DoModal(parent) != 1) return 0;
    FontSpec chosen = spec;
    LogFontToFontSpec(chosen, dialog.GetFont());
    // The dialog chooses face, size and style; the text's direction stays.
    chosen.style = static_cast<uint8_t>((chosen.style & 0x0F) | (spec.style & 0x70));
    spec = chosen;
    return 1;
}

// ---- measurement ------------------------------------------------------------------------------

int CDrawContext::GetTextWidth(const char* text) const {
    if (!surface || !text || !*text) return 0;
    return surface->GetTextExtent(text).cx;
}

bool CDrawContext::GetTextMetrics(platform::TextMetrics& out) const {
    out = platform::TextMetrics{};
    if (!surface) return false;
    out = surface->GetTextMetrics();
    return true;
}

int CDrawContext::GetLineHeight() const {
    platform::TextMetrics m;
    GetTextMetrics(m);
    return m.height + m.externalLeading;
}

int CDrawContext::MeasureTextBlock(const char* text, Rect& r, int lineHeight) const {
    if (!text) {
        r = Rect{};
        return 0;
    }
    if (lineHeight == 0) {
        platform::TextMetrics m;
        GetTextMetrics(m);
        lineHeight = m.height;
    }
    std::string_view rest(text);
    char breakChar = rest.find('\r') != std::string_view::npos ? '\r' : '\n';
    int lines = 0;
    int widest = 0;
    for (;;) {
        size_t end = rest.find(breakChar);
        std::string_view line = rest.substr(0, end);
        ++lines;
        if (surface && !line.empty()) widest = std::max(widest, surface->GetTextExtent(line).cx);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
        if (breakChar == '\r' && !rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
    }
    r.bottom = r.top + lineHeight * lines;
    r.right = r.left + widest + (lines > 1 ? 5 : 0);
    return lineHeight * lines;
}

void CDrawContext::GetRotatedTextRect(const char* text, int style, Rect& r) const {
    int x = r.left;
    int y = r.top;
    Rect block{x, y, x, y};
    int a = MeasureTextBlock(text, block, 0);
    int w = block.Width();
    if (style & kFontRotate180) {
        r = Rect{x - 1, y - a, x - w, y};
    } else if (style & kFontRotate90) {
        r = Rect{x, y, x + a, y - w - 1};
    } else if (style & kFontRotate270) {
        r = Rect{x, y, x - a, y + w + 1};
    } else {
        r = Rect{x, y - a, x + w + 1, y + 1};
    }
}
