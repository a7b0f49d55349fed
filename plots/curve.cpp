#include "plots/curve.h"

#include <strings.h>

#include <utility>

#include "compiler/support.h"
#include "core/services.h"

void RunCacheEntry::Free() {
    std::vector<DeviceXY>().swap(Polyline);
    std::vector<DeviceXY>().swap(Marks);
    std::vector<DeviceXY>().swap(Tokens);
}

PlotCurve::PlotCurve() = default;
PlotCurve::~PlotCurve() = default;
PlotCurve::PlotCurve(PlotCurve&&) noexcept = default;
PlotCurve& PlotCurve::operator=(PlotCurve&&) noexcept = default;

void PlotCurve::ResetRanges() {
    DataMax[kAxisX] = DataMax[kAxisY] = WindowMax = kNoDataMax;
    DataMin[kAxisX] = DataMin[kAxisY] = WindowMin = kNoDataMin;
}

bool UsesResolutionOrSampleRate(const CompiledExpression& expr) {
    for (const ExprToken* token = expr.FirstToken(); token != nullptr; token = token->Next()) {
        const char* text = token->text.text();
        if (text != nullptr && (strcasecmp(text, "RES") == 0 || strcasecmp(text, "FS") == 0)) return true;
    }
    return false;
}

void PlotCurve::ChooseFftCurveKind() {
    Style.curveStyle = IsFftCurve() && !UsesResolutionOrSampleRate(*Expr[kAxisY]) ? 1 : 0;
}

void PlotCurve::ParseSmithScale() {
    int error = 0;
    double value = SmithScaleText.empty() ? 0 : EvaluateNumericText(SmithScaleText.c_str(), &error, 0);
    if (error != 0 || !(value > 0)) {
        SmithScaleText = "1";
        value = 1.0;
    }
    SmithScale = value;
}

std::string PlotCurve::FormatAxisValue(int axis, double value) const {
    char buffer[128] = {};
    if (axis == kAxisY && IsDigital) {
        uint64_t state = value > 0 ? static_cast<uint64_t>(value) : 0;
        FormatDigitalValue(ExprFlags(kAxisY), buffer, sizeof buffer, state, DigitalFormat);
        return buffer;
    }
    if (!AxisLinear[axis] && value == 1e-50) return "-INF";
    // "None" puts no prefix into the axis title, so each value carries its own
    // letter; otherwise the title has it and the values go without.
    int style = PlotType == kPlotRectangular ? kFormatFixedScale | kFormatFixedScaleNoLetter : 0;
    if (PlotType == kPlotRectangular && ScaleFactorIsNone(axis)) style = kFormatFixedScale;
    FormatValueWithSpec(&ValueFormat[axis], buffer, sizeof buffer, value, style, 0);
    return buffer;
}

const std::string& PlotCurve::ScaleFactor(int axis) const {
    static const std::string none = "None";
    return ScaleFactorText[axis].empty() ? none : ScaleFactorText[axis];
}

const std::string& PlotCurve::Units(int axis) const {
    static const std::string automatic = "Auto";
    return UnitsText[axis].empty() ? automatic : UnitsText[axis];
}

bool PlotCurve::ScaleFactorIsNone(int axis) const { return strcasecmp(ScaleFactor(axis).c_str(), "None") == 0; }

void PlotCurve::Destroy() { *this = PlotCurve(); }

