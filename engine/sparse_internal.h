// Small numeric helpers shared by the sparse matrix's source files.
#pragma once

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/sparse.h"

namespace sparse_detail {

// The largest element block: 4 MiB of elements, which the system may back by
// large pages.
constexpr int64_t kLargeBlockBytes = int64_t{4} << 20;
constexpr int64_t kLargeBlockElements = kLargeBlockBytes / static_cast<int64_t>(sizeof(MatrixElement));

// Values of this magnitude or less take no part in real factoring and solving.
constexpr double kTiny = 1e-100;

// a x b, or 0 when either factor is tiny.
inline double GuardedProduct(double a, double b) {
    return (std::fabs(a) > kTiny && std::fabs(b) > kTiny) ? a * b : 0.0;
}

// Replaces re + j im by its reciprocal, dividing by the larger part first so
// that neither overflows nor underflows needlessly.
inline void ComplexReciprocal(double& re, double& im) {
    if (std::fabs(re) >= std::fabs(im)) {
        const double r = im / re;
        const double d = re + im * r;
        re = 1.0 / d;
        im = -r / d;
    } else {
        const double r = re / im;
        const double d = im + re * r;
        re = r / d;
        im = -1.0 / d;
    }
}

inline double Magnitude(const MatrixElement* e, bool complex) {
    return complex ? std::fabs(e->Real) + std::fabs(e->Imag) : std::fabs(e->Real);
}

}  // namespace sparse_detail

template <typename F>
void SparseMatrix::ForEachElement(F&& f) {
    for (size_t b = 0; b < blocks_.size(); ++b) {
        ElementSlot* block = blocks_[b].get();
        for (int32_t i = 0; i < blockUsed_[b]; ++i) f(std::launder(reinterpret_cast<MatrixElement*>(block[i].raw)));
    }
}

inline MatrixElement* SparseMatrix::NewElement(bool fillin) {
    if (blocks_.empty() || blockUsed_.back() == blockSize_.back()) {
        // Blocks grow with the matrix so that a large one (the fill-ins of a
        // first ordering run to millions) costs few allocations and a small
        // one wastes little.
        const int32_t size =
            static_cast<int32_t>(std::clamp<int64_t>(elementCount_ / 2, 64, sparse_detail::kLargeBlockElements));
        blocks_.reserve(blocks_.size() + 1);
        blockUsed_.reserve(blocks_.size() + 1);
        blockSize_.reserve(blocks_.size() + 1);
        blocks_.push_back(AllocateBlock(size));  // may throw; nothing changed yet
        blockUsed_.push_back(0);
        blockSize_.push_back(size);
    }
    MatrixElement* e = new (blocks_.back()[blockUsed_.back()++].raw) MatrixElement();
    ++elementCount_;
    if (fillin) ++fillinCount_;
    return e;
}
