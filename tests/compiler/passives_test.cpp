// Resistors, capacitors, inductors, K couplings and transformers: value texts,
// TC and IC fields, the model word of SPICE3 and ambiguous texts.
#include <gtest/gtest.h>

#include <string>

#include "compiler/passives.h"
#include "core/result.h"
#include "models/modeltypes.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompPassivesTest : public SetupFixture {};

TEST_F(CompPassivesTest, ValueFieldsTcAndIc) {
    struct Case {
        int type;
        const char* value;
        int message;
        const char* pending;
        double first;   // TC1 or IC
        double second;  // TC2
        int given;      // TC1 / IC given mark
    };
    const Case cases[] = {
        {kTypeResistor, "1k TC=0.01,0.002", 0, "1K", 0.01, 0.002, 1},
        {kTypeResistor, "2*RL", 0, "2*RL", kUnsetValue, kUnsetValue, 0},
        {kTypeResistor, "1k TC 0.01", 11901, "", 0, 0, 0},
        {kTypeResistor, "1k TC=0.01 X", 10847, "", 0, 0, 0},
        {kTypeResistor, "1k XY", 10847, "", 0, 0, 0},
        {kTypeCapacitor, "1u IC=2", 0, "1U", 2, 0, 1},
        {kTypeCapacitor, "1u", 0, "1U", 0, 0, 0},
        {kTypeCapacitor, "1u IC 2", 11901, "", 0, 0, 0},
        {kTypeInductor, "1m IC=-3m", 0, "1M", -3e-3, 0, 1},
        {kTypeInductor, "1m TC=1", 10847, "", 0, 0, 0},
    };
    for (const Case& c : cases) {
        Reset();
        AddPart(c.type, "P1", c.value, {1, 2});
        EXPECT_EQ(Process(), c.message ? kResultShown : 0) << c.value;
        EXPECT_EQ(shown_, c.message ? std::vector<int>{c.message} : std::vector<int>{}) << c.value;
        if (c.message) continue;
        if (c.type == kTypeResistor) {
            const ResistorRecord* r = Records<ResistorRecord>(kListResistors).at(0);
            EXPECT_EQ(r->value.pendingText, c.pending);
            EXPECT_EQ(std::bit_cast<uint64_t>(r->tc1), std::bit_cast<uint64_t>(c.first)) << c.value;
            EXPECT_EQ(std::bit_cast<uint64_t>(r->tc2), std::bit_cast<uint64_t>(c.second)) << c.value;
            EXPECT_EQ(r->tc1Given, c.given);
            EXPECT_EQ(r->tc2Given, c.given);
            EXPECT_EQ(r->noise, 1);
        } else if (c.type == kTypeCapacitor) {
            const CapacitorRecord* r = Records<CapacitorRecord>(kListCapacitors).at(0);
            EXPECT_EQ(r->value.pendingText, c.pending);
            EXPECT_DOUBLE_EQ(r->ic, c.first);
            EXPECT_EQ(r->icGiven, c.given);
        } else {
            const InductorRecord* r = Records<InductorRecord>(kListInductors).at(0);
            EXPECT_EQ(r->value.pendingText, c.pending);
            EXPECT_DOUBLE_EQ(r->ic, c.first);
            EXPECT_EQ(r->icGiven, c.given);
        }
    }
}

