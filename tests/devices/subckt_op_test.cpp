// A deck built from three levels of subcircuits around an OPAMP compiles into
// one flat circuit whose operating point the engine solves: the subcircuits
// form the feedback network of an inverting amplifier.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// Nodes are numbered in the order the text first names them: IN 1, VCC 2,
// VEE 3, MINUS 4, OUT 5; the instances' own nodes follow.
constexpr const char* kAmplifier =
    "Inverting amplifier\n"
    "V1 IN 0 1\n"
    "VP VCC 0 15\n"
    "VN VEE 0 -15\n"
    "R1 IN MINUS 1K\n"
    "X1 MINUS OUT FEEDBACK\n"
    ".MODEL OA OPA (LEVEL=1 A=200000 ROUTAC=75 ROUTDC=125)\n"
    "* 10K in all: two halves of two 10K leaves in parallel\n"
    ".SUBCKT FEEDBACK A B\n"
    "X2 A M HALF\n"
    "X3 M B HALF\n"
    "C1 A B 1N\n"
    "I1 A B 0\n"
    ".ENDS\n"
    ".SUBCKT HALF P Q\n"
    "X4 P Q LEAF PARAMS: R=10K\n"
    "X5 P S LEAF PARAMS: R={5K*2}\n"
    "VS S Q 0\n"
    ".ENDS\n"
    ".SUBCKT LEAF P Q PARAMS: R=1\n"
    "R1 P Q {R}\n"
    ".ENDS\n"
    ".END\n";

class SubcktOperatingPointTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(2);
    }
    void TearDown() override {
        library_.reset();
        if (document_) {
            ReleaseCompiledCircuit(state_, document_.get());
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    // A SPICE text has no OPAMP line: the part is placed beside the text, on
    // the nodes the text will number.
    void AddOpamp(int plus, int minus, int vee, int out, int vcc) {
        opampDefinition_.type = kTypeOpamp;
        SchematicObject* part = document_->NewSchematicObject();
        part->objectKind = kObjectComponent;
        part->definition = &opampDefinition_;
        part->level = 1;
        part->pinCount = 5;
        part->pinNodes = static_cast<int32_t*>(MemAllocZero(sizeof(int32_t) * 6));
        const int pins[5] = {plus, minus, vee, out, vcc};
        for (int i = 0; i < 5; ++i) part->pinNodes[i] = pins[i];
        SetAttribute(document_.get(), part, kAttrPart, "U1");
        SetAttribute(document_.get(), part, kAttrModel, "OA");
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    ComponentDef opampDefinition_;
    SimulatorState state_;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};

TEST_F(SubcktOperatingPointTest, ThreeLevelsOfSubcircuitsSolveAsOneCircuit) {
    document_ = MakeSpiceTextDocument(dir_.File("amp.ckt").c_str(), kAmplifier);
    AddOpamp(0, 4, 3, 5, 2);
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
    ASSERT_NE(compiled, nullptr);
    EXPECT_EQ(compiled->devices[kListOpamps].pool.count, 1);
    EXPECT_EQ(compiled->devices[kListResistors].pool.count, 1 + 4 + 1);  // R1, four leaves, the opamp's load
    for (PoolItem* item = compiled->devices[kListResistors].pool.first; item; item = item->next)
        static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
    for (PoolItem* item = compiled->devices[kListCapacitors].pool.first; item; item = item->next) {
        static_cast<CapacitorRecord*>(item)->temperatureFactor = 1.0;
        static_cast<CapacitorRecord*>(item)->constantCapacitance = 1;
    }
    ASSERT_EQ(AttachCircuit(state_, compiled, *GetCircuitOptions(document_.get())), 0);
    ASSERT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair), 0);
    state_.MatrixBuilt = 1;
    state_.AnalysisPhase = kPhaseDc;
    state_.LoadAnalysis = kLoadOperatingPoint;
    state_.OperatingPointActive = 1;
    state_.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    // Gain -10K/1K with an open-loop gain of 200000 and a 200 ohm output load.
    EXPECT_NEAR(state_.Solution[5], -10.0, 2e-3);
    EXPECT_NEAR(state_.Solution[4], 0.0, 1e-4);
    EXPECT_NEAR(state_.Solution[1], 1.0, 1e-12);
}

}  // namespace
