// The 2D analysis window under the real main window, off-screen: it opens with
// the analysis, is repainted while the run adds points, writes its plot as a
// PDF page, and closing it (at rest, during a run, during a pause) ends the
// analysis while the document stays for the next one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "platform/app.h"
#include "platform/image.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/layout.h"
#include "plots/plotwindows.h"
#include "plots/thumbwindow.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/drawcontext.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/plots/runfixture.h"
#include "tests/support/test_reporter.h"

namespace {

// A 1 V step into R1 C1 (1 ms), long enough for several repaints.
const char* const kSlowRcDeck =
    "RC step\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN OUT 1K\nC1 OUT 0 1U\n"
    ".TRAN 0.01M 5M\n.PRINT TRAN V(OUT)\n.END\n";

class PlotWindow : public twtest::AnalysisRunTest {
protected:
    PlotWindow() : AnalysisRunTest("tw_plots_window", Frame::Main) {}
};

TEST_F(PlotWindow, OpensWithTheAnalysisRepaintsDuringTheRunAndClosingEndsTheAnalysis) {
    CCTDoc* rc = Load("rc.ckt", kSlowRcDeck);
    const std::vector<std::string> circuitMenus = frame_->MenuBarTitles();
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    CG2DDoc* plot = AnalysisDocumentOf(rc);
    CG2DView* view = ViewOf(plot);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->frame, nullptr);
    // Analysis mode: the circuit's Component, Analysis and Design menus make
    // room for the analysis menus.
    EXPECT_EQ(frame_->MenuBarTitles(), (std::vector<std::string>{"&File", "&Edit", "&Windows", "&Options", "&Transient",
                                                                 "&Scope", "&Monte Carlo", "&Model", "&Help"}));
    EXPECT_TRUE(frame_->MainMenu().HasItem(kCmdRunAnalysis));
    EXPECT_TRUE(view->frame->IsVisible());
    EXPECT_EQ(view->frame->Title(), "Transient Analysis");
    EXPECT_EQ(CurrentRunContext().analysisView, view);
    EXPECT_EQ(plot->PlotView, view);
    // A curve colour the grid does not have.
    AnalysisKindSettings& limits = CircuitAnalysisSettings(rc)->kinds[0];
    ASSERT_FALSE(limits.curves.empty());
    limits.curves[0]->display.lineColor = 12;

    // Closes that arrive while the run is served find the documents held open.
    struct CloseWitness final : platform::Window {
        int closes = 0, held = 0;
        bool OnClose() override {
            ++closes;
            held += RunState().menuLock != nullptr;
            return false;
        }
    } witness;
    ASSERT_TRUE(witness.Create(nullptr, platform::Rect{0, 0, 50, 50}));
    app_->PostClose(&witness);

    ASSERT_EQ(RunOpenAnalysis(rc), 0);
    EXPECT_EQ(witness.closes, 1);
    EXPECT_EQ(witness.held, 1);
    EXPECT_EQ(RunState().menuLock, nullptr);
    EXPECT_GE(view->PlotPaintsDuringRun, 1);
    ASSERT_GE(plot->CurveCount(), 1);
    ASSERT_GT(plot->Curves[0].PointIndex, 20);

