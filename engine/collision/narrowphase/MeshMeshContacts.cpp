#include <algorithm>
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
using zov::kUnitLow;

namespace {

using Kind = MeshFeatureKind;

/// An edge lies along a face when the sine of its angle to the face's plane
/// is below this (about 0.6 degrees): it is clipped by the face, giving a
/// contact at each end of the part of it over the face, each at its own
/// height. A box edge leaning on a face that its owner has turned a little
/// about the face's normal keeps both ends held; with its lower end alone it
/// turns about that one point.
constexpr double kEdgeAlongFace = 1e-2;

/// One side of the pair while its features are promoted: the hull, its
/// feature and the caller's vertex list.
struct FeatureSide {
  const HullView& hull;
  MeshFeature feature;
  std::uint32_t* list;
  std::uint32_t& count;

  void becomeFace(std::uint32_t f) { feature = faceFeature(hull, f, list, count); }
};

/// Promotes an edge-edge pair to faces where their faces lie flush.
void promoteEdgeEdge(FeatureSide& a, FeatureSide& b) {
  const HullView& ha = a.hull;
  const HullView& hb = b.hull;
  const std::uint32_t a1 = edgeFace1(ha, a.feature);
  const std::uint32_t a2 = edgeFace2(ha, a.feature);
  const std::uint32_t b1 = edgeFace1(hb, b.feature);
  const std::uint32_t b2 = edgeFace2(hb, b.feature);
  const MgcVector3 edgeA = edgeEnd(ha, a.feature) - edgeStart(ha, a.feature);
  const MgcVector3 edgeB = edgeEnd(hb, b.feature) - edgeStart(hb, b.feature);
  const bool parallel = edgeA.Cross(edgeB).SquaredLength() < kTolerance;

  const double s11 = ha.faceNormal(a1).Dot(-hb.faceNormal(b1));
  const double s22 = ha.faceNormal(a2).Dot(-hb.faceNormal(b2));
  const double s21 = ha.faceNormal(a2).Dot(-hb.faceNormal(b1));
  const double s12 = ha.faceNormal(a1).Dot(-hb.faceNormal(b2));
  // The two pairings of A's faces with B's faces: B's first face is always in
  // the first pairing, B's second face in the second.
  std::uint32_t firstA = a1;
  std::uint32_t secondA = a2;
  double d1 = s11;
  double d2 = s22;
  if (std::fabs(s12) + std::fabs(s21) > std::fabs(s22) + std::fabs(s11)) {
    firstA = a2;
    secondA = a1;
    d1 = s21;
    d2 = s12;
  }
  bool bothFaces = false;
  if (parallel) {
    if (std::fabs(d1 - d2) > kUnitLow) {
      bothFaces = true;
    } else if (d1 <= d2) {
      d2 = 1.0;
    } else if (d2 > kUnitLow) {
      bothFaces = true;
    } else {
      d1 = 1.0;
      d2 = 0.0;
    }
  }
  bothFaces = bothFaces || (d1 > kUnitLow && d2 > kUnitLow);
  bool promoteFirst = !bothFaces && d1 > kUnitLow;
  bool promoteSecond = !bothFaces && !promoteFirst && d2 > kUnitLow;
  if (bothFaces) {
    // Both pairings lie flush: the one whose B face is nearer A's edge.
    const MgcVector3 gap = edgeStart(ha, a.feature) - edgeStart(hb, b.feature);
    const double g1 = gap.Dot(hb.faceNormal(b1));
    const double g2 = gap.Dot(hb.faceNormal(b2));
    promoteSecond = std::fabs(g2) <= std::fabs(g1);
    promoteFirst = !promoteSecond;
  }
  if (promoteFirst) {
    a.becomeFace(firstA);
    b.becomeFace(b1);
  } else if (promoteSecond) {
    a.becomeFace(secondA);
    b.becomeFace(b2);
  }
}

/// Promotes an edge of `edgeSide` to the one of its faces that lies flush
/// against the face of `faceSide`.
void promoteEdgeAgainstFace(FeatureSide& edgeSide, const FeatureSide& faceSide) {
  const MgcVector3& n = faceSide.hull.faceNormal(faceSide.feature.index);
  const std::uint32_t f1 = edgeFace1(edgeSide.hull, edgeSide.feature);
  const std::uint32_t f2 = edgeFace2(edgeSide.hull, edgeSide.feature);
  if (n.Dot(-edgeSide.hull.faceNormal(f1)) > kUnitLow)
    edgeSide.becomeFace(f1);
  else if (n.Dot(-edgeSide.hull.faceNormal(f2)) > kUnitLow)
    edgeSide.becomeFace(f2);
}

/// Promotes a vertex of `vertexSide` to the first face around it that lies
/// flush against the face of `faceSide`: a box set down flat on another
/// reaches the contact rules as one corner on a face, and only the face
/// pair gives the whole touching area. False when no face lies flush.
bool promoteVertexAgainstFace(FeatureSide& vertexSide, const FeatureSide& faceSide) {
  const HullView& hull = vertexSide.hull;
  const MgcVector3& n = faceSide.hull.faceNormal(faceSide.feature.index);
  const std::uint32_t* faces = hull.vertexFaces(vertexSide.feature.index);
  const std::uint32_t count = hull.vertexFaceCount(vertexSide.feature.index);
  for (std::uint32_t k = 0; faces != nullptr && k < count; ++k) {
    if (n.Dot(-hull.faceNormal(faces[k])) <= kUnitLow) continue;
    vertexSide.becomeFace(faces[k]);
    return true;
  }
  return false;
}

/// Promotes a vertex of `vertexSide` to the edge around it that lies most
/// nearly along the face of `faceSide`, when one lies within
/// kEdgeAlongFace: a box edge leaning on a face reaches the contact rules as
/// one of its two ends, and only the edge gives both. False when none does.
bool promoteVertexToEdgeAlongFace(FeatureSide& vertexSide, const FeatureSide& faceSide) {
  const HullView& hull = vertexSide.hull;
  const MgcVector3& n = faceSide.hull.faceNormal(faceSide.feature.index);
  const std::uint32_t vertex = vertexSide.feature.index;
  const std::uint32_t* edges = hull.vertexEdges(vertex);
  const std::uint32_t count = hull.vertexEdgeCount(vertex);
  std::uint32_t best = zov::kNoIndex;
  double bestAlong = kEdgeAlongFace;
  for (std::uint32_t k = 0; edges != nullptr && k < count; ++k) {
    if (!hull.hasEdge(edges[k])) continue;
    const connect_edge& e = hull.edge(edges[k]);
    const double along = std::fabs(unitized(hull.vertex(e.vertexB) - hull.vertex(e.vertexA)).Dot(n));
    if (along < bestAlong) {
      bestAlong = along;
      best = edges[k];
    }
  }
  if (best == zov::kNoIndex) return false;
  vertexSide.feature = {Kind::kEdge, best};
  vertexSide.list[0] = hull.edge(best).vertexA;
  vertexSide.list[1] = hull.edge(best).vertexB;
  vertexSide.count = 2;
  return true;
}

/// Each of `points`' own height along `up` above `level` (a point of the
/// other side's face), into `depths`: the separations of a flush contact
/// set, negative where a point lies below the face.
void heightsAbove(const MgcVector3* points, std::uint32_t n, const MgcVector3& level, const MgcVector3& up,
                  double* depths) {
  for (std::uint32_t i = 0; i < n; ++i) depths[i] = (points[i] - level).Dot(up);
}

/// Writes the contacts of one feature pair with the pair's two faces.
class ContactWriter {
 public:
  ContactWriter(const JumpContacts& out, std::uint32_t faceA, std::uint32_t faceB)
      : out_(out), faceA_(faceA), faceB_(faceB) {}
  void write(const MgcVector3* points, std::uint32_t n, const MgcVector3& normal, double depth) const {
    out_.write(points, n, normal, depth, faceA_, faceB_);
  }
  void write(const MgcVector3& point, const MgcVector3& normal, double depth) const { write(&point, 1, normal, depth); }
  /// Points each at its own depth.
  void write(const MgcVector3* points, std::uint32_t n, const MgcVector3& normal, const double* depths) const {
    out_.write(points, n, normal, depths, faceA_, faceB_);
  }

