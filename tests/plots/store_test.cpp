// The paged data-point store: values across page boundaries in memory and
// through the temporary file, run bounds, and stores that live side by side.
#include "plots/store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/result.h"
#include "tests/plots/scoped_tmpdir.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

bool FileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

PlotCurveArray TwoCurves() {
    PlotCurveArray curves(2);
    for (PlotCurve& curve : curves) curve.UseFlags = kCurveDrawn;
    return curves;
}

// A value that tells column and point apart.
double Sample(int column, int point) { return column * 1e7 + point + 0.25; }

// Stores `points` points of every curve, X and Y, as a run would.
void StorePoints(DataPointStore& store, PlotCurveArray& curves, RunLog& runs, int points) {
    for (int i = 0; i < points; ++i) {
        for (PlotCurve& curve : curves) {
            ASSERT_TRUE(store.NextPointIndex(curve, runs));
            store.SetValue(curve.DataColumn[kSlotX], curve.PointIndex,
                           Sample(curve.DataColumn[kSlotX], curve.PointIndex));
            store.SetValue(curve.DataColumn[kSlotY], curve.PointIndex,
                           Sample(curve.DataColumn[kSlotY], curve.PointIndex));
        }
    }
}

void ExpectPoints(DataPointStore& store, const PlotCurveArray& curves, int points) {
    for (const PlotCurve& curve : curves) {
        for (int slot : {kSlotX, kSlotY}) {
            const int column = curve.DataColumn[slot];
            for (int i = 0; i < points; ++i) {
                ASSERT_EQ(store.GetValue(column, i), Sample(column, i)) << "column " << column << " point " << i;
            }
        }
    }
}

struct PageCase {
    const char* name;
    int memoryPages;  // -1 no limit
    int points;
    bool expectFile;
};

class StorePages : public ::testing::TestWithParam<PageCase> {};

TEST_P(StorePages, ValuesSurviveAcrossPagesAndTheFile) {
    const PageCase& c = GetParam();
    twtest::TempDir folder;
    ScopedTmpdir temp(folder.Path());
    ScopedTestReporter reporter([](const MessageRequest&) -> int {
        ADD_FAILURE() << "no message expected";
        return 0;
    });
    DataPointStore store("graph8.tmp");
    store.SetMemoryPageLimit(c.memoryPages);
    PlotCurveArray curves = TwoCurves();
    RunLog runs;
    ASSERT_EQ(store.Prepare(curves, runs, StoreLayout{}), 5);
    ASSERT_EQ(store.Begin(), 0);
    store.StartRun(curves, runs, RunRecord{});
    StorePoints(store, curves, runs, c.points);
    EXPECT_EQ(store.PageCount(), (c.points + kPagePoints - 1) / kPagePoints);
    EXPECT_EQ(store.UsesFile(), c.expectFile);
    // Read backwards and forwards so that file pages are swapped in and out.
    for (int i = c.points - 1; i >= 0; i -= 997) {
        for (const PlotCurve& curve : curves)
            ASSERT_EQ(store.GetValue(curve.DataColumn[kSlotY], i), Sample(curve.DataColumn[kSlotY], i));
    }
    ExpectPoints(store, curves, c.points);
    EXPECT_EQ(curves[0].RunLast[0], c.points - 1);
    EXPECT_EQ(FileExists(store.DataFilePath()), c.expectFile && store.HighestSlotWritten() >= 0);
    std::string path = store.DataFilePath();
    store.DeleteDataFile();
    EXPECT_FALSE(FileExists(path));
}

