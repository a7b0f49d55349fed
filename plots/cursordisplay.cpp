#include "plots/cursordisplay.h"

#include <algorithm>
#include <cmath>

#include "expr/complex.h"
#include "plots/apdoc.h"
#include "plots/smith.h"
#include "shell/drawcontext.h"

namespace {

constexpr double cd_Pi = 3.14159265358979323846;

bool cd_Valid(const CANDoc& doc, int curve) { return curve >= 0 && curve < doc.CurveCount(); }

const PlotCurve& cd_Curve(const CANDoc& doc, int curve) { return doc.Curves[static_cast<size_t>(curve)]; }

bool cd_SameGroup(const PlotCurve& a, const PlotCurve& b) { return a.PlotNumber != 0 && a.PlotNumber == b.PlotNumber; }

platform::OverlayMark cd_Mark(platform::OverlayMark::Shape shape, std::vector<platform::Point> points, int cursor) {
    platform::OverlayMark m;
    m.shape = shape;
    m.points = std::move(points);
    m.pen.style = cursor == 0 ? platform::PenStyle::Dot : platform::PenStyle::Dash;
    m.invert = true;
    return m;
}

// The part inside the chart of the constant-reactance circle x, as a polyline
// from the rim to the right end of the real axis.
std::vector<platform::Point> cd_ReactancePolyline(const PlotCurve& c, double x) {
    const double R = c.PolarRadius;
    const double b = R / std::fabs(x);
    const double ox = c.PolarCenter.x + R;
    const double oy = c.PolarCenter.y + (x >= 0 ? -b : b);
    constexpr int kSteps = 180;
    std::vector<bool> inside(kSteps);
    std::vector<platform::Point> points(kSteps);
    for (int k = 0; k < kSteps; ++k) {
        const double t = 2 * cd_Pi * k / kSteps;
        const double px = ox + b * std::cos(t), py = oy + b * std::sin(t);
        points[static_cast<size_t>(k)] =
            platform::Point{static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py))};
        inside[static_cast<size_t>(k)] = std::hypot(px - c.PolarCenter.x, py - c.PolarCenter.y) <= R + 0.5;
    }
    // The inside samples form one run round the circle; start after an outside one.
    int start = 0;
    while (start < kSteps && inside[static_cast<size_t>(start)]) ++start;
    std::vector<platform::Point> arc;
    if (start == kSteps) return arc;
    for (int k = 1; k <= kSteps; ++k) {
        const size_t i = static_cast<size_t>((start + k) % kSteps);
        if (inside[i]) arc.push_back(points[i]);
    }
    return arc;
}

// The first line of a cursor: a vertical line, or the circle through the point.
void cd_FirstLine(const PlotCurve& c, DeviceXY p, int cursor, std::vector<platform::OverlayMark>& marks) {
    const DeviceRect& r = c.PlotRect;
    if (p.x < r.left || p.x > r.right) return;
    using Shape = platform::OverlayMark::Shape;
    if (c.PlotType == kPlotRectangular) {
        marks.push_back(cd_Mark(Shape::Line, {{p.x, r.top}, {p.x, r.bottom}}, cursor));
    } else if (c.PlotType == kPlotPolar) {
        const double radius = std::hypot(p.x - c.PolarCenter.x, p.y - c.PolarCenter.y);
        if (radius > c.PolarRadius) return;
        const int e = static_cast<int>(radius);
        marks.push_back(
            cd_Mark(Shape::Ellipse,
                    {{c.PolarCenter.x - e, c.PolarCenter.y - e}, {c.PolarCenter.x + e, c.PolarCenter.y + e}}, cursor));
    } else {
        // The cursor's value read as a reflection coefficient: its impedance's resistance circle.
        ComplexNumber z{0, 0};
        DivideComplex(z, ComplexNumber{1 + c.CursorX[cursor], c.CursorY[cursor]},
                      ComplexNumber{1 - c.CursorX[cursor], -c.CursorY[cursor]});
        const DeviceRect box = ResistanceCircleRect(c, z.re);
        const int width = box.right - box.left;
        if (width <= 0 || width / 2.0 > c.PolarRadius) return;
        marks.push_back(cd_Mark(Shape::Ellipse, {{box.left, box.top}, {box.right, box.bottom}}, cursor));
    }
}

