// The fracture body node and its build: joints between face neighbours,
// strengths from the threshold by clusters, groups and masses, the node's
// twins.
#include <maya/MDagPath.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "FractureFixture.h"
#include "SceneWorldWalk.h"
#include "engine/bodies/PrivateHardBody.h"
#include "src/nodeLinks.h"
#include "src/shatter/voronoiNode.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "support/ScratchFile.h"

namespace {

using namespace zovhost::testing;
using Cell = std::array<int, 3>;

constexpr double kSingleTenth = 0.10000000149011612;

class FractureBuild : public FractureTest {
 protected:
  /// The block made a fracture body; its node.
  FractureBodyNode& builtBlock() {
    block = makeBlock();
    EXPECT_TRUE(fracture(block));
    return fractureNode();
  }
  static double strength(const SceneStress& joint) { return joint.getForceStrength(); }
  /// Sets an int attribute of the fracture body node and pulls its twin.
  static void setAndPull(const std::string& attribute, int value, const std::string& twin) {
    run("setAttr ZovFractureBody." + attribute + " " + std::to_string(value));
    run("getAttr ZovFractureBody." + twin);
  }

  std::vector<std::string> block;
};

TEST_F(FractureBuild, ABlockOfEightCubesGetsOneJointPerFaceNeighbourPair) {
  FractureBodyNode& fb = builtBlock();
  EXPECT_EQ(nodesOfType("zovFbodyNode"), std::vector<std::string>{"ZovFractureBody"});
  EXPECT_EQ(nodesOfType("zovStressNode").size(), 12u);

  // Face neighbours by brute force over the block's cells.
  std::set<std::pair<Cell, Cell>> expected;
  for (const std::string& a : block)
    for (const std::string& b : block) {
      const Cell ca = cellOf(a), cb = cellOf(b);
      int differing = 0, apart = 0;
      for (int k = 0; k < 3; ++k) {
        differing += ca[k] != cb[k];
        apart += std::abs(ca[k] - cb[k]);
      }
      if (differing == 1 && apart == 1 && ca < cb) expected.insert({ca, cb});
    }
  ASSERT_EQ(expected.size(), 12u);

  std::set<std::pair<Cell, Cell>> found;
  for (SceneStress* joint : joints(fb)) {
    ASSERT_NE(joint, nullptr);
    ASSERT_NE(joint->getJoint(), nullptr);
    const DynamicStress& engine = *joint->getJoint();
    EXPECT_EQ(joint->nodeName(), MString(engine.getName()));
    EXPECT_EQ(joint->body1Name(), MString(engine.getCNode()->getShape().name));
    EXPECT_EQ(joint->body2Name(), MString(engine.getPNode()->getShape().name));
    const Cell a = cellOf(joint->body1Name().asChar()), b = cellOf(joint->body2Name().asChar());
    EXPECT_NE(node(joint->body1Name().asChar()).isNull(), true);
    found.insert({std::min(a, b), std::max(a, b)});
    // The centre of the shared face.
    float at[3];
    joint->getPosition(at);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(at[k], 0.5 * (a[k] + b[k]) + 0.5, 1e-9) << joint->nodeName();
    EXPECT_EQ(joint->getOwner(), &fb);
  }
  EXPECT_EQ(found, expected);

  // The pieces are locked and owned; the fracture body is one body in the world.
  double pieceMass = 0.0;
  for (const std::string& name : block) {
    EXPECT_TRUE(MFnDependencyNode(node(name)).isLocked()) << name;
    EXPECT_TRUE(MPlug(node(name), rigidBodyNode::mass).isLocked()) << name;
    EXPECT_EQ(bodyNode(name).fractureBodyNode(), &fb) << name;
    pieceMass += bodyNode(name).engineBody(false)->getMass();
  }
  EXPECT_TRUE(bodyNode(block[0]).isFirstPiece());
  FractureBody* body = fb.getFractureBody();
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(worldBodies(), 1);
  EXPECT_TRUE(theWorld->containsBody(body));
  EXPECT_NEAR(body->getMass(), pieceMass, 1e-9 * pieceMass);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(body->getDyn().position[k], 1.0, 1e-9);
}

TEST_F(FractureBuild, StrengthsAreTheThresholdExceptAcrossClusterLabels) {
  FractureBodyNode& fb = builtBlock();
  ASSERT_GT(fb.getFractureBody()->clusterIdOf(), 0u);
  for (SceneStress* joint : joints(fb)) {
    const DynamicStress& engine = *joint->getJoint();
    const bool acrossLabels = engine.getCNode()->getShape().tag != engine.getPNode()->getShape().tag;
    EXPECT_EQ(strength(*joint), acrossLabels ? 0.0 : 50.0) << joint->nodeName();
    EXPECT_EQ(engine.get_break_tolerance(), strength(*joint));
  }
  setAndPull("randomThreshold", 0, "ca_randomThreshold");
  for (SceneStress* joint : joints(fb)) EXPECT_EQ(strength(*joint), 50.0) << joint->nodeName();
}

TEST_F(FractureBuild, RandomThresholdsLabelByTensAndZeroExactlyTheJointsAcrossLabels) {
  FractureBodyNode& fb = builtBlock();
  FractureBody& body = *fb.getFractureBody();
  const std::uint32_t depth = body.clusterIdOf();
  const struct { int value, step; } cases[] = {{0, 0}, {9, 0}, {10, 10}, {45, 40}, {99, 90}, {100, 100}};
  for (const auto& c : cases) {
    // Through another value, so that the twin computes again.
    setAndPull("randomThreshold", c.value == 50 ? 60 : 50, "ca_randomThreshold");
    setAndPull("randomThreshold", c.value, "ca_randomThreshold");
    EXPECT_EQ(fb.getRandomThresholdStep(), c.step) << c.value;
    // The labels are those of the engine's labelling at n = depth * step / 100.
    std::map<const PrivateHardBody*, std::int32_t> labels;
    for (PrivateHardBody* piece : valuesOf(body.getPieces())) labels[piece] = piece->getShape().tag;
    body.labelClusters(static_cast<std::uint32_t>(depth * c.step / 100));
    for (PrivateHardBody* piece : valuesOf(body.getPieces()))
      EXPECT_EQ(piece->getShape().tag, labels[piece]) << c.value;
    for (SceneStress* joint : joints(fb)) {
      const DynamicStress& engine = *joint->getJoint();
      const bool across = labels[engine.getCNode()] != labels[engine.getPNode()];
      EXPECT_EQ(strength(*joint), across ? 0.0 : 50.0) << c.value << " " << joint->nodeName();
    }
  }
}

TEST_F(FractureBuild, GroupsWeakenAndStaticPiecesFreeTheirJoints) {
  FractureBodyNode& fb = builtBlock();
  // Two shatter groups: the cubes at x = 0 and those at x = 1.
  for (const std::string& name : block) bodyNode(name).setGroupId(cellOf(name)[0]);
  setAndPull("randomThreshold", 0, "ca_randomThreshold");
  for (SceneStress* joint : joints(fb)) {
    const bool across = cellOf(joint->body1Name().asChar())[0] != cellOf(joint->body2Name().asChar())[0];
    EXPECT_EQ(strength(*joint), across ? 50.0 * kSingleTenth : 50.0) << joint->nodeName();
  }
  // A static piece holds nothing.
  bodyNode(block[0]).engineBody(false)->enableStatic();
  setAndPull("randomThreshold", 10, "ca_randomThreshold");
  setAndPull("randomThreshold", 0, "ca_randomThreshold");
  int touching = 0;
  for (SceneStress* joint : joints(fb)) {
    const bool touches = joint->body1Name() == block[0].c_str() || joint->body2Name() == block[0].c_str();
    touching += touches;
    if (touches)
      EXPECT_EQ(strength(*joint), 0.0) << joint->nodeName();
    else
      EXPECT_GT(strength(*joint), 0.0) << joint->nodeName();
  }
  EXPECT_EQ(touching, 3);
}

TEST_F(FractureBuild, StressToMassScalesByThePairsMassAgainstTheMean) {
  block = makeBlock();
  // The first cube weighs twice the others.
  run("setAttr " + block[0] + ".mass 2; getAttr " + block[0] + ".ca_rigidBodyParam");
  ASSERT_TRUE(fracture(block));
  FractureBodyNode& fb = fractureNode();
  setAndPull("randomThreshold", 0, "ca_randomThreshold");
  const std::vector<SceneStress*> all = joints(fb);
  const auto massOf = [&](const MString& name) { return name == block[0].c_str() ? 2.0 : 1.0; };
  double mean = 0.0;
  for (SceneStress* joint : all) mean += 0.5 * (massOf(joint->body1Name()) + massOf(joint->body2Name()));
  mean /= static_cast<double>(all.size());
  bool someScaled = false;
  for (SceneStress* joint : all) {
    const double m = massOf(joint->body1Name()) + massOf(joint->body2Name());
    double r = std::sqrt(m / 2.0 / mean);
    if (r < 0.3) r = 0.0;
    const double f = std::min(1.0, r);
    someScaled = someScaled || f < 1.0;
    EXPECT_NEAR(strength(*joint), 50.0 * f, 1e-12) << joint->nodeName();
    EXPECT_TRUE(joint->isEnabled());
    EXPECT_TRUE(joint->hasTorsion());
  }
  EXPECT_TRUE(someScaled);

  // Equal masses keep the strengths.
  run("setAttr ZovFractureBody.stress2mass 0; getAttr ZovFractureBody.ca_stress2mass");
  for (SceneStress* joint : all) EXPECT_EQ(strength(*joint), 50.0);
}

TEST_F(FractureBuild, StressToMassWithoutAJointBetweenMovingPiecesLeavesFiniteStrengths) {
  FractureBodyNode& fb = builtBlock();
  for (const std::string& name : block) bodyNode(name).engineBody(false)->enableStatic();
  fb.applyJointForce();
  for (SceneStress* joint : joints(fb)) {
    EXPECT_TRUE(std::isfinite(strength(*joint))) << joint->nodeName();
    EXPECT_EQ(strength(*joint), 0.0);
    EXPECT_TRUE(joint->isEnabled());
  }
}

TEST_F(FractureBuild, TwinsAnswerTrueButSelectionAndStressDisplayTheirValues) {
  builtBlock();
  const char* const twins[] = {
      "ca_initialVelocity", "ca_initialSpin", "ca_stressThreshold", "ca_randomThreshold", "ca_propStyle", "ca_enabled",
      "ca_firstHit",        "ca_stress2mass", "ca_unbreakable",     "ca_secCracks",       "ca_mass",      "ca_friction",
      "ca_bounciness",      "ca_airdamping",  "ca_angdamping",      "ca_forceFields",     "ca_passive",   "ca_index"};
  zovhost::testing::clearLogs();
  for (bool released : {false, true}) {
    if (released) fractureNode().release();
    for (const char* twin : twins) {
      // Each twin computes again after its input changed.
      run(std::string("dgdirty ZovFractureBody.") + twin);
      EXPECT_EQ(getDouble(std::string("ZovFractureBody.") + twin), 1.0) << twin << " released " << released;
    }
    for (int value : {1, 0}) {
      run("setAttr ZovFractureBody.selected " + std::to_string(value));
      EXPECT_EQ(getDouble("ZovFractureBody.ca_selected"), value);
      run("setAttr ZovFractureBody.displayStressses " + std::to_string(value));
      EXPECT_EQ(getDouble("ZovFractureBody.ca_disStresses"), value);
    }
  }
  for (const auto& message : zovhost::testing::messages()) EXPECT_NE(message.kind, MessageKind::Error) << message.text;
  EXPECT_EQ(fractureNode().getFractureBody(), nullptr);
}

TEST_F(FractureBuild, FirstHitOffClearsTheFlagAndPutsTheBodyBackEnabled) {
  FractureBodyNode& fb = builtBlock();
  FractureBody& body = *fb.getFractureBody();
  setAndPull("firstHitActive", 1, "ca_firstHit");
  EXPECT_TRUE(body.isFirstHit(false));
  theWorld->removeBody(&body);
  run("setAttr ZovFractureBody.enabled 0");
  setAndPull("firstHitActive", 0, "ca_firstHit");
  EXPECT_FALSE(body.isFirstHit(false));
  EXPECT_TRUE(theWorld->containsBody(&body));
  EXPECT_EQ(getDouble("ZovFractureBody.enabled"), 1.0);
  EXPECT_EQ(getDouble("ZovFractureBody.index"), static_cast<double>(body.getShape().id));
}

TEST_F(FractureBuild, ParametersReachTheEngineBody) {
  FractureBodyNode& fb = builtBlock();
  FractureBody& body = *fb.getFractureBody();
  run("setAttr ZovFractureBody.friction 0.25; getAttr ZovFractureBody.ca_friction");
  run("setAttr ZovFractureBody.bounciness 0.5; getAttr ZovFractureBody.ca_bounciness");
  run("setAttr ZovFractureBody.linearDamping 0.5; getAttr ZovFractureBody.ca_airdamping");
  run("setAttr ZovFractureBody.unbreakable 1; getAttr ZovFractureBody.ca_unbreakable");
  run("setAttr ZovFractureBody.propStyle 1; getAttr ZovFractureBody.ca_propStyle");
  run("setAttr ZovFractureBody.passive 1; getAttr ZovFractureBody.ca_passive");
  EXPECT_EQ(body.getFrictionCoeff(), 0.25);
  EXPECT_EQ(body.getRestitutionCoeff(), 0.5);
  EXPECT_EQ(body.getAirDampingCoeff(), 0.5 * kSingleTenth);
  EXPECT_FALSE(body.isBreakable());
  EXPECT_EQ(body.getPropagationType(), 1);
  EXPECT_TRUE(body.isStatic());
  run("setAttr ZovFractureBody.stressThreshold 80; getAttr ZovFractureBody.ca_stressThreshold");
  EXPECT_EQ(body.getGlobalStressThreshold(), 80.0);
  run("setAttr ZovFractureBody.mass 3; getAttr ZovFractureBody.ca_mass");
  EXPECT_NEAR(body.getMass(), 3.0, 1e-6);
  EXPECT_NEAR(body.getSecImpactsReferenceMass(), 3.0, 1e-6);
}

// What the fracture body node says of breaking, bouncing and being on,
// set without its twin being read, reaches the engine when one of the
// pieces pulls all its own twins.
TEST_F(FractureBuild, APiecesPullAllBringsItsFractureBodysSettingsToTheEngine) {
  FractureBodyNode& fb = builtBlock();
  FractureBody& body = *fb.getFractureBody();
  rigidBodyNode& piece = bodyNode(block[3]);
  auto* pieceBody = static_cast<PrivateHardBody*>(piece.engineBody(false));
  // The strongest joint of the piece: the threshold's strength.
  const auto strongest = [&] {
    double most = 0.0;
    for (const DynamicStress* joint : valuesOf(pieceBody->getJointList()))
      most = std::max(most, joint->get_break_tolerance());
    return most;
  };
  ASSERT_EQ(strongest(), 50.0);
  const struct {
    const char* line;
    std::function<bool()> reached;
  } rows[] = {
      {"stressThreshold 80", [&] { return body.getGlobalStressThreshold() == 80.0 && strongest() == 80.0; }},
      {"propStyle 1", [&] { return body.getPropagationType() == 1; }},
      {"randomThreshold 30", [&] { return fb.getRandomThresholdStep() == 30; }},
      {"secCracks 0", [&] { return !body.isSecImpacts(); }},
      {"bounciness 0.7", [&] { return body.getRestitutionCoeff() == 0.7; }},
      {"enabled 0", [&] { return !theWorld->containsBody(&body); }},
  };
  for (const auto& row : rows) {
    run(std::string("setAttr ZovFractureBody.") + row.line);
    EXPECT_FALSE(row.reached()) << row.line;
    piece.pullAll();
    EXPECT_TRUE(row.reached()) << row.line;
    EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>()) << row.line;
  }
}

