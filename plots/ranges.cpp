#include "plots/ranges.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/start.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "plots/store.h"

namespace {

constexpr int rg_NiceSteps[] = {10, 12, 15, 16, 20, 25, 30, 40, 50, 60, 75, 80, 100, 120, 150};
constexpr double rg_LogFloor = 1e-50;
constexpr int rg_PlotGroups = 9;

// t x 10^e and value / 10^e, each rounded once.
double rg_Scale(double t, int e) { return e >= 0 ? t * std::pow(10.0, e) : t / std::pow(10.0, -e); }
double rg_Unscale(double value, int e) { return e >= 0 ? value / std::pow(10.0, e) : value * std::pow(10.0, -e); }

bool rg_IsAutomatic(int32_t mode) { return mode == kRangeFitRun || mode == kRangeFitRequest; }

bool rg_SameTextNoCase(const std::string& text, const char* other) {
    // Blanks around the text do not count.
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return *other == 0;
    size_t last = text.find_last_not_of(" \t");
    return text.size() > 0 && strncasecmp(text.c_str() + first, other, last - first + 1) == 0 &&
           std::strlen(other) == last - first + 1;
}

bool rg_IsNone(const PlotCurve& curve, int axis) { return curve.ScaleFactorIsNone(axis); }

double rg_Multiplier(const PlotCurve& curve, int axis) {
    double m = curve.ScaleFormat[axis].scale;
    return rg_IsNone(curve, axis) || !(m != 0) || !std::isfinite(m) ? 1.0 : m;
}

// The curve row's X expression the DC sweep compares.
const char* rg_RowXText(const PlotCurve& curve, const AnalysisRanges& analysis) {
    if (analysis.ProbeMode) return curve.ExprText[kAxisX].c_str();
    if (analysis.Rows == nullptr || curve.RowIndex < 0 ||
        static_cast<size_t>(curve.RowIndex) >= analysis.Rows->curves.size())
        return nullptr;
    const CurveRow* row = analysis.Rows->curves[static_cast<size_t>(curve.RowIndex)].get();
    return row && row->xExpression ? row->xExpression : "";
}

CurveRow* rg_Row(const PlotCurve& curve, AnalysisKindSettings* rows) {
    if (rows == nullptr || curve.RowIndex < 0 || static_cast<size_t>(curve.RowIndex) >= rows->curves.size())
        return nullptr;
    return rows->curves[static_cast<size_t>(curve.RowIndex)].get();
}

bool rg_Changed(double previous, double current, double gmin) {
    double denominator = std::max(std::max(previous, current), gmin);
    return std::fabs(previous - current) / denominator > 1e-6;
}

std::string rg_Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    TrimNumberZeros(text);
    StripExponentPadding(text);
    return text;
}

}  // namespace

int NiceRange(int divisions, double high, double low, double* newHigh, double* newLow, double* step) {
    const bool exchanged = low > high;
    if (exchanged) std::swap(low, high);
    if (low == high) high = low == 0 ? 1.0 : low + 0.1 * std::fabs(low);
    const bool mirrored = high <= 0;
    if (mirrored) {
        double mirroredLow = -high;
        high = -low;
        low = mirroredLow;
    }
    if (divisions < 2) divisions = 2;
    const double span = high - low;
    // Spans that are not finite, or too small to scale, have no nice range.
    if (!std::isfinite(span) || !(span > 0) || !std::isfinite(low)) return -1;
    int d = divisions - 1;
    double candidate = 0;
    for (int attempt = 0; attempt < 3; ++attempt, d *= 2) {
        const double raw = span / (d + 1);
        if (!(raw > 0) || !std::isfinite(raw)) return -1;
        // raw = m x 10^e with m in [10, 100]. Powers of ten multiply or divide
        // (never 0.1 repeated), so that steps such as 1.5 come out exact.
        int e = static_cast<int>(std::floor(std::log10(raw))) - 1;
        double m = rg_Unscale(raw, e);
        while (m < 10) m = rg_Unscale(raw, --e);
        while (m > 100) m = rg_Unscale(raw, ++e);
        for (int t : rg_NiceSteps) {
            // m carries the rounding of its scaling: 12.000000000000002 still takes 12.
            if (t < m * (1 - 1e-12)) continue;
            candidate = rg_Scale(t, e);
            const double base = std::floor(low / candidate) * candidate;
            if (high <= base + d * candidate) {
                const double ratio = static_cast<double>(d) / (divisions - 1);
                const double returnedStep = candidate * ratio;
                double resultLow = mirrored ? -(base + d * candidate) : base;
                double resultHigh = resultLow + divisions * returnedStep;
                if (exchanged) std::swap(resultLow, resultHigh);
                *newLow = resultLow;
                *newHigh = resultHigh;
                *step = returnedStep;
                return 0;
            }
        }
    }
    *step = candidate;
    return -1;
}

