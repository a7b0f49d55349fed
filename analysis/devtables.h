// The device variable and model parameter tables of the numeric output: after
// the operating point of a run, every device kind of the compiled circuit
// lists its devices side by side with one row per quantity, and every model
// type in use lists the parameter values of its models.
#pragma once

#include <vector>

#include "analysis/numout.h"

class CCTDoc;
struct CompiledCircuit;

// The device sections of the compiled circuit, in the report's fixed order of
// device kinds; kinds without devices are left out. `solution` is the solution
// vector by equation number (missing entries read 0); `ac` selects the AC pin
// currents where a kind keeps them.
std::vector<DeviceTableSection> CollectDeviceSections(CompiledCircuit& circuit, const std::vector<double>& solution,
                                                      bool ac);

// The model parameter tables of the model types in use, in the report's fixed
// order; a type none of whose devices has a model is left out.
std::vector<ModelParameterTable> CollectModelParameterTables(CompiledCircuit& circuit);

// The whole device pass of a run into the analysis's numeric output: the
// operating point (with the kind's operating-point switch), then the model
// parameter and device tables as the kind's switches ask. Nothing when the
// file is not open or the document has no compiled circuit.
void WriteDeviceVariables(NumericOutput& output, CCTDoc* document, const std::vector<double>& solution);
