// A user's fracture scene taken through undo, redo and deletes, at rest and
// during playback: after every step the engine world holds exactly what the
// scene's nodes describe, and a deletion undone plays as if it never was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ShatteredCubeFixture.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "support/ScratchFile.h"

namespace {

class FractureUndo : public ShatteredCubeTest {
 protected:
  static FractureBodyNode& fractureNode(const std::string& name = "ZovFractureBody") {
    return *static_cast<FractureBodyNode*>(MFnDependencyNode(node(name)).userNode());
  }
  /// How many steps the undo queue holds: undone one by one to its start,
  /// then redone.
  static int undoDepth() { return static_cast<int>(zovhost::testing::undoCount()); }
  /// What a cluster's removal hands back, a line per rigid body and joint
  /// node: the plug that feeds its `fracture`, its lock, a joint's values.
  static std::string handOver() {
    std::string text;
    const auto line = [&text](const std::string& name, const std::string& values) {
      const MPlug from = MFnDependencyNode(node(name)).findPlug("fracture", true).source();
      text += name + " from " + (from.isNull() ? "nothing" : from.name().asChar()) +
              (MFnDependencyNode(node(name)).isLocked() ? " locked" : "") + values + "\n";
    };
    for (const std::string& name : nodesOfType("zovRigidBody")) line(name, "");
    for (const std::string& name : nodesOfType("zovStressNode"))
      line(name, " " + std::to_string(getDouble(name + ".forceStrenght")) + " " +
                     std::to_string(getDouble(name + ".breakEnergy")) + " " +
                     std::to_string(getDouble(name + ".breakByFrame")));
    return text;
  }
  /// handOver's lines in name order: nodes deleted and brought back come
  /// back last in the scene's order.
  static std::vector<std::string> sortedHandOver() {
    std::vector<std::string> lines;
    std::istringstream text(handOver());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  /// The joints of the engine fracture body, whole, broken or split.
  static unsigned int engineJoints(const std::string& name = "ZovFractureBody") {
    const FractureBody* body = fractureNode(name).getFractureBody();
    if (body == nullptr) return 0;
    return body->getActiveJoints().getCount() + body->getInactiveJoints().getCount() +
           body->getSplitJoints().getCount();
  }
  /// The joint nodes that name the rigid body as one of their two pieces.
  static size_t jointNodesNaming(const std::string& piece) {
    const std::vector<std::string> joints = nodesOfType("zovStressNode");
    return std::count_if(joints.begin(), joints.end(), [&piece](const std::string& joint) {
      const MFnDependencyNode fn(node(joint));
      return fn.findPlug("body1Name", true).asString() == piece.c_str() ||
             fn.findPlug("body2Name", true).asString() == piece.c_str();
    });
  }
  /// Each shard's translate and rotate, and where its engine body stands.
  static std::vector<double> shardPoses() {
    std::vector<double> poses;
    for (int i = 1; i <= kShards; ++i) {
      for (const char* channel : {".translateX", ".translateY", ".translateZ", ".rotateX", ".rotateY", ".rotateZ"})
        poses.push_back(getDouble(shard(i) + channel));
      const Mgc::MgcVector3& at = bodyNode(shardBody(i)).engineBody(false)->getDyn().position;
      poses.insert(poses.end(), {at.x, at.y, at.z});
    }
    return poses;
  }
  static void expectPoses(const std::vector<double>& expected, const std::vector<double>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_NEAR(expected[k], actual[k], 1e-9) << "value " << k;
  }
  /// Comes to the first frame from before it and plays to `last`, the walk
  /// agreeing at each frame: each frame's shard poses and how many bodies
  /// the engine world holds awake.
  static std::vector<std::vector<double>> playedFrames(int last) {
    std::vector<std::vector<double>> frames;
    run("currentTime " + std::to_string(kFirstFrame - 1));
    for (int f = kFirstFrame; f <= last; ++f) {
      run("currentTime " + std::to_string(f));
      EXPECT_EQ(disagreements(), "") << "frame " << f;
      frames.push_back(shardPoses());
      const auto& world = *static_cast<PrivateWorld*>(theWorld);
      double awake = 0.0;
      for (const EngineList<HardBody*>* list : {&world.getDynamicBodies(), &world.getInactiveBodies()})
        for (auto* held = list->getFirst(); held != nullptr; held = held->next) awake += held->value->isActive();
      frames.back().push_back(awake);
    }
    return frames;
  }
  /// The first frame at which two plays part; 0 when they never do.
  static int firstFrameApart(const std::vector<std::vector<double>>& one,
                             const std::vector<std::vector<double>>& other) {
    EXPECT_EQ(one.size(), other.size());
    for (size_t f = 0; f < one.size() && f < other.size(); ++f) {
      EXPECT_EQ(one[f].size(), other[f].size());
      for (size_t k = 0; k < one[f].size() && k < other[f].size(); ++k)
        if (std::fabs(one[f][k] - other[f][k]) > 1e-9) return kFirstFrame + static_cast<int>(f);
    }
    return 0;
  }
  /// Plays `frames` frames from the first, the walk agreeing at each.
  static void playWalking(int last) {
    for (int f = kFirstFrame; f <= last; ++f) {
      run("currentTime " + std::to_string(f));
      ASSERT_EQ(disagreements(), "") << "frame " << f;
    }
  }
};

// Undo cannot take the pieces' bodies back past zovFractureBody, whose undo
// empties the queue; the routes left are delete and detach.
TEST_F(FractureUndo, PiecesTakenAwayByAnyRouteLeaveNothingThatReachesThemAndTheEmptiedNodeSaysSo) {
  struct Route {
    const char* what;
    std::function<void()> takeAway;
  };
  const Route routes[] = {
      {"delete of the pieces' bodies",
       [] {
         std::string line = "delete";
         for (int i = 1; i <= kShards; ++i) {
           run("lockNode -l off " + shardBody(i));
           line += " " + shardBody(i);
         }
         ASSERT_TRUE(runs(line));
       }},
      {"detach of every piece",
       [] {
         for (int i = 1; i <= kShards; ++i)
           if (feeds("ZovFractureBody.rigidBodies", shardBody(i) + ".fracture")) {
             run("select " + shardBody(i));
             ASSERT_TRUE(runs("Detach_FBody"));
             ASSERT_EQ(disagreements(), "") << shardBody(i);
           }
       }},
  };
  for (const Route& route : routes) {
    SCOPED_TRACE(route.what);
    ASSERT_NO_FATAL_FAILURE(freshHost());
    const std::vector<std::string> steps = sceneSteps();
    for (size_t i : {0, 1, 2, 3, 6}) ASSERT_TRUE(runs(steps[i])) << steps[i];
    zovhost::testing::flushIdleQueue();
    ASSERT_NE(fractureNode().getFractureBody(), nullptr);
    zovhost::testing::clearLogs();
    route.takeAway();
    EXPECT_EQ(disagreements(), "");
    // With no piece left the fracture body is let go, and the node says so.
    EXPECT_EQ(fractureNode().getFractureBody(), nullptr);
    EXPECT_EQ(getDouble("ZovFractureBody.index"), -1.0);
    EXPECT_EQ(getDouble("ZovFractureBody.enabled"), 0.0);
    EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Warning,
                                             "fracture body ZovFractureBody has no pieces left and was released"));
    // Its parameters no longer reach anything.
    run("setAttr ZovFractureBody.randomThreshold 10; getAttr ZovFractureBody.ca_randomThreshold");
    run("setAttr ZovFractureBody.stressThreshold 5; getAttr ZovFractureBody.ca_stressThreshold");
    EXPECT_EQ(disagreements(), "");
    // Whatever the undo queue holds comes back and goes again.
    const size_t undone = zovhost::testing::undoCount() < 3 ? zovhost::testing::undoCount() : 3;
    for (size_t k = 0; k < undone; ++k) {
      ASSERT_TRUE(runs("undo"));
      ASSERT_EQ(disagreements(), "") << "undo " << k;
    }
    for (size_t k = 0; k < undone; ++k) {
      ASSERT_TRUE(runs("redo"));
      ASSERT_EQ(disagreements(), "") << "redo " << k;
    }
    playWalking(30);
  }
}

