#include "expr/fft.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/result.h"

namespace {

constexpr double kFtPi = 3.14159265358979323846;
constexpr double kFtDegrees = 57.29577951308232;

// Zero-filled work of n doubles, or an empty vector when memory is short.
std::vector<double> ft_Work(int n) {
    std::vector<double> v;
    try {
        v.assign(static_cast<size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        v.clear();
    }
    return v;
}

// The harmonic bound a sample of an operand gives: truncated, within 0..N/2.
int ft_Harmonic(double value, int n) {
    if (!(value > 0)) return 0;
    return static_cast<int>(std::min(std::trunc(value), static_cast<double>(n / 2)));
}

// Sum of harmonics h1..h2 of the scaled spectrum at every sample time.
void ft_Synthesise(int n, const FFTSteps& steps, const double* xRe, const double* xIm, const double* h1,
                   const double* h2, double* out) {
    const double w0 = 2 * kFtPi * steps.second;
    for (int i = 0; i < n; ++i) {
        const double t = i * steps.first;
        const int lo = ft_Harmonic(h1[i], n), hi = ft_Harmonic(h2[i], n);
        double sum = 0;
        for (int m = lo; m <= hi; ++m) sum += xRe[m] * std::cos(m * w0 * t) + xIm[m] * std::sin(m * w0 * t);
        out[i] = sum;
    }
}

// THD and IHD of the spectrum in (re, im); the reference frequency is the
// first operand's sample 1.
void ft_Distortion(int n, int code, const FFTSteps& steps, double* re, double* im, const double* fRe) {
    const double f = fRe[1];
    int fundamental = 1;
    if (f > 0 && steps.second > 0) {
        for (int k = 1; k <= n; ++k) {
            const double kdf = k * steps.second;
            if (std::fabs((f - kdf) / kdf) < 0.0001) {
                fundamental = k;
                break;
            }
        }
    }
    fundamental = std::min(fundamental, n - 1);
    double ref = 0.01 * std::hypot(re[fundamental], im[fundamental]);
    if (ref == 0) ref = 1;
    double running = 0;
    for (int i = 0; i < n; ++i) {
        double value = 0;
        if (i > fundamental && i <= n / 2) {
            const double m = re[i] * re[i] + im[i] * im[i];
            running += m;
            value = std::sqrt(code == kFftThd ? running : m) / ref;
        }
        re[i] = value;
    }
    std::fill(im, im + n, 0.0);
}

}  // namespace

bool IsFftPointCount(int64_t n) { return n >= kFftMinPoints && n <= kFftMaxPoints && (n & (n - 1)) == 0; }

int TransformFFT(int n, double* re, double* im, int code) {
    // The window limits N to 262144; the transform itself takes any power of two.
    if (n < 2 || (n & (n - 1)) != 0) return kMsgFftPointCount;
    std::vector<double> cosines = ft_Work(n + 1), sines = ft_Work(n + 1);
    if (cosines.empty() || sines.empty()) return kResultNoMemory;
    const bool inverse = code == kFftInverse || code == kFftInverseScaled;
    const double sign = inverse ? 1.0 : -1.0;
    if (inverse) ScaleArrays(n, re, im, 1.0 / n);
    for (int i = 0, j = 0; i < n - 1; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    for (int k = 0; k < n; ++k) {
        cosines[static_cast<size_t>(k)] = std::cos(2 * kFtPi * k / n);
        sines[static_cast<size_t>(k)] = sign * std::sin(2 * kFtPi * k / n);
    }
    for (int h = 1; h < n; h *= 2) {
        const int stride = n / (2 * h);
        for (int j = 0; j < h; ++j) {
            const double wr = cosines[static_cast<size_t>(j * stride)], wi = sines[static_cast<size_t>(j * stride)];
            for (int r = j; r < n; r += 2 * h) {
                double tr = re[r + h], ti = im[r + h];
                if (j != 0) {
                    const double a = tr;
                    tr = wr * a - wi * ti;
                    ti = wr * ti + wi * a;
                }
                re[r + h] = re[r] - tr;
                im[r + h] = im[r] - ti;
                re[r] += tr;
                im[r] += ti;
            }
        }
    }
    return 0;
}

void ScaleTransform(int n, double* re, double* im, int code) {
    if (n <= 0 || (code != kFftForward && code != kFftInverse)) return;
    const double half = static_cast<double>(n / 2);
    const double first = code == kFftForward ? 1.0 / n : n;
    const double rest = code == kFftForward ? 1.0 / half : half;
    for (int i = 0; i < n; ++i) {
        const double f = i == 0 ? first : rest;
        re[i] *= f;
        im[i] = -im[i] * f;
    }
}

int HarmonicMagnitudes(int n, double* re, double* im) {
    if (int rc = TransformFFT(n, re, im, kFftForward)) return rc;
    for (int i = 0; i < n; ++i) {
        re[i] = std::hypot(re[i], im[i]) * (i == 0 ? 1.0 : 2.0) / n;
        im[i] = 0;
    }
    return 0;
}

void MultiplyTransforms(int n, double* re, double* im, const double* aRe, const double* aIm, const double* bRe,
                        const double* bIm) {
    for (int i = 0; i < n; ++i) {
        const double r = aRe[i] * bRe[i] - aIm[i] * bIm[i];
        const double m = aRe[i] * bIm[i] + aIm[i] * bRe[i];
        re[i] = r;
        im[i] = m;
    }
}

void ScaleArrays(int n, double* re, double* im, double factor) {
    for (int i = 0; i < n; ++i) {
        re[i] *= factor;
        im[i] *= factor;
    }
}

void CopyArrays(int n, double* toRe, double* toIm, const double* fromRe, const double* fromIm) {
    std::copy(fromRe, fromRe + n, toRe);
    std::copy(fromIm, fromIm + n, toIm);
}

int CorrelationOperator(int n, int code, const FFTSteps& steps, double* uRe, double* uIm, double* vRe, double* vIm) {
    if (int rc = TransformFFT(n, uRe, uIm, kFftForward)) return rc;
    if (code == kFftAutoSpectrum || code == kFftAutoCorrelation) {
        CopyArrays(n, vRe, vIm, uRe, uIm);
    } else if (int rc = TransformFFT(n, vRe, vIm, kFftForward)) {
        return rc;
    }
    for (int i = 0; i < n; ++i) vIm[i] = -vIm[i];
    MultiplyTransforms(n, uRe, uIm, uRe, uIm, vRe, vIm);
    const double dt = steps.first;
    if (code == kFftCrossCorrelation || code == kFftAutoCorrelation) {
        if (int rc = TransformFFT(n, uRe, uIm, kFftInverse)) return rc;
        ScaleArrays(n, uRe, uIm, dt);
    } else {
        ScaleArrays(n, uRe, uIm, dt * dt);
    }
    return 0;
}

int FFTOperator(int n, int code, const FFTSteps& steps, double* re, double* im, double* re1, double* im1, double* re2,
                double* /*im2: the third operands are real harmonic bounds*/) {
    switch (code) {
    case kFftHarm: return HarmonicMagnitudes(n, re, im);
    case kFftForward:
    case kFftInverse: return TransformFFT(n, re, im, code);
    case kFftForwardScaled: {
        const int rc = TransformFFT(n, re, im, kFftForward);
        if (rc == 0) ScaleTransform(n, re, im, kFftForward);
        return rc;
    }
    case kFftInverseScaled: ScaleTransform(n, re, im, kFftInverse); return TransformFFT(n, re, im, kFftInverse);
    case kFftSeries:
    case kFftResidue: {
        std::vector<double> sum = ft_Work(n), original;
        if (sum.empty()) return kResultNoMemory;
        if (code == kFftResidue) {
            original.assign(re, re + n);
        }
        if (int rc = TransformFFT(n, re, im, kFftForward)) return rc;
        ScaleTransform(n, re, im, kFftForward);
        ft_Synthesise(n, steps, re, im, re1, re2, sum.data());
        for (int i = 0; i < n; ++i) {
            re[i] = code == kFftResidue ? original[static_cast<size_t>(i)] - sum[static_cast<size_t>(i)]
                                        : sum[static_cast<size_t>(i)];
            im[i] = 0;
        }
        return 0;
    }
    case kFftConj:
        for (int i = 0; i < n; ++i) im[i] = -im[i];
        return 0;
    case kFftComplexMultiply: MultiplyTransforms(n, re, im, re, im, re1, im1); return 0;
    case kFftCrossSpectrum:
    case kFftCrossCorrelation:
    case kFftAutoSpectrum:
    case kFftAutoCorrelation: return CorrelationOperator(n, code, steps, re, im, re1, im1);
    case kFftCoherence: {
        std::vector<double> aRe(re, re + n), aIm(im, im + n), bRe(re1, re1 + n), bIm(im1, im1 + n);
        std::vector<double> wRe = ft_Work(n), wIm = ft_Work(n);
        if (wRe.empty() || wIm.empty()) return kResultNoMemory;
        if (int rc = CorrelationOperator(n, kFftAutoCorrelation, steps, aRe.data(), aIm.data(), wRe.data(), wIm.data()))
            return rc;
        if (int rc = CorrelationOperator(n, kFftAutoCorrelation, steps, bRe.data(), bIm.data(), wRe.data(), wIm.data()))
            return rc;
        // The normaliser is the root of the summed squares of the two lag-0
        // values, which is what the stored coherence curves were made with.
        const double q = std::sqrt(aRe[0] * aRe[0] + bRe[0] * bRe[0]);
        if (int rc = CorrelationOperator(n, kFftCrossCorrelation, steps, re, im, re1, im1)) return rc;
        for (int i = 0; i < n; ++i) {
            if (q != 0) re[i] /= q;
            im[i] = 0;
        }
        return 0;
    }
    case kFftReal: std::fill(im, im + n, 0.0); return 0;
    case kFftImag:
        for (int i = 0; i < n; ++i) {
            re[i] = im[i];
            im[i] = 0;
        }
        return 0;
    case kFftMagnitude:
        for (int i = 0; i < n; ++i) {
            re[i] = std::hypot(re[i], im[i]);
            im[i] = 0;
        }
        return 0;
    case kFftPhase:
        for (int i = 0; i < n; ++i) {
            re[i] = std::atan2(im[i], re[i]) * kFtDegrees;
            im[i] = 0;
        }
        return 0;
    case kFftRms: {
        double s = 0;
        for (int i = 0; i < n / 2; ++i) {
            s += re[i] * re[i] + im[i] * im[i];
            re[i] = std::sqrt(s);
        }
        std::fill(im, im + n, 0.0);
        return 0;
    }
    case kFftThd:
    case kFftIhd: ft_Distortion(n, code, steps, re, im, re1); return 0;
    default: return kResultNoMemory;
    }
}
