#include "core/properties.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/numbers.h"
#include "core/sectionfile.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int32_t kPropsV6 = 6 << 16;
constexpr int32_t kPropsV7 = 7 << 16;
constexpr int32_t kPropsV8 = 8 << 16;

}  // namespace

// A scratch file for one test: written through a SectionFile, then read back.
class PropsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        path_ = dir_.Path() + "/props.dat";
    }

    // Writes through `write` with the given target version; returns the file text.
    template <typename Write>
    std::string WriteFile(int32_t version, Write write) {
        SectionFile file;
        EXPECT_EQ(file.CreateText(path_.c_str()), 0);
        file.targetVersion = version;
        write(file);
        EXPECT_EQ(file.Close(), 0);
        return FileText();
    }

    std::string FileText() {
        std::string text;
        FILE* f = fopen(path_.c_str(), "rb");
        if (f == nullptr) return text;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        fclose(f);
        return text;
    }

    twtest::TempDir dir_{"tw_props"};
    std::string path_;
};

TEST(PropsValues, ColorValuesLandInThePaletteOrNone) {
    struct Case {
        const char* text;
        int color;
    };
    const Case cases[] = {
        {"63", 63},
        {"64", 0},
        {"200", 8},
        {"NONE", 74},
        {"none", 74},
        {"-5", 0},
        {"0", 0},
        {"Height=-12,FStyle=0,Color=5,Name=Arial", 5},
        {"height=-12,Color=NONE", 74},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseColorValue(c.text), c.color) << c.text;
}

TEST(PropsValues, TableValueRulesOfSmallCountsAndAll) {
    uint8_t count = 5;
    int32_t cases = 0;
    PropertyEntry table[] = {
        {"Count", 0, &count, kPropSmallCount},
        {"Cases", 0, &cases, kPropCountOrAll},
    };
    SectionFile file;
    struct Case {
        const char* key;
        const char* value;
        int expected;
    };
    const Case rows[] = {
        {"Count", "0", 1},           {"Count", "25", 20},         {"Count", "7", 7},   {"Count", "276", 20},
        {"Cases", "all", kCountAll}, {"Cases", "ALL", kCountAll}, {"Cases", "12", 12},
    };
    for (const Case& row : rows) {
        ASSERT_EQ(ReadProperty(file, table, 2, row.key, row.value), 1);
        int got = strcmp(row.key, "Count") == 0 ? count : cases;
        EXPECT_EQ(got, row.expected) << row.key << "=" << row.value;
    }
}

TEST(PropsValues, ReadPropertyMatchesKeysWithoutCase) {
    int32_t width = 0;
    int32_t height = 0;
    PropertyEntry table[] = {
        {"Width", 0, &width, kPropInt},
        {"Wrap", 0, &height, kPropComment},
        {"Height", 0, &height, kPropInt},
    };
    SectionFile file;
    EXPECT_EQ(ReadProperty(file, table, 3, "WIDTH", "12"), 1);
    EXPECT_EQ(ReadProperty(file, table, 3, "wIdTh", "13"), 1);
    EXPECT_EQ(width, 13);
    EXPECT_EQ(ReadProperty(file, table, 3, "HEIGHT", "4"), 1);
    EXPECT_EQ(height, 4);
    // Unknown keys and comment rows match nothing and change nothing.
    EXPECT_EQ(ReadProperty(file, table, 3, "DEPTH", "9"), 0);
    EXPECT_EQ(ReadProperty(file, table, 3, "WRAP", "9"), 0);
    EXPECT_EQ(height, 4);
    EXPECT_EQ(table[2].letter, 'H');
}

TEST(PropsValues, PlacementWithoutRectangleIsNotRestored) {
    WindowPlacement placement;
    ParseWindowPlacement("0,1, -1,-1, 5,6, 10,10,10,20", &placement);
    EXPECT_EQ(placement.length, 0);
    EXPECT_EQ(placement.maxX, 5);

    ParseWindowPlacement("2,3, -1,-2, 5,6, 10,11,300,400", &placement);
    EXPECT_EQ(placement.length, kPlacementLength);
    EXPECT_EQ(placement.flags, 2);
    EXPECT_EQ(placement.showCmd, 3);
    EXPECT_EQ(placement.minY, -2);
    EXPECT_EQ(placement.top, 11);
    EXPECT_EQ(placement.bottom, 400);
}

