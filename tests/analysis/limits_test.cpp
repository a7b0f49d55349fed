#include "analysis/limits.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/properties.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "shell/document.h"
#include "tests/support/test_reporter.h"

namespace {

TEST(LimitValues, ReadToFromAndStepWithTheirCounts) {
    struct Case {
        const char* text;
        double to, from, step;
        int count;
    } cases[] = {
        {"10,0", 10, 0, 0, 2},         {"10,,1", 10, 0, 1, 2},     {"27", 27, 0, 0, 1},
        {"1u,0,1n", 1e-6, 0, 1e-9, 3}, {"max(1,2),1", 2, 1, 0, 2},
    };
    for (const Case& c : cases) {
        LimitValues v;
        ASSERT_EQ(ParseLimitValues(c.text, &v), 0) << c.text;
        EXPECT_DOUBLE_EQ(v.to, c.to) << c.text;
        EXPECT_DOUBLE_EQ(v.from, c.from) << c.text;
        EXPECT_DOUBLE_EQ(v.step, c.step) << c.text;
        EXPECT_EQ(v.count, c.count) << c.text;
    }
    LimitValues v;
    EXPECT_NE(ParseLimitValues("10,nosuchname", &v), 0);
}

class LimitsOfACircuit : public ::testing::Test {
protected:
    void SetUp() override {
        doc_ = std::make_unique<CCirDoc>();
        CurrentRunContext().circuitDocument = doc_.get();
        settings_ = EnsureAnalysisSettings(doc_.get());
        ASSERT_NE(settings_, nullptr);
        ResetLimitErrors();
    }
    void TearDown() override {
        CurrentRunContext().circuitDocument = nullptr;
        ResetLimitErrors();
    }
    CurveRow& AddRow(char group, uint16_t options = 0) {
        settings_->kinds[kind_].curves.push_back(std::make_unique<CurveRow>());
        CurveRow& row = *settings_->kinds[kind_].curves.back();
        row.plotGroup = group;
        row.options = options;
        return row;
    }
    std::unique_ptr<CCirDoc> doc_;
    AnalysisSettings* settings_ = nullptr;
    int kind_ = 0;
};

TEST_F(LimitsOfACircuit, CountsFallBackToFiveAndSaturate) {
    std::vector<int> shown;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        return 0;
    });
    char** points = &settings_->kinds[0].limits[PointsFieldIndex(0)];
    SetString(points, "2.5");
    EXPECT_EQ(GetLimitCount(doc_.get(), 0, PointsFieldIndex(0)), 5);
    SetString(points, "1e12");
    EXPECT_EQ(GetLimitCount(doc_.get(), 0, PointsFieldIndex(0)), INT_MAX);
    SetString(points, "bad(");
    EXPECT_EQ(GetLimitCount(doc_.get(), 0, PointsFieldIndex(0)), 5);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(LimitsOfACircuit, DefaultsFillOnlyEmptyFields) {
    AnalysisKindSettings& tran = settings_->kinds[0];
    SetString(&tran.limits[0], "5m");
    EXPECT_EQ(FillDefaultLimitTexts(tran, 0, ""), 1);
    EXPECT_STREQ(tran.limits[0], "5m");
    EXPECT_STREQ(tran.limits[1], "0");
    EXPECT_STREQ(tran.limits[2], "51");
    EXPECT_STREQ(tran.limits[3], "27");
    EXPECT_EQ(FillDefaultLimitTexts(tran, 0, ""), 0);
    EXPECT_EQ(FillDefaultLimitTexts(settings_->kinds[3], 3, "OUT"), 1);
    EXPECT_STREQ(settings_->kinds[3].limits[3], "V(OUT)");
    EXPECT_EQ(FillDefaultLimitTexts(settings_->kinds[2], 2, ""), 1);
    EXPECT_STREQ(settings_->kinds[2].limits[2], "10,0,.5");
}

TEST_F(LimitsOfACircuit, AcRowsTakeMagnitudeAndPhaseOfEachNodeInTurn) {
    kind_ = 1;
    for (int i = 0; i < 4; ++i) AddRow('1');
    CurveRow& idle = AddRow('x');
    ASSERT_EQ(FillDefaultCurveRows(settings_->kinds[1], 1, {"OUT", "2"}, {}, false, false), 1);
    const auto& rows = settings_->kinds[1].curves;
    EXPECT_STREQ(rows[0]->yExpression, "db(v(OUT))");
    EXPECT_STREQ(rows[1]->yExpression, "ph(v(OUT))");
    EXPECT_STREQ(rows[2]->yExpression, "db(v(2))");
    EXPECT_STREQ(rows[3]->yExpression, "ph(v(2))");
    EXPECT_STREQ(rows[0]->xExpression, "F");
    EXPECT_STREQ(rows[3]->xRange, "Auto");
    EXPECT_EQ(rows[2]->aliasId, 3);
    EXPECT_EQ(idle.yExpression, nullptr);
    EXPECT_EQ(idle.aliasId, 0);
}

TEST_F(LimitsOfACircuit, RowsBeyondTheNodesLoseTheirPlotGroup) {
    AddRow('1');
    AddRow('2', kOutputFlag);
    AddRow('3');
    SetString(&settings_->kinds[0].curves[2]->yExpression, "i(R1)");
    ASSERT_EQ(FillDefaultCurveRows(settings_->kinds[0], 0, {"1"}, {"CLK"}, false, false), 1);
    const auto& rows = settings_->kinds[0].curves;
    EXPECT_STREQ(rows[0]->yExpression, "v(1)");
    EXPECT_STREQ(rows[1]->yExpression, "d(CLK)");
    EXPECT_STREQ(rows[2]->yExpression, "i(R1)");
    AddRow('4');
    AddRow('5');
    ASSERT_EQ(FillDefaultCurveRows(settings_->kinds[0], 0, {}, {}, false, false), 1);
    EXPECT_EQ(rows[3]->plotGroup, 0);
    EXPECT_EQ(rows[4]->plotGroup, 0);
    EXPECT_EQ(rows[0]->plotGroup, '1');
}

TEST(NodeNames, NamedNodesComeFirstThenNumberedOnes) {
    NodeNamePicker picker({"IN", "", "OUT", "7X"}, 1);
    std::vector<std::string> got;
    for (std::string n = picker.Next(); !n.empty(); n = picker.Next()) got.push_back(n);
    EXPECT_EQ(got, (std::vector<std::string>{"IN", "OUT", "2", "4"}));
}

}  // namespace
