// Subcircuit calls in SPICE text: the definition is found in the deck, an
// included file or a library, its pins and parameters bind to the call in a
// scope of their own, nested calls expand under qualified names, and every
// mismatch between call and definition stops the compile with its message.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/hierarchy.h"
#include "compiler/options.h"
#include "compiler/session.h"
#include "compiler/spicereader.h"
#include "compiler/subckt.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"
#include "models/lookup.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class SubcktTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
    }
    void TearDown() override {
        library_.reset();
        if (document_) {
            ReleaseSpiceReader(document_.get());
            ReleaseCompiledCircuit(document_.get());
            ReleaseDefineTable(document_.get());
        }
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    int Compile(const std::string& text) {
        if (document_) {
            ReleaseSpiceReader(document_.get());
            ReleaseCompiledCircuit(document_.get());
            ReleaseDefineTable(document_.get());
        }
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        shown_.clear();
        return RunCircuitCompiler(document_.get(), 1);
    }
    void WriteFile(const char* name, const std::string& text) {
        std::ofstream out(dir_.File(name));
        out << text;
    }
    // The scope whose qualified prefix is given, or -1.
    int ScopeOf(const std::string& prefix) {
        DefineTable* table = GetDefineTable(document_.get());
        for (int s = 2; s <= table->highestScope; ++s)
            if (table->scopes[static_cast<size_t>(s)].prefix == prefix) return s;
        return -1;
    }
    std::string DefineValue(const std::string& prefix, const char* name) {
        const int scope = ScopeOf(prefix);
        if (scope < 0) return "<no scope>";
        DefineEntry* entry = GetDefineTable(document_.get())->FindEntry(name, scope);
        return entry && entry->value ? entry->value : "<none>";
    }
    ResistorRecord* Resistor(const std::string& qualified) {
        CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
        if (!compiled) return nullptr;
        for (const auto& [part, link] : compiled->partLinks)
            if (link.qualifiedName == qualified && link.deviceKind == kTypeResistor)
                return static_cast<ResistorRecord*>(link.record);
        return nullptr;
    }
    int FirstShown() const { return shown_.empty() ? 0 : shown_.front(); }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest&) {
        shown_.push_back(LastMessageId());
        return 0;
    }};
};

constexpr const char* kThreePin = ".SUBCKT AMP IN OUT REF\nR1 IN OUT 1K\nR2 OUT REF 1K\n.ENDS\nV1 1 0 1\n";

// Every way a call can fail to fit its definition stops the compile with the
// message that names the fault.
TEST_F(SubcktTest, CallsThatDoNotFitTheirDefinitionAreRefused) {
    struct Case {
        const char* body;
        int id;
    };
    const Case cases[] = {
        {"X1 1 0 AMP\n", 10919},                                         // two nodes to three pins
        {"X1 1 0 2 3 AMP\nR9 2 3 1\n", 10909},                           // four nodes
        {"X1 1 0 2 AMP PARAMS: GAIN=10\n", 10930},                       // no such parameter
        {"X1 1 0 2 NOWHERE\n", 10903},                                   // no definition anywhere
        {"X1\n", 11900},                                                 // no subcircuit name
        {"X1 1 0 2 AMP PARAMS: GAIN 10\n", 11901},                       // no '='
        {"X1 1 0 2 AMP PARAMS: G=1 G=2\n", 10929},                       // given twice
        {".SUBCKT LOOP A B\nX9 A B LOOP\n.ENDS\nX1 1 0 LOOP\n", 10878},  // calls itself
        {".SUBCKT GND A 0\nR1 A 0 1\n.ENDS\nX1 1 2 GND\nR9 2 0 1\n", 10953},
        {".SUBCKT OPEN A B\nR1 A B 1\nX1 1 0 OPEN\n", 10918},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_NE(Compile(std::string("T\n") + kThreePin + c.body + ".END\n"), 0);
        EXPECT_EQ(FirstShown(), c.id);
        EXPECT_EQ(FindCompiledCircuit(document_.get()), nullptr) << "a failed compile keeps nothing";
    }
}

// Parameters flow from call to body: a braced value read inside an instance
// takes the instance's bound value, defaults fill what the call leaves out,
// and nested instances register their parts under qualified names.
TEST_F(SubcktTest, NestedCallsBindParametersAndQualifyNames) {
    ASSERT_EQ(Compile("T\n"
                      ".SUBCKT INNER A B PARAMS: R=1K\n"
                      "R1 A B {R}\n"
                      ".ENDS\n"
                      ".SUBCKT OUTER IN OUT PARAMS: GAIN=1 SPARE=7\n"
                      "X2 IN MID INNER PARAMS: R={GAIN*2}\n"
                      "X3 MID OUT INNER\n"
                      "R2 IN OUT {GAIN}\n"
                      ".ENDS\n"
                      "V1 1 0 1\n"
                      "X1 1 0 OUTER PARAMS: GAIN=5\n"
                      ".END\n"),
              0)
        << LastMessageText();
    EXPECT_EQ(DefineValue("X1", "GAIN"), "5");
    EXPECT_EQ(DefineValue("X1", "SPARE"), "7");
    EXPECT_EQ(DefineValue("X1.X2", "R"), "(5*2)");
    EXPECT_EQ(DefineValue("X1.X3", "R"), "1K");
    ResistorRecord* inner = Resistor("X1.X2.R1");
    ResistorRecord* defaulted = Resistor("X1.X3.R1");
    ResistorRecord* outer = Resistor("X1.R2");
    ASSERT_NE(inner, nullptr);
    ASSERT_NE(defaulted, nullptr);
    ASSERT_NE(outer, nullptr);
    // The two inner instances share X1's internal node MID and nothing else.
    EXPECT_EQ(inner->node1, 1);
    EXPECT_EQ(defaulted->node2, 0);
    EXPECT_EQ(inner->node2, defaulted->node1);
    EXPECT_GT(inner->node2, 1);
    EXPECT_EQ(outer->node1, 1);
    EXPECT_EQ(outer->node2, 0);
}

