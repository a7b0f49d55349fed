#include "engine/elements.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>

#include "compiler/compiled.h"
#include "compiler/stmtstate.h"
#include "core/result.h"
#include "engine/integrate.h"
#include "engine/stamps.h"
#include "engine/state.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "models/modeltypes.h"
#include "models/modelstmt.h"

namespace {

constexpr int kElOutOfMemory = 15002;
constexpr int kElBadArgument = 101;
constexpr int kElCouplingOutOfRange = 10836;  // "%EK value must be >= -1.0 and <= 1.0."

// Calls visit(record, position) for every live record of a list, position
// counting from 0.
template <class Record, class Visit>
int ElWalk(SimulatorState& state, int list, Visit visit) {
    int32_t position = 0;
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(static_cast<Record*>(item), position++)) return rc;
    }
    return 0;
}

int32_t ElCount(SimulatorState& state, int list) {
    int32_t count = 0;
    for (PoolItem* item = state.Circuit->devices[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) ++count;
    return count;
}

bool ElSized(std::vector<double>& previous, std::vector<double>& effective, int32_t count) {
    try {
        previous.assign(static_cast<size_t>(count), 0.0);
        effective.assign(static_cast<size_t>(count), 0.0);
        return true;
    } catch (const std::bad_alloc&) {
        previous.clear();
        effective.clear();
        return false;
    }
}

// The value of a solution entry; an equation the vector does not hold (a
// record numbered for another circuit) reads as 0 rather than out of bounds.
double ElSolution(const SimulatorState& state, int32_t equation) {
    if (equation <= 0 || static_cast<size_t>(equation) >= state.Solution.size()) return 0.0;
    return state.Solution[static_cast<size_t>(equation)];
}

void ElAddRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation <= 0 || static_cast<size_t>(equation) >= state.Rhs.size()) return;
    state.Rhs[static_cast<size_t>(equation)] += value;
}

double ElVoltage(const SimulatorState& state, int32_t a, int32_t b) {
    return RaiseTinyVoltage(ElSolution(state, a) - ElSolution(state, b));
}

bool ElHasTokens(const DeviceExpression& expression) { return expression.compiled.tokens.count > 0; }

// Evaluates a value expression; 0 or its error.
int ElEvaluate(DeviceExpression& expression, double& value) {
    ComplexNumber result{0.0, 0.0};
    if (int rc = EvaluateExpression(&expression.compiled, &result)) return rc;
    value = result.re;
    return 0;
}

bool ElAcRun() { return gSolver.AnalysisKind == 1; }

bool ElWantsOutput(const DeviceRecord* record) { return record->quantityRefs != 0 || record->powerRefs != 0; }

// The value test of elements whose value comes from an expression.
void ElTestValue(SimulatorState& state, const DeviceRecord* record, double value, double& previous, int32_t kind) {
    if (!(std::fabs(value - previous) <=
          state.Options.reltol * MaxDouble(std::fabs(value), std::fabs(previous)) + 1e-20)) {
        ++state.NonConvergedCount;
        RecordFailure(state.Failures, record, kind, value, state.Time);
    }
    previous = value;
}

bool ElModelHasValues(const ModelRecord* model) { return model != nullptr && model->Values != nullptr; }

int ElReserveReady(SimulatorState& state) {
    if (state.Circuit == nullptr || state.Entries() == nullptr || state.Matrix() == nullptr) return kElBadArgument;
    return 0;
}

// The stamps of a load go through the installed matrix's cursor; without an
// installed matrix (a load that only computes values) they are skipped.
bool ElStamping(const SimulatorState& state) { return state.Installed != nullptr && state.Cursor.Active(); }

}  // namespace

// ---- resistors -----------------------------------------------------------------------------------

