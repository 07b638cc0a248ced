// What the collision passes allocate and free, and on which thread: a block
// freed on a helper thread stays in that thread's allocator cache, counted
// as in use, until the helper asks for a block of its size again. Counted
// through this executable's own operators new and delete.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactSet.h"
#include "engine/collision/PairPool.h"
#include "engine/collision/RetiredBlocks.h"
#include "engine/collision/narrowphase/JumpSupport.h"
#include "engine/collision/narrowphase/PolytopeSearch.h"
#include "engine/collision/threads/WorkerPool.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/Processors.h"
#include "support/SceneFixtures.h"

// The sanitizers bring their own operators; the counts run without them.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && defined(__GLIBC__)
#include <malloc.h>
#define ZOV_COUNTS_ALLOCATIONS 1
#endif

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

#ifdef ZOV_COUNTS_ALLOCATIONS
namespace {

/// The largest block the allocator keeps in a thread's cache once freed.
constexpr std::size_t kThreadCachedBytes = 1024;

/// Whether the running thread is the test's own; the engine's helpers are not.
thread_local bool tTestThread = false;
/// Whether the operators count now, and what they counted.
std::atomic<bool> gCounting{false};
std::atomic<std::uint64_t> gTestThreadAllocations{0};
std::atomic<std::uint64_t> gTestThreadFrees{0};
std::atomic<std::uint64_t> gHelperCachedFrees{0};
std::atomic<std::uint64_t> gHelperAllocations{0};
std::atomic<std::uint64_t> gHelperFrees{0};

/// Starts counting from zero on the calling thread, the test's.
void startCounting() {
  tTestThread = true;
  gTestThreadAllocations = 0;
  gTestThreadFrees = 0;
  gHelperCachedFrees = 0;
  gHelperAllocations = 0;
  gHelperFrees = 0;
  gCounting = true;
}

void* allocate(std::size_t n) {
  if (gCounting.load(std::memory_order_relaxed)) {
    if (tTestThread) {
      gTestThreadAllocations.fetch_add(1);
    } else {
      gHelperAllocations.fetch_add(1);
    }
  }
  return std::malloc(n != 0 ? n : 1);
}

void* allocateOrThrow(std::size_t n) {
  void* p = allocate(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void release(void* p) {
  if (p != nullptr && gCounting.load(std::memory_order_relaxed)) {
    if (tTestThread) {
      gTestThreadFrees.fetch_add(1);
    } else {
      gHelperFrees.fetch_add(1);
      if (malloc_usable_size(p) <= kThreadCachedBytes) gHelperCachedFrees.fetch_add(1);
    }
  }
  std::free(p);
}

}  // namespace

void* operator new(std::size_t n) { return allocateOrThrow(n); }
void* operator new[](std::size_t n) { return allocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
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

/// Two convex point sets, each point its own vertex, searched point by point.
class PointSetsSupport final : public PairSupport {
 public:
  PointSetsSupport(std::vector<MgcVector3> a, std::vector<MgcVector3> b) : a_(std::move(a)), b_(std::move(b)) {}
  SupportPair support(const MgcVector3& d, std::uint32_t, std::uint32_t) const override {
    return pairOf(furthest(a_, d), furthest(b_, -d));
  }
  SupportPair pairAt(std::uint32_t a, std::uint32_t b, const MgcVector3& d) const override {
    return pairOf(a < a_.size() ? a : furthest(a_, d), b < b_.size() ? b : furthest(b_, -d));
  }
  bool indexedB() const override { return true; }
  MgcVector3 centerA() const override { return centre(a_); }
  MgcVector3 centerB() const override { return centre(b_); }

 private:
  static std::uint32_t furthest(const std::vector<MgcVector3>& points, const MgcVector3& d) {
    std::uint32_t best = 0;
    for (std::uint32_t i = 1; i < points.size(); ++i) {
      if (points[i].Dot(d) > points[best].Dot(d)) best = i;
    }
    return best;
  }
  static MgcVector3 centre(const std::vector<MgcVector3>& points) {
    MgcVector3 sum;
    for (const MgcVector3& p : points) sum += p;
    return sum / static_cast<double>(points.size());
  }
  SupportPair pairOf(std::uint32_t a, std::uint32_t b) const {
    SupportPair pair;
    pair.vertexA = a;
    pair.vertexB = b;
    pair.pointA = a_[a];
    pair.pointB = b_[b];
    return pair;
  }

  std::vector<MgcVector3> a_;
  std::vector<MgcVector3> b_;
};

/// Points on a sphere of radius r about `centre`: `rings` circles of
/// 2 rings points each, and the poles.
std::vector<MgcVector3> spherePoints(const MgcVector3& centre, double r, int rings) {
  const double pi = std::acos(-1.0);
  std::vector<MgcVector3> points{centre + MgcVector3(0.0, r, 0.0), centre - MgcVector3(0.0, r, 0.0)};
  for (int i = 1; i <= rings; ++i) {
    const double polar = pi * i / (rings + 1);
    for (int k = 0; k < 2 * rings; ++k) {
      const double around = pi * k / rings + 0.1 * i;
      points.push_back(centre + r * MgcVector3(std::sin(polar) * std::cos(around), std::cos(polar),
                                               std::sin(polar) * std::sin(around)));
    }
  }
  return points;
}

/// The corners of a box of half size h about `centre`.
std::vector<MgcVector3> boxPoints(const MgcVector3& centre, const MgcVector3& h) {
  std::vector<MgcVector3> points;
  for (int c = 0; c < 8; ++c) {
    points.push_back(centre +
                     MgcVector3((c & 1) != 0 ? h.x : -h.x, (c & 2) != 0 ? h.y : -h.y, (c & 4) != 0 ? h.z : -h.z));
  }
  return points;
}

}  // namespace

// A pair that returns the lent set with a list of retired blocks sets its
// old block aside there whenever it takes a block of another size, and only
// then, and keeps the contacts found; freeing the list frees each once.
TEST(AllocationCounts, ReturningContactsSetsAsideTheBlockThePairLetsGoOf) {
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
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
  retired.freeAll();
  gCounting = false;
  EXPECT_EQ(gTestThreadFrees.load(), 3u);
#else
  retired.freeAll();
#endif
  EXPECT_EQ(retired.size(), 0u);
}

// A task order makes its arrays for each run, each with room beyond what the
// allocator keeps in a thread's cache, and frees them after it, so that no
// block of theirs waits in the calling thread's cache between runs: runs of
// 16 to 4096 tasks, with a wait each (8 bytes), all make the same blocks and
// free every one of them.
TEST(AllocationCounts, SmallTaskOrdersOfAnySizeMakeTheSameBlocks) {
  WorkerPool pool;
  TaskOrder order;
  const auto runChains = [&](std::uint32_t n) {
    order.reset(n);
    // Task i waits for task i - 3 (three chains).
    for (std::uint32_t i = 3; i < n; ++i) order.wait(i - 3, i);
    std::atomic<std::uint32_t> runs{0};
    order.run(
        &pool, 3, [&](std::uint32_t, std::uint32_t) { runs.fetch_add(1); }, 1);
    EXPECT_EQ(runs.load(), n);
  };
  runChains(128);
  std::vector<std::uint64_t> made;
  for (std::uint32_t n : {16u, 64u, 100u, 128u, 16u, 4096u}) {
#ifdef ZOV_COUNTS_ALLOCATIONS
    startCounting();
#endif
    runChains(n);
#ifdef ZOV_COUNTS_ALLOCATIONS
    gCounting = false;
    made.push_back(gTestThreadAllocations.load());
    EXPECT_EQ(gTestThreadFrees.load(), gTestThreadAllocations.load()) << n;
#endif
  }
#ifdef ZOV_COUNTS_ALLOCATIONS
  for (std::size_t k = 1; k < made.size(); ++k) EXPECT_EQ(made[k], made[0]) << k;
  EXPECT_GT(made[0], 0u);
#endif
  // Each array's room lies beyond the thread cache's largest block.
  std::vector<std::uint32_t> scratch;
  reserveScratch(scratch, 1);
  EXPECT_GT(scratch.capacity() * sizeof(std::uint32_t), kCachedBlockBytes);
  clearScratch(scratch);
  EXPECT_EQ(scratch.capacity(), 0u);
}

// A polytope search keeps its lists on the stack while they are short, as
// they are for boxes and coarse balls, and past that makes each list once at
// most, whatever it expands: two boxes overlapping by a little and by half,
// two faceted balls, and two finely faceted balls deep in each other, whose
// difference shape takes many expansions to settle.
TEST(AllocationCounts, PolytopeSearchMakesEachListOnce) {
  struct Case {
    const char* name;
    std::vector<MgcVector3> a;
    std::vector<MgcVector3> b;
    bool shortLists;
  };
  const MgcVector3 half(0.5, 0.5, 0.5);
  const Case cases[] = {
      {"boxes a little", boxPoints(MgcVector3(), half), boxPoints(MgcVector3(0.1, 0.95, 0.05), half), true},
      {"boxes by half", boxPoints(MgcVector3(), half), boxPoints(MgcVector3(0.2, 0.5, -0.1), half), true},
      {"balls", spherePoints(MgcVector3(), 1.0, 12), spherePoints(MgcVector3(0.3, 1.5, 0.2), 1.0, 12), true},
      {"fine balls", spherePoints(MgcVector3(), 1.0, 40), spherePoints(MgcVector3(0.1, 0.3, 0.2), 1.0, 40), false},
  };
  for (const Case& c : cases) {
    const PointSetsSupport shapes(c.a, c.b);
    JumpState state = freshJumpState();
    state.direction = unitized(shapes.centerB() - shapes.centerA());
    const SupportPair start = shapes.support(state.direction, 0, 0);
    state.vertexA = start.vertexA;
    state.vertexB = start.vertexB;
    state.lastPoint = start.point();
#ifdef ZOV_COUNTS_ALLOCATIONS
    startCounting();
#endif
    const PolytopeResult result = searchPolytope(shapes, state);
#ifdef ZOV_COUNTS_ALLOCATIONS
    gCounting = false;
    // The search's lists: its support records, its faces and one
    // expansion's edges.
    if (c.shortLists) {
      EXPECT_EQ(gTestThreadAllocations.load(), 0u) << c.name;
    } else {
      EXPECT_GE(gTestThreadAllocations.load(), 1u) << c.name;
      EXPECT_LE(gTestThreadAllocations.load(), 3u) << c.name;
    }
#endif
    ASSERT_TRUE(result.found) << c.name;
    // The face found lies on the difference shape's boundary: no support
    // point lies further out along its normal.
    const MgcVector3 out = result.normal;
    const double reach = shapes.support(-out, 0, 0).point().Dot(out);
    EXPECT_NEAR(result.face[0].point.Dot(out), reach, 1e-3) << c.name;
  }
}

// A pile of boxes settling on four threads, none of them asleep: pairs
// change their contact counts as the boxes settle, so that their blocks are
// replaced on the helpers, and the helpers gather candidates, test pairs and
// run ordered tasks; once the workers' workspaces have grown the helpers
// free next to no block small enough for their caches during the steps, and
// no pair block is left set aside between them.
TEST(AllocationCounts, HelpersFreeNoCachedBlockWhilePilePairsChange) {
  zov::platform::setProcessorCountOverride(8);
  PrivateWorld world;
  prepareWorld(world, 4);
  zov::platform::setProcessorCountOverride(0);
  // Without sleep, so that every box stays in the passes.
  addGround(world);
  constexpr int kSide = 5;
  constexpr int kWarmFrames = 12;
  addJitteredPile(world, kSide, 11);
  CollisionManager* manager = world.getCollisionManager();
  std::uint32_t mostPairs = 0;
  for (int frame = 0; frame < 2 * kWarmFrames; ++frame) {
#ifdef ZOV_COUNTS_ALLOCATIONS
    // The workers' solver workspaces grow to the largest system they meet
    // in the first frames and are kept: counted from then on.
    if (frame == kWarmFrames) startCounting();
#endif
    runSteps(world, 10, 1.0 / 240.0);
    EXPECT_EQ(manager->retiredPairBlockCount(), 0u) << frame;
    std::uint32_t pairs = 0;
    for (auto* node = manager->getStepPairs().getFirst(); node != nullptr; node = node->next) ++pairs;
    mostPairs = std::max(mostPairs, pairs);
  }
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  // Which helper meets which system depends on scheduling, so a helper may
  // still meet a system larger than any it met while warming up and grow its
  // workspace, freeing the smaller block: a few such frees at most, where
  // replaced pair blocks, candidate lists and search lists freed on the
  // helpers came to hundreds or thousands.
  EXPECT_LE(gHelperCachedFrees.load(), 8u);
  // The test's thread freed what the helpers set aside, among the rest.
  EXPECT_GT(gTestThreadFrees.load(), 0u);
#endif
  EXPECT_GT(mostPairs, static_cast<std::uint32_t>(kSide * kSide));
}

// The same pile: once warm, the helpers allocate nothing and free nothing
// while they gather candidates, test pairs (the polytope search among them)
// and solve them; the calling thread makes before each pass what they will
// need, records for the pairs, their contact sets and room for the blocks of
// the pairs they test, and gives those pairs blocks of their own after it.
// A block the helpers made would live in that helper's own heap for as long
// as the thread lives.
TEST(AllocationCounts, HelpersAllocateNothingOnceWarm) {
  zov::platform::setProcessorCountOverride(8);
  PrivateWorld world;
  prepareWorld(world, 4);
  zov::platform::setProcessorCountOverride(0);
  addGround(world);
  constexpr int kSide = 5;
  constexpr int kWarmFrames = 12;
  addJitteredPile(world, kSide, 11);
  CollisionManager* manager = world.getCollisionManager();
  std::uint32_t mostPairs = 0;
  for (int frame = 0; frame < 2 * kWarmFrames; ++frame) {
#ifdef ZOV_COUNTS_ALLOCATIONS
    if (frame == kWarmFrames) startCounting();
#endif
    runSteps(world, 10, 1.0 / 240.0);
    mostPairs = std::max(mostPairs, manager->getStepPairs().getCount());
  }
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  // The room for a pass's pair blocks is sized from what the last pass
  // asked for, and the records from the pairs it kept: a pass that asks for
  // half as much again, or finds more new pairs than there are threads,
  // makes the rest where it runs. A few such blocks at most, where the
  // searches' lists and the pairs' blocks came to thousands.
  EXPECT_LE(gHelperAllocations.load(), 8u);
  EXPECT_LE(gHelperFrees.load(), 8u);
  // The calling thread made and freed what the passes needed.
  EXPECT_GT(gTestThreadAllocations.load(), 0u);
#endif
  EXPECT_GT(mostPairs, static_cast<std::uint32_t>(kSide * kSide));
}

namespace {

/// Lends the set to the pair, finds n contacts (point x = k + base) and
/// returns them through `room`.
void findIntoRoom(CollisionPair& pair, ContactScratch& scratch, std::uint32_t n, double base, RetiredBlocks& retired,
                  ParkedBlocks& room) {
  pair.reset();
  ASSERT_TRUE(pair.lendContacts(scratch));
  ContactSet set = pair.contactSet();
  for (std::uint32_t k = 0; k < n; ++k) {
    ASSERT_TRUE(set.append(MgcVector3(base + k, 1.0, 2.0), MgcVector3(0.0, 1.0, 0.0), -0.001 * (k + 1.0), k, k + 1));
  }
  ASSERT_TRUE(pair.returnContacts(&retired, &room));
}

}  // namespace

// A pass's parked room lies in pages of its own, not in the heap, and keeps
// them for the next pass while they fit the room it wants: the next pass
// starts its room where the last one did and maps nothing new, and between
// passes no pair takes from them; a pass that expects far more gets larger
// pages, one that wants far less than the pages again gets pages of its
// size, and release gives them back.
TEST(AllocationCounts, TheParkedRoomKeepsItsPagesBetweenPasses) {
  ParkedBlocks room;
  CollisionPair pair;
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
#endif
  ASSERT_TRUE(room.prepare(0));
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  EXPECT_EQ(gTestThreadAllocations.load(), 0u) << "the room takes nothing from the heap";
#endif
  const std::size_t pages = room.pageBytes();
  EXPECT_GE(pages, room.roomBytes());
  unsigned char* first = room.take(64, &pair);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % alignof(double), 0u);
  room.discard();
  EXPECT_EQ(room.roomBytes(), 0u);
  EXPECT_EQ(room.pageBytes(), pages);
  EXPECT_EQ(room.take(64, &pair), nullptr) << "no room between passes";
  ASSERT_TRUE(room.prepare(0));
  EXPECT_EQ(room.pageBytes(), pages);
  EXPECT_EQ(room.take(64, &pair), first) << "the same pages, from their start";
  room.discard();
  const std::size_t large = 8 * pages;
  ASSERT_TRUE(room.prepare(large));
  EXPECT_GE(room.roomBytes(), 2 * large);
  EXPECT_GE(room.pageBytes(), room.roomBytes());
  room.discard();
  ASSERT_TRUE(room.prepare(0));
  EXPECT_LT(room.pageBytes(), large) << "pages far larger than the room wanted are given back";
  EXPECT_GE(room.pageBytes(), room.roomBytes());
  room.release();
  EXPECT_EQ(room.pageBytes(), 0u);
  EXPECT_EQ(room.roomBytes(), 0u);
  EXPECT_EQ(room.take(64, &pair), nullptr);
}

// Pairs returning their contacts through a parked room take their blocks
// from it and allocate nothing while it has room, and past it make their own;
// settling gives each pair still in the room a block of its own, once
// however often it took from the room, with its contacts as they were, and
// frees the room.
TEST(AllocationCounts, PairsTakeTheirBlocksFromTheParkedRoomUntilSettled) {
  ParkedBlocks room;
  ASSERT_TRUE(room.prepare(0));
  ASSERT_EQ(room.roomBytes(), ParkedBlocks::kLeastRoom);
  CollisionPair pairs[4];
  ContactScratch scratch;
  RetiredBlocks retired;
  // Contacts each pair ends with; pair 1 returns twice, with 3 and then 5.
  const std::uint32_t counts[4] = {2, 5, 4, kMaxPairContacts};
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
#endif
  findIntoRoom(pairs[0], scratch, counts[0], 0.0, retired, room);
  findIntoRoom(pairs[1], scratch, 3, 10.0, retired, room);
  findIntoRoom(pairs[1], scratch, counts[1], 20.0, retired, room);
  findIntoRoom(pairs[2], scratch, counts[2], 30.0, retired, room);
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  EXPECT_EQ(gTestThreadAllocations.load(), 0u);
#endif
  for (int p = 0; p < 3; ++p) EXPECT_TRUE(pairs[p].holdsParkedBlock()) << p;
  // Full-size pairs until the room is out: the one that does not fit makes
  // its own block.
  int ownBlocks = 0;
  const std::size_t fullBlock = ParkedBlocks::roomFor(kMaxPairContacts * sizeof(MgcVector3));
  const int mostTries = static_cast<int>(ParkedBlocks::kLeastRoom / fullBlock) + 1;
  for (int tries = 0; tries < mostTries; ++tries) {
    findIntoRoom(pairs[3], scratch, counts[3] - static_cast<std::uint32_t>(tries % 2), 40.0, retired, room);
    if (!pairs[3].holdsParkedBlock()) {
      ++ownBlocks;
      break;
    }
  }
  EXPECT_EQ(ownBlocks, 1);
  EXPECT_EQ(retired.size(), 0u) << "a parked block is never set aside";
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
#endif
  room.settleAll(
      [](CollisionPair* owner, const unsigned char* at, std::size_t bytes) { owner->settleParked(at, bytes); });
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  EXPECT_EQ(gTestThreadAllocations.load(), 3u) << "one block for each of the three pairs in the room";
#endif
  EXPECT_EQ(room.roomBytes(), 0u);
  const double bases[4] = {0.0, 20.0, 30.0, 40.0};
  for (int p = 0; p < 3; ++p) {
    EXPECT_FALSE(pairs[p].holdsParkedBlock()) << p;
    ASSERT_EQ(pairs[p].contactCount, counts[p]) << p;
    EXPECT_EQ(pairs[p].contactCapacity(), counts[p]) << p;
    for (std::uint32_t k = 0; k < counts[p]; ++k) {
      EXPECT_EQ(pairs[p].points[k], MgcVector3(bases[p] + k, 1.0, 2.0)) << p << " " << k;
      EXPECT_EQ(pairs[p].depths[k], -0.001 * (k + 1.0)) << p << " " << k;
      EXPECT_EQ(pairs[p].features[k].secondFeature, k + 1) << p << " " << k;
    }
  }
  EXPECT_FALSE(pairs[3].holdsParkedBlock());
  EXPECT_EQ(pairs[3].points[0], MgcVector3(bases[3], 1.0, 2.0));
  retired.freeAll();
}

// Blocks set aside go back by their exact size, the last one set aside of a
// size first, without allocating; a size none was set aside of gets none.
// Sizes beyond the kept ones are only freed, and freeing frees every block
// once.
TEST(AllocationCounts, SetAsideBlocksGoBackByTheirSize) {
  RetiredBlocks retired;
  const std::size_t sizes[] = {96, 160, 96, 48};
  unsigned char* made[4];
  for (int k = 0; k < 4; ++k) {
    std::unique_ptr<unsigned char[]> block(new unsigned char[sizes[k]]);
    made[k] = block.get();
    retired.add(std::move(block), sizes[k]);
  }
  retired.add(nullptr, 96);
  EXPECT_EQ(retired.size(), 4u);
  struct Take {
    std::size_t bytes;
    int block;  // index into made, -1 for none
  };
  const Take takes[] = {{96, 2}, {160, 1}, {160, -1}, {96, 0}, {96, -1}, {64, -1}, {48, 3}};
  std::size_t left = 4;
  for (const Take& take : takes) {
#ifdef ZOV_COUNTS_ALLOCATIONS
    startCounting();
#endif
    std::unique_ptr<unsigned char[]> block = retired.take(take.bytes);
#ifdef ZOV_COUNTS_ALLOCATIONS
    gCounting = false;
    EXPECT_EQ(gTestThreadAllocations.load(), 0u);
#endif
    EXPECT_EQ(block.get(), take.block < 0 ? nullptr : made[take.block]) << take.bytes;
    if (block) --left;
    EXPECT_EQ(retired.size(), left);
  }
  // One block of each of kSizes + 2 sizes: the last two sizes are kept
  // apart from take.
  for (std::size_t k = 0; k < RetiredBlocks::kSizes + 2; ++k) {
    const std::size_t bytes = 16 * (k + 1);
    retired.add(std::unique_ptr<unsigned char[]>(new unsigned char[bytes]), bytes);
  }
  EXPECT_EQ(retired.size(), RetiredBlocks::kSizes + 2);
  EXPECT_EQ(retired.take(16 * (RetiredBlocks::kSizes + 1)), nullptr);
  std::unique_ptr<unsigned char[]> kept = retired.take(16);
  EXPECT_NE(kept, nullptr);
  kept.reset();
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
#endif
  retired.freeAll();
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  EXPECT_EQ(gTestThreadFrees.load(), RetiredBlocks::kSizes + 1);
#endif
  EXPECT_EQ(retired.size(), 0u);
  EXPECT_EQ(retired.take(32), nullptr);
}

// A pair returning its contacts takes the block of their size that another
// pair set aside, in place of a new one or one from the room: it allocates
// nothing, holds the contacts it found, and needs no settling.
TEST(AllocationCounts, APairTakesASetAsideBlockOfItsSize) {
  ParkedBlocks room;
  ASSERT_TRUE(room.prepare(0));
  ContactScratch scratch;
  RetiredBlocks retired;
  CollisionPair first;
  CollisionPair second;
  findIntoRoom(first, scratch, 4, 0.0, retired, room);
  room.settleAll(
      [](CollisionPair* owner, const unsigned char* at, std::size_t bytes) { owner->settleParked(at, bytes); });
  ASSERT_TRUE(room.prepare(0));
  const void* ownBlock = first.points;
  // Two contacts now: the block of four is set aside.
  findIntoRoom(first, scratch, 2, 10.0, retired, room);
  ASSERT_EQ(retired.size(), 1u);
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
#endif
  findIntoRoom(second, scratch, 4, 20.0, retired, room);
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  EXPECT_EQ(gTestThreadAllocations.load(), 0u);
  EXPECT_EQ(gTestThreadFrees.load(), 0u);
#endif
  EXPECT_EQ(retired.size(), 0u);
  EXPECT_FALSE(second.holdsParkedBlock());
  EXPECT_EQ(static_cast<const void*>(second.points), ownBlock);
  ASSERT_EQ(second.contactCount, 4u);
  for (std::uint32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(second.points[k], MgcVector3(20.0 + k, 1.0, 2.0)) << k;
    EXPECT_EQ(second.depths[k], -0.001 * (k + 1.0)) << k;
    EXPECT_EQ(second.features[k].secondFeature, k + 1) << k;
  }
  room.settleAll(
      [](CollisionPair* owner, const unsigned char* at, std::size_t bytes) { owner->settleParked(at, bytes); });
}

namespace {

/// Whether each record of the list holds a contact block, in its order.
std::vector<bool> holdingBlocks(const EngineList<CollisionPair*>& list) {
  std::vector<bool> holding;
  for (auto* node = list.getFirst(); node != nullptr; node = node->next) {
    holding.push_back(node->value->contactBytes() != 0);
  }
  return holding;
}

}  // namespace

// Dealt out, the free records keep their blocks, and those that hold one
// lead each worker's pool, ahead of those a pass left without one. After a
// pass every free record lets go of its block, set aside for the pairs the
// room holds: settling gives a pair a set-aside block of its size, and the
// rest are freed.
TEST(AllocationCounts, FreeRecordsKeepTheirBlocksUntilAPassLeavesThemUntaken) {
  PairPool pool;
  pool.setWorkerCount(2);
  ASSERT_TRUE(pool.makeFree(16));
  const std::uint32_t made = pool.recordCount();
  // A pass that took none: every free record is without a block.
  pool.retireFreeBlocks(nullptr, 2);
  EXPECT_EQ(pool.retiredBlockCount(), 0u);
  // Six records hold four contacts each, as the pairs of a step given back.
  EngineList<CollisionPair*> stepPairs;
  for (int k = 0; k < 6; ++k) {
    CollisionPair* record = pool.take(0);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(record->reserveContacts(4));
    stepPairs.append(record);
  }
  pool.giveBackAll(stepPairs);
  pool.deal(2);
  std::uint32_t dealt = 0;
  std::uint32_t holding = 0;
  for (std::uint32_t k = 0; k <= 2; ++k) {
    const std::vector<bool> blocks = holdingBlocks(*pool.freeRecords(k));
    dealt += static_cast<std::uint32_t>(blocks.size());
    const auto held = static_cast<std::uint32_t>(std::count(blocks.begin(), blocks.end(), true));
    holding += held;
    // Two of the six each, first.
    EXPECT_EQ(held, 2u) << k;
    EXPECT_TRUE(std::is_partitioned(blocks.begin(), blocks.end(), [](bool b) { return b; })) << k;
  }
  EXPECT_EQ(dealt, made);
  EXPECT_EQ(holding, 6u);
  // A pair of the pass, tested on a helper, holds a block of four in the
  // room; a pass left the six records untaken.
  ContactScratch scratch;
  RetiredBlocks ownRetired;
  ParkedBlocks& room = pool.parkedBlocks();
  pool.prepareHelpers(2, 0);
  CollisionPair pair;
  findIntoRoom(pair, scratch, 4, 5.0, ownRetired, room);
  ASSERT_TRUE(pair.holdsParkedBlock());
  pool.retireFreeBlocks(nullptr, 2);
  for (std::uint32_t k = 0; k <= 2; ++k) {
    const std::vector<bool> blocks = holdingBlocks(*pool.freeRecords(k));
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), true), 0) << k;
  }
  EXPECT_EQ(pool.retiredBlockCount(), 6u);
#ifdef ZOV_COUNTS_ALLOCATIONS
  startCounting();
#endif
  pool.settleParkedBlocks();
  pool.freeRetiredBlocks();
#ifdef ZOV_COUNTS_ALLOCATIONS
  gCounting = false;
  EXPECT_EQ(gTestThreadAllocations.load(), 0u) << "the pair takes a set-aside block";
  EXPECT_EQ(gTestThreadFrees.load(), 5u) << "the other five are freed";
#endif
  EXPECT_EQ(pool.retiredBlockCount(), 0u);
  EXPECT_FALSE(pair.holdsParkedBlock());
  ASSERT_EQ(pair.contactCount, 4u);
  for (std::uint32_t k = 0; k < 4; ++k) EXPECT_EQ(pair.points[k], MgcVector3(5.0 + k, 1.0, 2.0)) << k;
  pool.collect();
  EXPECT_EQ(pool.freeRecords(0)->getCount(), made);
  pool.freeHelperSets();
}
