#include "compiler/support.h"

#include <cstring>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/initconds.h"
#include "compiler/nodeindex.h"
#include "compiler/quantities.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/warnings.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/ctdoc.h"
#include "document/parts.h"
#include "expr/compiled.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/services.h"
#include "expr/symbols.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "shell/mainframe.h"

SchematicObject* CurrentSetupPart = nullptr;
int QuietDefinitionErrors = 0;

namespace {

struct DotKeywordRow {
    const char* text;
    int length;
};
const DotKeywordRow cs_dotKeywords[kDotKeywordCount] = {
    {".INCLUDE", 8}, {".INC", 4},   {".PARAMETERS", 11},  {".DEFINE", 7},  {".IC", 3},      {".NODESET", 8},
    {".OPTIONS", 8}, {".OPT", 4},   {".SKIP_L_LOOP", 12}, {".MODEL", 6},   {".LIBRARY", 8}, {".LIB", 4},
    {".MACRO", 6},   {".PARAM", 6}, {".FUNC", 5},         {".LOADOP", 7},  {".TR", 3},      {".HELP", 5},
    {".TF", 3},      {".SENS", 5},  {".ARRAY", 6},        {".WARNING", 8}, {".PATH", 5},
};

int cs_Synonym(int index) {
    switch (index) {
    case kDotInclude: return kDotInc;
    case kDotOptions: return kDotOpt;
    case kDotLibrary: return kDotLib;
    case kDotParam: return kDotFunc;
    default: return -1;
    }
}

bool cs_KeywordEnds(char c) { return c == 0 || c == '(' || (c >= 9 && c <= 13) || c == ' '; }

int cs_MatchKeyword(const char* text, int index, bool exact) {
    while (text && index >= 0 && index < kDotKeywordCount) {
        const DotKeywordRow& row = cs_dotKeywords[index];
        const bool same =
            exact ? std::strncmp(text, row.text, row.length) == 0 : CompareNoCaseN(text, row.text, row.length) == 0;
        if (same && cs_KeywordEnds(text[row.length])) return row.length;
        index = cs_Synonym(index);
    }
    return 0;
}

// White space, and in statement mode also ";" comments and line ends followed
// by a "+" continuation or a "*" comment line.
const char* cs_SkipBlanks(const char* p, bool statementMode) { return SkipSpiceBlanks(p, statementMode); }

bool cs_IsJoinOperator(char c) { return c && std::strchr("&*+-/^|~!<=>", c) != nullptr; }

// Compiles and evaluates a text quietly. On failure the result is the code;
// with a message pending it stays pending (15060 or 15061).
int cs_Evaluate(const char* text, int analysisMask, double* value, bool* depends) {
    *value = 0;
    if (depends) *depends = false;
    if (!text) return kResultMissingParam;
    while (HasCharClass(*text, CC_SPACE)) ++text;
    if (!*text) return kResultMissingParam;
    int numberError = 0;
    double number = ParseNumber(text, &numberError);
    if (!numberError) {
        *value = number;
        return 0;
    }
    CompiledExpression expr;
    ExprCompiler ctx;
    ctx.Init(text, &expr, analysisMask ? analysisMask : kMaskOutsideRun, kSymbolMaskAnalog);
    ctx.quiet = 1;
    int rc = CompileExpression(&ctx);
    if (rc) return rc;
    ComplexNumber result{0, 0};
    rc = EvaluateExpression(&expr, &result, nullptr);
    if (rc) return rc;
    *value = result.re;
    if (depends) {
        for (ExprToken* t = expr.FirstToken(); t; t = t->Next()) {
            const int code = t->code;
            if (code == kOperandDouble || code == kOperandComplex || code == kOperandDevice || code == kOperandInt ||
                code == kOperandComplexNode || code == kOperandStateCell)
                *depends = true;
        }
    }
    return 0;
}

// The message id behind a failure code, the pending message cleared.
int cs_MessageIdOf(int code) {
    if (code == kResultPending || code == kResultPending2) {
        const int id = PendingCode();
        ClearPendingMessage();
        return id ? id : code;
    }
    return code;
}

char* cs_runLog = nullptr;

}  // namespace

