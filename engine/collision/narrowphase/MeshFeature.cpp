#include "engine/collision/narrowphase/MeshFeature.h"

#include <cmath>

#include "engine/collision/narrowphase/JumpSupport.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The edge around i or j whose direction is best aligned with j - i.
MeshFeature bestAlignedEdge(const HullView& hull, std::uint32_t i, std::uint32_t j) {
  const MgcVector3 t = unitized(hull.vertex(j) - hull.vertex(i));
  MeshFeature best;
  double bestAlignment = 0.0;
  for (const std::uint32_t vertex : {i, j}) {
    const std::uint32_t n = hull.vertexEdgeCount(vertex);
    const std::uint32_t* edges = hull.vertexEdges(vertex);
    for (std::uint32_t k = 0; k < n; ++k) {
      if (!hull.hasEdge(edges[k])) continue;
      const connect_edge& e = hull.edge(edges[k]);
      const double alignment = std::fabs(t.Dot(unitized(hull.vertex(e.vertexB) - hull.vertex(e.vertexA))));
      if (alignment > bestAlignment) {
        bestAlignment = alignment;
        best = {MeshFeatureKind::kEdge, edges[k]};
      }
    }
  }
  return best;
}

MeshFeature faceOfThree(const HullView& hull, const std::uint32_t list[3]) {
  const std::uint32_t i = list[0];
  const std::uint32_t j = list[1];
  const std::uint32_t k = list[2];
  const std::uint32_t ci = hull.vertexFaceCount(i);
  const std::uint32_t cj = hull.vertexFaceCount(j);
  const std::uint32_t ck = hull.vertexFaceCount(k);
  const std::uint32_t fewest = ci < cj ? (ci < ck ? i : k) : (cj < ck ? j : k);
  const std::uint32_t n = hull.vertexFaceCount(fewest);
  const std::uint32_t* faces = hull.vertexFaces(fewest);
  for (std::uint32_t m = 0; m < n; ++m) {
    if (faces[m] >= hull.faceCount()) continue;
    const mesh_face& face = hull.face(faces[m]);
    std::uint32_t matches = 0;
    for (std::uint32_t c = 0; c < heldCorners(face); ++c)
      if (face.vertices[c] == i || face.vertices[c] == j || face.vertices[c] == k) ++matches;
    if (matches >= 3) return {MeshFeatureKind::kFace, faces[m]};
  }
  // No face holds all three: the face whose plane passes nearest to them.
  MeshFeature best;
  double bestSum = zov::kMaxFloat;
  for (std::uint32_t f = 0; f < hull.faceCount(); ++f) {
    const mesh_face& face = hull.face(f);
    if (face.numVertices == 0) continue;
    const MgcVector3& f0 = hull.vertex(face.vertices[0]);
    const MgcVector3& nf = hull.faceNormal(f);
    const double sum = std::fabs((hull.vertex(i) - f0).Dot(nf)) + std::fabs((hull.vertex(j) - f0).Dot(nf)) +
                       std::fabs((hull.vertex(k) - f0).Dot(nf));
    if (sum < bestSum) {
      bestSum = sum;
      best = {MeshFeatureKind::kFace, f};
    }
  }
  return best;
}

}  // namespace

MeshFeature faceFeature(const HullView& hull, std::uint32_t f, std::uint32_t list[3], std::uint32_t& count) {
  const mesh_face& face = hull.face(f);
  const std::uint32_t corners = face.numVertices < 3 ? face.numVertices : 3;
  for (std::uint32_t c = 0; c < corners; ++c) list[c] = face.vertices[c];
  count = corners;
  return {MeshFeatureKind::kFace, f};
}

MeshFeature resolveMeshFeature(const HullView& hull, std::uint32_t list[3], std::uint32_t& count) {
  for (std::uint32_t k = 0; k < count; ++k)
    if (list[k] >= hull.vertexCount()) return {};
  if (count == 1) return {MeshFeatureKind::kVertex, list[0]};
  if (count == 2) {
    const std::uint32_t edge = hull.edgeJoining(list[0], list[1]);
    if (edge != zov::kNoIndex) return {MeshFeatureKind::kEdge, edge};
    const std::uint32_t face = hull.faceOfVertexContaining(list[0], list[1]);
    if (face != zov::kNoIndex) return faceFeature(hull, face, list, count);
    return bestAlignedEdge(hull, list[0], list[1]);
  }
  if (count == 3) return faceOfThree(hull, list);
  return {};
}

MgcVector3 edgeOutward(const HullView& hull, const MeshFeature& edge) {
  return unitized(hull.faceNormal(edgeFace1(hull, edge)) + hull.faceNormal(edgeFace2(hull, edge)));
}

MgcVector3 extremeFaceVertex(const HullView& hull, std::uint32_t face, const MgcVector3& d, bool lowest) {
  const mesh_face& polygon = hull.face(face);
  MgcVector3 best = hull.vertex(polygon.vertices[0]);
  double value = d.Dot(best);
  for (std::uint32_t c = 1; c < heldCorners(polygon); ++c) {
    const MgcVector3& v = hull.vertex(polygon.vertices[c]);
    const double height = d.Dot(v);
    if (lowest ? height < value : height > value) {
      value = height;
      best = v;
    }
  }
  return best;
}

MgcVector3 extremeEdgeEnd(const HullView& hull, const MeshFeature& edge, const MgcVector3& d, bool lowest) {
  const MgcVector3 start = edgeStart(hull, edge);
  const MgcVector3 end = edgeEnd(hull, edge);
  const double a = d.Dot(start);
  const double b = d.Dot(end);
  if (lowest) return a < b ? start : end;
  return a > b ? start : end;
}
