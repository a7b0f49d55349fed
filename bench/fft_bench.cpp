// The radix-2 transform over a million points, forward then inverse.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "expr/fft.h"

static void BM_TransformFFT(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<double> re(static_cast<size_t>(n)), im(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) re[static_cast<size_t>(i)] = std::sin(0.001 * i) + 0.1 * std::cos(0.37 * i);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TransformFFT(n, re.data(), im.data(), kFftForward));
        benchmark::DoNotOptimize(TransformFFT(n, re.data(), im.data(), kFftInverse));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_TransformFFT)->Arg(1 << 20)->Arg(262144)->Unit(benchmark::kMillisecond);
