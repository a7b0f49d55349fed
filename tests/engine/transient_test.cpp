// The transient run on compiled decks: pulse corners land on accepted points,
// an RC step follows its exponential, the operating point falls back to Gmin
// stepping, Operating Point Only stores its two points, a circuit without
// storage steps at the point spacing, and a step that shrinks to nothing ends
// the run. The breakpoint list's merge window and step clipping come first.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/breakpoints.h"
#include "engine/setup.h"
#include "engine/transient.h"
#include "expr/runstate.h"
#include "shell/preferences.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// ---- the breakpoint list ------------------------------------------------------------------

std::vector<uint32_t> Times(const BreakpointList& list) {
    std::vector<uint32_t> times;
    for (const BreakpointEvent& e : list.All()) times.push_back(e.time);
    return times;
}

TEST(BreakpointListTest, NeighboursWithinTenTicksMerge) {
    struct Case {
        uint32_t second;
        std::vector<uint32_t> stored;
    };
    const Case cases[] = {
        {1010, {1000}}, {1011, {1000, 1011}}, {990, {1000}}, {989, {989, 1000}}, {1000, {1000}},
    };
    for (const Case& c : cases) {
        BreakpointList list;
        ASSERT_EQ(list.Add(1000, 0, 0, kBreakAnalog), 0);
        ASSERT_EQ(list.Add(c.second, 0, 0, kBreakExpression), 0);
        EXPECT_EQ(Times(list), c.stored) << c.second;
    }
    // The start of the run is kept whatever lies near it; nothing before it
    // or beyond the limit is stored.
    BreakpointList list;
    list.StartTick = 100;
    ASSERT_EQ(list.Add(105, 0, 0, kBreakAnalog), 0);
    ASSERT_EQ(list.Add(100, 0, 0, kBreakAnalog), 0);
    ASSERT_EQ(list.Add(99, 0, 0, kBreakAnalog), 0);
    ASSERT_EQ(list.Add(kTickLimit + 1, 0, 0, kBreakAnalog), 0);
    EXPECT_EQ(Times(list), (std::vector<uint32_t>{100, 105}));
}

TEST(BreakpointListTest, DigitalEventsJoinNearbyRecords) {
    BreakpointList list;
    ASSERT_EQ(list.Add(1000, 0, 0, kBreakAnalog), 0);
    ASSERT_EQ(list.Add(5000, 0, 0, kBreakAnalog), 0);
    // 5 ticks after a breakpoint: a new record at its time, right after it;
    // the breakpoint becomes a digital record with no node of its own.
    ASSERT_EQ(list.Add(1005, 63, 1, kBreakDigital, 7, 2, 3), 0);
    ASSERT_EQ(list.Count(), 3u);
    auto it = list.All().begin();
    EXPECT_EQ(it->time, 1000u);
    EXPECT_EQ(it->kind, kBreakDigital);
    EXPECT_EQ(it->node, 0);
    ++it;
    EXPECT_EQ(it->time, 1000u);
    EXPECT_EQ(it->node, 7);
    EXPECT_EQ(it->levelA, 63);
    // The same node and driver at the same tick only changes the new state.
    ASSERT_EQ(list.Add(1000, 0, 0, kBreakDigital, 7, 2, 9), 0);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(std::next(list.All().begin())->newState, 9);
    // 8 ticks before a later record (and far from the earlier one): moved onto it.
    ASSERT_EQ(list.Add(4992, 0, 0, kBreakDigital, 8, 1, 1), 0);
    EXPECT_EQ(Times(list), (std::vector<uint32_t>{1000, 1000, 5000, 5000}));
    EXPECT_EQ(list.All().back().kind, kBreakDigital);
    list.RemoveFirst();
    EXPECT_EQ(list.Count(), 3u);
}

