#include "compiler/topology.h"

#include <cstdio>
#include <new>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/setup.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/cmdline.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "document/nodes.h"
#include "expr/runstate.h"
#include "shell/preferences.h"

namespace {

enum TopologyMessage : int {
    kMsgFewConnections = 10842,
    kMsgODeviceNode = 10855,
    kMsgVoltageLoop = 10853,
    kMsgTurns = 10848,
    kMsgPartNodeName = 10866,
    kMsgZeroAcMagnitudes = 11891,
    kMsgSwitchInductor = 10865,
    kMsgMissingWSource = 10854,
    kMsgSourceNotFound = 10799,
};
constexpr int kTpAttrRef = 27;

constexpr int kTpTypeTimer = 146;
constexpr int kTpTypeDcMotor = 145;
constexpr int kTpTypeNfv = 37;
constexpr int kTpTypeAnalogState = 129;

// clang-format off
const MessageRow kTpMessageRows[] = {
    // ---- topology ----
    {10842, "%ELess than two connections at analog node %s."},
    {10855, "%ENo connections on O Device analog node '%s'."},
    {10853, "%EInductor/voltage source loop found."},
    {10865, "%ECan't find an inductor across switch input nodes."},
    {10854, "%EMissing voltage source in W Device."},
    {10799, "%ECan't find the source '%s'."},
    {10848, "%ENumber of turns must be >=1.0"},
    {10866, "%WPart and node have the same name."},
    {11891, "%WThe AC signal magnitudes of all sources in this circuit are zero."},
    // ---- DC path to ground ----
    {10856, "%ENode %s has no DC path to ground."},
    {10863, "%ENodes %s have no DC path to ground."},
    {10861, "%WNode %s has no DC path to ground.\nResistor added."},
    {10862, "%WNodes %s have no DC path to ground.\nResistors added."},
    // ---- device expressions ----
    {10869, "%ELaplace sources require the variable S. For constant gain blocks use the Independent or Function sources."},
    {10870, "%ECan't mix S with other variables in a Laplace source."},
};
// clang-format on

int tp_Fail(SchematicObject* part, int id, const char* text = "") {
    ShowErrorSource(kOriginPart, part);
    return ReportCompilerMessage(part, part ? PartScope(part) : 1, nullptr, id, text);
}

int tp_OutOfMemory() {
    ReportCompileOutOfMemory();
    return kResultShown;
}

// A voltage source alone may leave a terminal dangling: it still defines the
// node's voltage.
bool tp_IsVoltageSourceType(int type) {
    return type == kTypeBattery || type == kTypePulseSource || type == kTypeUserSource || type == kTypeSineSource ||
           type == kTypeVSpice || type == kTpTypeNfv || type == kTpTypeAnalogState;
}

template <class Record, class F>
void tp_Walk(CompiledCircuit* compiled, int list, F visit) {
    for (PoolItem* item = compiled->devices[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) visit(static_cast<Record*>(item));
}

// One voltage-defined branch: its two nodes and the part it belongs to.
struct tp_Branch {
    int a, b;
    SchematicObject* part;
};

// The voltage-defined branches in walking order. New kinds (controlled,
// Laplace, function and table sources) join here with their output nodes.
std::vector<tp_Branch> tp_VoltageBranches(CompiledCircuit* c) {
    std::vector<tp_Branch> branches;
    if (!c->skipInductorLoopCheck)
        tp_Walk<InductorRecord>(c, kListInductors, [&](InductorRecord* r) {
            branches.push_back({r->node1, r->node2, r->part});
        });
    tp_Walk<SineSourceRecord>(c, kListSineSources, [&](SineSourceRecord* r) {
        branches.push_back({r->internalNode, r->node2, r->part});
    });
    tp_Walk<PulseSourceRecord>(c, kListPulseSources, [&](PulseSourceRecord* r) {
        branches.push_back({r->node1, r->node2, r->part});
    });
    tp_Walk<SourceRecord>(c, kListSpiceSources, [&](SourceRecord* r) {
        if (r->sourceKind == kSourceVoltage) branches.push_back({r->node1, r->node2, r->part});
    });
    tp_Walk<UserSourceRecord>(c, kListUserSources, [&](UserSourceRecord* r) {
        branches.push_back({r->node1, r->node2, r->part});
    });
    tp_Walk<LinearDependentRecord>(c, kListDependentSources, [&](LinearDependentRecord* r) {
        if (r->componentType == 28 || r->componentType == 29) branches.push_back({r->outPlus, r->outMinus, r->part});
    });
    tp_Walk<FunctionSourceRecord>(c, kListFunctionSources, [&](FunctionSourceRecord* r) {
        if (r->componentType == 37) branches.push_back({r->outPlus, r->outMinus, r->part});
    });
    for (int list : {kListLaplaceSources, kListLaplaceTableSources})
        tp_Walk<LaplaceSourceRecord>(c, list, [&](LaplaceSourceRecord* r) {
            if ((r->componentType - 31) % 4 >= 2) branches.push_back({r->outPlus, r->outMinus, r->part});
        });
    tp_Walk<TableSourceRecord>(c, kListTableSources, [&](TableSourceRecord* r) {
        if (r->componentType - 39 >= 2) branches.push_back({r->outPlus, r->outMinus, r->part});
    });
    tp_Walk<SampleHoldRecord>(c, kListSampleHolds, [&](SampleHoldRecord* r) {
        branches.push_back({r->outPlus, r->outMinus, r->part});
    });
    return branches;
}

}  // namespace

void RegisterCircuitCheckMessages() {
    RegisterMessages(kTpMessageRows, static_cast<int>(sizeof(kTpMessageRows) / sizeof(kTpMessageRows[0])));
}

std::string AnalogNodeName(CCTDoc* document, int node) {
    if (node == 0) return "0";
    if (document) {
        const std::vector<NodeNameEntry>& names = document->build.nodeNames;
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            if (it->node == node && it->kind == 0 && !it->name.empty()) return it->name;
        if (CompiledCircuit* compiled = FindCompiledCircuit(document)) {
            auto found = compiled->internalNodeNames.find(node);
            if (found != compiled->internalNodeNames.end()) return found->second;
        }
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d", node);
    return text;
}

int CheckNodeConnections(CCTDoc* document, int floatingCheck) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) return tp_OutOfMemory();
    const int count = compiled->analogNodeCount;
    std::vector<int> connections;
    std::vector<SchematicObject*> lastPart;
    try {
        connections.assign(static_cast<size_t>(count) + 1, 0);
        lastPart.assign(static_cast<size_t>(count) + 1, nullptr);
    } catch (const std::bad_alloc&) {
        return tp_OutOfMemory();
    }
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        if (!part->IsComponent() || !part->definition || IsPartSkipped(part)) continue;
        const int type = part->definition->type;
        if (type == kTypeMacro || type == kTypeSubckt) continue;
        for (int pin = 0; pin < part->pinCount && part->pinNodes; ++pin) {
            if (IsDigitalPin(part, pin)) continue;
            const int node = part->pinNodes[pin];
            // Digital and unnumbered nodes are no analog nodes of this check.
            if (node < 0 || node > count) continue;
            int weight = 1;
            if (type == kTypeO && !floatingCheck) weight = 0;
            if ((type == kTpTypeTimer && pin <= 2) || type == kTpTypeDcMotor) weight = 2;
            connections[node] += weight;
            lastPart[node] = part;
        }
    }
    for (int node = 1; node <= count; ++node) {
        SchematicObject* part = lastPart[node];
        if (!part) continue;
        const int type = part->definition->type;
        if (connections[node] == 1 && floatingCheck && !tp_IsVoltageSourceType(type))
            return tp_Fail(part, kMsgFewConnections, AnalogNodeName(document, node).c_str());
        if (connections[node] == 0 && !floatingCheck && type == kTypeO)
            return tp_Fail(part, kMsgODeviceNode, AnalogNodeName(document, node).c_str());
    }
    return 0;
}

