// What the compiler serves the documents once its services are installed:
// part attributes evaluate with the circuit's defines, and a document that
// goes away releases the define table the compiler hung on it.
#include <gtest/gtest.h>

#include <memory>

#include "compiler/defines.h"
#include "compiler/support.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "shell/document.h"

namespace {

TEST(CompilerDocumentServices, AttributesEvaluateWithTheCircuitsDefines) {
    auto doc = std::make_unique<CCirDoc>();
    CurrentRunContext().circuitDocument = doc.get();
    ASSERT_EQ(InitRootScopes(doc.get()), 0);
    ASSERT_NE(doc->defineTable, nullptr);
    StatementSource source{kSourceTextLine, 1, 0, 0};
    ASSERT_EQ(ParseDefineStatement(GetDefineTable(doc.get()), ".define RL 2k", source, kDotDefine), 0);
    SchematicObject* part = doc->NewSchematicObject();
    SetAttribute(doc.get(), part, kAttrPart, "R1");
    SetAttribute(doc.get(), part, kAttrValue, "RL*2");
    // The document layer's own entry point reaches the compiler: a plain
    // number reading could not know RL.
    int error = 0;
    EXPECT_DOUBLE_EQ(EvaluateAttributeNumber(part, kAttrValue, &error), 4000);
    EXPECT_EQ(error, 0);
    CurrentRunContext().circuitDocument = nullptr;
    // Closing the document releases its define table through the compiler
    // (the leak checker would report it otherwise).
    doc.reset();
}

}  // namespace
