// Node numbering and the pin geometry of placed parts.
//
// The order of everything here is what makes the numbers stable: points are
// slotted page, y, x; groups are joined in object-list order (wires, jumpers,
// grounds), then ties, ".TIE" texts and node-name texts; numbers are handed
// out over the numbered components in list order, pin by pin. Hidden pins come
// last, so they never shift a number that geometry gave.
#include "document/nodes.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/chars.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/nodegrid.h"
#include "document/nodelabels.h"
#include "platform/app.h"
#include "shell/app.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"
#include "shell/report.h"

namespace {

int32_t nd_Clamp(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool nd_IsSchematicPage(const CCirDoc* doc, int page) { return doc->PageKind(page) == kPageSchematic; }

// Objects whose points are in the point table: the document's own objects on
// schematic pages.
bool nd_InGrid(const CCirDoc* doc, const SchematicObject* o) {
    return o->level == 1 && nd_IsSchematicPage(doc, o->page);
}

SchematicObject* nd_First(CCirDoc* doc) { return static_cast<SchematicObject*>(doc->objects.first); }
SchematicObject* nd_Next(const SchematicObject* o) { return static_cast<SchematicObject*>(o->next); }
GridTextObject* nd_FirstText(CCirDoc* doc) { return static_cast<GridTextObject*>(doc->gridTexts.first); }
GridTextObject* nd_NextText(const GridTextObject* t) { return static_cast<GridTextObject*>(t->next); }

int nd_TypeOf(const SchematicObject* o) { return o && o->IsComponent() && o->definition ? o->definition->type : -1; }

uint32_t nd_Hash(int32_t page, int32_t x, int32_t y) {
    uint64_t h = static_cast<uint32_t>(page) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint32_t>(y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint32_t>(x) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return static_cast<uint32_t>(h);
}

bool nd_CellLess(const NodeGridCell& a, const NodeGridCell& b) {
    if (a.page != b.page) return a.page < b.page;
    if (a.y != b.y) return a.y < b.y;
    return a.x < b.x;
}

// Builds the point table of the document's own objects on schematic pages.
// 0 or 15002.
int nd_BuildGrid(CCirDoc* doc, NodeGrid& grid) {
    size_t total = 0;
    for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
        if (!nd_InGrid(doc, o)) continue;
        if (o->IsComponent())
            total += static_cast<size_t>(GetComponentPinCount(o));
        else if (o->IsWire())
            total += 2;
    }
    grid.slotNodes = static_cast<int32_t*>(MemAlloc((total + 1) * sizeof(int32_t)));
    if (!grid.slotNodes) return kResultNoMemory;
    grid.slotNodes[0] = -1;
    if (total == 0) return kOk;
    grid.cells = static_cast<NodeGridCell*>(MemAlloc(total * sizeof(NodeGridCell)));
    if (!grid.cells) return kResultNoMemory;

    size_t n = 0;
    for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
        if (!nd_InGrid(doc, o)) continue;
        if (o->IsComponent()) {
            const int pins = GetComponentPinCount(o);
            const bool numbered = IsNumberedComponent(o);
            for (int i = 0; i < pins; ++i) {
                const SchPoint p = GetPinPosition(o, i);
                grid.cells[n++] = NodeGridCell{o->page, p.y, p.x, 1, numbered && !IsHiddenPin(o, i) ? 1 : 0};
            }
        } else if (o->IsWire()) {
            grid.cells[n++] = NodeGridCell{o->page, o->y1, o->x1, 1, 0};
            grid.cells[n++] = NodeGridCell{o->page, o->y2, o->x2, 1, 0};
        }
    }
    std::sort(grid.cells, grid.cells + n, nd_CellLess);
    size_t unique = 0;
    for (size_t i = 0; i < n; ++i) {
        if (unique > 0 && !nd_CellLess(grid.cells[unique - 1], grid.cells[i])) {
            grid.cells[unique - 1].count += 1;
            grid.cells[unique - 1].numberedPin |= grid.cells[i].numberedPin;
        } else {
            grid.cells[unique++] = grid.cells[i];
        }
    }
    grid.slotCount = static_cast<int32_t>(unique);
    for (int32_t s = 0; s <= grid.slotCount; ++s) grid.slotNodes[s] = -1;

    uint32_t capacity = 16;
    while (capacity < unique * 2) capacity <<= 1;
    grid.hash = static_cast<int32_t*>(MemAllocZero(capacity * sizeof(int32_t)));
    if (!grid.hash) return kResultNoMemory;
    grid.hashMask = capacity - 1;
    for (int32_t s = 1; s <= grid.slotCount; ++s) {
        const NodeGridCell& c = grid.cells[s - 1];
        uint32_t h = nd_Hash(c.page, c.x, c.y) & grid.hashMask;
        while (grid.hash[h]) h = (h + 1) & grid.hashMask;
        grid.hash[h] = s;
    }
    return kOk;
}

// The slot of a component's pin; 0 when the pin is outside its pin table or
// the component is not one of the document's own objects on a schematic page.
int32_t nd_PinSlot(const CCirDoc* doc, const NodeGrid& grid, const SchematicObject* o, int pin) {
    if (!nd_InGrid(doc, o) || pin < 0 || pin >= GetComponentPinCount(o)) return 0;
    const SchPoint p = GetPinPosition(o, pin);
    return grid.Find(o->page, p.x, p.y);
}

int32_t nd_PointSlot(const CCirDoc* doc, const NodeGrid& grid, int32_t page, int32_t x, int32_t y) {
    return nd_IsSchematicPage(doc, page) ? grid.Find(page, x, y) : 0;
}

// The groups of points known to be connected before they are numbered. Each
// group has an id -2, -3, ...; joining two groups relabels every point of the
// first with the id of the second (ground, 0, always wins). Instead of
// rewriting every slot, a relabelled group keeps the value it became, and a
// slot's value is followed to the end of that chain.
struct nd_Groups {
    int32_t* becomes = nullptr;  // by group (-id - 2): its own id, another id, or 0
    int32_t capacity = 0;
    int32_t lastTemp = -1;

