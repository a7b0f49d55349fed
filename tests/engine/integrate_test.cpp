// Integration of charges: the Gear and trapezoidal coefficients, the derivative
// of a state block and its companion model, the history shifts, the
// truncation-error step on known waveforms and the junction charge.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/integrate.h"
#include "expr/runvars.h"

namespace {

IntegrationFormula Formula(int32_t method, int32_t order, double h) {
    IntegrationFormula f;
    f.IntegrationMethod = method;
    f.IntegrationOrder = order;
    f.TimeStep = h;
    for (double& step : f.PreviousSteps) step = h;
    return f;
}

struct Blocks {
    explicit Blocks(int count) : values(4 * count, 0.0), derivatives(4 * count, 0.0) {
        states.StateValues = values.data();
        states.StateDerivatives = derivatives.data();
        states.StateCount = count;
    }
    std::vector<double> values;
    std::vector<double> derivatives;
    StateVectors states;
};

TEST(IntegrationCoefficients, GearAndTrapezoidal) {
    IntegrationFormula euler = Formula(kIntegrationGear, 1, 1e-9);
    ASSERT_TRUE(ComputeIntegrationCoefficients(euler));
    EXPECT_NEAR(euler.IntegrationCoefficients[0], 1e9, 1e-3);
    EXPECT_NEAR(euler.IntegrationCoefficients[1], -1e9, 1e-3);
    EXPECT_EQ(euler.Ag0, euler.IntegrationCoefficients[0]);
    EXPECT_EQ(euler.Ag1, euler.IntegrationCoefficients[1]);

    // Second-order backward differentiation at equal steps: (3/2, -2, 1/2) / h.
    IntegrationFormula gear2 = Formula(kIntegrationGear, 2, 1e-6);
    ASSERT_TRUE(ComputeIntegrationCoefficients(gear2));
    EXPECT_NEAR(gear2.IntegrationCoefficients[0] * 1e-6, 1.5, 1e-9);
    EXPECT_NEAR(gear2.IntegrationCoefficients[1] * 1e-6, -2.0, 1e-9);
    EXPECT_NEAR(gear2.IntegrationCoefficients[2] * 1e-6, 0.5, 1e-9);

    // Unequal steps: the second-order formula is exact for a quadratic charge.
    IntegrationFormula uneven = Formula(kIntegrationGear, 2, 1.0);
    uneven.PreviousSteps[1] = 2.0;
    ASSERT_TRUE(ComputeIntegrationCoefficients(uneven));
    Blocks b(1);
    // Points at t = 3 (present), 2 and 0; q = t^2, dq/dt(3) = 6.
    b.values[0] = 9.0;
    b.values[1] = 4.0;
    b.values[2] = 0.0;
    IntegrateDerivative(uneven, b.states, 0);
    EXPECT_NEAR(b.derivatives[0], 6.0, 1e-12);

    IntegrationFormula trap1 = Formula(kIntegrationTrapezoidal, 1, 1e-9);
    ASSERT_TRUE(ComputeIntegrationCoefficients(trap1));
    EXPECT_DOUBLE_EQ(trap1.Ag0, 1e9);
    EXPECT_DOUBLE_EQ(trap1.Ag1, -1e9);
    IntegrationFormula trap2 = Formula(kIntegrationTrapezoidal, 2, 1e-9);
    ASSERT_TRUE(ComputeIntegrationCoefficients(trap2));
    EXPECT_DOUBLE_EQ(trap2.Ag0, 2e9);
    EXPECT_EQ(trap2.Ag1, 1.0);
}

TEST(IntegrationCoefficients, UnknownOrdersMethodsAndStepsChangeNothing) {
    const IntegrationFormula cases[] = {
        Formula(kIntegrationGear, 7, 1e-9),        Formula(kIntegrationGear, 0, 1e-9),
        Formula(kIntegrationTrapezoidal, 3, 1e-9), Formula(5, 1, 1e-9),
        Formula(kIntegrationGear, 1, 0.0),  // a zero step would give infinite coefficients
    };
    for (IntegrationFormula f : cases) {
        f.IntegrationCoefficients[0] = 42.0;
        f.Ag0 = 42.0;
        EXPECT_FALSE(ComputeIntegrationCoefficients(f));
        EXPECT_EQ(f.IntegrationCoefficients[0], 42.0);
        EXPECT_EQ(f.Ag0, 42.0);
    }
    // Coinciding past points make the Gear system singular.
    IntegrationFormula coinciding = Formula(kIntegrationGear, 2, 1e-9);
    coinciding.PreviousSteps[1] = 0.0;
    coinciding.IntegrationCoefficients[0] = 42.0;
    EXPECT_FALSE(ComputeIntegrationCoefficients(coinciding));
    EXPECT_EQ(coinciding.IntegrationCoefficients[0], 42.0);
}

// Orders up to 6 have coefficients, but a block keeps three past values: the
// derivative never reads past its own block.
TEST(IntegrateState, HighGearOrdersStayInsideTheBlock) {
    IntegrationFormula f = Formula(kIntegrationGear, 5, 1.0);
    ASSERT_TRUE(ComputeIntegrationCoefficients(f));
    Blocks b(2);
    b.values[4] = 1e30;  // the next block
    IntegrateDerivative(f, b.states, 0);
    EXPECT_EQ(b.derivatives[0], 0.0);
}

TEST(IntegrateState, CompanionModelOfABlock) {
    IntegrationFormula f = Formula(kIntegrationTrapezoidal, 2, 1e-6);
    ASSERT_TRUE(ComputeIntegrationCoefficients(f));
    Blocks b(2);
    // A constant charge: the previous current returns with its sign reversed.
    b.values[4] = b.values[5] = 3e-12;
    b.derivatives[5] = 2e-3;
    double geq = 0.0, ceq = 0.0;
    IntegrateState(f, b.states, 1e-12, geq, ceq, 1);
    EXPECT_EQ(b.derivatives[4], -2e-3);
    EXPECT_EQ(geq, 2e6 * 1e-12);
    EXPECT_DOUBLE_EQ(ceq, -2e-3 - 2e6 * 3e-12);

    double g2 = 0.0;
    b.derivatives[4] = 0.0;
    IntegrateConductance(f, b.states, g2, 1, 4e-12);
    EXPECT_EQ(g2, 2e6 * 4e-12);
    EXPECT_EQ(b.derivatives[4], -2e-3);
}

TEST(StateHistory, ShiftFillAndClear) {
    Blocks b(2);
    for (int i = 0; i < 8; ++i) {
        b.values[i] = i + 1;
        b.derivatives[i] = -(i + 1);
    }
    ShiftStateHistory(b.states);
    EXPECT_EQ(b.values, (std::vector<double>{1, 1, 2, 3, 5, 5, 6, 7}));
    EXPECT_EQ(b.derivatives, (std::vector<double>{-1, -1, -2, -3, -5, -5, -6, -7}));
    b.values[1] = 9;
    FillStateHistory(b.states);
    EXPECT_EQ(b.values, (std::vector<double>{1, 9, 9, 9, 5, 5, 5, 5}));
    ClearStateVectors(b.states);
    EXPECT_EQ(b.values, std::vector<double>(8, 0.0));
    EXPECT_EQ(b.derivatives, std::vector<double>(8, 0.0));
}

// Truncation error on q = t^2 sampled at equal steps: the second divided
// difference is 1, so the allowed step^2 is TRTOL * tol / (factor * 1).
TEST(TruncationError, StepFromAKnownWaveform) {
    GlobalSettingValues options;
    const double h = 1e-3;
    Blocks b(1);
    const double t0 = 0.01;
    b.values[0] = t0 * t0;
    b.values[1] = (t0 - h) * (t0 - h);
    b.values[2] = (t0 - 2 * h) * (t0 - 2 * h);
    b.derivatives[0] = 2 * t0;
    b.derivatives[1] = 2 * (t0 - h);

    IntegrationFormula trap1 = Formula(kIntegrationTrapezoidal, 1, h);
    const double currentTol = options.abstol + options.reltol * 2 * t0;
    const double chargeTol = options.reltol * t0 * t0 / h;
    const double tol = std::max(currentTol, chargeTol);
    const double del = options.trtol * tol / (0.5 * 1.0);
    EXPECT_NEAR(TruncationError(trap1, options, b.states, 0, 1e20), del * del, 1e-12 * del * del);
    // The smaller estimate wins.
    EXPECT_EQ(TruncationError(trap1, options, b.states, 0, 1e-30), 1e-30);

    // Order 2 on a cubic (q = t^3: third divided difference 1) takes the
    // square root.
    b.values[0] = t0 * t0 * t0;
    b.values[1] = std::pow(t0 - h, 3);
    b.values[2] = std::pow(t0 - 2 * h, 3);
    b.values[3] = std::pow(t0 - 3 * h, 3);
    b.derivatives[0] = 3 * t0 * t0;
    b.derivatives[1] = 3 * (t0 - h) * (t0 - h);
    IntegrationFormula trap2 = Formula(kIntegrationTrapezoidal, 2, h);
    const double tol2 = std::max(options.abstol + options.reltol * 3 * t0 * t0, options.reltol * 1e-6 / h);
    const double del2 = std::sqrt(options.trtol * tol2 / (0.08333333333 * 1.0));
    EXPECT_NEAR(TruncationError(trap2, options, b.states, 0, 1e20), del2 * del2, 1e-6 * del2 * del2);

    // The time step: the square root, within the limits.
    EXPECT_NEAR(TruncationTimeStep(trap2, options, b.states, 1, 1.0, false), del2, 1e-6 * del2);
    EXPECT_EQ(TruncationTimeStep(trap2, options, b.states, 1, 1e-9, false), 1e-9);
    EXPECT_EQ(TruncationTimeStep(trap2, options, b.states, 1, 1.0, true), std::min(del2, 2 * h));
}

// Transistor charges count: the first three blocks of each bipolar (five
// blocks) and MOSFET (seven) after the simple blocks, and none of the others.
TEST(TruncationError, TransistorChargeBlocksJoinTheEstimate) {
    GlobalSettingValues options;
    const double h = 1e-3, t0 = 0.01;
    IntegrationFormula trap1 = Formula(kIntegrationTrapezoidal, 1, h);
    const auto parabolaAt = [&](Blocks& b, int block) {
        for (int k = 0; k < 3; ++k) b.values[4 * block + k] = (t0 - k * h) * (t0 - k * h);
        b.derivatives[4 * block] = 2 * t0;
        b.derivatives[4 * block + 1] = 2 * (t0 - h);
    };
    Blocks single(1);
    parabolaAt(single, 0);
    const double limited = TruncationTimeStep(trap1, options, single.states, 1, 1.0, false);
    ASSERT_LT(limited, 1.0);
    struct Case {
        int block;  // of 1 simple block, 1 bipolar (blocks 1-5), 1 MOSFET (blocks 6-12)
        bool counts;
    } cases[] = {{2, true}, {3, true}, {4, false}, {5, false}, {6, true}, {8, true}, {9, false}, {12, false}};
    for (const Case& c : cases) {
        Blocks b(13);
        parabolaAt(b, c.block);
        const double step = TruncationTimeStep(trap1, options, b.states, 1, 1.0, false, 1, 1);
        if (c.counts) {
            EXPECT_NEAR(step, limited, 1e-9 * limited) << c.block;
        } else {
            EXPECT_EQ(step, 1.0) << c.block;
        }
    }
}

TEST(TruncationError, WithoutChargesTheStepIsOnlyLimited) {
    GlobalSettingValues options;
    IntegrationFormula f = Formula(kIntegrationTrapezoidal, 1, 1e-6);
    StateVectors none;
    EXPECT_EQ(TruncationTimeStep(f, options, none, 0, 1e12, false), 1e10);
    EXPECT_EQ(TruncationTimeStep(f, options, none, 0, 1e-3, false), 1e-3);
    EXPECT_EQ(TruncationTimeStep(f, options, none, 0, 1e12, true), 2e-6);
    // A history with a zero step (not yet filled) gives no estimate rather than
    // a division by zero.
    Blocks b(1);
    b.values[0] = 1.0;
    f.PreviousSteps[1] = 0.0;
    EXPECT_EQ(TruncationError(f, options, b.states, 0, 1e20), 1e20);
}

TEST(JunctionCharge, DepletionDiffusionAndExtension) {
    const double fc = 0.5, pb = 0.8, cz = 1e-12, tt = 1e-9;
    // Extension coefficients of the usual linear continuation above FC * pb.
    const double f2 = std::pow(1 - fc, 1.5);
    const double f3 = 1 - fc * 1.5;
    const double ext[3] = {1 / f2 * f3, 1 / f2 * 0.5 / pb, 0.0};
    double q[4] = {};
    double c = 0.0;
    // Reverse bias, mj = 0.5, with diffusion.
    JunctionCharge(fc * pb, ext, q, -1.0, pb, 0.5, tt, 1e-3, cz, 0.04, c, false);
    const double arg = 1 + 1.0 / pb;
    EXPECT_NEAR(q[0], tt * 1e-3 + cz * pb * (1 - arg / std::sqrt(arg)) / 0.5, 1e-24);
    EXPECT_NEAR(c, tt * 0.04 + cz / std::sqrt(arg), 1e-24);

    // Exactly at FC * pb the extension applies.
    JunctionCharge(fc * pb, ext, q, fc * pb, pb, 0.5, 0.0, 0.0, cz, 0.0, c, false);
    EXPECT_NEAR(c, cz * ext[0] + cz * ext[1] * fc * pb, 1e-24);
    EXPECT_NEAR(q[0], cz * ext[2] + fc * pb * (cz * ext[0] + cz * ext[1] * fc * pb / 2), 1e-24);

    // Accumulating adds to what is there.
    const double before = q[0];
    const double capBefore = c;
    JunctionCharge(fc * pb, ext, q, fc * pb, pb, 0.5, 0.0, 0.0, cz, 0.0, c, true);
    EXPECT_NEAR(q[0], 2 * before, 1e-24);
    EXPECT_NEAR(c, 2 * capBefore, 1e-24);

    // mj = 1 and mj = 0 stay finite.
    JunctionCharge(fc * pb, ext, q, -0.5, pb, 1.0, 0.0, 0.0, cz, 0.0, c, false);
    EXPECT_TRUE(std::isfinite(q[0]));
    EXPECT_NEAR(c, cz / (1 + 0.5 / pb), 1e-24);
    JunctionCharge(fc * pb, ext, q, -0.5, pb, 0.0, 0.0, 0.0, cz, 0.0, c, false);
    EXPECT_NEAR(q[0], cz * -0.5, 1e-24);
    EXPECT_EQ(c, cz);
}

// Step counts and tick times come from divisions by small steps: out-of-range
// and NaN values clamp instead of converting undefined.
TEST(IntegerConversions, ClampInDoubleFirst) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        int32_t steps;
        uint32_t ticks;
    } cases[] = {
        {12.9, 12, 12},
        {-12.9, -12, 0},
        {1e300, std::numeric_limits<int32_t>::max(), std::numeric_limits<uint32_t>::max()},
        {-1e300, std::numeric_limits<int32_t>::min(), 0},
        {inf, std::numeric_limits<int32_t>::max(), std::numeric_limits<uint32_t>::max()},
        {-inf, std::numeric_limits<int32_t>::min(), 0},
        {nan, 0, 0},
        {4294967295.5, std::numeric_limits<int32_t>::max(), 4294967295u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClampedStepCount(c.in), c.steps) << c.in;
        EXPECT_EQ(ClampedTicks(c.in), c.ticks) << c.in;
    }
}

}  // namespace