AnalysisRanges CurrentAnalysisRanges() {
    AnalysisRanges ranges;
    ranges.Kind = gSolver.AnalysisKind;
    ranges.Tmin = RunVars.tmin;
    ranges.Tmax = RunVars.tmax;
    ranges.FLow = RunVars.fmin;
    ranges.FHigh = RunVars.fmax;
    ranges.DcLow = RunVars.dcmin;
    ranges.DcHigh = RunVars.dcmax;
    if (OpenAnalysis* open = CurrentAnalysis()) {
        if (ranges.Kind < 0) ranges.Kind = open->kind;
        if (open->document && open->document->analysisSettings && open->kind >= 0 && open->kind < kAnalysisKindCount)
            ranges.Rows = &open->document->analysisSettings->kinds[open->kind];
    }
    return ranges;
}

int SetRangeFromAnalysis(PlotCurve& curve, int axis, const AnalysisRanges& analysis) {
    double& low = curve.RangeLow[axis];
    double& high = curve.RangeHigh[axis];
    int result = 0;
    if (curve.PlotType != kPlotRectangular) {
        result = curve.PointIndex >= 0 ? 1 : 0;
    } else if (curve.SingleVar[axis] == 'F' && analysis.Kind == 1) {
        if (!analysis.FrequencyList.empty()) {
            auto [least, most] = std::minmax_element(analysis.FrequencyList.begin(), analysis.FrequencyList.end());
            low = *least;
            high = *most;
        } else {
            low = analysis.FLow;
            high = analysis.FHigh;
        }
        result = 1;
    } else if (curve.SingleVar[axis] == 'T' && (analysis.Kind == 0 || analysis.Kind == 3)) {
        low = analysis.Tmin;
        high = analysis.Tmax;
        result = 1;
    } else if (analysis.Kind == 2 && axis == kAxisX) {
        bool sweep = analysis.AttributeDialogOpen;
        if (!sweep) {
            const char* text = rg_RowXText(curve, analysis);
            if (text != nullptr) {
                std::string x = text;
                sweep = rg_SameTextNoCase(x, "DCINPUT1");
                if (!sweep && !analysis.DcInputName.empty()) {
                    sweep = rg_SameTextNoCase(x, ("I(" + analysis.DcInputName + ")").c_str()) ||
                            rg_SameTextNoCase(x, ("V(" + analysis.DcInputName + ")").c_str());
                }
            }
        }
        if (sweep) {
            low = analysis.DcLow;
            high = analysis.DcHigh;
            result = 1;
        }
    }
    if (!curve.AxisLinear[axis] && low == 0) low = 1e-9;
    if (result == 1 && analysis.Divisions[axis] != 0) {
        curve.RangeSpan[axis] = high - low;
        curve.GridStep[axis] = std::fabs(curve.RangeSpan[axis] / analysis.Divisions[axis]);
    }
    return result;
}

int SetDefaultRange(PlotCurve& curve, int axis, int divisions, const AnalysisRanges& analysis) {
    curve.AutoRange[axis] = kRangeFitRun;
    curve.RangeHigh[axis] = 10.0;
    int result = SetRangeFromAnalysis(curve, axis, analysis);
    if (result) return result;
    if (curve.AxisLinear[axis]) {
        curve.RangeLow[axis] = -10.0;
        curve.RangeSpan[axis] = 20.0;
        if (divisions != 0) curve.GridStep[axis] = 20.0 / divisions;
    } else {
        curve.RangeLow[axis] = 1.0;
        curve.RangeSpan[axis] = 9.0;
        curve.GridStep[axis] = 0;
    }
    return 0;
}

int SetDefaultRange(PlotCurve& curve, int axis, int divisions) {
    AnalysisRanges analysis = CurrentAnalysisRanges();
    analysis.Divisions[0] = analysis.Divisions[1] = divisions;
    return SetDefaultRange(curve, axis, divisions, analysis);
}

