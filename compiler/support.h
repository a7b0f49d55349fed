// Services every phase of the circuit compiler shares: value fields of
// statements, statement text normalising, dot keywords, numeric fields and part
// attributes, releasing the compile arrays, the place of the first compile
// error, the compiler's message reporter and the run message log.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

class CCTDoc;
class CDoc;
struct GridTextObject;
struct SchematicObject;
struct SourceLocation;

// ---- dot keywords -----------------------------------------------------------------------

enum DotKeywordIndex : int {
    kDotInclude = 0,
    kDotInc = 1,
    kDotParameters = 2,
    kDotDefine = 3,
    kDotIc = 4,
    kDotNodeset = 5,
    kDotOptions = 6,
    kDotOpt = 7,
    kDotSkipLLoop = 8,
    kDotModel = 9,
    kDotLibrary = 10,
    kDotLib = 11,
    kDotMacro = 12,
    kDotParam = 13,
    kDotFunc = 14,
    kDotLoadop = 15,
    kDotTr = 16,
    kDotHelp = 17,
    kDotTf = 18,
    kDotSens = 19,
    kDotArray = 20,
    kDotWarning = 21,
    kDotPath = 22,
};
constexpr int kDotKeywordCount = 23;
// The parameter value of a subcircuit or macro instance (define kind, after the
// dot keywords).
constexpr int kDefineKindInstanceParam = 23;

// The keyword text of an index ("" outside 0..22).
const char* DotKeywordText(int index);
// The keyword's length when the text starts with it (without case) and the
// next character is white space, the end or "("; otherwise the synonym
// (.INCLUDE/.INC, .OPTIONS/.OPT, .LIBRARY/.LIB, .PARAM/.FUNC) is tried; 0.
int MatchDotKeyword(const char* text, int index);
// The same with case-sensitive comparison.
int MatchDotKeywordExact(const char* text, int index);
// 1 when `word` occurs in the text at its start or after a blank and the first
// non-blank after it is "=".
int KeywordIsAssigned(const char* text, const char* word);

// ---- statement texts --------------------------------------------------------------------

// Measures the value field that starts at `text` after any blanks: a number with
// exponent and suffix, a braced or parenthesised group, a name, a call of a
// function of the expression language or of a function define of the scope
// (in the current circuit), and in joinOperators mode operands joined by
// operators. With `out` given, the field (with its leading blanks) is copied
// into a new heap text there (a previous text is freed); normalise also blanks
// comments in the copy and makes the blank skipping statement-aware. Never
// fails; the length counts from `text`. When the copy cannot be made, *out is
// null.
int ScanValueField(const char* text, int scope, char** out, bool joinOperators, bool normalise);
// Blanks tabs, comment lines ("*" at a line start), ";" comments (not the
// ";$TWE" extension tag) and "+" continuation marks, in place, over `length`
// characters (or up to the terminator, whichever comes first). With keepLines,
// line feeds, tabs, continuation marks and ";" comments stay.
void NormalizeStatementText(char* text, size_t length, bool keepLines);
// Every CR and LF becomes a blank, in place; returns the text.
char* ReplaceLineBreaks(char* text);

// ---- numeric fields and attributes ----------------------------------------------------

// Evaluates a text: a plain engineering number, else the text compiled and
// evaluated as an expression of the current circuit in the analysis mask (0:
// parameter texts outside a run). *error receives 0 or the failure's message id
// (not shown; a pending message is cleared). `depends` (may be null) is set when
// the value depends on stepped or run-time quantities.
double EvaluateNumericText(const char* text, int* error, int analysisMask, bool* depends = nullptr);
// EvaluateNumericText for a statement field; a value that depends on run-time
// quantities marks the run as having variable part values. *status receives 0
// or the failure's id.
double EvaluateFieldValue(const char* text, int* status);
// 1 when the text evaluates.
int IsValidParameterText(const char* text);
// The value of a part attribute with the circuit's defines substituted (in the
// part's scope). Nothing happens while *status is nonzero. A failure is shown
// naming "Attribute:", the attribute and CurrentSetupPart, *status becomes
// 15055 and the result is 0.
double EvaluatePartAttribute(SchematicObject* part, int attributeId, int* status);

