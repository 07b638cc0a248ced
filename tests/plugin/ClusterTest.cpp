// Clusters of fracture pieces: zovCluster's assign and remove modes, the
// cluster node handing its parameters to its inner and outer joints, and a
// cluster kept through a reset and through saving and reopening the scene.
#include <gtest/gtest.h>
#include <maya/MDagPath.h>
#include <maya/MSelectionList.h>

#include <set>

#include "FractureFixture.h"
#include "engine/bodies/PrivateHardBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "support/ScratchFile.h"

namespace {

/// The cluster's threshold over the fracture body's: the single-precision 1.2.
constexpr double kClusterFactor = 1.2000000476837158;
constexpr double kThreshold = 50.0;

/// Where a joint node hangs, and so which values it carries.
enum class Place { kInner, kOuter, kFracture };

class Clusters : public FractureTest {
 protected:
  /// The block made a fracture body whose every joint holds the threshold.
  void builtBlock(double lift = 0.0) {
    block = makeBlock(2, lift);
    ASSERT_TRUE(fracture(block));
    run("setAttr ZovFractureBody.randomThreshold 0; getAttr ZovFractureBody.ca_randomThreshold");
  }

  /// The joint node's place for a cluster of the cells: both of its pieces in
  /// the cluster, one of them, or none.
  static Place placeOf(const SceneStress& joint, const std::set<std::string>& cluster) {
    const int inside =
        static_cast<int>(cluster.count(joint.body1Name().asChar()) + cluster.count(joint.body2Name().asChar()));
    return inside == 2 ? Place::kInner : inside == 1 ? Place::kOuter : Place::kFracture;
  }
  /// Every joint node of the scene.
  static std::vector<SceneStress*> allJoints() {
    std::vector<SceneStress*> found;
    for (const std::string& name : nodesOfType("zovStressNode")) found.push_back(&stressNode(name));
    return found;
  }
  static std::string feederOf(const SceneStress& joint) {
    const MPlug source = MPlug(joint.thisMObject(), SceneStress::fracture).source();
    return source.isNull() ? std::string() : source.name().asChar();
  }
  static clusterFractureNode& clusterNode(const std::string& name = "zovCluster0") {
    return *static_cast<clusterFractureNode*>(MFnDependencyNode(node(name)).userNode());
  }
  /// Selects the bodies and runs zovCluster with the flags.
  static bool cluster(const std::vector<std::string>& bodies, const std::string& flags,
                      std::vector<std::string>* result = nullptr) {
    std::string line = "select";
    for (const std::string& body : bodies) line += " " + body;
    run(line);
    return runs("zovCluster " + flags, result);
  }