// The joints' strengths, one of them set by hand and the rest scaled by
// the pieces' masses, stay bit for bit what they are when every piece pulls
// all its twins, in the session that set them and after the scene is saved
// and opened again.
TEST_F(FractureBuild, APiecesPullAllLeavesTheJointStrengthsAlone) {
  block = makeBlock();
  run("setAttr " + block[0] + ".mass 2; getAttr " + block[0] + ".ca_rigidBodyParam");
  ASSERT_TRUE(fracture(block));
  setAndPull("randomThreshold", 0, "ca_randomThreshold");
  joints(fractureNode())[2]->setDouble("forceStrenght", 12.345678901234567);
  const auto strengths = [] {
    std::map<std::string, double> byName;
    for (SceneStress* joint : joints(fractureNode())) {
      byName[joint->nodeName().asChar()] = strength(*joint);
      EXPECT_EQ(joint->getJoint()->get_break_tolerance(), strength(*joint)) << joint->nodeName();
    }
    return byName;
  };
  const zovtest::ScratchFile scratch{"zov_strengths_", ".zsc"};
  const std::string& path = scratch.path;
  for (bool reopened : {false, true}) {
    if (reopened) {
      run("file -rename \"" + path + "\"; file -save");
      run("file -open \"" + path + "\"");
    }
    const std::map<std::string, double> before = strengths();
    ASSERT_EQ(before.size(), 12u);
    for (const std::string& name : block) bodyNode(name).pullAll();
    EXPECT_EQ(strengths(), before) << reopened;
  }
}

