// The program's preferences: process-wide values that every window and
// subsystem reads, their defaults, the resets that restore them and the
// [Preferences] section of tarn.dat that keeps them between runs.
//
// All values live in one Preferences object (Prefs()) apart from the table of
// item styles, which windows index by item number. They are also the defaults
// for new circuits: a new window copies its colours, fonts and scale settings
// from here when it is created.
//
// Flags are 32-bit integers holding 0 or 1, so that the property tables of the
// settings file and the dialogs can point at them directly.
#pragma once

#include <cstdint>

#include "core/dialect.h"
#include "core/fftparams.h"
#include "core/fontspec.h"
#include "core/numbers.h"
#include "core/properties.h"

class SectionFile;

// ---- style records -----------------------------------------------------------------

// The style that new graphic objects (lines, boxes, text boxes) take.
struct ObjectDefaults {
    int32_t applyBorderToText = 0;  // analysis text gets the border too
    int32_t applyFillToText = 0;    // analysis text gets the fill too
    GraphicStyle style;
    FontSpec font;  // its colour is the text colour
};

// The defaults of one kind of 2D plot window (analysis, performance or FFT).
// Owns its four scale factor and unit texts: copy with the Copy* operations.
struct PlotDefaults {
    PlotDefaults() = default;
    ~PlotDefaults();
    PlotDefaults(const PlotDefaults&) = delete;
    PlotDefaults& operator=(const PlotDefaults&) = delete;

    // The seven scale options.
    int32_t sameYScales = 1;
    int32_t enableXScaling = 1;
    int32_t enableYScaling = 1;
    int32_t keepXScalesSame = 0;
    int32_t staticGrids = 0;
    int32_t gridCountX = 5;
    int32_t gridCountY = 5;
    FormatSpec scaleFormatX;
    FormatSpec scaleFormatY;
    FormatSpec valueFormatX;  // cursor value formats
    FormatSpec valueFormatY;
    char* scaleFactorX = nullptr;  // heap texts: "None", "Auto" by default
    char* scaleFactorY = nullptr;
    char* scaleUnitX = nullptr;
    char* scaleUnitY = nullptr;
    FontSpec windowBackground;
    FontSpec select;
    FontSpec text;
    FontSpec selectBox;
    FontSpec grid;
    FontSpec graphBackground;
    FontSpec trackColor;           // the track's foreground
    uint8_t trackBackground = 11;  // colour index
    uint8_t baselineColor = 12;    // colour index
    uint8_t gridWeight = 1;        // 1 to 20
    uint8_t gridPattern = 2;       // line pattern code, 0 solid
    CurveStyle waveforms[10];
};

// The cursor colours of analysis plots.
struct CursorColors {
    uint8_t primary = 7;
    uint8_t secondary = 9;
    FontSpec labelFont;  // data-point labels and their colour
    uint8_t labelBackground = 11;
};

// ---- item styles -------------------------------------------------------------------

// One font and colour per named window item; the index is the item's number.
// Items 0-28 belong to schematics, 29-36 to Monte Carlo windows, 37-45 to 3D
// windows, 46-48 to text windows and 49-54 to model-plot windows.
constexpr int kItemStyleCount = 55;
extern FontSpec ItemStyleTable[kItemStyleCount];
// The key of each item in the settings file; never empty.
extern const char* const ItemStyleNames[kItemStyleCount];

enum ItemStyle : int {
    kItemStatusBarText = 0,
    kItemCircuitBackground = 1,
    kItemSelect = 2,
    kItemBlockSelect = 3,
    kItemSelectBox = 4,
    kItemNodeHighlight = 5,
    kItemComponent = 6,
    kItemWire = 7,
    kItemNodeNumber = 8,
    kItemPin = 9,
    kItemNodeVoltage = 10,
    kItemDynamicAcVoltage = 11,
    kItemGridText = 12,
    kItemTextArea = 13,
    kItemDigitalPath = 14,
    kItemAttributeText = 15,
    kItemTextAreaComment = 16,
    kItemTextAreaBackground = 17,
    kItemTitleBlock = 18,
    kItemTextBannerText = 19,
    kItemTextBannerBackground = 20,
    kItemCurrent = 21,
    kItemPower = 22,
    kItemDigital0 = 23,
    kItemDigitalR = 24,
    kItemDigitalF = 25,
    kItemDigital1 = 26,
    kItemDigitalX = 27,
    kItemDigitalZ = 28,
    kItemMonteCarloFirst = 29,  // through 36
    kItem3DFirst = 37,          // through 45
    kItemTextBackground = 46,
    kItemTextText = 47,
    kItemTextComment = 48,
    kItemModelPlotFirst = 49,  // through 54
};

