#include "engine/solver/LsqrDenseProducts.h"

#include "platform/ProcessorFeatures.h"

#if ZOV_AVX2_KERNELS
#include <immintrin.h>
#endif

namespace lsqrdense {

namespace {

/// Columns handled side by side at most in a column pass: enough
/// independent sums to hide the latency of an addition, few enough to stay
/// in registers.
constexpr std::uint32_t kColumnBlock = 16;

/// Rows of a column pass at a time: the pass reads one band of rows in
/// strips of kColumnBlock columns before the next band, so that a strip's
/// cache lines (16 KB at most) stay within the first-level cache; on
/// matrices larger than that cache this is markedly faster than strips over
/// all rows.
constexpr std::uint32_t kRowBand = 128;

// Columns c .. c + Width - 1 of accumulateColumns over rows r0 .. r1 - 1.
// Each column's sum takes one product and one addition a row, whatever the
// width; two columns share a register where there are registers of two.
// (Written out in registers: the compiler's own vectorisation of this loop
// needs its straight-line vectorizer, which the build turns off.)
template <std::uint32_t Width>
void accumulateColumnBlock(const double* M, std::size_t stride, std::uint32_t r0, std::uint32_t r1, std::uint32_t c,
                           const double* z, double* y) {
  const double* column = M + r0 * stride + c;
#if defined(__SSE2__)
  if constexpr (Width % 2 == 0) {
    constexpr std::uint32_t kPairs = Width / 2;
    __m128d sum[kPairs];
#pragma GCC unroll 8
    for (std::uint32_t k = 0; k < kPairs; ++k) sum[k] = _mm_loadu_pd(y + c + 2 * k);
    for (std::uint32_t r = r0; r < r1; ++r, column += stride) {
      const __m128d zr = _mm_set1_pd(z[r]);
#pragma GCC unroll 8
      for (std::uint32_t k = 0; k < kPairs; ++k) {
        sum[k] = _mm_add_pd(sum[k], _mm_mul_pd(_mm_loadu_pd(column + 2 * k), zr));
      }
    }
#pragma GCC unroll 8
    for (std::uint32_t k = 0; k < kPairs; ++k) _mm_storeu_pd(y + c + 2 * k, sum[k]);
    return;
  }
#endif
  double sum[Width];
  for (std::uint32_t k = 0; k < Width; ++k) sum[k] = y[c + k];
  for (std::uint32_t r = r0; r < r1; ++r, column += stride) {
    const double zr = z[r];
#pragma GCC unroll 16
    for (std::uint32_t k = 0; k < Width; ++k) sum[k] += column[k] * zr;
  }
  for (std::uint32_t k = 0; k < Width; ++k) y[c + k] = sum[k];
}

#if ZOV_AVX2_KERNELS
// accumulateColumnBlock with four columns to a register.
template <std::uint32_t Width>
[[gnu::target("avx2")]] void accumulateColumnBlockWide(const double* M, std::size_t stride, std::uint32_t r0,
                                                       std::uint32_t r1, std::uint32_t c, const double* z, double* y) {
  static_assert(Width % 4 == 0, "four columns to a register");
  constexpr std::uint32_t kQuads = Width / 4;
  const double* column = M + r0 * stride + c;
  __m256d sum[kQuads];
#pragma GCC unroll 4
  for (std::uint32_t k = 0; k < kQuads; ++k) sum[k] = _mm256_loadu_pd(y + c + 4 * k);
  for (std::uint32_t r = r0; r < r1; ++r, column += stride) {
    const __m256d zr = _mm256_set1_pd(z[r]);
#pragma GCC unroll 4
    for (std::uint32_t k = 0; k < kQuads; ++k) {
      sum[k] = _mm256_add_pd(sum[k], _mm256_mul_pd(_mm256_loadu_pd(column + 4 * k), zr));
    }
  }
#pragma GCC unroll 4
  for (std::uint32_t k = 0; k < kQuads; ++k) _mm256_storeu_pd(y + c + 4 * k, sum[k]);
}

/// The wide column blocks of one band: what is left of the columns goes to
/// the two-lane blocks.
[[gnu::target("avx2")]] std::uint32_t accumulateColumnBandWide(const double* M, std::size_t stride, std::uint32_t r0,
                                                               std::uint32_t r1, std::uint32_t columns, const double* z,
                                                               double* y) {
  std::uint32_t c = 0;
  for (; c + kColumnBlock <= columns; c += kColumnBlock)
    accumulateColumnBlockWide<kColumnBlock>(M, stride, r0, r1, c, z, y);
  if (c + 8 <= columns) {
    accumulateColumnBlockWide<8>(M, stride, r0, r1, c, z, y);
    c += 8;
  }
  if (c + 4 <= columns) {
    accumulateColumnBlockWide<4>(M, stride, r0, r1, c, z, y);
    c += 4;
  }
  return c;
}
#endif

}  // namespace

bool wideProducts() { return zov::platform::hasAvx2(); }

void accumulateColumns(const double* M, std::size_t stride, std::uint32_t rows, std::uint32_t columns, const double* z,
                       double* y) {
  const bool wide = wideProducts();
  for (std::uint32_t r0 = 0; r0 < rows; r0 += kRowBand) {
    const std::uint32_t r1 = rows - r0 > kRowBand ? r0 + kRowBand : rows;
    std::uint32_t c = 0;
#if ZOV_AVX2_KERNELS
    if (wide) c = accumulateColumnBandWide(M, stride, r0, r1, columns, z, y);
#else
    static_cast<void>(wide);
#endif
    for (; c + kColumnBlock <= columns; c += kColumnBlock)
      accumulateColumnBlock<kColumnBlock>(M, stride, r0, r1, c, z, y);
    // The rest in blocks of 8, 4, 2 and 1.
    if (c + 8 <= columns) {
      accumulateColumnBlock<8>(M, stride, r0, r1, c, z, y);
      c += 8;
    }
    if (c + 4 <= columns) {
      accumulateColumnBlock<4>(M, stride, r0, r1, c, z, y);
      c += 4;
    }
    if (c + 2 <= columns) {
      accumulateColumnBlock<2>(M, stride, r0, r1, c, z, y);
      c += 2;
    }
    if (c < columns) accumulateColumnBlock<1>(M, stride, r0, r1, c, z, y);
  }
}

}  // namespace lsqrdense
