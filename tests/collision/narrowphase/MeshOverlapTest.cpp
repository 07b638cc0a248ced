#include "engine/collision/narrowphase/MeshOverlap.h"

#include <gtest/gtest.h>

#include "collision/narrowphase/NarrowPhaseFixtures.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BCapsule.h"
#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"

using Mgc::MgcMatrix3;

namespace {

TEST(MeshOverlap, WrappersAskTheQueryEngineOnceItExists) {
  ASSERT_EQ(g_pkJump, nullptr);
  const auto cube = zovtest::boxHull({1, 1, 1}, MgcMatrix3::IDENTITY, {});
  ZOVbox farRecord{{100, 100, 100}, MgcMatrix3::IDENTITY, {1, 1, 1}};
  ZOVbox nearRecord{{1.5, 0, 0}, MgcMatrix3::IDENTITY, {1, 1, 1}};
  ZOVcapsule farCapsuleRecord{{-100, 0, 0}, {0, 0, 1}, 1.0, 0.5};
  ZOVcapsule nearCapsuleRecord{{0, 0, 1.3}, {1, 0, 0}, 1.0, 0.5};
  const BVbox far(&farRecord), near(&nearRecord);
  const BCapsule farCapsule(&farCapsuleRecord), nearCapsule(&nearCapsuleRecord);
  // Without an engine nothing can be ruled out.
  EXPECT_TRUE(meshOverlapsBox(*cube.get(), far));
  EXPECT_TRUE(meshOverlapsVolume(*cube.get(), farCapsule));

  Pk_jump jump;
  g_pkJump = &jump;
  EXPECT_FALSE(meshOverlapsBox(*cube.get(), far));
  EXPECT_TRUE(meshOverlapsBox(*cube.get(), near));
  EXPECT_FALSE(meshOverlapsVolume(*cube.get(), farCapsule));
  EXPECT_TRUE(meshOverlapsVolume(*cube.get(), nearCapsule));
  g_pkJump = nullptr;
}

}  // namespace
