// Analysis settings sections of the circuit file and their shared key groups.
#include "document/cfanalysis.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/chars.h"
#include "core/memory.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "document/cfsections.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "shell/preferences.h"

#include <new>

// ---- records --------------------------------------------------------------------------

static void cfa_FreeFFT(FFTSettings& fft) {
    FreeString(&fft.max);
    FreeString(&fft.min);
    FreeString(&fft.points);
    FreeString(&fft.autoScaleHarmonics);
}

PlotObject::~PlotObject() { FreeString(&text); }

CurveRow::~CurveRow() {
    for (char** field :
         {&xExpression, &yExpression, &xRange, &yRange, &gridX, &gridY, &boldX, &boldY, &dataPoints, &smithScaleFactor,
          &worksheetTitle, &formats.scaleFactorX, &formats.scaleFactorY, &formats.scaleUnitsX, &formats.scaleUnitsY})
        FreeString(field);
}

static void cfa_FreeFunction(PerformanceFunction& function) {
    FreeString(&function.expression);
    FreeString(&function.functionName);
    FreeString(&function.argument);
    FreeString(&function.condition);
}

static void cfa_FreeFormats(ValueFormats& formats) {
    FreeString(&formats.scaleFactorX);
    FreeString(&formats.scaleFactorY);
    FreeString(&formats.scaleUnitsX);
    FreeString(&formats.scaleUnitsY);
}

WindowCurve::~WindowCurve() {
    cfa_FreeFormats(range.formats);
    FreeString(&expression);
    cfa_FreeFunction(function);
}

AnalysisWindow::~AnalysisWindow() {
    FreeString(&window.title);
    cfa_FreeFFT(fft);
    cfa_FreeFunction(function);
    FreeString(&expression);
    FreeString(&gridSpacing);
    FreeString(&rangeLow);
    FreeString(&rangeHigh);
}

AnalysisSettings::~AnalysisSettings() {
    for (AnalysisKindSettings& kind : kinds) {
        FreeString(&kind.window.title);
        cfa_FreeFFT(kind.fft);
        for (char*& header : kind.numOutHeaders) FreeString(&header);
        FreeString(&kind.userFileName);
        for (char*& text : kind.limits) FreeString(&text);
        for (StepVariable& step : kind.steps)
            for (char*& text : step.texts) FreeString(&text);
        FreeString(&kind.mcRuns);
        FreeString(&kind.mcSeed);
        FreeString(&kind.mcPerformance);
    }
}

void AnalysisRows::Add(const char* key, void* value, int kind) {
    // The tables are sized for the largest section; a row beyond that would
    // write past the array, so it is dropped instead.
    if (count >= kMaxAnalysisRows) return;
    rows[count++] = PropertyEntry{key, 0, value, kind};
}

static bool cfa_Empty(const char* text) { return text == nullptr || text[0] == 0; }

static const char* cfa_SteppingCaseKey(int index, bool curveRow);
static int cfa_FindName(const char* const* names, int count, const char* name);

// ---- key groups -------------------------------------------------------------------------

void AddWindowGroup(SectionFile& file, PlotWindowSettings& window, int documentKind, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    const bool oldPlot = documentKind == 5 && version < kFileVersion800;
    rows.Add("Window Placement", &window.placement, kPropPlacement);
    rows.Add(oldPlot ? "Analysis Text" : "Font", &window.font, kPropFont);
    if (version < kFileVersion800)
        rows.Add(documentKind == 5 ? "Object Default" : "Object Default Font", &window.objectFont, kPropFont);
    rows.Add(oldPlot ? "Analysis Window Background" : "WinBackGround Color", &window.background, kPropColor8);
    if (reading && version >= kFileVersion600) {
        rows.Add("Select Color", &window.selectColor, kPropColor8);
        rows.Add("Select Box Color", &window.selectBoxColor, kPropColor8);
    }
}

void AddTitleGroup(SectionFile& file, PlotWindowSettings& window, int modeWord, RangeRef& previewRef,
                   AnalysisRows& rows) {
    const bool reading = file.IsReading();
    rows.Add("Title", &window.title, kPropString);
    rows.Add("AutoTitle", &window.autoTitle, kPropYesNo);
    if (modeWord == 5) return;
    if (reading || file.targetVersion >= kFileVersion800) rows.Add("ShowWin", &window.showWindow, kPropTrueFalse);
    previewRef.flag = &window.previewFlag;
    previewRef.values = window.previewRange;
    rows.Add("PrintPreview", &previewRef, kPropRange);
}

void AddCurveDisplayGroup(SectionFile& file, CurveDisplay& display, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    if (reading || version >= kFileVersion800) {
        rows.Add("DPS", &display.pointStyle, kPropPointStyle);
        rows.Add("CS", &display.curveStyle, kPropCurveKind);
    }
    if (reading || version >= kFileVersion600) {
        if (reading || display.lineColor > 0) rows.Add("Line Color", &display.lineColor, kPropColor32);
        if (reading || display.textColor > 0) rows.Add("Text Color", &display.textColor, kPropColor32);
    }
    if ((reading || version < kFileVersion600) && (reading || display.lineColor > 0))
        rows.Add("Color", &display.lineColor, kPropColor32);
    if (reading || version >= kFileVersion600) rows.Add("Pattern", &display.pattern, kPropPattern);
    if (reading || display.lineWidth > 1) rows.Add("LWdth", &display.lineWidth, kPropInt);
}

void AddValueFormatGroup(SectionFile& file, ValueFormats& formats, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    rows.Add("VFmtX", &formats.valueX, kPropFormat);
    rows.Add("VFmtY", &formats.valueY, kPropFormat);
    if (reading || file.targetVersion >= kFileVersion800) {
        rows.Add("ScaleFactorX", &formats.scaleFactorX, kPropQuoted);
        rows.Add("ScaleFactorY", &formats.scaleFactorY, kPropQuoted);
        rows.Add("ScaleUnitsX", &formats.scaleUnitsX, kPropQuoted);
        rows.Add("ScaleUnitsY", &formats.scaleUnitsY, kPropQuoted);
    }
    if (reading || formats.scaleX.text[0] != 0) rows.Add("SFmtX", &formats.scaleX, kPropFormat);
    if (reading || formats.scaleY.text[0] != 0) rows.Add("SFmtY", &formats.scaleY, kPropFormat);
}

void AddPlotRangeGroup(SectionFile& file, PlotRangeCurve& curve, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const bool from700 = file.targetVersion >= kFileVersion700;
    AddValueFormatGroup(file, curve.formats, rows);
    AddCurveDisplayGroup(file, curve.display, rows);
    if (reading || curve.plotNumber != 0) rows.Add("PlotNum", &curve.plotNumber, kPropInt);
    if (reading || from700) rows.Add("AliasID", &curve.aliasId, kPropInt);
    rows.Add("Enable", &curve.enable, kPropInt);
    rows.Add("Auto Scale X", &curve.autoScaleX, kPropYesNo);
    rows.Add("Auto Scale Y", &curve.autoScaleY, kPropYesNo);
    rows.Add("Range Min X", &curve.rangeMinX, kPropDouble);
    rows.Add("Range Min Y", &curve.rangeMinY, kPropDouble);
    rows.Add("Range Max X", &curve.rangeMaxX, kPropDouble);
    rows.Add("Range Max Y", &curve.rangeMaxY, kPropDouble);
    if (reading || from700) {
        rows.Add("Range Grid X", &curve.gridX, kPropDouble);
        rows.Add("Range Grid Y", &curve.gridY, kPropDouble);
        rows.Add("Range Bold X", &curve.boldX, kPropDouble);
        rows.Add("Range Bold Y", &curve.boldY, kPropDouble);
    }
    if (reading || (from700 && curve.linearX != -1)) rows.Add("LinearX", &curve.linearX, kPropTrueFalse);
    if (reading || (from700 && curve.linearY != -1)) rows.Add("LinearY", &curve.linearY, kPropTrueFalse);
}

void AddGridGroup(SectionFile& file, PlotWindowSettings& window, int documentKind, int32_t& scaleColorOn,
                  AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    const bool oldPlot = documentKind == 5 && version < kFileVersion800;
    rows.Add(oldPlot ? "Analysis Grid Color" : "Grid Color", &window.gridColor, kPropColor8);
    if (reading || version >= kFileVersion700) {
        rows.Add("Grid Weight", &window.gridWeight, kPropSmallCount);
        rows.Add("Grid Pattern", &window.gridPattern, kPropPattern);
        rows.Add("Tracker Foreground", &window.trackerFont, kPropFont);
        rows.Add("Tracker Background", &window.trackerBackground, kPropColor8);
        rows.Add("Baseline color", &window.baselineColor, kPropColor8);
        rows.Add("Static Grids", &window.staticGrids, kPropTrueFalse);
        if (reading || window.plusMark != 0) rows.Add("PlusMark", &window.plusMark, kPropTrueFalse);
    }
    if (reading || version >= kFileVersion800) {
        rows.Add("MinorLog25", &window.minorLog25, kPropOnOff);
        rows.Add("LabelMinor", &window.labelMinor, kPropOnOff);
    }
    rows.Add(oldPlot ? "Analysis Graph Background" : "Graph Background", &window.graphBackground, kPropColor8);
    if (reading || version >= kFileVersion600) {
        rows.Add("Tracker Intercept", &window.trackerIntercept, kPropTrueFalse);
        rows.Add("Tracker Mouse", &window.trackerMouse, kPropTrueFalse);
        rows.Add("Tracker Cursor", &window.trackerCursor, kPropTrueFalse);
        rows.Add("Horizontal Cursor", &window.horizontalCursor, kPropTrueFalse);
    }
    if (!reading && version < kFileVersion800) {
        scaleColorOn = 1;
        rows.Add("ScaleColor", &scaleColorOn, kPropOnOff);
    }
    rows.Add("Same Y Scales", &window.sameYScales, kPropYesNo);
    if (reading || version >= kFileVersion800) {
        rows.Add("Enable X Scaling", &window.enableXScaling, kPropTrueFalse);
        rows.Add("Enable Y Scaling", &window.enableYScaling, kPropTrueFalse);
        rows.Add("Keep X Scales The Same", &window.keepXScales, kPropTrueFalse);
        rows.Add("Number of Grids X", &window.gridsX, kPropInt);
        rows.Add("Number of Grids Y", &window.gridsY, kPropInt);
    }
}