TEST(BreakpointListTest, StepsStretchOrShrinkOntoTheNextBreakpoint) {
    struct Case {
        double step;     // proposed step, the breakpoint lies 1 ns ahead
        double clipped;  // the step afterwards
        bool reached;
    };
    const Case cases[] = {
        {0.995e-9, 1e-9, true},     // 0.5 % short: stretched onto it
        {3e-9, 1e-9, true},         // beyond it: cut
        {0.98e-9, 0.98e-9, false},  // 2 % short: left for a later step
        {50e-9, 1e-9, true},        // limited to the maximum step first
    };
    for (const Case& c : cases) {
        SimulatorState state;
        state.Tick = 1e-15;
        state.Time = 2e-9;
        state.MaxTimeStep = 10e-9;
        state.Formula.TimeStep = c.step;
        BreakpointList list;
        ASSERT_EQ(list.Add(3000000, 0, 0, kBreakAnalog), 0);
        ClipStepToBreakpoint(state, list, 1e-20);
        EXPECT_NEAR(state.Formula.TimeStep, c.clipped, 1e-18) << c.step;
        EXPECT_EQ(list.Reached, c.reached) << c.step;
        if (c.reached) {
            EXPECT_EQ(state.CurrentTick, 3000000u);
            EXPECT_NEAR(state.Formula.PreviousSteps[0], 1e-9, 1e-18);
        }
    }
}

TEST(BreakpointListTest, TickConversionsOfHugeTimesStayInRange) {
    EXPECT_EQ(TicksUp(1e300, 1e-15), std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(TicksDown(-1.0, 1e-15), 0u);
    EXPECT_EQ(TicksDown(std::nan(""), 1e-15), 0u);
    // A pulse whose corners lie far beyond the run ends after its first corner.
    BreakpointList list;
    const double pulse[7] = {0, 1, 1e300, 1e300, 1e300, 1e300, 1e300};
    double start = 0.0;
    uint32_t last = 0;
    ASSERT_EQ(AddPulseCorners(list, 1e-15, pulse, start, 0, 0, last), 0);
    EXPECT_GT(last, kEndTick);
    EXPECT_TRUE(list.Empty());
}

// ---- runs on compiled decks -------------------------------------------------------------------

// The sources' values at the present time: the PULSE waveform of the SPICE
// sources (what the device models' owner computes for every waveform).
class PulseSources : public TimeSourceServices {
public:
    int EvaluateTimeSources(SimulatorState& state, double) override {
        ++evaluations;
        for (PoolItem* item = state.Circuit->devices[kListSpiceSources].pool.first; item; item = item->next) {
            auto* s = static_cast<SourceRecord*>(item);
            if (s->functionKind == kFunctionPulse) s->working = Pulse(s->values, state.Time);
        }
        return 0;
    }
    double SourceStepLimit(const SimulatorState&) override { return 1e300; }
    int PrepareListSources(SimulatorState&, double) override { return 0; }
    static double Pulse(const double* v, double t) {
        const double td = v[2], tr = v[3], tf = v[4], pw = v[5], per = v[6];
        if (t < td) return v[0];
        const double x = per > 0 ? std::fmod(t - td, per) : t - td;
        if (x < tr) return v[0] + (v[1] - v[0]) * x / tr;
        if (x < tr + pw) return v[1];
        if (x < tr + pw + tf) return v[1] + (v[0] - v[1]) * (x - tr - pw) / tf;
        return v[0];
    }
    int evaluations = 0;
};

class RecordingHost : public TransientHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState& state, TransientRun&) override {
        times.push_back(state.Time);
        values.push_back(probeNode > 0 ? state.Solution[static_cast<size_t>(probeNode)] : 0.0);
        return 0;
    }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    bool Confirm(int messageId, double) override {
        questions.push_back(messageId);
        return answer;
    }
    bool answer = true;
    int32_t probeNode = 0;
    std::vector<double> times;
    std::vector<double> values;
    std::vector<int> errors;
    std::vector<int> questions;
};

// A device of the diode row that fails to converge at operating points while
// Gmin stepping is off, and on the `failGminCall`th Newton call of the
// stepping; in the time loop it fails while `failTransient` is set.
class StubbornDevice : public DeviceKindLoads {
public:
    int Reserve(SimulatorState&) override { return 0; }
    int Load(SimulatorState& state) override {
        if (state.GminSteppingActive && state.IterationCount == 0) ++gminCalls;
        bool fail = false;
        if (state.AnalysisPhase == kPhaseDc && state.OperatingPointActive &&
            state.IterationMode != kModeInitSmallSignal)
            fail = !state.GminSteppingActive || gminCalls == failGminCall;
        if (state.AnalysisPhase == kPhaseTransient) fail = failTransient;
        if (fail) ++state.NonConvergedCount;
        return 0;
    }
    int gminCalls = 0;
    int failGminCall = -1;
    bool failTransient = false;
};

class TransientTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
        InstallTimeSources(&sources_);
        savedAssist_ = Prefs().convergenceAssist;
        savedGmin_ = Prefs().gminStepping;
        Prefs().convergenceAssist = 0;
        Prefs().gminStepping = 1;
        ClearRunLog();
        run_ = std::make_unique<TransientRun>();
        host_ = RecordingHost();
        stubborn_ = StubbornDevice();
    }
    void TearDown() override {
        InstallTimeSources(nullptr);
        InstallDeviceKindLoads(kRowDiodes, nullptr);
        Prefs().convergenceAssist = savedAssist_;
        Prefs().gminStepping = savedGmin_;
        library_.reset();
        if (document_) {
            ReleaseCompiledCircuit(state_, document_.get());
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }

    // Compiles the deck and attaches the state (temperature factors 1).
    void Compile(const std::string& text) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        ASSERT_NE(compiled_, nullptr);
        for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
            static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
        for (PoolItem* item = compiled_->devices[kListCapacitors].pool.first; item; item = item->next) {
            static_cast<CapacitorRecord*>(item)->temperatureFactor = 1.0;
            static_cast<CapacitorRecord*>(item)->constantCapacitance = 1;
        }
        ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    }

    SourceRecord* FirstSource() { return static_cast<SourceRecord*>(compiled_->devices[kListSpiceSources].pool.first); }

    std::vector<std::string> LogLines(const char* containing) {
        std::vector<std::string> lines;
        const std::string log = RunMessageLog();
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find('\n', start);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(start, end - start);
            if (line.find(containing) != std::string::npos) lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    CompiledCircuit* compiled_ = nullptr;
    SimulatorState state_;
    std::unique_ptr<TransientRun> run_;
    PulseSources sources_;
    RecordingHost host_;
    StubbornDevice stubborn_;
    int32_t savedAssist_ = 1;
    int32_t savedGmin_ = 1;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};

TEST_F(TransientTest, EveryPulseCornerIsAnAcceptedPoint) {
    Compile("RC pulse\nV1 1 0 PULSE(0 1 100n 10n 20n 200n 400n)\nR1 1 2 1K\nC1 2 0 10P\n.END\n");
    host_.probeNode = 2;
    TransientLimits limits;  // 0 to 1 us, 51 points
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    ASSERT_FALSE(host_.times.empty());
    EXPECT_DOUBLE_EQ(host_.times.front(), 0.0);
    EXPECT_NEAR(host_.times.back(), 1e-6, 1e-15);
    std::vector<double> corners;
    for (double start = 100e-9; start < 1e-6; start += 400e-9)
        for (double offset : {0.0, 10e-9, 210e-9, 230e-9})
            if (start + offset <= 1e-6) corners.push_back(start + offset);
    ASSERT_EQ(corners.size(), 10u);
    for (double corner : corners) {
        bool hit = false;
        // Corners are rounded up to whole ticks of 1 fs.
        for (double t : host_.times) hit = hit || std::fabs(t - corner) <= 1.5e-15;
        EXPECT_TRUE(hit) << "no point at " << corner;
    }
    for (size_t i = 1; i < host_.times.size(); ++i) ASSERT_GT(host_.times[i], host_.times[i - 1]);
    // Only the end of the run is left in the list.
    ASSERT_EQ(run_->Breakpoints.Count(), 1u);
    EXPECT_EQ(run_->Breakpoints.Head()->time, kEndTick);
    EXPECT_GT(sources_.evaluations, 0);
    EXPECT_NE(std::string(RunMessageLog()).find("Transient analysis completed."), std::string::npos);
}

TEST_F(TransientTest, PulseWithoutTimingTakesTheRunDefaults) {
    Compile("Pulse defaults\nV1 1 0 PULSE(0 1)\nR1 1 0 1K\nV2 2 0 PULSE(0 1 0 30n 40n 50n 10n)\nR2 2 0 1K\n.END\n");
    TransientLimits limits;
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    const SourceRecord* first = FirstSource();
    const SourceRecord* second = static_cast<const SourceRecord*>(first->next);
    for (int k : {2, 3, 4}) EXPECT_NEAR(first->values[k], 20e-9, 1e-20) << k;
    EXPECT_DOUBLE_EQ(first->values[5], 1e-6);
    EXPECT_NEAR(first->values[6], 1.04e-6, 1e-18);  // at least rise, width and fall
    // A period shorter than rise, width and fall is raised to their sum.
    EXPECT_NEAR(second->values[6], 120e-9, 1e-20);
}