// ---- dot keywords ---------------------------------------------------------------------------

const char* DotKeywordText(int index) {
    return index >= 0 && index < kDotKeywordCount ? cs_dotKeywords[index].text : "";
}

int MatchDotKeyword(const char* text, int index) { return cs_MatchKeyword(text, index, false); }
int MatchDotKeywordExact(const char* text, int index) { return cs_MatchKeyword(text, index, true); }

int KeywordIsAssigned(const char* text, const char* word) {
    if (!text || !word || !*word) return 0;
    const size_t n = std::strlen(word);
    for (const char* p = text; *p; ++p) {
        if (p != text && p[-1] != ' ') continue;
        if (CompareNoCaseN(p, word, n) != 0) continue;
        const char* q = p + n;
        while (*q == ' ') ++q;
        if (*q == '=') return 1;
    }
    return 0;
}

// ---- statement texts --------------------------------------------------------------------------

int ScanValueField(const char* text, int scope, char** out, bool joinOperators, bool normalise) {
    if (out) FreeString(out);
    if (!text) return 0;
    const char* p = cs_SkipBlanks(text, normalise);
    const char* fieldStart = p;
    if (!joinOperators && (*p == '+' || *p == '-')) ++p;
    const char* end = p;
    DefineTable* table = GetDefineTable(CurrentCircuitDocument());
    for (;;) {
        const char* roundStart = p;
        bool pending = false;
        bool call = false;
        if (*p == '(' || *p == '{') {
            const char open = *p, close = open == '(' ? ')' : '}';
            int depth = 0;
            for (; *p; ++p) {
                if (*p == open)
                    ++depth;
                else if (*p == close && --depth == 0) {
                    ++p;
                    break;
                }
            }
        } else {
            if (*p == '+' || *p == '-') {
                ++p;
                pending = true;
            }
            const bool numeric = HasCharClass(*p, CC_DIGIT) || *p == '.';
            if (numeric) {
                while (HasCharClass(*p, CC_DIGIT) || *p == '.') ++p;
                if (*p == 'E' || *p == 'e') {
                    ++p;
                    if (*p == '+' || *p == '-') ++p;
                }
                pending = false;
            }
            // The whole name is tested, however long: a long function define
            // still makes a call.
            const char* nameStart = p;
            while (HasCharClass(*p, CC_IDENT) || *p == '.') {
                ++p;
                pending = false;
            }
            if (!numeric && p > nameStart) {
                const std::string name(nameStart, p);
                call = IsFunctionSymbol(name.c_str()) || IsFunctionDefine(table, name.c_str(), name.size(), scope);
            }
        }
        end = p;
        p = cs_SkipBlanks(p, normalise);
        if (joinOperators && p > fieldStart && cs_IsJoinOperator(*p)) {
            ++p;
            pending = true;
            end = p;
            p = cs_SkipBlanks(p, normalise);
        }
        if (pending && p != roundStart) continue;
        if (call && *p == '(') continue;
        break;
    }
    const int length = static_cast<int>(end - text);
    if (out) {
        *out = DuplicatePrefix(text, length);
        if (*out && normalise) NormalizeStatementText(*out, static_cast<size_t>(length), false);
    }
    return length;
}

