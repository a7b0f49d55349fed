#include "core/properties.h"

#include <strings.h>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/chars.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "core/sectionfile.h"

namespace {

constexpr int32_t kPropVersion7 = 7 << 16;
constexpr int32_t kPropVersion8 = 8 << 16;
// Structured values are short; longer texts are cut before their fields are read.
constexpr size_t kPropFieldText = 300;

// A file whose writer set no target version is written in the current format,
// so that nothing is lost to the older spellings.
int32_t pr_TargetVersion(const SectionFile& file) {
    return file.targetVersion != 0 ? file.targetVersion : kPropVersion8;
}

char pr_UpperFirst(const char* text) { return text != nullptr ? UpperChar(text[0]) : 0; }

// A colour in a structured value: "NONE" for no colour, so that it reads back as 74
// and not as its remainder modulo 64.
void pr_FormatColor(char* out, size_t size, int color) {
    if (color == kColorNone)
        CopyTextBounded(out, "NONE", size);
    else
        FormatBounded(out, size, "%d", color);
}

// The value of an item of a comma list; false when the item is absent or empty.
bool pr_Item(const char* list, const char* key, char* out, size_t size) {
    FindValueOfKey(out, size, list, key);
    return out[0] != 0;
}

// Looks a name up in a table of names without case; -1 when absent.
int pr_FindName(const char* const* names, int count, const char* name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < count; i++) {
        if (strcasecmp(names[i], name) == 0) return i;
    }
    return -1;
}

const char* const kPropLinePatternNames[] = {
    nullptr, "Dash", "Dot",      "DashDot",     "DashDotDot",     "DashDotDotDot",
    "Dash6", "Dot6", "DashDot6", "DashDotDot6", "DashDotDotDot6",
};
const char* const kPropHatchNames[] = {
    "Horizontal", "Vertical", "F Diagonal", "B Diagonal", "Cross", "Diagonal Cross",
};
const char* const kPropPointStyleNames[] = {
    "Open Bubbles",
    "Filled Bubbles",
    "Open Squares",
    "Filled Squares",
};
const char* const kPropCurveStyleNames[] = {"Normal", "Popsicle"};
const char* const kPropGridStyleNames[] = {"None", "Normal", "Bold5", "Bold6", "BoldUser"};
const char* const kPropPlotKindNames[] = {"Rect", "Polar", "Smith"};
const char* const kPropSlopeUnitNames[] = {"Normal", "dB/Octave", "dB/Decade"};
const char* const kPropDialectNames[] = {"SPICE2G", "PSPICE", "SPICE3", "AMBIGUOUS"};

struct PropNamedId {
    const char* name;
    int id;
};
const PropNamedId kPropAlignments[] = {{"Left", 1545}, {"Center", 1546}, {"Right", 1547}};
const PropNamedId kPropDisplays[] = {{"Text", 1543}, {"Number", 1544}};
const PropNamedId kPropOutputFlagNames[] = {
    {"OUTPUT", kOutputFlag}, {"LINEARX", kOutputLinearX}, {"LINEARY", kOutputLinearY}};

template <size_t N>
const char* pr_NameOfId(const PropNamedId (&table)[N], int id) {
    for (const PropNamedId& row : table) {
        if (row.id == id) return row.name;
    }
    return nullptr;
}

template <size_t N>
int pr_IdOfName(const PropNamedId (&table)[N], const char* name) {
    for (const PropNamedId& row : table) {
        if (strcasecmp(row.name, name) == 0) return row.id;
    }
    return -1;
}

void pr_WriteOutputFlags(SectionFile& file, const char* key, uint16_t flags) {
    std::string list;
    for (const PropNamedId& row : kPropOutputFlagNames) {
        if ((flags & row.id) == 0) continue;
        if (!list.empty()) list += ',';
        list += row.name;
    }
    file.WriteKey(key, list.c_str());
}

