// The end-of-run curve tables of the numeric output: which curves are FFT
// curves, the X range the ordinary curves are sampled over, and the entry the
// analysis drivers call when a run has ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/numout.h"

class CCTDoc;
class OpenAnalysis;

// The sampled X range of a kind: transient and distortion the Time Range (low,
// high); AC the Frequency Range, or the lowest and highest listed frequency
// with the List method; DC Variable 1's range. 0 or the evaluator's code.
struct AnalysisXRange {
    double start = 0, end = 0;
};
int GetAnalysisXRange(CCTDoc* document, int kind, AnalysisXRange* out);

// A curve listed at its stored points: its Y expression calls a function of
// the FFT family and its X is the single variable F (transient) or T (AC).
bool IsFftCurve(const std::string& xExpression, const std::string& yExpression, int kind);

// The unit names of plot scales: 20 rows, each a pair of masks (the
// expression's unit flags and its extra flags) and a name. FindUnitIndex gives
// the row whose pair equals the arguments, or -1; UnitName the row's name
// ("" outside the table).
constexpr int kUnitNameCount = 20;
int FindUnitIndex(uint32_t unitMask, uint32_t extraMask);
const char* UnitName(int index);
// The unit row of an expression from the unit bits of its outermost level
// that names a unit (CompiledExpression::outerUnits): only the B and H field
// bits of the second word take part. -1 when the unit is unknown or mixed.
int AxisUnitIndex(uint32_t unitFlags, uint32_t extraFlags);

// At the end of a run: the tables of the marked curves, `points` rows each
// (the kind's Number of Points), into the analysis's numeric output. Nothing
// in place (Dynamic modes), while the optimizer drives the runs, when the
// kind's numeric or waveform switch is off, the file is closed or the curve
// output was given up. 0 or the X range's result code.
int WriteCurveNumericOutput(OpenAnalysis& analysis, CurvePointSource& source, std::vector<NumericCurve>& curves,
                            int points, bool optimizerRunning = false);
