#include "HostFixture.h"
#include "TestNodes.h"
#include "support/ScratchFile.h"

#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

using namespace zovhost::testing;

using Interpreter = TestNodesTest;

TEST_F(Interpreter, HostQueriesAnswerFromSettingsThatTestsChange) {
  MString text;
  int number = -1;
  ASSERT_TRUE(MGlobal::executeCommand("upAxis -q -axis", text));
  EXPECT_EQ(text, MString("y"));
  zovhost::testing::setUpAxis("z");
  ASSERT_TRUE(MGlobal::executeCommand("upAxis -q -axis", text));
  EXPECT_EQ(text, MString("z"));

  ASSERT_TRUE(MGlobal::executeCommand("grid -q -toggle", number));
  EXPECT_EQ(number, 1);
  zovhost::testing::setGridShown(false);
  ASSERT_TRUE(MGlobal::executeCommand("grid -q -toggle", number));
  EXPECT_EQ(number, 0);

  ASSERT_TRUE(MGlobal::executeCommand("window -ex MayaWindow", number));
  EXPECT_EQ(number, 0);
  zovhost::testing::setWindowExists("MayaWindow", true);
  ASSERT_TRUE(MGlobal::executeCommand("window -ex MayaWindow", number));
  EXPECT_EQ(number, 1);

  ASSERT_TRUE(MGlobal::executeCommand("modelEditor -q -rnm modelPanel4", text));
  EXPECT_EQ(text, MString("vp2Renderer"));
  ASSERT_TRUE(MGlobal::executeCommand("optionVar -q evaluationMode", number));
  EXPECT_EQ(number, 0);
  zovhost::testing::setOptionVar("evaluationMode", "1");
  ASSERT_TRUE(MGlobal::executeCommand("optionVar -q evaluationMode", number));
  EXPECT_EQ(number, 1);

  zovhost::testing::setQueryAnswer("someQuery -q", "42");
  double value = 0.0;
  ASSERT_TRUE(MGlobal::executeCommand("someQuery -q", value));
  EXPECT_DOUBLE_EQ(value, 42.0);
}

TEST_F(Interpreter, UnknownLinesFailAndEveryLineIsRecorded) {
  EXPECT_FALSE(MGlobal::executeCommand("zovUI_initialize"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Cannot find procedure \"zovUI_initialize\""));
  zovhost::testing::setProcedure("zovUI_initialize");
  EXPECT_TRUE(MGlobal::executeCommand("zovUI_initialize"));
  EXPECT_FALSE(MGlobal::executeCommand("deleteZovLocators()"));
  const auto commands = zovhost::testing::commands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0].line, "zovUI_initialize");
  EXPECT_FALSE(commands[0].succeeded);
  EXPECT_TRUE(commands[1].succeeded);
  EXPECT_EQ(commands[2].line, "deleteZovLocators()");
}

TEST_F(Interpreter, ResultsReadAsTheKindAskedFor) {
  MStringArray names;
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n \"first\"", names));
  ASSERT_EQ(names.length(), 1u);
  EXPECT_EQ(names[0], MString("first"));
  int number = 0;
  EXPECT_FALSE(MGlobal::executeCommand("upAxis -q -axis", number));  // "y" is not a number
  double value = 0.0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr first.input", value));
  EXPECT_DOUBLE_EQ(value, 1.0);
  MDoubleArray point;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr first.point", point));
  ASSERT_EQ(point.length(), 3u);
  EXPECT_DOUBLE_EQ(point[1], 2.0);
  // The last command of a line gives the line's result.
  ASSERT_TRUE(MGlobal::executeCommand("setAttr first.input 4; getAttr first.output", value));
  EXPECT_DOUBLE_EQ(value, 8.0);
}

TEST_F(Interpreter, SceneCommandsActAndUndo) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler; createNode doubler", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("connectAttr doubler1.output doubler2.input", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("setAttr doubler1.input 3", false, true));
  double value = 0.0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr doubler2.output", value));
  EXPECT_DOUBLE_EQ(value, 12.0);
  EXPECT_FALSE(MGlobal::executeCommand("setAttr doubler2.input 5"));                    // connected
  EXPECT_FALSE(MGlobal::executeCommand("connectAttr doubler1.middle doubler2.input"));  // taken
  ASSERT_TRUE(MGlobal::executeCommand("connectAttr -f doubler1.middle doubler2.input", false, true));

  ASSERT_TRUE(MGlobal::executeCommand("undo"));  // the forced connection
  ASSERT_TRUE(MGlobal::executeCommand("undo"));  // setAttr
  ASSERT_TRUE(MGlobal::executeCommand("getAttr doubler2.output", value));
  EXPECT_DOUBLE_EQ(value, 4.0);
  ASSERT_TRUE(MGlobal::executeCommand("undo"));  // connectAttr: the input keeps its last value
  ASSERT_TRUE(MGlobal::executeCommand("getAttr doubler2.output", value));
  EXPECT_DOUBLE_EQ(value, 4.0);
  EXPECT_TRUE(MGlobal::executeCommand("setAttr doubler2.input 5"));  // no longer connected

  ASSERT_TRUE(MGlobal::executeCommand("delete doubler2", false, true));
  EXPECT_FALSE(MGlobal::executeCommand("getAttr doubler2.input"));
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_TRUE(MGlobal::executeCommand("getAttr doubler2.input"));
  EXPECT_FALSE(MGlobal::executeCommand("delete time1"));  // a default node
}

