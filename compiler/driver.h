// The compile driver: turns a circuit document (a schematic or a SPICE text)
// into its compiled circuit — device lists, numbered nodes and unknowns,
// solution vectors, compiled device expressions — in a fixed order of phases,
// stopping at the first that fails and then releasing everything it built. The
// reduced compiles run only the first phase (defines, model statements,
// libraries) or stop after the part list is complete.
#pragma once

class CCTDoc;
class CDoc;
class TextFile;
class DefineTable;

// Compiles the document for an analysis run; when a schematic's part-name check
// asked to rename parts, renames them and compiles once more. 0, 15055 after a
// shown message, or another message id.
int RunCircuitCompiler(CCTDoc* document, int expandMacros);
// One full compile (see RunCircuitCompiler).
int CompileCircuit(CCTDoc* document, int expandMacros);

// The first phase: the circuit's own statements into the define table, .MODEL
// statements and libraries; the global include file as scope 0 unless
// keepDefines. definitionsOnly skips warnings, part-name checks, model
// statements and .LIB statements and keeps the device reference flags.
int BeginCircuitCompile(CCTDoc* document, int keepDefines, int definitionsOnly);
// Reads a stream of SPICE lines: .DEFINE into the define table; any other dot
// statement outside subcircuit blocks becomes a statement of the table's
// document in the scope.
int ReadStatementText(DefineTable* table, TextFile& stream, int scope);

// The compile of translators, the bill of materials and Refresh Models: up to
// the complete part list; flags bit 0 resolves the models of every part (or of
// onlyPart).
int CompileCircuitForTranslation(CCTDoc* document, void* onlyPart, int flags);
// The first phase alone, for dialogs and formula texts (0 for a null document);
// report 0 leaves definition errors pending instead of showing them.
int LoadCircuitDefinitions(CCTDoc* document);
int LoadCircuitDefinitionsForFormulas(CCTDoc* document, int report);
