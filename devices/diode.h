// The junction diode's matrix reservation and load (load-order row 1). The
// same shape serves every semiconductor kind: junction voltages by iteration
// mode, prediction and bypass, limiting, currents, charges, convergence test,
// floors, stamps, power terms.
#pragma once

#include "engine/newton.h"

class DiodeLoads : public DeviceKindLoads {
public:
    // Per diode: the series resistance (anode, internal anode) when it has
    // one, then the junction (internal anode, cathode). 0 or 15002.
    int Reserve(SimulatorState& state) override;
    // Never fails for lack of convergence; 101 when a diode has no charge
    // block in the state (a state attached before the diodes were added).
    int Load(SimulatorState& state) override;
};

// The installed row object (devices/loads.cpp).
DiodeLoads& DiodeKindLoads();

// The first charge block of the diodes: they follow the capacitors and the
// inductors, four slots each.
int DiodeStateBase(const SimulatorState& state);
