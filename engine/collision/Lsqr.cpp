#include "engine/collision/Lsqr.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr double kMachineEpsilon = std::numeric_limits<double>::epsilon();

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

double dvec_norm2(const dvec* v) {
  double sum = 0.0;
  for (std::uint32_t i = 0; i < v->length; ++i) sum += v->elements[i] * v->elements[i];
  return std::sqrt(sum);
}

void dvec_scale(dvec* v, double factor) {
  for (std::uint32_t i = 0; i < v->length; ++i) v->elements[i] *= factor;
}

void lsqr_mat_vec_prod(int mode, dvec* x, dvec* y, const dmat* matrix) {
  const std::uint32_t rows = matrix->rows;
  const std::uint32_t columns = matrix->columns;
  if (mode == 0) {
    for (std::uint32_t r = 0; r < rows; ++r) {
      const double* row = matrix->data + static_cast<std::size_t>(r) * matrix->stride;
      double sum = 0.0;
      for (std::uint32_t c = 0; c < columns; ++c) sum += row[c] * x->elements[c];
      y->elements[r] += sum;
    }
  } else if (mode == 1) {
    for (std::uint32_t r = 0; r < rows; ++r) {
      const double* row = matrix->data + static_cast<std::size_t>(r) * matrix->stride;
      const double yr = y->elements[r];
      for (std::uint32_t c = 0; c < columns; ++c) x->elements[c] += row[c] * yr;
    }
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

void lsqr_alloc_all(std::uint32_t rows, std::uint32_t columns, lsqr_input*& input, lsqr_output*& output,
                    lsqr_work*& work, lsqr_func*& func) {
  InputOwner in(alloc_lsqr_in(rows, columns));
  OutputOwner out(alloc_lsqr_out(rows, columns));
  WorkOwner wrk(alloc_lsqr_wrk(rows, columns));
  FuncOwner fnc(alloc_lsqr_fnc(rows, columns));
  out->x = in->x;
  input = in.release();
  output = out.release();
  work = wrk.release();
  func = fnc.release();
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
  lsqr_set_input_size(input, rows, columns);
  lsqr_set_output_size(output, columns);
  lsqr_set_work_size(work, columns);
  lsqr_set_func_size(func, rows, columns);
  return true;
}

// ---------------------------------------------------------------------------
// The solver

void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, const dmat* matrix) {
  const std::uint32_t rows = input->rowCount;
  const std::uint32_t columns = input->columnCount;
  dvec* u = input->b;  // the left bidiagonalisation vector lives in b
  dvec* x = input->x;
  dvec* v = work->v;
  dvec* w = work->w;
  dvec* e = output->standardErrors;
  std::FILE* report = input->report;

  if (report != nullptr) {
    std::fprintf(report,
                 "  Least Squares Solution of A*x = b\n"
                 "\tThe matrix A has %7i rows and %7i columns\n"
                 "\tThe damping parameter is\tDAMP = %10.2e\n"
                 "\tATOL = %10.2e\t\tCONDLIM = %10.2e\n"
                 "\tBTOL = %10.2e\t\tITERLIM = %10i\n\n",
                 static_cast<int>(rows), static_cast<int>(columns), input->damp, input->atol, input->conlim,
                 input->btol, static_cast<int>(input->iterationLimit));
  }

  std::uint32_t stopCode = 0;
  std::uint32_t iterations = 0;
  zero(v, columns);
  zero(w, columns);
  zero(e, columns);

  const double ctol = input->conlim > 0.0 ? 1.0 / input->conlim : kMachineEpsilon;
  const double damp = input->damp;
  const double dampSq = damp * damp;
  double normA = 0.0, condA = 0.0, normX = 0.0;
  double bbnorm = 0.0, ddnorm = 0.0, res2 = 0.0, xxnorm = 0.0;
  double z = 0.0, cs2 = -1.0, sn2 = 0.0;

  // Start from x0: the residual b - A x0 becomes the first u.
  dvec_scale(u, -1.0);
  func->product(0, x, u, matrix);
  dvec_scale(u, -1.0);

  double alpha = 0.0;
  double beta = dvec_norm2(u);
  if (beta > 0.0) {
    dvec_scale(u, 1.0 / beta);
    func->product(1, v, u, matrix);
    alpha = dvec_norm2(v);
  }
  if (alpha > 0.0) {
    dvec_scale(v, 1.0 / alpha);
    dvec_copy(v, w);
  }

  const double normB = beta;
  double normR = beta;
  double normATr = alpha * beta;

  auto storeResults = [&] {
    output->stopCode = stopCode;
    output->iterations = iterations;
    output->normA = normA;
    output->condA = condA;
    output->normR = normR;
    output->normATr = normATr;
    output->normX = normX;
  };

  if (normATr == 0.0) {
    if (report != nullptr) {
      std::fprintf(report,
                   "\tISTOP = %3i\t\t\tITER = %9i\n"
                   "\t    || A ||_F = %13.5e\tcond( A ) = %13.5e\n"
                   "\t    || r ||_2 = %13.5e\t|| A^T r ||_2 = %13.5e\n"
                   "\t    || b ||_2 = %13.5e\t|| x - x0 ||_2 = %13.5e\n\n",
                   static_cast<int>(stopCode), static_cast<int>(iterations), normA, condA, normR, normATr, normB,
                   normX);
      std::fprintf(report, "  %s\n\n", lsqrStopMessage(stopCode));
    }
    storeResults();
    return;
  }

  if (report != nullptr) {
    std::fprintf(report,
                 "  ITER     || r ||    Compatible  ||A^T r|| / ||A|| ||r||  || A ||    "
                 "cond( A )\n\n");
    std::fprintf(report, "%6i %13.5e %10.2e \t%10.2e \t%10.2e  %10.2e\n", 0, beta, 1.0, alpha / beta, normA, condA);
  }

  double rhobar = alpha;
  double phibar = beta;

  while (stopCode == 0) {
    ++iterations;

    // Continue the bidiagonalisation: beta u = A v - alpha u, alpha v = A^T u - beta v.
    dvec_scale(u, -alpha);
    func->product(0, v, u, matrix);
    beta = dvec_norm2(u);
    bbnorm += alpha * alpha + beta * beta + dampSq;
    if (beta > 0.0) {
      dvec_scale(u, 1.0 / beta);
      dvec_scale(v, -beta);
      func->product(1, v, u, matrix);
      alpha = dvec_norm2(v);
      if (alpha > 0.0) dvec_scale(v, 1.0 / alpha);
    }

    // Rotation that eliminates the damping parameter.
    const double rhbar1 = std::sqrt(rhobar * rhobar + dampSq);
    const double cs1 = rhobar / rhbar1;
    const double sn1 = damp / rhbar1;
    const double psi = sn1 * phibar;
    phibar = cs1 * phibar;

    // Plane rotation that eliminates the subdiagonal beta.
    const double rho = std::sqrt(rhbar1 * rhbar1 + beta * beta);
    const double cs = rhbar1 / rho;
    const double sn = beta / rho;
    const double theta = sn * alpha;
    rhobar = -cs * alpha;
    const double phi = cs * phibar;
    phibar = sn * phibar;
    const double tau = sn * phi;

    // Update x and w; accumulate the diagonal of (R^T R)^-1 for the errors.
    const double t1 = phi / rho;
    const double t2 = -theta / rho;
    const double t3 = 1.0 / rho;
    for (std::uint32_t i = 0; i < columns; ++i) {
      const double wi = w->elements[i];
      x->elements[i] += t1 * wi;
      w->elements[i] = t2 * wi + v->elements[i];
      const double d = (t3 * wi) * (t3 * wi);
      e->elements[i] += d;
      ddnorm += d;
    }

    // Estimate |x| by a rotation on the lower bidiagonal system.
    const double delta = sn2 * rho;
    const double gambar = -cs2 * rho;
    const double rhs = phi - delta * z;
    const double zbar = rhs / gambar;
    normX = std::sqrt(xxnorm + zbar * zbar);
    const double gamma = std::sqrt(gambar * gambar + theta * theta);
    cs2 = gambar / gamma;
    sn2 = theta / gamma;
    z = rhs / gamma;
    xxnorm += z * z;

    normA = std::sqrt(bbnorm);
    condA = normA * std::sqrt(ddnorm);
    res2 += psi * psi;
    normR = std::sqrt(phibar * phibar + res2);
    normATr = alpha * std::fabs(tau);

    const double test1 = normR / normB;
    const double test2 = normR > 0.0 ? normATr / (normA * normR) : 0.0;
    const double test3 = 1.0 / condA;
    const double rtol = input->btol + input->atol * normA * normX / normB;

    // A later test overrides an earlier one.
    if (iterations >= input->iterationLimit) stopCode = 7;
    if (test3 <= kMachineEpsilon) stopCode = 6;
    if (test2 <= kMachineEpsilon) stopCode = 5;
    if (test3 <= ctol) stopCode = 3;
    if (test2 <= input->atol) stopCode = 2;
    if (test1 <= rtol) stopCode = 1;

    if (report != nullptr) {
      std::fprintf(report, "%6i %13.5e %10.2e \t%10.2e \t%10.2e %10.2e\n", static_cast<int>(iterations), normR, test1,
                   test2, normA, condA);
    }
  }

  // Standard errors: sqrt of the accumulated diagonal scaled by the residual
  // per degree of freedom.
  double dof = 1.0;
  if (rows > columns) dof = static_cast<double>(rows - columns);
  if (dampSq > 0.0) dof = static_cast<double>(rows);
  const double scale = normR / std::sqrt(dof);
  for (std::uint32_t i = 0; i < columns; ++i) e->elements[i] = std::sqrt(e->elements[i]) * scale;

  if (report != nullptr) {
    std::fprintf(report,
                 "\n\tISTOP = %3i\t\t\tITER = %9i\n"
                 "\t|| A ||_F = %13.5e\tcond( A ) = %13.5e\n"
                 "\t|| r ||_2 = %13.5e\t|| A^T r ||_2 = %13.5e\n"
                 "\t|| b ||_2 = %13.5e\t|| x - x0 ||_2 = %13.5e\n\n",
                 static_cast<int>(stopCode), static_cast<int>(iterations), normA, condA, normR, normATr, normB, normX);
    std::fprintf(report, "  %s\n\n", lsqrStopMessage(stopCode));
  }
  storeResults();
}

// ---------------------------------------------------------------------------
// LsqrProblem

LsqrProblem::LsqrProblem(std::uint32_t rows, std::uint32_t columns) {
  lsqr_alloc_all(rows, columns, input, output, work, func);
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
