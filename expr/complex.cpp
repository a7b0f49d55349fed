#include "expr/complex.h"

#include <cmath>
#include <limits>

namespace {

constexpr double cx_ExpLimit = 350.0;
constexpr double cx_Ln10 = 2.302585092994046;
constexpr double cx_DegreesPerRadian = 57.29577951308232;
constexpr double cx_FlushLimit = 1e-10;

double cx_Modulus(const ComplexNumber& z) {
    return z.im == 0.0 ? std::fabs(z.re) : std::sqrt(z.re * z.re + z.im * z.im);
}

// atan2 that gives 0 for (0, 0).
double cx_Argument(const ComplexNumber& z) { return (z.re == 0.0 && z.im == 0.0) ? 0.0 : std::atan2(z.im, z.re); }

double cx_Flush(double x) { return std::fabs(x) < cx_FlushLimit ? 0.0 : x; }

// i * z
ComplexNumber cx_TimesI(const ComplexNumber& z) { return {0.0 - z.im, z.re}; }
// -i * z
ComplexNumber cx_TimesMinusI(const ComplexNumber& z) { return {z.im, 0.0 - z.re}; }

// a / b for a divisor that is not exactly zero but whose squared modulus is not
// a normal number: scaling first keeps the quotient from collapsing to 0.
ComplexNumber cx_ScaledQuotient(const ComplexNumber& a, const ComplexNumber& b) {
    const double s = std::fmax(std::fabs(b.re), std::fabs(b.im));
    const ComplexNumber c = {b.re / s, b.im / s};
    const double d = c.re * c.re + c.im * c.im;
    return {(a.re * c.re + a.im * c.im) / d / s, (a.im * c.re - a.re * c.im) / d / s};
}

// A squared modulus of a nonzero divisor that underflowed (0 or subnormal).
bool cx_TooSmall(double d) { return d == 0.0 || std::fpclassify(d) == FP_SUBNORMAL; }

// 1 / z with the guards of ComplexNumber::Divide.
ComplexNumber cx_Reciprocal(const ComplexNumber& z) {
    ComplexNumber one = {1.0, 0.0};
    one.Divide(z);
    return one;
}

int64_t cx_SaturatedInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(x);
}

}  // namespace

// ---- arithmetic --------------------------------------------------------------------

void ComplexNumber::Add(const ComplexNumber& other) {
    re += other.re;
    im += other.im;
}

void ComplexNumber::Subtract(const ComplexNumber& other) {
    re -= other.re;
    im -= other.im;
}

void ComplexNumber::Multiply(const ComplexNumber& other) {
    if (im == 0.0 && other.im == 0.0) {
        re *= other.re;
        im = 0.0;
        return;
    }
    const double r = re * other.re - im * other.im;
    im = re * other.im + im * other.re;
    re = r;
}

void ComplexNumber::Scale(double x) {
    re *= x;
    im *= x;
}

void ComplexNumber::DivideByReal(double x) {
    if (im == 0.0) {
        re /= x;
        im = 0.0;
        return;
    }
    const double inverse = 1.0 / x;
    re *= inverse;
    im *= inverse;
}

void ComplexNumber::Divide(const ComplexNumber& divisor) {
    if (im == 0.0 && divisor.im == 0.0) {
        re = divisor.re == 0.0 ? re * kComplexHuge : re / divisor.re;
        im = 0.0;
        return;
    }
    if (divisor.re == 0.0 && divisor.im == 0.0) {
        // A quotient by exact zero is the dividend times 1e50, as for reals; a
        // floored modulus in the formula below would turn it into 0.
        re *= kComplexHuge;
        im *= kComplexHuge;
        return;
    }
    const double d = divisor.re * divisor.re + divisor.im * divisor.im;
    if (cx_TooSmall(d)) {
        *this = cx_ScaledQuotient(*this, divisor);
        return;
    }
    const double inverse = 1.0 / d;
    const double r = (re * divisor.re + im * divisor.im) * inverse;
    im = (im * divisor.re - re * divisor.im) * inverse;
    re = r;
}

double ComplexNumber::Magnitude() const { return cx_Modulus(*this); }

double ComplexNumber::SignedMagnitude() const { return im == 0.0 ? re : std::sqrt(re * re + im * im); }

double ComplexNumber::MagnitudeDb() const { return 20.0 * std::log10(std::fmax(Magnitude(), kComplexTiny)); }

double ComplexNumber::PhaseDegrees() const { return cx_Argument(*this) * cx_DegreesPerRadian; }

void DivideComplexByReal(ComplexNumber& result, const ComplexNumber& z, double x) {
    ComplexNumber q = z;
    q.DivideByReal(x);
    result = q;
}

