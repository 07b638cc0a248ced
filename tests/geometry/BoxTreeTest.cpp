#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "geometry/BoxTree.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// The piece boxes and tags a cluster tree is built over, and the tree.
struct Cluster {
  std::vector<ZOVbox> boxes;
  std::vector<std::int32_t> tags;
  BoxTree tree;

  explicit Cluster(const std::vector<MgcVector3>& centres) : tags(centres.size(), 0) {
    for (const MgcVector3& c : centres) boxes.push_back(ZOVbox{c, MgcMatrix3::IDENTITY, {0.5, 0.5, 0.5}});
    for (std::size_t i = 0; i < boxes.size(); ++i) tree.appendItem(&boxes[i], &tags[i]);
  }
  /// The tags of the items below a node.
  std::set<std::int32_t> tagsBelow(BoxTreeNode& node);
};

std::vector<MgcVector3> randomCentres(std::uint32_t n, unsigned seed) {
  zovtest::Random random(seed);
  std::vector<MgcVector3> centres;
  for (std::uint32_t i = 0; i < n; ++i) centres.push_back(random.vector(-10, 10));
  return centres;
}

/// Pre-order over the nodes, the first child before the second (recursive,
/// independent of the tree's own walks).
void preorder(BoxTreeNode* node, const std::function<void(BoxTreeNode&)>& visit) {
  if (node == nullptr) return;
  visit(*node);
  preorder(node->firstChild.get(), visit);
  preorder(node->secondChild.get(), visit);
}

std::vector<const ZOVbox*> itemsBelow(BoxTreeNode& node) {
  std::vector<const ZOVbox*> items;
  preorder(&node, [&](BoxTreeNode& n) {
    for (auto* link = n.items.getFirst(); link != nullptr; link = link->next) items.push_back(link->value->box);
  });
  return items;
}

std::set<std::int32_t> Cluster::tagsBelow(BoxTreeNode& node) {
  std::set<std::int32_t> labels;
  for (const ZOVbox* box : itemsBelow(node)) labels.insert(tags[static_cast<std::size_t>(box - boxes.data())]);
  return labels;
}

bool boxHolds(const ZOVbox& box, const MgcVector3& p) {
  for (int k = 0; k < 3; ++k)
    if (std::fabs((p - box.center).Dot(box.axes.GetColumn(k))) > box.extents[k] + 1e-9) return false;
  return true;
}

TEST(BoxTree, EveryBoxLandsInExactlyOneSmallLeafAndNodeBoxesHoldTheirItems) {
  for (const std::uint32_t n : {1u, 5u, 17u, 300u}) {
    Cluster cluster(randomCentres(n, 100u + n));
    ASSERT_TRUE(cluster.tree.build()) << n;
    std::multiset<const ZOVbox*> seen;
    std::uint32_t leaves = 0, depth = 0, visited = 0;
    preorder(cluster.tree.getRoot(), [&](BoxTreeNode& node) {
      EXPECT_EQ(node.nodeId, visited++);  // ids follow the order of creation: pre-order
      const ZOVbox& box = *node.nodeBox.getBox();
      for (const ZOVbox* item : itemsBelow(node)) EXPECT_TRUE(boxHolds(box, item->center));
      EXPECT_EQ(node.firstChild == nullptr, node.secondChild == nullptr);
      if (node.firstChild != nullptr) {
        EXPECT_EQ(node.itemCount, 0u);
        EXPECT_EQ(node.secondChild->level, node.level + 1);
        return;
      }
      ASSERT_TRUE(node.isLeaf());
      EXPECT_LT(node.itemCount, BoxTree::kClusterLeafItems);  // random centres always separate
      ++leaves;
      depth = std::max(depth, node.level + 1);
      for (auto* link = node.items.getFirst(); link != nullptr; link = link->next) seen.insert(link->value->box);
    });
    EXPECT_EQ(seen.size(), n);
    for (const ZOVbox& box : cluster.boxes) EXPECT_EQ(seen.count(&box), 1u);
    EXPECT_EQ(cluster.tree.getLeafCount(), leaves);
    EXPECT_EQ(cluster.tree.getDepth(), depth);
    EXPECT_EQ(cluster.tree.getNodeTableSize(), leaves);
  }
}

