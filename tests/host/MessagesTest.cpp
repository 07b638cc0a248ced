#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MCallbackIdArray.h>
#include <maya/MDGMessage.h>
#include <maya/MDrawRegistry.h>
#include <maya/MEventMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MNodeMessage.h>
#include <maya/MPlug.h>
#include <maya/MSceneMessage.h>
#include <maya/MStringArray.h>

#include <string>
#include <vector>

#include "support/HostLookups.h"
#include "support/ScratchFile.h"

namespace {

using Messages = HostTest;

void count(void* data) { ++*static_cast<int*>(data); }

TEST_F(Messages, OnlyTheHostsOwnEventsAndRealFunctionsCanBeWatched) {
  MStringArray names;
  MEventMessage::getEventNames(names);
  ASSERT_GT(names.length(), 0u);
  int calls = 0;
  MStatus status;
  for (unsigned int i = 0; i < names.length(); ++i) {
    EXPECT_NE(MEventMessage::addEventCallback(names[i], count, &calls, &status), 0u) << names[i];
    EXPECT_TRUE(status) << names[i];
  }
  struct Refused {
    const char* why;
    MCallbackId id;
  };
  const Refused refused[] = {
      {"an unknown event", MEventMessage::addEventCallback("noSuchEvent", count, &calls, &status)},
      {"no function", MEventMessage::addEventCallback("timeChanged", nullptr, &calls, &status)},
      {"a message past the last", MSceneMessage::addCallback(MSceneMessage::kLast, count, &calls, &status)},
      {"no node function", MDGMessage::addNodeAddedCallback(nullptr, "dependNode", &calls, &status)},
  };
  for (const Refused& r : refused) EXPECT_EQ(r.id, 0u) << r.why;
  EXPECT_FALSE(status);
  EXPECT_EQ(zovhost::testing::callbackCount(), names.length());
}

TEST_F(Messages, ACallbackKnowsItsOwnIdWhileItRuns) {
  struct Seen {
    MCallbackId inside = 0;
  } seen;
  const MCallbackId id = MEventMessage::addEventCallback(
      "SelectionChanged", [](void* data) { static_cast<Seen*>(data)->inside = MMessage::currentCallbackId(); }, &seen);
  ASSERT_NE(id, 0u);
  MGlobal::clearSelectionList();
  EXPECT_EQ(seen.inside, id);
  EXPECT_EQ(MMessage::currentCallbackId(), 0u);
}

TEST_F(Messages, RemovingSeveralCallbacksRemovesEachKnownOne) {
  int calls = 0;
  MCallbackIdArray ids;
  ids.append(MEventMessage::addEventCallback("timeChanged", count, &calls));
  ids.append(MSceneMessage::addCallback(MSceneMessage::kAfterNew, count, &calls));
  ids.append(12345);  // never installed
  EXPECT_FALSE(MMessage::removeCallbacks(ids));
  EXPECT_EQ(zovhost::testing::callbackCount(), 0u);
  EXPECT_FALSE(MMessage::removeCallback(ids[0]));  // already gone
  MGlobal::executeCommand("currentTime 10; file -f -new");
  EXPECT_EQ(calls, 0);
}

TEST_F(Messages, NodeFiltersMatchTheTypeAndEveryBaseType) {
  registerTestNodes();
  struct Filter {
    const char* type;
    std::vector<std::string> seen;
  };
  std::vector<Filter> filters = {{"dependNode", {}}, {"dagNode", {}}, {"transform", {}},
                                 {"shape", {}},      {"mesh", {}},    {"doubler", {}}};
  for (Filter& filter : filters)
    MDGMessage::addNodeAddedCallback(
        [](MObject& node, void* data) {
          static_cast<std::vector<std::string>*>(data)->push_back(MFnDependencyNode(node).name().asChar());
        },
        filter.type, &filter.seen);
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler; createNode mesh -n skin"));
  const std::vector<std::vector<std::string>> expected = {{"doubler1", "polySurface1", "skin"},
                                                          {"polySurface1", "skin"},
                                                          {"polySurface1"},
                                                          {"skin"},
                                                          {"skin"},
                                                          {"doubler1"}};
  for (size_t i = 0; i < filters.size(); ++i) EXPECT_EQ(filters[i].seen, expected[i]) << filters[i].type;
}

MHWRender::MPxDrawOverride* noOverride(const MObject&) { return nullptr; }

TEST_F(Messages, DrawOverrideCreatorsRegisterOncePerClassificationAndRegistrant) {
  using MHWRender::MDrawRegistry;
  ASSERT_TRUE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/zov", "zovPlugin", noOverride));
  EXPECT_FALSE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/zov", "zovPlugin", noOverride));
  EXPECT_TRUE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/zov", "otherPlugin", noOverride));
  EXPECT_FALSE(MDrawRegistry::registerDrawOverrideCreator("", "zovPlugin", noOverride));
  EXPECT_FALSE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/x", "zovPlugin", nullptr));
  ASSERT_TRUE(MDrawRegistry::deregisterDrawOverrideCreator("drawdb/geometry/zov", "zovPlugin"));
  EXPECT_FALSE(MDrawRegistry::deregisterDrawOverrideCreator("drawdb/geometry/zov", "zovPlugin"));
  EXPECT_TRUE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/zov", "zovPlugin", noOverride));
  // An injected failure refuses one registration of that classification.
  zovhost::testing::injectRegistrationFailure("drawdb/geometry/refused");
  EXPECT_FALSE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/refused", "zovPlugin", noOverride));
  EXPECT_TRUE(MDrawRegistry::registerDrawOverrideCreator("drawdb/geometry/refused", "zovPlugin", noOverride));
}

}  // namespace

