// The expression parser: reads a formula once from left to right into the
// lexeme array, binding every name as it goes (index variables, caller
// variables, user arrays, the symbol table, model parameters).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/chars.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "core/services.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/stateful.h"
#include "expr/symbols.h"

namespace {

// Node operands of the first set-up compile (and of compiles made before the
// solver's vectors exist) read this instead of a solution slot.
double ep_scratchNode = 0.0;

bool ep_IsDigit(char c) { return c >= '0' && c <= '9'; }
bool ep_IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool ep_IsAlnum(char c) { return ep_IsDigit(c) || ep_IsLetter(c); }
bool ep_IsNumberChar(char c) { return ep_IsDigit(c) || c == '.'; }
bool ep_IsNodeNameChar(char c) { return ep_IsAlnum(c) || (c && std::strchr("$%*+-/_.", c)); }
bool ep_IsIdentChar(char c) { return ep_IsAlnum(c) || c == '_' || c == '.'; }
bool ep_IsDigitalNameChar(char c) { return ep_IsAlnum(c) || (c && std::strchr("$%*+-/_", c)); }
bool ep_IsOperatorChar(char c) { return c && std::strchr("&*+-/^|~", c); }
bool ep_IsCompareChar(char c) { return c && std::strchr("!<=>", c); }
bool ep_IsLevelLetter(char c) { return c && std::strchr("01FRX", c); }
bool ep_IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool ep_NameEquals(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
        char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// Copies text[start, end) into a bounded buffer.
void ep_CopyRun(char* out, size_t size, const char* text, int start, int end) {
    size_t n = static_cast<size_t>(end - start);
    if (n >= size) n = size - 1;
    std::memcpy(out, text + start, n);
    out[n] = 0;
}

const char* ep_FunctionName(const ExprParser* p) {
    const ArgumentFrame& f = p->frames[p->level];
    if (p->level == 0 || f.row < 0) return "";
    const ExprSymbol* row = SymbolRow(f.row);
    if (!row) return "";
    return row->name[0] ? row->name : "[]";
}

int ep_SkipBlanks(const ExprParser* p, int pos) {
    while (pos < p->length && ep_IsBlank(p->text[pos])) ++pos;
    return pos;
}

// The domain kinds as the mixing message lists them, in bit order.
struct DomainName {
    uint32_t bit;
    const char* text;
};
constexpr DomainName kDomainNames[] = {
    {0x20, "'2 State' "}, {0x40, "'5 State' "}, {0x80, "'PinDly' "}, {0x200, "'TRN' "},   {0x800, "'Analog' "},
    {0x4000, "'BIN' "},   {0x8000, "'OCT' "},   {0x10000, "'DEC' "}, {0x20000, "'HEX' "}, {0x40000, "'DIF[A|D]' "},
};

int ep_CountBits(uint32_t x) {
    int n = 0;
    for (; x; x &= x - 1) ++n;
    return n;
}

}  // namespace

// ---- symbol table access ------------------------------------------------------------

const ExprSymbol* SymbolRow(int row) { return row >= 0 && row < kExprSymbolCount ? &ExprSymbolTable[row] : nullptr; }
int SymbolRowCount() { return kExprSymbolCount; }

const ExprSymbol* SymbolForCode(int code) {
    if (code < 0 || code >= kTokenCodeCount) return nullptr;
    return SymbolRow(SymbolCodeIndex[code]);
}

bool IsOperandCode(int code) { return code >= 0 && code < kTokenCodeCount && OperandCodeSet[code]; }

void BuildSymbolLetterIndex() {
    // The code index is built at start-up; a compile made before (a test, a
    // tool) builds it here.
    if (SymbolCodeIndex[0] == 0 && SymbolCodeIndex[kTokVoltage] == 0) BuildSymbolIndexes();
    EnsureSymbolLetterIndex();
}

const char* ExprParser::Source() const { return ctx && ctx->text ? ctx->text : ""; }

// ---- text helpers ---------------------------------------------------------------------

void NormalizeSigns(char* text) {
    if (!text) return;
    // Leading blanks.
    size_t lead = 0;
    while (text[lead] == ' ') ++lead;
    if (lead) std::memmove(text, text + lead, std::strlen(text + lead) + 1);
    bool changed = true;
    while (changed) {
        changed = false;
        for (char* s = text; *s; ++s) {
            if (*s != '+' && *s != '-') continue;
            char* q = s + 1;
            while (*q == ' ') ++q;
            if (*q != '+' && *q != '-') continue;
            *s = (*s == *q) ? '+' : '-';
            std::memmove(s + 1, q + 1, std::strlen(q + 1) + 1);
            changed = true;
            break;
        }
    }
    // Trailing blanks; runs of blanks become one.
    size_t n = std::strlen(text);
    while (n && text[n - 1] == ' ') text[--n] = 0;
    char* out = text;
    for (char* s = text; *s; ++s) {
        if (*s == ' ' && out > text && out[-1] == ' ') continue;
        *out++ = *s;
    }
    *out = 0;
}

bool IsReservedSymbol(const char* name, bool includeFunctions) {
    static bool built = false;
    static bool charSet[256];
    if (!name) return false;
    if (!built) {
        std::memset(charSet, 0, sizeof charSet);
        for (int r = 0; r < kExprSymbolCount; ++r) {
            if (ExprSymbolTable[r].maxArgs != 0) continue;
            for (const char* c = ExprSymbolTable[r].name; c && *c; ++c) {
                unsigned char u = static_cast<unsigned char>(*c);
                charSet[u] = true;
                if (u >= 'A' && u <= 'Z') charSet[u + 32] = true;
            }
        }
        built = true;
    }
    if (!includeFunctions) {
        for (const char* c = name; *c; ++c)
            if (!charSet[static_cast<unsigned char>(*c)]) return false;
    }
    for (int r = 0; r < kExprSymbolCount; ++r) {
        const ExprSymbol& row = ExprSymbolTable[r];
        if (!includeFunctions && row.maxArgs != 0) continue;
        if (row.name && row.name[0] && ep_NameEquals(row.name, name)) return true;
    }
    return false;
}

// ---- domain, index variables, bodies, histories ----------------------------------------

int NarrowExpressionDomain(ExprCompiler* ctx, uint32_t bits) {
    uint32_t& domain = ctx->target->domain;
    if (domain == 0) {
        domain = bits;
        return 0;
    }
    if (domain & bits) {
        if (domain & ~bits) domain = bits;
        return 0;
    }
    domain |= bits;
    return 1;
}

int AllocateIndexSlots(ExprCompiler* ctx, const char* text) {
    CompiledExpression* target = ctx->target;
    int count = 0;
    for (const char* s = text; *s; ++s) {
        if (std::strncmp(s, "SERIES", 6) == 0 || std::strncmp(s, "PROD", 4) == 0) ++count;
    }
    MemFree(target->indexSlots);
    target->indexSlots = nullptr;
    target->indexSlotCount = 0;
    target->indexSlotsUsed = 0;
    if (!count) return 0;
    target->indexSlots = static_cast<double*>(MemAllocZero(static_cast<size_t>(count) * sizeof(double)));
    if (!target->indexSlots) return ReportCompileErrorNoText(ctx, kResultNoMemory);
    target->indexSlotCount = count;
    return 0;
}

int AddIndexName(ExprCompiler* ctx, const char* name, double* slot) {
    CompiledExpression* owner = ctx->indexNameOwner ? ctx->indexNameOwner : ctx->target;
    void* block = owner->indexNames;
    size_t oldSize = static_cast<size_t>(owner->indexNameCount) * sizeof(ExprIndexName);
    if (!ResizeZeroed(&block, oldSize + sizeof(ExprIndexName), oldSize))
        return ReportCompileErrorNoText(ctx, kResultNoMemory);
    owner->indexNames = static_cast<ExprIndexName*>(block);
    ExprIndexName& entry = owner->indexNames[owner->indexNameCount];
    entry.name = DuplicateString(name);
    entry.slot = slot;
    if (!entry.name) return ReportCompileErrorNoText(ctx, kResultNoMemory);
    ++owner->indexNameCount;
    return 0;
}

void RemoveIndexName(ExprCompiler* ctx, int index) {
    CompiledExpression* owner = ctx->indexNameOwner ? ctx->indexNameOwner : ctx->target;
    if (index < 0 || index >= owner->indexNameCount) return;
    FreeString(&owner->indexNames[index].name);
    for (int i = index; i + 1 < owner->indexNameCount; ++i) owner->indexNames[i] = owner->indexNames[i + 1];
    --owner->indexNameCount;
}

int AddBody(ExprCompiler* ctx) {
    CompiledExpression* target = ctx->target;
    void* block = target->bodies;
    size_t oldSize = static_cast<size_t>(target->bodyCount) * sizeof(CompiledExpression*);
    if (!ResizeZeroed(&block, oldSize + sizeof(CompiledExpression*), oldSize)) {
        ReportCompileErrorNoText(ctx, kResultNoMemory);
        return -1;
    }
    target->bodies = static_cast<CompiledExpression**>(block);
    void* storage = MemAlloc(sizeof(CompiledExpression));
    if (!storage) {
        ReportCompileErrorNoText(ctx, kResultNoMemory);
        return -1;
    }
    auto* body = new (storage) CompiledExpression();
    body->dialect = target->dialect;
    target->bodies[target->bodyCount] = body;
    return target->bodyCount++;
}

int AddHistory(ExprCompiler* ctx) {
    CompiledExpression* target = ctx->target;
    void* block = target->histories;
    size_t oldSize = static_cast<size_t>(target->historyCount) * sizeof(HistoryBuffer);
    if (!ResizeZeroed(&block, oldSize + sizeof(HistoryBuffer), oldSize)) {
        ReportCompileErrorNoText(ctx, kResultNoMemory);
        return -1;
    }
    target->histories = static_cast<HistoryBuffer*>(block);
    return target->historyCount++;
}

bool IsNodeLexeme(const ExprLexeme* lexeme) {
    if (!lexeme) return false;
    switch (lexeme->code) {
    case kOperandDigitalNode: return true;
    case kOperandDouble: return lexeme->value.doublePtr != nullptr;
    case kOperandComplexNode: return lexeme->value.index >= 0;
    default: return false;
    }
}

int AddStartValueLexeme(ExprCompiler* ctx) {
    double* start = RunStartVariable();
    if (start) return AddPointerLexeme(ctx, start, "STARTVAR");
    return AddConstantLexeme(ctx, 0.0, "0.0");
}

// ---- node operands ------------------------------------------------------------------

namespace {

void ep_SetNodeOperand(ExprParser* p, ExprLexeme* lexeme, int node, int nodeKind) {
    ExprCompiler* ctx = p->ctx;
    if (nodeKind == 1) {
        lexeme->code = kOperandDigitalNode;
        lexeme->value.digitalState = nullptr;
        if (ctx->setupPass != 1) lexeme->value.digitalState = CompileCircuit().DigitalNodeState(node);
        return;
    }
    if (gSolver.AnalysisKind == 1) {
        lexeme->code = kOperandComplexNode;
        lexeme->value.index = node;
        return;
    }
    lexeme->code = kOperandDouble;
    if (node < 0) {
        lexeme->value.doublePtr = nullptr;
    } else if (ctx->setupPass != 1 && gSolver.RealSolution && node < gSolver.realCount) {
        lexeme->value.doublePtr = gSolver.RealSolution + node;
    } else {
        // Before the solver's vectors exist there is no slot to point at.
        lexeme->value.doublePtr = &ep_scratchNode;
    }
}

}  // namespace

// ---- arguments ----------------------------------------------------------------------

int CheckArgumentCount(ExprParser* p, int count, const ExprSymbol* row, char separator) {
    if (!row) return 0;
    const char* name = row->name[0] ? row->name : "[]";
    if (separator == ')' && count < row->minArgs) return ReportCompileError(p->ctx, 10419, name);
    if (separator == ',' && count + 1 > row->maxArgs) return ReportCompileError(p->ctx, 10420, name);
    if (separator == ')' && count > row->maxArgs) return ReportCompileError(p->ctx, 10420, name);
    return 0;
}

int ParseConstantArgument(ExprParser* p, int* position, double* value, char* textOut) {
    int start = *position;
    int pos = start;
    int depth = 0;
    for (; pos < p->length; ++pos) {
        char c = p->text[pos];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth < 0) break;
        } else if (c == ',' && depth == 0) {
            break;
        }
    }
    char argument[92];
    ep_CopyRun(argument, sizeof argument, p->text, start, pos);
    TrimSpaces(argument);
    if (textOut) CopyTextBounded(textOut, argument, 92);
    *value = 0.0;
    int error = 0;
    double number = argument[0] ? ParseNumber(argument, &error) : 0.0;
    if (argument[0] && !error) {
        *value = number;
        *position = pos;
        return 0;
    }
    // Not a plain number: an expression that must fold to a constant.
    char saved = p->text[pos];
    p->text[pos] = 0;
    char* cursor = p->text + start;
    CompiledExpression temp;
    int result = CompileArgumentText(p->text, &cursor, &temp, 0, nullptr, nullptr, kMaskOutsideRun, true, p->ctx);
    p->text[pos] = saved;
    if (!result) {
        ExprToken* only = temp.FirstToken();
        if (only && !only->Next() && only->code == kOperandConstant) {
            *value = only->operand.value;
        } else {
            ComplexNumber number = {0.0, 0.0};
            result = EvaluateExpression(&temp, &number);
            *value = number.re;
        }
    }
    *position = pos;
    return result;
}