INSTANTIATE_TEST_SUITE_P(Cases, StorePages,
                         ::testing::Values(PageCase{"MemoryOnly", -1, 3 * kPagePoints + 5, false},
                                           PageCase{"EdgeOfFirstPage", -1, kPagePoints + 1, false},
                                           PageCase{"FileFromFirstPage", 0, 3 * kPagePoints + 5, true},
                                           PageCase{"FileAfterTwoPages", 2, 5 * kPagePoints, true}),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

TEST(Store, PointOnTheNextPageCreatesItAndOnlyThenAreLaterPagesInTheFile) {
    twtest::TempDir folder;
    ScopedTmpdir temp(folder.Path());
    DataPointStore store("graph8.tmp");
    store.SetMemoryPageLimit(1);
    PlotCurveArray curves = TwoCurves();
    RunLog runs;
    store.Prepare(curves, runs, StoreLayout{});
    store.Begin();
    store.StartRun(curves, runs, RunRecord{});
    EXPECT_EQ(store.PageCount(), 1);
    store.SetValue(1, kPagePoints - 1, 7.0);
    EXPECT_EQ(store.PageCount(), 1);
    store.SetValue(1, kPagePoints, 8.0);  // point 4096 lies on page 1
    ASSERT_EQ(store.PageCount(), 2);
    EXPECT_EQ(store.Page(0).Where, kPageInMemory);
    EXPECT_EQ(store.Page(1).Where, kPageInFile);
    // Nothing was written back yet: no file exists.
    EXPECT_EQ(store.DataFilePath(), "");
    store.SetMemoryPageLimit(-1);  // memory is free again, but page 2 stays in the file
    store.SetValue(1, 2 * kPagePoints, 9.0);
    EXPECT_EQ(store.Page(2).Where, kPageInFile);
    EXPECT_TRUE(FileExists(store.DataFilePath()));  // leaving page 1 wrote it back
    EXPECT_EQ(store.GetValue(1, kPagePoints - 1), 7.0);
    EXPECT_EQ(store.GetValue(1, kPagePoints), 8.0);
    EXPECT_EQ(store.GetValue(1, 2 * kPagePoints), 9.0);
    // A file page never written back reads as zeros, not as the page held before it.
    EXPECT_EQ(store.GetValue(2, 2 * kPagePoints), 0.0);
    EXPECT_EQ(store.GetValue(2, kPagePoints), 0.0);
    // Points beyond the store, bad columns and negative points read 0 and store nothing.
    EXPECT_EQ(store.GetValue(1, 50 * kPagePoints), 0.0);
    EXPECT_EQ(store.PageCount(), 3);
    store.SetValue(99, 0, 1.0);
    store.SetValue(-1, 0, 1.0);
    store.SetValue(1, -5, 1.0);
    EXPECT_EQ(store.GetValue(99, 0), 0.0);
}

TEST(Store, TwoStoresSideBySideNeverShareOrDeleteEachOthersFile) {
    twtest::TempDir folder;
    ScopedTmpdir temp(folder.Path());
    DataPointStore first("graph8.tmp"), second("graph8.tmp");
    PlotCurveArray curvesA = TwoCurves(), curvesB = TwoCurves();
    RunLog runsA, runsB;
    for (auto* store : {&first, &second}) store->SetMemoryPageLimit(0);
    first.Prepare(curvesA, runsA, StoreLayout{});
    second.Prepare(curvesB, runsB, StoreLayout{});
    first.Begin();
    second.Begin();
    first.StartRun(curvesA, runsA, RunRecord{});
    second.StartRun(curvesB, runsB, RunRecord{});
    StorePoints(first, curvesA, runsA, 2 * kPagePoints + 3);
    StorePoints(second, curvesB, runsB, 2 * kPagePoints + 3);
    // Different values in the second store.
    for (int i = 0; i <= curvesB[0].PointIndex; ++i) second.SetValue(1, i, -i);
    ASSERT_TRUE(FileExists(first.DataFilePath()));
    ASSERT_TRUE(FileExists(second.DataFilePath()));
    EXPECT_NE(first.DataFilePath(), second.DataFilePath());
    EXPECT_EQ(first.DataFilePath().rfind(folder.Path() + "/graph8-", 0), 0u) << first.DataFilePath();
    EXPECT_EQ(first.DataFilePath().substr(first.DataFilePath().size() - 4), ".tmp");
    struct stat info;
    ASSERT_EQ(stat(first.DataFilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u) << "others may not write the file";

    std::string firstPath = first.DataFilePath();
    first.FreePages(runsA);
    first.DeleteDataFile();
    EXPECT_FALSE(FileExists(firstPath));
    ASSERT_TRUE(FileExists(second.DataFilePath()));
    for (int i = 0; i <= curvesB[0].PointIndex; i += 1000) EXPECT_EQ(second.GetValue(1, i), -i);
    // A store whose file was never made removes nothing.
    DataPointStore third("graph8.tmp");
    third.DeleteDataFile();
    EXPECT_TRUE(FileExists(second.DataFilePath()));
}

TEST(Store, NoRoomAndNoFileNameDropsThePointAndSaysSo) {
    int shown = 0;
    ScopedTestReporter reporter([&](const MessageRequest& request) {
        EXPECT_EQ(request.code(), kResultNoMemory);
        ++shown;
        return 0;
    });
    DataPointStore store;  // no file name
    store.SetMemoryPageLimit(1);
    PlotCurveArray curves = TwoCurves();
    RunLog runs;
    store.Prepare(curves, runs, StoreLayout{});
    ASSERT_EQ(store.Begin(), 0);
    store.StartRun(curves, runs, RunRecord{});
    StorePoints(store, curves, runs, kPagePoints);
    EXPECT_FALSE(store.NextPointIndex(curves[0], runs));
    EXPECT_EQ(curves[0].PointIndex, kPagePoints - 1);
    EXPECT_EQ(curves[0].RunLast[0], kPagePoints - 1);
    EXPECT_TRUE(store.Failed());
    EXPECT_FALSE(store.NextPointIndex(curves[1], runs));
    EXPECT_EQ(shown, 1);
    // What was stored before stays readable.
    EXPECT_EQ(store.GetValue(curves[1].DataColumn[kSlotY], 100), Sample(curves[1].DataColumn[kSlotY], 100));
    // A new start clears the failure.
    EXPECT_EQ(store.Begin(), 0);
    EXPECT_FALSE(store.Failed());
}

TEST(Store, TemporaryFileThatCannotBeMadeIsReportedOnceAndStops) {
    twtest::TempDir folder;
    ScopedTmpdir temp(folder.File("missing"));
    std::vector<int> codes;
    ScopedTestReporter reporter([&](const MessageRequest& request) {
        codes.push_back(request.code());
        return 0;
    });
    DataPointStore store("graph8.tmp");
    store.SetMemoryPageLimit(0);
    PlotCurveArray curves = TwoCurves();
    RunLog runs;
    store.Prepare(curves, runs, StoreLayout{});
    store.Begin();
    store.StartRun(curves, runs, RunRecord{});
    for (int i = 0; i < 3 * kPagePoints; ++i) {
        if (!store.NextPointIndex(curves[0], runs)) break;
        store.SetValue(1, curves[0].PointIndex, 1.0);
    }
    EXPECT_TRUE(store.Failed());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0], kResultNoSuchFile);
    EXPECT_LT(curves[0].PointIndex, 2 * kPagePoints);
    // Reading on does not try the file again, even once its folder exists.
    ASSERT_EQ(mkdir(folder.File("missing").c_str(), 0700), 0);
    store.GetValue(1, kPagePoints);
    store.GetValue(1, 0);
    EXPECT_EQ(store.DataFilePath(), "");
    EXPECT_EQ(codes.size(), 1u);
}

