#include "compiler/defines.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"
#include "expr/symbols.h"
#include "shell/preferences.h"

const char* const kGlobalIncludePrefix = "'TARNINC'";

int TextPreservingCompile = 0;
int PcbNetlistCompile = 0;

namespace {

bool df_slashDelimiter = true;

enum DefineMessage : int {
    kMsgDefineNoParen = 10880,
    kMsgDefineTooComplex = 10881,
    kMsgDefineMissingName = 10882,
    kMsgDefineRecursive = 10883,
    kMsgDefineArgCount = 10884,
    kMsgDefineDuplicate = 10885,
    kMsgDefineBadChar = 10886,
    kMsgDefineReserved = 10889,
    kMsgDefineMissingBrace = 10890,
    kMsgDefineArrayName = 10936,
    kMsgDefineExpecting = 11900,
    kMsgDefineExtraText = 11903,
    kMsgDefineMissingLot = 19891,
    kMsgDefineLotStatic = 19892,
    kMsgDefineBadIdentifier = 19893,
};

bool df_IsDelimiter(char c) {
    if (c == '/' && !df_slashDelimiter) return false;
    return HasCharClass(c, CC_EXPR_DELIM);
}

// A word of the substitution runs to the next delimiter, brace or quote.
bool df_EndsWord(char c) { return df_IsDelimiter(c) || c == '{' || c == '}' || c == '"'; }

// Upper-cases outside double quotes; line breaks become blanks unless kept.
void df_UpperCopy(const char* text, std::string& out, bool breaksToBlanks) {
    out.clear();
    out.reserve(std::strlen(text) + 16);
    bool quoted = false;
    for (const char* p = text; *p; ++p) {
        char c = *p;
        if (c == '"') quoted = !quoted;
        if (!quoted) c = UpperChar(c);
        if (breaksToBlanks && (c == '\r' || c == '\n')) c = ' ';
        out.push_back(c);
    }
}

char* df_Duplicate(const std::string& text) { return DuplicatePrefix(text.c_str(), static_cast<int>(text.size())); }

void df_FreeEntry(DefineEntry* e) {
    FreeString(&e->name);
    FreeString(&e->qualifiedName);
    FreeString(&e->value);
    if (e->argNames) FreeArgumentList(e->argNames, e->argCount);
    e->argNames = nullptr;
    FreeString(&e->displayName);
    FreeString(&e->toleranceText);
    FreeString(&e->sourceValue);
}

const char* df_ScopePath(DefineTable* table, int scope) {
    CircuitScope* s = GetScope(table, scope);
    return s ? s->path.c_str() : "";
}

// Records the statement's place as the message's source; kinds 1 and 4 name a
// part or a statement record, kind 2 a line of a page.
void df_MarkErrorLocation(const StatementSource& source) {
    if ((source.SourceKind == kSourceObject || source.SourceKind == kSourceOtherObject) && source.SourceRef) {
        PoolItem* item = reinterpret_cast<PoolItem*>(source.SourceRef);
        if (item->type == kPoolSchematicObject)
            ShowErrorSource(kOriginPart, item);
        else if (item->type == kPoolGridText)
            ShowErrorSource(kOriginStatement, item);
    }
}

SchematicObject* df_SourcePart(const StatementSource& source) {
    if ((source.SourceKind == kSourceObject || source.SourceKind == kSourceOtherObject) && source.SourceRef) {
        PoolItem* item = reinterpret_cast<PoolItem*>(source.SourceRef);
        if (item->type == kPoolSchematicObject) return reinterpret_cast<SchematicObject*>(item);
    }
    return nullptr;
}

int df_Report(const StatementSource& source, const char* rows, int id, ...) {
    df_MarkErrorLocation(source);
    va_list args;
    va_start(args, id);
    int rc = ReportCompilerMessageV(df_SourcePart(source), source.Scope, rows, id, args);
    va_end(args);
    return rc == kResultPending ? kResultPending : kResultShown;
}

// 10889 for a reserved symbol (PI allowed), 10886 for a name that is not a
// plain identifier; 0 when the name is good.
int df_CheckDefineName(const char* name, bool hasArgs) {
    if (IsReservedSymbol(name, hasArgs) && CompareNoCase(name, "PI") != 0) return kMsgDefineReserved;
    if (IsPlainIdentifier(name)) return kMsgDefineBadChar;
    return 0;
}

bool df_KindVisible(int kind, int braceLevel) {
    if (kind == kDotDefine) return true;
    if (PcbNetlistCompile) return false;
    if (kind == kDefineKindInstanceParam) return true;
    return braceLevel > 0;
}

DefineEntry* df_MatchInScope(DefineTable* table, const char* word, size_t length, int scope, int braceLevel) {
    if (scope < 0 || scope >= table->scopeSlots) return nullptr;
    for (int i = 0; i < table->entryCounts[scope]; ++i) {
        DefineEntry* e = &table->entries[scope][i];
        if (!e->name || static_cast<size_t>(e->nameLength) != length) continue;
        if (std::memcmp(e->name, word, length) != 0) continue;
        if (!df_KindVisible(e->kind, braceLevel)) continue;
        return e;
    }
    return nullptr;
}

// Whether the word is a parameter of the instance part of the scope ("$Param
// WORD" attribute).
bool df_IsInstanceParameter(DefineTable* table, int scope, const char* word, size_t length) {
    CircuitScope* s = GetScope(table, scope);
    if (!s || !s->instancePart) return false;
    std::string name = "$Param ";
    name.append(word, length);
    return FindAttribute(s->instancePart, name.c_str()) != nullptr;
}

DefineEntry* df_FindVisible(DefineTable* table, const char* word, size_t length, int scope, int braceLevel) {
    if (DefineEntry* e = table->FindForWord(word, length, scope, braceLevel)) return e;
    if (scope >= 2 && df_IsInstanceParameter(table, scope, word, length)) return nullptr;
    if (scope != 0) {
        if (DefineEntry* e = table->FindForWord(word, length, 0, braceLevel)) return e;
    }
    // A text subcircuit defined in the file of its schematic caller sees the
    // caller's defines.
    CircuitScope* s = GetScope(table, scope);
    if (scope >= 2 && s && s->kind == kScopeKindText && s->instancePart) {
        int parent = PartScope(s->instancePart);
        CircuitScope* p = GetScope(table, parent);
        if (p && parent != scope && p->kind == kScopeKindSchematic && !s->path.empty() && s->path == p->path)
            return table->FindForWord(word, length, parent, braceLevel);
    }
    return nullptr;
}

int df_LoadLibraryDefines(DefineTable* table, int scope) {
    CircuitScope* s = GetScope(table, scope);
    bool macroScope = s && scope >= 2 && s->kind == kScopeKindSchematic && !s->libraryDefinesLoaded;
    if (table->libraryDefinesLoaded && !macroScope) return 0;
    table->libraryDefinesLoaded = 1;
    if (macroScope) s->libraryDefinesLoaded = 1;
    return LoadLibraryDefines(table, scope);
}

// The text a substitution has still to scan. It sits at the end of its buffer,
// so that a replacement goes in front of it without moving what follows: a
// define that keeps re-inserting itself costs the text it produces, not that
// text times the number of insertions.
class df_PendingText {
public:
    explicit df_PendingText(std::string text) : buffer_(std::move(text)) {}
    // The text, terminated by the buffer's own terminator.
    const char* data() const { return buffer_.c_str() + at_; }
    size_t size() const { return buffer_.size() - at_; }
    char operator[](size_t k) const { return buffer_[at_ + k]; }
    // Moves the first n characters to the end of `done`.
    void MoveTo(std::string& done, size_t n) {
        done.append(buffer_, at_, n);
        at_ += n;
    }
    // Replaces the first n characters by `text`.
    void Replace(size_t n, const std::string& text) {
        at_ += n;
        if (text.size() > at_) {
            const size_t room = std::max(text.size(), size());
            std::string grown(room, ' ');
            grown.append(buffer_, at_, std::string::npos);
            buffer_.swap(grown);
            at_ = room;
        }
        at_ -= text.size();
        if (!text.empty()) std::memcpy(&buffer_[at_], text.data(), text.size());
    }

private:
    std::string buffer_;
    size_t at_ = 0;
};

// The position of the parenthesis that closes the one at `open`, or npos.
size_t df_MatchingParenIn(const char* text, size_t size, size_t open) {
    int depth = 0;
    for (size_t i = open; i < size; ++i) {
        if (text[i] == '(')
            ++depth;
        else if (text[i] == ')' && --depth == 0)
            return i;
    }
    return std::string::npos;
}

// Why a call could not be expanded: the message and its argument.
struct df_CallFailure {
    int id = 0;
    const char* arg = nullptr;
};

// The expansion of the function-like define's call whose word begins `at` (the
// rest of the text, `size` bytes): 0 with the replacement in *out and the length
// through the closing parenthesis in *consumed; -1 with *failure set when the
// call is malformed (nothing reported); kResultShown after an out-of-memory
// message. Only the call itself is read, however long the text after it.
int df_ExpandCallAt(const DefineEntry* entry, const char* at, size_t size, size_t wordLength, char** out,
                    size_t* consumed, df_CallFailure* failure) {
    *out = nullptr;
    size_t j = wordLength;
    while (j < size && at[j] == ' ') ++j;
    if (j >= size || at[j] != '(') {
        *failure = {kMsgDefineNoParen, entry->name};
        return -1;
    }
    size_t close = df_MatchingParenIn(at, size, j);
    if (close == std::string::npos) {
        *failure = {kMsgDefineExpecting, ")"};
        return -1;
    }
    std::string inner(at + j + 1, close - j);  // through the closing parenthesis
    char** args = nullptr;
    int error = 0;
    int n = SplitArgumentList(&args, inner.c_str(), &error);
    if (n < 0 && error) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (n != entry->argCount) {
        if (args) FreeArgumentList(args, n);
        *failure = {kMsgDefineArgCount, nullptr};
        return -1;
    }
    // Identifiers of the body of any length are compared whole with the formal
    // argument names; the result grows as needed.
    std::string result;
    const char* body = entry->value ? entry->value : "";
    for (const char* p = body; *p;) {
        if (*p == '"') {
            const char* q = std::strchr(p + 1, '"');
            const char* end = q ? q + 1 : p + std::strlen(p);
            result.append(p, end);
            p = end;
        } else if (HasCharClass(*p, CC_ALPHA)) {
            const char* s = p;
            while (HasCharClass(*p, CC_IDENT)) ++p;
            const size_t len = static_cast<size_t>(p - s);
            int match = -1;
            for (int a = 0; a < entry->argCount; ++a) {
                const char* name = entry->argNames ? entry->argNames[a] : nullptr;
                if (name && std::strlen(name) == len && std::memcmp(name, s, len) == 0) {
                    match = a;
                    break;
                }
            }
            if (match >= 0)
                result += args[match];
            else
                result.append(s, len);
        } else if (HasCharClass(*p, CC_DIGIT) || *p == '.') {
            // A number with its exponent and suffix is one run.
            const char* s = p;
            while (HasCharClass(*p, CC_IDENT) || *p == '.') ++p;
            result.append(s, p);
        } else {
            result.push_back(*p++);
        }
    }
    if (args) FreeArgumentList(args, n);
    *out = df_Duplicate(result);
    if (!*out) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    *consumed = close + 1;
    return 0;
}

// Every replacement is scanned again, so the work of a substitution is the text
// it inserts. Growing replacements (a call that passes its argument on with more
// text) can insert far more than the final text holds; past this much the define
// is too complex, as past the insertion and length bounds.
constexpr size_t kMaxInsertedText = 16 * kMaxSubstitutedLength;

int df_SubstituteInPlace(DefineTable* table, std::string& buf, int scope, int literal, int markerMode) {
    int level = literal ? 1 : 0;
    int insertions = 0;
    size_t inserted = 0;
    // `done` is final: a replacement is scanned again, but never what lies before it.
    std::string done;
    done.reserve(buf.size());
    df_PendingText rest(std::move(buf));
    buf.clear();
    auto whole = [&]() { return done + std::string(rest.data(), rest.size()); };
    // A failed substitution hands back the text as far as it got.
    auto fail = [&](int rc) {
        buf = whole();
        return rc;
    };
    while (rest.size() > 0) {
        char c = rest[0];
        if (c == '"') {
            const void* q = rest.size() > 1 ? std::memchr(rest.data() + 1, '"', rest.size() - 1) : nullptr;
            rest.MoveTo(done, q ? static_cast<size_t>(static_cast<const char*>(q) - rest.data()) + 1 : rest.size());
            continue;
        }
        if (c == '{' || c == '}') {
            if (!literal) level += c == '{' ? 1 : -1;
            rest.MoveTo(done, 1);
            continue;
        }
        if (df_IsDelimiter(c)) {
            rest.MoveTo(done, 1);
            continue;
        }
        size_t length = 0;
        while (length < rest.size() && !df_EndsWord(rest[length])) ++length;
        if (!HasCharClass(c, CC_ALPHA)) {
            rest.MoveTo(done, length);
            continue;
        }
        const bool mayReplace = !table->BracesRequired || level > 0;
        if (!mayReplace) {
            rest.MoveTo(done, length);
            continue;
        }
        // Node and device-quantity calls keep their arguments: V(R1) names the
        // part R1 even when R1 is a define.
        if (length < 15) {
            size_t j = length;
            while (j < rest.size() && rest[j] == ' ') ++j;
            if (j < rest.size() && rest[j] == '(' && IsDeviceArgumentName(std::string(rest.data(), length).c_str())) {
                size_t close = df_MatchingParenIn(rest.data(), rest.size(), j);
                if (close == std::string::npos) break;
                rest.MoveTo(done, close + 1);
                continue;
            }
        }
        if (level > 0 && !table->NoLibraryDefines) {
            int rc = df_LoadLibraryDefines(table, scope);
            if (rc) return fail(rc);
        }
        DefineEntry* e = df_FindVisible(table, rest.data(), length, scope, level);
        if (!e || !e->value) {
            rest.MoveTo(done, length);
            continue;
        }
        e->used = 1;
        if (++insertions > kMaxInsertionsPerSubstitution)
            return fail(table->ReportExpansionError(kMsgDefineTooComplex, e, scope, whole().c_str(), nullptr));
        std::string replacement;
        size_t consumed = length;
        if (e->IsFunctionLike()) {
            char* expanded = nullptr;
            df_CallFailure failure;
            int rc = df_ExpandCallAt(e, rest.data(), rest.size(), length, &expanded, &consumed, &failure);
            if (rc < 0) {
                // The message shows the whole text being expanded, as the public ExpandCall does.
                const std::string text = whole();
                return fail(table->ExpandCall(e, text.c_str(), done.size(), length, scope, &expanded, &consumed));
            }
            if (rc) return fail(rc);
            replacement = expanded;
            MemFree(expanded);
        } else {
            double stepped = 0;
            if (table->RunIndex >= 0 && RunValuesOfDefines().SteppedValue(e->name, table->RunIndex, &stepped)) {
                char number[40];
                FormatBounded(number, sizeof number, "%.16g", stepped);
                replacement = number;
            } else {
                replacement = e->value;
            }
        }
        if (Prefs().addParenthesesToDefine && !e->simpleValue && markerMode != kMarkersRemove) {
            replacement.insert(replacement.begin(), kMarkerOpen);
            replacement.push_back(kMarkerClose);
        }
        inserted += replacement.size();
        if (done.size() + rest.size() - consumed + replacement.size() > kMaxSubstitutedLength ||
            inserted > kMaxInsertedText)
            return fail(table->ReportExpansionError(kMsgDefineTooComplex, e, scope, whole().c_str(), nullptr));
        rest.Replace(consumed, replacement);
    }
    rest.MoveTo(done, rest.size());
    buf.swap(done);
    if (markerMode == kMarkersToParentheses) {
        for (char& ch : buf) {
            if (ch == kMarkerOpen)
                ch = '(';
            else if (ch == kMarkerClose)
                ch = ')';
        }
    } else if (markerMode == kMarkersRemove) {
        std::string kept;
        kept.reserve(buf.size());
        for (char ch : buf)
            if (ch != kMarkerOpen && ch != kMarkerClose) kept.push_back(ch);
        buf.swap(kept);
    }
    return 0;
}

bool df_NeedsWork(const DefineTable* table, const std::string& text) {
    if (table->count == 0 && text.find('{') == std::string::npos) return false;
    if (text.empty()) return false;
    if (HasCharClass(text[0], CC_ALPHA)) return true;
    for (char c : text)
        if (df_IsDelimiter(c) || c == '{' || c == '}') return true;
    return false;
}

void df_Trim(std::string& s) {
    size_t a = 0;
    while (a < s.size() && HasCharClass(s[a], CC_SPACE)) ++a;
    size_t b = s.size();
    while (b > a && HasCharClass(s[b - 1], CC_SPACE)) --b;
    s = s.substr(a, b - a);
}


// Where the next NAME=VALUE of a parameter list starts in the value text
// (npos when there is none): a name after a blank or comma, outside any
// brackets and quotes, followed by "=" that is not "==".
size_t df_NextAssignment(const std::string& value) {
    int depth = 0;
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '(' || c == '{' || c == '[') ++depth;
        if ((c == ')' || c == '}' || c == ']') && depth > 0) --depth;
        if (depth || i == 0 || !HasCharClass(c, CC_ALPHA)) continue;
        const char before = value[i - 1];
        if (before != ',' && !HasCharClass(before, CC_SPACE)) continue;
        size_t j = i;
        while (j < value.size() && HasCharClass(value[j], CC_IDENT)) ++j;
        while (j < value.size() && (value[j] == ' ' || value[j] == '\t')) ++j;
        if (j < value.size() && value[j] == '=' && (j + 1 >= value.size() || value[j + 1] != '=')) return i;
    }
    return std::string::npos;
}

}  // namespace

