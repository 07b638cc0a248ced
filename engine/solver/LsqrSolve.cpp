// The LSQR solve: the iterations of LsqrIterations.h run on the vectors of
// the caller's records, with the two products of the bidiagonalisation
// taken from the dense matrix, a product callback or an operator; a small
// dense system keeps its vectors in one block of its own.

#include <cmath>
#include <cstddef>
#include <cstdio>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/solver/Lsqr.h"
#include "engine/solver/LsqrDenseProducts.h"
#include "engine/solver/LsqrIterations.h"

namespace {

void zeroElements(dvec* v, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) v->elements[i] = 0.0;
}

using lsqrdense::accumulateColumns;
using lsqrdense::accumulateRowDots;
using lsqrdense::dotInFours;
using lsqrdense::TwoSums;

}  // namespace

namespace {

// The two products of the bidiagonalisation through the product callback,
// each as plain passes: scale, product, norm.
class CallbackProducts {
 public:
  CallbackProducts(const lsqr_func* func, const dmat* matrix) : func_(func), matrix_(matrix) {}

  /// u := u - A x, as -((-u) + A x).
  void residual(dvec* u, dvec* x) const {
    dvec_scale(u, -1.0);
    func_->product(0, x, u, matrix_);
    dvec_scale(u, -1.0);
  }
  /// v := v + A^T u.
  void adjoint(dvec* v, dvec* u) const { func_->product(1, v, u, matrix_); }

  /// u := A v - alpha u; returns |u|.
  double forward(dvec* u, dvec* v, double alpha) const {
    dvec_scale(u, -alpha);
    func_->product(0, v, u, matrix_);
    return dvec_norm2(u);
  }
  /// v := A^T u - beta v; returns |v|.
  double backward(dvec* v, dvec* u, double beta) const {
    dvec_scale(v, -beta);
    func_->product(1, v, u, matrix_);
    return dvec_norm2(v);
  }

 private:
  const lsqr_func* func_;
  const dmat* matrix_;
};

// The same two products on a dense row-major matrix without the callback,
// the scaling of A v - alpha u folded into the product's pass. Every element
// sees the same operations in the same order as through the callback.
class DenseProducts {
 public:
  explicit DenseProducts(const dmat* matrix) : matrix_(matrix) {}

  /// Whether the dense products stand in for the callback: it is the dense
  /// product and the vectors have the matrix's sizes.
  static bool apply(const lsqr_func* func, const dmat* matrix, const lsqr_input* input, const lsqr_work* work) {
    return func->product == lsqr_mat_vec_prod && input->b->length == matrix->rows &&
           input->x->length == matrix->columns && work->v->length == matrix->columns;
  }

  void residual(dvec* u, dvec* x) const {
    double* ue = u->elements;
    accumulateRowDots(matrix_->data, matrix_->stride, matrix_->rows, matrix_->columns, x->elements,
                      [&](std::uint32_t r, double sum) { ue[r] = -(-ue[r] + sum); });
  }
  void adjoint(dvec* v, dvec* u) const { lsqr_mat_vec_prod(1, v, u, matrix_); }

  double forward(dvec* u, dvec* v, double alpha) const {
    double* ue = u->elements;
    accumulateRowDots(matrix_->data, matrix_->stride, matrix_->rows, matrix_->columns, v->elements,
                      [&](std::uint32_t r, double sum) { ue[r] = ue[r] * -alpha + sum; });
    return dvec_norm2(u);
  }

  double backward(dvec* v, dvec* u, double beta) const {
    dvec_scale(v, -beta);
    accumulateColumns(matrix_->data, matrix_->stride, matrix_->rows, matrix_->columns, u->elements, v->elements);
    return dvec_norm2(v);
  }

 private:
  const dmat* matrix_;
};

// The products of an LsqrOperator, in the form the iterations call them.
class OperatorProducts {
 public:
  explicit OperatorProducts(const LsqrOperator& op) : op_(op) {}

  void residual(dvec* u, dvec* x) const { op_.residual(u, x); }
  void adjoint(dvec* v, dvec* u) const { op_.adjoint(v, u); }
  double forward(dvec* u, dvec* v, double alpha) const { return op_.forward(u, v, alpha); }
  double backward(dvec* v, dvec* u, double beta) const { return op_.backward(v, u, beta); }

 private:
  const LsqrOperator& op_;
};

// The vector work of the iterations on the problem's records, each step as
// its own pass through the products and the vector helpers.
template <typename Products>
class RecordVectors {
 public:
  RecordVectors(const Products& products, lsqr_input* input, lsqr_output* output, lsqr_work* work)
      : products_(products),
        columns_(input->columnCount),
        u_(input->b),  // the left bidiagonalisation vector lives in b
        x_(input->x),
        v_(work->v),
        w_(work->w),
        e_(output->standardErrors) {}

