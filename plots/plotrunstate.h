// The run state the plot property pages show their choices from: which
// analysis kind runs, whether a temperature list, parameter stepping or Monte
// Carlo runs, the stepping panels and how the runs are laid out.
//
// Parameter stepping and Monte Carlo runs belong to analysis control, which
// answers through this port once it runs them. Until then the document
// answer reads the run context's analysis document (its running kind, its
// temperature list, its run log and the kind's stepping records) with
// stepping and Monte Carlo off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plots/plotsource.h"
#include "plots/store.h"

class CANDoc;
struct AnalysisKindSettings;

constexpr int kDistortionAnalysisKind = 3;

// One stepping panel of the running kind.
struct StepPanelState {
    bool enabled = false;  // the panel's enable bit
    int32_t flags = 0;     // method and kind bits of its record
    std::string name;      // the target: part, model or symbol
    std::string parameter;
    // The values of a list-stepped panel, by list index.
    std::vector<std::string> listItems;
    int valueCount = 0;  // values the panel steps through
    int stride = 1;      // runs between two successive values of the panel
};

struct PlotRunState {
    // The analysis document of the running kind; null when none.
    CANDoc* analysisDocument = nullptr;
    int runningKind = -1;  // -1 none, 0 transient, 1 AC, 2 DC, 3 distortion
    // The settings of the running kind (its curve rows); null when none.
    const AnalysisKindSettings* settings = nullptr;
    bool temperatureList = false;  // a list of more than one temperature runs
    bool stepping = false;
    bool monteCarlo = false;
    int monteCarloCases = 0;
    // "Step all variables simultaneously" of the running kind.
    bool simultaneous = false;
    int runsPerTemperature = 1;
    StepPanelState panels[kSourcePanelCount];
    // The runs made so far; null when there is no run table.
    const RunLog* runs = nullptr;

    int RunCount() const;
    const RunRecord* Run(int run) const;
    // A panel that takes part in the running stepping.
    bool PanelStepping(int panel) const;
};

class PlotRunStatePort {
public:
    virtual ~PlotRunStatePort() = default;
    // Fills `state`: 0, or a result code (the state then stays as it was).
    virtual int ReadRunState(PlotRunState& state) = 0;
};
PlotRunStatePort& PlotRunStates();
// Installs the owner's port; null restores the document answer. Returns the
// port installed before (null for the document answer).
PlotRunStatePort* InstallPlotRunStates(PlotRunStatePort* port);
// The state now; an empty state when the port fails.
PlotRunState CurrentPlotRunState();

// The display name of a stepping panel: its target, followed by a blank and
// the parameter when it steps one.
std::string FormatStepName(const PlotRunState& state, int panel);
// The text of a panel's value in a run: the list item for list stepping,
// else "%g" of the value; empty when there is no such run.
std::string FormatStepValue(const PlotRunState& state, int panel, int run);
