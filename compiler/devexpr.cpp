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

// Quantity bits of a compiled expression's first flag word.
constexpr uint32_t kUnitComplexFrequencyFlag = 0x1000;  // S
constexpr uint32_t kUnitFrequencyFlag = 0x2000;         // F
constexpr int kMsgLaplaceNeedsS = 10869;
constexpr int kMsgLaplaceMixed = 10870;

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

// A function source's value is a formula of the bias point, whatever the
// analysis: in an AC run its node and current operands still read the real
// solution (its FREQ formula is the one that reads the AC point).
class de_RealOperands {
public:
    de_RealOperands() : saved_(gSolver.AnalysisKind) {
        if (saved_ == 1) gSolver.AnalysisKind = 2;
    }
    ~de_RealOperands() { gSolver.AnalysisKind = saved_; }
    de_RealOperands(const de_RealOperands&) = delete;
    de_RealOperands& operator=(const de_RealOperands&) = delete;

private:
    int32_t saved_;
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
    if (!compiled) return 0;
    // Trial compiles of copies: the current meters the formulas need come to
    // exist before the unknowns are numbered.
    int status = 0;
    const bool ac = gSolver.AnalysisKind == 1;
    de_Walk<FunctionSourceRecord>(compiled, kListFunctionSources, [&](FunctionSourceRecord* r) {
        if (status) return;
        DeviceExpression trial;
        trial.pendingText = r->value.pendingText;
        {
            de_RealOperands real;
            CompileDeviceExpression(document, &trial, 0, r->part, &status, nullptr, 1);
        }
        if (ac && !status && r->acValue.HasText()) {
            DeviceExpression acTrial;
            acTrial.pendingText = r->acValue.pendingText;
            CompileDeviceExpression(document, &acTrial, 1, r->part, &status, nullptr, 1);
        }
        if (ac && !status && r->noise.HasText()) {
            DeviceExpression noiseTrial;
            noiseTrial.pendingText = r->noise.pendingText;
            CompileDeviceExpression(document, &noiseTrial, 1, r->part, &status, nullptr, 1);
        }
    });
    return status;
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
    // Function sources, then Laplace formulas (which must read S and nothing
    // else of the circuit), before the passives.
    const bool ac = gSolver.AnalysisKind == 1;
    de_Walk<FunctionSourceRecord>(compiled, kListFunctionSources, [&](FunctionSourceRecord* r) {
        int stateful = 0;
        {
            de_RealOperands real;
            stateful = CompileDeviceExpression(document, &r->value, 0, r->part, &status, nullptr, 2);
        }
        if (ac) stateful |= CompileDeviceExpression(document, &r->acValue, 1, r->part, &status, nullptr, 2);
        if (ac) CompileDeviceExpression(document, &r->noise, 1, r->part, &status, nullptr, 2);
        if (stateful) compiled->devices[kListFunctionSources].hasStatefulExpressions = 1;
    });
    de_Walk<LaplaceSourceRecord>(compiled, kListLaplaceSources, [&](LaplaceSourceRecord* r) {
        const bool hadText = r->transfer.HasText();
        if (CompileDeviceExpression(document, &r->transfer, 0, r->part, &status, nullptr, 0))
            compiled->devices[kListLaplaceSources].hasStatefulExpressions = 1;
        if (status || !hadText) return;
        const uint32_t quantities = r->transfer.compiled.flags & 0x7FFFFu & ~kUnitFrequencyFlag;
        int id = 0;
        if (!(quantities & kUnitComplexFrequencyFlag))
            id = kMsgLaplaceNeedsS;
        else if (quantities & ~kUnitComplexFrequencyFlag)
            id = kMsgLaplaceMixed;
        if (id) {
            RecordPartLocation(r->part);
            status = ReportCompilerMessage(r->part, PartScope(r->part), nullptr, id);
        }
    });
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
    de_Walk<SampleHoldRecord>(compiled, kListSampleHolds, [&](SampleHoldRecord* r) {
        if (CompileDeviceExpression(document, &r->input, 0, r->part, &status, nullptr, 0))
            compiled->devices[kListSampleHolds].hasStatefulExpressions = 1;
        if (CompileDeviceExpression(document, &r->sample, 0, r->part, &status, nullptr, 0))
            compiled->devices[kListSampleHolds].hasStatefulExpressions2 = 1;
    });
    de_Walk<TransformerCouplingRecord>(compiled, kListTransformerCouplings, [&](TransformerCouplingRecord* r) {
        for (int i = 0; r->expressions && i < r->expressionCount; ++i)
            CompileDeviceExpression(document, &r->expressions[i], 0, r->part, &status, nullptr, 0);
    });
    de_Walk<TimerRecord>(compiled, kListTimers, [&](TimerRecord* r) {
        if (CompileDeviceExpression(document, &r->input, 0, r->part, &status, nullptr, 0))
            compiled->devices[kListTimers].hasStatefulExpressions = 1;
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