int ReserveResistors(SimulatorState& state, ElementLoadMemory& memory) {
    if (int rc = ElReserveReady(state)) return rc;
    if (!ElSized(memory.resistorPrevious, memory.resistorEffective, ElCount(state, kListResistors)))
        return kElOutOfMemory;
    EntryList& entries = *state.Entries();
    return ElWalk<ResistorRecord>(state, kListResistors, [&](ResistorRecord* r, int32_t) {
        return ReserveConductance(entries, r->node1, r->node2);
    });
}

int LoadResistors(SimulatorState& state, ElementLoadMemory& memory) {
    if (state.Circuit == nullptr) return 0;
    const double rmin = state.Options.rmin;
    const bool acRun = ElAcRun();
    const bool stamping = ElStamping(state);
    return ElWalk<ResistorRecord>(state, kListResistors, [&](ResistorRecord* r, int32_t position) {
        // A resistor added after the reserve has no place in the matrix.
        if (static_cast<size_t>(position) >= memory.resistorPrevious.size()) return kElBadArgument;
        const bool hasExpression = ElHasTokens(r->value);
        if (acRun && ElHasTokens(r->frequency)) {
            double value = r->working;
            if (int rc = ElEvaluate(r->frequency, value)) return rc;
            r->working = ClampToRmin(value, rmin);
        } else if (hasExpression) {
            double value = r->working;
            if (int rc = ElEvaluate(r->value, value)) return rc;
            r->working = ClampToRmin(value, rmin);
        } else {
            r->working = ClampToRmin(r->working, rmin);
        }
        double resistance = r->temperatureFactor * r->working;
        if (ElModelHasValues(r->model)) resistance = ClampToRmin(resistance * r->model->Values[0], rmin);
        // A temperature factor of 0 would put an infinite conductance into the matrix.
        resistance = ClampToRmin(resistance, rmin);
        memory.resistorEffective[static_cast<size_t>(position)] = resistance;
        const double g = 1.0 / resistance;
        if (stamping) StampConductance(state.Cursor, g);
        if (hasExpression)
            ElTestValue(state, r, resistance, memory.resistorPrevious[static_cast<size_t>(position)], kFailureResistor);
        if (ElWantsOutput(r)) {
            const double v = ElVoltage(state, r->node1, r->node2);
            const double power = v * v * g;
            r->power[kPowerDissipated] = ComplexNumber{power, 0.0};
            state.Power.PowerDissipated += power;
        }
        return 0;
    });
}

// ---- switches -------------------------------------------------------------------------------------

namespace {

// Model slots shared by VSWITCH and ISWITCH: RON, ROFF, ON, OFF, T, H.
enum : int { kSwRon = 0, kSwRoff = 1, kSwOn = 2, kSwOff = 3, kSwThreshold = 4, kSwHysteresis = 5 };

// The smooth switch law of S and W: on below/above the on threshold, off
// beyond the off threshold, and between them either the resistance of the
// previous load (a hysteresis switch) or a smooth interpolation in log R.
void ElLoadSmoothSwitch(SimulatorState& state, const DeviceRecord* record, const ModelRecord* model,
                        SmoothSwitchState& sw, int32_t n1, int32_t n2, double control, bool stamping) {
    const double* v = model->Values;
    const bool hysteresis = !IsUnsetValue(v[kSwThreshold]);
    double on = v[kSwOn], off = v[kSwOff];
    if (hysteresis) {
        const double h = IsUnsetValue(v[kSwHysteresis]) ? 0.0 : v[kSwHysteresis];
        on = v[kSwThreshold] + h;
        off = v[kSwThreshold] - h;
    }
    double r;
    if ((on < off && control <= on) || (on > off && control >= on)) {
        sw.state = 2;
        r = v[kSwRon];
    } else if ((on < off && control >= off) || (on > off && control <= off)) {
        sw.state = 3;
        r = v[kSwRoff];
    } else {
        sw.state = 8;
        if (hysteresis) {
            r = sw.resistance;
        } else {
            const double x = control - sw.controlMidpoint;
            const double d = on - off;
            const double m = x * sw.logResistanceRatio;
            const double exponent = std::clamp(3.0 * m / (2.0 * d) + sw.logMidResistance - 2.0 * x * x * m / (d * d * d),
                                               -350.0, 350.0);
            r = std::exp(exponent);
        }
    }
    if (!(r >= state.Options.rmin)) r = state.Options.rmin;
    const double previous = sw.resistance;
    if (std::fabs(previous - r) > state.Options.vntol + state.Options.reltol * MaxDouble(std::fabs(r), std::fabs(previous))) {
        state.NonConvergedCount += 2;
        RecordFailure(state.Failures, record, kFailureSwitch, r, state.Time);
        sw.previousState = sw.state;
    }
    if (sw.state != sw.previousState) {
        ++state.NonConvergedCount;
        RecordFailure(state.Failures, record, kFailureSwitch, r, state.Time);
        sw.previousState = sw.state;
    }
    const double g = 1.0 / r;
    if (stamping) StampConductance(state.Cursor, g);
    sw.resistance = r;
    if (ElWantsOutput(record)) {
        const double vs = ElVoltage(state, n1, n2);
        sw.current = g * vs;
        sw.power = vs * sw.current;
    }
}

}  // namespace

