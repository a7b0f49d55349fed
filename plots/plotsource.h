// What a derived window (performance, FFT, 3D, Monte Carlo) takes from the
// runs of the analysis document: an expression, the variables laid along its
// axes and, for every other run variable, the case it shows or whether all
// cases are shown. The property pages of those windows edit this record.
#pragma once

#include <cstdint>
#include <string>

// Run variables are named by a variable code.
constexpr int32_t kVarNone = -1;
constexpr int32_t kVarTemperature = 1;  // the temperature of a temperature list
constexpr int32_t kVarSourceX = 2;      // the source curve's own X
constexpr int32_t kVarCase = 3;         // the Monte Carlo case number
constexpr int32_t kVarStepBase = 1000;  // 1000 + i: stepping panel i
// On the 3D pages the second choice code 4 asks for a variable along X.
constexpr int32_t kVarChoiceVariables = 4;
// Second-choice codes from 10 up name analysis curve code - 10.
constexpr int32_t kVarChoiceCurveBase = 10;

// Stepping panels a source can name: 0 to 19 for every kind, 20 (the input
// source amplitude) for the distortion analysis only.
constexpr int kSourcePanelCount = 21;

// A case index meaning all cases of its variable: the variable lies along X
// or forms the branches, one curve per case.
constexpr int32_t AllCases = -66;

// The FFT plot kinds are the command ids of the FFT page's radio buttons.
constexpr int32_t kFFTPlotMagnitude = 1656;

struct PlotSource {
    int32_t TemperatureCase = 0;
    int32_t MonteCarloCase = 0;
    int32_t StepCase[kSourcePanelCount] = {};
    // A performance-function text, or for an FFT source the Y expression of
    // the analysis curve to transform; empty for none.
    std::string Expression;
    int32_t XVariable = kVarNone;
    // Read only by the 3D window.
    int32_t ZVariable = kVarNone;
    int32_t FFTPlotKind = kFFTPlotMagnitude;
    // Document kind of the owning window (6, 7, 12 or 13).
    int32_t SourceKind = 0;
};
