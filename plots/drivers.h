// The AC and DC sweep drivers of the 2D analysis document: each reads the
// limits of its kind, prepares the curves, and runs the engine's analysis
// with a host that evaluates, stores and lists every accepted point in the
// document, keeping the order of the run callbacks (see plots/g2ddoc.h).
#pragma once

#include "engine/newton.h"
#include "plots/apview.h"
#include "plots/g2ddoc.h"

class OpenAnalysis;
struct DistortionRunPlan;

// One AC analysis (kind 1) over the temperature list: the result of FinishRun.
int RunAcDriver(CG2DDoc& document, OpenAnalysis& open);
// One DC sweep (kind 2), over the temperature list unless a variable sweeps
// the temperature: the result of FinishRun.
int RunDcDriver(CG2DDoc& document, OpenAnalysis& open);

// One transient analysis (kind 0), or with `distortion` the transient run of
// a distortion analysis over its plan: the result of FinishRun.
int RunTransientDriver(CG2DDoc& document, OpenAnalysis& open, const DistortionRunPlan* distortion = nullptr);
// One distortion analysis (kind 3): sets the curve rows and the input source
// up, refuses a bad amplitude text against its field, then runs the transient
// over a whole number of periods: 0 or a result code (shown).
int RunDistortionDriver(CG2DDoc& document, OpenAnalysis& open);

// What every sweep host does alike: Esc and the document's stop requests
// reach the engine; the analog-only parts of the iteration host.
template <class Host>
class DocumentRunHost : public Host {
public:
    explicit DocumentRunHost(CG2DDoc& document) : document_(document) {}

    void PollRunKeys(SimulatorState& state, int) override {
        // The plot window repaints and serves Esc and its close while the run goes on.
        ServicePlotWindowDuringRun(document_);
        if (document_.Run.AbortRequested || document_.Run.LastRunKey == 27) {
            state.LastRunKey = 27;
            state.StopRequested = 1;
        }
        // A curve that failed has been reported: the run ends after this point.
        if (document_.Run.StopRequest || document_.Run.StopFlag) state.RunStopRequest = state.StopRequested = 1;
    }
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }

protected:
    CG2DDoc& document_;
};

// A run that ended because a failure was shown during it reports that, not a
// stop by the user.
inline int ShownFailureOr(const CG2DDoc& document, int code) {
    return (code == kRunStopped || code == 0) && document.Run.StopFlag ? 15055 : code;
}
