#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class NodeImpl;

/// One node's chain of DAG nodes from the top (a child of the world) down to it.
using DagNodePath = std::vector<NodeImpl*>;

/// Where a DAG node hangs: its parent (null for the world) and its position
/// among that parent's children.
struct DagLink {
  std::shared_ptr<NodeImpl> parent;
  size_t position = std::numeric_limits<size_t>::max();
};

/// The DAG hierarchy of the scene. The links live on the nodes
/// (NodeImpl::dagParents and dagChildren, a null parent meaning the world);
/// this keeps the world's children and the operations that keep both ends of
/// a link in step. Only nodes in the graph are linked. A node under several
/// parents is instanced: it has one path, and one instance number, per way
/// down from the world.
class Dag {
 public:
  static constexpr size_t kEnd = std::numeric_limits<size_t>::max();

  /// Links child under parent (null: the world), at childPosition among the
  /// parent's children and parentPosition among the child's parents (both
  /// clamped to the end).
  void link(NodeImpl* parent, NodeImpl& child, size_t childPosition = kEnd, size_t parentPosition = kEnd);
  /// Removes the link; false when there is none.
  bool unlink(NodeImpl* parent, NodeImpl& child);
  /// The children of a node, or of the world for null.
  const std::vector<NodeImpl*>& children(const NodeImpl* parent) const;
  /// The position of child among parent's children, kEnd when not linked.
  size_t childPosition(const NodeImpl* parent, const NodeImpl& child) const;

  /// Every path to a node in instance order: through its parents in order,
  /// each parent's paths in their own order.
  std::vector<DagNodePath> paths(const NodeImpl& node) const;
  /// The index of a path among its last node's paths, -1 when it is none.
  int instanceNumber(const DagNodePath& path) const;
  /// True when ancestor lies above node on some path (a node is not its own ancestor).
  bool isAncestor(const NodeImpl& ancestor, const NodeImpl& node) const;
  /// The node and everything below it, each once, parents before children.
  std::vector<NodeImpl*> subtree(NodeImpl& node) const;
  /// The DAG nodes in depth-first order from the world, each once.
  std::vector<NodeImpl*> depthFirst() const;
  /// "|a|b|c".
  static std::string fullPathName(const DagNodePath& path);

  void clear() { m_world.clear(); }

 private:
  std::vector<NodeImpl*> m_world;
};

}  // namespace zovhost
