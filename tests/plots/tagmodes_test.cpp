// The tag modes of the plot window driven by synthetic mouse events
// off-screen: a drag from a curve shows a rubber band and adds one tag of the
// mode's kind as one Undo step, nothing happens off a curve, and the tags
// show on the window and on the PDF page.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
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
#include "platform/image.h"
#include "plots/cursors.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/plotcursorview.h"
#include "plots/plotobjects.h"
#include "plots/plotwindows.h"
#include "plots/tagcommands.h"
#include "plots/tagtracker.h"
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

class PlotTagModes : public twtest::AnalysisRunTest {
protected:
    PlotTagModes() : AnalysisRunTest("tw_plots_tag_modes", Frame::Main) {}
    CG2DView* RunRc(CG2DDoc** plot) { return RunTransientInWindow("rc.ckt", kCursorRcDeck, plot); }
};

TEST_F(PlotTagModes, ADragFromACurveAddsOneTagOfTheModesKindAsOneUndoStep) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    ASSERT_GE(plot->PlottedCount, 1);
    const PlotCurve& out = plot->Curves[0];
    const int q = out.RunFirst[0] + (out.RunLast[0] - out.RunFirst[0]) / 3;
    const double x = plot->GetValue(out.DataColumn[kSlotX], q), y = plot->GetValue(out.DataColumn[kSlotY], q);
    const platform::Point press{out.ToDevice(kAxisX, x), out.ToDevice(kAxisY, y)};
    const platform::Point release{press.x + 40, press.y - 30};
    const double xSpan = std::abs(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX]);
    const double ySpan = std::abs(out.RangeHigh[kAxisY] - out.RangeLow[kAxisY]);
    auto drag = [&](platform::Point from, platform::Point to) {
        app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Left, from, platform::MouseLeft);
        app_->PostMouse(view, platform::MouseEventKind::Move, platform::MouseButton::Left, to, platform::MouseLeft);
        Pump();
        const bool banded = view->TagDrag().BandShown && !view->Overlay().IsEmpty();
        app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Left, to, 0);
        Pump();
        return banded;
    };

    struct Case {
        int mode, kind;
        const char* undo;
        platform::Point bandStart;
    };
    const Case cases[] = {
        {kCmdModeHorizontalTag, kObjMeasureH, "&Undo Add MeasureH", {press.x, press.y + 10}},
        {kCmdModeVerticalTag, kObjMeasureV, "&Undo Add MeasureV", {press.x + 10, press.y}},
        {kCmdModeTag, kObjTag, "&Undo Add Tag", press},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        app_->PostCommand(view, c.mode);
        Pump();
        ASSERT_EQ(plot->modeCommand, c.mode);
        const size_t before = plot->Objects.size();

        // Off every plot nothing starts and nothing is added.
        EXPECT_FALSE(drag(platform::Point{2, 2}, platform::Point{30, 30}));
        EXPECT_EQ(plot->Objects.size(), before);

        app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Left, press, platform::MouseLeft);
        app_->PostMouse(view, platform::MouseEventKind::Move, platform::MouseButton::Left, release,
                        platform::MouseLeft);
        Pump();
        // The band runs from the (offset) press to the mouse.
        ASSERT_EQ(view->Overlay().Marks().size(), 1u);
        EXPECT_EQ(view->Overlay().Marks()[0].points, (std::vector<platform::Point>{c.bandStart, release}));
        app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Left, release, 0);
        Pump();
        EXPECT_TRUE(view->Overlay().IsEmpty());

        ASSERT_EQ(plot->Objects.size(), before + 1);
        const PlotObject& tag = *plot->Objects.back();
        EXPECT_EQ(tag.type, c.kind);
        EXPECT_EQ(tag.plot, 0);
        EXPECT_EQ(tag.alias1, out.CurveId);
        // The first point stands on the curve where it was pressed.
        EXPECT_NEAR(tag.corners[0], x, xSpan * 0.01);
        EXPECT_NEAR(tag.corners[1], y, ySpan * 0.01);
        if (c.kind == kObjTag) {
            // The text where the button came up.
            EXPECT_NEAR(tag.corners[2], out.FromDevice(kAxisX, release.x), xSpan * 1e-9);
            EXPECT_NEAR(tag.corners[3], out.FromDevice(kAxisY, release.y), ySpan * 1e-9);
        } else {
            // The second point on the curve nearest to the release; the line midway across the band.
            EXPECT_GT(tag.corners[2], x);
            if (c.kind == kObjMeasureH)
                EXPECT_NEAR(tag.measure, out.FromDevice(kAxisY, (c.bandStart.y + release.y) / 2.0), ySpan * 1e-9);
            else
                EXPECT_NEAR(tag.measure, out.FromDevice(kAxisX, (c.bandStart.x + release.x) / 2.0), xSpan * 1e-9);
        }
        EXPECT_EQ(UndoMenuText(plot, false, nullptr).rfind(c.undo, 0), 0u);
        UndoRedo(plot, 1);
        EXPECT_EQ(plot->Objects.size(), before);
        UndoRedo(plot, 0);
        ASSERT_EQ(plot->Objects.size(), before + 1);
    }
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