void cd_SecondLine(const PlotCurve& c, DeviceXY p, int cursor, std::vector<platform::OverlayMark>& marks) {
    const DeviceRect& r = c.PlotRect;
    if (p.y < r.top || p.y > r.bottom) return;
    using Shape = platform::OverlayMark::Shape;
    const int cx = c.PolarCenter.x, cy = c.PolarCenter.y;
    const int R = static_cast<int>(c.PolarRadius);
    if (c.PlotType == kPlotRectangular) {
        marks.push_back(cd_Mark(Shape::Line, {{r.left, p.y}, {r.right, p.y}}, cursor));
    } else if (c.PlotType == kPlotPolar) {
        double dx = p.x - cx, dy = p.y - cy;
        const double length = std::hypot(dx, dy);
        if (length == 0) {
            dx = 0;
            dy = -1;
        } else {
            dx /= length;
            dy /= length;
        }
        marks.push_back(cd_Mark(Shape::Line,
                                {{cx, cy},
                                 {cx + static_cast<int>(std::lround(dx * c.PolarRadius)),
                                  cy + static_cast<int>(std::lround(dy * c.PolarRadius))}},
                                cursor));
    } else if (p.y == cy) {
        marks.push_back(cd_Mark(Shape::Line, {{cx - R, p.y}, {cx + R, p.y}}, cursor));
    } else {
        ComplexNumber z{0, 0};
        DivideComplex(z, ComplexNumber{1 + c.CursorX[cursor], c.CursorY[cursor]},
                      ComplexNumber{1 - c.CursorX[cursor], -c.CursorY[cursor]});
        if (z.im == 0) return;
        std::vector<platform::Point> arc = cd_ReactancePolyline(c, z.im);
        if (arc.size() >= 2) marks.push_back(cd_Mark(Shape::Polyline, std::move(arc), cursor));
    }
}

}  // namespace

DeviceXY CursorDevicePoint(const CANDoc& doc, int curve, int cursor) {
    if (!cd_Valid(doc, curve) || cursor < 0 || cursor > 1) return DeviceXY{};
    const PlotCurve& c = cd_Curve(doc, curve);
    DeviceXY p;
    p.x = c.ToDeviceInt(kAxisX, c.CursorX[cursor]);
    const PlotCurve* yCurve = &c;
    if (cd_Valid(doc, doc.CurrentCurve) && cd_SameGroup(cd_Curve(doc, doc.CurrentCurve), c))
        yCurve = &cd_Curve(doc, doc.CurrentCurve);
    p.y = yCurve->ToDeviceInt(kAxisY, yCurve->CursorY[cursor]);
    return p;
}

std::vector<platform::OverlayMark> CursorMarks(const CAPDoc& doc, int curve, const CursorMarkOptions& options) {
    std::vector<platform::OverlayMark> marks;
    if (!cd_Valid(doc, curve)) return marks;
    int chosen = curve;
    const bool currentValid = cd_Valid(doc, doc.CurrentCurve);
    if (currentValid && cd_SameGroup(cd_Curve(doc, doc.CurrentCurve), cd_Curve(doc, curve))) chosen = doc.CurrentCurve;
    const PlotCurve& c = cd_Curve(doc, chosen);
    const bool isCurrent = currentValid && chosen == doc.CurrentCurve;
    for (int cursor = 0; cursor < 2; ++cursor) {
        const DeviceXY p = CursorDevicePoint(doc, chosen, cursor);
        cd_FirstLine(c, p, cursor, marks);
        if (options.HorizontalCursor && isCurrent) cd_SecondLine(c, p, cursor, marks);
        if (!isCurrent) continue;
        const int plotWidth = c.PlotRect.right - c.PlotRect.left;
        const int plotHeight = c.PlotRect.bottom - c.PlotRect.top;
        const int f = options.RasterDisplay ? 3 : std::min(plotWidth, plotHeight) / 120;
        const int margin = cursor == 0 ? f : f - 1;
        const DeviceRect& r = c.PlotRect;
        if (p.x < r.left - margin || p.x > r.right + margin || p.y < r.top - margin || p.y > r.bottom + margin)
            continue;
        // The left cursor's box one pixel larger; boxes cover one pixel more
        // on the left and top and two on the right and bottom.
        const int h = cursor == 0 ? f + 1 : f;
        marks.push_back(cd_Mark(platform::OverlayMark::Shape::Rectangle,
                                {{p.x - h - 1, p.y - h - 1}, {p.x + h + 2, p.y + h + 2}}, cursor));
    }
    return marks;
}

