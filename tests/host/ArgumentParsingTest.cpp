#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MArgParser.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>
#include <maya/MSyntax.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace zovhost::testing;

constexpr double kPi = 3.14159265358979323846;
constexpr double kCentimetresPerInch = 2.54;

/// The words of a command line as the interpreter hands them over: quoted
/// words are written with surrounding quotes here.
MArgList words(const std::vector<std::string>& items) {
  MArgList list;
  for (const std::string& item : items) {
    const bool quoted = item.size() >= 2 && item.front() == '"' && item.back() == '"';
    list.addWord(quoted ? item.substr(1, item.size() - 2) : item, quoted);
  }
  return list;
}

using ArgumentParsing = TestNodesTest;

TEST_F(ArgumentParsing, FlagArgumentsAreReadInTheirOwnTypeAndUnit) {
  MDistance::setUIUnit(MDistance::kInches);
  MAngle::setUIUnit(MAngle::kDegrees);
  MTime::setUIUnit(MTime::kFilm);
  MFnDependencyNode().create("doubler", "target");
  struct Case {
    MSyntax::MArgType type;
    const char* word;
    std::function<void(const MArgParser&)> check;
  };
  const Case cases[] = {
      {MSyntax::kBoolean, "on", [](const MArgParser& p) { EXPECT_TRUE(p.flagArgumentBool("-f", 0)); }},
      {MSyntax::kBoolean, "no", [](const MArgParser& p) { EXPECT_FALSE(p.flagArgumentBool("-f", 0)); }},
      {MSyntax::kLong, "-7", [](const MArgParser& p) { EXPECT_EQ(p.flagArgumentInt("-f", 0), -7); }},
      {MSyntax::kUnsigned, "42",
       [](const MArgParser& p) {
         unsigned int value = 0;
         EXPECT_TRUE(p.getFlagArgument("-f", 0, value));
         EXPECT_EQ(value, 42u);
       }},
      {MSyntax::kDouble, "2.5e-1", [](const MArgParser& p) { EXPECT_DOUBLE_EQ(p.flagArgumentDouble("-f", 0), 0.25); }},
      {MSyntax::kString, "\"two words\"",
       [](const MArgParser& p) { EXPECT_EQ(p.flagArgumentString("-f", 0), MString("two words")); }},
      // Distances, angles and times are given in the user-interface units.
      {MSyntax::kDistance, "2",
       [](const MArgParser& p) {
         MDistance value;
         EXPECT_TRUE(p.getFlagArgument("-f", 0, value));
         EXPECT_DOUBLE_EQ(value.asCentimeters(), 2.0 * kCentimetresPerInch);
       }},
      {MSyntax::kAngle, "90",
       [](const MArgParser& p) {
         MAngle value;
         EXPECT_TRUE(p.getFlagArgument("-f", 0, value));
         EXPECT_DOUBLE_EQ(value.asRadians(), kPi / 2.0);
       }},
      {MSyntax::kTime, "48",
       [](const MArgParser& p) {
         MTime value;
         EXPECT_TRUE(p.getFlagArgument("-f", 0, value));
         EXPECT_DOUBLE_EQ(value.as(MTime::kSeconds), 2.0);  // 24 film frames a second
       }},
      {MSyntax::kSelectionItem, "target.input",
       [](const MArgParser& p) {
         MSelectionList list;
         EXPECT_TRUE(static_cast<const MArgDatabase&>(p).getFlagArgument("-f", 0, list));
         MPlug plug;
         EXPECT_TRUE(list.getPlug(0, plug));
         EXPECT_EQ(plug.name(), MString("target.input"));
       }},
  };
  for (const Case& c : cases) {
    MSyntax syntax;
    ASSERT_TRUE(syntax.addFlag("-f", "-flag", c.type));
    MStatus status;
    const MArgDatabase parser(syntax, words({"-flag", c.word}), &status);
    ASSERT_TRUE(status) << c.word;
    EXPECT_TRUE(parser.isFlagSet("f")) << c.word;
    EXPECT_TRUE(parser.isFlagSet("-flag")) << c.word;
    c.check(parser);
  }
}

