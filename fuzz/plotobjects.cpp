// Plot objects of arbitrary stored values drawn over a small plot: each
// object's kind, end marks, style bytes, font style and height, curve
// indexes (none, either curve, or one beyond them), corners, measure line,
// polygon vertices with their MIN and MAX pins and text come from the input
// (NaN, infinities and huge values included), as a circuit file's AObject
// sections can hold them. Every object is drawn for all plot groups and for
// each group, and the tags are measured.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/memory.h"
#include "document/cfanalysis.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/plot_drawing.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "plots/apdoc.h"
#include "plots/layout.h"
#include "plots/plotobjects.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/drawcontext.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libfreetype\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartPlotDrawing();
    if (size > 4096) return 0;
    fuzz::ByteReader in(data, size);

    CAPDoc doc(kDocAnalysisPlot, "");
    doc.AnalysisKind = 0;
    for (int i = 0; i < 2; ++i) {
        PlotCurve& c = doc.Curves.emplace_back();
        const uint8_t flags = in.Byte();
        c.UseFlags = kCurveDrawn;
        c.PlotNumber = 1 + i;
        c.AxisLinear[kAxisX] = (flags & 1) ? 0 : 1;
        c.AxisLinear[kAxisY] = (flags & 2) ? 0 : 1;
        c.Hidden = (flags & 4) ? 1 : 0;
        c.CurveId = i + 1;
        c.RangeHigh[kAxisX] = c.RangeHigh[kAxisY] = 1;
        for (int axis : {kAxisX, kAxisY}) {
            const double low = in.Double(), high = in.Double();
            SetAxisRange(c, axis, low, high);
        }
    }
    doc.PlottedCount = 2;

    platform::Image image(96, 72);
    std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    PrepareCurveLayout(doc.Curves, false);
    PlotLayout layout;
    PlotViewInfo info;
    info.DrawArea = platform::Rect{0, 0, 96, 72};
    LayoutPlot(dc, doc.Curves, layout, info);

    for (int n = 0; n < 8 && !in.AtEnd(); ++n) {
        PlotObject* o = doc.NewGraphicObject();
        if (!o) return 0;
        o->type = in.Byte() % 17;
        o->flags = static_cast<uint16_t>(in.Byte() | (in.Byte() << 8));
        o->style.width = in.Byte();
        o->style.pattern = in.Byte();
        o->style.color = in.Byte() % 80;
        o->style.fillColor = in.Byte() % 80;
        o->style.spare = in.Byte() & 3;
        o->font.style = in.Byte();
        o->font.height = static_cast<int16_t>(in.Byte() | (in.Byte() << 8));
        o->font.color = in.Byte() % 80;
        const uint8_t curves = in.Byte();
        o->plot = (curves & 3) - 1;
        o->plot2 = ((curves >> 2) & 3) - 1;
        o->alias1 = (curves & 0x10) ? 7 : 0;
        for (double& corner : o->corners) corner = in.Double();
        o->measure = in.Double();
        for (int v = in.Byte() % 6; v > 0; --v) {
            PlotVertex vertex;
            const uint8_t pins = in.Byte();
            vertex.modeX = pins & 3;
            vertex.modeY = (pins >> 2) & 3;
            vertex.x = in.Double();
            vertex.y = in.Double();
            o->vertices.push_back(vertex);
        }
        std::string text;
        for (int length = in.Byte() % 24; length > 0; --length) text.push_back(static_cast<char>(in.Byte()));
        if (!text.empty()) SetString(&o->text, text.c_str());
    }

    PlotObjectFrame frame;
    frame.DrawArea = info.DrawArea;
    frame.TextScale = 1 + (size % 3);
    for (int group : {-1, 1, 2}) DrawPlotObjects(dc, doc, frame, group);
    for (const auto& o : doc.Objects) {
        TagGeometry g;
        GetTagGeometry(dc, doc.Curves, frame, *o, &g);
        PointTagText(doc.Curves, *o);
        RangeTagText(doc.Curves, *o);
    }
    return 0;
}