int CheckVoltageLoops(CCTDoc* document, int analogNodeCount) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled || analogNodeCount < 0) return compiled ? 0 : tp_OutOfMemory();
    std::vector<tp_Branch> branches;
    std::vector<int> label, marked;
    try {
        branches = tp_VoltageBranches(compiled);
        label.assign(static_cast<size_t>(analogNodeCount) + 1, 0);
        marked.assign(static_cast<size_t>(analogNodeCount) + 1, 0);
    } catch (const std::bad_alloc&) {
        return tp_OutOfMemory();
    }
    // A branch to a node outside the numbered range cannot be labelled; it
    // takes no part (the node-connection and numbering steps own such faults).
    auto inRange = [&](int node) { return node >= 0 && node <= analogNodeCount; };
    for (const tp_Branch& branch : branches)
        if (inRange(branch.a) && inRange(branch.b)) marked[branch.a] = marked[branch.b] = 1;

    for (int start = 0; start <= analogNodeCount; ++start) {
        if (!marked[start]) continue;
        std::fill(label.begin(), label.end(), 0);
        label[start] = -1;
        bool changed = true;
        while (changed) {
            changed = false;
            for (size_t k = 0; k < branches.size(); ++k) {
                const int i = static_cast<int>(k) + 1;
                const int a = branches[k].a, b = branches[k].b;
                if (!inRange(a) || !inRange(b) || label[a] == i || label[b] == i) continue;
                const tp_Branch& branch = branches[k];
                if (label[a] != 0) {
                    if (label[a] == -1) label[a] = i;
                    if (label[b] != 0) return tp_Fail(branch.part, kMsgVoltageLoop);
                    label[b] = i;
                    changed = true;
                } else if (label[b] == -1) {
                    label[b] = label[a] = i;
                    changed = true;
                } else if (label[b] != 0) {
                    label[a] = i;
                    changed = true;
                }
            }
        }
    }
    return 0;
}

