// Analysis settings in the circuit file: the shared key groups of the analysis
// sections, their value translators, and the section routines for the plot
// windows, limits, stepping and Monte Carlo options of each analysis kind.
//
// Every routine writes or reads by the file's mode (SectionFile::IsReading),
// gates keys on SectionFile::targetVersion (the version being read or
// written) and works on an AnalysisSettings record. A null record means the
// circuit has no analysis data, or the caller skips it: nothing is written
// and the section is skipped. The circuit file serves these sections through
// InstallAnalysisSections.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fontspec.h"
#include "core/numbers.h"
#include "core/properties.h"

class CCirDoc;
class CCTDoc;
class CircuitFile;
class SectionFile;

// ---- records ------------------------------------------------------------------------
// These belong to the analysis subsystem; they live here until it exists and
// hold only what the circuit file stores.

inline constexpr int kAnalysisKindCount = 6;  // 0 Transient ... 5 DynamicDC
inline constexpr int kPlotKindCount = 4;      // kinds with a plot window
inline constexpr int kStepRecordCount = 20;
inline constexpr int kLimitTextCount = 8;

inline constexpr int32_t kFileVersion520 = 0x50014;
inline constexpr int32_t kFileVersion600 = 0x60000;
inline constexpr int32_t kFileVersion700 = 0x70000;
inline constexpr int32_t kFileVersion800 = 0x80000;

// Stepping record flag bits.
inline constexpr int32_t kStepLog = 0x01, kStepLinear = 0x02, kStepModel = 0x04, kStepComponent = 0x08, kStepOn = 0x10,
                         kStepSymbolic = 0x20, kStepList = 0x40, kStepVariable = 0x80;

struct StepVariable {
    char* texts[5] = {};  // "Name", "Param", "From", "To", "Value" (heap strings)
    int32_t flags = kStepLinear | kStepComponent;
    int32_t device = -1;
};

// One curve's display: colours, width, pattern, point and curve style.
struct CurveDisplay {
    int32_t lineColor = 0, textColor = 0;
    uint8_t pattern = 0;
    int32_t lineWidth = 1;
    int32_t pointStyle = kPointFilledSquares;
    int32_t curveStyle = 0;
};

// One curve's axis formats.
struct ValueFormats {
    FormatSpec valueX, valueY, scaleX, scaleY;
    char* scaleFactorX = nullptr;
    char* scaleFactorY = nullptr;
    char* scaleUnitsX = nullptr;
    char* scaleUnitsY = nullptr;
};

// One curve of an FFT or performance plot.
struct PlotRangeCurve {
    ValueFormats formats;
    CurveDisplay display;
    int32_t plotNumber = 0, aliasId = 0, enable = 1;
    int32_t autoScaleX = 1, autoScaleY = 1;
    double rangeMinX = 0, rangeMinY = 0, rangeMaxX = 0, rangeMaxY = 0;
    double gridX = 0, gridY = 0, boldX = 0, boldY = 0;
    int32_t linearX = -1, linearY = -1;
};

// The FFT parameters of one analysis kind.
struct FFTSettings {
    char* max = nullptr;
    char* min = nullptr;
    char* points = nullptr;
    int32_t includeDCHarmonic = 0;
    char* autoScaleHarmonics = nullptr;
};

// The settings of one plot window (analysis plot, FFT, performance, 3D, histogram).
struct PlotWindowSettings {
    // window group
    WindowPlacement placement;
    FontSpec font;
    FontSpec objectFont;
    uint8_t background = 0, selectColor = 0, selectBoxColor = 0;
    // title group
    char* title = nullptr;
    int32_t autoTitle = 1;
    int32_t showWindow = 1;
    int32_t previewFlag = 0;
    double previewRange[4] = {};
    // grid group
    uint8_t gridColor = 0, gridWeight = 1, gridPattern = 0;
    FontSpec trackerFont;
    uint8_t trackerBackground = 0, baselineColor = 0, graphBackground = 0;
    int32_t staticGrids = 0, plusMark = 0, minorLog25 = 0, labelMinor = 0;
    int32_t trackerIntercept = 0, trackerMouse = 0, trackerCursor = 0, horizontalCursor = 0;
    int32_t sameYScales = 0, enableXScaling = 1, enableYScaling = 1, keepXScales = 0;
    int32_t gridsX = 5, gridsY = 5;
    // cursor colour group
    uint8_t cursorPrimary = 0, cursorSecondary = 0;
    FontSpec dataLabelFont;
    uint8_t dataLabelBackground = 0;
};

