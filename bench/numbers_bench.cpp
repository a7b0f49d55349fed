// Timing of the number reader and writer and of line splitting over a large
// netlist-like text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/stringarray.h"

namespace {

const char* const kBenchValues[] = {"10K", "4K7", "2R2", "1MEG", "100n", "3.3", "1e-9", "22u", "0.5m", "1.5G"};

// About 50 000 lines of resistors, capacitors, sources and model cards.
const std::vector<std::string>& BenchNetlist() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        char line[200];
        for (int i = 0; i < 50000; ++i) {
            const char* value = kBenchValues[i % 10];
            switch (i % 4) {
            case 0:
                std::snprintf(line, sizeof line, "R%d N%03d N%03d %s TC=0.001,1u", i, i % 997, (i + 1) % 997, value);
                break;
            case 1: std::snprintf(line, sizeof line, "C%d N%03d 0 %s IC=1.5V", i, i % 997, value); break;
            case 2:
                std::snprintf(line, sizeof line, "V%d N%03d 0 PULSE(0 5 %s 1n 1n 10u 20u)", i, i % 997, value);
                break;
            default:
                std::snprintf(line, sizeof line, ".MODEL Q%d NPN (BF=%d IS=1e-14 VAF=%s)", i, 100 + i % 50, value);
                break;
            }
            out.emplace_back(line);
        }
        return out;
    }();
    return lines;
}

void BM_ParseNumber(benchmark::State& state) {
    double sum = 0;
    for (auto _ : state) {
        for (const char* text : kBenchValues) {
            int error = 0;
            sum += ParseNumber(text, &error);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_ParseNumber);

void BM_FormatNumber(benchmark::State& state) {
    const double values[] = {4700, 1e6, 0.5, 2.2e-9, -3.3, 1.5e9, 0, 123456.789, 1e-16, 47e3};
    char buffer[50];
    for (auto _ : state) {
        for (double v : values) {
            FormatNumber(buffer, sizeof buffer, v, 3, 0, 0);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_FormatNumber);

void BM_SplitNetlistAndParseValues(benchmark::State& state) {
    const auto& lines = BenchNetlist();
    StringArray array;
    size_t bytes = 0;
    for (const std::string& line : lines) bytes += line.size() + 2;
    for (auto _ : state) {
        double sum = 0;
        for (const std::string& line : lines) {
            if (SplitLineToArray(array, line.c_str(), false) != 0) state.SkipWithError("out of memory");
            int error = 0;
            sum += ParseNumber(array.Token(3), &error);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_SplitNetlistAndParseValues)->Unit(benchmark::kMillisecond);

}  // namespace
