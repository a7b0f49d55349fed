// The source waveforms as the transient run reaches them: the values of every
// pulse, sine and SPICE source at the run's present time, their step bound and
// the PWL and NOISE tables of a run.
#pragma once

class TimeSourceServices;

// The one object start-up installs (InstallTimeSources, engine/transient.h).
TimeSourceServices& DeviceTimeSources();
