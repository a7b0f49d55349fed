#include "plots/fftcurves.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "compiler/support.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "expr/fft.h"
#include "expr/fftstore.h"
#include "expr/runvars.h"
#include "expr/symbols.h"
#include "plots/g2ddoc.h"

namespace {

constexpr const char* kFcTitle = "FFT Parameter";

bool fc_Empty(const char* text) { return !text || !*text; }

double fc_Evaluate(const char* text, int* error) {
    if (*error) return 0;
    return EvaluateNumericText(text, error, 0);
}

int fc_Report(int code, bool report) {
    if (!report || code == kResultShown) return code;
    Reporter().Report(MessageRequest(code).Caption(kFcTitle));
    return kResultShown;
}

bool fc_NeedsStore(const PlotCurve& c) {
    return c.Expr[kAxisY] &&
           ((c.Expr[kAxisY]->flags & kExprFlagSpectrum) || (c.Expr[kAxisY]->flags2 & kExtraWholeRunNorm));
}

// The analysis variable alone as X: the frequency grid is plotted.
bool fc_FrequencyX(const PlotCurve& c) { return c.SingleVar[kAxisX] == 'F'; }

const MessageRow kFcMessages[] = {
    {kMsgFftPointCount,
     "%EThe number of data points must be a power of 2 chosen from the set "
     "{8,16,32,64,128,256,512,1024,2048,4096,8192...262144}."},
    {kMsgFftZeroRange, "%EThe frequency range must not be zero."},
};

}  // namespace

void RegisterFFTCurveMessages() {
    RegisterMessages(kFcMessages, static_cast<int>(sizeof kFcMessages / sizeof kFcMessages[0]));
}

int EvaluateFFTLimits(FFTParams& params, const FFTSettings& window, int analysisKind, bool report) {
    const bool ac = analysisKind == 1;
    SetString(&params.Upper, fc_Empty(window.max) ? (ac ? "FMAX" : "TMAX") : window.max);
    SetString(&params.Lower, fc_Empty(window.min) ? (ac ? "0" : "TMIN") : window.min);
    SetString(&params.Points, fc_Empty(window.points) ? "1024" : window.points);
    SetString(&params.Harmonics, fc_Empty(window.autoScaleHarmonics) ? "10" : window.autoScaleHarmonics);
    params.IncludeDC = window.includeDCHarmonic;
    int error = 0;
    params.rangeValue = 0;
    params.lowerValue = ac ? 0.0 : fc_Evaluate(params.Lower, &error);
    params.upperValue = fc_Evaluate(params.Upper, &error);
    const double points = fc_Evaluate(params.Points, &error);
    if (!error) {
        params.rangeValue = params.upperValue - params.lowerValue;
        params.pointCount = std::isfinite(points) && std::fabs(points) < 2e9 ? static_cast<int32_t>(points) : 0;
        if (params.rangeValue == 0) error = kMsgFftZeroRange;
    }
    int harmonicsError = 0;
    const double harmonics = EvaluateNumericText(params.Harmonics, &harmonicsError, 0);
    if (!harmonicsError) {
        params.harmonicCount = static_cast<int32_t>(std::lround(std::clamp(harmonics, -1e9, 1e9)));
        if (params.harmonicCount < 0) {
            SetString(&params.Harmonics, "1");
            params.harmonicCount = 1;
        }
    }
    return error ? fc_Report(error, report) : 0;
}

int CheckFFTPointCount(const FFTSettings& window) {
    int error = 0;
    const double points = EvaluateNumericText(fc_Empty(window.points) ? "1024" : window.points, &error, 0);
    if (error) return fc_Report(error, true);
    if (!IsFftPointCount(static_cast<int64_t>(std::clamp(points, -1.0, 1e9))))
        return fc_Report(kMsgFftPointCount, true);
    return 0;
}

int PrepareFFTOperandStores(CG2DDoc& document) {
    bool spectrum = false;
    for (PlotCurve& c : document.Curves) {
        if (fc_NeedsStore(c))
            c.EvalState = std::make_shared<FFTOperandStore>();
        else
            c.EvalState.reset();
        if (c.EvalState && (c.Expr[kAxisY]->flags & kExprFlagSpectrum)) spectrum = true;
    }
    // A point count the transform cannot take is refused before the run, not after it.
    const AnalysisKindSettings* settings = document.KindSettings(document.RunningKind);
    if (!spectrum || !settings || document.RunningKind == 2) return 0;
    if (const int code = CheckFFTPointCount(settings->fft)) {
        document.Run.MessageShown = 1;
        document.Run.StopFlag = 1;
        return code;
    }
    return 0;
}

