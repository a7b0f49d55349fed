// One curve of an analysis plot: built from a curve row of the analysis limits at
// the start of every analysis and kept across all its runs. It carries the row's
// look and formats, its compiled X and Y expressions, the axis ranges and the
// screen transform, the values of the newest analysis point, the running data
// extremes, the cursors and the per-run bookkeeping that says which stored points
// belong to which run. The values themselves live in the document's paged
// data-point store (plots/store.h), addressed by the curve's data columns and
// point indices.
//
// Axis-indexed fields have two entries, X first (kAxisX), then Y (kAxisY).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/properties.h"
#include "expr/compiled.h"
#include "expr/complex.h"

struct FFTOperandStore;

enum PlotAxis : int { kAxisX = 0, kAxisY = 1 };

// Range modes of an axis (PlotCurve::AutoRange).
constexpr int32_t kRangeFixed = -1;       // the range stays as the row gives it
constexpr int32_t kRangeFitRun = -2;      // fitted to the run's data
constexpr int32_t kRangeFitRequest = -3;  // fitted on request (Auto Scale)

// PlotCurve::UseFlags.
constexpr int32_t kCurveListed = 1;  // the row is listed in the numeric output
constexpr int32_t kCurveDrawn = 4;   // the row has a plot number and is drawn

// Plot types.
constexpr int32_t kPlotRectangular = 0, kPlotPolar = 1, kPlotSmith = 2;

// The eight data-column slots of a curve (PlotCurve::DataColumn). Only AC runs
// fill the six after X and Y.
enum CurveColumnSlot : int {
    kSlotX = 0,
    kSlotY = 1,
    kSlotXRealPart = 2,
    kSlotXRealValue = 3,
    kSlotYRealValue = 4,
    kSlotXImagPart = 5,
    kSlotYRealPart = 6,
    kSlotYImagPart = 7,
};
constexpr int kCurveColumnSlots = 8;
// Column 0 of a store is shared by all curves: the analysis variable.
constexpr int32_t kSharedColumn = 0;

// Extremes before the first point.
constexpr double kNoDataMax = -1e200;
constexpr double kNoDataMin = 1e200;

struct DeviceXY {
    int32_t x = 0, y = 0;
};
struct DeviceRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
// The area a curve's drawing is clipped to: its plot rectangle, or the circle of
// a complex-plane plot (the ellipse inscribed in Bounds). Right and bottom are
// exclusive.
struct CurveClipRegion {
    enum Shape : int32_t { None = 0, Rectangle = 1, Ellipse = 2 };
    int32_t Kind = None;
    DeviceRect Bounds;
};
// A point in data values.
struct DataPointXY {
    double X = 0, Y = 0;
};

// The drawing cache of one run of a curve: the device polyline, the data-point
// marks and the tokens drawn for it.
struct RunCacheEntry {
    std::vector<DeviceXY> Polyline;
    std::vector<DeviceXY> Marks;
    std::vector<DeviceXY> Tokens;

    void Free();
};

// Which stepped values of a curve a waveform output takes (copied from the row).
struct StepSelection {
    std::string Title;
    int32_t Checked = 0, Points = 0, SaveActual = 0;
    int32_t TemperatureCase = 0, MonteCarloCase = 0;
    int32_t SteppingCases[20] = {};
};

struct PlotCurve {
    PlotCurve();
    ~PlotCurve();
    PlotCurve(PlotCurve&&) noexcept;
    PlotCurve& operator=(PlotCurve&&) noexcept;
    PlotCurve(const PlotCurve&) = delete;
    PlotCurve& operator=(const PlotCurve&) = delete;

    // ---- look and formats (copied from the row)
    CurveStyle Style;           // Style.curveStyle is the curve kind: 0 "Normal", 1 "Popsicle", -1 automatic
    FormatSpec ScaleFormat[2];  // its `scale` turns values into displayed units
    FormatSpec ValueFormat[2];
    std::string ScaleFactorText[2];  // "Auto", "None" or a unit letter; empty reads as "None"
    std::string UnitsText[2];        // "Auto", "None" or a unit name; empty reads as "Auto"
    int32_t Hidden = 0;  // 0 or 99: shown

