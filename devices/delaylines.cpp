// The ideal lines' histories as the transient time loop drives them.
#include "compiler/compiled.h"
#include "devices/depsources.h"
#include "engine/transient.h"
#include "expr/runvars.h"

namespace {

class IdealLineHistories final : public DelayLineServices {
public:
    int StartDelayLines(SimulatorState& state, double startTime, double& maxTimeStep) override {
        ReleaseLineHistories(state);
        // The line loads and the history compare times with the run's start
        // as the expressions see it.
        RunVars.tmin = startTime;
        return StartLineHistories(state, maxTimeStep);
    }
    void PrepareDelayLines(SimulatorState& state) override { UpdateIdealLineWaves(state); }
    int AcceptDelayLines(SimulatorState& state) override { return AdvanceLineHistories(state); }
    void ReleaseDelayLines(SimulatorState& state) override { ReleaseLineHistories(state); }
};

}  // namespace

DelayLineServices& IdealLineDelayServices() {
    static IdealLineHistories services;
    return services;
}
