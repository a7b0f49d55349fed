#include "devices/behavioural.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "core/result.h"
#include "devices/magcore.h"
#include "engine/acload.h"
#include "engine/breakpoints.h"
#include "engine/elements.h"
#include "engine/noise.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/runvars.h"

namespace {

constexpr int kBhReserveUnavailable = 101;
constexpr int32_t kBhFailureLaplace = 28;
constexpr int32_t kBhFailureTable = 29;
constexpr int32_t kBhFailureLaplaceTable = 30;
constexpr int32_t kBhFailureFunction = 31;
constexpr int32_t kBhFailureSampleHold = 32;
constexpr int32_t kBhTypeNfv = 37;
constexpr double kBhPi = 3.141592653589793;
constexpr double kBhDegree = 0.017453292519943295;
// The breakpoints of one sampled source stop here: sampling goes on by the
// load's window without them.
constexpr int64_t kBhMaxSampleBreakpoints = 1000000;

template <class Record, class F>
int bh_Walk(SimulatorState& state, int list, F visit) {
    if (!state.Circuit) return 0;
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(*static_cast<Record*>(item))) return rc;
    }
    return 0;
}

bool bh_Reservable(const SimulatorState& state) { return state.Circuit && state.Entries() && state.Matrix(); }
bool bh_Stamping(const SimulatorState& state) { return state.Installed != nullptr && state.Cursor.Active(); }
bool bh_DcSolution(const SimulatorState& state) { return state.AnalysisPhase != kPhaseTransient; }

double bh_At(const std::vector<double>& vector, int32_t equation) {
    return equation > 0 && static_cast<size_t>(equation) < vector.size() ? vector[static_cast<size_t>(equation)] : 0.0;
}
void bh_AddRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation > 0 && static_cast<size_t>(equation) < state.Rhs.size())
        state.Rhs[static_cast<size_t>(equation)] += value;
}
void bh_SetRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation > 0 && static_cast<size_t>(equation) < state.Rhs.size())
        state.Rhs[static_cast<size_t>(equation)] = value;
}

// Device formulas read the circuit's own copy of the solution (their operands
// were bound to it when they were compiled) and the time of the run.
void bh_PublishToFormulas(SimulatorState& state) {
    std::vector<double>& target = state.Circuit->solution;
    const size_t count = std::min(target.size(), state.Solution.size());
    std::copy(state.Solution.begin(), state.Solution.begin() + static_cast<std::ptrdiff_t>(count), target.begin());
    RunVars.time = state.Time;
}

int bh_Evaluate(DeviceExpression& expression, double* value) {
    ComplexNumber result{0.0, 0.0};
    const int rc = EvaluateExpression(&expression.compiled, &result);
    *value = result.re;
    return rc;
}

// Control kind 0..3 of a Laplace or table source type.
int bh_ControlKind(int32_t componentType, int32_t first) { return (componentType - first) % 4; }
bool bh_CurrentControlled(int kind) { return kind == kCurrentControlledCurrent || kind == kCurrentControlledVoltage; }

double bh_ControlInput(const SimulatorState& state, int kind, int32_t plus, int32_t minus, int32_t branch) {
    return bh_CurrentControlled(kind) ? bh_At(state.Solution, branch)
                                      : bh_At(state.Solution, plus) - bh_At(state.Solution, minus);
}

// The offset of a controlled output: into its branch row or the output nodes.
void bh_LoadOutputOffset(SimulatorState& state, int kind, int32_t outPlus, int32_t outMinus, int32_t branch,
                         double offset) {
    switch (kind) {
    case kVoltageControlledVoltage: bh_SetRhs(state, branch, offset); break;
    case kCurrentControlledVoltage: bh_SetRhs(state, branch + 1, offset); break;
    default:
        bh_AddRhs(state, outPlus, -offset);
        bh_AddRhs(state, outMinus, offset);
        break;
    }
}

// The output current of a controlled source for its displays.
double bh_OutputCurrent(const SimulatorState& state, int kind, int32_t branch, double lastOutput) {
    switch (kind) {
    case kVoltageControlledVoltage: return bh_At(state.Solution, branch);
    case kCurrentControlledVoltage: return bh_At(state.Solution, branch + 1);
    default: return lastOutput;
    }
}

void bh_Power(SimulatorState& state, DeviceRecord& record, double current, int32_t plus, int32_t minus,
              double* pinCurrent) {
    if (!record.quantityRefs && !record.powerRefs) return;
    *pinCurrent = current;
    const double power = -current * (bh_At(state.Solution, plus) - bh_At(state.Solution, minus));
    record.power[kPowerGenerated] = ComplexNumber{power, 0.0};
    state.Power.PowerGenerated += power;
}

}  // namespace

bool SourceNotConverged(const GlobalSettingValues& options, int32_t& nonConverged, int kind, double& previous,
                        double now) {
    const double base = (kind == 0 || kind == 1 || kind == 35) ? options.abstol : options.vntol;
    const double tolerance = base + options.reltol * std::max(std::fabs(now), std::fabs(previous));
    const bool failed = std::fabs(now - previous) > tolerance;
    if (failed) ++nonConverged;
    previous = now;
    return failed;
}

// ---- function sources --------------------------------------------------------------------------------

int FunctionSourceLoads::Reserve(SimulatorState& state) {
    if (!bh_Reservable(state)) return kBhReserveUnavailable;
    EntryList& entries = *state.Entries();
    return bh_Walk<FunctionSourceRecord>(state, kListFunctionSources, [&](FunctionSourceRecord& s) {
        const bool voltage = s.componentType == kBhTypeNfv;
        if (voltage)
            if (int rc = ReserveBranch(entries, s.branch, s.outPlus, s.outMinus)) return rc;
        for (const FunctionDependency& d : s.dependencies) {
            int rc = 0;
            if (voltage)
                rc = ReserveEntry(entries, s.branch, d.slot);
            else if (d.slot <= state.NodeCount)
                rc = ReserveTransconductance(entries, d.slot, 0, s.outPlus, s.outMinus);
            else {
                rc = ReserveEntry(entries, s.outPlus, d.slot);
                if (!rc) rc = ReserveEntry(entries, s.outMinus, d.slot);
            }
            if (rc) return rc;
        }
        return 0;
    });
}