 private:
  const JumpContacts& out_;
  std::uint32_t faceA_;
  std::uint32_t faceB_;
};

/// The contact rules of the nine feature pairs of two hulls.
class MeshMeshRules {
 public:
  MeshMeshRules(const HullView& a, const HullView& b, const ContactWriter& writer) : a_(a), b_(b), out_(writer) {}

  void build(const FeatureSide& sa, const FeatureSide& sb) const {
    const MeshFeature& fa = sa.feature;
    const MeshFeature& fb = sb.feature;
    if (fa.kind == Kind::kVertex && fb.kind == Kind::kVertex) return vertexVertex(fa.index, fb.index);
    if (fa.kind == Kind::kEdge && fb.kind == Kind::kVertex) return edgeVertex(fa, fb.index);
    if (fa.kind == Kind::kVertex && fb.kind == Kind::kEdge) return vertexEdge(fa.index, fb);
    if (fa.kind == Kind::kVertex && fb.kind == Kind::kFace) return vertexFace(fa.index, fb.index);
    if (fa.kind == Kind::kFace && fb.kind == Kind::kVertex) return faceVertex(fa.index, fb.index);
    if (fa.kind == Kind::kEdge && fb.kind == Kind::kEdge) return edgeEdge(fa, fb);
    if (fa.kind == Kind::kEdge && fb.kind == Kind::kFace) return edgeFace(fa, fb.index);
    if (fa.kind == Kind::kFace && fb.kind == Kind::kEdge) return faceEdge(fa.index, fb);
    if (fa.kind == Kind::kFace && fb.kind == Kind::kFace) return faceFace(fa.index, fb.index);
  }