TEST(Store, ColumnsSharedOnlyByTheTimeXOfLinearRectangularAnalogCurves) {
    PlotCurveArray curves(5);
    curves[0].SingleVar[kAxisX] = 'T';                                    // shares column 0
    curves[1].SingleVar[kAxisY] = 'T';                                    // Y = time: own column
    curves[2].SingleVar[kAxisX] = 'T', curves[2].AxisLinear[kAxisX] = 0;  // log X: own column
    curves[3].SingleVar[kAxisX] = 'T', curves[3].IsDigital = 1;           // digital: own column
    curves[4].SingleVar[kAxisX] = 'T', curves[4].PlotType = kPlotPolar;   // polar X is Re(Y): own column
    DataPointStore store;
    RunLog runs;
    StoreLayout layout;
    layout.ShareTimeColumn = true;
    layout.RunsExpected = 3;
    EXPECT_EQ(store.Prepare(curves, runs, layout), 10);
    EXPECT_EQ(curves[0].DataColumn[kSlotX], 0);
    EXPECT_EQ(curves[0].DataColumn[kSlotY], 1);
    EXPECT_EQ(curves[1].DataColumn[kSlotX], 2);
    EXPECT_EQ(curves[1].DataColumn[kSlotY], 3);
    for (int i = 2; i < 5; ++i) EXPECT_NE(curves[static_cast<size_t>(i)].DataColumn[kSlotX], 0) << i;
    EXPECT_EQ(runs.Records.size(), 3u);
    EXPECT_EQ(curves[4].RunFirst.size(), 3u);
    EXPECT_EQ(curves[4].RunTables.size(), 3u);

    // AC: eight columns per curve, none shared.
    layout.AcColumns = true;
    EXPECT_EQ(store.Prepare(curves, runs, layout), 1 + 5 * 8 - 1);
    layout.ShareTimeColumn = false;
    EXPECT_EQ(store.Prepare(curves, runs, layout), 1 + 5 * 8);
    EXPECT_EQ(curves[4].DataColumn[kSlotYImagPart], 40);
}