TEST_F(PlotTagModes, TagsShowOnTheWindowAndOnThePdfPage) {
    CG2DDoc* plot = nullptr;
    CG2DView* view = RunRc(&plot);
    ASSERT_NE(view, nullptr);
    const PlotCurve& out = plot->Curves[0];
    CCTDoc* rc = documents_.back().get();
    // A point tag from a third of the run to a point up and right of it.
    const int q = out.RunFirst[0] + (out.RunLast[0] - out.RunFirst[0]) / 3;
    const platform::Point press{out.ToDevice(kAxisX, plot->GetValue(out.DataColumn[kSlotX], q)),
                                out.ToDevice(kAxisY, plot->GetValue(out.DataColumn[kSlotY], q))};
    const platform::Point release{press.x + 60, press.y - 40};
    app_->PostCommand(view, kCmdModeTag);
    Pump();
    app_->PostMouse(view, platform::MouseEventKind::Down, platform::MouseButton::Left, press, platform::MouseLeft);
    app_->PostMouse(view, platform::MouseEventKind::Up, platform::MouseButton::Left, release, 0);
    Pump();
    ASSERT_EQ(plot->Objects.size(), 1u);

    // On the window: its leader between the point and the text, the text above the release point.
    const std::string png = dir_.File("tag.png");
    ASSERT_TRUE(view->SaveImage(png));
    platform::Image image;
    ASSERT_TRUE(image.Load(png));
    const platform::Color leader = CDrawContext(nullptr).GetColorValue(4);
    auto near = [&](platform::Point p) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (image.PixelAt(p.x + dx, p.y + dy) == leader) return true;
        return false;
    };
    EXPECT_TRUE(near(platform::Point{(press.x + release.x) / 2, (press.y + release.y) / 2}));
    EXPECT_TRUE(near(platform::Point{release.x + 5, release.y}));
    int inked = 0;
    for (int yy = release.y - 12; yy < release.y - 1; ++yy)
        for (int xx = release.x + 2; xx < release.x + 40; ++xx)
            inked += image.PixelAt(xx, yy) != image.PixelAt(release.x + 2, release.y - 30);
    EXPECT_GT(inked, 10);

    // On the page: the tag's lines and text make the page's drawing longer
    // than the same page without them.
    const std::string pdf = dir_.File("rc.pdf");
    ASSERT_EQ(PrintAnalysisPlot(rc), 0);
    const auto tagged = std::filesystem::file_size(pdf);
    plot->Objects.clear();
    ASSERT_EQ(PrintAnalysisPlot(rc), 0);
    EXPECT_GT(tagged, std::filesystem::file_size(pdf));
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

}  // namespace
