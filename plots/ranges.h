// Automatic axis ranges: every axis of a plot curve either keeps the range its
// curve row gives or is fitted to the data. NiceRange turns data extremes into a
// range with nice grid steps; the analysis fixes some axes itself (time,
// frequency, the DC sweep); the curves of one plot group share one X range (and
// one Y range when asked); fitted ranges are written back into the curve rows.
//
// The operations here are those of the document; the views call them and then
// lay out and redraw the plot.
#pragma once

#include <string>
#include <vector>

#include "plots/curve.h"

class DataPointStore;
struct AnalysisKindSettings;
struct CurveRow;
struct RunLog;

// Document kinds the fitting tells apart.
constexpr int kDocument2D = 5, kDocumentPerformance = 12, kDocumentFft = 13;

// Fits [low, high] into `divisions` grid divisions with a step from the nice
// table (10, 12, 15, 16, 20, 25, 30, 40, 50, 60, 75, 80, 100, 120, 150 times a
// power of ten), the data inside the lower divisions - 1 of them. A reversed
// pair gives a reversed result. 0; or -1 when no nice range fits: the ends are
// then not written and *step holds the last candidate.
int NiceRange(int divisions, double high, double low, double* newHigh, double* newLow, double* step);

// What the running analysis fixes of the axis ranges.
struct AnalysisRanges {
    int Kind = -1;  // 0 transient, 1 AC, 2 DC, 3 distortion, -1 none
    double Tmin = 0, Tmax = 0;
    double FLow = 0, FHigh = 0;         // the AC sweep range
    std::vector<double> FrequencyList;  // the AC frequency list when the sweep is a list
    double DcLow = 0, DcHigh = 0;       // range of the first swept DC input
    std::string DcInputName;            // its name ("" when not known)
    bool AttributeDialogOpen = false;
    bool ProbeMode = false;
    // Grid divisions of the current analysis document per axis (0: no step derived).
    int Divisions[2] = {0, 0};
    // The curve rows of the running kind (the DC sweep compares a row's X text).
    const AnalysisKindSettings* Rows = nullptr;
};
// The ranges of the analysis that is open now (run variables and kind).
AnalysisRanges CurrentAnalysisRanges();

// 1 when the analysis fixes the axis range (the range is set), else 0.
int SetRangeFromAnalysis(PlotCurve& curve, int axis, const AnalysisRanges& analysis);
// The range mode becomes "fitted to the run's data" and the range a default
// (-10..10 linear, 1..10 logarithmic) unless the analysis fixes it.
int SetDefaultRange(PlotCurve& curve, int axis, int divisions, const AnalysisRanges& analysis);
// The same against the open analysis, `divisions` also for its grid step.
int SetDefaultRange(PlotCurve& curve, int axis, int divisions);

// What a fitting needs of its document and run.
struct FitContext {
    DataPointStore* Store = nullptr;  // FFT curves are fitted from the stored points
    const RunLog* Runs = nullptr;
    int DocumentKind = kDocument2D;
    int GridDivisions[2] = {5, 5};
    bool SameYScales = false;
    bool RunActive = false;
    bool RunPaused = false;
    bool RunFailed = false;
    bool ProbeMode = false;
    int FftHarmonics = 0;
    bool FftIncludeDC = false;
    double Gmin = 1e-12;
    AnalysisRanges Analysis;
    // The rows fitted ranges are written back into (2D document; null: none).
    AnalysisKindSettings* Rows = nullptr;
};

// A curve array exists and every shown curve holds a point.
bool AllCurvesHaveData(const PlotCurveArray& curves);
// The range of every automatic axis from the data.
void ComputeDataRanges(PlotCurveArray& curves, const FitContext& context);
// One range per plot group for the axes first..last (0 X, 1 Y).
void UnifyPlotRanges(PlotCurveArray& curves, int firstAxis, int lastAxis);
// X always, Y too with sameYScales.
void UnifyRanges(PlotCurveArray& curves, bool sameYScales);
// Which curves draw their own Y scale (DrawsYScale).
void AssignYScaleOwners(PlotCurveArray& curves, bool sameYScales);
// Nice ranges for the automatic axes, written back into the rows; 1 when a
// fitted range changed.
int ComputeAutoScale(PlotCurveArray& curves, const FitContext& context, bool applyFormats);

// The fitting of the end of a run (the view then redraws when the result is 1):
// nothing without data or after a failed run; otherwise the data ranges, the
// shared ranges and the nice ranges; 1 when something changed or `force`.
int FitRangesAfterRun(PlotCurveArray& curves, const FitContext& context, bool force);
// The Auto Scale command: the visible curves of the current curve's plot group
// fit the axes whose `scaleAxis` entry is set, keeping reversed axes reversed.
void FitRangesNow(PlotCurveArray& curves, const FitContext& context, int currentCurve, const int scaleAxis[2],
                  bool applyFormats);
// The refits during the first run: true once when the run passes a quarter and
// once when it passes half (each flag is set at most once per run).
bool RescaleDue(int runCount, bool probeMode, double fraction, int* rescaledQuarter, int* rescaledHalf);

// After "Same Y Scales for Each Plot Group" toggles: every curve's drawing
// cache goes (the view is then invalidated).
void SameYScalesChanged(PlotCurveArray& curves);

// The multiplier of the axis's scale format from its scale-factor text: "None"
// 1, "Auto" the engineering scale of the larger range end, a letter its scale.
void ApplyScaleFactor(PlotCurve& curve, int axis);
// Writes the axis range of a curve into its row: the range text "%.6g" of the
// high end, then ",%.6g" of the low end when it is not 0; the grid text "%g" of
// the step or empty. Numbers with their zeros trimmed.
void RetainCurveRange(CurveRow& row, const PlotCurve& curve, int axis);
// The range text alone.
std::string FormatRangeText(double high, double low);