// An OPTIONAL: pin left out by the call is bound to its default node; one the
// call gives is bound to the call's node.
TEST_F(SubcktTest, OptionalPinsTakeTheCallsNodeOrTheirDefault) {
    const std::string definition = ".SUBCKT LOAD A OPTIONAL: RET=0\nR1 A RET 1K\n.ENDS\nV1 1 0 1\nR9 2 0 1\n";
    ASSERT_EQ(Compile("T\n" + definition + "X1 1 LOAD\n.END\n"), 0) << LastMessageText();
    ASSERT_NE(Resistor("X1.R1"), nullptr);
    EXPECT_EQ(Resistor("X1.R1")->node2, 0);
    ASSERT_EQ(Compile("T\n" + definition + "X1 1 2 LOAD\n.END\n"), 0) << LastMessageText();
    ASSERT_NE(Resistor("X1.R1"), nullptr);
    EXPECT_EQ(Resistor("X1.R1")->node2, 2);
}

// Definitions in an included file and in a library are found; a second call
// of the same subcircuit reads the definition again at its recorded place.
TEST_F(SubcktTest, DefinitionsComeFromIncludedFilesAndLibraries) {
    WriteFile("parts.inc", "* parts\n.SUBCKT DIV A B\nR1 A B 2K\n.ENDS\n");
    WriteFile("mylib.lib", "* library\n.SUBCKT LIBDIV A B\nR1 A B 3K\n.ENDS LIBDIV\n");
    ASSERT_EQ(Compile("T\n.INC parts.inc\n.LIB mylib.lib\nV1 1 0 1\nX1 1 0 DIV\nX2 1 0 DIV\nX3 1 0 LIBDIV\n.END\n"), 0)
        << LastMessageText();
    ASSERT_NE(Resistor("X1.R1"), nullptr);
    ASSERT_NE(Resistor("X2.R1"), nullptr);
    ASSERT_NE(Resistor("X3.R1"), nullptr);
    EXPECT_EQ(Resistor("X2.R1")->nominal, 2000.0);
    EXPECT_EQ(Resistor("X3.R1")->nominal, 3000.0);
    const int first = ScopeOf("X1");
    const int second = ScopeOf("X2");
    DefineTable* table = GetDefineTable(document_.get());
    EXPECT_EQ(table->scopes[static_cast<size_t>(first)].startPosition,
              table->scopes[static_cast<size_t>(second)].startPosition);

    // A library block that is never closed is reported at its start in that file.
    WriteFile("open.lib", "* library\n.SUBCKT OPEN A B\nR1 A B 3K\n");
    EXPECT_NE(Compile("T\n.LIB open.lib\nV1 1 0 1\nX1 1 0 OPEN\n.END\n"), 0);
    EXPECT_EQ(FirstShown(), 10918);
    EXPECT_NE(std::string(CompileErrorLocation().path).find("open.lib"), std::string::npos);
}

// A block nested inside a definition serves calls from that definition's body
// only: the main circuit does not see it.
TEST_F(SubcktTest, NestedBlocksAreLocalToTheirDefinition) {
    const std::string definition =
        ".SUBCKT HOST A B\n.SUBCKT LOCAL P Q\nR1 P Q 4K\n.ENDS\nX1 A B LOCAL\n.ENDS\nV1 1 0 1\n";
    ASSERT_EQ(Compile("T\n" + definition + "X1 1 0 HOST\n.END\n"), 0) << LastMessageText();
    ASSERT_NE(Resistor("X1.X1.R1"), nullptr);
    EXPECT_EQ(Resistor("X1.X1.R1")->nominal, 4000.0);
    EXPECT_NE(Compile("T\n" + definition + "X1 1 0 LOCAL\n.END\n"), 0);
    EXPECT_EQ(FirstShown(), 10903);
}

}  // namespace

