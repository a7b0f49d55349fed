// Timing of the sparse matrix: ordering, reused-order factoring and solving of
// a 150 x 150 resistor grid (22,500 unknowns, five entries per row), of a
// 2,000-section RC ladder, and of a complex grid as an AC run factors it.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/sparse.h"

namespace {

struct Stamp {
    MatrixElement* element;
    double re, im;
};

// Requests every position of a grid of conductances g (with a small leak to
// ground at every node) and remembers the stamps in request order, the way
// device loads keep their element pointers.
std::vector<Stamp> BuildGrid(SparseMatrix& m, int side, double g, double gi) {
    std::vector<Stamp> stamps;
    auto node = [side](int x, int y) { return y * side + x + 1; };
    auto conductance = [&](int a, int b) {
        stamps.push_back({m.GetElement(a, a), g, gi});
        stamps.push_back({m.GetElement(b, b), g, gi});
        stamps.push_back({m.GetElement(a, b), -g, -gi});
        stamps.push_back({m.GetElement(b, a), -g, -gi});
    };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            stamps.push_back({m.GetElement(node(x, y), node(x, y)), 1e-3, 1e-3});
            if (x + 1 < side) conductance(node(x, y), node(x + 1, y));
            if (y + 1 < side) conductance(node(x, y), node(x, y + 1));
        }
    }
    return stamps;
}

// A voltage source (branch sections + 1) driving sections of series R and shunt
// C, the capacitor as its companion conductance of one time step.
std::vector<Stamp> BuildLadder(SparseMatrix& m, int sections) {
    std::vector<Stamp> stamps;
    const int branch = sections + 1;
    stamps.push_back({m.GetElement(1, branch), 1.0, 0.0});
    stamps.push_back({m.GetElement(branch, 1), 1.0, 0.0});
    for (int i = 1; i <= sections; ++i) {
        stamps.push_back({m.GetElement(i, i), 1e-9 / 1e-9, 0.0});  // C / h
        if (i < sections) {
            const double g = 1e-3;
            stamps.push_back({m.GetElement(i, i), g, 0.0});
            stamps.push_back({m.GetElement(i + 1, i + 1), g, 0.0});
            stamps.push_back({m.GetElement(i, i + 1), -g, 0.0});
            stamps.push_back({m.GetElement(i + 1, i), -g, 0.0});
        }
    }
    return stamps;
}

void Load(SparseMatrix& m, const std::vector<Stamp>& stamps) {
    m.ClearValues();
    for (const Stamp& s : stamps) {
        s.element->Real += s.re;
        s.element->Imag += s.im;
    }
}

template <typename Builder>
void OrderFactorSolve(benchmark::State& state, Builder build, bool complex) {
    int64_t fillins = 0;
    double megabytes = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<SparseMatrix> m;
        SparseMatrix::Create(m);
        const std::vector<Stamp> stamps = build(*m);
        Load(*m, stamps);
        std::vector<double> rhs(2 * (m->ExternalOrder + 1), 1.0), sol(rhs.size());
        state.ResumeTiming();
        m->PreorderTwins();
        const int code = complex ? m->FactorComplex() : m->FactorReal();
        if (code != 0) state.SkipWithError("factoring failed");
        m->Solve(rhs.data(), sol.data());
        benchmark::DoNotOptimize(sol.data());
        state.PauseTiming();
        fillins = m->FillinCount();
        megabytes = static_cast<double>(m->MemoryBytes()) / (1024.0 * 1024.0);
        m.reset();
        state.ResumeTiming();
    }
    state.counters["fillins"] = static_cast<double>(fillins);
    state.counters["MB"] = megabytes;
}

template <typename Builder>
void RefactorSolve(benchmark::State& state, Builder build, bool complex) {
    std::unique_ptr<SparseMatrix> m;
    SparseMatrix::Create(m);
    const std::vector<Stamp> stamps = build(*m);
    Load(*m, stamps);
    m->PreorderTwins();
    if ((complex ? m->FactorComplex() : m->FactorReal()) != 0) state.SkipWithError("ordering failed");
    std::vector<double> rhs(2 * (m->ExternalOrder + 1), 1.0), sol(rhs.size());
    for (auto _ : state) {
        Load(*m, stamps);
        const int code = complex ? m->FactorComplex() : m->FactorReal();
        if (code != 0) state.SkipWithError("factoring failed");
        m->Solve(rhs.data(), sol.data());
        benchmark::DoNotOptimize(sol.data());
    }
}

const auto kGrid = [](SparseMatrix& m) { return BuildGrid(m, 150, 1.0, 0.0); };
const auto kComplexGrid = [](SparseMatrix& m) { return BuildGrid(m, 150, 1.0, 0.3); };
const auto kLadder = [](SparseMatrix& m) { return BuildLadder(m, 2000); };

void BM_Grid150OrderFactorSolve(benchmark::State& s) { OrderFactorSolve(s, kGrid, false); }
void BM_Grid150RefactorSolve(benchmark::State& s) { RefactorSolve(s, kGrid, false); }
void BM_Ladder2000OrderFactorSolve(benchmark::State& s) { OrderFactorSolve(s, kLadder, false); }
void BM_Ladder2000RefactorSolve(benchmark::State& s) { RefactorSolve(s, kLadder, false); }
void BM_ComplexGrid150OrderFactorSolve(benchmark::State& s) { OrderFactorSolve(s, kComplexGrid, true); }
void BM_ComplexGrid150RefactorSolve(benchmark::State& s) { RefactorSolve(s, kComplexGrid, true); }

BENCHMARK(BM_Grid150OrderFactorSolve)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Grid150RefactorSolve)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ladder2000OrderFactorSolve)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ladder2000RefactorSolve)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComplexGrid150OrderFactorSolve)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ComplexGrid150RefactorSolve)->Unit(benchmark::kMillisecond);

}  // namespace
