// Compiled expressions: the token form every formula of the program is compiled
// into once and then evaluated many times, the compile context, and the compile
// entry points.
//
// A compile runs these passes over one text: the parser fills a lexeme array,
// the conditional rewrite turns c?a:b into IF(c,a,b), the argument preparation
// appends the hidden state cells of stateful functions, the operand check
// balances operands, operators and parentheses, the postfix conversion writes
// the tokens in evaluation order, and the optimiser folds constant operations.
//
// Services of later subsystems (the circuit's nodes and parts, device
// quantities, plotted curves, symbolic differentiation, define substitution)
// are reached through the ports of expr/services.h; until their owners install
// them the compile fails with the message a user would get for a name that
// cannot be bound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/dialect.h"
#include "core/memory.h"
#include "core/pool.h"

struct ComplexNumber;  // expr/complex.h
struct ExprSymbol;     // expr/symbols.h

// ---- operand codes ------------------------------------------------------------
//
// The token codes the compiler emits for operands (all other codes are the
// operator and function codes of the symbol table). This is the contract with
// the evaluator: the operand field of a token is read as the comment says.
enum ExprOperandCode : int16_t {
    kOperandLevel5 = 1,         // index: level in "0RF1XZ?" (five-state context)
    kOperandLevel2 = 2,         // same, two-state context; recoded to 1 after postfix conversion
    kOperandDigitalNode = 3,    // digitalState: a node's 16-bit state
    kOperandDouble = 4,         // doublePtr: solution slot, global, caller slot, model value, index var in a body
    kOperandComplex = 6,        // complexPtr: AC device field, circuit totals, shared-piece result, import cell
    kOperandConstant = 7,       // value
    kOperandDelayConstant = 8,  // value: a delay of the digital DELAY
    kOperandDevice = 9,         // pointer: device record (core quantities)
    kOperandStateCell = 10,     // cell: hidden state of a stateful function, zero after compile
    kOperandInt = 11,           // intPtr: integer global setting
    kOperandCallerVar = 132,    // index: caller variable without a slot
    kOperandCallerVar2 = 133,   // index: two-state caller variable without a slot
    kOperandComplexNode = 134,  // index: node number read from the complex solution
    kOperandPerfCurve = 516,    // index: curve reference (performance-function argument body)
    kOperandHistory = 517,      // index: history of LAST/DELAY, or a plotted-curve reference
    kOperandBody = 553,         // index: body in CompiledExpression::bodies
    kOperandIndexVar = 576,     // doublePtr: SERIES/PROD index slot
    kOperandUserArray = 604,    // index: user array of the circuit (a function code)
};

// Lexeme classes besides the operator precedences 1..13.
// (Operator, function and pass codes: ExprTokenCode in expr/symbols.h.)
enum ExprLexemeClass : int32_t {
    kLexParen = -2,
    kLexComma = -1,
    kLexUnary = 12,
    kLexPower = 13,
    kLexFunction = 14,
    kLexOperand = 15,
};

// The 16-byte operand of a token (and value of a lexeme), read by its code.
union ExprOperand {
    double value;
    double* doublePtr;
    ComplexNumber* complexPtr;
    int16_t* digitalState;
    int32_t* intPtr;
    void* pointer;
    int32_t index;
    double cell[2];  // a whole ComplexNumber: real, imaginary
};
static_assert(sizeof(ExprOperand) == 16, "token operand is 16 bytes");

// ---- tokens -------------------------------------------------------------------

// One token of a compiled expression. Records live in an ObjectPool that
// constructs them in place and destroys them with their destructor.
struct ExprToken : PoolItem {
    int16_t code;
    int16_t pushes;  // 1 when the token pushes a value (operand codes)
    ExprOperand operand;
    SmallString8 text;  // source text: messages, folded texts, printing
    int16_t argCount;   // recorded argument count; 1 on tokens the compiler inserts
    int32_t isDigitalLevel;

    // Copies code, pushes, operand, text, argCount and isDigitalLevel.
    void CopyFrom(const ExprToken& source);

