#include "compiler/dcpath.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/options.h"
#include "compiler/setup.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "compiler/topology.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "models/modeltypes.h"
#include "shell/app.h"
#include "shell/document.h"
#include "shell/preferences.h"

namespace {

enum DcPathMessage : int {
    kMsgNodeNoPath = 10856,
    kMsgNodesNoPath = 10863,
    kMsgNodeTied = 10861,
    kMsgNodesTied = 10862,
};
constexpr int kDpNamedNodes = 9;

// The compact adjacency of nodes 0..N: each node's neighbours in a run of
// slots (one slot per edge end, plus one for the node's grounded mark), -1
// where empty. Built by two walks over the same edges: count, then insert.
class dp_Adjacency {
public:
    explicit dp_Adjacency(int n) : n_(n), counts_(static_cast<size_t>(n) + 2, 0), offsets_(counts_.size(), 0) {}

    void Add(int pass, int a, int b) {
        if (a < 0 || b < 0 || a > n_ || b > n_) return;  // not an analog node of the circuit
        if (pass == 0) {
            ++counts_[a];
            ++counts_[b];
            return;
        }
        Insert(a, b);
        Insert(b, a);
    }
    // After the counting walk: each node's run, with its extra slot last.
    void Layout() {
        size_t total = 0;
        for (int node = 0; node <= n_; ++node) {
            offsets_[node] = total;
            total += static_cast<size_t>(counts_[node]) + 1;
        }
        offsets_[n_ + 1] = total;
        slots_.assign(total, -1);
    }
    // Marks every node that reaches ground: its extra slot becomes 0.
    void Ground() {
        bool changed = true;
        while (changed) {
            changed = false;
            for (int node = 0; node <= n_; ++node) {
                if (!Touches(node, 0)) continue;
                for (size_t s = offsets_[node]; s < offsets_[node + 1] - 1; ++s) {
                    const int neighbour = slots_[s];
                    if (neighbour < 0 || GroundedMark(neighbour) == 0) continue;
                    GroundedMark(neighbour) = 0;
                    changed = true;
                }
            }
        }
    }
    bool Touches(int node, int other) const {
        for (size_t s = offsets_[node]; s < offsets_[node + 1]; ++s)
            if (slots_[s] == other) return true;
        return node == other;
    }

private:
    int& GroundedMark(int node) { return slots_[offsets_[node + 1] - 1]; }
    void Insert(int node, int neighbour) {
        const size_t end = offsets_[node + 1] - 1;
        for (size_t s = offsets_[node]; s < end; ++s) {
            if (slots_[s] == neighbour) return;
            if (slots_[s] < 0) {
                slots_[s] = neighbour;
                return;
            }
        }
    }