int CheckSwitchInductors(CCTDoc* document) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) return tp_OutOfMemory();
    // A current-controlled switch senses the inductor across its control pins.
    int result = 0;
    tp_Walk<SwitchRecord>(compiled, kListSwitches, [&](SwitchRecord* sw) {
        if (sw->switchKind != 3) return;
        sw->controllingInductor = nullptr;
        tp_Walk<InductorRecord>(compiled, kListInductors, [&](InductorRecord* l) {
            if (sw->controllingInductor) return;
            if ((l->node1 == sw->nodes[2] && l->node2 == sw->nodes[3]) ||
                (l->node1 == sw->nodes[3] && l->node2 == sw->nodes[2]))
                sw->controllingInductor = l;
        });
        if (!sw->controllingInductor) result = tp_Fail(sw->part, kMsgSwitchInductor);
    });
    return result;
}

int ResolveWDeviceSources(CCTDoc* document) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) return tp_OutOfMemory();
    int result = 0;
    tp_Walk<CurrentSwitchRecord>(compiled, kListWSwitches, [&](CurrentSwitchRecord* w) {
        if (result || w->controllingSource) return;
        int error = 0;
        const std::string name = SubstitutedAttribute(w->part, kTpAttrRef, true, &error);
        if (error) {
            result = kResultShown;
            return;
        }
        if (name.empty()) {
            result = tp_Fail(w->part, kMsgMissingWSource);
            return;
        }
        SchematicObject* source = FindPart(name.c_str(), PartScope(w->part));
        PartLink* link = source ? compiled->FindLink(source) : nullptr;
        const int type = source && source->definition ? source->definition->type : -1;
        if (!link || !link->record) {
            result = tp_Fail(w->part, kMsgSourceNotFound, name.c_str());
            return;
        }
        if (type == kTypeVSpice && static_cast<SourceRecord*>(link->record)->sourceKind == kSourceVoltage) {
            w->controllingBranch = &static_cast<SourceRecord*>(link->record)->branch;
        } else if (type == kTypePulseSource) {
            w->controllingBranch = &static_cast<PulseSourceRecord*>(link->record)->branch;
        } else if (type == kTypeSineSource) {
            w->controllingBranch = &static_cast<SineSourceRecord*>(link->record)->branch;
        } else {
            result = tp_Fail(w->part, kMsgSourceNotFound, name.c_str());
            return;
        }
        w->controllingSource = link->record;
    });
    return result;
}

void LinkLossyLineInstances(CCTDoc*) {
    // Lossy lines cannot be set up yet: no model has an instance to chain.
}

int CheckTransformerTurns(CCTDoc* document) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) return tp_OutOfMemory();
    // The inductors of a K part with a core model are its windings; their
    // value is the number of turns the core model reads.
    int result = 0;
    tp_Walk<InductorCouplingRecord>(compiled, kListInductorCouplings, [&](InductorCouplingRecord* k) {
        if (result || !k->model) return;
        for (InductorRecord* inductor : k->inductors) {
            if (inductor && inductor->working < 1.0) {
                result = tp_Fail(inductor->part, kMsgTurns);
                return;
            }
        }
    });
    return result;
}

int CheckPartNodeNames(CCTDoc* document) {
    if (!document || BatchMode()) return 0;
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        if (!part->IsComponent() || IsPartSkipped(part)) continue;
        const char* name = GetAttributeText(part, kAttrPart);
        if (!*name || FindNodeNumber(document, name, PartScope(part), 0) < 0) continue;
        ReportCompilerMessage(part, PartScope(part), nullptr, kMsgPartNodeName);
        return 0;
    }
    return 0;
}

void WarnZeroAcMagnitudes(CCTDoc* document) {
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled || gSolver.AnalysisKind != 1) return;
    DeviceListSet& lists = compiled->devices;
    if (lists[kListSineSources].pool.count || lists[kListPulseSources].pool.count ||
        lists[kListUserSources].pool.count || lists[kListFunctionSources].pool.count)
        return;
    bool driven = false;
    tp_Walk<SourceRecord>(compiled, kListSpiceSources,
                          [&](SourceRecord* r) { driven = driven || r->values[kSourceFieldAcMagnitude] != 0.0; });
    if (driven || DemoPlaying() || BatchMode() || !Prefs().acSignalWarning) return;
    ReportCompilerMessage(nullptr, 1, nullptr, kMsgZeroAcMagnitudes);
}
