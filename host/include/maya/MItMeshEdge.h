#pragma once

#include <maya/MDagPath.h>
#include <maya/MIntArray.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPoint.h>
#include <maya/MSpace.h>
#include <maya/MStatus.h>
#include <zovhost/MeshWalk.h>

#include <vector>

/// Walks the edges of a mesh node or mesh data: each pair of vertices that
/// are neighbours on a polygon's boundary is one edge, numbered in the
/// order the polygons first meet them. World-space positions need the world
/// (a DAG path, or data that carries it). The mesh is the one current when
/// the iterator was made or reset.
class MItMeshEdge : private zovhost::MeshWalk {
 public:
  explicit MItMeshEdge(const MObject& polyObject, MStatus* status = nullptr);
  explicit MItMeshEdge(const MDagPath& polyObject, const MObject& component = MObject::kNullObj,
                       MStatus* status = nullptr);

  MStatus reset();
  bool isDone(MStatus* status = nullptr) const;
  MStatus next();
  int index(MStatus* status = nullptr) const;
  /// The vertex at end 0 or 1 of the edge.
  int index(int end, MStatus* status = nullptr) const;
  int count(MStatus* status = nullptr) const;
  MPoint point(int end, MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MStatus getLength(double& length, MSpace::Space space = MSpace::kObject);
  /// The polygons that have the edge on their boundary, in polygon order.
  MStatus getConnectedFaces(MIntArray& faceList) const;
  MStatus numConnectedFaces(int& faceCount) const;
  /// Whether fewer than two polygons share the edge.
  bool onBoundary(MStatus* status = nullptr) const;

 private:
  struct Edge {
    int ends[2];
    std::vector<int> faces;
  };
  bool valid() const { return m_index >= 0 && m_index < static_cast<int>(m_edges.size()); }

  std::vector<Edge> m_edges;
};
