// The modified-nodal-analysis matrix of one analysis phase and its sparse LU
// solver, real (operating point, DC sweep, transient) or complex (AC).
//
// Devices never address the matrix by index while loading: when the matrix is
// built, each device asks GetElement for every (row, column) it will stamp and
// keeps the pointer; later loads add to the element's values directly. The
// pivot order is chosen on the first factorization (Markowitz products with a
// relative and an absolute threshold, diagonal pivots preferred) and reused by
// every later factorization of the same structure.
//
// Rows and columns are numbered by the caller (0 is ground, then the circuit's
// equations). The matrix keeps its own internal numbering and the row and
// column permutations between the two.
//
// Call order of the engine: Create once per phase; GetElement for every device
// entry while the structure is built; PreorderTwins once after the first load;
// then per Newton iteration ClearValues, the loads, FactorReal, Solve. AC runs
// FactorComplex and Solve per frequency.
//
// One matrix belongs to one run: nothing here is shared between matrices, so
// several circuits may solve side by side on different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Result codes of the matrix operations.
constexpr int kMatrixBadArgument = 101;
constexpr int kMatrixOutOfMemory = 15002;  // "%EInsufficient memory."
constexpr int kMatrixSingular = 15051;     // "%EMatrix is singular."

// Defaults of the pivot thresholds (the PIVREL and PIVTOL options).
constexpr double kDefaultRelPivotThreshold = 1e-3;
constexpr double kDefaultAbsPivotThreshold = 1e-13;

// One structurally non-zero position (fill-ins included). Owned by its matrix
// and valid until the matrix is destroyed; a device only adds to its values.
// After a factorization an element holds its L or U factor; a diagonal element
// holds the reciprocal of its pivot.
struct MatrixElement {
    double Real = 0.0;
    double Imag = 0.0;                   // used only in complex mode
    int32_t Row = 0;                     // internal row number
    int32_t Col = 0;                     // internal column number
    MatrixElement* NextInRow = nullptr;  // same row, columns ascending
    MatrixElement* NextInCol = nullptr;  // same column, rows ascending
};

class SparseMatrix {
public:
    // Makes an empty matrix of order 0 in `slot` (replacing what it held) with
    // the given pivot thresholds (the circuit's PIVREL and PIVTOL). `expectedOrder`
    // only reserves room; a negative one gives 101. 0, 101 or 15002 (the slot
    // then stays empty).
    static int Create(std::unique_ptr<SparseMatrix>& slot, double relPivotThreshold = kDefaultRelPivotThreshold,
                      double absPivotThreshold = kDefaultAbsPivotThreshold, int32_t expectedOrder = 0);
    // Frees the matrix and every element in it; the slot becomes empty.
    static void Destroy(std::unique_ptr<SparseMatrix>& slot);

    SparseMatrix(const SparseMatrix&) = delete;
    SparseMatrix& operator=(const SparseMatrix&) = delete;
    ~SparseMatrix();

    // The element at external (row, col), created with value zero when missing.
    // Row or column 0 gives the trash-can element, the same one every time,
    // whose value never reaches an equation. Null for a negative number (Error
    // 101) or when out of memory (Error 15002).
    MatrixElement* GetElement(int32_t row, int32_t col);

    // Zeroes every value and the trash can; clears Error, IsFactored and the
    // singular position.
    void ClearValues();

    // Gives branch equations written with +-1 coefficients (voltage sources,
    // inductors) non-zero diagonals by exchanging twin columns, before any
    // numeric pivoting. Does nothing once the pivot order exists. Returns Error.
    int PreorderTwins();

    // Adds x to the real part of every existing diagonal element (x != 0): the
    // internal diagonal, which once ordered are the pivot positions.
    void AddToDiagonal(double x);

    // Switches to real mode and factors; a non-zero gmin (the engine passes it
    // only while Gmin stepping) is first added as AddToDiagonal does. Orders the
    // matrix when NeedsOrdering is set, else reuses the order. 0, 15051 with
    // SingularRow/SingularCol set, 15002, or a floating-point fault code.
    int FactorReal(double gmin = 0.0);
    // The same in complex arithmetic.
    int FactorComplex();

    // Solves with the present factors. Both vectors are indexed by external
    // number and hold ExternalOrder + 1 entries (doubles in real mode; in complex
    // mode 2 x (ExternalOrder + 1), real and imaginary parts interleaved);
    // entry 0 of the solution is 0. `rhs` is not changed and may not alias
    // `solution`. 0, or 101 when the matrix holds no valid factorization (the
    // solution is then left unchanged).
    int Solve(const double* rhs, double* solution);

