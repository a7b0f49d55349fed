// Controlled sources, ideal lines and switches from deck to engine: the E, G,
// B, T and W lines, the polynomial sources' parse with its refusals, their
// operating points against the polynomial in its term order, a divider with
// E, F, G and H that converges like a resistive one, the ideal line's DC ties
// and delayed wave, and switch decks reaching the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/depsources.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/session.h"
#include "compiler/spicedevices.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "compiler/topology.h"
#include "core/dialect.h"
#include "core/report_port.h"
#include "core/result.h"
#include "devices/depsources.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "document/spicedoc.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class DepSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(2);
        ResetFloatingPointState();
    }
    void TearDown() override {
        Close();
        library_.reset();
        SetAnalysisKind(-1);
    }
    void Close() {
        if (!document_) return;
        ReleaseCompiledCircuit(state_, document_.get());
        ReleaseSpiceReader(document_.get());
        ReleaseDefineTable(document_.get());
        CurrentRunContext().circuitDocument = nullptr;
        CurrentSetupPart = nullptr;
        ClearCompileErrorLocation();
        document_.reset();
        compiled_ = nullptr;
    }
    // Reads the deck's lines into parts only.
    int Read(const std::string& text, int dialect = kSpiceDialectPSpice) {
        Close();
        shown_.clear();
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        document_->dialect = dialect;
        CurrentRunContext().circuitDocument = document_.get();
        EXPECT_EQ(ResetSpiceReader(document_.get()), 0);
        return ReadSpiceText(document_.get());
    }
    // A full compile: 0, or the code with the shown message ids in shown_.
    int Compile(const std::string& text) {
        Close();
        shown_.clear();
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        const int rc = RunCircuitCompiler(document_.get(), 1);
        compiled_ = FindCompiledCircuit(document_.get());
        return rc;
    }
    // Compiles and builds the DC matrix for an operating point.
    int Build(const std::string& text) {
        const int rc = Compile(text);
        EXPECT_EQ(rc, 0) << text << LastMessageText();
        if (rc || !compiled_) return rc ? rc : -1;
        for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
            static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        const int result = BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair);
        state_.MatrixBuilt = 1;
        state_.AnalysisPhase = kPhaseDc;
        state_.LoadAnalysis = kLoadOperatingPoint;
        state_.OperatingPointActive = 1;
        state_.IterationMode = kModeInitJunction;
        return result;
    }
    // One full load must stamp exactly the entries the reserve made.
    void ExpectLoadMatchesReserve() {
        ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
        EXPECT_EQ(state_.Cursor.Position(), state_.Entries()->Size());
    }
    SchematicObject* Part(const char* name) {
        for (PoolItem* item = document_->objects.first; item; item = item->next) {
            auto* part = static_cast<SchematicObject*>(item);
            if (std::strcmp(GetAttributeText(part, kAttrPart), name) == 0) return part;
        }
        return nullptr;
    }
    int Node(const char* name) { return FindNodeNumber(document_.get(), name, -1, -1); }
    double V(const char* name) { return state_.Solution[static_cast<size_t>(Node(name))]; }
    template <class Record>
    std::vector<Record*> Records(int list) {
        std::vector<Record*> records;
        for (PoolItem* item = compiled_->devices[list].pool.first; item; item = item->next)
            records.push_back(static_cast<Record*>(item));
        return records;
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    CompiledCircuit* compiled_ = nullptr;
    SimulatorState state_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest&) {
        shown_.push_back(LastMessageId());
        return 0;
    }};
};

