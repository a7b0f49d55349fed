// Tests of the preference values: the full and the group resets, the copies of
// plot defaults, and the [Preferences] section of tarn.dat (row order, a file
// that reads back to the same values, the keys of older files).
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/fontspec.h"
#include "core/memory.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/startup_registry.h"
#include "shell/app.h"
#include "shell/preferences.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int32_t kPrefTestVersion8 = 8 << 16;
constexpr int32_t kPrefTestVersion7 = 7 << 16;

std::string prefs_ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> prefs_Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string prefs_Key(const std::string& line) { return line.substr(0, line.find('=')); }

bool prefs_SameFont(const FontSpec& a, const FontSpec& b) { return !a.Differs(b); }

// A screen of 144 dpi whose message font is 12 points: the default point size is
// 8 and a point is two pixels.
class PrefsFontMetrics final : public FontMetricsPort {
public:
    int SystemFontHeight() override { return 12; }
    int PointsToLogicalHeight(int points) override { return -2 * points; }
};

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        savedHeight_ = DefaultFontHeight();
        InstallFontMetrics(&fontMetrics_);
        savedSteps_ = StartupSteps();
        StartupSteps().Clear();
        SetDefaultFontHeight(-16);
        arial_ = FindOrAddFontFace("Arial");
        courier_ = FindOrAddFontFace("Courier New");
        times_ = FindOrAddFontFace("Times New Roman");
        ResetToLoadState();
    }

    void TearDown() override {
        InstallFontMetrics(nullptr);
        StartupSteps() = savedSteps_;
        ResetSettingsSections();
        SetDefaultFontHeight(savedHeight_);
        // Back to the values of a fresh process, start-up-only ones included.
        ResetToLoadState();
        FreeString(&Startup().settingsPath);
    }

    // The values as start-up has them before tarn.dat is read.
    void ResetToLoadState() {
        ResetAllPreferences();
        Preferences& p = Prefs();
        p.statusBarVisible = 0;
        p.mainWindowPlacement = WindowPlacement();
        p.spiceType = kSpiceDialectAmbiguous;
        for (int32_t& color : p.customColors) color = 0;
        // What only start-up sets, no reset.
        p.autoSave = 0;
        p.autoSaveEvery = 0;
        p.autoSaveMinutes = 10;
        p.statusBarShowTime = 0;
        p.statusBarTrack = 1;
        p.attStatusBar = 1;
        p.alignCursors = 0;
        p.alignZ = 1;
        Startup().statusBarAtStart = true;
    }

    std::string Path(const char* name) const { return dir_.Path() + "/" + name; }

    // The section as written now (header included).
    std::string WriteSection() {
        std::string path = Path("write.dat");
        SectionFile file;
        EXPECT_EQ(file.CreateText(path.c_str()), 0);
        file.targetVersion = kPrefTestVersion8;
        file.WriteSectionHeader("Preferences");
        EXPECT_EQ(SerializePreferences(file), 0);
        EXPECT_EQ(file.Close(), 0);
        return prefs_ReadFile(path);
    }

    // Reads a [Preferences] section of these lines from a file of that version.
    void ReadSection(const std::string& lines, int32_t version = kPrefTestVersion8) {
        std::string path = Path("read.dat");
        std::ofstream(path, std::ios::binary) << "[Preferences]\r\n" << lines;
        SectionFile file;
        ASSERT_EQ(file.OpenText(path.c_str()), 0);
        EXPECT_EQ(file.ReadLongEntry(), 0);  // the header
        file.targetVersion = version;
        EXPECT_EQ(SerializePreferences(file), 0);
        file.Close();
    }

    twtest::TempDir dir_{"tw_prefs"};
    PrefsFontMetrics fontMetrics_;
    StartupRegistry savedSteps_;
    int savedHeight_ = 0;
    int arial_ = 0, courier_ = 0, times_ = 0;
};

