// The Fourier curves of the 2D analysis document: after each transient, AC or
// distortion run, the curves whose Y expression applies a Fourier operator or
// a whole-curve normalisation get their points from the operand samples the
// run stored (expr/fftstore.h), over the FFT window of the running kind.
#pragma once

#include "core/fftparams.h"

class CG2DDoc;
struct FFTSettings;

// The FFT window of a kind as parameters: its texts (empty ones take the
// kind's defaults, TMIN..TMAX or 0..FMAX) evaluated. 0; 10156 for a zero
// range; an evaluation error; with `report` the error is shown titled "FFT
// Parameter" and 15055 returned.
int EvaluateFFTLimits(FFTParams& params, const FFTSettings& window, int analysisKind, bool report);

// Whether the points text of the window is a power of two from 8 to 262144:
// 0, or 15055 after showing 10155 (or the evaluation error).
int CheckFFTPointCount(const FFTSettings& window);

// Computes the Fourier curves of the run that just ended: 1 when there was
// Fourier work, else 0. A failure is shown titled "FFT Parameter" and stops
// the run (the document's stop flag).
int ComputeFFTCurves(CG2DDoc& document);

// The curves that need an operand store get an empty one; with Fourier
// curves the FFT point count of the running kind is checked: 0, or 15055
// after showing its message (the run stops).
int PrepareFFTOperandStores(CG2DDoc& document);

// The messages of the FFT parameters.
void RegisterFFTCurveMessages();
