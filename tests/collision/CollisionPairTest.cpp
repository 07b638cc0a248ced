// The pair record's memory: what a pile pair holds, and its contacts kept
// while they grow, are set aside by a solve and are put back.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactSet.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

/// What a pair must keep of each contact from one pass to the next: its
/// point on each body, its normal, the impulse it carried in the passes, its
/// depth now and as found, its features, its mark and its index among the
/// found contacts ...
constexpr std::size_t kMustHoldPerContact =
    4 * sizeof(MgcVector3) + 2 * sizeof(double) + sizeof(ContactFeature) + 2 * sizeof(std::uint8_t);
/// ... and with a static second body, the velocity of that body there.
constexpr std::size_t kMustHoldOnStatic = kMustHoldPerContact + sizeof(MgcVector3);
/// Most contacts the clipping of two box faces gives: the corners of both.
constexpr std::uint32_t kBoxFaceContacts = 8;
/// What the pile may cost per pair, pair record and everything else.
constexpr std::size_t kPairBudget = 2048;

/// The contact with number k: every field tells k apart.
struct Numbered {
  MgcVector3 point;
  MgcVector3 secondPoint;
  MgcVector3 normal;
  MgcVector3 staticVelocity;
  double depth;
  std::uint32_t feature;
};

Numbered numbered(std::uint32_t k) {
  const double x = static_cast<double>(k);
  return {MgcVector3(x, 1.0, 2.0),       MgcVector3(x, -1.0, 0.5), MgcVector3(0.0, 1.0, 0.01 * x),
          MgcVector3(0.1 * x, 0.0, 0.0), -0.001 * (x + 1.0),       100 + k};
}

/// n numbered contacts found the way the narrow phase finds them: on a lent
/// full-size set, then returned to the pair, prepared and kept as found.
void findNumbered(CollisionPair& pair, ContactScratch& scratch, std::uint32_t n) {
  pair.reset();
  ASSERT_TRUE(pair.lendContacts(scratch));
  ContactSet set = pair.contactSet();
  for (std::uint32_t k = 0; k < n; ++k) {
    const Numbered c = numbered(k);
    ASSERT_TRUE(set.append(c.point, c.normal, c.depth, c.feature, c.feature + 1));
  }
  ASSERT_TRUE(pair.returnContacts());
  ASSERT_TRUE(pair.holdStaticVelocities());
  for (std::uint32_t k = 0; k < n; ++k) {
    pair.secondPoints[k] = numbered(k).secondPoint;
    pair.staticVelocities[k] = numbered(k).staticVelocity;
    pair.marks[k] = 0;
  }
  pair.keepFoundContacts();
}

/// Whether slot i holds the contact numbered k with its data as found.
void expectHolds(const CollisionPair& pair, std::uint32_t i, std::uint32_t k) {
  const Numbered c = numbered(k);
  EXPECT_EQ(pair.points[i], c.point) << i;
  EXPECT_EQ(pair.secondPoints[i], c.secondPoint) << i;
  EXPECT_EQ(pair.normals[i], c.normal) << i;
  EXPECT_EQ(pair.staticVelocities[i], c.staticVelocity) << i;
  EXPECT_EQ(pair.depths[i], c.depth) << i;
  EXPECT_EQ(pair.features[i].firstFeature, c.feature) << i;
  EXPECT_EQ(pair.features[i].secondFeature, c.feature + 1) << i;
  EXPECT_EQ(pair.foundIndex[i], k) << i;
}

// Every pair of a settling pile holds its record and, per contact it has
// room for, no more than what it must keep between passes (a pair of two
// moving boxes no velocities of a static body); no box pair has
// room for more contacts than two faces give, so that record and contacts
// stay within the pile's budget per pair.
TEST(CollisionPair, PilePairsHoldTheirRecordAndWhatTheirContactsMustKeep) {
  static_assert(sizeof(CollisionPair) + kBoxFaceContacts * kMustHoldOnStatic <= kPairBudget,
                "a box pair's record and contacts fit the pile's budget per pair");
  PrivateWorld world;
  prepareWorld(world);
  world.enableBodyDeactivation();
  addGround(world);
  constexpr int kSide = 3;
  addJitteredPile(world, kSide, 7);
  std::size_t checked = 0;
  for (int frame = 0; frame < 24; ++frame) {
    runSteps(world, 10, 1.0 / 240.0);
    for (auto* node = world.getCollisionManager()->getStepPairs().getFirst(); node != nullptr; node = node->next) {
      const CollisionPair& pair = *node->value;
      const bool onStatic = pair.secondBody->isStatic();
      EXPECT_LE(pair.contactBytes(), pair.contactCapacity() * (onStatic ? kMustHoldOnStatic : kMustHoldPerContact));
      if (!onStatic) {
        EXPECT_EQ(pair.staticVelocities, nullptr);
      }
      EXPECT_LE(pair.contactCapacity(), kBoxFaceContacts);
      EXPECT_LE(pair.found.count, pair.contactCapacity());
      ++checked;
    }
  }
  EXPECT_GT(checked, 0u);
}

