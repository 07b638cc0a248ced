// Scenes read into the host: an imported scene simulates as the scene did
// before it was saved, a second imported solver joins the scene's own, and a
// damaged file tells, node by node, what of it could not be rebuilt.
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "FractureFixture.h"
#include "SceneWorldWalk.h"
#include "engine/fracture/FractureBody.h"
#include "src/simulation/solverNode.h"
#include "support/ScratchFile.h"
#include "testing/HostTesting.h"

namespace {

using namespace zovhost::testing;

class SceneReading : public FractureTest {
 protected:
  /// A scene whose every name starts with the prefix, `x` units along: a
  /// passive slab with a box dropped on it, and two touching cubes glued
  /// into a fracture body beside the slab, all under a solver whose gravity
  /// is (0, g, 0); saved into `path` and left open.
  static void saveScene(const std::string& prefix, double x, double g, const std::string& path) {
    const std::string at = std::to_string(x);
    run("setAttr zovSolverNode1.gravity 0 " + std::to_string(g) + " 0; getAttr zovSolverNode1.ca_solverParams");
    run("polyCube -w 6 -h 1 -d 6 -n " + prefix + "Slab; setAttr " + prefix + "Slab.translate " + at + " -0.5 0");
    run("polyCube -n " + prefix + "Box; setAttr " + prefix + "Box.translate " + at + " 2 0; setAttr " + prefix +
        "Box.rotate 30 0 20");
    run("polyCube -n " + prefix + "PieceB; setAttr " + prefix + "PieceB.translate " + std::to_string(x + 5) + " 3 0");
    run("polyCube -n " + prefix + "PieceC; setAttr " + prefix + "PieceC.translate " + std::to_string(x + 6) + " 3 0");
    run("select " + prefix + "Slab; new_ZOVBody -a 1 -st 2");
    run("select " + prefix + "Box " + prefix + "PieceB " + prefix + "PieceC; new_ZOVBody -st 2");
    ASSERT_TRUE(fracture({prefix + "PieceBZovBody", prefix + "PieceCZovBody"}, "-dTh 0.05 -n " + prefix + "Fracture"));
    zovhost::testing::flushIdleQueue();
    run("file -rename \"" + path + "\"; file -save");
  }

  static double value(const std::string& plug) { return getDouble(plug); }

  /// The box's pose channels after each of frames 2 .. last.
  static std::vector<double> play(const std::string& box, int last) {
    std::vector<double> poses;
    for (int f = 1; f <= last; ++f) {
      frame(f);
      if (f == 1) continue;
      for (const char* channel : {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"})
        poses.push_back(value(box + "." + channel));
    }
    frame(1);
    return poses;
  }

  /// Whether the fracture body node's engine body is in the world, with a
  /// joint for each of its joint nodes and its two pieces.
  static bool simulatesWhole(const std::string& name) {
    const FractureBody* body = fractureNode(name).getFractureBody();
    return body != nullptr && theWorld->containsBody(const_cast<FractureBody*>(body)) && body->getNJointBodies() == 2 &&
           body->getNActiveJoints() == fractureNode(name).numStresses() && body->getNActiveJoints() > 0;
  }

  static std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  const zovtest::ScratchFile firstFile{"zov_reading_a_", ".zsc"};
  const zovtest::ScratchFile secondFile{"zov_reading_b_", ".zsc"};
  const std::string& first = firstFile.path;
  const std::string& second = secondFile.path;
};

TEST_F(SceneReading, AnImportedSceneSimulatesAsItDidBeforeItWasSaved) {
  saveScene("a", 0.0, -20.0, first);
  const std::vector<double> played = play("aBox", 24);
  run("file -new; playbackOptions -min 1 -max 24");
  run("file -import \"" + first + "\"");
  zovhost::testing::flushIdleQueue();
  EXPECT_EQ(nodesOfType("zovSolverNode"), std::vector<std::string>{"zovSolverNode1"});
  EXPECT_TRUE(simulatesWhole("aFracture"));
  EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>{});
  const std::vector<double> replayed = play("aBox", 24);
  ASSERT_EQ(replayed.size(), played.size());
  for (size_t i = 0; i < played.size(); ++i) EXPECT_NEAR(replayed[i], played[i], 1e-9) << i;
}

TEST_F(SceneReading, ASecondImportedSolverJoinsTheScenesOwnWithItsBodies) {
  saveScene("b", 20.0, -5.0, second);
  const std::vector<double> alone = play("bBox", 4);
  run("file -new; playbackOptions -min 1 -max 24; zovSolver; getAttr zovSolverNode1.ca_solverParams");
  saveScene("a", 0.0, -20.0, first);

  run("file -new; playbackOptions -min 1 -max 24");
  run("file -import \"" + first + "\"");
  zovhost::testing::clearLogs();
  run("file -import \"" + second + "\"");
  zovhost::testing::flushIdleQueue();
  // One solver, the scene's, with the scene's gravity; the second file's
  // bodies simulate in its world.
  EXPECT_EQ(nodesOfType("zovSolverNode"), std::vector<std::string>{"zovSolverNode1"});
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "are one solver now"));
  EXPECT_DOUBLE_EQ(value("zovSolverNode1.gravityY"), -20.0);
  for (const std::string& body : nodesOfType("zovRigidBody"))
    EXPECT_TRUE(feeds("zovSolverNode1.rigidBodies", body + ".solver")) << body;
  for (const char* free : {"aSlabZovBody", "aBoxZovBody", "bSlabZovBody", "bBoxZovBody"})
    EXPECT_TRUE(theWorld->containsBody(bodyNode(free).engineBody(false))) << free;
  EXPECT_TRUE(simulatesWhole("aFracture"));
  EXPECT_TRUE(simulatesWhole("bFracture"));
  EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>{});
  // Under the stronger gravity of the scene the second box falls faster
  // than it did under its own.
  const std::vector<double> joined = play("bBox", 4);
  EXPECT_LT(joined[7], alone[7]);  // translateY after frame 3
}

