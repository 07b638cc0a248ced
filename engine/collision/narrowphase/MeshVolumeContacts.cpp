#include <cmath>
#include <cstdint>

#include "engine/collision/narrowphase/ContactClipping.h"
#include "engine/collision/narrowphase/HullView.h"
#include "engine/collision/narrowphase/JumpSupport.h"
#include "engine/collision/narrowphase/MeshFeature.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "engine/collision/narrowphase/PolytopeSearch.h"
#include "geometry/BVmesh.h"
#include "geometry/ContactBuilders.h"
#include "math/DistanceQueries.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

namespace {

using Kind = MeshFeatureKind;

/// The unit direction of p from the capsule's axis line.
MgcVector3 awayFromAxis(const ZOVcapsule& capsule, const MgcVector3& p) {
  const MgcVector3 offset = p - capsule.center;
  return unitized(offset - capsule.axis * offset.Dot(capsule.axis));
}

/// The capsule's feature from the records of the nearest polytope feature:
/// its surface points (record point plus mesh vertex), one point or a
/// segment of two across the capsule's length.
std::uint32_t capsuleFeature(const HullView& hull, const ZOVcapsule& capsule, const PolytopeResult& result,
                             const std::uint32_t records[3], std::uint32_t count, MgcVector3 points[2]) {
  MgcVector3 q[3];
  for (std::uint32_t k = 0; k < count; ++k) {
    const JumpRecord& record = result.face[records[k]];
    q[k] = record.point + hull.vertex(record.vertexA);
  }
  const MgcVector3& a = capsule.axis;
  points[0] = q[0];
  if (count == 2) {
    if (std::fabs((q[1] - q[0]).Dot(a)) <= kTolerance) return 1;
    points[1] = q[1];
    return 2;
  }
  if (count == 3) {
    const double d01 = std::fabs((q[1] - q[0]).Dot(a));
    const double d02 = std::fabs((q[2] - q[0]).Dot(a));
    const double d12 = std::fabs((q[2] - q[1]).Dot(a));
    std::uint32_t i = 1;
    std::uint32_t j = 2;
    if (d01 >= d02 && d01 >= d12) {
      i = 0;
      j = 1;
    } else if (d02 >= d01 && d02 >= d12) {
      i = 0;
      j = 2;
    }
    // A segment only when the two points lie on either side of the centre.
    if ((q[i] - capsule.center).Dot(a) * (q[j] - capsule.center).Dot(a) < -kTolerance) {
      points[0] = q[i];
      points[1] = q[j];
      return 2;
    }
  }
  return 1;
}

/// The contact rules of a hull feature against a capsule point or segment.
class MeshVolumeRules {
 public:
  MeshVolumeRules(const HullView& hull, const ZOVcapsule& capsule, const JumpContacts& out, std::uint32_t face)
      : hull_(hull), capsule_(capsule), out_(out), face_(face) {}

  void build(const MeshFeature& feature, const MgcVector3 q[2], std::uint32_t segment) const {
    *out_.count = 0;
    if (feature.kind == Kind::kVertex)
      return segment == 2 ? vertexSegment(feature.index, q) : vertexPoint(feature.index, q[0]);
    if (feature.kind == Kind::kEdge) return segment == 2 ? edgeSegment(feature, q) : edgePoint(feature, q[0]);
    if (feature.kind == Kind::kFace)
      return segment == 2 ? faceSegment(feature.index, q) : facePoint(feature.index, q[0]);
  }

 private:
  void write(const MgcVector3* points, std::uint32_t n, const MgcVector3& normal, double depth) const {
    out_.write(points, n, normal, depth, face_, zov::kNoIndex);
  }

  void vertexPoint(std::uint32_t v, const MgcVector3& q0) const {
    const MgcVector3& p = hull_.vertex(v);
    const MgcVector3 separation = q0 - p;
    const double length = separation.Length();
    if (length < kTolerance) return write(&p, 1, -unitized(hull_.vertexNormalSum(v)), 0.0);
    write(&p, 1, separation / length, -length);
  }

  void vertexSegment(std::uint32_t v, const MgcVector3 q[2]) const {
    const MgcVector3& p = hull_.vertex(v);
    const MgcVector3 normal = awayFromAxis(capsule_, q[0]);
    write(&p, 1, normal, (p - q[0]).Dot(normal));
  }

  void edgePoint(const MeshFeature& edge, const MgcVector3& q0) const {
    const MgcVector3 normal = -edgeOutward(hull_, edge);
    const MgcVector3 start = edgeStart(hull_, edge);
    const MgcVector3 e = edgeEnd(hull_, edge) - start;
    const double lengthSq = e.SquaredLength();
    const MgcVector3 point = start + e * (lengthSq > 0.0 ? (q0 - start).Dot(e) / lengthSq : 0.0);
    write(&point, 1, normal, (point - q0).Dot(normal));
  }

