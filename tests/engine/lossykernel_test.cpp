// The lossy line's numerical kernel: special functions against the standard
// library, interpolation weights, straight-line integrals and tests, and the
// convolution coefficients at the edges of the history.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/lossyline.h"

namespace {

TEST(LossyKernel, SpecialFunctionsFollowTheirDefinitions) {
    for (double x : {0.0, 0.5, 1.0, 3.0, 3.75, 5.0, 20.0, 100.0}) {
        const double i0 = std::cyl_bessel_i(0.0, x), i1 = std::cyl_bessel_i(1.0, x);
        EXPECT_NEAR(BesselI0(x) / i0, 1.0, 1e-6) << x;  // the polynomial forms' accuracy
        if (x > 0.0) {
            EXPECT_NEAR(BesselI1(x) / i1, 1.0, 1e-6) << x;
            EXPECT_NEAR(BesselI1OverX(x) / (i1 / x), 1.0, 1e-6) << x;
            EXPECT_NEAR(BesselI1(-x), -BesselI1(x), 1e-12 * i1) << x;
        }
        EXPECT_NEAR(LossyErfc(x), std::erfc(x), 2e-7) << x;
    }
    EXPECT_EQ(BesselI1OverX(0.0), 0.5);
    // The responses at their edges.
    const double T = 2e-9, alpha = 1e8;
    EXPECT_DOUBLE_EQ(RlcTransferResponse(T, T, alpha, alpha), alpha * alpha * T * std::exp(-alpha * T) / 2.0);
    EXPECT_EQ(RlcTransferResponse(0.9 * T, T, alpha, alpha), 0.0);
    EXPECT_EQ(RlcTransferResponse(3 * T, T, 0.0, 0.0), 0.0);
    EXPECT_EQ(RlcCrossResponse(T, T, alpha), 0.0);
    EXPECT_EQ(RlcSelfTwiceIntegral(5e-9, 0.0), 5e-9);
    EXPECT_EQ(RcTransferTwiceIntegral(0.0, 1e-6), 0.0);
    // Far beyond the delay the scaled products stay finite.
    EXPECT_TRUE(std::isfinite(RlcTransferResponse(1e-3, T, alpha, alpha)));
    EXPECT_TRUE(std::isfinite(RlcCrossResponse(1e-3, T, alpha)));
}

TEST(LossyKernel, WeightsIntegralsAndStraightLines) {
    double w3[3] = {7, 7, 7};
    EXPECT_EQ(QuadraticWeights(2.0, 1.0, 2.0, 4.0, w3), 0);
    EXPECT_EQ(w3[0], 0.0);
    EXPECT_EQ(w3[1], 1.0);
    EXPECT_EQ(w3[2], 0.0);
    ASSERT_EQ(QuadraticWeights(3.0, 1.0, 2.0, 4.0, w3), 0);
    // Exact for a parabola.
    auto p = [](double x) { return 2 * x * x - 3 * x + 1; };
    EXPECT_NEAR(w3[0] * p(1) + w3[1] * p(2) + w3[2] * p(4), p(3), 1e-12);
    EXPECT_EQ(QuadraticWeights(3.0, 1.0, 1.0, 4.0, w3), 1);  // coincident: left as they were
    EXPECT_NEAR(w3[0] * p(1) + w3[1] * p(2) + w3[2] * p(4), p(3), 1e-12);
    double w2[2] = {7, 7};
    EXPECT_EQ(LinearWeights(1.5, 1.0, 3.0, w2), 0);
    EXPECT_DOUBLE_EQ(w2[0], 0.75);
    EXPECT_DOUBLE_EQ(w2[1], 0.25);
    EXPECT_EQ(LinearWeights(1.5, 2.0, 2.0, w2), 1);
    EXPECT_DOUBLE_EQ(w2[0], 0.75);

    // Over [t1, t2] of the line from y1 to y2: once, twice and thrice integrated.
    EXPECT_DOUBLE_EQ(IntegrateLinear(1, 3, 1, 2, 3, 6), 2 * (2 + 6) / 2.0);
    EXPECT_DOUBLE_EQ(IntegrateLinearTwice(1, 3, 1, 2, 3, 6), 4 * (2 * 2 + 6) / 6.0);
    EXPECT_DOUBLE_EQ(IntegrateLinearThrice(1, 3, 1, 2, 3, 6), 8 * (3 * 2 + 6) / 24.0);
    EXPECT_EQ(IntegrateLinear(1, 1, 1, 2, 1, 6), 0.0);

    EXPECT_EQ(IsStraightLine(0, 5, 1, 5, 2, 5, 0.0, 1e-15), 1);
    EXPECT_EQ(IsStraightLine(0, 0, 1, 1, 2, 2, 1e-3, 0.0), 1);
    EXPECT_EQ(IsStraightLine(0, 0, 1, 1, 2, 0, 1e-3, 1e-12), 0);
}

LossyLineRecord MakeLine(int32_t lossyCase, std::vector<double> times) {
    LossyLineRecord line{};
    line.values.lossyCase = lossyCase;
    const size_t n = times.size();
    line.times = std::move(times);
    for (std::vector<double>* v : {&line.selfCoeffs, &line.transferCoeffs, &line.crossCoeffs}) v->assign(n, 0.0);
    return line;
}

TEST(LossyKernel, RlcCoefficientsAtTheEdgesOfTheHistory) {
    // R 10, L 250n, C 100p, LEN 1: Z0 50, TD 5 ns.
    auto rlc = [](std::vector<double> times, double td) {
        LossyLineRecord line = MakeLine(kLossyRlc, std::move(times));
        line.values.td = td;
        line.values.alpha = line.values.beta = 10.0 / (2 * 250e-9);
        return line;
    };
    struct Case {
        double td, t;
        int32_t delayIndex;
    } cases[] = {
        {0.0, 4e-9, 3},                            // no delay: the newest entry
        {5e-9, 4e-9, 0},                           // not yet late
        {5e-9, 5e-9, 0},                           // just at the delay
        {1.5e-9, 4e-9, 2},                         // the newest entry more than TD back: t_2
        {2.5e-9, 4e-9, 1}, {0x1p-30, 0x1p-28, 2},  // exactly t_3 + TD: the entry before
    };
    for (const Case& c : cases) {
        const bool binary = c.t == 0x1p-28;
        LossyLineRecord line =
            binary ? rlc({0.0, 0x1p-30, 0x1p-29, 3 * 0x1p-30}, c.td) : rlc({0.0, 1e-9, 2e-9, 3e-9}, c.td);
        ASSERT_EQ(ComputeRlcCoefficients(line, c.t), 0);
        EXPECT_EQ(line.values.delayIndex, c.delayIndex) << c.td << " " << c.t;
        if (c.delayIndex == 0) {
            EXPECT_EQ(line.values.transferFirstCoeff, 0.0);
            EXPECT_EQ(line.values.crossFirstCoeff, 0.0);
        }
        for (double s : line.selfCoeffs) EXPECT_TRUE(std::isfinite(s));
    }
    // A present interval of no length divides by 1e-12.
    LossyLineRecord line = rlc({0.0, 1e-9}, 5e-9);
    ASSERT_EQ(ComputeRlcCoefficients(line, 1e-9), 0);
    EXPECT_EQ(line.values.selfFirstCoeff, 0.0);  // F1(0) = 0
    // No room for the newest entry.
    line.selfCoeffs.resize(1);
    EXPECT_EQ(ComputeRlcCoefficients(line, 2e-9), kResultNoMemory);
}

TEST(LossyKernel, RcSequencesRunOverTheWholeHistory) {
    LossyLineRecord line = MakeLine(kLossyRc, {0.0, 1e-9, 2e-9, 3e-9, 4e-9});
    line.values.cOverR = 1e-9 / 1e3;
    line.values.rcLenSquared = 1e3 * 1e-9;
    ASSERT_EQ(ComputeRcCoefficients(line, 5e-9), 0);
    // The self response's coefficients (sqrt(4 c x / pi), twice integrated)
    // against their definition.
    auto g1 = [&](double x) { return std::sqrt(4.0 * line.values.cOverR * x / M_PI); };
    const double first = g1(1e-9) / 1e-9;
    EXPECT_NEAR(line.values.selfFirstCoeff / first, 1.0, 1e-12);
    double qPrev = first, xPrev = 1e-9;
    for (int i = 4; i >= 1; --i) {
        const double x = 5e-9 - line.times[static_cast<size_t>(i - 1)];
        const double q = (g1(x) - g1(xPrev)) / 1e-9;
        EXPECT_NEAR(line.selfCoeffs[static_cast<size_t>(i)], q - qPrev, 1e-9 * std::fabs(q - qPrev)) << i;
        EXPECT_NE(line.selfCoeffs[static_cast<size_t>(i)], 0.0) << i;
        qPrev = q;
        xPrev = x;
    }
    EXPECT_EQ(LossyLineLte(line, 5e-9), 0.0);
}

}  // namespace