    int n_;
    std::vector<int> counts_;
    std::vector<size_t> offsets_;
    std::vector<int> slots_;
};

template <class Record, class F>
void dp_Walk(CompiledCircuit* compiled, int list, F visit) {
    for (PoolItem* item = compiled->devices[list].pool.first; item; item = item->next)
        if (item->type != kPoolItemDead) visit(static_cast<Record*>(item));
}

// The DC edges of every device list, in walking order. Capacitors and
// current sources conduct no DC. Kinds still to come (switches, semiconductors,
// controlled sources, lines, interfaces, N-ports) join here with their edges.
void dp_AddEdges(CompiledCircuit* c, dp_Adjacency& graph, int pass) {
    dp_Walk<InductorRecord>(c, kListInductors, [&](InductorRecord* r) { graph.Add(pass, r->node1, r->node2); });
    dp_Walk<ResistorRecord>(c, kListResistors, [&](ResistorRecord* r) { graph.Add(pass, r->node1, r->node2); });
    // Junctions conduct (at least GMIN) and so do the channels and series
    // resistances; a substrate diode only when the model gives it a current.
    const auto edge = [&](int a, int b) {
        if (a != b) graph.Add(pass, a, b);
    };
    dp_Walk<BipolarRecord>(c, kListBipolars, [&](BipolarRecord* r) {
        edge(r->base, r->basePrime);
        edge(r->collector, r->collectorPrime);
        edge(r->emitter, r->emitterPrime);
        edge(r->basePrime, r->emitterPrime);
        edge(r->basePrime, r->collectorPrime);
        if (ModelParameter(r->model, "ISS") != 0)
            edge(r->substrate, r->modelKind == kModelLpnp ? r->basePrime : r->collectorPrime);
    });
    dp_Walk<JfetRecord>(c, kListJfets, [&](JfetRecord* r) {
        edge(r->drain, r->drainPrime);
        edge(r->source, r->sourcePrime);
        edge(r->gate, r->drainPrime);
        edge(r->gate, r->sourcePrime);
        edge(r->drainPrime, r->sourcePrime);
    });
    dp_Walk<GaasfetRecord>(c, kListGaasfets, [&](GaasfetRecord* r) {
        edge(r->gate, r->gatePrime);
        edge(r->drain, r->drainPrime);
        edge(r->source, r->sourcePrime);
        edge(r->gatePrime, r->drainPrime);
        edge(r->gatePrime, r->sourcePrime);
        edge(r->drainPrime, r->sourcePrime);
    });
    // A MOSFET conducts from drain to source and through its bulk junctions;
    // the gate is insulated. Series resistances join each terminal to its
    // inner node.
    dp_Walk<MosfetRecord>(c, kListMosfets, [&](MosfetRecord* r) {
        for (const auto& [outer, inner] : {std::pair{r->drain, r->drainPrime},
                                           {r->source, r->sourcePrime},
                                           {r->gate, r->gatePrime},
                                           {r->bulk, r->bulkPrime}})
            if (outer != inner) graph.Add(pass, outer, inner);
        graph.Add(pass, r->drainPrime, r->sourcePrime);
        graph.Add(pass, r->bulkPrime, r->drainPrime);
        graph.Add(pass, r->bulkPrime, r->sourcePrime);
    });
    dp_Walk<DiodeRecord>(c, kListDiodes, [&](DiodeRecord* r) {
        if (r->internalAnode != r->anode) graph.Add(pass, r->anode, r->internalAnode);
        graph.Add(pass, r->internalAnode, r->cathode);
    });
    dp_Walk<SineSourceRecord>(c, kListSineSources, [&](SineSourceRecord* r) {
        graph.Add(pass, r->node1, r->internalNode);
        graph.Add(pass, r->internalNode, r->node2);
    });
    dp_Walk<PulseSourceRecord>(c, kListPulseSources,
                               [&](PulseSourceRecord* r) { graph.Add(pass, r->node1, r->node2); });
    dp_Walk<SourceRecord>(c, kListSpiceSources, [&](SourceRecord* r) {
        if (r->sourceKind == kSourceVoltage) graph.Add(pass, r->node1, r->node2);
    });
    dp_Walk<UserSourceRecord>(c, kListUserSources, [&](UserSourceRecord* r) { graph.Add(pass, r->node1, r->node2); });
    dp_Walk<SwitchRecord>(c, kListSwitches, [&](SwitchRecord* r) { graph.Add(pass, r->nodes[0], r->nodes[1]); });
    dp_Walk<VoltageSwitchRecord>(c, kListSSwitches,
                                 [&](VoltageSwitchRecord* r) { graph.Add(pass, r->nodes[0], r->nodes[1]); });
    dp_Walk<CurrentSwitchRecord>(c, kListWSwitches,
                                 [&](CurrentSwitchRecord* r) { graph.Add(pass, r->node1, r->node2); });
    dp_Walk<PolySourceRecord>(c, kListPolySources,
                              [&](PolySourceRecord* r) { graph.Add(pass, r->outPlus, r->outMinus); });
    // Each port of a line conducts through its impedance and its source.
    dp_Walk<IdealLineRecord>(c, kListIdealLines, [&](IdealLineRecord* r) {
        graph.Add(pass, r->portAPlus, r->internalA);
        graph.Add(pass, r->internalA, r->portAMinus);
        graph.Add(pass, r->portBPlus, r->internalB);
        graph.Add(pass, r->internalB, r->portBMinus);
    });
    // A lossy line conducts within each port through its branch.
    dp_Walk<LossyLineRecord>(c, kListLossyLines, [&](LossyLineRecord* r) {
        graph.Add(pass, r->pos1, r->neg1);
        graph.Add(pass, r->pos2, r->neg2);
    });
    dp_Walk<LinearDependentRecord>(c, kListDependentSources, [&](LinearDependentRecord* r) {
        if (r->componentType == 28 || r->componentType == 29) graph.Add(pass, r->outPlus, r->outMinus);
        if (r->componentType == 27 || r->componentType == 29) graph.Add(pass, r->controlPlus, r->controlMinus);
    });
    // Behavioural sources: voltage outputs and current-sensing inputs conduct.
    dp_Walk<FunctionSourceRecord>(c, kListFunctionSources, [&](FunctionSourceRecord* r) {
        if (r->componentType == 37) graph.Add(pass, r->outPlus, r->outMinus);
    });
    const auto controlled = [&](int kind, int inPlus, int inMinus, int outPlus, int outMinus) {
        if (kind >= 2) graph.Add(pass, outPlus, outMinus);
        if (kind == 1 || kind == 3) graph.Add(pass, inPlus, inMinus);
    };
    for (int list : {kListLaplaceSources, kListLaplaceTableSources})
        dp_Walk<LaplaceSourceRecord>(c, list, [&](LaplaceSourceRecord* r) {
            controlled((r->componentType - 31) % 4, r->inPlus, r->inMinus, r->outPlus, r->outMinus);
        });
    dp_Walk<TableSourceRecord>(c, kListTableSources, [&](TableSourceRecord* r) {
        controlled(r->componentType - 39, r->inPlus, r->inMinus, r->outPlus, r->outMinus);
    });
    dp_Walk<SampleHoldRecord>(c, kListSampleHolds,
                              [&](SampleHoldRecord* r) { graph.Add(pass, r->outPlus, r->outMinus); });
}

bool dp_DynamicSchematic(CCTDoc* document) { return document->kind == kDocCircuit && RunState().dynamicAnalysis >= 0; }

}  // namespace

