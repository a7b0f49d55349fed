// .MODEL statements and model records.
//
// A circuit's model statements are kept per circuit in a CircuitModels record:
// the statement list (appended to, never reordered; an index is a statement
// row), one object pool of ModelRecords per model type, and the two library
// lists of the model search (models/lookup.h). ResolveAko turns a statement
// into the value array that the device models read: the type's defaults, the
// values inherited through "AKO:" from a base model, then the statement's own
// NAME=value list with its LOT and DEV tolerances.
//
// The circuit document owns one CircuitModels (CreateCircuitModels); the
// model layer never looks inside the document itself. What it needs of the
// document and of the compiler (define substitution, scopes, qualified names,
// memory, the run modules) it reaches through the ports below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pool.h"
#include "expr/runvars.h"
#include "models/modeltypes.h"

class CCTDoc;
struct ModelRecord;
struct LibraryEntry;

// ---- switches of the part attribute dialog and the library readers -----------------

// Set while the Attribute dialog of a part is open.
extern int AttributeDialogOpen;
// Set while the Attribute dialog compiles the circuit: .MODEL texts keep the
// case they were written in.
extern int AttributeDialogCompiling;
// Set while the Attribute dialog resolves the model of the part it edits:
// message sources in binary libraries are not brought up in a library window.
extern int AttributeDialogResolvingModel;
// Set while models are read from libraries or refreshed.
extern int LibraryTextMode;

// ---- tolerances ------------------------------------------------------------------------

enum ToleranceDistribution : uint8_t {
    kDistDefault = 0,
    kDistGauss = 1,
    kDistUniform = 2,
    kDistWorstCase = 3,
};
constexpr uint8_t kNoTrackingIndex = 255;

// The LOT and DEV deviations of one parameter (also of .define and .param values).
struct ToleranceSpec {
    double Lot;        // absolute LOT deviation; 0 = none
    double Dev;        // absolute DEV deviation; -1 = none
    uint8_t LotIndex;  // LOT tracking number 0-9; 255 = none
    uint8_t DevIndex;  // DEV tracking number 0-9; 255 = none
    uint8_t LotDist;   // ToleranceDistribution
    uint8_t DevDist;

    void Init();
    // Evaluates the value text ("10%" is 10 % of the nominal value) into Lot or
    // Dev (DEV keeps the magnitude), the digit text (may be null or empty) into
    // the tracking index and stores the distribution: 0, the evaluation's
    // code, or 11863 for a tracking number outside 0..9. Nothing changes on an
    // error.
    int Set(double nominal, const char* valueText, bool lot, const char* digits, int distribution);
};

// Recognises "LOT" or "DEV" (any case) at the start of a parameter token, with
// an optional "/n" tracking number and "/GAUSS", "/UNIFORM" or "/WCASE".
struct ToleranceKeyword {
    bool isLot;        // LOT (else DEV)
    char digits[11];   // the tracking digits as written, "" when none
    int distribution;  // ToleranceDistribution
    const char* rest;  // what the keyword left of the token, blanks skipped
};
// False when the token does not begin with LOT or DEV.
bool ParseToleranceKeyword(const char* token, ToleranceKeyword* out);

// ---- statements --------------------------------------------------------------------------

// Where a statement stands; also kept with defines and parameters.
enum StatementSourceKind : int32_t {
    kSourceIncludeLine = 0,    // a line of an included file (defines)
    kSourceObject = 1,         // a schematic object (placed statement or part)
    kSourceTextLine = 2,       // a line of a text: a text page, an included file, a text library
    kSourceBinaryLibrary = 3,  // a model of a binary library
    kSourceOtherObject = 4,    // another circuit object
};

struct StatementSource {
    int32_t SourceKind;
    int32_t Scope;       // 0 the global include file, 1 the main circuit, 2 and up subcircuit bodies
    intptr_t SourceRef;  // kinds 1 and 4: the object; kind 2: the line in its text; kind 3: 0
    int32_t SourceAux;   // kind 1: the object's line index (-1 none); kind 2: the text page; kind 3: 0
};