  void edgeSegment(const MeshFeature& edge, const MgcVector3 q[2]) const {
    const MgcVector3 start = edgeStart(hull_, edge);
    const MgcVector3 end = edgeEnd(hull_, edge);
    double s = 0.0;
    double t = 0.0;
    distanceSq_seg2seg(start, end, q[0], q[1], s, t);
    const MgcVector3 point = start + (end - start) * s;
    MgcVector3 normal = (end - start).Cross(q[1] - q[0]);
    if (normal.SquaredLength() < kTolerance)
      normal = awayFromAxis(capsule_, point);
    else
      normal.Unitize(zov::kUnitizeTolerance);
    if (awayFromAxis(capsule_, q[0]).Dot(normal) < -kTolerance) normal = -normal;
    const MgcVector3 pA = extremeEdgeEnd(hull_, edge, normal, true);
    const MgcVector3& pB = normal.Dot(q[0]) > normal.Dot(q[1]) ? q[0] : q[1];
    write(&point, 1, normal, (pA - pB).Dot(normal));
  }

  void facePoint(std::uint32_t face, const MgcVector3& q0) const {
    const MgcVector3& n = hull_.faceNormal(face);
    const double h = (q0 - hull_.vertex(hull_.face(face).vertices[0])).Dot(n);
    const MgcVector3 point = q0 - n * h;
    write(&point, 1, -n, h);
  }

  void faceSegment(std::uint32_t face, const MgcVector3 q[2]) const {
    const MgcVector3 normal = -hull_.faceNormal(face);
    const MgcVector3 bottom = extremeFaceVertex(hull_, face, normal, true);
    const MgcVector3& pB = normal.Dot(q[0]) > normal.Dot(q[1]) ? q[0] : q[1];
    const double g = (bottom - pB).Dot(normal);
    MgcVector3 polygon[kMaxFaceCorners];
    const std::uint32_t corners = hull_.facePolygon(face, polygon);
    // The segment moved by g along the normal lies in the face's plane: its
    // part over the face gives the points on the mesh.
    MgcVector3 points[2];
    const std::uint32_t n =
        clipSegmentToPolygon(q[0] + normal * g, q[1] + normal * g, polygon, corners, normal, points);
    write(points, n, normal, g);
  }

  const HullView& hull_;
  const ZOVcapsule& capsule_;
  const JumpContacts& out_;
  std::uint32_t face_;
};

}  // namespace

void Pk_jump::meshVolumeFeatureContacts(const BVmesh& mesh, const ZOVcapsule& capsule, std::uint32_t list[3],
                                        std::uint32_t& count, const MgcVector3 capsulePoints[2],
                                        std::uint32_t capsuleCount, const JumpContacts& out) const {
  *out.count = 0;
  const HullView hull(&mesh);
  if (!hull.usable() || count == 0) return;
  // Two vertices with neither a joining edge nor a shared face take the edge
  // best aligned with them, as the mesh-mesh rules do.
  const MeshFeature feature = resolveMeshFeature(hull, list, count);
  MgcVector3 q[2] = {capsulePoints[0], capsuleCount > 1 ? capsulePoints[1] : capsulePoints[0]};
  std::uint32_t segment = capsuleCount > 1 ? 2 : 1;
  const MgcVector3& a = capsule.axis;
  if (feature.kind == Kind::kFace && segment == 1 && a.SquaredLength() > kTolerance &&
      std::fabs(hull.faceNormal(feature.index).Dot(a)) < kTolerance) {
    // A capsule lying along the face touches it along its whole length.
    const double t = (q[0] - capsule.center).Dot(a);
    const MgcVector3 radial = (q[0] - capsule.center) - a * t;
    const MgcVector3 half = a * (0.5 * capsule.length);
    q[1] = (t >= -kTolerance ? capsule.center - half : capsule.center + half) + radial;
    segment = 2;
  }
  MeshVolumeRules(hull, capsule, out, hull.firstFaceOf(list[0])).build(feature, q, segment);
}

bool Pk_jump::meshVolumeContacts(const BVmesh* mesh, const ZOVcapsule& capsule, JumpState& state,
                                 const JumpContacts& out) const {
  const HullView hull(mesh);
  if (!hull.usable()) return false;
  if (state.direction.SquaredLength() < kTolerance && meshVolumeOverlap(mesh, capsule, state) == 0) return false;

  const MeshSide sideA(hull);
  const CapsuleSide sideB(capsule);
  const PolytopeResult result = searchPolytope(SidesSupport<MeshSide, CapsuleSide>(sideA, sideB), state);
  *out.count = 0;
  if (result.found) {
    std::uint32_t records[3];
    const std::uint32_t n = nearestFeatureRecords(result, records);
    std::uint32_t list[3];
    std::uint32_t count = distinctVertices(result, records, n, true, list);
    MgcVector3 points[2];
    const std::uint32_t capsuleCount = capsuleFeature(hull, capsule, result, records, n, points);
    meshVolumeFeatureContacts(*mesh, capsule, list, count, points, capsuleCount, out);
  }
  if (*out.count == 0) {
    state.direction = MgcVector3();
    return false;
  }
  return true;
}
