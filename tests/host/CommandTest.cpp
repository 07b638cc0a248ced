#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MArgDatabase.h>
#include <maya/MDGMessage.h>
#include <maya/MDGModifier.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlugArray.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MSyntax.h>

namespace {

using namespace zovhost::testing;

/// What the test command saw and did.
struct CommandRecord {
  int doIts = 0;
  int undoIts = 0;
  int redoIts = 0;
  bool active = false;
  unsigned int shapeType = 0;
  double mass = 0.0;
  MString name;
  unsigned int objects = 0;
};
CommandRecord record;

/// An undoable command with short and long flags of several types.
class FlagCommand : public MPxCommand {
 public:
  static void* creator() { return new FlagCommand; }
  static MSyntax newSyntax() {
    MSyntax syntax;
    syntax.addFlag("-a", "-active", MSyntax::kBoolean);
    syntax.addFlag("-st", "-shapeType", MSyntax::kUnsigned);
    syntax.addFlag("-m", "-mass", MSyntax::kDouble);
    syntax.addFlag("-n", "-name", MSyntax::kString);
    syntax.setObjectType(MSyntax::kSelectionList);
    syntax.useSelectionAsDefault(true);
    return syntax;
  }
  bool isUndoable() const override { return true; }
  bool hasSyntax() const override { return true; }
  MStatus doIt(const MArgList& arguments) override {
    MStatus status;
    MArgDatabase database(syntax(), arguments, &status);
    if (!status) return status;
    ++record.doIts;
    if (database.isFlagSet("-a")) database.getFlagArgument("-a", 0, record.active);
    if (database.isFlagSet("shapeType")) database.getFlagArgument("shapeType", 0, record.shapeType);
    if (database.isFlagSet("-mass")) database.getFlagArgument("-mass", 0, record.mass);
    if (database.isFlagSet("-n")) database.getFlagArgument("-n", 0, record.name);
    MSelectionList objects;
    database.getObjects(objects);
    record.objects = objects.length();
    MStringArray names;
    objects.getSelectionStrings(names);
    setResult(names);
    return redoIt();
  }
  MStatus redoIt() override {
    ++record.redoIts;
    return MS::kSuccess;
  }
  MStatus undoIt() override {
    ++record.undoIts;
    return MS::kSuccess;
  }
};

/// An undoable command whose undo empties the undo queue, as a command
/// whose work cannot be given back does.
class FlushingCommand : public MPxCommand {
 public:
  static void* creator() { return new FlushingCommand; }
  bool isUndoable() const override { return true; }
  MStatus doIt(const MArgList&) override { return redoIt(); }
  MStatus redoIt() override {
    ++record.redoIts;
    return MS::kSuccess;
  }
  MStatus undoIt() override {
    ++record.undoIts;
    return MGlobal::executeCommand("flushUndo", false, false);
  }
};

class Commands : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    record = CommandRecord();
    registerTestNodes();
    ASSERT_TRUE(testPlugin().registerCommand("flagCommand", FlagCommand::creator, FlagCommand::newSyntax));
    ASSERT_TRUE(testPlugin().registerCommand("flushingCommand", FlushingCommand::creator));
  }
};

TEST_F(Commands, UndoAndRedoCallUndoItAndRedoIt) {
  ASSERT_TRUE(MGlobal::executeCommand("flagCommand", false, true));
  EXPECT_EQ(record.doIts, 1);
  EXPECT_EQ(record.redoIts, 1);  // doIt calls redoIt
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_EQ(record.undoIts, 1);
  ASSERT_TRUE(MGlobal::executeCommand("redo"));
  EXPECT_EQ(record.redoIts, 2);
  EXPECT_EQ(record.doIts, 1);
  // Nothing left to redo: a warning, no call.
  MGlobal::executeCommand("redo");
  EXPECT_EQ(record.redoIts, 2);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "no more commands to redo"));
}

TEST_F(Commands, AnUndoThatFlushesTheQueueLeavesNothingToUndoOrRedo) {
  ASSERT_TRUE(MGlobal::executeCommand("flagCommand", false, true));
  ASSERT_TRUE(MGlobal::executeCommand("flushingCommand", false, true));
  ASSERT_EQ(zovhost::testing::undoCount(), 2u);
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_EQ(record.undoIts, 1);
  EXPECT_EQ(zovhost::testing::undoCount(), 0u);
  // Neither the command before nor the flushing one comes back.
  MGlobal::executeCommand("undo");
  MGlobal::executeCommand("redo");
  EXPECT_EQ(record.undoIts, 1);
  EXPECT_EQ(record.redoIts, 2);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "no more commands to undo"));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "no more commands to redo"));
}

TEST_F(Commands, CommandsRunWithUndoOffAreNotKept) {
  ASSERT_TRUE(MGlobal::executeCommand("flagCommand", false, false));
  EXPECT_EQ(zovhost::testing::undoCount(), 0u);
  MGlobal::executeCommand("undo");
  EXPECT_EQ(record.undoIts, 0);
}

TEST_F(Commands, FlagsParseInShortAndLongFormWithTypedArguments) {
  struct Case {
    const char* line;
    bool active;
    unsigned int shapeType;
    double mass;
    const char* name;
  };
  const Case cases[] = {
      {"flagCommand -a true -st 3 -m 2.5 -n \"box one\"", true, 3, 2.5, "box one"},
      {"flagCommand -active on -shapeType 2 -mass -9.81 -name box", true, 2, -9.81, "box"},
      {"flagCommand -a 0 -st 0 -m 1e3", false, 0, 1000.0, ""},
  };
  for (const Case& c : cases) {
    record = CommandRecord();
    ASSERT_TRUE(MGlobal::executeCommand(c.line)) << c.line;
    EXPECT_EQ(record.active, c.active) << c.line;
    EXPECT_EQ(record.shapeType, c.shapeType) << c.line;
    EXPECT_DOUBLE_EQ(record.mass, c.mass) << c.line;
    EXPECT_EQ(record.name, MString(c.name)) << c.line;
  }
}

