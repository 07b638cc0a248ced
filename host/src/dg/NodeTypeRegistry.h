#pragma once

#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>
#include <maya/MTypes.h>

#include "dg/NodeType.h"

#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class Graph;

/// The registered node types: the host's own and the plug-ins'.
class NodeTypeRegistry {
 public:
  /// Deregistering a type deletes its nodes from graph.
  explicit NodeTypeRegistry(Graph& graph) : m_graph(graph) {}
  NodeTypeRegistry(const NodeTypeRegistry&) = delete;
  NodeTypeRegistry& operator=(const NodeTypeRegistry&) = delete;

  /// What every DAG node type gets before its own initialize runs (the DAG
  /// node's attributes and behaviour).
  void setDagNodeBase(void (*inherit)(NodeType& type)) { m_dagNodeBase = inherit; }

  /// Registers a plug-in node type and runs its initialize function; a taken
  /// id or name, or a failing initialize, fails the registration.
  MStatus registerType(const std::string& name, MTypeId id, MCreatorFunction creator, MInitializeFunction initialize,
                       MPxNode::Type kind, const std::string& classification, const std::string& plugin);
  /// Registers one of the host's own node types. baseNames are the type
  /// names of its bases ("dependNode" is always one); a type whose
  /// function-set types include kDagNode has the DAG node's attributes.
  std::shared_ptr<NodeType> registerBuiltin(const std::string& name, MTypeId id, MCreatorFunction creator,
                                            MInitializeFunction initialize, MFn::Type apiType,
                                            std::vector<MFn::Type> fnTypes,
                                            const std::vector<std::string>& baseNames = {});
  /// Deregisters a type: its nodes are deleted from the scene and their
  /// plug-in objects destroyed. Nodes held elsewhere (by the undo queue, say)
  /// lose their plug-in objects too, so callers let go of them first.
  MStatus deregisterType(MTypeId id);
  std::shared_ptr<NodeType> find(const std::string& name) const;
  std::shared_ptr<NodeType> find(MTypeId id) const;
  const std::vector<std::shared_ptr<NodeType>>& types() const { return m_types; }
  /// The type whose initialize function is running (attributes are added to it).
  NodeType* initializing() const { return m_initializing; }
  /// Drops the plug-in types (used when the host is reset).
  void removePluginTypes();

 private:
  void destroyInstances(NodeType& type);
  void inheritBases(NodeType& type) const;

  Graph& m_graph;
  void (*m_dagNodeBase)(NodeType& type) = nullptr;
  std::vector<std::shared_ptr<NodeType>> m_types;
  NodeType* m_initializing = nullptr;
};

/// The node types the API creates nodes of; owned by the host's composition root.
NodeTypeRegistry& nodeTypeRegistry();

}  // namespace zovhost
