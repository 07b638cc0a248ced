#pragma once

#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <memory>

namespace zovhost {

class MeshGeometry;

/// What the host's mesh iterators share: the mesh they walk (a node or mesh
/// data, or the shape a DAG path leads to), its geometry and world matrix as
/// they were at the last reset, and the index they stand at. Each iterator
/// says which indices name an item.
class MeshWalk {
 protected:
  MeshWalk() = default;
  explicit MeshWalk(const MObject& polyObject) : m_object(polyObject) {}
  explicit MeshWalk(const MDagPath& polyObject) : m_path(polyObject) {}

  /// Takes the mesh from m_path; a path to a transform means the mesh shape
  /// below it. The iterators walk whole meshes: a component fails with
  /// kInvalidParameter, taking nothing.
  MStatus takeShape(const MObject& component);
  /// Reads the mesh anew and goes back to index 0; kInvalidParameter when
  /// there is no mesh.
  MStatus load();
  /// Whether the walk is past its items (atItem false); kFailure in status
  /// without a mesh.
  bool walkedPast(bool atItem, MStatus* status) const;
  /// On to the next index; kFailure, standing still, when not at an item.
  MStatus stepOn(bool atItem);
  /// count, with kFailure in status (and 0) without a mesh.
  int counted(int count, MStatus* status) const;
  /// Jumps to index when it names an item (prevIndex then receives the index
  /// before); kInvalidParameter, moving nowhere, when it does not.
  MStatus jumpTo(int index, bool namesItem, int& prevIndex);

  MObject m_object;
  MDagPath m_path;
  std::shared_ptr<const MeshGeometry> m_geometry;
  MMatrix m_world;
  bool m_worldKnown = false;
  int m_index = 0;
};

}  // namespace zovhost
