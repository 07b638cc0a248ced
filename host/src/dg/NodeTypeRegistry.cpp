#include "dg/NodeTypeRegistry.h"

#include <maya/MFnEnumAttribute.h>

#include "core/Logs.h"
#include "dg/Graph.h"

#include <algorithm>
#include <cstdio>

namespace zovhost {

namespace {

std::string hexId(MTypeId id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", id.id());
  return text;
}

/// The function-set types and base type names of a plug-in node kind.
void describeKind(NodeType& type) {
  switch (type.kind) {
    case MPxNode::kLocatorNode:
      type.apiType = MFn::kPluginLocatorNode;
      type.fnTypes = {MFn::kPluginLocatorNode, MFn::kPluginDependNode, MFn::kLocator, MFn::kShape,
                      MFn::kDagNode,           MFn::kDependencyNode};
      type.typeNames = {"dependNode", "dagNode", "shape", "locator", type.name};
      break;
    case MPxNode::kManipContainer:
      type.apiType = MFn::kPluginManipContainer;
      type.fnTypes = {MFn::kPluginManipContainer, MFn::kPluginDependNode, MFn::kDagNode, MFn::kDependencyNode};
      type.typeNames = {"dependNode", "dagNode", "manipContainer", type.name};
      break;
    default:
      type.apiType = MFn::kPluginDependNode;
      type.fnTypes = {MFn::kPluginDependNode, MFn::kDependencyNode};
      type.typeNames = {"dependNode", type.name};
      break;
  }
}

/// A type with its name, id and the functions that make its nodes.
std::shared_ptr<NodeType> newType(const std::string& name, MTypeId id, MCreatorFunction creator,
                                  MInitializeFunction initialize) {
  auto type = std::make_shared<NodeType>();
  type->name = name;
  type->id = id;
  type->creator = creator;
  type->initialize = initialize;
  return type;
}

/// The attribute every node has ahead of its own: its state.
const std::shared_ptr<AttributeImpl>& nodeStateAttribute() {
  static const std::shared_ptr<AttributeImpl> attribute = [] {
    MFnEnumAttribute fields;
    MPxNode::state = fields.create("nodeState", "nds", 0);
    fields.addField("normal", 0);
    fields.addField("hasNoEffect", 1);
    fields.addField("blocking", 2);
    const auto impl = attributeOf(MPxNode::state);
    impl->added = true;
    return impl;
  }();
  return attribute;
}

}  // namespace

MStatus NodeTypeRegistry::registerType(const std::string& name, MTypeId id, MCreatorFunction creator,
                                       MInitializeFunction initialize, MPxNode::Type kind,
                                       const std::string& classification, const std::string& plugin) {
  if (name.empty() || !creator) return MS::kInvalidParameter;
  if (find(name)) {
    displayError("Failed to register node type '" + name + "': the name is already in use");
    return MS::kFailure;
  }
  if (find(id)) {
    displayError("Failed to register node type '" + name + "': the type id " + hexId(id) + " is already in use by '" +
                 find(id)->name + "'");
    return MS::kFailure;
  }
  auto type = newType(name, id, creator, initialize);
  type->kind = kind;
  type->classification = classification;
  type->plugin = plugin;
  describeKind(*type);
  inheritBases(*type);
  m_types.push_back(type);

  if (initialize) {
    m_initializing = type.get();
    const MStatus status = initialize();
    m_initializing = nullptr;
    if (!status) {
      m_types.pop_back();
      type->registered = false;
      displayError("Failed to register node type '" + name + "': its initialize function failed");
      return status;
    }
  }
  return MS::kSuccess;
}

std::shared_ptr<NodeType> NodeTypeRegistry::registerBuiltin(const std::string& name, MTypeId id,
                                                            MCreatorFunction creator, MInitializeFunction initialize,
                                                            MFn::Type apiType, std::vector<MFn::Type> fnTypes,
                                                            const std::vector<std::string>& baseNames) {
  auto type = newType(name, id, creator, initialize);
  type->apiType = apiType;
  type->fnTypes = std::move(fnTypes);
  type->typeNames = {"dependNode"};
  type->typeNames.insert(type->typeNames.end(), baseNames.begin(), baseNames.end());
  type->typeNames.push_back(name);
  inheritBases(*type);
  m_types.push_back(type);
  m_initializing = type.get();
  if (initialize) initialize();
  m_initializing = nullptr;
  return type;
}

void NodeTypeRegistry::inheritBases(NodeType& type) const {
  type.attributes.insert(type.attributes.begin(), nodeStateAttribute());
  if (m_dagNodeBase && fnListHas(type.fnTypes, MFn::kDagNode)) m_dagNodeBase(type);
}

void NodeTypeRegistry::destroyInstances(NodeType& type) {
  std::vector<std::shared_ptr<NodeImpl>> inScene;
  for (const auto& node : m_graph.nodes())
    if (node->type.get() == &type) inScene.push_back(node);
  // Each goes for good at once; a destructor may delete other nodes, these among them.
  for (auto it = inScene.rbegin(); it != inScene.rend(); ++it) m_graph.remove(*it, nullptr, true);
  // Those held elsewhere (a modifier that made them, say) go too.
  const std::vector<std::weak_ptr<NodeImpl>> instances = std::move(type.instances);
  type.instances.clear();
  for (const auto& weak : instances)
    if (const std::shared_ptr<NodeImpl> node = weak.lock()) {
      if (node->inGraph) m_graph.remove(node, nullptr, true);
      m_graph.dispose(node);
    }
}

MStatus NodeTypeRegistry::deregisterType(MTypeId id) {
  const std::shared_ptr<NodeType> type = find(id);
  if (!type || type->plugin.empty()) return MS::kFailure;
  destroyInstances(*type);
  type->registered = false;
  m_types.erase(std::remove(m_types.begin(), m_types.end(), type), m_types.end());
  return MS::kSuccess;
}

void NodeTypeRegistry::removePluginTypes() {
  std::vector<MTypeId> ids;
  for (const auto& type : m_types)
    if (!type->plugin.empty()) ids.push_back(type->id);
  for (MTypeId id : ids) deregisterType(id);
}

std::shared_ptr<NodeType> NodeTypeRegistry::find(const std::string& name) const {
  for (const auto& type : m_types)
    if (type->name == name) return type;
  return nullptr;
}

std::shared_ptr<NodeType> NodeTypeRegistry::find(MTypeId id) const {
  for (const auto& type : m_types)
    if (type->id == id) return type;
  return nullptr;
}

}  // namespace zovhost