  std::vector<std::string> block;
};

TEST_F(Clusters, TwoNeighboursGetTheirCommonJointInsideAndTheirOtherJointsOutsideHoldingNothing) {
  builtBlock();
  const std::set<std::string> members = {bodyName(0, 0, 0), bodyName(0, 0, 1)};
  std::vector<std::string> result;
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as", &result));
  ASSERT_EQ(result, std::vector<std::string>{"zovCluster0"});
  EXPECT_EQ(nodesOfType("ClusterZovNode"), std::vector<std::string>{"zovCluster0"});
  EXPECT_EQ(getDouble("zovCluster0.stressThreshold"), kThreshold * kClusterFactor);
  EXPECT_TRUE(feeds("ZovFractureBody.clusters", "zovCluster0.fracture"));
  for (const std::string& name : block)
    EXPECT_TRUE(feeds((members.count(name) ? "zovCluster0" : "ZovFractureBody") + std::string(".rigidBodies"),
                      name + ".fracture"))
        << name;

  int counts[3] = {0, 0, 0};
  for (SceneStress* joint : allJoints()) {
    const Place place = placeOf(*joint, members);
    ++counts[static_cast<int>(place)];
    const std::string name = joint->nodeName().asChar();
    const double strength = place == Place::kInner   ? kThreshold * kClusterFactor
                            : place == Place::kOuter ? 0.0
                                                     : kThreshold;
    EXPECT_EQ(feederOf(*joint), place == Place::kInner   ? "zovCluster0.instresses"
                                : place == Place::kOuter ? "zovCluster0.outstresses"
                                                         : "ZovFractureBody.stresses")
        << name;
    EXPECT_EQ(joint->getDouble("forceStrenght"), strength) << name;
    EXPECT_EQ(joint->getJoint()->get_break_tolerance(), strength) << name;
    EXPECT_EQ(joint->getDouble("breakEnergy"), 0.0) << name;
    EXPECT_FALSE(joint->getBool("breakByFrame")) << name;
  }
  // Each cube touches three: one joint between the two, two more from each.
  EXPECT_EQ(counts[0], 1);
  EXPECT_EQ(counts[1], 4);
  EXPECT_EQ(counts[2], 7);
  // Their joint nodes keep their fracture body as owner.
  for (SceneStress* joint : allJoints()) EXPECT_EQ(joint->getOwner(), &fractureNode());
  EXPECT_EQ(clusterNodeOf(bodyNode(bodyName(0, 0, 0))), &clusterNode());
  EXPECT_EQ(clusterNodeOf(bodyNode(bodyName(1, 1, 1))), nullptr);
}

TEST_F(Clusters, AChangedParameterReachesTheJointsItsKindGoesTo) {
  // What each change leaves on inner and outer joints, for a cluster of two
  // neighbours and for a lone piece (no inner joint).
  struct Case {
    const char* change;
    const char* twin;
    const char* parameter;
    double inner, outer, loneOuter;
  };
  const Case cases[] = {
      {"stressThreshold 70", "ca_stressThreshold", "forceStrenght", 70.0, 0.0, 70.0},
      {"breakEnergy 3", "ca_breakEnergy", "breakEnergy", 3.0, 0.0, 3.0},
      {"breakByFrame 1", "ca_breakByFrame", "breakByFrame", 1.0, 1.0, 1.0},
      {"breakFrame 7", "ca_breakFrame", "frameToBreak", 7.0, 7.0, 7.0},
  };
  bool fresh = true;
  for (bool lone : {false, true}) {
    for (const Case& c : cases) {
      if (!fresh) {
        TearDown();
        SetUp();
      }
      fresh = false;
      builtBlock();
      const std::vector<std::string> pieces = lone ? std::vector<std::string>{bodyName(1, 1, 1)}
                                                   : std::vector<std::string>{bodyName(0, 0, 0), bodyName(0, 0, 1)};
      ASSERT_TRUE(cluster(pieces, "-as"));
      run("setAttr zovCluster0.selected 1");
      run(std::string("setAttr zovCluster0.") + c.change + "; getAttr zovCluster0." + c.twin);
      const std::set<std::string> members(pieces.begin(), pieces.end());
      for (SceneStress* joint : allJoints()) {
        const Place place = placeOf(*joint, members);
        const std::string p = c.parameter;
        const double value = p == "breakByFrame"   ? (joint->getBool("breakByFrame") ? 1.0 : 0.0)
                             : p == "frameToBreak" ? static_cast<double>(joint->getInt("frameToBreak"))
                                                   : joint->getDouble(c.parameter);
        const double expected = place == Place::kInner   ? c.inner
                                : place == Place::kOuter ? (lone ? c.loneOuter : c.outer)
                                // The fracture body's own joints keep its values.
                                : p == "forceStrenght" ? kThreshold
                                                       : 0.0;
        EXPECT_EQ(value, expected) << c.change << (lone ? " lone " : " pair ") << joint->nodeName().asChar();
      }
      // A change leaves the cluster no longer picked.
      EXPECT_EQ(getDouble("zovCluster0.selected"), 0.0) << c.change;
    }
  }
}

TEST_F(Clusters, PickingAClusterQueuesOneRedrawAndLettingItGoNone) {
  builtBlock();
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as"));
  zovhost::testing::flushIdleQueue();
  run("setAttr zovCluster0.selected 1; getAttr zovCluster0.ca_selected");
  EXPECT_EQ(zovhost::testing::idleQueueSize(), 1u);
  zovhost::testing::clearLogs();
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(ranLine("refresh -force"));
  EXPECT_TRUE(clusterNode().isSelected());
  run("setAttr zovCluster0.selected 0; getAttr zovCluster0.ca_selected");
  EXPECT_EQ(zovhost::testing::idleQueueSize(), 0u);
}

TEST_F(Clusters, APieceAsksItsFractureBodyWhetherItsClusterIsSelected) {
  builtBlock();
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as"));
  const PieceOwner* owner = bodyNode(bodyName(0, 0, 0)).fractureBodyNode();
  ASSERT_EQ(owner, &fractureNode());
  const struct {
    const char* selected;
    std::string piece;
    PieceCluster expected;
  } cases[] = {
      {"0", bodyName(0, 0, 0), PieceCluster::kUnselected},
      {"0", bodyName(1, 1, 1), PieceCluster::kNone},
      {"1", bodyName(0, 0, 1), PieceCluster::kSelected},
      {"1", bodyName(1, 0, 0), PieceCluster::kNone},
  };
  for (const auto& c : cases) {
    run(std::string("setAttr zovCluster0.selected ") + c.selected);
    EXPECT_EQ(owner->clusterOf(bodyNode(c.piece)), c.expected) << c.piece << " " << c.selected;
  }
}

TEST_F(Clusters, AStaticPieceAndPiecesOfAnotherClusterAreLeftOut) {
  builtBlock();
  bodyNode(bodyName(0, 1, 0)).engineBody(false)->enableStatic();
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 1, 0), bodyName(0, 0, 1)}, "-as"));
  EXPECT_EQ(clusterNode().pieceNodes(),
            (std::vector<rigidBodyNode*>{&bodyNode(bodyName(0, 0, 0)), &bodyNode(bodyName(0, 0, 1))}));
  EXPECT_TRUE(feeds("ZovFractureBody.rigidBodies", bodyName(0, 1, 0) + ".fracture"));

  // Selections that give no piece, each with its error; nothing is made.
  const struct {
    std::vector<std::string> selection;
    const char* error;
  } refusals[] = {
      {{bodyName(0, 0, 0), bodyName(0, 0, 1)}, "not enough fragments to create a cluster, abort"},
      {{bodyName(0, 1, 0)}, "not enough fragments to create a cluster, abort"},
      {{"zovSolverNode1"}, "fracture node not found, abort"},
  };
  for (const auto& refusal : refusals) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(cluster(refusal.selection, "-as")) << refusal.error;
    EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, refusal.error)) << refusal.error;
    EXPECT_EQ(nodesOfType("ClusterZovNode").size(), 1u) << refusal.error;
  }
  // A free body outside every fracture body.
  makeBoxBody("free", 1, 1, 1, "5 0 0", "0 0 0", 2, "zovSolverNode1");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(cluster({"freeBody"}, "-as"));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, "fracture node not found, abort"));
  // No mode, no selection.
  EXPECT_FALSE(cluster({bodyName(1, 1, 1)}, ""));
  run("select -clear");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("zovCluster -as"));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, "invalid selection"));
  EXPECT_EQ(nodesOfType("ClusterZovNode").size(), 1u);
}

