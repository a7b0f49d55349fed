#include "models/modelstmt.h"

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>

#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/services.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"
#include "expr/complex.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "models/lookup.h"

int AttributeDialogOpen = 0;
int AttributeDialogCompiling = 0;
int AttributeDialogResolvingModel = 0;
int LibraryTextMode = 0;

namespace {

// Message ids of this file.
enum : int {
    kMsMsgReservedName = 10889,
    kMsMsgDuplicateDefinition = 10896,
    kMsMsgPulseOrder = 11851,
    kMsMsgIllegalUse = 11852,
    kMsMsgTemperatureParams = 11854,
    kMsMsgIllegalModelType = 11855,
    kMsMsgGasfetVmax = 11856,
    kMsMsgRecursiveAko = 11857,
    kMsMsgMissingAko = 11858,
    kMsMsgNameAndType = 11859,
    kMsMsgBadValue = 11861,
    kMsMsgTrackingRange = 11863,
    kMsMsgExpecting = 11900,
    kMsMsgExpectingAfter = 11901,
    kMsMsgExtraText = 11903,
};

// A parameter token keeps at most this many characters; a longer one is refused.
constexpr size_t kMsTokenMax = 111;
// A define that keeps changing its own expansion would rescan one token forever.
constexpr int kMsMaxRescans = 100;

// The netlist's blank skipper: in statement mode comments and "+" continuation
// marks too, else white space only.
const char* ms_SkipBlanks(const char* p, bool statementMode) { return SkipSpiceBlanks(p, statementMode); }

bool ms_IsOperatorChar(char c) { return c && std::strchr("&*+-/^|~!<=>", c) != nullptr; }

// The operators spelt as words. A model may have such a name (SPICE3 decks
// call models MOD or OR): a model name is never read as an operand, so the
// word cannot be mistaken there.
bool ms_IsOperatorWord(const char* name) {
    for (const char* word : {"AND", "NAND", "OR", "NOR", "XOR", "NOT", "DIV", "MOD"})
        if (CompareNoCase(name, word) == 0) return true;
    return false;
}

bool ms_IsFunctionName(CCTDoc* document, const char* name, int scope) {
    if (!*name) return false;
    if (IsReservedSymbol(name, true) && !IsReservedSymbol(name, false)) return true;
    return CircuitScopes().IsFunctionDefine(document, name, scope);
}

// The length of the value field at `text` (leading blanks included, up to the
// end of its last operand): bracket groups, numbers with suffixes, names,
// function calls, and operands joined by operators. Blanks after the field are
// not part of it, so a continuation mark on the next line never joins a value.
size_t ms_ScanValueField(CCTDoc* document, const char* text, int scope, bool statementMode) {
    const char* p = ms_SkipBlanks(text, statementMode);
    const char* fieldStart = p;
    const char* fieldEnd = p;
    for (;;) {
        const char* roundStart = p;
        bool pendingJoin = false;
        bool isCall = false;
        if (*p == '(' || *p == '{') {
            char open = *p, close = open == '(' ? ')' : '}';
            int depth = 0;
            while (*p) {
                if (*p == open)
                    ++depth;
                else if (*p == close && --depth == 0) {
                    ++p;
                    break;
                }
                ++p;
            }
        } else {
            if (*p == '+' || *p == '-') {
                ++p;
                pendingJoin = true;
            }
            bool numeric = HasCharClass(*p, CC_DIGIT) || *p == '.';
            if (numeric) {
                while (HasCharClass(*p, CC_DIGIT) || *p == '.') ++p;
                if (*p == 'E' || *p == 'e') {
                    ++p;
                    if (*p == '+' || *p == '-') ++p;
                }
                pendingJoin = false;
            }
            char name[100];
            size_t n = 0;
            while (HasCharClass(*p, CC_IDENT) || *p == '.') {
                if (n < sizeof name - 1) name[n++] = *p;
                ++p;
                pendingJoin = false;
            }
            name[n] = 0;
            if (!numeric) isCall = ms_IsFunctionName(document, name, scope);
        }
        if (p > fieldEnd) fieldEnd = p;
        p = ms_SkipBlanks(p, statementMode);
        if (p > fieldStart && ms_IsOperatorChar(*p)) {
            ++p;
            fieldEnd = p;
            pendingJoin = true;
            p = ms_SkipBlanks(p, statementMode);
        }
        if (!((pendingJoin && p != roundStart) || (isCall && *p == '('))) break;
        if (!*p) break;
    }
    return static_cast<size_t>(fieldEnd - text);
}

// "Label:\ttext\n" lines for the message box.
void ms_AddContext(std::string& lines, const char* label, const char* text) {
    lines += label;
    lines += '\t';
    lines += text ? text : "";
    lines += '\n';
}

int ms_OutOfMemory(CircuitModels* models) {
    CompileMemory().ReleaseCompileMemory();
    SetPendingMessage(kResultNoMemory);
    return ReportStatementMessage(models, 1, nullptr, nullptr, kResultNoMemory);
}

// The label of a statement in messages: ".model NAME KEYWORD(...)".
std::string ms_Label(const ModelStatement* st) {
    const ModelTypeInfo* info = GetModelTypeInfo(st->Type);
    std::string label = ".model ";
    label += st->Name ? st->Name : "";
    label += ' ';
    label += st->IsSW ? "SW" : info ? info->Keyword : "PWL";
    label += "(...)";
    return label;
}

int ms_ReportForStatement(CircuitModels* models, int row, const char* statementText, const std::string& context,
                          int code) {
    ModelStatement* st = models->ModelStatements.At(row);
    std::string label;
    if (st) {
        if (!statementText) {
            label = ms_Label(st);
            statementText = label.c_str();
        }
    }
    return ReportStatementMessage(models, st ? st->Scope : 1, statementText, context.c_str(), code);
}

void ms_DestroyRecord(PoolItem* item) { static_cast<ModelRecord*>(item)->Release(); }

char* ms_Duplicate(const char* text) { return text && *text ? DuplicateString(text) : nullptr; }

}  // namespace

// ---- services ------------------------------------------------------------------------------------