// ---- switches ------------------------------------------------------------------------------

void SetSlashDelimiter(bool on) { df_slashDelimiter = on; }
bool SlashDelimiter() { return df_slashDelimiter; }

namespace {

class NoDefineRunValues final : public DefineRunValues {
public:
    bool RunTimeValue(const char*, int, char*, size_t) override { return false; }
    bool SteppedValue(const char*, int, double*) override { return false; }
};

PortSlot<DefineRunValues, NoDefineRunValues> df_runValues;

}  // namespace

DefineRunValues& RunValuesOfDefines() { return df_runValues.Get(); }

DefineRunValues* InstallDefineRunValues(DefineRunValues* port) { return df_runValues.Install(port); }


// ---- the table ------------------------------------------------------------------------------

DefineTable::~DefineTable() {
    Clear();
    ClearScopes();
}

void DefineTable::Init(CCTDoc* ownerDocument) {
    Clear();
    owner = ownerDocument;
    RunIndex = -1;
}

void DefineTable::Clear() {
    for (int s = 0; s < scopeSlots; ++s) {
        for (int i = 0; entries && i < entryCounts[s]; ++i) df_FreeEntry(&entries[s][i]);
        if (entries) MemFree(entries[s]);
    }
    MemFree(entries);
    MemFree(entryCounts);
    MemFree(entryCapacities);
    entries = nullptr;
    entryCounts = nullptr;
    entryCapacities = nullptr;
    count = 0;
    scopeSlots = 0;
    libraryDefinesLoaded = 0;
}

