#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>

#include <cmath>
#include <string>
#include <vector>

#include "BodyFixture.h"

namespace {

using zovhost::testing::hasMessage;
using zovhost::testing::MessageKind;

constexpr double kFrameSeconds = 1.0 / 24.0;

class BodyFrames : public BodyTest {
 protected:
  void SetUp() override {
    BodyTest::SetUp();
    solver = makeSolver();
  }
  /// A unit cube body at (0, 2, 0), made after the setup lines; answers its node.
  rigidBodyNode& cube(const std::string& setup = std::string()) {
    makeBoxBody("cube", 1, 1, 1, "0 2 0", "0 0 0", 2, solver);
    if (!setup.empty()) run(setup);
    rigidBodyNode& body = bodyNode("cubeBody");
    body.pullAll();
    return body;
  }
  std::string solver;
};

Mgc::MgcVector3 positionOf(rigidBodyNode& rigid) { return rigid.engineBody(false)->getDyn().position; }

TEST_F(BodyFrames, PlacingAtAFractionGoesFromTheFramesStartToItsTarget) {
  rigidBodyNode& rigid = cube();
  rigid.bodyFromMaya(MTime(1.0), false);
  run("setAttr cube.translate 4 6 -2");
  rigid.captureTargetPose(MTime(2.0));
  const double expected[][4] = {{0.0, 0.0, 2.0, 0.0}, {0.25, 1.0, 3.0, -0.5}, {1.0, 4.0, 6.0, -2.0}};
  for (const auto& e : expected) {
    rigid.placeAtFraction(e[0], MTime(1.0), MTime(2.0));
    const Mgc::MgcVector3 p = positionOf(rigid);
    EXPECT_NEAR(p.x, e[1], 1e-6);
    EXPECT_NEAR(p.y, e[2], 1e-6);
    EXPECT_NEAR(p.z, e[3], 1e-6);
  }
}

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
  MPointArray hostPoints;
  MDagPath shapePath;
  ASSERT_TRUE(MDagPath::getAPathTo(node("cubeShape"), shapePath));
  MFnMesh(shapePath).getPoints(hostPoints, MSpace::kWorld);
  ASSERT_EQ(hostPoints.length(), engineMesh->numVertices);
  // Every corner of the host's cube is a corner of the engine's.
  for (unsigned int i = 0; i < hostPoints.length(); ++i) {
    double nearest = 1e9;
    for (std::uint32_t k = 0; k < engineMesh->numVertices; ++k) {
      const Mgc::MgcVector3& v = engineMesh->worldVertices[k];
      nearest = std::min(
          nearest, (MVector(hostPoints[i].x, hostPoints[i].y, hostPoints[i].z) - MVector(v.x, v.y, v.z)).length());
    }
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
  // axes of the two rotations point apart.
  for (const Case& c : {Case{10.0, 30.0, true}, Case{10.0, -10.0, false}}) {
    rigidBodyNode& rigid = cube();
    run("setAttr cube.rotateY " + std::to_string(c.from));
    rigid.bodyFromMaya(MTime(1.0), false);
    run("setAttr cube.rotateY " + std::to_string(c.to));
    rigid.captureTargetPose(MTime(2.0));
    rigid.engineBody(false)->setAngularMomentum(Mgc::MgcVector3(0.0, 0.0, 7.0));
    rigid.computeKinematicVelocity(kFrameSeconds, MTime(1.0), MTime(2.0));
    const Mgc::MgcVector3 L = rigid.engineBody(false)->getDyn().angularMomentum;
    const double rate = 20.0 * M_PI / 180.0 / kFrameSeconds;
    EXPECT_NEAR(L.y, c.set ? rate : 0.0, 1e-4) << c.from;
    EXPECT_NEAR(L.z, c.set ? 0.0 : 7.0, 1e-9) << c.from;
    // No time, no velocity: nothing changes.
    rigid.computeKinematicVelocity(0.0, MTime(1.0), MTime(1.0));
    EXPECT_EQ(rigid.engineBody(false)->getDyn().angularMomentum.z, L.z);
    run("delete cube");
  }
}

TEST_F(BodyFrames, ADeformingMeshGivesVertexVelocitiesOrANewMeshWhenItsCountChanges) {
  // A mesh of its own (not fed by a generator) whose points the test moves.
  const std::vector<MPoint> corners = {{-0.5, -0.5, 0.5}, {0.5, -0.5, 0.5}, {0.5, 0.5, 0.5},   {-0.5, 0.5, 0.5},
                                       {-0.5, 0.5, -0.5}, {0.5, 0.5, -0.5}, {0.5, -0.5, -0.5}, {-0.5, -0.5, -0.5}};
  const std::string shape =
      shapeOf(corners, {4, 4, 4, 4, 4, 4}, {0, 1, 2, 3, 3, 2, 5, 4, 4, 5, 6, 7, 7, 6, 1, 0, 1, 6, 5, 2, 7, 0, 3, 4});
  const MObject meshNode = MPlug(node(shape), collisionShapeNode::inShape).source().node();
  const std::string mesh = MFnDependencyNode(meshNode).name().str();
  const std::string transform = MFnDependencyNode(MFnDagNode(meshNode).parent(0)).name().str();
  run("setAttr " + shape + ".type 3");
  run("createNode zovRigidBody -p " + transform + " -n deformer");
  run("connectAttr " + solver + ".rigidBodies deformer.solver");
  run("connectAttr " + shape + ".outCollisionType deformer.inCollisionType");
  run("setAttr deformer.animated 1");
  rigidBodyNode& rigid = bodyNode("deformer");
  rigid.pullAll();
  ASSERT_EQ(rigid.engineBody(false)->getType(), kTriMeshBody);
  rigid.bodyFromMaya(MTime(1.0), false);

  // The transform stays; every point moves 0.25 along x in one frame.
  MPointArray moved;
  for (const MPoint& p : corners) moved.append(p + MVector(0.25, 0.0, 0.0));
  MFnMesh(meshNode).setPoints(moved);
  rigid.captureTargetPose(MTime(2.0));
  rigid.computeKinematicVelocity(kFrameSeconds, MTime(1.0), MTime(2.0));
  const HardBody* body = rigid.engineBody(false);
  EXPECT_NEAR(body->getDyn().linearVelocity.x, 0.25 / kFrameSeconds, 1e-9);
  const ZOVmesh* worldMesh = const_cast<HardBody*>(body)->getWorldMesh();
  ASSERT_EQ(worldMesh->hasVertexData, 1);
  for (std::uint32_t i = 0; i < worldMesh->numVertices; ++i) EXPECT_NEAR(worldMesh->vertexData[i].x, 6.0, 1e-9);

  // Another topology: the body takes the new mesh instead.
  const std::vector<MPoint> tetra = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  MPointArray points;
  for (const MPoint& p : tetra) points.append(p);
  MIntArray counts, indices;
  for (int face : {3, 3, 3, 3}) counts.append(face);
  for (int v : {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3}) indices.append(v);
  MFnMesh(meshNode).createInPlace(4, 4, points, counts, indices);
  rigid.computeKinematicVelocity(kFrameSeconds, MTime(1.0), MTime(2.0));
  EXPECT_EQ(const_cast<HardBody*>(body)->getWorldMesh()->numVertices, 4u);
}

TEST_F(BodyFrames, FrameCachesHoldWhatFitsAndGrowKeepingTheirEntries) {
  rigidBodyNode& rigid = cube();
  const auto recordFrames = [&rigid](int count) {
    for (int i = 0; i < count; ++i) rigid.recordFrame();
  };
  rigid.allocateFrameCache(0, 1);
  recordFrames(2);
  EXPECT_EQ(rigid.cachedFrameCount(), 0u);
  rigid.playCachedFrame(0);
  EXPECT_DOUBLE_EQ(getDouble("cube.translateY"), 2.0);

  rigid.allocateFrameCache(3, 1);
  recordFrames(5);
  EXPECT_EQ(rigid.cachedFrameCount(), 3u);
  struct Step {
    int capacity;
    std::uint32_t kept;
  };
  for (const Step& step : {Step{5, 3}, Step{2, 2}, Step{0, 2}, Step{4, 2}}) {
    rigid.growFrameCache(step.capacity);
    EXPECT_EQ(rigid.cachedFrameCount(), step.kept) << step.capacity;
  }
  EXPECT_EQ(rigid.frameCacheCapacity(), 4u);
  recordFrames(5);
  EXPECT_EQ(rigid.cachedFrameCount(), 4u);
  // Entries kept through the changes are the body's pose.
  run("setAttr cube.translateY 9");
  rigid.playCachedFrame(1);
  EXPECT_NEAR(getDouble("cube.translateY"), 2.0, 1e-6);
}

TEST_F(BodyFrames, ResizingTheCachesMovesTheTimeToTheStartAfterTheEvaluation) {
  cube();
  run("playbackOptions -min 1 -max 200");
  run("currentTime 7");
  zovhost::testing::flushIdleQueue();
  zovhost::testing::clearLogs();
  run("setAttr " + solver + ".cacheSize 120");
  run("getAttr " + solver + ".ca_cacheSize");
  EXPECT_TRUE(hasMessage(MessageKind::Warning, " ZOV cache size is less than current time range "));
  EXPECT_EQ(bodyNode("cubeBody").frameCacheCapacity(), 120u);
  EXPECT_EQ(MAnimControl::currentTime(), MTime(7.0));
  zovhost::testing::flushIdleQueue();
  EXPECT_EQ(MAnimControl::currentTime(), MTime(1.0));
  // The start was evaluated: the start pose is recorded.
  EXPECT_EQ(bodyNode("cubeBody").cachedFrameCount(), 1u);
}

}  // namespace
