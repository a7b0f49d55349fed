// Building the plot curves of the running analysis kind from its curve rows.
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "compiler/compiled.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/properties.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"
#include "expr/devicelist.h"
#include "expr/runvars.h"
#include "expr/services.h"
#include "plots/fftcurves.h"
#include "plots/g2ddoc.h"
#include "plots/ranges.h"

namespace {

constexpr int32_t kCurveSymbolMask = 0x7C840;

bool cb_IsDigit(char c) { return c >= '1' && c <= '9'; }

// Blanks outside double quotes removed, the rest in upper case.
std::string cb_Squeeze(const char* text) {
    std::string out;
    bool quoted = false;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        if (!quoted && std::isspace(static_cast<unsigned char>(*p))) continue;
        out += quoted ? *p : static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    return out;
}

std::string cb_Text(const char* text) { return text ? text : ""; }

bool cb_IsAutoRange(const char* text) {
    const std::string t = cb_Squeeze(text);
    return t == "AUTO" || t == "AUTOALWAYS";
}

// The absolute value of a grid text, 0 when empty; the evaluator's code.
int cb_GridValue(const char* text, double* out) {
    *out = 0;
    if (!text || !*text) return 0;
    LimitValues values;
    const int rc = ParseLimitValues(text, &values, false, false);
    if (!rc) *out = std::fabs(values.to);
    return rc;
}

// The single variable an expression is made of: 'T' time, 'F' frequency, else 0.
int32_t cb_SingleVariable(const CompiledExpression& expr) {
    const ExprToken* only = expr.FirstToken();
    if (!only || only->Next() || only->code != kOperandDouble) return 0;
    if (only->operand.doublePtr == &RunVars.time) return 'T';
    if (only->operand.doublePtr == &RunVars.frequency) return 'F';
    return 0;
}

}  // namespace

int CG2DDoc::PrepareCurves(bool prepareStore, bool keepRanges) {
    const int k = RunningKind;
    AnalysisKindSettings* settings = KindSettings(k);
    RunFinished = 0;
    ClearCurves();
    if (!settings) return ReportAnalysisError(-1, 1, kMsgNoCurveToPlot);
    if (settings->reduceDisplay <= 0) settings->reduceDisplay = 1;
    if (settings->reduceSave <= 0) settings->reduceSave = 1;

    bool anyPlotted = false;
    for (auto& row : settings->curves) {
        if (row->plotGroup == '0') row->plotGroup = ' ';
        if (cb_IsDigit(row->plotGroup)) anyPlotted = true;
    }
    if (!anyPlotted) return ReportAnalysisError(-1, 1, kMsgNoCurveToPlot);
    if (Run.StopFlag) return kResultShown;

    // The compile binds node operands into the engine's solution and device
    // quantities into the compiled circuit's device lists.
    CompiledCircuit* compiled = Circuit() ? FindCompiledCircuit(Circuit()) : nullptr;
    std::optional<DeviceListScope> lists;
    if (compiled) lists.emplace(compiled->devices);

    const size_t rows = settings->curves.size();
    int curveIndex = -1;
    // Pass 1: the plotted rows; pass 2: the rows only listed in the numeric output.
    for (int pass = 1; pass <= 2; ++pass) {
        for (size_t r = 0; r < rows; ++r) {
            const CurveRow& row = *settings->curves[r];
            const bool plotted = cb_IsDigit(row.plotGroup);
            const bool listed = (row.options & kOutputFlag) != 0;
            if (pass == 1 ? !plotted : (plotted || !listed)) continue;
            bool added = false;
            const int before = CurveCount();
            if (int rc = AddCurve(static_cast<int>(r), pass == 1 ? kCurveDrawn : kCurveListed, added, curveIndex)) {
                Run.StopFlag = 1;
                return rc;
            }
            if (pass == 1) {
                ++PlottedCount;
                if (listed) AddCurve(static_cast<int>(r), kCurveListed, added, curveIndex);
            }
            if (CurveCount() == before) continue;
            PlotCurve& c = Curves[static_cast<size_t>(curveIndex)];
            c.AxisLinear[kAxisX] = (row.options & kOutputLinearX) ? 1 : 0;
            c.AxisLinear[kAxisY] = (row.options & kOutputLinearY) ? 1 : 0;
            c.SmithScaleText = row.smithScaleFactor && *row.smithScaleFactor ? row.smithScaleFactor : "1";
            c.ParseSmithScale();
            for (int a = kAxisX; a <= kAxisY; ++a) {
                if (c.PlotType != kPlotRectangular) c.AxisLinear[a] = 1;
                c.ScaleFactorText[a] = cb_Text(a ? row.formats.scaleFactorY : row.formats.scaleFactorX);
                c.UnitsText[a] = cb_Text(a ? row.formats.scaleUnitsY : row.formats.scaleUnitsX);
            }
            c.Style.textColor = row.display.textColor;
            c.Style.lineColor = row.display.lineColor;
            c.Style.lineWidth = row.display.lineWidth;
            c.Style.pattern = row.display.pattern;
            c.Style.rainbow = row.rainbow;
            c.Style.pointStyle = row.display.pointStyle;
            c.Style.curveStyle = row.display.curveStyle;
            if (c.Style.curveStyle == -1) c.ChooseFftCurveKind();
            if (!keepRanges) SetUpCurveRanges(curveIndex, static_cast<int>(r));
            if (Run.StopFlag) return kResultShown;
        }
    }
    RebindObjects();
    if (PrepareFFTOperandStores(*this)) return kResultShown;
    if (Run.StopFlag) return kResultShown;
    if (prepareStore && PrepareDataStore() == 0) {
        Run.StopFlag = 1;
        return kResultNoMemory;
    }
    if (HasFftCurves()) settings->reduceDisplay = settings->reduceSave = 1;
    return 0;
}

