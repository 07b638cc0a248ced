#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "engine/BoxTree.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::GeometryRandom;

namespace {

/// Piece boxes and tags that a cluster tree is built over.
struct Pieces {
  std::vector<ZOVbox> boxes;
  std::vector<std::int32_t> tags;
};

Pieces randomPieces(std::uint32_t n, unsigned seed) {
  GeometryRandom random(seed);
  Pieces pieces;
  for (std::uint32_t i = 0; i < n; ++i) pieces.boxes.push_back(random.box(10.0, 0.1, 1.0));
  pieces.tags.assign(n, 0);
  return pieces;
}

void fill(BoxTree& tree, Pieces& pieces) {
  for (std::size_t i = 0; i < pieces.boxes.size(); ++i) ASSERT_TRUE(tree.appendItem(&pieces.boxes[i], &pieces.tags[i]));
}

/// Pre-order over the nodes, the first child before the second (recursive,
/// independent of the tree's own walks).
void preorder(BoxTreeNode* node, const std::function<void(BoxTreeNode&)>& visit) {
  if (node == nullptr) return;
  visit(*node);
  preorder(node->firstChild.get(), visit);
  preorder(node->secondChild.get(), visit);
}

/// The item boxes below a node.
std::vector<const ZOVbox*> itemsBelow(BoxTreeNode& node) {
  std::vector<const ZOVbox*> items;
  preorder(&node, [&](BoxTreeNode& n) {
    for (auto* link = n.items.getFirst(); link != nullptr; link = link->next) items.push_back(link->value->box);
  });
  return items;
}

bool boxHolds(const ZOVbox& box, const MgcVector3& p) {
  for (int k = 0; k < 3; ++k) {
    const double offset = std::fabs((p - box.center).Dot(box.axes.GetColumn(k)));
    if (offset > box.extents[k] + 1e-9 * (1.0 + box.extents[k])) return false;
  }
  return true;
}

TEST(BoxTree, EveryBoxLandsInExactlyOneSmallLeaf) {
  for (const std::uint32_t n : {1u, 4u, 5u, 17u, 300u}) {
    Pieces pieces = randomPieces(n, 100u + n);
    BoxTree tree;
    fill(tree, pieces);
    ASSERT_TRUE(tree.build()) << n;

    std::multiset<const ZOVbox*> seen;
    std::uint32_t leaves = 0, depth = 0;
    std::set<std::uint32_t> ids;
    std::vector<std::uint32_t> idOrder;
    preorder(tree.getRoot(), [&](BoxTreeNode& node) {
      ids.insert(node.nodeId);
      idOrder.push_back(node.nodeId);
      EXPECT_EQ(node.firstChild == nullptr, node.secondChild == nullptr);
      if (node.firstChild != nullptr) {
        EXPECT_EQ(node.itemCount, 0u);
        EXPECT_EQ(node.firstChild->level, node.level + 1);
        return;
      }
      ASSERT_TRUE(node.isLeaf());
      EXPECT_LT(node.itemCount, BoxTree::kClusterLeafItems);  // random centres always separate
      EXPECT_EQ(node.items.getCount(), node.itemCount);
      ++leaves;
      depth = std::max(depth, node.level + 1);
      for (auto* link = node.items.getFirst(); link != nullptr; link = link->next) seen.insert(link->value->box);
    });
    EXPECT_EQ(seen.size(), n);
    for (const ZOVbox& box : pieces.boxes) EXPECT_EQ(seen.count(&box), 1u);
    EXPECT_EQ(tree.getLeafCount(), leaves);
    EXPECT_EQ(tree.getDepth(), depth);
    EXPECT_EQ(tree.getNodeTableSize(), leaves);
    // Ids number the nodes in the order the build made them: pre-order.
    for (std::uint32_t i = 0; i < idOrder.size(); ++i) EXPECT_EQ(idOrder[i], i);
  }
}

TEST(BoxTree, EveryNodeBoxHoldsTheCentresOfTheItemsBelowIt) {
  Pieces pieces = randomPieces(300, 7u);
  BoxTree tree;
  fill(tree, pieces);
  ASSERT_TRUE(tree.build());
  std::uint32_t inner = 0;
  preorder(tree.getRoot(), [&](BoxTreeNode& node) {
    const ZOVbox& box = *node.nodeBox.getBox();
    EXPECT_NEAR(node.nodeRadius, box.extents.Length(), 1e-12);
    for (const ZOVbox* item : itemsBelow(node)) EXPECT_TRUE(boxHolds(box, item->center));
    if (node.firstChild == nullptr) return;
    ++inner;
    // The children's boxes are fitted to subsets of the parent's centres:
    // their centres lie inside the parent's box.
    EXPECT_TRUE(boxHolds(box, node.firstChild->nodeBox.getBox()->center));
    EXPECT_TRUE(boxHolds(box, node.secondChild->nodeBox.getBox()->center));
  });
  EXPECT_GT(inner, 50u);
}

TEST(BoxTree, ReadOutsListLeavesAndLevelsFirstSubtreeFirst) {
  Pieces pieces = randomPieces(120, 9u);
  BoxTree tree;
  fill(tree, pieces);
  ASSERT_TRUE(tree.build());
  tree.transform(MgcVector3::ZERO, MgcMatrix3::IDENTITY, {1, 1, 1});

  std::vector<BVbox*> leaves;
  preorder(tree.getRoot(), [&](BoxTreeNode& node) {
    if (node.isLeaf()) leaves.push_back(&node.worldBox);
  });
  BVbox** table = collectTreeLeaves(&tree);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(leaves.size(), tree.getLeafCount());
  EXPECT_EQ(std::vector<BVbox*>(table, table + leaves.size()), leaves);

  for (std::uint32_t level = 0; level <= tree.getDepth(); ++level) {
    std::vector<BVbox*> expected;
    std::function<void(BoxTreeNode&)> visit = [&](BoxTreeNode& node) {
      if (node.level == level || (node.isLeaf() && node.level < level)) {
        expected.push_back(&node.worldBox);
        return;
      }
      if (node.firstChild != nullptr) visit(*node.firstChild);
      if (node.secondChild != nullptr) visit(*node.secondChild);
    };
    visit(*tree.getRoot());
    std::uint32_t count = 999;
    ASSERT_EQ(collectTreeLevel(&tree, level, &count), table);
    ASSERT_EQ(count, expected.size()) << level;
    EXPECT_EQ(std::vector<BVbox*>(table, table + count), expected) << level;
  }
  // Level 0 is the root alone; a level at the depth lists every leaf.
  std::uint32_t count = 0;
  collectTreeLevel(&tree, 0, &count);
  EXPECT_EQ(count, 1u);
  collectTreeLevel(&tree, tree.getDepth(), &count);
  EXPECT_EQ(count, tree.getLeafCount());

  BoxTree empty;
  count = 42;
  EXPECT_EQ(collectTreeLeaves(&empty), nullptr);
  EXPECT_EQ(collectTreeLevel(&empty, 1, &count), nullptr);
  EXPECT_EQ(count, 42u);
}

TEST(BoxTree, TransformPlacesEveryNodeBoxAndScalesItsRadius) {
  Pieces pieces = randomPieces(60, 13u);
  BoxTree tree;
  fill(tree, pieces);
  ASSERT_TRUE(tree.build());
  GeometryRandom random(2u);
  const MgcVector3 t = random.vector(-3, 3), s(1, 2, 3);
  const MgcMatrix3 R = random.rotation();
  tree.transform(t, R, s);
  std::uint32_t nodes = 0;
  preorder(tree.getRoot(), [&](BoxTreeNode& node) {
    ++nodes;
    EXPECT_NEAR(node.worldRadius, 3.0 * node.nodeRadius, 1e-12);
    const ZOVbox& local = *node.nodeBox.getBox();
    const ZOVbox& world = *node.worldBox.getBox();
    const MgcVector3 c = local.center;
    EXPECT_LT(((R * MgcVector3(c.x, 2 * c.y, 3 * c.z) + t) - world.center).Length(), 1e-12);
  });
  EXPECT_GT(nodes, 1u);
}

TEST(BoxTree, LabelsFollowTheThresholdLevel) {
  Pieces pieces = randomPieces(200, 21u);
  BoxTree tree;
  fill(tree, pieces);
  ASSERT_TRUE(tree.build());
  BoxTreeNode& root = *tree.getRoot();
  ASSERT_NE(root.firstChild, nullptr);

  auto labelsBelow = [&](BoxTreeNode& node) {
    std::set<std::int32_t> labels;
    for (const ZOVbox* box : itemsBelow(node))
      labels.insert(pieces.tags[static_cast<std::size_t>(box - pieces.boxes.data())]);
    return labels;
  };

  tree.labelLeaves(0);
  EXPECT_EQ(labelsBelow(root), std::set<std::int32_t>{1});
  tree.labelLeaves(1);
  EXPECT_EQ(labelsBelow(*root.firstChild), std::set<std::int32_t>{2});
  EXPECT_EQ(labelsBelow(*root.secondChild), std::set<std::int32_t>{3});

  // From the depth on, every leaf is a cluster of its own.
  tree.labelLeaves(tree.getDepth());
  std::set<std::int32_t> all;
  preorder(&root, [&](BoxTreeNode& node) {
    if (!node.isLeaf()) return;
    const std::set<std::int32_t> labels = labelsBelow(node);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_TRUE(all.insert(*labels.begin()).second);
  });
  EXPECT_EQ(all.size(), tree.getLeafCount());
}

TEST(BoxTree, SmallOrInseparableSetsStayOneLeaf) {
  struct Case {
    const char* what;
    std::vector<MgcVector3> centres;
  };
  const Case cases[] = {
      {"four pieces", {{0, 0, 0}, {5, 0, 0}, {0, 5, 0}, {0, 0, 5}}},
      {"ten pieces at one point", std::vector<MgcVector3>(10, MgcVector3(1, 2, 3))},
      {"ten pieces within the band",
       {{0, 0, 0},
        {2e-6, 0, 0},
        {0, 2e-6, 0},
        {0, 0, 2e-6},
        {1e-6, 1e-6, 0},
        {0, 0, 0},
        {2e-6, 2e-6, 2e-6},
        {0, 1e-6, 1e-6},
        {1e-6, 0, 1e-6},
        {0, 0, 0}}},
  };
  for (const Case& c : cases) {
    Pieces pieces;
    for (const MgcVector3& centre : c.centres) pieces.boxes.push_back(ZOVbox{centre, MgcMatrix3::IDENTITY, {1, 1, 1}});
    pieces.tags.assign(c.centres.size(), 7);
    BoxTree tree;
    fill(tree, pieces);
    ASSERT_TRUE(tree.build()) << c.what;
    const BoxTreeNode& root = *tree.getRoot();
    EXPECT_TRUE(root.isLeaf()) << c.what;
    EXPECT_EQ(root.nodeId, 0u);
    EXPECT_EQ(root.level, 0u);
    EXPECT_EQ(tree.getDepth(), 1u);
    EXPECT_EQ(tree.getLeafCount(), 1u);
    tree.labelLeaves(5);
    for (const std::int32_t tag : pieces.tags) EXPECT_EQ(tag, 1) << c.what;
  }
  BoxTree empty;
  EXPECT_FALSE(empty.build());
  EXPECT_EQ(empty.getRoot(), nullptr);
  EXPECT_FALSE(empty.appendItem(nullptr, nullptr));
}

TEST(BoxTree, SplitPlaneNeedsEntriesClearlyBeyondTheBandOnBothSides) {
  // Points along the box's third axis (z) at the given offsets from their mean.
  struct Case {
    std::vector<double> offsets;
    bool separates;
  };
  const Case cases[] = {
      {{-3.0, -1.0, 1.5, 2.5}, true},               // p = 2.5 > 1 and n = -3 < -1
      {{-0.5, -0.5, 1.0}, true},                    // p not above 1, but 0.5 / 1.0 > 1e-5
      {{-1e-6, 2e-6, -1e-6}, false},                // all inside the band
      {{-5e-6, -5e-6, -5e-6, -5e-6, 2e-5}, false},  // nothing beyond the band below
      {{-1e-4, -1e-4, 2e-4}, true},                 // small, but balanced
      {{-100.0, 0.0, 100.0}, true},
  };
  ZOVbox box{{0, 0, 0}, MgcMatrix3::IDENTITY, {1, 1, 1}};
  for (const Case& c : cases) {
    double mean = 0.0;
    for (const double d : c.offsets) mean += d / static_cast<double>(c.offsets.size());
    std::vector<MgcVector3> points;
    for (const double d : c.offsets) points.emplace_back(0.0, 0.0, d - mean + 4.0);
    MgcVector3 axis, planePoint;
    const bool found = findSplitPlane(box, points.data(), static_cast<std::uint32_t>(points.size()), axis, planePoint);
    EXPECT_EQ(found, c.separates) << c.offsets.front();
    if (found) {
      EXPECT_EQ(axis, MgcVector3::UNIT_Z);
      EXPECT_NEAR(planePoint.z, 4.0, 1e-12);
    }
  }
}

}  // namespace