void NormalizeStatementText(char* text, size_t length, bool keepLines) {
    if (!text) return;
    bool lineStart = true;
    size_t i = 0;
    while (i < length && text[i]) {
        const char c = text[i];
        if (c == '\t' || c == ' ') {
            text[i++] = ' ';
            continue;
        }
        if (c == '\n') {
            lineStart = true;
            if (!keepLines) text[i] = ' ';
            ++i;
            while (i < length && (text[i] == ' ' || text[i] == '\t')) {
                if (!keepLines) text[i] = ' ';
                ++i;
            }
            if (i < length && text[i] == '+') {
                if (!keepLines) text[i] = ' ';
                lineStart = false;
                ++i;
            }
            continue;
        }
        if (c == '*' && lineStart) {
            while (i < length && text[i] && text[i] != '\n') text[i++] = ' ';
            continue;
        }
        lineStart = false;
        if (c == ';' && !keepLines && CompareNoCaseN(text + i, ";$TWE", 5) != 0) {
            while (i < length && text[i] && text[i] != '\n') text[i++] = ' ';
            continue;
        }
        ++i;
    }
}

char* ReplaceLineBreaks(char* text) {
    if (!text || IsSharedEmpty(text)) return text;
    for (char* p = text; *p; ++p)
        if (*p == '\r' || *p == '\n') *p = ' ';
    return text;
}

// ---- numeric fields ---------------------------------------------------------------------------

double EvaluateNumericText(const char* text, int* error, int analysisMask, bool* depends) {
    double value = 0;
    int rc = cs_Evaluate(text, analysisMask, &value, depends);
    if (error)
        *error = rc ? cs_MessageIdOf(rc) : 0;
    else if (rc)
        cs_MessageIdOf(rc);
    return rc ? 0 : value;
}

double EvaluateFieldValue(const char* text, int* status) {
    bool depends = false;
    double value = EvaluateNumericText(text, status, 0, &depends);
    if (depends) RunMessages().MarkVariablePartValues();
    return value;
}

int IsValidParameterText(const char* text) {
    int error = 0;
    EvaluateNumericText(text, &error, 0);
    return error == 0 ? 1 : 0;
}

int PartScope(const SchematicObject* part) { return part ? part->level : 1; }

double EvaluatePartAttribute(SchematicObject* part, int attributeId, int* status) {
    if (*status) return 0;
    int error = 0;
    DefineTable* table = GetDefineTable(CurrentCircuitDocument());
    char* text = SubstituteAttribute(table, part, attributeId, &error, true);
    double value = 0;
    bool depends = false;
    int rc = error ? error : cs_Evaluate(text, 0, &value, &depends);
    FreeString(&text);
    if (!rc) {
        if (depends) RunMessages().MarkVariablePartValues();
        return value;
    }
    if (rc != kResultShown) {
        std::string rows = "Attribute:\t";
        rows += GetAttributeName(attributeId);
        rows += "\n";
        SchematicObject* source = CurrentSetupPart ? CurrentSetupPart : part;
        ReportCompilerMessage(source, PartScope(source), rows.c_str(), rc, "", "");
    }
    *status = kResultShown;
    return 0;
}

// ---- compile arrays ---------------------------------------------------------------------------

const char* SkipBracketGroup(const char* text, char open, char close, bool* unclosed) {
    int depth = 0;
    do {
        if (*text == open) ++depth;
        if (*text == close) --depth;
        ++text;
    } while (*text && depth > 0);
    if (unclosed) *unclosed = depth > 0;
    return text;
}