// Every value the section writes, moved off its default.
void prefs_Scramble(int timesFace) {
    Preferences& p = Prefs();
    p.mainWindowPlacement = WindowPlacement{kPlacementLength, 0, 3, -1, -1, -8, -8, 10, 20, 800, 600};
    // clang-format off
    int32_t* flags[] = {
        &p.floatingNodesCheck, &p.nodeSnap, &p.selectMode, &p.inertialCancellation, &p.sound,
        &p.printBackground, &p.timeStamp, &p.dateStamp, &p.rubberBanding, &p.textIncrement,
        &p.componentCursor, &p.componentMenuShapeDisplay, &p.showModelPage,
        &p.addParenthesesToDefine, &p.autoSave, &p.autoSaveEvery, &p.useBitmapsInMenus,
        &p.statusBarShowTime, &p.statusBarTrack, &p.attStatusBar, &p.addDcPathToGround,
        &p.checkDcPathToGround, &p.gminStepping, &p.showSlider, &p.blockSelectFlag,
        &p.nodeHighlight, &p.addOpampPowerSupplies, &p.analysisProgressBar, &p.analysisOnTop,
        &p.alignCursors, &p.alignZ, &p.selectCurveColor, &p.convergenceAssist,
        &p.statusBarVisible, &p.quitWarning, &p.fileWarning, &p.revertWarning,
        &p.acSignalWarning, &p.opampPowerWarning, &p.dcPathWarning, &p.timeRangeWarning,
        &p.dataPointsWarning, &p.objectDefaults.applyBorderToText,
        &p.objectDefaults.applyFillToText, &p.analysisFft.IncludeDC, &p.fftWindowFft.IncludeDC};
    // clang-format on
    for (int32_t* flag : flags) *flag = !*flag;
    for (int32_t& flag : p.numericOutput) flag = 0;
    p.autoSaveMinutes = 25;
    p.warningTime = 7.5;
    p.gridUser = 7;
    p.nodeRecalc = 5000;
    p.spiceType = 19602;
    p.patchColor = 4;
    for (int n = 0; n < kCustomColorCount; n++)
        p.customColors[n] = 0x10000 * n + 0x123 + n;  // far above the palette's 63
    p.slope2D = 2;
    p.slope3D = 1;
    p.objectDefaults.style = GraphicStyle{3, 4, 20, 30, 2, 0};
    p.objectDefaults.font = FontSpec{-20, static_cast<uint16_t>(timesFace), 4, 33};

    FormatSpec* formats[] = {&p.tagFormat,   &p.nodeVoltageFormat, &p.operatingPointFormat, &p.optimizeFormat,
                             &p.watchFormat, &p.pathDelayFormat,   &p.calculatorFormat,     &p.formulaFormat};
    int digits = 4;
    for (FormatSpec* format : formats) ParseFormatSpec(format, std::to_string(digits++).c_str());
    for (int i = 0; i < 3; i++) {
        ParseFormatSpec(&p.scaleFormat3D[i], std::to_string(5 + i).append("e").c_str());
        ParseFormatSpec(&p.valueFormat3D[i], std::to_string(8 + i).append("f").c_str());
    }

    int shift = 0;
    for (PlotDefaults* plot : {&p.analysisPlot, &p.performancePlot, &p.fftPlot}) {
        plot->sameYScales = 0;
        plot->enableXScaling = 0;
        plot->enableYScaling = 0;
        plot->keepXScalesSame = 1;
        plot->staticGrids = 1;
        plot->gridCountX = 7 + shift;
        plot->gridCountY = 9 + shift;
        ParseFormatSpec(&plot->scaleFormatX, "4e");
        ParseFormatSpec(&plot->scaleFormatY, "5f");
        ParseFormatSpec(&plot->valueFormatX, "6g");
        ParseFormatSpec(&plot->valueFormatY, "7");
        SetString(&plot->scaleFactorX, "m");
        SetString(&plot->scaleFactorY, "k");
        SetString(&plot->scaleUnitX, "V");
        SetString(&plot->scaleUnitY, "A");
        FontSpec* fonts[] = {&plot->windowBackground, &plot->select,    &plot->text, &plot->selectBox, &plot->grid,
                             &plot->graphBackground,  &plot->trackColor};
        uint8_t color = static_cast<uint8_t>(20 + shift);
        for (FontSpec* font : fonts) *font = FontSpec{-11, static_cast<uint16_t>(timesFace), 2, color++};
        plot->trackBackground = static_cast<uint8_t>(40 + shift);
        plot->baselineColor = static_cast<uint8_t>(41 + shift);
        plot->gridWeight = static_cast<uint8_t>(4 + shift);
        plot->gridPattern = static_cast<uint8_t>(3 + shift);
        for (int i = 0; i < 10; i++) {
            CurveStyle& curve = plot->waveforms[i];
            curve.lineColor = 30 + i;
            curve.textColor = 50 + i;
            curve.lineWidth = 2;
            curve.pattern = 5;
            curve.rainbow = 1;
            curve.pointStyle = 1;
            curve.curveStyle = 1;
        }
        shift++;
    }
    for (FFTParams* fft : {&p.analysisFft, &p.fftWindowFft}) {
        SetString(&fft->Upper, "TMAX");
        SetString(&fft->Lower, "1u");
        SetString(&fft->Points, "2048");
        SetString(&fft->Harmonics, "7");
    }
    p.cursorColors.labelFont = FontSpec{-13, static_cast<uint16_t>(timesFace), 1, 25};
    p.cursorColors.labelBackground = 26;
    for (int i = 0; i < kItemStyleCount; i++)
        ItemStyleTable[i] = FontSpec{-9, static_cast<uint16_t>(timesFace), 0x06, static_cast<uint8_t>(16 + i % 40)};
}

