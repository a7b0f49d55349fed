#include "plots/layout.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/curvetables.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/services.h"
#include "plots/apdoc.h"
#include "plots/plotframe.h"
#include "plots/ranges.h"
#include "shell/drawcontext.h"
#include "shell/fonts.h"

namespace {

constexpr MessageRow kLayoutMessageRows[] = {
    {kMsgLogLinearMix, "%EWaveforms in the same graph must have the same log/linear option."},
    {kMsgPlotTypeMix, "%EWaveforms in same graph must have the same Plot Type."},
    {kMsgDifferentXExpr, "%EDifferent X expressions for the same graph."},
};

constexpr uint32_t pg_BusDisplayFlags = kRadixMask;  // any radix display shows a bus
constexpr int32_t kBadState = 57;

bool pg_SameNoCase(const std::string& text, const char* other) { return strcasecmp(text.c_str(), other) == 0; }

bool pg_Plotted(const PlotCurve& c) { return (c.UseFlags & kCurveDrawn) != 0 && c.PlotNumber > 0; }

// Halves away from zero, the value already inside the int range.
int32_t pg_Round(double d) { return static_cast<int32_t>(d < 0 ? std::ceil(d - 0.5) : std::floor(d + 0.5)); }

int32_t pg_Clamp(double d, double low, double high) {
    // NaN lands outside the plot, where clipping drops it.
    if (!(d <= high)) return static_cast<int32_t>(high);
    if (d < low) return static_cast<int32_t>(low);
    return pg_Round(d);
}

char pg_StateChar(double v) {
    if (!(v >= 0) || v > 511) return '?';
    return kDigitalStateLetters[static_cast<int>(v) & 7];
}

// The reference magnitude of a range for the engineering scale: the span when
// the ends lie more than three decades apart, else the end that sets the
// decade.
double pg_RangeMagnitude(double low, double high) {
    const double dl = low == 0 ? -50 : std::log10(std::fabs(low));
    const double dh = high == 0 ? -50 : std::log10(std::fabs(high));
    if (std::llabs(RoundToNearest(dl) - RoundToNearest(dh)) > 3) return std::fabs(high - low);
    if ((dl > dh && dl != 0) || dh == 0) return low;
    return high;
}

void pg_SetFormatScale(FormatSpec& format, double scale, char letter) {
    format.scale = scale;
    format.scaleLetter = letter;
}

}  // namespace

void RegisterPlotLayoutMessages() {
    RegisterMessages(kLayoutMessageRows, static_cast<int>(sizeof kLayoutMessageRows / sizeof kLayoutMessageRows[0]));
}

// ---------------------------------------------------------------------------
// Screen transform

double PlotCurve::ToDeviceValue(int axis, double value) const {
    if (AxisLinear[axis]) return value * DeviceScale[axis] + DeviceOffset[axis];
    if (value == 0) return DeviceOffset[axis];
    return Log10Floored(value) * DeviceScale[axis] + DeviceOffset[axis];
}

int32_t PlotCurve::ToDevice(int axis, double value) const {
    return pg_Clamp(ToDeviceValue(axis, value), kDeviceLimitLow, kDeviceLimitHigh);
}

int32_t PlotCurve::ToDeviceInt(int axis, double value, uint32_t previousState) const {
    if (axis == kAxisY && IsDigital) {
        if (ExprFlags(kAxisY) & pg_BusDisplayFlags) return DigitalHighY + (DigitalLowY - DigitalHighY) / 2;
        const char c = pg_StateChar(value);
        const char p = pg_StateChar(static_cast<double>(previousState));
        const bool low = c == '0' || c == 'R' || ((c == 'X' || c == 'Z') && p == '0');
        return low ? DigitalLowY : DigitalHighY;
    }
    return pg_Clamp(ToDeviceValue(axis, value), std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max());
}

int32_t PlotCurve::StateOrDevice(int axis, double value) const {
    if (axis == kAxisY && IsDigital) {
        if (ExprFlags(kAxisY) & pg_BusDisplayFlags) return static_cast<int32_t>(ClampToUnsigned(value));
        if (!(value >= 0) || value > 511) return kBadState;
        return static_cast<int32_t>(value);
    }
    return ToDeviceInt(axis, value);
}

