#include "plots/g2dview.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "analysis/start.h"
#include "compiler/session.h"
#include "core/cmdline.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "platform/app.h"
#include "platform/print.h"
#include "plots/g2ddoc.h"
#include "shell/app.h"
#include "shell/mainframe.h"

namespace {

const MessageRow kWindowMessageRows[] = {
    {kMsgPausedHint, "Hit Ctrl+SPACE to continue."},
    {kMsgPlotFileNotOurs, "%EThe file %s was not written by Tarnwick and is kept; the plot was not printed."},
};

// The placement record of the kind for the normal or the probe layout.
WindowPlacement* gv_StoredPlacement(CG2DDoc& document, int kind) {
    AnalysisKindSettings* settings = kind >= 0 && kind < kPlotKindCount ? document.KindSettings(kind) : nullptr;
    if (!settings) return nullptr;
    return document.ProbeMode ? &settings->probePlacement : &settings->window.placement;
}

// A PDF this program wrote names it as its creator; Qt writes the info
// strings in UTF-16, so the name is looked for in both forms.
bool gv_WrittenByUs(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.compare(0, 5, "%PDF-") != 0) return false;
    if (bytes.find("Tarnwick") != std::string::npos) return true;
    const std::string wide("\0T\0a\0r\0n\0w\0i\0c\0k", 16);
    if (bytes.find(wide) != std::string::npos) return true;
    // Hex-encoded UTF-16 (<FEFF0054...>).
    return bytes.find("005400610072006E007700690063006B") != std::string::npos ||
           bytes.find("005400610072006e007700690063006b") != std::string::npos;
}

std::string gv_Title(int kind) {
    const char* text = kind >= 0 && kind <= 3 ? GetMessageText(kMsgAnalysisTitleFirst + kind) : nullptr;
    return text && *text ? text : "Analysis";
}

class gv_NoNumericOutputWindows final : public NumericOutputWindowPort {
public:
    int ShowNumericOutput(const std::string&, const FontSpec&, bool) override { return kResultNotBuilt; }
};
gv_NoNumericOutputWindows gv_noNumericOutput;
NumericOutputWindowPort* gv_numericOutput = &gv_noNumericOutput;

}  // namespace

NumericOutputWindowPort& NumericOutputWindows() { return *gv_numericOutput; }

NumericOutputWindowPort* InstallNumericOutputWindows(NumericOutputWindowPort* port) {
    NumericOutputWindowPort* previous = gv_numericOutput;
    gv_numericOutput = port ? port : &gv_noNumericOutput;
    return previous == &gv_noNumericOutput ? nullptr : previous;
}

void RegisterAnalysisWindowMessages() {
    RegisterMessages(kWindowMessageRows, static_cast<int>(sizeof kWindowMessageRows / sizeof kWindowMessageRows[0]));
}

// ---- the view -----------------------------------------------------------------------------------

CG2DView::CG2DView() : CAPView(kDocAnalysisPlot) {}

CG2DDoc* CG2DView::Document2D() const { return dynamic_cast<CG2DDoc*>(GetDocument()); }

void CG2DView::OnDraw(platform::DrawSurface& surface) {
    const CG2DDoc* doc = Document2D();
    if (doc && doc->ProbeMode == 1) return;
    CAPView::OnDraw(surface);
}

void CG2DView::OnRun() {
    CG2DDoc* doc = Document2D();
    if (!doc || doc->Run.Paused || doc->AnalysisKind < 0) return;
    DiscardTrackerBackgrounds();
    // Probe runs start from the probe's own commands.
    if (doc->ProbeMode || doc->Run.Running) return;
    CCTDoc* circuit = doc->Circuit();
    if (!circuit || !CurrentAnalysis() || CurrentAnalysis()->document != circuit) return;
    RunStateValues& state = RunState();
    state.running = true;
    RunOpenAnalysis(circuit);
    state.running = false;
    Invalidate();
}

