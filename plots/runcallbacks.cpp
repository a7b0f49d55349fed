// The run callbacks of the 2D analysis document and the transient driver that
// calls them in the order every driver keeps.
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/limits.h"
#include "analysis/numout.h"
#include "analysis/runprep.h"
#include "analysis/start.h"
#include "analysis/sweep.h"
#include "compiler/warnings.h"
#include "core/cmdline.h"
#include "core/numbers.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/services.h"
#include "devices/temperature.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "engine/distortion.h"
#include "engine/state.h"
#include "engine/transient.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/stateful.h"
#include "platform/dialog.h"
#include "plots/apview.h"
#include "plots/cursors.h"
#include "plots/docranges.h"
#include "plots/drivers.h"
#include "plots/fftcurves.h"
#include "plots/g2ddoc.h"
#include "plots/reducedlg.h"
#include "plots/thumbwindow.h"
#include "shell/preferences.h"

namespace {

constexpr int kEscape = 27;

// The curve expressions the run phases reach.
class rc_CurveExpressions {
public:
    explicit rc_CurveExpressions(CG2DDoc& document) {
        for (PlotCurve& c : document.Curves) pairs_.push_back({c.Expr[kAxisX].get(), c.Expr[kAxisY].get()});
        set_.curves = pairs_.data();
        set_.curveCount = static_cast<int32_t>(pairs_.size());
    }
    AnalysisExpressions* Get() { return &set_; }

private:
    std::vector<CurveExpressions> pairs_;
    AnalysisExpressions set_;
};

// What a transient run needs of the plot side: every accepted point is
// evaluated into the curves and stored; Esc and stop requests of the
// document end the run.
class rc_TransientHost final : public TransientHost {
public:
    explicit rc_TransientHost(CG2DDoc& document) : document_(document) {}

    void PollRunKeys(SimulatorState& state, int) override {
        ServicePlotWindowDuringRun(document_);
        if (document_.Run.AbortRequested || document_.Run.LastRunKey == kEscape) {
            state.LastRunKey = kEscape;
            state.StopRequested = 1;
        }
        if (document_.Run.StopRequest) state.RunStopRequest = 1;
    }
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState& state, TransientRun& run) override {
        AnalysisPoint& point = document_.Point;
        RunVars.time = state.Time;
        point.Time = state.Time;
        point.Tmin = run.Tmin;
        point.UicRun = state.UseInitialConditions;
        // The first point of a run that solved an operating point holds it,
        // and the device records hold its values.
        if (point.RunPointIndex < 0)
            document_.WriteRunHeader(run.OperatingPointRequested && !state.UseInitialConditions ? &state.Solution
                                                                                                : nullptr);
        ++point.AnalysisPointCount;
        if (int rc = document_.UpdateExpressionState()) return rc;
        if (int rc = document_.EvaluateCurvePoint()) return rc;
        if (document_.SaveFile.InUse()) {
            if (int rc = document_.SaveFile.WritePoint(state, run.AcceptedPoints, state.Time, &state.Solution))
                return rc;
        }
        document_.NoteAcceptedPoint();
        return document_.Run.StopFlag ? kResultShown : 0;
    }
    void ReportRunError(int messageId, double time) override {
        if (!document_.Run.MessageShown) Reporter().Report(MessageRequest(messageId).Args(time));
        document_.Run.MessageShown = 1;
    }
    bool Confirm(int messageId, double value) override {
        // No answer (a headless run) goes on as Yes does.
        const int answer = Reporter().Report(MessageRequest(messageId).Args(value));
        return answer != platform::dlgid::No;
    }

private:
    CG2DDoc& document_;
};