uint16_t pr_ParseOutputFlags(const char* text) {
    char work[kPropFieldText];
    CopyTextBounded(work, text, sizeof work);
    uint16_t flags = 0;
    char* cursor = work;
    while (*cursor != 0) {
        char* field = NextCommaField(cursor);
        TrimSpaces(field);
        int id = pr_IdOfName(kPropOutputFlagNames, field);
        if (id > 0) flags = static_cast<uint16_t>(flags | id);
    }
    return flags;
}

void pr_WriteCountOrAll(SectionFile& file, const char* key, int32_t value) {
    if (value != kCountAll) {
        file.WriteIntKey(key, value);
        return;
    }
    // Versions before 7.0 know no "All": they read the count 0 instead.
    if (pr_TargetVersion(file) >= kPropVersion7)
        file.WriteKey(key, "All");
    else
        file.WriteIntKey(key, 0);
}

void pr_AssignFrameworkString(std::string* target, const char* value) {
    if (*value == '"') value++;
    target->assign(value);
    if (!target->empty() && target->back() == '"') target->pop_back();
}

int pr_WriteRow(SectionFile& file, const PropertyEntry& row, int* graphicResult) {
    const char* key = row.key;
    void* v = row.value;
    switch (row.kind) {
    case kPropColor8: WriteColorKey(file, key, *static_cast<uint8_t*>(v)); break;
    case kPropColor32: WriteColorKey(file, key, *static_cast<int32_t*>(v) & 0xFF); break;
    case kPropOnOff: file.WriteOnOffKey(key, *static_cast<int32_t*>(v) != 0); break;
    case kPropPlacement: WritePlacementKey(file, key, *static_cast<WindowPlacement*>(v)); break;
    case kPropYesNo: file.WriteYesNoKey(key, *static_cast<int32_t*>(v) != 0); break;
    case kPropFormat: file.WriteKey(key, static_cast<FormatSpec*>(v)->text); break;
    case kPropDouble: file.WriteDoubleKey(key, *static_cast<double*>(v)); break;
    case kPropInt: file.WriteIntKey(key, *static_cast<int32_t*>(v)); break;
    case kPropComment: file.WriteComment(key); break;
    case kPropFont: WriteFontKey(file, key, *static_cast<FontSpec*>(v)); break;
    case kPropCurveStyle: WriteCurveStyleKey(file, key, *static_cast<CurveStyle*>(v)); break;
    case kPropString: file.WriteKey(key, *static_cast<char**>(v)); break;
    case kPropTrueFalse: file.WriteBoolKey(key, *static_cast<int32_t*>(v) != 0); break;
    case kPropSlopeUnit: file.WriteKey(key, SlopeUnitName(*static_cast<int32_t*>(v))); break;
    case kPropSmallCount:
    case kPropByte: file.WriteIntKey(key, *static_cast<uint8_t*>(v)); break;
    case kPropPattern: WritePatternKey(file, key, *static_cast<uint8_t*>(v)); break;
    case kPropRect: {
        const int32_t* r = static_cast<int32_t*>(v);
        file.WriteRectKey(key, r[0], r[1], r[2], r[3]);
        break;
    }
    case kPropRange: {
        const RangeRef* range = static_cast<RangeRef*>(v);
        WriteRangeKey(file, key, *range->flag, range->values);
        break;
    }
    case kPropQuotedStd: file.WriteQuotedKey(key, static_cast<std::string*>(v)->c_str()); break;
    case kPropAlignment: file.WriteKey(key, pr_NameOfId(kPropAlignments, *static_cast<int32_t*>(v))); break;
    case kPropDisplay: file.WriteKey(key, pr_NameOfId(kPropDisplays, *static_cast<int32_t*>(v))); break;
    case kPropGraphicAttr: *graphicResult = WriteGraphicAttrKey(file, key, *static_cast<GraphicStyle*>(v)); break;
    case kPropDialect: {
        const char* name = SpiceDialectName(*static_cast<int32_t*>(v));
        if (name != nullptr) file.WriteKey(key, name);
        break;
    }
    case kPropPointStyle: WritePointStyleKey(file, key, *static_cast<int32_t*>(v)); break;
    case kPropCurveKind: WriteCurveKindKey(file, key, *static_cast<int32_t*>(v)); break;
    case kPropQuoted: file.WriteQuotedKey(key, *static_cast<char**>(v)); break;
    case kPropOutputFlags: pr_WriteOutputFlags(file, key, *static_cast<uint16_t*>(v)); break;
    case kPropPlotKind: WritePlotKindKey(file, key, *static_cast<int32_t*>(v)); break;
    case kPropCountOrAll: pr_WriteCountOrAll(file, key, *static_cast<int32_t*>(v)); break;
    default: break;
    }
    return 0;
}