void AddCursorColorGroup(SectionFile& file, PlotWindowSettings& window, AnalysisRows& rows) {
    rows.Add("Cursor Select Color Primary", &window.cursorPrimary, kPropColor8);
    rows.Add("Cursor Select Color Secondary", &window.cursorSecondary, kPropColor8);
    if (file.IsReading() || file.targetVersion >= kFileVersion700) {
        rows.Add("Data Point Labels Color Fore", &window.dataLabelFont, kPropFont);
        rows.Add("Data Point Labels Color Back", &window.dataLabelBackground, kPropColor8);
    }
}

// A limit text that only repeats the kind's default is not stored.
static bool cfa_WritesFFTLimit(const char* text, const char* defaultText) {
    if (cfa_Empty(text)) return false;
    return defaultText == nullptr || CompareNoCase(text, defaultText) != 0;
}

void AddFFTParameterGroup(SectionFile& file, FFTSettings& fft, int analysisKind, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const bool ac = analysisKind == 1;
    if (reading || cfa_WritesFFTLimit(fft.max, ac ? "FMAX" : "TMAX")) rows.Add("FFT_Max", &fft.max, kPropQuoted);
    if (reading || (!ac && cfa_WritesFFTLimit(fft.min, "TMIN"))) rows.Add("FFT_Min", &fft.min, kPropQuoted);
    if (reading || !cfa_Empty(fft.points)) rows.Add("FFT_NPts", &fft.points, kPropQuoted);
    rows.Add("FFT_IncludeDCHarmonic", &fft.includeDCHarmonic, kPropTrueFalse);
    rows.Add("FFT_AutoScale_Harmonics", &fft.autoScaleHarmonics, kPropQuoted);
}

void AddPerformanceFunctionGroup(SectionFile& file, PerformanceFunction& function, bool monteCarlo,
                                 AnalysisRows& rows) {
    const bool reading = file.IsReading();
    if (reading) {
        rows.Add("PMExpression", &function.expression, kPropString);
        rows.Add("Function", &function.functionName, kPropString);
        rows.Add("Expression", &function.argument, kPropString);
        rows.Add("Boolean", &function.condition, kPropString);
        static const char* const argKeys[3] = {"Arg 0", "Arg 1", "Arg 2"};
        for (int i = 0; i < 3; ++i) rows.Add(argKeys[i], &function.args[i], kPropDouble);
    } else if (file.targetVersion >= kFileVersion700) {
        rows.Add("PMExpression", &function.expression, kPropString);
    }
    // Not yet built: writing the split form of files before 7.00 needs the
    // performance function table of the performance windows; until it exists
    // nothing of the split is written.
    if (!monteCarlo) {
        rows.Add("XData", &function.xData, kPropInt);
        rows.Add("ZData", &function.zData, kPropInt);
    }
}

void AssemblePerformanceFunction(PerformanceFunction& function) {
    if (cfa_Empty(function.functionName)) return;
    std::string text = function.functionName;
    text += '(';
    text += function.argument != nullptr ? function.argument : "";
    if (!cfa_Empty(function.condition)) {
        text += ',';
        text += function.condition;
    }
    for (int i = 0; i < function.argCount && i < 3; ++i) {
        char number[40];
        FormatBounded(number, sizeof number, ",%g", function.args[i]);
        text += number;
    }
    text += ')';
    SetString(&function.expression, text.c_str());
}

void AddWorksheetCaseRows(SectionFile& file, WorksheetCases& cases, bool monteCarlo, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    if (reading || cases.temperature) rows.Add("TempCase", &cases.temperature, kPropCountOrAll);
    if (monteCarlo) return;
    if (reading || cases.monteCarlo) rows.Add("MCCase", &cases.monteCarlo, kPropCountOrAll);
    const int count = reading || file.targetVersion >= kFileVersion700 ? 20 : 10;
    for (int i = 0; i < count; ++i)
        if (reading || cases.stepping[i]) rows.Add(cfa_SteppingCaseKey(i, false), &cases.stepping[i], kPropCountOrAll);
}

void AddHistogramGroup(SectionFile& file, AnalysisWindow& window, RangeRef& previewRef, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    AddWindowGroup(file, window.window, 0, rows);
    AddTitleGroup(file, window.window, 0, previewRef, rows);
    rows.Add("BackGroundColor", &window.histBackground, kPropColor8);
    rows.Add("Grid Color", &window.histGrid, kPropColor8);
    rows.Add("Fore Color", &window.histFore, kPropColor8);
    rows.Add("Shadow Color", &window.histShadow, kPropColor8);
    if (!reading && file.targetVersion < kFileVersion800) {
        // Older readers expect the fixed interval count.
        window.intervals = 11;
        rows.Add("Intervals", &window.intervals, kPropInt);
        rows.Add("Format", &window.histFormat, kPropFormat);
    } else if (!reading && window.autoScale) {
        rows.Add("Auto", &window.autoScale, kPropTrueFalse);
        rows.Add("Format", &window.histFormat, kPropFormat);
    } else {
        rows.Add("GridSpacing", &window.gridSpacing, kPropQuoted);
        rows.Add("RangeLow", &window.rangeLow, kPropQuoted);
        rows.Add("RangeHigh", &window.rangeHigh, kPropQuoted);
        rows.Add("Auto", &window.autoScale, kPropTrueFalse);
        rows.Add("Format", &window.histFormat, kPropFormat);
    }
}

// ---- translators --------------------------------------------------------------------------

const char* SteppingMethodName(int method, bool zeroIsAuto) {
    switch (method) {
    case 0: return zeroIsAuto ? "Auto" : "None";
    case 1: return "Linear";
    case 2: return "Log";
    case 3: return "List";
    default: return "";
    }
}

int ParseSteppingMethod(const char* name) {
    if (name == nullptr) return 0;
    if (CompareNoCase(name, "Linear") == 0) return 1;
    if (CompareNoCase(name, "Log") == 0) return 2;
    if (CompareNoCase(name, "List") == 0) return 3;
    return 0;
}

const char* TemperatureTypeName(int type) {
    if (type == 0) return "Linear";
    if (type == 2) return "Log";
    return "List";
}

int ParseTemperatureType(const char* name) {
    if (name == nullptr) return 1;
    if (CompareNoCase(name, "LINEAR") == 0) return 0;
    if (CompareNoCase(name, "LOG") == 0) return 2;
    return 1;
}

bool IsSetText(const char* text) {
    return !cfa_Empty(text) && strcmp(text, "0") != 0 && CompareNoCase(text, "None") != 0;
}

void ParseMinMaxField(const char* text, int* mode, double* value) {
    if (text != nullptr && CompareNoCase(text, "MIN") == 0) {
        *mode = 1;
        *value = 0;
    } else if (text != nullptr && CompareNoCase(text, "MAX") == 0) {
        *mode = 2;
        *value = 0;
    } else {
        int error = 0;
        *mode = 0;
        *value = ParseNumber(text != nullptr ? text : "", &error);
    }
}

void FormatMinMaxField(char* buffer, size_t size, int mode, double value) {
    if (mode == 1)
        CopyTextBounded(buffer, "MIN", size);
    else if (mode == 2)
        CopyTextBounded(buffer, "MAX", size);
    else
        FormatNumber(buffer, size, value, 10, 'G', 0);
}

const char* SteppingTargetName(int32_t flags) {
    if (flags & kStepModel) return "Model";
    if (flags & kStepComponent) return "Component";
    if (flags & kStepSymbolic) return "Symbolic";
    if (flags & kStepVariable) return "Variable";
    return "";
}

int32_t ParseSteppingTarget(const char* name) {
    if (name == nullptr) return 0;
    if (CompareNoCase(name, "Model") == 0) return kStepModel;
    if (CompareNoCase(name, "Component") == 0) return kStepComponent;
    if (CompareNoCase(name, "Symbolic") == 0) return kStepSymbolic;
    if (CompareNoCase(name, "Variable") == 0) return kStepVariable;
    return 0;
}

int32_t PackOptionWord(int32_t word, int stateVariable, int runOption, int waveformSelect, bool firstRow) {
    if (stateVariable == 1)
        word |= 0x400;
    else if (stateVariable == 2)
        word |= 0x800;
    if (runOption == 1)
        word |= 0x100;
    else if (runOption == 2)
        word |= 0x200;
    if (firstRow && waveformSelect >= 1 && waveformSelect <= 3) word |= waveformSelect << 12;
    return word;
}

int32_t UnpackOptionWord(int32_t word, int* stateVariable, int* runOption, int* waveformSelect, bool firstRow) {
    *stateVariable = (word & 0x400) ? 1 : (word & 0x800) ? 2 : 0;
    *runOption = (word & 0x100) ? 1 : (word & 0x200) ? 2 : 0;
    word &= ~0xF00;
    if (firstRow) {
        *waveformSelect = (word & 0x3000) >> 12;
        word &= ~0x3000;
    }
    return word;
}

void WriteNumberFormatKey(SectionFile& file, const char* key, const char* format) {
    if (cfa_Empty(format)) return;
    if (file.targetVersion > kFileVersion520 ||
        (strpbrk(format, "Ee") != nullptr && strpbrk(format, "Gg") == nullptr)) {
        file.WriteKey(key, format);
        return;
    }
    char text[32];
    FormatBounded(text, sizeof text, "5.%d", atoi(format));
    file.WriteKey(key, text);
}

int MostSteppedKind(const AnalysisSettings& settings) {
    int best = 0;
    int bestCount = -1;
    for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
        int count = 0;
        for (const StepVariable& step : settings.kinds[kind].steps)
            if (step.flags & kStepOn) ++count;
        if (count > bestCount) {
            best = kind;
            bestCount = count;
        }
    }
    return best;
}

