// A small schematic built in code for the node numbering and node label tests:
// definitions with pins at chosen offsets, parts, wires and grid texts on the
// pages of a circuit that has no window.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/nodelabels.h"
#include "document/nodes.h"

struct ndt_Pin {
    int x;
    int y;
    char kind = 0;  // Macro and Subckt pins: 'a', 'd'
    const char* name = nullptr;
    const char* hiddenNode = nullptr;  // a hidden pin connects to this node name
};

class ndt_Circuit {
public:
    ndt_Circuit() : doc_(new CCirDoc()) {
        // No window: numbering runs as for a circuit loaded for internal use.
        doc_->flags |= kDocFlagInternalUse;
    }
    ndt_Circuit(const ndt_Circuit&) = delete;
    ndt_Circuit& operator=(const ndt_Circuit&) = delete;

    CCirDoc* doc() const { return doc_.get(); }

    ComponentDef* Def(int type, std::initializer_list<ndt_Pin> pins, const char* name = "DEF") {
        defs_.push_back(std::make_unique<ComponentDef>());
        ComponentDef* d = defs_.back().get();
        d->type = type;
        d->SetName(name);
        if (pins.size() > 0) {
            EXPECT_EQ(0, d->ResizePins(static_cast<int>(pins.size())));
        }
        int i = 0;
        for (const ndt_Pin& p : pins) {
            if (p.kind) {
                EXPECT_EQ(0, d->SetPin(i, p.kind, p.name ? p.name : "P", p.hiddenNode));
            }
            d->pins[i].x = static_cast<int16_t>(p.x);
            d->pins[i].y = static_cast<int16_t>(p.y);
            ++i;
        }
        return d;
    }

    SchematicObject* Part(ComponentDef* def, int x, int y, int orientation = 0, int page = 0,
                          const char* partName = nullptr) {
        SchematicObject* o = doc_->NewSchematicObject();
        EXPECT_NE(o, nullptr);
        o->objectKind = kObjectComponent;
        o->definition = def;
        o->x1 = x;
        o->y1 = y;
        o->orientation = static_cast<int16_t>(orientation);
        o->page = page;
        if (partName) {
            EXPECT_NE(SetAttribute(doc_.get(), o, kAttrPart, partName), nullptr);
        }
        return o;
    }

    SchematicObject* Wire(int x1, int y1, int x2, int y2, int page = 0) {
        SchematicObject* o = doc_->NewSchematicObject();
        EXPECT_NE(o, nullptr);
        o->objectKind = kObjectWire;
        o->x1 = x1;
        o->y1 = y1;
        o->x2 = x2;
        o->y2 = y2;
        o->page = page;
        return o;
    }

    GridTextObject* Text(const char* text, int x, int y, int page = 0, bool namesNode = true) {
        GridTextObject* t = doc_->NewGridText();
        EXPECT_NE(t, nullptr);
        SetString(&t->text, text);
        t->x = x;
        t->y = y;
        t->page = page;
        if (namesNode) t->flags |= kGridTextNamesNode;
        return t;
    }

    int AddSchematicPage(const char* name) { return doc_->AppendPage(kPageSchematic, name); }

    int Number() { return NumberNodes(doc_.get()); }

    static std::vector<int> Nodes(const SchematicObject* o) {
        return o->pinNodes ? std::vector<int>(o->pinNodes, o->pinNodes + o->pinCount) : std::vector<int>{};
    }

private:
    // Declared first so that the document (whose parts point to them) goes first.
    std::vector<std::unique_ptr<ComponentDef>> defs_;
    std::unique_ptr<CCirDoc> doc_;
};

// Two-pin parts with pin 1 four units to the right, and one-pin connectors.
inline ComponentDef* ndt_Resistor(ndt_Circuit& c) { return c.Def(kTypeResistor, {{0, 0}, {4, 0}}, "RES"); }
inline ComponentDef* ndt_Capacitor(ndt_Circuit& c) { return c.Def(kTypeCapacitor, {{0, 0}, {0, 4}}, "CAP"); }
inline ComponentDef* ndt_Battery(ndt_Circuit& c) { return c.Def(kTypeBattery, {{0, 0}, {0, 4}}, "BAT"); }
inline ComponentDef* ndt_Ground(ndt_Circuit& c) { return c.Def(kTypeGround, {{0, 0}}, "GND"); }
inline ComponentDef* ndt_Tie(ndt_Circuit& c) { return c.Def(kTypeTie, {{0, 0}}, "TIE"); }
