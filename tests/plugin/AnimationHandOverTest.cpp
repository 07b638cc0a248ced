// The animation hand-over class, run as code runs it (no command is
// registered with it): the curves of a body's transform onto its keys and
// back, the pieces of a fracture body with them, and the inputs it refuses.
#include <maya/MArgList.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>

#include <memory>
#include <string>
#include <vector>

#include "FractureFixture.h"
#include "SceneWorldWalk.h"
#include "engine/bodies/HardBody.h"
#include "src/simulation/resumeCmd.h"

namespace {

using namespace zovhost::testing;

class AnimationHandOver : public FractureTest {
 protected:
  /// Runs a new object of the class on the words of a command line.
  static bool handOver(const std::vector<std::string>& words) {
    MArgList arguments;
    for (const std::string& word : words) arguments.addWord(word, false);
    const std::unique_ptr<resumeCmd> command(static_cast<resumeCmd*>(resumeCmd::creator()));
    return static_cast<bool>(command->doIt(arguments));
  }
  /// The plug that feeds `plug` ("node.attribute"), as "node.attribute";
  /// empty when none does.
  static std::string sourceOf(const std::string& plug) {
    const size_t dot = plug.find('.');
    const MPlug destination = MFnDependencyNode(node(plug.substr(0, dot))).findPlug(plug.substr(dot + 1).c_str(), true);
    const MPlug source = destination.source();
    return source.isNull() ? std::string() : source.name().asChar();
  }
  /// A cube whose translateX and rotateY are keyed over the range, made a
  /// body; answers the two curves' output plugs.
  std::vector<std::string> keyedBox() {
    run("polyCube -n box; setAttr box.translateY 3");
    run("select box; new_ZOVBody -st 2");
    run("setKeyframe -at translateX -t 1 -v 0 box; setKeyframe -at translateX -t 24 -v 23 box");
    run("setKeyframe -at rotateY -t 1 -v 0 box; setKeyframe -at rotateY -t 24 -v 90 box");
    zovhost::testing::flushIdleQueue();
    return {sourceOf("box.translateX"), sourceOf("box.rotateY")};
  }
};

TEST_F(AnimationHandOver, NoCommandRunsTheClass) {
  EXPECT_EQ(resumeCmd::commandName, MString("zovTrans"));
  EXPECT_FALSE(runs("zovTrans -node boxZovBody -dynamics"));
}

// -dynamics hangs a body's curves on its keys, and the body starts from its
// initial velocity and spin; -animation gives them back; -frame changes
// nothing. A key that held the transform's pivot lets the pivot be.
TEST_F(AnimationHandOver, ABodysCurvesGoToItsKeysAndBack) {
  const std::vector<std::string> curves = keyedBox();
  ASSERT_FALSE(curves[0].empty());
  ASSERT_FALSE(curves[1].empty());
  run("setAttr boxZovBody.initialVelocity 1 2 3; setAttr boxZovBody.initialSpin 0 0.5 0");
  // Made before its transform was keyed, the body holds its pivot.
  ASSERT_EQ(sourceOf("box.rotatePivotX"), "boxZovBody.keysTX");
  const double pivot = getDouble("box.rotatePivotX");

  ASSERT_TRUE(handOver({"-node", "boxZovBody", "-frame", "3"}));
  EXPECT_EQ(sourceOf("box.translateX"), curves[0]);

  ASSERT_TRUE(handOver({"-nod", "boxZovBody", "-dyn"}));
  EXPECT_EQ(sourceOf("boxZovBody.keysTX"), curves[0]);
  EXPECT_EQ(sourceOf("boxZovBody.keysRY"), curves[1]);
  EXPECT_EQ(sourceOf("box.translateX"), "");
  EXPECT_EQ(sourceOf("box.rotateY"), "");
  EXPECT_EQ(sourceOf("boxZovBody.keysTY"), "");
  EXPECT_EQ(sourceOf("box.rotatePivotX"), "");
  EXPECT_EQ(getDouble("box.rotatePivotX"), pivot);
  const HardBody& body = *bodyNode("boxZovBody").engineBody(false);
  EXPECT_EQ(body.getDyn().linearVelocity, Mgc::MgcVector3(1.0, 2.0, 3.0));
  EXPECT_EQ(body.getDyn().angularMomentum, Mgc::MgcVector3(0.0, 0.5, 0.0));

  ASSERT_TRUE(handOver({"-node", "boxZovBody", "-animation"}));
  EXPECT_EQ(sourceOf("box.translateX"), curves[0]);
  EXPECT_EQ(sourceOf("box.rotateY"), curves[1]);
  EXPECT_EQ(sourceOf("boxZovBody.keysTX"), "");
  EXPECT_EQ(sourceOf("boxZovBody.keysRY"), "");
}

// The pieces of a fracture body hand their curves over together and become
// dynamic, or take them back and become passive; they stay locked. A piece
// handed over alone stays locked too.
TEST_F(AnimationHandOver, AFractureBodysPiecesGoTogether) {
  const std::vector<std::string> block = makeBlock();
  ASSERT_TRUE(fracture(block));
  run("setKeyframe -at translateY -t 1 -v 0 piece000; setKeyframe -at translateY -t 24 -v 5 piece000");
  const std::string curve = sourceOf("piece000.translateY");
  ASSERT_FALSE(curve.empty());
  const struct {
    const char* mode;
    const char* channelSource;
    const char* keySource;
    int passive;
  } steps[] = {{"-dynamics", "", curve.c_str(), 0}, {"-animation", curve.c_str(), "", 1}};
  for (const auto& step : steps) {
    ASSERT_TRUE(handOver({"-fnode", "ZovFractureBody", step.mode})) << step.mode;
    EXPECT_EQ(sourceOf("piece000.translateY"), step.channelSource) << step.mode;
    EXPECT_EQ(sourceOf(block[0] + ".keysTY"), step.keySource) << step.mode;
    for (const std::string& piece : block) {
      EXPECT_EQ(getDouble(piece + ".passive"), step.passive) << step.mode << " " << piece;
      EXPECT_EQ(bodyNode(piece).engineBody(false)->isStatic(), step.passive == 1) << step.mode << " " << piece;
      EXPECT_TRUE(MFnDependencyNode(node(piece)).isLocked()) << step.mode << " " << piece;
      EXPECT_TRUE(MPlug(node(piece), rigidBodyNode::passive).isLocked()) << step.mode << " " << piece;
    }
    EXPECT_EQ(walkSceneAgainstWorld(), std::vector<std::string>()) << step.mode;
  }
  // One piece alone, locked as it is.
  ASSERT_TRUE(handOver({"-node", block[0], "-dynamics"}));
  EXPECT_EQ(sourceOf(block[0] + ".keysTY"), curve);
  EXPECT_TRUE(MFnDependencyNode(node(block[0])).isLocked());
}

// What it refuses, with the reason, leaving the curves where they are.
TEST_F(AnimationHandOver, WrongInputsAreRefusedAndChangeNothing) {
  const std::vector<std::string> curves = keyedBox();
  const struct {
    std::vector<std::string> words;
    const char* error;
  } rows[] = {
      {{"-dynamics"}, "zovTrans: give a rigid body with -node or a fracture body with -fnode"},
      {{"-node", "nothing", "-dynamics"}, "zovTrans: no rigid body node named nothing"},
      {{"-node", "box", "-dynamics"}, "zovTrans: no rigid body node named box"},
      {{"-fnode", "boxZovBody", "-dynamics"}, "zovTrans: no fracture body node named boxZovBody"},
      {{"-node", "boxZovBody", "-dynamics", "-animation"}, "zovTrans: -dynamics and -animation exclude each other"},
      {{"-node", "boxZovBody", "-frame", "-2"}, nullptr},
  };
  for (const auto& row : rows) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(handOver(row.words)) << row.words[0];
    if (row.error != nullptr) {
      EXPECT_TRUE(hasMessage(MessageKind::Error, row.error)) << row.error;
    }
    EXPECT_EQ(sourceOf("box.translateX"), curves[0]);
    EXPECT_EQ(sourceOf("boxZovBody.keysTX"), "");
  }
}

}  // namespace
