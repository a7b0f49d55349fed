#include "compiler/initconds.h"

#include <cctype>
#include <cstring>
#include <string>

#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/statements.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "core/services.h"
#include "core/stringarray.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"

namespace {

enum : int {
    kMsgExpecting = 11900,
    kMsgExtraText = 11903,
    kMsgNodeNotDefined = 10924,
    kMsgDigitalState = 10925,
    kMsgInductorNotDefined = 10926,
    kMsgExpectingValue = 10927,
};

const MessageRow kInitialConditionRows[] = {
    {kMsgNodeNotDefined, "%ENode not defined."},
    {kMsgDigitalState, "%EExpecting a digital state but found '%s'."},
    {kMsgInductorNotDefined, "%EInductor not defined."},
    {kMsgExpectingValue, "%EExpecting a value but found '%s'."},
};

// Node kinds of the compiled node-name table.
constexpr int kAnalogNodeKind = 0;
constexpr int kDigitalNodeKind = 1;

bool ic_Is(const StringArray& words, int i, const char* word) { return std::strcmp(words.Token(i), word) == 0; }

// The inductor an I(name) names: an inductor part, or the primary (.LP) or
// secondary (.LS) winding of a transformer part; null when none.
InductorRecord* ic_FindInductor(CompiledCircuit* compiled, const std::string& name, int scope) {
    if (!compiled) return nullptr;
    auto recordOf = [&](SchematicObject* part) -> DeviceRecord* {
        PartLink* link = part ? compiled->FindLink(part) : nullptr;
        return link ? link->record : nullptr;
    };
    SchematicObject* part = FindPart(name.c_str(), scope);
    if (part && part->definition && part->definition->type == kTypeInductor)
        return static_cast<InductorRecord*>(recordOf(part));
    if (name.size() > 3) {
        const std::string suffix = name.substr(name.size() - 3);
        if (suffix == ".LP" || suffix == ".LS") {
            SchematicObject* transformer = FindPart(name.substr(0, name.size() - 3).c_str(), scope);
            if (transformer && transformer->definition && transformer->definition->type == kTypeTransformer) {
                auto* coupling = static_cast<TransformerCouplingRecord*>(recordOf(transformer));
                if (coupling) return suffix == ".LP" ? coupling->primary : coupling->secondary;
            }
        }
    }
    return nullptr;
}

// Adds or updates the entry of the same kind and nodes (inductor); a .IC
// value is never replaced by a .NODESET.
void ic_Store(StatementState& state, const InitialConditionEntry& entry) {
    for (InitialConditionEntry& existing : state.initialConditions) {
        if (existing.kind != entry.kind) continue;
        const bool same = entry.kind == 'I' ? existing.inductor == entry.inductor
                                            : existing.node1 == entry.node1 && existing.node2 == entry.node2;
        if (!same) continue;
        if (existing.source == kFromInitialCondition && entry.source == kFromNodeSet) return;
        existing = entry;
        return;
    }
    state.initialConditions.push_back(entry);
}

// Applies one stored statement: 0, or 15055 after a shown message.
int ic_Apply(CCTDoc* document, StatementState& state, const StoredInitialStatement& stored) {
    const char* text = stored.text.c_str();
    const int scope = stored.scope;
    const std::string statementRows = "Text:\t" + stored.text + "\n";
    auto fail = [&](const char* rows, int id, const char* argument) {
        return ReportCompilerMessage(nullptr, scope, rows, id, argument);
    };
    StringArray words;
    if (int rc = words.SplitLine(text, kSplitNames)) return rc;
    const bool nodeSet = MatchDotKeywordExact(text, kDotNodeset) > 0;
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    int i = 1;
    while (words.Token(i)[0] != 0) {
        const std::string kindWord = words.Token(i);
        if (kindWord != "V" && kindWord != "I" && kindWord != "D")
            return fail(statementRows.c_str(), kMsgExtraText, stored.text.c_str());
        ++i;
        if (!ic_Is(words, i, "(")) return fail(statementRows.c_str(), kMsgExpecting, "(");
        ++i;
        InitialConditionEntry entry;
        entry.kind = kindWord[0];
        entry.source = nodeSet ? kFromNodeSet : kFromInitialCondition;
        const std::string first = words.Token(i);
        if (entry.kind == 'I') {
            entry.inductor = ic_FindInductor(compiled, first, scope);
            if (!entry.inductor) {
                const std::string rows = "Inductor:\t" + first + "\n";
                return fail(rows.c_str(), kMsgInductorNotDefined, first.c_str());
            }
            entry.node1 = entry.inductor->node1;
            entry.node2 = entry.inductor->node2;
            ++i;
        } else {
            const int nodeKind = entry.kind == 'D' ? kDigitalNodeKind : kAnalogNodeKind;
            auto node = [&](const std::string& name, int32_t* out) {
                *out = FindNodeNumber(document, name.c_str(), scope, nodeKind);
                if (*out >= 0 && !name.empty()) return 0;
                const std::string rows = "Node:\t" + name + "\n";
                return fail(rows.c_str(), kMsgNodeNotDefined, name.c_str());
            };
            if (int rc = node(first, &entry.node1)) return rc;
            ++i;
            if (entry.kind == 'V' && ic_Is(words, i, ",")) {
                if (int rc = node(words.Token(i + 1), &entry.node2)) return rc;
                i += 2;
            }
        }
        if (!ic_Is(words, i, ")")) return fail(statementRows.c_str(), kMsgExpecting, ")");
        ++i;
        if (ic_Is(words, i, "=")) ++i;
        const char* valueWord = words.Token(i);
        if (entry.kind == 'D') {
            const char* letter = valueWord[0] == '\'' ? valueWord + 1 : valueWord;
            const int index = letter[0] != 0 && letter[1] == 0 ? DigitalStateIndex(letter[0]) : -1;
            if (index < 0) return fail(statementRows.c_str(), kMsgDigitalState, valueWord[0] ? valueWord : "nothing");
            entry.state = static_cast<int16_t>(index);
        } else {
            int error = valueWord[0] == 0;
            const double value = error ? 0 : EvaluateNumericText(valueWord, &error, 0);
            if (error) return fail(statementRows.c_str(), kMsgExpectingValue, valueWord[0] ? valueWord : "nothing");
            entry.value = value;
        }
        ++i;
        ic_Store(state, entry);
        if (nodeSet)
            state.nodeSetsPresent = true;
        else
            state.initialConditionsPresent = true;
    }
    return 0;
}

// The capacitors and inductors that carry their own initial value.
void ic_AddPartValues(CCTDoc* document, StatementState& state) {
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return;
    for (PoolItem* item = compiled->devices[kListCapacitors].pool.first; item; item = item->next) {
        auto* capacitor = static_cast<CapacitorRecord*>(item);
        if (!capacitor->icGiven) continue;
        InitialConditionEntry entry;
        entry.kind = 'V';
        entry.value = capacitor->ic;
        entry.node1 = capacitor->node1;
        entry.node2 = capacitor->node2;
        ic_Store(state, entry);
        state.initialConditionsPresent = true;
    }
    for (PoolItem* item = compiled->devices[kListInductors].pool.first; item; item = item->next) {
        auto* inductor = static_cast<InductorRecord*>(item);
        if (!inductor->icGiven) continue;
        InitialConditionEntry entry;
        entry.kind = 'I';
        entry.value = inductor->ic;
        entry.inductor = inductor;
        entry.node1 = inductor->node1;
        entry.node2 = inductor->node2;
        ic_Store(state, entry);
        state.initialConditionsPresent = true;
    }
}

class SessionInitialConditions final : public InitialConditionStore {
public:
    bool Active() const override { return true; }
    int Read(CCTDoc* document, const char* text, int mode, int scope) override {
        return ReadInitialConditions(document, text, mode, scope);
    }
};

}  // namespace

