// The distortion analysis of the 2D analysis document: the transient driver
// runs a whole number of periods of the fundamental, then each run's sampled
// waveform over its last period is turned into harmonic figures that take the
// place of the points the harmonic rows collected during the run.
#include <algorithm>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "compiler/compiled.h"
#include "core/properties.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "engine/distortion.h"
#include "plots/drivers.h"
#include "plots/g2ddoc.h"
#include "plots/labels.h"

namespace {

// The figures are kept up to the tenth harmonic (the rows' X range is 10 F).
constexpr int kDrHarmonics = 10;
constexpr int kDrWaveformRow = 3;

int dr_CurveOfRow(const CG2DDoc& document, int row) {
    for (int i = 0; i < document.CurveCount(); ++i)
        if (document.Curves[static_cast<size_t>(i)].RowIndex == row) return i;
    return -1;
}

bool dr_IsCaption(const PlotObject& object, const std::string& text, bool prefix) {
    if (object.type != kPlotLabelObject || !object.text) return false;
    const std::string label = object.text;
    return prefix ? label.compare(0, text.size(), text) == 0 : label == text;
}

// The caption of one row: an unplotted row loses its caption; a plotted one
// gets it centred over the top of its plot, in place of the captions of
// earlier runs with another output expression.
void dr_AddCaption(CG2DDoc& document, const AnalysisKindSettings& settings, int row) {
    static const char* const kLeads[] = {"Amplitude of", "Percent Distortion of", "Cumulative Percent Distortion of",
                                         "Sampled Waveform "};
    const std::string caption = DistortionCaption(settings, row);
    PlotObjectList& objects = document.Objects;
    const int c = dr_CurveOfRow(document, row);
    if (c < 0) {
        std::erase_if(objects, [&](const auto& o) { return o && dr_IsCaption(*o, caption, false); });
        return;
    }
    if (std::any_of(objects.begin(), objects.end(),
                    [&](const auto& o) { return o && dr_IsCaption(*o, caption, false); }))
        return;
    const std::string lead = std::string(kLeads[row]) + " ";
    std::erase_if(objects, [&](const auto& o) { return o && dr_IsCaption(*o, lead, true); });
    const PlotCurve& curve = document.Curves[static_cast<size_t>(c)];
    PlotObject* label = document.NewGraphicObject();
    if (!label) return;
    label->type = kPlotLabelObject;
    label->plot = c;
    label->alias1 = curve.CurveId;
    label->corners[0] = (curve.RangeLow[kAxisX] + curve.RangeHigh[kAxisX]) / 2;
    label->corners[1] = std::max(curve.RangeLow[kAxisY], curve.RangeHigh[kAxisY]);
    if (!SetString(&label->text, caption.c_str())) objects.pop_back();
}

}  // namespace

int RunDistortionDriver(CG2DDoc& document, OpenAnalysis& open) {
    AnalysisKindSettings* settings = document.KindSettings(kDistortionKind);
    CompiledCircuit* compiled = FindCompiledCircuit(document.Circuit());
    if (!settings || !compiled) {
        Reporter().Report(MessageRequest(kResultNotBuilt));
        return kResultShown;
    }
    document.DistortionFigures = HarmonicFigures();
    DistortionRunPlan plan;
    int code = SetUpDistortionRun(*settings, true, plan);
    if (code) {
        if (code != kResultShown) Reporter().Report(MessageRequest(code));
        return kResultShown;
    }
    DistortionAmplitudeStep step;
    int messageId = 0;
    code = SetUpDistortionInput(*settings, *compiled, step, messageId);
    if (code) {
        // The amplitude text is what is wrong: the field is named with it.
        ResetLimitErrors();
        if (messageId)
            ReportLimitFieldError(kDistortionKind, kDistAmplitude, messageId, settings->limits[kDistAmplitude]);
        return kResultShown;
    }
    code = RunTransientDriver(document, open, &plan);
    // The captions go where the finished run's ranges put the plots.
    if (code == 0)
        for (int row = 0; row <= kDrWaveformRow; ++row) dr_AddCaption(document, *settings, row);
    return code;
}

void CG2DDoc::FinishDistortionRun(const DistortionRunPlan& plan) {
    // The harmonic rows got their points from their Fourier expressions at
    // the end of each run; the figures of the waveform's last period stay at
    // hand for the readouts.
    const int waveform = dr_CurveOfRow(*this, kDrWaveformRow);
    if (waveform < 0) return;
    const PlotCurve& source = Curves[static_cast<size_t>(waveform)];
    const size_t runs = std::min<size_t>(static_cast<size_t>(std::max(Runs.Count, 0)), source.RunFirst.size());
    for (size_t run = 0; run < runs; ++run) {
        std::vector<double> times, values;
        for (int i = source.RunFirst[run]; i <= source.RunLast[run]; ++i) {
            times.push_back(GetValue(source.DataColumn[kSlotX], i));
            values.push_back(GetValue(source.DataColumn[kSlotY], i));
        }
        // A run stopped before its last period has no period to transform.
        if (times.empty() || times.back() < plan.tmax * (1 - 1e-9)) continue;
        HarmonicFigures figures = ComputeHarmonicFigures(times, values, plan.fftLow, plan.tmax, kDrHarmonics);
        if (!figures.amplitude.empty()) DistortionFigures = std::move(figures);
    }
}
