// Element store, structure building, pre-ordering, factorization with a reused
// order, and the solves. The pivot choice lives in sparse_order.cpp.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "engine/sparse.h"
#include "engine/sparse_internal.h"

namespace {
constexpr int32_t kMinAllocatedOrder = 6;
}  // namespace

int SparseMatrixError(const SparseMatrix* matrix) { return matrix ? matrix->Error : kMatrixOutOfMemory; }

int SparseMatrix::Create(std::unique_ptr<SparseMatrix>& slot, double relPivotThreshold, double absPivotThreshold,
                         int32_t expectedOrder) {
    slot.reset();
    if (expectedOrder < 0) return kMatrixBadArgument;
    try {
        std::unique_ptr<SparseMatrix> m(new SparseMatrix());
        m->RelPivotThreshold =
            (relPivotThreshold > 0.0 && relPivotThreshold <= 1.0) ? relPivotThreshold : kDefaultRelPivotThreshold;
        m->AbsPivotThreshold = absPivotThreshold >= 0.0 ? absPivotThreshold : kDefaultAbsPivotThreshold;
        const int32_t alloc = std::max(kMinAllocatedOrder, expectedOrder);
        if (!m->EnlargeInternal(alloc) || !m->EnlargeExternal(alloc)) return kMatrixOutOfMemory;
        slot = std::move(m);
    } catch (const std::bad_alloc&) {
        return kMatrixOutOfMemory;
    }
    return 0;
}

void SparseMatrix::Destroy(std::unique_ptr<SparseMatrix>& slot) { slot.reset(); }

SparseMatrix::~SparseMatrix() = default;

void SparseMatrix::BlockFree::operator()(ElementSlot* block) const { std::free(block); }

