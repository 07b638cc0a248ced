// Values a user sets on a fracture body's joint nodes and clusters with
// setAttr alone, whose hidden twins nobody reads: they hold through the
// rewind to the first frame, and a twin read later pushes nothing stale.
#include <gtest/gtest.h>

#include <maya/MFnDependencyNode.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ShatteredCubeFixture.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/JointFlags.h"
#include "src/fracture/sceneStress.h"
#include "support/ScratchFile.h"

namespace {

class FractureUserEdits : public ShatteredCubeTest {
 protected:
  /// The joint nodes on a plug of a node, in connection order.
  static std::vector<std::string> jointsOn(const std::string& plug) {
    std::vector<std::string> joints;
    runs("listConnections -s 0 -d 1 " + plug, &joints);
    return joints;
  }
  static std::string cluster() { return nodesOfType("ClusterZovNode").at(0); }
  /// What the joint node's engine joint (or, for the frame to break, the
  /// node itself, as the frame loop reads it) holds for the attribute.
  static double heldBy(const std::string& name, const std::string& attribute) {
    const auto* node = static_cast<SceneStress*>(MFnDependencyNode(ShatteredCubeTest::node(name)).userNode());
    const DynamicStress& joint = *node->getJoint();
    const auto bit = [&joint](std::uint32_t flag) { return (joint.getFlags() & flag) != 0 ? 1.0 : 0.0; };
    if (attribute == "forceStrenght") return joint.get_break_tolerance();
    if (attribute == "breakEnergy") return joint.getBreakEnergy();
    if (attribute == "torsion") return bit(kJointTorsion);
    if (attribute == "enabled") return bit(kJointActive);
    if (attribute == "breakByForce") return bit(kJointBreakByForce);
    if (attribute == "breakByFrame") return bit(kJointBreakByFrame);
    return node->getFrameToBreak();
  }

