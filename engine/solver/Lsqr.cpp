#include "engine/solver/Lsqr.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>

#include "engine/solver/LsqrDenseProducts.h"

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

using lsqrdense::accumulateColumns;
using lsqrdense::accumulateRowDots;
using lsqrdense::dotInFours;

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
