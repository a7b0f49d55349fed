// Shared by the compiler's passes (parser, special argument forms, postfix
// conversion, optimiser): lexeme operations, the parser's state and the passes.
// Not for callers outside expr/.
#pragma once

#include <cstdint>

#include "expr/compiled.h"

struct ExprSymbol;

// ---- lexeme operations (all report 15002 themselves and return its result) ------

// Makes lexeme n current (growing the array) and clears it.
int SetLexemeCount(ExprCompiler* ctx, int n);
int AddLexeme(ExprCompiler* ctx, int code, int cls, const char* text);
int AddOpenParen(ExprCompiler* ctx);
int AddCloseParen(ExprCompiler* ctx);
int AddConstantLexeme(ExprCompiler* ctx, double value, const char* text);
int AddPointerLexeme(ExprCompiler* ctx, double* pointer, const char* text);
// The running analysis's independent variable: T in transient analysis (or with
// forceTime, or when no analysis runs), F in AC, DCINPUT1 in DC.
int AddIndependentVariableLexeme(ExprCompiler* ctx, bool forceTime);
// The start value of the running analysis ("STARTVAR"), or the constant 0.
int AddStartValueLexeme(ExprCompiler* ctx);
void ReplaceLastLexemeByComma(ExprCompiler* ctx);
// Shifts the lexemes from index up by one and clears entry index.
int InsertLexemeAt(ExprCompiler* ctx, int index);
// Removes lexeme index, shifting the following ones down.
void RemoveLexemeAt(ExprCompiler* ctx, int index);
// Copies every field of one lexeme into another (texts re-created).
void CopyLexeme(ExprLexeme* to, const ExprLexeme* from);
void ClearLexeme(ExprLexeme* lexeme);
ExprLexeme* LastLexeme(ExprCompiler* ctx);
// False for a name placeholder (code 4 without a pointer, code 134 with node -1).
bool IsNodeLexeme(const ExprLexeme* lexeme);

// ---- symbol table access ------------------------------------------------------------

const ExprSymbol* SymbolRow(int row);
int SymbolRowCount();
// The first row with that code, or null.
const ExprSymbol* SymbolForCode(int code);
bool IsOperandCode(int code);
void BuildSymbolLetterIndex();

// ---- parser state ---------------------------------------------------------------

// Argument-kind bits of a frame (the symbols' kindFlags vocabulary).
constexpr uint32_t kArgDigital1 = 0x1;
constexpr uint32_t kArgConstantText = 0x4;
constexpr uint32_t kArgTwoState = 0x20;
constexpr uint32_t kArgDigitalLevel = 0x40;
constexpr uint32_t kArgDigital80 = 0x80;
constexpr uint32_t kArgNodeName = 0x100;
constexpr uint32_t kArgPartName = 0x400;
constexpr uint32_t kArgExpression = 0x800;
constexpr uint32_t kArgTwoNodes = 0x1000;
constexpr uint32_t kArgNumberOnly = 0x2000;
constexpr uint32_t kArgIndexVariable = 0x100000;
constexpr uint32_t kArgStartValue = 0x200000;
constexpr uint32_t kArgFunctionLike = 0x380de9;

constexpr int kArgumentFrameCount = 20;

struct ArgumentFrame {
    uint32_t argFlags;
    int32_t functionCode;
    uint32_t deviceMask;
    int32_t row;
    int32_t argIndex;
    uint32_t unitFlags;
    uint32_t extraFlags;
    uint32_t unitWords[2];
    int32_t nodeKind;
    int32_t parenLevel;
    char pinLetters[2];
    int32_t openLexeme;  // index of the call's '(' lexeme (-1 until it is read)
    int32_t funcLexeme;  // index of the call's function lexeme, -1 when none was appended
};

constexpr int kParserLocalText = 100;
constexpr int kParserNameSize = 260;

struct ExprParser {
    ExprCompiler* ctx;
    char* text;      // upper-cased working copy
    char* heapText;  // the copy when it did not fit locally
    char localText[kParserLocalText];
    int length;
    int pos;
    int level;  // current frame
    int deepest;
    int depth;  // parenthesis depth
    bool operandExpected;
    int pendingSign;  // +1 or -1
    int nodes[2];
    char nodeTexts[2][16];
    char partName[kParserNameSize];
    bool partNameSet;
    bool caseOpen;
    int result;
    ArgumentFrame frames[kArgumentFrameCount];

    ArgumentFrame& Frame() { return frames[level]; }
    // The source text for messages.
    const char* Source() const;
};

// Narrows the target's domain; 1 on a conflict.
int NarrowExpressionDomain(ExprCompiler* ctx, uint32_t bits);
int AllocateIndexSlots(ExprCompiler* ctx, const char* text);
int AddIndexName(ExprCompiler* ctx, const char* name, double* slot);
void RemoveIndexName(ExprCompiler* ctx, int index);
// A new empty body / history of the target: its index, or -1 after 15002.
int AddBody(ExprCompiler* ctx);
int AddHistory(ExprCompiler* ctx);
int CheckArgumentCount(ExprParser* p, int count, const ExprSymbol* row, char separator);
// Evaluates the argument text at *position up to its ',' or ')' at depth 0;
// *position moves to that separator. textOut receives at most 91 characters.
int ParseConstantArgument(ExprParser* p, int* position, double* value, char* textOut);
int CompileBodyArgument(ExprParser* p, int* position, int body, int32_t symbolMask, bool keepNoState, char** copyOut);
int CompilePlotArgument(ExprParser* p, int* position, int body, int binderCode, int32_t symbolMask,
                        int32_t analysisExtra, bool keepNoState, char** copyOut);
bool BindCallerSlot(ExprParser* p, const char* name);

// The special argument forms: applied when a call's '(' has been appended, at
// each ',' (after the comma lexeme), and when its ')' closes it (after the count
// is accepted). Each returns 0 or a result that ends the parse.
int ApplyOpeningRules(ExprParser* p);
int ApplyCommaRules(ExprParser* p);
int ApplyClosingRules(ExprParser* p, int count);
// The CASE position test: true when the argument at the parser's position is
// the last one of the open CASE.
bool IsLastCaseArgument(ExprParser* p);

// ---- passes -----------------------------------------------------------------------

int ParseExpression(ExprCompiler* ctx);
int ConvertConditionalOperator(ExprCompiler* ctx);
int PrepareFunctionArguments(ExprCompiler* ctx);
int ComputeHistoryDepth(ExprCompiler* ctx, int start);
int CheckOperandsAndOperators(ExprCompiler* ctx);
void ResolveCaretOperators(ExprCompiler* ctx);
int ConvertToPostfix(ExprCompiler* ctx);
int CountStatefulTokens(ExprCompiler* ctx);

// Appends a token to an expression: null when memory runs out.
ExprToken* AppendToken(CompiledExpression* expr);
