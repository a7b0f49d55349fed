// The define table of a circuit (.DEFINE, .PARAM, .FUNC and instance
// parameters, kept per scope), the circuit's compile scopes with the
// qualification of names by scope, and SubstituteDefines, the one routine that
// puts define values into a text.
//
// Scope 0 is the global include file (prefix "'TARNINC'"), scope 1 the
// document itself, scopes 2 and up the expanded subcircuit and macro instances.
// Names are kept and compared in upper case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "models/modelstmt.h"

class CCTDoc;
struct SchematicObject;

// ---- scopes --------------------------------------------------------------------------------

constexpr int32_t kScopeKindSchematic = 22;
constexpr int32_t kScopeKindText = 49;
extern const char* const kGlobalIncludePrefix;  // "'TARNINC'"

struct CircuitScope {
    int32_t kind = 0;                         // kScopeKindSchematic or kScopeKindText
    std::string path;                         // file the scope's statements come from
    std::string name;                         // file or subcircuit name
    std::string prefix;                       // qualified instance path ("" for 1)
    SchematicObject* instancePart = nullptr;  // the part whose expansion made the scope
    int32_t libraryDefinesLoaded = 0;
    CCTDoc* document = nullptr;            // the document whose parts and statements the scope holds
    SchematicObject* firstPart = nullptr;  // the first part registered in the scope
    int32_t parent = 0;                    // the enclosing scope (1 for top-level instances)
    // A subcircuit instance: the call pin bound to each definition pin, where
    // its definition stands (page, start of the .SUBCKT line, its line, last
    // position of the .ENDS; -1 unknown), how deep it is nested in the
    // definition of its caller, and the blocks nested in its body.
    std::vector<int32_t> pinMap;
    int32_t page = 0;
    long startPosition = -1;
    int32_t line = 0;
    long endPosition = -1;
    int32_t nestingLevel = 0;
    std::vector<std::string> localSubcircuits;
};

// ---- entries ------------------------------------------------------------------------------

struct DefineEntry {
    char* name;  // upper case
    char* qualifiedName;
    char* value;           // may hold the substitution markers after pre-expansion
    int32_t simpleValue;   // IsSimpleDefineValue of the value
    int16_t argCount;      // formal arguments of a function-like define
    int16_t emptyArgList;  // written with "()"
    char** argNames;
    char* displayName;  // name and argument list as written
    int32_t nameLength;
    int32_t valueLength;
    StatementSource source;  // source.Scope: the entry's effective scope
    int16_t promoted;        // a top-level .PARAM/.FUNC stored in scope 0
    int32_t kind;            // 3 .DEFINE, 13 .PARAM, 14 .FUNC, 23 instance parameter
    int32_t used;
    char* toleranceText;
    ToleranceSpec tolerance;
    double numericValue;  // EvaluateUsedDefines
    char* sourceValue;    // the value as the statement gave it

    bool IsFunctionLike() const { return argCount > 0 || emptyArgList; }
};

// Substitution marker bytes around a value that is not simple.
constexpr char kMarkerOpen = 2;
constexpr char kMarkerClose = 1;
enum MarkerMode : int {
    kMarkersKeep = 0,
    kMarkersToParentheses = 1,
    kMarkersRemove = 2,
};

constexpr int kMaxInsertionsPerSubstitution = 10000;
// Longest text a substitution may grow to; longer results are refused (10881).
constexpr size_t kMaxSubstitutedLength = 1u << 20;

class DefineTable {
public:
    DefineTable() = default;
    ~DefineTable();
    DefineTable(const DefineTable&) = delete;
    DefineTable& operator=(const DefineTable&) = delete;

    void Init(CCTDoc* owner);
    // Frees every entry of every scope and the arrays; count and slots 0.
    void Clear();
    // Frees the scope records too; the highest scope becomes -1.
    void ClearScopes();