bool AllCurvesHaveData(const PlotCurveArray& curves) {
    if (curves.empty()) return false;
    for (const PlotCurve& curve : curves) {
        if (curve.IsShown() && curve.PointIndex < 0) return false;
    }
    return true;
}

void ComputeDataRanges(PlotCurveArray& curves, const FitContext& context) {
    const bool fftDocument = context.DocumentKind == kDocument2D || context.DocumentKind == kDocumentFft;
    for (PlotCurve& curve : curves) {
        curve.FreeRunTables();
        if (!curve.IsShown()) continue;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (a == kAxisX && context.RunActive && !context.RunPaused &&
                context.DocumentKind != kDocumentPerformance && context.DocumentKind != kDocumentFft)
                continue;
            if (a == kAxisY && curve.IsDigital) continue;
            if (!rg_IsAutomatic(curve.AutoRange[a])) continue;
            double low, high;
            if (fftDocument && curve.IsFftCurve() && curve.SingleVar[kAxisX] == 'F') {
                // The harmonics of each run, up to the harmonics asked for.
                low = kNoDataMin;
                high = kNoDataMax;
                bool counted = false;
                const int runs = context.Runs ? context.Runs->Count : 0;
                const int limit = std::min(curve.PointIndex / 2, context.FftHarmonics);
                for (int r = 0; context.Store && r < runs && static_cast<size_t>(r) < curve.RunFirst.size() &&
                                static_cast<size_t>(r) < curve.RunLast.size();
                     ++r) {
                    const int first = curve.RunFirst[static_cast<size_t>(r)];
                    for (int p = first; p <= curve.RunLast[static_cast<size_t>(r)]; ++p) {
                        const int n = p - first;
                        if (n > limit) break;
                        if (n == 0 && !context.FftIncludeDC) continue;
                        const double v = context.Store->GetValue(curve.DataColumn[a], p);
                        low = std::min(low, v);
                        high = std::max(high, v);
                        counted = true;
                    }
                }
                if (!counted) {
                    low = 0.01;
                    high = 10.0;
                }
                if (a == kAxisY && curve.AxisLinear[kAxisY] && low > 0) low = 0;
            } else if (curve.AutoRange[a] == kRangeFitRun && curve.AutoRange[1 - a] != kRangeFitRun &&
                       !curve.IsDigital) {
                low = curve.WindowMin;
                high = curve.WindowMax;
            } else {
                low = curve.DataMin[a];
                high = curve.DataMax[a];
            }
            if (high == low) {
                if (low == 0) {
                    low = -1;
                    high = 1;
                } else {
                    // Constant data: an ascending range around it, also below 0.
                    low *= 0.5;
                    high *= 2;
                    if (low > high) std::swap(low, high);
                }
            }
            curve.RangeLow[a] = low;
            curve.RangeHigh[a] = high;
        }
    }
}

void UnifyPlotRanges(PlotCurveArray& curves, int firstAxis, int lastAxis) {
    for (PlotCurve& curve : curves) {
        ApplyScaleFactor(curve, kAxisX);
        ApplyScaleFactor(curve, kAxisY);
    }
    for (int group = 1; group <= rg_PlotGroups; ++group) {
        for (int a = firstAxis; a <= lastAxis; ++a) {
            bool any = false, exchanged = false;
            double low = 0, high = 0, step = 0;
            for (const PlotCurve& curve : curves) {
                if (!curve.IsShown() || curve.PlotNumber != group || (curve.IsDigital && a != kAxisX)) continue;
                const double m = rg_Multiplier(curve, a);
                double l = curve.RangeLow[a] * m, h = curve.RangeHigh[a] * m;
                if (!any) {
                    any = true;
                    if (l > h) {
                        std::swap(l, h);
                        exchanged = true;
                    }
                    low = l;
                    high = h;
                    step = curve.GridStep[a];
                } else {
                    if (l > h) std::swap(l, h);
                    low = std::min(low, l);
                    high = std::max(high, h);
                    step = std::max(step, curve.GridStep[a]);
                }
            }
            if (!any) continue;
            double l = low, h = high;
            if (exchanged) std::swap(l, h);
            for (PlotCurve& curve : curves) {
                if (curve.PlotNumber != group) continue;
                const double m = rg_Multiplier(curve, a);
                curve.RangeLow[a] = l / m;
                curve.RangeHigh[a] = h / m;
                curve.GridStep[a] = step;
            }
        }
    }
}

