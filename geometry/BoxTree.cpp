#include "geometry/BoxTree.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "geometry/BoxFits.h"
#include "geometry/VolumeMath.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Distances at which both sides of a split plane count as clearly occupied.
constexpr double kWideSplit = 1.0;

/// Frees a subtree by rotating it into a chain of second children, so that
/// no node is deleted while it still has a child: the depth of the tree
/// costs no stack.
void destroySubtree(std::unique_ptr<BoxTreeNode> node) {
  while (node != nullptr) {
    if (node->firstChild != nullptr) {
      std::unique_ptr<BoxTreeNode> first = std::move(node->firstChild);
      node->firstChild = std::move(first->secondChild);
      first->secondChild = std::move(node);
      node = std::move(first);
    } else {
      node = std::move(node->secondChild);
    }
  }
}

/// Visits the subtree from `root` in pre-order, the first child before the
/// second. `visit(node)` returns whether to descend into its children.
template <class Visit>
void walk(BoxTreeNode* root, Visit visit) {
  std::vector<BoxTreeNode*> pending;
  if (root != nullptr) pending.push_back(root);
  while (!pending.empty()) {
    BoxTreeNode* node = pending.back();
    pending.pop_back();
    if (!visit(*node)) continue;
    if (node->secondChild != nullptr) pending.push_back(node->secondChild.get());
    if (node->firstChild != nullptr) pending.push_back(node->firstChild.get());
  }
}

