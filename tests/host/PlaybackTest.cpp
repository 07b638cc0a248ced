#include "HostFixture.h"
#include "support/HostLookups.h"

#include <maya/MAnimControl.h>
#include <maya/MConditionMessage.h>
#include <maya/MDGContext.h>
#include <maya/MEventMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MSelectionList.h>

#include <string>
#include <vector>

namespace {

class Playback : public HostTest {
 protected:
  static void run(const std::string& line) { ASSERT_TRUE(MGlobal::executeCommand(line.c_str(), false, true)) << line; }
  static double number(const std::string& line) {
    double value = 0.0;
    EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), value)) << line;
    return value;
  }
  static MPlug plugNamed(const std::string& name) { return zovtest::plugNamed(name); }
};

/// What a "timeChanged" handler sees: the frame and the host's conditions.
struct Seen {
  std::vector<double> frames;
  std::vector<bool> playing;
  std::vector<bool> busy;
};

void record(void* data) {
  auto* seen = static_cast<Seen*>(data);
  seen->frames.push_back(MAnimControl::currentTime().value());
  seen->playing.push_back(MConditionMessage::getConditionState("playingBack") && MAnimControl::isPlaying());
  seen->busy.push_back(MConditionMessage::getConditionState("busy"));
}

TEST_F(Playback, PlayShowsEveryFrameOfTheRangeOnceWhilePlayingAndBusy) {
  struct Case {
    const char* line;
    double startAt;
    std::vector<double> frames;
  };
  // From the end or outside the range play starts over at the start and
  // shows it; from inside it goes on from the next frame; backward mirrors.
  const Case cases[] = {
      {"play", 3.0, {4.0, 5.0}},
      {"play", 5.0, {2.0, 3.0, 4.0, 5.0}},
      {"play", 2.0, {3.0, 4.0, 5.0}},
      {"play", 9.0, {2.0, 3.0, 4.0, 5.0}},
      {"play -forward false", 4.0, {3.0, 2.0}},
      {"play -forward false", 2.0, {5.0, 4.0, 3.0, 2.0}},
  };
  run("playbackOptions -min 2 -max 5");
  for (const Case& c : cases) {
    MAnimControl::setCurrentTime(MTime(c.startAt));
    Seen seen;
    MStatus status;
    const MCallbackId id = MEventMessage::addEventCallback("timeChanged", record, &seen, &status);
    ASSERT_TRUE(status);
    run(c.line);
    MMessage::removeCallback(id);
    EXPECT_EQ(seen.frames, c.frames) << c.line << " from " << c.startAt;
    EXPECT_EQ(seen.playing, std::vector<bool>(c.frames.size(), true));
    EXPECT_EQ(seen.busy, std::vector<bool>(c.frames.size(), true));
    EXPECT_FALSE(MConditionMessage::getConditionState("playingBack"));
    EXPECT_FALSE(MConditionMessage::getConditionState("busy"));
  }
  EXPECT_FALSE(MGlobal::executeCommand("play -forward maybe"));
}

TEST_F(Playback, CurrentTimeEvaluatesTheSceneAgainUnlessTold) {
  struct Case {
    const char* line;
    std::vector<double> frames;
  };
  // The same time again is evaluated again, unless -update is off.
  const Case cases[] = {{"currentTime 3", {3.0}},
                        {"currentTime 1", {1.0}},
                        {"currentTime -update false 1", {}},
                        {"currentTime -update 0 4", {4.0}}};
  for (const Case& c : cases) {
    MAnimControl::setCurrentTime(MTime(1.0));
    Seen seen;
    const MCallbackId id = MEventMessage::addEventCallback("timeChanged", record, &seen);
    run(c.line);
    MMessage::removeCallback(id);
    EXPECT_EQ(seen.frames, c.frames) << c.line;
  }
  EXPECT_FALSE(MGlobal::executeCommand("currentTime -update maybe 2"));
}

TEST_F(Playback, KeyedTranslateFollowsTimeAndKeysUndo) {
  run("createNode transform -n mover");
  run("setKeyframe -at translateY -t 1 -v 0 mover");
  run("setKeyframe -t 11 -v 10 mover.translateY");
  // Linear keys: frame 6 lies half way.
  const double expected[][2] = {{1.0, 0.0}, {6.0, 5.0}, {11.0, 10.0}, {20.0, 10.0}};
  for (const auto& key : expected) {
    MAnimControl::setCurrentTime(MTime(key[0]));
    MSelectionList list;
    list.add("mover");
    MObject node;
    list.getDependNode(0, node);
    EXPECT_NEAR(MFnTransform(node).getTranslation(MSpace::kWorld).y, key[1], 1e-12) << key[0];
  }
  // The second key went onto the same curve: undoing it leaves the first.
  run("undo");
  MAnimControl::setCurrentTime(MTime(11.0));
  EXPECT_DOUBLE_EQ(number("getAttr mover.translateY"), 0.0);
  run("undo");
  EXPECT_FALSE(plugNamed("mover.translateY").isDestination());
  for (const char* bad : {"setKeyframe mover", "setKeyframe -at nothing mover", "setKeyframe -v x mover.translateX",
                          "setKeyframe -t x mover.translateX"})
    EXPECT_FALSE(MGlobal::executeCommand(bad)) << bad;
}

TEST_F(Playback, ContextReadGivesTheValueAtItsTimeAndLeavesTheScene) {
  run("createNode transform -n mover");
  run("setKeyframe -at translateX -t 1 -v 0 mover");
  run("setKeyframe -at translateX -t 5 -v 8 mover");
  MAnimControl::setCurrentTime(MTime(1.0));
  const MPlug x = plugNamed("mover.translateX");
  MDGContext at3(MTime(3.0));
  EXPECT_DOUBLE_EQ(x.asDouble(at3), 4.0);
  EXPECT_DOUBLE_EQ(x.asDouble(MDGContext::fsNormal), 0.0);
  EXPECT_DOUBLE_EQ(x.asDouble(), 0.0);
  EXPECT_EQ(MAnimControl::currentTime(), MTime(1.0));
  MTime when;
  EXPECT_FALSE(MDGContext::fsNormal.getTime(when));
  EXPECT_TRUE(at3.getTime(when));
  EXPECT_EQ(when, MTime(3.0));
}

TEST_F(Playback, SelectionIteratorKeepsItemsOfItsFilter) {
  run("createNode transform -n a");
  run("polyCube -n b");
  run("createNode time -n t2");
  MSelectionList list;
  for (const char* name : {"a", "bShape", "t2", "b"}) list.add(name);
  struct Case {
    MFn::Type filter;
    std::vector<std::string> names;
  };
  // The transform b reaches its mesh under a mesh filter, as a selected
  // cube reaches its mesh.
  const Case cases[] = {{MFn::kInvalid, {"a", "bShape", "t2", "b"}},
                        {MFn::kTransform, {"a", "b"}},
                        {MFn::kMesh, {"bShape", "bShape"}},
                        {MFn::kDagNode, {"a", "bShape", "b"}},
                        {MFn::kField, {}}};
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (MItSelectionList it(list, c.filter); !it.isDone(); it.next()) {
      MObject node;
      ASSERT_TRUE(it.getDependNode(node));
      names.push_back(MFnDependencyNode(node).name().str());
      MDagPath path;
      EXPECT_EQ(static_cast<bool>(it.getDagPath(path)), node.hasFn(MFn::kDagNode));
    }
    EXPECT_EQ(names, c.names);
  }
}

}  // namespace