namespace {

// A circuit without defines whose subcircuit scopes all lie in the top level.
class NoCircuitScopes final : public ModelCircuitScopes {
public:
    int SubstituteDefines(CCTDoc*, const char* text, int, char** out) override {
        *out = DuplicateString(text ? text : "");
        return *out ? 0 : kResultNoMemory;
    }
    char* QualifyName(CCTDoc*, const char* name, int scope) override {
        if (scope != 0) return DuplicateString(name ? name : "");
        std::string qualified = "'TARNINC'.";
        qualified += name ? name : "";
        return DuplicateString(qualified.c_str());
    }
    int EnclosingScope(CCTDoc*, int) override { return 1; }
    bool IsFunctionDefine(CCTDoc*, const char*, int) override { return false; }
};

class NoModelRuns final : public ModelRunServices {
public:
    bool SensitivityRequested(CCTDoc*) override { return false; }
    void OfferToRunModules(CCTDoc*, ModelRecord*) override {}
    int CheckModelLimits(CCTDoc*, ModelRecord*, int) override { return 0; }
    void MarkVariableModelValues() override {}
};

PortSlot<ModelCircuitScopes, NoCircuitScopes> ms_scopes;
PortSlot<ModelRunServices, NoModelRuns> ms_runs;

}  // namespace

ModelCircuitScopes& CircuitScopes() { return ms_scopes.Get(); }

ModelCircuitScopes* InstallCircuitScopes(ModelCircuitScopes* port) { return ms_scopes.Install(port); }

ModelRunServices& ModelRuns() { return ms_runs.Get(); }

ModelRunServices* InstallModelRuns(ModelRunServices* port) { return ms_runs.Install(port); }

namespace {

class ms_NoCompileMemory final : public ModelCompileMemory {
public:
    void ReleaseCompileMemory() override {}
};

ms_NoCompileMemory ms_noCompileMemory;
ModelCompileMemory* ms_compileMemory = nullptr;

}  // namespace

ModelCompileMemory& CompileMemory() { return ms_compileMemory ? *ms_compileMemory : ms_noCompileMemory; }

void InstallCompileMemory(ModelCompileMemory* port) { ms_compileMemory = port; }

int EvaluateModelValueText(const char* text, double* value, bool* depends) {
    if (depends) *depends = false;
    *value = 0;
    while (HasCharClass(*text, CC_SPACE)) ++text;
    if (!*text) return kMsMsgBadValue;
    int error = 0;
    double number = ParseNumber(text, &error);
    if (!error) {
        *value = number;
        return 0;
    }
    if (HasParameterEvaluator()) {
        unsigned dependsOn[2] = {0, 0};
        int rc = ParameterEvaluator().Evaluate(text, value, dependsOn);
        if (depends) *depends = (dependsOn[0] | dependsOn[1]) != 0;
        return rc;
    }
    // Without the application's evaluator: a constant expression, braces allowed.
    std::string body = text;
    while (!body.empty() && HasCharClass(body.back(), CC_SPACE)) body.pop_back();
    if (body.size() >= 2 && body.front() == '{' && body.back() == '}') body = body.substr(1, body.size() - 2);
    CompiledExpression expr;
    ExprCompiler ctx;
    ctx.Init(body.c_str(), &expr, kMaskOutsideRun, kSymbolMaskAnalog);
    ctx.quiet = 1;
    int rc = CompileExpression(&ctx);
    if (rc) {
        ClearPendingMessage();
        return rc;
    }
    ComplexNumber result{0, 0};
    rc = EvaluateExpression(&expr, &result, nullptr);
    if (rc) {
        ClearPendingMessage();
        return rc;
    }
    *value = result.re;
    return 0;
}

int ReportStatementMessage(CircuitModels* models, int scope, const char* statementText, const char* contextLines,
                           int code) {
    int shown = code;
    if (PendingCode() != 0) {
        shown = kResultPending;
    } else {
        // A message text without arguments is made pending here; any other
        // code (a file error naming the pending text) is shown as it is.
        const char* text = GetMessageText(code);
        if (text && !std::strchr(text + (text[0] == '%' ? 2 : 0), '%')) {
            SetPendingMessage(code);
            shown = kResultPending;
        }
    }
    RecordLastMessage(PendingCode() ? PendingCode() : code, shown == kResultPending ? PendingText() : "");
    MessageRequest request =
        Message(shown).Source(scope).Statement(statementText).Context(contextLines ? contextLines : "");
    if (models && models->Document) request.Document(models->Document);
    Reporter().Report(request);
    if (shown == kResultPending) ClearPendingMessage();
    return kResultShown;
}

// ---- tolerances ----------------------------------------------------------------------------------

void ToleranceSpec::Init() {
    Lot = 0;
    Dev = -1;
    LotIndex = kNoTrackingIndex;
    DevIndex = kNoTrackingIndex;
    LotDist = kDistDefault;
    DevDist = kDistDefault;
}

int ToleranceSpec::Set(double nominal, const char* valueText, bool lot, const char* digits, int distribution) {
    std::string text = valueText ? valueText : "";
    while (!text.empty() && HasCharClass(text.back(), CC_SPACE)) text.pop_back();
    bool percent = !text.empty() && text.back() == '%';
    if (percent) text.pop_back();
    double value = 0;
    int rc = EvaluateModelValueText(text.c_str(), &value, nullptr);
    if (rc) return rc;
    double deviation = value;
    if (percent) deviation = value == 0 ? 0 : value * 0.01 * nominal;
    int index = kNoTrackingIndex;
    if (digits && *digits) {
        // Up to ten digits are collected; compare before narrowing.
        long long n = std::strtoll(digits, nullptr, 10);
        if (n < 0 || n > 9) return kMsMsgTrackingRange;
        index = static_cast<int>(n);
    }
    if (lot) {
        Lot = deviation;
        LotIndex = static_cast<uint8_t>(index);
        LotDist = static_cast<uint8_t>(distribution);
    } else {
        Dev = std::fabs(deviation);
        DevIndex = static_cast<uint8_t>(index);
        DevDist = static_cast<uint8_t>(distribution);
    }
    return 0;
}

