// Node numbering: the pin geometry of placed parts and the numbers that every
// pin of a circuit's schematic carries.
//
// A schematic is connected by equal coordinates: a wire end on a pin, two wire
// ends on each other, a ground or jumper part, two ties of the same name, a
// ".TIE" text and node-name texts. NumberNodes turns that geometry into node
// numbers 1, 2, 3 ... (0 is ground) in a fixed order, so an unchanged drawing
// always gets the same numbers; the compiler numbers its equations by them.
//
// Coordinates are signed: a part turned near the origin has pins at negative
// positions, and some file loads do not check coordinates at all. Points are
// therefore found through a table keyed by (page, y, x), never by using a
// coordinate as an index; slot order stays page, then y, then x.
#pragma once

#include <cstddef>
#include <cstdint>

#include "document/component_defs.h"

struct SchematicObject;
struct GridTextObject;
class CCirDoc;
class CMDIView;

// ---- orientation and pin geometry ------------------------------------------------

// Orientation of placed parts: bits 0-1 quarter turns, bit 2 a mirror.
constexpr int kOrientTurnMask = 3;
constexpr int kOrientMirror = 4;
constexpr int kOrientCount = 8;

// A point in schematic coordinates.
struct SchPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const SchPoint&, const SchPoint&) = default;
};

// The pin offset (x, y) turned by the orientation: by orientation modulo 4
// (x, y), (-y, x), (-x, -y), (y, -x); then, with the mirror bit, y negated.
SchPoint TransformByOrientation(int orientation, int32_t x, int32_t y);

// The own pin table of a component drawn as an automatic macro box: a header
// followed by one pin record per pin in the same block (MemAlloc). Only the
// positions of its pins are used; pin kinds and names stay with the definition,
// so the box owns no texts and is released with MemFree.
struct PinBox {
    int32_t pinCount;
    int32_t spare;
    int32_t bounds[4];  // left, top, right, bottom
    ComponentPin* Pins() { return reinterpret_cast<ComponentPin*>(this + 1); }
    const ComponentPin* Pins() const { return reinterpret_cast<const ComponentPin*>(this + 1); }
};
static_assert(sizeof(PinBox) % alignof(ComponentPin) == 0);
// A zeroed box for n pins; null when out of memory.
PinBox* AllocPinBox(int n);

// The pin table of a component's shape and its length: the component's own pin
// box when its definition is an automatic macro box and it has one, else the
// definition's pins. Null (count 0) for no component or no definition.
const ComponentPin* GetComponentPinTable(const SchematicObject* component, int* count);
// Number of pins GetPinPosition can place (the pin table's length).
int GetComponentPinCount(const SchematicObject* component);
// Position + the turned pin offset; (0, 0) for no component, no definition or
// a pin index outside the pin table.
SchPoint GetPinPosition(const SchematicObject* component, int pin);

// 1 when the pin is digital, 0 when analog: by the type's pin-kind column;
// mixed types decide per pin (Macro and Subckt by the letter d in either case,
// N pin 3, O pin 2, ADC and DAC pins 3 and above).
int IsDigitalPin(const SchematicObject* component, int pin);

// A pin of a Macro or Subckt whose kind letter is upper case: connected by the
// node name it carries, never by geometry.
bool IsHiddenPin(const SchematicObject* component, int pin);

// NULL, Short, Ground, Jumper, Tie and Blank never carry pin nodes; every other
// type of a component does.
bool IsNumberedComponentType(int type);
// A component (kind 0) with a definition of a numbered type.
bool IsNumberedComponent(const SchematicObject* object);

// Pin-node array of a component. ResizePinNodes sets the pin count; 0 or less
// frees the array; the block is reused when it already holds `count` entries.
// False when memory ran out (the pin count is then 0).
bool ResizePinNodes(SchematicObject* component, int count);
// ResizePinNodes with the definition's pin count for a numbered component, 0
// for the six types that never carry nodes.
bool SizePinNodesForType(SchematicObject* component);

// ---- numbering ---------------------------------------------------------------------

// CDoc::flags bit of a circuit loaded for internal use (a hidden open for a
// subcircuit or macro source): numbering draws nothing for it.
constexpr uint32_t kDocFlagInternalUse = 0x2000;

// Numbers every pin of the document's schematic pages, gives every wire the
// node of its first end, records a missing hidden node and rebuilds the node
// labels and the connection points. 0, or 15055 after "Insufficient memory."
// has been reported.
int NumberNodes(CCirDoc* document);
// Numbers when it is due (see the .cpp); 0 or NumberNodes' error.
int RenumberNodesIfChanged(CCirDoc* document, int force);

// The highest node number of the document's last numbering (the node labels
// and the compiler read it), and the highest one given by geometry alone. Each
// circuit keeps its own, so circuits number side by side.
int HighestNodeNumber(const CCirDoc* document);
int HighestGeometricNodeNumber(const CCirDoc* document);
