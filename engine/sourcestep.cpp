#include "engine/sourcestep.h"

#include <algorithm>
#include <cmath>

#include "compiler/support.h"
#include "core/result.h"

namespace {

int ss_Newton(SimulatorState& state, IterationHost* context, int iterationLimit, bool message) {
    if (message) WriteRunMessage(kRunMessageStatus, "Sources at %g%%.", state.SourceScale * 100.0);
    return NewtonIterate(state, context, iterationLimit, state.Options.gmin);
}

int ss_Finish(SimulatorState& state, int result) {
    state.IterationMode = kModeInitJunction;
    state.SourceScale = 1.0;
    return result;
}

int ss_Fail(SimulatorState& state) {
    state.IterationLimitReached = 1;
    return ss_Finish(state, kResultNotConverged);
}

}  // namespace

int SourceStepping(SimulatorState& state, IterationHost* context, int iterationLimit) {
    const int itl1 = state.Options.itl1;
    state.IterationMode = kModeInitJunction;
    state.SourceSteppingActive = 1;
    state.SourceScale = 0.0625;

    // Reduction: halve until the scaled circuit converges (or fails otherwise).
    for (int attempt = 0; state.IterationLimitReached && attempt < itl1 + 1; ++attempt) {
        state.SourceScale /= 2;
        if (state.SourceScale <= 1.0 / 512 || state.SourceScale > 1.0) return ss_Fail(state);
        state.IterationMode = kModeInitJunction;
        if (ss_Newton(state, context, iterationLimit, true) != kResultNotConverged) break;
        state.TotalIterations += state.IterationCount;
    }

    // Growth: double the scale from the last good one; a failed step retries
    // from there with the square root of the factor.
    double factor = 2.0;
    // Reductions used up without convergence start growth with a failed step
    // back at the first scale.
    double lastGood = state.IterationLimitReached ? 0.0625 : state.SourceScale;
    int steps = 0;
    for (;;) {
        while (!state.IterationLimitReached) {
            lastGood = state.SourceScale;
            state.LastSolution = state.Solution;

            state.SourceScale = std::min(state.SourceScale * factor, 1.0);
            state.IterationMode = kModeInitFix;
            int result = ss_Newton(state, context, iterationLimit, true);
            if (result == kResultNoMemory) return ss_Finish(state, result);
            state.TotalIterations += state.IterationCount;
            if (++steps > itl1 || state.IterationLimitReached) break;

            if (std::fabs(state.SourceScale - 1.0) < 0.001) {
                state.SourceScale = 1.0;
                for (int call = 0; call < itl1; ++call) {
                    result = ss_Newton(state, context, iterationLimit, false);
                    if (!state.IterationLimitReached) break;
                }
                return ss_Finish(state, result);
            }
        }
        factor = std::sqrt(factor);
        state.SourceScale = lastGood;
        state.Solution = state.LastSolution;
        state.PreviousSolution = state.LastSolution;
        if (factor <= 1.0001) return ss_Fail(state);
        state.IterationLimitReached = 0;
        steps = 0;
    }
}
