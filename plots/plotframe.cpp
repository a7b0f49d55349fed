#include "plots/plotframe.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "core/numbers.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "expr/complex.h"
#include "plots/g2ddoc.h"
#include "plots/zoom.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"
#include "shell/fonts.h"

namespace {

constexpr int kMaxGridLines = 20000;
constexpr int kMaxMeasuredLabels = 101;
constexpr double kLogSlack = 1.000001;

using platform::Rect;

bool pf_Plotted(const PlotCurve& c) { return (c.UseFlags & kCurveDrawn) != 0 && c.PlotNumber > 0; }

bool pf_InGroup(const PlotCurve& c, int group) { return pf_Plotted(c) && (group < 0 || c.PlotNumber == group); }

int pf_Width(const CDrawContext& dc, const std::string& text) { return dc.GetTextWidth(text.c_str()); }

// The colours the frame is drawn in on this device.
struct FrameColors {
    int background = 15;
    int grid = 0;
    int baseline = 12;
};

FrameColors pf_Colors(const CDrawContext& dc, const PlotViewInfo& view) {
    FrameColors colors;
    colors.grid = view.GridColor == view.BackgroundColor ? view.GridColor ^ 15 : view.GridColor;
    colors.background = dc.monochrome ? kColorWhite : view.BackgroundColor;
    colors.baseline = view.BaselineColor;
    if (view.MonochromePrint) {
        colors.grid = colors.baseline = kColorBlack;
        if (dc.GetColorValue(colors.background) == dc.GetColorValue(kColorBlack)) colors.background = kColorWhite;
    }
    const platform::Color background = dc.GetColorValue(colors.background);
    if (dc.GetColorValue(colors.grid) == background) colors.grid ^= 15;
    if (dc.GetColorValue(colors.baseline) == background) colors.baseline ^= 15;
    return colors;
}

// The short-lived state of drawing one group's grid lines.
struct GridDrawer {
    CDrawContext* dc = nullptr;
    platform::PenDesc boldPen, normalPen;
    LinePath normalPath{nullptr};
    int penWidth = 1;
    bool ruler = false, plusMark = false, marksOnly = false, byDivisions = false;
    std::vector<int> xPositions;
    std::vector<char> xBold;

