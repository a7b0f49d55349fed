// Property tables and the text forms of structured setting values.
//
// The owner of a settings section describes its settings once as a table of
// PropertyEntry rows (key, variable, value kind); WriteProperties writes the whole
// table as key=value lines and ReadProperty applies one line read back to the row
// with that key. The parsers and writers of structured values (colours, fonts,
// line styles, ranges, window placements, graphic attributes) serve other
// sections too, and so do the name tables of styles, dialects and plot kinds.
#pragma once

#include <cstdint>

#include "core/fontspec.h"

class SectionFile;

// ---- value kinds -----------------------------------------------------------------

enum PropertyKind : int {
    kPropColor8 = 1,        // uint8_t colour index; "NONE" for 74
    kPropColor32 = 2,       // int32_t colour index (low byte written)
    kPropOnOff = 3,         // int32_t flag, "On"/"Off"
    kPropPlacement = 4,     // WindowPlacement
    kPropYesNo = 5,         // int32_t flag, "Yes"/"No"
    kPropFormat = 6,        // FormatSpec (core/numbers.h)
    kPropDouble = 7,        // double, "%.16g"
    kPropInt = 8,           // int32_t, "%d"
    kPropComment = 9,       // no variable: the line ";<key>"
    kPropFont = 10,         // FontSpec
    kPropCurveStyle = 11,   // CurveStyle
    kPropString = 12,       // char* heap string
    kPropTrueFalse = 13,    // int32_t flag, "True"/"False"
    kPropSlopeUnit = 14,    // int32_t 0-2, "Normal"/"dB/Octave"/"dB/Decade"
    kPropSmallCount = 15,   // uint8_t 1-20
    kPropPattern = 16,      // uint8_t line pattern code, by name
    kPropRect = 17,         // int32_t[4], "%d,%d,%d,%d"
    kPropByte = 18,         // uint8_t, "%d"
    kPropRange = 19,        // RangeRef
    kPropQuotedStd = 20,    // std::string, written in double quotes
    kPropAlignment = 21,    // int32_t command id 1545-1547, "Left"/"Center"/"Right"
    kPropDisplay = 22,      // int32_t command id 1543-1544, "Text"/"Number"
    kPropGraphicAttr = 23,  // GraphicStyle
    kPropDialect = 24,      // int32_t SPICE dialect id 19601-19605
    kPropPointStyle = 25,   // int32_t data-point style 0-3
    kPropCurveKind = 26,    // int32_t curve style 0-1 (-1 none)
    kPropQuoted = 27,       // char* heap string, written in double quotes
    kPropOutputFlags = 28,  // uint16_t, "OUTPUT,LINEARX,LINEARY"
    kPropPlotKind = 29,     // int32_t 0-2, "Rect"/"Polar"/"Smith"
    kPropCountOrAll = 30,   // int32_t; kCountAll written "All" (0 before 7.0)
};

// One row of a property table. Tables are arrays the reader may write to: it fills
// the cached first letters of all rows on first use (when row 0's is still 0).
struct PropertyEntry {
    const char* key;  // as written, mixed case
    char letter;      // the key's first letter upper-cased; 0 until first lookup
    void* value;      // the variable that holds the value
    int kind;         // PropertyKind; other kinds are neither written nor read
};

constexpr int kCountAll = -66;

// ---- records of structured values ------------------------------------------------------

// A window placement with the fields (and the 44-byte length mark) of the
// platform record it was modelled on. A placement is only meaningful when
// `length` is kPlacementLength.
struct WindowPlacement {
    int32_t length = 0;
    int32_t flags = 0;
    int32_t showCmd = 0;
    int32_t minX = 0, minY = 0;                        // minimised position
    int32_t maxX = 0, maxY = 0;                        // maximised position
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // normal rectangle
};
static_assert(sizeof(WindowPlacement) == 44);
constexpr int32_t kPlacementLength = 44;

// A value range: a flag and four values (kind 19 points at one of these).
struct RangeRef {
    int32_t* flag;
    double* values;  // four values
};

// One curve's line style in a plot.
struct CurveStyle {
    int32_t textColor = 0;
    int32_t lineColor = 0;
    int32_t lineWidth = 1;
    int32_t pattern = 0;  // line pattern code (low byte)
    int32_t rainbow = 0;
    int32_t pointStyle = 3;  // kPointFilledSquares
    int32_t curveStyle = 0;
};

// Line and fill style of a graphic object.
struct GraphicStyle {
    uint8_t width = 1;
    uint8_t pattern = 0;  // line pattern code, 0 solid
    uint8_t color = 74;   // line colour index, 74 none
    uint8_t fillColor = 74;
    uint8_t fillPattern = 10;  // hatch code 0-5, 10 solid / none
    uint8_t spare = 0;

    void SetDefaults() { *this = GraphicStyle(); }
    void Assign(const GraphicStyle& source);  // the five style bytes
};

constexpr int kColorNone = 74;

// ---- property tables -----------------------------------------------------------------

