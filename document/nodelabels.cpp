// Node labels, connection points, wire nodes, node-name lookups and stored
// state variables.
#include "document/nodelabels.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/chars.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/port.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "core/services.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/nodegrid.h"
#include "document/nodes.h"
#include "shell/app.h"
#include "shell/report.h"

namespace {

constexpr int nl_kGrowStep = 10;

SchematicObject* nl_First(CCirDoc* doc) { return static_cast<SchematicObject*>(doc->objects.first); }
SchematicObject* nl_Next(const SchematicObject* o) { return static_cast<SchematicObject*>(o->next); }

void nl_ClearEntries(NodeLabel* entries, int from, int to) {
    for (int i = from; i < to; ++i) {
        entries[i] = NodeLabel{};
        entries[i].kind = kNodeLabelFree;
    }
}

// Room for at least `needed` entries, growing by ten at a time. False when out
// of memory (the table is then unchanged).
bool nl_EnsureRoom(NodeLabel** entries, int* capacity, int needed) {
    if (needed <= *capacity) return true;
    int room = *capacity;
    while (room < needed) room += nl_kGrowStep;
    void* block = *entries;
    if (!ReallocBlock(&block, static_cast<size_t>(room) * sizeof(NodeLabel))) return false;
    *entries = static_cast<NodeLabel*>(block);
    nl_ClearEntries(*entries, *capacity, room);
    *capacity = room;
    return true;
}

// A pin that carries no label: ground, and hidden pins on nodes that geometry
// already numbered.
bool nl_SkipPin(const SchematicObject* o, int pin, int node, int highestGeometric) {
    if (node == 0) return true;
    return IsHiddenPin(o, pin) && node <= highestGeometric;
}

struct nl_LabelBuild {
    NodeLabel* entries = nullptr;
    int capacity = 0;
    int highest = 0;  // entries above are interface entries
    int last = 0;     // highest index in use
    int serial = 0;

    void Take(NodeLabel& e, int node, uint8_t kind, const SchematicObject* o, int pin) {
        const SchPoint p = GetPinPosition(o, pin);
        e.valueIndex = ++serial;
        e.node = node;
        e.kind = kind;
        e.page = o->page;
        e.x = p.x;
        e.y = p.y;
    }
};

// The digital pass for one pin; false when out of memory.
bool nl_DigitalPin(nl_LabelBuild& b, const SchematicObject* o, int pin, int node) {
    const int type = o->definition->type;
    NodeLabel* target = &b.entries[node];
    if (target->kind == kNodeLabelAnalog && type != kTypeMacro && type != kTypeSubckt) {
        // A digital pin on an analog node meets it through an interface.
        uint8_t direction = pin < o->definition->GetInputPinCount() ? kInterfaceAtoD : kInterfaceDtoA;
        NodeLabel* match = nullptr;
        for (int i = b.highest + 1; i <= b.last; ++i) {
            NodeLabel& e = b.entries[i];
            if (e.kind == kNodeLabelFree || e.node != node) continue;
            if (direction == kInterfaceDtoA) e.interfaceKind = kInterfaceDtoA;
            if (e.interfaceKind == kInterfaceDtoA) direction = kInterfaceDtoA;
            match = &e;
        }
        if (match) {
            target = match;
        } else {
            if (!nl_EnsureRoom(&b.entries, &b.capacity, b.last + 2)) return false;
            target = &b.entries[++b.last];
            target->interfaceKind = direction;
        }
    }
    if (target->kind == kNodeLabelFree) b.Take(*target, node, kNodeLabelDigital, o, pin);
    return true;
}

uint64_t nl_PointKey(int32_t x, int32_t y) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
}

}  // namespace

// ---- the label table --------------------------------------------------------------------

int NodeLabelCapacity(const CCirDoc* document) {
    if (!document || !document->nodeLabels) return 0;
    return static_cast<int>(HeapBlockSize(document->nodeLabels) / sizeof(NodeLabel));
}

