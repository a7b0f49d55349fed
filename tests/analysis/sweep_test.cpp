#include "analysis/sweep.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "analysis/limits.h"
#include "core/memory.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "shell/document.h"
#include "tests/support/test_reporter.h"

namespace {

struct SweepCase {
    const char* text;
    int method;
    std::vector<double> values;  // empty: an error
    int error;
};

TEST(SweepList, BuildsRangesAndListsAndRejectsBadRanges) {
    const SweepCase cases[] = {
        {"100,0,25", kSweepMethodLinear, {0, 25, 50, 75, 100}, 0},
        {"100,0,30", kSweepMethodLinear, {0, 30, 60, 90, 100}, 0},
        {"27", kSweepMethodLinear, {27}, 0},
        {"27,27,0", kSweepMethodLinear, {27}, 0},
        {"10,10,0", kSweepMethodLinear, {10}, 0},
        {"0,100,25", kSweepMethodLinear, {100, 75, 50, 25, 0}, 0},
        {"10,0,0", kSweepMethodLinear, {}, kMsgIllegalStep},
        {"1000,1,10", kSweepMethodLog, {1, 10, 100, 1000}, 0},
        {"1,1000,10", kSweepMethodLog, {1000, 100, 10, 1}, 0},
        {"-10,10,2", kSweepMethodLog, {}, kMsgLogSameSign},
        {"10,0,2", kSweepMethodLog, {}, kMsgLogZeroEndpoint},
        {"10,1,-2", kSweepMethodLog, {}, kMsgLogBadStep},
        {"27,50,75", kSweepMethodList, {27, 50, 75}, 0},
        {"27,,(1+2)", kSweepMethodList, {27, 3}, 0},
    };
    for (const SweepCase& c : cases) {
        SweepList list;
        EXPECT_EQ(list.BuildFromText(c.text, c.method), c.error) << c.text;
        ASSERT_EQ(list.values().size(), c.values.size()) << c.text;
        for (size_t i = 0; i < c.values.size(); ++i) EXPECT_NEAR(list.values()[i], c.values[i], 1e-9) << c.text;
    }
}

TEST(SweepList, StopsAtTheValueCap) {
    SweepList list;
    ASSERT_EQ(list.BuildFromText("5000,0,1", kSweepMethodLinear), 0);
    EXPECT_EQ(list.values().size(), 1001u);
    EXPECT_EQ(list.values().back(), 1000.0);
    ASSERT_EQ(list.BuildFromText("1e300,1,1.0001", kSweepMethodLog), 0);
    EXPECT_EQ(list.values().size(), 1001u);
}

TEST(SweepList, StepHelpersFollowTheirRules) {
    EXPECT_EQ(CountLinearSteps(0, 1, 0.3), 5);
    EXPECT_EQ(CountLinearSteps(0, 1, 0.5), 3);
    EXPECT_DOUBLE_EQ(NormalizeStep(false, 0, 10, 50), 10);
    EXPECT_DOUBLE_EQ(NormalizeStep(false, 10, 0, 3), -3);
    EXPECT_DOUBLE_EQ(NormalizeStep(true, 1, 1000, 0.1), 10);
    EXPECT_DOUBLE_EQ(NormalizeStep(true, 1, 5, 10), 5);
    EXPECT_DOUBLE_EQ(NormalizeStep(true, 1, 5, -2), -2);
}

class TemperatureSweep : public ::testing::Test {
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
    std::unique_ptr<CCirDoc> doc_;
    AnalysisSettings* settings_ = nullptr;
};

TEST_F(TemperatureSweep, AFieldOfFiveTemperaturesGivesFivePasses) {
    SetString(&settings_->kinds[0].limits[TemperatureFieldIndex(0)], "100,0,25");
    SweepList list;
    ASSERT_EQ(list.Build(doc_.get(), 0, TemperatureFieldIndex(0), kSweepMethodLinear), 0);
    std::vector<double> passes;
    for (list.Reset(); list.HasMore();) passes.push_back(list.Next());
    EXPECT_EQ(passes, (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_TRUE(list.Multiple());
}

TEST_F(TemperatureSweep, ADynamicRunWithoutStepThroughUsesTheFirstListValue) {
    SetString(&settings_->kinds[1].limits[TemperatureFieldIndex(1)], "27,50,75");
    SweepList list;
    ASSERT_EQ(list.Build(doc_.get(), 1, TemperatureFieldIndex(1), kSweepMethodList, true), 0);
    EXPECT_EQ(list.values(), (std::vector<double>{27}));
}

TEST_F(TemperatureSweep, AnErrorIsReportedOncePerRunAndLeavesNoPasses) {
    std::vector<int> shown;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        return 0;
    });
    SetString(&settings_->kinds[0].limits[TemperatureFieldIndex(0)], "10,0,0");
    SweepList list;
    EXPECT_EQ(list.Build(doc_.get(), 0, TemperatureFieldIndex(0), kSweepMethodLinear), kMsgIllegalStep);
    EXPECT_FALSE(list.HasMore());
    list.Build(doc_.get(), 0, TemperatureFieldIndex(0), kSweepMethodLinear);
    EXPECT_EQ(shown, (std::vector<int>{kMsgIllegalStep}));
    EXPECT_EQ(LastLimitErrorField(), TemperatureFieldIndex(0));
}

}  // namespace
