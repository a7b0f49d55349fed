#include "compiler/scanner.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/ctdoc.h"
#include "expr/compiled.h"
#include "models/modelstmt.h"

int CompileRenameRequested = 0;
int DefinitionsCompileActive = 0;

namespace {

enum ScannerMessage : int {
    kMsgScanExpecting = 11900,
    kMsgScanMismatch = 11902,
    kMsgScanExtraText = 11904,
    kMsgNameReserved = 10889,
    kMsgNameDuplicate = 10896,
    kMsgNameIllegal = 10897,
    kMsgNamePartDuplicate = 10898,
    kMsgNameRenameQuestion = 10899,
    kMsgNameIllegalNoRename = 10900,
};

int8_t sc_alphabet[256];
bool sc_alphabetBuilt = false;

bool sc_IsLetter(char c) { return HasCharClass(c, CC_UPPER | CC_LOWER); }

// ---- the template scanner -----------------------------------------------------------------

struct ScanState {
    SchematicObject* part;
    int scope;
    ScanCursor tc;  // template
    ScanCursor sc;  // statement
    void* const* outputs;
    int outputCount;
    int out = 0;  // next output pointer
    int depth = 0;
    bool inAngle = false;
    bool valueInGroup = false;
    bool keywordMatched = false;
    bool separatorMatched = false;
    int rewinds = 0;
    char* groupStart = nullptr;  // template position of the last '<'
    int groupOut = 0;
    bool error = false;
};

const char* sc_Next(ScanCursor* cursor, int scope) { return ScanToken(cursor, kScanNext, nullptr, scope); }

void sc_Rewind(ScanState& s) {
    ScanToken(&s.tc, kScanRestore, nullptr);
    s.tc.position = s.groupStart;
    s.out = s.groupOut;
}

// Closes every open group: reads template tokens through the ']' that takes the
// count (depth - 1 to start) below zero; each '%' token skips one output.
void sc_SkipOptionalGroup(ScanState& s, int levels) {
    int count = levels;
    while (const char* t = sc_Next(&s.tc, s.scope)) {
        if (t[0] == '[')
            ++count;
        else if (t[0] == ']' && --count < 0)
            break;
        else if (t[0] == '%')
            ++s.out;
    }
    s.depth = 0;
}

void* sc_Output(ScanState& s) { return s.out >= 0 && s.out < s.outputCount ? s.outputs[s.out] : nullptr; }

int sc_Report(ScanState& s, int id, const char* a = nullptr, const char* b = nullptr) {
    s.error = true;
    ShowErrorSource(kOriginPart, s.part);
    return ReportCompilerMessage(s.part, s.scope, nullptr, id, a ? a : "", b ? b : "");
}

// A value slot (T is "%g", "%f", "%d" or "%t"). Returns 0, or 15055 after a
// message. *statement is the current statement token, updated.
int sc_ValueSlot(ScanState& s, const char* slot, const char*& statement, bool separatorBefore) {
    if (!separatorBefore && sc_IsLetter(statement[0])) {
        ++s.out;
        if (s.valueInGroup && s.depth > 0) sc_SkipOptionalGroup(s, s.depth - 1);
        return 0;
    }
    // Measure on the whole statement text, then terminate the value for a moment.
    char* start = const_cast<char*>(statement);
    ScanToken(&s.sc, kScanRestore, nullptr);
    const int length = ScanValueField(start, s.scope, nullptr, false, false);
    const char keep = start[length];
    start[length] = 0;
    char* text = nullptr;
    DefineTable* table = GetDefineTable(CurrentCircuitDocument());
    int rc = SubstituteDefines(table, &text, s.scope, start, 0, kMarkersToParentheses);
    start[length] = keep;
    if (rc) {
        FreeString(&text);
        s.error = true;
        return kResultShown;
    }
    if (std::strcmp(text, "OFF") == 0) {
        FreeString(&text);
        if (sc_IsLetter(statement[0])) {
            // Left unset; the word is offered to the following keywords (OFF%d).
            s.sc.position = start;
            statement = sc_Next(&s.sc, s.scope);
            return sc_ValueSlot(s, slot, statement, false);
        } else {
            // A value whose define reads OFF: an unset slot that takes the word
            // (examining the slot again would find the same word forever).
            ++s.out;
            s.sc.position = start + length;
            statement = sc_Next(&s.sc, s.scope);
        }
        return 0;
    }
    int error = 0;
    double value = EvaluateNumericText(text, &error, 0);
    FreeString(&text);
    if (error) return sc_Report(s, error);
    void* target = sc_Output(s);
    if (target) {
        switch (slot[1]) {
        case 'd': {
            const double t = value < -2147483648.0 ? -2147483648.0 : value > 2147483647.0 ? 2147483647.0 : value;
            *static_cast<int32_t*>(target) = static_cast<int32_t>(t);
            break;
        }
        case 't': {
            std::memcpy(target, &value, sizeof value);
            const int32_t given = 1;
            std::memcpy(static_cast<char*>(target) + sizeof(double), &given, sizeof given);
            break;
        }
        default: std::memcpy(target, &value, sizeof value); break;
        }
    }
    ++s.out;
    s.sc.position = start + length;
    s.sc.savedAt = nullptr;
    statement = sc_Next(&s.sc, s.scope);
    s.valueInGroup = true;
    return 0;
}

int sc_Scan(ScanState& s, char* templ, char* statement) {
    ScanToken(&s.tc, kScanStart, templ);
    ScanToken(&s.sc, kScanStart, statement);
    const char* T = sc_Next(&s.tc, s.scope);
    const char* S = sc_Next(&s.sc, s.scope);
    char previousFirst = 0;
    int result = 0;
    while (T && S && s.rewinds <= 2) {
        const bool separatorBefore = s.separatorMatched;
        s.separatorMatched = false;
        const char t0 = T[0];
        if (t0 == '<') {
            s.inAngle = true;
            s.groupStart = const_cast<char*>(T);
            s.groupOut = s.out;
        } else if (t0 == '>') {
            s.inAngle = false;
        } else if (t0 == '[') {
            ++s.depth;
            s.valueInGroup = false;
        } else if (t0 == ']') {
            --s.depth;
            if (s.valueInGroup && s.inAngle && s.depth == 0) {
                sc_Rewind(s);
                ++s.rewinds;
            }
        } else if (std::strcmp(T, "%*") == 0) {
            S = sc_Next(&s.sc, s.scope);
            s.rewinds = 0;
        } else if (t0 == '%') {
            result = sc_ValueSlot(s, T, S, separatorBefore);
            if (result) break;
        } else if (t0 == ',' || t0 == '=') {
            if (!s.keywordMatched) {
                // passed over
            } else if (S[0] == t0) {
                s.separatorMatched = true;
                S = sc_Next(&s.sc, s.scope);
                s.rewinds = 0;
            } else if (previousFirst == '[') {
                s.keywordMatched = false;
                if (s.inAngle) {
                    sc_Rewind(s);
                    ++s.rewinds;
                    s.depth = 0;
                    s.valueInGroup = false;
                } else if (s.valueInGroup) {
                    sc_SkipOptionalGroup(s, s.depth - 1);
                }
            } else {
                result = sc_Report(s, kMsgScanMismatch, T, S);
                break;
            }
        } else {
            if (CompareNoCase(T, S) == 0) {
                if (s.tc.savedAt && s.tc.saved == '%') {
                    sc_Next(&s.tc, s.scope);  // the flag's own slot token
                    if (void* target = sc_Output(s)) *static_cast<int32_t*>(target) = 1;
                    ++s.out;
                    if (s.inAngle) {
                        sc_Rewind(s);
                        s.depth = 0;
                        s.valueInGroup = false;
                    }
                }
                s.keywordMatched = true;
                S = sc_Next(&s.sc, s.scope);
                s.rewinds = 0;
            } else if (previousFirst == '[') {
                s.keywordMatched = false;
                sc_SkipOptionalGroup(s, s.depth - 1);
            } else {
                result = sc_Report(s, kMsgScanMismatch, T, S);
                break;
            }
        }
        previousFirst = t0;
        T = sc_Next(&s.tc, s.scope);
    }
    if (s.error) return kResultShown;
    if (S) ReportCompilerMessage(s.part, s.scope, nullptr, kMsgScanExtraText, S);
    // Close the template: what is left must be optional.
    if (T && (s.inAngle || T[0] == '<')) {
        while (T && T[0] != '>') T = sc_Next(&s.tc, s.scope);
        if (T) T = sc_Next(&s.tc, s.scope);
    }
    while (T && (T[0] == '[' || T[0] == ']')) {
        if (T[0] == '[') {
            int count = 1;
            while (count > 0 && (T = sc_Next(&s.tc, s.scope)) != nullptr) {
                if (T[0] == '[')
                    ++count;
                else if (T[0] == ']')
                    --count;
            }
        }
        if (T) T = sc_Next(&s.tc, s.scope);
    }
    if (T) return sc_Report(s, kMsgScanExpecting, T);
    return result;
}

// ---- name indexes ---------------------------------------------------------------------------

void sc_ResetCell(PartIndexCell& cell) { cell = PartIndexCell{nullptr, nullptr}; }
void sc_ResetCell(NodeIndexCell& cell) { cell = NodeIndexCell{nullptr, -1}; }

template <typename Cell>
void sc_FreeNodes(Cell* cells) {
    for (int i = 0; i < kNameAlphabetSize; ++i) {
        if (cells[i].child) {
            sc_FreeNodes(cells[i].child);
            MemFree(cells[i].child);
        }
    }
}

template <typename Cell>
void sc_ClearIndex(Cell* root, int& innerNodes) {
    sc_FreeNodes(root);
    for (int i = 0; i < kNameAlphabetSize; ++i) sc_ResetCell(root[i]);
    innerNodes = 0;
}

// The cell of the name's last character, creating inner nodes on the way
// (create); null when a character is outside the alphabet, a link is missing
// (not create) or memory runs out (*noMemory set).
template <typename Cell>
Cell* sc_Walk(Cell* root, int& innerNodes, const char* name, bool create, bool* noMemory) {
    if (!name || !*name) return nullptr;
    for (const char* c = name; *c; ++c)
        if (NameAlphabetIndex(*c) < 0) return nullptr;
    Cell* cells = root;
    for (const char* c = name;; ++c) {
        Cell& cell = cells[NameAlphabetIndex(*c)];
        if (!c[1]) return &cell;
        if (!cell.child) {
            if (!create) return nullptr;
            Cell* node = static_cast<Cell*>(MemAllocZero(sizeof(Cell) * kNameAlphabetSize));
            if (!node) {
                *noMemory = true;
                return nullptr;
            }
            for (int i = 0; i < kNameAlphabetSize; ++i) sc_ResetCell(node[i]);
            cell.child = node;
            ++innerNodes;
        }
        cells = cell.child;
    }
}

bool sc_IsComponentWithName(const SchematicObject* part) {
    return part->objectKind == kObjectComponent && *GetAttributeText(part, kAttrPart);
}

bool sc_QualifiedNameEquals(DefineTable* table, const SchematicObject* part, const char* key) {
    char* qualified = QualifyName(table, GetAttributeText(part, kAttrPart), PartScope(part));
    const bool same = qualified && std::strcmp(qualified, key) == 0;
    FreeString(&qualified);
    return same;
}

}  // namespace

