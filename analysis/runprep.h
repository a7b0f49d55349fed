// What every run of an analysis does before it sets the circuit up at its
// temperature: the model records go back to the values of their statements,
// so that the set-up's in-place conversions never pile up from run to run.
#pragma once

class CCTDoc;

// Every model record of the circuit back to its statement's values: 0, or
// 15002 when a copy could not be made.
int RestoreModelParameters(CCTDoc* document);
// The models, then the instances, set up at `temperature` (degrees Celsius)
// from the statement values: 0 or the set-up's result code.
int SetupCircuitAtTemperature(CCTDoc* document, double temperature);