    nd_Groups() = default;
    ~nd_Groups() { MemFree(becomes); }
    nd_Groups(const nd_Groups&) = delete;
    nd_Groups& operator=(const nd_Groups&) = delete;

    int32_t New() {
        --lastTemp;
        becomes[-lastTemp - 2] = lastTemp;
        return lastTemp;
    }
    int32_t Count() const { return -lastTemp - 1; }
    // The current value of a stored value: -1, 0 or a live group id.
    int32_t Resolve(int32_t v) {
        int32_t r = v;
        while (r <= -2 && becomes[-r - 2] != r) r = becomes[-r - 2];
        while (v <= -2 && becomes[-v - 2] != v) {
            const int32_t next = becomes[-v - 2];
            becomes[-v - 2] = r;
            v = next;
        }
        return r;
    }
    // Every point of group `from` (a live id) now holds `to`.
    void Relabel(int32_t from, int32_t to) { becomes[-from - 2] = to; }
};

// Joins two points: ground always wins, otherwise the second point's group
// absorbs the first's. Slot 0 (no point) joins nothing.
void nd_JoinPoints(NodeGrid& grid, nd_Groups& groups, int32_t slotA, int32_t slotB) {
    if (slotA <= 0 || slotB <= 0) return;
    int32_t a = groups.Resolve(grid.slotNodes[slotA]);
    int32_t b = groups.Resolve(grid.slotNodes[slotB]);
    if (a == -1 && b == -1) {
        grid.slotNodes[slotA] = grid.slotNodes[slotB] = groups.New();
        return;
    }
    if (a == -1) {
        grid.slotNodes[slotA] = b;
        return;
    }
    if (b == -1) {
        grid.slotNodes[slotB] = a;
        return;
    }
    if (a == 0) std::swap(a, b);
    if (a == b) return;
    groups.Relabel(a, b);
}

bool nd_IsWordChar(char c) { return HasCharClass(c, CC_IDENT); }

// True when `word` occurs in `list` as a whole word (words separated by white
// space), without case.
bool nd_ListHasWord(const char* list, const char* word) {
    const size_t n = std::strlen(word);
    if (n == 0) return false;
    const char* p = list;
    while (*p) {
        while (*p && HasCharClass(*p, CC_SPACE)) ++p;
        const char* start = p;
        while (*p && !HasCharClass(*p, CC_SPACE)) ++p;
        if (static_cast<size_t>(p - start) == n && CompareNoCaseN(start, word, n) == 0) return true;
    }
    return false;
}

// The pin index of a standard pin name of a type; -1 when the type's pins have
// no standard names (connectors, digital primitives, named and numbered pins,
// ADC and DAC) or none matches.
int nd_StandardPinIndex(int type, const char* pinName) {
    const ComponentType* row = GetComponentType(type);
    if (!row || row->pinCount <= 0) return -1;
    switch (row->classCode) {
    case 0:
    case kClassConnector:
    case kClassNoPins:
    case kClassDigital:
    case kClassMacro:
    case kClassAdc:
    case kClassDac:
    case kClassNPort: return -1;
    default: break;
    }
    ComponentDef probe;
    probe.type = type;
    char name[kPinNameSize];
    for (int i = 0; i < row->pinCount; ++i) {
        const char* text = probe.GetPinName(i, name, sizeof name);
        if (text && text[0] && CompareNoCase(text, pinName) == 0) return i;
    }
    return -1;
}

// Copies a run of letters, digits and underscores; the character that ends it
// is dropped. Returns the cursor after that character.
const char* nd_TakeWord(const char* p, char* out, size_t size) {
    size_t n = 0;
    while (*p && nd_IsWordChar(*p)) {
        if (n + 1 < size) out[n++] = *p;
        ++p;
    }
    out[n] = 0;
    if (*p) ++p;
    return p;
}

// A ".TIE type pin part part ..." text joins that pin of every listed part.
void nd_ApplyTieStatement(CCirDoc* doc, NodeGrid& grid, nd_Groups& groups, const char* text) {
    char* upper = DuplicateString(text + 4);
    if (!upper) return;  // nothing joined; numbering goes on without this statement
    for (char* c = upper; *c; ++c) *c = UpperChar(*c);
    const char* p = upper;
    char typeName[64];
    char pinName[64];
    while (*p && HasCharClass(*p, CC_SPACE)) ++p;
    p = nd_TakeWord(p, typeName, sizeof typeName);
    while (*p && HasCharClass(*p, CC_SPACE)) ++p;
    p = nd_TakeWord(p, pinName, sizeof pinName);
    while (*p && HasCharClass(*p, CC_SPACE)) ++p;
    const char* partList = p;

    const int type = typeName[0] ? FindComponentType(typeName) : -1;
    const int pin = type >= 0 && pinName[0] ? nd_StandardPinIndex(type, pinName) : -1;
    if (pin >= 0) {
        int32_t first = 0;
        bool haveFirst = false;
        for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
            if (nd_TypeOf(o) != type) continue;
            const char* part = GetAttributeText(o, kAttrPart);
            if (!part[0] || !nd_ListHasWord(partList, part)) continue;
            const int32_t slot = nd_PinSlot(doc, grid, o, pin);
            if (!haveFirst) {
                first = slot;
                haveFirst = true;
            } else {
                nd_JoinPoints(grid, groups, first, slot);
            }
        }
    }
    FreeString(&upper);
}

