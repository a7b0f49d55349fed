// DC sweeps of compiled decks with the real device loads: a diode's I-V curve
// point for point against the junction equation (also from deep reverse
// bias), the grid order of a nested sweep, the Auto step control, and the
// sweep variables' names, ranges and movements.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "engine/dcsweep.h"
#include "tests/devices/deck_fixture.h"

namespace {

const double kSweepVt = ThermalVoltageAt(300.15);

struct SweptPoint {
    double v1, v2, y, current;
};

// Records every accepted point: variable values, the watched node and the
// current through the watched voltage source's branch.
class RecordingDcHost : public DcSweepHost {
public:
    void PollRunKeys(SimulatorState& state, int) override {
        if (stopAfter && points.size() >= stopAfter) state.LastRunKey = 27;
    }
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int SetupDcPoint(SimulatorState&, DcSweepRun& run) override {
        ApplyDcSweepValues(document, run);
        ++setups;
        return 0;
    }
    int StartBranch(SimulatorState&, DcSweepRun& run) override {
        branches.push_back(run.Variables[1].Value);
        return 0;
    }
    double FirstCurveSpan(const SimulatorState&, const DcSweepRun&) override { return span; }
    int EvaluateDcPoint(SimulatorState& state, DcSweepRun&, double& firstY) override {
        firstY = state.Solution[static_cast<size_t>(node)];
        return 0;
    }
    int AcceptDcPoint(SimulatorState& state, DcSweepRun& run) override {
        points.push_back({run.Variables[0].Value, run.Variables[1].Value, state.Solution[static_cast<size_t>(node)],
                          branch > 0 ? state.Solution[static_cast<size_t>(branch)] : 0.0});
        return 0;
    }
    int EndBranch(SimulatorState&, DcSweepRun&) override { return 0; }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }

    CCTDoc* document = nullptr;
    int32_t node = 0;
    int32_t branch = 0;
    double span = 1.0;
    size_t stopAfter = 0;  // Esc once this many points are accepted
    int setups = 0;
    std::vector<double> branches;
    std::vector<SweptPoint> points;
    std::vector<int> errors;
};

class DcSweepTest : public DeckOperatingPointFixture {
protected:
    // Compiles, sets up and attaches the deck (no operating point yet).
    void Prepare(const std::string& deck) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        ASSERT_NE(compiled_, nullptr);
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0) << LastMessageText();
        ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0) << LastMessageText();
        ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        host_.document = document_.get();
    }
    int Node(const char* name) { return FindNodeNumber(document_.get(), name, -1, -1); }
    int32_t Branch(const char* part) {
        for (SourceRecord* s : Records<SourceRecord>(kListSpiceSources))
            if (s->part && s->part == FindPart(part, -1)) return s->branch;
        return 0;
    }
    // Resolves and ranges a variable: Range fields are "end,start,step".
    void Variable(int index, const char* name, int method, double end, double start, double step) {
        run_.Variables[index].Method = method;
        ASSERT_EQ(ResolveDcSweepVariable(document_.get(), name, run_, index), 0) << name;
        ASSERT_EQ(SetSweepRange(run_.Variables[index], index, end, start, step), 0);
    }

    DcSweepRun run_;
    RecordingDcHost host_;
};

double DiodeCurrent(double v, double is, double gmin) { return is * (std::exp(v / kSweepVt) - 1.0) + gmin * v; }

// The diode's I-V curve, every point converged and on the junction equation,
// for a sweep from forward bias and for one that starts deep in reverse.
TEST_F(DcSweepTest, DiodeCurveFollowsTheJunctionEquation) {
    struct Case {
        double end, start, step;
        size_t points;
    };
    for (const Case& c : {Case{0.8, 0.0, 0.02, 41}, Case{0.85, -60.0, 0.05, 1218}, Case{-40.0, 0.75, 0.05, 816}}) {
        SCOPED_TRACE(c.start);
        Restart();
        host_ = RecordingDcHost();
        run_ = DcSweepRun();
        Prepare("diode curve\nV1 A 0 0\nD1 A 0 DX\n.MODEL DX D(IS=1e-14)\n.END\n");
        host_.node = Node("A");
        host_.branch = Branch("V1");
        Variable(0, "v1", kDcMethodLinear, c.end, c.start, c.step);
        ASSERT_EQ(RunDcSweep(state_, run_, host_), 0) << LastMessageText();
        EXPECT_EQ(run_.SkippedPoints, 0);
        ASSERT_EQ(host_.points.size(), c.points);
        EXPECT_DOUBLE_EQ(host_.points.front().v1, c.start);
        EXPECT_NEAR(host_.points.back().v1, c.end, 1e-9);
        for (const SweptPoint& p : host_.points) {
            ASSERT_NEAR(p.y, p.v1, 1e-12);
            const double expected = DiodeCurrent(p.v1, 1e-14, state_.Options.gmin);
            // The source delivers the diode's current: its branch current is the
            // negative. Currents converge to RELTOL and well inside ABSTOL.
            ASSERT_NEAR(-p.current, expected, 1e-3 * std::fabs(expected) + 1e-14) << p.v1;
        }
    }
}

