#include "shell/colortable.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "core/chars.h"
#include "core/memory.h"
#include "core/sectionfile.h"
#include "core/settings.h"
#include "platform/app.h"
#include "platform/window.h"

using platform::BrushDesc;
using platform::Color;
using platform::MakeColor;
using platform::PenDesc;

namespace {

// clang-format off
constexpr Color ct_kDefaultColors[kPaletteColorCount] = {
    // the sixteen fixed colours
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xc0c0c0,
    0x808080, 0x0000ff, 0x00ff00, 0x00ffff, 0xff0000, 0xff00ff, 0xffff00, 0xffffff,
    // the user's colours, as shipped
    MakeColor(0x5a, 0x91, 0xab), MakeColor(0x14, 0x5a, 0x6b), MakeColor(0x3e, 0x13, 0x6c),
    MakeColor(0xcd, 0xc0, 0x1d), MakeColor(0xbf, 0x93, 0x48), MakeColor(0xac, 0x45, 0x0d),
    MakeColor(0xde, 0x0c, 0xbe), MakeColor(0xb8, 0x07, 0x91), MakeColor(0xff, 0x7d, 0x8d),
    MakeColor(0xff, 0x39, 0x6b), MakeColor(0xd2, 0x00, 0x4f), MakeColor(0xc4, 0x00, 0x62),
    MakeColor(0xdc, 0xb4, 0xf1), MakeColor(0xf3, 0x82, 0xf7), MakeColor(0xcd, 0x5c, 0xf8),
    MakeColor(0x79, 0x40, 0xbf),
    MakeColor(0xf5, 0xfd, 0x62), MakeColor(0xfd, 0xd8, 0x44), MakeColor(0xfc, 0xad, 0x2a),
    MakeColor(0xfe, 0x79, 0x00), MakeColor(0xc9, 0x6c, 0x27), MakeColor(0xf8, 0x61, 0x00),
    MakeColor(0x83, 0x62, 0x3d), MakeColor(0x89, 0x61, 0x56), MakeColor(0xb0, 0xff, 0xb0),
    MakeColor(0x51, 0xf9, 0x98), MakeColor(0x20, 0xff, 0x58), MakeColor(0x80, 0xd1, 0x54),
    MakeColor(0x36, 0xc2, 0x5c), MakeColor(0x00, 0xae, 0x57), MakeColor(0x00, 0x9f, 0x00),
    MakeColor(0x00, 0x62, 0x00),
    MakeColor(0xc5, 0xc5, 0xff), MakeColor(0x9b, 0x9b, 0xff), MakeColor(0x7f, 0x7f, 0xff),
    MakeColor(0x63, 0x63, 0xff), MakeColor(0x80, 0x00, 0xe0), MakeColor(0x80, 0x00, 0xc0),
    MakeColor(0x80, 0x00, 0xa0), MakeColor(0x80, 0x00, 0x80), MakeColor(0xe4, 0xe4, 0xe4),
    MakeColor(0xc8, 0xc8, 0xc8), MakeColor(0xac, 0xac, 0xac), MakeColor(0x90, 0x90, 0x90),
    MakeColor(0x74, 0x74, 0x74), MakeColor(0x58, 0x58, 0x58), MakeColor(0x3c, 0x3c, 0x3c),
    MakeColor(0x20, 0x20, 0x20),
};
// clang-format on
static_assert(ct_kDefaultColors[9] == MakeColor(0xff, 0, 0) && ct_kDefaultColors[12] == MakeColor(0, 0, 0xff));

struct ct_Table {
    ColorTableRow rows[kColorTableRows];
    BrushDesc patternBrush = BrushDesc::Null();
    BrushDesc nullBrush = BrushDesc::Null();
    PenDesc nullPen = PenDesc::Null();
    ProgramPalette* palette = nullptr;  // from MemAlloc; null when there is none
};

ct_Table& ct_State() {
    static ct_Table table;
    return table;
}

Color ct_EntryColor(const PaletteEntry& e) { return MakeColor(e.red, e.green, e.blue); }

PaletteEntry ct_MakeEntry(Color c, int index) {
    PaletteEntry e;
    e.red = static_cast<uint8_t>(platform::RedOf(c));
    e.green = static_cast<uint8_t>(platform::GreenOf(c));
    e.blue = static_cast<uint8_t>(platform::BlueOf(c));
    e.flags = index >= kFixedColorCount ? kPaletteEntryReserved : 0;
    return e;
}

// The RGB a palette-relative colour stands for, so that its pens and brushes
// draw the right colour on devices that take plain RGB only.
Color ct_Resolve(Color c) {
    if ((c & 0xFF000000u) != 0x01000000u) return c & 0xFFFFFFu;
    int index = static_cast<int>(c & 0xFFFF);
    return GetPaletteColor(index, true);
}

void ct_MakeObjects(ColorTableRow& row) {
    row.pen = PenDesc::Solid(row.color);
    row.brush = BrushDesc::Solid(row.color);
    Color shown = ct_Resolve(row.paletteColor);
    row.palettePen = PenDesc::Solid(shown);
    row.paletteBrush = BrushDesc::Solid(shown);
}

void ct_ClearRowObjects(ColorTableRow& row) {
    row.pen = row.palettePen = PenDesc::Null();
    row.brush = row.paletteBrush = BrushDesc::Null();
}

// Theme colours of rows 64-71, with the classic ones when no application runs.
Color ct_SystemColor(int row) {
    using platform::SystemColor;
    struct Source {
        SystemColor which;
        Color fallback;
    };
    static constexpr Source kSources[kColorTableRows - kFirstSystemColorRow] = {
        {SystemColor::Window, 0xffffff},       {SystemColor::ButtonFace, 0xc0c0c0},
        {SystemColor::ButtonText, 0x000000},   {SystemColor::ButtonText, 0x000000},
        {SystemColor::WindowText, 0x000000},   {SystemColor::ButtonFace, 0xc0c0c0},
        {SystemColor::ButtonShadow, 0x808080}, {SystemColor::ButtonHighlight, 0xffffff},
    };
    const Source& source = kSources[row - kFirstSystemColorRow];
    platform::Application* app = platform::Application::Instance();
    return app ? app->GetSystemColor(source.which) & 0xFFFFFFu : source.fallback;
}

int ct_SerializeRoutine(SectionFile& file) { return SerializePalettes(file); }

}  // namespace

