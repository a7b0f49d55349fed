// Compiled expressions, the compile context and the compile driver.

#include "expr/compiled.h"

#include <cstring>
#include <new>

#include "core/memory.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/compiler_internal.h"
#include "expr/complex.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"

namespace {

// Compiles nest only by recursion from inside a compile (argument bodies),
// at most this deep; each depth keeps its own lexeme array between compiles.
constexpr int kCompileDepthLimit = 4;
// The lexeme arrays of the nesting depths, kept between compiles. Each thread
// compiles with its own, released when the thread ends.
struct cc_LexemeArrays {
    int depth = 0;
    ExprLexeme* arrays[kCompileDepthLimit] = {nullptr, nullptr, nullptr, nullptr};
    int32_t capacities[kCompileDepthLimit] = {-1, -1, -1, -1};
    ~cc_LexemeArrays() { ReleaseLexemeArrays(); }
};
thread_local cc_LexemeArrays cc_lexemes;

// Lexemes hold a SmallString8, so an array's entries are constructed after it
// is allocated and destroyed before it is freed.
ExprLexeme* cc_NewLexemeArray(int entries) {
    auto* array = static_cast<ExprLexeme*>(MemAlloc(static_cast<size_t>(entries) * sizeof(ExprLexeme)));
    if (!array) return nullptr;
    for (int i = 0; i < entries; ++i) new (&array[i]) ExprLexeme();
    return array;
}

void cc_FreeLexemeArray(ExprLexeme* array, int entries) {
    if (!array) return;
    for (int i = 0; i < entries; ++i) array[i].~ExprLexeme();
    MemFree(array);
}

void cc_DestroyExpressionArray(CompiledExpression** array, int count) {
    if (!array) return;
    for (int i = 0; i < count; ++i) {
        if (!array[i]) continue;
        array[i]->~CompiledExpression();
        MemFree(array[i]);
    }
    MemFree(array);
}

// Tokens hold their text in a SmallString8: the pool constructs and destroys them.
void cc_PrepareTokenPool(CompiledExpression* expr) { expr->tokens.Holds<ExprToken>(); }

}  // namespace

// ---- tokens -----------------------------------------------------------------------

void ExprToken::CopyFrom(const ExprToken& source) {
    code = source.code;
    pushes = source.pushes;
    operand = source.operand;
    text.Set(source.text.text());
    argCount = source.argCount;
    isDigitalLevel = source.isDigitalLevel;
}

ExprToken* AppendToken(CompiledExpression* expr) {
    cc_PrepareTokenPool(expr);
    return expr->tokens.AddNewConstructed<ExprToken>(0);
}

// ---- compiled expressions -------------------------------------------------------------

CompiledExpression::CompiledExpression() {
    tokens.Init();
    cc_PrepareTokenPool(this);
}

CompiledExpression::~CompiledExpression() { FreeExpression(this); }

void FreeExpression(CompiledExpression* expr) {
    if (!expr) return;
    cc_DestroyExpressionArray(expr->bodies, expr->bodyCount);
    expr->bodies = nullptr;
    expr->bodyCount = 0;
    cc_DestroyExpressionArray(expr->shared, expr->sharedCount);
    expr->shared = nullptr;
    expr->sharedCount = 0;
    if (expr->histories) {
        for (int i = 0; i < expr->historyCount; ++i) MemFree(expr->histories[i].entries);
        MemFree(expr->histories);
    }
    expr->histories = nullptr;
    expr->historyCount = 0;
    MemFree(expr->resultSlot);
    expr->resultSlot = nullptr;
    expr->tokens.DeleteAll();
    cc_PrepareTokenPool(expr);
    expr->outerUnits[0] = expr->outerUnits[1] = 0;
    expr->flags = expr->flags2 = 0;
    expr->domain = 0;
    expr->historyDepth = 0;
    expr->reserved2 = 0;
    expr->phaseReset = expr->phaseUpdate = 0;
    if (expr->indexNames) {
        for (int i = 0; i < expr->indexNameCount; ++i) FreeString(&expr->indexNames[i].name);
        MemFree(expr->indexNames);
    }
    expr->indexNames = nullptr;
    expr->indexNameCount = 0;
    MemFree(expr->indexSlots);
    expr->indexSlots = nullptr;
    expr->indexSlotCount = 0;
    expr->indexSlotsUsed = 0;
}

