#include "engine/startup_stubs.h"

// Not yet built: the simulator and its defaults.
void ResetSimulatorDefaults() {}
