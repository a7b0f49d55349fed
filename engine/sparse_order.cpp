// The first factorization of a structure: pivots chosen by Markowitz product
// (diagonals preferred, a relative and an absolute threshold for stability),
// eliminated step by step with fill-ins created as they appear.
//
// While ordering, elements keep the index they had before it as their row and
// column identity, rows and columns are unsorted arrays, and exchanging two
// rows or columns only swaps their positions ("slots"). Elements that leave the
// active submatrix are dropped from an array the next time it is walked.
// After the last step every element gets its slot numbers and the sorted lists
// are rebuilt once, ready for the reused-order factorization and the solves.
#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory_resource>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include "engine/sparse.h"
#include "engine/sparse_internal.h"
#include "expr/evaluate.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

using sparse_detail::kTiny;

namespace {
constexpr int32_t kProductCap = 2147483646;
// Diagonal candidates of equal product collected beyond the first one.
constexpr int32_t kMaxTiesCollected = 100;
// A product at or below this can end the quick search by ties (5 x product
// reaches the cap of collected ties at 20).
constexpr int32_t kTieEndLimit = kMaxTiesCollected / 5;
}  // namespace

struct SparseMatrix::Ordering {
    SparseMatrix& m;
    const bool complex;
    const int32_t n;
    const double rel;
    const double abs;
    std::vector<int32_t> rowAt, colAt;      // identity at each slot
    std::vector<int32_t> rowSlot, colSlot;  // slot of each identity
    // An element of a row or column with its column or row identity.
    struct LineEntry {
        MatrixElement* element;
        int32_t index;
    };
    // Room for the row and column arrays of one ordering: requests of a large page
    // or more get large-page-aligned memory the system is advised to back by large
    // pages, as the arrays of a large matrix are written all over; smaller ones
    // come from the ordinary heap.
    class LineMemory final : public std::pmr::memory_resource {
        static constexpr size_t kLargePage = size_t{2} << 20;
        void* do_allocate(size_t bytes, size_t alignment) override {
            if (bytes < kLargePage) return std::pmr::new_delete_resource()->allocate(bytes, alignment);
            void* raw = std::aligned_alloc(kLargePage, Rounded(bytes));
            if (!raw) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
            madvise(raw, Rounded(bytes), MADV_HUGEPAGE);  // advice only
#endif
            return raw;
        }
        void do_deallocate(void* p, size_t bytes, size_t alignment) override {
            if (bytes < kLargePage) {
                std::pmr::new_delete_resource()->deallocate(p, bytes, alignment);
            } else {
                std::free(p);
            }
        }
        bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
        static size_t Rounded(size_t bytes) { return (bytes + kLargePage - 1) / kLargePage * kLargePage; }
    };
    LineMemory lineMemory;
    // The arrays grow as fill-ins arrive; a pool keeps their reallocations cheap.
    std::pmr::unsynchronized_pool_resource linePool{&lineMemory};
    std::pmr::vector<std::pmr::vector<LineEntry>> rows{&linePool};  // active row elements by row identity
    std::pmr::vector<std::pmr::vector<LineEntry>> cols{&linePool};  // active column elements by column identity
    std::vector<int32_t> upperMark;                                 // by column identity: 1 + position in `upper`, or 0
    std::vector<MatrixElement*> found;                              // by position in `upper`: the row's element there
    std::vector<const MatrixElement*> otherFor;  // by column identity: the candidate otherLargest excludes
    std::vector<double> otherLargest;
    std::vector<int32_t> touchedMark;  // by slot: step that last touched its counts
    std::vector<int32_t> touched;
    std::vector<MatrixElement*> upper, lower;
    // (product, -slot) of every remaining slot; the nodes come from a pool, as
    // products change many times per step.
    std::pmr::unsynchronized_pool_resource pool;
    std::pmr::set<std::pair<int32_t, int32_t>> buckets{&pool};
    std::vector<int32_t> candidates;
    int32_t step = 0;

    Ordering(SparseMatrix& matrix, bool cx)
        : m(matrix), complex(cx), n(matrix.Order), rel(matrix.RelPivotThreshold), abs(matrix.AbsPivotThreshold) {}

    double Mag(const MatrixElement* e) const { return sparse_detail::Magnitude(e, complex); }
    int32_t Position(int32_t slot) const { return slot == step ? 0 : n - slot + 1; }