// ---- resets ----------------------------------------------------------------------------

TEST_F(PrefsTest, FullResetGivesTheBuiltInStyles) {
    prefs_Scramble(times_);
    ResetAllPreferences();

    // Heights: default -16; 6P/8 = 6 points and 7P/8 = 7 points at two pixels a
    // point; two thirds of -16 truncates to -10.
    struct Item {
        int item;
        int color;
        int height;
        int face;
    };
    const Item items[] = {
        {kItemStatusBarText, 0, -16, arial_},     {kItemBlockSelect, 41, -16, arial_},
        {kItemNodeNumber, 13, -12, arial_},       {kItemPin, 9, -10, arial_},
        {kItemDynamicAcVoltage, 56, -16, arial_}, {kItemGridText, 1, -14, arial_},
        {kItemTextArea, 4, -16, courier_},        {kItemAttributeText, 2, -14, arial_},
        {kItemCurrent, 12, -12, arial_},          {kItemPower, 9, -12, arial_},
        {kItemDigitalZ, 8, -16, arial_},          {kItemMonteCarloFirst + 7, 7, -16, arial_},
        {kItem3DFirst + 8, 0, -16, arial_},       {kItemTextText, 4, -16, courier_},
        {kItemTextComment, 8, -16, arial_},       {kItemStyleCount - 1, 4, -16, arial_},
    };
    for (const Item& e : items) {
        SCOPED_TRACE(ItemStyleNames[e.item]);
        const FontSpec& font = ItemStyleTable[e.item];
        EXPECT_EQ(font.color, e.color);
        EXPECT_EQ(font.height, e.height);
        EXPECT_EQ(font.face, e.face);
        EXPECT_EQ(font.style, 0);
    }
    std::vector<std::string> names;
    for (const char* name : ItemStyleNames) {
        ASSERT_NE(name, nullptr);
        EXPECT_STRNE(name, "");
        for (const std::string& other : names) EXPECT_NE(other, name);
        names.push_back(name);
    }

    const Preferences& p = Prefs();
    const int curveColors[10] = {12, 9, 2, 13, 0, 12, 9, 2, 13, 0};
    for (const PlotDefaults* plot : {&p.analysisPlot, &p.performancePlot, &p.fftPlot}) {
        EXPECT_EQ(plot->gridPattern, 7);  // "Dot6"
        EXPECT_EQ(plot->gridWeight, 1);
        EXPECT_STREQ(plot->scaleFactorX, "None");
        EXPECT_STREQ(plot->scaleUnitY, "Auto");
        EXPECT_STREQ(plot->scaleFormatX.text, "3");
        EXPECT_EQ(plot->gridCountX, 5);
        EXPECT_EQ(plot->sameYScales, 1);
        EXPECT_EQ(plot->windowBackground.color, 15);
        EXPECT_EQ(plot->trackBackground, 11);
        for (int i = 0; i < 10; i++) {
            EXPECT_EQ(plot->waveforms[i].lineColor, curveColors[i]);
            EXPECT_EQ(plot->waveforms[i].textColor, curveColors[i]);
            EXPECT_EQ(plot->waveforms[i].curveStyle, -1);
            EXPECT_EQ(plot->waveforms[i].pointStyle, 3);
        }
    }
    EXPECT_STREQ(p.calculatorFormat.text, "16e");
    EXPECT_STREQ(p.analysisFft.Points, "1024");
    EXPECT_STREQ(p.fftWindowFft.Harmonics, "10");
    EXPECT_EQ(p.analysisFft.Upper, nullptr);
    EXPECT_EQ(p.objectDefaults.style.color, 4);
    EXPECT_EQ(p.objectDefaults.style.fillColor, kColorNone);
    EXPECT_EQ(p.objectDefaults.style.fillPattern, 10);
    EXPECT_EQ(p.objectDefaults.font.color, 4);
    EXPECT_EQ(p.cursorColors.primary, 7);
    EXPECT_EQ(p.cursorColors.labelBackground, 11);
    EXPECT_EQ(p.patchColor, 1);
    EXPECT_EQ(p.gridUser, 10);
    EXPECT_EQ(p.quitWarning + p.dataPointsWarning + p.numericOutput[kNumOutUndefinedModels], 3);
    EXPECT_EQ(p.warningTime, 3.0);
    EXPECT_EQ(p.nodeRecalc, 1000000);
    // The sound and stamp switches reach the core's readers.
    EXPECT_TRUE(gSoundEnabled);
    EXPECT_FALSE(gDateStampEnabled);
}

