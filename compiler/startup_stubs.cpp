#include "compiler/startup_stubs.h"

// Not yet built: the netlist reader and its device-statement tables.
void BuildDeviceStatementTables() {}