    ExprToken* Next() const { return static_cast<ExprToken*>(next); }
    ExprToken* Prev() const { return static_cast<ExprToken*>(prev); }
};

// ---- the compiled expression --------------------------------------------------

// The storage of a LAST or DELAY history: `capacity` entries the size of a
// ComplexNumber (16 bytes), null and 0 when empty.
struct HistoryBuffer {
    ComplexNumber* entries;
    int32_t capacity;
};

// A SERIES/PROD index variable in scope while compiling.
struct ExprIndexName {
    char* name;    // heap text
    double* slot;  // in the outermost expression's indexSlots
};

// Domain bits of the top-level symbols of an expression.
enum ExpressionDomain : uint32_t {
    kDomainTwoState = 0x20,
    kDomainFiveState = 0x40,
    kDomainPinDelay = 0x80,
    kDomainTransition = 0x200,
    kDomainAnalog = 0x800,
    kDomainBinary = 0x4000,
    kDomainOctal = 0x8000,
    kDomainDecimal = 0x10000,
    kDomainHex = 0x20000,
    kDomainDifference = 0x40000,
};

// Bits the compiler sets in CompiledExpression::flags itself.
constexpr uint32_t kExprFlagSpectrum = 0x80000;  // (from the symbols' unit flags)
constexpr uint32_t kExprFlagRunningIntegral = 0x200000;
constexpr uint32_t kExprFlagDigitalLevel = 0x400000;

struct CompiledExpression {
    CompiledExpression();
    ~CompiledExpression();  // FreeExpression
    CompiledExpression(const CompiledExpression&) = delete;
    CompiledExpression& operator=(const CompiledExpression&) = delete;

    ObjectPool tokens;  // ExprToken, in evaluation order (first evaluated first)

    // Sub-expressions compiled from single arguments (SERIES/PROD/DER bodies,
    // performance-function arguments); a token of code 553 holds the index.
    CompiledExpression** bodies = nullptr;
    int32_t bodyCount = 0;

    // LAST/DELAY histories; a token of code 517 holds the index.
    HistoryBuffer* histories = nullptr;
    int32_t historyCount = 0;

    int32_t dialect = kSpiceDialectAmbiguous;  // survives FreeExpression

    // Pieces shared by several places of the token list (optimiser); each
    // writes its value into its resultSlot, which code-6 tokens of the owner
    // read. The evaluator evaluates them in array order before the owner.
    CompiledExpression** shared = nullptr;
    ComplexNumber* resultSlot = nullptr;  // only in a shared piece
    int32_t reserved1 = 0;
    int32_t sharedCount = 0;

    int32_t indexNameCount = 0;
    ExprIndexName* indexNames = nullptr;
    double* indexSlots = nullptr;  // one per "SERIES"/"PROD" in the text
    int32_t indexSlotCount = 0;    // allocated slots
    int32_t indexSlotsUsed = 0;

    uint32_t outerUnits[2] = {0, 0};  // unit bits of the outermost level that names a unit
    uint32_t flags = 0;
    uint32_t flags2 = 0;
    uint32_t domain = 0;       // ExpressionDomain bits
    int32_t historyDepth = 0;  // previous points the evaluator keeps
    int32_t reserved2 = 0;

    // Run-phase words, set while a phase evaluation runs.
    int32_t phaseReset = 0;
    int32_t phaseUpdate = 0;
    int32_t phaseRunStart = 0;
    int32_t phaseInitial = 0;
    int32_t evaluatorWords[3] = {0, 0, 0};  // owned by the evaluator

    ExprToken* FirstToken() const { return static_cast<ExprToken*>(tokens.first); }
    ExprToken* LastToken() const { return static_cast<ExprToken*>(tokens.last); }
    int TokenCount() const { return tokens.count; }
};

// Empties an expression so that it can be compiled into again: bodies, shared
// pieces, histories, result slot, tokens, index names and slots are freed;
// the dialect stays.
void FreeExpression(CompiledExpression* expr);

