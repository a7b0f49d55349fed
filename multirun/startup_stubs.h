// Optimizer services that the program defaults call; not built yet.
#pragma once

// The optimizer's defaults.
void ResetOptimizerDefaults();
