#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MArgList.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPxCommand.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace zovhost::testing;

/// A command that gives the result its first word names: "int", "huge",
/// "double", "string", "number text", "ints", "doubles", "strings",
/// "appended", "cleared" or "nothing". It keeps the command line it was run
/// with and can read its own syntax.
class ResultCommand : public MPxCommand {
 public:
  static void* creator() { return new ResultCommand; }
  static MSyntax newSyntax() {
    MSyntax syntax;
    syntax.addArg(MSyntax::kString);
    return syntax;
  }
  MStatus doIt(const MArgList& arguments) override {
    lastLine = commandString();
    syntaxArguments = static_cast<unsigned int>(syntax().arguments().size());
    const std::string kind = arguments.asString(0).asChar();
    if (kind == "int") setResult(-12);
    if (kind == "huge") setResult(1e20);
    if (kind == "double") setResult(2.5);
    if (kind == "string") setResult("text");
    if (kind == "number text") setResult("42");
    if (kind == "flag") setResult(true);
    if (kind == "ints") {
      MIntArray values;
      values.append(3);
      values.append(-4);
      setResult(values);
    }
    if (kind == "doubles") {
      MDoubleArray values;
      values.append(0.5);
      values.append(std::numeric_limits<double>::quiet_NaN());
      setResult(values);
    }
    if (kind == "strings") {
      MStringArray values;
      values.append("a");
      values.append("b c");
      setResult(values);
    }
    if (kind == "appended") {
      setResult(1);
      appendToResult(2);
      appendToResult(3);
    }
    if (kind == "cleared") {
      setResult("gone");
      clearResult();
    }
    return MS::kSuccess;
  }
  static MString lastLine;
  static unsigned int syntaxArguments;
};
MString ResultCommand::lastLine;
unsigned int ResultCommand::syntaxArguments = 0;

class CommandResults : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(testPlugin().registerCommand("result", ResultCommand::creator, ResultCommand::newSyntax));
  }
  static MString line(const char* kind) { return MString("result \"") + kind + "\""; }
};

TEST_F(CommandResults, ScalarResultsReadAsTheKindAskedFor) {
  struct Case {
    const char* kind;
    bool asInt;
    int intValue;
    bool asDouble;
    double doubleValue;
    const char* text;
  };
  const Case cases[] = {
      {"int", true, -12, true, -12.0, "-12"},
      {"double", true, 2, true, 2.5, "2.5"},
      {"string", false, 0, false, 0.0, "text"},
      {"number text", true, 42, true, 42.0, "42"},
      {"flag", true, 1, true, 1.0, "1"},
      {"nothing", false, 0, false, 0.0, ""},
      // A number beyond an int's range reads as the largest int.
      {"huge", true, std::numeric_limits<int>::max(), true, 1e20, "1e+20"},
  };
  for (const Case& c : cases) {
    int number = 0;
    EXPECT_EQ(static_cast<bool>(MGlobal::executeCommand(line(c.kind), number)), c.asInt) << c.kind;
    if (c.asInt) {
      EXPECT_EQ(number, c.intValue) << c.kind;
    }
    double value = 0.0;
    EXPECT_EQ(static_cast<bool>(MGlobal::executeCommand(line(c.kind), value)), c.asDouble) << c.kind;
    if (c.asDouble) {
      EXPECT_DOUBLE_EQ(value, c.doubleValue) << c.kind;
    }
    MString text;
    ASSERT_TRUE(MGlobal::executeCommand(line(c.kind), text)) << c.kind;
    EXPECT_EQ(text, MString(c.text)) << c.kind;
  }
}

TEST_F(CommandResults, ArrayResultsReadAsArraysAndScalarsAsArraysOfOne) {
  MIntArray ints;
  ASSERT_TRUE(MGlobal::executeCommand(line("ints"), ints));
  EXPECT_EQ(std::vector<int>({ints[0], ints[1]}), std::vector<int>({3, -4}));
  ASSERT_TRUE(MGlobal::executeCommand(line("appended"), ints));
  ASSERT_EQ(ints.length(), 3u);
  EXPECT_EQ(ints[2], 3);
  MDoubleArray doubles;
  ASSERT_TRUE(MGlobal::executeCommand(line("ints"), doubles));
  EXPECT_DOUBLE_EQ(doubles[1], -4.0);
  ASSERT_TRUE(MGlobal::executeCommand(line("doubles"), doubles));
  EXPECT_TRUE(std::isnan(doubles[1]));
  ASSERT_TRUE(MGlobal::executeCommand(line("doubles"), ints));
  EXPECT_EQ(std::vector<int>({ints[0], ints[1]}), std::vector<int>({0, 0}));  // NaN reads as 0
  MStringArray strings;
  ASSERT_TRUE(MGlobal::executeCommand(line("strings"), strings));
  EXPECT_EQ(strings[1], MString("b c"));
  ASSERT_TRUE(MGlobal::executeCommand(line("int"), strings));
  ASSERT_EQ(strings.length(), 1u);
  EXPECT_EQ(strings[0], MString("-12"));
  EXPECT_FALSE(MGlobal::executeCommand(line("strings"), ints));
  EXPECT_FALSE(MGlobal::executeCommand(line("strings"), doubles));
  MString text;
  EXPECT_FALSE(MGlobal::executeCommand(line("ints"), text));
  ASSERT_TRUE(MGlobal::executeCommand(line("cleared"), strings));
  EXPECT_EQ(strings.length(), 0u);
}

