#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

class MDataBlock;
class MDataHandle;
class MDGContext;
class MPlug;
class MPlugArray;

namespace zovhost {
class NodeImpl;
}

/// Base of plug-in node classes. The host creates a node through the creator
/// registered with its type, then calls postConstructor; it calls compute when
/// a dirty output is read, and setDependentsDirty while dirtiness spreads
/// through the node.
class MPxNode {
 public:
  /// The kinds of plug-in nodes, as given to MFnPlugin::registerNode.
  enum Type {
    kDependNode = 0,
    kLocatorNode = 1,
    kDeformerNode = 2,
    kManipContainer = 3,
    kSurfaceShape = 4,
    kFieldNode = 5,
    kEmitterNode = 6,
    kLast
  };

  MPxNode();
  virtual ~MPxNode();

  /// Called once the node exists with its attributes.
  virtual void postConstructor();
  /// Computes the value of a dirty output plug and marks it clean. Returns
  /// MS::kUnknownParameter for plugs the node does not compute; the host then
  /// keeps the stored value.
  virtual MStatus compute(const MPlug& plug, MDataBlock& dataBlock);
  /// Called for each plug of this node that becomes dirty; plugs appended to
  /// affectedPlugs become dirty too.
  virtual MStatus setDependentsDirty(const MPlug& plugBeingDirtied, MPlugArray& affectedPlugs);
  virtual bool getInternalValueInContext(const MPlug& plug, MDataHandle& dataHandle, MDGContext& context);
  virtual bool setInternalValueInContext(const MPlug& plug, const MDataHandle& dataHandle, MDGContext& context);
  virtual Type type() const { return kDependNode; }

  MTypeId typeId() const;
  MString typeName() const;
  MString name() const;
  MObject thisMObject() const;
  void setExistWithoutInConnections(bool flag);
  bool existWithoutInConnections(MStatus* status = nullptr) const;
  void setExistWithoutOutConnections(bool flag);
  bool existWithoutOutConnections(MStatus* status = nullptr) const;

  /// Adds a static attribute to the node type being initialized.
  static MStatus addAttribute(const MObject& attribute);
  /// Declares that a change of whenChanges makes isAffected dirty, for the
  /// node type being initialized.
  static MStatus attributeAffects(const MObject& whenChanges, const MObject& isAffected);

  /// Every node's "nodeState" ("nds"): 0 normal, 1 has no effect, 2 blocking.
  /// The host stores it; a node's compute decides what it means.
  static MObject state;

  // Host side: the node record this object belongs to.
  void attachToNode(zovhost::NodeImpl* node) { m_node = node; }
  zovhost::NodeImpl* nodeImpl() const { return m_node; }

 private:
  zovhost::NodeImpl* m_node = nullptr;
  bool m_existWithoutIn = true;
  bool m_existWithoutOut = true;
};
