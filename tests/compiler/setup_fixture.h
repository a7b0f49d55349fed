// A headless circuit whose parts are set up by hand: parts with a component
// definition, attributes and pin nodes, the circuit's model statements, and the
// compiled circuit's device lists made current. Reset() starts a new circuit. Every message id shown is kept.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/session.h"
#include "compiler/setup.h"
#include "compiler/support.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "expr/runstate.h"
#include "models/modelstmt.h"
#include "shell/document.h"
#include "tests/support/test_reporter.h"

class SetupFixture : public ::testing::Test {
protected:
    void SetUp() override {
        doc_ = std::make_unique<CCirDoc>();
        CurrentRunContext().circuitDocument = doc_.get();
        ASSERT_EQ(InitRootScopes(doc_.get()), 0);
        compiled_ = GetCompiledCircuit(doc_.get());
        ASSERT_NE(compiled_, nullptr);
        scope_.emplace(compiled_->devices);
        ClearLastMessage();
        shown_.clear();
    }
    void TearDown() override {
        scope_.reset();
        ReleaseCompiledCircuit(doc_.get());
        ReleaseDefineTable(doc_.get());
        CurrentRunContext().circuitDocument = nullptr;
        doc_.reset();
        CurrentSetupPart = nullptr;
        SetAnalysisKind(-1);
    }

    void Reset() {
        TearDown();
        SetUp();
    }
    SchematicObject* AddPart(int type, const char* name, const char* value, std::vector<int> pins,
                             int dialect = kSpiceDialectNone) {
        std::unique_ptr<ComponentDef>& definition = definitions_[type];
        if (!definition) {
            definition = std::make_unique<ComponentDef>();
            definition->type = type;
        }
        SchematicObject* part = doc_->NewSchematicObject();
        part->objectKind = kObjectComponent;
        part->definition = definition.get();
        part->level = 1;
        part->dialect = dialect;
        part->pinCount = static_cast<int32_t>(pins.size());
        part->pinNodes = static_cast<int32_t*>(MemAllocZero(sizeof(int32_t) * (pins.size() + 1)));
        for (size_t i = 0; i < pins.size(); ++i) {
            part->pinNodes[i] = pins[i];
            if (pins[i] > compiled_->analogNodeCount) compiled_->analogNodeCount = pins[i];
        }
        if (name) SetAttribute(doc_.get(), part, kAttrPart, name);
        if (value) SetAttribute(doc_.get(), part, kAttrValue, value);
        return part;
    }
    void Model(const char* text) {
        StatementSource source{kSourceTextLine, 1, 0, 0};
        ASSERT_EQ(ParseModelStatement(GetCircuitModels(doc_.get()), text, source, 0, ""), 0) << text;
    }
    void Define(const char* text) {
        StatementSource source{kSourceTextLine, 1, 0, 0};
        ASSERT_EQ(ParseDefineStatement(GetDefineTable(doc_.get()), text, source, kDotDefine), 0) << text;
    }
    // Runs the loop; the ids of the messages shown are in shown_.
    int Process() {
        shown_.clear();
        return ProcessComponents(doc_.get());
    }
    template <class T>
    std::vector<T*> Records(int list) {
        std::vector<T*> records;
        for (PoolItem* item = DeviceLists()[list].pool.first; item; item = item->next)
            records.push_back(static_cast<T*>(item));
        return records;
    }
    std::string Attribute(SchematicObject* part, int id) { return GetAttributeText(part, id); }

    std::unique_ptr<CCirDoc> doc_;
    CompiledCircuit* compiled_ = nullptr;
    std::optional<DeviceListScope> scope_;
    std::map<int, std::unique_ptr<ComponentDef>> definitions_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest&) {
        shown_.push_back(LastMessageId());
        return 0;
    }};
};
