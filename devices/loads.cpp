#include "devices/loads.h"

#include "devices/bjt_load.h"
#include "devices/fet_load.h"
#include "devices/mosfets.h"
#include "engine/newton.h"

void InstallDeviceLoads() {
    // One line per device kind: InstallDeviceKindLoads(<row>, &<the kind's row object>).
    InstallDeviceKindLoads(kRowBipolars, &TheBipolarLoads());
    InstallDeviceKindLoads(kRowJfets, &TheJfetLoads());
    InstallDeviceKindLoads(kRowGaasfets, &TheGaasfetLoads());
    InstallDeviceKindLoads(kRowMosfets, MosfetKindLoads());
}