TEST(BoxTree, TransformAndReadOutsListLeavesAndLevelsFirstSubtreeFirst) {
  Cluster cluster(randomCentres(120, 9u));
  BoxTree& tree = cluster.tree;
  ASSERT_TRUE(tree.build());
  zovtest::Random random(2u);
  const MgcVector3 t = random.vector(-3, 3);
  const MgcMatrix3 R = random.rotation();
  tree.transform(t, R, {1, 2, 3});

  std::vector<BVbox*> leaves;
  preorder(tree.getRoot(), [&](BoxTreeNode& node) {
    EXPECT_NEAR(node.worldRadius, 3.0 * node.nodeRadius, 1e-12);
    const MgcVector3 c = node.nodeBox.getCenter();
    EXPECT_LT((R * MgcVector3(c.x, 2 * c.y, 3 * c.z) + t - node.worldBox.getCenter()).Length(), 1e-12);
    if (node.isLeaf()) leaves.push_back(&node.worldBox);
  });
  BVbox** table = collectTreeLeaves(&tree);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(leaves.size(), tree.getLeafCount());
  EXPECT_EQ(std::vector<BVbox*>(table, table + leaves.size()), leaves);

  for (std::uint32_t level = 0; level <= tree.getDepth(); ++level) {
    std::vector<BVbox*> expected;
    std::function<void(BoxTreeNode&)> visit = [&](BoxTreeNode& node) {
      if (node.level == level || (node.isLeaf() && node.level < level)) return expected.push_back(&node.worldBox);
      if (node.firstChild != nullptr) visit(*node.firstChild);
      if (node.secondChild != nullptr) visit(*node.secondChild);
    };
    visit(*tree.getRoot());
    std::uint32_t count = 999;
    ASSERT_EQ(collectTreeLevel(&tree, level, &count), table);
    EXPECT_EQ(std::vector<BVbox*>(table, table + count), expected) << level;
  }
  std::uint32_t count = 0;
  collectTreeLevel(&tree, 0, &count);
  EXPECT_EQ(count, 1u);  // the root alone

  BoxTree empty;
  count = 42;
  EXPECT_EQ(collectTreeLeaves(&empty), nullptr);
  EXPECT_EQ(collectTreeLevel(&empty, 1, &count), nullptr);
  EXPECT_EQ(count, 42u);
}

TEST(BoxTree, LabelsFollowTheThresholdLevel) {
  Cluster cluster(randomCentres(200, 21u));
  ASSERT_TRUE(cluster.tree.build());
  BoxTreeNode& root = *cluster.tree.getRoot();
  cluster.tree.labelLeaves(0);
  EXPECT_EQ(cluster.tagsBelow(root), std::set<std::int32_t>{1});
  cluster.tree.labelLeaves(1);
  EXPECT_EQ(cluster.tagsBelow(*root.firstChild), std::set<std::int32_t>{2});
  EXPECT_EQ(cluster.tagsBelow(*root.secondChild), std::set<std::int32_t>{3});

  // From the depth on, every leaf is a cluster of its own.
  cluster.tree.labelLeaves(cluster.tree.getDepth());
  std::set<std::int32_t> all;
  preorder(&root, [&](BoxTreeNode& node) {
    if (!node.isLeaf()) return;
    const std::set<std::int32_t> labels = cluster.tagsBelow(node);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_TRUE(all.insert(*labels.begin()).second);
  });
  EXPECT_EQ(all.size(), cluster.tree.getLeafCount());
}

// An item taken out is reached by nothing of the tree, and the others keep
// the labels the tree gave them.
TEST(BoxTree, AnItemTakenOutIsNoLongerReachedAndTheOthersKeepTheirLabels) {
  Cluster cluster(randomCentres(60, 5u));
  ASSERT_TRUE(cluster.tree.build());
  cluster.tree.labelLeaves(3);
  const std::vector<std::int32_t> labels = cluster.tags;
  for (std::size_t gone : {std::size_t{7}, std::size_t{0}, std::size_t{59}}) {
    ASSERT_TRUE(cluster.tree.removeItem(&cluster.boxes[gone]));
    EXPECT_FALSE(cluster.tree.removeItem(&cluster.boxes[gone]));
  }
  EXPECT_EQ(cluster.tree.getItems().getCount(), 57u);
  const std::vector<const ZOVbox*> reached = itemsBelow(*cluster.tree.getRoot());
  EXPECT_EQ(reached.size(), 57u);
  for (std::size_t gone : {std::size_t{7}, std::size_t{0}, std::size_t{59}}) {
    EXPECT_EQ(std::count(reached.begin(), reached.end(), &cluster.boxes[gone]), 0) << gone;
    cluster.tags[gone] = -5;
  }
  cluster.tree.labelLeaves(3);
  for (std::size_t i = 0; i < labels.size(); ++i)
    EXPECT_EQ(cluster.tags[i], i == 0 || i == 7 || i == 59 ? -5 : labels[i]) << i;
}

