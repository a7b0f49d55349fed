// Initial conditions and node sets: stored per circuit, applied to the
// circuit's nodes, inductors and digital nodes, and the parts' own values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/initconds.h"
#include "compiler/statements.h"
#include "compiler/stmtstate.h"
#include "core/result.h"
#include "document/component_defs.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompInitialConditionsTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        Nodes(doc_.get());
    }
    // Ground, three analog nodes and a digital node Q.
    static void Nodes(CCTDoc* document) {
        document->build.nodeNames = {
            {"0", 0, 1, 0}, {"1", 1, 1, 0}, {"OUT", 2, 1, 0}, {"REF", 3, 1, 0}, {"Q", 4, 1, 1}};
    }
    // Stores the statements, then applies them; the ids shown are in shown_.
    int Apply(std::vector<const char*> statements, CCTDoc* document = nullptr) {
        CCTDoc* target = document ? document : doc_.get();
        shown_.clear();
        ReadInitialConditions(target, nullptr, kInitialClear, 1);
        for (const char* statement : statements) {
            std::string copy = statement;
            SpiceStatementContext context;
            context.document = target;
            const bool nodeSet = copy.rfind(".NODESET", 0) == 0;
            int rc = nodeSet ? ReadNodesetStatement(context, copy.data()) : ReadIcStatement(context, copy.data());
            if (rc) return rc;
        }
        return ReadInitialConditions(target, nullptr, kInitialApply, 1);
    }
    const std::vector<InitialConditionEntry>& Table(CCTDoc* document = nullptr) {
        return *InitialConditionTable(document ? document : doc_.get());
    }
};

TEST_F(CompInitialConditionsTest, NodeVoltagesAndDigitalStates) {
    struct Case {
        std::vector<const char*> statements;
        char kind;
        double value;
        int node1, node2, source, state;
    };
    const Case cases[] = {
        {{".IC V(1)=5", ".NODESET V(1)=2"}, 'V', 5, 1, 0, kFromInitialCondition, 0},
        {{".NODESET V(1)=2", ".IC V(1)=5"}, 'V', 5, 1, 0, kFromInitialCondition, 0},
        {{".NODESET V(1)=2", ".NODESET V(1)=3"}, 'V', 3, 1, 0, kFromNodeSet, 0},
        {{".ic v(out,ref)=1"}, 'V', 1, 2, 3, kFromInitialCondition, 0},
        {{".IC V(1) 5"}, 'V', 5, 1, 0, kFromInitialCondition, 0},
        {{".IC D(Q)=1"}, 'D', 0, 4, 0, kFromInitialCondition, 3},
        {{".IC D(Q)='1"}, 'D', 0, 4, 0, kFromInitialCondition, 3},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Apply(c.statements), 0) << c.statements[0];
        ASSERT_EQ(Table().size(), 1u) << c.statements[0];
        const InitialConditionEntry& entry = Table()[0];
        EXPECT_EQ(entry.kind, c.kind);
        EXPECT_DOUBLE_EQ(entry.value, c.value) << c.statements[0];
        EXPECT_EQ(entry.node1, c.node1);
        EXPECT_EQ(entry.node2, c.node2);
        EXPECT_EQ(entry.source, c.source) << c.statements[0];
        EXPECT_EQ(entry.state, c.state);
    }
    ASSERT_EQ(Apply({".NODESET V(OUT)=1 V(REF)=2"}), 0);
    EXPECT_EQ(Table().size(), 2u);
    EXPECT_TRUE(NodeSetsPresent(doc_.get()));
    EXPECT_FALSE(InitialConditionsPresent(doc_.get()));
}

TEST_F(CompInitialConditionsTest, ErrorsNameWhatIsWrong) {
    struct Case {
        const char* statement;
        int message;
    };
    const Case cases[] = {
        {".IC V(NOPE)=1", 10924}, {".IC D(Q)=7", 10925}, {".IC I(R9)=1", 10926}, {".IC V(1)=X1", -1},
        {".IC V(1)=", 10927},     {".IC V 1=2", 11900},  {".IC V(1=2", 11900},   {".IC X(1)=2", 11903},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Apply({".IC V(OUT)=1", c.statement}), kResultShown) << c.statement;
        if (c.message > 0)
            EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.statement;
        else
            EXPECT_EQ(shown_.size(), 1u) << c.statement;
        // What the statements before the error gave stays.
        EXPECT_EQ(Table().size(), 1u) << c.statement;
    }
}

TEST_F(CompInitialConditionsTest, InductorsTransformersAndThePartsOwnValues) {
    AddPart(kTypeInductor, "L1", "1m", {1, 0});
    AddPart(kTypeTransformer, "T1", "1m,10m,.98", {1, 0, 2, 3});
    AddPart(kTypeCapacitor, "C1", "1u IC=2", {2, 3});
    ASSERT_EQ(Process(), 0);
    ASSERT_EQ(Apply({".IC I(L1)=1M I(T1.LS)=2M I(T1.LP)=3M"}), 0);
    const auto inductors = Records<InductorRecord>(kListInductors);
    ASSERT_EQ(inductors.size(), 3u);
    ASSERT_EQ(Table().size(), 4u);
    EXPECT_EQ(Table()[0].inductor, inductors[0]);
    EXPECT_DOUBLE_EQ(Table()[0].value, 1e-3);
    EXPECT_EQ(Table()[1].inductor, inductors[2]);  // the secondary winding
    EXPECT_EQ(Table()[1].node1, 1);
    EXPECT_EQ(Table()[2].inductor, inductors[1]);
    EXPECT_EQ(Table()[3].kind, 'V');
    EXPECT_DOUBLE_EQ(Table()[3].value, 2);
    EXPECT_EQ(Table()[3].node1, 2);
    EXPECT_EQ(Table()[3].node2, 3);
    EXPECT_TRUE(InitialConditionsPresent(doc_.get()));
}

TEST_F(CompInitialConditionsTest, EachCircuitKeepsItsOwn) {
    CCirDoc other;
    Nodes(&other);
    ASSERT_EQ(Apply({".IC V(1)=5"}), 0);
    ASSERT_EQ(Apply({".IC V(OUT)=1", ".IC V(REF)=2"}, &other), 0);
    EXPECT_EQ(Table().size(), 1u);
    EXPECT_EQ(Table(&other).size(), 2u);
    // The compiler's port stores grid-text statements into the same place.
    EXPECT_TRUE(InitialConditions().Active());
    EXPECT_EQ(InitialConditions().Read(doc_.get(), ".nodeset v(ref)=4", kInitialStore, 1), 0);
    ASSERT_EQ(ReadInitialConditions(doc_.get(), nullptr, kInitialApply, 1), 0);
    EXPECT_EQ(Table().size(), 2u);
    EXPECT_EQ(Table(&other).size(), 2u);
    ReadInitialConditions(&other, nullptr, kInitialFree, 1);
    EXPECT_TRUE(Table(&other).empty());
    ReleaseDefineTable(&other);
}

}  // namespace
