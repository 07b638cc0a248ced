// A fracture piece's collision shape changed by the user: a piece whose
// engine body is made again stays a piece with every joint its joint nodes
// hold, as the scene saved and opened again has it; a piece of whose shape no
// body can be made leaves its fracture body alone, and the user is told.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ShatteredCubeFixture.h"
#include "support/ScratchFile.h"

namespace {

using namespace zovhost::testing;

class FracturePieceShape : public ShatteredCubeTest {
 protected:
  static constexpr int kPlayedTo = 40;
  /// What a joint node holds: its pieces and its strength.
  struct JointHeld {
    std::string first, second;
    double strength;
    bool operator==(const JointHeld& other) const {
      return first == other.first && second == other.second && strength == other.strength;
    }
  };
  static std::map<std::string, JointHeld> jointNodes() {
    std::map<std::string, JointHeld> found;
    for (const std::string& joint : nodesOfType("zovStressNode"))
      found[joint] = {word("getAttr " + joint + ".body1Name"), word("getAttr " + joint + ".body2Name"),
                      getDouble(joint + ".forceStrenght")};
    return found;
  }
  /// The first word a line answers; empty when it answers none.
  static std::string word(const std::string& line) {
    std::vector<std::string> words;
    runs(line, &words);
    return words.empty() ? "" : words.front();
  }
  /// The node a rigid body's `fracture` link comes from: its fracture body
  /// node or its cluster; empty for a free body.
  static std::string linkOf(const std::string& body) { return word("listConnections -s 1 -d 0 " + body + ".fracture"); }
  static std::string shapeOf(const std::string& body) {
    return word("listConnections -s 1 -d 0 " + body + ".inCollisionType");
  }
  /// Has the body node evaluated as the viewport's drawing of it does (a
  /// body whose shape changed is made then), then every setting pulled as an
  /// opened scene pulls them: the centre of mass is then held in single
  /// precision as the reopened scene's is, so that the two play alike bit
  /// for bit.
  static void draw(const std::string& body) {
    bodyNode(body).engineBody(true);
    bodyNode(body).pullAll();
  }
  /// Saved at the first frame and opened in a fresh host, the scene plays as
  /// it played before.
  static void expectReopenedSceneToPlayAs(const std::vector<FrameRecord>& played, const std::string& path) {
    run("currentTime " + std::to_string(kFirstFrame));
    ASSERT_NO_FATAL_FAILURE(reopenInFreshHost(path));
    expectSamePlay(played, play(kPlayedTo));
  }
};

TEST_F(FracturePieceShape, APieceWhoseBodyIsMadeAgainStaysWithItsJointsAndPlaysAsTheReopenedScene) {
  const zovtest::ScratchFile scratch{"FracturePieceShape", ".ma"};
  const std::string& path = scratch.path;
  const struct {
    const char* label;
    int shard;
    std::vector<std::string> types;  ///< each set as one undoable line, or undo or redo
  } cases[] = {
      {"a piece made a triangle mesh", 5, {"3"}},
      {"a piece of the cluster made a capsule", 1, {"1"}},
      {"a piece made a triangle mesh, undone and redone", 7, {"3", "undo", "redo"}},
      {"a piece made a phantom", 9, {"0"}},
      {"a piece made automatic", 10, {"4"}},
      {"a piece made a cracker's shape", 12, {"6"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    freshScene();
    const std::string body = shardBody(c.shard);
    const std::string shape = shapeOf(body);
    const std::string link = linkOf(body);
    ASSERT_FALSE(link.empty());
    const std::map<std::string, JointHeld> before = jointNodes();
    for (const std::string& type : c.types) {
      ASSERT_TRUE(runs(type == "undo" || type == "redo" ? type : "setAttr " + shape + ".type " + type)) << type;
      draw(body);
    }
    EXPECT_EQ(linkOf(body), link);
    EXPECT_TRUE(jointNodes() == before);
    EXPECT_EQ(disagreements({true}), "");
    // Past the landing, which breaks joints.
    const std::vector<FrameRecord> changed = play(kPlayedTo);
    ASSERT_GT(brokenCount(changed), 0u);
    EXPECT_EQ(disagreements(), "");
    expectReopenedSceneToPlayAs(changed, path);
  }
}

TEST_F(FracturePieceShape, APieceOfWhoseShapeNoBodyCanBeMadeLeavesWithAWarningTakingOnlyItsJointNodes) {
  freshScene();
  // A piece next to the cluster: its joints go to the fracture body's own
  // pieces and to the cluster's.
  const std::string body = shardBody(5);
  const std::string shape = shapeOf(body);
  ASSERT_TRUE(runs("setAttr " + shape + ".type 3"));
  draw(body);
  // The shape is given a flat mesh, of which no convex hull can be made.
  run("polyPlane -n flat; connectAttr -f flatShape.worldMesh[0] " + shape + ".inShape");
  const std::map<std::string, JointHeld> before = jointNodes();
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("setAttr " + shape + ".type 2"));
  draw(body);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "piece " + body + " left fracture body ZovFractureBody: "));
  EXPECT_EQ(linkOf(body), "");
  const std::map<std::string, JointHeld> after = jointNodes();
  size_t gone = 0;
  for (const auto& [joint, held] : before) {
    if (held.first == body || held.second == body) {
      EXPECT_EQ(after.count(joint), 0u) << joint;
      ++gone;
    } else {
      EXPECT_TRUE(after.count(joint) == 1 && after.at(joint) == held) << joint;
    }
  }
  EXPECT_GT(gone, 1u);
  EXPECT_EQ(after.size(), before.size() - gone);
  EXPECT_EQ(disagreements({true}), "");
  // The rest plays on, the world as the nodes say at every frame.
  run("currentTime " + std::to_string(kFirstFrame - 1));
  for (int f = kFirstFrame; f <= 40; ++f) {
    run("currentTime " + std::to_string(f));
    ASSERT_EQ(disagreements(), "") << "frame " << f;
  }
}