namespace {

// Puts a perturbed solution entry back however the derivative ends.
class bh_RestoreEntry {
public:
    bh_RestoreEntry(double& entry, double value) : entry_(entry), value_(value) {}
    ~bh_RestoreEntry() { entry_ = value_; }
    bh_RestoreEntry(const bh_RestoreEntry&) = delete;
    bh_RestoreEntry& operator=(const bh_RestoreEntry&) = delete;

private:
    double& entry_;
    double value_;
};

class bh_HoldFlag {
public:
    explicit bh_HoldFlag(CompiledExpression& expression) : word_(expression.evaluatorWords[kWordHoldExtremes]) {}
    ~bh_HoldFlag() { word_ = 0; }
    void Set() { word_ = 1; }
    bh_HoldFlag(const bh_HoldFlag&) = delete;
    bh_HoldFlag& operator=(const bh_HoldFlag&) = delete;

private:
    int32_t& word_;
};

// The partial derivative of the formula by one solution entry, by perturbing
// it in steps of 1e-6 to 1e-2 (relative, or absolute near zero).
int bh_NumericDerivative(SimulatorState& state, FunctionSourceRecord& s, FunctionDependency& d, double v0) {
    std::vector<double>& solution = state.Circuit->solution;
    if (d.slot <= 0 || static_cast<size_t>(d.slot) >= solution.size()) return 0;
    double& entry = solution[static_cast<size_t>(d.slot)];
    double x = entry;
    const bool small = x == 0.0 || std::fabs(x) < 1e-12;
    if (x != 0.0 && std::fabs(x) < 1.1e-20) x = std::copysign(1e-20, x);
    const double a = std::fabs(v0);
    {
        bh_RestoreEntry restore(entry, x);
        bh_HoldFlag hold(s.value.compiled);
        double h = 1e-7;
        for (int n = 1; n <= 5; ++n) {
            h *= 10.0;
            const double delta = small ? h : h * x;
            entry = x + delta;
            if (n > 1) hold.Set();
            double v1 = 0.0;
            if (int rc = bh_Evaluate(s.value, &v1)) return rc;
            const double change = v1 - v0;
            if (delta != 0.0) d.rawDerivative = change / delta;
            if (change == 0.0) d.rawDerivative = 1e-20;
            double u = std::max(std::fabs(v1), a);
            if (!(u > 1e-50)) u = 1e-50;
            if (std::fabs(change / u) >= 1e-14) break;
        }
    }
    if (std::fabs(d.rawDerivative) < 1e-20) d.rawDerivative = 1e-20;
    if (std::fabs(d.rawDerivative) > 1e30) d.rawDerivative = std::copysign(1e30, d.rawDerivative);
    d.derivative = d.rawDerivative;
    return 0;
}

}  // namespace

int FunctionSourceLoads::Load(SimulatorState& state) {
    if (!state.Circuit) return 0;
    bh_PublishToFormulas(state);
    const bool stamping = bh_Stamping(state);
    return bh_Walk<FunctionSourceRecord>(state, kListFunctionSources, [&](FunctionSourceRecord& s) {
        const bool voltage = s.componentType == kBhTypeNfv;
        double v0 = 0.0;
        if (int rc = bh_Evaluate(s.value, &v0)) return rc;
        s.presentValue = v0;
        if (voltage && stamping) {
            state.Cursor.Stamp(1.0);
            state.Cursor.Stamp(-1.0);
            state.Cursor.Stamp(1.0);
            state.Cursor.Stamp(-1.0);
        }
        double offset = v0;
        double predicted = s.lastValue;
        const bool stateful = (s.value.compiled.flags & kExprFlagRunningIntegral) != 0;
        for (FunctionDependency& d : s.dependencies) {
            if (s.numericDerivatives) {
                if (int rc = bh_NumericDerivative(state, s, d, v0)) return rc;
            } else if (d.derivativeFormula && d.derivativeFormula->TokenCount()) {
                ComplexNumber slope{0.0, 0.0};
                if (int rc = EvaluateExpression(d.derivativeFormula.get(), &slope)) return rc;
                d.rawDerivative = slope.re;
                d.derivative = slope.re;
            }
            const double derivative = d.derivative;
            const double x = bh_At(state.Solution, d.slot);
            offset -= x * derivative;
            predicted += (x - bh_At(state.PreviousSolution, d.slot)) * derivative;
            if (SourceNotConverged(state.Options, state.NonConvergedCount, s.componentType, d.lastDerivative,
                                   derivative))
                RecordFailure(state.Failures, &s, kBhFailureFunction, 0.0, state.Time);
            if (!stamping) continue;
            if (voltage) {
                state.Cursor.Stamp(-derivative);
            } else if (d.slot <= state.NodeCount) {
                state.Cursor.Stamp(derivative);
                state.Cursor.Stamp(-derivative);
                state.Cursor.Stamp(-derivative);
                state.Cursor.Stamp(derivative);
            } else {
                state.Cursor.Stamp(derivative);
                state.Cursor.Stamp(-derivative);
            }
        }
        if (stateful && !s.dependencies.empty()) {
            double discarded = 0.0;
            if (int rc = bh_Evaluate(s.value, &discarded)) return rc;
        }
        if (SourceNotConverged(state.Options, state.NonConvergedCount, s.componentType, predicted, v0))
            RecordFailure(state.Failures, &s, kBhFailureFunction, 0.0, state.Time);
        s.lastValue = v0;
        if (voltage)
            bh_SetRhs(state, s.branch, offset);
        else {
            bh_AddRhs(state, s.outPlus, -offset);
            bh_AddRhs(state, s.outMinus, offset);
        }
        bh_Power(state, s, voltage ? bh_At(state.Solution, s.branch) : s.presentValue, s.outPlus, s.outMinus,
                 &s.pinCurrent);
        return 0;
    });
}

