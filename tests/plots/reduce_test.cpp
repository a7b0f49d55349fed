// Data point reduction: every N-th point and every run's ends survive, in every
// column of the reduced curves and in the shared column, in memory and in the file.
#include "plots/reduce.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "plots/store.h"
#include "tests/plots/scoped_tmpdir.h"
#include "tests/support/tempdir.h"

namespace {

// A store with analog curves filled over runs of the given lengths: column 0
// holds the point index (the analysis variable), the curve's columns the index
// times the column's number, so any value tells where it came from.
struct Filled {
    DataPointStore store{"graph8.tmp"};
    PlotCurveArray curves;
    RunLog runs;

    Filled(int curveCount, const std::vector<int>& runLengths, bool ac = false, int memoryPages = -1,
           bool sharedX = false) {
        curves.resize(static_cast<size_t>(curveCount));
        if (sharedX) curves[0].SingleVar[kAxisX] = 'T';
        StoreLayout layout;
        layout.AcColumns = ac;
        layout.ShareTimeColumn = sharedX;
        layout.RunsExpected = static_cast<int>(runLengths.size());
        store.SetMemoryPageLimit(memoryPages);
        store.Prepare(curves, runs, layout);
        store.Begin();
        for (int length : runLengths) {
            store.StartRun(curves, runs, RunRecord{});
            for (int i = 0; i < length; ++i) {
                for (PlotCurve& curve : curves) {
                    EXPECT_TRUE(store.NextPointIndex(curve, runs));
                    for (int slot = 0; slot < (ac ? kCurveColumnSlots : 2); ++slot) {
                        const int column = curve.DataColumn[slot];
                        store.SetValue(column, curve.PointIndex,
                                       column == 0 ? curve.PointIndex : curve.PointIndex * column);
                    }
                    curve.DataMax[kAxisY] = 1e9;  // stale extremes the reduction replaces
                }
            }
        }
    }
};

// The indices that survive: multiples of n and run ends.
std::vector<int> Expected(const std::vector<int>& runLengths, int n) {
    std::vector<int> kept;
    int first = 0;
    for (int length : runLengths) {
        for (int i = first; i < first + length; ++i) {
            if (i % n == 0 || i == first || i == first + length - 1) kept.push_back(i);
        }
        first += length;
    }
    return kept;
}

void ExpectReduced(Filled& f, const std::vector<int>& runLengths, int n, int slots) {
    const std::vector<int> kept = Expected(runLengths, n);
    for (const PlotCurve& curve : f.curves) {
        ASSERT_EQ(curve.PointIndex, static_cast<int>(kept.size()) - 1);
        for (size_t k = 0; k < kept.size(); ++k) {
            for (int slot = 0; slot < slots; ++slot) {
                const int column = curve.DataColumn[slot];
                ASSERT_EQ(f.store.GetValue(column, static_cast<int>(k)), column == 0 ? kept[k] : kept[k] * column)
                    << "column " << column << " new index " << k;
            }
        }
        EXPECT_EQ(curve.DataMax[kAxisY], kept.back() * curve.DataColumn[kSlotY]);
        EXPECT_EQ(curve.DataMin[kAxisY], 0);
    }
    // The run bounds point at the kept ends.
    int first = 0;
    for (size_t r = 0; r < runLengths.size(); ++r) {
        const PlotCurve& curve = f.curves[0];
        if (runLengths[r] == 0) {
            EXPECT_EQ(curve.RunLast[r], curve.RunFirst[r] - 1) << r;
        } else {
            EXPECT_EQ(kept[static_cast<size_t>(curve.RunFirst[r])], first) << r;
            EXPECT_EQ(kept[static_cast<size_t>(curve.RunLast[r])], first + runLengths[r] - 1) << r;
        }
        first += runLengths[r];
    }
}

struct ReduceCase {
    const char* name;
    std::vector<int> runs;
    int n;
    bool ac;
    int memoryPages;
    bool sharedX;
};

class Reduce : public ::testing::TestWithParam<ReduceCase> {};

TEST_P(Reduce, KeepsEveryNthPointAndTheRunEnds) {
    const ReduceCase& c = GetParam();
    twtest::TempDir folder;
    ScopedTmpdir temp(folder.Path());
    Filled f(2, c.runs, c.ac, c.memoryPages, c.sharedX);
    EXPECT_TRUE(ReduceDataPoints(f.curves, f.store, f.runs, c.n));
    ExpectReduced(f, c.runs, c.n, c.ac ? kCurveColumnSlots : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reduce,
    ::testing::Values(ReduceCase{"EveryThird", {10, 7}, 3, false, -1, false},
                      ReduceCase{"RunEndsOfShortRuns", {5, 5, 0, 5}, 1000, false, -1, false},
                      ReduceCase{"StrideOneKeepsAll", {6, 6}, 1, false, -1, false},
                      ReduceCase{"AcColumnsStayInStep", {9, 4}, 2, true, -1, false},
                      ReduceCase{"SharedTimeColumn", {10, 11}, 4, false, -1, true},
                      ReduceCase{"ThroughTheFile", {3 * kPagePoints + 17, kPagePoints - 5}, 7, false, 0, true}),
    [](const ::testing::TestParamInfo<ReduceCase>& info) { return std::string(info.param.name); });

TEST(ReduceData, CurvesWithFewPointsAndDigitalCurvesAreLeftAlone) {
    Filled f(2, {2, 2});
    f.curves[1].IsDigital = 1;
    // Four points over two runs: not more than twice the runs.
    EXPECT_FALSE(ReduceDataPoints(f.curves, f.store, f.runs, 2));
    EXPECT_EQ(f.curves[0].PointIndex, 3);
    EXPECT_EQ(f.store.GetValue(f.curves[0].DataColumn[kSlotY], 1), f.curves[0].DataColumn[kSlotY]);

    Filled g(2, {20});
    g.curves[1].IsDigital = 1;
    EXPECT_TRUE(ReduceDataPoints(g.curves, g.store, g.runs, 5));
    EXPECT_EQ(g.curves[0].PointIndex, 4);  // 0, 5, 10, 15, 19
    EXPECT_EQ(g.curves[1].PointIndex, 19);
    EXPECT_EQ(g.store.GetValue(g.curves[1].DataColumn[kSlotY], 7), 7 * g.curves[1].DataColumn[kSlotY]);
}

TEST(ReduceData, TheWarningProposesAStrideFromTheLargestCurve) {
    PlotCurveArray curves(3);
    curves[0].PointIndex = 2500000;
    curves[1].PointIndex = 10;
    curves[2].PointIndex = 9000000;
    curves[2].IsDigital = 1;
    PointCensus census = CountDataPoints(curves);
    EXPECT_TRUE(census.Excessive);
    EXPECT_EQ(census.Largest, 2500000);
    EXPECT_EQ(census.Total, 2500010);
    EXPECT_EQ(census.ProposedN, 2);
    curves[0].PointIndex = kExcessivePointCount;
    census = CountDataPoints(curves);
    EXPECT_FALSE(census.Excessive);
    EXPECT_EQ(census.ProposedN, 1);
}

}  // namespace