TEST_F(PrefsTest, GroupResetsTouchOnlyTheirItems) {
    FontSpec defaults[kItemStyleCount];
    std::memcpy(defaults, ItemStyleTable, sizeof defaults);

    // What each reset restores of its items: colour always; the whole font, the
    // height and face (style kept), or only the face of one item.
    enum Restores { kColorOnly, kWholeFont, kHeightAndFace, kFaceOf47 };
    struct Group {
        const char* name;
        void (*reset)();
        int first, last;
        Restores restores;
    };
    const Group groups[] = {
        {"schematic", ResetSchematicItemStyles, 1, 28, kHeightAndFace},
        {"Monte Carlo", ResetMonteCarloItemStyles, 29, 36, kColorOnly},
        {"3D", Reset3DItemStyles, 37, 45, kColorOnly},
        {"text window", ResetTextWindowItemStyles, 46, 48, kFaceOf47},
        {"model plot", ResetModelPlotItemStyles, 49, 54, kWholeFont},
    };
    const FontSpec scrambled{-9, static_cast<uint16_t>(times_), 0x06, 63};
    for (const Group& g : groups) {
        SCOPED_TRACE(g.name);
        for (FontSpec& item : ItemStyleTable) item = scrambled;
        Prefs().patchColor = 5;
        g.reset();
        for (int i = 0; i < kItemStyleCount; i++) {
            SCOPED_TRACE(ItemStyleNames[i]);
            const FontSpec& item = ItemStyleTable[i];
            if (i < g.first || i > g.last) {
                EXPECT_TRUE(prefs_SameFont(item, scrambled));
                continue;
            }
            EXPECT_EQ(item.color, defaults[i].color);
            switch (g.restores) {
            case kColorOnly:
                EXPECT_EQ(item.height, scrambled.height);
                EXPECT_EQ(item.face, scrambled.face);
                break;
            case kWholeFont: EXPECT_TRUE(prefs_SameFont(item, defaults[i])); break;
            case kHeightAndFace:
                EXPECT_EQ(item.height, defaults[i].height);
                EXPECT_EQ(item.face, defaults[i].face);
                EXPECT_EQ(item.style, scrambled.style);
                break;
            case kFaceOf47:
                EXPECT_EQ(item.face, i == kItemTextText ? courier_ : times_);
                EXPECT_EQ(item.height, scrambled.height);
                break;
            }
        }
        EXPECT_EQ(Prefs().patchColor, g.reset == Reset3DItemStyles ? 1 : 5);
    }
}

