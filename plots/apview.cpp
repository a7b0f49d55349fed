#include "plots/apview.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/services.h"
#include "document/cfanalysis.h"
#include "platform/app.h"
#include "plots/cursordisplay.h"
#include "plots/curvedraw.h"
#include "plots/curvepopup.h"
#include "plots/g2ddoc.h"
#include "plots/layout.h"
#include "plots/plotcursorview.h"
#include "plots/plotframe.h"
#include "plots/plotobjects.h"
#include "plots/smith.h"
#include "plots/tagcommands.h"
#include "plots/thumbwindow.h"
#include "shell/app.h"
#include "shell/preferences.h"

namespace {

constexpr int kEscape = 27;
// The least time between two services of a window while a run adds points,
// and how many times the last service's own time must pass before the next:
// a plot that grows slow to draw is drawn less often, so drawing takes at
// most about a tenth of the run.
constexpr double kRunRefreshSeconds = 0.1;
constexpr double kRunRefreshCostFactor = 9;

// The kind whose settings a document shows.
int ap_ShownKind(const CG2DDoc& document) {
    return document.RunningKind >= 0 ? document.RunningKind : document.AnalysisKind;
}

}  // namespace

int32_t ViewOptionBit(int command) {
    if (command == kCmdViewBaseline) return 0x10000;
    if (command >= kCmdViewDataPoints && command < kCmdViewBaseline) return 1 << (command - kCmdViewDataPoints);
    return 0;
}

PlotWindowSettings* PlotSettingsOf(CAPDoc* document) {
    auto* plot = dynamic_cast<CG2DDoc*>(document);
    if (!plot) return nullptr;
    const int kind = ap_ShownKind(*plot);
    AnalysisKindSettings* settings = kind >= 0 && kind < kPlotKindCount ? plot->KindSettings(kind) : nullptr;
    return settings ? &settings->window : nullptr;
}

CAPView::CAPView(int kind) : CANView(kind) {}

CAPView::~CAPView() = default;

CAPDoc* CAPView::PlotDocument() const { return dynamic_cast<CAPDoc*>(GetDocument()); }

void CAPView::OnCreate() {
    CANView::OnCreate();
    if (CDoc* doc = GetDocument()) doc->flags |= 0x180;
    // The view's table holds the analysis and document keys too: key presses
    // reach the view, and the application's own tables do not carry them.
    keys_ = PlotViewKeys();
    SetAccelerators(&keys_);
}

void CAPView::OnSize(int width, int height) {
    DiscardTrackerBackgrounds();
    // The cached polylines were drawn for the old size.
    if (CAPDoc* doc = PlotDocument(); doc && kind != kDocThumbnail) doc->FreeRunTables();
    CANView::OnSize(width, height);
    Invalidate();
}

void CAPView::OnDraw(platform::DrawSurface& surface) {
    CAPDoc* doc = PlotDocument();
    if (!doc) return;
    CDrawContext dc(&surface);
    if (doc->modeCommand != kCmdModeCursor) DiscardTrackerBackgrounds();
    if (doc->CurveCount() > 0 && !doc->Curves[0].RunFirst.empty() && !IsOtherChildMaximized()) {
        Redrawing = 1;
        RedrawAll(dc);
        Redrawing = 0;
        Trackers = TrackerLookFor(dc);
        ShowCursorOverlay(*this);
        ++PlotPaints;
        if (doc->Run.Running) ++PlotPaintsDuringRun;
        if (kind != kDocThumbnail) RefreshThumbnail(false);
    }
    doc->RedrawRect = platform::Rect{0, 0, 0, 0};
}