double PlotCurve::FromDevice(int axis, double device) const {
    // A collapsed plot has no scale: every device point stands for the low end.
    if (DeviceScale[axis] == 0) return RangeLow[axis];
    const double x = (device - DeviceOffset[axis]) / DeviceScale[axis];
    return AxisLinear[axis] ? x : ClampedPow10(x);
}

void PlotCurve::ApplyScaleFactor(int axis) {
    if (PlotType == kPlotRectangular) {
        const double magnitude = pg_RangeMagnitude(RangeLow[axis], RangeHigh[axis]);
        ValueFormat[axis].SetScaleForValue(magnitude);
        ScaleFormat[axis].SetScaleForValue(magnitude);
    } else if (axis == kAxisX) {
        const AnalysisRanges analysis = CurrentAnalysisRanges();
        const double magnitude = pg_RangeMagnitude(analysis.FLow, analysis.FHigh);
        ValueFormat[axis].SetScaleForValue(magnitude);
        ScaleFormat[axis].SetScaleForValue(magnitude);
    } else {
        pg_SetFormatScale(ValueFormat[axis], 1.0, 0);
        pg_SetFormatScale(ScaleFormat[axis], 1.0, 0);
    }
    const CompiledExpression* expr = Expr[axis].get();
    AxisUnit[axis] = expr ? AxisUnitIndex(expr->outerUnits[0], expr->outerUnits[1]) : -1;
    // "None" and "Auto" keep the engineering scale of the range: "None" shows
    // its letter on every number, "Auto" once in the axis title.
    const std::string& text = ScaleFactor(axis);
    if (pg_SameNoCase(text, "None") || pg_SameNoCase(text, "Auto")) return;
    double factor = 1.0;
    if (ParseScaleSuffix(&factor, text.c_str()) <= 0 || !(factor > 0)) return;
    char letter = text[0];
    if (strncasecmp(text.c_str(), "MEG", 3) == 0)
        letter = 'M';
    else if (letter == 'M' || letter == 'm')
        letter = 'm';
    pg_SetFormatScale(ValueFormat[axis], 1.0 / factor, letter);
    pg_SetFormatScale(ScaleFormat[axis], 1.0 / factor, letter);
}

// ---------------------------------------------------------------------------
// Preparing the curves

void PackPlotNumbers(PlotCurveArray& curves) {
    for (size_t i = 0; i < curves.size(); ++i) curves[i].IndexInPlot = static_cast<int32_t>(i) + 10;
    for (int a = 1; a <= kMaxPlotGroups; ++a) {
        for (;;) {
            bool used = false, higher = false;
            for (const PlotCurve& c : curves) {
                if (!pg_Plotted(c)) continue;
                used = used || c.PlotNumber == a;
                higher = higher || c.PlotNumber > a;
            }
            // Nothing above a gap means nothing left to move down.
            if (used || !higher) break;
            for (PlotCurve& c : curves)
                if (pg_Plotted(c) && c.PlotNumber > a) --c.PlotNumber;
        }
    }
    for (int a = 1; a <= kMaxPlotGroups; ++a) {
        int32_t index = 0;
        for (PlotCurve& c : curves)
            if (pg_Plotted(c) && c.PlotNumber == a) c.IndexInPlot = index++;
    }
}

void ComputePlotDigital(PlotCurveArray& curves) {
    for (PlotCurve& c : curves) {
        c.PlotDigital = 0;
        if (c.PlotNumber <= 0) continue;
        bool any = false, all = true;
        for (const PlotCurve& other : curves) {
            if (other.PlotNumber != c.PlotNumber || !pg_Plotted(other)) continue;
            any = any || other.IsDigital;
            all = all && other.IsDigital;
        }
        c.PlotDigital = !any ? 0 : all ? 1 : 2;
    }
}

void ApplyScaleFactors(PlotCurveArray& curves, const int32_t* stopFlag) {
    for (PlotCurve& c : curves) {
        if (stopFlag && *stopFlag) return;
        if (!(c.UseFlags & (kCurveDrawn | kCurveListed))) continue;
        for (int axis = kAxisX; axis <= kAxisY; ++axis) {
            c.ApplyScaleFactor(axis);
            c.PrevRangeLow[axis] = c.RangeLow[axis];
            c.PrevRangeHigh[axis] = c.RangeHigh[axis];
            c.PrevGridStep[axis] = c.GridStep[axis];
            c.PrevMinorStep[axis] = c.MinorStep[axis];
        }
    }
}