void FreeNodeLabels(CCirDoc* document) {
    if (!document) return;
    MemFree(document->nodeLabels);
    document->nodeLabels = nullptr;
    document->nodeLabelCount = 0;
}

NodeLabel* GetNodeLabel(CCirDoc* document, int i) {
    if (!document || i < 1 || i > document->nodeLabelCount || i >= NodeLabelCapacity(document)) return nullptr;
    return &document->nodeLabels[i];
}

int BuildNodeLabels(CCirDoc* document) {
    if (!document) return kOk;
    nl_LabelBuild b;
    b.highest = std::max(0, HighestNodeNumber(document));
    b.last = b.highest;
    b.capacity = b.highest + nl_kGrowStep;
    b.entries = static_cast<NodeLabel*>(MemAlloc(static_cast<size_t>(b.capacity) * sizeof(NodeLabel)));
    if (!b.entries) return kResultNoMemory;
    nl_ClearEntries(b.entries, 0, b.capacity);
    const int geometric = HighestGeometricNodeNumber(document);

    for (int pass = 0; pass < 2; ++pass) {
        for (SchematicObject* o = nl_First(document); o; o = nl_Next(o)) {
            if (!IsNumberedComponent(o) || !o->pinNodes) continue;
            for (int i = 0; i < o->pinCount; ++i) {
                const int node = o->pinNodes[i];
                if (node < 1 || node > b.highest || nl_SkipPin(o, i, node, geometric)) continue;
                const int digital = IsDigitalPin(o, i);
                if (pass == 0 && digital == 0) {
                    if (b.entries[node].kind == kNodeLabelFree) b.Take(b.entries[node], node, kNodeLabelAnalog, o, i);
                } else if (pass == 1 && digital == 1) {
                    if (!nl_DigitalPin(b, o, i, node)) {
                        MemFree(b.entries);
                        return kResultNoMemory;
                    }
                }
            }
        }
    }

    // Offsets the user gave old labels stay with the same node, page and anchor.
    NodeLabel* old = document->nodeLabels;
    const int oldCount = std::min(document->nodeLabelCount, NodeLabelCapacity(document) - 1);
    for (int i = 1; i <= oldCount; ++i) {
        const NodeLabel& o = old[i];
        if (o.offsetX == 0 && o.offsetY == 0) continue;
        for (int j = 1; j <= b.last; ++j) {
            NodeLabel& e = b.entries[j];
            if (e.kind != kNodeLabelFree && e.x == o.x && e.y == o.y && e.page == o.page && e.node == o.node) {
                e.offsetX = o.offsetX;
                e.offsetY = o.offsetY;
            }
        }
    }
    MemFree(old);
    document->nodeLabels = b.entries;
    // Every node 1..highest has its label and the interface entries follow,
    // so the serial count and the last index agree; the index is the safe one.
    document->nodeLabelCount = b.last;
    return kOk;
}

// ---- connection points ----------------------------------------------------------------

void FreeConnectionPoints(CCirDoc* document) {
    if (!document) return;
    MemFree(document->connectionPoints);
    document->connectionPoints = nullptr;
    document->connectionPointCount = 0;
}

