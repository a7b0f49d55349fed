#include "analysis/commands.h"

#include "analysis/globalsettingsdlg.h"
#include "analysis/limitsdlg.h"
#include "analysis/sensdlg.h"
#include "analysis/start.h"
#include "analysis/tfdlg.h"
#include "analysis/statevarsdlg.h"
#include "core/result.h"
#include "core/settings.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "shell/app.h"

int AnalysisKindOfCommand(int id) {
    switch (id) {
    case kCmdAnalysisTransient: return 0;
    case kCmdAnalysisAc: return 1;
    case kCmdAnalysisDc: return 2;
    case kCmdAnalysisDistortion: return 3;
    default: return -1;
    }
}

bool AnalysisCommandTarget::OnCommand(int id) {
    if (id == kCmdGlobalSettings) {
        GlobalSettingsCommand();
        return true;
    }
    if (id == kCmdAnalysisLimits) {
        if (OpenAnalysis* open = CurrentAnalysis()) OpenLimitsDialog(open->document, open->kind);
        return true;
    }
    if (id == kCmdTransferFunction || id == kCmdSensitivity) {
        CCTDoc* top = dynamic_cast<CCTDoc*>(GetTopCircuitDocument());
        if (id == kCmdTransferFunction)
            TransferFunctionCommand(top);
        else
            SensitivityCommand(top);
        return true;
    }
    if (id == kCmdStateVariablesEditor) {
        OpenStateVariablesEditor();
        return true;
    }
    if (AnalysisKindOfCommand(id) < 0) return false;
    RunAnalysisCommand(id, dynamic_cast<CCTDoc*>(GetTopCircuitDocument()));
    return true;
}

int RunAnalysisCommand(int id, CCTDoc* topCircuit) {
    const int kind = AnalysisKindOfCommand(id);
    // One analysis at a time, on the topmost circuit or text window.
    if (kind < 0 || RunningAnalysisKind() != -1 || !topCircuit) return kResultNotBuilt;
    SaveSettingsFile();
    if (AnalysisSettings* settings = EnsureAnalysisSettings(topCircuit)) settings->kinds[kind].present = 1;
    return RunAnalysis(topCircuit, kind);
}

bool AnalysisCommandTarget::OnUpdateCommand(platform::CommandState& state) {
    if (state.Id() == kCmdGlobalSettings) {
        state.Enable(true);
        return true;
    }
    if (state.Id() == kCmdAnalysisLimits) {
        state.Enable(CurrentAnalysis() != nullptr);
        return true;
    }
    if (state.Id() == kCmdStateVariablesEditor) {
        state.Enable(CurrentAnalysis() != nullptr);
        state.Check(ActiveStateVariablesEditor() != nullptr);
        return true;
    }
    if (AnalysisKindOfCommand(state.Id()) < 0 && state.Id() != kCmdTransferFunction && state.Id() != kCmdSensitivity)
        return false;
    state.Enable(RunningAnalysisKind() == -1 && GetTopCircuitDocument() != nullptr);
    return true;
}

AnalysisCommandTarget& AnalysisCommands() {
    static AnalysisCommandTarget target;
    return target;
}
