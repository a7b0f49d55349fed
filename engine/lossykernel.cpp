// The lossy line's numerical kernel: the port histories are piecewise linear
// between accepted times and the responses are integrated twice in closed
// form (or as straight lines between their samples), so the convolution over
// each history interval reduces to one coefficient per interval and response.
#include <algorithm>
#include <cmath>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/lossyline.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGuard = 1e-12;

double lk_Exp(double a) { return std::exp(std::clamp(a, -350.0, 350.0)); }
double lk_Guard(double interval) { return interval == 0.0 ? kGuard : interval; }

// The polynomials of the modified Bessel functions, small (|x| < 3.75, in
// y = (x/3.75)^2) and large (in y = 3.75/|x|) argument.
double lk_I0Small(double y) {
    return 1.0 +
           y * (3.5156229 + y * (3.0899424 + y * (1.2067492 + y * (0.2659732 + y * (0.0360768 + y * 0.0045813)))));
}
double lk_I0Large(double y) {
    return 0.39894228 +
           y * (0.01328592 +
                y * (0.00225319 +
                     y * (-0.00157565 +
                          y * (0.00916281 +
                               y * (-0.02057706 + y * (0.02635537 + y * (-0.01647633 + y * 0.00392377)))))));
}
double lk_I1Small(double y) {
    return 0.5 + y * (0.87890594 +
                      y * (0.51498869 + y * (0.15084934 + y * (0.02658733 + y * (0.00301532 + y * 0.00032411)))));
}
double lk_I1Large(double y) {
    return 0.39894228 +
           y * (-0.03988024 +
                y * (-0.00362018 +
                     y * (0.00163801 +
                          y * (-0.01031555 +
                               y * (0.02282967 + y * (-0.02895312 + y * (0.01787654 - y * 0.00420059)))))));
}

// e^(-b) I0(x), e^(-b) I1(x)/x and e^(-b) I1(x) without forming e^|x| on its
// own: the responses multiply a growing Bessel function by a decaying
// exponential, and the two factors alone overflow long before their product.
double lk_ScaledI0(double x, double b) {
    const double ax = std::fabs(x);
    if (ax < 3.75) return lk_Exp(-b) * lk_I0Small((x / 3.75) * (x / 3.75));
    return lk_Exp(ax - b) / std::sqrt(ax) * lk_I0Large(3.75 / ax);
}
double lk_ScaledI1OverX(double x, double b) {
    const double ax = std::fabs(x);
    if (ax < 3.75) return lk_Exp(-b) * lk_I1Small((x / 3.75) * (x / 3.75));
    return lk_Exp(ax - b) / (ax * std::sqrt(ax)) * lk_I1Large(3.75 / ax);
}
double lk_ScaledI1(double x, double b) {
    const double ax = std::fabs(x);
    double value = 0.0;
    if (ax < 3.75) {
        value = lk_Exp(-b) * ax * lk_I1Small((x / 3.75) * (x / 3.75));
    } else {
        value = lk_Exp(ax - b) / std::sqrt(ax) * lk_I1Large(3.75 / ax);
    }
    return x < 0.0 ? -value : value;
}

// h2 at tau, with z = alpha sqrt(tau^2 - T^2).
double lk_Transfer(double tau, double T, double alpha, double beta) {
    if (alpha == 0.0 || tau < T) return 0.0;
    const double z = tau > T ? alpha * std::sqrt(tau * tau - T * T) : 0.0;
    return alpha * alpha * T * lk_ScaledI1OverX(z, beta * tau);
}
double lk_Cross(double tau, double T, double alpha, double beta) {
    if (tau <= T || beta == 0.0) return 0.0;
    const double z = alpha * std::sqrt(tau * tau - T * T);
    return lk_ScaledI0(z, beta * tau) - lk_Exp(-beta * T);
}
double lk_Self(double x, double beta) {
    if (beta == 0.0) return x;
    if (x == 0.0) return 0.0;
    return (lk_ScaledI1(beta * x, beta * x) + lk_ScaledI0(beta * x, beta * x)) * x - x;
}

// The twice-integrated RC responses.
struct lk_Rc {
    double c, k;
    double Self(double x) const { return std::sqrt(4.0 * c * x / kPi); }
    double E(double x) const {
        const double s = k / (4.0 * x);
        return s < 100.0 ? LossyErfc(std::sqrt(s)) : 0.0;
    }
    double X(double x) const { return lk_Exp(-k / (4.0 * x)); }
    double Transfer(double x) const { return (x + k / 2.0) * E(x) - X(x) * std::sqrt(x * k / kPi); }
    double Cross(double x) const { return std::sqrt(c) * (2.0 * X(x) * std::sqrt(x / kPi) - std::sqrt(k) * E(x)); }
    double Of(int j, double x) const { return j == 0 ? Self(x) : j == 1 ? Transfer(x) : Cross(x); }
};

