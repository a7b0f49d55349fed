// Complex values and guarded maths.
//
// Every value the expression language computes is a ComplexNumber; a value whose
// imaginary part is exactly 0 counts as real, and every operation keeps real
// operands on a real path that leaves `im` exactly 0, so real formulas never
// pick up rounding residue. Nothing here reports an error: dangerous arguments
// and results are replaced by fixed bounds (1e50 for a zero divisor, 1e-50
// floors for moduli and logarithms, +-350 for exponentials), so that a formula
// evaluated at thousands of simulation points keeps running.
#pragma once

#include <cstdint>

struct ComplexNumber {
    double re;
    double im;

    bool IsReal() const { return im == 0.0; }

    // this += other, part by part.
    void Add(const ComplexNumber& other);
    // this -= other, part by part.
    void Subtract(const ComplexNumber& other);
    // this *= other; a real product when both are real.
    void Multiply(const ComplexNumber& other);
    // Both parts multiplied by x.
    void Scale(double x);
    // this /= x, unguarded (x = 0 is the caller's business).
    void DivideByReal(double x);
    // this /= divisor, guarded: an exactly zero divisor multiplies by 1e50.
    void Divide(const ComplexNumber& divisor);

    // |re| for a real value, else the modulus.
    double Magnitude() const;
    // re itself (sign kept) for a real value, else the modulus.
    double SignedMagnitude() const;
    // 20 log10 of the magnitude floored at 1e-50: never below -1000.
    double MagnitudeDb() const;
    // atan2(im, re) in degrees; 0 for (0, 0).
    double PhaseDegrees() const;
};

constexpr double kComplexHuge = 1e50;   // stands in for a quotient by zero
constexpr double kComplexTiny = 1e-50;  // floor of moduli and logarithm arguments

// result = z / x, unguarded.
void DivideComplexByReal(ComplexNumber& result, const ComplexNumber& z, double x);
// result = a / b with the guards of ComplexNumber::Divide; result may alias a or b.
void DivideComplex(ComplexNumber& result, const ComplexNumber& a, const ComplexNumber& b);
// result = x / z: a real zero z gives (1e50, 0) whatever x is.
void DivideRealByComplex(ComplexNumber& result, const ComplexNumber& z, double x);
// result = a op b for op '+', '-', '*', '/' (the quotient unguarded); false and
// result untouched for any other character.
bool ApplyComplexOperator(const ComplexNumber& a, const ComplexNumber& b, ComplexNumber& result, char op);

// ---- guarded real functions ----------------------------------------------------

// atan2(y, x) in radians; 0 when both are 0.
double SafeAtan2(double y, double x);
// e^x with x clamped to [-350, 350].
double ClampedExp(double x);
// 10^x computed as e^(x ln 10) with that exponent clamped to [-350, 350].
double ClampedPow10(double x);
// pow(base, exponent) with 0^0 = 1, 0^negative = 1e50 and, for exponents of 2
// and more, the base's magnitude clamped to [1e-100, 1e100].
double GuardedPow(double base, double exponent);
// The largest power of ten not above |x| (1e-50 for 0).
double DecadeFloor(double x);
// log10(max(x, 1e-50)).
double Log10Floored(double x);
// ln or log10 of max(x, 1e-50).
double LogFloored(double x, bool natural);
// 1/x with the result's magnitude kept within [1e-50, 1e50].
double SafeReciprocal(double x);
// Nearest integer, halves away from zero; saturates at the int64 range, NaN gives 0.
int64_t RoundToNearest(double x);
// Ceiling as an integer; saturates like RoundToNearest.
int64_t CeilToInteger(double x);
// -1 for x < 0, else +1.
double GetSign(double x);
// -1, 0 or +1 (the function SGN).
double Signum(double x);
// ln(x + sqrt(x^2 - 1)); an argument below 1 is first replaced by 1, in the
// caller's variable too.
double ArcCoshReal(double& x);
// Smith-chart maps between a reflection coefficient and a normalised impedance.
ComplexNumber ReflectionToImpedance(const ComplexNumber& gamma);
ComplexNumber ImpedanceToReflection(const ComplexNumber& z);

// ---- complex elementary functions ------------------------------------------------
// In place on the operand unless a result is named; a result may be the operand.

void ComplexExp(ComplexNumber& result, const ComplexNumber& z);
void ComplexLog(ComplexNumber& z);
void ComplexSqrt(ComplexNumber& result, const ComplexNumber& z);
void ComplexPowReal(ComplexNumber& result, const ComplexNumber& z, double x);
// ln with the modulus floored at 1e-50 and parts below 1e-10 flushed to 0.
void ComplexLogFlushed(ComplexNumber& z);
// sqrt through exp(ln/2), with the halved logarithm's tiny parts flushed to 0.
void ComplexSqrtFlushed(ComplexNumber& z);

void ComplexSin(ComplexNumber& z);
void ComplexCos(ComplexNumber& z);
void ComplexTan(ComplexNumber& z);
void ComplexCot(ComplexNumber& z);
void ComplexSec(ComplexNumber& z);
void ComplexCsc(ComplexNumber& z);
void ComplexAsin(ComplexNumber& z);
void ComplexAcos(ComplexNumber& z);
void ComplexAtan(ComplexNumber& z);
void ComplexAcot(ComplexNumber& z);
void ComplexAsec(ComplexNumber& z);
void ComplexAcsc(ComplexNumber& z);

enum class HyperbolicKind { Sinh, Cosh, Tanh, Coth };
// sinh, cosh, tanh or coth of z by exponentials (bounded through ComplexExp).
void ComplexHyperbolic(ComplexNumber& z, HyperbolicKind which);
void ComplexSinh(ComplexNumber& z);
void ComplexCosh(ComplexNumber& z);
void ComplexTanh(ComplexNumber& z);
void ComplexCoth(ComplexNumber& z);
void ComplexSech(ComplexNumber& z);
void ComplexCsch(ComplexNumber& z);

enum class ArcTangentKind { Atan, Atanh };
void ComplexArcTangent(ComplexNumber& z, ArcTangentKind which);
enum class AreaSineKind { Asinh, Acosh };
void ComplexAreaSine(ComplexNumber& z, AreaSineKind which);
void ComplexAsinh(ComplexNumber& z);
void ComplexAcosh(ComplexNumber& z);
void ComplexAtanh(ComplexNumber& z);
void ComplexAcoth(ComplexNumber& z);
void ComplexAsech(ComplexNumber& z);
void ComplexAcsch(ComplexNumber& z);
