// The DC sweep driver of the 2D analysis document: the two sweep variables
// read from the DC limits, the temperature list, and a host that sets up the
// points whose variables need it, starts one stored run per variable-2 value,
// and evaluates, stores and lists every accepted point.
#include <cmath>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/runprep.h"
#include "analysis/start.h"
#include "analysis/sweep.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "document/cfanalysis.h"
#include "engine/dcsweep.h"
#include "engine/state.h"
#include "expr/runstate.h"
#include "plots/drivers.h"

namespace {

constexpr int kDcKind = 2;
// The DC limit fields.
constexpr int kDcRange2Field = 0, kDcName2Field = 1, kDcRange1Field = 2, kDcName1Field = 3, kDcTemperatureField = 5,
              kDcMaxChangeField = 6;
// Passes over variable 2 are counted up to this many when the store is sized.
constexpr int kMaxCountedBranches = 100000;

// "%EA symbolic parameter cannot be swept; sweep the part value or the model parameter it sets."
constexpr int kMsgDcParamSweep = 13588;

const MessageRow kDcDriverMessages[] = {
    {kMsgDcParamSweep, "%EA symbolic parameter cannot be swept; sweep the part value or the model parameter it sets."},
};

// Reads one sweep variable (0: variable 1, 1: variable 2): its name, method
// and range. 0, or 15055 once the failure was reported against its field.
int dd_ReadVariable(CCTDoc* circuit, DcSweepRun& run, int index, int method) {
    const int nameField = index == 0 ? kDcName1Field : kDcName2Field;
    const int rangeField = index == 0 ? kDcRange1Field : kDcRange2Field;
    DcSweepVariable& v = run.Variables[index];
    v = DcSweepVariable();
    v.Method = method;
    const std::string name = GetLimitText(circuit, kDcKind, nameField);
    int rc = ResolveDcSweepVariable(circuit, name.c_str(), run, index);
    // The value of a symbolic parameter is substituted by the compile, which a
    // sweep point does not repeat: refused rather than swept without effect.
    if (!rc && v.Kind == kDcVariableParam) rc = kMsgDcParamSweep;
    if (rc) {
        ReportLimitFieldError(kDcKind, nameField, rc, name.c_str());
        return kResultShown;
    }
    if (method == kDcMethodList) {
        SweepList list;
        if (list.Build(circuit, kDcKind, rangeField, kSweepMethodList)) return kResultShown;
        rc = SetSweepList(v, list.values());
    } else {
        LimitValues range;
        if (GetLimitValues(circuit, kDcKind, rangeField, &range)) return kResultShown;
        rc = SetSweepRange(v, index, range.to, range.from, range.step);
    }
    if (rc) {
        ReportLimitFieldError(kDcKind, rangeField, rc, GetLimitText(circuit, kDcKind, rangeField).c_str());
        return kResultShown;
    }
    return 0;
}

// The number of passes variable 2 makes (1 without it).
int dd_CountBranches(const DcSweepVariable& v2) {
    if (v2.Kind == kDcVariableNone) return 1;
    if (v2.Method == kDcMethodList) return static_cast<int>(v2.ListValues.size());
    DcSweepVariable probe = v2;
    if (CheckSweepRange(probe)) return 1;
    StartSweepVariable(probe);
    int count = 0;
    do {
        AdvanceSweepVariable(probe);
        ClampSweepToEnd(probe);
    } while (++count < kMaxCountedBranches && HasMoreSweepPoints(probe));
    return count;
}

class dd_DcHost final : public DocumentRunHost<DcSweepHost> {
public:
    dd_DcHost(CG2DDoc& document, CCTDoc* circuit) : DocumentRunHost(document), circuit_(circuit) {}

    // A point of a TEMP or model-parameter variable: the models start from
    // their statements, take the swept values and are set up again.
    int SetupDcPoint(SimulatorState&, DcSweepRun& run) override {
        if (int rc = RestoreModelParameters(circuit_)) return rc;
        ApplyDcSweepValues(circuit_, run);
        const double temperature = run.TemperatureSwept ? run.RunTemperature : document_.CurrentTemperature;
        RunVars.temp = temperature;
        TemperatureSetup setup = MakeTemperatureSetup(circuit_);
        if (int rc = SetupModelsAtTemperature(setup, temperature)) return rc;
        return SetupInstancesAtTemperature(setup, temperature);
    }

    int StartBranch(SimulatorState&, DcSweepRun& run) override {
        // Every pass after the first of a case is a run of its own.
        if (branchesInCase_++ > 0) {
            ++document_.Run.RunCounter;
            ++document_.Run.CaptionRunCounter;
            document_.RunHeaderWritten = false;
        }
        document_.Point.RunPointIndex = -1;
        RunVars.dcmin = run.Variables[0].Start;
        RunVars.dcmax = run.Variables[0].End;
        RunRecord record;
        record.RunNumber = document_.Run.RunCounter;
        record.Temperature = document_.CurrentTemperature;
        record.Sweep2Value = run.Variables[1].Value;
        document_.StartRun(record);
        return 0;
    }