TEST_F(CommandResults, TheScriptEditorShowsResultsAsText) {
  zovhost::testing::clearLogs();
  ASSERT_TRUE(MGlobal::executeCommand(line("strings"), true));
  ASSERT_TRUE(MGlobal::executeCommand(line("doubles"), true));
  ASSERT_TRUE(MGlobal::executeCommand(line("nothing"), true));
  const auto messages = zovhost::testing::messages();
  ASSERT_EQ(messages.size(), 2u);  // nothing to show for no result
  EXPECT_EQ(messages[0].kind, MessageKind::Result);
  EXPECT_EQ(messages[0].text, "a b c");
  EXPECT_EQ(messages[1].text, "0.5 nan");
}

TEST_F(CommandResults, ACommandSeesItsLineAndItsSyntax) {
  ASSERT_TRUE(MGlobal::executeCommand("result \"int\"; result \"double\""));
  EXPECT_EQ(ResultCommand::lastLine, MString("result \"double\""));
  EXPECT_EQ(ResultCommand::syntaxArguments, 1u);
  // Outside a command the result goes nowhere.
  MPxCommand::setResult(5);
  MPxCommand::appendToResult("x");
  int number = 0;
  ASSERT_TRUE(MGlobal::executeCommand(line("int"), number));
  EXPECT_EQ(number, -12);
  zovhost::testing::clearLogs();
  MPxCommand::displayWarning("careful");
  MPxCommand::displayError("broken");
  MPxCommand::displayInfo("noted");
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "careful"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "broken"));
  EXPECT_TRUE(hasMessage(MessageKind::Info, "noted"));
}

TEST_F(CommandResults, WholeNumberReadsOfHugeOrUndefinedValuesStayInRange) {
  registerTestNodes();
  const MObject node = MFnDependencyNode().create("doubler");
  MFnNumericAttribute numeric;
  const MObject count = numeric.create("count", "cn", MFnNumericData::kInt);
  const MObject small = numeric.create("small", "sm", MFnNumericData::kShort);
  MFnDependencyNode(node).addAttribute(count);
  MFnDependencyNode(node).addAttribute(small);
  struct Case {
    double stored;
    int asInt;
    short asShort;
  };
  const Case cases[] = {
      {1e20, std::numeric_limits<int>::max(), std::numeric_limits<short>::max()},
      {-1e20, std::numeric_limits<int>::min(), std::numeric_limits<short>::min()},
      {-7.9, -7, -7},
  };
  for (const Case& c : cases) {
    MPlug input(node, DoublerNode::input);
    ASSERT_TRUE(input.setValue(c.stored));
    EXPECT_EQ(input.asInt(), c.asInt) << c.stored;
    EXPECT_EQ(input.asShort(), c.asShort) << c.stored;
    // Whole-number attributes hold only values of their type.
    ASSERT_TRUE(MPlug(node, count).setValue(c.stored));
    EXPECT_EQ(MPlug(node, count).asDouble(), static_cast<double>(c.asInt)) << c.stored;
    ASSERT_TRUE(MPlug(node, small).setValue(c.stored));
    EXPECT_EQ(MPlug(node, small).asInt(), c.asShort) << c.stored;
  }
  // NaN and infinities are no values: refused, the plug keeps what it held.
  for (const double undefined : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(MPlug(node, DoublerNode::input).setValue(undefined));
    EXPECT_EQ(MPlug(node, DoublerNode::input).asDouble(), -7.9);
  }
  // The saved scene writes such values as the numbers they are.
  MPlug(node, count).setValue(-1e20);
  EXPECT_NE(zovhost::testing::sceneText().find("setAttr \"doubler1.count\" -2147483648"), std::string::npos);
}

}  // namespace