void DrawCursorMarks(CDrawContext& dc, const std::vector<platform::OverlayMark>& marks, platform::Color color) {
    if (!dc.surface) return;
    dc.surface->SaveState();
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    dc.SelectBrushHandle(platform::BrushDesc::Null());
    for (const platform::OverlayMark& m : marks) {
        platform::PenDesc pen = m.pen;
        pen.color = color;
        pen.width = 0;
        dc.SelectPenHandle(pen);
        const std::vector<platform::Point>& pts = m.points;
        using Shape = platform::OverlayMark::Shape;
        if (m.shape == Shape::Line && pts.size() == 2) {
            dc.surface->MoveTo(pts[0]);
            dc.surface->LineTo(pts[1]);
        } else if (m.shape == Shape::Polyline && !pts.empty()) {
            dc.surface->Polyline(pts.data(), static_cast<int>(pts.size()));
        } else if (m.shape == Shape::Ellipse && pts.size() == 2) {
            dc.surface->Ellipse(platform::Rect{pts[0].x, pts[0].y, pts[1].x, pts[1].y});
        } else if (pts.size() == 2) {
            dc.surface->Rectangle(platform::Rect{pts[0].x, pts[0].y, pts[1].x, pts[1].y});
        }
    }
    dc.surface->RestoreState();
}

std::string TrackerText(const PlotCurve& curve, int cursor, int kind) {
    std::string text;
    if (kind == 0 || kind == 2) text = curve.FormatAxisValue(kAxisX, curve.CursorX[cursor]);
    if (kind == 2) text += ",";
    if (kind == 1 || kind == 2) text += curve.FormatAxisValue(kAxisY, curve.CursorY[cursor]);
    if (text.size() > 100) text.resize(100);
    return text;
}

std::vector<platform::OverlayMark> TrackerMarks(const CANDoc& doc, const TrackerOptions& options,
                                                platform::DrawSurface& measure) {
    std::vector<platform::OverlayMark> marks;
    const int curve = doc.CurrentCurve;
    if (!cd_Valid(doc, curve) || curve >= doc.PlottedCount || (!options.Cursor && !options.Intercept)) return marks;
    const PlotCurve& c = cd_Curve(doc, curve);
    if (c.PlotNumber == 0 || !c.HasPoint()) return marks;
    std::vector<int> kinds;
    if (options.Intercept && c.PlotType == kPlotRectangular) kinds = {0, 1};
    if (options.Cursor) kinds.push_back(2);
    measure.SaveState();
    measure.SetFont(options.Look.Font);
    for (int cursor = 0; cursor < 2; ++cursor) {
        for (int kind : kinds) {
            const platform::Size extent = measure.GetTextExtent(TrackerText(c, cursor, kind));
            const TrackerBox box = TrackerBoxOf(doc, curve, cursor, kind, extent.cx, extent.cy);
            platform::OverlayMark m;
            m.shape = platform::OverlayMark::Shape::TextBox;
            m.points = {{box.Box.left, box.Box.top}, {box.Box.right, box.Box.bottom}};
            m.invert = false;
            m.pen = platform::PenDesc::Solid(options.Look.Ink);
            m.text = box.Text;
            m.font = options.Look.Font;
            m.fill = options.Look.Fill;
            marks.push_back(std::move(m));
        }
    }
    measure.RestoreState();
    return marks;
}

void DrawTrackerMarks(CDrawContext& dc, const std::vector<platform::OverlayMark>& marks) {
    if (!dc.surface) return;
    platform::DrawSurface& s = *dc.surface;
    s.SaveState();
    for (const platform::OverlayMark& m : marks) {
        if (m.shape != platform::OverlayMark::Shape::TextBox || m.points.size() != 2) continue;
        const platform::Rect r{m.points[0].x, m.points[0].y, m.points[1].x, m.points[1].y};
        s.FrameRect(r, platform::BrushDesc::Solid(m.pen.color));
        platform::Rect inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        if (inside.right > inside.left && inside.bottom > inside.top) s.FillRect(inside, m.fill);
        s.SetFont(m.font);
        s.SetTextColor(m.pen.color);
        s.SetBackgroundMode(platform::BackgroundMode::Transparent);
        s.DrawTextBox(m.text, inside,
                      platform::TextBox::Center | platform::TextBox::VCenter | platform::TextBox::SingleLine |
                          platform::TextBox::NoClip);
    }
    s.RestoreState();
}