int ReserveVoltageSwitches(SimulatorState& state) {
    if (int rc = ElReserveReady(state)) return rc;
    EntryList& entries = *state.Entries();
    return ElWalk<VoltageSwitchRecord>(state, kListSSwitches, [&](VoltageSwitchRecord* r, int32_t) {
        return ReserveConductance(entries, r->nodes[0], r->nodes[1]);
    });
}

int LoadVoltageSwitches(SimulatorState& state) {
    if (state.Circuit == nullptr) return 0;
    const bool stamping = ElStamping(state);
    return ElWalk<VoltageSwitchRecord>(state, kListSSwitches, [&](VoltageSwitchRecord* r, int32_t) {
        if (!ElModelHasValues(r->model)) return kElBadArgument;
        const double control = ElSolution(state, r->nodes[2]) - ElSolution(state, r->nodes[3]);
        ElLoadSmoothSwitch(state, r, r->model, r->sw, r->nodes[0], r->nodes[1], control, stamping);
        return 0;
    });
}

int ReserveCurrentSwitches(SimulatorState& state) {
    if (int rc = ElReserveReady(state)) return rc;
    EntryList& entries = *state.Entries();
    return ElWalk<CurrentSwitchRecord>(state, kListWSwitches, [&](CurrentSwitchRecord* r, int32_t) {
        return ReserveConductance(entries, r->node1, r->node2);
    });
}

int LoadCurrentSwitches(SimulatorState& state) {
    if (state.Circuit == nullptr) return 0;
    const bool stamping = ElStamping(state);
    return ElWalk<CurrentSwitchRecord>(state, kListWSwitches, [&](CurrentSwitchRecord* r, int32_t) {
        if (!ElModelHasValues(r->model) || !r->controllingBranch) return kElBadArgument;
        const double control = ElSolution(state, *r->controllingBranch);
        ElLoadSmoothSwitch(state, r, r->model, r->sw, r->node1, r->node2, control, stamping);
        return 0;
    });
}

int ReserveSwitches(SimulatorState& state) {
    if (int rc = ElReserveReady(state)) return rc;
    EntryList& entries = *state.Entries();
    return ElWalk<SwitchRecord>(state, kListSwitches, [&](SwitchRecord* r, int32_t) {
        return ReserveConductance(entries, r->nodes[0], r->nodes[1]);
    });
}

