// Expression language services that start-up calls; not built yet.
#pragma once

// Resets the run time's floating-point state and the expression language's
// process-wide state words.
void ResetFloatingPointState();
