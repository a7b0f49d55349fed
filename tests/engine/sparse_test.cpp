#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "engine/sparse.h"

namespace {

using Cx = std::complex<double>;

// A matrix by external numbers 1..n as (row, col, value) triples.
struct Triple {
    int row, col;
    Cx value;
};

std::unique_ptr<SparseMatrix> Build(const std::vector<Triple>& entries, double rel = kDefaultRelPivotThreshold,
                                    double abs = kDefaultAbsPivotThreshold) {
    std::unique_ptr<SparseMatrix> m;
    EXPECT_EQ(SparseMatrix::Create(m, rel, abs), 0);
    for (const Triple& t : entries) {
        MatrixElement* e = m->GetElement(t.row, t.col);
        EXPECT_NE(e, nullptr);
        e->Real += t.value.real();
        e->Imag += t.value.imag();
    }
    return m;
}

void Load(SparseMatrix& m, const std::vector<Triple>& entries) {
    m.ClearValues();
    for (const Triple& t : entries) {
        MatrixElement* e = m.GetElement(t.row, t.col);
        e->Real += t.value.real();
        e->Imag += t.value.imag();
    }
}

// Dense Gaussian elimination with partial pivoting; false when singular.
bool DenseSolve(int n, const std::vector<Triple>& entries, const std::vector<Cx>& b, std::vector<Cx>& x) {
    std::vector<std::vector<Cx>> a(n, std::vector<Cx>(n + 1));
    for (const Triple& t : entries) a[t.row - 1][t.col - 1] += t.value;
    for (int i = 0; i < n; ++i) a[i][n] = b[i + 1];
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i) {
            if (std::abs(a[i][k]) > std::abs(a[p][k])) p = i;
        }
        if (std::abs(a[p][k]) < 1e-12) return false;
        std::swap(a[p], a[k]);
        for (int i = k + 1; i < n; ++i) {
            const Cx f = a[i][k] / a[k][k];
            for (int j = k; j <= n; ++j) a[i][j] -= f * a[k][j];
        }
    }
    x.assign(n + 1, 0.0);
    for (int k = n - 1; k >= 0; --k) {
        Cx s = a[k][n];
        for (int j = k + 1; j < n; ++j) s -= a[k][j] * x[j + 1];
        x[k + 1] = s / a[k][k];
    }
    return true;
}

// A random sparse matrix: a few entries per row, some diagonals missing.
std::vector<Triple> RandomMatrix(std::mt19937& rng, int n, bool complex) {
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    std::uniform_int_distribution<int> idx(1, n);
    std::vector<Triple> entries;
    for (int i = 1; i <= n; ++i) {
        if (rng() % 5 != 0) entries.push_back({i, i, Cx(val(rng) * 4, complex ? val(rng) : 0.0)});
        const int extra = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < extra; ++k) entries.push_back({i, idx(rng), Cx(val(rng), complex ? val(rng) : 0.0)});
    }
    return entries;
}

void ExpectSolves(SparseMatrix& m, int n, const std::vector<Triple>& entries, bool complex, std::mt19937& rng) {
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    std::vector<Cx> b(n + 1, 0.0), ref;
    for (int i = 1; i <= n; ++i) b[i] = Cx(val(rng), complex ? val(rng) : 0.0);
    if (!DenseSolve(n, entries, b, ref)) return;  // nearly singular draws prove nothing
    const int width = complex ? 2 : 1;
    std::vector<double> rhs(width * (n + 1), 0.0), sol(width * (n + 1), -7.0);
    for (int i = 1; i <= n; ++i) {
        rhs[width * i] = b[i].real();
        if (complex) rhs[width * i + 1] = b[i].imag();
    }
    const std::vector<double> rhsCopy = rhs;
    ASSERT_EQ(m.Solve(rhs.data(), sol.data()), 0);
    EXPECT_EQ(rhs, rhsCopy);
    EXPECT_EQ(sol[0], 0.0);
    double scale = 1.0;
    for (int i = 1; i <= n; ++i) scale = std::max(scale, std::abs(ref[i]));
    for (int i = 1; i <= n; ++i) {
        const Cx got(sol[width * i], complex ? sol[width * i + 1] : 0.0);
        EXPECT_NEAR(std::abs(got - ref[i]), 0.0, 1e-7 * scale) << "unknown " << i << " of " << n;
    }
}

