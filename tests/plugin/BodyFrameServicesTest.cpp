#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "BodyFixture.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 24.0;
const MTime kFrame1(1.0), kFrame2(2.0);

MVector hostVector(const Mgc::MgcVector3& v) { return MVector(v.x, v.y, v.z); }

class BodyFrames : public BodyTest {
 protected:
  void SetUp() override {
    BodyTest::SetUp();
    solver = makeSolver();
  }
  /// A unit cube body at (0, 2, 0), made after the setup lines.
  rigidBodyNode& cube(const std::string& setup = std::string()) {
    makeBoxBody("cube", 1, 1, 1, "0 2 0", "0 0 0", 2, solver);
    if (!setup.empty()) run(setup);
    bodyNode("cubeBody").pullAll();
    return bodyNode("cubeBody");
  }
  std::string solver;
};

TEST_F(BodyFrames, TheWrittenTransformPutsTheMeshWhereTheEngineHasIt) {
  // A rotate pivot off the centre of mass: the transform still turns about
  // the body's centre.
  rigidBodyNode& rigid = cube("setAttr cube.rotatePivot 0.5 0.5 0; setAttr cube.rotateZ 20");
  HardBody* body = rigid.engineBody(false);
  Mgc::Quaternion turn;
  turn.FromAxisAngle(Mgc::MgcVector3(1, 2, 3) / std::sqrt(14.0), 1.1);
  body->setOrientationQuat(turn * body->getDyn().orientationQuat);
  body->setPosition(body->getDyn().position + Mgc::MgcVector3(1.0, -0.5, 2.0));
  rigid.writeTransform();
  const ZOVmesh* engineMesh = body->getWorldMesh();
  MDagPath shape;
  ASSERT_TRUE(MDagPath::getAPathTo(node("cubeShape"), shape));
  MPointArray corners;
  MFnMesh(shape).getPoints(corners, MSpace::kWorld);
  // Every corner of the host's cube is a corner of the engine's.
  for (unsigned int i = 0; i < corners.length(); ++i) {
    double nearest = 1e9;
    for (std::uint32_t k = 0; k < engineMesh->numVertices; ++k)
      nearest = std::min(nearest, (MVector(corners[i]) - hostVector(engineMesh->worldVertices[k])).length());
    EXPECT_LT(nearest, 1e-5) << i;
  }
}

TEST_F(BodyFrames, KeyedTurnsGiveTheirRateUnlessTheAxesPointApart) {
  struct Case {
    double from;
    double to;
    bool set;
  };
  // 20 degrees a frame about y; from 10 degrees about y to 10 about -y the
  // axes of the two rotations point apart, and the momentum is left alone.
  for (const Case& c : {Case{10.0, 30.0, true}, Case{10.0, -10.0, false}}) {
    rigidBodyNode& rigid = cube("setAttr cube.rotateY " + std::to_string(c.from));
    run("setAttr cube.rotateY " + std::to_string(c.to));
    rigid.captureTargetPose(kFrame2);
    rigid.engineBody(false)->setAngularMomentum(Mgc::MgcVector3(0.0, 0.0, 7.0));
    rigid.computeKinematicVelocity(kFrameSeconds, kFrame1, kFrame2);
    const Mgc::MgcVector3& L = rigid.engineBody(false)->getDyn().angularMomentum;
    EXPECT_NEAR(L.y, c.set ? 20.0 * M_PI / 180.0 / kFrameSeconds : 0.0, 1e-4) << c.from;
    EXPECT_NEAR(L.z, c.set ? 0.0 : 7.0, 1e-9) << c.from;
    // No time, no velocity: nothing changes.
    rigid.computeKinematicVelocity(0.0, kFrame1, kFrame1);
    EXPECT_NEAR(L.z, c.set ? 0.0 : 7.0, 1e-9) << c.from;
    run("delete cube");
  }
}

