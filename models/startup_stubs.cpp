#include "models/startup_stubs.h"

// Not yet built: model parameter tables; none exists yet.
void InitModelParamTables() {}