bool lk_Room(const LossyLineRecord& line, int32_t n) {
    const size_t need = static_cast<size_t>(n) + 1;
    return n >= 0 && line.times.size() >= need && line.selfCoeffs.size() >= need &&
           line.transferCoeffs.size() >= need && line.crossCoeffs.size() >= need;
}

}  // namespace

double LossyErfc(double x) {
    const double t = 1.0 / (1.0 + 0.3275911 * x);
    const double poly =
        t * (0.254829592 + t * (-0.284496736 + t * (1.421413741 + t * (-1.453152027 + t * 1.061405429))));
    return poly * lk_Exp(-x * x);
}

double BesselI0(double x) { return lk_ScaledI0(x, 0.0); }
double BesselI1(double x) { return lk_ScaledI1(x, 0.0); }
double BesselI1OverX(double x) { return lk_ScaledI1OverX(x, 0.0); }

double RlcTransferResponse(double tau, double T, double alpha, double beta) { return lk_Transfer(tau, T, alpha, beta); }
double RlcCrossResponse(double tau, double T, double beta) {
    // The cross response's argument is beta sqrt(tau^2 - T^2) (alpha = beta).
    return lk_Cross(tau, T, beta, beta);
}
double RlcSelfTwiceIntegral(double tau, double beta) {
    if (beta == 0.0) return tau;
    if (beta * tau == 0.0) return 0.0;
    return lk_Self(tau, beta);
}
double RcTransferTwiceIntegral(double tau, double k) {
    if (tau == 0.0) return 0.0;
    const double s = k / (4.0 * tau);
    return LossyErfc(std::sqrt(s)) * (tau + k / 2.0) - lk_Exp(-s) * std::sqrt(tau * k / kPi);
}

double IntegrateLinear(double lo, double hi, double t1, double y1, double t2, double y2) {
    if (t2 == t1) return 0.0;
    const double m = (y2 - y1) / (t2 - t1);
    return y1 * (hi - lo) + m * ((hi - t1) * (hi - t1) - (lo - t1) * (lo - t1)) / 2.0;
}
double IntegrateLinearTwice(double lo, double hi, double t1, double y1, double t2, double y2) {
    if (t2 == t1) return 0.0;
    const double w = hi - lo;
    return w * w * (2.0 * y1 + y2) / 6.0;
}
double IntegrateLinearThrice(double lo, double hi, double t1, double y1, double t2, double y2) {
    if (t2 == t1) return 0.0;
    const double w = hi - lo;
    return w * w * w * (3.0 * y1 + y2) / 24.0;
}

int QuadraticWeights(double x, double t1, double t2, double t3, double weights[3]) {
    if (t1 == t2 || t2 == t3 || t1 == t3) return 1;
    if (x == t1) {
        weights[0] = 1.0, weights[1] = 0.0, weights[2] = 0.0;
    } else if (x == t2) {
        weights[0] = 0.0, weights[1] = 1.0, weights[2] = 0.0;
    } else if (x == t3) {
        weights[0] = 0.0, weights[1] = 0.0, weights[2] = 1.0;
    } else {
        weights[0] = (x - t2) * (x - t3) / ((t1 - t2) * (t1 - t3));
        weights[1] = (x - t1) * (x - t3) / ((t2 - t1) * (t2 - t3));
        weights[2] = (x - t1) * (x - t2) / ((t3 - t1) * (t3 - t2));
    }
    return 0;
}

int LinearWeights(double x, double t1, double t2, double weights[2]) {
    if (t1 == t2) return 1;
    if (x == t1) {
        weights[0] = 1.0, weights[1] = 0.0;
    } else if (x == t2) {
        weights[0] = 0.0, weights[1] = 1.0;
    } else {
        weights[1] = (x - t1) / (t2 - t1);
        weights[0] = 1.0 - weights[1];
    }
    return 0;
}

int IsStraightLine(double x1, double y1, double x2, double y2, double x3, double y3, double relTol, double absTol) {
    const double a1 = std::fabs(x2 - x1) * (std::fabs(y1) + std::fabs(y2)) / 2.0;
    const double a2 = std::fabs(x3 - x2) * (std::fabs(y2) + std::fabs(y3)) / 2.0;
    const double a = std::fabs(x3 - x1) * (std::fabs(y1) + std::fabs(y3)) / 2.0;
    return std::fabs(a - a1 - a2) < (a1 + a2) * relTol + absTol ? 1 : 0;
}

