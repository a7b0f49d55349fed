// Netlist translator services that start-up calls; not built yet.
#pragma once

// The netlist translator's defaults.
void ResetTranslatorDefaults();