int LoadSwitches(SimulatorState& state) {
    if (state.Circuit == nullptr) return 0;
    const bool stamping = ElStamping(state);
    return ElWalk<SwitchRecord>(state, kListSwitches, [&](SwitchRecord* r, int32_t) {
        double x = 0.0;
        switch (r->switchKind) {
        case 1: x = state.Time; break;
        case 2: x = ElSolution(state, r->nodes[3]) - ElSolution(state, r->nodes[2]); break;
        case 3: x = r->controllingInductor ? ElSolution(state, r->controllingInductor->branch) : 0.0; break;
        default: return kElBadArgument;
        }
        const double low = r->level1, high = r->level2;
        const bool on = (low < high && low <= x && x < high) || (high < low && (x < high || x >= low));
        r->state = on ? 2 : 3;
        const double g = on ? r->onConductance : r->offConductance;
        if (r->state != r->previousState) {
            RecordFailure(state.Failures, r, kFailureSwitch, x, state.Time);
            ++state.NonConvergedCount;
            r->previousState = r->state;
        }
        r->resistance = 1.0 / g;
        if (stamping) StampConductance(state.Cursor, g);
        if (ElWantsOutput(r)) {
            const double v = ElVoltage(state, r->nodes[0], r->nodes[1]);
            r->current = g * v;
            r->power = v * r->current;
        }
        return 0;
    });
}

// ---- capacitors -----------------------------------------------------------------------------------

int ReserveCapacitors(SimulatorState& state, ElementLoadMemory& memory) {
    if (int rc = ElReserveReady(state)) return rc;
    if (!ElSized(memory.capacitorPrevious, memory.capacitorEffective, ElCount(state, kListCapacitors)))
        return kElOutOfMemory;
    EntryList& entries = *state.Entries();
    return ElWalk<CapacitorRecord>(state, kListCapacitors, [&](CapacitorRecord* c, int32_t) {
        return ReserveConductance(entries, c->node1, c->node2);
    });
}

int LoadCapacitors(SimulatorState& state, ElementLoadMemory& memory) {
    if (state.Circuit == nullptr) return 0;
    const bool acRun = ElAcRun();
    const bool stamping = ElStamping(state);
    const StateVectors states = state.States();
    const IntegrationFormula& formula = state.Formula;
    const int32_t mode = state.IterationMode;
    return ElWalk<CapacitorRecord>(state, kListCapacitors, [&](CapacitorRecord* c, int32_t block) {
        // Each capacitor needs its charge block; one beyond the vectors (or
        // added after the reserve) cannot load.
        if (static_cast<size_t>(block) >= memory.capacitorPrevious.size() || block >= states.StateCount ||
            states.StateValues == nullptr || states.StateDerivatives == nullptr)
            return kElBadArgument;
        DeviceExpression* expression = nullptr;
        if (acRun && ElHasTokens(c->frequency)) {
            expression = &c->frequency;
        } else if (ElHasTokens(c->value)) {
            expression = &c->value;
        }
        if (expression != nullptr) {
            double value = c->working;
            if (int rc = ElEvaluate(*expression, value)) return rc;
            c->working = ClampTiny(value);
        }
        const bool hasModel = ElModelHasValues(c->model);
        const double c0 = c->temperatureFactor * c->working * (hasModel ? c->model->Values[0] : 1.0);
        const double vc1 = hasModel ? c->model->Values[1] : 0.0;
        const double vc2 = hasModel ? c->model->Values[2] : 0.0;
        const bool constant = c->constantCapacitance != 0;

        const double v = state.UseSolutionVoltages ? ElVoltage(state, c->node1, c->node2) : c->ic;
        const double capacitance = constant ? c0 : c0 * (1.0 + vc1 * v + vc2 * v * v);
        memory.capacitorEffective[static_cast<size_t>(block)] = capacitance;

        double* q = states.Values(block);
        double* d = states.Derivatives(block);
        const bool initTransient = mode == kModeInitTransient;
        auto chargeAt = [&](double voltage) {
            return c0 * voltage * (1.0 + vc1 * voltage / 2.0 + vc2 * voltage * voltage / 3.0);
        };
        if (mode == kModeInitPredictor) {
            q[0] = q[1];
        } else if (!constant) {
            q[0] = initTransient && state.UseInitialConditions ? chargeAt(c->ic) : chargeAt(v);
            if (initTransient) q[1] = q[0];
        } else if (initTransient) {
            if (state.UseInitialConditions) q[0] = c->ic * capacitance;
            q[1] = q[0];
        } else {
            q[0] = v * capacitance;
        }

        // The companion model exists only while charges are integrated; at a
        // DC point the capacitor is open (the coefficients of the last step
        // would otherwise feed a stale current back).
        double geq = 0.0;
        double ceq = 0.0;
        if (state.ChargeTermsActive) {
            IntegrateState(formula, states, capacitance, geq, ceq, block);
            if (!constant) ceq = d[0] - geq * v;
            if (std::fabs(ceq) > 1e50) ceq = ceq < 0.0 ? -1e50 : 1e50;
        }
        if (initTransient) d[1] = d[0];
        ElAddRhs(state, c->node1, -ceq);
        ElAddRhs(state, c->node2, ceq);
        if (expression != nullptr)
            ElTestValue(state, c, capacitance, memory.capacitorPrevious[static_cast<size_t>(block)], kFailureCapacitor);
        if (stamping) StampConductance(state.Cursor, geq);
        if (ElWantsOutput(c)) {
            const double power = v * d[0];
            c->power[kPowerStored] = ComplexNumber{power, 0.0};
            state.Power.PowerStored += power;
            c->current = d[0];
        }
        return 0;
    });
}