void pr_ApplyValue(const PropertyEntry& row, const char* value) {
    void* v = row.value;
    switch (row.kind) {
    case kPropColor8: *static_cast<uint8_t*>(v) = static_cast<uint8_t>(ParseColorValue(value)); break;
    case kPropColor32: *static_cast<int32_t*>(v) = ParseColorValue(value); break;
    case kPropOnOff: *static_cast<int32_t*>(v) = IsOnText(value) ? 1 : 0; break;
    case kPropPlacement: ParseWindowPlacement(value, static_cast<WindowPlacement*>(v)); break;
    case kPropYesNo: *static_cast<int32_t*>(v) = IsYesText(value) ? 1 : 0; break;
    case kPropFormat: ParseFormatSpec(static_cast<FormatSpec*>(v), value); break;
    case kPropDouble: *static_cast<double*>(v) = atof(value); break;
    case kPropInt: *static_cast<int32_t*>(v) = atoi(value); break;
    case kPropFont: ParseFontSpec(value, static_cast<FontSpec*>(v), false); break;
    case kPropCurveStyle: ParseLineStyleSpec(value, static_cast<CurveStyle*>(v)); break;
    case kPropString: SetString(static_cast<char**>(v), value); break;
    case kPropTrueFalse: *static_cast<int32_t*>(v) = IsTrueText(value) ? 1 : 0; break;
    case kPropSlopeUnit: *static_cast<int32_t*>(v) = ParseSlopeUnit(value); break;
    case kPropSmallCount: {
        uint8_t count = static_cast<uint8_t>(atoi(value));
        if (count == 0)
            count = 1;
        else if (count > 20)
            count = 20;
        *static_cast<uint8_t*>(v) = count;
        break;
    }
    case kPropPattern: {
        // A name that is no line pattern (only from a hand-edited file) leaves the
        // pattern as it was.
        int code = 0;
        if (ParseLineStyle(value, &code)) *static_cast<uint8_t*>(v) = static_cast<uint8_t>(code);
        break;
    }
    case kPropRect: ParseFourInts(value, static_cast<int32_t*>(v)); break;
    case kPropByte: *static_cast<uint8_t*>(v) = static_cast<uint8_t>(atoi(value)); break;
    case kPropRange: {
        const RangeRef* range = static_cast<RangeRef*>(v);
        ParseRangeSpec(value, range->flag, range->values);
        break;
    }
    case kPropQuotedStd: pr_AssignFrameworkString(static_cast<std::string*>(v), value); break;
    case kPropAlignment:
    case kPropDisplay: {
        int id = row.kind == kPropAlignment ? pr_IdOfName(kPropAlignments, value) : pr_IdOfName(kPropDisplays, value);
        if (id > 0) *static_cast<int32_t*>(v) = id;
        break;
    }
    case kPropGraphicAttr: ParseGraphicAttr(value, static_cast<GraphicStyle*>(v)); break;
    case kPropDialect: {
        int id = ParseSpiceDialect(value);
        if (id != kSpiceDialectNone) *static_cast<int32_t*>(v) = id;
        break;
    }
    case kPropPointStyle: *static_cast<int32_t*>(v) = ParsePointStyle(value); break;
    case kPropCurveKind: *static_cast<int32_t*>(v) = ParseCurveStyle(value); break;
    case kPropQuoted: {
        char** field = static_cast<char**>(v);
        if (SetString(field, value) != nullptr && !IsSharedEmpty(*field)) StripQuotes(*field);
        break;
    }
    case kPropOutputFlags: *static_cast<uint16_t*>(v) = pr_ParseOutputFlags(value); break;
    case kPropPlotKind: *static_cast<int32_t*>(v) = ParsePlotKind(value); break;
    case kPropCountOrAll: *static_cast<int32_t*>(v) = strcasecmp(value, "ALL") == 0 ? kCountAll : atoi(value); break;
    default: break;
    }
}

}  // namespace