bool ParseToleranceKeyword(const char* token, ToleranceKeyword* out) {
    if (!token) return false;
    bool lot = CompareNoCaseN(token, "LOT", 3) == 0;
    if (!lot && CompareNoCaseN(token, "DEV", 3) != 0) return false;
    out->isLot = lot;
    out->digits[0] = 0;
    out->distribution = kDistDefault;
    const char* p = token + 3;
    if (*p == '/') {
        ++p;
        size_t n = 0;
        while (HasCharClass(*p, CC_DIGIT) && n < 10) out->digits[n++] = *p++;
        out->digits[n] = 0;
        if (*p == '/') ++p;
        static const char* const kNames[] = {"GAUSS", "UNIFORM", "WCASE"};
        for (int i = 0; i < 3; ++i) {
            if (CompareNoCase(p, kNames[i]) == 0) {
                out->distribution = i + 1;
                p += std::strlen(p);
                break;
            }
        }
    }
    while (HasCharClass(*p, CC_SPACE)) ++p;
    out->rest = p;
    return true;
}

// ---- statements ----------------------------------------------------------------------------------

void ModelStatement::Free() {
    FreeString(&Name);
    FreeString(&ParamText);
    FreeString(&ExtraText);
    FreeString(&SourceFile);
    FreeString(&AkoName);
    FreeString(&Memo);
}

void ModelStatementList::Clear() {
    for (int i = 0; i < Count; ++i) Entries[i].Free();
    MemFree(Entries);
    Entries = nullptr;
    Count = 0;
    Capacity = 0;
}

int ModelStatementList::Append() {
    if (Count >= Capacity) {
        int capacity = Capacity ? Capacity * 2 : 64;
        void* block = Entries;
        if (!ResizeZeroed(&block, sizeof(ModelStatement) * static_cast<size_t>(capacity),
                          sizeof(ModelStatement) * static_cast<size_t>(Capacity)))
            return -1;
        Entries = static_cast<ModelStatement*>(block);
        Capacity = capacity;
    }
    std::memset(&Entries[Count], 0, sizeof(ModelStatement));
    return Count++;
}

int ModelStatementList::FindStatement(int type, int scope, const char* name) const {
    if (!name) return -1;
    for (int i = 0; i < Count; ++i) {
        const ModelStatement& st = Entries[i];
        if (st.Scope == scope && st.Type == type && st.Name && std::strcmp(st.Name, name) == 0) return i;
    }
    return -1;
}

const char* SplitModelText(const char* text, ModelTextParts* parts) {
    parts->name[0] = parts->akoName[0] = parts->typeWord[0] = 0;
    const char* p = text;
    while (HasCharClass(*p, CC_SPACE)) ++p;
    // Each field keeps at most 89 characters; the rest of its run is skipped.
    size_t n = 0;
    for (const char* first = p; HasCharClass(*p, CC_NAME) || (p > first && *p == '.'); ++p)
        if (n < sizeof parts->name - 1) parts->name[n++] = UpperChar(*p);
    parts->name[n] = 0;
    while (HasCharClass(*p, CC_SPACE)) ++p;
    if (CompareNoCaseN(p, "AKO", 3) == 0) {
        const char* q = p + 3;
        while (HasCharClass(*q, CC_SPACE)) ++q;
        if (*q == ':') {
            ++q;
            while (HasCharClass(*q, CC_SPACE)) ++q;
            n = 0;
            for (const char* first = q; HasCharClass(*q, CC_NAME) || (q > first && *q == '.'); ++q)
                if (n < sizeof parts->akoName - 1) parts->akoName[n++] = *q;
            parts->akoName[n] = 0;
            p = q;
            while (HasCharClass(*p, CC_SPACE)) ++p;
        }
    }
    n = 0;
    while (*p && !HasCharClass(*p, CC_SPACE) && *p != '(') {
        if (n < sizeof parts->typeWord - 1) parts->typeWord[n++] = UpperChar(*p);
        ++p;
    }
    parts->typeWord[n] = 0;
    while (HasCharClass(*p, CC_SPACE) && *p != '\n') ++p;
    return p;
}

CircuitModels* CreateCircuitModels(CCTDoc* document) {
    void* block = MemAlloc(sizeof(CircuitModels));
    if (!block) return nullptr;
    auto* models = new (block) CircuitModels();
    models->Document = document;
    models->ModelStatements.Document = document;
    for (ObjectPool& pool : models->ModelPools) {
        pool.Init();
        pool.itemSize = sizeof(ModelRecord);
        pool.ReleasesWith<&ms_DestroyRecord>();
    }
    return models;
}

void ClearModelPools(CircuitModels* models) {
    if (!models) return;
    // Private copies share their template's arrays: release them first.
    for (ObjectPool& pool : models->ModelPools) {
        for (PoolItem* item = pool.first; item;) {
            auto* record = static_cast<ModelRecord*>(item);
            item = record->Template ? pool.Delete(record) : record->next;
        }
    }
    for (ObjectPool& pool : models->ModelPools) pool.DeleteAll();
}

void DestroyCircuitModels(CircuitModels* models) {
    if (!models) return;
    ClearModelPools(models);
    models->ModelStatements.Clear();
    ClearLibraryList(models, 0);
    ClearLibraryList(models, 1);
    models->~CircuitModels();
    MemFree(models);
}

