#include "HostFixture.h"
#include "TestNodes.h"
#include "support/ScratchFile.h"

#include <maya/MAnimControl.h>
#include <maya/MDGMessage.h>
#include <maya/MDistance.h>
#include <maya/MEventMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MSceneMessage.h>
#include <maya/MTime.h>

#include <string>
#include <vector>

namespace {

void count(void* counter) { ++*static_cast<int*>(counter); }

class TimeAndMessages : public HostTest {};

TEST_F(TimeAndMessages, TimeConvertsBetweenUnits) {
  struct Case {
    double value;
    MTime::Unit from;
    MTime::Unit to;
    double expected;
  };
  const Case cases[] = {
      {24.0, MTime::kFilm, MTime::kSeconds, 1.0},       {1.0, MTime::kSeconds, MTime::kNTSCFrame, 30.0},
      {25.0, MTime::kPALFrame, MTime::kFilm, 24.0},     {1.0, MTime::kMinutes, MTime::kGames, 900.0},
      {3.0, MTime::kFilm, MTime::kMilliseconds, 125.0}, {7.0, MTime::k120FPS, MTime::k120FPS, 7.0},
      {1.0, MTime::kHours, MTime::kSeconds, 3600.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(MTime(c.value, c.from).as(c.to), c.expected);
  // Frames survive a round trip exactly.
  for (int frame = -5; frame <= 500; ++frame) {
    const MTime time(frame, MTime::kFilm);
    EXPECT_EQ(MTime(time.as(MTime::kSeconds), MTime::kSeconds).as(MTime::kFilm), frame);
  }
  EXPECT_TRUE(MTime(1.0, MTime::kSeconds) == MTime(24.0, MTime::kFilm));
  EXPECT_TRUE(MTime(1.0, MTime::kFilm) < MTime(2.0, MTime::kFilm));
  const MTime sum = MTime(10.0, MTime::kFilm) + MTime(1.0, MTime::kSeconds);
  EXPECT_EQ(sum.unit(), MTime::kFilm);
  EXPECT_DOUBLE_EQ(sum.value(), 34.0);
  EXPECT_DOUBLE_EQ((MTime(5.0, MTime::kFilm) + 1.0).value(), 6.0);
  EXPECT_DOUBLE_EQ(MDistance(1.0, MDistance::kInches).asCentimeters(), 2.54);
  EXPECT_DOUBLE_EQ(MDistance(3.0, MDistance::kMeters).as(MDistance::kMillimeters), 3000.0);
}

TEST_F(TimeAndMessages, AnimationControlsHoldTimeAndRange) {
  EXPECT_EQ(MAnimControl::currentTime(), MTime(1.0, MTime::kFilm));
  EXPECT_EQ(MAnimControl::minTime(), MTime(1.0, MTime::kFilm));
  EXPECT_EQ(MAnimControl::maxTime(), MTime(120.0, MTime::kFilm));
  ASSERT_TRUE(MAnimControl::setMinMaxTime(MTime(5.0), MTime(50.0)));
  EXPECT_FALSE(MAnimControl::setMinMaxTime(MTime(50.0), MTime(5.0)));
  EXPECT_EQ(MAnimControl::maxTime(), MTime(50.0));
  ASSERT_TRUE(MAnimControl::setPlaybackSpeed(0.0));
  EXPECT_DOUBLE_EQ(MAnimControl::playbackSpeed(), 0.0);
  EXPECT_FALSE(MAnimControl::isPlaying());
  zovhost::testing::setPlaying(true);
  EXPECT_TRUE(MAnimControl::isPlaying());
  double end = 0.0;
  ASSERT_TRUE(MGlobal::executeCommand("playbackOptions -max 200; playbackOptions -q -max", end));
  EXPECT_DOUBLE_EQ(end, 200.0);
}

TEST_F(TimeAndMessages, EventsFireOnTimeRangeAndUnitChangesAndStopAfterRemoval) {
  int time = 0, range = 0, unit = 0;
  MStatus status;
  const MCallbackId timeId = MEventMessage::addEventCallback("timeChanged", count, &time, &status);
  ASSERT_TRUE(status);
  const MCallbackId rangeId = MEventMessage::addEventCallback("playbackRangeChanged", count, &range);
  const MCallbackId unitId = MEventMessage::addEventCallback("linearUnitChanged", count, &unit);

  MAnimControl::setCurrentTime(MTime(2.0));
  MGlobal::executeCommand("currentTime 3");
  MAnimControl::setCurrentTime(MTime(3.0));  // no change, no event
  MAnimControl::setMinMaxTime(MTime(1.0), MTime(60.0));
  MGlobal::executeCommand("playbackOptions -min 2");
  MDistance::setUIUnit(MDistance::kMeters);
  MGlobal::executeCommand("currentUnit -l in");
  EXPECT_EQ(time, 2);
  EXPECT_EQ(range, 2);
  EXPECT_EQ(unit, 2);

  for (MCallbackId id : {timeId, rangeId, unitId}) EXPECT_TRUE(MMessage::removeCallback(id));
  EXPECT_FALSE(MMessage::removeCallback(timeId));
  MAnimControl::setCurrentTime(MTime(9.0));
  MAnimControl::setMinMaxTime(MTime(1.0), MTime(10.0));
  MDistance::setUIUnit(MDistance::kCentimeters);
  EXPECT_EQ(time, 2);
  EXPECT_EQ(range, 2);
  EXPECT_EQ(unit, 2);

  EXPECT_EQ(MEventMessage::addEventCallback("noSuchEvent", count, &time, &status), 0u);
  EXPECT_FALSE(status);
}

struct RemovalRace {
  MCallbackId second = 0;
  int firstCalls = 0;
  int secondCalls = 0;
};

TEST_F(TimeAndMessages, ACallbackRemovedWhileItsEventIsRaisedDoesNotRun) {
  RemovalRace race;
  MEventMessage::addEventCallback(
      "timeChanged",
      [](void* data) {
        auto& r = *static_cast<RemovalRace*>(data);
        ++r.firstCalls;
        MMessage::removeCallback(r.second);
      },
      &race);
  race.second = MEventMessage::addEventCallback(
      "timeChanged", [](void* data) { ++static_cast<RemovalRace*>(data)->secondCalls; }, &race);
  MAnimControl::setCurrentTime(MTime(4.0));
  EXPECT_EQ(race.firstCalls, 1);
  EXPECT_EQ(race.secondCalls, 0);
}

struct NodeLog {
  std::vector<std::string> names;
};

void logNode(MObject& node, void* data) {
  static_cast<NodeLog*>(data)->names.push_back(MFnDependencyNode(node).name().asChar());
}

TEST_F(TimeAndMessages, NodeCallbacksFireForTheRightTypes) {
  registerTestNodes();
  NodeLog all, doublers, locators, removed;
  MDGMessage::addNodeAddedCallback(logNode, "dependNode", &all);
  MDGMessage::addNodeAddedCallback(logNode, "doubler", &doublers);
  MDGMessage::addNodeAddedCallback(logNode, "testLocator", &locators);
  MDGMessage::addNodeRemovedCallback(
      [](MObject& node, void* data) {
        // The node still exists, with its plug-in object, when the callback runs.
        auto* log = static_cast<NodeLog*>(data);
        log->names.push_back(MFnDependencyNode(node).name().asChar());
        if (!MFnDependencyNode(node).userNode()) log->names.push_back("gone");
      },
      "doubler", &removed);
  MGlobal::executeCommand("createNode doubler; createNode testLocator; createNode doubler");
  MGlobal::executeCommand("delete doubler1 testLocator1");
  // A locator is a shape: it comes with a transform above it.
  EXPECT_EQ(all.names, (std::vector<std::string>{"doubler1", "transform1", "testLocator1", "doubler2"}));
  EXPECT_EQ(doublers.names, (std::vector<std::string>{"doubler1", "doubler2"}));
  EXPECT_EQ(locators.names, (std::vector<std::string>{"testLocator1"}));
  EXPECT_EQ(removed.names, (std::vector<std::string>{"doubler1"}));
}

TEST_F(TimeAndMessages, SceneMessagesSurroundFileOperations) {
  static std::vector<int> order;
  order.clear();
  const MSceneMessage::Message messages[] = {MSceneMessage::kBeforeNew,    MSceneMessage::kAfterNew,
                                             MSceneMessage::kBeforeSave,   MSceneMessage::kAfterSave,
                                             MSceneMessage::kBeforeOpen,   MSceneMessage::kAfterOpen,
                                             MSceneMessage::kBeforeExport, MSceneMessage::kAfterExport,
                                             MSceneMessage::kBeforeImport, MSceneMessage::kAfterImport};
  static MSceneMessage::Message numbers[10];
  for (int i = 0; i < 10; ++i) {
    numbers[i] = messages[i];
    MSceneMessage::addCallback(
        messages[i], [](void* data) { order.push_back(*static_cast<int*>(data)); }, &numbers[i]);
  }
  const zovtest::ScratchFile scratch{"zovhost_messages_", ".zsc"};
  const std::string& path = scratch.path;
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -new; file -rename \"") + path.c_str() + "\"; file -save"));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -open \"") + path.c_str() + "\""));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -exportAll \"") + path.c_str() + "\""));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -import \"") + path.c_str() + "\""));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 12, 13, 5, 6, 10, 11, 3, 4}));
}

}  // namespace