    static int32_t Product(int32_t rc, int32_t cc) {
        const int64_t p = static_cast<int64_t>(std::max(rc, 0)) * std::max(cc, 0);
        return static_cast<int32_t>(std::min<int64_t>(p, kProductCap));
    }

    void Init() {
        const size_t size = static_cast<size_t>(n) + 1;
        rowAt.resize(size);
        colAt.resize(size);
        rowSlot.resize(size);
        colSlot.resize(size);
        for (int32_t i = 0; i <= n; ++i) rowAt[i] = colAt[i] = rowSlot[i] = colSlot[i] = i;
        upperMark.assign(size, 0);
        otherFor.assign(size, nullptr);
        otherLargest.assign(size, 0.0);
        touchedMark.assign(size, 0);
        // Rows and columns by identity as arrays of (element, column or row), so
        // that walking one reads a run of memory rather than a chain of links.
        std::fill(m.RowCounts.begin(), m.RowCounts.begin() + size, -1);
        std::fill(m.ColCounts.begin(), m.ColCounts.begin() + size, -1);
        m.ForEachElement([this](MatrixElement* e) {
            ++m.RowCounts[e->Row];
            ++m.ColCounts[e->Col];
        });
        rows.resize(size);
        for (int32_t r = 1; r <= n; ++r) rows[r].reserve(static_cast<size_t>(m.RowCounts[r] + 1));
        cols.resize(size);
        for (int32_t c = 1; c <= n; ++c) cols[c].reserve(static_cast<size_t>(m.ColCounts[c] + 1));
        m.ForEachElement([this](MatrixElement* e) {
            rows[e->Row].push_back({e, e->Col});
            cols[e->Col].push_back({e, e->Row});
        });
        m.SingletonCount = 0;
        for (int32_t s = 1; s <= n; ++s) {
            const int32_t p = Product(m.RowCounts[s], m.ColCounts[s]);
            m.CountProducts[s] = p;
            if (p == 0) ++m.SingletonCount;
            buckets.emplace(p, -s);
        }
    }

    // Walks the active elements of a row (by identity), dropping those whose
    // column was already eliminated.
    template <typename F>
    void ForRowEntries(int32_t rowId, F&& f) {
        std::pmr::vector<LineEntry>& row = rows[rowId];
        size_t kept = 0;
        for (size_t i = 0; i < row.size(); ++i) {
            const LineEntry entry = row[i];
            if (colSlot[entry.index] < step) continue;
            if (kept != i) row[kept] = entry;
            ++kept;
            f(entry);
        }
        row.resize(kept);
    }
    template <typename F>
    void ForRow(int32_t rowId, F&& f) {
        ForRowEntries(rowId, [&](const LineEntry& entry) { f(entry.element); });
    }
    template <typename F>
    void ForCol(int32_t colId, F&& f) {
        std::pmr::vector<LineEntry>& col = cols[colId];
        size_t kept = 0;
        for (size_t i = 0; i < col.size(); ++i) {
            const LineEntry entry = col[i];
            if (rowSlot[entry.index] < step) continue;
            if (kept != i) col[kept] = entry;
            ++kept;
            f(entry.element);
        }
        col.resize(kept);
    }

    // The largest magnitude in a column other than its diagonal candidate,
    // kept until an elimination step changes that column: the pivot searches
    // ask it of the same columns many times.
    double LargestOtherInColumn(const MatrixElement* d) {
        const int32_t colId = d->Col;
        if (otherFor[colId] == d) return otherLargest[colId];
        double largest = 0.0;
        ForCol(colId, [&](MatrixElement* e) {
            if (e != d) largest = std::max(largest, Mag(e));
        });
        otherFor[colId] = d;
        otherLargest[colId] = largest;
        return largest;
    }

    MatrixElement* FindActive(int32_t slotRow, int32_t slotCol) {
        MatrixElement* found = nullptr;
        if (m.RowCounts[slotRow] <= m.ColCounts[slotCol]) {
            const int32_t colId = colAt[slotCol];
            ForRow(rowAt[slotRow], [&](MatrixElement* e) {
                if (e->Col == colId) found = e;
            });
        } else {
            const int32_t rowId = rowAt[slotRow];
            ForCol(colAt[slotCol], [&](MatrixElement* e) {
                if (e->Row == rowId) found = e;
            });
        }
        return found;
    }

