#pragma once

#include <maya/MFnBase.h>
#include <maya/MPlug.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

class MPlugArray;
class MPxNode;

/// Function set for dependency nodes: creation, names, attributes, plugs,
/// locking and the plug-in object behind a node.
class MFnDependencyNode : public MFnBase {
 public:
  enum MAttrClass { kLocalDynamicAttr = 1, kNormalAttr, kExtensionAttr, kInvalidAttr };

  MFnDependencyNode() = default;
  explicit MFnDependencyNode(const MObject& node, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kDependencyNode; }

  /// Creates a node and adds it to the scene (not undoable); the name is made
  /// unique, and defaults to the type name followed by a number. A DAG node
  /// goes under the world; a shape under a new transform.
  MObject create(const MTypeId& typeId, MStatus* status = nullptr);
  MObject create(const MTypeId& typeId, const MString& name, MStatus* status = nullptr);
  MObject create(const MString& typeName, MStatus* status = nullptr);
  MObject create(const MString& typeName, const MString& name, MStatus* status = nullptr);

  MTypeId typeId(MStatus* status = nullptr) const;
  MString typeName(MStatus* status = nullptr) const;
  MString name(MStatus* status = nullptr) const;
  /// Renames the node; a name in use is made unique. Returns the new name.
  MString setName(const MString& name, bool createNamespace = false, MStatus* status = nullptr);
  /// The plug-in that registered the node's type (empty for the host's own).
  MString pluginName(MStatus* status = nullptr) const;
  bool isDefaultNode(MStatus* status = nullptr) const;

  /// The plug of an attribute given by long or short name.
  MPlug findPlug(const MString& attributeName, bool wantNetworkedPlug, MStatus* status = nullptr) const;
  MPlug findPlug(const MString& attributeName, MStatus* status = nullptr) const;
  MPlug findPlug(const MObject& attribute, bool wantNetworkedPlug, MStatus* status = nullptr) const;
  MPlug findPlug(const MObject& attribute, MStatus* status = nullptr) const;
  MObject attribute(const MString& attributeName, MStatus* status = nullptr) const;
  /// Top-level attributes: the type's, then the node's dynamic ones.
  unsigned int attributeCount(MStatus* status = nullptr) const;
  MObject attribute(unsigned int index, MStatus* status = nullptr) const;
  bool hasAttribute(const MString& attributeName, MStatus* status = nullptr) const;
  MAttrClass attributeClass(const MObject& attribute, MStatus* status = nullptr) const;
  /// Adds a dynamic attribute to this node only; fails when a name is taken.
  MStatus addAttribute(const MObject& attribute, MAttrClass type = kLocalDynamicAttr);
  MStatus removeAttribute(const MObject& attribute, MAttrClass type = kLocalDynamicAttr);

  /// The plug-in object of a plug-in node, null for the host's own nodes.
  MPxNode* userNode(MStatus* status = nullptr) const;
  /// A locked node cannot be renamed, deleted, or connected.
  bool isLocked(MStatus* status = nullptr) const;
  MStatus setLocked(bool locked);
  /// Every plug of the node that has a connection.
  MStatus getConnections(MPlugArray& plugs) const;
};
