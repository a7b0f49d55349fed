// Data point reduction: thins out the stored points of a plot document, keeping
// every N-th point and every run's first and last point, on request or after a
// run whose largest curve passes a million points.
#pragma once

#include <cstdint>

#include "plots/curve.h"

class DataPointStore;
struct RunLog;

// A run beyond this many points on its largest curve offers the reduction.
constexpr int32_t kExcessivePointCount = 1000000;

// Keeps point i of the analog curves when i is a multiple of n or the first or
// last point of a run of one of the curves reduced; the survivors move down to
// consecutive indices in every column of those curves and in the shared column,
// the run bounds and newest indices follow, and the Y extremes restart from the
// survivors. A curve with at most twice as many points as there are runs is left
// alone unless its X is the shared column, which must stay in step with it.
// Digital curves are never reduced. True when a curve was reduced.
bool ReduceDataPoints(PlotCurveArray& curves, DataPointStore& store, const RunLog& runs, int n);

// The points of the analog curves after a run: their sum, the largest count and
// the stride the warning proposes (largest / 1,000,000). `excessive` when the
// largest passes the limit.
struct PointCensus {
    int64_t Total = 0;
    int32_t Largest = 0;
    int32_t ProposedN = 1;
    bool Excessive = false;
};
PointCensus CountDataPoints(const PlotCurveArray& curves);