TEST_F(FractureTest, TheSolverReachesItsFractureBodiesAndNoOtherNodeAsFrameParticipants) {
  // Two fracture bodies, the halves of a block.
  const std::vector<std::string> block = makeBlock();
  ASSERT_TRUE(fracture({block.begin(), block.begin() + 4}));
  ASSERT_TRUE(fracture({block.begin() + 4, block.end()}));
  const MPlugArray linked = connectedPlugs(node("zovSolverNode1"), zovSolverNode::fractureBodies);
  const std::vector<FractureBodyNode*> nodes = userNodesOf<FractureBodyNode>(linked);
  ASSERT_EQ(nodes.size(), 2u);
  const std::vector<FrameParticipant*> participants = frameParticipantsOf(linked);
  ASSERT_EQ(participants.size(), nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) EXPECT_EQ(participants[i], nodes[i]) << i;

  const struct {
    MObject node;
    FrameParticipant* expected;
  } cases[] = {
      {nodes[1]->thisMObject(), nodes[1]},
      {node(block[0]), nullptr},
      {node("zovSolverNode1"), nullptr},
      {MObject(), nullptr},
  };
  for (const auto& c : cases) EXPECT_EQ(frameParticipantOf(c.node), c.expected);

  // A type taken off the register is no participant until it is registered again.
  deregisterFrameParticipant(FractureBodyNode::id);
  EXPECT_TRUE(frameParticipantsOf(linked).empty());
  FractureBodyNode::registerParticipant();
  EXPECT_EQ(frameParticipantOf(nodes[0]->thisMObject()), nodes[0]);
}