TEST_F(FractureUndo, EveryPrefixOfTheUsersCommandsUndoneAndRedoneKeepsTheWorldAsTheNodesSay) {
  buildScene();
  const int depth = undoDepth();
  ASSERT_GT(depth, 8);
  for (int k = 1; k <= depth; ++k) {
    SCOPED_TRACE("undo and redo of the last " + std::to_string(k));
    ASSERT_NO_FATAL_FAILURE(freshHost());
    buildScene();
    for (int u = 1; u <= k; ++u) {
      ASSERT_TRUE(runs("undo")) << u;
      ASSERT_EQ(disagreements(), "") << "after undo " << u;
    }
    for (int r = 1; r <= k; ++r) {
      ASSERT_TRUE(runs("redo")) << r;
      ASSERT_EQ(disagreements(), "") << "after redo " << r;
    }
    playWalking(30);
  }
}

TEST_F(FractureUndo, UndoingEverythingThenRedoingEverythingKeepsTheWorldAsTheNodesSay) {
  buildScene();
  playWalking(40);
  run("currentTime 1");
  while (zovhost::testing::undoCount() > 0) {
    ASSERT_TRUE(runs("undo"));
    ASSERT_EQ(disagreements(), "") << zovhost::testing::undoCount() << " left to undo";
  }
  while (zovhost::testing::redoCount() > 0) {
    ASSERT_TRUE(runs("redo"));
    ASSERT_EQ(disagreements(), "") << zovhost::testing::redoCount() << " left to redo";
  }
  playWalking(40);
}

TEST_F(FractureUndo, DeletesUndoneAtRestAndDuringPlaybackKeepTheWorldAsTheNodesSay) {
  struct Case {
    const char* what;
    /// What the user deletes; a piece's rigid body is unlocked first.
    const char* deleted;
    int frame;
  };
  const Case cases[] = {
      {"a piece at rest", "cube_shard5", 1},
      {"a cluster's piece at rest", "cube_shard2", 1},
      {"the fracture body at rest", "ZovFractureBody", 1},
      {"the solver at rest", "zovSolverNode1", 1},
      {"the cluster at rest", "zovCluster0", 1},
      {"a piece in flight", "cube_shard5", 12},
      {"a piece after the landing", "cube_shard5", 40},
      {"a cluster's piece after the landing", "cube_shard2", 40},
      {"the fracture body in flight", "ZovFractureBody", 12},
      {"the fracture body after the landing", "ZovFractureBody", 40},
      {"the solver after the landing", "zovSolverNode1", 40},
      {"the cluster after the landing", "zovCluster0", 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(freshHost());
    buildScene();
    playWalking(c.frame);
    const std::string deleted = c.deleted;
    const bool piece = deleted.rfind("cube_shard", 0) == 0;
    const std::string body = piece ? "cube_shardZovBody" + deleted.substr(std::string("cube_shard").size()) : "";
    if (piece) run("lockNode -l off " + body);
    ASSERT_TRUE(runs(std::string("delete ") + c.deleted));
    ASSERT_EQ(disagreements(), "") << "after the delete";
    for (int f = c.frame + 1; f <= c.frame + 3; ++f) {
      run("currentTime " + std::to_string(f));
      ASSERT_EQ(disagreements(), "") << "frame " << f << " after the delete";
    }
    ASSERT_TRUE(runs("undo"));
    ASSERT_EQ(disagreements(), "") << "after the undo";
    playWalking(50);
    // The play's rewind locks the piece again, and a locked node cannot be
    // deleted: the redo says so and changes nothing.
    zovhost::testing::clearLogs();
    ASSERT_EQ(runs("redo"), !piece);
    ASSERT_EQ(disagreements(), "") << "after the redo";
    if (piece) {
      EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error,
                                               "Cannot delete locked or default node '" + body + "'."));
      continue;
    }
    ASSERT_TRUE(runs("undo"));
    ASSERT_EQ(disagreements(), "") << "after the second undo";
    playWalking(20);
  }
}

TEST_F(FractureUndo, ADeletedClusterLeavesWhatItsRemovalLeavesAndItsUndoGivesItBack) {
  ASSERT_NO_FATAL_FAILURE(freshScene());
  ASSERT_TRUE(runs("select zovCluster0; zovCluster -remove"));
  const std::string removed = handOver();
  for (const char* deletion : {"delete zovCluster0", "deleteUserNode zovCluster0"}) {
    SCOPED_TRACE(deletion);
    ASSERT_NO_FATAL_FAILURE(freshScene());
    const std::string clustered = handOver();
    const std::vector<double> start = shardPoses();
    ASSERT_TRUE(runs(deletion));
    EXPECT_EQ(handOver(), removed);
    // Its pieces go back to the start with the others.
    playWalking(30);
    run("currentTime 1");
    expectPoses(start, shardPoses());
    // They are unlocked when the fracture body goes.
    ASSERT_TRUE(runs("delete ZovFractureBody"));
    EXPECT_TRUE(runs("delete " + shardBody(1)));
    for (const char* step : {"undo", "undo", "undo"}) {
      ASSERT_TRUE(runs(step));
      ASSERT_EQ(disagreements(), "") << step;
    }
    EXPECT_EQ(handOver(), clustered);
    EXPECT_EQ(disagreements({true}), "");
    ASSERT_TRUE(runs("redo"));
    EXPECT_EQ(handOver(), removed);
    EXPECT_EQ(disagreements(), "");
    // A save at the first frame keeps the start.
    const zovtest::ScratchFile scene{"zov_cluster_deleted_", ".ma"};
    ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(scene.path));
    EXPECT_EQ(handOver(), removed);
    expectPoses(start, shardPoses());
    EXPECT_EQ(disagreements(), "");
  }
}