    // Entry index in the scope (name without case), or -1.
    int FindInScope(int scope, const char* name) const;
    // The entry of exactly that name in the scope, or null.
    DefineEntry* FindEntry(const char* name, int scope);
    DefineEntry* Entry(int scope, int index);
    int EntryCount(int scope) const;
    // The entry a word of `length` characters means at a brace level in a scope
    // (dotted names select an instance scope by prefix), or null.
    DefineEntry* FindForWord(const char* word, size_t length, int scope, int braceLevel);

    // Shows an expansion message with "Define:", the file(s) and "Expanding:".
    int ReportExpansionError(int id, const DefineEntry* entry, int scope, const char* expanding, const char* arg);

    // The expansion of a function-like define's call at `text + wordStart`
    // (the word is `wordLength` long): 0 and the replacement in *out (a new
    // heap text) with *consumed the length from the word's start to the
    // closing parenthesis, or a code after a message.
    int ExpandCall(const DefineEntry* entry, const char* text, size_t wordStart, size_t wordLength, int scope,
                   char** out, size_t* consumed);

    CCTDoc* owner = nullptr;
    int32_t count = 0;
    int32_t scopeSlots = 0;
    int32_t BracesRequired = 0;
    int32_t* entryCounts = nullptr;
    DefineEntry** entries = nullptr;
    int32_t NoLibraryDefines = 0;
    int32_t RunIndex = -1;
    // Entry capacity per scope.
    int32_t* entryCapacities = nullptr;
    // The circuit's compile scopes (0..highestScope; the vector may hold more).
    std::vector<CircuitScope> scopes;
    int32_t highestScope = -1;
    // Whether the library defines were loaded into scope 0 this compile.
    int32_t libraryDefinesLoaded = 0;

    // Grows the entry arrays to cover scope n: 0 or 15002.
    int EnsureSlots(int n);
};

// The define table of a circuit document's compile session (made on first use;
// null when out of memory or for a null document); ReleaseDefineTable frees the
// session with the document.
DefineTable* GetDefineTable(CCTDoc* document);
void ReleaseDefineTable(CCTDoc* document);

// ---- process-wide switches -------------------------------------------------------------------

// A compile whose statement texts stay unexpanded (netlist, macro or library text).
extern int TextPreservingCompile;
// The document's PCB netlist compile: parameters and .PARAM names stay as written.
extern int PcbNetlistCompile;
// Whether "/" separates words in substitution (on by default).
void SetSlashDelimiter(bool on);
bool SlashDelimiter();

// ---- scopes -----------------------------------------------------------------------------------

// The scope array and the table's slots cover index n (new records zeroed):
// 0 or 15055 (out of memory reported).
int EnsureScopes(CCTDoc* document, int n);
int EnsureScopes(DefineTable* table, int n);
// Scopes 0 (global include) and 1 (the document).
int InitRootScopes(CCTDoc* document);
int InitRootScopes(DefineTable* table, const char* documentPath, int documentKind);
// Sets an instance scope's prefix: the parent's prefix, "." when that is not
// empty, and the instance name. 0 or 15055.
int NameInstanceScope(DefineTable* table, int scope, int parent, const char* instanceName);
// The scope record, or null.
CircuitScope* GetScope(DefineTable* table, int scope);

// A new upper-case text: scope 0 "'TARNINC'." + name, scope 1 or negative the
// name, other scopes the prefix + "." + name. Null when out of memory.
char* QualifyName(DefineTable* table, const char* name, int scope);
// Upper-cased PART text into the buffer when it fits (length + 1 < size), else
// into a new heap text; FreeUnlessBuffer frees such a result.
char* CopyPartName(const SchematicObject* part, char* buffer, size_t size);
void FreeUnlessBuffer(char* text, char* buffer);

// ---- statements and entries ---------------------------------------------------------------------