int GrowHistory(CompiledExpression* expr, int index, int capacity) {
    if (!expr || index < 0 || index >= expr->historyCount || capacity < 0) return kResultNoMemory;
    HistoryBuffer& history = expr->histories[index];
    if (capacity <= history.capacity) return 0;
    void* block = history.entries;
    size_t oldSize = static_cast<size_t>(history.capacity) * sizeof(ComplexNumber);
    if (!ResizeZeroed(&block, static_cast<size_t>(capacity) * sizeof(ComplexNumber), oldSize)) return kResultNoMemory;
    history.entries = static_cast<ComplexNumber*>(block);
    history.capacity = capacity;
    return 0;
}

void FreeHistory(CompiledExpression* expr, int index) {
    if (!expr || index < 0 || index >= expr->historyCount) return;
    MemFree(expr->histories[index].entries);
    expr->histories[index].entries = nullptr;
    expr->histories[index].capacity = 0;
}

char* FormatExpressionTokens(const CompiledExpression* expr, char* buffer, size_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    if (!expr) return buffer;
    size_t used = 0;
    for (ExprToken* t = expr->FirstToken(); t; t = t->Next()) {
        const char* text = t->text.text() ? t->text.text() : "";
        size_t n = std::strlen(text) + (used ? 1 : 0);
        if (used + n >= size) break;
        if (used) buffer[used++] = ' ';
        std::memcpy(buffer + used, text, std::strlen(text));
        used += std::strlen(text);
        buffer[used] = 0;
    }
    return buffer;
}

// ---- compile context ----------------------------------------------------------------

void ExprCompiler::Init(const char* sourceText, CompiledExpression* targetExpr, int32_t analysis, int32_t symbols) {
    *this = ExprCompiler();
    text = sourceText;
    target = targetExpr;
    analysisMask = analysis;
    symbolMask = symbols;
    indexNameOwner = targetExpr;
    scope = 1;
    if (targetExpr) {
        // The storage mode can change only while the pool is empty; the compile
        // empties it anyway.
        targetExpr->tokens.DeleteAll();
        cc_PrepareTokenPool(targetExpr);
        targetExpr->tokens.chunked = 0;
        targetExpr->tokens.chunkSize = 100;
        if (sourceText && std::strlen(sourceText) > 20) targetExpr->tokens.EnablePooling(1000);
    }
}

int32_t ExprCompiler::IndexNameCount() const { return indexNameOwner ? indexNameOwner->indexNameCount : 0; }
ExprIndexName* ExprCompiler::IndexNames() const { return indexNameOwner ? indexNameOwner->indexNames : nullptr; }

// ---- lexeme arrays ------------------------------------------------------------------

void ClearLexeme(ExprLexeme* lexeme) {
    lexeme->code = 0;
    lexeme->cls = 0;
    std::memset(&lexeme->value, 0, sizeof lexeme->value);
    lexeme->text.Clear();
    lexeme->argCount = 0;
}

void CopyLexeme(ExprLexeme* to, const ExprLexeme* from) {
    if (to == from) return;
    to->code = from->code;
    to->cls = from->cls;
    to->value = from->value;
    to->text.Set(from->text.text());
    to->argCount = from->argCount;
}

int SetLexemeCount(ExprCompiler* ctx, int n) {
    if (n < 0) {
        ctx->lexemeCount = -1;
        return 0;
    }
    if (n >= ctx->lexemeCapacity) {
        int capacity = n <= 100 ? n + 20 : n <= 1000 ? n + 100 : n + 1000;
        ExprLexeme* grown = cc_NewLexemeArray(capacity + 1);
        if (!grown) return ReportCompileErrorNoText(ctx, kResultNoMemory);
        int oldEntries = ctx->lexemes ? ctx->lexemeCapacity + 1 : 0;
        for (int i = 0; i < oldEntries; ++i) CopyLexeme(&grown[i], &ctx->lexemes[i]);
        cc_FreeLexemeArray(ctx->lexemes, oldEntries);
        ctx->lexemes = grown;
        ctx->lexemeCapacity = capacity;
    }
    ctx->lexemeCount = n;
    ClearLexeme(&ctx->lexemes[n]);
    return 0;
}