void ClearCompileArrays(CCTDoc* document, int flags) {
    CMainFrame* frame = GetMainFrame();
    char previous[256] = {};
    if (frame) {
        frame->GetStatusText(previous, sizeof previous);
        if (const char* text = GetMessageText(17909)) frame->SetStatusText(text);
    }
    CircuitModels* models = document ? static_cast<CircuitModels*>(document->modelStatements) : nullptr;
    CompileSession* session = FindCompileSession(document);
    DefineTable* table = session ? &session->defines : nullptr;
    if ((flags & kClearModelStatements) && models) {
        models->ModelStatements.Clear();
        models->Notes.Clear();
    }
    if ((flags & kClearDefines) && table) table->Clear();
    if (flags & kClearJoinedText) {
        if (session) {
            session->parts.Clear();
            session->nodes.Clear();
        }
        if (models) ClearLibraryList(models, 0);
    }
    if ((flags & (kClearAddedParts | kClearAddedParts2)) && session && session->marksSet) {
        // The compiled circuit points at the parts: it goes first.
        ReleaseCompiledCircuit(document);
        PoolItem* part = session->partMark ? session->partMark->next : document->objects.first;
        if (part) document->objects.DeleteFrom(part);
        PoolItem* statement = session->statementMark ? session->statementMark->next : document->gridTexts.first;
        if (statement) document->gridTexts.DeleteFrom(statement);
        session->marksSet = false;
    }
    OtherCompileState().ReleaseCompileArrays(document, flags);
    if ((flags & kClearHierarchy) && table) table->ClearScopes();
    if (flags & kClearSearchPaths) ClearDotPaths();
    if (frame) frame->SetStatusText(previous);
}

void ReportCompileOutOfMemory() {
    ClearCompileArrays(CurrentCircuitDocument(), kClearJoinedText | kClearDefines);
    ReportCompilerMessage(nullptr, 1, nullptr, kResultNoMemory);
}

// ---- error places -------------------------------------------------------------------------------

SourceLocation& CompileErrorLocation() {
    static SourceLocation location;
    return location;
}

void ClearCompileErrorLocation() { CompileErrorLocation() = SourceLocation(); }

void RecordPartLocation(SchematicObject* part) {
    SourceLocation& location = CompileErrorLocation();
    if (!part || location.kind != 0) return;
    CCTDoc* document = CurrentCircuitDocument();
    // A part the compiler added (an interface part) is shown by its caller.
    if (part->page < 0) {
        DefineTable* table = GetDefineTable(document);
        CircuitScope* scope = GetScope(table, PartScope(part));
        if (scope && scope->instancePart) part = scope->instancePart;
        if (scope && scope->document) document = scope->document;
    }
    location.kind = kLocationObject;
    location.object = part;
    location.document = document;
    location.page = part->page;
    if (document)
        CopyTextBounded(location.path, document->PathName() ? document->PathName() : "", sizeof location.path);
}

void RecordStatementLocation(GridTextObject* statement) {
    SourceLocation& location = CompileErrorLocation();
    if (!statement || location.kind != 0) return;
    CCTDoc* document = CurrentCircuitDocument();
    location.kind = kLocationGridText;
    location.gridText = statement;
    location.document = document;
    location.page = statement->page;
    if (document)
        CopyTextBounded(location.path, document->PathName() ? document->PathName() : "", sizeof location.path);
}

void ShowErrorSource(int originKind, void* origin) {
    if (!origin || gSolver.AnalysisKind == -1) return;
    if (originKind == kOriginPart)
        RecordPartLocation(static_cast<SchematicObject*>(origin));
    else if (originKind == kOriginStatement)
        RecordStatementLocation(static_cast<GridTextObject*>(origin));
}

CDoc* OpenDocumentByPath(const char* path) {
    if (!path) return nullptr;
    const char* dot = std::strrchr(path, '.');
    const char* slash = std::strrchr(path, '/');
    if (dot && slash && dot < slash) dot = nullptr;
    int kind = 0;
    if (dot && (CompareNoCase(dot, ".cir") == 0 || CompareNoCase(dot, ".mac") == 0))
        kind = kDocCircuit;
    else if (dot)
        kind = kDocText;
    if (!kind) return nullptr;
    return HiddenDocuments().OpenDocument(path, kind);
}

// ---- messages ----------------------------------------------------------------------------------