void CopyTransientStepping(AnalysisSettings& settings) {
    const AnalysisKindSettings& source = settings.kinds[0];
    for (int kind = 1; kind <= 3; ++kind) {
        AnalysisKindSettings& target = settings.kinds[kind];
        target.simultaneous = source.simultaneous;
        for (int i = 0; i < kStepRecordCount; ++i) {
            for (int t = 0; t < 5; ++t) SetString(&target.steps[i].texts[t], source.steps[i].texts[t]);
            target.steps[i].flags = source.steps[i].flags;
        }
    }
}

// ---- section reading ------------------------------------------------------------------------

// The key lines of the section just found, up to the next header (which becomes
// the current section). `handle` gets the upper-cased key and the value.
template <typename Handler>
static int cfa_ReadLines(SectionFile& file, Handler handle) {
    char* key = nullptr;
    char* value = nullptr;
    while (file.ReadKeyLine(key, value)) {
        if (int result = handle(key, value)) return result;
    }
    return file.error;
}

static int cfa_SkipWhenReading(SectionFile& file) {
    return file.IsReading() ? cfa_ReadLines(file, [](char*, char*) { return 0; }) : 0;
}

// ---- plot window sections -------------------------------------------------------------------

static const char* const cfa_PlotSectionNames[kPlotKindCount] = {"Transient", "AC", "DC", "Distortion"};

static void cfa_RenumberGridPatterns(PlotWindowSettings& window) {
    if (window.gridWeight == 1 && window.gridPattern >= 1 && window.gridPattern <= 4)
        window.gridPattern = static_cast<uint8_t>(window.gridPattern + 5);
}

int SerializePlotWindowSection(SectionFile& file, AnalysisSettings* settings, int kind) {
    if (settings == nullptr || kind < 0 || kind >= kPlotKindCount) return cfa_SkipWhenReading(file);
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    AnalysisKindSettings& k = settings->kinds[kind];
    PlotWindowSettings& w = k.window;
    if (kind == 3 && version < kFileVersion800) return cfa_SkipWhenReading(file);
    if (!reading && version >= kFileVersion800 && !k.present) return 0;

    AnalysisRows rows;
    RangeRef preview{};
    int32_t scaleColor = 1;
    if (version < kFileVersion800) {
        if (reading || !w.autoTitle) rows.Add("Title", &w.title, kPropString);
        rows.Add("AutoTitle", &w.autoTitle, kPropYesNo);
        rows.Add("Grid Weight", &w.gridWeight, kPropSmallCount);
        rows.Add("Grid Pattern", &w.gridPattern, kPropPattern);
        rows.Add("Static Grids", &w.staticGrids, kPropTrueFalse);
    } else {
        AddWindowGroup(file, w, 5, rows);
        rows.Add("Window Placement in Probe", &k.probePlacement, kPropPlacement);
        AddTitleGroup(file, w, 0, preview, rows);
        AddGridGroup(file, w, 5, scaleColor, rows);
        AddCursorColorGroup(file, w, rows);
        if (kind != 2) AddFFTParameterGroup(file, k.fft, kind, rows);
        rows.Add("PrinterAutoTile", &k.printerAutoTile, kPropYesNo);
        rows.Add("PrinterBlackBorder", &k.printerBlackBorder, kPropYesNo);
        static const char* const monitorKeys[6] = {"MonMaxShow",    "MonPlotWidth",   "MonExprXWidth",
                                                   "MonExprYWidth", "MonRangeXWidth", "MonRangeYWidth"};
        for (int i = 0; i < 6; ++i)
            if (reading || k.monitor[i] > 0) rows.Add(monitorKeys[i], &k.monitor[i], kPropInt);
        rows.Add("AnimateWait", &k.animateWait, kPropInt);
        rows.Add("AnimateWaitTime", &k.animateWaitTime, kPropInt);
        if (reading || k.thumbnail[0] || k.thumbnail[1] || k.thumbnail[2] || k.thumbnail[3])
            rows.Add("ThumbNail", k.thumbnail, kPropRect);
        rows.Add("Save_For_Future", &k.saveForFuture, kPropYesNo);
        rows.Add("Reduce_Display", &k.reduceDisplay, kPropInt);
        rows.Add("Reduce_Save", &k.reduceSave, kPropInt);
        rows.Add("Num Out Header Left", &k.numOutHeaders[0], kPropQuoted);
        rows.Add("Num Out Header Center", &k.numOutHeaders[1], kPropQuoted);
        rows.Add("Num Out Header Right", &k.numOutHeaders[2], kPropQuoted);
        rows.Add("Num Out Delimiter", &k.numOutDelimiter, kPropByte);
        static const char* const writeKeys[7] = {"Num Out Write",
                                                 "Num Out Write Models",
                                                 "Num Out Write Zero Models",
                                                 "Num Out Write Undefined Models",
                                                 "Num Out Write Limits",
                                                 "Num Out Write Values",
                                                 "Num Out Write Operating Point"};
        for (int i = 0; i < 7; ++i) rows.Add(writeKeys[i], &k.numOutWrite[i], kPropTrueFalse);
        rows.Add("Num Out Font", &k.numOutFont, kPropFont);
        if (reading || !cfa_Empty(k.userFileName)) rows.Add("UserFileName", &k.userFileName, kPropQuoted);
    }
    int result = SerializeSection(file, cfa_PlotSectionNames[kind], rows.rows, rows.count);
    if (!reading && version >= kFileVersion800)
        if (CircuitFile* circuit = dynamic_cast<CircuitFile*>(&file)) WritePlotObjects(*circuit, k.objects, kind);
    if (reading) {
        settings->objectTarget = &k.objects;
        k.present = 1;
        if (w.gridsX < 2) w.gridsX = 2;
        if (w.gridsY < 2) w.gridsY = 2;
        if (version < kFileVersion800) cfa_RenumberGridPatterns(w);
    }
    return result;
}

// ---- Analysis (files before 8.00) ----------------------------------------------------------

// The window settings of the transient plot, handed to the other kinds by old
// files. `ownSection` kinds had their own section with title and grid style,
// which must not be overwritten by the transient's.
static void cfa_CopyWindowSettings(PlotWindowSettings& target, const PlotWindowSettings& source, bool ownSection) {
    char* title = target.title;
    const int32_t autoTitle = target.autoTitle;
    const uint8_t weight = target.gridWeight, pattern = target.gridPattern;
    const int32_t staticGrids = target.staticGrids;
    const int32_t previewFlag = target.previewFlag;
    double preview[4];
    memcpy(preview, target.previewRange, sizeof preview);
    target = source;  // plain fields; the title is owned per window
    target.title = title;
    target.previewFlag = previewFlag;
    memcpy(target.previewRange, preview, sizeof preview);
    if (ownSection) {
        target.autoTitle = autoTitle;
        target.gridWeight = weight;
        target.gridPattern = pattern;
        target.staticGrids = staticGrids;
    } else {
        SetString(&target.title, source.title);
        cfa_RenumberGridPatterns(target);
    }
}

int SerializeAnalysisSection(SectionFile& file, AnalysisSettings* settings) {
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    if (settings == nullptr || version >= kFileVersion800) return cfa_SkipWhenReading(file);
    AnalysisKindSettings& tran = settings->kinds[0];
    AnalysisRows rows;
    RangeRef preview{};
    int32_t scaleColor = 1;
    if (reading || version >= kFileVersion600) {
        rows.Add("Window Placement in Probe", &tran.probePlacement, kPropPlacement);
        rows.Add("Num Out Header Left", &tran.numOutHeaders[0], kPropString);
        rows.Add("Num Out Header Center", &tran.numOutHeaders[1], kPropString);
        rows.Add("Num Out Header Right", &tran.numOutHeaders[2], kPropString);
        rows.Add("Num Out Delimiter", &tran.numOutDelimiter, kPropByte);
        rows.Add("NumOut", &tran.numOutFont, kPropFont);
    }
    AddWindowGroup(file, tran.window, 5, rows);
    AddTitleGroup(file, tran.window, 0, preview, rows);
    AddGridGroup(file, tran.window, 5, scaleColor, rows);
    AddCursorColorGroup(file, tran.window, rows);
    rows.Add("AnimateWait", &tran.animateWait, kPropInt);
    rows.Add("AnimateWaitTime", &tran.animateWaitTime, kPropInt);
    if (reading || (version >= kFileVersion700 &&
                    (tran.thumbnail[0] || tran.thumbnail[1] || tran.thumbnail[2] || tran.thumbnail[3])))
        rows.Add("ThumbNail", tran.thumbnail, kPropRect);
    static const char* const saveKeys[3] = {"T.Save_For_Future", "A.Save_For_Future", "D.Save_For_Future"};
    static const char* const displayKeys[3] = {"T.Reduce_Display", "A.Reduce_Display", "D.Reduce_Display"};
    static const char* const reduceKeys[3] = {"T.Reduce_Save", "A.Reduce_Save", "D.Reduce_Save"};
    static const char* const previewKeys[3] = {"T.PrintPreview", "A.PrintPreview", "D.PrintPreview"};
    RangeRef previews[3];
    for (int kind = 0; kind < 3; ++kind) rows.Add(saveKeys[kind], &settings->kinds[kind].saveForFuture, kPropYesNo);
    for (int kind = 0; kind < 3; ++kind) {
        rows.Add(displayKeys[kind], &settings->kinds[kind].reduceDisplay, kPropInt);
        rows.Add(reduceKeys[kind], &settings->kinds[kind].reduceSave, kPropInt);
    }
    for (int kind = 0; kind < 3; ++kind) {
        previews[kind].flag = &settings->kinds[kind].window.previewFlag;
        previews[kind].values = settings->kinds[kind].window.previewRange;
        rows.Add(previewKeys[kind], &previews[kind], kPropRange);
    }
    int result = SerializeSection(file, "Analysis", rows.rows, rows.count);
    if (!reading)
        if (CircuitFile* circuit = dynamic_cast<CircuitFile*>(&file))
            for (int kind = 0; kind <= 2; ++kind) WritePlotObjects(*circuit, settings->kinds[kind].objects, kind);
    if (reading) {
        settings->objectTarget = &tran.objects;
        for (int kind = 0; kind <= 2; ++kind) settings->kinds[kind].present = 1;
        for (int kind = 1; kind <= 3; ++kind)
            cfa_CopyWindowSettings(settings->kinds[kind].window, tran.window, kind <= 2);
    }
    return result;
}

