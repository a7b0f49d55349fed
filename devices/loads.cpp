#include "devices/loads.h"

#include "devices/opamp.h"
#include "engine/newton.h"

void InstallDeviceLoads() {
    // One line per device kind: InstallDeviceKindLoads(<row>, &<the kind's row object>).
    InstallDeviceKindLoads(kRowOpamps, &OpampStageLoads());
}
