#include "compiler/devexpr.h"

#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "compiler/warnings.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"
#include "expr/runstate.h"
#include "shell/document.h"

namespace {

// The compile works on the run context's circuit and its device lists, and
// binds node operands into its solution vector.
class de_CircuitScope {
public:
    de_CircuitScope(CCTDoc* document, CompiledCircuit* compiled)
        : previousDocument_(CurrentRunContext().circuitDocument),
          lists_(compiled->devices),
          previousSolution_(gSolver.RealSolution),
          previousCount_(gSolver.realCount) {
        CurrentRunContext().circuitDocument = document;
        if (!compiled->solution.empty()) {
            gSolver.RealSolution = compiled->solution.data();
            gSolver.realCount = static_cast<int32_t>(compiled->solution.size());
        }
    }
    ~de_CircuitScope() {
        CurrentRunContext().circuitDocument = previousDocument_;
        gSolver.RealSolution = previousSolution_;
        gSolver.realCount = previousCount_;
    }
    de_CircuitScope(const de_CircuitScope&) = delete;
    de_CircuitScope& operator=(const de_CircuitScope&) = delete;

private:
    CDoc* previousDocument_;
    DeviceListScope lists_;
    double* previousSolution_;
    int32_t previousCount_;
};

template <class Record, class F>
void de_Walk(CompiledCircuit* compiled, int list, F visit) {
    for (PoolItem* item = compiled->devices[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) visit(static_cast<Record*>(item));
}

// The value expression of a resistor, capacitor or inductor: a lone constant
// becomes the record's value; in AC runs the frequency text too (it stays an
// expression: its constant replaces the value only at AC).
template <class Record>
void de_CompilePassives(CCTDoc* document, CompiledCircuit* compiled, int list, int* status) {
    const bool ac = gSolver.AnalysisKind == 1;
    de_Walk<Record>(compiled, list, [&](Record* r) {
        double constant = 0.0;
        const bool hadText = r->value.HasText();
        int stateful = CompileDeviceExpression(document, &r->value, 0, r->part, status, &constant, 0);
        if (hadText && !*status && r->value.compiled.TokenCount() == 0) r->working = r->nominal = constant;
        if (ac) stateful |= CompileDeviceExpression(document, &r->frequency, 1, r->part, status, nullptr, 0);
        if (stateful) compiled->devices[list].hasStatefulExpressions = 1;
    });
}

}  // namespace

int CompileDeviceExpression(CCTDoc* document, DeviceExpression* expression, int complexCurrents, SchematicObject* part,
                            int* status, double* constantOut, int setupPass) {
    if (!expression) return 0;
    int dialect = document ? document->dialect : kSpiceDialectAmbiguous;
    if ((dialect == kSpiceDialectAmbiguous || dialect == kSpiceDialectNone) && part) dialect = part->dialect;
    expression->compiled.dialect = dialect;
    if (!expression->HasText()) return 0;
    std::string text;
    text.swap(expression->pendingText);
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if ((status && *status) || !compiled) {
        FreeExpression(&expression->compiled);
        if (!compiled && status) *status = kResultShown;
        return 0;
    }
    de_CircuitScope scope(document, compiled);
    FreeExpression(&expression->compiled);
    std::vector<char> normalised(text.begin(), text.end());
    normalised.push_back(0);
    NormalizeSigns(normalised.data());

    ExprCompiler ctx;
    // Outside a run (a translation, a test) the texts compile as for a
    // transient run: time-domain values are what a part's value reads.
    const int kind = gSolver.AnalysisKind;
    ctx.Init(normalised.data(), &expression->compiled, kind >= 0 && kind <= 3 ? 1 << kind : kMaskTransient,
             kSymbolMaskAnalog);
    ctx.referenceFlags = kRefDeviceExpressions;
    ctx.complexCurrents = complexCurrents;
    ctx.scope = part ? PartScope(part) : 1;
    ctx.sourcePart = part;
    ctx.setupPass = setupPass;
    const int rc = CompileExpression(&ctx);
    if (rc) {
        if (rc != kResultShown && rc != kResultPending)
            ReportCompilerMessage(part, ctx.scope, nullptr, rc, text.c_str(), "");
        ShowErrorSource(kOriginPart, part);
        FreeExpression(&expression->compiled);
        if (status) *status = kResultShown;
        return 0;
    }
    const int stateful = (expression->compiled.flags & kExprFlagRunningIntegral) ? 1 : 0;
    ExprToken* only = expression->compiled.FirstToken();
    if (constantOut && only && !only->Next() && only->code == kOperandConstant) {
        *constantOut = only->operand.value;
        FreeExpression(&expression->compiled);
    }
    return stateful;
}

int ValidateFunctionSourceExpressions(CCTDoc* document) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    // No function source can be set up yet; one that exists anyway cannot be read.
    return compiled && compiled->devices[kListFunctionSources].pool.count ? kResultNotBuilt : 0;
}

