// The plot window driven by synthetic keys and mouse events off-screen: the
// cursor keys move the cursors in the overlay without a relayout, Ctrl+arrows
// scroll, Ctrl with the wheel zooms, a click places a cursor, Tab changes the
// current curve.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "platform/app.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "plots/cursors.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/plotcursorview.h"
#include "plots/plotwindows.h"
#include "plots/tagcommands.h"
#include "plots/zoom.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/drawcontext.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "tests/plots/runfixture.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

const char* const kCursorRcDeck =
    "RC step\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN OUT 1K\nC1 OUT 0 1U\n"
    ".TRAN 0.05M 5M\n.PRINT TRAN V(OUT) V(IN)\n.END\n";

class PlotCursorWindow : public twtest::AnalysisRunTest {
protected:
    PlotCursorWindow() : AnalysisRunTest("tw_plots_cursor_window", Frame::Main) {}
    CG2DView* RunRc(CG2DDoc** plot) { return RunTransientInWindow("rc.ckt", kCursorRcDeck, plot); }
};

TEST_F(PlotCursorWindow, KeysAndMouseMoveCursorsScrollZoomAndChooseTheCurve) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    ASSERT_GE(plot->PlottedCount, 1);
    const PlotCurve& out = plot->Curves[0];
    // After the run the cursors stand at the start and at the end of the first run.
    EXPECT_EQ(CursorPoint(*plot, 0, 0), out.RunFirst[0] + out.TrackFrom);
    EXPECT_EQ(CursorPoint(*plot, 0, 1), out.RunLast[0]);

    app_->PostCommand(view, kCmdModeCursor);
    Pump();
    ASSERT_EQ(plot->modeCommand, kCmdModeCursor);
    EXPECT_FALSE(view->Overlay().IsEmpty());
    const std::vector<platform::OverlayMark> before = view->Overlay().Marks();
    const int paints = view->PlotPaints;
    const size_t cached = out.RunTables.empty() ? 0 : out.RunTables[0].Polyline.size();

    // Right arrow: the left cursor moves one point; Shift+Left: the right cursor one back.
    app_->PostKeyDown(view, platform::key::Right);
    app_->PostKeyDown(view, platform::key::Left, platform::ModShift);
    Pump();
    EXPECT_EQ(CursorPoint(*plot, 0, 0), out.RunFirst[0] + out.TrackFrom + 1);
    EXPECT_EQ(CursorPoint(*plot, 0, 1), out.RunLast[0] - 1);
    EXPECT_EQ(plot->ActiveCursor, 1);
    EXPECT_NE(view->Overlay().Marks(), before);
    // The plot itself was not laid out or drawn anew: its drawing cache stands.
    ASSERT_FALSE(out.RunTables.empty());
    EXPECT_EQ(out.RunTables[0].Polyline.size(), cached);
    EXPECT_LE(view->PlotPaints - paints, 1);

    // A click at the middle of the plot puts the left cursor at the X there.
    const int mx = (out.PlotRect.left + out.PlotRect.right) / 2, my = (out.PlotRect.top + out.PlotRect.bottom) / 2;
    const double clickedX = out.FromDevice(kAxisX, mx);
    app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Left, {mx, my}, platform::MouseLeft);
    app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Left, {mx, my}, 0);
    Pump();
    EXPECT_NEAR(out.CursorX[0], clickedX, 1e-9 + 1e-6 * std::fabs(clickedX));

    // Ctrl+Right scrolls the X range by a tenth of its span; Ctrl with the wheel zooms in.
    const double low = out.RangeLow[kAxisX], high = out.RangeHigh[kAxisX];
    app_->PostKeyDown(view, platform::key::Right, platform::ModCtrl);
    Pump();
    EXPECT_NEAR(out.RangeLow[kAxisX], low + (high - low) / 10, 1e-12);
    const double span = out.RangeHigh[kAxisX] - out.RangeLow[kAxisX];
    app_->PostMouse(view, platform::MouseEventKind::Wheel, platform::MouseButton::Middle, {mx, my},
                    platform::MouseControl, -platform::kWheelDelta);
    Pump();
    EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span / 2, 1e-12);
    // The zoom is undone and redone as one "Scale" step.
    EXPECT_EQ(UndoMenuText(plot, false, nullptr).rfind("&Undo Scale", 0), 0u);
    UndoRedo(plot, 1);
    EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span, 1e-12);
    UndoRedo(plot, 0);
    EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span / 2, 1e-12);
    Pump();

    // A zoom box over the left half of the plot, then a drag back by a quarter of the width.
    const double left = out.FromDevice(kAxisX, out.PlotRect.left);
    const double middle = out.FromDevice(kAxisX, mx);
    ASSERT_TRUE(PlotViewZoomToRect(*view, 0, {out.PlotRect.left, out.PlotRect.top}, {mx, out.PlotRect.bottom}));
    EXPECT_NEAR(out.RangeLow[kAxisX], left, 1e-12);
    EXPECT_NEAR(out.RangeHigh[kAxisX], middle, 1e-12);
    Pump();
    const double quarter = (middle - left) / 4;
    const int width = out.PlotRect.right - out.PlotRect.left;
    EXPECT_TRUE(PlotViewPan(*view, {mx, my}, {mx + width / 4, my}));
    EXPECT_NEAR(out.RangeLow[kAxisX], left - quarter, quarter * 0.02);
    EXPECT_FALSE(PlotViewPan(*view, {mx, my}, {mx, my}));
    EXPECT_FALSE(PlotViewPan(*view, {-50, -50}, {mx, my}));

    // Tab on the last curve selects the first.
    plot->CurrentCurve = plot->PlottedCount - 1;
    app_->PostKeyDown(view, platform::key::Tab);
    Pump();
    EXPECT_EQ(plot->CurrentCurve, plot->PlottedCount > 1 ? 0 : plot->PlottedCount - 1);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

