#include <maya/MDagPath.h>
#include <maya/MDagPathArray.h>
#include <maya/MPlug.h>

#include "dag/DagNode.h"
#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>

using zovhost::DagNodePath;
using zovhost::NodeImpl;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

MDagPath pathOf(const DagNodePath& nodes) {
  std::vector<std::shared_ptr<NodeImpl>> shared;
  for (NodeImpl* node : nodes) shared.push_back(node->shared_from_this());
  return MDagPath(std::move(shared));
}

DagNodePath rawPath(const std::vector<std::shared_ptr<NodeImpl>>& nodes) {
  DagNodePath raw;
  for (const auto& node : nodes) raw.push_back(node.get());
  return raw;
}

bool isShape(const NodeImpl& node) { return node.isDag() && !node.hasFn(MFn::kTransform); }

bool isIntermediate(const NodeImpl& node) {
  return MPlug(MObject(const_cast<NodeImpl&>(node).shared_from_this()), zovhost::DagNode::intermediateObject).asBool();
}

/// The shapes directly below a node, intermediate objects left out.
std::vector<NodeImpl*> shapesBelow(const NodeImpl& node) {
  std::vector<NodeImpl*> shapes;
  for (NodeImpl* child : node.dagChildren)
    if (isShape(*child) && !isIntermediate(*child)) shapes.push_back(child);
  return shapes;
}

}  // namespace

MDagPath::MDagPath(std::vector<std::shared_ptr<NodeImpl>> nodes) : m_nodes(std::move(nodes)), m_assigned(true) {}

std::shared_ptr<NodeImpl> MDagPath::last() const { return isValid() && !m_nodes.empty() ? m_nodes.back() : nullptr; }

MStatus MDagPath::getAPathTo(const MObject& node, MDagPath& path) {
  const auto impl = zovhost::nodeOf(node);
  if (!impl || !impl->isDag() || !impl->inGraph) return MS::kInvalidParameter;
  path = pathOf(sceneGraph().dag().paths(*impl).front());
  return MS::kSuccess;
}

MStatus MDagPath::getAllPathsTo(const MObject& node, MDagPathArray& paths) {
  paths.clear();
  const auto impl = zovhost::nodeOf(node);
  if (!impl || !impl->isDag() || !impl->inGraph) return MS::kInvalidParameter;
  for (const DagNodePath& path : sceneGraph().dag().paths(*impl)) paths.append(pathOf(path));
  return MS::kSuccess;
}

bool MDagPath::isValid(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  if (!m_assigned) return false;
  const NodeImpl* above = nullptr;
  for (const auto& node : m_nodes) {
    if (!node->inGraph) return false;
    const auto& parents = node->dagParents;
    if (std::find(parents.begin(), parents.end(), above) == parents.end()) return false;
    above = node.get();
  }
  return true;
}

MObject MDagPath::node(MStatus* status) const {
  const auto end = last();
  setStatus(status, isValid() ? MS::kSuccess : MS::kFailure);
  return end ? MObject(end) : MObject();
}

MObject MDagPath::transform(MStatus* status) const {
  if (isValid())
    for (auto it = m_nodes.rbegin(); it != m_nodes.rend(); ++it)
      if ((*it)->hasFn(MFn::kTransform)) {
        setStatus(status, MS::kSuccess);
        return MObject(*it);
      }
  setStatus(status, MS::kInvalidParameter);
  return MObject();
}

unsigned int MDagPath::length(MStatus* status) const {
  setStatus(status, isValid() ? MS::kSuccess : MS::kFailure);
  return static_cast<unsigned int>(m_nodes.size());
}

MStatus MDagPath::push(const MObject& child) {
  const auto node = zovhost::nodeOf(child);
  if (!isValid() || !node || !node->inGraph) return MS::kInvalidParameter;
  const NodeImpl* above = m_nodes.empty() ? nullptr : m_nodes.back().get();
  const auto& parents = node->dagParents;
  if (std::find(parents.begin(), parents.end(), above) == parents.end()) return MS::kInvalidParameter;
  m_nodes.push_back(node);
  return MS::kSuccess;
}

MStatus MDagPath::pop(unsigned int count) {
  if (!isValid() || count > m_nodes.size()) return MS::kInvalidParameter;
  m_nodes.resize(m_nodes.size() - count);
  return MS::kSuccess;
}

MStatus MDagPath::extendToShape() {
  const auto end = last();
  if (!end) return MS::kInvalidParameter;
  if (isShape(*end)) return MS::kSuccess;
  const std::vector<NodeImpl*> shapes = shapesBelow(*end);
  if (shapes.size() != 1) return MS::kInvalidParameter;
  m_nodes.push_back(shapes.front()->shared_from_this());
  return MS::kSuccess;
}

