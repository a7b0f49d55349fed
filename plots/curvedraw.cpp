#include "plots/curvedraw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/result.h"
#include "platform/app.h"
#include "plots/g2ddoc.h"
#include "shell/preferences.h"

using platform::Point;
using platform::Rect;

namespace {

ComplexPlaneRuns*& cd_ComplexPlane() {
    static ComplexPlaneRuns* runs = nullptr;
    return runs;
}

constexpr char cd_kEscText[] = "Press Esc to stop plotting.";
// Curves of more points than this show their progress.
constexpr int cd_kProgressPoints = 100000;

bool cd_EscPressed() {
    platform::Application* app = platform::Application::Instance();
    return app && app->PollEscape();
}

bool cd_Equal(DeviceXY a, DeviceXY b) { return a.x == b.x && a.y == b.y; }

// Slope of a device step; a vertical step counts as a large slope by its sign.
double cd_Slope(DeviceXY from, DeviceXY to) {
    const double dx = double(to.x) - from.x, dy = double(to.y) - from.y;
    if (dx != 0) return dy / dx;
    if (dy < 0) return -2147483648.0;
    return dy == 0 ? 2147483647.0 : 2147483646.0;
}

// The cached polyline of a run: the ends beyond the plot's sides trimmed and
// every segment cut to the keep rectangle, so that no coordinate runs far
// outside and the jumps along its border stay outside the plot.
std::vector<DeviceXY> cd_TrimPolyline(const std::vector<DeviceXY>& in, const DeviceRect& plot, const DeviceRect& keep) {
    size_t begin = 0, end = in.size();
    while (end - begin >= 2 && in[end - 1].x > plot.right && in[end - 2].x > plot.right) --end;
    while (end - begin >= 2 && in[begin].x < plot.left && in[begin + 1].x < plot.left) ++begin;
    std::vector<DeviceXY> out;
    // A lone point keeps its place inside the keep area (where it is
    // invisible when it lay outside).
    auto kept = [&keep](DeviceXY p) {
        return DeviceXY{std::clamp(p.x, keep.left, keep.right), std::clamp(p.y, keep.top, keep.bottom)};
    };
    if (end - begin == 1) {
        out.push_back(kept(in[begin]));
        return out;
    }
    for (size_t i = begin; i + 1 < end; ++i) {
        DeviceXY a = in[i], b = in[i + 1];
        if (!ClipSegmentToRect(a, b, keep)) continue;
        if (out.empty() || !cd_Equal(out.back(), a)) out.push_back(a);
        out.push_back(b);
    }
    // A polyline wholly outside keeps one point so that the run counts as cached.
    if (out.empty() && end > begin) out.push_back(kept(in[begin]));
    return out;
}

// One drawing pass over the curves (PlotDataPoints).
class CurveDrawing {
public:
    CurveDrawing(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view)
        : painter_(dc, doc, view), dc_(dc), doc_(doc) {}

    int Draw(int plotNumber, int firstRun, int lastRun, int firstCurve, int lastCurve, bool skipCursorRuns);

private:
    bool Aborted() const { return doc_.Run.AbortRequested != 0; }
    void Abort() { doc_.Run.AbortRequested = 1; }
    bool StoredPoint(const PlotCurve& c, int q, DeviceXY& p);
    // collect: the line goes through a scratch polyline (merged, squeezed and
    // trimmed) before it is drawn; store: that polyline becomes the run's cache.
    void WalkRun(int curve, int run, bool collect, bool store);
    void DrawCachedRun(int curve, int run);
    void DrawPoints(const std::vector<DeviceXY>& points);
    void Progress(const PlotCurve& c, int q);
    void NotePointMarks(int curve, int run, DeviceXY p, bool building);

