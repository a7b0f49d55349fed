#include "plots/labels.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/numout.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "plots/g2ddoc.h"
#include "plots/plotframe.h"
#include "plots/ranges.h"
#include "shell/drawcontext.h"

namespace {

// The location choice and the X text outlive the dialog.
int lb_choice = kIdBranchesAuto;
std::string lb_xText;
platform::Point lb_branchesPosition;
platform::Point lb_pointsPosition;

class DocumentPoints : public CurvePointSource {
public:
    explicit DocumentPoints(CANDoc& document) : document_(document) {}
    double Value(int column, int index) override { return document_.GetValue(column, index); }
    std::string DigitalText(const NumericCurve&, double) override { return std::string(); }

private:
    CANDoc& document_;
};

int lb_LogFlags(const PlotCurve& c) { return (c.AxisLinear[kAxisX] ? 0 : 1) | (c.AxisLinear[kAxisY] ? 0 : 2); }

bool lb_RunHasPoints(const PlotCurve& c, int run) {
    return run >= 0 && size_t(run) < c.RunFirst.size() && size_t(run) < c.RunLast.size() &&
           c.RunLast[size_t(run)] >= c.RunFirst[size_t(run)];
}

// The Y of a rectangular curve's run at x.
double lb_YAt(CANDoc& document, const PlotCurve& c, double x, int run) {
    DocumentPoints points(document);
    double y = 0;
    InterpolateAtX(points, &y, x, c.IsDigital != 0, c.DataColumn[kSlotX], c.DataColumn[kSlotY], c.RunLast[size_t(run)],
                   c.RunFirst[size_t(run)], lb_LogFlags(c));
    return y;
}

std::string lb_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The curve row a curve was built from, null when none.
CurveRow* lb_Row(CG2DDoc& document, const PlotCurve& c) {
    const int kind = document.RunningKind >= 0 ? document.RunningKind : document.AnalysisKind;
    AnalysisKindSettings* settings = document.KindSettings(kind);
    if (!settings || c.RowIndex < 0 || size_t(c.RowIndex) >= settings->curves.size()) return nullptr;
    return settings->curves[size_t(c.RowIndex)].get();
}

platform::DialogDesc lb_BranchesDescription(bool complexPlane) {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = "Label Curves Branches";
    desc.cx = 210, desc.cy = 80;
    desc.controls = {
        ControlDesc{ControlKind::RadioButton, kIdBranchesAuto, "Automatically selected location", 10, 10, 150, 10,
                    platform::style::Group},
        ControlDesc{ControlKind::RadioButton, kIdBranchesUser,
                    complexPlane ? "User selected location, F  =" : "User selected location, X  =", 10, 26, 110, 10, 0},
        ControlDesc{ControlKind::Edit, kIdBranchesX, "", 124, 24, 60, 12, 0},
        ControlDesc{ControlKind::DefaultButton, 1, "OK", 45, 56, 50, 14, 0},
        ControlDesc{ControlKind::Button, 2, "Cancel", 110, 56, 50, 14, 0},
    };
    return desc;
}

platform::DialogDesc lb_PointsDescription() {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = "Label Points";
    desc.cx = 220, desc.cy = 92;
    desc.controls = {
        ControlDesc{ControlKind::Static, -1, "Enter data list separated by commas.", 10, 8, 200, 10, 0},
        ControlDesc{ControlKind::Edit, kIdPointsList, "", 10, 22, 200, 12, 0},
        ControlDesc{ControlKind::RadioButton, kIdPointsOn, "On", 10, 44, 40, 10, platform::style::Group},
        ControlDesc{ControlKind::RadioButton, kIdPointsOff, "Off", 60, 44, 40, 10, 0},
        ControlDesc{ControlKind::DefaultButton, 1, "OK", 50, 68, 50, 14, 0},
        ControlDesc{ControlKind::Button, 2, "Cancel", 120, 68, 50, 14, 0},
    };
    return desc;
}

}  // namespace

std::string SplitFirstItem(std::string& list) {
    const size_t comma = list.find(',');
    std::string item = lb_Trim(list.substr(0, comma));
    list = comma == std::string::npos ? std::string() : list.substr(comma + 1);
    return item;
}

