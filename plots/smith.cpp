#include "plots/smith.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/numbers.h"
#include "expr/complex.h"
#include "plots/andoc.h"
#include "plots/layout.h"
#include "shell/drawcontext.h"

const double kSmithResistances[7] = {0, 0.2, 0.5, 1, 2, 5, 10};
const double kSmithReactances[8] = {0.2, 0.5, 1, 2, 3, 4, 5, 10};

namespace {

constexpr double sm_Pi = 3.14159265358979323846;

// The nearest integer, halves away from zero, kept within the 32-bit range.
int32_t sm_Near(double v) { return ClampToInt(std::round(v)); }
int32_t sm_Trunc(double v) { return ClampToInt(std::trunc(v)); }

std::string sm_Trimmed(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    TrimNumberZeros(buffer);
    return buffer;
}

platform::Rect sm_Rect(const DeviceRect& r) { return platform::Rect{r.left, r.top, r.right, r.bottom}; }

// A label box of the text's size beside a point: to its left when the point
// lies left of the centre, above it when it lies above.
platform::Rect sm_BoxBeside(CDrawContext& dc, const std::string& text, DeviceXY p, DeviceXY centre) {
    const int w = dc.GetTextWidth(text.c_str());
    const int h = dc.GetLineHeight();
    const int left = p.x < centre.x ? p.x - w : p.x;
    const int top = p.y < centre.y ? p.y - h : p.y;
    return platform::Rect{left, top, left + w, top + h};
}

void sm_Label(CDrawContext& dc, const std::string& text, platform::Rect r) {
    dc.DrawTextAligned(text, r, platform::TextBox::SingleLine | platform::TextBox::NoClip);
}

}  // namespace

DeviceRect ResistanceCircleRect(const PlotCurve& curve, double r) {
    const double R = curve.PolarRadius;
    const double sum = r + 1 == 0 ? 1e-12 : r + 1;
    const double d = 1 / sum;
    const int32_t centreX = curve.PolarCenter.x + sm_Trunc(d * r * R);
    const double radius = d * R;
    const int32_t cy = curve.PolarCenter.y;
    return DeviceRect{sm_Trunc(centreX - radius), sm_Trunc(cy - radius), sm_Trunc(centreX + radius),
                      sm_Trunc(cy + radius)};
}

ReactanceArcGeometry ReactanceArc(const PlotCurve& curve, double x) {
    ReactanceArcGeometry g;
    const double R = curve.PolarRadius;
    const int32_t cx = curve.PolarCenter.x, cy = curve.PolarCenter.y;
    const double b = x == 0 ? 1e12 : R / std::fabs(x);
    g.Box.left = cx + sm_Near(R - b);
    g.Box.right = cx + sm_Near(R + b);
    g.Box.top = cy;
    g.Box.bottom = x >= 0 ? cy - sm_Near(2 * b) : cy + sm_Near(2 * b);
    // Where the impedance 0.003 + jx lies: its reflection coefficient on the rim.
    ComplexNumber reflection{0, 0};
    DivideComplex(reflection, ComplexNumber{0.003 - 1, x}, ComplexNumber{0.003 + 1, x});
    g.Rim = DeviceXY{curve.ToDeviceInt(kAxisX, reflection.re), curve.ToDeviceInt(kAxisY, reflection.im)};
    const DeviceXY inner{cx + sm_Near(R) - 2, cy};
    g.Start = x >= 0 ? g.Rim : inner;
    g.End = x >= 0 ? inner : g.Rim;
    return g;
}

DeviceRect ChartCircleRect(const PlotCurve& curve) {
    const int32_t e = sm_Trunc(curve.PolarRadius);
    return DeviceRect{curve.PolarCenter.x - e, curve.PolarCenter.y - e, curve.PolarCenter.x + e,
                      curve.PolarCenter.y + e};
}

std::vector<std::string> SmithCircleLabels(const PlotCurve& curve) {
    std::vector<std::string> labels;
    for (double r : kSmithResistances) labels.push_back(sm_Trimmed(r * curve.SmithScale));
    return labels;
}

std::vector<std::string> SmithArcLabels(const PlotCurve& curve) {
    std::vector<std::string> labels;
    for (double sign : {1.0, -1.0})
        for (double x : kSmithReactances) labels.push_back(sm_Trimmed(sign * x * curve.SmithScale));
    return labels;
}