 private:
  void vertexVertex(std::uint32_t va, std::uint32_t vb) const {
    const MgcVector3& pA = a_.vertex(va);
    const MgcVector3 separation = b_.vertex(vb) - pA;
    const double length = separation.Length();
    if (length < kTolerance) return out_.write(pA, unitized(b_.vertexNormalSum(vb)), 0.0);
    out_.write(pA, separation / length, -length);
  }

  void edgeVertex(const MeshFeature& edge, std::uint32_t vb) const {
    const MgcVector3 normal = -edgeOutward(a_, edge);
    const MgcVector3& pB = b_.vertex(vb);
    const MgcVector3 start = edgeStart(a_, edge);
    const MgcVector3 e = edgeEnd(a_, edge) - start;
    const double lengthSq = e.SquaredLength();
    const double t = lengthSq > 0.0 ? (pB - start).Dot(e) / lengthSq : 0.0;
    const MgcVector3 point = start + e * t;
    out_.write(point, normal, (point - pB).Dot(normal));
  }

  void vertexEdge(std::uint32_t va, const MeshFeature& edge) const {
    const MgcVector3 normal = edgeOutward(b_, edge);
    const MgcVector3& pA = a_.vertex(va);
    out_.write(pA, normal, (pA - edgeStart(b_, edge)).Dot(normal));
  }

  void vertexFace(std::uint32_t va, std::uint32_t face) const {
    const MgcVector3& normal = b_.faceNormal(face);
    const MgcVector3& pA = a_.vertex(va);
    out_.write(pA, normal, (pA - b_.vertex(b_.face(face).vertices[0])).Dot(normal));
  }

  void faceVertex(std::uint32_t face, std::uint32_t vb) const {
    const MgcVector3& nA = a_.faceNormal(face);
    const MgcVector3& pB = b_.vertex(vb);
    const double h = (pB - a_.vertex(a_.face(face).vertices[0])).Dot(nA);
    out_.write(pB - nA * h, -nA, h);
  }