TEST_F(PrefsTest, OptionResetLeavesStartUpValues) {
    prefs_Scramble(times_);
    Preferences& p = Prefs();
    ResetOptionDefaults();

    // Options of the Options page are back at their defaults...
    EXPECT_EQ(p.nodeRecalc, 1000000);
    EXPECT_EQ(p.warningTime, 3.0);
    EXPECT_EQ(p.componentCursor, 1);
    EXPECT_EQ(p.addDcPathToGround, 0);
    EXPECT_EQ(p.convergenceAssist, 1);
    EXPECT_EQ(p.useBitmapsInMenus, 0);
    EXPECT_EQ(p.inertialCancellation, 1);
    EXPECT_EQ(p.dateStamp, 0);
    EXPECT_EQ(p.textIncrement, 1);
    // ...while auto-save, the status-bar panes and the align flags, which only
    // start-up sets, keep their scrambled values.
    EXPECT_EQ(p.autoSave, 1);
    EXPECT_EQ(p.autoSaveEvery, 1);
    EXPECT_EQ(p.autoSaveMinutes, 25);
    EXPECT_EQ(p.statusBarShowTime, 1);
    EXPECT_EQ(p.statusBarTrack, 0);
    EXPECT_EQ(p.attStatusBar, 0);
    EXPECT_EQ(p.alignCursors, 1);
    EXPECT_EQ(p.alignZ, 0);
    // Nor are warnings options of this page.
    EXPECT_EQ(p.quitWarning, 0);
}

TEST_F(PrefsTest, PlotResetsAndCopiesKeepTheirOwnFields) {
    prefs_Scramble(times_);
    Preferences& p = Prefs();

    ResetPerformancePlotColors();
    EXPECT_EQ(p.performancePlot.grid.color, 8);
    EXPECT_EQ(p.performancePlot.gridPattern, 7);
    EXPECT_EQ(p.performancePlot.gridCountX, 8);  // scales untouched
    EXPECT_STREQ(p.performancePlot.scaleFactorX, "m");
    EXPECT_EQ(p.analysisPlot.grid.color, 24);  // other records untouched

    ResetAnalysisPlotFormats();
    EXPECT_EQ(p.slope2D, 0);
    EXPECT_STREQ(p.watchFormat.text, "3");
    EXPECT_STREQ(p.analysisPlot.scaleUnitX, "Auto");
    EXPECT_EQ(p.analysisPlot.keepXScalesSame, 0);
    EXPECT_EQ(p.analysisPlot.grid.color, 24);  // colours untouched

    ResetAnalysisPlotColors();
    EXPECT_EQ(p.cursorColors.labelFont.color, 0);
    EXPECT_EQ(p.cursorColors.labelFont.face, arial_);

    // Scale texts are duplicated, so freeing the copy leaves the source.
    PlotDefaults window;
    CopyScaleFormats(window, p.fftPlot);
    ASSERT_NE(window.scaleFactorY, nullptr);
    EXPECT_NE(window.scaleFactorY, p.fftPlot.scaleFactorY);
    EXPECT_STREQ(window.scaleFactorY, "k");
    EXPECT_STREQ(window.scaleFormatX.text, "4e");
    FreeScaleFormats(window);
    EXPECT_EQ(window.scaleFactorY, nullptr);
    EXPECT_STREQ(p.fftPlot.scaleFactorY, "k");

    CopyGridColors(window, p.fftPlot);
    CopyAnalysisColors(window, p.fftPlot);
    CopyPlotScaleOptions(window, p.fftPlot);
    EXPECT_EQ(window.gridPattern, p.fftPlot.gridPattern);
    EXPECT_TRUE(prefs_SameFont(window.trackColor, p.fftPlot.trackColor));
    EXPECT_TRUE(prefs_SameFont(window.selectBox, p.fftPlot.selectBox));
    EXPECT_EQ(window.gridCountY, p.fftPlot.gridCountY);
    EXPECT_EQ(window.waveforms[0].lineColor, 0);  // waveforms are not copied
}

