#include "engine/solver/Lsqr.h"

#include <cmath>
#include <cstddef>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory>
#include <new>
#include <utility>

#include "engine/solver/LsqrDenseProducts.h"
#include "engine/solver/LsqrIterations.h"

namespace {

constexpr const char* kStopMessages[] = {
    "The exact solution is x = x0",
    "The residual Ax - b is small enough, given ATOL and BTOL",
    "The least squares error is small enough, given ATOL",
    "The estimated condition number has exceeded CONLIM",
    "The residual Ax - b is small enough, given machine precision",
    "The least squares error is small enough, given machine precision",
    "The estimated condition number has exceeded machine precision",
    "The iteration limit has been reached",
};
constexpr std::uint32_t kStopMessageCount = sizeof(kStopMessages) / sizeof(kStopMessages[0]);

// A record of the given type, or lsqr_error with `message` when there is no
// memory for it.
template <typename Record>
Record* allocRecord(const char* message) {
  Record* record = new (std::nothrow) Record{};
  if (record == nullptr) lsqr_error(message);
  return record;
}

template <typename Record, void (*Free)(Record*)>
struct RecordDeleter {
  void operator()(Record* record) const { Free(record); }
};

bool fits(const dvec* v, std::uint32_t length) { return v != nullptr && length <= v->capacity; }

void zero(dvec* v, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) v->elements[i] = 0.0;
}

using lsqrdense::accumulateColumns;
using lsqrdense::accumulateRowDots;
using lsqrdense::dotInFours;
using lsqrdense::TwoSums;

}  // namespace

// ---------------------------------------------------------------------------
// Vectors and matrices

dvec* alloc_dvec(std::uint32_t n) {
  std::unique_ptr<dvec> v(new dvec{0, n, n, nullptr});
  v->elements = new double[n]();
  return v.release();
}

void free_dvec(dvec* v) {
  if (v == nullptr) return;
  if (v->borrowed == 0) delete[] v->elements;
  delete v;
}

dmat* alloc_dmat(std::uint32_t rows, std::uint32_t columns) {
  std::unique_ptr<dmat> matrix(new dmat{rows, rows, columns, columns, nullptr});
  // The product is formed in size_t so that large sizes cannot wrap around.
  matrix->data = new double[static_cast<std::size_t>(rows) * columns]();
  return matrix.release();
}

void free_dmat(dmat* matrix) {
  if (matrix == nullptr) return;
  delete[] matrix->data;
  delete matrix;
}

dvec getMatrixRow(dmat* matrix, std::uint32_t row) {
  return dvec{1, matrix->stride, matrix->columns, matrix->data + static_cast<std::size_t>(row) * matrix->stride};
}

bool dvec_copy(const dvec* from, dvec* to) {
  if (from->length > to->capacity) return false;
  for (std::uint32_t i = 0; i < from->length; ++i) to->elements[i] = from->elements[i];
  return true;
}

double dvec_norm2(const dvec* v) { return std::sqrt(dotInFours(v->elements, v->elements, v->length)); }

void dvec_scale(dvec* v, double factor) {
  // Vectorised by the compiler (the build checks it).
#pragma omp simd
  for (std::uint32_t i = 0; i < v->length; ++i) v->elements[i] *= factor;
}

void lsqr_mat_vec_prod(int mode, dvec* x, dvec* y, const dmat* matrix) {
  const std::uint32_t rows = matrix->rows;
  const std::uint32_t columns = matrix->columns;
  if (mode == 0) {
    double* ye = y->elements;
    accumulateRowDots(matrix->data, matrix->stride, rows, columns, x->elements,
                      [&](std::uint32_t r, double sum) { ye[r] += sum; });
  } else if (mode == 1) {
    accumulateColumns(matrix->data, matrix->stride, rows, columns, y->elements, x->elements);
  }
}

// ---------------------------------------------------------------------------
// Records

