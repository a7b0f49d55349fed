// Property values: every structured value parser on each line of the input, and
// a property table with one row of every kind read from the input as a section
// body and written back.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/numbers.h"
#include "core/properties.h"
#include "core/sectionfile.h"
#include "fuzz/fuzz_support.h"

namespace {

void pf_ParseEveryForm(const char* text) {
    ParseColorValue(text);
    FontSpec font;
    ParseFontSpec(text, &font, true);
    ParseFontSpec(text, &font, false);
    WindowPlacement placement;
    ParseWindowPlacement(text, &placement);
    int32_t four[4] = {};
    ParseFourInts(text, four);
    int32_t two[2] = {};
    ParseTwoInts(text, two);
    int32_t flag = 0;
    double range[4] = {};
    ParseRangeSpec(text, &flag, range);
    GraphicStyle graphic;
    ParseGraphicAttr(text, &graphic);
    CurveStyle curve;
    ParseLineStyleSpec(text, &curve);
    int code = 0;
    ParseLineStyle(text, &code);
    ParseHatchStyle(text, &code);
    ParsePointStyle(text);
    ParseCurveStyle(text);
    ParseGridStyle(text);
    ParsePlotKind(text);
    ParseSlopeUnit(text);
    ParseSpiceDialect(text);
}

struct pf_Values {
    uint8_t color8 = 0;
    int32_t color32 = 0, onOff = 0, yesNo = 0, integer = 0, trueFalse = 0, slope = 0;
    WindowPlacement placement;
    FormatSpec format;
    double number = 0;
    FontSpec font;
    CurveStyle curve;
    char* string = nullptr;
    uint8_t smallCount = 1, pattern = 0, byte = 0;
    int32_t rect[4] = {};
    int32_t rangeFlag = 0;
    double rangeValues[4] = {};
    RangeRef range{&rangeFlag, rangeValues};
    std::string quotedStd;
    int32_t alignment = 1545, display = 1543;
    GraphicStyle graphic;
    int32_t dialect = 19605, pointStyle = 3, curveKind = 0;
    char* quoted = nullptr;
    uint16_t outputFlags = 0;
    int32_t plotKind = 0, countOrAll = 0;

    ~pf_Values() {
        FreeString(&string);
        FreeString(&quoted);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::AsText(data, size);
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        pf_ParseEveryForm(text.substr(from, end - from).c_str());
        from = end + 1;
    }

    pf_Values v;
    PropertyEntry table[] = {
        {"Color8", 0, &v.color8, kPropColor8},
        {"Color32", 0, &v.color32, kPropColor32},
        {"OnOff", 0, &v.onOff, kPropOnOff},
        {"Placement", 0, &v.placement, kPropPlacement},
        {"YesNo", 0, &v.yesNo, kPropYesNo},
        {"Format", 0, &v.format, kPropFormat},
        {"Double", 0, &v.number, kPropDouble},
        {"Int", 0, &v.integer, kPropInt},
        {"Comment", 0, nullptr, kPropComment},
        {"Font", 0, &v.font, kPropFont},
        {"Curve", 0, &v.curve, kPropCurveStyle},
        {"String", 0, &v.string, kPropString},
        {"TrueFalse", 0, &v.trueFalse, kPropTrueFalse},
        {"Slope", 0, &v.slope, kPropSlopeUnit},
        {"SmallCount", 0, &v.smallCount, kPropSmallCount},
        {"Pattern", 0, &v.pattern, kPropPattern},
        {"Rect", 0, v.rect, kPropRect},
        {"Byte", 0, &v.byte, kPropByte},
        {"Range", 0, &v.range, kPropRange},
        {"QuotedStd", 0, &v.quotedStd, kPropQuotedStd},
        {"Alignment", 0, &v.alignment, kPropAlignment},
        {"Display", 0, &v.display, kPropDisplay},
        {"Graphic", 0, &v.graphic, kPropGraphicAttr},
        {"Dialect", 0, &v.dialect, kPropDialect},
        {"PointStyle", 0, &v.pointStyle, kPropPointStyle},
        {"CurveKind", 0, &v.curveKind, kPropCurveKind},
        {"Quoted", 0, &v.quoted, kPropQuoted},
        {"OutputFlags", 0, &v.outputFlags, kPropOutputFlags},
        {"PlotKind", 0, &v.plotKind, kPropPlotKind},
        {"CountOrAll", 0, &v.countOrAll, kPropCountOrAll},
    };
    const int count = static_cast<int>(sizeof table / sizeof table[0]);

    // The section body as the settings reader hands it over.
    {
        SectionFile in;
        char* bytes = static_cast<char*>(MemAlloc(size ? size : 1));
        if (!bytes) return 0;
        if (size) memcpy(bytes, data, size);
        in.AttachMemory(bytes, static_cast<long>(size), true);
        SerializeSection(in, nullptr, table, count);
        in.Close();
    }
    // What was read writes back.
    {
        SectionFile out;
        const std::string path = fuzz::ScratchDir() + "/properties.out";
        if (out.CreateText(path.c_str()) == 0) {
            SerializeSection(out, "Test", table, count);
            out.Close();
        }
    }
    return 0;
}