void GraphicStyle::Assign(const GraphicStyle& source) {
    width = source.width;
    pattern = source.pattern;
    color = source.color;
    fillColor = source.fillColor;
    fillPattern = source.fillPattern;
}

// ---- property tables -----------------------------------------------------------------

int WriteProperties(SectionFile& file, PropertyEntry* table, int count) {
    int result = 0;
    for (int i = 0; i < count; i++) pr_WriteRow(file, table[i], &result);
    return result;
}

int ReadProperty(SectionFile& file, PropertyEntry* table, int count, const char* key, const char* value) {
    (void)file;
    if (count <= 0 || key == nullptr || key[0] == 0) return 0;
    if (table[0].letter == 0) {
        for (int i = 0; i < count; i++) table[i].letter = pr_UpperFirst(table[i].key);
    }
    char letter = UpperChar(key[0]);
    for (int i = 0; i < count; i++) {
        const PropertyEntry& row = table[i];
        if (row.letter != letter || row.kind < kPropColor8 || row.kind > kPropCountOrAll || row.kind == kPropComment ||
            strcasecmp(row.key, key) != 0)
            continue;
        pr_ApplyValue(row, value != nullptr ? value : "");
        return 1;
    }
    return 0;
}

int SerializeSection(SectionFile& file, const char* section, PropertyEntry* table, int count) {
    if (file.IsWriting()) {
        if (section != nullptr) file.WriteSectionHeader(section);
        WriteProperties(file, table, count);
        return 0;
    }
    char* key = nullptr;
    char* value = nullptr;
    while (file.ReadKeyLine(key, value)) ReadProperty(file, table, count, key, value);
    return file.error;
}

// ---- structured values ---------------------------------------------------------------

int ParseColorValue(const char* text) {
    if (text == nullptr) return 0;
    while (*text == ' ' || *text == '\t') text++;
    if (strncasecmp(text, "NONE", 4) == 0) return kColorNone;
    if (strncasecmp(text, "Height", 6) == 0) {
        FontSpec font;
        ParseFontSpec(text, &font, false);
        return font.color;
    }
    int color = atoi(text);
    if (color < 0) return 0;
    return color % 64;
}

void WriteColorKey(SectionFile& file, const char* key, int color) {
    char text[16];
    pr_FormatColor(text, sizeof text, color);
    file.WriteKey(key, text);
}

void ParseFontSpec(const char* text, FontSpec* font, bool stripQuotes) {
    if (text == nullptr) return;
    char value[kPropFieldText];
    if (pr_Item(text, "Height", value, sizeof value)) font->height = static_cast<int16_t>(atoi(value));
    if (pr_Item(text, "FStyle", value, sizeof value)) font->style = static_cast<uint8_t>(atoi(value));
    if (pr_Item(text, "Color", value, sizeof value)) font->color = static_cast<uint8_t>(ParseColorValue(value));
    if (pr_Item(text, "Name", value, sizeof value)) {
        if (stripQuotes) StripQuotes(value);
        font->face = static_cast<uint16_t>(FindOrAddFontFace(value));
    }
}