TEST_F(ArgumentParsing, BadFlagsFailTheParseWithAMessageNamingTheProblem) {
  struct Case {
    MSyntax::MArgType type;
    std::vector<std::string> line;
    const char* message;
  };
  const Case cases[] = {
      {MSyntax::kLong, {"-f", "1.5"}, "Flag '-f' must be passed an integer argument"},
      {MSyntax::kUnsigned, {"-f", "-1"}, "Flag '-f' must be passed an unsigned integer argument"},
      {MSyntax::kBoolean, {"-f", "maybe"}, "Flag '-f' must be passed a boolean argument"},
      {MSyntax::kDouble, {"-f", "fast"}, "Flag '-f' must be passed a floating point argument"},
      {MSyntax::kDouble, {"-f"}, "Flag '-f' must be passed a floating point argument"},
      {MSyntax::kLong, {"-f", "99999999999"}, "Flag '-f' must be passed an integer argument"},
      {MSyntax::kSelectionItem, {"-f", "nobody"}, "Flag '-f' must be passed an object name argument"},
      {MSyntax::kLong, {"-g", "1"}, "Invalid flag '-g'"},
      {MSyntax::kLong, {"-f", "1", "-flag", "2"}, "Flag '-flag' can only be used once"},
      {MSyntax::kLong, {"-f", "1", "extra"}, "Too many arguments: 'extra'"},
  };
  for (const Case& c : cases) {
    zovhost::testing::clearLogs();
    MSyntax syntax;
    syntax.addFlag("-f", "-flag", c.type);
    MStatus status;
    const MArgParser parser(syntax, words(c.line), &status);
    EXPECT_FALSE(status) << c.message;
    EXPECT_TRUE(hasMessage(MessageKind::Error, c.message)) << c.message;
  }
}