void DefineTable::ClearScopes() {
    scopes.clear();
    scopes.shrink_to_fit();
    highestScope = -1;
}

int DefineTable::EnsureSlots(int n) {
    if (n < scopeSlots) return 0;
    // Scopes are added one per instance: growing by one would copy the arrays
    // once per instance.
    const int slots = n + 1 > 2 * scopeSlots ? n + 1 : 2 * scopeSlots;
    const size_t old = static_cast<size_t>(scopeSlots);
    void* counts = entryCounts;
    void* caps = entryCapacities;
    void* arrays = entries;
    if (!ResizeZeroed(&counts, slots * sizeof(int32_t), old * sizeof(int32_t))) return kResultNoMemory;
    entryCounts = static_cast<int32_t*>(counts);
    if (!ResizeZeroed(&caps, slots * sizeof(int32_t), old * sizeof(int32_t))) return kResultNoMemory;
    entryCapacities = static_cast<int32_t*>(caps);
    if (!ResizeZeroed(&arrays, slots * sizeof(DefineEntry*), old * sizeof(DefineEntry*))) return kResultNoMemory;
    entries = static_cast<DefineEntry**>(arrays);
    scopeSlots = slots;
    return 0;
}

int DefineTable::EntryCount(int scope) const { return scope >= 0 && scope < scopeSlots ? entryCounts[scope] : 0; }