  void begin() {
    zeroElements(v_, columns_);
    zeroElements(w_, columns_);
    zeroElements(e_, columns_);
  }
  void start(double& beta, double& alpha) {
    products_.residual(u_, x_);
    beta = dvec_norm2(u_);
    if (beta > 0.0) {
      dvec_scale(u_, 1.0 / beta);
      products_.adjoint(v_, u_);
      alpha = dvec_norm2(v_);
    }
    if (alpha > 0.0) {
      dvec_scale(v_, 1.0 / alpha);
      dvec_copy(v_, w_);
    }
  }
  double forward(double alpha) { return products_.forward(u_, v_, alpha); }
  void scaleU(double factor) { dvec_scale(u_, factor); }
  double backward(double beta) { return products_.backward(v_, u_, beta); }
  void scaleV(double factor) { dvec_scale(v_, factor); }
  double update(const lsqriterations::LsqrUpdate& t) {
    double* xe = x_->elements;
    double* we = w_->elements;
    double* ee = e_->elements;
    const double* ve = v_->elements;
    const double wSquared = dotInFours(we, we, columns_);
    // Vectorised by the compiler (the build checks it).
#pragma omp simd
    for (std::uint32_t i = 0; i < columns_; ++i) {
      const double wi = we[i];
      xe[i] += t.t1 * wi;
      we[i] = t.t2 * wi + ve[i];
      ee[i] += (t.t3 * wi) * (t.t3 * wi);
    }
    return wSquared;
  }
  void finishErrors(double scale) {
    for (std::uint32_t i = 0; i < columns_; ++i) e_->elements[i] = std::sqrt(e_->elements[i]) * scale;
  }

 private:
  const Products& products_;
  std::uint32_t columns_;
  dvec* u_;
  dvec* x_;
  dvec* v_;
  dvec* w_;
  dvec* e_;
};

/// Columns up to which a dense solve runs its vector work in SmallDenseVectors.
constexpr std::uint32_t kSmallDense = 32;

/// The vector work of a dense solve of at most kSmallDense columns in few
/// passes: each product forms its rows' or columns' sums and the norm of its
/// result in one pass, and a scaling is folded into the next pass that reads
/// the vector. Every element and every norm is formed with the operations of
/// RecordVectors<DenseProducts>, in the same order (row sums in TwoSums
/// order, column sums over the rows in row order from the element's value,
/// norms in FourSums order), so the iterates are the same to the bit; the
/// passes are what a system of a few contacts spends its time in.
class SmallDenseVectors {
 public:
  SmallDenseVectors(const dmat* matrix, lsqr_input* input, lsqr_output* output, lsqr_work* work)
      : m_(matrix->data),
        stride_(matrix->stride),
        rows_(matrix->rows),
        columns_(input->columnCount),
        u_(input->b->elements),
        x_(input->x->elements),
        v_(work->v->elements),
        w_(work->w->elements),
        e_(output->standardErrors->elements) {}

  /// Whether the dense products apply and the system is small enough.
  static bool apply(const lsqr_func* func, const dmat* matrix, const lsqr_input* input, const lsqr_work* work) {
    return DenseProducts::apply(func, matrix, input, work) && matrix->columns <= kSmallDense &&
           input->columnCount == matrix->columns && input->rowCount == matrix->rows;
  }

