// zovFractureBody as a user runs it: its failures, its check mode, the start
// frame, the ground, a build that gives nothing, and taking a fracture body
// away again.
#include <maya/MAnimControl.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>

#include <array>
#include <functional>
#include <sstream>

#include "FractureFixture.h"
#include "SceneWorldWalk.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/HardBody.h"
#include "support/ScratchFile.h"

namespace {

using namespace zovhost::testing;

class FractureCommand : public FractureTest {
 protected:
  static void selection(const std::vector<std::string>& bodies) {
    std::string line = "select";
    for (const std::string& body : bodies) line += " " + body;
    run(line);
  }
  /// What the world's lists hold, in their order, and each body's list,
  /// pose, motion, switches, node attributes and locks.
  static std::string sceneState(const std::vector<std::string>& bodies) {
    std::ostringstream text;
    text.precision(17);
    auto* world = static_cast<PrivateWorld*>(theWorld);
    for (const EngineList<HardBody*>* list :
         {&world->getDynamicBodies(), &world->getStaticBodies(), &world->getInactiveBodies()}) {
      text << "list:";
      for (HardBody* body : valuesOf(*list)) text << " " << body->getShape().name;
      text << "\n";
    }
    for (const std::string& name : bodies) {
      const HardBody* body = bodyNode(name).engineBody(false);
      const RBDynamics& state = body->getDyn();
      text << name << " at " << state.position.x << " " << state.position.y << " " << state.position.z << " moving "
           << state.linearVelocity.Length() << " " << state.angularVelocity.Length() << " static " << body->isStatic()
           << " active " << body->isActive() << " first hit " << const_cast<HardBody*>(body)->isFirstHit(false)
           << " parent " << (body->getParent() != nullptr) << " locked " << MFnDependencyNode(node(name)).isLocked()
           << MPlug(node(name), rigidBodyNode::mass).isLocked();
      for (const char* attribute : {"enabled", "passive", "firstHitActive", "mass", "index", "groupid"})
        text << " " << attribute << " " << getDouble(name + "." + attribute);
      text << " fracture " << MPlug(node(name), rigidBodyNode::fracture).isDestination() << "\n";
    }
    return text.str();
  }

  /// A unit cube whose faces turn inwards (its volume is negative), made a
  /// rigid body; answers the body's name.
  std::string insideOutCube(const std::string& name) {
    MPointArray points;
    for (int i = 0; i < 8; ++i) points.append(MPoint(i & 1 ? 4.5 : 3.5, i & 2 ? 0.5 : -0.5, i & 4 ? 0.5 : -0.5));
    // Each face wound clockwise seen from outside.
    const int faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    MIntArray counts, corners;
    for (const auto& face : faces) {
      counts.append(4);
      for (int k = 0; k < 4; ++k) corners.append(face[k]);
    }
    const MObject transform = MFnMesh().create(8, 6, points, counts, corners);
    run("rename " + std::string(MFnDependencyNode(transform).name().asChar()) + " " + name);
    // A triangle-mesh body keeps the faces as they turn; a hull would not.
    run("select " + name + "; new_ZOVBody -st 3");
    return "pieceZovBody" + name.substr(5);
  }
};

// A body made on the keyed transform that carries a fracture body's pieces
// becomes that fracture body's animation source; taking the body back or
// deleting it leaves the fracture body with no source, and making it again
// links it again.
TEST_F(FractureCommand, ABodyOnTheKeyedParentOfAFractureBodyBecomesItsAnimationSource) {
  const std::vector<std::string> bodies = makeBlock(2, 5.0);
  run("polyCube -n carrier");
  std::string pieces;
  for (const std::string& body : bodies) {
    const std::array<int, 3> cell = cellOf(body);
    pieces += " " + cubeName(cell[0], cell[1], cell[2]);
  }
  run("parent" + pieces + " carrier");
  run("setKeyframe -at translateX -t 1 -v 0 carrier; setKeyframe -at translateX -t 24 -v 23 carrier");
  ASSERT_TRUE(fracture(bodies));
  ASSERT_TRUE(fractureNode().hasAnimatedParentNode());
  const FractureBody& body = *fractureNode().getFractureBody();
  EXPECT_EQ(body.getAnimBody(), nullptr);
  run("select carrierShape");
  ASSERT_TRUE(runs("new_ZOVBody -st 2"));
  const HardBody* source = bodyNode("carrierZovBody").engineBody(false);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(body.getAnimBody(), source);
  EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>());
  ASSERT_TRUE(runs("undo"));
  EXPECT_TRUE(node("carrierZovBody").isNull());
  EXPECT_EQ(body.getAnimBody(), nullptr);
  EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>());
  ASSERT_TRUE(runs("redo"));
  ASSERT_NE(bodyNode("carrierZovBody").engineBody(false), nullptr);
  EXPECT_EQ(body.getAnimBody(), bodyNode("carrierZovBody").engineBody(false));
  EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>());
  // A deleted source's body is freed: the fracture body keeps no pointer to it.
  for (const char* deletion : {"delete carrierZovBody", "deleteUserNode carrierZovBody"}) {
    ASSERT_TRUE(runs(deletion)) << deletion;
    EXPECT_EQ(body.getAnimBody(), nullptr) << deletion;
    ASSERT_TRUE(runs("undo")) << deletion;
    EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>()) << deletion;
  }
}

