#include "HostFixture.h"
#include "TestNodes.h"
#include "support/HostLookups.h"
#include "support/RefusedLines.h"

#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <string>
#include <vector>

namespace {

using namespace zovhost::testing;

/// The host commands that the plug-in and scene scripts run on the scene:
/// createNode, setAttr, getAttr, connectAttr, disconnectAttr, rename,
/// select and delete.
class SceneCommands : public TestNodesTest {
 protected:
  void SetUp() override {
    TestNodesTest::SetUp();
    ASSERT_TRUE(run("createNode doubler -n a; createNode doubler -n b"));
  }
  static bool run(const std::string& line) {
    return static_cast<bool>(MGlobal::executeCommand(line.c_str(), false, true));
  }
  static double number(const std::string& line) {
    double value = 0.0;
    EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), value)) << line;
    return value;
  }
  static MObject node(const char* name) { return zovtest::nodeNamed(name); }
};

TEST_F(SceneCommands, SetAttrWritesEachKindInItsOwnWords) {
  struct Case {
    const char* set;
    const char* get;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"setAttr a.input 2.5", "getAttr a.input", {2.5}},
      {"setAttr a.input on", "getAttr a.input", {1.0}},
      {"setAttr a.memory 7", "getAttr a.memory", {7.0}},
      {"setAttr a.point 4 5 6", "getAttr a.point", {4.0, 5.0, 6.0}},
      {"setAttr -type double3 a.point 1 0 -1", "getAttr a.point", {1.0, 0.0, -1.0}},
      {"setAttr a.pointY 9", "getAttr a.point", {1.0, 9.0, -1.0}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(run(c.set)) << c.set;
    MDoubleArray values;
    ASSERT_TRUE(MGlobal::executeCommand(c.get, values)) << c.get;
    ASSERT_EQ(values.length(), c.expected.size()) << c.set;
    for (unsigned int i = 0; i < values.length(); ++i) EXPECT_DOUBLE_EQ(values[i], c.expected[i]) << c.set;
  }
  ASSERT_TRUE(run("setAttr -type \"string\" a.label \"two words\""));
  MString text;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr a.label", text));
  EXPECT_EQ(text, MString("two words"));
  int count = -1;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr a.items", count));  // an array gives its size
  EXPECT_EQ(count, 0);
}

TEST_F(SceneCommands, BadSetAttrLinesChangeNothing) {
  ASSERT_TRUE(run("setAttr a.input 3"));
  const char* const lines[] = {
      "setAttr a.input fast",        // not a number
      "setAttr a.input 1 2",         // too many values
      "setAttr a.point 1 2",         // too few
      "setAttr a.nothing 1",         // no such attribute
      "setAttr nobody.input 1",      // no such node
      "setAttr a.input 5 -l maybe",  // a bad lock flag
      "setAttr",
  };
  for (const char* line : lines) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(run(line)) << line;
    EXPECT_FALSE(zovhost::testing::messages().empty()) << line;
    EXPECT_DOUBLE_EQ(number("getAttr a.input"), 3.0) << line;
  }
}

TEST_F(SceneCommands, LockingAnAttributeStopsSetAttrUntilUnlockedOrUndone) {
  ASSERT_TRUE(run("setAttr -l on a.input"));
  int locked = 0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr -l a.input", locked));
  EXPECT_EQ(locked, 1);
  zovhost::testing::clearLogs();
  EXPECT_FALSE(run("setAttr a.input 4"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "is locked or connected and cannot be modified"));
  ASSERT_TRUE(run("undo"));
  EXPECT_TRUE(run("setAttr a.input 4"));
  ASSERT_TRUE(run("setAttr a.input 6 -l true; setAttr -l off a.input"));
  EXPECT_TRUE(run("setAttr a.input 8"));
}

TEST_F(SceneCommands, ConnectAttrFillsTheNextFreeElementAndDisconnectUndoes) {
  ASSERT_TRUE(run("connectAttr -na a.items[0] b.items"));
  ASSERT_TRUE(run("connectAttr -na a.items[1] b.items"));
  int count = 0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr b.items", count));
  EXPECT_EQ(count, 2);
  ASSERT_TRUE(run("connectAttr a.output b.input; setAttr a.input 2"));
  EXPECT_DOUBLE_EQ(number("getAttr b.output"), 8.0);
  zovhost::testing::clearLogs();
  EXPECT_FALSE(run("disconnectAttr a.middle b.input"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "There is no connection from 'a.middle' to 'b.input'"));
  ASSERT_TRUE(run("disconnectAttr a.output b.input"));
  EXPECT_FALSE(MPlug(MFnDependencyNode().create("doubler"), DoublerNode::input).isConnected());
  ASSERT_TRUE(run("setAttr a.input 5"));
  EXPECT_DOUBLE_EQ(number("getAttr b.input"), 4.0);  // keeps its last value
  ASSERT_TRUE(run("undo; undo"));                    // the setAttr, then the disconnection
  EXPECT_DOUBLE_EQ(number("getAttr b.output"), 8.0);
  const char* const bad[] = {"connectAttr a.output", "connectAttr a.output b.nothing", "connectAttr a.label b.input",
                             "disconnectAttr a.output"};
  for (const char* line : bad) EXPECT_FALSE(run(line)) << line;
}

