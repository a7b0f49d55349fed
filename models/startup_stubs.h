// Model services that start-up calls; not built yet.
#pragma once

// Start-up fix-ups of the per-device-type model parameter tables.
void InitModelParamTables();