TEST_F(PrefsTest, PackedOptionsSetThirteenFlags) {
    Preferences& p = Prefs();
    struct Bit {
        int bit;
        int32_t* flag;
    };
    const Bit bits[] = {
        {0, &p.sound},          {1, &p.fileWarning}, {2, &p.quitWarning},    {4, &p.floatingNodesCheck},
        {6, &p.nodeSnap},       {7, &p.selectMode},  {8, &p.showModelPage},  {10, &p.printBackground},
        {11, &p.timeStamp},     {12, &p.dateStamp},  {13, &p.rubberBanding}, {14, &p.inertialCancellation},
        {15, &p.textIncrement},
    };
    for (const Bit& b : bits) {
        SCOPED_TRACE(b.bit);
        UnpackOperationalOptions(1u << b.bit);
        for (const Bit& other : bits) EXPECT_EQ(*other.flag, other.bit == b.bit ? 1 : 0) << "bit " << other.bit;
    }
    // Bits 3, 5 and 9 (and anything above 15) mean nothing.
    UnpackOperationalOptions(0x10228);
    for (const Bit& b : bits) EXPECT_EQ(*b.flag, 0) << "bit " << b.bit;
    EXPECT_FALSE(gSoundEnabled);
}

// ---- the [Preferences] section --------------------------------------------------------------

TEST_F(PrefsTest, SectionWritesItsRowsInOrder) {
    prefs_Scramble(times_);  // so that every row has a value to write
    std::vector<std::string> lines = prefs_Lines(WriteSection());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[Preferences]");
    lines.erase(lines.begin());
    ASSERT_EQ(lines.size(), 251u + 1 + 16);

    struct Row {
        size_t position;  // counted from 1 after the header
        const char* key;
    };
    const Row rows[] = {
        {1, "Main Window Placement"},
        {2, "Quit Warning"},
        {5, "AC Signal Warning"},
        {6, "Show Model Page"},
        {12, "AutoSaveMin"},
        {13, "Warning Time"},
        {14, "Use Bitmaps In Menus"},
        {17, "Select Wavefrom Color"},
        {19, "Convergence Assist"},
        {35, "Analysis On Top"},
        {36, "Status Bar"},
        {39, "ATT Status Bar"},
        {40, "Default Object"},
        {41, "Default Object Font"},
        {44, "SpiceType"},
        {45, "TagFormat"},
        {49, "WatchFormat"},
        {53, "Excessive Data Points Warning"},
        {54, "CIR GridUser"},
        {55, "G2D Slope Calculation"},
        {56, "G2D ScaleFormatX"},
        {60, "G2D ScaleFactorX"},
        {64, "G2D Grid Weight"},
        {65, "G2D Grid Pattern"},
        {66, "G2D Enable X Scaling"},
        {70, "G2D Same Y Scales"},
        {72, "G2D Number of Grids Y"},
        {73, "G2D Window Background"},
        {74, "G2D Text"},
        {78, "G2D Graph Background"},
        {79, "G2D Baseline Color"},
        {80, "G2D Track Color Fore"},
        {81, "G2D Track Color Back"},
        {82, "G2D Waveform 1"},
        {91, "G2D Waveform 10"},
        {92, "G2D Num Out Write"},
        {94, "G2D Num Out Write Zero Models"},
        {96, "G2D Num Out Write Limits"},
        {98, "G2D Num Out Write Operating"},
        {99, "G2D Data Point Labels Color Fore"},
        {100, "G2D Data Point Labels Color Back"},
        {101, "G2DFFT_Max"},
        {103, "G2DFFT_NPts"},
        {104, "G2D IncludeDCHarmonic"},
        {105, "G2D AutoScale Harmonics"},
        {106, "PFM ScaleFormatX"},
        {141, "PFM Waveform 10"},
        {142, "G3D ScaleFormatX"},
        {147, "G3D ValueFormatZ"},
        {148, "G3D Slope Calculation"},
        {149, "FTT ScaleFormatX"},
        {184, "FTT Waveform 10"},
        {185, "FTTFFT_Max"},
        {189, "FTT AutoScale Harmonics"},
        {190, "PathDelayFormat"},
        {191, "CalculatorFormat"},
        {193, "NodeRecalc"},
        {194, "AlignZ"},
        {195, "Align Cursors"},
        {196, ";Default Attributes"},
        {197, "Status Bar Text"},
        {210, "Circuit Text Area"},
        {251, "MDL Scale"},
        {252, "G3D PatchColor"},
        {253, "CUSTOM_COLOR_0"},
        {268, "CUSTOM_COLOR_15"},
    };
    for (const Row& row : rows) EXPECT_EQ(prefs_Key(lines[row.position - 1]), row.key) << "row " << row.position;
    for (int i = 0; i < kItemStyleCount; i++) EXPECT_EQ(prefs_Key(lines[196 + i]), ItemStyleNames[i]);
    EXPECT_EQ(lines[251], "G3D PatchColor=Red");
    EXPECT_EQ(lines[254], "CUSTOM_COLOR_2=131365");
}

