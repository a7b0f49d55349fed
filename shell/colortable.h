// The program-wide colour table and the program palette.
//
// Drawing code never names a colour directly: it picks pens, brushes and
// colours by colour index from one table. Rows 0-15 are the sixteen fixed
// colours, rows 16-63 the colours the user may redefine (the program palette),
// rows 64-71 follow the desktop's theme colours. Index 74 means "no colour": it
// is written to files as "NONE" and drawing code skips whatever it would paint.
#pragma once

#include <cstdint>

#include "core/properties.h"  // kColorNone
#include "platform/draw.h"
#include "platform/types.h"

class SectionFile;
namespace platform {
class Window;
}

constexpr int kColorBlack = 0;
constexpr int kColorWhite = 15;
constexpr int kFixedColorCount = 16;
constexpr int kPaletteColorCount = 64;  // fixed colours and the user's
constexpr int kFirstSystemColorRow = 64;
constexpr int kColorTableRows = 72;

// Rows 64-71: the theme colours they follow. Some repeat on purpose, because
// callers index both rows of a pair separately.
constexpr int kRowWindow = 64;
constexpr int kRowButtonFace = 65;
constexpr int kRowButtonText = 66;
constexpr int kRowButtonText2 = 67;
constexpr int kRowWindowFrame = 68;
constexpr int kRowButtonFace2 = 69;
constexpr int kRowButtonShadow = 70;
constexpr int kRowButtonHighlight = 71;

// A colour that refers to palette entry `index` rather than to an RGB value;
// what palette devices are given for rows 16-63.
constexpr platform::Color PaletteIndexColor(int index) {
    return 0x01000000u | static_cast<platform::Color>(index & 0xFFFF);
}

struct ColorTableRow {
    platform::Color color = 0;         // plain RGB
    platform::Color paletteColor = 0;  // PaletteIndexColor(row) for rows 16-63, else the RGB
    platform::PenDesc pen;             // one pixel, solid, of `color`
    platform::PenDesc palettePen;      // the same for `paletteColor`
    platform::BrushDesc brush;         // solid, of `color`
    platform::BrushDesc paletteBrush;  // the same for `paletteColor`
};

// The row of a colour index, or null outside rows 0-71 (including "no colour").
const ColorTableRow* GetColorRow(int index);
// The table's extra objects: the grey pattern brush and the null brush and pen.
platform::BrushDesc GetPatternBrush();
platform::BrushDesc GetNullBrush();
platform::PenDesc GetNullPen();

// Builds every row: the fixed colours, the palette rows, the null objects, the
// pattern brush and the theme rows.
void InitColorTable();
// Rows 16-63 again from the program palette (or the defaults when there is none).
void RefreshPaletteRows();
// Both colours of a row become `color`, with new pens and brushes. Rows outside
// the table are ignored.
void SetColorRow(int row, platform::Color color);
// Drops a row's pens and brushes (they become null objects).
void FreeColorRow(int row);
// Rows 64-71 again from the desktop's theme (at start-up and when it changes).
void UpdateSystemColorRows();
void FreeColorTable();

// ---------------------------------------------------------------------------
// The program palette: 64 entries normally, 128 while the palette preferences
// page edits a copy held in entries 64-127.
constexpr uint8_t kPaletteEntryReserved = 0x01;  // entries the user may change
constexpr int kPaletteCapacity = 128;

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
    bool operator==(const PaletteEntry&) const = default;
};

struct ProgramPalette {
    uint16_t version = 0x300;
    uint16_t count = 0;
    PaletteEntry entries[kPaletteCapacity];
};

// Start-up: the program palette with the default colours, then the colour
// table, and the [Palettes] section routine of the settings file.
void InitPalettes();

// Makes the palette with the 64 default entries; 0 when memory runs out (then
// there is no palette), else 1.
int CreateProgramPalette();
// Null when there is none.
const ProgramPalette* GetProgramPalette();
// Shows the palette's current colours: repaints the window (the main window's
// when null).
void RebuildPalette(platform::Window* window);
void FreeProgramPalette();

// The fixed default colour of entry 0-63 (black outside).
platform::Color GetDefaultColor(int index);
// With `rgb`: the colour of entry `index` (while the palette is being edited,
// of its edited copy); without: PaletteIndexColor(index).
platform::Color GetPaletteColor(int index, bool rgb);
// The first of rows 0-63 with exactly that colour, else the row whose colour
// differs in the fewest bits (the first on a tie).
int FindNearestColor(platform::Color rgb);

// Palette editing for the preferences: Begin copies entries 0-63 into 64-127
// and hands the copies out; SetEdited changes a copy (entries 16-63 only);
// Cancel restores the colours in effect before Begin; Apply makes the given
// colours current (the fixed entries 0-15 stay). Cancel and Apply end the edit.
void BeginPaletteEdit(platform::Window* window, PaletteEntry out[kPaletteColorCount]);
void SetEditedPaletteColor(int index, platform::Color rgb, platform::Window* window);
void CancelPaletteEdit();
void ApplyPaletteEntries(const PaletteEntry entries[kPaletteColorCount]);
bool IsPaletteBeingEdited();

// The [Palettes] section of tarn.dat: "PALETTE_0" to "PALETTE_63" with the
// colour as a decimal number (red + 256 x green + 65536 x blue). Reading
// changes only entries 16-63. Returns the stream's result.
int SerializePalettes(SectionFile& file);
