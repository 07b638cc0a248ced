#pragma once

// The small least-squares system of one thread: 3 x 3 single-body impacts and
// 3 x 3 or 6 x 6 joint impulses. Each thread uses its own entry of
// g_lsqrSystems, selected by its worker index (0 = the calling thread), so no
// lock is taken.

#include <array>
#include <cstdint>
#include <memory>

#include "engine/solver/Lsqr.h"

class LsqrSystem {
 public:
  /// The largest system it takes is kMaxUnknowns x kMaxUnknowns.
  static constexpr int kMaxUnknowns = 16;

  /// Allocates the problem at its largest size. Throws std::bad_alloc.
  LsqrSystem();
  LsqrSystem(const LsqrSystem&) = delete;
  LsqrSystem& operator=(const LsqrSystem&) = delete;

  /// Sizes the system as n x n for 1 <= n <= kMaxUnknowns (false, with
  /// nothing changed, otherwise), with no damping, zero stopping tolerances
  /// and an iteration limit of 3n/2, and hands out the row-major matrix A,
  /// the right-hand side b and the solution x. The caller fills A and b.
  bool prepare(int n, dmat*& A, dvec*& b, dvec*& x);

  /// Clears x, solves A x = b from there and leaves b as it was given.
  /// A, b and x are the records `prepare` handed out for these n unknowns;
  /// false, with nothing done, for any others.
  bool solve(int n, dmat* A, dvec* b, dvec* x);

 private:
  LsqrProblem problem;
  std::unique_ptr<dvec, DvecDeleter> backup;  ///< the caller's right-hand side during a solve
  int size = 0;                               ///< unknowns of the prepared system
};

/// Entries in g_lsqrSystems: the calling thread's and up to 32 workers'.
constexpr std::uint32_t kLsqrSystemCount = 33;

/// The per-thread systems: entry 0 the calling thread's, entries 1 up to the
/// worker count one for each worker; code running as worker t uses entry t.
/// Built with the collision manager and freed with it.
extern std::array<std::unique_ptr<LsqrSystem>, kLsqrSystemCount> g_lsqrSystems;

/// Builds entries 0 .. workerCount of g_lsqrSystems (replacing any there).
/// False, with the table left empty, when workerCount is kLsqrSystemCount or
/// more or memory runs out.
bool createLsqrSystems(std::uint32_t workerCount);

/// Frees every entry of g_lsqrSystems.
void destroyLsqrSystems();