// ---- tokens ------------------------------------------------------------------------------------

const char* ScanToken(ScanCursor* cursor, int mode, char* text, int scope) {
    static char peek[2];
    switch (mode) {
    case kScanStart:
        cursor->position = text;
        cursor->saved = 0;
        cursor->savedAt = nullptr;
        return nullptr;
    case kScanRestore:
        if (cursor->savedAt) *cursor->savedAt = cursor->saved;
        cursor->savedAt = nullptr;
        return nullptr;
    case kScanPeek:
        peek[0] = cursor->position ? *cursor->position : 0;
        peek[1] = 0;
        return peek;
    default: break;
    }
    ScanToken(cursor, kScanRestore, nullptr);
    char* p = cursor->position;
    if (!p) return nullptr;
    while (HasCharClass(*p, CC_SPACE)) ++p;
    cursor->position = p;
    if (!*p) return nullptr;
    size_t length = 0;
    if (HasCharClass(*p, CC_ALPHA)) {
        while (HasCharClass(p[length], CC_IDENT)) ++length;
    } else if (*p == ';') {
        cursor->position = nullptr;
        return nullptr;
    } else if (std::strchr(",=()[]<>", *p)) {
        length = 1;
    } else if (*p == '%') {
        length = sc_IsLetter(p[1]) || p[1] == '*' ? 2 : 1;
    } else {
        length = static_cast<size_t>(ScanValueField(p, scope, nullptr, false, false));
        if (length == 0)
            while (p[length] && !HasCharClass(p[length], CC_DELIM_SPACE)) ++length;
        if (length == 0) length = 1;
    }
    cursor->savedAt = p + length;
    cursor->saved = p[length];
    p[length] = 0;
    cursor->position = p + length;
    return p;
}

