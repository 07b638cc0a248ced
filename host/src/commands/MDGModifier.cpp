#include <maya/MDGModifier.h>

#include "commands/ModifierOperation.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

using zovhost::nodeTypeRegistry;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace zovhost {

CreateNodeOperation::~CreateNodeOperation() { sceneGraph().dispose(m_removal); }

MStatus CreateNodeOperation::apply() {
  if (!m_added) {
    const MStatus status = sceneGraph().add(m_removal.node, m_dagParent);
    m_added = static_cast<bool>(status);
    return status;
  }
  return sceneGraph().restore(m_removal);
}

void CreateNodeOperation::revert() {
  if (m_removal.node->inGraph) sceneGraph().remove(m_removal.node, &m_removal, true);
}

MStatus RenameNodeOperation::apply() {
  m_previous = m_node->name;
  return sceneGraph().rename(*m_node, m_name);
}

void RenameNodeOperation::revert() {
  const bool locked = m_node->locked;
  m_node->locked = false;
  sceneGraph().rename(*m_node, m_previous);
  m_node->locked = locked;
}

DeleteNodeOperation::~DeleteNodeOperation() { sceneGraph().dispose(m_removal); }

MStatus DeleteNodeOperation::apply() { return sceneGraph().remove(m_node, &m_removal); }

void DeleteNodeOperation::revert() {
  // Nothing of its own when another removal took the node.
  if (m_removal.node) sceneGraph().restore(m_removal);
}

bool DeleteNodeOperation::doneAlready(std::uint64_t removalsBefore) {
  if (m_node->inGraph || m_node->removedBy <= removalsBefore) return false;
  // A record of an earlier pass is not this node's removal any more.
  m_removal = NodeRemoval();
  return true;
}

MStatus SetParentsOperation::apply() {
  if (!m_node->inGraph) return MS::kInvalidParameter;
  m_previous = sceneGraph().dagParentLinks(*m_node);
  return sceneGraph().setDagParents(*m_node, m_links);
}

void SetParentsOperation::revert() {
  if (m_node->inGraph) sceneGraph().setDagParents(*m_node, m_previous);
}

MStatus ConnectOperation::apply() {
  return m_connect ? sceneGraph().connect(m_source, m_destination) : sceneGraph().disconnect(m_source, m_destination);
}

void ConnectOperation::revert() {
  if (m_connect)
    sceneGraph().disconnect(m_source, m_destination, true);
  else if (!sceneGraph().incomingOf(m_destination))
    sceneGraph().connect(m_source, m_destination);
}

}  // namespace zovhost

namespace {

MObject createWith(const std::shared_ptr<zovhost::NodeType>& type,
                   std::vector<std::unique_ptr<zovhost::ModifierOperation>>& operations, MStatus* status) {
  if (!type || type->kind == MPxNode::kManipContainer || zovhost::fnListHas(type->fnTypes, MFn::kDagNode)) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  MStatus result;
  const auto node = sceneGraph().instantiate(type, &result);
  setStatus(status, result);
  if (!node) return MObject();
  operations.push_back(std::make_unique<zovhost::CreateNodeOperation>(node));
  return MObject(node);
}

MPlug plugOf(const MObject& node, const MObject& attribute) { return MPlug(node, attribute); }

}  // namespace

MDGModifier::MDGModifier() = default;
MDGModifier::~MDGModifier() = default;

MObject MDGModifier::createNode(const MTypeId& typeId, MStatus* status) {
  return createWith(nodeTypeRegistry().find(typeId), m_operations, status);
}

MObject MDGModifier::createNode(const MString& typeName, MStatus* status) {
  return createWith(nodeTypeRegistry().find(typeName.str()), m_operations, status);
}

MStatus MDGModifier::renameNode(const MObject& node, const MString& newName) {
  const auto impl = zovhost::nodeOf(node);
  if (!impl || !zovhost::Graph::isValidName(newName.str())) return MS::kInvalidParameter;
  m_operations.push_back(std::make_unique<zovhost::RenameNodeOperation>(impl, newName.str()));
  return MS::kSuccess;
}

MStatus MDGModifier::deleteNode(const MObject& node) {
  const auto impl = zovhost::nodeOf(node);
  if (!impl) return MS::kInvalidParameter;
  m_operations.push_back(std::make_unique<zovhost::DeleteNodeOperation>(impl));
  return MS::kSuccess;
}

MStatus MDGModifier::connect(const MPlug& source, const MPlug& destination) {
  if (source.isNull() || destination.isNull()) return MS::kInvalidParameter;
  // Nodes made by this modifier join the graph at doIt; check the rest now.
  const bool pending = !source.nodeImpl()->inGraph || !destination.nodeImpl()->inGraph;
  if (!pending) {
    const MStatus status = sceneGraph().checkConnection(source, destination);
    if (!status) return status;
  }
  m_operations.push_back(std::make_unique<zovhost::ConnectOperation>(source, destination, true));
  return MS::kSuccess;
}

MStatus MDGModifier::connect(const MObject& sourceNode, const MObject& sourceAttribute, const MObject& destinationNode,
                             const MObject& destinationAttribute) {
  return connect(plugOf(sourceNode, sourceAttribute), plugOf(destinationNode, destinationAttribute));
}

MStatus MDGModifier::disconnect(const MPlug& source, const MPlug& destination) {
  if (source.isNull() || destination.isNull()) return MS::kInvalidParameter;
  m_operations.push_back(std::make_unique<zovhost::ConnectOperation>(source, destination, false));
  return MS::kSuccess;
}

MStatus MDGModifier::disconnect(const MObject& sourceNode, const MObject& sourceAttribute,
                                const MObject& destinationNode, const MObject& destinationAttribute) {
  return disconnect(plugOf(sourceNode, sourceAttribute), plugOf(destinationNode, destinationAttribute));
}

void MDGModifier::addOperation(std::unique_ptr<zovhost::ModifierOperation> operation) {
  m_operations.push_back(std::move(operation));
}

MStatus MDGModifier::doIt() {
  MStatus result;
  const std::uint64_t removalsBefore = sceneGraph().lastRemoval();
  while (m_done < m_operations.size()) {
    zovhost::ModifierOperation& operation = *m_operations[m_done];
    if (operation.apply() || operation.doneAlready(removalsBefore)) {
      ++m_done;
    } else {
      // A failed edit did nothing; it is not retried by a later doIt.
      m_operations.erase(m_operations.begin() + static_cast<long>(m_done));
      result = MS::kFailure;
    }
  }
  return result;
}

MStatus MDGModifier::undoIt() {
  while (m_done > 0) m_operations[--m_done]->revert();
  return MS::kSuccess;
}