    void Line(int x1, int y1, int x2, int y2, bool bold) {
        if (bold) {
            dc->SelectPenHandle(boldPen);
            dc->surface->Line(x1, y1, x2, y2);
        } else {
            dc->SelectPenHandle(normalPen);
            normalPath.MoveTo(x1, y1);
            normalPath.LineTo(x2, y2);
        }
    }
};

void pf_DrawGridLine(GridDrawer& d, const DeviceRect& r, int axis, int p, bool bold) {
    const int m = d.plusMark ? d.penWidth + 5 : std::min(r.right - r.left, r.bottom - r.top) / 20;
    const bool ticks = d.ruler || d.plusMark;
    if (axis == kAxisY) {
        if (!(r.top < p && p < r.bottom)) return;
        if (!d.marksOnly) {
            if (ticks) {
                d.Line(r.left + 1, p, r.left + 1 + m, p, bold);
                d.Line(r.right - m, p, r.right, p, bold);
            } else {
                d.Line(r.left + 1, p, r.right, p, bold);
            }
        }
        if (!d.plusMark) return;
        for (size_t i = 0; i < d.xPositions.size(); ++i) {
            const int x = d.xPositions[i];
            const bool b = (bold || d.xBold[i]) && !d.byDivisions;
            if (d.marksOnly) {
                const int radius = std::max(1, d.penWidth / 2);
                d.dc->SelectPenHandle(b ? d.boldPen : d.normalPen);
                d.dc->SelectBrushHandle(platform::BrushDesc::Null());
                d.dc->surface->Ellipse(Rect{x - radius, p - radius, x + radius + 1, p + radius + 1});
            } else {
                const int o = d.penWidth + 4;
                d.Line(x - o, p, std::min(x + o, int(r.right)), p, b);
                d.Line(x, std::max(p - o, int(r.top)), x, p + o, b);
            }
        }
    } else {
        if (!(r.left < p && p < r.right)) return;
        if (!d.marksOnly) {
            if (ticks) {
                d.Line(p, r.top + 1, p, r.top + 1 + m, bold);
                d.Line(p, r.bottom - m, p, r.bottom, bold);
            } else {
                d.Line(p, r.top + 1, p, r.bottom, bold);
            }
        }
        if (d.plusMark) {
            d.xPositions.push_back(p);
            d.xBold.push_back(bold ? 1 : 0);
        }
    }
}

int pf_FirstOfGroup(const PlotCurveArray& curves, int group) {
    for (size_t i = 0; i < curves.size(); ++i)
        if (pf_Plotted(curves[i]) && curves[i].PlotNumber == group) return int(i);
    return -1;
}

bool pf_HasStep(const PlotCurve& c, int axis, const PlotViewInfo& view) {
    return c.GridStep[axis] != 0 && std::isfinite(c.GridStep[axis]) && !view.GridByDivisions;
}

// One label: its text and where it goes. An empty rectangle means nowhere.
struct PlacedLabel {
    std::string text;
    Rect rect{0, 0, 0, 0};
    bool decade = false;
    bool visible = true;
};

bool pf_Intersects(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Where a scale label of `value` goes; empty when it is not drawn.
Rect pf_PlaceLabel(const CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis, double value, int width,
                   const PlotLayout& layout, const PlotViewInfo& view) {
    const PlotCurve& c = curves[size_t(curve)];
    const int L = layout.LineHeight;
    const int p = c.ToDevice(axis, value);
    if (axis == kAxisY) {
        const int right = c.PlotRect.left - 2 - c.ScaleLabelWidth * YScaleSlot(curves, curve);
        return Rect{right - width, p - L / 2, right, p - L / 2 + L};
    }
    (void)dc;
    int x = p - width / 2;
    x = std::max(x, int(c.PlotRect.left));
    x = std::min(x, int(view.DrawArea.right) - 1 - width);
    if (x < c.PlotRect.left - layout.CharWidth / 2) return Rect{0, 0, 0, 0};
    return Rect{x, c.PlotRect.bottom + 1, x + width, c.PlotRect.bottom + 1 + L};
}

void pf_DrawLabel(CDrawContext& dc, const PlacedLabel& label, int axis) {
    Rect r = label.rect;
    unsigned flags = platform::TextBox::SingleLine | platform::TextBox::NoClip;
    if (axis == kAxisY) flags |= platform::TextBox::Right;
    dc.DrawTextAligned(label.text, r, flags);
}

// Colours the scale numbers of an axis are drawn in.
int pf_ScaleColor(const PlotCurve& c, int axis, const PlotViewInfo& view) {
    if (axis == kAxisY && (!view.SameYScales || c.PlotType != kPlotRectangular)) return CurveTextColor(c, view);
    return view.TextColor;
}

// Probe modes 1 and 3 show the curves alone.
bool pf_LegendsHidden(const PlotViewInfo& view) { return view.ProbeMode == 1 || view.ProbeMode == 3; }

std::string pf_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Values of grids and scales

std::vector<GridValue> LinearGridValues(double low, double high, double step, double minorStep, int divisions,
                                        bool byDivisions, int axisPixels) {
    std::vector<GridValue> lines;
    step = std::fabs(step);
    if (!(step > 0) || !std::isfinite(step) || byDivisions) {
        const int n = std::max(divisions, 1);
        for (int i = 0; i <= n; ++i) lines.push_back({low + i * (high - low) / n, false});
        return lines;
    }
    if (low > high) std::swap(low, high);
    if (!std::isfinite(low) || !std::isfinite(high)) return lines;
    const double remainder = std::fmod(std::fabs(low), step);
    if (remainder != 0) low += low < 0 ? remainder : step - remainder;
    const double count = std::floor((high - low) / step + 1e-9);
    if (count < 0 || count > 10.0 * axisPixels) return lines;
    const int n = static_cast<int>(std::min<double>(count, kMaxGridLines));
    for (int i = 0; i <= n; ++i) {
        const double v = low + i * step;
        const bool bold = minorStep != 0 && std::fmod(std::fabs(v) + step * 1e-14, std::fabs(minorStep)) < step * 1e-13;
        lines.push_back({v, bold});
    }
    return lines;
}

std::vector<LogScaleValue> LogScaleSequence(double low, double high) {
    std::vector<LogScaleValue> values;
    if (low > high) std::swap(low, high);
    if (!(high > 0) || !std::isfinite(high) || !std::isfinite(low)) return values;
    const double limit = high * kLogSlack;
    double value = DecadeFloor(low);
    double previousStep = -1e10;
    int counter = 1;
    // 1e-50 to 1e308 is at most a few thousand values; the bound only guards.
    while (value <= limit && values.size() < 10000) {
        const double step = DecadeFloor(value);
        LogScaleValue entry;
        entry.Value = value;
        entry.Decade = std::fabs((step - previousStep) / std::max(step, previousStep)) > 1e-6 || limit < value + step;
        counter = entry.Decade ? 1 : counter + 1;
        entry.Counter = counter;
        entry.Below = value < low / kLogSlack;
        values.push_back(entry);
        previousStep = step;
        // Snapped to the step so that 0.1 + 0.1 + ... lands on 1 exactly.
        value = std::round((value + step) / step) * step;
    }
    return values;
}

std::vector<double> LogGridValues(double low, double high, bool minorLogGrids, bool minorLog25) {
    std::vector<double> lines;
    for (const LogScaleValue& v : LogScaleSequence(low, high)) {
        const bool line = v.Decade || (minorLog25 ? (v.Counter == 2 || v.Counter == 5) : minorLogGrids) ||
                          (lines.empty() && !minorLog25);
        if (line && !v.Below) lines.push_back(v.Value);
    }
    return lines;
}

std::vector<ScaleValue> LinearScaleValues(double low, double high, double step, int maxCount) {
    std::vector<ScaleValue> values;
    step = std::fabs(step);
    if (low > high) std::swap(low, high);
    if (!(step > 0) || !std::isfinite(low) || !std::isfinite(high)) return values;
    const double remainder = std::fmod(std::fabs(low), step);
    double first = low;
    if (remainder != 0) {
        values.push_back({low, true});
        first += low < 0 ? remainder : step - remainder;
    }
    const double count = std::floor((high - first) / step + 1e-9);
    if (count >= 0 && count < maxCount) {
        for (int i = 0; i <= int(count); ++i) {
            const double v = first + i * step;
            if (v >= low && v <= high) values.push_back({v, false});
        }
    }
    if (std::fmod(std::fabs(high), step) != 0) values.push_back({high, true});
    return values;
}

// ---------------------------------------------------------------------------
// Scales

namespace {

std::string pf_LabelText(const PlotCurve& curve, int axis, double value, int digits) {
    char buffer[64] = {};
    // With a prefix in the axis title the numbers go without their letter. A
    // "None" axis gives every number its letter: the range's own on a linear
    // axis, each value's own on a logarithmic one, whose decades no single
    // multiplier shows.
    FormatSpec format = curve.ScaleFormat[axis];
    format.digits = static_cast<int16_t>(digits);
    int mode = kFormatFixedScale | kFormatFixedScaleNoLetter;
    if (curve.ScaleFactorIsNone(axis)) mode = curve.AxisLinear[axis] ? kFormatFixedScale : 0;
    // A value's own suffix is the short one ("M" for mega), as the fixed letters are.
    const int flags = mode == 0 && format.style == 0 ? kNumCommasOrAlternate : 0;
    FormatValueWithSpec(&format, buffer, sizeof buffer, value, mode, flags);
    return pf_Trim(buffer);
}

// The texts of a linear scale's values. A range narrower than the format's
// digits can tell apart (data that moves by nanovolts around 10 V) gets more
// digits, so that no two grid lines carry the same number.
std::vector<std::string> pf_LinearTexts(const PlotCurve& curve, int axis, const std::vector<ScaleValue>& values) {
    std::vector<std::string> texts;
    // Values that differ by rounding only (a grid line at 20n and a range end
    // at 19.99999999n) are one value: telling them apart would need every digit.
    double low = 0, high = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i == 0 || values[i].Value < low) low = values[i].Value;
        if (i == 0 || values[i].Value > high) high = values[i].Value;
    }
    const double same = (high - low) * 1e-9;
    for (int digits = std::max<int>(curve.ScaleFormat[axis].digits, 0);; ++digits) {
        texts.clear();
        bool distinct = true;
        for (size_t i = 0; i < values.size(); ++i) {
            // A rounding away from zero is zero, not a number in E notation.
            const double value = std::abs(values[i].Value) <= same ? 0.0 : values[i].Value;
            texts.push_back(pf_LabelText(curve, axis, value, digits));
            if (i > 0 && std::abs(values[i].Value - values[i - 1].Value) > same && texts[i] == texts[i - 1])
                distinct = false;
        }
        if (distinct || digits >= 16) return texts;
    }
}

}  // namespace