int ParseModelStatement(CircuitModels* models, const char* text, const StatementSource& source, int fromInclude,
                        const char* sourceFile) {
    if (!models || !text) return 0;
    const char* start = text;
    while (HasCharClass(*start, CC_SPACE)) ++start;
    if (CompareNoCaseN(start, ".MODEL", 6) != 0) return 0;
    char next = start[6];
    if (next && !(next == ' ' || (next >= 9 && next <= 13) || next == '(')) return 0;

    bool statementMode =
        source.SourceKind == kSourceTextLine || (source.SourceKind == kSourceObject && source.SourceAux == -1);
    char* copy = DuplicateString(start + 6);
    if (!copy) return ms_OutOfMemory(models);
    if (!AttributeDialogCompiling)
        for (char* c = copy; *c; ++c) *c = UpperChar(*c);
    if ((LibraryTextMode && source.SourceKind == kSourceObject) || (AttributeDialogCompiling && !LibraryTextMode))
        for (char* c = copy; *c; ++c)
            if (*c == '\r' || *c == '\n') *c = ' ';

    ModelStatementList& list = models->ModelStatements;
    int row = list.Append();
    if (row < 0) {
        MemFree(copy);
        return ms_OutOfMemory(models);
    }
    ModelStatement* st = &list.Entries[row];
    st->SourceKind = source.SourceKind;
    st->Scope = source.Scope;
    st->SourceRef = source.SourceRef;
    st->SourceAux = source.SourceAux;
    st->FromInclude = fromInclude;
    st->AkoRow = -1;
    st->SourceFile = DuplicateString(sourceFile ? sourceFile : "");

    int rc = 0;
    std::string context;
    const char* argument = nullptr;
    ModelTextParts parts;
    const char* rest = SplitModelText(copy, &parts);
    int type = -1;
    if (!st->SourceFile) {
        rc = kResultNoMemory;
    } else if (!parts.name[0] || !parts.typeWord[0]) {
        rc = kMsMsgNameAndType;
    } else if (IsReservedSymbol(parts.name, false) && !ms_IsOperatorWord(parts.name)) {
        rc = kMsMsgReservedName;
        argument = parts.name;
    } else if ((type = FindModelTypeByName(parts.typeWord)) < 0) {
        rc = kMsMsgIllegalModelType;
        argument = parts.typeWord;
    } else if (list.FindStatement(type, source.Scope, parts.name) >= 0) {
        rc = kMsMsgDuplicateDefinition;
        ms_AddContext(context, "Model:", parts.name);
    }

    char* paramText = nullptr;
    if (!rc) {
        st->IsSW = std::strcmp(parts.typeWord, "SW") == 0;
        const char* p = ms_SkipBlanks(rest, statementMode);
        bool parenthesised = *p == '(';
        if (parenthesised) ++p;
        paramText = DuplicateString(p);
        if (!paramText) {
            rc = kResultNoMemory;
        } else {
            int depth = 0;
            bool inQuotes = false;
            for (char* c = paramText; *c; ++c) {
                if (*c == '"') inQuotes = !inQuotes;
                if (inQuotes) continue;
                if (*c == '(') {
                    ++depth;
                } else if (*c == ')') {
                    if (depth == 0 && parenthesised) {
                        *c = ' ';
                        parenthesised = false;
                    } else if (depth > 0) {
                        --depth;
                    }
                } else if (*c == ',' && depth == 0 && type != kModelPwl) {
                    *c = ' ';
                }
            }
            if (parenthesised) {
                rc = kMsMsgExpecting;
                argument = ")";
            }
        }
    }
    if (!rc) {
        st->Type = type;
        st->Name = DuplicateString(parts.name);
        st->AkoName = ms_Duplicate(parts.akoName);
        st->ParamText = paramText;
        paramText = nullptr;
        if (!st->Name || (parts.akoName[0] && !st->AkoName))
            rc = kResultNoMemory;
        else if (type == kModelNmos || type == kModelPmos)
            st->LevelType = LevelTypeFromText(st->ParamText, type);
    }
    MemFree(paramText);
    if (rc) {
        if (rc == kResultNoMemory) {
            rc = ms_OutOfMemory(models);
        } else {
            if (argument)
                SetPendingMessage(rc, argument);
            else
                SetPendingMessage(rc);
            rc = ReportStatementMessage(models, source.Scope, text, context.c_str(), rc);
        }
        list.Entries[row].Free();
        list.Count = row;
    }
    MemFree(copy);
    return rc;
}

// ---- model records -------------------------------------------------------------------------------

void FreeModelTextValues(double* values, int count, int type) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    if (!values || !info) return;
    int n = count < info->ParamCount ? count : info->ParamCount;
    for (int i = 0; i < n; ++i) {
        if (info->Params[i].Kind != kParamText) continue;
        char* text = const_cast<char*>(ModelSlotText(&values[i]));
        if (text) MemFree(text);
        SetModelSlotText(&values[i], nullptr);
    }
}

int CopyModelValues(double* destination, const double* source, int count, int type) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    int params = info ? info->ParamCount : 0;
    int rc = 0;
    for (int i = 0; i < count; ++i) {
        if (i < params && info->Params[i].Kind == kParamText) {
            char* old = const_cast<char*>(ModelSlotText(&destination[i]));
            const char* text = ModelSlotText(&source[i]);
            char* copy = nullptr;
            if (text && *text && !(copy = DuplicateString(text))) rc = kResultNoMemory;
            if (old) MemFree(old);
            SetModelSlotText(&destination[i], copy);
        } else {
            std::memcpy(&destination[i], &source[i], sizeof(double));
        }
    }
    return rc;
}

int ModelRecord::AllocateValues(int type) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    if (!info) return kResultNoMemory;
    ModelType = type;
    size_t count = static_cast<size_t>(info->ValueCount > 0 ? info->ValueCount : 1);
    Values = static_cast<double*>(MemAllocZero(sizeof(double) * count));
    Given = static_cast<uint8_t*>(MemAllocZero(count));
    return Values && Given ? 0 : kResultNoMemory;
}

int ModelRecord::SetDefaultValues(int type, bool tableDefaults) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    if (!info || !Values) return 0;
    int rc = 0;
    for (int i = 0; i < info->ParamCount; ++i) {
        const ModelParamInfo& param = info->Params[i];
        if (param.Kind == kParamText) {
            char* old = const_cast<char*>(ModelSlotText(&Values[i]));
            if (old) MemFree(old);
            char* copy = nullptr;
            if (param.Default.text && *param.Default.text && !(copy = DuplicateString(param.Default.text)))
                rc = kResultNoMemory;
            SetModelSlotText(&Values[i], copy);
        } else if (info->UnsetTimingDefaults && !tableDefaults && param.Kind == kParamNumber) {
            Values[i] = -1.0;
        } else {
            std::memcpy(&Values[i], &param.Default, sizeof(double));
        }
        if (Texts) {
            char buffer[51];
            FormatModelParamText(buffer, sizeof buffer, Values, i, type);
            if (!SetString(&Texts[i], buffer)) rc = kResultNoMemory;
        }
    }
    return rc;
}

void ModelRecord::Release() {
    const ModelTypeInfo* info = GetModelTypeInfo(ModelType);
    int params = info ? info->ParamCount : 0;
    FreeString(&QualifiedName);
    if (Values) {
        FreeModelTextValues(Values, params, ModelType);
        MemFree(Values);
        Values = nullptr;
    }
    MemFree(Given);
    Given = nullptr;
    for (void*& block : RunBlocks) {
        MemFree(block);
        block = nullptr;
    }
    if (Texts) {
        for (int i = 0; i < params; ++i) FreeString(&Texts[i]);
        MemFree(Texts);
        Texts = nullptr;
    }
    if (!Template) {
        if (Nominal) {
            FreeModelTextValues(Nominal, params, ModelType);
            MemFree(Nominal);
        }
        MemFree(Tolerances);
    }
    Nominal = nullptr;
    Tolerances = nullptr;
}

