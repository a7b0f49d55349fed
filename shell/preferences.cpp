#include "shell/preferences.h"

#include <strings.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "core/services.h"
#include "core/settings.h"

FontSpec ItemStyleTable[kItemStyleCount];

const char* const ItemStyleNames[kItemStyleCount] = {
    "Status Bar Text",
    "Circuit Background",
    "Select",
    "Block Select",
    "Select Box",
    "CIR Node Highlight",
    "Component",
    "Wire",
    "Node Number",
    "Pin",
    "Node Voltage",
    "Dynamic AC Voltage",
    "Grid Text",
    "Circuit Text Area",
    "Digital Path",
    "Attribute Text",
    "Circuit Text Area Comment",
    "Circuit Text Area Background",
    "Title Block",
    "Text Banner Text",
    "Text Banner Background",
    "CIR Current",
    "CIR Power",
    "Digital 0",
    "Digital R",
    "Digital F",
    "Digital 1",
    "Digital X",
    "Digital Z",
    "MC Window Background",
    "MC Font",
    "MCL Select",
    "MCL Select Box",
    "MC Grid",
    "MC Graph Background",
    "MC Bar Front",
    "MC Bar Top/Side",
    "3D Window Background",
    "3D Font",
    "G3D Select",
    "G3D Select Box",
    "3D Grid",
    "3D X Axis Plain Color",
    "3D Y Axis Plain Color",
    "3D Z Axis Plain Color",
    "3D Wire Grid Color",
    "Text Background",
    "Text Text",
    "Text Comment",
    "MDL Window Background",
    "MDL Curve",
    "MDL Data Points",
    "MDL Grid",
    "MDL Graph Background",
    "MDL Scale",
};

