// The AC driver of the 2D analysis document: the AC limits read into the
// engine's sweep, and a host that evaluates every solved frequency into the
// curves, stores and lists it, and ends each run's output.
#include <cmath>
#include <string>
#include <vector>

#include <cstring>

#include "analysis/limits.h"
#include "analysis/start.h"
#include "analysis/sweep.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "compiler/compiled.h"
#include "core/messages.h"
#include "document/nodelabels.h"
#include "engine/acrun.h"
#include "engine/transfer.h"
#include "expr/compiled.h"
#include "expr/symbols.h"
#include "engine/transient.h"
#include "expr/runstate.h"
#include "plots/drivers.h"

namespace {

constexpr int kAcKind = 1;
constexpr int kAcRangeField = 0;
constexpr int kAcPointsField = 1;
constexpr int kAcMaxChangeField = 3;
// Device units of a plot that has no layout (a headless run): the axis
// ranges are mapped onto this many units.
constexpr double kHeadlessPlotUnits = 1000.0;

// The limits of the kind as the engine's sweep takes them: 0, or the code of
// a field that could not be read (reported against that field).
int ad_ReadLimits(CCTDoc* circuit, const AnalysisKindSettings& settings, AcLimits& limits, SweepList& temperatures) {
    limits.stepKind = settings.sweepType;
    if (limits.stepKind == kAcStepList) {
        SweepList list;
        if (int rc = list.Build(circuit, kAcKind, kAcRangeField, kSweepMethodList)) return rc;
        limits.list = list.values();
    } else {
        LimitValues range;
        if (int rc = GetLimitValues(circuit, kAcKind, kAcRangeField, &range)) return rc;
        limits.high = range.to;
        limits.low = range.from;
        limits.rangeCount = range.count;
    }
    limits.points = GetLimitCount(circuit, kAcKind, kAcPointsField);
    LimitValues change;
    if (int rc = GetLimitValues(circuit, kAcKind, kAcMaxChangeField, &change)) return rc;
    limits.maxChangePercent = change.to;
    limits.optionFlags = settings.optionWord;
    limits.stateVariables = settings.stateVariable;
    // The noise mode is decided from the curves once they are prepared.
    limits.noise = false;
    if (int rc = temperatures.Build(circuit, kAcKind, TemperatureFieldIndex(kAcKind), settings.temperatureType))
        return rc;
    limits.temperatures = temperatures.values();
    limits.runsPerTemperature = 1;
    return 0;
}

constexpr int kAcNoiseInputField = 4;
constexpr int kAcNoiseOutputField = 5;
constexpr int kMsgNoiseWithOthers = 13575;
constexpr int kMsgIllegalNodeName = 13561;
constexpr int kMsgNoiseSourceNotFound = 13530;

const MessageRow kAcDriverMessages[] = {
    {kMsgNoiseWithOthers, "%ECan't plot noise with other expressions."},
    {kMsgIllegalNodeName, "%EIllegal node name."},
};

// Symbol classes that decide a noise run: the class of ONOISE and INOISE, and
// those a noise curve may be plotted against.
constexpr uint32_t kClassNoise = 0x8000;
constexpr uint32_t kClassTime = 0x800;
constexpr uint32_t kClassComplexFrequency = 0x1000;
constexpr uint32_t kClassFrequency = 0x2000;
constexpr uint32_t kClassImported = 0x4000000;

// Functions whose classes never decide it: histories, STP, DIFA/DIFD and
// the complex parts.
bool ad_IgnoredFunction(const char* name) {
    static const char* const names[] = {"DD",   "SD",   "DEL",   "SUM",  "AVG",  "RMS",  "SDT",  "DDT",
                                        "PH",   "PHASE", "P",    "GD",   "MINR", "MAXR", "LAST", "DELAY",
                                        "STP",  "DIFA", "DIFD",  "RE",   "REAL", "IM",   "IMG",  "IMAG",
                                        "MAG",  "M",    "ABS",   "MIN",  "MAX"};
    for (const char* n : names)
        if (std::strcmp(n, name) == 0) return true;
    return false;
}

// The union of the classes of the symbols an expression uses.
uint32_t ad_ClassMask(const CompiledExpression& expression) {
    uint32_t mask = 0;
    for (ExprToken* token = expression.FirstToken(); token; token = token->Next()) {
        const char* text = token->text.text();
        if (!text || !*text) continue;
        // A bound device quantity keeps its whole source text, as V(OUT).
        const char* paren = std::strchr(text, '(');
        const int row = paren ? FindSymbolRowN(text, static_cast<size_t>(paren - text)) : FindSymbolRow(text);
        if (row < 0 || row >= kExprSymbolCount) continue;
        const ExprSymbol& symbol = ExprSymbolTable[row];
        if (ad_IgnoredFunction(symbol.name)) continue;
        mask |= symbol.unitFlags;
    }
    return mask;
}

bool ad_NeutralClass(uint32_t mask) {
    return mask == kClassTime || mask == kClassComplexFrequency || mask == kClassFrequency || mask == kClassImported;
}

// Whether the prepared curves ask for a noise run: 0 with `noise` set, or
// 15055 once a mix of noise and other expressions has been reported.
int ad_CurvesRequestNoise(const CG2DDoc& document, bool& noise) {
    noise = false;
    bool other = false;
    for (const PlotCurve& curve : document.Curves) {
        for (int axis = 0; axis < 2; ++axis) {
            if (!curve.Expr[axis]) continue;
            const uint32_t mask = ad_ClassMask(*curve.Expr[axis]);
            if (mask & kClassNoise) {
                noise = true;
                const uint32_t rest = mask & ~kClassNoise;
                if (rest && !ad_NeutralClass(rest)) other = true;
            } else if (!ad_NeutralClass(mask)) {
                other = true;
            }
            if (noise && other) {
                Reporter().Report(MessageRequest(kMsgNoiseWithOthers));
                noise = false;
                return kResultShown;
            }
        }
    }
    return 0;
}

// A node of the Noise Output text, or -1 after reporting it.
int32_t ad_NoiseNode(CCTDoc* circuit, const std::string& name, const std::string& field) {
    const CompiledCircuit* compiled = FindCompiledCircuit(circuit);
    std::string trimmed = name;
    trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
    const int node = trimmed.empty() ? -1 : FindNodeNumber(circuit, trimmed.c_str(), -1, -1);
    if (node < 0 || !compiled || node > compiled->analogNodeCount) {
        ReportLimitFieldError(kAcKind, kAcNoiseOutputField, kMsgIllegalNodeName, field.c_str());
        return -1;
    }
    return node;
}

// The noise mode of the run: the input source's nodes and the output pair.
int ad_SetUpNoise(CG2DDoc& document, CCTDoc* circuit, AcLimits& limits) {
    bool noise = false;
    if (int rc = ad_CurvesRequestNoise(document, noise)) return rc;
    limits.noise = noise;
    if (!noise) return 0;
    const std::string input = GetLimitText(circuit, kAcKind, kAcNoiseInputField);
    TransferSource source;
    if (!FindTransferSource(circuit, input.c_str(), source)) {
        ReportLimitFieldError(kAcKind, kAcNoiseInputField, kMsgNoiseSourceNotFound, input.c_str());
        return kResultShown;
    }
    limits.noiseInput1 = source.node1;
    limits.noiseInput2 = source.node2 == source.node1 ? 0 : source.node2;
    const std::string output = GetLimitText(circuit, kAcKind, kAcNoiseOutputField);
    const size_t comma = output.find(',');
    const int32_t out1 = ad_NoiseNode(circuit, output.substr(0, comma), output);
    if (out1 < 0) return kResultShown;
    int32_t out2 = 0;
    if (comma != std::string::npos) {
        out2 = ad_NoiseNode(circuit, output.substr(comma + 1), output);
        if (out2 < 0) return kResultShown;
    }
    limits.noiseOutput1 = out1;
    limits.noiseOutput2 = out2 == out1 ? 0 : out2;
    return 0;
}

class ad_AcHost final : public DocumentRunHost<AcHost> {
public:
    ad_AcHost(CG2DDoc& document, CCTDoc* circuit) : DocumentRunHost(document), circuit_(circuit) {}

