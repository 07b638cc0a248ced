#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "geometry/BoxFits.h"
#include "geometry/BoxTree.h"

using Mgc::MgcVector3;

namespace {

/// One node of a cluster tree as a pre-order walk meets it.
struct NodeRecord {
  std::uint32_t level;
  std::uint32_t id;
  MgcVector3 center;
  Mgc::MgcMatrix3 axes;
  MgcVector3 extents;
  bool leaf;
  /// A leaf's items in list order.
  std::vector<ClusterItem*> items;

  bool operator==(const NodeRecord& o) const {
    return level == o.level && id == o.id && center == o.center && axes == o.axes && extents == o.extents &&
           leaf == o.leaf && items == o.items;
  }
};

// The cluster build done the plain way, written out in pre-order: every node
// fits its box to its items' centres in list order and, with 5 items or more
// and a plane that separates them, hands each item in list order to the front
// of one child's list.
void referenceBuild(std::vector<ClusterItem*> items, std::uint32_t level, std::uint32_t& nextId,
                    std::vector<NodeRecord>& out) {
  std::vector<MgcVector3> centres;
  for (const ClusterItem* item : items) centres.push_back(item->box->center);
  const auto count = static_cast<std::uint32_t>(items.size());
  ZOVbox box;
  fitOrientedBox(box, count, centres.data());
  MgcVector3 axis, planePoint;
  const bool leaf = count < BoxTree::kClusterLeafItems || !findSplitPlane(box, centres.data(), count, axis, planePoint);
  out.push_back({level, level == 0 ? 0 : nextId++, box.center, box.axes, box.extents, leaf, {}});
  if (leaf) {
    out.back().items = std::move(items);
    return;
  }
  std::vector<ClusterItem*> sides[2];
  for (std::uint32_t i = 0; i < count; ++i)
    sides[(centres[i] - planePoint).Dot(axis) < -1e-5 ? 0 : 1].push_back(items[i]);
  for (std::vector<ClusterItem*>& side : sides) {
    std::reverse(side.begin(), side.end());
    referenceBuild(std::move(side), level + 1, nextId, out);
  }
}

void recordTree(const BoxTreeNode& node, std::vector<NodeRecord>& out) {
  const ZOVbox& box = *node.nodeBox.getBox();
  out.push_back({node.level, node.nodeId, box.center, box.axes, box.extents, node.isLeaf(), {}});
  for (auto* link = node.items.getFirst(); link != nullptr; link = link->next) out.back().items.push_back(link->value);
  if (node.firstChild != nullptr) recordTree(*node.firstChild, out);
  if (node.secondChild != nullptr) recordTree(*node.secondChild, out);
}

std::vector<MgcVector3> uniformCentres(std::uint32_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<MgcVector3> centres;
  for (std::uint32_t i = 0; i < n; ++i) centres.emplace_back(4.0 * uniform(engine), uniform(engine), uniform(engine));
  return centres;
}

}  // namespace

TEST(BoxTreeBuild, LargeTreesHaveTheShapeOfThePlainBuild) {
  std::vector<MgcVector3> repeated;
  for (const MgcVector3& c : uniformCentres(40, 2)) repeated.insert(repeated.end(), 500, c);
  std::shuffle(repeated.begin(), repeated.end(), std::mt19937(3));
  std::vector<MgcVector3> flat = uniformCentres(20000, 4);
  for (MgcVector3& c : flat) c.z *= 1e-6;
  const std::vector<MgcVector3> clouds[] = {uniformCentres(100000, 1), repeated, flat};
  for (const std::vector<MgcVector3>& centres : clouds) {
    SCOPED_TRACE(centres.size());
    std::vector<ZOVbox> boxes(centres.size());
    std::vector<std::int32_t> tags(centres.size(), 0);
    BoxTree tree;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      boxes[i].center = centres[i];
      ASSERT_TRUE(tree.appendItem(&boxes[i], &tags[i]));
    }
    ASSERT_TRUE(tree.build());
    std::vector<ClusterItem*> items;
    for (auto* link = tree.getItems().getFirst(); link != nullptr; link = link->next) items.push_back(link->value);
    std::vector<NodeRecord> expected, actual;
    std::uint32_t nextId = 1;
    referenceBuild(items, 0, nextId, expected);
    recordTree(*tree.getRoot(), actual);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) ASSERT_TRUE(actual[i] == expected[i]) << "node " << i;

    std::uint32_t leaves = 0, depth = 0;
    for (const NodeRecord& node : expected) {
      if (!node.leaf) continue;
      ++leaves;
      depth = std::max(depth, node.level + 1);
    }
    EXPECT_EQ(tree.getLeafCount(), leaves);
    EXPECT_EQ(tree.getDepth(), depth);
  }
}
