// Expression parse, compile and evaluate: the first byte picks the analysis the
// text is compiled for, the rest is the expression; a text that compiles is
// evaluated once. No circuit is installed, so node and device names do not resolve
// (the compiler reports them as unknown) and the run state is the reset one.
#include <cstdint>
#include <string>

#include "core/report_port.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/evaluate.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"

namespace {

double ex_solution[16];

void ex_StartOnce() {
    static const bool started = [] {
        RegisterExprMessages();
        BuildSymbolIndexes();
        return true;
    }();
    (void)started;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    ex_StartOnce();
    static const int32_t kMasks[] = {kMaskTransient,  kMaskAc,        kMaskDc,        kMaskTransient | kMaskWholeRun,
                                     kMaskOutsideRun, kMaskParameter, kMaskPlotCurve, kMaskTransient | kMaskNoState};
    const int32_t mask = kMasks[data[0] & 7];
    const std::string text = fuzz::AsText(data + 1, size - 1);

    ResetRunState();
    SetAnalysisKind(data[0] >> 3 & 3);
    gSolver.RealSolution = ex_solution;
    gSolver.realCount = 16;
    ClearPendingMessage();
    ClearLastMessage();
    ResetFloatingPointState();

    CompiledExpression expr;
    ExprCompiler ctx;
    ctx.Init(text.c_str(), &expr, mask, kSymbolMaskAnalog);
    ctx.quiet = 1;
    if (CompileExpression(&ctx) == 0) {
        ComplexNumber value;
        EvaluateExpression(&expr, &value, nullptr);
    }
    FreeExpression(&expr);
    ClearPendingMessage();
    ResetRunState();
    ResetFloatingPointState();
    return 0;
}