namespace {

TEST_F(Messages, ANodeBroughtBackByUndoIsAnnouncedWithItsConnectionsBack) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode transform -n source; createNode transform -n target"));
  ASSERT_TRUE(MGlobal::executeCommand("connectAttr source.translateX target.translateY"));
  struct Seen {
    std::string name;
    bool linked = false;
  } seen;
  MDGMessage::addNodeAddedCallback(
      [](MObject& node, void* data) {
        auto* record = static_cast<Seen*>(data);
        MFnDependencyNode fn(node);
        record->name = fn.name().asChar();
        record->linked = !fn.findPlug("translateY", true).source().isNull();
      },
      "transform", &seen);
  ASSERT_TRUE(MGlobal::executeCommand("delete target", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_EQ(seen.name, "target");
  EXPECT_TRUE(seen.linked);
}

// Each rename is told once, to the callbacks that watch every node or that
// node, with the name the node had. A node that an import names as a node
// already named gets another name: that is told once the file is read, its
// links from the file in place.
TEST_F(Messages, ARenameIsToldWithTheFormerNameAndAnImportsOtherNameOnceTheFileIsRead) {
  registerTestNodes();
  ASSERT_TRUE(
      MGlobal::executeCommand("createNode doubler -n a; createNode doubler -n b; connectAttr a.output b.input"));
  const auto tell = [](MObject& node, const MString& previous, void* data) {
    const MFnDependencyNode fn(node);
    const MPlug source = fn.findPlug("input", true).source();
    static_cast<std::vector<std::string>*>(data)->push_back(previous.str() + " > " + fn.name().str() +
                                                            (source.isNull() ? "" : " fed by " + source.name().str()));
  };
  std::vector<std::string> every, onlyB;
  MObject all, b = zovtest::nodeNamed("b");
  ASSERT_NE(MNodeMessage::addNameChangedCallback(all, tell, &every), 0u);
  ASSERT_NE(MNodeMessage::addNameChangedCallback(b, tell, &onlyB), 0u);
  const zovtest::ScratchFile scene{"zovhost_renamed_", ".ma"};
  for (const std::string& line :
       {std::string("rename a first"), std::string("undo"), std::string("rename b b"),
        "file -rename \"" + scene.path + "\"; file -save; file -import \"" + scene.path + "\""})
    ASSERT_TRUE(MGlobal::executeCommand(line.c_str(), false, true)) << line;
  EXPECT_EQ(every, (std::vector<std::string>{"a > first", "first > a", "a > a1", "b > b1 fed by a1.output"}));
  EXPECT_EQ(onlyB, std::vector<std::string>{});
}

}  // namespace