struct ModelStatement {
    char* Name;         // upper case unless parsed while the Attribute dialog compiles
    int32_t Type;       // the keyword's model type (NMOS/PMOS: 3 or 16)
    int32_t LevelType;  // NMOS/PMOS: the type LEVEL selects; 0 for other types
    char* ParamText;    // the text after the type word, parentheses and top-level commas blanked
    char* ExtraText;    // owned and freed with the entry
    char* SourceFile;   // "" for the circuit's own text
    int32_t SourceKind;
    int32_t Scope;
    intptr_t SourceRef;
    int32_t SourceAux;
    char* AkoName;     // the base model after "AKO:", or null
    int32_t Visiting;  // set while the record is built through an AKO chain
    int32_t AkoRow;    // statement row of the AKO base once found; -1 until then (a full row:
                       // lists grow past 32767 statements)
    ModelRecord* AkoBase;
    char* Memo;    // the memo of a model brought in from a binary library
    int32_t IsSW;  // the type word was "SW"
    int32_t FromInclude;
    int32_t Resolved;    // a record was built and its parameters parsed without error
    int32_t BinChecked;  // binning data of BSIM3 and BSIM4 statements (models/lookup.h)
    int32_t Binned;
    int32_t BinLevel;
    double BinWMin;
    double BinWMax;
    double BinLMin;
    double BinLMax;

    // Frees the entry's texts.
    void Free();
};

struct ModelStatementList {
    ModelStatement* Entries = nullptr;
    int32_t Count = 0;
    int32_t Capacity = 0;
    CCTDoc* Document = nullptr;  // the circuit the statements belong to (scope table)

    // Frees every entry's texts and the array; Count 0.
    void Clear();
    // Appends a zeroed entry: its row, or -1 when out of memory.
    int Append();
    ModelStatement* At(int row) { return row >= 0 && row < Count ? &Entries[row] : nullptr; }
    const ModelStatement* At(int row) const { return row >= 0 && row < Count ? &Entries[row] : nullptr; }
    // The first row of that type and scope whose Name equals `name` exactly
    // (case-sensitive); -1 when none or when the name is null.
    int FindStatement(int type, int scope, const char* name) const;
    // FindStatement in the scope, then outward through the enclosing scopes
    // (scope 1 continues in scope 0). BSIM and EKV types are searched under
    // their keyword type. (models/lookup.cpp)
    int FindInScope(int type, int scope, const char* name) const;
};

// Splits the text after ".MODEL" into name, AKO name and type word (each at
// most 89 characters, the name and type word in upper case, the AKO name as
// written); returns the position after the type word and the blanks after it.
struct ModelTextParts {
    char name[90];
    char akoName[90];
    char typeWord[90];
};
const char* SplitModelText(const char* text, ModelTextParts* parts);

// The per-circuit model state.
struct LibraryList {
    LibraryEntry* Entries = nullptr;
    int32_t Count = 0;
    int32_t Capacity = 0;
};

// ---- compile notes --------------------------------------------------------------------------

enum CompileNoteKind : int32_t {
    kNoteUnknownParam = 1,
    kNoteDuplicateParam = 2,
    kNoteUnknownOption = 4,
    kNoteBelowLimit = 5,
    kNoteAboveLimit = 6,
};

struct CompileNote {
    char* Text;
    int32_t Row;
    int32_t Kind;
    int32_t Spare1;
    double Value;
    int32_t ParamIndex;
    int32_t Spare2;
};

// A circuit's notes: emptied when a compile starts; listed under "Warnings" in
// the numeric output.
struct CompileNoteList {
    CompileNoteList() = default;
    ~CompileNoteList() { Clear(); }
    CompileNoteList(const CompileNoteList&) = delete;
    CompileNoteList& operator=(const CompileNoteList&) = delete;

    CompileNote* Entries = nullptr;
    int32_t Count = 0;
    int32_t Capacity = 0;
    void Clear();
};
struct CircuitModels {
    CCTDoc* Document = nullptr;
    ModelStatementList ModelStatements;
    ObjectPool ModelPools[kModelTypeCount];
    LibraryList LibraryLists[2];  // 0 the circuit's libraries, 1 the index generator's work list
    // The options the circuit compiles with (its compile session's copy); null
    // reads the global settings.
    const GlobalSettingValues* Settings = nullptr;
    // The notes of the circuit's compile.
    CompileNoteList Notes;
};