void PrepareCurveLayout(PlotCurveArray& curves, bool sameYScales, const int32_t* stopFlag) {
    PackPlotNumbers(curves);
    ComputePlotDigital(curves);
    for (size_t i = 0; i < curves.size(); ++i) {
        PlotCurve& c = curves[i];
        if (c.PlotNumber <= 0) continue;
        for (int axis = kAxisX; axis <= kAxisY; ++axis) {
            if (c.AutoRange[axis] != kRangeFitRun) continue;
            for (size_t j = 0; j < curves.size(); ++j) {
                const PlotCurve& other = curves[j];
                if (j == i || other.PlotNumber != c.PlotNumber || other.AutoRange[axis] == kRangeFitRun) continue;
                if (axis == kAxisY && other.IsDigital != c.IsDigital) continue;
                c.RangeLow[axis] = other.RangeLow[axis];
                c.RangeHigh[axis] = other.RangeHigh[axis];
                break;
            }
        }
    }
    for (PlotCurve& c : curves) {
        if (!c.IsDigital) continue;
        c.RangeLow[kAxisY] = 0;
        c.RangeHigh[kAxisY] = 20;
    }
    UnifyRanges(curves, sameYScales);
    AssignYScaleOwners(curves, sameYScales);
    ApplyScaleFactors(curves, stopFlag);
}

// ---------------------------------------------------------------------------
// Axis transform and ranges

int DigitalBandCount(const PlotCurveArray& curves, int curve, int lineHeight) {
    const PlotCurve& c = curves[static_cast<size_t>(curve)];
    if (!c.IsDigital) return 10;
    int bands = 10;
    if (lineHeight > 0 && c.PlotHeight / 10 < lineHeight) bands = c.PlotHeight / lineHeight;
    int digital = 0;
    for (const PlotCurve& other : curves)
        if (other.IsDigital && other.PlotNumber == c.PlotNumber) ++digital;
    return std::max({bands, digital, 1});
}

void SetAxisTransform(PlotCurveArray& curves, int curve, int axis, int extent, int origin, int lineHeight) {
    PlotCurve& c = curves[static_cast<size_t>(curve)];
    double lo = c.RangeLow[axis], hi = c.RangeHigh[axis];
    const double e = axis == kAxisX ? -extent : extent;
    double scale, offset;
    if (c.AxisLinear[axis]) {
        if (lo == hi) lo = 0, hi = 1;
        scale = e / (lo - hi);
        offset = origin - hi * scale;
    } else {
        if (hi <= 0) hi = 0.0001;
        if (lo <= 0) lo = hi * 0.00001;
        if (lo == hi) hi = hi + 0.1;
        const double ratio = lo / hi;
        scale = e / (ratio == 0 ? -50.0 : std::log10(std::fabs(ratio)));
        offset = origin - scale * (hi == 0 ? -50.0 : std::log10(std::fabs(hi)));
    }
    c.DeviceScale[axis] = scale;
    c.DeviceOffset[axis] = offset;
    c.RangeSpan[axis] = hi - lo;
    if (axis != kAxisY || !c.IsDigital) return;
    const int n = DigitalBandCount(curves, curve, lineHeight);
    int k = 1;
    for (int i = 0; i < curve; ++i) {
        const PlotCurve& other = curves[static_cast<size_t>(i)];
        if (other.IsDigital && other.PlotNumber == c.PlotNumber) ++k;
    }
    const int l = n - k;
    const double u = c.RangeSpan[kAxisY] / (2.0 * n);
    c.DigitalLowY = static_cast<int32_t>((lo + 2 * l * u) * scale + offset - 1);
    c.DigitalHighY = static_cast<int32_t>((lo + (2 * l + 1) * u) * scale + offset - 1);
}