MStatus MDagPath::extendToShapeDirectlyBelow(unsigned int index) {
  const auto end = last();
  if (!end) return MS::kInvalidParameter;
  const std::vector<NodeImpl*> shapes = shapesBelow(*end);
  if (index >= shapes.size()) return MS::kInvalidParameter;
  m_nodes.push_back(shapes[index]->shared_from_this());
  return MS::kSuccess;
}

MStatus MDagPath::numberOfShapesDirectlyBelow(unsigned int& count) const {
  const auto end = last();
  count = end ? static_cast<unsigned int>(shapesBelow(*end).size()) : 0;
  return end ? MS::kSuccess : MS::kInvalidParameter;
}

unsigned int MDagPath::childCount(MStatus* status) const {
  setStatus(status, isValid() ? MS::kSuccess : MS::kFailure);
  if (!isValid()) return 0;
  return static_cast<unsigned int>(
      sceneGraph().dag().children(m_nodes.empty() ? nullptr : m_nodes.back().get()).size());
}

MObject MDagPath::child(unsigned int index, MStatus* status) const {
  if (!isValid()) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  const auto& children = sceneGraph().dag().children(m_nodes.empty() ? nullptr : m_nodes.back().get());
  setStatus(status, index < children.size() ? MS::kSuccess : MS::kInvalidParameter);
  return index < children.size() ? MObject(children[index]->shared_from_this()) : MObject();
}

MString MDagPath::fullPathName(MStatus* status) const {
  setStatus(status, isValid() ? MS::kSuccess : MS::kFailure);
  return isValid() ? MString(zovhost::Dag::fullPathName(rawPath(m_nodes))) : MString();
}

MString MDagPath::partialPathName(MStatus* status) const {
  const auto end = last();
  setStatus(status, end ? MS::kSuccess : MS::kFailure);
  if (!end) return MString();
  const DagNodePath own = rawPath(m_nodes);
  const std::vector<DagNodePath> all = sceneGraph().dag().paths(*end);
  // Node names are unique, so a tail of the path names it once no other path shares that tail.
  for (size_t tail = 1; tail <= own.size(); ++tail) {
    bool unique = true;
    for (const DagNodePath& other : all)
      if (other != own && other.size() >= tail &&
          std::equal(own.end() - static_cast<long>(tail), own.end(), other.end() - static_cast<long>(tail)))
        unique = false;
    if (unique) {
      std::string name;
      for (size_t i = own.size() - tail; i < own.size(); ++i) name += (name.empty() ? "" : "|") + own[i]->name;
      return MString(name);
    }
  }
  return fullPathName();
}

MMatrix MDagPath::inclusiveMatrix(MStatus* status) const {
  const auto end = last();
  setStatus(status, isValid() ? MS::kSuccess : MS::kFailure);
  if (!end) return MMatrix();
  return zovhost::DagNode::worldMatrixOf(end, instanceNumber());
}

MMatrix MDagPath::exclusiveMatrix(MStatus* status) const {
  setStatus(status, isValid() ? MS::kSuccess : MS::kFailure);
  if (!isValid() || m_nodes.size() < 2) return MMatrix();
  MDagPath above = *this;
  above.pop();
  return above.inclusiveMatrix();
}

MMatrix MDagPath::inclusiveMatrixInverse(MStatus* status) const { return inclusiveMatrix(status).inverse(); }

MMatrix MDagPath::exclusiveMatrixInverse(MStatus* status) const { return exclusiveMatrix(status).inverse(); }

unsigned int MDagPath::instanceNumber(MStatus* status) const {
  const int number = isValid() ? sceneGraph().dag().instanceNumber(rawPath(m_nodes)) : -1;
  setStatus(status, number >= 0 ? MS::kSuccess : MS::kFailure);
  return number >= 0 ? static_cast<unsigned int>(number) : 0;
}

bool MDagPath::isInstanced(MStatus* status) const {
  const auto end = last();
  setStatus(status, end ? MS::kSuccess : MS::kFailure);
  return end && sceneGraph().dag().paths(*end).size() > 1;
}

MFn::Type MDagPath::apiType(MStatus* status) const {
  const auto end = last();
  setStatus(status, end ? MS::kSuccess : MS::kFailure);
  return end ? end->apiType() : MFn::kInvalid;
}

bool MDagPath::hasFn(MFn::Type type, MStatus* status) const {
  const auto end = last();
  setStatus(status, end ? MS::kSuccess : MS::kFailure);
  return end && end->hasFn(type);
}

MDAGDrawOverrideInfo MDagPath::getDrawOverrideInfo() const {
  MDAGDrawOverrideInfo info;
  for (const auto& node : m_nodes)
    if (node && !MPlug(MObject(node), zovhost::DagNode::visibility).asBool()) info.fEnableVisible = false;
  return info;
}

MStatus MDagPath::set(const MDagPath& other) {
  *this = other;
  return MS::kSuccess;
}

bool MDagPath::operator==(const MDagPath& other) const {
  return m_assigned == other.m_assigned && m_nodes == other.m_nodes;
}
