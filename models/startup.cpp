#include "models/startup.h"

#include "core/startup_registry.h"
#include "models/modeltypes.h"

void RegisterModelStartup(StartupRegistry& registry) {
    registry.Add(StartupPhase::kModels, "models: parameter tables", [] {
        InitModelParamTables();
        return 0;
    });
}
