// Joint nodes deleted while a row of glued cubes plays, and pieces renamed by
// the user or by an import: a deletion takes only the joints it names, the
// joint nodes keep naming their pieces, and undo, redo, a save and an open
// give back what the same lines give at the first frame or untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ShatteredCubeFixture.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"
#include "support/ScratchFile.h"

namespace {

class FractureJointNodeUndo : public ShatteredCubeTest {
 protected:
  /// The solver, a ground 12 wide from x -6 to 6, and `count` unit cubes
  /// "row1", "row2", ... in a row along x, glued into one fracture body: the
  /// first at `firstX`, each next one 1 further by `step`, all at height y.
  void gluedRow(int count, double firstX, double step, double y) {
    ASSERT_NO_FATAL_FAILURE(freshHost());
    ASSERT_TRUE(runs(sceneSteps()[0]));
    ASSERT_TRUE(
        runs("polyCube -n ground -w 12 -h 1 -d 8; setAttr ground.translate 0 -0.5 0; select ground; "
             "new_ZOVBody -shapeType 2 -active 1"));
    std::string cubes, bodies;
    for (int i = 1; i <= count; ++i) {
      const std::string cube = "row" + std::to_string(i);
      run("polyCube -n " + cube + "; setAttr " + cube + ".translate " + std::to_string(firstX + step * (i - 1)) + " " +
          std::to_string(y) + " 0");
      cubes += " " + cube;
      bodies += " rowZovBody" + std::to_string(i);
    }
    ASSERT_TRUE(runs("select" + cubes + "; new_ZOVBody -shapeType 2; select" + bodies + "; zovFractureBody -dTh 0.05"));
    zovhost::testing::flushIdleQueue();
  }
  static std::string joint(int first, int second) {
    return "str_rowZovBody" + std::to_string(first) + "_rowZovBody" + std::to_string(second);
  }
  static FractureBodyNode& fractureNode(const std::string& name) {
    return *static_cast<FractureBodyNode*>(MFnDependencyNode(node(name)).userNode());
  }
  static SceneStress& jointNode(const std::string& name) {
    return *static_cast<SceneStress*>(MFnDependencyNode(node(name)).userNode());
  }
  /// What the user can see and the engine holds, a line a node: each rigid
  /// body's link and lock, each joint node's link and the names of its
  /// pieces, each fracture body's engine joints (whole or broken, in any
  /// fragment) by the names of the rigid bodies they hold. Whether each is
  /// on as its node says is the walk's to check, at rest.
  static std::vector<std::string> scene() {
    std::vector<std::string> lines;
    const auto from = [](const std::string& name) {
      const MPlug plug = MFnDependencyNode(node(name)).findPlug("fracture", true).source();
      return std::string(plug.isNull() ? "nothing" : plug.name().asChar());
    };
    std::map<const HardBody*, std::string> bodies;
    for (const std::string& name : nodesOfType("zovRigidBody")) {
      lines.push_back(name + " from " + from(name) + (MFnDependencyNode(node(name)).isLocked() ? " locked" : ""));
      if (const HardBody* body = bodyNode(name).engineBody(false)) bodies[body] = name;
    }
    for (const std::string& name : nodesOfType("zovStressNode"))
      lines.push_back(name + " from " + from(name) + " joins " + jointNode(name).body1Name().asChar() + " " +
                      jointNode(name).body2Name().asChar());
    for (const std::string& name : nodesOfType("zovFbodyNode")) {
      std::vector<const FractureBody*> family{fractureNode(name).getFractureBody()};
      std::set<std::string> joints;
      for (size_t i = 0; i < family.size() && family[0] != nullptr; ++i) {
        for (const EngineList<DynamicStress*>* list :
             {&family[i]->getActiveJoints(), &family[i]->getInactiveJoints(), &family[i]->getSplitJoints()})
          for (auto* entry = list->getFirst(); entry != nullptr; entry = entry->next)
            joints.insert(bodies[entry->value->getCNode()] + "-" + bodies[entry->value->getPNode()]);
        for (auto* child = family[i]->getChildBodies().getFirst(); child != nullptr; child = child->next)
          family.push_back(static_cast<const FractureBody*>(child->value));
      }
      std::string line = name + " joints";
      for (const std::string& pair : joints) line += " " + pair;
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  /// Each cube's translate and rotate at each frame from the first to
  /// `last`, come to from before the first; the walk agrees at each frame.
  static std::vector<double> played(int count, int last) {
    std::vector<double> poses;
    run("currentTime " + std::to_string(kFirstFrame - 1));
    for (int f = kFirstFrame; f <= last; ++f) {
      run("currentTime " + std::to_string(f));
      EXPECT_EQ(disagreements(), "") << "frame " << f;
      for (int i = 1; i <= count; ++i)
        for (const char* channel : {".translateX", ".translateY", ".translateZ", ".rotateX", ".rotateY", ".rotateZ"})
          poses.push_back(getDouble("row" + std::to_string(i) + channel));
    }
    return poses;
  }
  static void expectSamePoses(const std::vector<double>& expected, const std::vector<double>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t k = 0; k < expected.size(); ++k) ASSERT_NEAR(expected[k], actual[k], 1e-9) << "value " << k;
  }
  /// Plays on from the current frame to `last`, the walk agreeing at each.
  static void playOn(int from, int last) {
    for (int f = from; f <= last; ++f) {
      run("currentTime " + std::to_string(f));
      ASSERT_EQ(disagreements(), "") << "frame " << f;
    }
  }
};

// Five cubes falling from y 2, the first two a cluster: the landing breaks
// the joint between the second and the third by frame 21. Deleting the
// joint nodes of the last two joints then takes those two and frees the last
// two cubes; the broken joint, whole again at the start, keeps holding the
// third, as the same line at the first frame has it.
TEST_F(FractureJointNodeUndo, JointNodesDeletedMidPlayTakeOnlyTheirJointsAsTheSameLineAtTheFirstFrameDoes) {
  const std::string line = "delete " + joint(4, 3) + " " + joint(5, 4);
  const auto rowOfFive = [this] {
    ASSERT_NO_FATAL_FAILURE(gluedRow(5, -2, 1, 2));
    ASSERT_TRUE(runs("select rowZovBody1 rowZovBody2; zovCluster -as"));
    run("currentTime 1");
  };
  ASSERT_NO_FATAL_FAILURE(rowOfFive());
  ASSERT_TRUE(runs(line));
  const std::vector<std::string> deletedAtRest = scene();
  const std::vector<double> playOfDeletedAtRest = played(5, 60);

  ASSERT_NO_FATAL_FAILURE(rowOfFive());
  const std::vector<std::string> before = scene();
  ASSERT_NO_FATAL_FAILURE(playOn(2, 21));
  ASSERT_FALSE(jointNode(joint(3, 2)).getJoint()->isActive()) << "the landing broke it";
  ASSERT_TRUE(runs(line));
  EXPECT_EQ(scene(), deletedAtRest);
  EXPECT_EQ(disagreements(), "");
  // Undone and redone at the same frame: the scene before the line, then
  // after it again.
  ASSERT_TRUE(runs("undo"));
  EXPECT_EQ(scene(), before);
  EXPECT_EQ(disagreements(), "");
  ASSERT_TRUE(runs("redo"));
  EXPECT_EQ(scene(), deletedAtRest);
  ASSERT_NO_FATAL_FAILURE(playOn(22, 30));
  // Rewound, it plays as the line at the first frame made it play.
  expectSamePoses(playOfDeletedAtRest, played(5, 60));
}

// A row whose joint `broken` breaks by frame 5, in the fall: at frame 8 the
// user deletes one joint node. The cubes no joint node holds any more leave
// the fracture body, unlocked, and fall; those a joint node still holds
// stay locked pieces, also where that joint is broken at the frame: whole
// again at the start, it holds them there. Nothing hangs: every cube lands.
TEST_F(FractureJointNodeUndo, AJointNodeDeletedAfterABreakByFrameFreesOnlyTheCubesNoJointNodeHolds) {
  struct Case {
    const char* what;
    int cubes;
    std::string broken, deleted;
    std::set<int> leaving;
  };
  const Case cases[] = {
      {"row a-b-c-d, b-c broken, the a-b joint node", 4, joint(3, 2), joint(2, 1), {1}},
      {"row a-b-c-d, b-c broken, the c-d joint node", 4, joint(3, 2), joint(4, 3), {4}},
      {"row a-b-c-d-e, d-e broken, the b-c joint node inside the fragment a-b-c-d", 5, joint(5, 4), joint(3, 2), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(gluedRow(c.cubes, -2, 1, 3));
    run("setAttr " + c.broken + ".breakByForce 0; getAttr " + c.broken + ".ca_breakByForce; setAttr " + c.broken +
        ".breakByFrame 1; getAttr " + c.broken + ".ca_breakByFrame; setAttr " + c.broken + ".frameToBreak 5");
    run("currentTime 1");
    const std::vector<std::string> before = scene();
    ASSERT_NO_FATAL_FAILURE(playOn(2, 8));
    ASSERT_FALSE(jointNode(c.broken).getJoint()->isActive());
    ASSERT_TRUE(runs("delete " + c.deleted));
    for (int i = 1; i <= c.cubes; ++i) {
      const std::string piece = "rowZovBody" + std::to_string(i);
      const bool leaves = c.leaving.count(i) != 0;
      EXPECT_EQ(feeds("ZovFractureBody.rigidBodies", piece + ".fracture"), !leaves) << piece;
      EXPECT_EQ(MFnDependencyNode(node(piece)).isLocked(), !leaves) << piece;
    }
    // Every joint node but the deleted one is there, naming its pieces.
    std::vector<std::string> joints = nodesOfType("zovStressNode");
    std::sort(joints.begin(), joints.end());
    std::vector<std::string> expectedJoints;
    for (const std::string& line : before)
      if (line.rfind("str_", 0) == 0 && line.rfind(c.deleted + " ", 0) != 0)
        expectedJoints.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(joints, expectedJoints);
    EXPECT_EQ(disagreements(), "");
    ASSERT_NO_FATAL_FAILURE(playOn(9, 50));
    for (int i = 1; i <= c.cubes; ++i)
      EXPECT_NEAR(getDouble("row" + std::to_string(i) + ".translateY"), 0.5, 0.02) << "row" << i << " landed";
    // Back at the start every remaining joint is whole and on.
    run("currentTime 1");
    EXPECT_EQ(disagreements({true}), "");
    ASSERT_TRUE(runs("undo"));
    EXPECT_EQ(scene(), before);
    EXPECT_EQ(disagreements({true}), "");
  }
}

// Four cubes resting in a row, the first past the ground's edge and held up
// by its joint alone, its rigid body renamed by the user (unlocked, renamed,
// locked again). What follows gives back the scene as it stood before it,
// the joint node naming the piece by its new name, and the first cube hangs.
TEST_F(FractureJointNodeUndo, APieceTheUserRenamedKeepsItsJointThroughUndoSaveAndOpen) {
  struct Case {
    const char* what;
    std::string renaming, lines;
  };
  const std::string rename = "lockNode -l off rowZovBody1; rename rowZovBody1 hanging; lockNode -l on hanging";
  const Case cases[] = {
      {"a joint node deleted and undone", rename, "delete " + joint(4, 3) + "; undo"},
      {"the fracture body deleted and undone", rename, "delete ZovFractureBody; undo"},
      {"a save and an open", rename, ""},
      {"the rename undone, a joint node deleted and undone", rename + "; undo; undo; undo",
       "delete " + joint(4, 3) + "; undo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(gluedRow(4, 6.6, -1, 0.5));
    run("currentTime 1");
    ASSERT_TRUE(runs(c.renaming));
    const std::string piece = nodesOfType("zovRigidBody")[1];
    const std::vector<std::string> before = scene();
    if (c.lines.empty()) {
      const zovtest::ScratchFile file{"zov_renamed_piece_", ".ma"};
      ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(file.path));
    } else {
      ASSERT_TRUE(runs(c.lines));
    }
    EXPECT_EQ(jointNode(joint(2, 1)).body1Name(), MString(piece.c_str()));
    EXPECT_EQ(scene(), before);
    EXPECT_EQ(disagreements({true}), "");
    EXPECT_NO_FATAL_FAILURE(playOn(2, 40));
    EXPECT_NEAR(getDouble("row1.translateY"), 0.5, 0.02) << "it hangs at its start";
  }
}

// The same saved row, its first piece renamed by the user before the save,
// imported twice into a new scene: the second copy's nodes take other names,
// and each copy's joint nodes name its own pieces, every joint built.
TEST_F(FractureJointNodeUndo, EveryImportedCopyOfAFractureBodyHoldsItsPiecesByTheirNewNames) {
  ASSERT_NO_FATAL_FAILURE(gluedRow(4, 6.6, -1, 0.5));
  run("currentTime 1; lockNode -l off rowZovBody1; rename rowZovBody1 hanging; lockNode -l on hanging");
  const std::vector<std::string> saved = scene();
  const zovtest::ScratchFile file{"zov_imported_row_", ".ma"};
  run("file -rename \"" + file.path + "\"; file -save; file -new");
  zovhost::testing::clearLogs();
  run("file -import \"" + file.path + "\"");
  EXPECT_EQ(scene(), saved);
  run("file -import \"" + file.path + "\"");
  zovhost::testing::flushIdleQueue();
  for (const auto& message : zovhost::testing::messages())
    EXPECT_EQ(message.text.find("could not be rebuilt"), std::string::npos) << message.text;
  for (const std::string& fracture : nodesOfType("zovFbodyNode")) {
    const FractureBody* body = fractureNode(fracture).getFractureBody();
    ASSERT_NE(body, nullptr) << fracture;
    EXPECT_EQ(body->getActiveJoints().getCount(), 3u) << fracture;
  }
  EXPECT_EQ(nodesOfType("zovFbodyNode").size(), 2u);
  EXPECT_EQ(disagreements({true}), "");
}

}  // namespace