    int PrepareRun(SimulatorState&, AcRun&, double temperature, int32_t) override {
        if (int rc = EndRun(0)) return rc;
        CurrentSweepValue = temperature;
        for (size_t t = 0; t < document_.Temperatures.size(); ++t)
            if (document_.Temperatures[t] == temperature) document_.TemperatureIndex = static_cast<int32_t>(t);
        if (int rc = document_.PrepareNextRun(temperature)) return rc;
        RunRecord record;
        record.RunNumber = document_.Run.RunCounter;
        record.Temperature = temperature;
        document_.StartRun(record);
        runOpen_ = true;
        return 0;
    }

    int AcceptAcPoint(SimulatorState& state, AcRun& run) override {
        AnalysisPoint& point = document_.Point;
        point.Frequency = run.Frequency;
        // The first point of a run heads its output with the bias point the
        // sweep linearised the devices at.
        if (!document_.RunHeaderWritten) document_.WriteRunHeader(state.AcDoOperatingPoint ? &state.Solution : nullptr);
        if (!evaluated_) evaluation_ = document_.EvaluateCurvePoint();
        evaluated_ = false;
        if (evaluation_) return evaluation_;
        ++point.AnalysisPointCount;
        document_.NoteAcceptedPoint();
        if (int rc = document_.UpdateExpressionState()) return rc;
        return document_.Run.StopFlag ? kResultShown : 0;
    }