int CompileBodyArgument(ExprParser* p, int* position, int body, int32_t symbolMask, bool keepNoState, char** copyOut) {
    CompiledExpression* target = p->ctx->target;
    if (body < 0 || body >= target->bodyCount) return kResultShown;
    char* cursor = p->text + *position;
    CompiledExpression* owner = p->ctx->indexNameOwner ? p->ctx->indexNameOwner : target;
    int result =
        CompileArgumentText(p->text, &cursor, target->bodies[body], symbolMask, owner, copyOut, 0, keepNoState, p->ctx);
    *position = static_cast<int>(cursor - p->text);
    return result;
}

int CompilePlotArgument(ExprParser* p, int* position, int body, int binderCode, int32_t symbolMask,
                        int32_t analysisExtra, bool keepNoState, char** copyOut) {
    CompiledExpression* target = p->ctx->target;
    if (body < 0 || body >= target->bodyCount) return kResultShown;
    char* cursor = p->text + *position;
    CompiledExpression* owner = p->ctx->indexNameOwner ? p->ctx->indexNameOwner : target;
    int result = CompileAndBindArgument(p->text, &cursor, target->bodies[body], symbolMask, owner, copyOut,
                                        analysisExtra, keepNoState, binderCode, p->ctx);
    *position = static_cast<int>(cursor - p->text);
    return result;
}