// ---- table sources -----------------------------------------------------------------------------------

int TableSourceSegment(const TableSourceRecord& record, double input) {
    const int rows = static_cast<int>(record.inputs.size());
    for (int i = 1; i < rows; ++i)
        if (!(record.inputs[static_cast<size_t>(i)] < input)) return i;
    return rows - 1;
}

int TableSourceLoads::Reserve(SimulatorState& state) {
    if (!bh_Reservable(state)) return kBhReserveUnavailable;
    EntryList& entries = *state.Entries();
    return bh_Walk<TableSourceRecord>(state, kListTableSources, [&](TableSourceRecord& s) {
        return ReserveControlledSource(entries, bh_ControlKind(s.componentType, 39), s.branch, s.inPlus, s.inMinus,
                                       s.outPlus, s.outMinus);
    });
}

int TableSourceLoads::Load(SimulatorState& state) {
    const bool stamping = bh_Stamping(state);
    return bh_Walk<TableSourceRecord>(state, kListTableSources, [&](TableSourceRecord& s) {
        const int kind = bh_ControlKind(s.componentType, 39);
        if (s.inputs.size() < 2 || s.outputs.size() != s.inputs.size()) return kResultNotBuilt;
        const double b = bh_ControlInput(state, kind, s.inPlus, s.inMinus, s.branch);
        s.lastInput = b;
        const int i = TableSourceSegment(s, b);
        s.segment = i;
        const double x0 = s.inputs[static_cast<size_t>(i) - 1], x1 = s.inputs[static_cast<size_t>(i)];
        const double y0 = s.outputs[static_cast<size_t>(i) - 1], y1 = s.outputs[static_cast<size_t>(i)];
        double m = x1 != x0 ? (y1 - y0) / (x1 - x0) : 0.0;
        const double gmin = state.Options.gmin;
        if (std::fabs(m) < gmin) m = m < 0.0 ? -gmin : gmin;
        s.slope = m;
        const double v = m * (b - x0) + y0;
        bh_LoadOutputOffset(state, kind, s.outPlus, s.outMinus, s.branch, v - m * b);
        if (SourceNotConverged(state.Options, state.NonConvergedCount, kind, s.lastOutput, v))
            RecordFailure(state.Failures, &s, kBhFailureTable, 0.0, state.Time);
        if (stamping) StampControlledSource(state.Cursor, kind, m);
        bh_Power(state, s, bh_OutputCurrent(state, kind, s.branch, s.lastOutput), s.outPlus, s.outMinus, &s.pinCurrent);
        return 0;
    });
}

// ---- Laplace sources -------------------------------------------------------------------------------

int32_t LaplacePointCount(double reltol, double timeRange, double maxTimeStep) {
    const double least = std::floor(std::pow(2.0, std::log10(1.0 / reltol) + 6.0) + 0.01);
    double steps = maxTimeStep > 0.0 ? std::floor(timeRange / maxTimeStep) : 0.0;
    steps = std::min(steps, 262144.0);
    const double wanted = steps > least ? steps : least;
    int32_t points = 128;
    while (points < wanted && points < 262144) points *= 2;
    return points;
}

bool TransformFFT(std::vector<std::complex<double>>& data, bool inverse) {
    const size_t n = data.size();
    if (n == 0 || (n & (n - 1)) != 0) return false;
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const double angle = (inverse ? 2.0 : -2.0) * kBhPi / static_cast<double>(length);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t start = 0; start < n; start += length) {
            std::complex<double> w(1.0, 0.0);
            for (size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> u = data[start + k];
                const std::complex<double> v = data[start + k + length / 2] * w;
                data[start + k] = u + v;
                data[start + k + length / 2] = u - v;
                w *= step;
            }
        }
    }
    if (inverse)
        for (std::complex<double>& value : data) value /= static_cast<double>(n);
    return true;
}

int LaplaceTableSegment(const LaplaceSourceRecord& record, double frequency) {
    const int rows = record.rowCount;
    for (int j = 1; j < rows; ++j)
        if (!(record.table[static_cast<size_t>(3 * j)] < frequency)) return j;
    return rows - 1;
}

double InterpolateLaplaceTable(const LaplaceSourceRecord& record, double frequency, int segment, int column) {
    const size_t lo = static_cast<size_t>(3 * (segment - 1)), hi = static_cast<size_t>(3 * segment);
    const double low = record.table[lo + static_cast<size_t>(column)];
    double high = record.table[hi + static_cast<size_t>(column)];
    if (column == 2 && std::fabs(high - low) > 180.0) {
        // The shift by whole turns that brings the phase nearest its neighbour.
        double best = 0.0, bestGap = std::fabs(high - low);
        for (int m = 1; m <= 160; ++m) {
            for (double shift : {360.0 * m, -360.0 * m}) {
                const double gap = std::fabs(high + shift - low);
                if (gap < bestGap) {
                    bestGap = gap;
                    best = shift;
                }
            }
        }
        high += best;
    }
    double flo = record.table[lo], fhi = record.table[hi];
    if (!(flo > 1e-20)) flo = 1e-20;
    if (!(fhi > 1e-20)) fhi = 1e-20;
    double span = std::log10(fhi / flo);
    if (!(span > 1e-20)) span = 1e-20;
    const double f = frequency > 1e-300 ? frequency : 1e-300;
    return high + ((high - low) / span) * (std::log10(f) - std::log10(fhi));
}