int ComputeRcCoefficients(LossyLineRecord& line, double t) {
    LossyLineValues& v = line.values;
    const int32_t n = static_cast<int32_t>(line.times.size()) - 1;
    if (!lk_Room(line, n)) return kResultNoMemory;
    const std::vector<double>& times = line.times;
    const lk_Rc rc{v.cOverR, v.rcLenSquared};
    std::vector<double>* sequences[3] = {&line.selfCoeffs, &line.transferCoeffs, &line.crossCoeffs};
    const double delta = lk_Guard(t - times[static_cast<size_t>(n)]);
    double first[3];
    for (int j = 0; j < 3; ++j) first[j] = rc.Of(j, delta) / delta;
    v.selfFirstCoeff = first[0];
    v.transferFirstCoeff = first[1];
    v.crossFirstCoeff = first[2];
    for (int j = 0; j < 3; ++j) {
        const double cut = std::fabs(first[j] * v.chopRelTol);
        bool running = true;
        double xPrev = delta, qPrev = first[j], gPrev = rc.Of(j, delta);
        for (int32_t i = n; i >= 1; --i) {
            double& coefficient = (*sequences[j])[static_cast<size_t>(i)];
            if (!running) {
                coefficient = 0.0;
                continue;
            }
            const double interval = lk_Guard(times[static_cast<size_t>(i)] - times[static_cast<size_t>(i - 1)]);
            const double x = t - times[static_cast<size_t>(i - 1)];
            const double g = rc.Of(j, x);
            const double q = (g - gPrev) / interval;
            coefficient = q - qPrev;
            xPrev = x;
            gPrev = g;
            qPrev = q;
            if (std::fabs(coefficient) < cut) running = false;
        }
        (void)xPrev;
    }
    return kOk;
}

int ComputeRlcCoefficients(LossyLineRecord& line, double t) {
    LossyLineValues& v = line.values;
    const int32_t n = static_cast<int32_t>(line.times.size()) - 1;
    if (!lk_Room(line, n)) return kResultNoMemory;
    const std::vector<double>& times = line.times;
    auto at = [&](int32_t i) { return times[static_cast<size_t>(i)]; };
    const double T = v.td, alpha = v.alpha, beta = v.beta;

    // The delay index: the newest history entry at least T before t.
    int32_t a = 0;
    if (T == 0.0) {
        a = n;
    } else if (t - T > 0.0) {
        a = -1;
        for (int32_t i = n; i >= 0; --i) {
            if (t - at(i) == T) {
                a = i - 1;
                break;
            }
            if (t - at(i) > T) {
                a = i;
                break;
            }
        }
        a = std::max(a, 0);
    }

    // The delayed first coefficients: the interval that straddles the delay.
    double yLo = 0.0, yHi = 0.0, zLo = 0.0, zHi = 0.0;
    v.transferFirstCoeff = v.crossFirstCoeff = 0.0;
    if (a > 0) {
        const double H = t - at(a);
        const double interval = lk_Guard(H - T);
        yLo = lk_Transfer(T, T, alpha, beta);
        yHi = lk_Transfer(H, T, alpha, beta);
        v.transferFirstCoeff = IntegrateLinearTwice(T, H, T, yLo, H, yHi) / interval;
        zHi = lk_Cross(H, T, alpha, beta);
        v.crossFirstCoeff = IntegrateLinear(T, H, T, zLo, H, zHi) / interval;
    }
    const double cut2 = std::fabs(v.transferFirstCoeff * v.chopRelTol);
    const double cut3 = std::fabs(v.crossFirstCoeff * v.chopRelTol);

    const double hn = t - at(n);
    v.selfFirstCoeff = lk_Self(hn, beta) / lk_Guard(hn);
    const double cut1 = std::fabs(v.selfFirstCoeff * v.chopRelTol);

    bool selfRunning = true, transferRunning = true, crossRunning = true;
    double qSelf = v.selfFirstCoeff, qTransfer = v.transferFirstCoeff, qCross = v.crossFirstCoeff;
    double lo = 0.0, hi = hn;
    double fPrev = lk_Self(hi, beta);
    for (int32_t i = n; i >= 1; --i) {
        const size_t k = static_cast<size_t>(i);
        if (!selfRunning && !transferRunning && !crossRunning) {
            line.selfCoeffs[k] = 0.0;
            if (i <= a) line.transferCoeffs[k] = line.crossCoeffs[k] = 0.0;
            continue;
        }
        const double loPrev = lo, hiPrev = hi;
        lo = hiPrev;
        hi = t - at(i - 1);
        const double interval = lk_Guard(at(i) - at(i - 1));
        if (selfRunning) {
            const double f = lk_Self(hi, beta);
            const double q = (f - fPrev) / interval;
            fPrev = f;
            line.selfCoeffs[k] = q - qSelf;
            qSelf = q;
            if (std::fabs(line.selfCoeffs[k]) <= cut1) selfRunning = false;
        } else {
            line.selfCoeffs[k] = 0.0;
        }
        if (i > a) continue;
        if (transferRunning) {
            const double y = lk_Transfer(hi, T, alpha, beta);
            const double q = IntegrateLinearTwice(lo, hi, lo, yHi, hi, y) / interval;
            line.transferCoeffs[k] = q - qTransfer + IntegrateLinear(loPrev, hiPrev, loPrev, yLo, hiPrev, yHi);
            yLo = yHi;
            yHi = y;
            qTransfer = q;
            if (std::fabs(line.transferCoeffs[k]) <= cut2) transferRunning = false;
        } else {
            line.transferCoeffs[k] = 0.0;
        }
        if (crossRunning) {
            const double z = lk_Cross(hi, T, alpha, beta);
            const double q = IntegrateLinear(lo, hi, lo, zHi, hi, z) / interval;
            line.crossCoeffs[k] = q - qCross;
            zLo = zHi;
            zHi = z;
            qCross = q;
            if (std::fabs(line.crossCoeffs[k]) <= cut3) crossRunning = false;
        } else {
            line.crossCoeffs[k] = 0.0;
        }
    }
    (void)zLo;
    v.delayIndex = a;
    return kOk;
}