ExprLexeme* LastLexeme(ExprCompiler* ctx) { return ctx->lexemeCount >= 0 ? &ctx->lexemes[ctx->lexemeCount] : nullptr; }

int AddLexeme(ExprCompiler* ctx, int code, int cls, const char* text) {
    int r = SetLexemeCount(ctx, ctx->lexemeCount + 1);
    if (r) return r;
    ExprLexeme* lexeme = LastLexeme(ctx);
    lexeme->code = code;
    lexeme->cls = cls;
    lexeme->text.Set(text);
    return 0;
}

int AddOpenParen(ExprCompiler* ctx) { return AddLexeme(ctx, kTokOpenParen, kLexParen, "("); }
int AddCloseParen(ExprCompiler* ctx) { return AddLexeme(ctx, kTokCloseParen, kLexParen, ")"); }

int AddConstantLexeme(ExprCompiler* ctx, double value, const char* text) {
    int r = AddLexeme(ctx, kOperandConstant, kLexOperand, text);
    if (!r) LastLexeme(ctx)->value.value = value;
    return r;
}

int AddPointerLexeme(ExprCompiler* ctx, double* pointer, const char* text) {
    int r = AddLexeme(ctx, kOperandDouble, kLexOperand, text);
    if (!r) LastLexeme(ctx)->value.doublePtr = pointer;
    return r;
}

int AddIndependentVariableLexeme(ExprCompiler* ctx, bool forceTime) {
    int kind = gSolver.AnalysisKind;
    if (!forceTime && kind == 1) return AddPointerLexeme(ctx, &RunVars.frequency, "F");
    if (!forceTime && kind == 2) return AddPointerLexeme(ctx, &RunVars.dcInput1, "DCINPUT1");
    return AddPointerLexeme(ctx, &RunVars.time, "T");
}

void ReplaceLastLexemeByComma(ExprCompiler* ctx) {
    ExprLexeme* lexeme = LastLexeme(ctx);
    if (!lexeme) return;
    lexeme->code = kTokComma;
    lexeme->cls = kLexComma;
    std::memset(&lexeme->value, 0, sizeof lexeme->value);
    lexeme->text.Set(",");
}

int InsertLexemeAt(ExprCompiler* ctx, int index) {
    int last = ctx->lexemeCount;
    if (index < 0 || index > last + 1) index = last + 1;
    int r = SetLexemeCount(ctx, last + 1);
    if (r) return r;
    for (int i = last; i >= index; --i) CopyLexeme(&ctx->lexemes[i + 1], &ctx->lexemes[i]);
    ClearLexeme(&ctx->lexemes[index]);
    return 0;
}

void RemoveLexemeAt(ExprCompiler* ctx, int index) {
    int last = ctx->lexemeCount;
    if (index < 0 || index > last) return;
    for (int i = index; i < last; ++i) CopyLexeme(&ctx->lexemes[i], &ctx->lexemes[i + 1]);
    ClearLexeme(&ctx->lexemes[last]);
    ctx->lexemeCount = last - 1;
}

void ReleaseLexemeArrays() {
    for (int d = 0; d < kCompileDepthLimit; ++d) {
        cc_FreeLexemeArray(cc_lexemes.arrays[d], cc_lexemes.capacities[d] + 1);
        cc_lexemes.arrays[d] = nullptr;
        cc_lexemes.capacities[d] = -1;
    }
}

// ---- messages -------------------------------------------------------------------

