// Magnetic cores: the magnetisation of a core whose windings are the inductors
// a K part with a CORE model couples. The model is of the Jiles-Atherton
// family: the anhysteretic curve MS H / (|H| + A), a reversible part C and
// pinning K, with an optional air gap solved for the field inside the core.
// The state of a core (present, accepted and previous-iteration values) is
// plain data the owner of the windings keeps per circuit.
#pragma once

#include <cstdint>

#include "compiler/compiled.h"

struct ModelRecord;

// The CORE model's values in SI-free units as the model statement gives
// them: AREA (cm^2), PATH and GAP (cm), MS (A/m), A (A/m), C, K (A/m).
struct CoreParameters {
    double area = 1.0;
    double path = 1.0;
    double gap = 0.0;
    double ms = 4e5;
    double a = 25.0;
    double c = 0.001;
    double k = 25.0;
};
// The parameters of a CORE model record (its defaults where the record holds
// no values).
CoreParameters CoreParametersOf(const ModelRecord* model);

using CoreState = MagneticCoreState;

// What the solve of one load pass reports.
struct CoreSolveResult {
    bool converged = true;  // the gap iteration settled within its limit
    int32_t passes = 0;
    bool magnetizationMoved = false;  // differs from the previous iteration beyond tolerance
    double stepFactor = 1e30;         // the largest growth of the next time step the change allows
};

// The tolerances of a solve: RELTOL and ABSTOL of the run, whether the
// magnetisation is compared with the previous iteration (a later iteration or
// a DC solution, not the fixed initialisation) and the step tolerance
// 0.08 * 2^(log10 RELTOL).
struct CoreSolveOptions {
    double reltol = 1e-3;
    double abstol = 1e-12;
    bool compareIterations = true;
};

// The gap iteration's own limit: the run's ITL4 belongs to the time loop.
constexpr int32_t kCoreIterationLimit = 50;

// Solves the core's magnetisation for its present appliedField from its
// accepted state. On a failure of the gap iteration the core keeps its
// previous field and chord slope.
CoreSolveResult SolveMagnetization(CoreState& core, const CoreParameters& parameters, const CoreSolveOptions& options);

// 0 clears every value; 1 accepts the present values (and the magnetisation
// as the previous iteration's); 2 returns to the accepted ones.
void UpdateCoreState(CoreState& core, int mode);

// The inductance of a winding of `turns` on the core: mu0 (1 + chordSlope)
// N^2 A / l; and its flux linkage mu0 N A (H + M) k.
double WindingInductance(const CoreState& core, const CoreParameters& parameters, double turns);
double WindingFlux(const CoreState& core, const CoreParameters& parameters, double turns, double coupling);
// The field a winding current adds: N I / l.
double WindingField(const CoreParameters& parameters, double turns, double current);

constexpr double kMu0 = 1.2566370614359173e-6;