bool BindCallerSlot(ExprParser* p, const char* name) {
    ExprCompiler* ctx = p->ctx;
    if (!ctx->callerVarSlots || !ctx->callerVarNames || IsReservedSymbol(name, false)) return false;
    for (int i = 0; i < ctx->callerVarCount; ++i) {
        char*& entry = ctx->callerVarNames[i];
        if (entry && entry[0]) continue;
        if (!SetString(&entry, name)) return false;
        if (AddPointerLexeme(ctx, &ctx->callerVarSlots[i], name)) return false;
        if (p->level == 0 && NarrowExpressionDomain(ctx, kDomainAnalog)) p->result = -1;
        return true;
    }
    return false;
}

// ---- device quantities ------------------------------------------------------------

namespace {

// Without the device layer a quantity of a part cannot be bound: the part is
// reported as not found, a node where a part is needed as illegal.
bool ep_IsQuantityCode(int code) {
    return (code >= kTokVoltage && code <= kTokEnergy) || code == kTokBsi || code == kTokHsi ||
           (code >= kTokCoreM && code <= kTokCoreHil);
}

int ep_CloseQuantity(ExprParser* p, int count) {
    ArgumentFrame& f = p->Frame();
    const ExprSymbol* row = SymbolRow(f.row);
    if (!row || !ep_IsQuantityCode(row->code) || !(row->kindFlags & (kArgPartName | kArgNodeName))) return 0;
    DeviceQuantityCall call{};
    call.row = row;
    call.firstLexeme = f.openLexeme;
    call.argCount = count;
    call.pinLetters[0] = f.pinLetters[0];
    call.pinLetters[1] = f.pinLetters[1];
    call.nodes[0] = p->nodes[0];
    call.nodes[1] = p->nodes[1];
    call.nodeTexts[0] = p->nodes[0] >= 0 ? p->nodeTexts[0] : nullptr;
    call.nodeTexts[1] = p->nodes[1] >= 0 ? p->nodeTexts[1] : nullptr;
    call.partName = p->partNameSet ? p->partName : nullptr;
    return CompileCircuit().BindDeviceQuantity(p->ctx, &call);
}

// ---- name binding ------------------------------------------------------------------

bool ep_NextIsParen(const ExprParser* p, int pos) {
    pos = ep_SkipBlanks(p, pos);
    return pos < p->length && p->text[pos] == '(';
}

// The part-name argument after a '(' (for M and CSC).
void ep_ArgumentName(const ExprParser* p, int pos, char* out, size_t size) {
    pos = ep_SkipBlanks(p, pos);
    out[0] = 0;
    if (pos >= p->length || p->text[pos] != '(') return;
    pos = ep_SkipBlanks(p, pos + 1);
    int start = pos;
    while (pos < p->length && ep_IsNodeNameChar(p->text[pos])) ++pos;
    ep_CopyRun(out, size, p->text, start, pos);
}

bool ep_IndexNameInScope(ExprCompiler* ctx, const char* word, double** slot) {
    ExprIndexName* names = ctx->IndexNames();
    for (int i = 0; i < ctx->IndexNameCount(); ++i) {
        if (names[i].name && ep_NameEquals(names[i].name, word)) {
            if (slot) *slot = names[i].slot;
            return true;
        }
    }
    return false;
}

bool ep_IsPlainName(const char* word) {
    if (!word[0]) return false;
    for (const char* c = word; *c; ++c)
        if (!ep_IsAlnum(*c) && *c != '_') return false;
    return true;
}

int ep_Narrow(ExprParser* p, uint32_t bits) {
    if (p->level == 0 && NarrowExpressionDomain(p->ctx, bits)) p->result = -1;  // conflict: stop reading
    return 0;
}

// Binds an accepted symbol row (or the array-element row of a user array).
int ep_BindRow(ExprParser* p, int rowIndex, const char* word, int userArray) {
    ExprCompiler* ctx = p->ctx;
    CompiledExpression* target = ctx->target;
    const ExprSymbol& row = *SymbolRow(rowIndex);
    ArgumentFrame& frame = p->Frame();
    const uint32_t F = frame.argFlags;

    uint32_t units = row.unitFlags & 0x3ffff;
    uint32_t extra = row.extraFlags & 0x30;
    if (units || extra) {
        frame.unitWords[0] |= units;
        frame.unitWords[1] |= extra;
    } else if (!(row.extraFlags & 0x1)) {
        frame.unitWords[0] = 0x3ffff;
        frame.unitWords[1] = 0x30;
    }
    target->flags |= row.unitFlags;
    target->flags2 |= row.extraFlags;
    ep_Narrow(p, row.contextMask);
    if (p->result) return 0;

    int r = 0;
    if (row.kindFlags & kArgFunctionLike) {
        if (row.code == kTokCase && p->caseOpen) return ReportCompileErrorNoText(ctx, 10423);
        if (p->level + 1 >= kArgumentFrameCount) return ReportCompileError(ctx, 10409, p->Source());
        bool delayInCase = row.code == kTokDigitalDelay && p->caseOpen;
        ++p->level;
        if (p->level > p->deepest) p->deepest = p->level;
        ArgumentFrame& f = p->Frame();
        f = ArgumentFrame{};
        f.argFlags = row.kindFlags;
        f.functionCode = row.code;
        f.deviceMask = row.deviceMask;
        f.row = rowIndex;
        f.unitFlags = row.unitFlags;
        f.extraFlags = row.extraFlags;
        f.nodeKind = (row.deviceMask & 0x10000) ? 1 : 0;
        f.parenLevel = p->depth + 1;
        size_t n = std::strlen(word);
        f.pinLetters[0] = n > 1 ? LowerChar(word[1]) : ' ';
        f.pinLetters[1] = n > 2 ? LowerChar(word[2]) : ' ';
        f.openLexeme = -1;
        f.funcLexeme = -1;
        if (row.kindFlags & (kArgPartName | kArgNodeName)) {
            p->nodes[0] = p->nodes[1] = -1;
            p->nodeTexts[0][0] = p->nodeTexts[1][0] = 0;
            p->partNameSet = false;
            p->partName[0] = 0;
        }
        if (row.code == kTokDdt || row.code == kTokDd) {
            if ((r = AddOpenParen(ctx))) return r;
        }
        if (!(row.kindFlags & kArgTwoNodes) && row.code != kTokCase && !delayInCase) {
            if ((r = AddLexeme(ctx, row.code, row.tokenClass, word))) return r;
            if (row.code == kTokArrayElement) LastLexeme(ctx)->value.index = userArray;
            f.funcLexeme = ctx->lexemeCount;
        }
        if (row.code == kTokCase) p->caseOpen = true;
        return 0;
    }

    // Circuit totals: ask the simulator to accumulate them.
    if (row.kindFlags & kKindCircuitTotal) DeviceLists().energyTotalsRequest |= static_cast<uint32_t>(ctx->referenceFlags);

    if (row.code == kTokEnergy && (row.kindFlags & kKindCircuitTotal)) {
        if (gSolver.AnalysisKind < 0) return ReportCompileError(ctx, 807, word);
        // The running integral of the power total.
        if ((r = AddLexeme(ctx, kTokSum, kLexFunction, "SUM"))) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddOpenParen(ctx))) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddLexeme(ctx, kOperandComplex, kLexOperand, word))) return r;
        LastLexeme(ctx)->value.pointer = row.storage;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddLexeme(ctx, kTokComma, kLexComma, ","))) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddIndependentVariableLexeme(ctx, true))) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddLexeme(ctx, kTokComma, kLexComma, ","))) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddStartValueLexeme(ctx))) return r;
        LastLexeme(ctx)->argCount = 1;
        if ((r = AddCloseParen(ctx))) return r;
        LastLexeme(ctx)->argCount = 1;
        target->flags |= kExprFlagRunningIntegral;
        return 0;
    }

    if (row.code == kTokImport || row.code == kTokCurveX || row.code == kTokCurveY) {
        // One imported-waveform record per such token, in text order.
        if (!ctx->imports || ctx->importCount >= ctx->importCapacity || !ctx->imports[ctx->importCount])
            return ReportCompileError(ctx, 10432, word, p->Source());
        if ((r = AddLexeme(ctx, kOperandComplex, kLexOperand, word))) return r;
        LastLexeme(ctx)->value.complexPtr = ctx->imports[ctx->importCount++];
        return 0;
    }

    if (row.kindFlags & (kKindGlobalDouble | kKindGlobalInt | kKindCircuitTotal)) {
        if (!row.storage) return ReportCompileError(ctx, 10432, word, p->Source());
        int code = (row.kindFlags & kKindGlobalDouble) ? kOperandDouble
                   : (row.kindFlags & kKindGlobalInt)  ? kOperandInt
                                                       : kOperandComplex;
        if ((r = AddLexeme(ctx, code, kLexOperand, word))) return r;
        LastLexeme(ctx)->value.pointer = row.storage;
        return 0;
    }

    if (row.kindFlags & (kKindOperator | kKindSpecialOperand)) {
        if ((r = AddLexeme(ctx, row.code, row.tokenClass, word))) return r;
        if (row.extraFlags & (kExtraRandomPerRun | kExtraRandomOnRequest)) LastLexeme(ctx)->value.value = NextRandom();
        if (row.kindFlags & kKindOperator) p->operandExpected = true;
        return 0;
    }

    if (row.kindFlags & kKindConstant) {
        if ((r = AddConstantLexeme(ctx, row.value, word))) return r;
        if (!(F & kArgFunctionLike)) return ReportCompileError(ctx, 10418, ep_FunctionName(p));
        return 0;
    }

    // A row with no binding of its own (cannot happen with the table as it is).
    return ReportCompileError(ctx, 10402, word, p->Source());
}