TEST_F(FractureTest, PiecesOfOneShatterShareItsIndexAsTheirGroup) {
  // A 2 x 2 x 2 cube shattered into six shards, and a unit cube against its
  // +x face that belongs to no shatter.
  ASSERT_NO_FATAL_FAILURE(shatteredRock("-ns 6 -sed 3"));
  run("polyCube -n loose");
  run("setAttr loose.translate 1.5 0 0");
  const std::vector<std::string> bodies = bodiesOfShards("rock", "loose");
  ASSERT_EQ(bodies.size(), 7u);
  ASSERT_TRUE(fracture(bodies));
  const std::vector<std::string> records = nodesOfType("zovVoronoiNode");
  ASSERT_EQ(records.size(), 1u);
  const int index = MPlug(node(records[0]), voronoiNode::index).asInt();
  for (const std::string& body : bodies) {
    MDagPath path;
    ASSERT_TRUE(parentTransformPath(node(body), path));
    const bool isLoose = MFnDependencyNode(path.node()).name() == "loose";
    EXPECT_EQ(MPlug(node(body), rigidBodyNode::groupid).asInt(), isLoose ? -1 : index) << body;
  }
}

// Every setting of a new node as its attribute table gives it, and the
// engine body of a block built with them: dynamic, breakable, secondary
// cracks on at 5 % of its mass (the eight unit cubes' 8, which the node then
// shows), continuous propagation, the threshold and coefficients of the
// table (dampings at a tenth, in single precision), in the world and awake.
TEST_F(FractureBuild, ANewFractureBodyHasTheDefaultsOfItsAttributeTable) {
  run("createNode zovFbodyNode -n fresh");
  // Attribute and default, in the table's order.
  std::istringstream table(
      "initialVelocityX 0 initialVelocityY 0 initialVelocityZ 0 initialSpinX 0 initialSpinY 0 initialSpinZ 0 "
      "distThreshold 0.05 passive 0 firstHitActive 0 actFrame 1 breakFrame 1 stressThreshold 50 randomThreshold 40 "
      "stress2mass 1 propStyle 0 enabled 1 unbreakable 0 secCracks 1 percentSecCracks 5 doTrans 0 mass 1 friction 0.7 "
      "bounciness 0.3 linearDamping 0.01 angularDamping 0.01 selected 0 displayStressses 0 index -1 keysTX 0 keysTY 0 "
      "keysTZ 0 keysRX 0 keysRY 0 keysRZ 0 transFrame 0 affectForceFields 0 usercommand 0");
  std::string attribute;
  double value = 0.0;
  while (table >> attribute >> value) EXPECT_EQ(getDouble("fresh." + attribute), value) << attribute;

  FractureBodyNode& fb = builtBlock();
  FractureBody& body = *fb.getFractureBody();
  EXPECT_FALSE(body.isStatic());
  EXPECT_FALSE(body.isFirstHit(false));
  EXPECT_TRUE(body.isBreakable());
  EXPECT_TRUE(body.isSecImpacts());
  EXPECT_EQ(body.getSecImpactsPercentage(), 5);
  EXPECT_NEAR(body.getSecImpactsReferenceMass(), 8.0, 1e-5);
  EXPECT_EQ(body.getPropagationType(), 0);
  EXPECT_EQ(body.getMaxCracks(), 8);
  EXPECT_EQ(body.getGlobalStressThreshold(), 50.0);
  EXPECT_NEAR(body.getMass(), 8.0, 1e-5);
  EXPECT_NEAR(getDouble("ZovFractureBody.mass"), 8.0, 1e-5);
  EXPECT_EQ(body.getFrictionCoeff(), 0.7);
  EXPECT_EQ(body.getRestitutionCoeff(), 0.3);
  EXPECT_EQ(body.getAirDampingCoeff(), 0.01 * kSingleTenth);
  EXPECT_EQ(body.getAirDampingCoeff2(), 0.01 * kSingleTenth);
  EXPECT_TRUE(theWorld->containsBody(fb.getFractureBody()));
  EXPECT_TRUE(body.isActive());
}

}  // namespace
