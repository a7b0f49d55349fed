#include "plots/anview.h"

#include <algorithm>
#include <cmath>

#include "core/numbers.h"
#include "platform/app.h"
#include "plots/apdoc.h"
#include "plots/plotframe.h"
#include "shell/fonts.h"
#include "shell/mainframe.h"

namespace {

// Plot views: 2D analysis, filter response, attribute plot, performance, FFT.
bool av_IsPlotView(int kind) {
    return kind == kDocAnalysisPlot || kind == kDocFilter || kind == kDocCurvePlot || kind == kDocPerformance ||
           kind == kDocFFT;
}

bool av_OnDisplay(const CDrawContext& dc) { return dc.technology == platform::kTechRasterDisplay; }

}  // namespace

CANView::CANView(int kind) : CMDIView(kind) {}

CANView::~CANView() = default;

CANDoc* CANView::AnalysisDocument() const { return dynamic_cast<CANDoc*>(GetDocument()); }

bool CANView::RunBusy() const {
    const auto* plot = dynamic_cast<const CAPDoc*>(GetDocument());
    return plot && plot->Run.Running && !plot->Run.Paused;
}

bool CANView::DataIdle() const {
    const CANDoc* doc = AnalysisDocument();
    return doc && doc->HasData() && !RunBusy();
}

void CANView::Redraw(uint32_t flags) {
    if (!Exists()) return;
    if (flags & kRedrawPointObjects) drawsObjects_ = true;
    if (flags & kRedrawClearObjects) drawsObjects_ = false;
    if (flags & kRedrawWholeWindow) {
        platform::WaitCursor wait;
        Invalidate();
        Update();
        return;
    }
    // Windows draw while they paint: the plot is drawn at the next paint.
    Invalidate();
}

void CANView::SetMode(int command) {
    const bool plotView = av_IsPlotView(kind);
    switch (command) {
    case kCmdModeScale:
        if (kind == kDoc3DPlot) {
            CMDIView::SetMode(viewcmd::ModeSelect);
            return;
        }
        if (!plotView) return;
        break;
    case kCmdModeCursor:
        if (plotView) {
            // Cursors need a point to stand on.
            const CANDoc* doc = AnalysisDocument();
            if (doc && doc->CurveCount() > 0 && !doc->Curves[0].HasPoint()) return;
        } else if (kind != kDoc3DPlot) {
            return;
        }
        break;
    default: break;
    }
    const int before = GetDocument() ? GetDocument()->modeCommand : 0;
    CMDIView::SetMode(command);
    // Entering or leaving Cursor mode shows or hides the cursors.
    if ((before == kCmdModeCursor) != (command == kCmdModeCursor)) Invalidate();
}

void CANView::CloseKeepDocument() {
    CDoc* doc = GetDocument();
    if (!doc) return;
    auto* analysis = dynamic_cast<CANDoc*>(doc);
    if (analysis) analysis->KeepOnWindowClose = true;
    DocumentList().RemoveDocument(doc);
    if (frame)
        frame->Destroy();
    else
        Destroy();
}

bool CANView::IsViewVisible() const {
    const CMDIView* active = GetActiveView();
    if (!active || active == this || !frame) return true;
    const platform::MdiChild* activeFrame = active->frame;
    if (!activeFrame || !frame->IsVisible()) return activeFrame == nullptr && frame->IsVisible();
    platform::MainFrame* host = frame->Frame();
    platform::Rect mine = frame->WindowRect();
    if (host) {
        const platform::Rect client = host->MdiClientRect();
        const platform::Rect area{0, 0, client.right - client.left, client.bottom - client.top};
        mine = platform::Rect{std::max(mine.left, area.left), std::max(mine.top, area.top),
                              std::min(mine.right, area.right), std::min(mine.bottom, area.bottom)};
    }
    const platform::Rect cover = activeFrame->WindowRect();
    return !(mine.left >= cover.left && mine.top >= cover.top && mine.right <= cover.right &&
             mine.bottom <= cover.bottom);
}

double CANView::GetTextScale(CDrawContext& dc, const PlotCurve* curve) const {
    double factor = 1;
    if (curve) {
        const double span = curve->RangeHigh[kAxisY] - curve->RangeLow[kAxisY];
        const double previous = curve->PrevRangeHigh[kAxisY] - curve->PrevRangeLow[kAxisY];
        if (span != 0 && previous != 0) factor = previous / span;
    }
    double screenHeight = 768;
    int statusHeight = 0;
    if (platform::Application* app = platform::Application::Instance()) {
        const platform::SystemMetrics metrics = app->Metrics();
        if (metrics.screen.cy > 0) screenHeight = metrics.screen.cy;
    }
    if (CMainFrame* main = GetMainFrame(); main && av_OnDisplay(dc) && main->IsStatusBarVisible())
        statusHeight = main->StatusBarHeight();
    // The caption and the menu bar take about two lines of the screen.
    const double h = screenHeight - 2 * 20 - statusHeight;
    int width = 0, height = 0;
    GetDrawSize(&dc, &width, &height);
    double scale = h > 0 ? height / h * factor : factor;
    if (av_OnDisplay(dc)) scale = std::min(scale, 3.0);
    return scale == 0 ? 1 : scale;
}

