// The bipolar transistor load: Gummel-Poon currents with the substrate diode,
// excess phase, base-resistance modulation, junction and diffusion charges,
// limiting, bypass, convergence tests, power terms and pin currents.
#pragma once

#include "engine/newton.h"

class BipolarLoads : public DeviceKindLoads {
public:
    // Per transistor: (B, B); (E, E), (E, E'), (E', E) with an emitter
    // resistance; (C, C'), (C', C), (C, C) with a collector resistance; then
    // the sixteen core entries, the substrate sitting at B' for LPNP models
    // and at C' for the rest.
    int Reserve(SimulatorState& state) override;
    int Load(SimulatorState& state) override;
};
BipolarLoads& TheBipolarLoads();

// Failure kinds the load records.
constexpr int32_t kFailureBjtJunction = 14;
constexpr int32_t kFailureBjtCollector = 15;
constexpr int32_t kFailureBjtBase = 16;
constexpr int32_t kFailureBjtSubstrate = 17;
