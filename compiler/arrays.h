// .ARRAY statements: a name for a list of values (such as standard resistor
// values) that expressions index. The lists belong to the compile session of
// their circuit; each is read where defines are read and its elements are
// compiled once the defines of its scope are complete.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "expr/compiled.h"
#include "expr/runstate.h"
#include "models/modelstmt.h"

class CCTDoc;
class DefineTable;

struct ArrayEntry {
    StatementSource source{};  // source.Scope: the array's scope
    std::string name;          // upper case
    std::string values;        // upper case, everything after the name
    std::vector<std::unique_ptr<CompiledExpression>> elements;
};

// The arrays of one compile session and the views expressions read at run time.
struct ScopeArrays {
    std::vector<std::unique_ptr<ArrayEntry>> entries;
    std::vector<UserArrayView> views;
    std::vector<std::vector<CompiledExpression*>> viewElements;
};

// Reads ".ARRAY NAME v1,v2,...": 0 when the text is no .ARRAY statement or the
// array was added; 15055 after 10935 (no name), 10936 (the name is a define or
// an array of the scope), 10889 or 10886 (not a name a define may have) or
// 10934 (no values). A refused entry stays in the list as far as it was read.
int ParseArrayStatement(DefineTable* table, const char* text, const StatementSource& source);
// 1 when an array of that name exists in exactly that scope.
int FindArrayInScope(DefineTable* table, const char* name, int scope);
// Substitutes, flattens and compiles the elements of every array of the
// scope: 0, 15002, or 15055 after the compile message.
// (CompileScopeArrays and IsScopeArrayName are declared with the defines.)
// The index of the array a name means in a scope (then its enclosing scopes),
// -1 when none; the index is the one the run-time views use.
int FindUserArrayIndex(CCTDoc* document, const char* name, int scope);
// Makes the circuit's compiled arrays the ones run-time expressions read.
void PublishUserArrays(CCTDoc* document);
// Frees every entry.
void FreeArrays(CCTDoc* document);

// The module's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterArrayMessages();
