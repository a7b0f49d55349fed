#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/pool.h"
#include "core/port.h"
#include "expr/compiled.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/runtime_ops.h"
#include "expr/services.h"
#include "expr/stateful.h"
#include "expr/symbols.h"
#include "tests/expr/evaluator_fixture.h"

namespace {

// Plays the part of the analysis drivers: a run of points, each evaluated
// (possibly more than once, as the solver does) and then accepted.
class StatefulTest : public EvaluatorTestBase {
protected:
    void SetUp() override {
        EvaluatorTestBase::SetUp();
        RandomSeed = 1;
        gSolver.DigitalTick = 1e-12;
    }

    void Transient(double tmax) {
        SetAnalysisKind(0);
        RunVars.tmin = 0.0;
        RunVars.tmax = tmax;
        RunVars.time = 0.0;
    }
    // Evaluates e at x (the time or the swept value) with the input y.
    ComplexNumber At(CompiledExpression& e, double x, double y) {
        RunVars.time = x;
        RunVars.frequency = x;
        RunVars.dcInput1 = x;
        vars[0] = y;
        ComplexNumber r = {-99.0, -99.0};
        EXPECT_EQ(EvaluateExpression(&e, &r, nullptr), 0);
        return r;
    }
    // As the solver and the plot document do after an accepted point.
    void Accept(CompiledExpression& e) {
        EXPECT_EQ(NotifyExpressionOfRunPhase(&e, kPhaseInitial), 0);
        UpdateRunningExtremes(&e);
        EXPECT_EQ(NotifyExpressionOfRunPhase(&e, kPhaseAccept), 0);
    }
    void Reset(CompiledExpression& e, double x) {
        RunVars.time = RunVars.frequency = RunVars.dcInput1 = x;
        EXPECT_EQ(NotifyExpressionOfRunPhase(&e, kPhaseReset), 0);
    }
    double vars[4] = {0, 0, 0, 0};

