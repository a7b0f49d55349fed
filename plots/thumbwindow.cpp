#include "plots/thumbwindow.h"

#include <algorithm>
#include <vector>

#include "platform/app.h"
#include "plots/g2ddoc.h"
#include "plots/plotcursorview.h"
#include "plots/zoom.h"
#include "shell/drawcontext.h"
#include "shell/mainframe.h"

namespace {

// The one thumbnail window. The window layer deletes it once its window is
// gone; its OnDestroy forgets it first.
CThumbPlotDlg* tw_thumbWindow = nullptr;

// The analysis document whose kinds keep the window's rectangle, and the kind.
CG2DDoc* tw_RectOwner(int* kind) {
    auto* plot = dynamic_cast<CG2DDoc*>(GetThumbnailSource());
    if (!plot) return nullptr;
    *kind = plot->RunningKind >= 0 ? plot->RunningKind : plot->AnalysisKind;
    return *kind >= 0 && *kind < kPlotKindCount ? plot : nullptr;
}

// The view of the source, when it is another plot view than the thumbnail's.
CAPView* tw_SourceView(const CThumbView& thumbView) {
    CAPDoc* source = GetThumbnailSource();
    auto* view = source ? dynamic_cast<CAPView*>(source->PlotView) : nullptr;
    return view && view != &thumbView && view->Exists() ? view : nullptr;
}

bool tw_SourceHasCurves(const CAPDoc* source) {
    return source && source->PlottedCount > 0 && source->CurveCount() > 0 && !source->Curves[0].RunFirst.empty();
}

}  // namespace

// ---- the view

CThumbView::CThumbView(CThumbDoc& document) : CAPView(kDocThumbnail), thumb_(document) {}

int CThumbView::GetBackgroundColor(CDrawContext* dc) {
    CAPDoc* source = GetThumbnailSource();
    if (!tw_SourceHasCurves(source)) return CAPView::GetBackgroundColor(dc);
    return UsesColorOutput(dc) ? source->backgroundStyle.color : kColorWhite;
}

void CThumbView::OnDraw(platform::DrawSurface& surface) {
    CAPDoc* source = GetThumbnailSource();
    if (!tw_SourceHasCurves(source)) {
        thumb_.ReleaseSharedCurves();
        return;
    }
    CDrawContext dc(&surface);
    DrawThumbnail(dc, thumb_, *source, ClientRect());
    ++ThumbPaints;
    if (auto* dialog = dynamic_cast<CThumbPlotDlg*>(Parent())) dialog->Shown = source;
    if (Window* dialog = Parent(); dialog && !thumb_.Title.empty() && dialog->Title() != thumb_.Title)
        dialog->SetTitle(thumb_.Title);
}

bool CThumbView::OnCommand(int id) {
    if (id == kCmdThumbnail) {
        ToggleThumbnail();
        return true;
    }
    // Everything else acts on the plot the overview shows.
    CAPView* view = tw_SourceView(*this);
    if (!view || !view->OnCommand(id)) return false;
    RefreshThumbnail();
    return true;
}

bool CThumbView::OnUpdateCommand(platform::CommandState& state) {
    if (state.Id() == kCmdThumbnail) {
        UpdateThumbnailCommand(state);
        return true;
    }
    CAPView* view = tw_SourceView(*this);
    return view && view->OnUpdateCommand(state);
}

void CThumbView::OnMouseDown(platform::MouseButton button, platform::Point p, unsigned /*keyFlags*/) {
    if (button != platform::MouseButton::Left || RunBusy() || dragging_) return;
    dragging_ = true;
    dragStart_ = p;
    marked_ = thumb_.GetSourceViewRect(ClientRect());
    dragOnMarked_ = p.x >= std::min(marked_.left, marked_.right) && p.x <= std::max(marked_.left, marked_.right) &&
                    p.y >= std::min(marked_.top, marked_.bottom) && p.y <= std::max(marked_.top, marked_.bottom);
    SetCapture();
}

platform::Rect CThumbView::DragBand(platform::Point p) const {
    const int dx = p.x - dragStart_.x, dy = p.y - dragStart_.y;
    if (dragOnMarked_)
        return platform::Rect{std::min(marked_.left, marked_.right) + dx, std::min(marked_.top, marked_.bottom) + dy,
                              std::max(marked_.left, marked_.right) + dx, std::max(marked_.top, marked_.bottom) + dy};
    return platform::Rect{std::min(dragStart_.x, p.x), std::min(dragStart_.y, p.y), std::max(dragStart_.x, p.x),
                          std::max(dragStart_.y, p.y)};
}

void CThumbView::ShowBand(const platform::Rect& band) {
    if (bandShown_ && band == band_) return;
    HideBand();
    if (band.IsEmpty()) return;
    band_ = band;
    bandShown_ = Overlay().ToggleRect(band_);
}

void CThumbView::HideBand() {
    if (!bandShown_) return;
    bandShown_ = false;
    // Only while the overlay still holds it: a second toggle would show it again.
    const std::vector<platform::OverlayMark>& marks = Overlay().Marks();
    for (const platform::OverlayMark& m : marks) {
        if (m.shape == platform::OverlayMark::Shape::Rectangle && m.points.size() == 2 &&
            m.points[0] == platform::Point{band_.left, band_.top} &&
            m.points[1] == platform::Point{band_.right, band_.bottom}) {
            Overlay().ToggleRect(band_);
            break;
        }
    }
}