TEST_F(Commands, BadFlagsAndArgumentsAreErrorsAndTheCommandDoesNotRun) {
  const char* const lines[] = {
      "flagCommand -bogus",            // unknown flag
      "flagCommand -st",               // missing argument
      "flagCommand -st -2",            // unsigned given a negative number
      "flagCommand -a maybe",          // not a boolean
      "flagCommand -m heavy",          // not a number
      "flagCommand -a true -a false",  // a flag given twice
      "flagCommand noSuchNode",        // an object that does not exist
  };
  for (const char* line : lines) {
    zovhost::testing::clearLogs();
    EXPECT_FALSE(MGlobal::executeCommand(line)) << line;
    EXPECT_EQ(record.doIts, 0) << line;
    EXPECT_FALSE(zovhost::testing::messages().empty()) << line;
    EXPECT_EQ(zovhost::testing::messages().front().kind, MessageKind::Error) << line;
  }
}

TEST_F(Commands, ObjectArgumentsComeFromTheSelectionWhenNoneAreGiven) {
  MFnDependencyNode fn;
  fn.create("doubler");
  fn.create("doubler");
  MStringArray result;
  ASSERT_TRUE(MGlobal::executeCommand("flagCommand doubler2", result));
  ASSERT_EQ(result.length(), 1u);
  EXPECT_EQ(result[0], MString("doubler2"));
  MGlobal::selectByName("doubler1", MGlobal::kReplaceList);
  MGlobal::selectByName("doubler2", MGlobal::kAddToList);
  ASSERT_TRUE(MGlobal::executeCommand("flagCommand", result));
  ASSERT_EQ(result.length(), 2u);
  EXPECT_EQ(result[0], MString("doubler1"));
  EXPECT_EQ(result[1], MString("doubler2"));
}

TEST_F(Commands, ACommandNameCanBeRegisteredOnce) {
  EXPECT_FALSE(testPlugin().registerCommand("flagCommand", FlagCommand::creator));
  EXPECT_FALSE(testPlugin().registerCommand("setAttr", FlagCommand::creator));
  ASSERT_TRUE(testPlugin().deregisterCommand("flagCommand"));
  EXPECT_FALSE(MGlobal::executeCommand("flagCommand"));
}

TEST_F(Commands, ANodeDeletedThroughAModifierComesBackOnUndoWithItsConnections) {
  MFnDependencyNode fn;
  const MObject a = fn.create("doubler");
  const MObject b = fn.create("doubler");
  const MObject c = fn.create("doubler");
  MDGModifier wiring;
  wiring.connect(MPlug(a, DoublerNode::output), MPlug(b, DoublerNode::input));
  wiring.connect(MPlug(b, DoublerNode::output), MPlug(c, DoublerNode::input));
  ASSERT_TRUE(wiring.doIt());
  MPlug(b, DoublerNode::memory).setValue(11);

  int removed = 0;
  MDGMessage::addNodeRemovedCallback([](MObject&, void* count) { ++*static_cast<int*>(count); }, "doubler", &removed);
  MDGModifier deletion;
  ASSERT_TRUE(deletion.deleteNode(b));
  ASSERT_TRUE(deletion.doIt());
  EXPECT_EQ(removed, 1);
  EXPECT_FALSE(MPlug(a, DoublerNode::output).isConnected());
  EXPECT_FALSE(MPlug(c, DoublerNode::input).isConnected());
  unsigned int count = 0;
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) ++count;
  EXPECT_EQ(count, 2u);

  ASSERT_TRUE(deletion.undoIt());
  EXPECT_EQ(MFnDependencyNode(b).name(), MString("doubler2"));
  EXPECT_EQ(MPlug(b, DoublerNode::input).source(), MPlug(a, DoublerNode::output));
  EXPECT_EQ(MPlug(c, DoublerNode::input).source(), MPlug(b, DoublerNode::output));
  EXPECT_EQ(MPlug(b, DoublerNode::memory).asInt(), 11);
  // The restored chain still computes: a.output (2) doubled twice.
  MPlug(a, DoublerNode::input).setValue(2.0);
  EXPECT_DOUBLE_EQ(MPlug(c, DoublerNode::output).asDouble(), 16.0);
}

TEST_F(Commands, ModifierCreateRenameAndConnectUndoTogether) {
  MDGModifier modifier;
  MStatus status;
  const MObject node = modifier.createNode("doubler", &status);
  ASSERT_TRUE(status);
  ASSERT_TRUE(modifier.renameNode(node, "made"));
  const MObject other = MFnDependencyNode().create("doubler");
  ASSERT_TRUE(modifier.connect(MPlug(other, DoublerNode::output), MPlug(node, DoublerNode::input)));
  ASSERT_TRUE(modifier.doIt());
  EXPECT_EQ(MFnDependencyNode(node).name(), MString("made"));
  EXPECT_TRUE(MPlug(node, DoublerNode::input).isDestination());
  ASSERT_TRUE(modifier.undoIt());
  MSelectionList list;
  EXPECT_FALSE(list.add("made"));
  EXPECT_FALSE(MPlug(other, DoublerNode::output).isSource());
  ASSERT_TRUE(modifier.doIt());  // and again
  EXPECT_TRUE(list.add("made"));
}

}  // namespace
