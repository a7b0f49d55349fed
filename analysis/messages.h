// The message texts of analysis control.
#pragma once

// Registers them in the string table (start-up).
void RegisterAnalysisMessages();