void DivideComplex(ComplexNumber& result, const ComplexNumber& a, const ComplexNumber& b) {
    ComplexNumber q = a;
    q.Divide(b);
    result = q;
}

void DivideRealByComplex(ComplexNumber& result, const ComplexNumber& z, double x) {
    if (z.im == 0.0) {
        result = {z.re == 0.0 ? kComplexHuge : x / z.re, 0.0};
        return;
    }
    const double d = z.re * z.re + z.im * z.im;
    if (cx_TooSmall(d)) {
        result = cx_ScaledQuotient({x, 0.0}, z);
        return;
    }
    result = {x * z.re / d, -x * z.im / d};
}

bool ApplyComplexOperator(const ComplexNumber& a, const ComplexNumber& b, ComplexNumber& result, char op) {
    ComplexNumber r = a;
    switch (op) {
    case '+': r.Add(b); break;
    case '-': r.Subtract(b); break;
    case '*': r.Multiply(b); break;
    case '/':
        if (a.im == 0.0 && b.im == 0.0) {
            r = {a.re / b.re, 0.0};
        } else {
            const double d = b.re * b.re + b.im * b.im;
            r = {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
        }
        break;
    default: return false;
    }
    result = r;
    return true;
}

// ---- guarded real functions --------------------------------------------------------

double SafeAtan2(double y, double x) { return (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(y, x); }

double ClampedExp(double x) {
    if (x > cx_ExpLimit)
        x = cx_ExpLimit;
    else if (x < -cx_ExpLimit)
        x = -cx_ExpLimit;
    return std::exp(x);
}

double ClampedPow10(double x) { return ClampedExp(x * cx_Ln10); }

double GuardedPow(double base, double exponent) {
    if (base == 0.0) {
        if (exponent == 0.0) return 1.0;
        if (exponent < 0.0) return kComplexHuge;
    }
    if (exponent >= 2.0) {
        if (base > 1e100)
            base = 1e100;
        else if (base > 0.0 && base < 1e-100)
            base = 1e-100;
        else if (base < -1e100)
            base = -1e100;
        else if (base < 0.0 && base > -1e-100)
            base = -1e-100;
    }
    return std::pow(base, exponent);
}

double DecadeFloor(double x) {
    const double v = x * 1.000001;
    const double exponent = v == 0.0 ? -50.0 : std::log10(std::fabs(v));
    return GuardedPow(10.0, std::floor(exponent));
}

double Log10Floored(double x) { return std::log10(std::fmax(x, kComplexTiny)); }

double LogFloored(double x, bool natural) {
    const double v = std::fmax(x, kComplexTiny);
    return natural ? std::log(v) : std::log10(v);
}

double SafeReciprocal(double x) {
    const double s = x < 0.0 ? -1.0 : 1.0;
    if (x == 0.0) return kComplexHuge;
    const double m = std::fabs(x);
    if (m < kComplexTiny) return s * kComplexHuge;
    if (m > kComplexHuge) return s * kComplexTiny;
    return 1.0 / x;
}

int64_t RoundToNearest(double x) { return cx_SaturatedInt(x >= 0.0 ? x + 0.5 : x - 0.5); }

int64_t CeilToInteger(double x) { return cx_SaturatedInt(std::ceil(x)); }

double GetSign(double x) { return x < 0.0 ? -1.0 : 1.0; }

double Signum(double x) { return x < 0.0 ? -1.0 : (x > 0.0 ? 1.0 : 0.0); }

double ArcCoshReal(double& x) {
    if (x < 1.0) x = 1.0;
    return std::log(std::fmax(x + std::sqrt(x * x - 1.0), kComplexTiny));
}

// Both maps have a pole (reflection 1, impedance -1) where the denominator is
// exactly zero; the pole maps to the large value (1e50, 0) rather than to the
// opposite edge of the chart.
ComplexNumber ReflectionToImpedance(const ComplexNumber& gamma) {
    double d = (1.0 - gamma.re) * (1.0 - gamma.re) + gamma.im * gamma.im;
    if (d == 0.0) return {kComplexHuge, 0.0};
    return {(1.0 - gamma.re * gamma.re - gamma.im * gamma.im) / d, 2.0 * gamma.im / d};
}

ComplexNumber ImpedanceToReflection(const ComplexNumber& z) {
    double d = (z.re + 1.0) * (z.re + 1.0) + z.im * z.im;
    if (d == 0.0) return {kComplexHuge, 0.0};
    return {(z.re * z.re - 1.0 + z.im * z.im) / d, 2.0 * z.im / d};
}

// ---- complex elementary functions ----------------------------------------------------

void ComplexExp(ComplexNumber& result, const ComplexNumber& z) {
    const double m = ClampedExp(z.re);
    if (z.im == 0.0) {
        result = {m, 0.0};
        return;
    }
    const double angle = z.im;
    result = {m * std::cos(angle), m * std::sin(angle)};
}

void ComplexLog(ComplexNumber& z) {
    if (z.im == 0.0 && z.re > 0.0) {
        z.re = std::log(z.re);
        return;
    }
    const double m = cx_Modulus(z);
    if (m == 0.0) {
        z = {-kComplexHuge, 0.0};
        return;
    }
    z = {std::log(m), std::atan2(z.im, z.re)};
}

void ComplexSqrt(ComplexNumber& result, const ComplexNumber& z) {
    if (z.im == 0.0 && z.re >= 0.0) {
        result = {std::sqrt(z.re), 0.0};
        return;
    }
    const ComplexNumber half = {0.5 * std::log(std::fmax(cx_Modulus(z), kComplexTiny)), 0.5 * cx_Argument(z)};
    ComplexExp(result, half);
}

void ComplexPowReal(ComplexNumber& result, const ComplexNumber& z, double x) {
    if (z.im == 0.0) {
        result = {GuardedPow(z.re, x), 0.0};
        return;
    }
    const ComplexNumber scaled = {x * std::log(std::fmax(cx_Modulus(z), kComplexTiny)), x * cx_Argument(z)};
    ComplexExp(result, scaled);
}

void ComplexLogFlushed(ComplexNumber& z) {
    const double m = std::fmax(cx_Modulus(z), kComplexTiny);
    const double angle = cx_Argument(z);
    z = {cx_Flush(std::log(m)), cx_Flush(angle)};
}

void ComplexSqrtFlushed(ComplexNumber& z) {
    const ComplexNumber half = {cx_Flush(0.5 * std::log(std::fmax(cx_Modulus(z), kComplexTiny))),
                                cx_Flush(0.5 * cx_Argument(z))};
    ComplexExp(z, half);
}

void ComplexSin(ComplexNumber& z) {
    if (z.im == 0.0) {
        // Very large arguments are pinned so that the library's argument
        // reduction never has to work on them.
        z.re = std::sin(z.re > 1e8 ? 1e8 : z.re);
        return;
    }
    ComplexNumber w1, w2;
    ComplexExp(w1, cx_TimesI(z));
    ComplexExp(w2, cx_TimesMinusI(z));
    w1.Subtract(w2);
    z = {0.5 * w1.im, -0.5 * w1.re};  // (w1 - w2) * (0, -1/2)
}

void ComplexCos(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = std::cos(z.re);
        return;
    }
    ComplexNumber w1, w2;
    ComplexExp(w1, cx_TimesI(z));
    ComplexExp(w2, cx_TimesMinusI(z));
    w1.Add(w2);
    z = {0.5 * w1.re, 0.5 * w1.im};
}

void ComplexTan(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = std::tan(z.re);
        return;
    }
    ComplexNumber s = z, c = z;
    ComplexSin(s);
    ComplexCos(c);
    s.Divide(c);
    z = s;
}