// Shows the wait state while numbering runs and puts the status bar back on
// every path out.
class nd_BusyState {
public:
    nd_BusyState() {
        if (!RunState().running) {
            app_ = platform::Application::Instance();
            if (app_) app_->BeginWaitCursor();
        }
        frame_ = GetMainFrame();
        if (frame_) {
            previousRunState_ = frame_->SetRunStateText("Wait");
            frame_->GetStatusText(previousMessage_, sizeof previousMessage_);
            frame_->SetStatusText("Processing nodes.");
        }
    }
    ~nd_BusyState() {
        if (frame_ && frame_ == GetMainFrame()) {
            frame_->SetStatusText(previousMessage_);
            frame_->SetRunStateTextById(previousRunState_);
        }
        if (app_ && app_ == platform::Application::Instance()) app_->EndWaitCursor();
    }
    nd_BusyState(const nd_BusyState&) = delete;
    nd_BusyState& operator=(const nd_BusyState&) = delete;

private:
    platform::Application* app_ = nullptr;
    CMainFrame* frame_ = nullptr;
    int previousRunState_ = -1;
    char previousMessage_[256] = {};
};

// Maps the group ids left after joining to node numbers as they are given out.
struct nd_Numbering {
    NodeGrid& grid;
    int32_t* groupNode = nullptr;  // by group id -2, -3, ... ; 0 = no number yet
    int32_t groupCount = 0;
    int32_t last = 0;