/// A new node, null when it cannot be allocated.
std::unique_ptr<BoxTreeNode> newNode() {
  try {
    return std::unique_ptr<BoxTreeNode>(new BoxTreeNode);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

/// The items of a cluster build and their box centres, side by side. Each
/// node of the tree owns one range of them; splitting a node rearranges its
/// range into its first child's range followed by its second's.
struct ClusterEntries {
  std::vector<ClusterItem*> items;
  std::vector<MgcVector3> centres;
  /// Scratch of one split, as large as the arrays.
  std::vector<ClusterItem*> splitItems;
  std::vector<MgcVector3> splitCentres;
};

/// A node of the cluster build and the range of the entries it holds.
struct PendingNode {
  BoxTreeNode* node;
  std::size_t begin;
  std::size_t end;
};

/// Splits one node of the cluster tree: fits its box to the centres of its
/// entries and, when it has enough of them and a plane separates them, makes
/// two children and divides its range between them. Each child's entries
/// come in the reverse order of the parent's, as items appended one by one to
/// a list would. Writes the children's ranges to `first` and `second`. False
/// only for a node without entries or without a box record.
bool splitClusterNode(const PendingNode& pending, ClusterEntries& entries, PendingNode& first, PendingNode& second) {
  BoxTreeNode& node = *pending.node;
  const auto count = static_cast<std::uint32_t>(pending.end - pending.begin);
  if (count == 0) return false;
  const MgcVector3* centres = entries.centres.data() + pending.begin;
  ZOVbox fitted;
  fitOrientedBox(fitted, count, centres);
  if (!node.nodeBox.init(fitted)) return false;
  node.nodeRadius = fitted.extents.Length();
  if (count < BoxTree::kClusterLeafItems) return true;

  MgcVector3 axis, planePoint;
  if (!findSplitPlane(fitted, centres, count, axis, planePoint)) return true;

  std::unique_ptr<BoxTreeNode> firstChild = newNode();
  std::unique_ptr<BoxTreeNode> secondChild = firstChild != nullptr ? newNode() : nullptr;
  if (secondChild == nullptr) return true;  // no room for children: the node stays a leaf

  // The first side fills the scratch from its front, the second from its
  // back, each walking the range backwards; the second side then turns round.
  std::size_t numFirst = 0;
  std::size_t secondFront = count;
  for (std::size_t i = pending.end; i-- > pending.begin;) {
    const bool below = (entries.centres[i] - planePoint).Dot(axis) < -zov::kTolerance;
    const std::size_t to = below ? numFirst++ : --secondFront;
    entries.splitItems[to] = entries.items[i];
    entries.splitCentres[to] = entries.centres[i];
  }
  std::reverse(entries.splitItems.begin() + static_cast<std::ptrdiff_t>(numFirst), entries.splitItems.begin() + count);
  std::reverse(entries.splitCentres.begin() + static_cast<std::ptrdiff_t>(numFirst),
               entries.splitCentres.begin() + count);
  std::copy(entries.splitItems.begin(), entries.splitItems.begin() + count,
            entries.items.begin() + static_cast<std::ptrdiff_t>(pending.begin));
  std::copy(entries.splitCentres.begin(), entries.splitCentres.begin() + count,
            entries.centres.begin() + static_cast<std::ptrdiff_t>(pending.begin));

  firstChild->itemCount = static_cast<std::uint32_t>(numFirst);
  secondChild->itemCount = count - static_cast<std::uint32_t>(numFirst);
  firstChild->level = secondChild->level = node.level + 1;
  node.itemCount = 0;
  first = {firstChild.get(), pending.begin, pending.begin + numFirst};
  second = {secondChild.get(), pending.begin + numFirst, pending.end};
  node.firstChild = std::move(firstChild);
  node.secondChild = std::move(secondChild);
  return true;
}

/// Gives a leaf its items, in the order of its range. False when the list
/// cannot make room for all of them.
bool fillLeafItems(const PendingNode& leaf, const ClusterEntries& entries) {
  EngineList<ClusterItem*>& items = leaf.node->items;
  // Appending puts an item first, so the range goes in back to front.
  for (std::size_t i = leaf.end; i-- > leaf.begin;) items.append(entries.items[i]);
  return items.getCount() == leaf.end - leaf.begin;
}

}  // namespace

Binary_Node<BVbox>::~Binary_Node() {
  destroySubtree(std::move(firstChild));
  destroySubtree(std::move(secondChild));
}

Binary_Tree<BVbox>::~Binary_Tree() {
  destroySubtree(std::move(root_));
  for (auto* link = items_.getFirst(); link != nullptr; link = link->next) delete link->value;
  items_.clear();
}

bool BoxTree::appendItem(ZOVbox* box, std::int32_t* tag) {
  if (box == nullptr) return false;
  auto* item = new (std::nothrow) ClusterItem{box, tag};
  if (item == nullptr) return false;
  const std::uint32_t before = items_.getCount();
  items_.append(item);
  if (items_.getCount() != before) return true;
  delete item;
  return false;
}

bool BoxTree::removeItem(const ZOVbox* box) {
  ClusterItem* item = nullptr;
  for (auto* link = items_.getFirst(); link != nullptr && item == nullptr; link = link->next)
    if (link->value->box == box) item = link->value;
  if (item == nullptr) return false;
  walk(root_.get(), [item](BoxTreeNode& node) {
    if (node.items.contains(item)) {
      node.items.remove(item);
      if (node.itemCount > 0) --node.itemCount;
    }
    return node.hasChildren();
  });
  items_.remove(item);
  delete item;
  return true;
}

bool BoxTree::build() {
  destroySubtree(std::move(root_));
  nodeTable_.reset();
  nodeTableSize_ = 0;
  leafCount_ = 0;
  depth_ = 0;
  if (items_.getCount() == 0) return false;

  ClusterEntries entries;
  try {
    const std::size_t n = items_.getCount();
    entries.items.reserve(n);
    entries.centres.reserve(n);
    for (auto* link = items_.getFirst(); link != nullptr; link = link->next) {
      entries.items.push_back(link->value);
      entries.centres.push_back(link->value->box->center);
    }
    entries.splitItems.resize(n);
    entries.splitCentres.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  root_ = newNode();
  if (root_ == nullptr) return false;
  root_->itemCount = items_.getCount();

  // Pre-order with an explicit stack, so that ids follow the order of
  // creation: a node's first child, that child's subtree, then its second.
  std::uint32_t nextId = 1;
  std::vector<PendingNode> pending{{root_.get(), 0, entries.items.size()}};
  while (!pending.empty()) {
    const PendingNode current = pending.back();
    pending.pop_back();
    BoxTreeNode* node = current.node;
    if (node != root_.get()) node->nodeId = nextId++;
    PendingNode first{}, second{};
    if (!splitClusterNode(current, entries, first, second) ||
        (!node->hasChildren() && !fillLeafItems(current, entries))) {
      root_.reset();
      return false;
    }
    if (node->hasChildren()) {
      pending.push_back(second);
      pending.push_back(first);
    }
  }
  finishBuild();
  return true;
}

void BoxTree::finishBuild() {
  computeDepth();
  countLeaves();
  nodeTable_.reset();
  nodeTableSize_ = 0;
  if (leafCount_ == 0) return;
  // A table that cannot be allocated stays null; the read-outs then answer null.
  nodeTable_.reset(new (std::nothrow) BVbox*[leafCount_]());
  if (nodeTable_ != nullptr) nodeTableSize_ = leafCount_;
}

void BoxTree::countLeaves() {
  if (root_ == nullptr) return;
  std::uint32_t leaves = 0;
  walk(root_.get(), [&](BoxTreeNode& node) {
    if (node.isLeaf()) ++leaves;
    return node.hasChildren();
  });
  leafCount_ = leaves;
}

void BoxTree::computeDepth() {
  if (root_ == nullptr) return;
  std::uint32_t depth = 0;
  walk(root_.get(), [&](BoxTreeNode& node) {
    if (node.isLeaf()) depth = std::max(depth, node.level + 1);
    return node.hasChildren();
  });
  depth_ = depth;
}

void BoxTree::transform(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  const double radiusScale = zov::largestScale(s);
  walk(root_.get(), [&](BoxTreeNode& node) {
    node.nodeBox.transformSRT(t, R, s, node.worldBox);
    node.worldRadius = node.nodeRadius * radiusScale;
    return node.hasChildren();
  });
}

void BoxTree::labelLeaves(std::uint32_t threshold) {
  if (root_ == nullptr) return;
  // Recursively: a leaf writes the label; a node at or below the threshold
  // gives both subtrees the label it has; a node above it doubles the label,
  // labels its first subtree (which may raise it), increments it and labels
  // its second. Subtrees at or below the threshold never change the label, so
  // one variable carried along the pre-order walk does the same.
  struct Step {
    BoxTreeNode* node;
    bool incrementFirst;
  };
  std::uint32_t label = 1;
  std::vector<Step> pending{{root_.get(), false}};
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    if (step.incrementFirst) ++label;
    BoxTreeNode& node = *step.node;
    if (!node.hasChildren()) {
      for (auto* link = node.items.getFirst(); link != nullptr; link = link->next)
        if (link->value->tag != nullptr) *link->value->tag = static_cast<std::int32_t>(label);
      continue;
    }
    const bool splitsCluster = node.level < threshold;
    if (splitsCluster) label *= 2;
    if (node.secondChild != nullptr) pending.push_back({node.secondChild.get(), splitsCluster});
    if (node.firstChild != nullptr) pending.push_back({node.firstChild.get(), false});
  }
}

bool findSplitPlane(const ZOVbox& box, const MgcVector3* points, std::uint32_t count, MgcVector3& axis,
                    MgcVector3& planePoint) {
  if (points == nullptr || count == 0) return false;
  for (int k = 0; k < 3; ++k) {
    const MgcVector3 a = box.axes.GetColumn(2 - k);
    double meanOffset = 0.0;
    for (std::uint32_t i = 0; i < count; ++i) meanOffset += (points[i] - box.center).Dot(a);
    const MgcVector3 m = box.center + a * (meanOffset / count);

    double below = 0.0, above = 0.0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const double d = (points[i] - m).Dot(a);
      if (d < -zov::kTolerance) below = std::min(below, d);
      if (d > zov::kTolerance) above = std::max(above, d);
    }
    const double larger = std::max(-below, above);
    const bool wide = above > kWideSplit && below < -kWideSplit;
    const bool balanced = larger > 0.0 && std::min(-below, above) / larger > zov::kTolerance;
    if (wide || balanced) {
      axis = a;
      planePoint = m;
      return true;
    }
  }
  return false;
}

BVbox** collectTreeLeaves(BoxTree* tree) {
  if (tree == nullptr || tree->getRoot() == nullptr) return nullptr;
  BVbox** table = tree->getNodeTable();
  if (table == nullptr) return nullptr;
  const std::uint32_t size = tree->getNodeTableSize();
  std::uint32_t written = 0;
  walk(tree->getRoot(), [&](BoxTreeNode& node) {
    if (node.isLeaf() && written < size) table[written++] = &node.worldBox;
    return node.hasChildren();
  });
  return table;
}

BVbox** collectTreeLevel(BoxTree* tree, std::uint32_t level, std::uint32_t* count) {
  if (tree == nullptr || tree->getRoot() == nullptr) return nullptr;
  BVbox** table = tree->getNodeTable();
  const std::uint32_t size = table != nullptr ? tree->getNodeTableSize() : 0;
  std::uint32_t written = 0;
  walk(tree->getRoot(), [&](BoxTreeNode& node) {
    const bool taken = node.level == level || (node.isLeaf() && node.level < level);
    if (!taken) return node.hasChildren();
    if (written < size) table[written++] = &node.worldBox;
    return false;
  });
  if (count != nullptr) *count = written;
  return table;
}
