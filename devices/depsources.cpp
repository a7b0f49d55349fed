#include "devices/depsources.h"

#include <cmath>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/devicelist.h"
#include "expr/runvars.h"

namespace {

constexpr int32_t kPolyG = 50;
constexpr int32_t kPolyF = 51;
constexpr int32_t kPolyE = 52;
constexpr int32_t kPolyH = 53;
constexpr int32_t kFailurePolyOutput = 23;
constexpr int32_t kFailurePolyInput = 24;
constexpr int kReserveUnavailable = 101;

template <class Record, class F>
int ds_Walk(SimulatorState& state, int list, F visit) {
    if (!state.Circuit) return 0;
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(*static_cast<Record*>(item))) return rc;
    }
    return 0;
}

bool ds_Reservable(const SimulatorState& state) { return state.Circuit && state.Entries() && state.Matrix(); }
bool ds_Stamping(const SimulatorState& state) { return state.Installed != nullptr && state.Cursor.Active(); }

double ds_At(const std::vector<double>& vector, int32_t equation) {
    return equation > 0 && static_cast<size_t>(equation) < vector.size() ? vector[static_cast<size_t>(equation)] : 0.0;
}
void ds_AddRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation > 0 && static_cast<size_t>(equation) < state.Rhs.size())
        state.Rhs[static_cast<size_t>(equation)] += value;
}
void ds_SetRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation > 0 && static_cast<size_t>(equation) < state.Rhs.size())
        state.Rhs[static_cast<size_t>(equation)] = value;
}

// Magnitudes held within [1e-30, 1e30], the sign kept; 0 stays 0.
double ds_Clamp(double value) {
    if (value == 0.0) return 0.0;
    const double magnitude = std::fabs(value);
    if (magnitude < 1e-30) return std::copysign(1e-30, value);
    if (magnitude > 1e30) return std::copysign(1e30, value);
    return value;
}

bool ds_VoltageControlled(int32_t kind) { return kind == kPolyG || kind == kPolyE; }
bool ds_VoltageOutput(int32_t kind) { return kind == kPolyE || kind == kPolyH; }

// The control pair of an input: nodes, or the controlling branch and ground.
void ds_InputEquations(const PolySourceRecord& source, const PolyInput& input, int32_t* plus, int32_t* minus) {
    if (ds_VoltageControlled(source.sourceKind)) {
        *plus = input.positive;
        *minus = input.negative;
    } else {
        *plus = input.branch ? *input.branch : 0;
        *minus = 0;
    }
}

// The value of one input for the present load mode; `flagged` tells that it
// was not taken from the present iterate (or was limited).
double ds_ControllingValue(const SimulatorState& state, int32_t plus, int32_t minus, double initial, bool* flagged) {
    const double v = ds_At(state.Solution, plus) - ds_At(state.Solution, minus);
    double candidate = v;
    switch (state.IterationMode) {
    case kModeInitJunction:
        // Not flagged: the next load compares its output with the one made
        // from these values, so no iteration ends on them.
        candidate = initial;
        break;
    case kModeInitSmallSignal: *flagged = true; break;
    case kModeInitTransient:
        candidate = ds_At(state.LastSolution, plus) - ds_At(state.LastSolution, minus);
        *flagged = true;
        break;
    case kModeInitPredictor:
        candidate = (1.0 + state.StepRatio) * (ds_At(state.LastSolution, plus) - ds_At(state.LastSolution, minus)) -
                    state.StepRatio * (ds_At(state.OlderSolution, plus) - ds_At(state.OlderSolution, minus));
        break;
    default: break;
    }
    // A predicted value far from the present iterate moves towards it by at
    // most a tenth of its size (at least 0.1).
    if (std::fabs(candidate) > 1.0 && std::fabs(candidate - v) > 0.1) {
        const double step = std::fmin(std::fabs(candidate - v), std::fmax(0.1 * std::fabs(v), 0.1));
        candidate = v + std::copysign(step, candidate - v);
        *flagged = true;
    }
    return candidate;
}

}  // namespace

// ---- polynomial evaluation ------------------------------------------------------------------------