int GridDivisionCount(const PlotCurveArray& curves, const PlotLayout& layout, int curve, int axis) {
    const PlotCurve& c = curves[static_cast<size_t>(curve)];
    int n;
    if (!c.AxisLinear[axis]) {
        if (c.RangeLow[axis] == 0) return 1;
        const double ratio = c.RangeHigh[axis] / c.RangeLow[axis];
        n = static_cast<int>((ratio == 0 ? -50.0 : std::log10(std::fabs(ratio))) + 0.5);
    } else if (axis == kAxisY) {
        n = layout.GridDivisions[kAxisY];
        const PlotCurve* first = &c;
        for (const PlotCurve& other : curves)
            if (other.PlotNumber == c.PlotNumber) {
                first = &other;
                break;
            }
        if (layout.LineHeight > 0)
            n = std::min(n, (first->PlotRect.bottom - first->PlotRect.top + 1) / layout.LineHeight);
    } else {
        n = layout.GridDivisions[kAxisX];
    }
    return std::max(n, 1);
}

int32_t StoredPointToDevice(CANDoc& document, int curve, int axis, int point) {
    const PlotCurve& c = document.Curves[size_t(curve)];
    return c.ToDeviceInt(axis, document.GetValue(c.DataColumn[axis == kAxisX ? kSlotX : kSlotY], point));
}

bool SetAxisRange(PlotCurve& curve, int axis, double low, double high) {
    auto usable = [&](double v) {
        const double m = std::fabs(v);
        if (!curve.AxisLinear[axis] && !(v > 0)) return false;
        return (m > 1e-50 && m < 1e50) || (curve.AxisLinear[axis] && v == 0);
    };
    if (!usable(low) || !usable(high)) return false;
    curve.RangeLow[axis] = low;
    curve.RangeHigh[axis] = high;
    return true;
}

void OrderAxisRange(bool ascending, PlotCurve& curve, int axis) {
    double& low = curve.RangeLow[axis];
    double& high = curve.RangeHigh[axis];
    if ((ascending && low > high) || (!ascending && low < high)) std::swap(low, high);
}

DeviceRect PlotGroupRect(const PlotCurveArray& curves, int group) {
    for (const PlotCurve& c : curves)
        if (pg_Plotted(c) && c.PlotNumber == group) return c.PlotRect;
    return DeviceRect{};
}

// ---------------------------------------------------------------------------
// Texts

std::string AxisUnitText(const PlotCurve& curve, int axis) {
    const std::string& factor = curve.ScaleFactor(axis);
    std::string text;
    if (!pg_SameNoCase(factor, "None") && !(axis == kAxisY && curve.IsDigital)) {
        if (pg_SameNoCase(factor, "Auto")) {
            const char letter = curve.ScaleFormat[axis].scaleLetter;
            if (letter == 'M')
                text = "MEG";
            else if (letter != 0 && letter != ' ')
                text = std::string(1, letter);
        } else {
            text = factor;
        }
    }
    const std::string& units = curve.Units(axis);
    if (pg_SameNoCase(units, "Auto"))
        text += UnitName(curve.AxisUnit[axis]);
    else if (!pg_SameNoCase(units, "None"))
        text += units;
    return text;
}

void BuildAxisLabel(PlotCurve& curve, int axis) {
    const std::string unit = AxisUnitText(curve, axis);
    curve.AxisTitle[axis] = unit.empty() ? curve.ExprText[axis] : curve.ExprText[axis] + " (" + unit + ")";
}

std::string FormatComplexValue(const PlotCurve& curve, const ComplexNumber& z, bool polarForm) {
    double first = z.re, second = z.im;
    const bool polar = polarForm && curve.PlotType == kPlotPolar;
    if (polar) {
        first = std::hypot(z.re, z.im);
        second = z.im == 0 && z.re == 0 ? 0 : std::atan2(z.im, z.re) * 180.0 / M_PI;
    } else if (polarForm) {
        double divisor = (1 - z.re) * (1 - z.re) + z.im * z.im;
        if (divisor == 0) divisor = 1e-20;
        first = (1 - z.re * z.re - z.im * z.im) / divisor * curve.SmithScale;
        second = 2 * z.im / divisor * curve.SmithScale;
    }
    char a[64] = {}, b[64] = {};
    FormatValueWithSpec(&curve.ValueFormat[kAxisY], a, sizeof a, first, 0, 0);
    FormatValueWithSpec(&curve.ValueFormat[kAxisY], b, sizeof b, second, 0, 0);
    std::string text = a;
    if (polar)
        text += " ";
    else if (second >= 0)
        text += "+";
    text += b;
    text += polar ? "\xB0" : "j";
    return text;
}

