#include "plots/docranges.h"

#include "compiler/support.h"
#include "document/cfanalysis.h"
#include "expr/runvars.h"
#include "plots/g2ddoc.h"

namespace {

int dr_Kind(const CG2DDoc& document) {
    if (document.RunningKind >= 0) return document.RunningKind;
    return document.AnalysisKind;
}

}  // namespace

FitContext FitContextOf(CG2DDoc& document) {
    FitContext context;
    context.Store = &document.Store;
    context.Runs = &document.Runs;
    context.DocumentKind = kDocument2D;
    context.RunActive = document.Run.Running != 0;
    context.RunPaused = document.Run.Paused != 0;
    context.RunFailed = document.Run.RunFailed != 0;
    context.ProbeMode = document.ProbeMode != 0;
    context.Gmin = GlobalSettings.gmin;
    context.Analysis = CurrentAnalysisRanges();
    context.Analysis.ProbeMode = context.ProbeMode;
    const int kind = dr_Kind(document);
    if (kind >= 0 && kind < kPlotKindCount) context.Analysis.Kind = kind;
    if (AnalysisKindSettings* settings = kind >= 0 && kind < kPlotKindCount ? document.KindSettings(kind) : nullptr) {
        context.Rows = settings;
        context.Analysis.Rows = settings;
        context.GridDivisions[kAxisX] = settings->window.gridsX;
        context.GridDivisions[kAxisY] = settings->window.gridsY;
        context.SameYScales = settings->window.sameYScales != 0;
        context.FftIncludeDC = settings->fft.includeDCHarmonic != 0;
        if (settings->fft.autoScaleHarmonics && *settings->fft.autoScaleHarmonics) {
            int error = 0;
            const double harmonics = EvaluateNumericText(settings->fft.autoScaleHarmonics, &error, 0);
            if (!error && harmonics > 0 && harmonics < 1e9) context.FftHarmonics = static_cast<int>(harmonics);
        }
    }
    context.Analysis.Divisions[kAxisX] = context.GridDivisions[kAxisX];
    context.Analysis.Divisions[kAxisY] = context.GridDivisions[kAxisY];
    return context;
}

int AutoScaleDocument(CG2DDoc& document, bool force) {
    return FitRangesAfterRun(document.Curves, FitContextOf(document), force);
}

void AutoScaleDocumentNow(CG2DDoc& document, bool applyFormats) {
    const FitContext context = FitContextOf(document);
    int scaleAxis[2] = {1, 1};
    const int kind = dr_Kind(document);
    if (const AnalysisKindSettings* settings =
            kind >= 0 && kind < kPlotKindCount ? document.KindSettings(kind) : nullptr) {
        scaleAxis[kAxisX] = settings->window.enableXScaling;
        scaleAxis[kAxisY] = settings->window.enableYScaling;
    }
    FitRangesNow(document.Curves, context, document.CurrentCurve, scaleAxis, applyFormats);
}
