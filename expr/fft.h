// The Fourier operators of plot expressions: the radix-2 transform, its
// scaling conventions, harmonic magnitudes, correlations and every operator a
// spectrum expression can apply to whole resampled waveforms.
//
// An array pair is N real parts and N imaginary parts, indexed by sample or
// by bin; N is a power of two from 8 to 262144. The operators work in place
// on plain double arrays and never throw: they return result codes.
#pragma once

#include <cstdint>

// The operator codes: token codes of the functions, and the codes the
// compiler gives RE, IM, MAG, PH and RMS applied to a spectrum.
enum FFTOperatorCode : int {
    kFftHarm = 47,
    kFftForward = 48,
    kFftForwardScaled = 49,
    kFftSeries = 50,
    kFftInverse = 51,
    kFftInverseScaled = 52,
    kFftConj = 53,
    kFftResidue = 54,
    kFftComplexMultiply = 55,
    kFftCrossSpectrum = 56,
    kFftCrossCorrelation = 57,
    kFftAutoSpectrum = 58,
    kFftAutoCorrelation = 59,
    kFftCoherence = 60,
    kFftReal = 61,
    kFftImag = 62,
    kFftMagnitude = 63,
    kFftPhase = 64,
    kFftRms = 67,
    kFftThd = 69,
    kFftIhd = 70,
    kFftNorm = 71,
    kFftNormMin = 72,
    kFftNormMax = 73,
};

constexpr int32_t kFftMinPoints = 8;
constexpr int32_t kFftMaxPoints = 262144;
// "%EThe number of data points must be a power of 2 ..."
constexpr int kMsgFftPointCount = 10155;
// "%EThe frequency range must not be zero."
constexpr int kMsgFftZeroRange = 10156;

// The two steps of the resampled grid (FFTParams::GetSteps): `first` is the
// sample step of the time grid, `second` the frequency step.
struct FFTSteps {
    double first = 0.0;
    double second = 0.0;
};

bool IsFftPointCount(int64_t n);

// In-place transform; codes 51 and 52 give the inverse (with 1/N), every
// other code the forward transform X[k] = sum x[n] e^(-2 pi i k n / N).
// 0; 15002 when its tables cannot be had (arrays unchanged); 10155 when N is
// not a power of two.
int TransformFFT(int n, double* re, double* im, int code);
// Code 48: bin 0 x 1/N, the other bins x 2/N, imaginary parts negated (the
// amplitudes of the cosine and sine terms); code 51 undoes it; others nothing.
void ScaleTransform(int n, double* re, double* im, int code);
// Forward transform, then |X0|/N and 2|Xk|/N into the real parts, imaginary
// parts 0.
int HarmonicMagnitudes(int n, double* re, double* im);
// (re, im) := (aRe, aIm) x (bRe, bIm) element by element; the result may be
// one of the inputs.
void MultiplyTransforms(int n, double* re, double* im, const double* aRe, const double* aIm, const double* bRe,
                        const double* bIm);
void ScaleArrays(int n, double* re, double* im, double factor);
void CopyArrays(int n, double* toRe, double* toIm, const double* fromRe, const double* fromIm);
// CS, CC, AS, AC of u (and v): the result replaces u; v is work space.
int CorrelationOperator(int n, int code, const FFTSteps& steps, double* uRe, double* uIm, double* vRe, double* vIm);

// Applies one operator: (re, im) holds the first operand on entry and the
// result on return; the two further pairs hold the second and third operands
// (harmonic bounds of FS and RES, the frequency of THD and IHD, the second
// waveform of CS, CC, COH and CMUL) and may be overwritten. 15002 for an
// unknown code or when memory runs out.
int FFTOperator(int n, int code, const FFTSteps& steps, double* re, double* im, double* re1, double* im1, double* re2,
                double* im2);
