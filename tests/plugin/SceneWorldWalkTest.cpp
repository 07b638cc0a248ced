// The walk of the scene's nodes against the engine world: it agrees on a
// scene the commands made, and it finds each fault planted behind the
// module's back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "ShatteredCubeFixture.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"

namespace {

class SceneWorldWalk : public ShatteredCubeTest {
 protected:
  static PrivateWorld& world() { return *static_cast<PrivateWorld*>(theWorld); }
  static HardBody* bodyOf(const std::string& name) { return bodyNode(name).engineBody(false); }
  static SceneStress& stressNode(const std::string& name) {
    return *static_cast<SceneStress*>(MFnDependencyNode(node(name)).userNode());
  }
  static FractureBody* fractureBody() {
    return static_cast<FractureBodyNode*>(MFnDependencyNode(node("ZovFractureBody")).userNode())->getFractureBody();
  }

  /// Joints planted faults took from the engine; they outlive the scene.
  std::vector<std::unique_ptr<DynamicStress>> handedBack;
};

TEST_F(SceneWorldWalk, AgreesWithTheSceneTheCommandsMade) {
  buildScene();
  EXPECT_EQ(disagreements(), "");
  run("currentTime 1");
  EXPECT_EQ(disagreements({true}), "");
  for (int f = 2; f <= 40; ++f) {
    run("currentTime " + std::to_string(f));
    ASSERT_EQ(disagreements(), "") << "frame " << f;
  }
  // The landing broke the fracture body: the walk followed its fragments.
  EXPECT_TRUE(fractureBody()->isSplitted());
}

TEST_F(SceneWorldWalk, FindsEachFaultPlantedBehindTheModulesBack) {
  struct Plant {
    const char* what;
    std::function<void()> plant;
    const char* found;
  };
  std::vector<std::unique_ptr<DynamicStress>>& orphans = handedBack;
  const Plant plants[] = {
      {"the fracture body taken off the world", [] { world().removeBody(fractureBody()); },
       "the world holds the fracture body 0 times"},
      {"a piece filed as a body of its own", [] { world().addBody(bodyOf(shardBody(5)), 0); },
       "the world holds cube_shardZovBody5, a piece, on its own"},
      {"a free body taken off the world", [] { world().removeBody(bodyOf("boxZovBody")); },
       "the world holds boxZovBody 0 times"},
      {"a piece taken out in the engine only",
       [&orphans] {
         auto* piece = static_cast<PrivateHardBody*>(bodyOf(shardBody(6)));
         const std::vector<DynamicStress*> joints = valuesOf(piece->getJointList());
         fractureBody()->removePiece(piece);
         // The fracture body hands the piece's joints back; their nodes
         // still reach them until the scene goes.
         for (DynamicStress* joint : joints) orphans.emplace_back(joint);
       },
       "cube_shardZovBody6 is linked as a piece but the fracture body does not hold it"},
      {"a joint node naming other pieces",
       [] {
         for (const std::string& name : nodesOfType("zovStressNode")) {
           if (stressNode(name).body1Name() != MString(shardBody(7).c_str())) continue;
           run("setAttr -type \"string\" " + name + ".body1Name nobody");
           return;
         }
       },
       "has no joint node"},
      {"a joint's strength changed in the engine only",
       [] { fractureBody()->getActiveJoints().getFirst()->value->set_break_tolerance(1.5); }, "holds strength 1.5"},
  };
  for (const Plant& plant : plants) {
    SCOPED_TRACE(plant.what);
    freshScene();
    ASSERT_EQ(disagreements({true}), "");
    plant.plant();
    EXPECT_NE(disagreements({true}).find(plant.found), std::string::npos) << disagreements({true});
  }
}

}  // namespace