    // Elements held, and how many of them are fill-ins.
    int64_t ElementCount() const { return elementCount_; }
    int64_t FillinCount() const { return fillinCount_; }
    // Bytes held by the elements and vectors of the matrix.
    size_t MemoryBytes() const;

    // How the pivot search walks its candidates. Buckets keeps the diagonal
    // candidates ordered by Markowitz product and finds the pivot the full
    // scan finds without visiting every diagonal; Scan visits them in the
    // order the rules name and serves as the reference the bucket search is
    // checked against.
    enum class PivotSearch { Buckets, Scan };
    PivotSearch pivotSearch = PivotSearch::Buckets;

    // ---- state (read-only for callers) -----------------------------------------------
    double AbsPivotThreshold = kDefaultAbsPivotThreshold;
    int32_t AllocatedOrder = 0;
    int32_t AllocatedExternalOrder = 0;
    int32_t IsComplex = 0;
    int32_t AssignedCount = 0;
    std::vector<MatrixElement*> Diagonal;  // by internal index
    std::vector<int32_t> ComplexDirect;    // by internal column
    std::vector<int32_t> RealDirect;       // by internal column
    int32_t Error = 0;
    int32_t ExternalOrder = 0;
    std::vector<int32_t> ColExternalToInternal;  // -1 = not yet assigned; entry 0 is 0
    std::vector<int32_t> RowExternalToInternal;
    int32_t IsFactored = 0;
    std::vector<MatrixElement*> ColumnHeads;  // by internal index
    std::vector<MatrixElement*> RowHeads;     // valid once RowsLinked
    std::vector<double> WorkVector;           // 2 x (order + 1)
    int32_t WorkVectorsReady = 0;
    std::vector<int32_t> ColInternalToExternal;
    std::vector<int32_t> RowInternalToExternal;
    std::vector<int32_t> RowCounts;      // during ordering, by internal index
    std::vector<int32_t> ColCounts;      // during ordering, by internal index
    std::vector<int32_t> CountProducts;  // during ordering, by internal index
    int32_t NeedsOrdering = 1;
    int32_t IsPartitioned = 0;
    int32_t WasComplex = 0;
    double RelPivotThreshold = kDefaultRelPivotThreshold;
    int32_t RowsLinked = 0;
    int32_t SingularCol = 0;  // external column of the failing step
    int32_t SingularRow = 0;  // external row of the failing step
    int32_t SingletonCount = 0;
    int32_t Order = 0;
    MatrixElement TrashCan;

private:
    SparseMatrix() = default;
    struct Ordering;

    int Factor(bool complex);
    int OrderAndFactor(bool complex);
    int FactorWithOrder(bool complex);
    void Partition();
    void ChooseDirectColumns();
    void RebuildIndex();
    void GatherValues(bool complex);
    void ScatterValues();
    template <bool kComplex>
    int FactorColumns();

    void SolveReal(const double* rhs, double* solution);
    void SolveComplex(const double* rhs, double* solution);

    bool TranslateExternal(int32_t ext);
    bool EnlargeExternal(int32_t ext);
    bool EnlargeInternal(int32_t order);
    MatrixElement* NewElement(bool fillin);
    MatrixElement* FindOrCreate(int32_t row, int32_t col);
    void ExchangeColumns(int32_t a, int32_t b);
    int32_t CountTwins(int32_t col, int32_t* twinRow);
    void Relink();
    bool EnsureWorkVectors();
    template <typename F>
    void ForEachElement(F&& f);

    // Elements come from blocks, never one allocation each; a block is freed
    // only with the matrix. A block is raw room for elements, each constructed
    // when handed out, so that a large block is not written twice.
    struct ElementSlot {
        alignas(MatrixElement) std::byte raw[sizeof(MatrixElement)];
    };
    struct BlockFree {
        void operator()(ElementSlot* block) const;
    };
    using ElementBlock = std::unique_ptr<ElementSlot[], BlockFree>;
    static ElementBlock AllocateBlock(int32_t size);  // throws std::bad_alloc
    std::vector<ElementBlock> blocks_;
    std::vector<int32_t> blockUsed_;
    std::vector<int32_t> blockSize_;
    int64_t elementCount_ = 0;
    int64_t fillinCount_ = 0;
    // The factor index (built with the partition after each ordering): the
    // elements column by column in row order, their rows, each column's start
    // and diagonal position, and the values the factoring and solves work on.
    std::vector<int64_t> colStart_;
    std::vector<int64_t> diagPos_;
    std::vector<int32_t> rowIndex_;
    std::vector<MatrixElement*> entries_;
    std::vector<double> values_;
    bool valuesComplex_ = false;
    std::vector<int64_t> positionWork_;  // row -> position in the column being factored
};

// The result of the matrix's last operation, or 15002 for a missing matrix.
int SparseMatrixError(const SparseMatrix* matrix);