void PlotCurve::CopyFrom(const PlotCurve& source) {
    if (&source == this) return;
    Destroy();
    Style = source.Style;
    for (int a = 0; a < 2; ++a) {
        ScaleFormat[a] = source.ScaleFormat[a];
        ValueFormat[a] = source.ValueFormat[a];
        ScaleFactorText[a] = source.ScaleFactorText[a];
        UnitsText[a] = source.UnitsText[a];
        Value[a] = source.Value[a];
        RawValue[a] = source.RawValue[a];
        RealValue[a] = source.RealValue[a];
        RangeSpan[a] = source.RangeSpan[a];
        RangeLow[a] = source.RangeLow[a];
        RangeHigh[a] = source.RangeHigh[a];
        GridStep[a] = source.GridStep[a];
        MinorStep[a] = source.MinorStep[a];
        PrevRangeLow[a] = source.PrevRangeLow[a];
        PrevRangeHigh[a] = source.PrevRangeHigh[a];
        PrevGridStep[a] = source.PrevGridStep[a];
        PrevMinorStep[a] = source.PrevMinorStep[a];
        DataMax[a] = source.DataMax[a];
        DataMin[a] = source.DataMin[a];
        ExprText[a] = source.ExprText[a];
        AxisTitle[a] = source.AxisTitle[a];
        AxisTitleWidth[a] = source.AxisTitleWidth[a];
        AxisUnit[a] = source.AxisUnit[a];
        DeviceOffset[a] = source.DeviceOffset[a];
        DeviceScale[a] = source.DeviceScale[a];
        ProbeAutoScale[a] = source.ProbeAutoScale[a];
        AutoRange[a] = source.AutoRange[a];
        CursorX[a] = source.CursorX[a];
        CursorY[a] = source.CursorY[a];
        CursorOffset[a] = source.CursorOffset[a];
        CursorRun[a] = source.CursorRun[a];
        CursorAux[a] = source.CursorAux[a];
        AxisLinear[a] = source.AxisLinear[a];
        SingleVar[a] = source.SingleVar[a];
        SavedAscending[a] = source.SavedAscending[a];
    }
    Hidden = source.Hidden;
    SkipNextPoint = source.SkipNextPoint;
    HasNewPoint = source.HasNewPoint;
    LastState = source.LastState;
    StartOfRun = source.StartOfRun;
    PrevX = source.PrevX;
    SmithScaleText = source.SmithScaleText;
    SmithScale = source.SmithScale;
    WindowMax = source.WindowMax;
    WindowMin = source.WindowMin;
    XMaxPoint = source.XMaxPoint;
    XMinPoint = source.XMinPoint;
    PlotRect = source.PlotRect;
    CellRect = source.CellRect;
    UseFlags = source.UseFlags;
    DevicePoint = source.DevicePoint;
    PrevDevicePoint = source.PrevDevicePoint;
    XReversed = source.XReversed;
    RowIndex = source.RowIndex;
    CurveId = source.CurveId;
    ExtraText = source.ExtraText;
    PlotNumber = source.PlotNumber;
    PlotType = source.PlotType;
    IndexInPlot = source.IndexInPlot;
    DrawsYScale = source.DrawsYScale;
    SlopeMethod = source.SlopeMethod;
    NormalizeFactor = source.NormalizeFactor;
    NormalizeBySubtract = source.NormalizeBySubtract;
    NormalizeCommand = source.NormalizeCommand;
    IsDigital = source.IsDigital;
    PlotDigital = source.PlotDigital;
    for (int i = 0; i < kCurveColumnSlots; ++i) DataColumn[i] = source.DataColumn[i];
    TrackFrom = source.TrackFrom;
    DigitalLowY = source.DigitalLowY;
    DigitalHighY = source.DigitalHighY;
    PointIndex = source.PointIndex;
    DigitalFormat = source.DigitalFormat;
    LastTokenPoint = source.LastTokenPoint;
    PointSkipped = source.PointSkipped;
    Selection = source.Selection;
    ClipRegion = source.ClipRegion;
    PlotWidth = source.PlotWidth;
    PlotHeight = source.PlotHeight;
    ScaleLabelWidth = source.ScaleLabelWidth;
    LegendX = source.LegendX;
    LegendY = source.LegendY;
    XLabelX = source.XLabelX;
    XLabelY = source.XLabelY;
    PolarCenter = source.PolarCenter;
    PolarRadius = source.PolarRadius;
    PolarMax = source.PolarMax;
    // A copy shows the curve; it never evaluates it nor owns its runs.
}

void PlotCurve::FreeRunTables() {
    for (RunCacheEntry& entry : RunTables) entry.Free();
}

int CountPlotted(const PlotCurveArray& curves) {
    int count = 0;
    while (count < static_cast<int>(curves.size()) && (curves[static_cast<size_t>(count)].UseFlags & kCurveDrawn))
        ++count;
    return count;
}

bool CurvesHaveData(const PlotCurveArray& curves, int plottedCount) {
    return plottedCount > 0 && !curves.empty() && curves.front().PointIndex >= 0;
}

void ResetPointIndices(PlotCurveArray& curves, int plottedCount) {
    for (int i = 0; i < plottedCount && i < static_cast<int>(curves.size()); ++i)
        curves[static_cast<size_t>(i)].PointIndex = -1;
}