void ComplexCot(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = SafeReciprocal(std::tan(z.re));
        return;
    }
    ComplexTan(z);
    DivideRealByComplex(z, z, 1.0);
}

void ComplexSec(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = SafeReciprocal(std::cos(z.re));
        return;
    }
    ComplexCos(z);
    DivideRealByComplex(z, z, 1.0);
}

void ComplexCsc(ComplexNumber& z) {
    if (z.im == 0.0) {
        ComplexSin(z);
        z.re = SafeReciprocal(z.re);
        return;
    }
    ComplexSin(z);
    DivideRealByComplex(z, z, 1.0);
}

void ComplexAsin(ComplexNumber& z) {
    ComplexNumber root = {1.0, 0.0};
    ComplexNumber square = z;
    square.Multiply(z);
    root.Subtract(square);
    ComplexSqrtFlushed(root);
    ComplexNumber sum = cx_TimesI(z);
    sum.Add(root);
    ComplexLogFlushed(sum);
    z = cx_TimesMinusI(sum);
}

void ComplexAcos(ComplexNumber& z) {
    ComplexNumber root = {1.0, 0.0};
    ComplexNumber square = z;
    square.Multiply(z);
    root.Subtract(square);
    ComplexSqrtFlushed(root);
    ComplexNumber sum = z;
    sum.Add(cx_TimesI(root));
    ComplexLogFlushed(sum);
    const ComplexNumber r = cx_TimesMinusI(sum);
    z = {cx_Flush(r.re), cx_Flush(r.im)};
}