std::complex<double> LaplaceTableValue(const LaplaceSourceRecord& record, double frequency, int segment) {
    if (record.rowCount < 2 || record.table.size() < static_cast<size_t>(3 * record.rowCount)) return {0.0, 0.0};
    segment = std::clamp(segment, 1, record.rowCount - 1);
    const double c1 = InterpolateLaplaceTable(record, frequency, segment, 1);
    const double c2 = InterpolateLaplaceTable(record, frequency, segment, 2);
    if (record.magnitudeFormat == kLaplaceRealImag) return {c1, c2};
    double magnitude = c1;
    if (record.magnitudeFormat == kLaplaceDb) magnitude = std::exp(std::clamp(c1 * 0.1151292546497023, -700.0, 700.0));
    const double angle = record.phaseFormat == kLaplaceRad ? c2 : c2 * kBhDegree;
    return {magnitude * std::cos(angle), magnitude * std::sin(angle)};
}

int LaplaceTransferValue(LaplaceSourceRecord& record, bool table, double frequency, double sigma,
                         std::complex<double>* value) {
    if (table) {
        *value = LaplaceTableValue(record, frequency, LaplaceTableSegment(record, frequency));
        return 0;
    }
    const double savedFrequency = RunVars.frequency;
    const double savedSigma = gSolver.LaplaceSigma;
    RunVars.frequency = frequency;
    gSolver.LaplaceSigma = sigma;
    ComplexNumber result{0.0, 0.0};
    const int rc = EvaluateExpression(&record.transfer.compiled, &result);
    RunVars.frequency = savedFrequency;
    gSolver.LaplaceSigma = savedSigma;
    *value = {result.re, result.im};
    return rc;
}

int LaplaceSourceLoads::Reserve(SimulatorState& state) {
    if (!bh_Reservable(state)) return kBhReserveUnavailable;
    EntryList& entries = *state.Entries();
    const int list = table_ ? kListLaplaceTableSources : kListLaplaceSources;
    return bh_Walk<LaplaceSourceRecord>(state, list, [&](LaplaceSourceRecord& s) {
        return ReserveControlledSource(entries, bh_ControlKind(s.componentType, 31), s.branch, s.inPlus, s.inMinus,
                                       s.outPlus, s.outMinus);
    });
}

namespace {

// The output the source drives at a start from initial conditions: the
// voltage across a voltage output; a current output has no branch of its own
// to read and starts from 0.
double bh_LaplaceStartOutput(const SimulatorState& state, const LaplaceSourceRecord& s, int kind) {
    if (kind == kVoltageControlledVoltage || kind == kCurrentControlledVoltage)
        return bh_At(state.Solution, s.outPlus) - bh_At(state.Solution, s.outMinus);
    return 0.0;
}

// The impulse response and an empty history of one source for the run.
int bh_PrepareConvolution(LaplaceSourceRecord& s, bool table, int32_t points, double tmax) {
    try {
        auto sampler = [&](double f, std::complex<double>* h) {
            return LaplaceTransferValue(s, table, f, table ? 0.0 : 6.5 / tmax, h);
        };
        if (int rc = LaplaceImpulseResponse(points, tmax, table ? 0.0 : 6.5 / tmax, sampler, &s.impulse)) {
            s.impulse.clear();
            return rc;
        }
        s.history.assign(static_cast<size_t>(points) + 2, 0.0);
    } catch (const std::bad_alloc&) {
        s.impulse.clear();
        s.history.clear();
        return kResultNoMemory;
    }
    s.historyPrimed = 0;
    return 0;
}

}  // namespace

int LaplaceSourceLoads::Load(SimulatorState& state) {
    if (!state.Circuit) return 0;
    bh_PublishToFormulas(state);
    const bool stamping = bh_Stamping(state);
    const bool dc = bh_DcSolution(state);
    const bool transient = state.LoadAnalysis == kLoadTransient;
    const double dt = state.ConvolutionStep;
    const int32_t points =
        transient && dt > 0.0 && state.Tmax > 0.0 ? static_cast<int32_t>(std::lround(2.0 * state.Tmax / dt)) : 0;
    const int list = table_ ? kListLaplaceTableSources : kListLaplaceSources;
    return bh_Walk<LaplaceSourceRecord>(state, list, [&](LaplaceSourceRecord& s) {
        const int kind = bh_ControlKind(s.componentType, 31);
        if (transient && stamping && points >= 2 && s.impulse.empty())
            if (int rc = bh_PrepareConvolution(s, table_, points, state.Tmax)) return rc;
        double u = bh_ControlInput(state, kind, s.inPlus, s.inMinus, s.branch);
        if (u == 0.0) u = 1e-9;
        double y = 0.0, gain = 1e-20;
        if (dc) {
            std::complex<double> h0;
            const double frequency = table_ ? 1e-20 : 1e-9;
            if (int rc = LaplaceTransferValue(s, table_, frequency, 0.0, &h0)) return rc;
            if (table_) h0 = LaplaceTableValue(s, 1e-20, 1);
            gain = h0.real();
            s.baseInput = (dt > 0.0 ? dt : 0.0) * u;
            s.baseOutput = gain * u;
        } else {
            if (state.UseInitialConditions && state.Time == s.runStart)
                s.baseOutput = bh_LaplaceStartOutput(state, s, kind);
            const double position = dt > 0.0 ? state.Time / dt : 0.0;
            const int64_t k = static_cast<int64_t>(std::floor(position));
            const int64_t kr = static_cast<int64_t>(std::floor(position + 0.5));
            const double frac = position - static_cast<double>(k);
            const int64_t m = points / 2;
            y = s.baseOutput;
            if (transient && !s.impulse.empty() && k >= 0 && k <= m) {
                std::vector<double>& x = s.history;
                const std::vector<double>& h = s.impulse;
                if (!s.historyPrimed) {
                    // Before the run's start the input stood at its operating
                    // point: those slots carry it, so they add nothing.
                    const int64_t first = static_cast<int64_t>(std::floor(s.runStart / dt + 0.5));
                    for (int64_t j = 0; j < first && j < static_cast<int64_t>(x.size()); ++j)
                        x[static_cast<size_t>(j)] = s.baseInput;
                    s.historyPrimed = 1;
                }
                if (kr >= 0 && kr < static_cast<int64_t>(x.size())) x[static_cast<size_t>(kr)] = dt * u;
                double sum = 0.0;
                for (int64_t j = 0; j <= k; ++j) {
                    const size_t n = static_cast<size_t>(k - j);
                    sum += (frac * h[n + 1] + (1.0 - frac) * h[n]) * (x[static_cast<size_t>(j)] - s.baseInput);
                }
                y += sum + frac * h[0] * (dt * u - s.baseInput);
            }
        }
        const bool outputMoved = SourceNotConverged(state.Options, state.NonConvergedCount, kind, s.lastOutput, y);
        const bool inputMoved = SourceNotConverged(state.Options, state.NonConvergedCount, kind, s.lastInput, u);
        if (outputMoved || inputMoved)
            RecordFailure(state.Failures, &s, table_ ? kBhFailureLaplaceTable : kBhFailureLaplace, 0.0, state.Time);
        bh_LoadOutputOffset(state, kind, s.outPlus, s.outMinus, s.branch, y);
        if (stamping) StampControlledSource(state.Cursor, kind, gain);
        bh_Power(state, s, bh_OutputCurrent(state, kind, s.branch, s.lastOutput), s.outPlus, s.outMinus, &s.pinCurrent);
        return 0;
    });
}