// Property: ordering, reused-order refactoring and both searches agree with a
// dense solve on random sparse matrices, real and complex.
TEST(SparseMatrix, RandomMatricesAgreeWithDenseSolve) {
    std::mt19937 rng(20261211);
    for (int trial = 0; trial < 300; ++trial) {
        const bool complex = trial % 2 == 1;
        const int n = 1 + static_cast<int>(rng() % 40);
        const std::vector<Triple> entries = RandomMatrix(rng, n, complex);
        std::unique_ptr<SparseMatrix> m = Build(entries);
        ASSERT_EQ(m->PreorderTwins(), 0);
        const int code = complex ? m->FactorComplex() : m->FactorReal();
        std::vector<Cx> ref;
        if (code != 0) {
            // Only a structurally or numerically singular draw may fail.
            EXPECT_EQ(code, kMatrixSingular);
            EXPECT_FALSE(DenseSolve(n, entries, std::vector<Cx>(n + 1, 1.0), ref)) << "trial " << trial;
            continue;
        }
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        ExpectSolves(*m, n, entries, complex, rng);

        // The same structure with new values reuses the order.
        std::vector<Triple> again = entries;
        std::uniform_real_distribution<double> val(0.5, 1.5);
        for (Triple& t : again) t.value *= val(rng);
        Load(*m, again);
        const int code2 = complex ? m->FactorComplex() : m->FactorReal();
        EXPECT_EQ(m->NeedsOrdering, 0);
        if (code2 == 0) {
            SCOPED_TRACE("reused order");
            ExpectSolves(*m, n, again, complex, rng);
        }

        // The literal scan picks the same pivots as the bucket search.
        std::unique_ptr<SparseMatrix> scan = Build(entries);
        scan->pivotSearch = SparseMatrix::PivotSearch::Scan;
        scan->PreorderTwins();
        std::unique_ptr<SparseMatrix> buckets = Build(entries);
        buckets->PreorderTwins();
        ASSERT_EQ(complex ? scan->FactorComplex() : scan->FactorReal(),
                  complex ? buckets->FactorComplex() : buckets->FactorReal());
        for (int k = 1; k <= n; ++k) {
            EXPECT_EQ(scan->RowInternalToExternal[k], buckets->RowInternalToExternal[k]) << "trial " << trial;
            EXPECT_EQ(scan->ColInternalToExternal[k], buckets->ColInternalToExternal[k]) << "trial " << trial;
        }
    }
}

// A 2-D grid of conductances, the matrix shape where the quick search's tie
// rules decide most steps.
std::vector<Triple> Grid(int side) {
    std::vector<Triple> entries;
    auto node = [side](int x, int y) { return y * side + x + 1; };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int a = node(x, y);
            entries.push_back({a, a, 0.01});
            auto link = [&](int b) {
                entries.push_back({a, a, 1.0});
                entries.push_back({b, b, 1.0});
                entries.push_back({a, b, -1.0});
                entries.push_back({b, a, -1.0});
            };
            if (x + 1 < side) link(node(x + 1, y));
            if (y + 1 < side) link(node(x, y + 1));
        }
    }
    return entries;
}

TEST(SparseMatrix, BucketSearchChoosesTheScansPivotsOnAGrid) {
    const std::vector<Triple> entries = Grid(12);
    std::unique_ptr<SparseMatrix> scan = Build(entries);
    scan->pivotSearch = SparseMatrix::PivotSearch::Scan;
    std::unique_ptr<SparseMatrix> buckets = Build(entries);
    ASSERT_EQ(scan->FactorReal(), 0);
    ASSERT_EQ(buckets->FactorReal(), 0);
    EXPECT_EQ(scan->RowInternalToExternal, buckets->RowInternalToExternal);
    EXPECT_EQ(scan->ColInternalToExternal, buckets->ColInternalToExternal);
    EXPECT_EQ(scan->FillinCount(), buckets->FillinCount());
    std::mt19937 rng(7);
    ExpectSolves(*buckets, 144, entries, false, rng);
}