void WriteFontKey(SectionFile& file, const char* key, const FontSpec& font) {
    char color[16];
    pr_FormatColor(color, sizeof color, font.color);
    char text[kPropFieldText];
    FormatBounded(text, sizeof text, "Height=%d,FStyle=%d,Color=%s,Name=%s", font.height, font.style, color,
                  FontFaceName(font.face));
    file.WriteKey(key, text);
}

void WriteFontChanges(SectionFile& file, const FontSpec& font, const FontSpec& reference) {
    if (!font.Differs(reference)) return;
    if (font.height != reference.height) file.WriteIntKey("Height", font.height);
    if (font.style != reference.style) file.WriteIntKey("FStyle", font.style);
    if (font.color != reference.color) WriteColorKey(file, "Color", font.color);
    if (font.face != reference.face) file.WriteKey("Font", FontFaceName(font.face));
}

void WritePlacementKey(SectionFile& file, const char* key, const WindowPlacement& placement) {
    if (placement.length != kPlacementLength || placement.left == placement.right) return;
    char text[kPropFieldText];
    FormatBounded(text, sizeof text, "%d,%d, %d,%d, %d,%d, %d,%d,%d,%d", placement.flags, placement.showCmd,
                  placement.minX, placement.minY, placement.maxX, placement.maxY, placement.left, placement.top,
                  placement.right, placement.bottom);
    file.WriteKey(key, text);
}

void ParseWindowPlacement(const char* text, WindowPlacement* placement) {
    *placement = WindowPlacement();
    char work[kPropFieldText];
    CopyTextBounded(work, text != nullptr ? text : "", sizeof work);
    int32_t* fields[] = {&placement->flags, &placement->showCmd, &placement->minX, &placement->minY,
                         &placement->maxX,  &placement->maxY,    &placement->left, &placement->top,
                         &placement->right, &placement->bottom};
    char* cursor = work;
    for (int32_t* field : fields) *field = atoi(NextCommaField(cursor));
    if (placement->left != placement->right) placement->length = kPlacementLength;
}

void ParseFourInts(const char* text, int32_t values[4]) {
    char work[kPropFieldText];
    CopyTextBounded(work, text != nullptr ? text : "", sizeof work);
    char* cursor = work;
    for (int i = 0; i < 4; i++) values[i] = atoi(NextCommaField(cursor));
}

void ParseTwoInts(const char* text, int32_t values[2]) {
    char work[kPropFieldText];
    CopyTextBounded(work, text != nullptr ? text : "", sizeof work);
    char* cursor = work;
    for (int i = 0; i < 2; i++) values[i] = atoi(NextCommaField(cursor));
}

void ParseRangeSpec(const char* text, int32_t* flag, double values[4]) {
    char work[kPropFieldText];
    CopyTextBounded(work, text != nullptr ? text : "", sizeof work);
    char* cursor = work;
    *flag = IsOnText(NextCommaField(cursor)) ? 1 : 0;
    for (int i = 0; i < 4; i++) values[i] = atof(NextCommaField(cursor));
}

void WriteRangeKey(SectionFile& file, const char* key, int32_t flag, const double values[4]) {
    if (flag == 0 && values[0] == 0 && values[1] == 0 && values[2] == 0 && values[3] == 0) return;
    char text[kPropFieldText];
    FormatBounded(text, sizeof text, "%s,%.16g,%.16g,%.16g,%.16g", flag ? "On" : "Off", values[0], values[1], values[2],
                  values[3]);
    file.WriteKey(key, text);
}

