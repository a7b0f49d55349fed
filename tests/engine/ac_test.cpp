// The AC run's frequency sweeps and range checks, and the recording of complex
// stamps: the reserve pass makes one entry per stamp (transposed in noise
// mode) and every later load must replay the same sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/result.h"
#include "engine/acload.h"
#include "engine/acrun.h"
#include "engine/sparse.h"
#include "engine/state.h"

namespace {

// The frequencies a sweep visits, as the run steps through them.
std::vector<double> Frequencies(AcRun& run) {
    std::vector<double> f;
    run.AutoStep = run.AutoStepStart;
    BeginAcSweep(run);
    do {
        NextAcFrequency(run);
        f.push_back(run.Frequency);
        run.PreviousFrequency = run.Frequency;
        ++run.ListIndex;
    } while (HasMoreAcFrequencies(run) && f.size() < 100000);
    return f;
}

AcLimits Range(int kind, double high, double low, int points = 51, int count = 2) {
    AcLimits limits;
    limits.stepKind = kind;
    limits.high = high;
    limits.low = low;
    limits.points = points;
    limits.rangeCount = count;
    return limits;
}

TEST(AcSweep, LogSweepSpansTheWholeRangeAndEndsOnTheHighLimit) {
    AcRun run;
    ASSERT_EQ(SetUpAcSweep(run, Range(kAcStepLog, 1e8, 1e6)), 0);
    const std::vector<double> f = Frequencies(run);
    ASSERT_EQ(f.size(), 51u);
    EXPECT_NEAR(f.front(), 1e6, 1e-3);
    EXPECT_EQ(f.back(), 1e8);
    const double ratio = std::pow(100.0, 1.0 / 50.0);
    for (size_t k = 1; k < f.size(); ++k) EXPECT_NEAR(f[k] / f[k - 1], ratio, 1e-9) << k;
}

TEST(AcSweep, StepKindsVisitTheirFrequencies) {
    struct Case {
        const char* name;
        AcLimits limits;
        std::vector<double> expected;
    };
    AcLimits list;
    list.stepKind = kAcStepList;
    list.list = {10e3, 1e3, 100.0};
    const Case cases[] = {
        {"linear from 0", Range(kAcStepLinear, 100.0, 0.0, 5), {0.0, 25.0, 50.0, 75.0, 100.0}},
        {"single number, log", Range(kAcStepLog, 1e3, 0.0, 51, 1), {1e3}},
        {"single number, linear", Range(kAcStepLinear, 2e3, 5.0, 51, 1), {2e3}},
        {"list sorted", list, {100.0, 1e3, 10e3}},
    };
    for (const Case& c : cases) {
        AcRun run;
        ASSERT_EQ(SetUpAcSweep(run, c.limits), 0) << c.name;
        const std::vector<double> f = Frequencies(run);
        ASSERT_EQ(f.size(), c.expected.size()) << c.name;
        for (size_t k = 0; k < f.size(); ++k) EXPECT_NEAR(f[k], c.expected[k], 1e-9) << c.name << " " << k;
    }
}

TEST(AcSweep, ZeroFrequencyIsAnalysedAtOneMicrohertz) {
    AcRun run;
    ASSERT_EQ(SetUpAcSweep(run, Range(kAcStepLinear, 100.0, 0.0, 5)), 0);
    BeginAcSweep(run);
    NextAcFrequency(run);
    EXPECT_EQ(run.Frequency, 0.0);
    EXPECT_NEAR(run.Omega, 2.0 * M_PI * 1e-6, 1e-18);
}

TEST(AcSweep, FocusFrequencyRefinesTheLogStepsNearIt) {
    AcRun run;
    AcLimits limits = Range(kAcStepLog, 1e5, 10.0, 41);
    limits.focus1 = 1e3;
    ASSERT_EQ(SetUpAcSweep(run, limits), 0);
    const std::vector<double> f = Frequencies(run);
    const double fine = std::pow(1e4, 0.0002);
    int fineSteps = 0;
    for (size_t k = 1; k < f.size(); ++k) {
        if (std::fabs(f[k] / f[k - 1] - fine) < 1e-9) {
            ++fineSteps;
            EXPECT_GT(f[k - 1], 990.0);
            EXPECT_LT(f[k - 1], 1010.0);
        }
    }
    // The grid lands on 1 kHz; from there to past 1010 Hz in steps of 1e4^0.0002.
    EXPECT_EQ(fineSteps, static_cast<int>(std::ceil(std::log(1.01) / std::log(fine))));
    EXPECT_EQ(f.back(), 1e5);
}

TEST(AcSweep, RangesThatCannotBeSweptAreRefused) {
    AcLimits empty;
    empty.stepKind = kAcStepList;
    struct Case {
        const char* name;
        AcLimits limits;
        int message;
    };
    const Case cases[] = {
        {"log from 0", Range(kAcStepLog, 1e3, 0.0), kMsgAcLogZeroLimit},
        {"high below low", Range(kAcStepLinear, 10.0, 100.0), kMsgAcBadRange},
        {"negative low", Range(kAcStepLinear, 10.0, -1.0), kMsgAcBadRange},
        {"high at 1e30", Range(kAcStepLinear, 1e30, 1.0), kMsgAcBadRange},
        {"not a number", Range(kAcStepLog, NAN, 1.0), kMsgAcBadRange},
        {"empty list", empty, kMsgAcEmptyList},
    };
    for (const Case& c : cases) {
        AcRun run;
        EXPECT_EQ(SetUpAcSweep(run, c.limits), c.message) << c.name;
    }
}

// A matrix and entry list in the AC slot of a bare state, for stamping.
class AcStampTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SparseMatrix::Create(state_.TransientPair.matrix), 0);
        state_.TransientPair.entries.Clear();
        state_.TransientPair.entries.matrix = state_.TransientPair.matrix.get();
        state_.Installed = &state_.TransientPair;
    }
    SparseMatrix& Matrix() { return *state_.TransientPair.matrix; }

    SimulatorState state_;
    std::vector<double> rhs_ = std::vector<double>(8, 0.0);
    std::vector<double> solution_ = std::vector<double>(8, 0.0);
};