std::string ScaleLabelText(const PlotCurve& curve, int axis, double value) {
    return pf_LabelText(curve, axis, value, curve.ScaleFormat[axis].digits);
}

int YScaleSlot(const PlotCurveArray& curves, int curve) {
    const PlotCurve& c = curves[size_t(curve)];
    int slot = 0;
    for (int i = 0; i < curve; ++i) {
        const PlotCurve& other = curves[size_t(i)];
        if (pf_Plotted(other) && other.PlotNumber == c.PlotNumber && other.DrawsYScale) ++slot;
    }
    return slot;
}

namespace {

// The labels of a linear scale: returns the widest; with `place` the labels
// that are drawn go into `out` in drawing order, with their rectangles.
int pf_LinearLabels(const CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis, bool place,
                    const PlotLayout& layout, const PlotViewInfo& view, std::vector<PlacedLabel>* out) {
    const PlotCurve& c = curves[size_t(curve)];
    std::vector<ScaleValue> values;
    if (!pf_HasStep(c, axis, view)) {
        const int n = place ? GridDivisionCount(curves, layout, curve, axis) : std::max(layout.GridDivisions[axis], 1);
        const double span = c.RangeSpan[axis] != 0 ? c.RangeSpan[axis] : c.RangeHigh[axis] - c.RangeLow[axis];
        for (int i = 0; i <= n; ++i) {
            double v = c.RangeLow[axis] + i * span / n;
            if (std::fabs(v) < 1e-10 * std::fabs(span)) v = 0;
            values.push_back({v, false});
        }
    } else {
        const int pixels = axis == kAxisX ? c.PlotWidth : c.PlotHeight;
        const double count = std::fabs((c.RangeHigh[axis] - c.RangeLow[axis]) / c.GridStep[axis]);
        int maxCount = place ? kMaxGridLines : kMaxMeasuredLabels;
        if (place && count > 10.0 * pixels) maxCount = 0;
        values = LinearScaleValues(c.RangeLow[axis], c.RangeHigh[axis], c.GridStep[axis], maxCount);
    }
    const std::vector<std::string> texts = pf_LinearTexts(c, axis, values);
    int widest = 0;
    Rect previous{0, 0, 0, 0};
    bool havePrevious = false;
    for (size_t i = 0; i < values.size(); ++i) {
        const ScaleValue& v = values[i];
        PlacedLabel label;
        label.text = texts[i];
        const int width = pf_Width(dc, label.text);
        widest = std::max(widest, width);
        if (!place) continue;
        label.rect = pf_PlaceLabel(dc, curves, curve, axis, v.Value, width, layout, view);
        if (label.rect.right <= label.rect.left) continue;
        if (havePrevious) {
            if (axis == kAxisY && pf_Intersects(label.rect, previous)) continue;
            if (axis == kAxisX && v.End && i + 1 == values.size() && previous.right > label.rect.left) continue;
        }
        out->push_back(label);
        previous = label.rect;
        havePrevious = true;
    }
    return widest;
}

// The same for a logarithmic scale; throws std::bad_alloc.
int pf_LogLabels(const CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis, bool place,
                 const PlotLayout& layout, const PlotViewInfo& view, std::vector<PlacedLabel>* out) {
    const PlotCurve& c = curves[size_t(curve)];
    const bool minorAll = (view.ViewOptions & kViewMinorLogGrids) && view.LabelAllMinorGrids;
    std::vector<PlacedLabel> labels;
    auto add = [&](double value, bool decade) {
        PlacedLabel label;
        label.text = ScaleLabelText(c, axis, value);
        label.decade = decade;
        const int width = pf_Width(dc, label.text);
        if (place) label.rect = pf_PlaceLabel(dc, curves, curve, axis, value, width, layout, view);
        label.visible = label.rect.right > label.rect.left;
        labels.push_back(label);
        return width;
    };
    int widest = 0;
    bool placed = false;
    const double high = std::max(c.RangeLow[axis], c.RangeHigh[axis]);
    for (const LogScaleValue& v : LogScaleSequence(c.RangeLow[axis], c.RangeHigh[axis])) {
        const bool label = v.Decade || minorAll || (view.MinorLogGrids25 && (v.Counter == 2 || v.Counter == 5)) ||
                           (!placed && !view.MinorLogGrids25);
        if (!label || v.Below) continue;
        widest = std::max(widest, add(v.Value, v.Decade));
        placed = true;
    }
    widest = std::max(widest, add(high, false));
    if (!place) return widest;
    // Labels that overlap give way: decades first, then in order from the low end.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < labels.size(); ++i) {
            if (!labels[i].visible || (pass == 0 && !labels[i].decade)) continue;
            Rect wide = labels[i].rect;
            wide.left -= 2;
            wide.right += 2;
            for (size_t j = 0; j < labels.size(); ++j)
                if (j != i && labels[j].visible && pf_Intersects(wide, labels[j].rect)) labels[j].visible = false;
        }
    }
    int drawn = 0;
    for (const PlacedLabel& label : labels) {
        if (!label.visible) continue;
        out->push_back(label);
        ++drawn;
    }
    if (drawn < 2) {
        const double low = std::min(c.RangeLow[axis], c.RangeHigh[axis]);
        for (double end : {low, high}) {
            PlacedLabel label;
            label.text = ScaleLabelText(c, axis, end);
            label.rect = pf_PlaceLabel(dc, curves, curve, axis, end, pf_Width(dc, label.text), layout, view);
            if (label.rect.right > label.rect.left) out->push_back(label);
        }
    }
    return widest;
}

}  // namespace