  // v, w and the error sums start at zero: the start's passes write them
  // (zeroing them here first, as a block fill, costs more than the solve's
  // vector work on a few unknowns).
  void begin() {}
  void start(double& beta, double& alpha) {
    for (std::uint32_t r = 0; r < rows_; ++r) u_[r] = -(-u_[r] + rowDot(r, x_));
    beta = normOf(u_, rows_);
    if (beta > 0.0) {
      const double scale = 1.0 / beta;
      for (std::uint32_t r = 0; r < rows_; ++r) u_[r] *= scale;
      alpha = addColumns(0.0, Start::kZero);
    }
    if (alpha > 0.0) {
      const double scale = 1.0 / alpha;
      for (std::uint32_t i = 0; i < columns_; ++i) w_[i] = v_[i] *= scale;
    } else {
      for (std::uint32_t i = 0; i < columns_; ++i) {
        if (!(beta > 0.0)) v_[i] = e_[i] = 0.0;
        w_[i] = 0.0;
      }
    }
  }
  double forward(double alpha) {
    applyScale(v_, columns_, vScale_);
    const double factor = -alpha;
    for (std::uint32_t r = 0; r < rows_; ++r) u_[r] = u_[r] * factor + rowDot(r, v_);
    return normOf(u_, rows_);
  }
  void scaleU(double factor) { uScale_ = factor; }
  double backward(double beta) {
    applyScale(u_, rows_, uScale_);
    return addColumns(-beta, Start::kScaled);
  }
  void scaleV(double factor) { vScale_ = factor; }
  double update(const lsqriterations::LsqrUpdate& t) {
    applyScale(v_, columns_, vScale_);
    // The addresses and size in locals: the stores below go through vector
    // registers, which may alias anything, members included.
    const std::uint32_t columns = columns_;
    double* const x = x_;
    double* const w = w_;
    double* const e = e_;
    const double* const v = v_;
    const double wSquared = squaresOf(w, columns);
    std::uint32_t i = 0;
#if defined(__SSE2__)
    // Two elements side by side, each taking the operations of one alone.
    const __m128d t1 = _mm_set1_pd(t.t1);
    const __m128d t2 = _mm_set1_pd(t.t2);
    const __m128d t3 = _mm_set1_pd(t.t3);
    for (; i + 2 <= columns; i += 2) {
      const __m128d wi = _mm_loadu_pd(w + i);
      _mm_storeu_pd(x + i, _mm_add_pd(_mm_loadu_pd(x + i), _mm_mul_pd(t1, wi)));
      _mm_storeu_pd(w + i, _mm_add_pd(_mm_mul_pd(t2, wi), _mm_loadu_pd(v + i)));
      const __m128d error = _mm_mul_pd(t3, wi);
      _mm_storeu_pd(e + i, _mm_add_pd(_mm_loadu_pd(e + i), _mm_mul_pd(error, error)));
    }
#endif
    for (; i < columns; ++i) {
      const double wi = w[i];
      x[i] += t.t1 * wi;
      w[i] = t.t2 * wi + v[i];
      e[i] += (t.t3 * wi) * (t.t3 * wi);
    }
    return wSquared;
  }
  void finishErrors(double scale) {
    for (std::uint32_t i = 0; i < columns_; ++i) e_[i] = std::sqrt(e_[i]) * scale;
  }

 private:
  /// |values|^2 over the first n, summed in FourSums order (the missing
  /// terms of the last four count as +0, which leaves a sum of squares as it
  /// is).
  static double squaresOf(const double* values, std::uint32_t n) {
#if defined(__SSE2__)
    __m128d low = _mm_setzero_pd();   // sums 0 and 1
    __m128d high = _mm_setzero_pd();  // sums 2 and 3
    std::uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
      const __m128d a = _mm_loadu_pd(values + i);
      const __m128d b = _mm_loadu_pd(values + i + 2);
      low = _mm_add_pd(low, _mm_mul_pd(a, a));
      high = _mm_add_pd(high, _mm_mul_pd(b, b));
    }
    if (i + 2 <= n) {
      const __m128d a = _mm_loadu_pd(values + i);
      low = _mm_add_pd(low, _mm_mul_pd(a, a));
      if (i + 3 == n) {
        const __m128d b = _mm_load_sd(values + i + 2);
        high = _mm_add_pd(high, _mm_mul_pd(b, b));
      }
    } else if (i < n) {
      const __m128d a = _mm_load_sd(values + i);
      low = _mm_add_pd(low, _mm_mul_pd(a, a));
    }
    const __m128d pairs = _mm_add_pd(low, high);  // (s0 + s2, s1 + s3)
    return _mm_cvtsd_f64(pairs) + _mm_cvtsd_f64(_mm_unpackhi_pd(pairs, pairs));
#else
    return dotInFours(values, values, n);
#endif
  }
  static double normOf(const double* values, std::uint32_t n) { return std::sqrt(squaresOf(values, n)); }

  /// Multiplies the first n elements by a pending scale, if one is pending.
  static void applyScale(double* values, std::uint32_t n, double& scale) {
    if (scale == 1.0) return;
    for (std::uint32_t i = 0; i < n; ++i) values[i] *= scale;
    scale = 1.0;
  }
  /// Row r of the matrix times `in`, in TwoSums order.
  double rowDot(std::uint32_t r, const double* in) const {
    const double* row = m_ + static_cast<std::size_t>(r) * stride_;
    TwoSums sums;
    sums.clear();
    std::uint32_t c = 0;
    for (; c + 2 <= columns_; c += 2) sums.addProducts(row + c, in + c);
    return sums.total(row + c, in + c, c < columns_);
  }
  /// Where the column sums of addColumns start: from zero (the start's
  /// v, which also zeroes the error sums) or from v (factor).
  enum class Start { kZero, kScaled };
  /// v := (start) + A^T u, the column sums over the rows in row order;
  /// returns |v|.
  double addColumns(double factor, Start from) {
    for (std::uint32_t c = 0; c < columns_; ++c) {
      v_[c] = from == Start::kZero ? 0.0 : v_[c] * factor;
      if (from == Start::kZero) e_[c] = 0.0;
    }
    // Each column's sum over the rows in row order; two columns side by side.
    std::uint32_t c = 0;
#if defined(__SSE2__)
    for (; c + 2 <= columns_; c += 2) {
      __m128d sum = _mm_loadu_pd(v_ + c);
      const double* column = m_ + c;
      for (std::uint32_t r = 0; r < rows_; ++r, column += stride_) {
        sum = _mm_add_pd(sum, _mm_mul_pd(_mm_loadu_pd(column), _mm_set1_pd(u_[r])));
      }
      _mm_storeu_pd(v_ + c, sum);
    }
#endif
    for (; c < columns_; ++c) {
      double sum = v_[c];
      const double* column = m_ + c;
      for (std::uint32_t r = 0; r < rows_; ++r, column += stride_) sum += *column * u_[r];
      v_[c] = sum;
    }
    return normOf(v_, columns_);
  }

