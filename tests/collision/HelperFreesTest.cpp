// What the helper threads free during a pass: the pair blocks a pair lets go
// of on a helper are set aside for the calling thread, so that no helper
// frees one. Counted through the executable's own array new and delete.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <thread>

#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactSet.h"
#include "engine/collision/RetiredBlocks.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/Processors.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

// The sanitizers bring their own operators; the counts run without them.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define ZOV_COUNTS_ARRAY_FREES 1

namespace {

/// Whether the running thread is the test's own; the engine's helpers are not.
thread_local bool tTestThread = false;
/// Whether array frees are counted now, and how many happened on other threads
/// and on the test's.
std::atomic<bool> gCounting{false};
std::atomic<std::uint64_t> gOtherThreadFrees{0};
std::atomic<std::uint64_t> gTestThreadFrees{0};

void countFree(void* p) {
  if (p == nullptr || !gCounting.load(std::memory_order_relaxed)) return;
  (tTestThread ? gTestThreadFrees : gOtherThreadFrees).fetch_add(1, std::memory_order_relaxed);
}

void* allocate(std::size_t n) {
  void* p = std::malloc(n != 0 ? n : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new[](std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n != 0 ? n : 1); }
void operator delete[](void* p) noexcept {
  countFree(p);
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  countFree(p);
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  countFree(p);
  std::free(p);
}
#endif

namespace {

/// Finds n contacts on the lent set and returns them to the pair, the block
/// it lets go of set aside in `retired`.
void findOnLentSet(CollisionPair& pair, ContactScratch& scratch, std::uint32_t n, RetiredBlocks& retired) {
  pair.reset();
  ASSERT_TRUE(pair.lendContacts(scratch));
  ContactSet set = pair.contactSet();
  for (std::uint32_t k = 0; k < n; ++k) {
    const double x = static_cast<double>(k);
    ASSERT_TRUE(set.append(MgcVector3(x, 1.0, 2.0), MgcVector3(0.0, 1.0, 0.0), -0.001 * (x + 1.0), k, k + 1));
  }
  ASSERT_TRUE(pair.returnContacts(&retired));
}

}  // namespace

// A pair that returns the lent set with a list of retired blocks sets its
// old block aside there whenever it takes a block of another size, and only
// then, and keeps the contacts found; freeing the list frees each once.
TEST(HelperFrees, ReturningContactsSetsAsideTheBlockThePairLetsGoOf) {
  struct Step {
    std::uint32_t contacts;
    std::size_t retiredAfter;
  };
  // From no block (nothing to set aside), to the same size (kept), smaller,
  // larger and none at all (each lets one go).
  const Step steps[] = {{4, 0}, {4, 0}, {2, 1}, {6, 2}, {6, 2}, {0, 3}, {1, 3}};
  CollisionPair pair;
  ContactScratch scratch;
  RetiredBlocks retired;
  for (const Step& step : steps) {
    findOnLentSet(pair, scratch, step.contacts, retired);
    EXPECT_EQ(retired.size(), step.retiredAfter) << step.contacts;
    EXPECT_EQ(pair.contactCapacity(), step.contacts);
    for (std::uint32_t k = 0; k < step.contacts; ++k) {
      EXPECT_EQ(pair.points[k], MgcVector3(static_cast<double>(k), 1.0, 2.0));
      EXPECT_EQ(pair.depths[k], -0.001 * (static_cast<double>(k) + 1.0));
      EXPECT_EQ(pair.features[k].secondFeature, k + 1);
    }
  }
#ifdef ZOV_COUNTS_ARRAY_FREES
  tTestThread = true;
  gTestThreadFrees = 0;
  gCounting = true;
  retired.freeAll();
  gCounting = false;
  EXPECT_EQ(gTestThreadFrees.load(), 3u);
#else
  retired.freeAll();
#endif
  EXPECT_EQ(retired.size(), 0u);
}

// A pile of boxes settling on four threads: pairs change their contact
// counts as the boxes settle, so that their blocks are replaced on the
// helpers, yet once the workers' workspaces have grown no helper frees a
// block during the steps, and none is left set aside between them.
TEST(HelperFrees, HelpersFreeNoPairBlockWhilePilePairsChange) {
  zov::platform::setProcessorCountOverride(8);
  PrivateWorld world;
  prepareWorld(world, 4);
  zov::platform::setProcessorCountOverride(0);
  world.enableBodyDeactivation();
  addGround(world);
  std::mt19937 random(11);
  std::uniform_real_distribution<double> offset(-0.05, 0.05);
  std::uniform_real_distribution<double> turn(-0.1, 0.1);
  constexpr int kSide = 5;
  constexpr int kWarmFrames = 12;
  for (int y = 0; y < kSide; ++y) {
    for (int z = 0; z < kSide; ++z) {
      for (int x = 0; x < kSide; ++x) {
        MgcMatrix3 R;
        R.FromAxisAngle(MgcVector3(0.0, 1.0, 0.0), turn(random));
        const MgcVector3 at(1.2 * x + offset(random), 0.6 + 1.2 * y, 1.2 * z + offset(random));
        addBox(world, MgcVector3(0.5, 0.5, 0.5), at, 1.0f, 0.0, 0.5, R);
      }
    }
  }
  CollisionManager* manager = world.getCollisionManager();
  std::uint32_t mostPairs = 0;
  for (int frame = 0; frame < 2 * kWarmFrames; ++frame) {
#ifdef ZOV_COUNTS_ARRAY_FREES
    // The workers' solver workspaces grow to the largest system they meet
    // in the first frames and are kept: counted from then on.
    if (frame == kWarmFrames) {
      tTestThread = true;
      gOtherThreadFrees = 0;
      gTestThreadFrees = 0;
      gCounting = true;
    }
#endif
    runSteps(world, 10, 1.0 / 240.0);
    EXPECT_EQ(manager->retiredPairBlockCount(), 0u) << frame;
    std::uint32_t pairs = 0;
    for (auto* node = manager->getStepPairs().getFirst(); node != nullptr; node = node->next) ++pairs;
    mostPairs = std::max(mostPairs, pairs);
  }
#ifdef ZOV_COUNTS_ARRAY_FREES
  gCounting = false;
  EXPECT_EQ(gOtherThreadFrees.load(), 0u);
  // The pairs did replace blocks, which the test's thread freed.
  EXPECT_GT(gTestThreadFrees.load(), 0u);
#endif
  EXPECT_GT(mostPairs, static_cast<std::uint32_t>(kSide * kSide));
}
