#include "engine/collision/MeshOverlap.h"

#include <gtest/gtest.h>

#include "engine/collision/PkJump.h"
#include "geometry/BCapsule.h"
#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;

namespace {

TEST(MeshOverlap, OverlapWrappersAnswerTrueWithoutAQueryEngine) {
  ASSERT_EQ(g_pkJump, nullptr);
  auto cube = zovtest::boxMesh({1, 1, 1});
  BVmesh mesh;
  ASSERT_TRUE(mesh.init(cube.get(), kMeshHullMode));
  ZOVbox far{{100, 100, 100}, MgcMatrix3::IDENTITY, {1, 1, 1}};
  ZOVcapsule farCapsule{{-100, 0, 0}, {0, 0, 1}, 1.0, 0.5};
  BVbox box(&far);
  BCapsule capsule(&farCapsule);
  EXPECT_TRUE(meshOverlapsBox(mesh, box));
  EXPECT_TRUE(meshOverlapsVolume(mesh, capsule));
}

}  // namespace
