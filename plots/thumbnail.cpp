#include "plots/thumbnail.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "shell/document.h"

using platform::Rect;

namespace {

// Marks the source's reads as allowed for the length of one drawing.
class th_Reading {
public:
    explicit th_Reading(bool& flag) : flag_(flag) { flag_ = true; }
    ~th_Reading() { flag_ = false; }
    th_Reading(const th_Reading&) = delete;
    th_Reading& operator=(const th_Reading&) = delete;

private:
    bool& flag_;
};

}  // namespace

CThumbDoc::CThumbDoc() : CAPDoc(kDocThumbnail, "") {}

CThumbDoc::~CThumbDoc() { ReleaseSharedCurves(); }

double CThumbDoc::GetValue(int column, int point) {
    // Outside a drawing the source may be gone; nothing is read then.
    if (!source_ || !reading_) return 0;
    return source_->GetValue(column, point);
}

void CThumbDoc::ReleaseSharedCurves() {
    Curves.clear();
    PlottedCount = 0;
    CurrentCurve = 0;
    Runs.Count = 0;
    sourceIndex_.clear();
    source_ = nullptr;
}

bool CThumbDoc::CopySourceCurves(CAPDoc& source) {
    ReleaseSharedCurves();
    const int current = source.CurrentCurve;
    if (current < 0 || current >= source.CurveCount()) return false;
    const PlotCurve& shown = source.Curves[static_cast<size_t>(current)];
    const int group = shown.PlotNumber;
    const int plotted = std::min(source.PlottedCount, source.CurveCount());
    for (int i = 0; i < plotted; ++i) {
        const PlotCurve& s = source.Curves[static_cast<size_t>(i)];
        if (s.PlotNumber != group || s.DeviceScale[kAxisX] == 0) continue;
        PlotCurve& copy = Curves.emplace_back();
        copy.CopyFrom(s);
        copy.RunFirst = s.RunFirst;
        copy.RunLast = s.RunLast;
        // Its own drawing cache, made anew with every copy.
        copy.RunTables.assign(s.RunFirst.size(), RunCacheEntry{});
        copy.PlotNumber = 1;
        if (i == current) CurrentCurve = static_cast<int>(Curves.size()) - 1;
        sourceIndex_.push_back(i);
    }
    if (Curves.empty()) return false;
    source_ = &source;
    PlottedCount = CurveCount();
    Runs.Count = source.Runs.Count;
    AnalysisKind = source.AnalysisKind;
    std::copy(std::begin(source.ViewOptions), std::end(source.ViewOptions), std::begin(ViewOptions));
    Title = shown.ExprText[kAxisY];

    // The device extent of all data of the group on the source's screen.
    bool any = false;
    double left = 0, right = 0, top = 0, bottom = 0;
    for (int i : sourceIndex_) {
        const PlotCurve& s = source.Curves[static_cast<size_t>(i)];
        if (s.DataMin[kAxisX] > s.DataMax[kAxisX] || s.DataMin[kAxisY] > s.DataMax[kAxisY]) continue;
        const double x[2] = {double(s.ToDeviceInt(kAxisX, s.DataMin[kAxisX])),
                             double(s.ToDeviceInt(kAxisX, s.DataMax[kAxisX]))};
        const double y[2] = {double(s.ToDeviceInt(kAxisY, s.DataMin[kAxisY])),
                             double(s.ToDeviceInt(kAxisY, s.DataMax[kAxisY]))};
        if (!any) left = right = x[0], top = bottom = y[0];
        any = true;
        left = std::min({left, x[0], x[1]});
        right = std::max({right, x[0], x[1]});
        top = std::min({top, y[0], y[1]});
        bottom = std::max({bottom, y[0], y[1]});
    }
    if (!any) return true;  // no data yet: the source's own ranges
    left -= kThumbnailMargin, right += kThumbnailMargin, top -= kThumbnailMargin, bottom += kThumbnailMargin;
    for (size_t k = 0; k < Curves.size(); ++k) {
        const PlotCurve& s = source.Curves[static_cast<size_t>(sourceIndex_[k])];
        PlotCurve& t = Curves[k];
        t.RangeLow[kAxisX] = s.FromDevice(kAxisX, left);
        t.RangeHigh[kAxisX] = s.FromDevice(kAxisX, right);
        if (!t.IsDigital) {  // device Y grows downwards
            t.RangeLow[kAxisY] = s.FromDevice(kAxisY, bottom);
            t.RangeHigh[kAxisY] = s.FromDevice(kAxisY, top);
        }
    }
    return true;
}