// ---- inductors and their couplings ----------------------------------------------------------

int32_t InductorStateBlock(const SimulatorState& state, int32_t inductorPosition) {
    int32_t capacitors = 0;
    if (state.Circuit != nullptr) {
        for (PoolItem* item = state.Circuit->devices[kListCapacitors].pool.first; item; item = item->next)
            if (item->type != kPoolItemDead) ++capacitors;
    }
    return capacitors + inductorPosition;
}

namespace {

double ElInductance(const InductorRecord* l) {
    const double model = ElModelHasValues(l->model) ? l->model->Values[0] : 1.0;
    return l->temperatureFactor * l->working * model;
}

// A coupling coefficient from its expression (when it has one) or its value;
// 0, the expression's error, or 10836 outside [-1, 1].
int ElCoefficient(DeviceExpression* expression, double value, double& coefficient) {
    coefficient = value;
    if (expression != nullptr && ElHasTokens(*expression)) {
        if (int rc = ElEvaluate(*expression, coefficient)) return rc;
    }
    if (!(coefficient >= -1.0 && coefficient <= 1.0)) return kElCouplingOutOfRange;
    return 0;
}

// Calls pair(first, second, coefficient) for every coupled pair of inductors:
// each transformer's windings, then every pair of the inductors a K statement
// couples, in list order. Stops at the first non-zero result.
template <class Pair>
int ElForEachCoupledPair(SimulatorState& state, bool evaluate, Pair pair) {
    if (int rc = ElWalk<TransformerCouplingRecord>(
            state, kListTransformerCouplings, [&](TransformerCouplingRecord* k, int32_t) {
                double coefficient = 0.0;
                if (evaluate) {
                    DeviceExpression* expression =
                        k->expressionCount > 0 && k->expressions ? &k->expressions[0] : nullptr;
                    if (int r = ElCoefficient(expression, k->coupling, coefficient)) return r;
                }
                return pair(k->primary, k->secondary, coefficient);
            }))
        return rc;
    return ElWalk<InductorCouplingRecord>(state, kListInductorCouplings, [&](InductorCouplingRecord* k, int32_t) {
        double coefficient = 0.0;
        if (evaluate) {
            if (int r = ElCoefficient(&k->coupling, 0.0, coefficient)) return r;
        }
        for (size_t i = 0; i < k->inductors.size(); ++i) {
            for (size_t j = i + 1; j < k->inductors.size(); ++j) {
                if (int r = pair(k->inductors[i], k->inductors[j], coefficient)) return r;
            }
        }
        return 0;
    });
}

int32_t ElBranch(const InductorRecord* l) { return l != nullptr ? l->branch : 0; }

}  // namespace