void NextPolyExponents(int n, std::vector<int>& e) {
    if (n < 1 || e.size() < static_cast<size_t>(n) + 1) return;
    if (n == 1) {
        ++e[1];
        return;
    }
    int k = 0;
    for (int i = n; i >= 1 && !k; --i)
        if (e[static_cast<size_t>(i)] != 0) k = i;
    if (k == 0) {
        ++e[1];
        return;
    }
    if (k < n) {
        --e[static_cast<size_t>(k)];
        ++e[static_cast<size_t>(k) + 1];
        return;
    }
    bool earlierZero = true;
    for (int i = 1; i < n; ++i) earlierZero = earlierZero && e[static_cast<size_t>(i)] == 0;
    if (earlierZero) {
        e[1] = e[static_cast<size_t>(n)] + 1;
        e[static_cast<size_t>(n)] = 0;
        return;
    }
    // Gather the trailing exponents, moving left to the first position whose
    // left neighbour holds one; the sum plus one moves there.
    int sum = 0;
    while (true) {
        sum += e[static_cast<size_t>(k)];
        e[static_cast<size_t>(k)] = 0;
        if (e[static_cast<size_t>(k) - 1] >= 1) break;
        --k;
    }
    e[static_cast<size_t>(k)] = sum + 1;
    --e[static_cast<size_t>(k) - 1];
}

double IntegerPower(double x, int k) {
    switch (k) {
    case 0: return 1.0;
    case 1: return x;
    case 2: return x * x;
    case 3: return x * x * x;
    case 4: return x * x * x * x;
    default: return x == 0.0 ? 0.0 : std::pow(x, k);
    }
}

double PolyValue(const PolySourceRecord& source, int j) {
    const int n = source.inputCount;
    if (source.coefficients.size() < 2 || source.inputs.size() < static_cast<size_t>(n) + 1) return 0.0;
    std::vector<int> exponents(static_cast<size_t>(n) + 1, 0);
    double sum = j == 0 ? source.coefficients[1] : 0.0;
    const int count = source.coefficientCount;
    for (int c = 2; c <= count && static_cast<size_t>(c) < source.coefficients.size(); ++c) {
        NextPolyExponents(n, exponents);
        const double coefficient = source.coefficients[static_cast<size_t>(c)];
        if (coefficient == 0.0) continue;
        if (j > 0 && exponents[static_cast<size_t>(j)] == 0) continue;
        double term = coefficient;
        for (int i = 1; i <= n; ++i) {
            const double x = source.inputs[static_cast<size_t>(i)].value;
            const int k = exponents[static_cast<size_t>(i)];
            if (i == j) {
                term *= k * IntegerPower(x, k - 1);
            } else {
                term *= IntegerPower(x, k);
            }
        }
        sum += term;
    }
    return ds_Clamp(sum);
}

// ---- polynomial sources ----------------------------------------------------------------------------

int PolySourceLoads::Reserve(SimulatorState& state) {
    if (!ds_Reservable(state)) return kReserveUnavailable;
    EntryList& entries = *state.Entries();
    return ds_Walk<PolySourceRecord>(state, kListPolySources, [&](PolySourceRecord& s) {
        const int32_t a = s.outPlus, b = s.outMinus, q = s.branch;
        if (ds_VoltageOutput(s.sourceKind))
            if (int rc = ReserveBranch(entries, q, a, b)) return rc;
        for (int i = 1; i <= s.inputCount; ++i) {
            int32_t plus = 0, minus = 0;
            ds_InputEquations(s, s.inputs[static_cast<size_t>(i)], &plus, &minus);
            int rc = 0;
            switch (s.sourceKind) {
            case kPolyG: rc = ReserveTransconductance(entries, plus, minus, a, b); break;
            case kPolyF:
                rc = ReserveEntry(entries, a, plus);
                if (!rc) rc = ReserveEntry(entries, b, plus);
                break;
            case kPolyE:
                rc = ReserveEntry(entries, q, plus);
                if (!rc) rc = ReserveEntry(entries, q, minus);
                break;
            case kPolyH: rc = ReserveEntry(entries, q, plus); break;
            default: break;
            }
            if (rc) return rc;
        }
        return 0;
    });
}