int CG2DDoc::AddCurve(int row, int32_t useFlag, bool& added, int& curveIndex) {
    if (added) {
        Curves[static_cast<size_t>(curveIndex)].UseFlags |= useFlag;
        return 0;
    }
    const CurveRow& source = *KindSettings(RunningKind)->curves[static_cast<size_t>(row)];
    Curves.emplace_back();
    const int index = CurveCount() - 1;
    PlotCurve& c = Curves.back();
    c.AutoRange[kAxisX] = c.AutoRange[kAxisY] = kRangeFixed;
    c.ResetRanges();
    c.PlotType = source.chartType;
    c.StartOfRun = 1;
    c.PointIndex = -1;
    c.RowIndex = row;
    c.UseFlags |= useFlag;
    c.Selection.Title = cb_Text(source.worksheetTitle);
    c.Selection.Checked = source.worksheetChecked;
    c.Selection.Points = source.worksheetPoints;
    c.Selection.SaveActual = source.worksheetSaveActual;
    c.Selection.TemperatureCase = source.temperatureCase;
    c.Selection.MonteCarloCase = source.monteCarloCase;
    std::memcpy(c.Selection.SteppingCases, source.steppingCases, sizeof c.Selection.SteppingCases);

    for (int axis = kAxisX; axis <= kAxisY; ++axis) {
        if (Run.StopFlag) {
            Curves.pop_back();
            return kResultShown;
        }
        const char* rowText = axis ? source.yExpression : source.xExpression;
        char* substituted = nullptr;
        if (ExpressionDefines().SubstituteDefines(rowText ? rowText : "", -1, &substituted)) {
            Curves.pop_back();
            return kResultShown;
        }
        const std::string text = cb_Squeeze(substituted);
        FreeString(&substituted);
        if (CompileCurveExpression(text, cb_Text(rowText), index, axis, 0)) {
            Curves.pop_back();
            return kResultShown;
        }
    }
    PlotCurve& curve = Curves.back();
    if ((source.options & kOutputFlag) || cb_IsDigit(source.plotGroup)) {
        curve.CurveId = source.aliasId;
        if (cb_IsDigit(source.plotGroup)) curve.PlotNumber = source.plotGroup - '0';
        curve.ScaleFormat[kAxisX] = source.formats.scaleX;
        curve.ScaleFormat[kAxisY] = source.formats.scaleY;
        curve.ValueFormat[kAxisX] = source.formats.valueX;
        curve.ValueFormat[kAxisY] = source.formats.valueY;
        curve.SlopeMethod = source.slopeUnit;
    }
    added = true;
    curveIndex = index;
    const uint32_t history = curve.ExprFlags(kAxisX) | curve.ExprFlags(kAxisY);
    curve.TrackFrom = (history & kExprFlagRunningIntegral) && curve.Expr[kAxisY] ? curve.Expr[kAxisY]->historyDepth : 0;
    return 0;
}

