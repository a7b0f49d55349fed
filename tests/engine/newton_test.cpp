// The Newton iteration, source stepping, the analysis matrix set-up and the
// convergence report on compiled decks: a resistive divider converges at the
// third load after two solves, a device that never converges walks the source
// scale down to 0.390625 % and is reported, an all-zero column stops the
// iteration as a singular matrix, and a stop key ends it.
#include <cfenv>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/convreport.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "engine/sourcestep.h"
#include "engine/sparse.h"
#include "expr/runstate.h"
#include "shell/preferences.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// Counts the keyboard polls (one before the first iteration and one after
// each solve) and can press Esc after a number of polls.
class RecordingContext : public IterationHost {
public:
    void PollRunKeys(SimulatorState& state, int) override {
        if (++polls == escAtPoll) state.LastRunKey = 27;
    }
    void ShowStatus(const char* text) override { status.push_back(text); }
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        ++eventPasses;
        changed = eventsChange;
        return 0;
    }
    int eventPasses = 0;
    bool eventsChange = false;
    int polls = 0;
    int escAtPoll = -1;
    std::vector<std::string> status;
};

// A device of the diode row that counts its loads, notes the source scale of
// each Newton call's first load and reports non-convergence while told to.
class ProbeDevice : public DeviceKindLoads {
public:
    int Reserve(SimulatorState&) override { return reserveResult; }
    int Load(SimulatorState& state) override {
        ++loads;
        if (state.IterationCount == 0) scales.push_back(state.SourceScale);
        if (state.IterationCount >= 1) state.Rhs[2] += drift * state.IterationCount;
        if (fails(state)) {
            ++state.NonConvergedCount;
            RecordFailure(state.Failures, failingDevice, kFailureResistor, 42.0, state.Time);
        }
        return 0;
    }
    int reserveResult = 0;
    double drift = 0.0;  // a current into node 2 that grows with each iteration
    int loads = 0;
    std::vector<double> scales;
    bool (*fails)(const SimulatorState&) = [](const SimulatorState&) { return false; };
    const DeviceRecord* failingDevice = nullptr;
};

class NewtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(2);
        InstallDeviceKindLoads(kRowDiodes, &probe_);
    }
    void TearDown() override {
        InstallDeviceKindLoads(kRowDiodes, nullptr);
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

    // Compiles the deck, attaches the state and builds the DC matrix for an
    // operating point (the set-up at temperature is not part of these tests:
    // the temperature factors are 1).
    int Build(const std::string& text) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return -1;
        for (PoolItem* item = compiled_->devices[kListResistors].pool.first; item; item = item->next)
            static_cast<ResistorRecord*>(item)->temperatureFactor = 1.0;
        for (PoolItem* item = compiled_->devices[kListCapacitors].pool.first; item; item = item->next) {
            static_cast<CapacitorRecord*>(item)->temperatureFactor = 1.0;
            static_cast<CapacitorRecord*>(item)->constantCapacitance = 1;
        }
        for (PoolItem* item = compiled_->devices[kListInductors].pool.first; item; item = item->next)
            static_cast<InductorRecord*>(item)->temperatureFactor = 1.0;
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        const int result = BuildAnalysisMatrix(state_, &context_, true, state_.DcPair);
        state_.MatrixBuilt = 1;
        state_.AnalysisPhase = kPhaseDc;
        state_.LoadAnalysis = kLoadOperatingPoint;
        state_.OperatingPointActive = 1;
        state_.IterationMode = kModeInitJunction;
        probe_.loads = 0;
        context_.polls = 0;
        return result;
    }

    DeviceRecord* FirstResistor() { return static_cast<DeviceRecord*>(compiled_->devices[kListResistors].pool.first); }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    CompiledCircuit* compiled_ = nullptr;
    SimulatorState state_;
    ProbeDevice probe_;
    RecordingContext context_;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};

const char* const kDivider = "Divider\nV1 1 0 10\nR1 1 2 1K\nR2 2 0 1K\n.END\n";