std::vector<ScaleLabel> PlaceScaleLabels(const CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis,
                                         const PlotLayout& layout, const PlotViewInfo& view) {
    std::vector<PlacedLabel> placed;
    if (curves[size_t(curve)].PlotType != kPlotRectangular) return {};
    if (curves[size_t(curve)].AxisLinear[axis])
        pf_LinearLabels(dc, curves, curve, axis, true, layout, view, &placed);
    else
        pf_LogLabels(dc, curves, curve, axis, true, layout, view, &placed);
    std::vector<ScaleLabel> labels;
    for (const PlacedLabel& label : placed) labels.push_back({label.text, label.rect});
    return labels;
}

int DrawLinearScale(CDrawContext& dc, PlotCurveArray& curves, int curve, int axis, bool draw, const PlotLayout& layout,
                    const PlotViewInfo& view) {
    const PlotCurve& c = curves[size_t(curve)];
    if (c.PlotType != kPlotRectangular) return pf_Width(dc, "180");
    std::vector<PlacedLabel> labels;
    const int widest = pf_LinearLabels(dc, curves, curve, axis, draw, layout, view, &labels);
    if (!draw) return widest;
    dc.SetTextColorIndex(pf_ScaleColor(c, axis, view));
    for (const PlacedLabel& label : labels) pf_DrawLabel(dc, label, axis);
    return widest;
}

