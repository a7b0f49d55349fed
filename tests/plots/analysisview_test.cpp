// The analysis view bases: their number routines, the cells of the cursor
// tables, the View option switches that exclude each other, the curve under a
// point, the modes a plot view takes, and closing a window while its document
// stays.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "platform/app.h"
#include "platform/image.h"
#include "plots/apview.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/mainframe.h"

namespace {

TEST(AnalysisViewNumbers, ScaleValueCheckAndRangeMagnitude) {
    struct Check {
        double a, b, step, limit;
        bool expected;
    };
    for (const Check& c : {Check{1, 1, 0.1, 2, false}, Check{1, 1.1, 0.1, 2, true}, Check{1.9999999, 2, 0.1, 2, true},
                           Check{0, 0, 0, 1, false}, Check{5, 5, 1, 10, false}})
        EXPECT_EQ(ScaleValueCheck(c.a, c.b, c.step, c.limit), c.expected) << c.a << " " << c.b;

    struct Magnitude {
        double low, high, expected;
    };
    // More than three decades apart: the span; otherwise the end of the larger
    // magnitude, a zero end counting as 1e-50.
    for (const Magnitude& m : {Magnitude{1e-6, 10, 10 - 1e-6}, Magnitude{-5, 20, 20}, Magnitude{-200, 20, -200},
                               Magnitude{0, 5e-49, 5e-49}, Magnitude{3, 1, 3}})
        EXPECT_DOUBLE_EQ(RangeMagnitude(m.low, m.high), m.expected) << m.low << " " << m.high;

    for (int kind = 0; kind < 13; ++kind) EXPECT_EQ(IsTagObjectKind(kind), kind >= 7 && kind <= 9) << kind;
}

// Views on the real main window, off-screen.
class AnalysisViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GetProgramPalette()) CreateProgramPalette();
        InitColorTable();
        RegisterAnalysisWindowTemplate();
        app_ = platform::Application::Instance();
        frame_ = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame_->LoadFrame());
        SetMainFrame(frame_.get());
        app_->SetMainWindow(frame_.get());
        frame_->Show(platform::show::Normal);
        circuit_ = MakeSpiceTextDocument("view.ckt", "view\nR1 1 0 1K\n.END\n");
        ASSERT_NE(EnsureAnalysisSettings(circuit_.get()), nullptr);
        doc_ = AnalysisDocumentOf(circuit_.get());
        ASSERT_NE(doc_, nullptr);
        doc_->AnalysisKind = 0;
        view_ = dynamic_cast<CG2DView*>(doc_->OpenFrame("Transient Analysis"));
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override {
        // The circuit takes its analysis document and the window along.
        circuit_.reset();
        app_->PumpEvents();
        app_->SetMainWindow(nullptr);
        frame_.reset();
        SetMainFrame(nullptr);
        ClearRunContext();
    }
    // A plotted curve of group `group` with its plot area.
    void AddCurve(int group, DeviceRect rect, bool digital = false, int bandTop = 0, int bandBottom = 0) {
        PlotCurve c;
        c.UseFlags = kCurveDrawn;
        c.PlotNumber = group;
        c.PlotRect = rect;
        c.IsDigital = digital;
        c.DigitalHighY = bandTop;
        c.DigitalLowY = bandBottom;
        doc_->Curves.push_back(std::move(c));
        doc_->PlottedCount = doc_->CurveCount();
    }

    platform::Application* app_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<CCTDoc> circuit_;
    CG2DDoc* doc_ = nullptr;
    CG2DView* view_ = nullptr;
};

TEST_F(AnalysisViewWindow, CellsShowHashWhenTooNarrowAndSlopesShowInfWithoutADenominator) {
    platform::Image image(200, 40);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    const platform::Color paper = platform::MakeColor(255, 255, 255);
    auto inkColumns = [&](int from, int to) {
        int columns = 0;
        for (int x = from; x < to; ++x)
            for (int y = 0; y < 40; ++y)
                if (image.PixelAt(x, y) != paper) {
                    ++columns;
                    break;
                }
        return columns;
    };
    dc.SetTextColorIndex(0);
    // A value wider than its cell shows "#", which is narrow.
    view_->DrawCellText(dc, "123456789012345", platform::Rect{0, 0, 30, 40}, platform::TextBox::SingleLine);
    const int hash = inkColumns(0, 30);
    EXPECT_GT(hash, 0);
    EXPECT_LT(hash, 12);

    PlotCurve c;
    c.CursorX[0] = c.CursorX[1] = 2;  // no X span
    c.CursorY[0] = 1;
    c.CursorY[1] = 3;
    struct Slope {
        double leftX;
        int method;
        bool infinite;
    };
    // Plain slope with equal X; per octave and per decade with the left X at 0.
    for (const Slope& s : {Slope{2, 0, true}, Slope{0, 1, true}, Slope{0, 2, true}, Slope{1, 0, false}}) {
        image.Fill(paper);
        c.CursorX[0] = s.leftX;
        view_->DrawSlopeCell(dc, c, kAxisX, kAxisY, platform::Rect{0, 0, 200, 40}, s.method);
        platform::Image inf(200, 40);
        auto infSurface = platform::CreateImageSurface(inf);
        CDrawContext infDc(infSurface.get());
        infDc.SetTextColorIndex(0);
        view_->DrawCellText(infDc, "INF", platform::Rect{0, 0, 200, 40},
                            platform::TextBox::Right | platform::TextBox::VCenter | platform::TextBox::SingleLine);
        EXPECT_EQ(image.SameContent(inf), s.infinite) << s.leftX << " " << s.method;
    }
}

