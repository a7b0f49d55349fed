#include "compiler/coupling.h"

#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/setup.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "expr/devicelist.h"

namespace {

constexpr int kCpMsgNotFound = 10802;
constexpr int kCpMsgTwice = 10803;
constexpr int kCpMsgTooMany = 10804;
constexpr int kCpMsgSingle = 10808;
constexpr int kCpMsgCrossLinked = 10809;
constexpr int kCpMsgAlreadyCoupled = 10810;
constexpr int kCpMsgMissingNames = 10811;
constexpr int kCpMsgNegative = 10807;
constexpr int kCpAttrInductors = 21;
constexpr size_t kCpMaxInductors = 50;

// clang-format off
const MessageRow kCpMessageRows[] = {
    {10801, "%EError in coupling device. Inductor %s found more than once."},
    {10802, "%EError in coupling device. Inductor %s not found."},
    {10803, "%EError in coupling device. Inductor %s found more than once."},
    {10804, "%EError in coupling device. Too many inductors."},
    {10808, "%EError in coupling device. Must have more than one inductor name."},
    {10809, "%EError in coupling device. Cross linked %s %s."},
    {10810, "%EError in coupling device. '%s' '%s' already coupled."},
    {10811, "%EError in coupling device. Missing inductor names."},
    {10807, "%EError in coupling device. Inductor %s has a negative value."},
};
// clang-format on

struct cp_Entry {
    InductorCouplingRecord* record = nullptr;
    std::string names;
    std::vector<InductorRecord*> inductors;
};

int cp_Fail(SchematicObject* part, int id, const std::string& a = "", const std::string& b = "") {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, PartScope(part), nullptr, id, a.c_str(), b.c_str());
}

bool cp_Names(const cp_Entry& entry, const InductorRecord* inductor) {
    for (const InductorRecord* known : entry.inductors)
        if (known == inductor) return true;
    return false;
}

const char* cp_PartName(const InductorRecord* inductor) {
    const char* name = inductor && inductor->part ? GetAttributeText(inductor->part, kAttrPart) : nullptr;
    return name ? name : "";
}

}  // namespace

void RegisterCouplingMessages() {
    RegisterMessages(kCpMessageRows, static_cast<int>(sizeof(kCpMessageRows) / sizeof(kCpMessageRows[0])));
}

InductorRecord* FindCoupledInductor(CCTDoc* document, const char* name, int scope, int* status) {
    *status = 0;
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    for (PoolItem* item = document->objects.first; item && compiled; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        if (!part->IsComponent() || !part->definition || part->definition->type != kTypeInductor) continue;
        if (IsPartSkipped(part) || PartScope(part) != scope) continue;
        const char* text = GetAttributeText(part, kAttrPart);
        if (!text || CompareNoCase(text, name) != 0) continue;
        PartLink* link = compiled->FindLink(part);
        if (link && link->record) return static_cast<InductorRecord*>(link->record);
    }
    *status = kCpMsgNotFound;
    return nullptr;
}

int SetupCoupledInductors(CCTDoc* document) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    DeviceListScope devices(compiled->devices);
    std::vector<cp_Entry> entries;
    for (PoolItem* item = compiled->devices[kListInductorCouplings].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<InductorCouplingRecord*>(item);
        SchematicObject* part = record->part;
        if (!part) continue;
        cp_Entry entry;
        entry.record = record;
        int error = 0;
        entry.names = SubstitutedAttribute(part, kCpAttrInductors, false, &error);
        if (error) return error;
        std::string word;
        std::vector<std::string> words;
        for (char c : entry.names + " ") {
            if (c == ' ' || c == ',' || c == '\t') {
                if (!word.empty()) words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        for (const std::string& name : words) {
            if (entry.inductors.size() >= kCpMaxInductors) return cp_Fail(part, kCpMsgTooMany, name);
            int status = 0;
            InductorRecord* inductor = FindCoupledInductor(document, name.c_str(), PartScope(part), &status);
            if (!inductor) return cp_Fail(part, status, name);
            if (cp_Names(entry, inductor)) return cp_Fail(part, kCpMsgTwice, name);
            entry.inductors.push_back(inductor);
        }
        // Couplings that share an inductor must agree on its core.
        for (InductorRecord* inductor : entry.inductors) {
            for (const cp_Entry& earlier : entries) {
                if (!cp_Names(earlier, inductor)) continue;
                if (earlier.record->model != record->model)
                    return cp_Fail(part, kCpMsgCrossLinked, earlier.names, entry.names);
                break;
            }
        }
        if (entry.inductors.empty()) return cp_Fail(part, kCpMsgMissingNames);
        if (entry.inductors.size() == 1 && !record->model) return cp_Fail(part, kCpMsgSingle, words.front());
        for (size_t i = 0; i < entry.inductors.size(); ++i) {
            for (size_t j = i + 1; j < entry.inductors.size(); ++j) {
                for (const cp_Entry& earlier : entries)
                    if (cp_Names(earlier, entry.inductors[i]) && cp_Names(earlier, entry.inductors[j]))
                        return cp_Fail(part, kCpMsgAlreadyCoupled, cp_PartName(entry.inductors[i]),
                                       cp_PartName(entry.inductors[j]));
                // Without a DC path the windings of an ideal coupling float.
                int status = 0;
                AddResistorDevice(entry.inductors[i]->node1, entry.inductors[j]->node1, compiled->maxResistance, 0,
                                  &status);
                if (status) return status;
            }
        }
        entries.push_back(std::move(entry));
    }
    for (cp_Entry& entry : entries) entry.record->inductors = entry.inductors;
    return 0;
}

int CheckCoupledInductorValues(CCTDoc* document) {
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return 0;
    for (PoolItem* item = compiled->devices[kListInductorCouplings].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<InductorCouplingRecord*>(item);
        // A cored winding's value is its number of turns, checked on its own.
        if (record->model) continue;
        for (const InductorRecord* inductor : record->inductors) {
            // The mutual inductance sqrt(L1 L2) k has no meaning for a
            // negative L: refused rather than taken of its magnitude.
            if (inductor->value.compiled.TokenCount() == 0 && inductor->working < 0.0)
                return cp_Fail(record->part, kCpMsgNegative, cp_PartName(inductor));
        }
    }
    return 0;
}