const char* lsqrStopMessage(std::uint32_t stopCode) {
  return stopCode < kStopMessageCount ? kStopMessages[stopCode] : "";
}

void lsqr_error(const char* message) {
  std::fprintf(stderr, "\t%s\n", message);
  throw std::bad_alloc();
}

void free_lsqr_in(lsqr_input* input) {
  if (input == nullptr) return;
  free_dvec(input->b);
  free_dvec(input->x);
  delete input;
}

void free_lsqr_out(lsqr_output* output) {
  if (output == nullptr) return;
  free_dvec(output->standardErrors);  // output->x belongs to the input
  delete output;
}

void free_lsqr_wrk(lsqr_work* work) {
  if (work == nullptr) return;
  free_dvec(work->v);
  free_dvec(work->w);
  delete work;
}

void free_lsqr_fnc(lsqr_func* func) {
  if (func == nullptr) return;
  free_dmat(func->matrix);
  delete func;
}

using InputOwner = std::unique_ptr<lsqr_input, RecordDeleter<lsqr_input, free_lsqr_in>>;
using OutputOwner = std::unique_ptr<lsqr_output, RecordDeleter<lsqr_output, free_lsqr_out>>;
using WorkOwner = std::unique_ptr<lsqr_work, RecordDeleter<lsqr_work, free_lsqr_wrk>>;
using FuncOwner = std::unique_ptr<lsqr_func, RecordDeleter<lsqr_func, free_lsqr_fnc>>;

lsqr_input* alloc_lsqr_in(std::uint32_t rows, std::uint32_t columns) {
  InputOwner input(allocRecord<lsqr_input>("lsqr: input structure allocation failure in function alloc_lsqr_in()"));
  input->rowCount = rows;
  input->columnCount = columns;
  input->b = alloc_dvec(rows);
  input->x = alloc_dvec(columns);
  return input.release();
}

lsqr_output* alloc_lsqr_out(std::uint32_t /*rows*/, std::uint32_t columns) {
  OutputOwner output(
      allocRecord<lsqr_output>("lsqr: output structure allocation failure in function alloc_lsqr_out()"));
  output->standardErrors = alloc_dvec(columns);
  return output.release();
}

lsqr_work* alloc_lsqr_wrk(std::uint32_t /*rows*/, std::uint32_t columns) {
  WorkOwner work(allocRecord<lsqr_work>("lsqr: work structure allocation failure in function alloc_lsqr_wrk()"));
  work->v = alloc_dvec(columns);
  work->w = alloc_dvec(columns);
  return work.release();
}

lsqr_func* alloc_lsqr_fnc(std::uint32_t rows, std::uint32_t columns) {
  FuncOwner func(allocRecord<lsqr_func>("lsqr: function structure allocation failure in function alloc_lsqr_fnc()"));
  func->product = lsqr_mat_vec_prod;
  func->matrix = alloc_dmat(rows, columns);
  return func.release();
}

namespace {

// lsqr_alloc_all with a matrix of its own size.
void allocRecords(std::uint32_t rows, std::uint32_t columns, std::uint32_t matrixRows, std::uint32_t matrixColumns,
                  lsqr_input*& input, lsqr_output*& output, lsqr_work*& work, lsqr_func*& func) {
  InputOwner in(alloc_lsqr_in(rows, columns));
  OutputOwner out(alloc_lsqr_out(rows, columns));
  WorkOwner wrk(alloc_lsqr_wrk(rows, columns));
  FuncOwner fnc(alloc_lsqr_fnc(matrixRows, matrixColumns));
  out->x = in->x;
  input = in.release();
  output = out.release();
  work = wrk.release();
  func = fnc.release();
}

}  // namespace

void lsqr_alloc_all(std::uint32_t rows, std::uint32_t columns, lsqr_input*& input, lsqr_output*& output,
                    lsqr_work*& work, lsqr_func*& func) {
  allocRecords(rows, columns, rows, columns, input, output, work, func);
}

