// Part set-ups of bipolar transistors (three and four pins), JFETs and
// GaAsFETs: each finds the part's model, makes the device record, reads the
// instance text after the model name (area, OFF, IC=) and makes the internal
// nodes behind the model's nonzero series resistances.
#pragma once

struct BipolarRecord;
struct JfetRecord;
struct SchematicObject;

// On CurrentSetupPart. modelType -1 looks the part's MODEL attribute up and
// registers the part's name; another value uses that type's default model.
// *status receives the instance scan's result, then the registration's, and
// 15055 on a missing model, a failed allocation or an area of exactly 0. The
// record is returned whenever one was made (null otherwise).
BipolarRecord* SetupBipolar(int base, int emitter, int collector, int substrate, const char* valueText, int modelType,
                            int componentType, int* status);
JfetRecord* SetupJfet(int gate, int drain, int source, int modelType, int componentType, const char* valueText,
                      int* status);
// On CurrentSetupPart (pins drain, gate, source): 0 or 15055.
int SetupGaAsFet();