double LossyLineLte(const LossyLineRecord& line, double t) {
    const LossyLineValues& v = line.values;
    switch (v.lossyCase) {
    case kLossyRg:
    case kLossyLc:
    case kLossyRc: return 0.0;
    case kLossyRlc: break;
    default: return 1.0;
    }
    const double T = v.td;
    if (t <= T) return 0.0;
    const int32_t n = static_cast<int32_t>(line.times.size()) - 1;
    int32_t b = -1;
    for (int32_t i = n; i >= 0; --i) {
        const double age = t - line.times[static_cast<size_t>(i)];
        if (age == T) {
            b = i - 1;
            break;
        }
        if (age > T) {
            b = i;
            break;
        }
    }
    // Without two stored points older than the delay there is nothing to
    // estimate from, and no shorter step would make any: no limit (a fixed
    // large estimate would halve every step of a compacted run to nothing).
    if (b < 1) return 0.0;
    const auto& times = line.times;
    const double tb = times[static_cast<size_t>(b)];
    const double lo = std::max(T, times[static_cast<size_t>(n)] - tb);
    const double hi = t - tb;
    const double u = t - T - tb;
    const double h2lo = lk_Transfer(lo, T, v.alpha, v.beta), h2hi = lk_Transfer(hi, T, v.alpha, v.beta);
    const double r2 =
        0.5 * IntegrateLinearTwice(lo, hi, lo, h2lo, hi, h2hi) * u - IntegrateLinearThrice(lo, hi, lo, h2lo, hi, h2hi);
    const double h3lo = lk_Cross(lo, T, v.alpha, v.beta), h3hi = lk_Cross(hi, T, v.alpha, v.beta);
    const double r3 =
        0.5 * IntegrateLinear(lo, hi, lo, h3lo, hi, h3hi) * u - IntegrateLinearTwice(lo, hi, lo, h3lo, hi, h3hi);
    // The second divided difference at b; at the newest entry the present
    // port value is not stored yet, and the newest stored one stands in.
    auto divided = [&](const std::vector<double>& x) {
        if (x.size() <= static_cast<size_t>(n)) return 0.0;
        const size_t k = static_cast<size_t>(b);
        const double tNext = b == n ? t : times[k + 1];
        const double xNext = b == n ? x[k] : x[k + 1];
        const double d1 = (xNext - x[k]) / lk_Guard(tNext - times[k]);
        const double d0 = (x[k] - x[k - 1]) / lk_Guard(times[k] - times[k - 1]);
        return (d1 - d0) / lk_Guard(tNext - times[k - 1]);
    };
    return v.admittance * std::fabs(r3) *
               (std::fabs(divided(line.voltage1History)) + std::fabs(divided(line.voltage2History))) +
           std::fabs(r2) * (std::fabs(divided(line.current1History)) + std::fabs(divided(line.current2History)));
}