// The transient limits of the circuit, and its temperature list.
int rc_ReadTransientLimits(CCTDoc* circuit, const AnalysisKindSettings& settings, TransientLimits& limits,
                           SweepList& temperatures) {
    LimitValues range;
    if (int rc = GetLimitValues(circuit, 0, 0, &range)) return rc;
    limits.tmax = range.to;
    limits.tmin = range.count >= 2 ? range.from : 0.0;
    LimitValues step;
    if (int rc = GetLimitValues(circuit, 0, 1, &step)) return rc;
    limits.maxTimeStep = step.to;
    limits.points = GetLimitCount(circuit, 0, 2);
    limits.optionFlags = settings.optionWord;
    limits.stateVariables = settings.stateVariable;
    return temperatures.Build(circuit, 0, TemperatureFieldIndex(0), settings.temperatureType);
}

// One transient analysis: every temperature of its list, each a run. A
// distortion run takes its time range from its plan and its temperatures from
// its own field, and computes its harmonics before the run ends.
int rc_RunTransientDriver(CG2DDoc& document, OpenAnalysis& open, const DistortionRunPlan* distortion) {
    SimulatorState& state = open.engine;
    const int kind = distortion ? kDistortionKind : 0;
    AnalysisKindSettings* settings = document.KindSettings(kind);
    int code = document.SetUpRun();
    TransientLimits limits;
    SweepList temperatures;
    if (!code && settings && distortion) {
        limits = DistortionTransientLimits(*distortion);
        limits.optionFlags = settings->optionWord;
        limits.stateVariables = settings->stateVariable;
        code = temperatures.Build(document.Circuit(), kind, TemperatureFieldIndex(kind), settings->temperatureType);
    } else if (!code && settings) {
        code = rc_ReadTransientLimits(document.Circuit(), *settings, limits, temperatures);
    }
    // Run Options "Save" writes every accepted point (thinned by Save every N)
    // into the circuit's save file.
    if (!code && !distortion && document.RunOption == kRunSave && settings) {
        SaveFileRequest request;
        request.path = SimulationSaveFileName(document.Circuit()->PathName(), 'T');
        request.analysisLetter = 'T';
        request.runOption = kRunSave;
        request.saveInterval = settings->reduceSave;
        code = document.SaveFile.Open(state, request);
    }
    if (!code && temperatures.values().empty()) code = kResultShown;
    if (!code) {
        RunVars.tmin = limits.tmin;
        RunVars.tmax = limits.tmax;
        document.Temperatures = temperatures.values();
        document.Runs.Records.assign(temperatures.values().size(), RunRecord());
        // Node operands of the curves read the engine's solution.
        PublishRunState(state, false);
        code = document.PrepareCurves(true, false);
    }
    if (!code && !document.Run.StopFlag) code = document.RebuildPlot();
    if (!code) document.BeginRun();
    TransientRun run;
    for (size_t t = 0; !code && t < temperatures.values().size(); ++t) {
        const double temperature = temperatures.values()[t];
        document.TemperatureIndex = static_cast<int32_t>(t);
        CurrentSweepValue = temperature;
        if ((code = document.PrepareNextRun(temperature))) break;
        RunRecord record;
        record.RunNumber = document.Run.RunCounter;
        record.Temperature = temperature;
        document.StartRun(record);
        rc_TransientHost host(document);
        code = RunTransient(state, run, limits, host);
        document.AcceptedPointCount += run.AcceptedPoints;
        document.RejectedPointCount += run.RejectedPoints;
        code = document.FinishCase(code);
        if (code || document.IsRunStopRequested()) break;
    }
    if (distortion && (code == 0 || code == kRunStopped) && !document.Run.StopFlag)
        document.FinishDistortionRun(*distortion);
    // The output of the last run spans the run's own time range.
    return document.FinishRun(code);
}

}  // namespace

int RunTransientDriver(CG2DDoc& document, OpenAnalysis& open, const DistortionRunPlan* distortion) {
    return rc_RunTransientDriver(document, open, distortion);
}