void ParseGraphicAttr(const char* text, GraphicStyle* style) {
    if (text == nullptr) text = "";
    char value[kPropFieldText];
    style->color =
        pr_Item(text, "Color", value, sizeof value) ? static_cast<uint8_t>(ParseColorValue(value)) : kColorNone;
    style->fillColor =
        pr_Item(text, "Fill", value, sizeof value) ? static_cast<uint8_t>(ParseColorValue(value)) : kColorNone;
    style->width = pr_Item(text, "Width", value, sizeof value) ? static_cast<uint8_t>(atoi(value)) : 1;
    int code = 0;
    if (pr_Item(text, "Pattern", value, sizeof value)) ParseLineStyle(value, &code);
    style->pattern = static_cast<uint8_t>(code);
    code = 10;
    if (pr_Item(text, "FillPattern", value, sizeof value)) ParseHatchStyle(value, &code);
    style->fillPattern = static_cast<uint8_t>(code);
}

int WriteGraphicAttrKey(SectionFile& file, const char* key, const GraphicStyle& style) {
    std::string list;
    auto add = [&list](const char* item) {
        if (!list.empty()) list += ',';
        list += item;
    };
    char item[64];
    if (style.color != kColorNone) {
        FormatBounded(item, sizeof item, "Color=%d", style.color);
        add(item);
    }
    if (style.fillColor != kColorNone) {
        FormatBounded(item, sizeof item, "Fill=%d", style.fillColor);
        add(item);
    }
    if (style.width > 1) {
        FormatBounded(item, sizeof item, "Width=%d", style.width);
        add(item);
    }
    if (const char* name = GetLineStyleName(style.pattern, pr_TargetVersion(file))) {
        FormatBounded(item, sizeof item, "Pattern=%s", name);
        add(item);
    }
    if (const char* name = GetHatchStyleName(style.fillPattern)) {
        FormatBounded(item, sizeof item, "FillPattern=%s", name);
        add(item);
    }
    return file.WriteKey(key, list.c_str());
}

void ParseLineStyleSpec(const char* text, CurveStyle* style) {
    if (text == nullptr) return;
    char value[kPropFieldText];
    if (pr_Item(text, "Line", value, sizeof value)) style->lineColor = ParseColorValue(value);
    if (pr_Item(text, "Text", value, sizeof value)) style->textColor = ParseColorValue(value);
    if (pr_Item(text, "LineWidth", value, sizeof value)) style->lineWidth = atoi(value);
    if (pr_Item(text, "LinePattern", value, sizeof value)) {
        int code = style->pattern & 0xFF;
        if (ParseLineStyle(value, &code)) style->pattern = (style->pattern & ~0xFF) | code;
    }
    if (pr_Item(text, "Rainbow", value, sizeof value)) style->rainbow = IsYesText(value) ? 1 : 0;
    if (pr_Item(text, "DPS", value, sizeof value)) style->pointStyle = ParsePointStyle(value);
    if (pr_Item(text, "CS", value, sizeof value)) style->curveStyle = ParseCurveStyle(value);
}

void WriteCurveStyleKey(SectionFile& file, const char* key, const CurveStyle& style) {
    char line[16];
    char text[16];
    pr_FormatColor(line, sizeof line, style.lineColor);
    pr_FormatColor(text, sizeof text, style.textColor);
    std::string list = "Line=";
    list += line;
    list += ",Text=";
    list += text;
    char item[64];
    if (style.lineWidth > 1) {
        FormatBounded(item, sizeof item, ",LineWidth=%d", style.lineWidth);
        list += item;
    }
    if (const char* name = GetLineStyleName(style.pattern & 0xFF, pr_TargetVersion(file))) {
        list += ",LinePattern=";
        list += name;
    }
    if (style.rainbow != 0) list += ",Rainbow=Yes";
    if (style.pointStyle != kPointFilledSquares) {
        if (const char* name = PointStyleName(style.pointStyle)) {
            list += ",DPS=";
            list += name;
        }
    }
    if (style.curveStyle != 0 && style.curveStyle != -1) {
        if (const char* name = CurveStyleName(style.curveStyle)) {
            list += ",CS=";
            list += name;
        }
    }
    file.WriteKey(key, list.c_str());
}

// ---- names -----------------------------------------------------------------------------