void lsqr_free_all(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func) {
  free_lsqr_in(input);
  free_lsqr_out(output);
  free_lsqr_wrk(work);
  free_lsqr_fnc(func);
}

bool lsqr_set_input_size(lsqr_input* input, std::uint32_t rows, std::uint32_t columns) {
  if (!fits(input->b, rows) || !fits(input->x, columns)) return false;
  input->rowCount = rows;
  input->columnCount = columns;
  input->b->length = rows;
  input->x->length = columns;
  return true;
}

bool lsqr_set_output_size(lsqr_output* output, std::uint32_t columns) {
  if (!fits(output->standardErrors, columns)) return false;
  if (output->x != nullptr && !fits(output->x, columns)) return false;
  output->standardErrors->length = columns;
  if (output->x != nullptr) output->x->length = columns;
  return true;
}

bool lsqr_set_work_size(lsqr_work* work, std::uint32_t columns) {
  if (!fits(work->v, columns) || !fits(work->w, columns)) return false;
  work->v->length = columns;
  work->w->length = columns;
  return true;
}

bool lsqr_set_func_size(lsqr_func* func, std::uint32_t rows, std::uint32_t columns) {
  dmat* matrix = func->matrix;
  if (matrix == nullptr || rows > matrix->rowCapacity || columns > matrix->stride) return false;
  matrix->rows = rows;
  matrix->columns = columns;
  return true;
}

bool lsqr_set_size(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, std::uint32_t rows,
                   std::uint32_t columns) {
  // Check every record before changing any, so that a refusal leaves the
  // problem as it was.
  const dmat* matrix = func->matrix;
  const bool fitsAll = fits(input->b, rows) && fits(input->x, columns) && fits(output->standardErrors, columns) &&
                       (output->x == nullptr || fits(output->x, columns)) && fits(work->v, columns) &&
                       fits(work->w, columns) && matrix != nullptr && rows <= matrix->rowCapacity &&
                       columns <= matrix->stride;
  if (!fitsAll) return false;
  // Everything fits: the sizes are set without the setters' checks again.
  input->rowCount = rows;
  input->columnCount = columns;
  input->b->length = rows;
  input->x->length = columns;
  output->standardErrors->length = columns;
  if (output->x != nullptr) output->x->length = columns;
  work->v->length = columns;
  work->w->length = columns;
  func->matrix->rows = rows;
  func->matrix->columns = columns;
  return true;
}

// ---------------------------------------------------------------------------
// The solver

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
    zero(v_, columns_);
    zero(w_, columns_);
    zero(e_, columns_);
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

// ---------------------------------------------------------------------------
// LsqrProblem

LsqrProblem::LsqrProblem(std::uint32_t rows, std::uint32_t columns) : LsqrProblem(rows, columns, rows, columns) {}

LsqrProblem::LsqrProblem(std::uint32_t rows, std::uint32_t columns, std::uint32_t matrixRows,
                         std::uint32_t matrixColumns) {
  allocRecords(rows, columns, matrixRows, matrixColumns, input, output, work, func);
}

LsqrProblem::~LsqrProblem() { lsqr_free_all(input, output, work, func); }

LsqrProblem::LsqrProblem(LsqrProblem&& other) noexcept
    : input(std::exchange(other.input, nullptr)),
      output(std::exchange(other.output, nullptr)),
      work(std::exchange(other.work, nullptr)),
      func(std::exchange(other.func, nullptr)) {}

LsqrProblem& LsqrProblem::operator=(LsqrProblem&& other) noexcept {
  std::swap(input, other.input);
  std::swap(output, other.output);
  std::swap(work, other.work);
  std::swap(func, other.func);
  return *this;
}

bool LsqrProblem::setSize(std::uint32_t rows, std::uint32_t columns) {
  return lsqr_set_size(input, output, work, func, rows, columns);
}

void LsqrProblem::solve() { lsqr(input, output, work, func, func->matrix); }
