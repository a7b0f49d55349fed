#include "analysis/startup_stubs.h"

// Not yet built: the global simulation settings.
void ResetGlobalSettings(int) {}