void RegisterInitialConditionMessages() {
    RegisterMessages(kInitialConditionRows,
                     static_cast<int>(sizeof(kInitialConditionRows) / sizeof(kInitialConditionRows[0])));
}

int ReadInitialConditions(CCTDoc* document, const char* statement, int mode, int scope) {
    CompileSession* session = GetCompileSession(document);
    if (!session) return kResultNoMemory;
    StatementState& state = session->statements;
    switch (mode) {
    case kInitialClear: state.initialStatements.clear(); return 0;
    case kInitialStore: {
        StoredInitialStatement stored;
        stored.scope = scope;
        stored.text = statement ? statement : "";
        for (char& c : stored.text) {
            if (c == '\r' || c == '\n') c = ' ';
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        state.initialStatements.push_back(std::move(stored));
        return 0;
    }
    case kInitialApply: {
        state.initialConditions.clear();
        state.nodeSetsPresent = false;
        state.initialConditionsPresent = false;
        for (const StoredInitialStatement& stored : state.initialStatements)
            if (int rc = ic_Apply(document, state, stored)) return rc;
        ic_AddPartValues(document, state);
        return 0;
    }
    case kInitialFree:
        state.initialStatements = {};
        state.initialConditions = {};
        return 0;
    default: return 0;
    }
}

const std::vector<InitialConditionEntry>* InitialConditionTable(const CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    return session ? &session->statements.initialConditions : nullptr;
}

bool NodeSetsPresent(const CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    return session && session->statements.nodeSetsPresent;
}

bool InitialConditionsPresent(const CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    return session && session->statements.initialConditionsPresent;
}

void InstallInitialConditionStore() {
    static SessionInitialConditions store;
    InstallInitialConditions(&store);
}

// ---- the dot-command handlers -------------------------------------------------------------------

int ReadIcStatement(SpiceStatementContext& context, char* statement) {
    return ReadInitialConditions(context.document, statement, kInitialStore, context.scope);
}

int ReadNodesetStatement(SpiceStatementContext& context, char* statement) {
    return ReadInitialConditions(context.document, statement, kInitialStore, context.scope);
}
