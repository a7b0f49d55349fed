#include "expr/startup_stubs.h"

// Every start-up service of the expression language is built (expr/evaluate.cpp).