// A node that an earlier one's removal took along is gone as asked; a node
// the host will not delete is left, with one warning naming it and why.
TEST_F(FractureUndo, EachNodeADeleteNamesIsGoneAsAskedOrLeftWithItsReasonAndUndoGivesTheSceneBack) {
  ASSERT_NO_FATAL_FAILURE(freshScene());
  const std::string joint = nodesOfType("zovStressNode").back();
  const std::string left = ", it is left as it is";
  struct Case {
    std::string line;
    std::vector<std::string> gone;
    /// The fracture body's joint nodes go too.
    bool jointsGo;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"delete ZovFractureBody zovCluster0", {"ZovFractureBody", "zovCluster0"}, true, {}},
      {"delete ZovFractureBody " + joint, {"ZovFractureBody", "zovCluster0"}, true, {}},
      {"delete zovCluster0 ZovFractureBody", {"ZovFractureBody", "zovCluster0"}, true, {}},
      {"deleteUserNode cube_shardZovBody5", {}, false, {"deleteUserNode: cube_shardZovBody5 is locked" + left}},
      {"deleteUserNode zovCluster0 cube_shardZovBody2",
       {"zovCluster0"},
       false,
       {"deleteUserNode: cube_shardZovBody2 is locked" + left}},
      {"deleteUserNode cube_shard5",
       {},
       false,
       {"deleteUserNode: cube_shard5 has the locked node cube_shardZovBody5 below it" + left}},
  };
  // What the line printed, its result aside.
  const auto printed = [] {
    std::vector<std::string> lines;
    for (const auto& message : zovhost::testing::messages())
      if (message.kind != zovhost::testing::MessageKind::Result) lines.push_back(message.text);
    return lines;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_NO_FATAL_FAILURE(freshScene());
    const std::vector<std::string> before = nodesOfType("dependNode");
    const std::string clustered = handOver();
    std::vector<std::string> gone = c.gone;
    if (c.jointsGo)
      for (const std::string& name : nodesOfType("zovStressNode")) gone.push_back(name);
    std::vector<std::string> after;
    for (const std::string& name : before)
      if (std::find(gone.begin(), gone.end(), name) == gone.end()) after.push_back(name);
    zovhost::testing::clearLogs();
    EXPECT_TRUE(runs(c.line));
    EXPECT_EQ(printed(), c.warnings);
    EXPECT_EQ(nodesOfType("dependNode"), after);
    EXPECT_EQ(disagreements(), "");
    ASSERT_TRUE(runs("undo"));
    EXPECT_EQ(nodesOfType("dependNode"), before);
    EXPECT_EQ(handOver(), clustered);
    EXPECT_EQ(disagreements({true}), "");
    ASSERT_TRUE(runs("redo"));
    EXPECT_EQ(nodesOfType("dependNode"), after);
    EXPECT_EQ(disagreements(), "");
    const zovtest::ScratchFile scene{"zov_named_deletes_", ".ma"};
    ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(scene.path));
    // An opened scene makes its nodes in an order of its own.
    std::vector<std::string> opened = nodesOfType("dependNode");
    std::sort(opened.begin(), opened.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(opened, after);
    EXPECT_EQ(disagreements({true}), "");
  }
}

// A cluster that breaks by frame keeps its fracture body awake until the
// frame, which takes its pieces off: deleted, it leaves a fracture body that
// comes to rest as after its removal; brought back, it does both again.
TEST_F(FractureUndo, ADeletedClusterThatBreaksByFramePlaysAsItsRemovalAndItsUndoAsBefore) {
  const auto breakingByFrame = [] {
    run("setAttr zovCluster0.breakFrame 50; getAttr zovCluster0.ca_breakFrame");
    run("setAttr zovCluster0.breakByFrame 1; getAttr zovCluster0.ca_breakByFrame");
  };
  constexpr int kLast = 70;
  const auto breaksByFrame = [] { return fractureNode().getFractureBody()->isBreakByFrame(); };
  ASSERT_NO_FATAL_FAILURE(freshScene());
  breakingByFrame();
  ASSERT_TRUE(breaksByFrame());
  ASSERT_TRUE(runs("select zovCluster0; zovCluster -remove"));
  ASSERT_FALSE(breaksByFrame());
  const std::string removed = handOver();
  const std::vector<std::vector<double>> removalPlay = playedFrames(kLast);
  for (const char* deletion : {"delete zovCluster0", "deleteUserNode zovCluster0"}) {
    SCOPED_TRACE(deletion);
    ASSERT_NO_FATAL_FAILURE(freshScene());
    breakingByFrame();
    const std::string clustered = handOver();
    const std::vector<std::vector<double>> before = playedFrames(kLast);
    // Breaking by frame is what sets the two plays apart.
    ASSERT_NE(firstFrameApart(removalPlay, before), 0);
    for (const char* step : {deletion, "undo", "redo"}) {
      SCOPED_TRACE(step);
      const bool back = std::string(step) == "undo";
      run("currentTime 1");
      ASSERT_TRUE(runs(step));
      EXPECT_EQ(breaksByFrame(), back);
      EXPECT_EQ(handOver(), back ? clustered : removed);
      EXPECT_EQ(disagreements({true}), "");
      EXPECT_EQ(firstFrameApart(back ? before : removalPlay, playedFrames(kLast)), 0);
    }
  }
}

TEST_F(FractureUndo, APieceTheUserUnlockedGoesWithItsDeletionAndItsUndoGivesItBackAsItWas) {
  struct Case {
    const char* line;
    /// The piece, unlocked first.
    int piece;
    bool clusterGoes;
  };
  const Case cases[] = {
      {"delete cube_shardZovBody5", 5, false},
      {"delete cube_shardZovBody2", 2, false},
      {"delete zovCluster0 cube_shardZovBody2", 2, true},
      {"delete cube_shardZovBody2 zovCluster0", 2, true},
      {"deleteUserNode cube_shardZovBody5", 5, false},
      {"deleteUserNode zovCluster0 cube_shardZovBody2", 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_NO_FATAL_FAILURE(freshScene());
    const std::string piece = shardBody(c.piece);
    run("lockNode -l off " + piece);
    const std::vector<std::string> before = sortedHandOver();
    const size_t joints = nodesOfType("zovStressNode").size();
    const size_t named = jointNodesNaming(piece);
    ASSERT_GT(named, 0u);
    ASSERT_EQ(engineJoints(), joints);
    // The piece goes, the cluster too when named, with every joint node and
    // joint that names the piece.
    const auto expectDeleted = [&](const char* when) {
      SCOPED_TRACE(when);
      const std::vector<std::string> pieces = nodesOfType("zovRigidBody");
      EXPECT_EQ(std::count(pieces.begin(), pieces.end(), piece), 0);
      EXPECT_EQ(nodesOfType("ClusterZovNode").empty(), c.clusterGoes);
      EXPECT_EQ(nodesOfType("zovStressNode").size(), joints - named);
      EXPECT_EQ(engineJoints(), joints - named);
      EXPECT_EQ(disagreements(), "");
    };
    // Everything as it was: links, locks, joint values and joints. An
    // opened scene locks every piece of its fracture bodies.
    const auto expectAsBefore = [&](const char* when, bool opened = false) {
      SCOPED_TRACE(when);
      std::vector<std::string> expected = before;
      if (opened)
        for (std::string& line : expected)
          if (line.rfind(piece + " from ", 0) == 0 && line.find(" locked") == std::string::npos) line += " locked";
      EXPECT_EQ(sortedHandOver(), expected);
      EXPECT_EQ(nodesOfType("zovStressNode").size(), joints);
      EXPECT_EQ(engineJoints(), joints);
      EXPECT_EQ(disagreements({true}), "");
    };
    ASSERT_TRUE(runs(c.line));
    expectDeleted("after the delete");
    ASSERT_TRUE(runs("undo"));
    expectAsBefore("after the undo");
    ASSERT_TRUE(runs("redo"));
    expectDeleted("after the redo");
    ASSERT_TRUE(runs("undo"));
    expectAsBefore("after the second undo");
    const zovtest::ScratchFile scene{"zov_piece_deleted_", ".ma"};
    ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(scene.path));
    expectAsBefore("after a save and an open", true);
    playWalking(20);
  }
}