void UnifyRanges(PlotCurveArray& curves, bool sameYScales) {
    UnifyPlotRanges(curves, kAxisX, sameYScales ? kAxisY : kAxisX);
}

void AssignYScaleOwners(PlotCurveArray& curves, bool sameYScales) {
    bool seen[rg_PlotGroups + 1] = {};
    for (size_t i = 0; i < curves.size(); ++i) {
        PlotCurve& curve = curves[i];
        const int group = curve.PlotNumber >= 0 && curve.PlotNumber <= rg_PlotGroups ? curve.PlotNumber : 0;
        if (!curve.IsShown() || curve.IsDigital) {
            curve.DrawsYScale = 0;
            continue;
        }
        bool draws;
        if (curve.IndexInPlot == 0) {
            draws = true;
        } else if (sameYScales) {
            draws = !seen[group];
        } else {
            bool shares = false;
            for (size_t j = 0; j < i && !shares; ++j) {
                const PlotCurve& earlier = curves[j];
                shares = earlier.PlotNumber == curve.PlotNumber && earlier.IsShown() && !earlier.IsDigital &&
                         earlier.RangeLow[kAxisY] == curve.RangeLow[kAxisY] &&
                         earlier.RangeHigh[kAxisY] == curve.RangeHigh[kAxisY] &&
                         std::strncmp(earlier.ScaleFormat[kAxisY].text, curve.ScaleFormat[kAxisY].text,
                                      sizeof curve.ScaleFormat[kAxisY].text) == 0 &&
                         rg_Multiplier(earlier, kAxisY) == rg_Multiplier(curve, kAxisY);
            }
            draws = !shares || !seen[group];
        }
        curve.DrawsYScale = draws ? 1 : 0;
        if (draws) seen[group] = true;
    }
}

int ComputeAutoScale(PlotCurveArray& curves, const FitContext& context, bool applyFormats) {
    if (!AllCurvesHaveData(curves)) return 0;
    int changed = 0;
    AnalysisRanges analysis = context.Analysis;
    analysis.Divisions[0] = context.GridDivisions[0];
    analysis.Divisions[1] = context.GridDivisions[1];
    for (PlotCurve& curve : curves) {
        if (!curve.IsShown()) continue;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (!rg_IsAutomatic(curve.AutoRange[a])) continue;
            double& low = curve.RangeLow[a];
            double& high = curve.RangeHigh[a];
            if (a == kAxisX && curve.IsFftCurve() && curve.SingleVar[kAxisX] == 'F') {
                const int n = context.FftHarmonics - (context.FftIncludeDC ? 0 : 1);
                if (context.GridDivisions[kAxisX] != 0 && n > 0) curve.GridStep[a] = (high - low) / n;
                continue;
            }
            if (SetRangeFromAnalysis(curve, a, analysis) == 0 && !(a == kAxisY && curve.IsDigital) && low != high) {
                curve.FreeRunTables();
                double niceHigh = 0, niceLow = 0, step = 0;
                if (curve.AxisLinear[a]) {
                    if (NiceRange(context.GridDivisions[a], high, low, &niceHigh, &niceLow, &step) == 0) {
                        low = niceLow;
                        high = niceHigh;
                    }
                    curve.GridStep[a] = step;
                } else {
                    const double logHigh = std::log10(std::max(high, rg_LogFloor));
                    const double logLow = std::log10(std::max(low, rg_LogFloor));
                    if (NiceRange(context.GridDivisions[a], logHigh, logLow, &niceHigh, &niceLow, &step) == 0) {
                        low = std::pow(10.0, niceLow);
                        high = std::pow(10.0, niceHigh);
                    }
                }
            }
            if (rg_Changed(curve.PrevRangeLow[a], low, context.Gmin) ||
                rg_Changed(curve.PrevRangeHigh[a], high, context.Gmin))
                changed = 1;
        }
    }
    AssignYScaleOwners(curves, context.SameYScales);
    const bool fixNow = !context.RunActive || context.RunPaused;
    for (PlotCurve& curve : curves) {
        for (int a = kAxisX; a <= kAxisY; ++a) {
            double& low = curve.RangeLow[a];
            double& high = curve.RangeHigh[a];
            if (curve.AutoRange[a] == kRangeFitRun) {
                if (!curve.AxisLinear[a]) {
                    if (high <= 0) high = 1e-4;
                    if (low <= 0) low = high * 1e-5;
                    if (low > high) std::swap(low, high);
                }
                if (low == high) {
                    low -= 1;
                    high += 1;
                }
                if (context.DocumentKind == kDocument2D && !context.ProbeMode) {
                    if (CurveRow* row = rg_Row(curve, context.Rows)) {
                        const char* text = a == kAxisX ? row->xRange : row->yRange;
                        if (!rg_SameTextNoCase(text ? text : "", "AutoAlways")) RetainCurveRange(*row, curve, a);
                    }
                }
                curve.PrevRangeLow[a] = low;
                curve.PrevRangeHigh[a] = high;
                curve.PrevGridStep[a] = curve.GridStep[a];
                curve.PrevMinorStep[a] = curve.MinorStep[a];
            }
            if (applyFormats) ApplyScaleFactor(curve, a);
            if (fixNow) curve.AutoRange[a] = kRangeFixed;
        }
    }
    return changed;
}

