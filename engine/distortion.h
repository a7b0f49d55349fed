// The distortion analysis: a transient run a whole number of periods of a
// fundamental frequency long, driven by one sine source forced to that
// frequency, whose output's last period is transformed into harmonic
// amplitudes, individual and cumulative harmonic distortion.
//
// The set-up works on the distortion kind's settings of the circuit (its
// limit texts, curve rows and FFT window) and on the compiled circuit's input
// source; the plot side draws the four curves and places the captions this
// module words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/transient.h"

struct AnalysisKindSettings;
struct CompiledCircuit;

// The analysis kind of the distortion analysis, and its limit fields in
// dialog order.
constexpr int kDistortionKind = 3;
enum DistortionField : int {
    kDistFundamental = 0,  // Fundamental Frequency
    kDistInputSource = 1,  // Input Source Name
    kDistAmplitude = 2,    // Input Source Amplitude, "High[,Low][,Step]" or a list
    kDistOutput = 3,       // Output Expression
    kDistTemperature = 4,  // Temperature
    kDistCycles = 5,       // Simulation Cycles
    kDistMaxStep = 6,      // Maximum Time Step
    kDistFieldCount = 7,
};

// The amplitude stepping method of the settings (ampMethod).
enum DistortionAmplitudeMethod : int32_t {
    kDistAmplitudeLinear = 0,
    kDistAmplitudeList = 1,
    kDistAmplitudeLog = 2,
};

constexpr int kMsgDistortionIllegalStep = 13281;  // "%EIllegal Step value."
constexpr int32_t kDistortionFftPoints = 1024;

// What the set-up hands the transient run and the FFT of the last period.
struct DistortionRunPlan {
    double fundamental = 0.0;  // Hz
    int32_t cycles = 0;
    double tmax = 0.0;    // cycles / fundamental
    double fftLow = 0.0;  // (cycles - 1) / fundamental: the last period
    double maxTimeStep = 0.0;
    bool fieldsChanged = false;  // a field was replaced by its default: an open limits dialog refreshes
};

// Sets the distortion kind up: exactly four curve rows (harmonic amplitudes,
// individual and cumulative distortion against F, the sampled waveform
// against T; the cumulative one is computed but not drawn), a fundamental
// frequency and a cycle count (a missing or bad one becomes "10Khz" or "5"
// in its field), TMAX and the FFT window over the last period. With
// `keepRanges` the X ranges are written only where empty. 0, 15002, or the
// error of an FFT window text.
int SetUpDistortionRun(AnalysisKindSettings& settings, bool keepRanges, DistortionRunPlan& plan);

// The limits of the transient run a plan makes: TMIN 0, TMAX, 1024 points
// and the Maximum Time Step.
TransientLimits DistortionTransientLimits(const DistortionRunPlan& plan);

// The stepping record the input set-up fills: the input source's amplitude
// parameter over the values of the amplitude field.
struct DistortionAmplitudeStep {
    bool enabled = false;
    std::string part;       // the input source's part name
    std::string parameter;  // "sin.va", "sin.ia" or "A"
    int32_t method = kDistAmplitudeList;
    std::string list;             // method 1: the amplitude text itself
    std::string high, low, step;  // methods 0 and 2, "%g" texts
};

// Whether the record of a part is a distortion input: a SPICE voltage or
// current source of the sine form, or a sine source part.
bool IsDistortionInputSource(const CompiledCircuit& circuit, const std::string& partName);
bool CircuitHasDistortionInputSource(const CompiledCircuit& circuit);

// Finds the input source named by the settings; when it is a distortion
// input, fills `step` from the amplitude field and forces the source to the
// fundamental (offset, phase and damping 0, frequency F; a sine source part
// keeps its amplitude and series resistance, which the stepping and the
// circuit rely on). A name that is no distortion input changes nothing (0).
// A bad amplitude text gives its error id in `messageId` and 15055; the
// caller reports it against the amplitude field.
int SetUpDistortionInput(AnalysisKindSettings& settings, CompiledCircuit& circuit, DistortionAmplitudeStep& step,
                         int& messageId);

// The caption of curve row `row` (0-3): "<text> <output> vs <axis>".
std::string DistortionCaption(const AnalysisKindSettings& settings, int row);

// The figures of one period of a waveform sampled at ascending `times`:
// resampled linearly to 1024 points over [windowLow, windowHigh) and
// transformed. Index n is harmonic n (0: the mean); `individual` is
// 100 A(n) / A(1) and `cumulative` 100 sqrt(A(2)^2 + ... + A(n)^2) / A(1).
struct HarmonicFigures {
    std::vector<double> amplitude;
    std::vector<double> individual;
    std::vector<double> cumulative;
};
HarmonicFigures ComputeHarmonicFigures(const std::vector<double>& times, const std::vector<double>& values,
                                       double windowLow, double windowHigh, int harmonics);