// Deletions of pieces the user unlocked, with a joint node, the cluster or
// the fracture body before or after, undone line by line, redone and undone
// again: each step gives back exactly the scene as it stood before the line
// it takes back.
TEST_F(FractureUndo, DeletedPiecesTheUserUnlockedComeBackExactlyLineByLineAndRedoTakesThemAgain) {
  const auto bodies = [](std::initializer_list<int> pieces) {
    std::string names;
    for (int i : pieces) names += " " + shardBody(i);
    return names;
  };
  const auto unlock = [&bodies](std::initializer_list<int> pieces) { return "lockNode -l off" + bodies(pieces); };
  const std::string all = bodies({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  const std::string joint65 = " str_cube_shardZovBody6_cube_shardZovBody5";
  const std::string rock =
      "polyCube -w 2 -h 2 -d 2 -n rock; setAttr rock.translate 5 3 0; zovShatter -ns 4 -sed 3 rock; "
      "select `ls \"rock_shard*\"`; new_ZOVBody -shapeType 2; select `ls \"rock_shardZovBody*\"`; "
      "zovFractureBody -dTh 0.05; lockNode -l off rock_shardZovBody2 rock_shardZovBody3; ";
  struct Case {
    const char* what;
    std::string setup;
    std::vector<std::string> lines;
    /// Run after the lines, before they are undone.
    std::string then = "";
    /// The undo brings back a fracture body, which locks the pieces: a
    /// delete of them cannot be redone.
    bool locksAgain = false;
  };
  const Case cases[] = {
      {"two pieces in one line", unlock({5, 6}), {"delete" + bodies({5, 6})}},
      {"two pieces in two lines", unlock({5, 6}), {"delete" + bodies({5}), "delete" + bodies({6})}},
      {"pieces of two fracture bodies",
       rock + unlock({5, 6}),
       {"delete" + bodies({5}) + " rock_shardZovBody2" + bodies({6}) + " rock_shardZovBody3"}},
      {"a joint node of the piece, then the piece", unlock({5}), {"delete" + joint65, "delete" + bodies({5})}},
      {"a joint node switched off, then its piece",
       unlock({5}) + "; setAttr" + joint65 + ".enabled 0; getAttr" + joint65 + ".ca_enabled",
       {"delete" + joint65, "delete" + bodies({5})}},
      {"a joint node and its piece in one line", unlock({5}), {"delete" + joint65 + bodies({5})}},
      {"the piece, then a joint node",
       unlock({5}),
       {"delete" + bodies({5}), "delete str_cube_shardZovBody7_cube_shardZovBody6"}},
      {"the cluster, then two of its pieces", unlock({2, 3}), {"delete zovCluster0", "delete" + bodies({2, 3})}},
      {"pieces, then their cluster", unlock({2, 5}), {"deleteUserNode" + bodies({2, 5}), "delete zovCluster0"}},
      {"every piece in one line", "lockNode -l off" + all, {"delete" + all}},
      {"every piece, then the fracture body", "lockNode -l off" + all, {"delete" + all, "delete ZovFractureBody"}},
      {"a joint node, then every piece in two lines",
       "lockNode -l off" + all,
       {"delete" + joint65, "delete" + bodies({1, 2, 3, 4, 5, 6}), "delete" + bodies({7, 8, 9, 10, 11, 12})}},
      {"the fracture body before its unlocked pieces in one line",
       rock + "lockNode -l off rock_shardZovBody1 rock_shardZovBody4",
       {"delete ZovFractureBody1 rock_shardZovBody1 rock_shardZovBody2 rock_shardZovBody3 rock_shardZovBody4"},
       "",
       true},
      {"the fracture body, then a piece", "", {"delete ZovFractureBody", "delete" + bodies({4})}},
      {"a joint node and its fracture body in one line", "", {"delete" + joint65 + " ZovFractureBody"}},
      {"a joint node, then its fracture body", "", {"delete" + joint65, "delete ZovFractureBody"}},
      {"the pieces round the cluster, then its inner joint nodes, whose last lets the fracture body go",
       unlock({4, 5, 6, 7, 8, 9, 10, 11, 12}),
       {"delete" + bodies({4, 5, 6, 7, 8, 9, 10, 11, 12}),
        "delete str_cube_shardZovBody3_cube_shardZovBody1 str_cube_shardZovBody2_cube_shardZovBody1 "
        "str_cube_shardZovBody3_cube_shardZovBody2"}},
      {"a joint node switched off, then a rewind",
       "setAttr" + joint65 + ".enabled 0; getAttr" + joint65 + ".ca_enabled",
       {"delete" + joint65},
       "currentTime 5; currentTime 1"},
  };
  // What the user can see and the engine holds: nodes, links, locks, joint
  // values, each fracture body's engine joints and how many are on, and the
  // walk of the nodes against the world.
  const auto state = [] {
    std::string text;
    for (const std::string& line : sortedHandOver()) text += line + "\n";
    for (const std::string& name : nodesOfType("ClusterZovNode")) text += name + "\n";
    for (const std::string& name : nodesOfType("zovFbodyNode")) {
      const FractureBody* body = fractureNode(name).getFractureBody();
      text += name + " " + std::to_string(getDouble(name + ".index")) + " " +
              std::to_string(getDouble(name + ".enabled")) +
              (body == nullptr ? " released\n"
                               : " joints " + std::to_string(body->getActiveJoints().getCount()) + " on of " +
                                     std::to_string(engineJoints(name)) + "\n");
    }
    return text + disagreements({true});
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(freshScene());
    ASSERT_TRUE(runs(c.setup));
    std::vector<std::string> states{state()};
    for (const std::string& line : c.lines) {
      ASSERT_TRUE(runs(line)) << line;
      // Each node the line names is gone, with every joint node naming it.
      std::istringstream words(line.substr(line.find(' ')));
      for (std::string name; words >> name;) {
        EXPECT_TRUE(zovtest::nodeNamed(name).isNull()) << name;
        EXPECT_EQ(jointNodesNaming(name), 0u) << name;
      }
      states.push_back(state());
    }
    if (!c.then.empty()) run(c.then);
    const auto locks = [&c](std::string text) {
      for (size_t at; c.locksAgain && (at = text.find(" locked")) != std::string::npos;) text.erase(at, 7);
      return text;
    };
    const size_t n = c.lines.size();
    for (const char* step : {"undo", "redo", "undo"}) {
      if (c.locksAgain && step != std::string("undo")) break;
      const bool back = std::string(step) == "undo";
      for (size_t k = 0; k < n; ++k) {
        ASSERT_TRUE(runs(step));
        EXPECT_EQ(locks(state()), locks(states[back ? n - 1 - k : k + 1])) << step << " " << k + 1;
      }
    }
    // Played and rewound, the scene is as it was.
    playWalking(20);
    run("currentTime " + std::to_string(kFirstFrame));
    EXPECT_EQ(disagreements({true}), "");
  }
}

// A piece the user unlocked and deleted, then a joint node deleted, both
// undone; a rewind locks the piece again, so the redo of its deletion is
// refused and says why. The unlock the message calls for lets it through,
// and the joint node's deletion after it: each redo gives the scene as its
// line first left it, and undone to before the unlock, the scene as the
// rewind left it.
TEST_F(FractureUndo, AnUnlockLetsARefusedRedoOfAPiecesDeletionAndTheLinesAfterItGoThrough) {
  ASSERT_NO_FATAL_FAILURE(freshScene());
  const std::string piece = shardBody(5);
  // Links, locks, joint values, the engine's joints and how many are on.
  const auto state = [] {
    std::string text;
    for (const std::string& line : sortedHandOver()) text += line + "\n";
    const FractureBody* body = fractureNode().getFractureBody();
    return text + std::to_string(engineJoints()) + " joints, " +
           std::to_string(body == nullptr ? 0 : body->getActiveJoints().getCount()) + " on\n" + disagreements({true});
  };
  run("lockNode -l off " + piece);
  std::vector<std::string> states{state()};
  for (const std::string& line : {"delete " + piece, std::string("delete str_cube_shardZovBody7_cube_shardZovBody6")}) {
    ASSERT_TRUE(runs(line)) << line;
    states.push_back(state());
  }
  ASSERT_TRUE(runs("undo"));
  ASSERT_TRUE(runs("undo"));
  playWalking(5);
  run("currentTime 1");
  // As before the lines, but for the lock the rewind put back.
  const std::string rewound = state();
  std::string relocked = states[0];
  relocked.insert(relocked.find('\n', relocked.find(piece + " from ")), " locked");
  ASSERT_EQ(rewound, relocked);
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("redo"));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error,
                                           "Cannot delete locked or default node '" + piece + "'."));
  EXPECT_EQ(state(), rewound);
  ASSERT_TRUE(runs("lockNode -l off " + piece));
  for (size_t k = 1; k <= 2; ++k) {
    ASSERT_TRUE(runs("redo")) << k;
    EXPECT_EQ(state(), states[k]) << "redo " << k;
  }
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(runs("undo")) << k;
  EXPECT_EQ(state(), rewound);
  playWalking(20);
}