int CountTemplateSlots(const char* templateText) {
    int n = 0;
    for (const char* p = templateText ? templateText : ""; *p; ++p)
        if (*p == '%' && p[1] && p[1] != '*' && sc_IsLetter(p[1])) ++n;
    return n;
}

int ScanStatementV(SchematicObject* part, const char* templateText, const char* statement, void* const* outputs,
                   int outputCount) {
    if (!statement || !*statement) return 0;
    ScanState s{};
    s.part = part;
    s.scope = PartScope(part);
    s.outputs = outputs;
    s.outputCount = outputCount;
    if (CountTemplateSlots(templateText) > outputCount) return sc_Report(s, kMsgScanExpecting, "%");
    // Both texts are scanned in private copies: tokens are terminated in place.
    std::string templ = templateText ? templateText : "";
    std::string text = statement;
    std::vector<char> t(templ.begin(), templ.end());
    t.push_back(0);
    std::vector<char> st(text.begin(), text.end());
    st.push_back(0);
    return sc_Scan(s, t.data(), st.data());
}

int ScanStatement(SchematicObject* part, const char* templateText, const char* statement, ...) {
    const int slots = CountTemplateSlots(templateText);
    std::vector<void*> outputs(static_cast<size_t>(slots));
    va_list args;
    va_start(args, statement);
    for (int i = 0; i < slots; ++i) outputs[static_cast<size_t>(i)] = va_arg(args, void*);
    va_end(args);
    return ScanStatementV(part, templateText, statement, outputs.data(), slots);
}