// A pair's arrays grow past their capacity with every contact kept: those
// held in their order and those a solve set aside behind them, which the
// next pass puts back in the order they were found, with the depths they
// were found with.
TEST(CollisionPair, GrowingPastItsCapacityKeepsHeldAndSetAsideContacts) {
  constexpr std::uint32_t kFound = 5;
  struct Case {
    const char* name;
    std::uint8_t marks[kFound];
  };
  const Case cases[] = {
      {"none taken out", {0, 0, 0, 0, 0}}, {"the first", {1, 0, 0, 0, 0}}, {"the last", {0, 0, 0, 0, 1}},
      {"every other", {1, 0, 1, 0, 1}},    {"all", {1, 1, 1, 1, 1}},
  };
  ContactScratch scratch;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CollisionPair pair;
    findNumbered(pair, scratch, kFound);
    ASSERT_EQ(pair.contactCapacity(), kFound);
    // A solve updates the depths of what it holds, then takes contacts out.
    for (std::uint32_t i = 0; i < kFound; ++i) pair.depths[i] = 1.0;
    CollisionManager::compactContacts(pair, c.marks);
    std::vector<std::uint32_t> held;
    for (std::uint32_t k = 0; k < kFound; ++k) {
      if (c.marks[k] == 0) held.push_back(k);
    }
    ASSERT_EQ(pair.contactCount, held.size());
    ASSERT_TRUE(pair.reserveContacts(2 * kFound));
    EXPECT_GE(pair.contactCapacity(), 2 * kFound);
    for (std::uint32_t i = 0; i < held.size(); ++i) {
      EXPECT_EQ(pair.points[i], numbered(held[i]).point) << i;
      EXPECT_EQ(pair.foundIndex[i], held[i]) << i;
    }
    for (std::uint32_t k = 0; k < kFound; ++k) {
      const std::uint32_t slot = pair.foundSlot(k);
      ASSERT_LT(slot, kFound);
      EXPECT_EQ(pair.normals[slot], numbered(k).normal) << k;
      EXPECT_EQ(pair.staticVelocities[slot], numbered(k).staticVelocity) << k;
    }
    pair.restoreFoundContacts();
    ASSERT_EQ(pair.contactCount, kFound);
    for (std::uint32_t k = 0; k < kFound; ++k) expectHolds(pair, k, k);
  }
}

// Contacts taken out by random marks, again and again, move behind the kept
// ones with the order of both kept (a stable partition, formed here the
// plain way), every field with them; putting the found contacts back
// restores each to its slot whatever the passes did.
TEST(CollisionPair, TakingOutRandomContactsIsAStablePartitionAndRestores) {
  std::mt19937 random(20261207);
  ContactScratch scratch;
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const std::uint32_t found = 1 + random() % kMaxPairContacts;
    CollisionPair pair;
    findNumbered(pair, scratch, found);
    // Which numbered contact each slot holds.
    std::vector<std::uint32_t> slots(found);
    for (std::uint32_t k = 0; k < found; ++k) slots[k] = k;
    for (int pass = 0; pass < 3 && pair.contactCount > 0; ++pass) {
      const std::uint32_t n = pair.contactCount;
      std::uint8_t marks[kMaxPairContacts] = {};
      for (std::uint32_t i = 0; i < n; ++i) marks[i] = random() % 3 == 0 ? 1 : 0;
      std::vector<std::uint32_t> expected;
      for (std::uint32_t i = 0; i < n; ++i) {
        if (marks[i] == 0) expected.push_back(slots[i]);
      }
      const std::size_t kept = expected.size();
      for (std::uint32_t i = 0; i < n; ++i) {
        if (marks[i] != 0) expected.push_back(slots[i]);
      }
      CollisionManager::compactContacts(pair, marks);
      ASSERT_EQ(pair.contactCount, kept);
      for (std::uint32_t i = 0; i < n; ++i) {
        expectHolds(pair, i, expected[i]);
        slots[i] = expected[i];
      }
    }
    pair.restoreFoundContacts();
    ASSERT_EQ(pair.contactCount, found);
    for (std::uint32_t k = 0; k < found; ++k) {
      expectHolds(pair, k, k);
      EXPECT_EQ(pair.marks[k], 0) << k;
    }
  }
}

}  // namespace
