// SPICE subcircuits: the X line that calls one, the search for its .SUBCKT
// block (the calling text, its included files, the part's FILE, the model
// libraries), the binding of the definition's pins and parameters to the call
// in a new compile scope, and the reading of the body into that scope. The
// expansion walks the part list until every call, nested ones included, has
// its scope.
#pragma once

#include <string>
#include <vector>

#include "compiler/statements.h"

class CCTDoc;
struct SchematicObject;

// The 'X' handler of the device-letter table: a part of the subcircuit type
// with one pin per node word, NAME the subcircuit, PARAMS: and TEXT: sections
// kept as attributes. 0, or 15055 after a message.
int ReadSubcktCallLine(SpiceStatementContext& context, char* statement);

// Expands one call part into a new scope: 0, or 15055 after a message (10903
// when no source holds the definition).
int FindSubcircuit(CCTDoc* document, SchematicObject* part);

// Expands every subcircuit call of the document, the calls found in bodies
// too, each followed by the preparation of its scope's defines: 0 or 15055.
// The scopes of an earlier compile are forgotten first.
int ProcessSubcircuits(CCTDoc* document);

// True when the text begins with ".SUBCKT" (any case) and a blank; and when
// it begins with ".ENDS" followed by the end, a blank or ';'.
bool IsSubcktLine(const char* text);
bool IsEndsLine(const char* text);

// A parameter value as the definition or call wrote it: a plain word stays;
// a {...} group read inside an instance scope (scope 2 and up) has its braces
// turned into parentheses and each word replaced by the instance part's bound
// value of that parameter ("$.P NAME"); elsewhere the group stays as written.
std::string ReadBracedValue(const std::string& word, const SchematicObject* instancePart, int scope);

// The subcircuit module's message texts (start-up; RegisterCompilerMessages
// calls it).
void RegisterSubcircuitMessages();
