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
#include "engine/collision/threads/WorkerPool.h"

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

/// The slot's partners, ascending.
std::vector<std::uint32_t> neighbours(const BroadPhase& table, std::uint32_t slot) {
  std::vector<std::uint32_t> out;
  table.forEachNeighbour(slot, [&](std::uint32_t other) { out.push_back(other); });
  std::sort(out.begin(), out.end());
  return out;
}

/// Every pair of bounded slots against the table's own box test, each
/// partner listed once, and every two boxes whose tight boxes overlap
/// listed.
void expectExactPartners(const BroadPhase& table, const std::vector<HardBody*>& bodies,
                         const std::vector<bool>& isBox) {
  const std::uint32_t n = table.size();
  ASSERT_EQ(n, bodies.size());
  for (std::uint32_t a = 0; a < n; ++a) {
    const std::vector<std::uint32_t> partners = neighbours(table, a);
    ASSERT_TRUE(std::adjacent_find(partners.begin(), partners.end()) == partners.end()) << a;
    for (std::uint32_t b = 0; b < n; ++b) {
      const bool bounded = !table.isUnbounded(a) && !table.isUnbounded(b) && !table.isInert(a) && !table.isInert(b);
      const bool listed = std::binary_search(partners.begin(), partners.end(), b);
      if (!bounded || a == b) {
        ASSERT_FALSE(listed) << a << " " << b;
        continue;
      }
      ASSERT_EQ(listed, table.mayTouch(a, b)) << a << " " << b;
      if (isBox[a] && isBox[b]) {
        MgcVector3 loA, hiA, loB, hiB;
        tightBox(bodies[a], loA, hiA);
        tightBox(bodies[b], loB, hiB);
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
    expectExactPartners(table, scene.bodies, scene.isBox);
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
      expectExactPartners(table, scene.bodies, scene.isBox);
    }
    std::vector<std::vector<std::uint32_t>> partners;
    for (std::uint32_t a = 0; a < table.size(); ++a) partners.push_back(neighbours(table, a));
    if (reference.empty()) {
      reference = partners;
    } else {
      EXPECT_EQ(partners, reference) << helpers;
    }
    // A table built afresh where the bodies ended lists the same pairs of
    // overlapping boxes.
    BroadPhase fresh;
    fresh.build(scene.bodies, &pool, helpers);
    expectExactPartners(fresh, scene.bodies, scene.isBox);
  }
}

// Bodies moved together and noted at once (their boxes made on the helpers)
// leave the table as noting them one by one does: the same partners, in
// the same order, after every round, on any number of helpers.
TEST(BroadPhase, BodiesNotedMovedAtOnceGetThePartnersOfNotingThemOneByOne) {
  WorkerPool pool;
  for (std::uint32_t helpers : {0u, 3u, 7u}) {
    Scene oneByOne(13);
    Scene atOnce(13);
    BroadPhase first;
    BroadPhase second;
    first.build(oneByOne.bodies, &pool, helpers);
    second.build(atOnce.bodies, &pool, helpers);
    std::mt19937 random(9);
    std::uniform_int_distribution<int> pick(1, static_cast<int>(atOnce.bodies.size()) - 3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int round = 0; round < 30; ++round) {
      std::vector<std::uint32_t> slots;
      for (int m = 0; m < 40; ++m) {
        const auto slot = static_cast<std::uint32_t>(pick(random));
        // A creep inside the margin or a move across cells.
        const MgcVector3 step =
            MgcVector3(unit(random), unit(random), unit(random)) * ((round + m) % 2 == 0 ? 0.004 : 1.5);
        if (std::find(slots.begin(), slots.end(), slot) != slots.end()) continue;
        slots.push_back(slot);
        for (Scene* scene : {&oneByOne, &atOnce}) {
          HardBody* body = scene->bodies[slot];
          body->setPosition(body->getDyn().position + step);
          body->updateWorldData();
        }
      }
      for (std::uint32_t slot : slots) first.noteMoved(slot);
      second.noteMovedAll(slots, &pool, helpers);
      for (std::uint32_t a = 0; a < first.size(); ++a) {
        std::vector<std::uint32_t> expected;
        std::vector<std::uint32_t> got;
        first.forEachNeighbour(a, [&](std::uint32_t b) { expected.push_back(b); });
        second.forEachNeighbour(a, [&](std::uint32_t b) { got.push_back(b); });
        ASSERT_EQ(got, expected) << helpers << " " << round << " " << a;
      }
      expectExactPartners(second, atOnce.bodies, atOnce.isBox);
    }
  }
}

// Pass after pass the list changes as the world's lists do: bodies move
// between passes (their world data renewed, the table not told), leave the
// list (some of them deleted), come back, new ones join, and the order
// changes. Each build gives every listed body its index as slot and the
// exact partners, as a table built afresh would.
TEST(BroadPhase, TableKeptBetweenPassesFollowsMovesDeparturesAndNewBodies) {
  WorkerPool pool;
  Scene scene(23);
  std::vector<BodyPtr> owned = std::move(scene.owned);
  std::vector<bool> isBox = scene.isBox;
  std::vector<bool> listed(owned.size(), true);
  std::mt19937 random(9);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  BroadPhase table;
  for (int pass = 0; pass < 30; ++pass) {
    for (std::size_t i = 0; i < owned.size(); ++i) {
      if (owned[i] == nullptr) continue;
      const int draw = static_cast<int>(random() % 20);
      if (draw == 0) {
        listed[i] = !listed[i];
      } else if (draw == 1 && !listed[i]) {
        owned[i].reset();
      } else if (draw < 5) {
        HardBody* body = owned[i].get();
        const double reach = draw == 2 ? 0.003 : 2.0;
        body->setPosition(body->getDyn().position + MgcVector3(unit(random), unit(random), unit(random)) * reach);
        body->updateWorldData();
      }
    }
    for (int k = 0; k < 4; ++k) {
      const MgcVector3 at(6.0 * unit(random), 6.0 * unit(random), 6.0 * unit(random));
      owned.push_back(hullBox(MgcVector3(0.5, 0.3, 0.4), at));
      isBox.push_back(true);
      listed.push_back(true);
    }
    std::vector<HardBody*> bodies;
    std::vector<bool> boxes;
    std::vector<std::size_t> order(owned.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t i : order) {
      if (owned[i] == nullptr || !listed[i]) continue;
      bodies.push_back(owned[i].get());
      boxes.push_back(isBox[i]);
    }
    table.build(bodies, &pool, pass % 2 == 0 ? 0u : 3u);
    for (std::uint32_t slot = 0; slot < bodies.size(); ++slot) {
      ASSERT_EQ(bodies[slot]->getPassSlot(), static_cast<std::int32_t>(slot));
      ASSERT_EQ(table.body(slot), bodies[slot]);
    }
    expectExactPartners(table, bodies, boxes);
    table.clear();
    for (HardBody* body : bodies) ASSERT_EQ(body->getPassSlot(), -1);
  }
}

// The partners of many bodies that moved at once are looked up on helpers
// when there are some: each body's partners come out in the very order one
// thread finds them, whatever the number of helpers, build after build.
TEST(BroadPhase, PartnersOfABuildComeInTheSameOrderOnAnyNumberOfHelpers) {
  WorkerPool pool;
  std::vector<std::vector<std::vector<std::uint32_t>>> reference;
  for (std::uint32_t helpers : {0u, 1u, 3u, 7u}) {
    Scene scene(31);
    BroadPhase table;
    std::mt19937 random(17);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<std::vector<std::vector<std::uint32_t>>> builds;
    for (int pass = 0; pass < 12; ++pass) {
      if (pass != 0) table.clear();
      // Most bodies leave their widened boxes, some by a jump far off.
      for (std::size_t i = 1; i + 2 < scene.bodies.size(); ++i) {
        HardBody* body = scene.bodies[i];
        const int draw = static_cast<int>(random() % 10);
        if (draw < 2) continue;
        const MgcVector3 at = body->getDyn().position;
        body->setPosition(draw == 9 && std::fabs(at.x) < 100.0
                              ? MgcVector3(200.0 * unit(random), 0.0, 0.0)
                              : MgcVector3(unit(random), unit(random), unit(random)) * 5.0);
        body->updateWorldData();
      }
      table.build(scene.bodies, &pool, helpers);
      expectExactPartners(table, scene.bodies, scene.isBox);
      std::vector<std::vector<std::uint32_t>> partners(table.size());
      for (std::uint32_t a = 0; a < table.size(); ++a) {
        table.forEachNeighbour(a, [&](std::uint32_t other) { partners[a].push_back(other); });
      }
      builds.push_back(partners);
    }
    if (reference.empty()) {
      reference = builds;
    } else {
      EXPECT_EQ(builds, reference) << helpers;
    }
  }
}

// Capsules made from 2 x 1 x 1 boxes (along x) and stretched three times
// along their axes: their radii grow with the largest scale and reach
// across well beyond their boxes, which keep the unit cross-section. Side
// by side at a distance below twice the radius the capsules overlap though
// the boxes do not, and the table lists them as partners.
TEST(BroadPhase, StretchedCapsulesWhoseRadiiOverlapArePartnersThoughTheirBoxesAreApart) {
  const auto stretched = [](const MgcVector3& at) {
    BodyPtr body(createCapsuleBody(boxMesh(MgcVector3(1.0, 0.5, 0.5)).get()));
    body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(3.0, 1.0, 1.0));
    body->setPosition(at);
    body->updateWorldData();
    return body;
  };
  const BodyPtr first = stretched(MgcVector3());
  ZOVcapsule capsule;
  ASSERT_TRUE(static_cast<CapsuleBody*>(first.get())->placedCapsule(capsule));
  ASSERT_NEAR(std::fabs(capsule.axis.x), 1.0, 1e-9);
  const ZOVbox& box = first->getBbox();
  double boxReach = 0.0;  // along y
  for (int k = 0; k < 3; ++k) boxReach += std::fabs(box.axes[1][k]) * box.extents[k];
  const double apart = boxReach + capsule.radius;
  ASSERT_GT(apart, 2.0 * boxReach + 1.0);
  ASSERT_LT(apart, 2.0 * capsule.radius);
  const BodyPtr second = stretched(MgcVector3(0.0, apart, 0.0));
  BroadPhase table;
  table.build({first.get(), second.get()});
  EXPECT_EQ(neighbours(table, 0), std::vector<std::uint32_t>{1});
  EXPECT_TRUE(table.mayTouch(0, 1));
}
}  // namespace
