#include "engine/collision/SolverWorkspace.h"

#include <limits>

#include "engine/solver/SystemZeroing.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

namespace {

void zeroElements(dvec* v) {
  for (std::uint32_t i = 0; i < v->length; ++i) v->elements[i] = 0.0;
}

// The removal solves of a vector system of n contacts: solve, take out the
// first unmarked contact whose impulse pulls (marked, then `takeOut` removes
// it from the operator), give the right-hand side back, and solve again until none pulls.
template <typename Solve, typename TakeOut>
void removePullingContacts(std::uint32_t n, dvec* rhs, dvec* x, dvec* backup, const Mgc::MgcVector3* normals,
                           std::uint8_t* marks, Solve solve, TakeOut takeOut) {
  for (std::uint32_t i = 0; i < n; ++i) marks[i] = 0;
  zeroElements(x);
  dvec_copy(rhs, backup);
  solve();

  bool removed = true;
  while (removed) {
    removed = false;
    for (std::uint32_t i = 0; i < n && !removed; ++i) {
      if (marks[i] != 0) continue;
      const std::uint32_t row = kContactRows * i;
      const Mgc::MgcVector3 impulse(x->elements[row], x->elements[row + 1], x->elements[row + 2]);
      if (impulse.Dot(normals[i]) < -zov::kTolerance) {
        marks[i] = 1;
        takeOut(i);
        zeroVectorRange(backup, row, row + kContactRows - 1);
        zeroVectorRange(x, row, row + kContactRows - 1);
        removed = true;
      }
    }
    // lsqr works in the right-hand side; give it back before the next solve.
    dvec_copy(backup, rhs);
    if (removed) solve();
  }
}

// Sizes the problem for m x m: every record, or the vectors alone when the
// matrix does not hold m x m (a system solved over contact blocks has a
// matrix only for the dense reference).
void setProblemSize(LsqrProblem& problem, std::uint32_t m) {
  if (problem.setSize(m, m)) return;
  lsqr_set_input_size(problem.input, m, m);
  lsqr_set_output_size(problem.output, m);
  lsqr_set_work_size(problem.work, m);
}

// Whether setProblemSize(problem, m) would change nothing: every record is
// sized m already, and so is the matrix where it holds m x m.
bool sizedAs(const LsqrProblem& problem, std::uint32_t m) {
  const lsqr_input* input = problem.input;
  const lsqr_output* output = problem.output;
  const lsqr_work* work = problem.work;
  const dmat* matrix = problem.func->matrix;
  const bool matrixHolds = matrix != nullptr && m <= matrix->rowCapacity && m <= matrix->stride;
  return input->rowCount == m && input->columnCount == m && input->b->length == m && input->x->length == m &&
         output->standardErrors->length == m && (output->x == nullptr || output->x->length == m) &&
         work->v->length == m && work->w->length == m && (!matrixHolds || (matrix->rows == m && matrix->columns == m));
}

}  // namespace

SolverWorkspace::SolverWorkspace()
    : bytes(kInitialCapacity),
      scalarProblem(kInitialCapacity, kInitialCapacity, kInitialMatrixCapacity, kInitialMatrixCapacity),
      vectorProblem(kInitialCapacity, kInitialCapacity, 0, 0),
      backup(alloc_dvec(kInitialCapacity)) {
  keptUnknowns.reserve(kInitialCapacity);
}

void SolverWorkspace::fitMatrix(LsqrProblem& problem, std::uint32_t m) {
  dmat*& matrix = problem.func->matrix;
  if (matrix->rowCapacity > m && matrix->stride > m) return;
  std::uint32_t grown = matrix->rowCapacity < kInitialMatrixCapacity ? kInitialMatrixCapacity : matrix->rowCapacity;
  while (grown <= m) grown = grown < std::numeric_limits<std::uint32_t>::max() / 2 ? 2 * grown : m + 1;
  // Allocate before releasing, so that a failure leaves the old matrix.
  dmat* replacement = alloc_dmat(grown, grown);
  free_dmat(matrix);
  matrix = replacement;
}

