#include "devices/loads.h"

#include "devices/mosfets.h"
#include "devices/diode.h"
#include "engine/newton.h"

void InstallDeviceLoads() {
    // One line per device kind: InstallDeviceKindLoads(<row>, &<the kind's row object>).
    InstallDeviceKindLoads(kRowMosfets, MosfetKindLoads());
    InstallDeviceKindLoads(kRowDiodes, &DiodeKindLoads());
}