int DrawLogScale(CDrawContext& dc, PlotCurveArray& curves, int curve, int axis, bool draw, const PlotLayout& layout,
                 const PlotViewInfo& view) {
    const PlotCurve& c = curves[size_t(curve)];
    std::vector<PlacedLabel> labels;
    int widest = 0;
    try {
        widest = pf_LogLabels(dc, curves, curve, axis, draw, layout, view, &labels);
    } catch (const std::bad_alloc&) {
        // The scale goes without labels.
        Reporter().Report(MessageRequest(kResultNoMemory));
        return widest;
    }
    if (!draw) return widest;
    dc.SetTextColorIndex(pf_ScaleColor(c, axis, view));
    for (const PlacedLabel& label : labels) pf_DrawLabel(dc, label, axis);
    return widest;
}

// ---------------------------------------------------------------------------
// Frames and grids

bool FixCurveContrast(PlotCurve& curve, const PlotViewInfo& view) {
    bool changed = false;
    // A line in the background colour could not be seen; a curve's own text
    // colour that equals the plot's text would not tell the curve apart.
    if (curve.Style.lineColor == view.BackgroundColor) {
        curve.Style.lineColor ^= 15;
        changed = true;
    }
    if (curve.Style.textColor == view.TextColor) {
        curve.Style.textColor ^= 15;
        changed = true;
    }
    return changed;
}

void FixCurveContrasts(CG2DDoc& document, const PlotViewInfo& view) {
    const int kind = document.RunningKind >= 0 ? document.RunningKind : document.AnalysisKind;
    AnalysisKindSettings* settings = document.KindSettings(kind);
    for (PlotCurve& c : document.Curves) {
        if (!pf_Plotted(c) || !FixCurveContrast(c, view)) continue;
        if (!settings || c.RowIndex < 0 || size_t(c.RowIndex) >= settings->curves.size()) continue;
        CurveRow& row = *settings->curves[size_t(c.RowIndex)];
        row.display.textColor = c.Style.textColor;
        row.display.lineColor = c.Style.lineColor;
    }
}

int CurveTextColor(const PlotCurve& curve, const PlotViewInfo& view) {
    const int color = curve.Style.textColor;
    return color == view.BackgroundColor ? color ^ 15 : color;
}

void DrawPlotGroup(CDrawContext& dc, PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                   int group) {
    if (!dc.surface) return;
    const FrameColors colors = pf_Colors(dc, view);
    const int penWidth = std::max(view.GridWidth, 1);
    dc.surface->SaveState();
    platform::PenDesc framePen = platform::PenDesc::Solid(dc.GetColorValue(colors.grid), penWidth);
    dc.SelectPenHandle(framePen);
    dc.SelectBrushHandle(platform::BrushDesc::Null());
    for (int g = 1; g <= layout.PlotGroupCount; ++g) {
        if (group >= 0 && g != group) continue;
        const int first = pf_FirstOfGroup(curves, g);
        if (first < 0) continue;
        const PlotCurve& c = curves[size_t(first)];
        // Smith and polar grids belong to their own drawer.
        if (c.PlotType != kPlotRectangular) continue;
        const int half = penWidth / 2;
        dc.surface->Rectangle(Rect{c.PlotRect.left + half, c.PlotRect.top + half, c.PlotRect.right + 1 - half,
                                   c.PlotRect.bottom + 1 - half});
    }

    GridDrawer drawer;
    drawer.dc = &dc;
    drawer.penWidth = penWidth;
    drawer.ruler = (view.ViewOptions & kViewRuler) != 0;
    drawer.plusMark = view.PlusMark;
    const bool bothGrids = (view.ViewOptions & kViewHorizontalGrids) && (view.ViewOptions & kViewVerticalGrids);
    drawer.marksOnly = view.PlusMark && !bothGrids;
    drawer.byDivisions = view.GridByDivisions;
    drawer.boldPen = platform::PenDesc::Solid(dc.GetColorValue(colors.grid), penWidth);
    drawer.normalPath = LinePath(&dc);
    MakeStyledPenFromIndex(drawer.normalPen, drawer.normalPath, 0, penWidth, view.GridPattern, colors.grid);
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);

    for (size_t i = 0; i < curves.size(); ++i) {
        PlotCurve& c = curves[i];
        if (!pf_InGroup(c, group) || c.PlotType != kPlotRectangular) continue;
        if (c.IndexInPlot == 0) {
            drawer.xPositions.clear();
            drawer.xBold.clear();
            for (int axis = kAxisX; axis <= kAxisY; ++axis) {
                if (axis == kAxisY && c.PlotDigital == 1) continue;
                const int option = axis == kAxisX ? kViewHorizontalGrids : kViewVerticalGrids;
                if (!(view.ViewOptions & option) && !view.PlusMark) continue;
                std::vector<GridValue> lines;
                if (c.AxisLinear[axis]) {
                    const int n = GridDivisionCount(curves, layout, int(i), axis);
                    const bool byDivisions = !pf_HasStep(c, axis, view);
                    const double high = byDivisions ? c.RangeLow[axis] + c.RangeSpan[axis] : c.RangeHigh[axis];
                    lines = LinearGridValues(c.RangeLow[axis], high, c.GridStep[axis], c.MinorStep[axis], n,
                                             byDivisions, axis == kAxisX ? c.PlotWidth : c.PlotHeight);
                } else {
                    for (double v : LogGridValues(c.RangeLow[axis], c.RangeHigh[axis],
                                                  (view.ViewOptions & kViewMinorLogGrids) != 0, view.MinorLogGrids25))
                        lines.push_back({v, false});
                }
                for (const GridValue& line : lines)
                    pf_DrawGridLine(drawer, c.PlotRect, axis, c.ToDevice(axis, line.Value), line.Bold);
            }
        }
        if ((view.ViewOptions & kViewBaseline) && c.PlotDigital != 1 && c.DrawsYScale) {
            const int y = c.ToDevice(kAxisY, 0);
            if (c.PlotRect.top < y && y < c.PlotRect.bottom) {
                dc.SelectPenHandle(platform::PenDesc::Solid(dc.GetColorValue(colors.baseline), penWidth));
                dc.surface->Line(c.PlotRect.left, y, c.PlotRect.right - penWidth / 2, y);
            }
        }
    }
    dc.surface->RestoreState();
}

