// The data-point label list of a curve row (read from circuit files) turned
// into labels over a curve of two stored runs.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "plots/g2ddoc.h"
#include "plots/labels.h"

namespace {

void FillTwoRuns(CG2DDoc& document) {
    document.Curves.resize(1);
    PlotCurve& curve = document.Curves[0];
    curve.UseFlags = kCurveDrawn;
    curve.PlotNumber = 1;
    StoreLayout layout;
    layout.RunsExpected = 2;
    document.Store.Prepare(document.Curves, document.Runs, layout);
    document.Store.Begin();
    int point = 0;
    for (int run = 0; run < 2; ++run) {
        document.Store.StartRun(document.Curves, document.Runs, RunRecord{});
        for (int x = 0; x < 8; ++x, ++point) {
            if (!document.Store.NextPointIndex(curve, document.Runs)) return;
            document.Store.SetValue(curve.DataColumn[kSlotX], point, x);
            document.Store.SetValue(curve.DataColumn[kSlotY], point, run * x);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n");
    if (size > 2048) return 0;
    const std::string text = fuzz::AsText(data, size);
    CG2DDoc document;
    FillTwoRuns(document);
    if (BuildDataPointLabels(document, 0, text) == 0) {
        const PlotCurve& curve = document.Curves[0];
        if (curve.LabelTexts.size() != size_t(curve.LabelCount)) __builtin_trap();
        for (const auto& run : curve.LabelPoints)
            if (run.size() != size_t(curve.LabelCount)) __builtin_trap();
    }
    return 0;
}
