#include "plots/reduce.h"

#include <algorithm>
#include <vector>

#include "plots/store.h"

namespace {

// Which points survive and where they go: multiples of n, and the run bounds
// that are not multiples of n (sorted, unique).
class rd_Survivors {
public:
    rd_Survivors(int n, std::vector<int32_t> extra) : n_(n), extra_(std::move(extra)) {}
    bool Keeps(int32_t i) const { return i % n_ == 0 || std::binary_search(extra_.begin(), extra_.end(), i); }
    // The number of survivors below i: where i goes when it survives.
    int32_t NewIndex(int64_t i) const {
        const int64_t multiples = (i + n_ - 1) / n_;
        const int64_t bounds = std::lower_bound(extra_.begin(), extra_.end(), i) - extra_.begin();
        return static_cast<int32_t>(multiples + bounds);
    }

private:
    int n_;
    std::vector<int32_t> extra_;
};

// Moves the survivors of points 0..last of a column down, a page at a time so
// that file pages are not swapped for every value. Calls `seen` with each
// surviving value.
template <class Seen>
void rd_CompactColumn(DataPointStore& store, int column, int32_t last, const rd_Survivors& survivors, Seen seen) {
    std::vector<double> block;
    int32_t k = 0;
    for (int32_t start = 0; start <= last; start += kPagePoints) {
        const int32_t end = std::min<int64_t>(last, static_cast<int64_t>(start) + kPagePoints - 1);
        block.clear();
        for (int32_t i = start; i <= end; ++i) {
            if (survivors.Keeps(i)) block.push_back(store.GetValue(column, i));
        }
        for (double value : block) {
            seen(value);
            store.SetValue(column, k++, value);
        }
    }
}

bool rd_HasOwnColumns(const PlotCurve& curve, int slot) { return curve.DataColumn[slot] != kSharedColumn; }

}  // namespace

bool ReduceDataPoints(PlotCurveArray& curves, DataPointStore& store, const RunLog& runs, int n) {
    if (n < 1) n = 1;
    const int runCount = std::max(runs.Count, 0);
    std::vector<size_t> reduced;
    for (size_t c = 0; c < curves.size(); ++c) {
        const PlotCurve& curve = curves[c];
        if (!curve.IsDigital && curve.PointIndex > 2 * runCount) reduced.push_back(c);
    }
    if (reduced.empty()) {
        for (PlotCurve& curve : curves) curve.FreeRunTables();
        return false;
    }
    // Analog curves left alone whose X is the shared column move with it.
    for (size_t c = 0; c < curves.size(); ++c) {
        const PlotCurve& curve = curves[c];
        if (!curve.IsDigital && curve.PointIndex >= 0 && curve.PointIndex <= 2 * runCount &&
            curve.DataColumn[kSlotX] == kSharedColumn)
            reduced.push_back(c);
    }
    std::sort(reduced.begin(), reduced.end());

    std::vector<int32_t> extra;
    int32_t lastShared = -1;
    for (size_t c : reduced) {
        const PlotCurve& curve = curves[c];
        lastShared = std::max(lastShared, curve.PointIndex);
        const size_t count = std::min({static_cast<size_t>(runCount), curve.RunFirst.size(), curve.RunLast.size()});
        for (size_t r = 0; r < count; ++r) {
            if (curve.RunFirst[r] > curve.RunLast[r]) continue;  // an empty run has no points to keep
            for (int32_t bound : {curve.RunFirst[r], curve.RunLast[r]}) {
                if (bound >= 0 && bound % n != 0) extra.push_back(bound);
            }
        }
    }
    std::sort(extra.begin(), extra.end());
    extra.erase(std::unique(extra.begin(), extra.end()), extra.end());
    const rd_Survivors survivors(n, std::move(extra));

    for (size_t c : reduced) {
        PlotCurve& curve = curves[c];
        // Every column of its own (the AC columns too) moves, so that all of them
        // stay in step with the shared column.
        for (int slot = 0; slot < kCurveColumnSlots; ++slot) {
            if (!rd_HasOwnColumns(curve, slot)) continue;
            if (slot == kSlotY) {
                curve.DataMax[kAxisY] = kNoDataMax;
                curve.DataMin[kAxisY] = kNoDataMin;
                rd_CompactColumn(store, curve.DataColumn[slot], curve.PointIndex, survivors, [&](double y) {
                    curve.DataMax[kAxisY] = std::max(curve.DataMax[kAxisY], y);
                    curve.DataMin[kAxisY] = std::min(curve.DataMin[kAxisY], y);
                });
            } else {
                rd_CompactColumn(store, curve.DataColumn[slot], curve.PointIndex, survivors, [](double) {});
            }
        }
        const size_t count = std::min(curve.RunFirst.size(), curve.RunLast.size());
        for (size_t r = 0; r < count && r < static_cast<size_t>(runCount); ++r) {
            const int32_t first = curve.RunFirst[r], last = curve.RunLast[r];
            curve.RunFirst[r] = survivors.NewIndex(first);
            curve.RunLast[r] = survivors.NewIndex(static_cast<int64_t>(last) + 1) - 1;
        }
        curve.PointIndex = survivors.NewIndex(static_cast<int64_t>(curve.PointIndex) + 1) - 1;
        curve.XMinPoint = std::min(curve.XMinPoint, curve.PointIndex);
        curve.XMaxPoint = std::min(curve.XMaxPoint, curve.PointIndex);
    }
    rd_CompactColumn(store, kSharedColumn, lastShared, survivors, [](double) {});
    for (PlotCurve& curve : curves) curve.FreeRunTables();
    return true;
}

PointCensus CountDataPoints(const PlotCurveArray& curves) {
    PointCensus census;
    for (const PlotCurve& curve : curves) {
        if (curve.IsDigital) continue;
        census.Total += curve.PointIndex;
        census.Largest = std::max(census.Largest, curve.PointIndex);
    }
    census.Excessive = census.Largest > kExcessivePointCount;
    census.ProposedN = std::max(1, census.Largest / kExcessivePointCount);
    return census;
}