// 1 when the value is one quoted text, one bracketed group spanning it, or one
// number with optional suffix letters.
int IsSimpleDefineValue(const char* value);
// Parses ".DEFINE", ".PARAM" or ".FUNC" (by keyword index) into the table: 0
// (also when the text is not that statement), or 15055 after a message.
int ParseDefineStatement(DefineTable* table, const char* text, const StatementSource& source, int keywordIndex);
// Adds an entry: 0 or 15055 (the table unchanged, except for a refused
// argument name, whose entry stays without name and value).
int AddDefine(DefineTable* table, const char* name, const char* argumentText, const char* value,
              const StatementSource& source, int kind, const char* toleranceText);
// A .DEFINE of scope 1 (source kind 2) whose value is formatted (any length)
// and upper-cased.
int AddFormattedDefine(DefineTable* table, const char* name, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Splits the text after an opening parenthesis into its arguments (new heap
// texts in *out, freed with FreeArgumentList): the count, or -1 when the list is
// not closed or text follows it (*error 0), or -1 with *error 15055 when out of
// memory.
int SplitArgumentList(char*** out, const char* text, int* error);
void FreeArgumentList(char** list, int count);

// ---- substitution ------------------------------------------------------------------------------

// Puts the defines of the scope (and the visible outer ones) into an
// upper-cased copy of the text in *out (a previous text is freed): 0, 15055
// after a message, or the error of a library load. `literal` substitutes every
// name as if inside braces; markerMode as MarkerMode.
int SubstituteDefines(DefineTable* table, char** out, int scope, const char* text, int literal, int markerMode);
// SubstituteDefines on a part's attribute in the part's scope (the shared empty
// text when the attribute is empty or on error; *error receives the code).
char* SubstituteAttribute(DefineTable* table, SchematicObject* part, int attributeId, int* error, bool numeric);
char* SubstitutePartValue(CCTDoc* document, SchematicObject* part, int* error);

// Pre-expands and checks a scope's defines after its statements were read.
int PrepareScopeDefines(DefineTable* table, int scope);
// Numeric values of the used, non-function defines after a compile.
void EvaluateUsedDefines(CCTDoc* document);
// The first non-function entry of any scope whose qualified name equals the
// name without case, or null.
DefineEntry* FindDefineByName(CCTDoc* document, const char* name);
// Whether the name is a function-like define visible in the scope.
bool IsFunctionDefine(DefineTable* table, const char* name, size_t length, int scope);

// Loads the .PARAM and .FUNC statements of the owner circuit's model libraries
// into scope 0 through the library search: 0 or the search's reported code.
// Substitution calls it once per compile, on the first braced word.
int LoadLibraryDefines(DefineTable* table, int scope);
// The compiler's reader of library statements (InstallCompilerServices
// installs it for the library search).
class LibraryStatementReader;
LibraryStatementReader& CompilerLibraryStatementReader();

// The values that runs give defines (sensitivity, stepping, Monte Carlo, DC
// sweep; analysis control implements it). Null object: no runs, no overrides.
class DefineRunValues {
public:
    virtual ~DefineRunValues() = default;
    // Run-time override of a define's value while runs are active: true and
    // the value text in the buffer.
    virtual bool RunTimeValue(const char* qualifiedName, int scope, char* buffer, size_t size) = 0;
    // Stepped value of a define in finished run `runIndex`: true and the value.
    virtual bool SteppedValue(const char* name, int runIndex, double* value) = 0;
};
DefineRunValues& RunValuesOfDefines();
// Installs the port (nullptr: the null object); returns the previous one.
DefineRunValues* InstallDefineRunValues(DefineRunValues* port);

// The .ARRAY lists of the compile scopes (compiler/arrays.h).
// Whether a name is an array of the scope.
bool IsScopeArrayName(DefineTable* table, const char* name, int scope);
// Compiles the scope's .ARRAY lists: 0 or a reported code.
int CompileScopeArrays(DefineTable* table, int scope);