TEST(SparseMatrix, AllZeroColumnIsSingularAtItsRowAndColumn) {
    // Column 2 holds only zeros; row 2 has nothing else.
    std::unique_ptr<SparseMatrix> m = Build({{1, 1, 1.0}, {3, 3, 1.0}, {2, 2, 0.0}, {1, 2, 0.0}});
    EXPECT_EQ(m->FactorReal(), kMatrixSingular);
    EXPECT_EQ(m->Error, kMatrixSingular);
    EXPECT_EQ(m->SingularRow, 2);
    EXPECT_EQ(m->SingularCol, 2);
    EXPECT_EQ(m->IsFactored, 0);
    EXPECT_EQ(m->NeedsOrdering, 1);
    std::vector<double> rhs(4, 1.0), sol(4, 5.0);
    EXPECT_EQ(m->Solve(rhs.data(), sol.data()), kMatrixBadArgument);
    EXPECT_EQ(sol[1], 5.0);
    EXPECT_EQ(SparseMatrixError(m.get()), kMatrixSingular);
    EXPECT_EQ(SparseMatrixError(nullptr), kMatrixOutOfMemory);
}

TEST(SparseMatrix, ReusedOrderFailsOnZeroPivotWithoutReordering) {
    const std::vector<Triple> good = {{1, 1, 2.0}, {1, 2, 1.0}, {2, 1, 1.0}, {2, 2, 3.0}};
    std::unique_ptr<SparseMatrix> m = Build(good);
    ASSERT_EQ(m->FactorReal(), 0);
    EXPECT_EQ(m->NeedsOrdering, 0);
    // The second pivot becomes exactly zero: 3 - 1 * 1/2 * ... -> choose 2 x 2 with a zero Schur complement.
    Load(*m, {{1, 1, 2.0}, {1, 2, 1.0}, {2, 1, 4.0}, {2, 2, 2.0}});
    EXPECT_EQ(m->FactorReal(), kMatrixSingular);
    EXPECT_EQ(m->NeedsOrdering, 0);
    EXPECT_NE(m->SingularRow, 0);
    // Good values factor again with the same order.
    Load(*m, good);
    EXPECT_EQ(m->FactorReal(), 0);
    std::mt19937 rng(1);
    ExpectSolves(*m, 2, good, false, rng);
}

TEST(SparseMatrix, GroundRequestsShareTheTrashCan) {
    std::unique_ptr<SparseMatrix> m;
    ASSERT_EQ(SparseMatrix::Create(m), 0);
    MatrixElement* t1 = m->GetElement(0, 3);
    MatrixElement* t2 = m->GetElement(2, 0);
    EXPECT_EQ(t1, t2);
    EXPECT_EQ(t1, &m->TrashCan);
    EXPECT_EQ(m->Order, 0);
    m->GetElement(1, 1)->Real = 2.0;
    t1->Real += 1e6;
    ASSERT_EQ(m->FactorReal(), 0);
    std::vector<double> rhs = {0.0, 4.0}, sol(2);
    ASSERT_EQ(m->Solve(rhs.data(), sol.data()), 0);
    EXPECT_DOUBLE_EQ(sol[1], 2.0);
    EXPECT_EQ(m->GetElement(-1, 1), nullptr);
    EXPECT_EQ(m->Error, kMatrixBadArgument);
    std::unique_ptr<SparseMatrix> bad;
    EXPECT_EQ(SparseMatrix::Create(bad, 1e-3, 1e-13, -1), kMatrixBadArgument);
    EXPECT_EQ(bad, nullptr);
}

TEST(SparseMatrix, VoltageSourceBranchGetsItsDiagonalFromTwins) {
    // 1 V source from node 1 to node 2 (branch 3), 1 ohm from each node to ground.
    const std::vector<Triple> entries = {{1, 1, 1.0}, {2, 2, 1.0},  {1, 3, 1.0},
                                         {3, 1, 1.0}, {2, 3, -1.0}, {3, 2, -1.0}};
    std::unique_ptr<SparseMatrix> m = Build(entries);
    EXPECT_EQ(m->Diagonal[3], nullptr);
    ASSERT_EQ(m->PreorderTwins(), 0);
    for (int k = 1; k <= 3; ++k) {
        ASSERT_NE(m->Diagonal[k], nullptr) << k;
        EXPECT_NE(m->Diagonal[k]->Real, 0.0) << k;
    }
    ASSERT_EQ(m->FactorReal(), 0);
    std::vector<double> rhs = {0.0, 0.0, 0.0, 1.0}, sol(4);
    ASSERT_EQ(m->Solve(rhs.data(), sol.data()), 0);
    EXPECT_NEAR(sol[1], 0.5, 1e-12);
    EXPECT_NEAR(sol[2], -0.5, 1e-12);
    EXPECT_NEAR(sol[3], -0.5, 1e-12);
}