// The part whose device record is being set up (message source of attribute
// evaluation).
extern SchematicObject* CurrentSetupPart;
// The scope of a placed part (1 the main circuit).
int PartScope(const SchematicObject* part);

// The end of the bracketed group that begins at `text` (an `open` character):
// just past its matching `close`, or the end of the text when it never closes
// (then *unclosed, when given, is true).
const char* SkipBracketGroup(const char* text, char open, char close, bool* unclosed = nullptr);

// ---- compile arrays -----------------------------------------------------------------------

enum CompileArrayFlags : int {
    kClearJoinedText = 0x01,  // joined statement text, part-name index, initial conditions, libraries
    kClearDefines = 0x02,     // define table and array statements
    kClearHierarchy = 0x04,   // initial-condition text, hierarchy table, subcircuit name tables
    kClearAddedParts = 0x08,  // parts and grid texts added by the compile; node renumbering
    kClearAddedParts2 = 0x10,
    kClearOpenedDocuments = 0x20,  // documents the compile opened
    kClearModelStatements = 0x40,  // .MODEL statements and model diagnostics
    kClearAddedAttributes = 0x80,
    kClearTemporaryDefinitions = 0x100,
    kClearSearchPaths = 0x200,
    kClearAllCompileArrays = 0x3ff,
};
// Shows "Clearing arrays." while it releases what the flags name, then puts the
// previous status text back.
void ClearCompileArrays(CCTDoc* document, int flags);
// ClearCompileArrays on the run's circuit with flags 3, then shows 15002; the
// caller returns 15055.
void ReportCompileOutOfMemory();

// ---- where the first error comes from -------------------------------------------------------

// The process-wide place of the first compile error (cleared at each compile start).
SourceLocation& CompileErrorLocation();
void ClearCompileErrorLocation();
// Kinds of ShowErrorSource's origin.
constexpr int kOriginPart = 1;
constexpr int kOriginStatement = 2;
// Records where a message comes from, when no place is recorded yet and an
// analysis kind is set: a part (kind 1) or a grid text (kind 2).
void ShowErrorSource(int originKind, void* origin);
void RecordPartLocation(SchematicObject* part);
void RecordStatementLocation(GridTextObject* statement);
// Opens a circuit or text document by the path's extension; null when neither.
CDoc* OpenDocumentByPath(const char* path);

// ---- the compiler's messages ---------------------------------------------------------------

// Formats a string-table message with its printf arguments and shows it with
// the part (may be null) or the scope as its source, plus optional labelled
// rows ("Label:\tvalue\n" lines; may be null), through the core's Reporter();
// it becomes the core's LastMessage() either way. In quiet mode
// (QuietDefinitionErrors) the message stays pending and the result is 15060;
// otherwise it is shown and the result is 15055.
int ReportCompilerMessage(SchematicObject* part, int scope, const char* rows, int id, ...);
int ReportCompilerMessageV(SchematicObject* part, int scope, const char* rows, int id, va_list args);
// Quiet compile: messages are left pending instead of shown.
extern int QuietDefinitionErrors;

// ---- run messages -------------------------------------------------------------------------