int CThumbDoc::LayOut(CDrawContext& dc, const Rect& area) {
    PlotViewInfo view;
    view.DrawArea = area;
    view.ViewKind = kViewKindThumbnail;
    view.DocumentKind = kViewKindThumbnail;
    view.CurrentCurve = CurrentCurve;
    return LayoutPlot(dc, Curves, Layout, view);
}

Rect CThumbDoc::GetSourceViewRect(const Rect& area) const {
    Rect r = area;
    if (!source_ || Curves.empty()) return r;
    const int current = source_->CurrentCurve;
    if (current < 0 || current >= source_->CurveCount()) return r;
    const PlotCurve& shown = source_->Curves[static_cast<size_t>(current)];
    const PlotCurve& first = Curves.front();
    r.left = first.StateOrDevice(kAxisX, shown.RangeLow[kAxisX]);
    r.right = first.StateOrDevice(kAxisX, shown.RangeHigh[kAxisX]);
    for (auto it = Curves.rbegin(); it != Curves.rend(); ++it) {
        if (it->IsDigital) continue;
        r.top = it->ToDeviceInt(kAxisY, shown.RangeHigh[kAxisY]);
        r.bottom = it->ToDeviceInt(kAxisY, shown.RangeLow[kAxisY]);
        break;
    }
    return r;
}

void CThumbDoc::ApplySourceViewRect(platform::Point corner1, platform::Point corner2, bool moveOnly) {
    if (!source_ || source_ != GetThumbnailSource()) return;
    for (size_t k = 0; k < Curves.size() && k < sourceIndex_.size(); ++k) {
        const int index = sourceIndex_[k];
        if (index >= source_->CurveCount()) break;
        PlotCurve& s = source_->Curves[static_cast<size_t>(index)];
        const PlotCurve& t = Curves[k];
        for (int axis : {kAxisX, kAxisY}) {
            if (!EnableScaling[axis]) continue;
            const int d1 = axis == kAxisX ? corner1.x : corner1.y;
            const int d2 = axis == kAxisX ? corner2.x : corner2.y;
            double low = t.FromDevice(axis, d1), high;
            if (!moveOnly)
                high = t.FromDevice(axis, d2);
            else if (s.AxisLinear[axis] || s.RangeLow[axis] == 0)
                high = s.RangeHigh[axis] + (low - s.RangeLow[axis]);
            else  // a shift on a log axis keeps the decades shown
                high = s.RangeHigh[axis] * (low / s.RangeLow[axis]);
            if ((low > high) != (s.RangeLow[axis] > s.RangeHigh[axis])) std::swap(low, high);
            s.RangeLow[axis] = low;
            s.RangeHigh[axis] = high;
        }
        s.FreeRunTables();
    }
    if (source_->PlotView) source_->PlotView->Invalidate();
}

CAPDoc* GetThumbnailSource() {
    CDoc* active = GetActiveDocument();
    if (active && active->Kind() == kDocPerformance) return dynamic_cast<CAPDoc*>(active);
    return dynamic_cast<CAPDoc*>(CurrentRunContext().analysisDocument);
}

int DrawThumbnail(CDrawContext& dc, CThumbDoc& thumb, CAPDoc& source, const Rect& area) {
    if (!thumb.CopySourceCurves(source)) return 0;
    if (thumb.LayOut(dc, area)) return 0;
    CurveDrawView view;
    view.ViewKind = kViewKindThumbnail;
    int result;
    {
        th_Reading reading(thumb.reading_);
        result = PlotAllCurves(dc, thumb, view, -1);
    }
    const Rect r = thumb.GetSourceViewRect(area);
    // Sides beyond the overview are drawn just outside it, where they do not show.
    auto inX = [&area](int x) { return std::clamp(x, area.left - 2, area.right + 2); };
    auto inY = [&area](int y) { return std::clamp(y, area.top - 2, area.bottom + 2); };
    const platform::PenDesc pen = dc.SelectPen(thumb.MarkerColor);
    const platform::BrushDesc brush = dc.SelectBrushHandle(GetNullBrush());
    dc.DrawLineOrRect(inX(std::min(r.left, r.right)), inY(std::min(r.top, r.bottom)),
                      inX(std::max(r.left, r.right)) + 1, inY(std::max(r.top, r.bottom)) + 1, true);
    dc.SelectBrushHandle(brush);
    dc.SelectPenHandle(pen);
    return result;
}

Rect ThumbnailWindowRect(const Rect& stored, const Rect& workArea, platform::Size size) {
    if (stored.left != stored.right) return stored;
    return Rect{workArea.right - size.cx, workArea.top, workArea.right, workArea.top + size.cy};
}