// Grows (or makes) history `index` to hold `capacity` entries, zero-filling the
// new ones: 0, or 15002 (the history is then as it was).
int GrowHistory(CompiledExpression* expr, int index, int capacity);
// Frees the entries of history `index` (the index stays valid, empty).
void FreeHistory(CompiledExpression* expr, int index);

// The printable form of an expression: the texts of its tokens in evaluation
// order, separated by blanks (a folded constant prints its own text, such as
// "((2*3)+4)"). Writes at most size-1 characters; returns buffer.
char* FormatExpressionTokens(const CompiledExpression* expr, char* buffer, size_t size);

// ---- compile context ------------------------------------------------------------

// Run-wide evaluation state that callers of spectra and run-wide functions
// supply; the compiler fills the count of pushing tokens and the per-token array.
struct CompiledExpressionState {
    int32_t* tokenValues;  // one per pushing token plus one
    int32_t pushCount;
};

// Analysis-mask bits of a compile (bits 0..3: the analysis kind 0..3).
enum ExprAnalysisMask : int32_t {
    kMaskTransient = 0x1,
    kMaskAc = 0x2,
    kMaskDc = 0x4,
    kMaskDistortion = 0x8,
    kMaskPlotCurve = 0x10,
    kMaskWholeRun = 0x20,
    kMaskParameter = 0x40,
    kMaskOutsideRun = 0x80,
    kMaskNoState = 0x2000,
};
// Symbol-mask bits.
constexpr int32_t kSymbolMaskAnalog = 0x800;
constexpr int32_t kSymbolMaskSeriesBody = 0x100000;

struct ExprLexeme {
    int32_t code;       // 0 ends the array
    int32_t cls;        // ExprLexemeClass or a precedence 1..13
    ExprOperand value;  // copied into the token's operand
    SmallString8 text;
    int16_t argCount;
};

struct ExprCompiler {
    void* owner = nullptr;       // parent window of messages; null: the main frame
    const char* text = nullptr;  // source text (not owned)
    CompiledExpression* target = nullptr;
    CompiledExpression* indexNameOwner = nullptr;  // whose index-name list is in scope: target or an outer expression
    ExprLexeme* lexemes = nullptr;                 // the lexeme array of this nesting depth
    int32_t analysisMask = 0;
    int32_t scope = 1;  // circuit scope of names; message scope
    CompiledExpressionState* state = nullptr;
    int32_t symbolMask = 0;
    void* sourcePart = nullptr;         // part whose text is compiled (message source)
    int32_t importCount = 0;            // import cells taken so far
    ComplexNumber** imports = nullptr;  // value cells of the caller's imported-waveform records
    int32_t importCapacity = 0;         // number of cells in `imports`
    int32_t lexemeCount = -1;           // index of the last lexeme
    int32_t lexemeCapacity = 0;
    int32_t openLimitsOnError = 0;
    int32_t quiet = 0;  // messages become the pending message (15060)
    int32_t referenceFlags = 0;
    int32_t complexCurrents = 0;
    int32_t reserved = 0;
    int32_t callerVarCount = 0;
    char** callerVarNames = nullptr;  // heap texts; a null or empty name is a free slot
    int32_t* callerVarMasks = nullptr;
    double* callerVarSlots = nullptr;
    int32_t setupPass = 0;

    // Zeroes the context and stores the arguments; a text longer than 20
    // characters switches the target's tokens to chunks of 1000.
    void Init(const char* text, CompiledExpression* target, int32_t analysisMask, int32_t symbolMask);

    // The index-name list the context sees (count followed by names).
    int32_t IndexNameCount() const;
    ExprIndexName* IndexNames() const;
};

// ---- entry points ----------------------------------------------------------------

// Compiles ctx->text into ctx->target: 0; a reported message (15055, or 15060
// in quiet mode); 15002; or 10440/10441 returned unreported (the caller
// reports them).
int CompileExpression(ExprCompiler* ctx);