// Binds a word read by the main loop; the word is upper case.
int ep_BindWord(ExprParser* p, const char* word, int wordEnd) {
    ExprCompiler* ctx = p->ctx;
    CompiledExpression* target = ctx->target;
    ArgumentFrame& frame = p->Frame();
    const uint32_t F = frame.argFlags;
    const bool paren = ep_NextIsParen(p, wordEnd);
    int r = 0;

    // 1. The index variable of a SERIES/PROD.
    if ((frame.functionCode == kTokSeries || frame.functionCode == kTokProd) && F == kArgIndexVariable) {
        if (!ep_IsPlainName(word) || IsReservedSymbol(word, false) || ep_IndexNameInScope(ctx, word, nullptr) ||
            target->indexSlotsUsed >= target->indexSlotCount)
            return ReportCompileError(ctx, 10433, word, p->Source());
        double* slot = &target->indexSlots[target->indexSlotsUsed++];
        if ((r = AddIndexName(ctx, word, slot))) return r;
        if ((r = AddLexeme(ctx, kOperandIndexVar, kLexOperand, word))) return r;
        LastLexeme(ctx)->value.doublePtr = slot;
        return 0;
    }

    // 2. Index variables in scope inside a SERIES/PROD body.
    if (ctx->symbolMask & kSymbolMaskSeriesBody) {
        double* slot = nullptr;
        if (ep_IndexNameInScope(ctx, word, &slot)) {
            if ((r = AddPointerLexeme(ctx, slot, word))) return r;
            return ep_Narrow(p, kDomainAnalog);
        }
    }

    // 3. The caller's variables.
    if (!paren && ctx->callerVarNames) {
        for (int i = 0; i < ctx->callerVarCount; ++i) {
            const char* name = ctx->callerVarNames[i];
            if (!name || !name[0] || !ep_NameEquals(name, word)) continue;
            uint32_t mask = ctx->callerVarMasks ? static_cast<uint32_t>(ctx->callerVarMasks[i]) : kArgExpression;
            if (!(mask & F)) continue;
            if (p->caseOpen && IsLastCaseArgument(p)) {
                char number[16];
                std::snprintf(number, sizeof number, "%d", frame.argIndex + 1);
                return ReportCompileError(ctx, 10422, word, ep_FunctionName(p), number, p->Source());
            }
            if (ctx->callerVarSlots) {
                if ((r = AddPointerLexeme(ctx, &ctx->callerVarSlots[i], word))) return r;
                return ep_Narrow(p, kDomainAnalog);
            }
            int code = (mask == 1 && (F & kArgTwoState)) ? kOperandCallerVar2 : kOperandCallerVar;
            if ((r = AddLexeme(ctx, code, kLexOperand, word))) return r;
            LastLexeme(ctx)->value.index = i;
            return ep_Narrow(p, kDomainTwoState | kDomainFiveState);
        }
    }

    // 4. User arrays of the circuit, 5. the symbol table.
    int rowIndex = -1;
    int candidate = -1;
    uint32_t allowance = 0;
    int userArray = CompileCircuit().FindUserArray(word, ctx->scope);
    if (userArray >= 0) {
        rowIndex = candidate = kArrayElementRow;
        allowance = SymbolRow(kArrayElementRow)->contextMask & F;
    } else {
        int start = SymbolLetterIndex[static_cast<unsigned char>(word[0])];
        for (int ri = start; ri >= 0 && ri < kExprSymbolCount; ++ri) {
            const ExprSymbol& row = ExprSymbolTable[ri];
            if (row.analysisMask & kAnaNeverFound) continue;
            if (!ep_NameEquals(row.name, word)) continue;
            uint32_t allow = row.contextMask & F;
            if (p->caseOpen && (row.code == kTokDigitalDelay || allow)) {
                if (IsLastCaseArgument(p)) allow = allow ? 0 : 1;
            }
            candidate = ri;
            allowance = allow;
            bool passOver = false;
            if (row.minArgs > 0 && !paren && !(row.kindFlags & kKindOperator)) passOver = true;
            if (row.minArgs == 0 && paren && !(row.kindFlags & kKindOperator)) passOver = true;
            if (!passOver && (ep_NameEquals(word, "M") || ep_NameEquals(word, "CSC")) && paren) {
                uint32_t bit = ep_NameEquals(word, "M") ? 0x4u : 0x10u;
                char part[kParserNameSize];
                ep_ArgumentName(p, wordEnd, part, sizeof part);
                bool present = part[0] && CompileCircuit().PartMatchesMask(part, ctx->scope, bit);
                if (((row.deviceMask & bit) != 0) != present) passOver = true;
            }
            if ((row.analysisMask & kAnaWholeRun) && !(ctx->analysisMask & kAnaWholeRun)) passOver = true;
            if ((row.analysisMask & kAnaCurveOnly) && !(ctx->analysisMask & kAnaCurveOnly)) passOver = true;
            if (!passOver && allow) {
                rowIndex = ri;
                break;
            }
        }
        if (rowIndex < 0) rowIndex = candidate;
    }

    if (rowIndex >= 0) {
        const ExprSymbol& row = *SymbolRow(rowIndex);
        const int32_t am = ctx->analysisMask;
        bool wholeRunMatch = (row.analysisMask & kAnaWholeRun) && (am & kAnaWholeRun);
        if ((row.analysisMask & kAnaCurveOnly) && !wholeRunMatch && !(am & kAnaCurveOnly))
            return ReportCompileError(ctx, 10425, word);
        if ((row.analysisMask & am & ~kAnaCurveOnly) == 0) {
            if (am == kMaskOutsideRun || am == kMaskParameter) {
                if (BindCallerSlot(p, word)) return 0;
                return ReportCompileError(ctx, 10432, word, p->Source());
            }
            switch (gSolver.AnalysisKind) {
            case 1: return ReportCompileError(ctx, 10426, word);
            case 2: return ReportCompileError(ctx, 10427, word);
            case 0:
            case 3: return ReportCompileError(ctx, 10428, word);
            default: return ReportCompileError(ctx, 10432, word, p->Source());
            }
        }
        if (row.maxArgs != 0 && !paren && !(row.kindFlags & kKindOperator)) {
            if (BindCallerSlot(p, word)) return 0;
            return ReportCompileError(ctx, 10417, word, p->Source());
        }
        if (!allowance) {
            if (p->level == 0) return ReportCompileError(ctx, 10436, word, p->Source());
            char number[16];
            std::snprintf(number, sizeof number, "%d", frame.argIndex + 1);
            return ReportCompileError(ctx, 10422, word, ep_FunctionName(p), number, p->Source());
        }
        return ep_BindRow(p, rowIndex, word, userArray);
    }

    // 6. Not a symbol: a model parameter written PART.PARAM, a free caller slot.
    if ((F & kArgExpression) && (ctx->analysisMask & 0xf) && std::strchr(word, '.')) {
        char part[kParserNameSize];
        CopyTextBounded(part, word, sizeof part);
        char* dot = std::strchr(part, '.');
        *dot = 0;
        const char* param = dot + 1;
        double* value = nullptr;
        bool reciprocal = false;
        int found = CompileCircuit().FindModelParameter(part, param, ctx->scope, &value, &reciprocal);
        if (found == 0 && value) {
            if (reciprocal) {
                if ((r = AddOpenParen(ctx))) return r;
                LastLexeme(ctx)->argCount = 1;
                if ((r = AddConstantLexeme(ctx, 1.0, "1.0"))) return r;
                LastLexeme(ctx)->argCount = 1;
                if ((r = AddLexeme(ctx, kTokGeneratedDivide, 11, "/"))) return r;
                LastLexeme(ctx)->argCount = 1;
                if ((r = AddPointerLexeme(ctx, value, word))) return r;
                LastLexeme(ctx)->argCount = 1;
                if ((r = AddCloseParen(ctx))) return r;
                LastLexeme(ctx)->argCount = 1;
            } else {
                if ((r = AddPointerLexeme(ctx, value, word))) return r;
            }
            return ep_Narrow(p, kDomainAnalog);
        }
        if (found == 2) return ReportCompileError(ctx, 10402, param, p->Source());
    }
    char shown[kParserNameSize];
    CopyTextBounded(shown, word, sizeof shown);
    if (std::strcmp(word, "'") == 0 && wordEnd < p->length) {
        shown[1] = p->text[wordEnd];
        shown[2] = 0;
    }
    if (!(F & (kArgNodeName | kArgDigital1)) && ctx->callerVarSlots && BindCallerSlot(p, word)) return 0;
    return ReportCompileError(ctx, 10402, shown, p->Source());
}

