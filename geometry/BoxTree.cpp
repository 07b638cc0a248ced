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

/// The box centres of the node's items, in list order.
std::vector<MgcVector3> itemCentres(const BoxTreeNode& node) {
  std::vector<MgcVector3> centres;
  centres.reserve(node.items.getCount());
  for (auto* link = node.items.getFirst(); link != nullptr; link = link->next)
    centres.push_back(link->value->box->center);
  return centres;
}

/// Splits one node of the cluster tree: fits its box and, when it has enough
/// items and a plane separates them, hands them to two new children. False
/// only for a node without items or without a box record.
bool splitClusterNode(BoxTreeNode& node) {
  if (node.itemCount == 0) return false;
  const std::vector<MgcVector3> centres = itemCentres(node);
  ZOVbox fitted;
  fitOrientedBox(fitted, static_cast<std::uint32_t>(centres.size()), centres.data());
  if (!node.nodeBox.init(fitted)) return false;
  node.nodeRadius = fitted.extents.Length();
  if (node.itemCount < BoxTree::kClusterLeafItems) return true;

  MgcVector3 axis, planePoint;
  if (!findSplitPlane(fitted, centres.data(), static_cast<std::uint32_t>(centres.size()), axis, planePoint))
    return true;

  std::unique_ptr<BoxTreeNode> first = newNode();
  std::unique_ptr<BoxTreeNode> second = first != nullptr ? newNode() : nullptr;
  if (second == nullptr) return true;  // no room for children: the node stays a leaf
  std::size_t i = 0;
  for (auto* link = node.items.getFirst(); link != nullptr; link = link->next, ++i) {
    BoxTreeNode& side = (centres[i] - planePoint).Dot(axis) < -zov::kTolerance ? *first : *second;
    side.items.append(link->value);
  }
  first->itemCount = first->items.getCount();
  second->itemCount = second->items.getCount();
  // The lists drop an item they cannot make room for: keep the node whole then.
  if (first->itemCount + second->itemCount != node.itemCount) return true;

  node.items.clear();
  node.items.releaseCache();
  node.itemCount = 0;
  first->level = second->level = node.level + 1;
  node.firstChild = std::move(first);
  node.secondChild = std::move(second);
  return true;
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

bool BoxTree::build() {
  destroySubtree(std::move(root_));
  nodeTable_.reset();
  nodeTableSize_ = 0;
  leafCount_ = 0;
  depth_ = 0;
  if (items_.getCount() == 0) return false;

  root_ = newNode();
  if (root_ == nullptr) return false;
  root_->items = items_;
  root_->itemCount = root_->items.getCount();
  if (root_->itemCount != items_.getCount()) {
    root_.reset();
    return false;
  }

  // Pre-order with an explicit stack, so that ids follow the order of
  // creation: a node's first child, that child's subtree, then its second.
  std::uint32_t nextId = 1;
  std::vector<BoxTreeNode*> pending{root_.get()};
  while (!pending.empty()) {
    BoxTreeNode* node = pending.back();
    pending.pop_back();
    if (node != root_.get()) node->nodeId = nextId++;
    if (!splitClusterNode(*node)) {
      root_.reset();
      return false;
    }
    if (node->secondChild != nullptr) pending.push_back(node->secondChild.get());
    if (node->firstChild != nullptr) pending.push_back(node->firstChild.get());
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
