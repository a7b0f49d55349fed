// The set-up of OPAMP parts: the LEVEL of the part's OPA model chooses one
// transconductance stage into a load resistor (level 1), three stages whose
// first two carry the poles set by the gain-bandwidth product and the phase
// margin (level 2), or the macromodel of ordinary elements (level 3).
#pragma once

struct SchematicObject;

// Message ids of the model values the set-up refuses.
enum OpampSetupMessage : int {
    kMsgOpampBadType = 10960,         // level 3 TYPE other than 1, 2 or 3
    kMsgOpampBadPhaseMargin = 10961,  // level 2 PM not inside (0, 90) degrees
};

// Sets the current part up (the part set-up loop's current part): 0, 15002
// when its record cannot be made, or 15055 after a message.
int SetupOpamp(SchematicObject* part);

// The level-2 stage values of an OPA model's A, GBW, PM and total output
// resistance: the two pole capacitors and the per-stage transconductance.
struct OpampLevel2Values {
    double c1 = 0;
    double c2 = 0;
    double transconductance = 0;
};
OpampLevel2Values ComputeOpampLevel2(double gain, double gbw, double phaseMargin, double resistance);

// The set-up's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterOpampSetupMessages();