void DrawCurveScales(CDrawContext& dc, PlotCurveArray& curves, int curve, const PlotLayout& layout,
                     const PlotViewInfo& view) {
    PlotCurve& c = curves[size_t(curve)];
    if (!dc.surface || c.PlotType != kPlotRectangular) return;
    const int L = layout.LineHeight;
    if (c.IndexInPlot == 0 && view.Display && !view.ClipRectSet) {
        const platform::Color background = dc.GetColorValue(pf_Colors(dc, view).background);
        dc.surface->FillRect(Rect{c.PlotRect.left, c.PlotRect.bottom + 1, c.CellRect.right, c.CellRect.bottom + 1},
                             background);
        // The frame's left edge stays.
        dc.surface->FillRect(
            Rect{c.CellRect.left, c.CellRect.top - L / 2, c.PlotRect.left, c.CellRect.bottom - L / 2 + 1}, background);
    }
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    if (c.IndexInPlot == 0) {
        if (c.AxisLinear[kAxisX])
            DrawLinearScale(dc, curves, curve, kAxisX, true, layout, view);
        else
            DrawLogScale(dc, curves, curve, kAxisX, true, layout, view);
    }
    if (c.DrawsYScale && c.PlotDigital != 1) {
        if (c.AxisLinear[kAxisY])
            DrawLinearScale(dc, curves, curve, kAxisY, true, layout, view);
        else
            DrawLogScale(dc, curves, curve, kAxisY, true, layout, view);
    }
}

// ---------------------------------------------------------------------------
// Legends and title

std::string SlopeCellText(const PlotCurve& curve, int denominatorAxis, int numeratorAxis, int method) {
    auto cursor = [&](int axis, int which) { return axis == kAxisX ? curve.CursorX[which] : curve.CursorY[which]; };
    const double dn = cursor(numeratorAxis, 1) - cursor(numeratorAxis, 0);
    double value = 0;
    const double l = cursor(denominatorAxis, 0), r = cursor(denominatorAxis, 1);
    if (denominatorAxis == numeratorAxis) {
        value = 1;
    } else if (method == 0) {
        const double dd = r - l;
        if (dd == 0) return "INF";
        value = dn / dd;
    } else if (method == 1 || method == 2) {
        if (l == 0) return "INF";
        const double decades = std::log10(r / l);
        value = dn / (method == 1 ? decades / std::log10(2.0) : decades);
    } else {
        return "";
    }
    char buffer[50];
    FormatNumber(buffer, sizeof buffer, value, 3, 'E', 0x12);
    return buffer;
}


