#include "plots/curvepopup.h"

#include <algorithm>

#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "platform/menu.h"
#include "plots/apview.h"
#include "plots/g2ddoc.h"
#include "plots/plotcursorview.h"
#include "plots/thumbwindow.h"

namespace {

class cp_NoDependentWindows final : public DependentPlotWindowPort {
public:
    std::vector<DependentWindowEntry> WindowsOf(DependentWindowKind, CG2DDoc&, int) override { return {}; }
    int AddWindow(DependentWindowKind, CG2DDoc&, int) override { return kResultNotBuilt; }
    int ShowWindow(DependentWindowKind, CG2DDoc&, int) override { return kResultNotBuilt; }
};
cp_NoDependentWindows cp_none;
DependentPlotWindowPort* cp_port = &cp_none;

struct cp_Kind {
    DependentWindowKind kind;
    int add;
    int first;
    const char* text;
};
constexpr cp_Kind cp_kinds[] = {
    {DependentWindowKind::ThreeD, kCmdAdd3DWindow, kCmd3DWindowFirst, "Add 3D Window"},
    {DependentWindowKind::Performance, kCmdAddPerformanceWindow, kCmdPerformanceWindowFirst, "Add Performance Window"},
    {DependentWindowKind::FFT, kCmdAddFFTWindow, kCmdFFTWindowFirst, "Add FFT Window"},
    {DependentWindowKind::Histogram, kCmdAddHistogramWindow, kCmdHistogramWindowFirst, "Add Histogram Window"},
};

// The window lists are far shorter than the gap to the next kind's ids.
constexpr int cp_MaxListed = 30;

bool cp_ValidCurve(const CANDoc& document, int curve) {
    return curve >= 0 && curve < document.CurveCount() && curve < document.PlottedCount;
}

// FFTs are offered for transient curves plotted against time only.
bool cp_OffersFFT(const CG2DDoc& document, int curve) {
    const int shown = document.RunningKind >= 0 ? document.RunningKind : document.AnalysisKind;
    return shown == 0 && document.Curves[static_cast<size_t>(curve)].SingleVar[kAxisX] == 'T';
}

}  // namespace

DependentPlotWindowPort& DependentPlotWindows() { return *cp_port; }

DependentPlotWindowPort* InstallDependentPlotWindows(DependentPlotWindowPort* port) {
    DependentPlotWindowPort* previous = cp_port;
    cp_port = port ? port : &cp_none;
    return previous == &cp_none ? nullptr : previous;
}

bool HasDependentPlotWindows() { return cp_port != &cp_none; }

int HitTestCurveLabel(const CANDoc& document, platform::Point p, int lineHeight) {
    for (int i = 0; i < std::min(document.PlottedCount, document.CurveCount()); ++i) {
        const PlotCurve& c = document.Curves[static_cast<size_t>(i)];
        if (c.PlotNumber == 0 || c.AxisTitleWidth[kAxisY] <= 0) continue;
        if (p.x >= c.LegendX && p.x < c.LegendX + c.AxisTitleWidth[kAxisY] && p.y >= c.LegendY &&
            p.y < c.LegendY + lineHeight)
            return i;
    }
    return -1;
}

void BuildCurvePopup(platform::Menu& menu, CG2DDoc& document, int curve) {
    menu.Clear();
    if (!cp_ValidCurve(document, curve)) return;
    const bool owned = HasDependentPlotWindows();
    for (const cp_Kind& k : cp_kinds) {
        if (k.kind == DependentWindowKind::FFT && !cp_OffersFFT(document, curve)) continue;
        menu.AddItem(k.add, k.text);
        menu.EnableItem(k.add, owned);
        for (const DependentWindowEntry& w : DependentPlotWindows().WindowsOf(k.kind, document, curve)) {
            if (w.Index < 0 || w.Index >= cp_MaxListed) continue;
            menu.AddItem(k.first + w.Index, w.Title);
        }
    }
}

int RunCurvePopupCommand(CG2DDoc& document, int curve, int command) {
    if (!cp_ValidCurve(document, curve)) return 0;
    for (const cp_Kind& k : cp_kinds) {
        if (command == k.add) return DependentPlotWindows().AddWindow(k.kind, document, curve);
        if (command >= k.first && command < k.first + cp_MaxListed)
            return DependentPlotWindows().ShowWindow(k.kind, document, command - k.first);
    }
    return 0;
}

bool CurveLabelPopup(CAPView& view, platform::Point p) {
    auto* document = dynamic_cast<CG2DDoc*>(view.PlotDocument());
    if (!document || view.kind != kDocAnalysisPlot || document->ProbeMode != 0) return false;
    view.Update();
    if (document->CurveAtPoint(p.x, p.y) >= 0) return false;
    const int curve = HitTestCurveLabel(*document, p, document->Layout.LineHeight);
    if (curve < 0) return false;
    if (curve != document->CurrentCurve) {
        document->CurrentCurve = curve;
        ShowCursorOverlay(view);
        view.Invalidate();  // the legends show the new current curve in bold
        RefreshThumbnail(false);
    }
    platform::Menu menu;
    BuildCurvePopup(menu, *document, curve);
    const int command = menu.TrackPopup(view.ClientToScreen(p));
    // The popup may outlive curves that a run or a close took away meanwhile.
    if (command == 0 || curve >= document->CurveCount()) return true;
    const int code = RunCurvePopupCommand(*document, curve, command);
    if (code && code != kResultShown) Reporter().Report(MessageRequest(code));
    return true;
}
