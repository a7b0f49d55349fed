// The JFET and GaAsFET loads: gate diodes, the channel current (Shichman-Hodges
// for JFETs; Curtice, Statz or TriQuint by the GaAsFET's LEVEL), gate charges,
// limiting, bypass, convergence tests, power terms and pin currents.
#pragma once

#include "devices/transistor_common.h"
#include "engine/newton.h"

class JfetLoads : public DeviceKindLoads {
public:
    // Per JFET: (D, D'), (D', D), (D, D) with a drain resistance; (S, S'),
    // (S', S), (S, S) with a source resistance; then (G, D'), (G, S'), (D', G),
    // (D', S'), (S', G), (S', D'), (G, G), (D', D'), (S', S').
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};
JfetLoads& TheJfetLoads();

class GaasfetLoads : public DeviceKindLoads {
public:
    // The JFET's entries on the internal gate G', preceded by (G, G'), (G', G),
    // (G, G) when the model has a gate resistance.
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};
GaasfetLoads& TheGaasfetLoads();

// The channel current of a GaAsFET model (values after the set-up at
// temperature) at vgs and vds, area-scaled; the inverse mode included.
transistor::Channel CurticeCurrent(const double* modelValues, double area, double vgs, double vds);
transistor::Channel StatzCurrent(const double* modelValues, double area, double vgs, double vds);
transistor::Channel TriquintCurrent(const double* modelValues, double area, double vgs, double vds);
// The JFET's Shichman-Hodges channel current.
transistor::Channel JfetCurrent(const double* modelValues, double area, double vgs, double vds);

// The Statz gate charge at (vgs, vgd) with its two capacitances.
struct GateCharge {
    double charge = 0.0;
    double cgs = 0.0;  // d charge / d vgs
    double cgd = 0.0;  // d charge / d vgd
};
GateCharge StatzGateCharge(double vgs, double vgd, double vbi, double inverseAlpha, double vto, double cgs, double cgd,
                           double vdelta, double vmax);

// Failure kinds the loads record.
constexpr int32_t kFailureJfetJunction = 8;
constexpr int32_t kFailureJfetGate = 9;
constexpr int32_t kFailureJfetDrain = 10;
constexpr int32_t kFailureGaasfetJunction = 11;
constexpr int32_t kFailureGaasfetGate = 12;
constexpr int32_t kFailureGaasfetDrain = 13;