PlotViewInfo CAPView::MakeViewInfo(CDrawContext& dc) const {
    PlotViewInfo info;
    CAPDoc* doc = PlotDocument();
    if (!doc) return info;
    GetDrawArea(&dc, &info.DrawArea);
    info.ViewKind = kind;
    info.DocumentKind = doc->Kind();
    info.CursorMode = doc->modeCommand == kCmdModeCursor;
    info.Display = dc.technology == platform::kTechRasterDisplay;
    info.CurrentCurve = doc->CurrentCurve;
    info.TextColor = Prefs().analysisPlot.text.color;
    if (std::optional<std::string> title = doc->FormatTitle(1)) info.Title = *title;
    auto* plot = dynamic_cast<CG2DDoc*>(doc);
    info.ProbeMode = plot && plot->ProbeMode != 0;
    const int shown = plot ? ap_ShownKind(*plot) : doc->AnalysisKind;
    if (shown >= 0 && shown < kAnalysisKindCount) info.ViewOptions = doc->ViewOptions[shown];
    info.Tokens = (info.ViewOptions & ViewOptionBit(kCmdViewTokens)) != 0;
    // A circuit that keeps no plot settings of the kind shows the defaults.
    const AnalysisKindSettings* kindSettings =
        plot && shown >= 0 && shown < kPlotKindCount ? plot->KindSettings(shown) : nullptr;
    if (const PlotWindowSettings* settings = PlotSettingsOf(doc)) {
        info.PlusMark = settings->plusMark;
        info.MinorLogGrids25 = settings->minorLog25;
        info.LabelAllMinorGrids = settings->labelMinor;
        info.GridByDivisions = settings->staticGrids;
        info.SameYScales = settings->sameYScales;
        if (settings->gridsX > 0) doc->Layout.GridDivisions[kAxisX] = settings->gridsX;
        if (settings->gridsY > 0) doc->Layout.GridDivisions[kAxisY] = settings->gridsY;
        if (kindSettings && kindSettings->present) {
            info.TextColor = settings->font.color;
            info.GridColor = settings->gridColor;
            info.BackgroundColor = settings->graphBackground;
            info.BaselineColor = settings->baselineColor;
            info.GridWidth = settings->gridWeight;
            info.GridPattern = settings->gridPattern;
            doc->Layout.Font = settings->font;
        }
    }
    // Paper without colour output still shows the curves in their colours:
    // only a monochrome device draws grid and baseline in black.
    info.MonochromePrint = !info.Display && dc.monochrome != 0;
    return info;
}

void CAPView::RedrawAll(CDrawContext& dc) {
    CAPDoc* doc = PlotDocument();
    if (!doc || doc->PlottedCount == 0) return;
    const PlotViewInfo info = MakeViewInfo(dc);
    auto* analysis = dynamic_cast<CG2DDoc*>(doc);
    PrepareComplexPlanes(*doc, analysis && analysis->RunFinished);
    if (DrawPlotFrame(dc, doc->Curves, doc->Layout, info)) return;
    DrawComplexPlaneGrids(dc, *doc, info, !info.Display);
    if (info.CursorMode) {
        DrawCursorHeadings(dc, *doc, doc->Layout.LineHeight,
                           info.CursorColumnWidth > 0 ? info.CursorColumnWidth : dc.GetTextWidth("0") * 17);
        // The readouts under the headings: the values at both cursors and
        // their difference, for every curve.
        RedrawScales(dc, doc->Curves, doc->Layout, info, true, -1);
    }
    CurveDrawView curves;
    curves.View = this;
    curves.ViewKind = kind;
    curves.CursorMode = info.CursorMode;
    curves.BackgroundColor = info.BackgroundColor;
    curves.RightDrag = rightDrag;
    PlotAllCurves(dc, *doc, curves, -1);
    // The overview shows only the curves.
    if (kind != kDocThumbnail) DrawPlotGraphics(*this, dc, -1);
    if (info.CursorMode && !info.Display) DrawCursorsOnPaper(*this, dc);
}

TrackerLook CAPView::TrackerLookFor(CDrawContext& dc) const {
    TrackerLook look;
    CAPDoc* doc = PlotDocument();
    const PlotWindowSettings* settings = PlotSettingsOf(doc);
    if (!doc || !settings) return look;
    const PlotCurve* current = doc->CurrentCurve >= 0 && doc->CurrentCurve < doc->CurveCount()
                                   ? &doc->Curves[static_cast<size_t>(doc->CurrentCurve)]
                                   : nullptr;
    look.Font = CreateScaledFont(dc, settings->trackerFont, false, current);
    look.Ink = dc.GetColorValue(settings->trackerFont.color);
    look.Fill = dc.GetColorValue(settings->trackerBackground);
    // Settings never chosen give the same colour for both: the text would vanish.
    if (look.Ink == look.Fill) {
        look.Ink = platform::MakeColor(0, 0, 0);
        look.Fill = platform::MakeColor(255, 255, 255);
    }
    return look;
}

void CAPView::ServiceRun() {
    CAPDoc* doc = PlotDocument();
    if (!doc || !Exists()) return;
    const double now = GetSeconds();
    const bool newRun = refreshedRun_ != doc->Run.RunCounter;
    if (!newRun && now - lastRunRefresh_ < std::max(kRunRefreshSeconds, kRunRefreshCostFactor * lastRunCost_)) return;
    refreshedRun_ = doc->Run.RunCounter;
    auto* plot = dynamic_cast<CG2DDoc*>(doc);
    // The pumps below let the event loop paint it.
    if (!doc->NoDrawing && !(plot && plot->PlotSuppressed)) Invalidate();
    platform::Application* app = platform::Application::Instance();
    if (!app) return;
    // The queue is served the way a run polls its keys: Esc stops the run,
    // P switches Print values; posted commands and closes are handled here.
    // Events posted before a repaint may wait for the pass after it, so the
    // queue is served twice. The documents stay open meanwhile: the run is
    // using its circuit (the plot window's own close stops the run first).
    RunStateValues& state = RunState();
    void* const held = state.menuLock;
    if (!held) state.menuLock = this;
    for (int pass = 0; pass < 2; ++pass) {
        for (int key = app->PumpEventsForKey(); key; key = app->PumpEventsForKey()) {
            if (key == kEscape) {
                doc->Run.AbortRequested = 1;
                doc->Run.LastRunKey = kEscape;
            } else if (key == 'P' && plot) {
                plot->PrintValues = !plot->PrintValues;
            }
        }
    }
    state.menuLock = held;
    lastRunRefresh_ = GetSeconds();
    lastRunCost_ = lastRunRefresh_ - now;
}