int ep_AppendNumber(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    const uint32_t F = frame.argFlags;
    const char* t = p->text;
    int start = p->pos;
    int pos = start;
    bool illegal = false;
    int dots = 0;
    while (pos < p->length && ep_IsNumberChar(t[pos])) {
        if (t[pos] == '.') ++dots;
        ++pos;
    }
    if (dots > 1) illegal = true;
    bool hasExponent = false;
    bool hasLetters = false;
    int exponent = 0;
    if (pos < p->length && t[pos] == 'E') {
        hasExponent = true;
        ++pos;
        if (pos < p->length && (t[pos] == '+' || t[pos] == '-')) ++pos;
        int digits = 0;
        while (pos < p->length && ep_IsDigit(t[pos])) {
            if (exponent < 100000) exponent = exponent * 10 + (t[pos] - '0');
            ++digits;
            ++pos;
        }
        if (!digits) illegal = true;
    }
    if (!hasExponent && pos < p->length && IsSuffixLetter(t[pos])) {
        hasLetters = true;
        pos += std::strncmp(t + pos, "MEG", 3) == 0 ? 3 : 1;
        while (pos < p->length && ep_IsDigit(t[pos])) ++pos;
    }
    while (pos < p->length && (ep_IsLetter(t[pos]) || t[pos] == '_')) {
        hasLetters = true;
        ++pos;
    }
    char number[kParserNameSize];
    int signOffset = (p->pendingSign < 0 && (F & kArgStartValue)) ? 1 : 0;
    number[0] = '-';
    ep_CopyRun(number + signOffset, sizeof number - 1, t, start, pos);
    if (exponent >= 300) illegal = true;
    if (illegal) return ReportCompileError(ctx, 10404, number + signOffset, p->Source());
    p->pos = pos;

    bool factorial = pos < p->length && t[pos] == '!' && !(pos + 1 < p->length && t[pos + 1] == '=');
    int r = 0;
    if (factorial) {
        if ((r = AddLexeme(ctx, kTokFact, kLexFunction, "!"))) return r;
        if ((r = AddOpenParen(ctx))) return r;
    }
    double value = 0.0;
    if (!hasLetters) {
        value = std::strtod(number, nullptr);
    } else {
        value = ParseNumber(number, nullptr);
    }
    if (p->pendingSign < 0 && !signOffset) {
        if ((r = AddLexeme(ctx, kTokUnaryMinus, kLexUnary, "-"))) return r;
    }
    p->pendingSign = 1;
    if (frame.functionCode == kTokDigitalDelay && p->level > 0) {
        if ((r = AddLexeme(ctx, kOperandDelayConstant, kLexOperand, number))) return r;
        LastLexeme(ctx)->value.value = value;
    } else {
        if ((r = AddConstantLexeme(ctx, value, number))) return r;
    }
    if (factorial) {
        if ((r = AddCloseParen(ctx))) return r;
        p->pos = pos + 1;
    }
    return ep_Narrow(p, kDomainAnalog);
}