// The keys of the analysis and document tables reach a plot view that has the
// keyboard: F8 and F7 switch the mode, Ctrl with keypad + and - zoom the group.
TEST_F(PlotCursorWindow, ModeAndZoomKeysReachThePlotView) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    const PlotCurve& out = plot->Curves[0];
    app_->PostKeyDown(view, platform::key::Function(8));
    Pump();
    EXPECT_EQ(plot->modeCommand, kCmdModeCursor);
    const double span = out.RangeHigh[kAxisX] - out.RangeLow[kAxisX];
    const struct {
        int key;
        double factor;
    } zooms[] = {{platform::key::Add, 0.5}, {platform::key::Subtract, 1.0}, {platform::key::Subtract, 2.0}};
    for (const auto& z : zooms) {
        app_->PostKeyDown(view, z.key, platform::ModCtrl);
        Pump();
        EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span * z.factor, 1e-9 * span) << z.key;
    }
    // The same keys without Ctrl, or the main keyboard's minus, leave the range alone.
    app_->PostKeyDown(view, platform::key::Add);
    app_->PostKeyDown(view, platform::key::Minus, platform::ModCtrl);
    Pump();
    EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span * 2, 1e-9 * span);
    app_->PostKeyDown(view, platform::key::Function(7));
    Pump();
    EXPECT_EQ(plot->modeCommand, kCmdModeScale);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

// In Cursor mode every legend row carries the values at the two cursors under
// the headings, not only the headings.
TEST_F(PlotCursorWindow, CursorReadoutsShowValuesAfterARun) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    const platform::Rect client = view->ClientRect();
    auto inkInReadout = [&](int curve) {
        platform::Image image(client.right - client.left, client.bottom - client.top);
        image.Fill(platform::MakeColor(255, 255, 255));
        std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(image);
        CDrawContext dc(surface.get());
        view->RedrawAll(dc);
        const PlotCurve& c = plot->Curves[static_cast<size_t>(curve)];
        // The "Left" and "Right" columns of the curve's legend row.
        const int column = dc.GetTextWidth("0") * 17;
        int ink = 0;
        for (int y = c.LegendY; y < c.LegendY + plot->Layout.LineHeight; ++y)
            for (int x = c.PlotRect.left + column + 1; x < c.PlotRect.left + 3 * column; ++x)
                ink += image.PixelAt(x, y) != platform::MakeColor(255, 255, 255);
        return ink;
    };
    ASSERT_GE(plot->PlottedCount, 2);
    app_->PostCommand(view, kCmdModeCursor);
    Pump();
    ASSERT_EQ(plot->modeCommand, kCmdModeCursor);
    for (int curve = 0; curve < 2; ++curve) EXPECT_GT(inkInReadout(curve), 20) << curve;
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

