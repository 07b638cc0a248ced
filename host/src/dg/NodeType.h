#pragma once

#include <maya/MFn.h>
#include <maya/MPxNode.h>
#include <maya/MTypeId.h>
#include <maya/MTypes.h>

#include "dg/AttributeImpl.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class MDataBlock;
class MPlug;

namespace zovhost {

class Graph;
class NodeImpl;

/// A registered node type: identity, creator, static attributes and the
/// attributeAffects relations declared by its initialize function.
class NodeType {
 public:
  std::string name;
  MTypeId id;
  MPxNode::Type kind = MPxNode::kDependNode;
  MCreatorFunction creator = nullptr;
  MInitializeFunction initialize = nullptr;
  std::string classification;
  /// The own function-set type and those of its bases.
  MFn::Type apiType = MFn::kPluginDependNode;
  std::vector<MFn::Type> fnTypes;
  /// Type names a node-added or node-removed filter can use: the own name and
  /// the names of its bases ("dependNode", ...).
  std::vector<std::string> typeNames;
  /// The name new nodes take, followed by a number; the type name when empty.
  std::string defaultName;
  /// For shapes: the name of the transform made for a new one that is given
  /// no parent.
  std::string parentDefaultName = "transform";
  /// Computes what the host keeps for every node of a kind (the matrices of a
  /// DAG node) when the node's own compute does not handle the plug.
  MStatus (*hostCompute)(const MPlug& plug, MDataBlock& block) = nullptr;
  /// For DAG node types: keeps a node and everything below it in step with a
  /// change of their paths, and gives the plugs below a node that become
  /// dirty with one of its plugs (the children's matrices).
  void (*hierarchyChanged)(Graph& graph, NodeImpl& node) = nullptr;
  void (*hierarchyDependents)(const MPlug& changed, std::vector<MPlug>& dependents) = nullptr;
  /// Told of every data value (a mesh, say) set on a plug of the type.
  void (*dataStored)(const MPlug& plug) = nullptr;
  /// The plug-in that registered the type; empty for the host's own types.
  std::string plugin;
  /// False once the type has been deregistered.
  bool registered = true;

  std::vector<std::shared_ptr<AttributeImpl>> attributes;
  std::map<const AttributeImpl*, std::vector<const AttributeImpl*>> affects;
  /// Attributes that some attribute affects: outputs, dirty until computed.
  std::vector<const AttributeImpl*> outputs;

  /// Every node ever made of this type that may still exist.
  std::vector<std::weak_ptr<NodeImpl>> instances;

  bool isOutput(const AttributeImpl& attribute) const;
  /// The attributes affected by a change of attribute (directly declared).
  const std::vector<const AttributeImpl*>& affected(const AttributeImpl& attribute) const;
  bool matchesTypeName(const std::string& typeName) const;
};

}  // namespace zovhost