TEST_F(FractureCommand, EachFailureSaysWhy) {
  const std::vector<std::string> bodies = makeBlock();
  run("select -cl");
  EXPECT_FALSE(runs("zovFractureBody"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "invalid selection"));

  // Without time the solver is switched off: the user is told in a dialog too.
  run("disconnectAttr time1.outTime zovSolverNode1.inTime");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(fracture(bodies));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "ZOV INFO: cannot create fracture body because zov solver is disabled"));
  EXPECT_FALSE(ranLine("confirmDialog"));
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(
      ranLine("confirmDialog -title \"Zov Info\" -button \"OK\" -defaultButton \"OK\" -message \"Zov "
              "dynamics has been disabled, clean ZOV Data for baked objects will enable it again \""));
  run("connectAttr time1.outTime zovSolverNode1.inTime");

  // Two of three bodies cannot be pieces: one is keyed, one has no engine
  // body (no collision shape).
  run("setKeyframe " + cubeName(0, 0, 0) + ".translateX");
  run("polyCube -n bare; createNode zovRigidBody -p bare -n bareBody");
  run("connectAttr zovSolverNode1.rigidBodies bareBody.solver");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(fracture({bodies[0], "bareBody", bodies[2]}));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Select at least two valid nodes"));
  EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());

  run("delete zovSolverNode1");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("select bare; zovFractureBody"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "ZOV INFO: no zov solver found, abort"));
}

TEST_F(FractureCommand, CheckingListsThePiecesOfNegativeMassAndMakesNothing) {
  std::vector<std::string> bodies = makeBlock(1);
  std::vector<std::string> result;
  run("select " + bodies[0] + " " + insideOutCube("piece900"));
  ASSERT_TRUE(runs("zovFractureBody -check true", &result));
  EXPECT_EQ(result, std::vector<std::string>{"WARNING: body pieceZovBody900 mass negative\n"});
  EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
  EXPECT_TRUE(nodesOfType("zovStressNode").empty());
  EXPECT_FALSE(MFnDependencyNode(node(bodies[0])).isLocked());
}

TEST_F(FractureCommand, AwayFromTheStartTheTimeGoesBackFirst) {
  const std::vector<std::string> bodies = makeBlock();
  run("currentTime 7");
  zovhost::testing::clearLogs();
  ASSERT_TRUE(fracture(bodies, "-dTh 0.05 -n rock"));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, " time set to start frame to create fracture body"));
  EXPECT_EQ(MAnimControl::currentTime(), MAnimControl::minTime());
  EXPECT_EQ(nodesOfType("zovFbodyNode"), std::vector<std::string>{"rock"});
  EXPECT_EQ(std::string(fractureNode("rock").getFractureBody()->getShape().name), "rock");
  EXPECT_TRUE(feeds("zovSolverNode1.fractureBodies", "rock.solver"));
}

TEST_F(FractureCommand, PiecesOnTheGroundGridStartPassiveUntilTheFirstHit) {
  run("setAttr zovSolverNode1.useGroundGrid 1; getAttr zovSolverNode1.ca_solverParams");
  const std::vector<std::string> bodies = makeBlock();
  ASSERT_TRUE(fracture(bodies));
  EXPECT_EQ(getDouble("ZovFractureBody.passive"), 1.0);
  EXPECT_EQ(getDouble("ZovFractureBody.firstHitActive"), 1.0);
  EXPECT_TRUE(fractureNode().getFractureBody()->isStatic());
  EXPECT_TRUE(fractureNode().getFractureBody()->isFirstHit(false));
}