int ComputeFFTCurves(CG2DDoc& document) {
    const int kind = document.RunningKind;
    const int run = document.Runs.Count - 1;
    if (kind == 2 || kind < 0 || run < 0) return 0;
    bool resample = false, stored = false;
    int samples = 0;
    for (const PlotCurve& c : document.Curves) {
        if (!c.EvalState || !c.Expr[kAxisY]) continue;
        if (c.Expr[kAxisY]->flags & kExprFlagSpectrum) resample = true;
        if (c.Expr[kAxisY]->flags2 & kExtraWholeRunNorm) stored = true;
        samples =
            std::max(samples, std::min<int>(c.EvalState->lastSample, static_cast<int>(c.EvalState->abscissas.size())));
    }
    // A run of fewer than four samples keeps what it produced.
    if ((!resample && !stored) || samples < 4) {
        for (PlotCurve& c : document.Curves)
            if (c.EvalState) c.EvalState->Reset();
        return 0;
    }
    int code = 0;
    int n = samples;
    FFTSteps steps;
    std::vector<double> timeGrid, frequencyGrid;
    if (resample) {
        AnalysisKindSettings* settings = document.KindSettings(kind);
        FFTParams params;
        static const FFTSettings kDefaults;
        code = EvaluateFFTLimits(params, settings ? settings->fft : kDefaults, kind, false);
        if (!code) {
            params.ClampPoints();
            if (!IsFftPointCount(params.pointCount)) code = kMsgFftPointCount;
        }
        if (!code) {
            double fundamental = 0;
            if (kind == 3 && settings) {
                int error = 0;
                fundamental = EvaluateNumericText(settings->limits[0], &error, 0);
                if (error) fundamental = 0;
            }
            params.GetSteps(kind, &steps.first, &steps.second, fundamental);
            n = params.pointCount;
            timeGrid.resize(static_cast<size_t>(n));
            frequencyGrid.resize(static_cast<size_t>(n));
            for (int k = 0; k < n; ++k) {
                timeGrid[static_cast<size_t>(k)] = params.lowerValue + k * steps.first;
                frequencyGrid[static_cast<size_t>(k)] = k * steps.second;
            }
        }
    }
    std::vector<double> re, im;
    for (size_t i = 0; !code && i < document.Curves.size(); ++i) {
        PlotCurve& c = document.Curves[i];
        if (!c.EvalState || !fc_NeedsStore(c) || static_cast<size_t>(run) >= c.RunFirst.size()) continue;
        FFTOperandStore& store = *c.EvalState;
        const int first = c.RunFirst[static_cast<size_t>(run)];
        int count = n;
        std::vector<double> axis;
        if (resample) {
            axis = kind == 1 ? frequencyGrid : timeGrid;
            code = ResampleOperands(store, axis);
        } else {
            // The points of the run keep their X; only as many as were both
            // stored and sampled take part.
            count = std::min(std::min<int>(store.lastSample, static_cast<int>(store.abscissas.size())),
                             c.RunLast[static_cast<size_t>(run)] - first + 1);
            axis = store.abscissas;
        }
        if (!code && count >= 4) code = EvaluateFFTStages(*c.Expr[kAxisY], store, count, steps, axis, re, im);
        if (code || count < 4) continue;
        // The curve's points of this run become the results.
        while (c.PointIndex < first + count - 1)
            if (!document.Store.NextPointIndex(c, document.Runs)) {
                code = kResultNoMemory;
                break;
            }
        if (code) break;
        c.PointIndex = first + count - 1;
        c.RunLast[static_cast<size_t>(run)] = c.PointIndex;
        for (int k = 0; k < count; ++k) {
            const size_t s = static_cast<size_t>(k);
            const int point = first + k;
            if (resample)
                document.Store.SetValue(c.DataColumn[kSlotX], point, fc_FrequencyX(c) ? frequencyGrid[s] : timeGrid[s]);
            // A result without an imaginary part keeps its sign.
            const double y = std::fabs(im[s]) <= 1e-12 ? re[s] : std::hypot(re[s], im[s]);
            document.Store.SetValue(c.DataColumn[kSlotY], point, y);
            if (kind == 1) {
                document.Store.SetValue(c.DataColumn[kSlotYRealPart], point, re[s]);
                document.Store.SetValue(c.DataColumn[kSlotYImagPart], point, im[s]);
                document.Store.SetValue(c.DataColumn[kSlotYRealValue], point, y);
            }
        }
        // The extremes the run tracked were of the samples, not of the results:
        // they are taken again over every run's results.
        c.ResetRanges();
        for (int r = 0; r <= run; ++r) {
            for (int point = c.RunFirst[static_cast<size_t>(r)]; point <= c.RunLast[static_cast<size_t>(r)]; ++point) {
                const double x = document.Store.GetValue(c.DataColumn[kSlotX], point);
                const double y = document.Store.GetValue(c.DataColumn[kSlotY], point);
                if (x > c.DataMax[kAxisX]) {
                    c.DataMax[kAxisX] = x;
                    c.XMaxPoint = point;
                }
                if (x < c.DataMin[kAxisX]) {
                    c.DataMin[kAxisX] = x;
                    c.XMinPoint = point;
                }
                c.DataMax[kAxisY] = std::max(c.DataMax[kAxisY], y);
                c.DataMin[kAxisY] = std::min(c.DataMin[kAxisY], y);
            }
        }
        c.Value[kAxisX] = document.Store.GetValue(c.DataColumn[kSlotX], c.PointIndex);
        c.Value[kAxisY] = document.Store.GetValue(c.DataColumn[kSlotY], c.PointIndex);
    }
    for (PlotCurve& c : document.Curves)
        if (c.EvalState) c.EvalState->Reset();
    if (code) {
        fc_Report(code, true);
        document.Run.MessageShown = 1;
        document.Run.StopFlag = 1;
    }
    return 1;
}
