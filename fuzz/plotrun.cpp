// A transient analysis of an arbitrary SPICE text run through the 2D analysis
// document: the curves built from its .PRINT and .PLOT rows, every accepted
// point evaluated and stored, the numeric output written, and the first line
// of the text expanded as a window caption. The time range is fixed at 1 us so
// that a run ends; questions are answered No.
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "devices/loads.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/plot_deck.h"
#include "platform/dialog.h"
#include "plots/g2ddoc.h"
#include "plots/plotwindows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string text = fuzz::AsText(data, size);
    fuzz::RunPlotDeck(text, [&](CCTDoc* document) {
        AnalysisStartMode hidden;
        hidden.hidden = true;
        SetAnalysisKind(0);
        if (RunAnalysis(document, 0, hidden) != 0) return;
        AnalysisKindSettings& limits = CircuitAnalysisSettings(document)->kinds[0];
        SetString(&limits.limits[0], "1u");
        SetString(&limits.limits[1], "0");
        SetString(&limits.limits[2], "51");
        SetString(&limits.limits[3], "27");
        RunOpenAnalysis(document);
        if (CG2DDoc* plot = AnalysisDocumentOf(document)) {
            plot->AutoTitle = 0;
            plot->Title = text.substr(0, text.find('\n'));
            plot->FormatTitle(size % 2);
            plot->BuildCaption(plot->Title, size % 3 == 0, size % 5 == 0);
        }
        CloseAnalysis(document);
    });
    return 0;
}
