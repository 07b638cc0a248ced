
#include <string>

#include "BodyFixture.h"
#include "engine/PrivateWorld.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

using namespace zovhost::testing;

/// Whether the world's cracker list holds the body.
bool worldHoldsCracker(const HardBody* body) {
  for (auto* node = static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getFirst(); node; node = node->next)
    if (node->value == body) return true;
  return false;
}

class Cracker : public BodyTest {
 protected:
  /// A solver, then the lines, then a cracker on the mesh "hammer" linked
  /// to the solver, its settings pulled; answers it.
  zovCrackerNode& hammer(const std::string& lines) {
    solver = makeSolver();
    run(lines);
    run("createNode zovCollisionShape -n collider; connectAttr hammerShape.worldMesh[0] collider.inShape");
    run("setAttr collider.type 6; createNode zovCracker -p hammer -n cracker");
    run("connectAttr collider.outCollisionType cracker.inCollisionType; connectAttr " + solver +
        ".crackers cracker.solver");
    auto& cracker = *static_cast<zovCrackerNode*>(MFnDependencyNode(node("cracker")).userNode());
    cracker.readParameters();
    return cracker;
  }
  /// A unit cube cracker riding a curve from frame 1 to `end`, a body far
  /// away (so that the world has one), the simulation ready.
  zovCrackerNode& rider(const std::string& curve, int end) {
    zovCrackerNode& cracker = hammer("polyCube -n hammer; " + curve + " -n path; pathAnimation -c path -stu 1 -etu " +
                                     std::to_string(end) + " hammer; polyCube -n far; setAttr far.translateY 100");
    attachBody("far", "farShape", 2, solver);
    prepareSimulation(solver, 1, 30);
    return cracker;
  }
  std::string solver;
};

TEST_F(Cracker, ItsBodyIsMadeFromTheShapeVolumeAndCentre) {
  struct Case {
    const char* lines;
    double mass;
    bool warned;
  };
  const Case cases[] = {
      {"polyCube -w 2 -h 1 -d 1 -n hammer", 2.0, false},
      {"polyCube -w 2 -h 1 -d 1 -n hammer; setAttr zovSolverNode1.fitUnitsToMayaScale 1", 2.0 * 0.015, false},
      {"polyPlane -w 2 -h 2 -sx 1 -sy 1 -n hammer", 1.0, true},
  };
  for (const Case& c : cases) {
    zovCrackerNode& cracker = hammer(std::string(c.lines) + "; setAttr hammer.translate 3 4 5");
    HardBody* body = cracker.engineBody();
    ASSERT_NE(body, nullptr) << c.lines;
    EXPECT_NEAR(body->getMass(), c.mass, 1e-6) << c.lines;
    EXPECT_EQ(hasMessage(MessageKind::Warning, "body cracker has no volume"), c.warned) << c.lines;
    EXPECT_TRUE(cracker.isActive() && worldHoldsCracker(body));
    // The unset centre becomes the body's: the middle of the shape.
    const MPlug centre(node("cracker"), zovCrackerNode::massCenter);
    for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(centre.child(k).asDouble(), 3.0 + k, 1e-6) << c.lines;
    run("setAttr cracker.enabled 0; getAttr cracker.ca_enabled");
    EXPECT_FALSE(worldHoldsCracker(body));
    run("setAttr cracker.enabled 1; getAttr cracker.ca_enabled");
    // Deleting the node takes the body along and refreshes an open panel.
    zovhost::testing::setWindowExists("zovCrakersWin", true);
    run("delete hammer");
    EXPECT_EQ(zovhost::testing::flushIdleQueue(), 1u);
    EXPECT_EQ(static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getCount(), 0u);
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
  }
}

TEST_F(Cracker, ACrackerOnACurveFollowsItFrameByFrameAndTheStartPutsItBack) {
  // One unit a frame along x: 24 units a second.
  HardBody* body = rider("curve -d 1 -p 0 0 0 -p 10 0 0 -k 0 -k 1", 11).engineBody();
  for (int f = 2; f <= 6; ++f) {
    frame(f);
    EXPECT_NEAR(body->getDyn().position.x, f - 1.0, 1e-6) << f;
    EXPECT_NEAR(body->getDyn().linearVelocity.x, 24.0, 1e-6) << f;
  }
  frame(1);
  EXPECT_NEAR(body->getDyn().position.x, 0.0, 1e-9);
  EXPECT_NEAR(getDouble("hammer.translateX"), 0.0, 1e-9);
}

TEST_F(Cracker, TheVelocityTakesTheMultiplierAndTheAlignmentsDirection) {
  struct Case {
    const char* settings;
    const char* curve;
    MVector velocity;
  };
  // Half a unit a frame along x; the surface alignment of an L turning down
  // is across the path, out of its plane: -z.
  const char* const straight = "curve -d 1 -p 0 0 0 -p 10 0 0 -k 0 -k 1";
  const char* const bent = "curve -d 1 -p 0 0 0 -p 5 0 0 -p 5 -5 0 -k 0 -k 1 -k 2";
  const Case cases[] = {
      {"setAttr cracker.multiplier 1", straight, MVector(12.0, 0.0, 0.0)},
      {"setAttr cracker.multiplier 2", straight, MVector(24.0, 0.0, 0.0)},
      {"setAttr cracker.type 2; setAttr cracker.impulseDir 0 3 4", straight, MVector(0.0, 12.0 * 0.6, 12.0 * 0.8)},
      {"setAttr cracker.type 1", bent, MVector(0.0, 0.0, -12.0)},
  };
  for (const Case& c : cases) {
    zovCrackerNode& cracker = rider(c.curve, 21);
    run(std::string(c.settings) + "; getAttr cracker.ca_crackerParam");
    frame(2);
    frame(3);
    const Mgc::MgcVector3 v = cracker.engineBody()->getDyn().linearVelocity;
    EXPECT_NEAR((MVector(v.x, v.y, v.z) - c.velocity).length(), 0.0, 1e-5) << c.settings;
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
  }
}

}  // namespace