bool ParseLineStyle(const char* name, int* code) {
    if (name == nullptr) return false;
    // The four older names compare without case; the newer ones exactly.
    for (int i = 1; i <= 10; i++) {
        bool equal =
            i <= 4 ? strcasecmp(name, kPropLinePatternNames[i]) == 0 : strcmp(name, kPropLinePatternNames[i]) == 0;
        if (equal) {
            *code = i;
            return true;
        }
    }
    return false;
}

const char* GetLineStyleName(int code, int32_t version) {
    if (code < 1 || code > 10) return nullptr;
    if (version >= kPropVersion8) return kPropLinePatternNames[code];
    // Older files know four patterns only.
    static const int kOlder[] = {0, 1, 2, 3, 4, 4, 1, 2, 3, 4, 4};
    return kPropLinePatternNames[kOlder[code]];
}

void WritePatternKey(SectionFile& file, const char* key, int pattern) {
    if (const char* name = GetLineStyleName(pattern, pr_TargetVersion(file))) file.WriteKey(key, name);
}

bool ParseHatchStyle(const char* name, int* code) {
    int index = pr_FindName(kPropHatchNames, 6, name);
    if (index < 0) return false;
    *code = index;
    return true;
}

const char* GetHatchStyleName(int code) { return code >= 0 && code < 6 ? kPropHatchNames[code] : nullptr; }

const char* PointStyleName(int style) { return style >= 0 && style < 4 ? kPropPointStyleNames[style] : nullptr; }

int ParsePointStyle(const char* name) {
    int index = pr_FindName(kPropPointStyleNames, 4, name);
    return index < 0 ? kPointFilledSquares : index;
}

void WritePointStyleKey(SectionFile& file, const char* key, int style) {
    if (style >= 0 && style < kPointFilledSquares) file.WriteKey(key, kPropPointStyleNames[style]);
}

const char* CurveStyleName(int style) { return style >= 0 && style < 2 ? kPropCurveStyleNames[style] : nullptr; }

int ParseCurveStyle(const char* name) { return name != nullptr && strcasecmp(name, "Popsicle") == 0 ? 1 : 0; }

void WriteCurveKindKey(SectionFile& file, const char* key, int style) {
    if (const char* name = CurveStyleName(style)) file.WriteKey(key, name);
}

const char* GridStyleName(int id) {
    int index = id - kGridNone;
    return index >= 0 && index < 5 ? kPropGridStyleNames[index] : nullptr;
}

int ParseGridStyle(const char* name) {
    int index = pr_FindName(kPropGridStyleNames, 5, name);
    return kGridNone + (index < 0 ? 0 : index);
}

void WriteGridStyleKey(SectionFile& file, const char* key, int id) { file.WriteKey(key, GridStyleName(id)); }

const char* PlotKindName(int kind) { return kind >= 0 && kind < 3 ? kPropPlotKindNames[kind] : nullptr; }

int ParsePlotKind(const char* name) {
    if (name == nullptr) return 0;
    if (strcasecmp(name, "POLAR") == 0) return 1;
    if (strcasecmp(name, "SMITH") == 0) return 2;
    return 0;
}

void WritePlotKindKey(SectionFile& file, const char* key, int kind) { file.WriteKey(key, PlotKindName(kind)); }

const char* SlopeUnitName(int unit) { return unit >= 0 && unit < 3 ? kPropSlopeUnitNames[unit] : nullptr; }

int ParseSlopeUnit(const char* name) {
    int index = pr_FindName(kPropSlopeUnitNames, 3, name);
    return index < 0 ? 0 : index;
}

const char* SpiceDialectName(int id) {
    int index = id - kSpiceDialect2G;
    return index >= 0 && index < 4 ? kPropDialectNames[index] : nullptr;
}

int ParseSpiceDialect(const char* name) {
    int index = pr_FindName(kPropDialectNames, 4, name);
    return index < 0 ? kSpiceDialectNone : kSpiceDialect2G + index;
}