  void edgeEdge(const MeshFeature& ea, const MeshFeature& eb) const {
    const MgcVector3 a0 = edgeStart(a_, ea);
    const MgcVector3 a1 = edgeEnd(a_, ea);
    const MgcVector3 b0 = edgeStart(b_, eb);
    const MgcVector3 b1 = edgeEnd(b_, eb);
    MgcVector3 normal = (a1 - a0).Cross(b1 - b0);
    if (normal.Unitize(zov::kUnitizeTolerance) == 0.0) {
      // Parallel edges that no face promotion took: B's edge direction.
      normal = edgeOutward(b_, eb);
    } else {
      const MgcVector3& n1 = b_.faceNormal(edgeFace1(b_, eb));
      const MgcVector3& n2 = b_.faceNormal(edgeFace2(b_, eb));
      const double dot1 = normal.Dot(n1);
      const double dot2 = normal.Dot(n2);
      const double facing = std::fabs(dot2) > std::fabs(dot1) ? dot2 : dot1;
      if (facing < -kTolerance) normal = -normal;
    }
    const MgcVector3 pA = extremeEdgeEnd(a_, ea, normal, true);
    const MgcVector3 pB = extremeEdgeEnd(b_, eb, normal, false);
    double s = 0.0;
    double t = 0.0;
    distanceSq_seg2seg(a0, a1, b0, b1, s, t);
    out_.write(a0 + (a1 - a0) * s, normal, (pA - pB).Dot(normal));
  }

  void edgeFace(const MeshFeature& edge, std::uint32_t face) const { edgeAgainstFace(a_, edge, b_, face, true); }
  void faceEdge(std::uint32_t face, const MeshFeature& edge) const { edgeAgainstFace(b_, edge, a_, face, false); }

  /// An edge of one mesh against a face of the other, `edgeOnA` telling
  /// which is A. Heights run along the face's outward normal: the gap g is
  /// the edge's lower end less the face's highest corner. An edge along the
  /// face is clipped by the face: the clipped points on the edge when the
  /// edge is A's, below them on the face when the face is; otherwise the
  /// closest points of edge and face give the point on A.
  void edgeAgainstFace(const HullView& edgeHull, const MeshFeature& edge, const HullView& faceHull, std::uint32_t face,
                       bool edgeOnA) const {
    const MgcVector3& up = faceHull.faceNormal(face);
    const MgcVector3 top = extremeFaceVertex(faceHull, face, up, false);
    const double g = (extremeEdgeEnd(edgeHull, edge, up, true) - top).Dot(up);
    const MgcVector3 normal = edgeOnA ? up : -up;
    const MgcVector3 e0 = edgeStart(edgeHull, edge);
    const MgcVector3 e1 = edgeEnd(edgeHull, edge);
    MgcVector3 polygon[kMaxFaceCorners];
    const std::uint32_t corners = faceHull.facePolygon(face, polygon);
    if (std::fabs(unitized(e1 - e0).Dot(up)) < kEdgeAlongFace) {
      // The clipped part of the edge, not its lower end, which may lie
      // beyond the face when the edge leans along it. Each point is as deep
      // as its own place on the edge: an edge leaning along the face by up
      // to kEdgeAlongFace touches it at its lower end, and its upper end
      // stands apart, free to come down onto the face.
      MgcVector3 points[2];
      const std::uint32_t n = clipSegmentToPolygon(e0 - up * g, e1 - up * g, polygon, corners, up, points);
      for (std::uint32_t i = 0; i < n; ++i) points[i] += up * g;
      double depths[2];
      heightsAbove(points, n, top, up, depths);
      // On the face, each point lies below its place on the edge.
      if (!edgeOnA)
        for (std::uint32_t i = 0; i < n; ++i) points[i] -= up * depths[i];
      return out_.write(points, n, normal, depths);
    }
    MgcVector3 onEdge;
    MgcVector3 onFace;
    if (closestSegmentPolygon(e0, e1, polygon, corners, up, onEdge, onFace) >= zov::kMaxFloat) return;
    out_.write(edgeOnA ? onEdge : onFace, normal, g);
  }

