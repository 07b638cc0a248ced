// The bounds table while bodies move: after every move it lists exactly the
// partners a comparison of every pair of boxes finds, whether the move
// stayed in the body's widened box, crossed grid cells, went far off or
// came back, and whatever number of helpers built it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "ContactFixtures.h"
#include "engine/collision/BroadPhase.h"
#include "engine/collision/WorkerPool.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

const MgcVector3 kUp(0.0, 1.0, 0.0);

/// A scene of boxes of many sizes (some much larger than the rest),
/// capsules, two barriers and a phantom, the same for every seed.
struct Scene {
  std::vector<BodyPtr> owned;
  std::vector<HardBody*> bodies;
  std::vector<bool> isBox;

  explicit Scene(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> spread(-6.0, 6.0);
    std::uniform_real_distribution<double> size(0.2, 0.8);
    add(barrier(MgcVector3(0.0, -7.0, 0.0), kUp), false);
    for (int i = 0; i < 160; ++i) {
      const MgcVector3 at(spread(random), spread(random), spread(random));
      if (i % 7 == 3) {
        add(capsuleAlongX(size(random), 0.5 * size(random), at), false);
      } else if (i % 40 == 11) {
        add(hullBox(MgcVector3(4.0, 0.5, 3.0), at), true);
      } else {
        add(hullBox(MgcVector3(size(random), size(random), size(random)), at), true);
      }
    }
    add(phantomBox(MgcVector3(0.5, 0.5, 0.5), MgcVector3()), false);
    add(barrier(MgcVector3(0.0, 0.0, -7.0), MgcVector3(0.0, 0.0, 1.0)), false);
  }
  void add(BodyPtr body, bool box) {
    bodies.push_back(body.get());
    isBox.push_back(box);
    owned.push_back(std::move(body));
  }
};

/// The body's box as the pair tests read it, from its world box alone.
void tightBox(HardBody* body, MgcVector3& lo, MgcVector3& hi) {
  const ZOVbox& box = body->getBbox();
  for (int row = 0; row < 3; ++row) {
    double reach = 0.0;
    for (int col = 0; col < 3; ++col) reach += std::fabs(box.axes[row][col]) * std::fabs(box.extents[col]);
    lo[row] = box.center[row] - reach;
    hi[row] = box.center[row] + reach;
  }
}

/// Every pair of bounded slots against the table's own box test, the lists
/// sorted and symmetric, and every two boxes whose tight boxes overlap
/// listed.
void expectExactPartners(const BroadPhase& table, const Scene& scene) {
  const std::uint32_t n = table.size();
  for (std::uint32_t a = 0; a < n; ++a) {
    const auto& partners = table.neighbours(a);
    ASSERT_TRUE(std::is_sorted(partners.begin(), partners.end())) << a;
    ASSERT_TRUE(std::adjacent_find(partners.begin(), partners.end()) == partners.end()) << a;
    for (std::uint32_t b = 0; b < n; ++b) {
      const bool bounded = !table.isUnbounded(a) && !table.isUnbounded(b) && !table.isInert(a) && !table.isInert(b);
      const bool listed = std::binary_search(partners.begin(), partners.end(), b);
      if (!bounded || a == b) {
        ASSERT_FALSE(listed) << a << " " << b;
        continue;
      }
      ASSERT_EQ(listed, table.mayTouch(a, b)) << a << " " << b;
      if (scene.isBox[a] && scene.isBox[b]) {
        MgcVector3 loA, hiA, loB, hiB;
        tightBox(scene.bodies[a], loA, hiA);
        tightBox(scene.bodies[b], loB, hiB);
        bool overlap = true;
        for (int k = 0; k < 3; ++k) overlap = overlap && loA[k] <= hiB[k] && loB[k] <= hiA[k];
        if (overlap) {
          ASSERT_TRUE(listed) << a << " " << b;
        }
      }
    }
  }
}

TEST(BroadPhase, MovingBodiesKeepExactlyThePartnersEveryPairComparedFinds) {
  WorkerPool pool;
  std::vector<std::vector<std::uint32_t>> reference;
  for (std::uint32_t helpers : {0u, 3u, 7u}) {
    Scene scene(11);
    BroadPhase table;
    table.build(scene.bodies, &pool, helpers);
    expectExactPartners(table, scene);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> pick(1, static_cast<int>(scene.bodies.size()) - 3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int round = 0; round < 40; ++round) {
      for (int m = 0; m < 25; ++m) {
        const auto slot = static_cast<std::uint32_t>(pick(random));
        HardBody* body = scene.bodies[slot];
        const MgcVector3 at = body->getDyn().position;
        // A creep inside the margin, a move across cells, a jump far off
        // (and back from it) and a turn in place.
        const int kind = (round + m) % 4;
        const double reach = kind == 0 ? 0.004 : 1.5;
        MgcVector3 to = at + MgcVector3(unit(random), unit(random), unit(random)) * reach;
        if (kind == 2)
          to = std::fabs(at.x) > 100.0 ? MgcVector3(unit(random), unit(random), unit(random)) * 5.0
                                       : MgcVector3(300.0 * unit(random), 0.0, 0.0);
        if (kind == 3) {
          MgcMatrix3 R;
          R.FromAxisAngle(MgcVector3(0.0, 1.0, 0.0), 0.7 * unit(random));
          body->setOrientation(R);
        } else {
          body->setPosition(to);
        }
        body->updateWorldData();
        table.noteMoved(slot);
      }
      expectExactPartners(table, scene);
    }
    std::vector<std::vector<std::uint32_t>> partners;
    for (std::uint32_t a = 0; a < table.size(); ++a) partners.push_back(table.neighbours(a));
    if (reference.empty()) {
      reference = partners;
    } else {
      EXPECT_EQ(partners, reference) << helpers;
    }
    // A table built afresh where the bodies ended lists the same pairs of
    // overlapping boxes.
    BroadPhase fresh;
    fresh.build(scene.bodies, &pool, helpers);
    expectExactPartners(fresh, scene);
  }
}

}  // namespace
