#include <maya/MDagPathArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MPxLocatorNode.h>

#include "dag/DagNode.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>

using zovhost::DagLink;
using zovhost::NodeImpl;
using zovhost::nodeTypeRegistry;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

std::shared_ptr<NodeImpl> dagNodeIn(const MObject& object, MStatus* status) {
  auto node = zovhost::nodeOf(object);
  const bool valid = node && node->isDag();
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid ? node : nullptr;
}

using DagLinks = std::vector<NodeImpl*> NodeImpl::*;

/// The length of a DAG node's parent or child list; 0 without a node.
unsigned int linkCount(const std::shared_ptr<NodeImpl>& node, DagLinks links) {
  return node ? static_cast<unsigned int>(((*node).*links).size()) : 0;
}

/// Entry `index` of a DAG node's parent or child list (a null parent, the
/// world, gives a null object); kInvalidParameter without a node or past the
/// end of the list.
MObject linkAt(const std::shared_ptr<NodeImpl>& node, DagLinks links, unsigned int index, MStatus* status) {
  if (!node || index >= ((*node).*links).size()) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  NodeImpl* linked = ((*node).*links)[index];
  return linked ? MObject(linked->shared_from_this()) : MObject();
}

/// The box of a node in its own space; a transform's holds its children's.
MBoundingBox objectBox(const NodeImpl& node) {
  if (const auto* shape = dynamic_cast<const zovhost::HostShape*>(node.user.get())) return shape->objectBoundingBox();
  if (const auto* locator = dynamic_cast<const MPxLocatorNode*>(node.user.get()))
    return locator->isBounded() ? locator->boundingBox() : MBoundingBox();
  MBoundingBox box;
  if (node.hasFn(MFn::kTransform))
    for (NodeImpl* child : node.dagChildren) {
      MBoundingBox childBox = objectBox(*child);
      box.expand(childBox.transformUsing(zovhost::DagNode::localMatrix(child->shared_from_this())));
    }
  return box;
}

MObject attachCreated(MFnDagNode& fn, const std::shared_ptr<NodeImpl>& node, const std::shared_ptr<NodeImpl>& made) {
  if (!node) return MObject();
  const MObject result(made ? made : node);
  fn.setObject(result);
  return result;
}

/// A data value of the node's own: copies of the objects that may be changed in place.
MObject copyOfData(const MObject& data) {
  const auto copy = data.isNull() ? nullptr : data.object()->copyForHandle();
  return copy ? MObject(copy) : data;
}

zovhost::Slot copyOfSlot(const zovhost::Slot& from) {
  zovhost::Slot to;
  to.value = from.value;
  to.value.data = copyOfData(from.value.data);
  to.locked = from.locked;
  to.arrayLevel = from.arrayLevel;
  for (const zovhost::Slot& child : from.children) to.children.push_back(copyOfSlot(child));
  for (const auto& [index, element] : from.elements)
    to.elements.emplace(index, std::make_unique<zovhost::Slot>(copyOfSlot(*element)));
  return to;
}

/// A copy of a DAG node under parent (null: a new transform for a shape,
/// the world for a transform) with its stored values; an input fed by a
/// connection takes the value it has now. A transform's shapes are copied
/// with it.
std::shared_ptr<NodeImpl> copyDagNode(const std::shared_ptr<NodeImpl>& node, const std::shared_ptr<NodeImpl>& parent,
                                      std::shared_ptr<NodeImpl>* madeParent, MStatus* status) {
  const auto copy = zovhost::createDagNode(node->type, parent, "", madeParent, status);
  if (!copy) return nullptr;
  for (const auto& attribute : node->type->attributes) {
    if (!attribute->storable || attribute->isMessage()) continue;
    zovhost::Slot* from = node->slot(*attribute, {}, false);
    zovhost::Slot* to = copy->slot(*attribute, {}, true);
    if (!from || !to) continue;
    const MPlug source(node, attribute, {});
    if (!attribute->array && attribute->holdsData() && source.isDestination())
      to->value.data = copyOfData(source.asMObject());
    else
      *to = copyOfSlot(*from);
    zovhost::setSlotDirty(*to, false);
    sceneGraph().propagate(MPlug(copy, attribute, {}));
  }
  if (node->hasFn(MFn::kTransform))
    for (NodeImpl* child : std::vector<NodeImpl*>(node->dagChildren))
      if (!child->hasFn(MFn::kTransform)) copyDagNode(child->shared_from_this(), copy, nullptr, status);
  return copy;
}

}  // namespace