void CG2DView::OnPause() {
    CG2DDoc* doc = Document2D();
    if (!doc) return;
    if (doc->Run.Paused) {
        doc->Run.Paused = 0;
        RunState().paused = false;
        return;
    }
    if (!doc->Run.Running) return;
    // Nothing holds a batch or probe run.
    if (BatchMode() || doc->ProbeMode) return;
    doc->Run.Paused = 1;
    RunState().paused = true;
    if (CMainFrame* main = GetMainFrame()) main->SetRunStateTextById(kMsgPausedHint);
    if (platform::Application* app = platform::Application::Instance()) {
        auto done = [doc] { return !doc->Run.Paused || doc->Run.PausedCloseRequest; };
        while (!done()) app->RunUntil(done, 100);
    }
    const bool close = doc->Run.PausedCloseRequest != 0;
    doc->Run.PausedCloseRequest = 0;
    doc->Run.Paused = 0;
    RunState().paused = false;
    if (CMainFrame* main = GetMainFrame()) main->UpdateRunStateText();
    // The close asked for during the pause: the run stops and the window
    // closes after its end steps.
    if (close && frame) frame->Close();
}

void CG2DView::OnStop() {
    CG2DDoc* doc = Document2D();
    if (!doc) return;
    doc->Run.Paused = 0;
    RunState().paused = false;
    if (doc->Run.Running) {
        doc->Run.AbortRequested = 1;
        doc->Run.LastRunKey = 27;
    }
}

bool CG2DView::NumericOutputAvailable() const {
    const CG2DDoc* doc = Document2D();
    if (!doc || doc->AnalysisKind < 0 || doc->Run.Running || doc->Run.Paused) return false;
    if (RunState().dynamicAnalysis != -1) return false;
    CCTDoc* circuit = doc->Circuit();
    if (!circuit || !CurrentAnalysis() || CurrentAnalysis()->document != circuit) return false;
    const CircuitModels* models = GetCircuitModels(circuit);
    return doc->PlottedCount > 0 || (models && models->Notes.Count > 0);
}

void CG2DView::OpenNumericOutput() {
    CG2DDoc* doc = Document2D();
    const int kind = doc ? doc->AnalysisKind : -1;
    if (kind < 0 || kind >= kPlotKindCount) return;
    CCTDoc* circuit = doc->Circuit();
    if (!circuit) return;
    const AnalysisKindSettings* settings = doc->KindSettings(kind);
    const FontSpec font = settings ? settings->numOutFont : FontSpec();
    const int code =
        NumericOutputWindows().ShowNumericOutput(NumericOutputPath(circuit, kind), font, doc->ProbeMode != 0);
    if (code && code != kResultShown) Reporter().Report(MessageRequest(code));
}

void CG2DView::PrepareClose(bool endAnalysis) {
    CG2DDoc* doc = Document2D();
    if (!doc) return;
    if (WindowPlacement* stored = gv_StoredPlacement(*doc, doc->AnalysisKind)) {
        platform::Placement placement;
        GetFramePlacement(&placement);
        *stored = FromPlatformPlacement(placement);
    }
    CCTDoc* circuit = doc->Circuit();
    if (CMDIView* circuitView = circuit ? circuit->MainView() : nullptr) {
        platform::Placement placement;
        circuitView->GetFramePlacement(&placement);
        (doc->ProbeMode ? circuit->probePlacement : circuit->analysisPlacement) = FromPlatformPlacement(placement);
    }
    doc->ReleaseForClose();
    RestoreMainMenus();
    DiscardTrackerBackgrounds();
    doc->KeepOnWindowClose = true;
    DocumentList().RemoveDocument(doc);
    if (doc->PlotView == this) doc->PlotView = nullptr;
    RunContext& rc = CurrentRunContext();
    if (rc.analysisView == this) rc.analysisView = nullptr;
    if (!endAnalysis) return;
    if (circuit && CurrentAnalysis() && CurrentAnalysis()->document == circuit) CloseAnalysis(circuit);
}