// ---- the preference values ---------------------------------------------------------

constexpr int kCustomColorCount = 16;

// Indexes of the seven numeric output flags, in their order in memory.
enum NumericOutputFlag : int {
    kNumOutWrite = 0,
    kNumOutModels = 1,
    kNumOutLimits = 2,
    kNumOutValues = 3,
    kNumOutOperating = 4,
    kNumOutZeroModels = 5,
    kNumOutUndefinedModels = 6,
    kNumOutFlagCount = 7,
};

struct Preferences {
    // -- options of the main window (the constructor values are the defaults of
    //    the values that only start-up sets: auto-save, status-bar panes, align) --
    WindowPlacement mainWindowPlacement;  // length 0: none stored
    int32_t floatingNodesCheck = 0;
    int32_t nodeSnap = 1;
    int32_t selectMode = 0;  // revert to select mode
    int32_t inertialCancellation = 1;
    int32_t sound = 1;
    int32_t printBackground = 0;
    int32_t timeStamp = 0;  // on printouts
    int32_t dateStamp = 0;
    int32_t rubberBanding = 0;
    int32_t textIncrement = 1;
    int32_t componentCursor = 1;
    int32_t componentMenuShapeDisplay = 1;
    int32_t showModelPage = 0;
    int32_t addParenthesesToDefine = 1;
    int32_t autoSave = 0;       // before an analysis
    int32_t autoSaveEvery = 0;  // on a timer
    int32_t useBitmapsInMenus = 0;
    int32_t autoSaveMinutes = 10;
    int32_t statusBarShowTime = 0;  // clock pane
    int32_t statusBarTrack = 1;     // track pane
    int32_t attStatusBar = 1;       // stored only
    double warningTime = 3.0;       // seconds a timed warning stays up
    int32_t addDcPathToGround = 0;
    int32_t checkDcPathToGround = 1;
    int32_t gminStepping = 1;
    int32_t showSlider = 0;
    int32_t blockSelectFlag = 1;
    int32_t nodeHighlight = 1;
    int32_t addOpampPowerSupplies = 1;
    int32_t analysisProgressBar = 0;
    int32_t analysisOnTop = 1;
    int32_t alignCursors = 0;
    int32_t keepCursorsOnSameBranch = 0;  // the other cursor follows branch changes
    int32_t alignZ = 1;
    int32_t selectCurveColor = 1;

    // -- process-wide values --
    int32_t convergenceAssist = 1;
    // Whether the status bar is shown (Options > Status Bar). Reading the
    // [Preferences] section hands it to the start-up copy that decides whether
    // the status bar is shown when it is created.
    int32_t statusBarVisible = 0;
    int32_t quitWarning = 1;
    int32_t fileWarning = 1;  // close without saving
    int32_t revertWarning = 1;
    int32_t acSignalWarning = 1;
    int32_t opampPowerWarning = 1;
    int32_t dcPathWarning = 1;
    int32_t timeRangeWarning = 1;                  // excessive time range
    int32_t dataPointsWarning = 1;                 // excessive data points
    int32_t gridUser = 10;                         // bold grid interval of new schematics
    int32_t nodeRecalc = 1000000;                  // no automatic renumbering from this many objects
    int32_t spiceType = kSpiceDialectAmbiguous;    // dialect of new text files
    int32_t patchColor = 1;                        // 3D patch colouring, 0-5
    int32_t customColors[kCustomColorCount] = {};  // RGB values of the colour chooser
    ObjectDefaults objectDefaults;
    int32_t numericOutput[kNumOutFlagCount] = {1, 1, 1, 1, 1, 1, 1};
    int32_t slope2D = 0;  // slope method of the 2D cursor table, 0-2
    int32_t slope3D = 0;