    // The breakpoint list of the run: every breakpoint is recorded, in seconds
    // (the tick is 1e-12 s here).
    struct BreakpointList final : ExprBreakpoints {
        bool Collecting() const override { return true; }
        bool Add(int64_t ticks, int) override {
            added.push_back(static_cast<double>(ticks) * gSolver.DigitalTick);
            return true;
        }
        void AddDelayBreakpoints(double) override {}
        void ResetDelayBreakpointKinds() override {}
        std::vector<double> added;
    } breakpointList;
    ScopedPort<ExprBreakpoints> breakpointPort{InstallBreakpoints, &breakpointList};
};

TEST_F(StatefulTest, AverageStartsAtItsStartInEitherSweepDirection) {
    struct Point {
        double x, y, value;
    };
    struct Case {
        int kind;
        double runStart, runEnd, start;
        std::vector<Point> points;
    } cases[] = {
        // transient 0..10m, start 1m: 0 up to 1m, then the time average from 1m
        {0, 0.0, 10e-3, 1e-3, {{1e-3, 1, 0}, {2e-3, 1, 1}, {3e-3, 3, 2}, {4e-3, 3, 7.0 / 3.0}}},
        // a start between two points: the first point past it covers the span from the start
        {0, 0.0, 10e-3, 1.5e-3, {{1e-3, 1, 0}, {2e-3, 1, 1}, {3e-3, 3, 3.5 / 1.5}}},
        // downward DC sweep 10..0: the start is passed when the value falls below 5
        {2, 10.0, 0.0, 5.0, {{8, 1, 0}, {6, 1, 0}, {4, 2, 2}, {3, 4, 3}}},
    };
    for (const Case& c : cases) {
        SetAnalysisKind(c.kind);
        RunVars.tmin = RunVars.dcmin = c.runStart;
        RunVars.tmax = RunVars.dcmax = c.runEnd;
        CompiledExpression e;
        vars[1] = c.start;
        EvBuild(e, "@0 @1 CELL CELL CELL AVG", vars);
        Reset(e, c.runStart);
        for (const Point& p : c.points) {
            EXPECT_NEAR(At(e, p.x, p.y).re, p.value, 1e-12) << "at " << p.x;
            Accept(e);
        }
    }
}

TEST_F(StatefulTest, RunningMinimumCommitsAcceptedPointsOnly) {
    Transient(1.0);
    CompiledExpression minimum, maximum;
    EvBuild(minimum, "@0 CELL CELL MINR", vars);
    EvBuild(maximum, "@0 CELL CELL MAXR", vars);
    Reset(minimum, 0.0);
    Reset(maximum, 0.0);
    EXPECT_EQ(At(minimum, 0.1, 5).re, 5.0);  // starts from +1e200
    EXPECT_EQ(At(maximum, 0.1, 5).re, 5.0);
    Accept(minimum);
    Accept(maximum);
    EXPECT_EQ(At(minimum, 0.2, 3).re, 3.0);  // evaluated, never accepted
    EXPECT_EQ(At(maximum, 0.2, 9).re, 9.0);
    EXPECT_EQ(At(minimum, 0.15, 6).re, 5.0);
    EXPECT_EQ(At(maximum, 0.15, 4).re, 5.0);
    Accept(minimum);
    Accept(maximum);
    EXPECT_EQ(At(minimum, 0.3, 4).re, 4.0);
    minimum.evaluatorWords[kWordHoldExtremes] = 1;
    EXPECT_EQ(At(minimum, 0.3, 1).re, 5.0);  // held: the committed extreme
}

TEST_F(StatefulTest, StepAndImpulseValuesAndBreakpoints) {
    Transient(10e-3);
    CompiledExpression step, impulse;
    EvBuild(step, "2e-3 STP", vars);
    EvBuild(impulse, "1000 IMPULSE", vars);
    struct Case {
        CompiledExpression* e;
        double t, value;
    } cases[] = {
        {&step, 1e-3, 0},         {&step, 2e-3, 1},         {&impulse, -1e-9, 0},
        {&impulse, 0.05e-6, 500}, {&impulse, 0.5e-3, 1000}, {&impulse, 1.00015e-3, 500},
        {&impulse, 1.0003e-3, 0},
    };
    for (const Case& c : cases) EXPECT_NEAR(At(*c.e, c.t, 0).re, c.value, 1e-4) << c.t;
    SetAnalysisKind(1);
    EXPECT_EQ(At(step, 3e-3, 0).re, 0.0);  // other analyses: 0

    SetAnalysisKind(0);
    CurveExpressions curves[] = {{&step, &impulse}};
    AnalysisExpressions document;
    document.curves = curves;
    document.curveCount = 1;
    EXPECT_EQ(SetupExpressionBreakpoints(&document), 0);
    const double expected[] = {2e-3, 0.1e-6, 1.0001e-3, 1.0002e-3};
    ASSERT_EQ(breakpointList.added.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(breakpointList.added[i], expected[i], 2e-12);
}

TEST_F(StatefulTest, IntegralDifferenceAndLastFollowAcceptedPoints) {
    Transient(1e-3);
    CompiledExpression sum, late, del, last;
    EvBuild(sum, "1 T 0 CELL CELL CELL CELL CELL CELL SUM", vars);
    EvBuild(late, "1 T 0.5e-3 CELL CELL CELL CELL CELL CELL SUM", vars);
    EvBuild(del, "@0 CELL CELL DEL", vars);
    EvBuild(last, "@0 2 H0 LAST", vars);
    CompiledExpression* all[] = {&sum, &late, &del, &last};
    for (CompiledExpression* e : all) Reset(*e, 0.0);
    const double ys[] = {10, 20, 30, 40, 50};
    for (int i = 0; i < 5; ++i) {
        double t = (i + 1) * 0.2e-3;
        EXPECT_NEAR(At(sum, t, ys[i]).re, t, 1e-15);  // SUM(1, T) is T
        EXPECT_NEAR(At(late, t, ys[i]).re, t <= 0.5e-3 ? 0.0 : t - 0.5e-3, 1e-15);
        EXPECT_EQ(At(del, t, ys[i]).re, i == 0 ? ys[0] - 1 : 10.0);  // right after a reset: y - 1
        EXPECT_EQ(At(last, t, ys[i]).re, i < 2 ? 0.0 : ys[i - 2]);
        for (CompiledExpression* e : all) Accept(*e);
    }
}

// The solver evaluates expressions at points it then rejects, and evaluates
// again at a smaller step. Whatever the rejected evaluations saw, every
// stateful function must give at the accepted points exactly what it gives in
// a run without them.
TEST_F(StatefulTest, RejectedPointsLeaveNoTrace) {
    const char* functions[] = {
        "@0 T 0 CELL CELL CELL CELL CELL CELL SUM",  // SUM(y, T)
        "@0 1e-3 CELL CELL CELL AVG",
        "@0 1e-3 CELL CELL CELL RMS",
        "@0 CELL CELL DEL",
        "@0 3 H0 LAST",
        "@0 CELL CELL MINR",
        "@0 CELL CELL MAXR",
        "@0 1e-3 H0 H1 DELAY",
    };
    for (const char* f : functions) {
        Transient(10e-3);
        CompiledExpression clean, rejected;
        EvBuild(clean, f, vars);
        EvBuild(rejected, f, vars);
        Reset(clean, 0.0);
        Reset(rejected, 0.0);
        for (int i = 1; i <= 12; ++i) {
            double t = i * 0.5e-3;
            double y = std::sin(i * 0.7) + 0.1 * i;
            if (i > 2) {
                // a larger step first, rejected after its Newton iterations
                At(rejected, t + 0.4e-3, -777.0);
                At(rejected, t + 0.3e-3, 555.0);
            }
            ComplexNumber expected = At(clean, t, y);
            ComplexNumber got = At(rejected, t, y);
            EXPECT_NEAR(got.re, expected.re, 1e-12) << f << " at point " << i;
            EXPECT_NEAR(got.im, expected.im, 1e-12) << f << " at point " << i;
            Accept(clean);
            Accept(rejected);
        }
    }
}

TEST_F(StatefulTest, DelayInterpolatesStoredPoints) {
    Transient(10e-3);
    CompiledExpression e;
    EvBuild(e, "@0 1e-3 H0 H1 DELAY", vars);
    Reset(e, 0.0);
    // y = 1000 t: the delayed value is 1000 (T - 1m) once T is past 1m
    for (int i = 0; i <= 12; ++i) {
        double t = i * 0.25e-3;
        double value = At(e, t, 1000 * t).re;
        if (i == 0) {
            EXPECT_EQ(value, 0.0);  // nothing stored: y itself
        } else if (t < 1e-3) {
            EXPECT_EQ(value, 0.0);  // the first stored value
        } else {
            EXPECT_NEAR(value, 1000 * (t - 1e-3), 1e-9) << t;
        }
        Accept(e);
    }
    // a rejected step at 3.5m moved the search on; the retry at 3.25m still
    // finds its time
    At(e, 3.5e-3, 3.5);
    EXPECT_NEAR(At(e, 3.25e-3, 3.25).re, 2.25, 1e-9);
    // a reset frees the stored points
    Reset(e, 0.0);
    EXPECT_EQ(At(e, 5e-3, 7.0).re, 7.0);
}

TEST_F(StatefulTest, DelayWithoutHistoriesFailsWithoutReadingTheStack) {
    Transient(10e-3);
    CompiledExpression e;
    EvBuild(e, "@0 @1 DELAY", vars);  // as if the delay were computed and no histories were given
    ComplexNumber r;
    EXPECT_EQ(EvaluateExpression(&e, &r, nullptr), kEvalUnknownToken);
    EXPECT_EQ(r.re, 1.0);
    EXPECT_EQ(CurrentEvaluationContext().top, 0);
}

TEST_F(StatefulTest, PhaseUnwrapsAndGroupDelayStartsFromOneDegree) {
    SetAnalysisKind(1);
    ComplexNumber z;
    CompiledExpression ph, gd;
    for (CompiledExpression* e : {&ph, &gd}) {
        EvAppendToken(*e, kTokComplexOperand)->operand.complexPtr = &z;
        for (int i = 0; i < (e == &ph ? 2 : 5); ++i) EvAppendToken(*e, kTokStateCell);
        EvAppendToken(*e, e == &ph ? kTokPh : kTokGd);
        e->flags |= kUnitStateful;
    }
    auto polar = [](double degrees) {
        double a = degrees * 3.141592653589793 / 180.0;
        return ComplexNumber{std::cos(a), std::sin(a)};
    };
    Reset(ph, 100.0);
    z = polar(179.0);
    EXPECT_NEAR(At(ph, 100.0, 0).re, 179.0, 1e-9);
    Accept(ph);
    z = polar(-179.0);
    EXPECT_NEAR(At(ph, 200.0, 0).re, 181.0, 1e-9);

    Reset(gd, 100.0);
    gSolver.PreviousFrequencies[0] = 100.0;
    z = polar(-36.0);
    EXPECT_EQ(At(gd, 100.0, 0).re, 1e-50);                          // two equal frequencies
    EXPECT_NEAR(At(gd, 200.0, 0).re, 37.0 / 360.0 / 100.0, 1e-15);  // from the 1 degree of the reset

    struct Case {
        double phase, previous, unwrapped;
    } unwraps[] = {{-179, 179, 181}, {10, 725, 730}, {10, 0, 10}, {-90, 500, 630}};
    for (const Case& c : unwraps) EXPECT_NEAR(UnwrapPhase(polar(c.phase), c.previous, 1).re, c.unwrapped, 1e-9);
    EXPECT_NEAR(UnwrapPhase(polar(-179), 179, 0).re, -179, 1e-9);
}

TEST_F(StatefulTest, RandomValuesAreDrawnFromTheSeed) {
    EXPECT_EQ(NextRandom(), 41.0 / 32767.0);
    RandomSeed = 1;
    Transient(3.5e-3);
    CompiledExpression perRun, interval, complexPerRun;
    EvBuild(perRun, "RNDR", vars);
    EvBuild(interval, "1e-3 RNDI", vars);
    EvBuild(complexPerRun, "RNDC", vars);
    CurveExpressions curves[] = {{&perRun, &interval}, {&complexPerRun, nullptr}};
    AnalysisExpressions document;
    document.curves = curves;
    document.curveCount = 2;
    ScanRandomFlags(&document);
    EXPECT_EQ(perRun.FirstToken()->operand.value, 41.0 / 32767.0);
    EXPECT_NE(complexPerRun.FirstToken()->operand.value, 0.0);  // RNDC is drawn anew for every run too

    EXPECT_EQ(PrepareIntervalRandoms(&document), 0);
    ASSERT_EQ(breakpointList.added.size(), 4u);  // 0, 1m, 2m, 3m
    EXPECT_NEAR(breakpointList.added[3], 3e-3, 1e-12);
    double before = interval.LastToken()->operand.value;
    RunVars.time = 2.5e-3;
    RefreshIntervalRandomValues();
    EXPECT_EQ(interval.LastToken()->operand.value, before);
    RunVars.time = 2e-3;
    RefreshIntervalRandomValues();
    EXPECT_NE(interval.LastToken()->operand.value, before);
    FreeIntervalRandomList();
}

TEST_F(StatefulTest, NoiseAndBesselSeries) {
    NoiseSourceEntry sources[] = {{2.0, 1, 0}, {1.0, 2, 1}};
    ComplexNumber solution[] = {{0, 0}, {3, 0}, {3, 4}};
    ComplexNumber pairs[] = {{2, 0}, {0, 1}};
    NoiseSourceTable& noise = gSolver.NoiseSources;
    noise.sources = sources;
    noise.count = 2;
    noise.solution = solution;
    noise.nodeCount = 3;
    noise.inputPairs = pairs;
    noise.inputPairCount = 1;
    noise.inputAmplitude = 4.0;
    SetAnalysisKind(1);
    CompiledExpression out, in;
    EvBuild(out, "ONOISE", vars);
    EvBuild(in, "INOISE", vars);
    EXPECT_NEAR(At(out, 1, 0).re, std::sqrt(52.0), 1e-12);
    EXPECT_NEAR(At(in, 1, 0).re, std::sqrt(52.0) / 0.5, 1e-12);

    // YN without a third argument is the run-time function; with one, the series
    CompiledExpression runTime, series;
    EvBuild(runTime, "0 1 -10 YN", vars);
    EvBuild(series, "1 2 20 YN", vars);
    EXPECT_EQ(At(runTime, 1, 0).re, ::y0(1.0));
    EXPECT_NEAR(At(series, 1, 0).re, ::y1(2.0), 1e-4);
    EXPECT_NE(At(series, 1, 0).re, ::y1(2.0));
}

TEST_F(StatefulTest, RunPhasesReachDeviceExpressionsOfFlaggedLists) {
    Transient(1e-3);
    struct Records final : ExprDeviceRecords {
        CompiledExpression* RecordExpression(int list, DeviceRecord*, int which) override {
            return list == kListResistors && which == 0 ? &expr : nullptr;
        }
        const InductorCoreState* InductorCore(const void*) override { return nullptr; }
        CompiledExpression expr;
    } records;
    CompiledExpression& deviceExpr = records.expr;
    EvBuild(deviceExpr, "@0 CELL CELL DEL", vars);
    ScopedPort<ExprDeviceRecords> recordsPort(InstallDeviceRecords, &records);
    ASSERT_NE(DeviceLists()[kListResistors].pool.AddNew(0), nullptr);
    AnalysisExpressions document;

    vars[0] = 5.0;
    DeviceLists()[kListResistors].hasStatefulExpressions = 0;
    EXPECT_EQ(UpdateStatefulExpressions(&document, kPhaseReset), 0);
    EXPECT_EQ(At(deviceExpr, 0, 5).re, 5.0);  // not reset: the committed cell is still 0
    DeviceLists()[kListResistors].hasStatefulExpressions = 1;
    EXPECT_EQ(UpdateStatefulExpressions(&document, kPhaseReset), 0);
    EXPECT_EQ(At(deviceExpr, 0, 5).re, 4.0);

    ReleaseDeviceLists();
    DeviceLists()[kListResistors].hasStatefulExpressions = 0;
    FreeExpression(&deviceExpr);
}

}  // namespace

namespace {

void StatefulCollectLine(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

TEST(StatefulDifferences, ThinningKeepsChangesAndResolutionSteps) {
    // DIFD states: '0' is 504, '1' is 507
    double x[] = {0.0, 0.1, 0.2, 1.5, 1.6, 1.7, 3.0};
    double y[] = {504, 504, 507, 507, 507, 504, 504};
    DifferencePoints points = {x, y, 7, false, 0.0, 0.0, 1.0};
    bool thinned = false;
    int kept = ThinDifferencePoints(&points, &thinned);
    const double keptX[] = {0.0, 0.2, 1.5, 1.7, 3.0};
    ASSERT_EQ(kept, 5);
    EXPECT_TRUE(thinned);
    for (int i = 0; i < kept; ++i) EXPECT_EQ(x[i], keptX[i]);

    std::vector<std::string> lines;
    int left = 20;
    EXPECT_EQ(WriteDifferenceErrors(x, y, kept, true, "amp.cir", "T", "DIFD(A,B)", StatefulCollectLine, &lines, &left),
              2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "amp.cir At T = 0.2, DIFD(A,B) generated an error.\r\n");
    left = 1;  // the report stops after its twentieth line
    double ones[] = {1, 1, 1};
    EXPECT_EQ(WriteDifferenceErrors(x, ones, 3, false, "c", "T", "DIFA(A,B)", StatefulCollectLine, &lines, &left), 1);
}

}  // namespace