int ModelRecord::CopyValuesFrom(const ModelRecord* source, int type, bool fromNominal) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    if (!info || !source || !Values) return 0;
    if (fromNominal) return source->Nominal ? CopyModelValues(Values, source->Nominal, info->ParamCount, type) : 0;
    return source->Values ? CopyModelValues(Values, source->Values, info->ValueCount, type) : 0;
}

ModelRecord* FindModel(CircuitModels* models, int row) { return ResolveAko(models, -1, row, false, false); }

namespace {

void ms_Offer(CircuitModels* models, ModelRecord* record) {
    if (record) ModelRuns().OfferToRunModules(models->Document, record);
}

// Copies the AKO base's values, all but the temperature parameters; a base of
// another MOS level gives the parameters of the same name.
int ms_InheritValues(ModelRecord* record, const ModelRecord* base) {
    const ModelTypeInfo* info = GetModelTypeInfo(record->ModelType);
    const ModelTypeInfo* baseInfo = GetModelTypeInfo(base->ModelType);
    if (!info || !baseInfo || !base->Values) return 0;
    int rc = 0;
    int temp = baseInfo->TempParamIndex;
    for (int i = 0; i < baseInfo->ParamCount; ++i) {
        if (temp > 0 && i >= temp && i < temp + 4) continue;
        int target =
            base->ModelType == record->ModelType ? i : FindModelParamIndex(record->ModelType, baseInfo->Params[i].Name);
        if (target < 0 || info->Params[target].Kind != baseInfo->Params[i].Kind) continue;
        if (info->TempParamIndex > 0 && target >= info->TempParamIndex && target < info->TempParamIndex + 4) continue;
        if (info->Params[target].Kind == kParamText) {
            char* old = const_cast<char*>(ModelSlotText(&record->Values[target]));
            const char* text = ModelSlotText(&base->Values[i]);
            char* copy = text && *text ? DuplicateString(text) : nullptr;
            if (text && *text && !copy) rc = kResultNoMemory;
            if (old) MemFree(old);
            SetModelSlotText(&record->Values[target], copy);
        } else {
            std::memcpy(&record->Values[target], &base->Values[i], sizeof(double));
        }
    }
    return rc;
}

}  // namespace

ModelRecord* ResolveAko(CircuitModels* models, int type, int row, bool keepTexts, bool noStatement) {
    if (!models) return nullptr;
    ModelStatementList& list = models->ModelStatements;
    bool statementMode = !noStatement && (type == -1 || type == -2 || type == kModelCore || type == kModelUIo);
    if (statementMode && list.At(row) == nullptr) return nullptr;
    if (type != -2)
        for (int i = 0; i < list.Count; ++i) list.Entries[i].Visiting = 0;

    int t = type;
    bool isTrn = false;
    bool wantPrivate = false;
    if (statementMode) {
        ModelStatement* st = list.At(row);
        st->Visiting = 1;
        t = st->Type;
        isTrn = t == kModelTline;
        const ModelTypeInfo* info = GetModelTypeInfo(t);
        int digitalClass = info ? (info->DigitalClass == 2 ? 1 : info->DigitalClass) : 0;
        const GlobalSettingValues& settings = models->Settings ? *models->Settings : GlobalSettings;
        if (digitalClass)
            wantPrivate = settings.privatedigital != 0;
        else
            wantPrivate = settings.privateanalog != 0 || ModelRuns().SensitivityRequested(models->Document);
        if ((t == kModelNmos || t == kModelPmos) && st->LevelType > 0) t = st->LevelType;
    } else if ((t == kModelNmos || t == kModelPmos) && list.At(row) && list.At(row)->LevelType > 0) {
        t = list.At(row)->LevelType;
    }
    const ModelTypeInfo* info = GetModelTypeInfo(t);
    if (!info) return nullptr;
    bool analog = info->DigitalClass == 0;

    ModelRecord* existing = nullptr;
    if (statementMode && !isTrn) {
        for (PoolItem* item = models->ModelPools[t].first; item; item = item->next) {
            auto* record = static_cast<ModelRecord*>(item);
            if (record->StatementRow == row && !record->Template) {
                existing = record;
                break;
            }
        }
        if (existing) {
            if (analog && existing->Tolerances)
                for (int i = 0; i < info->ParamCount && !wantPrivate; ++i)
                    if (existing->Tolerances[i].Dev != -1) wantPrivate = true;
            if (!wantPrivate) {
                ms_Offer(models, existing);
                return existing;
            }
        }
    }

    auto* record =
        static_cast<ModelRecord*>(static_cast<void*>(models->ModelPools[t].AddNew(kModelRecordItemBase + t)));
    if (!record) {
        ms_OutOfMemory(models);
        return nullptr;
    }
    // Until it is complete the record answers for no statement, so that a
    // failed one is never handed out by a later request.
    record->StatementRow = -1;
    bool failed = record->AllocateValues(t) != 0;
    if (!failed && keepTexts) {
        record->Texts = static_cast<char**>(MemAllocZero(sizeof(char*) * static_cast<size_t>(info->ParamCount + 1)));
        failed = !record->Texts;
    }
    if (!failed && !existing && info->ParamCount > 0) {
        record->Nominal = static_cast<double*>(MemAllocZero(sizeof(double) * static_cast<size_t>(info->ParamCount)));
        failed = !record->Nominal;
        if (!failed && statementMode && analog) {
            record->Tolerances =
                static_cast<ToleranceSpec*>(MemAlloc(sizeof(ToleranceSpec) * static_cast<size_t>(info->ParamCount)));
            failed = !record->Tolerances;
            for (int i = 0; !failed && i < info->ParamCount; ++i) record->Tolerances[i].Init();
        }
    }
    if (!failed && statementMode) {
        const ModelStatement* st = list.At(row);
        record->QualifiedName = CircuitScopes().QualifyName(models->Document, st->Name, st->Scope);
        failed = !record->QualifiedName;
    }
    if (failed) {
        ms_OutOfMemory(models);
        return nullptr;
    }

    if (existing) {
        record->Template = existing;
        record->Nominal = existing->Nominal;
        if (existing->Nominal && CopyModelValues(record->Values, existing->Nominal, info->ParamCount, t)) {
            ms_OutOfMemory(models);
            return nullptr;
        }
        std::memcpy(record->Given, existing->Given, static_cast<size_t>(info->ValueCount > 0 ? info->ValueCount : 1));
        if (analog) {
            record->Tolerances = existing->Tolerances;
            record->HasTolerance = existing->HasTolerance;
        }
        if (keepTexts && existing->Texts)
            for (int i = 0; i < info->ParamCount; ++i) SetString(&record->Texts[i], existing->Texts[i]);
        record->StatementRow = row;
        ms_Offer(models, record);
        return record;
    }

    if (record->SetDefaultValues(t, keepTexts)) {
        ms_OutOfMemory(models);
        return nullptr;
    }
    if (statementMode) {
        record->StatementRow = row;
        ModelStatement* st = list.At(row);
        if (st->AkoName) {
            // The base may be brought in from a library: the statement array
            // can move, so the entry is looked up again after each call.
            std::string akoName = st->AkoName;
            bool reported = false;
            int baseRow = FindModelByName(models, st->Type, st->Scope, st->AkoName, &reported);
            st = list.At(row);
            st->AkoRow = baseRow;
            if (baseRow < 0) {
                record->StatementRow = -1;
                if (!reported) {
                    SetPendingMessage(kMsMsgMissingAko, akoName.c_str());
                    ms_ReportForStatement(models, row, nullptr, std::string(), kMsMsgMissingAko);
                }
                return nullptr;
            }
            if (list.At(baseRow)->Visiting) {
                record->StatementRow = -1;
                SetPendingMessage(kMsMsgRecursiveAko, akoName.c_str());
                ms_ReportForStatement(models, row, nullptr, std::string(), kMsMsgRecursiveAko);
                return nullptr;
            }
            ModelRecord* base = ResolveAko(models, -2, baseRow, false, false);
            st = list.At(row);
            if (!base) {
                record->StatementRow = -1;
                return nullptr;
            }
            st->AkoBase = base;
            if (ms_InheritValues(record, base)) {
                record->StatementRow = -1;
                ms_OutOfMemory(models);
                return nullptr;
            }
        }
        if (ParseModelParameters(models, record) != 0) {
            record->StatementRow = -1;
            return nullptr;
        }
        list.At(row)->Resolved = 1;
    }
    if (record->Nominal && CopyModelValues(record->Nominal, record->Values, info->ParamCount, t)) {
        ms_OutOfMemory(models);
        return nullptr;
    }
    ms_Offer(models, record);
    return record;
}