    // The window's picture: the frame around the plot, grid lines inside it,
    // and the curve where the transform puts its points.
    const std::string png = dir_.File("window.png");
    ASSERT_TRUE(view->SaveImage(png));
    platform::Image image;
    ASSERT_TRUE(image.Load(png));
    const PlotCurve& out = plot->Curves[0];
    const CDrawContext colors(nullptr);
    const platform::Color grid = colors.GetColorValue(PlotViewInfo().GridColor);
    const platform::Color curve = colors.GetColorValue(out.Style.lineColor);
    const DeviceRect r = out.PlotRect;
    ASSERT_GT(r.right - r.left, 100);
    ASSERT_GT(r.bottom - r.top, 100);
    ASSERT_LE(r.right, image.Width());
    ASSERT_LE(r.bottom, image.Height());
    int frame = 0, inside = 0;
    for (int y = r.top + 1; y < r.bottom - 1; ++y) frame += image.PixelAt(r.left, y) == grid;
    for (int y = r.top + 2; y < r.bottom - 2; ++y)
        for (int x = r.left + 2; x < r.right - 2; ++x) inside += image.PixelAt(x, y) == grid;
    EXPECT_GT(frame * 10, (r.bottom - r.top) * 9);
    EXPECT_GT(inside, r.right - r.left);
    auto near = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (image.PixelAt(x + dx, y + dy) == curve) return true;
        return false;
    };
    int onCurve = 0, sampled = 0;
    for (int i = out.RunFirst[0] + 1; i < out.RunLast[0]; i += 7, ++sampled) {
        const double t = plot->GetValue(out.DataColumn[kSlotX], i), v = plot->GetValue(out.DataColumn[kSlotY], i);
        onCurve += near(out.ToDevice(kAxisX, t), out.ToDevice(kAxisY, v));
    }
    EXPECT_NE(curve, grid);
    EXPECT_GT(sampled, 5);
    EXPECT_EQ(onCurve, sampled);

    // Closing the window ends the analysis; the document stays with its
    // circuit, off the document list, and keeps the window's placement.
    ASSERT_TRUE(view->frame->Close());
    Pump();
    EXPECT_EQ(CurrentAnalysis(), nullptr);
    EXPECT_EQ(AnalysisDocumentOf(rc), plot);
    EXPECT_EQ(plot->MainView(), nullptr);
    EXPECT_EQ(plot->PlotView, nullptr);
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument()) EXPECT_NE(d, plot);
    EXPECT_EQ(CircuitAnalysisSettings(rc)->kinds[0].window.placement.length, kPlacementLength);
    EXPECT_EQ(frame_->MenuBarTitles(), circuitMenus);
    EXPECT_FALSE(frame_->MainMenu().HasItem(kCmdRunAnalysis));
    EXPECT_TRUE(frame_->MainMenu().HasItem(kCmdTransient));

    // A second analysis opens the window again and runs in it.
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    CG2DView* again = ViewOf(plot);
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(RunOpenAnalysis(rc), 0);
    EXPECT_GE(again->PlotPaintsDuringRun, 1);
    CloseAnalysis(rc);
    Pump();
    EXPECT_EQ(plot->MainView(), nullptr);
    EXPECT_EQ(CurrentAnalysis(), nullptr);
    EXPECT_EQ(frame_->MenuBarTitles(), circuitMenus);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

// A close asked for while the run goes on, or while it is paused, stops the
// run; the window closes after the run's end steps and the analysis ends.
TEST_F(PlotWindow, ACloseDuringARunOrAPauseStopsTheRunAndClosesAfterIt) {
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "running");
        CCTDoc* rc = Load(paused ? "paused.ckt" : "running.ckt", kSlowRcDeck);
        ASSERT_EQ(RunAnalysis(rc, 0), 0);
        CG2DDoc* plot = AnalysisDocumentOf(rc);
        CG2DView* view = ViewOf(plot);
        ASSERT_NE(view, nullptr);
        // Both arrive at the run's first service of its window.
        if (paused) app_->PostCommand(view, kCmdPauseAnalysis);
        app_->PostClose(view->frame);
        const int ran = RunOpenAnalysis(rc);
        EXPECT_TRUE(ran == 0 || ran == kRunStopped) << ran;
        // Stopped at its first points, long before its end.
        ASSERT_GE(plot->CurveCount(), 1);
        const PlotCurve& out = plot->Curves[0];
        EXPECT_LT(out.HasPoint() ? plot->GetValue(out.DataColumn[kSlotX], out.PointIndex) : 0, 1e-3);
        EXPECT_FALSE(plot->Run.Running);
        EXPECT_FALSE(plot->Run.Paused);
        EXPECT_NE(CurrentAnalysis(), nullptr);
        Pump();
        EXPECT_EQ(CurrentAnalysis(), nullptr);
        EXPECT_EQ(plot->MainView(), nullptr);
    }
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