int PolySourceLoads::Load(SimulatorState& state) {
    const bool stamping = ds_Stamping(state);
    const GlobalSettingValues& options = state.Options;
    return ds_Walk<PolySourceRecord>(state, kListPolySources, [&](PolySourceRecord& s) {
        const int32_t a = s.outPlus, b = s.outMinus, q = s.branch;
        bool flagged = false;
        for (int i = 1; i <= s.inputCount; ++i) {
            PolyInput& input = s.inputs[static_cast<size_t>(i)];
            int32_t plus = 0, minus = 0;
            ds_InputEquations(s, input, &plus, &minus);
            input.value = ds_ControllingValue(state, plus, minus, input.initial, &flagged);
        }
        const double y = PolyValue(s, 0);
        if (flagged || state.IterationMode == kModeInitPredictor) {
            ++state.NonConvergedCount;
            RecordFailure(state.Failures, &s, kFailurePolyInput, 0.0, state.Time);
        } else {
            bool diverged;
            if (ds_VoltageOutput(s.sourceKind)) {
                diverged = !VoltageConverged(options, y, s.lastOutput);
            } else {
                const bool tiny = std::fabs(y) < options.vntol && std::fabs(s.lastOutput) < options.vntol;
                diverged =
                    !tiny && std::fabs(y - s.lastOutput) >
                                 options.abstol + options.reltol * std::fmax(std::fabs(y), std::fabs(s.lastOutput));
            }
            if (diverged) {
                ++state.NonConvergedCount;
                RecordFailure(state.Failures, &s, kFailurePolyOutput, s.lastOutput, state.Time);
            }
        }
        s.lastOutput = y;

        if (stamping && ds_VoltageOutput(s.sourceKind)) {
            state.Cursor.Stamp(1.0);
            state.Cursor.Stamp(-1.0);
            state.Cursor.Stamp(1.0);
            state.Cursor.Stamp(-1.0);
        }
        double r = y;
        for (int i = 1; i <= s.inputCount; ++i) {
            PolyInput& input = s.inputs[static_cast<size_t>(i)];
            const double g = PolyValue(s, i);
            input.gain = g;
            r -= g * input.value;
            if (!stamping) continue;
            switch (s.sourceKind) {
            case kPolyG:
                state.Cursor.Stamp(g);
                state.Cursor.Stamp(-g);
                state.Cursor.Stamp(-g);
                state.Cursor.Stamp(g);
                break;
            case kPolyF:
                state.Cursor.Stamp(g);
                state.Cursor.Stamp(-g);
                break;
            case kPolyE:
                state.Cursor.Stamp(-g);
                state.Cursor.Stamp(g);
                break;
            case kPolyH: state.Cursor.Stamp(-g); break;
            default: break;
            }
        }
        if (ds_VoltageOutput(s.sourceKind)) {
            ds_SetRhs(state, q, r);
        } else {
            ds_AddRhs(state, a, -r);
            ds_AddRhs(state, b, r);
        }
        if (s.quantityRefs || s.powerRefs) {
            const double v = ds_At(state.Solution, a) - ds_At(state.Solution, b);
            const double i = ds_VoltageOutput(s.sourceKind) ? ds_At(state.Solution, q) : s.lastOutput;
            s.pinCurrent = i;
            s.power[kPowerGenerated] = ComplexNumber{-v * i, 0.0};
            state.Power.PowerGenerated += -v * i;
        }
        return 0;
    });
}

// ---- linear dependent sources -------------------------------------------------------------------

int LinearDependentLoads::Reserve(SimulatorState& state) {
    if (!ds_Reservable(state)) return kReserveUnavailable;
    EntryList& entries = *state.Entries();
    return ds_Walk<LinearDependentRecord>(state, kListDependentSources, [&](LinearDependentRecord& s) {
        return ReserveControlledSource(entries, s.componentType - 26, s.branch, s.controlPlus, s.controlMinus,
                                       s.outPlus, s.outMinus);
    });
}

int LinearDependentLoads::Load(SimulatorState& state) {
    const bool stamping = ds_Stamping(state);
    return ds_Walk<LinearDependentRecord>(state, kListDependentSources, [&](LinearDependentRecord& s) {
        const int kind = s.componentType - 26;
        if (stamping) StampControlledSource(state.Cursor, kind, s.gain);
        if (s.quantityRefs || s.powerRefs) {
            const double v = ds_At(state.Solution, s.outPlus) - ds_At(state.Solution, s.outMinus);
            double i = 0.0;
            switch (kind) {
            case kVoltageControlledCurrent:
                i = s.gain * (ds_At(state.Solution, s.controlPlus) - ds_At(state.Solution, s.controlMinus));
                break;
            case kCurrentControlledCurrent: i = s.gain * ds_At(state.Solution, s.branch); break;
            case kVoltageControlledVoltage: i = ds_At(state.Solution, s.branch); break;
            default: i = ds_At(state.Solution, s.branch + 1); break;
            }
            s.power[kPowerGenerated] = ComplexNumber{-v * i, 0.0};
            state.Power.PowerGenerated += -v * i;
        }
        return 0;
    });
}