// ---- analysis windows -----------------------------------------------------------------------

static const char* const cfa_WindowSectionNames[4] = {"FFT", "Performance", "Graph 3D", "Monte Carlo"};
static const char* const cfa_QuantityNames[5] = {"Mag", "dB", "Phase", "Real", "IMag"};

static void cfa_AddWindowRows(SectionFile& file, AnalysisWindow& w, int kind, RangeRef& preview, int32_t& scaleColor,
                              AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    if (w.type == kWindowMonteCarlo) {
        AddHistogramGroup(file, w, preview, rows);
        AddWorksheetCaseRows(file, w.cases, true, rows);
        return;
    }
    AddWindowGroup(file, w.window, 0, rows);
    AddTitleGroup(file, w.window, 0, preview, rows);
    if (w.type != kWindow3D) {
        AddGridGroup(file, w.window, 0, scaleColor, rows);
        rows.Add("Options", &w.options, kPropInt);
        if (w.type == kWindowFFT) AddFFTParameterGroup(file, w.fft, 0, rows);
        return;
    }
    (void)kind;
    rows.Add("WireGrid Color", &w.wireGridColor, kPropColor8);
    rows.Add("Grid Color", &w.gridColor3D, kPropColor8);
    rows.Add("BackGroundX", &w.backgroundX, kPropColor8);
    rows.Add("BackGroundY", &w.backgroundY, kPropColor8);
    rows.Add("BackGroundZ", &w.backgroundZ, kPropColor8);
    rows.Add("Color", &w.colorMode, kPropInt);
    rows.Add("Isolines", &w.isolines, kPropOnOff);
    rows.Add("Axis Background", &w.axisBackground, kPropOnOff);
    rows.Add("Grid", &w.grid, kPropOnOff);
    rows.Add("Axes", &w.axes, kPropOnOff);
    rows.Add("Scales", &w.scales, kPropOnOff);
    rows.Add("Contour", &w.contour, kPropOnOff);
    rows.Add("Flash Cursor", &w.flashCursor, kPropOnOff);
    rows.Add("Patches X", &w.patchesX, kPropInt);
    rows.Add("Patches Z", &w.patchesZ, kPropInt);
    rows.Add("XRot", &w.rotation[0], kPropDouble);
    rows.Add("YRot", &w.rotation[1], kPropDouble);
    rows.Add("ZRot", &w.rotation[2], kPropDouble);
    rows.Add("Performance", &w.zIsPerformance, kPropYesNo);
    static const char* const formatKeys[3][2] = {{"VFmtX", "SFmtX"}, {"VFmtY", "SFmtY"}, {"VFmtZ", "SFmtZ"}};
    for (int axis = 0; axis < 3; ++axis) {
        rows.Add(formatKeys[axis][0], &w.valueFormats[axis], kPropFormat);
        rows.Add(formatKeys[axis][1], &w.scaleFormats[axis], kPropFormat);
    }
    if (reading || (version >= kFileVersion600 && w.slopeUnit))
        rows.Add("Slope Calculation", &w.slopeUnit, kPropSlopeUnit);
    if (reading || (version >= kFileVersion700 && !cfa_Empty(w.expression)))
        rows.Add("Expression", &w.expression, kPropString);
    if (reading || version >= kFileVersion800) rows.Add("MinorLog25", &w.minorLog25, kPropOnOff);
    AddWorksheetCaseRows(file, w.cases, false, rows);
}

static void cfa_AddCurveRows(SectionFile& file, WindowCurve& curve, int type, AnalysisRows& rows) {
    if (type == kWindowPerformance) {
        AddPerformanceFunctionGroup(file, curve.function, false, rows);
        AddWorksheetCaseRows(file, curve.cases, false, rows);
    }
    AddPlotRangeGroup(file, curve.range, rows);
}

static void cfa_WriteWindowCurves(SectionFile& file, AnalysisWindow& w) {
    for (auto& curve : w.curves) {
        if (w.type == kWindowFFT) {
            file.WriteSectionHeader("FFT WaveForm");
            file.WriteKey("Expression", curve->expression);
            if (curve->quantity >= 0 && curve->quantity < 5) file.WriteKey("What", cfa_QuantityNames[curve->quantity]);
        } else {
            file.WriteSectionHeader("Performance WaveForm");
        }
        AnalysisRows rows;
        cfa_AddCurveRows(file, *curve, w.type, rows);
        WriteProperties(file, rows.rows, rows.count);
    }
}

int SerializeAnalysisWindowSection(SectionFile& file, AnalysisSettings* settings, int type) {
    if (settings == nullptr || type < 0 || type > 3) return cfa_SkipWhenReading(file);
    const int32_t version = file.targetVersion;
    if (!file.IsReading()) {
        if (type == kWindowFFT && version < kFileVersion800) return 0;
        const int last = type == kWindowFFT ? 0 : version >= kFileVersion800 ? 3 : 2;
        for (int kind = 0; kind <= last; ++kind) {
            for (auto& w : settings->kinds[kind].windows) {
                if (w->type != type) continue;
                file.WriteSectionHeader(cfa_WindowSectionNames[type]);
                file.WriteAnalysisKey(kind);
                AnalysisRows rows;
                RangeRef preview{};
                int32_t scaleColor = 1;
                cfa_AddWindowRows(file, *w, kind, preview, scaleColor, rows);
                if (type == kWindow3D || type == kWindowMonteCarlo)
                    AddPerformanceFunctionGroup(file, w->function, type == kWindowMonteCarlo, rows);
                WriteProperties(file, rows.rows, rows.count);
                if (CircuitFile* circuit = dynamic_cast<CircuitFile*>(&file))
                    WritePlotObjects(*circuit, w->objects, -1);
                cfa_WriteWindowCurves(file, *w);
            }
        }
        return 0;
    }
    settings->lastWindow[type] = nullptr;
    settings->objectTarget = nullptr;
    AnalysisWindow* w = nullptr;
    int windowKind = -1;
    bool ignoring = false;
    AnalysisRows rows;
    AnalysisRows functionRows;
    RangeRef preview{};
    int32_t scaleColor = 1;
    int result = cfa_ReadLines(file, [&](char* key, char* value) {
        if (strcmp(key, "ANALYSIS") == 0) {
            const int kind = FindAnalysisName(value);
            const int last = type == kWindowFFT ? 0 : 3;
            if (w != nullptr) {
                // One window per section: another kind's keys are not its own.
                ignoring = kind != windowKind;
                return 0;
            }
            if (kind < 0 || kind > last) return 0;
            windowKind = kind;
            AnalysisWindow* made = new (std::nothrow) AnalysisWindow();
            if (made == nullptr) return int(kResultNoMemory);
            made->type = type;
            settings->kinds[kind].windows.emplace_back(made);
            settings->lastWindow[type] = w = made;
            settings->objectTarget = &made->objects;
            cfa_AddWindowRows(file, *w, kind, preview, scaleColor, rows);
            AddPerformanceFunctionGroup(file, w->function, type == kWindowMonteCarlo, functionRows);
            return 0;
        }
        if (w == nullptr || ignoring) return 0;
        if (!ReadProperty(file, rows.rows, rows.count, key, value) &&
            (type == kWindow3D || type == kWindowMonteCarlo) &&
            ReadProperty(file, functionRows.rows, functionRows.count, key, value) && strncmp(key, "ARG ", 4) == 0) {
            const int index = atoi(key + 4);
            if (index >= 0 && index < 3 && index + 1 > w->function.argCount) w->function.argCount = index + 1;
        }
        return 0;
    });
    if (w != nullptr && (type == kWindow3D || type == kWindowMonteCarlo)) {
        PerformanceFunction& f = w->function;
        if (version < kFileVersion700 || cfa_Empty(f.expression)) {
            if (type == kWindow3D && !cfa_Empty(w->expression) && cfa_Empty(f.argument))
                SetString(&f.argument, w->expression);
            AssemblePerformanceFunction(f);
        }
    }
    return result;
}

int SerializeWindowCurveSection(SectionFile& file, AnalysisSettings* settings, int type) {
    // Curves are written with their window.
    if (!file.IsReading() || settings == nullptr || settings->lastWindow[type] == nullptr)
        return cfa_SkipWhenReading(file);
    AnalysisWindow& w = *settings->lastWindow[type];
    WindowCurve* curve = new (std::nothrow) WindowCurve();
    if (curve == nullptr) return kResultNoMemory;
    w.curves.emplace_back(curve);
    AnalysisRows functionRows;
    AnalysisRows rows;
    if (type == kWindowPerformance) AddPerformanceFunctionGroup(file, curve->function, false, functionRows);
    cfa_AddCurveRows(file, *curve, type, rows);
    int result = cfa_ReadLines(file, [&](char* key, char* value) {
        if (type == kWindowPerformance) {
            if (ReadProperty(file, functionRows.rows, functionRows.count, key, value)) {
                if (strncmp(key, "ARG ", 4) == 0) {
                    const int index = atoi(key + 4);
                    if (index >= 0 && index < 3 && index + 1 > curve->function.argCount)
                        curve->function.argCount = index + 1;
                }
                return 0;
            }
        } else if (strcmp(key, "EXPRESSION") == 0) {
            SetString(&curve->expression, value);
            return 0;
        } else if (strcmp(key, "WHAT") == 0) {
            int index = cfa_FindName(cfa_QuantityNames, 5, value);
            curve->quantity = index < 0 ? 1 : index;
            return 0;
        }
        if (strcmp(key, "COLOR") == 0) {
            curve->range.display.lineColor = curve->range.display.textColor = ParseColorValue(value);
            return 0;
        }
        ReadProperty(file, rows.rows, rows.count, key, value);
        return 0;
    });
    if (type == kWindowPerformance && (file.targetVersion < kFileVersion700 || cfa_Empty(curve->function.expression)))
        AssemblePerformanceFunction(curve->function);
    // Older files numbered the thin-line patterns differently.
    CurveDisplay& display = curve->range.display;
    if (type == kWindowPerformance && file.targetVersion < kFileVersion800 && display.lineWidth == 1 &&
        display.pattern >= 1 && display.pattern <= 4)
        display.pattern = static_cast<uint8_t>(display.pattern + 5);
    return result;
}