void CAPView::OnViewOption(int command) {
    CAPDoc* doc = PlotDocument();
    if (!doc) return;
    PlotWindowSettings* settings = PlotSettingsOf(doc);
    auto* plot = dynamic_cast<CG2DDoc*>(doc);
    const int kind = plot ? ap_ShownKind(*plot) : doc->AnalysisKind;
    int32_t* options = kind >= 0 && kind < kAnalysisKindCount ? &doc->ViewOptions[kind] : nullptr;
    auto setBit = [&](int cmd, bool on) {
        if (!options) return;
        const int32_t bit = ViewOptionBit(cmd);
        *options = on ? (*options | bit) : (*options & ~bit);
    };
    auto bitOn = [&](int cmd) { return options && (*options & ViewOptionBit(cmd)) != 0; };
    switch (command) {
    case kCmdViewPlusMark:
        if (!settings) return;
        settings->plusMark = !settings->plusMark;
        if (settings->plusMark) setBit(kCmdViewRuler, false);
        break;
    case kCmdViewMinorLogGrids25:
        if (!settings) return;
        settings->minorLog25 = !settings->minorLog25;
        if (settings->minorLog25) setBit(kCmdViewMinorLogGrids, false);
        break;
    case kCmdViewLabelAllMinorGrids:
        if (!settings) return;
        settings->labelMinor = !settings->labelMinor;
        break;
    default: {
        const bool on = !bitOn(command);
        setBit(command, on);
        if (on && command == kCmdViewRuler && settings) settings->plusMark = 0;
        if (on && command == kCmdViewMinorLogGrids && settings) settings->minorLog25 = 0;
        break;
    }
    }
    DiscardTrackerBackgrounds();
    Invalidate();
}

bool CAPView::OnCommand(int id) {
    CAPDoc* doc = PlotDocument();
    PlotWindowSettings* settings = PlotSettingsOf(doc);
    auto toggle = [&](int32_t& field) {
        field = !field;
        DiscardTrackerBackgrounds();
        Invalidate();
        return true;
    };
    if (id >= kCmdViewDataPoints && id <= kCmdViewLabelAllMinorGrids) {
        OnViewOption(id);
        return true;
    }
    if (HandlePlotViewCommand(*this, id)) return true;
    if (HandleTagCommand(*this, id)) return true;
    if (id == kCmdThumbnail) {
        ToggleThumbnail();
        return true;
    }
    if (settings) {
        switch (id) {
        case kCmdTrackerCursor: return toggle(settings->trackerCursor);
        case kCmdTrackerIntercept: return toggle(settings->trackerIntercept);
        case kCmdTrackerMouse: return toggle(settings->trackerMouse);
        case kCmdHorizontalCursor: return toggle(settings->horizontalCursor);
        case kCmdEnableXScaling: return toggle(settings->enableXScaling);
        case kCmdEnableYScaling: return toggle(settings->enableYScaling);
        case kCmdKeepXScalesSame: return toggle(settings->keepXScales);
        case kCmdSameYScales:
            settings->sameYScales = !settings->sameYScales;
            // The cached polylines were drawn with the old Y ranges.
            if (doc) doc->FreeRunTables();
            Invalidate();
            return true;
        default: break;
        }
    }
    return CANView::OnCommand(id);
}