    void SetProduct(int32_t s) {
        const int32_t p = Product(m.RowCounts[s], m.ColCounts[s]);
        const int32_t old = m.CountProducts[s];
        if (p == old) return;
        auto node = buckets.extract({old, -s});
        node.value().first = p;
        buckets.insert(std::move(node));
        if (old == 0) --m.SingletonCount;
        if (p == 0) ++m.SingletonCount;
        m.CountProducts[s] = p;
    }

    // ---- pivot search ------------------------------------------------------------------

    bool Eligible(int32_t s) const { return m.Diagonal[s] && Mag(m.Diagonal[s]) > abs; }

    bool PassesThresholds(const MatrixElement* d, double mag, double* ratio) {
        if (!(mag > abs)) return false;
        const double other = LargestOtherInColumn(d);
        if (!(rel * other < mag)) return false;
        *ratio = other / mag;
        return true;
    }

    MatrixElement* SearchSingletons() {
        int32_t examined = 0;
        auto visit = [&](int32_t s, MatrixElement** result) {
            ++examined;
            MatrixElement* d = m.Diagonal[s];
            if (!d) return true;  // ends the stage without a pivot
            double ratio;
            if (PassesThresholds(d, Mag(d), &ratio)) {
                *result = d;
                return true;
            }
            return false;
        };
        MatrixElement* result = nullptr;
        if (m.CountProducts[step] == 0 && visit(step, &result)) return result;
        if (m.pivotSearch == PivotSearch::Scan) {
            for (int32_t s = n; s > step && examined < m.SingletonCount; --s) {
                if (m.CountProducts[s] == 0 && visit(s, &result)) return result;
            }
        } else {
            for (auto it = buckets.lower_bound({0, INT_MIN}); it != buckets.end() && it->first == 0; ++it) {
                if (examined >= m.SingletonCount) break;
                const int32_t s = -it->second;
                if (s != step && visit(s, &result)) return result;
            }
        }
        return nullptr;
    }

    // A diagonal of product 1 whose one other row element and one other column
    // element mirror each other and are not larger than it is taken at once.
    bool SymmetricSingle(const MatrixElement* d, double mag) {
        const MatrixElement* rowOther = nullptr;
        const MatrixElement* colOther = nullptr;
        ForRow(d->Row, [&](MatrixElement* e) {
            if (e != d && !rowOther) rowOther = e;
        });
        ForCol(d->Col, [&](MatrixElement* e) {
            if (e != d && !colOther) colOther = e;
        });
        if (!rowOther || !colOther) return false;
        if (colSlot[rowOther->Col] != rowSlot[colOther->Row]) return false;
        return mag >= std::max(Mag(rowOther), Mag(colOther));
    }

    // Of the collected candidates, the one with the smallest ratio of the
    // largest other column magnitude to its own, below 1 / rel; the first of equals.
    MatrixElement* BestOfCollected(const std::vector<int32_t>& collected) {
        MatrixElement* best = nullptr;
        double bestRatio = 0.0;
        for (int32_t s : collected) {
            MatrixElement* d = m.Diagonal[s];
            const double mag = Mag(d);
            const double ratio = LargestOtherInColumn(d) / mag;
            if (!(ratio < 1.0 / rel)) continue;
            if (!best || ratio < bestRatio) {
                best = d;
                bestRatio = ratio;
            }
        }
        return best;
    }

    // The scan in the order the rules name: the current step, then the
    // diagonals from the highest index down.
    MatrixElement* QuickSearchScan() {
        int32_t minProduct = INT_MAX;
        int32_t added = 0;
        candidates.clear();
        auto visit = [&](int32_t s, MatrixElement** taken) {
            if (!Eligible(s)) return false;
            MatrixElement* d = m.Diagonal[s];
            const int32_t p = m.CountProducts[s];
            if (p == 1 && SymmetricSingle(d, Mag(d))) {
                *taken = d;
                return true;
            }
            if (p < minProduct) {
                minProduct = p;
                candidates.assign(1, s);
                added = 0;
            } else if (p == minProduct) {
                if (added < kMaxTiesCollected) {
                    candidates.push_back(s);
                    ++added;
                }
            } else {
                return false;
            }
            return static_cast<int64_t>(added) >= 5 * static_cast<int64_t>(minProduct);
        };
        MatrixElement* taken = nullptr;
        bool ended = visit(step, &taken);
        for (int32_t s = n; s > step && !ended; --s) ended = visit(s, &taken);
        if (taken) return taken;
        return candidates.empty() ? nullptr : BestOfCollected(candidates);
    }

