#pragma once

#include <maya/MGlobal.h>

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
        "zovSolver",
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

  static std::string shard(int i) { return "cube_shard" + std::to_string(i); }
  static std::string shardBody(int i) { return "cube_shardZovBody" + std::to_string(i); }

  /// The walk's disagreements, one a line; empty when the scene's nodes and
  /// the engine world agree.
  static std::string disagreements(const SceneWalkOptions& options = {}) {
    std::string text;
    for (const std::string& line : walkSceneAgainstWorld(options)) text += line + "\n";
    return text;
  }
};