  void faceFace(std::uint32_t faceA, std::uint32_t faceB) const {
    const MgcVector3& nB = b_.faceNormal(faceB);
    const MgcVector3 low = extremeFaceVertex(a_, faceA, nB, true);
    const MgcVector3 high = extremeFaceVertex(b_, faceB, nB, false);
    const double g = (low - high).Dot(nB);
    MgcVector3 polygonA[kMaxFaceCorners];
    MgcVector3 polygonB[kMaxFaceCorners];
    const std::uint32_t cornersA = a_.facePolygon(faceA, polygonA);
    const std::uint32_t cornersB = b_.facePolygon(faceB, polygonB);
    for (std::uint32_t i = 0; i < cornersB; ++i) polygonB[i] += nB * g;
    MgcVector3 points[kMaxPolygonClipPoints];
    const std::uint32_t n = clipPolygonToPolygon(polygonA, cornersA, nB, polygonB, cornersB, points);
    // The clipped points lie on A's face, each at its own height over B's:
    // faces that lean on each other within the flush tolerance touch where
    // they meet and part towards the far side, which must be free to come
    // down rather than be held as deep as the point that touches.
    double depths[kMaxPolygonClipPoints];
    heightsAbove(points, n, high, nB, depths);
    out_.write(points, n, nB, depths);
  }

  const HullView& a_;
  const HullView& b_;
  const ContactWriter& out_;
};

/// Share of the thinner hull's extent along the contact normal by which the
/// contacts of hulls that barely touch may lie deeper or higher than the
/// polytope's depth: the flush promotions take a face up to 0.26 degrees
/// off the one found.
constexpr double kTouchingDepthShare = 0.02;

/// The extent of the hull's vertices along the unit direction d.
double extentAlong(const HullView& hull, const MgcVector3& d) {
  double low = zov::kMaxFloat;
  double high = -zov::kMaxFloat;
  for (std::uint32_t i = 0; i < hull.vertexCount(); ++i) {
    const double h = hull.vertex(i).Dot(d);
    low = std::min(low, h);
    high = std::max(high, h);
  }
  return high - low;
}

/// Whether the contacts of hulls that barely touch (the polytope's face
/// passes within kTolerance of the origin) lie at its depth. With the
/// origin on the difference shape's boundary, a face of the polytope that
/// cuts across the shape ends the search as well as the boundary face, and
/// its records may name features on either hull's far side: contacts a
/// hull's width deep or apart, along a normal the hulls do not touch along.
bool touchingFeaturesAgree(const HullView& a, const HullView& b, const PolytopeResult& result,
                           const JumpContacts& out) {
  const double depth = result.normal.Dot(result.face[0].point);
  if (depth >= kTolerance) return true;
  double deepest = out.depths[0];
  for (std::uint32_t i = 1; i < *out.count; ++i) deepest = std::min(deepest, out.depths[i]);
  const MgcVector3& normal = out.normals[0];
  const double slack = kTouchingDepthShare * std::min(extentAlong(a, normal), extentAlong(b, normal));
  return std::fabs(deepest + depth) <= slack + kTolerance;
}

}  // namespace