TEST_F(FractureCommand, ABlockAboveTheGroundGridStartsMoving) {
  run("setAttr zovSolverNode1.useGroundGrid 1; getAttr zovSolverNode1.ca_solverParams");
  ASSERT_TRUE(fracture(makeBlock(2, 3.0)));
  EXPECT_EQ(getDouble("ZovFractureBody.passive"), 0.0);
  EXPECT_FALSE(fractureNode().getFractureBody()->isStatic());
}

TEST_F(FractureCommand, WithoutADistanceTheNodeKeepsZero) {
  // The nearest-joint build joins the pieces whatever the distance.
  ASSERT_TRUE(fracture(makeBlock(), "-nearest"));
  EXPECT_EQ(getDouble("ZovFractureBody.distThreshold"), 0.0);
}

TEST_F(FractureCommand, ABuildThatGivesNothingTakesEverythingBackAndFails) {
  // Two cubes far apart: no joint holds them.
  std::vector<std::string> bodies = makeBlock(1);
  run("polyCube -n piece500; setAttr piece500.translate 9 0 0; select piece500; new_ZOVBody -st 2");
  bodies.push_back("pieceZovBody500");
  zovhost::testing::clearLogs();
  std::vector<std::string> result;
  run("select " + bodies[0] + " " + bodies[1]);
  EXPECT_FALSE(runs("zovFractureBody -dTh 0.05", &result));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "distance streshold too short, increase it for the actual selection"));
  expectFreeBodiesOnly(bodies);
}

TEST_F(FractureCommand, ARefusedCommandLeavesEveryBodyAsItWasAndTheyFall) {
  struct Refusal {
    const char* what;
    const char* flags;
    bool oneBody;
    bool twoSolvers;
  };
  const Refusal refusals[] = {
      {"no distance", "", false, false},
      {"a negative distance", "-dTh -1", false, false},
      {"one body", "-dTh 0.05", true, false},
      {"bodies of two solvers", "-dTh 0.05", false, true},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    // A fresh scene for each.
    FractureTest::SetUp();
    if (refusal.twoSolvers)
      run("createNode zovSolverNode -n otherSolver; connectAttr time1.outTime otherSolver.inTime");
    const std::vector<std::string> bodies = makeBlock(2, 5.0);
    if (refusal.twoSolvers) {
      // Half the bodies go to the other solver.
      for (size_t i = 0; i < bodies.size() / 2; ++i) {
        const MPlug link(node(bodies[i]), rigidBodyNode::solver);
        const std::string from = link.source().name().asChar();
        const std::string other = from.rfind("otherSolver", 0) == 0 ? "zovSolverNode1" : "otherSolver";
        run("disconnectAttr " + from + " " + bodies[i] + ".solver");
        run("connectAttr " + other + ".rigidBodies " + bodies[i] + ".solver");
      }
    }
    prepareSimulation("zovSolverNode1", 1, 24);
    selection(refusal.oneBody ? std::vector<std::string>{bodies[0]} : bodies);
    const std::string before = sceneState(bodies);
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs(std::string("zovFractureBody ") + refusal.flags));
    EXPECT_FALSE(zovhost::testing::messages().empty());
    EXPECT_EQ(sceneState(bodies), before);
    EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
    // They fall, each on its own.
    std::vector<double> heights;
    for (const std::string& name : bodies) heights.push_back(bodyNode(name).engineBody(false)->getDyn().position.y);
    for (int f = 2; f <= 6; ++f) frame(f);
    for (size_t i = 0; i < bodies.size(); ++i)
      EXPECT_LT(bodyNode(bodies[i]).engineBody(false)->getDyn().position.y, heights[i] - 0.1) << bodies[i];
  }
}

TEST_F(FractureCommand, TheNearestBuildJoinsNoTwoPassivePieces) {
  run("polyCube -n piece700; polyCube -n piece701; setAttr piece701.translateX 1");
  run("select piece700 piece701; new_ZOVBody -a 1 -st 2");
  EXPECT_FALSE(fracture({"pieceZovBody700", "pieceZovBody701"}, "-nearest -dTh 0.05"));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "invalid selection, most objects are passive"));
  EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
}

