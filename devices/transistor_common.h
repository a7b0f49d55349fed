// What the bipolar, JFET and GaAsFET loads share: reading node voltages and
// adding currents by equation number, the exponential the junction
// equations use, and where each kind's charge blocks begin.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "compiler/compiled.h"
#include "engine/state.h"

namespace transistor {

// A solution entry; an equation outside the vector (a record numbered for
// another circuit) reads as 0 rather than out of bounds.
inline double At(const std::vector<double>& vector, int32_t equation) {
    if (equation <= 0 || static_cast<size_t>(equation) >= vector.size()) return 0.0;
    return vector[static_cast<size_t>(equation)];
}

// Ground (0) and equations outside the vector take no current.
inline void AddRhs(SimulatorState& state, int32_t equation, double value) {
    if (equation <= 0 || static_cast<size_t>(equation) >= state.Rhs.size()) return;
    state.Rhs[static_cast<size_t>(equation)] += value;
}

// exp with its argument held in [-350, 350], so that no junction overflows.
inline double JunctionExp(double x) { return std::exp(x < -350.0 ? -350.0 : (x > 350.0 ? 350.0 : x)); }

// Live records of a list.
inline int32_t LiveCount(const CompiledCircuit* circuit, int list) {
    int32_t count = 0;
    for (PoolItem* item = circuit->devices.lists[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) ++count;
    return count;
}

// The first charge block of a kind. Blocks follow in one fixed order:
// capacitors and inductors, diodes, JFETs (two each), GaAsFETs (three each),
// bipolar transistors (five each).
enum class BlockKind { Jfet, Gaasfet, Bipolar };
inline int32_t FirstBlock(const SimulatorState& state, BlockKind kind) {
    const CompiledCircuit* c = state.Circuit;
    int32_t block = c->capacitorCount + c->inductorCount + LiveCount(c, kListDiodes);
    if (kind == BlockKind::Jfet) return block;
    block += 2 * LiveCount(c, kListJfets);
    if (kind == BlockKind::Gaasfet) return block;
    return block + 3 * LiveCount(c, kListGaasfets);
}

// True when `blocks` blocks from `first` lie inside the state vectors.
inline bool BlocksAvailable(const StateVectors& states, int32_t first, int32_t blocks) {
    return states.StateValues != nullptr && states.StateDerivatives != nullptr && first >= 0 &&
           first + blocks <= states.StateCount;
}

// The stamps go through the installed matrix's cursor; a load without one
// only computes values.
inline bool Stamping(const SimulatorState& state) { return state.Installed != nullptr && state.Cursor.Active(); }

// Walks the live records of a list in order.
template <class Record, class Visit>
int ForEachRecord(SimulatorState& state, int list, Visit visit) {
    for (PoolItem* item = state.Circuit->devices.lists[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(static_cast<Record*>(item))) return rc;
    }
    return 0;
}

// A channel current and its derivatives by the gate-source and the
// drain-source voltage, with the region it lies in (condition code).
struct Channel {
    double id = 0.0;
    double gm = 0.0;   // d id / d vgs
    double gds = 0.0;  // d id / d vds
    int32_t condition = 3;
};

// The inverse mode of a symmetric channel: with vds < 0 drain and source swap,
// the forward equations are taken at (vgd, -vds) and mirrored back.
template <class Forward>
Channel EvaluateChannel(double vgs, double vds, Forward forward) {
    if (vds >= 0.0) return forward(vgs, vds);
    const Channel f = forward(vgs - vds, -vds);
    Channel c;
    c.id = -f.id;
    c.gm = -f.gm;
    c.gds = f.gm + f.gds;
    c.condition = f.condition;
    return c;
}

// A gate diode with saturation current csat and thermal voltage nvt; below
// -5 nvt the junction is linearised through the origin.
inline void GateDiode(double v, double csat, double nvt, double gmin, double& current, double& conductance) {
    if (v <= -5.0 * nvt) {
        conductance = gmin - csat / v;
        current = v * conductance;
    } else {
        const double e = JunctionExp(v / nvt);
        current = csat * (e - 1.0) + gmin * v;
        conductance = csat * e / nvt + gmin;
    }
}

}  // namespace transistor