// ---- AObject ----------------------------------------------------------------------------

// Graphic object types with a second plot or a font.
static bool cfa_IsMeasure(int type) { return type == 7 || type == 9; }
static bool cfa_HasFont(int type) { return type == 7 || type == 8 || type == 9 || type == 12; }
constexpr int kCfaPoly = 11, kCfaText = 12, kCfaPicture = 10;

void RepairPlotObjectColors(PlotObject& object, int32_t version) {
    GraphicStyle& style = object.style;
    if (style.color == kColorNone) {
        static const int filled[] = {2, 3, 4, 6, kCfaPicture, kCfaPoly, kCfaText};
        bool shape = false;
        for (int type : filled)
            if (object.type == type) shape = true;
        if (!shape || (style.fillColor == kColorNone && object.type != kCfaText && object.type != kCfaPicture))
            style.color = 4;
    }
    if (version < kFileVersion800 && style.width == 1 && style.pattern >= 1 && style.pattern <= 4)
        style.pattern = static_cast<uint8_t>(style.pattern + 5);
}

int WritePlotObjects(CircuitFile& file, PlotObjectList& objects, int kind) {
    const int32_t version = file.version;
    for (auto& o : objects) {
        if (o->type == kCfaPoly && version <= kFileVersion520) continue;
        file.WriteSectionHeader("AObject");
        if (kind >= 0) file.WriteAnalysisKey(kind);
        if (version >= kFileVersion600) {
            WriteStyleKeys(file, o->type, o->flags, o->style, true);
        } else {
            // The oldest sectioned files know neither the newer shapes nor the
            // style keys: the type and the two colours.
            file.WriteKey("Object", o->type >= 13 ? "Rectangle" : GraphicObjectTypeName(o->type));
            if (o->style.color != kColorNone) WriteColorKey(file, "Color", o->style.color);
            if (o->style.fillColor != kColorNone) WriteColorKey(file, "CFill", o->style.fillColor);
        }
        if (o->plot != -1) {
            file.WriteIntKey("w", o->plot);
            if (version >= kFileVersion700) file.WriteIntKey("AliasID1", o->alias1);
        }
        if (cfa_IsMeasure(o->type)) {
            file.WriteIntKey("w2", o->plot2);
            file.WriteIntKey("AliasID2", o->alias2);
        }
        if (o->type == kCfaPoly) {
            file.WriteYesNoKey("First", o->first != 0);
            for (const PlotVertex& v : o->vertices) {
                char x[40], y[40], pair[90];
                FormatMinMaxField(x, sizeof x, v.modeX, v.x);
                FormatMinMaxField(y, sizeof y, v.modeY, v.y);
                FormatBounded(pair, sizeof pair, "%s,%s", x, y);
                file.WriteKey("Pos", pair);
            }
        } else {
            char corners[120];
            FormatBounded(corners, sizeof corners, "%.16g,%.16g,%.16g,%.16g", o->corners[0], o->corners[1],
                          o->corners[2], o->corners[3]);
            file.WriteKey("Pos", corners);
            if (cfa_IsMeasure(o->type)) file.WriteDoubleKey("Posm", o->measure);
        }
        if (cfa_HasFont(o->type)) WriteFontKey(file, "Font", o->font);
        if (o->type == kCfaText) file.WriteKey("Text", o->text);
    }
    return file.error;
}

int ReadPlotObject(CircuitFile& file, AnalysisSettings* settings) {
    if (settings == nullptr) return cfa_SkipWhenReading(file);
    auto object = std::unique_ptr<PlotObject>(new (std::nothrow) PlotObject());
    if (object == nullptr) return kResultNoMemory;
    PlotObjectList* target = settings->objectTarget;
    PlotObject& o = *object;
    int result = cfa_ReadLines(file, [&](char* key, char* value) {
        if (strcmp(key, "OBJECT") == 0) {
            o.type = FindGraphicObjectType(value);
        } else if (strcmp(key, "W") == 0) {
            o.plot = atoi(value);
        } else if (strcmp(key, "W2") == 0) {
            o.plot2 = atoi(value);
        } else if (strcmp(key, "ALIASID1") == 0) {
            o.alias1 = atoi(value);
        } else if (strcmp(key, "ALIASID2") == 0) {
            o.alias2 = atoi(value);
        } else if (strcmp(key, "FIRST") == 0) {
            o.first = IsYesText(value) ? 1 : 0;
        } else if (strcmp(key, "POS") == 0) {
            char* cursor = value;
            if (o.type == kCfaPoly) {
                PlotVertex v;
                ParseMinMaxField(NextCommaField(cursor), &v.modeX, &v.x);
                ParseMinMaxField(NextCommaField(cursor), &v.modeY, &v.y);
                o.vertices.push_back(v);
            } else {
                for (double& corner : o.corners) corner = atof(NextCommaField(cursor));
            }
        } else if (strcmp(key, "POSM") == 0) {
            o.measure = atof(value);
        } else if (strcmp(key, "ANALYSIS") == 0) {
            const int kind = FindAnalysisName(value);
            if (kind >= 0 && kind < kPlotKindCount) {
                target = &settings->kinds[kind].objects;
                settings->kinds[kind].present = 1;
            }
        } else if (strcmp(key, "FONT") == 0) {
            ParseFontSpec(value, &o.font, false);
        } else if (strcmp(key, "TEXT") == 0) {
            SetString(&o.text, value);
        } else if (strcmp(key, "STYLE") == 0) {
            o.flags |= ParseStyleWords(value, &o.style);
        } else if (strcmp(key, "COLOR") == 0 && file.version < kFileVersion600) {
            o.style.color = static_cast<uint8_t>(ParseColorValue(value));
        } else {
            ReadStyleKey(key, value, file, &o.style, &o.flags);
        }
        return 0;
    });
    // An object of no known type cannot be drawn; one without a window is
    // dropped with it.
    if (o.type != 0 && target != nullptr) {
        RepairPlotObjectColors(o, file.version);
        target->push_back(std::move(object));
    }
    return result;
}

// ---- Limits -----------------------------------------------------------------------------

// The limit texts of each kind, in write order; slot i of the kind's texts.
static const char* const cfa_LimitKeys[kAnalysisKindCount][kLimitTextCount] = {
    {"TRange", "TStep", "NPts", "Temp", "RetraceRuns"},
    {"FRange", "NPts", "Temp", "MaxChng", "NInput", "NOutput"},
    {"I2Range", "I2", "I1Range", "I1", "NPts", "Temp", "MaxChng"},
    {"F0", "ISource", "ISourceAmp", "OutExpr", "Temp", "Cycles", "TStep"},
    {"Temp", "FreqList", "SliderPer"},
    {"Temp", "SliderPer"},
};

static const char* const cfa_FirstDisplayNames[] = {"Mag", "MagDB", "Real", "None"};
static const char* const cfa_SecondDisplayNames[] = {"PhaseDeg", "PhaseRad", "Imag", "None"};

static int cfa_FindName(const char* const* names, int count, const char* name) {
    for (int i = 0; i < count; ++i)
        if (CompareNoCase(names[i], name) == 0) return i;
    return -1;
}

static const char* cfa_AmpMethodName(int method) { return method == 0 ? "Linear" : method == 2 ? "Log" : "List"; }

static int cfa_ParseAmpMethod(const char* name) {
    if (CompareNoCase(name, "Log") == 0) return 2;
    if (CompareNoCase(name, "List") == 0) return 1;
    return 0;
}

static const char* const cfa_StateVarNames[] = {"Zero", "Read", "Leave", "Retrace"};
static const char* const cfa_RunOptionNames[] = {"Normal", "Save", "Retrieve"};

static bool cfa_WritesLimits(int kind, int32_t version, const AnalysisKindSettings& k) {
    if (version < kFileVersion800) return kind <= 2;
    if (kind >= 4) return true;
    return k.present != 0;
}

static void cfa_WriteLimits(SectionFile& file, AnalysisSettings& settings, int kind) {
    const int32_t version = file.targetVersion;
    AnalysisKindSettings& k = settings.kinds[kind];
    file.WriteSectionHeader("Limits");
    file.WriteAnalysisKey(kind);
    for (int i = 0; i < kLimitTextCount; ++i) {
        const char* key = cfa_LimitKeys[kind][i];
        if (key == nullptr) break;
        if (kind == 0 && i == 4 && version < kFileVersion800) continue;  // RetraceRuns
        if (kind == 2 && i == 1 && version <= kFileVersion520 && k.sweep2Type == 0) {
            file.WriteKey(key, "None");
            continue;
        }
        if (!cfa_Empty(k.limits[i])) file.WriteKey(key, k.limits[i]);
    }
    if (kind == 1 && version >= kFileVersion800) file.WriteKey("Sweep type", SteppingMethodName(k.sweepType, true));
    if (kind == 2 && version >= kFileVersion600) {
        file.WriteKey("Sweep1 type", SteppingMethodName(k.sweepType, true));
        file.WriteKey("Sweep2 type", SteppingMethodName(k.sweep2Type, false));
    }
    if (kind == 3) file.WriteKey("AmpMethod", cfa_AmpMethodName(k.ampMethod));
    if (kind == 4) {
        if (k.firstDisplay >= 0 && k.firstDisplay < 4)
            file.WriteKey("FirstValueDisplay", cfa_FirstDisplayNames[k.firstDisplay]);
        if (k.secondDisplay >= 0 && k.secondDisplay < 4)
            file.WriteKey("SecondValueDisplay", cfa_SecondDisplayNames[k.secondDisplay]);
    }
    if (kind >= 4) {
        file.WriteBoolKey("PlaceText", k.placeText != 0);
        if (k.textGrid[0] != -1 && k.textGrid[1] != -1) {
            char grid[40];
            FormatBounded(grid, sizeof grid, "%d,%d", k.textGrid[0], k.textGrid[1]);
            file.WriteKey("TextGrid", grid);
        }
    }
    if (kind > 3) return;
    if (version >= kFileVersion800) {
        // Only the AC waveform selection has no key of its own: it rides in OPT.
        file.WriteIntKey("OPT", PackOptionWord(k.optionWord, 0, 0, k.waveformSelect, kind == 1));
        if (k.stateVariable >= 0 && k.stateVariable < 4) file.WriteKey("StateVar", cfa_StateVarNames[k.stateVariable]);
        if (k.runOption >= 0 && k.runOption < 3) file.WriteKey("RunOption", cfa_RunOptionNames[k.runOption]);
    } else {
        file.WriteIntKey("OPT",
                         PackOptionWord(k.optionWord, k.stateVariable, k.runOption, k.waveformSelect, kind == 1));
        if (version >= kFileVersion700 && k.window.plusMark) file.WriteBoolKey("PLUSMARK", true);
        if (version >= kFileVersion600) file.WriteBoolKey("Horizontal Cursor", k.window.horizontalCursor != 0);
    }
    if (version >= kFileVersion600) file.WriteKey("Temperature Type", TemperatureTypeName(k.temperatureType));
}

