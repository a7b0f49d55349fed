// A circuit without a window for the placed-part and part-name tests:
// definitions of chosen types, parts, wires and grid texts, and a component
// catalog and schematic editor that answer as the test sets them (installed
// for the test and taken away after it).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/port.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/partnames.h"
#include "document/parts.h"

// The component libraries: `current` is the definition chosen for placing;
// a package fits every part while packageName is set.
struct ptf_Catalog final : ComponentCatalogPort {
    ComponentDef* current = nullptr;
    std::string packageName;
    std::string firstGate;
    ComponentDef* CurrentComponent() override { return current; }
    void AddRecentComponent(ComponentDef*) override {}
    bool FindPackage(const SchematicObject*, PackageMatch* match) override {
        if (packageName.empty()) return false;
        match->packageName = packageName.c_str();
        match->firstGate = firstGate.c_str();
        return true;
    }
};

// The schematic editor: drags end as acceptDrag says; every dropped undo
// entry is recorded (its undoFirst).
struct ptf_Editor final : SchematicEditorPort {
    bool acceptDrag = true;
    std::vector<bool> pops;
    void Rewire(CDoc*, int) override {}
    void HideCrossHair() override {}
    void ShowCrossHair(CMDIView*) override {}
    bool TrackNewPart(CMDIView*, SchematicObject*) override { return acceptDrag; }
    int EditAttributes(CMDIView*, SchematicObject*) override { return 1; }
    bool FirstLedColor(const char**, int*) override { return false; }
    void PopUndo(CCirDoc*, bool undoFirst) override { pops.push_back(undoFirst); }
};

class ptf_Circuit : public ::testing::Test {
protected:
    ptf_Circuit() : doc_(new CCirDoc()) {}

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

    ptf_Catalog catalog;
    ptf_Editor editor;

private:
    // Declared first so that the document (whose parts point to them) goes first.
    std::vector<std::unique_ptr<ComponentDef>> defs_;
    int shapeToken_ = 0;
    std::unique_ptr<CCirDoc> doc_;
    ScopedPort<ComponentCatalogPort> catalogInstalled_{InstallComponentCatalog, &catalog};
    ScopedPort<SchematicEditorPort> editorInstalled_{InstallSchematicEditor, &editor};
};
