// Simulator services that the program defaults call; not built yet.
#pragma once

// The simulator's defaults.
void ResetSimulatorDefaults();