TEST(PropsValues, CommaFieldsAndRanges) {
    int32_t four[4] = {9, 9, 9, 9};
    ParseFourInts(" 1, -2,3", four);
    EXPECT_EQ(four[0], 1);
    EXPECT_EQ(four[1], -2);
    EXPECT_EQ(four[2], 3);
    EXPECT_EQ(four[3], 0);
    int32_t two[2] = {};
    ParseTwoInts("640,480", two);
    EXPECT_EQ(two[0], 640);
    EXPECT_EQ(two[1], 480);

    int32_t flag = 0;
    double values[4] = {};
    ParseRangeSpec("on,1e-3,2.5,-4,0", &flag, values);
    EXPECT_EQ(flag, 1);
    EXPECT_DOUBLE_EQ(values[0], 1e-3);
    EXPECT_DOUBLE_EQ(values[2], -4);
}

TEST(PropsNames, LinePatternsByVersion) {
    struct Case {
        int code;
        const char* v8;
        const char* v7;
    };
    const Case cases[] = {
        {0, nullptr, nullptr},
        {1, "Dash", "Dash"},
        {5, "DashDotDotDot", "DashDotDot"},
        {6, "Dash6", "Dash"},
        {7, "Dot6", "Dot"},
        {9, "DashDotDot6", "DashDotDot"},
        {10, "DashDotDotDot6", "DashDotDot"},
        {11, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const char* v8 = GetLineStyleName(c.code, kPropsV8);
        const char* v7 = GetLineStyleName(c.code, kPropsV7);
        EXPECT_STREQ(v8 ? v8 : "(null)", c.v8 ? c.v8 : "(null)") << c.code;
        EXPECT_STREQ(v7 ? v7 : "(null)", c.v7 ? c.v7 : "(null)") << c.code;
    }
    // The four older names compare without case, the newer ones exactly.
    int code = -1;
    EXPECT_TRUE(ParseLineStyle("dashdot", &code));
    EXPECT_EQ(code, 3);
    EXPECT_TRUE(ParseLineStyle("DashDotDot6", &code));
    EXPECT_EQ(code, 9);
    EXPECT_FALSE(ParseLineStyle("dash6", &code));
    EXPECT_FALSE(ParseLineStyle("Solid", &code));
    EXPECT_EQ(code, 9);
}

TEST(PropsNames, VocabulariesReadBackWhatTheyWrite) {
    for (int code = 0; code < 6; code++) {
        int back = -1;
        ASSERT_TRUE(ParseHatchStyle(GetHatchStyleName(code), &back));
        EXPECT_EQ(back, code);
    }
    int hatch = 10;
    EXPECT_TRUE(ParseHatchStyle("diagonal cross", &hatch));
    EXPECT_EQ(hatch, 5);
    EXPECT_EQ(GetHatchStyleName(10), nullptr);

    EXPECT_EQ(ParsePointStyle("open squares"), 2);
    EXPECT_EQ(ParsePointStyle("Triangles"), kPointFilledSquares);
    EXPECT_EQ(ParseCurveStyle("POPSICLE"), 1);
    EXPECT_EQ(ParseCurveStyle("Bars"), 0);
    EXPECT_EQ(ParseGridStyle("bold6"), 17424);
    EXPECT_EQ(ParseGridStyle("Dotted"), kGridNone);
    EXPECT_STREQ(GridStyleName(17425), "BoldUser");
    EXPECT_EQ(ParsePlotKind("smith"), 2);
    EXPECT_EQ(ParsePlotKind("Rect"), 0);
    EXPECT_EQ(ParseSlopeUnit("db/decade"), 2);
    EXPECT_EQ(ParseSpiceDialect("pspice"), 19602);
    EXPECT_EQ(ParseSpiceDialect("HSPICE"), 19605);
    EXPECT_EQ(SpiceDialectName(19605), nullptr);
    EXPECT_STREQ(SpiceDialectName(19604), "AMBIGUOUS");
}

TEST_F(PropsFileTest, ValuesThatWriteNothingOrOlderSpellings) {
    WindowPlacement emptyPlacement;
    emptyPlacement.length = kPlacementLength;  // valid record, but left == right
    int32_t off = 0;
    double zeros[4] = {0, 0, 0, 0};
    double someValues[4] = {0, 1.5, 0, 0};
    int32_t all = kCountAll;
    int32_t noDialect = 19605;
    int32_t filledSquares = 3;
    uint8_t solid = 0;
    RangeRef emptyRange = {&off, zeros};
    RangeRef usedRange = {&off, someValues};
    PropertyEntry table[] = {
        {"Placement", 0, &emptyPlacement, kPropPlacement},
        {"Empty", 0, &emptyRange, kPropRange},
        {"Used", 0, &usedRange, kPropRange},
        {"Cases", 0, &all, kPropCountOrAll},
        {"Dialect", 0, &noDialect, kPropDialect},
        {"DPS", 0, &filledSquares, kPropPointStyle},
        {"Pattern", 0, &solid, kPropPattern},
    };
    std::string v6 = WriteFile(kPropsV6, [&](SectionFile& f) { WriteProperties(f, table, 7); });
    EXPECT_EQ(v6, "Used=Off,0,1.5,0,0\r\nCases=0\r\n");
    std::string v8 = WriteFile(kPropsV8, [&](SectionFile& f) { WriteProperties(f, table, 7); });
    EXPECT_EQ(v8, "Used=Off,0,1.5,0,0\r\nCases=All\r\n");
}

TEST_F(PropsFileTest, TableWrittenAndReadBackKeepsEveryValue) {
    // Every kind of value with a non-default content.
    struct Values {
        uint8_t color8 = 74;
        int32_t color32 = 63;
        int32_t onOff = 1;
        WindowPlacement placement;
        int32_t yesNo = 1;
        FormatSpec format;
        double real = -1.25e-13;
        int32_t integer = -42;
        FontSpec font;
        CurveStyle curve;
        char* text = nullptr;
        int32_t trueFalse = 1;
        int32_t slope = 2;
        uint8_t small = 12;
        uint8_t pattern = 8;
        int32_t rect[4] = {1, -2, 300, 400};
        uint8_t byte = 200;
        int32_t rangeFlag = 1;
        double rangeValues[4] = {0.5, 1e6, -3, 7};
        RangeRef range = {&rangeFlag, rangeValues};
        std::string framework = "frame text";
        int32_t alignment = 1547;
        int32_t display = 1544;
        GraphicStyle graphic;
        int32_t dialect = 19603;
        int32_t pointStyle = 1;
        int32_t curveKind = 1;
        char* quoted = nullptr;
        uint16_t outputFlags = 0xA0;
        int32_t plotKind = 2;
        int32_t countAll = kCountAll;
    };
    auto makeTable = [](Values& v, PropertyEntry* table) {
        const PropertyEntry rows[] = {
            {"Color8", 0, &v.color8, kPropColor8},
            {"Color32", 0, &v.color32, kPropColor32},
            {"OnOff", 0, &v.onOff, kPropOnOff},
            {"Placement", 0, &v.placement, kPropPlacement},
            {"YesNo", 0, &v.yesNo, kPropYesNo},
            {"Format", 0, &v.format, kPropFormat},
            {"Real", 0, &v.real, kPropDouble},
            {"Integer", 0, &v.integer, kPropInt},
            {"A comment row", 0, nullptr, kPropComment},
            {"Font", 0, &v.font, kPropFont},
            {"Curve", 0, &v.curve, kPropCurveStyle},
            {"Text", 0, &v.text, kPropString},
            {"TrueFalse", 0, &v.trueFalse, kPropTrueFalse},
            {"Slope", 0, &v.slope, kPropSlopeUnit},
            {"Small", 0, &v.small, kPropSmallCount},
            {"Pattern", 0, &v.pattern, kPropPattern},
            {"Rect", 0, &v.rect, kPropRect},
            {"Byte", 0, &v.byte, kPropByte},
            {"Range", 0, &v.range, kPropRange},
            {"Framework", 0, &v.framework, kPropQuotedStd},
            {"Alignment", 0, &v.alignment, kPropAlignment},
            {"Display", 0, &v.display, kPropDisplay},
            {"Graphic", 0, &v.graphic, kPropGraphicAttr},
            {"Dialect", 0, &v.dialect, kPropDialect},
            {"PointStyle", 0, &v.pointStyle, kPropPointStyle},
            {"CurveKind", 0, &v.curveKind, kPropCurveKind},
            {"Quoted", 0, &v.quoted, kPropQuoted},
            {"OutputFlags", 0, &v.outputFlags, kPropOutputFlags},
            {"PlotKind", 0, &v.plotKind, kPropPlotKind},
            {"CountAll", 0, &v.countAll, kPropCountOrAll},
        };
        memcpy(table, rows, sizeof rows);
        return static_cast<int>(sizeof rows / sizeof rows[0]);
    };

    Values out;
    out.placement = {kPlacementLength, 2, 3, -1, -1, 0, 0, 10, 20, 810, 620};
    ParseFormatSpec(&out.format, "5E");
    out.font.height = -13;
    out.font.face = static_cast<uint16_t>(FindOrAddFontFace("Courier New"));
    out.font.style = 0x06;
    out.font.color = 74;  // no colour must survive the trip
    out.curve = {74, 12, 3, 7, 1, 0, 1};
    SetString(&out.text, "line with = sign");
    out.graphic = {3, 4, 12, 74, 2, 0};
    SetString(&out.quoted, "C:quoted text");

    PropertyEntry outTable[40];
    int count = makeTable(out, outTable);
    WriteFile(kPropsV8, [&](SectionFile& f) {
        SerializeSection(f, "Everything", outTable, count);
        f.WriteSectionHeader("Next");
    });

    Values in;
    in.color8 = 0;
    in.color32 = 0;
    in.onOff = 0;
    in.yesNo = 0;
    in.real = 0;
    in.integer = 0;
    in.trueFalse = 0;
    in.slope = 0;
    in.small = 1;
    in.pattern = 0;
    memset(in.rect, 0, sizeof in.rect);
    in.byte = 0;
    in.rangeFlag = 0;
    memset(in.rangeValues, 0, sizeof in.rangeValues);
    in.framework.clear();
    in.alignment = 0;
    in.display = 0;
    in.dialect = 19605;
    in.pointStyle = 3;
    in.curveKind = 0;
    in.outputFlags = 0x01;
    in.plotKind = 0;
    in.countAll = 0;
    PropertyEntry inTable[40];
    makeTable(in, inTable);

    SectionFile file;
    ASSERT_EQ(file.OpenText(path_.c_str()), 0);
    char header[100];
    ASSERT_EQ(file.ReadLine(header, sizeof header), 0);
    EXPECT_STREQ(header, "[Everything]");
    EXPECT_EQ(SerializeSection(file, "Everything", inTable, count), 0);
    EXPECT_STREQ(file.currentSection, "[Next]");
    file.Close();

    EXPECT_EQ(in.color8, 74);
    EXPECT_EQ(in.color32, 63);
    EXPECT_EQ(in.onOff, 1);
    EXPECT_EQ(memcmp(&in.placement, &out.placement, sizeof in.placement), 0);
    EXPECT_EQ(in.yesNo, 1);
    EXPECT_STREQ(in.format.text, "5E");
    EXPECT_EQ(in.real, out.real);
    EXPECT_EQ(in.integer, -42);
    EXPECT_FALSE(in.font.Differs(out.font));
    EXPECT_EQ(memcmp(&in.curve, &out.curve, sizeof in.curve), 0);
    EXPECT_STREQ(in.text, "line with = sign");
    EXPECT_EQ(in.trueFalse, 1);
    EXPECT_EQ(in.slope, 2);
    EXPECT_EQ(in.small, 12);
    EXPECT_EQ(in.pattern, 8);
    EXPECT_EQ(memcmp(in.rect, out.rect, sizeof in.rect), 0);
    EXPECT_EQ(in.byte, 200);
    EXPECT_EQ(in.rangeFlag, 1);
    EXPECT_EQ(memcmp(in.rangeValues, out.rangeValues, sizeof in.rangeValues), 0);
    EXPECT_EQ(in.framework, "frame text");
    EXPECT_EQ(in.alignment, 1547);
    EXPECT_EQ(in.display, 1544);
    EXPECT_EQ(memcmp(&in.graphic, &out.graphic, sizeof in.graphic), 0);
    EXPECT_EQ(in.dialect, 19603);
    EXPECT_EQ(in.pointStyle, 1);
    EXPECT_EQ(in.curveKind, 1);
    EXPECT_STREQ(in.quoted, "C:quoted text");
    EXPECT_EQ(in.outputFlags, 0xA0);
    EXPECT_EQ(in.plotKind, 2);
    EXPECT_EQ(in.countAll, kCountAll);

    FreeString(&out.text);
    FreeString(&out.quoted);
    FreeString(&in.text);
    FreeString(&in.quoted);
}

TEST_F(PropsFileTest, FontAndGraphicTexts) {
    FontSpec font;
    font.height = -16;
    font.face = static_cast<uint16_t>(FindOrAddFontFace("Arial"));
    font.style = 4;
    font.color = 9;
    FontSpec reference = font;
    reference.style = 0;
    reference.face = static_cast<uint16_t>(FindOrAddFontFace("Times New Roman"));
    GraphicStyle plain;
    std::string text = WriteFile(kPropsV8, [&](SectionFile& f) {
        WriteFontKey(f, "Font", font);
        WriteFontChanges(f, font, reference);
        WriteFontChanges(f, font, font);
        WriteGraphicAttrKey(f, "Plain", plain);
    });
    EXPECT_EQ(text,
              "Font=Height=-16,FStyle=4,Color=9,Name=Arial\r\n"
              "FStyle=4\r\nFont=Arial\r\n"
              "Plain\r\n");

    // A graphic attribute line without items gives the defaults.
    GraphicStyle parsed = {9, 9, 9, 9, 9, 0};
    ParseGraphicAttr("", &parsed);
    EXPECT_EQ(memcmp(&parsed, &plain, sizeof plain), 0);
}

TEST(PropsFonts, FaceTableFindsWithoutCaseAndCutsLongNames) {
    int arial = FindOrAddFontFace("Arial");
    EXPECT_EQ(FindOrAddFontFace("arial"), arial);
    // The face table lives as long as the process: a name no earlier run added.
    int count = FontFaceCount();
    std::string longName = "face" + std::to_string(count) + std::string(40, 'q');
    int cut = FindOrAddFontFace(longName.c_str());
    EXPECT_EQ(FontFaceCount(), count + 1);
    EXPECT_EQ(strlen(FontFaceName(cut)), 31u);
    EXPECT_EQ(FindOrAddFontFace(("FACE" + std::to_string(count) + std::string(35, 'Q')).c_str()), cut);
    EXPECT_STREQ(FontFaceName(-1), "");
    EXPECT_STREQ(FontFaceName(FontFaceCount()), "");

    int saved = DefaultFontHeight();
    SetDefaultFontHeight(-17);
    FontSpec font;
    font.color = 5;
    font.SetDefault();
    EXPECT_EQ(font.height, -17);
    EXPECT_EQ(font.face, arial);
    EXPECT_EQ(font.color, 0);
    FontSpec other;
    other.height = 3;
    other.color = 9;
    font.CopyFrom(other);
    EXPECT_EQ(font.height, 3);
    EXPECT_EQ(font.color, 0);
    EXPECT_TRUE(font.Differs(other));
    SetDefaultFontHeight(saved);
}