// ---- the colour table ---------------------------------------------------------------

const ColorTableRow* GetColorRow(int index) {
    if (index < 0 || index >= kColorTableRows) return nullptr;
    return &ct_State().rows[index];
}

BrushDesc GetPatternBrush() { return ct_State().patternBrush; }
BrushDesc GetNullBrush() { return ct_State().nullBrush; }
PenDesc GetNullPen() { return ct_State().nullPen; }

void SetColorRow(int row, Color color) {
    if (row < 0 || row >= kColorTableRows) return;
    ColorTableRow& r = ct_State().rows[row];
    r.color = r.paletteColor = color & 0xFFFFFFu;
    ct_MakeObjects(r);
}

void FreeColorRow(int row) {
    if (row < 0 || row >= kColorTableRows) return;
    ct_ClearRowObjects(ct_State().rows[row]);
}

void RefreshPaletteRows() {
    ct_Table& table = ct_State();
    for (int row = kFixedColorCount; row < kPaletteColorCount; ++row) {
        ColorTableRow& r = table.rows[row];
        r.paletteColor = PaletteIndexColor(row);
        r.color = table.palette ? ct_EntryColor(table.palette->entries[row]) : ct_kDefaultColors[row];
        ct_MakeObjects(r);
    }
}

void UpdateSystemColorRows() {
    for (int row = kFirstSystemColorRow; row < kColorTableRows; ++row) {
        FreeColorRow(row);
        SetColorRow(row, ct_SystemColor(row));
    }
}