static int cfa_ReadLimits(SectionFile& file, AnalysisSettings& settings) {
    const int32_t version = file.targetVersion;
    int kind = -1;
    return cfa_ReadLines(file, [&](char* key, char* value) {
        if (strcmp(key, "ANALYSIS") == 0) {
            kind = FindAnalysisName(value);
            if (kind >= 0) settings.kinds[kind].present = 1;
            return 0;
        }
        if (kind < 0 || kind >= kAnalysisKindCount) return 0;
        AnalysisKindSettings& k = settings.kinds[kind];
        for (int i = 0; i < kLimitTextCount && cfa_LimitKeys[kind][i] != nullptr; ++i) {
            if (CompareNoCase(key, cfa_LimitKeys[kind][i]) == 0) {
                SetString(&k.limits[i], value);
                return 0;
            }
        }
        if (kind == 1 && strcmp(key, "SWEEP TYPE") == 0)
            k.sweepType = ParseSteppingMethod(value);
        else if (kind == 2 && strcmp(key, "SWEEP1 TYPE") == 0)
            k.sweepType = ParseSteppingMethod(value);
        else if (kind == 2 && strcmp(key, "SWEEP2 TYPE") == 0)
            k.sweep2Type = ParseSteppingMethod(value);
        else if (kind == 3 && strcmp(key, "AMPMETHOD") == 0)
            k.ampMethod = cfa_ParseAmpMethod(value);
        else if (kind == 4 && strcmp(key, "FIRSTVALUEDISPLAY") == 0) {
            int index = cfa_FindName(cfa_FirstDisplayNames, 4, value);
            if (index >= 0) k.firstDisplay = index;
        } else if (kind == 4 && strcmp(key, "SECONDVALUEDISPLAY") == 0) {
            int index = cfa_FindName(cfa_SecondDisplayNames, 4, value);
            if (index >= 0) k.secondDisplay = index;
        } else if (kind >= 4 && strcmp(key, "PLACETEXT") == 0)
            k.placeText = IsTrueText(value) ? 1 : 0;
        else if (kind >= 4 && strcmp(key, "TEXTGRID") == 0)
            ParseTwoInts(value, k.textGrid);
        else if (kind <= 3 && strcmp(key, "OPT") == 0) {
            int stateVariable = 0, runOption = 0, waveform = 0;
            k.optionWord = UnpackOptionWord(atoi(value), &stateVariable, &runOption, &waveform, kind == 1);
            if (kind == 1) k.waveformSelect = waveform;
            if (version < kFileVersion800) {
                k.stateVariable = stateVariable;
                k.runOption = runOption;
            }
        } else if (kind <= 3 && strcmp(key, "STATEVAR") == 0) {
            int index = cfa_FindName(cfa_StateVarNames, 4, value);
            if (index >= 0) k.stateVariable = index;
        } else if (kind <= 3 && strcmp(key, "RUNOPTION") == 0) {
            int index = cfa_FindName(cfa_RunOptionNames, 3, value);
            if (index >= 0) k.runOption = index;
        } else if (kind <= 3 && strcmp(key, "PLUSMARK") == 0)
            k.window.plusMark = IsTrueText(value) ? 1 : 0;
        else if (kind <= 3 && strcmp(key, "HORIZONTAL CURSOR") == 0)
            k.window.horizontalCursor = IsTrueText(value) ? 1 : 0;
        else if (kind <= 3 && strcmp(key, "TEMPERATURE TYPE") == 0)
            k.temperatureType = ParseTemperatureType(value);
        return 0;
    });
}

int SerializeLimitsSection(SectionFile& file, AnalysisSettings* settings) {
    if (settings == nullptr) return cfa_SkipWhenReading(file);
    if (file.IsReading()) return cfa_ReadLimits(file, *settings);
    for (int kind = 0; kind < kAnalysisKindCount; ++kind)
        if (cfa_WritesLimits(kind, file.targetVersion, settings->kinds[kind])) {
            cfa_WriteLimits(file, *settings, kind);
            SerializeWaveFormSection(file, settings, kind);
        }
    return 0;
}

// Files of 5.20 had no sweep type keys: "None" as the second DC sweep was the
// only sign of a single sweep.
void ConvertOldDCLimits(AnalysisSettings& settings) {
    AnalysisKindSettings& dc = settings.kinds[2];
    if (IsSetText(dc.limits[1])) {
        dc.sweep2Type = 1;
    } else {
        dc.sweep2Type = 0;
        FreeString(&dc.limits[1]);
    }
}

// ---- WaveForm -------------------------------------------------------------------------

// The worksheet stepping case keys, made once for both forms.
static const char* cfa_SteppingCaseKey(int index, bool curveRow) {
    static char keys[2][20][24];
    static bool made = false;
    if (!made) {
        for (int i = 0; i < 20; ++i) {
            FormatBounded(keys[0][i], sizeof keys[0][i], "SteppingCase %d", i);
            FormatBounded(keys[1][i], sizeof keys[1][i], "WSP SteppingCase %d", i);
        }
        made = true;
    }
    return keys[curveRow ? 1 : 0][index];
}

static void cfa_AddCurveRowRows(SectionFile& file, CurveRow& row, int kind, AnalysisRows& rows) {
    const bool reading = file.IsReading();
    const int32_t version = file.targetVersion;
    if (reading || version >= kFileVersion700) rows.Add("AliasID", &row.aliasId, kPropInt);
    if (reading || !cfa_Empty(row.xExpression)) rows.Add("XExp", &row.xExpression, kPropString);
    if (reading || !cfa_Empty(row.yExpression)) rows.Add("YExp", &row.yExpression, kPropString);
    if (reading || !cfa_Empty(row.xRange)) rows.Add("XRng", &row.xRange, kPropString);
    if (reading || !cfa_Empty(row.yRange)) rows.Add("YRng", &row.yRange, kPropString);
    if (reading || (version >= kFileVersion600 && row.rainbow)) rows.Add("Rainbow", &row.rainbow, kPropTrueFalse);
    rows.Add("Options", &row.options, kPropOutputFlags);
    if (reading || version >= kFileVersion700) {
        if (reading || !cfa_Empty(row.gridX)) rows.Add("Range Grid X", &row.gridX, kPropString);
        if (reading || !cfa_Empty(row.gridY)) rows.Add("Range Grid Y", &row.gridY, kPropString);
        if (reading || !cfa_Empty(row.boldX)) rows.Add("Range Bold X", &row.boldX, kPropString);
        if (reading || !cfa_Empty(row.boldY)) rows.Add("Range Bold Y", &row.boldY, kPropString);
        if (reading || row.chartType) rows.Add("Chart Type", &row.chartType, kPropPlotKind);
        if (reading || row.showDataPoints) rows.Add("Show Data Points", &row.showDataPoints, kPropTrueFalse);
        if (reading || !cfa_Empty(row.dataPoints)) rows.Add("Data Points", &row.dataPoints, kPropString);
    }
    if (reading || version >= kFileVersion800) {
        if (kind == 1 && (reading || (row.chartType != 0 && !cfa_Empty(row.smithScaleFactor) &&
                                      strcmp(row.smithScaleFactor, "1") != 0)))
            rows.Add("SmithScaleFactor", &row.smithScaleFactor, kPropQuoted);
        if (reading || !cfa_Empty(row.worksheetTitle)) {
            rows.Add("WSP Title", &row.worksheetTitle, kPropQuoted);
            rows.Add("WSP Checked", &row.worksheetChecked, kPropTrueFalse);
            if (reading || row.worksheetSaveActual) rows.Add("WSP NOP", &row.worksheetPoints, kPropInt);
            rows.Add("WSP Save Actual Data", &row.worksheetSaveActual, kPropTrueFalse);
            if (reading || row.temperatureCase) rows.Add("WSP TempCase", &row.temperatureCase, kPropCountOrAll);
            if (reading || row.monteCarloCase) rows.Add("WSP MCCase", &row.monteCarloCase, kPropCountOrAll);
            for (int i = 0; i < 20; ++i)
                if (reading || row.steppingCases[i])
                    rows.Add(cfa_SteppingCaseKey(i, true), &row.steppingCases[i], kPropCountOrAll);
        }
    }
    if (reading || (version >= kFileVersion600 && row.slopeUnit))
        rows.Add("Slope Calculation", &row.slopeUnit, kPropSlopeUnit);
    AddCurveDisplayGroup(file, row.display, rows);
    AddValueFormatGroup(file, row.formats, rows);
}

int SerializeWaveFormSection(SectionFile& file, AnalysisSettings* settings, int kind) {
    if (settings == nullptr) return cfa_SkipWhenReading(file);
    if (!file.IsReading()) {
        if (kind < 0 || kind >= kPlotKindCount) return 0;
        for (auto& row : settings->kinds[kind].curves) {
            file.WriteSectionHeader("WaveForm");
            file.WriteAnalysisKey(kind);
            if (row->plotGroup != 0) {
                const char group[2] = {row->plotGroup, 0};
                file.WriteKey("Plt", group);
            }
            AnalysisRows rows;
            cfa_AddCurveRowRows(file, *row, kind, rows);
            WriteProperties(file, rows.rows, rows.count);
        }
        return 0;
    }
    CurveRow* row = nullptr;
    int rowKind = -1;
    AnalysisRows rows;
    return cfa_ReadLines(file, [&](char* key, char* value) {
        if (strcmp(key, "ANALYSIS") == 0) {
            int named = FindAnalysisName(value);
            if (named < 0 || named >= kPlotKindCount) return 0;
            AnalysisKindSettings& k = settings->kinds[named];
            CurveRow* added = new (std::nothrow) CurveRow();
            if (added == nullptr) return int(kResultNoMemory);
            k.curves.emplace_back(added);
            k.present = 1;
            row = added;
            rowKind = named;
            rows.count = 0;
            cfa_AddCurveRowRows(file, *row, rowKind, rows);
            return 0;
        }
        if (row == nullptr) return 0;
        if (strcmp(key, "COLOR") == 0) {
            row->display.lineColor = row->display.textColor = ParseColorValue(value);
        } else if (strcmp(key, "PLT") == 0) {
            row->plotGroup = value[0];
        } else {
            ReadProperty(file, rows.rows, rows.count, key, value);
        }
        return 0;
    });
}

