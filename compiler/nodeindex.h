// The compiled node names of a circuit offered to the document's name lookups.
#pragma once

// Installs the compile sessions' node-name indexes as the document layer's
// index of compiled node names (start-up; InstallCompilerServices calls it).
void InstallCompiledNodeNames();
