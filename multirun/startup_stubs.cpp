#include "multirun/startup_stubs.h"

// Not yet built: the optimizer and its defaults.
void ResetOptimizerDefaults() {}
