// The point table of one node-numbering run (internal to numbering and the
// connection-point list).
//
// Every connection point of the document's own objects on schematic pages (the
// pins of components and both ends of wires) gets a slot, numbered from 1 in
// the order page, y, x; slot 0 means "no point". Points are found by a hash of
// their (page, y, x), so any coordinate, negative or huge, is safe.
#pragma once

#include <cstdint>

// One occupied position.
struct NodeGridCell {
    int32_t page;
    int32_t y;
    int32_t x;
    int32_t count;        // connection points at the position
    int32_t numberedPin;  // 1 when a non-hidden pin of a numbered component lies there
};

struct NodeGrid {
    NodeGridCell* cells = nullptr;  // slot s is cells[s - 1]
    int32_t slotCount = 0;
    int32_t* slotNodes = nullptr;  // slotCount + 1 values (-1, 0, node, or a group id <= -2)
    int32_t* hash = nullptr;       // open addressing: 0 empty, else a slot
    uint32_t hashMask = 0;

    // The slot at a position, 0 when there is no point there.
    int32_t Find(int32_t page, int32_t x, int32_t y) const;
    // The value of a slot; -1 for slot 0.
    int32_t Value(int32_t slot) const { return slot > 0 && slot <= slotCount ? slotNodes[slot] : -1; }
    void Free();
};
