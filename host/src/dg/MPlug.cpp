// Plug structure: identity, names, children and elements, connections, locks.
#include <maya/MIntArray.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::AttributeImpl;
using zovhost::NodeImpl;
using zovhost::sceneGraph;
using zovhost::setStatus;
using zovhost::Slot;

namespace {

const Slot* arraySlot(const MPlug& plug) {
  if (!plug.isArray() || plug.isElement()) return nullptr;
  return plug.nodeImpl()->slot(*plug.attributeImpl(), plug.indices(), false);
}

std::string attributePath(const MPlug& plug, bool longNames) {
  std::string path;
  const std::vector<const AttributeImpl*> chain = plug.attributeImpl()->chain();
  size_t next = 0;
  for (size_t depth = 0; depth < chain.size(); ++depth) {
    const AttributeImpl& step = *chain[depth];
    // Only the last attribute is named, with the element indices of the arrays above it.
    if (depth + 1 == chain.size()) {
      if (!path.empty()) path += '.';
      path += longNames ? step.longName : step.shortName;
    } else if (step.array) {
      if (!path.empty()) path += '.';
      path += longNames ? step.longName : step.shortName;
    }
    if (step.array) {
      const int index = next < plug.indices().size() ? plug.indices()[next] : -1;
      ++next;
      if (index >= 0) path += "[" + std::to_string(index) + "]";
    }
  }
  return path;
}

}  // namespace

MPlug::MPlug(const MObject& node, const MObject& attribute) {
  auto nodeImpl = zovhost::nodeOf(node);
  auto attributeImpl = zovhost::attributeOf(attribute);
  if (!nodeImpl || !attributeImpl || !nodeImpl->ownsAttribute(*attributeImpl)) return;
  m_node = std::move(nodeImpl);
  m_indices.assign(attributeImpl->arrayDepth(), -1);
  m_attribute = std::move(attributeImpl);
}

MPlug::MPlug(std::shared_ptr<NodeImpl> node, std::shared_ptr<AttributeImpl> attribute, std::vector<int> indices)
    : m_node(std::move(node)), m_attribute(std::move(attribute)), m_indices(std::move(indices)) {
  if (m_attribute) m_indices.resize(m_attribute->arrayDepth(), -1);
}

bool MPlug::isNull(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return !m_node || !m_attribute;
}

MObject MPlug::node(MStatus* status) const {
  setStatus(status, m_node ? MS::kSuccess : MS::kFailure);
  return MObject(m_node);
}

MObject MPlug::attribute(MStatus* status) const {
  setStatus(status, m_attribute ? MS::kSuccess : MS::kFailure);
  return MObject(m_attribute);
}

MString MPlug::name(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  if (isNull()) return MString();
  return MString(m_node->name + "." + attributePath(*this, true));
}

MString MPlug::partialName(bool includeNodeName, bool, bool, bool, bool, bool useLongNames, MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  if (isNull()) return MString();
  const std::string path = attributePath(*this, useLongNames);
  return MString(includeNodeName ? m_node->name + "." + path : path);
}

bool MPlug::isArray(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_attribute && m_attribute->array;
}

bool MPlug::isElement(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return isArray() && !m_indices.empty() && m_indices.back() >= 0;
}

bool MPlug::isCompound(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_attribute && m_attribute->isCompound();
}

bool MPlug::isChild(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_attribute && m_attribute->parent;
}

bool MPlug::isDynamic(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_attribute && m_attribute->root()->dynamic;
}

bool MPlug::isKeyable(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_attribute && m_attribute->keyable;
}

bool MPlug::isDestination(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return !isNull() && sceneGraph().incomingOf(*this) != nullptr;
}

bool MPlug::isSource(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return !isNull() && !sceneGraph().outgoingOf(*this).empty();
}

bool MPlug::isConnected(MStatus* status) const { return isDestination(status) || isSource(status); }

unsigned int MPlug::numElements(MStatus* status) const {
  const Slot* slot = arraySlot(*this);
  setStatus(status, isArray() && !isElement() ? MS::kSuccess : MS::kFailure);
  return slot ? static_cast<unsigned int>(slot->elements.size()) : 0;
}

unsigned int MPlug::numConnectedElements(MStatus* status) const {
  unsigned int count = 0;
  const Slot* slot = arraySlot(*this);
  setStatus(status, slot ? MS::kSuccess : MS::kFailure);
  if (!slot) return 0;
  for (const auto& element : slot->elements)
    if (elementByLogicalIndex(element.first).isConnected()) ++count;
  return count;
}