// A new, empty model state for a circuit document (null when out of memory);
// DestroyCircuitModels releases everything it holds.
CircuitModels* CreateCircuitModels(CCTDoc* document);
void DestroyCircuitModels(CircuitModels* models);
// Empties the 43 model pools (every record released).
void ClearModelPools(CircuitModels* models);

// Parses a .MODEL statement and appends it to the circuit's statement list: 0
// (also for a text that is no .MODEL statement), or the message's code (15055
// once reported). A failed statement leaves the list as it was.
int ParseModelStatement(CircuitModels* models, const char* text, const StatementSource& source, int fromInclude,
                        const char* sourceFile);

// ---- model records -----------------------------------------------------------------------

constexpr int32_t kModelRecordItemBase = 100;  // a record of type t has the pool item type 100 + t

struct ModelRecord : PoolItem {
    char* QualifiedName;    // set for records built from a statement
    int32_t StatementRow;   // -1 for a default record
    ModelRecord* Template;  // a private copy's shared record; else null
    double* Nominal;        // ParamCount values after parsing; shared by private copies
    double* Values;         // ValueCount slots (see ModelSlotChar / ModelSlotText for kinds 2 and 3)
    int32_t HasTolerance;
    ToleranceSpec* Tolerances;  // ParamCount, statement records of analog types only; shared by private copies
    void* RunBlocks[3];         // owned by the stepping and Monte Carlo modules; freed with the record
    char** Texts;               // keep-texts mode only: each parameter as written
    int32_t ModelType;
    uint8_t* Given;  // ValueCount flags

    // Allocates zeroed Values and Given for the type and sets ModelType: 0 or 15002.
    int AllocateValues(int type);
    // Fills every parameter slot with its default (kind 3: a copy of the
    // default text; types with unset timing defaults: -1 unless tableDefaults);
    // with Texts, each text becomes the formatted value.
    int SetDefaultValues(int type, bool tableDefaults);
    // Frees what the record owns (not the record itself).
    void Release();
    // Copies ParamCount slots from the source's Nominal (fromNominal) or
    // ValueCount slots from its Values; texts duplicated.
    int CopyValuesFrom(const ModelRecord* source, int type, bool fromNominal);
};

// Frees the text slots (kind 3 parameters) of a value array of the type.
void FreeModelTextValues(double* values, int count, int type);
// Copies count slots; text slots are duplicated and the destination's old
// texts freed. 0 or 15002.
int CopyModelValues(double* destination, const double* source, int count, int type);

// The record of a statement row, built or reused, or null after a reported
// error. `type` is -1 (or -2 for an AKO base) to build from the statement;
// with another type and noStatement, or without a statement, a default record
// of that type is built. keepTexts keeps each parameter's text as written.
ModelRecord* ResolveAko(CircuitModels* models, int type, int row, bool keepTexts, bool noStatement);
// ResolveAko(-1, row).
ModelRecord* FindModel(CircuitModels* models, int row);

// Parses the statement's parameter list into the record: 0, or a code (15055
// after a reported error, 15002 out of memory).
int ParseModelParameters(CircuitModels* models, ModelRecord* record);

// ---- texts -----------------------------------------------------------------------------------

// One value as text: "undefined" for the unset value, a number in engineering
// notation, a character or text in double quotes (texts cut to 32 characters).
char* FormatModelParamText(char* buffer, size_t size, const double* values, int index, int type);

enum WriteModelOptions : int {
    kWriteContinuation = 2,  // wrapped lines begin with "+ "
    kWriteGivenOnly = 4,     // only parameters whose given flag is set
};
// A new heap text holding the .MODEL statement of the values, or null after
// reporting 15002. `given` and `texts` may be null.
char* WriteModelStatement(int type, int options, const double* values, int count, const char* name,
                          const uint8_t* given, char* const* texts);

