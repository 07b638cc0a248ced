#include "HostFixture.h"
#include "TestNodes.h"
#include "support/HostLookups.h"
#include "support/ScratchFile.h"

#include <maya/MAnimControl.h>
#include <maya/MDGMessage.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>
#include <maya/MSelectionList.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

class SceneFiles : public TestNodesTest {
 protected:
  /// Saves the scene, starts a new one and opens the saved one again: it must
  /// open without an error and be the scene that was saved.
  void expectReopensAsSaved() const {
    const std::string saved = zovhost::testing::sceneText();
    ASSERT_TRUE(MGlobal::executeCommand(MString("file -rename \"") + path.c_str() + "\"; file -save; file -new"));
    zovhost::testing::clearLogs();
    ASSERT_TRUE(MGlobal::executeCommand(MString("file -open \"") + path.c_str() + "\""));
    EXPECT_FALSE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, ""));
    EXPECT_EQ(zovhost::testing::sceneText(), saved);
  }

  static MObject node(const char* name) { return zovtest::nodeNamed(name); }

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

  const zovtest::ScratchFile scratch{"zovhost_scene_", ".zsc"};
  const std::string& path = scratch.path;
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

TEST_F(SceneFiles, DynamicCompoundsAndArraysAreDeclaredSoThatTheirValuesReadBack) {
  const char* const lines[] = {
      "createNode doubler -n a",
      "addAttr -ln weights -at double -m a",
      "setAttr a.weights[3] 2.5",
      "addAttr -ln names -dt string -m a",
      "setAttr -type \"string\" a.names[1] \"first\"",
      "addAttr -ln pair -at compound -nc 2 a",
      "addAttr -ln inner -at compound -nc 1 -p pair a",
      "addAttr -ln deep -at long -p inner a",
      "addAttr -ln label2 -dt string -p pair a",
      "setAttr a.deep 7",
      "setAttr -type \"string\" a.label2 \"two\"",
      "addAttr -ln spots -at float3 -nc 3 -m a",
      "addAttr -ln spotX -at float -p spots a",
      "addAttr -ln spotY -at float -p spots a",
      "addAttr -ln spotZ -at float -p spots a",
      "setAttr a.spots[2] 1 2 3",
      "addAttr -ln offset -at double3 a",  // children made with it
      "setAttr a.offset 4 5 6",
  };
  for (const char* line : lines) ASSERT_TRUE(MGlobal::executeCommand(line)) << line;
  ASSERT_NO_FATAL_FAILURE(expectReopensAsSaved());
  EXPECT_DOUBLE_EQ(plug("a", "weights").elementByLogicalIndex(3).asDouble(), 2.5);
  EXPECT_EQ(plug("a", "names").elementByLogicalIndex(1).asString(), MString("first"));
  EXPECT_EQ(plug("a", "deep").asInt(), 7);
  EXPECT_EQ(plug("a", "pair").child(0).child(0).asInt(), 7);  // deep lies in inner, inner in pair
  EXPECT_EQ(plug("a", "label2").asString(), MString("two"));
  EXPECT_FLOAT_EQ(plug("a", "spots").elementByLogicalIndex(2).child(1).asFloat(), 2.0f);
  EXPECT_DOUBLE_EQ(plug("a", "offset").child(2).asDouble(), 6.0);

  // Children must fit their compound.
  EXPECT_FALSE(MGlobal::executeCommand("addAttr -ln stray -at long -p nothing a"));
  EXPECT_FALSE(MGlobal::executeCommand("addAttr -ln box -at compound a"));  // how many children?
  ASSERT_TRUE(MGlobal::executeCommand("addAttr -ln one -at compound -nc 1 a; addAttr -ln x -at long -p one a"));
  EXPECT_FALSE(MGlobal::executeCommand("addAttr -ln y -at long -p one a"));  // it has its child
}

TEST_F(SceneFiles, ALockedCompoundOpensWithEveryChildSet) {
  const char* const lines[] = {
      "createNode doubler -n a",
      "addAttr -ln offset -at double3 a",
      "setAttr a.offset 4 5 6",
      "setAttr -l on a.offset",
  };
  for (const char* line : lines) ASSERT_TRUE(MGlobal::executeCommand(line)) << line;
  ASSERT_NO_FATAL_FAILURE(expectReopensAsSaved());
  for (unsigned int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(plug("a", "offset").child(k).asDouble(), 4.0 + k);
  EXPECT_TRUE(plug("a", "offset").isLocked());
}

TEST_F(SceneFiles, AnImportedNodeWhoseNameIsTakenIsTheOneItsFileMeans) {
  ASSERT_TRUE(
      MGlobal::executeCommand("createNode doubler -n a; createNode doubler -n b; setAttr a.input 3; "
                              "connectAttr a.output b.input; polyCube -n box; group -n grp box; "
                              "setAttr box.translateX 5"));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -rename \"") + path.c_str() + "\"; file -save"));
  ASSERT_TRUE(MGlobal::executeCommand("setAttr a.input 1; setAttr box.translateX 1"));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -import \"") + path.c_str() + "\""));
  // The copies took new names; the file's values and links went to them.
  EXPECT_DOUBLE_EQ(plug("a", "input").asDouble(), 1.0);
  EXPECT_DOUBLE_EQ(plug("a1", "input").asDouble(), 3.0);
  EXPECT_DOUBLE_EQ(plug("b1", "output").asDouble(), 12.0);
  EXPECT_DOUBLE_EQ(plug("box", "translateX").asDouble(), 1.0);
  EXPECT_DOUBLE_EQ(plug("box1", "translateX").asDouble(), 5.0);
  MSelectionList list;
  MDagPath copy;
  ASSERT_TRUE(list.add("box1"));
  ASSERT_TRUE(list.getDagPath(0, copy));
  EXPECT_EQ(copy.fullPathName(), MString("|grp1|box1"));
  // Outside the import the names mean what they say again.
  EXPECT_TRUE(MGlobal::executeCommand("setAttr a.input 2"));
  EXPECT_DOUBLE_EQ(plug("a1", "input").asDouble(), 3.0);
}