namespace {

// How the built-in style of an item sizes its font.
enum PrefHeight : uint8_t {
    kPrefHeightDefault,       // the default height
    kPrefHeightSixEighths,    // 6P/8 points, P the default point size
    kPrefHeightSevenEighths,  // 7P/8 points
    kPrefHeightTwoThirds,     // two thirds of the default height
};

struct PrefItemDefault {
    uint8_t color;
    PrefHeight height;
    bool courier;  // "Courier New" in place of "Arial"
};

const PrefItemDefault kPrefItemDefaults[kItemStyleCount] = {
    {0, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {9, kPrefHeightDefault, false},
    {41, kPrefHeightDefault, false},
    {4, kPrefHeightDefault, false},
    {14, kPrefHeightDefault, false},
    {12, kPrefHeightDefault, false},
    {2, kPrefHeightDefault, false},
    {13, kPrefHeightSixEighths, false},
    {9, kPrefHeightTwoThirds, false},
    {0, kPrefHeightDefault, false},
    {56, kPrefHeightDefault, false},
    {1, kPrefHeightSevenEighths, false},
    {4, kPrefHeightDefault, true},
    {9, kPrefHeightDefault, false},
    {2, kPrefHeightSevenEighths, false},
    {8, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {0, kPrefHeightDefault, false},
    {1, kPrefHeightDefault, false},
    {7, kPrefHeightDefault, false},
    {12, kPrefHeightSixEighths, false},
    {9, kPrefHeightSixEighths, false},
    {0, kPrefHeightDefault, false},
    {11, kPrefHeightDefault, false},
    {11, kPrefHeightDefault, false},
    {9, kPrefHeightDefault, false},
    {7, kPrefHeightDefault, false},
    {8, kPrefHeightDefault, false},
    // Monte Carlo windows
    {7, kPrefHeightDefault, false},
    {12, kPrefHeightDefault, false},
    {9, kPrefHeightDefault, false},
    {4, kPrefHeightDefault, false},
    {8, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {7, kPrefHeightDefault, false},
    // 3D windows
    {15, kPrefHeightDefault, false},
    {12, kPrefHeightDefault, false},
    {9, kPrefHeightDefault, false},
    {4, kPrefHeightDefault, false},
    {8, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {0, kPrefHeightDefault, false},
    // text windows
    {15, kPrefHeightDefault, false},
    {4, kPrefHeightDefault, true},
    {8, kPrefHeightDefault, false},
    // model-plot windows
    {15, kPrefHeightDefault, false},
    {4, kPrefHeightDefault, false},
    {9, kPrefHeightDefault, false},
    {15, kPrefHeightDefault, false},
    {7, kPrefHeightDefault, false},
    {4, kPrefHeightDefault, false},
};

const char* const kPrefPatchColorNames[] = {"Clear", "Spectrum", "Gray", "Blue", "Red", "Green"};
const char* const kPrefSlopeNames[] = {"Normal", "dB/Octave", "dB/Decade"};

// The colours of waveforms 1 to 10.
const uint8_t kPrefCurveColors[10] = {12, 9, 2, 13, 0, 12, 9, 2, 13, 0};

// Without a display to ask, heights are reckoned for a 96 dpi screen.
constexpr int kPrefFallbackDpi = 96;

int pf_PointsToHeight(int points) { return FontMetrics().PointsToLogicalHeight(points); }

// The point size that the default font height stands for.
int pf_DefaultPointSize() {
    if (const int system = FontMetrics().SystemFontHeight()) return system * 7 / 10;
    int height = DefaultFontHeight();
    if (height >= 0) return height;
    return (-height * 72 + kPrefFallbackDpi / 2) / kPrefFallbackDpi;
}

void pf_SetFace(FontSpec& font, bool courier) {
    font.face = static_cast<uint16_t>(FindOrAddFontFace(courier ? "Courier New" : "Arial"));
}

int16_t pf_ItemHeight(PrefHeight kind) {
    int points = pf_DefaultPointSize();
    switch (kind) {
    case kPrefHeightSixEighths: return static_cast<int16_t>(pf_PointsToHeight(6 * points / 8));
    case kPrefHeightSevenEighths: return static_cast<int16_t>(pf_PointsToHeight(7 * points / 8));
    case kPrefHeightTwoThirds: return static_cast<int16_t>(DefaultFontHeight() * 2 / 3);
    case kPrefHeightDefault:
    default: return static_cast<int16_t>(DefaultFontHeight());
    }
}

void pf_ResetItemColors(int first, int last) {
    for (int i = first; i <= last; i++) ItemStyleTable[i].color = kPrefItemDefaults[i].color;
}

void pf_DefaultFont(FontSpec& font, uint8_t color) {
    font.SetDefault();
    font.color = color;
}

void pf_ResetCursorColors(CursorColors& colors) {
    colors.primary = 7;
    colors.secondary = 9;
    pf_DefaultFont(colors.labelFont, 0);
    colors.labelBackground = 11;
}

}  // namespace

// ---- records ---------------------------------------------------------------------------

PlotDefaults::~PlotDefaults() { FreeScaleFormats(*this); }

Preferences& Prefs() {
    static Preferences preferences;
    return preferences;
}

const char* PatchColorName(int index) { return index >= 0 && index < 6 ? kPrefPatchColorNames[index] : nullptr; }

const char* SlopeMethodName(int index) { return index >= 0 && index < 3 ? kPrefSlopeNames[index] : nullptr; }

// ---- resets ------------------------------------------------------------------------------

void ResetAllPreferences() {
    Preferences& p = Prefs();

    ParseFormatSpec(&p.tagFormat, "3");
    ParseFormatSpec(&p.nodeVoltageFormat, "3");
    p.slope2D = 0;
    ParseFormatSpec(&p.optimizeFormat, "3");
    ParseFormatSpec(&p.watchFormat, "3");

    ResetPlotScales(p.analysisPlot);
    ResetPlotScales(p.performancePlot);
    Reset3DFormats();
    ResetPlotScales(p.fftPlot);

    ResetNumericOutputFlags();
    p.fftWindowFft.ResetDefaults();
    p.analysisFft.ResetDefaults();

    ParseFormatSpec(&p.operatingPointFormat, "3");
    ParseFormatSpec(&p.pathDelayFormat, "3");
    ParseFormatSpec(&p.formulaFormat, "3");
    ParseFormatSpec(&p.calculatorFormat, "16e");

    for (FontSpec& item : ItemStyleTable) pf_DefaultFont(item, 0);
    p.gridUser = 10;
    p.objectDefaults.style.SetDefaults();
    p.objectDefaults.style.color = 4;
    pf_DefaultFont(p.objectDefaults.font, 4);
    p.objectDefaults.applyBorderToText = 0;
    p.objectDefaults.applyFillToText = 0;

    ResetSchematicItemStyles();
    ResetMonteCarloItemStyles();
    pf_ResetCursorColors(p.cursorColors);
    ResetPlotColors(p.analysisPlot);
    Reset3DItemStyles();
    ResetPlotColors(p.performancePlot);
    ResetPlotColors(p.fftPlot);
    ResetTextWindowItemStyles();
    ResetModelPlotItemStyles();

    ResetOptionDefaults();

    p.quitWarning = 1;
    p.fileWarning = 1;
    p.revertWarning = 1;
    p.acSignalWarning = 1;
    p.opampPowerWarning = 1;
    p.dcPathWarning = 1;
    p.timeRangeWarning = 1;
    p.dataPointsWarning = 1;
    // The item names are constant and need no setting.
    PublishPreferences();
}

void ResetOptionDefaults() {
    Preferences& p = Prefs();
    p.nodeRecalc = 1000000;
    RecentFiles().Resize(10);
    p.warningTime = 3.0;
    p.componentCursor = 1;
    p.componentMenuShapeDisplay = 1;
    p.showModelPage = 0;
    p.addParenthesesToDefine = 1;
    p.addDcPathToGround = 0;
    p.checkDcPathToGround = 1;
    p.selectCurveColor = 1;
    p.gminStepping = 1;
    p.convergenceAssist = 1;
    p.analysisProgressBar = 0;
    p.showSlider = 0;
    p.blockSelectFlag = 1;
    p.nodeHighlight = 1;
    p.addOpampPowerSupplies = 1;
    p.analysisOnTop = 1;
    p.useBitmapsInMenus = 0;
    p.floatingNodesCheck = 0;
    p.inertialCancellation = 1;
    p.nodeSnap = 1;
    p.selectMode = 0;
    p.sound = 1;
    p.printBackground = 0;
    p.timeStamp = 0;
    p.dateStamp = 0;
    p.rubberBanding = 0;
    p.textIncrement = 1;
    PublishPreferences();
}

void ResetSchematicItemStyles() {
    for (int i = kItemCircuitBackground; i <= kItemDigitalZ; i++) {
        const PrefItemDefault& d = kPrefItemDefaults[i];
        FontSpec& item = ItemStyleTable[i];
        item.height = pf_ItemHeight(d.height);
        pf_SetFace(item, d.courier);
        item.color = d.color;
    }
}

void ResetTextWindowItemStyles() {
    pf_ResetItemColors(kItemTextBackground, kItemTextComment);
    pf_SetFace(ItemStyleTable[kItemTextText], true);
}

void ResetMonteCarloItemStyles() { pf_ResetItemColors(kItemMonteCarloFirst, kItemMonteCarloFirst + 7); }

void Reset3DItemStyles() {
    pf_ResetItemColors(kItem3DFirst, kItem3DFirst + 8);
    Prefs().patchColor = 1;
}

void ResetModelPlotItemStyles() {
    for (int i = kItemModelPlotFirst; i < kItemStyleCount; i++)
        pf_DefaultFont(ItemStyleTable[i], kPrefItemDefaults[i].color);
}

void ResetPlotColors(PlotDefaults& plot) {
    pf_DefaultFont(plot.windowBackground, 15);
    pf_DefaultFont(plot.select, 9);
    pf_DefaultFont(plot.text, 12);
    pf_DefaultFont(plot.selectBox, 4);
    pf_DefaultFont(plot.grid, 8);
    pf_DefaultFont(plot.graphBackground, 15);
    pf_DefaultFont(plot.trackColor, 0);
    plot.trackBackground = 11;
    plot.baselineColor = 12;
    plot.gridWeight = 1;
    plot.gridPattern = 7;
    for (int i = 0; i < 10; i++) {
        CurveStyle& curve = plot.waveforms[i];
        curve = CurveStyle();
        curve.lineColor = kPrefCurveColors[i];
        curve.textColor = kPrefCurveColors[i];
        curve.curveStyle = -1;
    }
}

void ResetAnalysisPlotColors() {
    pf_ResetCursorColors(Prefs().cursorColors);
    ResetPlotColors(Prefs().analysisPlot);
}

void ResetPerformancePlotColors() { ResetPlotColors(Prefs().performancePlot); }

void ResetFFTPlotColors() { ResetPlotColors(Prefs().fftPlot); }

void ResetPlotScales(PlotDefaults& plot) {
    plot.sameYScales = 1;
    plot.enableXScaling = 1;
    plot.enableYScaling = 1;
    plot.keepXScalesSame = 0;
    plot.staticGrids = 0;
    plot.gridCountX = 5;
    plot.gridCountY = 5;
    ParseFormatSpec(&plot.scaleFormatX, "3");
    ParseFormatSpec(&plot.scaleFormatY, "3");
    ParseFormatSpec(&plot.valueFormatX, "3");
    ParseFormatSpec(&plot.valueFormatY, "3");
    SetString(&plot.scaleFactorX, "None");
    SetString(&plot.scaleFactorY, "None");
    SetString(&plot.scaleUnitX, "Auto");
    SetString(&plot.scaleUnitY, "Auto");
}

void ResetAnalysisPlotFormats() {
    Preferences& p = Prefs();
    p.slope2D = 0;
    ParseFormatSpec(&p.optimizeFormat, "3");
    ParseFormatSpec(&p.watchFormat, "3");
    ResetPlotScales(p.analysisPlot);
}

void Reset3DFormats() {
    Preferences& p = Prefs();
    for (int i = 0; i < 3; i++) {
        ParseFormatSpec(&p.scaleFormat3D[i], "3");
        ParseFormatSpec(&p.valueFormat3D[i], "3");
    }
    p.slope3D = 0;
}

void ResetNumericOutputFlags() {
    for (int32_t& flag : Prefs().numericOutput) flag = 1;
}

// ---- copies ------------------------------------------------------------------------------

void CopyPlotScaleOptions(PlotDefaults& destination, const PlotDefaults& source) {
    destination.sameYScales = source.sameYScales;
    destination.enableXScaling = source.enableXScaling;
    destination.enableYScaling = source.enableYScaling;
    destination.keepXScalesSame = source.keepXScalesSame;
    destination.staticGrids = source.staticGrids;
    destination.gridCountX = source.gridCountX;
    destination.gridCountY = source.gridCountY;
}

void CopyCursorColors(CursorColors& destination, const CursorColors& source) { destination = source; }

void CopyGridColors(PlotDefaults& destination, const PlotDefaults& source) {
    destination.grid = source.grid;
    destination.graphBackground = source.graphBackground;
    destination.trackColor = source.trackColor;
    destination.trackBackground = source.trackBackground;
    destination.baselineColor = source.baselineColor;
    destination.gridWeight = source.gridWeight;
    destination.gridPattern = source.gridPattern;
}

void CopyAnalysisColors(PlotDefaults& destination, const PlotDefaults& source) {
    destination.windowBackground = source.windowBackground;
    destination.select = source.select;
    destination.text = source.text;
    destination.selectBox = source.selectBox;
}

void CopyScaleFormats(PlotDefaults& destination, const PlotDefaults& source) {
    if (&destination == &source) return;
    destination.scaleFormatX = source.scaleFormatX;
    destination.scaleFormatY = source.scaleFormatY;
    destination.valueFormatX = source.valueFormatX;
    destination.valueFormatY = source.valueFormatY;
    SetString(&destination.scaleFactorX, source.scaleFactorX);
    SetString(&destination.scaleFactorY, source.scaleFactorY);
    SetString(&destination.scaleUnitX, source.scaleUnitX);
    SetString(&destination.scaleUnitY, source.scaleUnitY);
}

void FreeScaleFormats(PlotDefaults& plot) {
    FreeString(&plot.scaleFactorX);
    FreeString(&plot.scaleFactorY);
    FreeString(&plot.scaleUnitX);
    FreeString(&plot.scaleUnitY);
}

// ---- values shared with the core and the older settings layout ---------------------------

void PublishPreferences() {
    const Preferences& p = Prefs();
    gSoundEnabled = p.sound != 0;
    gDateStampEnabled = p.dateStamp != 0;
    gTimeStampEnabled = p.timeStamp != 0;
}

void UnpackOperationalOptions(unsigned word) {
    Preferences& p = Prefs();
    auto bit = [word](int n) { return static_cast<int32_t>((word >> n) & 1); };
    p.sound = bit(0);
    p.fileWarning = bit(1);
    p.quitWarning = bit(2);
    p.floatingNodesCheck = bit(4);
    p.nodeSnap = bit(6);
    p.selectMode = bit(7);
    p.showModelPage = bit(8);
    p.printBackground = bit(10);
    p.timeStamp = bit(11);
    p.dateStamp = bit(12);
    p.rubberBanding = bit(13);
    p.inertialCancellation = bit(14);
    p.textIncrement = bit(15);
    PublishPreferences();
}

void SetInertialCancellation(bool on) { Prefs().inertialCancellation = on ? 1 : 0; }

void SetLegacyScaleFormats(const char* spec) {
    Preferences& p = Prefs();
    for (PlotDefaults* plot : {&p.analysisPlot, &p.performancePlot, &p.fftPlot}) {
        ParseFormatSpec(&plot->scaleFormatX, spec);
        ParseFormatSpec(&plot->scaleFormatY, spec);
    }
    for (FormatSpec& format : p.scaleFormat3D) ParseFormatSpec(&format, spec);
}

void SetLegacyValueFormats(const char* spec) {
    Preferences& p = Prefs();
    for (PlotDefaults* plot : {&p.analysisPlot, &p.performancePlot}) {
        ParseFormatSpec(&plot->valueFormatX, spec);
        ParseFormatSpec(&plot->valueFormatY, spec);
    }
    for (FormatSpec& format : p.valueFormat3D) ParseFormatSpec(&format, spec);
}

void ClearSavedPlacement() { Prefs().mainWindowPlacement = WindowPlacement(); }

// ---- the [Preferences] section -----------------------------------------------------------

namespace {

// Files from before version 8.0 keep the old switches in this key.
constexpr int32_t kPrefPackedOptionsVersion = 8 << 16;
// "Operational Options" not met while reading.
constexpr int32_t kPrefNoPackedOptions = INT32_MIN;
// A solid grid has no line-pattern name; this text keeps it from reading back as
// the default pattern.
constexpr const char* kPrefSolidPattern = "Solid";

// Rows of the section: 251 written, 9 more while reading.
constexpr int kPrefMaxRows = 264;
// Keys built from a plot kind's prefix: three plot families and two FFT families.
constexpr int kPrefMaxBuiltKeys = 3 * 36 + 2 * 5;
constexpr size_t kPrefKeySize = 48;

struct PrefRowTable {
    PropertyEntry rows[kPrefMaxRows];
    int count = 0;
    char keys[kPrefMaxBuiltKeys][kPrefKeySize];
    int keyCount = 0;

    void Add(const char* key, void* value, int kind) {
        if (count < kPrefMaxRows) rows[count++] = PropertyEntry{key, 0, value, kind};
    }
    void AddBuilt(const char* prefix, const char* suffix, void* value, int kind) {
        if (keyCount >= kPrefMaxBuiltKeys) return;
        char* key = keys[keyCount++];
        FormatBounded(key, kPrefKeySize, "%s%s", prefix, suffix);
        Add(key, value, kind);
    }
};

void pf_AddPlotFamily(PrefRowTable& table, const char* prefix, PlotDefaults& plot) {
    table.AddBuilt(prefix, " ScaleFormatX", &plot.scaleFormatX, kPropFormat);
    table.AddBuilt(prefix, " ScaleFormatY", &plot.scaleFormatY, kPropFormat);
    table.AddBuilt(prefix, " ValueFormatX", &plot.valueFormatX, kPropFormat);
    table.AddBuilt(prefix, " ValueFormatY", &plot.valueFormatY, kPropFormat);
    table.AddBuilt(prefix, " ScaleFactorX", &plot.scaleFactorX, kPropQuoted);
    table.AddBuilt(prefix, " ScaleFactorY", &plot.scaleFactorY, kPropQuoted);
    table.AddBuilt(prefix, " ScaleUnitX", &plot.scaleUnitX, kPropQuoted);
    table.AddBuilt(prefix, " ScaleUnitY", &plot.scaleUnitY, kPropQuoted);
    table.AddBuilt(prefix, " Grid Weight", &plot.gridWeight, kPropSmallCount);
    table.AddBuilt(prefix, " Grid Pattern", &plot.gridPattern, kPropPattern);
    table.AddBuilt(prefix, " Enable X Scaling", &plot.enableXScaling, kPropTrueFalse);
    table.AddBuilt(prefix, " Enable Y Scaling", &plot.enableYScaling, kPropTrueFalse);
    table.AddBuilt(prefix, " Keep X Scales The Same", &plot.keepXScalesSame, kPropTrueFalse);
    table.AddBuilt(prefix, " Static Grids", &plot.staticGrids, kPropTrueFalse);
    table.AddBuilt(prefix, " Same Y Scales", &plot.sameYScales, kPropTrueFalse);
    table.AddBuilt(prefix, " Number of Grids X", &plot.gridCountX, kPropInt);
    table.AddBuilt(prefix, " Number of Grids Y", &plot.gridCountY, kPropInt);
    table.AddBuilt(prefix, " Window Background", &plot.windowBackground, kPropFont);
    table.AddBuilt(prefix, " Text", &plot.text, kPropFont);
    table.AddBuilt(prefix, " Select", &plot.select, kPropFont);
    table.AddBuilt(prefix, " Select Box", &plot.selectBox, kPropFont);
    table.AddBuilt(prefix, " Grid", &plot.grid, kPropFont);
    table.AddBuilt(prefix, " Graph Background", &plot.graphBackground, kPropFont);
    table.AddBuilt(prefix, " Baseline Color", &plot.baselineColor, kPropColor8);
    table.AddBuilt(prefix, " Track Color Fore", &plot.trackColor, kPropFont);
    table.AddBuilt(prefix, " Track Color Back", &plot.trackBackground, kPropColor8);
    for (int n = 1; n <= 10; n++) {
        char suffix[24];
        FormatBounded(suffix, sizeof suffix, " Waveform %d", n);
        table.AddBuilt(prefix, suffix, &plot.waveforms[n - 1], kPropCurveStyle);
    }
}

void pf_AddFftFamily(PrefRowTable& table, const char* prefix, FFTParams& fft) {
    table.AddBuilt(prefix, "FFT_Max", &fft.Upper, kPropString);
    table.AddBuilt(prefix, "FFT_Min", &fft.Lower, kPropString);
    table.AddBuilt(prefix, "FFT_NPts", &fft.Points, kPropString);
    table.AddBuilt(prefix, " IncludeDCHarmonic", &fft.IncludeDC, kPropYesNo);
    table.AddBuilt(prefix, " AutoScale Harmonics", &fft.Harmonics, kPropString);
}

// The rows in the order they are written; `reading` adds the keys of older files.
void pf_BuildRows(PrefRowTable& t, bool reading, int32_t* packedOptions) {
    Preferences& p = Prefs();
    t.Add("Main Window Placement", &p.mainWindowPlacement, kPropPlacement);
    if (reading) t.Add("Operational Options", packedOptions, kPropInt);
    t.Add("Quit Warning", &p.quitWarning, kPropYesNo);
    t.Add("File Warning", &p.fileWarning, kPropYesNo);
    t.Add("Revert Warning", &p.revertWarning, kPropYesNo);
    t.Add("AC Signal Warning", &p.acSignalWarning, kPropYesNo);
    t.Add("Show Model Page", &p.showModelPage, kPropYesNo);
    t.Add("Component Cursor", &p.componentCursor, kPropYesNo);
    t.Add("Component Menu Shape Display", &p.componentMenuShapeDisplay, kPropYesNo);
    t.Add("Add Parentheses To Define", &p.addParenthesesToDefine, kPropYesNo);
    t.Add("AutoSave", &p.autoSave, kPropYesNo);
    t.Add("AutoSaveEvery", &p.autoSaveEvery, kPropYesNo);
    t.Add("AutoSaveMin", &p.autoSaveMinutes, kPropInt);
    t.Add("Warning Time", &p.warningTime, kPropDouble);
    t.Add("Use Bitmaps In Menus", &p.useBitmapsInMenus, kPropYesNo);
    t.Add("Add DC Path To Ground", &p.addDcPathToGround, kPropYesNo);
    t.Add("Check DC Path To Ground", &p.checkDcPathToGround, kPropYesNo);
    t.Add("Select Wavefrom Color", &p.selectCurveColor, kPropYesNo);
    t.Add("Gmin Stepping", &p.gminStepping, kPropYesNo);
    t.Add("Convergence Assist", &p.convergenceAssist, kPropYesNo);
    t.Add("Show Slider", &p.showSlider, kPropYesNo);
    t.Add("Block Select Flag", &p.blockSelectFlag, kPropYesNo);
    t.Add("Select Mode", &p.selectMode, kPropYesNo);
    t.Add("Floating Nodes Check", &p.floatingNodesCheck, kPropYesNo);
    t.Add("Inertial Cancellation", &p.inertialCancellation, kPropYesNo);
    t.Add("Sound", &p.sound, kPropYesNo);
    t.Add("Print Background", &p.printBackground, kPropYesNo);
    t.Add("Time Stamp", &p.timeStamp, kPropYesNo);
    t.Add("Date Stamp", &p.dateStamp, kPropYesNo);
    t.Add("CIR RubberBanding", &p.rubberBanding, kPropYesNo);
    t.Add("CIR Text Increment", &p.textIncrement, kPropYesNo);
    t.Add("CIR Node Snap", &p.nodeSnap, kPropYesNo);
    t.Add("CIR Node Highlight Flag", &p.nodeHighlight, kPropYesNo);
    t.Add("Automatically Add Opamp Power Supplies", &p.addOpampPowerSupplies, kPropYesNo);
    t.Add("Analysis Progress Bar", &p.analysisProgressBar, kPropYesNo);
    t.Add("Analysis On Top", &p.analysisOnTop, kPropYesNo);
    t.Add("Status Bar", &p.statusBarVisible, kPropYesNo);
    t.Add("Status Bar Show Time", &p.statusBarShowTime, kPropYesNo);
    t.Add("Status Bar Track", &p.statusBarTrack, kPropYesNo);
    t.Add("ATT Status Bar", &p.attStatusBar, kPropYesNo);
    t.Add("Default Object", &p.objectDefaults.style, kPropGraphicAttr);
    t.Add("Default Object Font", &p.objectDefaults.font, kPropFont);
    t.Add("Default Object Apply Border To Text", &p.objectDefaults.applyBorderToText, kPropYesNo);
    t.Add("Default Object Apply Fill To Text", &p.objectDefaults.applyFillToText, kPropYesNo);
    t.Add("SpiceType", &p.spiceType, kPropDialect);
    t.Add("TagFormat", &p.tagFormat, kPropFormat);
    t.Add("NodeVoltageFormat", &p.nodeVoltageFormat, kPropFormat);
    t.Add("OperatingPointFormat", &p.operatingPointFormat, kPropFormat);
    t.Add("OptimizeFormat", &p.optimizeFormat, kPropFormat);
    t.Add("WatchFormat", &p.watchFormat, kPropFormat);
    t.Add("Opamp Power Warning", &p.opampPowerWarning, kPropYesNo);
    t.Add("Add DC Path To Ground Warning", &p.dcPathWarning, kPropYesNo);
    t.Add("Excessive Time Range Warning", &p.timeRangeWarning, kPropYesNo);
    t.Add("Excessive Data Points Warning", &p.dataPointsWarning, kPropYesNo);
    t.Add("CIR GridUser", &p.gridUser, kPropInt);
    t.Add("G2D Slope Calculation", &p.slope2D, kPropSlopeUnit);
    pf_AddPlotFamily(t, "G2D", p.analysisPlot);
    t.Add("G2D Num Out Write", &p.numericOutput[kNumOutWrite], kPropTrueFalse);
    t.Add("G2D Num Out Write Models", &p.numericOutput[kNumOutModels], kPropTrueFalse);
    t.Add("G2D Num Out Write Zero Models", &p.numericOutput[kNumOutZeroModels], kPropTrueFalse);
    t.Add("G2D Num Out Write Undefined Models", &p.numericOutput[kNumOutUndefinedModels], kPropTrueFalse);
    t.Add("G2D Num Out Write Limits", &p.numericOutput[kNumOutLimits], kPropTrueFalse);
    t.Add("G2D Num Out Write Values", &p.numericOutput[kNumOutValues], kPropTrueFalse);
    t.Add("G2D Num Out Write Operating", &p.numericOutput[kNumOutOperating], kPropTrueFalse);
    if (reading) {
        t.Add("Convergance Asset", &p.convergenceAssist, kPropYesNo);
        t.Add("Analysis Window Background", &p.analysisPlot.windowBackground, kPropFont);
        t.Add("Analysis Text", &p.analysisPlot.text, kPropFont);
        t.Add("Analysis Grid", &p.analysisPlot.grid, kPropFont);
        t.Add("Analysis Graph Background", &p.analysisPlot.graphBackground, kPropFont);
        t.Add("Analysis Baseline Color", &p.analysisPlot.baselineColor, kPropColor8);
        // The cursor colours are read from these keys but never written.
        t.Add("Cursor Select Color Primary", &p.cursorColors.primary, kPropColor8);
        t.Add("Cursor Select Color Secondary", &p.cursorColors.secondary, kPropColor8);
    }
    t.Add("G2D Data Point Labels Color Fore", &p.cursorColors.labelFont, kPropFont);
    t.Add("G2D Data Point Labels Color Back", &p.cursorColors.labelBackground, kPropColor8);
    pf_AddFftFamily(t, "G2D", p.analysisFft);
    pf_AddPlotFamily(t, "PFM", p.performancePlot);
    t.Add("G3D ScaleFormatX", &p.scaleFormat3D[0], kPropFormat);
    t.Add("G3D ScaleFormatY", &p.scaleFormat3D[1], kPropFormat);
    t.Add("G3D ScaleFormatZ", &p.scaleFormat3D[2], kPropFormat);
    t.Add("G3D ValueFormatX", &p.valueFormat3D[0], kPropFormat);
    t.Add("G3D ValueFormatY", &p.valueFormat3D[1], kPropFormat);
    t.Add("G3D ValueFormatZ", &p.valueFormat3D[2], kPropFormat);
    t.Add("G3D Slope Calculation", &p.slope3D, kPropSlopeUnit);
    pf_AddPlotFamily(t, "FTT", p.fftPlot);
    pf_AddFftFamily(t, "FTT", p.fftWindowFft);
    t.Add("PathDelayFormat", &p.pathDelayFormat, kPropFormat);
    t.Add("CalculatorFormat", &p.calculatorFormat, kPropFormat);
    t.Add("FormulaFormat", &p.formulaFormat, kPropFormat);
    t.Add("NodeRecalc", &p.nodeRecalc, kPropInt);
    t.Add("AlignZ", &p.alignZ, kPropYesNo);
    t.Add("Align Cursors", &p.alignCursors, kPropYesNo);
    t.Add("Default Attributes", nullptr, kPropComment);
    for (int i = 0; i < kItemStyleCount; i++) t.Add(ItemStyleNames[i], &ItemStyleTable[i], kPropFont);
}

int pf_Write(SectionFile& file, PrefRowTable& table) {
    for (int i = 0; i < table.count; i++) {
        PropertyEntry& row = table.rows[i];
        if (row.kind == kPropPattern && *static_cast<uint8_t*>(row.value) == 0)
            file.WriteKey(row.key, kPrefSolidPattern);
        else
            WriteProperties(file, &row, 1);
    }
    file.WriteKey("G3D PatchColor", PatchColorName(Prefs().patchColor));
    for (int n = 0; n < kCustomColorCount; n++) {
        char key[32];
        FormatBounded(key, sizeof key, "CUSTOM_COLOR_%d", n);
        file.WriteIntKey(key, Prefs().customColors[n]);
    }
    return file.error;
}

// The custom colour a key names ("CUSTOM_COLOR_<n>", n from 0 to 15), or -1.
int pf_CustomColorIndex(const char* key) {
    static const char kPrefix[] = "CUSTOM_COLOR_";
    constexpr size_t kLength = sizeof kPrefix - 1;
    if (strncasecmp(key, kPrefix, kLength) != 0) return -1;
    const char* number = key + kLength;
    if (*number < '0' || *number > '9') return -1;
    char* end = nullptr;
    errno = 0;
    long n = strtol(number, &end, 10);
    if (errno != 0 || *end != 0 || n < 0 || n >= kCustomColorCount) return -1;
    return static_cast<int>(n);
}

int32_t pf_ColorValue(const char* text) {
    // A colour reference is 32 bits: larger numbers keep their low 32 bits.
    long long value = strtoll(text, nullptr, 10);
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// A grid written solid: its row takes pattern 0. False for any other line.
bool pf_ReadSolidPattern(PrefRowTable& table, const char* key, const char* value) {
    if (strcasecmp(value, kPrefSolidPattern) != 0) return false;
    for (int i = 0; i < table.count; i++) {
        PropertyEntry& row = table.rows[i];
        if (row.kind == kPropPattern && strcasecmp(row.key, key) == 0) {
            *static_cast<uint8_t*>(row.value) = 0;
            return true;
        }
    }
    return false;
}

void pf_ReadLine(SectionFile& file, PrefRowTable& table, const char* key, const char* value) {
    Preferences& p = Prefs();
    if (pf_ReadSolidPattern(table, key, value)) return;
    if (ReadProperty(file, table.rows, table.count, key, value)) return;
    int color = pf_CustomColorIndex(key);
    if (color >= 0) {
        p.customColors[color] = pf_ColorValue(value);
        return;
    }
    if (strcasecmp(key, "G3D PatchColor") == 0) {
        for (int i = 0; i < 6; i++) {
            if (strcasecmp(value, kPrefPatchColorNames[i]) == 0) {
                p.patchColor = i;
                break;
            }
        }
    } else if (strcasecmp(key, "Same Y Scales") == 0) {
        int32_t same = IsYesText(value) ? 1 : 0;
        p.analysisPlot.sameYScales = same;
        p.performancePlot.sameYScales = same;
    } else if (strcasecmp(key, "ScaleFormat") == 0) {
        SetLegacyScaleFormats(value);
    } else if (strcasecmp(key, "ValueFormat") == 0) {
        SetLegacyValueFormats(value);
    }
}

int pf_Read(SectionFile& file, PrefRowTable& table, const int32_t& packedOptions) {
    while (file.ReadLongEntry() == 1) {
        char* key = nullptr;
        char* value = nullptr;
        file.SplitLineBuffer(key, value);
        pf_ReadLine(file, table, key, value != nullptr ? value : "");
    }
    if (file.error) return file.error;
    Startup().statusBarAtStart = Prefs().statusBarVisible != 0;
    // A file without the key keeps its switches as they are rather than
    // clearing all thirteen.
    if (file.targetVersion < kPrefPackedOptionsVersion && packedOptions != kPrefNoPackedOptions)
        UnpackOperationalOptions(static_cast<unsigned>(packedOptions) & 0xFFFF);
    PublishPreferences();
    return file.error;
}

}  // namespace

int SerializePreferences(SectionFile& file) {
    bool reading = file.IsReading();
    int32_t packedOptions = kPrefNoPackedOptions;
    PrefRowTable table;
    pf_BuildRows(table, reading, &packedOptions);
    return reading ? pf_Read(file, table, packedOptions) : pf_Write(file, table);
}

void InstallPreferences() { RegisterSettingsSection("Preferences", SerializePreferences); }