// 0, or 15055 after reporting 11851 (pulse times out of order; near-equal
// times are made equal in the record) or 11856 (VMAX not below VBI).
int CheckPulseModel(CircuitModels* models, ModelRecord* record);
int CheckGasfetModel(CircuitModels* models, ModelRecord* record);

// Appends a zeroed note to the circuit's notes: it, or null after reporting out
// of memory.
CompileNote* AddDiagnosticEntry(CircuitModels* models);
// Appends a note with a copy of the text: 0, or 15055.
int AddCompileNote(CircuitModels* models, const char* text, int row, int kind);

// ---- services of the document, the compiler and analysis control -----------------------------

// The circuit's define table and scopes as the model layer sees them (the
// circuit compiler implements it). Null object: a circuit without defines
// whose scopes all lie in the top level.
class ModelCircuitScopes {
public:
    virtual ~ModelCircuitScopes() = default;
    // Substitutes the scope's defines into a heap copy of the text: 0, or a
    // code (reported, or pending).
    virtual int SubstituteDefines(CCTDoc* document, const char* text, int scope, char** out) = 0;
    // The qualified name of a statement name in a scope (a new heap text; null
    // when out of memory): scope 0 gives "'TARNINC'.name", other scopes of the
    // null object the name itself.
    virtual char* QualifyName(CCTDoc* document, const char* name, int scope) = 0;
    // The scope that encloses a subcircuit scope (2 and up).
    virtual int EnclosingScope(CCTDoc* document, int scope) = 0;
    // Whether the name is a function define of the scope (value-field scanning).
    virtual bool IsFunctionDefine(CCTDoc* document, const char* name, int scope) = 0;
};
ModelCircuitScopes& CircuitScopes();
// Installs the port (nullptr: the null object); returns the previous one.
ModelCircuitScopes* InstallCircuitScopes(ModelCircuitScopes* port);

// What the runs of the analyses want of model records (stepping, Monte Carlo,
// sensitivity, parameter limits). Null object: no runs are set up, no limits
// are checked.
class ModelRunServices {
public:
    virtual ~ModelRunServices() = default;
    // Whether the circuit has a sensitivity request (every analog record private).
    virtual bool SensitivityRequested(CCTDoc* document) = 0;
    // Between the set-up and the finish of a set of runs: offers a record
    // handed out to the modules that vary model values.
    virtual void OfferToRunModules(CCTDoc* document, ModelRecord* record) = 0;
    // Model parameter limits check: 0 or a reported code.
    virtual int CheckModelLimits(CCTDoc* document, ModelRecord* record, int row) = 0;
    // Marks the current run as having model values that depend on variables.
    virtual void MarkVariableModelValues() = 0;
};
ModelRunServices& ModelRuns();
ModelRunServices* InstallModelRuns(ModelRunServices* port);

// What the model layer asks of the circuit compiler when memory runs out
// while it reads statements: the compiler releases its compile arrays so the
// user can go on; the model layer then reports 15002 itself. Null object:
// nothing to release.
class ModelCompileMemory {
public:
    virtual ~ModelCompileMemory() = default;
    virtual void ReleaseCompileMemory() = 0;
};
ModelCompileMemory& CompileMemory();
// Installs the port; nullptr restores the null object.
void InstallCompileMemory(ModelCompileMemory* port);

// Evaluates a parameter value text: a plain engineering number directly,
// anything else as an expression (through the core's parameter evaluation
// when installed). 0 or the failure's code; `depends` (may be null) tells
// whether the value depends on stepped or run-time quantities.
int EvaluateModelValueText(const char* text, double* value, bool* depends);

// Reports a message made pending with SetPendingMessage (or the plain text of
// `code` when nothing is pending) for a statement of the circuit through the
// core's Reporter(): the circuit's document, the scope as source, the
// statement text and the context lines ("Parameter:\tIS\n..."; may be empty)
// go with it, and it becomes the core's LastMessage(). Returns 15055.
int ReportStatementMessage(CircuitModels* models, int scope, const char* statementText, const char* contextLines,
                           int code);