// ---- parameters ----------------------------------------------------------------------------------

int ParseModelParameters(CircuitModels* models, ModelRecord* record) {
    if (!models || !record) return 0;
    int row = record->StatementRow;
    const ModelStatement* st = models->ModelStatements.At(row);
    if (!st) return 0;
    int type = record->ModelType;
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    if (!info) return 0;
    int scope = st->Scope;
    bool statementMode = st->SourceKind == kSourceTextLine || (st->SourceKind == kSourceObject && st->SourceAux == -1);
    bool keepTexts = record->Texts != nullptr;
    std::string name = st->Name ? st->Name : "";

    std::string work = st->ParamText ? st->ParamText : "";
    if (LibraryTextMode && st->SourceKind != kSourceObject) {
        for (size_t i = 0; i < work.size(); ++i) {
            if (work[i] != '\n') continue;
            work[i] = ' ';
            if (i + 1 < work.size() && work[i + 1] == '+') work[i + 1] = ' ';
        }
    }

    auto fail = [&](int code, const std::string& context) {
        return ms_ReportForStatement(models, row, nullptr, context, code);
    };

    int previous = -1;
    size_t pos = 0;
    int rescans = 0;
    size_t rescanAt = std::string::npos;
    for (;;) {
        pos = static_cast<size_t>(ms_SkipBlanks(work.c_str() + pos, statementMode) - work.c_str());
        if (pos >= work.size()) break;
        size_t tokenStart = pos;
        while (pos < work.size() && !HasCharClass(work[pos], CC_SPACE) && work[pos] != '=') ++pos;
        std::string token = work.substr(tokenStart, pos - tokenStart);
        if (token.empty()) {
            SetPendingMessage(kMsMsgExpecting, "<parameter name>");
            return fail(kMsMsgExpecting, std::string());
        }
        if (token.size() > kMsTokenMax) {
            SetPendingMessage(kMsMsgExtraText, token.c_str());
            return fail(kMsMsgExtraText, std::string());
        }
        pos = static_cast<size_t>(ms_SkipBlanks(work.c_str() + pos, statementMode) - work.c_str());
        if (token == ")") {
            SetPendingMessage(kMsMsgExtraText, ")");
            return fail(kMsMsgExtraText, std::string());
        }
        if (pos >= work.size() || work[pos] != '=') {
            std::string context;
            ms_AddContext(context, "Parameter:", token.c_str());
            SetPendingMessage(kMsMsgExpecting, "=");
            return fail(kMsMsgExpecting, context);
        }
        ++pos;
        pos = static_cast<size_t>(ms_SkipBlanks(work.c_str() + pos, statementMode) - work.c_str());

        std::string value;
        if (pos < work.size() && work[pos] == '"') {
            size_t close = work.find('"', pos + 1);
            size_t end = close == std::string::npos ? work.size() : close;
            value = keepTexts ? work.substr(pos, (close == std::string::npos ? end : end + 1) - pos)
                              : work.substr(pos + 1, end - pos - 1);
            pos = close == std::string::npos ? work.size() : close + 1;
        } else {
            size_t fieldStart = pos;
            size_t length = ms_ScanValueField(models->Document, work.c_str() + pos, scope, statementMode);
            size_t fieldEnd = pos + length;
            if (fieldEnd < work.size() && work[fieldEnd] == '%') ++fieldEnd;
            value = work.substr(fieldStart, fieldEnd - fieldStart);
            char* trimmed = value.empty() ? nullptr : &value[0];
            if (trimmed) value = TrimWhitespace(trimmed);
            pos = fieldEnd;
            if (!keepTexts && !value.empty()) {
                char* substituted = nullptr;
                int rc = CircuitScopes().SubstituteDefines(models->Document, value.c_str(), scope, &substituted);
                if (rc) {
                    FreeString(&substituted);
                    return rc;
                }
                bool changed = substituted && value != substituted;
                if (changed) {
                    if (rescanAt != tokenStart) {
                        rescanAt = tokenStart;
                        rescans = 0;
                    }
                    if (++rescans > kMsMaxRescans) {
                        FreeString(&substituted);
                        SetPendingMessage(kMsMsgBadValue, value.c_str(), token.c_str());
                        return fail(kMsMsgBadValue, std::string());
                    }
                    work = work.substr(0, fieldStart) + substituted + " " + work.substr(fieldEnd);
                    FreeString(&substituted);
                    pos = tokenStart;
                    continue;
                }
                FreeString(&substituted);
            }
        }

        ToleranceKeyword tolerance;
        if (record->Tolerances && ParseToleranceKeyword(token.c_str(), &tolerance)) {
            if (previous < 0) {
                SetPendingMessage(kMsMsgIllegalUse, token.c_str());
                return fail(kMsMsgIllegalUse, std::string());
            }
            if (*tolerance.rest) {
                std::string context;
                ms_AddContext(context, "Model:", name.c_str());
                ms_AddContext(context, "Parameter:", token.c_str());
                SetPendingMessage(kMsMsgExtraText, tolerance.rest);
                return fail(kMsMsgExtraText, context);
            }
            record->HasTolerance = 1;
            if (keepTexts) {
                AppendFormat(&record->Texts[previous], " %s=%s", token.c_str(), value.c_str());
            } else {
                int rc = record->Tolerances[previous].Set(record->Values[previous], value.c_str(), tolerance.isLot,
                                                          tolerance.digits, tolerance.distribution);
                if (rc) {
                    const char* which = tolerance.isLot ? "Lot" : "Dev";
                    std::string context;
                    ms_AddContext(context, "Model:", name.c_str());
                    ms_AddContext(context, "Parameter:", info->Params[previous].Name);
                    ms_AddContext(context, tolerance.isLot ? "Lot #:" : "Dev #:", tolerance.digits);
                    if (rc == kMsMsgTrackingRange)
                        SetPendingMessage(kMsMsgTrackingRange, which);
                    else
                        SetPendingMessage(kMsMsgBadValue, value.c_str(), which);
                    return fail(rc == kMsMsgTrackingRange ? rc : kMsMsgBadValue, context);
                }
            }
            continue;
        }

        int index = FindModelParamIndex(type, token.c_str());
        if (index < 0) {
            if (AddCompileNote(models, token.c_str(), row, kNoteUnknownParam)) return kResultShown;
            continue;
        }
        if (record->Given[index] && AddCompileNote(models, token.c_str(), row, kNoteDuplicateParam))
            return kResultShown;
        record->Given[index] = 1;
        const ModelParamInfo& param = info->Params[index];
        if (keepTexts) {
            if (!SetString(&record->Texts[index], value.c_str())) return ms_OutOfMemory(models);
        } else if (param.Kind == kParamNumber) {
            if (value.empty()) {
                SetPendingMessage(kMsMsgExpectingAfter, "<value>", token.c_str());
                return fail(kMsMsgExpectingAfter, std::string());
            }
            double number = 0;
            bool depends = false;
            if (EvaluateModelValueText(value.c_str(), &number, &depends) != 0) {
                SetPendingMessage(kMsMsgBadValue, value.c_str(), token.c_str());
                return fail(kMsMsgBadValue, std::string());
            }
            if (depends) ModelRuns().MarkVariableModelValues();
            record->Values[index] = number;
        } else if (param.Kind == kParamChar) {
            SetModelSlotChar(&record->Values[index], value.empty() ? 0 : UpperChar(value[0]));
        } else {
            char* old = const_cast<char*>(ModelSlotText(&record->Values[index]));
            char* copy = value.empty() ? nullptr : DuplicateString(value.c_str());
            if (!value.empty() && !copy) return ms_OutOfMemory(models);
            if (old) MemFree(old);
            SetModelSlotText(&record->Values[index], copy);
        }
        previous = index;
    }

    if (gSolver.AnalysisKind == -1 || keepTexts) return 0;
    std::string label = ms_Label(st);
    for (int i = 0; i < info->ParamCount; ++i) {
        if (!record->Given[i] || info->Params[i].Kind == kParamText) continue;
        int rc = CheckModelParamValue(models->Document, scope, i, type, &record->Values[i], label.c_str(), false);
        if (rc) return rc;
    }
    if (info->TempParamIndex > 0) {
        int t = info->TempParamIndex;
        int given = record->Given[t + 1] + record->Given[t + 2] + record->Given[t + 3];
        if (given > 1) {
            SetPendingMessage(kMsMsgTemperatureParams);
            return fail(kMsMsgTemperatureParams, std::string());
        }
    }
    if (type == kModelPulse) {
        int rc = CheckPulseModel(models, record);
        if (rc) return rc;
    }
    if (type == kModelGasfet) {
        int rc = CheckGasfetModel(models, record);
        if (rc) return rc;
    }
    return ModelRuns().CheckModelLimits(models->Document, record, row);
}

