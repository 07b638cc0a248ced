#pragma once

// The vector kernels of the dense least-squares solves: sums of products in
// a fixed order, the row-major products A x and A^T y, and the norms.
//
// The sums of products are formed in a fixed order that the code, not the
// compiler, decides, so that every build gives the same bits: several
// running sums side by side, which fill the vector registers and hide the
// latency of an addition where one running sum would wait on each addition
// in turn. Where the processor has four-lane registers (AVX2) the column
// sums of A^T y run in them, each lane taking the operations of the
// two-lane code on its column in the same order, without fused
// multiply-adds: the same bits either way. (The row sums keep two lanes:
// pairing two rows in a four-lane register costs a lane shuffle a load,
// which made them slower.)

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lsqrdense {

/// Four running sums: the term of index i goes to sum i mod 4, and the total
/// is (s0 + s2) + (s1 + s3).
class FourSums {
 public:
  /// Adds a[k] b[k] to sum k, k = 0 .. 3.
  void addProducts(const double* a, const double* b) {
#if defined(__SSE2__)
    low_ = _mm_add_pd(low_, _mm_mul_pd(_mm_loadu_pd(a), _mm_loadu_pd(b)));
    high_ = _mm_add_pd(high_, _mm_mul_pd(_mm_loadu_pd(a + 2), _mm_loadu_pd(b + 2)));
#else
    for (int k = 0; k < 4; ++k) s_[k] += a[k] * b[k];
#endif
  }
  /// The last `count` (< 4) products a[k] b[k]. The missing ones count as
  /// +0, which leaves a sum as it is (a sum that starts at +0 is never -0).
  void addRestOfProducts(const double* a, const double* b, std::uint32_t count) {
    if (count == 0) return;
    double ra[4] = {0.0, 0.0, 0.0, 0.0}, rb[4] = {0.0, 0.0, 0.0, 0.0};
    for (std::uint32_t k = 0; k < count; ++k) {
      ra[k] = a[k];
      rb[k] = b[k];
    }
    addProducts(ra, rb);
  }
  double total() const {
#if defined(__SSE2__)
    const __m128d pairs = _mm_add_pd(low_, high_);  // (s0 + s2, s1 + s3)
    return _mm_cvtsd_f64(pairs) + _mm_cvtsd_f64(_mm_unpackhi_pd(pairs, pairs));
#else
    return (s_[0] + s_[2]) + (s_[1] + s_[3]);
#endif
  }

 private:
#if defined(__SSE2__)
  __m128d low_ = _mm_setzero_pd();   // sums 0 and 1
  __m128d high_ = _mm_setzero_pd();  // sums 2 and 3
#else
  double s_[4] = {0.0, 0.0, 0.0, 0.0};
#endif
};

/// Two running sums: the term of index i goes to sum i mod 2, and the total
/// is s0 + s1. The dot products of the rows use them, eight rows side by
/// side.
class TwoSums {
 public:
  /// Both sums at +0. (An explicit step: zeroing an array of them through
  /// default member initialisers compiles to a slow block fill.)
  void clear() {
#if defined(__SSE2__)
    s_ = _mm_setzero_pd();
#else
    s_[0] = s_[1] = 0.0;
#endif
  }
  /// Adds a[k] b[k] to sum k, k = 0, 1.
  void addProducts(const double* a, const double* b) {
#if defined(__SSE2__)
    s_ = _mm_add_pd(s_, _mm_mul_pd(_mm_loadu_pd(a), _mm_loadu_pd(b)));
#else
    s_[0] += a[0] * b[0];
    s_[1] += a[1] * b[1];
#endif
  }
  /// The total, with a last product a[0] b[0] added to sum 0 first when
  /// `odd` is set.
  double total(const double* a, const double* b, bool odd) const {
#if defined(__SSE2__)
    double s0 = _mm_cvtsd_f64(s_);
    const double s1 = _mm_cvtsd_f64(_mm_unpackhi_pd(s_, s_));
#else
    double s0 = s_[0];
    const double s1 = s_[1];
#endif
    if (odd) s0 += a[0] * b[0];
    return s0 + s1;
  }

 private:
#if defined(__SSE2__)
  __m128d s_;
#else
  double s_[2];
#endif
};

/// The sum over i < n of a_i b_i, in FourSums order.
inline double dotInFours(const double* a, const double* b, std::uint32_t n) {
  FourSums sums;
  std::uint32_t i = 0;
  for (; i + 4 <= n; i += 4) sums.addProducts(a + i, b + i);
  sums.addRestOfProducts(a + i, b + i, n - i);
  return sums.total();
}

/// Whether this build and processor run the products in four-lane
/// registers.
bool wideProducts();

/// y_c += M_rc z_r for each column c of the rows x columns matrix M (row
/// stride `stride`), for r = 0, 1, ... in that order.
void accumulateColumns(const double* M, std::size_t stride, std::uint32_t rows, std::uint32_t columns, const double* z,
                       double* y);

// The products work on contiguous rows. A x is a dot product per row, eight
// rows side by side; A^T y sums each column over the rows in row order, many
// columns side by side.

// Rows r .. r + Rows - 1 of accumulateRowDots.
template <std::uint32_t Rows, typename Finish>
void rowDotBlock(const double* M, std::size_t stride, std::uint32_t r, std::uint32_t columns, const double* x,
                 Finish& finish) {
  const double* row[Rows];
#pragma GCC unroll 8
  for (std::uint32_t k = 0; k < Rows; ++k) row[k] = M + (r + k) * stride;
  TwoSums sums[Rows];
#pragma GCC unroll 8
  for (std::uint32_t k = 0; k < Rows; ++k) sums[k].clear();
  std::size_t c = 0;
  for (; c + 2 <= columns; c += 2) {
#pragma GCC unroll 8
    for (std::uint32_t k = 0; k < Rows; ++k) sums[k].addProducts(row[k] + c, x + c);
  }
  const bool odd = c < columns;
  for (std::uint32_t k = 0; k < Rows; ++k) finish(r + k, sums[k].total(row[k] + c, x + c, odd));
}

// For each row r of the rows x columns matrix M: the dot product of the row
// with x, formed in two running sums (TwoSums), handed to finish(r, sum) in
// increasing r.
template <typename Finish>
void accumulateRowDots(const double* M, std::size_t stride, std::uint32_t rows, std::uint32_t columns, const double* x,
                       Finish finish) {
  std::uint32_t r = 0;
  for (; r + 8 <= rows; r += 8) rowDotBlock<8>(M, stride, r, columns, x, finish);
  if (r + 4 <= rows) {
    rowDotBlock<4>(M, stride, r, columns, x, finish);
    r += 4;
  }
  for (; r < rows; ++r) rowDotBlock<1>(M, stride, r, columns, x, finish);
}

}  // namespace lsqrdense
