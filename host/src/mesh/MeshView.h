#pragma once

#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MSpace.h>

#include "mesh/MeshGeometry.h"

#include <memory>

namespace zovhost {

/// A mesh as a function set or iterator sees it: the geometry and, when it
/// is known, the matrix from object space to world space (from the DAG path
/// of a mesh node, or carried by world-space mesh data; mesh data without
/// one is its own world).
struct MeshView {
  std::shared_ptr<const MeshGeometry> geometry;
  MMatrix world;
  bool worldKnown = false;

  bool valid() const { return geometry != nullptr; }
  /// The matrix into a space; false for world space when the world is unknown.
  bool matrixFor(MSpace::Space space, MMatrix& matrix) const;
};

/// The view of a mesh node (through path when it is valid) or of mesh data;
/// an invalid view for anything else.
MeshView meshViewOf(const MObject& object, const MDagPath& path);

}  // namespace zovhost