int ReserveInductors(SimulatorState& state) {
    if (int rc = ElReserveReady(state)) return rc;
    EntryList& entries = *state.Entries();
    if (int rc = ElWalk<InductorRecord>(state, kListInductors, [&](InductorRecord* l, int32_t) {
            if (int r = ReserveBranch(entries, l->branch, l->node1, l->node2)) return r;
            return ReserveEntry(entries, l->branch, l->branch);
        }))
        return rc;
    // A K coupling whose inductors were never resolved would couple nothing
    // and give a plausible but wrong answer: refuse it.
    if (int rc = ElWalk<InductorCouplingRecord>(state, kListInductorCouplings, [](InductorCouplingRecord* k, int32_t) {
            return k->inductors.size() < 2 ? kResultNotBuilt : 0;
        }))
        return rc;
    return ElForEachCoupledPair(state, false, [&](InductorRecord* a, InductorRecord* b, double) {
        if (int r = ReserveEntry(entries, ElBranch(a), ElBranch(b))) return r;
        return ReserveEntry(entries, ElBranch(b), ElBranch(a));
    });
}

int LoadInductors(SimulatorState& state) {
    if (state.Circuit == nullptr) return 0;
    const bool stamping = ElStamping(state);
    const StateVectors states = state.States();
    const IntegrationFormula& formula = state.Formula;
    const int32_t mode = state.IterationMode;
    const int32_t firstBlock = InductorStateBlock(state, 0);
    const bool haveStates = states.StateValues != nullptr && states.StateDerivatives != nullptr;

    // Flux block of every inductor, for the couplings.
    std::unordered_map<const InductorRecord*, int32_t> blocks;
    const bool coupled = state.Circuit->devices[kListTransformerCouplings].pool.first != nullptr ||
                         state.Circuit->devices[kListInductorCouplings].pool.first != nullptr;

    // The fluxes first: each inductor's own, then what the couplings add, so
    // that the derivative is taken of the whole flux.
    if (int rc = ElWalk<InductorRecord>(state, kListInductors, [&](InductorRecord* l, int32_t position) {
            const int32_t block = firstBlock + position;
            if (!haveStates || block >= states.StateCount) return kElBadArgument;
            if (coupled) blocks[l] = block;
            double* flux = states.Values(block);
            if (mode == kModeInitPredictor) {
                flux[0] = flux[1];
            } else {
                const double current = state.InitialConditionLoad && l->icGiven ? l->ic : ElSolution(state, l->branch);
                flux[0] = ElInductance(l) * current;
            }
            return 0;
        }))
        return rc;
    // The mutual inductance of each pair, in pair order, for the stamps below.
    std::vector<double> mutuals;
    if (coupled) {
        if (int rc = ElForEachCoupledPair(state, true, [&](InductorRecord* a, InductorRecord* b, double k) {
                double mutual = 0.0;
                if (a != nullptr && b != nullptr) {
                    mutual = k * std::sqrt(std::fabs(ElInductance(a) * ElInductance(b)));
                    auto ia = blocks.find(a);
                    auto ib = blocks.find(b);
                    if (ia == blocks.end() || ib == blocks.end()) return kElBadArgument;
                    if (mode != kModeInitPredictor) {
                        states.Values(ia->second)[0] += mutual * ElSolution(state, b->branch);
                        states.Values(ib->second)[0] += mutual * ElSolution(state, a->branch);
                    }
                }
                mutuals.push_back(mutual);
                return 0;
            }))
            return rc;
    }

    // The branch equation V(n1) - V(n2) - dflux/dt = 0 with the companion
    // model dflux/dt = geq i + ceq; at a DC point the inductor is a short.
    if (int rc = ElWalk<InductorRecord>(state, kListInductors, [&](InductorRecord* l, int32_t position) {
            const int32_t block = firstBlock + position;
            double* flux = states.Values(block);
            double* derivative = states.Derivatives(block);
            if (mode == kModeInitTransient) flux[1] = flux[0];
            double geq = 0.0;
            double ceq = 0.0;
            if (state.ChargeTermsActive) {
                // The flux includes the couplings' share, whose currents are
                // stamped as -Ag0 M below: ceq = dflux/dt - Ag0 flux covers both.
                IntegrateState(formula, states, ElInductance(l), geq, ceq, block);
                if (std::fabs(ceq) > 1e50) ceq = ceq < 0.0 ? -1e50 : 1e50;
            }
            if (mode == kModeInitTransient) derivative[1] = derivative[0];
            ElAddRhs(state, l->branch, ceq);
            if (stamping) {
                state.Cursor.Stamp(1.0);   // (k, n1)
                state.Cursor.Stamp(-1.0);  // (k, n2)
                state.Cursor.Stamp(1.0);   // (n1, k)
                state.Cursor.Stamp(-1.0);  // (n2, k)
                state.Cursor.Stamp(-geq);  // (k, k)
            }
            if (ElWantsOutput(l)) {
                const double power = ElVoltage(state, l->node1, l->node2) * ElSolution(state, l->branch);
                l->power[kPowerStored] = ComplexNumber{power, 0.0};
                state.Power.PowerStored += power;
            }
            return 0;
        }))
        return rc;

    if (!stamping || !coupled) return 0;
    // -Ag0 M on (k1, k2) and (k2, k1) of every pair, in reservation order.
    size_t index = 0;
    return ElForEachCoupledPair(state, false, [&](InductorRecord*, InductorRecord*, double) {
        const double g = state.ChargeTermsActive && index < mutuals.size() ? formula.Ag0 * mutuals[index] : 0.0;
        ++index;
        state.Cursor.Stamp(-g);
        state.Cursor.Stamp(-g);
        return 0;
    });
}

