#include "compiler/arrays.h"

#include <cctype>
#include <cstring>
#include <new>

#include "compiler/defines.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"

namespace {

constexpr int kArMsgMissingValues = 10934;
constexpr int kArMsgMissingName = 10935;
constexpr int kArMsgNameTaken = 10936;
constexpr int kArMsgReserved = 10889;
constexpr int kArMsgBadName = 10886;

// clang-format off
const MessageRow kArMessageRows[] = {
    {10934, "%EMissing values in an .Array statement. Syntax is .ARRAY NAME v1,...vn . Ex. .ARRAY RCAR 1K,2K,3K"},
    {10935, "%EMissing array name in an .Array statement. Syntax is .ARRAY NAME v1,...vn . Ex. .ARRAY CVAL .01u,.1u"},
};
// clang-format on

ScopeArrays* ar_Arrays(DefineTable* table) {
    CompileSession* session = table && table->owner ? GetCompileSession(table->owner) : nullptr;
    return session ? &session->arrays : nullptr;
}

int ar_Report(const StatementSource& source, int id, const char* argument) {
    (void)source;
    if (QuietDefinitionErrors && id != kArMsgReserved && id != kArMsgBadName) return kResultShown;
    return ReportCompilerMessage(nullptr, source.Scope, nullptr, id, argument ? argument : "");
}

bool ar_IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }

// Parenthesised elements become plain ones: "(1K,2K),(3K)" is three elements.
void ar_Flatten(std::string& text) {
    for (bool changed = true; changed;) {
        changed = false;
        int depth = 0;
        bool elementStart = true;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (elementStart && depth == 0 && !ar_IsBlank(c)) {
                elementStart = false;
                if (c == '(') {
                    const char* close = SkipBracketGroup(text.c_str() + i, '(', ')');
                    const size_t end = static_cast<size_t>(close - text.c_str());  // one past ')'
                    size_t after = end;
                    while (after < text.size() && ar_IsBlank(text[after])) ++after;
                    if (end > i + 1 && text[end - 1] == ')' && (after == text.size() || text[after] == ',')) {
                        text[i] = ' ';
                        text[end - 1] = ' ';
                        changed = true;
                        continue;
                    }
                }
            }
            if (c == '(') ++depth;
            if (c == ')') --depth;
            if (c == ',' && depth == 0) elementStart = true;
        }
    }
}

std::vector<std::string> ar_Elements(const std::string& text) {
    std::vector<std::string> elements(1);
    int depth = 0;
    for (char c : text) {
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) {
            elements.emplace_back();
            continue;
        }
        elements.back() += c;
    }
    return elements;
}

}  // namespace

void RegisterArrayMessages() {
    RegisterMessages(kArMessageRows, static_cast<int>(sizeof(kArMessageRows) / sizeof(kArMessageRows[0])));
}

int FindArrayInScope(DefineTable* table, const char* name, int scope) {
    ScopeArrays* arrays = ar_Arrays(table);
    if (!arrays || !name) return 0;
    for (const auto& entry : arrays->entries)
        if (entry->source.Scope == scope && CompareNoCase(entry->name.c_str(), name) == 0) return 1;
    return 0;
}

bool IsScopeArrayName(DefineTable* table, const char* name, int scope) {
    return FindArrayInScope(table, name, scope) != 0;
}

int ParseArrayStatement(DefineTable* table, const char* text, const StatementSource& source) {
    const char* p = text ? text : "";
    while (ar_IsBlank(*p)) ++p;
    const int keyword = MatchDotKeyword(p, kDotArray);
    if (!keyword) return 0;
    ScopeArrays* arrays = ar_Arrays(table);
    if (!arrays) return 0;
    p += keyword;
    while (ar_IsBlank(*p)) ++p;
    ArrayEntry* entry = nullptr;
    try {
        arrays->entries.push_back(std::make_unique<ArrayEntry>());
        entry = arrays->entries.back().get();
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    entry->source = source;
    const char* nameStart = p;
    while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_') ++p;
    std::string name(nameStart, p);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.empty()) return ar_Report(source, kArMsgMissingName, nullptr);
    if (table->FindInScope(source.Scope, name.c_str()) >= 0 || FindArrayInScope(table, name.c_str(), source.Scope))
        return ar_Report(source, kArMsgNameTaken, name.c_str());
    entry->name = name;
    // Array names are tested against every symbol, functions included.
    if (IsReservedSymbol(name.c_str(), true) && name != "PI") return ar_Report(source, kArMsgReserved, name.c_str());
    if (IsPlainIdentifier(name.c_str())) return ar_Report(source, kArMsgBadName, name.c_str());
    while (ar_IsBlank(*p)) ++p;
    std::string values = p;
    while (!values.empty() && ar_IsBlank(values.back())) values.pop_back();
    if (values.empty()) return ar_Report(source, kArMsgMissingValues, nullptr);
    for (char& c : values) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    entry->values = values;
    return 0;
}

