// The cost of a function source's partial derivatives per load: evaluating the
// symbolic derivative formulas against perturbing the formula itself (steps of
// 1e-6 up to 1e-2, as the load does), for a diode-like formula in two unknowns.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/memory.h"
#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/derivative.h"
#include "expr/evaluate.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/symbols.h"

namespace {

constexpr const char* kDbFormula = "1E-14*(EXP((X-Y)/0.02585)-1)+X*Y*1m+SIN(Y)*TANH(X)";

struct DbFormula {
    CompiledExpression value;
    CompiledExpression slopes[2];
    char* names[2] = {};
    int32_t masks[2] = {-1, -1};
    double slots[2] = {0.62, 0.03};
    bool ok = false;

    DbFormula() {
        RegisterExprMessages();
        BuildSymbolIndexes();
        SetAnalysisKind(0);
        ExprCompiler ctx;
        ctx.Init(kDbFormula, &value, kMaskTransient, kSymbolMaskAnalog);
        ctx.quiet = 1;
        ctx.callerVarCount = 2;
        ctx.callerVarNames = names;
        ctx.callerVarMasks = masks;
        ctx.callerVarSlots = slots;
        ok = CompileExpression(&ctx) == 0;
        for (int i = 0; i < 2 && ok; ++i)
            ok =
                DifferentiateCompiled(&value, &slopes[i], reinterpret_cast<uintptr_t>(&slots[i]), value.dialect) == 0 &&
                slopes[i].TokenCount() > 0;
    }
    ~DbFormula() {
        for (char*& name : names) FreeString(&name);
    }
    DbFormula(const DbFormula&) = delete;
    DbFormula& operator=(const DbFormula&) = delete;

    double Evaluate(CompiledExpression* expr) {
        ComplexNumber v{0.0, 0.0};
        EvaluateExpression(expr, &v);
        return v.re;
    }
};

void BM_AlgebraicDerivatives(benchmark::State& state) {
    DbFormula f;
    if (!f.ok) {
        state.SkipWithError("formula did not compile");
        return;
    }
    for (auto _ : state) {
        double sum = f.Evaluate(&f.value);
        for (CompiledExpression& slope : f.slopes) sum += f.Evaluate(&slope);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_AlgebraicDerivatives);

void BM_NumericDerivatives(benchmark::State& state) {
    DbFormula f;
    if (!f.ok) {
        state.SkipWithError("formula did not compile");
        return;
    }
    for (auto _ : state) {
        const double v0 = f.Evaluate(&f.value);
        double sum = v0;
        for (double& x : f.slots) {
            const double saved = x;
            double h = 1e-7, slope = 0.0;
            for (int n = 1; n <= 5; ++n) {
                h *= 10.0;
                const double delta = std::fabs(saved) < 1e-12 ? h : h * saved;
                x = saved + delta;
                const double change = f.Evaluate(&f.value) - v0;
                slope = change / delta;
                if (std::fabs(change / std::max({std::fabs(v0), 1e-50})) >= 1e-14) break;
            }
            x = saved;
            sum += slope;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_NumericDerivatives);

}  // namespace