unsigned int MPlug::numChildren(MStatus* status) const {
  setStatus(status, isCompound() ? MS::kSuccess : MS::kFailure);
  return m_attribute ? static_cast<unsigned int>(m_attribute->children.size()) : 0;
}

unsigned int MPlug::numConnectedChildren(MStatus* status) const {
  unsigned int count = 0;
  for (unsigned int i = 0; i < numChildren(status); ++i)
    if (child(i).isConnected()) ++count;
  return count;
}

MPlug MPlug::elementByLogicalIndex(unsigned int logicalIndex, MStatus* status) const {
  if (!isArray() || isElement()) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  std::vector<int> indices = m_indices;
  indices.back() = static_cast<int>(logicalIndex);
  return MPlug(m_node, m_attribute, std::move(indices));
}

MPlug MPlug::elementByPhysicalIndex(unsigned int physicalIndex, MStatus* status) const {
  const Slot* slot = arraySlot(*this);
  if (!slot || physicalIndex >= slot->elements.size()) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  auto it = slot->elements.begin();
  std::advance(it, physicalIndex);
  return elementByLogicalIndex(it->first, status);
}

unsigned int MPlug::logicalIndex(MStatus* status) const {
  setStatus(status, isElement() ? MS::kSuccess : MS::kFailure);
  return isElement() ? static_cast<unsigned int>(m_indices.back()) : 0;
}

int MPlug::getExistingArrayAttributeIndices(MIntArray& indices, MStatus* status) const {
  indices.clear();
  const Slot* slot = arraySlot(*this);
  setStatus(status, isArray() && !isElement() ? MS::kSuccess : MS::kFailure);
  if (slot)
    for (const auto& element : slot->elements) indices.append(static_cast<int>(element.first));
  return static_cast<int>(indices.length());
}

MPlug MPlug::child(unsigned int index, MStatus* status) const {
  // The children of an array compound belong to one of its elements.
  if (!isCompound() || index >= m_attribute->children.size() || (isArray() && !isElement())) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  return MPlug(m_node, m_attribute->children[index], m_indices);
}

MPlug MPlug::child(const MObject& attribute, MStatus* status) const {
  const auto wanted = zovhost::attributeOf(attribute);
  if (wanted && m_attribute)
    for (unsigned int i = 0; i < m_attribute->children.size(); ++i)
      if (m_attribute->children[i] == wanted) return child(i, status);
  setStatus(status, MS::kFailure);
  return MPlug();
}

MPlug MPlug::parent(MStatus* status) const {
  if (!isChild()) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  std::vector<int> indices = m_indices;
  if (m_attribute->array) indices.pop_back();
  return MPlug(m_node, m_attribute->parent->shared_from_this(), std::move(indices));
}

MPlug MPlug::array(MStatus* status) const {
  if (!isElement()) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  std::vector<int> indices = m_indices;
  indices.back() = -1;
  return MPlug(m_node, m_attribute, std::move(indices));
}

bool MPlug::connectedTo(MPlugArray& plugs, bool asDst, bool asSrc, MStatus* status) const {
  plugs.clear();
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  if (isNull()) return false;
  if (asDst)
    if (const auto connection = sceneGraph().incomingOf(*this)) plugs.append(connection->source);
  if (asSrc)
    for (const auto& connection : sceneGraph().outgoingOf(*this)) plugs.append(connection->destination);
  return plugs.length() > 0;
}

MPlug MPlug::source(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  const auto connection = isNull() ? nullptr : sceneGraph().incomingOf(*this);
  return connection ? connection->source : MPlug();
}

bool MPlug::destinations(MPlugArray& plugs, MStatus* status) const { return connectedTo(plugs, false, true, status); }

bool MPlug::isLocked(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return sceneGraph().isLocked(*this);
}

MStatus MPlug::setLocked(bool locked) {
  if (isNull()) return MS::kFailure;
  Slot* slot = m_node->slot(*m_attribute, m_indices, true);
  if (!slot) return MS::kFailure;
  slot->locked = locked;
  return MS::kSuccess;
}

bool MPlug::operator==(const MPlug& other) const {
  return m_node == other.m_node && m_attribute == other.m_attribute && m_indices == other.m_indices;
}

bool MPlug::operator==(const MObject& attribute) const {
  return m_attribute && attribute.object() == std::static_pointer_cast<zovhost::Object>(m_attribute);
}