int ReportCompilerMessageV(SchematicObject* part, int scope, const char* rows, int id, va_list args) {
    int shownId = id;
    // A run-time error number has no string-table text: the reporter words it
    // from the system's text and the file the pending text names.
    const bool systemError = id > kResultErrnoBase && id < kResultErrnoBase + kRunTimeErrorCount;
    if (id == kResultPending || id == kResultPending2) {
        shownId = PendingCode() ? PendingCode() : id;
    } else if (!systemError) {
        SetPendingMessageV(id, args);
    }
    RecordLastMessage(shownId, PendingText());
    if (QuietDefinitionErrors) return kResultPending;
    MessageRequest request = Message(systemError ? id : kResultPending).Source(scope).Context(rows ? rows : "");
    if (part) request.Component(part);
    Reporter().Report(request);
    ClearPendingMessage();
    return kResultShown;
}

int ReportCompilerMessage(SchematicObject* part, int scope, const char* rows, int id, ...) {
    va_list args;
    va_start(args, id);
    int rc = ReportCompilerMessageV(part, scope, rows, id, args);
    va_end(args);
    return rc;
}

// ---- run messages ------------------------------------------------------------------------------

void WriteRunMessage(int flags, const char* format, ...) {
    // Formatted into a growing text: a long message (a long node or part list)
    // is never cut or written past a buffer.
    char* text = nullptr;
    va_list args;
    va_start(args, format);
    FormatStringV(&text, format, args);
    va_end(args);
    if (!text) return;
    const bool silenced = RunMessages().RunMessagesSilenced();
    if (!silenced) {
        if (flags & kRunMessageLog) {
            AppendString(&cs_runLog, "    ");
            AppendString(&cs_runLog, text);
            AppendString(&cs_runLog, "\r\n");
        }
        if (flags & kRunMessageNumeric) RunMessages().WriteNumericOutput(text);
    }
    if (flags & kRunMessageStatus) RunMessages().ShowRunStatus(text);
    FreeString(&text);
}

void ClearRunLog() { FreeString(&cs_runLog); }
const char* RunMessageLog() { return cs_runLog ? cs_runLog : ""; }

void AppendRunLogToInfoPage(CCTDoc* document) {
    if (!document) return;
    const double runTime = RunMessages().RunTime();
    if (runTime == 0) return;
    const int kind = gSolver.AnalysisKind;
    const char* title = kind >= 0 && kind <= 3 ? GetMessageText(13984 + kind) : nullptr;
    char* text = nullptr;
    FormatString(&text, "\r\n%s %g\r\n", title ? title : "", runTime);
    if (!text) return;
    AppendString(&text, RunMessageLog());
    CircuitInfoPages().AppendToInfoPage(document, text);
    FreeString(&text);
}

char* GetGlobalIncludePath(char* buffer, size_t size) {
    char path[kPathNameSize];
    MakeProgramPath(path, "TARN.INC");
    return CopyTextBounded(buffer, path, size);
}

int ApplyInitialConditionStatements(CCTDoc* document) {
    if (!document || !InitialConditions().Active()) return 0;
    DefineTable* table = GetDefineTable(document);
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        GridTextObject* statement = static_cast<GridTextObject*>(item);
        const char* text = statement->text;
        if (!text) continue;
        while (*text == ' ' || *text == '\t') ++text;
        if (!MatchDotKeyword(text, kDotNodeset) && !MatchDotKeyword(text, kDotIc)) continue;
        char* substituted = nullptr;
        int rc = SubstituteDefines(table, &substituted, 1, text, 0, kMarkersToParentheses);
        if (!rc) rc = InitialConditions().Read(document, substituted, 2, 1);
        FreeString(&substituted);
        if (rc) {
            if (rc != kResultShown && rc != kResultPending) {
                ShowErrorSource(kOriginStatement, statement);
                ReportCompilerMessage(nullptr, 1, nullptr, rc, "", "");
            }
            return kResultShown;
        }
    }
    return 0;
}

// ---- services ----------------------------------------------------------------------------------