// ---- names -------------------------------------------------------------------------------------

int IsInvalidName(const char* name, int flags) {
    if (!name || !*name) return 1;
    for (const char* c = name; *c; ++c) {
        if (*c == '.' && (flags & kCheckAllowDot)) continue;
        if (!HasCharClass(*c, CC_NAME)) return 1;
    }
    return 0;
}

int IsPlainIdentifier(const char* text) {
    if (!text || !HasCharClass(*text, CC_ALPHA)) return 1;
    for (const char* c = text + 1; *c; ++c)
        if (!HasCharClass(*c, CC_IDENT)) return 1;
    return 0;
}

int CheckPartName(CCTDoc* document, const char* name, int scope, int flags, SchematicObject* part) {
    (void)document;
    const bool report = (flags & kCheckReport) != 0;
    SchematicObject* found = (flags & kCheckDuplicate) && name ? FindPart(name, scope) : nullptr;
    const bool duplicate = found && found != part;
    auto show = [&](int id, const char* arg) {
        if (part) ShowErrorSource(kOriginPart, part);
        ReportCompilerMessage(part, part ? PartScope(part) : scope, nullptr, id, arg ? arg : "");
    };
    if (flags & (kCheckStrict | kCheckCharacters)) {
        if (!(flags & kCheckNoReserved) && name && IsReservedSymbol(name, false)) {
            if (report) show(kMsgNameReserved, name);
            return 1;
        }
        if (flags & kCheckStrict) {
            const bool invalid = !name || !HasCharClass(*name, CC_ALPHA) || IsInvalidName(name, flags);
            if (invalid) {
                if (part && report && !DefinitionsCompileActive) {
                    const bool ask =
                        scope == 1 && part->page >= 0 && !AttributeDialogOpen && RenamePartsQuestion().CanAsk();
                    if (ask) {
                        if (RenamePartsQuestion().AskRenameParts(name)) CompileRenameRequested = 1;
                    } else {
                        show(kMsgNameIllegalNoRename, name);
                    }
                } else if (report) {
                    show(kMsgNameIllegal, name);
                }
                return 1;
            }
        } else if (IsInvalidName(name, flags)) {
            if (report) show(kMsgNameIllegal, name);
            return 1;
        }
    }
    if (duplicate) {
        if (report) show(part ? kMsgNamePartDuplicate : kMsgNameDuplicate, name);
        return 1;
    }
    return 0;
}

// ---- indexes -------------------------------------------------------------------------------------