TEST_F(PlotCursorWindow, ScaleModeMouseZoomsToTheBoxAndDragsTheRangesUndoably) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    const PlotCurve& out = plot->Curves[0];
    app_->PostCommand(view, kCmdModeScale);
    Pump();
    ASSERT_EQ(plot->modeCommand, kCmdModeScale);
    const double low = out.RangeLow[kAxisX], high = out.RangeHigh[kAxisX];
    const double lowY = out.RangeLow[kAxisY], highY = out.RangeHigh[kAxisY];
    const int width = out.PlotRect.right - out.PlotRect.left, height = out.PlotRect.bottom - out.PlotRect.top;
    const platform::Point a{out.PlotRect.left + width / 4, out.PlotRect.top + height / 4};
    const platform::Point b{out.PlotRect.left + width / 2, out.PlotRect.top + height / 2};
    const double ax = out.FromDevice(kAxisX, a.x), bx = out.FromDevice(kAxisX, b.x);

    // While the left button is held the box shows as a rubber band; on release
    // the plot shows the box's range and the band is gone.
    app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Left, a, platform::MouseLeft);
    app_->PostMouse(view, platform::MouseEventKind::Move, platform::MouseButton::Left, b, platform::MouseLeft);
    Pump();
    EXPECT_EQ(view->Overlay().Marks().size(), 1u);
    EXPECT_EQ(out.RangeLow[kAxisX], low);
    app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Left, b, 0);
    Pump();
    EXPECT_TRUE(view->Overlay().IsEmpty());
    EXPECT_NEAR(out.RangeLow[kAxisX], ax, 1e-12);
    EXPECT_NEAR(out.RangeHigh[kAxisX], bx, 1e-12);
    EXPECT_NE(out.RangeHigh[kAxisY], highY);
    EXPECT_EQ(UndoMenuText(plot, false, nullptr).rfind("&Undo Scale", 0), 0u);
    UndoRedo(plot, 1);
    EXPECT_EQ(out.RangeLow[kAxisX], low);
    EXPECT_EQ(out.RangeHigh[kAxisX], high);
    EXPECT_EQ(out.RangeLow[kAxisY], lowY);
    EXPECT_EQ(out.RangeHigh[kAxisY], highY);
    Pump();

    // A right drag by a quarter of the width in two moves shifts the X range by
    // a quarter of its span; one Undo brings back the range from before the drag.
    const platform::Point m{out.PlotRect.left + width / 2, out.PlotRect.top + height / 2};
    const double span = out.RangeHigh[kAxisX] - out.RangeLow[kAxisX];
    app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Right, m, platform::MouseRight);
    app_->PostMouse(view, platform::MouseEventKind::Move, platform::MouseButton::Right, {m.x + width / 8, m.y},
                    platform::MouseRight);
    app_->PostMouse(view, platform::MouseEventKind::Move, platform::MouseButton::Right, {m.x + width / 4, m.y},
                    platform::MouseRight);
    app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Right, {m.x + width / 4, m.y}, 0);
    Pump();
    EXPECT_NEAR(out.RangeLow[kAxisX], low - span / 4, span * 0.02);
    EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span, span * 1e-9);
    EXPECT_EQ(view->rightDrag, 0);
    EXPECT_EQ(UndoMenuText(plot, false, nullptr).rfind("&Undo Scale", 0), 0u);
    UndoRedo(plot, 1);
    EXPECT_EQ(out.RangeLow[kAxisX], low);
    EXPECT_EQ(out.RangeHigh[kAxisX], high);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

TEST_F(PlotCursorWindow, TagCommandsTurnTheCursorsIntoTagsThatUndoTakesAway) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    const PlotCurve& out = plot->Curves[static_cast<size_t>(plot->CurrentCurve)];
    // Outside Cursor mode the cursors are not shown, so nothing is tagged.
    app_->PostCommand(view, kCmdTagLeftCursor);
    Pump();
    EXPECT_TRUE(plot->Objects.empty());
    app_->PostCommand(view, kCmdModeCursor);
    Pump();
    ASSERT_EQ(plot->modeCommand, kCmdModeCursor);
    ASSERT_NE(out.CursorX[0], out.CursorX[1]);

    // Ctrl+L tags the left cursor.
    app_->PostKeyDown(view, platform::key::Letter('L'), platform::ModCtrl);
    Pump();
    ASSERT_EQ(plot->Objects.size(), 1u);
    EXPECT_EQ(plot->Objects.back()->corners[0], out.CursorX[0]);
    plot->Objects.clear();

    struct Case {
        int command, kind;
        const char* undo;
        double corners[4];
    };
    const Case cases[] = {
        {kCmdTagLeftCursor, 8, "&Undo Add Tag", {out.CursorX[0], out.CursorY[0]}},
        {kCmdTagRightCursor, 8, "&Undo Add Tag", {out.CursorX[1], out.CursorY[1]}},
        {kCmdTagHorizontal, 9, "&Undo Add MeasureH", {out.CursorX[0], out.CursorY[0], out.CursorX[1], out.CursorY[1]}},
        {kCmdTagVertical, 7, "&Undo Add MeasureV", {out.CursorX[0], out.CursorY[0], out.CursorX[1], out.CursorY[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const size_t before = plot->Objects.size();
        app_->PostCommand(view, c.command);
        Pump();
        ASSERT_EQ(plot->Objects.size(), before + 1);
        const PlotObject& tag = *plot->Objects.back();
        EXPECT_EQ(tag.type, c.kind);
        EXPECT_EQ(tag.plot, plot->CurrentCurve);
        EXPECT_EQ(tag.alias1, out.CurveId);
        const int checked = c.kind == 8 ? 2 : 4;
        for (int i = 0; i < checked; ++i) EXPECT_EQ(tag.corners[i], c.corners[i]) << i;
        if (c.kind == 8) {
            // The text box stands above the point, right of the left cursor and left of the right one.
            EXPECT_GT(tag.corners[3], tag.corners[1]);
            EXPECT_EQ(tag.corners[2] > tag.corners[0], c.command == kCmdTagLeftCursor);
        }
        EXPECT_EQ(UndoMenuText(plot, false, nullptr).rfind(c.undo, 0), 0u);
        UndoRedo(plot, 1);
        EXPECT_EQ(plot->Objects.size(), before);
        UndoRedo(plot, 0);
        ASSERT_EQ(plot->Objects.size(), before + 1);
        EXPECT_EQ(plot->Objects.back()->type, c.kind);
    }
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

}  // namespace
