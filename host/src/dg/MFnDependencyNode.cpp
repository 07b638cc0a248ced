#include <maya/MFnDependencyNode.h>
#include <maya/MPlugArray.h>

#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::NodeImpl;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

std::shared_ptr<NodeImpl> nodeIn(const MObject& object, MStatus* status) {
  auto node = zovhost::nodeOf(object);
  setStatus(status, node ? MS::kSuccess : MS::kFailure);
  return node;
}

}  // namespace

MFnDependencyNode::MFnDependencyNode(const MObject& node, MStatus* status) {
  const MStatus result = setObject(node);
  setStatus(status, result);
}

MTypeId MFnDependencyNode::typeId(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node ? node->type->id : MTypeId();
}

MString MFnDependencyNode::typeName(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node ? MString(node->type->name) : MString();
}

MString MFnDependencyNode::name(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node ? MString(node->name) : MString();
}

MString MFnDependencyNode::setName(const MString& name, bool, MStatus* status) {
  const auto node = nodeIn(m_object, status);
  if (!node) return MString();
  const MStatus result = sceneGraph().rename(*node, name.str());
  setStatus(status, result);
  return MString(node->name);
}

MString MFnDependencyNode::pluginName(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node ? MString(node->type->plugin) : MString();
}

bool MFnDependencyNode::isDefaultNode(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node && node->defaultNode;
}

MPlug MFnDependencyNode::findPlug(const MString& attributeName, bool, MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  if (!node) return MPlug();
  const auto attribute = node->findAttribute(attributeName.str());
  if (!attribute) {
    setStatus(status, MS::kInvalidParameter);
    return MPlug();
  }
  return MPlug(node, attribute, {});
}

MPlug MFnDependencyNode::findPlug(const MString& attributeName, MStatus* status) const {
  return findPlug(attributeName, true, status);
}

MPlug MFnDependencyNode::findPlug(const MObject& attribute, bool, MStatus* status) const {
  MPlug plug(m_object, attribute);
  setStatus(status, plug.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return plug;
}

MPlug MFnDependencyNode::findPlug(const MObject& attribute, MStatus* status) const {
  return findPlug(attribute, true, status);
}

MObject MFnDependencyNode::attribute(const MString& attributeName, MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  const auto attribute = node ? node->findAttribute(attributeName.str()) : nullptr;
  if (node && !attribute) setStatus(status, MS::kInvalidParameter);
  return MObject(attribute);
}

unsigned int MFnDependencyNode::attributeCount(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node ? node->attributeCount() : 0;
}

MObject MFnDependencyNode::attribute(unsigned int index, MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  if (!node || index >= node->attributeCount()) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  return MObject(node->attributeAt(index));
}

bool MFnDependencyNode::hasAttribute(const MString& attributeName, MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node && node->findAttribute(attributeName.str());
}

MFnDependencyNode::MAttrClass MFnDependencyNode::attributeClass(const MObject& attribute, MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  const auto impl = zovhost::attributeOf(attribute);
  if (!node || !impl || !node->ownsAttribute(*impl)) return kInvalidAttr;
  return impl->root()->dynamic ? kLocalDynamicAttr : kNormalAttr;
}

MStatus MFnDependencyNode::addAttribute(const MObject& attribute, MAttrClass type) {
  const auto node = zovhost::nodeOf(m_object);
  const auto impl = zovhost::attributeOf(attribute);
  if (!node || !impl || type != kLocalDynamicAttr || impl->parent) return MS::kInvalidParameter;
  return node->addDynamicAttribute(impl) ? MS::kSuccess : MS::kFailure;
}

MStatus MFnDependencyNode::removeAttribute(const MObject& attribute, MAttrClass type) {
  const auto node = zovhost::nodeOf(m_object);
  const auto impl = zovhost::attributeOf(attribute);
  if (!node || !impl || type != kLocalDynamicAttr || !impl->dynamic) return MS::kInvalidParameter;
  // Connections to the attribute go first.
  const MPlug whole(node, impl, {});
  for (const auto& connection : sceneGraph().connections()) {
    const bool touches =
        zovhost::plugsOverlap(connection->source, whole) || zovhost::plugsOverlap(connection->destination, whole);
    if (touches) sceneGraph().disconnect(connection->source, connection->destination);
  }
  return node->removeDynamicAttribute(*impl) ? MS::kSuccess : MS::kFailure;
}

MPxNode* MFnDependencyNode::userNode(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node ? node->user.get() : nullptr;
}

bool MFnDependencyNode::isLocked(MStatus* status) const {
  const auto node = nodeIn(m_object, status);
  return node && node->locked;
}

MStatus MFnDependencyNode::setLocked(bool locked) {
  const auto node = zovhost::nodeOf(m_object);
  if (!node) return MS::kFailure;
  node->locked = locked;
  return MS::kSuccess;
}

MStatus MFnDependencyNode::getConnections(MPlugArray& plugs) const {
  plugs.clear();
  const auto node = zovhost::nodeOf(m_object);
  if (!node) return MS::kFailure;
  std::vector<MPlug> seen;
  const auto addOnce = [&](const MPlug& plug) {
    for (const MPlug& existing : seen)
      if (existing == plug) return;
    seen.push_back(plug);
    plugs.append(plug);
  };
  for (const auto& connection : sceneGraph().connections()) {
    if (connection->source.nodeImpl() == node) addOnce(connection->source);
    if (connection->destination.nodeImpl() == node) addOnce(connection->destination);
  }
  return MS::kSuccess;
}
