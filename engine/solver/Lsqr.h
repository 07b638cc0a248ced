#pragma once

// LSQR: the least-squares solver of Paige and Saunders (Golub-Kahan
// bidiagonalisation with Givens rotations) that the engine's small dense
// impulse systems go through. The problem is carried by four plain records
// (input, output, work, function) that are allocated once at their largest
// size and resized in place, so that a solve allocates nothing.
//
// Allocation failures raise std::bad_alloc; the world step catches it and
// rebuilds its collision structures.

#include <cstdint>
#include <cstdio>

/// A vector of doubles with a capacity and a current length. A borrowed
/// record (a row view of a matrix) never frees its elements.
struct dvec {
  std::uint32_t borrowed;  ///< 0 when the record owns `elements`
  std::uint32_t capacity;  ///< elements allocated
  std::uint32_t length;    ///< elements in use, at most `capacity`
  double* elements;
};

/// A dense matrix stored row by row: element (r, c) is data[r * stride + c].
struct dmat {
  std::uint32_t rows;         ///< rows in use
  std::uint32_t rowCapacity;  ///< rows allocated
  std::uint32_t columns;      ///< columns in use
  std::uint32_t stride;       ///< columns allocated per row
  double* data;
};

/// A new owning vector of n zeroed elements (capacity = length = n).
dvec* alloc_dvec(std::uint32_t n);
/// Frees the vector record, and its elements when it owns them. Null is fine.
void free_dvec(dvec* v);
/// free_dvec as a deleter, for owning a vector record in a std::unique_ptr.
struct DvecDeleter {
  void operator()(dvec* v) const { free_dvec(v); }
};
/// A new rows x columns matrix of zeros whose capacities equal its sizes.
dmat* alloc_dmat(std::uint32_t rows, std::uint32_t columns);
/// Frees the matrix and its data. Null is fine.
void free_dmat(dmat* matrix);

/// A borrowed view of one row of `matrix`: length = the column count,
/// capacity = the row stride. Every element of the contact systems is
/// written through such a view.
dvec getMatrixRow(dmat* matrix, std::uint32_t row);

/// Copies `from`'s length of elements into `to`; false, with nothing copied,
/// when they do not fit in `to`'s capacity.
bool dvec_copy(const dvec* from, dvec* to);
/// Euclidean norm over the vector's length.
double dvec_norm2(const dvec* v);
/// Multiplies every element in use by `factor`.
void dvec_scale(dvec* v, double factor);

/// The matrix-vector product of a solve: mode 0 makes y := y + A x, mode 1
/// makes x := x + A^T y; any other mode does nothing. x has A's column count
/// of elements, y its row count.
using lsqr_product = void (*)(int mode, dvec* x, dvec* y, const dmat* matrix);

/// The dense row-major product: A's current rows and columns, rows read with
/// the row stride.
void lsqr_mat_vec_prod(int mode, dvec* x, dvec* y, const dmat* matrix);

/// Why a solve stopped. The values are the stop codes that lsqr_output
/// reports and lsqrStopMessage indexes.
enum LsqrStop : std::uint32_t {
  kLsqrStartIsSolution = 0,        ///< A^T (b - A x0) = 0: x0 is the answer
  kLsqrResidualWithinTol = 1,      ///< |r| small enough for atol and btol
  kLsqrLeastSquaresWithinTol = 2,  ///< |A^T r| small enough for atol
  kLsqrConditionOverLimit = 3,     ///< cond(A) estimate above conlim
  kLsqrResidualAtPrecision = 4,    ///< never produced
  kLsqrLeastSquaresAtPrecision = 5,
  kLsqrConditionAtPrecision = 6,  ///< cond(A) estimate above 1 / eps
  kLsqrIterationLimit = 7,
};

/// What a solve is asked to do.
struct lsqr_input {
  std::uint32_t rowCount;
  std::uint32_t columnCount;
  double damp;                   ///< minimises |Ax - b|^2 + damp^2 |x|^2
  double atol;                   ///< relative error of A, for stopping
  double btol;                   ///< relative error of b, for stopping
  double conlim;                 ///< condition limit (0: machine precision)
  std::uint32_t iterationLimit;  ///< stop code 7 when reached
  std::FILE* report;             ///< progress report; null writes nothing
  dvec* b;                       ///< right-hand side; overwritten by a solve
  dvec* x;                       ///< start value x0 in, solution out
};

/// What a solve found.
struct lsqr_output {
  LsqrStop stopCode;  ///< index into lsqrStopMessage
  std::uint32_t iterations;
  double normA;          ///< Frobenius-norm estimate of A
  double condA;          ///< condition estimate of A
  double normR;          ///< |b - A x| (with the damping term)
  double normATr;        ///< |A^T r|
  double normX;          ///< estimate of |x - x0|
  dvec* x;               ///< the input's solution vector, not owned
  dvec* standardErrors;  ///< standard-error estimate of each x element
};

/// The bidiagonalisation vector v and the search direction w.
struct lsqr_work {
  dvec* v;
  dvec* w;
};