namespace {

// The hierarchy report names every call with its caller and file, the
// defines and passed values of each scope with their use, the component
// counts without connection-only parts, and the files the circuit used.
TEST_F(SubcktTest, HierarchyReportNamesCallsDefinesAndFiles) {
    WriteFile("parts.inc", ".SUBCKT DIV A B PARAMS: R=2K\nR1 A B {R}\n.ENDS\n");
    ASSERT_EQ(Compile("T\n.INC parts.inc\n.DEFINE SPARE 5\n.PARAM RV=3K\nV1 1 0 1\n"
                      "X1 1 0 DIV PARAMS: R={RV}\n.END\n"),
              0)
        << LastMessageText();
    const std::string report = BuildHierarchyReport(document_.get());
    const std::string deck = dir_.File("deck.ckt");
    const std::string inc = dir_.File("parts.inc");
    EXPECT_EQ(report.rfind("*** Warning any changes made to this page will be overwritten when an analysis is "
                           "entered.\r\n",
                           0),
              0u);
    EXPECT_NE(report.find("\r\nMain found in '" + deck + "'\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("Part 'X1' called from 'deck' calls SubCkt 'DIV' found in '" + inc + "'"), std::string::npos)
        << report;
    EXPECT_NE(report.find("    .define 'SPARE' '5' found in '" + deck + "' on page 'Text' 'Not Used'"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("    Passed Value 'R' '(3K)' 'Used'"), std::string::npos) << report;
    EXPECT_NE(report.find("    .param 'RV' '3K' found in '" + deck + "'"), std::string::npos) << report;
    EXPECT_NE(report.find("\r\nComponents:\r\n    Resistor = 1\r\n    VSpice = 1\r\n    Subckt = 1\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\r\nFiles Used:\r\n" + inc + "\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("Files Used:\r\n" + inc + "\r\n" + inc), std::string::npos) << "listed once";
    EXPECT_EQ(report.find(deck + "\r\n", report.find("Files Used:")), std::string::npos) << "never the main file";
}

}  // namespace

namespace {

// .OPTIONS inside a body apply with the instance (only its time-step limit
// counts there), never as options of the whole circuit.
TEST_F(SubcktTest, BodyOptionsApplyWithTheirInstanceOnly) {
    const char* deck =
        "T\n.SUBCKT SLOW A B\n.OPTIONS RELTOL=0.5 MAXTIMESTEP=1N\nR1 A B 1K\n.ENDS\nV1 1 0 1\nR9 1 0 1K\n%s.END\n";
    char text[256];
    std::snprintf(text, sizeof text, deck, "");
    ASSERT_EQ(Compile(text), 0) << LastMessageText();
    const double reltol = GetCircuitOptions(document_.get())->RowValue(FindOptionRow("RELTOL"));
    EXPECT_NE(reltol, 0.5);
    EXPECT_EQ(GetCircuitOptions(document_.get())->maxTimeStep, 0.0) << "no instance, no limit";
    std::snprintf(text, sizeof text, deck, "X1 1 0 SLOW\n");
    ASSERT_EQ(Compile(text), 0) << LastMessageText();
    EXPECT_EQ(GetCircuitOptions(document_.get())->RowValue(FindOptionRow("RELTOL")), reltol);
    EXPECT_DOUBLE_EQ(GetCircuitOptions(document_.get())->maxTimeStep, 1e-9);
}

}  // namespace

namespace {

// A schematic without any text page still finds a called subcircuit in its
// libraries, and reports one that is nowhere instead of dropping the call.
TEST_F(SubcktTest, SchematicWithoutTextPageSearchesTheLibraries) {
    WriteFile("cells.lib", "* cells\n.SUBCKT CELL A B\nR1 A B 5K\n.ENDS\n");
    auto circuit = std::make_unique<CCirDoc>();
    CurrentRunContext().circuitDocument = circuit.get();
    ASSERT_EQ(InitRootScopes(circuit.get()), 0);
    ASSERT_EQ(AddLibraryFile(GetCircuitModels(circuit.get()), dir_.File("cells.lib").c_str(), 0, nullptr, false), 0);
    ComponentDef definition;
    definition.type = kTypeSubckt;
    auto call = [&](const char* name) {
        SchematicObject* part = circuit->NewSchematicObject();
        part->objectKind = kObjectComponent;
        part->definition = &definition;
        part->level = 1;
        part->pinCount = 2;
        part->pinNodes = static_cast<int32_t*>(MemAllocZero(sizeof(int32_t) * 3));
        part->pinNodes[0] = 1;
        SetAttribute(circuit.get(), part, kAttrPart, "X1");
        SetAttribute(circuit.get(), part, kAttrName, name);
        return part;
    };
    shown_.clear();
    EXPECT_EQ(FindSubcircuit(circuit.get(), call("CELL")), 0) << LastMessageText();
    int bodyParts = 0;
    for (PoolItem* item = circuit->objects.first; item; item = item->next) {
        auto* part = static_cast<SchematicObject*>(item);
        if (part->definition && part->definition->type == kTypeResistor && part->level == 2) ++bodyParts;
    }
    EXPECT_EQ(bodyParts, 1);
    EXPECT_EQ(FindSubcircuit(circuit.get(), call("NOWHERE")), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10903});
    ReleaseSpiceReader(circuit.get());
    ReleaseCompiledCircuit(circuit.get());
    ReleaseDefineTable(circuit.get());
    CurrentRunContext().circuitDocument = nullptr;
}

}  // namespace