enum RunMessageFlags : int {
    kRunMessageLog = 1,      // the run message log (four blanks, the text, CR LF)
    kRunMessageStatus = 2,   // the run status line
    kRunMessageNumeric = 4,  // the numeric output file
};
// Formats the message (any length) and sends it where the flags say, unless the
// run is silent (see RunMessages().RunMessagesSilenced).
void WriteRunMessage(int flags, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Empties the run message log; RunMessageLog gives its text ("" when empty).
void ClearRunLog();
const char* RunMessageLog();
// Appends "\r\n<analysis title> <run time>\r\n<log>" to the circuit's info page
// when it has one and the run time is nonzero.
void AppendRunLogToInfoPage(CCTDoc* document);
// "TARN.INC" in the program directory (buffer of size bytes).
char* GetGlobalIncludePath(char* buffer, size_t size);

// Stores the .NODESET and .IC statements of the document's grid texts (defines
// substituted in each statement's scope): 0, or 15055 after the first failure.
int ApplyInitialConditionStatements(CCTDoc* document);

// ---- what the compiler needs of later subsystems ------------------------------------------
// Each port answers through a null object until its owner installs it.

// Analysis control and the analysis window: where run messages go. Null
// object: nothing is silenced, there is no numeric output file or status line,
// no run has happened.
class RunOutput {
public:
    virtual ~RunOutput() = default;
    // Whether run messages are silenced (silent main window, no analysis
    // document, a run switch of the analysis document set, a filter or
    // attribute-plot window).
    virtual bool RunMessagesSilenced() = 0;
    // Writes a text to the numeric output file when numeric output is on for
    // the current analysis kind and the file is open.
    virtual void WriteNumericOutput(const char* text) = 0;
    // Shows a text in the run status line when it exists.
    virtual void ShowRunStatus(const char* text) = 0;
    // The run time of the last run (0 none).
    virtual double RunTime() = 0;
    // Marks the run as having variable part values.
    virtual void MarkVariablePartValues() = 0;
};
RunOutput& RunMessages();
// Installs the port (nullptr: the null object); returns the previous one.
RunOutput* InstallRunOutput(RunOutput* port);

// Text documents: the info page of a circuit. Null object: no info page.
class InfoPages {
public:
    virtual ~InfoPages() = default;
    // Appends a text at the end of the circuit's info page; false when the
    // circuit has no info page with a text window.
    virtual bool AppendToInfoPage(CCTDoc* document, const char* text) = 0;
};
InfoPages& CircuitInfoPages();
InfoPages* InstallInfoPages(InfoPages* port);

// Initial conditions: the store of .IC and .NODESET values. Null object: none
// are kept, so the statements are not read.
class InitialConditionStore {
public:
    virtual ~InitialConditionStore() = default;
    // Whether initial conditions are kept at all.
    virtual bool Active() const = 0;
    // Stores one .IC/.NODESET text (mode 2) in the scope: 0 or a code.
    virtual int Read(CCTDoc* document, const char* text, int mode, int scope) = 0;
};
InitialConditionStore& InitialConditions();
InitialConditionStore* InstallInitialConditions(InitialConditionStore* port);

// The parts of the compile state other subsystems own (SPICE reader, arrays,
// hierarchy, added parts). Null object: they own nothing.
class CompileStateOwners {
public:
    virtual ~CompileStateOwners() = default;
    // Releases them by the flags of ClearCompileArrays.
    virtual void ReleaseCompileArrays(CCTDoc* document, int flags) = 0;
};
CompileStateOwners& OtherCompileState();
CompileStateOwners* InstallCompileStateOwners(CompileStateOwners* port);

// Circuit and text files opened without a window. Null object: none opens.
class HiddenDocumentOpener {
public:
    virtual ~HiddenDocumentOpener() = default;
    // Opens a document of a path kind; null when it cannot be opened.
    virtual CDoc* OpenDocument(const char* path, int kind) = 0;
};
HiddenDocumentOpener& HiddenDocuments();
HiddenDocumentOpener* InstallHiddenDocumentOpener(HiddenDocumentOpener* port);

// The question the name check asks about bad part names. Null object: nothing
// is asked, 10900 is shown instead.
class RenameQuestion {
public:
    virtual ~RenameQuestion() = default;
    virtual bool CanAsk() const = 0;
    // Asks 10899 (bad part name, rename parts?) in a Yes/No box; true for Yes.
    virtual bool AskRenameParts(const char* name) = 0;
    // Gives every part of the circuit a new name, page by page, after a Yes.
    virtual void RenameParts(CCTDoc* document) = 0;
};
RenameQuestion& RenamePartsQuestion();
RenameQuestion* InstallRenameQuestion(RenameQuestion* port);

// Installs what the compiler offers lower layers: define substitution for the
// expression compiler and the model layer, attribute evaluation for parts, the
// name test of part names.
void InstallCompilerServices();