// ---- sample-and-hold -----------------------------------------------------------------------------------

int SampleHoldLoads::Reserve(SimulatorState& state) {
    if (!bh_Reservable(state)) return kBhReserveUnavailable;
    EntryList& entries = *state.Entries();
    return bh_Walk<SampleHoldRecord>(state, kListSampleHolds, [&](SampleHoldRecord& s) {
        return ReserveBranch(entries, s.branch, s.outPlus, s.outMinus);
    });
}

int SampleHoldLoads::Load(SimulatorState& state) {
    if (!state.Circuit) return 0;
    bh_PublishToFormulas(state);
    const bool stamping = bh_Stamping(state);
    const bool dc = bh_DcSolution(state);
    const double tolerance = state.Options.reltol * 0.001;
    return bh_Walk<SampleHoldRecord>(state, kListSampleHolds, [&](SampleHoldRecord& s) {
        if (s.sample.compiled.TokenCount() > 0) {
            double trigger = 0.0;
            if (int rc = bh_Evaluate(s.sample, &trigger)) return rc;
            if (trigger != 0.0)
                if (int rc = bh_Evaluate(s.input, &s.heldValue)) return rc;
        } else {
            // A period the set-up could not check (none given with a sample
            // formula that is empty) samples every thousandth of the run.
            const double period = s.period > 0.0 ? s.period : (state.Tmax > 0.0 ? state.Tmax * 0.001 : 0.0);
            bool samples = dc || s.acceptedPoints == 0 || !(period > 0.0);
            if (!samples) {
                const double window = state.Tmax * tolerance;
                const double n = std::floor(state.Time / period + 0.001);
                samples =
                    std::fabs(state.Time - n * period) < window || std::fabs(state.Time - (n + 1.0) * period) < window;
            }
            if (samples) {
                if (int rc = bh_Evaluate(s.input, &s.heldValue)) return rc;
                const double v = bh_At(state.Solution, s.outPlus) - bh_At(state.Solution, s.outMinus);
                if (state.IterationCount <= 1 ||
                    std::fabs(s.heldValue - v) > tolerance * std::max(std::fabs(s.heldValue), std::fabs(v))) {
                    ++state.NonConvergedCount;
                    RecordFailure(state.Failures, &s, kBhFailureSampleHold, 0.0, state.Time);
                }
            }
        }
        if (stamping && static_cast<size_t>(s.branch) < state.Rhs.size())
            StampVoltageSource(state.Cursor, state.Rhs.data(), s.branch, state.SourceScale * s.heldValue);
        bh_Power(state, s, bh_At(state.Solution, s.branch), s.outPlus, s.outMinus, &s.pinCurrent);
        return 0;
    });
}

// ---- timers ----------------------------------------------------------------------------------------------

namespace {

void bh_SetOutput(SourceRecord* source, double value) {
    if (!source) return;
    source->dcValue = value;
    source->working = value;
}
double bh_Output(const SourceRecord* source) { return source ? source->dcValue : 0.0; }

}  // namespace

int TimerLoads::Reserve(SimulatorState&) { return 0; }

int TimerLoads::Load(SimulatorState& state) {
    if (!state.Circuit) return 0;
    bh_PublishToFormulas(state);
    return bh_Walk<TimerRecord>(state, kListTimers, [&](TimerRecord& t) {
        double x = 0.0;
        if (t.input.compiled.TokenCount() > 0)
            if (int rc = bh_Evaluate(t.input, &x)) return rc;
        bh_SetOutput(t.outputs[0], (state.Time - bh_Output(t.outputs[2])) * t.elapsedScale);
        return 0;
    });
}

void ResetTimers(SimulatorState& state, double startTime) {
    bh_Walk<TimerRecord>(state, kListTimers, [&](TimerRecord& t) {
        bh_SetOutput(t.outputs[2], startTime);
        t.count = t.initial;
        bh_SetOutput(t.outputs[1], t.initial);
        bh_SetOutput(t.outputs[0], 0.0);
        t.armed = 0;
        return 0;
    });
}

