#pragma once

#include <maya/MDAGDrawOverrideInfo.h>
#include <maya/MFn.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <memory>
#include <vector>

class MDagPathArray;

namespace zovhost {
class NodeImpl;
}

/// A path through the DAG from the world down to a node: which instance of
/// an instanced node is meant. A default path is invalid; popping the last
/// node of a one-node path leaves the world's path (valid, length 0). A path
/// becomes invalid when one of its nodes leaves the scene or is moved.
class MDagPath {
 public:
  MDagPath() = default;

  /// The first path to a DAG node.
  static MStatus getAPathTo(const MObject& node, MDagPath& path);
  /// Every path to a DAG node, in instance order.
  static MStatus getAllPathsTo(const MObject& node, MDagPathArray& paths);

  bool isValid(MStatus* status = nullptr) const;
  /// The node at the end of the path (null for the world's path).
  MObject node(MStatus* status = nullptr) const;
  /// The node at the end when it is a transform, else the transform above it.
  MObject transform(MStatus* status = nullptr) const;
  /// The number of nodes on the path below the world.
  unsigned int length(MStatus* status = nullptr) const;
  /// Appends a child of the last node.
  MStatus push(const MObject& child);
  /// Removes nodes from the end; fails when there are fewer.
  MStatus pop(unsigned int count = 1);
  /// Extends a path ending at a transform with exactly one shape below it (not
  /// counting intermediate objects) to that shape; a path to a shape stays.
  MStatus extendToShape();
  MStatus extendToShapeDirectlyBelow(unsigned int index);
  MStatus numberOfShapesDirectlyBelow(unsigned int& count) const;
  unsigned int childCount(MStatus* status = nullptr) const;
  MObject child(unsigned int index, MStatus* status = nullptr) const;

  /// "|group1|pCube1|pCubeShape1".
  MString fullPathName(MStatus* status = nullptr) const;
  /// The shortest end part of the full path that names this path alone.
  MString partialPathName(MStatus* status = nullptr) const;

  /// The product of the matrices of every node on the path, the last one's
  /// first: object space to world space.
  MMatrix inclusiveMatrix(MStatus* status = nullptr) const;
  /// The same without the last node's own matrix: its parent's world matrix.
  MMatrix exclusiveMatrix(MStatus* status = nullptr) const;
  MMatrix inclusiveMatrixInverse(MStatus* status = nullptr) const;
  MMatrix exclusiveMatrixInverse(MStatus* status = nullptr) const;

  /// The index of this path among the paths to its node.
  unsigned int instanceNumber(MStatus* status = nullptr) const;
  /// True when the node at the end has more than one path.
  bool isInstanced(MStatus* status = nullptr) const;
  MFn::Type apiType(MStatus* status = nullptr) const;
  bool hasFn(MFn::Type type, MStatus* status = nullptr) const;
  /// How the host's drawing overrides ask for the path to be drawn: the
  /// default (normal, full detail, all on), with visibility off when a node
  /// on the path is hidden.
  MDAGDrawOverrideInfo getDrawOverrideInfo() const;

  MStatus set(const MDagPath& other);
  bool operator==(const MDagPath& other) const;
  bool operator!=(const MDagPath& other) const { return !(*this == other); }

  // Host side: a path from its nodes, top first (empty: the world's path).
  explicit MDagPath(std::vector<std::shared_ptr<zovhost::NodeImpl>> nodes);
  const std::vector<std::shared_ptr<zovhost::NodeImpl>>& nodes() const { return m_nodes; }
  /// The node at the end (null for the world's path or an invalid one).
  std::shared_ptr<zovhost::NodeImpl> last() const;

 private:
  std::vector<std::shared_ptr<zovhost::NodeImpl>> m_nodes;
  bool m_assigned = false;
};