    // The value of a slot with numbered groups resolved.
    int32_t Resolve(int32_t slot) const {
        const int32_t v = grid.Value(slot);
        if (v <= -2) {
            const int32_t g = -v - 2;
            if (g < groupCount && groupNode[g] > 0) return groupNode[g];
        }
        return v;
    }
    // The node of a point: a group gets the next number when it has none yet.
    int32_t NumberGroup(int32_t v) {
        const int32_t g = -v - 2;
        if (g >= groupCount) return ++last;
        if (groupNode[g] == 0) groupNode[g] = ++last;
        return groupNode[g];
    }
    void ApplyToSlots() {
        for (int32_t s = 1; s <= grid.slotCount; ++s) grid.slotNodes[s] = Resolve(s);
    }
};

// The steps of NumberNodes from the point table on; 0 or 15002.
int nd_Number(CCirDoc* doc, NodeGrid& grid) {
    int result = nd_BuildGrid(doc, grid);
    if (result) return result;

    // Geometric joins in list order: wires, jumpers, grounds.
    // Each new group takes a point that was unconnected, so there are never
    // more groups than points.
    nd_Groups groups;
    groups.capacity = grid.slotCount;
    if (grid.slotCount > 0) {
        groups.becomes = static_cast<int32_t*>(MemAlloc(static_cast<size_t>(grid.slotCount) * sizeof(int32_t)));
        if (!groups.becomes) return kResultNoMemory;
    }
    for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
        if (o->IsWire()) {
            o->wireNode = -1;
            if (!nd_InGrid(doc, o)) continue;
            nd_JoinPoints(grid, groups, grid.Find(o->page, o->x1, o->y1), grid.Find(o->page, o->x2, o->y2));
            continue;
        }
        const int type = nd_TypeOf(o);
        if (type == kTypeJumper) {
            nd_JoinPoints(grid, groups, nd_PinSlot(doc, grid, o, 0), nd_PinSlot(doc, grid, o, 1));
        } else if (type == kTypeGround) {
            const int32_t slot = nd_PinSlot(doc, grid, o, 0);
            if (slot == 0) continue;
            const int32_t v = groups.Resolve(grid.slotNodes[slot]);
            if (v == -1)
                grid.slotNodes[slot] = 0;
            else if (v != 0)
                groups.Relabel(v, 0);
        }
    }

    // Ties of the same PART join across pages.
    {
        int tieCount = 0;
        for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o))
            if (nd_TypeOf(o) == kTypeTie) ++tieCount;
        if (tieCount > 1) {
            SchematicObject** ties = static_cast<SchematicObject**>(MemAlloc(tieCount * sizeof(SchematicObject*)));
            if (!ties) return kResultNoMemory;
            int n = 0;
            for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o))
                if (nd_TypeOf(o) == kTypeTie) ties[n++] = o;
            for (int i = 0; i < n; ++i) {
                SchematicObject* p = ties[i];
                if (!p) continue;  // already joined to an earlier tie
                ties[i] = nullptr;
                const char* name = GetAttributeText(p, kAttrPart);
                if (!name[0]) continue;
                for (int j = i + 1; j < n; ++j) {
                    SchematicObject* s = ties[j];
                    if (!s) continue;
                    const char* other = GetAttributeText(s, kAttrPart);
                    if (!other[0] || CompareNoCase(name, other) != 0) continue;
                    ties[j] = nullptr;
                    nd_JoinPoints(grid, groups, nd_PinSlot(doc, grid, p, 0), nd_PinSlot(doc, grid, s, 0));
                }
            }
            MemFree(ties);
        }
    }

    // ".TIE" statements.
    for (GridTextObject* t = nd_FirstText(doc); t; t = nd_NextText(t)) {
        if (t->text && CompareNoCaseN(t->text, ".TIE", 4) == 0) nd_ApplyTieStatement(doc, grid, groups, t->text);
    }

    // Node-name texts join only where they touch a connection.
    {
        int textCount = 0;
        for (GridTextObject* t = nd_FirstText(doc); t; t = nd_NextText(t)) ++textCount;
        if (textCount > 1) {
            struct Touching {
                GridTextObject* text;
                int32_t slot;
            };
            Touching* touching = static_cast<Touching*>(MemAlloc(textCount * sizeof(Touching)));
            if (!touching) return kResultNoMemory;
            int n = 0;
            for (GridTextObject* t = nd_FirstText(doc); t; t = nd_NextText(t)) {
                if (!(t->flags & kGridTextNamesNode) || !t->text || !t->text[0]) continue;
                const int32_t slot = nd_PointSlot(doc, grid, t->page, t->x, t->y);
                if (slot == 0) continue;
                if (grid.slotNodes[slot] == -1 && !grid.cells[slot - 1].numberedPin) continue;
                touching[n++] = Touching{t, slot};
            }
            for (int i = 0; i < n; ++i) {
                if (!touching[i].text) continue;
                for (int j = i + 1; j < n; ++j) {
                    if (!touching[j].text || CompareNoCase(touching[i].text->text, touching[j].text->text) != 0)
                        continue;
                    touching[j].text = nullptr;
                    nd_JoinPoints(grid, groups, touching[i].slot, touching[j].slot);
                }
            }
            MemFree(touching);
        }
    }

    // Every point takes the final value of its group.
    for (int32_t slot = 1; slot <= grid.slotCount; ++slot) grid.slotNodes[slot] = groups.Resolve(grid.slotNodes[slot]);

    // Numbers, pin by pin over the numbered components in list order.
    nd_Numbering numbering{grid};
    numbering.groupCount = groups.Count();
    if (numbering.groupCount > 0) {
        numbering.groupNode = static_cast<int32_t*>(MemAllocZero(numbering.groupCount * sizeof(int32_t)));
        if (!numbering.groupNode) return kResultNoMemory;
    }
    struct GroupGuard {
        nd_Numbering& n;
        ~GroupGuard() { MemFree(n.groupNode); }
    } groupGuard{numbering};

    for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
        if (!IsNumberedComponent(o)) continue;
        const int pins = o->definition->pinCount;
        if (!ResizePinNodes(o, pins)) return kResultNoMemory;
        for (int i = 0; i < pins; ++i) {
            if (IsHiddenPin(o, i)) continue;
            const int32_t slot = nd_PinSlot(doc, grid, o, i);
            const int32_t v = numbering.Resolve(slot);
            if (v == -1) {
                o->pinNodes[i] = ++numbering.last;
                if (slot) grid.slotNodes[slot] = numbering.last;
            } else if (v <= -2) {
                o->pinNodes[i] = numbering.NumberGroup(v);
            } else {
                o->pinNodes[i] = v;
            }
        }
    }
    doc->lastGeometricNode = numbering.last;

    // Hidden pins connect by the name they carry.
    for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
        if (!IsNumberedComponent(o)) continue;
        const int pins = std::min<int>(o->definition->pinCount, o->pinCount);
        for (int i = 0; i < pins; ++i) {
            if (!IsHiddenPin(o, i)) continue;
            const char* nodeName = o->definition->GetHiddenNodeName(i);
            const GridTextObject* named = nullptr;
            for (GridTextObject* t = nd_FirstText(doc); t && !named; t = nd_NextText(t))
                if ((t->flags & kGridTextNamesNode) && t->text && CompareNoCase(t->text, nodeName) == 0) named = t;
            int32_t v = -1;
            if (named) v = numbering.Resolve(nd_PointSlot(doc, grid, named->page, named->x, named->y));
            if (v >= 0) {
                o->pinNodes[i] = v;
            } else if (v <= -2) {
                o->pinNodes[i] = numbering.NumberGroup(v);
            } else {
                o->pinNodes[i] = 0;
                doc->build.missingHiddenNode = nodeName ? nodeName : "";
                doc->build.missingHiddenComponent = o;
            }
        }
    }
    doc->build.highestNode = numbering.last;
    numbering.ApplyToSlots();

    // Every wire carries the node of its first end.
    for (SchematicObject* o = nd_First(doc); o; o = nd_Next(o)) {
        if (!o->IsWire() || !nd_InGrid(doc, o)) continue;
        o->wireNode = grid.Value(grid.Find(o->page, o->x1, o->y1));
    }

    result = BuildNodeLabels(doc);
    if (result) return result;
    return BuildConnectionPoints(doc, grid);
}

}  // namespace