DataPointXY PointAtX(CANDoc& document, int curve, double x, int run) {
    const PlotCurve& c = document.Curves[size_t(curve)];
    DataPointXY point{x, 0};
    if (!lb_RunHasPoints(c, run)) return point;
    if (c.PlotType == kPlotRectangular) {
        point.Y = lb_YAt(document, c, x, run);
        return point;
    }
    // Polar and Smith plots: x is the frequency, kept in the curve's fourth column.
    DocumentPoints points(document);
    const int first = c.RunFirst[size_t(run)], last = c.RunLast[size_t(run)];
    const int flags = lb_LogFlags(c);
    InterpolateAtX(points, &point.X, x, false, c.DataColumn[kSlotXRealValue], c.DataColumn[kSlotX], last, first,
                   flags & 1);
    InterpolateAtX(points, &point.Y, x, false, c.DataColumn[kSlotXRealValue], c.DataColumn[kSlotY], last, first,
                   flags & 1);
    return point;
}

// ---------------------------------------------------------------------------
// Data-point labels

void FreeDataPointLabels(PlotCurve& curve) {
    std::vector<std::string>().swap(curve.LabelTexts);
    std::vector<std::vector<DataPointXY>>().swap(curve.LabelPoints);
    curve.LabelCount = 0;
}