void InitColorTable() {
    ct_Table& table = ct_State();
    for (int row = 0; row < kFixedColorCount; ++row) SetColorRow(row, ct_kDefaultColors[row]);
    RefreshPaletteRows();
    table.nullBrush = platform::GetStockBrush(platform::StockBrush::Null);
    table.nullPen = platform::GetStockPen(platform::StockPen::Null);
    // The grey 50% dither that disabled and "greyed" areas are filled with.
    BrushDesc pattern;
    pattern.style = platform::BrushStyle::Pattern;
    pattern.color = MakeColor(0, 0, 0);
    for (int i = 0; i < 8; ++i) pattern.pattern[i] = (i & 1) ? 0x55 : 0xAA;
    table.patternBrush = pattern;
    UpdateSystemColorRows();
}

void FreeColorTable() {
    ct_Table& table = ct_State();
    table.patternBrush = BrushDesc::Null();
    for (int row = 0; row < kColorTableRows; ++row) FreeColorRow(row);
}

// ---- the program palette --------------------------------------------------------------

int CreateProgramPalette() {
    ct_Table& table = ct_State();
    if (table.palette) return 1;
    auto* palette = static_cast<ProgramPalette*>(MemAllocZero(sizeof(ProgramPalette)));
    if (!palette) return 0;
    palette->version = 0x300;
    palette->count = kPaletteColorCount;
    for (int i = 0; i < kPaletteColorCount; ++i) palette->entries[i] = ct_MakeEntry(ct_kDefaultColors[i], i);
    table.palette = palette;
    RebuildPalette(nullptr);
    return 1;
}

const ProgramPalette* GetProgramPalette() { return ct_State().palette; }

void RebuildPalette(platform::Window* window) {
    // Colours are drawn as plain RGB here, so "realizing" the palette means
    // repainting what shows it.
    if (!window) {
        platform::Application* app = platform::Application::Instance();
        window = app ? app->MainWindow() : nullptr;
    }
    if (window && window->Exists()) window->Invalidate();
}

void FreeProgramPalette() {
    ct_Table& table = ct_State();
    MemFree(table.palette);
    table.palette = nullptr;
}

void InitPalettes() {
    CreateProgramPalette();
    InitColorTable();
    RegisterSettingsSection("Palettes", ct_SerializeRoutine);
}

Color GetDefaultColor(int index) {
    if (index < 0 || index >= kPaletteColorCount) return MakeColor(0, 0, 0);
    return ct_kDefaultColors[index];
}

Color GetPaletteColor(int index, bool rgb) {
    if (!rgb) return PaletteIndexColor(index);
    if (index < 0 || index >= kPaletteColorCount) return MakeColor(0, 0, 0);
    const ProgramPalette* palette = ct_State().palette;
    if (!palette) return ct_kDefaultColors[index];
    if (palette->count == kPaletteCapacity) index += kPaletteColorCount;
    return ct_EntryColor(palette->entries[index]);
}

int FindNearestColor(Color rgb) {
    rgb &= 0xFFFFFFu;
    const ct_Table& table = ct_State();
    int best = 0;
    int bestBits = 64;
    for (int row = 0; row < kPaletteColorCount; ++row) {
        int bits = std::popcount(table.rows[row].color ^ rgb);
        if (bits < bestBits) {
            best = row;
            bestBits = bits;
            if (bits == 0) break;
        }
    }
    return best;
}

bool IsPaletteBeingEdited() {
    const ProgramPalette* palette = ct_State().palette;
    return palette && palette->count == kPaletteCapacity;
}

