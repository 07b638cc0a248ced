#pragma once

// The contact solver's workspace of one thread: a scalar system over normal
// impulse magnitudes and a vector system over the 3n impulse components of n
// contacts, both solved in the least-squares sense. Non-negative normal
// impulses are obtained by taking an offending unknown out of the system and
// solving again, never by clamping it.
//
// Every solve starts by sizing, so nothing of an earlier solve's sizes
// survives. The storage only grows, and is resized in place otherwise.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/collision/SolveArrays.h"
#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"

namespace Mgc {
class MgcVector3;
}

class SolverWorkspace {
 public:
  /// Unknowns both systems take before they first grow.
  static constexpr std::uint32_t kInitialCapacity = 128;
  /// Rows and columns of a dense matrix when it is first made; it doubles
  /// when a system needs more.
  static constexpr std::uint32_t kInitialMatrixCapacity = 16;

  /// Allocates both systems at kInitialCapacity, and the scalar system's
  /// dense matrix at kInitialMatrixCapacity: nearly every resting pair
  /// solves one, and a workspace made here is made on the thread that sets
  /// the workers up, not on the helper that solves first. The vector
  /// system's matrix is made when it first needs one (the vector system
  /// solved over contact blocks needs none). Throws std::bad_alloc.
  SolverWorkspace();
  SolverWorkspace(const SolverWorkspace&) = delete;
  SolverWorkspace& operator=(const SolverWorkspace&) = delete;

  /// Sizes the vector system for m = extra + 3n unknowns (square) and hands
  /// out its right-hand side, solution and matrix; false when n is 0. Grows
  /// the storage when needed (std::bad_alloc when memory runs out).
  bool prepareVectorSystem(std::uint32_t n, std::uint32_t extra, dvec*& rhs, dvec*& x, dmat*& matrix);

  /// Sizes the vector system for the 3n impulse components of n contacts as
  /// prepareVectorSystem does, and hands out its right-hand side and
  /// solution and the workspace's contact blocks, which the caller fills
  /// (ContactBlocks::reset) or keeps from the last solve on the same
  /// contacts. False when n is 0.
  bool prepareBlockSystem(std::uint32_t n, dvec*& rhs, dvec*& x, ContactBlocks*& blocks);

  /// Sizes the scalar system for m unknowns and hands out the same, and a
  /// byte buffer of at least m bytes; false when m is 0.
  bool prepareScalarSystem(std::uint32_t m, dvec*& rhs, dvec*& x, dmat*& matrix, std::uint8_t*& bytes);

  /// Solves the prepared system over the impulses J_i = (x[3i], x[3i+1],
  /// x[3i+2]) of n contacts with unit normals `normals`, taking out one
  /// contact that pulls (J_i . n_i < -1e-5) per re-solve until none does.
  /// marks[i] becomes 1 for a removed contact, 0 otherwise. Afterwards the
  /// system is cut down to the kept contacts (compactVectorSystem), and rhs
  /// holds the kept contacts' right-hand sides as they were given. Returns
  /// the residual norm of the last solve; -1 when the records are not this
  /// workspace's or n contacts do not fit in them.
  double solveVectorSystem(std::uint32_t n, dmat* matrix, dvec* rhs, dvec* x, const Mgc::MgcVector3* normals,
                           std::uint8_t* marks);

  /// solveVectorSystem on the contact blocks of n contacts in use: the same
  /// removals and iterates but for rounding, the products run over the
  /// blocks' factors (ContactBlockProducts::solve). Afterwards the
  /// blocks keep the kept contacts (ContactBlocks::keep) and rhs and x are cut
  /// down as there. -1 when the records are not this workspace's or the
  /// blocks do not hold n contacts, or n is above ContactBlocks::kMaxContacts.
  double solveBlockSystem(std::uint32_t n, ContactBlocks* blocks, dvec* rhs, dvec* x, const Mgc::MgcVector3* normals,
                          std::uint8_t* marks);