// Two sources: variable 2 gives one branch per value, variable 1 runs inside
// each, and every point solves the summing network.
TEST_F(DcSweepTest, NestedSweepMakesTheGridInOrder) {
    Prepare("sum\nV1 A 0 0\nV2 B 0 0\nR1 A OUT 1k\nR2 B OUT 1k\nR3 OUT 0 1k\n.END\n");
    host_.node = Node("OUT");
    Variable(0, "V1", kDcMethodLinear, 2.0, 0.0, 1.0);
    Variable(1, "V2", kDcMethodList, 0, 0, 0);
    ASSERT_EQ(SetSweepList(run_.Variables[1], {5.0, -1.0, 3.0}), 0);
    ASSERT_EQ(RunDcSweep(state_, run_, host_), 0);
    EXPECT_EQ(host_.branches, (std::vector<double>{5.0, -1.0, 3.0}));
    ASSERT_EQ(host_.points.size(), 9u);
    size_t k = 0;
    for (double v2 : {5.0, -1.0, 3.0}) {
        for (double v1 : {0.0, 1.0, 2.0}) {
            EXPECT_DOUBLE_EQ(host_.points[k].v1, v1);
            EXPECT_DOUBLE_EQ(host_.points[k].v2, v2);
            EXPECT_NEAR(host_.points[k].y, (v1 + v2) / 3.0, 1e-9);
            ++k;
        }
    }
    EXPECT_EQ(run_.Branches, 3);

    // Esc ends the run and keeps the points made before it.
    host_ = RecordingDcHost();
    host_.node = Node("OUT");
    host_.stopAfter = 4;
    EXPECT_EQ(RunDcSweep(state_, run_, host_), kResultStopped);
    EXPECT_EQ(host_.points.size(), 4u);
    EXPECT_EQ(host_.branches.size(), 2u);
}

// Auto steps start at 1 % of the largest step, grow where the curve is flat
// and stay within the largest step; the sweep still ends exactly at its end.
TEST_F(DcSweepTest, AutoStepsAdaptToTheCurve) {
    Prepare("diode\nV1 A 0 0\nR1 A K 100\nD1 K 0 DX\n.MODEL DX D(IS=1e-14)\n.END\n");
    host_.node = Node("K");
    host_.span = 1.0;
    run_.MaxChangeFraction = 0.05;
    Variable(0, "V1", kDcMethodAuto, 10.0, 0.0, 0.0);
    EXPECT_DOUBLE_EQ(run_.Variables[0].Step, 0.2);
    ASSERT_EQ(RunDcSweep(state_, run_, host_), 0);
    ASSERT_GT(host_.points.size(), 10u);
    EXPECT_DOUBLE_EQ(host_.points.front().v1, 0.0);
    EXPECT_NEAR(host_.points[1].v1, 0.002, 1e-15);
    EXPECT_DOUBLE_EQ(host_.points.back().v1, 10.0);
    for (size_t k = 1; k < host_.points.size(); ++k) {
        EXPECT_LE(host_.points[k].v1 - host_.points[k - 1].v1, 0.2 + 1e-12);
        EXPECT_LE(std::fabs(host_.points[k].y - host_.points[k - 1].y), 0.05 * 1.25 + 1e-9) << host_.points[k].v1;
    }
    EXPECT_EQ(run_.AcceptedPoints, static_cast<int32_t>(host_.points.size()));
}

TEST_F(DcSweepTest, VariableNamesResolveOrFailWithTheirMessage) {
    Prepare("names\nV1 A 0 1\nR1 A 0 1k\nD1 A 0 DX\n.MODEL DX D(IS=1e-14)\n.END\n");
    struct Case {
        const char* text;
        int result;
        int kind;
    };
    for (const Case& c :
         {Case{"v1", 0, kDcVariableSource}, Case{"TEMP", 0, kDcVariableTemp}, Case{"PARAM GAIN", 0, kDcVariableParam},
          Case{"D DX(IS)", 0, kDcVariableModel}, Case{"PARAM", kMsgFormatError, 0}, Case{"TEMP X", kMsgFormatError, 0},
          Case{"D DX", kMsgFormatError, 0}, Case{"D NOPE(IS)", kMsgFormatError, 0},
          Case{"D DX(NOPE)", kMsgUnknownModelParam, 0}, Case{"D DX(IS", kMsgMissingParen, 0},
          Case{"R1", kMsgSourceNotFound, 0}, Case{"V9", kMsgSourceNotFound, 0}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ResolveDcSweepVariable(document_.get(), c.text, run_, 0), c.result);
        EXPECT_EQ(run_.Variables[0].Kind, c.kind);
    }
}

