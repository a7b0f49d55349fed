#include "plots/apdoc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "analysis/limitsdlg.h"
#include "analysis/numout.h"
#include "compiler/warnings.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/evaluate.h"
#include "plots/apview.h"

namespace {

constexpr double kValueLimit = 1e50;
constexpr double kLogFloor = 1e-50;
// Digital state codes outside 0..511 are drawn as this code.
constexpr int32_t kBadStateCode = 57;
constexpr uint32_t kBusFormatFlags = 0x13800000;

// A device coordinate of an axis value: linear, or log10 on a logarithmic
// axis (0 maps to the offset), limited to the 32-bit range and rounded half
// away from zero.
int32_t ap_ToDeviceInt(const PlotCurve& c, int axis, double v) {
    double d;
    if (c.AxisLinear[axis])
        d = v * c.DeviceScale[axis] + c.DeviceOffset[axis];
    else if (v == 0)
        d = c.DeviceOffset[axis];
    else
        d = std::log10(std::max(v, kLogFloor)) * c.DeviceScale[axis] + c.DeviceOffset[axis];
    if (!(d < 2147483647.0)) return std::numeric_limits<int32_t>::max();
    if (!(d > -2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::lround(d));
}

// The state code a digital curve stores as its device Y.
int32_t ap_StateCode(const PlotCurve& c, uint32_t state) {
    if (c.ExprFlags(kAxisY) & kBusFormatFlags) return static_cast<int32_t>(state);
    const double v = c.Value[kAxisY];
    if (v < 0 || v > 511) return kBadStateCode;
    return static_cast<int32_t>(v);
}

uint32_t ap_State(double v) { return v <= 0 ? 0u : static_cast<uint32_t>(std::min(v, 4294967295.0)); }

}  // namespace

double AnalysisPoint::Variable() const {
    switch (Kind) {
    case 0:
    case 3: return Time;
    case 1: return Frequency;
    case 2: return SweepValue;
    default: return 0;
    }
}

CAPDoc::CAPDoc(int kind, std::string dataFileName) : CANDoc(kind), Store(std::move(dataFileName)) {}

CAPDoc::~CAPDoc() { CAPDoc::ClearCurves(); }

void CAPDoc::ClearCurves() {
    Store.FreePages(Runs);
    Store.DeleteDataFile();
    FreeCurves();
}

std::string CAPDoc::RowExpressionText(int curve, int axis) const {
    return Curves[static_cast<size_t>(curve)].ExprText[axis];
}

int CAPDoc::PrepareDataStore() {
    StoreLayout layout;
    layout.RunsExpected = std::max<int32_t>(1, Runs.Records.empty() ? 1 : static_cast<int32_t>(Runs.Records.size()));
    layout.AcColumns = Point.Kind == 1;
    layout.ShareTimeColumn = IsAnalysisDocument() && (Point.Kind == 0 || Point.Kind == 3);
    return Store.Prepare(Curves, Runs, layout);
}

void CAPDoc::StartRun(const RunRecord& record) { Store.StartRun(Curves, Runs, record); }

int CAPDoc::ReportAnalysisError(int row, int column, int code, const std::string& text) {
    if (!Run.MessageShown && code != kResultShown) {
        Run.MessageShown = 1;
        MessageRequest request(code);
        if (!text.empty()) request.Text(text.c_str());
        Reporter().Report(request);
        // The Analysis Limits dialog shows the offending row and column.
        if (CAnalysisLimitsDlg* limits = ActiveLimitsDialog(); limits && row >= 0) limits->FocusCell(row, column);
    }
    Run.StopFlag = 1;
    Run.RunFailed = 1;
    return code;
}

int CAPDoc::EvaluateCurvePoint() {
    ++Point.RunPointIndex;
    // The circuit's .WARNING conditions are tested at every computed point.
    if (CCTDoc* circuit = Circuit()) {
        if (int rc = EvaluateWarnings(circuit)) {
            Run.StopFlag = 1;
            return rc;
        }
    }
    for (int axis = kAxisX; axis <= kAxisY; ++axis) {
        for (int i = 0; i < CurveCount(); ++i) {
            PlotCurve& c = Curves[static_cast<size_t>(i)];
            CompiledExpression* expr = c.Expr[axis].get();
            ComplexNumber result{0, 0};
            if (expr && expr->TokenCount() > 0) {
                const int rc = EvaluateExpression(expr, &result, c.EvalState.get());
                if (rc) {
                    const std::string text = RowExpressionText(i, axis);
                    if (!Run.MessageShown) {
                        Run.MessageShown = 1;
                        Reporter().Report(MessageRequest(rc).Text(text.c_str()));
                    }
                    Run.StopFlag = 1;
                    return kResultShown;
                }
                if (StopOnDivideByZero && expr->evaluatorWords[kWordZeroDivide]) {
                    Run.StopFlag = 1;
                    return kResultShown;
                }
            }
            // FFT curves collect their data against the analysis variable.
            if (axis == kAxisX && expr && expr->TokenCount() == 1) {
                if ((Point.Kind == 0 || Point.Kind == 3) && c.SingleVar[kAxisX] == 'F') result.re = Point.Time;
                if (Point.Kind == 1 && c.SingleVar[kAxisX] == 'T') result.re = Point.Frequency;
            }
            c.RawValue[axis] = result;
            double value = result.re;
            if (!c.IsDigital && result.im != 0) value = std::hypot(result.re, result.im);
            if (!(axis == kAxisY && c.IsDigital)) {
                value = std::clamp(value, -kValueLimit, kValueLimit);
                if (!c.AxisLinear[axis] && value <= 0) value = kLogFloor;
            }
            c.RealValue[axis] = value;
            if (c.PlotType == kPlotRectangular) {
                c.Value[axis] = value;
            } else if (axis == kAxisY) {
                c.Value[kAxisX] = result.re;
                c.Value[kAxisY] = result.im;
            }
        }
    }
    return 0;
}

void CAPDoc::TrackMinMax(int curve) {
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    if (Point.RunPointIndex < c.TrackFrom) return;
    for (int a = kAxisX; a <= kAxisY; ++a) {
        if (c.Value[a] > c.DataMax[a]) {
            c.DataMax[a] = c.Value[a];
            if (a == kAxisX) c.XMaxPoint = c.PointIndex;
        }
        if (c.Value[a] < c.DataMin[a]) {
            c.DataMin[a] = c.Value[a];
            if (a == kAxisX) c.XMinPoint = c.PointIndex;
        }
        const int o = 1 - a;
        if (c.AutoRange[a] == kRangeFitRun && c.AutoRange[o] != kRangeFitRun) {
            const double lo = std::min(c.RangeLow[o], c.RangeHigh[o]);
            const double hi = std::max(c.RangeLow[o], c.RangeHigh[o]);
            if (c.Value[o] >= lo && c.Value[o] <= hi) {
                c.WindowMax = std::max(c.WindowMax, c.Value[a]);
                c.WindowMin = std::min(c.WindowMin, c.Value[a]);
            }
        }
    }
}

void CAPDoc::NoteCurvePoint(int curve) {
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    if (c.SkipNextPoint) {
        c.SkipNextPoint = 0;
        return;
    }
    if (PrepareNewPoint(curve)) StoreCurvePoint(curve, false);
}

bool CAPDoc::PrepareNewPoint(int curve) {
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    if (c.SkipNextPoint) {
        c.SkipNextPoint = 0;
        return false;
    }
    if (c.IsDigital) {
        const uint32_t s = ap_State(c.Value[kAxisY]);
        // Only changes of a digital state are stored.
        if (!c.StartOfRun && s == c.LastState) return false;
        c.DevicePoint.x = ap_ToDeviceInt(c, kAxisX, c.Value[kAxisX]);
        c.DevicePoint.y = ap_StateCode(c, s);
        c.LastState = s;
        c.StartOfRun = 0;
        return true;
    }
    if (Point.DigitalReplayPoint && !Point.AnalogValuesCurrent) return false;
    c.DevicePoint = {ap_ToDeviceInt(c, kAxisX, c.Value[kAxisX]), ap_ToDeviceInt(c, kAxisY, c.Value[kAxisY])};
    return true;
}

void CAPDoc::StoreCurvePoint(int curve, bool force) {
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    // Several digital events at one time keep only the last state.
    if (c.IsDigital && c.Value[kAxisX] == c.PrevX && c.PointIndex > -1) {
        --c.PointIndex;
        if (Runs.Count > 0) c.RunLast[static_cast<size_t>(Runs.Count - 1)] = c.PointIndex;
    }
    const int every = DisplayEveryN();
    if (Point.RunPointIndex > 0 && IsAnalysisDocument() && !c.IsDigital && !force && every > 1 &&
        Point.AnalysisPointCount % every != 0) {
        c.PointSkipped = 1;
        return;
    }
    c.PointSkipped = 0;
    const bool transient = Point.Kind == 0 || Point.Kind == 3;
    const bool uicStart = transient && IsAnalysisDocument() && Point.UicRun;
    // A run without an operating point reserves its first slot for the values
    // at its start time.
    if (uicStart && PointsInRun(c, Runs) == -1) Store.NextPointIndex(c, Runs);
    if (!Store.NextPointIndex(c, Runs)) return;
    c.PrevX = c.Value[kAxisX];
    Store.SetValue(c.DataColumn[kSlotX], c.PointIndex, c.Value[kAxisX]);
    Store.SetValue(c.DataColumn[kSlotY], c.PointIndex, c.Value[kAxisY]);
    if (Point.Kind == 1 && IsAnalysisDocument()) {
        Store.SetValue(c.DataColumn[kSlotXRealPart], c.PointIndex, c.RawValue[kAxisX].re);
        Store.SetValue(c.DataColumn[kSlotXImagPart], c.PointIndex, c.RawValue[kAxisX].im);
        Store.SetValue(c.DataColumn[kSlotYRealPart], c.PointIndex, c.RawValue[kAxisY].re);
        Store.SetValue(c.DataColumn[kSlotYImagPart], c.PointIndex, c.RawValue[kAxisY].im);
        Store.SetValue(c.DataColumn[kSlotXRealValue], c.PointIndex, c.RealValue[kAxisX]);
        Store.SetValue(c.DataColumn[kSlotYRealValue], c.PointIndex, c.RealValue[kAxisY]);
    }
    c.HasNewPoint = 1;
    if ((c.DataColumn[kSlotX] != kSharedColumn && !c.IsDigital) || c.IsFftCurve())
        Store.SetValue(kSharedColumn, c.PointIndex, Point.Variable());
    if (uicStart && PointsInRun(c, Runs) == (c.IsDigital ? 1 : 2)) FillRunStart(curve);
}

double CAPDoc::InterpolateAtStart(int curve, int axis, int point) {
    const PlotCurve& c = Curves[static_cast<size_t>(curve)];
    const int column = c.DataColumn[axis == kAxisX ? kSlotX : kSlotY];
    const double x1 = Store.GetValue(kSharedColumn, point + 1), x2 = Store.GetValue(kSharedColumn, point + 2);
    const double y1 = Store.GetValue(column, point + 1), y2 = Store.GetValue(column, point + 2);
    return InterpolateLinear(y2, y1, Point.Tmin, x2, x1);
}

void CAPDoc::FillRunStart(int curve) {
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    if (Runs.Count <= 0) return;
    const int f = c.RunFirst[static_cast<size_t>(Runs.Count - 1)];
    const int yColumn = c.DataColumn[kSlotY];
    const double y = c.IsDigital ? Store.GetValue(yColumn, f + 1) : InterpolateAtStart(curve, kAxisY, f);
    Store.SetValue(yColumn, f, y);
    double x = Point.Tmin;
    if (!c.IsDigital && c.DataColumn[kSlotX] != kSharedColumn) x = InterpolateAtStart(curve, kAxisX, f);
    if (x < c.DataMin[kAxisX]) {
        c.DataMin[kAxisX] = x;
        c.XMinPoint = f;
    }
    Store.SetValue(c.DataColumn[kSlotX], f, x);
    Store.SetValue(kSharedColumn, f, Point.Tmin);
}

void CAPDoc::PlotLatestPoint() {
    if (Runs.Count <= 0) return;
    for (int i = 0; i < CurveCount(); ++i) {
        PlotCurve& c = Curves[static_cast<size_t>(i)];
        if (c.IsDigital) {
            c.DevicePoint = {ap_ToDeviceInt(c, kAxisX, c.Value[kAxisX]), ap_StateCode(c, ap_State(c.Value[kAxisY]))};
            StoreCurvePoint(i, true);
        } else if (c.PointSkipped) {
            c.DevicePoint = {ap_ToDeviceInt(c, kAxisX, c.Value[kAxisX]), ap_ToDeviceInt(c, kAxisY, c.Value[kAxisY])};
            StoreCurvePoint(i, true);
        }
    }
}

int CAPDoc::RebuildPlot() {
    if (NoDrawing) return 0;
    // The curves of the run are prepared for display whether or not a window
    // shows them now: a print draws them later.
    const PlotWindowSettings* settings = PlotSettingsOf(this);
    PrepareCurveLayout(Curves, settings && settings->sameYScales, &Run.StopFlag);
    // Curves that cannot share a graph end the run before it draws a point.
    const bool checked =
        Kind() != kDocFilter && Kind() != kDocCurvePlot && (!PlotView || PlotView->kind == kDocAnalysisPlot);
    if (checked)
        if (const int code = CheckPlotGroups(*this)) return code;
    return Run.StopFlag ? 1 : 0;
}

bool CAPDoc::PointInPlot(int curve, int x, int y, int margin) const {
    if (curve < 0 || curve >= CurveCount()) return false;
    const PlotCurve& c = Curves[static_cast<size_t>(curve)];
    const double left = c.PlotRect.left - margin, top = c.PlotRect.top - margin;
    const double right = c.PlotRect.right + margin, bottom = c.PlotRect.bottom + margin;
    if (c.PlotType == kPlotRectangular) return x >= left && x < right && y >= top && y < bottom;
    const double rx = (right - left) / 2, ry = (bottom - top) / 2;
    if (rx <= 0 || ry <= 0) return false;
    const double dx = (x - (left + rx)) / rx, dy = (y - (top + ry)) / ry;
    return dx * dx + dy * dy <= 1;
}

int CAPDoc::CurveAtPoint(int x, int y) {
    const int count = CurveCount();
    int digital = -1;
    int nearest = 30000;
    for (int i = 0; i < count; ++i) {
        const PlotCurve& c = Curves[static_cast<size_t>(i)];
        if (!c.IsDigital || !(c.UseFlags & kCurveDrawn)) continue;
        if (!(x >= c.PlotRect.left && x < c.PlotRect.right && y >= c.PlotRect.top && y < c.PlotRect.bottom)) continue;
        if (y >= c.DigitalHighY && y <= c.DigitalLowY) {
            digital = i;
            break;
        }
        const int distance = std::min(std::abs(y - c.DigitalHighY), std::abs(y - c.DigitalLowY));
        if (distance < nearest) {
            nearest = distance;
            digital = i;
        }
    }
    if (digital >= 0) {
        const int group = Curves[static_cast<size_t>(digital)].PlotNumber;
        for (int i = 0; i < count; ++i) {
            const PlotCurve& c = Curves[static_cast<size_t>(i)];
            if (!c.IsDigital && (c.UseFlags & kCurveDrawn) && c.PlotNumber == group) return i;
        }
        return digital;
    }
    for (int i = 0; i < count; ++i) {
        const PlotCurve& c = Curves[static_cast<size_t>(i)];
        if (!(c.UseFlags & kCurveDrawn) || !PointInPlot(i, x, y, 0)) continue;
        if (CurrentCurve >= 0 && CurrentCurve < count &&
            Curves[static_cast<size_t>(CurrentCurve)].PlotNumber == c.PlotNumber)
            return CurrentCurve;
        return i;
    }
    return -1;
}

void CAPDoc::FreeRunTables() {
    for (PlotCurve& c : Curves) c.FreeRunTables();
}