namespace {

class NoRunOutput final : public RunOutput {
public:
    bool RunMessagesSilenced() override { return false; }
    void WriteNumericOutput(const char*) override {}
    void ShowRunStatus(const char*) override {}
    double RunTime() override { return 0; }
    void MarkVariablePartValues() override {}
};

class NoInfoPages final : public InfoPages {
public:
    bool AppendToInfoPage(CCTDoc*, const char*) override { return false; }
};

class NoInitialConditions final : public InitialConditionStore {
public:
    bool Active() const override { return false; }
    int Read(CCTDoc*, const char*, int, int) override { return 0; }
};

class NoOtherCompileState final : public CompileStateOwners {
public:
    void ReleaseCompileArrays(CCTDoc*, int) override {}
};

class NoHiddenDocumentOpener final : public HiddenDocumentOpener {
public:
    CDoc* OpenDocument(const char*, int) override { return nullptr; }
};

class NoRenameQuestion final : public RenameQuestion {
public:
    bool CanAsk() const override { return false; }
    bool AskRenameParts(const char*) override { return false; }
    void RenameParts(CCTDoc*) override {}
};

PortSlot<RunOutput, NoRunOutput> cs_runOutput;
PortSlot<InfoPages, NoInfoPages> cs_infoPages;
PortSlot<InitialConditionStore, NoInitialConditions> cs_initialConditions;
PortSlot<CompileStateOwners, NoOtherCompileState> cs_otherCompileState;
PortSlot<HiddenDocumentOpener, NoHiddenDocumentOpener> cs_documentOpener;
PortSlot<RenameQuestion, NoRenameQuestion> cs_renameQuestion;

}  // namespace

RunOutput& RunMessages() { return cs_runOutput.Get(); }
RunOutput* InstallRunOutput(RunOutput* port) { return cs_runOutput.Install(port); }
InfoPages& CircuitInfoPages() { return cs_infoPages.Get(); }
InfoPages* InstallInfoPages(InfoPages* port) { return cs_infoPages.Install(port); }
InitialConditionStore& InitialConditions() { return cs_initialConditions.Get(); }
InitialConditionStore* InstallInitialConditions(InitialConditionStore* port) {
    return cs_initialConditions.Install(port);
}
CompileStateOwners& OtherCompileState() { return cs_otherCompileState.Get(); }
CompileStateOwners* InstallCompileStateOwners(CompileStateOwners* port) { return cs_otherCompileState.Install(port); }
HiddenDocumentOpener& HiddenDocuments() { return cs_documentOpener.Get(); }
HiddenDocumentOpener* InstallHiddenDocumentOpener(HiddenDocumentOpener* port) {
    return cs_documentOpener.Install(port);
}
RenameQuestion& RenamePartsQuestion() { return cs_renameQuestion.Get(); }
RenameQuestion* InstallRenameQuestion(RenameQuestion* port) { return cs_renameQuestion.Install(port); }