MFnDagNode::MFnDagNode(const MObject& node, MStatus* status) { setStatus(status, setObject(node)); }

MFnDagNode::MFnDagNode(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MStatus MFnDagNode::setObject(const MObject& object) {
  m_path = MDagPath();
  return MFnDependencyNode::setObject(object);
}

MStatus MFnDagNode::setObject(const MDagPath& path) {
  const MObject node = path.node();
  const MStatus status = setObject(node);
  if (!status) return status;
  m_path = path;
  return MS::kSuccess;
}

MDagPath MFnDagNode::workingPath() const {
  if (m_path.isValid()) return m_path;
  MDagPath first;
  MDagPath::getAPathTo(m_object, first);
  return first;
}

MObject MFnDagNode::create(const MTypeId& typeId, const MObject& parent, MStatus* status) {
  return create(typeId, MString(), parent, status);
}

MObject MFnDagNode::create(const MTypeId& typeId, const MString& name, const MObject& parent, MStatus* status) {
  const auto type = nodeTypeRegistry().find(typeId);
  return create(MString(type ? type->name : std::string()), name, parent, status);
}

MObject MFnDagNode::create(const MString& typeName, const MObject& parent, MStatus* status) {
  return create(typeName, MString(), parent, status);
}

MObject MFnDagNode::create(const MString& typeName, const MString& name, const MObject& parent, MStatus* status) {
  const auto above = zovhost::nodeOf(parent);
  if (!parent.isNull() && !above) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  std::shared_ptr<NodeImpl> made;
  const auto node = zovhost::createDagNode(nodeTypeRegistry().find(typeName.str()), above, name.str(), &made, status);
  return attachCreated(*this, node, made);
}

MObject MFnDagNode::duplicate(bool instance, bool instanceLeaf, MStatus* status) const {
  const auto node = zovhost::nodeOf(m_object);
  if (!node || !node->isDag() || !node->inGraph || instance || instanceLeaf) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  std::shared_ptr<NodeImpl> made;
  const auto copy = copyDagNode(node, nullptr, &made, status);
  if (!copy) return MObject();
  setStatus(status, MS::kSuccess);
  return MObject(made ? made : copy);
}

unsigned int MFnDagNode::parentCount(MStatus* status) const {
  return linkCount(dagNodeIn(m_object, status), &NodeImpl::dagParents);
}

MObject MFnDagNode::parent(unsigned int index, MStatus* status) const {
  return linkAt(dagNodeIn(m_object, status), &NodeImpl::dagParents, index, status);
}

unsigned int MFnDagNode::childCount(MStatus* status) const {
  return linkCount(dagNodeIn(m_object, status), &NodeImpl::dagChildren);
}

MObject MFnDagNode::child(unsigned int index, MStatus* status) const {
  return linkAt(dagNodeIn(m_object, status), &NodeImpl::dagChildren, index, status);
}

MStatus MFnDagNode::addChild(MObject& child, unsigned int index, bool keepExistingParents) {
  const auto node = dagNodeIn(m_object, nullptr);
  const auto impl = zovhost::nodeOf(child);
  if (!node || !impl || !impl->isDag() || !impl->inGraph) return MS::kInvalidParameter;
  std::vector<DagLink> links;
  if (keepExistingParents) {
    if (std::find(impl->dagParents.begin(), impl->dagParents.end(), node.get()) != impl->dagParents.end())
      return MS::kInvalidParameter;
    links = sceneGraph().dagParentLinks(*impl);
  }
  links.push_back({node, index == kNextPos ? zovhost::Dag::kEnd : index});
  return sceneGraph().setDagParents(*impl, links);
}

MStatus MFnDagNode::removeChild(MObject& child) {
  const auto node = dagNodeIn(m_object, nullptr);
  const auto impl = zovhost::nodeOf(child);
  if (!node || !impl ||
      std::find(node->dagChildren.begin(), node->dagChildren.end(), impl.get()) == node->dagChildren.end())
    return MS::kInvalidParameter;
  std::vector<DagLink> links;
  for (const DagLink& link : sceneGraph().dagParentLinks(*impl))
    if (link.parent != node) links.push_back(link);
  if (links.empty()) links.push_back({nullptr});
  return sceneGraph().setDagParents(*impl, links);
}

MStatus MFnDagNode::removeChildAt(unsigned int index) {
  MObject which = child(index);
  return which.isNull() ? MStatus(MS::kInvalidParameter) : removeChild(which);
}

bool MFnDagNode::hasParent(const MObject& other, MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  const auto parent = zovhost::nodeOf(other);
  return node && parent &&
         std::find(node->dagParents.begin(), node->dagParents.end(), parent.get()) != node->dagParents.end();
}

bool MFnDagNode::hasChild(const MObject& other, MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  const auto child = zovhost::nodeOf(other);
  return node && child &&
         std::find(node->dagChildren.begin(), node->dagChildren.end(), child.get()) != node->dagChildren.end();
}

bool MFnDagNode::isChildOf(const MObject& other, MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  const auto ancestor = zovhost::nodeOf(other);
  return node && ancestor && sceneGraph().dag().isAncestor(*ancestor, *node);
}

bool MFnDagNode::isParentOf(const MObject& other, MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  const auto descendant = zovhost::nodeOf(other);
  return node && descendant && sceneGraph().dag().isAncestor(*node, *descendant);
}

MStatus MFnDagNode::getPath(MDagPath& path) const {
  path = workingPath();
  return path.isValid() ? MS::kSuccess : MS::kFailure;
}

MDagPath MFnDagNode::dagPath(MStatus* status) const {
  MDagPath path;
  setStatus(status, getPath(path));
  return path;
}

MStatus MFnDagNode::getAllPaths(MDagPathArray& paths) const { return MDagPath::getAllPathsTo(m_object, paths); }

MString MFnDagNode::fullPathName(MStatus* status) const { return workingPath().fullPathName(status); }

MString MFnDagNode::partialPathName(MStatus* status) const { return workingPath().partialPathName(status); }

bool MFnDagNode::isInstanced(bool indirect, MStatus* status) const { return instanceCount(indirect, status) > 1; }

unsigned int MFnDagNode::instanceCount(bool total, MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  if (!node || !node->inGraph) return 0;
  return static_cast<unsigned int>(total ? sceneGraph().dag().paths(*node).size() : node->dagParents.size());
}

MBoundingBox MFnDagNode::boundingBox(MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  return node ? objectBox(*node) : MBoundingBox();
}

MMatrix MFnDagNode::transformationMatrix(MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  return node ? zovhost::DagNode::localMatrix(node) : MMatrix();
}

bool MFnDagNode::isIntermediateObject(MStatus* status) const {
  const auto node = dagNodeIn(m_object, status);
  return node && MPlug(m_object, zovhost::DagNode::intermediateObject).asBool();
}

MStatus MFnDagNode::setIntermediateObject(bool isIntermediate) {
  if (!dagNodeIn(m_object, nullptr)) return MS::kFailure;
  return MPlug(m_object, zovhost::DagNode::intermediateObject).setValue(isIntermediate);
}