int FitRangesAfterRun(PlotCurveArray& curves, const FitContext& context, bool force) {
    if (!AllCurvesHaveData(curves) || context.RunFailed) return 0;
    ComputeDataRanges(curves, context);
    UnifyRanges(curves, context.SameYScales);
    int changed = ComputeAutoScale(curves, context, true);
    return changed || force ? 1 : 0;
}

void FitRangesNow(PlotCurveArray& curves, const FitContext& context, int currentCurve, const int scaleAxis[2],
                  bool applyFormats) {
    if (currentCurve < 0 || static_cast<size_t>(currentCurve) >= curves.size()) return;
    const int group = curves[static_cast<size_t>(currentCurve)].PlotNumber;
    auto inGroup = [&](const PlotCurve& curve) { return curve.IsShown() && curve.PlotNumber == group; };
    for (PlotCurve& curve : curves) {
        if (!inGroup(curve)) continue;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (!scaleAxis[a]) continue;
            curve.SavedAscending[a] = curve.RangeLow[a] < curve.RangeHigh[a] ? 1 : 0;
            curve.AutoRange[a] = kRangeFitRequest;
        }
    }
    ComputeDataRanges(curves, context);
    UnifyRanges(curves, context.SameYScales);
    ComputeAutoScale(curves, context, applyFormats);
    for (PlotCurve& curve : curves) {
        if (!inGroup(curve)) continue;
        for (int a = kAxisX; a <= kAxisY; ++a) {
            if (!scaleAxis[a]) continue;
            const bool ascending = curve.SavedAscending[a] != 0;
            if ((ascending && curve.RangeLow[a] > curve.RangeHigh[a]) ||
                (!ascending && curve.RangeLow[a] < curve.RangeHigh[a]))
                std::swap(curve.RangeLow[a], curve.RangeHigh[a]);
        }
    }
}

bool RescaleDue(int runCount, bool probeMode, double fraction, int* rescaledQuarter, int* rescaledHalf) {
    if (runCount != 1 || probeMode) return false;
    bool due = false;
    if (fraction > 0.25 && !*rescaledQuarter) {
        *rescaledQuarter = 1;
        due = true;
    }
    if (fraction > 0.5 && !*rescaledHalf) {
        *rescaledHalf = 1;
        due = true;
    }
    return due;
}

void SameYScalesChanged(PlotCurveArray& curves) {
    for (PlotCurve& curve : curves) curve.FreeRunTables();
}

void ApplyScaleFactor(PlotCurve& curve, int axis) { curve.ApplyScaleFactor(axis); }

std::string FormatRangeText(double high, double low) {
    std::string text = rg_Number("%.6g", high);
    if (low != 0) text += "," + rg_Number("%.6g", low);
    return text;
}

void RetainCurveRange(CurveRow& row, const PlotCurve& curve, int axis) {
    std::string range = FormatRangeText(curve.RangeHigh[axis], curve.RangeLow[axis]);
    std::string grid = curve.GridStep[axis] != 0 ? rg_Number("%g", curve.GridStep[axis]) : std::string();
    SetString(axis == kAxisX ? &row.xRange : &row.yRange, range.c_str());
    SetString(axis == kAxisX ? &row.gridX : &row.gridY, grid.c_str());
}
