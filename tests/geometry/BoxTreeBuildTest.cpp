#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "geometry/BoxFits.h"
#include "geometry/BoxTree.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// A node of the reference cluster tree.
struct ReferenceNode {
  std::uint32_t level = 0;
  std::uint32_t id = 0;
  ZOVbox box;
  /// The leaf's items in list order; empty for an inner node.
  std::vector<ClusterItem*> items;
  std::unique_ptr<ReferenceNode> first;
  std::unique_ptr<ReferenceNode> second;
};

// The cluster build done the plain way: every node fits its box to its items'
// centres in list order and, with 5 items or more and a plane that separates
// them, hands each item in list order to the front of one child's list.
std::unique_ptr<ReferenceNode> referenceBuild(std::vector<ClusterItem*> items, std::uint32_t level,
                                              std::uint32_t& nextId) {
  auto node = std::make_unique<ReferenceNode>();
  node->level = level;
  node->id = level == 0 ? 0 : nextId++;
  std::vector<MgcVector3> centres;
  for (const ClusterItem* item : items) centres.push_back(item->box->center);
  const auto count = static_cast<std::uint32_t>(items.size());
  fitOrientedBox(node->box, count, centres.data());
  MgcVector3 axis, planePoint;
  if (count < BoxTree::kClusterLeafItems || !findSplitPlane(node->box, centres.data(), count, axis, planePoint)) {
    node->items = std::move(items);
    return node;
  }
  std::vector<ClusterItem*> first, second;
  for (std::uint32_t i = 0; i < count; ++i)
    ((centres[i] - planePoint).Dot(axis) < -1e-5 ? first : second).push_back(items[i]);
  std::reverse(first.begin(), first.end());
  std::reverse(second.begin(), second.end());
  node->first = referenceBuild(std::move(first), level + 1, nextId);
  node->second = referenceBuild(std::move(second), level + 1, nextId);
  return node;
}

struct Shape {
  std::uint32_t leaves = 0;
  std::uint32_t depth = 0;
};

// Compares the tree below `node` with the reference node by node.
void expectSameShape(const BoxTreeNode& node, const ReferenceNode& reference, Shape& shape) {
  ASSERT_EQ(node.level, reference.level);
  ASSERT_EQ(node.nodeId, reference.id);
  const ZOVbox* box = node.nodeBox.getBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->center, reference.box.center);
  EXPECT_EQ(box->axes, reference.box.axes);
  EXPECT_EQ(box->extents, reference.box.extents);
  EXPECT_EQ(node.nodeRadius, reference.box.extents.Length());
  ASSERT_EQ(node.firstChild == nullptr, reference.first == nullptr);
  ASSERT_EQ(node.secondChild == nullptr, reference.second == nullptr);
  if (reference.first != nullptr) {
    EXPECT_EQ(node.itemCount, 0u);
    EXPECT_EQ(node.items.getCount(), 0u);
    expectSameShape(*node.firstChild, *reference.first, shape);
    expectSameShape(*node.secondChild, *reference.second, shape);
    return;
  }
  ++shape.leaves;
  shape.depth = std::max(shape.depth, node.level + 1);
  EXPECT_EQ(node.itemCount, reference.items.size());
  std::vector<ClusterItem*> items;
  for (auto* link = node.items.getFirst(); link != nullptr; link = link->next) items.push_back(link->value);
  EXPECT_EQ(items, reference.items);
}

struct CloudCase {
  const char* name;
  std::vector<MgcVector3> centres;
};

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
  for (MgcVector3& c : flat) c.z = 1e-6 * c.z;
  const CloudCase cases[] = {
      {"100000 in a long box", uniformCentres(100000, 1)},
      {"40 places, 500 pieces each", repeated},
      {"20000 within the band of a plane", flat},
  };
  for (const CloudCase& cloud : cases) {
    SCOPED_TRACE(cloud.name);
    std::vector<ZOVbox> boxes(cloud.centres.size());
    std::vector<std::int32_t> tags(cloud.centres.size(), 0);
    BoxTree tree;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      boxes[i].center = cloud.centres[i];
      ASSERT_TRUE(tree.appendItem(&boxes[i], &tags[i]));
    }
    ASSERT_TRUE(tree.build());
    std::vector<ClusterItem*> items;
    for (auto* link = tree.getItems().getFirst(); link != nullptr; link = link->next) items.push_back(link->value);
    std::uint32_t nextId = 1;
    const std::unique_ptr<ReferenceNode> reference = referenceBuild(items, 0, nextId);
    Shape shape;
    expectSameShape(*tree.getRoot(), *reference, shape);
    EXPECT_EQ(tree.getLeafCount(), shape.leaves);
    EXPECT_EQ(tree.getDepth(), shape.depth);

    // A rebuild gives the same tree again.
    ASSERT_TRUE(tree.build());
    Shape again;
    expectSameShape(*tree.getRoot(), *reference, again);
  }
}
