#include <cmath>
#include <cstdint>

#include "engine/collision/narrowphase/HullView.h"
#include "engine/collision/narrowphase/MeshFeature.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVmesh.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Vertices within this height of the deepest one rest on the plane with it.
constexpr double kDeepestHeightBand = 0.01;

/// The most vertices the plane query lists.
constexpr std::uint32_t kPlaneListSize = 3;

}  // namespace

void Pk_jump::meshPlaneFeatureContacts(const BVmesh& mesh, const MgcVector3& planePoint, const MgcVector3& planeNormal,
                                       std::uint32_t list[3], std::uint32_t& count, const JumpContacts& out) const {
  *out.count = 0;
  const HullView hull(&mesh);
  if (!hull.usable() || count == 0 || count > kPlaneListSize) return;
  for (std::uint32_t k = 0; k < count; ++k)
    if (list[k] >= hull.vertexCount()) return;
  if (count == 2) {
    // An edge whose face lies flush on the plane, or a face holding both
    // vertices, gives that face's first three vertices.
    const std::uint32_t edge = hull.edgeJoining(list[0], list[1]);
    if (edge != zov::kNoIndex) {
      const MeshFeature feature{MeshFeatureKind::kEdge, edge};
      const std::uint32_t f1 = edgeFace1(hull, feature);
      const std::uint32_t f2 = edgeFace2(hull, feature);
      if (planeNormal.Dot(-hull.faceNormal(f1)) > zov::kUnitLow)
        faceFeature(hull, f1, list, count);
      else if (planeNormal.Dot(-hull.faceNormal(f2)) > zov::kUnitLow)
        faceFeature(hull, f2, list, count);
    } else {
      const std::uint32_t face = hull.faceOfVertexContaining(list[0], list[1]);
      if (face != zov::kNoIndex) faceFeature(hull, face, list, count);
    }
  }
  // Each vertex at its own height over the plane: a face leaning on it
  // touches at its lowest corner, and its other corners are free to come
  // down.
  MgcVector3 points[kPlaneListSize];
  double depths[kPlaneListSize];
  for (std::uint32_t k = 0; k < count; ++k) {
    points[k] = hull.vertex(list[k]);
    depths[k] = (points[k] - planePoint).Dot(planeNormal);
  }
  out.write(points, count, planeNormal, depths, hull.firstFaceOf(list[0]), zov::kNoIndex);
}

bool Pk_jump::meshPlaneContacts(const BVmesh* mesh, const MgcVector3& planePoint, const MgcVector3& planeNormal,
                                JumpState& state, const JumpContacts& out) const {
  const HullView hull(mesh);
  if (!hull.usable()) return false;
  if (state.direction.SquaredLength() < zov::kTolerance && !meshPointsInside(mesh, planePoint, planeNormal, state))
    return false;
  if (state.vertexA >= hull.vertexCount()) state.vertexA = 0;

  const std::uint32_t deepest = hull.support(state.vertexA, -planeNormal);
  state.vertexA = deepest;
  const double deepestHeight = (hull.vertex(deepest) - planePoint).Dot(planeNormal);
  std::uint32_t list[kPlaneListSize] = {deepest, 0, 0};
  std::uint32_t count = 1;
  const std::uint32_t edgeCount = hull.vertexEdgeCount(deepest);
  const std::uint32_t* edges = hull.vertexEdges(deepest);
  for (std::uint32_t k = 0; k < edgeCount && count < kPlaneListSize; ++k) {
    if (!hull.hasEdge(edges[k])) continue;
    const connect_edge& e = hull.edge(edges[k]);
    const std::uint32_t other = e.vertexA == deepest ? e.vertexB : e.vertexA;
    if (other >= hull.vertexCount()) continue;
    const double height = (hull.vertex(other) - planePoint).Dot(planeNormal);
    if (std::fabs(height - deepestHeight) < kDeepestHeightBand) list[count++] = other;
  }

  meshPlaneFeatureContacts(*mesh, planePoint, planeNormal, list, count, out);
  if (*out.count == 0) {
    state.direction = MgcVector3();
    return false;
  }
  return true;
}

bool Pk_jump::meshPlaneRestingContacts(const BVmesh* mesh, const MgcVector3& planePoint, const MgcVector3& planeNormal,
                                       JumpState& state, const JumpContacts& out) const {
  if (!meshPlaneContacts(mesh, planePoint, planeNormal, state, out)) return false;
  // Held up at three corners of a face of more, a body whose centre lies
  // over the face but not over those three tips about two of them, onto the
  // others, and from them back, and never rests.
  const HullView hull(mesh);
  const double deepestHeight = (hull.vertex(state.vertexA) - planePoint).Dot(planeNormal);
  const std::uint32_t listed = *out.count;
  std::uint32_t count = listed;
  for (std::uint32_t v = 0; v < hull.vertexCount() && count < kMaxJumpContacts; ++v) {
    const MgcVector3& point = hull.vertex(v);
    const double height = (point - planePoint).Dot(planeNormal);
    if (!(height - deepestHeight < kDeepestHeightBand)) continue;
    bool known = false;
    for (std::uint32_t k = 0; k < listed && !known; ++k) known = out.points[k] == point;
    if (known) continue;
    out.points[count] = point;
    out.depths[count] = height;
    ++count;
  }
  *out.count = count;
  return true;
}