// A flat grid spread wide along one axis and narrower along another: the
// first plane tried is across the box's third axis, the one of the largest
// spread, so the root's children lie apart along the wide axis and overlap
// along the narrow one.
TEST(BoxTree, RootSplitsFirstAcrossTheWidestSpread) {
  struct Case {
    int wide, narrow;  // axis indices
  };
  const Case cases[] = {{0, 1}, {1, 0}, {1, 2}, {2, 0}, {2, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wide * 10 + c.narrow);
    std::vector<MgcVector3> centres;
    for (int i = -4; i <= 4; ++i)
      for (int j = -2; j <= 2; ++j) {
        MgcVector3 p;
        p[c.wide] = 2.5 * i;
        p[c.narrow] = 1.0 * j;
        centres.push_back(p);
      }
    Cluster cluster(centres);
    ASSERT_TRUE(cluster.tree.build());
    BoxTreeNode& root = *cluster.tree.getRoot();
    ASSERT_NE(root.firstChild, nullptr);
    const auto range = [](BoxTreeNode& node, int axis) {
      double low = HUGE_VAL, high = -HUGE_VAL;
      for (const ZOVbox* item : itemsBelow(node)) {
        low = std::min(low, item->center[axis]);
        high = std::max(high, item->center[axis]);
      }
      return std::pair<double, double>(low, high);
    };
    const auto first = range(*root.firstChild, c.wide), second = range(*root.secondChild, c.wide);
    EXPECT_TRUE(first.second < second.first || second.second < first.first);
    const auto firstNarrow = range(*root.firstChild, c.narrow), secondNarrow = range(*root.secondChild, c.narrow);
    EXPECT_EQ(firstNarrow, std::make_pair(-2.0, 2.0));
    EXPECT_EQ(secondNarrow, std::make_pair(-2.0, 2.0));
  }
}

TEST(BoxTree, SmallOrInseparableSetsStayOneLeaf) {
  const std::vector<MgcVector3> cases[] = {
      {{0, 0, 0}, {5, 0, 0}, {0, 5, 0}, {0, 0, 5}},
      std::vector<MgcVector3>(10, MgcVector3(1, 2, 3)),
      {{0, 0, 0}, {2e-6, 0, 0}, {0, 2e-6, 0}, {0, 0, 2e-6}, {1e-6, 1e-6, 0}, {2e-6, 2e-6, 2e-6}, {0, 1e-6, 1e-6}},
  };
  for (const std::vector<MgcVector3>& centres : cases) {
    Cluster cluster(centres);
    ASSERT_TRUE(cluster.tree.build());
    EXPECT_TRUE(cluster.tree.getRoot()->isLeaf()) << centres.size();
    EXPECT_EQ(cluster.tree.getDepth(), 1u);
    EXPECT_EQ(cluster.tree.getLeafCount(), 1u);
    cluster.tree.labelLeaves(5);
    for (const std::int32_t tag : cluster.tags) EXPECT_EQ(tag, 1);
  }
  BoxTree empty;
  EXPECT_FALSE(empty.build());
  EXPECT_EQ(empty.getRoot(), nullptr);
}

TEST(BoxTree, SplitPlaneNeedsEntriesClearlyBeyondTheBandOnBothSides) {
  // Points along the box's third axis (z), at offsets from their mean.
  struct Case {
    std::vector<double> offsets;
    bool separates;
  };
  const Case cases[] = {
      {{-3.0, -1.0, 1.5, 2.5}, true},               // p = 2.5 > 1 and n = -3 < -1
      {{-0.5, -0.5, 1.0}, true},                    // p not above 1, but 0.5 / 1.0 > 1e-5
      {{-1e-4, -1e-4, 2e-4}, true},                 // small, but balanced
      {{-1e-6, 2e-6, -1e-6}, false},                // all inside the band
      {{-5e-6, -5e-6, -5e-6, -5e-6, 2e-5}, false},  // nothing beyond the band below
  };
  const ZOVbox box{{0, 0, 0}, MgcMatrix3::IDENTITY, {1, 1, 1}};
  for (const Case& c : cases) {
    std::vector<MgcVector3> points;
    for (const double d : c.offsets) points.emplace_back(0.0, 0.0, 4.0 + d);
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
