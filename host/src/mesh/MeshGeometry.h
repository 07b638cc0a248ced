#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MFloatPoint.h>
#include <maya/MFloatVector.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MStatus.h>
#include <maya/MVector.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

/// A polygon mesh as the host keeps it, in object space: single-precision
/// points, polygons as runs of vertex indices (counts and connects), and one
/// normal per face-vertex. Normals that were never set are the polygon's
/// normal; set ones are kept (and stored with the mesh). Face-vertex k of the
/// mesh, counted over the polygons in order, has normal index k.
class MeshGeometry {
 public:
  MeshGeometry() = default;
  /// Checks and takes the arrays; a failure (with the reason) leaves the mesh empty.
  MStatus assign(std::vector<MFloatPoint> points, std::vector<int> counts, std::vector<int> connects,
                 std::string* reason = nullptr);

  int vertexCount() const { return static_cast<int>(m_points.size()); }
  int polygonCount() const { return static_cast<int>(m_counts.size()); }
  int faceVertexCount() const { return static_cast<int>(m_connects.size()); }
  const std::vector<MFloatPoint>& points() const { return m_points; }
  const std::vector<int>& counts() const { return m_counts; }
  const std::vector<int>& connects() const { return m_connects; }
  /// The first face-vertex of a polygon.
  int offset(int polygon) const { return m_offsets[static_cast<size_t>(polygon)]; }
  bool validPolygon(int polygon) const { return polygon >= 0 && polygon < polygonCount(); }
  bool validVertex(int vertex) const { return vertex >= 0 && vertex < vertexCount(); }

  /// A polygon's corner positions, transformed by matrix.
  std::vector<MPoint> corners(int polygon, const MMatrix& matrix = MMatrix::identity) const;
  /// A polygon's unit normal under matrix (zero for a polygon without area).
  MVector polygonNormal(int polygon, const MMatrix& matrix = MMatrix::identity) const;
  /// The normal of face-vertex index k (object space).
  MFloatVector faceVertexNormal(int faceVertex) const;
  bool normalsSet() const { return !m_normals.empty(); }
  /// Sets the normal of one face-vertex (the others keep theirs).
  void setFaceVertexNormal(int faceVertex, const MFloatVector& normal);
  /// The stored normals, one per face-vertex, empty when none were set.
  const std::vector<MFloatVector>& setNormals() const { return m_normals; }
  /// Takes stored normals (one per face-vertex, or none); false otherwise.
  bool assignNormals(std::vector<MFloatVector> normals);
  void setPoint(int vertex, const MFloatPoint& point);

  /// The host's triangles of a polygon, as mesh vertex indices.
  const std::vector<std::array<int, 3>>& triangles(int polygon) const;
  bool isConvex(int polygon) const;
  MBoundingBox boundingBox() const;

 private:
  void rebuildOffsets();
  void forgetTriangles();

  std::vector<MFloatPoint> m_points;
  std::vector<int> m_counts;
  std::vector<int> m_connects;
  std::vector<int> m_offsets;
  std::vector<MFloatVector> m_normals;
  /// Triangles per polygon, worked out on first use: they depend only on
  /// the object-space points (the ear test is unchanged by affine maps).
  mutable std::vector<std::vector<std::array<int, 3>>> m_triangles;
  mutable std::vector<signed char> m_convex;
};

/// The matrix that takes object-space normals to the space of matrix: the
/// inverse transpose of its 3x3 part (the identity for a singular matrix).
MMatrix normalMatrix(const MMatrix& matrix);

}  // namespace zovhost
