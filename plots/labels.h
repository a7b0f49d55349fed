// Curve labels: "Label Branches" writes on every branch (run) of a curve a
// label naming that run, at one X chosen where the branches lie farthest apart
// or typed by the user; "Label Data Points" keeps in the curve row a
// comma-separated list of X values at which every branch is labelled, the
// labels recomputed after each run and drawn with the curve.
#pragma once

#include <string>
#include <vector>

#include "plots/curve.h"
#include "plots/layout.h"
#include "shell/dialogs.h"

class CANDoc;
class CG2DDoc;
class CDrawContext;
struct CurveRow;

constexpr int kCmdLabelBranches = 18687;
constexpr int kCmdLabelDataPoints = 40021;
// The graphic object kind of a plot label anchored at a data point.
constexpr int kPlotLabelObject = 12;

// Dialog 456 "Label Curves Branches" and dialog 207 "Label Points".
constexpr unsigned kLabelBranchesDialogId = 456;
constexpr unsigned kLabelPointsDialogId = 207;
constexpr int kIdBranchesAuto = 1227;
constexpr int kIdBranchesUser = 1228;
constexpr int kIdBranchesX = 1229;
constexpr int kIdPointsList = 1327;
constexpr int kIdPointsOn = 1329;
constexpr int kIdPointsOff = 1330;

// The text before the first comma, trimmed at both ends; `list` keeps what
// follows the comma (or becomes empty).
std::string SplitFirstItem(std::string& list);

// The point of run `run` of a curve at x: on rectangular plots (x, the Y there);
// on polar and Smith plots x is a frequency and X and Y are the curve's values
// there. A run without points gives (x, 0).
DataPointXY PointAtX(CANDoc& document, int curve, double x, int run);

// ---- data-point labels

// Rebuilds the curve's labels from a list text: 0, or 15055 after a reported
// memory failure. Items that are empty are skipped; an item that does not
// evaluate is reported and its value used as returned.
int BuildDataPointLabels(CANDoc& document, int curve, const std::string& list);
// From the curve's row (nothing in probe mode or while the row has labels off).
int PrepareDataPointLabels(CG2DDoc& document, int curve);
// Every curve in turn; the first failure ends.
int PrepareAllDataPointLabels(CG2DDoc& document);
void FreeDataPointLabels(PlotCurve& curve);
// Draws every label text at its point of every run, in the curve's text
// colour, clipped to the plot.
void DrawDataPointLabels(CDrawContext& dc, const PlotCurveArray& curves, int curve, const PlotLayout& layout,
                         const PlotViewInfo& view);

// ---- branch labels

struct BranchLabel {
    double X = 0, Y = 0;
    std::string Text;
};
// The X of every point of the first run that lies inside the plot where the
// runs' Ys spread most (a later point wins a tie); false when none is visible.
bool FindBranchLabelX(CANDoc& document, int curve, double* x);
// The user's X text as a location: limited to the AC frequency range on polar
// and Smith plots, else to the curve's X data.
double UserBranchLabelX(CANDoc& document, int curve, const std::string& text);
// Adds a label naming each run at the chosen location to the document's plot
// objects (the automatic choice first saves an undo step "Label Waveform").
// The number of labels added.
int LabelBranches(CG2DDoc& document, int curve, bool automatic, const std::string& xText);

// ---- the commands

// Label Branches: two runs or more, no run active or paused, data to label.
bool CanLabelBranches(CG2DDoc& document);
// Label Data Points: as above with one run, in a 2D analysis view outside probe mode.
bool CanLabelDataPoints(CG2DDoc& document, int viewKind);
// "Label Time Points", "Label Frequency Points" or "Label Input Sweep Points".
std::string LabelDataPointsMenuText(int analysisKind);

// Command 18687 on the current curve: the dialog, then the labels; the
// number of labels added (the view then draws them).
int LabelBranchesCommand(CG2DDoc& document);
// Command 40021 on the current curve: the dialog over its row; 1 when OK
// stored the list (the labels are rebuilt and the view must redraw).
int LabelDataPointsCommand(CG2DDoc& document);

// The Label Branches dialog. The location choice is remembered for the whole
// session; the X field starts empty each time.
class CLabelBranchesDlg : public CDialog2 {
public:
    // On polar and Smith plots the location is a frequency.
    explicit CLabelBranchesDlg(bool complexPlane);

    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify what) override;
    void OnOK() override;

    // The remembered choice (kIdBranchesAuto or kIdBranchesUser) and X text.
    static int Choice();
    static const std::string& XText();
    static void ResetChoice();
};

// The Label Points dialog over one curve row.
class CLabelPointsDlg : public CDialog2 {
public:
    CLabelPointsDlg(CG2DDoc* document, CurveRow* row);

    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify what) override;
    void OnOK() override;

private:
    CG2DDoc* document_;
    CurveRow* row_;
};
