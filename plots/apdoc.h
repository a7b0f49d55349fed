// The analysis plot document: an analysis document with a paged data-point
// store, and the passage of every accepted analysis point through its curves:
// evaluation of each curve's X and Y expression, storing with data-point
// reduction, range tracking, and the flush of points that reduction skipped.
//
// What a run is doing (its flags, the point in hand) belongs to the document
// the run plots into: the drivers fill RunPoint before each evaluation and read
// the stop flags after each step.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plots/andoc.h"
#include "plots/layout.h"

class CMDIView;

// The state of the runs of an analysis.
struct AnalysisRunFlags {
    int32_t Running = 0;         // from set-up to finish
    int32_t Paused = 0;          // the Pause command holds the run
    int32_t StopFlag = 0;        // an error was reported or a callback failed
    int32_t StopRequest = 0;     // the engine, the store or the save file asks the run to end
    int32_t AbortRequested = 0;  // the user asked to abort
    int32_t LastRunKey = 0;      // 27: Esc
    int32_t CloseAfterRun = 0;   // the window was asked to close during the run
    int32_t RunCounter = 0;      // runs started in this analysis
    int32_t CaptionRunCounter = 0;
    int32_t Nesting = 0;
    int32_t SeveralTemperatures = 0;
    int32_t RunFailed = 0;
    int32_t MessageShown = 0;  // only the first message of a run is shown
    int32_t WarningCount = 0;
    // The window was asked to close during a pause.
    int32_t PausedCloseRequest = 0;
};

// The analysis point in hand, filled by the driver before each evaluation.
struct AnalysisPoint {
    int32_t Kind = 0;                // 0 transient, 1 AC, 2 DC, 3 distortion
    double Time = 0;                 // transient and distortion
    double Frequency = 0;            // AC
    double SweepValue = 0;           // DC
    double Tmin = 0;                 // the run's start time
    int32_t RunPointIndex = -1;      // within the current run; -1 before the first point
    int32_t AnalysisPointCount = 0;  // accepted points of the analysis so far
    int32_t UicRun = 0;              // the transient starts from initial conditions
    int32_t DigitalReplayPoint = 0;
    int32_t AnalogValuesCurrent = 1;

    // The analysis variable: time, frequency or sweep value by kind.
    double Variable() const;
};

class CAPDoc : public CANDoc {
public:
    CAPDoc(int kind, std::string dataFileName);
    ~CAPDoc() override;

    double GetValue(int column, int point) override { return Store.GetValue(column, point); }
    void SetValue(int column, int point, double value) override { Store.SetValue(column, point, value); }

    // Frees the curves, the pages and the temporary file.
    virtual void ClearCurves();
    // The curve whose plot holds the device point: a digital band first (the
    // group's first analog curve stands for it), else the first plot area
    // that holds it, the current curve when it is of that group; -1 none.
    int CurveAtPoint(int x, int y) override;
    // Whether the point lies in the curve's plot area widened by `margin`:
    // the plot rectangle (left and top edges in, right and bottom out), or
    // the ellipse inscribed in it for polar and Smith plots.
    bool PointInPlot(int curve, int x, int y, int margin) const;
    // The cached drawing tables of every curve go (the layout changed).
    void FreeRunTables();
    // Undo of the scale entries (kind 13, plots/zoom.cpp); others go to the base.
    bool RunUndoStep(UndoEntry& entry) override;
    // The display-every-N count of the running kind; the base keeps every point.
    virtual int DisplayEveryN() const { return 1; }
    virtual bool IsAnalysisDocument() const { return false; }

    // ---- the store
    // Columns and per-run arrays for every curve: the column count, 0 when
    // memory ran out (reported).
    int PrepareDataStore();
    // An empty store with page 0: 0, or 1 when it cannot hold a page.
    int BeginStore() { return Store.Begin(); }
    // The start of each run: the curves' run bounds and the run's record.
    void StartRun(const RunRecord& record);

    // ---- points
    // Evaluates both expressions of every curve at the point in hand: 0, or
    // 15055 after the failure was shown (the run's stop flag is then set).
    int EvaluateCurvePoint();
    // The point callback's step for one curve: store unless it is to be skipped.
    void NoteCurvePoint(int curve);
    // Whether the newest point of the curve is stored; computes its device point.
    bool PrepareNewPoint(int curve);
    // Stores the newest values; `force` ignores data-point reduction.
    void StoreCurvePoint(int curve, bool force);
    // The newest point of every curve that reduction skipped (and of every
    // digital curve) is stored: after the point loop of a run and on a stop.
    void PlotLatestPoint();
    // A run without an operating point starts with a reserved slot that takes
    // the values at the run's start time.
    void FillRunStart(int curve);
    double InterpolateAtStart(int curve, int axis, int point);
    // Running extremes of a curve after its newest point.
    void TrackMinMax(int curve);
    // The relayout before the first run; headless there is nothing to draw.
    int RebuildPlot();

    // Reports a message during a run: only the first of a run is shown; the
    // stop flag and RunFailed are set. Returns code.
    int ReportAnalysisError(int row, int column, int code, const std::string& text = "");

    DataPointStore Store;
    // The ranges the scale undo entry holds, per plotted curve: X low, Y low,
    // X high, Y high; and the entry they belong to.
    std::vector<std::array<double, 4>> ScaleUndoRanges;
    const UndoEntry* ScaleUndoEntry = nullptr;
    // The tag the newest "Add ..." entry added, and the tag itself while that
    // addition is undone (plots/tagcommands.cpp).
    const UndoEntry* TagUndoEntry = nullptr;
    const PlotObject* TagUndoObject = nullptr;
    std::unique_ptr<PlotObject> TagUndoHeld;
    // What the last layout of the plot left: fonts, line height, scale area.
    PlotLayout Layout;
    int32_t NoDrawing = 0;
    int32_t StopOnDivideByZero = 0;
    AnalysisRunFlags Run;
    AnalysisPoint Point;
    // The view drawing goes to; null while the document is headless.
    CMDIView* PlotView = nullptr;

protected:
    // The text of a curve's axis expression as its row gives it.
    virtual std::string RowExpressionText(int curve, int axis) const;
};