TEST_F(SceneCommands, RenameGivesAUniqueNameAndUndoes) {
  MString result;
  ASSERT_TRUE(MGlobal::executeCommand("rename a b", result, false, true));
  EXPECT_EQ(result, MString("b1"));  // "b" is taken
  ASSERT_TRUE(MGlobal::executeCommand("rename b1 shape3", result, false, true));
  EXPECT_EQ(result, MString("shape3"));
  ASSERT_TRUE(run("undo; undo"));
  EXPECT_TRUE(run("getAttr a.input"));
  const char* const bad[] = {"rename a", "rename nobody c", "rename a 3d", "rename time1 clock"};
  for (const char* line : bad) EXPECT_FALSE(run(line)) << line;
}

TEST_F(SceneCommands, SelectReplacesAddsRemovesAndToggles) {
  ASSERT_TRUE(run("createNode doubler -n c"));
  struct Case {
    const char* line;
    std::vector<std::string> selected;
  };
  const Case cases[] = {
      {"select a", {"a"}},         {"select -add b c", {"a", "b", "c"}},
      {"select -d b", {"a", "c"}}, {"select -tgl a b", {"c", "b"}},
      {"select -cl", {}},          {"select b a.input", {"b", "a.input"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(run(c.line)) << c.line;
    EXPECT_EQ(selectedNames(), c.selected) << c.line;
  }
  EXPECT_FALSE(run("select nobody"));
  EXPECT_EQ(selectedNames(), (std::vector<std::string>{"b", "a.input"}));
}

TEST_F(SceneCommands, DeleteTakesTheSelectionWhenGivenNothing) {
  ASSERT_TRUE(run("select a b"));
  ASSERT_TRUE(run("delete"));
  EXPECT_FALSE(run("getAttr a.input"));
  EXPECT_FALSE(run("getAttr b.input"));
  EXPECT_TRUE(selectedNames().empty());
  zovhost::testing::clearLogs();
  EXPECT_FALSE(run("delete"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "delete: Not enough objects or values."));
  ASSERT_TRUE(run("undo"));
  EXPECT_TRUE(run("getAttr a.input") && run("getAttr b.input"));
}

TEST_F(SceneCommands, UndoingADeleteBringsBackItsConnectionsToLockedNodesAndAttributes) {
  ASSERT_TRUE(run("createNode doubler -n c"));
  ASSERT_TRUE(run("connectAttr a.output b.input; connectAttr a.output c.input; setAttr a.input 3"));
  ASSERT_TRUE(run("lockNode -l on b; setAttr -lock true c.input"));
  ASSERT_TRUE(run("delete a"));
  EXPECT_FALSE(MPlug(node("b"), DoublerNode::input).isConnected());
  ASSERT_TRUE(run("undo"));
  for (const char* other : {"b", "c"}) {
    const MPlug input(node(other), DoublerNode::input);
    ASSERT_TRUE(input.isConnected()) << other;
    EXPECT_EQ(input.source().name(), MString("a.output")) << other;
  }
  // The lock still refuses what a user would do.
  EXPECT_FALSE(run("disconnectAttr a.output b.input"));
}

// One lockNode line is one undo step, however many nodes it names: one undo
// gives each node back the lock it had before the line, one redo the line's.
TEST_F(SceneCommands, ALockNodeLineIsOneUndoStepForEveryNodeItNames) {
  const struct {
    const char* setUp;
    const char* line;
  } cases[] = {
      {"lockNode -l on a b", "lockNode -l off a b"},
      {"", "lockNode -l on a b"},
      {"lockNode -l on b", "lockNode -l on a b"},
      {"lockNode -l on a", "lockNode -l off b a b"},
  };
  const auto locks = [] {
    std::string text;
    for (const char* name : {"a", "b"}) text += MFnDependencyNode(node(name)).isLocked() ? "L" : "-";
    return text;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_TRUE(MGlobal::executeCommand("lockNode -l off a b"));
    ASSERT_TRUE(MGlobal::executeCommand(c.setUp));
    const std::string before = locks();
    const size_t steps = zovhost::testing::undoCount();
    ASSERT_TRUE(run(c.line));
    const std::string after = locks();
    EXPECT_EQ(after, std::string(c.line).find("-l on") != std::string::npos ? "LL" : "--");
    EXPECT_EQ(zovhost::testing::undoCount(), steps + 1);
    for (const char* step : {"undo", "redo", "undo"}) {
      ASSERT_TRUE(run(step));
      EXPECT_EQ(locks(), std::string(step) == "undo" ? before : after) << step;
    }
  }
}

TEST_F(SceneCommands, ADeleteThatALockedChildRefusesChangesNothingAndRecordsNothing) {
  ASSERT_TRUE(run("createNode transform -n holder; createNode transform -n keeper -p holder"));
  ASSERT_TRUE(run("createNode transform -n inner -p keeper; lockNode -l on inner"));
  const size_t entries = zovhost::testing::undoCount();
  zovhost::testing::clearLogs();
  // The locked node two levels down keeps the whole branch, whatever else is named.
  for (const char* line : {"delete holder", "delete a holder", "select a keeper; delete"}) {
    EXPECT_FALSE(run(line)) << line;
    EXPECT_TRUE(hasMessage(MessageKind::Error, "Cannot delete locked or default node 'inner'.")) << line;
    EXPECT_EQ(zovhost::testing::undoCount(), entries) << line;
    for (const char* name : {"a", "holder", "keeper", "inner"}) EXPECT_FALSE(node(name).isNull()) << line << name;
  }
  // Unlocked, the branch goes as one step.
  ASSERT_TRUE(run("lockNode -l off inner"));
  const size_t unlocked = zovhost::testing::undoCount();
  ASSERT_TRUE(run("delete holder"));
  EXPECT_TRUE(node("inner").isNull());
  EXPECT_EQ(zovhost::testing::undoCount(), unlocked + 1);
}

TEST_F(SceneCommands, ANodeAnEarlierOneTookAlongInTheSameDeleteIsGoneAsAskedAndComesBackWithIt) {
  ASSERT_TRUE(run("createNode transform -n holder; createNode transform -n keeper -p holder"));
  ASSERT_TRUE(run("connectAttr a.output b.input"));
  const auto present = [] {
    std::string text;
    for (const char* name : {"a", "holder", "keeper"}) text += node(name).isNull() ? "" : std::string(name) + " ";
    return text + zovtest::pathNamed("keeper").fullPathName().asChar();
  };
  const std::string before = present();
  ASSERT_EQ(before, "a holder keeper |holder|keeper");
  for (const char* line :
       {"delete holder keeper", "delete keeper holder", "delete a holder a keeper", "select holder keeper; delete"}) {
    zovhost::testing::clearLogs();
    const size_t entries = zovhost::testing::undoCount();
    EXPECT_TRUE(run(line)) << line;
    EXPECT_TRUE(zovhost::testing::messages().empty()) << line;
    const std::string gone = std::string(line).find(" a ") != std::string::npos ? "" : "a ";
    EXPECT_EQ(present(), gone) << line;
    for (const char* step : {"undo", "redo", "undo"}) ASSERT_TRUE(run(step)) << line << ", " << step;
    EXPECT_EQ(present(), before) << line;
    EXPECT_EQ(MPlug(node("b"), DoublerNode::input).source().name(), MString("a.output")) << line;
    EXPECT_EQ(zovhost::testing::undoCount(), entries) << line;
  }
}

TEST_F(SceneCommands, CreateNodeRefusesUnknownTypesAndBadNames) {
  const zovtest::RefusedLine cases[] = {
      {"createNode", "createNode: give one node type"},
      {"createNode noSuchType", "Unknown object type: noSuchType"},
      {"createNode doubler -n \"bad name\"", "createNode: invalid node name 'bad name'"},
  };
  for (const auto& c : cases) zovtest::expectRefusedLine(c, run);
  MStringArray made;
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n a", made));
  EXPECT_EQ(made[0], MString("a1"));
}

}  // namespace

namespace {

TEST_F(SceneCommands, DgdirtyMakesTheNextReadComputeAgain) {
  ASSERT_TRUE(run("connectAttr a.output b.input"));
  DoublerNode& a = *static_cast<DoublerNode*>(MFnDependencyNode(node("a")).userNode());
  DoublerNode& b = *static_cast<DoublerNode*>(MFnDependencyNode(node("b")).userNode());
  MPlug(node("b"), DoublerNode::output).asDouble();
  const int before[2] = {a.outputComputes, b.outputComputes};
  // Read again, nothing computes; made dirty, both compute once.
  MPlug(node("b"), DoublerNode::output).asDouble();
  ASSERT_TRUE(run("dgdirty a.output"));
  MPlug(node("b"), DoublerNode::output).asDouble();
  EXPECT_EQ(a.outputComputes, before[0] + 1);
  EXPECT_EQ(b.outputComputes, before[1] + 1);
  // A plug that is not there fails.
  EXPECT_FALSE(run("dgdirty a.nothing"));
  EXPECT_FALSE(run("dgdirty"));
}

}  // namespace