    // The eligible candidates of one product in scan order, at most `limit`.
    void Collect(int32_t product, int32_t limit, std::vector<int32_t>& out) {
        out.clear();
        if (limit <= 0) return;
        if (m.CountProducts[step] == product && Eligible(step)) out.push_back(step);
        for (auto it = buckets.lower_bound({product, INT_MIN});
             it != buckets.end() && it->first == product && static_cast<int32_t>(out.size()) < limit; ++it) {
            const int32_t s = -it->second;
            if (s != step && Eligible(s)) out.push_back(s);
        }
    }

    // The same choice as QuickSearchScan without visiting every diagonal. The
    // scan keeps the smallest product met; ties of a product p <= 20 end it at
    // the 5p-th tie after the first, provided no smaller product came earlier.
    // So the scan ends at the earliest such position E(p) that precedes the
    // first candidate of every smaller product, and that p wins; when no such
    // end exists, the smallest product present wins.
    MatrixElement* QuickSearchBuckets() {
        constexpr int64_t kNever = INT64_MAX;
        int64_t end = kNever;
        int32_t endProduct = -1;
        int64_t earliestSmaller = kNever;  // first position of any smaller product
        int32_t smallestPresent = -1;
        int64_t takePosition = kNever;
        MatrixElement* take = nullptr;
        for (auto it = buckets.begin(); it != buckets.end();) {
            const int32_t q = it->first;
            if (q > kTieEndLimit && (end != kNever || smallestPresent >= 0)) break;
            const int32_t limit = q <= kTieEndLimit ? 5 * q + 1 : 1;
            Collect(q, limit, candidates);
            if (q == 1) {
                for (int32_t s : candidates) {
                    MatrixElement* d = m.Diagonal[s];
                    if (SymmetricSingle(d, Mag(d))) {
                        takePosition = Position(s);
                        take = d;
                        break;
                    }
                }
            }
            if (!candidates.empty()) {
                if (smallestPresent < 0) smallestPresent = q;
                if (q <= kTieEndLimit && static_cast<int32_t>(candidates.size()) == limit) {
                    const int64_t e = Position(candidates.back());
                    if (e < earliestSmaller && e < end) {
                        end = e;
                        endProduct = q;
                    }
                }
                earliestSmaller = std::min<int64_t>(earliestSmaller, Position(candidates.front()));
            }
            if (q == INT_MAX) break;
            it = buckets.lower_bound({q + 1, INT_MIN});
        }
        if (take && takePosition < end) return take;
        if (end != kNever) {
            Collect(endProduct, 5 * endProduct + 1, candidates);
        } else if (smallestPresent >= 0) {
            Collect(smallestPresent, kMaxTiesCollected + 1, candidates);
        } else {
            return nullptr;
        }
        return BestOfCollected(candidates);
    }

    MatrixElement* DiagonalSearch() {
        MatrixElement* best = nullptr;
        int32_t bestProduct = INT_MAX;
        double bestRatio = 0.0;
        int64_t ties = 0;
        auto visit = [&](int32_t s) {
            MatrixElement* d = m.Diagonal[s];
            if (!d) return false;
            const int32_t p = m.CountProducts[s];
            if (p > bestProduct) return false;
            double ratio;
            if (!PassesThresholds(d, Mag(d), &ratio)) return false;
            if (p < bestProduct) {
                best = d;
                bestProduct = p;
                bestRatio = ratio;
                ties = 0;
            } else {
                ++ties;
                if (ratio < bestRatio) {
                    best = d;
                    bestRatio = ratio;
                }
            }
            return ties >= 5 * static_cast<int64_t>(bestProduct);
        };
        if (!visit(step)) {
            for (int32_t s = n; s > step; --s) {
                if (visit(s)) break;
            }
        }
        return best;
    }

