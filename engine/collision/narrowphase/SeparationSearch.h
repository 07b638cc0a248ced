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

/// What the distance search found.
struct DistanceResult {
  /// The shapes are apart: the difference shape B - A keeps the origin
  /// outside, more than 1e-7 away.
  bool apart = false;
  /// When apart: a lower bound on the distance between the shapes that is
  /// within 1e-9 of it once the search has converged, or at least `reach`
  /// when the search stopped there (`beyond`). A search that rounding
  /// stalls short of converging gives the bound it reached, when that is
  /// more than touching.
  double distance = 0.0;
  bool beyond = false;
  /// Unit direction from A towards B along which the distance is measured.
  Mgc::MgcVector3 direction;
  /// The closest points, on A and on B, and the support pair along the
  /// direction (A's furthest point, B's furthest back).
  Mgc::MgcVector3 pointA;
  Mgc::MgcVector3 pointB;
  SupportPair pair;
};

/// The distance between two convex shapes by the closest point of their
/// difference shape B - A to the origin (the distance iteration of Gilbert,
/// Johnson and Keerthi), carried to convergence. The search stops early,
/// `beyond` set, once the shapes are known to stand at least `reach` apart.
/// Shapes that touch or overlap answer not apart.
DistanceResult searchDistance(const PairSupport& shapes, const Mgc::MgcVector3& start, std::uint32_t startA,
                              std::uint32_t startB, double reach);