int CheckPlotGroups(CAPDoc& document) {
    PlotCurveArray& curves = document.Curves;
    for (size_t i = 0; i < curves.size(); ++i) {
        const PlotCurve& c = curves[i];
        if (!pg_Plotted(c)) continue;
        const PlotCurve* reference = nullptr;
        for (size_t j = 0; j < i && !reference; ++j)
            if (pg_Plotted(curves[j]) && curves[j].PlotNumber == c.PlotNumber) reference = &curves[j];
        if (!reference) continue;
        if (document.Run.StopFlag) return 0;
        int code = 0;
        if (c.PlotType != reference->PlotType)
            code = kMsgPlotTypeMix;
        else if (c.AxisLinear[kAxisX] != reference->AxisLinear[kAxisX] ||
                 c.AxisLinear[kAxisY] != reference->AxisLinear[kAxisY])
            code = kMsgLogLinearMix;
        else if (strcasecmp(c.ExprText[kAxisX].c_str(), reference->ExprText[kAxisX].c_str()) != 0)
            code = kMsgDifferentXExpr;
        if (code) return document.ReportAnalysisError(c.RowIndex, 0, code);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The layout

namespace {

int pg_Width(const CDrawContext& dc, const std::string& text) { return dc.GetTextWidth(text.c_str()); }

bool pg_ComplexPlane(const PlotCurve& c) { return c.PlotType != kPlotRectangular; }

// The plotted curves of each group in array order.
std::vector<std::vector<int>> pg_Groups(const PlotCurveArray& curves, int groupCount) {
    std::vector<std::vector<int>> groups(static_cast<size_t>(groupCount) + 1);
    for (size_t i = 0; i < curves.size(); ++i) {
        const PlotCurve& c = curves[i];
        if (pg_Plotted(c) && c.PlotNumber <= groupCount) groups[static_cast<size_t>(c.PlotNumber)].push_back(int(i));
    }
    return groups;
}

int pg_ReadoutWidth(const CDrawContext& dc, bool wide) { return dc.GetTextWidth("0") * (wide ? 17 : 2); }

}  // namespace

void CreatePlotFont(CDrawContext& dc, PlotLayout& layout, bool reset) {
    if (reset) layout.WorkingFont = layout.Font;
    if (!dc.surface) return;
    platform::FontDesc font = CreateFontFromSpec(layout.WorkingFont);
    // Heights are screen pixels; a page of another resolution gets the same size on paper.
    const int ppi = dc.surface->PixelsPerInchY();
    if (ppi > 0 && ppi != 96) font.height = static_cast<int>(std::lround(font.height * double(ppi) / 96.0));
    dc.surface->SetFont(font);
}

int MeasureScaleArea(CDrawContext& dc, PlotCurveArray& curves, PlotLayout& layout, const PlotViewInfo& view) {
    const int areaWidth = view.DrawArea.right - view.DrawArea.left;
    const bool limited = dc.technology != platform::kTechRasterPrinter;
    for (size_t i = 0; i < curves.size(); ++i) {
        PlotCurve& c = curves[i];
        if (!pg_Plotted(c)) continue;
        c.RangeSpan[kAxisY] = c.RangeHigh[kAxisY] - c.RangeLow[kAxisY];
        int f = 0;
        if (c.PlotDigital == 1) {
            f = pg_ComplexPlane(c) ? pg_Width(dc, "180") : c.AxisTitleWidth[kAxisY];
            if (view.CursorMode)
                f += pg_Width(dc, "XXXX") + pg_Width(dc, view.LeftText) + pg_Width(dc, view.RightText);
            else
                f += pg_ReadoutWidth(dc, !(view.ProbeMode || c.IsDigital));
        } else if (c.DrawsYScale) {
            f = c.AxisLinear[kAxisY] ? DrawLinearScale(dc, curves, int(i), kAxisY, false, layout, view)
                                     : DrawLogScale(dc, curves, int(i), kAxisY, false, layout, view);
        }
        c.ScaleLabelWidth = f + 3;
        if (limited && areaWidth > 0) c.ScaleLabelWidth = std::min(c.ScaleLabelWidth, areaWidth / 4);
    }
    int widest = 0;
    for (int group = 1; group <= kMaxPlotGroups; ++group) {
        int c = 0, k = 0;
        bool allDigital = false;
        for (const PlotCurve& curve : curves) {
            if (!pg_Plotted(curve) || curve.PlotNumber != group) continue;
            if (curve.PlotDigital == 1) allDigital = true;
            if (curve.DrawsYScale || curve.PlotDigital == 1) {
                c = std::max(c, curve.ScaleLabelWidth);
                ++k;
            }
        }
        if (allDigital) k = 1;
        if (k > 1) c += pg_Width(dc, "X");
        for (PlotCurve& curve : curves)
            if (pg_Plotted(curve) && curve.PlotNumber == group) curve.ScaleLabelWidth = c;
        widest = std::max(widest, c * k);
    }
    return widest;
}

int LayoutPlot(CDrawContext& dc, PlotCurveArray& curves, PlotLayout& layout, const PlotViewInfo& view, int depth) {
    if (CountPlotted(curves) == 0 || !dc.surface) return 0;
    const platform::Rect R = view.DrawArea;
    const platform::FontDesc savedFont = dc.surface->GetFont();
    CreatePlotFont(dc, layout, depth == 0);
    platform::TextMetrics metrics;
    dc.GetTextMetrics(metrics);
    layout.CharWidth = metrics.maxCharWidth;
    layout.LineHeight = metrics.height + metrics.externalLeading;
    const int L = layout.LineHeight;
    const double h = L / 2.0;
    const int t = view.Tokens ? layout.CharWidth : 0;
    const bool thumbnailView = view.ViewKind == kViewKindThumbnail;

    UnifyRanges(curves, view.SameYScales);
    AssignYScaleOwners(curves, view.SameYScales);
    layout.PlotGroupCount = 0;
    const int w180 = pg_Width(dc, "180");
    const PlotCurve* first = nullptr;
    for (const PlotCurve& c : curves)
        if (pg_Plotted(c)) {
            first = &c;
            break;
        }
    const bool firstComplex = first && pg_ComplexPlane(*first);

    int T, A, B;
    if (thumbnailView) {
        layout.PlotGroupCount = 1;
        T = A = 0;
        B = firstComplex ? w180 + 4 + R.left : 0;
    } else {
        for (PlotCurve& c : curves) {
            if (!pg_Plotted(c)) continue;
            layout.PlotGroupCount = std::min(std::max(layout.PlotGroupCount, c.PlotNumber), kMaxPlotGroups);
            for (int axis = kAxisX; axis <= kAxisY; ++axis) {
                BuildAxisLabel(c, axis);
                c.AxisTitleWidth[axis] = pg_Width(dc, c.AxisTitle[axis]);
            }
        }
        layout.ScaleAreaWidth = MeasureScaleArea(dc, curves, layout, view);
        A = R.left + layout.ScaleAreaWidth + 4;
        B = R.left + w180 + 4;
        layout.TitleLines = (pg_Width(dc, view.Title) > R.right - R.left ? 2 : 1) + 1;
        int g = L / 14;
        if (g < 0) g = 1;
        T = R.top + layout.TitleLines * L + g;
    }
    const int G = layout.PlotGroupCount;

    int E = R.right - layout.CharWidth, F = R.bottom - L / 3;
    if (view.DocumentKind == kViewKindThumbnail) {
        E = R.right;
        F = R.bottom;
        if (firstComplex) {
            E = R.right - w180 - 4;
            F = R.bottom - L;
        }
    }
    const int half = (R.right - R.left) / 2;
    const int M1 = R.left + half - (w180 + 4);
    const int M2 = R.left + half + w180 + 4;
    const int M3 = R.right - (w180 + 4);

    // Rows: two complex-plane groups share a row, side by side.
    const std::vector<std::vector<int>> groups = pg_Groups(curves, G);
    std::vector<char> complexGroup(size_t(G) + 1, 0), startsRow(size_t(G) + 1, 1), allDigital(size_t(G) + 1, 0);
    int rows = 0;
    for (int g = 1; g <= G; ++g) {
        const std::vector<int>& members = groups[size_t(g)];
        if (!members.empty()) {
            const PlotCurve& lead = curves[size_t(members.front())];
            complexGroup[size_t(g)] = pg_ComplexPlane(lead);
            allDigital[size_t(g)] = lead.PlotDigital == 1;
        }
        if (g > 1 && complexGroup[size_t(g)] && complexGroup[size_t(g - 1)] && startsRow[size_t(g - 1)])
            startsRow[size_t(g)] = 0;
        if (startsRow[size_t(g)]) ++rows;
    }
    for (PlotCurve& c : curves)
        if (pg_Plotted(c) && pg_ComplexPlane(c)) c.AxisLinear[kAxisX] = c.AxisLinear[kAxisY] = 1;

    // Legend lines and entry positions.
    std::vector<int> legendLines(size_t(G) + 1, 0);
    int S = 0;
    if (!thumbnailView) {
        const int wW = pg_Width(dc, "W");
        for (int g = 1; g <= G; ++g) {
            const std::vector<int>& members = groups[size_t(g)];
            const bool rowStart = startsRow[size_t(g)] != 0;
            int lastLine = 0;
            if (allDigital[size_t(g)]) {
                for (int index : members) {
                    PlotCurve& c = curves[size_t(index)];
                    c.LegendX = (rowStart ? A : M2) - layout.ScaleAreaWidth;
                    c.LegendY = view.CursorMode ? 1 : 0;
                    lastLine = c.LegendY;
                }
            } else {
                const int start = !rowStart ? M2 : complexGroup[size_t(g)] ? B : A;
                const int available = complexGroup[size_t(g)] ? M1 - B : E - A;
                int line = view.CursorMode ? 2 : 1, used = 0;
                bool firstEntry = true, firstOnLine = true;
                for (int index : members) {
                    PlotCurve& c = curves[size_t(index)];
                    int width = wW + c.AxisTitleWidth[kAxisY] + t;
                    if (view.Display) width += pg_ReadoutWidth(dc, !(c.IsDigital || view.ProbeMode));
                    if (!firstEntry && view.CursorMode) {
                        ++line;
                        used = 0;
                        firstOnLine = true;
                    } else if (!firstOnLine && used + width > available) {
                        ++line;
                        used = 0;
                        firstOnLine = true;
                    }
                    c.LegendX = start + used + t;
                    c.LegendY = line;
                    used += width;
                    firstEntry = firstOnLine = false;
                    lastLine = line;
                }
            }
            legendLines[size_t(g)] = lastLine + 2;
            if (rowStart) S += legendLines[size_t(g)];
        }
    }

    int H;
    if (thumbnailView)
        H = F - T;
    else if (G > 0 && rows > 0)
        H = static_cast<int>(std::ceil(((F - T) - double(L) * S - (rows - 1) * h) / rows - 2));
    else
        H = 1;
    // A window too small for its legends still gets a plot one unit high.
    H = std::max(H, 1);

    std::vector<int> top(size_t(G) + 1, T);
    for (int g = 2; g <= G; ++g) {
        if (!startsRow[size_t(g)]) {
            top[size_t(g)] = top[size_t(g - 1)];
            continue;
        }
        int n = legendLines[size_t(g - 1)];
        if (!startsRow[size_t(g - 1)]) n = std::max(n, legendLines[size_t(g - 2)]);
        top[size_t(g)] = top[size_t(g - 1)] + static_cast<int>(std::ceil(n * L + H + h + 1));
    }
    auto nextRowTop = [&](int g) {
        for (int next = g + 1; next <= G; ++next)
            if (startsRow[size_t(next)]) return top[size_t(next)];
        return static_cast<int>(R.bottom);
    };

    const int zeroWidth = pg_Width(dc, "0");
    for (int g = 1; g <= G; ++g) {
        const std::vector<int>& members = groups[size_t(g)];
        if (members.empty()) continue;
        const bool rowStart = startsRow[size_t(g)] != 0;
        const bool leftOfPair = rowStart && g < G && !startsRow[size_t(g + 1)];
        const bool complexPlane = complexGroup[size_t(g)] != 0;
        DeviceRect plot, cell;
        plot.left = !rowStart ? M2 : complexPlane ? B : A;
        plot.right = !rowStart ? M3 : leftOfPair ? M1 : E;
        plot.top = top[size_t(g)] + (complexPlane ? L : 0);
        plot.bottom = top[size_t(g)] + H;
        cell.left = !rowStart ? R.left + half : R.left;
        cell.right = leftOfPair ? R.left + half : R.right;
        cell.top = g == 1 && !complexPlane ? R.top : top[size_t(g)];
        cell.bottom = nextRowTop(g);
        for (int index : members) {
            PlotCurve& c = curves[size_t(index)];
            c.PlotRect = plot;
            c.CellRect = cell;
            if (!thumbnailView && !allDigital[size_t(g)]) c.LegendY = c.LegendY * L + plot.bottom + 1;
        }
        // The X label below the group's last legend line.
        const PlotCurve& last = curves[size_t(members.back())];
        int labelY;
        if (allDigital[size_t(g)])
            labelY = plot.bottom + (view.CursorMode ? 2 * L : L) + 1;
        else
            labelY = last.LegendY + L;
        const int readout = zeroWidth * (view.ProbeMode ? 2 : 17);
        for (int index : members) {
            PlotCurve& c = curves[size_t(index)];
            c.XLabelY = labelY;
            c.XLabelX =
                view.CursorMode
                    ? plot.left + t
                    : plot.left + (E - readout - curves[size_t(members.front())].AxisTitleWidth[kAxisX] - A) / 2;
        }
    }

    for (size_t i = 0; i < curves.size(); ++i) {
        PlotCurve& c = curves[i];
        if (!pg_Plotted(c) || c.PlotNumber > G) continue;
        c.PlotWidth = c.PlotRect.right - c.PlotRect.left;
        c.PlotHeight = c.PlotRect.bottom - c.PlotRect.top;
        SetAxisTransform(curves, int(i), kAxisX, c.PlotWidth, c.PlotRect.right, L);
        SetAxisTransform(curves, int(i), kAxisY, c.PlotHeight, c.PlotRect.top, L);
        if (!thumbnailView && c.PlotDigital == 1) c.LegendY = c.DigitalHighY + (c.DigitalLowY - c.DigitalHighY - L) / 2;
    }

    dc.surface->SetFont(savedFont);
    for (size_t i = 0; i < curves.size(); ++i) {
        PlotCurve& c = curves[i];
        if (!pg_Plotted(c) || c.PlotNumber > G || c.Hidden != 0) continue;
        if (c.IndexInPlot == 0) {
            const int divisions =
                c.IsDigital ? DigitalBandCount(curves, int(i), L) : GridDivisionCount(curves, layout, int(i), kAxisY);
            const int magnitude =
                std::abs(layout.WorkingFont.height != 0 ? int(layout.WorkingFont.height) : DefaultFontHeight());
            if (L > 0 && c.PlotHeight / divisions < L && magnitude > 2) {
                const int reduced = magnitude - 1;
                layout.WorkingFont.height = static_cast<int16_t>(layout.WorkingFont.height > 0 ? reduced : -reduced);
                return LayoutPlot(dc, curves, layout, view, depth + 1) != 0 ? 1 : 0;
            }
        }
        if (pg_ComplexPlane(c)) {
            const DeviceRect& r = c.PlotRect;
            c.PolarCenter = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            c.PolarRadius = std::min(r.right - r.left, r.bottom - r.top) / 2.0;
            if (!(c.PolarMax > 0)) c.PolarMax = 1;
            c.AxisLinear[kAxisX] = c.AxisLinear[kAxisY] = 1;
            c.DeviceOffset[kAxisX] = c.PolarCenter.x;
            c.DeviceOffset[kAxisY] = c.PolarCenter.y;
            c.DeviceScale[kAxisX] = c.PolarRadius / c.PolarMax;
            c.DeviceScale[kAxisY] = -c.DeviceScale[kAxisX];
            const int radius = static_cast<int>(c.PolarRadius);
            c.ClipRegion.Kind = CurveClipRegion::Ellipse;
            c.ClipRegion.Bounds = {c.PolarCenter.x - radius, c.PolarCenter.y - radius, c.PolarCenter.x + radius + 1,
                                   c.PolarCenter.y + radius + 1};
        } else {
            c.ClipRegion.Kind = CurveClipRegion::Rectangle;
            c.ClipRegion.Bounds = {c.PlotRect.left, c.PlotRect.top, c.PlotRect.right + 1, c.PlotRect.bottom + 1};
        }
    }
    return 0;
}
