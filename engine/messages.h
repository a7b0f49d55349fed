// The message texts of the analog engine.
#pragma once

// Registers them in the string table (start-up).
void RegisterEngineMessages();
