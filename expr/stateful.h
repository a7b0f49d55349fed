// Stateful expression functions: run phases, running extremes, random values and
// the breakpoints of STP, IMPULSE and RNDI.
//
// The analysis drivers tell every stateful expression about the phases of a run:
// phase 1 (breakpoint set-up, start of a transient run), 2 (reset, start of every
// run), 3 (accept, after every accepted point) and 4 (initial, transient solver).
// Evaluations between accepted points compute from the committed state only, so a
// rejected time step leaves no trace.
#pragma once

#include <cstdint>

struct ComplexNumber;
struct CompiledExpression;

enum RunPhase : int {
    kPhaseRunStart = 1,
    kPhaseReset = 2,
    kPhaseAccept = 3,
    kPhaseInitial = 4,
};

// The expressions of an analysis document that the run phases reach: the X and
// Y expressions of every plot curve (either may be null). Filled by the plot
// document (plots/, not built yet).
struct CurveExpressions {
    CompiledExpression* x;
    CompiledExpression* y;
};
struct AnalysisExpressions {
    CurveExpressions* curves = nullptr;
    int32_t curveCount = 0;
};

// The run phases reach device expressions through DeviceRecords() (expr/services.h);
// until the owner of the device-record layouts installs it, the plot curves only.

// ---- run phases ------------------------------------------------------------------

// Evaluates the expression in the phase when it has functions that care:
// 0 or the evaluation's result code.
int NotifyExpressionOfRunPhase(CompiledExpression* expr, int phase);
// The same for every plot-curve and device expression; the first non-zero code.
int UpdateStatefulExpressions(AnalysisExpressions* document, int phase);
// Commits the running extremes of MINR and MAXR after an accepted point.
void UpdateAllRunningExtremes(AnalysisExpressions* document);

// ---- run variables ---------------------------------------------------------------

// RunStart, RunEnd and RunX of the current analysis kind (TMIN, TMAX, T for
// transient and distortion; FMIN, FMAX, F for AC; DCMIN, DCMAX, DCINPUT1 for DC).
extern double RunStart;
extern double RunEnd;
extern double RunX;
void SelectRunVariable();
// The address of the current kind's start variable (TMIN, FMIN or DCMIN), null
// when no analysis kind is current.
double* RunStartVariable();

// ---- random values ---------------------------------------------------------------

// The generator's seed, 1 at program start.
extern uint32_t RandomSeed;
// seed := seed * 214013 + 2531011; the result lies in [0, 1].
double NextRandom();
// Sets the seed; a seed of 0 or below is replaced by one from the clock.
// Returns the previous seed.
uint32_t SeedRandom(int32_t seed);
// Draws new values for the tokens of `code` (89 RND, 169 RNDR, 170 RNDC) of
// every expression that carries random values of that kind.
void RedrawRandomValues(AnalysisExpressions* document, int code);
// Marks the device lists that hold random expressions and redraws RNDR, RNDC
// and RND; before every run.
void ScanRandomFlags(AnalysisExpressions* document);
// Collects the RNDI tokens of the run (and their transient breakpoints): 0 or 15002.
int PrepareIntervalRandoms(AnalysisExpressions* document);
// Before each device load: new values for RNDI tokens whose interval is due.
void RefreshIntervalRandomValues();
// When the analysis ends.
void FreeIntervalRandomList();

// ---- breakpoints -----------------------------------------------------------------

// The transient breakpoints of STP and IMPULSE calls with constant arguments:
// 0 or 15002 when a breakpoint cannot be added.
int AddImpulseBreakpoints(CompiledExpression* expr);
int SetupExpressionBreakpoints(AnalysisExpressions* document);

// ---- digital differences (DIFA, DIFD) ----------------------------------------------

// The stored points of one run of a digital-difference curve that follow its
// last kept point, lent by the plot document (which owns the point store and
// the walk over its curves, plots/, not built yet).
struct DifferencePoints {
    double* x;
    double* y;
    int32_t count;
    bool hasLastKept;  // whether a point of the run was kept before these
    double lastKeptX;
    double lastKeptY;
    double resolution;  // the curve's X resolution
};
// Thins the points in place: a point stays when its digital level differs from
// the last kept one, when it lies at least the resolution after the last kept
// point, or when it is the run's first point. Returns the number kept (moved to
// the front); *thinned is set when a point was dropped.
int ThinDifferencePoints(DifferencePoints* points, bool* thinned);
// For every point whose value means a difference (level '1' of a DIFD state,
// the value 1 of DIFA) writes "%s At %s = %g, %s generated an error." and CR LF with the
// circuit's name, the X-axis name, the X value and the curve's text, while
// *linesLeft (20 per report) lasts. Returns the number of lines written.
int WriteDifferenceErrors(const double* x, const double* y, int count, bool digitalStates, const char* circuit,
                          const char* xName, const char* curveText, void (*writeLine)(const char* line, void* context),
                          void* context, int* linesLeft);

// ---- evaluation entries of the evaluator ------------------------------------------

// The noise value of the AC noise analysis: input noise when `input` is 1.
double EvaluateNoise(int input);
// Bessel functions of order n by their series with K terms.
void ComplexBesselJ(int n, const ComplexNumber& z, int terms, ComplexNumber* result);
void ComplexBesselY(int n, const ComplexNumber& z, int terms, ComplexNumber* result);
// The value of IMPULSE(a) at time t.
double ImpulseValue(double a, double t);
