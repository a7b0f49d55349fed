// A transient analysis run through the 2D analysis document: its accepted
// points land in the curves of the limits rows, its numeric output gets the
// curve table, its fitted ranges follow the data, and the analysis closes
// cleanly so that another circuit's analysis opens after it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/limitsdlg.h"
#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/savefile.h"
#include "engine/state.h"
#include "expr/runstate.h"
#include "plots/g2ddoc.h"
#include "plots/layout.h"
#include "plots/plotwindows.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/plots/runfixture.h"
#include "tests/support/test_reporter.h"

namespace {

// A 1 V step into R1 C1 (1 ms): v(out) = 1 - exp(-t / 1ms) after the step.
const char* const kRcDeck =
    "RC step\nV1 IN 0 PULSE(0 1 0 1N 1N 1 2)\nR1 IN OUT 1K\nC1 OUT 0 1U\n"
    ".TRAN 0.1M 5M\n.PRINT TRAN V(OUT)\n.END\n";

class AnalysisRun : public twtest::AnalysisRunTest {
protected:
    AnalysisRun() : AnalysisRunTest("tw_plots_run") {}
    static std::string Read(const std::string& path) { return twtest::ReadWholeFile(path); }
};

TEST_F(AnalysisRun, ATransientStoresItsPointsWritesItsTableAndClosesForTheNextCircuit) {
    CCTDoc* rc = Load("rc.ckt", kRcDeck);
    ASSERT_EQ(RunAnalysis(rc, 0), 0);
    ASSERT_EQ(RunOpenAnalysis(rc), 0) << (shown_.empty() ? 0 : shown_[0]);
    EXPECT_TRUE(shown_.empty());

    CG2DDoc* plot = AnalysisDocumentOf(rc);
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(CurrentRunContext().analysisDocument, plot);
    ASSERT_GE(plot->CurveCount(), 1);
    const PlotCurve& out = plot->Curves[0];
    EXPECT_EQ(out.ExprText[kAxisY], "V(OUT)");
    EXPECT_EQ(out.UseFlags, kCurveDrawn | kCurveListed);
    ASSERT_EQ(plot->Runs.Count, 1);
    const int first = out.RunFirst[0], last = out.RunLast[0];
    ASSERT_GT(last - first, 20);
    int checked = 0;
    for (int i = first; i <= last; ++i) {
        const double t = plot->GetValue(out.DataColumn[kSlotX], i);
        const double v = plot->GetValue(out.DataColumn[kSlotY], i);
        EXPECT_NEAR(v, 1 - std::exp(-t / 1e-3), 5e-3) << "t=" << t;
        checked += t > 0.5e-3;
    }
    EXPECT_GT(checked, 10);
    EXPECT_NEAR(plot->GetValue(out.DataColumn[kSlotX], last), 5e-3, 1e-12);

    // The "Auto" Y range was fitted to the data once and written back into its
    // row; X spans the run.
    EXPECT_NEAR(out.DataMax[kAxisY], 1 - std::exp(-5.0), 5e-3);
    EXPECT_LE(out.RangeLow[kAxisY], out.DataMin[kAxisY]);
    EXPECT_GE(out.RangeHigh[kAxisY], out.DataMax[kAxisY]);
    EXPECT_LE(out.RangeHigh[kAxisY] - out.RangeLow[kAxisY], 1.5);
    EXPECT_STRNE(CircuitAnalysisSettings(rc)->kinds[0].curves[0]->yRange, "Auto");
    EXPECT_NEAR(out.RangeLow[kAxisX], 0, 1e-12);
    EXPECT_NEAR(out.RangeHigh[kAxisX], 5e-3, 1e-12);

    // The numeric output carries the table of the printed curve: a heading and
    // one row per point of the limits.
    const std::string output = Read(dir_.File("rc.TNO"));
    const size_t heading = output.find("V(OUT)");
    ASSERT_NE(heading, std::string::npos) << output;
    std::istringstream rows(output.substr(heading));
    std::string line;
    std::vector<std::pair<double, double>> table;
    while (std::getline(rows, line)) {
        double t = 0, v = 0;
        char suffixT = 0;
        if (std::sscanf(line.c_str(), " %lf%c %lf", &t, &suffixT, &v) == 3) table.push_back({t, v});
    }
    EXPECT_GE(table.size(), 40u) << output;

    CloseAnalysis(rc);
    EXPECT_EQ(CurrentAnalysis(), nullptr);
    EXPECT_EQ(plot->CurveCount(), 0);

    // Another circuit's analysis opens and runs after it.
    CCTDoc* divider = Load("divider.ckt", "divider\nV1 A 0 2\nR1 A B 1K\nR2 B 0 1K\n.TRAN 1U 10U\n.END\n");
    ASSERT_EQ(RunAnalysis(divider, 0), 0);
    ASSERT_EQ(RunOpenAnalysis(divider), 0);
    CG2DDoc* second = AnalysisDocumentOf(divider);
    ASSERT_NE(second, plot);
    ASSERT_GE(second->CurveCount(), 1);
    const PlotCurve& b = second->Curves[0];
    ASSERT_TRUE(b.HasPoint());
    EXPECT_NEAR(second->GetValue(b.DataColumn[kSlotY], b.PointIndex),
                second->Curves[0].ExprText[kAxisY] == "v(A)" ? 2 : 1, 1e-9);
    CloseAnalysis(divider);
    EXPECT_TRUE(shown_.empty());
}

// A .PRINT row brings no scale factor of its own: the table reads it as the
// plot default "None", so every number keeps the letter of its column's scale,
// a scale that fits the printed data although the plot's range is still
// provisional when the table is written; the heading names the expression's
// unit. The diode's power is worked out because a curve asks for it.
TEST_F(AnalysisRun, TheNumericOutputPrintsMilliwattsAndMillisecondsWithTheirDigits) {
    CCTDoc* doc = Load("pd.ckt",
                       "power\nV1 IN 0 2\nR1 IN A 1K\nD1 A 0 DM\n.MODEL DM D\n"
                       ".TRAN 0.1M 1.4M\n.PRINT TRAN PD(D1)\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    AnalysisKindSettings& limits = Limits(doc, 0);
    SetString(&limits.limits[2], "15");
    ASSERT_FALSE(limits.curves.empty());
    EXPECT_EQ(limits.curves[0]->formats.scaleFactorY, nullptr);
    ASSERT_EQ(RunOpenAnalysis(doc), 0) << (shown_.empty() ? 0 : shown_[0]);

    CG2DDoc* plot = AnalysisDocumentOf(doc);
    ASSERT_EQ(plot->CurveCount(), 1);
    const PlotCurve& pd = plot->Curves[0];
    const double power = plot->GetValue(pd.DataColumn[kSlotY], pd.PointIndex);
    ASSERT_NEAR(power, 0.9e-3, 0.2e-3);
    const std::string output = Read(dir_.File("pd.TNO"));
    const size_t heading = output.find("PD(D1)");
    ASSERT_NE(heading, std::string::npos) << output;
    std::istringstream rows(output.substr(heading));
    std::string line;
    std::getline(rows, line);
    std::getline(rows, line);
    EXPECT_NE(line.find("(Secs)"), std::string::npos) << line;
    EXPECT_NE(line.find("(W)"), std::string::npos) << line;
    std::vector<std::string> times;
    while (std::getline(rows, line)) {
        char t[32] = {}, p[32] = {};
        if (std::sscanf(line.c_str(), " %31s %31s", t, p) != 2) break;
        int error = 0;
        EXPECT_NEAR(ParseNumber(p, &error), power, power * 1e-3) << line;
        EXPECT_EQ(error, 0) << line;
        times.push_back(t);
    }
    ASSERT_EQ(times.size(), 15u) << output;
    for (size_t i = 0; i < times.size(); ++i) {
        int error = 0;
        EXPECT_NEAR(ParseNumber(times[i].c_str(), &error), 1e-4 * double(i), 1e-9) << times[i];
        EXPECT_EQ(error, 0) << times[i];
    }
    EXPECT_EQ(times[5], "0.500m");
    EXPECT_EQ(times[14], "1.400m");
}

// AC and DC plots open with the grids transient starts with; a kind whose
// options the user changed keeps them.
TEST_F(AnalysisRun, EveryKindOpensWithItsGrids) {
    CCTDoc* doc = Load("div.ckt", "div\nV1 IN 0 DC 1 AC 1\nR1 IN OUT 1K\nR2 OUT 0 1K\n.END\n");
    for (int kind = 0; kind < 3; ++kind) {
        ASSERT_EQ(RunAnalysis(doc, kind), 0) << kind;
        const int32_t options = AnalysisDocumentOf(doc)->ViewOptions[kind];
        EXPECT_EQ(options & (kViewHorizontalGrids | kViewVerticalGrids), kViewHorizontalGrids | kViewVerticalGrids)
            << kind;
        CloseAnalysis(doc);
    }
    AnalysisDocumentOf(doc)->ViewOptions[1] = kViewRuler;
    ASSERT_EQ(RunAnalysis(doc, 1), 0);
    EXPECT_EQ(AnalysisDocumentOf(doc)->ViewOptions[1], kViewRuler);
    CloseAnalysis(doc);
}

// One curve row as the Analysis Limits grid holds it.
struct RowLine {
    char group;
    uint16_t options;
    const char* x;
    const char* y;
    const char* yRange;
    const char* gridY;
};

void SetRows(AnalysisKindSettings& limits, std::initializer_list<RowLine> rows) {
    limits.curves.clear();
    int id = 1;
    for (const RowLine& given : rows) {
        auto row = std::make_unique<CurveRow>();
        row->plotGroup = given.group;
        row->options = given.options;
        row->aliasId = id++;
        SetString(&row->xExpression, given.x);
        SetString(&row->yExpression, given.y);
        SetString(&row->xRange, "Auto");
        SetString(&row->yRange, given.yRange);
        if (given.gridY) SetString(&row->gridY, given.gridY);
        limits.curves.push_back(std::move(row));
    }
}

constexpr uint16_t kLinear = kOutputLinearX | kOutputLinearY;

TEST_F(AnalysisRun, CurvesAreBuiltFromTheRowsPlottedFirstAndBadRowsStopTheRun) {
    CCTDoc* doc = Load("rows.ckt", "rows\nV1 A 0 2\nR1 A 0 1K\n.TRAN 1U 10U\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    CG2DDoc* plot = AnalysisDocumentOf(doc);
    AnalysisKindSettings& limits = CircuitAnalysisSettings(doc)->kinds[0];
    struct Case {
        const char* what;
        std::initializer_list<RowLine> rows;
        int32_t optionWord;
        int message;                 // shown, 0 none
        std::vector<int> rowOrder;   // rows of the curves in array order
        std::vector<int32_t> flags;  // their UseFlags
        double gridY;                // of the first curve
    } cases[] = {
        {"no plot number",
         {{'0', kLinear, "T", "v(A)", "Auto", nullptr}, {' ', kLinear, "T", "v(A)", "Auto", nullptr}},
         0,
         kMsgNoCurveToPlot,
         {},
         {},
         0},
        {"listed rows follow the plotted ones",
         {{'1', kLinear | kOutputFlag, "T", "v(A)", "Auto", nullptr},
          {0, kLinear | kOutputFlag, "T", "v(A)*2", "Auto", nullptr},
          {'2', kLinear, "T", "v(A)*3", "Auto", nullptr}},
         0,
         0,
         {0, 2, 1},
         {kCurveDrawn | kCurveListed, kCurveDrawn, kCurveListed},
         0},
        {"a log axis from 0", {{'1', kOutputLinearX, "T", "v(A)", "10,0", nullptr}}, 0, kMsgIllegalRange, {}, {}, 0},
        {"a log axis from 0 with Auto Scale Ranges",
         {{'1', kOutputLinearX, "T", "v(A)", "10,0", nullptr}},
         kViewAutoScaleRanges,
         0,
         {0},
         {kCurveDrawn},
         0},
        {"a grid below 1% of the range", {{'1', kLinear, "T", "v(A)", "10,0", "0.001"}}, 0, 0, {0}, {kCurveDrawn}, 2},
        {"an unknown node", {{'1', kLinear, "T", "v(NOSUCH)", "Auto", nullptr}}, 0, -1, {}, {}, 0},
        {"log and linear Y in one graph",
         {{'1', kLinear, "T", "v(A)", "Auto", nullptr}, {'1', kOutputLinearX, "T", "v(A)", "Auto", nullptr}},
         0,
         kMsgLogLinearMix,
         {},
         {},
         0},
    };
    for (const Case& c : cases) {
        SetRows(limits, c.rows);
        limits.optionWord = c.optionWord;
        shown_.clear();
        EXPECT_EQ(RunOpenAnalysis(doc), c.message ? kResultShown : 0) << c.what;
        if (c.message == kMsgIllegalRange) {
            // The limits show the Y range of the offending row.
            ASSERT_NE(ActiveLimitsDialog(), nullptr);
            EXPECT_EQ(ActiveLimitsDialog()->FocusedRow(), 0);
            EXPECT_EQ(ActiveLimitsDialog()->FocusedColumn(), 4);
        }
        if (c.message > 0) {
            EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.what;
        } else if (c.message < 0) {
            EXPECT_EQ(shown_.size(), 1u) << c.what;
        }
        if (c.message) {
            // The run ended before its first point and took its curves along.
            EXPECT_EQ(plot->CurveCount(), 0) << c.what;
            EXPECT_EQ(plot->Runs.Count, 0) << c.what;
            continue;
        }
        ASSERT_EQ(plot->CurveCount(), static_cast<int>(c.rowOrder.size())) << c.what;
        for (size_t i = 0; i < c.rowOrder.size(); ++i) {
            EXPECT_EQ(plot->Curves[i].RowIndex, c.rowOrder[i]) << c.what;
            EXPECT_EQ(plot->Curves[i].UseFlags, c.flags[i]) << c.what;
            EXPECT_TRUE(plot->Curves[i].HasPoint()) << c.what;
        }
        if (c.gridY) {
            EXPECT_DOUBLE_EQ(plot->Curves[0].GridStep[kAxisY], c.gridY) << c.what;
        }
    }
    // The '0' plot character became a blank.
    SetRows(limits, {{'0', kLinear, "T", "v(A)", "Auto", nullptr}});
    RunOpenAnalysis(doc);
    EXPECT_EQ(limits.curves[0]->plotGroup, ' ');
}

TEST_F(AnalysisRun, ACurveOfTimeOverAVoltageKeepsTheTimesInItsOwnColumn) {
    CCTDoc* doc = Load("ramp.ckt", "ramp\nV1 A 0 PWL(0 0 10U 5)\nR1 A 0 1K\n.TRAN 1U 10U\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    SetRows(CircuitAnalysisSettings(doc)->kinds[0], {{'1', kLinear, "v(A)", "T", "Auto", nullptr}});
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    const CG2DDoc* plot = AnalysisDocumentOf(doc);
    ASSERT_EQ(plot->CurveCount(), 1);
    const PlotCurve& c = plot->Curves[0];
    EXPECT_NE(c.DataColumn[kSlotY], kSharedColumn);
    ASSERT_GT(c.PointIndex, 5);
    CG2DDoc* doc2 = AnalysisDocumentOf(doc);
    for (int i = 0; i <= c.PointIndex; ++i) {
        const double t = doc2->GetValue(kSharedColumn, i);
        EXPECT_DOUBLE_EQ(doc2->GetValue(c.DataColumn[kSlotY], i), t);
        EXPECT_NEAR(doc2->GetValue(c.DataColumn[kSlotX], i), 5 * t / 10e-6, 1e-6);
    }
}

TEST_F(AnalysisRun, RetraceRunsRepeatTheTransientAsOftenAsTheLimitSays) {
    CCTDoc* doc = Load("retrace.ckt", "retrace\nV1 A 0 1\nR1 A 0 1K\n.TRAN 1U 10U\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    AnalysisKindSettings& limits = CircuitAnalysisSettings(doc)->kinds[0];
    CG2DDoc* plot = AnalysisDocumentOf(doc);
    for (const auto& [stateVariables, runs, expected] : std::vector<std::tuple<int, const char*, int>>{
             {kStateVariablesRetrace, "3", 3}, {kStateVariablesRetrace, "0", 0}, {0, "3", 1}}) {
        limits.stateVariable = stateVariables;
        SetString(&limits.limits[4], runs);
        EXPECT_EQ(RunOpenAnalysis(doc), 0);
        EXPECT_EQ(plot->CompletedRuns, expected) << runs;
    }
}

TEST_F(AnalysisRun, CaptionsExpandDefinesTemperaturesAndPanels) {
    CCTDoc* doc = Load("cap.ckt", "caption\n.DEFINE R1 1k\nV1 A 0 1\nR1 A 0 {R1}\n.TRAN 1U 10U\n.TEMP 27 85\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    CG2DDoc* plot = AnalysisDocumentOf(doc);
    ASSERT_EQ(plot->Runs.Count, 2);
    plot->CurrentRun = 1;
    struct Case {
        const char* text;
        bool multiLine;
        int kind;
        const char* expected;
    } cases[] = {
        {"$r1$ ohm", false, 0, "1K ohm"},  // the define as the reader keeps it
        {"$Temperature", true, 0, "Temperature=27...85"},
        {"$Temperature", false, 0, "Temperature=85"},
        {"$TempLow/$TempHigh/$TempCurrent", false, 0, "27/85/85"},
        {"[$Stepping]$StepLow2", false, 0, "[]NA"},
        {"$StepLow21", false, 0, "$StepLow21"},
        {"$StepLow21", false, 3, "NA"},
        {"$name $case", false, 0, "cap "},
    };
    for (const Case& c : cases) {
        plot->RunningKind = c.kind;
        const std::optional<std::string> caption = plot->BuildCaption(c.text, c.multiLine, false);
        ASSERT_TRUE(caption.has_value());
        EXPECT_EQ(*caption, c.expected) << c.text;
    }
    plot->RunningKind = 0;
    EXPECT_EQ(plot->FormatTitle(0).value_or(""), "cap.ckt Temperature=85 ");
    plot->Temperatures = {27};
    EXPECT_EQ(plot->FormatRunCaption(0, false, false).value_or("?"), "");
}

TEST_F(AnalysisRun, StoredValuesStayInsideTheLimitsOfTheirAxes) {
    CCTDoc* doc = Load("limits.ckt", "limits\nV1 A 0 1\nR1 A 0 1K\n.TRAN 1U 10U\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    SetRows(CircuitAnalysisSettings(doc)->kinds[0], {{'1', kLinear, "T", "1E60", "Auto", nullptr},
                                                     {'1', kLinear, "T", "-1E60", "Auto", nullptr},
                                                     // Log Y axes share no graph with linear ones.
                                                     {'2', kOutputLinearX, "T", "0", "Auto", nullptr},
                                                     {'2', kOutputLinearX, "T", "-2", "Auto", nullptr}});
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    CG2DDoc* plot = AnalysisDocumentOf(doc);
    ASSERT_EQ(plot->CurveCount(), 4);
    const double expected[] = {1e50, -1e50, 1e-50, 1e-50};
    for (int i = 0; i < 4; ++i) {
        const PlotCurve& c = plot->Curves[static_cast<size_t>(i)];
        ASSERT_TRUE(c.HasPoint());
        EXPECT_EQ(plot->GetValue(c.DataColumn[kSlotY], c.PointIndex), expected[i]) << c.ExprText[kAxisY];
    }
}

TEST_F(AnalysisRun, ARunFromInitialConditionsStartsWithTheValuesAtItsStartTime) {
    CCTDoc* doc = Load("uic.ckt",
                       "uic\nV1 IN 0 1\nR1 IN OUT 1K\nC1 OUT 0 1U IC=0.5\n.TRAN 0.1M 5M 0 0.05M UIC\n"
                       ".PRINT TRAN V(OUT)\n.END\n");
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    CG2DDoc* plot = AnalysisDocumentOf(doc);
    ASSERT_GE(plot->CurveCount(), 1);
    const PlotCurve& c = plot->Curves[0];
    const int first = c.RunFirst[0];
    ASSERT_GT(c.RunLast[0], first + 2);
    // The reserved first slot holds the values at TMIN, extrapolated from the
    // run's next two points; they follow 1 - 0.5 exp(-t / 1ms).
    EXPECT_EQ(plot->GetValue(c.DataColumn[kSlotX], first), 0);
    EXPECT_NEAR(plot->GetValue(c.DataColumn[kSlotY], first), 0.5, 0.02);
    for (int i = first + 1; i <= c.RunLast[0]; ++i) {
        const double t = plot->GetValue(c.DataColumn[kSlotX], i);
        EXPECT_GT(t, 0);
        EXPECT_NEAR(plot->GetValue(c.DataColumn[kSlotY], i), 1 - 0.5 * std::exp(-t / 1e-3), 5e-3) << t;
    }
}

TEST_F(AnalysisRun, RunOptionsSaveWritesTheAcceptedPointsToTheSaveFile) {
    CCTDoc* doc = Load("save.ckt", kRcDeck);
    ASSERT_EQ(RunAnalysis(doc, 0), 0);
    CircuitAnalysisSettings(doc)->kinds[0].runOption = kRunSave;
    ASSERT_EQ(RunOpenAnalysis(doc), 0);
    CG2DDoc* plot = AnalysisDocumentOf(doc);
    EXPECT_FALSE(plot->SaveFile.InUse());
    const PlotCurve& c = plot->Curves[0];

    // Read back, the file holds the times the curve stored, in order.
    SimulationSaveFile save;
    SaveFileRequest request;
    request.path = SimulationSaveFileName(doc->PathName(), 'T');
    request.runOption = kRunRetrieve;
    SimulatorState& state = CurrentAnalysis()->engine;
    ASSERT_EQ(save.Open(state, request), 0);
    std::vector<double> solution(state.Solution.size());
    std::vector<double> times;
    int32_t counter = 0;
    double time = 0, step = 0;
    state.RunStopRequest = 0;
    while (save.ReadPoint(state, counter, time, step, solution) == 0 && !state.RunStopRequest) times.push_back(time);
    state.RunStopRequest = 0;
    save.Close();
    std::vector<double> stored;
    for (int i = c.RunFirst[0]; i <= c.RunLast[0]; ++i) stored.push_back(plot->GetValue(c.DataColumn[kSlotX], i));
    EXPECT_EQ(times, stored);
    CloseAnalysis(doc);
}

// Curve values put straight into the point callback, as a driver's evaluation leaves them.
class PointStoring : public AnalysisRun {
protected:
    CG2DDoc& Prepare(int curves, int displayEvery) {
        CCTDoc* doc = Load("points.ckt", "points\nV1 A 0 1\nR1 A 0 1K\n.END\n");
        plot_ = AnalysisDocumentOf(doc);
        plot_->RunningKind = 0;
        EnsureAnalysisSettings(doc)->kinds[0].reduceDisplay = displayEvery;
        plot_->Curves.resize(static_cast<size_t>(curves));
        plot_->PlottedCount = curves;
        plot_->Point.Kind = 0;
        EXPECT_GT(plot_->PrepareDataStore(), 0);
        EXPECT_EQ(plot_->BeginStore(), 0);
        plot_->StartRun(RunRecord());
        plot_->Point.RunPointIndex = -1;
        return *plot_;
    }
    void Accept(double time, std::initializer_list<double> ys) {
        ++plot_->Point.RunPointIndex;
        ++plot_->Point.AnalysisPointCount;
        plot_->Point.Time = time;
        size_t i = 0;
        for (double y : ys) {
            plot_->Curves[i].Value[kAxisX] = time;
            plot_->Curves[i++].Value[kAxisY] = y;
        }
        plot_->NoteAcceptedPoint();
    }
    std::vector<double> Stored(int curve, int slot) {
        const PlotCurve& c = plot_->Curves[static_cast<size_t>(curve)];
        std::vector<double> values;
        for (int i = c.RunFirst[0]; i <= c.RunLast[0]; ++i) values.push_back(plot_->GetValue(c.DataColumn[slot], i));
        return values;
    }
    CG2DDoc* plot_ = nullptr;
};

TEST_F(PointStoring, ReductionKeepsTheFirstAndLastPointsAndDigitalCurvesOnlyChanges) {
    CG2DDoc& plot = Prepare(2, 3);
    plot.Curves[1].IsDigital = 1;
    // The digital curve: 0, 0, 1 twice at one time (the later state wins), 1, 0 ...
    const double states[] = {0, 0, 1, 2, 2, 0, 0};
    const double times[] = {0, 1, 2, 2, 3, 4, 5};
    for (int i = 0; i < 7; ++i) Accept(times[i], {10.0 * i, states[i]});
    plot.PlotLatestPoint();
    // Analog, every third accepted point: the first point, counts 3 and 6, then the flushed last one.
    EXPECT_EQ(Stored(0, kSlotY), (std::vector<double>{0, 20, 50, 60}));
    EXPECT_EQ(Stored(1, kSlotX), (std::vector<double>{0, 2, 4, 5}));
    EXPECT_EQ(Stored(1, kSlotY), (std::vector<double>{0, 2, 0, 0}));
    // The extremes count every point, stored or not.
    EXPECT_EQ(plot.Curves[0].DataMax[kAxisY], 60);
    EXPECT_EQ(plot.Curves[0].DataMin[kAxisX], 0);
}

}  // namespace