    // ---- the newest point
    int32_t SkipNextPoint = 0;
    int32_t HasNewPoint = 0;
    double Value[2] = {};
    ComplexNumber RawValue[2] = {};
    double RealValue[2] = {};
    uint32_t LastState = 0;
    int32_t StartOfRun = 1;
    double PrevX = 0;

    // ---- ranges and grids
    double RangeSpan[2] = {};
    double RangeLow[2] = {};
    double RangeHigh[2] = {};
    double GridStep[2] = {};
    double MinorStep[2] = {};
    std::string SmithScaleText = "1";
    double SmithScale = 1.0;
    double PrevRangeLow[2] = {};
    double PrevRangeHigh[2] = {};
    double PrevGridStep[2] = {};
    double PrevMinorStep[2] = {};
    double DataMax[2] = {kNoDataMax, kNoDataMax};
    double DataMin[2] = {kNoDataMin, kNoDataMin};
    double WindowMax = kNoDataMax;
    double WindowMin = kNoDataMin;
    int32_t XMaxPoint = 0, XMinPoint = 0;

    // ---- layout (owned by the plot layout)
    DeviceRect PlotRect;
    DeviceRect CellRect;
    int32_t UseFlags = 0;  // kCurveDrawn, kCurveListed
    DeviceXY DevicePoint;  // the newest point on the device
    DeviceXY PrevDevicePoint;
    int32_t XReversed = 0;
    int32_t RowIndex = -1;
    int32_t CurveId = -1;
    std::string ExprText[2];  // as shown; the Y text names the curve
    std::string ExtraText;    // kept with the expression texts, read by no operation here
    std::string AxisTitle[2];
    int32_t AxisTitleWidth[2] = {};
    int32_t AxisUnit[2] = {-1, -1};  // row of the unit table, -1 none
    double DeviceOffset[2] = {};
    double DeviceScale[2] = {1.0, 1.0};
    int32_t ProbeAutoScale[2] = {};
    int32_t AutoRange[2] = {kRangeFixed, kRangeFixed};

    // ---- cursors
    double CursorX[2] = {};
    double CursorY[2] = {};
    int32_t CursorOffset[2] = {};
    int32_t CursorRun[2] = {};
    double CursorAux[2] = {};  // complex-plane curves: the analysis variable at the cursor

    int32_t AxisLinear[2] = {1, 1};  // 1 linear, 0 log10
    int32_t PlotNumber = 0;          // plot group 1..9, 0 none
    int32_t PlotType = kPlotRectangular;
    int32_t IndexInPlot = 0;
    int32_t DrawsYScale = 0;
    int32_t SlopeMethod = 0;

    // ---- expressions
    std::unique_ptr<CompiledExpression> Expr[2];
    // The state handed to every evaluation of the two expressions (owned by the
    // evaluation; the curve keeps it alive).
    std::shared_ptr<FFTOperandStore> EvalState;
    double NormalizeFactor = 0;
    int32_t NormalizeBySubtract = 0;
    int32_t NormalizeCommand = 0;
    int32_t IsDigital = 0;
    int32_t PlotDigital = 0;  // of the plot group: 0 no digital curve, 1 all digital, 2 mixed

    // ---- the store
    int32_t DataColumn[kCurveColumnSlots] = {};
    int32_t SingleVar[2] = {};  // 'F', 'T' or 0
    int32_t TrackFrom = 0;
    int32_t DigitalLowY = 0, DigitalHighY = 0;
    int32_t PointIndex = -1;  // newest stored point, -1 none
    std::vector<RunCacheEntry> RunTables;
    std::vector<int32_t> RunFirst;  // per run: first point index
    std::vector<int32_t> RunLast;   // per run: last point index (RunFirst - 1 while empty)
    int32_t DigitalFormat = 0;
    DeviceXY LastTokenPoint;
    int32_t PointSkipped = 0;
    int16_t SavedAscending[2] = {};
    StepSelection Selection;