TEST_F(ArgumentParsing, AMultiUseFlagKeepsTheArgumentsOfEachUseInOrder) {
  MSyntax syntax;
  syntax.addFlag("-p", "-point", MSyntax::kDouble, MSyntax::kDouble, MSyntax::kDouble);
  ASSERT_TRUE(syntax.makeFlagMultiUse("-point"));
  EXPECT_FALSE(syntax.makeFlagMultiUse("-nothing"));
  MStatus status;
  const MArgParser parser(syntax, words({"-p", "1", "2", "3", "-point", "4", "5", "6"}), &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(parser.numberOfFlagUses("p"), 2u);
  EXPECT_EQ(parser.numberOfFlagsUsed(), 2u);
  for (unsigned int use = 0; use < 2; ++use) {
    MArgList arguments;
    ASSERT_TRUE(parser.getFlagArgumentList("-p", use, arguments));
    ASSERT_EQ(arguments.length(), 3u);
    for (unsigned int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(arguments.asDouble(i), 3.0 * use + i + 1.0);
  }
  MArgList none;
  EXPECT_FALSE(parser.getFlagArgumentList("-p", 2, none));
  // Without the multi-use mark, the second use is an error.
  MSyntax once;
  once.addFlag("-p", "-point", MSyntax::kDouble);
  const MArgParser refused(once, words({"-p", "1", "-p", "2"}), &status);
  EXPECT_FALSE(status);
}

TEST_F(ArgumentParsing, QueryAndEditAreModesOnlyWhenTheSyntaxEnablesThem) {
  MSyntax syntax;
  syntax.addFlag("-m", "-mass", MSyntax::kDouble);
  syntax.enableQuery();
  syntax.enableEdit();
  MStatus status;
  // In query mode a flag names what is asked for and takes no argument.
  const MArgParser query(syntax, words({"-q", "-mass"}), &status);
  ASSERT_TRUE(status);
  EXPECT_TRUE(query.isQuery());
  EXPECT_FALSE(query.isEdit());
  EXPECT_TRUE(query.isFlagSet("-query"));
  EXPECT_TRUE(query.isFlagSet("mass"));
  EXPECT_EQ(query.numberOfFlagsUsed(), 2u);
  double mass = -1.0;
  EXPECT_FALSE(query.getFlagArgument("-m", 0, mass));
  EXPECT_DOUBLE_EQ(mass, -1.0);

  const MArgParser edit(syntax, words({"-edit", "-m", "3"}), &status);
  ASSERT_TRUE(status);
  EXPECT_TRUE(edit.isEdit());
  EXPECT_DOUBLE_EQ(edit.flagArgumentDouble("mass", 0), 3.0);

  MSyntax plain;
  plain.addFlag("-m", "-mass", MSyntax::kDouble);
  const MArgParser refused(plain, words({"-q", "-m"}), &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Invalid flag '-q'"));
}

TEST_F(ArgumentParsing, CommandArgumentsComeBeforeTheObjectsAndAreTyped) {
  MSyntax syntax;
  ASSERT_TRUE(syntax.addArg(MSyntax::kLong));
  ASSERT_TRUE(syntax.addArg(MSyntax::kString));
  ASSERT_TRUE(syntax.setObjectType(MSyntax::kStringObjects, 1, 2));
  MStatus status;
  const MArgParser parser(syntax, words({"12", "label", "a", "b"}), &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(parser.commandArgumentInt(0), 12);
  EXPECT_EQ(parser.commandArgumentString(1), MString("label"));
  EXPECT_DOUBLE_EQ(parser.commandArgumentDouble(0), 12.0);
  MString missing;
  EXPECT_FALSE(parser.getCommandArgument(2, missing));
  MStringArray objects;
  ASSERT_TRUE(parser.getObjects(objects));
  ASSERT_EQ(objects.length(), 2u);
  EXPECT_EQ(objects[0], MString("a"));
  EXPECT_EQ(objects[1], MString("b"));

  struct Case {
    std::vector<std::string> line;
    const char* message;
  };
  const Case failures[] = {
      {{"twelve", "label", "a"}, "Argument 'twelve' must be an integer value"},
      {{"12"}, "Too few arguments"},
      {{"12", "label"}, "At least 1 object(s) must be given"},
      {{"12", "label", "a", "b", "c"}, "At most 2 object(s) may be given"},
  };
  for (const Case& c : failures) {
    zovhost::testing::clearLogs();
    const MArgParser refused(syntax, words(c.line), &status);
    EXPECT_FALSE(status) << c.message;
    EXPECT_TRUE(hasMessage(MessageKind::Error, c.message)) << c.message;
  }
}

TEST_F(ArgumentParsing, SelectionObjectsAndArgumentsNameTheScenesNodesAndPlugs) {
  MFnDependencyNode fn;
  fn.create("doubler", "first");
  fn.create("doubler", "second");
  MSyntax syntax;
  syntax.addArg(MSyntax::kSelectionItem);
  syntax.setObjectType(MSyntax::kSelectionList, 1);
  MStatus status;
  const MArgDatabase database(syntax, words({"first.output", "second", "first"}), &status);
  ASSERT_TRUE(status);
  MSelectionList argument;
  ASSERT_TRUE(database.getCommandArgument(0, argument));
  MStringArray names;
  argument.getSelectionStrings(names);
  ASSERT_EQ(names.length(), 1u);
  EXPECT_EQ(names[0], MString("first.output"));
  MSelectionList objects;
  ASSERT_TRUE(database.getObjects(objects));
  objects.getSelectionStrings(names);
  ASSERT_EQ(names.length(), 2u);
  EXPECT_EQ(names[0], MString("second"));
  EXPECT_EQ(names[1], MString("first"));

  zovhost::testing::clearLogs();
  const MArgDatabase missing(syntax, words({"first", "third"}), &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(hasMessage(MessageKind::Error, "No object matches name: third"));
}

TEST_F(ArgumentParsing, TheSelectionIsTakenWhenTheCommandParses) {
  MFnDependencyNode fn;
  fn.create("doubler", "first");
  fn.create("doubler", "second");
  MSyntax syntax;
  syntax.setObjectType(MSyntax::kSelectionList, 1);
  syntax.useSelectionAsDefault(true);
  MGlobal::selectByName("first", MGlobal::kReplaceList);
  MStatus status;
  const MArgDatabase database(syntax, MArgList(), &status);
  ASSERT_TRUE(status);
  MGlobal::selectByName("second", MGlobal::kReplaceList);
  MSelectionList objects;
  ASSERT_TRUE(database.getObjects(objects));
  MStringArray names;
  objects.getSelectionStrings(names);
  ASSERT_EQ(names.length(), 1u);
  EXPECT_EQ(names[0], MString("first"));
  // Nothing selected and nothing given: too few objects.
  MGlobal::clearSelectionList();
  const MArgDatabase empty(syntax, MArgList(), &status);
  EXPECT_FALSE(status);
}

TEST_F(ArgumentParsing, ArgumentListWordsReadAsTheTypeAskedFor) {
  MDistance::setUIUnit(MDistance::kMeters);
  MAngle::setUIUnit(MAngle::kDegrees);
  const MArgList list = words({"-3", "0.5", "yes", "\"-x\"", "-x", "-long", "180"});
  struct Case {
    unsigned int index;
    bool isFlag;
  };
  // A dash before a number is a sign; a quoted word is never a flag.
  for (const Case& c : {Case{0, false}, Case{3, false}, Case{4, true}, Case{5, true}})
    EXPECT_EQ(list.isFlagWord(c.index), c.isFlag) << c.index;
  EXPECT_EQ(list.asInt(0), -3);
  EXPECT_DOUBLE_EQ(list.asDistance(1).asCentimeters(), 50.0);
  EXPECT_TRUE(list.asBool(2));
  EXPECT_EQ(list.asString(3), MString("-x"));
  EXPECT_DOUBLE_EQ(list.asAngle(6).asRadians(), kPi);
  EXPECT_EQ(list.flagIndex("-x"), 4u);
  EXPECT_EQ(list.flagIndex("-l", "-long"), 5u);
  EXPECT_EQ(list.flagIndex("-q", "-quiet"), MArgList::kInvalidArgIndex);

  MStatus status;
  list.asInt(1, &status);  // "0.5" is not an integer
  EXPECT_FALSE(status);
  list.asUnsigned(0, &status);
  EXPECT_FALSE(status);
  list.asDouble(7, &status);  // past the end
  EXPECT_FALSE(status);
  EXPECT_EQ(list.asString(7, &status), MString());
  EXPECT_FALSE(status);
}

TEST_F(ArgumentParsing, ArgumentsAddedByValueReadBackUnchanged) {
  MArgList list;
  list.addArg(true).addArg(-12).addArg(0.1).addArg(MString("-quoted"));
  ASSERT_EQ(list.length(), 4u);
  EXPECT_TRUE(list.asBool(0));
  EXPECT_EQ(list.asInt(1), -12);
  EXPECT_EQ(list.asDouble(2), 0.1);  // written with enough digits to read back exactly
  EXPECT_EQ(list.asString(3), MString("-quoted"));
  EXPECT_FALSE(list.isFlagWord(3));
}

TEST_F(ArgumentParsing, ASyntaxRefusesTakenFlagNamesAndBadTypes) {
  MSyntax syntax;
  ASSERT_TRUE(syntax.addFlag("-m", "-mass"));
  EXPECT_FALSE(syntax.addFlag("-m", "-other"));
  EXPECT_FALSE(syntax.addFlag("-o", "-mass"));
  EXPECT_FALSE(syntax.addFlag("-", "-empty"));
  EXPECT_FALSE(syntax.addFlag("-t", "-type", MSyntax::kLastArgType));
  EXPECT_FALSE(syntax.addArg(MSyntax::kNoArg));
  EXPECT_FALSE(syntax.setObjectType(MSyntax::kStringObjects, 3, 2));
  EXPECT_FALSE(syntax.setObjectType(MSyntax::kLastObjectFormat));
  ASSERT_TRUE(syntax.setObjectType(MSyntax::kStringObjects));
  ASSERT_TRUE(syntax.setMinObjects(1));
  ASSERT_TRUE(syntax.setMaxObjects(1));
  MStatus status;
  const MArgParser two(syntax, words({"a", "b"}), &status);
  EXPECT_FALSE(status);
  const MArgParser one(syntax, words({"-m", "a"}), &status);
  EXPECT_TRUE(status);
  EXPECT_TRUE(one.isFlagSet("mass"));
}

}  // namespace