void SolverWorkspace::sizeProblem(LsqrProblem& problem, std::uint32_t& capacity, std::uint32_t m, bool dense) {
  if (capacity <= m) {
    // Allocate before releasing, so that a failure leaves the old storage.
    LsqrProblem grown(m + 1, m + 1, 0, 0);
    problem = std::move(grown);
    capacity = m + 1;
  }
  if (backup->capacity <= m) backup.reset(alloc_dvec(m + 1));
  if (dense) fitMatrix(problem, m);
  if (!sizedAs(problem, m)) setProblemSize(problem, m);
  lsqr_input* input = problem.input;
  input->damp = 0.0;
  input->atol = 0.0;
  input->btol = 0.0;
  input->conlim = 0.0;
  input->iterationLimit = (3 * m) / 2;
  backup->length = m;
}

bool SolverWorkspace::prepareVectorSystem(std::uint32_t n, std::uint32_t extra, dvec*& rhs, dvec*& x, dmat*& matrix) {
  if (!sizeVectorSystem(n, extra, true, rhs, x)) return false;
  matrix = vectorProblem.func->matrix;
  return true;
}

bool SolverWorkspace::sizeVectorSystem(std::uint32_t n, std::uint32_t extra, bool dense, dvec*& rhs, dvec*& x) {
  if (n == 0) return false;
  // Sizes whose iteration limit 3m/2 would not fit in 32 bits are refused.
  const std::uint64_t unknowns = std::uint64_t{kContactRows} * n + extra;
  if (unknowns >= std::numeric_limits<std::uint32_t>::max() / kContactRows) return false;
  const auto m = static_cast<std::uint32_t>(unknowns);
  sizeProblem(vectorProblem, vectorCapacity, m, dense);
  rhs = vectorProblem.input->b;
  x = vectorProblem.input->x;
  return true;
}

void SolverWorkspace::setDenseReference(bool dense) {
  denseReference = dense;
  if (!dense) return;
  // The matrix the blocks are written out into, for the system as sized now.
  fitMatrix(vectorProblem, vectorCapacity - 1);
  lsqr_set_func_size(vectorProblem.func, vectorProblem.input->rowCount, vectorProblem.input->columnCount);
}

bool SolverWorkspace::prepareScalarSystem(std::uint32_t m, dvec*& rhs, dvec*& x, dmat*& matrix,
                                          std::uint8_t*& byteBuffer) {
  if (m == 0 || m >= std::numeric_limits<std::uint32_t>::max() / kContactRows) return false;
  sizeProblem(scalarProblem, scalarCapacity, m, true);
  if (bytes.size() < scalarCapacity) bytes.assign(scalarCapacity, 0);
  rhs = scalarProblem.input->b;
  x = scalarProblem.input->x;
  matrix = scalarProblem.func->matrix;
  byteBuffer = bytes.data();
  return true;
}

LsqrProblem* SolverWorkspace::problemOf(const dmat* matrix, const dvec* rhs, const dvec* x) {
  for (LsqrProblem* problem : {&scalarProblem, &vectorProblem}) {
    if (matrix == problem->func->matrix && rhs == problem->input->b && x == problem->input->x) {
      return problem;
    }
  }
  return nullptr;
}

double SolverWorkspace::solveVectorSystem(std::uint32_t n, dmat* matrix, dvec* rhs, dvec* x,
                                          const Mgc::MgcVector3* normals, std::uint8_t* marks) {
  LsqrProblem* problem = problemOf(matrix, rhs, x);
  if (problem == nullptr || std::uint64_t{kContactRows} * n > x->length) return -1.0;

  removePullingContacts(
      n, rhs, x, backup.get(), normals, marks, [&] { problem->solve(); },
      [&](std::uint32_t i) { zeroContactRows(matrix, i); });
  const double residual = problem->output->normR;
  compactVectorSystem(n, matrix, rhs, x, marks);
  return residual;
}

