#pragma once

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <array>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"

/// A host with the module loaded, a solver over frames 1 .. 24 and a block
/// of unit cubes made rigid bodies as a user makes them: cube (x, y, z)
/// spans [x, x + 1] x [y, y + 1] x [z, z + 1].
class FractureTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    run("playbackOptions -min 1 -max 24");
    run("zovSolver; getAttr zovSolverNode1.ca_solverParams");
    zovhost::testing::flushIdleQueue();
  }

  /// The transform name of cube (x, y, z).
  static std::string cubeName(int x, int y, int z) {
    return "piece" + std::to_string(x) + std::to_string(y) + std::to_string(z);
  }
  /// Its rigid body's name, as the body command names it.
  static std::string bodyName(int x, int y, int z) {
    return "pieceZovBody" + std::to_string(x) + std::to_string(y) + std::to_string(z);
  }

  /// The cubes of an n x n x n block (hull bodies) lifted by `lift`; answers
  /// their rigid bodies' names in x, y, z order.
  std::vector<std::string> makeBlock(int n = 2, double lift = 0.0) {
    std::vector<std::string> bodies;
    std::string cubes;
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        for (int z = 0; z < n; ++z) {
          run("polyCube -n " + cubeName(x, y, z));
          run("setAttr " + cubeName(x, y, z) + ".translate " + std::to_string(x + 0.5) + " " +
              std::to_string(y + 0.5 + lift) + " " + std::to_string(z + 0.5));
          cubes += " " + cubeName(x, y, z);
          bodies.push_back(bodyName(x, y, z));
        }
    run("select" + cubes);
    run("new_ZOVBody -st 2");
    zovhost::testing::flushIdleQueue();
    return bodies;
  }

  static FractureBodyNode& fractureNode(const std::string& name = "ZovFractureBody") {
    return *static_cast<FractureBodyNode*>(MFnDependencyNode(node(name)).userNode());
  }
  static SceneStress& stressNode(const std::string& name) {
    return *static_cast<SceneStress*>(MFnDependencyNode(node(name)).userNode());
  }
  /// The joint nodes linked to the fracture body node, in link order.
  static std::vector<SceneStress*> joints(const FractureBodyNode& fracture) {
    std::vector<SceneStress*> found;
    for (unsigned int i = 0; i < fracture.numStresses(); ++i) found.push_back(fracture.stressNodeAt(i));
    return found;
  }

  /// No fracture body or joint node is left and each body is free again:
  /// unlocked, its mass unlocked, in no fracture body, its engine body in the
  /// world.
  static void expectFreeBodiesOnly(const std::vector<std::string>& bodies) {
    EXPECT_TRUE(nodesOfType("zovFbodyNode").empty());
    EXPECT_TRUE(nodesOfType("zovStressNode").empty());
    for (const std::string& name : bodies) {
      EXPECT_FALSE(MFnDependencyNode(node(name)).isLocked()) << name;
      EXPECT_FALSE(MPlug(node(name), rigidBodyNode::mass).isLocked()) << name;
      EXPECT_EQ(bodyNode(name).fractureBodyNode(), nullptr) << name;
      EXPECT_TRUE(theWorld->containsBody(bodyNode(name).engineBody(false))) << name;
    }
  }

  /// The cell (x, y, z) a rigid body's name stands for.
  static std::array<int, 3> cellOf(const std::string& body) {
    const std::string digits = body.substr(body.size() - 3);
    return {digits[0] - '0', digits[1] - '0', digits[2] - '0'};
  }
};