int CG2DDoc::CompileCurveExpression(const std::string& text, const std::string& shownText, int curve, int axis,
                                    int mode) {
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    std::vector<char> normalised(text.begin(), text.end());
    normalised.push_back(0);
    NormalizeSigns(normalised.data());
    c.ExprText[axis] = shownText;
    c.Expr[axis] = std::make_unique<CompiledExpression>();
    CompiledExpression* expr = c.Expr[axis].get();
    if (const CCTDoc* circuit = Circuit()) expr->dialect = circuit->dialect;
    const int k = RunningKind;
    ExprCompiler ctx;
    ctx.Init(normalised.data(), expr, (k >= 0 && k <= 3 ? 1 << k : 1) | kMaskPlotCurve, kCurveSymbolMask);
    ctx.quiet = mode != 0 ? 1 : 0;
    // A curve of a device's power asks the device to work its power out.
    ctx.referenceFlags = kRefDisplay;
    // RE, IM, MAG, PH and RMS of a spectrum take their whole-array codes.
    CompiledExpressionState noState = {nullptr, 0};
    ctx.analysisMask |= kMaskNoState;
    ctx.state = &noState;
    int rc = CompileExpression(&ctx);
    if (rc) {
        if (mode == 2) return 0;
        // The compiler shows its own messages; the two it leaves to its caller are shown here.
        if (rc != kResultShown && !Run.MessageShown) {
            Reporter().Report(MessageRequest(rc).Text(shownText.c_str()));
            Run.MessageShown = 1;
        }
        ReportAnalysisError(c.RowIndex, axis + 1, kResultShown);
        return rc;
    }
    c.SingleVar[axis] = cb_SingleVariable(*expr);
    c.IsDigital = axis == kAxisY && (expr->flags & kExprFlagDigitalLevel) ? 1 : 0;
    const uint32_t flags = expr->flags;
    int check = 0;
    if (axis == kAxisX && (flags & kExprFlagDigitalLevel))
        check = kMsgDigitalX;
    else if ((flags & kExprFlagDigitalLevel) && k == 1)
        check = kMsgDigitalInAc;
    else if (axis == kAxisX && (flags & kExprFlagSpectrum))
        check = kMsgFftXExpression;
    else if (axis == kAxisY && (flags & kExprFlagSpectrum)) {
        if (c.SingleVar[kAxisX] != 'T' && UsesResolutionOrSampleRate(*expr))
            check = kMsgResNeedsT;
        else if (c.SingleVar[kAxisX] != 'F' && c.SingleVar[kAxisX] != 'T')
            check = kMsgFftNeedsFOrT;
    }
    if (check) ReportAnalysisError(c.RowIndex, 1, check);
    return 0;
}

int CG2DDoc::SetUpCurveRanges(int curve, int row) {
    AnalysisKindSettings* settings = KindSettings(RunningKind);
    CurveRow& source = *settings->curves[static_cast<size_t>(row)];
    PlotCurve& c = Curves[static_cast<size_t>(curve)];
    const bool autoScale = (settings->optionWord & kViewAutoScaleRanges) != 0;
    const int divisions[2] = {settings->window.gridsX > 0 ? settings->window.gridsX : 5,
                              settings->window.gridsY > 0 ? settings->window.gridsY : 5};
    AnalysisRanges ranges = CurrentAnalysisRanges();
    ranges.Divisions[0] = divisions[0];
    ranges.Divisions[1] = divisions[1];
    ranges.ProbeMode = ProbeMode != 0;
    for (int a = kAxisX; a <= kAxisY; ++a) {
        char*& rangeText = a ? source.yRange : source.xRange;
        if (a == kAxisY && c.IsDigital) {
            if (cb_Squeeze(rangeText) != "N/A") {
                SetString(&rangeText, "N/A");
                if (CCTDoc* circuit = Circuit()) circuit->MarkDirty();
            }
            continue;
        }
        int err = cb_GridValue(a ? source.gridY : source.gridX, &c.GridStep[a]);
        if (!err) err = cb_GridValue(a ? source.boldY : source.boldX, &c.MinorStep[a]);
        if (cb_IsAutoRange(rangeText) && !err) {
            SetDefaultRange(c, a, divisions[a], ranges);
            continue;
        }
        if (autoScale) c.AutoRange[a] = kRangeFitRun;
        LimitValues values;
        if (!err) err = ParseLimitValues(rangeText ? rangeText : "", &values, true, false);
        if (!err) {
            c.RangeHigh[a] = values.to;
            c.RangeLow[a] = values.from;
            const double width = std::fabs(c.RangeHigh[a] - c.RangeLow[a]);
            if (c.GridStep[a] != 0 && c.GridStep[a] < 0.01 * width) c.GridStep[a] = width / divisions[a];
        }
        if (err) {
            if (autoScale) {
                SetDefaultRange(c, a, divisions[a], ranges);
                continue;
            }
            return ReportAnalysisError(row, a + 3, err, cb_Text(rangeText));
        }
        if ((!c.AxisLinear[a] && (c.RangeLow[a] <= 0 || c.RangeHigh[a] <= 0)) || c.RangeLow[a] == c.RangeHigh[a]) {
            if (autoScale) {
                SetDefaultRange(c, a, divisions[a], ranges);
                continue;
            }
            return ReportAnalysisError(row, a + 3, kMsgIllegalRange, cb_Text(rangeText));
        }
    }
    return 0;
}

bool CG2DDoc::HasFftCurves() const {
    for (const PlotCurve& c : Curves)
        if (c.IsFftCurve()) return true;
    return false;
}