TEST_F(Clusters, RemovingAClusterHandsEverythingBackAtTheThresholdAndDeletesIt) {
  builtBlock();
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as"));
  run("setAttr zovCluster0.breakEnergy 4; getAttr zovCluster0.ca_breakEnergy");
  run("setAttr zovCluster0.breakByFrame 1; getAttr zovCluster0.ca_breakByFrame");
  ASSERT_TRUE(fractureNode().getFractureBody()->isBreakByFrame());
  // A cluster that belongs to no fracture body is left alone.
  run("createNode ClusterZovNode -n lone");
  ASSERT_TRUE(runs("select zovCluster0 lone; zovCluster -rem"));

  EXPECT_EQ(nodesOfType("ClusterZovNode"), std::vector<std::string>{"lone"});
  for (const std::string& name : block) {
    EXPECT_TRUE(feeds("ZovFractureBody.rigidBodies", name + ".fracture")) << name;
    EXPECT_TRUE(MFnDependencyNode(node(name)).isLocked()) << name;
  }
  for (SceneStress* joint : allJoints()) {
    const std::string name = joint->nodeName().asChar();
    EXPECT_EQ(feederOf(*joint), "ZovFractureBody.stresses") << name;
    EXPECT_EQ(joint->getJoint()->get_break_tolerance(), kThreshold) << name;
    EXPECT_EQ(joint->getJoint()->getBreakEnergy(), 0.0) << name;
    EXPECT_FALSE(joint->getBool("breakByFrame")) << name;
    EXPECT_FALSE(joint->getJoint()->isBreakableByFrame()) << name;
  }
  // No cluster asks for breaking by frame any more.
  EXPECT_FALSE(fractureNode().getFractureBody()->isBreakByFrame());
  EXPECT_EQ(fractureNode().numStresses(), 12u);
}

TEST_F(Clusters, DeletingTheFractureBodyHandsTheClusterBackFirst) {
  builtBlock();
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as"));
  ASSERT_TRUE(runs("delete ZovFractureBody"));
  EXPECT_TRUE(nodesOfType("ClusterZovNode").empty());
  EXPECT_TRUE(nodesOfType("zovStressNode").empty());
  for (const std::string& name : block) {
    EXPECT_FALSE(MFnDependencyNode(node(name)).isLocked()) << name;
    EXPECT_EQ(bodyNode(name).fractureBodyNode(), nullptr) << name;
    EXPECT_TRUE(theWorld->containsBody(bodyNode(name).engineBody(false))) << name;
  }
  ASSERT_TRUE(runs("undo"));
  EXPECT_EQ(fractureNode().getFractureBody()->getNActiveJoints(), 12u);
  run("undoInfo -state off; undoInfo -state on");
}