TEST_F(DepSourceTest, LinesBecomePartsOfTheirForm) {
    ASSERT_EQ(Read("T\n"
                   "E1 OUT 0 VALUE={V(IN)*2}\nE4 OUT 0 VALUE={V(IN)}+{1}\n"
                   "G1 OUT 0 POLY(2) A 0 B 0 0 1 1\n"
                   "E2 OUT 0 LAPLACE={V(A)-V(B)} {1/(1+S)}\n"
                   "G2 OUT 0 TABLE={V(A,B)} (0,0) (1,1)\n"
                   "E3 OUT 0 FREQ={V(A)} MAG RAD (0,0,0)\n"
                   "T1 A 0 B 0 Z0=50 TD=1N\n"
                   "T2 A 0 B 0 TMOD LEN=1\n"
                   "W1 A 0 VSENSE WMOD\n"
                   "B1 D G S GMOD 2\n"),
              0)
        << LastMessageText();
    struct Expect {
        const char* name;
        int type;
        const char* model;
        int attribute;
        const char* value;
    } expected[] = {
        {"E1", 37, "", kAttrValue, "V(IN)*2"},
        {"G1", kTypeGIofV, "", kAttrValue, "POLY(2) A 0 B 0 0 1 1"},
        {"E4", 37, "", kAttrValue, "{V(IN)}+{1}"},
        {"E2", 33, "", 0, "{1/(1+S)}"},
        {"G2", 39, "", 0, "(0,0) (1,1)"},
        {"E3", 45, "", 0, "(0,0,0)"},
        {"T1", kTypeTline, "", kAttrValue, "Z0=50 TD=1N"},
        {"T2", kTypeTline, "TMOD", kAttrValue, "LEN=1"},
        {"W1", 116, "WMOD", 27, "VSENSE"},
        {"B1", kTypeGaAsFet, "GMOD", kAttrValue, "2"},
    };
    for (const Expect& e : expected) {
        SchematicObject* part = Part(e.name);
        ASSERT_NE(part, nullptr) << e.name;
        EXPECT_EQ(part->definition->type, e.type) << e.name;
        EXPECT_STREQ(GetAttributeText(part, kAttrModel), e.model) << e.name;
        const int attribute = e.attribute ? e.attribute : GetComponentType(e.type)->attributeIds[0];
        EXPECT_STREQ(GetAttributeText(part, attribute), e.value) << e.name;
    }
    // Simple inputs bind the control pins; others go through an auxiliary source.
    EXPECT_EQ(Part("G2")->pinNodes[2], Node("A"));
    EXPECT_EQ(Part("G2")->pinNodes[3], Node("B"));
    EXPECT_EQ(Part("E3")->pinNodes[3], 0);
    SchematicObject* auxiliary = Part("E_$$E2$$");
    ASSERT_NE(auxiliary, nullptr);
    EXPECT_EQ(auxiliary->definition->type, 37);
    EXPECT_STREQ(GetAttributeText(auxiliary, kAttrValue), "V(A)-V(B)");
    EXPECT_EQ(auxiliary->pinNodes[0], Part("E2")->pinNodes[2]);
    EXPECT_EQ(Part("E2")->pinNodes[3], 0);
    EXPECT_STREQ(GetAttributeText(Part("E3"), 34), "MAG RAD");

    // SPICE3 behavioural lines are VALUE sources; the first B line settles an
    // ambiguous text's dialect.
    ASSERT_EQ(Read("T\nB1 OUT 0 V=V(IN)*2\nB2 OUT 0 I = 2*I(V1)\n", kSpiceDialectAmbiguous), 0) << LastMessageText();
    EXPECT_EQ(Part("B1")->definition->type, 37);
    EXPECT_STREQ(GetAttributeText(Part("B1"), kAttrValue), "V(IN)*2");
    EXPECT_EQ(Part("B2")->definition->type, 35);
    EXPECT_STREQ(GetAttributeText(Part("B2"), kAttrValue), "2*I(V1)");

    struct Bad {
        const char* line;
        int message;
    } bad[] = {
        {"E1 1 0 CHEBYSHEV={V(1)} = LP 1K 2K 1 40", 10902},
        {"E1 1 0 VALUE V(2)", 11900},
        {"W1 1 0 VSENSE WMOD EXTRA", 11903},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(Read(std::string("T\n") + b.line + "\n"), kResultShown) << b.line;
        EXPECT_EQ(shown_, std::vector<int>{b.message}) << b.line;
    }
}

