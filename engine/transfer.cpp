#include "engine/transfer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/nodelabels.h"
#include "engine/sparse.h"
#include "expr/compiled.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"

namespace {

template <typename Record, typename Op>
void tf_ForEach(CompiledCircuit* circuit, int list, Op op) {
    if (!circuit) return;
    for (PoolItem* item = circuit->devices.lists[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        op(static_cast<Record*>(item));
    }
}

std::string tf_Format(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void tf_SetValue(TransferQuantity& q, double value) {
    q.state = kTransferValue;
    q.value = value;
    q.text = tf_Format(value);
}

void tf_SetState(TransferQuantity& q, int32_t state, const char* text) {
    q.state = state;
    q.value = 0.0;
    q.text = text;
}

void tf_SetError(TransferQuantity& q, int code) {
    q.state = kTransferError;
    q.error = code;
    q.text = TransferErrorText(code);
}

// The source's measured quantity: a voltage source's branch current, a
// current source's voltage (first node less second).
double tf_SourceQuantity(const SimulatorState& state, const TransferSource& source) {
    auto at = [&](int32_t k) {
        return k > 0 && static_cast<size_t>(k) < state.Solution.size() ? state.Solution[static_cast<size_t>(k)] : 0.0;
    };
    return source.currentType ? at(source.node1) - at(source.node2) : at(source.branch);
}

// An operating point with `level` raised by the perturbation for its duration.
int tf_PerturbedPoint(SimulatorState& state, TransientHost& host, double* level) {
    const double saved = *level;
    *level = saved + kTransferPerturbation;
    const int result = SolveQuietOperatingPoint(state, host);
    *level = saved;
    return result;
}

// The output expression's form: V(n1[,n2]) or I(name); blanks ignored.
struct tf_OutputForm {
    bool voltage = false;
    bool current = false;
    std::string first, second;
};

tf_OutputForm tf_ParseOutput(const char* text) {
    tf_OutputForm form;
    std::string compact;
    for (const char* p = text; *p; ++p)
        if (!std::isspace(static_cast<unsigned char>(*p))) compact += *p;
    if (compact.size() < 4 || compact[1] != '(' || compact.back() != ')') return form;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(compact[0])));
    const std::string inner = compact.substr(2, compact.size() - 3);
    if (inner.empty() || inner.find_first_of("()") != std::string::npos) return form;
    const size_t comma = inner.find(',');
    if (kind == 'V') {
        form.voltage = true;
        form.first = inner.substr(0, comma);
        if (comma != std::string::npos) form.second = inner.substr(comma + 1);
        if (form.first.empty() || (comma != std::string::npos && form.second.empty())) form.voltage = false;
    } else if (kind == 'I' && comma == std::string::npos) {
        form.current = true;
        form.first = inner;
    }
    return form;
}

// The output impedance between two nodes: the Jacobian of the solved point,
// loaded once more at the solution, with a unit current injected from n2 into
// n1 gives the voltage the injection raises.
int tf_NodeImpedance(SimulatorState& state, TransientHost& host, int32_t n1, int32_t n2, double& impedance) {
    if (!state.Matrix()) return kResultSingular;
    state.IterationMode = kModeFloat;
    state.UseInitialConditions = 0;
    if (int result = LoadAllDevices(state, &host)) return result;
    std::fill(state.Rhs.begin(), state.Rhs.end(), 0.0);
    if (n1 > 0) state.Rhs[static_cast<size_t>(n1)] += 1.0;
    if (n2 > 0) state.Rhs[static_cast<size_t>(n2)] -= 1.0;
    std::vector<double> response(state.Solution.size(), 0.0);
    if (int result = FactorAndSolve(state, response, state.Options.gmin)) return result;
    impedance = response[static_cast<size_t>(n1)] - response[static_cast<size_t>(n2)];
    return CheckMathError();
}

// Below this an output counts as held by a voltage source.
constexpr double kHeldImpedance = 1e-9;

}  // namespace

std::string TransferErrorText(int code) {
    if (code == kResultShown) return "Error";
    if (code == kResultPending || code == kResultPending2) {
        char buffer[300];
        int id = code;
        FormatPendingMessage(buffer, sizeof buffer, &id);
        return UnescapePercent(buffer);
    }
    const char* text = GetMessageText(code);
    if (!text) return "Error";
    if (text[0] == '%' && (text[1] == 'E' || text[1] == 'W')) text += 2;
    return text;
}

bool FindTransferSource(CCTDoc* document, const char* name, TransferSource& source) {
    source = TransferSource();
    CompiledCircuit* circuit = document ? FindCompiledCircuit(document) : nullptr;
    const SchematicObject* part = circuit && name && *name ? FindPart(name, -1) : nullptr;
    if (!part) return false;
    bool found = false;
    tf_ForEach<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord* s) {
        if (found || s->part != part) return;
        found = true;
        source.currentType = s->sourceKind == kSourceCurrent;
        source.node1 = s->node1;
        source.node2 = s->node2;
        source.branch = source.currentType ? 0 : s->branch;
        // A waveform's first parameter is its level at the operating point
        // (PULSE V1, SIN and SFFM offset, EXP V1); lists drive their present value.
        switch (s->functionKind) {
        case kFunctionNone: source.level = &s->dcValue; break;
        case kFunctionPulse:
        case kFunctionSin:
        case kFunctionExp:
        case kFunctionSffm: source.level = &s->values[0]; break;
        default: source.level = &s->working; break;
        }
    });
    tf_ForEach<PulseSourceRecord>(circuit, kListPulseSources, [&](PulseSourceRecord* s) {
        if (found || s->part != part || !s->model || !s->model->Values) return;
        found = true;
        source.node1 = s->node1;
        source.node2 = s->node2;
        source.branch = s->branch;
        source.level = &s->model->Values[0];
    });
    tf_ForEach<SineSourceRecord>(circuit, kListSineSources, [&](SineSourceRecord* s) {
        if (found || s->part != part || !s->model || !s->model->Values) return;
        found = true;
        source.node1 = s->node1;
        source.node2 = s->node2;
        source.branch = s->branch;
        source.level = &s->model->Values[2];
    });
    if (found) source.name = name;
    return found;
}