TEST(Store, PreparingAgainForMoreColumnsDropsTheOldPages) {
    twtest::TempDir folder;
    ScopedTmpdir temp(folder.Path());
    DataPointStore store("graph8.tmp");
    store.SetMemoryPageLimit(1);
    PlotCurveArray curves = TwoCurves();
    RunLog runs;
    store.Prepare(curves, runs, StoreLayout{});
    store.Begin();
    store.StartRun(curves, runs, RunRecord{});
    StorePoints(store, curves, runs, 2 * kPagePoints);
    ASSERT_TRUE(store.UsesFile());
    const std::string oldFile = store.DataFilePath();
    // A rebuild with more curves and no new start (as a dynamic mode runs).
    PlotCurveArray more(6);
    ASSERT_EQ(store.Prepare(more, runs, StoreLayout{}), 13);
    EXPECT_EQ(store.PageCount(), 0);
    EXPECT_FALSE(FileExists(oldFile));
    store.StartRun(more, runs, RunRecord{});
    StorePoints(store, more, runs, kPagePoints + 3);
    ExpectPoints(store, more, kPagePoints + 3);
}

TEST(Store, RunBoundsAndLookups) {
    DataPointStore store;
    PlotCurveArray curves = TwoCurves();
    RunLog runs;
    StoreLayout layout;
    layout.RunsExpected = 2;
    store.Prepare(curves, runs, layout);
    store.Begin();
    EXPECT_EQ(RunStartOfPoint(curves[0], runs, 3), 0);
    RunRecord record;
    record.Temperature = 27;
    store.StartRun(curves, runs, record);
    StorePoints(store, curves, runs, 5);
    // An empty run: RunLast = RunFirst - 1, and it never matches a point.
    record.Temperature = 50;
    store.StartRun(curves, runs, record);
    EXPECT_EQ(PointsInRun(curves[0], runs), -1);
    EXPECT_EQ(curves[0].RunFirst[1], 5);
    EXPECT_EQ(curves[0].RunLast[1], 4);
    EXPECT_EQ(FindRunOfPoint(5, curves[0], runs), -1);
    EXPECT_EQ(FindRunOfPoint(4, curves[0], runs), 0);
    // A third run beyond those expected grows the arrays.
    store.StartRun(curves, runs, record);
    StorePoints(store, curves, runs, 3);
    EXPECT_EQ(runs.Count, 3);
    EXPECT_EQ(runs.Records[0].Temperature, 27);
    EXPECT_EQ(runs.Records[2].Temperature, 50);
    EXPECT_EQ(curves[1].RunFirst[2], 5);
    EXPECT_EQ(curves[1].RunLast[2], 7);
    EXPECT_EQ(PointsInRun(curves[1], runs), 2);
    EXPECT_EQ(FindRunOfPoint(6, curves[1], runs), 2);
    EXPECT_EQ(RunStartOfPoint(curves[1], runs, 6), 5);
    EXPECT_EQ(RunStartOfPoint(curves[1], runs, 99), 5);  // no run holds it: the last run's start
    EXPECT_EQ(GetRunValue(store, 2, curves[0], 1, 2), Sample(2, 6));
    EXPECT_EQ(GetRunValue(store, 2, curves[0], 1, 9), 0.0);
    store.FreePages(runs);
    EXPECT_EQ(runs.Count, 0);
    EXPECT_EQ(store.PageCount(), 0);
    EXPECT_EQ(store.GetValue(2, 0), 0.0);
}

}  // namespace