TEST_F(SceneFiles, AScenesModuleIsFoundWhereItCameFrom) {
  // Saved by one host run that loaded the module by its path, opened by a
  // fresh one run elsewhere with no plug-in path.
  const zovtest::ScratchFile saveFile{"zovhost_scene_save_", ".mel"};
  const zovtest::ScratchFile openFile{"zovhost_scene_open_", ".mel"};
  const std::string& save = saveFile.path;
  const std::string& open = openFile.path;
  {
    std::ofstream(save) << "loadPlugin \"" << ZOV_TEST_MODULE_PATH << "\"\ncreateNode moduleNode\n"
                        << "setAttr moduleNode1.value 9\nfile -rename \"" << path << "\"\nfile -save\n";
    std::ofstream(open) << "file -open \"" << path << "\"\ngetAttr moduleNode1.value\n";
  }
  for (const std::string& script : {save, open}) {
    const std::string command = "cd / && " + std::string(ZOV_HOST_RUN_PATH) + " " + script + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(pclose(pipe), 0) << output;
    if (script == open) {
      EXPECT_NE(output.find("// Result: 9 //"), std::string::npos) << output;
    }
  }
}

TEST_F(SceneFiles, OpeningAMissingFileFailsAndKeepsTheScene) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n keep"));
  EXPECT_FALSE(MGlobal::executeCommand("file -open \"/no/such/scene.zsc\""));
  EXPECT_FALSE(node("keep").isNull());
}

TEST_F(SceneFiles, AFileCutShortFailsToOpenOrImportAndKeepsTheScene) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n saved; setAttr -type \"string\" saved.label \"text\""));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -rename \"") + path.c_str() + "\"; file -save"));
  std::string text;
  {
    std::ifstream in(path);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Cut inside the quoted label: the rest of the file is lost.
  const size_t cut = text.find("\"text\"");
  ASSERT_NE(cut, std::string::npos);
  std::ofstream(path, std::ios::trunc) << text.substr(0, cut + 3);

  ASSERT_TRUE(MGlobal::executeCommand("file -new; createNode doubler -n keep; setAttr keep.input 4"));
  for (const char* read : {"-open", "-import"}) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(MGlobal::executeCommand(MString("file ") + read + " \"" + path.c_str() + "\"")) << read;
    EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, "cannot be read")) << read;
    EXPECT_DOUBLE_EQ(plug("keep", "input").asDouble(), 4.0) << read;
    EXPECT_TRUE(node("saved").isNull()) << read;
  }
}

}  // namespace

namespace {

TEST_F(SceneFiles, NodesReadFromAFileAreAnnouncedWholeOnceTheFileIsRead) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n a; addAttr -ln link -at message a"));
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n b; setAttr b.input 3"));
  ASSERT_TRUE(MGlobal::executeCommand(MString("file -rename \"") + path.c_str() + "\"; file -save"));

  // What each node-added callback saw: the node's name, whether it had its
  // dynamic attribute and its value, and whether b was in the scene yet.
  struct Seen {
    std::string name;
    bool hasLink;
    double input;
    bool bExists;
  };
  static std::vector<Seen> seen;
  seen.clear();
  const MCallbackId id = MDGMessage::addNodeAddedCallback(
      [](MObject& added, void*) {
        const MFnDependencyNode fn(added);
        if (fn.typeName() != "doubler") return;
        seen.push_back({fn.name().asChar(), fn.hasAttribute("link"), fn.findPlug("input").asDouble(),
                        !SceneFiles::node("b").isNull()});
      },
      "dependNode", nullptr);
  for (const char* read : {"-open", "-import"}) {
    seen.clear();
    ASSERT_TRUE(MGlobal::executeCommand(MString("file ") + read + " \"" + path.c_str() + "\"")) << read;
    ASSERT_EQ(seen.size(), 2u) << read;
    EXPECT_TRUE(seen[0].hasLink && seen[0].bExists) << read;
    EXPECT_DOUBLE_EQ(seen[1].input, 3.0) << read;
  }
  // Outside a file the callbacks come at once.
  seen.clear();
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n d"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].hasLink);
  MMessage::removeCallback(id);
}

}  // namespace