// ---- Stepping ---------------------------------------------------------------------------

static const char* const cfa_StepTextKeys[5] = {"Name", "Param", "From", "To", "Value"};

static void cfa_WriteStepping(SectionFile& file, AnalysisSettings& settings, int kind) {
    const int32_t version = file.targetVersion;
    AnalysisKindSettings& k = settings.kinds[kind];
    const int records = version >= kFileVersion700 ? kStepRecordCount : 10;
    for (int i = 0; i < records; ++i) {
        StepVariable& step = k.steps[i];
        bool emptyTexts = true;
        for (const char* text : step.texts)
            if (!cfa_Empty(text)) emptyTexts = false;
        // Record 1 carries the kind's simultaneous switch: skipping it as an
        // unused record would lose the switch.
        if (version >= kFileVersion700 && step.flags == (kStepLinear | kStepComponent) && emptyTexts &&
            !(i == 0 && k.simultaneous))
            continue;
        file.WriteSectionHeader("Stepping");
        if (version >= kFileVersion600) file.WriteAnalysisKey(kind);
        file.WriteIntKey("Index", i + 1);
        if (i == 0 && k.simultaneous) file.WriteYesNoKey("Simultaneous", true);
        if (step.flags & kStepOn) file.WriteKey("Status", "On");
        if (version <= kFileVersion520 && step.device >= 0) file.WriteIntKey("Device", step.device);
        if (step.flags & kStepLog)
            file.WriteKey("Method", "Log");
        else if ((step.flags & kStepList) && !(step.flags & kStepLinear))
            file.WriteKey("Method", "List");
        const char* target = SteppingTargetName(step.flags);
        if (target[0] != 0) file.WriteKey("Parameter Type", target);
        for (int t = 0; t < 5; ++t)
            if (!cfa_Empty(step.texts[t])) file.WriteKey(cfa_StepTextKeys[t], step.texts[t]);
    }
}

int SerializeSteppingSection(SectionFile& file, AnalysisSettings* settings) {
    if (settings == nullptr) return cfa_SkipWhenReading(file);
    const int32_t version = file.targetVersion;
    if (!file.IsReading()) {
        if (version >= kFileVersion800) {
            for (int kind = 0; kind < kAnalysisKindCount; ++kind)
                if (settings->kinds[kind].present) cfa_WriteStepping(file, *settings, kind);
        } else if (version >= kFileVersion600) {
            for (int kind = 0; kind <= 2; ++kind) cfa_WriteStepping(file, *settings, kind);
        } else {
            cfa_WriteStepping(file, *settings, MostSteppedKind(*settings));
        }
        return 0;
    }
    int kind = version < kFileVersion600 ? 0 : -1;
    StepVariable* step = &settings->kinds[kind < 0 ? 0 : kind].steps[0];
    return cfa_ReadLines(file, [&](char* key, char* value) {
        if (strcmp(key, "ANALYSIS") == 0) {
            kind = FindAnalysisName(value);
            if (kind >= 0) {
                // Dynamic kinds too: their stepping is written only when present.
                settings->kinds[kind].present = 1;
                step = &settings->kinds[kind].steps[0];
            }
            return 0;
        }
        if (kind < 0) return 0;
        AnalysisKindSettings& k = settings->kinds[kind];
        if (strcmp(key, "INDEX") == 0) {
            int index = atoi(value);
            if (index < 1 || index > kStepRecordCount) index = 1;
            step = &k.steps[index - 1];
            step->flags = 0;
        } else if (strcmp(key, "SIMULTANEOUS") == 0) {
            k.simultaneous = IsYesText(value) ? 1 : 0;
        } else if (strcmp(key, "DEVICE") == 0) {
            step->device = atoi(value);
        } else if (strcmp(key, "METHOD") == 0) {
            if (CompareNoCase(value, "Log") == 0)
                step->flags |= kStepLog;
            else if (CompareNoCase(value, "Linear") == 0)
                step->flags |= kStepLinear;
            else if (CompareNoCase(value, "List") == 0)
                step->flags |= kStepList;
        } else if (strcmp(key, "PARAMETER TYPE") == 0) {
            step->flags |= ParseSteppingTarget(value);
        } else if (strcmp(key, "STATUS") == 0) {
            if (IsOnText(value)) step->flags |= kStepOn;
        } else {
            for (int t = 0; t < 5; ++t)
                if (CompareNoCase(key, cfa_StepTextKeys[t]) == 0) SetString(&step->texts[t], value);
        }
        return 0;
    });
}

void ApplySteppingDefaults(AnalysisSettings& settings) {
    for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
        const int32_t targets = kStepModel | kStepComponent | kStepSymbolic | (kind >= 4 ? kStepVariable : 0);
        for (StepVariable& step : settings.kinds[kind].steps) {
            if (!(step.flags & targets)) step.flags |= kStepComponent;
            if (!(step.flags & (kStepLog | kStepLinear | kStepList))) step.flags |= kStepLinear;
        }
    }
}

// ---- Monte Carlo Options --------------------------------------------------------------------

static const char* const cfa_DistributionNames[4] = {"", "Normal", "Linear", "Worst Case"};

int SerializeMonteCarloOptionsSection(SectionFile& file, AnalysisSettings* settings) {
    if (settings == nullptr) return cfa_SkipWhenReading(file);
    const int32_t version = file.targetVersion;
    if (!file.IsReading()) {
        const int last = version >= kFileVersion800 ? 3 : 2;
        for (int kind = 0; kind <= last; ++kind) {
            AnalysisKindSettings& k = settings->kinds[kind];
            if (version >= kFileVersion800 && !k.present) continue;
            file.WriteSectionHeader("Monte Carlo Options");
            file.WriteAnalysisKey(kind);
            file.WriteOnOffKey("Status", (k.mcOptions & kMonteCarloOn) != 0);
            file.WriteBoolKey("Zero Tolerance", k.mcZeroTolerance != 0);
            const int distribution = k.mcOptions & 3;
            if (distribution != 0) file.WriteKey("Distribution", cfa_DistributionNames[distribution]);
            file.WriteKey("Number of Runs", k.mcRuns);
            if (version >= kFileVersion800) file.WriteKey("Seed", k.mcSeed);
            if (!cfa_Empty(k.mcPerformance)) file.WriteKey("Performance", k.mcPerformance);
        }
        return 0;
    }
    int kind = -1;
    return cfa_ReadLines(file, [&](char* key, char* value) {
        if (strcmp(key, "ANALYSIS") == 0) {
            kind = FindAnalysisName(value);
            if (kind > 3) kind = -1;
            if (kind >= 0) settings->kinds[kind].present = 1;
            return 0;
        }
        if (kind < 0) return 0;
        AnalysisKindSettings& k = settings->kinds[kind];
        if (strcmp(key, "STATUS") == 0) {
            if (IsOnText(value))
                k.mcOptions |= kMonteCarloOn;
            else
                k.mcOptions &= ~kMonteCarloOn;
        } else if (strcmp(key, "ZERO TOLERANCE") == 0) {
            k.mcZeroTolerance = IsTrueText(value) ? 1 : 0;
        } else if (strcmp(key, "DISTRIBUTION") == 0) {
            int index = cfa_FindName(cfa_DistributionNames + 1, 3, value);
            if (index >= 0) k.mcOptions = (k.mcOptions & ~3) | (index + 1);
        } else if (strcmp(key, "NUMBER OF RUNS") == 0) {
            SetString(&k.mcRuns, value);
        } else if (strcmp(key, "SEED") == 0) {
            SetString(&k.mcSeed, value);
        } else if (strcmp(key, "PERFORMANCE") == 0) {
            SetString(&k.mcPerformance, value);
        }
        return 0;
    });
}

// ---- circuit files --------------------------------------------------------------------------

AnalysisSettings* CircuitAnalysisSettings(CCTDoc* document) {
    return document != nullptr ? document->analysisSettings : nullptr;
}

// A window that has never been set up shows the colours of the defaults for
// new circuits; zeroed records would draw black on black.
static void cfa_ApplyWindowDefaults(PlotWindowSettings& w, const PlotDefaults& d) {
    w.background = d.windowBackground.color;
    w.selectColor = d.select.color;
    w.selectBoxColor = d.selectBox.color;
    w.font = d.text;
    w.gridColor = d.grid.color;
    w.graphBackground = d.graphBackground.color;
    w.trackerFont = d.trackColor;
    w.trackerBackground = d.trackBackground;
    w.baselineColor = d.baselineColor;
    w.gridWeight = d.gridWeight;
    w.gridPattern = d.gridPattern;
}

AnalysisSettings* EnsureAnalysisSettings(CCTDoc* document) {
    if (document == nullptr) return nullptr;
    if (document->analysisSettings == nullptr) {
        document->analysisSettings = new (std::nothrow) AnalysisSettings();
        if (document->analysisSettings != nullptr)
            for (AnalysisKindSettings& k : document->analysisSettings->kinds)
                cfa_ApplyWindowDefaults(k.window, Prefs().analysisPlot);
    }
    return document->analysisSettings;
}