std::vector<std::string> PolarRingLabels(const PlotCurve& curve, int textWidth100) {
    std::vector<std::string> labels;
    const bool oddOnly = curve.PolarRadius * 0.1 < textWidth100;
    for (int k = 1; k <= 10; ++k) {
        if (oddOnly && k % 2 == 0) {
            labels.emplace_back();
            continue;
        }
        char buffer[64] = {};
        FormatValueWithSpec(&curve.ScaleFormat[kAxisY], buffer, sizeof buffer, k * 0.1 * curve.PolarMax, 0, 0);
        TrimNumberZeros(buffer);
        labels.emplace_back(buffer);
    }
    return labels;
}

double ComputePolarMax(CANDoc& doc, int curve, bool runFinished) {
    if (curve < 0 || curve >= doc.CurveCount()) return 1.0;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    if (c.PlotType != kPlotPolar) return 1.0;
    if (runFinished) return c.PolarMax;
    double result = 1.0;
    const size_t runs =
        std::min({static_cast<size_t>(std::max(doc.Runs.Count, 0)), c.RunFirst.size(), c.RunLast.size()});
    for (size_t r = 0; r < runs; ++r) {
        double largest = 0;
        for (int i = c.RunFirst[r]; i <= c.RunLast[r]; ++i) {
            const double re = doc.GetValue(c.DataColumn[kSlotYRealPart], i);
            const double im = doc.GetValue(c.DataColumn[kSlotYImagPart], i);
            largest = std::max(largest, std::sqrt(re * re + im * im));
        }
        // Each run starts the scale anew; a run of zeros leaves it.
        if (largest > 0) result = largest;
    }
    return result;
}

void FillChartBackground(CDrawContext& dc, const PlotCurve& curve, const DeviceRect& ellipse, const PlotViewInfo& view,
                         bool drawingForOutput) {
    if (!dc.surface || curve.IndexInPlot != 0 || dc.technology != platform::kTechRasterDisplay || drawingForOutput)
        return;
    dc.surface->SaveState();
    dc.SelectPenHandle(platform::PenDesc::Null());
    dc.SelectBrushHandle(platform::BrushDesc::Solid(dc.GetColorValue(view.BackgroundColor)));
    // The ellipse itself: the cell painted within the chart's elliptic region.
    dc.surface->Ellipse(sm_Rect(ellipse));
    dc.surface->RestoreState();
}

void DrawSmithChart(CDrawContext& dc, const PlotCurve& curve, const PlotViewInfo& view, bool drawingForOutput) {
    if (!dc.surface) return;
    dc.surface->SaveState();
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    const double R = curve.PolarRadius;
    const DeviceXY centre = curve.PolarCenter;
    bool first = true;
    for (double r : kSmithResistances) {
        const DeviceRect box = ResistanceCircleRect(curve, r);
        if (first) {
            FillChartBackground(dc, curve, box, view, drawingForOutput);
        } else {
            dc.SelectBrushHandle(platform::BrushDesc::Null());
        }
        first = false;
        dc.surface->Ellipse(sm_Rect(box));
    }
    dc.surface->MoveTo(platform::Point{centre.x + sm_Trunc(R), centre.y});
    dc.surface->LineTo(platform::Point{centre.x - sm_Trunc(R), centre.y});
    const std::vector<std::string> arcLabels = SmithArcLabels(curve);
    size_t k = 0;
    for (double sign : {1.0, -1.0}) {
        for (double x : kSmithReactances) {
            const ReactanceArcGeometry arc = ReactanceArc(curve, sign * x);
            dc.surface->Arc(sm_Rect(arc.Box), platform::Point{arc.Start.x, arc.Start.y},
                            platform::Point{arc.End.x, arc.End.y});
            sm_Label(dc, arcLabels[k], sm_BoxBeside(dc, arcLabels[k], arc.Rim, centre));
            ++k;
        }
    }
    const std::vector<std::string> circleLabels = SmithCircleLabels(curve);
    const int h = dc.GetLineHeight();
    for (size_t i = 0; i < circleLabels.size(); ++i) {
        const DeviceRect box = ResistanceCircleRect(curve, kSmithResistances[i]);
        const int w = dc.GetTextWidth(circleLabels[i].c_str());
        sm_Label(dc, circleLabels[i], platform::Rect{box.left - w, centre.y + 1, box.left, centre.y + 1 + h});
    }
    dc.surface->RestoreState();
}