// One curve row of an analysis kind's limits.
struct CurveRow {
    char plotGroup = 0;  // 'A'.. or 0 when unset
    int32_t aliasId = 0;
    char* xExpression = nullptr;
    char* yExpression = nullptr;
    char* xRange = nullptr;
    char* yRange = nullptr;
    int32_t rainbow = 0;
    uint16_t options = 0;  // kOutputFlag, kOutputLinearX, kOutputLinearY
    char* gridX = nullptr;
    char* gridY = nullptr;
    char* boldX = nullptr;
    char* boldY = nullptr;
    int32_t chartType = 0;
    int32_t showDataPoints = 0;
    char* dataPoints = nullptr;
    char* smithScaleFactor = nullptr;
    char* worksheetTitle = nullptr;
    int32_t worksheetChecked = 0, worksheetPoints = 0, worksheetSaveActual = 0;
    int32_t temperatureCase = 0, monteCarloCase = 0;
    int32_t steppingCases[20] = {};
    int32_t slopeUnit = 0;
    CurveDisplay display;
    ValueFormats formats;

    CurveRow() = default;
    ~CurveRow();
    CurveRow(const CurveRow&) = delete;
    CurveRow& operator=(const CurveRow&) = delete;
};

// A graphic object drawn on an analysis plot, in plot coordinates.
struct PlotVertex {
    int modeX = 0, modeY = 0;  // 1 "MIN", 2 "MAX", else the value
    double x = 0, y = 0;
};
struct PlotObject {
    int type = 0;  // graphic object type (1 "Line" ... 15)
    uint16_t flags = 0;
    GraphicStyle style;
    int32_t plot = -1, alias1 = 0, plot2 = -1, alias2 = 0;
    double corners[4] = {};
    double measure = 0;                // MeasureV and MeasureH
    int32_t first = 0;                 // Poly
    std::vector<PlotVertex> vertices;  // Poly
    FontSpec font;
    char* text = nullptr;

    PlotObject() = default;
    ~PlotObject();
    PlotObject(const PlotObject&) = delete;
    PlotObject& operator=(const PlotObject&) = delete;
};
using PlotObjectList = std::vector<std::unique_ptr<PlotObject>>;

// Which temperature, Monte Carlo and stepping cases a function applies to.
struct WorksheetCases {
    int32_t temperature = 0, monteCarlo = 0;
    int32_t stepping[20] = {};
};

// A performance function: one expression from 7.00; older files split it
// into a function name, its expression, a condition and numeric arguments.
struct PerformanceFunction {
    char* expression = nullptr;
    char* functionName = nullptr;  // split form, as read
    char* argument = nullptr;
    char* condition = nullptr;
    double args[3] = {};
    int argCount = 0;  // numeric arguments read
    int32_t xData = 0, zData = 0;
};

// A curve of an FFT or performance window.
struct WindowCurve {
    PlotRangeCurve range;
    char* expression = nullptr;    // FFT curves
    int32_t quantity = 1;          // FFT: 0 Mag, 1 dB, 2 Phase, 3 Real, 4 IMag
    PerformanceFunction function;  // performance curves
    WorksheetCases cases;

    WindowCurve() = default;
    ~WindowCurve();
    WindowCurve(const WindowCurve&) = delete;
    WindowCurve& operator=(const WindowCurve&) = delete;
};

enum AnalysisWindowType : int { kWindowFFT = 0, kWindowPerformance, kWindow3D, kWindowMonteCarlo };

// An FFT, performance, 3D or Monte Carlo histogram window of one analysis kind.
struct AnalysisWindow {
    int type = kWindowPerformance;
    PlotWindowSettings window;
    int32_t options = 0;
    FFTSettings fft;
    std::vector<std::unique_ptr<WindowCurve>> curves;
    PlotObjectList objects;
    PerformanceFunction function;  // 3D: the Z function; histogram: its function
    WorksheetCases cases;
    char* expression = nullptr;  // 3D
    // 3D plot
    uint8_t wireGridColor = 0, gridColor3D = 0, backgroundX = 0, backgroundY = 0, backgroundZ = 0;
    int32_t colorMode = 0;
    int32_t isolines = 0, axisBackground = 0, grid = 0, axes = 0, scales = 0, contour = 0, flashCursor = 0;
    int32_t patchesX = 0, patchesZ = 0;
    double rotation[3] = {};
    int32_t zIsPerformance = 0;
    FormatSpec valueFormats[3], scaleFormats[3];
    int32_t slopeUnit = 0, minorLog25 = 0;
    // Monte Carlo histogram
    uint8_t histBackground = 0, histGrid = 0, histFore = 0, histShadow = 0;
    int32_t intervals = 11;
    FormatSpec histFormat;
    int32_t autoScale = 1;
    char* gridSpacing = nullptr;
    char* rangeLow = nullptr;
    char* rangeHigh = nullptr;

    AnalysisWindow() = default;
    ~AnalysisWindow();
    AnalysisWindow(const AnalysisWindow&) = delete;
    AnalysisWindow& operator=(const AnalysisWindow&) = delete;
};

