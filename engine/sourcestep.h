// Source stepping: when Newton iteration at full source values finds no
// operating point, every independent source is scaled down until the scaled
// circuit converges, and the scale is raised step by step back to full value,
// each step starting from the solution of the last.
#pragma once

#include "engine/newton.h"

// 0 when the circuit converged at full sources; 14190 when stepping failed;
// 15002 out of memory; else the result of the last NewtonIterate. Every
// Newton call uses `iterationLimit` and gmin = GMIN. The caller has just seen
// NewtonIterate fail: with IterationLimitReached set the scale is first
// halved from 6.25 % until the circuit converges, otherwise growth starts at
// 6.25 %. On return IterationMode is InitJunction and SourceScale 1.0.
int SourceStepping(SimulatorState& state, IterationHost* context, int iterationLimit);