void DrawPolarGrid(CDrawContext& dc, const PlotCurve& curve, const PlotViewInfo& view, bool drawingForOutput) {
    if (!dc.surface) return;
    dc.surface->SaveState();
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    const double R = curve.PolarRadius;
    const int32_t cx = curve.PolarCenter.x, cy = curve.PolarCenter.y;
    const DeviceRect outer = ChartCircleRect(curve);
    FillChartBackground(dc, curve, outer, view, drawingForOutput);
    dc.surface->Ellipse(sm_Rect(outer));
    const int32_t e = sm_Trunc(R);
    dc.surface->MoveTo(platform::Point{cx + e, cy});
    dc.surface->LineTo(platform::Point{cx - e, cy});
    dc.SelectBrushHandle(platform::BrushDesc::Null());
    for (int k = 1; k <= 10; ++k) {
        const int32_t v = sm_Trunc(k * R * 0.1);
        dc.surface->Ellipse(platform::Rect{cx - v, cy - v, cx + v, cy + v});
    }
    for (int a = 0; a < 180; a += 30) {
        const double rad = a * sm_Pi / 180;
        const int32_t t = sm_Trunc(std::cos(rad) * R), h = sm_Trunc(std::sin(rad) * R);
        dc.surface->MoveTo(platform::Point{cx + t, cy + h});
        dc.surface->LineTo(platform::Point{cx - t, cy - h});
    }
    const std::vector<std::string> rings = PolarRingLabels(curve, dc.GetTextWidth("100"));
    const int lineHeight = dc.GetLineHeight();
    for (int k = 1; k <= 10; ++k) {
        const std::string& text = rings[static_cast<size_t>(k - 1)];
        if (text.empty()) continue;
        const int32_t left = cx - sm_Trunc(k * R * 0.1);
        const int w = dc.GetTextWidth(text.c_str());
        sm_Label(dc, text, platform::Rect{left - w, cy - lineHeight, left, cy});
    }
    for (int a = 0; a < 180; a += 30) {
        const double rad = a * sm_Pi / 180;
        const int32_t t = sm_Trunc(R * std::cos(rad)), h = sm_Trunc(R * std::sin(rad));
        // The end above-left of the centre reads 180 - a, the other (360 - a) mod 360.
        const DeviceXY ends[2] = {{cx - t, cy - h}, {cx + t, cy + h}};
        const int values[2] = {180 - a, (360 - a) % 360};
        for (int i = 0; i < 2; ++i) {
            const std::string text = std::to_string(values[i]);
            const DeviceXY p = ends[i];
            const int w = dc.GetTextWidth(text.c_str());
            const int left = p.x < cx ? p.x - w : p.x;
            const int top = p.y < cy ? p.y - lineHeight : p.y;
            sm_Label(dc, text, platform::Rect{left, top, left + w, top + lineHeight});
        }
    }
    dc.surface->RestoreState();
}

void PrepareComplexPlanes(CANDoc& doc, bool runFinished) {
    for (int i = 0; i < doc.CurveCount(); ++i) {
        PlotCurve& c = doc.Curves[static_cast<size_t>(i)];
        if (c.PlotType == kPlotPolar) c.PolarMax = ComputePolarMax(doc, i, runFinished);
        if (c.PlotType == kPlotSmith) c.PolarMax = 1.0;
    }
}

void DrawComplexPlaneGrids(CDrawContext& dc, const CANDoc& doc, const PlotViewInfo& view, bool drawingForOutput) {
    if (!dc.surface) return;
    dc.surface->SaveState();
    const int grid = view.GridColor == view.BackgroundColor ? view.GridColor ^ 15 : view.GridColor;
    dc.SelectPenHandle(platform::PenDesc::Solid(dc.GetColorValue(grid), 0));
    dc.SetTextColorIndex(view.TextColor);
    for (int i = 0; i < std::min(doc.PlottedCount, doc.CurveCount()); ++i) {
        const PlotCurve& c = doc.Curves[static_cast<size_t>(i)];
        if (c.IndexInPlot != 0 || c.PlotNumber == 0 || !(c.PolarRadius > 0)) continue;
        if (c.PlotType == kPlotSmith) DrawSmithChart(dc, c, view, drawingForOutput);
        if (c.PlotType == kPlotPolar) DrawPolarGrid(dc, c, view, drawingForOutput);
    }
    dc.surface->RestoreState();
}