    // -- number formats --
    FormatSpec tagFormat;             // analysis plot tags
    FormatSpec nodeVoltageFormat;     // schematic voltages, currents, power
    FormatSpec operatingPointFormat;  // numeric output values
    FormatSpec optimizeFormat;
    FormatSpec watchFormat;
    FormatSpec pathDelayFormat;
    FormatSpec calculatorFormat;  // "16e"
    FormatSpec formulaFormat;
    FormatSpec scaleFormat3D[3];  // X, Y, Z
    FormatSpec valueFormat3D[3];

    // -- plot windows --
    PlotDefaults analysisPlot;     // key prefix "G2D"
    PlotDefaults performancePlot;  // "PFM"
    PlotDefaults fftPlot;          // "FTT"
    FFTParams analysisFft;         // beside the analysis plot defaults
    FFTParams fftWindowFft;        // beside the FFT plot defaults
    CursorColors cursorColors;     // of analysis plots
};

// The one set of preference values.
Preferences& Prefs();

// The names of the 3D patch colourings (0-5) and of the slope methods (0-2);
// null out of range.
const char* PatchColorName(int index);
const char* SlopeMethodName(int index);

// ---- resets (on the live values; none saves the settings file) ----------------------

// Every default, in a fixed order; run once by the program defaults before
// tarn.dat is read.
void ResetAllPreferences();
// The options of the Options page: node recalculation threshold, recent-files
// list size, warning time, the main-window flags that start-up does not set,
// and convergence assist.
void ResetOptionDefaults();
// Items 1-28 (colours, heights, faces); item 0 keeps its style.
void ResetSchematicItemStyles();
// Items 46-48: colours, and the face of item 47.
void ResetTextWindowItemStyles();
// Items 29-36: colours only.
void ResetMonteCarloItemStyles();
// Items 37-45 (colours only) and the patch colouring.
void Reset3DItemStyles();
// Items 49-54, fonts and colours.
void ResetModelPlotItemStyles();
// Fonts and colours, track and baseline colours, grid weight and pattern and the
// ten waveform styles of one record.
void ResetPlotColors(PlotDefaults& plot);
void ResetAnalysisPlotColors();  // and the cursor colours
void ResetPerformancePlotColors();
void ResetFFTPlotColors();
// The seven scale options, four formats and the factor and unit texts.
void ResetPlotScales(PlotDefaults& plot);
// 2D slope method, optimizer and watch formats and the analysis plot scales.
void ResetAnalysisPlotFormats();
// The six 3D formats and the 3D slope method.
void Reset3DFormats();
void ResetNumericOutputFlags();

// ---- copies used by plot windows taking or giving back their defaults --------------

void CopyPlotScaleOptions(PlotDefaults& destination, const PlotDefaults& source);
void CopyCursorColors(CursorColors& destination, const CursorColors& source);
// Grid and graph background, track colours, baseline colour, grid weight and pattern.
void CopyGridColors(PlotDefaults& destination, const PlotDefaults& source);
// Window background, select, text and select box.
void CopyAnalysisColors(PlotDefaults& destination, const PlotDefaults& source);
// The four formats and the four factor and unit texts (duplicated).
void CopyScaleFormats(PlotDefaults& destination, const PlotDefaults& source);
void FreeScaleFormats(PlotDefaults& plot);

// ---- the [Preferences] section -----------------------------------------------------

// The section routine: writes the section's rows or reads them back by the
// file's mode; returns the file's result code.
int SerializePreferences(SectionFile& file);
// Installs SerializePreferences in the settings file's section table.
void InstallPreferences();
// Hands the preferences that core services read (date and time stamps) to them;
// run after the values change.
void PublishPreferences();

// The switches of the older settings layout: bit 0 sound, 1 file warning,
// 2 quit warning, 4 floating nodes check, 6 node snap, 7 select mode, 8 show model
// page, 10 print background, 11 time stamp, 12 date stamp, 13 rubber banding,
// 14 inertial cancellation, 15 text increment (bits 3, 5 and 9 unused).
void UnpackOperationalOptions(unsigned word);
void SetInertialCancellation(bool on);
// Older files had one scale format and one value format for every plot: the
// scale formats go to all three plot kinds and the 3D scales, the value formats
// to analysis and performance plots and the 3D values (not to FFT plots).
void SetLegacyScaleFormats(const char* spec);
void SetLegacyValueFormats(const char* spec);
// Forgets the main window's saved placement (the screen size has changed).
void ClearSavedPlacement();