int BuildConnectionPoints(CCirDoc* document, const NodeGrid& grid) {
    if (!document) return kOk;
    const size_t room = static_cast<size_t>(grid.slotCount) + static_cast<size_t>(document->gridTexts.count) + 1;
    ConnectionPoint* list = static_cast<ConnectionPoint*>(MemAllocZero(room * sizeof(ConnectionPoint)));
    if (!list) return kResultNoMemory;
    int n = 0;
    for (int32_t s = 1; s <= grid.slotCount; ++s) {
        const NodeGridCell& c = grid.cells[s - 1];
        list[n++] = ConnectionPoint{
            c.x, c.y, grid.slotNodes[s], c.count >= 3 ? kPointJunction : kPointPlain, static_cast<int16_t>(c.page), 0};
    }
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        GridTextObject* t = static_cast<GridTextObject*>(item);
        t->node = -1;
        if (!(t->flags & kGridTextNamesNode)) continue;
        const int32_t slot = document->PageKind(t->page) == kPageSchematic ? grid.Find(t->page, t->x, t->y) : 0;
        t->node = grid.Value(slot);
        if (t->node != -1 && static_cast<size_t>(n) < room)
            list[n++] = ConnectionPoint{t->x, t->y, t->node, kPointNodeName, static_cast<int16_t>(t->page), 0};
    }

    if (document->MainView() && document->nodeLabelCount > 0 && n > 0) {
        const int labels = std::min(document->nodeLabelCount, NodeLabelCapacity(document) - 1);
        uint64_t* anchors =
            static_cast<uint64_t*>(MemAlloc(static_cast<size_t>(std::max(labels, 1)) * sizeof(uint64_t)));
        if (!anchors) {
            MemFree(list);
            return kResultNoMemory;
        }
        int a = 0;
        for (int i = 1; i <= labels; ++i)
            if (document->nodeLabels[i].kind != kNodeLabelFree)
                anchors[a++] = nl_PointKey(document->nodeLabels[i].x, document->nodeLabels[i].y);
        std::sort(anchors, anchors + a);
        for (int i = 0; i < n; ++i)
            list[i].labelHere = std::binary_search(anchors, anchors + a, nl_PointKey(list[i].x, list[i].y)) ? 1 : 0;
        MemFree(anchors);
    }
    MemFree(document->connectionPoints);
    document->connectionPoints = list;
    document->connectionPointCount = n;
    return kOk;
}

// ---- label text ---------------------------------------------------------------------------

namespace {

class nl_NoSimulation final : public SimulationPort {
public:
    StateVariableList* StateVariables() override { return nullptr; }
    SimulatorVectors* Vectors() override { return nullptr; }
    int AnalysisDisplayMode() override { return -1; }
    char DigitalStateChar(int state) override { return state >= 0 && state < 6 ? kDigitalStateLetters[state] : '?'; }
    void FormatNodeValue(CCirDoc*, char* rest, size_t restSize, double re, double im) override {
        FormatNumber(rest, restSize, re, 3, 0, 0);
        if (im != 0.0) {
            char imaginary[64];
            FormatNumber(imaginary, sizeof imaginary, im, 3, 0, 0);
            const size_t at = std::strlen(rest);
            FormatBounded(rest + at, restSize - at, ",%s", imaginary);
        }
    }
};

PortSlot<SimulationPort, nl_NoSimulation> nl_simulation;

}  // namespace

SimulationPort& Simulation() { return nl_simulation.Get(); }
SimulationPort* InstallSimulation(SimulationPort* port) { return nl_simulation.Install(port); }

char* FormatNodeLabel(const NodeLabel& label, char* buffer, size_t size, int flags, CCirDoc* document) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    if (flags & kLabelShowNumber) {
        FormatBounded(buffer, size, "%d%s", label.node,
                      label.interfaceKind == kInterfaceAtoD   ? "$ATOD"
                      : label.interfaceKind == kInterfaceDtoA ? "$DTOA"
                                                              : "");
    }
    if (!(flags & kLabelShowValue) || label.valueIndex < 0) return buffer;
    size_t used = std::strlen(buffer);
    if (used > 0 && used + 1 < size) {
        buffer[used++] = ':';
        buffer[used] = 0;
    }
    char* rest = buffer + used;
    const size_t restSize = size - used;
    if (restSize <= 1) return buffer;

    SimulationPort& simulation = Simulation();
    const int mode = simulation.AnalysisDisplayMode();
    const SimulatorVectors* vectors = simulation.Vectors();
    const int index = label.valueIndex;
    if (label.kind == kNodeLabelDigital) {
        int state;
        if (mode != -1 && mode != 4 && vectors && vectors->digitalStates[0] && index < vectors->digitalCount)
            state = vectors->digitalStates[0][index];
        else
            state = ClampToInt(label.storedValue[0]);
        rest[0] = simulation.DigitalStateChar(state);
        rest[1] = 0;
        return buffer;
    }
    double re = label.storedValue[0];
    double im = 0.0;
    if (mode == 4) {
        im = label.storedValue[1];
    } else if (mode != -1 && vectors && vectors->solution && index < vectors->solutionCount) {
        re = vectors->solution[index];
    }
    simulation.FormatNodeValue(document, rest, restSize, re, im);
    rest[restSize - 1] = 0;
    return buffer;
}

