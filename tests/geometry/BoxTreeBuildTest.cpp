#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geometry/BoxTree.h"

using Mgc::MgcVector3;

namespace {

/// Walks the built tree beside a build done the plain way, without the
/// code under test. Each node's frame is read from the tree, as the fit is
/// free to orient an axis either way or to pick any axes of equal spread,
/// and checked to be the principal axes of the node's points in ascending
/// order of spread; the box is the points' extent along that frame; a node
/// of 5 items or more is split across the first of its third, second and
/// first axes that separates its points (offsets from their mean beyond
/// 1e-5 on both sides, both beyond 1, or their ratio above 1e-5), each item
/// in list order going to the front of one child's list (the band to the
/// second); ids are handed out in pre-order.
class ReferenceWalk {
 public:
  /// Describes the first difference; empty while the tree agrees.
  std::string difference;
  std::uint32_t leaves = 0;
  std::uint32_t depth = 0;

  void walk(const BoxTreeNode& node, std::vector<ClusterItem*> items, std::uint32_t level) {
    if (!difference.empty()) return;
    const std::string where = "node " + std::to_string(node.nodeId) + " at level " + std::to_string(level) + ": ";
    const std::uint32_t id = level == 0 ? 0 : nextId_++;
    if (node.level != level || node.nodeId != id) return fail(where + "level or id");
    std::vector<MgcVector3> centres;
    for (const ClusterItem* item : items) centres.push_back(item->box->center);
    const ZOVbox& box = *node.nodeBox.getBox();
    const double size = spread(centres);
    if (!principalAxes(box.axes, centres, size)) return fail(where + "axes are not the principal axes");

    // The extent of the points along the frame.
    MgcVector3 centre, extents;
    for (int k = 0; k < 3; ++k) {
      const MgcVector3 a = box.axes.GetColumn(k);
      double low = HUGE_VAL, high = -HUGE_VAL;
      for (const MgcVector3& c : centres) {
        low = std::min(low, c.Dot(a));
        high = std::max(high, c.Dot(a));
      }
      centre += a * ((low + high) / 2);
      extents[k] = (high - low) / 2;
    }
    const double tolerance = 1e-12 * (1.0 + size);
    if ((centre - box.center).Length() > tolerance || (extents - box.extents).Length() > tolerance)
      return fail(where + "box");

    int side[2] = {0, 0};
    std::vector<double> offsets;
    bool split = false;
    if (items.size() >= BoxTree::kClusterLeafItems) {
      for (int k = 2; k >= 0 && !split; --k) {
        const MgcVector3 a = box.axes.GetColumn(k);
        double mean = 0.0;
        for (const MgcVector3& c : centres) mean += c.Dot(a);
        mean /= static_cast<double>(centres.size());
        offsets.clear();
        double below = 0.0, above = 0.0;
        for (const MgcVector3& c : centres) {
          offsets.push_back(c.Dot(a) - mean);
          if (offsets.back() < -1e-5) below = std::min(below, offsets.back());
          if (offsets.back() > 1e-5) above = std::max(above, offsets.back());
        }
        split = below < 0.0 && above > 0.0 &&
                ((above > 1.0 && below < -1.0) || std::min(-below, above) / std::max(-below, above) > 1e-5);
        side[0] = k;
      }
    }
    if (!split) {
      if (node.firstChild != nullptr || node.secondChild != nullptr) return fail(where + "split, expected a leaf");
      std::vector<ClusterItem*> held;
      for (auto* link = node.items.getFirst(); link != nullptr; link = link->next) held.push_back(link->value);
      if (held != items) return fail(where + "leaf items");
      ++leaves;
      depth = std::max(depth, level + 1);
      return;
    }
    if (node.firstChild == nullptr || node.secondChild == nullptr)
      return fail(where + "a leaf, expected a split across axis " + std::to_string(side[0]));
    std::vector<ClusterItem*> children[2];
    for (std::size_t i = 0; i < items.size(); ++i) children[offsets[i] < -1e-5 ? 0 : 1].push_back(items[i]);
    for (std::vector<ClusterItem*>& child : children) std::reverse(child.begin(), child.end());
    walk(*node.firstChild, std::move(children[0]), level + 1);
    walk(*node.secondChild, std::move(children[1]), level + 1);
  }

 private:
  void fail(const std::string& why) {
    if (difference.empty()) difference = why;
  }

  /// The largest distance of a point from the first.
  static double spread(const std::vector<MgcVector3>& points) {
    double largest = 0.0;
    for (const MgcVector3& p : points) largest = std::max(largest, (p - points[0]).Length());
    return largest;
  }

  /// True when the columns are orthonormal eigenvectors of the points'
  /// covariance with non-decreasing eigenvalues; the residuals allow for
  /// rounding in a fit of the given size.
  static bool principalAxes(const Mgc::MgcMatrix3& axes, const std::vector<MgcVector3>& points, double size) {
    MgcVector3 mean;
    for (const MgcVector3& p : points) mean += p;
    mean = mean / static_cast<double>(points.size());
    double C[3][3] = {};
    for (const MgcVector3& p : points)
      for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) C[r][k] += (p[r] - mean[r]) * (p[k] - mean[k]) / static_cast<double>(points.size());
    const double scale = 1e-9 * (size * size + 1e-12);
    double previous = -HUGE_VAL;
    for (int k = 0; k < 3; ++k) {
      const MgcVector3 a = axes.GetColumn(k);
      if (std::fabs(a.Length() - 1.0) > 1e-9 || std::fabs(a.Dot(axes.GetColumn((k + 1) % 3))) > 1e-9) return false;
      MgcVector3 Ca;
      for (int r = 0; r < 3; ++r) Ca[r] = C[r][0] * a.x + C[r][1] * a.y + C[r][2] * a.z;
      const double lambda = a.Dot(Ca);
      if ((Ca - a * lambda).Length() > scale || lambda < previous - scale) return false;
      previous = lambda;
    }
    return true;
  }

  std::uint32_t nextId_ = 1;
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
    ReferenceWalk reference;
    reference.walk(*tree.getRoot(), items, 0);
    ASSERT_EQ(reference.difference, "");
    EXPECT_EQ(tree.getLeafCount(), reference.leaves);
    EXPECT_EQ(tree.getDepth(), reference.depth);
  }
}