TEST_F(DepSourceTest, PolySourcesParseTheirControlsAndCoefficients) {
    ASSERT_EQ(Compile("T\nV1 2 0 1\nV2 3 0 1\nR1 2 3 1\nR2 1 0 1\nE1 1 0 2 3 10\n"), 0) << LastMessageText();
    std::vector<PolySourceRecord*> sources = Records<PolySourceRecord>(kListPolySources);
    ASSERT_EQ(sources.size(), 1u);
    PolySourceRecord& e1 = *sources[0];
    EXPECT_EQ(e1.sourceKind, 52);
    EXPECT_EQ(e1.inputCount, 1);
    EXPECT_EQ(e1.inputs[1].positive, Node("2"));
    EXPECT_EQ(e1.inputs[1].negative, Node("3"));
    EXPECT_EQ(e1.coefficientCount, 2);
    EXPECT_EQ(e1.coefficients[1], 0.0);
    EXPECT_EQ(e1.coefficients[2], 10.0);
    EXPECT_GT(e1.branch, compiled_->analogNodeCount);

    // Names have no length limit, controls read POLY(n) pairs and sources,
    // and braced coefficients see the circuit's defines.
    const std::string longName(60, 'N');
    ASSERT_EQ(Compile("T\n.DEFINE K 3\nV1 " + longName + " 0 1\nVSENSE " + longName + " 2 0\nR1 2 0 1\nR2 1 0 1\n" +
                      "G1 1 0 POLY(2) " + longName + " 0 2 0 0 1 1\nH1 4 0 POLY(1) VSENSE 0 {K*2}\nR4 4 0 1\n"),
              0)
        << LastMessageText();
    sources = Records<PolySourceRecord>(kListPolySources);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0]->inputs[1].positive, Node(longName.c_str()));
    EXPECT_EQ(sources[0]->coefficientCount, 3);
    EXPECT_EQ(sources[1]->inputs[1].sourceName, "VSENSE");
    ASSERT_NE(sources[1]->inputs[1].branch, nullptr);
    EXPECT_EQ(*sources[1]->inputs[1].branch,
              static_cast<SourceRecord*>(compiled_->FindLink(Part("VSENSE"))->record)->branch);
    EXPECT_EQ(sources[1]->coefficients[2], 6.0);

    struct Bad {
        const char* line;
        int message;
    } bad[] = {
        {"E1 1 0 POLY(0) 2 0 1", 10792},
        {"E1 1 0 POLY(100) 2 0 1", 10792},
        {"E1 1 0 POLY(99999999999999999999) 2 0 1", 10792},
        {"E1 1 0 NOWHERE 0 1", 10791},
        {"E1 1 0 POLY(2) 2 0", 10793},
        {"H1 1 0 POLY(1) ISENSE 0 5", 10794},
        {"E1 1 0 2 0 K*2", 10798},
        {"E1 1 0 2 0 1 IC=2", 11903},
        {"F1 1 0 R1 1", 10794},
        {"F1 1 0 VMISSING 1", 10799},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(Compile(std::string("T\nV1 2 0 1\nR1 1 0 1\nR2 2 0 1\nVR 2 3 1\nR3 3 0 1\n") + b.line + "\n"),
                  kResultShown)
            << b.line;
        EXPECT_EQ(shown_, std::vector<int>{b.message}) << b.line;
    }
}

TEST_F(DepSourceTest, NextPolyExponentsFollowsTheTermOrder) {
    struct Case {
        int n;
        std::vector<std::vector<int>> terms;
    } cases[] = {
        {1, {{1}, {2}, {3}}},
        {2, {{1, 0}, {0, 1}, {2, 0}, {1, 1}, {0, 2}, {3, 0}, {2, 1}}},
        {3,
         {{1, 0, 0},
          {0, 1, 0},
          {0, 0, 1},
          {2, 0, 0},
          {1, 1, 0},
          {1, 0, 1},
          {0, 2, 0},
          {0, 1, 1},
          {0, 0, 2},
          {3, 0, 0}}},
    };
    for (const Case& c : cases) {
        std::vector<int> exponents(static_cast<size_t>(c.n) + 1, 0);
        for (const std::vector<int>& term : c.terms) {
            NextPolyExponents(c.n, exponents);
            EXPECT_EQ(std::vector<int>(exponents.begin() + 1, exponents.end()), term) << "n=" << c.n;
        }
    }
    PolySourceRecord source{};
    source.inputCount = 1;
    source.inputs.resize(2);
    source.coefficientCount = 2;
    source.coefficients = {0.0, 0.0, 1.0, 0.0};
    for (auto [x, y] : {std::pair{1e-40, 1e-30}, {-1e40, -1e30}, {0.0, 0.0}, {2.5, 2.5}}) {
        source.inputs[1].value = x;
        EXPECT_EQ(PolyValue(source, 0), y) << x;
    }
    EXPECT_EQ(PolyValue(source, 1), 1.0);
}

TEST_F(DepSourceTest, PolySourcesMatchTheirPolynomialAtTheOperatingPoint) {
    // x1 = 2, x2 = -3; terms P0, x1, x2, x1^2, x1*x2, x2^2, x1^3.
    const double x1 = 2.0, x2 = -3.0;
    const double p[] = {0.5, 1.0, -2.0, 0.25, 0.1, -0.05, 0.01};
    const double y =
        p[0] + p[1] * x1 + p[2] * x2 + p[3] * x1 * x1 + p[4] * x1 * x2 + p[5] * x2 * x2 + p[6] * x1 * x1 * x1;
    const std::string coefficients = " 0.5 1 -2 0.25 0.1 -0.05 0.01\n";
    ASSERT_EQ(Build("T\nV1 1 0 2\nV2 2 0 -3\nRA 1 0 1K\nRB 2 0 1K\n"
                    "E1 3 0 POLY(2) 1 0 2 0" +
                    coefficients +
                    "R3 3 0 1K\n"
                    "G1 0 4 POLY(2) (1,0) (2,0)" +
                    coefficients +
                    "R4 4 0 1\n"
                    // Current control: the source currents are -2 mA and 3 mA.
                    "H1 5 0 POLY(2) V1 V2 0 1K 2K\nR5 5 0 1K\n"),
              0);
    ExpectLoadMatchesReserve();
    state_.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    EXPECT_NEAR(V("3"), y, 1e-9);
    EXPECT_NEAR(V("4"), y, 1e-9);  // y amperes into 1 ohm
    EXPECT_NEAR(V("5"), 1e3 * -2e-3 + 2e3 * 3e-3, 1e-9);
    // The gains are the partial derivatives at the solution.
    PolySourceRecord& e1 = *Records<PolySourceRecord>(kListPolySources)[0];
    EXPECT_NEAR(e1.inputs[1].gain, p[1] + 2 * p[3] * x1 + p[4] * x2 + 3 * p[6] * x1 * x1, 1e-9);
    EXPECT_NEAR(e1.inputs[2].gain, p[2] + p[4] * x1 + 2 * p[5] * x2, 1e-9);
}

