// The model layer's start-up steps.
#pragma once

class StartupRegistry;

// Adds the start-up fix-ups of the model parameter tables to the registry.
void RegisterModelStartup(StartupRegistry& registry);