TEST_F(PrefsTest, WrittenSectionReadsBackIdentically) {
    std::string defaults = WriteSection();
    prefs_Scramble(times_);
    std::string written = WriteSection();

    // Every row carries a value other than its default, so a row that did not
    // read back would show in the second writing.
    std::vector<std::string> defaultLines = prefs_Lines(defaults);
    for (const std::string& line : prefs_Lines(written)) {
        if (line == "[Preferences]" || line == ";Default Attributes") continue;
        for (const std::string& other : defaultLines) EXPECT_NE(line, other);
    }

    ResetToLoadState();
    ASSERT_EQ(WriteSection(), defaults);
    ReadSection(written.substr(written.find('\n') + 1));
    EXPECT_EQ(WriteSection(), written);

    const Preferences& p = Prefs();
    EXPECT_EQ(p.customColors[15], 0x10000 * 15 + 0x123 + 15);
    EXPECT_EQ(p.patchColor, 4);
    EXPECT_EQ(p.mainWindowPlacement.length, kPlacementLength);
    EXPECT_TRUE(Startup().statusBarAtStart);  // the "Status Bar" flag was written on
}

TEST_F(PrefsTest, SolidGridReadsBackSolid) {
    // The solid pattern has no line-pattern name; it must not come back as the
    // default dotted grid at the next start.
    Prefs().performancePlot.gridPattern = 0;
    std::string written = WriteSection();
    EXPECT_NE(written.find("PFM Grid Pattern=Solid\r\n"), std::string::npos);
    ResetToLoadState();
    ReadSection(written.substr(written.find('\n') + 1));
    EXPECT_EQ(Prefs().performancePlot.gridPattern, 0);
    EXPECT_EQ(Prefs().analysisPlot.gridPattern, 7);
}