    // The first plotted curve in device units: the plot's own transform once
    // it is laid out, else its axis ranges mapped onto a fixed height.
    bool StepControlPoint(const AcRun& run, double& x, double& y, double& height, bool& outside) override {
        if (document_.PlottedCount <= 0 || document_.Curves.empty()) return false;
        document_.Point.Frequency = run.Frequency;
        evaluation_ = document_.EvaluateCurvePoint();
        evaluated_ = true;
        if (evaluation_) return false;
        const PlotCurve& c = document_.Curves[0];
        const bool laidOut = c.PlotRect.bottom > c.PlotRect.top;
        auto axisValue = [&](int axis, double v) { return c.AxisLinear[axis] ? v : std::log10(v > 0 ? v : 1e-50); };
        auto device = [&](int axis, double v) {
            const double u = axisValue(axis, v);
            if (laidOut) return u * c.DeviceScale[axis] + c.DeviceOffset[axis];
            const double low = axisValue(axis, c.RangeLow[axis]);
            const double span = axisValue(axis, c.RangeHigh[axis]) - low;
            return (u - low) / (span != 0.0 ? span : 1.0) * kHeadlessPlotUnits;
        };
        x = device(kAxisX, c.Value[kAxisX]);
        y = device(kAxisY, c.Value[kAxisY]);
        if (laidOut) {
            height = c.PlotRect.bottom - c.PlotRect.top;
            outside = y < c.PlotRect.top || y > c.PlotRect.bottom;
        } else {
            height = kHeadlessPlotUnits;
            outside = y < 0.0 || y > kHeadlessPlotUnits;
        }
        return true;
    }

    // Curves of device currents and powers read what the result pass leaves.
    bool WantsDeviceResults(const SimulatorState&) override { return true; }

    void ReportRunError(int messageId, double value) override {
        if (messageId == kMsgAcLogZeroLimit || messageId == kMsgAcBadRange || messageId == kMsgAcEmptyList) {
            const std::string text = GetLimitText(circuit_, kAcKind, kAcRangeField);
            ReportLimitFieldError(kAcKind, kAcRangeField, messageId, text.c_str());
            document_.Run.MessageShown = 1;
            return;
        }
        // The count of dropped cases is a note; the failures end the run once.
        if (messageId == kMsgAcDroppedCases) {
            Reporter().Report(MessageRequest(messageId).Args(value));
            return;
        }
        if (!document_.Run.MessageShown) Reporter().Report(MessageRequest(messageId).Args(value));
        document_.Run.MessageShown = 1;
    }

    // The end of the run in hand: its latest points and its curve tables.
    int EndRun(int code) {
        if (!runOpen_) return code;
        runOpen_ = false;
        return document_.FinishCase(code);
    }

private:
    CCTDoc* circuit_;
    bool runOpen_ = false;
    bool evaluated_ = false;
    int evaluation_ = 0;
};

}  // namespace

void RegisterAcDriverMessages() {
    RegisterMessages(kAcDriverMessages, static_cast<int>(sizeof kAcDriverMessages / sizeof kAcDriverMessages[0]));
}

int RunAcDriver(CG2DDoc& document, OpenAnalysis& open) {
    SimulatorState& state = open.engine;
    CCTDoc* circuit = document.Circuit();
    AnalysisKindSettings* settings = document.KindSettings(kAcKind);
    int code = document.SetUpRun();
    AcLimits limits;
    SweepList temperatures;
    if (!code && settings) code = ad_ReadLimits(circuit, *settings, limits, temperatures);
    if (!code && limits.temperatures.empty()) code = kResultShown;
    if (!code) {
        document.Temperatures = limits.temperatures;
        document.Runs.Records.assign(limits.temperatures.size(), RunRecord());
        code = document.PrepareCurves(true, false);
    }
    if (!code && !document.Run.StopFlag) code = ad_SetUpNoise(document, circuit, limits);
    if (!code && !document.Run.StopFlag) code = document.RebuildPlot();
    if (!code) {
        document.BeginRun();
        ad_AcHost host(document, circuit);
        code = RunAc(state, open.acRun, limits, host);
        code = host.EndRun(code);
        document.AcceptedPointCount += open.acRun.AcceptedPoints;
        state.TotalIterations += open.acRun.TotalIterations;
    }
    return document.FinishRun(ShownFailureOr(document, code));
}
