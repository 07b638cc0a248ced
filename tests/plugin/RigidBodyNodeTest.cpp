#include <maya/MFnAnimCurve.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MTime.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "BodyFixture.h"
#include "SceneWorldWalk.h"
#include "testing/RenderTesting.h"

namespace {

using namespace zovhost::testing;

constexpr double kTolerance = 1e-5;

/// A closed prism over an L of three unit squares, 1 high: volume 3, while
/// its hull has volume 3.5.
std::string makeLPrism(const std::string& name) {
  const double outline[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  MPointArray points;
  for (double z : {0.0, 1.0})
    for (const auto& xy : outline) points.append(MPoint(xy[0], xy[1], z));
  MIntArray counts, corners;
  counts.append(6);
  for (int k = 5; k >= 0; --k) corners.append(k);
  counts.append(6);
  for (int k = 0; k < 6; ++k) corners.append(6 + k);
  for (int k = 0; k < 6; ++k) {
    counts.append(4);
    for (int c : {k, (k + 1) % 6, 6 + (k + 1) % 6, 6 + k}) corners.append(c);
  }
  const MObject transform = MFnMesh().create(12, 8, points, counts, corners);
  MGlobal::executeCommand(("rename " + MFnDependencyNode(transform).name().str() + " " + name).c_str());
  return MFnDependencyNode(MFnDagNode(transform).child(0)).name().str();
}

/// The single-precision gravity of the solver.
constexpr double kGravity = static_cast<double>(9.81f);

class RigidBody : public BodyTest {
 protected:
  static HardBody* pulledBody(const std::string& name) { return bodyNode(name).engineBody(true); }

  /// In a fresh host, a box thrown up and sideways from (3, 5, 0.5), turned,
  /// not damped, that flies free for the first frames of the range 1 .. 60;
  /// answers its body.
  std::string throwBox() {
    SetUp();
    const std::string solver = makeSolver();
    const std::string body = makeBoxBody("box", 1, 1, 1, "3 5 0.5", "10 20 30", 2, solver);
    run("setAttr " + body + ".linearDamping 0; setAttr " + body + ".angularDamping 0");
    setVector(body + ".initialVelocity", "1 2 0");
    prepareSimulation(solver, 1, 60);
    return body;
  }
  /// The thrown box's transform is where its free flight has it at the
  /// frame: x = 3 + t, y = 5 + 2 t - g t^2 / 2, z = 0.5, turned as thrown
  /// (the engine holds the turn in single precision).
  static void expectInFlight(int f) {
    const double t = (f - 1) / 24.0;
    EXPECT_NEAR(getDouble("box.translateX"), 3.0 + t, 1e-6) << "frame " << f;
    EXPECT_NEAR(getDouble("box.translateY"), 5.0 + 2.0 * t - 0.5 * kGravity * t * t, 1e-6) << "frame " << f;
    EXPECT_NEAR(getDouble("box.translateZ"), 0.5, 1e-6) << "frame " << f;
    const double turned[3] = {10.0, 20.0, 30.0};
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(getDouble(std::string("box.rotate") + "XYZ"[k]), turned[k], 1e-5) << "frame " << f;
  }
};

TEST_F(RigidBody, BodiesTakeTheKindTheirCollisionTypeSays) {
  struct Case {
    int type;
    bool jaggy;
    bool lShaped;
    eHBodyType kind;
  };
  const Case cases[] = {
      {0, false, false, kPhantomBody}, {1, false, false, kCapsuleBody}, {2, false, false, kHullBody},
      {3, false, false, kTriMeshBody}, {4, false, false, kHullBody},    {4, false, true, kTriMeshBody},
      {4, true, true, kHullBody},      {6, false, true, kTriMeshBody},  {6, false, false, kHullBody},
  };
  const std::string solver = makeSolver();
  int made = 0;
  for (const Case& c : cases) {
    const std::string name = "shape" + std::string(1, static_cast<char>('A' + made++));
    std::string body;
    if (c.lShaped) {
      const std::string mesh = makeLPrism(name);
      body = attachBody(name, mesh, c.type, solver);
    } else {
      body = makeBoxBody(name, 1, 1, 1, "0 0 0", "0 0 0", c.type, solver);
    }
    run("setAttr " + body + ".isJaggy " + (c.jaggy ? "1" : "0"));
    const HardBody* engine = pulledBody(body);
    ASSERT_NE(engine, nullptr) << body;
    EXPECT_EQ(engine->getType(), c.kind) << "type " << c.type << (c.lShaped ? " L" : " box");
  }
}

TEST_F(RigidBody, MassIsTheMeshVolumeAndThePoseTheTransforms) {
  struct Case {
    double w, h, d;
    const char* translate;
    const char* rotate;
    bool fitUnits;
    MVector centre;
    /// A body axis and where the transform's rotation takes it.
    MVector axis, turned;
  };
  const Case cases[] = {
      {1, 1, 1, "0 0 0", "0 0 0", false, {0, 0, 0}, {1, 0, 0}, {1, 0, 0}},
      {2, 1, 3, "1 2 3", "0 0 0", false, {1, 2, 3}, {0, 1, 0}, {0, 1, 0}},
      {2, 1, 1, "0 5 0", "0 90 0", false, {0, 5, 0}, {1, 0, 0}, {0, 0, -1}},
      {1, 4, 1, "-3 0 2", "90 0 0", false, {-3, 0, 2}, {0, 1, 0}, {0, 0, 1}},
      {2, 2, 2, "0 0 0", "0 0 0", true, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}},
  };
  int made = 0;
  for (const Case& c : cases) {
    const std::string solver = makeSolver();
    run("setAttr " + solver + ".fitUnitsToMayaScale " + (c.fitUnits ? "1" : "0"));
    const std::string body = makeBoxBody("box" + std::string(1, static_cast<char>('A' + made++)), c.w, c.h, c.d,
                                         c.translate, c.rotate, 2, solver);
    const HardBody* engine = pulledBody(body);
    ASSERT_NE(engine, nullptr) << body;
    const double volume = c.w * c.h * c.d;
    const double mass = c.fitUnits ? 0.015 * volume : volume;
    EXPECT_NEAR(engine->getMass(), mass, kTolerance * mass) << body;
    EXPECT_NEAR(getDouble(body + ".mass"), mass, kTolerance * mass) << body;
    const Mgc::MgcVector3& p = engine->getDyn().position;
    const Mgc::MgcVector3 turned = engine->getDyn().orientation * Mgc::MgcVector3(c.axis.x, c.axis.y, c.axis.z);
    for (unsigned int k = 0; k < 3; ++k) {
      EXPECT_NEAR(p[k], c.centre[k], kTolerance) << body << " centre " << k;
      EXPECT_NEAR(getDouble(body + ".massCenter" + std::to_string(k)), c.centre[k], kTolerance) << body;
      EXPECT_NEAR(turned[k], c.turned[k], kTolerance) << body << " axis " << k;
    }
  }
}

TEST_F(RigidBody, UnsetMassAndCentreAreFilledAndSetOnesKept) {
  struct Case {
    double mass;
    const char* centre;
    double massAfter;
    MVector centreAfter;
  };
  // A 2 x 1 x 1 box at (0, 3, 0): volume 2.
  const Case cases[] = {
      {0.0, "0 0 0", 2.0, {0, 3, 0}},
      {1e-6, "-1 -1 -1", 2.0, {0, 3, 0}},
      {5.0, "0.5 0 0", 5.0, {0.5, 0, 0}},
      {1e-4, "0 0 0.25", 1e-4, {0, 0, 0.25}},
  };
  const std::string solver = makeSolver();
  int made = 0;
  for (const Case& c : cases) {
    const std::string body =
        makeBoxBody("box" + std::string(1, static_cast<char>('A' + made++)), 2, 1, 1, "0 3 0", "0 0 0", 2, solver);
    run("setAttr " + body + ".mass " + std::to_string(c.mass));
    setVector(body + ".massCenter", c.centre, "012");
    const HardBody* engine = pulledBody(body);
    ASSERT_NE(engine, nullptr);
    EXPECT_NEAR(getDouble(body + ".mass"), c.massAfter, kTolerance * c.massAfter) << body;
    EXPECT_NEAR(engine->getMass(), c.massAfter, kTolerance * c.massAfter) << body;
    for (unsigned int k = 0; k < 3; ++k)
      EXPECT_NEAR(getDouble(body + ".massCenter" + std::to_string(k)), c.centreAfter[k], kTolerance) << body;
  }
}

TEST_F(RigidBody, SettingsReachTheBodyAtTheNextPullOfTheirTwin) {
  const std::string body = makeBoxBody("box", 1, 1, 1, "0 0 0", "0 0 0", 2, makeSolver());
  HardBody* engine = pulledBody(body);
  ASSERT_NE(engine, nullptr);
  // Dampings reach the engine as a tenth (single-precision 0.1).
  const double tenth = static_cast<double>(0.1f);
  EXPECT_DOUBLE_EQ(engine->getAirDampingCoeff(), 0.01 * tenth);

  run("setAttr " + body + ".bounciness 0.9");
  run("setAttr " + body + ".friction 0.2");
  run("setAttr " + body + ".linearDamping 0.5");
  run("setAttr " + body + ".angularDamping 0.25");
  run("setAttr " + body + ".gapfactor 0.125");
  run("setAttr " + body + ".mass 7");
  EXPECT_DOUBLE_EQ(engine->getRestitutionCoeff(), 0.3);
  EXPECT_NEAR(engine->getMass(), 1.0, kTolerance);

  ASSERT_EQ(bodyNode(body).engineBody(true), engine);
  EXPECT_DOUBLE_EQ(engine->getRestitutionCoeff(), 0.9);
  EXPECT_DOUBLE_EQ(engine->getFrictionCoeff(), 0.2);
  EXPECT_DOUBLE_EQ(engine->getAirDampingCoeff(), 0.5 * tenth);
  EXPECT_DOUBLE_EQ(engine->getAirDampingCoeff2(), 0.25 * tenth);
  EXPECT_DOUBLE_EQ(engine->getGapFactor(), 0.125);
  EXPECT_NEAR(engine->getMass(), 7.0, kTolerance);
  EXPECT_NEAR(1.0 / engine->getDynInit().invMass, 7.0, kTolerance);

  // A new collision type makes a new body, which holds the settings at once.
  run("setAttr boxCollider.type 3");
  const HardBody* remade = bodyNode(body).engineBody(true);
  ASSERT_NE(remade, nullptr);
  EXPECT_EQ(remade->getType(), kTriMeshBody);
  EXPECT_DOUBLE_EQ(remade->getAirDampingCoeff(), 0.5 * tenth);
  EXPECT_NEAR(remade->getMass(), 7.0, kTolerance);
}

TEST_F(RigidBody, BodiesAreNamedAfterTheirNodesWithOddSerialsTwoApart) {
  const std::string solver = makeSolver();
  std::vector<std::uint32_t> serials;
  for (const char* box : {"boxA", "boxB", "boxC"}) {
    const HardBody* engine = pulledBody(makeBoxBody(box, 1, 1, 1, "0 0 0", "0 0 0", 2, solver));
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(std::string(engine->getShape().name), std::string(box) + "Body");
    serials.push_back(engine->getSerial());
  }
  EXPECT_EQ(serials[0] % 2, 1u);
  EXPECT_EQ(serials[1], serials[0] + 2);
  EXPECT_EQ(serials[2], serials[1] + 2);
}

TEST_F(RigidBody, BadWiringMakesNoBodyAndLeavesTheNodeAlone) {
  struct Case {
    const char* name;
    void (*wire)(const std::string& body);
    MessageKind kind;
    const char* message;
  };
  const Case cases[] = {
      {"no shape", [](const std::string&) {}, MessageKind::Warning, "has no collision shape"},
      {"shape without mesh",
       [](const std::string& body) {
         run("createNode zovCollisionShape -n emptyCollider");
         run("connectAttr emptyCollider.outCollisionType " + body + ".inCollisionType");
       },
       MessageKind::Warning, "its collision shape holds no mesh"},
      {"not a shape",
       [](const std::string& body) { run("connectAttr polyCube1.subdivisionsWidth " + body + ".inCollisionType"); },
       MessageKind::Warning, "rigidBodyNode connected to a non-collision shape node!"},
      {"volume not a number",
       [](const std::string& body) {
         const double nan = std::numeric_limits<double>::quiet_NaN();
         MPointArray points;
         for (const MPoint& p : {MPoint(0, 0, 0), MPoint(1, 0, 0), MPoint(0, 1, 0), MPoint(nan, 0, 1)})
           points.append(p);
         MIntArray counts(4, 3), corners;
         for (int c : {0, 2, 1, 0, 1, 3, 1, 2, 3, 2, 0, 3}) corners.append(c);
         const MObject transform = MFnMesh().create(4, 4, points, counts, corners);
         const std::string mesh = MFnDependencyNode(MFnDagNode(transform).child(0)).name().str();
         run("createNode zovCollisionShape -n nanCollider");
         run("connectAttr " + mesh + ".worldMesh[0] nanCollider.inShape");
         run("connectAttr nanCollider.outCollisionType " + body + ".inCollisionType");
       },
       MessageKind::Warning, "has no finite volume"},
      {"flat mesh as hull",
       [](const std::string& body) {
         run("polyPlane -n floor");
         run("createNode zovCollisionShape -n floorCollider");
         run("connectAttr floorShape.worldMesh[0] floorCollider.inShape");
         run("connectAttr floorCollider.outCollisionType " + body + ".inCollisionType");
       },
       MessageKind::Warning, "cannot make a body"},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetScene();
    const std::string solver = makeSolver();
    run("polyCube -n box");
    run("createNode zovRigidBody -p box -n boxBody");
    run("connectAttr " + solver + ".rigidBodies boxBody.solver");
    c.wire("boxBody");
    zovhost::testing::flushIdleQueue();
    zovhost::testing::clearLogs();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(bodyNode("boxBody").engineBody(true), nullptr) << c.name;
    // Each reason reaches the user as a message, none as bare output.
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.name;
    EXPECT_TRUE(hasMessage(c.kind, c.message)) << c.name;
    EXPECT_EQ(theWorld->getNumberOfBodies(), 0) << c.name;
    EXPECT_EQ(zovhost::testing::idleQueueSize(), 0u) << c.name;
    zovhost::testing::flushIdleQueue();
    EXPECT_FALSE(node("boxBody").isNull()) << c.name;
    EXPECT_FALSE(node("box").isNull()) << c.name;
  }
}

TEST_F(RigidBody, KeysOnTheTransformTurnADynamicBodyIntoAnAnimatedOne) {
  struct Case {
    int passive;
    bool keyed;
    bool zovKeys;
    bool isStatic;
    int passiveAfter;
  };
  const Case cases[] = {
      {0, false, false, false, 0}, {1, false, false, true, 1}, {2, false, false, true, 2},
      {0, true, false, true, 2},   {0, true, true, false, 0},  {1, true, false, true, 1},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetScene();
    const std::string solver = makeSolver();
    run("polyCube -n box");
    if (c.keyed) {
      MFnAnimCurve curve;
      curve.create(MFnDependencyNode(node("box")).findPlug("translateX", true));
      curve.addKeyframe(MTime(1.0), 0.0);
      curve.addKeyframe(MTime(10.0), 5.0);
    }
    const std::string body = attachBody("box", "boxShape", 2, solver);
    run("setAttr " + body + ".passive " + std::to_string(c.passive));
    run("setAttr " + body + ".hasZovKeys " + (c.zovKeys ? "1" : "0"));
    zovhost::testing::clearLogs();
    const HardBody* engine = pulledBody(body);
    ASSERT_NE(engine, nullptr);
    const std::string label = "passive " + std::to_string(c.passive) + (c.keyed ? " keyed" : "");
    EXPECT_EQ(engine->isStatic(), c.isStatic) << label;
    EXPECT_EQ(static_cast<int>(getDouble(body + ".passive")), c.passiveAfter) << label;
    EXPECT_EQ(hasMessage(MessageKind::Warning, "cannot be active because it has already animation keys"),
              c.passiveAfter != c.passive)
        << label;
  }
}

TEST_F(RigidBody, ActivityFirstHitAndInitialMotionArePushedByTheirTwins) {
  const std::string body = makeBoxBody("box", 1, 1, 1, "0 0 0", "0 0 0", 2, makeSolver());
  HardBody* engine = pulledBody(body);
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(theWorld->containsBody(engine));

  struct Case {
    int firstHit;
    bool flag;
  };
  for (const Case& c : {Case{1, true}, Case{2, false}, Case{0, false}}) {
    run("setAttr " + body + ".firstHitActive " + std::to_string(c.firstHit));
    run("getAttr " + body + ".ca_activeState");
    EXPECT_EQ(engine->isFirstHit(false), c.flag) << c.firstHit;
  }
  run("setAttr " + body + ".enabled 0");
  run("getAttr " + body + ".ca_activeState");
  EXPECT_FALSE(theWorld->containsBody(engine));
  run("setAttr " + body + ".enabled 1");
  run("getAttr " + body + ".ca_activeState");
  EXPECT_TRUE(theWorld->containsBody(engine));

  setVector(body + ".initialVelocity", "1 -2 3");
  run("getAttr " + body + ".ca_initialVelocity");
  const Mgc::MgcVector3 v = engine->getDynInit().linearVelocity;
  EXPECT_EQ(MVector(v.x, v.y, v.z), MVector(1, -2, 3));
  EXPECT_EQ(getDouble(body + ".velocityY"), -2.0);
}

TEST_F(RigidBody, TheBoxIsTheShapeMeshsOrAUnitBoxWithoutAShape) {
  run("polyCube -w 2 -h 4 -d 6 -n box");
  run("createNode zovRigidBody -p box -n looseBody");
  const MBoundingBox loose = bodyNode("looseBody").boundingBox();
  EXPECT_EQ(loose.min(), MPoint(-1, -1, -1));
  EXPECT_EQ(loose.max(), MPoint(1, 1, 1));
  const std::string body = attachBody("box", "boxShape", 2, "");
  const MBoundingBox fitted = bodyNode(body).boundingBox();
  EXPECT_EQ(fitted.min(), MPoint(-1, -2, -3));
  EXPECT_EQ(fitted.max(), MPoint(1, 2, 3));
}

TEST_F(RigidBody, ChangedSettingsMarkTheLocatorForRedrawing) {
  const std::string body = makeBoxBody("box", 1, 1, 1, "0 0 0", "0 0 0", 2, "");
  const unsigned before = zovhost::testing::geometryDrawDirtyCount(node(body));
  run("setAttr " + body + ".bounciness 0.5");
  EXPECT_GT(zovhost::testing::geometryDrawDirtyCount(node(body)), before);
}

TEST_F(RigidBody, ADeletedNodesBodyLeavesTheWorld) {
  const std::string body = makeBoxBody("box", 1, 1, 1, "0 0 0", "0 0 0", 2, makeSolver());
  ASSERT_NE(pulledBody(body), nullptr);
  EXPECT_EQ(theWorld->getNumberOfBodies(), 1);
  run("delete " + body);
  EXPECT_EQ(theWorld->getNumberOfBodies(), 0);
  run("undoInfo -fl");
}

TEST_F(RigidBody, ABodyMadeAgainKeepsTheStartItsNodeHolds) {
  const struct {
    const char* label;
    int type;
    int changedAt;  ///< the frame at which its collision type is set
  } cases[] = {
      {"the same type mid-play", 2, 20}, {"a triangle mesh mid-play", 3, 20},    {"a capsule mid-play", 1, 20},
      {"automatic mid-play", 4, 20},     {"a triangle mesh at the start", 3, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string body = throwBox();
    for (int f = 2; f <= c.changedAt; ++f) frame(f);
    const double hanging = getDouble("box.translateY");
    run("setAttr boxCollider.type " + std::to_string(c.type));
    ASSERT_NE(pulledBody(body), nullptr);
    EXPECT_EQ(getDouble("box.translateY"), hanging);
    if (c.changedAt != 1) {
      // It goes on from where it stands, from rest.
      frame(c.changedAt + 1);
      EXPECT_NEAR(getDouble("box.translateY"), hanging - 0.5 * kGravity / (24.0 * 24.0), 1e-6);
      frame(1);
      EXPECT_EQ(walkSceneAgainstWorld({true}), std::vector<std::string>{});
    }
    // Back at its start, it flies from there again, as thrown.
    EXPECT_EQ(getDouble("box.translateY"), 5.0);
    for (int f = 1; f <= 12; ++f) {
      frame(f);
      expectInFlight(f);
    }
  }
}

TEST_F(RigidBody, ACentreOfMassMovedMidPlayKeepsTheBodysStartAndMotion) {
  const std::string body = throwBox();
  for (int f = 2; f <= 20; ++f) frame(f);
  // A tenth above the box's middle where it starts.
  run("setAttr " + body + ".massCenter 3 5.1 0.5");
  run("getAttr " + body + ".ca_centerMass");
  // The box stays where it is and flies on as it flew.
  expectInFlight(20);
  frame(21);
  expectInFlight(21);
  frame(1);
  EXPECT_EQ(walkSceneAgainstWorld({true}), std::vector<std::string>{});
  const Mgc::MgcVector3 centre = pulledBody(body)->getDyn().position;
  EXPECT_EQ(MVector(centre.x, centre.y, centre.z), MVector(3.0, static_cast<double>(5.1f), 0.5));
  for (int f = 1; f <= 12; ++f) {
    frame(f);
    expectInFlight(f);
  }
}

}  // namespace