void DrawLegendEntry(CDrawContext& dc, const PlotCurveArray& curves, int curve, int axis, bool withValues,
                     const PlotLayout& layout, const PlotViewInfo& view) {
    const PlotCurve& c = curves[size_t(curve)];
    if (!dc.surface || pf_LegendsHidden(view)) return;
    if (axis == kAxisX && (c.PlotType != kPlotRectangular || c.IndexInPlot != 0)) return;
    const int L = layout.LineHeight;
    const int x = axis == kAxisY ? c.LegendX : c.XLabelX;
    const int y = axis == kAxisY ? c.LegendY : c.XLabelY;
    const bool digitalEntry = axis == kAxisY && c.PlotDigital == 1;
    const bool narrow = (axis == kAxisY && c.IsDigital) || view.ProbeMode != 0;
    const int readout = dc.GetTextWidth("0") * (narrow ? 2 : 17);
    const int column = view.CursorColumnWidth > 0 ? view.CursorColumnWidth : dc.GetTextWidth("0") * 17;
    int clipRight = view.CursorMode ? x + column : int(c.PlotRect.right);
    if (digitalEntry) {
        const int room = view.CursorMode ? layout.ScaleAreaWidth - 2 * column : layout.ScaleAreaWidth;
        clipRight = std::min<int>(c.PlotRect.left, x + room + 1);
    }
    if (!withValues) {
        dc.surface->SaveState();
        dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
        if (curve == view.CurrentCurve) {
            platform::FontDesc font = dc.surface->GetFont();
            font.weight = 700;
            dc.surface->SetFont(font);
        }
        dc.surface->IntersectClipRect(Rect{x, y, clipRight, y + L});
        Rect r{x, y, clipRight, y + L};
        dc.DrawTextAligned(c.AxisTitle[axis], r, platform::TextBox::SingleLine | platform::TextBox::NoClip);
        dc.surface->RestoreState();
        return;
    }
    if (axis == kAxisY && !c.IsShown()) return;
    // Each value right-aligned in a field of its own; "#" when it does not fit.
    auto field = [&](int left, int width, std::string text) {
        if (pf_Width(dc, text) > width) text = "#";
        if (view.Display)
            dc.surface->FillRect(Rect{left, y, left + width, y + L}, dc.GetColorValue(view.BackgroundColor));
        Rect r{left, y, left + width, y + L};
        dc.DrawTextAligned(text, r,
                           platform::TextBox::SingleLine | platform::TextBox::Right | platform::TextBox::NoClip);
    };
    if (!view.CursorMode) {
        field(x + c.AxisTitleWidth[axis], readout, c.FormatAxisValue(axis, c.Value[axis]));
        return;
    }
    const int start = digitalEntry ? x + layout.ScaleAreaWidth - 2 * column + 1 : c.PlotRect.left + column + 1;
    std::vector<std::string> texts;
    if (c.PlotType != kPlotRectangular) {
        if (axis == kAxisX) return;
        for (int cursor = 0; cursor < 2; ++cursor) {
            const ComplexNumber z{c.CursorX[cursor], c.CursorY[cursor]};
            texts.push_back(c.FormatAxisValue(kAxisX, c.CursorAux[cursor]));
            texts.push_back(FormatComplexValue(c, z, false));
            texts.push_back(FormatComplexValue(c, z, true));
        }
    } else {
        const double* values = axis == kAxisX ? c.CursorX : c.CursorY;
        texts.push_back(c.FormatAxisValue(axis, values[0]));
        texts.push_back(c.FormatAxisValue(axis, values[1]));
        if (!(axis == kAxisY && c.IsDigital)) texts.push_back(c.FormatAxisValue(axis, values[1] - values[0]));
        // The slope of this axis over X between the cursors; in decibels over
        // frequency by the curve's own method, per octave or decade.
        if (!c.IsDigital) {
            const bool dbOverFrequency = c.SingleVar[kAxisX] == 'F' && ExpressionUsesDb(c.Expr[kAxisY].get());
            texts.push_back(SlopeCellText(c, kAxisX, axis, dbOverFrequency ? c.SlopeMethod : 0));
        }
    }
    for (size_t i = 0; i < texts.size(); ++i) field(start + int(i) * column, column, texts[i]);
}

void DrawGroupLegends(CDrawContext& dc, PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                      int group) {
    if (!dc.surface || view.ViewKind == kViewKindThumbnail) return;
    for (PlotCurve& c : curves)
        if (pf_Plotted(c)) FixCurveContrast(c, view);
    for (size_t i = 0; i < curves.size(); ++i) {
        if (!pf_InGroup(curves[i], group)) continue;
        DrawCurveScales(dc, curves, int(i), layout, view);
        dc.SetTextColorIndex(CurveTextColor(curves[i], view));
        DrawLegendEntry(dc, curves, int(i), kAxisY, false, layout, view);
        dc.SetTextColorIndex(view.TextColor);
        DrawLegendEntry(dc, curves, int(i), kAxisX, false, layout, view);
    }
}

void DrawScalesAndTitles(CDrawContext& dc, PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                         int group) {
    DrawPlotGroup(dc, curves, layout, view, group);
    DrawGroupLegends(dc, curves, layout, view, group);
}

