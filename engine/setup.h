// The matrices of an analysis: preparing the simulator state for a new
// analysis, building a matrix pair's structure by one full load and the +-1
// pre-ordering, and releasing the pairs and vectors with the compiled circuit.
#pragma once

#include "engine/newton.h"

class CCTDoc;

// Prepares the state for a new analysis (tolerance copies, time and step,
// the equation count), installs `pair`, creates its matrix when it has none,
// and builds the structure by one full load followed by the pre-ordering.
// With `clearSolutions` the solution vectors are zeroed first. A circuit
// without nodes builds nothing and returns 0 with OperatingPointActive 0.
// 0, 15002, 15051, a floating-point code or the load's error. The matrix stays
// in its pair whatever the outcome. Callers set MatrixBuilt to 1 afterwards.
int BuildAnalysisMatrix(SimulatorState& state, IterationHost* context, bool clearSolutions, MatrixPair& pair);
// Destroys the pair's matrix and forgets its entries (uninstalling it).
void FreeMatrixPair(SimulatorState& state, MatrixPair& pair);
// Both the DC and the transient pair.
void FreeAnalysisMatrices(SimulatorState& state);
// Releases what a run of the document's compiled circuit holds: both matrix
// pairs, the state's vectors (withdrawn from what expressions read), and then
// the compiled circuit itself. The state can be attached again afterwards.
void ReleaseCompiledCircuit(SimulatorState& state, CCTDoc* document);