TEST_F(DepSourceTest, ModelBuiltControlledSourcesReadTheirSourcesBranches) {
    // An opamp-style stage: H senses V2's current through its first control,
    // F sums the currents of V1 and V2 through two.
    ASSERT_EQ(Compile("T\nV1 1 0 2\nR1 1 0 1K\nV2 2 0 -3\nR2 2 0 1K\nR3 3 0 1K\nR3B 3 0 1K\nR4 4 0 1K\nR4B 4 0 1K\n"),
              0)
        << LastMessageText();
    auto sources = Records<SourceRecord>(kListSpiceSources);
    ASSERT_EQ(sources.size(), 2u);
    CurrentRunContext().circuitDocument = document_.get();
    PolySourceRecord* h = nullptr;
    PolySourceRecord* f = nullptr;
    {
        DeviceListScope scope(compiled_->devices);
        int status = 0;
        h = AddControlledSourceRecord(sources[1], Node("3"), 0, 53, 1, 1, 1.0, &status);
        f = AddControlledSourceRecord(sources[0], 0, Node("4"), 51, 2, 2, 1.0, &status);
        ASSERT_EQ(status, 0);
    }
    ASSERT_NE(h, nullptr);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(h->lastOutput, 1.0);
    EXPECT_EQ(h->coefficientCount, 2);
    EXPECT_EQ(h->coefficients.size(), 7u);
    EXPECT_EQ(h->inputs.size(), 6u);
    h->coefficients[2] = 1000.0;
    f->inputs[2].branch = &sources[1]->branch;
    f->coefficients[2] = 1.0;
    f->coefficients[3] = 1.0;
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
        static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
    ASSERT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair), 0);
    state_.MatrixBuilt = 1;
    state_.AnalysisPhase = kPhaseDc;
    state_.LoadAnalysis = kLoadOperatingPoint;
    state_.OperatingPointActive = 1;
    ExpectLoadMatchesReserve();
    state_.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    EXPECT_NEAR(V("3"), 1000.0 * 3e-3, 1e-9);           // V2 carries 3 mA
    EXPECT_NEAR(V("4"), (-2e-3 + 3e-3) * 500.0, 1e-9);  // both currents into 500 ohm
}

TEST_F(DepSourceTest, DividerWithControlledSourcesConvergesAtTheThirdLoad) {
    ASSERT_EQ(Build("Divider\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\n"
                    "E1 3 0 2 0 2\nR3 3 0 1K\n"
                    "G1 0 4 2 0 1M\nR4 4 0 1K\n"
                    "F1 0 5 V1 1\nR5 5 0 1K\n"
                    "H1 6 0 V1 1K\nR6 6 0 1K\n"),
              0);
    ExpectLoadMatchesReserve();
    state_.IterationMode = kModeInitJunction;
    EXPECT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    EXPECT_EQ(state_.IterationCount, 3);
    EXPECT_NEAR(V("2"), 5.0, 1e-9);
    EXPECT_NEAR(V("3"), 10.0, 1e-9);
    EXPECT_NEAR(V("4"), 5.0, 1e-9);   // 5 mA into 1 kOhm
    EXPECT_NEAR(V("5"), -5.0, 1e-9);  // the source current is -5 mA
    EXPECT_NEAR(V("6"), -5.0, 1e-9);
    EXPECT_EQ(state_.Failures.count, 0);
}