void CG2DView::InstallAnalysisMenus(int kind) {
    CMainFrame* main = GetMainFrame();
    if (!main) return;
    ::InstallAnalysisMenus(main->MainMenu(), kind, savedMenus_);
    main->RefreshMenuBar();
}

void CG2DView::RestoreMainMenus() {
    CMainFrame* main = GetMainFrame();
    if (!main || !savedMenus_.installed) return;
    ::RestoreMainMenus(main->MainMenu(), savedMenus_);
    main->RefreshMenuBar();
}

void CG2DView::OnDestroy() {
    // A window that goes with its circuit leaves the menu bar as it found it.
    RestoreMainMenus();
    CAPView::OnDestroy();
}

bool CG2DView::OnCommand(int id) {
    CG2DDoc* doc = Document2D();
    switch (id) {
    case kCmdRunAnalysis: OnRun(); return true;
    case kCmdPauseAnalysis: OnPause(); return true;
    case kCmdContinueAnalysis:
        if (doc) doc->Run.Paused = 0;
        RunState().paused = false;
        return true;
    case kCmdStopAnalysis: OnStop(); return true;
    case kCmdPrintValues:
        if (doc) doc->PrintValues = !doc->PrintValues;
        return true;
    case kCmdNumericOutput: OpenNumericOutput(); return true;
    default: break;
    }
    return CAPView::OnCommand(id);
}

bool CG2DView::OnUpdateCommand(platform::CommandState& state) {
    const CG2DDoc* doc = Document2D();
    const bool running = doc && doc->Run.Running;
    const bool paused = doc && doc->Run.Paused;
    switch (state.Id()) {
    case kCmdRunAnalysis: state.Enable(doc && doc->AnalysisKind >= 0 && !running && !paused); return true;
    case kCmdPauseAnalysis:
        state.Enable(running || paused);
        state.Check(paused);
        return true;
    case kCmdContinueAnalysis: state.Enable(paused); return true;
    case kCmdStopAnalysis: state.Enable(running && doc->ProbeMode == 0); return true;
    case kCmdPrintValues:
        state.Enable(true);
        state.Check(doc && doc->PrintValues);
        return true;
    case kCmdNumericOutput: state.Enable(NumericOutputAvailable()); return true;
    default: break;
    }
    return CAPView::OnUpdateCommand(state);
}

// ---- the frame ----------------------------------------------------------------------------------

bool CG2DFrame::OnClose() {
    auto* plotView = dynamic_cast<CG2DView*>(view);
    CG2DDoc* doc = plotView ? plotView->Document2D() : nullptr;
    if (!doc) return true;
    if (!closingFromAnalysis) {
        if (doc->Run.Paused) {
            doc->Run.PausedCloseRequest = 1;
            return false;
        }
        if (doc->Run.Running) {
            // The run stops at its next point; its end steps post the close again.
            doc->Run.AbortRequested = 1;
            doc->Run.LastRunKey = 27;
            doc->Run.CloseAfterRun = 1;
            return false;
        }
    }
    const bool endAnalysis = !closingFromAnalysis;
    // Ending the analysis asks the window to close: it is closing already.
    closingFromAnalysis = true;
    plotView->PrepareClose(endAnalysis);
    return true;
}

// ---- opening and closing ------------------------------------------------------------------------

