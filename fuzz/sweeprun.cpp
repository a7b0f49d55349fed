// AC and DC sweeps of an arbitrary SPICE text run through the 2D analysis
// document, with limits typed by the user: the first line of the input is the
// AC Frequency Range, the second the DC Variable 1 Name and the third its
// Range; the rest is the deck. The step methods come from the input's size;
// the adaptive (Auto) methods are left out and a DC sweep of more than a few
// thousand points is skipped, so that every run ends.
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/limits.h"
#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/report_port.h"
#include "devices/loads.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/dcsweep.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/plot_deck.h"
#include "platform/dialog.h"
#include "plots/g2ddoc.h"
#include "plots/plotwindows.h"

namespace {

constexpr int kMaxDcPoints = 3000;

// Whether a Linear or Log sweep of the range stays within the bound (a List
// is as long as its text).
bool ShortSweep(const std::string& range, int method) {
    if (method == kDcMethodList) return true;
    LimitValues values;
    if (ParseLimitValues(range.c_str(), &values)) return true;  // refused before any point
    DcSweepVariable v;
    v.Method = method;
    if (SetSweepRange(v, 0, values.to, values.from, values.step) || CheckSweepRange(v)) return true;
    StartSweepVariable(v);
    for (int count = 0; count < kMaxDcPoints; ++count) {
        AdvanceSweepVariable(v);
        ClampSweepToEnd(v);
        if (!HasMoreSweepPoints(v)) return true;
    }
    return false;
}

void RunKind(CCTDoc* document, int kind, const std::string& name, const std::string& range, int method) {
    AnalysisStartMode hidden;
    hidden.hidden = true;
    SetAnalysisKind(kind);
    if (RunAnalysis(document, kind, hidden) != 0) return;
    AnalysisKindSettings& limits = CircuitAnalysisSettings(document)->kinds[kind];
    limits.sweepType = method;
    limits.sweep2Type = 0;
    if (kind == 1) {
        SetString(&limits.limits[0], range.c_str());
        SetString(&limits.limits[1], "51");
        SetString(&limits.limits[2], "27");
    } else {
        SetString(&limits.limits[2], range.c_str());
        SetString(&limits.limits[3], name.c_str());
        SetString(&limits.limits[5], "27");
    }
    RunOpenAnalysis(document);
    CloseAnalysis(document);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    std::string text = fuzz::AsText(data, size);
    const std::string acRange = fuzz::TakeLine(text);
    const std::string dcName = fuzz::TakeLine(text);
    const std::string dcRange = fuzz::TakeLine(text);
    fuzz::RunPlotDeck(text, [&](CCTDoc* document) {
        // Linear, Log or List for each kind.
        const int acMethod = 1 + static_cast<int>(size % 3);
        const int dcMethod = 1 + static_cast<int>((size / 3) % 3);
        RunKind(document, 1, "", acRange, acMethod);
        if (ShortSweep(dcRange, dcMethod)) RunKind(document, 2, dcName, dcRange, dcMethod);
    });
    return 0;
}
