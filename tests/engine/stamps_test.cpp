// Matrix entries and stamps: reservations land on the matrix elements of their
// (row, column) pairs in a fixed order, ground rows and columns on the trash
// can; the convergence tests, the failure log, the small clamps and the voltage
// limiting of the semiconductor loads.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "engine/sparse.h"
#include "engine/stamps.h"
#include "expr/runvars.h"

namespace {

using Position = std::pair<int32_t, int32_t>;

class StampsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SparseMatrix::Create(matrix_), 0);
        list_.matrix = matrix_.get();
    }
    void TearDown() override { SparseMatrix::Destroy(matrix_); }

    // The items must be exactly the elements of `positions`, in order.
    void ExpectPositions(const std::vector<Position>& positions) {
        ASSERT_EQ(list_.Size(), positions.size());
        for (size_t i = 0; i < positions.size(); ++i) {
            EXPECT_EQ(list_.items[i], matrix_->GetElement(positions[i].first, positions[i].second))
                << "item " << i << " (" << positions[i].first << ", " << positions[i].second << ")";
        }
    }
    double Value(int32_t row, int32_t col) { return matrix_->GetElement(row, col)->Real; }

    std::unique_ptr<SparseMatrix> matrix_;
    EntryList list_;
};

TEST_F(StampsTest, ReservationsAppendTheirPositionsInOrder) {
    ASSERT_EQ(ReserveConductance(list_, 1, 2), 0);
    ASSERT_EQ(ReserveTransconductance(list_, 1, 2, 3, 4), 0);
    ASSERT_EQ(ReserveBranch(list_, 5, 3, 4), 0);
    ExpectPositions({{1, 2}, {2, 1}, {1, 1}, {2, 2}, {3, 1}, {3, 2}, {4, 1}, {4, 2}, {5, 3}, {5, 4}, {3, 5}, {4, 5}});
}