TEST_F(SceneReading, ADamagedSceneTellsWhatItCouldNotRebuild) {
  saveScene("a", 0.0, -20.0, first);
  const std::string text = readText(first);
  const std::string joint = nodesOfType("zovStressNode").front();
  const auto lines = [&text](const std::function<bool(const std::string&)>& keep,
                             const std::function<std::string(const std::string&)>& change) {
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line))
      if (keep(line)) out += change(line) + "\n";
    return out;
  };
  const auto all = [](const std::string&) { return true; };
  const auto same = [](const std::string& line) { return line; };
  const std::string cutAt = "createNode zovRigidBody -n \"aBoxZovBody\"";
  const struct {
    const char* damage;
    std::string file;
    std::vector<std::string> told;
  } cases[] = {
      {"a joint names a missing body",
       lines(all,
             [&joint](const std::string& line) {
               return line.rfind("setAttr \"" + joint + ".body1Name\"", 0) == 0
                          ? "setAttr \"" + joint + ".body1Name\" -type \"string\" \"aGone\";"
                          : line;
             }),
       {"joint " + joint + " could not be rebuilt: it joins aGone and",
        "fracture body aFracture could not be rebuilt"}},
      {"a body's collision type not linked",
       lines([](const std::string& line) { return line.find("\"aBoxZovBody.inCollisionType\"") == std::string::npos; },
             same),
       {"body aBoxZovBody could not be rebuilt: its collision shape aBoxZovBodyShape is not linked"}},
      {"cut after a body's creation",
       text.substr(0, text.find('\n', text.find(cutAt)) + 1),
       {"body aBoxZovBody is linked to no simulating solver", "body aSlabZovBody is linked to no simulating solver"}},
      {"no connections",
       lines([](const std::string& line) { return line.rfind("connectAttr", 0) != 0; }, same),
       {"fracture body aFracture is linked to no simulating solver", "joint " + joint + " belongs to no fracture body",
        "body aPieceBZovBody is linked to no simulating solver"}},
      {"every module node twice",
       lines(all,
             [](const std::string& line) {
               const bool module = line.rfind("createNode zov", 0) == 0;
               return module ? line + "\n" + line : line;
             }),
       {"solver zovSolverNode2 does not simulate", "body aBoxZovBody1 is linked to no simulating solver",
        "fracture body aFracture1 is linked to no simulating solver",
        "joint " + joint + "1 belongs to no fracture body"}},
      {"no solver",
       lines([](const std::string& line) { return line.find("zovSolverNode1") == std::string::npos; }, same),
       {"the scene has no solver: none of its bodies simulates", "body aBoxZovBody is linked to no simulating solver"}},
  };
  for (const auto& c : cases) {
    std::ofstream(second, std::ios::trunc) << c.file;
    zovhost::testing::clearLogs();
    runs("file -open \"" + second + "\"");
    for (const std::string& told : c.told)
      EXPECT_TRUE(hasMessage(MessageKind::Warning, told)) << c.damage << ": " << told;
  }
  // The whole scene opens without a word.
  zovhost::testing::clearLogs();
  run("file -open \"" + first + "\"");
  for (const auto& message : zovhost::testing::messages())
    EXPECT_EQ(message.text.find("zov: "), std::string::npos) << message.text;
}

}  // namespace