TEST_F(DepSourceTest, LinearDependentSourcesSetUpAndLoad) {
    // The four linear kinds are schematic parts: they are made here beside a
    // compiled deck whose nodes they use. F senses the current from 1 to 6,
    // H the same current from 6 to 8.
    ASSERT_EQ(Compile("T\nV1 1 0 2\nR6 1 6 1G\nR7 6 8 1G\nR8A 8 0 1K\nR8B 8 0 1K\n"
                      "R2A 2 0 1K\nR2B 2 0 1K\nR3A 3 0 1K\nR3B 3 0 1K\nR4A 4 0 1K\nR4B 4 0 1K\n"
                      "R5A 5 0 1K\nR5B 5 0 1K\n"),
              0)
        << LastMessageText();
    struct Source {
        const char* name;
        int type;
        const char* nodes[4];  // output +, output -, control +, control -
        const char* value;
    } sources[] = {
        {"GL", 26, {"0", "2", "1", "0"}, "1M"},
        {"FL", 27, {"0", "3", "1", "6"}, "2"},
        {"EL", 28, {"4", "0", "2", "0"}, "3,2,3.7"},
        {"HL", 29, {"5", "0", "6", "8"}, "1K"},
    };
    SpiceStatementContext context;
    context.document = document_.get();
    CurrentRunContext().circuitDocument = document_.get();
    {
        DeviceListScope scope(compiled_->devices);
        for (const Source& source : sources) {
            SchematicObject* part = nullptr;
            ASSERT_EQ(CreateSpicePart(context, source.name, source.type, &part), 0);
            for (int pin = 0; pin < 4; ++pin)
                part->pinNodes[pin] = std::strcmp(source.nodes[pin], "0") == 0 ? 0 : Node(source.nodes[pin]);
            SetAttribute(document_.get(), part, kAttrValue, source.value);
            CurrentSetupPart = part;
            ASSERT_EQ(SetupLinearTransducer(source.type), 0) << source.name << LastMessageText();
        }
    }
    auto records = Records<LinearDependentRecord>(kListDependentSources);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2]->gain, 3.0);
    EXPECT_EQ(records[2]->second, 2.0);
    EXPECT_EQ(records[2]->third, 3);
    EXPECT_EQ(records[2]->controlPlus, Node("2"));
    EXPECT_EQ(records[2]->outPlus, Node("4"));

    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
        static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
    ASSERT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair), 0);
    state_.MatrixBuilt = 1;
    state_.AnalysisPhase = kPhaseDc;
    state_.LoadAnalysis = kLoadOperatingPoint;
    state_.OperatingPointActive = 1;
    ExpectLoadMatchesReserve();
    state_.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    // 4 mA flow from 1 through both sensing branches into 500 ohm.
    EXPECT_NEAR(state_.Solution[static_cast<size_t>(records[1]->branch)], 4e-3, 1e-12);
    EXPECT_NEAR(V("2"), 1e-3 * 2.0 * 500.0, 1e-9);
    EXPECT_NEAR(V("3"), 2.0 * 4e-3 * 500.0, 1e-9);
    EXPECT_NEAR(V("4"), 3.0 * V("2"), 1e-9);
    EXPECT_NEAR(V("5"), 1e3 * 4e-3, 1e-9);
}

