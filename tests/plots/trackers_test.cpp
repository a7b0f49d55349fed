// The plot window off-screen: tracker boxes with the cursor values in the
// overlay, the popup of a curve's name label, and the thumbnail's rubber band
// and Keep X Scales the Same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "plots/apview.h"
#include "plots/cursordisplay.h"
#include "plots/curvepopup.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/plotwindows.h"
#include "plots/thumbwindow.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "tests/plots/runfixture.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

const char* const kTrackerRcDeck =
    "RC step\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN OUT 1K\nC1 OUT 0 1U\n"
    ".TRAN 0.05M 5M\n.PRINT TRAN V(OUT) V(IN)\n.END\n";

using Shape = platform::OverlayMark::Shape;

// The box showing `text`; null when none does.
const platform::OverlayMark* trk_Box(platform::Window& view, const std::string& text) {
    for (const platform::OverlayMark& m : view.Overlay().Marks())
        if (m.shape == Shape::TextBox && m.text == text) return &m;
    return nullptr;
}

std::vector<platform::OverlayMark> trk_Boxes(platform::Window& view) {
    std::vector<platform::OverlayMark> boxes;
    for (const platform::OverlayMark& m : view.Overlay().Marks())
        if (m.shape == Shape::TextBox) boxes.push_back(m);
    return boxes;
}

// A port that records what it is asked and lists one window of each kind.
class trk_Windows final : public DependentPlotWindowPort {
public:
    std::vector<DependentWindowEntry> WindowsOf(DependentWindowKind, CG2DDoc&, int) override {
        return {{1, "Second window"}};
    }
    int AddWindow(DependentWindowKind kind, CG2DDoc&, int curve) override {
        added.push_back({kind, curve});
        return 0;
    }
    int ShowWindow(DependentWindowKind kind, CG2DDoc&, int k) override {
        shown.push_back({kind, k});
        return 0;
    }
    std::vector<std::pair<DependentWindowKind, int>> added, shown;
};

class TrackerWindow : public twtest::AnalysisRunTest {
protected:
    TrackerWindow() : AnalysisRunTest("tw_plots_trackers", Frame::Main) {}
    void TearDown() override {
        CloseThumbnail();
        InstallDependentPlotWindows(nullptr);
        AnalysisRunTest::TearDown();
    }
    // The transient of the RC deck run to its end in its window; with
    // `twoGroups` V(OUT) and V(IN) stand in plot groups 1 and 2.
    CG2DView* RunRc(CG2DDoc** plot, bool twoGroups = false) {
        CCTDoc* rc = Load("rc.ckt", kTrackerRcDeck);
        EXPECT_EQ(RunAnalysis(rc, 0), 0);
        if (twoGroups) SetCurveRows(rc, 0, {{"T", "V(OUT)"}, {"T", "V(IN)"}});
        *plot = AnalysisDocumentOf(rc);
        EXPECT_EQ(RunOpenAnalysis(rc), 0);
        Pump();
        return ViewOf(*plot);
    }
    platform::Image Grab(platform::Window& w) {
        platform::Image image;
        EXPECT_TRUE(w.SaveImage(png_));
        EXPECT_TRUE(image.Load(png_));
        return image;
    }

    std::string png_ = dir_.File("grab.png");
};