    MatrixElement* WholeMatrixSearch() {
        MatrixElement* best = nullptr;
        int32_t bestProduct = INT_MAX;
        double bestRatio = 0.0;
        int64_t ties = 0;
        MatrixElement* largestElement = nullptr;
        double largestMagnitude = 0.0;
        for (int32_t cs = step; cs <= n; ++cs) {
            const int32_t colId = colAt[cs];
            double largest = 0.0;
            ForCol(colId, [&](MatrixElement* e) {
                const double mag = Mag(e);
                if (mag > largest) largest = mag;
                if (mag > largestMagnitude) {
                    largestMagnitude = mag;
                    largestElement = e;
                }
            });
            if (largest == 0.0) continue;
            bool stop = false;
            ForCol(colId, [&](MatrixElement* e) {
                if (stop) return;
                const double mag = Mag(e);
                if (!(mag > abs) || !(rel * largest < mag)) return;
                const int32_t p = Product(m.RowCounts[rowSlot[e->Row]], m.ColCounts[cs]);
                if (p > bestProduct) return;
                const double ratio = largest / mag;
                if (p < bestProduct) {
                    best = e;
                    bestProduct = p;
                    bestRatio = ratio;
                    ties = 0;
                } else {
                    ++ties;
                    if (ratio < bestRatio) {
                        best = e;
                        bestRatio = ratio;
                    }
                }
                if (ties >= 5 * static_cast<int64_t>(bestProduct)) stop = true;
            });
            if (stop) break;
        }
        return best ? best : largestElement;
    }

    MatrixElement* SearchPivot() {
        if (m.SingletonCount > 0) {
            if (MatrixElement* p = SearchSingletons()) return p;
        }
        MatrixElement* p = m.pivotSearch == PivotSearch::Scan ? QuickSearchScan() : QuickSearchBuckets();
        if (p) return p;
        if ((p = DiagonalSearch())) return p;
        return WholeMatrixSearch();
    }

    // ---- exchange and elimination ------------------------------------------------------

    void Exchange(MatrixElement* pivot) {
        const int32_t pr = rowSlot[pivot->Row];
        const int32_t pc = colSlot[pivot->Col];
        if (pr == step && pc == step) return;
        int32_t affected[3] = {step, pr, pc};
        int32_t count = 1;
        if (pr != step) affected[count++] = pr;
        if (pc != step && pc != pr) affected[count++] = pc;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t s = affected[i];
            buckets.erase({m.CountProducts[s], -s});
            if (m.CountProducts[s] == 0) --m.SingletonCount;
        }
        if (pr != step) {
            std::swap(rowAt[step], rowAt[pr]);
            rowSlot[rowAt[step]] = step;
            rowSlot[rowAt[pr]] = pr;
            std::swap(m.RowCounts[step], m.RowCounts[pr]);
        }
        if (pc != step) {
            std::swap(colAt[step], colAt[pc]);
            colSlot[colAt[step]] = step;
            colSlot[colAt[pc]] = pc;
            std::swap(m.ColCounts[step], m.ColCounts[pc]);
        }
        for (int32_t i = 0; i < count; ++i) {
            const int32_t s = affected[i];
            m.Diagonal[s] = s == step ? pivot : FindActive(s, s);
            const int32_t p = Product(m.RowCounts[s], m.ColCounts[s]);
            m.CountProducts[s] = p;
            if (p == 0) ++m.SingletonCount;
            buckets.emplace(p, -s);
        }
    }

    void Touch(int32_t s) {
        if (touchedMark[s] == step) return;
        touchedMark[s] = step;
        touched.push_back(s);
    }

    void Eliminate(MatrixElement* pivot) {
        // The pivot becomes its reciprocal, the row right of it the U factor.
        if (complex) {
            sparse_detail::ComplexReciprocal(pivot->Real, pivot->Imag);
        } else {
            pivot->Real = 1.0 / pivot->Real;
        }
        upper.clear();
        lower.clear();
        ForRow(pivot->Row, [&](MatrixElement* e) {
            if (e != pivot) upper.push_back(e);
        });
        ForCol(pivot->Col, [&](MatrixElement* e) {
            if (e != pivot) lower.push_back(e);
        });
        for (MatrixElement* u : upper) {
            if (complex) {
                const double r = u->Real * pivot->Real - u->Imag * pivot->Imag;
                u->Imag = u->Real * pivot->Imag + u->Imag * pivot->Real;
                u->Real = r;
            } else {
                u->Real = sparse_detail::GuardedProduct(u->Real, pivot->Real);
            }
            const int32_t cs = colSlot[u->Col];
            --m.ColCounts[cs];
            Touch(cs);
            otherFor[u->Col] = nullptr;
        }
        otherFor[pivot->Col] = nullptr;
        for (size_t ui = 0; ui < upper.size(); ++ui) upperMark[upper[ui]->Col] = static_cast<int32_t>(ui) + 1;
        found.assign(upper.size(), nullptr);
        touched.reserve(touched.size() + lower.size());
        for (MatrixElement* l : lower) {
            const int32_t rowId = l->Row;
            const int32_t rs = rowSlot[rowId];
            --m.RowCounts[rs];
            Touch(rs);
            if (upper.empty()) continue;
            ForRowEntries(rowId, [&](const LineEntry& entry) {
                if (const int32_t at = upperMark[entry.index]) found[at - 1] = entry.element;
            });
            for (size_t ui = 0; ui < upper.size(); ++ui) {
                MatrixElement* const u = upper[ui];
                MatrixElement* t = found[ui];
                found[ui] = nullptr;
                if (!t) {
                    t = m.NewElement(true);
                    t->Row = rowId;
                    t->Col = u->Col;
                    rows[rowId].push_back({t, u->Col});
                    cols[u->Col].push_back({t, rowId});
                    const int32_t cs = colSlot[u->Col];
                    ++m.RowCounts[rs];
                    ++m.ColCounts[cs];
                    Touch(cs);
                    if (rs == cs) m.Diagonal[rs] = t;
                }
                if (complex) {
                    t->Real -= l->Real * u->Real - l->Imag * u->Imag;
                    t->Imag -= l->Real * u->Imag + l->Imag * u->Real;
                } else if (std::fabs(l->Real) > kTiny && std::fabs(u->Real) > kTiny) {
                    t->Real -= l->Real * u->Real;
                }
            }
        }
        for (MatrixElement* u : upper) upperMark[u->Col] = 0;
        for (int32_t s : touched) {
            if (s != step) SetProduct(s);
        }
        touched.clear();
        buckets.erase({m.CountProducts[step], -step});
        if (m.CountProducts[step] == 0) --m.SingletonCount;
    }

    // Every element takes its slot numbers; maps follow the permutation.
    void Finish() {
        std::vector<int32_t> rowExt(static_cast<size_t>(n) + 1), colExt(static_cast<size_t>(n) + 1);
        for (int32_t s = 1; s <= n; ++s) {
            rowExt[s] = m.RowInternalToExternal[rowAt[s]];
            colExt[s] = m.ColInternalToExternal[colAt[s]];
        }
        for (int32_t s = 1; s <= n; ++s) {
            m.RowInternalToExternal[s] = rowExt[s];
            m.ColInternalToExternal[s] = colExt[s];
            m.RowExternalToInternal[rowExt[s]] = s;
            m.ColExternalToInternal[colExt[s]] = s;
        }
        m.ForEachElement([this](MatrixElement* e) {
            e->Row = rowSlot[e->Row];
            e->Col = colSlot[e->Col];
        });
        rows.clear();
        cols.clear();
        rows.shrink_to_fit();
        cols.shrink_to_fit();
        linePool.release();
        m.RebuildIndex();
    }
};