int ProcessDeviceExpressions(CCTDoc* document, int status) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    for (int list : {kListResistors, kListCapacitors, kListInductors, kListLaplaceSources, kListFunctionSources,
                     kListSampleHolds}) {
        compiled->devices[list].hasStatefulExpressions = 0;
        if (list == kListSampleHolds) compiled->devices[list].hasStatefulExpressions2 = 0;
    }
    // Kinds with expressions that are not built yet (function, Laplace and
    // sample-and-hold sources, timers) take their turn in this order when they are.
    de_CompilePassives<ResistorRecord>(document, compiled, kListResistors, &status);
    de_CompilePassives<CapacitorRecord>(document, compiled, kListCapacitors, &status);
    de_CompilePassives<InductorRecord>(document, compiled, kListInductors, &status);
    status = CompileWarningExpressions(document, status);
    de_Walk<InductorCouplingRecord>(compiled, kListInductorCouplings, [&](InductorCouplingRecord* r) {
        CompileDeviceExpression(document, &r->coupling, 0, r->part, &status, nullptr, 0);
    });
    de_Walk<SourceRecord>(compiled, kListSpiceSources, [&](SourceRecord* r) {
        if (r->functionKind == kFunctionPwl)
            CompileDeviceExpression(document, &r->trigger, 0, r->part, &status, nullptr, 0);
    });
    de_Walk<TransformerCouplingRecord>(compiled, kListTransformerCouplings, [&](TransformerCouplingRecord* r) {
        for (int i = 0; r->expressions && i < r->expressionCount; ++i)
            CompileDeviceExpression(document, &r->expressions[i], 0, r->part, &status, nullptr, 0);
    });
    return status;
}

int InsertCurrentMeter(ExprCompiler* ctx, int32_t* pinNodeSlot, int polarity) {
    CompiledCircuit* compiled = GetCompiledCircuit(CurrentCircuitDocument());
    if (!compiled || !pinNodeSlot) return 0;
    SourceRecord* meter = nullptr;
    de_Walk<SourceRecord>(compiled, kListSpiceSources, [&](SourceRecord* r) {
        if (!meter && r->meteredSlot == pinNodeSlot) meter = r;
    });
    if (ctx->setupPass != 1) return meter ? meter->branch : 0;
    if (meter) return 0;
    const int pinNode = *pinNodeSlot;
    const int node = NewInternalNode();
    int status = 0;
    meter = polarity ? AddSourceDevice(pinNode, node, kSourceVoltage, 0.0, &status)
                     : AddSourceDevice(node, pinNode, kSourceVoltage, 0.0, &status);
    if (!meter) return -1;
    meter->meteredSlot = pinNodeSlot;
    MarkQuantityReferenced(meter, kTypeVSpice, static_cast<uint8_t>(ctx->referenceFlags));
    *pinNodeSlot = node;
    return 0;
}
