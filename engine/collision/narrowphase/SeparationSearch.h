#pragma once

#include <cstdint>

#include "engine/collision/narrowphase/JumpSupport.h"
#include "math/MgcVector3.h"

/// The most support steps the separation search takes.
constexpr std::uint32_t kMaxSeparationSteps = 64;

/// What the separation search decided.
struct SeparationResult {
  /// A direction was found along which B lies wholly beyond A.
  bool apart = false;
  /// When apart: that direction, unit length, and the support pair along it
  /// (A's furthest point along it, B's furthest back).
  Mgc::MgcVector3 direction;
  SupportPair pair;
};

/// Decides whether two convex shapes are apart by the closest point of their
/// difference shape B - A to the origin (the distance iteration of Gilbert,
/// Johnson and Keerthi on a simplex of at most four support points). Apart
/// only with a unit direction d for which d . w > 1e-5 at B - A's support
/// point w along -d: every point of B then lies more than 1e-5 beyond every
/// point of A along d. A difference shape that reaches within 1e-5 of the
/// origin, or a search that stalls within rounding or runs out of steps,
/// answers not apart.
SeparationResult searchSeparation(const PairSupport& shapes, const Mgc::MgcVector3& start, std::uint32_t startA,
                                  std::uint32_t startB);