int SolveQuietOperatingPoint(SimulatorState& state, TransientHost& host) {
    TransientRun run;
    TransientLimits limits;
    limits.optionFlags = kTransientOperatingPoint | kTransientOperatingPointOnly;
    const int32_t status = state.StatusTextEnabled;
    state.StatusTextEnabled = 0;
    const int result = RunTransient(state, run, limits, host);
    state.StatusTextEnabled = status;
    return result;
}

int EvaluateOutputOnce(const char* text, double& value) {
    value = 0.0;
    if (!text || !*text) return kResultMissingParam;
    std::string copy = text;
    NormalizeSigns(copy.data());
    CompiledExpression expression;
    ExprCompiler context;
    const int kind = CurrentAnalysisKind();
    context.Init(copy.c_str(), &expression, kind >= 0 && kind <= 3 ? (1 << kind) : kMaskTransient, kSymbolMaskAnalog);
    context.quiet = 1;
    int result = CompileExpression(&context);
    ComplexNumber number{0.0, 0.0};
    if (!result) result = EvaluateExpression(&expression, &number, nullptr);
    FreeExpression(&expression);
    if (!result) value = number.re;
    return result;
}

int ComputeTransferFunction(SimulatorState& state, CCTDoc* document, const char* output, const char* input,
                            TransientHost& host, TransferResult& result) {
    result = TransferResult();
    TransferSource source;
    result.sourceFound = FindTransferSource(document, input, source);

    // Run 0, nominal; run 1 with the source raised.
    double o0 = 0.0, o1 = 0.0, s0 = 0.0, s1 = 0.0;
    int code = SolveQuietOperatingPoint(state, host);
    if (code) {
        tf_SetError(result.gain, code);
        tf_SetState(result.outputImpedance, kTransferNone, "N/A");
        return code;
    }
    const int outputError = EvaluateOutputOnce(output, o0);
    s0 = result.sourceFound ? tf_SourceQuantity(state, source) : 0.0;
    const std::vector<double> nominal = state.Solution;

    if (!result.sourceFound) {
        tf_SetState(result.gain, kTransferError, "Bad source.");
        result.gain.error = kTransferBadSource;
    } else {
        code = tf_PerturbedPoint(state, host, source.level);
        if (!code && !outputError) code = EvaluateOutputOnce(output, o1);
        if (code || outputError) {
            tf_SetError(result.gain, outputError ? outputError : code);
        } else {
            s1 = tf_SourceQuantity(state, source);
            tf_SetValue(result.gain, (o1 - o0) * 1e6);
            if (source.currentType) {
                tf_SetValue(result.inputImpedance, (s0 - s1) * 1e6);
            } else if (s0 == s1) {
                tf_SetState(result.inputImpedance, kTransferInfinite, "inf");
            } else {
                tf_SetValue(result.inputImpedance, kTransferPerturbation / (s0 - s1));
            }
        }
    }
    if (!result.sourceFound || result.gain.state == kTransferError) {
        result.inputImpedance.text.clear();
        result.inputImpedance.state = kTransferNone;
    }

    // The output impedance, from the nominal point.
    TransferQuantity& z = result.outputImpedance;
    tf_SetState(z, kTransferNone, "N/A");
    if (!result.sourceFound || result.gain.state == kTransferError) return kOk;
    const tf_OutputForm form = tf_ParseOutput(output ? output : "");
    if (form.voltage) {
        const int n1 = FindNodeNumber(document, form.first.c_str(), -1, -1);
        const int n2 = form.second.empty() ? 0 : FindNodeNumber(document, form.second.c_str(), -1, -1);
        if (n1 < 0 || n2 < 0 || n1 >= state.MatrixSize + 1 || n2 >= state.MatrixSize + 1) return kOk;
        if ((code = SolveQuietOperatingPoint(state, host))) {
            tf_SetError(z, code);
            return kOk;
        }
        double impedance = 0.0;
        if ((code = tf_NodeImpedance(state, host, n1, n2, impedance))) {
            tf_SetError(z, code);
        } else if (std::fabs(impedance) < kHeldImpedance) {
            tf_SetState(z, kTransferHeld, "0");
        } else {
            tf_SetValue(z, impedance);
        }
        state.Solution = nominal;
    } else if (form.current) {
        TransferSource meter;
        if (!FindTransferSource(document, form.first.c_str(), meter) || meter.currentType) return kOk;
        if ((code = SolveQuietOperatingPoint(state, host))) {
            tf_SetError(z, code);
            return kOk;
        }
        const double z0 = tf_SourceQuantity(state, meter);
        if ((code = tf_PerturbedPoint(state, host, meter.level))) {
            tf_SetError(z, code);
            return kOk;
        }
        const double z1 = tf_SourceQuantity(state, meter);
        if (z0 == z1) {
            tf_SetState(z, kTransferInfinite, "inf");
        } else {
            tf_SetValue(z, kTransferPerturbation / (z0 - z1));
        }
        state.Solution = nominal;
    }
    return kOk;
}