    CurvePainter painter_;
    CDrawContext& dc_;
    CAPDoc& doc_;
    bool statusShown_ = false;
    bool marks_ = false;
    int threshold_ = 0;
    DeviceRect keep_;
    // Scratch buffers of the cache being built.
    std::vector<DeviceXY> polyline_, marks_buffer_, tokens_;
    bool tokenBuffer_ = false;
};

bool CurveDrawing::StoredPoint(const PlotCurve& c, int q, DeviceXY& p) {
    const double v = doc_.GetValue(c.DataColumn[kSlotY], q);
    if (!c.AxisLinear[kAxisY] && v == 0) return false;
    p.x = c.ToDeviceInt(kAxisX, doc_.GetValue(c.DataColumn[kSlotX], q));
    p.y = c.StateOrDevice(kAxisY, v);
    return true;
}

void CurveDrawing::Progress(const PlotCurve& c, int q) {
    if (!statusShown_ || !(q > threshold_ || q == 0)) return;
    if (c.PointIndex > cd_kProgressPoints) {
        char text[300];
        const int percent = static_cast<int>((q + 1.0) / c.PointIndex * 100.0);
        std::snprintf(text, sizeof text,
                      "Plotting data points for graph %.100s %d%% complete. Press Esc to stop plotting.",
                      c.ExprText[kAxisY].c_str(), percent);
        StatusBar().SetStatusText(text);
    }
    threshold_ += c.PointIndex / 20;
}

void CurveDrawing::NotePointMarks(int curve, int run, DeviceXY p, bool building) {
    const PlotCurve& c = doc_.Curves[static_cast<size_t>(curve)];
    if (c.IsDigital) return;
    if (building) {
        if (marks_) AppendPointIfNew(marks_buffer_, p, keep_);
        if (tokenBuffer_) AppendPointIfNew(tokens_, p, keep_);
        return;
    }
    if (marks_) painter_.DrawDataPointMarker(curve, p.x, p.y, run);
    if (painter_.ViewOption(kViewTokens)) painter_.DrawToken(3, curve, p);
}

void CurveDrawing::WalkRun(int curve, int run, bool collect, bool store) {
    PlotCurve& c = doc_.Curves[static_cast<size_t>(curve)];
    const int first = c.RunFirst[static_cast<size_t>(run)], last = c.RunLast[static_cast<size_t>(run)];
    const bool merge = !c.IsDigital && c.Style.curveStyle != kCurvePopsicle;
    bool started = false;
    DeviceXY p0;
    int n = 0;
    for (int q = first; q <= last && !Aborted(); ++q, ++n) {
        if (n % 100 == 0 && !store && cd_EscPressed()) {
            Abort();
            break;
        }
        Progress(c, q);
        DeviceXY p1;
        if (!StoredPoint(c, q, p1)) continue;
        if (n < c.TrackFrom) continue;
        if (!started) {
            started = true;
            if (collect)
                polyline_.push_back(p1);
            else
                painter_.DrawCurveSegment(0, 0, p1.x, p1.y, curve, false, true, run);
            NotePointMarks(curve, run, p1, store);
            p0 = p1;
            continue;
        }
        NotePointMarks(curve, run, p1, store);
        if (cd_Equal(p1, p0)) continue;  // the point did not move: nothing to draw
        if (merge) {
            const double slope = cd_Slope(p0, p1);
            const bool backwards = p1.x < p0.x;
            int looked = 0;
            while (q < last) {
                if (++looked % 1000 == 0 && !store && cd_EscPressed()) {
                    Abort();
                    break;
                }
                DeviceXY p2;
                if (!StoredPoint(c, q + 1, p2)) {
                    // A point left out of a log axis neither bends nor ends the line.
                    ++q, ++n;
                    continue;
                }
                if (!cd_Equal(p2, p1)) {
                    if ((p2.x < p1.x) != backwards || cd_Slope(p1, p2) != slope) break;
                    p1 = p2;
                }
                ++q, ++n;
                NotePointMarks(curve, run, p2, store);
            }
        }
        if (collect)
            polyline_.push_back(p1);
        else
            painter_.DrawCurveSegment(p0.x, p0.y, p1.x, p1.y, curve, true, c.IsDigital != 0, run);
        p0 = p1;
    }
    if (!collect) return;
    SqueezePixelColumns(polyline_);
    std::vector<DeviceXY> trimmed = cd_TrimPolyline(polyline_, c.PlotRect, keep_);
    if (!store) {
        // Drawn as a cache would be, but not kept: the data still grows.
        polyline_.clear();
        if (!trimmed.empty()) DrawPoints(trimmed);
        return;
    }
    RunCacheEntry& entry = c.RunTables[static_cast<size_t>(run)];
    entry.Polyline = std::move(trimmed);
    entry.Marks.assign(marks_buffer_.begin(), marks_buffer_.end());
    entry.Tokens.assign(tokens_.begin(), tokens_.end());
    polyline_.clear();
    marks_buffer_.clear();
    tokens_.clear();
    if (!entry.Polyline.empty()) DrawCachedRun(curve, run);
}

void CurveDrawing::DrawPoints(const std::vector<DeviceXY>& points) {
    const int count = static_cast<int>(points.size());
    // A single point, and the end of a line, which a line leaves out.
    auto dot = [this](DeviceXY p) {
        if (p.x < INT32_MAX && p.y < INT32_MAX) painter_.Line(p.x, p.y, p.x + 1, p.y + 1);
    };
    if (count == 1 || (count == 2 && cd_Equal(points[0], points[1]))) {
        dot(points[0]);
        return;
    }
    for (int start = 0; start < count - 1; start += kPolylinePieceSize - 1) {
        const int size = std::min(kPolylinePieceSize, count - start);
        if (size == 2 && cd_Equal(points[static_cast<size_t>(start)], points[static_cast<size_t>(start + 1)]))
            dot(points[static_cast<size_t>(start)]);
        else
            painter_.Polyline(points.data() + start, size);
    }
    dot(points.back());
}

void CurveDrawing::DrawCachedRun(int curve, int run) {
    const PlotCurve& c = doc_.Curves[static_cast<size_t>(curve)];
    const RunCacheEntry& entry = c.RunTables[static_cast<size_t>(run)];
    DrawPoints(entry.Polyline);
    if (marks_ && !c.IsDigital)
        for (const DeviceXY& p : entry.Marks) painter_.DrawDataPointMarker(curve, p.x, p.y, run);
    if (painter_.ViewOption(kViewTokens))
        for (const DeviceXY& p : entry.Tokens) painter_.DrawToken(3, curve, p);
}

int CurveDrawing::Draw(int plotNumber, int firstRun, int lastRun, int firstCurve, int lastCurve, bool skipCursorRuns) {
    CG2DDoc* analysis = dynamic_cast<CG2DDoc*>(&doc_);
    if (analysis && (analysis->ProbeMode == 1 || analysis->ProbeMode == 3)) return 0;
    const CurveDrawView& view = painter_.view();
    platform::BackgroundMode mode = platform::BackgroundMode::Transparent;
    if (dc_.surface) mode = dc_.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    std::optional<platform::WaitCursor> wait;
    if (!view.RightDrag) wait.emplace();
    statusShown_ = StatusBar().IsShown();
    const std::string savedStatus = statusShown_ ? StatusBar().StatusText().substr(0, 100) : std::string();
    painter_.DrawToken(1, 0, DeviceXY{});
    cd_EscPressed();  // an Esc pressed before the drawing does not stop it
    if (BatchMode() == 0 && view.ViewKind != kDocCurvePlot) doc_.Run.AbortRequested = 0;

    int result = 0;
    const bool running = doc_.Run.Running && !doc_.Run.Paused;
    lastCurve = std::min(lastCurve, doc_.CurveCount() - 1);
    for (int ci = std::max(firstCurve, 0); ci <= lastCurve && !Aborted(); ++ci) {
        PlotCurve& c = doc_.Curves[static_cast<size_t>(ci)];
        if (c.Hidden == 1 || c.PointIndex == -1 || (plotNumber != -1 && plotNumber != c.PlotNumber)) continue;
        const Rect& redraw = doc_.RedrawRect;
        if (!redraw.IsEmpty() && (redraw.right <= c.PlotRect.left || redraw.left > c.PlotRect.right ||
                                  redraw.bottom <= c.PlotRect.top || redraw.top > c.PlotRect.bottom))
            continue;
        if (running) {
            doc_.PrepareNewPoint(ci);
            c.PrevDevicePoint = c.DevicePoint;
        }
        SetCurveClip(dc_, c.PlotRect, c.PlotType);
        if (statusShown_) StatusBar().SetStatusText(cd_kEscText);
        threshold_ = std::max(c.PointIndex / 100, 10000);
        marks_ = painter_.ViewOption(kViewDataPoints) || c.Style.curveStyle == kCurvePopsicle;
        const bool mayCache = (!doc_.Run.Running || doc_.Run.Paused) && c.Style.curveStyle != kCurvePopsicle;
        const int w = c.PlotRect.right - c.PlotRect.left, h = c.PlotRect.bottom - c.PlotRect.top;
        keep_ = DeviceRect{c.PlotRect.left - w, c.PlotRect.top - h, c.PlotRect.right + w, c.PlotRect.bottom + h};
        const int runs = std::min(static_cast<int>(c.RunFirst.size()), static_cast<int>(c.RunLast.size()));
        for (int r = std::max(firstRun, 0); r <= std::min(lastRun, runs - 1) && !Aborted(); ++r) {
            if (skipCursorRuns && ci == doc_.CurrentCurve && (r == c.CursorRun[0] || r == c.CursorRun[1])) continue;
            const bool hasTable = r < static_cast<int>(c.RunTables.size());
            const bool cached = hasTable && !c.RunTables[static_cast<size_t>(r)].Polyline.empty();
            bool building = hasTable && !cached && !c.IsDigital && mayCache && c.PlotType == kPlotRectangular;
            tokenBuffer_ = building && c.IndexInPlot != 0;
            if (building) {
                try {
                    const size_t size =
                        static_cast<size_t>(c.RunLast[static_cast<size_t>(r)] - c.RunFirst[static_cast<size_t>(r)] + 2);
                    polyline_.reserve(std::min<size_t>(size, 1 << 16));
                } catch (const std::bad_alloc&) {
                    building = false;  // drawn point by point instead
                }
            }
            painter_.SelectCurvePen(ci, r);
            if (c.PlotType == kPlotSmith || c.PlotType == kPlotPolar) {
                if (ComplexPlaneRuns* drawer = cd_ComplexPlane()) {
                    if (c.PlotType == kPlotSmith)
                        drawer->DrawSmithRun(painter_, ci, r);
                    else
                        drawer->DrawPolarRun(painter_, ci, r);
                } else {
                    result = kResultNotBuilt;
                }
            } else if (cached) {
                DrawCachedRun(ci, r);
            } else {
                const bool line = !c.IsDigital && c.Style.curveStyle != kCurvePopsicle;
                try {
                    WalkRun(ci, r, building || line, building);
                } catch (const std::bad_alloc&) {
                    // The scratch buffers ran out of memory: the run is drawn directly.
                    polyline_ = {};
                    marks_buffer_ = {};
                    tokens_ = {};
                    WalkRun(ci, r, false, false);
                }
            }
            painter_.ReleaseCurvePen();
        }
        dc_.ResetClip();
    }
    if (dc_.surface) dc_.surface->SetBackgroundMode(mode);
    if (statusShown_) StatusBar().SetStatusText(savedStatus.c_str());
    return result;
}

}  // namespace

