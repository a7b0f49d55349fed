// Timing of library indexing: the index of a text library grows with the
// library, so its generation time should too (linear in the .MODEL lines).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/paths.h"
#include "expr/messages.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

void StartModels() {
    static const bool started = [] {
        RegisterExprMessages();
        BuildSymbolIndexes();
        RegisterModelMessages();
        InitModelParamTables();
        return true;
    }();
    (void)started;
}

// A library of n models (diodes, bipolar and MOS models with binning ranges)
// with a subcircuit every hundred lines, in a fresh folder.
std::string WriteLibrary(int n) {
    char folder[] = "/tmp/tw_libindex_bench_XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    std::string path = std::string(folder) + "/BIG.LIB";
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) std::abort();
    for (int i = 0; i < n; ++i) {
        switch (i % 3) {
        case 0: std::fprintf(out, ".MODEL D%d D (IS=%dn N=1.5 RS=0.5\n+ CJO=2p TT=5n)\n", i, i % 97 + 1); break;
        case 1: std::fprintf(out, ".MODEL Q%d NPN (IS=12f BF=%d VAF=90)\n", i, i % 300 + 50); break;
        default:
            std::fprintf(out, ".MODEL M%d.1 NMOS (LEVEL=8 LMIN=1u LMAX=2u WMIN=1u WMAX=10u TOX=%de-9)\n", i, i % 9 + 1);
        }
        if (i % 100 == 0) std::fprintf(out, ".SUBCKT X%d a b\nR1 a b 1k\n.ENDS\n", i);
    }
    std::fclose(out);
    return path;
}

void BM_GenerateLibraryIndex(benchmark::State& state) {
    StartModels();
    const std::string path = WriteLibrary(static_cast<int>(state.range(0)));
    SetPathSetting(kPathLibrary, path.substr(0, path.rfind('/')).c_str());
    CircuitModels* models = CreateCircuitModels(nullptr);
    for (auto _ : state) {
        if (GenerateLibraryIndex(models, path.c_str()) != 0) state.SkipWithError("generation failed");
    }
    DestroyCircuitModels(models);
    state.SetComplexityN(state.range(0));
    std::remove(LibraryIndexPath(path.c_str()).c_str());
    std::remove(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
}
BENCHMARK(BM_GenerateLibraryIndex)->RangeMultiplier(2)->Range(5000, 40000)->Complexity(benchmark::oN);

}  // namespace
