#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>
#include <maya/MSelectionList.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class SceneFiles : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    registerTestNodes();
    path = ::testing::TempDir() + "zovhost_scene_" + std::to_string(getpid()) + ".zsc";
  }
  void TearDown() override {
    std::remove(path.c_str());
    HostTest::TearDown();
  }

  static MObject node(const char* name) {
    MSelectionList list;
    MObject object;
    if (list.add(name)) list.getDependNode(0, object);
    return object;
  }

  static MPlug plug(const char* nodeName, const char* attribute) {
    return MFnDependencyNode(node(nodeName)).findPlug(attribute);
  }

  /// Every connection as "source -> destination", in the order listed by each source.
  static std::vector<std::string> connections() {
    std::vector<std::string> result;
    for (const char* name : {"a", "b", "c", "time1"}) {
      MPlugArray plugs;
      MFnDependencyNode(node(name)).getConnections(plugs);
      for (unsigned int i = 0; i < plugs.length(); ++i) {
        MPlugArray destinations;
        plugs[i].connectedTo(destinations, false, true);
        for (unsigned int k = 0; k < destinations.length(); ++k)
          result.push_back(plugs[i].name().asChar() + std::string(" -> ") + destinations[k].name().asChar());
      }
    }
    return result;
  }

  std::string path;
};

TEST_F(SceneFiles, ASavedSceneOpensWithTheSameValuesAndConnections) {
  const char* const lines[] = {
      "currentUnit -l m",
      "playbackOptions -min 5 -max 80",
      "createNode doubler -n a",
      "createNode doubler -n b",
      "createNode doubler -n c",
      "setAttr a.input 2.5",
      "setAttr b.memory 17",
      "setAttr -type \"string\" c.label \"with \\\"quotes\\\"\"",
      "setAttr a.point 4 5 6",
      "setAttr -l on b.memory",
      "connectAttr time1.outTime a.time",
      "connectAttr a.output c.input",
      "connectAttr a.output b.input",
      "addAttr -ln link -at message a",
      "connectAttr a.link c.items[3]",
      "lockNode -l on c",
      "currentTime 7",
  };
  for (const char* line : lines) ASSERT_TRUE(MGlobal::executeCommand(line)) << line;
  MPlug(node("a"), DoublerNode::output).asDouble();  // outputs are not stored
  const std::vector<std::string> before = connections();
  ASSERT_EQ(before.size(), 4u);

  ASSERT_TRUE(MGlobal::executeCommand(MString("file -rename \"") + path.c_str() + "\"; file -save"));
  ASSERT_TRUE(MGlobal::executeCommand("file -new"));
  EXPECT_TRUE(node("a").isNull());
  zovhost::testing::clearLogs();
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -open \"") + path.c_str() + "\""))
      << (zovhost::testing::messages().empty() ? "" : zovhost::testing::messages()[0].text);

  // Saving the opened scene gives the same file.
  EXPECT_EQ(zovhost::testing::sceneText(), [&] {
    std::string text;
    FILE* file = std::fopen(path.c_str(), "r");
    char buffer[512];
    while (file && std::fgets(buffer, sizeof buffer, file)) text += buffer;
    if (file) std::fclose(file);
    return text;
  }());
  EXPECT_DOUBLE_EQ(plug("a", "input").asDouble(), 2.5);
  EXPECT_EQ(plug("b", "memory").asInt(), 17);
  EXPECT_TRUE(plug("b", "memory").isLocked());
  EXPECT_EQ(plug("c", "label").asString(), MString("with \"quotes\""));
  EXPECT_FLOAT_EQ(plug("a", "pointY").asFloat(), 5.0f);
  EXPECT_FLOAT_EQ(plug("b", "pointZ").asFloat(), 3.0f);  // default, not written
  EXPECT_TRUE(MFnDependencyNode(node("c")).isLocked());
  EXPECT_EQ(connections(), before);
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kMeters);
  EXPECT_EQ(MAnimControl::minTime(), MTime(5.0));
  EXPECT_EQ(MAnimControl::currentTime(), MTime(7.0));
  // The graph computes again from what was read: (2.5 * 2 + 7) * 2.
  EXPECT_DOUBLE_EQ(plug("b", "output").asDouble(), 24.0);
}

TEST_F(SceneFiles, OpeningAMissingFileFailsAndKeepsTheScene) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n keep"));
  EXPECT_FALSE(MGlobal::executeCommand("file -open \"/no/such/scene.zsc\""));
  EXPECT_FALSE(node("keep").isNull());
}

}  // namespace