void UpdateTimers(SimulatorState& state) {
    if (state.Circuit) bh_PublishToFormulas(state);
    bh_Walk<TimerRecord>(state, kListTimers, [&](TimerRecord& t) {
        double x = 0.0;
        if (t.input.compiled.TokenCount() > 0 && bh_Evaluate(t.input, &x)) return 0;
        if (!t.armed && x >= 0.99999) {
            t.armed = 1;
            bh_SetOutput(t.outputs[2], state.Time);
            t.count += t.increment;
            if (t.count > t.maximum) t.count = t.maximum;
            if (t.count < t.minimum) t.count = t.minimum;
            bh_SetOutput(t.outputs[1], t.count);
        }
        if (x <= 1e-6) t.armed = 0;
        if (bh_At(state.Solution, t.nodes[3]) >= 0.9999999) {
            t.count = t.initial;
            bh_SetOutput(t.outputs[1], t.initial);
            bh_SetOutput(t.outputs[0], 0.0);
        }
        return 0;
    });
}

// ---- windings on magnetic cores -------------------------------------------------------------------------

namespace {

constexpr int32_t kBhFailureCoreLimit = 19;
constexpr int32_t kBhFailureCoreMoving = 20;

double bh_WindingCurrent(const SimulatorState& state, const InductorRecord& l) {
    return state.InitialConditionLoad && l.icGiven ? l.ic : bh_At(state.Solution, l.branch);
}

}  // namespace

int CoreWindingLoads::SolveCores(SimulatorState& state) {
    state.CoreStepFactor = 1e30;
    return bh_Walk<InductorCouplingRecord>(state, kListInductorCouplings, [&](InductorCouplingRecord& k) {
        if (!k.model) return 0;
        const CoreParameters parameters = CoreParametersOf(k.model);
        double applied = 0.0;
        for (const InductorRecord* l : k.inductors)
            applied += WindingField(parameters, l->working, bh_WindingCurrent(state, *l));
        k.core.appliedField = applied;
        CoreSolveOptions options;
        options.reltol = state.Options.reltol;
        options.abstol = state.Options.abstol;
        options.compareIterations =
            (state.IterationCount > 0 || bh_DcSolution(state)) && state.IterationMode != kModeInitFix;
        const CoreSolveResult result = SolveMagnetization(k.core, parameters, options);
        if (!result.converged) {
            ++state.NonConvergedCount;
            RecordFailure(state.Failures, &k, kBhFailureCoreLimit, 0.0, state.Time);
        } else if (result.magnetizationMoved) {
            ++state.NonConvergedCount;
            RecordFailure(state.Failures, &k, kBhFailureCoreMoving, k.core.magnetization, state.Time);
        } else if (state.NonConvergedCount == 0) {
            state.CoreStepFactor = std::min(state.CoreStepFactor, result.stepFactor);
        }
        return 0;
    });
}

void CoreWindingLoads::Winding(const InductorCouplingRecord& coupling, const InductorRecord& winding,
                               double coefficient, double& inductance, double& flux) {
    const CoreParameters parameters = CoreParametersOf(coupling.model);
    inductance = WindingInductance(coupling.core, parameters, winding.working);
    flux = WindingFlux(coupling.core, parameters, winding.working, coefficient);
}

void UpdateCoreStates(SimulatorState& state, int mode) {
    bh_Walk<InductorCouplingRecord>(state, kListInductorCouplings, [&](InductorCouplingRecord& k) {
        if (k.model) UpdateCoreState(k.core, mode);
        return 0;
    });
}

// ---- run events ----------------------------------------------------------------------------------------

int BehaviouralRunEvents::RunStarting(SimulatorState& state, const TransientRun& run) {
    const bool keepBaselines = run.StateVariablesMode != kStatesZero;
    for (int list : {kListLaplaceSources, kListLaplaceTableSources}) {
        bh_Walk<LaplaceSourceRecord>(state, list, [&](LaplaceSourceRecord& s) {
            std::vector<double>().swap(s.impulse);
            std::vector<double>().swap(s.history);
            s.runStart = run.Tmin;
            s.historyPrimed = 0;
            if (!keepBaselines) s.baseInput = s.baseOutput = 0.0;
            return 0;
        });
    }
    bh_Walk<SampleHoldRecord>(state, kListSampleHolds, [&](SampleHoldRecord& s) {
        s.heldValue = s.savedHeldValue = 0.0;
        s.acceptedPoints = 0;
        return 0;
    });
    ResetTimers(state, run.Tmin);
    if (!keepBaselines) UpdateCoreStates(state, 0);
    return 0;
}

int BehaviouralRunEvents::AddBreakpoints(SimulatorState& state, TransientRun& run) {
    const double tick = state.Tick;
    if (!(tick > 0.0)) return 0;
    const double w = 10.0 * state.Options.reltol;
    const double end = (1.0 + state.Options.reltol) * run.Tmax;
    return bh_Walk<SampleHoldRecord>(state, kListSampleHolds, [&](SampleHoldRecord& s) {
        if (s.sample.compiled.TokenCount() > 0) return 0;
        const double p = s.period > 0.0 ? s.period : run.Tmax * 0.001;
        if (!(p > 0.0)) return 0;
        // Times are multiples of the period, not a running sum: the loop ends
        // after a known count however small the period.
        for (int64_t n = 1; n <= kBhMaxSampleBreakpoints; ++n) {
            const double t = run.Tmin + static_cast<double>(n) * p;
            if (!(t <= end) || std::ceil(t / tick) > static_cast<double>(kEndTick) + 10.0) break;
            if (int rc = run.Breakpoints.Add(TicksUp(t - w * p, tick), 0, 0, kBreakAnalog)) return rc;
            if (int rc = run.Breakpoints.Add(TicksUp(t, tick), 0, 0, kBreakAnalog)) return rc;
        }
        return 0;
    });
}