DefineEntry* DefineTable::Entry(int scope, int index) {
    if (scope < 0 || scope >= scopeSlots || index < 0 || index >= entryCounts[scope]) return nullptr;
    return &entries[scope][index];
}

int DefineTable::FindInScope(int scope, const char* name) const {
    if (!name || scope < 0 || scope >= scopeSlots) return -1;
    for (int i = 0; i < entryCounts[scope]; ++i) {
        const DefineEntry& e = entries[scope][i];
        if (e.name && CompareNoCase(e.name, name) == 0) return i;
    }
    return -1;
}

DefineEntry* DefineTable::FindEntry(const char* name, int scope) {
    if (!name || scope < 0 || scope >= scopeSlots) return nullptr;
    for (int i = 0; i < entryCounts[scope]; ++i) {
        DefineEntry& e = entries[scope][i];
        if (e.name && std::strcmp(e.name, name) == 0) return &e;
    }
    return nullptr;
}

DefineEntry* DefineTable::FindForWord(const char* word, size_t length, int scope, int braceLevel) {
    const void* dot = std::memchr(word, '.', length);
    if (!dot) return df_MatchInScope(this, word, length, scope, braceLevel);
    std::string plain(word, length);
    char* qualified = QualifyName(this, plain.c_str(), scope);
    if (!qualified) return nullptr;
    DefineEntry* found = nullptr;
    if (char* last = std::strrchr(qualified, '.')) {
        *last = 0;
        for (int s = 0; s <= highestScope && s < static_cast<int>(scopes.size()); ++s) {
            if (CompareNoCase(scopes[s].prefix.c_str(), qualified) == 0) {
                found = df_MatchInScope(this, last + 1, std::strlen(last + 1), s, braceLevel);
                break;
            }
        }
    }
    MemFree(qualified);
    return found;
}

int DefineTable::ReportExpansionError(int id, const DefineEntry* entry, int scope, const char* expanding,
                                      const char* arg) {
    std::string rows;
    if (entry) {
        rows += "Define:\t";
        rows += entry->displayName ? entry->displayName : (entry->name ? entry->name : "");
        rows += "\n";
        const int home = entry->source.Scope;
        if (home == scope) {
            rows += "File:\t";
            rows += df_ScopePath(this, scope);
            rows += "\n";
        } else {
            rows += "Taken From:\t";
            rows += df_ScopePath(this, home);
            rows += "\nUsed in File:\t";
            rows += df_ScopePath(this, scope);
            rows += "\n";
        }
    }
    if (expanding) {
        rows += "Expanding:\t";
        rows += expanding;
        rows += "\n";
    }
    int rc = ReportCompilerMessage(nullptr, scope, rows.c_str(), id, arg ? arg : "");
    return rc == kResultPending ? kResultPending : kResultShown;
}

int DefineTable::ExpandCall(const DefineEntry* entry, const char* text, size_t wordStart, size_t wordLength, int scope,
                            char** out, size_t* consumed) {
    df_CallFailure failure;
    const char* at = text + wordStart;
    int rc = df_ExpandCallAt(entry, at, std::strlen(at), wordLength, out, consumed, &failure);
    if (rc < 0) return ReportExpansionError(failure.id, entry, scope, text, failure.arg);
    return rc;
}

DefineTable* GetDefineTable(CCTDoc* document) {
    CompileSession* session = GetCompileSession(document);
    return session ? &session->defines : nullptr;
}

// ---- scopes ------------------------------------------------------------------------------------

