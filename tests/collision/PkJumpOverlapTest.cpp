#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "engine/collision/PkJump.h"
#include "support/ConvexSat.h"
#include "support/HullVolumes.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

zovtest::HullVolume randomShape(zovtest::GeometryRandom& random, int kind, const MgcVector3& at) {
  const MgcMatrix3 R = random.rotation();
  if (kind == 0) return zovtest::boxHull(random.vector(0.2, 1.0), R, at);
  if (kind == 1) return zovtest::icosahedronHull(random.uniform(0.3, 1.0), R, at);
  return zovtest::randomHull(random, 8 + random.index(9), random.uniform(0.3, 1.0), R, at);
}

/// How far B lies beyond A along d: min over B minus max over A.
double gapAlong(const ZOVmesh& a, const ZOVmesh& b, const MgcVector3& d) {
  double highA = -1e300, lowB = 1e300;
  for (std::uint32_t i = 0; i < a.numVertices; ++i) highA = std::max(highA, d.Dot(a.worldVertices[i]));
  for (std::uint32_t i = 0; i < b.numVertices; ++i) lowB = std::min(lowB, d.Dot(b.worldVertices[i]));
  return lowB - highA;
}

TEST(PkJumpOverlap, RandomHullPairsAgreeWithSeparatingAxes) {
  zovtest::GeometryRandom random(getenv("SEED") ? atoi(getenv("SEED")) : 7);
  const Pk_jump jump;
  int checked = 0, wrong = 0, notSeparating = 0;
  for (int trial = 0; trial < (getenv("N") ? atoi(getenv("N")) : 1000); ++trial) {
    const auto a = randomShape(random, trial % 3, random.vector(-0.2, 0.2));
    const auto b = randomShape(random, (trial / 3) % 3, random.unitVector() * random.uniform(0.0, 2.5));
    const zovtest::SatResult sat =
        zovtest::separatingAxes(zovtest::convexPolyhedron(*a.mesh), zovtest::convexPolyhedron(*b.mesh));
    JumpState state;
    if (getenv("CACHE")) {
      state.direction = random.unitVector();
      state.vertexA = random.index(a.mesh->numVertices);
      state.vertexB = random.index(b.mesh->numVertices);
    }
    const int result = jump.meshMeshOverlap(a.get(), b.get(), state);
    if (result == 0 && gapAlong(*a.mesh, *b.mesh, state.direction) <= 0.0) {
      ++notSeparating;
      printf("notsep trial %d gap %g sat %g d=(%g %g %g) dw=%g\n", trial, gapAlong(*a.mesh, *b.mesh, state.direction),
             sat.gap, state.direction.x, state.direction.y, state.direction.z, state.direction.Dot(state.lastPoint));
    }
    if (std::fabs(sat.gap) < 1e-4) continue;
    ++checked;
    if ((sat.gap < 0.0) != (result == 1)) {
      ++wrong;
      printf("trial %d gap %g result %d\n", trial, sat.gap, result);
    }
  }
  printf("checked %d wrong %d notsep %d\n", checked, wrong, notSeparating);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