void ComplexArcTangent(ComplexNumber& z, ArcTangentKind which) {
    ComplexNumber q;
    if (which == ArcTangentKind::Atanh) {
        // (1 + z) / (1 - z)
        q = {1.0 + z.re, z.im};
        q.Divide({1.0 - z.re, 0.0 - z.im});
    } else {
        // (z + i) / (i - z)
        q = {z.re, z.im + 1.0};
        q.Divide({0.0 - z.re, 1.0 - z.im});
    }
    ComplexLogFlushed(q);
    if (which == ArcTangentKind::Atanh)
        z = {0.5 * q.re, 0.5 * q.im};
    else
        z = {0.0 - 0.5 * q.im, 0.5 * q.re};
}

void ComplexAtan(ComplexNumber& z) { ComplexArcTangent(z, ArcTangentKind::Atan); }
void ComplexAtanh(ComplexNumber& z) { ComplexArcTangent(z, ArcTangentKind::Atanh); }

void ComplexAcot(ComplexNumber& z) {
    z = cx_Reciprocal(z);
    ComplexAtan(z);
}

void ComplexAsec(ComplexNumber& z) {
    z = cx_Reciprocal(z);
    ComplexAcos(z);
}

void ComplexAcsc(ComplexNumber& z) {
    z = cx_Reciprocal(z);
    ComplexAsin(z);
}

void ComplexHyperbolic(ComplexNumber& z, HyperbolicKind which) {
    ComplexNumber w1, w2;
    ComplexExp(w1, z);
    ComplexExp(w2, {0.0 - z.re, 0.0 - z.im});
    const ComplexNumber sinh = {(w1.re - w2.re) / 2.0, (w1.im - w2.im) / 2.0};
    const ComplexNumber cosh = {(w1.re + w2.re) / 2.0, (w1.im + w2.im) / 2.0};
    switch (which) {
    case HyperbolicKind::Sinh: z = sinh; break;
    case HyperbolicKind::Cosh: z = cosh; break;
    // The quotients use the guarded division, so coth 0 is the large value
    // 1e50 and not 0.
    case HyperbolicKind::Tanh: DivideComplex(z, sinh, cosh); break;
    case HyperbolicKind::Coth: DivideComplex(z, cosh, sinh); break;
    }
}

void ComplexSinh(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = std::sinh(std::fmax(-500.0, std::fmin(500.0, z.re)));
        return;
    }
    ComplexHyperbolic(z, HyperbolicKind::Sinh);
}

void ComplexCosh(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = std::cosh(std::fmax(-500.0, std::fmin(500.0, z.re)));
        return;
    }
    ComplexHyperbolic(z, HyperbolicKind::Cosh);
}

void ComplexTanh(ComplexNumber& z) {
    if (z.im == 0.0) {
        z.re = std::tanh(z.re);
        return;
    }
    ComplexHyperbolic(z, HyperbolicKind::Tanh);
}

void ComplexCoth(ComplexNumber& z) { ComplexHyperbolic(z, HyperbolicKind::Coth); }

void ComplexSech(ComplexNumber& z) {
    ComplexCosh(z);
    z = cx_Reciprocal(z);
}

void ComplexCsch(ComplexNumber& z) {
    ComplexSinh(z);
    z = cx_Reciprocal(z);
}

void ComplexAreaSine(ComplexNumber& z, AreaSineKind which) {
    const double one = which == AreaSineKind::Asinh ? 1.0 : -1.0;
    ComplexNumber root = z;
    root.Multiply(z);
    root.re += one;
    ComplexSqrtFlushed(root);
    ComplexNumber sum = z;
    if (z.re < 0.0) {
        // z + r cancels when z has a negative real part (asinh of -1e8 would
        // come out as the log floor); since (z + r)(z - r) = z^2 - r^2 = -one,
        // the same number is -one / (z - r), computed without cancellation.
        sum.Subtract(root);
        ComplexNumber numerator = {-one, 0.0};
        numerator.Divide(sum);
        sum = numerator;
    } else {
        sum.Add(root);
    }
    ComplexLogFlushed(sum);
    z = {cx_Flush(sum.re), cx_Flush(sum.im)};
}

void ComplexAsinh(ComplexNumber& z) { ComplexAreaSine(z, AreaSineKind::Asinh); }
void ComplexAcosh(ComplexNumber& z) { ComplexAreaSine(z, AreaSineKind::Acosh); }

void ComplexAcoth(ComplexNumber& z) {
    z = cx_Reciprocal(z);
    ComplexAtanh(z);
}

void ComplexAsech(ComplexNumber& z) {
    z = cx_Reciprocal(z);
    ComplexAcosh(z);
}

void ComplexAcsch(ComplexNumber& z) {
    z = cx_Reciprocal(z);
    ComplexAsinh(z);
}