TEST_F(FractureCommand, DeletingTheNodeDeletesItsJointNodesAndFreesThePieces) {
  const std::vector<std::string> bodies = makeBlock();
  ASSERT_TRUE(fracture(bodies));
  const std::vector<SceneStress*> linked = joints(fractureNode());
  run("delete ZovFractureBody");
  EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
  EXPECT_TRUE(nodesOfType("zovStressNode").empty());
  EXPECT_EQ(worldBodies(), 8);
  for (const std::string& name : bodies) {
    EXPECT_FALSE(MFnDependencyNode(node(name)).isLocked()) << name;
    EXPECT_EQ(bodyNode(name).fractureBodyNode(), nullptr) << name;
    EXPECT_EQ(bodyNode(name).engineBody(false)->getParent(), nullptr) << name;
  }
}

TEST_F(FractureCommand, JointNodesOfAReleasedBodyKeepNoPointerToItsJoints) {
  ASSERT_TRUE(fracture(makeBlock()));
  FractureBodyNode& fb = fractureNode();
  SceneStress& listed = *joints(fb)[0];
  listed.setBool("breakByFrame", true);
  ASSERT_EQ(fb.breakByFrameJoints().size(), 1u);
  fb.release();
  EXPECT_TRUE(fb.breakByFrameJoints().empty());
  for (SceneStress* joint : joints(fb)) {
    EXPECT_EQ(joint->getJoint(), nullptr);
    EXPECT_EQ(joint->getOwner(), nullptr);
    // An edit now reaches no joint.
    joint->setDouble("forceStrenght", 7.0);
    joint->setBool("enabled", false);
    EXPECT_EQ(joint->getForceStrength(), 7.0);
  }
}

TEST_F(FractureCommand, AJointNodeListedForBreakingThatGoesLeavesTheList) {
  ASSERT_TRUE(fracture(makeBlock()));
  FractureBodyNode& fb = fractureNode();
  SceneStress& listed = *joints(fb)[0];
  const std::string name = listed.nodeName().asChar();
  listed.setBool("breakByFrame", true);
  ASSERT_EQ(fb.breakByFrameJoints().size(), 1u);
  ASSERT_TRUE(MGlobal::executeCommand(("delete " + name).c_str(), false, false));
  EXPECT_TRUE(fb.breakByFrameJoints().empty());
  EXPECT_EQ(nodesOfType("zovStressNode").size(), 11u);
}

TEST_F(FractureCommand, SavingAndOpeningKeepsEveryNodeAttributeAndConnection) {
  ASSERT_TRUE(fracture(makeBlock()));
  // The reopened fracture body is built again with its parameters pushed:
  // saved with the threshold pushed, it reads back as it was.
  run("setAttr ZovFractureBody.stressThreshold 70; getAttr ZovFractureBody.ca_stressThreshold");
  run("setAttr ZovFractureBody.displayStressses 1");
  const std::string saved = zovhost::testing::sceneText();
  const zovtest::ScratchFile scratch{"fractureScene", ".ma"};
  const std::string& path = scratch.path;
  run("file -rename \"" + path + "\"; file -save");
  run("file -new");
  EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
  run("file -open \"" + path + "\"");
  EXPECT_EQ(zovhost::testing::sceneText(), saved);
  EXPECT_EQ(nodesOfType("zovStressNode").size(), 12u);
  EXPECT_TRUE(feeds("ZovFractureBody.rigidBodies", "pieceZovBody000.fracture"));
}

TEST_F(FractureCommand, FieldsLinkToAFractureBodyThatTakesThem) {
  ASSERT_TRUE(fracture(makeBlock()));
  const auto links = [] {
    std::vector<std::string> names;
    const MPlug list = MFnDependencyNode(node("ZovFractureBody")).findPlug("fieldList", true);
    for (unsigned int i = 0; i < list.numElements(); ++i) {
      const MPlug source = list.elementByPhysicalIndex(i).source();
      if (!source.isNull()) names.push_back(MFnDependencyNode(source.node()).name().asChar());
    }
    return names;
  };
  run("gravity -n ignored");
  EXPECT_TRUE(links().empty());
  run("setAttr ZovFractureBody.affectForceFields 1; getAttr ZovFractureBody.ca_forceFields");
  EXPECT_TRUE(fractureNode().affectsForceFields());
  run("gravity -n pull");
  EXPECT_EQ(links(), std::vector<std::string>{"pull"});
  // Named, the fracture body takes exactly the selected fields; it wins over
  // a rigid body named with it.
  run("uniform -n f1; uniform -n f2; select f2 f1");
  ASSERT_TRUE(runs("zovConnectForceFields -con -bn pieceZovBody000 -fbn ZovFractureBody"));
  EXPECT_EQ(links(), (std::vector<std::string>{"f2", "f1"}));
}

}  // namespace