TEST_F(BodyFrames, ADeformingMeshGivesVertexVelocitiesOrANewMeshWhenItsCountChanges) {
  // A tetrahedron of its own (not fed by a generator) whose points the test moves.
  const std::string shape =
      shapeOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {3, 3, 3, 3}, {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3});
  const MObject mesh = MPlug(node(shape), collisionShapeNode::inShape).source().node();
  const std::string transform = MFnDependencyNode(MFnDagNode(mesh).parent(0)).name().str();
  run("setAttr " + shape + ".type 3; createNode zovRigidBody -p " + transform + " -n deformer");
  run("connectAttr " + shape + ".outCollisionType deformer.inCollisionType; setAttr deformer.animated 1");
  rigidBodyNode& rigid = bodyNode("deformer");
  rigid.pullAll();
  HardBody* body = rigid.engineBody(false);
  ASSERT_EQ(body->getType(), kTriMeshBody);

  // The transform stays; every point moves 0.25 along x in one frame.
  MPointArray points;
  MFnMesh(mesh).getPoints(points);
  for (unsigned int i = 0; i < points.length(); ++i) points[i].x += 0.25;
  MFnMesh(mesh).setPoints(points);
  rigid.captureTargetPose(kFrame2);
  rigid.computeKinematicVelocity(kFrameSeconds, kFrame1, kFrame2);
  EXPECT_NEAR(body->getDyn().linearVelocity.x, 0.25 / kFrameSeconds, 1e-9);
  const ZOVmesh* worldMesh = body->getWorldMesh();
  ASSERT_EQ(worldMesh->hasVertexData, 1);
  for (std::uint32_t i = 0; i < worldMesh->numVertices; ++i) EXPECT_NEAR(worldMesh->vertexData[i].x, 6.0, 1e-9);

  // Another topology (one triangle): the body takes the new mesh.
  MIntArray counts(1, 3), corners;
  for (int v : {0, 1, 2}) corners.append(v);
  points.setLength(3);
  MFnMesh(mesh).createInPlace(3, 1, points, counts, corners);
  rigid.computeKinematicVelocity(kFrameSeconds, kFrame1, kFrame2);
  EXPECT_EQ(body->getWorldMesh()->numVertices, 3u);
}

TEST_F(BodyFrames, FrameCachesHoldWhatFitsAndGrowKeepingTheirEntries) {
  rigidBodyNode& rigid = cube();
  // Steps of {allocate (else grow), capacity, frames recorded, frames held}:
  // nothing without room; growing keeps entries, shrinking the ones that fit.
  const int steps[][4] = {{1, 0, 2, 0}, {1, 3, 5, 3}, {0, 5, 0, 3}, {0, 2, 0, 2}, {0, 0, 0, 2}, {0, 4, 5, 4}};
  for (const auto& step : steps) {
    step[0] ? rigid.allocateFrameCache(step[1], 1) : rigid.growFrameCache(step[1]);
    for (int i = 0; i < step[2]; ++i) rigid.recordFrame();
    EXPECT_EQ(rigid.cachedFrameCount(), static_cast<std::uint32_t>(step[3])) << step[1];
  }
  // The entries kept through the changes are the body's pose.
  run("setAttr cube.translateY 9");
  rigid.playCachedFrame(1);
  EXPECT_NEAR(getDouble("cube.translateY"), 2.0, 1e-6);
}

TEST_F(BodyFrames, ResizingTheCachesMovesTheTimeToTheStartAfterTheEvaluation) {
  cube();
  // The new range sizes the caches too, which sends the time to its start.
  run("playbackOptions -min 1 -max 200");
  zovhost::testing::flushIdleQueue();
  run("currentTime 7; setAttr " + solver + ".cacheSize 120");
  run("getAttr " + solver + ".ca_cacheSize");
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Warning,
                                           " ZOV cache size is less than current time range "));
  EXPECT_EQ(bodyNode("cubeBody").frameCacheCapacity(), 120u);
  EXPECT_EQ(MAnimControl::currentTime(), MTime(7.0));
  zovhost::testing::flushIdleQueue();
  EXPECT_EQ(MAnimControl::currentTime(), MTime(1.0));
  // The start was evaluated: the start pose is recorded.
  EXPECT_EQ(bodyNode("cubeBody").cachedFrameCount(), 1u);
}

}  // namespace