// Everything one analysis kind stores in the circuit file.
struct AnalysisKindSettings {
    int32_t present = 0;
    PlotWindowSettings window;
    WindowPlacement probePlacement;
    FFTSettings fft;
    int32_t printerAutoTile = 0, printerBlackBorder = 0;
    int32_t monitor[6] = {};  // row count and five column widths
    int32_t animateWait = 0, animateWaitTime = 0;
    int32_t thumbnail[4] = {};
    int32_t saveForFuture = 0, reduceDisplay = 0, reduceSave = 0;
    char* numOutHeaders[3] = {};
    uint8_t numOutDelimiter = 0;
    int32_t numOutWrite[7] = {};
    FontSpec numOutFont;
    char* userFileName = nullptr;
    // limits
    char* limits[kLimitTextCount] = {};  // by the kind's key table
    int32_t sweepType = 0, sweep2Type = 0, ampMethod = 0;
    int32_t optionWord = 0, stateVariable = 0, runOption = 0, waveformSelect = 0;
    int32_t temperatureType = 1;
    int32_t firstDisplay = 0, secondDisplay = 0, placeText = 0;
    int32_t textGrid[2] = {-1, -1};
    // stepping
    StepVariable steps[kStepRecordCount];
    int32_t simultaneous = 0;
    // Monte Carlo options
    int32_t mcOptions = 0, mcZeroTolerance = 0;
    char* mcRuns = nullptr;
    char* mcSeed = nullptr;
    char* mcPerformance = nullptr;
    // curve rows, in row order
    std::vector<std::unique_ptr<CurveRow>> curves;
    // the expressions of the kind's watch window, in order
    std::vector<std::string> watch;
    // graphic objects of the kind's plot window
    PlotObjectList objects;
    // FFT, performance, 3D and histogram windows, each list in window order
    std::vector<std::unique_ptr<AnalysisWindow>> windows;
};

struct AnalysisSettings {
    AnalysisKindSettings kinds[kAnalysisKindCount];
    // Reading: the window of each type the following curve sections belong to.
    AnalysisWindow* lastWindow[4] = {};
    // Reading: the window the following AObject sections belong to.
    PlotObjectList* objectTarget = nullptr;

    AnalysisSettings() = default;
    ~AnalysisSettings();
    AnalysisSettings(const AnalysisSettings&) = delete;
    AnalysisSettings& operator=(const AnalysisSettings&) = delete;
};

// The Monte Carlo option word bit that switches Monte Carlo on.
inline constexpr int32_t kMonteCarloOn = 0x1000;

// ---- property rows ----------------------------------------------------------------------

inline constexpr int kMaxAnalysisRows = 120;

// The row array a section builds from the groups below.
struct AnalysisRows {
    PropertyEntry rows[kMaxAnalysisRows];
    int count = 0;
    void Add(const char* key, void* value, int kind);
};

// Key groups. `documentKind` 5 is an analysis plot document, whose older files
// used other key names; `modeWord` 5 leaves the window toggles out.
void AddWindowGroup(SectionFile& file, PlotWindowSettings& window, int documentKind, AnalysisRows& rows);
void AddTitleGroup(SectionFile& file, PlotWindowSettings& window, int modeWord, RangeRef& previewRef,
                   AnalysisRows& rows);
void AddCurveDisplayGroup(SectionFile& file, CurveDisplay& display, AnalysisRows& rows);
void AddValueFormatGroup(SectionFile& file, ValueFormats& formats, AnalysisRows& rows);
void AddPlotRangeGroup(SectionFile& file, PlotRangeCurve& curve, AnalysisRows& rows);
void AddGridGroup(SectionFile& file, PlotWindowSettings& window, int documentKind, int32_t& scaleColorOn,
                  AnalysisRows& rows);
void AddCursorColorGroup(SectionFile& file, PlotWindowSettings& window, AnalysisRows& rows);
void AddFFTParameterGroup(SectionFile& file, FFTSettings& fft, int analysisKind, AnalysisRows& rows);

void AddPerformanceFunctionGroup(SectionFile& file, PerformanceFunction& function, bool monteCarlo, AnalysisRows& rows);
// `monteCarlo` owners keep only the temperature case. (The limits' curve rows
// use the same cases under "WSP " names.)
void AddWorksheetCaseRows(SectionFile& file, WorksheetCases& cases, bool monteCarlo, AnalysisRows& rows);
void AddHistogramGroup(SectionFile& file, AnalysisWindow& window, RangeRef& previewRef, AnalysisRows& rows);
// The call text of a split performance function: "Name(expression,condition,args)".
void AssemblePerformanceFunction(PerformanceFunction& function);

// ---- translators --------------------------------------------------------------------