TEST(SparseMatrix, PivotRules) {
    // Diagonals below PIVREL of their column: the off-diagonal ones pivot, no error.
    {
        const std::vector<Triple> e = {{1, 1, 1e-5}, {1, 2, 1.0}, {2, 1, 1.0}, {2, 2, 1e-5}};
        std::unique_ptr<SparseMatrix> m = Build(e);
        ASSERT_EQ(m->FactorReal(), 0);
        EXPECT_NE(m->RowInternalToExternal[1], m->ColInternalToExternal[1]);
        std::mt19937 rng(3);
        ExpectSolves(*m, 2, e, false, rng);
    }
    // Nothing above PIVTOL: the largest element is taken and no error recorded.
    {
        const std::vector<Triple> e = {{1, 1, 2.0}, {1, 2, 1.0}, {2, 1, 1.0}, {2, 2, 3.0}};
        std::unique_ptr<SparseMatrix> m = Build(e, 1e-3, 10.0);
        ASSERT_EQ(m->FactorReal(), 0);
        EXPECT_EQ(m->RowInternalToExternal[1], 2);
        EXPECT_EQ(m->ColInternalToExternal[1], 2);
        std::mt19937 rng(4);
        ExpectSolves(*m, 2, e, false, rng);
    }
    // An arrow matrix: the dense index goes last, so nothing fills in.
    {
        std::vector<Triple> e;
        for (int i = 1; i <= 8; ++i) e.push_back({i, i, 10.0});
        for (int i = 2; i <= 8; ++i) {
            e.push_back({1, i, 1.0});
            e.push_back({i, 1, 1.0});
        }
        std::unique_ptr<SparseMatrix> m = Build(e);
        ASSERT_EQ(m->FactorReal(), 0);
        EXPECT_EQ(m->RowInternalToExternal[8], 1);
        EXPECT_EQ(m->FillinCount(), 0);
        std::mt19937 rng(5);
        ExpectSolves(*m, 8, e, false, rng);
    }
    // An element added after ordering orders again.
    {
        const std::vector<Triple> e = {{1, 1, 2.0}, {2, 2, 3.0}};
        std::unique_ptr<SparseMatrix> m = Build(e);
        ASSERT_EQ(m->FactorReal(), 0);
        EXPECT_EQ(m->NeedsOrdering, 0);
        const std::vector<Triple> more = {{1, 1, 2.0}, {2, 2, 3.0}, {1, 2, 1.0}};
        Load(*m, more);
        EXPECT_EQ(m->NeedsOrdering, 1);
        ASSERT_EQ(m->FactorReal(), 0);
        std::mt19937 rng(6);
        ExpectSolves(*m, 2, more, false, rng);
    }
}

}  // namespace

namespace {

// One structure serves the operating point (real) and the AC run (complex)
// with the order chosen once; Gmin lands on every pivot position, which after
// the twin exchange of the branch column is not every external diagonal.
TEST(SparseMatrix, RealAndComplexFactoringShareOneOrder) {
    const std::vector<Triple> real = {{1, 1, 3.0}, {1, 2, -1.0}, {2, 1, -1.0}, {2, 2, 2.0}, {2, 3, 1.0}, {3, 2, 1.0}};
    const std::vector<Triple> ac = {{1, 1, Cx(3.0, 0.5)},  {1, 2, -1.0}, {2, 1, -1.0},
                                    {2, 2, Cx(2.0, -2.0)}, {2, 3, 1.0},  {3, 2, 1.0}};
    std::unique_ptr<SparseMatrix> m = Build(real);
    ASSERT_EQ(m->PreorderTwins(), 0);
    ASSERT_EQ(m->FactorReal(), 0);
    std::mt19937 rng(11);
    ExpectSolves(*m, 3, real, false, rng);
    Load(*m, ac);
    ASSERT_EQ(m->FactorComplex(), 0);
    EXPECT_EQ(m->NeedsOrdering, 0);
    ExpectSolves(*m, 3, ac, true, rng);
    Load(*m, real);
    ASSERT_EQ(m->FactorReal(0.25), 0);
    std::vector<Triple> withGmin = real;
    for (int k = 1; k <= 3; ++k) withGmin.push_back({m->RowInternalToExternal[k], m->ColInternalToExternal[k], 0.25});
    ExpectSolves(*m, 3, withGmin, false, rng);
}

}  // namespace
