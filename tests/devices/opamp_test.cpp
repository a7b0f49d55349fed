// OPAMP element values from the data-sheet parameters: the table defaults give
// the macromodel's published example values, and each parameter fault is
// refused with its own message.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/result.h"
#include "devices/opamp.h"
#include "tests/devices/model_fixture.h"

namespace {

class OpampTest : public ModelFixture {
protected:
    double* Defaults(std::initializer_list<std::pair<const char*, double>> given = {}) {
        return Add(kModelOpamp, given)->Values;
    }
    OpampElementValues out_;
};

TEST_F(OpampTest, TableDefaultsAt27Degrees) {
    ASSERT_EQ(ComputeOpampParameters(Defaults(), 27.0, 1e-12, nullptr, &out_), 0);
    const double* v = out_.v;
    EXPECT_NEAR(v[kOpRc1], 5305.16, 0.01);
    EXPECT_EQ(v[kOpRc2], v[kOpRc1]);
    EXPECT_NEAR(v[kOpBeta1], 74.627, 1e-3);
    EXPECT_NEAR(v[kOpBeta2], 75.377, 1e-3);
    EXPECT_NEAR(v[kOpIee], 1.52e-5, 1e-8);
    EXPECT_EQ(v[kOpCe], 1e-19);
    EXPECT_NEAR(v[kOpRe1], 1832.18, 0.01);
    EXPECT_NEAR(v[kOpRee], 1.3158e7, 1e3);
    EXPECT_NEAR(v[kOpRp], 36668.8, 0.1);
    EXPECT_NEAR(v[kOpGb1], 2.1221e7, 1e3);
    EXPECT_EQ(v[kOpGb2], -v[kOpGb1]);
    EXPECT_NEAR(v[kOpC1], 8.660e-12, 1e-15);
    EXPECT_EQ(v[kOpC2], 3e-11);
    EXPECT_EQ(v[kOpR2], 100000.0);
    EXPECT_EQ(v[kOpRo2], 50.0);
    EXPECT_EQ(v[kOpRo1], 75.0);
    EXPECT_EQ(v[kOpVc], 2.0);
    EXPECT_EQ(v[kOpVe], 2.0);
    EXPECT_EQ(v[kOpVlim1], 20.0);
    EXPECT_NEAR(v[kOpQ2Is], (0.001 / ThermalVoltageAt(300.15) + 1.0) * 1e-16, 1e-24);
}

TEST_F(OpampTest, InputDeviceSaturationCurrentFollowsTheTemperature) {
    const double q1[] = {2e-16};
    ASSERT_EQ(ComputeOpampParameters(Defaults(), 85.0, 1e-12, q1, &out_), 0);
    EXPECT_NEAR(out_.v[kOpQ2Is], (0.001 / ThermalVoltageAt(358.15) + 1.0) * 2e-16, 1e-24);
}

TEST_F(OpampTest, ParameterFaults) {
    struct Case {
        std::initializer_list<std::pair<const char*, double>> given;
        int code;
    } cases[] = {
        {{{"IBIAS", 1e-9}, {"IOFF", 2e-9}}, kMsgOpampIbias},
        {{{"SRP", 1e5}}, kMsgOpampNpnSlew},
        {{{"TYPE", 2}, {"SRN", 1e5}}, kMsgOpampPnpSlew},
        {{{"TYPE", 3}, {"SRN", 1e5}}, kMsgOpampPnpSlew},
        {{{"SRP", 10}, {"SRN", 10}}, kMsgOpampSrpGbw},
        {{{"TYPE", 2}, {"SRP", 10}, {"SRN", 10}}, kMsgOpampSrnGbw},
        {{{"ROUTDC", 75}}, kMsgOpampZo},
        {{{"VNS", -16}}, kMsgOpampVee},
        {{{"VPS", 16}}, kMsgOpampVcc},
        {{{"SRN", 0}}, kMsgOpampNpnSlew},  // an unbounded Ce
    };
    for (const Case& c : cases) {
        OpampElementValues out;
        EXPECT_EQ(ComputeOpampParameters(Defaults(c.given), 27.0, 1e-12, nullptr, &out), c.code) << c.code;
        for (double value : out.v) EXPECT_FALSE(std::isinf(value)) << c.code;
    }
}

TEST_F(OpampTest, EdgeValues) {
    ASSERT_EQ(ComputeOpampParameters(Defaults({{"SRN", 5e5}, {"SRP", 5e5}}), 27.0, 1e-12, nullptr, &out_), 0);
    EXPECT_EQ(out_.v[kOpCe], 1e-19);

    ASSERT_EQ(ComputeOpampParameters(Defaults({{"PD", 0}}), 27.0, 1e-12, nullptr, &out_), kMsgOpampPd);
    EXPECT_EQ(out_.v[kOpRp], 1e12);
    EXPECT_STREQ(SecondPendingText(), "0.000456");
    EXPECT_NEAR(out_.v[kOpRo2], 50.0, 0);  // the computation goes on

    ASSERT_EQ(ComputeOpampParameters(Defaults({{"PM", 90}}), 27.0, 1e-12, nullptr, &out_), 0);
    EXPECT_EQ(out_.v[kOpC1], 0.0);

    // TYPE 2 and 3 drive the tail source the other way.
    ASSERT_EQ(ComputeOpampParameters(Defaults({{"TYPE", 2}, {"SRN", 6e5}, {"SRP", 5e5}}), 27.0, 1e-12, nullptr, &out_),
              0);
    EXPECT_LT(out_.v[kOpIee], 0);
    EXPECT_NEAR(out_.v[kOpRee], 200.0 / -out_.v[kOpIee], 1e-3);
}

TEST_F(OpampTest, SimplerLevels) {
    OpampStageValues stage;
    ASSERT_EQ(ComputeOpampStageValues(Defaults(), &stage), 0);
    EXPECT_DOUBLE_EQ(stage.transconductance, 200000.0 / 200.0);

    ASSERT_EQ(ComputeOpampStageValues(Defaults({{"LEVEL", 2}}), &stage), 0);
    const double fp1 = 1e6 / 200000.0;
    EXPECT_DOUBLE_EQ(stage.cp1, 1.0 / (2.0 * std::numbers::pi * fp1 * 200.0));
    EXPECT_GT(stage.cp2, 0);
    EXPECT_EQ(stage.rout, 200.0);
    EXPECT_DOUBLE_EQ(stage.transconductance, std::pow(200000.0, 0.3333333333333) / 200.0);

    EXPECT_EQ(ComputeOpampStageValues(Defaults({{"LEVEL", 2}, {"PM", 150}}), &stage), kMsgOpampNegativeC2);
    EXPECT_LE(stage.cp2, 0);
}

}  // namespace