// Writes one line per row in table order. Returns the result of the last graphic
// attribute row written, otherwise 0; write failures stay in the stream.
int WriteProperties(SectionFile& file, PropertyEntry* table, int count);
// Applies one key=value to the first row whose key equals `key` without case.
// 1 when a row matched, 0 when none did.
int ReadProperty(SectionFile& file, PropertyEntry* table, int count, const char* key, const char* value);
// Writing: the header (when `section` is given) and the table; 0. Reading (the
// header has been read): applies every line up to the next header, which becomes
// the file's current section; the first read error or 0.
int SerializeSection(SectionFile& file, const char* section, PropertyEntry* table, int count);

// ---- structured values ---------------------------------------------------------------

// "NONE" (any case) 74; a font value ("Height=...") gives its colour; otherwise the
// number: negative 0, 64 or more modulo 64.
int ParseColorValue(const char* text);
void WriteColorKey(SectionFile& file, const char* key, int color);

// Takes "Height", "FStyle", "Color" and "Name" from a comma list; absent items
// leave their fields. With `stripQuotes` the name's double quotes are removed.
void ParseFontSpec(const char* text, FontSpec* font, bool stripQuotes);
void WriteFontKey(SectionFile& file, const char* key, const FontSpec& font);
// One line per part that differs from `reference`: "Height", "FStyle", "Color", "Font".
void WriteFontChanges(SectionFile& file, const FontSpec& font, const FontSpec& reference);

// Written only for a valid placement whose normal rectangle has left != right.
void WritePlacementKey(SectionFile& file, const char* key, const WindowPlacement& placement);
// Reads the ten fields; the length is set only when left != right.
void ParseWindowPlacement(const char* text, WindowPlacement* placement);

void ParseFourInts(const char* text, int32_t values[4]);
void ParseTwoInts(const char* text, int32_t values[2]);

void ParseRangeSpec(const char* text, int32_t* flag, double values[4]);
// Nothing when the flag is off and all four values are 0.
void WriteRangeKey(SectionFile& file, const char* key, int32_t flag, const double values[4]);

void ParseGraphicAttr(const char* text, GraphicStyle* style);
int WriteGraphicAttrKey(SectionFile& file, const char* key, const GraphicStyle& style);

void ParseLineStyleSpec(const char* text, CurveStyle* style);
void WriteCurveStyleKey(SectionFile& file, const char* key, const CurveStyle& style);

// ---- names -----------------------------------------------------------------------------

// Line patterns: 0 solid, 1 "Dash" ... 10 "DashDotDotDot6". ParseLineStyle gives
// false and leaves the code for an unknown name. GetLineStyleName gives null for
// solid and unknown codes; before version 8.0 only the four older names exist.
bool ParseLineStyle(const char* name, int* code);
const char* GetLineStyleName(int code, int32_t version);
void WritePatternKey(SectionFile& file, const char* key, int pattern);

// Hatch patterns 0-5 ("Horizontal" ... "Diagonal Cross"); 10 means no hatch.
bool ParseHatchStyle(const char* name, int* code);
const char* GetHatchStyleName(int code);

// Data-point styles of plots.
enum PointStyle : int {
    kPointOpenBubbles = 0,
    kPointFilledBubbles = 1,
    kPointOpenSquares = 2,
    kPointFilledSquares = 3
};
const char* PointStyleName(int style);
int ParsePointStyle(const char* name);  // 3 when none matches
void WritePointStyleKey(SectionFile& file, const char* key, int style);

// Curve styles: 0 "Normal", 1 "Popsicle".
const char* CurveStyleName(int style);
int ParseCurveStyle(const char* name);  // 1 for "Popsicle", else 0
void WriteCurveKindKey(SectionFile& file, const char* key, int style);

// Grid styles by command id: 17421 "None" ... 17425 "BoldUser".
constexpr int kGridNone = 17421;
const char* GridStyleName(int id);     // null for other ids
int ParseGridStyle(const char* name);  // 17421 for unknown names
void WriteGridStyleKey(SectionFile& file, const char* key, int id);

// Plot kinds: 0 "Rect", 1 "Polar", 2 "Smith".
const char* PlotKindName(int kind);   // null for other kinds
int ParsePlotKind(const char* name);  // 0 for unknown names
void WritePlotKindKey(SectionFile& file, const char* key, int kind);

// Slope units: 0 "Normal", 1 "dB/Octave", 2 "dB/Decade".
const char* SlopeUnitName(int unit);   // null out of range
int ParseSlopeUnit(const char* name);  // 0 when none matches

// SPICE dialects (the SpiceDialect ids of core/dialect.h): "SPICE2G", "PSPICE",
// "SPICE3", "AMBIGUOUS"; kSpiceDialectNone has no name.
const char* SpiceDialectName(int id);     // null for other ids
int ParseSpiceDialect(const char* name);  // kSpiceDialectNone for unknown names

// Output flags of kind 28.
constexpr uint16_t kOutputFlag = 0x20;
constexpr uint16_t kOutputLinearX = 0x40;
constexpr uint16_t kOutputLinearY = 0x80;