TEST_F(PlotWindow, RunPauseAndStopAreOfferedByTheRunState) {
    CCTDoc* rc = Load("rc.ckt", kSlowRcDeck);
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    CG2DDoc* plot = AnalysisDocumentOf(rc);
    CG2DView* view = ViewOf(plot);
    ASSERT_NE(view, nullptr);
    struct Case {
        int32_t running, paused;
        bool run, pause, stop, resume;
    };
    for (const Case& c : {Case{0, 0, true, false, false, false}, Case{1, 0, false, true, true, false},
                          Case{1, 1, false, true, true, true}}) {
        plot->Run.Running = c.running;
        plot->Run.Paused = c.paused;
        auto enabled = [&](int id) {
            platform::CommandState state(id, true);
            EXPECT_TRUE(view->OnUpdateCommand(state));
            return state.Enabled();
        };
        EXPECT_EQ(enabled(kCmdRunAnalysis), c.run) << c.running << c.paused;
        EXPECT_EQ(enabled(kCmdPauseAnalysis), c.pause) << c.running << c.paused;
        EXPECT_EQ(enabled(kCmdStopAnalysis), c.stop) << c.running << c.paused;
        EXPECT_EQ(enabled(kCmdContinueAnalysis), c.resume) << c.running << c.paused;
    }
    // Run while paused does nothing; Stop while paused ends the pause.
    view->OnRun();
    EXPECT_FALSE(plot->HasRun);
    view->OnStop();
    EXPECT_FALSE(plot->Run.Paused);
    EXPECT_TRUE(plot->Run.AbortRequested);
    plot->Run = AnalysisRunFlags();
}

// Numeric Output (F5) is offered once the analysis is at rest with curves and
// shows the kind's numeric output file through the text windows' port.
TEST_F(PlotWindow, NumericOutputShowsTheKindsFileOnceTheRunIsAtRest) {
    struct Recorder final : NumericOutputWindowPort {
        std::vector<std::string> paths;
        int ShowNumericOutput(const std::string& path, const FontSpec&, bool) override {
            paths.push_back(path);
            return 0;
        }
    } recorder;
    NumericOutputWindowPort* previous = InstallNumericOutputWindows(&recorder);
    CCTDoc* rc = Load("rc.ckt", kSlowRcDeck);
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    CG2DView* view = ViewOf(AnalysisDocumentOf(rc));
    ASSERT_NE(view, nullptr);
    auto offered = [&] {
        platform::CommandState state(kCmdNumericOutput, true);
        EXPECT_TRUE(view->OnUpdateCommand(state));
        return state.Enabled();
    };
    EXPECT_FALSE(offered());  // nothing to list yet
    ASSERT_EQ(RunOpenAnalysis(rc), 0);
    EXPECT_TRUE(offered());
    view->Document2D()->Run.Running = 1;
    EXPECT_FALSE(offered());
    view->Document2D()->Run.Running = 0;
    EXPECT_TRUE(view->OnCommand(kCmdNumericOutput));
    EXPECT_EQ(recorder.paths, (std::vector<std::string>{dir_.File("rc.TNO")}));
    InstallNumericOutputWindows(previous);
    CloseAnalysis(rc);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

// The batch's print of the plot: a PDF beside the circuit. A file of that name
// the program did not write is kept and the print refused; one it wrote is
// replaced.
TEST_F(PlotWindow, ThePlotPrintsAsAPdfBesideTheCircuitWithoutOverwritingForeignFiles) {
    CCTDoc* rc = Load("rc.ckt", kSlowRcDeck);
    AnalysisStartMode hidden;
    hidden.hidden = true;
    ASSERT_EQ(RunAnalysis(rc, 0, hidden), 0);
    ASSERT_EQ(RunOpenAnalysis(rc), 0);
    CG2DDoc* plot = AnalysisDocumentOf(rc);
    ASSERT_EQ(plot->MainView(), nullptr);
    const std::string pdf = dir_.File("rc.pdf");
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    };

    ASSERT_EQ(PrintAnalysisPlot(rc), 0);
    const std::string first = read(pdf);
    EXPECT_EQ(first.compare(0, 5, "%PDF-"), 0);
    // The hidden window used for the print is gone again, the document kept.
    EXPECT_EQ(plot->MainView(), nullptr);
    EXPECT_EQ(AnalysisDocumentOf(rc), plot);
    EXPECT_FALSE(std::filesystem::exists(pdf + ".part"));

    // Written by the program: replaced.
    ASSERT_EQ(PrintAnalysisPlot(rc), 0);
    EXPECT_EQ(read(pdf).compare(0, 5, "%PDF-"), 0);
    EXPECT_TRUE(shown_.empty());

    // Not written by the program: kept.
    for (const char* foreign : {"my notes", "%PDF-1.4 someone else's"}) {
        { std::ofstream(pdf, std::ios::binary) << foreign; }
        shown_.clear();
        EXPECT_EQ(PrintAnalysisPlot(rc), kResultShown);
        EXPECT_EQ(read(pdf), foreign);
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0], kMsgPlotFileNotOurs);
    }
    CloseAnalysis(rc);
}