void SetDefaultCurveStyle(CurveRow& row, int index) {
    const CurveStyle& style = Prefs().analysisPlot.waveforms[((index % 10) + 10) % 10];
    row.display.lineColor = style.lineColor;
    row.display.textColor = style.textColor;
    row.display.lineWidth = style.lineWidth;
    row.display.pattern = static_cast<uint8_t>(style.pattern & 0xFF);
    row.display.pointStyle = style.pointStyle;
    if (style.curveStyle >= 0) row.display.curveStyle = style.curveStyle;
}

void FreeAnalysisSettings(CCTDoc* document) {
    if (document == nullptr) return;
    delete document->analysisSettings;
    document->analysisSettings = nullptr;
}

// The analysis data the section works on: none when the opener skips it or
// when a circuit without analysis data is written; made on the first read.
static AnalysisSettings* cfa_SettingsFor(CircuitFile& file, int* error) {
    *error = 0;
    if ((file.loadFlags & kLoadSkipWindows) != 0 || file.document == nullptr) return nullptr;
    CCirDoc* document = file.document;
    if (document->analysisSettings == nullptr && file.IsReading()) {
        document->analysisSettings = new (std::nothrow) AnalysisSettings();
        if (document->analysisSettings == nullptr) *error = kResultNoMemory;
    }
    return document->analysisSettings;
}

// The printer choices of each kind live with the circuit document (older
// files keep them in the Printer section); the plot window section of newer
// files carries them.
static int cfa_ServePlotWindow(CircuitFile& file, AnalysisSettings* settings, int kind) {
    CircuitFileSettings* shared = file.document != nullptr ? &file.document->fileSettings : nullptr;
    if (settings != nullptr && shared != nullptr && kind < kCircuitAnalysisKinds) {
        settings->kinds[kind].printerAutoTile = shared->printAutoTile[kind];
        settings->kinds[kind].printerBlackBorder = shared->printBlackBorder[kind];
    }
    int result = SerializePlotWindowSection(file, settings, kind);
    if (settings != nullptr && shared != nullptr && kind < kCircuitAnalysisKinds && file.IsReading()) {
        shared->printAutoTile[kind] = settings->kinds[kind].printerAutoTile;
        shared->printBlackBorder[kind] = settings->kinds[kind].printerBlackBorder;
    }
    return result;
}

static int cfa_Serve(CircuitFile& file, int kind) {
    file.targetVersion = file.version;
    int error = 0;
    AnalysisSettings* settings = cfa_SettingsFor(file, &error);
    if (error != 0) return error;
    switch (kind) {
    case kSecTransient: return cfa_ServePlotWindow(file, settings, 0);
    case kSecAC: return cfa_ServePlotWindow(file, settings, 1);
    case kSecDC: return cfa_ServePlotWindow(file, settings, 2);
    case kSecDistortion: return cfa_ServePlotWindow(file, settings, 3);
    case kSecLimits: return SerializeLimitsSection(file, settings);
    case kSecStepping: return SerializeSteppingSection(file, settings);
    case kSecMonteCarloOptions: return SerializeMonteCarloOptionsSection(file, settings);
    case kSecWaveForm: return SerializeWaveFormSection(file, settings, -1);
    case kSecAnalysis: return SerializeAnalysisSection(file, settings);
    case kSecAObject: return file.IsReading() ? ReadPlotObject(file, settings) : 0;
    case kSecFFT: return SerializeAnalysisWindowSection(file, settings, kWindowFFT);
    case kSecPerformance: return SerializeAnalysisWindowSection(file, settings, kWindowPerformance);
    case kSecGraph3D: return SerializeAnalysisWindowSection(file, settings, kWindow3D);
    case kSecMonteCarlo: return SerializeAnalysisWindowSection(file, settings, kWindowMonteCarlo);
    case kSecFFTWaveForm: return SerializeWindowCurveSection(file, settings, kWindowFFT);
    case kSecPerformanceWaveForm: return SerializeWindowCurveSection(file, settings, kWindowPerformance);
    default: return 0;
    }
}

static int cfa_ServeTransient(CircuitFile& file) { return cfa_Serve(file, kSecTransient); }
static int cfa_ServeAC(CircuitFile& file) { return cfa_Serve(file, kSecAC); }
static int cfa_ServeDC(CircuitFile& file) { return cfa_Serve(file, kSecDC); }
static int cfa_ServeDistortion(CircuitFile& file) { return cfa_Serve(file, kSecDistortion); }
static int cfa_ServeLimits(CircuitFile& file) { return cfa_Serve(file, kSecLimits); }
static int cfa_ServeStepping(CircuitFile& file) { return cfa_Serve(file, kSecStepping); }
static int cfa_ServeAObject(CircuitFile& file) { return cfa_Serve(file, kSecAObject); }
static int cfa_ServeFFT(CircuitFile& file) { return cfa_Serve(file, kSecFFT); }
static int cfa_ServePerformance(CircuitFile& file) { return cfa_Serve(file, kSecPerformance); }
static int cfa_ServeGraph3D(CircuitFile& file) { return cfa_Serve(file, kSecGraph3D); }
static int cfa_ServeMonteCarlo(CircuitFile& file) { return cfa_Serve(file, kSecMonteCarlo); }
static int cfa_ServeFFTWaveForm(CircuitFile& file) { return cfa_Serve(file, kSecFFTWaveForm); }
static int cfa_ServePerformanceWaveForm(CircuitFile& file) { return cfa_Serve(file, kSecPerformanceWaveForm); }
static int cfa_ServeAnalysis(CircuitFile& file) { return cfa_Serve(file, kSecAnalysis); }
static int cfa_ServeWaveForm(CircuitFile& file) { return cfa_Serve(file, kSecWaveForm); }
static int cfa_ServeMonteCarloOptions(CircuitFile& file) { return cfa_Serve(file, kSecMonteCarloOptions); }

void InstallAnalysisSections() {
    SetCircuitSectionRoutine(kSecTransient, cfa_ServeTransient);
    SetCircuitSectionRoutine(kSecAC, cfa_ServeAC);
    SetCircuitSectionRoutine(kSecDC, cfa_ServeDC);
    SetCircuitSectionRoutine(kSecDistortion, cfa_ServeDistortion);
    SetCircuitSectionRoutine(kSecLimits, cfa_ServeLimits);
    SetCircuitSectionRoutine(kSecStepping, cfa_ServeStepping);
    SetCircuitSectionRoutine(kSecMonteCarloOptions, cfa_ServeMonteCarloOptions);
    SetCircuitSectionRoutine(kSecWaveForm, cfa_ServeWaveForm);
    SetCircuitSectionRoutine(kSecAnalysis, cfa_ServeAnalysis);
    SetCircuitSectionRoutine(kSecAObject, cfa_ServeAObject);
    SetCircuitSectionRoutine(kSecFFT, cfa_ServeFFT);
    SetCircuitSectionRoutine(kSecPerformance, cfa_ServePerformance);
    SetCircuitSectionRoutine(kSecGraph3D, cfa_ServeGraph3D);
    SetCircuitSectionRoutine(kSecMonteCarlo, cfa_ServeMonteCarlo);
    SetCircuitSectionRoutine(kSecFFTWaveForm, cfa_ServeFFTWaveForm);
    SetCircuitSectionRoutine(kSecPerformanceWaveForm, cfa_ServePerformanceWaveForm);
}

// The width of a range text "high,low" (one number: from 0); false for
// automatic or empty ranges.
static bool cfa_RangeWidth(const char* range, double* width) {
    if (cfa_Empty(range) || CompareNoCase(range, "Auto") == 0) return false;
    std::string copy = range;
    char* cursor = copy.data();
    int error = 0;
    const double high = ParseNumber(NextCommaField(cursor), &error);
    const double low = *cursor != 0 ? ParseNumber(NextCommaField(cursor), &error) : 0;
    *width = high > low ? high - low : low - high;
    return true;
}

void FillOldGridSpacing(AnalysisSettings& settings) {
    for (int kind = 0; kind < kPlotKindCount; ++kind) {
        const PlotWindowSettings& window = settings.kinds[kind].window;
        for (auto& row : settings.kinds[kind].curves) {
            double width = 0;
            char text[40];
            if ((row->options & kOutputLinearX) && window.gridsX > 0 && cfa_RangeWidth(row->xRange, &width)) {
                FormatBounded(text, sizeof text, "%g", width / window.gridsX);
                SetString(&row->gridX, text);
            }
            if ((row->options & kOutputLinearY) && window.gridsY > 0 && cfa_RangeWidth(row->yRange, &width)) {
                FormatBounded(text, sizeof text, "%g", width / window.gridsY);
                SetString(&row->gridY, text);
            }
        }
    }
}

void RepairAnalysisSettings(CircuitFile& file) {
    AnalysisSettings* settings = CircuitAnalysisSettings(file.document);
    if (settings == nullptr) return;
    const int32_t version = file.version;
    // Placements stored for another screen, or by older versions with another
    // window layout, would put the windows in the wrong place.
    if (version < kFileVersion800 || file.screenChanged) {
        for (int kind = 0; kind < kPlotKindCount; ++kind) {
            AnalysisKindSettings& k = settings->kinds[kind];
            k.window.placement.length = 0;
            k.probePlacement.length = 0;
            for (int32_t& side : k.thumbnail) side = 0;
            if (file.screenChanged) {
                for (int32_t& width : k.monitor) width = 0;
                // FFT windows keep theirs.
                for (auto& w : k.windows)
                    if (w->type != kWindowFFT) w->window.placement.length = 0;
            }
        }
    }
    if (version < kFileVersion800) {
        // Numeric output was one setting for all kinds.
        const AnalysisKindSettings& tran = settings->kinds[0];
        for (int kind = 1; kind < kPlotKindCount; ++kind) {
            AnalysisKindSettings& k = settings->kinds[kind];
            memcpy(k.numOutWrite, tran.numOutWrite, sizeof k.numOutWrite);
            for (int i = 0; i < 3; ++i) SetString(&k.numOutHeaders[i], tran.numOutHeaders[i]);
            k.numOutDelimiter = tran.numOutDelimiter;
            k.numOutFont = tran.numOutFont;
        }
    }
    if (version <= kFileVersion600) FillOldGridSpacing(*settings);
    if (version <= kFileVersion520) {
        CopyTransientStepping(*settings);
        ConvertOldDCLimits(*settings);
    }
    ApplySteppingDefaults(*settings);
}