// Two pieces unlocked in one line, and the line undone: both are locked
// again as before it, and neither can be deleted.
TEST_F(FractureUndo, OneUndoOfAnUnlockOfTwoPiecesLocksBothAgain) {
  ASSERT_NO_FATAL_FAILURE(freshScene());
  const std::string before = handOver();
  ASSERT_TRUE(runs("lockNode -l off " + shardBody(5) + " " + shardBody(6)));
  ASSERT_TRUE(runs("undo"));
  EXPECT_EQ(handOver(), before);
  for (int i : {5, 6}) EXPECT_FALSE(runs("delete " + shardBody(i))) << i;
  EXPECT_EQ(handOver(), before);
  EXPECT_EQ(disagreements({true}), "");
}

// Four cubes in a row above the ground, each joined to the next: deleting
// the second takes the first's only joint and frees it; the undo gives it
// back to the fracture body with its joint and its lock, and it falls and
// lands with it.
TEST_F(FractureUndo, ANeighbourFreedByAPiecesDeletionIsAPieceAgainAfterTheUndoAndLandsWithTheRest) {
  ASSERT_NO_FATAL_FAILURE(freshHost());
  ASSERT_TRUE(runs(sceneSteps()[0]));
  ASSERT_TRUE(runs(sceneSteps()[4]));
  for (int i = 1; i <= 4; ++i)
    run("polyCube -n row" + std::to_string(i) + "; setAttr row" + std::to_string(i) + ".translate " +
        std::to_string(i - 2.5) + " 2 0");
  ASSERT_TRUE(
      runs("select row1 row2 row3 row4; new_ZOVBody -shapeType 2; "
           "select rowZovBody1 rowZovBody2 rowZovBody3 rowZovBody4; zovFractureBody -dTh 0.05"));
  run("currentTime 1");
  ASSERT_EQ(jointNodesNaming("rowZovBody1"), 1u);
  ASSERT_EQ(engineJoints(), 3u);
  run("lockNode -l off rowZovBody2");
  ASSERT_TRUE(runs("delete rowZovBody2"));
  ASSERT_FALSE(feeds("ZovFractureBody.rigidBodies", "rowZovBody1.fracture"));
  ASSERT_TRUE(runs("undo"));
  EXPECT_TRUE(feeds("ZovFractureBody.rigidBodies", "rowZovBody1.fracture"));
  // Each with its lock: the freed neighbour locked as it was, the deleted
  // cube unlocked as the user left it.
  EXPECT_TRUE(MFnDependencyNode(node("rowZovBody1")).isLocked());
  EXPECT_FALSE(MFnDependencyNode(node("rowZovBody2")).isLocked());
  EXPECT_EQ(jointNodesNaming("rowZovBody1"), 1u);
  EXPECT_EQ(engineJoints(), 3u);
  EXPECT_EQ(disagreements({true}), "");
  playWalking(60);
  // The row rests on the ground as it fell: whole, unit cubes one apart.
  for (int i = 1; i <= 4; ++i) {
    const std::string cube = "row" + std::to_string(i);
    EXPECT_NEAR(getDouble(cube + ".translateY"), 0.5, 0.02) << cube;
    EXPECT_NEAR(getDouble(cube + ".translateX") - getDouble("row1.translateX"), i - 1, 0.02) << cube;
  }
}