TEST_F(FracturePieceShape, APieceThatLeftComesBackWithItsJointsWhenTheChangeIsUndoneAndLeavesAgainWhenRedone) {
  const zovtest::ScratchFile scratch{"FracturePieceBack", ".ma"};
  const std::string& path = scratch.path;
  // A piece next to the cluster and a piece of it.
  for (const int shard : {5, 1}) {
    SCOPED_TRACE(shardBody(shard));
    freshScene();
    const std::string body = shardBody(shard);
    const std::string shape = shapeOf(body);
    // A triangle mesh of a flat mesh: a body is made of it, but no convex
    // hull.
    ASSERT_TRUE(runs("setAttr " + shape + ".type 3"));
    run("polyPlane -n flat; connectAttr -f flatShape.worldMesh[0] " + shape + ".inShape");
    draw(body);
    const std::string link = linkOf(body);
    ASSERT_FALSE(link.empty());
    const std::map<std::string, JointHeld> before = jointNodes();
    const std::vector<FrameRecord> asBefore = play(kPlayedTo);
    ASSERT_GT(brokenCount(asBefore), 0u);
    run("currentTime " + std::to_string(kFirstFrame));

    ASSERT_TRUE(runs("setAttr " + shape + ".type 2"));
    draw(body);
    ASSERT_EQ(linkOf(body), "");
    // Its fracture body deleted and brought back meanwhile, too.
    for (const char* step : {"undo", "redo", "delete ZovFractureBody; undo; undo"}) {
      SCOPED_TRACE(step);
      zovhost::testing::clearLogs();
      ASSERT_TRUE(runs(step));
      draw(body);
      const bool back = std::string(step) != "redo";
      EXPECT_EQ(linkOf(body), back ? link : "");
      EXPECT_EQ(hasMessage(MessageKind::Warning, "piece " + body + " left fracture body ZovFractureBody: "), !back);
      EXPECT_EQ(jointNodes() == before, back);
      EXPECT_EQ(disagreements({true}), "");
    }
    // Locked again, as a piece is.
    EXPECT_FALSE(runs("setAttr " + body + ".mass 3"));
    EXPECT_FALSE(runs("delete " + body));
    // It plays as before it left, and its fracture body is the one its nodes
    // describe: it plays as the scene saved and opened again.
    const std::vector<FrameRecord> played = play(kPlayedTo);
    expectSamePlay(asBefore, played);
    EXPECT_EQ(disagreements(), "");
    expectReopenedSceneToPlayAs(played, path);
  }
}

TEST_F(FracturePieceShape, APieceThatLeftStaysAFreeBodyWhenItsFractureBodyChangedSince) {
  freshScene();
  // Two pieces made triangle meshes of flat meshes, then convex hulls: both
  // leave, one after the other.
  const std::string first = shardBody(5), second = shardBody(9);
  for (const std::string& body : {first, second}) {
    ASSERT_TRUE(runs("setAttr " + shapeOf(body) + ".type 3"));
    run("polyPlane -n " + body + "Flat; connectAttr -f " + body + "FlatShape.worldMesh[0] " + shapeOf(body) +
        ".inShape");
    draw(body);
  }
  const std::string secondLink = linkOf(second);
  const std::map<std::string, JointHeld> before = jointNodes();
  for (const std::string& body : {first, second}) {
    ASSERT_TRUE(runs("setAttr " + shapeOf(body) + ".type 2"));
    draw(body);
    ASSERT_EQ(linkOf(body), "");
  }
  const std::map<std::string, JointHeld> withoutBoth = jointNodes();
  // The first made a triangle mesh again: its fracture body lost the second
  // piece since, so it stays a free body.
  ASSERT_TRUE(runs("setAttr " + shapeOf(first) + ".type 3"));
  draw(first);
  EXPECT_EQ(linkOf(first), "");
  EXPECT_NE(bodyNode(first).engineBody(false), nullptr);
  EXPECT_TRUE(jointNodes() == withoutBoth);
  EXPECT_EQ(disagreements({true}), "");
  // The second comes back to the fracture body it left as it was, with the
  // joint nodes that do not name the first.
  ASSERT_TRUE(runs("setAttr " + shapeOf(second) + ".type 3"));
  draw(second);
  EXPECT_EQ(linkOf(second), secondLink);
  size_t back = 0;
  for (const auto& [joint, held] : before) {
    const bool namesFirst = held.first == first || held.second == first;
    const bool namesSecond = held.first == second || held.second == second;
    EXPECT_EQ(jointNodes().count(joint), namesFirst ? 0u : 1u) << joint;
    back += namesSecond && !namesFirst ? 1 : 0;
  }
  EXPECT_GT(back, 0u);
  EXPECT_EQ(disagreements({true}), "");
  run("currentTime " + std::to_string(kFirstFrame - 1));
  for (int f = kFirstFrame; f <= kPlayedTo; ++f) {
    run("currentTime " + std::to_string(f));
    ASSERT_EQ(disagreements(), "") << "frame " << f;
  }
}

}  // namespace