TEST_F(DepSourceTest, SwitchPartsReadTheirValue) {
    ASSERT_EQ(Compile("T\nV1 1 0 1\nL1 1 2 1U\nR2 2 0 1\nR3 3 0 1\nR4 3 4 1\nR5 4 0 1\n"), 0) << LastMessageText();
    SpiceStatementContext context;
    context.document = document_.get();
    CurrentRunContext().circuitDocument = document_.get();
    DeviceListScope scope(compiled_->devices);
    struct Case {
        const char* value;
        const char* control[2];
        int message;
        int kind;
        double level1, level2, on, off;
    } cases[] = {
        {"V,3,0,1m,1e6", {"3", "0"}, 0, 2, 3.0, 0.0, 1000.0, 1e-6},
        {"T,1m", {"3", "0"}, 0, 1, 1e-3, 1e30, 1000.0, 1e-9},
        {"I,1m,2m", {"1", "2"}, 0, 3, 1e-3, 2e-3, 1000.0, 1e-9},
        {"X,1,2", {"3", "0"}, 10835, 0, 0, 0, 0, 0},
        {"V,1,1", {"3", "0"}, 10835, 0, 0, 0, 0, 0},
        {"", {"3", "0"}, 10835, 0, 0, 0, 0, 0},
    };
    int made = 0;
    for (const Case& c : cases) {
        SchematicObject* part = nullptr;
        ASSERT_EQ(CreateSpicePart(context, "SW" + std::to_string(made), kTypeSwitch, &part), 0);
        part->pinNodes[0] = Node(c.control[0]);
        part->pinNodes[1] = std::strcmp(c.control[1], "0") == 0 ? 0 : Node(c.control[1]);
        part->pinNodes[2] = Node("3");
        part->pinNodes[3] = Node("4");
        SetAttribute(document_.get(), part, kAttrValue, c.value);
        CurrentSetupPart = part;
        shown_.clear();
        const int rc = SetupSwitch();
        if (c.message) {
            EXPECT_EQ(rc, kResultShown) << c.value;
            EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.value;
            continue;
        }
        ASSERT_EQ(rc, 0) << c.value << LastMessageText();
        SwitchRecord& sw = *Records<SwitchRecord>(kListSwitches)[static_cast<size_t>(made++)];
        EXPECT_EQ(sw.switchKind, c.kind) << c.value;
        EXPECT_DOUBLE_EQ(sw.level1, c.level1) << c.value;
        EXPECT_DOUBLE_EQ(sw.level2, c.level2) << c.value;
        EXPECT_DOUBLE_EQ(sw.onConductance, c.on) << c.value;
        EXPECT_DOUBLE_EQ(sw.offConductance, c.off) << c.value;
        EXPECT_EQ(sw.nodes[0], Node("4")) << c.value;
        EXPECT_EQ(compiled_->FindLink(part)->record, &sw) << c.value;
    }
    // The current-controlled switch finds the inductor across its control pins.
    ASSERT_EQ(CheckSwitchInductors(document_.get()), 0);
    EXPECT_EQ(Records<SwitchRecord>(kListSwitches)[2]->controllingInductor, Records<InductorRecord>(kListInductors)[0]);
    Records<SwitchRecord>(kListSwitches)[2]->nodes[3] = Node("3");
    shown_.clear();
    EXPECT_EQ(CheckSwitchInductors(document_.get()), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10865});
}

TEST_F(DepSourceTest, IdealLineTiesItsPortsAtDcAndDelaysItsWave) {
    ASSERT_EQ(Build("Line\nV1 1 0 1\nR1 1 2 50\nT1 2 0 3 0 Z0=50 TD=1N\nR2 3 0 50\n"), 0);
    ExpectLoadMatchesReserve();
    IdealLineRecord& line = *Records<IdealLineRecord>(kListIdealLines)[0];
    EXPECT_DOUBLE_EQ(line.delay, 1e-9);
    EXPECT_EQ(line.impedance, 50.0);
    state_.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    // A DC line is a wire: equal port voltages, opposite port currents.
    EXPECT_NEAR(V("2"), 0.5, 1e-6);
    EXPECT_NEAR(V("3"), 0.5, 1e-6);
    EXPECT_NEAR(state_.Solution[static_cast<size_t>(line.branchA)], -state_.Solution[static_cast<size_t>(line.branchB)],
                1e-9);

    // A short transient by hand: the source steps from 0 to 1 V at t = 0.
    SourceRecord& source = *Records<SourceRecord>(kListSpiceSources)[0];
    source.dcValue = 0.0;
    state_.IterationMode = kModeInitJunction;
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    state_.Time = 0.0;
    double maxStep = 1.0;
    ASSERT_EQ(StartLineHistories(state_, maxStep), 0);
    EXPECT_EQ(maxStep, 0.5e-9);
    AdvanceLineHistories(state_);  // the operating point is the first accepted point
    SwapSolutionVectors(state_);
    state_.AnalysisPhase = kPhaseTransient;
    state_.LoadAnalysis = kLoadTransient;
    state_.OperatingPointActive = 0;
    ASSERT_EQ(BuildAnalysisMatrix(state_, nullptr, false, state_.TransientPair), 0);
    state_.MatrixBuilt = 1;
    ExpectLoadMatchesReserve();
    source.functionKind = kFunctionPulse;
    const double h = 0.1e-9;
    state_.Formula.TimeStep = h;
    std::vector<double> far;
    for (int k = 1; k <= 30; ++k) {
        state_.Time = k * h;
        source.working = 1.0;
        UpdateIdealLineWaves(state_);
        state_.IterationMode = kModeInitPredictor;
        ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl4, state_.Options.gmin), 0) << k;
        far.push_back(V("3"));
        EXPECT_NEAR(V("2"), 0.5, 1e-6) << k;  // the near end sees the line's impedance at once
        AdvanceLineHistories(state_);
        SwapSolutionVectors(state_);
    }
    // The matched far end stays at 0 until the wave arrives after TD, then holds 0.5 V.
    for (int k = 1; k <= 10; ++k) EXPECT_NEAR(far[static_cast<size_t>(k - 1)], 0.0, 1e-6) << k;
    for (int k = 11; k <= 30; ++k) EXPECT_NEAR(far[static_cast<size_t>(k - 1)], 0.5, 1e-6) << k;
    EXPECT_LE(line.history.size(), 14u);  // old records are dropped as time moves on
    ReleaseLineHistories(state_);
    EXPECT_TRUE(line.history.empty());
}

