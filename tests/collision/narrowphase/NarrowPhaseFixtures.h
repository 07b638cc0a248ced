#pragma once

// Shapes, contact arrays and exact references shared by the narrow-phase tests.

#include <algorithm>
#include <cmath>

#include "engine/collision/narrowphase/PkJump.h"
#include "support/ConvexSat.h"
#include "support/HullVolumes.h"

namespace zovtest {

/// The arrays of one pair's contact set, filled with markers that show
/// whether a query wrote them.
struct ContactArrays {
  static constexpr std::uint32_t kUntouched = 999;
  Mgc::MgcVector3 points[kMaxJumpContacts];
  Mgc::MgcVector3 normals[kMaxJumpContacts];
  std::uint32_t count = kUntouched;
  double depths[kMaxJumpContacts] = {};
  std::uint32_t facesA[kMaxJumpContacts] = {};
  std::uint32_t facesB[kMaxJumpContacts] = {};
  JumpContacts out() { return {points, normals, &count, depths, facesA, facesB}; }
};

/// A box (kind 0), an icosahedron (1) or the hull of 8 to 16 random points
/// (2), of size 0.2 to 1, randomly turned, centred at `at`.
inline HullVolume randomConvexShape(Random& random, int kind, const Mgc::MgcVector3& at) {
  const Mgc::MgcMatrix3 R = random.rotation();
  if (kind == 0) return boxHull(random.vector(0.2, 1.0), R, at);
  if (kind == 1) return icosahedronHull(random.uniform(0.3, 1.0), R, at);
  return randomHull(random, 8 + random.index(9), random.uniform(0.3, 1.0), R, at);
}

/// How far every vertex of B lies beyond every vertex of A along d.
inline double gapAlong(const ZOVmesh& a, const ZOVmesh& b, const Mgc::MgcVector3& d) {
  double highA = -HUGE_VAL;
  double lowB = HUGE_VAL;
  for (std::uint32_t i = 0; i < a.numVertices; ++i) highA = std::max(highA, d.Dot(a.worldVertices[i]));
  for (std::uint32_t i = 0; i < b.numVertices; ++i) lowB = std::min(lowB, d.Dot(b.worldVertices[i]));
  return lowB - highA;
}

/// The exact signed gap between a convex mesh and a capsule: their distance
/// when apart, minus the penetration depth when they overlap.
inline double capsuleGap(const ZOVmesh& mesh, const ZOVcapsule& capsule) {
  const Mgc::MgcVector3 half = capsule.axis * (0.5 * capsule.length);
  const double distance = segmentPolyhedronDistance(capsule.center - half, capsule.center + half, mesh);
  if (distance > 1e-9) return distance - capsule.radius;
  // The axis meets the hull: the depth of the swept segment plus the radius.
  ConvexPolyhedron segment;
  segment.vertices = {capsule.center - half, capsule.center + half};
  segment.edgeDirections = {capsule.axis};
  return separatingAxes(convexPolyhedron(mesh), segment).gap - capsule.radius;
}

inline bool isFinite(const Mgc::MgcVector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace zovtest