ComplexPlaneRuns* InstallComplexPlaneRuns(ComplexPlaneRuns* runs) {
    ComplexPlaneRuns* before = cd_ComplexPlane();
    cd_ComplexPlane() = runs;
    return before;
}

int PlotDataPoints(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view, int plotNumber, int firstRun, int lastRun,
                   int firstCurve, int lastCurve, bool skipCursorRuns) {
    CurveDrawing drawing(dc, doc, view);
    return drawing.Draw(plotNumber, firstRun, lastRun, firstCurve, lastCurve, skipCursorRuns);
}

int PlotAllCurves(CDrawContext& dc, CAPDoc& doc, const CurveDrawView& view, int plotNumber) {
    const int runs = doc.Runs.Count, curves = doc.PlottedCount;
    const int current = doc.CurrentCurve;
    if (view.ViewKind != kViewKindAnalysis2D || !Prefs().selectCurveColor || runs <= 1 || current < 0 ||
        current >= doc.CurveCount())
        return PlotDataPoints(dc, doc, view, plotNumber, 0, runs - 1, 0, curves - 1, false);
    int result = PlotDataPoints(dc, doc, view, plotNumber, 0, runs - 1, 0, curves - 1, true);
    // Only the cursor branches themselves go on top; drawing every branch up
    // to them again would bury the first cursor's branch under the others.
    const int32_t* cursorRun = doc.Curves[static_cast<size_t>(current)].CursorRun;
    if (!doc.Run.AbortRequested) {
        const int r = PlotDataPoints(dc, doc, view, plotNumber, cursorRun[1], cursorRun[1], current, current, false);
        if (r) result = r;
    }
    if (!doc.Run.AbortRequested && cursorRun[0] != cursorRun[1]) {
        const int r = PlotDataPoints(dc, doc, view, plotNumber, cursorRun[0], cursorRun[0], current, current, false);
        if (r) result = r;
    }
    return result;
}

bool AppendPointIfNew(std::vector<DeviceXY>& buffer, DeviceXY point, const DeviceRect& rect) {
    if (!buffer.empty() && cd_Equal(buffer.back(), point)) return false;
    if (point.x < rect.left || point.x > rect.right || point.y < rect.top || point.y > rect.bottom) return false;
    buffer.push_back(point);
    return true;
}

void SqueezePixelColumns(std::vector<DeviceXY>& points) {
    size_t out = 0;
    for (size_t i = 0; i < points.size();) {
        size_t j = i + 1;
        size_t low = i, high = i;
        while (j < points.size() && points[j].x == points[i].x) {
            if (points[j].y < points[low].y) low = j;
            if (points[j].y > points[high].y) high = j;
            ++j;
        }
        const size_t picks[4] = {i, std::min(low, high), std::max(low, high), j - 1};
        const size_t columnStart = out;
        for (size_t k : picks) {
            if (out > columnStart && cd_Equal(points[out - 1], points[k])) continue;
            points[out++] = points[k];
        }
        i = j;
    }
    points.resize(out);
}
