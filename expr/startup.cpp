#include "expr/startup.h"

#include <cstdint>

#include "core/services.h"
#include "core/startup_registry.h"
#include "expr/evaluate.h"
#include "expr/stateful.h"
#include "expr/symbols.h"

void RegisterExprStartup(StartupRegistry& registry) {
    registry.Add(StartupPhase::kApplication, "expr: symbol indexes", [] {
        BuildSymbolIndexes();
        return 0;
    });
    registry.Add(StartupPhase::kNumbers, "expr: floating-point state", [] {
        ResetFloatingPointState();
        return 0;
    });
    // Random values of expressions draw from one generator, seeded from the clock.
    registry.Add(StartupPhase::kComponents, "expr: random seed", [] {
        const auto seed = static_cast<unsigned>(GetSeconds() * 1000.0);
        SeedRandom(static_cast<int32_t>(seed & 0x7FFFFFFF));
        return 0;
    });
}