bool SolverWorkspace::prepareBlockSystem(std::uint32_t n, dvec*& rhs, dvec*& x, ContactBlocks*& blocks) {
  if (!sizeVectorSystem(n, 0, denseReference, rhs, x)) return false;
  blocks = &contactBlocks;
  return true;
}

bool SolverWorkspace::ownsBlockSystem(std::uint32_t n, const ContactBlocks* blocks, const dvec* rhs,
                                      const dvec* x) const {
  return blocks == &contactBlocks && rhs == vectorProblem.input->b && x == vectorProblem.input->x &&
         blocks->count() == n && n <= ContactBlocks::kMaxContacts && std::uint64_t{kContactRows} * n <= x->length;
}

double SolverWorkspace::solveBlockSystem(std::uint32_t n, ContactBlocks* blocks, dvec* rhs, dvec* x,
                                         const Mgc::MgcVector3* normals, std::uint8_t* marks) {
  if (!ownsBlockSystem(n, blocks, rhs, x)) return -1.0;
  if (denseReference) {
    dmat* matrix = vectorProblem.func->matrix;
    blocks->expand(matrix);
    const double residual = solveVectorSystem(n, matrix, rhs, x, normals, marks);
    blocks->keep(marks);
    return residual;
  }
  // A removed contact is out of the products through its mark, read again
  // before every solve after the first. The first solve finds every mark
  // cleared, as the products read them here.
  for (std::uint32_t i = 0; i < n; ++i) marks[i] = 0;
  ContactBlockProducts products(*blocks, marks);
  LsqrProblem& problem = vectorProblem;
  bool marksRead = true;
  const auto solve = [&] {
    if (!marksRead) products.update();
    marksRead = false;
    products.solve(problem.input, problem.output, problem.work);
  };
  removePullingContacts(n, rhs, x, backup.get(), normals, marks, solve, [](std::uint32_t) {});
  const double residual = problem.output->normR;
  compactBlockSystem(n, blocks, rhs, x, marks);
  return residual;
}

double SolverWorkspace::solveScalarSystem(std::uint32_t n1, std::uint32_t n2, dmat* matrix, dvec* rhs, dvec* x,
                                          std::uint8_t* marks1, std::uint8_t* marks2) {
  LsqrProblem* problem = problemOf(matrix, rhs, x);
  if (problem == nullptr || std::uint64_t{n1} + n2 > x->length) return -1.0;

  for (std::uint32_t i = 0; i < n1; ++i) marks1[i] = 0;
  for (std::uint32_t i = 0; i < n2; ++i) marks2[i] = 0;
  zeroElements(x);
  dvec_copy(rhs, backup.get());
  problem->solve();

  // Takes out the first unmarked negative unknown of one group.
  auto removeFirstNegative = [&](std::uint32_t offset, std::uint32_t count, std::uint8_t* marks) {
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t unknown = offset + i;
      if (marks[i] != 0 || !(x->elements[unknown] < -zov::kTolerance)) continue;
      zeroRowAndColumn(matrix, unknown);
      zeroVectorRange(backup.get(), unknown, unknown);
      zeroVectorRange(x, unknown, unknown);
      marks[i] = 1;
      return true;
    }
    return false;
  };

  bool removed = true;
  while (removed) {
    const bool removedFirst = removeFirstNegative(0, n1, marks1);
    const bool removedSecond = removeFirstNegative(n1, n2, marks2);
    removed = removedFirst || removedSecond;
    dvec_copy(backup.get(), rhs);
    if (removed) problem->solve();
  }

  const double residual = problem->output->normR;
  compactScalarSystem(n1, n2, matrix, rhs, x, marks1, marks2);
  return residual;
}