void BeginPaletteEdit(platform::Window* window, PaletteEntry out[kPaletteColorCount]) {
    ProgramPalette* palette = ct_State().palette;
    if (!palette) {
        for (int i = 0; i < kPaletteColorCount; ++i) out[i] = ct_MakeEntry(ct_kDefaultColors[i], i);
        return;
    }
    if (palette->count != kPaletteCapacity) {
        memcpy(palette->entries + kPaletteColorCount, palette->entries, sizeof(PaletteEntry) * kPaletteColorCount);
        palette->count = kPaletteCapacity;
    }
    memcpy(out, palette->entries + kPaletteColorCount, sizeof(PaletteEntry) * kPaletteColorCount);
    RebuildPalette(window);
}

void SetEditedPaletteColor(int index, Color rgb, platform::Window* window) {
    ProgramPalette* palette = ct_State().palette;
    if (!palette || palette->count != kPaletteCapacity) return;
    if (index < kFixedColorCount || index >= kPaletteColorCount) return;
    palette->entries[index + kPaletteColorCount] = ct_MakeEntry(rgb, index);
    RebuildPalette(window);
}

void CancelPaletteEdit() {
    ProgramPalette* palette = ct_State().palette;
    if (!palette || palette->count != kPaletteCapacity) return;
    // Edits went to the copies only; entries 0-63 still hold the colours in
    // effect before the edit, so dropping the copies restores them.
    palette->count = kPaletteColorCount;
    RefreshPaletteRows();
    RebuildPalette(nullptr);
}

void ApplyPaletteEntries(const PaletteEntry entries[kPaletteColorCount]) {
    ProgramPalette* palette = ct_State().palette;
    if (!palette) return;
    for (int i = kFixedColorCount; i < kPaletteColorCount; ++i)
        palette->entries[i] = ct_MakeEntry(ct_EntryColor(entries[i]), i);
    palette->count = kPaletteColorCount;
    RefreshPaletteRows();
    RebuildPalette(nullptr);
}

// ---- the [Palettes] section ---------------------------------------------------------------

namespace {

// "PALETTE_<n>" (any case) with n 16..63 and a decimal colour; -1 otherwise.
int ct_ParsePaletteKey(const char* key) {
    static constexpr char kPrefix[] = "PALETTE_";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    if (CompareNoCaseN(key, kPrefix, kPrefixLength) != 0) return -1;
    const char* digits = key + kPrefixLength;
    if (!*digits || strlen(digits) > 3) return -1;
    for (const char* p = digits; *p; ++p)
        if (*p < '0' || *p > '9') return -1;
    int n = atoi(digits);
    return n >= kFixedColorCount && n < kPaletteColorCount ? n : -1;
}

bool ct_ParseColorValue(const char* value, Color* out) {
    if (!value || *value < '0' || *value > '9') return false;
    char* end = nullptr;
    unsigned long long n = strtoull(value, &end, 10);
    if (*end) return false;
    *out = static_cast<Color>(n & 0xFFFFFFu);
    return true;
}

}  // namespace

int SerializePalettes(SectionFile& file) {
    ProgramPalette* palette = ct_State().palette;
    if (file.IsWriting()) {
        char key[16];
        for (int i = 0; i < kPaletteColorCount; ++i) {
            // An edit in progress is not saved: the colours in effect are.
            Color c = palette ? ct_EntryColor(palette->entries[i]) : ct_kDefaultColors[i];
            FormatBounded(key, sizeof key, "PALETTE_%d", i);
            file.WriteIntKey(key, static_cast<int>(c));
        }
        return file.error;
    }
    char line[200];
    char key[100];
    char value[100];
    while (file.ReadEntry(line, sizeof line) == 1) {
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        int n = ct_ParsePaletteKey(key);
        Color c = 0;
        if (n < 0 || !palette || !ct_ParseColorValue(value, &c)) continue;
        palette->entries[n] = ct_MakeEntry(c, n);
    }
    RefreshPaletteRows();
    RebuildPalette(nullptr);
    return file.error;
}