TEST_F(TransientTest, RcStepFollowsItsExponential) {
    // No operating point: the capacitor starts empty and charges through 1k
    // (time constant 100 ns, at most 10 steps per time constant).
    Compile("RC step\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 100P\n.END\n");
    host_.probeNode = 2;
    TransientLimits limits;
    limits.optionFlags = 0;
    limits.maxTimeStep = 10e-9;
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    ASSERT_GT(host_.times.size(), 10u);
    double worst = 0.0;
    for (size_t i = 0; i < host_.times.size(); ++i) {
        const double expected = 1.0 - std::exp(-host_.times[i] / 100e-9);
        worst = std::max(worst, std::fabs(host_.values[i] - expected));
    }
    EXPECT_LT(worst, 1e-3);
    EXPECT_NEAR(host_.times.back(), 1e-6, 1e-15);
    EXPECT_NEAR(host_.values.back(), 1.0 - std::exp(-10.0), 1e-3);
}

TEST_F(TransientTest, GminSteppingRetriesWithTenSteps) {
    Compile("Stubborn\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\n.OPTIONS GMIN=1p\n.END\n");
    stubborn_.failGminCall = 2;  // the second solve of the five-step sweep fails
    InstallDeviceKindLoads(kRowDiodes, &stubborn_);
    TransientLimits limits;
    limits.optionFlags = kTransientOperatingPointOnly;
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    EXPECT_EQ(run_->GminSolves, 13);  // 2 of the first sweep, 11 of the second
    std::vector<double> converged;
    for (const std::string& line : LogLines("converged.")) {
        double g = 0, gmin = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), " Phase 0: Gmin=%lg converged. %lg", &g, &gmin), 2) << line;
        EXPECT_DOUBLE_EQ(gmin, 1e-12);
        converged.push_back(g);
    }
    const std::vector<double> expected = {1e-2, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12};
    ASSERT_EQ(converged.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(converged[i], expected[i], expected[i] * 1e-5) << i;
    EXPECT_EQ(LogLines("Gmin=0.0001 failed.").size(), 1u);
    EXPECT_EQ(LogLines("Trying 5 steps in Gmin.").size(), 1u);
    EXPECT_EQ(LogLines("Trying 10 steps in Gmin.").size(), 1u);
    EXPECT_EQ(LogLines("Gmin stepping succeeded.").size(), 1u);
    EXPECT_NEAR(state_.Solution[2], 5.0, 1e-6);
}

TEST_F(TransientTest, GminSteppingIsAnnouncedOnlyWhenItRuns) {
    struct Case {
        bool stubborn;
        int gminPreference;
        size_t announced;
        int result;
    };
    const Case cases[] = {{false, 1, 0, 0}, {true, 0, 0, 15055}, {true, 1, 1, 0}};
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        Prefs().gminStepping = c.gminPreference;
        Compile("Divider\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\n.END\n");
        if (c.stubborn) InstallDeviceKindLoads(kRowDiodes, &stubborn_);
        TransientLimits limits;
        limits.optionFlags = kTransientOperatingPointOnly;
        const int result = RunTransient(state_, *run_, limits, host_);
        EXPECT_EQ(LogLines("Trying Gmin stepping.").size(), c.announced) << c.stubborn << c.gminPreference;
        if (c.result == 0) {
            EXPECT_EQ(result, 0);
        } else {
            // Without Gmin stepping the failed point starts the time loop from zero.
            EXPECT_EQ(LogLines("Operating point failed. Trying transient analysis").size(), 1u);
        }
    }
}

TEST_F(TransientTest, ConvergenceAssistRestartsTwiceThenStartsFromZero) {
    Prefs().convergenceAssist = 1;
    Prefs().gminStepping = 0;
    Compile("Divider\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\nC1 2 0 1N\n.END\n");
    InstallDeviceKindLoads(kRowDiodes, &stubborn_);
    host_.probeNode = 2;
    const double gmin = state_.Options.gmin;
    ASSERT_EQ(RunTransient(state_, *run_, TransientLimits{}, host_), 0);
    for (const char* line : {"Phase 0: Operating point", "Phase 1: Operating point", "Phase 2: Operating point",
                             "Phase 3: Operating point failed. Trying transient analysis with zero initial"})
        EXPECT_EQ(LogLines(line).size(), 1u) << line;
    EXPECT_EQ(run_->RelaxLevel, 2);
    EXPECT_EQ(state_.Options.itl1, 250);
    EXPECT_EQ(state_.Options.gmin, 1e-9);
    EXPECT_NE(gmin, 1e-9);
    // The time loop then charged the capacitor from zero towards 5 V.
    ASSERT_FALSE(host_.times.empty());
    EXPECT_NEAR(host_.times.back(), 1e-6, 1e-15);
    EXPECT_NEAR(host_.values.back(), 5.0 * (1.0 - std::exp(-1e-6 / 500e-9)), 5e-3);
}

