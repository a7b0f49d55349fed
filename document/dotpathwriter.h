// Writing the path settings into a circuit as ".PATH" statements: in its
// grid texts and the text of its text pages.
#pragma once

#include <string>

class CCTDoc;

// Rewrites the document's statements: each checked kind keeps one statement,
// `statements[kind]` (a grid text of the kind takes it in place; otherwise it
// is appended to the netlist text page), every other statement of a checked
// kind goes, statements of unchecked kinds stay. One undo step ".Path". 0, or
// 15002 when a text could not be stored.
int WriteDotPathStatements(CCTDoc* document, const bool checked[3], const std::string statements[3]);

// Installs the writer as the Paths dialog's, working on the top circuit.
void InstallDotPathWriterOfCircuits();