TEST_F(NewtonTest, DividerConvergesAtTheThirdLoadAfterTwoSolves) {
    ASSERT_EQ(Build(kDivider), 0);
    EXPECT_EQ(NewtonIterate(state_, &context_, state_.Options.itl1, state_.Options.gmin), 0);
    EXPECT_EQ(probe_.loads, 3);
    EXPECT_EQ(state_.IterationCount, 3);
    EXPECT_EQ(context_.polls, 3);  // before the first load and after each of two solves
    EXPECT_EQ(state_.IterationMode, kModeFloat);
    EXPECT_NEAR(state_.Solution[1], 10.0, 1e-9);
    EXPECT_NEAR(state_.Solution[2], 5.0, 1e-9);
    EXPECT_NEAR(state_.Solution[3], -0.005, 1e-12);  // the source's branch current
    EXPECT_EQ(state_.Solution[0], 0.0);
    ASSERT_FALSE(context_.status.empty());
    EXPECT_EQ(context_.status.front(), "Operating point, iteration 0");

    // A transient point started from a prediction converges at the second load.
    state_.AnalysisPhase = kPhaseTransient;
    state_.LoadAnalysis = kLoadTransient;
    state_.OperatingPointActive = 0;
    state_.IterationMode = kModeInitPredictor;
    probe_.loads = 0;
    EXPECT_EQ(NewtonIterate(state_, &context_, state_.Options.itl4, state_.Options.gmin), 0);
    EXPECT_EQ(probe_.loads, 2);
}

TEST_F(NewtonTest, AFloatingPointStatusLeftByEarlierWorkIsNotTheLoadsFault) {
    ASSERT_EQ(Build(kDivider), 0);
    std::feraiseexcept(FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_EQ(LoadAllDevices(state_, &context_), 0);
    std::feraiseexcept(FE_INVALID);
    EXPECT_EQ(NewtonIterate(state_, &context_, state_.Options.itl1, state_.Options.gmin), 0);
    EXPECT_NEAR(state_.Solution[2], 5.0, 1e-9);
}

TEST_F(NewtonTest, OperatingPointOfAnRlcDeckOpensCapacitorsAndShortsInductors) {
    ASSERT_EQ(Build("RLC\nV1 1 0 10\nR1 1 2 1K\nL1 2 3 1M\nR2 3 0 1K\nC1 3 0 1U\nI1 0 3 1M\n.END\n"), 0);
    EXPECT_EQ(NewtonIterate(state_, &context_, state_.Options.itl1, state_.Options.gmin), 0);
    const int32_t inductorBranch = static_cast<InductorRecord*>(compiled_->devices[kListInductors].pool.first)->branch;
    // 10 V over 2 kOhm with 1 mA injected into node 3: V(3) = 5.5 V.
    EXPECT_NEAR(state_.Solution[2], 5.5, 1e-9);
    EXPECT_NEAR(state_.Solution[3], 5.5, 1e-9);
    EXPECT_NEAR(state_.Solution[inductorBranch], 4.5e-3, 1e-12);
    // Expressions read the iterate, and no iteration runs any more.
    EXPECT_EQ(gSolver.RealSolution, state_.Solution.data());
    EXPECT_EQ(gSolver.SolverIterating, 0);
}

TEST_F(NewtonTest, DigitalEventsAtATransientPointShortenTheStep) {
    ASSERT_EQ(Build(kDivider), 0);
    state_.AnalysisPhase = kPhaseTransient;
    state_.LoadAnalysis = kLoadTransient;
    state_.OperatingPointActive = 0;
    state_.IterationMode = kModeInitPredictor;
    state_.Time = 2e-9;
    state_.PreviousTime = 1.5e-9;
    state_.Formula.TimeStep = 1e-9;
    state_.Formula.PreviousSteps[0] = 1e-9;
    state_.Formula.PreviousSteps[1] = 1e-9;

    // Events that change nothing: the analog iteration is skipped.
    state_.StepKind = kStepDigitalDue;
    EXPECT_EQ(NewtonIterate(state_, &context_, 10, state_.Options.gmin), 0);
    EXPECT_EQ(context_.eventPasses, 1);
    EXPECT_EQ(probe_.loads, 0);

    // Events that change an input: the step is cut to them and solved again.
    context_.eventsChange = true;
    EXPECT_EQ(NewtonIterate(state_, &context_, 10, state_.Options.gmin), 0);
    EXPECT_EQ(state_.StepKind, kStepDigitalDone);
    EXPECT_DOUBLE_EQ(state_.Formula.TimeStep, 0.5e-9);
    EXPECT_EQ(probe_.loads, 2);

    // Without a digital kernel the events cannot be processed.
    state_.StepKind = kStepDigitalDue;
    EXPECT_EQ(NewtonIterate(state_, nullptr, 10, state_.Options.gmin), kResultNotBuilt);
    EXPECT_EQ(gSolver.SolverIterating, 0);
}

TEST_F(NewtonTest, CircuitWithoutNodesBuildsNoMatrix) {
    document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), "Empty\nR1 0 0 1K\n.END\n");
    ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
    compiled_ = FindCompiledCircuit(document_.get());
    ASSERT_NE(compiled_, nullptr);
    ASSERT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
    state_.OperatingPointActive = 1;
    EXPECT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair), 0);
    EXPECT_EQ(state_.OperatingPointActive, 0);
    EXPECT_EQ(state_.DcPair.matrix, nullptr);
    EXPECT_EQ(state_.Installed, &state_.DcPair);
}

