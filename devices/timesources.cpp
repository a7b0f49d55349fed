#include "devices/timesources.h"

#include "compiler/compiled.h"
#include "devices/waveforms.h"
#include "engine/transient.h"

namespace {

class WaveformTimeSources : public TimeSourceServices {
public:
    int EvaluateTimeSources(SimulatorState& state, double startTime) override {
        return state.Circuit ? UpdateSourceValues(*state.Circuit, Point(state, startTime)) : 0;
    }
    double SourceStepLimit(const SimulatorState& state) override {
        return state.Circuit ? SourceMaxStep(*state.Circuit) : 1e30;
    }
    int PrepareListSources(SimulatorState& state, double startTime) override {
        if (!state.Circuit) return 0;
        ResetPwlTriggers(*state.Circuit, startTime);
        return BuildAllPwlTables(*state.Circuit, Point(state, startTime));
    }

private:
    static SourcePoint Point(const SimulatorState& state, double startTime) {
        SourcePoint at;
        at.time = state.LoadAnalysis == kLoadTransient ? state.Time : 0.0;
        at.startTime = startTime;
        at.stopTime = state.Tmax > 0 ? state.Tmax : 1e30;
        // A transient run (its bias point included) follows the waveforms; the
        // bias of AC and operating-point runs and DC sweeps take the DC value.
        at.transient = state.LoadAnalysis == kLoadTransient;
        return at;
    }
};

}  // namespace

TimeSourceServices& DeviceTimeSources() {
    static WaveformTimeSources sources;
    return sources;
}
