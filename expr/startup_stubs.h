// Expression language services that start-up calls.
#pragma once

#include "expr/evaluate.h"  // ResetFloatingPointState
