// The paged data-point store: storing and reading back 10 million points of
// four curves (time in the shared column, one Y column each), with every page
// in memory and with every page in the temporary file. The resident memory
// counters show that the file-backed store holds one page, not the data.
//
// Run the file case alone to see its peak (the peak of a process only grows):
//   bench_plotstore_bench --benchmark_filter=ThroughFile
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "plots/reduce.h"
#include "plots/store.h"

namespace {

constexpr int kPoints = 10000000;
constexpr int kCurves = 4;

// Resident set now and at its peak (VmRSS, VmHWM), in megabytes.
void ResidentMegabytes(double* now, double* peak) {
    *now = *peak = 0;
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        long kb = 0;
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) *now = kb / 1024.0;
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) *peak = kb / 1024.0;
    }
    std::fclose(status);
}

void StoreAndReadBack(benchmark::State& state, int memoryPages) {
    double rss = 0, peak = 0;
    double checksum = 0;
    for (auto _ : state) {
        DataPointStore store("graph8.tmp");
        store.SetMemoryPageLimit(memoryPages);
        PlotCurveArray curves(kCurves);
        for (PlotCurve& curve : curves) curve.SingleVar[kAxisX] = 'T';
        RunLog runs;
        StoreLayout layout;
        layout.ShareTimeColumn = true;
        store.Prepare(curves, runs, layout);
        store.Begin();
        store.StartRun(curves, runs, RunRecord{});
        for (int i = 0; i < kPoints; ++i) {
            const double t = i * 1e-9;
            for (int c = 0; c < kCurves; ++c) {
                PlotCurve& curve = curves[static_cast<size_t>(c)];
                if (!store.NextPointIndex(curve, runs)) state.SkipWithError("the store failed");
                store.SetValue(curve.DataColumn[kSlotX], curve.PointIndex, t);
                store.SetValue(curve.DataColumn[kSlotY], curve.PointIndex, c + t);
            }
        }
        ResidentMegabytes(&rss, &peak);
        for (const PlotCurve& curve : curves) {
            for (int i = 0; i < kPoints; ++i) checksum += store.GetValue(curve.DataColumn[kSlotY], i);
        }
        benchmark::DoNotOptimize(checksum);
    }
    state.counters["points_per_s"] =
        benchmark::Counter(static_cast<double>(kPoints) * kCurves * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["rss_MB_full"] = rss;
    state.counters["peak_rss_MB"] = peak;
}

// Keeping every 10th of the 10 million points of the four curves, all pages in the file.
void BM_ReduceThroughFile(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        DataPointStore store("graph8.tmp");
        store.SetMemoryPageLimit(0);
        PlotCurveArray curves(kCurves);
        for (PlotCurve& curve : curves) curve.SingleVar[kAxisX] = 'T';
        RunLog runs;
        StoreLayout layout;
        layout.ShareTimeColumn = true;
        store.Prepare(curves, runs, layout);
        store.Begin();
        store.StartRun(curves, runs, RunRecord{});
        for (int i = 0; i < kPoints; ++i) {
            for (PlotCurve& curve : curves) {
                store.NextPointIndex(curve, runs);
                store.SetValue(curve.DataColumn[kSlotX], curve.PointIndex, i);
                store.SetValue(curve.DataColumn[kSlotY], curve.PointIndex, i);
            }
        }
        state.ResumeTiming();
        ReduceDataPoints(curves, store, runs, 10);
        benchmark::DoNotOptimize(curves[0].PointIndex);
    }
    state.counters["points_per_s"] =
        benchmark::Counter(static_cast<double>(kPoints) * kCurves * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_StoreThroughFile(benchmark::State& state) { StoreAndReadBack(state, 0); }
void BM_StoreInMemory(benchmark::State& state) { StoreAndReadBack(state, -1); }

// The file case first: the process's peak is still its own.
BENCHMARK(BM_StoreThroughFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_StoreInMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReduceThroughFile)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