int BuildDataPointLabels(CANDoc& document, int curve, const std::string& listText) {
    PlotCurve& c = document.Curves[size_t(curve)];
    std::string list = listText;
    const size_t n = list.empty() ? 0 : size_t(std::count(list.begin(), list.end(), ',')) + 1;
    FreeDataPointLabels(c);
    const size_t runs = size_t(std::max(document.Runs.Count, 0));
    try {
        c.LabelTexts.reserve(n);
        c.LabelPoints.assign(runs, std::vector<DataPointXY>());
        for (auto& row : c.LabelPoints) row.reserve(n);
    } catch (const std::bad_alloc&) {
        FreeDataPointLabels(c);
        Reporter().Report(MessageRequest(kResultNoMemory));
        return kResultShown;
    }
    for (char& ch : list)
        if (ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r') ch = ' ';
    while (!list.empty()) {
        const std::string item = SplitFirstItem(list);
        if (item.empty()) continue;
        int error = 0;
        const double value = EvaluateNumericText(item.c_str(), &error, 0);
        if (error != 0) Reporter().Report(MessageRequest(error).Text(item.c_str()));
        c.LabelTexts.push_back(item);
        for (size_t run = 0; run < runs; ++run)
            c.LabelPoints[run].push_back(PointAtX(document, curve, value, int(run)));
    }
    c.LabelCount = static_cast<int32_t>(c.LabelTexts.size());
    return 0;
}

int PrepareDataPointLabels(CG2DDoc& document, int curve) {
    if (document.ProbeMode) return 0;
    const CurveRow* row = lb_Row(document, document.Curves[size_t(curve)]);
    if (!row || !row->showDataPoints) return 0;
    return BuildDataPointLabels(document, curve, row->dataPoints ? row->dataPoints : "");
}

int PrepareAllDataPointLabels(CG2DDoc& document) {
    for (int i = 0; i < document.CurveCount(); ++i)
        if (int rc = PrepareDataPointLabels(document, i)) return rc;
    return 0;
}

void DrawDataPointLabels(CDrawContext& dc, const PlotCurveArray& curves, int curve, const PlotLayout& layout,
                         const PlotViewInfo& view) {
    const PlotCurve& c = curves[size_t(curve)];
    if (!dc.surface || c.LabelCount == 0) return;
    const DeviceRect& r = c.PlotRect;
    dc.surface->SaveState();
    dc.surface->IntersectClipRect(platform::Rect{r.left + 1, r.top + 1, r.right, r.bottom});
    dc.surface->SetBackgroundMode(platform::BackgroundMode::Transparent);
    const int color = CurveTextColor(c, view);
    dc.SetTextColorIndex(color);
    dc.SelectPen(color);
    dc.SelectBrush(color);
    const int L = std::max(layout.LineHeight, 1);
    for (const std::vector<DataPointXY>& run : c.LabelPoints) {
        for (size_t k = 0; k < run.size() && k < c.LabelTexts.size(); ++k) {
            const int x = c.ToDevice(kAxisX, run[k].X);
            const int y = c.ToDevice(kAxisY, run[k].Y);
            if (x < r.left || x > r.right || y < r.top || y > r.bottom) continue;
            // A dot on the point, the text just above and right of it.
            dc.surface->Ellipse(platform::Rect{x - 2, y - 2, x + 3, y + 3});
            platform::Rect box{x + 3, y - L, x + 3 + dc.GetTextWidth(c.LabelTexts[k].c_str()) + 1, y};
            dc.DrawTextAligned(c.LabelTexts[k], box, platform::TextBox::SingleLine | platform::TextBox::NoClip);
        }
    }
    dc.surface->RestoreState();
}

// ---------------------------------------------------------------------------
// Branch labels

bool FindBranchLabelX(CANDoc& document, int curve, double* x) {
    const PlotCurve& c = document.Curves[size_t(curve)];
    if (!lb_RunHasPoints(c, 0)) return false;
    double best = -1;
    bool found = false;
    for (int i = c.RunFirst[0]; i <= c.RunLast[0]; ++i) {
        const double at = document.GetValue(c.DataColumn[kSlotX], i);
        const int device = c.ToDevice(kAxisX, at);
        if (device < c.PlotRect.left || device > c.PlotRect.right) continue;
        double low = 0, high = 0, lastX = at;
        bool any = false;
        for (int run = 0; run < document.Runs.Count; ++run) {
            if (!lb_RunHasPoints(c, run)) continue;
            const DataPointXY p = PointAtX(document, curve, at, run);
            low = any ? std::min(low, p.Y) : p.Y;
            high = any ? std::max(high, p.Y) : p.Y;
            lastX = p.X;
            any = true;
        }
        if (any && high - low >= best) {
            best = high - low;
            *x = lastX;
            found = true;
        }
    }
    return found;
}

double UserBranchLabelX(CANDoc& document, int curve, const std::string& text) {
    const PlotCurve& c = document.Curves[size_t(curve)];
    int error = 0;
    double x = EvaluateNumericText(text.c_str(), &error, 0);
    double low, high;
    if (c.PlotType != kPlotRectangular) {
        const AnalysisRanges analysis = CurrentAnalysisRanges();
        low = std::min(analysis.FLow, analysis.FHigh);
        high = std::max(analysis.FLow, analysis.FHigh);
    } else {
        low = c.DataMin[kAxisX];
        high = c.DataMax[kAxisX];
    }
    if (low <= high) x = std::clamp(x, low, high);
    return x;
}

int LabelBranches(CG2DDoc& document, int curve, bool automatic, const std::string& xText) {
    if (curve < 0 || curve >= document.CurveCount()) return 0;
    double x = 0;
    if (automatic) {
        document.PushUndoWithSelection("Label Waveform");
        if (!FindBranchLabelX(document, curve, &x)) return 0;
    } else {
        x = UserBranchLabelX(document, curve, xText);
    }
    const PlotCurve& c = document.Curves[size_t(curve)];
    const int savedRun = document.CurrentRun;
    int added = 0;
    for (int run = 0; run < document.Runs.Count; ++run) {
        DataPointXY point;
        if (automatic) {
            point.X = x;
            if (lb_RunHasPoints(c, run)) point.Y = lb_YAt(document, c, x, run);
        } else {
            point = PointAtX(document, curve, x, run);
        }
        document.CurrentRun = run;
        const std::optional<std::string> caption = document.FormatRunCaption(1, false, false);
        if (!caption || caption->empty()) break;
        PlotObject* label = document.NewGraphicObject();
        if (!label) break;
        label->type = kPlotLabelObject;
        label->corners[0] = point.X;
        label->corners[1] = point.Y;
        label->plot = curve;
        label->alias1 = c.CurveId;
        if (!SetString(&label->text, caption->c_str())) {
            document.Objects.pop_back();
            break;
        }
        document.SetModifiedFlag(true);
        ++added;
    }
    document.CurrentRun = savedRun;
    return added;
}

// ---------------------------------------------------------------------------
// Commands

bool CanLabelBranches(CG2DDoc& document) {
    return document.Runs.Count >= 2 && !document.Run.Running && !document.Run.Paused && document.HasData();
}

bool CanLabelDataPoints(CG2DDoc& document, int viewKind) {
    return !document.Run.Running && !document.Run.Paused && document.HasData() && viewKind == kViewKindAnalysis2D &&
           !document.ProbeMode;
}

std::string LabelDataPointsMenuText(int analysisKind) {
    switch (analysisKind) {
    case 1: return "Label Frequency Points";
    case 2: return "Label Input Sweep Points";
    default: return "Label Time Points";
    }
}

CLabelBranchesDlg::CLabelBranchesDlg(bool complexPlane)
    : CDialog2(kLabelBranchesDialogId, &lb_branchesPosition, nullptr) {
    SetDescription(lb_BranchesDescription(complexPlane));
}

bool CLabelBranchesDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    lb_xText.clear();
    SetText(kIdBranchesX, "");
    CheckRadio(kIdBranchesAuto, kIdBranchesUser, lb_choice);
    if (lb_choice == kIdBranchesUser) {
        FocusControl(kIdBranchesX);
        return false;
    }
    return true;
}

