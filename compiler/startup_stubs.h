// Netlist reader services that start-up calls; not built yet.
#pragma once

// Builds the device-statement tables of the netlist reader before anything parses.
void BuildDeviceStatementTables();
