#pragma once

#include <cstdint>

#include "engine/collision/narrowphase/HullView.h"
#include "math/MgcVector3.h"

// The features of a hull mesh that a contact query names by a short list of
// vertices (the distinct mesh vertices of the nearest polytope face).

enum class MeshFeatureKind { kNone, kVertex, kEdge, kFace };

/// A vertex, edge or face of a hull by its index in the mesh, the edge table
/// or the face list.
struct MeshFeature {
  MeshFeatureKind kind = MeshFeatureKind::kNone;
  std::uint32_t index = 0;
};

/// Resolves a vertex list of 1 to 3 entries into a feature:
/// - one vertex is that vertex;
/// - two vertices are the edge that joins them, else the first face around
///   the first that holds the second (the list becomes that face's first
///   three vertices), else the edge around either whose direction is best
///   aligned with theirs;
/// - three vertices are the first face around the one of them with the
///   fewest faces that has all three as corners, else the face of the whole
///   mesh whose plane lies nearest to all three.
/// kNone when nothing fits (no tables, or an empty list).
MeshFeature resolveMeshFeature(const HullView& hull, std::uint32_t list[3], std::uint32_t& count);

/// Makes face f the feature: the list becomes its first three vertices.
MeshFeature faceFeature(const HullView& hull, std::uint32_t f, std::uint32_t list[3], std::uint32_t& count);

/// The two faces beside an edge feature (equal on a border edge).
inline std::uint32_t edgeFace1(const HullView& hull, const MeshFeature& edge) { return hull.edge(edge.index).faceA; }
inline std::uint32_t edgeFace2(const HullView& hull, const MeshFeature& edge) { return hull.edge(edge.index).faceB; }
/// The world end points of an edge feature.
inline Mgc::MgcVector3 edgeStart(const HullView& hull, const MeshFeature& edge) {
  return hull.vertex(hull.edge(edge.index).vertexA);
}
inline Mgc::MgcVector3 edgeEnd(const HullView& hull, const MeshFeature& edge) {
  return hull.vertex(hull.edge(edge.index).vertexB);
}
/// The outward direction of an edge: the unit sum of its two face normals.
Mgc::MgcVector3 edgeOutward(const HullView& hull, const MeshFeature& edge);
/// The face's vertex with the smallest (lowest = true) or largest height
/// along d; the first corner wins ties.
Mgc::MgcVector3 extremeFaceVertex(const HullView& hull, std::uint32_t face, const Mgc::MgcVector3& d, bool lowest);
/// Of the edge's two ends, the one with the smaller (or larger) height along
/// d; the second end on equal heights.
Mgc::MgcVector3 extremeEdgeEnd(const HullView& hull, const MeshFeature& edge, const Mgc::MgcVector3& d, bool lowest);