// The thumbnail: the command opens it at the top right of the work area with
// the plot's curve drawn from the plot's data; a drag of its marked rectangle
// pans the plot with the span kept, a rectangle drawn elsewhere zooms it; the
// command closes it and reopening puts it where it was; closing the plot
// closes it.
TEST_F(PlotWindow, ThumbnailShowsThePlotPansAndZoomsItAndClosesWithIt) {
    CCTDoc* rc = Load("rc.ckt", kSlowRcDeck);
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    CG2DDoc* plot = AnalysisDocumentOf(rc);
    CG2DView* view = ViewOf(plot);
    ASSERT_NE(view, nullptr);
    CircuitAnalysisSettings(rc)->kinds[0].curves[0]->display.lineColor = 12;
    ASSERT_EQ(RunOpenAnalysis(rc), 0);
    ASSERT_GE(plot->CurveCount(), 1);
    auto commandState = [&](bool* checked) {
        platform::CommandState state(kCmdThumbnail, true);
        EXPECT_TRUE(view->OnUpdateCommand(state));
        *checked = state.Checked();
        return state.Enabled();
    };
    bool checked = true;
    EXPECT_TRUE(commandState(&checked));
    EXPECT_FALSE(checked);

    ASSERT_TRUE(view->OnCommand(kCmdThumbnail));
    CThumbPlotDlg* thumb = ThumbnailWindow();
    ASSERT_NE(thumb, nullptr);
    ASSERT_NE(thumb->View(), nullptr);
    EXPECT_TRUE(commandState(&checked));
    EXPECT_TRUE(checked);
    EXPECT_TRUE(thumb->IsVisible());
    const platform::Rect workArea = app_->Metrics().workArea;
    EXPECT_EQ(thumb->WindowRect().right, workArea.right);
    Pump();

    // The overview's picture: the curve where the copies' transforms put the plot's points.
    CThumbView* thumbView = thumb->View();
    const std::string png = dir_.File("thumb.png");
    ASSERT_TRUE(thumbView->SaveImage(png));
    EXPECT_GT(thumbView->ThumbPaints, 0);
    platform::Image image;
    ASSERT_TRUE(image.Load(png));
    ASSERT_EQ(thumb->Document().Source(), plot);
    ASSERT_GE(thumb->Document().CurveCount(), 1);
    const PlotCurve& out = plot->Curves[0];
    const PlotCurve& copy = thumb->Document().Curves[0];
    const platform::Color curve = CDrawContext(nullptr).GetColorValue(12);
    auto near = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (image.PixelAt(x + dx, y + dy) == curve) return true;
        return false;
    };
    // The marked rectangle is drawn over the curve: points on its sides are not looked at.
    const platform::Rect marked = thumb->Document().GetSourceViewRect(thumbView->ClientRect());
    auto onMarkedSide = [&](int x, int y) {
        return std::abs(x - marked.left) <= 2 || std::abs(x - marked.right) <= 2 || std::abs(y - marked.top) <= 2 ||
               std::abs(y - marked.bottom) <= 2;
    };
    int onCurve = 0, sampled = 0;
    for (int i = out.RunFirst[0] + 1; i < out.RunLast[0]; i += 3) {
        const double t = plot->GetValue(out.DataColumn[kSlotX], i), v = plot->GetValue(out.DataColumn[kSlotY], i);
        const int x = copy.ToDevice(kAxisX, t), y = copy.ToDevice(kAxisY, v);
        if (onMarkedSide(x, y)) continue;
        ++sampled;
        onCurve += near(x, y);
    }
    EXPECT_GT(sampled, 5);
    EXPECT_EQ(onCurve, sampled);

    // A drag on the marked rectangle moves the plot's X range, its width kept.
    const double low = out.RangeLow[kAxisX], span = out.RangeHigh[kAxisX] - low;
    const platform::Point from{(marked.left + marked.right) / 2, (marked.top + marked.bottom) / 2};
    app_->PostMouse(thumbView, platform::MouseEventKind::Down, platform::MouseButton::Left, from,
                    platform::MouseLeft);
    app_->PostMouse(thumbView, platform::MouseEventKind::Up, platform::MouseButton::Left,
                    platform::Point{from.x + 20, from.y}, 0);
    Pump();
    EXPECT_GT(out.RangeLow[kAxisX], low);
    EXPECT_NEAR(out.RangeHigh[kAxisX] - out.RangeLow[kAxisX], span, span * 1e-9);
    // A rectangle drawn outside the marked one zooms the plot to it.
    thumbView->SaveImage(png);
    const platform::Rect now = thumb->Document().GetSourceViewRect(thumbView->ClientRect());
    const platform::Point corner{std::min(now.left, now.right) - 15, 30}, opposite{corner.x + 10, 40};
    const double zoomLow = copy.FromDevice(kAxisX, corner.x), zoomHigh = copy.FromDevice(kAxisX, opposite.x);
    app_->PostMouse(thumbView, platform::MouseEventKind::Down, platform::MouseButton::Left, corner,
                    platform::MouseLeft);
    app_->PostMouse(thumbView, platform::MouseEventKind::Up, platform::MouseButton::Left, opposite, 0);
    Pump();
    EXPECT_NEAR(out.RangeLow[kAxisX], zoomLow, std::abs(zoomHigh - zoomLow) * 1e-9);
    EXPECT_NEAR(out.RangeHigh[kAxisX], zoomHigh, std::abs(zoomHigh - zoomLow) * 1e-9);

    // The command closes it, leaving the plot's data; it reopens where it was.
    const platform::Rect placed{workArea.left + 40, workArea.top + 50, workArea.left + 340, workArea.top + 250};
    thumb->Move(placed);
    const platform::Rect where = thumb->WindowRect();
    ASSERT_TRUE(view->OnCommand(kCmdThumbnail));
    Pump();
    EXPECT_EQ(ThumbnailWindow(), nullptr);
    EXPECT_TRUE(commandState(&checked));
    EXPECT_FALSE(checked);
    EXPECT_EQ(plot->Curves[0].RunLast[0], out.RunLast[0]);
    EXPECT_GT(plot->GetValue(out.DataColumn[kSlotY], out.RunLast[0]), 0.9);
    EXPECT_EQ(plot->ThumbnailRect[0], where);
    ASSERT_TRUE(view->OnCommand(kCmdThumbnail));
    ASSERT_NE(ThumbnailWindow(), nullptr);
    EXPECT_EQ(ThumbnailWindow()->WindowRect(), where);

    // Closing the plot takes the thumbnail with it.
    ASSERT_TRUE(view->frame->Close());
    Pump();
    EXPECT_EQ(ThumbnailWindow(), nullptr);
    EXPECT_TRUE(shown_.empty()) << shown_[0];
}

}  // namespace
