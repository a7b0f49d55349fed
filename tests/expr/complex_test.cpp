#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "expr/complex.h"

namespace {

constexpr double cxt_Pi = 3.141592653589793;

// Relative closeness, with an absolute floor for values near zero.
bool cxt_Near(double actual, double expected, double tolerance = 1e-12) {
    if (actual == expected) return true;
    const double scale = std::fmax(std::fabs(expected), 1.0);
    return std::fabs(actual - expected) <= tolerance * scale;
}

bool cxt_Near2(double actual, double expected) { return cxt_Near(actual, expected); }

struct CxtRealCase {
    const char* what;
    double (*fn)(double);
    double x;
    double expected;
};

TEST(ComplexGuards, GuardedRealFunctions) {
    const CxtRealCase cases[] = {
        {"0^0", [](double e) { return GuardedPow(0, e); }, 0, 1},
        {"0^-1", [](double e) { return GuardedPow(0, e); }, -1, 1e50},
        {"0^0.5", [](double e) { return GuardedPow(0, e); }, 0.5, 0},
        {"(1e-120)^3 clamps the base", [](double e) { return GuardedPow(1e-120, e); }, 3, 1e-300},
        {"(-1e-120)^2 clamps keeping the sign", [](double e) { return GuardedPow(-1e-120, e); }, 2, 1e-200},
        {"(1e-120)^1.5 is not clamped", [](double e) { return GuardedPow(1e-120, e); }, 1.5, std::pow(1e-120, 1.5)},
        {"(1e200)^2 clamps to 1e100", [](double e) { return GuardedPow(1e200, e); }, 2, 1e200},
        {"(-2)^3", [](double e) { return GuardedPow(-2, e); }, 3, -8},
        {"exp(1000)", ClampedExp, 1000, std::exp(350.0)},
        {"exp(-1000)", ClampedExp, -1000, std::exp(-350.0)},
        {"exp(350) passes", ClampedExp, 350, std::exp(350.0)},
        {"exp(1)", ClampedExp, 1, 2.718281828459045},
        {"10^200", ClampedPow10, 200, std::exp(350.0)},
        {"10^2", ClampedPow10, 2, 100},
        {"decade of 0", DecadeFloor, 0, 1e-50},
        {"decade of 999.9995", DecadeFloor, 999.9995, 1000},
        {"decade of 0.05", DecadeFloor, 0.05, 0.01},
        {"decade of -250", DecadeFloor, -250, 100},
        {"log10 of 0", Log10Floored, 0, -50},
        {"log10 of -5", Log10Floored, -5, -50},
        {"log10 of 1000", Log10Floored, 1000, 3},
        {"ln floored of 0", [](double x) { return LogFloored(x, true); }, 0, std::log(1e-50)},
        {"log floored of 100", [](double x) { return LogFloored(x, false); }, 100, 2},
        {"1/0", SafeReciprocal, 0, 1e50},
        {"1/-1e-60", SafeReciprocal, -1e-60, -1e50},
        {"1/1e60", SafeReciprocal, 1e60, 1e-50},
        {"1/-4", SafeReciprocal, -4, -0.25},
        {"sign of 0", GetSign, 0, 1},
        {"sign of -3", GetSign, -3, -1},
        {"signum of 0", Signum, 0, 0},
        {"signum of -3", Signum, -3, -1},
        {"signum of 2", Signum, 2, 1},
        {"atan2 of (0, 0)", [](double) { return SafeAtan2(0, 0); }, 0, 0},
        {"atan2 of (1, -1)", [](double) { return SafeAtan2(1, -1); }, 0, 0.75 * cxt_Pi},
    };
    for (const CxtRealCase& c : cases) EXPECT_PRED2(cxt_Near2, c.fn(c.x), c.expected) << c.what;
}

TEST(ComplexGuards, RoundingAndIntegerConversions) {
    EXPECT_EQ(RoundToNearest(2.5), 3);
    EXPECT_EQ(RoundToNearest(-2.5), -3);
    EXPECT_EQ(RoundToNearest(2.4), 2);
    EXPECT_EQ(CeilToInteger(2.1), 3);
    EXPECT_EQ(CeilToInteger(-2.9), -2);
    // Out-of-range and NaN arguments saturate instead of converting undefined.
    EXPECT_EQ(RoundToNearest(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(CeilToInteger(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(RoundToNearest(std::nan("")), 0);
}

TEST(ComplexGuards, ArcCoshRaisesTheCallersArgument) {
    double x = 0.3;
    EXPECT_EQ(ArcCoshReal(x), 0.0);
    EXPECT_EQ(x, 1.0);
    double y = 2.0;
    EXPECT_PRED2(cxt_Near2, ArcCoshReal(y), 1.3169578969248166);
    EXPECT_EQ(y, 2.0);
}

struct CxtPairCase {
    const char* what;
    ComplexNumber a;
    ComplexNumber b;
    ComplexNumber expected;
};

TEST(ComplexArithmetic, GuardedDivision) {
    const CxtPairCase cases[] = {
        {"real by real zero keeps the sign", {5, 0}, {0, 0}, {5e50, 0}},
        {"negative real by zero", {-2, 0}, {0, 0}, {-2e50, 0}},
        {"zero by zero", {0, 0}, {0, 0}, {0, 0}},
        // A complex dividend over exact zero is large, like a real one, not 0.
        {"complex by zero", {1, 1}, {0, 0}, {1e50, 1e50}},
        {"ordinary quotient", {1, 2}, {3, 4}, {11.0 / 25, 2.0 / 25}},
        {"real by imaginary", {2, 0}, {0, 1}, {0, -2}},
        // The squared modulus of this divisor underflows; scaling keeps the quotient.
        {"tiny divisor", {1, 0}, {1e-200, 1e-200}, {5e199, -5e199}},
    };
    for (const CxtPairCase& c : cases) {
        ComplexNumber q = c.a;
        q.Divide(c.b);
        EXPECT_PRED2(cxt_Near2, q.re, c.expected.re) << c.what;
        EXPECT_PRED2(cxt_Near2, q.im, c.expected.im) << c.what;
        ComplexNumber r;
        DivideComplex(r, c.a, c.b);
        EXPECT_EQ(r.re, q.re) << c.what;
        EXPECT_EQ(r.im, q.im) << c.what;
    }
    // Real quotients stay exactly real.
    ComplexNumber third = {1, 0};
    third.Divide({3, 0});
    EXPECT_EQ(third.im, 0.0);
    EXPECT_EQ(third.re, 1.0 / 3.0);
}

TEST(ComplexArithmetic, RealByComplexAndPlainOperators) {
    ComplexNumber r;
    DivideRealByComplex(r, {0, 0}, 0);
    EXPECT_EQ(r.re, 1e50);
    EXPECT_EQ(r.im, 0.0);
    DivideRealByComplex(r, {4, 0}, 2);
    EXPECT_EQ(r.re, 0.5);
    DivideRealByComplex(r, {0, 1}, 2);
    EXPECT_PRED2(cxt_Near2, r.re, 0.0);
    EXPECT_PRED2(cxt_Near2, r.im, -2.0);

    const struct {
        char op;
        ComplexNumber expected;
    } ops[] = {{'+', {4, 6}}, {'-', {-2, -2}}, {'*', {-5, 10}}, {'/', {11.0 / 25, 2.0 / 25}}};
    for (const auto& c : ops) {
        ComplexNumber result = {0, 0};
        ASSERT_TRUE(ApplyComplexOperator({1, 2}, {3, 4}, result, c.op)) << c.op;
        EXPECT_PRED2(cxt_Near2, result.re, c.expected.re) << c.op;
        EXPECT_PRED2(cxt_Near2, result.im, c.expected.im) << c.op;
    }
    ComplexNumber untouched = {7, 7};
    EXPECT_FALSE(ApplyComplexOperator({1, 2}, {3, 4}, untouched, '%'));
    EXPECT_EQ(untouched.re, 7.0);

    ComplexNumber product = {2, 0};
    product.Multiply({3, 0});
    EXPECT_EQ(product.re, 6.0);
    EXPECT_EQ(product.im, 0.0);
    ComplexNumber halved = {3, 4};
    halved.DivideByReal(2);
    EXPECT_EQ(halved.re, 1.5);
    EXPECT_EQ(halved.im, 2.0);
}

TEST(ComplexArithmetic, Measures) {
    EXPECT_EQ(ComplexNumber({0, 0}).MagnitudeDb(), -1000.0);
    EXPECT_PRED2(cxt_Near2, ComplexNumber({3, 4}).MagnitudeDb(), 13.979400086720377);
    EXPECT_EQ(ComplexNumber({0, 0}).PhaseDegrees(), 0.0);
    EXPECT_PRED2(cxt_Near2, ComplexNumber({-1, 0}).PhaseDegrees(), 180.0);
    EXPECT_PRED2(cxt_Near2, ComplexNumber({0, -1}).PhaseDegrees(), -90.0);
    EXPECT_EQ(ComplexNumber({-3, 0}).Magnitude(), 3.0);
    EXPECT_EQ(ComplexNumber({-3, 0}).SignedMagnitude(), -3.0);
    EXPECT_EQ(ComplexNumber({-3, 4}).SignedMagnitude(), 5.0);
}

TEST(ComplexArithmetic, SmithChartMaps) {
    ComplexNumber z = ReflectionToImpedance({0, 0});
    EXPECT_EQ(z.re, 1.0);
    z = ImpedanceToReflection({1, 0});
    EXPECT_EQ(z.re, 0.0);
    EXPECT_EQ(z.im, 0.0);
    z = ImpedanceToReflection({0, 0});
    EXPECT_EQ(z.re, -1.0);
    z = ImpedanceToReflection({2, 1});  // (1 + i) / (3 + i) = (0.4, 0.2)
    EXPECT_PRED2(cxt_Near2, z.re, 0.4);
    EXPECT_PRED2(cxt_Near2, z.im, 0.2);
    // The poles map to a large impedance (an open circuit), not to a short.
    z = ReflectionToImpedance({1, 0});
    EXPECT_EQ(z.re, 1e50);
    z = ImpedanceToReflection({-1, 0});
    EXPECT_EQ(z.re, 1e50);
}

struct CxtFunctionCase {
    const char* what;
    void (*fn)(ComplexNumber&);
    ComplexNumber z;
    ComplexNumber expected;
    bool exactlyReal;  // the result's imaginary part must be exactly 0
    double tolerance;
};

void cxt_Exp(ComplexNumber& z) { ComplexExp(z, z); }
void cxt_Sqrt(ComplexNumber& z) { ComplexSqrt(z, z); }
void cxt_Pow25(ComplexNumber& z) { ComplexPowReal(z, z, 2.5); }

TEST(ComplexFunctions, AgainstHandValues) {
    const double huge = 1e50;
    const CxtFunctionCase cases[] = {
        {"ln 0", ComplexLog, {0, 0}, {-huge, 0}, true, 1e-12},
        {"ln -1", ComplexLog, {-1, 0}, {0, cxt_Pi}, false, 1e-12},
        {"ln e", ComplexLog, {2.718281828459045, 0}, {1, 0}, true, 1e-12},
        {"ln (2+3i)", ComplexLog, {2, 3}, {1.2824746787307684, 0.982793723247329}, false, 1e-12},
        {"exp (1+2i)", cxt_Exp, {1, 2}, {-1.1312043837568135, 2.4717266720048188}, false, 1e-12},
        {"exp 1000 clamps", cxt_Exp, {1000, 0}, {std::exp(350.0), 0}, true, 1e-12},
        {"sqrt 4", cxt_Sqrt, {4, 0}, {2, 0}, true, 0},
        {"sqrt (-4+0.001i)", cxt_Sqrt, {-4, 0.001}, {0.00024999999804687506, 2.0000000156249995}, false, 1e-9},
        {"(1+i)^2.5", cxt_Pow25, {1, 1}, {-0.9101797211244547, 2.19736822693562}, false, 1e-12},
        {"4^2.5", cxt_Pow25, {4, 0}, {32, 0}, true, 1e-12},
        {"sin 3e8 pins at 1e8", ComplexSin, {3e8, 0}, {std::sin(1e8), 0}, true, 0},
        {"sin -3e8 is not pinned", ComplexSin, {-3e8, 0}, {std::sin(-3e8), 0}, true, 0},
        {"sin z", ComplexSin, {0.3, 0.4}, {0.31947873074156474, 0.3924066848326388}, false, 1e-12},
        {"cos z", ComplexCos, {0.3, 0.4}, {1.0327878842028413, -0.12138561220787392}, false, 1e-12},
        {"tan z", ComplexTan, {0.3, 0.4}, {0.261073681841663, 0.41063347084255636}, false, 1e-12},
        {"cot (1+i)", ComplexCot, {1, 1}, {0.21762156185440273, -0.8680141428959249}, false, 1e-12},
        {"sec (1+i)", ComplexSec, {1, 1}, {0.49833703055518686, 0.5910838417210451}, false, 1e-12},
        {"csc (1+i)", ComplexCsc, {1, 1}, {0.6215180171704284, -0.30393100162842646}, false, 1e-12},
        {"csc 0", ComplexCsc, {0, 0}, {huge, 0}, true, 0},
        {"cot 0", ComplexCot, {0, 0}, {huge, 0}, true, 0},
        {"sec 0", ComplexSec, {0, 0}, {1, 0}, true, 0},
        {"sinh 1000 clamps at 500", ComplexSinh, {1000, 0}, {7.017961089264188e+216, 0}, true, 1e-12},
        {"cosh -1000 clamps at -500", ComplexCosh, {-1000, 0}, {7.017961089264188e+216, 0}, true, 1e-12},
        {"sinh z", ComplexSinh, {0.3, 0.4}, {0.2804817641764754, 0.4070739913234487}, false, 1e-12},
        {"cosh z", ComplexCosh, {0.3, 0.4}, {0.9628205308930272, 0.11858578787353008}, false, 1e-12},
        {"tanh z", ComplexTanh, {0.3, 0.4}, {0.3382547432654715, 0.38113207427244283}, false, 1e-12},
        {"coth 1", ComplexCoth, {1, 0}, {1 / 0.7615941559557649, 0}, true, 1e-12},
        // coth 0 is a quotient by zero: the large value, not 0.
        {"coth 0", ComplexCoth, {0, 0}, {huge, 0}, true, 0},
        {"sech 0", ComplexSech, {0, 0}, {1, 0}, true, 0},
        {"csch 0", ComplexCsch, {0, 0}, {huge, 0}, true, 0},
        {"asin 0.5", ComplexAsin, {0.5, 0}, {cxt_Pi / 6, 0}, true, 1e-12},
        {"asin 2 is complex", ComplexAsin, {2, 0}, {cxt_Pi / 2, -1.3169578969248166}, false, 1e-12},
        {"asin z", ComplexAsin, {0.3, 0.4}, {0.28062956229180586, 0.4051123371780309}, false, 1e-12},
        {"acos z", ComplexAcos, {0.3, 0.4}, {1.2901667645030908, -0.4051123371780309}, false, 1e-12},
        {"acos 1", ComplexAcos, {1, 0}, {0, 0}, true, 0},
        {"atan 1", ComplexAtan, {1, 0}, {cxt_Pi / 4, 0}, true, 1e-12},
        {"atan z", ComplexAtan, {0.3, 0.4}, {0.3373704711117763, 0.37908687234202215}, false, 1e-12},
        {"acot 0", ComplexAcot, {0, 0}, {cxt_Pi / 2, 0}, true, 1e-12},
        {"acot 1", ComplexAcot, {1, 0}, {cxt_Pi / 4, 0}, true, 1e-12},
        {"asec 2", ComplexAsec, {2, 0}, {cxt_Pi / 3, 0}, true, 1e-12},
        {"acsc 2", ComplexAcsc, {2, 0}, {cxt_Pi / 6, 0}, true, 1e-12},
        {"asinh z", ComplexAsinh, {0.3, 0.4}, {0.3189624333048183, 0.3903162045220237}, false, 1e-12},
        {"asinh -1", ComplexAsinh, {-1, 0}, {-0.881373587019543, 0}, true, 1e-12},
        // z + sqrt(z^2 + 1) cancels for large negative z.
        {"asinh -1e8", ComplexAsinh, {-1e8, 0}, {-19.11382792451231, 0}, true, 1e-12},
        {"acosh 1 is exactly 0", ComplexAcosh, {1, 0}, {0, 0}, true, 0},
        {"acosh 0.5 is complex", ComplexAcosh, {0.5, 0}, {0, 1.0471975511965979}, false, 1e-12},
        {"acosh (2+i)", ComplexAcosh, {2, 1}, {1.4693517443681852, 0.5073563032171445}, false, 1e-12},
        {"atanh 0.5", ComplexAtanh, {0.5, 0}, {0.5493061443340549, 0}, true, 1e-12},
        {"atanh z", ComplexAtanh, {0.3, 0.4}, {0.2614921387956719, 0.4088225229163512}, false, 1e-12},
        // A quotient by zero inside atanh 1 gives a large positive value.
        {"atanh 1", ComplexAtanh, {1, 0}, {0.5 * std::log(2e50), 0}, true, 1e-12},
        {"acoth 2", ComplexAcoth, {2, 0}, {0.5493061443340549, 0}, true, 1e-12},
        {"asech 0.5", ComplexAsech, {0.5, 0}, {1.3169578969248166, 0}, true, 1e-12},
        {"acsch 1", ComplexAcsch, {1, 0}, {0.881373587019543, 0}, true, 1e-12},
    };
    for (const CxtFunctionCase& c : cases) {
        ComplexNumber z = c.z;
        c.fn(z);
        EXPECT_PRED3(cxt_Near, z.re, c.expected.re, c.tolerance) << c.what;
        if (c.exactlyReal) {
            EXPECT_EQ(z.im, 0.0) << c.what;
        } else {
            EXPECT_PRED3(cxt_Near, z.im, c.expected.im, c.tolerance) << c.what;
        }
    }
}

TEST(ComplexFunctions, FlushedHelpersGiveExactRealResults) {
    ComplexNumber root = {4, 0};
    ComplexSqrtFlushed(root);
    EXPECT_PRED2(cxt_Near2, root.re, 2.0);
    EXPECT_EQ(root.im, 0.0);
    ComplexNumber nearOne = {1.0 + 1e-12, 0};
    ComplexLogFlushed(nearOne);
    EXPECT_EQ(nearOne.re, 0.0);
    ComplexNumber zero = {0, 0};
    ComplexLogFlushed(zero);
    EXPECT_PRED2(cxt_Near2, zero.re, std::log(1e-50));
    EXPECT_EQ(zero.im, 0.0);
}

}  // namespace
