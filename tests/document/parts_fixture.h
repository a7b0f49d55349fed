// A circuit without a window for the placed-part and part-name tests:
// definitions of chosen types, parts, wires and grid texts, and every hook of
// the part services put back after each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/partnames.h"
#include "document/parts.h"

class ptf_Circuit : public ::testing::Test {
protected:
    ptf_Circuit() : doc_(new CCirDoc()) {}
    void TearDown() override {
        PartHooks() = PartServices{};
        PartPlacing() = PartPlacingServices{};
    }

    CCirDoc* doc() const { return doc_.get(); }

    // A definition of the type with n pins at (0, 0), (0, 2) ...; it has a
    // shape, so it can be placed.
    ComponentDef* Def(int type, const char* name = "DEF", int pins = 2) {
        defs_.push_back(std::make_unique<ComponentDef>());
        ComponentDef* d = defs_.back().get();
        d->type = type;
        d->SetName(name);
        if (pins > 0) {
            EXPECT_EQ(0, d->ResizePins(pins));
        }
        d->shapeLink = reinterpret_cast<Shape*>(&shapeToken_);
        return d;
    }

    SchematicObject* Part(ComponentDef* def, int x, int y, const char* partName = nullptr, int page = 0) {
        SchematicObject* o = doc_->NewSchematicObject();
        EXPECT_NE(o, nullptr);
        o->objectKind = kObjectComponent;
        o->definition = def;
        o->x1 = x;
        o->y1 = y;
        o->page = page;
        if (partName) {
            EXPECT_NE(SetAttribute(doc_.get(), o, kAttrPart, partName), nullptr);
        }
        return o;
    }

    SchematicObject* Object(int16_t kind, int x, int y, int page = 0) {
        SchematicObject* o = doc_->NewSchematicObject();
        EXPECT_NE(o, nullptr);
        o->objectKind = kind;
        o->x1 = x;
        o->y1 = y;
        o->page = page;
        return o;
    }

    GridTextObject* Text(const char* text, int x = 0, int y = 0, int page = 0) {
        GridTextObject* t = doc_->NewGridText();
        EXPECT_NE(t, nullptr);
        SetString(&t->text, text);
        t->x = x;
        t->y = y;
        t->page = page;
        return t;
    }

    static std::string Part(const SchematicObject* o) { return GetAttributeText(o, kAttrPart); }
    static std::string Attr(const SchematicObject* o, int id) { return GetAttributeText(o, id); }

private:
    // Declared first so that the document (whose parts point to them) goes first.
    std::vector<std::unique_ptr<ComponentDef>> defs_;
    int shapeToken_ = 0;
    std::unique_ptr<CCirDoc> doc_;
};
