// The set-ups of the passive parts: resistors, capacitors, inductors, K
// couplings and transformers. Each works on CurrentSetupPart in the current
// circuit document and leaves the value texts as pending expression texts; the
// device expression pass compiles them once every node exists.
#pragma once

struct DeviceExpression;
struct DeviceRecord;
struct ModelRecord;
struct SchematicObject;

int SetupResistor();
int SetupCapacitor();
int SetupInductor();
int SetupCoupling();
int SetupTransformer();

// For a part of a SPICE3 or ambiguous text, decides which word of VALUE names a
// model and rewrites MODEL and VALUE (and an ambiguous part's dialect) to
// match. The statement row of the part's model, or -1 for none; a missing model
// that the value cannot take as its text is reported and *status becomes 15055.
int ResolveSpiceValueAndModel(SchematicObject* part, int* status);

// The value fields of a passive part: the first value field of VALUE becomes
// the value expression's pending text, FREQ the frequency expression's in AC
// runs, and "TC=tc1[,tc2]" (resistors, kind 2) or "IC=value" (inductors 3 and
// capacitors 4) are read after it. Registers the part. tc1/tc2 and ic/icGiven
// may be null for the kinds that have none.
struct PassiveValueFields {
    DeviceExpression* value = nullptr;
    DeviceExpression* frequency = nullptr;
    double* principal = nullptr;
    double* tc1 = nullptr;
    int* tc1Given = nullptr;
    double* tc2 = nullptr;
    int* tc2Given = nullptr;
    double* ic = nullptr;
    int* icGiven = nullptr;
};
int ParsePassiveValue(int kind, DeviceRecord* record, const PassiveValueFields& fields, ModelRecord* model);