// ---- independent sources ----------------------------------------------------------------------

int ReserveIndependentSources(SimulatorState& state) {
    if (int rc = ElReserveReady(state)) return rc;
    // User sources take branch unknowns but have no load yet; their empty
    // rows would only show up later as a singular matrix.
    if (ElCount(state, kListUserSources) > 0) return kResultNotBuilt;
    EntryList& entries = *state.Entries();
    if (int rc = ElWalk<SineSourceRecord>(state, kListSineSources, [&](SineSourceRecord* s, int32_t) {
            return ReserveBranch(entries, s->branch, s->internalNode, s->node2);
        }))
        return rc;
    if (int rc = ElWalk<PulseSourceRecord>(state, kListPulseSources, [&](PulseSourceRecord* s, int32_t) {
            return ReserveBranch(entries, s->branch, s->node1, s->node2);
        }))
        return rc;
    return ElWalk<SourceRecord>(state, kListSpiceSources, [&](SourceRecord* s, int32_t) {
        if (s->sourceKind != kSourceVoltage) return 0;
        return ReserveBranch(entries, s->branch, s->node1, s->node2);
    });
}

void LoadIndependentSources(SimulatorState& state) {
    if (state.Circuit == nullptr) return;
    const bool stamping = ElStamping(state);
    // Sine and pulse sources drive the value the source update last wrote.
    auto modelSource = [&](DeviceRecord* record, int32_t branch, double working, double& current) {
        const double value = working * state.SourceScale;
        if (stamping) {
            StampVoltageSource(state.Cursor, state.Rhs.data(), branch, value);
        } else {
            ElAddRhs(state, branch, value);
        }
        if (record->powerRefs || record->quantityRefs) {
            const double i = ElSolution(state, branch);
            current = i;
            if (record->powerRefs) {
                const double power = -working * i;
                record->power[kPowerGenerated] = ComplexNumber{power, 0.0};
                state.Power.PowerGenerated += power;
            }
        }
    };
    ElWalk<SineSourceRecord>(state, kListSineSources, [&](SineSourceRecord* s, int32_t) {
        modelSource(s, s->branch, s->working, s->current);
        return 0;
    });
    ElWalk<PulseSourceRecord>(state, kListPulseSources, [&](PulseSourceRecord* s, int32_t) {
        modelSource(s, s->branch, s->working, s->current);
        return 0;
    });
    ElWalk<SourceRecord>(state, kListSpiceSources, [&](SourceRecord* s, int32_t) {
        // A source without a waveform drives its DC value; a waveform's present
        // value is what the time-source evaluation last wrote.
        const double value = (s->functionKind == kFunctionNone ? s->dcValue : s->working) * state.SourceScale;
        double current;
        if (s->sourceKind == kSourceVoltage) {
            if (stamping) {
                StampVoltageSource(state.Cursor, state.Rhs.data(), s->branch, value);
            } else {
                ElAddRhs(state, s->branch, value);
            }
            current = ElSolution(state, s->branch);
        } else {
            // The current flows from the first node through the source to the second.
            ElAddRhs(state, s->node1, -value);
            ElAddRhs(state, s->node2, value);
            current = value;
        }
        if (ElWantsOutput(s)) {
            const double power = -ElVoltage(state, s->node1, s->node2) * current;
            s->power[kPowerGenerated] = ComplexNumber{power, 0.0};
            state.Power.PowerGenerated += power;
            s->current = current;
        }
        return 0;
    });
}