TEST_F(NewtonTest, IterationLimitsAndStops) {
    ASSERT_EQ(Build(kDivider), 0);
    // A limit of one in the DC phase: one load, no solve.
    EXPECT_EQ(NewtonIterate(state_, &context_, 1, state_.Options.gmin), kResultNotConverged);
    EXPECT_EQ(probe_.loads, 1);
    EXPECT_EQ(state_.IterationLimitReached, 1);
    EXPECT_EQ(state_.Solution[2], 0.0);

    // At a transient point the limit returns 0 with the flag for the caller.
    state_.AnalysisPhase = kPhaseTransient;
    state_.IterationMode = kModeInitPredictor;
    probe_.fails = [](const SimulatorState&) { return true; };
    EXPECT_EQ(NewtonIterate(state_, &context_, 4, state_.Options.gmin), 0);
    EXPECT_EQ(state_.IterationLimitReached, 1);

    // Esc after the first solve ends the operating point.
    state_.AnalysisPhase = kPhaseDc;
    state_.IterationMode = kModeInitJunction;
    context_.polls = 0;
    context_.escAtPoll = 2;
    EXPECT_EQ(NewtonIterate(state_, &context_, 100, state_.Options.gmin), kResultStopped);
    EXPECT_EQ(state_.StopRequested, 1);
}

TEST_F(NewtonTest, NodeThatMovesBeyondToleranceKeepsIterating) {
    ASSERT_EQ(Build(kDivider), 0);
    // Every device converges, but a drifting current moves node 2 at each
    // solve: the node test keeps the iteration going and names the node.
    probe_.drift = 1e-3;
    EXPECT_EQ(NewtonIterate(state_, &context_, 3, state_.Options.gmin), kResultNotConverged);
    ASSERT_EQ(state_.Failures.count, 1);
    EXPECT_EQ(state_.Failures.records[0].kind, kFailureNode);
    EXPECT_EQ(state_.Failures.records[0].node, 2);
    EXPECT_EQ(FormatConvergenceFailure(state_, document_.get(), state_.Failures.records[0]),
              "Failed On node 2 5.500000e+00\n");
}

TEST_F(NewtonTest, NeverConvergingDeviceWalksSourceSteppingDownAndIsReported) {
    ASSERT_EQ(Build(kDivider), 0);
    probe_.fails = [](const SimulatorState&) { return true; };
    probe_.failingDevice = FirstResistor();
    ASSERT_EQ(NewtonIterate(state_, &context_, state_.Options.itl1, state_.Options.gmin), kResultNotConverged);
    probe_.scales.clear();
    EXPECT_EQ(SourceStepping(state_, &context_, state_.Options.itl1), kResultNotConverged);
    EXPECT_EQ(probe_.scales, (std::vector<double>{0.03125, 0.015625, 0.0078125, 0.00390625}));
    EXPECT_EQ(state_.SourceScale, 1.0);
    EXPECT_EQ(state_.IterationMode, kModeInitJunction);
    EXPECT_EQ(state_.IterationLimitReached, 1);
    EXPECT_EQ(state_.SourceSteppingActive, 1);

    const std::string path = dir_.File("deck.num");
    TextFile numeric;
    ASSERT_EQ(numeric.OpenInMode(path.c_str(), "w"), 0);
    ReportConvergenceFailures(state_, document_.get(), nullptr, &numeric);
    numeric.Close();
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(),
              "At Time= 0 the following devices failed to converge.\r\n"
              "Resistor R1 Value=4.200000e+01\r\n");

    // Without an open output nothing is written and nothing fails.
    ReportConvergenceFailures(state_, document_.get(), nullptr, nullptr);
}

