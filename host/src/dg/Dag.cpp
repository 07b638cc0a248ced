#include "dg/Dag.h"

#include "dg/NodeImpl.h"

#include <algorithm>
#include <set>

namespace zovhost {

namespace {

template <typename T>
void insertAt(std::vector<T*>& items, T* item, size_t position) {
  items.insert(items.begin() + static_cast<long>(std::min(position, items.size())), item);
}

template <typename T>
bool eraseOne(std::vector<T*>& items, const T* item) {
  const auto found = std::find(items.begin(), items.end(), item);
  if (found == items.end()) return false;
  items.erase(found);
  return true;
}

/// Appends node and its descendants not met before (instances are met once).
void visitDepthFirst(NodeImpl* node, std::vector<NodeImpl*>& order, std::set<const NodeImpl*>& met) {
  if (!met.insert(node).second) return;
  order.push_back(node);
  for (NodeImpl* child : node->dagChildren) visitDepthFirst(child, order, met);
}

}  // namespace

void Dag::link(NodeImpl* parent, NodeImpl& child, size_t childPosition, size_t parentPosition) {
  insertAt(parent ? parent->dagChildren : m_world, &child, childPosition);
  insertAt(child.dagParents, parent, parentPosition);
}

bool Dag::unlink(NodeImpl* parent, NodeImpl& child) {
  if (!eraseOne(child.dagParents, parent)) return false;
  eraseOne(parent ? parent->dagChildren : m_world, &child);
  return true;
}

const std::vector<NodeImpl*>& Dag::children(const NodeImpl* parent) const {
  return parent ? parent->dagChildren : m_world;
}

size_t Dag::childPosition(const NodeImpl* parent, const NodeImpl& child) const {
  const std::vector<NodeImpl*>& list = children(parent);
  const auto found = std::find(list.begin(), list.end(), &child);
  return found == list.end() ? kEnd : static_cast<size_t>(found - list.begin());
}

std::vector<DagNodePath> Dag::paths(const NodeImpl& node) const {
  std::vector<DagNodePath> result;
  NodeImpl* self = const_cast<NodeImpl*>(&node);
  for (NodeImpl* parent : node.dagParents) {
    if (!parent) {
      result.push_back({self});
      continue;
    }
    for (DagNodePath path : paths(*parent)) {
      path.push_back(self);
      result.push_back(std::move(path));
    }
  }
  return result;
}

int Dag::instanceNumber(const DagNodePath& path) const {
  if (path.empty()) return -1;
  const std::vector<DagNodePath> all = paths(*path.back());
  const auto found = std::find(all.begin(), all.end(), path);
  return found == all.end() ? -1 : static_cast<int>(found - all.begin());
}

bool Dag::isAncestor(const NodeImpl& ancestor, const NodeImpl& node) const {
  for (const NodeImpl* parent : node.dagParents)
    if (parent && (parent == &ancestor || isAncestor(ancestor, *parent))) return true;
  return false;
}

std::vector<NodeImpl*> Dag::subtree(NodeImpl& node) const {
  std::vector<NodeImpl*> order;
  std::set<const NodeImpl*> met;
  visitDepthFirst(&node, order, met);
  return order;
}

std::vector<NodeImpl*> Dag::depthFirst() const {
  std::vector<NodeImpl*> order;
  std::set<const NodeImpl*> met;
  for (NodeImpl* top : m_world) visitDepthFirst(top, order, met);
  return order;
}

std::string Dag::fullPathName(const DagNodePath& path) {
  std::string name;
  for (const NodeImpl* node : path) name += "|" + node->name;
  return name;
}

}  // namespace zovhost
