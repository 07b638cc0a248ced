#include <maya/MFnDagNode.h>

#include <algorithm>
#include <cmath>

#include "CommandFixture.h"
#include "RoughenSupport.h"

namespace {

using meshtest::pathOf;
using roughtest::meshOpChain;
using roughtest::tagsOf;

class Jagginess : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    voronoiNode::setIndexCounter(0);
    zovhost::testing::cancelProgressAfter(-1);
  }
  void TearDown() override {
    zovhost::testing::cancelProgressAfter(-1);
    CommandTest::TearDown();
  }
};

TEST_F(Jagginess, AnOctantShardIsSubdividedAndRoughenedWithinItsLengthAndGivenBackWhole) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  const MDagPath shard = pathOf("cube_shard1");
  ASSERT_EQ(MFnMesh(shard).numPolygons(), 6);
  const std::vector<int> before = tagsOf(shard);
  EXPECT_EQ(std::count(before.begin(), before.end(), 1), 3);
  MPointArray corners;
  MFnMesh(shard).getPoints(corners, MSpace::kWorld);
  MBoundingBox box;
  for (unsigned int i = 0; i < corners.length(); ++i) box.expand(corners[i]);
  // The inner corner is the cube's centre; the outer planes are at +-1.
  const MPoint inner(0.0, 0.0, 0.0);

  ASSERT_TRUE(runs("zovJagginess -com -res 1 cube_shard1"));
  const std::vector<MObject> chain = meshOpChain(shard);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(MPlug(chain[0], zovMeshOpNode::operationType).asShort(), 3);
  EXPECT_EQ(MPlug(chain[1], zovMeshOpNode::operationType).asShort(), 1);
  MFnMesh mesh(shard);
  EXPECT_EQ(mesh.numPolygons(), 15);
  EXPECT_EQ(mesh.numVertices(), 20);
  const std::vector<int> tags = tagsOf(shard);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 1), 12);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 0), 3);

  const double length = MPlug(chain[0], zovMeshOpNode::lenght).asDouble();
  EXPECT_NEAR(length, 0.02, 1e-7);
  EXPECT_NEAR(MPlug(chain[0], zovMeshOpNode::scale).asDouble(), 20.0 / (2.0 * std::sqrt(3.0)), 1e-9);
  EXPECT_DOUBLE_EQ(MPlug(chain[0], zovMeshOpNode::frequency).asDouble(), 8.0);
  const double amplitude = MPlug(chain[0], zovMeshOpNode::amplitude).asDouble();
  EXPECT_DOUBLE_EQ(amplitude, 1.0);

  // Unmoved: the subdivided mesh the first node gives.
  const MPointArray flat = roughtest::pointsOf(MPlug(chain[1], zovMeshOpNode::outMesh).asMObject());
  MPointArray rough;
  mesh.getPoints(rough);
  ASSERT_EQ(flat.length(), rough.length());
  double largest = 0.0;
  int moved = 0;
  for (unsigned int i = 0; i < flat.length(); ++i) {
    const double distance = flat[i].distanceTo(rough[i]);
    largest = std::max(largest, distance);
    if (distance > 1e-6) ++moved;
    if (flat[i].distanceTo(inner) < 1e-6) {
      EXPECT_LT(distance, 1e-9) << "inner corner moved";
    }
    for (int axis = 0; axis < 3; ++axis)
      if (std::fabs(std::fabs(flat[i][axis]) - 1.0) < 1e-6) {
        EXPECT_NEAR(rough[i][axis], flat[i][axis], 1e-6) << i;
      }
  }
  EXPECT_LE(largest, length * amplitude + 1e-9);
  EXPECT_GT(moved, 0);

  ASSERT_TRUE(runs("zovJagginess -delete cube_shard1"));
  zovhost::testing::flushIdleQueue();
  MFnMesh back(shard);
  EXPECT_EQ(back.numPolygons(), 6);
  EXPECT_EQ(back.numVertices(), 8);
  EXPECT_EQ(tagsOf(shard), before);
  EXPECT_FALSE(MFnDependencyNode(shard.node()).findPlug("inMesh").isDestination());
  EXPECT_TRUE(meshOpChain(shard).empty());
}

}  // namespace
