// A plot document drawn into a memory image: curves with a plot rectangle and
// a linear value-to-pixel mapping, points stored run by run, and pixel checks.
#pragma once

#include <memory>

#include "platform/draw.h"
#include "platform/image.h"
#include "plots/apdoc.h"
#include "plots/curvedraw.h"
#include "plots/layout.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/drawcontext.h"

namespace twtest {

class PlotDrawFixture {
public:
    explicit PlotDrawFixture(int width = 320, int height = 220) : image(width, height) {
        if (!GetProgramPalette()) CreateProgramPalette();
        InitColorTable();
        surface = platform::CreateImageSurface(image);
        dc = std::make_unique<CDrawContext>(surface.get());
        doc.AnalysisKind = 0;
    }

    // A shown, plotted curve over `rect` whose X low..high and Y low..high
    // fill the rectangle (the high Y at the top).
    int AddCurve(DeviceRect rect, double xLow, double xHigh, double yLow, double yHigh, int color = 12) {
        PlotCurve& c = doc.Curves.emplace_back();
        c.UseFlags = kCurveDrawn;
        c.PlotNumber = 1;
        c.PlotRect = rect;
        c.Style.lineColor = color;
        c.Style.lineWidth = 1;
        c.RangeLow[kAxisX] = xLow;
        c.RangeHigh[kAxisX] = xHigh;
        c.RangeLow[kAxisY] = yLow;
        c.RangeHigh[kAxisY] = yHigh;
        MapAxes(doc.Curves, doc.CurveCount() - 1);
        doc.PlottedCount = doc.CurveCount();
        return doc.CurveCount() - 1;
    }
    static void MapAxes(PlotCurveArray& curves, int index) {
        const DeviceRect& r = curves[static_cast<size_t>(index)].PlotRect;
        SetAxisTransform(curves, index, kAxisX, r.right - r.left, r.right, 16);
        SetAxisTransform(curves, index, kAxisY, r.bottom - r.top, r.top, 16);
    }
    // After the curves are added: columns for `runs` runs.
    void PrepareStore(int runs = 1) {
        StoreLayout layout;
        layout.RunsExpected = runs;
        doc.Store.Prepare(doc.Curves, doc.Runs, layout);
        doc.Store.Begin();
    }
    void StartRun() { doc.StartRun(RunRecord{}); }
    void AddPoint(int curve, double x, double y) {
        PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
        doc.Store.NextPointIndex(c, doc.Runs);
        doc.Store.SetValue(c.DataColumn[kSlotX], c.PointIndex, x);
        doc.Store.SetValue(c.DataColumn[kSlotY], c.PointIndex, y);
    }

    platform::Color Color(int index) const { return dc->GetColorValue(index); }
    bool Is(int x, int y, int colorIndex) const { return image.PixelAt(x, y) == Color(colorIndex); }
    // Pixels of the colour inside [left, right) x [top, bottom).
    int Count(int colorIndex, int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += Is(x, y, colorIndex);
        return n;
    }
    void Clear() { image.Fill(platform::MakeColor(255, 255, 255)); }

    platform::Image image;
    std::unique_ptr<platform::DrawSurface> surface;
    std::unique_ptr<CDrawContext> dc;
    CAPDoc doc{kDocAnalysisPlot, ""};
    CurveDrawView view;
};

}  // namespace twtest