void CLabelBranchesDlg::OnControl(int id, platform::Notify what) {
    // Typing a location chooses it.
    if (id == kIdBranchesX && what == platform::Notify::TextChanged)
        CheckRadio(kIdBranchesAuto, kIdBranchesUser, kIdBranchesUser);
    CDialog2::OnControl(id, what);
}

void CLabelBranchesDlg::OnOK() {
    lb_choice =
        GetCheckedRadio(kIdBranchesAuto, kIdBranchesUser) == kIdBranchesUser ? kIdBranchesUser : kIdBranchesAuto;
    lb_xText = GetText(kIdBranchesX).substr(0, 10);
    EndDialogSavingRect(1);
}

int CLabelBranchesDlg::Choice() { return lb_choice; }
const std::string& CLabelBranchesDlg::XText() { return lb_xText; }
void CLabelBranchesDlg::ResetChoice() {
    lb_choice = kIdBranchesAuto;
    lb_xText.clear();
}

CLabelPointsDlg::CLabelPointsDlg(CG2DDoc* document, CurveRow* row)
    : CDialog2(kLabelPointsDialogId, &lb_pointsPosition, nullptr), document_(document), row_(row) {
    SetDescription(lb_PointsDescription());
}

bool CLabelPointsDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    SetText(kIdPointsList, row_ && row_->dataPoints ? row_->dataPoints : "");
    CheckRadio(kIdPointsOn, kIdPointsOff, row_ && row_->showDataPoints ? kIdPointsOn : kIdPointsOff);
    return true;
}

void CLabelPointsDlg::OnControl(int id, platform::Notify what) {
    if (id == kIdPointsList && what == platform::Notify::TextChanged)
        CheckRadio(kIdPointsOn, kIdPointsOff, kIdPointsOn);
    CDialog2::OnControl(id, what);
}

void CLabelPointsDlg::OnOK() {
    if (row_) {
        SetString(&row_->dataPoints, GetText(kIdPointsList).c_str());
        row_->showDataPoints = GetCheckedRadio(kIdPointsOn, kIdPointsOff) == kIdPointsOn ? 1 : 0;
    }
    if (document_) document_->SetModifiedFlag(true);
    EndDialogSavingRect(1);
}

int LabelBranchesCommand(CG2DDoc& document) {
    const int curve = document.CurrentCurve;
    if (curve < 0 || curve >= document.CurveCount()) return 0;
    CLabelBranchesDlg dialog(document.Curves[size_t(curve)].PlotType != kPlotRectangular);
    if (dialog.DoModal() != 1) return 0;
    return LabelBranches(document, curve, CLabelBranchesDlg::Choice() == kIdBranchesAuto, CLabelBranchesDlg::XText());
}

int LabelDataPointsCommand(CG2DDoc& document) {
    const int curve = document.CurrentCurve;
    if (curve < 0 || curve >= document.CurveCount()) return 0;
    CurveRow* row = lb_Row(document, document.Curves[size_t(curve)]);
    if (!row) return 0;
    CLabelPointsDlg dialog(&document, row);
    if (dialog.DoModal() != 1) return 0;
    if (row->showDataPoints)
        PrepareDataPointLabels(document, curve);
    else
        FreeDataPointLabels(document.Curves[size_t(curve)]);
    return 1;
}