// ---- pin geometry -----------------------------------------------------------------------

SchPoint TransformByOrientation(int orientation, int32_t x, int32_t y) {
    const int64_t x64 = x;
    const int64_t y64 = y;
    int64_t rx = x64;
    int64_t ry = y64;
    switch (orientation & kOrientTurnMask) {
    case 1:
        rx = -y64;
        ry = x64;
        break;
    case 2:
        rx = -x64;
        ry = -y64;
        break;
    case 3:
        rx = y64;
        ry = -x64;
        break;
    default: break;
    }
    if (orientation & kOrientMirror) ry = -ry;
    return SchPoint{nd_Clamp(rx), nd_Clamp(ry)};
}

PinBox* AllocPinBox(int n) {
    if (n < 0) n = 0;
    PinBox* box = static_cast<PinBox*>(MemAllocZero(sizeof(PinBox) + static_cast<size_t>(n) * sizeof(ComponentPin)));
    if (box) box->pinCount = n;
    return box;
}

const ComponentPin* GetComponentPinTable(const SchematicObject* component, int* count) {
    const ComponentPin* pins = nullptr;
    int n = 0;
    if (component && component->definition) {
        const ComponentDef* def = component->definition;
        if (def->IsAutoMacro() && component->pinBox) {
            pins = component->pinBox->Pins();
            n = component->pinBox->pinCount;
        } else if (def->pins) {
            pins = def->pins;
            n = def->pinCount;
        }
    }
    if (n <= 0) {
        n = 0;
        pins = nullptr;
    }
    if (count) *count = n;
    return pins;
}

