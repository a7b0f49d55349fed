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
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "platform/app.h"
#include "plots/cursors.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/plotcursorview.h"
#include "plots/plotwindows.h"
#include "plots/zoom.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

const char* const kCursorRcDeck =
    "RC step\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN OUT 1K\nC1 OUT 0 1U\n"
    ".TRAN 0.05M 5M\n.PRINT TRAN V(OUT) V(IN)\n.END\n";

class PlotCursorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        LoadAcceleratorTables();
        if (!GetProgramPalette()) CreateProgramPalette();
        InitColorTable();
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        InstallPlotWindows();
        app_ = platform::Application::Instance();
        frame_ = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame_->LoadFrame());
        SetMainFrame(frame_.get());
        app_->SetMainWindow(frame_.get());
        frame_->Show(platform::show::Normal);
    }
    void TearDown() override {
        for (auto& document : documents_) {
            ExitAnalysis(document.get(), true);
            ReleaseSpiceReader(document.get());
            ReleaseDefineTable(document.get());
        }
        documents_.clear();
        app_->PumpEvents();
        CloseAllDocuments();
        app_->PumpEvents();
        app_->SetMainWindow(nullptr);
        frame_.reset();
        SetMainFrame(nullptr);
        InstallAnalysisWindows(nullptr);
        InstallAnalysisDocuments(nullptr);
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        RunState() = RunStateValues{};
        library_.reset();
    }
    void Pump() {
        for (int i = 0; i < 3; ++i) app_->PumpEvents();
    }
    // The transient of the RC deck run to its end in its window.
    CG2DView* RunRc(CG2DDoc** plot) {
        documents_.push_back(MakeSpiceTextDocument(dir_.File("rc.ckt").c_str(), kCursorRcDeck));
        CCTDoc* rc = documents_.back().get();
        EXPECT_EQ(RunAnalysis(rc, 0), 0);
        *plot = AnalysisDocumentOf(rc);
        EXPECT_EQ(RunOpenAnalysis(rc), 0);
        Pump();
        return *plot ? dynamic_cast<CG2DView*>((*plot)->MainView()) : nullptr;
    }

    twtest::TempDir dir_{"tw_plots_cursor_window"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    platform::Application* app_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::unique_ptr<CCTDoc>> documents_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code());
        return 0;
    }};
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

}  // namespace
