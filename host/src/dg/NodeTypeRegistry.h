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

/// The registered node types: the host's own and the plug-ins'.
class NodeTypeRegistry {
 public:
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
  /// plug-in objects destroyed.
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

  std::vector<std::shared_ptr<NodeType>> m_types;
  NodeType* m_initializing = nullptr;
};

}  // namespace zovhost