int CG2DDoc::SetUpRun() {
    AnalysisKindSettings* settings = KindSettings(RunningKind);
    OpenAnalysis* open = Analysis();
    if (!settings || !open) return kResultNotBuilt;
    SeedRandom(GlobalSettings.seed);
    MonteCarloSeed = 0;
    Run.Running = 1;
    ++Run.Nesting;
    ClearCurves();
    Run.StopFlag = 0;
    Run.StopRequest = 0;
    Run.MessageShown = 0;
    // Every Run shows what is wrong with the limits, not only the first.
    ResetLimitErrors();
    Run.RunFailed = 0;
    Run.RunCounter = Run.CaptionRunCounter = 0;
    Point = AnalysisPoint();
    Point.Kind = RunningKind;
    RunOption = settings->runOption;
    RunVars.frequency = 0;
    SetAnalysisKind(RunningKind);
    SelectRunVariable();
    RunHeaderWritten = false;
    int result = 0;
    if (!PlotSuppressed) {
        // A series of runs starts its numeric output afresh.
        // A numeric output that cannot be made is reported; the runs go on
        // without it and keep their curves.
        // The first series goes on from what the start wrote into the file
        // (the compile's warnings); every other one starts the file afresh.
        // A kind the circuit keeps no plot window settings for takes the
        // program's numeric output defaults.
        if (!settings->present && std::none_of(std::begin(settings->numOutWrite), std::end(settings->numOutWrite),
                                               [](int32_t flag) { return flag != 0; }))
            std::copy(std::begin(Prefs().numericOutput), std::end(Prefs().numericOutput), settings->numOutWrite);
        const bool wanted = settings->numOutWrite[kIncludeNumericOutput] != 0;
        NumericOutput& out = open->numericOutput;
        const bool goOn = open->runSeries++ == 0 && wanted && out.headerWritten;
        if (int rc = goOn ? out.Reopen() : out.Begin(wanted))
            Reporter().Report(MessageRequest(rc).Args(out.Path()));
        else
            SetRoutedNumericOutput(&out);
    }
    RunStartSeconds = GetSeconds();
    if (!BatchMode()) Run.AbortRequested = 0;
    return result;
}

void CG2DDoc::BeginRun() {
    RescaledQuarter = RescaledHalf = 0;
    Run.WarningCount = 0;
    Run.LastRunKey = 0;
    Run.PausedCloseRequest = 0;
    TemperatureIndex = 0;
    Run.SeveralTemperatures = Temperatures.size() > 1 ? 1 : 0;
    ResetPointIndices();
    BeginStore();
    CursorStep = kCursorStepRight;
    ActiveCursor = 0;
    CursorFunction = kCursorNextDataPoint;
    ResetFloatingPointState();
    rc_CurveExpressions expressions(*this);
    UpdateStatefulExpressions(expressions.Get(), kPhaseReset);
    // The warnings of the last runs come off the schematic.
    if (CCTDoc* circuit = Circuit()) ClearWarningMarks(circuit);
}

int CG2DDoc::PrepareNextRun(double temperature) {
    ++Run.RunCounter;
    ++Run.CaptionRunCounter;
    Point.RunPointIndex = -1;
    RunHeaderWritten = false;
    CurrentTemperature = temperature;
    RunVars.temp = temperature;
    RunVars.vt = ThermalVoltageAt(temperature + 273.15);
    CCTDoc* circuit = Circuit();
    if (!circuit) return kResultNotBuilt;
    // Each run sets the models up from their statements, not from the values
    // the last set-up converted.
    return SetupCircuitAtTemperature(circuit, temperature);
}

void CG2DDoc::NoteAcceptedPoint() {
    for (int i = 0; i < CurveCount(); ++i) {
        Curves[static_cast<size_t>(i)].HasNewPoint = 0;
        if (ProbeMode != 1) NoteCurvePoint(i);
        TrackMinMax(i);
        if (ProbeMode != 1) FollowNewestPoint(*this, i, Point.RunPointIndex);
    }
}

int CG2DDoc::UpdateExpressionState() {
    rc_CurveExpressions expressions(*this);
    return UpdateStatefulExpressions(expressions.Get(), kPhaseAccept);
}

bool CG2DDoc::IsRunStopRequested() const { return Run.LastRunKey == kEscape || Run.StopRequest != 0; }

