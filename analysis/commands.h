// The main-menu commands of analysis control: Analysis > Transient, AC, DC and
// Distortion start an analysis on the topmost circuit window; Options >
// Global Settings opens its dialog; Analysis > Limits brings the Analysis
// Limits dialog of the open analysis forward; Analysis > Transfer Function
// and Sensitivity open their dialogs on the topmost circuit window.
#pragma once

#include "platform/command.h"

enum AnalysisCommandId : int {
    kCmdAnalysisTransient = 17620,   // Alt+1
    kCmdAnalysisAc = 17621,          // Alt+2
    kCmdAnalysisDc = 17622,          // Alt+3
    kCmdAnalysisDistortion = 17628,  // Alt+8
    kCmdGlobalSettings = 18410,      // Ctrl+Shift+G
    kCmdAnalysisLimits = 16071,      // F9
    kCmdTransferFunction = 17230,    // Alt+7
    kCmdSensitivity = 17250,         // Alt+6
    kCmdStateVariablesEditor = 5400,  // F12
};

// The analysis kind a start command asks for (0 transient ... 3 distortion),
// -1 for any other id.
int AnalysisKindOfCommand(int id);

class CCTDoc;
// A start command on the topmost circuit window (null: none): refused while
// an analysis is open; else the settings file is saved, the kind marked used
// in the circuit and the analysis started. 0 or the start's result code
// (already reported); kResultNotBuilt for a refused start.
int RunAnalysisCommand(int id, CCTDoc* topCircuit);

class AnalysisCommandTarget final : public platform::CommandTarget {
public:
    bool OnCommand(int id) override;
    // A start command, Transfer Function and Sensitivity are enabled while no
    // analysis is open and a circuit window exists; Limits while an analysis
    // is open.
    bool OnUpdateCommand(platform::CommandState& state) override;
};
// The one target; the main frame's chain ends in it.
AnalysisCommandTarget& AnalysisCommands();
