#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "platform/Processors.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

// Steps of 1/240 s: over both halves the pile lands and comes to rest.
constexpr int kHalfSteps = 60;

/// What happens to the pile's first box between two steps of the run.
enum class Change { kNone, kMeshReplaced, kMovedAwayAndBack, kScaled, kRemovedAndAdded };

/// The bits of every box's position and orientation.
std::vector<double> poseBits(const std::vector<HardBody*>& boxes) {
  std::vector<double> bits;
  for (const HardBody* box : boxes) {
    const RBDynamics& d = box->getDyn();
    for (int k = 0; k < 3; ++k) bits.push_back(d.position[k]);
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) bits.push_back(d.orientation[r][c]);
    }
  }
  return bits;
}

struct PileRun {
  std::vector<double> poses;
  std::uint64_t answered = 0;
};

/// A 3 x 3 x 2 pile kept awake, on `threads` threads, with kept answers on
/// or off, `change` made to its first box halfway through its steps.
PileRun playPile(std::uint32_t threads, bool keepAnswers, Change change) {
  zov::platform::setProcessorCountOverride(8);
  PrivateWorld world;
  zov::platform::setProcessorCountOverride(0);
  prepareWorld(world, threads);
  world.getCollisionManager()->narrowPhaseMemos().enable(keepAnswers);
  addGround(world);
  std::vector<HardBody*> boxes;
  for (int y = 0; y < 2; ++y) {
    for (int i = 0; i < 9; ++i) {
      MgcMatrix3 R;
      R.FromAxisAngle(MgcVector3(0.0, 1.0, 0.0), 0.02 * (i % 4));
      const MgcVector3 at(1.02 * (i % 3) + 0.01 * y, 0.55 + 1.05 * y, 1.02 * (i / 3));
      boxes.push_back(addBox(world, MgcVector3(0.5, 0.5, 0.5), at, 1.0f, 0.0, 0.5, R));
    }
  }
  runSteps(world, kHalfSteps, 1.0 / 240.0);
  HardBody* box = boxes.front();
  const MgcVector3 at = box->getDyn().position;
  switch (change) {
    case Change::kNone:
      break;
    case Change::kMeshReplaced:
      box->modify(boxMesh(MgcVector3(0.45, 0.5, 0.45)).get());
      break;
    case Change::kMovedAwayAndBack:
      box->setPosition(at + MgcVector3(0.0, 0.3, 0.0));
      runSteps(world, 1, 1.0 / 240.0);
      box->setPosition(at);
      break;
    case Change::kScaled:
      box->setScale(MgcVector3(1.0, 0.9, 1.0));
      break;
    case Change::kRemovedAndAdded:
      world.removeBody(box);
      runSteps(world, 1, 1.0 / 240.0);
      world.addBody(box, 0);
      break;
  }
  runSteps(world, kHalfSteps, 1.0 / 240.0);
  return PileRun{poseBits(boxes), world.getCollisionManager()->narrowPhaseMemos().answered()};
}

}  // namespace

// Hull pairs standing where they last met take the narrow phase's kept
// answers, and the pile moves to the bit as when every pair is searched
// afresh, whatever happens to a box between steps: a new mesh at the same
// pose, a move and a move back, a new scale, a box taken out and put back.
TEST(NarrowPhaseMemos, PileMovesAsWhenEveryPairIsSearchedAfresh) {
  const struct {
    Change change;
    const char* name;
  } cases[] = {{Change::kNone, "nothing"},
               {Change::kMeshReplaced, "mesh replaced"},
               {Change::kMovedAwayAndBack, "moved away and back"},
               {Change::kScaled, "scaled"},
               {Change::kRemovedAndAdded, "removed and added"}};
  for (const auto& c : cases) {
    for (std::uint32_t threads : {1u, 4u}) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(threads) + " threads");
      const PileRun kept = playPile(threads, true, c.change);
      const PileRun searched = playPile(threads, false, c.change);
      ASSERT_EQ(kept.poses.size(), searched.poses.size());
      EXPECT_EQ(std::memcmp(kept.poses.data(), searched.poses.data(), kept.poses.size() * sizeof(double)), 0);
      // The pile comes to rest within the run: most of its later tests are
      // answered.
      EXPECT_GT(kept.answered, 2u * kHalfSteps);
      EXPECT_EQ(searched.answered, 0u);
    }
  }
}
