// SPICE device lines into parts and nodes: each line becomes a part of the
// circuit document as if it had been placed on a schematic — a component
// definition of the line's component type, a PART attribute, pins bound to
// nodes of the node-name table and the model and value attributes — so that
// the part set-up treats SPICE parts and schematic parts alike.
#pragma once

#include <string>

#include "compiler/statements.h"

class CCTDoc;
struct ComponentDef;
struct SchematicObject;

// Letter handlers (the whole statement, upper-cased): 0, or 15055 after a
// message naming the part or statement.
int ReadValueDeviceLine(SpiceStatementContext& context, char* statement);  // R, C, L
int ReadSourceLine(SpiceStatementContext& context, char* statement);       // V, I
int ReadCouplingLine(SpiceStatementContext& context, char* statement);     // K
// D, F, H, J, M, Q, S, Z (and I, V): the name and the letter's nodes, for Q a
// fourth substrate node written "[name]" or as a number before the model; then
// the model word for types that take one, and the rest as the value text.
// Q, M and J parts are made N-type and wait for ResolvePartPolarities.
int ReadGenericDeviceLine(SpiceStatementContext& context, char* statement);
// The next item of a device line at `cursor` (advanced past it): a braced or
// parenthesised group whole, a bracketed node name, a run of word characters,
// or one other mark; empty at the end of the statement.
std::string NextDeviceLineItem(const char*& cursor);
// Device kinds whose set-up does not exist yet: the read stops naming the line.
int ReadUnsupportedDeviceLine(SpiceStatementContext& context, char* statement);

// After reading: every Q, M and J part of the scope or a scope after it (the
// subcircuit bodies) whose MODEL names a statement of the P type visible from
// the part's scope (in the circuit, else found in the libraries, which brings
// it into the circuit) becomes the P-type component. 0, or 15055 when a
// library search failed with a message.
int ResolvePartPolarities(CCTDoc* document, int fromScope);

// A new part of the component type named `name`, in the current source's
// page and scope, with its pin array sized for the type: 0, or 15002.
int CreateSpicePart(SpiceStatementContext& context, const std::string& name, int componentType, SchematicObject** out);
// The document's own SPICE definition of the type, made on first use
// ("R1$", "V2$" ... with the type's pin count); null when out of memory.
ComponentDef* GetComponentDefForType(CCTDoc* document, int componentType);

// Binds a node name ("[name]" loses its brackets) in the scope to a node
// number, making a new node when the name is new; "0" is ground, names that
// begin "$G_" are global. 0, or 15055 after a message.
int AssignNode(SpiceStatementContext& context, const std::string& name, int* node);
// The node of a pin from a word; a missing word is "%EMissing nodes." (10908).
int AssignPinNode(SpiceStatementContext& context, SchematicObject* part, const std::string& word, int pin);

// The rest of a device line as the type's value attribute: '^' becomes "**"
// and, outside SPICE3, LOG( becomes LN(.
void SetDeviceValueText(CCTDoc* document, SchematicObject* part, const char* rest, int componentType);
