#include "plots/plotcursorview.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "document/cfanalysis.h"
#include "platform/image.h"
#include "plots/anview.h"
#include "plots/apdoc.h"
#include "plots/apview.h"
#include "plots/cursordisplay.h"
#include "plots/docranges.h"
#include "plots/g2ddoc.h"
#include "plots/tagcommands.h"
#include "plots/zoom.h"
#include "shell/app.h"
#include "shell/drawcontext.h"
#include "shell/preferences.h"

namespace {

CAPDoc* pc_Doc(CAPView& view) { return view.PlotDocument(); }

bool pc_CursorMode(const CAPDoc& doc) { return doc.modeCommand == kCmdModeCursor; }

ScaleSwitches pc_Switches(CAPDoc& doc) {
    if (auto* g2d = dynamic_cast<CG2DDoc*>(&doc)) return ScaleSwitchesOf(*g2d);
    return ScaleSwitches{};
}

bool pc_IsCursorFunction(int id) {
    return id == kCursorNextDataPoint || (id >= kCursorNextInterpolated && id <= kCursorGlobalLow) ||
           id == kCursorTop || id == kCursorBottom;
}

// After a range change: the groups repaint, and with Keep X Scales the Same
// the groups sharing the X expression follow.
void pc_RangesChanged(CAPView& view, CAPDoc& doc, const std::vector<int>& changed, const ScaleSwitches& switches) {
    if (changed.empty()) return;
    if (switches.KeepXScalesSame) AlignXScales(doc, changed.front());
    view.DiscardTrackerBackgrounds();
    view.Invalidate();
}

// The stored point of a complex-plane curve nearest to a device point; -1 none.
int pc_NearestPoint(CAPDoc& doc, int curve, platform::Point p) {
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    int best = -1;
    double bestDistance = std::numeric_limits<double>::max();
    for (int i = 0; i <= c.PointIndex; ++i) {
        const double dx = c.ToDeviceInt(kAxisX, doc.GetValue(CursorColumn(c, kAxisX), i)) - p.x;
        const double dy = c.ToDeviceInt(kAxisY, doc.GetValue(CursorColumn(c, kAxisY), i)) - p.y;
        const double d = dx * dx + dy * dy;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

}  // namespace

const platform::AcceleratorTable& PlotCursorKeys() {
    using namespace platform;
    static const AcceleratorTable table{
        {key::Left, ModNone, 760},
        {key::Right, ModNone, 761},
        {key::Up, ModNone, 762},
        {key::Down, ModNone, 763},
        {key::Left, ModShift, 764},
        {key::Right, ModShift, 765},
        {key::Up, ModShift, 766},
        {key::Down, ModShift, 767},
        {key::Left, ModCtrl, kCmdScrollLeft},
        {key::Right, ModCtrl, kCmdScrollRight},
        {key::Up, ModCtrl, kCmdScrollUp},
        {key::Down, ModCtrl, kCmdScrollDown},
        {key::Home, ModAlt, kCursorTop},
        {key::End, ModAlt, kCursorBottom},
        {key::Tab, ModNone, kCmdNextCurve},
        {key::Tab, ModShift, kCmdPreviousCurve},
        {key::Letter('L'), ModCtrl, kCmdTagLeftCursor},
        {key::Letter('R'), ModCtrl, kCmdTagRightCursor},
        {key::Letter('H'), ModCtrl | ModShift, kCmdTagHorizontal},
        {key::Letter('V'), ModCtrl | ModShift, kCmdTagVertical},
    };
    return table;
}

platform::AcceleratorTable PlotViewKeys() {
    platform::AcceleratorTable keys = PlotCursorKeys();
    for (int id : {504, 519, 514})
        if (const platform::AcceleratorTable* table = GetAcceleratorTable(id))
            for (const platform::Accelerator& a : table->Entries()) keys.Add(a.key, a.modifiers, a.command);
    return keys;
}

int ViewCursorPlacer::Place(int curve, int cursor, int point, std::optional<double> x) {
    CAPDoc* doc = view_.PlotDocument();
    if (!doc) return -1;
    const int result = doc->MoveCursor(curve, cursor, point, x);
    if (result < 0) return result;
    doc->ActiveCursor = cursor;
    ShowCursorOverlay(view_);
    // The readouts in the legend rows show the new values; the plot stays.
    for (const DeviceRect& r : ReadoutRows(*doc, curve, Prefs().alignCursors != 0, doc->Layout.LineHeight)) {
        const platform::Rect dirty{r.left, r.top, r.right, r.bottom};
        view_.Invalidate(&dirty);
    }
    return result;
}

namespace {

// The cursor marks of every plot group and the tracker boxes, as the document
// and its settings ask; `measure` measures the trackers' texts.
std::vector<platform::OverlayMark> pc_CursorDisplayMarks(CAPDoc& doc, bool raster, const TrackerLook& look,
                                                         platform::DrawSurface& measure) {
    std::vector<platform::OverlayMark> marks;
    if (!pc_CursorMode(doc)) return marks;
    CursorMarkOptions options;
    options.RasterDisplay = raster;
    const PlotWindowSettings* settings = PlotSettingsOf(&doc);
    if (settings) options.HorizontalCursor = settings->horizontalCursor != 0;
    for (int i = 0; i < std::min(doc.PlottedCount, doc.CurveCount()); ++i) {
        const PlotCurve& c = doc.Curves[static_cast<size_t>(i)];
        if (c.IndexInPlot != 0 || c.PlotNumber == 0 || !c.HasPoint()) continue;
        std::vector<platform::OverlayMark> group = CursorMarks(doc, i, options);
        marks.insert(marks.end(), group.begin(), group.end());
    }
    if (settings) {
        TrackerOptions trackers;
        trackers.Cursor = settings->trackerCursor != 0;
        trackers.Intercept = settings->trackerIntercept != 0;
        trackers.Look = look;
        std::vector<platform::OverlayMark> boxes = TrackerMarks(doc, trackers, measure);
        marks.insert(marks.end(), boxes.begin(), boxes.end());
    }
    return marks;
}

}  // namespace

void DrawCursorsOnPaper(CAPView& view, CDrawContext& dc) {
    CAPDoc* doc = pc_Doc(view);
    if (!doc || !dc.surface) return;
    std::vector<platform::OverlayMark> marks = pc_CursorDisplayMarks(
        *doc, dc.technology == platform::kTechRasterDisplay, view.TrackerLookFor(dc), *dc.surface);
    std::vector<platform::OverlayMark> lines, boxes;
    for (platform::OverlayMark& m : marks)
        (m.shape == platform::OverlayMark::Shape::TextBox ? boxes : lines).push_back(std::move(m));
    DrawCursorMarks(dc, lines, dc.GetColorValue(0));
    DrawTrackerMarks(dc, boxes);
}

void ShowCursorOverlay(CAPView& view) {
    CAPDoc* doc = pc_Doc(view);
    std::vector<platform::OverlayMark> marks;
    if (doc) {
        // Texts measure alike on every surface of the screen's resolution.
        platform::Image scratch(1, 1);
        std::unique_ptr<platform::DrawSurface> measure = platform::CreateImageSurface(scratch);
        marks = pc_CursorDisplayMarks(*doc, true, view.Trackers, *measure);
    }
    // A rubber band being dragged stays.
    const std::vector<platform::OverlayMark> band = ScaleTrackerMarks(view.ScaleDrag());
    marks.insert(marks.end(), band.begin(), band.end());
    const std::vector<platform::OverlayMark> tagBand = TagTrackerMarks(view.TagDrag());
    marks.insert(marks.end(), tagBand.begin(), tagBand.end());
    platform::OverlayLayer& overlay = view.Overlay();
    if (overlay.Marks() == marks) return;
    // Only the marks that differ come and go.
    const std::vector<platform::OverlayMark> shown = overlay.Marks();
    for (const platform::OverlayMark& m : shown)
        if (std::find(marks.begin(), marks.end(), m) == marks.end()) overlay.Toggle(m);
    for (const platform::OverlayMark& m : marks)
        if (std::find(shown.begin(), shown.end(), m) == shown.end()) overlay.Toggle(m);
}

bool HandlePlotViewCommand(CAPView& view, int id) {
    CAPDoc* doc = pc_Doc(view);
    if (!doc) return false;
    ViewCursorPlacer placer(view);
    int direction = 0, cursor = 0;
    if (CursorKeyCommand(id, &direction, &cursor)) {
        if (pc_CursorMode(*doc)) CursorKey(*doc, placer, direction, cursor);
        return true;
    }
    if (pc_IsCursorFunction(id)) {
        if (!pc_CursorMode(*doc)) view.SetMode(kCmdModeCursor);
        if (!pc_CursorMode(*doc)) return true;  // no data to put cursors on
        ChooseCursorFunction(*doc, placer, id);
        return true;
    }
    const ScaleSwitches switches = pc_Switches(*doc);
    switch (id) {
    case kCmdZoomIn:
    case kCmdZoomOut:
        view.DiscardTrackerBackgrounds();
        SaveScaleUndo(*doc);
        pc_RangesChanged(view, *doc, ZoomPlotGroup(*doc, doc->CurrentCurve, id == kCmdZoomIn, switches), switches);
        return true;
    case kCmdScrollLeft:
    case kCmdScrollRight:
    case kCmdScrollUp:
    case kCmdScrollDown:
        pc_RangesChanged(view, *doc, ScrollPlotGroup(*doc, doc->CurrentCurve, id, switches), switches);
        return true;
    case kCmdRestoreLimitScales:
        if (RestoreLimitScales(*doc)) {
            view.DiscardTrackerBackgrounds();
            view.Invalidate();
        }
        return true;
    case kCmdNormalizeAtCursor:
    case kCmdNormalizeAtMinimum:
    case kCmdNormalizeAtMaximum:
        if (NormalizeByCommand(*doc, placer, id)) {
            view.DiscardTrackerBackgrounds();
            view.Invalidate();
        }
        return true;
    case kCmdNextCurve:
    case kCmdPreviousCurve: {
        const int next = NeighbourCurve(*doc, id == kCmdNextCurve);
        if (next >= 0 && next != doc->CurrentCurve) {
            doc->CurrentCurve = next;
            ShowCursorOverlay(view);
            view.Invalidate();  // the legends show the new current curve in bold
        }
        return true;
    }
    case kCmdAutoScale:
        if (auto* g2d = dynamic_cast<CG2DDoc*>(doc); g2d && doc->AnalysisKind != -1) {
            AutoScaleDocumentNow(*g2d, true);
            doc->FreeRunTables();
            view.Invalidate();
        }
        return true;
    case kCmdAlignCursors: {
        Prefs().alignCursors = !Prefs().alignCursors;
        int groups = 0;
        for (const PlotCurve& c : doc->Curves) groups = std::max(groups, c.PlotNumber);
        if (Prefs().alignCursors && groups > 1) AlignAllCursors(*doc, placer);
        return true;
    }
    default: return false;
    }
}

bool UpdatePlotViewCommand(CAPView& view, platform::CommandState& state) {
    CAPDoc* doc = pc_Doc(view);
    const int id = state.Id();
    if (!doc) return false;
    if (pc_IsCursorFunction(id)) {
        state.Enable(doc->HasData());
        state.Check(doc->CursorFunction == id);
        return true;
    }
    if (id == kCmdAlignCursors) {
        state.Enable(true);
        state.Check(Prefs().alignCursors != 0);
        return true;
    }
    if (id == kCmdNormalizeAtCursor || id == kCmdNormalizeAtMinimum || id == kCmdNormalizeAtMaximum) {
        const bool ok = doc->HasData() && doc->CurrentCurve >= 0 && doc->CurrentCurve < doc->CurveCount() &&
                        !doc->Curves[static_cast<size_t>(doc->CurrentCurve)].IsDigital;
        state.Enable(ok && (id != kCmdNormalizeAtCursor || pc_CursorMode(*doc)));
        state.Check(ok && doc->Curves[static_cast<size_t>(doc->CurrentCurve)].NormalizeCommand == id);
        return true;
    }
    return false;
}

bool PlotViewCursorClick(CAPView& view, platform::MouseButton button, platform::Point p, unsigned mouseFlags) {
    CAPDoc* doc = pc_Doc(view);
    if (!doc || !pc_CursorMode(*doc) || button == platform::MouseButton::Middle) return false;
    const int curve = doc->CurrentCurve;
    if (curve < 0 || curve >= doc->CurveCount() || doc->CurveAtPoint(p.x, p.y) != curve) return false;
    // Both buttons move the left cursor.
    const int cursor = button == platform::MouseButton::Left || (mouseFlags & platform::MouseLeft) ? 0 : 1;
    const PlotCurve& c = doc->Curves[static_cast<size_t>(curve)];
    ViewCursorPlacer placer(view);
    if (c.PlotType != kPlotRectangular) {
        const int point = pc_NearestPoint(*doc, curve, p);
        return point >= 0 && placer.Place(curve, cursor, point, std::nullopt) >= 0;
    }
    const double x = c.FromDevice(kAxisX, p.x);
    const int slot = kSlotX;
    return MoveCursorToValue(*doc, placer, curve, x, cursor, slot, c.CursorOffset[cursor], c.CursorRun[cursor]);
}

bool PlotViewWheel(CAPView& view, int delta, unsigned mouseFlags) {
    if (!(mouseFlags & platform::MouseControl)) return false;
    return HandlePlotViewCommand(view, delta < 0 ? kCmdZoomIn : kCmdZoomOut);
}

bool PlotViewZoomToRect(CAPView& view, int curve, platform::Point corner1, platform::Point corner2) {
    CAPDoc* doc = pc_Doc(view);
    if (!doc || curve < 0 || curve >= doc->CurveCount()) return false;
    if (corner1 == corner2) return false;
    const DeviceRect& r = doc->Curves[static_cast<size_t>(curve)].PlotRect;
    corner2.x = std::clamp(corner2.x, r.left, std::max(r.left, r.right));
    corner2.y = std::clamp(corner2.y, r.top, std::max(r.top, r.bottom));
    std::vector<CornerValues> corners;
    for (int i : PlotGroupCurves(*doc, curve)) {
        const PlotCurve& c = doc->Curves[static_cast<size_t>(i)];
        CornerValues v;
        v.First[kAxisX] = c.FromDevice(kAxisX, corner1.x);
        v.First[kAxisY] = c.FromDevice(kAxisY, corner1.y);
        v.Second[kAxisX] = c.FromDevice(kAxisX, corner2.x);
        v.Second[kAxisY] = c.FromDevice(kAxisY, corner2.y);
        corners.push_back(v);
    }
    view.DiscardTrackerBackgrounds();
    SaveScaleUndo(*doc);
    const ScaleSwitches switches = pc_Switches(*doc);
    const std::vector<int> changed = ZoomGroupToValues(*doc, curve, corners, switches);
    pc_RangesChanged(view, *doc, changed, switches);
    return !changed.empty();
}

bool PlotViewPan(CAPView& view, platform::Point from, platform::Point to) {
    CAPDoc* doc = pc_Doc(view);
    if (!doc || from == to) return false;
    const int curve = doc->CurveAtPoint(from.x, from.y);
    if (curve < 0 || doc->Curves[static_cast<size_t>(curve)].PlotType != kPlotRectangular) return false;
    std::vector<CornerValues> values;
    for (int i : PlotGroupCurves(*doc, curve)) {
        const PlotCurve& c = doc->Curves[static_cast<size_t>(i)];
        CornerValues v;
        v.First[kAxisX] = c.FromDevice(kAxisX, from.x);
        v.First[kAxisY] = c.FromDevice(kAxisY, from.y);
        v.Second[kAxisX] = c.FromDevice(kAxisX, to.x);
        v.Second[kAxisY] = c.FromDevice(kAxisY, to.y);
        values.push_back(v);
    }
    const ScaleSwitches switches = pc_Switches(*doc);
    pc_RangesChanged(view, *doc, PanGroupByValues(*doc, curve, values, switches), switches);
    return true;
}
