// The operand samples of a plot curve whose Y expression applies a Fourier
// operator or a whole-curve normalisation, and the stage evaluation that
// resolves those operators after the run.
//
// During the run the evaluator's store mode saves, at every evaluated point,
// the value of each operand token of the expression as one sample (with the
// point's time or frequency). After the run the samples are resampled onto
// the FFT grid and the operators are applied innermost first: each stage
// evaluates the remaining token list sample by sample up to its first
// operator, applies that operator to the whole arrays and puts its result in
// place of the operator and its operands.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "expr/complex.h"
#include "expr/fft.h"

struct CompiledExpression;

constexpr int kFftChunkSamples = 64;

struct FFTOperandStore {
    int32_t stagePosition = 0;   // stack position of the last operand of the operator being resolved
    int32_t operatorCode = 0;    // FFTOperatorCode, 71..73, or 0 when none is left
    int32_t tokensConsumed = 0;  // tokens up to and including that operator
    int32_t storing = 0;         // 1 during a resolve pass after the run
    int32_t sampleIndex = 0;     // the sample a resolve pass works on
    // Per operand: its chunks of 64 samples, allocated zero-filled.
    std::vector<std::vector<std::unique_ptr<ComplexNumber[]>>> operands;
    int32_t lastSample = 0;  // samples stored by the run so far
    int32_t chunkCount = 0;  // chunks per operand
    // The analysis variable (time, or frequency in AC) of every run sample.
    std::vector<double> abscissas;

    // Makes room for sample `lastSample` in every operand: 0 or 15002.
    int Grow();
    // The cell of operand `operand` at `sample`, made when missing; null when
    // memory runs out or an index is negative.
    ComplexNumber* Cell(int operand, int sample);
    // Drops every sample (the operand count stays).
    void Reset();
};

// Installs the evaluator's store mode over FFTOperandStore records.
void InstallFFTOperandStores();

// Replaces every operand's samples by their linear interpolation at the
// abscissas of `grid` (the stored abscissas ascending); the store then holds
// grid.size() samples.
int ResampleOperands(FFTOperandStore& store, const std::vector<double>& grid);

// Resolves every operator of the expression over the first `n` samples of the
// store: the values of the whole expression land in (re, im), n each. `axis`
// holds the abscissa of each sample (for NORM). 0, or the code of a failed
// evaluation or operator.
int EvaluateFFTStages(const CompiledExpression& expression, FFTOperandStore& store, int n, const FFTSteps& steps,
                      const std::vector<double>& axis, std::vector<double>& re, std::vector<double>& im);