TEST_F(CompPassivesTest, TheModelWordOfSpice3AndAmbiguousTexts) {
    struct Case {
        int dialect;
        const char* value;
        const char* model;  // MODEL before the set-up
        int message;
        const char* modelAfter;
        const char* valueAfter;
        int dialectAfter;
    };
    const Case cases[] = {
        {kSpiceDialect3, "10k RMOD", "", 0, "RMOD", "10k ", kSpiceDialect3},
        {kSpiceDialect3, "RMOD L=10u W=1u", "", 0, "RMOD", "0 L=10u W=1u", kSpiceDialect3},
        {kSpiceDialectAmbiguous, "10k", "", 0, "", "10k ", kSpiceDialectAmbiguous},
        {kSpiceDialectAmbiguous, "10k RMOD", "", 0, "RMOD", "10k ", kSpiceDialect3},
        {kSpiceDialect3, "RX", "", 0, "", "RX ", kSpiceDialect3},
        {kSpiceDialectPSpice, "10k", "RMOD", 0, "RMOD", "10k", kSpiceDialectPSpice},
        {kSpiceDialectPSpice, "10k", "NOPE", 10834, "NOPE", "10k", kSpiceDialectPSpice},
    };
    for (const Case& c : cases) {
        Reset();
        Model(".MODEL RMOD RES (R=2)");
        SchematicObject* part = AddPart(kTypeResistor, "R1", c.value, {1, 2}, c.dialect);
        SetAttribute(doc_.get(), part, kAttrModel, c.model);
        int status = 0;
        const int row = ResolveSpiceValueAndModel(part, &status);
        EXPECT_EQ(status, c.message ? kResultShown : 0) << c.value;
        EXPECT_EQ(shown_, c.message ? std::vector<int>{c.message} : std::vector<int>{}) << c.value;
        EXPECT_EQ(Attribute(part, kAttrModel), c.modelAfter) << c.value;
        EXPECT_EQ(Attribute(part, kAttrValue), c.valueAfter) << c.value;
        EXPECT_EQ(part->dialect, c.dialectAfter) << c.value;
        EXPECT_EQ(row >= 0, !c.message && *c.modelAfter) << c.value;
    }
}

TEST_F(CompPassivesTest, FrequencyTextOnlyInAcRuns) {
    for (int kind : {0, 1}) {
        Reset();
        SetAnalysisKind(kind);
        SchematicObject* part = AddPart(kTypeCapacitor, "C1", "1u", {1, 2});
        SetAttribute(doc_.get(), part, kAttrFreq, "1u*(1+F/1MEG)");
        EXPECT_EQ(Process(), 0);
        EXPECT_EQ(Records<CapacitorRecord>(kListCapacitors).at(0)->frequency.pendingText,
                  kind == 1 ? "1U*(1+F/1MEG)" : "");
    }
}

TEST_F(CompPassivesTest, TransformerWindingsCouplingAndDcPath) {
    AddPart(kTypeTransformer, "K1", "1m,10m,.98", {1, 2, 3, 4});
    ASSERT_EQ(Process(), 0);
    const auto inductors = Records<InductorRecord>(kListInductors);
    ASSERT_EQ(inductors.size(), 2u);
    EXPECT_DOUBLE_EQ(inductors[0]->working, 1e-3);
    EXPECT_EQ(inductors[0]->node1, 3);
    EXPECT_EQ(inductors[0]->node2, 4);
    EXPECT_DOUBLE_EQ(inductors[1]->working, 10e-3);
    EXPECT_EQ(inductors[1]->node1, 1);
    EXPECT_EQ(inductors[1]->index, 1);
    const TransformerCouplingRecord* coupling = Records<TransformerCouplingRecord>(kListTransformerCouplings).at(0);
    EXPECT_EQ(coupling->primary, inductors[0]);
    EXPECT_EQ(coupling->secondary, inductors[1]);
    EXPECT_EQ(inductors[0]->coupling, coupling);
    ASSERT_EQ(coupling->expressionCount, 1);
    EXPECT_EQ(coupling->expressions[0].pendingText, ".98");
    const ResistorRecord* path = Records<ResistorRecord>(kListResistors).at(0);
    EXPECT_EQ(path->node1, 3);
    EXPECT_EQ(path->node2, 1);
    EXPECT_DOUBLE_EQ(path->working, compiled_->maxResistance);
    EXPECT_EQ(path->noise, 0);

    for (const char* value : {"1m,10m", "1m,,.98", ""}) {
        Reset();
        AddPart(kTypeTransformer, "K1", value, {1, 2, 3, 4});
        EXPECT_EQ(Process(), kResultShown) << value;
        EXPECT_EQ(shown_, std::vector<int>{kResultMissingParam}) << value;
    }
}

TEST_F(CompPassivesTest, CouplingNeedsItsValue) {
    SchematicObject* part = AddPart(kTypeK, "K1", nullptr, {});
    SetAttribute(doc_.get(), part, "COUPLING", "0.9");
    ASSERT_EQ(Process(), 0);
    EXPECT_EQ(Records<InductorCouplingRecord>(kListInductorCouplings).at(0)->coupling.pendingText, "0.9");

    Reset();
    AddPart(kTypeK, "K1", nullptr, {});
    EXPECT_EQ(Process(), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10806});
}

}  // namespace