// Each controlled-source kind reserves its positions and stamps its values on
// them, item for item; an unknown kind does neither.
TEST_F(StampsTest, ControlledSourcesReserveAndStampTheirPositions) {
    const double x = 3.0;
    struct Case {
        int kind;
        std::vector<Position> positions;
        std::vector<double> values;
    };
    // Controlling nodes 1, 2; output nodes 3, 4; branch 5 (and 6).
    const std::vector<Case> cases = {
        {0, {{3, 1}, {3, 2}, {4, 1}, {4, 2}}, {x, -x, -x, x}},
        {1, {{5, 1}, {5, 2}, {1, 5}, {2, 5}, {3, 5}, {4, 5}}, {1, -1, 1, -1, x, -x}},
        {2, {{5, 1}, {5, 2}, {5, 3}, {5, 4}, {3, 5}, {4, 5}}, {-x, x, 1, -1, 1, -1}},
        {3, {{5, 1}, {5, 2}, {1, 5}, {2, 5}, {6, 3}, {6, 4}, {3, 6}, {4, 6}, {6, 5}}, {1, -1, 1, -1, 1, -1, 1, -1, -x}},
        {7, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        std::unique_ptr<SparseMatrix> matrix;
        ASSERT_EQ(SparseMatrix::Create(matrix), 0);
        EntryList list;
        list.matrix = matrix.get();
        ASSERT_EQ(ReserveControlledSource(list, c.kind, 5, 1, 2, 3, 4), 0);
        ASSERT_EQ(list.Size(), c.positions.size());
        EXPECT_EQ(ControlledSourceEntryCount(c.kind), static_cast<int>(c.positions.size()));
        EntryCursor cursor;
        std::vector<double> rhs(8, 0.0);
        ResetLoad(list, cursor, rhs.data(), rhs.size(), false);
        StampControlledSource(cursor, c.kind, x);
        EXPECT_EQ(cursor.Position(), c.positions.size());
        for (size_t i = 0; i < c.positions.size(); ++i) {
            EXPECT_EQ(matrix->GetElement(c.positions[i].first, c.positions[i].second)->Real, c.values[i])
                << "item " << i;
        }
        SparseMatrix::Destroy(matrix);
    }
}

// A resistor to ground reserves four items; the three touching ground share
// the trash can, and only (1, 1) carries the conductance.
TEST_F(StampsTest, GroundPositionsLandOnTheTrashCan) {
    ASSERT_EQ(ReserveConductance(list_, 1, 0), 0);
    ASSERT_EQ(list_.Size(), 4u);
    EXPECT_EQ(list_.items[0], list_.items[1]);
    EXPECT_EQ(list_.items[0], list_.items[3]);
    EXPECT_NE(list_.items[2], list_.items[0]);
    EntryCursor cursor;
    ResetLoad(list_, cursor, nullptr, 0, false);
    StampConductance(cursor, 0.5);
    EXPECT_EQ(Value(1, 1), 0.5);
}

// Every load starts from zero values and a zero right-hand side, unless the
// values are kept while the structure is built.
TEST_F(StampsTest, ResetLoadClearsValuesAndRhsAndRestartsTheCursor) {
    ASSERT_EQ(ReserveBranch(list_, 3, 1, 2), 0);
    std::vector<double> rhs(4, 0.0);
    EntryCursor cursor;
    ResetLoad(list_, cursor, rhs.data(), rhs.size(), true);
    StampVoltageSource(cursor, rhs.data(), 3, 5.0);
    EXPECT_EQ(Value(3, 1), 1.0);
    EXPECT_EQ(Value(3, 2), -1.0);
    EXPECT_EQ(Value(1, 3), 1.0);
    EXPECT_EQ(Value(2, 3), -1.0);
    EXPECT_EQ(rhs[3], 5.0);

    ResetLoad(list_, cursor, rhs.data(), rhs.size(), false);
    EXPECT_EQ(cursor.Position(), 0u);
    EXPECT_EQ(Value(3, 1), 0.0);
    EXPECT_EQ(rhs[3], 0.0);
    StampVoltageSource(cursor, rhs.data(), 3, 2.0);
    EXPECT_EQ(Value(3, 1), 1.0);  // not accumulated onto the previous load
    EXPECT_EQ(rhs[3], 2.0);

    EntryList none;
    rhs[1] = 7.0;
    ResetLoad(none, cursor, rhs.data(), rhs.size(), false);
    EXPECT_FALSE(cursor.Active());
    EXPECT_EQ(rhs[1], 0.0);
}

TEST_F(StampsTest, ReservingWithoutAMatrixFails) {
    EntryList none;
    EXPECT_EQ(ReserveEntry(none, 1, 1), 101);
    EXPECT_EQ(none.Size(), 0u);
}

TEST(ConvergenceTests, TolerancesFollowTheOptions) {
    GlobalSettingValues options;
    options.reltol = 1e-3;
    options.abstol = 1e-12;
    options.vntol = 1e-6;
    // 1 V: voltage tolerance 1e-6 + 1e-3.
    EXPECT_TRUE(VoltageConverged(options, 1.0, 1.0 + 0.9e-3));
    EXPECT_FALSE(VoltageConverged(options, 1.0, 1.0 + 1.1e-3));
    EXPECT_TRUE(CurrentConverged(options, 1e-3, 1e-3 + 0.9e-6));
    EXPECT_FALSE(CurrentConverged(options, 1e-3, 1e-3 + 1.1e-6));
    // Near zero the absolute floors decide.
    EXPECT_TRUE(VoltageConverged(options, 0.0, 0.9e-6));
    EXPECT_FALSE(CurrentConverged(options, 0.0, 0.9e-6));

    int32_t count = 0;
    EXPECT_FALSE(VoltageDiverged(options, count, 1.0, 1.0 + 0.9e-3));
    EXPECT_TRUE(VoltageDiverged(options, count, 1.0, 1.0 + 1.1e-3));
    EXPECT_TRUE(CurrentDiverged(options, count, 0.0, 0.9e-6));
    EXPECT_EQ(count, 2);
    // A NaN (a failed evaluation) never passes as converged.
    const double nan = std::nan("");
    EXPECT_FALSE(VoltageConverged(options, nan, 1.0));
    EXPECT_TRUE(VoltageDiverged(options, count, nan, 1.0));
    EXPECT_TRUE(CurrentDiverged(options, count, 1.0, nan));
    double stored = 1.0;
    EXPECT_TRUE(ValueDiverged(options, count, stored, nan));
    count = 2;
    options.reltol = 1e-2;  // read at the moment of the call
    EXPECT_FALSE(VoltageDiverged(options, count, 1.0, 1.0 + 1.1e-3));
    EXPECT_EQ(count, 2);
}

TEST(ConvergenceTests, ValueDivergedStoresTheNewValueEitherWay) {
    GlobalSettingValues options;
    int32_t count = 0;
    double stored = 0.0;
    EXPECT_FALSE(ValueDiverged(options, count, stored, 1e-21));  // under the 1e-20 floor
    EXPECT_EQ(stored, 1e-21);
    EXPECT_TRUE(ValueDiverged(options, count, stored, 1.0));
    EXPECT_EQ(stored, 1.0);
    EXPECT_EQ(count, 1);
}

TEST(ConvergenceTests, FailuresBeyondTheTwentiethAreCountedButNotRecorded) {
    FailureLog log;
    int32_t count = 0;
    for (int i = 0; i < 21; ++i) {
        ++count;
        RecordFailure(log, nullptr, kFailureResistor, i, 1e-6 * i);
    }
    EXPECT_EQ(count, 21);
    EXPECT_EQ(log.count, kMaxFailureRecords);
    EXPECT_EQ(log.records[19].value, 19.0);
    EXPECT_EQ(log.time, 1e-6 * 19);

    log.Clear();
    RecordNodeFailure(log, 7, 2.5, 3e-9);
    ASSERT_EQ(log.count, 1);
    EXPECT_EQ(log.records[0].node, 7);
    EXPECT_EQ(log.records[0].kind, kFailureNode);
    EXPECT_EQ(log.records[0].device, nullptr);
    EXPECT_EQ(log.time, 3e-9);
}

TEST(NumericHelpers, ClampsKeepTheSign) {
    const struct {
        double in, tiny, rmin;
    } cases[] = {
        {0.0, 1e-100, 1e-6}, {-1e-200, -1e-100, -1e-6}, {1e-200, 1e-100, 1e-6},
        {-2.0, -2.0, -2.0},  {5e-7, 5e-7, 1e-6},        {-5e-7, -5e-7, -1e-6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClampTiny(c.in), c.tiny) << c.in;
        EXPECT_EQ(ClampToRmin(c.in, 1e-6), c.rmin) << c.in;
    }
    EXPECT_EQ(RaiseTinyVoltage(0.0), 0.0);
    EXPECT_EQ(RaiseTinyVoltage(-1e-60), -1e-50);
    EXPECT_EQ(RaiseTinyVoltage(0.3), 0.3);
    EXPECT_EQ(MaxDouble(1.0, 2.0), 2.0);
    EXPECT_EQ(MinDouble(1.0, 2.0), 1.0);
}

TEST(VoltageLimiting, JunctionVoltageFollowsTheExponential) {
    int32_t limited = 0;
    const double v = LimitJunctionVoltage(5.0, 0.7, 0.025, 0.6, limited);
    EXPECT_NEAR(v, 0.7 + 0.025 * std::log(1.0 + 4.3 / 0.025), 1e-12);
    EXPECT_NEAR(v, 0.82883, 1e-5);
    EXPECT_EQ(limited, 1);

    // From a reverse-biased old voltage: vt ln(vnew / vt).
    EXPECT_NEAR(LimitJunctionVoltage(2.0, -1.0, 0.025, 0.6, limited), 0.025 * std::log(2.0 / 0.025), 1e-12);
    EXPECT_EQ(limited, 1);
    // A step of at most 2 vt, or below the critical voltage, passes.
    EXPECT_EQ(LimitJunctionVoltage(0.74, 0.7, 0.025, 0.6, limited), 0.74);
    EXPECT_EQ(limited, 0);
    EXPECT_EQ(LimitJunctionVoltage(0.5, -3.0, 0.025, 0.6, limited), 0.5);
    // A negative critical voltage must not take the logarithm of a negative
    // ratio.
    const double guarded = LimitJunctionVoltage(-0.1, -1.0, 0.025, -0.2, limited);
    EXPECT_TRUE(std::isfinite(guarded));
    EXPECT_EQ(guarded, -0.2);

    // In place: the flag is cleared when nothing changes and left alone when
    // the voltage changes.
    double held = 5.0;
    limited = 7;
    LimitJunctionVoltageInPlace(held, 0.7, 0.025, 0.6, limited);
    EXPECT_NEAR(held, 0.82883, 1e-5);
    EXPECT_EQ(limited, 7);
    held = 0.65;
    LimitJunctionVoltageInPlace(held, 0.64, 0.025, 0.6, limited);
    EXPECT_EQ(held, 0.65);
    EXPECT_EQ(limited, 0);
}

TEST(VoltageLimiting, FetAndDrainSourceSteps) {
    // vto = 1: von = 4.5; from vold = 6, hi = 12, lo = 8.
    const struct {
        double vnew, vold, expected;
    } fet[] = {
        {-4.0, 6.0, 3.0},    // fully on, falling below von: held at vto + 2
        {5.0, 6.0, 5.0},     // fully on, small fall
        {30.0, 6.0, 18.0},   // fully on, rise by more than hi
        {7.0, 6.0, 7.0},     // fully on, small rise
        {-3.0, 2.0, 0.5},    // middle, falling: at least vto - 0.5
        {9.0, 2.0, 5.0},     // middle, rising: at most vto + 4
        {-20.0, 0.0, -4.0},  // off (hi = 4): a fall of more than hi
        {3.0, 0.0, 1.5},     // off, rising past vto + 0.5
        {1.2, 0.0, 1.2},     // off, rising a little
    };
    for (const auto& c : fet) EXPECT_EQ(LimitFetVoltage(c.vnew, c.vold, 1.0), c.expected) << c.vnew << " " << c.vold;
    for (const auto& c : fet) {
        double held = c.vnew;
        LimitFetVoltageInPlace(held, c.vold, 1.0);
        EXPECT_EQ(held, c.expected) << c.vnew << " " << c.vold;
    }

    const struct {
        double vnew, vold, expected;
    } vds[] = {
        {50.0, 5.0, 17.0}, {1.0, 5.0, 2.0}, {4.0, 5.0, 4.0}, {9.0, 1.0, 4.0}, {-3.0, 1.0, -0.5}, {0.5, 1.0, 0.5},
    };
    for (const auto& c : vds) EXPECT_EQ(LimitDrainSourceVoltage(c.vnew, c.vold), c.expected) << c.vnew;
}

}  // namespace