// ---- ideal transmission lines ---------------------------------------------------------------------

namespace {

// A DC solution runs on the DC matrix, whose line branches tie the ports
// together instead of carrying delayed waves.
bool ds_DcMode(const SimulatorState& state) { return state.Installed == &state.DcPair; }

double ds_FloorTiny(double value) {
    if (value != 0.0 && std::fabs(value) < 1e-50) return std::copysign(1e-50, value);
    return value;
}

double ds_WaveFromA(const SimulatorState& state, const IdealLineRecord& line) {
    return 2.0 * ds_At(state.Solution, line.portAPlus) - ds_At(state.Solution, line.portAMinus) -
           ds_At(state.Solution, line.internalA);
}
double ds_WaveFromB(const SimulatorState& state, const IdealLineRecord& line) {
    return 2.0 * ds_At(state.Solution, line.portBPlus) - ds_At(state.Solution, line.portBMinus) -
           ds_At(state.Solution, line.internalB);
}

void ds_StampUnits(EntryCursor& cursor, double first) {
    cursor.Stamp(first);
    cursor.Stamp(-first);
    cursor.Stamp(first);
    cursor.Stamp(-first);
}

}  // namespace

int IdealLineLoads::Reserve(SimulatorState& state) {
    if (!ds_Reservable(state)) return kReserveUnavailable;
    EntryList& entries = *state.Entries();
    int rc = ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        int r = ReserveConductance(entries, l.portAPlus, l.internalA);
        if (!r) r = ReserveConductance(entries, l.portBPlus, l.internalB);
        if (!r) r = ReserveConductance(entries, l.portAPlus, l.portAMinus);
        if (!r) r = ReserveConductance(entries, l.portBPlus, l.portBMinus);
        return r;
    });
    if (rc) return rc;
    const bool dc = ds_DcMode(state);
    return ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        auto tie = [&](int32_t branch, int32_t plus, int32_t minus, int32_t internal) {
            int r = ReserveEntry(entries, branch, plus);
            if (!r) r = ReserveEntry(entries, branch, minus);
            if (!r) r = ReserveEntry(entries, branch, plus);
            if (!r) r = ReserveEntry(entries, branch, internal);
            return r;
        };
        int r = dc ? tie(l.branchA, l.portBPlus, l.portBMinus, l.internalB) : 0;
        if (!r) r = ReserveBranch(entries, l.branchA, l.internalA, l.portAMinus);
        if (!r && dc) r = tie(l.branchB, l.portAPlus, l.portAMinus, l.internalA);
        if (!r) r = ReserveBranch(entries, l.branchB, l.internalB, l.portBMinus);
        return r;
    });
}

int IdealLineLoads::Load(SimulatorState& state) {
    const bool stamping = ds_Stamping(state);
    const double gmin = state.Options.gmin;
    ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        const double g = 1.0 / std::fmax(l.impedance, state.Options.rmin);
        if (stamping) {
            StampConductance(state.Cursor, g);
            StampConductance(state.Cursor, g);
            StampConductance(state.Cursor, gmin);
            StampConductance(state.Cursor, gmin);
        }
        return 0;
    });
    const bool dc = ds_DcMode(state);
    ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        // The line starts in the steady state of the solution it is given.
        if (!dc && state.Time == RunVars.tmin) {
            l.waveIntoB = ds_WaveFromA(state, l);
            l.waveIntoA = ds_WaveFromB(state, l);
        }
        if (l.quantityRefs) {
            l.pinCurrentA = ds_At(state.Solution, l.branchA);
            l.pinCurrentB = ds_At(state.Solution, l.branchB);
        }
        if (l.powerRefs) {
            l.powerStored = (ds_At(state.Solution, l.portBPlus) - ds_At(state.Solution, l.portBMinus)) *
                                ds_At(state.Solution, l.branchB) +
                            (ds_At(state.Solution, l.portAPlus) - ds_At(state.Solution, l.portAMinus)) *
                                ds_At(state.Solution, l.branchA);
            l.power[kPowerStored] = ComplexNumber{l.powerStored, 0.0};
            state.Power.PowerStored += l.powerStored;
        }
        if (!dc) {
            ds_SetRhs(state, l.branchA, state.SourceScale * l.waveIntoA);
            ds_SetRhs(state, l.branchB, state.SourceScale * l.waveIntoB);
        }
        if (!stamping) return 0;
        if (dc) ds_StampUnits(state.Cursor, -1.0);
        ds_StampUnits(state.Cursor, 1.0);
        if (dc) ds_StampUnits(state.Cursor, -1.0);
        ds_StampUnits(state.Cursor, 1.0);
        return 0;
    });
    return 0;
}

