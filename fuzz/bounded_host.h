// The iteration-host part every run harness shares: no status, no digital
// side, and Esc "pressed" after a bounded number of polls so that no input
// can keep a run going for ever.
#pragma once

#include "core/result.h"
#include "engine/state.h"

namespace fuzz {

template <class Host>
class BoundedRunHost : public Host {
public:
    void PollRunKeys(SimulatorState& state, int) override {
        if (++polls > 20000) state.LastRunKey = 27;
    }
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return kResultNotBuilt; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return kResultNotBuilt;
    }
    long polls = 0;
};

}  // namespace fuzz