TEST_F(PrefsTest, OlderKeysAndOddLinesRead) {
    Preferences& p = Prefs();
    struct Case {
        const char* name;
        std::string lines;
        int32_t version;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"misspelt convergence key", "Convergance Asset=No\r\n", kPrefTestVersion8,
         [&] { EXPECT_EQ(p.convergenceAssist, 0); }},
        {"packed options of a new file", "Operational Options=0\r\n", kPrefTestVersion8,
         [&] { EXPECT_EQ(p.sound + p.quitWarning + p.textIncrement, 3); }},
        {"packed options of an old file", "Operational Options=21845\r\n", kPrefTestVersion7,
         [&] {  // 0x5555
             EXPECT_EQ(p.sound, 1);
             EXPECT_EQ(p.fileWarning, 0);
             EXPECT_EQ(p.showModelPage, 1);
             EXPECT_EQ(p.textIncrement, 0);
         }},
        {"old file without packed options", "Sound=Yes\r\n", kPrefTestVersion7,
         [&] { EXPECT_EQ(p.quitWarning + p.nodeSnap + p.textIncrement, 3); }},
        {"legacy scale format", "ScaleFormat=5e\r\n", kPrefTestVersion7,
         [&] {
             for (const PlotDefaults* plot : {&p.analysisPlot, &p.performancePlot, &p.fftPlot}) {
                 EXPECT_STREQ(plot->scaleFormatX.text, "5e");
                 EXPECT_STREQ(plot->scaleFormatY.text, "5e");
                 EXPECT_STREQ(plot->valueFormatX.text, "3");
             }
             for (const FormatSpec& format : p.scaleFormat3D) EXPECT_STREQ(format.text, "5e");
         }},
        {"legacy value format", "ValueFormat=6\r\n", kPrefTestVersion7,
         [&] {
             EXPECT_STREQ(p.analysisPlot.valueFormatY.text, "6");
             EXPECT_STREQ(p.performancePlot.valueFormatX.text, "6");
             EXPECT_STREQ(p.fftPlot.valueFormatX.text, "3");
             EXPECT_STREQ(p.valueFormat3D[2].text, "6");
             EXPECT_STREQ(p.scaleFormat3D[0].text, "3");
         }},
        {"legacy same Y scales", "Same Y Scales=No\r\n", kPrefTestVersion7,
         [&] {
             EXPECT_EQ(p.analysisPlot.sameYScales, 0);
             EXPECT_EQ(p.performancePlot.sameYScales, 0);
             EXPECT_EQ(p.fftPlot.sameYScales, 1);
         }},
        {"legacy analysis colours and cursors",
         "Analysis Grid=Height=-5,FStyle=0,Color=33,Name=Arial\r\nAnalysis Baseline Color=3\r\n"
         "Cursor Select Color Primary=13\r\nCursor Select Color Secondary=14\r\n",
         kPrefTestVersion7,
         [&] {
             EXPECT_EQ(p.analysisPlot.grid.color, 33);
             EXPECT_EQ(p.analysisPlot.baselineColor, 3);
             EXPECT_EQ(p.cursorColors.primary, 13);
             EXPECT_EQ(p.cursorColors.secondary, 14);
         }},
        {"patch colour in lower case", "G3D PatchColor=gray\r\n", kPrefTestVersion8,
         [&] { EXPECT_EQ(p.patchColor, 2); }},
        {"unknown patch colour", "G3D PatchColor=Purple\r\n", kPrefTestVersion8, [&] { EXPECT_EQ(p.patchColor, 1); }},
        {"custom colours in any case", "custom_color_3=16777215\r\nCUSTOM_COLOR_15=-1\r\n", kPrefTestVersion8,
         [&] {
             EXPECT_EQ(p.customColors[3], 16777215);
             EXPECT_EQ(p.customColors[15], -1);
         }},
        {"custom colours out of range", "CUSTOM_COLOR_16=5\r\nCUSTOM_COLOR_=5\r\nCUSTOM_COLOR_1x=5\r\n",
         kPrefTestVersion8,
         [&] {
             for (int32_t color : p.customColors) EXPECT_EQ(color, 0);
         }},
        {"unknown keys and a bare key", "No Such Key=1\r\nQuit Warning\r\nTagFormat=4\r\n", kPrefTestVersion8,
         [&] {
             EXPECT_EQ(p.quitWarning, 0);
             EXPECT_STREQ(p.tagFormat.text, "4");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetToLoadState();
        ReadSection(c.lines, c.version);
        c.check();
    }
}

TEST_F(PrefsTest, StatusBarAtStartFollowsTheSection) {
    // A section without the key: the flag's load-time value (hidden) wins.
    ReadSection("Sound=No\r\n");
    EXPECT_FALSE(Startup().statusBarAtStart);
    ResetToLoadState();
    ReadSection("status bar=yes\r\n");
    EXPECT_TRUE(Startup().statusBarAtStart);

    // Through tarn.dat: a file without the section starts with the bar shown, and
    // one the program wrote brings the preferences back.
    InstallPreferences();
    RegisterShellStartup(StartupSteps());
    SetString(&Startup().settingsPath, Path("tarn.dat").c_str());
    std::ofstream(Path("tarn.dat"), std::ios::binary)
        << "[Main]\r\nFileType=TARN.DAT\r\nVersion=8.00\r\nProgram=Tarnwick\r\n";
    ResetToLoadState();
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_TRUE(Startup().statusBarAtStart);

    Prefs().warningTime = 12.25;
    Prefs().customColors[7] = 0xABCDEF;
    ItemStyleTable[kItemPin].color = 44;
    ASSERT_EQ(SaveSettingsFile(), 0);
    ResetToLoadState();
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(Prefs().warningTime, 12.25);
    EXPECT_EQ(Prefs().customColors[7], 0xABCDEF);
    EXPECT_EQ(ItemStyleTable[kItemPin].color, 44);
    EXPECT_FALSE(Startup().statusBarAtStart);  // the bar was hidden when saved
}

}  // namespace
