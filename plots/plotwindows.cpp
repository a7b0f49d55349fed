#include "plots/plotwindows.h"

#include "analysis/start.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "expr/fftstore.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"

namespace {

class pw_AnalysisWindows final : public AnalysisWindowPort {
public:
    int OpenAnalysisWindow(CCTDoc* document, int kind) override {
        CG2DDoc* plot = AnalysisDocumentOf(document);
        if (!plot) return kResultNoMemory;
        // The curves of another kind's analysis go when this one opens.
        if (plot->AnalysisKind != kind) plot->ClearCurves();
        plot->AnalysisKind = kind;
        plot->RunningKind = kind;
        // A kind shown for the first time starts with both grids, minor log
        // grids and the operating point, as transient does from the start.
        if (kind >= 0 && kind < kAnalysisKindCount && plot->ViewOptions[kind] == 0)
            plot->ViewOptions[kind] = kDefaultViewOptions;
        CurrentRunContext().analysisDocument = plot;
        // With a main window the plot window opens; headless runs have none.
        return ::OpenAnalysisWindow(*plot, kind);
    }
    void CloseAnalysisWindow(CCTDoc* document) override {
        auto* plot = document ? dynamic_cast<CG2DDoc*>(document->analysisDocument) : nullptr;
        if (!plot) return;
        ::CloseAnalysisWindow(*plot);
        // The document stays with its circuit; its curves and data go.
        plot->ReleaseForClose();
        plot->ClearCurves();
    }
};

class pw_AnalysisDocuments final : public AnalysisDocumentPort {
public:
    bool AttachAnalysisDocument(CCTDoc* document) override { return AnalysisDocumentOf(document) != nullptr; }
    void ForEachAnalysisText(CCirDoc* document, const std::function<void(char** text)>& visit) override {
        AnalysisSettings* settings = CircuitAnalysisSettings(document);
        if (!settings) return;
        for (AnalysisKindSettings& kind : settings->kinds) {
            for (char*& text : kind.limits) visit(&text);
            for (auto& row : kind.curves) {
                visit(&row->xExpression);
                visit(&row->yExpression);
            }
            for (StepVariable& step : kind.steps) visit(&step.texts[0]);
        }
    }
};

pw_AnalysisWindows pw_windows;
pw_AnalysisDocuments pw_documents;

}  // namespace

void InstallPlotWindows() {
    RegisterAnalysisWindowTemplate();
    InstallAnalysisWindows(&pw_windows);
    InstallAnalysisDocuments(&pw_documents);
    InstallFFTOperandStores();
}