void RedrawScales(CDrawContext& dc, const PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view,
                  bool withValues, int group) {
    if (!dc.surface || view.ViewKind == kViewKindThumbnail) return;
    for (size_t i = 0; i < curves.size(); ++i) {
        if (!pf_InGroup(curves[i], group)) continue;
        dc.SetTextColorIndex(CurveTextColor(curves[i], view));
        DrawLegendEntry(dc, curves, int(i), kAxisY, withValues, layout, view);
        dc.SetTextColorIndex(view.TextColor);
        DrawLegendEntry(dc, curves, int(i), kAxisX, withValues, layout, view);
    }
}

std::vector<std::string> FitTitle(const CDrawContext& dc, std::string title, const std::string& stamp, int width,
                                  int titleLines) {
    title = pf_Trim(title);
    const std::string trimmedStamp = pf_Trim(stamp);
    auto tooWide = [&] {
        return pf_Width(dc, title) > width ||
               (!trimmedStamp.empty() && pf_Width(dc, title) + pf_Width(dc, trimmedStamp) > width);
    };
    if (tooWide()) {
        for (size_t at = 0; at + 11 <= title.size(); ++at) {
            if (strncasecmp(title.c_str() + at, "Temperature", 11) == 0) {
                title.erase(at + 4, 7);
                break;
            }
        }
    }
    if (titleLines >= 2 && pf_Width(dc, title) > width) {
        const size_t equals = title.find('=', title.size() / 2);
        if (equals != std::string::npos) {
            const size_t blank = title.find(' ', equals + 2);
            if (blank != std::string::npos) return {title.substr(0, blank), title.substr(blank + 1)};
        }
    }
    return {title};
}

void DrawTitle(CDrawContext& dc, const PlotCurveArray& curves, const PlotLayout& layout, const PlotViewInfo& view) {
    if (!dc.surface || view.ViewKind == kViewKindThumbnail || pf_LegendsHidden(view) || view.Title.empty()) return;
    const int first = pf_FirstOfGroup(curves, 1);
    if (first < 0) return;
    const PlotCurve& c = curves[size_t(first)];
    const int L = layout.LineHeight;
    int g = L / 14;
    if (g < 0) g = 1;
    const Rect& R = view.DrawArea;
    if (view.Display && !view.ClipRectSet)
        dc.surface->FillRect(Rect{c.PlotRect.left, R.top, R.right, R.top + 2 * L},
                             dc.GetColorValue(pf_Colors(dc, view).background));
    Rect area{c.PlotRect.left, R.top + L + g, c.PlotRect.right, c.PlotRect.top};
    if (c.PlotType != kPlotRectangular) area.left = R.left, area.right = R.right;
    const std::string stamp = pf_Trim(view.Stamp);
    const std::vector<std::string> lines = FitTitle(dc, view.Title, stamp, area.right - area.left, layout.TitleLines);
    dc.surface->SaveState();
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    dc.SetTextColorIndex(view.TextColor);
    const unsigned base = platform::TextBox::SingleLine | platform::TextBox::NoClip;
    for (size_t i = 0; i < lines.size(); ++i) {
        Rect r = area;
        r.top += int(i) * L;
        r.bottom = r.top + L;
        unsigned flags = base;
        if (!stamp.empty())
            r.right -= pf_Width(dc, stamp) + pf_Width(dc, "X");
        else if (pf_Width(dc, lines[i]) <= r.right - r.left)
            flags |= platform::TextBox::Center;
        dc.DrawTextAligned(lines[i], r, flags);
    }
    if (!stamp.empty()) {
        Rect r{area.left, area.top, area.right, area.top + L};
        dc.DrawTextAligned(stamp, r, base | platform::TextBox::Right);
    }
    dc.surface->RestoreState();
}

int DrawPlotFrame(CDrawContext& dc, PlotCurveArray& curves, PlotLayout& layout, const PlotViewInfo& view) {
    if (!dc.surface || CountPlotted(curves) == 0) return 0;
    if (LayoutPlot(dc, curves, layout, view, 0) != 0) return 1;
    const platform::FontDesc saved = dc.surface->GetFont();
    CreatePlotFont(dc, layout, false);
    if (view.Display && !view.ClipRectSet) {
        // The background around the frames; the insides are the curves' to paint.
        dc.surface->SaveState();
        const int half = std::max(view.GridWidth, 1) / 2;
        dc.surface->SetClipRect(view.DrawArea);
        for (const PlotCurve& c : curves)
            if (pf_Plotted(c) && c.PlotType == kPlotRectangular)
                dc.surface->ExcludeClipRect(Rect{c.PlotRect.left - half, c.PlotRect.top - half,
                                                 c.PlotRect.right + half + 1, c.PlotRect.bottom + half + 1});
        dc.surface->FillRect(view.DrawArea, dc.GetColorValue(pf_Colors(dc, view).background));
        dc.surface->RestoreState();
    }
    DrawPlotGroup(dc, curves, layout, view, -1);
    DrawGroupLegends(dc, curves, layout, view, -1);
    DrawTitle(dc, curves, layout, view);
    dc.surface->SetFont(saved);
    return 0;
}