TEST_F(DepSourceTest, LineHistoryInterpolatesAndRefusesOutOfOrderRecords) {
    ASSERT_EQ(Build("Line\nV1 1 0 1\nR1 1 2 50\nT1 2 0 3 0 Z0=50 TD=1N\nR2 3 0 50\n"), 0);
    IdealLineRecord& line = *Records<IdealLineRecord>(kListIdealLines)[0];
    line.history = {{0.0, 1.0, 2.0}, {1e-9, 3.0, 4.0}, {1e-9, 5.0, 6.0}, {2e-9, 7.0, 8.0}};
    line.waveIntoA = line.waveIntoB = -1.0;
    struct Case {
        double time, intoB, intoA;
    } cases[] = {
        {0.0, -1.0, -1.0},   // at the first record: kept
        {0.5e-9, 2.0, 3.0},  // halfway between the first two
        {1e-9, 3.0, 4.0},    // the first record at or after t
        {1.5e-9, 6.0, 7.0},  // between the equal-time pair's second and the last
        {3e-9, 6.0, 7.0},    // beyond the last: kept
    };
    for (const Case& c : cases) {
        UpdateIdealLineWaves(*compiled_, c.time);
        EXPECT_DOUBLE_EQ(line.waveIntoB, c.intoB) << c.time;
        EXPECT_DOUBLE_EQ(line.waveIntoA, c.intoA) << c.time;
    }
    line.history = {{0.0, 9.0, 9.0}};
    UpdateIdealLineWaves(*compiled_, 1e-9);  // one record brackets nothing: kept
    EXPECT_DOUBLE_EQ(line.waveIntoB, 6.0);

    // Pushes: the start time may repeat, any other time must be later than the last.
    line.history.clear();
    for (std::vector<double>* v : {&state_.Solution}) std::fill(v->begin(), v->end(), 0.0);
    state_.Solution[static_cast<size_t>(line.portAPlus)] = 1e-60;
    state_.Solution[static_cast<size_t>(line.portBPlus)] = -1e-60;
    for (double tau : {0.0, 0.0, 1e-9, 1e-9, 0.5e-9, 2e-9}) EXPECT_EQ(PushLineHistory(state_, line, tau), 0);
    ASSERT_EQ(line.history.size(), 4u);
    EXPECT_EQ(line.history[2].time, 1e-9);
    EXPECT_EQ(line.history[3].time, 2e-9);
    EXPECT_EQ(line.history[0].waveFromA, 1e-50);  // 2 * 1e-60, floored
    EXPECT_EQ(line.history[0].waveFromB, -1e-50);
}

TEST_F(DepSourceTest, LineParametersAreCheckedAtBuild) {
    struct Case {
        const char* line;
        int message;
        double delay;
    } cases[] = {
        {"T1 1 0 2 0 Z0=50 F=1G NL=0.25", 0, 0.25e-9},
        {"T1 1 0 2 0 ZO=50 TD=2N", 0, 2e-9},
        {"T1 1 0 2 0 Z0=50 F=1G", 0, 0.25e-9},  // NL defaults to a quarter wave
        {"T1 1 0 2 0 Z0=50 TD=1E-17", 10892, 0},
        {"T1 1 0 2 0 Z0=50 TD=1E-16", 10892, 0},
        {"T1 1 0 2 0 Z0=50 TD=0", 10892, 0},
        {"T1 1 0 2 0 Z0=50 TD=-1N", 10892, 0},
        {"T1 1 0 2 0 Z0=50 F=1G NL=-0.25", 10892, 0},
        {"T1 1 0 2 0 TD=1N", 10859, 0},
        {"T1 1 0 2 0 Z0=50 F=0 NL=1", 10867, 0},
    };
    for (const Case& c : cases) {
        const int rc = Compile(std::string("T\nV1 1 0 1\nR1 2 0 50\n") + c.line + "\n");
        if (c.message == 0) {
            ASSERT_EQ(rc, 0) << c.line << LastMessageText();
            EXPECT_DOUBLE_EQ(Records<IdealLineRecord>(kListIdealLines)[0]->delay, c.delay) << c.line;
        } else {
            EXPECT_EQ(rc, kResultShown) << c.line;
            EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.line;
        }
    }
    // Two lines on one model keep their own impedance and delay.
    ASSERT_EQ(Compile("T\n.MODEL TL TRN (ZO=75 TD=3N)\nV1 1 0 1\nR1 2 0 50\nR2 3 0 50\n"
                      "T1 1 0 2 0 TL Z0=50 TD=1N\nT2 1 0 3 0 TL\n"),
              0)
        << LastMessageText();
    auto lines = Records<IdealLineRecord>(kListIdealLines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->impedance, 50.0);
    EXPECT_DOUBLE_EQ(lines[0]->delay, 1e-9);
    EXPECT_EQ(lines[1]->impedance, 75.0);
    EXPECT_DOUBLE_EQ(lines[1]->delay, 3e-9);
}