void BehaviouralRunEvents::PointAccepted(SimulatorState& state, const TransientRun& run) {
    UpdateTimers(state);
    UpdateCoreStates(state, 1);
    bh_Walk<SampleHoldRecord>(state, kListSampleHolds, [&](SampleHoldRecord& s) {
        s.savedHeldValue = s.heldValue;
        s.acceptedPoints = run.AcceptedPoints;
        return 0;
    });
    bh_Walk<TableSourceRecord>(state, kListTableSources, [&](TableSourceRecord& s) {
        s.acceptedSegment = s.segment;
        s.acceptedInput = s.lastInput;
        return 0;
    });
}

void BehaviouralRunEvents::PointRejected(SimulatorState& state) {
    UpdateCoreStates(state, 2);
    bh_Walk<SampleHoldRecord>(state, kListSampleHolds, [&](SampleHoldRecord& s) {
        s.heldValue = s.savedHeldValue;
        return 0;
    });
}

// ---- small-signal AC loads -------------------------------------------------------------------------

namespace {

// The generated power of a controlled output: S = -V x I with I the output current.
void bh_ControlledAcPower(AcStamps& ac, DeviceRecord& d, int kind, ComplexNumber gain, int32_t cPlus, int32_t cMinus,
                          int32_t branch, int32_t oPlus, int32_t oMinus) {
    d.acPower[0] = d.acPower[1] = d.acPower[2] = ComplexNumber{0.0, 0.0};
    ComplexNumber i{0.0, 0.0};
    switch (kind) {
    case kVoltageControlledCurrent: ac.TransconductanceResult(d, cPlus, cMinus, oPlus, oMinus, gain); return;
    case kCurrentControlledCurrent: {
        const ComplexNumber x = ac.V(branch);
        i = ComplexNumber{x.re * gain.re - x.im * gain.im, x.re * gain.im + x.im * gain.re};
        break;
    }
    case kVoltageControlledVoltage: i = ac.V(branch); break;
    case kCurrentControlledVoltage: i = ac.V(branch + 1); break;
    default: return;
    }
    const ComplexNumber v = ac.Diff(oPlus, oMinus);
    ac.AddPower(d, kPowerGenerated, ComplexNumber{-(v.re * i.re - v.im * i.im), -(v.re * i.im + v.im * i.re)});
}

// Laplace sources: H at the analysis frequency as a complex gain.
class bh_LaplaceAc final : public AcKindLoads {
public:
    explicit bh_LaplaceAc(bool table) : table_(table) {}
    int LoadAc(AcStamps& ac) override {
        return bh_Walk<LaplaceSourceRecord>(ac.State(), List(), [&](LaplaceSourceRecord& s) {
            std::complex<double> h;
            if (int rc = LaplaceTransferValue(s, table_, ac.frequency, 0.0, &h)) return rc;
            ac.ControlledSource(bh_ControlKind(s.componentType, 31), true, true, s.branch, s.branch + 1, s.inPlus,
                                s.inMinus, s.outPlus, s.outMinus, ComplexNumber{h.real(), h.imag()});
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return bh_Walk<LaplaceSourceRecord>(ac.State(), List(), [&](LaplaceSourceRecord& s) {
            std::complex<double> h;
            if (int rc = LaplaceTransferValue(s, table_, ac.frequency, 0.0, &h)) return rc;
            bh_ControlledAcPower(ac, s, bh_ControlKind(s.componentType, 31), ComplexNumber{h.real(), h.imag()},
                                 s.inPlus, s.inMinus, s.branch, s.outPlus, s.outMinus);
            return 0;
        });
    }

private:
    int List() const { return table_ ? kListLaplaceTableSources : kListLaplaceSources; }
    bool table_;
};

// Table sources: the slope of the bias point's segment.
class bh_TableAc final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        return bh_Walk<TableSourceRecord>(ac.State(), kListTableSources, [&](TableSourceRecord& s) {
            ac.ControlledSource(bh_ControlKind(s.componentType, 39), true, true, s.branch, s.branch + 1, s.inPlus,
                                s.inMinus, s.outPlus, s.outMinus, ComplexNumber{s.slope, 0.0});
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return bh_Walk<TableSourceRecord>(ac.State(), kListTableSources, [&](TableSourceRecord& s) {
            bh_ControlledAcPower(ac, s, bh_ControlKind(s.componentType, 39), ComplexNumber{s.slope, 0.0}, s.inPlus,
                                 s.inMinus, s.branch, s.outPlus, s.outMinus);
            return 0;
        });
    }
};

// Function sources: the partial derivatives of the bias point's last load,
// or, with a FREQ formula, the formula linearised at the present AC solution
// (which makes the point iterate until the solution stops moving).
bool bh_HasAcFormula(const FunctionSourceRecord& s) { return s.acValue.compiled.tokens.count > 0; }

// The complex gain of one unknown of a FREQ formula whose value is f: only
// the real part is perturbed, and the quotient taken as the complex slope.
int bh_AcGain(FunctionSourceRecord& s, ComplexNumber& unknown, ComplexNumber f, ComplexNumber& gain,
              ComplexNumber& constant) {
    if (unknown.re != 0.0 && std::fabs(unknown.re) < 1e-50) unknown.re = std::copysign(1e-50, unknown.re);
    const ComplexNumber x = unknown;
    const double delta = x.re != 0.0 ? 1e-6 * x.re : 1e-6;
    ComplexNumber f1{0.0, 0.0};
    {
        struct Restore {
            ComplexNumber& entry;
            ComplexNumber value;
            ~Restore() { entry = value; }
        } restore{unknown, x};
        unknown.re = x.re + delta;
        if (int rc = EvaluateExpression(&s.acValue.compiled, &f1)) return rc;
    }
    gain = ComplexNumber{(f1.re - f.re) / delta, (f1.im - f.im) / delta};
    constant.re -= gain.re * x.re - gain.im * x.im;
    constant.im -= gain.re * x.im + gain.im * x.re;
    return 0;
}

class bh_FunctionAc final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        SimulatorState& state = ac.State();
        const int32_t nodes = state.NodeCount;
        return bh_Walk<FunctionSourceRecord>(state, kListFunctionSources, [&](FunctionSourceRecord& s) {
            const bool voltage = s.componentType == kBhTypeNfv;
            if (voltage) ac.Branch(s.branch, s.outPlus, s.outMinus);
            if (!bh_HasAcFormula(s)) {
                for (const FunctionDependency& d : s.dependencies) {
                    if (voltage) {
                        ac.Real(s.branch, d.slot, -d.derivative);
                    } else if (d.slot <= nodes) {
                        ac.Transconductance(s.outPlus, s.outMinus, d.slot, 0, d.derivative);
                    } else {
                        ac.Real(s.outPlus, d.slot, d.derivative);
                        ac.Real(s.outMinus, d.slot, -d.derivative);
                    }
                }
                return 0;
            }
            ac.iterationRequested = true;
            ComplexNumber f{0.0, 0.0};
            if (int rc = EvaluateExpression(&s.acValue.compiled, &f)) return rc;
            s.acOutput = f;
            ComplexNumber constant = f;
            for (int32_t h : s.acDependencies) {
                ComplexNumber g{0.0, 0.0};
                if (h >= 0 && static_cast<size_t>(h) < state.AcSolution.size())
                    if (int rc = bh_AcGain(s, state.AcSolution[h], f, g, constant)) return rc;
                if (voltage) {
                    ac.Real(s.branch, h, -g.re);
                    ac.Imag(s.branch, h, -g.im);
                } else if (h <= nodes) {
                    ac.Transadmittance(s.outPlus, s.outMinus, h, 0, g);
                } else {
                    ac.Real(s.outPlus, h, g.re);
                    ac.Real(s.outMinus, h, -g.re);
                    ac.Imag(s.outPlus, h, g.im);
                    ac.Imag(s.outMinus, h, -g.im);
                }
            }
            if (voltage) {
                ac.AddRhs(s.branch, constant);
            } else {
                ac.AddRhs(s.outPlus, ComplexNumber{-constant.re, -constant.im});
                ac.AddRhs(s.outMinus, constant);
            }
            return 0;
        });
    }
    int AcResults(AcStamps& ac) override {
        return bh_Walk<FunctionSourceRecord>(ac.State(), kListFunctionSources, [&](FunctionSourceRecord& s) {
            s.acPower[0] = s.acPower[1] = s.acPower[2] = ComplexNumber{0.0, 0.0};
            ComplexNumber i{0.0, 0.0};
            if (s.componentType == kBhTypeNfv) {
                i = ac.V(s.branch);
            } else if (bh_HasAcFormula(s)) {
                i = s.acOutput;
            } else {
                for (const FunctionDependency& d : s.dependencies) {
                    const ComplexNumber x = ac.V(d.slot);
                    i.re += d.derivative * x.re;
                    i.im += d.derivative * x.im;
                }
            }
            const ComplexNumber v = ac.Diff(s.outPlus, s.outMinus);
            ac.AddPower(s, kPowerGenerated, ComplexNumber{-(v.re * i.re - v.im * i.im), -(v.re * i.im + v.im * i.re)});
            return 0;
        });
    }
};

// The noise current an NFI's noise formula gives at the run's frequency,
// between its output terminals; a value of exactly 0 adds nothing.
class bh_FunctionNoise final : public NoiseKindSources {
public:
    int AddNoiseSources(NoiseSink& sink) override {
        return bh_Walk<FunctionSourceRecord>(sink.State(), kListFunctionSources, [&](FunctionSourceRecord& s) {
            if (s.noise.compiled.tokens.count == 0) return 0;
            double amplitude = 0.0;
            if (int rc = bh_Evaluate(s.noise, &amplitude)) return rc;
            if (amplitude != 0.0) sink.Add(amplitude, s.outPlus, s.outMinus);
            return 0;
        });
    }
};

}  // namespace