// An argument written as a constant text (digital DELAY, second argument of
// the CHANGED family).
int ep_ConstantArgument(ExprParser* p) {
    double value = 0.0;
    char text[92];
    int pos = p->pos;
    int r = ParseConstantArgument(p, &pos, &value, text);
    if (r) return r;
    p->pos = pos;
    bool delay = p->Frame().functionCode == kTokDigitalDelay;
    if ((r = AddLexeme(p->ctx, delay ? kOperandDelayConstant : kOperandConstant, kLexOperand, text))) return r;
    LastLexeme(p->ctx)->value.value = value;
    p->operandExpected = false;
    return 0;
}

// Step 1 of the main loop: a node or part name argument. Returns 1 when it
// consumed the name.
int ep_NodeOrPartName(ExprParser* p, int* r) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    const uint32_t F = frame.argFlags;
    int start = p->pos;
    int pos = start;
    while (pos < p->length && ep_IsNodeNameChar(p->text[pos])) ++pos;
    if (pos == start) return 0;
    char name[kParserNameSize];
    ep_CopyRun(name, sizeof name, p->text, start, pos);
    const char* function = ep_FunctionName(p);
    if (F & (kArgNodeName | kArgDigital1)) {
        int node = CompileCircuit().FindNodeNumber(name, ctx->scope, frame.nodeKind);
        if (node >= 0) {
            int count = CompileCircuit().NodeCount(frame.nodeKind);
            if (node > count) {
                *r = ReportCompileError(ctx, 10408, name, p->Source());
                return 1;
            }
            if ((*r = AddLexeme(ctx, kOperandDouble, kLexOperand, nullptr))) return 1;
            ExprLexeme* lexeme = LastLexeme(ctx);
            ep_SetNodeOperand(p, lexeme, node, frame.nodeKind);
            lexeme->text.Format("%s(%s)", function, name);
            if (frame.argIndex == 0 || frame.argIndex == 1) {
                p->nodes[frame.argIndex] = node;
                std::snprintf(p->nodeTexts[frame.argIndex], sizeof p->nodeTexts[0], "%d", node);
            }
            p->pos = pos;
            p->operandExpected = false;
            return 1;
        }
    }
    if ((F & kArgPartName) && frame.argIndex == 0) {
        if ((*r = AddLexeme(ctx, kOperandDouble, kLexOperand, nullptr))) return 1;
        ExprLexeme* lexeme = LastLexeme(ctx);
        lexeme->value.doublePtr = nullptr;
        lexeme->text.Format("%s(%s)", function, name);
        CopyTextBounded(p->partName, name, sizeof p->partName);
        p->partNameSet = true;
        p->pos = pos;
        p->operandExpected = false;
        return 1;
    }
    return 0;
}