platform::FontDesc CANView::CreateScaledFont(CDrawContext& dc, const FontSpec& spec, bool bold,
                                             const PlotCurve* curve) const {
    platform::FontDesc font;
    FontSpecToLogFont(spec, font);
    if (bold) font.weight = 700;
    int height = static_cast<int>(font.height * GetTextScale(dc, curve));
    if (std::abs(height) < 10) height = -10;
    font.height = height;
    return font;
}

void CANView::DrawCellText(CDrawContext& dc, const std::string& text, platform::Rect rect, unsigned flags) const {
    const bool fits = dc.GetTextWidth(text.c_str()) <= rect.right - rect.left;
    const std::string shown = fits ? text : "#";
    if (av_OnDisplay(dc) && (flags & platform::TextBox::Right) && dc.surface) {
        const int width = dc.GetTextWidth(shown.c_str());
        const platform::Rect left{rect.left, rect.top, rect.right - width, rect.bottom};
        if (left.right > left.left) dc.surface->FillRect(left, dc.surface->GetBackgroundColor());
    }
    dc.DrawTextAligned(shown, rect, flags);
}

void CANView::DrawSlopeCell(CDrawContext& dc, const PlotCurve& curve, int denominatorAxis, int numeratorAxis,
                            platform::Rect rect, int method) const {
    DrawCellText(dc, SlopeCellText(curve, denominatorAxis, numeratorAxis, method), rect,
                 platform::TextBox::Right | platform::TextBox::VCenter | platform::TextBox::SingleLine);
}

void CANView::SetPlotTextColors(CDrawContext& dc, int textColor) const {
    const int background = const_cast<CANView*>(this)->GetBackgroundColor(&dc);
    if (dc.GetColorValue(textColor) == dc.GetColorValue(background)) textColor ^= 15;
    if (dc.monochrome) MapColorForMonochrome(&dc, &textColor);
    dc.SetTextColorIndex(textColor);
    dc.SetBkColorIndex(background);
}

bool CANView::OnCommand(int id) {
    if (id == kCmdCloseAnalysisWindow || id == kCmdExitAnalysis) {
        PostCloseFrame(CurrentRunContext().analysisView);
        return true;
    }
    if (id == kCmdModeScale || id == kCmdModeCursor || id == kCmdModeHorizontalTag || id == kCmdModeVerticalTag ||
        id == kCmdModeTag) {
        SetMode(id);
        return true;
    }
    if (id == kCmdDeleteAllObjects) {
        CANDoc* doc = AnalysisDocument();
        if (!doc || doc->Objects.empty()) return true;
        doc->Objects.clear();
        if (CDoc* circuit = doc->CircuitDoc) circuit->SetModifiedFlag(true);
        Redraw(kRedrawWholeWindow | 0x08);
        return true;
    }
    return CMDIView::OnCommand(id);
}

bool CANView::OnUpdateCommand(platform::CommandState& state) {
    const int id = state.Id();
    const CANDoc* doc = AnalysisDocument();
    if (id == kCmdCloseAnalysisWindow || id == kCmdExitAnalysis) {
        state.Enable(true);
        return true;
    }
    if (id == kCmdModeScale || id == kCmdModeCursor) {
        state.Enable(DataIdle());
        state.Check(doc && doc->modeCommand == id);
        return true;
    }
    if (id == kCmdDeleteAllObjects) {
        state.Enable(doc && !doc->Objects.empty());
        return true;
    }
    return CMDIView::OnUpdateCommand(state);
}

void CANView::OnDestroy() {
    auto* doc = AnalysisDocument();
    const bool kept = doc && doc->KeepOnWindowClose;
    CMDIView::OnDestroy();
    // The document stayed; the next close of its window is an ordinary one.
    if (kept) doc->KeepOnWindowClose = false;
}

bool ScaleValueCheck(double a, double b, double step, double limit) {
    const double larger = std::max(a, b);
    const bool differs = larger != 0 && std::fabs((a - b) / larger) > 1e-6;
    return differs || limit * 1.000001 < a + step;
}

double RangeMagnitude(double low, double high) {
    const double dl = low == 0 ? -50 : std::log10(std::fabs(low));
    const double dh = high == 0 ? -50 : std::log10(std::fabs(high));
    if (std::fabs(std::round(dl) - std::round(dh)) > 3) return std::fabs(high - low);
    if ((dl > dh && dl != 0) || dh == 0) return low;
    return high;
}

bool IsTagObjectKind(int kind) { return kind == 7 || kind == 8 || kind == 9; }

void InitTextObjectDefaults(PlotObject& object) {
    object.type = 3;
    object.style.width = 1;
    object.flags = 0;
    object.style.color = 74;
    object.style.fillColor = 74;
    object.style.pattern = 10;
}
