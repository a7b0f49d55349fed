// Numbering of the analog simulator's unknowns: ground is 0, the analog nodes
// 1 to the node count, then one branch current per voltage-defined branch
// (inductors first, then the sources in a fixed order). Also the sizes and
// allocation of the solution vectors and charge states the engine works on.
// Everything works on one compiled circuit; numbering again gives the same
// numbers.
#pragma once

struct CompiledCircuit;

// Gives every branch of the circuit its unknown number (stored in the
// records' `branch` fields, 0 for records without one) and returns N, the
// last number given; N is also kept as the circuit's unknownCount.
int NumberSimulatorObjects(CompiledCircuit* compiled);
// N, or 2N while the running analysis is AC (a real and an imaginary value per
// unknown). The circuit must have been numbered.
int CountSimulatorUnknowns(const CompiledCircuit* compiled);
// The number of charge states the devices of the circuit keep.
int CountChargeStates(const CompiledCircuit* compiled);
// The dependency tables of the function sources: 0, or the code of the
// failure. This build has no function-source kind, so there is nothing to
// tabulate; a function-source record would fail it with 15090.
int BuildFunctionSourceDerivatives(CompiledCircuit* compiled);

enum SolutionVectorGroup : int {
    kFirstVectorGroup = 1,   // solution, AC vector, previous iterate, charge states
    kSecondVectorGroup = 2,  // the two accepted solutions and the right-hand side
};
// Allocates one group, each vector CountSimulatorUnknowns + 3 zeroed doubles
// (the charge states 4 per state, two arrays when there are states). 0, or
// 15055 after the compile arrays were released and 15002 was shown.
int AllocateSolutionVectors(CompiledCircuit* compiled, int group);
