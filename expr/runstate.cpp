#include "expr/runstate.h"

int32_t PhaseUnwrapSetting = 1;
SolverReadState gSolver;

void SetAnalysisKind(int kind) {
    gSolver.AnalysisKind = kind;
    RunVars.analysis = kind;
}

void ResetRunState() {
    RunVars = RunVariables();
    gSolver = SolverReadState();
    CircuitPowerTotals = CircuitTotals();
}
