// The 2D analysis document: the document of the analysis plot window, kept
// hidden beside its circuit or text document for as long as that lives. It
// builds the plot curves from the curve rows of the analysis limits, runs the
// analyses through the run callbacks the drivers rely on, and writes each
// run's curves into the numeric output.
//
// The analysis settings themselves (limits, curve rows, numeric output
// switches, reduction counts) live with the circuit (document/cfanalysis.h);
// this document reads them for the running kind.
//
// Order of the callbacks of a run (what every driver does):
//   SetUpRun; the driver reads its limits; PrepareCurves(true, false);
//   RebuildPlot; BeginRun; per temperature and case: PrepareNextRun,
//   StartRun, then per accepted point EvaluateCurvePoint and
//   NoteAcceptedPoint; after each case FinishCase; at the end FinishRun.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/distortion.h"
#include "engine/savefile.h"
#include "plots/apdoc.h"

struct AnalysisKindSettings;
struct OperatingPointData;
class OpenAnalysis;

// Messages of the curve build.
enum PlotCurveMessage : int {
    kMsgNoCurveToPlot = 13801,   // "%EMust select an expression to plot."
    kMsgIllegalRange = 13803,    // "%EIllegal range."
    kMsgFftXExpression = 13810,  // "%ECan't plot FFT/IFT function for X expr."
    kMsgFftNeedsFOrT = 13811,    // "%EX expression must be F or T when Y expression is an FFT/IFT."
    kMsgResNeedsT = 13812,       // "%EX expression must be T when Y expression is an FS or RES"
    kMsgDigitalX = 13813,        // "%ECan't plot digital function for X expression."
    kMsgDigitalInAc = 13815,     // "%ECan't plot digital variables in AC."
};
// Registers the texts above.
void RegisterPlotMessages();
// Registers the DC sweep driver's texts (RegisterPlotMessages calls it).
void RegisterDcDriverMessages();
void RegisterAcDriverMessages();

// Result codes of a run.
constexpr int kRunStopped = 15056;      // stopped by the user; the end steps treat it as success
constexpr int kRunConvergence = 14190;  // a convergence failure

// The State Variables option of a kind: 3 Retrace repeats the transient.
constexpr int32_t kStateVariablesRetrace = 3;

class CG2DDoc : public CAPDoc {
public:
    CG2DDoc();
    ~CG2DDoc() override;

    // ---- document
    void OnCloseDocument() override;
    std::optional<std::string> ExpandKeywords(const std::string& text, bool multiLine, bool lineBreaks) override;
    std::optional<std::string> FormatTitle(int flag) override;
    int DisplayEveryN() const override;
    bool IsAnalysisDocument() const override { return true; }

    // The settings of a kind (the circuit's analysis limits), null when the
    // circuit has none.
    AnalysisKindSettings* KindSettings(int kind) const;
    // The analysis open on this document's circuit, null when none.
    OpenAnalysis* Analysis() const;

    // ---- captions
    // The run-state caption: temperature, Monte Carlo case or stepping.
    std::optional<std::string> FormatRunCaption(int flag, bool multiLine, bool lineBreaks);
    // The caption keywords ($Temperature, $case, $Stepping ...) put in.
    std::optional<std::string> BuildCaption(const std::string& text, bool multiLine, bool lineBreaks);

    // ---- curves
    // Rebuilds the curves of the running kind from its curve rows; with
    // prepareStore also the data store. A failure sets the stop flag.
    int PrepareCurves(bool prepareStore, bool keepRanges);
    // The curve of one row, or `useFlag` ORed into the curve already added.
    int AddCurve(int row, int32_t useFlag, bool& added, int& curveIndex);
    // Compiles one axis expression into a curve; mode 2 ignores errors.
    int CompileCurveExpression(const std::string& text, const std::string& shownText, int curve, int axis, int mode);
    // Ranges and grid steps of both axes from the row.
    int SetUpCurveRanges(int curve, int row);
    bool HasFftCurves() const;

    // ---- run callbacks
    // Runs the analysis of `kind` on the open analysis of the circuit.
    int RunSimulation(int kind);
    int SetUpRun();
    void BeginRun();
    // The next run at `temperature`: models and instances set up anew.
    int PrepareNextRun(double temperature);
    // The point callback: every curve stores its newest point and tracks its ranges.
    void NoteAcceptedPoint();
    int UpdateExpressionState();
    bool IsRunStopRequested() const;
    // After each case: the skipped points flushed and the run's numeric output.
    int FinishCase(int code);
    int FinishRun(int code);
    // The end of a distortion run: each run's waveform (row 3) over the last
    // period becomes its harmonic figures, written into the curves of rows
    // 0-2 as points at the harmonic frequencies.
    void FinishDistortionRun(const DistortionRunPlan& plan);

    // The numeric output of a run: its caption box once, with the operating
    // point and the device tables when the run solved one (`solution`, else
    // null), at the run's first point.
    void WriteRunHeader(const std::vector<double>* solution);
    // At the end of the run: the curve tables of the listed curves, `points`
    // rows each.
    void WriteRunCurves(int points);

    // ---- fields
    // The harmonic figures of the last distortion run (index n: harmonic n).
    HarmonicFigures DistortionFigures;
    int32_t PlotSuppressed = 0;
    int32_t ProbeMode = 0;
    int32_t PrintValues = 0;
    int32_t RunOption = 0;  // 0 Normal, 1 Save, 2 Retrieve
    int32_t RunFinished = 0;
    int32_t HasRun = 0;
    int32_t CompletedRuns = 0;  // driver runs of the last RunSimulation
    int32_t RunningKind = -1;
    // Per kind, where the thumbnail window was last (left = right: never placed).
    platform::Rect ThumbnailRect[kPlotKindCount] = {};
    int32_t RescaledQuarter = 0, RescaledHalf = 0;
    // The simulator's accepted and rejected time points over the last simulation.
    int64_t AcceptedPointCount = 0;
    int64_t RejectedPointCount = 0;
    double RunStartSeconds = 0;
    double RunEndSeconds = 0;
    int32_t MonteCarloSeed = 0;
    // The temperature list of the analysis and the current one.
    std::vector<double> Temperatures;
    int32_t TemperatureIndex = 0;
    double CurrentTemperature = 27;
    // The caption box of the run in hand is in the numeric output.
    bool RunHeaderWritten = false;
    // The simulation save file of Run Options "Save".
    SimulationSaveFile SaveFile;

private:
    std::string RowExpressionText(int curve, int axis) const override;
};

// The analysis document of a circuit or text document, made (hidden) on
// first use; null for a null document or when memory ran out.
CG2DDoc* AnalysisDocumentOf(CCTDoc* document);
// Runs the analysis open on the circuit to its end: 0, or the result code
// (shown already when it is 15055).
int RunOpenAnalysis(CCTDoc* document);
