#pragma once

#include <maya/MDagPath.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MPoint.h>
#include <maya/MSpace.h>
#include <maya/MStatus.h>
#include <zovhost/MeshWalk.h>

/// Walks the vertices of a mesh node or mesh data in order. World-space
/// positions need the world (a DAG path, or data that carries it). The mesh
/// is the one current when the iterator was made or reset.
class MItMeshVertex : private zovhost::MeshWalk {
 public:
  explicit MItMeshVertex(const MObject& polyObject, MStatus* status = nullptr);
  explicit MItMeshVertex(const MDagPath& polyObject, const MObject& component = MObject::kNullObj,
                         MStatus* status = nullptr);

  MStatus reset();
  bool isDone(MStatus* status = nullptr) const;
  MStatus next();
  int index(MStatus* status = nullptr) const;
  int count(MStatus* status = nullptr) const;
  /// Jumps to a vertex; prevIndex receives the one before.
  MStatus setIndex(int index, int& prevIndex);
  MPoint position(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  /// The polygons that use the vertex, in polygon order.
  MStatus getConnectedFaces(MIntArray& faceList) const;
  MStatus numConnectedFaces(int& faceCount) const;
  /// The other ends of the polygon sides at the vertex, each once.
  MStatus getConnectedVertices(MIntArray& vertexList) const;

 private:
  bool valid() const;
};
