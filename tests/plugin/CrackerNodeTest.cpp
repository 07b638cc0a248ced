#include <maya/MGlobal.h>

#include <cmath>
#include <string>

#include "BodyFixture.h"
#include "engine/PrivateWorld.h"
#include "src/zovCrackerNode.h"

namespace {

/// Whether the world's cracker list holds the body.
bool worldHoldsCracker(const HardBody* body) {
  const auto& crackers = static_cast<PrivateWorld*>(theWorld)->getCrackerBodies();
  for (auto* node = crackers.getFirst(); node != nullptr; node = node->next)
    if (node->value == body) return true;
  return false;
}

using zovhost::testing::hasMessage;
using zovhost::testing::MessageKind;

constexpr double kFrameRate = 24.0;

class Cracker : public BodyTest {
 protected:
  /// A cracker on the mesh of a transform, linked to the solver; answers it.
  static zovCrackerNode& attachCracker(const std::string& transform, const std::string& mesh,
                                       const std::string& solver) {
    run("createNode zovCollisionShape -n " + transform + "Collider");
    run("connectAttr " + mesh + ".worldMesh[0] " + transform + "Collider.inShape");
    run("setAttr " + transform + "Collider.type 6");
    run("createNode zovCracker -p " + transform + " -n " + transform + "Cracker");
    run("connectAttr " + transform + "Collider.outCollisionType " + transform + "Cracker.inCollisionType");
    run("connectAttr " + solver + ".crackers " + transform + "Cracker.solver");
    auto& cracker = *static_cast<zovCrackerNode*>(MFnDependencyNode(node(transform + "Cracker")).userNode());
    cracker.readParameters();
    return cracker;
  }

  /// A solver with a body far away (so that the world has one), and a unit
  /// cube cracker riding a path from frame 1 to `end`.
  zovCrackerNode& riderOn(const std::string& curve, int end, const std::string& settings = std::string()) {
    solver = makeSolver();
    makeBoxBody("far", 1, 1, 1, "100 100 100", "0 0 0", 2, solver);
    run("polyCube -n hammer");
    run(curve + " -n path");
    run("pathAnimation -c path -stu 1 -etu " + std::to_string(end) + " hammer");
    if (!settings.empty()) run(settings);
    zovCrackerNode& cracker = attachCracker("hammer", "hammerShape", solver);
    prepareSimulation(solver, 1, 30);
    return cracker;
  }
  std::string solver;
};

TEST_F(Cracker, ItsBodyIsMadeFromTheShapeVolumeAndCentre) {
  struct Case {
    const char* make;
    bool unitScale;
    double mass;
    bool warned;
  };
  const Case cases[] = {
      {"polyCube -w 2 -h 1 -d 1 -n hammer", false, 2.0, false},
      {"polyCube -w 2 -h 1 -d 1 -n hammer", true, 2.0 * 0.015, false},
      {"polyPlane -w 2 -h 2 -sx 1 -sy 1 -n hammer", false, 1.0, true},
  };
  for (const Case& c : cases) {
    const std::string solver = makeSolver();
    if (c.unitScale) run("setAttr " + solver + ".fitUnitsToMayaScale 1");
    run(c.make);
    run("setAttr hammer.translate 3 4 5");
    zovhost::testing::clearLogs();
    zovCrackerNode& cracker = attachCracker("hammer", "hammerShape", solver);
    HardBody* body = cracker.engineBody();
    ASSERT_NE(body, nullptr) << c.make;
    EXPECT_EQ(body->getType(), kCrackerBody);
    EXPECT_NEAR(body->getMass(), c.mass, 1e-6) << c.make;
    EXPECT_EQ(hasMessage(MessageKind::Warning, "body hammerCracker has no volume"), c.warned) << c.make;
    EXPECT_TRUE(cracker.isActive());
    EXPECT_TRUE(worldHoldsCracker(body));
    // The unset centre becomes the body's: the box's middle.
    const MPlug centre(node("hammerCracker"), zovCrackerNode::massCenter);
    for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(centre.child(k).asDouble(), 3.0 + k, 1e-6) << c.make;
    run("setAttr hammerCracker.enabled 0");
    run("getAttr hammerCracker.ca_enabled");
    EXPECT_FALSE(worldHoldsCracker(body));
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
  }
}

TEST_F(Cracker, ACrackerOnACurveFollowsItFrameByFrameAndTheStartPutsItBack) {
  // One unit a frame along x.
  zovCrackerNode& cracker = riderOn("curve -d 1 -p 0 0 0 -p 10 0 0 -k 0 -k 1", 11);
  HardBody* body = cracker.engineBody();
  ASSERT_NE(body, nullptr);
  for (int f = 2; f <= 6; ++f) {
    frame(f);
    EXPECT_NEAR(body->getDyn().position.x, f - 1.0, 1e-6) << f;
    EXPECT_NEAR(body->getDyn().linearVelocity.x, kFrameRate, 1e-6) << f;
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
  const Case cases[] = {
      {"", "curve -d 1 -p 0 0 0 -p 10 0 0 -k 0 -k 1", MVector(12.0, 0.0, 0.0)},
      {"setAttr hammerCracker.multiplier 2", "curve -d 1 -p 0 0 0 -p 10 0 0 -k 0 -k 1", MVector(24.0, 0.0, 0.0)},
      {"setAttr hammerCracker.type 2; setAttr hammerCracker.impulseDir 0 3 4",
       "curve -d 1 -p 0 0 0 -p 10 0 0 -k 0 -k 1", MVector(0.0, 12.0 * 0.6, 12.0 * 0.8)},
      {"setAttr hammerCracker.type 1", "curve -d 1 -p 0 0 0 -p 4 0 0 -p 4 -4 0 -k 0 -k 1 -k 2",
       MVector(0.0, 0.0, -12.0)},
  };
  for (const Case& c : cases) {
    const bool straight = std::string(c.curve).find("-p 4 -4") == std::string::npos;
    zovCrackerNode& cracker = riderOn(c.curve, straight ? 21 : 17);
    if (*c.settings != '\0') {
      run(c.settings);
      run("getAttr hammerCracker.ca_crackerParam");
    }
    frame(2);
    frame(3);
    const Mgc::MgcVector3 v = cracker.engineBody()->getDyn().linearVelocity;
    EXPECT_NEAR((MVector(v.x, v.y, v.z) - c.velocity).length(), 0.0, 1e-5) << c.settings;
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
  }
}

TEST_F(Cracker, RemovingTheNodeTakesItsBodyOutOfTheWorld) {
  solver = makeSolver();
  run("polyCube -n hammer");
  zovCrackerNode& cracker = attachCracker("hammer", "hammerShape", solver);
  const HardBody* body = cracker.engineBody();
  ASSERT_TRUE(worldHoldsCracker(body));
  zovhost::testing::setWindowExists("zovCrakersWin", true);
  run("delete hammer");
  EXPECT_EQ(zovhost::testing::flushIdleQueue(), 1u);
  EXPECT_EQ(static_cast<PrivateWorld*>(theWorld)->getCrackerBodies().getCount(), 0u);
}

}  // namespace
