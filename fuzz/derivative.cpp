// Symbolic differentiation of user text: the first byte picks the dialect and
// the analysis; the rest is "expression|variable" (no '|': the variable is
// chosen from the expression). The text is differentiated as the calculator
// does it, then compiled with its free names and differentiated by each of
// them as a function source's formula is, and each derivative evaluated once.
#include <cstdint>
#include <string>

#include "core/dialect.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/derivative.h"
#include "expr/evaluate.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"

namespace {

class dz_QuietReporter final : public MessageReporter {
public:
    int Report(const MessageRequest&) override { return 0; }
    void Beep() override {}
};

double dz_solution[16];

void dz_StartOnce() {
    static const bool started = [] {
        static dz_QuietReporter reporter;
        InstallReporter(&reporter);
        RegisterExprMessages();
        BuildSymbolIndexes();
        InstallSymbolicDerivatives();
        return true;
    }();
    (void)started;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    dz_StartOnce();
    static const int kDialects[] = {kSpiceDialectPSpice, kSpiceDialect3, kSpiceDialect2G, kSpiceDialectAmbiguous};
    const int dialect = kDialects[data[0] & 3];
    std::string text = fuzz::AsText(data + 1, size - 1);
    std::string variable;
    const size_t bar = text.find('|');
    if (bar != std::string::npos) {
        variable = text.substr(bar + 1);
        text.resize(bar);
    }

    ResetRunState();
    SetAnalysisKind((data[0] >> 2 & 3) - 1);
    gSolver.RealSolution = dz_solution;
    gSolver.realCount = 16;
    ClearPendingMessage();
    ClearLastMessage();
    ResetFloatingPointState();

    std::string result;
    DifferentiateExpression(text.c_str(), &variable, &result, dialect);

    CompiledExpression expr;
    expr.dialect = dialect;
    char* names[4] = {};
    int32_t masks[4] = {-1, -1, -1, -1};
    double slots[4] = {0.5, -1.5, 2.0, 0.0};
    ExprCompiler ctx;
    ctx.Init(text.c_str(), &expr, kMaskTransient, kSymbolMaskAnalog);
    ctx.quiet = 1;
    ctx.callerVarCount = 4;
    ctx.callerVarNames = names;
    ctx.callerVarMasks = masks;
    ctx.callerVarSlots = slots;
    if (CompileExpression(&ctx) == 0) {
        for (int i = 0; i < 4; ++i) {
            CompiledExpression derivative;
            if (DifferentiateCompiled(&expr, &derivative, reinterpret_cast<uintptr_t>(&slots[i]), dialect) == 0 &&
                derivative.TokenCount()) {
                ComplexNumber value;
                EvaluateExpression(&derivative, &value, nullptr);
            }
        }
    }
    for (char*& name : names) FreeString(&name);
    FreeExpression(&expr);
    ClearPendingMessage();
    ResetRunState();
    ResetFloatingPointState();
    return 0;
}
