#include "engine/collision/ContactBlocks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using Mgc::MgcVector3;

void ContactBlocks::reset(std::uint32_t n) {
  entries.resize(std::size_t{n} * n * kBlockEntries);
  built = n;
  restore();
}

MgcVector3 ContactBlocks::times(std::uint32_t i, std::uint32_t j, const MgcVector3& v) const {
  const double* b = block(i, j);
  MgcVector3 out;
  for (int r = 0; r < 3; ++r) {
    const double* row = b + 3 * r;
    out[r] = row[0] * v.x + row[1] * v.y + row[2] * v.z;
  }
  return out;
}

void ContactBlocks::keep(const std::uint8_t* marks) {
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < used; ++i) {
    if (marks[i] == 0) order[kept++] = order[i];
  }
  used = kept;
}

void ContactBlocks::restore() {
  order.resize(built);
  for (std::uint32_t i = 0; i < built; ++i) order[i] = i;
  used = built;
}

void ContactBlocks::expand(dmat* matrix) const {
  for (std::uint32_t i = 0; i < used; ++i) {
    for (std::uint32_t k = 0; k < 3; ++k) {
      double* row = matrix->data + std::size_t{3 * i + k} * matrix->stride;
      for (std::uint32_t j = 0; j < used; ++j) {
        const double* from = block(i, j) + 3 * k;
        for (std::uint32_t c = 0; c < 3; ++c) row[3 * j + c] = from[c];
      }
    }
  }
}

void ContactBlockProducts::update() {
  const std::uint32_t n = blocks.count() < ContactBlocks::kMaxContacts ? blocks.count() : ContactBlocks::kMaxContacts;
  active.count = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marks[i] != 0) continue;
    active.contacts[active.count] = i;
    active.rows[active.count] = blocks.rowOffset(i);
    active.columns[active.count] = blocks.columnOffset(i);
    ++active.count;
  }
}

namespace {

// The dense product forms a row's dot product in two running sums, one over
// the even columns and one over the odd columns, each in column order, and
// adds them at the end; column 3j + c is even when j + c is. Rows of Width
// contacts (3 Width rows) run side by side over all columns, their sums held
// in registers: with SSE2 a row's two sums share one register, even below
// and odd above, as in the dense product.
template <std::uint32_t Width, typename Finish>
void rowBlockProducts(const double* entries, const std::size_t* rows, const std::uint32_t* rowContacts,
                      const std::size_t* columns, const std::uint32_t* columnContacts, std::uint32_t active,
                      const double* x, Finish& finish) {
#if defined(__SSE2__)
  __m128d sums[3 * Width];
#pragma GCC unroll 12
  for (std::uint32_t r = 0; r < 3 * Width; ++r) sums[r] = _mm_setzero_pd();
  for (std::uint32_t q = 0; q < active; ++q) {
    const double* xj = x + 3 * columnContacts[q];
    if ((columnContacts[q] & 1U) == 0) {
      // Columns even, odd, even: (b0 x0, b1 x1) into both sums, then b2 x2
      // into the even one.
      const __m128d x01 = _mm_loadu_pd(xj);
      const __m128d x2 = _mm_load_sd(xj + 2);
#pragma GCC unroll 4
      for (std::uint32_t p = 0; p < Width; ++p) {
        const double* b = entries + rows[p] + columns[q];
#pragma GCC unroll 3
        for (std::uint32_t k = 0; k < 3; ++k) {
          __m128d& sum = sums[3 * p + k];
          sum = _mm_add_pd(sum, _mm_mul_pd(_mm_loadu_pd(b + 3 * k), x01));
          sum = _mm_add_sd(sum, _mm_mul_sd(_mm_load_sd(b + 3 * k + 2), x2));
        }
      }
    } else {
      // Columns odd, even, odd: b0 x0 into the odd sum (the even one gains
      // +0, which leaves it as it is), then (b1 x1, b2 x2) into both.
      const __m128d x0 = _mm_load_sd(xj);
      const __m128d x12 = _mm_loadu_pd(xj + 1);
#pragma GCC unroll 4
      for (std::uint32_t p = 0; p < Width; ++p) {
        const double* b = entries + rows[p] + columns[q];
#pragma GCC unroll 3
        for (std::uint32_t k = 0; k < 3; ++k) {
          __m128d& sum = sums[3 * p + k];
          sum = _mm_add_pd(sum, _mm_unpacklo_pd(_mm_setzero_pd(), _mm_mul_sd(_mm_load_sd(b + 3 * k), x0)));
          sum = _mm_add_pd(sum, _mm_mul_pd(_mm_loadu_pd(b + 3 * k + 1), x12));
        }
      }
    }
  }
  for (std::uint32_t p = 0; p < Width; ++p) {
    for (std::uint32_t k = 0; k < 3; ++k) {
      const __m128d sum = sums[3 * p + k];
      finish(3 * rowContacts[p] + k, _mm_cvtsd_f64(sum) + _mm_cvtsd_f64(_mm_unpackhi_pd(sum, sum)));
    }
  }
#else
  double even[3 * Width];
  double odd[3 * Width];
  for (std::uint32_t r = 0; r < 3 * Width; ++r) even[r] = odd[r] = 0.0;
  for (std::uint32_t q = 0; q < active; ++q) {
    const double* xj = x + 3 * columnContacts[q];
    const bool evenBlock = (columnContacts[q] & 1U) == 0;
    for (std::uint32_t p = 0; p < Width; ++p) {
      const double* b = entries + rows[p] + columns[q];
      for (std::uint32_t k = 0; k < 3; ++k) {
        double* first = evenBlock ? even : odd;
        double* second = evenBlock ? odd : even;
        first[3 * p + k] += b[3 * k] * xj[0];
        second[3 * p + k] += b[3 * k + 1] * xj[1];
        first[3 * p + k] += b[3 * k + 2] * xj[2];
      }
    }
  }
  for (std::uint32_t p = 0; p < Width; ++p) {
    for (std::uint32_t k = 0; k < 3; ++k) finish(3 * rowContacts[p] + k, even[3 * p + k] + odd[3 * p + k]);
  }
#endif
}

// Each column's sum runs over the rows in order from the column's element,
// as the dense product's column pass does. Columns of Width contacts run side
// by side over all rows, their sums held in registers.
template <std::uint32_t Width>
void columnBlockProducts(const double* entries, const std::size_t* rows, const std::uint32_t* rowContacts,
                         const std::size_t* columns, const std::uint32_t* columnContacts, std::uint32_t active,
                         const double* u, double* v) {
#if defined(__SSE2__)
  __m128d sum01[Width];
  __m128d sum2[Width];
#pragma GCC unroll 4
  for (std::uint32_t q = 0; q < Width; ++q) {
    const double* vj = v + 3 * columnContacts[q];
    sum01[q] = _mm_loadu_pd(vj);
    sum2[q] = _mm_load_sd(vj + 2);
  }
  for (std::uint32_t p = 0; p < active; ++p) {
    const double* ui = u + 3 * rowContacts[p];
    const double* blockRow = entries + rows[p];
#pragma GCC unroll 3
    for (std::uint32_t k = 0; k < 3; ++k) {
      const __m128d z = _mm_set1_pd(ui[k]);
#pragma GCC unroll 4
      for (std::uint32_t q = 0; q < Width; ++q) {
        const double* b = blockRow + columns[q] + 3 * k;
        sum01[q] = _mm_add_pd(sum01[q], _mm_mul_pd(_mm_loadu_pd(b), z));
        sum2[q] = _mm_add_sd(sum2[q], _mm_mul_sd(_mm_load_sd(b + 2), z));
      }
    }
  }
#pragma GCC unroll 4
  for (std::uint32_t q = 0; q < Width; ++q) {
    double* vj = v + 3 * columnContacts[q];
    _mm_storeu_pd(vj, sum01[q]);
    _mm_store_sd(vj + 2, sum2[q]);
  }
#else
  double sum[3 * Width];
  for (std::uint32_t q = 0; q < Width; ++q) {
    for (std::uint32_t c = 0; c < 3; ++c) sum[3 * q + c] = v[3 * columnContacts[q] + c];
  }
  for (std::uint32_t p = 0; p < active; ++p) {
    const double* ui = u + 3 * rowContacts[p];
    const double* blockRow = entries + rows[p];
    for (std::uint32_t k = 0; k < 3; ++k) {
      for (std::uint32_t q = 0; q < Width; ++q) {
        const double* b = blockRow + columns[q] + 3 * k;
        for (std::uint32_t c = 0; c < 3; ++c) sum[3 * q + c] += b[c] * ui[k];
      }
    }
  }
  for (std::uint32_t q = 0; q < Width; ++q) {
    for (std::uint32_t c = 0; c < 3; ++c) v[3 * columnContacts[q] + c] = sum[3 * q + c];
  }
#endif
}

}  // namespace

