// The expression language's start-up steps.
#pragma once

class StartupRegistry;

// Adds them to the registry: the symbol indexes when the application starts,
// the floating-point state before the command line is read, and the random
// generator's seed from the clock once the libraries are loaded.
void RegisterExprStartup(StartupRegistry& registry);
