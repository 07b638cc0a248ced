#pragma once

// The iterations of lsqr as a template over the vector work, so that a solver
// whose vectors and products have a shape of their own (the contact blocks)
// runs the same recurrences and stopping tests with its vector passes fused
// and inlined. The scalars are the same for every kind of vectors; only the
// rounding of the vector work may differ.
//
// A Vectors type provides, on the problem it was made for:
//   void begin();                       v, w and the error sums zero
//   void start(double& beta, double& alpha);
//       u := b - A x0, beta = |u|; when beta > 0: u /= beta, v := A^T u,
//       alpha = |v|; when alpha > 0: v /= alpha, w := v
//   double forward(double alpha);       u := A v - alpha u; returns |u|
//   void scaleU(double factor);         u *= factor
//   double backward(double beta);       v := A^T u - beta v; returns |v|
//   void scaleV(double factor);         v *= factor
//   double update(const LsqrUpdate&);   x += t1 w, e += (t3 w)^2,
//       w := v + t2 w; returns |w|^2 from before the update
//   void finishErrors(double scale);    e := sqrt(e) scale

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/solver/Lsqr.h"

namespace lsqriterations {

/// The square root as the processor takes it, without the library's check
/// of negative arguments (there to set errno): the same correctly rounded
/// result, and NaN for a negative argument either way. The argument is put
/// in both lanes rather than beside a zero: in AVX2 code the zeroing move can
/// come out in an encoding that some instruction-level profilers reject.
inline double squareRoot(double a) {
#if defined(__SSE2__)
  const __m128d both = _mm_set1_pd(a);
  return _mm_cvtsd_f64(_mm_sqrt_sd(both, both));
#else
  return std::sqrt(a);
#endif
}

/// The scalars that the iterations carry: the bidiagonal entries, the
/// rotated right-hand side, and the sums behind the estimates.
struct Recurrence {
  double alpha = 0.0, beta = 0.0;
  double rhobar = 0.0, phibar = 0.0;
  double bbnorm = 0.0, ddnorm = 0.0, res2 = 0.0, xxnorm = 0.0;
  double z = 0.0, cs2 = -1.0, sn2 = 0.0;
};

/// What the caller reads after a solve, and the stopping tests read after
/// each iteration.
struct Estimates {
  double normA = 0.0, condA = 0.0, normR = 0.0, normATr = 0.0, normX = 0.0;
  /// While normXWaits, ||x|| is sqrt(xxnorm + (rhs / gambar)^2) of these,
  /// not yet taken: the stopping tests without tolerances seldom read it.
  bool normXWaits = false;
  double xxnorm = 0.0, rhs = 0.0, gambar = 0.0;
};

/// ||x||, taken now if it waits.
inline double normXOf(const Estimates& at) {
  if (!at.normXWaits) return at.normX;
  const double zbar = at.rhs / at.gambar;
  return squareRoot(at.xxnorm + zbar * zbar);
}

/// The factors of an iteration's vector update.
struct LsqrUpdate {
  double t1 = 0.0;  ///< x += t1 w
  double t2 = 0.0;  ///< w := v + t2 w
  double t3 = 0.0;  ///< error sums += (t3 w)^2
};

/// The rotations of one iteration, before the vector update.
struct Rotation {
  double psi, rho, theta, phi, tau;
  LsqrUpdate update;
};

/// The rotation that eliminates the damping parameter: rhbar1 =
/// |(rhobar, damp)|, cs1 = rhobar / rhbar1 and sn1 = damp / rhbar1.
struct DampingRotation {
  double rhbar1, cs1, sn1;
};

inline DampingRotation eliminateDamping(double damp, double rhobar) {
  const double rhbar1 = squareRoot(rhobar * rhobar + damp * damp);
  return {rhbar1, rhobar / rhbar1, damp / rhbar1};
}

/// |x| between these, x^2 is a normal number: then sqrt(x^2) is |x| exactly
/// (binary floating point, rounding to nearest).
constexpr double kExactSquareLow = 0x1p-500;
constexpr double kExactSquareHigh = 0x1p500;

/// eliminateDamping for a zero damp: where rhobar^2 is normal, rhbar1 is
/// |rhobar|, cs1 the sign of rhobar and sn1 the zero itself, exactly as the
/// square root and the quotients give them, without taking them.
inline DampingRotation eliminateZeroDamping(double damp, double rhobar) {
  const double size = std::fabs(rhobar);
  if (size >= kExactSquareLow && size <= kExactSquareHigh) return {size, rhobar > 0.0 ? 1.0 : -1.0, damp};
  return eliminateDamping(damp, rhobar);
}

/// The rotations that eliminate the damping parameter and the subdiagonal
/// beta; `undamped` says that damp is a zero.
inline Rotation rotate(double damp, bool undamped, Recurrence& rec) {
  const DampingRotation first = undamped ? eliminateZeroDamping(damp, rec.rhobar) : eliminateDamping(damp, rec.rhobar);
  const double rhbar1 = first.rhbar1;
  const double cs1 = first.cs1;
  const double sn1 = first.sn1;
  Rotation r;
  r.psi = sn1 * rec.phibar;
  rec.phibar = cs1 * rec.phibar;

  r.rho = squareRoot(rhbar1 * rhbar1 + rec.beta * rec.beta);
  const double cs = rhbar1 / r.rho;
  const double sn = rec.beta / r.rho;
  r.theta = sn * rec.alpha;
  rec.rhobar = -cs * rec.alpha;
  r.phi = cs * rec.phibar;
  rec.phibar = sn * rec.phibar;
  r.tau = sn * r.phi;

  // x += (phi / rho) w, w := v - (theta / rho) w, and the diagonal of
  // (R^T R)^-1 for the errors, whose sum |w / rho|^2 grows the estimate of
  // cond(A).
  r.update.t1 = r.phi / r.rho;
  r.update.t2 = -r.theta / r.rho;
  r.update.t3 = 1.0 / r.rho;
  return r;
}

/// The new estimates after the vector update; wSquared is |w|^2 from before
/// the update.
inline void estimate(const Rotation& r, double wSquared, Recurrence& rec, Estimates& at) {
  rec.ddnorm += wSquared * (r.update.t3 * r.update.t3);
  // |x| from a rotation on the lower bidiagonal system.
  const double delta = rec.sn2 * r.rho;
  const double gambar = -rec.cs2 * r.rho;
  const double rhs = r.phi - delta * rec.z;
  at.normXWaits = false;
  const double zbar = rhs / gambar;
  at.normX = squareRoot(rec.xxnorm + zbar * zbar);
  const double gamma = squareRoot(gambar * gambar + r.theta * r.theta);
  rec.cs2 = gambar / gamma;
  rec.sn2 = r.theta / gamma;
  rec.z = rhs / gamma;
  rec.xxnorm += rec.z * rec.z;

  at.normA = squareRoot(rec.bbnorm);
  at.condA = at.normA * squareRoot(rec.ddnorm);
  rec.res2 += r.psi * r.psi;
  at.normR = squareRoot(rec.phibar * rec.phibar + rec.res2);
  at.normATr = rec.alpha * std::fabs(r.tau);
}

void reportHeader(const lsqr_input* input);
void reportStart(const lsqr_input* input, const Recurrence& rec, const Estimates& at);
void reportIteration(const lsqr_input* input, std::uint32_t iterations, const Estimates& at, double test1,
                     double test2);
void reportSummary(std::FILE* report, LsqrStop stop, std::uint32_t iterations, const Estimates& at, double normB);

/// The stopping tests in order, a later one overriding an earlier one; 0
/// (kLsqrStartIsSolution) while none holds.
inline LsqrStop stopReason(const lsqr_input* input, std::uint32_t iterations, const Estimates& at, double normB) {
  constexpr double kMachineEpsilon = std::numeric_limits<double>::epsilon();
  const double ctol = input->conlim > 0.0 ? 1.0 / input->conlim : kMachineEpsilon;
  const double test1 = at.normR / normB;
  const double test2 = at.normR > 0.0 ? at.normATr / (at.normA * at.normR) : 0.0;
  const double test3 = 1.0 / at.condA;
  const double rtol = input->btol + input->atol * at.normA * at.normX / normB;

  LsqrStop stop = kLsqrStartIsSolution;
  if (iterations >= input->iterationLimit) stop = kLsqrIterationLimit;
  if (test3 <= kMachineEpsilon) stop = kLsqrConditionAtPrecision;
  if (test2 <= kMachineEpsilon) stop = kLsqrLeastSquaresAtPrecision;
  if (test3 <= ctol) stop = kLsqrConditionOverLimit;
  if (test2 <= input->atol) stop = kLsqrLeastSquaresWithinTol;
  if (test1 <= rtol) stop = kLsqrResidualWithinTol;
  if (input->report != nullptr) {
    const Estimates shown = at;
    reportIteration(input, iterations, shown, test1, test2);
  }
  return stop;
}

/// Whether the stopping tests may skip their quotients: no tolerances, no
/// condition limit and no report, as the engine solves.
inline bool withoutTolerances(const lsqr_input* input) {
  return input->atol == 0.0 && input->btol == 0.0 && !(input->conlim > 0.0) && input->report == nullptr;
}

/// stopReason for an input withoutTolerances(), to the same stop: each test
/// takes its quotient only where a bound on its operands does not decide it.
/// test3 = 1 / cond(A) is above eps for cond(A) in (0, 2^51]; test2 is above
/// eps when ||A^T r|| exceeds 2^-51 ||A|| ||r|| (a normal product: scaling
/// by 2^-51 is exact); with ||b|| positive and finite the residual tolerance
/// is a zero or NaN (zero tolerances times anything), and test1 = ||r|| /
/// ||b|| stays above it for ||r|| >= 2^-500 ||b|| (||b|| in [2^-400,
/// 2^400]), whatever ||x||: only the other case reads ||x||.
inline LsqrStop stopReasonWithoutTolerances(const lsqr_input* input, std::uint32_t iterations, const Estimates& at,
                                            double normB) {
  constexpr double kMachineEpsilon = std::numeric_limits<double>::epsilon();
  // test3 <= eps, which ctol = eps repeats.
  const bool conditionAtPrecision = !(at.condA > 0.0 && at.condA <= 0x1p51) && 1.0 / at.condA <= kMachineEpsilon;
  // test2 <= eps and test2 <= atol (a zero).
  bool leastSquaresAtPrecision = true;
  bool leastSquaresWithinTol = true;
  if (at.normR > 0.0) {
    const double product = at.normA * at.normR;
    if (product >= 0x1p-900 && at.normATr > product * 0x1p-51) {
      leastSquaresAtPrecision = leastSquaresWithinTol = false;
    } else {
      const double test2 = at.normATr / product;
      leastSquaresAtPrecision = test2 <= kMachineEpsilon;
      leastSquaresWithinTol = test2 <= input->atol;
    }
  }
  // test1 <= rtol.
  bool residualWithinTol = false;
  if (!(normB >= 0x1p-400 && normB <= 0x1p400 && at.normR >= normB * 0x1p-500)) {
    residualWithinTol = at.normR / normB <= input->btol + input->atol * at.normA * normXOf(at) / normB;
  }

  LsqrStop stop = kLsqrStartIsSolution;
  if (iterations >= input->iterationLimit) stop = kLsqrIterationLimit;
  if (conditionAtPrecision) stop = kLsqrConditionAtPrecision;
  if (leastSquaresAtPrecision) stop = kLsqrLeastSquaresAtPrecision;
  if (conditionAtPrecision) stop = kLsqrConditionOverLimit;
  if (leastSquaresWithinTol) stop = kLsqrLeastSquaresWithinTol;
  if (residualWithinTol) stop = kLsqrResidualWithinTol;
  return stop;
}

/// The factor of the standard errors: the residual per degree of freedom.
inline double standardErrorScale(const lsqr_input* input, double normR) {
  double dof = 1.0;
  if (input->rowCount > input->columnCount) dof = static_cast<double>(input->rowCount - input->columnCount);
  if (input->damp * input->damp > 0.0) dof = static_cast<double>(input->rowCount);
  return normR / std::sqrt(dof);
}

/// The sums behind ||A||, cond(A) and ||r|| as an iteration leaves them,
/// before their square roots are taken.
struct NormSums {
  double bbnorm, ddnorm, residual;  ///< residual = phibar^2 + res2
};

/// ||A||, cond(A) and ||r|| of the sums, as estimate() takes them.
inline void takeNorms(const NormSums& sums, Estimates& at) {
  at.normA = squareRoot(sums.bbnorm);
  at.condA = at.normA * squareRoot(sums.ddnorm);
  at.normR = squareRoot(sums.residual);
}

/// Whether stopReasonWithoutTolerances() surely finds no stop, read from the
/// sums without their square roots; false says nothing. With bbnorm, ddnorm
/// and the residual sum at least 2^-200, their roots are at least 2^-100:
/// cond(A) is positive, and at most 2^51 while bbnorm ddnorm (rounded) is at
/// most 2^100; ||A|| ||r|| is at least 2^-200 and, rounding included, at
/// most sqrt(bbnorm residual) (1 + 2^-52)^3, so ||A^T r|| is above 2^-51
/// ||A|| ||r|| where its square (rounded) is above bbnorm residual 2^-102
/// (rounded) by a margin of 2^-16 that covers the roundings; and ||r|| >=
/// 2^-100 >= 2^-500 ||b|| for ||b|| in [2^-400, 2^400] (normBInRange).
inline bool surelyGoesOn(const NormSums& sums, double normATr, bool normBInRange) {
  constexpr double kLow = 0x1p-200;
  return normBInRange && sums.bbnorm >= kLow && sums.ddnorm >= kLow && sums.residual >= kLow &&
         sums.bbnorm * sums.ddnorm <= 0x1p100 && normATr * normATr > (sums.bbnorm * sums.residual) * 0x1.0001p-102;
}

/// One step of the bidiagonalisation: beta u = A v - alpha u, then
/// alpha v = A^T u - beta v, with ||A||'s sum.
template <typename Vectors>
[[gnu::always_inline]] inline void bidiagonalise(Vectors& vectors, Recurrence& rec, double dampSq) {
  rec.beta = vectors.forward(rec.alpha);
  rec.bbnorm += rec.alpha * rec.alpha + rec.beta * rec.beta + dampSq;
  if (rec.beta > 0.0) {
    vectors.scaleU(1.0 / rec.beta);
    rec.alpha = vectors.backward(rec.beta);
    if (rec.alpha > 0.0) vectors.scaleV(1.0 / rec.alpha);
  }
}

/// The iterations of a solve withoutTolerances(): those of run()'s general
/// loop, the estimates' square roots taken only where the stopping tests
/// need them (surelyGoesOn) and at the stop. Returns the iterations made.
template <typename Vectors>
[[gnu::always_inline]] inline std::uint32_t iterateWithoutTolerances(Vectors& vectors, const lsqr_input* input,
                                                                     const Recurrence& started, LsqrStop& stop,
                                                                     Estimates& at, double normB) {
  // The recurrence in a local of its own, which nothing reads through an
  // address: its scalars stay in registers across the iterations.
  Recurrence rec = started;
  const double damp = input->damp;
  const double dampSq = damp * damp;
  const bool undamped = damp == 0.0;
  const std::uint32_t limit = input->iterationLimit;
  const bool normBInRange = normB >= 0x1p-400 && normB <= 0x1p400;
  std::uint32_t iterations = 0;
  for (;;) {
    ++iterations;
    bidiagonalise(vectors, rec, dampSq);
    const Rotation r = rotate(damp, undamped, rec);
    const double wSquared = vectors.update(r.update);
    // estimate(), ||x|| left waiting, and the norms as sums.
    rec.ddnorm += wSquared * (r.update.t3 * r.update.t3);
    const double delta = rec.sn2 * r.rho;
    const double gambar = -rec.cs2 * r.rho;
    const double rhs = r.phi - delta * rec.z;
    const double xxnorm = rec.xxnorm;
    const double gamma = squareRoot(gambar * gambar + r.theta * r.theta);
    rec.cs2 = gambar / gamma;
    rec.sn2 = r.theta / gamma;
    rec.z = rhs / gamma;
    rec.xxnorm += rec.z * rec.z;
    rec.res2 += r.psi * r.psi;
    const NormSums sums = {rec.bbnorm, rec.ddnorm, rec.phibar * rec.phibar + rec.res2};
    const double normATr = rec.alpha * std::fabs(r.tau);
    if (iterations < limit && surelyGoesOn(sums, normATr, normBInRange)) continue;
    takeNorms(sums, at);
    at.normATr = normATr;
    at.normXWaits = true;
    at.xxnorm = xxnorm;
    at.rhs = rhs;
    at.gambar = gambar;
    stop = stopReasonWithoutTolerances(input, iterations, at, normB);
    if (stop != kLsqrStartIsSolution) return iterations;
  }
}

/// The run from the start value to a stop. Returns the iterations made.
template <typename Vectors>
[[gnu::always_inline]] inline std::uint32_t run(Vectors& vectors, const lsqr_input* input, LsqrStop& stop,
                                                Estimates& at, double& normB) {
  vectors.begin();
  Recurrence rec;
  vectors.start(rec.beta, rec.alpha);
  rec.rhobar = rec.alpha;
  rec.phibar = rec.beta;
  normB = rec.beta;
  at.normR = rec.beta;
  at.normATr = rec.alpha * rec.beta;
  stop = kLsqrStartIsSolution;
  if (at.normATr == 0.0) return 0;

  std::uint32_t iterations = 0;
  if (withoutTolerances(input)) {
    iterations = iterateWithoutTolerances(vectors, input, rec, stop, at, normB);
  } else {
    // The reports read copies, so that the values the loop carries have no
    // address taken.
    if (input->report != nullptr) {
      const Recurrence shown = rec;
      const Estimates shownAt = at;
      reportStart(input, shown, shownAt);
    }
    const double dampSq = input->damp * input->damp;
    const bool undamped = input->damp == 0.0;
    while (stop == kLsqrStartIsSolution) {
      ++iterations;
      bidiagonalise(vectors, rec, dampSq);
      const Rotation r = rotate(input->damp, undamped, rec);
      const double wSquared = vectors.update(r.update);
      estimate(r, wSquared, rec, at);
      stop = stopReason(input, iterations, at, normB);
    }
  }
  at.normX = normXOf(at);
  at.normXWaits = false;
  vectors.finishErrors(standardErrorScale(input, at.normR));
  return iterations;
}

/// A whole solve with the given vectors: the report, the run and the output.
template <typename Vectors>
void solve(Vectors& vectors, const lsqr_input* input, lsqr_output* output) {
  if (input->report != nullptr) reportHeader(input);
  LsqrStop stop = kLsqrStartIsSolution;
  Estimates at;
  double normB = 0.0;
  const std::uint32_t iterations = run(vectors, input, stop, at, normB);
  if (input->report != nullptr) {
    const Estimates shown = at;
    reportSummary(input->report, stop, iterations, shown, normB);
  }
  output->stopCode = stop;
  output->iterations = iterations;
  output->normA = at.normA;
  output->condA = at.condA;
  output->normR = at.normR;
  output->normATr = at.normATr;
  output->normX = at.normX;
}

}  // namespace lsqriterations
