#pragma once

#include <maya/MGlobal.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "SceneWorldWalk.h"
#include "testing/HostTesting.h"

/// A user's fracture scene, made with the module's commands as a user types
/// them: a 2 x 2 x 2 cube shattered into shards that become rigid bodies and
/// one fracture body (whose joints the landing breaks), three of the shards
/// a cluster, a passive ground and a free box that falls beside it.
class ShatteredCubeTest : public CommandTest {
 protected:
  static constexpr int kShards = 12;
  static constexpr int kFirstFrame = 1;
  static constexpr int kLastFrame = 101;

  void SetUp() override {
    CommandTest::SetUp();
    run("playbackOptions -min " + std::to_string(kFirstFrame) + " -max " + std::to_string(kLastFrame));
  }

  /// The user's commands, one step each, in the order they make the scene.
  static std::vector<std::string> sceneSteps() {
    return {
        // The user interface's zovSetGravityAxis, which the command queues,
        // takes the solver's settings into the world. No frame cache: every
        // play is simulated.
        "zovSolver; getAttr zovSolverNode1.ca_solverParams; setAttr zovSolverNode1.cacheActive 0; "
        "getAttr zovSolverNode1.ca_cacheSize",
        "polyCube -w 2 -h 2 -d 2 -n cube; setAttr cube.translate 0 3 0; setAttr cube.rotate 20 0 15",
        "zovShatter -ns " + std::to_string(kShards) + " -sed 7 cube",
        "select `ls \"cube_shard*\"`; new_ZOVBody -shapeType 2",
        "polyCube -n ground -w 8 -h 1 -d 8; setAttr ground.translate 0 -0.5 0; select ground; "
        "new_ZOVBody -shapeType 2 -active 1",
        "polyCube -n box; setAttr box.translate 3 2 0.5; select box; new_ZOVBody -shapeType 2",
        "select `ls \"cube_shardZovBody*\"`; zovFractureBody -dTh 0.05",
        "setAttr ZovFractureBody.stressThreshold 20; getAttr ZovFractureBody.ca_stressThreshold",
        "select " + shardBody(1) + " " + shardBody(2) + " " + shardBody(3) + "; zovCluster -assign",
    };
  }

  /// Runs every step, each as the user's undoable command line.
  void buildScene() {
    for (const std::string& step : sceneSteps()) {
      ASSERT_TRUE(runs(step)) << step;
      zovhost::testing::flushIdleQueue();
    }
  }

  /// A fresh host with the module and the scene, at the first frame: for a
  /// test that takes the scene through several routes, one each.
  void freshScene() {
    ASSERT_NO_FATAL_FAILURE(freshHost());
    buildScene();
    run("currentTime " + std::to_string(kFirstFrame));
  }

  /// The host as each test starts: reset, the module loaded, the range.
  void freshHost() { SetUp(); }

  static std::string shard(int i) { return "cube_shard" + std::to_string(i); }
  static std::string shardBody(int i) { return "cube_shardZovBody" + std::to_string(i); }

  /// What one frame of a play shows: the joints broken in it and the pose
  /// (translate, rotate) of every shard and of the box.
  struct FrameRecord {
    std::set<std::string> broken;
    std::vector<double> pose;
  };

  /// Comes to the first frame from before it (which resets the simulation,
  /// as the time slider does) and plays to `last`, recording each frame from
  /// the first on.
  static std::vector<FrameRecord> play(int last = kLastFrame) {
    std::vector<FrameRecord> frames;
    run("currentTime " + std::to_string(kFirstFrame - 1));
    for (int f = kFirstFrame; f <= last; ++f) {
      run("currentTime " + std::to_string(f));
      FrameRecord record;
      std::vector<std::string> broken;
      runs("fBody_selStresses -glb ZovFractureBody", &broken);
      // At the first frame the list holds what broke before the reset.
      if (f != kFirstFrame) record.broken.insert(broken.begin(), broken.end());
      std::vector<std::string> transforms{"box"};
      for (int i = 1; i <= kShards; ++i) transforms.push_back(shard(i));
      for (const std::string& transform : transforms)
        for (const char* channel : {".translateX", ".translateY", ".translateZ", ".rotateX", ".rotateY", ".rotateZ"})
          record.pose.push_back(getDouble(transform + channel));
      frames.push_back(record);
    }
    return frames;
  }

  /// The two plays break the same joints in the same frames and pose every
  /// body within `tolerance`.
  static void expectSamePlay(const std::vector<FrameRecord>& expected, const std::vector<FrameRecord>& actual,
                             double tolerance = 1e-9) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t f = 0; f < expected.size(); ++f) {
      const int frame = kFirstFrame + static_cast<int>(f);
      EXPECT_EQ(expected[f].broken, actual[f].broken) << "frame " << frame;
      ASSERT_EQ(expected[f].pose.size(), actual[f].pose.size());
      for (size_t k = 0; k < expected[f].pose.size(); ++k)
        ASSERT_NEAR(expected[f].pose[k], actual[f].pose[k], tolerance) << "frame " << frame << ", value " << k;
    }
  }

  /// How many joints broke over the play.
  static size_t brokenCount(const std::vector<FrameRecord>& frames) {
    size_t count = 0;
    for (const FrameRecord& record : frames) count += record.broken.size();
    return count;
  }

  /// The walk's disagreements, one a line; empty when the scene's nodes and
  /// the engine world agree.
  static std::string disagreements(const SceneWalkOptions& options = {}) {
    std::string text;
    for (const std::string& line : walkSceneAgainstWorld(options)) text += line + "\n";
    return text;
  }
};