// ---- installation ------------------------------------------------------------------------------------

void InstallBehaviouralLoads() {
    static FunctionSourceLoads functions;
    static TableSourceLoads tables;
    static LaplaceSourceLoads laplace(false);
    static LaplaceSourceLoads laplaceTables(true);
    static SampleHoldLoads sampleHolds;
    static TimerLoads timers;
    static CoreWindingLoads cores;
    static BehaviouralRunEvents events;
    InstallDeviceKindLoads(kRowFunctionSources, &functions);
    InstallDeviceKindLoads(kRowTableSources, &tables);
    InstallDeviceKindLoads(kRowLaplaceSources, &laplace);
    InstallDeviceKindLoads(kRowLaplaceTableSources, &laplaceTables);
    InstallDeviceKindLoads(kRowSampleHolds, &sampleHolds);
    InstallDeviceKindLoads(kRowTimers, &timers);
    InstallWindingCores(&cores);
    InstallTransientDeviceEvents(&events);
    static bh_FunctionAc functionsAc;
    static bh_TableAc tablesAc;
    static bh_LaplaceAc laplaceAc(false);
    static bh_LaplaceAc laplaceTablesAc(true);
    InstallAcKindLoads(kRowFunctionSources, &functionsAc);
    static bh_FunctionNoise functionsNoise;
    InstallNoiseKindSources(kRowFunctionSources, &functionsNoise);
    InstallAcKindLoads(kRowTableSources, &tablesAc);
    InstallAcKindLoads(kRowLaplaceSources, &laplaceAc);
    InstallAcKindLoads(kRowLaplaceTableSources, &laplaceTablesAc);
}