int EnsureScopes(DefineTable* table, int n) {
    if (!table || n < 0) return kResultShown;
    if (static_cast<size_t>(n) >= table->scopes.size()) {
        try {
            table->scopes.resize(std::max(static_cast<size_t>(n) + 8, 2 * table->scopes.size()));
        } catch (const std::bad_alloc&) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
    }
    if (table->EnsureSlots(n)) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (n > table->highestScope) table->highestScope = n;
    return 0;
}

int EnsureScopes(CCTDoc* document, int n) {
    DefineTable* table = GetDefineTable(document);
    if (!table) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    return EnsureScopes(table, n);
}

CircuitScope* GetScope(DefineTable* table, int scope) {
    if (!table || scope < 0 || scope > table->highestScope || scope >= static_cast<int>(table->scopes.size()))
        return nullptr;
    return &table->scopes[scope];
}

int InitRootScopes(DefineTable* table, const char* documentPath, int documentKind) {
    int rc = EnsureScopes(table, 1);
    if (rc) return rc;
    char include[kPathNameSize];
    GetGlobalIncludePath(include, sizeof include);
    CircuitScope& global = table->scopes[0];
    global.kind = kScopeKindText;
    global.parent = 0;
    global.document = table->owner;
    CircuitScope& top = table->scopes[1];
    top.kind = documentKind == kDocCircuit ? kScopeKindSchematic : kScopeKindText;
    top.parent = 0;
    top.document = table->owner;
    top.instancePart = nullptr;
    const char* path = documentPath ? documentPath : "";
    const char* base = std::strrchr(path, '/');
    base = base ? base + 1 : path;
    std::string name(base, std::strcspn(base, "."));
    try {
        global.path = include;
        global.prefix = kGlobalIncludePrefix;
        global.name = "TARN";
        top.path = path;
        top.name = name;
        top.prefix.clear();
    } catch (const std::bad_alloc&) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    return 0;
}

int InitRootScopes(CCTDoc* document) {
    DefineTable* table = GetDefineTable(document);
    if (!table) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    return InitRootScopes(table, document->PathName(), document->Kind());
}

int NameInstanceScope(DefineTable* table, int scope, int parent, const char* instanceName) {
    int rc = EnsureScopes(table, scope);
    if (rc) return rc;
    CircuitScope* p = GetScope(table, parent);
    std::string prefix;
    if (p && parent >= 2 && !p->prefix.empty()) {
        prefix = p->prefix;
        prefix += '.';
    }
    for (const char* c = instanceName ? instanceName : ""; *c; ++c) prefix.push_back(UpperChar(*c));
    table->scopes[scope].parent = parent;
    table->scopes[scope].prefix = std::move(prefix);
    return 0;
}

char* QualifyName(DefineTable* table, const char* name, int scope) {
    std::string q;
    if (scope == 0) {
        q = kGlobalIncludePrefix;
        q += '.';
    } else if (scope >= 2) {
        CircuitScope* s = GetScope(table, scope);
        if (s && !s->prefix.empty()) {
            q = s->prefix;
            q += '.';
        }
    }
    for (const char* c = name ? name : ""; *c; ++c) q.push_back(UpperChar(*c));
    return df_Duplicate(q);
}

char* CopyPartName(const SchematicObject* part, char* buffer, size_t size) {
    const char* name = GetAttributeText(part, kAttrPart);
    const size_t length = std::strlen(name);
    char* out = buffer;
    if (!buffer || length + 1 >= size) {
        out = static_cast<char*>(MemAlloc(length + 1));
        if (!out) return nullptr;
    }
    for (size_t i = 0; i <= length; ++i) out[i] = UpperChar(name[i]);
    return out;
}

void FreeUnlessBuffer(char* text, char* buffer) {
    if (text && text != buffer) MemFree(text);
}

// ---- entries -------------------------------------------------------------------------------------

int IsSimpleDefineValue(const char* value) {
    if (!value) return 0;
    std::string v = value;
    df_Trim(v);
    if (v.empty()) return 0;
    const size_t n = v.size();
    if (v[0] == '"') return v.find('"', 1) == n - 1 ? 1 : 0;
    if (v[0] == '(' || v[0] == '{') {
        const char open = v[0], close = open == '(' ? ')' : '}';
        int depth = 0;
        for (size_t i = 0; i < n; ++i) {
            if (v[i] == open)
                ++depth;
            else if (v[i] == close && --depth == 0)
                return i == n - 1 ? 1 : 0;
        }
        return 0;
    }
    size_t i = 0;
    if (v[i] == '+' || v[i] == '-') ++i;
    const size_t mantissa = i;
    bool digits = false;
    while (i < n && (HasCharClass(v[i], CC_DIGIT) || v[i] == '.')) digits |= v[i++] != '.';
    if (!digits || i == mantissa) return 0;
    if (i < n && (v[i] == 'E' || v[i] == 'e')) {
        size_t j = i + 1;
        if (j < n && (v[j] == '+' || v[j] == '-')) ++j;
        if (j < n && HasCharClass(v[j], CC_DIGIT)) {
            while (j < n && HasCharClass(v[j], CC_DIGIT)) ++j;
            i = j;
        }
    }
    while (i < n && HasCharClass(v[i], CC_ALPHA) && v[i] != '_') ++i;
    return i == n ? 1 : 0;
}

void FreeArgumentList(char** list, int count) {
    if (!list) return;
    for (int i = 0; i < count; ++i) FreeString(&list[i]);
    MemFree(list);
}

