#include "plots/plotrunstate.h"

#include <cstdio>

#include "document/cfanalysis.h"
#include "plots/g2ddoc.h"
#include "shell/document.h"

namespace {

// Stepping and Monte Carlo runs are not made yet: the document tells the
// running kind, its temperatures, its runs and its stepping records.
class rs_DocumentRunState final : public PlotRunStatePort {
public:
    int ReadRunState(PlotRunState& state) override {
        state = PlotRunState{};
        auto* document = dynamic_cast<CG2DDoc*>(CurrentRunContext().analysisDocument);
        if (!document) return 0;
        state.analysisDocument = document;
        state.runningKind = document->RunningKind;
        state.runs = &document->Runs;
        state.temperatureList = document->Temperatures.size() > 1;
        const AnalysisKindSettings* settings = document->KindSettings(document->RunningKind);
        state.settings = settings;
        if (!settings) return 0;
        state.simultaneous = settings->simultaneous != 0;
        for (int i = 0; i < kStepRecordCount; ++i) {
            const StepVariable& record = settings->steps[i];
            StepPanelState& panel = state.panels[i];
            panel.enabled = (record.flags & kStepOn) != 0;
            panel.flags = record.flags;
            if (record.texts[0]) panel.name = record.texts[0];
            if (record.texts[1]) panel.parameter = record.texts[1];
        }
        return 0;
    }
};

rs_DocumentRunState rs_documentState;
PlotRunStatePort* rs_port = &rs_documentState;

}  // namespace

int PlotRunState::RunCount() const {
    if (!runs) return 0;
    const int stored = static_cast<int>(runs->Records.size());
    return runs->Count < stored ? (runs->Count > 0 ? runs->Count : 0) : stored;
}

const RunRecord* PlotRunState::Run(int run) const {
    if (run < 0 || run >= RunCount()) return nullptr;
    return &runs->Records[static_cast<size_t>(run)];
}

bool PlotRunState::PanelStepping(int panel) const {
    return stepping && panel >= 0 && panel < kSourcePanelCount && panels[panel].enabled;
}

PlotRunStatePort& PlotRunStates() { return *rs_port; }

PlotRunStatePort* InstallPlotRunStates(PlotRunStatePort* port) {
    PlotRunStatePort* previous = rs_port;
    rs_port = port ? port : &rs_documentState;
    return previous == &rs_documentState ? nullptr : previous;
}

PlotRunState CurrentPlotRunState() {
    PlotRunState state;
    if (PlotRunStates().ReadRunState(state) != 0) return PlotRunState{};
    return state;
}

std::string FormatStepName(const PlotRunState& state, int panel) {
    if (panel < 0 || panel >= kSourcePanelCount) return std::string();
    const StepPanelState& p = state.panels[panel];
    if (p.parameter.empty()) return p.name;
    return p.name + " " + p.parameter;
}

std::string FormatStepValue(const PlotRunState& state, int panel, int run) {
    const RunRecord* record = state.Run(run);
    if (!record || panel < 0 || panel >= kSourcePanelCount) return std::string();
    const StepPanelState& p = state.panels[panel];
    // List and linear bits together are read as linear.
    if ((p.flags & (kStepList | kStepLinear)) == kStepList) {
        const int item = record->StepIndex[panel];
        if (item >= 0 && static_cast<size_t>(item) < p.listItems.size()) return p.listItems[static_cast<size_t>(item)];
    }
    char text[40];
    std::snprintf(text, sizeof text, "%g", record->StepValue[panel]);
    return text;
}