bool AppendInterfaceSuffix(char** text, int interfaceKind) {
    if (!text) return false;
    if (interfaceKind == kInterfaceAtoD) return AppendString(text, "$ATOD") != nullptr;
    if (interfaceKind == kInterfaceDtoA) return AppendString(text, "$DTOA") != nullptr;
    return true;
}

// ---- the "Node Offsets" section ----------------------------------------------------------

int SerializeNodeOffsets(SectionFile& file, CCirDoc* document) {
    if (!document) return kOk;
    if (file.IsWriting()) {
        const int count = std::min(document->nodeLabelCount, NodeLabelCapacity(document) - 1);
        bool any = false;
        for (int i = 1; i <= count; ++i) {
            const NodeLabel& e = document->nodeLabels[i];
            if (e.offsetX == 0 && e.offsetY == 0) continue;
            if (!any) {
                if (int code = file.WriteSectionHeader("Node Offsets")) return code;
                any = true;
            }
            char value[100];
            FormatBounded(value, sizeof value, "%d,%d,%d,%d,%d,%d", e.node, e.page, e.x, e.y, e.offsetX, e.offsetY);
            if (int code = file.WriteKey("Offset", value)) return code;
        }
        return file.error;
    }
    char line[300];
    char key[64];
    char value[240];
    while (file.ReadEntry(line, sizeof line)) {
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        if (std::strcmp(key, "OFFSET") != 0) continue;
        int v[6];
        if (std::sscanf(value, "%d , %d , %d , %d , %d , %d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6) continue;
        // Kept as old labels only: the next numbering moves the offsets onto
        // the labels of the same node, page and anchor.
        int capacity = NodeLabelCapacity(document);
        const int count = std::max(0, std::min(document->nodeLabelCount, capacity - 1));
        if (!nl_EnsureRoom(&document->nodeLabels, &capacity, count + 2)) return kResultNoMemory;
        if (count == 0) nl_ClearEntries(document->nodeLabels, 0, 1);
        NodeLabel& e = document->nodeLabels[count + 1];
        e = NodeLabel{};
        e.kind = kNodeLabelFree;
        e.valueIndex = -1;
        e.node = v[0];
        e.page = v[1];
        e.x = v[2];
        e.y = v[3];
        e.offsetX = v[4];
        e.offsetY = v[5];
        document->nodeLabelCount = count + 1;
    }
    return file.error;
}

// ---- wire nodes ---------------------------------------------------------------------------

namespace {

// One object with a point in a row of a page, in list order.
struct nl_RowEntry {
    int32_t page;
    int32_t y;
    int32_t order;
    SchematicObject* object;
};

bool nl_RowLess(const nl_RowEntry& a, const nl_RowEntry& b) {
    if (a.page != b.page) return a.page < b.page;
    if (a.y != b.y) return a.y < b.y;
    return a.order < b.order;
}

struct nl_RowIndex {
    nl_RowEntry* entries = nullptr;
    int count = 0;

    // The entries of a row of a page.
    const nl_RowEntry* Row(int32_t page, int32_t y, const nl_RowEntry** end) const {
        const nl_RowEntry key{page, y, -1, nullptr};
        const nl_RowEntry* first = std::lower_bound(entries, entries + count, key, nl_RowLess);
        const nl_RowEntry* last = first;
        while (last < entries + count && last->page == page && last->y == y) ++last;
        *end = last;
        return first;
    }
};

bool nl_Indexed(const SchematicObject* o) { return o->level == 1 && o->page >= 0; }

void nl_SetDigital(SchematicObject* wire, bool digital) {
    if (digital)
        wire->styleFlags |= kWireDigital;
    else
        wire->styleFlags &= static_cast<uint16_t>(~kWireDigital);
}

// The node at a point of a page: a pin's (first pass only; not of macros and
// subcircuits) or a numbered wire's. -1 when none.
int32_t nl_FindNodeAt(const nl_RowIndex& index, int32_t page, int32_t x, int32_t y, SchematicObject* wire, int pass,
                      bool* changed) {
    const nl_RowEntry* end = nullptr;
    for (const nl_RowEntry* r = index.Row(page, y, &end); r < end; ++r) {
        SchematicObject* o = r->object;
        if (o == wire) continue;
        if (o->IsComponent()) {
            if (pass != 0 || !o->definition) continue;
            const int type = o->definition->type;
            if (type == kTypeMacro || type == kTypeSubckt) continue;
            const int pins = GetComponentPinCount(o);
            for (int i = 0; i < pins; ++i) {
                const SchPoint p = GetPinPosition(o, i);
                if (p.x != x || p.y != y) continue;
                // Parts without a node array (ground, ties) and unnumbered pins
                // let the search go on.
                if (!o->pinNodes || i >= o->pinCount || o->pinNodes[i] == -1) continue;
                if (wire) nl_SetDigital(wire, IsDigitalPin(o, i) == 1);
                *changed = true;
                return o->pinNodes[i];
            }
        } else if (o->IsWire() && o->wireNode != -1) {
            if ((o->x1 == x && o->y1 == y) || (o->x2 == x && o->y2 == y)) {
                if (wire) nl_SetDigital(wire, (o->styleFlags & kWireDigital) != 0);
                *changed = true;
                return o->wireNode;
            }
        }
    }
    return -1;
}

// A wire ending on a tie takes the node found at any tie of the same name.
int32_t nl_WireNodeViaTie(CCirDoc* doc, const nl_RowIndex& index, SchematicObject* wire, bool* changed) {
    for (SchematicObject* t = nl_First(doc); t; t = nl_Next(t)) {
        if (!t->IsComponent() || !t->definition || t->definition->type != kTypeTie || !nl_Indexed(t)) continue;
        if (t->page != wire->page || GetComponentPinCount(t) < 1) continue;
        const SchPoint at = GetPinPosition(t, 0);
        if (!((at.x == wire->x1 && at.y == wire->y1) || (at.x == wire->x2 && at.y == wire->y2))) continue;
        const char* name = GetAttributeText(t, kAttrPart);
        for (SchematicObject* s = nl_First(doc); s; s = nl_Next(s)) {
            if (!s->IsComponent() || !s->definition || s->definition->type != kTypeTie || !nl_Indexed(s)) continue;
            if (s != t && (!name[0] || CompareNoCase(GetAttributeText(s, kAttrPart), name) != 0)) continue;
            if (GetComponentPinCount(s) < 1) continue;
            const SchPoint p = GetPinPosition(s, 0);
            const int32_t node = nl_FindNodeAt(index, s->page, p.x, p.y, wire, 0, changed);
            if (node != -1) return node;
        }
    }
    return -1;
}

}  // namespace

int AssignWireNodes(CCirDoc* document) {
    if (!document) return kOk;
    int ties = 0;
    int points = 0;
    for (SchematicObject* o = nl_First(document); o; o = nl_Next(o)) {
        if (o->IsWire()) o->wireNode = -1;
        if (!nl_Indexed(o)) continue;
        if (o->IsComponent()) {
            points += GetComponentPinCount(o);
            if (o->definition && o->definition->type == kTypeTie) ++ties;
        } else if (o->IsWire()) {
            points += 2;
        }
    }
    if (points == 0) return kOk;

    nl_RowIndex index;
    index.entries = static_cast<nl_RowEntry*>(MemAlloc(static_cast<size_t>(points) * sizeof(nl_RowEntry)));
    if (!index.entries) return kResultNoMemory;
    int order = 0;
    for (SchematicObject* o = nl_First(document); o; o = nl_Next(o)) {
        if (!nl_Indexed(o)) continue;
        if (o->IsComponent()) {
            const int pins = GetComponentPinCount(o);
            for (int i = 0; i < pins; ++i)
                index.entries[index.count++] = nl_RowEntry{o->page, GetPinPosition(o, i).y, order++, o};
        } else if (o->IsWire()) {
            index.entries[index.count++] = nl_RowEntry{o->page, o->y1, order++, o};
            if (o->y2 != o->y1) index.entries[index.count++] = nl_RowEntry{o->page, o->y2, order++, o};
        }
    }
    std::sort(index.entries, index.entries + index.count, nl_RowLess);

    bool tieStepDone = false;
    for (int pass = 0;; ++pass) {
        bool changed = false;
        for (SchematicObject* w = nl_First(document); w; w = nl_Next(w)) {
            if (!w->IsWire() || w->level != 1 || w->wireNode != -1) continue;
            int32_t node = nl_FindNodeAt(index, w->page, w->x1, w->y1, w, pass, &changed);
            if (node == -1) node = nl_FindNodeAt(index, w->page, w->x2, w->y2, w, pass, &changed);
            w->wireNode = node;
        }
        if (!changed && ties > 0 && !tieStepDone) {
            tieStepDone = true;
            for (SchematicObject* w = nl_First(document); w; w = nl_Next(w)) {
                if (!w->IsWire() || w->level != 1 || w->wireNode != -1) continue;
                w->wireNode = nl_WireNodeViaTie(document, index, w, &changed);
            }
        }
        if (!changed) break;
    }
    MemFree(index.entries);
    return kOk;
}

// ---- the compiler's node-name table ----------------------------------------------------------

namespace {

class nl_NoNameIndex final : public NodeNameIndexPort {
public:
    int IndexCount(const CCTDoc*) override { return 0; }
    int IndexFind(const CCTDoc*, const char*) override { return -1; }
    char* QualifyName(const CCTDoc*, const char* name, int) override { return DuplicateString(name); }
    const char* InstanceName(const CCTDoc*, int) override { return nullptr; }
    bool HasAnalysisCircuit(const CCTDoc*) override { return false; }
};

PortSlot<NodeNameIndexPort, nl_NoNameIndex> nl_nameIndex;

}  // namespace

NodeNameIndexPort& CompiledNodeNames() { return nl_nameIndex.Get(); }
NodeNameIndexPort* InstallNodeNameIndex(NodeNameIndexPort* port) { return nl_nameIndex.Install(port); }

namespace {

const std::vector<NodeNameEntry>* nl_Table(const CCTDoc* document) {
    return document ? &document->build.nodeNames : nullptr;
}

const char* nl_NodeNameText(const CCTDoc* document, const NodeNameEntry& e, int relative) {
    const char* name = e.name.c_str();
    if (!relative) {
        const char* dot = std::strrchr(name, '.');
        return dot ? dot + 1 : name;
    }
    NodeNameIndexPort& index = CompiledNodeNames();
    if (e.level < 1 || !index.HasAnalysisCircuit(document)) return name;
    if (e.level == 1 || e.name == "0") return name;
    const char* instance = index.InstanceName(document, e.level);
    if (!instance) return name;
    const size_t skip = std::strlen(instance) + 1;
    return skip <= e.name.size() ? name + skip : name;
}

const char* nl_GetNodeName(const CCTDoc* document, int node, int level, int kind, int relative, bool fromLast) {
    const std::vector<NodeNameEntry>* t = nl_Table(document);
    if (!t || t->empty()) return "";
    const size_t count = t->size();
    for (int search = 0; search < 2; ++search) {
        for (size_t k = 0; k < count; ++k) {
            const NodeNameEntry& e = (*t)[fromLast ? count - 1 - k : k];
            if (e.node != node || e.kind != kind) continue;
            if (search == 0 && e.level != level) continue;
            return nl_NodeNameText(document, e, relative);
        }
    }
    return "";
}

bool nl_PassesKind(const NodeNameEntry& e, int kindFilter) { return kindFilter == -1 || e.kind == kindFilter; }

}  // namespace

const char* GetNodeName(const CCTDoc* document, int node, int level, int kind, int relative) {
    return nl_GetNodeName(document, node, level, kind, relative, true);
}

const char* GetFirstNodeName(const CCTDoc* document, int node, int level, int kind, int relative) {
    return nl_GetNodeName(document, node, level, kind, relative, false);
}

int FindNodeIndex(const CCTDoc* document, const char* name, int level, int kindFilter) {
    if (!name) return -1;
    if (std::strcmp(name, "0") == 0) return 0;
    const std::vector<NodeNameEntry>* t = nl_Table(document);
    if (!t) return -1;
    const int count = static_cast<int>(t->size());
    NodeNameIndexPort& index = CompiledNodeNames();
    char* qualified = level > 1 ? index.QualifyName(document, name, level) : DuplicateString(name);
    if (!qualified) return -1;
    std::string upper = qualified;
    MemFree(qualified);
    for (char& c : upper) c = UpperChar(c);

    if (index.IndexCount(document) > 0) {
        const int hit = index.IndexFind(document, upper.c_str());
        if (hit < 0 || hit >= count) return -1;
        if (nl_PassesKind((*t)[size_t(hit)], kindFilter)) return hit;
    }
    for (int i = 0; i < count; ++i) {
        const NodeNameEntry& e = (*t)[size_t(i)];
        if (nl_PassesKind(e, kindFilter) && e.name == upper) return i;
    }
    return -1;
}

int FindNodeNumber(const CCTDoc* document, const char* name, int level, int kindFilter) {
    const int i = FindNodeIndex(document, name, level, kindFilter);
    if (i < 0) return -1;
    const std::vector<NodeNameEntry>* t = nl_Table(document);
    if (!t || size_t(i) >= t->size()) return i == 0 ? 0 : -1;  // ground before any compile
    return (*t)[size_t(i)].node;
}

// ---- stored state variables --------------------------------------------------------------

int ApplyStateVariables() {
    StateVariableList* list = Simulation().StateVariables();
    SimulatorVectors* v = Simulation().Vectors();
    if (!list || !v || !list->entries) return 0;
    const int kind = RunState().activeAnalysis;
    if (!((list->mode == 1 && list->loaded) || (list->applyAtStart && (kind == 0 || kind == 1)))) return 0;

    auto inSolution = [v](int64_t i) { return v->solution && i >= 0 && i < v->solutionCount; };
    int applied = 0;
    int skipped = 0;
    for (int k = 0; k < list->count; ++k) {
        const StateVariable& e = list->entries[k];
        switch (UpperChar(e.kind)) {
        case 'D':
            if (e.index < 0 || e.index >= v->digitalCount || !v->digitalStates[0] || !v->digitalStates[1] ||
                !v->digitalStates[2]) {
                ++skipped;
                break;
            }
            for (int32_t* states : v->digitalStates) states[e.index] = e.state | 0x1f8;
            ++applied;
            break;
        case 'I': {
            if (e.inductorBranch < 0) break;  // no inductor: nothing to set
            const int64_t at = int64_t{v->nodeLabelCount} + e.inductorBranch;
            if (!inSolution(at)) {
                ++skipped;
                break;
            }
            v->solution[at] = e.value;
            ++applied;
            break;
        }
        case 'V':
            if (!inSolution(e.index) || !inSolution(e.index2)) {
                ++skipped;
                break;
            }
            v->solution[e.index] = e.value;
            v->solution[e.index2] = 0.0;
            ++applied;
            break;
        default: break;
        }
        if (inSolution(0)) v->solution[0] = 0.0;
    }
    if (skipped > 0) {
        ReportMessage(FormattedMessage("%d stored state variables do not fit the circuit and were skipped.")
                          .Class('W')
                          .Args(skipped));
    }
    return applied;
}
