#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MMatrix.h>

class MDagPathArray;

/// Function set for DAG nodes: their parents and children, their paths,
/// instancing, bounding box and own matrix. Attached through a path it knows
/// which instance is meant; attached to a node it uses the node's first path.
/// Hierarchy edits made here take effect at once and are not undoable (an
/// MDagModifier's are).
class MFnDagNode : public MFnDependencyNode {
 public:
  /// The position that adds a child after the others.
  static constexpr unsigned int kNextPos = 0xFFFFFFFFu;

  MFnDagNode() = default;
  explicit MFnDagNode(const MObject& node, MStatus* status = nullptr);
  explicit MFnDagNode(const MDagPath& path, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kDagNode; }
  MStatus setObject(const MObject& object) override;
  MStatus setObject(const MDagPath& path);

  /// Makes a DAG node under parent (a transform). A shape given no parent
  /// gets a new transform, and the transform is returned (and attached).
  MObject create(const MTypeId& typeId, const MObject& parent = MObject::kNullObj, MStatus* status = nullptr);
  MObject create(const MTypeId& typeId, const MString& name, const MObject& parent = MObject::kNullObj,
                 MStatus* status = nullptr);
  MObject create(const MString& typeName, const MObject& parent = MObject::kNullObj, MStatus* status = nullptr);
  MObject create(const MString& typeName, const MString& name, const MObject& parent = MObject::kNullObj,
                 MStatus* status = nullptr);

  /// A copy of the node with its values (an input fed by a connection takes
  /// the value it has now, without the connection): a shape's under a new
  /// transform, which is returned; a transform's with copies of its shapes,
  /// under the world. Instances are not made here.
  MObject duplicate(bool instance = false, bool instanceLeaf = false, MStatus* status = nullptr) const;

  unsigned int parentCount(MStatus* status = nullptr) const;
  /// A parent by index (null for the world).
  MObject parent(unsigned int index, MStatus* status = nullptr) const;
  unsigned int childCount(MStatus* status = nullptr) const;
  MObject child(unsigned int index, MStatus* status = nullptr) const;
  /// Puts child under this node at index (kNextPos: last), out of its other
  /// parents unless keepExistingParents, which makes it an instance.
  MStatus addChild(MObject& child, unsigned int index = kNextPos, bool keepExistingParents = false);
  /// Takes child from under this node; a child with no other parent goes
  /// under the world (a shape cannot, and is refused).
  MStatus removeChild(MObject& child);
  MStatus removeChildAt(unsigned int index);
  bool hasParent(const MObject& node, MStatus* status = nullptr) const;
  bool hasChild(const MObject& node, MStatus* status = nullptr) const;
  /// True when this node lies below node on some path.
  bool isChildOf(const MObject& node, MStatus* status = nullptr) const;
  /// True when node lies below this node on some path.
  bool isParentOf(const MObject& node, MStatus* status = nullptr) const;

  MStatus getPath(MDagPath& path) const;
  MDagPath dagPath(MStatus* status = nullptr) const;
  MStatus getAllPaths(MDagPathArray& paths) const;
  MString fullPathName(MStatus* status = nullptr) const;
  MString partialPathName(MStatus* status = nullptr) const;
  /// True when the node has several paths (indirect: through an instanced parent too).
  bool isInstanced(bool indirect = true, MStatus* status = nullptr) const;
  /// The number of paths (total), or of the node's own parents.
  unsigned int instanceCount(bool total, MStatus* status = nullptr) const;

  /// The box in the node's object space: a mesh's points, a bounded
  /// locator's own box, a transform's children in its space.
  MBoundingBox boundingBox(MStatus* status = nullptr) const;
  /// The node's own matrix (a transform's composed parts, else the identity).
  MMatrix transformationMatrix(MStatus* status = nullptr) const;
  bool isIntermediateObject(MStatus* status = nullptr) const;
  MStatus setIntermediateObject(bool isIntermediate);

 protected:
  /// The path the set works through: the one given, or the node's first.
  MDagPath workingPath() const;

  MDagPath m_path;
};