int SplitArgumentList(char*** out, const char* text, int* error) {
    *out = nullptr;
    if (error) *error = 0;
    std::string current;
    std::string joined;  // the pieces, each ended by byte 0
    int count = 0;
    int depth = 0;
    const char* p = text ? text : "";
    bool closed = false;
    auto finish = [&](std::string piece) {
        df_Trim(piece);
        for (size_t k; (k = piece.find(" =")) != std::string::npos;) piece.erase(k, 1);
        joined += piece;
        joined.push_back('\0');
        ++count;
    };
    for (; *p; ++p) {
        if (*p == '(')
            ++depth;
        else if (*p == ')') {
            if (--depth < 0) {
                closed = true;
                ++p;
                break;
            }
        } else if (*p == ',' && depth == 0) {
            finish(current);
            current.clear();
            continue;
        }
        current.push_back(*p);
    }
    if (!closed) return -1;
    while (*p && HasCharClass(*p, CC_SPACE)) ++p;
    if (*p) return -1;
    {
        std::string last = current;
        df_Trim(last);
        if (!(count == 0 && last.empty())) finish(current);
    }
    if (count == 0) return 0;
    char** list2 = static_cast<char**>(MemAllocZero(sizeof(char*) * count));
    if (!list2) {
        if (error) *error = kResultShown;
        return -1;
    }
    const char* piece = joined.c_str();
    for (int i = 0; i < count; ++i) {
        list2[i] = DuplicateString(piece);
        if (!list2[i]) {
            FreeArgumentList(list2, count);
            if (error) *error = kResultShown;
            return -1;
        }
        piece += std::strlen(piece) + 1;
    }
    *out = list2;
    return count;
}

