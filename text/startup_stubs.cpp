#include "text/startup_stubs.h"

// Not yet built: the netlist translator and its defaults.
void ResetTranslatorDefaults() {}
