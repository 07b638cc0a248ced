#include "geometry/MeshTouchTests.h"

#include <gtest/gtest.h>

#include "support/GeometryFixtures.h"

using Mgc::MgcVector3;

namespace {

std::unique_ptr<ZOVmesh> cubeAt(const MgcVector3& center, double half) {
  auto cube = zovtest::boxMesh({half, half, half});
  for (std::uint32_t i = 0; i < cube->numVertices; ++i) cube->worldVertices[i] += center;
  return cube;
}

TEST(MeshTouchTests, FaceToFaceNeedsThreeCornersOnTheOtherFace) {
  struct Case {
    const char* name;
    MgcVector3 center;
    double half;
    double tolerance;
    bool touch;
  };
  const Case cases[] = {
      {"equal cubes side by side", {1, 0, 0}, 0.5, 1e-5, true},
      {"small cube on a face", {0.75, 0.1, -0.1}, 0.25, 1e-5, true},
      {"offset so one corner each overlaps", {1, 0.8, 0.8}, 0.5, 1e-5, false},
      {"meeting along an edge only", {1, 1, 0}, 0.5, 1e-5, false},
      {"a gap of 0.1", {1.1, 0, 0}, 0.5, 0.01, false},
      {"a gap within the tolerance", {1.1, 0, 0}, 0.5, 0.2, true},
  };
  const auto a = cubeAt({0, 0, 0}, 0.5);
  for (const Case& c : cases) {
    const auto b = cubeAt(c.center, c.half);
    EXPECT_EQ(meshesTouchFaceToFace(*a, *b, c.tolerance), c.touch) << c.name;
    EXPECT_EQ(meshesTouchFaceToFace(*b, *a, c.tolerance), c.touch) << c.name << " (swapped)";
  }
}

TEST(MeshTouchTests, AtVerticesLooksAtTheFacesOfTheClosestVertices) {
  const MgcVector3 direction(1, 0, 0);
  const auto a = cubeAt({0, 0, 0}, 0.5);
  struct Case {
    const char* name;
    MgcVector3 center;
    double tolerance;
    bool touch;
  };
  const Case cases[] = {
      {"corner on corner", {1, 1, 1}, 1e-5, true},
      {"corners 0.1 apart on the diagonal", {1.1, 1.1, 1.1}, 0.05, false},
      {"the same within the tolerance", {1.1, 1.1, 1.1}, 0.2, true},
      // The offset (0.1, 0, 0) lies in the plane of the +y and +z faces.
      {"side by side with a gap", {1.1, 0, 0}, 1e-5, true},
  };
  for (const Case& c : cases) {
    const auto b = cubeAt(c.center, 0.5);
    EXPECT_EQ(meshesTouchAtVertices(*a, *b, direction, c.tolerance), c.touch) << c.name;
  }
  EXPECT_FALSE(meshesTouchAtVertices(*a, ZOVmesh(), direction, 1.0));
}

}  // namespace