TEST_F(TransientTest, OperatingPointOnlyStoresTwoPointsAtTheStart) {
    Compile("Divider\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\nC1 2 0 1N\n.END\n");
    host_.probeNode = 2;
    TransientLimits limits;
    limits.tmin = 200e-9;
    limits.optionFlags = kTransientOperatingPointOnly;
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    EXPECT_EQ(host_.times, (std::vector<double>{200e-9, 200e-9}));
    EXPECT_NEAR(host_.values[0], 5.0, 1e-9);
    EXPECT_EQ(LogLines("Transient analysis completed.").size(), 1u);
    EXPECT_TRUE(LogLines("Starting transient analysis.").empty());
}

TEST_F(TransientTest, CircuitWithoutStorageStepsAtThePointSpacing) {
    Compile("Divider\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\n.END\n");
    TransientLimits limits;
    limits.maxTimeStep = 100e-9;  // larger than the 20 ns spacing
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    EXPECT_NEAR(state_.MaxTimeStep, 20e-9, 1e-20);
    ASSERT_GT(host_.times.size(), 20u);
    EXPECT_NEAR(host_.times.back(), 1e-6, 1e-15);
    // The steps double from the first small one up to the spacing, never beyond.
    int atSpacing = 0;
    for (size_t i = 1; i < host_.times.size(); ++i) {
        const double step = host_.times[i] - host_.times[i - 1];
        EXPECT_LE(step, 20e-9 * (1 + 1e-9));
        if (std::fabs(step - 20e-9) < 1e-15) ++atSpacing;
    }
    EXPECT_NEAR(host_.times[1], 0.2e-9, 1e-18);
    EXPECT_GE(atSpacing, 47);
}

TEST_F(TransientTest, RetraceRunsContinueWhereThePreviousEnded) {
    // Time constant 1 us: each run of 1 us carries the charge on to the next.
    Compile("RC step\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 1N\n.END\n");
    host_.probeNode = 2;
    TransientLimits limits;
    limits.maxTimeStep = 10e-9;
    limits.stateVariables = kStatesRetrace;
    limits.optionFlags = 0;
    for (int k = 0; k < 3; ++k) {
        host_.times.clear();
        host_.values.clear();
        ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0) << k;
        ASSERT_FALSE(host_.times.empty());
        EXPECT_GE(host_.times.front(), k * 1e-6) << k;
        EXPECT_LT(host_.times.front(), k * 1e-6 + 1e-8) << k;
        EXPECT_NEAR(host_.times.back(), (k + 1) * 1e-6, 1e-14) << k;
        for (size_t i = 0; i < host_.times.size(); ++i)
            ASSERT_NEAR(host_.values[i], 1.0 - std::exp(-host_.times[i] / 1e-6), 1e-3) << k << " " << i;
    }
    EXPECT_EQ(run_->RunCount, 3);
}

TEST_F(TransientTest, StepTooSmallEndsTheRun) {
    struct Case {
        int assist;
        int restarts;  // "Restarting at T=0" lines
    };
    for (const Case& c : {Case{0, 0}, Case{1, 1}}) {
        TearDown();
        SetUp();
        Prefs().convergenceAssist = c.assist;
        Compile("RC\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 1N\n.END\n");
        stubborn_.failTransient = true;
        InstallDeviceKindLoads(kRowDiodes, &stubborn_);
        TransientLimits limits;
        EXPECT_EQ(RunTransient(state_, *run_, limits, host_), 15055);
        EXPECT_EQ(host_.errors, (std::vector<int>{13542}));
        EXPECT_EQ(LogLines("Restarting at T=0.").size(), static_cast<size_t>(c.restarts));
        EXPECT_EQ(LogLines("time step too small error").size(), 1u);
        EXPECT_EQ(run_->OptionsRelaxed, c.assist);
        if (c.assist) {
            EXPECT_EQ(state_.Options.itl4, 50);
        }
    }
}

