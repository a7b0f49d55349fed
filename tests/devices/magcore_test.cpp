// Magnetic cores: a sine field drives the magnetisation round a hysteresis
// loop that closes on itself, a gapped core balances its field against the
// gap's, a core without pinning stays unmagnetised, and a rejected step
// returns to the accepted state.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "devices/magcore.h"

namespace {

struct LoopPoint {
    double h, m;
};

// One accepted point per step of a sine applied field of amplitude `peak`.
std::vector<LoopPoint> Drive(CoreState& core, const CoreParameters& p, double peak, int periods, int steps) {
    std::vector<LoopPoint> points;
    CoreSolveOptions options;
    for (int i = 1; i <= periods * steps; ++i) {
        core.appliedField = peak * std::sin(2.0 * 3.141592653589793 * i / steps);
        const CoreSolveResult result = SolveMagnetization(core, p, options);
        EXPECT_TRUE(result.converged) << i;
        UpdateCoreState(core, 1);
        points.push_back({core.field, core.magnetization});
    }
    return points;
}

TEST(MagneticCore, SineDriveTracesAClosedHysteresisLoop) {
    CoreParameters p;  // MS 4e5, A 25, C 0.001, K 25
    CoreState core;
    const int steps = 400;
    const std::vector<LoopPoint> points = Drive(core, p, 200.0, 3, steps);
    // The last period: the energy taken per cycle, the integral of H dM, is positive.
    double area = 0.0;
    for (int i = 2 * steps; i < 3 * steps; ++i)
        area += 0.5 * (points[i].h + points[i - 1].h) * (points[i].m - points[i - 1].m);
    EXPECT_GT(area, 0.0);
    // The falling branch crosses H = 0 above the rising one (remanence).
    const LoopPoint falling = points[2 * steps + steps / 2 - 1];  // just before H turns negative
    const LoopPoint rising = points[3 * steps - 1];               // H back at 0 from below
    EXPECT_GT(falling.m, rising.m + 0.01 * p.ms);
    // Saturation bounds the magnetisation, and a period later it is where it was.
    for (const LoopPoint& point : points) EXPECT_LT(std::fabs(point.m), p.ms);
    EXPECT_NEAR(points[3 * steps - 1].m, points[2 * steps - 1].m, 1e-3 * p.ms);
}

TEST(MagneticCore, CoreWithoutPinningStaysUnmagnetised) {
    CoreParameters p;
    p.k = 0.0;
    CoreState core;
    core.appliedField = 50.0;
    ASSERT_TRUE(SolveMagnetization(core, p, CoreSolveOptions()).converged);
    EXPECT_EQ(core.magnetization, 0.0);
    EXPECT_NEAR(core.slope, p.ms * p.a / ((50.0 + p.a) * (50.0 + p.a)), 1e-9);
    // mu0 N^2 A / l with N = 10, A = 1 cm^2, l = 1 cm.
    EXPECT_NEAR(WindingInductance(core, p, 10.0), kMu0 * 100.0 * 1e-4 / 1e-2, 1e-15);
    EXPECT_NEAR(WindingField(p, 10.0, 2.0), 2000.0, 1e-9);
}

TEST(MagneticCore, GappedCoreBalancesItsFieldAgainstTheGap) {
    CoreParameters open, gapped;
    gapped.gap = 0.01;  // 0.1 mm in a 1 cm path: r = 100
    CoreState a, b;
    a.appliedField = b.appliedField = 100.0;
    CoreSolveOptions options;
    ASSERT_TRUE(SolveMagnetization(a, open, options).converged);
    const CoreSolveResult result = SolveMagnetization(b, gapped, options);
    ASSERT_TRUE(result.converged);
    EXPECT_LE(result.passes, kCoreIterationLimit);
    EXPECT_GT(result.passes, 1);
    // Ampere-turns per length: the core's field plus the gap's, H + M, over r.
    const double r = 100.0;
    EXPECT_NEAR(b.field + (b.field + b.magnetization) / r, 100.0, 1e-3);
    EXPECT_LT(b.field, a.field);
    EXPECT_LT(b.magnetization, a.magnetization);
}

TEST(MagneticCore, RejectedStepReturnsToTheAcceptedState) {
    CoreParameters p;
    CoreState core;
    core.appliedField = 80.0;
    SolveMagnetization(core, p, CoreSolveOptions());
    UpdateCoreState(core, 1);
    const CoreState accepted = core;
    core.appliedField = -150.0;
    SolveMagnetization(core, p, CoreSolveOptions());
    EXPECT_NE(core.magnetization, accepted.magnetization);
    UpdateCoreState(core, 2);
    EXPECT_EQ(core.magnetization, accepted.magnetization);
    EXPECT_EQ(core.field, accepted.field);
    EXPECT_EQ(core.chordSlope, accepted.chordSlope);
    UpdateCoreState(core, 0);
    EXPECT_EQ(core.magnetization, 0.0);
    EXPECT_EQ(core.acceptedField, 0.0);
}

}  // namespace