int CheckPulseModel(CircuitModels* models, ModelRecord* record) {
    if (!record || !record->Values || record->ModelType != kModelPulse) return 0;
    double* v = record->Values;
    int first = FindModelParamIndex(kModelPulse, "P1");
    if (first < 0) return 0;
    double* p = v + first;  // P1 .. P5
    bool ok;
    if (p[1] >= 0 && p[3] >= 0) {
        for (int i = 1; i < 5; ++i) {
            double larger = std::fmax(std::fabs(p[i]), std::fabs(p[i - 1]));
            if (p[i] == p[i - 1] || std::fabs(p[i] - p[i - 1]) < 1e-14 * larger) p[i] = p[i - 1];
        }
        ok = p[0] <= p[1] && p[1] <= p[2] && p[2] <= p[3] && p[3] <= p[4];
    } else {
        ok = p[0] <= p[2] && p[2] <= p[4];
    }
    if (ok) return 0;
    SetPendingMessage(kMsMsgPulseOrder);
    return ms_ReportForStatement(models, record->StatementRow, nullptr, std::string(), kMsMsgPulseOrder);
}

int CheckGasfetModel(CircuitModels* models, ModelRecord* record) {
    if (!record || !record->Values || record->ModelType != kModelGasfet) return 0;
    int vmax = FindModelParamIndex(kModelGasfet, "VMAX");
    int vbi = FindModelParamIndex(kModelGasfet, "VBI");
    if (vmax < 0 || vbi < 0 || record->Values[vmax] < record->Values[vbi]) return 0;
    SetPendingMessage(kMsMsgGasfetVmax);
    return ms_ReportForStatement(models, record->StatementRow, nullptr, std::string(), kMsMsgGasfetVmax);
}

