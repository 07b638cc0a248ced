// Contacts of two hull meshes that stand apart but within a reach: the
// distance search to the closest points, then the faces that face each
// other along their line, clipped one by the other.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/collision/narrowphase/ContactClipping.h"
#include "engine/collision/narrowphase/HullView.h"
#include "engine/collision/narrowphase/JumpSupport.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "engine/collision/narrowphase/SeparationSearch.h"
#include "geometry/BVmesh.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// A reference face must face the line of the closest points at least this
/// squarely (the cosine of about 45 degrees) for its clip to stand for the
/// pair; otherwise the closest points give the one contact.
constexpr double kReferenceCosine = 0.7;

/// The face around the hull's support vertex along d whose normal is best
/// aligned with d, and that alignment; every face when the vertex has none
/// listed.
std::uint32_t faceAlong(const HullView& hull, std::uint32_t vertex, const MgcVector3& d, double& alignment) {
  std::uint32_t best = zov::kNoIndex;
  alignment = -2.0;
  const auto consider = [&](std::uint32_t f) {
    const double a = hull.faceNormal(f).Dot(d);
    if (a > alignment) {
      alignment = a;
      best = f;
    }
  };
  const std::uint32_t n = hull.vertexFaceCount(vertex);
  if (n > 0) {
    const std::uint32_t* faces = hull.vertexFaces(vertex);
    for (std::uint32_t k = 0; k < n; ++k) consider(faces[k]);
  } else {
    for (std::uint32_t f = 0; f < hull.faceCount(); ++f) consider(f);
  }
  return best;
}

/// The search state written back: the support vertices and the direction
/// from A towards B, which separates the hulls.
void keepState(const DistanceResult& found, JumpState& state) {
  state.vertexA = found.pair.vertexA;
  state.vertexB = found.pair.vertexB;
  state.lastPoint = found.pair.point();
  state.direction = found.direction;
}

DistanceResult hullDistance(const HullView& a, const HullView& b, double reach, const JumpState& state) {
  const MeshSide sideA(a);
  const MeshSide sideB(b);
  const SidesSupport<MeshSide, MeshSide> shapes(sideA, sideB);
  MgcVector3 start = state.direction;
  if (start.SquaredLength() < zov::kTolerance) start = b.center() - a.center();
  const std::uint32_t startA = state.vertexA < a.vertexCount() ? state.vertexA : 0;
  const std::uint32_t startB = state.vertexB < b.vertexCount() ? state.vertexB : 0;
  return searchDistance(shapes, start, startA, startB, reach);
}

}  // namespace

double Pk_jump::meshMeshDistance(const BVmesh* a, const BVmesh* b, double reach, JumpState& state) const {
  if (a == nullptr || b == nullptr) return -1.0;
  const HullView hullA(a);
  const HullView hullB(b);
  if (!hullA.usable() || !hullB.usable()) return -1.0;
  const DistanceResult found = hullDistance(hullA, hullB, reach, state);
  if (!found.apart) return -1.0;
  keepState(found, state);
  return found.distance;
}