int OpenAnalysisWindow(CG2DDoc& document, int kind) {
    if (!GetDocumentHost() || kind < 0 || kind > 3) return 0;
    RunContext& rc = CurrentRunContext();
    if (CMDIView* open = document.MainView()) {
        rc.analysisView = open;
        if (open->frame) {
            if (!open->frame->IsVisible()) open->frame->Show(platform::show::Normal);
            open->frame->Activate();
        }
        return 0;
    }
    CMDIView* view = document.OpenFrame(gv_Title(kind).c_str());
    if (!view) return kResultNoMemory;
    rc.analysisView = view;
    document.PlotView = view;
    document.Run.CloseAfterRun = 0;
    document.Run.PausedCloseRequest = 0;
    if (auto* plotView = dynamic_cast<CG2DView*>(view)) plotView->InstallAnalysisMenus(kind);
    // The circuit window takes the place it had the last time an analysis
    // was shown, then the plot window its own.
    CCTDoc* circuit = document.Circuit();
    if (CMDIView* circuitView = circuit ? circuit->MainView() : nullptr) {
        const WindowPlacement& place = document.ProbeMode ? circuit->probePlacement : circuit->analysisPlacement;
        if (place.length == kPlacementLength) circuitView->ApplyFramePlacement(ToPlatformPlacement(place));
    }
    const WindowPlacement* stored = gv_StoredPlacement(document, kind);
    view->ApplyFramePlacement(stored ? ToPlatformPlacement(*stored) : platform::Placement{});
    if (view->frame && !view->frame->IsVisible()) view->frame->Show(platform::show::Normal);
    if (view->frame) view->frame->Activate();
    view->SetMode(viewcmd::ModeSelect);
    if (CMDIView* circuitView = document.Circuit() ? document.Circuit()->MainView() : nullptr)
        circuitView->SetMode(viewcmd::ModeSelect);
    return 0;
}

void CloseAnalysisWindow(CG2DDoc& document) {
    CMDIView* view = document.MainView();
    auto* frame = view ? dynamic_cast<CG2DFrame*>(view->frame) : nullptr;
    // A window that closes already is the one that asked.
    if (!frame || frame->closingFromAnalysis) return;
    frame->closingFromAnalysis = true;
    frame->Close();
}

void RegisterAnalysisWindowTemplate() {
    RegisterDocumentTemplate(MakeDocumentTemplate<CG2DDoc, CG2DFrame, CG2DView>(kDocAnalysisPlot));
}

// ---- the plot on paper --------------------------------------------------------------------------

int WritePlotPdf(CG2DDoc& document, const std::string& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error) && !gv_WrittenByUs(path)) {
        Reporter().Report(MessageRequest(kMsgPlotFileNotOurs).Args(path.c_str()));
        return kResultShown;
    }
    // A window to draw through: the open one, or a hidden one for the print.
    CMDIView* open = document.MainView();
    auto* view = dynamic_cast<CAPView*>(open);
    bool hidden = false;
    if (!view) {
        if (!GetDocumentHost()) {
            Reporter().Report(MessageRequest(kResultNotBuilt));
            return kResultShown;
        }
        view = dynamic_cast<CAPView*>(document.OpenFrame(gv_Title(document.AnalysisKind).c_str()));
        if (!view) {
            Reporter().Report(MessageRequest(kResultNoMemory));
            return kResultShown;
        }
        hidden = true;
    }
    // The new file replaces the old one only when it is complete.
    const std::string partial = path + ".part";
    platform::PageSetup setup;
    setup.landscape = true;
    setup.marginMm = 10;
    setup.title = document.Title.empty() ? gv_Title(document.AnalysisKind) : document.Title;
    platform::PdfDocument pdf;
    int result = 0;
    if (!pdf.Open(partial, setup)) {
        result = 15008;
    } else {
        CDrawContext dc(&pdf.Page());
        view->RedrawAll(dc);
        if (!pdf.End()) result = 15008;
    }
    if (!result) {
        std::filesystem::rename(partial, path, error);
        if (error) result = 15008;
    }
    if (result) {
        std::filesystem::remove(partial, error);
        Reporter().Report(MessageRequest(result).Args(path.c_str()));
        result = kResultShown;
    }
    if (hidden) view->CloseKeepDocument();
    return result;
}

int PrintAnalysisPlot(CCTDoc* circuit) {
    CG2DDoc* document = AnalysisDocumentOf(circuit);
    if (!document || !circuit->PathName()[0]) {
        Reporter().Report(MessageRequest(kResultNotBuilt));
        return kResultShown;
    }
    std::filesystem::path path(circuit->PathName());
    path.replace_extension(".pdf");
    return WritePlotPdf(*document, path.string());
}