int ReportCompileError(ExprCompiler* ctx, int id, const char* a1, const char* a2, const char* a3, const char* a4) {
    void* parent = ctx ? ctx->owner : nullptr;
    if (ctx && ctx->openLimitsOnError) {
        if (void* dialog = PlotBinding().OpenLimitsDialog()) parent = dialog;
    }
    SetPendingMessage(id, a1 ? a1 : "", a2 ? a2 : "", a3 ? a3 : "", a4 ? a4 : "");
    RecordLastMessage(id, PendingText());
    if (ctx && ctx->quiet) return kResultPending;
    MessageRequest request = Message(kResultPending).Source(ctx ? ctx->scope : 1);
    if (parent) request.Parent(static_cast<platform::Window*>(parent));
    if (ctx && ctx->sourcePart) request.Component(static_cast<const SchematicObject*>(ctx->sourcePart));
    Reporter().Report(request);
    ClearPendingMessage();
    return kResultShown;
}

int ReportCompileErrorNoText(ExprCompiler* ctx, int id) { return ReportCompileError(ctx, id); }
int ReportCompileErrorWithText(ExprCompiler* ctx, int id, const char* text) {
    return ReportCompileError(ctx, id, text);
}

// ---- the driver -------------------------------------------------------------------

int CompileExpression(ExprCompiler* ctx) {
    if (cc_lexemes.depth >= kCompileDepthLimit) return ReportCompileError(ctx, 10409, ctx->text);
    const int depth = cc_lexemes.depth++;
    ctx->lexemes = cc_lexemes.arrays[depth];
    ctx->lexemeCapacity = cc_lexemes.capacities[depth];
    ctx->lexemeCount = -1;

    CompiledExpression* target = ctx->target;
    FreeExpression(target);

    int result = ParseExpression(ctx);
    if (!result) result = ConvertConditionalOperator(ctx);
    if (!result) PrepareFunctionArguments(ctx);
    if (!result) result = CheckOperandsAndOperators(ctx);
    if (!result) result = ConvertToPostfix(ctx);
    if (!result) result = FoldConstants(target);
    if (!result) result = CountStatefulTokens(ctx);

    --cc_lexemes.depth;
    cc_lexemes.arrays[depth] = ctx->lexemes;
    cc_lexemes.capacities[depth] = ctx->lexemeCapacity;
    if (ctx->lexemes) {
        for (int i = 0; i <= ctx->lexemeCapacity; ++i) ctx->lexemes[i].text.Clear();
    }
    ctx->lexemes = nullptr;
    ctx->lexemeCount = -1;
    return result;
}

namespace {

int32_t cc_RunAnalysisMask() {
    int kind = gSolver.AnalysisKind;
    if (gSolver.RealSolution && kind >= 0 && kind <= 3) return 1 << kind;
    return kMaskOutsideRun;
}

int32_t cc_CurrentKindBit() {
    int kind = gSolver.AnalysisKind;
    return kind >= 0 && kind <= 3 ? 1 << kind : 0;
}

}  // namespace

int CompileArgumentText(char* /*text*/, char** position, CompiledExpression* target, int32_t symbolMask,
                        CompiledExpression* indexNameOwner, char** copyOut, int32_t analysisExtra, bool keepNoState,
                        const ExprCompiler* outer) {
    FreeExpression(target);
    char* start = *position;
    char* stop = start;
    int depth = 0;
    for (; *stop; ++stop) {
        if (*stop == '(') {
            ++depth;
        } else if (*stop == ')') {
            if (--depth < 0) break;
        } else if (*stop == ',' && depth == 0) {
            break;
        }
    }
    char saved = *stop;
    *stop = 0;
    if (copyOut) {
        FreeString(copyOut);
        *copyOut = DuplicateString(start);
    }
    ExprCompiler c;
    c.Init(start, target, cc_RunAnalysisMask() | analysisExtra, symbolMask | kSymbolMaskAnalog);
    if (indexNameOwner) c.indexNameOwner = indexNameOwner;
    CompiledExpressionState noState = {nullptr, 0};
    if (keepNoState) {
        c.analysisMask |= kMaskNoState;
        c.state = &noState;
    }
    if (outer) {
        c.owner = outer->owner;
        c.scope = outer->scope;
        c.quiet = outer->quiet;
        c.openLimitsOnError = outer->openLimitsOnError;
        c.sourcePart = outer->sourcePart;
        c.referenceFlags = outer->referenceFlags;
        c.complexCurrents = outer->complexCurrents;
        c.setupPass = outer->setupPass;
        c.callerVarCount = outer->callerVarCount;
        c.callerVarNames = outer->callerVarNames;
        c.callerVarMasks = outer->callerVarMasks;
        c.callerVarSlots = outer->callerVarSlots;
    }
    int result = CompileExpression(&c);
    if (copyOut && !*copyOut && !result) result = ReportCompileErrorNoText(&c, kResultNoMemory);
    if (noState.tokenValues) MemFree(noState.tokenValues);
    *stop = saved;
    *position = stop;
    return result;
}

