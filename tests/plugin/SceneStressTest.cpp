// The joint node: parameters set by name reach the engine joint through the
// twins, with or without an owner.
#include "FractureFixture.h"
#include "engine/bodies/JointFlags.h"

namespace {

using namespace zovhost::testing;

class JointNode : public FractureTest {
 protected:
  /// One joint node of a built block, its joint and its owner.
  void SetUp() override {
    FractureTest::SetUp();
    ASSERT_TRUE(fracture(makeBlock()));
    owner = &fractureNode();
    node = joints(*owner)[0];
    joint = node->getJoint();
    ASSERT_NE(joint, nullptr);
  }

  FractureBodyNode* owner = nullptr;
  SceneStress* node = nullptr;
  DynamicStress* joint = nullptr;
};

TEST_F(JointNode, BreakByForceOffClearsOnlyItsFlag) {
  const std::uint32_t flags = joint->getFlags();
  const std::uint32_t initial = joint->getInitialFlags();
  ASSERT_NE(flags & kJointBreakByForce, 0u);
  node->setBool("breakByForce", false);
  EXPECT_EQ(joint->getFlags(), flags & ~kJointBreakByForce);
  EXPECT_EQ(joint->getInitialFlags(), initial);
  node->setBool("breakByForce", true);
  EXPECT_EQ(joint->getFlags(), flags);
}

TEST_F(JointNode, EnabledAndBreakByFrameReachTheFlagsAndTheInitialFlags) {
  node->setBool("enabled", false);
  EXPECT_EQ(joint->getFlags() & kJointActive, 0u);
  EXPECT_EQ(joint->getInitialFlags() & kJointActive, 0u);
  EXPECT_FALSE(node->isEnabled());
  node->setBool("enabled", true);
  EXPECT_NE(joint->getFlags() & kJointActive, 0u);
  EXPECT_NE(joint->getInitialFlags() & kJointActive, 0u);

  node->setBool("breakByFrame", true);
  EXPECT_NE(joint->getFlags() & kJointBreakByFrame, 0u);
  EXPECT_NE(joint->getInitialFlags() & kJointBreakByFrame, 0u);
  EXPECT_TRUE(node->isBreakByFrameListed());
  // Turned on twice, the joint is listed once.
  node->setBool("breakByFrame", false);
  node->setBool("breakByFrame", true);
  node->setBool("breakByFrame", true);
  EXPECT_EQ(owner->breakByFrameJoints(), std::vector<SceneStress*>{node});
  node->setBool("breakByFrame", false);
  EXPECT_TRUE(owner->breakByFrameJoints().empty());
  EXPECT_EQ(joint->getFlags() & kJointBreakByFrame, 0u);
  EXPECT_EQ(joint->getInitialFlags() & kJointBreakByFrame, 0u);
}

TEST_F(JointNode, TheFrameToBreakStaysWithTheNode) {
  const std::uint32_t flags = joint->getFlags();
  const double tolerance = joint->get_break_tolerance();
  const double energy = joint->getBreakEnergy();
  node->setInt("frameToBreak", 12);
  EXPECT_EQ(node->getFrameToBreak(), 12);
  EXPECT_EQ(node->getInt("frameToBreak"), 12);
  EXPECT_EQ(joint->getFlags(), flags);
  EXPECT_EQ(joint->get_break_tolerance(), tolerance);
  EXPECT_EQ(joint->getBreakEnergy(), energy);
}

TEST_F(JointNode, NumbersReachTheJoint) {
  node->setDouble("forceStrenght", 12.5);
  node->setDouble("breakEnergy", 3.0);
  EXPECT_EQ(joint->get_break_tolerance(), 12.5);
  EXPECT_EQ(joint->getBreakEnergy(), 3.0);
  EXPECT_EQ(node->getDouble("forceStrenght"), 12.5);
  node->setBool("torsion", false);
  EXPECT_EQ(joint->getFlags() & kJointTorsion, 0u);
  node->setBool("torsion", true);
  EXPECT_NE(joint->getFlags() & kJointTorsion, 0u);
}

TEST_F(JointNode, WithoutAnOwnerTheNodeDrivesItsJointsFlags) {
  DynamicStress loose;
  MString name;
  MGlobal::executeCommand("createNode zovStressNode", name);
  SceneStress& free = stressNode(name.asChar());
  free.setJoint(&loose);
  free.setBool("enabled", true);
  free.setBool("breakByFrame", true);
  free.setBool("torsion", true);
  free.setBool("breakByForce", false);
  free.setDouble("forceStrenght", 4.0);
  EXPECT_EQ(loose.getFlags(), kJointActive | kJointBreakByFrame | kJointTorsion);
  // Breaking by force is no part of the start state; the switches are.
  EXPECT_EQ(loose.getInitialFlags(), kJointActive | kJointBreakByFrame | kJointTorsion);
  EXPECT_TRUE(free.isBreakByFrameListed());
  EXPECT_EQ(loose.get_break_tolerance(), 4.0);
  free.setBool("enabled", false);
  EXPECT_EQ(loose.getFlags() & kJointActive, 0u);
  free.setJoint(nullptr);
}

TEST_F(JointNode, AnUnknownNameIsAnErrorAndChangesNothing) {
  const std::uint32_t flags = joint->getFlags();
  const double tolerance = joint->get_break_tolerance();
  for (const char* name : {"strength", "Enabled", "forceStrength"}) {
    zovhost::testing::clearLogs();
    EXPECT_TRUE(node->setBool(name, false));
    EXPECT_TRUE(node->setDouble(name, 1.0));
    EXPECT_TRUE(node->setInt(name, 1));
    EXPECT_FALSE(node->getBool(name));
    EXPECT_EQ(node->getDouble(name), 0.0);
    EXPECT_EQ(node->getInt(name), 0);
    EXPECT_TRUE(hasMessage(MessageKind::Error, std::string("sceneStrNode ppty ") + name + " not found")) << name;
  }
  EXPECT_EQ(joint->getFlags(), flags);
  EXPECT_EQ(joint->get_break_tolerance(), tolerance);
}

TEST_F(JointNode, EditsMadeAtTheStartFrameSurviveTheReset) {
  struct Edit {
    const char* line;
    const char* attribute;
    double value;
    std::uint32_t flag;  ///< the joint flag the edit sets or clears, 0 for none
  };
  const Edit edits[] = {
      {"torsion 0", "torsion", 0.0, kJointTorsion},
      {"enabled 0", "enabled", 0.0, kJointActive},
      {"breakByFrame 1", "breakByFrame", 1.0, kJointBreakByFrame},
      {"forceStrenght 3.5", "forceStrenght", 3.5, 0},
      {"breakEnergy 2", "breakEnergy", 2.0, 0},
  };
  prepareSimulation("zovSolverNode1", 1, 24);
  const std::string name = node->nodeName().asChar();
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.line);
    frame(1);
    const std::string twin = std::string("ca_") + edit.attribute;
    run("setAttr " + name + "." + edit.line + "; getAttr " + name + "." + twin);
    const std::uint32_t flags = joint->getFlags();
    for (int f = 2; f <= 4; ++f) frame(f);
    frame(1);
    EXPECT_EQ(getDouble(name + "." + edit.attribute), edit.value);
    if (edit.flag != 0) {
      EXPECT_EQ(joint->getFlags() & edit.flag, flags & edit.flag);
      EXPECT_EQ((joint->getFlags() & edit.flag) != 0, edit.value != 0.0);
    }
  }
  EXPECT_EQ(joint->get_break_tolerance(), 3.5);
  EXPECT_EQ(joint->getBreakEnergy(), 2.0);
}

TEST_F(JointNode, TheStartStateBringsThePositionAndTheFlagsBack) {
  float start[3];
  node->getPosition(start);
  node->pullAttributes();
  const std::uint32_t flags = joint->getFlags();
  const float moved[3] = {7.0f, 8.0f, 9.0f};
  node->setPosition(moved);
  node->writeAttributes();
  float now[3];
  node->getPosition(now);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(now[k], start[k]);
  EXPECT_EQ(joint->getFlags(), flags);
}

}  // namespace