    // ---- plot geometry (set by the plot layout, plots/layout.h)
    CurveClipRegion ClipRegion;
    int32_t PlotWidth = 0, PlotHeight = 0;  // of PlotRect
    int32_t ScaleLabelWidth = 0;            // reserved for the Y scale labels
    int32_t LegendX = 0, LegendY = 0;       // the Y legend entry
    int32_t XLabelX = 0, XLabelY = 0;       // the X axis label
    DeviceXY PolarCenter;                   // complex-plane plots
    double PolarRadius = 0;                 // device radius of the rim
    double PolarMax = 0;                    // value at the rim

    // ---- data-point labels (plots/labels.h): one text per label, and per run
    // one point per label
    int32_t LabelCount = 0;
    std::vector<std::string> LabelTexts;
    std::vector<std::vector<DataPointXY>> LabelPoints;

    // ---- screen transform (plots/layout.cpp): device = value x DeviceScale +
    // DeviceOffset, on logarithmic axes with log10 of the value.
    double ToDeviceValue(int axis, double value) const;
    // Rounded half away from zero, kept 1000 inside the 32-bit range.
    int32_t ToDevice(int axis, double value) const;
    // The Y axis of a digital curve gives the level line of the state after
    // `previousState`; other axes the rounded value within the 32-bit range.
    int32_t ToDeviceInt(int axis, double value, uint32_t previousState = 0) const;
    // The state code on a digital Y axis, else ToDeviceInt.
    int32_t StateOrDevice(int axis, double value) const;
    // Back from a device coordinate to a value.
    double FromDevice(int axis, double device) const;
    // The engineering scale of the axis's formats and its unit from the range
    // and the scale-factor text.
    void ApplyScaleFactor(int axis);

    // ---- operations
    // Empty running extremes.
    void ResetRanges();
    // The curve kind of an FFT-family curve: "Popsicle" unless its Y uses RES or FS.
    void ChooseFftCurveKind();
    // SmithScale from SmithScaleText; a value <= 0 or an error gives "1" and 1.0.
    void ParseSmithScale();
    // A value as text in the axis's format ("-INF" for 1e-50 on a log axis).
    std::string FormatAxisValue(int axis, double value) const;
    // Frees everything the curve owns; the record is then as new.
    void Destroy();
    // Makes the curve a display copy of `source`: texts and formats duplicated,
    // compiled expressions, evaluation state and per-run data not shared.
    void CopyFrom(const PlotCurve& source);
    // Frees the drawing cache of every run (the entries stay).
    void FreeRunTables();

    bool HasPoint() const { return PointIndex >= 0; }
    bool IsShown() const { return Hidden == 0 || Hidden == 99; }
    uint32_t ExprFlags(int axis) const { return Expr[axis] ? Expr[axis]->flags : 0; }
    // The scale factor and units of an axis as plots and tables read them: a
    // row that never had its own (a .PRINT row, say) takes the plot defaults.
    const std::string& ScaleFactor(int axis) const;
    const std::string& Units(int axis) const;
    bool ScaleFactorIsNone(int axis) const;
    bool IsFftCurve() const { return (ExprFlags(kAxisY) & kExprFlagSpectrum) != 0; }
};

using PlotCurveArray = std::vector<PlotCurve>;

// Whether the Y expression of an FFT-family curve uses RES or FS (then it is
// drawn as a line, not as bars).
bool UsesResolutionOrSampleRate(const CompiledExpression& expr);

// The plotted curves come first in a document's array; these count.
int CountPlotted(const PlotCurveArray& curves);
// True when there are plotted curves and the first one holds a point.
bool CurvesHaveData(const PlotCurveArray& curves, int plottedCount);
// PointIndex = -1 for the first `plottedCount` curves.
void ResetPointIndices(PlotCurveArray& curves, int plottedCount);