TEST_F(TrackerWindow, TrackerBoxesShowTheCursorValuesInsideThePlotOverAnUntouchedPlot) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    app_->PostCommand(view, kCmdModeCursor);
    Pump();
    ASSERT_EQ(plot->modeCommand, kCmdModeCursor);
    EXPECT_TRUE(trk_Boxes(*view).empty());  // no tracker chosen yet

    // Trackers > Cursor: X,Y beside each cursor point.
    app_->PostCommand(view, kCmdTrackerCursor);
    Pump();
    const PlotCurve& c = plot->Curves[static_cast<size_t>(plot->CurrentCurve)];
    ASSERT_EQ(trk_Boxes(*view).size(), 2u);
    const DeviceRect& r = c.PlotRect;
    for (int cursor = 0; cursor < 2; ++cursor) {
        const std::string text = TrackerText(c, cursor, 2);
        EXPECT_EQ(text.rfind(c.FormatAxisValue(kAxisX, c.CursorX[cursor]) + ",", 0), 0u);
        const platform::OverlayMark* box = trk_Box(*view, text);
        ASSERT_NE(box, nullptr) << text;
        // Inside the plot, and near the cursor's X.
        EXPECT_GE(box->points[0].x, r.left);
        EXPECT_LE(box->points[1].x, r.right);
        EXPECT_GE(box->points[0].y, r.top);
        EXPECT_LE(box->points[1].y, r.bottom);
        const int x = c.ToDeviceInt(kAxisX, c.CursorX[cursor]);
        EXPECT_LE(std::abs(x - (box->points[0].x + box->points[1].x) / 2), box->points[1].x - box->points[0].x);
    }
    // The box stands left of the cursor point.
    const platform::OverlayMark right = *trk_Box(*view, TrackerText(c, 1, 2));
    EXPECT_EQ(right.points[1].x, c.ToDeviceInt(kAxisX, c.CursorX[1]) - 2);

    // Trackers > Intercept adds the X on the bottom edge and the Y on the left.
    app_->PostCommand(view, kCmdTrackerIntercept);
    Pump();
    ASSERT_EQ(trk_Boxes(*view).size(), 6u);
    const platform::OverlayMark* xBox = trk_Box(*view, c.FormatAxisValue(kAxisX, c.CursorX[0]));
    const platform::OverlayMark* yBox = trk_Box(*view, c.FormatAxisValue(kAxisY, c.CursorY[0]));
    ASSERT_TRUE(xBox && yBox);
    EXPECT_EQ(xBox->points[1].y, r.bottom - 2);
    EXPECT_EQ(yBox->points[0].x, r.left);
    // The right cursor stands at the end of the run: its X box was shifted in at the right edge.
    const platform::OverlayMark* rightX = trk_Box(*view, c.FormatAxisValue(kAxisX, c.CursorX[1]));
    ASSERT_NE(rightX, nullptr);
    EXPECT_EQ(rightX->points[1].x, r.right);

    // The grab shows the box: its frame in the tracker colour, filled inside.
    const platform::Image shown = Grab(*view);
    EXPECT_EQ(shown.PixelAt(right.points[0].x, right.points[0].y), right.pen.color);
    EXPECT_EQ(shown.PixelAt(right.points[0].x + 1, right.points[0].y + 1), right.fill);

    // Taking a box away and showing it again leaves the image as it was; the
    // plot is not laid out or drawn anew (its drawing cache stands).
    Pump();
    ASSERT_FALSE(c.RunTables.empty());
    const size_t cached = c.RunTables[0].Polyline.size();
    view->Overlay().Toggle(right);
    Pump();
    view->Overlay().Toggle(right);
    Pump();
    EXPECT_EQ(c.RunTables[0].Polyline.size(), cached);
    EXPECT_EQ(Grab(*view).CountDifferences(shown), 0);

    // Moving a cursor moves its boxes; outside Cursor mode none is left.
    app_->PostKeyDown(view, platform::key::Right);
    Pump();
    ASSERT_EQ(trk_Boxes(*view).size(), 6u);
    EXPECT_NE(trk_Box(*view, TrackerText(c, 0, 2)), nullptr);
    app_->PostCommand(view, kCmdModeScale);
    Pump();
    EXPECT_TRUE(view->Overlay().IsEmpty());
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