// 0 "None" (or "Auto" with `zeroIsAuto`), 1 "Linear", 2 "Log", 3 "List", others "".
const char* SteppingMethodName(int method, bool zeroIsAuto);
int ParseSteppingMethod(const char* name);   // unknown names 0
const char* TemperatureTypeName(int type);   // 0 Linear, 2 Log, else List
int ParseTemperatureType(const char* name);  // unknown names 1
// "None", "0" and "" count as unset.
bool IsSetText(const char* text);
// "MIN" mode 1, "MAX" mode 2, else mode 0 and the number.
void ParseMinMaxField(const char* text, int* mode, double* value);
void FormatMinMaxField(char* buffer, size_t size, int mode, double value);
const char* SteppingTargetName(int32_t flags);  // first of Model, Component, Symbolic, Variable
int32_t ParseSteppingTarget(const char* name);
// Packs state-variable mode, run option and (row 1) waveform selection into an
// option word of files before 8.00; unpacking removes the packed bits.
int32_t PackOptionWord(int32_t word, int stateVariable, int runOption, int waveformSelect, bool firstRow);
int32_t UnpackOptionWord(int32_t word, int* stateVariable, int* runOption, int* waveformSelect, bool firstRow);
// The number format key of watch and optimizer sections.
void WriteNumberFormatKey(SectionFile& file, const char* key, const char* format);

// The kind whose stepping has the most active records (lowest index on ties).
int MostSteppedKind(const AnalysisSettings& settings);
// Files of 5.20 and older kept one stepping panel for every analysis.
void CopyTransientStepping(AnalysisSettings& settings);

// ---- sections ----------------------------------------------------------------------------
// Writing: every section of the kind(s) the version stores, headers included.
// Reading: the key lines of the section whose header was just read.

// "Transient", "AC", "DC", "Distortion": the plot window of one kind (0-3).
int SerializePlotWindowSection(SectionFile& file, AnalysisSettings* settings, int kind);
int SerializeLimitsSection(SectionFile& file, AnalysisSettings* settings);
int SerializeSteppingSection(SectionFile& file, AnalysisSettings* settings);
int SerializeMonteCarloOptionsSection(SectionFile& file, AnalysisSettings* settings);
// "Analysis": the combined plot window settings of files before 8.00.
int SerializeAnalysisSection(SectionFile& file, AnalysisSettings* settings);
// "FFT", "Performance", "Graph 3D", "Monte Carlo": writing, every window of
// the type; reading, one new window of the kind its "Analysis" names.
int SerializeAnalysisWindowSection(SectionFile& file, AnalysisSettings* settings, int type);
// "FFT WaveForm", "Performance WaveForm": writing is done by the window
// section; reading adds a curve to the last window of the type read.
int SerializeWindowCurveSection(SectionFile& file, AnalysisSettings* settings, int type);
// "AObject" on a circuit file (the style keys are the schematic objects');
// writing: the objects of one list, with "Analysis" = `kind` unless -1;
// reading: one object, added to the window read last or to the plot of the
// kind its "Analysis" names.
int WritePlotObjects(CircuitFile& file, PlotObjectList& objects, int kind);
int ReadPlotObject(CircuitFile& file, AnalysisSettings* settings);
// An object without a visible border gets one (see the body).
void RepairPlotObjectColors(PlotObject& object, int32_t version);
// Writing: the curve rows of one kind (called after that kind's Limits).
// Reading: one row, added to the kind its "Analysis" names.
int SerializeWaveFormSection(SectionFile& file, AnalysisSettings* settings, int kind);

// The circuit's analysis data; made by the first analysis section read.
AnalysisSettings* CircuitAnalysisSettings(CCTDoc* document);
// The same, made empty when the document has none yet (SPICE texts read their
// limits from statements); null for a null document or when out of memory.
// Made with the window colours of the defaults for new circuits.
AnalysisSettings* EnsureAnalysisSettings(CCTDoc* document);
// The default style of the curve row at `index` of its kind: the colours,
// width, pattern and point style of default waveform index mod 10.
void SetDefaultCurveStyle(CurveRow& row, int index);
void FreeAnalysisSettings(CCTDoc* document);
// Serves the sections above on circuit files; the analysis sections not
// listed here stay with the kept-text mechanism until their owners exist.
void InstallAnalysisSections();
// The version repairs after all sections of a file are read.
void RepairAnalysisSettings(CircuitFile& file);

// Repairs of the read pass.
void ConvertOldDCLimits(AnalysisSettings& settings);  // 5.20 files: "I2=None"
// Files up to 6.00 kept no grid spacing: a fixed range with its grid flag
// gets one from the range width and the kind's grid count.
void FillOldGridSpacing(AnalysisSettings& settings);
// Stepping records without a target get Component, without a method Linear.
void ApplySteppingDefaults(AnalysisSettings& settings);
