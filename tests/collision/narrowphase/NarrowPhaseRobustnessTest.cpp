#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "collision/narrowphase/NarrowPhaseFixtures.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVbox.h"
#include "math/MgcMatrix3.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::ContactArrays;
using zovtest::HullVolume;
using zovtest::Random;

namespace {

void expectFinite(const JumpState& state, const ContactArrays& c) {
  EXPECT_TRUE(zovtest::isFinite(state.direction));
  EXPECT_TRUE(zovtest::isFinite(state.lastPoint));
  if (c.count == ContactArrays::kUntouched) return;
  ASSERT_LE(c.count, kMaxJumpContacts);
  for (std::uint32_t i = 0; i < c.count; ++i) EXPECT_TRUE(zovtest::isFinite(c.points[i]));
  if (c.count > 0) {
    EXPECT_TRUE(zovtest::isFinite(c.normals[0]));
    EXPECT_TRUE(std::isfinite(c.depths[0]));
  }
}

TEST(NarrowPhaseRobustness, DegenerateShapesGiveFiniteAnswers) {
  const MgcMatrix3 turn = Random(41).rotation();
  // A unit square with a face on either side: a hull with no volume.
  const std::vector<MgcVector3> square = {{-.5, -.5, 0}, {.5, -.5, 0}, {.5, .5, 0}, {-.5, .5, 0}};
  const auto flat = [&](const MgcVector3& at) {
    return zovtest::placeHull(zovtest::polygonMesh(square, {{0, 1, 2, 3}, {0, 3, 2, 1}}), turn, at);
  };
  const auto scaled = [&](double scale, const MgcVector3& at) {
    return zovtest::placeHull(zovtest::boxMesh({.5, .3, .2}), turn, at, scale);
  };
  struct Case {
    const char* name;
    HullVolume a, b;
  };
  Case cases[] = {
      {"twins", zovtest::icosahedronHull(1, turn, {}), zovtest::icosahedronHull(1, turn, {})},
      {"flat on flat, one plane", flat({}), flat({0.3, 0, 0})},
      {"flat twins", flat({}), flat({})},
      {"flat through a box", flat({}), zovtest::boxHull({.2, .2, .2}, MgcMatrix3::IDENTITY, {})},
      {"huge", scaled(1e6, {}), scaled(1e6, {2e5, 1e5, 0})},
      {"tiny", scaled(1e-6, {}), scaled(1e-6, {2e-7, 1e-7, 0})},
      {"tiny in huge", scaled(1e-6, {}), scaled(1e6, {})},
  };
  const Pk_jump jump;
  Random random(43);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MgcVector3 centre = c.b.mesh->worldCenter;
    const double size = c.b.mesh->worldRadius;
    ZOVbox boxRecord{centre, turn, MgcVector3(size, 0, size)};
    const BVbox box(&boxRecord);
    const ZOVcapsule capsules[] = {{centre, turn.GetColumn(0), size, size}, {centre, MgcVector3(), 0.0, 0.0}};
    for (int cached = 0; cached < 2; ++cached) {
      const auto start = [&]() {
        JumpState state;
        if (cached == 1) state.direction = random.unitVector();
        return state;
      };
      JumpState state = start();
      ContactArrays contacts;
      jump.meshMeshOverlap(c.a.get(), c.b.get(), state);
      expectFinite(state, contacts);
      state = start();
      jump.meshMeshContacts(c.a.get(), c.b.get(), state, contacts.out());
      expectFinite(state, contacts);
      state = start();
      jump.meshBoxOverlap(c.a.get(), box, state);
      expectFinite(state, contacts);
      for (const ZOVcapsule& capsule : capsules) {
        state = start();
        jump.meshVolumeOverlap(c.a.get(), capsule, state);
        expectFinite(state, contacts);
        state = start();
        jump.boxConvexOverlap(box, capsule, state);
        expectFinite(state, contacts);
        state = start();
        ContactArrays capsuleContacts;
        jump.meshVolumeContacts(c.a.get(), capsule, state, capsuleContacts.out());
        expectFinite(state, capsuleContacts);
      }
      state = start();
      ContactArrays planeContacts;
      jump.meshPlaneContacts(c.a.get(), centre, turn.GetColumn(2), state, planeContacts.out());
      expectFinite(state, planeContacts);
    }
  }
}

TEST(NarrowPhaseRobustness, ConcurrentQueriesMatchSequentialOnes) {
  Random random(47);
  std::vector<HullVolume> shapes;
  for (int i = 0; i < 24; ++i)
    shapes.push_back(zovtest::randomConvexShape(random, i % 3, random.unitVector() * random.uniform(0.0, 1.0)));
  const Pk_jump jump;
  // Each pair's answer: overlap, contact count and depth.
  const auto answer = [&](std::size_t i, std::size_t j) {
    JumpState state;
    ContactArrays c;
    const int overlap = jump.meshMeshOverlap(shapes[i].get(), shapes[j].get(), state);
    const bool touching = jump.meshMeshContacts(shapes[i].get(), shapes[j].get(), state, c.out());
    return std::vector<double>{double(overlap), touching ? double(c.count) : 0.0, touching ? c.depths[0] : 0.0};
  };
  std::vector<std::vector<double>> expected;
  for (std::size_t i = 0; i < shapes.size(); ++i)
    for (std::size_t j = 0; j < shapes.size(); ++j) expected.push_back(answer(i, j));

  constexpr int kThreads = 8;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t]() {
      // Every thread asks every pair, each from its own place in the list.
      for (std::size_t n = 0; n < expected.size(); ++n) {
        const std::size_t k = (n + 71 * t) % expected.size();
        if (answer(k / shapes.size(), k % shapes.size()) != expected[k]) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
