#include "analysis/singlerun.h"

#include "analysis/runprep.h"
#include "analysis/start.h"
#include "core/report_port.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "shell/document.h"

void SteppingSuspension::Suspend(int kind, AnalysisSettings* settings) {
    Restore();
    if (!settings || kind < 0 || kind >= kAnalysisKindCount) return;
    settings_ = settings;
    kind_ = kind;
    AnalysisKindSettings& k = settings->kinds[kind];
    monteCarlo_ = (k.mcOptions & kMonteCarloOn) != 0;
    k.mcOptions &= ~kMonteCarloOn;
    // Every record of the kind: one left on would step the single run.
    for (int i = 0; i < kStepRecordCount; ++i) {
        stepOn_[i] = (k.steps[i].flags & kStepOn) != 0;
        k.steps[i].flags &= ~kStepOn;
    }
    runOption_ = k.runOption;
    k.runOption = 0;
}

void SteppingSuspension::Restore() {
    if (!settings_) return;
    AnalysisKindSettings& k = settings_->kinds[kind_];
    if (monteCarlo_) k.mcOptions |= kMonteCarloOn;
    for (int i = 0; i < kStepRecordCount; ++i)
        if (stepOn_[i]) k.steps[i].flags |= kStepOn;
    k.runOption = runOption_;
    settings_ = nullptr;
}

int SingleRunRecord::Begin() {
    End();
    suspension_.Suspend(0, EnsureAnalysisSettings(document_));
    AnalysisStartMode mode;
    mode.inPlace = true;
    mode.transferFunction = !sensitivity_;
    mode.sensitivity = sensitivity_;
    begun_ = true;
    const int rc = RunAnalysis(document_, 0, mode);
    if (rc || !Open()) {
        End();
        return rc ? rc : kResultNotBuilt;
    }
    return 0;
}

void SingleRunRecord::End() {
    if (!begun_) return;
    const bool open = Open() != nullptr;
    begun_ = false;
    if (open) {
        ExitAnalysis(document_, true);
        ClearRunContext();
    }
    suspension_.Restore();
}

OpenAnalysis* SingleRunRecord::Open() const {
    OpenAnalysis* open = CurrentAnalysis();
    return begun_ && open && open->document == document_ ? open : nullptr;
}

void QuietRunHost::ReportRunError(int messageId, double value) {
    Reporter().Report(MessageRequest(messageId).Args(value));
}

int QuietRunHost::RestoreModelValues(SimulatorState&) { return RestoreModelParameters(document_); }

int QuietRunHost::SetupAtTemperature(SimulatorState&) {
    TemperatureSetup setup = MakeTemperatureSetup(document_);
    if (int rc = SetupModelsAtTemperature(setup, 27.0)) return rc;
    return SetupInstancesAtTemperature(setup, 27.0);
}