/// The operator of a solve: its matrix and the product that applies it.
struct lsqr_func {
  dmat* matrix;
  lsqr_product product;
};

/// The stop messages, indexed by stop code (0 to 7); "" for other codes.
const char* lsqrStopMessage(std::uint32_t stopCode);

/// Writes "\t<message>\n" to the standard error stream and throws
/// std::bad_alloc: allocation failures must reach the world step's handler
/// rather than end the host process.
[[noreturn]] void lsqr_error(const char* message);

/// The record allocations. Each throws std::bad_alloc on failure after
/// freeing what it had allocated.
lsqr_input* alloc_lsqr_in(std::uint32_t rows, std::uint32_t columns);
lsqr_output* alloc_lsqr_out(std::uint32_t rows, std::uint32_t columns);
lsqr_work* alloc_lsqr_wrk(std::uint32_t rows, std::uint32_t columns);
lsqr_func* alloc_lsqr_fnc(std::uint32_t rows, std::uint32_t columns);
void free_lsqr_in(lsqr_input* input);
void free_lsqr_out(lsqr_output* output);
void free_lsqr_wrk(lsqr_work* work);
void free_lsqr_fnc(lsqr_func* func);

/// All four records for problems of up to rows x columns, the output's
/// solution vector set to the input's. On failure nothing stays allocated.
void lsqr_alloc_all(std::uint32_t rows, std::uint32_t columns, lsqr_input*& input, lsqr_output*& output,
                    lsqr_work*& work, lsqr_func*& func);
/// Releases the four records and everything they own. Nulls are fine.
void lsqr_free_all(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func);

/// The size setters: the lengths of the vectors and the sizes of the matrix
/// change, the capacities do not. Each answers false, with nothing changed,
/// when a size exceeds a capacity.
bool lsqr_set_input_size(lsqr_input* input, std::uint32_t rows, std::uint32_t columns);
bool lsqr_set_output_size(lsqr_output* output, std::uint32_t columns);
bool lsqr_set_work_size(lsqr_work* work, std::uint32_t columns);
bool lsqr_set_func_size(lsqr_func* func, std::uint32_t rows, std::uint32_t columns);
/// All four records at once: b gets `rows` elements, x, e, v and w get
/// `columns`, the matrix rows x columns.
bool lsqr_set_size(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, std::uint32_t rows,
                   std::uint32_t columns);

/// Solves min |A x - b| (damped when input->damp > 0) from the start value
/// in input->x. `matrix` is handed to every call of func->product. b is used
/// as working storage and is overwritten. With the dense product
/// (lsqr_mat_vec_prod) the iterations run on the matrix directly, with the
/// same operations in the same order as through the callback, so with the
/// same results.
void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, const dmat* matrix);

/// The operator of a solve for a matrix held in a layout of its own. Each
/// product must give, element by element, what the dense row-major products
/// give on the same matrix (lsqr_mat_vec_prod's sums, in its order), so that
/// a solve through it runs the same iterates as through the dense matrix.
class LsqrOperator {
 public:
  virtual ~LsqrOperator() = default;
  /// u := u - A x, formed as -((-u) + A x).
  virtual void residual(dvec* u, const dvec* x) const = 0;
  /// v := v + A^T u.
  virtual void adjoint(dvec* v, const dvec* u) const = 0;
  /// u := u (-alpha) + A v; returns |u| (dvec_norm2).
  virtual double forward(dvec* u, const dvec* v, double alpha) const = 0;
  /// v := v (-beta) + A^T u; returns |v| (dvec_norm2).
  virtual double backward(dvec* v, const dvec* u, double beta) const = 0;
};

/// lsqr with the operator's products in place of a matrix.
void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, const LsqrOperator& op);

/// Owner of the four records of one problem: allocated together
/// (lsqr_alloc_all), released together (lsqr_free_all).
class LsqrProblem {
 public:
  /// Records for problems of up to rows x columns. Throws std::bad_alloc.
  LsqrProblem(std::uint32_t rows, std::uint32_t columns);
  /// The same with a matrix of matrixRows x matrixColumns: a problem solved
  /// through an LsqrOperator needs none (0 x 0).
  LsqrProblem(std::uint32_t rows, std::uint32_t columns, std::uint32_t matrixRows, std::uint32_t matrixColumns);
  ~LsqrProblem();
  LsqrProblem(LsqrProblem&& other) noexcept;
  LsqrProblem& operator=(LsqrProblem&& other) noexcept;
  LsqrProblem(const LsqrProblem&) = delete;
  LsqrProblem& operator=(const LsqrProblem&) = delete;

  /// lsqr_set_size on the four records.
  bool setSize(std::uint32_t rows, std::uint32_t columns);
  /// Runs lsqr with the problem's own matrix.
  void solve();

  lsqr_input* input = nullptr;
  lsqr_output* output = nullptr;
  lsqr_work* work = nullptr;
  lsqr_func* func = nullptr;
};
