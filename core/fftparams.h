// The FFT parameters of one analysis kind: the range and the number of points
// that the Fourier operators and the FFT windows resample a waveform onto.
//
// Each analysis document holds one per analysis kind; the preferences hold two
// default sets, one for analysis plots and one for FFT windows. The texts are
// expressions, evaluated when a run needs them; the numbers hold the last
// evaluation.
#pragma once

#include <cstdint>

class FFTParams {
public:
    FFTParams() = default;
    virtual ~FFTParams();
    // The texts are owned heap strings: copy with CopyFrom.
    FFTParams(const FFTParams&) = delete;
    FFTParams& operator=(const FFTParams&) = delete;

    // Limits empty, points "1024", harmonics "10", DC harmonic left out.
    void ResetDefaults();
    // The four texts and the include-DC flag.
    void CopyFrom(const FFTParams& other);
    // The point count within 8..262144 (not rounded to a power of two).
    void ClampPoints();
    // The grid steps of an analysis kind from the evaluated range and points:
    // transient (0): the sample step range/points and the frequency step
    // 1/range; AC (1): the two exchanged; distortion (3): the sample step and
    // the fundamental frequency. DC (2) leaves both as they are.
    void GetSteps(int analysisKind, double* first, double* second, double fundamental = 0.0) const;

    char* Upper = nullptr;      // upper end of the range ("TMAX", "FMAX" for AC)
    char* Lower = nullptr;      // lower end ("TMIN", "0" for AC)
    char* Points = nullptr;     // number of points N
    char* Harmonics = nullptr;  // harmonics used by automatic scaling
    int32_t harmonicCount = 0;  // evaluated Harmonics
    int32_t IncludeDC = 0;      // the DC harmonic takes part in automatic scaling
    double lowerValue = 0;
    double upperValue = 0;
    double rangeValue = 0;   // upper - lower
    int32_t pointCount = 0;  // evaluated Points
};