int AddDefine(DefineTable* table, const char* name, const char* argumentText, const char* value,
              const StatementSource& sourceIn, int kind, const char* toleranceText) {
    StatementSource source = sourceIn;
    int16_t promoted = 0;
    if ((kind == kDotParam || kind == kDotFunc) && source.Scope == 1) {
        source.Scope = 0;
        promoted = 1;
    }
    const int scope = source.Scope;
    if (scope < 0) return kResultShown;
    if (EnsureScopes(table, scope > table->highestScope ? scope : table->highestScope)) return kResultShown;
    CircuitScope* s = GetScope(table, sourceIn.Scope);
    const bool textScope = s ? s->kind == kScopeKindText : false;
    const bool hasArgs = argumentText && *argumentText;

    std::string valueText = value ? value : "";
    {
        char* qualified = QualifyName(table, name, scope);
        char buffer[64];
        if (qualified && RunValuesOfDefines().RunTimeValue(qualified, scope, buffer, sizeof buffer)) valueText = buffer;
        FreeString(&qualified);
    }

    const bool paramKind = kind == kDotParam || kind == kDotFunc;
    // .PARAM and .FUNC names are always checked; other names only in text
    // scopes (a schematic may name a define F or X), parameter values never.
    if (paramKind || (textScope && kind != kDefineKindInstanceParam)) {
        int id = df_CheckDefineName(name, hasArgs);
        if (id) return df_Report(source, nullptr, id, name);
    }
    if (!(paramKind && textScope)) {
        if (table->FindInScope(scope, name) >= 0) {
            if (QuietDefinitionErrors) return kResultShown;
            return df_Report(source, nullptr, kMsgDefineDuplicate, name);
        }
        if (IsScopeArrayName(table, name, sourceIn.Scope)) return df_Report(source, nullptr, kMsgDefineArrayName);
    }

    // Split the argument list before anything is stored.
    char** args = nullptr;
    int argCount = 0;
    int16_t emptyList = 0;
    if (hasArgs) {
        const char* inner = argumentText[0] == '(' ? argumentText + 1 : argumentText;
        int error = 0;
        argCount = SplitArgumentList(&args, inner, &error);
        if (argCount < 0) {
            if (error) {
                ReportCompileOutOfMemory();
                return kResultShown;
            }
            return df_Report(source, nullptr, kMsgDefineExpecting, ")");
        }
        emptyList = argCount == 0 ? 1 : 0;
    }

    if (table->entryCounts[scope] >= table->entryCapacities[scope]) {
        const int capacity = table->entryCapacities[scope] ? table->entryCapacities[scope] * 2 : 16;
        void* block = table->entries[scope];
        if (!ResizeZeroed(&block, capacity * sizeof(DefineEntry),
                          table->entryCapacities[scope] * sizeof(DefineEntry))) {
            FreeArgumentList(args, argCount);
            ReportCompileOutOfMemory();
            return kResultShown;
        }
        table->entries[scope] = static_cast<DefineEntry*>(block);
        table->entryCapacities[scope] = capacity;
    }
    DefineEntry entry{};
    entry.kind = kind;
    entry.promoted = promoted;
    entry.source = source;
    entry.argCount = static_cast<int16_t>(argCount);
    entry.emptyArgList = emptyList;
    entry.argNames = args;
    entry.tolerance.Init();
    std::string upperName;
    df_UpperCopy(name, upperName, true);
    std::string upperValue;
    df_UpperCopy(valueText.c_str(), upperValue, true);
    std::string display = upperName + (hasArgs ? argumentText : "");
    entry.name = df_Duplicate(upperName);
    entry.qualifiedName = QualifyName(table, upperName.c_str(), promoted ? 1 : scope);
    entry.value = df_Duplicate(upperValue);
    entry.sourceValue = df_Duplicate(upperValue);
    entry.displayName = df_Duplicate(display);
    entry.toleranceText = toleranceText && *toleranceText ? DuplicateString(toleranceText) : nullptr;
    if (!entry.name || !entry.qualifiedName || !entry.value || !entry.sourceValue || !entry.displayName ||
        (toleranceText && *toleranceText && !entry.toleranceText)) {
        df_FreeEntry(&entry);
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    entry.nameLength = static_cast<int32_t>(upperName.size());
    entry.valueLength = static_cast<int32_t>(upperValue.size());
    entry.simpleValue = IsSimpleDefineValue(entry.value);
    table->entries[scope][table->entryCounts[scope]++] = entry;
    ++table->count;
    DefineEntry& stored = table->entries[scope][table->entryCounts[scope] - 1];
    for (int a = 0; a < argCount; ++a) {
        if (df_CheckDefineName(args[a], false)) {
            // The entry stays, but can never be found or inserted.
            FreeString(&stored.name);
            FreeString(&stored.value);
            stored.nameLength = 0;
            stored.valueLength = 0;
            return df_Report(source, nullptr, df_CheckDefineName(args[a], false), args[a]);
        }
    }
    return 0;
}

int AddFormattedDefine(DefineTable* table, const char* name, const char* format, ...) {
    // Formatted into a growing text: a long value is kept whole.
    char* value = nullptr;
    va_list args;
    va_start(args, format);
    FormatStringV(&value, format, args);
    va_end(args);
    if (!value) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    StatementSource source{kSourceTextLine, 1, 0, 0};
    int rc = AddDefine(table, name, nullptr, value, source, kDotDefine, nullptr);
    FreeString(&value);
    return rc;
}

int ParseDefineStatement(DefineTable* table, const char* text, const StatementSource& source, int keywordIndex) {
    if (!text) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (AttributeDialogOpen && keywordIndex == kDotParameters) {
        int length = MatchDotKeyword(text, kDotParameters);
        if (!length) return 0;
        const char* p = text + length;
        while (HasCharClass(*p, CC_SPACE)) ++p;
        if (*p != '(') return 0;
        char** pieces = nullptr;
        int error = 0;
        int n = SplitArgumentList(&pieces, p + 1, &error);
        if (n < 0) {
            if (error) ReportCompileOutOfMemory();
            return error ? kResultShown : df_Report(source, nullptr, kMsgDefineExpecting, ")");
        }
        int rc = 0;
        for (int i = 0; i < n && !rc; ++i) {
            std::string piece = pieces[i];
            std::string statement = ".define ";
            size_t eq = piece.find('=');
            if (eq == std::string::npos)
                statement += piece + " 1";
            else
                statement += piece.substr(0, eq) + " " + piece.substr(eq + 1);
            rc = ParseDefineStatement(table, statement.c_str(), source, kDotDefine);
        }
        FreeArgumentList(pieces, n);
        return rc;
    }
    int length = MatchDotKeyword(text, keywordIndex);
    if (!length) return 0;
    const char* p = text + length;
    auto skipBlanks = [&]() {
        for (;;) {
            while (*p == ' ' || *p == '\t') ++p;
            if (TextPreservingCompile && source.SourceKind == kSourceTextLine && (*p == '\r' || *p == '\n')) {
                const char* q = p;
                while (*q == '\r' || *q == '\n') ++q;
                if (*q == '+') {
                    p = q + 1;
                    continue;
                }
            }
            if (!TextPreservingCompile && HasCharClass(*p, CC_SPACE)) {
                ++p;
                continue;
            }
            break;
        }
    };
    skipBlanks();
    std::string tolerance;
    if (*p == '{') {
        const char* close = std::strchr(p, '}');
        if (!close) return df_Report(source, nullptr, kMsgDefineMissingBrace);
        tolerance.assign(p + 1, close);
        p = close + 1;
        skipBlanks();
    }
    if (!HasCharClass(*p, CC_ALPHA)) {
        if (!*p) return df_Report(source, nullptr, kMsgDefineMissingName);
        return df_Report(source, nullptr, kMsgDefineBadIdentifier);
    }
    std::string name;
    while (HasCharClass(*p, CC_IDENT)) name.push_back(UpperChar(*p++));
    std::string arguments;
    if (*p == '(') {
        const char* start = p;
        int depth = 0;
        for (; *p; ++p) {
            if (*p == '(')
                ++depth;
            else if (*p == ')' && --depth == 0)
                break;
        }
        if (!*p) return df_Report(source, nullptr, kMsgDefineExpecting, ")");
        ++p;
        for (const char* c = start; c < p; ++c) arguments.push_back(UpperChar(*c));
    }
    skipBlanks();
    // .PARAM and .FUNC may write NAME=VALUE.
    if ((keywordIndex == kDotParam || keywordIndex == kDotFunc) && *p == '=') {
        ++p;
        skipBlanks();
    }
    std::string value = p;
    // ".PARAM RA=2K CA=1N GAIN=4": each NAME=VALUE after the first is a
    // statement of its own.
    std::string following;
    if (keywordIndex == kDotParam && arguments.empty()) {
        const size_t next = df_NextAssignment(value);
        if (next != std::string::npos) {
            following = ".PARAM " + value.substr(next);
            value.resize(next);
            while (!value.empty() && (value.back() == ',' || HasCharClass(value.back(), CC_SPACE))) value.pop_back();
        }
    }
    if (TextPreservingCompile && !value.empty() && value.back() == '\n') {
        value.pop_back();
        if (!value.empty() && value.back() == '\r') value.pop_back();
    }
    // Trailing blanks are not part of the value.
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    const int rc = AddDefine(table, name.c_str(), arguments.empty() ? nullptr : arguments.c_str(), value.c_str(),
                             source, keywordIndex, tolerance.empty() ? nullptr : tolerance.c_str());
    if (rc || following.empty()) return rc;
    return ParseDefineStatement(table, following.c_str(), source, keywordIndex);
}

// ---- substitution ----------------------------------------------------------------------------------

int SubstituteDefines(DefineTable* table, char** out, int scope, const char* text, int literal, int markerMode) {
    std::string buf;
    try {
        df_UpperCopy(text ? text : "", buf, !TextPreservingCompile);
        int rc = 0;
        if (table && df_NeedsWork(table, buf))
            rc = df_SubstituteInPlace(table, buf, scope, literal, markerMode);
        else if (markerMode != kMarkersKeep) {
            std::string tmp;
            for (char c : buf) {
                if (c == kMarkerOpen)
                    c = markerMode == kMarkersToParentheses ? '(' : 0;
                else if (c == kMarkerClose)
                    c = markerMode == kMarkersToParentheses ? ')' : 0;
                if (c) tmp.push_back(c);
            }
            buf.swap(tmp);
        }
        FreeString(out);
        *out = df_Duplicate(buf);
        if (!*out) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
        return rc;
    } catch (const std::bad_alloc&) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
}

char* SubstituteAttribute(DefineTable* table, SchematicObject* part, int attributeId, int* error, bool numeric) {
    if (error) *error = 0;
    const char* text = GetAttributeText(part, attributeId);
    if (!text || !*text) return SharedEmptyString();
    if (attributeId == kAttrModel || attributeId == kAttrFile || attributeId == kAttrTimingModel ||
        attributeId == kAttrIoModel)
        numeric = false;
    char* out = nullptr;
    int rc = SubstituteDefines(table, &out, PartScope(part), text, numeric ? 0 : 1,
                               numeric ? kMarkersToParentheses : kMarkersRemove);
    if (rc) {
        if (error) *error = rc;
        FreeString(&out);
        return SharedEmptyString();
    }
    if (attributeId == kAttrFile && std::strchr(out, '"')) {
        std::string kept;
        bool quoted = false;
        for (const char* c = out; *c; ++c) {
            if (*c == '"')
                quoted = !quoted;
            else if (quoted)
                kept.push_back(*c);
        }
        df_Trim(kept);
        char* copy = df_Duplicate(kept);
        if (!copy) {
            if (error) *error = kResultNoMemory;
            FreeString(&out);
            return SharedEmptyString();
        }
        FreeString(&out);
        out = copy;
    }
    TrimSpaces(out);
    return out;
}

char* SubstitutePartValue(CCTDoc* document, SchematicObject* part, int* error) {
    return SubstituteAttribute(GetDefineTable(document), part, kAttrValue, error, true);
}

bool IsFunctionDefine(DefineTable* table, const char* name, size_t length, int scope) {
    if (!table || !name) return false;
    std::string upper;
    for (size_t i = 0; i < length && name[i]; ++i) upper.push_back(UpperChar(name[i]));
    DefineEntry* e = df_FindVisible(table, upper.c_str(), upper.size(), scope, 1);
    return e && e->IsFunctionLike();
}

// ---- after reading a scope --------------------------------------------------------------------------

namespace {

int df_ParseTolerance(DefineTable* table, DefineEntry& e, int scope) {
    std::string statement = ".define {";
    statement += e.toleranceText;
    statement += "} ";
    statement += e.displayName ? e.displayName : "";
    statement += " ";
    statement += e.sourceValue ? e.sourceValue : "";
    std::string rows = "Define:\t" + statement + "\n";
    std::string tol = e.toleranceText;
    size_t eq = tol.find('=');
    if (eq == std::string::npos) return df_Report(e.source, rows.c_str(), kMsgDefineExpecting, "=");
    std::string keyword = tol.substr(0, eq);
    df_Trim(keyword);
    ToleranceKeyword kw{};
    if (!ParseToleranceKeyword(keyword.c_str(), &kw)) return df_Report(e.source, rows.c_str(), kMsgDefineMissingLot);
    if (kw.rest && *kw.rest) return df_Report(e.source, rows.c_str(), kMsgDefineExtraText, kw.rest);
    std::string valueText = tol.substr(eq + 1);
    df_Trim(valueText);
    const bool percent = !valueText.empty() && valueText.back() == '%';
    char* nominalText = nullptr;
    int rc =
        SubstituteDefines(table, &nominalText, scope, e.sourceValue ? e.sourceValue : "", 0, kMarkersToParentheses);
    if (rc) {
        FreeString(&nominalText);
        return rc;
    }
    int error = 0;
    double nominal = EvaluateNumericText(nominalText, &error, 0);
    FreeString(&nominalText);
    if (error && percent) return df_Report(e.source, rows.c_str(), kMsgDefineLotStatic);
    rc = e.tolerance.Set(error ? 0 : nominal, valueText.c_str(), kw.isLot, kw.digits, kw.distribution);
    if (rc) {
        std::string more = rows + (kw.isLot ? "Lot #:\t" : "Dev #:\t") + valueText + "\n";
        return df_Report(e.source, more.c_str(), rc, valueText.c_str());
    }
    return 0;
}

}  // namespace

int PrepareScopeDefines(DefineTable* table, int scope) {
    if (!table || scope < 0 || scope >= table->scopeSlots) return 0;
    for (int i = 0; i < table->entryCounts[scope]; ++i) {
        DefineEntry& e = table->entries[scope][i];
        if (!e.toleranceText || !*e.toleranceText) continue;
        int rc = df_ParseTolerance(table, e, scope);
        if (rc) return rc;
    }
    if (!PcbNetlistCompile) {
        for (int i = 0; i < table->entryCounts[scope]; ++i) {
            DefineEntry* e = &table->entries[scope][i];
            if (e->IsFunctionLike() || !e->value) continue;
            // Detached, so that a define never finds itself.
            char* value = e->value;
            e->value = nullptr;
            char* expanded = nullptr;
            int rc = SubstituteDefines(table, &expanded, scope, value, 0, kMarkersKeep);
            e = &table->entries[scope][i];  // the table may have grown (library defines)
            if (rc) {
                e->value = value;
                FreeString(&expanded);
                return rc;
            }
            MemFree(value);
            e->value = expanded;
            e->valueLength = static_cast<int32_t>(std::strlen(expanded));
        }
    }
    return CompileScopeArrays(table, scope);
}

void EvaluateUsedDefines(CCTDoc* document) {
    DefineTable* table = GetDefineTable(document);
    if (!table) return;
    for (int s = 0; s < table->scopeSlots; ++s) {
        for (int i = 0; i < table->entryCounts[s]; ++i) {
            DefineEntry& e = table->entries[s][i];
            if (!e.used || e.IsFunctionLike() || !e.value) continue;
            char* text = nullptr;
            const int saveQuiet = QuietDefinitionErrors;
            QuietDefinitionErrors = 1;
            int rc = SubstituteDefines(table, &text, s, e.value, 0, kMarkersToParentheses);
            QuietDefinitionErrors = saveQuiet;
            int error = rc;
            double value = rc ? 0 : EvaluateNumericText(text, &error, 0);
            FreeString(&text);
            e.numericValue = error ? 0 : value;
            if (rc == kResultPending) ClearPendingMessage();
        }
    }
}

DefineEntry* FindDefineByName(CCTDoc* document, const char* name) {
    CompileSession* session = FindCompileSession(document);
    DefineTable* table = session ? &session->defines : nullptr;
    if (!table || !name) return nullptr;
    for (int s = 0; s < table->scopeSlots; ++s) {
        for (int i = 0; i < table->entryCounts[s]; ++i) {
            DefineEntry& e = table->entries[s][i];
            if (!e.IsFunctionLike() && e.qualifiedName && CompareNoCase(e.qualifiedName, name) == 0) return &e;
        }
    }
    return nullptr;
}