TEST_F(DepSourceTest, SwitchDecksCompileAndSolve) {
    ASSERT_EQ(Build("T\n.MODEL SMOD VSWITCH (RON=1 ROFF=1MEG VON=1 VOFF=0)\n"
                    ".MODEL WMOD ISWITCH (RON=1 ROFF=1MEG ION=0.5M IOFF=0)\n"
                    "V1 1 0 1\nVSENSE 1 2 0\nR1 2 0 1K\n"
                    "S1 3 0 1 0 SMOD\nR3 1 3 1K\n"
                    "W1 4 0 VSENSE WMOD\nR4 1 4 1K\n"),
              0)
        << LastMessageText();
    auto s = Records<VoltageSwitchRecord>(kListSSwitches);
    auto w = Records<CurrentSwitchRecord>(kListWSwitches);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_NE(s[0]->model, nullptr);
    EXPECT_EQ(s[0]->nodes[0], Node("3"));
    EXPECT_EQ(s[0]->nodes[2], Node("1"));
    ASSERT_NE(w[0]->controllingBranch, nullptr);
    EXPECT_EQ(*w[0]->controllingBranch,
              static_cast<SourceRecord*>(compiled_->FindLink(Part("VSENSE"))->record)->branch);
    // Both switches are driven on: each closes a 1 ohm path under its 1k resistor.
    ExpectLoadMatchesReserve();
    ASSERT_EQ(NewtonIterate(state_, nullptr, state_.Options.itl1, state_.Options.gmin), 0);
    EXPECT_NEAR(state_.Solution[static_cast<size_t>(Node("3"))], 1.0 / 1001.0, 1e-9);
    EXPECT_NEAR(state_.Solution[static_cast<size_t>(Node("4"))], 1.0 / 1001.0, 1e-9);
    EXPECT_EQ(s[0]->sw.state, 2);
    EXPECT_EQ(w[0]->sw.state, 2);

    struct Bad {
        const char* deck;
        int message;
    } bad[] = {
        {"W1 4 0 VNONE WMOD\nR4 4 0 1\n", 10799},
        {"W1 4 0 R1 WMOD\nR4 4 0 1\n", 10799},
        {"S1 3 0 1 0 NOMODEL\nR3 3 0 1\n", -1},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(Compile(std::string("T\n.MODEL WMOD ISWITCH (ION=1M)\nV1 1 0 1\nR1 1 0 1\n") + b.deck), kResultShown)
            << b.deck;
        ASSERT_EQ(shown_.size(), 1u) << b.deck;
        if (b.message > 0) {
            EXPECT_EQ(shown_[0], b.message) << b.deck;
        }
    }
}

TEST_F(DepSourceTest, HysteresisSwitchKeepsItsResistanceInsideTheBand) {
    ASSERT_EQ(Build("T\n.MODEL SMOD VSWITCH (RON=1 ROFF=1MEG VT=0.5 VH=0.2)\n"
                    "V1 1 0 0\nS1 2 0 1 0 SMOD\nR2 2 0 1K\n"),
              0)
        << LastMessageText();
    VoltageSwitchRecord* s = Records<VoltageSwitchRecord>(kListSSwitches).at(0);
    const size_t control = static_cast<size_t>(Node("1"));
    struct Step {
        double vc;
        int state;
        double resistance;
        int failures;  // resistance changed counts 2, a state change alone 1
    } steps[] = {
        {0.0, 3, 1e6, 0},  // below off = VT - VH, as the build's load left it
        {1.0, 2, 1.0, 2},  // from off to on within one iteration
        {0.5, 8, 1.0, 1},  // inside the band: the previous resistance stays
        {0.2, 3, 1e6, 2},
        {0.6, 8, 1e6, 1},
    };
    for (const Step& step : steps) {
        state_.Solution[control] = step.vc;
        state_.NonConvergedCount = 0;
        ASSERT_EQ(LoadAllDevices(state_, nullptr), 0);
        EXPECT_EQ(s->sw.state, step.state) << step.vc;
        EXPECT_DOUBLE_EQ(s->sw.resistance, step.resistance) << step.vc;
        EXPECT_EQ(state_.NonConvergedCount, step.failures) << step.vc;
    }
}

}  // namespace