// Glued cubes, one of which loses its last joint to a deletion at the first
// frame: it falls as a free cube dropped beside them does, also undone and
// redone and in the scene saved and opened again; the undo holds it again.
TEST_F(FractureUndo, ACubeADeletionLeavesWithoutAJointFallsAsAFreeCubeDoes) {
  struct Case {
    const char* what;
    /// The glued cubes' x, their height, and the free cube's x.
    std::vector<double> xs;
    double y, freeX;
    /// Unlocked and deleted; it takes glued1's last joint.
    const char* deleted;
  };
  const Case cases[] = {
      {"the joint node holding the first of four past the ground's edge",
       {4.6, 3.6, 2.6, 1.6},
       0.5,
       -6,
       "str_gluedZovBody2_gluedZovBody1"},
      {"the second of four in a row", {-1.5, -0.5, 0.5, 1.5}, 2, -3, "gluedZovBody2"},
      {"the other of two", {-1.5, -0.5}, 2, -3, "gluedZovBody2"},
  };
  // Played from the first frame: glued1's height and the free cube's at
  // each frame, the walk agreeing at the last.
  const auto play = [] {
    std::vector<std::pair<double, double>> heights;
    run("currentTime " + std::to_string(kFirstFrame));
    for (int f = kFirstFrame + 1; f <= 30; ++f) {
      run("currentTime " + std::to_string(f));
      heights.emplace_back(getDouble("glued1.translateY"), getDouble("free.translateY"));
    }
    EXPECT_EQ(disagreements(), "");
    return heights;
  };
  const auto expectFalls = [&play](const char* when) {
    SCOPED_TRACE(when);
    for (const auto& [glued, free] : play()) EXPECT_NEAR(glued, free, 1e-9);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(freshHost());
    ASSERT_TRUE(runs(sceneSteps()[0]));
    ASSERT_TRUE(runs(sceneSteps()[4]));
    std::string cubes, bodies;
    for (size_t i = 1; i <= c.xs.size(); ++i) {
      const std::string cube = "glued" + std::to_string(i);
      run("polyCube -n " + cube + "; setAttr " + cube + ".translate " + std::to_string(c.xs[i - 1]) + " " +
          std::to_string(c.y) + " 0");
      cubes += " " + cube;
      bodies += " gluedZovBody" + std::to_string(i);
    }
    run("polyCube -n free; setAttr free.translate " + std::to_string(c.freeX) + " " + std::to_string(c.y) + " 3");
    ASSERT_TRUE(
        runs("select" + cubes + " free; new_ZOVBody -shapeType 2; select" + bodies + "; zovFractureBody -dTh 0.05"));
    const std::vector<std::pair<double, double>> untouched = play();
    run(std::string("currentTime 1; lockNode -l off ") + c.deleted);
    ASSERT_TRUE(runs(std::string("delete ") + c.deleted));
    expectFalls("after the delete");
    ASSERT_TRUE(runs("undo"));
    ASSERT_TRUE(runs("redo"));
    expectFalls("undone and redone");
    const zovtest::ScratchFile scene{"zov_freed_cube_", ".ma"};
    run("file -rename \"" + scene.path + "\"; file -save");
    // The undo holds it again, as before the delete.
    ASSERT_TRUE(runs("undo"));
    const std::vector<std::pair<double, double>> held = play();
    for (size_t k = 0; k < held.size(); ++k) EXPECT_NEAR(held[k].first, untouched[k].first, 1e-9) << k;
    zovhost::testing::resetHost();
    ASSERT_TRUE(MGlobal::executeCommand(moduleLoadLine()));
    run("file -open \"" + scene.path + "\"");
    expectFalls("saved and opened again");
  }
}

// Four glued cubes, the first past the ground's edge held by its one joint.
// Its joint node switched off (and its twin read, as the user interface
// does) and the switch undone at the first frame: the play that follows,
// with no rewind between, holds the cube as the untouched play does; redone,
// it drops the cube as the switch did.
TEST_F(FractureUndo, AnUndoneJointSwitchReachesThePlayThatFollows) {
  const std::string joint = "str_gluedZovBody2_gluedZovBody1";
  const std::string off = "setAttr " + joint + ".enabled 0; getAttr " + joint + ".ca_enabled";
  const struct {
    std::vector<std::string> lines;
    bool held;
  } cases[] = {
      {{"undo"}, true},
      {{"undo", "redo", "undo"}, true},
      {{"undo", "redo"}, false},
  };
  // The scene at the first frame, and glued1's height at each frame after
  // it, played on from where the time stands.
  const auto build = [this] {
    ASSERT_NO_FATAL_FAILURE(freshHost());
    ASSERT_TRUE(runs(sceneSteps()[0]));
    ASSERT_TRUE(runs(sceneSteps()[4]));
    std::string cubes, bodies;
    for (int i = 1; i <= 4; ++i) {
      const std::string cube = "glued" + std::to_string(i);
      run("polyCube -n " + cube + "; setAttr " + cube + ".translate " + std::to_string(5.6 - i) + " 0.5 0");
      cubes += " " + cube;
      bodies += " gluedZovBody" + std::to_string(i);
    }
    ASSERT_TRUE(runs("select" + cubes + "; new_ZOVBody -shapeType 2; select" + bodies + "; zovFractureBody -dTh 0.05"));
    run("currentTime " + std::to_string(kFirstFrame));
  };
  const auto playOn = [] {
    std::vector<double> heights;
    for (int f = kFirstFrame + 1; f <= 30; ++f) {
      run("currentTime " + std::to_string(f));
      heights.push_back(getDouble("glued1.translateY"));
    }
    EXPECT_EQ(disagreements(), "");
    return heights;
  };
  ASSERT_NO_FATAL_FAILURE(build());
  const std::vector<double> untouched = playOn();
  ASSERT_NO_FATAL_FAILURE(build());
  ASSERT_TRUE(runs(off));
  const std::vector<double> switched = playOn();
  // Held, and dropped by the switch.
  ASSERT_GT(untouched.back(), 0.4);
  ASSERT_LT(switched.back(), 0.0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines.size() == 1 ? "undone" : c.held ? "undone, redone and undone" : "undone and redone");
    ASSERT_NO_FATAL_FAILURE(build());
    ASSERT_TRUE(runs(off));
    for (const std::string& line : c.lines) ASSERT_TRUE(runs(line)) << line;
    const std::vector<double> played = playOn();
    const std::vector<double>& expected = c.held ? untouched : switched;
    ASSERT_EQ(played.size(), expected.size());
    for (size_t k = 0; k < played.size(); ++k)
      EXPECT_NEAR(played[k], expected[k], 1e-9) << "frame " << kFirstFrame + 1 + k;
  }
}

TEST_F(FractureUndo, AFractureBodyOrSolverDeletedDuringPlaybackAndBroughtBackPlaysAsTheUntouchedScene) {
  buildScene();
  const std::vector<FrameRecord> untouched = play();
  ASSERT_GT(brokenCount(untouched), 0u);
  for (const char* deleted : {"ZovFractureBody", "zovSolverNode1"}) {
    SCOPED_TRACE(deleted);
    play(30);
    ASSERT_TRUE(runs(std::string("delete ") + deleted));
    run("currentTime 31");
    ASSERT_TRUE(runs("undo"));
    expectSamePlay(untouched, play());
  }
}