int ep_Comma(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    const ExprSymbol* row = SymbolRow(frame.row);
    ++frame.argIndex;
    if (row && frame.argIndex + 1 > row->maxArgs) return ReportCompileError(ctx, 10420, ep_FunctionName(p));
    p->operandExpected = true;
    int r = 0;
    if (frame.argFlags & kArgTwoNodes) {
        ExprLexeme* last = LastLexeme(ctx);
        if (!IsNodeLexeme(last)) {
            const char* shown = last && last->text.text() ? last->text.text() : "";
            return ReportCompileError(ctx, 10408, shown, p->Source());
        }
        if ((r = AddLexeme(ctx, kTokMinus, 10, "-"))) return r;
        ++p->pos;
        return 0;
    }
    if ((r = AddLexeme(ctx, kTokComma, kLexComma, ","))) return r;
    ++p->pos;
    return ApplyCommaRules(p);
}

int ep_CloseParen(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    ArgumentFrame& frame = p->Frame();
    --p->depth;
    int r = AddCloseParen(ctx);
    if (r) return r;
    ++p->pos;
    if (p->level > 0 && (frame.argFlags & kArgFunctionLike) && frame.parenLevel == p->depth + 1) {
        int count = frame.argIndex + 1;
        if ((r = CheckArgumentCount(p, count, SymbolRow(frame.row), ')'))) return r;
        if ((r = ApplyClosingRules(p, count))) return r;
        if ((r = ep_CloseQuantity(p, count))) return r;
        --p->level;
    }
    p->operandExpected = false;
    return 0;
}

int ep_OpenParen(ExprParser* p) {
    ExprCompiler* ctx = p->ctx;
    ++p->depth;
    int r = AddOpenParen(ctx);
    if (r) return r;
    ++p->pos;
    p->operandExpected = true;
    ArgumentFrame& frame = p->Frame();
    if (p->level > 0 && frame.openLexeme < 0 && frame.parenLevel == p->depth) {
        frame.openLexeme = ctx->lexemeCount;
        if ((r = ApplyOpeningRules(p))) return r;
    }
    ArgumentFrame& now = p->Frame();
    if (p->level > 0 && !(now.argFlags & kArgFunctionLike) && now.parenLevel < p->depth)
        return ReportCompileError(ctx, 10418, ep_FunctionName(p));
    return 0;
}

}  // namespace

// ---- the parser ---------------------------------------------------------------------