int CG2DDoc::FinishCase(int code) {
    OpenAnalysis* open = Analysis();
    if (open && SaveFile.InUse()) {
        const int flushed = SaveFile.FlushPendingPoint(open->engine);
        if (!code) code = flushed;
    }
    if (!PlotSuppressed) PlotLatestPoint();
    if ((code == 0 || code == kRunStopped) && !Run.StopFlag) {
        ComputeFFTCurves(*this);
        if (Run.StopFlag) code = kResultShown;
    }
    Run.LastRunKey = 0;
    // A distortion run has no points field: it always samples 1024 points.
    if (code == 0 || code == kRunStopped)
        WriteRunCurves(RunningKind == kDistortionKind
                           ? kDistortionFftPoints
                           : GetLimitCount(Circuit(), RunningKind, PointsFieldIndex(RunningKind)));
    return code;
}

int CG2DDoc::FinishRun(int code) {
    if (code == 0) code = CheckMathError();
    ResetFloatingPointState();
    if (code == kResultNoMemory || Run.StopFlag) ClearCurves();
    RunEndSeconds = GetSeconds();
    if (code != 0 && code != kRunStopped) {
        if (code != kResultShown && !Run.MessageShown) Reporter().Report(MessageRequest(code));
        code = kResultShown;
    }
    if (Run.WarningCount && !BatchMode()) Reporter().Report(MessageRequest(kMsgCheckNumericOutput));
    if (Run.Running) --Run.Nesting;
    Run.Running = 0;
    // Axes fitted to the data take nice ranges over the runs, written back
    // into the rows of the "Auto" ranges.
    if (code == 0 || code == kRunStopped) {
        const bool reduced = CheckExcessiveDataPoints(*this) != 0;
        AutoScaleDocument(*this, reduced);
    }
    if (CCTDoc* circuit = Circuit()) ReportWarnings(circuit, RunningKind);
    SaveFile.Close();
    if (OpenAnalysis* open = Analysis()) open->numericOutput.Close();
    RunFinished = 1;
    RefreshThumbnail();
    // The cursors start at the first point and at the end of the first run.
    if (code == 0 || code == kRunStopped) {
        DocumentCursorPlacer placer(*this);
        RestoreCursorPositions(*this, placer);
    }
    // The window that was asked to close during the run closes now.
    if (Run.CloseAfterRun) CMDIView::PostCloseFrame(PlotView);
    return code;
}

int CG2DDoc::RunSimulation(int kind) {
    OpenAnalysis* open = Analysis();
    if (!open) return kResultNotBuilt;
    const double t0 = GetSeconds();
    RunningKind = kind;
    AnalysisKind = kind;
    int result = kResultNotBuilt;
    if (kind == 0) {
        const AnalysisKindSettings* settings = KindSettings(0);
        int retrace = 1;
        if (settings && settings->stateVariable == kStateVariablesRetrace && !PlotSuppressed && !NoDrawing &&
            !ProbeMode) {
            Run.StopFlag = 0;
            LimitValues values;
            retrace = GetLimitValues(Circuit(), 0, 4, &values) ? 0 : std::max(0, ClampToInt(values.to));
        }
        result = 0;
        CompletedRuns = 0;
        AcceptedPointCount = RejectedPointCount = 0;
        while (CompletedRuns < retrace && !result) {
            result = rc_RunTransientDriver(*this, *open, nullptr);
            ++CompletedRuns;
        }
    } else if (kind == 1) {
        AcceptedPointCount = RejectedPointCount = 0;
        result = RunAcDriver(*this, *open);
        CompletedRuns = 1;
    } else if (kind == 2) {
        AcceptedPointCount = RejectedPointCount = 0;
        result = RunDcDriver(*this, *open);
        CompletedRuns = 1;
    } else if (kind == kDistortionKind) {
        AcceptedPointCount = RejectedPointCount = 0;
        result = RunDistortionDriver(*this, *open);
        CompletedRuns = 1;
    } else {
        Reporter().Report(MessageRequest(kResultNotBuilt));
        result = kResultShown;
    }
    HasRun = 1;
    open->runTime = GetSeconds() - t0;
    return result;
}
