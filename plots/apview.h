// The view and frame bases of the windows that plot curves of stored data
// points (the 2D analysis window, the performance and FFT windows): painting
// the plot, the View menu switches and trackers, the Same Y Scales and
// scaling switches, and keeping the window current while a run adds points.
#pragma once

#include <cstdint>

#include "platform/menu.h"
#include "plots/anview.h"
#include "plots/cursordisplay.h"
#include "plots/layout.h"
#include "plots/scaletracker.h"
#include "plots/tagtracker.h"

class CAPDoc;
struct PlotWindowSettings;

// Commands of the plot views.
enum PlotViewCommand : int {
    kCmdTrackerCursor = 16500,     // Ctrl+Shift+C
    kCmdTrackerIntercept = 16501,  // Ctrl+I
    kCmdTrackerMouse = 16502,      // Ctrl+M
    kCmdHorizontalCursor = 18047,
    kCmdViewDataPoints = 18400,
    kCmdViewRuler = 18401,
    kCmdViewTokens = 18402,
    kCmdViewHorizontalGrids = 18403,
    kCmdViewVerticalGrids = 18404,
    kCmdViewMinorLogGrids = 18405,
    kCmdViewBaseline = 18406,
    kCmdViewPlusMark = 18407,
    kCmdViewMinorLogGrids25 = 18408,
    kCmdViewLabelAllMinorGrids = 18409,
    kCmdSameYScales = 20218,
    kCmdEnableXScaling = 24300,
    kCmdEnableYScaling = 24301,
    kCmdKeepXScalesSame = 24302,
};

// The bit of a View option command in CANDoc::ViewOptions (18400..18406);
// 0 for the options kept as fields of the plot settings.
int32_t ViewOptionBit(int command);

// The plot window settings of the document's kind (trackers, grid switches,
// scaling switches, grid divisions), null when it keeps none.
PlotWindowSettings* PlotSettingsOf(CAPDoc* document);

class CAPView : public CANView {
public:
    explicit CAPView(int kind);
    ~CAPView() override;

    CAPDoc* PlotDocument() const;

    // Paints the plot when its first curve has runs and no other window is
    // maximized over it.
    void OnDraw(platform::DrawSurface& surface) override;
    // The whole plot: layout, frames, grids, scales, titles and curves.
    void RedrawAll(CDrawContext& dc) override;
    // What the layout and the frame drawing read of this view, its device
    // and the document's plot settings.
    PlotViewInfo MakeViewInfo(CDrawContext& dc) const;
    // The tracker boxes stand in the overlay, which keeps no background of
    // its own: after a full redraw ShowCursorOverlay puts them where the
    // cursors now stand, so nothing stale is left to drop.
    void DiscardTrackerBackgrounds() {}
    // The look of the tracker boxes on a drawing context: the tracker font
    // scaled for the view, its colour and the fill colour of the settings.
    TrackerLook TrackerLookFor(CDrawContext& dc) const;
    // The look from the last paint, for the overlay between paints.
    TrackerLook Trackers;

    // While a run adds points: now and then (throttled by time, so a run is
    // not slowed by drawing every point) the window is repainted and the
    // queued input handled; Esc stops the run, P toggles Print values. Also
    // the first call of each run repaints.
    void ServiceRun();

    // Toggles a View option (18400..18409) with its exclusions: Plus Mark and
    // Ruler, Minor Log Grids 2 5 and Minor Log Grids.
    void OnViewOption(int command);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;

    // The Scale-mode drag in progress, if any.
    const ScaleDragState& ScaleDrag() const { return scaleDrag_; }
    // The tag-mode drag in progress, if any.
    const TagDragState& TagDrag() const { return tagDrag_; }

    // 1 while OnDraw redraws the plot.
    int32_t Redrawing = 0;
    // Paints that drew the plot, and those among them while a run was active.
    int32_t PlotPaints = 0;
    int32_t PlotPaintsDuringRun = 0;

protected:
    void OnCreate() override;
    void OnSize(int width, int height) override;
    void OnMouseDown(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnMouseUp(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnMouseMove(platform::Point p, unsigned keyFlags) override;
    void OnCaptureLost() override;
    void OnWheel(int delta, platform::Point p, unsigned keyFlags) override;
    void OnDestroy() override;

private:
    double lastRunRefresh_ = 0;
    double lastRunCost_ = 0;
    int32_t refreshedRun_ = -1;
    ScaleDragState scaleDrag_;
    TagDragState tagDrag_;
    platform::AcceleratorTable keys_;
};

class CAPFrame : public CANFrame {
public:
    explicit CAPFrame(int kind) : CANFrame(kind) {}
};

// The run hook of the drivers, called with every accepted point: the plot
// window of the document (if it has one) is serviced as ServiceRun says.
void ServicePlotWindowDuringRun(CAPDoc& document);
