// Controlled sources, transmission lines and switches: the E, G, B, T and W
// device lines, the polynomial (E, F, G, H) and linear dependent source
// set-ups, the ideal line and the three switch set-ups. Set-ups work on
// CurrentSetupPart in the current circuit document; results follow the
// compiler's convention (0, 15055 after a message, 15002).
#pragma once

#include <string>

#include "compiler/statements.h"

struct SchematicObject;

// ---- device lines -------------------------------------------------------------------------

// E and G: VALUE, TABLE, LAPLACE and FREQ forms, a plain gain with two control
// nodes, or POLY(n). CHEBYSHEV is refused (10902).
int ReadDependentSourceLine(SpiceStatementContext& context, char* statement);
// B: a SPICE3 behavioural source (I= or V=) read as a G or E VALUE source;
// otherwise a GaAsFET line (like Z).
int ReadBLine(SpiceStatementContext& context, char* statement);
// T: four nodes, an optional model, the rest the value text.
int ReadTransmissionLineLine(SpiceStatementContext& context, char* statement);
// W: two nodes, the controlling source (REF) and the model; nothing after them.
int ReadCurrentSwitchLine(SpiceStatementContext& context, char* statement);

// ---- set-ups --------------------------------------------------------------------------------

// Evaluates up to `count` comma-separated fields (commas inside parentheses
// do not split) into values[0..count); empty or missing fields are 0. 0, or
// the evaluation's message id (not shown).
int EvaluateValueFields(const std::string& text, int count, double* values);

// Component types 50 to 53 (G, F, E, H): the value text "[POLY(n)] controls
// coefficients" into a polynomial source record, registered with the part.
int ParseDependentSource(SchematicObject* part, const std::string& text);
// A polynomial source record for a model that builds its own elements (the
// opamp macromodel): output nodes, kind 50 to 53, `dimension` inputs, room for
// five controls and seven coefficients (all 0; the count is
// `lastCoefficient` + 1), the output starting at `startOutput`. A current
// control is given by its voltage source: `firstControl` here, the others by
// setting inputs[i].branch to their source's branch field. Out of memory: the
// message is shown, *status becomes 15055 and the result is null.
struct SourceRecord;
struct PolySourceRecord;
PolySourceRecord* AddControlledSourceRecord(SourceRecord* firstControl, int outPlus, int outMinus, int kind,
                                            int dimension, int lastCoefficient, double startOutput, int* status);
// After every part is registered: the controlling voltage source of every F
// and H input (10799 naming a source that is missing or not a voltage source).
int ResolveControllingSources();
// Component types 26 to 29: gain[,second[,third]] from VALUE.
int SetupLinearTransducer(int componentType);
// Tline: an ideal line when its model or value gives ZO, TD, F or NL, else a
// lossy line (SetupLossyLine).
int SetupIdealLine();
struct ModelRecord;
// A lossy line with the model: a leading bare number is its length, then
// LEN=, R=, L=, G= and C= (each kept as the line's own, given or not).
int SetupLossyLine(ModelRecord* model);
// Switch (12), S switch (115), W switch (116).
int SetupSwitch();
int SetupVoltageSwitch();
int SetupCurrentSwitch();

// The set-up of the value text of a part of types 50 to 53 (VALUE with the
// circuit's defines substituted, then ParseDependentSource).
int SetupPolySource();

// The messages of the readers and set-ups (start-up; RegisterCompilerMessages
// calls the first, which registers both).
void RegisterDependentSourceMessages();
void RegisterLineAndSwitchMessages();
