// Analysis control services that the program defaults call; not built yet.
#pragma once

// The global simulation settings back to their defaults.
void ResetGlobalSettings(int flag);