TEST_F(TransientTest, IllegalTimeRangeIsReported) {
    Compile("Divider\nV1 1 0 10\nR1 1 0 1K\n.END\n");
    struct Case {
        double tmax, tmin;
    };
    for (const Case& c : {Case{0, 0}, Case{1e-6, 1e-6}, Case{1e-6, -1e-9}, Case{std::nan(""), 0}}) {
        host_.errors.clear();
        TransientLimits limits;
        limits.tmax = c.tmax;
        limits.tmin = c.tmin;
        EXPECT_EQ(RunTransient(state_, *run_, limits, host_), 15055);
        EXPECT_EQ(host_.errors, (std::vector<int>{13545}));
    }
    // A waveform source without an owner of the waveforms cannot run.
    TearDown();
    SetUp();
    InstallTimeSources(nullptr);
    Compile("Pulse\nV1 1 0 PULSE(0 1)\nR1 1 0 1K\n.END\n");
    EXPECT_EQ(RunTransient(state_, *run_, TransientLimits{}, host_), 15090);
}

TEST_F(TransientTest, MaximumStepsThatAreNoNumbersCountAsNotGiven) {
    Compile("RC\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 100P\n.END\n");
    TransientLimits limits;
    limits.maxTimeStep = std::numeric_limits<double>::infinity();
    limits.optionMaxTimeStep = std::nan("");
    ASSERT_EQ(RunTransient(state_, *run_, limits, host_), 0);
    EXPECT_NEAR(state_.MaxTimeStep, 20e-9, 1e-20);
    ASSERT_FALSE(host_.times.empty());
    EXPECT_NEAR(host_.times.back(), 1e-6, 1e-15);
}

TEST_F(TransientTest, RunsOfTooManyStepsOrPeriodsAskFirst) {
    Compile("Pulse\nV1 1 0 PULSE(0 1 0 0 0 0 1E-30)\nR1 1 2 1K\nC1 2 0 1P\n.END\n");
    // 1e30 steps: declined, nothing runs.
    host_.answer = false;
    TransientLimits limits;
    limits.tmax = 1.0;
    limits.maxTimeStep = 1e-30;
    EXPECT_EQ(RunTransient(state_, *run_, limits, host_), 15056);
    EXPECT_EQ(host_.questions, (std::vector<int>{13546}));
    EXPECT_TRUE(host_.times.empty());
    EXPECT_EQ(sources_.evaluations, 0);

    // A pulse of 1e24 periods: asked once; with Yes its corners still end
    // (one period's worth: shorter periods cannot be told apart in ticks).
    host_.questions.clear();
    host_.answer = true;
    state_.Tick = 1e-15;
    run_->Tmax = run_->TimeRange = 1e-6;
    run_->PointSpacing = 20e-9;
    EXPECT_EQ(SetupTransientBreakpoints(state_, *run_, host_), 0);
    EXPECT_EQ(host_.questions, (std::vector<int>{13544}));
    // (breakpoints at the start tick are never merged: the start and four corners)
    EXPECT_EQ(Times(run_->Breakpoints), (std::vector<uint32_t>{0, 0, 0, 0, 0, kEndTick}));
    // Declined: the run stops without a message.
    host_.answer = false;
    EXPECT_EQ(SetupTransientBreakpoints(state_, *run_, host_), 15056);
    EXPECT_TRUE(host_.errors.empty());
}

TEST(TimePointHistoryTest, SizedFromTheRunRangeAndGrows) {
    TransientRun run;
    run.Tmin = 0.9e-3;
    run.Tmax = 1e-3;
    run.TimeRange = 0.1e-3;
    ASSERT_EQ(StartTimePointHistory(run, 1e-6, 0.5e-6), 0);
    EXPECT_EQ(run.TimePointHistory.capacity(), 101u);
    EXPECT_EQ(run.TimePointIndex, -1);
    for (int i = 0; i < 150; ++i) ASSERT_EQ(NoteTimePoint(run, run.Tmin + i * 0.5e-6), 0);
    EXPECT_EQ(run.TimePointIndex, 149);
    EXPECT_DOUBLE_EQ(run.TimePointHistory[149], run.Tmin + 149 * 0.5e-6);
    // Spacing and step both 0: one second per point, never a division by 0.
    ASSERT_EQ(StartTimePointHistory(run, 0.0, 0.0), 0);
    EXPECT_EQ(run.TimePointSpacing, 1.0);
}

}  // namespace