// A sweep of a model parameter rewrites the model at every point through the
// host's set-up: the diode's current follows IS.
TEST_F(DcSweepTest, ModelParameterSweepGoesThroughTheSetUp) {
    Prepare("is sweep\nV1 A 0 0.6\nD1 A 0 DX\n.MODEL DX D(IS=1e-14)\n.END\n");
    host_.node = Node("A");
    host_.branch = Branch("V1");
    Variable(0, "D DX(IS)", kDcMethodList, 0, 0, 0);
    ASSERT_EQ(SetSweepList(run_.Variables[0], {1e-15, 1e-14, 1e-13}), 0);
    ASSERT_EQ(RunDcSweep(state_, run_, host_), 0);
    ASSERT_EQ(host_.points.size(), 3u);
    EXPECT_EQ(host_.setups, 3);
    for (const SweptPoint& p : host_.points)
        EXPECT_NEAR(-p.current, DiodeCurrent(0.6, p.v1, state_.Options.gmin), 1e-3 * DiodeCurrent(0.6, p.v1, 0));
}

// Every point starts from the prediction of the points before it: a transistor
// stage swept through cut-off, active region and saturation takes a few
// iterations per point (predicting from stale history takes five times as many).
TEST_F(DcSweepTest, PointsStartFromThePredictionOfTheLastPoints) {
    Prepare("ce\nVCC C0 0 10\nVB B0 0 0\nRB B0 B 10k\nRC C0 C 1k\nQ1 C B 0 QN\n.MODEL QN NPN(BF=100 IS=1e-15)\n.END\n");
    host_.node = Node("C");
    Variable(0, "VB", kDcMethodLinear, 5.0, 0.0, 0.05);
    ASSERT_EQ(RunDcSweep(state_, run_, host_), 0);
    ASSERT_EQ(host_.points.size(), 101u);
    EXPECT_EQ(run_.SkippedPoints, 0);
    EXPECT_LT(run_.TotalIterations, 4 * 101);
    EXPECT_NEAR(host_.points.front().y, 10.0, 1e-6);  // cut off
    EXPECT_LT(host_.points.back().y, 0.3);            // saturated
}

TEST(DcSweepVariables, RangesDefaultClampAndCount) {
    struct Case {
        int method, index;
        double end, start, step;
        double expectStep;
        int points;  // values a pass visits
    };
    const Case cases[] = {
        {kDcMethodLinear, 0, 10, 0, 0.5, 0.5, 21},  // the default range
        {kDcMethodLinear, 0, 10, 0, 0, 0.2, 51},    // default step 2 %
        {kDcMethodLinear, 1, 10, 0, 0, 1.0, 11},    // variable 2: 10 %
        {kDcMethodLinear, 0, 0, 10, 3, -3, 5},      // downward, ends exactly at the end
        {kDcMethodLinear, 0, 1, 0, 5, 1, 2},        // a step beyond the range is the range
        {kDcMethodLog, 0, 1000, 1, 0, std::pow(2.7182818284, 0.1 * std::log(1000.0)), 11},
        {kDcMethodLog, 0, 1, 1000, 10, 0.1, 4},  // a factor pointing away is turned round
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.method << " " << c.end << "," << c.start << "," << c.step);
        DcSweepVariable v;
        v.Method = c.method;
        ASSERT_EQ(SetSweepRange(v, c.index, c.end, c.start, c.step), 0);
        EXPECT_NEAR(v.Step, c.expectStep, 1e-12);
        ASSERT_EQ(CheckSweepRange(v), 0);
        StartSweepVariable(v);
        std::vector<double> values;
        do {
            AdvanceSweepVariable(v);
            ClampSweepToEnd(v);
            values.push_back(v.Value);
        } while (HasMoreSweepPoints(v) && values.size() < 100);
        EXPECT_EQ(static_cast<int>(values.size()), c.points);
        EXPECT_NEAR(values.front(), c.start, 1e-12 * std::fabs(c.start));
        EXPECT_NEAR(values.back(), c.end, 1e-9 * std::fabs(c.end));
    }
    struct Bad {
        double end, start, step;
        int result;
    };
    for (const Bad& b : {Bad{10, 0, 2, kMsgDcLogZeroEnd}, Bad{10, 1, 1, kMsgDcLogBadStep},
                         Bad{10, 1, -2, kMsgDcLogBadStep}, Bad{10, -1, 2, kMsgDcLogSameSign}}) {
        DcSweepVariable v;
        v.Method = kDcMethodLog;
        EXPECT_EQ(SetSweepRange(v, 0, b.end, b.start, b.step), b.result) << b.start << " " << b.step;
    }
}

}  // namespace
