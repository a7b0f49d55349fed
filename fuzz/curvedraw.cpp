// Curves of arbitrary stored values drawn into a small image: two curves of
// one plot group whose kind, axes, digital flag, style and view options come
// from the input's first bytes (ranges as the range check lets them
// through) and whose points are the doubles that follow
// (NaN, infinities and huge values included). Each is drawn from the store,
// again from its cache, point by point as a run draws it, and as a thumbnail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/plot_drawing.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "plots/curvedraw.h"
#include "plots/layout.h"
#include "plots/thumbnail.h"
#include "shell/colortable.h"
#include "shell/document.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libfreetype\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartPlotDrawing();
    if (size > 4096) return 0;
    fuzz::ByteReader in(data, size);

    CAPDoc doc(kDocAnalysisPlot, "");
    doc.AnalysisKind = 0;
    doc.ViewOptions[0] = in.Byte() & 0x5;
    for (int i = 0; i < 2; ++i) {
        PlotCurve& c = doc.Curves.emplace_back();
        const uint8_t flags = in.Byte();
        c.UseFlags = kCurveDrawn;
        c.PlotNumber = 1;
        c.IsDigital = flags & 1;
        c.AxisLinear[kAxisX] = (flags & 2) ? 0 : 1;
        c.AxisLinear[kAxisY] = (flags & 4) ? 0 : 1;
        c.Style.curveStyle = (flags & 8) ? 1 : 0;
        c.Style.rainbow = (flags & 16) ? 1 : 0;
        c.Style.pattern = (flags >> 5) & 7;
        c.Style.lineWidth = 1 + (in.Byte() & 3);
        c.Style.pointStyle = in.Byte() & 3;
        c.TrackFrom = in.Byte() & 3;
        // Ranges reach curves only through the range check; points do not.
        c.RangeHigh[kAxisX] = c.RangeHigh[kAxisY] = 1;
        for (int axis : {kAxisX, kAxisY}) {
            double low = 0, high = 0;
            in.Double(low);
            in.Double(high);
            SetAxisRange(c, axis, low, high);
        }
    }
    doc.PlottedCount = 2;
    StoreLayout storeLayout;
    storeLayout.RunsExpected = 2;
    doc.Store.Prepare(doc.Curves, doc.Runs, storeLayout);
    doc.Store.Begin();

    platform::Image image(64, 48);
    std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    PrepareCurveLayout(doc.Curves, false);
    PlotLayout layout;
    PlotViewInfo info;
    info.DrawArea = platform::Rect{0, 0, 64, 48};
    LayoutPlot(dc, doc.Curves, layout, info);

    CurveDrawView view;
    CurvePainter painter(dc, doc, view);
    doc.StartRun(RunRecord{});
    double x = 0, y = 0;
    for (int n = 0; in.Double(x) && in.Double(y); ++n) {
        if (n == 64) doc.StartRun(RunRecord{});
        PlotCurve& c = doc.Curves[static_cast<size_t>(n % 2)];
        doc.Store.NextPointIndex(c, doc.Runs);
        doc.Store.SetValue(c.DataColumn[kSlotX], c.PointIndex, x);
        doc.Store.SetValue(c.DataColumn[kSlotY], c.PointIndex, y);
        c.DevicePoint = {c.ToDeviceInt(kAxisX, x), c.StateOrDevice(kAxisY, y)};
        doc.Point.RunPointIndex = n / 2;
        painter.DrawNewSegment(n % 2, (n & 4) != 0);
    }
    PlotAllCurves(dc, doc, view, -1);
    PlotAllCurves(dc, doc, view, -1);

    CThumbDoc thumb;
    DrawThumbnail(dc, thumb, doc, platform::Rect{0, 0, 32, 24});
    return 0;
}