int NameAlphabetIndex(char c) {
    if (!sc_alphabetBuilt) BuildNameIndexAlphabets();
    return sc_alphabet[static_cast<unsigned char>(c)];
}

void BuildNameIndexAlphabets() {
    std::memset(sc_alphabet, -1, sizeof sc_alphabet);
    static const char kAlphabet[] = "$%*+-./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    static_assert(sizeof kAlphabet - 1 == kNameAlphabetSize, "44 symbols");
    for (int i = 0; i < kNameAlphabetSize; ++i)
        sc_alphabet[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    sc_alphabetBuilt = true;
}

PartNameIndex::PartNameIndex() {
    for (PartIndexCell& cell : root_) sc_ResetCell(cell);
}

PartNameIndex::~PartNameIndex() { sc_FreeNodes(root_); }

int PartNameIndex::Insert(const char* name, SchematicObject* part) {
    bool noMemory = false;
    PartIndexCell* cell = sc_Walk(root_, innerNodes_, name, true, &noMemory);
    if (noMemory) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (cell) cell->part = part;
    return 0;
}

SchematicObject* PartNameIndex::Find(const char* name) {
    PartIndexCell* cell = sc_Walk(root_, innerNodes_, name, false, nullptr);
    return cell ? cell->part : nullptr;
}

void PartNameIndex::Clear() { sc_ClearIndex(root_, innerNodes_); }

NodeNameIndex::NodeNameIndex() {
    for (NodeIndexCell& cell : root_) sc_ResetCell(cell);
}

NodeNameIndex::~NodeNameIndex() { sc_FreeNodes(root_); }

int NodeNameIndex::Insert(const char* name, int nodeIndex) {
    const bool known = Find(name) >= 0;
    bool noMemory = false;
    NodeIndexCell* cell = sc_Walk(root_, innerNodes_, name, true, &noMemory);
    if (noMemory) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (cell) {
        if (!known) ++entries_;
        cell->node = nodeIndex;
    }
    return 0;
}

int NodeNameIndex::Find(const char* name) {
    NodeIndexCell* cell = sc_Walk(root_, innerNodes_, name, false, nullptr);
    return cell ? cell->node : -1;
}

void NodeNameIndex::Clear() {
    sc_ClearIndex(root_, innerNodes_);
    entries_ = 0;
}

// ---- part lookup ----------------------------------------------------------------------------------

SchematicObject* FindPart(const char* name, int scope) {
    CCTDoc* document = CurrentCircuitDocument();
    if (!document || !name) return nullptr;
    char copy[100];
    CopyUpper(copy, name, sizeof copy);
    CompileSession* session = GetCompileSession(document);
    if (!session) return nullptr;
    DefineTable* table = &session->defines;
    PartNameIndex& index = session->parts;
    const bool indexed = index.InnerNodeCount() > 0;
    if (scope == -1) {
        if (indexed) return index.Find(copy);
        for (PoolItem* item = document->objects.first; item; item = item->next) {
            SchematicObject* part = static_cast<SchematicObject*>(item);
            if (sc_IsComponentWithName(part) && sc_QualifiedNameEquals(table, part, copy)) return part;
        }
        return nullptr;
    }
    char* key = scope == 1 ? DuplicateString(copy) : QualifyName(table, copy, scope);
    if (!key) return nullptr;
    const bool dotted = std::strchr(name, '.') != nullptr;
    SchematicObject* found = nullptr;
    if (indexed) {
        found = index.Find(key);
    } else {
        CircuitScope* record = GetScope(table, scope);
        PoolItem* item = record && record->firstPart ? record->firstPart : document->objects.first;
        for (; item && !found; item = item->next) {
            SchematicObject* part = static_cast<SchematicObject*>(item);
            if (!sc_IsComponentWithName(part)) continue;
            if ((PartScope(part) == scope || dotted) && sc_QualifiedNameEquals(table, part, key)) found = part;
        }
    }
    MemFree(key);
    return found;
}

char* GetQualifiedPartName(const SchematicObject* part) {
    const char* name = GetAttributeText(part, kAttrPart);
    if (!*name) return SharedEmptyString();
    DefineTable* table = GetDefineTable(CurrentCircuitDocument());
    char* qualified = QualifyName(table, name, PartScope(part));
    return qualified ? qualified : SharedEmptyString();
}