// ---- .IC and .NODESET ------------------------------------------------------------------------

int ReserveInitialConditions(SimulatorState& state) {
    if (int rc = ElReserveReady(state)) return rc;
    if (state.InitialConditionTable == nullptr) return 0;
    EntryList& entries = *state.Entries();
    for (const InitialConditionEntry& entry : *state.InitialConditionTable) {
        if (entry.kind != 'V') continue;
        if (int rc = ReserveConductance(entries, entry.node1, entry.node2)) return rc;
    }
    return 0;
}

void LoadInitialConditions(SimulatorState& state) {
    if (state.InitialConditionTable == nullptr) return;
    const int32_t mode = state.IterationMode;
    const bool active =
        state.AnalysisPhase == kPhaseDc && ((state.HasInitialConditions && !state.UseInitialConditions) ||
                                            (state.HasNodeset && (mode == kModeInitJunction || mode == kModeInitFix) &&
                                             (state.LoadAnalysis == kLoadDcSweep || state.TotalIterations == 0)));
    const bool stamping = ElStamping(state);
    for (const InitialConditionEntry& entry : *state.InitialConditionTable) {
        if (entry.kind == 'V') {
            // While active the node is tied to its value through 1 micro-ohm.
            double g = 1e-20;
            if (active) {
                ElAddRhs(state, entry.node1, entry.value * 1e6);
                ElAddRhs(state, entry.node2, -entry.value * 1e6);
                g = 1e6;
            }
            if (stamping) StampConductance(state.Cursor, g);
        } else if (entry.kind == 'I' && active) {
            ElAddRhs(state, entry.node1, -entry.value);
            ElAddRhs(state, entry.node2, entry.value);
        }
    }
}

// ---- nominal values ---------------------------------------------------------------------------

void RestoreRlcValues(SimulatorState& state) {
    if (state.Circuit == nullptr) return;
    ElWalk<CapacitorRecord>(state, kListCapacitors, [](CapacitorRecord* c, int32_t) {
        c->working = c->nominal;
        return 0;
    });
    ElWalk<InductorRecord>(state, kListInductors, [](InductorRecord* l, int32_t) {
        l->working = l->nominal;
        return 0;
    });
    ElWalk<ResistorRecord>(state, kListResistors, [](ResistorRecord* r, int32_t) {
        r->working = r->nominal;
        return 0;
    });
}