void Pk_jump::meshMeshFeatureContacts(const BVmesh& a, const BVmesh& b, std::uint32_t listA[3], std::uint32_t& countA,
                                      std::uint32_t listB[3], std::uint32_t& countB, const JumpContacts& out) const {
  *out.count = 0;
  const HullView hullA(&a);
  const HullView hullB(&b);
  if (!hullA.usable() || !hullB.usable()) return;
  FeatureSide sideA{hullA, resolveMeshFeature(hullA, listA, countA), listA, countA};
  FeatureSide sideB{hullB, resolveMeshFeature(hullB, listB, countB), listB, countB};
  const Kind kindA = sideA.feature.kind;
  const Kind kindB = sideB.feature.kind;
  if (kindA == Kind::kEdge && kindB == Kind::kEdge) {
    promoteEdgeEdge(sideA, sideB);
  } else if (kindA == Kind::kEdge && kindB == Kind::kFace) {
    promoteEdgeAgainstFace(sideA, sideB);
  } else if (kindA == Kind::kFace && kindB == Kind::kEdge) {
    promoteEdgeAgainstFace(sideB, sideA);
  } else if ((kindA == Kind::kVertex && kindB == Kind::kFace) || (kindA == Kind::kFace && kindB == Kind::kVertex)) {
    // A face pair whose clip finds nothing (faces meeting at a rim only)
    // keeps the contact of the vertex as it was found.
    FeatureSide& vertexSide = kindA == Kind::kVertex ? sideA : sideB;
    const FeatureSide& faceSide = kindA == Kind::kVertex ? sideB : sideA;
    std::uint32_t* list = vertexSide.list;
    const std::uint32_t kept[3] = {list[0], list[1], list[2]};
    const std::uint32_t keptCount = vertexSide.count;
    const MeshFeature vertex = vertexSide.feature;
    for (const auto promote : {promoteVertexAgainstFace, promoteVertexToEdgeAlongFace}) {
      if (!promote(vertexSide, faceSide)) continue;
      const ContactWriter writer(out, hullA.firstFaceOf(listA[0]), hullB.firstFaceOf(listB[0]));
      MeshMeshRules(hullA, hullB, writer).build(sideA, sideB);
      if (*out.count != 0) return;
      std::copy(kept, kept + 3, list);
      vertexSide.count = keptCount;
      vertexSide.feature = vertex;
    }
  }

  const ContactWriter writer(out, hullA.firstFaceOf(listA[0]), hullB.firstFaceOf(listB[0]));
  MeshMeshRules(hullA, hullB, writer).build(sideA, sideB);
}

bool Pk_jump::meshMeshContacts(const BVmesh* a, const BVmesh* b, JumpState& state, const JumpContacts& out,
                               JumpFeatureLists* found) const {
  const HullView hullA(a);
  const HullView hullB(b);
  if (!hullA.usable() || !hullB.usable()) return false;
  if (state.direction.SquaredLength() < kTolerance && meshMeshOverlap(a, b, state) == 0) return false;

  const MeshSide sideA(hullA);
  const MeshSide sideB(hullB);
  const PolytopeResult result = searchPolytope(SidesSupport<MeshSide, MeshSide>(sideA, sideB), state);
  *out.count = 0;
  if (result.found) {
    std::uint32_t records[3];
    const std::uint32_t n = nearestFeatureRecords(result, records);
    JumpFeatureLists lists;
    lists.countA = distinctVertices(result, records, n, true, lists.a);
    lists.countB = distinctVertices(result, records, n, false, lists.b);
    if (found != nullptr) *found = lists;
    meshMeshFeatureContacts(*a, *b, lists.a, lists.countA, lists.b, lists.countB, out);
    if (*out.count != 0 && !touchingFeaturesAgree(hullA, hullB, result, out)) *out.count = 0;
  }
  if (*out.count == 0) {
    state.direction = MgcVector3();
    return false;
  }
  return true;
}

bool Pk_jump::meshMeshFeatureContactsOf(const BVmesh* a, const BVmesh* b, const JumpFeatureLists& lists,
                                        JumpState& state, const JumpContacts& out) const {
  const HullView hullA(a);
  const HullView hullB(b);
  if (!hullA.usable() || !hullB.usable()) return false;
  *out.count = 0;
  // The rules may turn the lists into faces: they work on copies.
  JumpFeatureLists resolved = lists;
  meshMeshFeatureContacts(*a, *b, resolved.a, resolved.countA, resolved.b, resolved.countB, out);
  if (*out.count == 0) {
    state.direction = MgcVector3();
    return false;
  }
  return true;
}
