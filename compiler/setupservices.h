// Services the per-kind part set-ups share: the records the compiler adds by
// itself (resistors, capacitors, sources, inductors), registering a part's name
// and link, finding a part's model, making internal nodes, pending expression
// texts and source tolerances. Each works on the current circuit document's
// compile session and compiled circuit; records go to the device list set that
// is current (the compile makes the circuit's set current with a
// DeviceListScope). Results follow the compiler's convention: 0, 15055 after a
// message, a code otherwise.
#pragma once

#include <cstdint>
#include <string>

class CCTDoc;
struct CapacitorRecord;
struct DeviceExpression;
struct DeviceRecord;
struct InductorRecord;
struct ModelRecord;
struct ResistorRecord;
struct SchematicObject;
struct SourceRecord;

// ---- records the compiler adds ------------------------------------------------------------
// Each failure releases the compile arrays (flags 3), shows 15002, sets *status
// to 15055 and returns null; *status is left alone on success.

ResistorRecord* AddResistorDevice(int node1, int node2, double value, int noise, int* status);
// The index is the compiled circuit's capacitor count before the record (0 first).
CapacitorRecord* AddCapacitorDevice(int node1, int node2, double value, int* status);
// Source kind 30 voltage, 11 current; the DC and working values are `value`.
SourceRecord* AddSourceDevice(int node1, int node2, int sourceKind, double value, int* status);
// The index is the compiled circuit's inductor count before the record (0 first).
InductorRecord* AddInductorDevice(double value, int node1, int node2, int* status);
// Stores the text as the expression's pending text (compiled after the set-up).
int AddTextItem(const char* text, DeviceExpression* expression);

// ---- registration -----------------------------------------------------------------------------

// Links record and part, checks the part's name (empty: 10841; duplicate or
// illegal characters: the name check's message), stores kind, model, value
// link and qualified name in the part's link of the compiled circuit, enters
// the name in the session's part name index and sets the record's rated power
// (POWER, else 1 W for diodes and 0.1 W for the rest). `record` may be null
// (parts that keep no record).
int RegisterPartName(DeviceRecord* record, int kind, ModelRecord* model, double* value, SchematicObject* part);

// ---- pins, models, nodes ----------------------------------------------------------------------

// The node of pin `index` (0 the first), 0 when the part has no such pin.
int PartPin(const SchematicObject* part, int index);
// The four pin-node slots of a part (0 for the pins it lacks).
void LoadPartPins(const SchematicObject* part, int pins[4]);
// The statement row of the model that the attribute names (defines substituted,
// literal) for the model type of the part's component type, or -1; nothing is
// reported for a missing model. A failure of the lookup itself sets *status
// (may be null) to 15055.
int FindPartAttributeModel(CCTDoc* document, SchematicObject* part, int attributeId, int* status);
// The model record of the part's MODEL attribute; a missing model is reported
// (naming the model) and the result is null.
ModelRecord* FindPartModelRecord(CCTDoc* document, SchematicObject* part);
// As FindPartModelRecord for a bipolar part; a PNP or LPNP part whose model
// of its own type is missing takes an NPN model of that name as it is.
ModelRecord* FindBipolarModelRecord(CCTDoc* document, SchematicObject* part);
// A record of the type filled with the type's defaults, or null.
ModelRecord* DefaultModelRecord(CCTDoc* document, int modelType);
// The value of a named parameter of a model record (0 when the model or the
// parameter is unknown).
double ModelParameter(const ModelRecord* model, const char* name);
// Sets a named numeric parameter of a model record in its working and nominal
// values (a model a set-up made for an element of its own); false when the
// model has no such parameter.
bool SetModelParameter(ModelRecord* model, const char* name, double value);

// A new node without a name: the compiled circuit's analog node count plus one.
int NewInternalNode();
// Names the node the part's PART text followed by the suffix, made unique with
// "_1", "_2" ... among the session's node names, and enters it in the
// document's node-name table (analog, the part's scope) and the index.
int NameInternalNode(SchematicObject* part, const char* suffix, int node);
// The default node when value is exactly 0; else a new node named by suffix.
int MakeNamedInternalNode(double value, int defaultNode, const char* suffix);
// The name NameInternalNode gave the node, "" when none (for reports and tests).
std::string InternalNodeName(CCTDoc* document, int node);

// ---- texts -------------------------------------------------------------------------------------

// The attribute with the circuit's defines substituted in the part's scope;
// *error receives 0 or the code (the text is then empty).
std::string SubstitutedAttribute(SchematicObject* part, int attributeId, bool numeric, int* error);
// In AC runs: the part's FREQ text (defines substituted) becomes the
// expression's pending text. Elsewhere nothing happens.
int AddAcFrequencyExpression(SchematicObject* part, DeviceExpression* expression);
// Shows 11903 with the text, the part as source; returns 15055.
int ReportExtraText(SchematicObject* part, const char* text);