TrackerBox TrackerBoxOf(const CANDoc& doc, int curve, int cursor, int kind, int textWidth, int textHeight) {
    TrackerBox box;
    if (!cd_Valid(doc, curve) || cursor < 0 || cursor > 1) return box;
    const PlotCurve& c = cd_Curve(doc, curve);
    box.Text = TrackerText(c, cursor, kind);
    const DeviceXY p = CursorDevicePoint(doc, curve, cursor);
    const DeviceRect& plot = c.PlotRect;
    DeviceXY anchor = kind == 0   ? DeviceXY{p.x + 1, plot.bottom - 1}
                      : kind == 1 ? DeviceXY{plot.left + 1, p.y + 1}
                                  : DeviceXY{p.x + 1, p.y + 1};
    DeviceRect r{anchor.x - 3, anchor.y - 1, anchor.x + textWidth + 3, anchor.y + textHeight + 1};
    const int height = r.bottom - r.top, width = r.right - r.left;
    r.top -= height;
    r.bottom -= height;
    if (kind == 2) {
        r.left -= width;
        r.right -= width;
    }
    // Back inside the plot: the right edge first, else the left; the bottom first, else the top.
    if (r.right > plot.right) {
        r.left -= r.right - plot.right;
        r.right = plot.right;
    } else if (r.left < plot.left) {
        r.right += plot.left - r.left;
        r.left = plot.left;
    }
    if (r.bottom > plot.bottom) {
        r.top -= r.bottom - plot.bottom;
        r.bottom = plot.bottom;
    } else if (r.top < plot.top) {
        r.bottom += plot.top - r.top;
        r.top = plot.top;
    }
    box.Box = r;
    return box;
}

std::vector<std::string> CursorHeadings(const PlotCurve& curve) {
    switch (curve.PlotType) {
    case kPlotPolar: return {"F Left", "Refl. Left", "Mag/Ang Left", "F Right", "Refl. Right", "Mag/Ang Right"};
    case kPlotSmith: return {"F Left", "Refl. Left", "Z Left", "F Right", "Refl. Right", "Z Right"};
    default: return {"Left", "Right", "Delta", "Slope"};
    }
}

int CursorColumnWidth(const PlotCurve& curve) {
    const int width = curve.PlotRect.right - curve.PlotRect.left;
    return curve.PlotType == kPlotRectangular ? width / 5 : width / 7;
}

void DrawCursorHeadings(CDrawContext& dc, const CANDoc& doc, int lineHeight, int columnWidth) {
    if (!dc.surface || columnWidth <= 0) return;
    dc.surface->SaveState();
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    for (int i = 0; i < std::min(doc.PlottedCount, doc.CurveCount()); ++i) {
        const PlotCurve& c = cd_Curve(doc, i);
        if (c.IndexInPlot != 0 || c.PlotNumber == 0) continue;
        const int y = c.LegendY - lineHeight;
        const std::vector<std::string> headings = CursorHeadings(c);
        for (size_t k = 0; k < headings.size(); ++k) {
            const int left = c.PlotRect.left + static_cast<int>(k + 1) * columnWidth + 1;
            platform::Rect r{left, y, left + columnWidth, y + lineHeight};
            dc.DrawTextAligned(headings[k], r,
                               platform::TextBox::SingleLine | platform::TextBox::Right | platform::TextBox::NoClip);
        }
    }
    dc.surface->RestoreState();
}

std::vector<DeviceRect> ReadoutRows(const CANDoc& doc, int curve, bool all, int lineHeight) {
    std::vector<DeviceRect> rows;
    if (!cd_Valid(doc, curve)) return rows;
    const PlotCurve& moved = cd_Curve(doc, curve);
    for (int i = 0; i < std::min(doc.PlottedCount, doc.CurveCount()); ++i) {
        const PlotCurve& c = cd_Curve(doc, i);
        if (c.PlotNumber == 0 || (!all && c.PlotNumber != moved.PlotNumber)) continue;
        rows.push_back(DeviceRect{c.CellRect.left, c.LegendY, c.CellRect.right, c.LegendY + lineHeight});
        if (c.IndexInPlot == 0)
            rows.push_back(DeviceRect{c.CellRect.left, c.XLabelY, c.CellRect.right, c.XLabelY + lineHeight});
    }
    return rows;
}