TEST_F(AnalysisViewWindow, RulerAndPlusMarkAndTheTwoMinorLogGridsExcludeEachOther) {
    PlotWindowSettings& settings = CircuitAnalysisSettings(circuit_.get())->kinds[0].window;
    auto bit = [&](int command) { return (doc_->ViewOptions[0] & ViewOptionBit(command)) != 0; };
    struct Pair {
        int bitCommand;
        int fieldCommand;
        int32_t PlotWindowSettings::*field;
    };
    for (const Pair& p : {Pair{kCmdViewRuler, kCmdViewPlusMark, &PlotWindowSettings::plusMark},
                          Pair{kCmdViewMinorLogGrids, kCmdViewMinorLogGrids25, &PlotWindowSettings::minorLog25}}) {
        doc_->ViewOptions[0] &= ~ViewOptionBit(p.bitCommand);
        settings.*p.field = 0;
        view_->OnViewOption(p.fieldCommand);
        EXPECT_EQ(settings.*p.field, 1);
        view_->OnViewOption(p.bitCommand);
        EXPECT_TRUE(bit(p.bitCommand));
        EXPECT_EQ(settings.*p.field, 0);
        view_->OnViewOption(p.fieldCommand);
        EXPECT_EQ(settings.*p.field, 1);
        EXPECT_FALSE(bit(p.bitCommand));
        // Switching either off leaves the other off.
        view_->OnViewOption(p.fieldCommand);
        EXPECT_EQ(settings.*p.field, 0);
        EXPECT_FALSE(bit(p.bitCommand));
    }
    // Baseline has its own bit; the grid switches toggle theirs.
    const int32_t before = doc_->ViewOptions[0];
    view_->OnViewOption(kCmdViewBaseline);
    view_->OnViewOption(kCmdViewHorizontalGrids);
    EXPECT_EQ(doc_->ViewOptions[0], before ^ 0x10000 ^ 8);
    // The menu items read the same state.
    platform::CommandState state(kCmdViewBaseline, true);
    ASSERT_TRUE(view_->OnUpdateCommand(state));
    EXPECT_EQ(state.Checked(), (doc_->ViewOptions[0] & 0x10000) != 0);
}

TEST_F(AnalysisViewWindow, TheCurveUnderAPointPrefersTheGroupsAnalogCurveAndTheCurrentCurve) {
    // Group 1 mixes an analog curve with two digital bands; group 2 lies below.
    AddCurve(1, {10, 10, 300, 200});
    AddCurve(1, {10, 10, 300, 200}, true, 20, 40);
    AddCurve(1, {10, 10, 300, 200}, true, 60, 80);
    AddCurve(2, {10, 220, 300, 400});
    AddCurve(2, {10, 220, 300, 400});
    struct Hit {
        int x, y, current, expected;
    };
    for (const Hit& h : {Hit{50, 30, 0, 0}, Hit{50, 50, 0, 0}, Hit{50, 300, 0, 3}, Hit{50, 300, 4, 4},
                         Hit{300, 300, 0, -1}, Hit{50, 219, 0, -1}, Hit{10, 220, 0, 3}}) {
        doc_->CurrentCurve = h.current;
        EXPECT_EQ(doc_->CurveAtPoint(h.x, h.y), h.expected) << h.x << "," << h.y;
    }
    // Without an analog curve the digital band itself answers.
    doc_->Curves.erase(doc_->Curves.begin());
    doc_->CurrentCurve = 0;
    EXPECT_EQ(doc_->CurveAtPoint(50, 70), 1);
}

TEST_F(AnalysisViewWindow, CursorModeWaitsForTheFirstPointAndClosingKeepsTheDocument) {
    AddCurve(1, {10, 10, 300, 200});
    view_->SetMode(kCmdModeCursor);
    EXPECT_NE(doc_->modeCommand, kCmdModeCursor);
    doc_->Curves[0].PointIndex = 0;
    view_->SetMode(kCmdModeCursor);
    EXPECT_EQ(doc_->modeCommand, kCmdModeCursor);

    view_->CloseKeepDocument();
    app_->PumpEvents();
    EXPECT_EQ(doc_->MainView(), nullptr);
    EXPECT_FALSE(doc_->KeepOnWindowClose);
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument()) EXPECT_NE(d, doc_);
    // The document opens a window again.
    EXPECT_NE(doc_->OpenFrame("Transient Analysis"), nullptr);
}

}  // namespace
