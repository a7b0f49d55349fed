// The right-button popup of a curve's legend label in the 2D analysis window:
// it makes the curve current and offers to add a 3D, performance, FFT or
// histogram window for it, each followed by the open windows of that kind
// that show the curve.
//
// Those windows belong to the stepped-run and performance plots, which
// install their port at start-up. Until they do, the Add items are shown
// disabled and every call fails with kResultNotBuilt.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

class CANDoc;
class CAPView;
class CG2DDoc;
namespace platform {
class Menu;
}

// Commands of the popup; the windows of a kind follow its first id (k counts
// every window of the kind's list, listed or not).
enum CurvePopupCommand : int {
    kCmdAddPerformanceWindow = 14570,
    kCmdPerformanceWindowFirst = 14573,
    kCmdAdd3DWindow = 14600,
    kCmd3DWindowFirst = 14603,
    kCmdAddFFTWindow = 14650,
    kCmdFFTWindowFirst = 14652,
    kCmdAddHistogramWindow = 17154,
    kCmdHistogramWindowFirst = 17371,
};

enum class DependentWindowKind { ThreeD, Performance, FFT, Histogram };

// One open window that shows the curve: its place k in the kind's list and
// its title.
struct DependentWindowEntry {
    int Index = 0;
    std::string Title;
};

class DependentPlotWindowPort {
public:
    virtual ~DependentPlotWindowPort() = default;
    // The open windows of the kind whose source is the curve: 3D windows of
    // the analysis kind the document shows, performance windows plotting the
    // curve, FFT windows of its Y text, histogram windows of the curve.
    virtual std::vector<DependentWindowEntry> WindowsOf(DependentWindowKind kind, CG2DDoc& document, int curve) = 0;
    // Opens a new window of the kind for the curve: 0 or a result code.
    virtual int AddWindow(DependentWindowKind kind, CG2DDoc& document, int curve) = 0;
    // Brings the window at place k of the kind's list to the front: 0 or a result code.
    virtual int ShowWindow(DependentWindowKind kind, CG2DDoc& document, int k) = 0;
};
DependentPlotWindowPort& DependentPlotWindows();
// Installs the port; null restores the null object. Returns the previous one.
DependentPlotWindowPort* InstallDependentPlotWindows(DependentPlotWindowPort* port);
// True once an owner installed the port.
bool HasDependentPlotWindows();

// The curve whose name label (its legend position, title width and the
// label line height) holds the device point; -1 none.
int HitTestCurveLabel(const CANDoc& document, platform::Point p, int lineHeight);

// Fills `menu` for the curve: "Add 3D Window", "Add Performance Window", for
// a transient curve plotted against T "Add FFT Window", and "Add Histogram
// Window", each followed by the open windows of its kind.
void BuildCurvePopup(platform::Menu& menu, CG2DDoc& document, int curve);
// Carries out a command of the popup for the curve: 0, or a result code
// (kResultNotBuilt without the port's owner; 0 for other commands).
int RunCurvePopupCommand(CG2DDoc& document, int curve, int command);

// The right button pressed at `p` in a 2D analysis view outside every curve
// and outside probe mode: over a curve's name label the curve becomes current
// and the popup opens there. True when the press was taken.
bool CurveLabelPopup(CAPView& view, platform::Point p);