TEST_F(AcStampTest, NoiseModeTransposesEveryPositionOnceAtTheReservePass) {
    for (bool noise : {false, true}) {
        SetUp();
        AcStamps ac(state_, rhs_, solution_);
        ac.noiseActive = noise;
        ac.reservePass = true;
        ac.BeginLoad();
        // Current into node 1 controlled by node 2.
        ac.Transadmittance(1, 0, 2, 0, ComplexNumber{0.5, 0.25});
        ASSERT_EQ(ac.Error(), 0);
        const MatrixElement* e = noise ? Matrix().GetElement(2, 1) : Matrix().GetElement(1, 2);
        EXPECT_EQ(e->Real, 0.5) << noise;
        EXPECT_EQ(e->Imag, 0.25) << noise;
        // Ground stamps reach the trash can; the entries exist all the same.
        EXPECT_EQ(state_.TransientPair.entries.Size(), 8u);
        // Later loads replay the recorded (transposed) positions.
        ac.reservePass = false;
        ac.BeginLoad();
        EXPECT_EQ(e->Real, 0.0);
        ac.Transadmittance(1, 0, 2, 0, ComplexNumber{2.0, 0.0});
        EXPECT_EQ(e->Real, 2.0) << noise;
        EXPECT_EQ(e->Imag, 0.0) << noise;
    }
}

// A kind whose loads stamp more after the reserve pass than during it.
class GrowingLoads final : public AcKindLoads {
public:
    int LoadAc(AcStamps& ac) override {
        ac.Conductance(1, 2, 1.0);
        if (!ac.reservePass) ac.Real(1, 1, 1.0);
        return 0;
    }
    int AcResults(AcStamps&) override { return 0; }
};

TEST_F(AcStampTest, ALoadThatLeavesItsReservedSequenceIsRefused) {
    GrowingLoads loads;
    InstallAcKindLoads(kRowTableSources, &loads);
    AcStamps ac(state_, rhs_, solution_);
    ac.reservePass = true;
    EXPECT_EQ(LoadAcDevices(ac), 0);
    ac.reservePass = false;
    // The extra stamp has no entry: refused rather than written past the list.
    EXPECT_EQ(LoadAcDevices(ac), 101);
    InstallAcKindLoads(kRowTableSources, nullptr);
}

TEST_F(AcStampTest, ControlledSourceKindsStampTheirFixedSequences) {
    // Entries per kind with both incidence flags set: a real gain still
    // stamps its zero imaginary parts, so the count depends only on the kind.
    const size_t expected[] = {8, 8, 8, 10, 0};
    for (int kind = 0; kind <= 4; ++kind) {
        SetUp();
        AcStamps ac(state_, rhs_, solution_);
        ac.reservePass = true;
        ac.BeginLoad();
        ac.ControlledSource(kind, true, true, 3, 4, 1, 0, 2, 0, ComplexNumber{2.0, 0.0});
        EXPECT_EQ(state_.TransientPair.entries.Size(), expected[kind]) << kind;
    }
}

}  // namespace