// Compiles the argument that starts at *position (up to its ',' at depth 0,
// the ')' that closes its call, or the end) into target; *position moves to
// that separator. `copyOut` (may be null) receives a heap copy of the argument.
// `indexNameOwner` holds the index names in scope (null: the target's own);
// `outer` (may be null) passes its message mode, scope and caller variables on.
int CompileArgumentText(char* text, char** position, CompiledExpression* target, int32_t symbolMask,
                        CompiledExpression* indexNameOwner, char** copyOut, int32_t analysisExtra, bool keepNoState,
                        const ExprCompiler* outer = nullptr);

// CompileArgumentText, then the body is bound to one of the plotted curves of
// the current analysis document with the binder code (516 or 517): 0, or a
// reported message (13781, 10435 when no curve matches or no binder exists).
int CompileAndBindArgument(char* text, char** position, CompiledExpression* target, int32_t symbolMask,
                           CompiledExpression* indexNameOwner, char** copyOut, int32_t analysisExtra, bool keepNoState,
                           int binderCode, ExprCompiler* outer);

// A whole-run text (performance, Monte Carlo, stepping, 3D): defines
// substituted (defineScope -1: the current scope), signs normalised, compiled
// for the current analysis with 0x20; a text that reads run variables fails
// with 13781.
int CompileExpressionText(CompiledExpression* target, const char* text, void* owner, int defineScope);
// A text evaluated outside a run (analysis mask kind | 0x80), without the
// run-variable check.
int CompileExpressionTextOutsideRun(CompiledExpression* target, const char* text, void* owner);

// Reports a compile message with up to four text arguments (null ones are
// empty) through the core's Reporter(), with the owner as its parent and the
// source part and scope as its source; it becomes the core's LastMessage()
// either way. Quiet mode leaves it pending and returns 15060; otherwise it is
// shown and 15055 returned.
int ReportCompileError(ExprCompiler* ctx, int id, const char* a1 = nullptr, const char* a2 = nullptr,
                       const char* a3 = nullptr, const char* a4 = nullptr);
int ReportCompileErrorNoText(ExprCompiler* ctx, int id);
int ReportCompileErrorWithText(ExprCompiler* ctx, int id, const char* text);

// Frees the calling thread's lexeme arrays (they are also freed when the thread ends).
void ReleaseLexemeArrays();

// ---- text helpers ------------------------------------------------------------------

// Collapses sign pairs ("A - -B" -> "A +B"), removes leading and trailing blanks
// and collapses runs of blanks, in place.
void NormalizeSigns(char* text);
// True when the name is a symbol without arguments (or, with includeFunctions,
// any symbol name).
bool IsReservedSymbol(const char* name, bool includeFunctions);

// ---- optimiser ----------------------------------------------------------------------

// Evaluates constant unary functions and binary operators at compile time:
// 0, or the math-error result of the evaluator's check.
int FoldConstants(CompiledExpression* expr);
// Moves repeated costly token runs of long expressions into shared pieces.
int ExtractSharedPieces(CompiledExpression* expr, int depth);

// ---- device quantities and run variables -----------------------------------------------

// A device-quantity call (V(Q1), IB(Q1), I(3,4), ES(Q1) ...) handed over when
// its ')' is read. The call's lexemes run from `firstLexeme` (its '(') to the
// context's last lexeme (its ')'); the binder rewrites them in place.
struct DeviceQuantityCall {
    const ExprSymbol* row;
    int32_t firstLexeme;
    int32_t argCount;
    char pinLetters[2];        // second and third letters of the name, lower case, or blank
    int32_t nodes[2];          // node arguments, -1 when none
    const char* nodeTexts[2];  // their decimal texts
    const char* partName;      // the part-name argument, or null
};

// The binding of a device-quantity call in a circuit without devices: V(node)
// stays, every other form is refused with its message (10412, 10413, 10416).
int BindQuantityWithoutDevices(ExprCompiler* ctx, const DeviceQuantityCall& call);
// 0, or 13781 (textOut names the token) when a token reads a node voltage, T,
// TEMP, F or a complex node: the check when no plot binding is installed.
int CheckRunVariablesOfTokens(CompiledExpression* expr, char* textOut, size_t size);