namespace {

int cs_SubstituteForExpressions(const char* text, int scope, char** out) {
    *out = nullptr;
    DefineTable* table = GetDefineTable(CurrentCircuitDocument());
    if (!table) {
        *out = DuplicateString(text ? text : "");
        return *out ? 0 : kResultNoMemory;
    }
    int rc = SubstituteDefines(table, out, scope < 0 ? 1 : scope, text, 0, kMarkersToParentheses);
    if (rc == kResultShown && !*out) return kResultNoMemory;
    return rc;
}

double cs_EvaluateAttributeNumber(SchematicObject* component, int id, int* error) {
    int status = 0;
    double value = EvaluatePartAttribute(component, id, &status);
    if (error) *error = status;
    return value;
}

int cs_IsInvalidName(const char* text, int flags) { return IsInvalidName(text, (flags & 8) ? kCheckAllowDot : 0); }

int cs_ModelSubstitute(CCTDoc* document, const char* text, int scope, char** out) {
    *out = nullptr;
    DefineTable* table = GetDefineTable(document);
    if (!table) {
        *out = DuplicateString(text ? text : "");
        return *out ? 0 : kResultNoMemory;
    }
    int rc = SubstituteDefines(table, out, scope, text, 0, kMarkersToParentheses);
    if (rc && !*out) return kResultShown;
    if (rc) FreeString(out);
    return rc;
}

char* cs_ModelQualifyName(CCTDoc* document, const char* name, int scope) {
    return QualifyName(GetDefineTable(document), name, scope);
}

int cs_ModelEnclosingScope(CCTDoc* document, int scope) {
    CircuitScope* record = GetScope(GetDefineTable(document), scope);
    return record && scope >= 2 && record->parent >= 1 ? record->parent : 1;
}

bool cs_ModelIsFunctionDefine(CCTDoc* document, const char* name, int scope) {
    return name && IsFunctionDefine(GetDefineTable(document), name, std::strlen(name), scope);
}

// The define tables and scopes of the circuits, for the expression compiler
// (the current circuit) and the model layer (the statement's circuit).
class CompilerDefinesForLowerLayers final : public ExprDefineSubstitution, public ModelCircuitScopes {
public:
    int SubstituteDefines(const char* text, int scope, char** out) override {
        return cs_SubstituteForExpressions(text, scope, out);
    }
    int SubstituteDefines(CCTDoc* document, const char* text, int scope, char** out) override {
        return cs_ModelSubstitute(document, text, scope, out);
    }
    char* QualifyName(CCTDoc* document, const char* name, int scope) override {
        return cs_ModelQualifyName(document, name, scope);
    }
    int EnclosingScope(CCTDoc* document, int scope) override { return cs_ModelEnclosingScope(document, scope); }
    bool IsFunctionDefine(CCTDoc* document, const char* name, int scope) override {
        return cs_ModelIsFunctionDefine(document, name, scope);
    }
};

CompilerDefinesForLowerLayers cs_definesForLowerLayers;

// Memory ran out while the model layer read statements: the compile arrays go
// so the user can go on (the model layer reports).
class cs_ModelCompileMemory final : public ModelCompileMemory {
public:
    void ReleaseCompileMemory() override {
        ClearCompileArrays(CurrentCircuitDocument(), kClearJoinedText | kClearDefines);
    }
};

}  // namespace

namespace {
void cs_ReleaseModelStatements(CCTDoc* document) {
    DestroyCircuitModels(static_cast<CircuitModels*>(document->modelStatements));
    document->modelStatements = nullptr;
}

// What documents ask of the compiler: attribute values, the rule for names,
// and releasing what the compiler hangs on a document.
class cs_DocumentServices final : public AttributeEvaluator, public NameRulesPort, public CompiledStatePort {
public:
    double EvaluateAttributeNumber(SchematicObject* component, int id, int* error) override {
        return cs_EvaluateAttributeNumber(component, id, error);
    }
    bool IsValidName(const char* text) override { return cs_IsInvalidName(text, 0) == 0; }
    void ReleaseDefineTable(CCTDoc* document) override { ::ReleaseDefineTable(document); }
    void ReleaseModelStatements(CCTDoc* document) override { cs_ReleaseModelStatements(document); }
};
}  // namespace

void InstallCompilerServices() {
    InstallLibraryStatementReader(&CompilerLibraryStatementReader());
    InstallExpressionDefines(&cs_definesForLowerLayers);
    InstallCircuitScopes(&cs_definesForLowerLayers);
    static cs_ModelCompileMemory compileMemory;
    InstallCompileMemory(&compileMemory);
    // Made once and kept: documents may still go away while statics are destroyed.
    static cs_DocumentServices* const documentServices = new cs_DocumentServices();
    InstallAttributeEvaluator(documentServices);
    InstallNameRules(documentServices);
    InstallCompiledState(documentServices);
    BuildNameIndexAlphabets();
    RegisterCompilerDeviceRecords();
    InstallCompileCircuit(&CompiledCircuitExpressions());
    InstallInitialConditionStore();
    InstallCompiledNodeNames();
    InstallWarningSection();
}