namespace {

/// The faces of the two hulls that face each other most squarely along d
/// (from A towards B), around the support vertices vA and vB: the one facing
/// it more squarely is the reference, the other face is clipped by it, and
/// each clipped corner within `reach` of the reference plane and at least
/// `least` from it gives a point on A with its gap. Writes the normal from
/// B towards A and the two faces; 0 points when neither face faces d within
/// kReferenceCosine or nothing lies over the reference face.
std::uint32_t facingFacePoints(const HullView& hullA, const HullView& hullB, const MgcVector3& d, std::uint32_t vA,
                               std::uint32_t vB, double reach, double least, MgcVector3* points, double* gaps,
                               MgcVector3& normal, std::uint32_t& faceA, std::uint32_t& faceB) {
  double alignA = 0.0;
  double alignB = 0.0;
  faceA = faceAlong(hullA, vA, d, alignA);
  faceB = faceAlong(hullB, vB, -d, alignB);
  if (faceA == zov::kNoIndex || faceB == zov::kNoIndex || std::max(alignA, alignB) < kReferenceCosine) return 0;
  const bool referenceOnB = alignB >= alignA;
  const HullView& reference = referenceOnB ? hullB : hullA;
  const HullView& incident = referenceOnB ? hullA : hullB;
  const std::uint32_t refFace = referenceOnB ? faceB : faceA;
  const std::uint32_t incFace = referenceOnB ? faceA : faceB;
  MgcVector3 refPolygon[kMaxFaceCorners];
  MgcVector3 incPolygon[kMaxFaceCorners];
  const std::uint32_t refCount = reference.facePolygon(refFace, refPolygon);
  const std::uint32_t incCount = incident.facePolygon(incFace, incPolygon);
  if (refCount == 0) return 0;
  const MgcVector3 refNormal = reference.faceNormal(refFace);
  MgcVector3 clipped[kMaxPolygonClipPoints];
  const std::uint32_t m = clipPolygonToPolygon(incPolygon, incCount, refNormal, refPolygon, refCount, clipped);
  std::uint32_t n = 0;
  for (std::uint32_t k = 0; k < m; ++k) {
    // The incident point's height over the reference face's plane.
    const double gap = (clipped[k] - refPolygon[0]).Dot(refNormal);
    if (!(gap < reach) || gap < least) continue;
    gaps[n] = gap;
    points[n] = referenceOnB ? clipped[k] : clipped[k] - refNormal * gap;
    ++n;
  }
  normal = referenceOnB ? refNormal : -refNormal;
  return n;
}

}  // namespace

bool Pk_jump::meshMeshNearContacts(const BVmesh* a, const BVmesh* b, double reach, JumpState& state,
                                   const JumpContacts& out) const {
  if (a == nullptr || b == nullptr || !(reach > 0.0)) return false;
  const HullView hullA(a);
  const HullView hullB(b);
  if (!hullA.usable() || !hullB.usable()) return false;
  const DistanceResult found = hullDistance(hullA, hullB, reach, state);
  if (!found.apart) return false;
  keepState(found, state);
  if (found.beyond || found.distance >= reach) return false;
  MgcVector3 points[kMaxPolygonClipPoints];
  double gaps[kMaxPolygonClipPoints];
  MgcVector3 normal;
  std::uint32_t faceA = zov::kNoIndex;
  std::uint32_t faceB = zov::kNoIndex;
  std::uint32_t n = facingFacePoints(hullA, hullB, found.direction, found.pair.vertexA, found.pair.vertexB, reach, 0.0,
                                     points, gaps, normal, faceA, faceB);
  // A gap below the distance is rounding: no point of one hull comes closer
  // to the other.
  for (std::uint32_t k = 0; k < n; ++k) gaps[k] = std::max(gaps[k], found.distance);
  if (n == 0) {
    // The normal points from B towards A; the point lies on A.
    normal = -found.direction;
    points[0] = found.pointA;
    gaps[0] = found.distance;
    n = 1;
  }
  out.write(points, n, normal, gaps, faceA, faceB);
  return *out.count > 0;
}

std::uint32_t Pk_jump::meshMeshFacingPoints(const BVmesh* a, const BVmesh* b, const MgcVector3& normal, double reach,
                                            double least, MgcVector3* points, double* gaps,
                                            MgcVector3& pointNormal) const {
  if (a == nullptr || b == nullptr || !(reach > least)) return 0;
  const HullView hullA(a);
  const HullView hullB(b);
  if (!hullA.usable() || !hullB.usable()) return 0;
  const MgcVector3 d = -normal;
  std::uint32_t faceA = zov::kNoIndex;
  std::uint32_t faceB = zov::kNoIndex;
  return facingFacePoints(hullA, hullB, d, hullA.support(0, d), hullB.support(0, -d), reach, least, points, gaps,
                          pointNormal, faceA, faceB);
}