void CThumbView::OnMouseMove(platform::Point p, unsigned keyFlags) {
    if (!dragging_) return;
    if (!(keyFlags & platform::MouseLeft)) return;
    ShowBand(DragBand(p));
}

void CThumbView::OnCaptureLost() {
    dragging_ = false;
    HideBand();
}

void CThumbView::OnMouseUp(platform::MouseButton button, platform::Point p, unsigned /*keyFlags*/) {
    if (button != platform::MouseButton::Left || !dragging_) return;
    dragging_ = false;
    HideBand();
    ReleaseCapture();
    CAPDoc* source = GetThumbnailSource();
    // The copies must still be those of the source the user saw.
    if (!source || thumb_.Source() != source || RunBusy()) return;
    const int dx = p.x - dragStart_.x, dy = p.y - dragStart_.y;
    if (dragOnMarked_) {
        if (dx == 0 && dy == 0) return;
        // The corner of the low values (left and bottom unless reversed) moves with the mouse.
        const platform::Point low{marked_.left + dx, marked_.bottom + dy};
        thumb_.ApplySourceViewRect(low, low, true);
    } else {
        // A rectangle without width or height would give an empty range.
        if (dx == 0 || dy == 0) return;
        thumb_.ApplySourceViewRect(dragStart_, p, false);
    }
    // Plot groups sharing the X expression keep the X range just set.
    if (auto* plot = dynamic_cast<CG2DDoc*>(source);
        plot && ScaleSwitchesOf(*plot).KeepXScalesSame && source->CurrentCurve >= 0 &&
        source->CurrentCurve < source->CurveCount() && !AlignXScales(*source, source->CurrentCurve).empty()) {
        if (auto* view = dynamic_cast<CAPView*>(source->PlotView)) {
            view->DiscardTrackerBackgrounds();
            view->Invalidate();
        }
    }
    Invalidate();
}

void CThumbView::OnWheel(int delta, platform::Point /*p*/, unsigned keyFlags) {
    // Scrolling over the overview scrolls the plot it shows.
    if (CAPView* view = tw_SourceView(*this); view && PlotViewWheel(*view, delta, keyFlags)) RefreshThumbnail(false);
}

// ---- the window

CThumbPlotDlg::CThumbPlotDlg() = default;

CThumbPlotDlg::~CThumbPlotDlg() { Destroy(); }

bool CThumbPlotDlg::Open(platform::Window* owner) {
    platform::Rect stored{};
    int kind = -1;
    if (CG2DDoc* plot = tw_RectOwner(&kind)) stored = plot->ThumbnailRect[kind];
    platform::Rect workArea{0, 0, kThumbnailWidth, kThumbnailHeight};
    if (platform::Application* app = platform::Application::Instance()) workArea = app->Metrics().workArea;
    const platform::Rect rect =
        ThumbnailWindowRect(stored, workArea, platform::Size{kThumbnailWidth, kThumbnailHeight});
    if (!Create(owner, rect, "", platform::StyleToolWindow)) return false;
    // The stored rectangle is the outer one, as WindowRect gives it.
    Move(rect);
    Shown = GetThumbnailSource();
    Show();
    return true;
}

void CThumbPlotDlg::OnCreate() {
    view_ = std::make_unique<CThumbView>(document_);
    const platform::Rect client = ClientRect();
    view_->Create(this, client, "", platform::StyleVisible);
}

void CThumbPlotDlg::OnSize(int width, int height) {
    if (view_ && view_->Exists()) view_->Move(platform::Rect{0, 0, width, height});
}

bool CThumbPlotDlg::OnClose() {
    int kind = -1;
    if (CG2DDoc* plot = tw_RectOwner(&kind)) plot->ThumbnailRect[kind] = WindowRect();
    return true;
}

void CThumbPlotDlg::OnDestroy() {
    document_.ReleaseSharedCurves();
    if (tw_thumbWindow == this) tw_thumbWindow = nullptr;
}

// ---- the process-wide entry points

CThumbPlotDlg* ThumbnailWindow() { return tw_thumbWindow; }

bool ToggleThumbnail() {
    if (tw_thumbWindow) {
        CloseThumbnail();
        return false;
    }
    CMainFrame* owner = GetMainFrame();
    if (!owner || !tw_SourceHasCurves(GetThumbnailSource())) return false;
    auto* dialog = new CThumbPlotDlg;
    if (!dialog->Open(owner)) {
        delete dialog;
        return false;
    }
    dialog->SetAutoDelete(true);
    tw_thumbWindow = dialog;
    return true;
}

void UpdateThumbnailCommand(platform::CommandState& state) {
    state.Enable(tw_thumbWindow || tw_SourceHasCurves(GetThumbnailSource()));
    state.Check(tw_thumbWindow != nullptr);
}

void CloseThumbnail() {
    CThumbPlotDlg* dialog = tw_thumbWindow;
    if (!dialog) return;
    // OnClose stores the rectangle; the destroy lets go of the curves.
    dialog->Close();
}

void RefreshThumbnail(bool paintNow) {
    CThumbView* view = tw_thumbWindow ? tw_thumbWindow->View() : nullptr;
    if (!view || !view->Exists() || !tw_SourceHasCurves(GetThumbnailSource())) return;
    view->Invalidate();
    if (paintNow) view->Update();
}

void CloseThumbnailOf(const CAPDoc* source) {
    if (!tw_thumbWindow || !source) return;
    if (tw_thumbWindow->Document().Source() == source || tw_thumbWindow->Shown == source ||
        GetThumbnailSource() == source)
        CloseThumbnail();
}