TEST_F(TrackerWindow, ALegendLabelPopupOffersTheWindowsOfTheCurve) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    ASSERT_GE(plot->PlottedCount, 2);
    const PlotCurve& in = plot->Curves[1];
    ASSERT_GT(in.AxisTitleWidth[kAxisY], 0);
    ASSERT_EQ(in.SingleVar[kAxisX], 'T');
    plot->CurrentCurve = 0;
    const platform::Point label{in.LegendX + 2, in.LegendY + plot->Layout.LineHeight / 2};
    ASSERT_EQ(HitTestCurveLabel(*plot, label, plot->Layout.LineHeight), 1);

    struct Item {
        int id;
        bool enabled;
        bool operator==(const Item&) const = default;
    };
    std::vector<Item> items;
    int answer = 0;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& r) {
        if (r.Kind() != platform::ModalKind::PopupMenu) return 0;
        platform::Menu& menu = static_cast<platform::PopupMenuRequest&>(r).GetMenu();
        items.clear();
        for (int i = 0; i < menu.ItemCount(); ++i) items.push_back({menu.ItemAt(i).id, menu.ItemAt(i).enabled});
        return answer;
    });
    // Without the windows' owner the Add items are there but disabled.
    app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Right, label, platform::MouseRight);
    app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Right, label, 0);
    Pump();
    EXPECT_EQ(plot->CurrentCurve, 1);
    EXPECT_EQ(items, (std::vector<Item>{{kCmdAdd3DWindow, false},
                                        {kCmdAddPerformanceWindow, false},
                                        {kCmdAddFFTWindow, false},
                                        {kCmdAddHistogramWindow, false}}));
    EXPECT_EQ(RunCurvePopupCommand(*plot, 1, kCmdAddFFTWindow), kResultNotBuilt);

    // With the owner: enabled, each followed by its open windows; a choice reaches the owner.
    trk_Windows windows;
    InstallDependentPlotWindows(&windows);
    answer = kCmdAddFFTWindow;
    app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Right, label, platform::MouseRight);
    app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Right, label, 0);
    Pump();
    EXPECT_EQ(items, (std::vector<Item>{{kCmdAdd3DWindow, true},
                                        {kCmd3DWindowFirst + 1, true},
                                        {kCmdAddPerformanceWindow, true},
                                        {kCmdPerformanceWindowFirst + 1, true},
                                        {kCmdAddFFTWindow, true},
                                        {kCmdFFTWindowFirst + 1, true},
                                        {kCmdAddHistogramWindow, true},
                                        {kCmdHistogramWindowFirst + 1, true}}));
    ASSERT_EQ(windows.added.size(), 1u);
    EXPECT_EQ(windows.added[0], std::make_pair(DependentWindowKind::FFT, 1));
    EXPECT_EQ(RunCurvePopupCommand(*plot, 1, kCmdHistogramWindowFirst + 1), 0);
    EXPECT_EQ(windows.shown.back(), std::make_pair(DependentWindowKind::Histogram, 1));

    // An AC curve (against F) has no FFT item.
    const int kind = plot->AnalysisKind, running = plot->RunningKind;
    plot->AnalysisKind = 1;
    plot->RunningKind = -1;
    plot->Curves[1].SingleVar[kAxisX] = 'F';
    platform::Menu menu;
    BuildCurvePopup(menu, *plot, 1);
    EXPECT_FALSE(menu.HasItem(kCmdAddFFTWindow));
    EXPECT_TRUE(menu.HasItem(kCmdAddHistogramWindow));
    plot->AnalysisKind = kind;
    plot->RunningKind = running;
    plot->Curves[1].SingleVar[kAxisX] = 'T';

    // Over the plot itself the right button is the drag, not the popup.
    const platform::Point inside{(in.PlotRect.left + in.PlotRect.right) / 2,
                                 (in.PlotRect.top + in.PlotRect.bottom) / 2};
    EXPECT_EQ(HitTestCurveLabel(*plot, inside, plot->Layout.LineHeight), -1);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

TEST_F(TrackerWindow, ThumbnailZoomShowsARubberBandAndKeepsTheXScalesOfTheOtherGroup) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot, true);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(plot->PlottedCount, 2);
    ASSERT_NE(plot->Curves[0].PlotNumber, plot->Curves[1].PlotNumber);
    plot->CurrentCurve = 0;
    ASSERT_TRUE(ToggleThumbnail());
    Pump();
    CThumbView* thumb = ThumbnailWindow()->View();
    ASSERT_NE(thumb, nullptr);
    thumb->Update();
    ASSERT_GT(thumb->ThumbPaints, 0);
    // A zoom box from the overview's left edge (left of the marked X 2m..4m) to its middle.
    const platform::Rect area = thumb->ClientRect();
    const platform::Point a{area.left + 2, area.top + 2};
    const platform::Point b{area.right / 2, area.bottom - 2};

    const std::vector<PlotCurve*> curves{&plot->Curves[0], &plot->Curves[1]};
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        PlotSettingsOf(plot)->keepXScales = keep;
        for (PlotCurve* c : curves) {
            c->RangeLow[kAxisX] = 2e-3;
            c->RangeHigh[kAxisX] = 4e-3;
        }
        RefreshThumbnail();
        Pump();
        const double groupTwoHigh = plot->Curves[1].RangeHigh[kAxisX];
        app_->PostMouse(thumb, platform::MouseEventKind::Down, platform::MouseButton::Left, a, platform::MouseLeft);
        app_->PostMouse(thumb, platform::MouseEventKind::Move, platform::MouseButton::Left, b, platform::MouseLeft);
        Pump();
        // While the button is held the box shows in the overlay.
        ASSERT_EQ(thumb->Overlay().Marks().size(), 1u);
        EXPECT_EQ(thumb->Overlay().Marks()[0].points, (std::vector<platform::Point>{a, b}));
        app_->PostMouse(thumb, platform::MouseEventKind::Up, platform::MouseButton::Left, b, 0);
        Pump();
        EXPECT_TRUE(thumb->Overlay().IsEmpty());
        const PlotCurve& first = plot->Curves[0];
        EXPECT_LT(first.RangeLow[kAxisX], 1e-3);
        if (keep) {
            EXPECT_EQ(plot->Curves[1].RangeLow[kAxisX], first.RangeLow[kAxisX]);
            EXPECT_EQ(plot->Curves[1].RangeHigh[kAxisX], first.RangeHigh[kAxisX]);
        } else {
            EXPECT_EQ(plot->Curves[1].RangeHigh[kAxisX], groupTwoHigh);
        }
    }
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

}  // namespace