int SparseMatrix::OrderAndFactor(bool complex) {
    // Only the ordering's own faults count: the status raised before it (by
    // device loads, say) is set aside and given back afterwards, and an
    // underflow of tiny factors is no fault of the matrix.
    std::fexcept_t earlier;
    std::fegetexceptflag(&earlier, FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
    int result = 0;
    try {
        Ordering o(*this, complex);
        o.Init();
        for (int32_t k = 1; k <= Order; ++k) {
            o.step = k;
            MatrixElement* pivot = o.SearchPivot();
            if (!pivot) {
                SingularRow = RowInternalToExternal[o.rowAt[k]];
                SingularCol = ColInternalToExternal[o.colAt[k]];
                result = kMatrixSingular;
                break;
            }
            o.Exchange(pivot);
            o.Eliminate(pivot);
        }
        o.step = Order + 1;
        o.Finish();
    } catch (const std::bad_alloc&) {
        result = kMatrixOutOfMemory;
        IsPartitioned = 0;
        // The lists may be half threaded; rebuild them from the store so the
        // matrix stays whole for the next ordering or for destruction.
        Relink();
    }
    if (result == 0) {
        try {
            GatherValues(complex);
        } catch (const std::bad_alloc&) {
            result = kMatrixOutOfMemory;
        }
    }
    if (result != 0) IsPartitioned = 0;
    if (result == 0 && std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)) result = CheckMathError();
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetexceptflag(&earlier, FE_ALL_EXCEPT);
    Error = result;
    if (result == 0) {
        NeedsOrdering = 0;
        IsFactored = 1;
    } else {
        NeedsOrdering = 1;
        IsFactored = 0;
    }
    return result;
}
