// Drawing curves of one million stored points each into a 1000 x 600 image:
// the first drawing walks every point and builds the per-run cache, the
// redraw draws from the cache. A smooth sine and a noisy signal (whose points
// do not merge into longer segments) are measured apart.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/app.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "plots/curvedraw.h"
#include "plots/layout.h"
#include "shell/colortable.h"

namespace {

constexpr int kPoints = 1000000;
constexpr DeviceRect kPlot{60, 30, 980, 570};

void StartDrawing() {
    static std::unique_ptr<platform::Application> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        auto made = std::make_unique<platform::Application>();
        CreateProgramPalette();
        InitColorTable();
        return made;
    }();
}

// One curve of kPoints points over X 0..1 and Y -1..1.
std::unique_ptr<CAPDoc> MakeDocument(bool noisy) {
    auto doc = std::make_unique<CAPDoc>(kDocAnalysisPlot, "");
    PlotCurve& c = doc->Curves.emplace_back();
    c.UseFlags = kCurveDrawn;
    c.PlotNumber = 1;
    c.PlotRect = kPlot;
    c.Style.lineColor = 12;
    c.RangeLow[kAxisX] = 0, c.RangeHigh[kAxisX] = 1;
    c.RangeLow[kAxisY] = -1, c.RangeHigh[kAxisY] = 1;
    SetAxisTransform(doc->Curves, 0, kAxisX, kPlot.right - kPlot.left, kPlot.right, 16);
    SetAxisTransform(doc->Curves, 0, kAxisY, kPlot.bottom - kPlot.top, kPlot.top, 16);
    doc->PlottedCount = 1;
    doc->Store.Prepare(doc->Curves, doc->Runs, StoreLayout{});
    doc->Store.Begin();
    doc->StartRun(RunRecord{});
    unsigned seed = 12345;
    for (int i = 0; i < kPoints; ++i) {
        const double t = i / double(kPoints - 1);
        double y = 0.8 * std::sin(2 * M_PI * 5 * t);
        if (noisy) {
            seed = seed * 1103515245u + 12345u;
            y += ((seed >> 16) % 1000) / 5000.0 - 0.1;
        }
        PlotCurve& curve = doc->Curves[0];
        doc->Store.NextPointIndex(curve, doc->Runs);
        doc->Store.SetValue(curve.DataColumn[kSlotX], curve.PointIndex, t);
        doc->Store.SetValue(curve.DataColumn[kSlotY], curve.PointIndex, y);
    }
    return doc;
}

// fromCache: the redraw of an unchanged plot; without run tables nothing is
// cached, as while a run goes on.
void Draw(benchmark::State& state, bool noisy, bool fromCache, bool uncached = false) {
    StartDrawing();
    std::unique_ptr<CAPDoc> doc = MakeDocument(noisy);
    platform::Image image(1000, 600);
    std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    CurveDrawView view;
    if (uncached) doc->Curves[0].RunTables.clear();
    PlotDataPoints(dc, *doc, view, -1, 0, 0, 0, 0, false);
    for (auto _ : state) {
        if (!fromCache) doc->Curves[0].FreeRunTables();
        PlotDataPoints(dc, *doc, view, -1, 0, 0, 0, 0, false);
    }
    if (!uncached) state.counters["cached_points"] = static_cast<double>(doc->Curves[0].RunTables[0].Polyline.size());
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void SineFirstDrawing(benchmark::State& state) { Draw(state, false, false); }
void SineRedraw(benchmark::State& state) { Draw(state, false, true); }
void NoisyFirstDrawing(benchmark::State& state) { Draw(state, true, false); }
void NoisyRedraw(benchmark::State& state) { Draw(state, true, true); }
void SineUncached(benchmark::State& state) { Draw(state, false, false, true); }
void NoisyUncached(benchmark::State& state) { Draw(state, true, false, true); }

BENCHMARK(SineFirstDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK(SineRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(NoisyFirstDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK(NoisyRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(SineUncached)->Unit(benchmark::kMillisecond);
BENCHMARK(NoisyUncached)->Unit(benchmark::kMillisecond);

}  // namespace