int ParseExpression(ExprCompiler* ctx) {
    BuildSymbolLetterIndex();
    CompiledExpression* target = ctx->target;
    const char* source = ctx->text ? ctx->text : "";

    auto* p = static_cast<ExprParser*>(MemAllocZero(sizeof(ExprParser)));
    if (!p) return ReportCompileErrorNoText(ctx, kResultNoMemory);
    p->ctx = ctx;
    size_t length = std::strlen(source);
    if (length < kParserLocalText) {
        p->text = p->localText;
    } else {
        p->heapText = static_cast<char*>(MemAlloc(length + 1));
        if (!p->heapText) {
            MemFree(p);
            return ReportCompileErrorNoText(ctx, kResultNoMemory);
        }
        p->text = p->heapText;
    }
    std::memcpy(p->text, source, length + 1);
    for (char* c = p->text; *c; ++c) {
        if (*c == '{')
            *c = '(';
        else if (*c == '}')
            *c = ')';
        else
            *c = UpperChar(*c);
    }
    p->length = static_cast<int>(length);
    p->pos = ep_SkipBlanks(p, 0);
    p->pendingSign = 1;
    p->nodes[0] = p->nodes[1] = -1;

    int result = AllocateIndexSlots(ctx, p->text);
    bool conflict = false;
    if (!result) {
        SetLexemeCount(ctx, -1);
        p->frames[0].argFlags = static_cast<uint32_t>(ctx->symbolMask);
        p->frames[0].row = -1;
        p->frames[0].openLexeme = -1;
        p->frames[0].funcLexeme = -1;
        target->outerUnits[0] = target->outerUnits[1] = 0;
        target->flags = target->flags2 = 0;
        target->domain = 0;
        target->historyDepth = 0;
        p->operandExpected = true;

        p->pos = ep_SkipBlanks(p, p->pos);
        if (p->pos >= p->length) {
            result = ReportCompileError(ctx, 10410, source);
        } else if (p->text[p->pos] == '+') {
            p->text[p->pos] = ' ';
        }
    }

    while (!result && !p->result) {
        p->pos = ep_SkipBlanks(p, p->pos);
        if (p->pos >= p->length) break;
        ArgumentFrame& frame = p->Frame();
        const uint32_t F = frame.argFlags;
        const char c = p->text[p->pos];

        // 1. A node or part name argument.
        if (F & (kArgNodeName | kArgPartName)) {
            if (ep_NodeOrPartName(p, &result)) continue;
        }
        // 2. A sign in operand position.
        if (p->operandExpected && (F & (kArgStartValue | kArgNumberOnly | kArgExpression))) {
            if (c == '+' || c == '-') {
                if (c == '-') p->pendingSign = -p->pendingSign;
                p->pos = ep_SkipBlanks(p, p->pos + 1);
                // Signs are collapsed before a compile; a second one is an operator.
            }
            p->operandExpected = false;
            if (p->pos >= p->length) {
                if (p->pendingSign < 0) result = AddLexeme(ctx, kTokUnaryMinus, kLexUnary, "-");
                break;
            }
        }
        const char d = p->text[p->pos];
        // 3. A number.
        if ((F & (kArgStartValue | kArgExpression)) && ep_IsNumberChar(d)) {
            result = ep_AppendNumber(p);
            continue;
        }
        if (p->pendingSign < 0) {
            p->pendingSign = 1;
            if ((result = AddLexeme(ctx, kTokUnaryMinus, kLexUnary, "-"))) break;
        }
        p->pendingSign = 1;
        // 4. A digital level literal.
        if ((F & kArgDigitalLevel) && d == '\'' && p->pos + 1 < p->length && ep_IsLevelLetter(p->text[p->pos + 1])) {
            char text[3] = {'\'', p->text[p->pos + 1], 0};
            int code = (F & kArgTwoState) ? kOperandLevel2 : kOperandLevel5;
            if ((result = AddLexeme(ctx, code, kLexOperand, text))) break;
            LastLexeme(ctx)->value.index = DigitalStateIndex(text[1]);
            target->flags |= kExprFlagDigitalLevel;
            ep_Narrow(p, kDomainTwoState | kDomainFiveState);
            p->pos += 2;
            continue;
        }
        // 5. A comma between arguments.
        if (d == ',' && p->level > 0 && (F & kArgFunctionLike)) {
            result = ep_Comma(p);
            if (!result && (p->Frame().argFlags & kArgConstantText)) result = ep_ConstantArgument(p);
            continue;
        }
        // 6. Parentheses.
        if (d == '(' || d == ')') {
            if ((F & (kArgNodeName | kArgPartName | kArgTwoNodes)) && p->level > 0 && frame.parenLevel < p->depth) {
                result = ReportCompileError(ctx, 10418, ep_FunctionName(p));
                break;
            }
            if (d == ')') {
                result = ep_CloseParen(p);
            } else {
                result = ep_OpenParen(p);
                if (!result && p->level > 0 && p->Frame().parenLevel == p->depth &&
                    (p->Frame().argFlags & kArgConstantText) && p->pos < p->length && p->text[p->pos] != ')')
                    result = ep_ConstantArgument(p);
            }
            continue;
        }
        // 7. An operator or a name.
        int start = p->pos;
        int end = start + 1;
        if (ep_IsOperatorChar(d)) {
            if (d == '*' && end < p->length && p->text[end] == '*') ++end;
        } else if (ep_IsCompareChar(d)) {
            while (end < p->length && ep_IsCompareChar(p->text[end])) ++end;
        } else if ((F & (kArgNodeName | kArgDigitalLevel | kArgTwoState | kArgDigital1)) && !(F & kArgExpression) &&
                   ep_IsDigitalNameChar(d)) {
            while (end < p->length && ep_IsDigitalNameChar(p->text[end])) ++end;
        } else if (ep_IsLetter(d) || d == '_') {
            while (end < p->length && ep_IsIdentChar(p->text[end])) ++end;
        }
        char word[kParserNameSize];
        ep_CopyRun(word, sizeof word, p->text, start, end);
        p->pos = end;
        p->operandExpected = false;
        result = ep_BindWord(p, word, end);
    }

    if (p->result == -1) conflict = true;
    if (!result) {
        uint32_t domain = target->domain;
        // Two-state values may appear among five-state ones; a conflict met
        // while reading is reported whatever the pair, so that no text is
        // ever cut short without a message.
        if (!conflict && (domain & kDomainTwoState) && (domain & kDomainFiveState)) domain &= ~kDomainTwoState;
        if (conflict || ep_CountBits(domain) > 1) {
            char list[200] = "";
            for (const DomainName& n : kDomainNames) {
                if (domain & n.bit) std::strncat(list, n.text, sizeof list - std::strlen(list) - 1);
            }
            result = ReportCompileError(ctx, 10429, list);
        }
        target->domain = domain;
    }
    if (!result) result = AddLexeme(ctx, 0, 0, "");
    if (!result) {
        for (int l = 0; l <= p->deepest && l < kArgumentFrameCount; ++l) {
            if (p->frames[l].unitWords[0] || p->frames[l].unitWords[1]) {
                target->outerUnits[0] = p->frames[l].unitWords[0];
                target->outerUnits[1] = p->frames[l].unitWords[1];
                break;
            }
        }
        for (int i = 0; i < ctx->lexemeCount; ++i) {
            ExprLexeme& lexeme = ctx->lexemes[i];
            if (lexeme.code == kTokSdt || lexeme.code == kTokSdFunction)
                lexeme.code = kTokSum;
            else if (lexeme.code == kTokDdt || lexeme.code == kTokDd)
                lexeme.code = kTokDel;
        }
    }
    MemFree(p->heapText);
    MemFree(p);
    return result;
}

int BindQuantityWithoutDevices(ExprCompiler* ctx, const DeviceQuantityCall& call) {
    const char* name = call.row->name;
    int code = call.row->code;
    bool partArgument = call.partName != nullptr;
    if (code == kTokVoltage && !partArgument) return 0;
    if (partArgument) return ReportCompileError(ctx, 10412, call.partName, name);
    if (call.argCount >= 2 && call.nodes[1] >= 0 && code != kTokPower && code != kTokEnergy)
        return ReportCompileError(ctx, 10413, call.nodeTexts[0], call.nodeTexts[1]);
    return ReportCompileError(ctx, 10416, name, call.nodeTexts[0] ? call.nodeTexts[0] : "");
}
