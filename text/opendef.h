// Going to the text that defines something: the subcircuit a call line calls,
// the library or include file a dot command names, the file or define a part
// takes its data from; and help for a part or a dot command.
#pragma once

#include <cstdint>

class CCTDoc;
class CTxtEditWnd;
struct GridTextObject;
struct SchematicObject;

// Opens a file (completed along the library path) as a circuit or as a text
// by its kind, and shows the text position on its page: 0, or the code of a
// failed open (reported by the open).
int OpenFileAtPosition(const char* path, int32_t position, int32_t page);

// The definition of a statement of the circuit: with `call`, a subcircuit
// call ("X...") opens the circuit's own file at its .SUBCKT; ".LIB" and
// ".INCLUDE" open their text file, ".MACRO" its macro file. Nothing while an
// analysis runs, or when the circuit does not compile. 0 or a result code.
int OpenDefinitionOfText(CCTDoc* document, const char* text, bool call);

// The definition of the statement on a line (0-based) of a text editor: a
// continuation line ("+") stands for the statement's first line; a ";"
// comment is cut off.
int OpenDefinitionOfLine(CCTDoc* document, CTxtEditWnd* editor, int64_t line);
// The statement at the editor's caret.
int OpenDefinitionAtCaret(CTxtEditWnd* editor);

// A grid text: the definition of its statement.
int OpenDefinitionOfObject(CCTDoc* document, GridTextObject* text);
// A part: the file its FILE attribute names, the subcircuit it calls, the
// define that holds a digital primitive's data, or its model.
int OpenDefinitionOfObject(CCTDoc* document, SchematicObject* component);
// The define that the part's attribute names, in the circuit's define table.
int OpenDefineOfAttribute(CCTDoc* document, SchematicObject* component, int attributeId);

// Context help for a part (its component type's topic) or for a dot command
// in a grid text.
void HelpForObject(CCTDoc* document, SchematicObject* component);
void HelpForObject(CCTDoc* document, GridTextObject* text);