void UpdateIdealLineWaves(SimulatorState& state) {
    if (state.Circuit) UpdateIdealLineWaves(*state.Circuit, state.Time);
}

void UpdateIdealLineWaves(CompiledCircuit& circuit, double t) {
    for (PoolItem* item = circuit.devices[kListIdealLines].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        IdealLineRecord& l = *static_cast<IdealLineRecord*>(item);
        const std::vector<LineHistoryRecord>& h = l.history;
        size_t at = 0;
        while (at < h.size() && h[at].time < t) ++at;
        if (at == h.size() || at == 0) continue;  // nothing brackets t: the waves stay
        const LineHistoryRecord& s = h[at - 1];
        const LineHistoryRecord& r = h[at];
        double span = r.time - s.time;
        if (span != 0.0) {
            span = ds_FloorTiny(span);
            const double f = (t - s.time) / span;
            l.waveIntoB = s.waveFromA + (r.waveFromA - s.waveFromA) * f;
            l.waveIntoA = s.waveFromB + (r.waveFromB - s.waveFromB) * f;
        } else {
            l.waveIntoB = 0.5 * (s.waveFromA + r.waveFromA);
            l.waveIntoA = 0.5 * (s.waveFromB + r.waveFromB);
        }
    }
}

int PushLineHistory(SimulatorState& state, IdealLineRecord& line, double tau) {
    const double tmin = RunVars.tmin;
    const bool accepted = tau == tmin || (tau > tmin && (line.history.empty() || tau > line.history.back().time));
    if (!accepted) return 0;
    LineHistoryRecord record;
    record.time = tau;
    record.waveFromA = ds_FloorTiny(ds_WaveFromA(state, line));
    record.waveFromB = ds_FloorTiny(ds_WaveFromB(state, line));
    try {
        line.history.push_back(record);
    } catch (...) {
        return kResultNoMemory;
    }
    // The slopes of the departing waves carry over to the next push. (Slope
    // breaks would post breakpoints at their far-end arrival; the engine has
    // no breakpoint list to take them yet.)
    const double h = state.Formula.TimeStep > 0.0 ? state.Formula.TimeStep : 1.0;
    const double slopeA = (record.waveFromA - line.lastWaveA) / h;
    const double slopeB = (record.waveFromB - line.lastWaveB) / h;
    line.lastWaveA = record.waveFromA;
    line.lastSlopeA = slopeA;
    line.lastWaveB = record.waveFromB;
    line.lastSlopeB = slopeB;
    return 0;
}

int StartLineHistories(SimulatorState& state, double& maxTimeStep) {
    return ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        maxTimeStep = std::fmin(maxTimeStep, l.delay / 2.0);
        return PushLineHistory(state, l, RunVars.tmin);
    });
}

int AdvanceLineHistories(SimulatorState& state) {
    const double t = state.Time;
    return ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        size_t before = 0;
        while (before < l.history.size() && l.history[before].time < t) ++before;
        if (before >= 3) l.history.erase(l.history.begin());
        return PushLineHistory(state, l, t + l.delay);
    });
}

void ReleaseLineHistories(SimulatorState& state) {
    ds_Walk<IdealLineRecord>(state, kListIdealLines, [&](IdealLineRecord& l) {
        l.history.clear();
        l.history.shrink_to_fit();
        return 0;
    });
}

// ---- row objects ------------------------------------------------------------------------------

DeviceKindLoads& PolySourceRowLoads() {
    static PolySourceLoads loads;
    return loads;
}
DeviceKindLoads& LinearDependentRowLoads() {
    static LinearDependentLoads loads;
    return loads;
}
DeviceKindLoads& IdealLineRowLoads() {
    static IdealLineLoads loads;
    return loads;
}
