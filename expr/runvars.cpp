#include "expr/runvars.h"

RunVariables RunVars;
GlobalSettingValues GlobalSettings;
CircuitTotals CircuitPowerTotals;
