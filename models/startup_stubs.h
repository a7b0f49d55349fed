// Model services that start-up calls.
#pragma once

// InitModelParamTables: start-up fix-ups of the model parameter tables.
#include "models/modeltypes.h"