TEST_F(Clusters, OuterJointsBrokenByFrameAreWholeAgainAfterTheResetAndThePiecesBackAtTheStart) {
  builtBlock(5.0);
  const std::set<std::string> members = {bodyName(0, 0, 0), bodyName(0, 0, 1)};
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as"));
  run("setAttr zovCluster0.breakFrame 3; getAttr zovCluster0.ca_breakFrame");
  run("setAttr zovCluster0.breakByFrame 1; getAttr zovCluster0.ca_breakByFrame");
  prepareSimulation("zovSolverNode1", 1, 24);
  const auto heightOf = [](const std::string& body) {
    const std::array<int, 3> cell = cellOf(body);
    return getDouble(cubeName(cell[0], cell[1], cell[2]) + ".translateY");
  };
  for (int f = 2; f <= 6; ++f) frame(f);
  // The outer joints hold nothing and break at frame 3; the inner joint is
  // breakable by force with strength, so it only stops breaking by frame.
  for (SceneStress* joint : allJoints()) {
    const Place place = placeOf(*joint, members);
    if (place == Place::kFracture) continue;
    EXPECT_EQ(joint->getJoint()->isActive(), place == Place::kInner) << joint->nodeName().asChar();
  }
  EXPECT_LT(heightOf(bodyName(0, 0, 0)), 5.5);
  frame(1);
  for (SceneStress* joint : allJoints()) EXPECT_TRUE(joint->getJoint()->isActive()) << joint->nodeName().asChar();
  for (const std::string& name : block) {
    const std::array<int, 3> cell = cellOf(name);
    EXPECT_NEAR(heightOf(name), cell[1] + 5.5, 1e-9) << name;
  }
  EXPECT_FALSE(fractureNode().getFractureBody()->isSplitted());
}

TEST_F(Clusters, AReopenedSceneRebuildsTheClustersJointsFromTheirStoredNames) {
  builtBlock();
  const std::set<std::string> members = {bodyName(0, 0, 0), bodyName(0, 0, 1)};
  ASSERT_TRUE(cluster({bodyName(0, 0, 0), bodyName(0, 0, 1)}, "-as"));
  const zovtest::ScratchFile scratch{"clusterReopened", ".ma"};
  const std::string& path = scratch.path;
  run("file -rename \"" + path + "\"; file -save");
  run("file -new");
  run("file -open \"" + path + "\"");
  zovhost::testing::flushIdleQueue();

  FractureBodyNode& fb = fractureNode();
  ASSERT_EQ(fb.clusterNodes(), std::vector<clusterFractureNode*>{&clusterNode()});
  EXPECT_EQ(fb.getFractureBody()->getNActiveJoints(), 12u);
  EXPECT_EQ(fb.getFractureBody()->getNJointBodies(), 8u);
  std::set<std::uint32_t> indices;
  for (SceneStress* joint : allJoints()) {
    const DynamicStress* engine = joint->getJoint();
    ASSERT_NE(engine, nullptr) << joint->nodeName().asChar();
    EXPECT_EQ(joint->getOwner(), &fb);
    EXPECT_EQ(engine->getCNode()->getShape().name, std::string(joint->body1Name().asChar()));
    EXPECT_EQ(engine->getPNode()->getShape().name, std::string(joint->body2Name().asChar()));
    const Place place = placeOf(*joint, members);
    EXPECT_EQ(engine->get_break_tolerance(), place == Place::kInner   ? kThreshold * kClusterFactor
                                             : place == Place::kOuter ? 0.0
                                                                      : kThreshold);
    indices.insert(engine->getIndex());
  }
  EXPECT_EQ(indices.size(), 12u);
  for (const std::string& name : members) EXPECT_EQ(bodyNode(name).fractureBodyNode(), &fb) << name;
  // The cluster still works.
  run("setAttr zovCluster0.stressThreshold 70; getAttr zovCluster0.ca_stressThreshold");
  for (SceneStress* joint : clusterNode().innerStresses()) EXPECT_EQ(joint->getJoint()->get_break_tolerance(), 70.0);
  for (SceneStress* joint : clusterNode().outerStresses()) EXPECT_EQ(joint->getJoint()->get_break_tolerance(), 0.0);
  EXPECT_EQ(clusterNode().innerStresses().size(), 1u);
  EXPECT_EQ(clusterNode().outerStresses().size(), 4u);
}

}  // namespace