int CompileScopeArrays(DefineTable* table, int scope) {
    ScopeArrays* arrays = ar_Arrays(table);
    if (!arrays) return 0;
    for (const auto& entry : arrays->entries) {
        if (entry->source.Scope != scope || entry->name.empty() || entry->values.empty()) continue;
        char* substituted = nullptr;
        int rc = SubstituteDefines(table, &substituted, scope, entry->values.c_str(), 0, kMarkersToParentheses);
        if (rc) {
            FreeString(&substituted);
            return rc;
        }
        std::string text = substituted ? substituted : "";
        FreeString(&substituted);
        ar_Flatten(text);
        entry->elements.clear();
        for (const std::string& element : ar_Elements(text)) {
            std::vector<char> normalised(element.begin(), element.end());
            normalised.push_back(0);
            NormalizeSigns(normalised.data());
            auto compiled = std::make_unique<CompiledExpression>();
            ExprCompiler ctx;
            const int kind = gSolver.AnalysisKind;
            ctx.Init(normalised.data(), compiled.get(), kind >= 0 && kind <= 3 ? 1 << kind : kMaskTransient,
                     kSymbolMaskAnalog);
            ctx.scope = scope;
            rc = CompileExpression(&ctx);
            if (rc) {
                if (rc != kResultShown && rc != kResultPending && !QuietDefinitionErrors)
                    ReportCompilerMessage(nullptr, scope, nullptr, rc, element.c_str(), "");
                return kResultShown;
            }
            entry->elements.push_back(std::move(compiled));
        }
    }
    return 0;
}

int FindUserArrayIndex(CCTDoc* document, const char* name, int scope) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    if (!session || !name) return -1;
    const DefineTable& table = session->defines;
    for (int s = scope, guard = 0; s >= 0 && guard < 10000; ++guard) {
        for (size_t i = 0; i < session->arrays.entries.size(); ++i) {
            const ArrayEntry& entry = *session->arrays.entries[i];
            if (entry.source.Scope == s && !entry.elements.empty() && CompareNoCase(entry.name.c_str(), name) == 0)
                return static_cast<int>(i);
        }
        if (s == 0) break;
        const int parent = s >= 2 && s < static_cast<int>(table.scopes.size()) ? table.scopes[s].parent : 0;
        s = s == 1 ? 0 : parent;
    }
    return -1;
}

void PublishUserArrays(CCTDoc* document) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    gSolver.userArrays = nullptr;
    gSolver.userArrayCount = 0;
    if (!session) return;
    ScopeArrays& arrays = session->arrays;
    arrays.views.clear();
    arrays.viewElements.clear();
    for (const auto& entry : arrays.entries) {
        std::vector<CompiledExpression*> elements;
        for (const auto& element : entry->elements) elements.push_back(element.get());
        arrays.viewElements.push_back(std::move(elements));
    }
    for (size_t i = 0; i < arrays.entries.size(); ++i)
        arrays.views.push_back(UserArrayView{arrays.entries[i]->name.c_str(),
                                             static_cast<int32_t>(arrays.viewElements[i].size()),
                                             arrays.viewElements[i].data()});
    gSolver.userArrays = arrays.views.empty() ? nullptr : arrays.views.data();
    gSolver.userArrayCount = static_cast<int32_t>(arrays.views.size());
}

void FreeArrays(CCTDoc* document) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    if (!session) return;
    if (gSolver.userArrays == session->arrays.views.data()) {
        gSolver.userArrays = nullptr;
        gSolver.userArrayCount = 0;
    }
    session->arrays.views.clear();
    session->arrays.viewElements.clear();
    session->arrays.entries.clear();
}
