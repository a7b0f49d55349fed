// The diode part set-up: its model, the instance text, the internal anode
// behind the series resistance, and the record the diode load evaluates.
#pragma once

struct DiodeRecord;
struct ModelRecord;
struct SchematicObject;

// Sets up CurrentSetupPart as a diode between the nodes. With modelType -1
// the model is the part's MODEL; with a given model that one; otherwise a
// default model of modelType (the analog LED). A diode whose pins are one node
// makes no record: null with *status untouched. Otherwise the record, with
// *status the scan's result, or 15055 after a message (missing model, memory,
// an area of 0) — the record may still be returned then.
DiodeRecord* SetupDiode(int anode, int cathode, const char* valueText, int modelType, ModelRecord* model, int* status);
// The part set-up loop's entry: pins 1 and 2, the VALUE text with defines
// substituted. 0 or 15055.
int SetupDiodePart(SchematicObject* part);

// The diode set-up's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterDiodeSetupMessages();
