// The view and frame bases of every analysis window (2D plot, performance,
// FFT, Monte Carlo, 3D): the working modes an analysis window offers, the
// close command (F3), the redraw entry the documents call, the text scale of
// plot fonts on screens and paper, the cells of the cursor tables, and
// closing a window while its document stays with its circuit.
#pragma once

#include <cstdint>
#include <string>

#include "platform/draw.h"
#include "shell/document.h"

class CANDoc;
struct PlotCurve;
struct PlotObject;

// Commands of the analysis views.
enum AnalysisViewCommand : int {
    kCmdCloseAnalysisWindow = 17216,  // F3
    kCmdExitAnalysis = 17153,         // Exit Analysis in the analysis menu
    kCmdModeText = 17563,
    kCmdModeScale = 17576,   // F7
    kCmdModeCursor = 17577,  // F8
    kCmdModeHorizontalTag = 17581,
    kCmdModeVerticalTag = 17582,
    kCmdModeTag = 17583,
    kCmdDeleteAllObjects = 17167,
};

// Redraw flag bits of CANView::Redraw.
enum AnalysisRedrawFlag : uint32_t {
    kRedrawPointObjects = 0x10,
    kRedrawWholeWindow = 0x20,
    kRedrawObjectsOnly = 0x200,
    kRedrawClearObjects = 0x800,
};

class CANView : public CMDIView {
public:
    explicit CANView(int kind);
    ~CANView() override;

    CANDoc* AnalysisDocument() const;

    // Draws the whole plot; the base has nothing to draw.
    virtual void RedrawAll(CDrawContext& /*dc*/) {}
    // 0x20 repaints the window; otherwise the plot is redrawn now when the
    // view is painting, else at its next paint.
    void Redraw(uint32_t flags) override;
    // Scale and Cursor are taken only by plot views that hold data; the tag
    // modes are set; every other mode goes to the base.
    void SetMode(int command) override;

    // The window goes while its document stays (off the document list, to be
    // opened again by its owner). The frame's placement is kept in the
    // document's kind settings by the caller that knows them.
    void CloseKeepDocument();
    // The active view is visible; another one unless the active view's window
    // covers it completely.
    bool IsViewVisible() const;

    // Fonts of plots scale with the drawing height against the screen's
    // (printers draw larger), times the curve's zoom of its Y range; at most 3
    // on displays.
    double GetTextScale(CDrawContext& dc, const PlotCurve* curve) const;
    platform::FontDesc CreateScaledFont(CDrawContext& dc, const FontSpec& spec, bool bold,
                                        const PlotCurve* curve) const;
    // A table cell: "#" when the text does not fit; a right-aligned value on a
    // display clears the cell's left part, so a shorter value erases a longer.
    void DrawCellText(CDrawContext& dc, const std::string& text, platform::Rect rect, unsigned flags) const;
    // The slope between the cursors of a curve (method 0 plain, 1 per octave,
    // 2 per decade), "INF" when the denominator vanishes.
    void DrawSlopeCell(CDrawContext& dc, const PlotCurve& curve, int denominatorAxis, int numeratorAxis,
                       platform::Rect rect, int method) const;
    // Plot texts on the plot background; a text colour that would vanish on
    // the background is inverted.
    void SetPlotTextColors(CDrawContext& dc, int textColor) const;

    // The objects the view draws: none, or the document's.
    bool DrawsObjects() const { return drawsObjects_; }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;

protected:
    void OnDestroy() override;
    // True while a run is active and not paused: the mouse and the
    // mode-dependent commands leave the run's drawing alone.
    bool RunBusy() const;
    // The document holds data and no run is active unless paused.
    bool DataIdle() const;

private:
    bool drawsObjects_ = true;
};

class CANFrame : public CMDIFrame {
public:
    explicit CANFrame(int kind) : CMDIFrame(kind) {}
};

// Number routines of the scale drawing and the automatic scale factor.
// True when a and b differ relatively by more than 1e-6, or a + step passes
// the limit.
bool ScaleValueCheck(double a, double b, double step, double limit);
// The magnitude that represents a range: its span when the two ends differ by
// more than three decades, else the end of the larger magnitude.
double RangeMagnitude(double low, double high);
// Tag objects: vertical dimension 7, point tag 8, horizontal dimension 9.
bool IsTagObjectKind(int kind);
// A text object of a plot's Text mode before its font is set: type 3, width
// 1, no colours, pattern 10.
void InitTextObjectDefaults(PlotObject& object);