    double FirstCurveSpan(const SimulatorState&, const DcSweepRun&) override {
        if (document_.Curves.empty()) return 0.0;
        const PlotCurve& c = document_.Curves[0];
        return c.RangeHigh[kAxisY] - c.RangeLow[kAxisY];
    }

    int EvaluateDcPoint(SimulatorState&, DcSweepRun& run, double& firstY) override {
        const double value = run.Variables[0].Value;
        document_.Point.SweepValue = value;
        RunVars.dcInput1 = value;
        if (int rc = document_.EvaluateCurvePoint()) return rc;
        firstY = document_.Curves.empty() ? 0.0 : document_.Curves[0].Value[kAxisY];
        return 0;
    }

    int AcceptDcPoint(SimulatorState& state, DcSweepRun&) override {
        // The first point of a pass heads its output with the circuit's values there.
        if (!document_.RunHeaderWritten) document_.WriteRunHeader(&state.Solution);
        ++document_.Point.AnalysisPointCount;
        document_.NoteAcceptedPoint();
        if (int rc = document_.UpdateExpressionState()) return rc;
        return document_.Run.StopFlag ? kResultShown : 0;
    }

    int EndBranch(SimulatorState&, DcSweepRun&) override {
        const int rc = document_.FinishCase(0);
        return rc || document_.Run.StopFlag || document_.IsRunStopRequested() ? 1 : 0;
    }

    void ReportRunError(int messageId, double value) override {
        if (!document_.Run.MessageShown) Reporter().Report(MessageRequest(messageId).Args(value));
        document_.Run.MessageShown = 1;
    }

    void StartCase() { branchesInCase_ = 0; }

private:
    CCTDoc* circuit_;
    int branchesInCase_ = 0;
};

}  // namespace

void RegisterDcDriverMessages() {
    RegisterMessages(kDcDriverMessages, static_cast<int>(sizeof kDcDriverMessages / sizeof kDcDriverMessages[0]));
}

int RunDcDriver(CG2DDoc& document, OpenAnalysis& open) {
    SimulatorState& state = open.engine;
    CCTDoc* circuit = document.Circuit();
    AnalysisKindSettings* settings = document.KindSettings(kDcKind);
    int code = document.SetUpRun();
    DcSweepRun run;
    std::vector<double> temperatures;
    if (!code && settings) {
        code = dd_ReadVariable(circuit, run, 0, settings->sweepType);
        if (!code && settings->sweep2Type != kDcMethodAuto)
            code = dd_ReadVariable(circuit, run, 1, settings->sweep2Type);
    }
    if (!code && settings) {
        LimitValues change;
        code = GetLimitValues(circuit, kDcKind, kDcMaxChangeField, &change) ? kResultShown : 0;
        run.MaxChangeFraction = change.to * 0.01;
        const bool swept = run.Variables[0].Kind == kDcVariableTemp || run.Variables[1].Kind == kDcVariableTemp;
        SweepList list;
        // A swept temperature makes a single case: the points set it themselves.
        if (swept)
            list.BuildFromText("27", kSweepMethodList);
        else if (!code && list.Build(circuit, kDcKind, kDcTemperatureField, settings->temperatureType))
            code = kResultShown;
        temperatures = list.values();
        if (!code && temperatures.empty()) code = kResultShown;
    }
    if (!code) {
        document.Temperatures = temperatures;
        const size_t branches = static_cast<size_t>(dd_CountBranches(run.Variables[1]));
        document.Runs.Records.assign(temperatures.size() * branches, RunRecord());
        PublishRunState(state, false);
        code = document.PrepareCurves(true, false);
    }
    if (!code && !document.Run.StopFlag) code = document.RebuildPlot();
    if (!code) {
        document.BeginRun();
        dd_DcHost host(document, circuit);
        for (size_t t = 0; !code && t < temperatures.size(); ++t) {
            const double temperature = temperatures[t];
            document.TemperatureIndex = static_cast<int32_t>(t);
            CurrentSweepValue = temperature;
            if ((code = document.PrepareNextRun(temperature))) break;
            run.RunTemperature = temperature;
            host.StartCase();
            code = RunDcSweep(state, run, host);
            document.AcceptedPointCount += run.AcceptedPoints;
            state.TotalIterations += run.TotalIterations;
            if (document.Run.StopFlag || document.IsRunStopRequested()) break;
        }
    }
    return document.FinishRun(ShownFailureOr(document, code));
}
