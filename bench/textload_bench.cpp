// Opening a 50 MB text file in the editor's buffer (read, trailer split, load
// with line-end normalisation) and jumping to its last line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "text/textbuffer.h"
#include "text/trailer.h"

namespace {

const std::string& TlBenchFile() {
    static const std::string path = [] {
        std::string p = "/tmp/tw_textload_bench_" + std::to_string(getpid()) + ".ckt";
        std::ofstream out(p, std::ios::binary);
        char line[96];
        long written = 0;
        for (int i = 0; written < 50L * 1024 * 1024; ++i) {
            const int n =
                std::snprintf(line, sizeof line, "R%d N%05d N%05d 10K ; load %d\r\n", i, i % 99991, (i + 1) % 99991, i);
            out.write(line, n);
            written += n;
        }
        out << ";$SpiceType=PSPICE\r\n";
        return p;
    }();
    return path;
}

long TlPeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void BM_OpenAndJumpToLastLine(benchmark::State& state) {
    const std::string& path = TlBenchFile();
    const long before = TlPeakRssKb();
    for (auto _ : state) {
        // Read as the text document reads: one block of the file's size.
        std::string text;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fseek(f, 0, SEEK_END);
            const long size = std::ftell(f);
            text.reserve(static_cast<size_t>(size) + 3);
            text.resize(static_cast<size_t>(size));
            std::rewind(f);
            if (std::fread(text.data(), 1, text.size(), f) != text.size()) state.SkipWithError("short read");
            std::fclose(f);
        }
        size_t cut = 0;
        SplitTextTrailer(text, &cut);
        TextBuffer buffer;
        text.resize(cut);
        buffer.LoadText(std::move(text));
        const int64_t last = buffer.LineIndex(buffer.GetLineCount() - 1);
        buffer.SetSel(last, last);
        benchmark::DoNotOptimize(last);
        state.counters["lines"] = static_cast<double>(buffer.GetLineCount());
        state.counters["MB"] = static_cast<double>(buffer.Length()) / (1024.0 * 1024.0);
    }
    state.counters["peakRssGrowthMB"] = static_cast<double>(TlPeakRssKb() - before) / 1024.0;
    std::remove(path.c_str());
}
BENCHMARK(BM_OpenAndJumpToLastLine)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