template <typename Finish>
void ContactBlockProducts::rowProducts(const double* x, Finish finish) const {
  const Active& list = active;
  const double* entries = blocks.data();
  std::uint32_t p = 0;
  for (; p + 4 <= list.count; p += 4) {
    rowBlockProducts<4>(entries, list.rows + p, list.contacts + p, list.columns, list.contacts, list.count, x, finish);
  }
  if (p + 2 <= list.count) {
    rowBlockProducts<2>(entries, list.rows + p, list.contacts + p, list.columns, list.contacts, list.count, x, finish);
    p += 2;
  }
  if (p < list.count) {
    rowBlockProducts<1>(entries, list.rows + p, list.contacts + p, list.columns, list.contacts, list.count, x, finish);
  }
}

void ContactBlockProducts::residual(dvec* u, const dvec* x) const {
  double* ue = u->elements;
  rowProducts(x->elements, [ue](std::uint32_t r, double sum) { ue[r] = -(-ue[r] + sum); });
}

void ContactBlockProducts::adjoint(dvec* v, const dvec* u) const {
  const Active& list = active;
  const double* entries = blocks.data();
  const double* ue = u->elements;
  double* ve = v->elements;
  std::uint32_t q = 0;
  for (; q + 4 <= list.count; q += 4) {
    columnBlockProducts<4>(entries, list.rows, list.contacts, list.columns + q, list.contacts + q, list.count, ue, ve);
  }
  if (q + 2 <= list.count) {
    columnBlockProducts<2>(entries, list.rows, list.contacts, list.columns + q, list.contacts + q, list.count, ue, ve);
    q += 2;
  }
  if (q < list.count) {
    columnBlockProducts<1>(entries, list.rows, list.contacts, list.columns + q, list.contacts + q, list.count, ue, ve);
  }
}

double ContactBlockProducts::forward(dvec* u, const dvec* v, double alpha) const {
  double* ue = u->elements;
  rowProducts(v->elements, [ue, alpha](std::uint32_t r, double sum) { ue[r] = ue[r] * -alpha + sum; });
  return dvec_norm2(u);
}

double ContactBlockProducts::backward(dvec* v, const dvec* u, double beta) const {
  dvec_scale(v, -beta);
  adjoint(v, u);
  return dvec_norm2(v);
}