  /// Solves the prepared system over n1 + n2 unknowns in two groups, taking
  /// out per re-solve the first negative unknown (below -1e-5) of each group
  /// until none is left; marks1 (n1 bytes) and marks2 (n2 bytes) record the
  /// removals. Then cuts the system down (compactScalarSystem). Returns as
  /// solveVectorSystem.
  double solveScalarSystem(std::uint32_t n1, std::uint32_t n2, dmat* matrix, dvec* rhs, dvec* x, std::uint8_t* marks1,
                           std::uint8_t* marks2);

  /// Keeps the 3-row groups of the unmarked contacts among n: their
  /// right-hand-side and solution entries and the 3 x 3 blocks between every
  /// two of them move to the front in order; all sizes become 3 x kept.
  void compactVectorSystem(std::uint32_t n, dmat* matrix, dvec* rhs, dvec* x, const std::uint8_t* marks);

  /// compactVectorSystem on the contact blocks of n contacts in use.
  void compactBlockSystem(std::uint32_t n, ContactBlocks* blocks, dvec* rhs, dvec* x, const std::uint8_t* marks);

  /// The per-contact arrays this thread lends to the pair it solves.
  SolveArrays& solveArrays() { return pairArrays; }

  /// With `dense` set, solveBlockSystem writes the blocks out as the dense
  /// matrix and runs solveVectorSystem on it: the reference that block solves
  /// are checked against. Off by default.
  void setDenseReference(bool dense);

  /// The same for single unknowns: the first n1 judged by marks1, the next
  /// n2 by marks2.
  void compactScalarSystem(std::uint32_t n1, std::uint32_t n2, dmat* matrix, dvec* rhs, dvec* x,
                           const std::uint8_t* marks1, const std::uint8_t* marks2);

 private:
  /// The problem whose records these are, or null.
  LsqrProblem* problemOf(const dmat* matrix, const dvec* rhs, const dvec* x);
  /// Sizes a problem for m x m with the solver settings of every contact
  /// solve; grows it (and the backup) first when its capacity is not above m.
  /// With `dense` its matrix is made to hold m x m too; without, a matrix
  /// that does not hold m x m is left as it is.
  void sizeProblem(LsqrProblem& problem, std::uint32_t& capacity, std::uint32_t m, bool dense);
  /// Makes the problem's matrix hold m x m: a new zeroed one, doubled from
  /// kInitialMatrixCapacity, when its capacity is not above m.
  static void fitMatrix(LsqrProblem& problem, std::uint32_t m);
  /// prepareVectorSystem's sizing, the matrix made to hold the system only
  /// when `dense`.
  bool sizeVectorSystem(std::uint32_t n, std::uint32_t extra, bool dense, dvec*& rhs, dvec*& x);
  /// Keeps the unknowns listed in `kept` (ascending), moving their entries and
  /// the blocks of `width` x `width` between them to the front.
  void compact(LsqrProblem* problem, const std::vector<std::uint32_t>& kept, std::uint32_t width, dmat* matrix,
               dvec* rhs, dvec* x);
  /// The same for the right-hand side and the solution alone, `count`
  /// unknowns listed in `kept`.
  void compactVectors(LsqrProblem* problem, const std::uint32_t* kept, std::uint32_t count, std::uint32_t width,
                      dvec* rhs, dvec* x);
  /// Whether rhs, x and blocks are the vector system's and the blocks hold n
  /// contacts in use that fit the vectors.
  bool ownsBlockSystem(std::uint32_t n, const ContactBlocks* blocks, const dvec* rhs, const dvec* x) const;

  std::vector<std::uint8_t> bytes;          ///< handed out with the scalar system
  std::vector<std::uint32_t> keptUnknowns;  ///< compaction's list, kept between solves
  LsqrProblem scalarProblem;
  LsqrProblem vectorProblem;
  std::unique_ptr<dvec, DvecDeleter> backup;  ///< the right-hand side during a removal solve
  ContactBlocks contactBlocks;                ///< the vector system's blocks
  SolveArrays pairArrays;                     ///< lent to the pair being solved
  bool denseReference = false;
  // Each problem has a capacity of its own: a size that fits one need not fit
  // the other.
  std::uint32_t scalarCapacity = kInitialCapacity;
  std::uint32_t vectorCapacity = kInitialCapacity;
};
