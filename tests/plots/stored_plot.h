// A plot document with curves whose points are stored run by run, for the tests
// of cursors and of the range commands.
#pragma once

#include <algorithm>
#include <vector>

#include "plots/apdoc.h"
#include "plots/cursors.h"

namespace twtest {

struct StoredPlot {
    CAPDoc doc{5, ""};

    // `curves` curves in plot group 1, in Cursor mode; `ac` gives each the eight
    // columns of an AC run.
    explicit StoredPlot(int curves = 1, bool ac = false) {
        doc.Curves.resize(static_cast<size_t>(curves));
        for (int i = 0; i < curves; ++i) {
            doc.Curves[static_cast<size_t>(i)].PlotNumber = 1;
            doc.Curves[static_cast<size_t>(i)].IndexInPlot = i;
        }
        doc.PlottedCount = curves;
        doc.modeCommand = kPlotModeCursor;
        StoreLayout layout;
        layout.RunsExpected = 1;
        layout.AcColumns = ac;
        doc.Store.Prepare(doc.Curves, doc.Runs, layout);
        doc.Store.Begin();
    }

    // One run of every curve: the same X for all, Y per curve.
    void AddRun(const std::vector<double>& xs, const std::vector<std::vector<double>>& ys) {
        doc.StartRun(RunRecord{});
        for (size_t k = 0; k < xs.size(); ++k) {
            for (size_t i = 0; i < doc.Curves.size(); ++i) {
                PlotCurve& c = doc.Curves[i];
                doc.Store.NextPointIndex(c, doc.Runs);
                doc.SetValue(c.DataColumn[kSlotX], c.PointIndex, xs[k]);
                doc.SetValue(c.DataColumn[kSlotY], c.PointIndex, ys[std::min(i, ys.size() - 1)][k]);
                if (xs[k] > c.DataMax[kAxisX]) {
                    c.DataMax[kAxisX] = xs[k];
                    c.XMaxPoint = c.PointIndex;
                }
                if (xs[k] < c.DataMin[kAxisX]) {
                    c.DataMin[kAxisX] = xs[k];
                    c.XMinPoint = c.PointIndex;
                }
            }
        }
    }
    void AddRun(const std::vector<double>& xs, const std::vector<double>& ys) {
        AddRun(xs, std::vector<std::vector<double>>{ys});
    }

    PlotCurve& curve(int i = 0) { return doc.Curves[static_cast<size_t>(i)]; }
    double Y(int point, int i = 0) { return doc.GetValue(curve(i).DataColumn[kSlotY], point); }
};

// 0, 1, ..., n - 1.
inline std::vector<double> Ramp(int n, double step = 1) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(i * step);
    return v;
}

}  // namespace twtest