// ---- texts ---------------------------------------------------------------------------------------

char* FormatModelParamText(char* buffer, size_t size, const double* values, int index, int type) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    const ModelParamInfo* param = GetModelParamInfo(type, index);
    if (!param || !values) return buffer;
    const double* slot = &values[index];
    if (param->Kind == kParamNumber) {
        FormatParamValue(buffer, size, slot);
    } else if (param->Kind == kParamChar) {
        char c = ModelSlotChar(slot);
        if (c)
            FormatBounded(buffer, size, "\"%c\"", c);
        else
            CopyTextBounded(buffer, "\"\"", size);
    } else {
        const char* text = ModelSlotText(slot);
        FormatBounded(buffer, size, "\"%.32s\"", text ? text : "");
    }
    TrimSpaces(buffer);
    return buffer;
}

char* WriteModelStatement(int type, int options, const double* values, int count, const char* name,
                          const uint8_t* given, char* const* texts) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    char* out = nullptr;
    if (!FormatString(&out, ".MODEL %s %s (", name ? name : "", info ? info->Keyword : "")) {
        SetPendingMessage(kResultNoMemory);
        ReportStatementMessage(nullptr, 1, nullptr, nullptr, kResultNoMemory);
        return nullptr;
    }
    bool anyItem = false;
    int width = GlobalSettings.width > 0 ? GlobalSettings.width : 80;
    size_t lineLength = std::strlen(out);
    int n = info && values ? (count < info->ParamCount ? count : info->ParamCount) : 0;
    bool ok = true;
    for (int i = 0; i < n && ok; ++i) {
        const ModelParamInfo& param = info->Params[i];
        const double* slot = &values[i];
        const char* text = texts && texts[i] && *texts[i] ? texts[i] : nullptr;
        bool isDefault;
        if (param.Kind == kParamNumber) {
            isDefault = *slot == param.Default.number;
        } else if (param.Kind == kParamChar) {
            isDefault = ModelSlotChar(slot) == param.Default.character[0];
        } else {
            const char* held = ModelSlotText(slot);
            isDefault = std::strcmp(held ? held : "", param.Default.text ? param.Default.text : "") == 0;
        }
        bool always = (param.Flags & kParamAlwaysWritten) != 0;
        if (!(always || !isDefault || text)) continue;
        if ((options & kWriteGivenOnly) && given && !given[i]) continue;
        if (!text) {
            if (param.Kind == kParamNumber && IsUnsetValue(*slot)) continue;
            if (param.Kind == kParamText) {
                const char* held = ModelSlotText(slot);
                if (!held || !*held) continue;
            }
            if (!(param.Flags & kParamWritable)) continue;
        }
        char formatted[100];
        FormatModelParamText(formatted, sizeof formatted, values, i, type);
        std::string item = param.Name;
        item += '=';
        if (text) {
            if (always || (CompareNoCase(text, formatted) != 0 && CompareNoCase(text, kUnsetValueText) != 0))
                item += text;
            else
                continue;
        } else {
            item += formatted;
        }
        item += ' ';
        lineLength += item.size();
        if (lineLength > static_cast<size_t>(width) && anyItem) {
            size_t length = std::strlen(out);
            if (length && out[length - 1] == ' ') out[length - 1] = 0;
            bool plus = (options & kWriteContinuation) != 0;
            ok = AppendString(&out, plus ? "\r\n+ " : "\r\n") != nullptr;
            lineLength = item.size() + (plus ? 2 : 0);
        }
        ok = ok && AppendString(&out, item.c_str()) != nullptr;
        anyItem = true;
    }
    size_t length = std::strlen(out);
    if (ok && anyItem && length && out[length - 1] == ' ')
        out[length - 1] = ')';
    else if (ok)
        ok = AppendString(&out, " )") != nullptr;
    if (!ok) {
        FreeString(&out);
        SetPendingMessage(kResultNoMemory);
        ReportStatementMessage(nullptr, 1, nullptr, nullptr, kResultNoMemory);
        return nullptr;
    }
    return out;
}

// ---- compile notes -------------------------------------------------------------------------------

void CompileNoteList::Clear() {
    for (int i = 0; i < Count; ++i) FreeString(&Entries[i].Text);
    MemFree(Entries);
    Entries = nullptr;
    Count = 0;
    Capacity = 0;
}

CompileNote* AddDiagnosticEntry(CircuitModels* models) {
    CompileNoteList& list = models->Notes;
    if (list.Count >= list.Capacity) {
        int capacity = list.Capacity ? list.Capacity * 2 : 16;
        void* block = list.Entries;
        if (!ResizeZeroed(&block, sizeof(CompileNote) * static_cast<size_t>(capacity),
                          sizeof(CompileNote) * static_cast<size_t>(list.Capacity))) {
            ms_OutOfMemory(models);
            return nullptr;
        }
        list.Entries = static_cast<CompileNote*>(block);
        list.Capacity = capacity;
    }
    CompileNote* note = &list.Entries[list.Count++];
    std::memset(note, 0, sizeof *note);
    return note;
}

int AddCompileNote(CircuitModels* models, const char* text, int row, int kind) {
    CompileNote* note = AddDiagnosticEntry(models);
    if (!note) return kResultShown;
    note->Text = DuplicateString(text ? text : "");
    if (!note->Text) {
        --models->Notes.Count;
        return ms_OutOfMemory(models);
    }
    note->Row = row;
    note->Kind = kind;
    return 0;
}
