// The independent sources: SPICE-style voltage and current sources whose VALUE
// holds a source specification (DC, AC, one transient function, LOT/DEV
// tolerances, PWL lists with REPEAT blocks), and the model-driven pulse, sine
// and user sources.
#pragma once

struct SchematicObject;
struct SourceRecord;

// One row of the transient functions a source value may name.
struct TransientFunction {
    const char* keyword;  // "" for none
    const char* displayName;
    int kind;            // SourceFunction
    int parameterCount;  // -1: a PWL list
};
constexpr int kTransientFunctionCount = 8;
extern const TransientFunction TransientFunctionTable[kTransientFunctionCount];

// Where the fields of a value text stand (offsets into the text given to
// ParseStimulus, -1 where a field is absent). The attribute dialog asks for it.
struct StimulusPositions {
    int dc = -1;
    int acMagnitude = -1;
    int acPhase = -1;
    int parameters[7] = {-1, -1, -1, -1, -1, -1, -1};
    int pwlStart = -1;  // the first character after "PWL" and its blanks
};

// Parses a source's value text into the record. With report false no message
// is shown (the codes are the same). With positions given nothing is evaluated
// or stored: the positions of the fields are recorded, and a PWL list is not
// read. 0, or 15055 after a message.
int ParseStimulus(SourceRecord* record, const char* text, bool report, StimulusPositions* positions,
                  SchematicObject* part);

// AddSourceDevice, registration (the record's working value as the value
// link) and ParseStimulus on the value text.
int SetupSpiceSource(int node1, int node2, int sourceKind, SchematicObject* part, const char* valueText);
// On CurrentSetupPart.
int SetupPulseSource();
int SetupSineSource();
int SetupUserSource();