  const double* m_;
  std::size_t stride_;
  std::uint32_t rows_;
  std::uint32_t columns_;
  double* u_;
  double* x_;
  double* v_;
  double* w_;
  double* e_;
  double uScale_ = 1.0;
  double vScale_ = 1.0;
};

// A whole solve with the given products.
template <typename Products>
void solveWith(const Products& products, lsqr_input* input, lsqr_output* output, lsqr_work* work) {
  RecordVectors<Products> vectors(products, input, output, work);
  lsqriterations::solve(vectors, input, output);
}

}  // namespace

namespace lsqriterations {

void reportHeader(const lsqr_input* input) {
  std::fprintf(input->report,
               "  Least Squares Solution of A*x = b\n"
               "\tThe matrix A has %7i rows and %7i columns\n"
               "\tThe damping parameter is\tDAMP = %10.2e\n"
               "\tATOL = %10.2e\t\tCONDLIM = %10.2e\n"
               "\tBTOL = %10.2e\t\tITERLIM = %10i\n\n",
               static_cast<int>(input->rowCount), static_cast<int>(input->columnCount), input->damp, input->atol,
               input->conlim, input->btol, static_cast<int>(input->iterationLimit));
}

void reportStart(const lsqr_input* input, const Recurrence& rec, const Estimates& at) {
  std::fprintf(input->report,
               "  ITER     || r ||    Compatible  ||A^T r|| / ||A|| ||r||  || A ||    "
               "cond( A )\n\n");
  std::fprintf(input->report, "%6i %13.5e %10.2e \t%10.2e \t%10.2e  %10.2e\n", 0, rec.beta, 1.0, rec.alpha / rec.beta,
               at.normA, at.condA);
}

void reportIteration(const lsqr_input* input, std::uint32_t iterations, const Estimates& at, double test1,
                     double test2) {
  std::fprintf(input->report, "%6i %13.5e %10.2e \t%10.2e \t%10.2e %10.2e\n", static_cast<int>(iterations), at.normR,
               test1, test2, at.normA, at.condA);
}

// The closing lines; a run that stopped before its first iteration indents
// the norms.
void reportSummary(std::FILE* report, LsqrStop stop, std::uint32_t iterations, const Estimates& at, double normB) {
  const char* format = iterations == 0 && stop == kLsqrStartIsSolution
                           ? "\tISTOP = %3i\t\t\tITER = %9i\n"
                             "\t    || A ||_F = %13.5e\tcond( A ) = %13.5e\n"
                             "\t    || r ||_2 = %13.5e\t|| A^T r ||_2 = %13.5e\n"
                             "\t    || b ||_2 = %13.5e\t|| x - x0 ||_2 = %13.5e\n\n"
                           : "\n\tISTOP = %3i\t\t\tITER = %9i\n"
                             "\t|| A ||_F = %13.5e\tcond( A ) = %13.5e\n"
                             "\t|| r ||_2 = %13.5e\t|| A^T r ||_2 = %13.5e\n"
                             "\t|| b ||_2 = %13.5e\t|| x - x0 ||_2 = %13.5e\n\n";
  std::fprintf(report, format, static_cast<int>(stop), static_cast<int>(iterations), at.normA, at.condA, at.normR,
               at.normATr, normB, at.normX);
  std::fprintf(report, "  %s\n\n", lsqrStopMessage(stop));
}

}  // namespace lsqriterations

void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, const dmat* matrix) {
  if (SmallDenseVectors::apply(func, matrix, input, work)) {
    SmallDenseVectors vectors(matrix, input, output, work);
    lsqriterations::solve(vectors, input, output);
  } else if (DenseProducts::apply(func, matrix, input, work)) {
    solveWith(DenseProducts(matrix), input, output, work);
  } else {
    solveWith(CallbackProducts(func, matrix), input, output, work);
  }
}

void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, const LsqrOperator& op) {
  solveWith(OperatorProducts(op), input, output, work);
}
