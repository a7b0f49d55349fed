// Set-ups of the behavioural parts made by hand: the sample-and-hold's
// sampling choice, the Z-domain substitution, the Laplace table's formats and
// the table reader's refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/behavsetup.h"
#include "compiler/compiled.h"
#include "document/component_defs.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class BehaviouralSetupTest : public SetupFixture {};

TEST_F(BehaviouralSetupTest, SampleAndHoldNeedsASampleFormulaOrAPositivePeriod) {
    struct Case {
        const char* sample;
        const char* period;
        int message;  // 0: accepted
        double stored;
    } cases[] = {
        {"", "1u", 0, 1e-6},   {"V(1)>0.5", "", 0, 0.0}, {"", "", 10864, 0.0},
        {"", "0", 10887, 0.0}, {"", "-1m", 10887, 0.0},
    };
    for (const Case& c : cases) {
        Reset();
        SchematicObject* part = AddPart(kTypeSampleAndHold, "S1", nullptr, {1, 2});
        SetAttribute(doc_.get(), part, 38, "V(3)");
        SetAttribute(doc_.get(), part, 39, c.sample);
        SetAttribute(doc_.get(), part, 40, c.period);
        const int rc = Process();
        if (c.message) {
            EXPECT_NE(rc, 0) << c.period;
            EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.period;
            continue;
        }
        ASSERT_EQ(rc, 0) << c.sample << c.period;
        const std::vector<SampleHoldRecord*> records = Records<SampleHoldRecord>(kListSampleHolds);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0]->period, c.stored);
        EXPECT_EQ(records[0]->input.pendingText, "V(3)");
        EXPECT_EQ(records[0]->sample.pendingText, c.sample);
        EXPECT_EQ(records[0]->outPlus, 1);
        EXPECT_EQ(records[0]->outMinus, 2);
    }
}

TEST_F(BehaviouralSetupTest, ZDomainSourcesBecomeLaplaceSourcesOfTheirClock) {
    EXPECT_EQ(SubstituteZDomain("1/Z", "10k"), "1/(EXP(S/(10k)))");
    EXPECT_EQ(SubstituteZDomain("Z*ZETA+(z)", "F"), "(EXP(S/(F)))*ZETA+((EXP(S/(F))))");
    SchematicObject* part = AddPart(133, "E1", nullptr, {1, 0, 2, 0});
    SetAttribute(doc_.get(), part, 37, "1/Z");
    SetAttribute(doc_.get(), part, 36, "10k");
    ASSERT_EQ(Process(), 0);
    const std::vector<LaplaceSourceRecord*> records = Records<LaplaceSourceRecord>(kListLaplaceSources);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->componentType, 33);
    // (the substituted texts come upper case)
    EXPECT_EQ(records[0]->transfer.pendingText, "1/(EXP(S/(10K)))");
    EXPECT_EQ(records[0]->inPlus, 2);
    EXPECT_EQ(records[0]->outPlus, 1);

    Reset();
    AddPart(131, "G1", nullptr, {1, 0, 2, 0});
    EXPECT_NE(Process(), 0);
    EXPECT_EQ(shown_, std::vector<int>{10893});
}

TEST_F(BehaviouralSetupTest, LaplaceTableFormatsAndRows) {
    struct Case {
        const char* keywords;
        int magnitude, phase;
    } cases[] = {
        {"", kLaplaceDb, kLaplaceDeg}, {"MAG RAD", kLaplaceMag, kLaplaceRad}, {"r_i", kLaplaceRealImag, kLaplaceDeg}};
    for (const Case& c : cases) {
        Reset();
        SchematicObject* part = AddPart(45, "E1", nullptr, {1, 0, 2, 0});
        SetAttribute(doc_.get(), part, 25, "(1k,0,-90) (0,20,0) ");
        SetAttribute(doc_.get(), part, 34, c.keywords);
        ASSERT_EQ(Process(), 0) << c.keywords;
        const std::vector<LaplaceSourceRecord*> records = Records<LaplaceSourceRecord>(kListLaplaceTableSources);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0]->magnitudeFormat, c.magnitude) << c.keywords;
        EXPECT_EQ(records[0]->phaseFormat, c.phase) << c.keywords;
        // Sorted by frequency, the ends repeated.
        EXPECT_EQ(records[0]->rowCount, 4);
        EXPECT_EQ(records[0]->table, (std::vector<double>{0, 20, 0, 0, 20, 0, 1e3, 0, -90, 1e3, 0, -90}));
    }
    Reset();
    SchematicObject* part = AddPart(45, "E1", nullptr, {1, 0, 2, 0});
    SetAttribute(doc_.get(), part, 25, "(0,1,0) (1,1,0)");
    SetAttribute(doc_.get(), part, 34, "LOG");
    EXPECT_NE(Process(), 0);
    EXPECT_EQ(shown_, std::vector<int>{10844});
}

TEST_F(BehaviouralSetupTest, TableTextsAreReadOrRefused) {
    struct Case {
        const char* text;
        int columns;
        int result;
        std::vector<double> values;
    } cases[] = {
        {"(0,0) (1,2)", 2, 0, {0, 0, 1, 2}},
        {"(0 0)(1k 2m)", 2, 0, {0, 0, 1e3, 2e-3}},
        {" ( -1 , {2*3} ) ", 2, 0, {-1, 6}},
        {"(0,0", 2, 10833, {}},
        {"(0,0,0)", 2, 10833, {}},
        {"(0)", 2, 10833, {}},
        {"(0,0) ;", 2, 10857, {}},
        {"(0,sin(1))", 2, 10868, {}},
        {"({1+}, 0)", 2, -1, {}},
    };
    for (const Case& c : cases) {
        std::vector<double> values;
        char bad = 0;
        const int rc = ReadTablePairs(c.text, c.columns, &values, &bad);
        if (c.result < 0) {
            EXPECT_NE(rc, 0) << c.text;
            continue;
        }
        EXPECT_EQ(rc, c.result) << c.text;
        if (!rc) {
            EXPECT_EQ(values, c.values) << c.text;
        }
    }
}

}  // namespace