int GetComponentPinCount(const SchematicObject* component) {
    int n = 0;
    GetComponentPinTable(component, &n);
    return n;
}

SchPoint GetPinPosition(const SchematicObject* component, int pin) {
    int n = 0;
    const ComponentPin* pins = GetComponentPinTable(component, &n);
    if (!pins || pin < 0 || pin >= n) return SchPoint{};
    const SchPoint offset = TransformByOrientation(component->orientation, pins[pin].x, pins[pin].y);
    return SchPoint{nd_Clamp(int64_t{component->x1} + offset.x), nd_Clamp(int64_t{component->y1} + offset.y)};
}

int IsDigitalPin(const SchematicObject* component, int pin) {
    if (!component || !component->definition) return 0;
    const ComponentDef* def = component->definition;
    const ComponentType* row = GetComponentType(def->type);
    if (!row) return 0;
    if (row->pinKinds == 1) return 1;
    if (row->pinKinds != 2) return 0;
    switch (def->type) {
    case kTypeMacro:
    case kTypeSubckt: {
        if (pin < 0 || pin >= def->pinCount) return 0;
        const char kind = def->PinKind(pin);
        return kind == 'd' || kind == 'D' ? 1 : 0;
    }
    case kTypeN: return pin == 3 ? 1 : 0;
    case kTypeO: return pin == 2 ? 1 : 0;
    case kTypeAdc:
    case kTypeDac: return pin >= 3 ? 1 : 0;
    default: return 0;
    }
}

bool IsHiddenPin(const SchematicObject* component, int pin) {
    if (!component || !component->definition) return false;
    const ComponentDef* def = component->definition;
    return pin >= 0 && pin < def->pinCount && def->PinHasExtraText(pin);
}

bool IsNumberedComponentType(int type) {
    switch (type) {
    case kTypeNull:
    case kTypeShort:
    case kTypeGround:
    case kTypeJumper:
    case kTypeTie:
    case kTypeBlank: return false;
    default: return IsValidComponentType(type);
    }
}

