// The device kinds this subsystem loads into the analog engine. Each kind's
// reserve and load is a DeviceKindLoads row object (engine/newton.h); start-up
// installs them all once, before any circuit runs.
#pragma once

// Installs the rows of every device kind built here (idempotent).
void InstallDeviceLoads();
