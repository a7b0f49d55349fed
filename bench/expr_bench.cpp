// Evaluations per second of typical compiled expressions, as the simulator
// evaluates them at every Newton iteration: a polynomial in two node voltages,
// a table lookup and an if/then chain, each over a changing node voltage.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/result.h"
#include "expr/compiled.h"
#include "expr/evaluate.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"

namespace {

double eb_solution[8];

int EbFindNode(const char* name, int, int kind) {
    if (kind != 0) return -1;
    char* end = nullptr;
    long n = std::strtol(name, &end, 10);
    return (end && *end == 0 && n >= 0 && n < 8) ? static_cast<int>(n) : -1;
}

int EbNodeCount(int) { return 7; }

// Analog nodes 0..7 named by their numbers.
class EbCircuit final : public CircuitWithoutDevices {
public:
    int FindNodeNumber(const char* name, int scope, int kind) override { return EbFindNode(name, scope, kind); }
    int NodeCount(int kind) override { return EbNodeCount(kind); }
};
EbCircuit eb_circuit;

// Compiles `text` as a device expression of a transient run.
bool EbCompile(CompiledExpression* target, const char* text) {
    RegisterExprMessages();
    BuildSymbolIndexes();
    InstallCompileCircuit(&eb_circuit);
    SetAnalysisKind(0);
    gSolver.RealSolution = eb_solution;
    gSolver.realCount = 8;
    gSolver.SolverIterating = 1;
    ExprCompiler ctx;
    ctx.Init(text, target, 1, 0x800);
    ctx.quiet = 1;
    return CompileExpression(&ctx) == 0;
}

void EbEvaluate(benchmark::State& state, const char* text) {
    CompiledExpression expr;
    if (!EbCompile(&expr, text)) {
        state.SkipWithError("the expression does not compile");
        return;
    }
    ResetFloatingPointState();
    ComplexNumber value = {0.0, 0.0};
    double sum = 0.0;
    int i = 0;
    for (auto _ : state) {
        // a new Newton iterate: the node voltages move
        eb_solution[1] = 0.25 + 0.5 * (i & 7);
        eb_solution[2] = 1.0 - 0.125 * (i & 3);
        ++i;
        if (EvaluateExpression(&expr, &value, nullptr) != 0) {
            state.SkipWithError("evaluation failed");
            break;
        }
        sum += value.re;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

void BM_Polynomial(benchmark::State& state) {
    EbEvaluate(state, "3*V(1)*V(1) + 2*V(1)*V(2) - 0.5*V(2)*V(2)*V(2) + 1.5*V(2) - 4");
}
BENCHMARK(BM_Polynomial);

void BM_TableLookup(benchmark::State& state) {
    EbEvaluate(state, "TABLE(V(1), 0,0, 0.5,1, 1,1.8, 1.5,2.4, 2,2.8, 2.5,3.1, 3,3.3, 4,3.5)");
}
BENCHMARK(BM_TableLookup);

void BM_IfThenChain(benchmark::State& state) {
    EbEvaluate(state, "IF(V(1) < 1, 0, IF(V(1) < 2, V(1) - 1, IF(V(1) < 3, 2*V(1) - 3, 3)))");
}
BENCHMARK(BM_IfThenChain);

// The two ends of the scale: a lone operand (the fast path) and one operation.
void BM_SingleNode(benchmark::State& state) { EbEvaluate(state, "V(1)"); }
BENCHMARK(BM_SingleNode);

void BM_OneOperation(benchmark::State& state) { EbEvaluate(state, "V(1)+1"); }
BENCHMARK(BM_OneOperation);

}  // namespace