  /// One value a user sets on a joint node.
  struct Edit {
    std::string joint;
    std::string attribute;
    double value;
  };
  /// A joint of the fracture body's own, one from the cluster to the rest
  /// and one inside the cluster, given every value a joint node holds.
  static std::vector<Edit> jointEdits() {
    const std::string own = jointsOn("ZovFractureBody.stresses").at(1);
    const std::string outer = jointsOn(cluster() + ".outstresses").at(0);
    const std::string inner = jointsOn(cluster() + ".instresses").at(0);
    return {
        {own, "forceStrenght", 7.0},  {own, "breakEnergy", 3.0},    {own, "torsion", 0.0},
        {outer, "enabled", 0.0},      {inner, "breakByForce", 0.0}, {inner, "frameToBreak", 8.0},
        {inner, "breakByFrame", 1.0},
    };
  }
  static void apply(const std::vector<Edit>& edits, bool readTwins) {
    for (const Edit& edit : edits) {
      const std::string plug = edit.joint + "." + edit.attribute;
      run("setAttr " + plug + " " + std::to_string(edit.value));
      // The user interface reads the twin after each set; a script need not.
      if (readTwins) run("getAttr " + edit.joint + ".ca_" + edit.attribute);
    }
  }
  /// Each node reads what was set, and its joint holds it.
  static void expectHeld(const std::vector<Edit>& edits) {
    for (const Edit& edit : edits) {
      EXPECT_EQ(getDouble(edit.joint + "." + edit.attribute), edit.value) << edit.joint << "." << edit.attribute;
      EXPECT_EQ(heldBy(edit.joint, edit.attribute), edit.value) << edit.joint << "." << edit.attribute << "'s joint";
    }
  }
};

TEST_F(FractureUserEdits, JointValuesSetWithoutTheirTwinsReadHoldThroughTheRewindAndPlayAsTheInterfaceSetsThem) {
  // The user interface's way: each set followed by a read of its twin.
  freshScene();
  const std::vector<Edit> viaInterface = jointEdits();
  apply(viaInterface, true);
  const std::vector<FrameRecord> expected = play(30);

  freshScene();
  const std::vector<Edit> edits = jointEdits();
  apply(edits, false);
  run("currentTime 2; currentTime 1");
  expectHeld(edits);
  EXPECT_EQ(disagreements({true}), "");
  const std::vector<FrameRecord> played = play(30);
  // The joint set to break at frame 8, and to break by nothing else, breaks
  // there first.
  const std::string byFrame = edits.back().joint;
  int first = 0;
  for (size_t f = 0; f < played.size() && first == 0; ++f)
    if (played[f].broken.count(byFrame) != 0) first = kFirstFrame + static_cast<int>(f);
  EXPECT_EQ(first, 8);
  expectSamePlay(expected, played);
  run("currentTime 1");
  expectHeld(edits);
  EXPECT_EQ(disagreements({true}), "");
}

TEST_F(FractureUserEdits, ReadingAClustersTwinsLeavesItsJointsOwnValuesAndItsOwnEditsStillReachThem) {
  const zovtest::ScratchFile scratch{"FractureUserEdits", ".ma"};
  const std::string& path = scratch.path;
  for (const bool reopened : {false, true}) {
    SCOPED_TRACE(reopened ? "saved and opened in a fresh host" : "in the session");
    freshScene();
    const std::vector<std::string> inner = jointsOn(cluster() + ".instresses");
    const std::vector<std::string> outer = jointsOn(cluster() + ".outstresses");
    ASSERT_GT(inner.size(), 1u);
    const std::vector<Edit> edits{{inner[0], "forceStrenght", 7.0}, {inner[0], "breakEnergy", 2.0},
                                  {inner[0], "frameToBreak", 5.0},  {inner[0], "breakByFrame", 1.0},
                                  {outer[0], "frameToBreak", 9.0},  {outer[0], "breakByFrame", 1.0}};
    apply(edits, true);
    if (reopened) {
      ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(path));
    }
    for (const char* twin : {"ca_stressThreshold", "ca_breakFrame", "ca_breakByFrame", "ca_breakEnergy"})
      run("getAttr " + cluster() + "." + twin);
    expectHeld(edits);
    EXPECT_EQ(disagreements({true}), "");

    // The cluster's own edits reach its joints: a strength and a break
    // energy its inner joints only, a frame every joint of it.
    const double outerStrength = getDouble(outer[0] + ".forceStrenght");
    apply({{cluster(), "stressThreshold", 30.0}, {cluster(), "breakEnergy", 4.0}, {cluster(), "breakFrame", 12.0}},
          true);
    for (const std::string& joint : inner) {
      EXPECT_EQ(heldBy(joint, "forceStrenght"), 30.0) << joint;
      EXPECT_EQ(heldBy(joint, "breakEnergy"), 4.0) << joint;
      EXPECT_EQ(heldBy(joint, "frameToBreak"), 12.0) << joint;
    }
    for (const std::string& joint : outer) EXPECT_EQ(heldBy(joint, "frameToBreak"), 12.0) << joint;
    EXPECT_EQ(heldBy(outer[0], "forceStrenght"), outerStrength);
    EXPECT_EQ(disagreements({true}), "");
  }
}

TEST_F(FractureUserEdits, ReadingTheFractureBodysTwinsLeavesItsJointsOwnValues) {
  const zovtest::ScratchFile scratch{"FractureUserEditsBody", ".ma"};
  const std::string& path = scratch.path;
  for (const bool reopened : {false, true}) {
    SCOPED_TRACE(reopened ? "saved and opened in a fresh host" : "in the session");
    freshScene();
    const std::vector<Edit> edits{{jointsOn("ZovFractureBody.stresses").at(1), "forceStrenght", 7.0},
                                  {jointsOn(cluster() + ".instresses").at(0), "forceStrenght", 9.0},
                                  {jointsOn(cluster() + ".outstresses").at(0), "forceStrenght", 3.0}};
    apply(edits, true);
    if (reopened) {
      ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(path));
    }
    for (const char* twin : {"ca_index",           "ca_initialVelocity", "ca_initialSpin", "ca_stressThreshold",
                             "ca_randomThreshold", "ca_propStyle",       "ca_enabled",     "ca_firstHit",
                             "ca_stress2mass",     "ca_unbreakable",     "ca_secCracks",   "ca_mass",
                             "ca_friction",        "ca_bounciness",      "ca_airdamping",  "ca_angdamping",
                             "ca_forceFields",     "ca_selected",        "ca_disStresses", "ca_passive"})
      run(std::string("getAttr ZovFractureBody.") + twin);
    expectHeld(edits);
    EXPECT_EQ(disagreements({true}), "");
  }
}

}  // namespace