int CompileAndBindArgument(char* text, char** position, CompiledExpression* target, int32_t symbolMask,
                           CompiledExpression* indexNameOwner, char** copyOut, int32_t analysisExtra, bool keepNoState,
                           int binderCode, ExprCompiler* outer) {
    char* start = *position;
    char* argument = nullptr;
    int result = CompileArgumentText(text, position, target, symbolMask, indexNameOwner, &argument, analysisExtra,
                                     keepNoState, outer);
    if (!result) {
        char name[100] = "";
        int bound = PlotBinding().BindCurveReference(target, binderCode, name, sizeof name);
        const char* shown = argument ? argument : start;
        if (bound == 13781)
            result = ReportCompileError(outer, 13781, name, shown);
        else if (bound == 10435)
            result = ReportCompileError(outer, 10435, shown, outer && outer->text ? outer->text : shown);
        else if (bound)
            result = ReportCompileErrorNoText(outer, bound);
    }
    if (copyOut) {
        FreeString(copyOut);
        *copyOut = argument;
    } else {
        FreeString(&argument);
    }
    return result;
}

namespace {

int cc_CompileWholeText(CompiledExpression* target, const char* text, void* owner, int defineScope,
                        int32_t analysisMask, bool checkRunVariables) {
    ExprCompiler report;
    report.Init(text, nullptr, analysisMask, 0x840);
    report.owner = owner;
    char* copy = nullptr;
    if (ExpressionDefines().SubstituteDefines(text ? text : "", defineScope, &copy) || !copy) {
        FreeString(&copy);
        return ReportCompileErrorNoText(&report, kResultNoMemory);
    }
    NormalizeSigns(copy);
    ExprCompiler ctx;
    ctx.Init(copy, target, analysisMask, 0x840);
    ctx.owner = owner;
    int result = CompileExpression(&ctx);
    // The conditional rewrite leaves its two messages to the caller.
    if (result == 10440 || result == 10441) result = ReportCompileErrorNoText(&ctx, result);
    if (!result && checkRunVariables) {
        char name[100] = "";
        int check = 0;
        check = PlotBinding().CheckRunVariables(target, name, sizeof name);
        if (check == 13781) {
            result = ReportCompileError(&ctx, 13781, name, text ? text : "");
        } else if (check) {
            result = ReportCompileErrorNoText(&ctx, check);
        }
    }
    FreeString(&copy);
    return result;
}

}  // namespace

int CheckRunVariablesOfTokens(CompiledExpression* expr, char* textOut, size_t size) {
    for (ExprToken* t = expr ? expr->FirstToken() : nullptr; t; t = t->Next()) {
        bool reads = t->code == kOperandComplexNode;
        if (t->code == kOperandDouble) {
            double* p = t->operand.doublePtr;
            reads = p == &RunVars.time || p == &RunVars.temp || p == &RunVars.frequency ||
                    (gSolver.RealSolution && p >= gSolver.RealSolution && p < gSolver.RealSolution + gSolver.realCount);
        }
        if (reads) {
            if (textOut && size) CopyTextBounded(textOut, t->text.text() ? t->text.text() : "", size);
            return 13781;
        }
    }
    return 0;
}

int CompileExpressionText(CompiledExpression* target, const char* text, void* owner, int defineScope) {
    return cc_CompileWholeText(target, text, owner, defineScope, cc_CurrentKindBit() | kMaskWholeRun, true);
}

int CompileExpressionTextOutsideRun(CompiledExpression* target, const char* text, void* owner) {
    return cc_CompileWholeText(target, text, owner, -1, cc_CurrentKindBit() | kMaskOutsideRun, false);
}
