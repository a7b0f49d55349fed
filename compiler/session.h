// The compile session of one circuit document: everything a compile of that
// circuit builds and later substitutions and runs read — the define table with
// the compile scopes, the part and node name indexes, and the circuit's own
// copy of the simulation options. Two circuits compile side by side without
// sharing any of it, and the user's global settings stay their defaults.
#pragma once

#include <memory>

#include "compiler/arrays.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/options.h"
#include "compiler/scanner.h"
#include "compiler/spicereader.h"
#include "compiler/stmtstate.h"
#include "compiler/warnings.h"

class CCTDoc;

class CompileSession {
public:
    explicit CompileSession(CCTDoc* document);
    CompileSession(const CompileSession&) = delete;
    CompileSession& operator=(const CompileSession&) = delete;

    DefineTable defines;
    PartNameIndex parts;
    NodeNameIndex nodes;
    CircuitOptions options;
    // The SPICE text reader's sources, words and part definitions.
    SpiceReaderState reader;
    // What the analysis, output and initial-condition statements left.
    StatementState statements;
    // The compile marks: the document's last part and last statement when the
    // compile began. Releasing the compile deletes what came after them; a
    // SPICE text keeps none, since every part of it comes from its text.
    bool marksSet = false;
    PoolItem* partMark = nullptr;
    PoolItem* statementMark = nullptr;
    // The .ARRAY lists read this compile.
    ScopeArrays arrays;
    // The .WARNING statements of this compile and the circuit's warning box styles.
    CircuitWarnings warnings;
    // What a full compile built; null until the first one.
    std::unique_ptr<CompiledCircuit> compiled;
};

// The session of a circuit document, made on first use (its options a copy of
// the global settings); null for a null document or when out of memory. It
// lives until ReleaseDefineTable releases it with the document.
CompileSession* GetCompileSession(CCTDoc* document);
// The session when the document has one, else null (nothing is made).
CompileSession* FindCompileSession(const CCTDoc* document);

// The model statements, records and compile notes of a circuit document, made
// on first use; null for a null document or when out of memory. They go with
// the document.
struct CircuitModels;
CircuitModels* GetCircuitModels(CCTDoc* document);