// Each modifier command's effect, seen from the outside: gone after undo and
// back after redo. A connection is seen by the value it carries: the source
// takes a new input each time and the destination must follow it.
TEST_F(Interpreter, ModifierCommandsComeBackWithRedo) {
  const auto exists = [](const char* node) {
    return static_cast<bool>(MGlobal::executeCommand(MString("getAttr ") + node + ".input"));
  };
  int fresh = 10;
  const auto carries = [&fresh]() {
    ++fresh;
    double value = 0.0;
    return MGlobal::executeCommand(("setAttr src.input " + std::to_string(fresh)).c_str()) &&
           MGlobal::executeCommand("getAttr dst.output", value) && value == 4.0 * fresh;
  };
  const struct {
    const char* setUp;
    const char* command;
    std::function<bool()> done;
  } cases[] = {
      {"", "createNode doubler -n made", [&] { return exists("made"); }},
      {"createNode doubler -n gone", "delete gone", [&] { return !exists("gone"); }},
      {"createNode doubler -n before", "rename before after", [&] { return exists("after") && !exists("before"); }},
      {"createNode doubler -n src; createNode doubler -n dst", "connectAttr src.output dst.input", carries},
      {"createNode doubler -n src; createNode doubler -n dst; connectAttr src.output dst.input",
       "disconnectAttr src.output dst.input", [&] { return !carries(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    zovhost::testing::resetScene();
    ASSERT_TRUE(MGlobal::executeCommand(c.setUp, false, false));
    ASSERT_FALSE(c.done());
    ASSERT_TRUE(MGlobal::executeCommand(c.command, false, true));
    EXPECT_TRUE(c.done());
    ASSERT_TRUE(MGlobal::executeCommand("undo"));
    EXPECT_FALSE(c.done());
    ASSERT_TRUE(MGlobal::executeCommand("redo"));
    EXPECT_TRUE(c.done());
    // And round once more: a redone step is undone like the first.
    ASSERT_TRUE(MGlobal::executeCommand("undo"));
    EXPECT_FALSE(c.done());
  }
}

// A node locked after a delete was undone keeps the redo from deleting it,
// as it keeps the delete: the redo fails, says why and changes nothing, and
// is there to be redone once the node is unlocked.
TEST_F(Interpreter, ARedoOfADeleteRefusesANodeLockedSinceAndSaysWhy) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n kept; createNode doubler -n other", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("delete other kept", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  ASSERT_TRUE(MGlobal::executeCommand("lockNode kept"));
  zovhost::testing::clearLogs();
  EXPECT_FALSE(MGlobal::executeCommand("redo"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Cannot delete locked or default node 'kept'."));
  EXPECT_TRUE(MGlobal::executeCommand("getAttr other.input"));
  EXPECT_EQ(zovhost::testing::redoCount(), 1u);
  ASSERT_TRUE(MGlobal::executeCommand("lockNode -l off kept"));
  ASSERT_TRUE(MGlobal::executeCommand("redo"));
  EXPECT_FALSE(MGlobal::executeCommand("getAttr other.input"));
  EXPECT_FALSE(MGlobal::executeCommand("getAttr kept.input"));
}

// A deletion that a lock since refuses to redo waits with the steps recorded
// after it. The unlock its message calls for keeps them: the redo deletes,
// the next brings back what followed, and undone to before the unlock the
// node is locked again. A lock, as any other new step, ends what waits.
TEST_F(Interpreter, AnUnlockLetsARefusedDeletionAndTheStepsAfterItBeRedone) {
  const auto user = [](const char* line) { return static_cast<bool>(MGlobal::executeCommand(line, false, true)); };
  const auto scene = [] {
    std::string text;
    MIntArray locked;
    for (const char* name : {"kept", "later"})
      text += MGlobal::executeCommand(MString("getAttr ") + name + ".input") ? std::string(name) + " " : "";
    if (MGlobal::executeCommand("lockNode -q kept", locked) && locked.length() == 1 && locked[0]) text += "locked";
    return text;
  };
  ASSERT_TRUE(user("createNode doubler -n kept; delete kept; createNode doubler -n later"));
  const std::string after = scene();
  ASSERT_EQ(after, "later ");
  ASSERT_TRUE(user("undo; undo"));
  // A lock that records nothing, as a plug-in's.
  ASSERT_TRUE(MGlobal::executeCommand("lockNode kept"));
  const std::string before = scene();
  ASSERT_EQ(before, "kept locked");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(user("redo"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Cannot delete locked or default node 'kept'."));
  ASSERT_TRUE(user("lockNode -l off kept"));
  EXPECT_EQ(zovhost::testing::redoCount(), 2u);
  ASSERT_TRUE(user("redo; redo"));
  EXPECT_EQ(scene(), after);
  ASSERT_TRUE(user("undo; undo; undo"));
  EXPECT_EQ(scene(), before);
  ASSERT_TRUE(user("redo; redo; redo"));
  EXPECT_EQ(scene(), after);
  ASSERT_TRUE(user("undo; undo; lockNode -l on kept"));
  EXPECT_EQ(zovhost::testing::redoCount(), 0u);
}

// A new undoable command after an undo ends the redo history: redo has
// nothing to bring back and says so.
TEST_F(Interpreter, ANewCommandAfterUndoLeavesNothingToRedo) {
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n first", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  ASSERT_TRUE(MGlobal::executeCommand("createNode doubler -n second", false, true));
  zovhost::testing::clearLogs();
  MGlobal::executeCommand("redo");
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "There are no more commands to redo."));
  EXPECT_FALSE(MGlobal::executeCommand("getAttr first.input"));
  EXPECT_TRUE(MGlobal::executeCommand("getAttr second.input"));
  EXPECT_EQ(zovhost::testing::redoCount(), 0u);
}

TEST_F(Interpreter, IdleLinesWaitForTheQueueToRun) {
  ASSERT_TRUE(MGlobal::executeCommandOnIdle("createNode doubler -n later"));
  MSelectionList list;
  EXPECT_FALSE(list.add("later"));
  EXPECT_EQ(zovhost::testing::idleQueueSize(), 1u);
  EXPECT_EQ(zovhost::testing::flushIdleQueue(), 1u);
  EXPECT_TRUE(list.add("later"));
  EXPECT_EQ(zovhost::testing::commands().back().origin, "idle");
}

TEST_F(Interpreter, MessagesAreLoggedAsTheScriptEditorShowsThem) {
  MGlobal::displayInfo(" ZOV bake cached mode has been deactivated ");
  MGlobal::displayWarning("careful");
  MGlobal::displayError("broken");
  EXPECT_TRUE(MGlobal::executeCommand("print \" ZOV bake cached mode is active \""));
  EXPECT_FALSE(MGlobal::executeCommand("error \"cannot add a Maya rigid body to a Zov object\""));
  const auto messages = zovhost::testing::messages();
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0].kind, MessageKind::Info);
  EXPECT_EQ(messages[0].text, " ZOV bake cached mode has been deactivated ");
  EXPECT_EQ(messages[1].kind, MessageKind::Warning);
  EXPECT_EQ(messages[2].kind, MessageKind::Error);
  EXPECT_EQ(messages[3].kind, MessageKind::Print);
  EXPECT_EQ(messages[3].text, " ZOV bake cached mode is active ");
  EXPECT_EQ(messages[4].text, "cannot add a Maya rigid body to a Zov object");
}

TEST_F(Interpreter, LinesParseQuotesSeparatorsAndCalls) {
  MString text;
  ASSERT_TRUE(MGlobal::executeCommand(
      "createNode doubler -n \"a\"; setAttr -type \"string\" a.label \"say \\\"hi\\\"; ok\"", false, false));
  ASSERT_TRUE(MGlobal::executeCommand("getAttr a.label // a comment", text));
  EXPECT_EQ(text, MString("say \"hi\"; ok"));
  EXPECT_FALSE(MGlobal::executeCommand("print \"unterminated"));
}

TEST_F(Interpreter, TheCommandLineHostRunsAScriptAndPrintsItsMessages) {
  const zovtest::ScratchFile scratch{"zovhost_script_", ".txt"};
  const std::string& script = scratch.path;
  FILE* file = std::fopen(script.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("currentTime 12\ncurrentTime -q\nwarning \"from the script\"\nnoSuchCommand\n", file);
  std::fclose(file);
  const std::string command = std::string(ZOV_HOST_RUN_PATH) + " " + script + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  EXPECT_NE(output.find("// Result: 12 //"), std::string::npos) << output;
  EXPECT_NE(output.find("// Warning: from the script //"), std::string::npos) << output;
  EXPECT_NE(output.find("// Error: Cannot find procedure \"noSuchCommand\". //"), std::string::npos) << output;
  EXPECT_NE(status, 0);  // one line failed
}

}  // namespace