void SolverWorkspace::compactVectorSystem(std::uint32_t n, dmat* matrix, dvec* rhs, dvec* x,
                                          const std::uint8_t* marks) {
  LsqrProblem* problem = problemOf(matrix, rhs, x);
  if (problem == nullptr || std::uint64_t{kContactRows} * n > x->length) return;
  std::vector<std::uint32_t>& kept = keptUnknowns;
  kept.clear();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marks[i] == 0) kept.push_back(i);
  }
  compact(problem, kept, kContactRows, matrix, rhs, x);
}

void SolverWorkspace::compactBlockSystem(std::uint32_t n, ContactBlocks* blocks, dvec* rhs, dvec* x,
                                         const std::uint8_t* marks) {
  if (!ownsBlockSystem(n, blocks, rhs, x)) return;
  std::uint32_t kept[ContactBlocks::kMaxContacts];
  std::uint32_t count = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marks[i] == 0) kept[count++] = i;
  }
  compactVectors(&vectorProblem, kept, count, kContactRows, rhs, x);
  blocks->keep(marks);
}

void SolverWorkspace::compactScalarSystem(std::uint32_t n1, std::uint32_t n2, dmat* matrix, dvec* rhs, dvec* x,
                                          const std::uint8_t* marks1, const std::uint8_t* marks2) {
  LsqrProblem* problem = problemOf(matrix, rhs, x);
  if (problem == nullptr || std::uint64_t{n1} + n2 > x->length) return;
  std::vector<std::uint32_t>& kept = keptUnknowns;
  kept.clear();
  for (std::uint32_t i = 0; i < n1; ++i) {
    if (marks1[i] == 0) kept.push_back(i);
  }
  for (std::uint32_t i = 0; i < n2; ++i) {
    if (marks2[i] == 0) kept.push_back(n1 + i);
  }
  compact(problem, kept, 1, matrix, rhs, x);
}

void SolverWorkspace::compact(LsqrProblem* problem, const std::vector<std::uint32_t>& kept, std::uint32_t width,
                              dmat* matrix, dvec* rhs, dvec* x) {
  // Kept groups only move towards the front, and block (a, b) is written
  // over the place of group pair (a, b), whose own block was moved already
  // (it is needed for a pair of groups at or before (a, b)). So the moves
  // can be done in place in ascending order.
  const auto count = static_cast<std::uint32_t>(kept.size());
  // With every unknown up to the last kept one kept, nothing moves.
  const bool inPlace = count == 0 || kept[count - 1] == count - 1;
  for (std::uint32_t a = 0; a < count && !inPlace; ++a) {
    for (std::uint32_t r = 0; r < width; ++r) {
      const std::uint32_t to = width * a + r;
      const std::uint32_t from = width * kept[a] + r;
      dvec targetRow = getMatrixRow(matrix, to);
      const dvec sourceRow = getMatrixRow(matrix, from);
      for (std::uint32_t b = 0; b < count; ++b) {
        for (std::uint32_t c = 0; c < width; ++c) {
          targetRow.elements[width * b + c] = sourceRow.elements[width * kept[b] + c];
        }
      }
    }
  }
  compactVectors(problem, kept.data(), count, width, rhs, x);
}

void SolverWorkspace::compactVectors(LsqrProblem* problem, const std::uint32_t* kept, std::uint32_t count,
                                     std::uint32_t width, dvec* rhs, dvec* x) {
  // The groups before the first one taken out are in place already.
  std::uint32_t first = 0;
  while (first < count && kept[first] == first) ++first;
  for (std::uint32_t a = first; a < count; ++a) {
    for (std::uint32_t r = 0; r < width; ++r) {
      rhs->elements[width * a + r] = rhs->elements[width * kept[a] + r];
      x->elements[width * a + r] = x->elements[width * kept[a] + r];
    }
  }
  // With every unknown kept the sizes stand as the solve was made with them.
  const std::uint32_t m = width * count;
  if (m == backup->length && sizedAs(*problem, m)) return;
  setProblemSize(*problem, m);
  backup->length = m;
}