TEST_F(NewtonTest, SourceSteppingGrowsBackToFullSources) {
    ASSERT_EQ(Build(kDivider), 0);
    // Fails at full scale until stepping has found a scaled solution.
    probe_.fails = [](const SimulatorState& state) { return !state.SourceSteppingActive; };
    ASSERT_EQ(NewtonIterate(state_, &context_, state_.Options.itl1, state_.Options.gmin), kResultNotConverged);
    probe_.scales.clear();
    EXPECT_EQ(SourceStepping(state_, &context_, state_.Options.itl1), 0);
    EXPECT_EQ(probe_.scales, (std::vector<double>{0.03125, 0.0625, 0.125, 0.25, 0.5, 1.0, 1.0}));
    EXPECT_NEAR(state_.Solution[2], 5.0, 1e-9);
    EXPECT_EQ(state_.SourceScale, 1.0);
    EXPECT_EQ(state_.IterationMode, kModeInitJunction);

    // After a singular matrix (no iteration limit) growth starts at 6.25 %.
    state_.IterationLimitReached = 0;
    probe_.scales.clear();
    EXPECT_EQ(SourceStepping(state_, &context_, state_.Options.itl1), 0);
    EXPECT_EQ(probe_.scales, (std::vector<double>{0.125, 0.25, 0.5, 1.0, 1.0}));
}

TEST_F(NewtonTest, FailedGrowthStepReturnsToTheLastGoodSolution) {
    ASSERT_EQ(Build(kDivider), 0);
    // Every step above a quarter fails: the factor shrinks until it
    // collapses, each retry starting from the solution at 25 %.
    probe_.fails = [](const SimulatorState& state) { return state.SourceScale > 0.25; };
    state_.IterationLimitReached = 0;
    EXPECT_EQ(SourceStepping(state_, &context_, 5), kResultNotConverged);
    EXPECT_NEAR(state_.Solution[2], 1.25, 1e-9);  // the divider at 25 %
    EXPECT_EQ(state_.SourceScale, 1.0);
}

// An all-zero column in the matrix a device stamps.
class ZeroColumnDevice : public DeviceKindLoads {
public:
    int Reserve(SimulatorState& state) override {
        for (auto [r, c] : {std::pair{1, 1}, {1, 2}, {2, 1}})
            if (int result = ReserveEntry(*state.Entries(), r, c)) return result;
        return 0;
    }
    int Load(SimulatorState& state) override {
        state.Cursor.Stamp(1.0);
        state.Cursor.Stamp(0.0);
        state.Cursor.Stamp(1.0);
        state.Rhs[1] = 1.0;
        return 0;
    }
};

TEST(NewtonMatrixTest, AllZeroColumnIsSingularWithItsPosition) {
    ZeroColumnDevice device;
    InstallDeviceKindLoads(kRowDiodes, &device);
    SimulatorState state;
    state.MatrixSize = 2;
    state.NodeCount = 2;
    for (std::vector<double>* vector : {&state.Solution, &state.PreviousSolution, &state.Rhs}) vector->assign(3, 0.0);
    ASSERT_EQ(SparseMatrix::Create(state.DcPair.matrix), 0);
    state.DcPair.entries.matrix = state.DcPair.matrix.get();
    state.Installed = &state.DcPair;
    state.AnalysisPhase = kPhaseDc;
    state.OperatingPointActive = 1;
    state.IterationMode = kModeInitJunction;
    EXPECT_EQ(NewtonIterate(state, nullptr, 100, 1e-12), kResultSingular);
    EXPECT_EQ(state.Matrix()->SingularCol, 2);
    EXPECT_NE(state.Matrix()->SingularRow, 0);
    EXPECT_EQ(state.Solution[0], 0.0);
    InstallDeviceKindLoads(kRowDiodes, nullptr);
}

TEST_F(NewtonTest, FailedFirstLoadKeepsTheNewMatrixInItsPair) {
    probe_.reserveResult = kResultNoMemory;
    EXPECT_EQ(Build(kDivider), kResultNoMemory);
    EXPECT_NE(state_.DcPair.matrix, nullptr);
    EXPECT_EQ(state_.Installed, &state_.DcPair);
    FreeAnalysisMatrices(state_);
    EXPECT_EQ(state_.DcPair.matrix, nullptr);
    EXPECT_EQ(state_.Installed, nullptr);
}

TEST_F(NewtonTest, RowWithoutLoadsFailsLoudly) {
    InstallDeviceKindLoads(kRowDiodes, nullptr);
    ASSERT_EQ(Build(kDivider), 0);
    // A circuit with devices of a row nobody loads cannot be simulated.
    DeviceListScope scope(compiled_->devices);
    state_.MatrixBuilt = 0;
    ObjectPool& timers = compiled_->devices[kListTimers].pool;
    ++timers.count;  // as if the circuit had a timer
    EXPECT_EQ(LoadAllDevices(state_, nullptr), kResultNotBuilt);
    --timers.count;
}

}  // namespace
