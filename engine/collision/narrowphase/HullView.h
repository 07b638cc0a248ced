#pragma once

#include <cstdint>

#include "geometry/BVmesh.h"
#include "geometry/MeshConnectivity.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

/// What the narrow phase reads of a hull mesh volume: the world vertices and
/// face normals of its `ZOVmesh`, the faces, and the edge and vertex tables of
/// the volume. Every accessor checks its index, so that stale indices cached
/// in a pair's state cannot read outside the arrays.
class HullView {
 public:
  /// A view of `volume`; usable() tells whether it has anything to read.
  explicit HullView(const BVmesh* volume);

  /// A mesh with world vertices is bound and it has at least one vertex.
  bool usable() const { return mesh_ != nullptr; }
  std::uint32_t vertexCount() const { return vertexCount_; }
  std::uint32_t faceCount() const { return faceCount_; }
  /// World position of vertex i (the origin for an index out of range).
  const Mgc::MgcVector3& vertex(std::uint32_t i) const { return i < vertexCount_ ? vertices_[i] : origin(); }
  /// World unit normal of face f (zero when the mesh has none or f is out of range).
  const Mgc::MgcVector3& faceNormal(std::uint32_t f) const {
    return f < faceCount_ ? mesh_->worldFaceNormals[f] : origin();
  }
  /// Face f; f must be below faceCount().
  const mesh_face& face(std::uint32_t f) const { return mesh_->faces[f]; }
  /// The mesh's world centre.
  Mgc::MgcVector3 center() const;

  /// Whether the vertex table describes every vertex of the mesh.
  bool hasVertexTable() const { return vertexTable_; }
  /// Faces and edges around vertex i; empty without a table or out of range.
  std::uint32_t vertexFaceCount(std::uint32_t i) const { return record(i) != nullptr ? record(i)->numFaces : 0; }
  const std::uint32_t* vertexFaces(std::uint32_t i) const {
    return vertexFaceCount(i) > 0 ? record(i)->faces : nullptr;
  }
  std::uint32_t vertexEdgeCount(std::uint32_t i) const { return record(i) != nullptr ? record(i)->numEdges : 0; }
  const std::uint32_t* vertexEdges(std::uint32_t i) const {
    return vertexEdgeCount(i) > 0 ? record(i)->edges : nullptr;
  }
  /// The first face around vertex i, 0 when it has none.
  std::uint32_t firstFaceOf(std::uint32_t i) const;
  /// Whether e indexes the edge table.
  bool hasEdge(std::uint32_t e) const { return e < edgeCount_; }
  /// Edge e; e must satisfy hasEdge.
  const connect_edge& edge(std::uint32_t e) const { return edges_[e]; }
  /// The edge of vertex i's edge list that ends at j, zov::kNoIndex when none.
  std::uint32_t edgeJoining(std::uint32_t i, std::uint32_t j) const;
  /// The first face of vertex i's face list that has j as a corner,
  /// zov::kNoIndex when none.
  std::uint32_t faceOfVertexContaining(std::uint32_t i, std::uint32_t j) const;
  /// Whether face f has vertex v as a corner.
  bool faceHasVertex(std::uint32_t f, std::uint32_t v) const;
  /// The sum of the normals of the faces around vertex i.
  Mgc::MgcVector3 vertexNormalSum(std::uint32_t i) const;

  /// The vertex furthest along d, climbing the edge graph from `start`: each
  /// pass takes the strictly highest neighbour, the first in the edge list on
  /// equal heights, until no neighbour is higher. Without a vertex table, or
  /// from a vertex without edges, every vertex is scanned instead. An out-of-range start counts as vertex 0;
  /// zov::kNoIndex for an unusable view.
  std::uint32_t support(std::uint32_t start, const Mgc::MgcVector3& d) const;

  /// Writes the world corners of face f (at most kMaxFaceCorners) and returns
  /// their number.
  std::uint32_t facePolygon(std::uint32_t f, Mgc::MgcVector3* out) const;

 private:
  static const Mgc::MgcVector3& origin();
  /// The vertex record of vertex i, null without a table or out of range.
  const connect_vertex* record(std::uint32_t i) const {
    return vertexTable_ && i < vertexCount_ ? &volume_->getConnectVertex(i) : nullptr;
  }

  const BVmesh* volume_ = nullptr;
  const ZOVmesh* mesh_ = nullptr;
  const Mgc::MgcVector3* vertices_ = nullptr;
  const connect_edge* edges_ = nullptr;
  std::uint32_t vertexCount_ = 0;
  std::uint32_t faceCount_ = 0;
  std::uint32_t edgeCount_ = 0;
  bool vertexTable_ = false;
};