bool IsNumberedComponent(const SchematicObject* object) {
    return object && object->IsComponent() && object->definition && IsNumberedComponentType(object->definition->type);
}

bool ResizePinNodes(SchematicObject* component, int count) {
    if (!component) return false;
    if (count <= 0) {
        MemFree(component->pinNodes);
        component->pinNodes = nullptr;
        component->pinCount = 0;
        return true;
    }
    const size_t bytes = static_cast<size_t>(count) * sizeof(int32_t);
    int keep = component->pinNodes ? std::clamp(component->pinCount, 0, count) : 0;
    if (!component->pinNodes || HeapBlockSize(component->pinNodes) < bytes) {
        void* block = component->pinNodes;
        if (!ReallocBlock(&block, bytes)) {
            component->pinCount = 0;
            return false;
        }
        component->pinNodes = static_cast<int32_t*>(block);
    }
    // New entries are unknown until numbering runs: never ground by accident.
    for (int i = keep; i < count; ++i) component->pinNodes[i] = -1;
    component->pinCount = count;
    return true;
}

bool SizePinNodesForType(SchematicObject* component) {
    if (!component) return false;
    if (!IsNumberedComponent(component)) return ResizePinNodes(component, 0);
    return ResizePinNodes(component, component->definition->pinCount);
}

// ---- the point table ----------------------------------------------------------------------

int32_t NodeGrid::Find(int32_t page, int32_t x, int32_t y) const {
    if (!hash) return 0;
    uint32_t h = nd_Hash(page, x, y) & hashMask;
    while (int32_t s = hash[h]) {
        const NodeGridCell& c = cells[s - 1];
        if (c.page == page && c.x == x && c.y == y) return s;
        h = (h + 1) & hashMask;
    }
    return 0;
}

void NodeGrid::Free() {
    MemFree(cells);
    MemFree(slotNodes);
    MemFree(hash);
    cells = nullptr;
    slotNodes = nullptr;
    hash = nullptr;
    slotCount = 0;
    hashMask = 0;
}

// ---- numbering ------------------------------------------------------------------------------

int HighestNodeNumber(const CCirDoc* document) { return document ? document->build.highestNode : 0; }
int HighestGeometricNodeNumber(const CCirDoc* document) { return document ? document->lastGeometricNode : 0; }

int NumberNodes(CCirDoc* document) {
    if (!document) return kOk;
    nd_BusyState busy;
    document->build.missingHiddenNode.clear();
    document->build.missingHiddenComponent = nullptr;

    NodeGrid grid;
    int result = nd_Number(document, grid);
    if (result) {
        FreeNodeLabels(document);
        FreeConnectionPoints(document);
        ReportMessage(Message(kResultNoMemory).View(document->MainView()));
        result = kResultShown;
    }

    CMDIView* view = document->MainView();
    if (view && !(document->flags & kDocFlagInternalUse)) {
        SchematicViewPort& schematic = SchematicView();
        for (int page = 0; page < document->PageCount(); ++page)
            if (document->PageKind(page) == kPageSchematic) schematic.RedrawPage(view, page);
        schematic.RefreshPaneTabs(view);
    }
    grid.Free();
    return result;
}

int RenumberNodesIfChanged(CCirDoc* document, int force) {
    if (!document) return kOk;
    if (!document->MainView() && !(document->flags & kDocFlagInternalUse)) return kOk;
    const bool analysisRunning = RunState().activeAnalysis != -1;
    const bool showsNodes = (document->displayFlags & (kShowNodeNumbers | kShowNodeValues)) != 0;
    if (force || (!analysisRunning && (showsNodes || document->objects.count < Prefs().nodeRecalc))) {
        if (document->rewireRequest) {
            const int request = document->rewireRequest;
            SchematicEditor().Rewire(document, request);
            document->rewireRequest = 0;
            document->needsNumbering = 1;
        }
        if (document->needsNumbering) {
            document->needsNumbering = 0;
            const int result = NumberNodes(document);
            if (result) {
                document->needsNumbering = 1;
                return result;
            }
        }
    } else if (!analysisRunning && document->needsNumbering) {
        // Stale numbers are never shown.
        FreeNodeLabels(document);
        FreeConnectionPoints(document);
    }
    return kOk;
}
