#include <maya/MItDependencyGraph.h>

#include "dg/NodeImpl.h"
#include "mathtypes/StatusOut.h"

#include <deque>
#include <set>

using zovhost::setStatus;

namespace {

/// The nodes one step from node, in the order the connections were made.
std::vector<zovhost::NodeImpl*> neighbours(const zovhost::NodeImpl& node, MItDependencyGraph::Direction direction) {
  std::vector<zovhost::NodeImpl*> result;
  if (direction == MItDependencyGraph::kUpstream)
    for (const auto& c : node.incoming) result.push_back(c->source.nodeImpl().get());
  else
    for (const auto& c : node.outgoing) result.push_back(c->destination.nodeImpl().get());
  return result;
}

}  // namespace

MItDependencyGraph::MItDependencyGraph(const MObject& rootNode, MFn::Type filter, Direction direction,
                                       Traversal traversal, Level level, MStatus* status)
    : m_root(rootNode), m_filter(filter), m_direction(direction), m_traversal(traversal) {
  if (level != kNodeLevel || !zovhost::nodeOf(rootNode)) {
    m_root = MObject();
    setStatus(status, MS::kInvalidParameter);
    return;
  }
  setStatus(status, reset());
}

MStatus MItDependencyGraph::reset() {
  m_items.clear();
  m_index = 0;
  const auto root = zovhost::nodeOf(m_root);
  if (!root) return MS::kFailure;
  std::set<const zovhost::NodeImpl*> seen;
  std::vector<zovhost::NodeImpl*> order;
  if (m_traversal == kBreadthFirst) {
    std::deque<zovhost::NodeImpl*> queue{root.get()};
    seen.insert(root.get());
    while (!queue.empty()) {
      zovhost::NodeImpl* node = queue.front();
      queue.pop_front();
      order.push_back(node);
      for (zovhost::NodeImpl* next : neighbours(*node, m_direction))
        if (seen.insert(next).second) queue.push_back(next);
    }
  } else {
    std::vector<zovhost::NodeImpl*> stack{root.get()};
    while (!stack.empty()) {
      zovhost::NodeImpl* node = stack.back();
      stack.pop_back();
      if (!seen.insert(node).second) continue;
      order.push_back(node);
      const auto next = neighbours(*node, m_direction);
      for (auto it = next.rbegin(); it != next.rend(); ++it)
        if (!seen.count(*it)) stack.push_back(*it);
    }
  }
  for (zovhost::NodeImpl* node : order)
    if (m_filter == MFn::kInvalid || node->hasFn(m_filter)) m_items.emplace_back(node->shared_from_this());
  return MS::kSuccess;
}

bool MItDependencyGraph::isDone(MStatus* status) const {
  setStatus(status, m_root.isNull() ? MS::kFailure : MS::kSuccess);
  return m_index >= m_items.size();
}

MStatus MItDependencyGraph::next() {
  if (m_index >= m_items.size()) return MS::kFailure;
  ++m_index;
  return MS::kSuccess;
}

MObject MItDependencyGraph::currentItem(MStatus* status) const {
  const bool valid = m_index < m_items.size();
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid ? m_items[m_index] : MObject();
}

MObject MItDependencyGraph::rootNode(MStatus* status) const {
  setStatus(status, m_root.isNull() ? MS::kFailure : MS::kSuccess);
  return m_root;
}