bool CAPView::OnUpdateCommand(platform::CommandState& state) {
    const int id = state.Id();
    CAPDoc* doc = PlotDocument();
    PlotWindowSettings* settings = PlotSettingsOf(doc);
    const bool hasData = doc && doc->HasData();
    if (UpdatePlotViewCommand(*this, state)) return true;
    if (UpdateTagCommand(*this, state)) return true;
    if (id == kCmdThumbnail) {
        UpdateThumbnailCommand(state);
        return true;
    }
    if (id >= kCmdViewDataPoints && id <= kCmdViewLabelAllMinorGrids) {
        state.Enable(DataIdle());
        auto* plot = dynamic_cast<CG2DDoc*>(doc);
        const int kind = plot ? ap_ShownKind(*plot) : (doc ? doc->AnalysisKind : -1);
        bool checked = false;
        if (id == kCmdViewPlusMark)
            checked = settings && settings->plusMark;
        else if (id == kCmdViewMinorLogGrids25)
            checked = settings && settings->minorLog25;
        else if (id == kCmdViewLabelAllMinorGrids)
            checked = settings && settings->labelMinor;
        else
            checked = doc && kind >= 0 && kind < kAnalysisKindCount && (doc->ViewOptions[kind] & ViewOptionBit(id));
        state.Check(checked);
        return true;
    }
    auto show = [&](bool enabled, int32_t field) {
        state.Enable(enabled);
        state.Check(field != 0);
        return true;
    };
    if (settings) {
        switch (id) {
        case kCmdTrackerCursor: return show(hasData, settings->trackerCursor);
        case kCmdTrackerIntercept: return show(hasData, settings->trackerIntercept);
        case kCmdTrackerMouse: return show(hasData, settings->trackerMouse);
        case kCmdHorizontalCursor: return show(DataIdle(), settings->horizontalCursor);
        case kCmdSameYScales: return show(true, settings->sameYScales);
        case kCmdEnableXScaling: return show(true, settings->enableXScaling);
        case kCmdEnableYScaling: return show(true, settings->enableYScaling);
        case kCmdKeepXScalesSame: return show(true, settings->keepXScales);
        default: break;
        }
    }
    return CANView::OnUpdateCommand(state);
}

void CAPView::OnMouseDown(platform::MouseButton button, platform::Point p, unsigned keyFlags) {
    CAPDoc* doc = PlotDocument();
    // The run's own drawing is not disturbed, and a window without curves
    // has nothing to point at.
    if (!doc || RunBusy() || doc->PlottedCount == 0) return;
    if (button == platform::MouseButton::Right && CurveLabelPopup(*this, p)) return;
    if (PlotViewCursorClick(*this, button, p, keyFlags)) return;
    if (ScaleTrackerMouseDown(*this, scaleDrag_, button, p, keyFlags)) return;
    if (TagTrackerMouseDown(*this, tagDrag_, button, p, keyFlags)) return;
    CANView::OnMouseDown(button, p, keyFlags);
}

void CAPView::OnMouseMove(platform::Point p, unsigned keyFlags) {
    CAPDoc* doc = PlotDocument();
    if (!doc || RunBusy() || doc->PlottedCount == 0) return;
    if (ScaleTrackerMouseMove(*this, scaleDrag_, p, keyFlags)) return;
    if (TagTrackerMouseMove(*this, tagDrag_, p, keyFlags)) return;
    CANView::OnMouseMove(p, keyFlags);
}

void CAPView::OnCaptureLost() {
    ScaleTrackerCancel(*this, scaleDrag_);
    TagTrackerCancel(*this, tagDrag_);
    CANView::OnCaptureLost();
}

void CAPView::OnMouseUp(platform::MouseButton button, platform::Point p, unsigned keyFlags) {
    CAPDoc* doc = PlotDocument();
    if (!doc || RunBusy() || doc->PlottedCount == 0) {
        // A drag cut short by a run or by curves going leaves no band behind.
        ScaleTrackerCancel(*this, scaleDrag_);
        TagTrackerCancel(*this, tagDrag_);
        if (button == platform::MouseButton::Right) OnRButtonUp(keyFlags);
        return;
    }
    if (ScaleTrackerMouseUp(*this, scaleDrag_, button, p, keyFlags)) return;
    if (tagDrag_.Kind != 0 && button == platform::MouseButton::Left) {
        TagTrackerMouseUp(*this, tagDrag_, button, p, keyFlags);
        return;
    }
    CANView::OnMouseUp(button, p, keyFlags);
}

void CAPView::OnWheel(int delta, platform::Point p, unsigned keyFlags) {
    if (!PlotViewWheel(*this, delta, keyFlags)) CANView::OnWheel(delta, p, keyFlags);
}

void CAPView::OnDestroy() {
    ScaleTrackerCancel(*this, scaleDrag_);
    TagTrackerCancel(*this, tagDrag_);
    if (CAPDoc* doc = PlotDocument(); doc && doc->PlotView == this) doc->PlotView = nullptr;
    // The overview of a plot that closes goes with it.
    if (kind != kDocThumbnail) CloseThumbnailOf(PlotDocument());
    CANView::OnDestroy();
}

void ServicePlotWindowDuringRun(CAPDoc& document) {
    if (auto* view = dynamic_cast<CAPView*>(document.PlotView)) view->ServiceRun();
}
