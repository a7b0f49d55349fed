#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/memory.h"
#include "core/sectionfile.h"
#include "platform/app.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"
#include "tests/support/tempdir.h"

using platform::Color;
using platform::MakeColor;

namespace {

// A fresh palette and table for each test: the table is process-wide.
class ColorTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreeProgramPalette();
        ASSERT_EQ(CreateProgramPalette(), 1);
        InitColorTable();
        ASSERT_TRUE(dir_.Valid());
    }
    void TearDown() override {
        CancelPaletteEdit();
        FreeProgramPalette();
        CreateProgramPalette();
        InitColorTable();
    }
    std::string Path() const { return dir_.File("tarn.dat"); }

    void WriteText(const std::string& text) { std::ofstream(Path(), std::ios::binary) << text; }
    std::string ReadText() {
        std::ifstream in(Path(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int ReadPalettes() {
        SectionFile file;
        EXPECT_EQ(file.OpenText(Path().c_str()), 0);
        int result = SerializePalettes(file);
        file.Close();
        return result;
    }
    int WritePalettes() {
        SectionFile file;
        EXPECT_EQ(file.CreateText(Path().c_str()), 0);
        int result = SerializePalettes(file);
        file.Close();
        return result;
    }

    twtest::TempDir dir_{"ctab"};
};

TEST_F(ColorTableTest, RowsHoldTheDefaultColoursWithTheirPensAndBrushes) {
    struct Case {
        int row;
        Color rgb;
    };
    const Case cases[] = {
        {0, MakeColor(0, 0, 0)},           {1, MakeColor(0x80, 0, 0)},        {4, MakeColor(0, 0, 0x80)},
        {9, MakeColor(0xff, 0, 0)},        {12, MakeColor(0, 0, 0xff)},       {15, MakeColor(0xff, 0xff, 0xff)},
        {16, MakeColor(0x5a, 0x91, 0xab)}, {35, MakeColor(0xfe, 0x79, 0x00)}, {63, MakeColor(0x20, 0x20, 0x20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const ColorTableRow* row = GetColorRow(c.row);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->color, c.rgb);
        EXPECT_EQ(GetDefaultColor(c.row), c.rgb);
        EXPECT_EQ(row->pen, platform::PenDesc::Solid(c.rgb));
        EXPECT_EQ(row->brush, platform::BrushDesc::Solid(c.rgb));
        // Palette rows refer to their entry; their pens still draw its colour.
        EXPECT_EQ(row->paletteColor, c.row >= 16 ? PaletteIndexColor(c.row) : c.rgb);
        EXPECT_EQ(row->palettePen.color, c.rgb);
        EXPECT_EQ(row->paletteBrush.color, c.rgb);
    }
    const ProgramPalette* palette = GetProgramPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->count, 64);
    EXPECT_EQ(palette->entries[15].flags, 0);
    EXPECT_EQ(palette->entries[16].flags, kPaletteEntryReserved);
}

TEST_F(ColorTableTest, SystemRowsFollowTheThemeAndPairsStayApart) {
    platform::Application* app = platform::Application::Instance();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(GetColorRow(kRowWindow)->color, app->GetSystemColor(platform::SystemColor::Window));
    EXPECT_EQ(GetColorRow(kRowButtonShadow)->color, app->GetSystemColor(platform::SystemColor::ButtonShadow));
    EXPECT_EQ(GetColorRow(kRowButtonFace)->color, GetColorRow(kRowButtonFace2)->color);
    EXPECT_EQ(GetColorRow(kRowButtonText)->color, GetColorRow(kRowButtonText2)->color);
    EXPECT_NE(GetColorRow(kRowButtonFace), GetColorRow(kRowButtonFace2));
}

TEST_F(ColorTableTest, IndexesOutsideTheTableGiveNothingToDrawWith) {
    CDrawContext dc(nullptr);
    for (int index : {-1, kColorTableRows, kColorNone, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(GetColorRow(index), nullptr);
        EXPECT_EQ(dc.GetPenObject(index).style, platform::PenStyle::Null);
        EXPECT_EQ(dc.GetBrushObject(index).style, platform::BrushStyle::Null);
        EXPECT_EQ(dc.GetColorValue(index), MakeColor(0, 0, 0));
    }
    SetColorRow(kColorNone, MakeColor(1, 2, 3));  // ignored, no write past the table
    EXPECT_EQ(GetColorRow(kColorNone), nullptr);
}

TEST_F(ColorTableTest, FindNearestColorPrefersExactThenFewestDifferingBits) {
    struct Case {
        Color rgb;
        int row;
    };
    const Case cases[] = {
        {0x000001, 0},                      // one bit from black
        {MakeColor(0xff, 0xff, 0xff), 15},  // exact
        {MakeColor(0x80, 0x00, 0x80), 5},   // also entry 55: the first row wins
        {MakeColor(0xfe, 0x00, 0x00), 9},   // one bit from red
        {MakeColor(0x20, 0x20, 0x20), 63},
    };
    for (const Case& c : cases) EXPECT_EQ(FindNearestColor(c.rgb), c.row) << std::hex << c.rgb;
}

TEST_F(ColorTableTest, CancelledEditRestoresAndAppliedEditChangesRows) {
    PaletteEntry copies[kPaletteColorCount];
    BeginPaletteEdit(nullptr, copies);
    EXPECT_TRUE(IsPaletteBeingEdited());
    EXPECT_EQ(copies[20], GetProgramPalette()->entries[20]);

    Color red = MakeColor(255, 0, 0);
    SetEditedPaletteColor(20, red, nullptr);
    SetEditedPaletteColor(5, red, nullptr);     // fixed: ignored
    SetEditedPaletteColor(64, red, nullptr);    // beyond the entries: ignored
    EXPECT_EQ(GetPaletteColor(20, true), red);  // the page shows the copy
    EXPECT_EQ(GetPaletteColor(5, true), GetDefaultColor(5));
    EXPECT_EQ(GetPaletteColor(20, false), PaletteIndexColor(20));
    EXPECT_EQ(GetColorRow(20)->color, GetDefaultColor(20));  // drawings do not change yet

    CancelPaletteEdit();
    EXPECT_FALSE(IsPaletteBeingEdited());
    EXPECT_EQ(GetPaletteColor(20, true), GetDefaultColor(20));
    EXPECT_EQ(GetColorRow(20)->color, GetDefaultColor(20));

    BeginPaletteEdit(nullptr, copies);
    copies[20] = PaletteEntry{255, 0, 0, 0};
    copies[3] = PaletteEntry{1, 2, 3, 0};  // the fixed colours stay
    ApplyPaletteEntries(copies);
    EXPECT_FALSE(IsPaletteBeingEdited());
    EXPECT_EQ(GetColorRow(20)->color, red);
    EXPECT_EQ(GetColorRow(20)->pen.color, red);
    EXPECT_EQ(GetPaletteColor(3, true), GetDefaultColor(3));
}

TEST_F(ColorTableTest, SectionReadsOnlyTheUserEntries) {
    WriteText(
        "PALETTE_5=255\r\n"
        "PALETTE_20=255\r\n"
        "palette_21=65280\n"
        "PALETTE_22=abc\r\n"
        "PALETTE_64=255\r\n"
        "PALETTE_16x=255\r\n"
        "OTHER=1\r\n"
        "PALETTE_63=16777216\r\n"
        "[Next Section]\r\n"
        "PALETTE_30=255\r\n");
    EXPECT_EQ(ReadPalettes(), 0);
    struct Case {
        int entry;
        Color rgb;
    };
    const Case cases[] = {
        {5, GetDefaultColor(5)},   {20, MakeColor(255, 0, 0)}, {21, MakeColor(0, 255, 0)}, {22, GetDefaultColor(22)},
        {16, GetDefaultColor(16)}, {63, MakeColor(0, 0, 0)},   {30, GetDefaultColor(30)},  // after the next header
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(GetPaletteColor(c.entry, true), c.rgb);
        EXPECT_EQ(GetColorRow(c.entry)->color, c.rgb);
    }
}

TEST_F(ColorTableTest, SectionWritesEveryEntryAndReadsBack) {
    PaletteEntry entries[kPaletteColorCount];
    BeginPaletteEdit(nullptr, entries);
    entries[40] = PaletteEntry{1, 2, 3, 0};
    ApplyPaletteEntries(entries);
    ASSERT_EQ(WritePalettes(), 0);
    std::string text = ReadText();
    EXPECT_EQ(text.rfind("PALETTE_0=0\r\nPALETTE_1=128\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\nPALETTE_40=197121\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nPALETTE_63=2105376\r\n"), std::string::npos);

    FreeProgramPalette();
    CreateProgramPalette();
    EXPECT_EQ(GetPaletteColor(40, true), GetDefaultColor(40));
    EXPECT_EQ(ReadPalettes(), 0);
    EXPECT_EQ(GetPaletteColor(40, true), MakeColor(1, 2, 3));
    EXPECT_EQ(GetColorRow(40)->color, MakeColor(1, 2, 3));
}

TEST_F(ColorTableTest, NoMemoryForThePaletteLeavesNoneAndDefaultRows) {
    FreeProgramPalette();
    SetAllocFailureAfter(0);
    int made = CreateProgramPalette();
    SetAllocFailureAfter(-1);
    EXPECT_EQ(made, 0);
    EXPECT_EQ(GetProgramPalette(), nullptr);
    InitColorTable();
    EXPECT_EQ(GetColorRow(16)->color, GetDefaultColor(16));
    PaletteEntry entries[kPaletteColorCount];
    BeginPaletteEdit(nullptr, entries);  // nothing to edit, defaults handed out
    EXPECT_EQ(entries[16], (PaletteEntry{0x5a, 0x91, 0xab, kPaletteEntryReserved}));
    SetEditedPaletteColor(20, 0, nullptr);
    EXPECT_EQ(GetPaletteColor(20, true), GetDefaultColor(20));
}

}  // namespace