SchematicObject* FindPartOnNode(CCTDoc* document, int node) {
    if (!document) return nullptr;
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        if (!part->IsComponent() || IsPartSkipped(part) || !part->pinNodes) continue;
        for (int pin = 0; pin < part->pinCount; ++pin)
            if (part->pinNodes[pin] == node) return part;
    }
    return nullptr;
}

int BuildNodeAdjacency(CCTDoc* document, int N) {
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled || N < 0) return compiled ? 0 : (ReportCompileOutOfMemory(), kResultShown);
    const bool dynamic = dp_DynamicSchematic(document);
    const bool addPaths = dynamic || Prefs().addDcPathToGround;
    std::vector<int> floating;
    try {
        dp_Adjacency graph(N);
        dp_AddEdges(compiled, graph, 0);
        graph.Layout();
        dp_AddEdges(compiled, graph, 1);
        graph.Ground();
        for (int node = 1; node <= N; ++node)
            if (!graph.Touches(node, 0)) floating.push_back(node);
    } catch (const std::bad_alloc&) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (floating.empty()) return 0;

    std::string names;
    SchematicObject* part = nullptr;
    for (size_t i = 0; i < floating.size() && i < kDpNamedNodes; ++i) {
        if (i) names += ", ";
        names += AnalogNodeName(document, floating[i]);
        if (SchematicObject* onNode = FindPartOnNode(document, floating[i])) part = onNode;
    }
    const bool several = floating.size() > 1;
    if (!addPaths) {
        ShowErrorSource(kOriginPart, part);
        return ReportCompilerMessage(part, 1, nullptr, several ? kMsgNodesNoPath : kMsgNodeNoPath, names.c_str());
    }
    // The added resistors go into this circuit's lists, whichever is current.
    DeviceListScope scope(compiled->devices);
    const CircuitOptions* options = GetCircuitOptions(document);
    const double resistance = options ? options->settings.rNodeGnd : compiled->maxResistance;
    for (int node : floating) {
        int status = 0;
        if (!AddResistorDevice(0, node, resistance, 0, &status)) return status;
    }
    if (!dynamic && Prefs().dcPathWarning)
        ReportCompilerMessage(part, 1, nullptr, several ? kMsgNodesTied : kMsgNodeTied, names.c_str());
    return 0;
}