SparseMatrix::ElementBlock SparseMatrix::AllocateBlock(int32_t size) {
    const size_t bytes = static_cast<size_t>(size) * sizeof(ElementSlot);
    void* raw = nullptr;
    if (bytes >= static_cast<size_t>(sparse_detail::kLargeBlockBytes) / 2) {
        // The fill-ins of a large ordering are met in no order: large pages
        // spare both the faults of first use and the address-translation misses.
        constexpr size_t kLargePage = size_t{2} << 20;
        const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
        raw = std::aligned_alloc(kLargePage, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (raw) madvise(raw, rounded, MADV_HUGEPAGE);  // advice only: failure changes nothing
#endif
    } else {
        raw = std::malloc(bytes);
    }
    if (!raw) throw std::bad_alloc();
    return ElementBlock(static_cast<ElementSlot*>(raw));
}

bool SparseMatrix::EnlargeInternal(int32_t needed) {
    if (needed <= AllocatedOrder) return true;
    const int64_t grown = static_cast<int64_t>(AllocatedOrder) * 3 / 2;
    const int32_t alloc = static_cast<int32_t>(std::max<int64_t>(needed, std::min<int64_t>(grown, INT32_MAX - 2)));
    try {
        const size_t size = static_cast<size_t>(alloc) + 1;
        const size_t old = ColInternalToExternal.size();
        Diagonal.resize(size, nullptr);
        ComplexDirect.resize(size, 0);
        RealDirect.resize(size, 0);
        ColumnHeads.resize(size, nullptr);
        RowHeads.resize(size, nullptr);
        ColInternalToExternal.resize(size, 0);
        RowInternalToExternal.resize(size, 0);
        for (size_t i = old; i < size; ++i)
            ColInternalToExternal[i] = RowInternalToExternal[i] = static_cast<int32_t>(i);
    } catch (const std::bad_alloc&) {
        Error = kMatrixOutOfMemory;
        return false;
    }
    AllocatedOrder = alloc;
    // The counting and work vectors follow the order; they are made again when next needed.
    WorkVectorsReady = 0;
    std::vector<int32_t>().swap(RowCounts);
    std::vector<int32_t>().swap(ColCounts);
    std::vector<int32_t>().swap(CountProducts);
    std::vector<double>().swap(WorkVector);
    return true;
}

bool SparseMatrix::EnlargeExternal(int32_t needed) {
    if (needed <= AllocatedExternalOrder && !ColExternalToInternal.empty()) return true;
    const int64_t grown = static_cast<int64_t>(AllocatedExternalOrder) * 3 / 2;
    const int32_t alloc = static_cast<int32_t>(std::max<int64_t>(needed, std::min<int64_t>(grown, INT32_MAX - 2)));
    try {
        ColExternalToInternal.resize(static_cast<size_t>(alloc) + 1, -1);
        RowExternalToInternal.resize(static_cast<size_t>(alloc) + 1, -1);
    } catch (const std::bad_alloc&) {
        Error = kMatrixOutOfMemory;
        return false;
    }
    ColExternalToInternal[0] = RowExternalToInternal[0] = 0;
    AllocatedExternalOrder = alloc;
    return true;
}

bool SparseMatrix::EnsureWorkVectors() {
    if (WorkVectorsReady) return true;
    try {
        const size_t size = static_cast<size_t>(AllocatedOrder) + 2;
        WorkVector.assign(2 * size, 0.0);
        RowCounts.assign(size, 0);
        ColCounts.assign(size, 0);
        CountProducts.assign(size, 0);
    } catch (const std::bad_alloc&) {
        Error = kMatrixOutOfMemory;
        return false;
    }
    WorkVectorsReady = 1;
    return true;
}

bool SparseMatrix::TranslateExternal(int32_t ext) {
    if (ext > ExternalOrder) {
        if (!EnlargeExternal(ext)) return false;
        ExternalOrder = ext;
    }
    if (RowExternalToInternal[ext] >= 0) return true;
    if (AssignedCount == INT32_MAX - 2) {
        Error = kMatrixOutOfMemory;
        return false;
    }
    const int32_t internal = AssignedCount + 1;
    if (!EnlargeInternal(internal)) return false;
    AssignedCount = internal;
    Order = internal;
    RowExternalToInternal[ext] = ColExternalToInternal[ext] = internal;
    RowInternalToExternal[internal] = ColInternalToExternal[internal] = ext;
    Diagonal[internal] = nullptr;
    ColumnHeads[internal] = RowHeads[internal] = nullptr;
    // A new index changes the structure: the old order no longer covers it.
    NeedsOrdering = 1;
    IsPartitioned = 0;
    return true;
}

MatrixElement* SparseMatrix::GetElement(int32_t row, int32_t col) {
    if (row < 0 || col < 0) {
        Error = kMatrixBadArgument;
        return nullptr;
    }
    if (row == 0 || col == 0) return &TrashCan;
    if (!TranslateExternal(row) || !TranslateExternal(col)) return nullptr;
    try {
        return FindOrCreate(RowExternalToInternal[row], ColExternalToInternal[col]);
    } catch (const std::bad_alloc&) {
        Error = kMatrixOutOfMemory;
        return nullptr;
    }
}

MatrixElement* SparseMatrix::FindOrCreate(int32_t r, int32_t c) {
    if (r == c && Diagonal[r]) return Diagonal[r];
    MatrixElement* prev = nullptr;
    MatrixElement* e = ColumnHeads[c];
    while (e && e->Row < r) {
        prev = e;
        e = e->NextInCol;
    }
    if (e && e->Row == r) return e;
    MatrixElement* created = NewElement(false);
    created->Row = r;
    created->Col = c;
    created->NextInCol = e;
    if (prev) {
        prev->NextInCol = created;
    } else {
        ColumnHeads[c] = created;
    }
    if (r == c) Diagonal[r] = created;
    if (RowsLinked) {
        MatrixElement* rp = nullptr;
        MatrixElement* re = RowHeads[r];
        while (re && re->Col < c) {
            rp = re;
            re = re->NextInRow;
        }
        created->NextInRow = re;
        if (rp) {
            rp->NextInRow = created;
        } else {
            RowHeads[r] = created;
        }
        // The old order has no place for the new position.
        NeedsOrdering = 1;
        IsPartitioned = 0;
    }
    return created;
}

void SparseMatrix::ClearValues() {
    ForEachElement([](MatrixElement* e) { e->Real = e->Imag = 0.0; });
    TrashCan.Real = TrashCan.Imag = 0.0;
    WasComplex = IsComplex;
    Error = 0;
    IsFactored = 0;
    SingularRow = SingularCol = 0;
}

void SparseMatrix::AddToDiagonal(double x) {
    if (x == 0.0) return;
    for (int32_t k = 1; k <= Order; ++k) {
        if (Diagonal[k]) Diagonal[k]->Real += x;
    }
}

// ---- +-1 pre-ordering ------------------------------------------------------------------

int32_t SparseMatrix::CountTwins(int32_t col, int32_t* twinRow) {
    int32_t count = 0;
    for (MatrixElement* e = ColumnHeads[col]; e; e = e->NextInCol) {
        if (std::fabs(e->Real) != 1.0) continue;
        const int32_t r = e->Row;
        for (MatrixElement* t = ColumnHeads[r]; t && t->Row <= col; t = t->NextInCol) {
            if (t->Row == col && std::fabs(t->Real) == 1.0) {
                if (++count == 1) *twinRow = r;
                break;
            }
        }
    }
    return count;
}

void SparseMatrix::ExchangeColumns(int32_t a, int32_t b) {
    std::swap(ColumnHeads[a], ColumnHeads[b]);
    Diagonal[a] = Diagonal[b] = nullptr;
    for (MatrixElement* e = ColumnHeads[a]; e; e = e->NextInCol) {
        e->Col = a;
        if (e->Row == a) Diagonal[a] = e;
    }
    for (MatrixElement* e = ColumnHeads[b]; e; e = e->NextInCol) {
        e->Col = b;
        if (e->Row == b) Diagonal[b] = e;
    }
    std::swap(ColInternalToExternal[a], ColInternalToExternal[b]);
    ColExternalToInternal[ColInternalToExternal[a]] = a;
    ColExternalToInternal[ColInternalToExternal[b]] = b;
}

int SparseMatrix::PreorderTwins() {
    if (RowsLinked || Order == 0) return Error;
    int32_t start = 1;
    for (;;) {
        int32_t several = 0;
        for (int32_t j = start; j <= Order; ++j) {
            if (Diagonal[j]) continue;
            int32_t twin = 0;
            const int32_t n = CountTwins(j, &twin);
            if (n == 1) {
                ExchangeColumns(j, twin);
            } else if (n > 1 && several == 0) {
                several = j;
            }
        }
        if (several == 0) break;
        start = several;
        // A column with several twins takes its first one; a column with none
        // is passed over, so that every round places at least one diagonal and
        // the rounds end.
        bool exchanged = false;
        for (int32_t j = start; j <= Order && !exchanged; ++j) {
            if (Diagonal[j]) continue;
            int32_t twin = 0;
            if (CountTwins(j, &twin) > 0) {
                ExchangeColumns(j, twin);
                exchanged = true;
            }
        }
        if (!exchanged) break;
    }
    return Error;
}

// ---- factorization ---------------------------------------------------------------------

int SparseMatrix::FactorReal(double gmin) {
    IsComplex = 0;
    if (gmin != 0.0) AddToDiagonal(gmin);
    return Factor(false);
}

int SparseMatrix::FactorComplex() {
    IsComplex = 1;
    return Factor(true);
}

int SparseMatrix::Factor(bool complex) {
    Error = 0;
    IsFactored = 0;
    SingularRow = SingularCol = 0;
    if (!(RelPivotThreshold > 0.0 && RelPivotThreshold <= 1.0)) RelPivotThreshold = kDefaultRelPivotThreshold;
    if (!(AbsPivotThreshold >= 0.0)) AbsPivotThreshold = kDefaultAbsPivotThreshold;
    if (Order == 0) {
        NeedsOrdering = 0;
        IsFactored = 1;
        return 0;
    }
    if (!EnsureWorkVectors()) return Error;
    return NeedsOrdering ? OrderAndFactor(complex) : FactorWithOrder(complex);
}

void SparseMatrix::Partition() {
    // The factor index: every column's elements in row order, as positions into
    // contiguous arrays, so that refactoring and solving walk memory in order
    // instead of chasing list links across the element blocks.
    const size_t n = static_cast<size_t>(Order);
    colStart_.assign(n + 2, 0);
    diagPos_.assign(n + 1, 0);
    int64_t total = 0;
    for (int32_t k = 1; k <= Order; ++k) {
        colStart_[k] = total;
        for (MatrixElement* e = ColumnHeads[k]; e; e = e->NextInCol) ++total;
    }
    colStart_[n + 1] = total;
    rowIndex_.resize(static_cast<size_t>(total));
    entries_.resize(static_cast<size_t>(total));
    int64_t p = 0;
    for (int32_t k = 1; k <= Order; ++k) {
        diagPos_[k] = -1;
        for (MatrixElement* e = ColumnHeads[k]; e; e = e->NextInCol, ++p) {
            rowIndex_[p] = e->Row;
            entries_[p] = e;
            if (e->Row == k) diagPos_[k] = p;
        }
    }
    ChooseDirectColumns();
}

void SparseMatrix::ChooseDirectColumns() {
    // A mock elimination: columns fed by many earlier columns are cheaper to
    // eliminate through the dense work vector than through positions.
    for (int32_t k = 1; k <= Order; ++k) {
        const int64_t c = colStart_[k + 1] - colStart_[k];
        int64_t m = 0, o = 0;
        for (int64_t q = colStart_[k]; q < colStart_[k + 1] && rowIndex_[q] < k; ++q) {
            const int32_t j = rowIndex_[q];
            ++m;
            if (diagPos_[j] >= 0) o += colStart_[j + 1] - diagPos_[j] - 1;
        }
        RealDirect[k] = (m + o > 3 * c - 2 * m) ? 1 : 0;
        ComplexDirect[k] = (m + o > 7 * c - 4 * m) ? 1 : 0;
    }
    IsPartitioned = 1;
}

void SparseMatrix::GatherValues(bool complex) {
    const size_t total = entries_.size();
    if (complex) {
        values_.resize(2 * total);
        for (size_t p = 0; p < total; ++p) {
            values_[2 * p] = entries_[p]->Real;
            values_[2 * p + 1] = entries_[p]->Imag;
        }
    } else {
        values_.resize(total);
        for (size_t p = 0; p < total; ++p) values_[p] = entries_[p]->Real;
    }
    valuesComplex_ = complex;
}

void SparseMatrix::ScatterValues() {
    const size_t total = entries_.size();
    if (valuesComplex_) {
        for (size_t p = 0; p < total; ++p) {
            entries_[p]->Real = values_[2 * p];
            entries_[p]->Imag = values_[2 * p + 1];
        }
    } else {
        for (size_t p = 0; p < total; ++p) entries_[p]->Real = values_[p];
    }
}

int SparseMatrix::FactorWithOrder(bool complex) {
    try {
        if (!IsPartitioned) Partition();
        GatherValues(complex);
        positionWork_.resize(static_cast<size_t>(Order) + 1);
    } catch (const std::bad_alloc&) {
        IsPartitioned = 0;
        Error = kMatrixOutOfMemory;
        return Error;
    }
    const int result = complex ? FactorColumns<true>() : FactorColumns<false>();
    ScatterValues();
    Error = result;
    IsFactored = result == 0 ? 1 : 0;
    return result;
}

template <bool kComplex>
int SparseMatrix::FactorColumns() {
    using sparse_detail::kTiny;
    double* x = WorkVector.data();
    double* v = values_.data();
    int64_t* pos = positionWork_.data();
    const int32_t* rows = rowIndex_.data();
    for (int32_t k = 1; k <= Order; ++k) {
        const int64_t begin = colStart_[k], end = colStart_[k + 1], dk = diagPos_[k];
        if (dk < 0) {
            SingularRow = RowInternalToExternal[k];
            SingularCol = ColInternalToExternal[k];
            return kMatrixSingular;
        }
        const bool direct = kComplex ? ComplexDirect[k] != 0 : RealDirect[k] != 0;
        if (direct) {
            for (int64_t p = begin; p < end; ++p) {
                if constexpr (kComplex) {
                    x[2 * rows[p]] = v[2 * p];
                    x[2 * rows[p] + 1] = v[2 * p + 1];
                } else {
                    x[rows[p]] = v[p];
                }
            }
        } else {
            for (int64_t p = begin; p < end; ++p) pos[rows[p]] = p;
        }
        for (int64_t p = begin; p < dk; ++p) {
            const int32_t j = rows[p];
            const int64_t dj = diagPos_[j];
            const int64_t jEnd = colStart_[j + 1];
            if constexpr (kComplex) {
                double* xj = direct ? &x[2 * j] : &v[2 * p];
                const double ur = xj[0] * v[2 * dj] - xj[1] * v[2 * dj + 1];
                const double ui = xj[0] * v[2 * dj + 1] + xj[1] * v[2 * dj];
                xj[0] = ur;
                xj[1] = ui;
                if (ur == 0.0 && ui == 0.0) continue;
                for (int64_t q = dj + 1; q < jEnd; ++q) {
                    double* t = direct ? &x[2 * rows[q]] : &v[2 * pos[rows[q]]];
                    t[0] -= v[2 * q] * ur - v[2 * q + 1] * ui;
                    t[1] -= v[2 * q] * ui + v[2 * q + 1] * ur;
                }
            } else {
                double& xj = direct ? x[j] : v[p];
                const double u = sparse_detail::GuardedProduct(xj, v[dj]);
                xj = u;
                if (std::fabs(u) <= kTiny) continue;
                if (direct) {
                    for (int64_t q = dj + 1; q < jEnd; ++q) {
                        if (std::fabs(v[q]) > kTiny) x[rows[q]] -= v[q] * u;
                    }
                } else {
                    for (int64_t q = dj + 1; q < jEnd; ++q) {
                        if (std::fabs(v[q]) > kTiny) v[pos[rows[q]]] -= v[q] * u;
                    }
                }
            }
        }
        if (direct) {
            for (int64_t p = begin; p < end; ++p) {
                if constexpr (kComplex) {
                    v[2 * p] = x[2 * rows[p]];
                    v[2 * p + 1] = x[2 * rows[p] + 1];
                    x[2 * rows[p]] = x[2 * rows[p] + 1] = 0.0;
                } else {
                    v[p] = x[rows[p]];
                    x[rows[p]] = 0.0;
                }
            }
        }
        bool zero;
        if constexpr (kComplex) {
            zero = std::fabs(v[2 * dk]) + std::fabs(v[2 * dk + 1]) == 0.0;
        } else {
            zero = v[dk] == 0.0;
        }
        if (zero) {
            SingularRow = RowInternalToExternal[k];
            SingularCol = ColInternalToExternal[k];
            return kMatrixSingular;
        }
        if constexpr (kComplex) {
            sparse_detail::ComplexReciprocal(v[2 * dk], v[2 * dk + 1]);
        } else {
            v[dk] = 1.0 / v[dk];
        }
    }
    return 0;
}

// ---- solves ----------------------------------------------------------------------------

int SparseMatrix::Solve(const double* rhs, double* solution) {
    if (!IsFactored || !rhs || !solution) return kMatrixBadArgument;
    if (Order > 0 && (!IsPartitioned || valuesComplex_ != (IsComplex != 0))) return kMatrixBadArgument;
    if (IsComplex) {
        SolveComplex(rhs, solution);
    } else {
        SolveReal(rhs, solution);
    }
    return 0;
}

// Forward through the L columns; backward column by column through U, each
// solved unknown subtracted from the rows above it.
void SparseMatrix::SolveReal(const double* rhs, double* solution) {
    using sparse_detail::kTiny;
    double* b = WorkVector.data();
    const double* v = values_.data();
    const int32_t* rows = rowIndex_.data();
    for (int32_t k = 1; k <= Order; ++k) b[k] = rhs[RowInternalToExternal[k]];
    for (int32_t k = 1; k <= Order; ++k) {
        double x = b[k];
        if (std::fabs(x) <= kTiny) continue;
        const int64_t dk = diagPos_[k];
        x = std::fabs(v[dk]) > kTiny ? x * v[dk] : 0.0;
        b[k] = x;
        if (x == 0.0) continue;
        for (int64_t q = dk + 1, end = colStart_[k + 1]; q < end; ++q) {
            if (std::fabs(v[q]) > kTiny) b[rows[q]] -= v[q] * x;
        }
    }
    for (int32_t k = Order; k >= 1; --k) {
        const double x = b[k];
        if (std::fabs(x) <= kTiny) continue;
        for (int64_t q = colStart_[k], end = diagPos_[k]; q < end; ++q) {
            if (std::fabs(v[q]) > kTiny) b[rows[q]] -= v[q] * x;
        }
    }
    std::fill(solution, solution + ExternalOrder + 1, 0.0);
    for (int32_t k = 1; k <= Order; ++k) {
        solution[ColInternalToExternal[k]] = b[k];
        b[k] = 0.0;
    }
}

void SparseMatrix::SolveComplex(const double* rhs, double* solution) {
    double* b = WorkVector.data();
    const double* v = values_.data();
    const int32_t* rows = rowIndex_.data();
    for (int32_t k = 1; k <= Order; ++k) {
        const int32_t ext = RowInternalToExternal[k];
        b[2 * k] = rhs[2 * ext];
        b[2 * k + 1] = rhs[2 * ext + 1];
    }
    for (int32_t k = 1; k <= Order; ++k) {
        double xr = b[2 * k], xi = b[2 * k + 1];
        if (xr == 0.0 && xi == 0.0) continue;
        const int64_t dk = diagPos_[k];
        const double tr = xr * v[2 * dk] - xi * v[2 * dk + 1];
        xi = xr * v[2 * dk + 1] + xi * v[2 * dk];
        xr = tr;
        b[2 * k] = xr;
        b[2 * k + 1] = xi;
        for (int64_t q = dk + 1, end = colStart_[k + 1]; q < end; ++q) {
            b[2 * rows[q]] -= v[2 * q] * xr - v[2 * q + 1] * xi;
            b[2 * rows[q] + 1] -= v[2 * q] * xi + v[2 * q + 1] * xr;
        }
    }
    for (int32_t k = Order; k >= 1; --k) {
        const double xr = b[2 * k], xi = b[2 * k + 1];
        if (xr == 0.0 && xi == 0.0) continue;
        for (int64_t q = colStart_[k], end = diagPos_[k]; q < end; ++q) {
            b[2 * rows[q]] -= v[2 * q] * xr - v[2 * q + 1] * xi;
            b[2 * rows[q] + 1] -= v[2 * q] * xi + v[2 * q + 1] * xr;
        }
    }
    std::fill(solution, solution + 2 * (static_cast<size_t>(ExternalOrder) + 1), 0.0);
    for (int32_t k = 1; k <= Order; ++k) {
        const int32_t ext = ColInternalToExternal[k];
        solution[2 * ext] = b[2 * k];
        solution[2 * ext + 1] = b[2 * k + 1];
        b[2 * k] = b[2 * k + 1] = 0.0;
    }
}

// ---- structure after ordering ----------------------------------------------------------

void SparseMatrix::RebuildIndex() {
    // Two counting sorts (by row, then stably by column) put the elements in
    // column order with rows ascending; the lists and the factor index are
    // then threaded from that one array.
    const size_t n = static_cast<size_t>(Order);
    std::vector<int64_t> rowStart(n + 2, 0);
    colStart_.assign(n + 2, 0);
    diagPos_.assign(n + 1, -1);
    ForEachElement([&](MatrixElement* e) {
        ++rowStart[e->Row + 1];
        ++colStart_[e->Col + 1];
    });
    rowStart[1] = colStart_[1] = 0;
    for (size_t k = 2; k <= n + 1; ++k) {
        rowStart[k] += rowStart[k - 1];
        colStart_[k] += colStart_[k - 1];
    }
    const int64_t total = colStart_[n + 1];
    std::vector<MatrixElement*> byRow(static_cast<size_t>(total));
    entries_.resize(static_cast<size_t>(total));
    rowIndex_.resize(static_cast<size_t>(total));
    ForEachElement([&](MatrixElement* e) { byRow[rowStart[e->Row]++] = e; });
    std::vector<int64_t>& fill = rowStart;  // reused as the column fill positions
    std::copy(colStart_.begin(), colStart_.end(), fill.begin());
    for (MatrixElement* e : byRow) entries_[fill[e->Col]++] = e;
    std::vector<MatrixElement*>().swap(byRow);
    std::fill(RowHeads.begin(), RowHeads.begin() + Order + 1, nullptr);
    std::fill(Diagonal.begin(), Diagonal.begin() + Order + 1, nullptr);
    for (int32_t k = 1; k <= Order; ++k) {
        const int64_t begin = colStart_[k], end = colStart_[k + 1];
        ColumnHeads[k] = begin < end ? entries_[begin] : nullptr;
        for (int64_t p = begin; p < end; ++p) {
            MatrixElement* e = entries_[p];
            e->NextInCol = p + 1 < end ? entries_[p + 1] : nullptr;
            rowIndex_[p] = e->Row;
            if (e->Row == k) {
                Diagonal[k] = e;
                diagPos_[k] = p;
            }
        }
    }
    for (int64_t p = total - 1; p >= 0; --p) {
        MatrixElement* e = entries_[p];
        e->NextInRow = RowHeads[e->Row];
        RowHeads[e->Row] = e;
    }
    RowsLinked = 1;
    ChooseDirectColumns();
}

void SparseMatrix::Relink() {
    // Row and column lists sorted again in two bucket passes: elements threaded
    // by row, taken rows descending and pushed onto their columns, give sorted
    // columns; columns taken descending and pushed onto rows give sorted rows.
    std::fill(RowHeads.begin(), RowHeads.begin() + Order + 1, nullptr);
    std::fill(ColumnHeads.begin(), ColumnHeads.begin() + Order + 1, nullptr);
    std::fill(Diagonal.begin(), Diagonal.begin() + Order + 1, nullptr);
    ForEachElement([this](MatrixElement* e) {
        e->NextInRow = RowHeads[e->Row];
        RowHeads[e->Row] = e;
        if (e->Row == e->Col) Diagonal[e->Row] = e;
    });
    for (int32_t r = Order; r >= 1; --r) {
        MatrixElement* e = RowHeads[r];
        while (e) {
            MatrixElement* next = e->NextInRow;
            e->NextInCol = ColumnHeads[e->Col];
            ColumnHeads[e->Col] = e;
            e = next;
        }
    }
    std::fill(RowHeads.begin(), RowHeads.begin() + Order + 1, nullptr);
    for (int32_t c = Order; c >= 1; --c) {
        for (MatrixElement* e = ColumnHeads[c]; e; e = e->NextInCol) {
            e->NextInRow = RowHeads[e->Row];
            RowHeads[e->Row] = e;
        }
    }
    RowsLinked = 1;
}

size_t SparseMatrix::MemoryBytes() const {
    size_t bytes = sizeof(*this);
    for (int32_t size : blockSize_) bytes += static_cast<size_t>(size) * sizeof(MatrixElement);
    bytes += blocks_.capacity() * sizeof(blocks_[0]) + (blockUsed_.capacity() + blockSize_.capacity()) * 4;
    bytes += (Diagonal.capacity() + ColumnHeads.capacity() + RowHeads.capacity() + entries_.capacity()) * sizeof(void*);
    bytes += (ComplexDirect.capacity() + RealDirect.capacity() + ColExternalToInternal.capacity() +
              RowExternalToInternal.capacity() + ColInternalToExternal.capacity() + RowInternalToExternal.capacity() +
              RowCounts.capacity() + ColCounts.capacity() + CountProducts.capacity()) *
             sizeof(int32_t);
    bytes += (WorkVector.capacity() + values_.capacity()) * sizeof(double);
    bytes += (colStart_.capacity() + diagPos_.capacity() + positionWork_.capacity()) * sizeof(int64_t);
    bytes += rowIndex_.capacity() * sizeof(int32_t);
    return bytes;
}
