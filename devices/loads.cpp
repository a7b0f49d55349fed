#include "devices/loads.h"

#include "devices/acloads.h"
#include "devices/behavioural.h"
#include "devices/depsources.h"
#include "devices/bjt_load.h"
#include "devices/fet_load.h"
#include "devices/mosfets.h"
#include "devices/diode.h"
#include "devices/noise.h"
#include "devices/timesources.h"
#include "devices/opamp.h"
#include "engine/acload.h"
#include "engine/lossyline.h"
#include "engine/newton.h"
#include "engine/transient.h"

void InstallDeviceLoads() {
    // One line per device kind: InstallDeviceKindLoads(<row>, &<the kind's row object>).
    InstallDeviceKindLoads(kRowPolySources, &PolySourceRowLoads());
    InstallDeviceKindLoads(kRowLinearDependentSources, &LinearDependentRowLoads());
    InstallDeviceKindLoads(kRowIdealLines, &IdealLineRowLoads());
    InstallDeviceKindLoads(kRowLossyLines, &LossyLineRowLoads());
    InstallDeviceKindLoads(kRowBipolars, &TheBipolarLoads());
    InstallDeviceKindLoads(kRowJfets, &TheJfetLoads());
    InstallDeviceKindLoads(kRowGaasfets, &TheGaasfetLoads());
    InstallDeviceKindLoads(kRowMosfets, MosfetKindLoads());
    InstallDeviceKindLoads(kRowDiodes, &DiodeKindLoads());
    InstallTimeSources(&DeviceTimeSources());
    InstallDelayLines(&IdealLineDelayServices());
    InstallDeviceKindLoads(kRowOpamps, &OpampStageLoads());
    InstallOpampValueComputation();
    InstallBehaviouralLoads();
    InstallAcKindLoads(kRowDiodes, &DiodeAcLoads());
    InstallAcKindLoads(kRowBipolars, &BipolarAcLoads());
    InstallAcKindLoads(kRowJfets, &JfetAcLoads());
    InstallAcKindLoads(kRowGaasfets, &GaasfetAcLoads());
    InstallAcKindLoads(kRowMosfets, &MosfetAcLoads());
    InstallAcKindLoads(kRowLinearDependentSources, &LinearDependentAcLoads());
    InstallAcKindLoads(kRowPolySources, &PolySourceAcLoads());
    InstallAcKindLoads(kRowOpamps, &OpampAcLoads());
    InstallAcKindLoads(kRowIdealLines, &IdealLineAcLoads());
    InstallNoiseKindSources(kRowDiodes, &DiodeNoiseSources());
    InstallNoiseKindSources(kRowBipolars, &BipolarNoiseSources());
    InstallNoiseKindSources(kRowJfets, &JfetNoiseSources());
    InstallNoiseKindSources(kRowGaasfets, &GaasfetNoiseSources());
    InstallNoiseKindSources(kRowMosfets, &MosfetNoiseSources());
}
