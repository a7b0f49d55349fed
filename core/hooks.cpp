// The process-wide table of hooks into later subsystems.
#include "core/hooks.h"

CoreHooks& Hooks() {
    static CoreHooks hooks;
    return hooks;
}