// Random lines over a small scene: two fracture bodies, one with a cluster
// and one with a joint switched off, and a glued row. Deletions of their
// pieces, joint nodes, clusters and fracture bodies, unlocks, renames, joint
// switches, undo, redo, plays and rewinds, in any order, and now and then a
// save and an open or an import of the first scene: every undo and redo
// gives the scene exactly as it stood before or after its line, also for a
// line made mid-play, but for the locks that a rewind, or the fracture body
// that an undo brings back, puts on pieces; every joint node names pieces of
// its own fracture body. ZOV_UNDO_SEEDS="first:count" runs other seeds.
TEST_F(FractureUndo, RandomLinesOfDeletionsUndoneAndRedoneGiveBackTheSceneAsItStoodAroundEachLine) {
  struct Scene {
    /// Per node: its links, a joint node's values, a fracture body's engine
    /// joints by their pieces (whether each is on as its node says is the
    /// walk's to check, at rest: a play breaks them).
    std::map<std::string, std::string> nodes;
    std::map<std::string, bool> locks;
    /// Each joint node's two pieces, by the names it holds.
    std::map<std::string, std::pair<std::string, std::string>> joins;
  };
  const auto scene = [] {
    Scene now;
    std::map<const HardBody*, std::string> bodies;
    const auto from = [](const std::string& name) {
      const MPlug plug = MFnDependencyNode(node(name)).findPlug("fracture", true).source();
      return "from " + std::string(plug.isNull() ? "nothing" : plug.name().asChar());
    };
    for (const std::string& name : nodesOfType("zovRigidBody")) {
      now.nodes[name] = from(name);
      now.locks[name] = MFnDependencyNode(node(name)).isLocked();
      if (const HardBody* body = bodyNode(name).engineBody(false)) bodies[body] = name;
    }
    for (const std::string& name : nodesOfType("zovStressNode")) {
      run("getAttr " + name + ".ca_enabled");  // as the user interface shows it
      now.nodes[name] = from(name);
      for (const char* value : {".enabled", ".forceStrenght", ".breakEnergy", ".breakByFrame"})
        now.nodes[name] += " " + std::to_string(getDouble(name + value));
      const MFnDependencyNode fn(node(name));
      now.joins[name] = {fn.findPlug("body1Name", true).asString().asChar(),
                         fn.findPlug("body2Name", true).asString().asChar()};
      now.nodes[name] += " joins " + now.joins[name].first + " " + now.joins[name].second;
    }
    for (const std::string& name : nodesOfType("ClusterZovNode")) now.nodes[name] = from(name);
    for (const std::string& name : nodesOfType("zovFbodyNode")) {
      std::string& text = now.nodes[name];
      text = "index " + std::to_string(getDouble(name + ".index")) + " " + std::to_string(getDouble(name + ".enabled"));
      std::vector<const FractureBody*> family{fractureNode(name).getFractureBody()};
      std::set<std::string> joints;
      for (size_t i = 0; i < family.size() && family[0] != nullptr; ++i) {
        for (const EngineList<DynamicStress*>* list :
             {&family[i]->getActiveJoints(), &family[i]->getInactiveJoints(), &family[i]->getSplitJoints()})
          for (auto* entry = list->getFirst(); entry != nullptr; entry = entry->next) {
            std::string c = bodies[entry->value->getCNode()], p = bodies[entry->value->getPNode()];
            joints.insert(std::min(c, p) + "-" + std::max(c, p));
          }
        for (auto* child = family[i]->getChildBodies().getFirst(); child != nullptr; child = child->next)
          family.push_back(static_cast<const FractureBody*>(child->value));
      }
      for (const std::string& joint : joints) text += " " + joint;
      if (family[0] == nullptr) text += " released";
    }
    return now;
  };
  const auto differences = [](const Scene& expected, const Scene& actual) {
    std::string text;
    std::set<std::string> names;
    for (const Scene* one : {&expected, &actual})
      for (const auto& entry : one->nodes) names.insert(entry.first);
    for (const std::string& name : names) {
      const auto e = expected.nodes.find(name), a = actual.nodes.find(name);
      const std::string was = e == expected.nodes.end() ? "none" : e->second;
      const std::string is = a == actual.nodes.end() ? "none" : a->second;
      if (was != is) text += name + ": expected " + was + "\n  but is " + is + "\n";
      if (expected.locks.count(name) && actual.locks.count(name) && expected.locks.at(name) != actual.locks.at(name))
        text += name + (expected.locks.at(name) ? " should be locked\n" : " should be unlocked\n");
    }
    return text;
  };
  // The fracture bodies a line deleted, whose undo locks their pieces.
  const auto fracturesGone = [](const Scene& before, const Scene& after) {
    std::set<std::string> gone;
    for (const auto& [name, text] : before.nodes)
      if (text.rfind("index", 0) == 0 && after.nodes.count(name) == 0) gone.insert(name);
    return gone;
  };
  // The node that feeds a node's `fracture`; empty when none.
  const auto linkedTo = [](const Scene& scene, const std::string& name) {
    const auto found = scene.nodes.find(name);
    if (found == scene.nodes.end() || found->second.rfind("from ", 0) != 0) return std::string();
    const size_t dot = found->second.find('.');
    return dot == std::string::npos ? std::string() : found->second.substr(5, dot - 5);
  };
  // The fracture body a node belongs to, directly or through a cluster.
  const auto ownerOf = [&linkedTo](const Scene& scene, const std::string& name) {
    const std::string link = linkedTo(scene, name);
    const auto found = scene.nodes.find(link);
    return found != scene.nodes.end() && found->second.rfind("from ", 0) == 0 ? linkedTo(scene, link) : link;
  };
  // Every joint node of a fracture body that is built names two of its
  // pieces, whatever renamed them.
  const auto strayJoints = [&ownerOf](const Scene& scene) {
    std::string text;
    for (const auto& [name, pieces] : scene.joins) {
      const std::string owner = ownerOf(scene, name);
      const auto fracture = scene.nodes.find(owner);
      if (fracture == scene.nodes.end() || fracture->second.find("released") != std::string::npos) continue;
      for (const std::string& piece : {pieces.first, pieces.second})
        if (ownerOf(scene, piece) != owner) text += name + " names " + piece + ", no piece of " + owner + "\n";
    }
    return text;
  };
  unsigned int first = 1, count = 6;
  if (const char* seeds = std::getenv("ZOV_UNDO_SEEDS")) std::sscanf(seeds, "%u:%u", &first, &count);
  std::vector<unsigned int> failed;
  // The first scene, imported now and then, and the scene saved and opened.
  const zovtest::ScratchFile start{"zov_undo_start_", ".ma"}, saved{"zov_undo_saved_", ".ma"};
  for (unsigned int seed = first; seed < first + count; ++seed) {
    ASSERT_NO_FATAL_FAILURE(freshHost());
    const std::string off = "str_rock_shardZovBody4_rock_shardZovBody1";
    for (const std::string& line :
         {sceneSteps()[0], sceneSteps()[4], sceneSteps()[1], std::string("zovShatter -ns 6 -sed 7 cube"),
          sceneSteps()[3], sceneSteps()[6], sceneSteps()[7],
          std::string("select cube_shardZovBody1 cube_shardZovBody2; zovCluster -as"),
          std::string("polyCube -w 2 -h 2 -d 2 -n rock; setAttr rock.translate 5 3 0; zovShatter -ns 4 -sed 3 rock"),
          std::string("select `ls \"rock_shard*\"`; new_ZOVBody -st 2; select `ls \"rock_shardZovBody*\"`; "
                      "zovFractureBody -dTh 0.05; setAttr " +
                      off + ".enabled 0; getAttr " + off + ".ca_enabled")}) {
      ASSERT_TRUE(runs(line)) << line;
      zovhost::testing::flushIdleQueue();
    }
    for (int i = 1; i <= 4; ++i)
      run("polyCube -n row" + std::to_string(i) + "; setAttr row" + std::to_string(i) + ".translate " +
          std::to_string(i - 2.5) + " 2 -3");
    ASSERT_TRUE(
        runs("select row1 row2 row3 row4; new_ZOVBody -st 2; select `ls \"rowZovBody*\"`; "
             "zovFractureBody -dTh 0.05"));
    run("currentTime 1; flushUndo; file -rename \"" + start.path + "\"; file -save");
    std::mt19937 random(seed);
    const auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
    struct Line {
      std::string text;
      Scene before, after;
    };
    std::vector<Line> lines;
    size_t done = 0;
    int frame = 1;
    std::string log;
    std::string failure = disagreements({true});
    bool imported = false;
    // Thirty random steps, then everything undone and everything redone.
    bool undoing = true;
    for (int step = 0; failure.empty(); ++step) {
      const Scene now = scene();
      size_t kind = pick(13);
      if (step >= 30) {
        undoing = undoing && done > 0;
        if (!undoing && done == lines.size()) break;
        kind = undoing ? 5 : 6;
      }
      if (kind < 5 || kind == 10) {
        // A line: unlocks, a joint switch, deletions of one to three nodes,
        // or a rename of a rigid body, refused while it is locked.
        std::vector<std::string> nodes;
        for (const char* type : {"zovStressNode", "ClusterZovNode", "zovFbodyNode", "zovRigidBody"})
          for (const std::string& name : nodesOfType(type))
            if (name != "groundZovBody" && (kind != 10 || type == std::string("zovRigidBody"))) nodes.push_back(name);
        std::shuffle(nodes.begin(), nodes.end(), random);
        nodes.resize(std::min<size_t>(nodes.size(), kind == 10 ? 1 : 1 + pick(3)));
        const char* commands[] = {"lockNode -l off", "", "deleteUserNode", "delete", "delete"};
        std::string line = kind == 10 ? "rename" : commands[kind];
        for (const std::string& name : nodes) line += " " + name;
        if (nodes.empty() || (kind == 1 && nodes[0].rfind("str_", 0) != 0)) continue;
        if (kind == 1) line = "setAttr " + nodes[0] + ".enabled " + (pick(2) ? "0" : "1");
        if (kind == 10) line += " " + nodes[0] + "R";
        log += line + "\n";
        if (!runs(line)) {
          failure = differences(now, scene());
          continue;
        }
        for (const std::string& name : nodes)
          if (kind > 1 && kind < 5 && !(now.locks.count(name) && now.locks.at(name)) &&
              (!zovtest::nodeNamed(name).isNull() || jointNodesNaming(name) != 0))
            failure += name + " is not gone with the joint nodes that name it\n";
        // It takes no other joint node: none that names no node it names.
        const Scene after = scene();
        const auto namedBy = [&nodes](const std::string& name) {
          return std::find(nodes.begin(), nodes.end(), name) != nodes.end();
        };
        for (const auto& [name, pieces] : now.joins)
          if (after.joins.count(name) == 0 && !namedBy(name) && !namedBy(pieces.first) && !namedBy(pieces.second) &&
              !namedBy(ownerOf(now, name)))
            failure += name + " is gone, which the line does not name\n";
        lines.resize(done);
        lines.push_back({line, now, after});
        ++done;
      } else if (kind < 7) {
        const bool undo = kind == 5;
        if (undo ? done == 0 : done == lines.size()) continue;
        const Line& line = lines[undo ? done - 1 : done];
        log += std::string(undo ? "undo " : "redo ") + line.text + "\n";
        bool changed = false;
        zovhost::testing::clearLogs();
        const bool ran = runs(undo ? "undo" : "redo");
        // deleteUserNode leaves a node locked since, and says so.
        for (const auto& message : zovhost::testing::messages())
          changed = changed || message.text.find("it is left as it is") != std::string::npos;
        const Scene after = scene();
        // A node locked since (by a rewind) refuses the redo of its deletion.
        if (!undo && !ran && differences(now, after).empty()) {
          if (step >= 30) break;
          continue;
        }
        // The nodes the line locked or unlocked, took or brought back, or
        // whose locks it changed, take the locks it found or left; the others
        // keep theirs. A fracture body that goes unlocks its pieces, and one
        // that comes back locks them, save a piece whose own deletion, undone
        // after it, gives it back as it was.
        Scene expected = undo ? line.before : line.after;
        const Scene& other = undo ? line.after : line.before;
        const std::set<std::string> gone = fracturesGone(line.before, line.after);
        // A renamed node goes by its other name in the other scenes.
        std::string command, from, to;
        std::istringstream(line.text) >> command >> from >> to;
        for (auto& [name, locked] : expected.locks) {
          const std::string link = linkedTo(line.before, name);
          const bool released = gone.count(link) != 0 || gone.count(linkedTo(line.before, link)) != 0;
          const bool named =
              line.text.rfind("lockNode", 0) == 0 && (line.text + " ").find(" " + name + " ") != std::string::npos;
          const std::string there = command != "rename" ? name : name == from ? to : name == to ? from : name;
          if (!named && !released && other.locks.count(there) && other.locks.at(there) == locked &&
              now.locks.count(there))
            locked = now.locks.at(there);
          if (undo && released && after.locks.count(name) && after.locks.at(name)) locked = true;
        }
        if (!undo && changed) {
          // Redone on locks that differ from those it first met: what it
          // does now is what the steps that follow start from.
          lines[done] = {line.text, now, after};
          lines.resize(done + 1);
        } else {
          failure = differences(expected, after);
        }
        done = undo ? done - 1 : done + 1;
      } else if (kind >= 11) {
        // The scene saved and opened, or the first scene imported into it
        // (once a seed), its joints built, its pieces locked. Neither is a
        // step of the undo queue: the steps before it go.
        const bool open = kind == 11;
        if ((open && pick(3) != 0) || (!open && imported)) continue;
        imported = imported || !open;
        log += open ? "save and open\n" : "import\n";
        run(open ? "file -rename \"" + saved.path + "\"; file -save; file -open \"" + saved.path + "\""
                 : "file -import \"" + start.path + "\"; flushUndo");
        zovhost::testing::flushIdleQueue();
        if (open) frame = 1;
        lines.clear();
        done = 0;
        Scene expected = now;
        const Scene after = scene();
        for (auto& [name, locked] : expected.locks)
          locked = locked || (after.locks.count(name) && after.locks.at(name));
        if (!open)
          for (const auto& entry : after.nodes)
            if (now.nodes.count(entry.first) == 0) expected.nodes.insert(entry);
        failure = differences(expected, after) + strayJoints(after) + disagreements({frame == 1});
      } else {
        // A play of up to thirty frames on, or a rewind to the first.
        const bool rewind = kind == 9;
        const int to = rewind ? 1 : frame + 1 + static_cast<int>(pick(30));
        log += "currentTime " + std::to_string(to) + "\n";
        for (int f = rewind ? 1 : frame + 1; f <= to && failure.empty(); ++f) {
          run("currentTime " + std::to_string(f));
          failure = disagreements({rewind});
        }
        frame = to;
        Scene expected = now;
        const Scene after = scene();
        for (auto& [name, locked] : expected.locks)
          locked = locked || (rewind && after.locks.count(name) && after.locks.at(name));
        failure += differences(expected, after);
      }
      if (failure.empty()) failure = disagreements({frame == 1}) + strayJoints(scene());
    }
    if (!failure.empty()) {
      ADD_FAILURE() << "seed " << seed << ":\n" << log << "---\n" << failure;
      failed.push_back(seed);
    }
  }
  EXPECT_EQ(failed, std::vector<unsigned int>{}) << "of " << count << " seeds";
}

}  // namespace
